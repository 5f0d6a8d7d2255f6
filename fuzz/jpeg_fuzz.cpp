// Fuzz target: arbitrary bytes as a .jpg file through LoadStillImage, read
// once from the start and once from an offset given by the first byte (how
// pictures inside a multi-picture file are reached).
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
                  ("plastora-fuzz-" + std::to_string(::getpid()) + ".jpg")).string();
        std::atexit(removeScratch);
    }
    return g_path;
}

void loadOnce(const std::string& path, std::optional<long long> offset) {
    plastora::SilentHost host;
    plastora::Surface picture;
    int w = 0, h = 0;
    if (plastora::LoadStillImage(host, path, offset, picture, w, h) == 1 &&
        (picture.width() != w || picture.height() != h))
        __builtin_trap();  // the reported size must be the surface made
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = scratchPath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    loadOnce(path, std::nullopt);
    if (size > 0 && data[0] != 0xFF) loadOnce(path, static_cast<long long>(data[0]));
    return 0;
}
