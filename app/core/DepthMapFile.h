// Depth map files: the grey pictures that carry a photo's depth (nearer =
// brighter), as phones' portrait modes and monocular depth estimators write
// them, and as the program exports them.
//
// Reading takes whatever Qt's image readers decode (PNG of 8 or 16 bits,
// JPEG, BMP, ...) and keeps one grey level per pixel (colour pictures by
// their luminance). A project made with a depth map keeps it beside the
// project file as base + "_depth.png", an 8-bit grey PNG.
#pragma once

#include "platform/Host.h"
#include "platform/Surface.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plastora {

extern const char* const kDepthMapReadFailedMessage;  // "深度マップの読込みに失敗しました"

// The companion file of a project base.
std::string depthMapPath(const std::string& projectBase);

// Decodes a depth map from the bytes of an image file into a grey surface
// (r = g = b = the depth grey). False, leaving `out` unchanged, for bytes no
// reader takes, a picture larger than 16384 pixels on a side, or memory.
bool parseDepthMapImage(const std::vector<std::uint8_t>& bytes, Surface& out);
// The same from a file (false also when it cannot be read).
bool readDepthMapImage(const std::string& path, Surface& out);

// Writes a picture the way the depth export does: a name ending in ".png"
// (any case) gets a PNG, 8-bit grey when `grey` (the blue channel is taken),
// else 24-bit colour; any other name goes through SaveStillImage (JPEG by
// name, else a 24-bit BMP). Written under a temporary name and renamed.
// Returns 1, or 0 after kSaveFailedMessage.
int writeDepthMapImage(Host& host, const Surface& picture, const std::string& path, bool grey, int jpegQuality);

}  // namespace plastora
