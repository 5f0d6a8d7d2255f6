// Reading raster files into a Surface.
#include "Guard.h"
#include "RasterImage.h"
#include "pixelune/pixelune.h"

#include "platform/Host.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <utility>

namespace pixelune {

namespace {

// The palette every read starts from: the sixteen display colours at the
// ends (as a palette display keeps them) and a 6 x 6 x 6 colour cube with a
// grey ramp between.
const std::array<std::uint32_t, 256>& defaultPalette() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        const std::uint32_t low[10] = {0x000000, 0xFFFFFF, 0x008000, 0x808000, 0x000080,
                                       0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0};
        const std::uint32_t high[10] = {0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00,
                                        0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0x800000};
        for (int i = 0; i < 10; ++i) {
            t[i] = low[i];
            t[246 + i] = high[i];
        }
        int n = 10;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    t[n++] = static_cast<std::uint32_t>(r * 51) << 16 | static_cast<std::uint32_t>(g * 51) << 8 |
                             static_cast<std::uint32_t>(b * 51);
        // 10 + 216 = 226: twenty greys fill up to 246.
        for (int i = 0; n < 246; ++i, ++n) {
            const std::uint32_t v = static_cast<std::uint32_t>(8 + i * 12);
            t[n] = v << 16 | v << 8 | v;
        }
        return t;
    }();
    return table;
}

std::uint32_t u32(const std::uint8_t* p) {
    return p[0] | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16 |
           static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t u16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// The info header fields the readers use.
struct InfoHeader {
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
};

bool parseInfoHeader(const std::uint8_t* p, std::size_t avail, InfoHeader& h) {
    if (avail < 40) return false;
    h.size = u32(p);
    h.width = static_cast<std::int32_t>(u32(p + 4));
    h.height = static_cast<std::int32_t>(u32(p + 8));
    h.planes = u16(p + 12);
    h.bitCount = u16(p + 14);
    h.compression = u32(p + 16);
    h.coloursUsed = u32(p + 32);
    // Only uncompressed bottom-up pictures (masks come with compression 3).
    return h.size >= 40 && h.size <= avail && h.width > 0 && h.height > 0 && h.planes == 1 &&
           (h.compression == 0 || h.compression == 3) &&
           static_cast<std::int64_t>(h.width) * h.height <= kMaxRasterPixels;
}

// Reads 2^bits colour-table entries (blue, green, red, reserved) into the
// palette array.
// The entries of a colour table as stored: "colours used" of them, or all
// 2^bits when that field is 0 (or larger than the table can be). Small
// files from other programs store only the colours they use.
std::size_t colourTableEntries(const InfoHeader& h) {
    const std::size_t full = std::size_t{1} << h.bitCount;
    return h.coloursUsed == 0 ? full : std::min<std::size_t>(h.coloursUsed, full);
}

// The stored entries; the rest of the 2^bits are black.
void readColourTable(const std::uint8_t* p, int bits, std::size_t entries, std::uint32_t* paletteOut) {
    const std::size_t full = std::size_t{1} << bits;
    for (std::size_t i = 0; i < full; ++i) {
        const std::uint8_t* e = p + 4 * std::min(i, entries - 1);
        paletteOut[i] = i < entries ? static_cast<std::uint32_t>(e[2]) << 16 | static_cast<std::uint32_t>(e[1]) << 8 | e[0] : 0;
    }
}

// Spreads rows of 1, 4 or 8 bits per pixel to one index byte per pixel.
void unpackIndexRows(const std::uint8_t* src, std::size_t srcStride, int bits, RasterImage& image) {
    const std::size_t dstStride = image.stride();
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* s = src + static_cast<std::size_t>(y) * srcStride;
        std::uint8_t* d = image.pixels.data() + static_cast<std::size_t>(y) * dstStride;
        for (int x = 0; x < image.width; ++x) {
            if (bits == 8) {
                d[x] = s[x];
            } else {
                const int perByte = 8 / bits;
                const int shift = 8 - bits * (x % perByte + 1);
                d[x] = static_cast<std::uint8_t>((s[x / perByte] >> shift) & ((1 << bits) - 1));
            }
        }
    }
}

std::size_t packedStride(int width, int bits) {
    return (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
}

// A BMP file: file header, info header, colour table, pixels at the offset
// the file header gives. Every size and offset is checked against the data.
bool decodeBmp(const std::vector<std::uint8_t>& data, RasterImage& image, std::uint32_t* paletteOut) {
    if (data.size() < 54 || data[0] != 'B' || data[1] != 'M') return false;
    InfoHeader h;
    if (!parseInfoHeader(data.data() + 14, data.size() - 14, h) || h.compression != 0) return false;
    const int bits = h.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return false;
    const std::size_t tableAt = 14 + static_cast<std::size_t>(h.size);
    if (bits <= 8) {
        const std::size_t entries = colourTableEntries(h);
        if (!paletteOut || tableAt + 4 * entries > data.size()) return false;
        readColourTable(data.data() + tableAt, bits, entries, paletteOut);
    }
    const std::uint32_t offset = u32(data.data() + 10);
    const std::size_t srcStride = packedStride(h.width, bits);
    if (offset < 54 || offset > data.size() || (data.size() - offset) / srcStride < static_cast<std::size_t>(h.height))
        return false;
    if (!image.allocate(h.width, h.height, bits <= 8 ? 8 : 24)) return false;
    image.fileBits = bits;
    if (bits <= 8) {
        unpackIndexRows(data.data() + offset, srcStride, bits, image);
    } else {
        std::memcpy(image.pixels.data(), data.data() + offset, image.pixels.size());
    }
    return true;
}

// One colour channel of a 16- or 32-bit pixel by its mask, as 8 bits: the
// masked bits moved down and widened (or narrowed) to 8 by shifting, so
// that 5-6-5's red 0xF800 gives 0xF8.
struct ChannelMask {
    std::uint32_t mask = 0;
    int shift = 0, width = 0;
    explicit ChannelMask(std::uint32_t m) : mask(m) {
        if (!m) return;
        while (!((m >> shift) & 1u)) ++shift;
        for (std::uint32_t v = m >> shift; v; v >>= 1) ++width;
    }
    std::uint8_t operator()(std::uint32_t pixel) const {
        const std::uint32_t v = (pixel & mask) >> shift;
        return static_cast<std::uint8_t>(width >= 8 ? v >> (width - 8) : v << (8 - width));
    }
};

// A packed DIB in memory. 16- and 32-bit pictures become 24 bits, widened to
// a multiple of 4 pixels. Their colours are laid out by three masks: after
// a 40-byte header (compression 3), inside a longer one, or the standard
// ones without compression (5-5-5 for 16 bits, 8-8-8 for 32).
bool decodeDib(const std::uint8_t* dib, std::size_t size, RasterImage& image, std::uint32_t* paletteOut) {
    InfoHeader h;
    if (!parseInfoHeader(dib, size, h)) return false;
    const int bits = h.bitCount;
    const std::size_t headerEnd = h.size;
    if (bits == 16 || bits == 32) {
        std::uint32_t masks[3] = {bits == 16 ? 0x7C00u : 0xFF0000u, bits == 16 ? 0x03E0u : 0x00FF00u,
                                  bits == 16 ? 0x001Fu : 0x0000FFu};
        std::size_t pixelsAt = headerEnd;
        if (h.compression == 3) {
            const bool inHeader = h.size >= 52;
            const std::size_t masksAt = inHeader ? 40 : headerEnd;
            if (masksAt + 12 > size) return false;
            for (int i = 0; i < 3; ++i) masks[i] = u32(dib + masksAt + 4 * static_cast<std::size_t>(i));
            if (!inHeader) pixelsAt += 12;
        }
        const ChannelMask red(masks[0]), green(masks[1]), blue(masks[2]);
        const std::size_t srcStride = packedStride(h.width, bits);
        if (pixelsAt > size || (size - pixelsAt) / srcStride < static_cast<std::size_t>(h.height)) return false;
        const int wide = (h.width + 3) / 4 * 4;
        if (!image.allocate(wide, h.height, 24)) return false;
        image.fileBits = bits;
        for (int y = 0; y < h.height; ++y) {
            const std::uint8_t* s = dib + pixelsAt + static_cast<std::size_t>(y) * srcStride;
            std::uint8_t* d = image.pixels.data() + static_cast<std::size_t>(y) * image.stride();
            for (int x = 0; x < h.width; ++x) {
                const std::uint32_t pixel = bits == 16 ? u16(s + x * 2) : u32(s + x * 4);
                d[x * 3] = blue(pixel);
                d[x * 3 + 1] = green(pixel);
                d[x * 3 + 2] = red(pixel);
            }
        }
        return true;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return false;
    std::size_t pixelsAt = headerEnd;
    if (bits <= 8) {
        const std::size_t entries = colourTableEntries(h);
        if (!paletteOut || pixelsAt + 4 * entries > size) return false;
        readColourTable(dib + pixelsAt, bits, entries, paletteOut);
        pixelsAt += 4 * entries;
    }
    const std::size_t srcStride = packedStride(h.width, bits);
    if (pixelsAt > size || (size - pixelsAt) / srcStride < static_cast<std::size_t>(h.height)) return false;
    if (!image.allocate(h.width, h.height, bits <= 8 ? 8 : 24)) return false;
    image.fileBits = bits;
    if (bits <= 8)
        unpackIndexRows(dib + pixelsAt, srcStride, bits, image);
    else
        std::memcpy(image.pixels.data(), dib + pixelsAt, image.pixels.size());
    return true;
}

bool decodeGif(const char* fileName, bool skipHeader, RasterImage& image, std::uint32_t* paletteOut) {
    if (!paletteOut) return false;
    std::FILE* f = openRegularFile(fileName);
    if (!f) return false;
    if (skipHeader && std::fseek(f, 256, SEEK_SET) != 0) {
        std::fclose(f);
        return false;
    }
    unsigned char* pixels = nullptr;
    short bits = 0;
    int w = 0, h = 0;
    plastora::Point position{};
    const int ok = GifRead(0, f, &pixels, &bits, paletteOut, &w, &h, nullptr, nullptr, &position, nullptr);
    std::fclose(f);
    if (!ok) return false;
    const bool sized = image.allocate(w, h, 8);
    if (sized) std::memcpy(image.pixels.data(), pixels, image.pixels.size());
    std::free(pixels);
    image.fileBits = 8;
    return sized;
}

// Reduces a 24-bit picture to 8-bit indices into a palette made from its most
// frequent colours (on 4 bits per component), after 17 fixed colours.
// False (the picture as it was) when there is no memory for the reduction.
bool reduceColours(RasterImage& image, std::uint32_t* paletteOut) {
    auto keyOf = [](const std::uint8_t* bgr) {
        return (bgr[2] >> 4) << 8 | (bgr[1] & 0xF0) | (bgr[0] >> 4);
    };
    std::vector<std::uint32_t> counts(4096, 0);
    const std::size_t srcStride = image.stride();
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* s = image.pixels.data() + static_cast<std::size_t>(y) * srcStride;
        for (int x = 0; x < image.width; ++x) ++counts[keyOf(s + x * 3)];
    }
    static const std::uint32_t fixed[17] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                            0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                                            0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF, 0x808000};
    std::uint32_t palette[256] = {};
    std::copy(std::begin(fixed), std::end(fixed), palette);
    auto widen = [](int v) { return static_cast<std::uint32_t>(v == 15 ? 255 : v << 4); };
    auto keyColour = [&](int key) {
        return widen(key >> 8) << 16 | widen((key >> 4) & 15) << 8 | widen(key & 15);
    };
    for (int entry = 68; entry < 256; ++entry) {
        // The most frequent remaining key; the lowest key wins a tie.
        int best = -1;
        for (int k = 0; k < 4096; ++k)
            if (counts[k] && (best < 0 || counts[k] > counts[best])) best = k;
        if (best < 0) break;
        counts[best] = 0;
        palette[entry] = keyColour(best);
    }
    std::vector<int> nearest(4096, -1);
    RasterImage reduced;
    if (!reduced.allocate(image.width, image.height, 8)) return false;
    reduced.fileBits = image.fileBits;
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* s = image.pixels.data() + static_cast<std::size_t>(y) * srcStride;
        std::uint8_t* d = reduced.pixels.data() + static_cast<std::size_t>(y) * reduced.stride();
        for (int x = 0; x < image.width; ++x) {
            const int key = keyOf(s + x * 3);
            if (nearest[key] < 0) {
                const std::uint32_t c = keyColour(key);
                long bestDistance = -1;
                for (int i = 0; i < 256; ++i) {
                    const long dr = static_cast<long>((c >> 16) & 255) - ((palette[i] >> 16) & 255);
                    const long dg = static_cast<long>((c >> 8) & 255) - ((palette[i] >> 8) & 255);
                    const long db = static_cast<long>(c & 255) - (palette[i] & 255);
                    const long dist = dr * dr + dg * dg + db * db;
                    if (bestDistance < 0 || dist < bestDistance) {
                        bestDistance = dist;
                        nearest[key] = i;
                    }
                }
            }
            d[x] = static_cast<std::uint8_t>(nearest[key]);
        }
    }
    image = std::move(reduced);
    std::copy(std::begin(palette), std::end(palette), paletteOut);
    return true;
}

// The pixel at (x, y) of the picture, counted from the top.
plastora::Pixel pixelOf(const RasterImage& image, const std::uint32_t* palette, int x, int y) {
    const std::uint8_t* row = image.pixels.data() + static_cast<std::size_t>(image.height - 1 - y) * image.stride();
    if (image.bits == 8) return plastora::kOpaque | (palette ? palette[row[x]] & 0xFFFFFFu : 0u);
    const std::uint8_t* p = row + x * 3;
    return plastora::kOpaque | static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[0];
}

// Draws the picture at w x h: its own size pixel for pixel, a smaller size
// by averaging (halftone) or by picking pixels (palette displays and
// palette indices, which cannot be averaged).
void drawImage(plastora::Surface& surface, const RasterImage& image, const std::uint32_t* palette, bool halftone) {
    const int w = surface.width(), h = surface.height();
    for (int y = 0; y < h; ++y) {
        plastora::Pixel* out = surface.row(y);
        const int y0 = static_cast<int>(static_cast<std::int64_t>(y) * image.height / h);
        const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<std::int64_t>(y + 1) * image.height / h));
        for (int x = 0; x < w; ++x) {
            const int x0 = static_cast<int>(static_cast<std::int64_t>(x) * image.width / w);
            if (!halftone || (w == image.width && h == image.height)) {
                out[x] = pixelOf(image, palette, x0, y0);
                continue;
            }
            const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<std::int64_t>(x + 1) * image.width / w));
            std::uint64_t r = 0, g = 0, b = 0, n = 0;
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx, ++n) {
                    const plastora::Pixel p = pixelOf(image, palette, sx, sy);
                    r += (p >> 16) & 255;
                    g += (p >> 8) & 255;
                    b += p & 255;
                }
            out[x] = plastora::kOpaque | static_cast<std::uint32_t>(r / n) << 16 |
                     static_cast<std::uint32_t>(g / n) << 8 | static_cast<std::uint32_t>(b / n);
        }
    }
}

// The picture resampled to w x h by picking pixels (for the pixel copy).
// Empty when there is no memory for it.
RasterImage resampled(const RasterImage& image, int w, int h) {
    RasterImage out;
    if (!out.allocate(w, h, image.bits)) return out;
    out.fileBits = image.fileBits;
    const int bytes = image.bits / 8;
    for (int y = 0; y < h; ++y) {
        const int sy = static_cast<int>(static_cast<std::int64_t>(y) * image.height / h);
        const std::uint8_t* s = image.pixels.data() + static_cast<std::size_t>(sy) * image.stride();
        std::uint8_t* d = out.pixels.data() + static_cast<std::size_t>(y) * out.stride();
        for (int x = 0; x < w; ++x) {
            const int sx = static_cast<int>(static_cast<std::int64_t>(x) * image.width / w);
            std::memcpy(d + x * bytes, s + sx * bytes, bytes);
        }
    }
    return out;
}

}  // namespace
}  // namespace pixelune

using namespace pixelune;

static int ReadRasterFileBody(const PixDisplay* display, plastora::Surface* surface, std::uint32_t* palette,
                   const char* fileName, const unsigned char* dib, std::size_t dibSize, unsigned char** pixelsOut,
                   int* width, int* height, int* bitCount, int makePalette, std::uint32_t* paletteOut) {
    if (!surface || !width || !height) return 0;
    const int displayBits = display ? display->bitsPerPixel : 32;
    if (paletteOut) std::copy(defaultPalette().begin(), defaultPalette().end(), paletteOut);

    RasterImage image;
    bool ok = false;
    if (dib) {
        ok = decodeDib(dib, dibSize, image, paletteOut);
    } else if (fileName) {
        switch (formatOfName(fileName)) {
        case RasterFormat::Jpeg:
            ok = readJpegFile(fileName, image);
            break;
        case RasterFormat::Png: {
            auto sink = [](void* host, const char* text) {
                if (host) static_cast<plastora::Host*>(host)->message(plastora::MessageRequest{text});
            };
            ok = readPngFile(fileName, image, sink, display ? display->host : nullptr);
            break;
        }
        case RasterFormat::Gif:
        case RasterFormat::Saf:
            ok = decodeGif(fileName, formatOfName(fileName) == RasterFormat::Saf, image, paletteOut);
            break;
        case RasterFormat::Bmp: {
            std::vector<std::uint8_t> data;
            ok = readWholeFile(fileName, data) && decodeBmp(data, image, paletteOut);
            break;
        }
        }
    }
    if (!ok) return 0;

    // A palette display shows at most 256 colours: reduce deep pictures.
    if (image.bits > 8 && displayBits <= 8) {
        if (!paletteOut || !reduceColours(image, paletteOut)) return 0;
    }
    if (image.bits == 8 && !paletteOut) return 0;
    if (palette && makePalette) std::copy(paletteOut, paletteOut + kPixPaletteSize, palette);

    int shownW = image.width, shownH = image.height;
    if (!surface->create(shownW, shownH)) {
        // The picture cannot be held at its size: show it smaller when it is
        // large (a small one that fails is a real shortage of memory).
        if (image.width <= kPixReducedSide && image.height <= kPixReducedSide) return 0;
        if (display && display->host) display->host->message(plastora::MessageRequest{kPixTooLargeMessage});
        if (image.height < image.width) {
            shownW = kPixReducedSide;
            shownH = static_cast<int>(static_cast<std::int64_t>(image.height) * kPixReducedSide / image.width);
        } else {
            shownH = kPixReducedSide;
            shownW = static_cast<int>(static_cast<std::int64_t>(image.width) * kPixReducedSide / image.height);
        }
        shownW = std::max(shownW, 1);
        shownH = std::max(shownH, 1);
        if (!surface->create(shownW, shownH)) return 0;
    }
    drawImage(*surface, image, paletteOut, image.bits > 8 && displayBits > 8);

    if (pixelsOut) {
        std::vector<std::uint8_t> copy;
        if (shownW == image.width && shownH == image.height)
            copy = std::move(image.pixels);
        else if (image.bits == 8) {
            copy = resampled(image, shownW, shownH).pixels;
            if (copy.empty()) {
                surface->reset();
                return 0;
            }
        }
        else
            copy = plastora::getDIBits(*surface);
        auto* buffer = static_cast<unsigned char*>(std::calloc(std::max<std::size_t>(copy.size(), 1), 1));
        if (!buffer) {
            surface->reset();
            return 0;
        }
        std::memcpy(buffer, copy.data(), copy.size());
        *pixelsOut = buffer;
    }
    if (*width == 0) {
        *width = shownW;
        *height = shownH;
    }
    if (bitCount) *bitCount = image.bits == 8 ? image.fileBits < 8 ? image.fileBits : 8 : 24;
    return 1;
}

void RasterRelease(plastora::Surface* surface) {
    if (surface) surface->reset();
}

void PixSetAllocationHook(plastora::Surface::AllocationHook hook) {
    plastora::Surface::setAllocationHook(std::move(hook));
}

int ReadRasterFile(const PixDisplay* display, plastora::Surface* surface, std::uint32_t* palette, const char* fileName, const unsigned char* dib, std::size_t dibSize, unsigned char** pixelsOut, int* width, int* height, int* bitCount, int makePalette, std::uint32_t* paletteOut) {
    return pixelune::guarded(int{0}, [&] { return ReadRasterFileBody(display, surface, palette, fileName, dib, dibSize, pixelsOut, width, height, bitCount, makePalette, paletteOut); });
}

void PixDefaultPalette(std::uint32_t* palette) {
    if (palette) std::copy(pixelune::defaultPalette().begin(), pixelune::defaultPalette().end(), palette);
}
