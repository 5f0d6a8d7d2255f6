#include "ui/ToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace plastora::ui {

namespace {

constexpr int kSize = 32;

QPixmap blank(int size = kSize) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

void drawPen(QPainter& p) {
    // A pencil lying from the lower left to the upper right.
    QPolygonF body{{6, 22}, {20, 8}, {24, 12}, {10, 26}};
    p.setBrush(QColor(240, 200, 60));
    p.drawPolygon(body);
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygonF{{6, 22}, {10, 26}, {4, 28}});
    p.setBrush(QColor(230, 120, 120));
    p.drawPolygon(QPolygonF{{20, 8}, {22, 6}, {26, 10}, {24, 12}});
}

void drawEraser(QPainter& p) {
    p.setBrush(QColor(250, 250, 250));
    p.drawPolygon(QPolygonF{{4, 20}, {16, 8}, {26, 18}, {14, 30}});
    p.setBrush(QColor(90, 140, 220));
    p.drawPolygon(QPolygonF{{16, 8}, {20, 4}, {30, 14}, {26, 18}});
}

void drawFill(QPainter& p) {
    // A tipped bucket with paint running out.
    p.setBrush(QColor(200, 200, 200));
    p.drawPolygon(QPolygonF{{8, 14}, {18, 4}, {28, 14}, {18, 24}});
    p.setBrush(QColor(40, 120, 220));
    QPainterPath drip;
    drip.moveTo(26, 16);
    drip.cubicTo(30, 22, 30, 26, 27, 27);
    drip.cubicTo(24, 26, 24, 22, 26, 16);
    p.drawPath(drip);
}

void drawZoom(QPainter& p) {
    p.setBrush(QColor(220, 240, 255));
    p.drawEllipse(QRectF(4, 4, 17, 17));
    p.setPen(QPen(Qt::black, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19, 19), QPointF(28, 28));
}

void drawOutline(QPainter& p) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 2, Qt::DashLine));
    QPainterPath blob;
    blob.moveTo(6, 16);
    blob.cubicTo(6, 4, 26, 2, 26, 14);
    blob.cubicTo(26, 26, 10, 30, 6, 16);
    p.drawPath(blob);
}

void drawSwitch(QPainter& p) {
    p.setBrush(QColor(120, 200, 120));
    p.drawRect(QRectF(4, 4, 16, 16));
    p.setBrush(QColor(240, 160, 80));
    p.drawRect(QRectF(12, 12, 16, 16));
}

void drawMasking(QPainter& p) {
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3, 3, 26, 26));
    p.setBrush(QColor(0, 200, 0));
    p.drawEllipse(QRectF(8, 8, 16, 16));
}

void drawMove(QPainter& p) {
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(QPointF(16, 3), QPointF(16, 29));
    p.drawLine(QPointF(3, 16), QPointF(29, 16));
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygonF{{16, 2}, {12, 7}, {20, 7}});
    p.drawPolygon(QPolygonF{{16, 30}, {12, 25}, {20, 25}});
    p.drawPolygon(QPolygonF{{2, 16}, {7, 12}, {7, 20}});
    p.drawPolygon(QPolygonF{{30, 16}, {25, 12}, {25, 20}});
}

void drawText(QPainter& p) {
    QFont f = p.font();
    f.setPixelSize(24);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, "A");
}

void drawClipArt(QPainter& p) {
    p.setBrush(QColor(250, 210, 60));
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? 6.0 : 13.0;
        const double a = -1.5708 + i * 0.6283;
        star << QPointF(16 + r * std::cos(a), 17 + r * std::sin(a));
    }
    p.drawPolygon(star);
}

void drawShape(QPainter& p) {
    p.setBrush(QColor(120, 160, 240));
    p.drawRect(QRectF(3, 12, 14, 14));
    p.setBrush(QColor(240, 120, 120));
    p.drawEllipse(QRectF(13, 4, 16, 16));
}

}  // namespace

QIcon toolIcon(const std::string& id) {
    QPixmap pm = blank();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.2));
    if (id == "pen") drawPen(p);
    else if (id == "eraser") drawEraser(p);
    else if (id == "fill") drawFill(p);
    else if (id == "zoom") drawZoom(p);
    else if (id == "outline") drawOutline(p);
    else if (id == "switchRegion") drawSwitch(p);
    else if (id == "masking") drawMasking(p);
    else if (id == "move") drawMove(p);
    else if (id == "text") drawText(p);
    else if (id == "clipArt") drawClipArt(p);
    else if (id == "shape") drawShape(p);
    else return {};
    p.end();
    return QIcon(pm);
}

QIcon colourSwatch(ColorRef colour) {
    QPixmap pm = blank();
    QPainter p(&pm);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(static_cast<int>(GetRValue(colour)), static_cast<int>(GetGValue(colour)),
                      static_cast<int>(GetBValue(colour))));
    p.drawRect(QRect(4, 4, 23, 23));
    p.end();
    return QIcon(pm);
}

QCursor toolCursor(ToolCursor kind) {
    QPixmap pm = blank();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.2));
    QPoint hot;
    switch (kind) {
    case ToolCursor::Pen:
        drawPen(p);
        hot = {4, 28};
        break;
    case ToolCursor::Eraser:
        drawEraser(p);
        hot = {9, 25};
        break;
    case ToolCursor::Fill:
        drawFill(p);
        hot = {27, 27};
        break;
    case ToolCursor::Arrow:
        p.end();
        return QCursor(Qt::ArrowCursor);
    case ToolCursor::SizeNWSE:
        p.end();
        return QCursor(Qt::SizeFDiagCursor);
    case ToolCursor::SizeNESW:
        p.end();
        return QCursor(Qt::SizeBDiagCursor);
    case ToolCursor::Move:
        p.end();
        return QCursor(Qt::SizeAllCursor);
    }
    p.end();
    return QCursor(pm, hot.x(), hot.y());
}

}  // namespace plastora::ui
