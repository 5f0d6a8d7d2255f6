// Fuzz target: arbitrary bytes as a .bmp file through LoadStillImage.
#include "StillImageFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = plastora::fuzz::scratchPath(".bmp");
    if (plastora::fuzz::writeScratch(path, data, size)) plastora::fuzz::loadAndCheck(path, std::nullopt);
    return 0;
}
