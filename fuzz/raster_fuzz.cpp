// Fuzz target: arbitrary bytes through ReadRasterFile. The first byte picks
// the reader (BMP, JPEG, PNG, GIF, offset GIF, packed DIB in memory) and the
// display depth; the rest is the file.
#include "pixelune/pixelune.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char* const kExtensions[] = {".bmp", ".jpg", ".png", ".gif", ".saf"};

std::vector<std::string> g_paths;

void removeScratch() {
    for (const std::string& p : g_paths) std::remove(p.c_str());
}

const std::string& scratchPath(unsigned kind) {
    if (g_paths.empty()) {
        const std::string stem = (std::filesystem::temp_directory_path() /
                                  ("pixelune-fuzz-" + std::to_string(::getpid()))).string();
        for (const char* ext : kExtensions) g_paths.push_back(stem + ext);
        std::atexit(removeScratch);
    }
    return g_paths[kind];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const unsigned kind = data[0] % 6;
    PixDisplay display{(data[0] & 0x80) ? 8 : 32, nullptr};
    ++data;
    --size;
    std::vector<std::uint32_t> palette(kPixPaletteSize), logical(kPixPaletteSize);
    plastora::Surface surface;
    unsigned char* pixels = nullptr;
    int w = 0, h = 0, bits = 0;
    int result = 0;
    if (kind == 5) {
        result = ReadRasterFile(&display, &surface, logical.data(), nullptr, data, size, &pixels, &w, &h, &bits, 1,
                                palette.data());
    } else {
        const std::string& path = scratchPath(kind);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return 0;
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
        result = ReadRasterFile(&display, &surface, logical.data(), path.c_str(), nullptr, 0, &pixels, &w, &h,
                                &bits, 1, palette.data());
    }
    if (result == 1) {
        // Touch every pixel handed out, so a short buffer shows.
        const std::size_t bytes = (static_cast<std::size_t>(w) * (bits > 8 ? 3 : 1) + 3) / 4 * 4 * h;
        unsigned sum = 0;
        for (std::size_t i = 0; i < bytes; ++i) sum += pixels[i];
        if (surface.width() != w || surface.height() != h) std::abort();
        (void)sum;
    }
    std::free(pixels);
    return 0;
}
