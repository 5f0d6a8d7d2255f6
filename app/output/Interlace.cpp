#include "output/Interlace.h"

#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "output/Anaglyph.h"

#include <algorithm>
#include <cstring>

namespace plastora {

int CStereoWorkspace::readInterlaceType(const std::string& settingsPath) {
    return Settings(settingsPath).getFlag(SettingKey::InterlaceType) ? kInterlaceColumns : kInterlaceRows;
}

bool BuildInterlace(Surface& dst, const Surface& right, const Surface& left, int type, bool swap) {
    if (right.empty() || left.empty()) return false;
    const int w = std::min(right.width(), left.width());
    const int h = std::min(right.height(), left.height());
    if ((dst.width() != w || dst.height() != h) && !dst.createUninitialized(w, h)) return false;
    if (type == kInterlaceColumns) {
        // Even columns from view 0, odd ones from view N-1 (swapped: the reverse).
        const Surface& even = swap ? left : right;
        const Surface& odd = swap ? right : left;
        for (int y = 0; y < h; ++y) {
            const Pixel* e = even.row(y);
            const Pixel* o = odd.row(y);
            Pixel* d = dst.row(y);
            int x = 0;
            for (; x + 1 < w; x += 2) {
                d[x] = e[x];
                d[x + 1] = o[x + 1];
            }
            if (x < w) d[x] = e[x];
        }
    } else {
        // Even rows (the top one too) from view N-1, odd ones from view 0.
        const Surface& even = swap ? right : left;
        const Surface& odd = swap ? left : right;
        const std::size_t rowBytes = static_cast<std::size_t>(w) * sizeof(Pixel);
        for (int y = 0; y < h; ++y) std::memcpy(dst.row(y), ((y & 1) ? odd : even).row(y), rowBytes);
    }
    return true;
}

InterlaceSettings readInterlaceSettings(const std::string& settingsPath) {
    const Settings s(settingsPath);
    InterlaceSettings out;
    out.type = s.getFlag(SettingKey::InterlaceType) ? kInterlaceColumns : kInterlaceRows;
    out.stereo = s.getFlag(SettingKey::InterlaceStereo);
    out.swap = s.getFlag(SettingKey::InterlaceReverseStereo);
    return out;
}

bool ApplyInterlaceSettings(CStereoWorkspace& ws, const InterlaceSettings& settings) {
    const bool written = Settings(ws.settingsPath())
        .setAll({{SettingKey::InterlaceType, settings.type == kInterlaceColumns},
                 {SettingKey::InterlaceStereo, settings.stereo},
                 {SettingKey::InterlaceReverseStereo, settings.swap}});
    ws.setInterlaceType(settings.type == kInterlaceColumns ? kInterlaceColumns : kInterlaceRows);
    return written;
}

int CreateInterlace(CStereoWorkspace& ws) {
    const InterlaceSettings settings = readInterlaceSettings(ws.settingsPath());
    StereoSources sources;
    if (!prepareStereoSources(ws, sources)) return 0;
    if (!BuildInterlace(ws.interlace(), *sources.right, *sources.left, settings.type, settings.swap)) {
        ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return 0;
    }
    // Leaving mode 4 stops the view animation.
    ws.setDisplayMode(kModeInterlace);
    ws.Redraw();
    return 1;
}

Point interlaceParityShift(Point origin, Point scroll) {
    // Two's complement keeps the parity of negative places (a window partly
    // off the screen's left or top edge).
    return {(origin.x + scroll.x) & 1, (origin.y + scroll.y) & 1};
}

}  // namespace plastora
