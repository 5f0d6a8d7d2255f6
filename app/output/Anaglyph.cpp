#include "output/Anaglyph.h"
#include "output/AnaglyphGrey.h"
#include "output/AnaglyphMethods.h"
#include "output/PrintResolution.h"

#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "overlay/ObjectDraw.h"
#include "stereo/PatternMultiView.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <vector>

namespace plastora {

const char* const kAnaglyphColourQuestion =
    "このフィルターの場合、元の色での表示ができません。\nカラー設定のままアナグリフ画像を作成しますか？";

namespace {

constexpr const char* kSaveFilter =
    "JPEGﾌｧｲﾙ(*.jpg,*.jpeg)|*.jpg;*jpeg|ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp|PNGﾌｧｲﾙ (*.png)|*.png||";

using anaglyph_grey::greyOf;

// One output row; the choices are fixed per row so the loop has no branches.
// Columns from `x` on (the vector loop may have done the ones before).
template <bool Grey, int Filter>
void anaglyphRowTail(const Pixel* left, const Pixel* right, Pixel* out, int x, int w) {
    for (; x < w; ++x) {
        const Pixel a = left[x], b = right[x];
        unsigned red, green, blue;
        if constexpr (Grey) {
            red = greyOf(a);
            green = blue = greyOf(b);
        } else {
            red = (a >> 16) & 0xFFu;
            green = (b >> 8) & 0xFFu;
            blue = b & 0xFFu;
        }
        if constexpr (Filter == kFilterRedGreen) blue = 0;
        if constexpr (Filter == kFilterRedBlue) green = 0;
        out[x] = kOpaque | (red << 16) | (green << 8) | blue;
    }
}

template <bool Grey, int Filter>
void anaglyphRow(const Pixel* left, const Pixel* right, Pixel* out, int w) {
    int x = 0;
#if defined(__SSE2__)
    if constexpr (Grey) {
        const __m128i opaque = _mm_set1_epi32(static_cast<int>(kOpaque));
        for (; x + 8 <= w; x += 8) {
            using anaglyph_grey::grey8, anaglyph_grey::load4;
            const __m128i a = grey8(load4(left + x), load4(left + x + 4));
            const __m128i b = grey8(load4(right + x), load4(right + x + 4));
            // The low 16 bits of each output pixel (green << 8 | blue), then
            // red above them.
            __m128i low;
            if constexpr (Filter == kFilterRedGreen) low = _mm_slli_epi16(b, 8);
            else if constexpr (Filter == kFilterRedBlue) low = b;
            else low = _mm_or_si128(_mm_slli_epi16(b, 8), b);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(_mm_unpacklo_epi16(low, a), opaque));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 4),
                             _mm_or_si128(_mm_unpackhi_epi16(low, a), opaque));
        }
    }
#endif
    anaglyphRowTail<Grey, Filter>(left, right, out, x, w);
}

// Bands of rows on every core, as the other methods: each pixel depends on
// its two inputs alone, so the picture is the same however the rows are split.
template <bool Grey>
void anaglyphRows(Surface& dst, const Surface& right, const Surface& left, int filter) {
    const int w = dst.width();
    const auto rows = [&](const cv::Range& band) {
        for (int y = band.start; y < band.end; ++y) {
            switch (filter) {
            case kFilterRedGreen: anaglyphRow<Grey, kFilterRedGreen>(left.row(y), right.row(y), dst.row(y), w); break;
            case kFilterRedBlue: anaglyphRow<Grey, kFilterRedBlue>(left.row(y), right.row(y), dst.row(y), w); break;
            default: anaglyphRow<Grey, kFilterRedCyan>(left.row(y), right.row(y), dst.row(y), w); break;
            }
        }
    };
    cv::parallel_for_(cv::Range(0, dst.height()), rows, anaglyphBands(w, dst.height()));
}

}  // namespace

// ---- workspace state ----------------------------------------------------------

int CStereoWorkspace::readAnaglyphColourMode(const std::string& settingsPath) {
    return Settings(settingsPath).getFlag(SettingKey::OptionAnaglyphColor) ? kAnaglyphColour : kAnaglyphGrey;
}

int CStereoWorkspace::readAnaglyphFilter(const std::string& settingsPath) {
    // Stored as the index of the filter ("0", "1" or "2"; 3 and above for
    // the methods of AnaglyphMethods.h).
    const int filter = Settings(settingsPath).getInt(SettingKey::OptionAnaglyphFilter);
    return filter >= kFilterRedCyan && filter < kAnaglyphFilterCount ? filter : kFilterRedCyan;
}

// ---- the build ----------------------------------------------------------------

bool BuildAnaglyph(Surface& dst, const Surface& right, const Surface& left, int colourMode, int filter) {
    if (isAnaglyphMethod(filter)) return BuildAnaglyphMethod(dst, right, left, filter);
    if (right.empty() || left.empty()) return false;
    const int w = std::min(right.width(), left.width());
    const int h = std::min(right.height(), left.height());
    if ((dst.width() != w || dst.height() != h) && !dst.createUninitialized(w, h)) return false;
    if (colourMode == kAnaglyphColour) anaglyphRows<false>(dst, right, left, filter);
    else anaglyphRows<true>(dst, right, left, filter);
    return true;
}

bool prepareStereoSources(CStereoWorkspace& ws, StereoSources& sources) {
    const int n = ws.viewCount();
    if (n < 2 || ws.view(0).empty() || ws.view(n - 1).empty()) return false;
    sources.right = &ws.view(0);
    sources.left = &ws.view(n - 1);
    if (!hasFlatTexts(ws)) return true;
    if (!sources.rightCopy.createCopy(ws.view(0)) || !sources.leftCopy.createCopy(ws.view(n - 1))) {
        ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    drawFlatTexts(ws, sources.rightCopy);
    drawFlatTexts(ws, sources.leftCopy);
    sources.right = &sources.rightCopy;
    sources.left = &sources.leftCopy;
    return true;
}

// ---- operations ----------------------------------------------------------------

AnaglyphDialogData anaglyphDialogPreset(const CStereoWorkspace& ws) {
    AnaglyphDialogData d;
    d.colourMode = ws.anaglyphColourMode();
    d.filter = ws.anaglyphFilter();
    d.strength = ws.strength();
    d.regenerate = ws.viewCount() < 1 || ws.view(0).empty();
    return d;
}

bool anaglyphNeedsColourQuestion(const AnaglyphDialogData& data) {
    return data.colourMode == kAnaglyphColour && (data.filter == kFilterRedGreen || data.filter == kFilterRedBlue);
}

void RegenerateAnaglyphViews(CStereoWorkspace& ws, int strength) {
    if (ws.stereoPair()) BuildPatternMultiView(ws, nullptr, strength, false);
    else ws.GenerateViews(nullptr, strength, true);
}

bool BuildAnaglyphImage(CStereoWorkspace& ws) {
    StereoSources sources;
    if (!prepareStereoSources(ws, sources)) return false;
    if (!BuildAnaglyph(ws.anaglyph(), *sources.right, *sources.left, ws.anaglyphColourMode(), ws.anaglyphFilter())) {
        ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    return true;
}

int CreateAnaglyph(CStereoWorkspace& ws, const AnaglyphDialogData& data) {
    if (data.regenerate) RegenerateAnaglyphViews(ws, data.strength);
    std::vector<Settings::Entry> changed;  // stored in one rewrite of the file
    if (data.colourMode != ws.anaglyphColourMode()) {
        ws.setAnaglyphColourMode(data.colourMode);
        changed.emplace_back(SettingKey::OptionAnaglyphColor, data.colourMode == kAnaglyphColour);
    }
    if (data.filter != ws.anaglyphFilter()) {
        ws.setAnaglyphFilter(data.filter);
        changed.emplace_back(SettingKey::OptionAnaglyphFilter, data.filter);
    }
    // The choices hold for this session either way; unwritten, they would
    // be gone at the next start without a word.
    if (!changed.empty() && !Settings(ws.settingsPath()).setAll(changed))
        ws.host().message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
    // When regeneration failed there may be no pair to build from; its
    // builder has said so, and the display stays as it was.
    if (!BuildAnaglyphImage(ws)) return 0;
    // Leaving mode 4 stops the view animation (the view window runs its timer
    // only in that mode).
    ws.setDisplayMode(kModeAnaglyph);
    ws.Redraw();
    return 1;
}

bool BuildHighResAnaglyph(CStereoWorkspace& ws, Surface& out) {
    Surface left, right;
    if (!ws.GenerateHighResPair(left, right, ws.stereoPair(), false)) return false;
    if (!BuildAnaglyph(out, right, left, ws.anaglyphColourMode(), ws.anaglyphFilter())) {
        ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    return true;
}

int SaveAnaglyph(CStereoWorkspace& ws, const std::string& path, LinkAtTarget links) {
    if (ws.mode() != kModeAnaglyph) return 0;
    std::string target = path;
    if (target.empty()) {
        auto chosen = ws.host().askSavePath("jpg", kSaveFilter);
        if (!chosen) return 0;
        target = *chosen;
    }
    const int quality = ws.settings().jpegQuality;
    if (ws.highResCount() > 0) {
        Surface hr;
        if (!BuildHighResAnaglyph(ws, hr)) return 0;
        return SaveStillImage(ws.host(), hr, hr.width(), hr.height(), target, quality, kHighResPrintDpi, links);
    }
    // No selection frame may end up in the file.
    if (ws.currentObject() >= 0) {
        ws.setCurrentObject(-1);
        ws.Redraw();
    }
    if (ws.display().empty()) return 0;
    return SaveStillImage(ws.host(), ws.display(), ws.width(), ws.height(), target, quality, WorkingImagePrintDpi(ws),
                          links);
}

}  // namespace plastora
