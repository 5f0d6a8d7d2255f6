// Alignment of a stereo pair: synthetic scenes with known disparity whose
// right picture is turned and moved down, as a hand-held second shot is.
#include "platform/Translation.h"
#include "stereo/PairAlign.h"
#include "stereo/StereoScenes.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace plastora;
using namespace plastora::test;

namespace {

constexpr int kW = 640, kH = 480;

struct Scene {
    TwoLayerScene scene{kW, kH, 7, cv::Rect(200, 140, 220, 200), 8, 30};
    Surface left = scene.view(kW, kH, 0.0);
    Surface right = scene.view(kW, kH, 1.0);
};

const Scene& shared() {
    static const Scene s;
    return s;
}

}  // namespace

TEST(PairAlign, CorrectsOffsetAndRotationAndKeepsTheDisparity) {
    const Scene& s = shared();
    struct Case {
        double degrees, dy;
    };
    for (const Case c : {Case{1.0, 20.0}, Case{-0.6, -12.5}, Case{0.0, 0.0}}) {
        SCOPED_TRACE(::testing::Message() << c.degrees << " deg, " << c.dy << " px");
        const Surface askew = misaligned(s.right, c.degrees, c.dy);
        const PairAlignment a = estimatePairAlignment(s.left, askew);
        ASSERT_TRUE(a.ok) << a.matches << " matches, " << a.inliers << " agreeing";
        EXPECT_NEAR(a.angleDegrees, -c.degrees, 0.1);
        EXPECT_NEAR(a.dy, -c.dy, 1.0);
        EXPECT_NEAR(a.scale, 1.0, 0.005);
        // Disparity as x(right) - x(left): the background at -8, the
        // rectangle at -30; the percentiles span both.
        EXPECT_NEAR(a.disparityLow, -30.0, 2.0);
        EXPECT_NEAR(a.disparityHigh, -8.0, 2.0);

        // Corrected, the pair has no vertical error left to find.
        Surface fixed;
        ASSERT_TRUE(applyPairAlignment(askew, a, fixed));
        const PairAlignment again = estimatePairAlignment(s.left, fixed);
        ASSERT_TRUE(again.ok);
        EXPECT_LT(std::abs(again.dy), 0.5);
        EXPECT_LT(std::abs(again.angleDegrees), 0.1);
        EXPECT_EQ(a.changesPicture(kW, kH), c.degrees != 0.0 || c.dy != 0.0);

        // The edge the correction uncovers takes the left picture there, not
        // a smear of the right one's edge row.
        if (c.dy == 0.0) continue;
        Surface filled;
        ASSERT_TRUE(applyPairAlignment(askew, a, filled, &s.left));
        const int row = c.dy > 0 ? kH - 2 : 1;  // beyond the moved picture's edge
        EXPECT_EQ(filled.at(kW / 2, row), s.left.at(kW / 2, row));
        EXPECT_EQ(filled.at(kW / 2, kH / 2), fixed.at(kW / 2, kH / 2)) << "the covered part is the corrected picture";
    }
}

TEST(PairAlign, LeavesPicturesWithoutCommonFeaturesAlone) {
    const Scene& s = shared();
    // Two unrelated pictures: matches exist (ratio-tested by chance) but do
    // not agree on one alignment.
    const TwoLayerScene other(kW, kH, 99, cv::Rect(10, 10, 50, 50), 0, 0);
    const PairAlignment unrelated = estimatePairAlignment(s.left, other.view(kW, kH, 0.0));
    EXPECT_FALSE(unrelated.ok);

    // A plain picture has no features at all.
    Surface plain;
    ASSERT_TRUE(plain.create(kW, kH));
    fillRect(plain, Rect{0, 0, kW, kH}, RGB(120, 130, 140));
    const PairAlignment none = estimatePairAlignment(plain, plain);
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.matches, 0);

    // Pictures a pixel or a few high or wide (the size of the working
    // picture on some papers) are not aligned, and nothing throws.
    for (const auto& [w, h] : {std::pair{40, 1}, {1, 40}, {1, 1}, {800, 1}, {600, 3}}) {
        Surface thin;
        ASSERT_TRUE(thin.create(w, h));
        for (int x = 0; x < w; ++x) thin.set(x, 0, RGB(x * 37 % 256, x * 11 % 256, 0));
        EXPECT_FALSE(estimatePairAlignment(thin, thin).ok) << w << " x " << h;
    }

    // Not aligned means the picture is copied unchanged.
    Surface copy;
    ASSERT_TRUE(applyPairAlignment(s.right, unrelated, copy));
    EXPECT_TRUE(std::equal(copy.bits(), copy.bits() + copy.pixelCount(), s.right.bits()));
}

TEST(PairAlign, DescribesTheCorrection) {
    PairAlignment a;
    a.ok = true;
    a.dy = 24.6;
    a.angleDegrees = 0.84;
    EXPECT_EQ(describeAlignment(a, 0.5), "縦 12.3 px, 回転 0.8°");
    a.scale = 1.005;
    EXPECT_EQ(describeAlignment(a, 0.5), "縦 12.3 px, 回転 0.8°, 拡大 100.5%");
    a = PairAlignment{};
    a.dy = -0.04;
    a.angleDegrees = -0.01;
    EXPECT_EQ(describeAlignment(a), "縦 0.0 px, 回転 0.0°");

    // In English, negative numbers and the scale included.
    const std::string folder = std::string(PLASTORA_BUNDLE_DIR) + "/translations";
    ASSERT_TRUE(loadTranslations(Language::English, folder));
    a.dy = -19.8;
    a.angleDegrees = -0.84;
    a.scale = 0.952;
    const std::string english = describeAlignment(a);
    loadTranslations(Language::Japanese, folder);
    EXPECT_EQ(english, "vertical -19.8 px, rotation -0.8°, scale 95.2%");
}
