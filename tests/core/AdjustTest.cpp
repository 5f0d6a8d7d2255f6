// Brightness and contrast against hand-worked HSV values, the trackbar's
// page steps, and the rotation of ordinary and stereo-pair documents
// checked against QImage's own rotation.
#include "output/Adjust.h"
#include "support/Pictures.h"
#include "support/TestDocument.h"

#include <QImage>
#include <QTransform>
#include <gtest/gtest.h>

using namespace plastora;
using namespace plastora::test;

namespace {

constexpr Pixel rgb(unsigned r, unsigned g, unsigned b) { return kOpaque | r << 16 | g << 8 | b; }
constexpr Pixel grey(unsigned v) { return rgb(v, v, v); }

// The picture turned by QImage (an independent rotation): angle in degrees,
// clockwise on screen.
Surface turnedByQt(Surface& s, double angle) {
    const QImage turned = s.image().transformed(QTransform().rotate(angle));
    Surface out;
    out.create(turned.width(), turned.height());
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) out.set(x, y, turned.pixel(x, y));
    return out;
}

Surface copyOf(const Surface& s) {
    Surface c;
    c.createCopy(s);
    return c;
}

}  // namespace

// Grey pixels carry V alone: byte = V' x 255 truncated. Values are chosen
// off the integer boundaries so that the expected byte is unambiguous.
TEST(AdjustPixel, BrightnessScalesValueAndCapsAtOne) {
    EXPECT_EQ(AdjustPixel(grey(101), 50, 0), grey(151));   // 101 x 1.5 = 151.5
    EXPECT_EQ(AdjustPixel(grey(200), 50, 0), grey(255));   // 300 capped
    EXPECT_EQ(AdjustPixel(grey(255), 50, 0), grey(255));
    EXPECT_EQ(AdjustPixel(grey(201), -50, 0), grey(100));  // 100.5
    EXPECT_EQ(AdjustPixel(grey(0), 50, 50), grey(0));
    // A colour keeps its hue and saturation: every channel scales with V.
    EXPECT_EQ(AdjustPixel(rgb(201, 101, 51), -50, 0), rgb(100, 50, 25));
    EXPECT_EQ(AdjustPixel(rgb(51, 201, 101), -50, 0), rgb(25, 100, 50));
    EXPECT_EQ(AdjustPixel(rgb(101, 51, 201), -50, 0), rgb(50, 25, 100));
}

TEST(AdjustPixel, ContrastFiftyStretchesTheMiddleHalf) {
    // k = 0.25: below 0.25 black, above 0.75 white, between (V - k) / 0.5.
    EXPECT_EQ(AdjustPixel(grey(51), 0, 50), grey(0));     // V = 0.2
    EXPECT_EQ(AdjustPixel(grey(204), 0, 50), grey(255));  // V = 0.8
    EXPECT_EQ(AdjustPixel(grey(128), 0, 50), grey(128));  // 2 x 128 - 127.5
    EXPECT_EQ(AdjustPixel(grey(64), 0, 50), grey(0));     // 0.5 truncated
    EXPECT_EQ(AdjustPixel(grey(160), 0, 50), grey(192));  // 192.5
    // C = 20 (k = 0.1): 153 -> (0.6 - 0.1) / 0.8 = 0.625 -> 159.375.
    EXPECT_EQ(AdjustPixel(grey(153), 0, 20), grey(159));
}

TEST(AdjustPixel, NegativeContrastCompressesValueAndSaturation) {
    EXPECT_EQ(AdjustPixel(grey(0), 0, -50), grey(63));     // V = 0.25
    EXPECT_EQ(AdjustPixel(grey(255), 0, -50), grey(191));  // V = 0.75
    // Pure red: V = 0.75, S = 1 x 0.75; p = t = 0.75 x 0.25 = 0.1875 -> 47.
    EXPECT_EQ(AdjustPixel(rgb(255, 0, 0), 0, -50), rgb(191, 47, 47));
    EXPECT_EQ(AdjustPixel(rgb(0, 0, 255), 0, -50), rgb(47, 47, 191));
    // Brightness first, then contrast: 255 x 0.5 = 0.5 -> 0.25 + 0.25 = 0.5.
    EXPECT_EQ(AdjustPixel(grey(255), -50, -50), grey(127));
}

TEST(AdjustSurface, ZeroIsExactAndResultsAreMonotonic) {
    Surface ramp;
    ramp.create(256, 1);
    for (int x = 0; x < 256; ++x) ramp.set(x, 0, grey(static_cast<unsigned>(x)));
    Surface out;
    ASSERT_TRUE(AdjustSurface(ramp, out, 0, 0));
    EXPECT_TRUE(samePixels(out, ramp));
    for (int b : {-50, -10, 25, 50})
        for (int c : {-50, -5, 0, 30, 50}) {
            ASSERT_TRUE(AdjustSurface(ramp, out, b, c));
            for (int x = 1; x < 256; ++x)
                ASSERT_LE(out.at(x - 1, 0) & 0xFF, out.at(x, 0) & 0xFF) << b << "," << c << " at " << x;
        }
    // In place gives what a second picture gets.
    Surface photo = gradientPicture(40, 30), inPlace = gradientPicture(40, 30);
    ASSERT_TRUE(AdjustSurface(photo, out, 17, -33));
    ASSERT_TRUE(AdjustSurface(inPlace, inPlace, 17, -33));
    EXPECT_TRUE(samePixels(out, inPlace));
    EXPECT_FALSE(samePixels(out, photo));
}

TEST(AdjustPageStep, MovesToTheNextMultipleOfTenWithinRange) {
    EXPECT_EQ(AdjustPageStep(23, +1), 30);
    EXPECT_EQ(AdjustPageStep(-23, -1), -30);
    EXPECT_EQ(AdjustPageStep(50, +1), 50);
    EXPECT_EQ(AdjustPageStep(-50, -1), -50);
    EXPECT_EQ(AdjustPageStep(23, -1), 10);
    EXPECT_EQ(AdjustPageStep(30, +1), 40);
    EXPECT_EQ(AdjustPageStep(0, -1), -10);
    EXPECT_EQ(AdjustPageStep(45, +1), 50);
}

TEST(AdjustSession, PreviewCancelAndOk) {
    TestDocument doc(60, 40);
    CStereoWorkspace& ws = *doc.ws;
    ws.SetMode(kModeImage);
    const Surface photo = copyOf(ws.source());
    const Surface shown = copyOf(ws.display());
    ws.setModified(false);

    CAdjustSession cancelled(ws);
    ASSERT_TRUE(cancelled.Begin());
    cancelled.Preview(80, -7);  // clamped
    EXPECT_EQ(cancelled.brightness(), 50);
    Surface expected;
    AdjustSurface(shown, expected, 50, -7);
    EXPECT_TRUE(samePixels(ws.display(), expected));
    EXPECT_TRUE(samePixels(ws.source(), photo));
    cancelled.Cancel();
    EXPECT_FALSE(cancelled.active());
    EXPECT_TRUE(samePixels(ws.display(), shown));
    EXPECT_TRUE(samePixels(ws.source(), photo));
    EXPECT_FALSE(ws.modified());

    // Reset before OK: nothing changes.
    CAdjustSession reset(ws);
    ASSERT_TRUE(reset.Begin());
    reset.Preview(20, 20);
    reset.Reset();
    EXPECT_TRUE(samePixels(ws.display(), shown));
    EXPECT_EQ(reset.Ok(), 0);
    EXPECT_TRUE(samePixels(ws.source(), photo));
    EXPECT_FALSE(ws.modified());

    // OK adjusts the photo and the high-resolution copy.
    ASSERT_TRUE(ws.highRes(0).createCopy(gradientPicture(180, 120)));
    ws.setHighResCount(1);
    const Surface hd = copyOf(ws.highRes(0));
    CAdjustSession ok(ws);
    ASSERT_TRUE(ok.Begin());
    ok.Preview(-20, 35);
    EXPECT_EQ(ok.Ok(), 1);
    AdjustSurface(photo, expected, -20, 35);
    EXPECT_TRUE(samePixels(ws.source(), expected));
    EXPECT_TRUE(samePixels(ws.display(), expected));  // rebuilt from the new photo
    AdjustSurface(hd, expected, -20, 35);
    EXPECT_TRUE(samePixels(ws.highRes(0), expected));
    EXPECT_TRUE(ws.modified());
}

TEST(RotateImage, QuarterTurnOfAnOrdinaryDocument) {
    TestDocument doc(640, 480);
    CStereoWorkspace& ws = *doc.ws;
    ws.setRotationAllowed(true);
    ws.source().set(639, 0, rgb(1, 2, 3));  // top-right corner
    ASSERT_TRUE(ws.appendRegion(12));
    paintRect(ws.region(0).mask, 10, 20, 100, 60);
    paintRect(ws.region(1).mask, 600, 0, 640, 30);
    ASSERT_TRUE(ws.ensurePaintLayer());
    fillRect(ws.paintLayer(), {0, 0, 640, 480}, RGB(9, 9, 9));
    paintRect(ws.paintMask(), 0, 0, 640, 10);
    ASSERT_TRUE(ws.highRes(0).createCopy(gradientPicture(64, 48)));  // a stand-in copy
    ws.setHighResCount(1);
    ASSERT_TRUE(ws.TakeSnapshot(kUndoRegionMask));
    ws.setModified(false);
    Surface photo = copyOf(ws.source()), mask0 = copyOf(ws.region(0).mask), mask1 = copyOf(ws.region(1).mask);
    Surface hd = copyOf(ws.highRes(0));

    ASSERT_EQ(RotateImage(ws), 1);
    EXPECT_EQ(ws.width(), 480);
    EXPECT_EQ(ws.height(), 640);
    EXPECT_EQ(ws.source().at(0, 0), rgb(1, 2, 3));
    EXPECT_TRUE(samePixels(ws.source(), turnedByQt(photo, -90)));
    EXPECT_TRUE(samePixels(ws.region(0).mask, turnedByQt(mask0, -90)));
    EXPECT_TRUE(samePixels(ws.region(1).mask, turnedByQt(mask1, -90)));
    EXPECT_TRUE(samePixels(ws.highRes(0), turnedByQt(hd, -90)));
    // The paint layer keeps its strokes where they were; the new part is
    // white and unpainted.
    ASSERT_EQ(ws.paintLayer().width(), 480);
    ASSERT_EQ(ws.paintMask().height(), 640);
    EXPECT_EQ(ws.paintLayer().getPixel(479, 479), RGB(9, 9, 9));
    EXPECT_EQ(ws.paintLayer().getPixel(0, 480), RGB(255, 255, 255));
    EXPECT_EQ(countWhite(ws.paintMask()), 480L * 10);
    EXPECT_EQ(ws.display().width(), 480);
    EXPECT_EQ(ws.undoKind(), kUndoNone);  // a snapshot of the old size must not come back
    EXPECT_TRUE(ws.modified());
    // Four quarter turns bring everything back.
    for (int i = 0; i < 3; ++i) ASSERT_EQ(RotateImage(ws), 1);
    EXPECT_TRUE(samePixels(ws.source(), photo));
    EXPECT_TRUE(samePixels(ws.region(1).mask, mask1));
}

TEST(RotateImage, RefusedWithoutPermissionAndUnchangedWhenMemoryFails) {
    TestDocument doc(30, 20);
    CStereoWorkspace& ws = *doc.ws;
    ws.setRotationAllowed(false);
    EXPECT_FALSE(CanRotateImage(ws));
    EXPECT_EQ(RotateImage(ws), 0);
    EXPECT_EQ(ws.width(), 30);

    ws.setRotationAllowed(true);
    ASSERT_TRUE(ws.appendRegion(4));
    const Surface photo = copyOf(ws.source());
    int allocations = 0;
    // The source's turn succeeds, the second mask's fails.
    Surface::setAllocationHook([&](int, int) { return ++allocations < 3; });
    doc.host.expectMessage(kOutOfMemoryMessage, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Error);
    EXPECT_EQ(RotateImage(ws), 0);
    Surface::setAllocationHook(nullptr);
    EXPECT_EQ(ws.width(), 30);
    EXPECT_EQ(ws.region(1).mask.width(), 30);
    EXPECT_TRUE(samePixels(ws.source(), photo));
}

TEST(RotateImage, StereoPairTurnsHalfRoundAndExchangesThePictures) {
    TestDocument doc(24, 16);
    CStereoWorkspace& ws = *doc.ws;
    ws.setRotationAllowed(true);
    ws.setStereoPair(true);
    Surface hd[3];
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(ws.highRes(i).createCopy(gradientPicture(72, 48)));
        ws.highRes(i).set(i, 0, rgb(200, 0, static_cast<unsigned>(i)));  // tells them apart
        hd[i].createCopy(ws.highRes(i));
    }
    ws.setHighResCount(3);
    Surface photo = copyOf(ws.source());

    doc.host.expectMessage(kStereoRotateQuestion, MsgResult::Cancel, MsgButtons::OkCancel);
    EXPECT_EQ(RotateImage(ws), 0);
    EXPECT_TRUE(samePixels(ws.source(), photo));
    EXPECT_TRUE(samePixels(ws.highRes(0), hd[0]));

    doc.host.expectMessage(kStereoRotateQuestion, MsgResult::Ok, MsgButtons::OkCancel);
    ASSERT_EQ(RotateImage(ws), 1);
    EXPECT_EQ(ws.width(), 24);
    EXPECT_EQ(ws.height(), 16);
    EXPECT_EQ(ws.highResCount(), 3);
    EXPECT_TRUE(samePixels(ws.source(), turnedByQt(photo, 180)));
    EXPECT_TRUE(samePixels(ws.highRes(0), turnedByQt(hd[2], 180)));
    EXPECT_TRUE(samePixels(ws.highRes(1), turnedByQt(hd[1], 180)));
    EXPECT_TRUE(samePixels(ws.highRes(2), turnedByQt(hd[0], 180)));
}
