#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "layers/ViewSynthesis.h"
#include "overlay/OverlayObject.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/TestDocument.h"

#include <gtest/gtest.h>
#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

using namespace plastora;
using namespace plastora::test;

namespace {

// A 30 x 12 photo with background -16, region 0 (columns 10..14) at depth 8.
struct Doc : TestDocument {
    explicit Doc(int n = 4, int w = 30, int h = 12) : TestDocument(w, h, "[Lenticular]\nSize=" + std::to_string(n) + "\n") {
        ws->backgroundDepth = -16;
        ws->region(0).depth = 8;
    }
};

// One row of pixels to and from a tiny surface, for mirror-fill cases.
Surface rowSurface(const std::vector<Pixel>& px) {
    Surface s;
    EXPECT_TRUE(s.create(static_cast<int>(px.size()), 1));
    for (std::size_t x = 0; x < px.size(); ++x) s.set(static_cast<int>(x), 0, px[x]);
    return s;
}

std::vector<Pixel> rowOf(const Surface& s) { return std::vector<Pixel>(s.row(0), s.row(0) + s.width()); }

constexpr Pixel A = 0xFF0000A0, B = 0xFF0000B0, C = 0xFF0000C0, D = 0xFF0000D0, E = 0xFF0000E0, F = 0xFF0000F0;
constexpr Pixel M = kWhite, O = kBlack;  // masked / not masked

}  // namespace

TEST(ViewShift, HandWorkedValues) {
    // N = 4, S = 2.
    const int expectBack[] = {16, 8, 0, -8};
    const int expectFront[] = {-8, -4, 0, 4};
    for (int a = 0; a < 4; ++a) {
        EXPECT_EQ(viewShift(a, 4, -16, 2), expectBack[a]) << a;
        EXPECT_EQ(viewShift(a, 4, 8, 2), expectFront[a]) << a;
    }
    // Negative products divide toward zero, multiplications first.
    EXPECT_EQ(viewShift(0, 4, -16, 3), 24);
    EXPECT_EQ(viewShift(1, 4, 5, 1), -1);
    EXPECT_EQ(viewShift(0, 5, 3, 1), -1);  // N/2 truncates to 2: -2 * 3 / 5
    EXPECT_EQ(viewShiftHighRes(0, 4, 5, 1, 3), -7);  // R before the division: -30 / 4
    EXPECT_EQ(viewShift(0, 4, 5, 1) * 3, -6);
}

// Whatever numbers reach the rule, the shift is the exact one while it is
// small and never leaves +-kMaxViewShift (so x + width cannot overflow).
TEST(ViewShift, ExtremeNumbersAreBoundedNotOverflowed) {
    EXPECT_EQ(viewShift(0, 64, 16, 99), -32 * 16 * 99 / 64);
    EXPECT_EQ(viewShiftHighRes(63, 64, -32, 99, 16), 31 * -32 * 99 * 16 / 64);
    // Each factor is taken as at most 2^15 in size.
    EXPECT_EQ(viewShift(0, 4, INT32_MAX, -2), 32768);
    EXPECT_EQ(viewShift(3, 4, INT32_MIN, 16), -131072);
    EXPECT_EQ(viewShift(INT32_MIN, 4, INT32_MIN, INT32_MIN), -kMaxViewShift);
    EXPECT_EQ(viewShiftHighRes(0, 2, INT32_MAX, INT32_MAX, INT32_MAX), -kMaxViewShift);
    EXPECT_EQ(viewShift(1, 0, 5, 5), 0);  // no views: no shift
    EXPECT_EQ(scaledViewShift(kMaxViewShift, INT32_MAX), kMaxViewShift);
    EXPECT_EQ(scaledViewShift(-3, 3), -9);
}

TEST(MirrorFill, RunsTakeMirroredNeighboursFromBothSides) {
    // A B [M M M M] C D: n = 2; left half k = 0..2 gets B, A, A; right half
    // (written last) k = 0..2 from the right gets C, D, D.
    Surface src = rowSurface({A, B, E, E, E, E, C, D});
    Surface msk = rowSurface({O, O, M, M, M, M, O, O});
    Surface out;
    ASSERT_TRUE(buildRegionPlate(out, src, msk));
    EXPECT_EQ(rowOf(out), (std::vector<Pixel>{A, B, B, D, D, C, C, D}));

    // The left cursor skips masked pixels: A [M] B [M M] C.
    src = rowSurface({A, E, B, E, E, C});
    msk = rowSurface({O, M, O, M, M, O});
    ASSERT_TRUE(buildRegionPlate(out, src, msk));
    EXPECT_EQ(rowOf(out), (std::vector<Pixel>{A, B, B, C, C, C}));
}

TEST(MirrorFill, RunsAtTheEdgesUseTheEdgeColumn) {
    // A run from column 0: its left half copies column 0 itself.
    Surface src = rowSurface({A, B, C, D, E, F});
    Surface msk = rowSurface({M, M, M, M, O, O});
    Surface out;
    ASSERT_TRUE(buildRegionPlate(out, src, msk));
    EXPECT_EQ(rowOf(out), (std::vector<Pixel>{A, F, F, E, E, F}));
    // A run reaching column W - 1: its right half copies column W - 1.
    msk = rowSurface({O, O, M, M, M, M});
    ASSERT_TRUE(buildRegionPlate(out, src, msk));
    EXPECT_EQ(rowOf(out), (std::vector<Pixel>{A, B, B, F, F, F}));
    // The whole row masked.
    msk = rowSurface({M, M, M, M, M, M});
    ASSERT_TRUE(buildRegionPlate(out, src, msk));
    EXPECT_EQ(rowOf(out), (std::vector<Pixel>{A, A, F, F, F, F}));
}

TEST(Views, TheMiddleViewReproducesTheSourceAndCardsMoveByTheShiftRule) {
    Doc d;
    paintRect(d.ws->region(0).mask, 10, 2, 15, 9);
    d.ws->GenerateViews(nullptr, 2, false);
    ASSERT_TRUE(d.ws->hasViews());
    EXPECT_TRUE(samePixels(d.ws->view(2), d.ws->source())) << "view N/2 shifts nothing";
    // View 3: the card moves by +4, the background by -8.
    const Surface& v3 = d.ws->view(3);
    EXPECT_EQ(v3.at(14, 5), d.ws->source().at(10, 5));
    EXPECT_EQ(v3.at(18, 5), d.ws->source().at(14, 5));
    EXPECT_EQ(v3.at(2, 0), d.ws->source().at(10, 0)) << "the background plate at -8";
    EXPECT_EQ(v3.at(29, 0), kWhite) << "the strip the background leaves is white";
    // View 0: the card at -8, the background at +16.
    const Surface& v0 = d.ws->view(0);
    EXPECT_EQ(v0.at(2, 5), d.ws->source().at(10, 5));
    EXPECT_EQ(v0.at(15, 0), kWhite);
    EXPECT_EQ(v0.at(16, 0), d.ws->source().at(0, 0));
    EXPECT_EQ(d.ws->strength(), 2);
}

TEST(Views, TheBackgroundPlateHidesTheRegion) {
    Doc d;
    paintRect(d.ws->region(0).mask, 10, 0, 14, 12);
    d.ws->region(0).depth = 0;
    d.ws->backgroundDepth = 4;
    d.ws->GenerateViews(nullptr, 2, false);
    // View 0: background at -4, the region (depth 0) in place. Where the
    // background shows the region's own columns 10..13 it shows the mirror
    // fill: 9 | 16 15 14 from the right half, which wins the middle.
    const Surface& v0 = d.ws->view(0);
    const Surface& src = d.ws->source();
    EXPECT_EQ(v0.at(6, 3), src.at(9, 3));
    EXPECT_EQ(v0.at(7, 3), src.at(16, 3));
    EXPECT_EQ(v0.at(8, 3), src.at(15, 3));
    EXPECT_EQ(v0.at(9, 3), src.at(14, 3));
    EXPECT_EQ(v0.at(11, 3), src.at(11, 3)) << "the card itself";
}

TEST(Views, StrengthZeroMakesEveryViewEqual) {
    Doc d;
    paintRect(d.ws->region(0).mask, 3, 3, 20, 8);
    ASSERT_TRUE(d.ws->appendRegion(12));
    paintRect(d.ws->region(1).mask, 5, 5, 9, 9);
    d.ws->GenerateViews(nullptr, 0, false);
    for (int a = 0; a < 4; ++a) EXPECT_TRUE(samePixels(d.ws->view(a), d.ws->source())) << a;
}

TEST(Views, EmptyMasksDrawNothingAndNoRegionsUseTheSource) {
    Doc d;  // region 0 all black
    d.ws->GenerateViews(nullptr, 2, false);
    const Surface& v3 = d.ws->view(3);
    EXPECT_EQ(v3.at(0, 0), d.ws->source().at(8, 0));
    d.ws->truncateRegions(0);
    d.ws->GenerateViews(nullptr, 2, false);
    EXPECT_EQ(d.ws->view(3).at(0, 0), d.ws->source().at(8, 0));
}

TEST(Views, ExtremesOnlyLeavesTheMiddleViewsAbsent) {
    Doc d;
    d.ws->GenerateViews(nullptr, 2, false);
    d.ws->GenerateViews(nullptr, 3, true);
    EXPECT_FALSE(d.ws->view(0).empty());
    EXPECT_TRUE(d.ws->view(1).empty());
    EXPECT_TRUE(d.ws->view(2).empty());
    EXPECT_FALSE(d.ws->view(3).empty());
    EXPECT_EQ(d.ws->strength(), 3);
}

TEST(Views, ShadowsAndThePaintLayer) {
    Doc d;
    paintRect(d.ws->region(0).mask, 10, 2, 15, 9);
    d.ws->regionShadow = 1;
    ASSERT_TRUE(d.ws->ensurePaintLayer());
    d.ws->paintLayer().set(20, 10, 0xFF123456);
    d.ws->paintMask().set(20, 10, kWhite);
    d.ws->paintDepth = 4;
    d.ws->GenerateViews(nullptr, 2, false);
    const Surface& v3 = d.ws->view(3);
    // Region 0's shadow lies at the background's offset (-8), grey 64.
    EXPECT_EQ(v3.at(3, 5), 0xFF404040u);
    EXPECT_EQ(v3.at(14, 5), d.ws->source().at(10, 5)) << "the card covers its own shadow";
    // The paint stroke at +2 (4 * 1 * 2 / 4).
    EXPECT_EQ(v3.at(22, 10), 0xFF123456u);
}

TEST(Views, ViewsThatCannotBeAllocatedKeepThoseMade) {
    Doc d;
    int allowed = 0;
    // The background plate is made first; allow it, then two views.
    int count = 0;
    Surface::setAllocationHook([&](int w, int h) {
        ++count;
        if (w == 30 && h == 12) return ++allowed <= 3;  // plate, 2 views
        return true;
    });
    d.host.expectMessage(kOutOfMemoryMessage, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Error);
    d.ws->GenerateViews(nullptr, 2, false);
    Surface::setAllocationHook(nullptr);
    EXPECT_FALSE(d.ws->view(0).empty());
    EXPECT_FALSE(d.ws->view(1).empty());
    EXPECT_TRUE(d.ws->view(2).empty());
    EXPECT_GT(count, 0);
}

TEST(Views, ProgressRunsFromOneTo100) {
    Doc d;
    struct Recorder : ProgressSink {
        std::vector<int> positions;
        void setRange(int, int) override {}
        void setPosition(int p) override { positions.push_back(p); }
    } rec;
    d.ws->GenerateViews(&rec, 2, false);
    ASSERT_FALSE(rec.positions.empty());
    EXPECT_EQ(rec.positions.front(), 1);
    EXPECT_EQ(rec.positions.back(), 100);
    EXPECT_TRUE(std::is_sorted(rec.positions.begin(), rec.positions.end()));
}

TEST(Views, AnimationPingPongs) {
    Doc d(2);
    d.ws->GenerateViews(nullptr, 2, false);
    d.ws->StartViewAnimation();
    EXPECT_EQ(d.ws->mode(), kModeAnimation);
    std::vector<int> frames{d.ws->animationFrame()};
    for (int i = 0; i < 4; ++i) {
        d.ws->AnimationTick();
        frames.push_back(d.ws->animationFrame());
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 0, 1, 0}));
    EXPECT_EQ(d.ws->animationInterval(), 400);  // 100 * 8 / 2

    Doc e(4);
    e.ws->GenerateViews(nullptr, 2, false);
    e.ws->StartViewAnimation();
    frames = {0};
    for (int i = 0; i < 7; ++i) {
        e.ws->AnimationTick();
        frames.push_back(e.ws->animationFrame());
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 3, 2, 1, 0, 1}));
    EXPECT_TRUE(samePixels(e.ws->display(), e.ws->view(1)));
}

TEST(Views, EnsureViewsAsksBeforeMaking) {
    Doc d;
    d.host.expectMessage("立体画像が作成されていません。作成しますか？", MsgResult::No, MsgButtons::YesNo);
    EXPECT_FALSE(d.ws->EnsureViews());
    d.host.expectMessage("立体画像が作成されていません。作成しますか？", MsgResult::Yes);
    EXPECT_TRUE(d.ws->EnsureViews());
    EXPECT_EQ(d.ws->mode(), kModeAnimation);
    EXPECT_TRUE(d.ws->EnsureViews()) << "no question once views exist";
}

TEST(HighResPair, SizesAndTheEyes) {
    Doc d;
    paintRect(d.ws->region(0).mask, 10, 2, 15, 9);
    d.ws->setStrength(2);
    Surface left, right;
    ASSERT_TRUE(d.ws->GenerateHighResPair(left, right, false));
    EXPECT_EQ(left.width(), 90);
    EXPECT_EQ(left.height(), 36);
    // The region at 8 moves -8*3 = -24 in view 0 (right eye) and +4*3 in view 3.
    const Surface& src = d.ws->source();
    EXPECT_EQ(right.at(3 * 10 - 24 + 1, 3 * 5 + 1), src.at(10, 5));
    EXPECT_EQ(left.at(3 * 10 + 12 + 1, 3 * 5 + 1), src.at(10, 5));
    EXPECT_EQ(d.host.progressCaptions.back(), "高解像度立体画像作成中");

    // A stereo-pair document copies its stored pictures: left = the first.
    ASSERT_TRUE(d.ws->highRes(0).createCopy(gradientPicture(9, 9)));
    ASSERT_TRUE(d.ws->highRes(1).create(9, 9));
    d.ws->setHighResCount(2);
    ASSERT_TRUE(d.ws->GenerateHighResPair(left, right, true));
    EXPECT_TRUE(samePixels(left, d.ws->highRes(0)));
    EXPECT_TRUE(samePixels(right, d.ws->highRes(1)));
}

TEST(Composite, ColumnsInterleaveAndStretch) {
    Doc d(4, 9, 5);
    d.ws->GenerateViews(nullptr, 2, false);
    ASSERT_TRUE(d.ws->Compose());
    const Surface& c = d.ws->composite();
    EXPECT_EQ(c.width(), 18);  // 4 * 9 / 2
    EXPECT_EQ(c.height(), 10);
    for (int k = 0; 2 * k < 9; ++k)
        for (int i = 0; i < 4; ++i) {
            const int col = 4 * k + i;
            if (col >= c.width()) continue;  // the last group is clipped
            for (int y = 0; y < 10; ++y)
                ASSERT_EQ(c.at(col, y), d.ws->view(i).at(2 * k, y / 2)) << "column " << col << " row " << y;
        }
    EXPECT_EQ(d.ws->mode(), kModeComposite);
    EXPECT_EQ(d.ws->display().width(), 9) << "shown at W x H";
}

TEST(Composite, SaveSaysTheDpi) {
    Doc d(4, 9, 5);
    d.ws->GenerateViews(nullptr, 2, false);
    ASSERT_TRUE(d.ws->Compose());
    d.host.expectMessage(
        "保存した画像は解像度を240DPIで印刷してください。解像度を設定しないで印刷すると立体的に見ることができません",
        MsgResult::Ok, MsgButtons::Ok, MsgIcon::Information);
    d.host.expectFileDialog(d.dir.file("c.bmp"));
    EXPECT_EQ(d.ws->SaveComposite(), 1);
    EXPECT_EQ(std::filesystem::file_size(d.dir.file("c.bmp")), 54u + 56u * 10u);
}

// The composite written row by row as it is made is the very file of the
// composite built whole and saved, in every format, for pitches that clip
// the last group of columns and stretch rows unevenly.
TEST(Composite, RowsWrittenAsTheyAreMadeGiveTheFileOfTheWholeComposite) {
    for (int pitch : {1, 2, 3}) {
        TestDocument d(37, 23, "[Lenticular]\nSize=7\nPitch=" + std::to_string(pitch) + "\n");
        paintRect(d.ws->region(0).mask, 5, 3, 20, 19);
        d.ws->region(0).depth = 6;
        d.ws->backgroundDepth = -9;
        d.ws->GenerateViews(nullptr, 3, false);
        const std::string dpi = "保存した画像は解像度を" + std::to_string(static_cast<int>(7 * d.ws->lpi())) +
                                "DPIで印刷してください。解像度を設定しないで印刷すると立体的に見ることができません";
        for (const char* ext : {".bmp", ".jpg", ".png"}) {
            const std::string streamed = d.dir.file(std::string("s") + ext), whole = d.dir.file(std::string("w") + ext);
            d.host.expectMessage(dpi, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Information);
            ASSERT_EQ(d.ws->WriteComposite(streamed), 1) << ext;
            if (std::string(ext) == ".bmp") {
                EXPECT_TRUE(d.ws->composite().empty()) << "nothing built whole";
            }
            ASSERT_TRUE(d.ws->BuildComposite());
            d.host.expectMessage(dpi, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Information);
            ASSERT_EQ(d.ws->SaveComposite(whole), 1) << ext;
            EXPECT_EQ(d.ws->compositeSize().cx, d.ws->composite().width());
            EXPECT_EQ(d.ws->compositeSize().cy, d.ws->composite().height());
            std::ifstream a(streamed, std::ios::binary), b(whole, std::ios::binary);
            const std::string sa{std::istreambuf_iterator<char>(a), {}}, sb{std::istreambuf_iterator<char>(b), {}};
            EXPECT_GT(sa.size(), 100u) << ext;
            EXPECT_EQ(sa == sb, true) << "pitch " << pitch << ext;
        }
    }
}

namespace {

// Masks with holes, runs touching either edge, one empty mask and regions
// overlapping each other, on a picture wide enough for the eight-at-a-time
// skips and the reversed-copy fills.
std::vector<Surface> awkwardMasks(int w, int h) {
    std::vector<Surface> masks(4);
    for (auto& m : masks) EXPECT_TRUE(m.create(w, h));
    paintRect(masks[0], 0, 2, 25, 17);
    paintRect(masks[0], 5, 6, 9, 9);  // painted twice: no change
    for (int y = 4; y < 15; ++y)
        for (int x = 20 + y % 3; x < 60; x += 2 + (x + y) % 5) masks[1].set(x, y, kWhite);
    paintRect(masks[2], 40, 0, w, h);
    for (int y = 3; y < 10; ++y) masks[2].set(50 + y, y, kBlack);  // holes
    return masks;  // masks[3] stays empty
}

}  // namespace

// The row-by-row cards and background plate equal the ones made from whole
// mirror-filled plates, and drawing a card (solid rows copied, holed rows
// blended) equals the mask rule target = card inside, target outside.
TEST(RegionCards, MatchWholePlatesAndTheMaskRule) {
    const int w = 71, h = 19;
    Surface source;
    ASSERT_TRUE(source.create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) source.set(x, y, static_cast<Pixel>(x * 2654435761u ^ y * 40503u));
    const std::vector<Surface> masks = awkwardMasks(w, h);
    const int c = static_cast<int>(masks.size());
    std::vector<const Surface*> list;
    std::vector<Rect> bounds;
    for (const Surface& m : masks) {
        list.push_back(&m);
        bounds.push_back(maskBounds(m));
    }
    std::vector<Card> cards;
    Surface plate;
    ASSERT_TRUE(buildRegionCards(cards, plate, source, list, bounds));
    ASSERT_EQ(cards.size(), masks.size());
    EXPECT_TRUE(cards[3].empty());

    // Masks cut to their bounds give the same cards and plate.
    std::vector<Surface> cut(masks.size());
    std::vector<const Surface*> cutList;
    for (std::size_t i = 0; i < masks.size(); ++i) {
        const Rect& b = bounds[i];
        if (b.width() > 0) {
            ASSERT_TRUE(cut[i].create(b.width(), b.height()));
            blit(cut[i], 0, 0, b.width(), b.height(), &masks[i], b.left, b.top, Rop::Copy);
        }
        cutList.push_back(&cut[i]);
    }
    std::vector<Card> cutCards;
    Surface cutPlate;
    ASSERT_TRUE(buildRegionCards(cutCards, cutPlate, source, cutList, bounds));
    EXPECT_TRUE(samePixels(cutPlate, plate));
    for (std::size_t i = 0; i < cards.size(); ++i)
        EXPECT_TRUE(cards[i].empty() ? cutCards[i].empty() : samePixels(cutCards[i].pixels, cards[i].pixels)) << i;
    cutList[1] = &cut[0];
    EXPECT_FALSE(buildRegionCards(cutCards, cutPlate, source, cutList, bounds)) << "a mask of neither size";

    Surface unionMask, wholePlate;
    ASSERT_TRUE(unionMask.create(w, h));
    for (int i = c - 1; i >= 0; --i) {
        if (i < c - 1) blit(unionMask, masks[static_cast<std::size_t>(i + 1)], Rop::Or);
        ASSERT_TRUE(buildRegionPlate(wholePlate, source, unionMask));
        const Card& card = cards[static_cast<std::size_t>(i)];
        if (card.empty()) continue;
        for (int shift : {-80, -13, 0, 7, 70}) {
            Surface drawn, expected;
            ASSERT_TRUE(drawn.createCopy(source));
            ASSERT_TRUE(expected.createCopy(source));
            drawCard(drawn, card, shift);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if ((masks[static_cast<std::size_t>(i)].at(x, y) & 0xFFFFFF) && x + shift >= 0 && x + shift < w)
                        expected.set(x + shift, y, wholePlate.at(x, y));
            EXPECT_TRUE(samePixels(drawn, expected)) << "card " << i << " at " << shift;
        }
    }
    blit(unionMask, masks[0], Rop::Or);
    ASSERT_TRUE(buildRegionPlate(wholePlate, source, unionMask));
    EXPECT_TRUE(samePixels(plate, wholePlate));
}

// The views come from the masks as they are now, whatever happened to them
// since the last views were made: strokes, undo and redo, a region moved in
// the drawing order or removed. Each time they must equal the views of a
// fresh document holding the same regions.
TEST(Views, RegeneratedViewsFollowEveryChangeOfTheMasks) {
    Doc d(4, 60, 40);
    const auto stroke = [&](Point a, Point b) {
        d.ws->LButtonDown(a);
        d.ws->MouseMove(b);
        d.ws->LButtonUp(b);
    };
    const auto expectFresh = [&](const char* step) {
        d.ws->GenerateViews(nullptr, 2, false);
        Doc fresh(4, 60, 40);
        fresh.ws->backgroundDepth = d.ws->backgroundDepth;
        for (int i = 0; i < d.ws->regionCount(); ++i) {
            if (i > 0) {
                ASSERT_TRUE(fresh.ws->appendRegion(0));
            }
            fresh.ws->region(i).depth = std::as_const(*d.ws).region(i).depth;
            ASSERT_TRUE(fresh.ws->region(i).mask.createCopy(std::as_const(*d.ws).region(i).mask));
        }
        fresh.ws->GenerateViews(nullptr, 2, false);
        for (int a = 0; a < 4; ++a) EXPECT_TRUE(samePixels(d.ws->view(a), fresh.ws->view(a))) << step << ", view " << a;
    };
    stroke({10, 10}, {20, 12});
    expectFresh("first stroke");
    stroke({40, 30}, {50, 35});  // beyond the first stroke's bounds
    expectFresh("second stroke");
    d.ws->Undo();
    expectFresh("undo");
    d.ws->Redo();
    expectFresh("redo");
    paintRect(d.ws->region(0).mask, 0, 0, 3, 3);
    expectFresh("mask painted directly");
    ASSERT_TRUE(d.ws->appendRegion(-4));
    paintRect(d.ws->region(1).mask, 25, 5, 45, 25);
    expectFresh("second region");
    d.ws->setCurrentRegion(1);
    d.ws->MoveRegionInOrder(0);
    expectFresh("regions reordered");
    d.ws->removeRegion(0);
    expectFresh("region removed");
}

namespace {

// A document using every layer a view is drawn from: four regions with
// holes, overlaps and an empty mask, region 0's shadow, and a paint layer
// with its shadow, all at different depths.
void fillEveryLayer(TestDocument& d) {
    const int w = d.ws->width(), h = d.ws->height();
    std::vector<Surface> masks = awkwardMasks(w, h);
    for (std::size_t i = 0; i < masks.size(); ++i) {
        if (i > 0) {
            ASSERT_TRUE(d.ws->appendRegion(0));
        }
        d.ws->region(static_cast<int>(i)).depth = 9 - 5 * static_cast<int>(i);
        ASSERT_TRUE(d.ws->region(static_cast<int>(i)).mask.createCopy(masks[i]));
    }
    d.ws->backgroundDepth = -7;
    d.ws->regionShadow = 1;
    d.ws->paintShadow = 1;
    d.ws->paintDepth = 5;
    ASSERT_TRUE(d.ws->ensurePaintLayer());
    paintRect(d.ws->paintMask(), 3, h - 6, 30, h - 1);
    paintRect(d.ws->paintLayer(), 0, 0, w, h);
}

// The document filled as above and its views at strength 2, copied (empty
// when a copy fails).
std::vector<Surface> everyLayerViews(TestDocument& d) {
    fillEveryLayer(d);
    d.ws->GenerateViews(nullptr, 2, false);
    std::vector<Surface> whole(static_cast<std::size_t>(d.ws->viewCount()));
    for (int a = 0; a < d.ws->viewCount(); ++a)
        if (!whole[static_cast<std::size_t>(a)].createCopy(d.ws->view(a))) return {};
    return whole;
}

std::string fileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

}  // namespace

// The views made a band at a time, and the composite written from the bands,
// are the very views and file of the whole-view path: bands of one row, of
// rows that do not divide the height and of the whole picture, the file's
// rows asked top down (JPEG, PNG) and bottom up (BMP), and a pitch above N
// whose composite skips view rows (and so whole bands of one row).
TEST(ViewBands, GiveTheViewsAndCompositeOfWholeViews) {
    for (int pitch : {1, 3, 7}) {
        TestDocument d(67, 23, "[Lenticular]\nSize=5\nPitch=" + std::to_string(pitch) + "\n");
        fillEveryLayer(d);
        d.ws->GenerateViews(nullptr, 3, false);
        std::vector<Surface> whole(5);
        for (int a = 0; a < 5; ++a) ASSERT_TRUE(whole[static_cast<std::size_t>(a)].createCopy(d.ws->view(a)));
        ASSERT_TRUE(d.ws->canGenerateViewBands());
        ASSERT_TRUE(d.ws->BeginViewBands(3));
        EXPECT_TRUE(d.ws->view(0).empty()) << "the whole views are discarded";
        std::vector<Surface> bands;
        for (int rows : {1, 4, 23}) {
            for (int y0 = 0; y0 < 23; y0 += rows) {
                ASSERT_TRUE(d.ws->MakeViewBand(y0, y0 + rows, bands));
                for (int a = 0; a < 5; ++a)
                    for (int y = y0; y < std::min(23, y0 + rows); ++y)
                        ASSERT_TRUE(std::equal(whole[static_cast<std::size_t>(a)].row(y), whole[static_cast<std::size_t>(a)].row(y) + 67,
                                               bands[static_cast<std::size_t>(a)].row(y - y0)))
                            << "view " << a << " row " << y << ", bands of " << rows;
            }
        }
        const std::string dpi = "保存した画像は解像度を" + std::to_string(static_cast<int>(5 * d.ws->lpi())) +
                                "DPIで印刷してください。解像度を設定しないで印刷すると立体的に見ることができません";
        for (const char* ext : {".bmp", ".jpg", ".png"}) {
            d.ws->GenerateViews(nullptr, 3, false);
            const std::string whole = d.dir.file(std::string("w") + ext);
            d.host.expectMessage(dpi, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Information);
            ASSERT_EQ(d.ws->WriteComposite(whole), 1);
            for (int rows : {0, 1, 5}) {
                const std::string banded = d.dir.file("b" + std::to_string(rows) + ext);
                d.host.expectMessage(dpi, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Information);
                ASSERT_EQ(d.ws->GenerateAndWriteComposite(banded, nullptr, 3, rows), 1);
                EXPECT_TRUE(d.ws->view(0).empty()) << "no view kept";
                EXPECT_TRUE(fileBytes(banded) == fileBytes(whole)) << "pitch " << pitch << ", bands of " << rows << ext;
            }
        }
    }
}

// Views handed a row at a time are the whole views, however the rows are
// asked for: from the top down or from the bottom up across several bands,
// and back to a row of a band already left. None is kept, and once the sink
// refuses, no further view is begun.
TEST(ViewBands, ViewRowsHandedToASinkAreTheWholeViews) {
    constexpr int kW = 2000, kH = 61;  // bands of 24 rows
    TestDocument d(kW, kH, "[Lenticular]\nSize=6\n");
    const std::vector<Surface> whole = everyLayerViews(d);
    ASSERT_EQ(whole.size(), 6u);
    std::vector<int> seen(6, 0);
    std::mutex lock;
    ASSERT_TRUE(d.ws->GenerateViewRowsInto(nullptr, 2, [&](int a, const PictureRows& rows) {
        const Surface& view = whole[static_cast<std::size_t>(a)];
        const auto same = [&](int y) {
            const Pixel* p = rows.row(y);
            return p && std::equal(p, p + kW, view.row(y));
        };
        bool all = rows.width == kW && rows.height == kH;
        for (int k = 0; k < kH && all; ++k) all = same(a % 2 ? kH - 1 - k : k);
        all = all && same(a % 2 ? kH - 1 : 0) && same(kH / 2) && !rows.row(kH);
        std::lock_guard<std::mutex> hold(lock);
        ++seen[static_cast<std::size_t>(a)];
        EXPECT_TRUE(all) << "view " << a;
        return true;
    }));
    EXPECT_EQ(seen, std::vector<int>(6, 1));
    for (int a = 0; a < 6; ++a) EXPECT_TRUE(d.ws->view(a).empty());
    std::atomic<int> calls{0};
    EXPECT_FALSE(d.ws->GenerateViewRowsInto(nullptr, 2, [&](int, const PictureRows&) { return ++calls > 100; }));
    EXPECT_LE(calls.load(), std::max(1, cv::getNumThreads())) << "one view per thread at most";
}

// Views handed out as they are made are the views GenerateViews makes, in
// batches whose memory is reused; none is kept, and a refusing sink ends the
// work. Objects drawn into views keep a document out of the band path.
TEST(ViewBands, ViewsHandedToASinkAndWhatKeepsTheBandsOut) {
    TestDocument d(67, 23, "[Lenticular]\nSize=6\n");
    const std::vector<Surface> whole = everyLayerViews(d);
    ASSERT_EQ(whole.size(), 6u);
    std::vector<int> seen(6, 0);
    std::mutex lock;
    ASSERT_TRUE(d.ws->GenerateViewsInto(nullptr, 2, [&](int a, const Surface& v) {
        std::lock_guard<std::mutex> hold(lock);
        ++seen[static_cast<std::size_t>(a)];
        EXPECT_TRUE(samePixels(v, whole[static_cast<std::size_t>(a)])) << "view " << a;
        return true;
    }));
    EXPECT_EQ(seen, std::vector<int>(6, 1));
    for (int a = 0; a < 6; ++a) EXPECT_TRUE(d.ws->view(a).empty());
    std::atomic<int> calls{0};
    EXPECT_FALSE(d.ws->GenerateViewsInto(nullptr, 2, [&](int, const Surface&) { return ++calls > 100; }));
    EXPECT_LT(calls.load(), 6) << "the batches after a refusal are not made";

    auto text = std::make_shared<OverlayObject>();
    text->flags = kTextFlat;
    ASSERT_TRUE(d.ws->appendObject(kObjectText, text));
    EXPECT_TRUE(d.ws->canGenerateViewBands()) << "flat texts are not drawn into views";
    auto shape = std::make_shared<OverlayObject>();
    ASSERT_TRUE(d.ws->appendObject(kObjectShape, shape));
    EXPECT_FALSE(d.ws->canGenerateViewBands());
    EXPECT_FALSE(d.ws->BeginViewBands(2));
}
