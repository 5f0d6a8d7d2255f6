// The undo history: several steps back and forward, its limits, what keeps
// it and what ends it.
#include "core/StereoWorkspace.h"
#include "core/UndoHistory.h"
#include "support/Pictures.h"
#include "support/TestDocument.h"

#include <gtest/gtest.h>

#include <vector>

using namespace plastora;
using namespace plastora::test;

namespace {

struct Doc : TestDocument {
    Doc() : TestDocument(60, 40) {}
    Surface& mask(int i) { return ws->region(i).mask; }
    void stroke(Point a, Point b) {
        ws->LButtonDown(a);
        ws->MouseMove(b);
        ws->LButtonUp(b);
    }
    Surface copy(const Surface& s) {
        Surface c;
        EXPECT_TRUE(c.createCopy(s));
        return c;
    }
};

}  // namespace

TEST(UndoHistory, StrokesComeBackOneByOneAndRedoBringsThemAgain) {
    Doc d;
    // Pen strokes, an eraser stroke across them and a fill: each state kept.
    std::vector<Surface> states;
    states.push_back(d.copy(d.mask(0)));
    for (int i = 0; i < 4; ++i) {
        d.stroke({5, 5 + 8 * i}, {55, 8 + 8 * i});
        states.push_back(d.copy(d.mask(0)));
    }
    d.ws->SelectTool(kToolEraser);
    d.stroke({30, 0}, {30, 39});
    states.push_back(d.copy(d.mask(0)));
    d.ws->SelectTool(kToolFill);
    d.stroke({58, 38}, {58, 38});
    states.push_back(d.copy(d.mask(0)));
    ASSERT_FALSE(samePixels(states[5], states[6])) << "the fill must change the mask";

    for (int i = static_cast<int>(states.size()) - 2; i >= 0; --i) {
        ASSERT_TRUE(d.ws->canUndo());
        d.ws->Undo();
        EXPECT_TRUE(samePixels(d.mask(0), states[static_cast<std::size_t>(i)])) << "after undo back to state " << i;
    }
    EXPECT_FALSE(d.ws->canUndo());
    for (std::size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(d.ws->canRedo());
        d.ws->Redo();
        EXPECT_TRUE(samePixels(d.mask(0), states[i])) << "after redo to state " << i;
    }
    EXPECT_FALSE(d.ws->canRedo());

    // A new stroke after an undo drops what could have been redone.
    d.ws->Undo();
    d.ws->SelectTool(kToolPen);
    d.stroke({2, 2}, {3, 30});
    EXPECT_FALSE(d.ws->canRedo());
    d.ws->Undo();
    EXPECT_TRUE(samePixels(d.mask(0), states[5]));

    // An undo while a stroke is being drawn waits for the stroke to end.
    ASSERT_EQ(d.mask(0).at(45, 36), kBlack);
    d.ws->LButtonDown({40, 36});
    d.ws->MouseMove({50, 36});
    d.ws->Undo();
    EXPECT_EQ(d.mask(0).at(45, 36), kWhite);
    d.ws->LButtonUp({50, 36});
    d.ws->Undo();
    EXPECT_TRUE(samePixels(d.mask(0), states[5]));
}

TEST(UndoHistory, StepsNameTheirRegionAndToolAndTheRegionComesBack) {
    Doc d;
    ASSERT_TRUE(d.ws->appendRegion(0));
    d.ws->setMaskingOn(false);
    d.ws->setCurrentRegion(1);
    d.stroke({10, 10}, {40, 10});
    d.ws->SelectTool(kToolEraser);
    d.ws->setCurrentRegion(0);
    EXPECT_EQ(d.ws->nextUndo().kind, kUndoRegionMask);
    EXPECT_EQ(d.ws->nextUndo().region, 1);
    EXPECT_EQ(d.ws->nextUndo().tool, kToolPen);
    // Undoing in mask editing shows the region the step belongs to.
    d.ws->Undo();
    EXPECT_EQ(d.ws->currentRegion(), 1);
    EXPECT_EQ(countWhite(d.mask(1)), 0);
    EXPECT_EQ(d.ws->nextRedo().region, 1);
}

TEST(UndoHistory, KeepsFiftyStepsAndStaysWithinItsMemory) {
    Doc d;
    for (int i = 0; i < 60; ++i) d.stroke({i % 60, 0}, {i % 60, 39});
    EXPECT_EQ(d.ws->history().undoSteps(), UndoHistory::kDefaultSteps);
    // A 60 x 40 mask of black and white costs 300 bytes a step, not 9600.
    EXPECT_LT(d.ws->history().bytes(), 50u * 2000u);

    // With room for about three steps the oldest go; the newest always stays.
    UndoHistory h(100, 3 * 1000);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(h.record(*d.ws, kUndoRegionMask));
    EXPECT_LE(h.bytes(), 3u * 1000u);
    EXPECT_GE(h.undoSteps(), 1u);
    EXPECT_LT(h.undoSteps(), 10u);
    UndoHistory tiny(100, 1);
    ASSERT_TRUE(tiny.record(*d.ws, kUndoRegionMask));
    ASSERT_TRUE(tiny.record(*d.ws, kUndoRegionMask));
    EXPECT_EQ(tiny.undoSteps(), 1u);

    // A paint step holds the paint layer whole (9600 bytes) and its black
    // and white mask at a bit a pixel (300), not both at 32 bits: twice as
    // many paint steps fit the limit on a large photo.
    d.ws->SetMode(kModeImage);
    d.ws->SelectTool(kToolPen);
    d.ws->history().clear();
    d.stroke({1, 1}, {20, 1});
    ASSERT_EQ(d.ws->history().undoSteps(), 1u);
    EXPECT_LT(d.ws->history().bytes(), 9600u + 2000u);
}

TEST(UndoHistory, AMaskWithOtherColoursComesBackExactly) {
    Doc d;
    // Not only black and white (as a hand-made mask file may hold).
    d.mask(0).set(3, 4, 0xFF808080u);
    d.mask(0).set(7, 1, kWhite);
    const Surface before = d.copy(d.mask(0));
    d.stroke({0, 20}, {59, 20});
    d.ws->Undo();
    EXPECT_TRUE(samePixels(d.mask(0), before));
    d.ws->Redo();
    EXPECT_EQ(d.mask(0).at(3, 4), 0xFF808080u);
    EXPECT_EQ(d.mask(0).at(30, 20), kWhite);
}

TEST(UndoHistory, SurvivesModeSwitchesAndViewsButNotAnotherPicture) {
    Doc d;
    d.stroke({5, 5}, {50, 5});
    d.ws->SetMode(kModeImage);
    EXPECT_TRUE(d.ws->canUndo()) << "switching modes changes no picture";
    d.ws->GenerateViews(nullptr, 2, false);
    d.ws->StartViewAnimation();
    EXPECT_FALSE(d.ws->canUndo()) << "undo belongs to the editing modes";
    d.ws->SetMode(kModeMask);
    ASSERT_TRUE(d.ws->canUndo());
    d.ws->Undo();
    EXPECT_EQ(countWhite(d.mask(0)), 0);

    // Paint-layer strokes in image editing, then back in mask editing.
    d.ws->SetMode(kModeImage);
    d.ws->SelectTool(kToolPen);
    d.stroke({1, 1}, {20, 1});
    const Surface painted = d.copy(d.ws->paintMask());
    d.ws->Undo();
    EXPECT_EQ(countWhite(d.ws->paintMask()), 0);
    d.ws->Redo();
    EXPECT_TRUE(samePixels(d.ws->paintMask(), painted));

    // A new picture ends the history.
    d.ws->adoptPicture(gradientPicture(30, 30));
    d.ws->SetMode(kModeMask);
    EXPECT_FALSE(d.ws->canUndo());
    EXPECT_FALSE(d.ws->canRedo());
}

TEST(UndoHistory, AStepWhoseRegionIsGoneIsDropped) {
    Doc d;
    ASSERT_TRUE(d.ws->appendRegion(0));
    d.ws->setMaskingOn(false);
    d.ws->setCurrentRegion(1);
    d.stroke({5, 5}, {50, 5});
    // Removing the region without the command (which clears the history).
    d.ws->removeRegion(1);
    d.ws->Undo();
    EXPECT_FALSE(d.ws->canUndo());
    EXPECT_FALSE(d.ws->canRedo());
    EXPECT_EQ(d.ws->regionCount(), 1);
}

TEST(UndoHistory, ObjectRecordStepsGoBothWays) {
    Doc d;
    d.ws->SetMode(kModeImage);
    auto obj = std::make_shared<OverlayObject>();
    obj->x = 1;
    ASSERT_TRUE(d.ws->appendObject(kObjectShape, obj));
    d.ws->setCurrentObject(0);
    ASSERT_TRUE(d.ws->TakeSnapshot(kUndoObjectRecord));
    obj->x = 2;
    ASSERT_TRUE(d.ws->TakeSnapshot(kUndoObjectRecord));
    obj->x = 3;
    d.ws->Undo();
    EXPECT_EQ(obj->x, 2);
    d.ws->Undo();
    EXPECT_EQ(obj->x, 1);
    d.ws->Redo();
    d.ws->Redo();
    EXPECT_EQ(obj->x, 3);

    // A clip art's outlines (a dithered picture: a million points) are not
    // copied into every moving step, where they went uncounted: sixty
    // steps held gigabytes under a 512 MB limit.
    obj->outlines.assign(1000, OutlinePolygon{true, std::vector<Point>(1000, Point{1, 2})});
    const auto outlines = obj->outlines;
    d.ws->history().clear();
    for (int i = 0; i < 60; ++i) {
        ASSERT_TRUE(d.ws->TakeSnapshot(kUndoObjectRecord));
        obj->x = 10 + i;
    }
    EXPECT_EQ(d.ws->history().undoSteps(), UndoHistory::kDefaultSteps);
    EXPECT_LT(d.ws->history().bytes(), 50u * 2000u);
    d.ws->Undo();
    EXPECT_EQ(obj->x, 68);
    EXPECT_TRUE(obj->outlines == outlines);
    d.ws->Redo();
    EXPECT_EQ(obj->x, 69);
    EXPECT_TRUE(obj->outlines == outlines);
}
