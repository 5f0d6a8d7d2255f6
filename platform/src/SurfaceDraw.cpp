// Fills, strokes, flood fill and text on a Surface.
//
// Geometry conventions:
// - Outlines run through pixel centres: the outline of a rectangle, ellipse
//   or rounded rectangle of [left, right) x [top, bottom) touches the pixels
//   left, right - 1, top and bottom - 1; a polygon's outline passes through
//   its vertex pixels. A one-pixel pen is drawn with our own line and ellipse
//   stepping (exact, gap-free, symmetric); a wider pen is a round-capped,
//   round-joined stroke of that width, filled without antialiasing. Odd
//   widths are centred on the pixel, even widths on its lower-right corner,
//   so a pen of width w covers w pixels across a straight line.
// - With a pen, the brush fills the inside of the outline. Without one it
//   covers the pixels of [left, right) x [top, bottom); a polygon's vertices
//   are then pixel corners, so a square from (1, 1) to (5, 5) fills pixels
//   1..4. A pixel is inside when its centre is.
// - Everything is drawn with solid, fully opaque colours and no blending, so
//   masks stay pure black and white.
#include "platform/GuiRuntime.h"
#include "platform/Surface.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QString>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <vector>

namespace plastora {

namespace {

QColor qcolor(ColorRef c) {
    return QColor(static_cast<int>(GetRValue(c)), static_cast<int>(GetGValue(c)), static_cast<int>(GetBValue(c)));
}

// Coordinates far outside any surface are pulled in so that the path code
// never meets values near the int limits; a shape that big is clipped anyway.
constexpr int kCoordLimit = 1 << 24;
int clampCoord(int v) { return std::clamp(v, -kCoordLimit, kCoordLimit); }
Point clampPoint(Point p) { return {clampCoord(p.x), clampCoord(p.y)}; }

Rect normalized(const Rect& r) {
    Rect n{clampCoord(std::min(r.left, r.right)), clampCoord(std::min(r.top, r.bottom)),
           clampCoord(std::max(r.left, r.right)), clampCoord(std::max(r.top, r.bottom))};
    return n;
}

// Visits the pixels of the line from a to b, a included and b excluded, in
// Bresenham's manner.
template <typename Fn>
void stepLine(Point a, Point b, Fn&& visit) {
    long long x = a.x, y = a.y;
    const long long dx = std::llabs(static_cast<long long>(b.x) - a.x);
    const long long dy = -std::llabs(static_cast<long long>(b.y) - a.y);
    const int sx = a.x < b.x ? 1 : -1;
    const int sy = a.y < b.y ? 1 : -1;
    long long err = dx + dy;
    while (x != b.x || y != b.y) {
        visit(static_cast<int>(x), static_cast<int>(y));
        const long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

// Visits the pixels of a one-pixel polyline; each segment leaves out its end
// point, so a shared vertex is visited once. A single point is visited.
template <typename Fn>
void stepPolyline(const std::vector<Point>& pts, Fn&& visit) {
    if (pts.size() == 1) {
        visit(pts[0].x, pts[0].y);
        return;
    }
    for (std::size_t i = 1; i < pts.size(); ++i) stepLine(pts[i - 1], pts[i], visit);
}

// The points with consecutive repeats dropped and coordinates clamped.
std::vector<Point> distinctRun(const std::vector<Point>& pts) {
    std::vector<Point> out;
    out.reserve(pts.size());
    for (const Point& p : pts) {
        const Point c = clampPoint(p);
        if (out.empty() || !(out.back() == c)) out.push_back(c);
    }
    return out;
}

// Where a pixel index lies in path coordinates for a pen of width w.
double penOffset(int w) { return (w % 2 == 1) ? 0.5 : 1.0; }

// A painter on the surface's own buffer, without antialiasing and without
// an outline pen.
struct SurfacePainter {
    explicit SurfacePainter(Surface& s) : image(s.image()), painter(&image) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setPen(Qt::NoPen);
    }
    QImage image;
    QPainter painter;
};

void fillPath(Surface& s, const QPainterPath& path, ColorRef color) {
    if (s.empty() || path.isEmpty()) return;
    SurfacePainter sp(s);
    sp.painter.fillPath(path, qcolor(color));
}

void plot(Surface& s, int x, int y, Pixel p) {
    if (x >= 0 && y >= 0 && x < s.width() && y < s.height()) s.row(y)[x] = p;
}

QPainterPath strokeOf(const QPainterPath& centreLine, int w) {
    QPainterPathStroker stroker;
    stroker.setWidth(w);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(centreLine);
}

// The pixels of a one-pixel outline that fall on the surface, with, for
// every row of the surface, the leftmost and rightmost outline pixel (which
// may lie beyond the surface's sides). Filling between those is filling the
// inside of a convex outline.
class Ring {
public:
    explicit Ring(const Surface& s)
        : m_w(s.width()), m_h(s.height()), m_left(static_cast<std::size_t>(s.height()), INT_MAX),
          m_right(static_cast<std::size_t>(s.height()), INT_MIN) {}

    void add(int x, int y) {
        if (y < 0 || y >= m_h) return;
        m_left[y] = std::min(m_left[y], x);
        m_right[y] = std::max(m_right[y], x);
        if (x >= 0 && x < m_w) m_pixels.push_back({x, y});
    }
    // The pixels strictly between the outline's ends on each row.
    void fillInside(Surface& s, Pixel p) const {
        for (int y = 0; y < m_h; ++y) {
            if (m_left[y] > m_right[y]) continue;
            const int x0 = std::max(m_left[y] + 1, 0), x1 = std::min(m_right[y], m_w);
            if (x0 < x1) std::fill(s.row(y) + x0, s.row(y) + x1, p);
        }
    }
    void draw(Surface& s, Pixel p) const {
        for (const Point& q : m_pixels) s.row(q.y)[q.x] = p;
    }

private:
    int m_w, m_h;
    std::vector<int> m_left, m_right;
    std::vector<Point> m_pixels;
};

// A one-pixel ellipse outline in the box [x0, x1] x [y0, y1] of pixel
// centres, drawn by the midpoint method one quadrant at a time so that it is
// exactly symmetric. The right half is moved right by spreadX and the lower
// half down by spreadY, which, joined by straight runs, makes the outline of
// a rounded rectangle.
template <typename Fn>
void ellipseQuadrants(long long x0, long long y0, long long x1, long long y1, long long spreadX, long long spreadY,
                      Fn&& visit) {
    const long long a = x1 - x0, b = y1 - y0;
    const long long b1 = b & 1;
    double dx = 4.0 * (1.0 - a) * static_cast<double>(b) * b;
    double dy = 4.0 * (b1 + 1) * static_cast<double>(a) * a;
    double err = dx + dy + static_cast<double>(b1) * a * a;
    const double stepX = 8.0 * static_cast<double>(b) * b;
    const double stepY = 8.0 * static_cast<double>(a) * a;
    y0 += (b + 1) / 2;  // the middle row(s): y0 walks down, y1 up
    y1 = y0 - b1;
    const auto put = [&](long long x, long long y, bool right, bool lower) {
        visit(static_cast<int>(x + (right ? spreadX : 0)), static_cast<int>(y + (lower ? spreadY : 0)));
    };
    do {
        put(x1, y0, true, true);
        put(x0, y0, false, true);
        put(x0, y1, false, false);
        put(x1, y1, true, false);
        const double e2 = 2 * err;
        if (e2 <= dy) {
            ++y0;
            --y1;
            err += dy += stepY;
        }
        if (e2 >= dx || 2 * err > dy) {
            ++x0;
            --x1;
            err += dx += stepX;
        }
    } while (x0 <= x1);
    // Very flat ellipses end before reaching their tips.
    while (y0 - y1 <= b) {
        put(x0 - 1, y0, false, true);
        put(x1 + 1, y0, true, true);
        put(x0 - 1, y1, false, false);
        put(x1 + 1, y1, true, false);
        ++y0;
        --y1;
    }
}

// The one-pixel outline of a rounded rectangle covering [l, r) x [t, b)
// with corners of an ellipse of cw x ch pixels (cw, ch at least 1; 1 gives
// square corners).
void roundedRing(const Rect& n, int cw, int ch, Ring& ring) {
    const auto add = [&](int x, int y) { ring.add(x, y); };
    const int a = cw - 1, b = ch - 1;
    const int spreadX = n.width() - cw, spreadY = n.height() - ch;
    ellipseQuadrants(n.left, n.top, n.left + a, n.top + b, spreadX, spreadY, add);
    // The straight runs between the corners.
    for (int x = n.left + a / 2; x <= n.right - 1 - a / 2; ++x) {
        add(x, n.top);
        add(x, n.bottom - 1);
    }
    for (int y = n.top + b / 2; y <= n.bottom - 1 - b / 2; ++y) {
        add(n.left, y);
        add(n.right - 1, y);
    }
}

// A convex shape: with a one-pixel pen the outline comes from `ring` and the
// brush fills what lies between it; with a wider pen the outline is the
// stroke of `centreLine` (pixel-centre coordinates) and the brush fills that
// line's inside; without a pen the brush fills `area` (pixel edges).
void drawConvex(Surface& s, const Pen& pen, const Brush& brush, const QPainterPath& area,
                const QPainterPath& centreLine, const std::function<void(Ring&)>& ring) {
    if (pen.null) {
        if (!brush.null) fillPath(s, area, brush.color);
        return;
    }
    const int w = std::max(1, pen.width);
    if (w == 1) {
        Ring r(s);
        ring(r);
        if (!brush.null) r.fillInside(s, pixelFromColorRef(brush.color));
        r.draw(s, pixelFromColorRef(pen.color));
        return;
    }
    const QPainterPath line = centreLine.translated(penOffset(w), penOffset(w));
    if (!brush.null) fillPath(s, line, brush.color);
    fillPath(s, strokeOf(line, w), pen.color);
}

}  // namespace

void fillRect(Surface& s, const Rect& r, ColorRef color) {
    if (s.empty()) return;
    const int x0 = std::max(r.left, 0), x1 = std::min(r.right, s.width());
    const int y0 = std::max(r.top, 0), y1 = std::min(r.bottom, s.height());
    if (x0 >= x1 || y0 >= y1) return;
    const Pixel p = pixelFromColorRef(color);
    for (int y = y0; y < y1; ++y) std::fill(s.row(y) + x0, s.row(y) + x1, p);
}

void polyline(Surface& s, const Pen& pen, const std::vector<Point>& pts) {
    if (s.empty() || pen.null || pts.empty()) return;
    const std::vector<Point> run = distinctRun(pts);
    const int w = std::max(1, pen.width);
    if (w == 1) {
        const Pixel c = pixelFromColorRef(pen.color);
        stepPolyline(run, [&](int x, int y) { plot(s, x, y, c); });
        return;
    }
    const double o = penOffset(w);
    QPainterPath shape;
    if (run.size() == 1) {
        // A click without movement: a dot as wide as the pen.
        shape.addEllipse(QPointF(run[0].x + o, run[0].y + o), w / 2.0, w / 2.0);
    } else {
        QPainterPath path;
        path.moveTo(run[0].x + o, run[0].y + o);
        for (std::size_t i = 1; i < run.size(); ++i) path.lineTo(run[i].x + o, run[i].y + o);
        shape = strokeOf(path, w);
    }
    fillPath(s, shape, pen.color);
}

void invertPolyline(Surface& s, const std::vector<Point>& pts) {
    if (s.empty() || pts.empty()) return;
    // Repeated points are kept out so that a run of equal points inverts its
    // pixel once per drawing, as a single point does.
    const std::vector<Point> run = distinctRun(pts);
    stepPolyline(run, [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < s.width() && y < s.height()) {
            Pixel& p = s.row(y)[x];
            p = ~p | kOpaque;
        }
    });
}

void rectangle(Surface& s, const Pen& pen, const Brush& brush, const Rect& r) {
    const Rect n = normalized(r);
    if (s.empty() || n.width() == 0 || n.height() == 0) return;
    QPainterPath area;
    area.addRect(QRectF(n.left, n.top, n.width(), n.height()));
    QPainterPath centreLine;
    centreLine.addRect(QRectF(n.left, n.top, n.width() - 1, n.height() - 1));
    drawConvex(s, pen, brush, area, centreLine, [&](Ring& ring) { roundedRing(n, 1, 1, ring); });
}

void ellipse(Surface& s, const Pen& pen, const Brush& brush, const Rect& r) {
    const Rect n = normalized(r);
    if (s.empty() || n.width() == 0 || n.height() == 0) return;
    QPainterPath area;
    area.addEllipse(QRectF(n.left, n.top, n.width(), n.height()));
    QPainterPath centreLine;
    centreLine.addEllipse(QRectF(n.left, n.top, n.width() - 1, n.height() - 1));
    drawConvex(s, pen, brush, area, centreLine, [&](Ring& ring) {
        ellipseQuadrants(n.left, n.top, n.right - 1, n.bottom - 1, 0, 0, [&](int x, int y) { ring.add(x, y); });
    });
}

void roundRect(Surface& s, const Pen& pen, const Brush& brush, const Rect& r, int ellipseW, int ellipseH) {
    const Rect n = normalized(r);
    if (s.empty() || n.width() == 0 || n.height() == 0) return;
    // The corners are quarters of an ellipse of ellipseW x ellipseH, no
    // bigger than the rectangle itself.
    const int cw = std::clamp(std::abs(ellipseW), 1, n.width());
    const int ch = std::clamp(std::abs(ellipseH), 1, n.height());
    QPainterPath area;
    area.addRoundedRect(QRectF(n.left, n.top, n.width(), n.height()), cw / 2.0, ch / 2.0);
    QPainterPath centreLine;
    centreLine.addRoundedRect(QRectF(n.left, n.top, n.width() - 1, n.height() - 1), (cw - 1) / 2.0, (ch - 1) / 2.0);
    drawConvex(s, pen, brush, area, centreLine, [&](Ring& ring) { roundedRing(n, cw, ch, ring); });
}

void polygon(Surface& s, const Pen& pen, const Brush& brush, const std::vector<Point>& pts) {
    if (s.empty() || pts.empty()) return;
    std::vector<Point> corners;
    corners.reserve(pts.size() + 1);
    QPolygonF poly;
    poly.reserve(static_cast<qsizetype>(pts.size()));
    for (const Point& p : pts) {
        corners.push_back(clampPoint(p));
        poly << QPointF(corners.back().x, corners.back().y);
    }
    const int w = std::max(1, pen.width);
    if (!brush.null) {
        // Without a pen the vertices are pixel corners; with one, the brush
        // fills the inside of the outline through the vertex pixels.
        QPainterPath area;
        area.setFillRule(Qt::OddEvenFill);
        area.addPolygon(pen.null ? poly : poly.translated(penOffset(w), penOffset(w)));
        area.closeSubpath();
        fillPath(s, area, brush.color);
    }
    if (pen.null) return;
    if (w == 1) {
        corners.push_back(corners.front());
        const Pixel c = pixelFromColorRef(pen.color);
        stepPolyline(distinctRun(corners), [&](int x, int y) { plot(s, x, y, c); });
        return;
    }
    QPainterPath line;
    line.addPolygon(poly.translated(penOffset(w), penOffset(w)));
    line.closeSubpath();
    fillPath(s, strokeOf(line, w), pen.color);
}

bool floodFill(Surface& s, int x, int y, ColorRef areaColor, ColorRef fillColor) {
    if (s.empty() || x < 0 || y < 0 || x >= s.width() || y >= s.height()) return false;
    const Pixel target = pixelFromColorRef(areaColor);
    const Pixel fill = pixelFromColorRef(fillColor);
    const auto isTarget = [target](Pixel p) { return (p | kOpaque) == target; };
    if (!isTarget(s.at(x, y))) return false;
    if (fill == target) return true;  // the area already has the fill colour

    // Scanline fill with an explicit stack of seeds: each seed fills its whole
    // horizontal run, then pushes one seed for every run of the area colour
    // that touches it from the row above or below.
    const int w = s.width(), h = s.height();
    std::vector<Point> seeds;
    seeds.push_back({x, y});
    while (!seeds.empty()) {
        const Point seed = seeds.back();
        seeds.pop_back();
        Pixel* row = s.row(seed.y);
        if (!isTarget(row[seed.x])) continue;
        int left = seed.x, right = seed.x;
        while (left > 0 && isTarget(row[left - 1])) --left;
        while (right + 1 < w && isTarget(row[right + 1])) ++right;
        std::fill(row + left, row + right + 1, fill);
        for (const int ny : {seed.y - 1, seed.y + 1}) {
            if (ny < 0 || ny >= h) continue;
            const Pixel* other = s.row(ny);
            bool inRun = false;
            for (int i = left; i <= right; ++i) {
                const bool t = isTarget(other[i]);
                if (t && !inRun) seeds.push_back({i, ny});
                inRun = t;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------------------

namespace {

// The characters of a string as a reader counts them (grapheme clusters),
// each as its own QString, for text set top to bottom.
std::vector<QString> characters(const QString& text) {
    std::vector<QString> out;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype start = 0, end; (end = finder.toNextBoundary()) != -1; start = end)
        if (end > start) out.push_back(text.mid(start, end - start));
    return out;
}

}  // namespace

std::vector<std::string> textCharacters(const std::string& text) {
    std::vector<std::string> out;
    const QString str = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QByteArray back = str.toUtf8();
    if (std::string_view(back.constData(), static_cast<std::size_t>(back.size())) == text) {
        for (const QString& ch : characters(str)) out.push_back(ch.toStdString());
        return out;
    }
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        n = std::min(n, text.size() - i);
        out.push_back(text.substr(i, n));
        i += n;
    }
    return out;
}

void drawText(Surface& s, const Font& font, int x, int y, const std::string& text, ColorRef color) {
    if (s.empty() || text.empty()) return;
    ensureGuiRuntime();
    if (!qGuiApp) return;
    const QFont qf = qfontFor(font);
    const QFontMetricsF fm(qf);
    const QString str = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    {
        QImage image = s.image();
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, font.antialiased);
        painter.setBackgroundMode(Qt::TransparentMode);
        painter.setFont(qf);
        painter.setPen(qcolor(color));
        // A face without a bold style (the IPA fonts that stand in for the
        // Japanese Windows faces) is made bold by Qt only for glyphs below
        // 64 pixels; larger ones, drawn as outlines, came out plain. Those
        // are drawn as outlines here and widened by a twenty-fourth of the
        // size, as Qt's (FreeType's) emboldening does for the small ones.
        const QFontInfo info(qf);
        const bool widened =
            font.weight >= 600 && info.pixelSize() >= 64 && !QFontDatabase::bold(info.family(), info.styleName());
        const QPen outline(qcolor(color), info.pixelSize() / 24.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        const auto draw = [&](const QPointF& at, const QString& run) {
            if (!widened) {
                painter.drawText(at, run);
                return;
            }
            // Widened towards the right and the top, as FreeType's
            // emboldening is: the left and bottom edges stay in place.
            QPainterPath path;
            path.addText(at + QPointF(outline.widthF() / 2, -outline.widthF() / 2), qf, run);
            painter.setRenderHint(QPainter::Antialiasing, font.antialiased);
            painter.fillPath(path, qcolor(color));
            painter.strokePath(path, outline);
        };
        if (!font.vertical) {
            draw(QPointF(x, y + fm.ascent()), str);
        } else {
            double top = y;
            for (const QString& ch : characters(str)) {
                draw(QPointF(x, top + fm.ascent()), ch);
                top += fm.height();
            }
        }
    }
    // Blending of antialiased edges goes through Qt's compositing, which is
    // not bound to keep the unused top byte; make sure the rows the text can
    // reach stay opaque.
    if (font.antialiased) {
        const double lines = font.vertical ? static_cast<double>(characters(str).size()) : 1.0;
        const double h = s.height();
        const int y0 = static_cast<int>(std::clamp(std::floor(y - fm.height()), 0.0, h));
        const int y1 = static_cast<int>(std::clamp(std::ceil(y + fm.height() * (lines + 1)), 0.0, h));
        for (int yy = y0; yy < y1; ++yy) {
            Pixel* p = s.row(yy);
            for (int i = 0; i < s.width(); ++i) p[i] |= kOpaque;
        }
    }
}

Size textExtent(const Font& font, const std::string& text) {
    ensureGuiRuntime();
    if (!qGuiApp) return {};
    const QFont qf = qfontFor(font);
    const QFontMetricsF fm(qf);
    const QString str = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const int lineHeight = static_cast<int>(std::ceil(fm.height()));
    if (!font.vertical) {
        return {static_cast<int>(std::ceil(fm.horizontalAdvance(str))), lineHeight};
    }
    double widest = 0;
    const std::vector<QString> chars = characters(str);
    for (const QString& ch : chars) widest = std::max(widest, fm.horizontalAdvance(ch));
    return {static_cast<int>(std::ceil(widest)),
            static_cast<int>(std::ceil(fm.height() * static_cast<double>(chars.size())))};
}

}  // namespace plastora
