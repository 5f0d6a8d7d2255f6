// Writing a Surface to raster files.
#include "Guard.h"
#include "RasterImage.h"
#include "platform/SafeFile.h"
#include "pixelune/pixelune.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unordered_map>

namespace pixelune {
namespace {

int g_jpegQuality = 80;

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// The picture's width x height block as bottom-up 24-bit rows.
std::vector<std::uint8_t> rowsOf(const plastora::Surface& picture, int width, int height) {
    const std::size_t stride = RasterImage::strideFor(width, 24);
    std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        const plastora::Pixel* src = picture.row(y);
        std::uint8_t* dst = rows.data() + static_cast<std::size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            dst[x * 3] = static_cast<std::uint8_t>(src[x]);
            dst[x * 3 + 1] = static_cast<std::uint8_t>(src[x] >> 8);
            dst[x * 3 + 2] = static_cast<std::uint8_t>(src[x] >> 16);
        }
    }
    return rows;
}

// The picture as bottom-up rows of one index byte per pixel: each pixel the
// nearest of the first `entries` palette colours (the lowest index on a tie).
std::vector<std::uint8_t> indicesOf(const plastora::Surface& picture, int width, int height,
                                    const std::uint32_t* palette, int entries) {
    const std::size_t stride = RasterImage::strideFor(width, 8);
    std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(height), 0);
    std::unordered_map<std::uint32_t, std::uint8_t> memo;
    for (int y = 0; y < height; ++y) {
        const plastora::Pixel* src = picture.row(y);
        std::uint8_t* dst = rows.data() + static_cast<std::size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = src[x] & 0xFFFFFFu;
            auto found = memo.find(c);
            if (found == memo.end()) {
                long best = -1;
                std::uint8_t index = 0;
                for (int i = 0; i < entries; ++i) {
                    const long dr = static_cast<long>((c >> 16) & 255) - ((palette[i] >> 16) & 255);
                    const long dg = static_cast<long>((c >> 8) & 255) - ((palette[i] >> 8) & 255);
                    const long db = static_cast<long>(c & 255) - (palette[i] & 255);
                    const long d = dr * dr + dg * dg + db * db;
                    if (best < 0 || d < best) {
                        best = d;
                        index = static_cast<std::uint8_t>(i);
                    }
                }
                found = memo.emplace(c, index).first;
            }
            dst[x] = found->second;
        }
    }
    return rows;
}

// Packs one-byte indices into rows of 1 bit per pixel, padded to 4 bytes.
std::vector<std::uint8_t> packOneBit(const std::vector<std::uint8_t>& indices, int width, int height) {
    const std::size_t srcStride = RasterImage::strideFor(width, 8);
    const std::size_t stride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
    std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (indices[y * srcStride + x] & 1)
                rows[y * stride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    return rows;
}

// Writes the whole of `bytes` through a temporary file renamed over the
// target. False when any step fails (the target is then untouched); `created`
// tells whether the temporary file could be made at all.
bool replaceFile(const char* fileName, const std::vector<std::uint8_t>& bytes, bool& created) {
    plastora::ReplacingFile file;
    created = file.open(fileName);
    if (!created) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.stream()) != bytes.size()) return false;
    return file.commit();
}

}  // namespace
}  // namespace pixelune

using namespace pixelune;

static int WriteRasterFileBody(const char* fileName, std::vector<std::uint8_t>* dibOut, short bitCount,
                    const plastora::Surface* picture, int width, int height, const std::uint32_t* palette,
                    plastora::Point transparentAt, int interlace, int reduceColours) {
    if (!fileName || !picture || width <= 0 || height <= 0 || width > picture->width() ||
        height > picture->height() || static_cast<std::int64_t>(width) * height > kMaxRasterPixels)
        return 0;
    const bool named = fileName[0] != 0;
    const RasterFormat format = named ? formatOfName(fileName) : RasterFormat::Bmp;
    if (!named && !dibOut) return 0;

    // JPEG and PNG files hold 24-bit pixels whatever the picture's depth.
    if (format == RasterFormat::Jpeg || format == RasterFormat::Png) {
        const std::vector<std::uint8_t> rows = rowsOf(*picture, width, height);
        plastora::ReplacingFile file;
        if (!file.open(fileName)) return 0;  // these formats report any failure as 0
        const bool ok = format == RasterFormat::Jpeg
                            ? writeJpegFile(file.stream(), rows.data(), width, height, g_jpegQuality)
                            : writePngFile(file.stream(), rows.data(), width, height, nullptr, nullptr);
        return ok && file.commit() ? 1 : 0;
    }

    const bool gif = format == RasterFormat::Gif || format == RasterFormat::Saf;
    int bits = bitCount >= 9 ? (gif ? 8 : 24) : (bitCount == 1 ? 1 : 8);
    if (bits <= 8 && !palette) return 0;

    if (gif) {
        std::vector<std::uint8_t> indices = indicesOf(*picture, width, height, palette, 1 << bits);
        std::uint32_t colours[256] = {};
        std::memcpy(colours, palette, sizeof(std::uint32_t) << bits);
        if (reduceColours && bits == 8) {
            // Renumber up to 16 distinct indices in order of first appearance.
            int renumber[256];
            std::fill(std::begin(renumber), std::end(renumber), -1);
            int n = 0;
            const std::size_t stride = RasterImage::strideFor(width, 8);
            for (int y = 0; y < height && n <= 16; ++y)
                for (int x = 0; x < width && n <= 16; ++x) {
                    const std::uint8_t v = indices[y * stride + x];
                    if (renumber[v] < 0) renumber[v] = n++;
                }
            if (n <= 16) {
                std::uint32_t reordered[256] = {};
                for (int i = 0; i < 256; ++i)
                    if (renumber[i] >= 0) reordered[renumber[i]] = palette[i];
                std::memcpy(colours, reordered, sizeof reordered);
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < width; ++x)
                        indices[y * stride + x] = static_cast<std::uint8_t>(renumber[indices[y * stride + x]]);
                bits = n < 3 ? 1 : n <= 4 ? 2 : 4;
            }
        }
        plastora::ReplacingFile file;
        if (!file.open(fileName)) return kPixCannotCreate;
        const int ok = GifWrite(0, file.stream(), indices.data(), colours, static_cast<short>(bits), width, height,
                                static_cast<int>(RasterImage::strideFor(width, 8)), nullptr, 0, transparentAt, interlace);
        return ok != 0 && file.commit() ? 1 : 0;
    }

    // BMP, or a packed DIB in memory.
    std::vector<std::uint8_t> pixels;
    if (bits == 24) {
        pixels = rowsOf(*picture, width, height);
    } else {
        pixels = indicesOf(*picture, width, height, palette, 1 << bits);
        if (bits == 1) pixels = packOneBit(pixels, width, height);
    }
    const std::uint32_t colours = bits <= 8 ? 1u << bits : 0u;
    std::vector<std::uint8_t> out;
    const std::uint32_t offset = 54 + 4 * colours;
    if (named) {
        out.push_back('B');
        out.push_back('M');
        put32(out, offset + static_cast<std::uint32_t>(pixels.size()));
        put32(out, 0);
        put32(out, offset);
    }
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));
    put16(out, 1);
    put16(out, static_cast<std::uint32_t>(bits));
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(pixels.size()));
    put32(out, 0);
    put32(out, 0);
    put32(out, colours);
    put32(out, colours);
    for (std::uint32_t i = 0; i < colours; ++i) {
        out.push_back(static_cast<std::uint8_t>(palette[i]));
        out.push_back(static_cast<std::uint8_t>(palette[i] >> 8));
        out.push_back(static_cast<std::uint8_t>(palette[i] >> 16));
        out.push_back(0);
    }
    out.insert(out.end(), pixels.begin(), pixels.end());
    if (!named) {
        *dibOut = std::move(out);
        return 1;
    }
    bool created = false;
    if (replaceFile(fileName, out, created)) return 1;
    return created ? 0 : kPixCannotCreate;
}

void SetJpegQuality(int quality) { g_jpegQuality = quality; }

int WriteRasterFile(const char* fileName, std::vector<std::uint8_t>* dibOut, short bitCount, const plastora::Surface* picture, int width, int height, const std::uint32_t* palette, plastora::Point transparentAt, int interlace, int reduceColours) {
    return pixelune::guarded(int{0}, [&] { return WriteRasterFileBody(fileName, dibOut, bitCount, picture, width, height, palette, transparentAt, interlace, reduceColours); });
}
