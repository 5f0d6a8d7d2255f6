#include "core/MaskBlend.h"

#include <algorithm>
#include <array>

namespace plastora {

void blendThroughMask(Surface& dst, const Surface& mask, ColorRef colour, int opacityPercent) {
    if (dst.empty() || mask.empty()) return;
    const unsigned p = static_cast<unsigned>(std::clamp(opacityPercent, kMaskOpacityMin, kMaskOpacityMax));
    const Pixel c = pixelFromColorRef(colour);
    // Every output channel depends on the photo's channel value alone: one
    // table a channel turns the mix into a look-up.
    std::array<std::array<std::uint8_t, 256>, 3> mix{};
    for (unsigned ch = 0; ch < 3; ++ch) {
        const unsigned cv = (c >> (8 * ch)) & 0xFFu;
        for (unsigned d = 0; d < 256; ++d) mix[ch][d] = static_cast<std::uint8_t>((d * (100 - p) + cv * p + 50) / 100);
    }
    const int w = std::min(dst.width(), mask.width());
    const int h = std::min(dst.height(), mask.height());
    for (int y = 0; y < h; ++y) {
        Pixel* d = dst.row(y);
        const Pixel* m = mask.row(y);
        for (int x = 0; x < w; ++x) {
            if (!(m[x] & 0x00FFFFFFu)) continue;
            const Pixel v = d[x];
            d[x] = kOpaque | (Pixel{mix[2][(v >> 16) & 0xFFu]} << 16) | (Pixel{mix[1][(v >> 8) & 0xFFu]} << 8) |
                   Pixel{mix[0][v & 0xFFu]};
        }
    }
}

}  // namespace plastora
