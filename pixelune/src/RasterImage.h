// Pictures as the raster file code passes them around internally.
#pragma once

#include <cstdio>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pixelune {

// A decoded picture: bottom-up rows padded to 4 bytes, either 8-bit palette
// indices or 24-bit blue, green, red triples.
struct RasterImage {
    int width = 0;
    int height = 0;
    int bits = 0;      // 8 or 24: the layout of `pixels`
    int fileBits = 0;  // the bits per pixel the source stored
    std::vector<std::uint8_t> pixels;

    std::size_t stride() const { return strideFor(width, bits); }
    static std::size_t strideFor(int w, int b) {
        return (static_cast<std::size_t>(w) * (b / 8) + 3) / 4 * 4;
    }
    // Sizes the buffer (zeroed) for w x h at b bits; false when too large.
    bool allocate(int w, int h, int b);
};

// The most pixels any decoder accepts (8192 x 8192 fits).
constexpr std::int64_t kMaxRasterPixels = std::int64_t{1} << 26;

enum class RasterFormat { Bmp, Jpeg, Png, Gif, Saf };

// The format a file name stands for (its last three characters).
RasterFormat formatOfName(const char* fileName);

// Codecs. Each returns false on any failure, leaving `image` unspecified.
bool readJpegFile(const char* fileName, RasterImage& image);
// messageSink receives libpng's error text (may be null).
bool readPngFile(const char* fileName, RasterImage& image, void (*messageSink)(void*, const char*), void* sinkData);
// rows: bottom-up 24-bit rows of width x height, written to an open stream
// (the caller closes it and checks the close).
bool writeJpegFile(std::FILE* stream, const std::uint8_t* rows, int width, int height, int quality);
bool writePngFile(std::FILE* stream, const std::uint8_t* rows, int width, int height,
                  void (*messageSink)(void*, const char*), void* sinkData);

// The whole content of a file, or false.
bool readWholeFile(const char* fileName, std::vector<std::uint8_t>& data);


}  // namespace pixelune
