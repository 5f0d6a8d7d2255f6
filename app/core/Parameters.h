// The values of the parameter dialog ("パラメータ設定"): what it shows, its
// standard values, and how OK stores them.
#pragma once

#include <string>

namespace plastora {

class CStereoWorkspace;

struct ParamValues {
    bool fixRatio = true;    // [Edit] FixRatio
    bool copyPrint = false;  // [Option] CopyPrint
    int maskWidth = 4;       // [Mask] Width, 1..16
    int paintWidth = 8;      // [Edit] Width, 1..16
    int shadowLevel = 64;    // [Stereo] Shadow, 0..255
    int jpegQuality = 80;    // [Option] JpegQuality, 10..100
    int maskOpacity = 100;   // [Mask] Opacity, 0..100 percent
    friend bool operator==(const ParamValues&, const ParamValues&) = default;
};

// The ranges OK checks.
struct ParamRange {
    int lo, hi;
};
constexpr ParamRange kMaskWidthRange{1, 16};
constexpr ParamRange kPaintWidthRange{1, 16};
constexpr ParamRange kShadowRange{0, 255};
constexpr ParamRange kJpegQualityRange{10, 100};
constexpr ParamRange kMaskOpacityRange{0, 100};

// The workspace's current values (the dialog starts from them).
ParamValues currentParameters(const CStereoWorkspace& ws);
// "標準に戻す".
ParamValues standardParameters();
// OK: every value that differs from the workspace's is stored in the
// workspace and its key written to the settings file (write failures are
// ignored: the new value holds until the program ends). The pens and the
// shadow grey are made from the stored values when next used, and a new JPEG
// quality goes to the raster library too. Returns the number of keys written.
int applyParameters(CStereoWorkspace& ws, const ParamValues& values);

}  // namespace plastora
