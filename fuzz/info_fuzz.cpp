// Fuzz target: what `plastora-cli info` does with any file. The first byte
// picks what the file is named (and so how it is read): a photo (JPEG or
// BMP), a multi-picture file (its index, then every image it lists decoded
// at its offset) or a project (opened without companions).
#include "StillImageFuzz.h"
#include "core/StereoWorkspace.h"
#include "stereo/Mpo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace plastora;
    if (size < 1) return 0;
    static const char* const kNames[] = {".jpg", ".bmp", ".mpo", ".lyr"};
    const unsigned kind = data[0] % 4;
    // One scratch name per kind: the extension picks the reader.
    static std::string paths[4];
    if (paths[kind].empty()) {
        paths[kind] = (std::filesystem::temp_directory_path() /
                       ("plastora-info-fuzz-" + std::to_string(::getpid()) + kNames[kind])).string();
        static bool registered = false;
        if (!registered) {
            registered = true;
            std::atexit([] {
                for (const std::string& p : paths)
                    if (!p.empty()) std::remove(p.c_str());
            });
        }
    }
    const std::string& path = paths[kind];
    if (!fuzz::writeScratch(path, data + 1, size - 1)) return 0;
    SilentHost host;
    if (kind == 2) {
        MpoIndex index;
        if (!readMpoIndex(path, index)) return 0;
        if (index.entries.size() > index.imageCount) __builtin_trap();
        for (const MpoEntry& e : index.entries) {
            Surface picture;
            int w = 0, h = 0;
            if (LoadStillImage(host, path, static_cast<long long>(e.offset), picture, w, h) == 1 &&
                (picture.width() != w || picture.height() != h))
                __builtin_trap();
        }
    } else if (kind == 3) {
        CStereoWorkspace ws(host, path + ".ini");
        ws.Open(path);
    } else {
        fuzz::loadAndCheck(path, std::nullopt);
    }
    return 0;
}
