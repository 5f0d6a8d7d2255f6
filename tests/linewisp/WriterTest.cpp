// The metafile and SWF writers, checked by reading their output back: the
// metafile with our reader and with libwmf, the SWF with a small reader here.
#include "LinewispTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace lwtest;
using plastora::Point;
using plastora::RGB;

namespace {

std::vector<std::uint8_t> slurp(const std::string& f) {
    std::ifstream in(f, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

unsigned u16(const std::vector<std::uint8_t>& b, std::size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
int i16(const std::vector<std::uint8_t>& b, std::size_t at) { return static_cast<std::int16_t>(u16(b, at)); }
std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) { return u16(b, at) | (u16(b, at + 2) << 16); }

// A picture of a polygon, a null-pen ellipse and a hollow rectangle.
void fill(Picture& p) {
    add(p, shape(kVectPolygon, RGB(200, 0, 0), RGB(0, 0, 0), {{30, 40}, {130, 40}, {80, 120}}));
    add(p, shape(kVectEllipse, RGB(0, 0, 200), kVectNoColor, {{140, 50}, {190, 90}}));
    auto frame = shape(kVectRectangle, RGB(0, 150, 0), RGB(0, 150, 0), {{35, 100}, {70, 130}});
    frame->brushCode = kVectHollowBrush;
    add(p, std::move(frame));
    p.packet.zoom = 6;
    p.packet.bkColor = static_cast<std::int32_t>(RGB(250, 240, 230));
}

bool haveTool(const char* name) {
    const std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// ---- A small SWF reader -------------------------------------------------

struct Bits {
    const std::vector<std::uint8_t>& b;
    std::size_t byte;
    int bit = 0;
    std::uint32_t ub(int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            v = (v << 1) | ((b.at(byte) >> (7 - bit)) & 1);
            if (++bit == 8) bit = 0, ++byte;
        }
        return v;
    }
    std::int32_t sb(int n) {
        const std::uint32_t v = ub(n);
        return n > 0 && (v >> (n - 1)) ? static_cast<std::int32_t>(v | (~0u << n)) : static_cast<std::int32_t>(v);
    }
    void align() {
        if (bit) bit = 0, ++byte;
    }
};

struct Tag {
    unsigned code;
    std::vector<std::uint8_t> body;
};

std::vector<Tag> tags(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t end) {
    std::vector<Tag> out;
    while (at < end) {
        const unsigned head = u16(b, at);
        at += 2;
        std::size_t len = head & 0x3F;
        if (len == 0x3F) len = u32(b, at), at += 4;
        out.push_back({head >> 6, std::vector<std::uint8_t>(b.begin() + at, b.begin() + at + len)});
        at += len;
        if (out.back().code == 0) break;
    }
    return out;
}

struct Shape {
    unsigned id;
    bool filled;
    int lineWidth;
    std::uint32_t fillRgb;
    std::vector<Point> path;  // in twips
};

Shape readShape(const std::vector<std::uint8_t>& body) {
    Shape s{};
    s.id = u16(body, 0);
    Bits r{body, 2};
    const int nb = static_cast<int>(r.ub(5));
    for (int i = 0; i < 4; ++i) r.sb(nb);
    r.align();
    std::size_t at = r.byte;
    const unsigned fills = body.at(at++);
    s.filled = fills > 0;
    for (unsigned i = 0; i < fills; ++i) {
        EXPECT_EQ(body.at(at), 0);  // solid
        s.fillRgb = (body.at(at + 1) << 16) | (body.at(at + 2) << 8) | body.at(at + 3);
        EXPECT_EQ(body.at(at + 4), 255);
        at += 5;
    }
    const unsigned lines = body.at(at++);
    EXPECT_EQ(lines, 1u);
    s.lineWidth = static_cast<int>(u16(body, at));
    at += 2 + 4;
    Bits e{body, at};
    const int fillBits = static_cast<int>(e.ub(4)), lineBits = static_cast<int>(e.ub(4));
    Point cur;
    for (;;) {
        if (e.ub(1) == 0) {
            const unsigned flags = e.ub(5);
            if (flags == 0) break;
            if (flags & 1) {
                const int mb = static_cast<int>(e.ub(5));
                cur = {e.sb(mb), e.sb(mb)};
                s.path.push_back(cur);
            }
            if (flags & 2) e.ub(fillBits);
            if (flags & 4) e.ub(fillBits);
            if (flags & 8) e.ub(lineBits);
        } else {
            EXPECT_EQ(e.ub(1), 1u);  // straight edges only
            const int n = static_cast<int>(e.ub(4)) + 2;
            if (e.ub(1)) {
                cur.x += e.sb(n);
                cur.y += e.sb(n);
            } else if (e.ub(1)) {
                cur.y += e.sb(n);
            } else {
                cur.x += e.sb(n);
            }
            s.path.push_back(cur);
        }
    }
    return s;
}

}  // namespace

TEST(VectWmfWrite, PlaceableHeaderAndChecksum) {
    plastora::test::TempDir dir;
    Picture p;
    fill(p);
    p.packet.headerLeft = 5;
    p.packet.headerTop = 7;
    const VectDC screen{nullptr, 96, 96};
    const std::string name = dir.file("out.wmf");
    const auto records = VectWmfWrite(&screen, name.c_str(), &p.packet);
    ASSERT_FALSE(records.empty());
    const auto file = slurp(name);
    ASSERT_EQ(file.size(), 22 + records.size());
    EXPECT_TRUE(std::equal(records.begin(), records.end(), file.begin() + 22));

    EXPECT_EQ(u32(file, 0), 0x9AC6CDD7u);
    EXPECT_EQ(u16(file, 4), 0u);
    // Extent (30, 40)-(190, 130): width 190 - 30 - 1, height 130 - 40 - 1.
    EXPECT_EQ(i16(file, 6), 5);
    EXPECT_EQ(i16(file, 8), 7);
    EXPECT_EQ(i16(file, 10), 159 + 5 - 1);
    EXPECT_EQ(i16(file, 12), 89 + 7 - 1);
    EXPECT_EQ(u16(file, 14), 96u * 100 / 6);
    EXPECT_EQ(u32(file, 16), 0u);
    unsigned sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= u16(file, static_cast<std::size_t>(i) * 2);
    EXPECT_EQ(u16(file, 20), sum);
    // The standard header counts the words of the whole metafile.
    EXPECT_EQ(u32(records, 6) * 2, records.size());

    // An empty name gives the memory metafile only, and writes nothing.
    const auto memory = VectWmfWrite(&screen, "", &p.packet);
    ASSERT_GE(memory.size(), 18u);
    EXPECT_EQ(u16(memory, 0), 1u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(VectWmfWrite, ReadsBackAsTheSamePicture) {
    plastora::test::TempDir dir;
    Picture p;
    fill(p);
    p.packet.flags = kVectFlagBackground;
    const auto memory = VectWmfWrite(nullptr, "", &p.packet);

    Picture back;
    ASSERT_EQ(back.read(memory), 3);
    // The background rectangle, left of and above the origin, comes back as
    // the background colour.
    EXPECT_EQ(back.packet.bkColor, p.packet.bkColor);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back.at(i).kind, p.at(i).kind) << i;
        EXPECT_EQ(back.at(i).fillColor, p.at(i).fillColor) << i;
        EXPECT_EQ(back.at(i).penColor, p.at(i).penColor) << i;
    }
    EXPECT_EQ(back.at(2).brushCode, kVectHollowBrush);
    // Coordinates relative to the extent's top-left.
    EXPECT_EQ(back.point(0, 1), (Point{100, 0}));
    EXPECT_EQ(back.point(1, 0), (Point{110, 10}));
    EXPECT_EQ(back.point(1, 1), (Point{160, 50}));

    // In the placeable file the bounding box is the picture's own, so the
    // background rectangle around it stays a rectangle of that colour.
    const std::string name = dir.file("round.wmf");
    ASSERT_FALSE(VectWmfWrite(nullptr, name.c_str(), &p.packet).empty());
    Picture file;
    ASSERT_EQ(VectWmfRead(nullptr, name.c_str(), &file.packet), 4);
    EXPECT_EQ(file.at(0).kind, kVectRectangle);
    EXPECT_EQ(file.at(0).fillColor, p.packet.bkColor);
    EXPECT_EQ(file.at(3).brushCode, kVectHollowBrush);
}

TEST(VectWmfWrite, LibwmfReadsWhatWeWrite) {
    if (!haveTool("wmf2svg")) GTEST_SKIP() << "wmf2svg (libwmf-bin) is not installed";
    plastora::test::TempDir dir;
    Picture p;
    fill(p);
    std::string face(32, '\0');
    face.replace(0, 11, "DejaVu Sans");
    face += "Linewisp";
    const plastora::Rect box{40, 5, 150, 30};
    VectAddText(&p.packet, &box, -20, 400, RGB(0, 0, 0), static_cast<short>(face.size()), face.data());
    const std::string wmf = dir.file("ours.wmf"), svg = dir.file("ours.svg");
    ASSERT_FALSE(VectWmfWrite(nullptr, wmf.c_str(), &p.packet).empty());
    const std::string cmd = "wmf2svg -o '" + svg + "' '" + wmf + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const auto bytes = slurp(svg);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("<polygon"), std::string::npos);
    EXPECT_NE(text.find("<ellipse"), std::string::npos);
    EXPECT_NE(text.find("Linewisp"), std::string::npos);
    // libwmf names the colours it knows: the ellipse's (0, 0, 200) is
    // "mediumblue"; the triangle's (200, 0, 0) is its own.
    EXPECT_NE(text.find("mediumblue"), std::string::npos);
}

TEST(VectWmfWrite, UnwritablePlacesAndPacketsWithoutListFail) {
    plastora::test::TempDir dir;
    Picture p;
    fill(p);
    EXPECT_TRUE(VectWmfWrite(nullptr, (dir.file("missing") + "/x.wmf").c_str(), &p.packet).empty());
    VectPacket noList{};
    EXPECT_TRUE(VectWmfWrite(nullptr, "", &noList).empty());
}

TEST(VectSwfWrite, HeaderAndTagStream) {
    plastora::test::TempDir dir;
    Picture p;
    add(p, shape(kVectPolygon, RGB(200, 0, 0), RGB(0, 0, 0), {{30, 40}, {130, 40}, {80, 120}}));
    add(p, shape(kVectPolyline, RGB(0, 0, 0), RGB(0, 0, 255), {{30, 40}, {30, 40}, {60, 40}, {60, 90}}));
    add(p, shape(kVectPolygon, kVectNoColor, 0, {{40, 50}, {41, 51}, {42, 50}}));  // hidden: left out
    auto pp = std::make_unique<VectObject>(*shape(kVectPolygon, RGB(0, 200, 0), kVectNoColor, {}));
    pp->kind = kVectPolyPolygon;
    pp->setUnits({2, 3, 3, VectObject::packPoint(30, 40), VectObject::packPoint(40, 40), VectObject::packPoint(30, 50),
                  VectObject::packPoint(50, 60), VectObject::packPoint(60, 60), VectObject::packPoint(50, 70)});
    pp->left = 30, pp->top = 40, pp->right = 60, pp->bottom = 70;
    add(p, std::move(pp));
    p.packet.zoom = 100;
    p.packet.bkColor = static_cast<std::int32_t>(RGB(1, 2, 3));

    const std::string name = dir.file("out.swf");
    std::vector<std::string> messages;
    ASSERT_EQ(VectSwfWrite(name.c_str(), &p.packet, &messages), 1);
    EXPECT_TRUE(messages.empty());
    const auto b = slurp(name);
    ASSERT_GT(b.size(), 21u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 3), "FWS");
    EXPECT_EQ(b[3], 4);
    EXPECT_EQ(u32(b, 4), b.size());
    Bits r{b, 8};
    ASSERT_EQ(r.ub(5), 15u);
    EXPECT_EQ(r.sb(15), 0);
    EXPECT_EQ(r.sb(15), 20 * (130 + 8));
    EXPECT_EQ(r.sb(15), 0);
    EXPECT_EQ(r.sb(15), 20 * (120 + 8));
    r.align();
    ASSERT_EQ(r.byte, 17u);  // a 21-byte header
    EXPECT_EQ(b[17], 0);
    EXPECT_EQ(b[18], 12);
    EXPECT_EQ(u16(b, 19), 1u);

    const auto t = tags(b, 21, b.size());
    // Background; per written object shape(s), sprite, placement; frame; end.
    std::vector<unsigned> codes;
    for (const auto& tag : t) codes.push_back(tag.code);
    EXPECT_EQ(codes, (std::vector<unsigned>{9, 32, 39, 26, 32, 39, 26, 32, 32, 39, 26, 1, 0}));
    EXPECT_EQ(t[0].body, (std::vector<std::uint8_t>{1, 2, 3}));

    // The triangle: filled red, a line of 20 twips, the path relative to the
    // extent's top-left (30, 40) and closed.
    const Shape tri = readShape(t[1].body);
    EXPECT_TRUE(tri.filled);
    EXPECT_EQ(tri.fillRgb, 0xC80000u);
    EXPECT_EQ(tri.lineWidth, 20);
    EXPECT_EQ(tri.path, (std::vector<Point>{{0, 0}, {2000, 0}, {1000, 1600}, {0, 0}}));
    // The polyline: no fill, no closing edge, the repeated point left out.
    const Shape line = readShape(t[4].body);
    EXPECT_FALSE(line.filled);
    EXPECT_EQ(line.path, (std::vector<Point>{{0, 0}, {600, 0}, {600, 1000}}));
    // A null pen gives a line width of 0.
    EXPECT_EQ(readShape(t[7].body).lineWidth, 0);
    EXPECT_EQ(readShape(t[8].body).path.front(), (Point{400, 400}));

    // Sprites hold placements of their shapes; the main timeline places each
    // sprite at the object's position j under the name Sketchmoor(j + 1).
    const auto sprite = tags(t[2].body, 4, t[2].body.size());
    ASSERT_EQ(sprite.size(), 3u);
    EXPECT_EQ(sprite[0].code, 26u);
    EXPECT_EQ(u16(sprite[0].body, 3), readShape(t[1].body).id);
    EXPECT_EQ(sprite[1].code, 1u);
    const unsigned expectDepth[] = {1, 2, 4};
    const char* expectName[] = {"Sketchmoor0002", "Sketchmoor0003", "Sketchmoor0005"};
    for (int k = 0; k < 3; ++k) {
        const auto& place = t[3 + static_cast<std::size_t>(k) * 3 + (k == 2 ? 1 : 0)].body;
        EXPECT_EQ(place[0], 0x26);
        EXPECT_EQ(u16(place, 1), expectDepth[k]);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(place.data()) + 6), expectName[k]);
    }
}

TEST(VectSwfWrite, UnsupportedKindsAreReportedAndLeftOut) {
    plastora::test::TempDir dir;
    Picture p;
    add(p, shape(kVectEllipse, RGB(1, 1, 1), 0, {{0, 0}, {10, 10}}));
    add(p, shape(kVectRectangle, RGB(1, 1, 1), 0, {{0, 0}, {10, 10}}));
    std::vector<std::string> messages;
    EXPECT_EQ(VectSwfWrite(dir.file("none.swf").c_str(), &p.packet, &messages), 0);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "サポートされていないポリゴン形式が含まれています。一部のポリゴンが出力されません。");

    add(p, shape(kVectPolygon, RGB(1, 1, 1), 0, {{0, 0}, {10, 0}, {5, 5}}));
    messages.clear();
    EXPECT_EQ(VectSwfWrite(dir.file("some.swf").c_str(), &p.packet, &messages), 1);
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(VectSwfWrite((dir.file("missing") + "/x.swf").c_str(), &p.packet, nullptr), kVectErrFile);
}

// More shapes than 16-bit character ids can tell apart: refused, with the
// existing file left as it was, instead of a movie placing the wrong shapes.
TEST(VectSwfWrite, MoreShapesThanIdsAreRefused) {
    plastora::test::TempDir dir;
    Picture p;
    // Three objects of 30000 one-point members each (an object holds at most
    // 65535 units).
    for (int k = 0; k < 3; ++k) {
        auto pp = std::make_unique<VectObject>(*shape(kVectPolygon, RGB(0, 200, 0), kVectNoColor, {}));
        pp->kind = kVectPolyPolygon;
        const std::uint32_t members = 30000;
        std::vector<std::uint32_t> units{members};
        units.insert(units.end(), members, 1);
        units.insert(units.end(), members, VectObject::packPoint(5, 5));
        ASSERT_TRUE(pp->setUnits(units));
        pp->left = pp->top = 5, pp->right = pp->bottom = 6;
        add(p, std::move(pp));
    }
    const std::string name = dir.file("many.swf");
    { std::ofstream(name) << "kept"; }
    EXPECT_EQ(VectSwfWrite(name.c_str(), &p.packet, nullptr), kVectErrLimit);
    EXPECT_EQ(slurp(name).size(), 4u);
}

TEST(VectSwfWrite, LargePicturesWidenTheFrameFieldsAndSplitLongEdges) {
    plastora::test::TempDir dir;
    Picture p;
    add(p, shape(kVectPolygon, RGB(1, 1, 1), 0, {{0, 0}, {3000, 0}, {0, 2000}}));
    p.packet.zoom = 200;  // 40 twips a unit: an edge of 120000 twips
    ASSERT_EQ(VectSwfWrite(dir.file("big.swf").c_str(), &p.packet), 1);
    const auto b = slurp(dir.file("big.swf"));
    Bits r{b, 8};
    const int n = static_cast<int>(r.ub(5));
    EXPECT_GT(n, 15);
    EXPECT_EQ(r.sb(n), 0);
    EXPECT_EQ(r.sb(n), 40 * 3008);
    EXPECT_EQ(r.sb(n), 0);
    EXPECT_EQ(r.sb(n), 40 * 2008);
    r.align();
    EXPECT_EQ(u32(b, 4), b.size());
    const auto t = tags(b, r.byte + 4, b.size());
    const Shape s = readShape(t[1].body);
    EXPECT_GT(s.path.size(), 4u);
    EXPECT_NE(std::find(s.path.begin(), s.path.end(), Point{120000, 0}), s.path.end());
    EXPECT_NE(std::find(s.path.begin(), s.path.end(), Point{0, 80000}), s.path.end());
    EXPECT_EQ(s.path.back(), (Point{0, 0}));
}
