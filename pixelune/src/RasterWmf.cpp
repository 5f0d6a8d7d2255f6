// Rendering metafiles through Linewisp.
#include "Guard.h"
#include "RasterImage.h"
#include "pixelune/pixelune.h"

#include "linewisp/linewisp.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {
constexpr std::int64_t kMaxWmfSide = std::int64_t{1} << 20;
}  // namespace

static int WmfReadFileBody(const PixDisplay* /*display*/, plastora::Surface* surface, const char* fileName, int* width,
                int* height, const std::uint32_t* background) {
    if (!surface || !fileName) return 0;
    VectObjectList list;
    VectPacket packet;
    std::memset(&packet, 0, sizeof packet);
    VectPacketSetList(&packet, &list);
    packet.bitDepth = 24;
    packet.objectLimit = 4095;
    packet.pointLimit = 0x8000;
    VectDC reference;  // the display: 96 dots per inch
    const int count = VectWmfRead(&reference, fileName, &packet);
    int result = 0;
    if (count > 0) {
        const int zoom = packet.zoom > 0 ? packet.zoom : 100;
        // In 64 bits: the extent and the zoom both come from the file. A
        // picture more than 2^20 pixels wide or high is not made.
        const std::int64_t w64 = static_cast<std::int64_t>(packet.right) * zoom / 100;
        const std::int64_t h64 = static_cast<std::int64_t>(packet.bottom) * zoom / 100;
        const int w = static_cast<int>(std::clamp<std::int64_t>(w64, 0, kMaxWmfSide + 1));
        const int h = static_cast<int>(std::clamp<std::int64_t>(h64, 0, kMaxWmfSide + 1));
        // Objects that all lie on the top or left edge give nothing to show;
        // a picture of more pixels than any raster file we read is not made
        // (a few bytes of metafile can ask for gigabytes).
        if (w > 0 && h > 0 && w <= kMaxWmfSide && h <= kMaxWmfSide &&
            static_cast<std::int64_t>(w) * h <= pixelune::kMaxRasterPixels && surface->create(w, h)) {
            if (background) {
                packet.bkColor = static_cast<std::int32_t>(*background);
                packet.flags |= kVectFlagBackground;
            }
            VectDC target{surface, 96, 96};
            // A drawing that cannot be painted (too much work for its size)
            // is no picture: not an empty one handed out as read.
            if (VectVectPaint(&target, &packet, 1)) {
                if (width) *width = w;
                if (height) *height = h;
                result = 1;
            } else {
                surface->reset();
            }
        }
    }
    VectRelease(&list, &packet);
    VectPacketSetList(&packet, nullptr);
    return result;
}

int WmfReadFile(const PixDisplay* display, plastora::Surface* surface, const char* fileName, int* width, int* height, const std::uint32_t* background) {
    return pixelune::guarded(int{0}, [&] { return WmfReadFileBody(display, surface, fileName, width, height, background); });
}
