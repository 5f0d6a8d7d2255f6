// Drawing a picture onto a printer (or any painter) at a chosen size.
#include "pixelune/pixelune.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

void RatserPrintFile(QPainter* target, const plastora::Surface* source, int sourceWidth, int sourceHeight,
                     int targetWidth, int targetHeight, int x, int y) {
    if (!target || !source || !target->isActive() || sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 ||
        targetHeight <= 0)
        return;
    // The source block as 24-bit pixels (what a DIB of that size would read
    // from the bitmap; beyond the bitmap it stays black).
    QImage block(sourceWidth, sourceHeight, QImage::Format_RGB888);
    if (block.isNull()) return;
    block.fill(Qt::black);
    const int w = std::min(sourceWidth, source->width());
    const int h = std::min(sourceHeight, source->height());
    for (int row = 0; row < h; ++row) {
        const plastora::Pixel* src = source->row(row);
        uchar* dst = block.scanLine(row);
        for (int col = 0; col < w; ++col) {
            dst[3 * col] = static_cast<uchar>(src[col] >> 16);
            dst[3 * col + 1] = static_cast<uchar>(src[col] >> 8);
            dst[3 * col + 2] = static_cast<uchar>(src[col]);
        }
    }
    target->save();
    target->setRenderHint(QPainter::SmoothPixmapTransform, false);
    target->setCompositionMode(QPainter::CompositionMode_Source);  // copy
    target->drawImage(QRect(x, y, targetWidth, targetHeight), block);
    target->restore();
}
