#include "support/Pictures.h"

#include "core/StillImage.h"
#include "platform/Host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

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

// An Exif APP1 segment holding only IFD0 with the orientation tag.
std::vector<std::uint8_t> exifSegment(int orientation, bool bigEndian) {
    std::vector<std::uint8_t> tiff = bigEndian ? std::vector<std::uint8_t>{'M', 'M', 0, 42, 0, 0, 0, 8}
                                               : std::vector<std::uint8_t>{'I', 'I', 42, 0, 8, 0, 0, 0};
    const auto put16 = [&](unsigned v) {
        if (bigEndian) tiff.insert(tiff.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
        else tiff.insert(tiff.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
    };
    put16(2);       // two entries: an unrelated one first
    put16(0x010F);  // Make, ASCII, 4 bytes inline
    put16(2);
    put16(4), put16(0);
    tiff.insert(tiff.end(), {'A', 'B', 'C', 0});
    put16(0x0112);  // Orientation, SHORT, 1
    put16(3);
    if (bigEndian) put16(0), put16(1);
    else put16(1), put16(0);
    put16(static_cast<unsigned>(orientation)), put16(0);
    tiff.insert(tiff.end(), {0, 0, 0, 0});  // no next IFD
    std::vector<std::uint8_t> seg;
    seg.reserve(10 + tiff.size());
    static const std::uint8_t kHead[] = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    for (std::uint8_t b : kHead) seg.push_back(b);
    for (std::uint8_t b : tiff) seg.push_back(b);
    const std::size_t len = seg.size() - 2;
    seg[2] = static_cast<std::uint8_t>(len >> 8);
    seg[3] = static_cast<std::uint8_t>(len);
    return seg;
}

// A JPEG written by the program, with the Exif segment put right after SOI.
void writeOrientedJpeg(const std::string& path, const Surface& picture, int orientation) {
    SilentHost host;
    ASSERT_EQ(SaveStillImage(host, picture, picture.width(), picture.height(), path, 100), 1);
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const std::vector<std::uint8_t> seg = exifSegment(orientation, orientation % 2 == 0);
    bytes.insert(bytes.begin() + 2, seg.begin(), seg.end());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

int lumaSampling(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t sof = b.find("\xFF\xC0");
    return sof == std::string::npos || sof + 12 > b.size() ? -1 : static_cast<unsigned char>(b[sof + 11]);
}

}  // namespace plastora::test
