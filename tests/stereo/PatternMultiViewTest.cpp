// The pieces of the stereo-pair multi-view: which picture a view starts
// from, where a block is searched, which blocks are outliers, how holes in
// the displacement grid are filled, and how the tested blocks are drawn.
#include "stereo/PatternMultiView.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

using namespace plastora;

namespace {

std::vector<int> slotList(int viewCount, int pictureCount) {
    std::vector<int> out;
    for (int j = 0; j < viewCount; ++j) out.push_back(sourceSlotForView(j, viewCount, pictureCount));
    return out;
}

// A one-row or one-column grid from (dx, dy) pairs.
DisplacementGrid rowGrid(const std::vector<BlockShift>& cells) {
    DisplacementGrid g;
    g.reset(static_cast<int>(cells.size()), 1);
    g.cells = cells;
    return g;
}
DisplacementGrid columnGrid(const std::vector<BlockShift>& cells) {
    DisplacementGrid g;
    g.reset(1, static_cast<int>(cells.size()));
    g.cells = cells;
    return g;
}

constexpr BlockShift kUnmatched{kNoMatch, kNoMatch};

}  // namespace

TEST(PatternMultiViewSlots, PairsUseTheRightPictureForTheFirstHalf) {
    EXPECT_EQ(slotList(4, 2), (std::vector<int>{1, 1, 0, 0}));
    EXPECT_EQ(slotList(5, 2), (std::vector<int>{1, 1, 0, 0, 0})) << "N / 2 truncated";
    EXPECT_EQ(slotList(2, 2), (std::vector<int>{1, 0}));
    EXPECT_EQ(slotList(4, 3), (std::vector<int>{2, 2, 0, 0})) << "other counts: the last and the first picture";
    EXPECT_EQ(slotList(3, 1), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(sourceSlotForView(0, 4, 0), -1) << "no pictures at all";
}

TEST(PatternMultiViewSlots, MultiPictureFilesRunFromRightToLeft) {
    EXPECT_EQ(slotList(8, 8), (std::vector<int>{7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(slotList(8, 15), (std::vector<int>{14, 12, 10, 8, 6, 4, 2, 0}));
    EXPECT_EQ(slotList(16, 15), (std::vector<int>{14, 13, 12, 11, 10, 9, 8, 7, 7, 6, 5, 4, 3, 2, 1, 0}));
    // Fewer views: spread too, from the right picture to the left one, the
    // pair every other output of the document uses (a run from the right
    // end, 7 6 5 4, left the left picture out).
    EXPECT_EQ(slotList(4, 8), (std::vector<int>{7, 5, 2, 0}));
    EXPECT_EQ(slotList(12, 15).front(), 14);
    EXPECT_EQ(slotList(12, 15).back(), 0);
    // More views than the pictures were made for: the pictures spread from
    // the right one to the left one, each used once or twice (the last
    // views all repeated the left picture, flat across half a lenticular).
    EXPECT_EQ(slotList(10, 8), (std::vector<int>{7, 6, 5, 5, 4, 3, 2, 2, 1, 0}));
    EXPECT_EQ(slotList(16, 8), (std::vector<int>{7, 7, 6, 6, 5, 5, 4, 4, 3, 3, 2, 2, 1, 1, 0, 0}));
    const std::vector<int> many = slotList(18, 15);
    EXPECT_EQ(many.front(), 14);
    EXPECT_EQ(many.back(), 0);
    EXPECT_TRUE(std::is_sorted(many.rbegin(), many.rend()));
}

TEST(PatternMultiViewSearchArea, CentredAndKeptInsideThePicture) {
    // 640 x 480, P = 16, the default 64 x 32 area.
    auto at = [](int x0, int y0) { return searchAreaFor(x0, y0, 16, 64, 32, 640, 480); };
    SearchArea a = at(0, 0);
    EXPECT_EQ(a.left, 0);
    EXPECT_EQ(a.top, 0);
    EXPECT_EQ(a.cols, 64);
    EXPECT_EQ(a.rows, 32);
    a = at(320, 240);
    EXPECT_EQ(a.left, 296);  // 320 + 8 - 32
    EXPECT_EQ(a.top, 232);   // 240 + 8 - 16
    // At the right edge the area ends on the last column, so the block's
    // own position (624) is still one of its windows.
    EXPECT_EQ(at(624, 0).left, 576);
    EXPECT_EQ(at(608, 0).left, 576) << "584 + 64 passes the edge too";
    EXPECT_EQ(at(592, 0).left, 568) << "568 + 64 = 632 stays inside";
    EXPECT_EQ(at(0, 464).top, 480 - 32);
    EXPECT_EQ(at(16, 0).left, 0) << "16 + 8 - 32 < 0";

    // A picture narrower than the area: the area is the picture.
    a = searchAreaFor(16, 0, 16, 64, 32, 40, 20);
    EXPECT_EQ(a.left, 0);
    EXPECT_EQ(a.cols, 40);
    EXPECT_EQ(a.top, 0);
    EXPECT_EQ(a.rows, 20);
}

TEST(PatternMultiViewOutliers, AMiddleBlockThatStandsOutIsMarked) {
    int r = -1, c = -1;
    // By rows: dy 0, 0, 5, 0, 0 marks the middle one 903.
    DisplacementGrid g = rowGrid({{1, 0}, {1, 0}, {1, 5}, {1, 0}, {1, 0}});
    EXPECT_TRUE(markOutlier(g, 0, 4, kAdjustRows, r, c));
    EXPECT_EQ(r, 0);
    EXPECT_EQ(c, 2);
    EXPECT_EQ(g.at(0, 2).dx, kRowOutlier);
    EXPECT_EQ(g.at(0, 2).dy, 5) << "dy is kept";

    // Strictly below all four counts as well; by columns the marker is 902.
    g = columnGrid({{0, 2}, {0, 1}, {0, -3}, {0, 4}, {0, 0}});
    EXPECT_TRUE(markOutlier(g, 4, 0, kAdjustColumns, r, c));
    EXPECT_EQ(r, 2);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(g.at(2, 0).dx, kColumnOutlier);
}

TEST(PatternMultiViewOutliers, NothingIsMarkedWithoutACleanRunOfFive) {
    int r = -1, c = -1;
    DisplacementGrid tie = rowGrid({{0, 0}, {0, 0}, {0, 5}, {0, 5}, {0, 0}});
    EXPECT_FALSE(markOutlier(tie, 0, 4, kAdjustRows, r, c)) << "a neighbour with the same dy";
    DisplacementGrid between = rowGrid({{0, 0}, {0, 9}, {0, 5}, {0, 0}, {0, 0}});
    EXPECT_FALSE(markOutlier(between, 0, 4, kAdjustRows, r, c));
    DisplacementGrid unmatched = rowGrid({kUnmatched, {0, 0}, {0, 5}, {0, 0}, {0, 0}});
    EXPECT_FALSE(markOutlier(unmatched, 0, 4, kAdjustRows, r, c)) << "one of the five has no match";
    DisplacementGrid shortRow = rowGrid({{0, 0}, {0, 5}, {0, 0}, {0, 0}});
    EXPECT_FALSE(markOutlier(shortRow, 0, 3, kAdjustRows, r, c)) << "fewer than four blocks before";
    DisplacementGrid wrongWay = rowGrid({{0, 0}, {0, 0}, {0, 5}, {0, 0}, {0, 0}});
    EXPECT_FALSE(markOutlier(wrongWay, 0, 4, kAdjustColumns, r, c)) << "by columns a row is not looked at";
    EXPECT_FALSE(markOutlier(wrongWay, 0, 4, kAdjustNone, r, c));

    // An earlier outlier (902) still takes part with its dy: only 901
    // stops the test.
    DisplacementGrid earlier = columnGrid({{0, 0}, {kColumnOutlier, 0}, {0, 6}, {0, 0}, {0, 0}});
    EXPECT_TRUE(markOutlier(earlier, 4, 0, kAdjustColumns, r, c));
}

TEST(PatternMultiViewFill, UnusableBlocksTakeValuesFromTheirNeighbours) {
    // Both sides: steps of (k - i + 1) parts of the difference.
    DisplacementGrid g = rowGrid({{10, 0}, kUnmatched, {kRowOutlier, 7}, {40, -8}});
    fillUnusableBlocks(g, kAdjustRows);
    EXPECT_EQ(g.at(0, 1), (BlockShift{17, -2}));  // 10 + 30 * 1 / 4, 0 - 8 * 1 / 4
    EXPECT_EQ(g.at(0, 2), (BlockShift{25, -4}));  // 10 + 30 * 2 / 4, 0 - 8 * 2 / 4
    EXPECT_EQ(g.at(0, 3), (BlockShift{40, -8}));

    // The outlier of dy 0, 0, 5, 0, 0 is filled back to 0.
    g = rowGrid({{2, 0}, {2, 0}, {kRowOutlier, 5}, {2, 0}, {2, 0}});
    fillUnusableBlocks(g, kAdjustRows);
    EXPECT_EQ(g.at(0, 2), (BlockShift{2, 0}));

    // Negative differences truncate toward zero.
    g = rowGrid({{0, 0}, kUnmatched, {-5, 5}});
    fillUnusableBlocks(g, kAdjustRows);
    EXPECT_EQ(g.at(0, 1), (BlockShift{-1, 1}));  // -5 / 3, 5 / 3

    // Only a block before: it is copied to the end of the line.
    g = rowGrid({{1, 2}, {3, 4}, kUnmatched, kUnmatched});
    fillUnusableBlocks(g, kAdjustRows);
    EXPECT_EQ(g.at(0, 2), (BlockShift{3, 4}));
    EXPECT_EQ(g.at(0, 3), (BlockShift{3, 4}));

    // Only a block after: it is copied down to the first of the line.
    g = rowGrid({kUnmatched, kUnmatched, {6, 1}, {7, 1}});
    fillUnusableBlocks(g, kAdjustRows);
    EXPECT_EQ(g.at(0, 0), (BlockShift{6, 1}));
    EXPECT_EQ(g.at(0, 1), (BlockShift{6, 1}));

    // A line with nothing usable stays as it is.
    g = rowGrid({kUnmatched, kUnmatched, kUnmatched});
    fillUnusableBlocks(g, kAdjustRows);
    EXPECT_EQ(g.at(0, 1), kUnmatched);
}

TEST(PatternMultiViewFill, TheFirstBlockIsNeverFilledOnItsOwn) {
    DisplacementGrid g = rowGrid({kUnmatched, {4, 0}, {4, 0}});
    fillUnusableBlocks(g, kAdjustRows);
    EXPECT_EQ(g.at(0, 0), kUnmatched);
    // ...but a run that a later unusable block starts reaches it.
    g = rowGrid({kUnmatched, kUnmatched, {4, 0}});
    fillUnusableBlocks(g, kAdjustRows);
    EXPECT_EQ(g.at(0, 0), (BlockShift{4, 0}));
}

TEST(PatternMultiViewFill, FillingFollowsTheAdjustDirection) {
    // Two rows, two columns: (1,1) unusable.
    DisplacementGrid g;
    g.reset(2, 2);
    g.at(0, 0) = {1, 0};
    g.at(0, 1) = {3, 0};
    g.at(1, 0) = {2, 0};
    g.at(1, 1) = kUnmatched;
    DisplacementGrid byRows = g, byColumns = g, none = g;
    fillUnusableBlocks(byRows, kAdjustRows);
    EXPECT_EQ(byRows.at(1, 1), (BlockShift{2, 0})) << "from its left neighbour";
    fillUnusableBlocks(byColumns, kAdjustColumns);
    EXPECT_EQ(byColumns.at(1, 1), (BlockShift{3, 0})) << "from the block above";
    fillUnusableBlocks(none, kAdjustNone);
    EXPECT_EQ(none.at(1, 1), kUnmatched);
}

TEST(PatternMultiViewPaste, BlocksGoToTheirFractionOfTheDisplacement) {
    // A 40 x 20 left picture of distinct pixels, P = 16: blocks at x0 = 0,
    // 16 and 32 (the last taken from x = 40 - 16 = 24), rows 0 and 16
    // (from y = 4). Every block is displaced by (8, 4).
    Surface left;
    ASSERT_TRUE(left.create(40, 20));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) left.set(x, y, 0xFF000000u | unsigned(x << 8) | unsigned(y));
    DisplacementGrid grid;
    grid.reset(2, 1);
    grid.at(0, 0) = {8, 4};
    grid.at(0, 1) = {8, 4};
    Surface view;
    ASSERT_TRUE(view.create(60, 40));  // larger, so nothing is clipped away
    blit(view, Rop::Whiteness);
    // N = 4, v = 1: the views are evenly spaced, (4 - 1 - 1) x 8 / 3 = 5
    // across, 2 x 4 / 3 = 2 down.
    pasteShiftedBlocks(view, left, grid, 16, 1, 4);
    EXPECT_EQ(view.at(5, 2), left.at(0, 0));
    EXPECT_EQ(view.at(5 + 35, 2 + 15), left.at(35, 15)) << "edge block from x = 24";
    EXPECT_EQ(view.at(5 + 39, 2 + 19), left.at(39, 19)) << "the last column and row are pasted too";
    EXPECT_EQ(view.at(5 + 40, 2), kWhite);
    EXPECT_EQ(view.at(4, 2), kWhite);

    // Unusable displacements leave the view alone.
    grid.at(0, 0) = {kNoMatch, kNoMatch};
    grid.at(0, 1) = {kColumnOutlier, 0};
    blit(view, Rop::Whiteness);
    pasteShiftedBlocks(view, left, grid, 16, 1, 4);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) ASSERT_EQ(view.at(x, y), kWhite);
}

TEST(PatternMultiViewGrey, WeightsOfTheGreyLevels) {
    Surface s;
    ASSERT_TRUE(s.create(4, 1));
    s.set(0, 0, 0xFFFF0000u);
    s.set(1, 0, 0xFF00FF00u);
    s.set(2, 0, 0xFF0000FFu);
    s.set(3, 0, 0xFFFFFFFFu);
    EXPECT_EQ(greyLevels(s), (std::vector<std::uint8_t>{76, 149, 28, 255}));  // x 77, 150, 29 >> 8
}

TEST(PatternMultiViewDrawing, RectanglesFollowZoomAndScroll) {
    QImage img(100, 100, QImage::Format_RGB32);
    img.fill(Qt::black);
    const std::vector<CheckMatchRect> rects{{Rect{16, 8, 31, 23}, kMatchedColour},
                                            {Rect{0, 0, 15, 15}, kUnmatchedColour},
                                            {Rect{0, 0, 15, 15}, kOutlierColour}};
    {
        QPainter p(&img);
        drawCheckMatch(p, rects, 2, 10, 4);
    }
    // Block at (16, 8), zoom 2, scrolled by (10, 4): x from 22, y from 12;
    // it covers picture pixels 16..30, so screen x 22..51.
    EXPECT_EQ(img.pixel(22, 12), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(51, 12), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(52, 12), qRgb(0, 0, 0)) << "the right edge is left out";
    EXPECT_EQ(img.pixel(22, 41), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(30, 20), qRgb(0, 0, 0)) << "hollow";
    // The outlier was drawn last over the red one: yellow at the visible
    // part (the block at 0,0 starts above and left of the window).
    EXPECT_EQ(img.pixel(19, 10), qRgb(255, 255, 0));
}

TEST(PatternMultiViewSearch, AcceptsExactlyTheBlocksWhoseBestWindowIsCloseEnough) {
    // Left: smooth waves with noise; right: the same moved by a few pixels
    // that differ per block row, with its own noise of growing strength, so
    // blocks range from clean matches to hopeless ones. Every block's
    // outcome is checked against brute force: accepted exactly when the
    // best window's SSD / P^2 is at most minDistance^2, and then at the
    // first best window in raster order.
    constexpr int w = 160, h = 96, p = 16;
    std::mt19937 rng(5);
    std::vector<std::uint8_t> left(w * h), right(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            left[y * w + x] = std::uint8_t(std::clamp(
                128 + 60 * std::sin(x / 6.0) * std::cos(y / 9.0) + int(rng() % 21) - 10, 0.0, 255.0));
    for (int y = 0; y < h; ++y) {
        const int shift = (y / p) % 3 + 1;
        const int amplitude = 2 + 12 * (y / p);  // 2 .. 62
        for (int x = 0; x < w; ++x) {
            const int from = std::max(0, x - shift);
            const int noise = int(rng() % (2 * amplitude + 1)) - amplitude;
            right[y * w + x] = std::uint8_t(std::clamp(int(left[y * w + from]) + noise, 0, 255));
        }
    }
    const PatternMatchSettings settings;  // the defaults
    BlockSearcher searcher(left.data(), right.data(), w, h, settings);
    int accepted = 0, refused = 0;
    for (int y0 = 0; y0 + p <= h; y0 += p)
        for (int x0 = 0; x0 + p <= w; x0 += p) {
            const BlockSearchResult r = searcher.search(x0, y0);
            ASSERT_TRUE(r.setupOk);
            std::uint32_t best = ~0u;
            int bx = -1, by = -1;
            for (int y = r.area.top; y + p <= r.area.top + r.area.rows; ++y)
                for (int x = r.area.left; x + p <= r.area.left + r.area.cols; ++x) {
                    std::uint32_t ssd = 0;
                    for (int j = 0; j < p; ++j)
                        for (int i = 0; i < p; ++i) {
                            const int d = int(left[(y0 + j) * w + x0 + i]) - int(right[(y + j) * w + x + i]);
                            ssd += std::uint32_t(d * d);
                        }
                    if (ssd < best) best = ssd, bx = x, by = y;
                }
            const bool shouldAccept = best / (p * p) <= std::uint32_t(settings.minDistance * settings.minDistance);
            EXPECT_EQ(r.accepted, shouldAccept) << x0 << "," << y0;
            if (shouldAccept && r.accepted) {
                EXPECT_EQ(r.area.left + r.col, bx) << x0 << "," << y0;
                EXPECT_EQ(r.area.top + r.row, by) << x0 << "," << y0;
                EXPECT_EQ(r.minDistance, best);
            }
            (shouldAccept ? accepted : refused)++;
        }
    EXPECT_GT(accepted, 0);
    EXPECT_GT(refused, 0) << "the noisiest rows must be refused";
}

TEST(PatternMultiViewSearch, AreaSizedToTheMeasuredRangeReachesEveryMatch) {
    // A pair whose points moved 26 to 89 pixels to the left: an area centred
    // on a block must hold the block's match at every displacement between.
    for (const auto& [low, high] : {std::pair{-89.0, -26.0}, std::pair{-3.5, 40.2}}) {
        const int cols = searchWidthForRange(low, high, 16, 64, 707);
        for (int x0 = 160; x0 < 540; x0 += 16) {
            const SearchArea a = searchAreaFor(x0, 240, 16, cols, 32, 707, 478);
            for (int dx = static_cast<int>(std::floor(low)); dx <= static_cast<int>(std::ceil(high)); ++dx) {
                EXPECT_GE(x0 + dx, a.left) << x0 << " " << dx;
                EXPECT_LE(x0 + dx + 16, a.left + a.cols) << x0 << " " << dx;
            }
        }
    }
    // Never narrower than what was set, never wider than the picture.
    EXPECT_EQ(searchWidthForRange(-2.0, 3.0, 16, 64, 707), 64);
    EXPECT_EQ(searchWidthForRange(-500.0, 0.0, 16, 64, 320), 319);
}

// The blocks are searched on several cores: the grid, the failures, the
// outlier marks and the drawn checks are those of one core, in the same
// order, with either way of filling holes and with a search area that makes
// blocks at the edge use a setup of their own.
TEST(PatternMultiViewSearch, SameGridOnOneCoreAndOnMany) {
    constexpr int w = 203, h = 150;
    std::mt19937 rng(11);
    std::vector<std::uint8_t> left(w * h), right(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            left[y * w + x] = std::uint8_t(std::clamp(
                128 + 70 * std::sin(x / 5.0 + y / 13.0) * std::cos(y / 7.0) + int(rng() % 15) - 7, 0.0, 255.0));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int shift = 1 + (x / 40 + y / 30) % 4;
            const int noise = y > 110 ? int(rng() % 121) - 60 : int(rng() % 7) - 3;  // the bottom rows fail
            right[y * w + x] = std::uint8_t(std::clamp(int(left[y * w + std::max(0, x - shift)]) + noise, 0, 255));
        }
    const int saved = cv::getNumThreads();
    for (int adjust : {kAdjustColumns, kAdjustRows}) {
        PatternMatchSettings settings;
        settings.adjustType = adjust;
        settings.sourceCol = 72;
        BlockMatchResult one, many;
        cv::setNumThreads(1);
        int rowsDone = 0;
        matchBlocks(left, right, w, h, settings, one, [&](int) { ++rowsDone; });
        cv::setNumThreads(std::max(3, cv::getNumberOfCPUs()));
        matchBlocks(left, right, w, h, settings, many, nullptr);
        EXPECT_EQ(rowsDone, h / settings.patternSize);
        EXPECT_GT(one.failures, 0);
        EXPECT_LT(one.failures, static_cast<int>(one.grid.cells.size()));
        EXPECT_EQ(one.grid.cells, many.grid.cells);
        EXPECT_EQ(one.failures, many.failures);
        EXPECT_EQ(one.setupFailed, many.setupFailed);
        ASSERT_EQ(one.checks.size(), many.checks.size());
        for (std::size_t i = 0; i < one.checks.size(); ++i) {
            EXPECT_EQ(one.checks[i].rect, many.checks[i].rect) << i;
            EXPECT_EQ(one.checks[i].colour, many.checks[i].colour) << i;
        }
    }
    cv::setNumThreads(saved);
}
