// Fuzz target: the depth map reader (any picture Qt's readers decode).
#include "core/DepthMapFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> file(data, data + size);
    plastora::Surface map;
    if (plastora::parseDepthMapImage(file, map)) {
        // Every pixel is a grey.
        for (int y = 0; y < map.height(); ++y)
            for (int x = 0; x < map.width(); ++x) {
                const plastora::Pixel p = map.at(x, y);
                if (((p >> 16) & 0xFF) != (p & 0xFF) || ((p >> 8) & 0xFF) != (p & 0xFF)) __builtin_trap();
            }
    }
    return 0;
}
