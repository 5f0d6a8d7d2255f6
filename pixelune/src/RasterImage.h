// Pictures as the raster file code passes them around internally.
#pragma once

#include <cstdio>

#include <cstddef>
#include <cstdint>
#include <cstdio>
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
    [[nodiscard]] bool allocate(int w, int h, int b);
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

// Opens a file for reading only when it is a regular file: a device, a pipe
// or a folder (/dev/zero, a FIFO) is refused before anything is read from
// it, and opening never waits for a pipe's writer. Null on failure.
std::FILE* openRegularFile(const char* fileName);

// The largest file the BMP reader takes: the most pixels any decoder accepts
// at 4 bytes each (24 bits plus the widest row padding), its headers and
// colour table and some slack for the gap before the pixels.
constexpr std::uint64_t kMaxBmpFileSize = 4 * static_cast<std::uint64_t>(kMaxRasterPixels) + (1u << 20);

// The whole content of a regular file of at most `limit` bytes, or false.
bool readWholeFile(const char* fileName, std::vector<std::uint8_t>& data, std::uint64_t limit = kMaxBmpFileSize);


}  // namespace pixelune
