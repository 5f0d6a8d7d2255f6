// Writes the body template for face cut-outs: a placeable metafile of filled
// polygons (head, neck, shoulders) drawn relative to a face.
//
// The program that uses it reads the placeable header's left L, top T and
// right R, and maps every template point p to
//   face centre + (face width / R) x (p - (L, T)),
// so the template is drawn with the face centre at (L, T) and one face width
// R units wide. The reader turns negative coordinates into 0, so the face
// centre sits far enough from the origin that every point stays positive;
// the header's right value is therefore smaller than its left one.
//
// usage: linewisp_body_template OUT.wmf
#include "linewisp/linewisp.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>

namespace {

constexpr int kCentreX = 200;  // L
constexpr int kCentreY = 200;  // T
constexpr int kFaceWidth = 100;  // R
constexpr int kBottom = 500;

// Points around an ellipse, clockwise from the top.
std::vector<std::uint32_t> ellipse(int cx, int cy, int rx, int ry, int steps) {
    std::vector<std::uint32_t> units;
    for (int i = 0; i < steps; ++i) {
        const double a = 2 * std::numbers::pi * i / steps;
        units.push_back(VectObject::packPoint(cx + static_cast<int>(std::lround(rx * std::sin(a))),
                                              cy - static_cast<int>(std::lround(ry * std::cos(a)))));
    }
    return units;
}

std::vector<std::uint32_t> points(std::initializer_list<std::pair<int, int>> pts) {
    std::vector<std::uint32_t> units;
    for (auto [x, y] : pts) units.push_back(VectObject::packPoint(kCentreX + x, kCentreY + y));
    return units;
}

void addPolygon(VectObjectList& list, VectPacket& packet, std::vector<std::uint32_t> units) {
    auto o = std::make_unique<VectObject>();
    o->kind = kVectPolygon;
    o->penColor = kVectNoColor;
    o->fillColor = 0xFFFFFF;
    int l = 32767, t = 32767, r = -32767, b = -32767;
    for (auto u : units) {
        const plastora::Point p = VectObject::unpackPoint(u);
        l = std::min(l, p.x), t = std::min(t, p.y), r = std::max(r, p.x), b = std::max(b, p.y);
    }
    o->left = static_cast<std::int16_t>(l), o->top = static_cast<std::int16_t>(t);
    o->right = static_cast<std::int16_t>(r), o->bottom = static_cast<std::int16_t>(b);
    o->setUnits(std::move(units));
    packet.left = static_cast<std::int16_t>(std::min<int>(packet.left, l));
    packet.top = static_cast<std::int16_t>(std::min<int>(packet.top, t));
    packet.right = static_cast<std::int16_t>(std::max<int>(packet.right, r));
    packet.bottom = static_cast<std::int16_t>(std::max<int>(packet.bottom, b));
    list.append(std::move(o));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.wmf\n", argv[0]);
        return 2;
    }
    VectObjectList list;
    VectPacket packet{};
    VectPacketSetList(&packet, &list);
    packet.zoom = 100;
    packet.left = packet.top = 32767;
    packet.right = packet.bottom = -32767;
    // Coordinates as drawn: the recorded metafile keeps them.
    packet.flags = kVectFlagAbsolute;

    // Head: a little wider than the face box, from the hair to the chin.
    addPolygon(list, packet, ellipse(kCentreX, kCentreY - 10, 68, 88, 40));
    // Neck, from under the chin to the shoulders.
    addPolygon(list, packet, points({{-30, 60}, {30, 60}, {36, 125}, {-36, 125}}));
    // Shoulders and chest, down to the bottom of the template.
    addPolygon(list, packet,
               points({{-36, 110}, {36, 110}, {95, 125}, {135, 150}, {155, 190}, {165, 240}, {170, kBottom - kCentreY},
                       {-170, kBottom - kCentreY}, {-165, 240}, {-155, 190}, {-135, 150}, {-95, 125}}));

    const std::vector<std::uint8_t> records = VectWmfWrite(nullptr, "", &packet);
    if (records.empty()) {
        std::fprintf(stderr, "the template could not be recorded\n");
        return 1;
    }
    // The placeable header with the template's own L, T, R and bottom.
    const std::int16_t words[10] = {static_cast<std::int16_t>(0xCDD7), static_cast<std::int16_t>(0x9AC6), 0,
                                    kCentreX, kCentreY, kFaceWidth, kBottom, 1440, 0, 0};
    std::uint16_t sum = 0;
    for (std::int16_t w : words) sum ^= static_cast<std::uint16_t>(w);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    for (std::int16_t w : words) out.put(static_cast<char>(w & 0xFF)).put(static_cast<char>((w >> 8) & 0xFF));
    out.put(static_cast<char>(sum & 0xFF)).put(static_cast<char>(sum >> 8));
    out.write(reinterpret_cast<const char*>(records.data()), static_cast<std::streamsize>(records.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s cannot be written\n", argv[1]);
        return 1;
    }
    return 0;
}
