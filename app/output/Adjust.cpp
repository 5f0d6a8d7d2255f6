#include "output/Adjust.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

namespace plastora {

namespace {

inline unsigned toByte(double v) {
    const double x = v * 255.0;
    return x >= 255.0 ? 255u : static_cast<unsigned>(x);
}

}  // namespace

Pixel AdjustPixel(Pixel p, int brightness, int contrast) {
    const double r = ((p >> 16) & 0xFFu) / 255.0;
    const double g = ((p >> 8) & 0xFFu) / 255.0;
    const double b = (p & 0xFFu) / 255.0;
    double v = std::max(r, std::max(g, b));
    const double mn = std::min(r, std::min(g, b));
    const double delta = v - mn;
    double s = 0.0;
    double hue = 0.0;
    // A grey pixel (delta 0) has no hue: it is converted back through V alone.
    if (v > 0.0 && delta > 0.0) {
        s = delta / v;
        if (v == r)
            hue = 60.0 * (g - b) / delta;
        else if (v == g)
            hue = 120.0 + 60.0 * (b - r) / delta;
        else
            hue = 240.0 + 60.0 * (r - g) / delta;
        if (hue < 0.0) hue += 360.0;
    }

    if (brightness != 0) v = v * (brightness + 100) * 0.01;
    const double k = std::abs(contrast) * 0.005;
    if (contrast > 0) {
        if (v < k)
            v = 0.0;
        else if (v > 1.0 - k)
            v = 1.0;
        else
            v = std::min((v - k) / (1.0 - 2.0 * k), 1.0);
    } else if (contrast < 0) {
        v = k + (1.0 - 2.0 * k) * v;
        s = s * v;
        v = std::min(v, 1.0);
    } else {
        v = std::min(v, 1.0);
    }

    double ro, go, bo;
    if (s == 0.0) {
        ro = go = bo = v;
    } else {
        const double h6 = hue / 60.0;
        const double fl = std::floor(h6);
        const int sector = ((static_cast<int>(fl) % 6) + 6) % 6;
        const double f = h6 - fl;
        const double pp = v * (1.0 - s);
        const double q = v * (1.0 - s * f);
        const double t = v * (1.0 - s * (1.0 - f));
        switch (sector) {
        case 0: ro = v, go = t, bo = pp; break;
        case 1: ro = q, go = v, bo = pp; break;
        case 2: ro = pp, go = v, bo = t; break;
        case 3: ro = pp, go = q, bo = v; break;
        case 4: ro = t, go = pp, bo = v; break;
        default: ro = v, go = pp, bo = q; break;
        }
    }
    return kOpaque | (toByte(ro) << 16) | (toByte(go) << 8) | toByte(bo);
}

bool AdjustSurface(const Surface& src, Surface& dst, int brightness, int contrast) {
    if (src.empty()) return false;
    if (&dst != &src && (dst.width() != src.width() || dst.height() != src.height())) {
        if (!dst.createUninitialized(src.width(), src.height())) return false;
    }
    const std::size_t n = src.pixelCount();
    const Pixel* in = src.bits();
    Pixel* out = dst.bits();
    if (brightness == 0 && contrast == 0) {
        // Unchanged: a plain copy, so that the way back through HSV cannot
        // move a byte by rounding.
        if (out != in) std::copy(in, in + n, out);
        return true;
    }
    // Pictures repeat colours a lot: the last pixel's result is reused for a
    // run of equal pixels.
    Pixel lastIn = in[0], lastOut = AdjustPixel(in[0], brightness, contrast);
    for (std::size_t i = 0; i < n; ++i) {
        const Pixel p = in[i] | kOpaque;
        if (p != lastIn) {
            lastIn = p;
            lastOut = AdjustPixel(p, brightness, contrast);
        }
        out[i] = lastOut;
    }
    return true;
}

int AdjustPageStep(int value, int direction) {
    const int base = (value / 10) * 10;
    const int next = direction < 0 ? base - 10 : base + 10;
    return std::clamp(next, kAdjustMin, kAdjustMax);
}

// ---- dialog session -----------------------------------------------------------

bool CAdjustSession::Begin() {
    m_brightness = m_contrast = 0;
    if (m_ws.display().empty()) return false;
    return m_copy.createCopy(m_ws.display());
}

void CAdjustSession::Preview(int brightness, int contrast) {
    m_brightness = std::clamp(brightness, kAdjustMin, kAdjustMax);
    m_contrast = std::clamp(contrast, kAdjustMin, kAdjustMax);
    if (m_copy.empty()) return;
    AdjustSurface(m_copy, m_ws.display(), m_brightness, m_contrast);
    m_ws.host().redraw();
}

void CAdjustSession::restoreDisplay() {
    if (m_copy.empty()) return;
    blit(m_ws.display(), m_copy, Rop::Copy);
    m_copy.reset();
}

int CAdjustSession::Ok() {
    restoreDisplay();
    if (m_brightness == 0 && m_contrast == 0) {
        m_ws.Redraw();
        return 0;
    }
    return ApplyAdjustment(m_ws, m_brightness, m_contrast);
}

void CAdjustSession::Cancel() {
    restoreDisplay();
    m_ws.Redraw();
}

int ApplyAdjustment(CStereoWorkspace& ws, int brightness, int contrast) {
    if (ws.source().empty() || (brightness == 0 && contrast == 0)) return 0;
    brightness = std::clamp(brightness, kAdjustMin, kAdjustMax);
    contrast = std::clamp(contrast, kAdjustMin, kAdjustMax);
    // Every picture is adjusted into the same place; the operation cannot
    // fail half way (no allocation).
    AdjustSurface(ws.source(), ws.source(), brightness, contrast);
    for (int i = 0; i < ws.highResCount(); ++i) {
        Surface& hd = ws.highRes(i);
        if (!hd.empty()) AdjustSurface(hd, hd, brightness, contrast);
    }
    ws.setModified(true);
    ws.Redraw();
    return 1;
}

// ---- rotation -----------------------------------------------------------------

bool RotateQuarterLeft(const Surface& src, Surface& dst) {
    const int w = src.width(), h = src.height();
    if (src.empty() || &src == &dst || !dst.createUninitialized(h, w)) return false;
    // New row y' is old column x = y', read from the right edge down: new
    // (x', y') = old (W - 1 - y', x').
    for (int ny = 0; ny < w; ++ny) {
        Pixel* out = dst.row(ny);
        const int ox = w - 1 - ny;
        for (int nx = 0; nx < h; ++nx) out[nx] = src.row(nx)[ox];
    }
    return true;
}

bool RotateHalf(const Surface& src, Surface& dst) {
    const int w = src.width(), h = src.height();
    if (src.empty() || &src == &dst || !dst.createUninitialized(w, h)) return false;
    for (int y = 0; y < h; ++y) {
        const Pixel* in = src.row(h - 1 - y);
        Pixel* out = dst.row(y);
        for (int x = 0; x < w; ++x) out[x] = in[w - 1 - x];
    }
    return true;
}

bool CanRotateImage(const CStereoWorkspace& ws) {
    return ws.width() > 0 && !ws.source().empty() && ws.rotationAllowed();
}

namespace {

int outOfMemory(CStereoWorkspace& ws) {
    ws.host().message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
    return 0;
}

// Everything derived from the old orientation goes.
void dropDerived(CStereoWorkspace& ws) {
    ws.discardViews();
    ws.ClearUndo();
    ws.CloseFaceResult();
}

int rotateStereoPair(CStereoWorkspace& ws) {
    if (ws.host().message(kStereoRotateQuestion, MsgButtons::OkCancel, MsgIcon::Question) != MsgResult::Ok) return 0;
    // Everything new is made first, so that a memory failure leaves the
    // document as it was.
    Surface source;
    if (!RotateHalf(ws.source(), source)) return outOfMemory(ws);
    const int n = ws.highResCount();
    std::vector<Surface> hd(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        if (!ws.highRes(i).empty() && !RotateHalf(ws.highRes(i), hd[static_cast<std::size_t>(i)])) return outOfMemory(ws);
    // The cut-outs stay on the picture they were drawn on.
    std::vector<Surface> masks(static_cast<std::size_t>(ws.regionCount()));
    for (int i = 0; i < ws.regionCount(); ++i)
        if (!ws.region(i).mask.empty() && !RotateHalf(ws.region(i).mask, masks[static_cast<std::size_t>(i)]))
            return outOfMemory(ws);

    ws.replaceSource(std::move(source));
    // Image k takes the place of image n + 1 - k: the left picture becomes
    // the right one; an odd middle image stays in its slot.
    for (int i = 0; i < n; ++i) ws.highRes(n - 1 - i) = std::move(hd[static_cast<std::size_t>(i)]);
    for (int i = 0; i < ws.regionCount(); ++i)
        if (!masks[static_cast<std::size_t>(i)].empty()) ws.region(i).mask = std::move(masks[static_cast<std::size_t>(i)]);
    dropDerived(ws);
    ws.setModified(true);
    ws.Redraw();
    return 1;
}

int rotateOrdinary(CStereoWorkspace& ws) {
    const int oldW = ws.width(), oldH = ws.height();
    Surface source;
    if (!RotateQuarterLeft(ws.source(), source)) return outOfMemory(ws);
    std::vector<Surface> masks(static_cast<std::size_t>(ws.regionCount()));
    for (int i = 0; i < ws.regionCount(); ++i) {
        Surface& m = masks[static_cast<std::size_t>(i)];
        const Surface& old = ws.region(i).mask;
        if (old.empty() ? !m.create(oldH, oldW) : !RotateQuarterLeft(old, m)) return outOfMemory(ws);
    }
    std::vector<Surface> hd(static_cast<std::size_t>(ws.highResCount()));
    for (int i = 0; i < ws.highResCount(); ++i)
        if (!ws.highRes(i).empty() && !RotateQuarterLeft(ws.highRes(i), hd[static_cast<std::size_t>(i)]))
            return outOfMemory(ws);
    // An imported depth map turns with the photo.
    Surface depthMap;
    if (ws.hasDepthMap() && !RotateQuarterLeft(ws.depthMap(), depthMap)) return outOfMemory(ws);
    // The paint layer keeps its strokes unrotated where they were, on a layer
    // of the new size: white for the picture, black (nothing painted) for its
    // mask, so that the strokes cut off by the new size are dropped cleanly.
    Surface paint, paintMask;
    if (ws.hasPaintLayer()) {
        if (!paint.create(oldH, oldW) || !paintMask.create(oldH, oldW)) return outOfMemory(ws);
        blit(paint, Rop::Whiteness);
        blit(paint, ws.paintLayer(), Rop::Copy);
        if (!ws.paintMask().empty()) blit(paintMask, ws.paintMask(), Rop::Copy);
    }

    ws.replaceSource(std::move(source));
    for (int i = 0; i < ws.regionCount(); ++i) ws.region(i).mask = std::move(masks[static_cast<std::size_t>(i)]);
    for (int i = 0; i < ws.highResCount(); ++i)
        if (!hd[static_cast<std::size_t>(i)].empty()) ws.highRes(i) = std::move(hd[static_cast<std::size_t>(i)]);
    if (ws.hasDepthMap()) ws.depthMap() = std::move(depthMap);
    if (ws.hasPaintLayer()) {
        ws.paintLayer() = std::move(paint);
        ws.paintMask() = std::move(paintMask);
    }
    dropDerived(ws);
    RotateOverlayObjects(ws, oldW, oldH);
    ws.setModified(true);
    ws.Redraw();
    return 1;
}

}  // namespace

int RotateImage(CStereoWorkspace& ws) {
    if (!CanRotateImage(ws)) return 0;
    return ws.stereoPair() ? rotateStereoPair(ws) : rotateOrdinary(ws);
}

void RotateOverlayObjects(CStereoWorkspace& ws, int oldW, int oldH) {
    // Object placement is not rotated yet: objects keep their positions on
    // the turned picture. Clipping keeps them drawable at the new size.
    (void)ws;
    (void)oldW;
    (void)oldH;
}

}  // namespace plastora
