// Fuzz target: opening a multi-picture file as a stereo pair (what
// `plastora-cli stereo X.mpo` and the stereo-pair command do), then listing
// its images and making the views of the pair that was opened.
#include "StillImageFuzz.h"
#include "core/StereoWorkspace.h"
#include "stereo/Mpo.h"
#include "stereo/StereoFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace plastora;
    const std::string& path = fuzz::scratchPath(".mpo");
    if (!fuzz::writeScratch(path, data, size)) return 0;
    SilentHost host;
    MpoIndex index;
    if (readMpoIndex(path, index))
        for (std::size_t k = 0; k < index.entries.size(); ++k) {
            Surface picture;
            int w = 0, h = 0;
            const int count = ReadMpoImage(host, path, static_cast<int>(k), picture, w, h);
            if (count != 0 && (picture.width() != w || picture.height() != h)) __builtin_trap();
        }
    CStereoWorkspace ws(host, path + ".ini");
    if (OpenMpoFile(ws, path)) {
        if (!ws.stereoPair()) __builtin_trap();
        ws.GenerateViews(nullptr, ws.strength(), false);
    }
    return 0;
}
