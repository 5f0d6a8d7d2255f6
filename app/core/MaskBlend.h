// How mask editing shows the current region's mask over the photo.
#pragma once

#include "platform/Surface.h"

namespace plastora {

// The range of the mask display's opacity, in percent.
constexpr int kMaskOpacityMin = 0;
constexpr int kMaskOpacityMax = 100;

// Mixes `colour` into `dst` wherever `mask` is inside (any colour byte set):
// each channel becomes (d x (100 - p) + c x p + 50) / 100 for opacity p
// percent (held to 0..100), so 100 paints the flat colour and 0 leaves the
// photo. Pixels outside the mask are untouched. Works on the rows both
// pictures share.
void blendThroughMask(Surface& dst, const Surface& mask, ColorRef colour, int opacityPercent);

}  // namespace plastora
