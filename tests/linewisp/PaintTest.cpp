// Painting: index colours and hit testing, parent finding, background boxes,
// outlines, zoom, the relative coordinates of mode 3, and the palette.
#include "LinewispTestSupport.h"

#include <gtest/gtest.h>

using namespace lwtest;
using plastora::ColorRef;
using plastora::RGB;
using plastora::Surface;

namespace {

ColorRef at(const Surface& s, int x, int y) { return s.getPixel(x, y); }

Surface whiteSurface(int w, int h) {
    Surface s;
    EXPECT_TRUE(s.create(w, h));
    blit(s, plastora::Rop::Whiteness);
    return s;
}

}  // namespace

TEST(VectPaint, IndexColoursEncodeEachObjectAndReadBack) {
    Picture p;
    // 300 one-pixel-apart squares on a 20-wide grid; object i covers
    // (x, y) to (x + 4, y + 4) with x = ((i - 1) % 20) * 5, y = ((i - 1) / 20) * 5.
    for (int i = 1; i <= 300; ++i) {
        const int x = ((i - 1) % 20) * 5, y = ((i - 1) / 20) * 5;
        add(p, shape(kVectPolygon, RGB(9, 9, 9), kVectNoColor, {{x, y}, {x + 4, y}, {x + 4, y + 4}, {x, y + 4}}));
    }
    p.packet.zoom = 100;
    Surface* s = VectCreateSourceSurface(&p.packet, 100, 80);
    ASSERT_NE(s, nullptr);
    const VectDC dc{s, 96, 96};
    ASSERT_NE(VectVectPaint(&dc, &p.packet, 2), 0);

    // Object 300 sits at (95, 70): red 0xC0, green 0x20, blue 0x10.
    EXPECT_EQ(at(*s, 96, 71), RGB(0xC0, 0x20, 0x10));
    EXPECT_EQ(VectGetIndex({96, 71}, &p.packet), 300);
    EXPECT_EQ(VectGetIndex({1, 1}, &p.packet), 1);
    EXPECT_EQ(VectGetIndex({26, 6}, &p.packet), 26);
    // Between objects the cleared black area reads as no object; outside the
    // surface nothing is found.
    EXPECT_EQ(VectGetIndex({99, 79}, &p.packet), 0);
    EXPECT_EQ(VectGetIndex({100, 0}, &p.packet), 0);
    EXPECT_EQ(VectGetIndex({-1, 5}, &p.packet), 0);
}

TEST(VectPaint, IndexPaintingFindsTheObjectEachOneLiesOn) {
    Picture p;
    add(p, shape(kVectPolygon, 1, kVectNoColor, {{0, 0}, {80, 0}, {80, 80}, {0, 80}}));     // 1
    add(p, shape(kVectPolygon, 1, kVectNoColor, {{10, 10}, {60, 10}, {60, 60}, {10, 60}})); // 2 on 1
    add(p, shape(kVectPolygon, 1, kVectNoColor, {{20, 20}, {40, 20}, {40, 40}, {20, 40}})); // 3 on 2
    add(p, shape(kVectPolygon, 1, kVectNoColor, {{100, 0}, {120, 0}, {120, 20}, {100, 20}})); // 4 alone
    add(p, shape(kVectEllipse, 1, kVectNoColor, {{65, 30}, {75, 40}}));                     // 5 on 1
    p.packet.zoom = 100;
    Surface* s = VectCreateSourceSurface(&p.packet, 130, 90);
    ASSERT_NE(s, nullptr);
    const VectDC dc{s, 96, 96};
    ASSERT_NE(VectVectPaint(&dc, &p.packet, 2), 0);
    EXPECT_EQ(p.at(0).parent, 0);
    EXPECT_EQ(p.at(1).parent, 1);
    EXPECT_EQ(p.at(2).parent, 2);
    EXPECT_EQ(p.at(3).parent, 0);
    EXPECT_EQ(p.at(4).parent, 1);
}

TEST(VectPaint, BackgroundBoxOfModeOneReachesEightPixelsBeyondThePicture) {
    Picture p;
    add(p, shape(kVectPolygon, RGB(0, 0, 255), kVectNoColor, {{10, 10}, {50, 10}, {50, 30}, {10, 30}}));
    p.packet.zoom = 100;
    p.packet.bkColor = static_cast<std::int32_t>(RGB(0, 200, 0));
    p.packet.flags = kVectFlagBackground;
    Surface s = whiteSurface(80, 60);
    const VectDC dc{&s, 96, 96};
    ASSERT_NE(VectVectPaint(&dc, &p.packet, 1), 0);
    EXPECT_EQ(at(s, 0, 0), RGB(0, 200, 0));
    EXPECT_EQ(at(s, 57, 37), RGB(0, 200, 0));  // right 50 + 8, bottom 30 + 8, exclusive
    EXPECT_EQ(at(s, 58, 20), RGB(255, 255, 255));
    EXPECT_EQ(at(s, 20, 38), RGB(255, 255, 255));
    EXPECT_EQ(at(s, 30, 20), RGB(0, 0, 255));

    // Without the flag nothing but the objects is painted.
    Surface plain = whiteSurface(80, 60);
    p.packet.flags = 0;
    const VectDC dc2{&plain, 96, 96};
    ASSERT_NE(VectVectPaint(&dc2, &p.packet, 1), 0);
    EXPECT_EQ(at(plain, 0, 0), RGB(255, 255, 255));
}

TEST(VectPaint, NullPenLeavesNoOutlineAndHiddenObjectsAreNotDrawn) {
    const ColorRef fill = RGB(200, 0, 0), pen = RGB(0, 0, 0);
    for (const bool outlined : {false, true}) {
        Picture p;
        add(p, shape(kVectPolygon, static_cast<std::int32_t>(fill), outlined ? static_cast<std::int32_t>(pen) : kVectNoColor,
                     {{10, 10}, {40, 10}, {40, 40}, {10, 40}}));
        add(p, shape(kVectPolygon, kVectNoColor, static_cast<std::int32_t>(pen), {{50, 10}, {70, 10}, {70, 30}}));
        p.packet.zoom = 100;
        Surface s = whiteSurface(80, 50);
        const VectDC dc{&s, 96, 96};
        ASSERT_NE(VectVectPaint(&dc, &p.packet, 1), 0);
        int outline = 0, filled = 0;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 80; ++x) {
                outline += at(s, x, y) == pen;
                filled += at(s, x, y) == fill;
            }
        EXPECT_GT(filled, 600) << outlined;
        if (outlined)
            EXPECT_GE(outline, 100);  // four sides of about 30 pixels
        else
            EXPECT_EQ(outline, 0);    // neither an outline nor the hidden triangle
        EXPECT_EQ(at(s, 60, 15), RGB(255, 255, 255));
    }
}

TEST(VectPaint, ZoomScalesAndModeThreeWorksRelativeToTheExtent) {
    Picture p;
    add(p, shape(kVectRectangle, RGB(0, 0, 255), kVectNoColor, {{20, 30}, {40, 50}}));
    auto child = shape(kVectRectangle, RGB(255, 0, 0), kVectNoColor, {{25, 35}, {30, 40}});
    child->parent = 1;
    add(p, std::move(child));
    p.packet.zoom = 200;
    Surface s = whiteSurface(100, 110);
    const VectDC dc{&s, 96, 96};
    ASSERT_NE(VectVectPaint(&dc, &p.packet, 1), 0);
    EXPECT_EQ(at(s, 40, 60), RGB(0, 0, 255));
    EXPECT_EQ(at(s, 79, 99), RGB(0, 0, 255));
    EXPECT_EQ(at(s, 80, 100), RGB(255, 255, 255));
    EXPECT_EQ(at(s, 39, 59), RGB(255, 255, 255));
    EXPECT_EQ(at(s, 55, 75), RGB(255, 0, 0));

    // Mode 3: zoom 100, moved to the extent's top-left; children left out
    // with the flag; the background box surrounds the objects by 8.
    Surface rel = whiteSurface(60, 60);
    p.packet.flags = kVectFlagSkipChildren | kVectFlagBackground;
    p.packet.bkColor = static_cast<std::int32_t>(RGB(0, 100, 0));
    const VectDC dc3{&rel, 96, 96};
    ASSERT_NE(VectVectPaint(&dc3, &p.packet, 3), 0);
    EXPECT_EQ(at(rel, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(at(rel, 7, 7), RGB(0, 0, 255));  // where the child would be
    EXPECT_EQ(at(rel, 25, 15), RGB(0, 100, 0));
    EXPECT_EQ(at(rel, 28, 28), RGB(255, 255, 255));

    // With the absolute flag coordinates stay where they are.
    Surface abs = whiteSurface(60, 60);
    p.packet.flags = kVectFlagAbsolute;
    const VectDC dcA{&abs, 96, 96};
    ASSERT_NE(VectVectPaint(&dcA, &p.packet, 3), 0);
    EXPECT_EQ(at(abs, 20, 30), RGB(0, 0, 255));
    EXPECT_EQ(at(abs, 26, 36), RGB(255, 0, 0));
    EXPECT_EQ(at(abs, 19, 29), RGB(255, 255, 255));
}

TEST(VectPaint, ArcsRunCounterClockwiseFromStartToEnd) {
    Picture p;
    // A pie over the quarter from 3 o'clock to 12 o'clock of a circle.
    auto pie = shape(kVectPie, RGB(0, 0, 200), kVectNoColor, {{0, 0}, {40, 40}, {40, 20}, {20, 0}});
    add(p, std::move(pie));
    p.packet.zoom = 100;
    Surface s = whiteSurface(50, 50);
    const VectDC dc{&s, 96, 96};
    ASSERT_NE(VectVectPaint(&dc, &p.packet, 1), 0);
    EXPECT_EQ(at(s, 28, 12), RGB(0, 0, 200));   // top right
    EXPECT_EQ(at(s, 12, 12), RGB(255, 255, 255));
    EXPECT_EQ(at(s, 12, 28), RGB(255, 255, 255));
    EXPECT_EQ(at(s, 28, 28), RGB(255, 255, 255));
}

TEST(VectPaint, TextStaysInsideItsBox) {
    Picture p;
    std::string data(32, '\0');
    data.replace(0, 11, "DejaVu Sans");
    data += "MMMMMMMMMMMM";
    const plastora::Rect box{10, 10, 60, 40};
    VectAddText(&p.packet, &box, -24, 700, RGB(0, 0, 0), static_cast<short>(data.size()), data.data());
    ASSERT_EQ(p.list.size(), 1u);
    p.packet.zoom = 100;
    Surface s = whiteSurface(200, 60);
    const VectDC dc{&s, 96, 96};
    ASSERT_NE(VectVectPaint(&dc, &p.packet, 1), 0);
    int inside = 0, outside = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x) {
            if (at(s, x, y) != RGB(0, 0, 0)) continue;
            (x >= 10 && x < 60 && y >= 10 && y < 40 ? inside : outside)++;
        }
    EXPECT_GT(inside, 50);
    EXPECT_EQ(outside, 0);
}

TEST(VectPalette, BackgroundFirstThenEachVisibleFillColourOnce) {
    Picture p;
    p.packet.bkColor = static_cast<std::int32_t>(RGB(1, 2, 3));
    add(p, shape(kVectPolygon, RGB(255, 0, 0), 0, {{0, 0}, {1, 1}}));
    add(p, shape(kVectPolygon, RGB(0, 255, 0), 0, {{0, 0}, {1, 1}}));
    add(p, shape(kVectPolygon, RGB(255, 0, 0), 0, {{0, 0}, {1, 1}}));
    add(p, shape(kVectPolygon, kVectNoColor, 0, {{0, 0}, {1, 1}}));
    add(p, shape(kVectPolygon, RGB(0x10, 0x20, 0x30), 0, {{0, 0}, {1, 1}}));
    std::uint32_t colours[256] = {};
    ASSERT_EQ(VectGetPalette(&p.packet, colours), 4);
    EXPECT_EQ(colours[0], 0x010203u);
    EXPECT_EQ(colours[1], 0xFF0000u);
    EXPECT_EQ(colours[2], 0x00FF00u);
    EXPECT_EQ(colours[3], 0x102030u);

    // At most 256 entries, however many colours there are.
    Picture many;
    for (int i = 0; i < 400; ++i) add(many, shape(kVectPolygon, i + 1, 0, {{0, 0}}));
    EXPECT_EQ(VectGetPalette(&many.packet, colours), 256);
}

// A few kilobytes of drawing can ask the painter for minutes: a zigzag
// polygon whose every edge crosses every row (the rows' edges are sorted as
// they are filled), or thousands of shapes each covering the picture. Such
// drawings are refused at once; the same shapes in a sensible number paint.
TEST(VectPaint, DrawingsThatWouldTakeMinutesAreRefused) {
    Surface s = whiteSurface(2000, 2000);
    const VectDC dc{&s, 96, 96};
    const auto zigzag = [](int points) {
        auto o = shape(kVectPolygon, RGB(200, 0, 0), kVectNoColor, {});
        std::vector<std::uint32_t> units;
        for (int k = 0; k < points; ++k) units.push_back(VectObject::packPoint(k * 1999 / points, k % 2 ? 1999 : 0));
        o->setUnits(std::move(units));
        o->left = 0, o->top = 0, o->right = 1999, o->bottom = 1999;
        return o;
    };
    Picture busy;
    add(busy, zigzag(3000));
    busy.packet.zoom = 100;
    EXPECT_EQ(VectVectPaint(&dc, &busy.packet, 1), 0);
    Picture plain;
    add(plain, zigzag(100));
    plain.packet.zoom = 100;
    EXPECT_NE(VectVectPaint(&dc, &plain.packet, 1), 0);
    EXPECT_EQ(at(s, 1000, 1000), RGB(200, 0, 0));

    Picture layers;
    for (int i = 0; i < 5000; ++i) add(layers, shape(kVectEllipse, RGB(0, 0, 200), kVectNoColor, {{0, 0}, {1999, 1999}}));
    layers.packet.zoom = 100;
    EXPECT_EQ(VectVectPaint(&dc, &layers.packet, 1), 0);
    // A hundred such layers are a busy drawing, not an attack: painted.
    Picture some;
    for (int i = 0; i < 100; ++i) add(some, shape(kVectRectangle, RGB(0, 0, 200), kVectNoColor, {{0, 0}, {1999, 1999}}));
    some.packet.zoom = 100;
    EXPECT_NE(VectVectPaint(&dc, &some.packet, 1), 0);

    // Thousands of small dots, stored as the reader stores a box (its two
    // corners, then two zero points), cost their own boxes only.
    Picture dots;
    for (int i = 0; i < 6000; ++i) {
        const int x = 1800 + i % 10 * 18, y = 1800 + i / 10 % 10 * 18;
        add(dots, shape(kVectEllipse, RGB(0, 150, 0), kVectNoColor, {{x, y}, {x + 16, y + 16}, {0, 0}, {0, 0}}));
    }
    dots.packet.zoom = 100;
    EXPECT_NE(VectVectPaint(&dc, &dots.packet, 1), 0);
    EXPECT_EQ(at(s, 1808, 1808), RGB(0, 150, 0));
}
