// Fuzz target: arbitrary bytes as an MPO file. The MP index is parsed from
// memory (every entry it gives must lie inside the data) and, through a
// scratch file, the reader decodes the second image as the open command does.
#include "StillImageFuzz.h"
#include "stereo/Mpo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    plastora::MpoIndex index;
    if (plastora::parseMpoIndex(std::span(data, size), index)) {
        if (index.entries.empty() || index.entries.size() > index.imageCount) __builtin_trap();
        for (const auto& e : index.entries)
            if (e.offset >= size) __builtin_trap();
    }
    const std::string& path = plastora::fuzz::scratchPath(".mpo");
    if (!plastora::fuzz::writeScratch(path, data, size)) return 0;
    plastora::SilentHost host;
    plastora::Surface picture;
    int w = 0, h = 0;
    const int count = plastora::ReadMpoImage(host, path, 1, picture, w, h);
    if (count != 0 && (picture.width() != w || picture.height() != h)) __builtin_trap();
    return 0;
}
