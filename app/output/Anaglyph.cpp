#include "output/Anaglyph.h"

#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "stereo/PatternMultiView.h"

#include <algorithm>

namespace plastora {

const char* const kAnaglyphColourQuestion =
    "このフィルターの場合、元の色での表示ができません。\nカラー設定のままアナグリフ画像を作成しますか？";

namespace {

constexpr const char* kSaveFilter = "JPEGﾌｧｲﾙ(*.jpg,*.jpeg)|*.jpg;*jpeg|ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp||";

// v / 100 truncated, by a multiplication and a shift so that the pixel loop
// vectorises. Exact for every product a channel byte can give (255 x 59 at
// most), which the compiler checks here.
constexpr unsigned div100(unsigned v) { return (v * 5243u) >> 19; }
constexpr bool div100IsExact() {
    for (unsigned v = 0; v <= 255u * 59u; ++v)
        if (div100(v) != v / 100u) return false;
    return true;
}
static_assert(div100IsExact());

inline unsigned greyOf(Pixel p) {
    return div100(((p >> 16) & 0xFFu) * 30u) + div100(((p >> 8) & 0xFFu) * 59u) + div100((p & 0xFFu) * 11u);
}

// One output row; the choices are fixed per row so the loop has no branches.
template <bool Grey, int Filter>
void anaglyphRow(const Pixel* left, const Pixel* right, Pixel* out, int w) {
    for (int x = 0; x < w; ++x) {
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

template <bool Grey>
void anaglyphRows(Surface& dst, const Surface& right, const Surface& left, int filter) {
    const int w = dst.width();
    for (int y = 0; y < dst.height(); ++y) {
        switch (filter) {
        case kFilterRedGreen: anaglyphRow<Grey, kFilterRedGreen>(left.row(y), right.row(y), dst.row(y), w); break;
        case kFilterRedBlue: anaglyphRow<Grey, kFilterRedBlue>(left.row(y), right.row(y), dst.row(y), w); break;
        default: anaglyphRow<Grey, kFilterRedCyan>(left.row(y), right.row(y), dst.row(y), w); break;
        }
    }
}

FlatTextPainter& flatTextPainter() {
    static FlatTextPainter painter;
    return painter;
}

bool hasFlatTexts(const CStereoWorkspace& ws) {
    for (int i = 0; i < ws.objectCount(); ++i) {
        const ObjectEntry& e = ws.objectEntry(i);
        if (e.type == kObjectText && e.object && (e.object->flags & kTextFlat)) return true;
    }
    return false;
}

}  // namespace

// ---- workspace state ----------------------------------------------------------

int CStereoWorkspace::readAnaglyphColourMode(const std::string& settingsPath) {
    return Settings(settingsPath).getFlag(SettingKey::OptionAnaglyphColor) ? kAnaglyphColour : kAnaglyphGrey;
}

int CStereoWorkspace::readAnaglyphFilter(const std::string& settingsPath) {
    // Stored as the index of the filter ("0", "1" or "2").
    const int filter = Settings(settingsPath).getInt(SettingKey::OptionAnaglyphFilter);
    return filter >= kFilterRedCyan && filter <= kFilterRedBlue ? filter : kFilterRedCyan;
}

// ---- the build ----------------------------------------------------------------

bool BuildAnaglyph(Surface& dst, const Surface& right, const Surface& left, int colourMode, int filter) {
    if (right.empty() || left.empty()) return false;
    const int w = std::min(right.width(), left.width());
    const int h = std::min(right.height(), left.height());
    if ((dst.width() != w || dst.height() != h) && !dst.createUninitialized(w, h)) return false;
    if (colourMode == kAnaglyphColour) anaglyphRows<false>(dst, right, left, filter);
    else anaglyphRows<true>(dst, right, left, filter);
    return true;
}

void setFlatTextPainter(FlatTextPainter painter) { flatTextPainter() = std::move(painter); }

bool prepareStereoSources(CStereoWorkspace& ws, StereoSources& sources) {
    const int n = ws.viewCount();
    if (n < 2 || ws.view(0).empty() || ws.view(n - 1).empty()) return false;
    sources.right = &ws.view(0);
    sources.left = &ws.view(n - 1);
    const FlatTextPainter& painter = flatTextPainter();
    if (!painter || !hasFlatTexts(ws)) return true;
    if (!sources.rightCopy.createCopy(ws.view(0)) || !sources.leftCopy.createCopy(ws.view(n - 1))) {
        ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    painter(ws, sources.rightCopy);
    painter(ws, sources.leftCopy);
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
    return data.colourMode == kAnaglyphColour && data.filter != kFilterRedCyan;
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
    const Settings settings(ws.settingsPath());
    if (data.colourMode != ws.anaglyphColourMode()) {
        ws.setAnaglyphColourMode(data.colourMode);
        settings.setFlag(SettingKey::OptionAnaglyphColor, data.colourMode == kAnaglyphColour);
    }
    if (data.filter != ws.anaglyphFilter()) {
        ws.setAnaglyphFilter(data.filter);
        settings.setInt(SettingKey::OptionAnaglyphFilter, data.filter);
    }
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
    if (!ws.GenerateHighResPair(left, right, ws.stereoPair())) return false;
    if (!BuildAnaglyph(out, right, left, ws.anaglyphColourMode(), ws.anaglyphFilter())) {
        ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    return true;
}

int SaveAnaglyph(CStereoWorkspace& ws, const std::string& path) {
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
        return SaveStillImage(ws.host(), hr, hr.width(), hr.height(), target, quality);
    }
    // No selection frame may end up in the file.
    if (ws.currentObject() >= 0) {
        ws.setCurrentObject(-1);
        ws.Redraw();
    }
    if (ws.display().empty()) return 0;
    return SaveStillImage(ws.host(), ws.display(), ws.width(), ws.height(), target, quality);
}

}  // namespace plastora
