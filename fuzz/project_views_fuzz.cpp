// Fuzz target: a project opened the way a user opens it, then its views made.
// The input is the ".lyr" file; its companions are written beside it to match
// the header (an edit picture of the stored size and one mask per region,
// whose depth words come from the input too), so that the regions, depths,
// strength and objects of the file all reach view generation and the
// high-resolution pair.
#include "StillImageFuzz.h"
#include "core/ProjectFile.h"
#include "core/StereoWorkspace.h"

#include <algorithm>
#include <cstring>

namespace {

std::int32_t word(const std::uint8_t* data, std::size_t size, std::size_t at) {
    if (at + 4 > size) return 0;
    std::uint32_t v;
    std::memcpy(&v, data + at, 4);
    return static_cast<std::int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace plastora;
    const std::vector<std::uint8_t> file(data, data + size);
    ProjectHeader h;
    if (parseProjectHeader(file, h) != ProjectParse::Ok) return 0;
    // Small pictures only: the point is the numbers, not the pixel count.
    if (h.width > 96 || h.height > 96) return 0;

    const std::string& path = fuzz::scratchPath(".lyr");
    if (!fuzz::writeScratch(path, data, size)) return 0;
    const std::string base = projectBase(path);
    SilentHost host;
    Surface picture;
    if (!picture.create(h.width, h.height)) return 0;
    for (int y = 0; y < h.height; ++y)
        for (int x = 0; x < h.width; ++x) picture.row(y)[x] = kOpaque | static_cast<Pixel>((x * 37 + y * 11) * 0x010203);
    if (!SaveStillImage(host, picture, h.width, h.height, base + ".bmp", 80)) return 0;
    for (int i = 0; i < std::min(h.regionCount, 4); ++i) {
        Surface mask;
        if (!mask.create(h.width, h.height)) return 0;
        for (int y = 0; y < h.height; ++y)
            for (int x = 0; x < h.width; ++x) mask.row(y)[x] = (x + i) % (i + 2) == 0 && y > i ? kWhite : kBlack;
        writeMaskFile(maskPath(base, i), mask, word(data, size, 48 + 4 * static_cast<std::size_t>(i % 2)) >> (i * 4));
    }

    CStereoWorkspace ws(host, base + ".ini");
    if (ws.Open(path)) {
        ws.GenerateViews(nullptr, ws.strength(), false);
        Surface left, right;
        ws.GenerateHighResPair(left, right, false);
    }
    for (int i = 0; i < 4; ++i) std::remove(maskPath(base, i).c_str());
    std::remove((base + ".bmp").c_str());
    return 0;
}
