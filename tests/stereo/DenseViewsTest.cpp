// Dense disparity and view synthesis on synthetic scenes whose disparity
// and in-between views are known exactly.
#include "stereo/DenseViews.h"
#include "stereo/StereoScenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace plastora;
using namespace plastora::test;

namespace {

constexpr int kW = 320, kH = 240;

struct Scene {
    TwoLayerScene scene{kW, kH, 3, cv::Rect(110, 60, 110, 120), 6, 20};
    Surface left = scene.view(kW, kH, 0.0);
    Surface right = scene.view(kW, kH, 1.0);
    DisparityMaps maps;
    Scene() {
        DenseMatchOptions o;
        o.minDisparity = 0;
        o.maxDisparity = 28;
        computeDisparityMaps(left, right, o, maps);
    }
};

const Scene& shared() {
    static const Scene s;
    return s;
}

int maxChannelDifference(Pixel a, Pixel b) {
    int d = 0;
    for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(int((a >> (8 * c)) & 0xFF) - int((b >> (8 * c)) & 0xFF)));
    return d;
}

}  // namespace

TEST(DenseViews, ViewsAreEvenlySpacedFromRightToLeft) {
    EXPECT_DOUBLE_EQ(viewFraction(0, 4), 1.0);
    EXPECT_DOUBLE_EQ(viewFraction(1, 4), 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(viewFraction(2, 4), 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(viewFraction(3, 4), 0.0);
    EXPECT_DOUBLE_EQ(viewFraction(0, 2), 1.0);
    EXPECT_DOUBLE_EQ(viewFraction(0, 1), 0.0);
}

TEST(DenseViews, DisparityFollowsBothLayers) {
    const Scene& s = shared();
    ASSERT_EQ(s.maps.width, kW);
    ASSERT_EQ(s.maps.height, kH);
    // Within a pixel of the truth, away from the layer edges (where one eye
    // sees what the other cannot) and from the left border (whose points
    // are outside the right picture).
    int near = 0, counted = 0;
    for (int y = 8; y < kH - 8; ++y)
        for (int x = 40; x < kW - 8; ++x) {
            const int truth = s.scene.disparityAt(x, y);
            bool edge = false;
            for (int dx = -24; dx <= 24 && !edge; dx += 4) edge = s.scene.disparityAt(std::clamp(x + dx, 0, kW - 1), y) != truth;
            if (edge || s.scene.disparityAt(x, std::clamp(y - 6, 0, kH - 1)) != truth ||
                s.scene.disparityAt(x, std::clamp(y + 6, 0, kH - 1)) != truth)
                continue;
            ++counted;
            if (std::abs(s.maps.left[static_cast<std::size_t>(y) * kW + x] - truth) <= 1.0f) ++near;
        }
    ASSERT_GT(counted, 10000);
    EXPECT_GT(near * 100 / counted, 95) << near << " of " << counted;
    EXPECT_GT(consistentSharePercent(s.left, s.right, s.maps), 85);
}

TEST(DenseViews, MiddleViewMatchesTheSceneAndEndsAreThePictures) {
    const Scene& s = shared();
    Surface middle;
    ASSERT_TRUE(synthesizeView(s.left, s.right, s.maps, 0.5, middle));
    const Surface truth = s.scene.view(kW, kH, 0.5);
    int good = 0, counted = 0;
    for (int y = 4; y < kH - 4; ++y)
        for (int x = 24; x < kW - 24; ++x) {
            ++counted;
            if (maxChannelDifference(middle.at(x, y), truth.at(x, y)) <= 24) ++good;
        }
    EXPECT_GT(good * 100 / counted, 93) << good << " of " << counted;
    // The foreground moved by half its disparity: its left edge, at 110 in
    // the left picture, is at 100 in the middle view, so the columns 101 to
    // 108 show it (background there would mean it moved too little).
    int edgeHits = 0;
    for (int y = 80; y < 160; ++y)
        for (int x = 101; x <= 108; ++x) edgeHits += maxChannelDifference(middle.at(x, y), truth.at(x, y)) <= 24 ? 1 : 0;
    EXPECT_GT(edgeHits, 80 * 8 * 85 / 100);

    Surface atLeft, atRight;
    ASSERT_TRUE(synthesizeView(s.left, s.right, s.maps, 0.0, atLeft));
    ASSERT_TRUE(synthesizeView(s.left, s.right, s.maps, 1.0, atRight));
    EXPECT_TRUE(std::equal(atLeft.bits(), atLeft.bits() + atLeft.pixelCount(), s.left.bits()));
    EXPECT_TRUE(std::equal(atRight.bits(), atRight.bits() + atRight.pixelCount(), s.right.bits()));
}

TEST(DenseViews, UnrelatedPicturesAreNotConsistent) {
    const Scene& s = shared();
    const TwoLayerScene other(kW, kH, 77, cv::Rect(0, 0, 10, 10), 0, 0);
    const Surface stranger = other.view(kW, kH, 0.0);
    DenseMatchOptions o;
    o.minDisparity = -40;
    o.maxDisparity = 40;
    DisparityMaps maps;
    ASSERT_TRUE(computeDisparityMaps(s.left, stranger, o, maps));
    EXPECT_LT(consistentSharePercent(s.left, stranger, maps), 40);
}

TEST(DenseViews, RefusesPicturesThatDoNotFit) {
    const Scene& s = shared();
    Surface small;
    ASSERT_TRUE(small.create(kW / 2, kH));
    DisparityMaps maps;
    EXPECT_FALSE(computeDisparityMaps(s.left, small, DenseMatchOptions{}, maps));
    EXPECT_EQ(maps.width, 0);
    Surface out;
    EXPECT_FALSE(synthesizeView(s.left, small, s.maps, 0.5, out));
    // A search range wider than the picture cannot be matched.
    DenseMatchOptions wide;
    wide.minDisparity = -400;
    wide.maxDisparity = 400;
    EXPECT_FALSE(computeDisparityMaps(s.left, s.right, wide, maps));
}

// A search wider than the matcher takes at once is matched on the pair
// reduced (its time and memory stay bounded) and still finds both layers,
// to within the reduction.
TEST(DenseViews, AWideSearchIsMatchedReduced) {
    constexpr int w = 960, h = 160;
    const TwoLayerScene scene(w, h, 5, cv::Rect(400, 30, 300, 100), 30, 60);
    const Surface left = scene.view(w, h, 0.0), right = scene.view(w, h, 1.0);
    DenseMatchOptions o;
    o.minDisparity = 0;
    o.maxDisparity = 300;
    DisparityMaps maps;
    ASSERT_TRUE(computeDisparityMaps(left, right, o, maps));
    ASSERT_EQ(maps.width, w);
    ASSERT_EQ(maps.left.size(), static_cast<std::size_t>(w) * h);
    int near = 0, counted = 0;
    for (int y = 12; y < h - 12; y += 2)
        for (int x = 320; x < w - 12; x += 2) {  // left of 300 the right picture cannot show
            const int truth = scene.disparityAt(x, y);
            if (std::abs(x - 400) < 70 || std::abs(x - 700) < 70 || std::abs(y - 30) < 12 || std::abs(y - 130) < 12)
                continue;
            ++counted;
            near += std::abs(maps.left[static_cast<std::size_t>(y) * w + x] - truth) <= 4.0f;
        }
    ASSERT_GT(counted, 3000);
    EXPECT_GT(near * 100 / counted, 85) << near << " of " << counted;
}

// A right picture darker than the left (another exposure) matched right is
// counted as consistent: only the shapes are compared, not the levels.
TEST(DenseViews, ADarkerPictureIsStillConsistent) {
    const Scene& s = shared();
    Surface darker;
    ASSERT_TRUE(darker.createCopy(s.right));
    for (int y = 0; y < kH; ++y)
        for (Pixel* p = darker.row(y); p < darker.row(y) + kW; ++p) {
            Pixel out = *p & 0xFF000000u;
            for (int c = 0; c < 3; ++c) out |= static_cast<Pixel>(std::max(0, int((*p >> (8 * c)) & 0xFF) - 40)) << (8 * c);
            *p = out;
        }
    EXPECT_GT(consistentSharePercent(s.left, darker, s.maps), 80);
}
