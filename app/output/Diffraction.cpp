#include "output/Diffraction.h"

#include "core/StereoWorkspace.h"

#include <algorithm>

namespace plastora {

namespace {

// The workspace's source and masks enlarged by R: the photo by halftone when
// no high-resolution copy of that size exists, masks by nearest pixel so that
// they stay black and white.
bool enlargeNearest(Surface& out, const Surface& from, int w, int h) {
    return out.create(w, h) &&
           stretchBlit(out, 0, 0, w, h, from, 0, 0, from.width(), from.height(), Rop::Copy, StretchMode::Nearest);
}

}  // namespace

// ---- workspace state ----------------------------------------------------------

void CStereoWorkspace::discardSpectral() {
    m_spectralState = kSpectralNone;
    m_spectralRegions = 0;
    m_spectralBackground.reset();
}

void CStereoWorkspace::resetSpectral() {
    discardSpectral();
    m_spectralColour = kSpectralDefaultColour;
    m_spectralContrast = false;
}

// ---- pixels -------------------------------------------------------------------

Pixel spectralTint(Pixel source, ColorRef colour, bool contrast) {
    int grey = greyValue(static_cast<int>((source >> 16) & 0xFFu), static_cast<int>((source >> 8) & 0xFFu),
                         static_cast<int>(source & 0xFFu));
    if (contrast) grey = stretchContrast(grey);
    const unsigned r = static_cast<unsigned>(grey) * GetRValue(colour) / 255u;
    const unsigned g = static_cast<unsigned>(grey) * GetGValue(colour) / 255u;
    const unsigned b = static_cast<unsigned>(grey) * GetBValue(colour) / 255u;
    return kOpaque | (r << 16) | (g << 8) | b;
}

bool BuildGreyTint(Surface& dst, const Surface& source, ColorRef colour, bool contrast) {
    if (source.empty()) return false;
    if ((dst.width() != source.width() || dst.height() != source.height()) &&
        !dst.createUninitialized(source.width(), source.height()))
        return false;
    // The tint depends on the grey level only: 256 entries, one look-up per pixel.
    Pixel table[256];
    for (int grey = 0; grey < 256; ++grey) {
        const int level = contrast ? stretchContrast(grey) : grey;
        const unsigned l = static_cast<unsigned>(level);
        table[grey] = kOpaque | ((l * GetRValue(colour) / 255u) << 16) | ((l * GetGValue(colour) / 255u) << 8) |
                      (l * GetBValue(colour) / 255u);
    }
    for (int y = 0; y < source.height(); ++y) {
        const Pixel* s = source.row(y);
        Pixel* d = dst.row(y);
        for (int x = 0; x < source.width(); ++x) {
            const Pixel p = s[x];
            d[x] = table[greyValue(static_cast<int>((p >> 16) & 0xFFu), static_cast<int>((p >> 8) & 0xFFu),
                                   static_cast<int>(p & 0xFFu))];
        }
    }
    return true;
}

// ---- dialog -------------------------------------------------------------------

SpectralDialogData spectralDialogPreset(const CStereoWorkspace& ws) {
    SpectralDialogData d;
    d.colour = ws.spectralColour();
    d.fill = ws.spectralState() == kSpectralFilled;
    d.backgroundMasks = ws.regionCount() > 1 ? ws.spectralRegions() : 0;
    d.contrast = ws.spectralContrast();
    return d;
}

int spectralColourChoice(ColorRef colour) {
    switch (colour & 0x00FFFFFFu) {
    case RGB(0, 0, 255): return 0;
    case RGB(0, 0, 0): return 1;
    case RGB(255, 0, 0): return 2;
    default: return 3;
    }
}

ColorRef spectralChoiceColour(int choice) {
    switch (choice) {
    case 1: return RGB(0, 0, 0);
    case 2: return RGB(255, 0, 0);
    default: return RGB(0, 0, 255);
    }
}

int ApplySpectral(CStereoWorkspace& ws, const SpectralDialogData& data) {
    if (ws.source().empty()) return 0;
    ws.setSpectralColour(data.colour);
    ws.setSpectralContrast(data.contrast);
    if (ws.mode() != kModeImage) ws.SetMode(kModeImage);
    // Set after the mode change: entering image editing may discard views
    // and with them an earlier background.
    ws.setSpectralRegions(std::clamp(data.backgroundMasks, 0, ws.regionCount()));
    Surface& bg = ws.spectralBackground();
    if (bg.width() != ws.width() || bg.height() != ws.height()) {
        if (!bg.createUninitialized(ws.width(), ws.height())) {
            ws.discardSpectral();
            ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
            return 0;
        }
    }
    if (data.fill) {
        fillRect(bg, Rect{0, 0, bg.width(), bg.height()}, ws.spectralColour());
        ws.setSpectralState(kSpectralFilled);
    } else {
        BuildGreyTint(bg, ws.source(), ws.spectralColour(), ws.spectralContrast());
        ws.setSpectralState(kSpectralTinted);
    }
    ws.Redraw();
    return 1;
}

bool drawSpectralEditImage(CStereoWorkspace& ws, Surface& display) {
    const Surface& bg = ws.spectralBackground();
    if (ws.spectralState() == kSpectralNone || bg.empty()) return false;
    blit(display, bg, Rop::Copy);
    const int k = std::clamp(ws.spectralRegions(), 0, ws.regionCount());
    for (int i = k; i < ws.regionCount(); ++i) copyThroughMask(display, ws.source(), ws.region(i).mask);
    if (ws.hasPaintLayer()) copyThroughMask(display, ws.paintLayer(), ws.paintMask());
    return true;
}

bool BuildHighResEditImage(CStereoWorkspace& ws, Surface& out) {
    if (ws.source().empty()) return false;
    const int r = ws.highResRatio();
    const int w = ws.width() * r, h = ws.height() * r;
    Surface enlarged;
    const Surface* photo = ws.highResCount() > 0 ? &ws.highRes(0) : nullptr;
    bool ok = true;
    if (!photo || photo->width() != w || photo->height() != h) {
        ok = enlarged.create(w, h) && stretchBlit(enlarged, 0, 0, w, h, ws.source(), 0, 0, ws.width(), ws.height(),
                                                  Rop::Copy, StretchMode::Halftone);
        photo = &enlarged;
    }
    ok = ok && out.createUninitialized(w, h);
    Surface mask, layer;
    if (ok && ws.spectralState() != kSpectralNone) {
        if (ws.spectralState() == kSpectralFilled) fillRect(out, Rect{0, 0, w, h}, ws.spectralColour());
        else ok = BuildGreyTint(out, *photo, ws.spectralColour(), ws.spectralContrast());
        const int k = std::clamp(ws.spectralRegions(), 0, ws.regionCount());
        for (int i = k; ok && i < ws.regionCount(); ++i) {
            ok = enlargeNearest(mask, ws.region(i).mask, w, h);
            if (ok) copyThroughMask(out, *photo, mask);
        }
    } else if (ok) {
        blit(out, *photo, Rop::Copy);
    }
    if (ok && ws.hasPaintLayer()) {
        ok = enlargeNearest(mask, ws.paintMask(), w, h) && enlargeNearest(layer, ws.paintLayer(), w, h);
        if (ok) copyThroughMask(out, layer, mask);
    }
    if (!ok) {
        out.reset();
        ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    // The objects as the edit display draws them, scaled by R.
    ws.DrawObjects(out, -1, r);
    return true;
}

}  // namespace plastora
