#include "overlay/ObjectDraw.h"

#include "core/StereoWorkspace.h"
#include "layers/ViewSynthesis.h"

#include <algorithm>
#include <cmath>

namespace plastora {

namespace {

// Object coordinates and sizes are kept within the picture side limit and a
// view's shift within twice it: an object pushed further is off every picture
// either way, and the drawing arithmetic below (sums of these, times a scale
// of at most kMaxDrawScale) stays far inside int.
constexpr int kMaxObjectCoord = 32767;
constexpr int kMaxObjectShift = 2 * kMaxObjectCoord + 2;
constexpr int kMaxDrawScale = 64;

int coord(int v) { return std::clamp(v, -kMaxObjectCoord, kMaxObjectCoord); }
int drawScale(int scale) { return std::clamp(scale, 1, kMaxDrawScale); }

}  // namespace

Font objectFont(const OverlayObject& o, int scale) {
    Font font;
    font.face = o.face;
    font.height = -(o.flags & kTextPointSizeMask) * drawScale(scale);
    font.weight = (o.flags & kTextBold) ? 700 : 400;
    font.italic = (o.flags & kTextItalic) != 0;
    font.antialiased = (o.flags & kTextAntialiased) != 0;
    return font;
}

void drawObjectText(Surface& dc, const OverlayObject& o, const Font& font, int x, int y, ColorRef colour) {
    if (!(o.flags & kTextVertical)) {
        drawText(dc, font, x, y, o.text, colour);
        return;
    }
    for (const std::string& ch : textCharacters(o.text)) {
        // Characters below the surface are not drawn (and the running y of a
        // long text cannot overflow).
        if (y >= dc.height()) break;
        drawText(dc, font, x, y, ch, colour);
        y += textExtent(font, ch).cy;
    }
}

namespace {

// The product plus 0.5, truncated (toward zero).
int roundHalfUpTrunc(double v) { return static_cast<int>(v + 0.5); }

}  // namespace

ArrowHead arrowHead(Point end, Point other, int size) {
    ArrowHead a;
    a.base = end;
    a.triangle = {end, end, end};
    const double vx = other.x - end.x, vy = other.y - end.y;
    const double len = std::hypot(vx, vy);
    if (len <= 0.0) return a;
    // The unit vector from the end into the line.
    const double ux = vx / len, uy = vy / len;
    const int back = (size + 1) / 2;
    a.base = {end.x + static_cast<int>(std::lround(ux * back)), end.y + static_cast<int>(std::lround(uy * back))};
    // (-0.5, 0), (1, -0.5), (1, 0.5) times the size, the local x axis turned
    // onto the line's direction into the line.
    static constexpr double kLocal[3][2] = {{-0.5, 0.0}, {1.0, -0.5}, {1.0, 0.5}};
    for (int i = 0; i < 3; ++i) {
        const double lx = kLocal[i][0] * size, ly = kLocal[i][1] * size;
        const double rx = lx * ux - ly * uy;
        const double ry = lx * uy + ly * ux;
        a.triangle[static_cast<std::size_t>(i)] = {a.base.x + roundHalfUpTrunc(rx), a.base.y + roundHalfUpTrunc(ry)};
    }
    return a;
}

std::pair<Point, Point> lineEnds(const OverlayObject& o) {
    const int left = coord(o.x) + 4, right = coord(o.x) + coord(o.width) - 4;
    const int top = coord(o.y) + 4, bottom = coord(o.y) + coord(o.height) - 4;
    if (o.count == kShapeLineRising) return {{left, bottom}, {right, top}};
    return {{left, top}, {right, bottom}};
}

namespace {

Point scaled(Point p, int dx, int k) { return {(p.x + dx) * k, p.y * k}; }

int lineWidthOf(const OverlayObject& o) { return std::clamp(o.lineWidth, 0, kMaxObjectCoord); }
int cornerOf(const OverlayObject& o) { return std::clamp(o.cornerSize, 0, kMaxObjectCoord); }

void drawShape(Surface& dc, const OverlayObject& o, int dx, int k, bool shadowPass, ColorRef shadow) {
    const ColorRef lineColour = shadowPass ? shadow : o.lineColour;
    const ColorRef fillColour = shadowPass ? shadow : o.colour;
    const Pen pen = lineWidthOf(o) > 0 ? Pen{lineWidthOf(o) * k, lineColour} : kNullPen;
    if (o.count == kShapeLineRising || o.count == kShapeLineFalling) {
        const auto [a, b] = lineEnds(o);
        const Point ea = scaled(a, dx, k), eb = scaled(b, dx, k);
        Point pa = ea, pb = eb;
        const Brush arrowBrush{lineColour, false};
        const int size = cornerOf(o) * k;
        std::vector<std::vector<Point>> heads;
        if ((o.flags & kShapeArrowFirst) && size > 0) {
            const ArrowHead h = arrowHead(ea, eb, size);
            heads.push_back({h.triangle.begin(), h.triangle.end()});
            pa = h.base;
        }
        if ((o.flags & kShapeArrowSecond) && size > 0) {
            const ArrowHead h = arrowHead(eb, ea, size);
            heads.push_back({h.triangle.begin(), h.triangle.end()});
            pb = h.base;
        }
        if (!pen.null) line(dc, pen, pa, pb);
        for (const auto& t : heads) polygon(dc, pen, arrowBrush, t);
        return;
    }
    const Brush brush = (o.flags & kShapeNoFill) ? kNullBrush : Brush{fillColour, false};
    const int x = coord(o.x), y = coord(o.y), w = coord(o.width), h = coord(o.height);
    const Rect r{(x + 4 + dx) * k, (y + 4) * k, (x + w - 4 + dx) * k, (y + h - 4) * k};
    switch (o.count) {
    case kShapeEllipse: ellipse(dc, pen, brush, r); break;
    case kShapeRoundRect: roundRect(dc, pen, brush, r, cornerOf(o) * k, cornerOf(o) * k); break;
    default: rectangle(dc, pen, brush, r); break;
    }
}

// The clip art's opaque area at its displayed size (times k): each outline
// entry filled white (outer) or black (hole) in table order at the picture's
// own size, the boundary pixels themselves opaque, then stretched pixel by
// pixel, so that an enlarged picture keeps its whole edge pixels. Only the
// part `part` of the displayed rectangle (in its own coordinates) is made:
// the part that lands on the surface, so that a huge object costs no more
// than the surface it is drawn on.
bool clipArtMask(Surface& mask, const OverlayObject& o, int k, const Rect& part) {
    const int w = coord(o.width) * k, h = coord(o.height) * k;
    const int nw = o.naturalWidth, nh = o.naturalHeight;
    if (w <= 0 || h <= 0 || nw <= 0 || nh <= 0) return false;
    Surface natural;
    if (!natural.create(nw, nh)) return false;
    const Pen white{1, RGB(255, 255, 255)};
    for (const OutlinePolygon& poly : o.outlines) {
        if (poly.points.size() < 2) continue;
        if (poly.outer) polygon(natural, white, Brush{RGB(255, 255, 255), false}, poly.points);
        else polygon(natural, kNullPen, Brush{0, false}, poly.points);
    }
    for (const OutlinePolygon& poly : o.outlines) {
        if (poly.outer || poly.points.size() < 2) continue;
        std::vector<Point> ring = poly.points;
        ring.push_back(ring.front());
        polyline(natural, white, ring);
    }
    if (w == nw && h == nh && part == Rect{0, 0, w, h}) {
        mask = std::move(natural);
        return true;
    }
    return mask.create(part.width(), part.height()) &&
           stretchBlit(mask, -part.left, -part.top, w, h, natural, 0, 0, nw, nh, Rop::Copy, StretchMode::Nearest);
}

// dst = src where the mask is white, the mask's top-left at (x, y).
void throughMask(Surface& dst, const Surface* src, ColorRef colour, const Surface& mask, int x, int y) {
    const int x0 = std::max(0, -x), y0 = std::max(0, -y);
    const int x1 = std::min(mask.width(), dst.width() - x), y1 = std::min(mask.height(), dst.height() - y);
    const Pixel flat = pixelFromColorRef(colour);
    for (int my = y0; my < y1; ++my) {
        const Pixel* m = mask.row(my);
        Pixel* d = dst.row(my + y) + x;
        const Pixel* s = src ? src->row(my) : nullptr;
        for (int mx = x0; mx < x1; ++mx)
            if (m[mx] & 0x00FFFFFFu) d[mx] = s ? s[mx] : flat;
    }
}

void drawClipArt(Surface& dc, const OverlayObject& o, int dx, int k, bool shadowPass, ColorRef shadow) {
    if (o.picture.empty()) return;
    const int x = (coord(o.x) + dx) * k, y = coord(o.y) * k;
    const int w = coord(o.width) * k, h = coord(o.height) * k;
    // The part of the displayed rectangle that lies on the surface.
    const Rect part{std::max(0, -x), std::max(0, -y), std::min(w, dc.width() - x), std::min(h, dc.height() - y)};
    if (part.width() <= 0 || part.height() <= 0) return;
    Surface mask;
    if (!clipArtMask(mask, o, k, part)) return;
    const int mx = x + part.left, my = y + part.top;
    if (shadowPass) {
        throughMask(dc, nullptr, shadow, mask, mx, my);
        return;
    }
    if (part == Rect{0, 0, w, h} && w == o.picture.width() && h == o.picture.height()) {
        throughMask(dc, &o.picture, 0, mask, mx, my);
        return;
    }
    Surface stretched;
    if (!stretched.create(part.width(), part.height()) ||
        !stretchBlit(stretched, -part.left, -part.top, w, h, o.picture, 0, 0, o.picture.width(), o.picture.height(),
                     Rop::Copy, StretchMode::Halftone))
        return;
    throughMask(dc, &stretched, 0, mask, mx, my);
}

}  // namespace

void drawObject(Surface& dc, int type, const OverlayObject& o, int dx, int scale, bool shadowPass,
                ColorRef shadowColour) {
    const int k = drawScale(scale);
    dx = std::clamp(dx, -kMaxObjectShift, kMaxObjectShift);
    switch (type) {
    case kObjectText:
        drawObjectText(dc, o, objectFont(o, k), (coord(o.x) + dx) * k, coord(o.y) * k,
                       shadowPass ? shadowColour : o.colour);
        break;
    case kObjectShape:
        drawShape(dc, o, dx, k, shadowPass, shadowColour);
        break;
    case kObjectPicture:
        drawClipArt(dc, o, dx, k, shadowPass, shadowColour);
        break;
    default:
        break;
    }
}

void CStereoWorkspace::DrawObjects(Surface& dc, int view, int scale) const {
    const int n = std::max(1, viewCount());
    const unsigned g = static_cast<unsigned>(std::clamp(m_settings.shadowLevel, 0, 255));
    const ColorRef shadow = RGB(g, g, g);
    for (int i = 0; i < m_objectCount; ++i) {
        const ObjectEntry& e = objectEntry(i);
        if (!e.object) continue;
        const OverlayObject& o = *e.object;
        if (view < 0) {
            drawObject(dc, e.type, o, 0, scale, false, 0);
            continue;
        }
        // Flat texts are drawn onto the finished pictures, never into views.
        if (e.type == kObjectText && (o.flags & kTextFlat)) continue;
        if (o.shadow) drawObject(dc, e.type, o, viewShift(view, n, backgroundDepth, m_strength), scale, true, shadow);
        drawObject(dc, e.type, o, viewShift(view, n, o.depth, m_strength), scale, false, 0);
    }
}

bool hasFlatTexts(const CStereoWorkspace& ws) {
    for (int i = 0; i < ws.objectCount(); ++i) {
        const ObjectEntry& e = ws.objectEntry(i);
        if (e.type == kObjectText && e.object && (e.object->flags & kTextFlat)) return true;
    }
    return false;
}

bool drawFlatTexts(const CStereoWorkspace& ws, Surface& picture, int scale) {
    const int k = drawScale(scale);
    bool any = false;
    for (int i = 0; i < ws.objectCount(); ++i) {
        const ObjectEntry& e = ws.objectEntry(i);
        if (e.type != kObjectText || !e.object || !(e.object->flags & kTextFlat)) continue;
        const OverlayObject& o = *e.object;
        drawObjectText(picture, o, objectFont(o, k), coord(o.x) * k, coord(o.y) * k, o.colour);
        any = true;
    }
    return any;
}

void drawCompositeFlatTexts(const CStereoWorkspace& ws, Surface& composite, int n, int p) {
    p = std::max(1, p);
    for (int i = 0; i < ws.objectCount(); ++i) {
        const ObjectEntry& e = ws.objectEntry(i);
        if (e.type != kObjectText || !e.object || !(e.object->flags & kTextFlat)) continue;
        const OverlayObject& o = *e.object;
        Font font = objectFont(o);
        // A cell height here, as the composite stretches the views N / P times.
        font.height = (o.flags & kTextPointSizeMask) * n / p;
        const long long x = static_cast<long long>(n) * coord(o.x) / p, y = static_cast<long long>(n) * coord(o.y) / p;
        drawText(composite, font, static_cast<int>(x), static_cast<int>(y), o.text, o.colour);
    }
}

}  // namespace plastora
