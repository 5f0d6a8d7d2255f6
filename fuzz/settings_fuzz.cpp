// Fuzz target: the settings file as every dialog's preset reads it. The input
// is the whole "Plastora.ini"; a photo is opened with it (the picture size
// dialog's preset, the paper table and the lens value), the depth defaults
// and the depth dialog's "標準に戻す" are taken from it, every other dialog
// reads its preset, and the views and the high-resolution pair are made
// with the view count, pitch and ratio it holds. Any number a key may hold
// (2^31 included) must reach only bounded arithmetic.
#include "StillImageFuzz.h"
#include "autocut/FaceDetect.h"
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "layers/DepthEditor.h"
#include "output/Anaglyph.h"
#include "output/Diffraction.h"
#include "output/Interlace.h"
#include "output/Video.h"
#include "output/WorkingSize.h"
#include "stereo/PatternMultiView.h"

namespace {

// A small photo beside the settings, written once per process.
const std::string& photoPath() {
    static const std::string path = [] {
        const std::string p = plastora::fuzz::scratchPath(".ini") + ".bmp";
        plastora::Surface s;
        s.create(24, 16);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 24; ++x) s.row(y)[x] = plastora::kOpaque | static_cast<plastora::Pixel>(x * 9 + y * 700);
        plastora::SilentHost host;
        plastora::SaveStillImage(host, s, 24, 16, p, 80);
        std::atexit([] { std::remove((plastora::fuzz::scratchPath(".ini") + ".bmp").c_str()); });
        return p;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace plastora;
    const std::string& photo = photoPath();
    const std::string& ini = fuzz::scratchPath(".ini");
    if (!fuzz::writeScratch(ini, data, size)) return 0;

    const WorkspaceSettings w = readWorkspaceSettings(ini);
    if (w.viewCount < kMinViews || w.viewCount > kMaxViews) __builtin_trap();
    (void)readInterlaceSettings(ini);
    (void)readVideoSettings(ini);
    for (int i = 0; i < 4; ++i) (void)videoFrameSize(ini, i);
    (void)readPatternMatchSettings(ini);
    (void)readFaceDetectSettings(ini);
    const Settings settings(ini);
    const PaperTable papers = readPaperTable(settings);
    (void)presetPictureDialog(photo, false, 0, 0, settings.getFloat(SettingKey::LenticularLPI), papers, 24, 16, false);

    SilentHost host;
    CStereoWorkspace ws(host, ini);
    if (!ws.Open(photo)) return 0;
    (void)anaglyphDialogPreset(ws);
    (void)spectralDialogPreset(ws);
    DepthEditor depths(ws);
    depths.resetToStandard();
    ws.GenerateViews(nullptr, ws.strength(), false);
    Surface left, right;
    ws.GenerateHighResPair(left, right, false);
    return 0;
}
