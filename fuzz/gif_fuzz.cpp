// Fuzz target: arbitrary bytes as a GIF file. The first image is read onto
// the logical screen and on its own, then every further image; what is read
// is written again and must read back the same. CheckAnimation looks at the
// same bytes as a file.
#include "pixelune/pixelune.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Pictures up to this many pixels are also written and read back.
constexpr std::int64_t kRoundTripPixels = 1 << 16;

struct Image {
    unsigned char* pixels = nullptr;
    short bits = 8;  // a further image without a colour table of its own leaves it
    std::uint32_t palette[kPixPaletteSize] = {};
    int width = 0;
    int height = 0;
    int delay = 0;
    plastora::ColorRef transparent = 0;
    plastora::Point position;
    int transparentIndex = 0;
};

int readImage(std::FILE* f, int next, bool withPosition, Image& im) {
    const int r = GifRead(next, f, &im.pixels, &im.bits, im.palette, &im.width, &im.height, &im.delay,
                          &im.transparent, withPosition ? &im.position : nullptr, &im.transparentIndex);
    if (r != 1) return r;
    if (im.width < 1 || im.height < 1 || std::int64_t{im.width} * im.height > kGifMaxPixels) __builtin_trap();
    if (im.bits < 1 || im.bits > 8) __builtin_trap();
    // Every row of the buffer is there (the sanitizer checks the reads).
    const std::size_t stride = (static_cast<std::size_t>(im.width) + 3) & ~std::size_t{3};
    unsigned sum = 0;
    for (int y = 0; y < im.height; ++y) sum += im.pixels[static_cast<std::size_t>(y) * stride + stride - 1];
    if (sum == 0xFFFFFFFFu) std::abort();
    return r;
}

// Writes the picture at 8 bits and reads it back: the same pixels.
void roundTrip(const Image& im) {
    if (std::int64_t{im.width} * im.height > kRoundTripPixels) return;
    const int stride = (im.width + 3) & ~3;
    char* written = nullptr;
    std::size_t writtenSize = 0;
    std::FILE* out = open_memstream(&written, &writtenSize);
    if (!out) return;
    if (GifWrite(0, out, im.pixels, im.palette, 8, im.width, im.height, stride, nullptr, 0, plastora::Point{-1, -1},
                 im.width % 2) != 1)
        __builtin_trap();
    std::fclose(out);
    std::FILE* f = fmemopen(written, writtenSize, "rb");
    if (!f) __builtin_trap();
    Image back;
    if (readImage(f, 0, false, back) != 1 || back.width != im.width || back.height != im.height) __builtin_trap();
    for (int y = 0; y < im.height; ++y)
        if (std::memcmp(back.pixels + static_cast<std::size_t>(y) * stride,
                        im.pixels + static_cast<std::size_t>(y) * stride, static_cast<std::size_t>(im.width)) != 0)
            __builtin_trap();
    std::free(back.pixels);
    std::fclose(f);
    std::free(written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!f) return 0;
    for (bool withPosition : {true, false}) {
        std::rewind(f);
        Image first;
        if (readImage(f, 0, withPosition, first) != 1) break;
        roundTrip(first);
        std::free(first.pixels);
        if (withPosition) continue;
        // The further images, as an animation reader takes them.
        for (int i = 0; i < 32; ++i) {
            Image next;
            if (readImage(f, 1, false, next) != 1) break;
            std::free(next.pixels);
        }
    }
    std::fclose(f);

    const int fd = memfd_create("gif", 0);
    if (fd >= 0) {
        if (::write(fd, data, size) == static_cast<ssize_t>(size)) {
            const std::string path = "/proc/self/fd/" + std::to_string(fd);
            if (CheckAnimation(path.c_str()) > 1) __builtin_trap();
        }
        ::close(fd);
    }
    return 0;
}
