// The logical pixel under a pointer position.
#pragma once

#include "platform/Surface.h"

#include <QPointF>

#include <cmath>

namespace plastora::ui {

// Positions come in logical pixels, fractional on a screen scaled by 125 %,
// 150 % or 200 %. Pixel i covers [i, i + 1), as the picture is drawn, so the
// pixel under the pointer is the position rounded down; rounding to the
// nearest (QPointF::toPoint) took the next pixel whenever the fraction was a
// half or more, and a stroke marked pixels beside the pointer.
inline Point pixelUnder(const QPointF& p) {
    return {static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y()))};
}

}  // namespace plastora::ui
