// Helpers of the GIF tests: pictures, files in memory, and giflib as the
// independent reader and writer.
#pragma once

#include "pixelune/pixelune.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace giftest {

using Bytes = std::vector<std::uint8_t>;

// An indexed picture as the library takes it: bottom-up rows.
struct Picture {
    int width = 0, height = 0, stride = 0;
    short bits = 8;
    Bytes pixels;
    std::vector<std::uint32_t> palette = std::vector<std::uint32_t>(256);

    Picture(int w, int h, short b) : width(w), height(h), stride((w + 3) / 4 * 4), bits(b), pixels(stride * h) {
        for (std::uint32_t i = 0; i < 256; ++i) palette[i] = (i * 37 % 256) << 16 | (255 - i) << 8 | (i * 11 % 256);
    }
    // (x, y) with y counted from the top.
    std::uint8_t& at(int x, int y) { return pixels[static_cast<std::size_t>(height - 1 - y) * stride + x]; }
    std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(height - 1 - y) * stride + x]; }
};

inline Picture noise(int w, int h, short bits, unsigned seed, int colours = 0) {
    Picture p(w, h, bits);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.at(x, y) = static_cast<std::uint8_t>(rng() % (colours ? colours : 1 << bits));
    return p;
}

// Diagonal bands: compresses well, and every row differs from the next.
inline Picture bands(int w, int h, short bits) {
    Picture p(w, h, bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.at(x, y) = static_cast<std::uint8_t>(((x + 2 * y) / 5) % (1 << bits));
    return p;
}

inline Bytes contents(std::FILE* f) {
    std::fflush(f);
    std::fseek(f, 0, SEEK_END);
    Bytes b(static_cast<std::size_t>(std::ftell(f)));
    std::rewind(f);
    if (!b.empty() && std::fread(b.data(), 1, b.size(), f) != b.size()) b.clear();
    return b;
}

// A temporary file holding `b`, positioned at its start.
inline std::FILE* fileWith(const Bytes& b) {
    std::FILE* f = std::tmpfile();
    if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
    std::rewind(f);
    return f;
}

inline void writeAll(const std::string& path, const Bytes& b) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
}

// A still GIF of `p` written by GifWrite as a first image.
inline Bytes writeStill(const Picture& p, int delay = 0, plastora::Point transparentAt = {-1, -1}, int interlace = 0) {
    std::FILE* f = std::tmpfile();
    EXPECT_EQ(GifWrite(0, f, p.pixels.data(), p.palette.data(), p.bits, p.width, p.height, p.stride, nullptr, delay,
                       transparentAt, interlace),
              1);
    Bytes b = contents(f);
    std::fclose(f);
    return b;
}

// What GifRead gives back for one image; the out-values start as markers.
struct Decoded {
    int result = 0;
    Bytes pixels;
    int width = 0, height = 0, stride = 0;
    short bits = 0;
    std::vector<std::uint32_t> palette = std::vector<std::uint32_t>(256, 0xDEADBEEF);
    int delay = -7;
    plastora::ColorRef transparentColour = 0xFEFEFEFE;
    plastora::Point position{-9, -9};
    int transparentIndex = -5;
    std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(height - 1 - y) * stride + x]; }
    bool allZero() const { return std::count(pixels.begin(), pixels.end(), 0) == static_cast<long>(pixels.size()); }
};

inline Decoded readImage(std::FILE* f, int next, bool withPosition) {
    Decoded d;
    unsigned char* buffer = nullptr;
    d.result = GifRead(next, f, &buffer, &d.bits, d.palette.data(), &d.width, &d.height, &d.delay,
                       &d.transparentColour, withPosition ? &d.position : nullptr, &d.transparentIndex);
    if (d.result == 1) {
        d.stride = (d.width + 3) / 4 * 4;
        d.pixels.assign(buffer, buffer + static_cast<std::size_t>(d.stride) * d.height);
        std::free(buffer);
    }
    return d;
}

inline Decoded readFirst(const Bytes& b, bool withPosition = false) {
    std::FILE* f = fileWith(b);
    Decoded d = readImage(f, 0, withPosition);
    std::fclose(f);
    return d;
}

// Pixels of `d` that differ from `p` (both top-left aligned).
inline int wrongPixels(const Decoded& d, const Picture& p) {
    int wrong = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) wrong += d.at(x, y) != p.at(x, y);
    return wrong;
}

// ---------------------------------------------------------------------------
// giflib.

struct MemoryInput {
    const Bytes* bytes;
    std::size_t pos = 0;
};

inline int readMemory(GifFileType* gif, GifByteType* out, int n) {
    auto* in = static_cast<MemoryInput*>(gif->UserData);
    const std::size_t k = std::min<std::size_t>(static_cast<std::size_t>(n), in->bytes->size() - in->pos);
    std::memcpy(out, in->bytes->data() + in->pos, k);
    in->pos += k;
    return static_cast<int>(k);
}

inline int writeMemory(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

// giflib's whole-file reading.
class Giflib {
public:
    explicit Giflib(const Bytes& b) : m_in{&b} {
        int error = 0;
        m_gif = DGifOpen(&m_in, readMemory, &error);
        if (m_gif && DGifSlurp(m_gif) != GIF_OK) {
            DGifCloseFile(m_gif, &error);
            m_gif = nullptr;
        }
    }
    ~Giflib() {
        int error = 0;
        if (m_gif) DGifCloseFile(m_gif, &error);
    }
    Giflib(const Giflib&) = delete;
    Giflib& operator=(const Giflib&) = delete;

    bool ok() const { return m_gif != nullptr; }
    GifFileType* operator->() const { return m_gif; }
    const GifImageDesc& desc(int i) const { return m_gif->SavedImages[i].ImageDesc; }
    GraphicsControlBlock control(int i) const {
        GraphicsControlBlock gcb{};
        DGifSavedExtensionToGCB(m_gif, i, &gcb);
        return gcb;
    }
    // Pixel (x, y) of image i, in the image's own coordinates.
    std::uint8_t at(int i, int x, int y) const {
        return m_gif->SavedImages[i].RasterBits[static_cast<std::size_t>(y) * desc(i).Width + x];
    }

private:
    MemoryInput m_in;
    GifFileType* m_gif = nullptr;
};

// giflib decodes the file's first image to the picture's pixels and colours.
inline void expectGiflibReads(const Bytes& file, const Picture& p) {
    Giflib g(file);
    ASSERT_TRUE(g.ok());
    ASSERT_EQ(g->SWidth, p.width);
    ASSERT_EQ(g->SHeight, p.height);
    ASSERT_EQ(g->SColorMap->ColorCount, 1 << p.bits);
    for (int i = 0; i < (1 << p.bits); ++i) {
        const GifColorType c = g->SColorMap->Colors[i];
        EXPECT_EQ(std::uint32_t{c.Red} << 16 | std::uint32_t{c.Green} << 8 | c.Blue, p.palette[i]) << i;
    }
    int wrong = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) wrong += g.at(0, x, y) != p.at(x, y);
    EXPECT_EQ(wrong, 0);
}

// The codes of the first image as giflib reads them (its own code-width
// rule), the end code left out.
inline std::vector<int> giflibCodes(const Bytes& b) {
    std::vector<int> codes;
    MemoryInput in{&b};
    int error = 0, code = 0;
    GifFileType* gif = DGifOpen(&in, readMemory, &error);
    GifRecordType type;
    while (gif && DGifGetRecordType(gif, &type) == GIF_OK && type == EXTENSION_RECORD_TYPE) {
        GifByteType* ext = nullptr;
        DGifGetExtension(gif, &code, &ext);
        while (ext) DGifGetExtensionNext(gif, &ext);
    }
    if (gif && type == IMAGE_DESC_RECORD_TYPE && DGifGetImageDesc(gif) == GIF_OK)
        while (DGifGetLZCodes(gif, &code) == GIF_OK && code != -1) codes.push_back(code);
    if (gif) DGifCloseFile(gif, &error);
    return codes;
}

// One image for giflib's writer.
struct GiflibImage {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlace = false;
    std::vector<std::uint32_t> localPalette;  // empty: none
    short localBits = 0;
    Bytes raster;    // top-down, width x height
    int delay = -1;  // >= 0: with a graphic control block
    int transparent = NO_TRANSPARENT_COLOR;
    int disposal = DISPOSAL_UNSPECIFIED;
    std::string comment;
};

inline GiflibImage rasterOf(const Picture& p) {
    GiflibImage im;
    im.width = p.width;
    im.height = p.height;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) im.raster.push_back(p.at(x, y));
    return im;
}

inline ColorMapObject* giflibMap(const std::vector<std::uint32_t>& palette, short bits) {
    std::vector<GifColorType> colours(std::size_t{1} << bits);
    for (std::size_t i = 0; i < colours.size(); ++i)
        colours[i] = {static_cast<GifByteType>(palette[i] >> 16), static_cast<GifByteType>(palette[i] >> 8),
                      static_cast<GifByteType>(palette[i])};
    return GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
}

// A GIF written by giflib's encoder, image by image and row by row;
// `globalBits` 0 writes no global table.
inline Bytes giflibWrite(int screenW, int screenH, const std::vector<std::uint32_t>& palette, short globalBits,
                         const std::vector<GiflibImage>& images) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeMemory, &error);
    bool extensions = false;
    for (const GiflibImage& im : images) extensions |= im.delay >= 0 || !im.comment.empty();
    EGifSetGifVersion(gif, extensions);
    ColorMapObject* global = globalBits > 0 ? giflibMap(palette, globalBits) : nullptr;
    bool ok = EGifPutScreenDesc(gif, screenW, screenH, 8, 0, global) == GIF_OK;
    for (const GiflibImage& im : images) {
        if (!im.comment.empty()) ok &= EGifPutComment(gif, im.comment.c_str()) == GIF_OK;
        if (im.delay >= 0) {
            const GraphicsControlBlock gcb{im.disposal, false, im.delay, im.transparent};
            GifByteType block[4];
            EGifGCBToExtension(&gcb, block);
            ok &= EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block) == GIF_OK;
        }
        ColorMapObject* local = im.localPalette.empty() ? nullptr : giflibMap(im.localPalette, im.localBits);
        ok &= EGifPutImageDesc(gif, im.left, im.top, im.width, im.height, im.interlace, local) == GIF_OK;
        GifFreeMapObject(local);
        // giflib takes the rows in the order they are stored: the four
        // passes for an interlaced image.
        static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
        std::vector<int> rows;
        for (int pass = 0; pass < 4; ++pass)
            for (int y = im.interlace ? kStart[pass] : pass ? im.height : 0; y < im.height; y += im.interlace ? kStep[pass] : 1)
                rows.push_back(y);
        for (int y : rows)
            ok &= EGifPutLine(gif, const_cast<GifByteType*>(im.raster.data()) + static_cast<std::size_t>(y) * im.width,
                              im.width) == GIF_OK;
    }
    ok &= EGifCloseFile(gif, &error) == GIF_OK;
    GifFreeMapObject(global);
    if (!ok) out.clear();
    return out;
}

}  // namespace giftest
