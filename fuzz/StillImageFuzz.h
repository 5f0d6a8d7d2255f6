// Shared by the still-image fuzz targets: the input is written to a scratch
// file with the extension that picks the decoder, then loaded.
#pragma once

#include "core/StillImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

namespace plastora::fuzz {

// One scratch file per process (named with `extension`), removed at exit.
inline const std::string& scratchPath(const char* extension) {
    static std::string path;
    if (path.empty()) {
        path = (std::filesystem::temp_directory_path() /
                ("plastora-fuzz-" + std::to_string(::getpid()) + extension)).string();
        std::atexit([] { std::remove(path.c_str()); });
    }
    return path;
}

// Writes the input to the scratch file; false when it cannot be written.
inline bool writeScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    return true;
}

// Loads the file; a success must report the size of the surface it made.
inline void loadAndCheck(const std::string& path, std::optional<long long> offset) {
    SilentHost host;
    Surface picture;
    int w = 0, h = 0;
    if (LoadStillImage(host, path, offset, picture, w, h) == 1 && (picture.width() != w || picture.height() != h))
        __builtin_trap();
}

}  // namespace plastora::fuzz
