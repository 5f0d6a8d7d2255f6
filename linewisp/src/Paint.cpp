// Painting the object list: the routine shared by surfaces and metafile
// recording, index colours, and the palette of a picture.
#include "Internal.h"

#include <cstdlib>

namespace linewisp {

ColorRef indexColour(int i) {
    return plastora::RGB((i & 0xF) << 4, i & 0xF0, ((i >> 8) & 0xF) << 4);
}

int decodeIndex(ColorRef c) {
    return ((plastora::GetGValue(c) >> 4) << 4) | (plastora::GetRValue(c) >> 4) | ((plastora::GetBValue(c) >> 4) << 8);
}

namespace {

// Where painting starts reading an object for parent finding.
bool firstPoint(const VectObject& o, Point& p) {
    if (o.kind == kVectText) {
        p = {o.left, o.top};
        return true;
    }
    std::size_t at = 0;
    if (o.kind == kVectPolyPolygon) {
        if (o.data.empty()) return false;
        at = 1 + static_cast<std::size_t>(o.data[0]);
    }
    if (at >= o.data.size()) return false;
    p = VectObject::unpackPoint(o.data[at]);
    return true;
}

struct Mapper {
    int zoom;
    int offX, offY;
    int z(int v) const { return static_cast<int>(static_cast<long long>(zoom) * v / 100); }
    Point pt(Point p) const { return {z(p.x - offX), z(p.y - offY)}; }
    Point unit(std::uint32_t u) const { return pt(VectObject::unpackPoint(u)); }
};

// The mapping of a paint mode: the packet's zoom (100% for a packet never
// read, which has none yet), or 100% relative to the extent in mode 3.
Mapper mapperFor(const VectPacket& packet, unsigned mode) {
    const int packetZoom = packet.zoom > 0 ? packet.zoom : 100;
    const bool relative = mode == 3 && !(packet.flags & kVectFlagAbsolute);
    return Mapper{mode == 3 ? 100 : packetZoom, relative ? packet.left : 0, relative ? packet.top : 0};
}

void drawObject(Canvas& canvas, const VectObject& o, const Mapper& m, ColorRef fill, std::int32_t pen) {
    if (o.kind == kVectText) {
        CanvasFont font;
        font.face = o.faceName();
        font.height = m.z(o.brushCode);
        font.weight = m.z(o.extra & kVectFontWeightMask);
        font.italic = (o.extra & kVectFontItalic) != 0;
        font.underline = (o.extra & kVectFontUnderline) != 0;
        font.strikeOut = (o.extra & kVectFontStrikeOut) != 0;
        Point start = m.pt({o.left, o.top});
        if (o.extra & kVectFontVertical) {
            font.escapement = -900;
            start.x += std::abs(font.height);
        }
        const Point lt = m.pt({o.left, o.top});
        const Point rb = m.pt({o.right, o.bottom});
        canvas.text(font, Rect{lt.x, lt.y, rb.x, rb.y}, start, o.text(), fill);
        return;
    }

    canvas.setBrush(fill, o.brushCode == kVectHollowBrush);
    canvas.setPen(pen);
    const auto& d = o.data;
    switch (o.kind) {
    case kVectPolygon:
    case kVectPolyline: {
        std::vector<Point> pts;
        pts.reserve(d.size());
        for (auto u : d) pts.push_back(m.unit(u));
        if (o.kind == kVectPolygon)
            canvas.polygon(pts);
        else
            canvas.polyline(pts);
        break;
    }
    case kVectPolyPolygon: {
        // The header units (member count and point counts) stay as they are.
        if (d.empty()) break;
        const std::size_t n = d[0];
        if (1 + n > d.size()) break;
        std::vector<std::vector<Point>> polys;
        std::size_t at = 1 + n;
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t count = d[1 + k];
            if (count > d.size() - at) break;
            std::vector<Point> pts;
            pts.reserve(count);
            for (std::size_t j = 0; j < count; ++j) pts.push_back(m.unit(d[at + j]));
            at += count;
            polys.push_back(std::move(pts));
        }
        canvas.polyPolygon(polys);
        break;
    }
    case kVectRectangle:
    case kVectEllipse: {
        if (d.size() < 2) break;
        const Point a = m.unit(d[0]), b = m.unit(d[1]);
        const Rect r{a.x, a.y, b.x, b.y};
        if (o.kind == kVectRectangle)
            canvas.rectangle(r);
        else
            canvas.ellipse(r);
        break;
    }
    case kVectArc:
    case kVectPie:
    case kVectChord: {
        if (d.size() < 4) break;
        const Point a = m.unit(d[0]), b = m.unit(d[1]);
        canvas.arc(o.kind, Rect{a.x, a.y, b.x, b.y}, m.unit(d[2]), m.unit(d[3]));
        break;
    }
    default:
        break;
    }
}

}  // namespace

std::uint64_t paintWork(const VectPacket& packet, unsigned mode, int width, int height) {
    const VectObjectList* list = VectPacketList(const_cast<VectPacket*>(&packet));
    if (!list || width <= 0 || height <= 0) return 0;
    const Mapper m = mapperFor(packet, mode);
    std::uint64_t work = 0;
    std::vector<std::int64_t> crossings(static_cast<std::size_t>(height) + 1, 0);
    std::vector<Point> pts;
    for (std::size_t k = 0; k < list->size() && work <= kMaxPaintWork; ++k) {
        const VectObject& o = *list->at(k);
        if (o.fillColor < 0) continue;
        pts.clear();
        std::size_t ringStart = 0;  // the points of a polygon-polygon's members follow its header
        if (o.kind == kVectText) {
            pts = {m.pt({o.left, o.top}), m.pt({o.right, o.bottom})};
        } else if (o.kind == kVectPolygon || o.kind == kVectPolyline || o.kind == kVectPolyPolygon) {
            if (o.kind == kVectPolyPolygon && !o.data.empty()) ringStart = 1 + static_cast<std::size_t>(o.data[0]);
            for (std::size_t j = ringStart; j < o.data.size(); ++j) pts.push_back(m.unit(o.data[j]));
        } else {
            // A box shape (rectangle, ellipse, arc, pie, chord) paints within
            // the box its first two points give; the rest are its arc's ends
            // or zeros, which would stretch the box to the origin.
            for (std::size_t j = 0; j < std::min<std::size_t>(2, o.data.size()); ++j) pts.push_back(m.unit(o.data[j]));
        }
        if (pts.empty()) continue;
        int left = pts[0].x, right = pts[0].x, top = pts[0].y, bottom = pts[0].y;
        for (const Point& p : pts) {
            left = std::min(left, p.x), right = std::max(right, p.x);
            top = std::min(top, p.y), bottom = std::max(bottom, p.y);
        }
        const auto clampX = [&](int v) { return static_cast<std::uint64_t>(std::clamp(v, 0, width)); };
        const auto clampY = [&](int v) { return std::clamp(v, 0, height); };
        work += (clampX(right + 1) - clampX(left)) * static_cast<std::uint64_t>(clampY(bottom + 1) - clampY(top)) / 4;
        if (o.kind != kVectPolygon && o.kind != kVectPolyline && o.kind != kVectPolyPolygon) continue;
        // Each edge counts on the rows it spans (consecutive points; a
        // polygon-polygon's members are joined here too, which only adds).
        const int y0 = clampY(top), y1 = clampY(bottom + 1);
        std::fill(crossings.begin() + y0, crossings.begin() + y1 + 1, 0);
        for (std::size_t j = 0; j < pts.size(); ++j) {
            const Point a = pts[j], b = pts[(j + 1) % pts.size()];
            const int lo = clampY(std::min(a.y, b.y)), hi = clampY(std::max(a.y, b.y) + 1);
            if (lo >= hi) continue;
            ++crossings[static_cast<std::size_t>(lo)];
            --crossings[static_cast<std::size_t>(hi)];
        }
        std::int64_t active = 0;
        for (int y = y0; y < y1; ++y) {
            active += crossings[static_cast<std::size_t>(y)];
            work += static_cast<std::uint64_t>(active) * static_cast<std::uint64_t>(active);
        }
    }
    return work;
}

int paintObjects(Canvas& canvas, VectPacket& packet, unsigned mode) {
    VectObjectList* list = VectPacketList(&packet);
    if (!list || mode < 1 || mode > 5) return 0;
    const Mapper m = mapperFor(packet, mode);

    canvas.setPen(kVectNoColor);
    canvas.setBrush(0);

    if (mode == 2) {
        canvas.fillBox(Rect{0, 0, m.z(packet.right) + 1, m.z(packet.bottom) + 1}, 0);
    } else if (packet.flags & kVectFlagBackground) {
        const ColorRef bk = static_cast<ColorRef>(packet.bkColor) & 0xFFFFFF;
        Rect box;
        if (mode == 3) {
            // Around the objects, in the same coordinates as the objects.
            const Point lt = m.pt({packet.left, packet.top});
            const Point rb = m.pt({packet.right, packet.bottom});
            box = {lt.x - 8, lt.y - 8, rb.x + 8, rb.y + 8};
        } else if (mode == 4) {
            box = {0, 0, m.z(packet.right - packet.left + 1) + 16, m.z(packet.bottom - packet.top + 1) + 16};
        } else {
            box = {0, 0, m.z(packet.right) + 8, m.z(packet.bottom) + 8};
        }
        canvas.fillBox(box, bk);
    }

    for (std::size_t k = 0; k < list->size(); ++k) {
        VectObject& o = *list->at(k);
        const int i = static_cast<int>(k + 1);
        if (o.fillColor < 0) continue;
        if (mode == 3 && (packet.flags & kVectFlagSkipChildren) && o.parent != 0) continue;

        ColorRef fill = static_cast<ColorRef>(o.fillColor) & 0xFFFFFF;
        std::int32_t pen = o.penColor < 0 ? kVectNoColor : (o.penColor & 0xFFFFFF);
        if (mode == 2) {
            fill = indexColour(i);
            if (pen != kVectNoColor) pen = static_cast<std::int32_t>(indexColour(i));
        }

        if (mode != 2) {
            drawObject(canvas, o, m, fill, pen);
            continue;
        }

        // Index painting also finds the object each one lies on: what was
        // painted under its first point (and a little below it) before it.
        Point p0;
        if (!firstPoint(o, p0)) {
            drawObject(canvas, o, m, fill, pen);
            o.parent = 0;
            continue;
        }
        const Point p = m.pt(p0);
        const int at0 = canvas.readIndex(p);
        const int at2 = canvas.readIndex({p.x, p.y + 2});
        const int at8 = canvas.readIndex({p.x, p.y + 8});
        int parent = at8;
        drawObject(canvas, o, m, fill, pen);
        if (!(at0 == at2 && at2 == at8) && canvas.readIndex(p) != i) {
            const int candidate = canvas.readIndex({p.x, p.y - 6}) == i ? at2 : at0;
            if (candidate < i) parent = candidate;
        }
        if (parent >= i) parent = i - 1;
        o.parent = static_cast<std::int16_t>(parent);
    }
    return 1;
}

}  // namespace linewisp

using namespace linewisp;

int VectGetPalette(const VectPacket* packet, std::uint32_t* colours) {
    if (!packet || !colours) return 0;
    int n = 0;
    auto add = [&](ColorRef c) {
        const std::uint32_t rgb =
            (plastora::GetRValue(c) << 16) | (plastora::GetGValue(c) << 8) | plastora::GetBValue(c);
        for (int j = 0; j < n; ++j)
            if (colours[j] == rgb) return;
        if (n < 256) colours[n++] = rgb;
    };
    add(static_cast<ColorRef>(packet->bkColor));
    if (const VectObjectList* list = VectPacketList(packet)) {
        for (std::size_t k = 0; k < list->size() && n < 256; ++k) {
            const VectObject& o = *list->at(k);
            if (o.fillColor >= 0) add(static_cast<ColorRef>(o.fillColor));
        }
    }
    return n;
}

short VectGetIndex(plastora::Point point, const VectPacket* packet) {
    const plastora::Surface* s = VectSourceSurface(packet);
    if (!s || point.x < 0 || point.y < 0 || point.x >= s->width() || point.y >= s->height()) return 0;
    return static_cast<short>(decodeIndex(plastora::colorRefFromPixel(s->at(point.x, point.y))));
}
