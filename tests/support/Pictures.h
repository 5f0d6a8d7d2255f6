// Small pictures made for tests.
#pragma once

#include "platform/Surface.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plastora::test {

// A w x h picture whose every pixel differs from its neighbours: r = x * 7,
// g = y * 13, b = (x + y) * 3 (each modulo 256).
Surface gradientPicture(int w, int h);
// Marks the rectangle [x0, x1) x [y0, y1) white in a mask (others untouched).
void paintRect(Surface& mask, int x0, int y0, int x1, int y1);
// True when both surfaces have the same size and pixels.
bool samePixels(const Surface& a, const Surface& b);
// Number of white pixels.
long countWhite(const Surface& mask);
// The sampling byte (H << 4 | V) of a baseline JPEG file's first component:
// 0x22 for 4:2:0 chroma, 0x11 for full chroma; -1 without a baseline frame.
int lumaSampling(const std::string& path);
// An Exif APP1 segment holding only IFD0 with the orientation tag.
std::vector<std::uint8_t> exifSegment(int orientation, bool bigEndian);
// A JPEG written by the program, with that Exif segment put right after SOI.
void writeOrientedJpeg(const std::string& path, const Surface& picture, int orientation);

}  // namespace plastora::test
