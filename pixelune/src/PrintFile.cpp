// Drawing a picture onto a printer (or any painter) at a chosen size.
#include "Guard.h"
#include "pixelune/pixelune.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

static void RatserPrintFileBody(QPainter* target, const plastora::Surface* source, int sourceWidth, int sourceHeight,
                     int targetWidth, int targetHeight, int x, int y) {
    if (!target || !source || !target->isActive() || sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 ||
        targetHeight <= 0)
        return;
    // The source block (what a DIB of that size would read from the bitmap;
    // beyond the bitmap it stays black).
    QImage block(sourceWidth, sourceHeight, QImage::Format_RGB32);
    if (block.isNull()) return;
    block.fill(Qt::black);
    const int w = std::min(sourceWidth, source->width());
    const int h = std::min(sourceHeight, source->height());
    for (int row = 0; row < h; ++row) {
        auto* dst = reinterpret_cast<QRgb*>(block.scanLine(row));
        std::copy_n(source->row(row), w, dst);  // both 0xFFRRGGBB
    }
    target->save();
    target->setRenderHint(QPainter::SmoothPixmapTransform, false);
    // Printers and PDF files would otherwise get a JPEG copy: a composite's
    // columns must reach the paper exactly.
    target->setRenderHint(QPainter::LosslessImageRendering, true);
    target->setCompositionMode(QPainter::CompositionMode_Source);  // copy
    target->drawImage(QRect(x, y, targetWidth, targetHeight), block);
    target->restore();
}

void RatserPrintFile(QPainter* target, const plastora::Surface* source, int sourceWidth, int sourceHeight, int targetWidth, int targetHeight, int x, int y) {
    pixelune::guardedVoid([&] { RatserPrintFileBody(target, source, sourceWidth, sourceHeight, targetWidth, targetHeight, x, y); });
}
