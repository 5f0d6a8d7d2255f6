// Fills, pen strokes, shapes and flood fill.
#include "platform/Surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using namespace plastora;

namespace {

Surface filled(int w, int h, Pixel p) {
    Surface s;
    EXPECT_TRUE(s.create(w, h));
    for (std::size_t i = 0; i < s.pixelCount(); ++i) s.bits()[i] = p;
    return s;
}

int countColour(const Surface& s, Pixel p) {
    int n = 0;
    for (std::size_t i = 0; i < s.pixelCount(); ++i) n += s.bits()[i] == p;
    return n;
}

// The smallest rectangle holding every pixel of colour p.
Rect boundsOf(const Surface& s, Pixel p) {
    Rect r{s.width(), s.height(), 0, 0};
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if (s.at(x, y) == p) {
                r.left = std::min(r.left, x);
                r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1);
                r.bottom = std::max(r.bottom, y + 1);
            }
    return r;
}

void expectOnlyBlackAndWhite(const Surface& s, const char* what) {
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            const Pixel p = s.at(x, y);
            ASSERT_TRUE(p == kBlack || p == kWhite) << what << " pixel " << x << "," << y << " = " << std::hex << p;
        }
}

const Pen kWhitePen1{1, RGB(255, 255, 255), false};
const Brush kWhiteBrush{RGB(255, 255, 255), false};

}  // namespace

TEST(Fill, RectangleIsClippedAndExcludesRightAndBottom) {
    Surface s = filled(10, 8, kBlack);
    fillRect(s, {-3, 2, 4, 5}, RGB(1, 2, 3));
    fillRect(s, {8, 6, 20, 20}, RGB(1, 2, 3));
    fillRect(s, {5, 5, 3, 7}, RGB(1, 2, 3));  // inverted: nothing
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool inside = (x < 4 && y >= 2 && y < 5) || (x >= 8 && y >= 6);
            ASSERT_EQ(s.at(x, y), inside ? 0xFF010203u : kBlack) << x << "," << y;
        }
}

TEST(Pen, OnePixelLinesLeaveOutTheLastPoint) {
    Surface s = filled(12, 12, kBlack);
    line(s, kWhitePen1, {2, 3}, {8, 3});
    EXPECT_EQ(countColour(s, kWhite), 6);
    EXPECT_EQ(boundsOf(s, kWhite), (Rect{2, 3, 8, 4}));

    Surface d = filled(12, 12, kBlack);
    line(d, kWhitePen1, {1, 1}, {9, 6});
    // One pixel per step along the major axis, connected, from the start.
    EXPECT_EQ(countColour(d, kWhite), 8);
    EXPECT_EQ(d.at(1, 1), kWhite);
    EXPECT_EQ(d.at(9, 6), kBlack);
}

// A pen of width w covers w pixels across a straight line, and a click
// without movement makes a round dot as wide as the pen.
TEST(Pen, WidthCoversThatManyPixels) {
    for (int w = 1; w <= 12; ++w) {
        const Pen pen{w, RGB(255, 255, 255), false};
        Surface h = filled(60, 60, kBlack);
        line(h, pen, {10, 30}, {50, 30});
        int across = 0;
        for (int y = 0; y < 60; ++y) across += h.at(30, y) == kWhite;
        EXPECT_EQ(across, w) << "horizontal, width " << w;

        Surface v = filled(60, 60, kBlack);
        line(v, pen, {30, 10}, {30, 50});
        across = 0;
        for (int x = 0; x < 60; ++x) across += v.at(x, 30) == kWhite;
        EXPECT_EQ(across, w) << "vertical, width " << w;

        Surface dot = filled(40, 40, kBlack);
        polyline(dot, pen, {{20, 20}, {20, 20}, {20, 20}});
        const Rect b = boundsOf(dot, kWhite);
        EXPECT_EQ(b.width(), w) << "dot, width " << w;
        EXPECT_EQ(b.height(), w) << "dot, width " << w;
        EXPECT_TRUE(b.left <= 20 && 20 < b.right && b.top <= 20 && 20 < b.bottom) << "dot, width " << w;
        const double area = countColour(dot, kWhite);
        const double disc = M_PI * w * w / 4;
        EXPECT_NEAR(area, disc, w + 1.0) << "dot, width " << w;
    }
}

TEST(Pen, StrokesOnAMaskStayBlackAndWhite) {
    Surface mask = filled(120, 90, kBlack);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-20, 140);
    for (int w : {1, 2, 3, 5, 8, 13, 24}) {
        const Pen pen{w, RGB(255, 255, 255), false};
        std::vector<Point> pts;
        for (int i = 0; i < 6; ++i) pts.push_back({coord(rng), coord(rng)});
        polyline(mask, pen, pts);
        const Pen black{w, 0, false};
        polyline(mask, black, {{coord(rng), coord(rng)}, {coord(rng), coord(rng)}});
        ellipse(mask, pen, kNullBrush, {coord(rng), coord(rng), coord(rng), coord(rng)});
        polygon(mask, black, kWhiteBrush,
                {{coord(rng), coord(rng)}, {coord(rng), coord(rng)}, {coord(rng), coord(rng)}});
        roundRect(mask, pen, Brush{0, false}, {coord(rng), coord(rng), coord(rng), coord(rng)}, 17, 9);
    }
    expectOnlyBlackAndWhite(mask, "after strokes");
    EXPECT_GT(countColour(mask, kWhite), 500);
    EXPECT_GT(countColour(mask, kBlack), 500);
}

TEST(Pen, InvertingPolylineTwiceRestores) {
    Surface s;
    ASSERT_TRUE(s.create(50, 40));
    std::mt19937 rng(3);
    for (std::size_t i = 0; i < s.pixelCount(); ++i) s.bits()[i] = rng() | kOpaque;
    const std::vector<Pixel> before(s.bits(), s.bits() + s.pixelCount());
    // Crossing segments, a repeated point, a closed outline and parts outside.
    const std::vector<Point> pts = {{-5, -5}, {30, 20}, {30, 20}, {5, 35}, {45, 3}, {60, 50}, {10, 10}, {-5, -5}};
    invertPolyline(s, pts);
    int changed = 0;
    for (std::size_t i = 0; i < s.pixelCount(); ++i) {
        if (s.bits()[i] != before[i]) {
            ++changed;
            ASSERT_EQ(s.bits()[i], ~before[i] | kOpaque);
        }
    }
    EXPECT_GT(changed, 60);
    invertPolyline(s, pts);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), s.bits()));
    invertPolyline(s, {{7, 7}});
    EXPECT_EQ(s.at(7, 7), ~before[7 * 50 + 7] | kOpaque);
}

TEST(Shape, RectangleOutlineAndFill) {
    const Pen pen{1, RGB(255, 0, 0), false};
    const Brush brush{RGB(0, 0, 255), false};
    const Pixel grey = 0xFF808080, red = 0xFFFF0000, blue = 0xFF0000FF;
    Surface s = filled(20, 20, grey);
    rectangle(s, pen, brush, {2, 3, 10, 8});
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 2 && x < 10 && y >= 3 && y < 8;
            const bool edge = inside && (x == 2 || x == 9 || y == 3 || y == 7);
            ASSERT_EQ(s.at(x, y), edge ? red : inside ? blue : grey) << x << "," << y;
        }

    // Without a pen the brush covers the whole rectangle; without a brush the
    // inside is untouched. Corners given in either order mean the same.
    Surface n = filled(20, 20, grey);
    rectangle(n, kNullPen, brush, {10, 8, 2, 3});
    EXPECT_EQ(boundsOf(n, blue), (Rect{2, 3, 10, 8}));
    EXPECT_EQ(countColour(n, blue), 8 * 5);
    Surface h = filled(20, 20, grey);
    rectangle(h, pen, kNullBrush, {2, 3, 10, 8});
    EXPECT_EQ(countColour(h, red), 2 * 8 + 2 * 3);
    EXPECT_EQ(h.at(5, 5), grey);
}

TEST(Shape, EllipseStaysInsideItsRectangle) {
    const Pixel grey = 0xFF808080;
    for (int w : {1, 3}) {
        Surface s = filled(40, 40, grey);
        ellipse(s, Pen{w, RGB(255, 255, 255), false}, Brush{0, false}, {5, 8, 30, 27});
        const Rect b = boundsOf(s, kWhite);
        // A pen of width w reaches (w - 1) / 2 beyond the outline.
        const int out = (w - 1) / 2;
        EXPECT_EQ(b, (Rect{5 - out, 8 - out, 30 + out, 27 + out})) << "width " << w;
        EXPECT_EQ(s.at(17, 17), kBlack);  // the brush inside
        EXPECT_EQ(s.at(5, 8), grey);      // the corners stay outside
        EXPECT_EQ(s.at(29, 26), grey);
        // Left-right and top-bottom symmetry of the outline.
        for (int y = 8; y < 27; ++y)
            for (int x = 5; x < 30; ++x) {
                ASSERT_EQ(s.at(x, y) == kWhite, s.at(34 - x, y) == kWhite) << x << "," << y;
                ASSERT_EQ(s.at(x, y) == kWhite, s.at(x, 34 - y) == kWhite) << x << "," << y;
            }
    }
    Surface hollow = filled(40, 40, grey);
    ellipse(hollow, kNullPen, Brush{RGB(255, 255, 255), false}, {5, 8, 30, 27});
    EXPECT_EQ(boundsOf(hollow, kWhite), (Rect{5, 8, 30, 27}));
    const double area = countColour(hollow, kWhite);
    EXPECT_NEAR(area, M_PI * 25 * 19 / 4, 25);
}

TEST(Shape, RoundRectCutsItsCorners) {
    const Pixel grey = 0xFF808080;
    Surface s = filled(40, 40, grey);
    roundRect(s, kWhitePen1, Brush{RGB(0, 0, 255), false}, {4, 4, 36, 30}, 12, 10);
    EXPECT_EQ(boundsOf(s, kWhite), (Rect{4, 4, 36, 30}));
    EXPECT_EQ(s.at(4, 4), grey);
    EXPECT_EQ(s.at(35, 29), grey);
    EXPECT_EQ(s.at(20, 4), kWhite);
    EXPECT_EQ(s.at(4, 17), kWhite);
    EXPECT_EQ(s.at(20, 17), 0xFF0000FFu);
}

TEST(Shape, PolygonUsesTheAlternateRule) {
    // A five-pointed star drawn in one go: the middle is crossed twice and
    // stays unfilled, the points are filled.
    Surface s = filled(100, 100, kBlack);
    std::vector<Point> star;
    for (int i = 0; i < 5; ++i) {
        const double a = -M_PI / 2 + i * 4 * M_PI / 5;
        star.push_back({50 + static_cast<int>(std::lround(45 * std::cos(a))),
                        50 + static_cast<int>(std::lround(45 * std::sin(a)))});
    }
    polygon(s, kNullPen, kWhiteBrush, star);
    EXPECT_EQ(s.at(50, 52), kBlack);
    EXPECT_EQ(s.at(50, 15), kWhite);
    EXPECT_EQ(s.at(50, 98), kBlack);

    // Vertices are pixel corners: a square from (1, 1) to (5, 5) fills 4x4.
    Surface q = filled(8, 8, kBlack);
    polygon(q, kNullPen, kWhiteBrush, {{1, 1}, {5, 1}, {5, 5}, {1, 5}});
    EXPECT_EQ(countColour(q, kWhite), 16);
    EXPECT_EQ(boundsOf(q, kWhite), (Rect{1, 1, 5, 5}));
    // A pen outlines the vertices themselves.
    polygon(q, Pen{1, RGB(255, 0, 0), false}, kNullBrush, {{1, 1}, {5, 1}, {5, 5}, {1, 5}});
    EXPECT_EQ(q.at(5, 5), 0xFFFF0000u);
    EXPECT_EQ(countColour(q, 0xFFFF0000u), 16);
}

TEST(FloodFill, FourConnectedAreaOnly) {
    // A diagonal line of black pixels: the two halves touch only at corners,
    // which a 4-connected fill does not cross.
    Surface s = filled(30, 30, kWhite);
    for (int i = 0; i < 30; ++i) s.set(i, i, kBlack);
    s.set(25, 2, 0xFF00FF00);  // an island of another colour
    EXPECT_TRUE(floodFill(s, 3, 20, RGB(255, 255, 255), RGB(255, 0, 0)));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            const Pixel want = x == y ? kBlack : x < y ? 0xFFFF0000u : (x == 25 && y == 2) ? 0xFF00FF00u : kWhite;
            ASSERT_EQ(s.at(x, y), want) << x << "," << y;
        }
    EXPECT_FALSE(floodFill(s, 5, 5, RGB(255, 255, 255), RGB(0, 0, 255)));  // not of that colour
    EXPECT_FALSE(floodFill(s, -1, 5, RGB(255, 255, 255), RGB(0, 0, 255)));
    EXPECT_FALSE(floodFill(s, 5, 30, RGB(255, 255, 255), RGB(0, 0, 255)));
    EXPECT_TRUE(floodFill(s, 20, 5, RGB(255, 255, 255), RGB(255, 255, 255)));  // same colour: no change
    EXPECT_EQ(s.at(20, 5), kWhite);
}

TEST(FloodFill, ReachesAroundCornersAndPockets) {
    // A U-shaped area whose arms are joined only through the bottom, and a
    // pocket that opens upwards: a fill must go down and back up.
    Surface s = filled(9, 7, kBlack);
    const char* rows[] = {
        "W.W.WWW..",
        "W.W.W.W..",
        "W.WWW.W..",
        "W.....W.W",
        "WWWWWWW.W",
        ".........",
        "WWWWWWWWW",
    };
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            if (rows[y][x] == 'W') s.set(x, y, kWhite);
    ASSERT_TRUE(floodFill(s, 0, 0, RGB(255, 255, 255), RGB(0, 255, 0)));
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool white = rows[y][x] == 'W';
            const bool connected = white && y < 5 && !(x == 8);
            ASSERT_EQ(s.at(x, y), connected ? 0xFF00FF00u : white ? kWhite : kBlack) << x << "," << y;
        }
}

TEST(FloodFill, LargeSerpentineAreaWithoutRecursion) {
    // A 4000 x 3000 surface cut into a serpentine corridor by walls with
    // alternating gaps: the fill must follow the whole corridor.
    Surface s = filled(4000, 3000, kWhite);
    for (int x = 3; x < 4000; x += 4) {
        const int gap = (x / 4) % 2 ? 0 : 2999;
        for (int y = 0; y < 3000; ++y)
            if (y != gap) s.row(y)[x] = kBlack;
    }
    ASSERT_TRUE(floodFill(s, 0, 0, RGB(255, 255, 255), RGB(0, 0, 255)));
    EXPECT_EQ(countColour(s, kWhite), 0);
    EXPECT_EQ(s.at(3998, 2999), 0xFF0000FFu);  // the far end of the corridor
    // And the plain case: the whole surface in one go.
    Surface whole = filled(4000, 3000, kBlack);
    ASSERT_TRUE(floodFill(whole, 1234, 2345, RGB(0, 0, 0), RGB(9, 9, 9)));
    EXPECT_EQ(countColour(whole, 0xFF090909u), 4000 * 3000);
}
