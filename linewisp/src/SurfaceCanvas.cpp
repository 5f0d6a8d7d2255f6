// Painting onto a Surface with QPainter, aliased, with the geometry of GDI:
// rectangles and ellipses fill their box without its right and bottom edge,
// arcs run counter-clockwise from the start radial to the end radial, poly-
// polygons fill with the alternate rule.
#include "Internal.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QStringDecoder>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>

namespace linewisp {
namespace {

QColor qcolour(ColorRef c) { return QColor(plastora::GetRValue(c), plastora::GetGValue(c), plastora::GetBValue(c)); }

QPolygon qpolygon(const std::vector<Point>& pts) {
    QPolygon q;
    q.reserve(static_cast<int>(pts.size()));
    for (const Point& p : pts) q.append(QPoint(p.x, p.y));
    return q;
}

Rect normalised(const Rect& r) {
    return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
            std::max(r.top, r.bottom)};
}

// Fonts need a GUI application object. A process without any Qt
// application (the command-line tool, tests, a library user) gets an
// offscreen one; a process with a non-GUI application cannot draw text.
// Drawing may happen on any thread, two at once: the object is made once,
// under a lock, on whichever thread draws text first.
QGuiApplication* g_ownApplication = nullptr;
std::thread::id g_ownApplicationThread;

// Held while the application object is made, and while a painter begins
// (which reads the application's default font): never both at once.
std::mutex& applicationMutex() {
    static std::mutex m;
    return m;
}

bool ensureGuiApplication() {
    const std::lock_guard<std::mutex> lock(applicationMutex());
    if (QCoreApplication* app = QCoreApplication::instance()) return qobject_cast<QGuiApplication*>(app) != nullptr;
    // The platform is given by the environment, not by arguments Qt takes
    // out of the list it is handed.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char arg0[] = "linewisp";
    static char* argv[] = {arg0, nullptr};
    // The application object sets the C library's locale from the
    // environment; the host's numeric locale (decimal point) is kept.
    const std::string numeric = std::setlocale(LC_NUMERIC, nullptr);
    g_ownApplication = new QGuiApplication(argc, argv);
    g_ownApplicationThread = std::this_thread::get_id();
    std::setlocale(LC_NUMERIC, numeric.c_str());
    // Deleted at exit before the statics Qt made while constructing it, so
    // the font database (and fontconfig under it) is shut down properly;
    // but only on the thread that made it: Qt cannot end an application
    // object from another thread (a worker thread that drew text and has
    // ended), which is then left to the process's end.
    std::atexit([] {
        if (std::this_thread::get_id() != g_ownApplicationThread) return;
        delete g_ownApplication;
        g_ownApplication = nullptr;
    });
    return true;
}

// Text bytes as the file holds them: UTF-8 when they are valid UTF-8, else
// the Japanese Windows code page, else Latin-1.
QString decodeText(const std::string& bytes) {
    const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    {
        QStringDecoder utf8(QStringDecoder::Utf8);
        QString s = utf8(raw);
        if (!utf8.hasError()) return s;
    }
    QStringDecoder sjis("Shift_JIS");
    if (sjis.isValid()) {
        QString s = sjis(raw);
        if (!sjis.hasError()) return s;
    }
    return QString::fromLatin1(raw);
}

class SurfaceCanvas final : public Canvas {
public:
    explicit SurfaceCanvas(plastora::Surface& s) : m_surface(s), m_image(s.image()) {
        {
            const std::lock_guard<std::mutex> lock(applicationMutex());
            m_painter.begin(&m_image);
        }
        m_painter.setRenderHint(QPainter::Antialiasing, false);
        m_painter.setRenderHint(QPainter::TextAntialiasing, false);
    }

    bool active() const { return m_painter.isActive(); }
    bool failed() const { return m_failed; }

    void fillBox(const Rect& r, ColorRef colour) override {
        const Rect n = normalised(r);
        m_painter.fillRect(QRect(n.left, n.top, n.right - n.left, n.bottom - n.top), qcolour(colour));
    }
    void setPen(std::int32_t colour) override { m_pen = colour; }
    void setBrush(ColorRef colour, bool hollow) override {
        m_brush = hollow ? kVectNoColor : static_cast<std::int32_t>(colour & 0xFFFFFF);
    }

    void polygon(const std::vector<Point>& pts) override {
        apply(true);
        m_painter.drawPolygon(qpolygon(pts), Qt::OddEvenFill);
    }
    void polyline(const std::vector<Point>& pts) override {
        if (m_pen == kVectNoColor) return;
        apply(false);
        m_painter.drawPolyline(qpolygon(pts));
    }
    void polyPolygon(const std::vector<std::vector<Point>>& polys) override {
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        for (const auto& pts : polys) {
            if (pts.empty()) continue;
            path.addPolygon(QPolygonF(qpolygon(pts)));
            path.closeSubpath();
        }
        apply(true);
        m_painter.drawPath(path);
    }
    void rectangle(const Rect& r) override {
        const Rect n = normalised(r);
        if (n.right - n.left < 1 || n.bottom - n.top < 1) return;
        if (m_pen == kVectNoColor) {
            if (m_brush != kVectNoColor)
                m_painter.fillRect(QRect(n.left, n.top, n.right - n.left, n.bottom - n.top),
                                   qcolour(static_cast<ColorRef>(m_brush)));
            return;
        }
        apply(true);
        m_painter.drawRect(QRect(n.left, n.top, n.right - n.left - 1, n.bottom - n.top - 1));
    }
    void ellipse(const Rect& r) override {
        const Rect n = normalised(r);
        if (n.right - n.left < 1 || n.bottom - n.top < 1) return;
        apply(true);
        m_painter.drawEllipse(QRect(n.left, n.top, n.right - n.left - 1, n.bottom - n.top - 1));
    }
    void arc(int kind, const Rect& r, Point start, Point end) override {
        const Rect n = normalised(r);
        const double rx = (n.right - n.left) / 2.0, ry = (n.bottom - n.top) / 2.0;
        if (rx < 0.5 || ry < 0.5) return;
        const double cx = n.left + rx, cy = n.top + ry;
        // Qt's angles are those of the circle the ellipse is stretched from,
        // so a radial through a point maps to the angle of the point's
        // direction with the axes scaled back to a circle.
        auto angle = [&](Point p) { return std::atan2(-(p.y - cy) / ry, (p.x - cx) / rx) * 180.0 / std::numbers::pi; };
        const double a0 = angle(start);
        double span = angle(end) - a0;
        while (span <= 0) span += 360.0;
        const QRect box(n.left, n.top, n.right - n.left - 1, n.bottom - n.top - 1);
        const int qa = static_cast<int>(std::lround(a0 * 16)), qs = static_cast<int>(std::lround(span * 16));
        if (kind == kVectArc) {
            if (m_pen == kVectNoColor) return;
            apply(false);
            m_painter.drawArc(box, qa, qs);
        } else if (kind == kVectPie) {
            apply(true);
            m_painter.drawPie(box, qa, qs);
        } else {
            apply(true);
            m_painter.drawChord(box, qa, qs);
        }
    }
    void text(const CanvasFont& font, const Rect& clip, Point start, const std::string& bytes,
              ColorRef colour) override {
        if (bytes.empty()) return;
        if (!ensureGuiApplication()) {
            m_failed = true;
            return;
        }
        QFont f(QString::fromUtf8(font.face.c_str()));
        f.setPixelSize(std::max(1, std::abs(font.height)));
        f.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight == 0 ? 400 : font.weight, 1, 1000)));
        f.setItalic(font.italic);
        f.setUnderline(font.underline);
        f.setStrikeOut(font.strikeOut);
        f.setStyleStrategy(QFont::NoAntialias);
        m_painter.save();
        const Rect c = normalised(clip);
        m_painter.setClipRect(QRect(c.left, c.top, c.right - c.left, c.bottom - c.top));
        m_painter.setFont(f);
        m_painter.setPen(qcolour(colour));
        m_painter.translate(start.x, start.y);
        if (font.escapement != 0) m_painter.rotate(-font.escapement / 10.0);
        // The start point is the top-left of the text cell; Qt draws from
        // the baseline.
        m_painter.drawText(QPoint(0, QFontMetrics(f).ascent()), decodeText(bytes));
        m_painter.restore();
    }
    int readIndex(Point p) const override {
        if (p.x < 0 || p.y < 0 || p.x >= m_surface.width() || p.y >= m_surface.height()) return 0;
        return decodeIndex(plastora::colorRefFromPixel(m_surface.at(p.x, p.y)));
    }

private:
    void apply(bool fill) {
        if (m_pen == kVectNoColor)
            m_painter.setPen(Qt::NoPen);
        else
            m_painter.setPen(QPen(qcolour(static_cast<ColorRef>(m_pen)), 0));
        if (fill && m_brush != kVectNoColor)
            m_painter.setBrush(qcolour(static_cast<ColorRef>(m_brush)));
        else
            m_painter.setBrush(Qt::NoBrush);
    }

    plastora::Surface& m_surface;
    QImage m_image;
    QPainter m_painter;
    std::int32_t m_pen = kVectNoColor;
    std::int32_t m_brush = 0;
    bool m_failed = false;
};

}  // namespace
}  // namespace linewisp

using namespace linewisp;

int VectVectPaint(const VectDC* dc, VectPacket* packet, unsigned short mode) {
    if (!dc || !dc->surface || dc->surface->empty() || !packet) return 0;
    if (paintWork(*packet, mode, dc->surface->width(), dc->surface->height()) > kMaxPaintWork) return 0;
    try {
        SurfaceCanvas canvas(*dc->surface);
        if (!canvas.active()) return 0;
        const int rc = paintObjects(canvas, *packet, mode);
        return rc && !canvas.failed() ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
