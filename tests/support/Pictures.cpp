#include "support/Pictures.h"

#include <cstring>

namespace plastora::test {

Surface gradientPicture(int w, int h) {
    Surface s;
    if (!s.create(w, h)) return s;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s.set(x, y, pixelFromColorRef(RGB((x * 7) & 255, (y * 13) & 255, ((x + y) * 3) & 255)));
    return s;
}

void paintRect(Surface& mask, int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) mask.set(x, y, kWhite);
}

bool samePixels(const Surface& a, const Surface& b) {
    if (a.width() != b.width() || a.height() != b.height()) return false;
    return a.empty() || std::memcmp(a.bits(), b.bits(), a.pixelCount() * sizeof(Pixel)) == 0;
}

long countWhite(const Surface& mask) {
    long n = 0;
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x) n += mask.at(x, y) == kWhite;
    return n;
}

}  // namespace plastora::test
