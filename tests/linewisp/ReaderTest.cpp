// Reading metafiles: zoom, origin, background rectangle, object slots,
// brushes, fonts and text, limits, and damaged files.
#include "LinewispTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

using namespace lwtest;
using plastora::Point;
using plastora::RGB;

namespace {

Wmf oneTriangle(Wmf w) {
    w.brush(0, RGB(1, 2, 3)).select(0).polygon({{10, 10}, {50, 10}, {30, 40}});
    return w;
}

}  // namespace

TEST(WmfRead, ZoomComesFromTheResolutionAndUnitsPerInch) {
    const auto file = oneTriangle(Wmf::placeable(0, 0, 100, 100, 1440)).bytes();
    const VectDC screen{nullptr, 96, 96};
    Picture withDc, withoutDc;
    EXPECT_EQ(withDc.read(file, &screen), 1);
    EXPECT_EQ(withDc.packet.zoom, 6);  // 96 x 100 / 1440, truncated
    EXPECT_EQ(withoutDc.read(file), 1);
    EXPECT_EQ(withoutDc.packet.zoom, 100);

    // A header without units per inch cannot divide: it reads at 100%.
    Picture noInch;
    EXPECT_EQ(noInch.read(oneTriangle(Wmf::placeable(0, 0, 100, 100, 0)).bytes(), &screen), 1);
    EXPECT_EQ(noInch.packet.zoom, 100);
}

TEST(WmfRead, PointsMoveByTheOriginAndNegativesBecomeZero) {
    Picture p;
    auto w = Wmf::placeable(100, 200, 400, 500, 1440);
    w.brush(0, 0).select(0).polygon({{150, 260}, {90, 300}, {400, 190}});
    ASSERT_EQ(p.read(w.bytes()), 1);
    EXPECT_EQ(p.point(0, 0), (Point{50, 60}));
    EXPECT_EQ(p.point(0, 1), (Point{0, 100}));
    EXPECT_EQ(p.point(0, 2), (Point{300, 0}));
    EXPECT_EQ(p.at(0).right, 300);
    EXPECT_EQ(p.at(0).bottom, 100);
    EXPECT_EQ(p.packet.left, 0);
    EXPECT_EQ(p.packet.right, 300);

    // A window origin at the bounding box's bottom turns the y axis round.
    Picture up;
    auto f = Wmf::placeable(0, 0, 100, 80, 1440);
    f.windowOrg(10, 80).brush(0, 0).select(0).polygon({{20, 70}, {30, 0}, {40, 80}});
    ASSERT_EQ(up.read(f.bytes()), 1);
    EXPECT_EQ(up.point(0, 0), (Point{10, 10}));
    EXPECT_EQ(up.point(0, 1), (Point{20, 80}));
    EXPECT_EQ(up.point(0, 2), (Point{30, 0}));
}

TEST(WmfRead, FirstRectangleOverTheBoundingBoxIsTheBackground) {
    Picture p;
    auto w = Wmf::placeable(0, 0, 300, 200, 1440);
    w.brush(0, RGB(10, 20, 30)).select(0).rectangle(0, 0, 300, 200);
    w.brush(0, RGB(200, 0, 0)).select(1).rectangle(0, 0, 300, 200).rectangle(10, 10, 20, 20);
    ASSERT_EQ(p.read(w.bytes()), 2);
    EXPECT_EQ(static_cast<std::uint32_t>(p.packet.bkColor), RGB(10, 20, 30));
    EXPECT_EQ(p.at(0).kind, kVectRectangle);
    EXPECT_EQ(p.at(0).fillColor, static_cast<std::int32_t>(RGB(200, 0, 0)));

    // In a plain file the background starts left of and above the origin.
    Picture plain;
    auto q = Wmf::plain();
    q.brush(0, RGB(1, 1, 1)).select(0).rectangle(-5, -5, 100, 100).ellipse(-5, -5, 10, 10);
    ASSERT_EQ(plain.read(q.bytes()), 1);
    EXPECT_EQ(static_cast<std::uint32_t>(plain.packet.bkColor), RGB(1, 1, 1));
    EXPECT_EQ(plain.at(0).kind, kVectEllipse);
}

TEST(WmfRead, ObjectSlotsAreReusedLowestFirst) {
    Picture p;
    auto w = Wmf::plain();
    w.pen(0, RGB(0, 0, 255))         // slot 0
        .brush(0, RGB(0, 255, 0))    // slot 1
        .pen(5, 0)                   // slot 2: null pen
        .remove(0)
        .brush(0, RGB(255, 0, 0))    // takes slot 0 again, not 3
        .select(0)
        .select(2)
        .polygon({{0, 0}, {10, 0}, {5, 5}})
        .select(1)
        .pen(0, RGB(9, 9, 9))        // slot 3
        .select(3)
        .polygon({{0, 0}, {10, 0}, {5, 5}});
    ASSERT_EQ(p.read(w.bytes()), 2);
    EXPECT_EQ(p.at(0).fillColor, static_cast<std::int32_t>(RGB(255, 0, 0)));
    EXPECT_EQ(p.at(0).penColor, kVectNoColor);
    EXPECT_EQ(p.at(1).fillColor, static_cast<std::int32_t>(RGB(0, 255, 0)));
    EXPECT_EQ(p.at(1).penColor, static_cast<std::int32_t>(RGB(9, 9, 9)));
}

// More than 256 objects alive at once: the table grows as the file's does.
TEST(WmfRead, MoreThan256LiveObjectsAreKept) {
    Picture p;
    auto w = Wmf::plain();
    for (int i = 0; i < 300; ++i) w.brush(0, RGB(i % 256, 1, 2));
    w.select(299).polygon({{0, 0}, {10, 0}, {5, 5}}).remove(3).brush(0, RGB(7, 7, 7)).select(3).polygon(
        {{0, 0}, {10, 0}, {5, 5}});
    ASSERT_EQ(p.read(w.bytes()), 2);
    EXPECT_EQ(p.at(0).fillColor, static_cast<std::int32_t>(RGB(299 % 256, 1, 2)));
    EXPECT_EQ(p.at(1).fillColor, static_cast<std::int32_t>(RGB(7, 7, 7)));
}

TEST(WmfRead, HatchedPatternAndHollowBrushes) {
    Picture p;
    auto w = Wmf::plain();
    w.bkColor(RGB(250, 250, 250)).brush(2, RGB(0, 0, 128), 3).select(0).polygon({{0, 0}, {9, 0}, {0, 9}});
    // A monochrome pattern brush: entry 0 (blue, green, red) = (1, 0, 1),
    // entry 1 = (0, 1, 0), pattern bytes 0xA0 0xB0 0xC0 0xD0.
    std::vector<std::uint8_t> dib{3, 0, 0, 0, 40, 0, 0, 0};
    dib.resize(4 + 40, 0);
    for (std::uint8_t b : {1, 0, 1, 0, 0, 1, 0, 0, 0xA0, 0xB0, 0xC0, 0xD0}) dib.push_back(b);
    w.raw(0x0142, dib).select(1).polygon({{0, 0}, {9, 0}, {0, 9}});
    w.brush(1, RGB(7, 7, 7)).select(2).rectangle(0, 0, 5, 5);
    ASSERT_EQ(p.read(w.bytes()), 3);

    EXPECT_EQ(p.at(0).fillColor, static_cast<std::int32_t>(RGB(250, 250, 250)));
    EXPECT_EQ(p.at(0).brushCode, 4);
    EXPECT_EQ(p.at(0).secondColor, static_cast<std::int32_t>(RGB(0, 0, 128)));

    EXPECT_EQ(p.at(1).fillColor, static_cast<std::int32_t>(RGB(0, 1, 0)));
    EXPECT_EQ(p.at(1).secondColor, static_cast<std::int32_t>(RGB(1, 0, 1)));
    EXPECT_EQ(p.at(1).brushCode, 0b101010);  // red, green, blue low bits of entry 0, then of entry 1
    EXPECT_EQ(p.at(1).extra, 0xD0);

    EXPECT_EQ(p.at(2).brushCode, kVectHollowBrush);
}

TEST(WmfRead, FontsAndText) {
    Picture p;
    auto w = Wmf::placeable(100, 100, 500, 500, 1440);
    w.textColor(RGB(0, 0, 200)).font(-20, 0, 700, true, false, true, "Serif").rec(0x012D, {0});
    w.textOut(130, 140, "abc");
    w.font(30, -900, 400, false, true, false, "Mono").textOut(110, 110, "de");
    w.extTextOut(0, 0, {120, 130, 300, 160}, std::string("hi\x01there"));
    ASSERT_EQ(p.read(w.bytes()), 3);

    const VectObject& a = p.at(0);
    EXPECT_EQ(a.kind, kVectText);
    EXPECT_EQ(a.fillColor, static_cast<std::int32_t>(RGB(0, 0, 200)));
    EXPECT_EQ(a.brushCode, -20);
    EXPECT_EQ(a.extra, 700 | kVectFontItalic | kVectFontStrikeOut);
    EXPECT_EQ(a.faceName(), "Serif");
    EXPECT_EQ(a.text(), "abc");
    EXPECT_EQ((std::vector<int>{a.left, a.top, a.right, a.bottom}), (std::vector<int>{30, 40, 90, 60}));
    EXPECT_EQ(a.unitCount, (32 + 3) / 4 + 1);

    // Vertical text (negative escapement) runs downwards.
    const VectObject& b = p.at(1);
    EXPECT_EQ(b.extra, 400 | kVectFontVertical | kVectFontUnderline);
    EXPECT_EQ((std::vector<int>{b.left, b.top, b.right, b.bottom}), (std::vector<int>{10, 10, 40, 70}));

    // ExtTextOut: the clip box, the string cut at the first control byte.
    const VectObject& c = p.at(2);
    EXPECT_EQ(c.text(), "hi");
    EXPECT_EQ((std::vector<int>{c.left, c.top, c.right, c.bottom}), (std::vector<int>{20, 30, 200, 60}));
}

TEST(WmfRead, ObjectLimitStopsAtOnceAndKeepsWhatWasMade) {
    Picture p(8, 1024);
    p.packet.right = 1234;  // the extent is not stored by a failed read
    auto w = Wmf::placeable(0, 0, 100, 100, 1440);
    w.brush(0, 0).select(0);
    for (int i = 0; i < 12; ++i) w.polygon({{i, 0}, {i + 5, 0}, {i, 5}});
    EXPECT_EQ(p.read(w.bytes(), nullptr), kVectErrLimit);
    EXPECT_EQ(p.list.size(), 9u);
    EXPECT_EQ(p.packet.objectCount, 8);
    EXPECT_EQ(p.packet.right, 1234);
    EXPECT_EQ(p.packet.zoom, 0);

    Picture exact(8, 1024);
    auto e = Wmf::plain();
    e.brush(0, 0).select(0);
    for (int i = 0; i < 8; ++i) e.polygon({{i, 0}, {i + 5, 0}, {i, 5}});
    EXPECT_EQ(exact.read(e.bytes()), 8);
}

TEST(WmfRead, PointLimitCountsUnitsOfOneObject) {
    auto poly = [](int n) {
        auto w = Wmf::plain();
        std::vector<int> words{n};
        for (int i = 0; i < n; ++i) words.push_back(i), words.push_back(i % 3);
        w.brush(0, 0).select(0).words(0x0324, words);
        return w.bytes();
    };
    Picture fits(4095, 10), over(4095, 10);
    EXPECT_EQ(fits.read(poly(10)), 1);
    EXPECT_EQ(over.read(poly(11)), kVectErrLimit);
    EXPECT_TRUE(over.list.empty());

    // A poly-polygon needs a unit for its count and one per member besides
    // the points: 1 + 2 + 8 = 11 units.
    Picture pp(4095, 10);
    auto w = Wmf::plain();
    w.words(0x0538, {2, 4, 4, 0, 0, 9, 0, 9, 9, 0, 9, 2, 2, 5, 2, 5, 5, 2, 5});
    EXPECT_EQ(pp.read(w.bytes()), kVectErrLimit);
    Picture ppFits(4095, 11);
    ASSERT_EQ(ppFits.read(w.bytes()), 1);
    EXPECT_EQ(ppFits.at(0).unitCount, 11);
    EXPECT_EQ(ppFits.at(0).data[0], 2u);
    EXPECT_EQ(ppFits.at(0).data[2], 4u);
}

TEST(WmfRead, DamagedFilesAreRefusedWithoutReadingOutside) {
    const auto good = oneTriangle(Wmf::placeable(0, 0, 100, 100, 1440)).bytes();
    // Every cut of a good file: a complete read or the malformed code, and
    // the cut data lives in its own exactly-sized buffer so a sanitizer run
    // sees any read past it.
    for (std::size_t n = 0; n < good.size(); ++n) {
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        Picture p;
        const int rc = p.read(cut);
        EXPECT_TRUE(rc == kVectErrMalformed || rc == 0 || rc == 1) << "cut at " << n << " gave " << rc;
    }

    auto damaged = [](auto edit) {
        auto w = Wmf::plain();
        w.brush(0, 0).select(0).polygon({{0, 0}, {10, 0}, {5, 5}});
        auto b = w.bytes();
        edit(b);
        Picture p;
        return p.read(b);
    };
    const std::size_t polygonAt = 18 + 14 + 8;  // header, brush, select
    EXPECT_EQ(damaged([&](auto& b) { b[polygonAt] = 0; }), kVectErrMalformed);           // size 0: would loop forever
    EXPECT_EQ(damaged([&](auto& b) { b[polygonAt + 2] = 0x7F; }), kVectErrMalformed);    // runs past the end
    EXPECT_EQ(damaged([&](auto& b) { b[polygonAt + 6] = 100; }), kVectErrMalformed);     // more points than the record holds
    EXPECT_EQ(damaged([&](auto& b) { b[polygonAt + 7] = 0x80; }), kVectErrMalformed);    // negative point count

    // A pen record too short for its colour.
    Picture shortPen;
    EXPECT_EQ(shortPen.read(Wmf::plain().rec(0x02FA, {0, 1}).bytes()), kVectErrMalformed);
    // More live objects than a metafile's header can count.
    auto many = Wmf::plain();
    for (int i = 0; i < 65536; ++i) many.brush(0, 0);
    Picture full;
    EXPECT_EQ(full.read(many.bytes()), kVectErrMalformed);
    // A file far larger than any metafile is refused before it is read (the
    // file is sparse: it takes no room on the disk).
    const std::string huge = ::testing::TempDir() + "/linewisp-huge-" + std::to_string(::getpid()) + ".wmf";
    std::ofstream(huge).put('x');
    std::filesystem::resize_file(huge, std::uintmax_t{300} << 20);
    Picture big;
    EXPECT_EQ(VectWmfRead(nullptr, huge.c_str(), &big.packet), kVectErrFile);
    std::filesystem::remove(huge);
    // Selecting slots that never existed or lie beyond the table is harmless.
    Picture stray;
    EXPECT_EQ(stray.read(Wmf::plain().select(300).select(7).remove(9000).bytes()), 0);
}
