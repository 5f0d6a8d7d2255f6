#include "output/Adjust.h"
#include "output/Diffraction.h"
#include "stereo/PatternMultiView.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace plastora {

namespace {

// A component 0..1 as a byte: x 255, capped at 255, truncated; anything
// below 0 is 0 (converting a negative double to unsigned is undefined).
inline unsigned toByte(double v) {
    const double x = v * 255.0;
    if (!(x > 0.0)) return 0u;
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
        // A value lifted above 1 by the brightness would take the saturation
        // past 1 and the other channels below 0: S stays within 0..1, so the
        // hue is kept and a pure colour stays pure.
        s = std::min(s * v, 1.0);
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
    // A grey-tinted spectral background is made of the photo: it is made
    // again of the adjusted one (at its size, so nothing is allocated), or the
    // edit picture would mix adjusted regions with the old background.
    if (ws.spectralState() == kSpectralTinted)
        BuildGreyTint(ws.spectralBackground(), ws.source(), ws.spectralColour(), ws.spectralContrast());
    ws.setModified(true);
    ws.Redraw();
    return 1;
}

// ---- overlay objects ----------------------------------------------------------

namespace {

// A position of an object of `size` kept on an axis of `limit` pixels; one
// larger than the picture starts at its edge.
int keepOn(int v, int size, int limit) { return std::max(0, std::min(v, limit - size)); }

void exchangeArrows(OverlayObject& o) {
    const std::int32_t first = o.flags & kShapeArrowFirst, second = o.flags & kShapeArrowSecond;
    o.flags &= ~(kShapeArrowFirst | kShapeArrowSecond);
    if (first) o.flags |= kShapeArrowSecond;
    if (second) o.flags |= kShapeArrowFirst;
}

bool isLine(const OverlayObject& o) { return o.count == kShapeLineRising || o.count == kShapeLineFalling; }

}  // namespace

bool TurnObjectQuarterLeft(OverlayObject& o, std::int32_t type, int oldW, int oldH) {
    // The picture's (x, y) goes to (y, oldW - 1 - x): the new picture is
    // oldH wide and oldW high.
    if (type == kObjectText) {
        const int nx = o.y + (o.height - o.width) / 2;
        const int ny = oldW - o.x - (o.width + o.height) / 2;
        o.x = keepOn(nx, o.width, oldH);
        o.y = keepOn(ny, o.height, oldW);
        return true;
    }
    if (type == kObjectPicture) {
        Surface turned;
        if (!o.picture.empty() && !RotateQuarterLeft(o.picture, turned)) return false;
        o.picture = std::move(turned);
        const int nw = o.naturalWidth;
        for (OutlinePolygon& poly : o.outlines)
            for (Point& p : poly.points) p = {p.y, nw - 1 - p.x};
        std::swap(o.naturalWidth, o.naturalHeight);
    }
    if (type == kObjectShape && isLine(o)) {
        // A rising line comes out falling with its ends exchanged; a falling
        // one comes out rising with its ends in the same order.
        if (o.count == kShapeLineRising) exchangeArrows(o);
        o.count = o.count == kShapeLineRising ? kShapeLineFalling : kShapeLineRising;
    }
    const int nx = o.y, ny = oldW - o.x - o.width;
    o.x = nx;
    o.y = ny;
    std::swap(o.width, o.height);
    return true;
}

bool TurnObjectHalf(OverlayObject& o, std::int32_t type, int W, int H) {
    if (type == kObjectPicture) {
        Surface turned;
        if (!o.picture.empty() && !RotateHalf(o.picture, turned)) return false;
        o.picture = std::move(turned);
        const int nw = o.naturalWidth, nh = o.naturalHeight;
        for (OutlinePolygon& poly : o.outlines)
            for (Point& p : poly.points) p = {nw - 1 - p.x, nh - 1 - p.y};
    }
    // A line keeps its direction; its ends change places.
    if (type == kObjectShape && isLine(o)) exchangeArrows(o);
    o.x = W - o.x - o.width;
    o.y = H - o.y - o.height;
    if (type == kObjectText) {
        o.x = keepOn(o.x, o.width, W);
        o.y = keepOn(o.y, o.height, H);
    }
    return true;
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
    // An output shown until now (composite, views, anaglyph, interlace) is
    // gone with them: the turned picture is shown for editing instead of an
    // empty display that the output's save and print commands would write.
    if (ws.mode() >= kModeComposite) ws.SetMode(kModeImage);
}

// Every object turned by `turn` into a new copy; the copies replace the
// objects only when all could be made. False when memory failed.
template <typename Turn>
bool turnObjects(CStereoWorkspace& ws, std::vector<std::shared_ptr<OverlayObject>>& out, Turn turn) {
    out.assign(static_cast<std::size_t>(ws.objectCount()), nullptr);
    for (int i = 0; i < ws.objectCount(); ++i) {
        const ObjectEntry& e = ws.objectEntry(i);
        if (!e.object) continue;
        auto copy = std::make_shared<OverlayObject>(*e.object);
        if (!turn(*copy, e.type)) return false;
        out[static_cast<std::size_t>(i)] = std::move(copy);
    }
    return true;
}

void replaceObjects(CStereoWorkspace& ws, std::vector<std::shared_ptr<OverlayObject>>& turned) {
    for (int i = 0; i < ws.objectCount(); ++i)
        if (turned[static_cast<std::size_t>(i)]) ws.objectEntry(i).object = std::move(turned[static_cast<std::size_t>(i)]);
}

int rotateStereoPair(CStereoWorkspace& ws) {
    if (ws.host().message(kStereoRotateQuestion, MsgButtons::OkCancel, MsgIcon::Question) != MsgResult::Ok) return 0;
    // Everything new is made first, so that a memory failure leaves the
    // document as it was.
    const int n = ws.highResCount();
    std::vector<Surface> hd(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        if (!ws.highRes(i).empty() && !RotateHalf(ws.highRes(i), hd[static_cast<std::size_t>(i)])) return outOfMemory(ws);
    // The working picture shows the left picture, as after opening: once the
    // pictures are exchanged that is the former right one turned, made
    // working size as the views are made from it. The old working picture
    // turned would be the right eye's, and the edit image saved and printed
    // from the left picture would no longer be what the screen shows.
    Surface source;
    const Surface* left = n > 0 && !hd[static_cast<std::size_t>(n - 1)].empty() ? &hd[static_cast<std::size_t>(n - 1)] : nullptr;
    if (left ? !pictureAtWorkingSize(*left, ws.width(), ws.height(), source) : !RotateHalf(ws.source(), source))
        return outOfMemory(ws);
    // The cut-outs, the strokes and the objects keep their place in the
    // frame, turned with it.
    std::vector<Surface> masks(static_cast<std::size_t>(ws.regionCount()));
    for (int i = 0; i < ws.regionCount(); ++i)
        if (!ws.region(i).mask.empty() && !RotateHalf(ws.region(i).mask, masks[static_cast<std::size_t>(i)]))
            return outOfMemory(ws);
    Surface paint, paintMask;
    if (ws.hasPaintLayer() && (!RotateHalf(ws.paintLayer(), paint) ||
                               (!ws.paintMask().empty() && !RotateHalf(ws.paintMask(), paintMask))))
        return outOfMemory(ws);
    const int W = ws.width(), H = ws.height();
    std::vector<std::shared_ptr<OverlayObject>> objects;
    if (!turnObjects(ws, objects, [W, H](OverlayObject& o, std::int32_t type) { return TurnObjectHalf(o, type, W, H); }))
        return outOfMemory(ws);

    ws.replaceSource(std::move(source));
    // Image k takes the place of image n + 1 - k: the left picture becomes
    // the right one; an odd middle image stays in its slot.
    for (int i = 0; i < n; ++i) ws.highRes(n - 1 - i) = std::move(hd[static_cast<std::size_t>(i)]);
    for (int i = 0; i < ws.regionCount(); ++i)
        if (!masks[static_cast<std::size_t>(i)].empty()) ws.region(i).mask = std::move(masks[static_cast<std::size_t>(i)]);
    if (ws.hasPaintLayer()) {
        ws.paintLayer() = std::move(paint);
        if (!paintMask.empty()) ws.paintMask() = std::move(paintMask);
    }
    replaceObjects(ws, objects);
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
    // The strokes turn with the photo they were painted on; a layer without
    // a mask gets an empty one (nothing painted) of the new size.
    Surface paint, paintMask;
    if (ws.hasPaintLayer()) {
        if (!RotateQuarterLeft(ws.paintLayer(), paint)) return outOfMemory(ws);
        if (ws.paintMask().empty() ? !paintMask.create(oldH, oldW) : !RotateQuarterLeft(ws.paintMask(), paintMask))
            return outOfMemory(ws);
    }
    std::vector<std::shared_ptr<OverlayObject>> objects;
    if (!turnObjects(ws, objects, [oldW, oldH](OverlayObject& o, std::int32_t type) {
            return TurnObjectQuarterLeft(o, type, oldW, oldH);
        }))
        return outOfMemory(ws);

    ws.replaceSource(std::move(source));
    for (int i = 0; i < ws.regionCount(); ++i) ws.region(i).mask = std::move(masks[static_cast<std::size_t>(i)]);
    for (int i = 0; i < ws.highResCount(); ++i)
        if (!hd[static_cast<std::size_t>(i)].empty()) ws.highRes(i) = std::move(hd[static_cast<std::size_t>(i)]);
    if (ws.hasDepthMap()) ws.depthMap() = std::move(depthMap);
    if (ws.hasPaintLayer()) {
        ws.paintLayer() = std::move(paint);
        ws.paintMask() = std::move(paintMask);
    }
    replaceObjects(ws, objects);
    dropDerived(ws);
    ws.setModified(true);
    ws.Redraw();
    return 1;
}

}  // namespace

int RotateImage(CStereoWorkspace& ws) {
    if (!CanRotateImage(ws)) return 0;
    return ws.stereoPair() ? rotateStereoPair(ws) : rotateOrdinary(ws);
}

}  // namespace plastora
