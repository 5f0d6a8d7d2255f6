// Helpers of the GIF tests: pictures, files in memory, giflib as the
// independent reader and writer, and a walk over a GIF file's blocks.
#pragma once

#include "pixelune/pixelune.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace giftest {

using Bytes = std::vector<std::uint8_t>;

// An 8-bit indexed picture as the library takes it: bottom-up rows.
struct Picture {
    int width = 0;
    int height = 0;
    int stride = 0;
    short bits = 8;
    Bytes pixels;                        // height x stride, bottom-up
    std::vector<std::uint32_t> palette;  // 256 entries 0x00RRGGBB

    Picture() = default;
    Picture(int w, int h, short b, int extraStride = 0)
        : width(w), height(h), stride((w + 3) / 4 * 4 + extraStride), bits(b),
          pixels(static_cast<std::size_t>(stride) * h, 0), palette(256, 0) {
        for (int i = 0; i < 256; ++i)
            palette[i] = (static_cast<std::uint32_t>(i * 37 % 256) << 16) | (static_cast<std::uint32_t>(255 - i) << 8) |
                         static_cast<std::uint32_t>(i * 11 % 256);
    }
    // (x, y) with y counted from the top.
    std::uint8_t& at(int x, int y) { return pixels[static_cast<std::size_t>(height - 1 - y) * stride + x]; }
    std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(height - 1 - y) * stride + x]; }
};

inline Picture noise(int w, int h, short bits, unsigned seed, int colours = 0) {
    Picture p(w, h, bits);
    std::mt19937 rng(seed);
    const int n = colours > 0 ? colours : 1 << bits;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.at(x, y) = static_cast<std::uint8_t>(rng() % n);
    return p;
}

// Diagonal bands: compresses well, and every row differs from the next.
inline Picture bands(int w, int h, short bits) {
    Picture p(w, h, bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.at(x, y) = static_cast<std::uint8_t>(((x + 2 * y) / 5) % (1 << bits));
    return p;
}

// ---------------------------------------------------------------------------
// Files.

inline Bytes contents(std::FILE* f) {
    std::fflush(f);
    std::fseek(f, 0, SEEK_END);
    const long n = std::ftell(f);
    std::rewind(f);
    Bytes b(static_cast<std::size_t>(n));
    if (n > 0 && std::fread(b.data(), 1, b.size(), f) != b.size()) b.clear();
    return b;
}

// A temporary file holding `b`, positioned at its start.
inline std::FILE* fileWith(const Bytes& b) {
    std::FILE* f = std::tmpfile();
    if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
    std::rewind(f);
    return f;
}

inline Bytes readAll(const std::string& path) {
    Bytes b;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        b = contents(f);
        std::fclose(f);
    }
    return b;
}

inline void writeAll(const std::string& path, const Bytes& b) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
}

// A still GIF of `p` written by GifWrite (first image).
inline Bytes writeStill(const Picture& p, int delay = 0, plastora::Point transparentAt = {-1, -1}, int interlace = 0) {
    std::FILE* f = std::tmpfile();
    EXPECT_EQ(GifWrite(0, f, p.pixels.data(), p.palette.data(), p.bits, p.width, p.height, p.stride, nullptr, delay,
                       transparentAt, interlace),
              1);
    Bytes b = contents(f);
    std::fclose(f);
    return b;
}

// What GifRead gives back for one image.
struct Decoded {
    int result = 0;
    Bytes pixels;  // stride x height bytes of the returned buffer
    int width = 0, height = 0, stride = 0;
    short bits = 0;
    std::vector<std::uint32_t> palette = std::vector<std::uint32_t>(256, 0xDEADBEEF);
    int delay = -7;
    plastora::ColorRef transparentColour = 0xFEFEFEFE;
    plastora::Point position{-9, -9};
    int transparentIndex = -5;
    // (x, y) with y counted from the top.
    std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(height - 1 - y) * stride + x]; }
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

// giflib's whole-file reading; closes itself.
class Giflib {
public:
    explicit Giflib(const Bytes& b) : m_in{&b} {
        int error = 0;
        m_gif = DGifOpen(&m_in, readMemory, &error);
        if (m_gif && DGifSlurp(m_gif) != GIF_OK) {
            m_error = m_gif->Error;
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
    const SavedImage& image(int i) const { return m_gif->SavedImages[i]; }
    GraphicsControlBlock control(int i) const {
        GraphicsControlBlock gcb{};
        DGifSavedExtensionToGCB(m_gif, i, &gcb);
        return gcb;
    }
    // Pixel (x, y) of image i, in the image's own coordinates.
    std::uint8_t at(int i, int x, int y) const {
        const SavedImage& s = image(i);
        return s.RasterBits[static_cast<std::size_t>(y) * s.ImageDesc.Width + x];
    }

private:
    MemoryInput m_in;
    GifFileType* m_gif = nullptr;
    int m_error = 0;
};

// The codes of the first image as giflib reads them (its own code-width
// rule), the end code left out.
inline std::vector<int> giflibCodes(const Bytes& b) {
    std::vector<int> codes;
    MemoryInput in{&b};
    int error = 0;
    GifFileType* gif = DGifOpen(&in, readMemory, &error);
    if (!gif) return codes;
    GifRecordType type;
    while (DGifGetRecordType(gif, &type) == GIF_OK && type != TERMINATE_RECORD_TYPE) {
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) != GIF_OK) break;
            while (ext && DGifGetExtensionNext(gif, &ext) == GIF_OK) {}
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) != GIF_OK) break;
        int code = 0;
        while (DGifGetLZCodes(gif, &code) == GIF_OK && code != -1) codes.push_back(code);
        break;
    }
    DGifCloseFile(gif, &error);
    return codes;
}

// A GIF written by giflib (EGifSpew) from a list of images.
struct GiflibImage {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlace = false;
    std::vector<std::uint32_t> localPalette;  // empty: none
    short localBits = 0;
    Bytes raster;  // top-down, width x height
    int delay = -1;  // >= 0: a graphic control block
    int transparent = NO_TRANSPARENT_COLOR;
    int disposal = DISPOSAL_UNSPECIFIED;
    std::string comment;
};

inline ColorMapObject* giflibMap(const std::vector<std::uint32_t>& palette, short bits) {
    std::vector<GifColorType> colours(static_cast<std::size_t>(1) << bits);
    for (std::size_t i = 0; i < colours.size(); ++i)
        colours[i] = GifColorType{static_cast<GifByteType>(palette[i] >> 16), static_cast<GifByteType>(palette[i] >> 8),
                                  static_cast<GifByteType>(palette[i])};
    return GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
}

// `globalBits` 0 writes no global colour table.
inline Bytes giflibWrite(int screenW, int screenH, const std::vector<std::uint32_t>& palette, short globalBits,
                         const std::vector<GiflibImage>& images) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeMemory, &error);
    if (!gif) return out;
    gif->SWidth = screenW;
    gif->SHeight = screenH;
    gif->SColorResolution = 8;
    gif->SBackGroundColor = 0;
    gif->SColorMap = globalBits > 0 ? giflibMap(palette, globalBits) : nullptr;
    for (std::size_t i = 0; i < images.size(); ++i) {
        const GiflibImage& im = images[i];
        SavedImage* s = GifMakeSavedImage(gif, nullptr);
        s->ImageDesc.Left = im.left;
        s->ImageDesc.Top = im.top;
        s->ImageDesc.Width = im.width;
        s->ImageDesc.Height = im.height;
        s->ImageDesc.Interlace = im.interlace;
        s->ImageDesc.ColorMap = im.localPalette.empty() ? nullptr : giflibMap(im.localPalette, im.localBits);
        s->RasterBits = static_cast<GifByteType*>(std::malloc(im.raster.size()));
        std::memcpy(s->RasterBits, im.raster.data(), im.raster.size());
        if (!im.comment.empty())
            GifAddExtensionBlock(&s->ExtensionBlockCount, &s->ExtensionBlocks, COMMENT_EXT_FUNC_CODE,
                                 static_cast<unsigned>(im.comment.size()),
                                 reinterpret_cast<unsigned char*>(const_cast<char*>(im.comment.data())));
        if (im.delay >= 0) {
            GraphicsControlBlock gcb{};
            gcb.DisposalMode = im.disposal;
            gcb.DelayTime = im.delay;
            gcb.TransparentColor = im.transparent;
            EGifGCBToSavedExtension(&gcb, gif, static_cast<int>(i));
        }
    }
    if (EGifSpew(gif) != GIF_OK) out.clear();  // closes the file either way
    return out;
}

// ---------------------------------------------------------------------------
// The blocks of a GIF file, walked by the book: extensions with their
// sub-blocks, images with their compressed data.

struct Block {
    int kind = 0;   // 0x21 extension, 0x2C image
    int label = 0;  // extension label
    Bytes body;     // extension: the sub-block contents concatenated; image: the 9 descriptor bytes
    std::vector<int> subBlockLengths;  // of the extension or of the image data
    int codeSize = 0;                  // image
    Bytes data;                        // image: compressed data
    std::size_t offset = 0;            // where the block starts in the file
};

struct Layout {
    bool ok = false;
    Bytes header;  // 13 bytes
    int globalColours = 0;
    std::vector<Block> blocks;
    std::size_t trailerAt = 0;  // offset of the trailer byte
};

inline Layout walk(const Bytes& b) {
    Layout l;
    std::size_t p = 13;
    if (b.size() < p) return l;
    l.header.assign(b.begin(), b.begin() + 13);
    if (b[10] & 0x80) l.globalColours = 1 << ((b[10] & 7) + 1);
    p += 3 * static_cast<std::size_t>(l.globalColours);
    auto subBlocks = [&](Block& blk, Bytes& into) {
        while (p < b.size()) {
            const int n = b[p++];
            if (n == 0) return true;
            if (p + n > b.size()) return false;
            blk.subBlockLengths.push_back(n);
            into.insert(into.end(), b.begin() + p, b.begin() + p + n);
            p += n;
        }
        return false;
    };
    while (p < b.size()) {
        Block blk;
        blk.offset = p;
        blk.kind = b[p++];
        if (blk.kind == 0x3B) {
            l.trailerAt = blk.offset;
            l.ok = true;
            return l;
        }
        if (blk.kind == 0x21) {
            if (p >= b.size()) return l;
            blk.label = b[p++];
            if (!subBlocks(blk, blk.body)) return l;
        } else if (blk.kind == 0x2C) {
            if (p + 10 > b.size()) return l;
            blk.body.assign(b.begin() + p, b.begin() + p + 9);
            p += 9;
            if (blk.body[8] & 0x80) p += 3 * (std::size_t{1} << ((blk.body[8] & 7) + 1));
            if (p >= b.size()) return l;
            blk.codeSize = b[p++];
            if (!subBlocks(blk, blk.data)) return l;
        } else {
            return l;
        }
        l.blocks.push_back(std::move(blk));
    }
    return l;
}

inline int le16(const Bytes& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

}  // namespace giftest
