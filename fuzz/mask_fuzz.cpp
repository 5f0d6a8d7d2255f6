// Fuzz target: the region mask file reader (1-bit and 24-bit BMPs).
#include "core/ProjectFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> file(data, data + size);
    // Ask for the size the file claims (bounded), so the pixel loops are reached.
    int w = 16, h = 16;
    if (size >= 26) {
        w = std::clamp(static_cast<int>(data[18] | (data[19] << 8)), 1, 2048);
        h = std::clamp(static_cast<int>(data[22] | (data[23] << 8)), 1, 2048);
    }
    plastora::Surface mask;
    int depth = 0;
    if (plastora::parseMaskFile(file, w, h, mask, depth) == plastora::MaskRead::Ok) {
        for (int y = 0; y < mask.height(); ++y)
            for (int x = 0; x < mask.width(); ++x)
                if (mask.at(x, y) != plastora::kBlack && mask.at(x, y) != plastora::kWhite) __builtin_trap();
    }
    return 0;
}
