#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <utility>

using namespace plastora;
using namespace plastora::test;

namespace {

constexpr const char* kAskAddSwitch = "切出し領域を追加します。現在表示中の切出し領域をマスキング用のマスクに切り換えますか？";
constexpr const char* kAskAdd = "切出し領域を追加しますか？";
constexpr const char* kAskDelete = "表示中の切出し領域を削除しますか？";

struct Doc {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws{host, dir.file("none.ini")};
    Doc() {
        ws.adoptPicture(gradientPicture(20, 10));
        ws.SetMode(kModeMask);
    }
    // Adds regions with the given depths; region i's mask marks column i.
    void regions(std::initializer_list<int> depths) {
        int i = 0;
        for (int d : depths) {
            if (i > 0) {
                EXPECT_TRUE(ws.appendRegion(d));
            }
            ws.region(i).depth = d;
            paintRect(ws.region(i).mask, i, 0, i + 1, 1);
            ++i;
        }
    }
    int markOf(int region) const {
        for (int x = 0; x < 20; ++x)
            if (ws.region(region).mask.at(x, 0) == kWhite) return x;
        return -1;
    }
};

}  // namespace

TEST(Regions, AddingAsksTheRightQuestionAndDerivesTheDepth) {
    Doc d;
    // Region 0 is current and already the masking mask: only the short question.
    d.host.expectMessage(kAskAdd, MsgResult::Yes, MsgButtons::YesNo);
    ASSERT_TRUE(d.ws.AddRegion());
    EXPECT_EQ(d.ws.regionCount(), 2);
    EXPECT_EQ(d.ws.currentRegion(), 1);
    EXPECT_EQ(d.ws.region(1).depth, 12);  // 8 * 3 / 2
    EXPECT_EQ(countWhite(d.ws.region(1).mask), 0);

    // Region 1 is current and not the masking mask: Yes makes it the mask.
    d.host.expectMessage(kAskAddSwitch, MsgResult::Yes, MsgButtons::YesNoCancel);
    ASSERT_TRUE(d.ws.AddRegion());
    EXPECT_EQ(d.ws.maskingIndex(), 1);
    EXPECT_EQ(d.ws.currentRegion(), 2);

    d.host.expectMessage(kAskAddSwitch, MsgResult::Cancel);
    EXPECT_FALSE(d.ws.AddRegion());
    d.host.expectMessage(kAskAddSwitch, MsgResult::No);
    ASSERT_TRUE(d.ws.AddRegion());
    EXPECT_EQ(d.ws.maskingIndex(), 1) << "No keeps the masking mask";
    EXPECT_EQ(d.ws.regionCount(), 4);
}

TEST(Regions, NegativeDepthsTruncateTowardZero) {
    Doc d;
    d.ws.region(0).depth = -5;
    d.host.expectMessage(kAskAdd, MsgResult::Yes);
    ASSERT_TRUE(d.ws.AddRegion());
    EXPECT_EQ(d.ws.region(1).depth, -7);
    // At the ends of the range the new depth stays storable.
    for (const auto& [first, added] : {std::pair{16, 16}, std::pair{-32, -32}, std::pair{-22, -32}}) {
        Doc e;
        e.ws.region(0).depth = first;
        e.host.expectMessage(kAskAdd, MsgResult::Yes);
        ASSERT_TRUE(e.ws.AddRegion());
        EXPECT_EQ(e.ws.region(1).depth, added) << first;
    }
}

TEST(Regions, The33rdRegionIsRefused) {
    Doc d;
    for (int i = 1; i < kMaxRegions; ++i) ASSERT_TRUE(d.ws.appendRegion(0));
    d.host.expectMessage("これ以上切出し領域は追加できません");
    EXPECT_FALSE(d.ws.AddRegion());
    EXPECT_EQ(d.ws.regionCount(), 32);
}

TEST(Regions, SwitchingWithOneRegionOffersToAddOne) {
    Doc d;
    d.host.expectMessage(kAskAdd, MsgResult::No);
    d.ws.SwitchRegion();
    EXPECT_EQ(d.ws.regionCount(), 1);
    d.regions({0, 4, 8});
    d.ws.SwitchRegion();
    d.ws.SwitchRegion();
    EXPECT_EQ(d.ws.currentRegion(), 2);
    d.ws.SwitchRegion();
    EXPECT_EQ(d.ws.currentRegion(), 0);
}

TEST(Regions, DeletingKeepsTheMaskingMaskOnTheSameRegion) {
    Doc d;
    d.regions({0, 1, 2, 3});
    d.ws.setMaskingIndex(2);
    d.ws.setCurrentRegion(1);
    d.host.expectMessage(kAskDelete, MsgResult::Yes, MsgButtons::YesNo);
    ASSERT_TRUE(d.ws.DeleteRegion());
    EXPECT_EQ(d.ws.regionCount(), 3);
    EXPECT_EQ(d.ws.maskingIndex(), 1);
    EXPECT_EQ(d.markOf(1), 2) << "the masking index still names the region marked 2";
    EXPECT_EQ(d.ws.currentRegion(), 0);

    // Deleting region 0 makes the next one region 0; deleting the masking mask resets it.
    d.ws.setMaskingIndex(0);
    d.host.expectMessage(kAskDelete, MsgResult::Yes);
    ASSERT_TRUE(d.ws.DeleteRegion());
    EXPECT_EQ(d.markOf(0), 2);
    EXPECT_EQ(d.ws.maskingIndex(), 0);

    d.host.expectMessage(kAskDelete, MsgResult::No);
    EXPECT_FALSE(d.ws.DeleteRegion());
    EXPECT_EQ(d.ws.regionCount(), 2);
}

TEST(Regions, MovingInOrderCarriesMaskDepthAndMaskingIndex) {
    Doc d;
    d.regions({0, 1, 2, 3});
    d.ws.setMaskingIndex(0);
    ASSERT_TRUE(d.ws.TakeSnapshot(kUndoRegionMask));
    d.ws.setCurrentRegion(0);
    d.ws.MoveRegionInOrder(1);  // "前面へ"
    EXPECT_EQ(d.markOf(1), 0);
    EXPECT_EQ(d.ws.region(1).depth, 0);
    EXPECT_EQ(d.ws.currentRegion(), 1);
    EXPECT_EQ(d.ws.maskingIndex(), 1);
    EXPECT_EQ(d.ws.undoKind(), kUndoNone);

    d.ws.MoveRegionInOrder(3);  // "最前面へ": the others keep their order
    EXPECT_EQ(d.markOf(0), 1);
    EXPECT_EQ(d.markOf(1), 2);
    EXPECT_EQ(d.markOf(2), 3);
    EXPECT_EQ(d.markOf(3), 0);
    EXPECT_EQ(d.ws.maskingIndex(), 3);

    d.ws.MoveRegionInOrder(0);  // "最背面へ"
    EXPECT_EQ(d.markOf(0), 0);
    EXPECT_EQ(d.markOf(3), 3);
}

TEST(Regions, ReorderByDepthIsStable) {
    Doc d;
    d.regions({0, 8, 4, 4, -2});
    d.ws.ReorderRegionsByDepth();
    const int expectedDepth[] = {-2, 0, 4, 4, 8};
    const int expectedMark[] = {4, 0, 2, 3, 1};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(d.ws.region(i).depth, expectedDepth[i]) << i;
        EXPECT_EQ(d.markOf(i), expectedMark[i]) << i;
    }
}

TEST(Regions, MaskingMaskQuestionAndToggle) {
    Doc d;
    d.regions({0, 1});
    d.ws.setCurrentRegion(1);
    d.ws.setMaskingOn(false);
    d.host.expectMessage("現在表示中の切出し領域をマスキング用のマスクに設定しますか？", MsgResult::Yes, MsgButtons::YesNo);
    ASSERT_TRUE(d.ws.SetMaskingMask());
    EXPECT_EQ(d.ws.maskingIndex(), 1);
    EXPECT_TRUE(d.ws.maskingOn());
    d.ws.ToggleMasking();
    EXPECT_FALSE(d.ws.maskingOn());
}

TEST(Regions, ExportWritesTheBoundingBoxOrSaysTheMaskIsEmpty) {
    Doc d;
    d.host.expectMessage("切出し領域が描かれていないため、保存できません。");
    EXPECT_EQ(d.ws.ExportRegion(d.dir.file("empty.bmp")), 0);
    EXPECT_FALSE(std::filesystem::exists(d.dir.file("empty.bmp")));

    // An L shape: the box is 4 x 3 and the corner outside the mask is green.
    paintRect(d.ws.region(0).mask, 5, 2, 6, 5);
    paintRect(d.ws.region(0).mask, 5, 4, 9, 5);
    ASSERT_EQ(d.ws.ExportRegion(d.dir.file("cut.bmp")), 1);
    Surface cut;
    int w = 0, h = 0;
    ASSERT_EQ(LoadStillImage(d.host, d.dir.file("cut.bmp"), std::nullopt, cut, w, h), 1);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 3);
    EXPECT_EQ(cut.at(0, 0), d.ws.source().at(5, 2));
    EXPECT_EQ(cut.at(3, 2), d.ws.source().at(8, 4));
    EXPECT_EQ(cut.at(3, 0), pixelFromColorRef(65280));

    d.host.expectFileDialog(std::nullopt);
    EXPECT_EQ(d.ws.ExportRegion(), 0);
    EXPECT_EQ(d.host.fileRequests.back().filter, "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp||");
}
