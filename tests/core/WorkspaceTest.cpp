#include "core/Settings.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace plastora;
using namespace plastora::test;

namespace {

constexpr const char* kAskSave = "画像が編集されています。\nデータを保存しますか？";

void writeIni(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

// A workspace holding a 40 x 30 gradient photo, as opening leaves it.
struct Fixture {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws{host, dir.file("Plastora.ini")};
    Fixture() {
        ws.adoptPicture(gradientPicture(40, 30));
        ws.SetMode(kModeMask);
    }
};

}  // namespace

TEST(Workspace, ViewCountComesFromTheSettingsAndIsAtLeastTwo) {
    TempDir dir;
    ScriptedHost host;
    {
        CStereoWorkspace ws(host, dir.file("none.ini"));
        EXPECT_EQ(ws.viewCount(), 4);
        EXPECT_EQ(ws.mode(), kModeNone);
        EXPECT_EQ(ws.settings().maskColour, 65280u);
        EXPECT_EQ(ws.settings().hdRatio, 3);
    }
    writeIni(dir.file("a.ini"), "[Lenticular]\nSize=6\nDisplay=9\n");
    EXPECT_EQ(CStereoWorkspace(host, dir.file("a.ini")).viewCount(), 6);
    writeIni(dir.file("b.ini"), "[Lenticular]\nSize=6\nDisplay=9\n[Picture]\nDisplay=1\n");
    EXPECT_EQ(CStereoWorkspace(host, dir.file("b.ini")).viewCount(), 9);
    writeIni(dir.file("c.ini"), "[Lenticular]\nSize=1\n");
    EXPECT_EQ(CStereoWorkspace(host, dir.file("c.ini")).viewCount(), kMinViews);
    writeIni(dir.file("d.ini"), "[Lenticular]\nSize=-5\n");
    EXPECT_EQ(CStereoWorkspace(host, dir.file("d.ini")).viewCount(), kMinViews);
}

TEST(Workspace, MaskEditingCreatesRegionZeroOnce) {
    Fixture f;
    ASSERT_EQ(f.ws.regionCount(), 1);
    EXPECT_EQ(f.ws.region(0).depth, 8);  // the default foreground depth
    EXPECT_EQ(countWhite(f.ws.region(0).mask), 0);
    EXPECT_EQ(f.ws.region(0).mask.width(), 40);
    EXPECT_EQ(f.ws.tool(), kToolPen);
    EXPECT_EQ(f.ws.currentRegion(), 0);

    f.ws.appendRegion(3);
    f.ws.setCurrentRegion(1);
    f.ws.SetMode(kModeMask);
    EXPECT_EQ(f.ws.regionCount(), 2) << "a second SetMode must not add regions";
    EXPECT_EQ(f.ws.currentRegion(), 0);
}

TEST(Workspace, SetModeResetsEditingStateAndDiscardsViews) {
    Fixture f;
    f.ws.setZoom(4);
    ASSERT_TRUE(f.ws.view(0).create(40, 30));
    ASSERT_TRUE(f.ws.composite().create(80, 60));
    ASSERT_TRUE(f.ws.TakeSnapshot(kUndoRegionMask));
    f.ws.setCurrentObject(0);

    f.ws.SetMode(kModeImage);
    EXPECT_EQ(f.ws.mode(), kModeImage);
    EXPECT_EQ(f.ws.tool(), kToolNone);
    EXPECT_EQ(f.ws.zoom(), 1);
    EXPECT_FALSE(f.ws.hasViews());
    EXPECT_TRUE(f.ws.composite().empty());
    // The undo history outlives the switch: no picture changed.
    EXPECT_EQ(f.ws.undoKind(), kUndoRegionMask);
    EXPECT_EQ(f.ws.currentObject(), -1);
}

TEST(Workspace, RegionZeroThatCannotBeAllocatedShowsTheMemoryMessage) {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("x.ini"));
    ws.adoptPicture(gradientPicture(10, 10));
    Surface::setAllocationHook([](int, int) { return false; });
    host.expectMessage(kOutOfMemoryMessage, MsgResult::Ok, MsgButtons::Ok, MsgIcon::Error);
    EXPECT_FALSE(ws.SetMode(kModeMask));
    Surface::setAllocationHook(nullptr);
    EXPECT_EQ(ws.regionCount(), 0);
}

TEST(Workspace, UndoRestoresExactlyTheSnapshotOnce) {
    Fixture f;
    Surface& mask = f.ws.region(0).mask;
    paintRect(mask, 2, 2, 5, 5);
    Surface before;
    ASSERT_TRUE(before.createCopy(mask));
    f.ws.setModified(false);

    ASSERT_TRUE(f.ws.TakeSnapshot(kUndoRegionMask));
    EXPECT_TRUE(f.ws.modified()) << "taking a snapshot marks the picture edited";
    EXPECT_TRUE(f.ws.canUndo());
    paintRect(mask, 10, 10, 20, 20);
    f.ws.Undo();
    EXPECT_TRUE(samePixels(mask, before));
    EXPECT_EQ(f.ws.undoKind(), kUndoNone);

    // One level only: a second undo changes nothing.
    paintRect(mask, 30, 0, 31, 1);
    f.ws.Undo();
    EXPECT_EQ(mask.at(30, 0), kWhite);
}

TEST(Workspace, UndoOfThePaintLayerRestoresLayerAndMask) {
    Fixture f;
    f.ws.SetMode(kModeImage);
    ASSERT_TRUE(f.ws.ensurePaintLayer());
    ASSERT_TRUE(f.ws.TakeSnapshot(kUndoPaintLayer));
    f.ws.paintLayer().set(3, 3, 0xFF123456);
    f.ws.paintMask().set(3, 3, kWhite);
    f.ws.Undo();
    EXPECT_EQ(f.ws.paintLayer().at(3, 3), kBlack);
    EXPECT_EQ(f.ws.paintMask().at(3, 3), kBlack);
}

TEST(Workspace, UndoAfterARegionMoveDoesNothing) {
    Fixture f;
    ASSERT_TRUE(f.ws.TakeSnapshot(kUndoRegionMask));
    paintRect(f.ws.region(0).mask, 0, 0, 4, 4);
    f.ws.ClearUndo();  // what moving a region in the order does
    EXPECT_FALSE(f.ws.canUndo());
    f.ws.Undo();
    EXPECT_EQ(countWhite(f.ws.region(0).mask), 16);
}

TEST(Workspace, UndoOfObjectOrderAndRecord) {
    Fixture f;
    f.ws.SetMode(kModeImage);
    auto a = std::make_shared<OverlayObject>();
    auto b = std::make_shared<OverlayObject>();
    a->x = 1;
    b->x = 2;
    ASSERT_TRUE(f.ws.appendObject(kObjectShape, a));
    ASSERT_TRUE(f.ws.appendObject(kObjectText, b));

    ASSERT_TRUE(f.ws.TakeSnapshot(kUndoObjectOrder));
    std::swap(f.ws.objectEntry(0), f.ws.objectEntry(1));
    f.ws.removeObjectAt(1);
    f.ws.Undo();
    ASSERT_EQ(f.ws.objectCount(), 2);
    EXPECT_EQ(f.ws.objectEntry(0).object, a);
    EXPECT_EQ(f.ws.objectEntry(1).object, b);
    EXPECT_EQ(f.ws.objectEntry(1).type, kObjectText);

    f.ws.setCurrentObject(1);
    ASSERT_TRUE(f.ws.TakeSnapshot(kUndoObjectRecord));
    b->x = 99;
    b->depth = -5;
    f.ws.Undo();
    EXPECT_EQ(b->x, 2);
    EXPECT_EQ(b->depth, 0);
}

TEST(Workspace, UndoIsOnlyOfferedInTheEditingModes) {
    Fixture f;
    ASSERT_TRUE(f.ws.TakeSnapshot(kUndoRegionMask));
    f.ws.setDisplayMode(kModeComposite);
    EXPECT_FALSE(f.ws.canUndo());
    f.ws.setDisplayMode(kModeImage);
    EXPECT_TRUE(f.ws.canUndo());
}

TEST(Workspace, TheObjectTableTakes31Objects) {
    Fixture f;
    for (int i = 0; i < kMaxObjects; ++i) ASSERT_TRUE(f.ws.appendObject(kObjectShape, std::make_shared<OverlayObject>()));
    f.host.expectMessage("これ以上ｵﾌﾞｼﾞｪｸﾄを追加できません。");
    EXPECT_FALSE(f.ws.appendObject(kObjectShape, std::make_shared<OverlayObject>()));
    EXPECT_EQ(f.ws.objectCount(), 31);
}

TEST(Workspace, SaveModifiedAsksOnlyWhenModified) {
    Fixture f;
    f.ws.setModified(false);
    EXPECT_EQ(f.ws.SaveModified(), 1);  // no question expected

    f.ws.setModified(true);
    f.host.expectMessage(kAskSave, MsgResult::Cancel, MsgButtons::YesNoCancel);
    EXPECT_EQ(f.ws.SaveModified(), 0);
    EXPECT_TRUE(f.ws.modified());

    f.host.expectMessage(kAskSave, MsgResult::No, MsgButtons::YesNoCancel);
    EXPECT_EQ(f.ws.SaveModified(), 1);
}

TEST(Workspace, TheSampleDataCommandAsksOnceAboutAnEditedPicture) {
    // A photo with no project beside it is opened without the save
    // question again: answered No once, it was asked a second time.
    Fixture f;
    f.ws.setModified(true);
    const std::string photo = f.dir.file("photo.jpg");
    ASSERT_EQ(SaveStillImage(f.host, gradientPicture(40, 30), 40, 30, photo, 90), 1);
    f.host.expectMessage(kAskSave, MsgResult::No, MsgButtons::YesNoCancel).expectFileDialog(photo);
    f.ws.OpenSampleData();
}

TEST(Workspace, SaveModifiedYesSavesToTheCurrentPath) {
    Fixture f;
    f.ws.setCurrentPath(f.dir.file("photo.jpg"));
    f.ws.setModified(true);
    f.host.expectMessage(kAskSave, MsgResult::Yes, MsgButtons::YesNoCancel);
    EXPECT_EQ(f.ws.SaveModified(), 1);
    EXPECT_TRUE(std::filesystem::exists(f.dir.file("photo.lyr")));
    EXPECT_TRUE(std::filesystem::exists(f.dir.file("photo.bmp")));
    EXPECT_FALSE(f.ws.modified());
}

TEST(Workspace, SaveModifiedYesThatFailsKeepsThePictureOpen) {
    Fixture f;
    f.ws.setCurrentPath(f.dir.file("no-such-folder/photo.jpg"));
    f.ws.setModified(true);
    f.host.expectMessage(kAskSave, MsgResult::Yes);
    f.host.expectMessage("ファイルの保存に失敗しました");
    EXPECT_EQ(f.ws.SaveModified(), 0);
    EXPECT_TRUE(f.ws.modified());
}

TEST(Workspace, MaskDisplayFillsTheRegionFlatAndMaskingWhitensOutside) {
    Fixture f;
    paintRect(f.ws.region(0).mask, 0, 0, 10, 10);
    f.ws.Redraw();
    const Surface& d = f.ws.display();
    EXPECT_EQ(d.at(5, 5), pixelFromColorRef(65280)) << "inside the mask: the flat mask colour";
    EXPECT_EQ(d.at(20, 20), f.ws.source().at(20, 20)) << "outside: the photo";

    ASSERT_TRUE(f.ws.appendRegion(4));
    paintRect(f.ws.region(1).mask, 2, 2, 4, 4);
    f.ws.setCurrentRegion(1);
    f.ws.setMaskingIndex(0);
    f.ws.setMaskingOn(true);
    f.ws.Redraw();
    EXPECT_EQ(d.at(3, 3), pixelFromColorRef(65280));
    EXPECT_EQ(d.at(7, 7), f.ws.source().at(7, 7)) << "inside the masking region: the photo";
    EXPECT_EQ(d.at(20, 20), kWhite) << "outside the masking region: white";

    // Masking never applies while region 0 is current.
    f.ws.setCurrentRegion(0);
    f.ws.Redraw();
    EXPECT_EQ(d.at(20, 20), f.ws.source().at(20, 20));
}

TEST(Workspace, ImageDisplayShowsThePaintLayerThroughItsMask) {
    Fixture f;
    f.ws.SetMode(kModeImage);
    ASSERT_TRUE(f.ws.ensurePaintLayer());
    f.ws.paintLayer().set(1, 1, 0xFF0000FF);
    f.ws.paintMask().set(1, 1, kWhite);
    f.ws.paintLayer().set(2, 2, 0xFF00FF00);  // not in the paint mask
    f.ws.Redraw();
    EXPECT_EQ(f.ws.display().at(1, 1), 0xFF0000FFu);
    EXPECT_EQ(f.ws.display().at(2, 2), f.ws.source().at(2, 2));
    EXPECT_GT(f.host.redraws, 0);
}

TEST(Workspace, CompositeDisplayIsScaledToThePictureSize) {
    Fixture f;
    ASSERT_TRUE(f.ws.composite().create(80, 60));
    blit(f.ws.composite(), Rop::Whiteness);
    f.ws.setDisplayMode(kModeComposite);
    f.ws.Redraw();
    EXPECT_EQ(f.ws.display().width(), 40);
    EXPECT_EQ(f.ws.display().at(39, 29), kWhite);
}
