// Brightness and contrast against hand-worked HSV values, the trackbar's
// page steps, and the rotation of ordinary and stereo-pair documents
// checked against QImage's own rotation.
#include "output/Adjust.h"
#include "output/Anaglyph.h"
#include "overlay/ObjectDraw.h"
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

// Brightness lifting V above 1 before a negative contrast used to take S past
// 1 and the other channels below 0 (pure red came out (255, 255, 154)).
TEST(AdjustPixel, SaturatedColoursStayPureWhereBrightnessMeetsNegativeContrast) {
    EXPECT_EQ(AdjustPixel(rgb(255, 0, 0), 50, -10), rgb(255, 0, 0));
    EXPECT_EQ(AdjustPixel(rgb(0, 255, 0), 50, -10), rgb(0, 255, 0));
    EXPECT_EQ(AdjustPixel(rgb(0, 0, 255), 50, -10), rgb(0, 0, 255));
    EXPECT_EQ(AdjustPixel(rgb(255, 255, 0), 50, -50), rgb(255, 255, 0));
    EXPECT_EQ(AdjustPixel(rgb(0, 255, 255), 1, -1), rgb(0, 255, 255));
    // Below full value the negative contrast still fades the colour by the
    // new V: V = 0.05 + 0.9 x 0.5941 = 0.5847 = S; p = V (1 - S) = 0.2428.
    EXPECT_EQ(AdjustPixel(rgb(101, 0, 0), 50, -10), rgb(149, 61, 61));
    // Every combination that can reach an edge keeps the channels' order
    // (a channel wrapped below 0 would come out as the largest), and the
    // hue of a colour with distinct channels.
    const Pixel colours[] = {rgb(255, 0, 0),   rgb(255, 128, 0), rgb(200, 60, 30), rgb(10, 250, 90),
                             rgb(60, 70, 255), rgb(255, 255, 254), rgb(1, 0, 0),  rgb(255, 0, 255)};
    for (const Pixel p : colours) {
        for (int b = -50; b <= 50; b += 10) {
            for (int c = -50; c <= 50; c += 10) {
                const Pixel q = AdjustPixel(p, b, c);
                const int in[3] = {int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)};
                const int out[3] = {int((q >> 16) & 255), int((q >> 8) & 255), int(q & 255)};
                for (int i = 0; i < 3; ++i)
                    for (int j = 0; j < 3; ++j)
                        if (in[i] > in[j]) {
                            EXPECT_GE(out[i], out[j]) << std::hex << p << std::dec << " B " << b << " C " << c;
                        }
            }
        }
    }
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
    Surface paint = copyOf(ws.paintLayer()), paintMask = copyOf(ws.paintMask());

    ASSERT_EQ(RotateImage(ws), 1);
    EXPECT_EQ(ws.width(), 480);
    EXPECT_EQ(ws.height(), 640);
    EXPECT_EQ(ws.source().at(0, 0), rgb(1, 2, 3));
    EXPECT_TRUE(samePixels(ws.source(), turnedByQt(photo, -90)));
    EXPECT_TRUE(samePixels(ws.region(0).mask, turnedByQt(mask0, -90)));
    EXPECT_TRUE(samePixels(ws.region(1).mask, turnedByQt(mask1, -90)));
    EXPECT_TRUE(samePixels(ws.highRes(0), turnedByQt(hd, -90)));
    // The paint layer and its mask turn with the photo.
    ASSERT_EQ(ws.paintLayer().width(), 480);
    ASSERT_EQ(ws.paintMask().height(), 640);
    EXPECT_TRUE(samePixels(ws.paintMask(), turnedByQt(paintMask, -90)));
    EXPECT_TRUE(samePixels(ws.paintLayer(), turnedByQt(paint, -90)));
    EXPECT_EQ(countWhite(ws.paintMask()), 640L * 10);
    EXPECT_EQ(ws.display().width(), 480);
    EXPECT_EQ(ws.undoKind(), kUndoNone);  // a snapshot of the old size must not come back
    EXPECT_TRUE(ws.modified());
    // Four quarter turns bring everything back.
    for (int i = 0; i < 3; ++i) ASSERT_EQ(RotateImage(ws), 1);
    EXPECT_TRUE(samePixels(ws.source(), photo));
    EXPECT_TRUE(samePixels(ws.region(1).mask, mask1));
}

// Turned while an output is shown (here the anaglyph), the picture comes
// back for editing: the output's display would otherwise stay black and be
// what its save command writes.
TEST(RotateImage, AnOutputShownGivesWayToTheTurnedPicture) {
    TestDocument doc(30, 20);
    CStereoWorkspace& ws = *doc.ws;
    ws.setRotationAllowed(true);
    ASSERT_EQ(CreateAnaglyph(ws, anaglyphDialogPreset(ws)), 1);
    ASSERT_EQ(ws.mode(), kModeAnaglyph);
    Surface photo = copyOf(ws.source());
    ASSERT_EQ(RotateImage(ws), 1);
    EXPECT_EQ(ws.mode(), kModeImage);
    EXPECT_TRUE(samePixels(ws.display(), turnedByQt(photo, -90)));
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
    EXPECT_TRUE(samePixels(ws.highRes(0), turnedByQt(hd[2], 180)));
    // The working picture is the new left picture made working size (as
    // its views are), not the old left one turned: the edit image made from
    // the left picture is what the screen shows.
    Surface left;
    ASSERT_TRUE(left.create(24, 16));
    stretchBlit(left, 0, 0, 24, 16, ws.highRes(0), 0, 0, 72, 48, Rop::Copy, StretchMode::Halftone);
    EXPECT_TRUE(samePixels(ws.source(), left));
    EXPECT_TRUE(samePixels(ws.highRes(1), turnedByQt(hd[1], 180)));
    EXPECT_TRUE(samePixels(ws.highRes(2), turnedByQt(hd[0], 180)));
}

TEST(AdjustSession, ThePreviewKeepsPureColoursPure) {
    TestDocument doc(8, 4);
    CStereoWorkspace& ws = *doc.ws;
    ws.SetMode(kModeImage);
    fillRect(ws.display(), {0, 0, 8, 4}, RGB(255, 0, 0));
    fillRect(ws.display(), {4, 0, 8, 4}, RGB(0, 0, 255));
    CAdjustSession session(ws);
    ASSERT_TRUE(session.Begin());
    session.Preview(50, -10);
    EXPECT_EQ(ws.display().at(0, 0), rgb(255, 0, 0));
    EXPECT_EQ(ws.display().at(7, 3), rgb(0, 0, 255));
    session.Cancel();
}

namespace {

// The bounding box of the pixels of `s` equal to `p` (empty when none).
Rect boxOf(const Surface& s, Pixel p) {
    Rect r{s.width(), s.height(), 0, 0};
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if ((s.at(x, y) | kOpaque) == (p | kOpaque)) {
                r.left = std::min(r.left, x), r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1), r.bottom = std::max(r.bottom, y + 1);
            }
    return r;
}

Rect boxOf(const OverlayObject& o) { return {o.x, o.y, o.x + o.width, o.y + o.height}; }

// The object drawn alone on a black W x H picture.
Surface drawn(const OverlayObject& o, int type, int w, int h) {
    Surface s;
    s.create(w, h);
    drawObject(s, type, o, 0, 1, false, 0);
    return s;
}

}  // namespace

// Every object is marked on the photo by a patch of its own colour under
// its box: after the turn each box covers its patch again.
TEST(RotateImage, ObjectsAndPaintTurnWithThePicture) {
    TestDocument doc(64, 48);
    CStereoWorkspace& ws = *doc.ws;
    ws.setRotationAllowed(true);
    const int W = 64, H = 48;

    auto shape = std::make_shared<OverlayObject>();
    shape->x = 40, shape->y = 30, shape->width = 20, shape->height = 14;  // bottom-right corner
    shape->count = kShapeRectangle;
    shape->colour = RGB(0, 200, 0);
    ws.appendObject(kObjectShape, shape);

    auto line = std::make_shared<OverlayObject>();
    line->x = 2, line->y = 3, line->width = 30, line->height = 20;
    line->count = kShapeLineRising;
    line->flags = kShapeArrowFirst;
    line->lineWidth = 1;
    line->cornerSize = 6;
    ws.appendObject(kObjectShape, line);

    auto clip = std::make_shared<OverlayObject>();
    clip->x = 5, clip->y = 30, clip->width = clip->naturalWidth = 6, clip->height = clip->naturalHeight = 4;
    clip->picture.create(6, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) clip->picture.set(x, y, rgb(unsigned(40 * x + 1), unsigned(60 * y + 1), 7));
    clip->outlines = {{true, {{0, 0}, {5, 0}, {5, 3}, {0, 3}}}};
    ws.appendObject(kObjectPicture, clip);

    auto text = std::make_shared<OverlayObject>();
    text->x = 50, text->y = 2, text->width = 12, text->height = 30;  // tall enough to leave the turned picture
    text->text = "T";
    ws.appendObject(kObjectText, text);

    Surface shapeBefore = drawn(*shape, kObjectShape, W, H), clipBefore = drawn(*clip, kObjectPicture, W, H);
    const auto [lineA, lineB] = lineEnds(*line);

    // Patches on the photo under the boxes, and a stroke over a marked spot.
    fillRect(ws.source(), {40, 30, 60, 44}, RGB(250, 1, 1));
    fillRect(ws.source(), {5, 30, 11, 34}, RGB(1, 250, 1));
    fillRect(ws.source(), {20, 8, 27, 12}, RGB(1, 1, 250));
    ASSERT_TRUE(ws.ensurePaintLayer());
    fillRect(ws.paintLayer(), {20, 8, 27, 12}, RGB(9, 9, 9));
    paintRect(ws.paintMask(), 20, 8, 27, 12);

    ASSERT_EQ(RotateImage(ws), 1);
    ASSERT_EQ(ws.width(), H);
    ASSERT_EQ(ws.height(), W);
    const OverlayObject& s2 = *ws.objectEntry(0).object;
    const OverlayObject& l2 = *ws.objectEntry(1).object;
    const OverlayObject& c2 = *ws.objectEntry(2).object;
    const OverlayObject& t2 = *ws.objectEntry(3).object;
    EXPECT_EQ(boxOf(s2), boxOf(ws.source(), rgb(250, 1, 1)));
    EXPECT_EQ(boxOf(c2), boxOf(ws.source(), rgb(1, 250, 1)));
    // Drawn, they are the old drawings turned.
    EXPECT_TRUE(samePixels(drawn(s2, kObjectShape, H, W), turnedByQt(shapeBefore, -90)));
    EXPECT_TRUE(samePixels(drawn(c2, kObjectPicture, H, W), turnedByQt(clipBefore, -90)));
    // The line runs the other way; its arrow stays at the same end.
    EXPECT_EQ(l2.count, kShapeLineFalling);
    EXPECT_EQ(l2.flags & (kShapeArrowFirst | kShapeArrowSecond), kShapeArrowSecond);
    const auto [a2, b2] = lineEnds(l2);
    const auto turned = [W](Point p) { return Point{p.y, W - 1 - p.x}; };
    EXPECT_LE(std::abs(b2.x - turned(lineA).x) + std::abs(b2.y - turned(lineA).y), 2);
    EXPECT_LE(std::abs(a2.x - turned(lineB).x) + std::abs(a2.y - turned(lineB).y), 2);
    // The text keeps its lettering upright around the turned centre, on the picture.
    EXPECT_EQ(t2.width, 12);
    EXPECT_EQ(t2.x, 2 + (30 - 12) / 2);
    EXPECT_EQ(t2.y, 0) << "its centre's place, 64 - 50 - 21 = -7, is kept on the picture";
    // Every object is inside the turned picture.
    for (int i = 0; i < ws.objectCount(); ++i) {
        const Rect b = boxOf(*ws.objectEntry(i).object);
        EXPECT_TRUE(b.left >= 0 && b.top >= 0 && b.right <= H && b.bottom <= W) << i;
    }
    // The stroke is still over the photo pixels it was painted on.
    EXPECT_EQ(boxOf(ws.paintMask(), kWhite), boxOf(ws.source(), rgb(1, 1, 250)));
    EXPECT_EQ(boxOf(ws.paintLayer(), rgb(9, 9, 9)), boxOf(ws.source(), rgb(1, 1, 250)));

    // A stereo pair turns half round: boxes and strokes follow again.
    ws.setStereoPair(true);
    doc.host.expectMessage(kStereoRotateQuestion, MsgResult::Ok, MsgButtons::OkCancel);
    ASSERT_EQ(RotateImage(ws), 1);
    EXPECT_EQ(boxOf(*ws.objectEntry(0).object), boxOf(ws.source(), rgb(250, 1, 1)));
    EXPECT_EQ(boxOf(*ws.objectEntry(2).object), boxOf(ws.source(), rgb(1, 250, 1)));
    EXPECT_EQ(ws.objectEntry(1).object->count, kShapeLineFalling);
    EXPECT_EQ(ws.objectEntry(1).object->flags & (kShapeArrowFirst | kShapeArrowSecond), kShapeArrowFirst);
    EXPECT_EQ(boxOf(ws.paintMask(), kWhite), boxOf(ws.source(), rgb(1, 1, 250)));
}
