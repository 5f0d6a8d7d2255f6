// Scans one page through Pixelune's scanner services and saves it as a BMP.
//
//   pixelune_scan_example OUT.bmp [DEVICE]
//
// DEVICE is a SANE device name ("test:0"); without it SANE's default device
// is used. Set SANE_CONFIG_DIR to choose the SANE configuration, for example
// a folder whose dll.conf lists only "test" to scan SANE's test pictures.
#include "pixelune/pixelune.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s OUT.bmp [DEVICE]\n", argv[0]);
        return 2;
    }
    if (!TWAINGetDllName()) {
        std::fprintf(stderr, "SANE is not installed\n");
        return 1;
    }
    TWAINPacket packet{};
    if (argc == 3) {
        if (std::strlen(argv[2]) >= sizeof packet.source) {
            std::fprintf(stderr, "the device name is longer than %zu bytes\n", sizeof packet.source - 1);
            return 2;
        }
        std::strcpy(packet.source, argv[2]);
    }
    if (!TWAINGetSource(&packet, nullptr)) {
        std::fprintf(stderr, "the scanner cannot be opened\n");
        return 1;
    }
    // A program with a window calls this from its event loop; here nothing
    // else happens in between.
    void* dib = nullptr;
    int r;
    while ((r = TWAINPostTwain(&packet, nullptr, &dib, nullptr)) == kTwainNothingYet) {
    }
    if (r != kTwainTransferred || !dib) {
        std::fprintf(stderr, "nothing was scanned\n");
        return 1;
    }
    // The packed DIB goes through the raster interface like any picture.
    PixDisplay display;
    plastora::Surface picture;
    std::uint32_t palette[kPixPaletteSize];
    std::uint32_t colours[kPixPaletteSize];
    int width = 0, height = 0, bits = 0;
    const int ok = ReadRasterFile(&display, &picture, palette, nullptr, static_cast<const unsigned char*>(dib),
                                  TWAINDibSize(dib), nullptr, &width, &height, &bits, 1, colours);
    std::free(dib);
    if (!ok) {
        std::fprintf(stderr, "the scanned picture cannot be read\n");
        return 1;
    }
    if (WriteRasterFile(argv[1], nullptr, static_cast<short>(bits), &picture, width, height, colours, {-1, -1}, 0,
                        0) != 1) {
        std::fprintf(stderr, "%s cannot be written\n", argv[1]);
        return 1;
    }
    std::printf("%d x %d\n", width, height);
    return 0;
}
