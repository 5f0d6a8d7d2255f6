// The stereo-pair multi-view built on a workspace: real block matching on
// synthetic pairs with known displacements, the failure warning, the
// CheckMatch rectangles, memory failures and the paint layer.
#include "core/StereoWorkspace.h"
#include "stereo/PatternMultiView.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <random>
#include <string>

using namespace plastora;
using namespace plastora::test;

namespace {

constexpr const char* kWarningStart = "左右の画像が異なりすぎているためマルチビューの作成に失敗しました。\n認識できなかったパターンが";
std::string warningText(int percent) {
    return std::string(kWarningStart) + std::to_string(percent) +
           "%ありました。\nレンチキューラレンズで正しく立体視ができない可能性があります。";
}

// Coloured noise, smoothed a little so neighbouring pixels are related as in
// a photograph, but no two blocks alike.
Surface texture(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<int> v(static_cast<std::size_t>(w + 1) * (h + 1));
    for (auto& x : v) x = static_cast<int>(rng() % 256);
    Surface s;
    s.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * (w + 1) + x;
            const unsigned g = static_cast<unsigned>((v[i] * 2 + v[i + 1] + v[i + w + 1]) / 4);
            s.set(x, y, 0xFF000000u | (g << 16) | (((g * 3) & 0xFF) << 8) | (255 - g));
        }
    return s;
}

// `from` moved right by dx and down by dy; the uncovered strip comes from `fill`.
Surface shifted(const Surface& from, int dx, int dy, const Surface& fill) {
    Surface s;
    s.createCopy(fill);
    blit(s, dx, dy, from.width(), from.height(), &from, 0, 0, Rop::Copy);
    return s;
}

struct Pair {
    TempDir dir;
    ScriptedHost host;
    std::unique_ptr<CStereoWorkspace> ws;
    // A stereo-pair document of N views whose pictures are `left` and `right`
    // at the working size (so views 0 and N-1 are exact copies of them).
    Pair(const Surface& left, const Surface& right, int views, const std::string& pm = "CheckMatch=1\n") {
        // These pairs are for the block matcher ([PM] Method 0).
        std::ofstream(dir.file("Plastora.ini")) << "[Lenticular]\nSize=" << views << "\n[PM]\n" << pm << "Method=0\n";
        ws = std::make_unique<CStereoWorkspace>(host, dir.file("Plastora.ini"));
        Surface photo;
        photo.createCopy(left);
        ws->adoptPicture(std::move(photo));
        ws->highRes(0).createCopy(left);
        ws->highRes(1).createCopy(right);
        ws->setHighResCount(2);
        ws->setStereoPair(true);
    }
    ~Pair() { forgetPatternMultiView(*ws); }
    const PatternMultiViewState& state() const { return *patternMultiViewState(*ws); }
};

bool sameBlock(const Surface& a, int ax, int ay, const Surface& b, int bx, int by, int p) {
    for (int y = 0; y < p; ++y)
        for (int x = 0; x < p; ++x)
            if (a.at(ax + x, ay + y) != b.at(bx + x, by + y)) return false;
    return true;
}

class AllocationHookReset : public ::testing::Test {
protected:
    void TearDown() override { Surface::setAllocationHook(nullptr); }
};

}  // namespace

TEST(PatternMultiViewBuild, UniformShiftOfEightGivesFiveAndTwoWithFourViews) {
    // The right picture shows everything 8 pixels further right.
    const Surface left = texture(128, 64, 1);
    const Surface right = shifted(left, 8, 0, texture(128, 64, 2));
    Pair d(left, right, 4);
    // The 4 blocks of the last column are not in the right picture: 4 of 32
    // is more than 10 %.
    d.host.expectMessage(warningText(12));
    ASSERT_EQ(BuildPatternMultiView(*d.ws, nullptr, 2, true), 1);
    ASSERT_TRUE(d.ws->hasViews());
    EXPECT_EQ(d.ws->strength(), 2);
    const DisplacementGrid& g = d.state().match.grid;
    ASSERT_EQ(g.columns, 8);
    ASSERT_EQ(g.rows, 4);
    // Every block but those of the last column (whose content left the
    // right picture) is found 8 to the right.
    for (int r = 0; r < g.rows; ++r)
        for (int c = 0; c + 1 < g.columns; ++c) EXPECT_EQ(g.at(r, c), (BlockShift{8, 0})) << r << "," << c;
    EXPECT_TRUE(sameBlock(d.ws->view(0), 0, 0, right, 0, 0, 16)) << "view 0 is the right picture";
    EXPECT_TRUE(sameBlock(d.ws->view(3), 0, 0, left, 0, 0, 16)) << "view N-1 is the left picture";
    // The views are evenly spaced from the left picture (view 3) to the
    // right one (view 0): view 1 carries the left picture's blocks
    // 8 x 2 / 3 = 5 to the right, view 2 8 x 1 / 3 = 2.
    for (int c = 0; c + 1 < g.columns; ++c)
        for (int r = 0; r < g.rows; ++r) {
            EXPECT_TRUE(sameBlock(d.ws->view(1), c * 16 + 5, r * 16, left, c * 16, r * 16, 16)) << r << "," << c;
            EXPECT_TRUE(sameBlock(d.ws->view(2), c * 16 + 2, r * 16, left, c * 16, r * 16, 16)) << r << "," << c;
        }
    EXPECT_FALSE(d.state().drawing) << "the rectangles are shown only while matching";
}

TEST(PatternMultiViewBuild, IdenticalPicturesGiveInBetweenViewsEqualToTheLeft) {
    const Surface left = texture(96, 48, 3);
    Pair d(left, left, 5);
    ASSERT_EQ(BuildPatternMultiView(*d.ws, nullptr, 2, true), 1);
    for (const BlockShift& s : d.state().match.grid.cells) EXPECT_EQ(s, (BlockShift{0, 0}));
    EXPECT_EQ(d.state().match.failures, 0);
    for (int v = 0; v < 5; ++v) {
        bool same = true;
        for (int y = 0; y < 48 && same; ++y)
            for (int x = 0; x < 96 && same; ++x) same = d.ws->view(v).at(x, y) == left.at(x, y);
        EXPECT_TRUE(same) << "view " << v;
    }
}

TEST(PatternMultiViewBuild, WithoutMatchingTheViewsAreThePictures) {
    const Surface left = texture(64, 32, 4);
    const Surface right = texture(64, 32, 5);
    Pair d(left, right, 4);
    // View generation of a stereo-pair document goes to the builder, with
    // matching off.
    d.ws->GenerateViews(nullptr, 3, false);
    ASSERT_TRUE(d.ws->hasViews());
    EXPECT_EQ(d.ws->strength(), 3);
    EXPECT_FALSE(d.state().patternMatch);
    EXPECT_TRUE(d.state().match.grid.cells.empty());
    EXPECT_TRUE(sameBlock(d.ws->view(1), 0, 0, right, 0, 0, 32));
    EXPECT_TRUE(sameBlock(d.ws->view(2), 0, 0, left, 0, 0, 32));
}

TEST(PatternMultiViewBuild, TooManyUnmatchedBlocksWarnWithTheirPercentage) {
    // 128 x 64 with P = 16: 32 blocks. FailRatio 10: 10 x 32 / 100 = 3
    // failures are still fine, the fourth warns with 4 x 100 / 32 = 12 %.
    const Surface left = texture(128, 64, 6);
    const Surface other = texture(128, 64, 7);
    auto scrambled = [&](int count) {
        Surface right;
        right.createCopy(left);
        for (int i = 0; i < count; ++i) blit(right, i * 32, 16, 16, 16, &other, i * 32, 16, Rop::Copy);
        return right;
    };
    const std::string noFill = "AdjustType=0\nCheckMatch=1\n";
    {
        Pair d(left, scrambled(3), 4, noFill);
        ASSERT_EQ(BuildPatternMultiView(*d.ws, nullptr, 2, true), 1);
        EXPECT_EQ(d.state().match.failures, 3);
        EXPECT_TRUE(d.host.shownMessages.empty());
    }
    {
        Pair d(left, scrambled(4), 4, noFill);
        d.host.expectMessage(warningText(12), MsgResult::Ok, MsgButtons::Ok);
        ASSERT_EQ(BuildPatternMultiView(*d.ws, nullptr, 2, true), 1) << "the views are still built";
        const BlockMatchResult& m = d.state().match;
        EXPECT_EQ(m.failures, 4);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(m.grid.at(1, i * 2).dx, kNoMatch);
        // Unmatched blocks keep the picture view 1 started from (the right
        // one) since nothing fills them with type 0.
        EXPECT_TRUE(sameBlock(d.ws->view(1), 0, 16, d.ws->view(0), 0, 16, 16));
        // One rectangle per block in raster order: red where unmatched.
        ASSERT_EQ(m.checks.size(), 32u);
        int red = 0;
        for (const CheckMatchRect& r : m.checks) red += r.colour == kUnmatchedColour;
        EXPECT_EQ(red, 4);
        EXPECT_EQ(m.checks[8].rect, (Rect{0, 16, 15, 31}));
        EXPECT_EQ(m.checks[8].colour, kUnmatchedColour);
        EXPECT_EQ(m.checks[9].colour, kMatchedColour);
    }
    {
        // Unrelated pictures: nothing matches.
        Pair d(left, other, 4, "CheckMatch=0\n");
        d.host.expectMessage(warningText(100));
        ASSERT_EQ(BuildPatternMultiView(*d.ws, nullptr, 2, true), 1);
        EXPECT_TRUE(d.state().match.checks.empty()) << "CheckMatch off";
    }
}

TEST(PatternMultiViewBuild, AColumnThatMovedVerticallyIsMarkedAndFilledByRows) {
    // Columns 32..47 of the right picture are moved 3 rows down: the
    // blocks of column 2 are found with dy = 3, their neighbours with 0.
    // (72 rows: the last block row, 48..63, is still inside when moved.)
    const Surface left = texture(96, 72, 8);
    Surface right;
    right.createCopy(left);
    blit(right, 32, 3, 16, 69, &left, 32, 0, Rop::Copy);
    Pair d(left, right, 4, "AdjustType=2\nCheckMatch=1\n");
    ASSERT_EQ(BuildPatternMultiView(*d.ws, nullptr, 2, true), 1);
    const BlockMatchResult& m = d.state().match;
    // Marked 903 and then filled from columns 1 and 3 (both 0).
    for (int r = 0; r < m.grid.rows; ++r) EXPECT_EQ(m.grid.at(r, 2), (BlockShift{0, 0})) << r;
    // Each row: six blue rectangles and, after the fifth, a yellow one for
    // the block two columns back.
    ASSERT_EQ(m.checks.size(), 4u * 7u);
    for (int r = 0; r < 4; ++r) {
        const CheckMatchRect& y = m.checks[static_cast<std::size_t>(r * 7 + 5)];
        EXPECT_EQ(y.colour, kOutlierColour);
        EXPECT_EQ(y.rect, (Rect{32, r * 16, 47, r * 16 + 15}));
        EXPECT_EQ(m.checks[static_cast<std::size_t>(r * 7 + 4)].colour, kMatchedColour);
    }
}

TEST_F(AllocationHookReset, AViewThatCannotBeMadeStopsTheBuilder) {
    const Surface left = texture(64, 32, 9);
    Pair d(left, left, 4);
    int made = 0;
    Surface::setAllocationHook([&](int w, int h) { return !(w == 64 && h == 32 && ++made > 2); });
    d.host.expectMessage(kOutOfMemoryMessage, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Error);
    EXPECT_EQ(BuildPatternMultiView(*d.ws, nullptr, 2, true), 0);
    EXPECT_FALSE(d.ws->view(1).empty()) << "views made before stay";
    EXPECT_TRUE(d.ws->view(2).empty());
    EXPECT_TRUE(d.ws->view(3).empty());
}

TEST(PatternMultiViewBuild, PaintLayerIsShiftedPerViewAndItsShadowIsNot) {
    const Surface left = texture(64, 32, 10);
    Pair d(left, left, 4, "CheckMatch=0\n");
    ASSERT_TRUE(d.ws->ensurePaintLayer());
    fillRect(d.ws->paintLayer(), Rect{20, 10, 24, 14}, RGB(255, 0, 0));
    fillRect(d.ws->paintMask(), Rect{20, 10, 24, 14}, RGB(255, 255, 255));
    d.ws->paintDepth = 8;
    d.ws->paintShadow = 1;
    ASSERT_EQ(BuildPatternMultiView(*d.ws, nullptr, 2, false), 1);
    const Pixel red = 0xFFFF0000u, grey = pixelFromColorRef(RGB(64, 64, 64));
    // Shifts (a - 2) x 8 x 2 / 4: -8, -4, 0, 4.
    const int shifts[4] = {-8, -4, 0, 4};
    for (int a = 0; a < 4; ++a) {
        EXPECT_EQ(d.ws->view(a).at(20 + shifts[a], 10), red) << a;
        if (shifts[a] != 0) {
            EXPECT_EQ(d.ws->view(a).at(23, 13), grey) << "the shadow stays at 0 in view " << a;
        }
    }
    EXPECT_EQ(d.ws->view(0).at(16, 10), left.at(16, 10)) << "outside the moved stroke and its shadow";
}
