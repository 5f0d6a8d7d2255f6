// Writing GIF89a images: still files, and animations one frame per call.
#include "Guard.h"
#include "Lzw.h"
#include "pixelune/pixelune.h"
#include "platform/SafeFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>
#include <cstring>
#include <string>
#include <vector>

using plastora::Point;

namespace {

// The looping application block: loop count 32760.
constexpr std::uint8_t kLoopBlock[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
                                       0x03, 0x01, 0xF8, 0x7F, 0x00};
constexpr std::uint8_t kTrailer = 0x3B;

void putBytes(std::vector<std::uint8_t>& out, const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out.push_back(p[i]);
}

void put16(std::vector<std::uint8_t>& out, int v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void putColourTable(std::vector<std::uint8_t>& out, const std::uint32_t* palette, int colours) {
    for (int i = 0; i < colours; ++i) {
        out.push_back(static_cast<std::uint8_t>(palette[i] >> 16));
        out.push_back(static_cast<std::uint8_t>(palette[i] >> 8));
        out.push_back(static_cast<std::uint8_t>(palette[i]));
    }
}

struct Frame {
    const unsigned char* pixels;
    int width, height, stride;
    // Picture row y counted from the top.
    const unsigned char* row(int y) const {
        return pixels + static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(stride);
    }
};

struct Box {
    int left = 0, top = 0, width = 0, height = 0;
};

// The smallest box, widened to a multiple of 4 pixels, that holds every pixel
// that differs from `previous`; a 4 x 1 box at the top-left corner when
// nothing does. Only the picture's own columns are compared, never the row
// padding, and the box always lies inside the picture.
Box changedBox(const Frame& f, const unsigned char* previous) {
    int top = -1, bottom = -1, left = f.width, right = -1;
    for (int y = 0; y < f.height; ++y) {
        const unsigned char* cur = f.row(y);
        const unsigned char* old = previous + (cur - f.pixels);
        int first = 0;
        while (first < f.width && cur[first] == old[first]) ++first;
        if (first == f.width) continue;
        int last = f.width - 1;
        while (cur[last] == old[last]) --last;
        if (top < 0) top = y;
        bottom = y;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    Box b;
    if (top < 0) {
        b.width = std::min(4, f.width);
        b.height = 1;
        return b;
    }
    b.width = (right - left + 1 + 3) / 4 * 4;
    if (b.width >= f.width) b.width = f.width;
    if (left + b.width > f.width) left = f.width - b.width;
    b.left = left;
    b.top = top;
    b.height = bottom - top + 1;
    return b;
}

bool writeAll(std::FILE* file, const std::vector<std::uint8_t>& bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) return false;
    return std::fflush(file) == 0;
}

}  // namespace

static int GifWriteBody(int next, std::FILE* file, const unsigned char* pixels, const std::uint32_t* palette,
                          short bits, int width, int height, int stride, unsigned char* previous, int delay,
                          Point transparentAt, int interlace) {
    if (!file || !pixels || bits < 1 || bits > 8) return 0;
    if (width < 1 || height < 1 || width > 0xFFFF || height > 0xFFFF || stride < width) return 0;
    if (delay < 0 || delay > 0xFFFF) return 0;
    if (next == 0 && !palette) return 0;

    const Frame frame{pixels, width, height, stride};
    const int colours = 1 << bits;
    const unsigned mask = static_cast<unsigned>(colours - 1);
    std::vector<std::uint8_t> out;
    try {
        if (next == 0) {
            static constexpr std::uint8_t kSignature[] = {'G', 'I', 'F', '8', '9', 'a'};
            putBytes(out, kSignature, sizeof kSignature);
            put16(out, width);
            put16(out, height);
            out.push_back(static_cast<std::uint8_t>(0xF0 | (bits - 1)));  // global table, 8-bit colour resolution
            out.push_back(255);                                            // background index
            out.push_back(0);                                              // aspect
            putColourTable(out, palette, colours);
            if (delay != 0) putBytes(out, kLoopBlock, sizeof kLoopBlock);
        }

        // Graphic control extension, on every image.
        int transparent = -1;
        if (transparentAt.x >= 0 && transparentAt.y >= 0 && transparentAt.x < width && transparentAt.y < height)
            transparent = static_cast<int>(frame.row(transparentAt.y)[transparentAt.x] & mask);
        const std::uint8_t gce[] = {0x21, 0xF9, 0x04, static_cast<std::uint8_t>(transparent >= 0 ? 1 : 0)};
        putBytes(out, gce, sizeof gce);
        put16(out, delay);
        out.push_back(static_cast<std::uint8_t>(transparent >= 0 ? transparent : 0xFF));
        out.push_back(0);

        Box box{0, 0, width, height};
        const bool partial = next != 0 && previous && delay != 0;
        if (partial) box = changedBox(frame, previous);
        const bool interlaced = interlace != 0 && !partial;
        const bool localTable = next != 0 && palette;

        out.push_back(0x2C);
        put16(out, box.left);
        put16(out, box.top);
        put16(out, box.width);
        put16(out, box.height);
        out.push_back(static_cast<std::uint8_t>((bits - 1) | (localTable ? 0x80 : 0) | (interlaced ? 0x40 : 0)));
        if (localTable) putColourTable(out, palette, colours);

        // A 1-bit image is coded with 2-bit literals (clear code 4).
        const int codeSize = bits == 1 ? 2 : bits;
        out.push_back(static_cast<std::uint8_t>(codeSize));

        // Rows from the top of the picture down, or in the four interlace
        // passes: every 8th row from 0, every 8th from 4, every 4th from 2,
        // every 2nd from 1.
        std::vector<const unsigned char*> rows;
        rows.reserve(static_cast<std::size_t>(box.height));
        if (interlaced) {
            static constexpr int kStart[] = {0, 4, 2, 1};
            static constexpr int kStep[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = kStart[pass]; y < box.height; y += kStep[pass]) rows.push_back(frame.row(box.top + y) + box.left);
        } else {
            for (int y = 0; y < box.height; ++y) rows.push_back(frame.row(box.top + y) + box.left);
        }
        pixelune::lzwEncode(codeSize, rows.data(), box.height, box.width, mask, out);
        out.push_back(kTrailer);

        if (partial)
            std::memmove(previous, pixels, static_cast<std::size_t>(height) * static_cast<std::size_t>(stride));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return writeAll(file, out) ? 1 : 0;
}

static int GifWriteFileBody(const char* fileName, const unsigned char* pixels, const std::uint32_t* palette,
                              short bits, int width, int height, int stride) {
    if (!fileName || !*fileName) return 0;
    // Written beside the target under a name of its own, then renamed over it.
    plastora::ReplacingFile file;
    if (!file.open(fileName)) return 0;
    int result = GifWrite(0, file.stream(), pixels, palette, bits, width, height, stride, nullptr, 0, Point{-1, -1}, 0);
    if (result == 1 && !file.commit()) result = 0;
    return result;
}

int GifWrite(int next, std::FILE* file, const unsigned char* pixels, const std::uint32_t* palette, short bits, int width, int height, int stride, unsigned char* previous, int delay, Point transparentAt, int interlace) {
    return pixelune::guarded(int{0}, [&] { return GifWriteBody(next, file, pixels, palette, bits, width, height, stride, previous, delay, transparentAt, interlace); });
}

int GifWriteFile(const char* fileName, const unsigned char* pixels, const std::uint32_t* palette, short bits, int width, int height, int stride) {
    return pixelune::guarded(int{0}, [&] { return GifWriteFileBody(fileName, pixels, palette, bits, width, height, stride); });
}
