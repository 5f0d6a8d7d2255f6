#include "core/StereoWorkspace.h"
#include "overlay/ClipArt.h"
#include "overlay/ObjectDraw.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/TestDocument.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>

#include <fstream>
#include <sstream>

using namespace plastora;
using namespace plastora::test;

namespace {

constexpr const char* kTooMany = "これ以上ｵﾌﾞｼﾞｪｸﾄを追加できません。";
constexpr const char* kAskRemove = "このオブジェクトを削除してもよろしいですか？\nこの操作は元に戻せません";

// Answers the two object dialogs with prepared fields.
struct ObjectDialogs : WorkspaceDialogs {
    TextDialogData text;
    ShapeDialogData shape;
    int textCalls = 0, shapeCalls = 0;
    bool textDialog(TextDialogData& d) override {
        ++textCalls;
        lastPreset = d;
        d = text;
        return true;
    }
    bool shapeDialog(ShapeDialogData& d) override {
        ++shapeCalls;
        d = shape;
        return true;
    }
    TextDialogData lastPreset;
};

// A document in image editing with the dialogs above.
struct Doc : TestDocument {
    ObjectDialogs dialogs;
    explicit Doc(int w = 120, int h = 80, const std::string& ini = "") : TestDocument(w, h, ini) {
        ws->setDialogs(&dialogs);
        ws->SetMode(kModeImage);
    }
    OverlayObject& object(int i) { return *ws->objectEntry(i).object; }
    // A click (down and up) at an image point (zoom 1, no scrolling).
    void click(Point p) {
        ws->LButtonDown(p);
        ws->LButtonUp(p);
    }
    void drag(Point from, Point to) {
        ws->LButtonDown(from);
        ws->MouseMove(to);
        ws->LButtonUp(to);
    }
};

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

long countColour(const Surface& s, ColorRef c, const Rect& r) {
    long n = 0;
    for (int y = std::max(0, r.top); y < std::min(s.height(), r.bottom); ++y)
        for (int x = std::max(0, r.left); x < std::min(s.width(), r.right); ++x) n += s.getPixel(x, y) == c;
    return n;
}
long countColour(const Surface& s, ColorRef c) { return countColour(s, c, Rect{0, 0, s.width(), s.height()}); }

// A PNG with an alpha channel: a transparent background with an opaque
// orange ring (a hole in the middle) and a blue dot beside it, written by
// Qt's PNG encoder.
std::string writeRingPng(const TempDir& dir, int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 140, 20));
    p.drawRect(w / 8, h / 8, w / 2, h * 3 / 4);
    p.setBrush(Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawRect(w / 4, h / 4, w / 4, h / 2);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setBrush(QColor(30, 60, 220));
    p.drawRect(w * 3 / 4, h / 3, w / 8, h / 3);
    p.end();
    const std::string path = dir.file("ring.png");
    EXPECT_TRUE(img.save(QString::fromStdString(path), "PNG"));
    return path;
}

std::string sourceFile(const std::string& relative) { return std::string(PLASTORA_SOURCE_DIR) + "/" + relative; }

}  // namespace

// ---- adding ---------------------------------------------------------------------------

TEST(OverlayAdd, ThirtyOneObjectsFitAndTheThirtySecondIsRefusedBeforeItsDialog) {
    Doc d(60, 40, "[Stereo]\nPaint=5\n");
    for (int i = 0; i < kMaxObjects; ++i) ASSERT_EQ(d.ws->AddShapeObject(), 1) << i;
    EXPECT_EQ(d.ws->objectCount(), 31);
    EXPECT_EQ(d.ws->currentObject(), 30);
    EXPECT_EQ(d.object(30).depth, 5);
    EXPECT_EQ(d.ws->tool(), kToolMove);
    EXPECT_TRUE(d.ws->modified());

    d.host.expectMessage(kTooMany).expectMessage(kTooMany).expectMessage(kTooMany);
    const int shapeCalls = d.dialogs.shapeCalls;
    EXPECT_EQ(d.ws->AddShapeObject(), 0);
    d.dialogs.text.text = "A";
    EXPECT_EQ(d.ws->AddTextObject(), 0);
    EXPECT_EQ(d.ws->AddPictureObject(sourceFile("tests/linewisp/data/face.wmf")), 0);
    EXPECT_EQ(d.dialogs.shapeCalls, shapeCalls);
    EXPECT_EQ(d.dialogs.textCalls, 0);
    EXPECT_EQ(d.ws->objectCount(), 31);
}

TEST(OverlayAdd, TextIsMeasuredCentredAndCutToThePicture) {
    Doc d(300, 200, "[Font]\nName=IPAPGothic\nSize=20\nBold=0\n");
    // The dialog starts from the font settings.
    d.dialogs.text.text = "Hello";
    d.dialogs.text.face = "IPAPGothic";
    d.dialogs.text.size = 24;
    d.dialogs.text.bold = true;
    ASSERT_EQ(d.ws->AddTextObject(), 1);
    EXPECT_EQ(d.dialogs.lastPreset.face, "IPAPGothic");
    EXPECT_EQ(d.dialogs.lastPreset.size, 20);
    EXPECT_FALSE(d.dialogs.lastPreset.bold);
    const OverlayObject& t = d.object(0);
    const Size extent = textExtent(objectFont(t), "Hello");
    EXPECT_EQ(t.width, extent.cx);
    EXPECT_EQ(t.height, extent.cy);
    EXPECT_EQ(t.naturalWidth, t.width);
    EXPECT_EQ(t.x, 150 - t.width / 2);
    EXPECT_EQ(t.y, 100 - t.height / 2);
    EXPECT_EQ(t.flags, 24 | kTextBold | kTextAntialiased);
    EXPECT_EQ(t.count, 5);
    // Only the face and the size are written back.
    const std::string ini = readFile(d.dir.file("Plastora.ini"));
    EXPECT_NE(ini.find("Size=24"), std::string::npos);
    EXPECT_NE(ini.find("Bold=0"), std::string::npos);

    // Italic widens by a quarter of the size; vertical text stacks characters.
    d.dialogs.text.italic = true;
    ASSERT_EQ(d.ws->AddTextObject(), 1);
    EXPECT_EQ(d.object(1).width, textExtent(objectFont(d.object(1)), "Hello").cx + 24 / 4);
    d.dialogs.text = TextDialogData{"AB", "IPAPGothic", 24, false, true, false, false, true};
    ASSERT_EQ(d.ws->AddTextObject(), 1);
    Font f = objectFont(d.object(2));
    EXPECT_EQ(d.object(2).height, textExtent(f, "A").cy + textExtent(f, "B").cy);
    EXPECT_EQ(d.object(2).width, std::max(textExtent(f, "A").cx, textExtent(f, "B").cx));

    // Wider than the picture: at x = 0 and cut to its width.
    Doc narrow(60, 40);
    narrow.dialogs.text.text = "WWWWWWWWWW";
    narrow.dialogs.text.size = 30;
    ASSERT_EQ(narrow.ws->AddTextObject(), 1);
    EXPECT_EQ(narrow.object(0).x, 0);
    EXPECT_EQ(narrow.object(0).width, 60);
    EXPECT_GT(narrow.object(0).naturalWidth, 60);

    // A face name longer than the record holds is cut before a whole character.
    narrow.dialogs.text.text = "A";
    // Counted as the file stores it, two bytes a character but the spaces:
    // 28 bytes up to "ト", 30 with "太", 32 with "字".
    narrow.dialogs.text.face = "ＭＳ  Ｐゴシック等幅フォント太字版";
    ASSERT_EQ(narrow.ws->AddTextObject(), 1);
    EXPECT_EQ(narrow.object(1).face, "ＭＳ  Ｐゴシック等幅フォント太");
    // A name that fits as stored is kept whole, however long in UTF-8.
    narrow.dialogs.text.face = "ＭＳ  Ｐゴシック等幅フォント";
    ASSERT_EQ(narrow.ws->AddTextObject(), 1);
    EXPECT_EQ(narrow.object(2).face, "ＭＳ  Ｐゴシック等幅フォント");
    narrow.dialogs.text.face = "IPAPGothic";

    // Nothing to measure: nothing added.
    narrow.dialogs.text.text = "";
    EXPECT_EQ(narrow.ws->AddTextObject(), 0);
    EXPECT_EQ(narrow.ws->objectCount(), 3);
}

TEST(OverlayAdd, ShapesStartAsA32SquareAndLinesNeedAWidth) {
    Doc d(100, 60, "[Edit]\nColor=255\n");
    ASSERT_EQ(d.ws->AddShapeObject(), 1);
    const OverlayObject& s = d.object(0);
    EXPECT_EQ((std::array<int, 4>{s.x, s.y, s.width, s.height}), (std::array<int, 4>{34, 14, 32, 32}));
    EXPECT_EQ(s.colour, RGB(255, 255, 255));
    EXPECT_EQ(s.lineColour, RGB(255, 0, 0));
    EXPECT_EQ(s.lineWidth, 2);
    EXPECT_EQ(s.cornerSize, 8);

    d.dialogs.shape.kind = kShapeLineRising;
    d.dialogs.shape.lineWidth = 0;
    d.host.expectMessage("直線の太さは１以上を指定してください。");
    EXPECT_EQ(d.ws->AddShapeObject(), 0);
    EXPECT_EQ(d.ws->objectCount(), 1);
    // A rectangle may have no outline.
    d.dialogs.shape.kind = kShapeRectangle;
    EXPECT_EQ(d.ws->AddShapeObject(), 1);
}

// ---- clip art ----------------------------------------------------------------------------

TEST(ClipArt, KeyColourTracingGivesOuterBoundariesAndHoles) {
    // Key-coloured background with a 10 x 10 opaque square holding a 4 x 4
    // hole, a single speck and a pinhole.
    Surface pic;
    ASSERT_TRUE(pic.create(30, 20));
    fillRect(pic, Rect{0, 0, 30, 20}, RGB(0, 128, 128));
    fillRect(pic, Rect{3, 3, 13, 13}, RGB(200, 10, 10));
    fillRect(pic, Rect{6, 6, 10, 10}, RGB(0, 128, 128));
    pic.set(20, 5, pixelFromColorRef(RGB(9, 9, 9)));        // speck
    fillRect(pic, Rect{16, 10, 26, 18}, RGB(10, 200, 10));
    pic.set(20, 14, pixelFromColorRef(RGB(0, 128, 128)));  // pinhole
    const std::vector<OutlinePolygon> outlines = traceClipArt(pic);
    int outer = 0, holes = 0;
    for (const auto& o : outlines) (o.outer ? outer : holes)++;
    EXPECT_EQ(outer, 2);
    EXPECT_EQ(holes, 1);
    // Transparent pixels became black in the picture.
    EXPECT_EQ(pic.getPixel(7, 7), RGB(0, 0, 0));
    EXPECT_EQ(pic.getPixel(1, 1), RGB(0, 0, 0));
    EXPECT_EQ(pic.getPixel(4, 4), RGB(200, 10, 10));

    // Drawn over a white picture, the hole shows what lies behind.
    OverlayObject o;
    o.picture = std::move(pic);
    o.outlines = outlines;
    o.naturalWidth = o.width = 30;
    o.naturalHeight = o.height = 20;
    o.x = 5;
    o.y = 5;
    Surface dc;
    ASSERT_TRUE(dc.create(50, 40));
    blit(dc, Rop::Whiteness);
    drawObject(dc, kObjectPicture, o, 0, 1, false, 0);
    EXPECT_EQ(dc.getPixel(5 + 4, 5 + 4), RGB(200, 10, 10));
    EXPECT_EQ(dc.getPixel(5 + 3, 5 + 3), RGB(200, 10, 10));    // the boundary itself
    EXPECT_EQ(dc.getPixel(5 + 12, 5 + 12), RGB(200, 10, 10));  // the far corner
    EXPECT_EQ(dc.getPixel(5 + 7, 5 + 7), RGB(255, 255, 255));  // the hole
    EXPECT_EQ(dc.getPixel(5 + 1, 5 + 1), RGB(255, 255, 255));  // the background
    EXPECT_EQ(dc.getPixel(5 + 20, 5 + 5), RGB(255, 255, 255)); // the speck is gone
    EXPECT_EQ(dc.getPixel(5 + 20, 5 + 14), RGB(0, 0, 0));      // the pinhole is filled
    EXPECT_EQ(countColour(dc, RGB(200, 10, 10)), 100 - 16);

    // A shadow covers the opaque area only, at its own offset.
    Surface shade;
    ASSERT_TRUE(shade.create(50, 40));
    blit(shade, Rop::Whiteness);
    drawObject(shade, kObjectPicture, o, 2, 1, true, RGB(64, 64, 64));
    EXPECT_EQ(countColour(shade, RGB(64, 64, 64)), 84 + 80);
    EXPECT_EQ(shade.getPixel(5 + 2 + 3, 5 + 3), RGB(64, 64, 64));
    EXPECT_EQ(shade.getPixel(5 + 2 + 7, 5 + 7), RGB(255, 255, 255));
}

TEST(ClipArt, EnlargedPicturesKeepTheirWholeEdgePixels) {
    // A 12 x 8 picture: key border, opaque 10 x 6 inside, shown 5 times larger.
    OverlayObject o;
    ASSERT_TRUE(o.picture.create(12, 8));
    fillRect(o.picture, Rect{0, 0, 12, 8}, RGB(0, 0, 255));
    fillRect(o.picture, Rect{1, 1, 11, 7}, RGB(250, 250, 0));
    o.outlines = traceClipArt(o.picture);
    ASSERT_EQ(o.outlines.size(), 1u);
    o.naturalWidth = 12, o.naturalHeight = 8;
    o.width = 60, o.height = 40;
    Surface dc;
    ASSERT_TRUE(dc.create(70, 50));
    drawObject(dc, kObjectPicture, o, 0, 1, false, 0);
    // Picture pixels 1..10 cover 5..54 across and 5..34 down, edges included.
    EXPECT_EQ(countColour(dc, RGB(250, 250, 0)), 50 * 30);
    EXPECT_EQ(dc.getPixel(54, 34), RGB(250, 250, 0));
    EXPECT_EQ(dc.getPixel(55, 34), RGB(0, 0, 0));
}

// Only the part of a clip art that lands on the surface is made: drawn
// half off a small surface it gives exactly the pixels of the same drawing
// on a large surface, and one of 32767 x 32767 (as a damaged project may
// hold) costs no more than the surface.
TEST(ClipArt, OnlyThePartOnTheSurfaceIsMadeWithTheSamePixels) {
    OverlayObject o;
    o.picture = gradientPicture(13, 9);
    fillRect(o.picture, Rect{0, 0, 13, 1}, RGB(0, 0, 255));
    o.outlines = {{true, {{1, 1}, {11, 1}, {11, 8}, {1, 8}}}, {false, {{4, 3}, {7, 3}, {5, 6}}}};
    o.naturalWidth = 13, o.naturalHeight = 9;
    o.width = 61, o.height = 37;
    o.x = -20, o.y = -11;
    for (int k : {1, 3}) {
        Surface big, small;
        ASSERT_TRUE(big.create(200 * k, 200 * k));
        ASSERT_TRUE(small.create(30 * k, 20 * k));
        OverlayObject moved = o;
        moved.x = o.x + 100, moved.y = o.y + 100;
        drawObject(big, kObjectPicture, moved, 0, k, false, 0);
        drawObject(small, kObjectPicture, o, 0, k, false, 0);
        for (int y = 0; y < small.height(); ++y)
            for (int x = 0; x < small.width(); ++x)
                ASSERT_EQ(small.at(x, y), big.at(x + 100 * k, y + 100 * k)) << x << "," << y << " at scale " << k;
        Surface shadowBig, shadowSmall;
        ASSERT_TRUE(shadowBig.create(200 * k, 200 * k));
        ASSERT_TRUE(shadowSmall.create(30 * k, 20 * k));
        drawObject(shadowBig, kObjectPicture, moved, 0, k, true, RGB(64, 64, 64));
        drawObject(shadowSmall, kObjectPicture, o, 0, k, true, RGB(64, 64, 64));
        for (int y = 0; y < shadowSmall.height(); ++y)
            for (int x = 0; x < shadowSmall.width(); ++x)
                ASSERT_EQ(shadowSmall.at(x, y), shadowBig.at(x + 100 * k, y + 100 * k)) << x << "," << y;
    }
    // The surface sees picture pixel (11, 8), on the outline: drawn all over.
    o.x = o.y = -30000;
    o.width = o.height = 32767;
    Surface dc;
    ASSERT_TRUE(dc.create(48, 32));
    const Pixel before = dc.at(0, 0);
    drawObject(dc, kObjectPicture, o, 0, 1, false, 0);
    EXPECT_NE(dc.at(0, 0), before);
    EXPECT_EQ(dc.at(47, 31), dc.at(0, 0));
}

TEST(ClipArt, RealFilesLoadFitAndFailWithTheirMessage) {
    Doc d(80, 60);
    // A metafile: rendered on the key colour, which becomes transparent.
    ASSERT_EQ(d.ws->AddPictureObject(sourceFile("tests/linewisp/data/face.wmf")), 1);
    const OverlayObject& wmf = d.object(0);
    EXPECT_LE(wmf.width, 80);
    EXPECT_LE(wmf.height, 60);
    EXPECT_EQ(wmf.width, 60);  // 115 x 115 fitted: the height decides
    EXPECT_EQ(wmf.naturalWidth, wmf.picture.width());
    EXPECT_FALSE(wmf.outlines.empty());
    EXPECT_EQ(wmf.count, static_cast<int>(wmf.outlines.size()));
    EXPECT_EQ(wmf.x, 40 - wmf.width / 2);

    // A PNG with transparency, larger than the picture: shrunk keeping 2:1.
    const std::string png = writeRingPng(d.dir, 200, 100);
    ASSERT_EQ(d.ws->AddPictureObject(png), 1);
    const OverlayObject& ring = d.object(1);
    EXPECT_EQ(ring.width, 80);
    EXPECT_EQ(ring.height, 40);
    int outer = 0, holes = 0;
    for (const auto& o : ring.outlines) (o.outer ? outer : holes)++;
    EXPECT_EQ(outer, 2);
    EXPECT_EQ(holes, 1);

    d.host.expectFileDialog(d.dir.file("nothing.png")).expectMessage("ｸﾘｯﾌﾟﾌｧｲﾙの読み込みに失敗しました");
    EXPECT_EQ(d.ws->AddPictureObject(), 0);
    EXPECT_EQ(d.ws->objectCount(), 2);
    // A cancelled dialog changes nothing either.
    d.host.expectFileDialog(std::nullopt);
    EXPECT_EQ(d.ws->AddPictureObject(), 0);
}

// ---- mouse and keyboard -------------------------------------------------------------------

TEST(OverlayMouse, CornerDragsKeepTheOppositeCornerAndStopAt8By8) {
    Doc d(100, 60);
    ASSERT_EQ(d.ws->AddShapeObject(), 1);  // 32 x 32 at (34, 14)
    // The bottom-right handle dragged far past the top-left corner.
    EXPECT_EQ(d.ws->HandleAt({66 + 5, 46 + 5}), DragKind::BottomRight);
    d.ws->LButtonDown({66, 46});
    d.ws->MouseMove({10, 5});
    // While dragging only the frame moves.
    EXPECT_EQ(d.object(0).width, 32);
    EXPECT_EQ(d.ws->objectDrag().width, 8);
    d.ws->LButtonUp({10, 5});
    const OverlayObject& s = d.object(0);
    EXPECT_EQ((std::array<int, 4>{s.x, s.y, s.width, s.height}), (std::array<int, 4>{34, 14, 8, 8}));
    EXPECT_EQ(d.ws->undoKind(), kUndoObjectRecord);
    d.ws->Undo();
    EXPECT_EQ(d.object(0).width, 32);

    // The top-left corner: the bottom-right one stays at (66, 46).
    d.drag({34, 14}, {20, 30});
    EXPECT_EQ((std::array<int, 4>{s.x, s.y, s.width, s.height}), (std::array<int, 4>{20, 30, 46, 16}));

    // Moving: by the mouse's travel.
    d.drag({40, 40}, {45, 38});
    EXPECT_EQ((std::array<int, 2>{s.x, s.y}), (std::array<int, 2>{25, 28}));
    // A click beside every object ends the selection.
    d.click({2, 2});
    EXPECT_EQ(d.ws->currentObject(), -1);

    // While a drag is on, Tab and the right button leave the selection
    // alone, and the release moves the object that was dragged.
    auto other = std::make_shared<OverlayObject>();
    other->x = 80, other->y = 5, other->width = 10, other->height = 10;
    ASSERT_TRUE(d.ws->appendObject(kObjectShape, other));
    d.ws->LButtonDown({40, 40});
    d.ws->MouseMove({42, 41});
    EXPECT_FALSE(d.ws->KeyDown(ObjectKey::Tab));
    EXPECT_TRUE(d.ws->RButtonDown({85, 10}).empty());
    EXPECT_EQ(d.ws->currentObject(), 0);
    d.ws->LButtonUp({42, 41});
    EXPECT_EQ((std::array<int, 2>{s.x, s.y}), (std::array<int, 2>{27, 29}));
    EXPECT_EQ((std::array<int, 2>{other->x, other->y}), (std::array<int, 2>{80, 5}));
}

TEST(OverlayMouse, FixedProportionCornersFollowTheDistance) {
    Doc d(200, 150);
    d.dialogs.shape.square = true;
    ASSERT_EQ(d.ws->AddShapeObject(), 1);  // 32 x 32 at (84, 59)
    // d = |(40, 20)| from the fixed top-left: side sqrt(d^2 / 2) = 31.6.
    d.drag({116, 91}, {84 + 40, 59 + 20});
    EXPECT_EQ(d.object(0).width, 31);
    EXPECT_EQ(d.object(0).height, 31);
    EXPECT_EQ(d.object(0).x, 84);

    // Clip art of 2:1 with FixRatio: width = 200 x d / |(200, 100)|.
    auto art = std::make_shared<OverlayObject>();
    art->naturalWidth = 200;
    art->naturalHeight = 100;
    art->width = 100;
    art->height = 50;
    art->x = 10;
    art->y = 10;
    ASSERT_TRUE(d.ws->appendObject(kObjectPicture, art));
    d.ws->setCurrentObject(1);
    // Dragging the top-left corner to 60 px from the bottom-right (110, 60).
    d.drag({10, 10}, {110 - 60, 60});
    EXPECT_EQ(art->width, static_cast<int>(200 * 60 / std::hypot(200.0, 100.0)));
    EXPECT_EQ(art->height, static_cast<int>(100 * 60 / std::hypot(200.0, 100.0)));
    EXPECT_EQ(art->x + art->width, 110);
    EXPECT_EQ(art->y + art->height, 60);
    // Shrunk towards nothing it stops with the smaller side at 8, still 2:1.
    d.drag({art->x, art->y}, {109, 59});
    EXPECT_EQ(art->height, 8);
    EXPECT_EQ(art->width, 16);
    EXPECT_EQ(art->x + art->width, 110);
}

TEST(OverlayKeys, ArrowsPageKeysTabAndDelete) {
    Doc d(200, 150);
    auto art = std::make_shared<OverlayObject>();
    art->naturalWidth = 200;
    art->naturalHeight = 100;
    art->width = 100;
    art->height = 50;
    ASSERT_TRUE(d.ws->appendObject(kObjectPicture, art));
    auto text = std::make_shared<OverlayObject>();
    text->width = 40;
    text->height = 20;
    ASSERT_TRUE(d.ws->appendObject(kObjectText, text));
    auto shape = std::make_shared<OverlayObject>();
    shape->width = 30;
    shape->height = 20;
    ASSERT_TRUE(d.ws->appendObject(kObjectShape, shape));

    // Keys need the move tool.
    d.ws->setCurrentObject(0);
    EXPECT_FALSE(d.ws->KeyDown(ObjectKey::PageUp));
    d.ws->SelectTool(kToolMove);
    // Page Up on 2:1 clip art: the height grows by one, the width follows 2:1.
    ASSERT_TRUE(d.ws->KeyDown(ObjectKey::PageUp));
    EXPECT_EQ(art->height, 51);
    EXPECT_EQ(art->width, 102);
    ASSERT_TRUE(d.ws->KeyDown(ObjectKey::PageDown));
    ASSERT_TRUE(d.ws->KeyDown(ObjectKey::PageDown));
    EXPECT_EQ(art->height, 49);
    EXPECT_EQ(art->width, 98);
    ASSERT_TRUE(d.ws->KeyDown(ObjectKey::Right));
    ASSERT_TRUE(d.ws->KeyDown(ObjectKey::Down));
    ASSERT_TRUE(d.ws->KeyDown(ObjectKey::Down));
    EXPECT_EQ((std::array<int, 2>{art->x, art->y}), (std::array<int, 2>{1, 2}));
    // Undo takes back the last key only.
    d.ws->Undo();
    EXPECT_EQ(art->y, 1);

    // Tab: the next object; text ignores the page keys.
    ASSERT_TRUE(d.ws->KeyDown(ObjectKey::Tab));
    EXPECT_EQ(d.ws->currentObject(), 1);
    EXPECT_FALSE(d.ws->KeyDown(ObjectKey::PageUp));
    EXPECT_EQ(text->width, 40);
    // A shape keeps its current proportions (3:2): height + 1, width 30 x 21 / 20.
    ASSERT_TRUE(d.ws->KeyDown(ObjectKey::Tab));
    ASSERT_TRUE(d.ws->KeyDown(ObjectKey::PageUp));
    EXPECT_EQ(shape->height, 21);
    EXPECT_EQ(shape->width, 31);
    // After the last comes the first.
    ASSERT_TRUE(d.ws->KeyDown(ObjectKey::Tab));
    EXPECT_EQ(d.ws->currentObject(), 0);

    // Delete asks; No keeps the object, Yes removes it and the selection.
    d.host.expectMessage(kAskRemove, MsgResult::No).expectMessage(kAskRemove, MsgResult::Yes);
    ASSERT_TRUE(d.ws->KeyDown(ObjectKey::Delete));
    EXPECT_EQ(d.ws->objectCount(), 3);
    ASSERT_TRUE(d.ws->KeyDown(ObjectKey::Delete));
    EXPECT_EQ(d.ws->objectCount(), 2);
    EXPECT_EQ(d.ws->currentObject(), -1);
    EXPECT_EQ(d.ws->objectEntry(0).object, text);
}

TEST(OverlayMouse, OrderContextMenuEraserAndDoubleClick) {
    Doc d(200, 150);
    for (int i = 0; i < 3; ++i) {
        auto s = std::make_shared<OverlayObject>();
        s->x = 10 + 30 * i;
        s->y = 10;
        s->width = s->height = 40;  // each overlaps the next
        s->lineWidth = i;           // tells them apart
        ASSERT_TRUE(d.ws->appendObject(kObjectShape, s));
    }
    // The topmost object under the point wins; edges count.
    EXPECT_EQ(d.ws->HitTestObject({45, 20}), 1);
    EXPECT_EQ(d.ws->HitTestObject({50, 50}), 1);
    EXPECT_EQ(d.ws->HitTestObject({69, 50}), 1);
    EXPECT_EQ(d.ws->HitTestObject({70, 50}), 2);
    EXPECT_EQ(d.ws->HitTestObject({5, 5}), -1);

    const auto texts = [](const std::vector<ContextEntry>& entries) {
        std::vector<std::string> out;
        for (const auto& e : entries) out.push_back(e.text);
        return out;
    };
    // A right click on the bottom object selects it: no "背面へ" entries.
    using V = std::vector<std::string>;
    EXPECT_EQ(texts(d.ws->RButtonDown({15, 15})), (V{"図形編集", "削除", "", "最前面へ", "前面へ"}));
    EXPECT_EQ(d.ws->currentObject(), 0);
    EXPECT_EQ(texts(d.ws->RButtonDown({105, 15})), (V{"図形編集", "削除", "", "背面へ", "最背面へ"}));
    // Beside the objects: the tools.
    EXPECT_EQ(texts(d.ws->RButtonDown({190, 140})), (V{"ﾍﾟﾝﾂｰﾙ", "消しｺﾞﾑﾂｰﾙ", "塗つぶしﾂｰﾙ"}));

    // The top object to the bottom, one swap at a time; undo puts it back.
    d.ws->setCurrentObject(2);
    d.ws->MoveObjectInOrder(0);
    EXPECT_EQ((std::array<int, 3>{d.object(0).lineWidth, d.object(1).lineWidth, d.object(2).lineWidth}),
              (std::array<int, 3>{2, 0, 1}));
    EXPECT_EQ(d.ws->currentObject(), 0);
    d.ws->Undo();
    EXPECT_EQ((std::array<int, 3>{d.object(0).lineWidth, d.object(1).lineWidth, d.object(2).lineWidth}),
              (std::array<int, 3>{0, 1, 2}));

    // Undo brings the moved object back and keeps it selected. An object
    // added after a move is a step of its own: undo takes the new object
    // away, the next undo the move, and redo brings both back.
    d.ws->setCurrentObject(0);
    d.ws->MoveObjectInOrder(2);
    EXPECT_EQ(d.ws->currentObject(), 2);
    d.ws->Undo();
    EXPECT_EQ(d.ws->currentObject(), 0);
    EXPECT_EQ(d.object(0).lineWidth, 0);
    d.ws->MoveObjectInOrder(1);
    ASSERT_EQ(d.ws->AddShapeObject(), 1);
    EXPECT_EQ(d.ws->undoKind(), kUndoObjectAdd);
    d.ws->Undo();
    EXPECT_EQ(d.ws->objectCount(), 3);
    d.ws->Undo();
    EXPECT_EQ(d.object(0).lineWidth, 0);
    EXPECT_EQ(d.object(1).lineWidth, 1);
    d.ws->Redo();
    d.ws->Redo();
    EXPECT_EQ(d.ws->objectCount(), 4);
    EXPECT_EQ(d.object(1).lineWidth, 0);
    d.ws->setCurrentObject(3);
    d.host.expectMessage(kAskRemove, MsgResult::Yes);
    ASSERT_EQ(d.ws->RemoveObject(), 1);
    d.ws->setCurrentObject(1);
    d.ws->MoveObjectInOrder(0);
    d.ws->Undo();

    // The eraser on an object removes it (after the question), without a stroke.
    d.ws->SelectTool(kToolEraser);
    d.host.expectMessage(kAskRemove, MsgResult::Yes);
    d.click({15, 15});
    EXPECT_EQ(d.ws->objectCount(), 2);
    EXPECT_EQ(d.object(0).lineWidth, 1);

    // A double click edits the shape under the pointer.
    d.dialogs.shape.kind = kShapeEllipse;
    d.dialogs.shape.square = true;
    d.object(0).height = 20;  // 40 x 20 becomes a square of sqrt((1600 + 400) / 2)
    const int calls = d.dialogs.shapeCalls;
    d.ws->LButtonDblClk({45, 15});
    EXPECT_EQ(d.dialogs.shapeCalls, calls + 1);
    EXPECT_EQ(d.object(0).count, kShapeEllipse);
    EXPECT_EQ(d.object(0).width, 31);
    EXPECT_EQ(d.object(0).height, 31);
    EXPECT_EQ(d.ws->undoKind(), kUndoObjectRecord);
}

TEST(OverlayFill, FillRecoloursTextShapesAndClipArt) {
    Doc d(120, 80, "[Edit]\nColor=16711680\n");  // blue
    const ColorRef blue = RGB(0, 0, 255);
    d.ws->SelectTool(kToolFill);
    // A shape with a thick outline: inside changes the fill, on the line the line.
    auto s = std::make_shared<OverlayObject>();
    s->x = 10, s->y = 10, s->width = 40, s->height = 40;
    s->count = kShapeRectangle;
    s->colour = RGB(255, 255, 255);
    s->lineColour = RGB(255, 0, 0);
    s->lineWidth = 4;
    ASSERT_TRUE(d.ws->appendObject(kObjectShape, s));
    d.ws->Redraw();
    d.click({30, 30});
    EXPECT_EQ(s->colour, blue);
    EXPECT_EQ(s->lineColour, RGB(255, 0, 0));
    d.click({14, 30});  // on the outline, which runs through x + 4
    EXPECT_EQ(s->lineColour, blue);
    EXPECT_EQ(d.ws->undoKind(), kUndoObjectRecord);

    // Clip art: a flood fill in its own pixels, undone as a bitmap.
    auto art = std::make_shared<OverlayObject>();
    ASSERT_TRUE(art->picture.create(20, 10));
    fillRect(art->picture, Rect{0, 0, 10, 10}, RGB(0, 255, 0));
    fillRect(art->picture, Rect{10, 0, 20, 10}, RGB(255, 255, 0));
    art->naturalWidth = 20, art->naturalHeight = 10;
    art->x = 60, art->y = 10, art->width = 40, art->height = 20;
    ASSERT_TRUE(d.ws->appendObject(kObjectPicture, art));
    d.click({62, 12});  // picture pixel (1, 1)
    EXPECT_EQ(art->picture.getPixel(5, 5), blue);
    EXPECT_EQ(art->picture.getPixel(15, 5), RGB(255, 255, 0));
    EXPECT_EQ(d.ws->undoKind(), kUndoObjectBitmap);
    d.ws->Undo();
    EXPECT_EQ(art->picture.getPixel(5, 5), RGB(0, 255, 0));

    // No stroke was started: the paint layer is untouched.
    EXPECT_FALSE(d.ws->hasPaintLayer());
}

// ---- drawing -------------------------------------------------------------------------------

TEST(OverlayDraw, ArrowheadsSitOnTheLineEnd) {
    // A line coming from the left into (100, 50): pulled back 4 to (96, 50);
    // vertices (-4, 0), (8, -4), (8, 4) turned half round, each + 0.5 and
    // truncated: (4, 0), (-7, 4), (-7, -3).
    const ArrowHead h = arrowHead({100, 50}, {10, 50}, 8);
    EXPECT_EQ(h.base, (Point{96, 50}));
    EXPECT_EQ(h.triangle[0], (Point{100, 50}));
    EXPECT_EQ(h.triangle[1], (Point{89, 54}));
    EXPECT_EQ(h.triangle[2], (Point{89, 47}));
    // An odd size rounds the pull-back; straight up from (20, 40) to (20, 10).
    const ArrowHead up = arrowHead({20, 10}, {20, 40}, 7);
    EXPECT_EQ(up.base, (Point{20, 14}));
    // Direction (0, 1): (-3.5, 0) -> (0, -3.5); (7, -3.5) -> (3.5, 7); (7, 3.5) -> (-3.5, 7).
    EXPECT_EQ(up.triangle[0], (Point{20, 14 - 3}));
    EXPECT_EQ(up.triangle[1], (Point{24, 21}));
    EXPECT_EQ(up.triangle[2], (Point{17, 21}));

    // Line boxes: inset by 4; a box 8 wide is a vertical line at x + 4.
    OverlayObject o;
    o.x = 10, o.y = 20, o.width = 8, o.height = 30;
    o.count = kShapeLineRising;
    EXPECT_EQ(lineEnds(o), (std::pair<Point, Point>{{14, 46}, {14, 24}}));
    o.count = kShapeLineFalling;
    o.width = 40;
    EXPECT_EQ(lineEnds(o), (std::pair<Point, Point>{{14, 24}, {46, 46}}));

    // Drawn: an arrow at the right end of a falling line fills its triangle
    // in the line colour right up to the end point.
    o.flags = kShapeArrowSecond;
    o.lineWidth = 1;
    o.lineColour = RGB(200, 0, 0);
    o.cornerSize = 10;
    Surface dc;
    ASSERT_TRUE(dc.create(80, 80));
    drawObject(dc, kObjectShape, o, 0, 1, false, 0);
    EXPECT_EQ(dc.getPixel(45, 45), RGB(200, 0, 0));
    EXPECT_EQ(dc.getPixel(14, 24), RGB(200, 0, 0));
    EXPECT_GT(countColour(dc, RGB(200, 0, 0), Rect{36, 36, 48, 48}), 30);
    EXPECT_EQ(countColour(dc, RGB(200, 0, 0), Rect{48, 0, 80, 80}), 0);
}

TEST(OverlayDraw, ViewsShiftEachObjectByItsDepthAndShadowsByTheBackground) {
    Doc d(120, 60);
    d.ws->truncateRegions(0);
    d.ws->backgroundDepth = -8;
    auto s = std::make_shared<OverlayObject>();
    s->x = 40, s->y = 10, s->width = 28, s->height = 28;  // fill at 44..63
    s->count = kShapeRectangle;
    s->colour = RGB(255, 0, 255);
    s->depth = 8;
    s->shadow = 1;
    ASSERT_TRUE(d.ws->appendObject(kObjectShape, s));
    auto flat = std::make_shared<OverlayObject>();
    flat->text = "II";
    flat->face = "IPAPGothic";
    flat->flags = kTextFlat | 14;
    flat->colour = RGB(0, 255, 0);
    flat->x = 90, flat->y = 30;
    ASSERT_TRUE(d.ws->appendObject(kObjectText, flat));
    d.ws->GenerateViews(nullptr, 2, false);  // N = 4, S = 2
    const ColorRef grey = RGB(64, 64, 64);
    for (int a = 0; a < 4; ++a) {
        const Surface& v = d.ws->view(a);
        const int shift = (a - 2) * 8 * 2 / 4;        // -8, -4, 0, 4
        const int shadowShift = (a - 2) * -8 * 2 / 4;  // 8, 4, 0, -4
        EXPECT_EQ(countColour(v, RGB(255, 0, 255)), 20 * 20) << a;
        EXPECT_EQ(v.getPixel(44 + shift, 20), RGB(255, 0, 255)) << a;
        EXPECT_NE(v.getPixel(43 + shift, 20), RGB(255, 0, 255)) << a;
        // The shadow shows where the shifted object does not cover it.
        if (a != 2) {
            const int edge = shadowShift > shift ? 63 + shadowShift : 44 + shadowShift;
            EXPECT_EQ(v.getPixel(edge, 20), grey) << a;
        } else {
            EXPECT_EQ(countColour(v, grey), 0);
        }
        // Flat texts are in no view.
        EXPECT_EQ(countColour(v, RGB(0, 255, 0)), 0) << a;
    }
    // The composite carries the flat text once, at N / P times its place.
    ASSERT_TRUE(d.ws->BuildComposite());
    EXPECT_GT(countColour(d.ws->composite(), RGB(0, 255, 0), Rect{180, 60, 240, 120}), 10);
    // The edit display shows every object flat, the flat text included.
    d.ws->setCurrentObject(-1);
    d.ws->SetMode(kModeImage);
    EXPECT_EQ(d.ws->display().getPixel(44, 20), RGB(255, 0, 255));
    EXPECT_GT(countColour(d.ws->display(), RGB(0, 255, 0)), 10);
    EXPECT_EQ(countColour(d.ws->display(), grey), 0);
}

TEST(OverlayDraw, HighResolutionPairDrawsObjectsScaled) {
    Doc d(60, 40, "[Picture]\nHDRatio=2\n");
    d.ws->truncateRegions(0);
    auto s = std::make_shared<OverlayObject>();
    s->x = 20, s->y = 10, s->width = 18, s->height = 18;  // fill 24..33
    s->colour = RGB(255, 0, 255);
    s->depth = 4;
    ASSERT_TRUE(d.ws->appendObject(kObjectShape, s));
    d.ws->GenerateViews(nullptr, 2, false);
    Surface left, right;
    ASSERT_TRUE(d.ws->GenerateHighResPair(left, right, false));
    // View 0: shift (0 - 2) x 4 x 2 / 4 = -4, doubled.
    EXPECT_EQ(countColour(right, RGB(255, 0, 255)), 20 * 20);
    EXPECT_EQ(right.getPixel((24 - 4) * 2, 30), RGB(255, 0, 255));
    EXPECT_NE(right.getPixel((24 - 4) * 2 - 1, 30), RGB(255, 0, 255));
}

// ---- saved and reopened ---------------------------------------------------------------------

TEST(OverlayProject, EveryKindSurvivesSaveAndReopenWithIdenticalRendering) {
    Doc d(200, 120);
    auto addText = [&](const std::string& text, bool vertical, bool flat) {
        d.dialogs.text = TextDialogData{text, "IPAPGothic", 18, flat, vertical, true, false, true};
        ASSERT_EQ(d.ws->AddTextObject(), 1);
    };
    addText("立体", false, false);
    d.object(0).x = 5, d.object(0).y = 5, d.object(0).shadow = 1;
    addText("縦書き", true, false);
    d.object(1).x = 170, d.object(1).y = 10;
    addText("FLAT", false, true);
    d.object(2).y = 100;
    d.dialogs.shape = ShapeDialogData{kShapeRoundRect, false, false, false, false, 3, 12};
    ASSERT_EQ(d.ws->AddShapeObject(), 1);
    d.object(3).x = 30, d.object(3).y = 40, d.object(3).width = 50, d.object(3).height = 30;
    d.dialogs.shape = ShapeDialogData{kShapeLineRising, false, false, true, true, 2, 10};
    ASSERT_EQ(d.ws->AddShapeObject(), 1);
    d.object(4).x = 90, d.object(4).y = 60, d.object(4).width = 60, d.object(4).height = 40;
    d.object(4).depth = -4;
    ASSERT_EQ(d.ws->AddPictureObject(sourceFile("tests/linewisp/data/face.wmf")), 1);
    d.object(5).width /= 2, d.object(5).height /= 2;
    ASSERT_EQ(d.ws->AddPictureObject(writeRingPng(d.dir, 60, 30)), 1);
    d.object(6).x = 120, d.object(6).y = 70, d.object(6).shadow = 1;
    d.ws->setCurrentObject(-1);
    d.ws->Redraw();
    d.ws->GenerateViews(nullptr, 3, false);
    ASSERT_EQ(d.ws->Save(d.dir.file("objects.lyr")), 1);

    ScriptedHost host;
    CStereoWorkspace back(host, d.dir.file("Plastora.ini"));
    ASSERT_EQ(back.Open(d.dir.file("objects.lyr")), 1);
    ASSERT_EQ(back.objectCount(), 7);
    // Objects bring the document back in image editing.
    EXPECT_EQ(back.mode(), kModeImage);
    EXPECT_TRUE(samePixels(back.display(), d.ws->display()));
    back.GenerateViews(nullptr, 3, false);
    for (int a = 0; a < back.viewCount(); ++a) EXPECT_TRUE(samePixels(back.view(a), d.ws->view(a))) << a;
    for (int i = 0; i < 7; ++i) {
        const OverlayObject& o = *back.objectEntry(i).object;
        EXPECT_EQ(o.flags, d.object(i).flags) << i;
        EXPECT_EQ(o.text, d.object(i).text) << i;
        EXPECT_EQ(o.outlines, d.object(i).outlines) << i;
    }
}
