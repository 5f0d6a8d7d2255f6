// Reading GIF images: the first image of a file, or the next image of an
// animation, into a bottom-up 8-bit pixel buffer.
//
// Every length comes from the file and is trusted only as far as the data
// bears it out: tables and descriptors that end early fail the read,
// compressed data that ends early leaves the rest of the image zero, and the
// image is clipped to the buffer it is placed in.
#include "Guard.h"
#include "Lzw.h"
#include "RasterImage.h"
#include "pixelune/pixelune.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

using plastora::ColorRef;
using plastora::Point;

namespace {

using ColourTable = std::array<std::uint32_t, kPixPaletteSize>;

constexpr int kExtension = 0x21;
constexpr int kImage = 0x2C;
constexpr int kControlLabel = 0xF9;

bool readBytes(std::FILE* f, void* p, std::size_t n) { return std::fread(p, 1, n, f) == n; }

int le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

bool readColourTable(std::FILE* f, ColourTable& table, int bits) {
    const int colours = 1 << bits;
    std::uint8_t rgb[3 * kPixPaletteSize];
    if (!readBytes(f, rgb, static_cast<std::size_t>(3 * colours))) return false;
    for (int i = 0; i < colours; ++i)
        table[static_cast<std::size_t>(i)] = (std::uint32_t{rgb[3 * i]} << 16) | (std::uint32_t{rgb[3 * i + 1]} << 8) |
                                             rgb[3 * i + 2];
    return true;
}

// Skips data sub-blocks up to and including the zero-length terminator.
bool skipSubBlocks(std::FILE* f) {
    std::uint8_t scratch[255];
    for (;;) {
        const int n = std::fgetc(f);
        if (n == EOF) return false;
        if (n == 0) return true;
        if (!readBytes(f, scratch, static_cast<std::size_t>(n))) return false;
    }
}

// What a graphic control extension says about the image after it.
struct Control {
    bool seen = false;
    int packed = 0;
    int delay = 0;
    int index = 0;
};

// Reads the extensions before an image, keeping the last graphic control
// extension, and the image separator. Extensions are skipped block by block,
// so their contents may hold any byte. False at the trailer, at the end of
// the data or at anything that is neither an extension nor an image.
bool findImage(std::FILE* f, Control& control) {
    for (;;) {
        const int c = std::fgetc(f);
        if (c == kImage) return true;
        if (c != kExtension) return false;
        const int label = std::fgetc(f);
        if (label == EOF) return false;
        if (label == kControlLabel) {
            const int n = std::fgetc(f);
            if (n == EOF) return false;
            if (n == 0) continue;  // no data: that was the terminator
            std::uint8_t b[255];
            if (!readBytes(f, b, static_cast<std::size_t>(n))) return false;
            if (n >= 4) {
                control.seen = true;
                control.packed = b[0];
                control.delay = le16(b + 1);
                control.index = b[3];
            }
        }
        if (!skipSubBlocks(f)) return false;
    }
}

// Collects the compressed data: sub-blocks until a zero length or the end of
// the file. Only the first `limit` bytes are kept; the rest is read past so
// that the file ends up just after the image.
bool collectData(std::FILE* f, std::size_t limit, std::vector<std::uint8_t>& data) {
    std::uint8_t block[255];
    for (;;) {
        const int n = std::fgetc(f);
        if (n == EOF || n == 0) return true;
        const std::size_t got = std::fread(block, 1, static_cast<std::size_t>(n), f);
        if (data.size() < limit) {
            const std::size_t keep = std::min(got, limit - data.size());
            try {
                data.insert(data.end(), block, block + keep);
            } catch (const std::bad_alloc&) {
                return false;
            }
        }
        if (got < static_cast<std::size_t>(n)) return true;
    }
}

}  // namespace

static int GifReadBody(int next, std::FILE* file, unsigned char** pixels, short* bits, std::uint32_t* palette,
                         int* width, int* height, int* delay, ColorRef* transparentColour, Point* position,
                         int* transparentIndex) {
    if (!file || !pixels || !width || !height) return 0;

    ColourTable table{};
    bool haveTable = false;
    int tableBits = 0;
    int screenWidth = 0, screenHeight = 0;
    if (next == 0) {
        std::uint8_t header[13];
        if (!readBytes(file, header, sizeof header) || std::memcmp(header, "GIF8", 4) != 0) return 0;
        screenWidth = le16(header + 6);
        screenHeight = le16(header + 8);
        tableBits = (header[10] & 7) + 1;
        if (header[10] & 0x80) {
            if (!readColourTable(file, table, tableBits)) return 0;
            haveTable = true;
        }
    }

    Control control;
    if (!findImage(file, control)) return 0;
    std::uint8_t descriptor[9];
    if (!readBytes(file, descriptor, sizeof descriptor)) return 0;
    const int left = le16(descriptor);
    const int top = le16(descriptor + 2);
    const int imageWidth = le16(descriptor + 4);
    const int imageHeight = le16(descriptor + 6);
    const int flags = descriptor[8];
    if (flags & 0x80) {
        tableBits = (flags & 7) + 1;
        if (!readColourTable(file, table, tableBits)) return 0;
        haveTable = true;
    }
    const bool interlaced = (flags & 0x40) != 0;

    // A first image read with a position goes onto the logical screen;
    // otherwise the buffer is the image's own.
    const bool onScreen = next == 0 && position;
    const int bufferWidth = onScreen ? screenWidth : imageWidth;
    const int bufferHeight = onScreen ? screenHeight : imageHeight;
    const std::int64_t imagePixels = std::int64_t{imageWidth} * imageHeight;
    if (bufferWidth < 1 || bufferHeight < 1) return 0;
    if (std::int64_t{bufferWidth} * bufferHeight > kGifMaxPixels || imagePixels > kGifMaxPixels) return 0;
    const std::size_t stride = (static_cast<std::size_t>(bufferWidth) + 3) & ~std::size_t{3};
    const std::size_t bytes = std::max<std::size_t>(512, stride * static_cast<std::size_t>(bufferHeight));
    auto* buffer = static_cast<unsigned char*>(std::calloc(bytes, 1));
    if (!buffer) return 0;

    const int codeSizeByte = std::fgetc(file);
    if (codeSizeByte != EOF) {
        // One code never stands for less than one pixel, and a stream that
        // clears its table after every code still takes no more than 3 bytes
        // a pixel: anything beyond that cannot be needed.
        std::vector<std::uint8_t> data;
        const bool ok = collectData(file, static_cast<std::size_t>(imagePixels) * 3 + 1024, data);

        // The code size the data was written with; when the byte is out of
        // range, the one the colour table implies.
        int codeSize = codeSizeByte;
        if (codeSize < 2 || codeSize > 8) {
            codeSize = tableBits > 0 ? tableBits : 8;
            if (codeSize < 2) codeSize = 2;
        }

        pixelune::LzwTarget target;
        target.width = imageWidth;
        target.rowCount = imageHeight;
        const int offsetX = onScreen ? left : 0;
        const int offsetY = onScreen ? top : 0;
        target.visibleBegin = 0;
        target.visibleEnd = std::clamp(bufferWidth - offsetX, 0, imageWidth);
        bool decoded = ok;
        if (ok && imagePixels > 0) {
            try {
                target.rowStart.reserve(static_cast<std::size_t>(imageHeight));
                auto addRow = [&](int r) {
                    const int y = offsetY + r;
                    unsigned char* start = nullptr;
                    if (y < bufferHeight && target.visibleEnd > 0)
                        start = buffer + static_cast<std::size_t>(bufferHeight - 1 - y) * stride +
                                static_cast<std::size_t>(offsetX);
                    target.rowStart.push_back(start);
                };
                if (interlaced) {
                    static constexpr int kStart[] = {0, 4, 2, 1};
                    static constexpr int kStep[] = {8, 8, 4, 2};
                    for (int pass = 0; pass < 4; ++pass)
                        for (int r = kStart[pass]; r < imageHeight; r += kStep[pass]) addRow(r);
                } else {
                    for (int r = 0; r < imageHeight; ++r) addRow(r);
                }
                decoded = pixelune::lzwDecode(codeSize, data.data(), data.size(), target);
            } catch (const std::bad_alloc&) {
                decoded = false;
            }
        }
        if (!decoded) {
            std::free(buffer);
            return 0;
        }
    }

    *pixels = buffer;
    *width = bufferWidth;
    *height = bufferHeight;
    if (bits && tableBits > 0) *bits = static_cast<short>(tableBits);
    if (palette && haveTable) std::copy_n(table.begin(), 1 << tableBits, palette);
    if (delay && control.seen) *delay = control.delay;
    if (next == 0) {
        if (transparentColour && control.seen && (control.packed & 1)) {
            const std::uint32_t c = table[static_cast<std::size_t>(control.index)];
            *transparentColour = plastora::RGB(c >> 16, c >> 8, c);
        }
        if (position && left < screenWidth && top < screenHeight) *position = Point{left, top};
    } else {
        if (position) *position = Point{left, top};
        // Transparency that matters for the frame after: set, no user input,
        // disposal to background or to previous.
        if (transparentIndex)
            *transparentIndex = control.seen && (control.packed & 0x1B) == 9 ? control.index : -1;
    }
    return 1;
}

static int GifReadFileBody(const char* fileName, unsigned char** pixels, short* bits, std::uint32_t* palette,
                             int* width, int* height) {
    if (!fileName) return 0;
    std::FILE* file = pixelune::openRegularFile(fileName);
    if (!file) return 0;
    Point position;
    const int result = GifRead(0, file, pixels, bits, palette, width, height, nullptr, nullptr, &position, nullptr);
    std::fclose(file);
    return result;
}

static int CheckAnimationBody(const char* fileName) {
    if (!fileName) return 0;
    std::FILE* file = pixelune::openRegularFile(fileName);
    if (!file) return 0;
    int animated = 0;
    std::uint8_t header[13];
    if (readBytes(file, header, sizeof header) && std::memcmp(header, "GIF89", 5) == 0) {
        bool ok = true;
        if (header[10] & 0x80) {
            ColourTable skipped;
            ok = readColourTable(file, skipped, (header[10] & 7) + 1);
        }
        // The first graphic control extension before the image decides.
        while (ok && std::fgetc(file) == kExtension) {
            const int label = std::fgetc(file);
            if (label == kControlLabel) {
                const int n = std::fgetc(file);
                std::uint8_t b[255];
                if (n >= 3 && readBytes(file, b, static_cast<std::size_t>(n))) animated = le16(b + 1) != 0;
                break;
            }
            ok = label != EOF && skipSubBlocks(file);
        }
    }
    std::fclose(file);
    return animated;
}

int GifRead(int next, std::FILE* file, unsigned char** pixels, short* bits, std::uint32_t* palette, int* width, int* height, int* delay, ColorRef* transparentColour, Point* position, int* transparentIndex) {
    return pixelune::guarded(int{0}, [&] { return GifReadBody(next, file, pixels, bits, palette, width, height, delay, transparentColour, position, transparentIndex); });
}

int GifReadFile(const char* fileName, unsigned char** pixels, short* bits, std::uint32_t* palette, int* width, int* height) {
    return pixelune::guarded(int{0}, [&] { return GifReadFileBody(fileName, pixels, bits, palette, width, height); });
}

int CheckAnimation(const char* fileName) {
    return pixelune::guarded(int{0}, [&] { return CheckAnimationBody(fileName); });
}
