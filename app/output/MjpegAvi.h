// Motion-JPEG movies in an AVI file (RIFF AVI 1.0 with an idx1 index), the
// form every common player and editor reads, written through the libjpeg the
// program already links.
#pragma once

#include "platform/Surface.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace plastora {

// The JPEG quality of movie frames.
constexpr int kMovieJpegQuality = 90;

// Encodes a picture as one baseline JPEG (4:2:0, standard tables) into
// `out`. False when libjpeg refuses it (a side over 65500 pixels, no memory).
bool encodeJpegFrame(const Surface& picture, int quality, std::vector<std::uint8_t>& out);

// The frame rate of `fps` as the AVI's rate / scale pair, reduced: 8 -> 8/1,
// 12.5 -> 25/2, 0.1 -> 1/10 (to a thousandth of a frame).
void aviRate(double fps, std::uint32_t& rate, std::uint32_t& scale);

// Writes the AVI of `sequence.size()` frames of width x height, frame k
// being the JPEG `pictures[sequence[k]]`, through `sink` (which returns
// false when a write fails). `frameDone(k)` runs after frame k. False when
// a write fails, an index is out of range, or the file would pass the 4 GB
// an AVI 1.0 file can address.
bool writeMjpegAvi(const std::function<bool(const void*, std::size_t)>& sink, int width, int height, double fps,
                   const std::vector<std::vector<std::uint8_t>>& pictures, const std::vector<int>& sequence,
                   const std::function<void(std::size_t)>& frameDone = {});

}  // namespace plastora
