// A real-looking pair through the workspace: opened aligned (or not, when
// asked), and its in-between views made densely at evenly spaced fractions,
// matched by the same rule whichever way the views are asked for.
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "stereo/PairAlign.h"
#include "stereo/PatternMultiView.h"
#include "stereo/StereoFiles.h"
#include "stereo/StereoScenes.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>

using namespace plastora;
using namespace plastora::test;

namespace {

constexpr int kW = 320, kH = 240;

// Keeps the status notes the workspace gives.
class NoteHost : public ScriptedHost {
public:
    std::vector<std::string> notes;
    void status(const std::string& text) override { notes.push_back(text); }
};

const TwoLayerScene& scene() {
    static const TwoLayerScene s(kW, kH, 11, cv::Rect(120, 70, 100, 100), 6, 22);
    return s;
}

int share(const Surface& a, const Surface& b, int border) {
    int good = 0, counted = 0;
    for (int y = border; y < a.height() - border; ++y)
        for (int x = border; x < a.width() - border; ++x) {
            ++counted;
            int d = 0;
            for (int c = 0; c < 3; ++c)
                d = std::max(d, std::abs(int((a.at(x, y) >> (8 * c)) & 0xFF) - int((b.at(x, y) >> (8 * c)) & 0xFF)));
            good += d <= 24 ? 1 : 0;
        }
    return good * 100 / counted;
}

// A stereo-pair document of `views` views over the scene's two eyes.
struct Doc {
    TempDir dir;
    NoteHost host;
    std::unique_ptr<CStereoWorkspace> ws;
    explicit Doc(int views) {
        std::ofstream(dir.file("Plastora.ini")) << "[Lenticular]\nSize=" << views << "\n[PM]\nCheckMatch=0\n";
        ws = std::make_unique<CStereoWorkspace>(host, dir.file("Plastora.ini"));
        Surface photo = scene().view(kW, kH, 0.0);
        ws->adoptPicture(std::move(photo));
        ws->highRes(0) = scene().view(kW, kH, 0.0);
        ws->highRes(1) = scene().view(kW, kH, 1.0);
        ws->setHighResCount(2);
        ws->setStereoPair(true);
    }
    ~Doc() { forgetPatternMultiView(*ws); }
};

}  // namespace

TEST(PairViewsBuild, DenseViewsSitAtEvenlySpacedFractions) {
    Doc d(4);
    ASSERT_EQ(BuildPatternMultiView(*d.ws, nullptr, 4, true), 1);
    EXPECT_TRUE(d.host.done());
    const PatternMultiViewState& state = *patternMultiViewState(*d.ws);
    EXPECT_EQ(state.method, kMethodDense);
    EXPECT_FALSE(state.warned);
    EXPECT_LT(state.failurePercent, 10);
    // The range measured before matching, as x(right) - x(left).
    ASSERT_TRUE(state.rangeKnown);
    EXPECT_NEAR(state.displacementLow, -22.0, 2.0);
    EXPECT_NEAR(state.displacementHigh, -6.0, 2.0);
    // View 1 is 2/3 of the way to the right picture, view 2 1/3.
    EXPECT_GT(share(d.ws->view(1), scene().view(kW, kH, 2.0 / 3.0), 24), 90);
    EXPECT_GT(share(d.ws->view(2), scene().view(kW, kH, 1.0 / 3.0), 24), 90);
    // The outer views stay the pictures.
    EXPECT_EQ(share(d.ws->view(0), scene().view(kW, kH, 1.0), 0), 100);
    EXPECT_EQ(share(d.ws->view(3), scene().view(kW, kH, 0.0), 0), 100);
}

TEST(PairViewsBuild, EveryWayOfMakingViewsMatchesByTheDialogsRule) {
    Doc d(4);
    // Strength 4 with [PM] EnablePM on: the stereo dialog starts ticked,
    // so plain view generation matches too.
    d.ws->GenerateViews(nullptr, 4, false);
    EXPECT_TRUE(patternMultiViewState(*d.ws)->patternMatch);
    EXPECT_GT(share(d.ws->view(1), scene().view(kW, kH, 2.0 / 3.0), 24), 90);
    // Strength 2: the dialog starts unticked, and the views are the pictures.
    d.ws->GenerateViews(nullptr, 2, false);
    EXPECT_FALSE(patternMultiViewState(*d.ws)->patternMatch);
    EXPECT_EQ(share(d.ws->view(1), scene().view(kW, kH, 1.0), 0), 100);
    // Only the outer two wanted: nothing to match.
    d.ws->GenerateViews(nullptr, 4, true);
    EXPECT_FALSE(patternMultiViewState(*d.ws)->patternMatch);
}

TEST(PairViewsBuild, OpeningAHandHeldPairAlignsItUnlessAskedNotTo) {
    TempDir pics;
    SilentHost silent;
    const Surface left = scene().view(kW, kH, 0.0);
    const Surface right = misaligned(scene().view(kW, kH, 1.0), 1.0, 12.0);
    ASSERT_EQ(SaveStillImage(silent, left, kW, kH, pics.file("P_L.bmp"), 95), 1);
    ASSERT_EQ(SaveStillImage(silent, right, kW, kH, pics.file("P_R.bmp"), 95), 1);

    for (const bool align : {true, false}) {
        SCOPED_TRACE(align);
        TempDir dir;
        NoteHost host;
        CStereoWorkspace ws(host, dir.file("Plastora.ini"));
        host.expectMessage(kStereoSecondPictureQuestion, MsgResult::Yes).expectFileDialog(pics.file("P_R.bmp"));
        ASSERT_EQ(OpenStereoImage(ws, pics.file("P_L.bmp"), align), 1);
        ASSERT_EQ(ws.highResCount(), 2);
        const PairAlignment after = estimatePairAlignment(ws.highRes(0), ws.highRes(1));
        ASSERT_TRUE(after.ok);
        if (align) {
            ASSERT_EQ(host.notes.size(), 1u);
            EXPECT_EQ(host.notes[0].rfind("位置合わせ: 縦 ", 0), 0u) << host.notes[0];
            // The rows of the two pictures now correspond.
            EXPECT_LT(std::abs(after.dy), 0.5 * ws.highRes(0).height() / kH + 0.5);
            EXPECT_LT(std::abs(after.angleDegrees), 0.1);
        } else {
            EXPECT_TRUE(host.notes.empty());
            EXPECT_NEAR(after.angleDegrees, -1.0, 0.15);
        }
        forgetPatternMultiView(ws);
    }

    // A pair without common features is kept as it is, with a note.
    Surface plain;
    ASSERT_TRUE(plain.create(kW, kH));
    fillRect(plain, Rect{0, 0, kW, kH}, RGB(90, 90, 90));
    ASSERT_EQ(SaveStillImage(silent, plain, kW, kH, pics.file("F_L.bmp"), 95), 1);
    ASSERT_EQ(SaveStillImage(silent, plain, kW, kH, pics.file("F_R.bmp"), 95), 1);
    TempDir dir;
    NoteHost host;
    CStereoWorkspace ws(host, dir.file("Plastora.ini"));
    host.expectMessage(kStereoSecondPictureQuestion, MsgResult::Yes).expectFileDialog(pics.file("F_R.bmp"));
    ASSERT_EQ(OpenStereoImage(ws, pics.file("F_L.bmp")), 1);
    ASSERT_EQ(host.notes.size(), 1u);
    EXPECT_EQ(host.notes[0], kPairNotAlignedMessage);
}
