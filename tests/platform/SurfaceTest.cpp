// Surface storage, block transfers and device-independent rows.
#include "platform/Surface.h"

#include "core/BandRunner.h"

#include <QImage>
#include <gtest/gtest.h>
#include <opencv2/core/utility.hpp>

#include <functional>
#include <vector>

using namespace plastora;

namespace {

// A surface whose every pixel is different: 0xFF, then x, y and a salt byte.
Surface numbered(int w, int h, unsigned salt = 0x5A) {
    Surface s;
    EXPECT_TRUE(s.create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set(x, y, (Pixel(x) << 16) | (Pixel(y) << 8) | salt);
    return s;
}

Surface filled(int w, int h, Pixel p) {
    Surface s;
    EXPECT_TRUE(s.create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set(x, y, p);
    return s;
}

std::vector<Pixel> snapshot(const Surface& s) { return std::vector<Pixel>(s.bits(), s.bits() + s.pixelCount()); }

struct HookGuard {
    explicit HookGuard(Surface::AllocationHook h) { Surface::setAllocationHook(std::move(h)); }
    ~HookGuard() { Surface::setAllocationHook(nullptr); }
};

}  // namespace

TEST(Surface, CreateCopyAndMove) {
    Surface s;
    EXPECT_TRUE(s.empty());
    EXPECT_FALSE(s.create(0, 5));
    EXPECT_FALSE(s.create(5, -1));
    EXPECT_TRUE(s.empty());

    ASSERT_TRUE(s.create(3, 2));
    for (std::size_t i = 0; i < s.pixelCount(); ++i) EXPECT_EQ(s.bits()[i], kBlack);
    s.set(2, 1, 0x00123456);  // the top byte is forced opaque
    EXPECT_EQ(s.at(2, 1), 0xFF123456u);
    EXPECT_EQ(s.getPixel(2, 1), RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(s.getPixel(3, 0), kInvalidColor);
    EXPECT_EQ(s.getPixel(-1, 0), kInvalidColor);

    Surface c;
    ASSERT_TRUE(c.createCopy(s));
    EXPECT_EQ(snapshot(c), snapshot(s));
    Surface m(std::move(c));
    EXPECT_TRUE(c.empty());
    EXPECT_EQ(m.at(2, 1), 0xFF123456u);
}

TEST(Surface, ImageSharesTheBuffer) {
    Surface s = numbered(4, 3);
    QImage img = s.image();
    ASSERT_EQ(img.width(), 4);
    ASSERT_EQ(img.height(), 3);
    EXPECT_EQ(img.pixel(3, 2), s.at(3, 2));
    img.setPixel(1, 1, 0xFFABCDEF);
    EXPECT_EQ(s.at(1, 1), 0xFFABCDEFu);
}

TEST(Surface, AllocationHookMakesCreationFail) {
    Surface s = numbered(4, 4);
    Surface src = numbered(5, 5);
    Surface dst = filled(30, 30, kWhite);
    {
        HookGuard guard([](int w, int h) { return w * h < 100; });
        EXPECT_FALSE(s.create(20, 20));
        EXPECT_TRUE(s.empty());
        EXPECT_EQ(s.width(), 0);
        EXPECT_EQ(s.pixelCount(), 0u);
        EXPECT_TRUE(s.create(5, 5));

        // A stretch that needs a scratch surface over the limit (one combined
        // with the destination by a raster operation) fails and leaves the
        // destination alone.
        EXPECT_FALSE(stretchBlit(dst, 0, 0, 30, 30, src, 0, 0, 5, 5, Rop::And, StretchMode::Halftone));
        for (Pixel p : snapshot(dst)) ASSERT_EQ(p, kWhite);
        // A plain halftone copy is averaged straight into the destination:
        // it needs no surface of its own.
        EXPECT_TRUE(stretchBlit(dst, 0, 0, 30, 30, src, 0, 0, 5, 5, Rop::Copy, StretchMode::Halftone));
        EXPECT_EQ(dst.at(0, 0), src.at(0, 0));
    }
    EXPECT_TRUE(s.create(20, 20));
}

// Every operation against its bit formula, over source and destination
// words with mixed bit patterns.
TEST(Blit, RasterOperationsFollowTheirTruthTables) {
    const std::vector<Pixel> values = {0xFF000000, 0xFFFFFFFF, 0xFF00FF00, 0xFFFF00FF, 0xFF0F0F0F,
                                       0xFFF0F0F0, 0xFF123456, 0xFFA5C3E1, 0xFF5A3C96, 0xFF808080};
    const int n = static_cast<int>(values.size());
    Surface src, base;
    ASSERT_TRUE(src.create(n, n));
    ASSERT_TRUE(base.create(n, n));
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            src.set(x, y, values[x]);
            base.set(x, y, values[y]);
        }
    struct Case {
        Rop op;
        const char* name;
        std::function<Pixel(Pixel s, Pixel d)> f;
    };
    const std::vector<Case> cases = {
        {Rop::Copy, "copy", [](Pixel s, Pixel) { return s; }},
        {Rop::And, "and", [](Pixel s, Pixel d) { return s & d; }},
        {Rop::Or, "or", [](Pixel s, Pixel d) { return s | d; }},
        {Rop::MergePaint, "merge-paint", [](Pixel s, Pixel d) { return ~s | d; }},
        {Rop::Erase, "erase", [](Pixel s, Pixel d) { return s & ~d; }},
        {Rop::Invert, "invert", [](Pixel, Pixel d) { return ~d; }},
        {Rop::Whiteness, "whiteness", [](Pixel, Pixel) { return 0xFFFFFFu; }},
        {Rop::Blackness, "blackness", [](Pixel, Pixel) { return 0u; }},
    };
    for (const Case& c : cases) {
        Surface dst;
        ASSERT_TRUE(dst.createCopy(base));
        blit(dst, 0, 0, n, n, &src, 0, 0, c.op);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const Pixel want = (c.f(values[x], values[y]) & 0xFFFFFFu) | 0xFF000000u;
                ASSERT_EQ(dst.at(x, y), want) << c.name << " S=" << std::hex << values[x] << " D=" << values[y];
            }
    }
}

TEST(Blit, SourcelessOperationsIgnoreAMissingSource) {
    Surface d = numbered(4, 4);
    const auto before = snapshot(d);
    blit(d, 1, 1, 2, 2, nullptr, 0, 0, Rop::Invert);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool inside = x >= 1 && x < 3 && y >= 1 && y < 3;
            const Pixel orig = before[y * 4 + x];
            EXPECT_EQ(d.at(x, y), inside ? (~orig | 0xFF000000u) : orig);
        }
    // A source-needing operation without a source does nothing.
    const auto now = snapshot(d);
    blit(d, 0, 0, 4, 4, nullptr, 0, 0, Rop::Copy);
    EXPECT_EQ(snapshot(d), now);
}

// A copy at offsets reaching past any edge of source or destination writes
// exactly the overlapping part and nothing else.
TEST(Blit, ClipsAtEveryEdge) {
    const Pixel marker = 0xFF010203;
    const Surface src = numbered(5, 4, 0x77);
    struct Off {
        int dx, dy, w, h, sx, sy;
    };
    const std::vector<Off> offs = {{-2, -1, 5, 4, 0, 0}, {6, 4, 5, 4, 0, 0},  {-3, 5, 5, 4, 0, 0},
                                   {2, 1, 50, 50, 0, 0}, {1, 1, 5, 4, -2, -3}, {0, 0, 5, 4, 3, 2},
                                   {8, 0, 5, 4, 0, 0},   {0, -4, 5, 4, 0, 0},  {-100, -100, 300, 300, -50, -50}};
    for (const Off& o : offs) {
        Surface dst = filled(8, 6, marker);
        blit(dst, o.dx, o.dy, o.w, o.h, &src, o.sx, o.sy, Rop::Copy);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) {
                const int u = o.sx + (x - o.dx), v = o.sy + (y - o.dy);
                const bool inBlock = x >= o.dx && x < o.dx + o.w && y >= o.dy && y < o.dy + o.h;
                const bool inSrc = u >= 0 && v >= 0 && u < 5 && v < 4;
                const Pixel want = inBlock && inSrc ? src.at(u, v) : marker;
                ASSERT_EQ(dst.at(x, y), want) << "offset " << o.dx << "," << o.dy << " src " << o.sx << "," << o.sy
                                              << " at " << x << "," << y;
            }
    }
}

// Transfers within one surface read every source pixel before it is
// overwritten, whichever way the blocks overlap.
TEST(Blit, OverlappingTransferWithinOneSurface) {
    struct Move {
        int dx, dy, sx, sy;
    };
    const std::vector<Move> moves = {{3, 2, 1, 1}, {0, 0, 2, 3}, {3, 1, 1, 1}, {1, 1, 3, 1}, {1, 3, 1, 1}, {2, 0, 0, 2}};
    for (Rop op : {Rop::Copy, Rop::Or, Rop::Erase}) {
        for (const Move& m : moves) {
            Surface s = numbered(10, 8);
            const Surface orig = numbered(10, 8);
            blit(s, m.dx, m.dy, 6, 5, &s, m.sx, m.sy, op);
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 10; ++x) {
                    const bool inside = x >= m.dx && x < m.dx + 6 && y >= m.dy && y < m.dy + 5;
                    Pixel want = orig.at(x, y);
                    if (inside) {
                        const Pixel sp = orig.at(m.sx + x - m.dx, m.sy + y - m.dy);
                        want = op == Rop::Copy ? sp : op == Rop::Or ? (sp | want) : ((sp & ~want) | kOpaque);
                    }
                    ASSERT_EQ(s.at(x, y), want) << "move " << m.sx << "," << m.sy << " -> " << m.dx << "," << m.dy;
                }
        }
    }
}

// Compositing through a black-and-white mask: AND keeps the picture inside
// and blackens outside; merge-paint with the same mask whitens outside.
TEST(Blit, MaskCompositing) {
    Surface mask;
    ASSERT_TRUE(mask.create(12, 9));
    for (int y = 2; y < 7; ++y)
        for (int x = 3; x < 9; ++x) mask.set(x, y, kWhite);
    const Surface picture = numbered(12, 9, 0xC3);

    Surface anded;
    ASSERT_TRUE(anded.createCopy(picture));
    blit(anded, mask, Rop::And);
    Surface merged;
    ASSERT_TRUE(merged.createCopy(picture));
    blit(merged, mask, Rop::MergePaint);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inside = mask.at(x, y) == kWhite;
            EXPECT_EQ(anded.at(x, y), inside ? picture.at(x, y) : kBlack);
            EXPECT_EQ(merged.at(x, y), inside ? picture.at(x, y) : kWhite);
        }
}

TEST(Dib, RowLayoutPaddingAndOrder) {
    EXPECT_EQ(getDIBits(filled(100, 1, kWhite)).size(), 300u);
    Surface odd = filled(101, 1, kWhite);
    const auto rows = getDIBits(odd);
    ASSERT_EQ(rows.size(), 304u);
    EXPECT_EQ(rows[302], 0xFF);
    EXPECT_EQ(rows[303], 0);

    // Bottom-up rows of blue, green, red bytes.
    Surface s;
    ASSERT_TRUE(s.create(2, 3));
    s.set(0, 0, 0xFF112233);
    s.set(1, 0, 0xFF445566);
    s.set(0, 2, 0xFFAABBCC);
    const auto d = getDIBits(s);
    ASSERT_EQ(d.size(), 8u * 3);
    const std::vector<std::uint8_t> top(d.begin() + 16, d.begin() + 24);
    EXPECT_EQ(top, (std::vector<std::uint8_t>{0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0, 0}));
    const std::vector<std::uint8_t> bottom(d.begin(), d.begin() + 8);
    EXPECT_EQ(bottom, (std::vector<std::uint8_t>{0xCC, 0xBB, 0xAA, 0, 0, 0, 0, 0}));

    Surface back;
    ASSERT_TRUE(surfaceFromDIB(back, d.data(), 2, 3));
    EXPECT_EQ(snapshot(back), snapshot(s));
}

TEST(Dib, WritingRowsClipsToTheSurface) {
    const Surface block = numbered(5, 4, 0x99);
    const auto rows = getDIBits(block);
    for (const auto& [dx, dy] : std::vector<std::pair<int, int>>{{-2, -1}, {4, 3}, {0, 0}, {-5, 0}, {7, 1}}) {
        Surface s = filled(7, 5, kWhite);
        setDIBits(s, dx, dy, rows.data(), 5, 4);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) {
                const bool inside = x >= dx && x < dx + 5 && y >= dy && y < dy + 4;
                ASSERT_EQ(s.at(x, y), inside ? block.at(x - dx, y - dy) : kWhite) << dx << "," << dy;
            }
    }
}

// A plain halftone copy is averaged straight into the destination, one ring
// of source rows at a time; every other operation goes through a scaled
// block. White AND block is the block, so both paths must agree exactly, for
// reductions and enlargements by uneven factors and for blocks that reach
// past the destination's edges.
TEST(Stretch, HalftoneStraightIntoTheDestinationMatchesTheScaledBlock) {
    const Surface src = numbered(97, 61, 0x33);
    struct Case {
        int dx, dy, dw, dh, sx, sy, sw, sh;
    };
    for (const Case& c : {Case{0, 0, 40, 23, 0, 0, 97, 61}, Case{3, 2, 31, 17, 5, 4, 80, 50},
                          Case{-7, -5, 200, 130, 0, 0, 97, 61}, Case{10, 12, 45, 40, 60, 30, 37, 31},
                          Case{0, 0, 7, 3, 1, 1, 95, 59}}) {
        Surface copied = filled(60, 40, kBlack), anded = filled(60, 40, kWhite);
        ASSERT_TRUE(stretchBlit(copied, c.dx, c.dy, c.dw, c.dh, src, c.sx, c.sy, c.sw, c.sh, Rop::Copy,
                                StretchMode::Halftone));
        ASSERT_TRUE(stretchBlit(anded, c.dx, c.dy, c.dw, c.dh, src, c.sx, c.sy, c.sw, c.sh, Rop::And,
                                StretchMode::Halftone));
        const int x0 = std::max(0, c.dx), y0 = std::max(0, c.dy);
        const int x1 = std::min(60, c.dx + c.dw), y1 = std::min(40, c.dy + c.dh);
        int differ = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) differ += copied.at(x, y) != anded.at(x, y);
        EXPECT_EQ(differ, 0) << c.dw << " x " << c.dh << " from " << c.sw << " x " << c.sh;
        // Outside the block the destination is untouched.
        if (x1 < 60) {
            EXPECT_EQ(copied.at(x1, y0), kBlack);
        }
    }
}

// Large stretches are averaged in bands of rows on every core: the same
// pixels as on one thread without a runner, with any number of threads, and
// from inside a worker of the pool (where the bands run in place).
TEST(Stretch, HalftoneBandsGiveTheSamePixelsOnOneCoreAndOnMany) {
    const Surface src = numbered(1531, 1013, 0x5C);
    const auto stretch = [&] {
        Surface out = filled(1300, 900, kBlack);
        EXPECT_TRUE(stretchBlit(out, -3, 2, 1297, 905, src, 7, 0, 1519, 1013, Rop::Copy, StretchMode::Halftone));
        return snapshot(out);
    };
    Surface::setBandRunner(nullptr);
    const std::vector<Pixel> one = stretch();
    runSurfaceBandsOnEveryCore();
    const int saved = cv::getNumThreads();
    for (const int threads : {1, 2, 3}) {
        cv::setNumThreads(threads);
        EXPECT_EQ(one == stretch(), true) << threads << " threads";
    }
    cv::setNumThreads(saved);
    std::vector<Pixel> nested[2];
    cv::parallel_for_(cv::Range(0, 2), [&](const cv::Range& r) {
        for (int i = r.start; i < r.end; ++i) nested[i] = stretch();
    });
    EXPECT_EQ(one == nested[0], true);
    EXPECT_EQ(one == nested[1], true);
}
