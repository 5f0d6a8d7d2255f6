// Fuzz target for the metafile reader: any bytes are read; what reads is
// painted (own colours and index colours with parent finding), recoloured,
// written back as a metafile, and that metafile must read again.
#include "linewisp/linewisp.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    VectObjectList list;
    VectPacket packet{};
    VectPacketSetList(&packet, &list);
    packet.objectLimit = 4095;
    packet.pointLimit = 0x8000;
    packet.bitDepth = 24;
    packet.flags = kVectFlagBackground;
    const VectDC screen{nullptr, 96, 96};
    const int rc = VectWmfRead(&screen, data, size, &packet);
    if (rc <= 0) return 0;

    std::uint32_t colours[256];
    VectGetPalette(&packet, colours);

    plastora::Surface picture;
    if (picture.create(64, 48)) {
        const VectDC dc{&picture, 96, 96};
        VectVectPaint(&dc, &packet, 1);
    }
    if (plastora::Surface* index = VectCreateSourceSurface(&packet, 64, 48)) {
        const VectDC dc{index, 96, 96};
        VectVectPaint(&dc, &packet, 2);
        VectGetIndex({10, 10}, &packet);
    }
    VectSetColor(3, static_cast<short>(list.size()), 0, 0, &list);

    // Our own metafile of the picture must read again.
    const std::vector<std::uint8_t> again = VectWmfWrite(&screen, "", &packet);
    if (!again.empty()) {
        VectObjectList list2;
        VectPacket packet2{};
        VectPacketSetList(&packet2, &list2);
        packet2.objectLimit = 0x7FFFFFFF;
        packet2.pointLimit = 0x7FFFFFFF;
        if (VectWmfRead(&screen, again.data(), again.size(), &packet2) == kVectErrMalformed) std::abort();
    }
    VectRelease(&list, &packet);
    return 0;
}
