#include "layers/DepthEditor.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace plastora;
using namespace plastora::test;

namespace {

struct Doc {
    TempDir dir;
    ScriptedHost host;
    std::unique_ptr<CStereoWorkspace> ws;
    explicit Doc(const std::string& ini = "") {
        if (!ini.empty()) std::ofstream(dir.file("Plastora.ini")) << ini;
        ws = std::make_unique<CStereoWorkspace>(host, dir.file("Plastora.ini"));
        ws->adoptPicture(gradientPicture(12, 8));
        ws->SetMode(kModeMask);
    }
    void regions(std::initializer_list<int> depths) {
        int i = 0;
        for (int d : depths) {
            if (i > 0) {
                EXPECT_TRUE(ws->appendRegion(d));
            }
            ws->region(i).depth = d;
            paintRect(ws->region(i).mask, i, 0, i + 1, 1);
            ++i;
        }
    }
    std::shared_ptr<OverlayObject> object(int depth, int flags = 0, int type = kObjectShape) {
        auto o = std::make_shared<OverlayObject>();
        o->depth = depth;
        o->flags = flags;
        EXPECT_TRUE(ws->appendObject(type, o));
        return o;
    }
};

}  // namespace

TEST(DepthEditor, RangeIsMinus32To16WithTheOneMessage) {
    Doc d;
    for (int bad : {-33, 17}) {
        DepthEditor e(*d.ws);
        e.paintField = bad;
        d.host.expectMessage(kDepthRangeMessage);
        DepthField focus;
        EXPECT_FALSE(e.accept(focus));
        EXPECT_EQ(focus, DepthField::Paint);
    }
    DepthEditor e(*d.ws);
    e.background = -32;
    e.regionField = 16;
    DepthField focus;
    EXPECT_TRUE(e.accept(focus));
    EXPECT_EQ(d.ws->backgroundDepth, -32);
    EXPECT_EQ(d.ws->region(0).depth, 16);
    EXPECT_TRUE(d.ws->modified());
}

TEST(DepthEditor, TheFirstBadFieldInOrderGetsTheFocus) {
    Doc d;
    d.object(0);
    DepthEditor e(*d.ws);
    ASSERT_EQ(e.nextObject(), DepthField::None);
    e.objectField = 20;
    e.paintField = 20;
    d.host.expectMessage(kDepthRangeMessage);
    DepthField focus;
    EXPECT_FALSE(e.accept(focus));
    EXPECT_EQ(focus, DepthField::Paint);
    e.paintField = 0;
    d.host.expectMessage(kDepthRangeMessage);
    EXPECT_FALSE(e.accept(focus));
    EXPECT_EQ(focus, DepthField::Object);
}

TEST(DepthEditor, SharpTickMovesTheBackground) {
    Doc d;
    d.ws->backgroundDepth = -16;
    DepthEditor e(*d.ws);
    EXPECT_FALSE(e.sharp);
    e.setSharp(true);
    EXPECT_EQ(e.background, -8);
    e.setSharp(false);
    EXPECT_EQ(e.background, -16);
    e.background = -20;
    e.setSharp(false);
    EXPECT_EQ(e.background, -20);
    e.background = -4;
    e.setSharp(true);
    EXPECT_EQ(e.background, -4);
}

TEST(DepthEditor, OrderQuestionReordersWithMasks) {
    Doc d;
    d.regions({0, 8, 4});
    DepthEditor e(*d.ws);
    d.host.expectMessage(kDepthOrderQuestion, MsgResult::Yes, MsgButtons::YesNoCancel);
    DepthField focus;
    ASSERT_TRUE(e.accept(focus));
    EXPECT_EQ(d.ws->region(0).depth, 0);
    EXPECT_EQ(d.ws->region(1).depth, 4);
    EXPECT_EQ(d.ws->region(2).depth, 8);
    EXPECT_EQ(d.ws->region(1).mask.at(2, 0), kWhite) << "the mask moved with its depth";
    EXPECT_EQ(d.ws->region(2).mask.at(1, 0), kWhite);
}

TEST(DepthEditor, OrderQuestionNoKeepsAndCancelStays) {
    Doc d;
    d.regions({0, 8, 4});
    {
        DepthEditor e(*d.ws);
        d.host.expectMessage(kDepthOrderQuestion, MsgResult::Cancel);
        DepthField focus;
        EXPECT_FALSE(e.accept(focus));
        EXPECT_EQ(focus, DepthField::Region);
        EXPECT_EQ(e.currentRegion(), 1) << "the first out-of-order region is shown";
        EXPECT_EQ(e.regionField, 8);
        EXPECT_FALSE(d.ws->modified());
    }
    DepthEditor e(*d.ws);
    d.host.expectMessage(kDepthOrderQuestion, MsgResult::No);
    DepthField focus;
    ASSERT_TRUE(e.accept(focus));
    EXPECT_EQ(d.ws->region(1).depth, 8);
    EXPECT_EQ(d.ws->region(2).depth, 4);
}

TEST(DepthEditor, EqualNeighboursAreConsistent) {
    Doc d;
    d.regions({2, 2, 5});
    DepthEditor e(*d.ws);
    DepthField focus;
    EXPECT_TRUE(e.accept(focus));  // no question
}

TEST(DepthEditor, StandardValuesSpreadTheRegionsEvenly) {
    {
        Doc d;
        d.regions({-3, 1, 9});
        d.object(7);
        DepthEditor e(*d.ws);
        e.resetToStandard();
        EXPECT_EQ(e.regionDepths(), (std::vector<int>{0, 4, 8}));
        EXPECT_EQ(e.background, -16) << "the standard background falls back to -16";
        EXPECT_FALSE(e.sharp);
        EXPECT_EQ(e.paintField, 0);
        EXPECT_EQ(e.objectDepths(), (std::vector<int>{0}));
        EXPECT_EQ(e.regionField, 0);
    }
    {
        Doc d;
        d.regions({0, 0, 0, 0});
        DepthEditor e(*d.ws);
        e.resetToStandard();
        EXPECT_EQ(e.regionDepths(), (std::vector<int>{0, 2, 5, 8}));
    }
    {
        Doc d("[Stereo]\nBackGround=-6\nForeGround=10\nPaint=3\n");
        DepthEditor e(*d.ws);
        e.resetToStandard();
        EXPECT_EQ(e.regionDepths(), (std::vector<int>{10}));
        EXPECT_EQ(e.background, -6);
        EXPECT_TRUE(e.sharp);
        EXPECT_EQ(e.paintField, 3);
    }
}

TEST(DepthEditor, RegionButtonCyclesAndOnlyRegionZeroHasAShadowBox) {
    Doc d;
    d.regions({0, 3, 6});
    d.ws->regionShadow = 1;
    DepthEditor e(*d.ws);
    EXPECT_TRUE(e.regionButtonEnabled);
    EXPECT_TRUE(e.regionShadow);
    EXPECT_TRUE(e.regionShadowEnabled);
    e.regionField = 1;
    ASSERT_EQ(e.nextRegion(), DepthField::None);
    EXPECT_EQ(e.currentRegion(), 1);
    EXPECT_EQ(e.regionField, 3);
    EXPECT_FALSE(e.regionShadowEnabled);
    EXPECT_EQ(d.ws->currentRegion(), 1) << "the highlighted region follows";
    e.regionField = 40;
    d.host.expectMessage(kDepthRangeMessage);
    EXPECT_EQ(e.nextRegion(), DepthField::Region);
    EXPECT_EQ(e.currentRegion(), 1);
    e.regionField = 3;
    e.nextRegion();
    e.nextRegion();
    EXPECT_EQ(e.currentRegion(), 0);
    EXPECT_EQ(e.regionField, 1) << "the value typed for region 0 was kept";
    EXPECT_TRUE(e.regionShadowEnabled);
}

TEST(DepthEditor, ObjectsCycleAndFlatTextIsNotEditable) {
    Doc d;
    d.object(3);
    auto flat = d.object(5, kTextFlat, kObjectText);
    auto shadowed = d.object(-2);
    shadowed->shadow = 1;
    DepthEditor e(*d.ws);
    EXPECT_TRUE(e.objectButtonEnabled);
    EXPECT_FALSE(e.objectFieldEnabled) << "no object is current yet";
    ASSERT_EQ(e.nextObject(), DepthField::None);
    EXPECT_EQ(e.currentObject(), 0);
    EXPECT_TRUE(e.objectFieldEnabled);
    e.objectField = 9;
    e.nextObject();
    EXPECT_EQ(e.currentObject(), 1);
    EXPECT_EQ(e.objectField, 5);
    EXPECT_FALSE(e.objectFieldEnabled);
    e.objectField = 99;  // ignored: the field cannot be edited
    EXPECT_EQ(e.nextObject(), DepthField::None);
    EXPECT_TRUE(e.objectShadow);
    EXPECT_TRUE(e.objectFieldEnabled);
    e.objectShadow = false;
    // A move of the object before: its undo step holds the old depth.
    d.ws->SetMode(kModeImage);
    d.ws->SelectTool(kToolMove);
    d.ws->setCurrentObject(0);
    ASSERT_TRUE(d.ws->KeyDown(ObjectKey::Right));
    ASSERT_TRUE(d.ws->canUndo());
    DepthField focus;
    ASSERT_TRUE(e.accept(focus));
    EXPECT_EQ(d.ws->objectEntry(0).object->depth, 9);
    EXPECT_EQ(flat->depth, 5);
    EXPECT_EQ(shadowed->shadow, 0);
    EXPECT_FALSE(d.ws->canUndo()) << "an undo of the move would take the new depth back";
}

TEST(DepthEditor, StereoPairDocumentsLockBackgroundAndRegions) {
    Doc d;
    d.ws->setStereoPair(true);
    DepthEditor e(*d.ws);
    EXPECT_FALSE(e.backgroundEnabled);
    EXPECT_FALSE(e.regionFieldEnabled);
    EXPECT_FALSE(e.regionShadowEnabled);

    // A depth-map document's regions go into the map: depths yes, no shadow
    // (its views never drew one).
    Doc m;
    ASSERT_TRUE(m.ws->depthMap().create(m.ws->width(), m.ws->height()));
    DepthEditor me(*m.ws);
    EXPECT_TRUE(me.regionFieldEnabled);
    EXPECT_FALSE(me.regionShadowEnabled);
}

TEST(DepthEditor, RunDepthDialogSwitchesToImageEditingAndHighlights) {
    Doc d;
    struct Dialogs : WorkspaceDialogs {
        bool sawHighlight = false;
        void depthDialog(CStereoWorkspace& ws) override {
            sawHighlight = ws.depthDialogOpen() && ws.mode() == kModeImage;
            DepthEditor e(ws);
            e.paintField = -1;
            DepthField f;
            EXPECT_TRUE(e.accept(f));
        }
    } dialogs;
    d.ws->setDialogs(&dialogs);
    ASSERT_TRUE(d.ws->view(0).create(12, 8));
    d.ws->RunDepthDialog();
    EXPECT_TRUE(dialogs.sawHighlight);
    EXPECT_FALSE(d.ws->depthDialogOpen());
    EXPECT_FALSE(d.ws->hasViews());
    EXPECT_EQ(d.ws->paintDepth, -1);
}
