// Fuzz target: arbitrary bytes as a .jpg file through LoadStillImage, read
// once from the start and once from an offset given by the first byte (how
// pictures inside a multi-picture file are reached).
#include "StillImageFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = plastora::fuzz::scratchPath(".jpg");
    if (!plastora::fuzz::writeScratch(path, data, size)) return 0;
    plastora::fuzz::loadAndCheck(path, std::nullopt);
    if (size > 0 && data[0] != 0xFF) plastora::fuzz::loadAndCheck(path, static_cast<long long>(data[0]));
    return 0;
}
