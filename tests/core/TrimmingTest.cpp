// Manual trimming: preview geometry, the crop frame under the mouse and the
// keys, the straightening rotation and the rectangle handed back.
#include "output/Trimming.h"
#include "support/Pictures.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTransform>
#include <cmath>

using namespace plastora;
using namespace plastora::test;

namespace {

Surface whitePicture(int w, int h) {
    Surface s;
    s.create(w, h);
    blit(s, Rop::Whiteness);
    return s;
}

// The dark pixels' rows in a column band of a picture: how far the line
// drawn across it rises or falls.
int darkRowSpread(const Surface& s, int x0, int x1) {
    int lo = s.height(), hi = -1;
    for (int x = x0; x < x1; ++x)
        for (int y = 0; y < s.height(); ++y)
            if ((s.at(x, y) & 0xFF) < 128) lo = std::min(lo, y), hi = std::max(hi, y);
    return hi - lo;
}

}  // namespace

TEST(TrimmingGeometry, PreviewAndDialogSizes) {
    EXPECT_EQ(trimPreviewSize(1600, 1200), (Size{640, 480}));
    EXPECT_EQ(trimDialogSize(trimPreviewSize(1600, 1200)), (Size{676, 572}));
    EXPECT_EQ(trimPreviewSize(300, 960), (Size{200, 640}));
    EXPECT_EQ(trimDialogSize(trimPreviewSize(300, 960)), (Size{332, 732})) << "never narrower than 332";
    EXPECT_EQ(trimPreviewSize(5000, 1), (Size{640, 1})) << "at least one pixel";
}

TEST(TrimmingGeometry, InitialFrameIsFittedCentredAndInset) {
    // 707 x 478 on 640 x 480: 478 x 640 < 707 x 480, so 640 wide and
    // 478 x 640 / 707 = 432 high, centred at 24, inset by 4.
    EXPECT_EQ(TrimmingEditor::initialFrame({640, 480}, 707, 478), (Rect{4, 28, 636, 452}));
    // 478 x 707 on 640 x 480: 478 x 480 / 707 = 324 wide at 158, then inset.
    EXPECT_EQ(TrimmingEditor::initialFrame({640, 480}, 478, 707), (Rect{162, 4, 478, 476}));
    // The editor starts with it and with the level line across the middle.
    const Surface photo = gradientPicture(1600, 1200);
    TrimmingEditor e(photo, 707, 478);
    EXPECT_EQ(e.frame(), (Rect{4, 28, 636, 452}));
    EXPECT_EQ(e.lineStart(), (Point{160, 240}));
    EXPECT_EQ(e.lineEnd(), (Point{480, 240}));
    EXPECT_FALSE(e.straightenEnabled());
    // OK maps the frame back by 1600 / 640 and 1200 / 480.
    EXPECT_EQ(e.sourceRect(), (Rect{10, 70, 1590, 1130}));
}

TEST(TrimmingGeometry, HitTestingPrefersLineEndsThenCornersInOrder) {
    const Surface photo = gradientPicture(640, 480);
    TrimmingEditor e(photo, 400, 300);  // frame {4, 4, 636, 476}
    ASSERT_EQ(e.frame(), (Rect{4, 4, 636, 476}));
    EXPECT_EQ(e.hitTest({6, 6}), kTrimCornerTopLeft);
    EXPECT_EQ(e.hitTest({634, 6}), kTrimCornerTopRight);
    EXPECT_EQ(e.hitTest({636, 476}), kTrimCornerBottomRight);
    EXPECT_EQ(e.hitTest({4, 474}), kTrimCornerBottomLeft);
    EXPECT_EQ(e.hitTest({8, 4}), kTrimSelectFrame) << "4 pixels away is no longer a hit";
    EXPECT_EQ(e.hitTest({2, 240}), kTrimSelectNone) << "outside the frame";
    // A line end on a corner wins.
    e.setLine({5, 5}, {320, 240});
    EXPECT_EQ(e.hitTest({6, 6}), kTrimLineStart);
    EXPECT_EQ(e.hitTest({321, 241}), kTrimLineEnd);
    EXPECT_EQ(trimCursorFor(kTrimCornerTopLeft), trimCursorFor(kTrimCornerBottomRight));
    EXPECT_NE(trimCursorFor(kTrimCornerTopLeft), trimCursorFor(kTrimCornerTopRight));
}

TEST(TrimmingGeometry, DraggingACornerKeepsTheRatioAndTheBorder) {
    const Surface photo = gradientPicture(640, 480);
    TrimmingEditor e(photo, 400, 300);  // diagonal 500
    // The size follows the distance from the opposite corner only: 375 / 500
    // of 400 x 300, whichever way the mouse went.
    e.press({636, 476});
    e.drag({4 + 375, 4});
    EXPECT_EQ(e.frame(), (Rect{4, 4, 304, 229}));
    e.drag({304, 229});
    EXPECT_EQ(e.frame(), (Rect{4, 4, 304, 229}));
    e.release();
    EXPECT_EQ(e.selected(), kTrimCornerBottomRight) << "stays selected";

    // Far beyond the preview: a wide frame stopped by the right edge only: the height follows the
    // cut width (632 x 200 / 400).
    TrimmingEditor wide(photo, 400, 200);
    wide.setFrame({4, 4, 104, 54});
    wide.press({104, 54});
    wide.drag({3000, 60});
    EXPECT_EQ(wide.frame(), (Rect{4, 4, 636, 320}));

    // The top-left corner grows up and to the left of the fixed bottom-right.
    TrimmingEditor f(photo, 400, 300);
    f.setFrame({300, 200, 400, 275});
    f.press({300, 200});
    f.drag({-500, -500});
    // Room above is 271: 271 x 4 / 3 = 361 wide.
    EXPECT_EQ(f.frame(), (Rect{39, 4, 400, 275}));
}

TEST(TrimmingGeometry, MouseAndArrowKeysMoveOrResizeTheSelection) {
    const Surface photo = gradientPicture(640, 480);
    TrimmingEditor e(photo, 400, 300);
    e.setFrame({100, 100, 300, 250});
    e.press({200, 200});
    EXPECT_EQ(e.selected(), kTrimSelectFrame);
    e.drag({150, 180});
    EXPECT_EQ(e.frame(), (Rect{50, 80, 250, 230}));
    e.drag({-1000, 180});
    EXPECT_EQ(e.frame(), (Rect{4, 80, 204, 230})) << "clamped to the border";
    e.release();
    EXPECT_FALSE(e.key(ArrowKey::Left)) << "would leave the border";
    EXPECT_TRUE(e.key(ArrowKey::Right));
    EXPECT_TRUE(e.key(ArrowKey::Down));
    EXPECT_EQ(e.frame(), (Rect{5, 81, 205, 231}));
    e.setFrame({5, 101, 205, 251});

    // The bottom-right corner: Right widens by one and the height follows
    // (201 x 3 / 4 = 150); Down heightens and the width follows (151 x 4 / 3 = 201).
    e.press({205, 251});
    e.release();
    ASSERT_EQ(e.selected(), kTrimCornerBottomRight);
    EXPECT_TRUE(e.key(ArrowKey::Right));
    EXPECT_EQ(e.frame(), (Rect{5, 101, 206, 251}));
    EXPECT_TRUE(e.key(ArrowKey::Down));
    EXPECT_EQ(e.frame(), (Rect{5, 101, 206, 252}));
    // The top-left corner: Right narrows (anchored bottom-right).
    e.press({5, 101});
    e.release();
    EXPECT_TRUE(e.key(ArrowKey::Right));
    EXPECT_EQ(e.frame(), (Rect{6, 102, 206, 252}));

    // A line end: dragged (clamped to the border) or moved by a key, it
    // enables straightening.
    e.setLine({4, 240}, {320, 240});
    EXPECT_FALSE(e.straightenEnabled());
    e.press({4, 240});
    e.release();
    EXPECT_FALSE(e.key(ArrowKey::Left));
    EXPECT_TRUE(e.key(ArrowKey::Up));
    EXPECT_EQ(e.lineStart(), (Point{4, 239}));
    EXPECT_TRUE(e.straightenEnabled());
    e.press(e.lineEnd());
    e.drag({700, 300});
    EXPECT_EQ(e.lineEnd(), (Point{636, 300}));
}

TEST(TrimmingRotation, QuarterTurnMatchesAnIndependentRotation) {
    const Surface photo = gradientPicture(9, 9);
    Surface turned;
    ASSERT_TRUE(rotatePicture(turned, photo, M_PI / 2));
    // Qt turns clockwise on screen for positive angles, like the editor.
    Surface copy;
    copy.createCopy(photo);
    const QImage expected = copy.image().transformed(QTransform().rotate(90));
    EXPECT_EQ(turned.image(), expected);

    ASSERT_TRUE(rotatePicture(turned, photo, 0.0));
    EXPECT_TRUE(samePixels(turned, photo));
}

TEST(TrimmingRotation, StraighteningLevelsATiltedLine) {
    // A photo with a dark line falling 40 pixels over 400 (preview = photo).
    Surface photo = whitePicture(640, 480);
    line(photo, Pen{3, RGB(0, 0, 0)}, {120, 220}, {520, 260});
    ASSERT_GT(darkRowSpread(photo, 150, 490), 30);
    TrimmingEditor e(photo, 640, 480);
    e.setLine({120, 220}, {520, 260});
    ASSERT_TRUE(e.straighten());
    EXPECT_NEAR(e.angle(), -std::atan2(40.0, 400.0), 1e-12);
    EXPECT_LE(darkRowSpread(e.rotated(), 150, 490), 4) << "the line is level now";
    // The green line was turned onto the axis; the button is off again.
    EXPECT_NEAR(e.lineStart().y, e.lineEnd().y, 1);
    EXPECT_FALSE(e.straightenEnabled());
    // A nearly vertical line is levelled to the vertical.
    EXPECT_NEAR(levellingAngle({100, 100}, {110, 300}), std::atan2(10.0, 200.0), 1e-12);
    EXPECT_NEAR(levellingAngle({110, 300}, {100, 100}), std::atan2(10.0, 200.0), 1e-12);
    EXPECT_NEAR(levellingAngle({500, 260}, {100, 220}), -std::atan2(40.0, 400.0), 1e-12) << "either direction";
}

TEST(TrimmingRotation, TwoStraighteningsEqualOneByTheirSum) {
    const Surface photo = gradientPicture(320, 240);  // preview 640 x 480
    TrimmingEditor e(photo, 320, 240);
    e.setLine({100, 200}, {500, 230});
    ASSERT_TRUE(e.straighten());
    const double first = -std::atan2(30.0, 400.0);
    e.setLine({100, 300}, {500, 280});
    ASSERT_TRUE(e.straighten());
    const double second = -std::atan2(-20.0, 400.0);
    EXPECT_NEAR(e.angle(), first + second, 1e-12);

    Surface once;
    ASSERT_TRUE(rotatePicture(once, photo, first + second));
    EXPECT_TRUE(samePixels(e.rotated(), once));
    EXPECT_EQ(once.at(0, 0), kWhite) << "a corner that maps outside the photo";
    // Turning the turned copy again would not give these pixels.
    Surface step, twice;
    rotatePicture(step, photo, first);
    rotatePicture(twice, step, second);
    EXPECT_FALSE(samePixels(twice, once));

    // An editor opened with the accumulated angle shows the same copy.
    TrimmingEditor again(photo, 320, 240, first + second);
    EXPECT_TRUE(samePixels(again.picture(), once));
}
