// Fuzz target: the project file reader (header and object section).
#include "core/ProjectFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> file(data, data + size);
    plastora::ProjectHeader header;
    if (plastora::parseProjectHeader(file, header) != plastora::ProjectParse::Ok) return 0;
    std::vector<plastora::ProjectObject> objects;
    if (plastora::parseObjectSection(file, header, objects)) {
        // Whatever was accepted must describe itself consistently.
        for (const auto& o : objects) {
            if (o.type == plastora::kObjectPicture &&
                (o.object.picture.width() != o.object.naturalWidth || o.object.picture.height() != o.object.naturalHeight))
                __builtin_trap();
        }
    }
    return 0;
}
