// Rendering metafiles through Linewisp.
#include "pixelune/pixelune.h"

#include "linewisp/linewisp.h"

#include <cstdio>
#include <cstring>

int WmfReadFile(const PixDisplay* /*display*/, plastora::Surface* surface, const char* fileName, int* width,
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
        const int w = packet.right * zoom / 100;
        const int h = packet.bottom * zoom / 100;
        // Objects that all lie on the top or left edge give nothing to show.
        if (w > 0 && h > 0 && surface->create(w, h)) {
            if (background) {
                packet.bkColor = static_cast<std::int32_t>(*background);
                packet.flags |= kVectFlagBackground;
            }
            VectDC target{surface, 96, 96};
            VectVectPaint(&target, &packet, 1);
            if (width) *width = w;
            if (height) *height = h;
            result = 1;
        }
    }
    VectRelease(&list, &packet);
    VectPacketSetList(&packet, nullptr);
    return result;
}
