// Strokes drawn through the workspace's mouse input, as the view sends them.
#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "layers/Outline.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/TestDocument.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

using namespace plastora;
using namespace plastora::test;

namespace {

struct Doc : TestDocument {
    explicit Doc(const std::string& ini = "", int w = 60, int h = 40) : TestDocument(w, h, ini) {
    }
    void stroke(std::initializer_list<Point> pts) {
        auto it = pts.begin();
        ws->LButtonDown(*it);
        for (++it; it != pts.end(); ++it) ws->MouseMove(*it);
        ws->LButtonUp(*(pts.end() - 1));
    }
    Surface& mask(int i) { return ws->region(i).mask; }
};

bool white(const Surface& s, int x, int y) { return s.getPixel(x, y) == RGB(255, 255, 255); }

// Number of white pixels outside the rectangle [x0, x1) x [y0, y1).
long whiteOutside(const Surface& m, int x0, int y0, int x1, int y1) {
    long n = 0;
    for (int y = 0; y < m.height(); ++y)
        for (int x = 0; x < m.width(); ++x)
            if ((x < x0 || x >= x1 || y < y0 || y >= y1) && white(m, x, y)) ++n;
    return n;
}

// Three regions: region 0 (the masking mask) covers the left half.
void twoMoreRegions(Doc& d) {
    paintRect(d.mask(0), 0, 0, 30, 40);
    ASSERT_TRUE(d.ws->appendRegion(0));
    ASSERT_TRUE(d.ws->appendRegion(0));
    d.ws->setMaskingIndex(0);
}

}  // namespace

TEST(MaskTools, PenStrokeAndClickDrawWithTheMaskWidth) {
    Doc d("[Mask]\nWidth=5\n");
    EXPECT_EQ(d.ws->tool(), kToolPen);  // mask editing starts with the pen
    d.stroke({{10, 20}, {40, 20}});
    EXPECT_TRUE(white(d.mask(0), 10, 20));
    EXPECT_TRUE(white(d.mask(0), 25, 22));
    EXPECT_TRUE(white(d.mask(0), 40, 20));  // the release point is drawn too
    EXPECT_FALSE(white(d.mask(0), 25, 24));
    EXPECT_FALSE(d.ws->rotationAllowed());

    // A click without movement leaves one dot of the pen's width.
    Doc c("[Mask]\nWidth=5\n");
    c.stroke({{30, 10}});
    const long dot = countWhite(c.mask(0));
    EXPECT_GE(dot, 13);
    EXPECT_LE(dot, 25);
    EXPECT_EQ(whiteOutside(c.mask(0), 28, 8, 33, 13), 0);
    EXPECT_EQ(c.ws->undoKind(), kUndoRegionMask);
}

TEST(MaskTools, MaskingConfinesThePenButNotTheEraser) {
    Doc d;
    twoMoreRegions(d);
    d.ws->setCurrentRegion(1);
    ASSERT_TRUE(d.ws->maskingOn());  // on from the start
    paintRect(d.mask(1), 40, 30, 50, 35);  // already white outside the masking region: stays
    d.stroke({{10, 10}, {50, 10}});
    EXPECT_TRUE(white(d.mask(1), 10, 10));
    EXPECT_TRUE(white(d.mask(1), 29, 10));
    EXPECT_FALSE(white(d.mask(1), 30, 10));
    EXPECT_FALSE(white(d.mask(1), 45, 10));
    EXPECT_EQ(whiteOutside(d.mask(1), 0, 0, 30, 40), 50);

    // The eraser is not limited: it clears the old patch outside too.
    d.ws->SelectTool(kToolEraser);
    d.stroke({{45, 32}, {45, 33}});
    EXPECT_FALSE(white(d.mask(1), 45, 32));

    // Masking off, or on region 0, the pen goes anywhere.
    d.ws->ToggleMasking();
    d.ws->SelectTool(kToolPen);
    d.stroke({{35, 5}, {55, 5}});
    EXPECT_TRUE(white(d.mask(1), 50, 5));
}

TEST(MaskTools, FillStaysInsideTheMaskingRegion) {
    Doc d;
    twoMoreRegions(d);
    d.ws->setCurrentRegion(2);
    d.ws->SelectTool(kToolFill);
    // The whole mask of region 2 is black and connected: unconfined, a click
    // would whiten all of it.
    d.stroke({{10, 10}});
    EXPECT_EQ(whiteOutside(d.mask(2), 0, 0, 30, 40), 0);
    EXPECT_EQ(countWhite(d.mask(2)), 30 * 40);

    // A click outside the masking region fills nothing there, nor anywhere.
    d.ws->Undo();
    EXPECT_EQ(countWhite(d.mask(2)), 0);
    d.stroke({{45, 10}});
    EXPECT_EQ(countWhite(d.mask(2)), 0);

    // An enclosed area: a ring drawn into region 2 bounds the fill.
    paintRect(d.mask(2), 5, 5, 20, 6);
    paintRect(d.mask(2), 5, 15, 20, 16);
    paintRect(d.mask(2), 5, 5, 6, 16);
    paintRect(d.mask(2), 19, 5, 20, 16);
    d.stroke({{10, 10}});
    EXPECT_EQ(countWhite(d.mask(2)), 15 * 11);
}

// A region that is its own masking region is not confined further: a fill
// inside it fills its enclosed area, not the whole mask.
TEST(MaskTools, ARegionMaskedByItselfFillsOnlyTheClickedArea) {
    Doc d;
    twoMoreRegions(d);
    d.ws->setCurrentRegion(1);
    d.ws->setMaskingIndex(1);
    paintRect(d.mask(1), 40, 10, 50, 20);
    d.ws->SelectTool(kToolFill);
    d.stroke({{45, 15}});  // already white: nothing changes
    EXPECT_EQ(countWhite(d.mask(1)), 100);
    d.ws->SelectTool(kToolPen);
    d.stroke({{5, 5}, {5, 30}});
    EXPECT_TRUE(white(d.mask(1), 5, 20));
    EXPECT_EQ(whiteOutside(d.mask(1), 3, 3, 8, 33), 100) << "only the stroke was added";
}

// A stroke whose region is switched while the button is held (a command
// chosen meanwhile) ends there: the other region is not painted, and the
// undo step still restores the region it began in. A stroke whose release
// never came ends where it was.
TEST(MaskTools, AStrokeEndsWhenItsRegionChangesOrItsReleaseIsLost) {
    Doc d;
    twoMoreRegions(d);
    d.ws->ToggleMasking();
    d.ws->setCurrentRegion(1);
    d.ws->LButtonDown({10, 10});
    d.ws->MouseMove({20, 10});
    d.ws->setCurrentRegion(2);
    d.ws->MouseMove({20, 30});
    d.ws->LButtonUp({50, 30});
    EXPECT_EQ(countWhite(d.mask(2)), 0);
    EXPECT_FALSE(d.ws->buttonDown());
    d.ws->Undo();
    EXPECT_EQ(countWhite(d.mask(1)), 0);

    d.ws->LButtonDown({10, 10});
    d.ws->MouseMove({20, 10});
    const long painted = countWhite(d.mask(1));
    d.ws->EndStroke();
    d.ws->MouseMove({50, 35});
    EXPECT_EQ(countWhite(d.mask(1)), painted);
    EXPECT_TRUE(d.ws->canUndo());
}

TEST(MaskTools, UndoRestoresTheSnapshotTakenAtButtonDown) {
    Doc d;
    paintRect(d.mask(0), 3, 3, 9, 9);
    Surface before;
    ASSERT_TRUE(before.createCopy(d.mask(0)));
    d.stroke({{1, 1}, {50, 30}, {10, 35}});
    EXPECT_FALSE(samePixels(before, d.mask(0)));
    ASSERT_TRUE(d.ws->canUndo());
    d.ws->Undo();
    EXPECT_TRUE(samePixels(before, d.mask(0)));
    EXPECT_FALSE(d.ws->canUndo());
}

TEST(MaskTools, PositionsGoThroughScrollAndZoom) {
    Doc d;
    std::vector<int> zooms;
    for (int i = 0; i < 5; ++i) {
        d.ws->ZoomTool();
        zooms.push_back(d.ws->zoom());
    }
    EXPECT_EQ(zooms, (std::vector<int>{2, 4, 8, 1, 2}));
    d.ws->ZoomTool();  // 4
    d.ws->setScrollPosition(40, 20);
    EXPECT_EQ(d.ws->windowToImage({0, 0}), (Point{10, 5}));
    EXPECT_EQ(d.ws->windowToImage({3, 3}), (Point{10, 5}));
    EXPECT_EQ(d.ws->windowToImage({4, 7}), (Point{11, 6}));
    d.stroke({{4, 8}});
    EXPECT_TRUE(white(d.mask(0), 11, 7));

    // The move tool goes back to zoom 1 and is not a painting tool.
    d.ws->SetMode(kModeImage);
    d.ws->ZoomTool();
    d.ws->SelectTool(kToolMove);
    EXPECT_EQ(d.ws->zoom(), 1);
}

TEST(MaskTools, PaintLayerStrokesSurviveSaveAndReopen) {
    Doc d("[Edit]\nWidth=3\n");
    d.ws->SetMode(kModeImage);
    EXPECT_EQ(d.ws->tool(), kToolNone);
    EXPECT_FALSE(d.ws->hasPaintLayer());
    ASSERT_TRUE(d.ws->SelectTool(kToolPen));
    ASSERT_TRUE(d.ws->hasPaintLayer());
    d.stroke({{5, 5}, {30, 5}});
    // The default colour is black, stored as RGB(1, 1, 1).
    EXPECT_EQ(d.ws->paintLayer().getPixel(20, 5), RGB(1, 1, 1));
    EXPECT_TRUE(white(d.ws->paintMask(), 20, 5));
    EXPECT_EQ(d.ws->display().getPixel(20, 5), RGB(1, 1, 1));

    const std::string path = d.dir.file("p.lyr");
    ASSERT_EQ(d.ws->Save(path), 1);
    ScriptedHost host;
    CStereoWorkspace back(host, d.dir.file("Plastora.ini"));
    ASSERT_EQ(back.Open(path), 1);
    ASSERT_TRUE(back.hasPaintLayer());
    EXPECT_EQ(back.paintLayer().getPixel(20, 5), RGB(1, 1, 1));
    EXPECT_TRUE(white(back.paintMask(), 20, 5));
    back.SetMode(kModeImage);
    EXPECT_EQ(back.display().getPixel(20, 5), RGB(1, 1, 1));
}

TEST(MaskTools, PaintEraserAndFillOnThePaintLayer) {
    Doc d("[Edit]\nWidth=3\nColor=255\n[Mask]\nWidth=1\n");
    d.ws->SetMode(kModeImage);
    d.ws->SelectTool(kToolPen);
    // A closed box of red strokes.
    d.stroke({{10, 10}, {30, 10}, {30, 30}, {10, 30}, {10, 10}});
    EXPECT_EQ(d.ws->paintLayer().getPixel(20, 10), RGB(255, 0, 0));
    EXPECT_EQ(d.ws->undoKind(), kUndoPaintLayer);

    // Fill inside the box: the black area inside becomes red in the layer and
    // white in the mask; outside stays empty.
    d.ws->SelectTool(kToolFill);
    d.stroke({{20, 20}});
    EXPECT_EQ(d.ws->paintLayer().getPixel(20, 20), RGB(255, 0, 0));
    EXPECT_TRUE(white(d.ws->paintMask(), 20, 20));
    EXPECT_FALSE(white(d.ws->paintMask(), 50, 35));
    // ... and it is undone on its own.
    d.ws->Undo();
    EXPECT_FALSE(white(d.ws->paintMask(), 20, 20));
    EXPECT_TRUE(white(d.ws->paintMask(), 20, 10));

    // Fill on a stroke recolours the stroke only.
    d.host.expectColor(std::nullopt);
    EXPECT_FALSE(d.ws->ChooseColour());  // cancelled: nothing changes
    EXPECT_EQ(Settings(d.ws->settingsPath()).getInt(SettingKey::EditColor), 255);
    d.host.expectColor(RGB(0, 0, 255));
    ASSERT_TRUE(d.ws->ChooseColour());
    EXPECT_EQ(Settings(d.ws->settingsPath()).getInt(SettingKey::EditColor), 0xFF0000);
    // Settings that cannot be written are told; the colour holds all the same.
    const std::string ini = d.ws->settingsPath();
    const std::string kept = ini + ".kept";
    std::filesystem::rename(ini, kept);
    std::filesystem::create_directory(ini);
    d.host.expectColor(RGB(0, 255, 0)).expectMessage(kSaveFailedMessage);
    ASSERT_TRUE(d.ws->ChooseColour());
    EXPECT_TRUE(d.host.done());
    std::filesystem::remove(ini);
    std::filesystem::rename(kept, ini);
    d.host.expectColor(RGB(0, 0, 255));
    ASSERT_TRUE(d.ws->ChooseColour());
    d.stroke({{20, 10}});
    EXPECT_EQ(d.ws->paintLayer().getPixel(30, 20), RGB(0, 0, 255));
    EXPECT_FALSE(white(d.ws->paintMask(), 20, 20));

    // The eraser uses the mask width (1) and clears both layer and mask.
    d.ws->SelectTool(kToolEraser);
    d.stroke({{20, 9}, {20, 12}});
    EXPECT_FALSE(white(d.ws->paintMask(), 20, 10));
    EXPECT_EQ(d.ws->paintLayer().getPixel(20, 10), 0u);
    EXPECT_TRUE(white(d.ws->paintMask(), 22, 10));
}

TEST(MaskTools, RightButtonMenuFollowsToolAndRegions) {
    Doc d;
    auto texts = [&] {
        std::vector<std::string> out;
        for (const auto& e : d.ws->RButtonDown({0, 0})) out.push_back(e.text);
        return out;
    };
    EXPECT_EQ(texts(), (std::vector<std::string>{"消しｺﾞﾑﾂｰﾙ", "塗つぶしﾂｰﾙ", "", "切出し領域追加", "ﾏｽｷﾝｸﾞﾏｽｸ設定"}));
    ASSERT_TRUE(d.ws->appendRegion(0));
    ASSERT_TRUE(d.ws->appendRegion(0));
    d.ws->setCurrentRegion(1);
    d.ws->SelectTool(kToolFill);
    EXPECT_EQ(texts(), (std::vector<std::string>{"ﾍﾟﾝﾂｰﾙ", "消しｺﾞﾑﾂｰﾙ", "", "ﾏｽｷﾝｸﾞ解除", "切出し領域追加", "切出し領域削除",
                                                 "切出し領域変更", "ﾏｽｷﾝｸﾞﾏｽｸ設定", "", "最前面へ", "前面へ"}));
    d.ws->setCurrentRegion(2);
    d.ws->ToggleMasking();
    EXPECT_EQ(texts(), (std::vector<std::string>{"ﾍﾟﾝﾂｰﾙ", "消しｺﾞﾑﾂｰﾙ", "", "ﾏｽｷﾝｸﾞｾｯﾄ", "切出し領域追加", "切出し領域削除",
                                                 "切出し領域変更", "ﾏｽｷﾝｸﾞﾏｽｸ設定", "", "背面へ", "最背面へ"}));
    d.ws->SetMode(kModeImage);
    EXPECT_EQ(texts(), (std::vector<std::string>{"ﾍﾟﾝﾂｰﾙ", "消しｺﾞﾑﾂｰﾙ", "塗つぶしﾂｰﾙ"}));
    d.ws->setDisplayMode(kModeComposite);
    EXPECT_TRUE(texts().empty());
}

// ---- the outline tracer --------------------------------------------------------

namespace {

Surface maskOf(int w, int h, std::initializer_list<Rect> whites, std::initializer_list<Rect> blacks = {}) {
    Surface m;
    m.create(w, h);
    for (const Rect& r : whites) paintRect(m, r.left, r.top, r.right, r.bottom);
    for (const Rect& r : blacks) fillRect(m, r, RGB(0, 0, 0));
    return m;
}

// Every point of a closed polyline lies on the boundary of the white area.
bool onBoundary(const Surface& m, const Polyline& line) {
    for (const Point& p : line) {
        if (!white(m, p.x, p.y)) return false;
        bool edge = false;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (!white(m, p.x + dx, p.y + dy)) edge = true;
        if (!edge) return false;
    }
    return true;
}

}  // namespace

TEST(Outline, RectangleGivesItsFourCorners) {
    const Surface m = maskOf(20, 20, {{4, 5, 12, 9}});
    const auto lines = traceOutlines(m);
    ASSERT_EQ(lines.size(), 1u);
    // Traced counter-clockwise on the screen from the top-left corner and
    // reduced to where the direction changes; closed on its first point.
    EXPECT_EQ(lines[0], (Polyline{{4, 5}, {4, 8}, {11, 8}, {11, 5}, {4, 5}}));
}

TEST(Outline, SpeckGivesNothingAndRingGivesOuterAndInner) {
    // An isolated pixel next to a blob: only the blob is outlined.
    const Surface speck = maskOf(20, 20, {{3, 3, 4, 4}, {8, 8, 14, 14}});
    const auto s = traceOutlines(speck);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].front(), (Point{8, 8}));

    // A ring three pixels thick: outer and inner contours.
    const Surface ring = maskOf(30, 30, {{5, 5, 25, 25}}, {{8, 8, 22, 22}});
    const auto r = traceOutlines(ring);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0], (Polyline{{5, 5}, {5, 24}, {24, 24}, {24, 5}, {5, 5}}));
    // The inner contour runs the other way round and cuts the hole's corners.
    EXPECT_EQ(r[1], (Polyline{{8, 7}, {21, 7}, {22, 8}, {22, 21}, {21, 22}, {8, 22}, {7, 21}, {7, 8}, {8, 7}}));
    for (const Polyline& line : r) {
        EXPECT_TRUE(onBoundary(ring, line));
        EXPECT_EQ(line.front(), line.back());
    }
    // Pixels on the frame of the picture never count.
    const Surface full = maskOf(6, 6, {{0, 0, 6, 6}});
    const auto f = traceOutlines(full);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0], (Polyline{{1, 1}, {1, 4}, {4, 4}, {4, 1}, {1, 1}}));
}

TEST(Outline, DiagonalLinesAndTheMarks) {
    // A one-pixel diagonal: the trace goes down and comes back up.
    std::vector<unsigned char> map(10 * 10, 0);
    for (int i = 2; i <= 6; ++i) map[static_cast<std::size_t>(i * 10 + i)] = 1;
    map[8 * 10 + 2] = 1;  // isolated
    const auto lines = traceOutlineMap(map, 10, 10);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], (Polyline{{2, 2}, {6, 6}, {2, 2}}));
    EXPECT_EQ(map[2 * 10 + 2], 3);
    EXPECT_EQ(map[6 * 10 + 6], 3);
    EXPECT_EQ(map[8 * 10 + 2], 2);
}

TEST(Outline, LongContoursAreGivenUp) {
    // A boundary of more than 10000 pixels gives no contour; a shorter one does.
    const Surface big = maskOf(2600, 2600, {{1, 1, 2599, 2599}});
    EXPECT_TRUE(traceOutlines(big).empty());
    const Surface fits = maskOf(2400, 2400, {{1, 1, 2399, 2399}});
    EXPECT_EQ(traceOutlines(fits).size(), 1u);
}

TEST(Outline, BoundariesOverTheLimitGiveWhatWalkingEveryStartGives) {
    // Starts on a boundary already found too long are not walked again:
    // the contours and the marks left must be those of walking each one,
    // on blobs, holes, one-pixel lines and noise, with limits small enough
    // that many boundaries pass them.
    std::mt19937 random(17);
    for (int trial = 0; trial < 400; ++trial) {
        const int w = 3 + static_cast<int>(random() % 60), h = 3 + static_cast<int>(random() % 60);
        const int limit = 1 + static_cast<int>(random() % 80);
        const unsigned density = random() % 100, kind = random() % 3;
        std::vector<unsigned char> map(static_cast<std::size_t>(w) * h, 0);
        for (int y = 1; y < h - 1; ++y)
            for (int x = 1; x < w - 1; ++x) {
                const bool noise = random() % 100 < density;
                const bool on = kind == 0   ? noise
                                : kind == 1 ? ((x / (1 + trial % 4) + y / (1 + trial % 3)) % 2 == 0 || (noise && random() % 4 == 0))
                                            : ((x * x + y * y) % (7 + trial % 13) < 3 + (noise && random() % 5 == 0 ? 1 : 0));
                map[static_cast<std::size_t>(y) * w + x] = on ? 1 : 0;
            }
        std::vector<unsigned char> walked = map;
        const auto fast = traceOutlineMap(map, w, h, limit);
        const auto slow = traceOutlineMap(walked, w, h, limit, true);
        ASSERT_EQ(fast, slow) << "trial " << trial;
        ASSERT_EQ(map, walked) << "trial " << trial;
    }
    // A region thousands of pixels across: its boundary is over the limit
    // and nearly every row starts on it again.
    constexpr int kSide = 4200;
    std::vector<unsigned char> disc(static_cast<std::size_t>(kSide) * kSide, 0);
    for (int y = 1; y < kSide - 1; ++y)
        for (int x = 1; x < kSide - 1; ++x)
            disc[static_cast<std::size_t>(y) * kSide + x] = (x - 2100) * (x - 2100) + (y - 2100) * (y - 2100) < 2000 * 2000;
    std::vector<unsigned char> walked = disc;
    EXPECT_TRUE(traceOutlineMap(disc, kSide, kSide).empty());
    EXPECT_TRUE(traceOutlineMap(walked, kSide, kSide, kMaxContourPoints, true).empty());
    EXPECT_EQ(disc, walked);
}

TEST(Outline, DisplayInvertsTheLinesAtTheZoom) {
    Doc d("", 20, 20);
    paintRect(d.mask(0), 4, 4, 10, 10);
    d.ws->SelectTool(kToolOutline);
    ASSERT_TRUE(d.ws->outlineDisplay());
    ASSERT_EQ(d.ws->outlines().size(), 1u);
    d.ws->ZoomTool();
    Surface out;
    ASSERT_TRUE(d.ws->renderOutlineDisplay(out, 40, 40));
    const Pixel photo = d.ws->source().at(4, 5);
    // (4, 5) in the image is (8, 10) at zoom 2; the line runs through it,
    // inverted, and the block's other pixel column is the photo itself.
    EXPECT_EQ(out.at(8, 10), (~photo) | kOpaque);
    EXPECT_EQ(out.at(9, 10), photo);
    EXPECT_EQ(out.at(20, 20), d.ws->source().at(10, 10));
    // The current region's outlines follow the region.
    ASSERT_TRUE(d.ws->appendRegion(0));
    d.ws->setCurrentRegion(1);
    d.ws->Redraw();
    EXPECT_TRUE(d.ws->outlines().empty());
    d.ws->SelectTool(kToolPen);
    EXPECT_FALSE(d.ws->outlineDisplay());
}
