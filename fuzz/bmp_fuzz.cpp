// Fuzz target: arbitrary bytes as a .bmp file through LoadStillImage.
#include "core/StillImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

// One scratch file per process, removed at exit.
std::string g_path;

void removeScratch() { std::remove(g_path.c_str()); }

const std::string& scratchPath() {
    if (g_path.empty()) {
        g_path = (std::filesystem::temp_directory_path() /
                  ("plastora-fuzz-" + std::to_string(::getpid()) + ".bmp")).string();
        std::atexit(removeScratch);
    }
    return g_path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = scratchPath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    plastora::SilentHost host;
    plastora::Surface picture;
    int w = 0, h = 0;
    if (plastora::LoadStillImage(host, path, std::nullopt, picture, w, h) == 1 &&
        (picture.width() != w || picture.height() != h))
        __builtin_trap();  // the reported size must be the surface made
    return 0;
}
