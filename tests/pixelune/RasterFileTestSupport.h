// Helpers of the raster file tests: pictures, hand-built files, and QImage
// as the independent reader and writer of BMP, PNG and JPEG files.
#pragma once

#include "pixelune/pixelune.h"
#include "platform/Surface.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace rastertest {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A 40-byte info header.
inline Bytes infoHeader(int w, int h, int bits, std::uint32_t compression = 0) {
    Bytes b;
    put32(b, 40);
    put32(b, static_cast<std::uint32_t>(w));
    put32(b, static_cast<std::uint32_t>(h));
    put16(b, 1);
    put16(b, static_cast<std::uint32_t>(bits));
    put32(b, compression);
    for (int i = 0; i < 5; ++i) put32(b, 0);
    return b;
}

// A BMP file: headers, the colour table (0x00RRGGBB entries), the pixel rows.
inline Bytes bmpFile(int w, int h, int bits, const std::vector<std::uint32_t>& table, const Bytes& rows) {
    Bytes info = infoHeader(w, h, bits);
    const std::uint32_t offset = 54 + static_cast<std::uint32_t>(table.size()) * 4;
    Bytes b{'B', 'M'};
    put32(b, offset + static_cast<std::uint32_t>(rows.size()));
    put32(b, 0);
    put32(b, offset);
    b.insert(b.end(), info.begin(), info.end());
    for (std::uint32_t c : table) put32(b, c);
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

inline void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

inline Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A picture whose colours change in every direction.
inline plastora::Surface gradient(int w, int h) {
    plastora::Surface s;
    s.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s.set(x, y, static_cast<std::uint32_t>(x * 255 / std::max(w - 1, 1)) << 16 |
                            static_cast<std::uint32_t>(y * 255 / std::max(h - 1, 1)) << 8 |
                            static_cast<std::uint32_t>((x + y) * 255 / std::max(w + h - 2, 1)));
    return s;
}

// The result of a read, with everything the call hands out.
struct Loaded {
    int result = 0;
    plastora::Surface surface;
    std::vector<std::uint32_t> palette = std::vector<std::uint32_t>(kPixPaletteSize);
    std::vector<std::uint32_t> logical = std::vector<std::uint32_t>(kPixPaletteSize);
    Bytes pixels;
    int width = 0, height = 0, bits = 0;
};

inline Loaded load(const std::string& file, int displayBits = 32, plastora::Host* host = nullptr,
                   const Bytes* dib = nullptr) {
    Loaded l;
    PixDisplay display{displayBits, host};
    unsigned char* pixels = nullptr;
    l.result = ReadRasterFile(&display, &l.surface, l.logical.data(), file.c_str(), dib ? dib->data() : nullptr,
                              dib ? dib->size() : 0, &pixels, &l.width, &l.height, &l.bits, 1, l.palette.data());
    if (pixels) {
        const int bytes = l.bits > 8 ? 3 : 1;
        l.pixels.assign(pixels, pixels + (static_cast<std::size_t>(l.width) * bytes + 3) / 4 * 4 * l.height);
        std::free(pixels);
    }
    return l;
}

inline std::uint32_t rgb(const plastora::Surface& s, int x, int y) { return s.at(x, y) & 0xFFFFFFu; }

inline int channelDistance(std::uint32_t a, std::uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8)
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 255) - static_cast<int>((b >> shift) & 255)));
    return worst;
}

}  // namespace rastertest
