// Stretched transfers: nearest and area-averaging scaling, clipping.
#include "platform/Surface.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using namespace plastora;

namespace {

Surface filled(int w, int h, Pixel p) {
    Surface s;
    EXPECT_TRUE(s.create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set(x, y, p);
    return s;
}

Surface numbered(int w, int h) {
    Surface s;
    EXPECT_TRUE(s.create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set(x, y, (Pixel(x) << 16) | (Pixel(y) << 8) | 0x42);
    return s;
}

int channel(Pixel p, int shift) { return static_cast<int>((p >> shift) & 0xFF); }

}  // namespace

TEST(Stretch, HalftoneKeepsFlatColoursExact) {
    const Pixel colour = 0xFF8A3F17;
    const Surface src = filled(37, 23, colour);
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{10, 7}, {100, 61}, {37, 5}, {3, 90}, {1, 1}}) {
        Surface dst;
        ASSERT_TRUE(dst.create(w, h));
        ASSERT_TRUE(stretchBlit(dst, 0, 0, w, h, src, 0, 0, 37, 23, Rop::Copy, StretchMode::Halftone));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ASSERT_EQ(dst.at(x, y), colour) << w << "x" << h << " at " << x << "," << y;
    }
}

// A whole-factor reduction whose blocks hold more pixels than 32-bit sums
// of a channel can take (white 4200 x 4200 made one pixel) stays white, whole
// or streamed by rows.
TEST(Stretch, HugeBlocksKeepTheirColour) {
    const Surface src = filled(4200, 4200, 0xFFFFFFFF);
    Surface dst;
    ASSERT_TRUE(dst.create(1, 1));
    ASSERT_TRUE(stretchBlit(dst, 0, 0, 1, 1, src, 0, 0, 4200, 4200, Rop::Copy, StretchMode::Halftone));
    EXPECT_EQ(dst.at(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    StreamedReduction stream(4200, 4200, 1, 1);
    for (int y = 0; y < 4200; ++y) stream.addRow(y, src.row(y));
    const Surface streamed = stream.take();
    ASSERT_FALSE(streamed.empty());
    EXPECT_EQ(streamed.at(0, 0) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(Stretch, HalftoneAveragesTheCoveredArea) {
    // A black and white checker of single pixels, halved: every destination
    // pixel covers two of each and becomes mid grey.
    Surface checker;
    ASSERT_TRUE(checker.create(8, 6));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) checker.set(x, y, (x + y) % 2 ? kWhite : kBlack);
    Surface half;
    ASSERT_TRUE(half.create(4, 3));
    ASSERT_TRUE(stretchBlit(half, 0, 0, 4, 3, checker, 0, 0, 8, 6, Rop::Copy, StretchMode::Halftone));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            for (int shift : {0, 8, 16}) {
                EXPECT_LE(std::abs(channel(half.at(x, y), shift) * 2 - 255), 1) << x << "," << y;
                EXPECT_EQ(half.at(x, y) >> 24, 0xFFu);
            }

    // Three source pixels onto two: the middle one is shared half and half.
    Surface row;
    ASSERT_TRUE(row.create(3, 1));
    row.set(0, 0, 0xFF000000);
    row.set(1, 0, 0xFF0000C8);
    row.set(2, 0, 0xFF000064);
    Surface two;
    ASSERT_TRUE(two.create(2, 1));
    ASSERT_TRUE(stretchBlit(two, 0, 0, 2, 1, row, 0, 0, 3, 1, Rop::Copy, StretchMode::Halftone));
    EXPECT_NEAR(channel(two.at(0, 0), 0), (0 * 2 + 200) / 3, 1);
    EXPECT_NEAR(channel(two.at(1, 0), 0), (200 + 100 * 2) / 3, 1);
}

TEST(Stretch, NearestPicksSourcePixels) {
    const Surface src = numbered(4, 3);
    Surface big;
    ASSERT_TRUE(big.create(12, 6));
    ASSERT_TRUE(stretchBlit(big, 0, 0, 12, 6, src, 0, 0, 4, 3, Rop::Copy, StretchMode::Nearest));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 12; ++x) ASSERT_EQ(big.at(x, y), src.at(x / 3, y / 2)) << x << "," << y;

    Surface small;
    ASSERT_TRUE(small.create(2, 3));
    ASSERT_TRUE(stretchBlit(small, 0, 0, 2, 3, src, 0, 0, 4, 3, Rop::Copy, StretchMode::Nearest));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) {
            // Each destination pixel holds one of the two source pixels it covers.
            const Pixel p = small.at(x, y);
            EXPECT_TRUE(p == src.at(2 * x, y) || p == src.at(2 * x + 1, y)) << x << "," << y;
        }
}

// A stretched block that reaches past the destination writes only the
// inside, with the same pixels it would have had on a larger destination.
TEST(Stretch, ClipsToTheDestination) {
    const Surface src = numbered(6, 5);
    for (StretchMode mode : {StretchMode::Nearest, StretchMode::Halftone}) {
        Surface whole;
        ASSERT_TRUE(whole.create(40, 40));
        ASSERT_TRUE(stretchBlit(whole, 10, 10, 15, 13, src, 0, 0, 6, 5, Rop::Copy, mode));
        for (const auto& [dx, dy] : std::vector<std::pair<int, int>>{{-4, -3}, {3, 5}, {-14, 2}, {9, 9}, {12, -12}}) {
            const Pixel marker = 0xFF0A0B0C;
            Surface dst = filled(12, 11, marker);
            ASSERT_TRUE(stretchBlit(dst, dx, dy, 15, 13, src, 0, 0, 6, 5, Rop::Copy, mode));
            for (int y = 0; y < 11; ++y)
                for (int x = 0; x < 12; ++x) {
                    const bool inside = x >= dx && x < dx + 15 && y >= dy && y < dy + 13;
                    const Pixel want = inside ? whole.at(10 + x - dx, 10 + y - dy) : marker;
                    ASSERT_EQ(dst.at(x, y), want) << "at " << dx << "," << dy << " pixel " << x << "," << y;
                }
        }
    }
}

TEST(Stretch, SourceBlockReachingOutsideUsesOnlyTheInside) {
    const Surface src = numbered(4, 4);
    const Pixel marker = 0xFF0A0B0C;
    Surface dst = filled(16, 16, marker);
    // Source block (-2, -2) 8x8 at twice the size: only source (0..3, 0..3)
    // exists, which lands at destination (4..11, 4..11).
    ASSERT_TRUE(stretchBlit(dst, 0, 0, 16, 16, src, -2, -2, 8, 8, Rop::Copy, StretchMode::Nearest));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool inside = x >= 4 && x < 12 && y >= 4 && y < 12;
            ASSERT_EQ(dst.at(x, y), inside ? src.at((x - 4) / 2, (y - 4) / 2) : marker) << x << "," << y;
        }
}

// Zooming far into a picture for a small window must not build the whole
// enlarged block.
TEST(Stretch, HugeEnlargementOnlyMakesTheVisiblePart) {
    const Surface src = numbered(200, 150);
    Surface view;
    ASSERT_TRUE(view.create(64, 48));
    int biggest = 0;
    Surface::setAllocationHook([&](int w, int h) {
        biggest = std::max(biggest, w * h);
        return true;
    });
    const bool ok = stretchBlit(view, -100000, -80000, 200 * 1000, 150 * 1000, src, 0, 0, 200, 150, Rop::Copy,
                                StretchMode::Halftone);
    Surface::setAllocationHook(nullptr);
    ASSERT_TRUE(ok);
    EXPECT_LE(biggest, 64 * 48);
    // Destination (0, 0) is enlarged pixel (100000, 80000): source (100, 80).
    EXPECT_EQ(view.at(0, 0), src.at(100, 80));
    EXPECT_EQ(view.at(63, 47), src.at(100, 80));
}
