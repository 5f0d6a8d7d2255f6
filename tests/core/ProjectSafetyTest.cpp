// Saving a project never writes over the user's photo or an unrelated file,
// and a save that fails anywhere leaves the previous project whole.
#include "core/DepthMapFile.h"
#include "core/ProjectFile.h"
#include "core/StereoWorkspace.h"
#include "core/StillImage.h"
#include "layers/DepthViews.h"
#include "support/FileSizeLimit.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sys/resource.h>

namespace plastora {
namespace {

namespace fs = std::filesystem;
using namespace test;

std::vector<std::uint8_t> bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string withFile(const char* format, const std::string& file) {
    std::string text = format;
    text.replace(text.find("%s"), 2, file);
    return text;
}

// A 64 x 48 photo written as `photo` and saved as the project `project`,
// after `edit` (if any) has changed the document.
void saveProjectOfPhoto(ScriptedHost& host, const std::string& ini, const std::string& photo,
                        const std::string& project, const std::function<void(CStereoWorkspace&)>& edit = {}) {
    ASSERT_EQ(SaveStillImage(host, gradientPicture(64, 48), 64, 48, photo, 90), 1);
    CStereoWorkspace ws(host, ini);
    ASSERT_EQ(ws.Open(photo), 1);
    if (edit) edit(ws);
    ASSERT_EQ(ws.Save(project), 1);
}

TEST(ProjectSafety, TheOpenedPhotoIsNeverWrittenOver) {
    TempDir dir;
    ScriptedHost host;
    const std::string photo = dir.file("holiday.bmp");
    ASSERT_EQ(SaveStillImage(host, gradientPicture(64, 48), 64, 48, photo, 90), 1);
    const auto original = bytesOf(photo);
    CStereoWorkspace ws(host, dir.file("none.ini"));
    ASSERT_EQ(ws.Open(photo), 1);
    paintRect(ws.region(0).mask, 4, 4, 20, 20);

    // The same base name: the edit image would land on the photo. The user is
    // told which file, and asked for another name; cancelling saves nothing.
    host.expectMessage(withFile(kForeignCompanionMessage, photo));
    host.expectFileDialog(std::nullopt);
    EXPECT_EQ(ws.Save(dir.file("holiday.lyr")), 0);
    EXPECT_EQ(bytesOf(photo), original);
    EXPECT_FALSE(fs::exists(dir.file("holiday.lyr")));

    // Another name chosen in the dialog is saved there.
    host.expectMessage(withFile(kForeignCompanionMessage, photo));
    host.expectFileDialog(dir.file("trip.lyr"));
    ASSERT_EQ(ws.Save(dir.file("holiday.lyr")), 1);
    EXPECT_EQ(bytesOf(photo), original);
    EXPECT_TRUE(fs::exists(dir.file("trip.lyr")));
    EXPECT_TRUE(fs::exists(dir.file("trip.bmp")));
    EXPECT_EQ(ws.currentPath(), dir.file("trip.lyr"));

    // Re-saving the project replaces its own companions without a word.
    paintRect(ws.region(0).mask, 30, 30, 40, 40);
    ASSERT_EQ(ws.Save(ws.currentPath()), 1);
    EXPECT_TRUE(host.done());

    // An unrelated file where a companion would go, beside no project, is
    // left alone too.
    std::ofstream(dir.file("notes.msk")) << "my notes";
    host.expectMessage(withFile(kForeignCompanionMessage, dir.file("notes.msk")));
    host.expectFileDialog(std::nullopt);
    EXPECT_EQ(ws.Save(dir.file("notes.lyr")), 0);
    EXPECT_EQ(bytesOf(dir.file("notes.msk")), std::vector<std::uint8_t>({'m', 'y', ' ', 'n', 'o', 't', 'e', 's'}));
    // Nor through a link whose target is beside it: the save would write
    // beside the target, so the guard looks there.
    std::ofstream(dir.file("notes.lyr")) << "not a project";
    std::filesystem::create_directory(dir.file("a"));
    std::filesystem::create_symlink(dir.file("notes.lyr"), dir.file("a/link.lyr"));
    host.expectMessage(withFile(kForeignCompanionMessage, dir.file("notes.msk")));
    host.expectFileDialog(std::nullopt);
    EXPECT_EQ(ws.Save(dir.file("a/link.lyr")), 0);
    EXPECT_EQ(bytesOf(dir.file("notes.msk")), std::vector<std::uint8_t>({'m', 'y', ' ', 'n', 'o', 't', 'e', 's'}));
    EXPECT_TRUE(host.done());
}

// Nor is the depth map the document was read from, even where it stands as
// the depth map of an existing project of the name saved to.
// A project from someone else whose companion files are symbolic links to
// files elsewhere (here the user's own, with the same bytes, so that it
// opens): saving it replaces the links with its files and leaves the linked
// files alone.
TEST(ProjectSafety, CompanionsThatAreLinksAreReplacedNotWrittenThrough) {
    TempDir dir;
    ScriptedHost host;
    fs::create_directory(dir.file("p"));
    const std::string project = dir.file("p/P.lyr");
    saveProjectOfPhoto(host, dir.file("s.ini"), dir.file("photo.bmp"), project);
    std::vector<std::pair<std::string, std::string>> linked;  // companion, the user's file it links to
    for (const std::string& c : {dir.file("p/P.bmp"), maskPath(projectBase(project), 0)}) {
        const std::string mine = dir.file("mine_" + fs::path(c).filename().string());
        fs::rename(c, mine);
        fs::create_symlink(mine, c);
        linked.emplace_back(c, mine);
    }
    const auto before = bytesOf(linked[0].second);
    CStereoWorkspace ws(host, dir.file("s.ini"));
    ASSERT_EQ(ws.Open(project), 1);
    paintRect(ws.source(), 0, 0, 8, 8);  // a different edit image
    ASSERT_EQ(ws.Save(project), 1);
    EXPECT_EQ(bytesOf(linked[0].second), before);
    for (const auto& [companion, mine] : linked) {
        EXPECT_FALSE(fs::is_symlink(companion)) << companion;
        EXPECT_TRUE(fs::is_regular_file(mine)) << mine;
    }
    EXPECT_NE(bytesOf(linked[0].first), before);
    CStereoWorkspace again(host, dir.file("s.ini"));
    EXPECT_EQ(again.Open(project), 1);
}

TEST(ProjectSafety, TheDepthMapReadIsNeverWrittenOver) {
    TempDir dir;
    ScriptedHost host;
    const std::string photo = dir.file("photo.bmp");
    saveProjectOfPhoto(host, dir.file("none.ini"), photo, dir.file("trip.lyr"));
    const std::string map = dir.file("trip_depth.png");
    ASSERT_EQ(writeDepthMapImage(host, gradientPicture(128, 96), map, true, 90), 1);
    const auto original = bytesOf(map);
    CStereoWorkspace ws(host, dir.file("none.ini"));
    ASSERT_EQ(OpenPhotoWithDepth(ws, photo, map), 1);
    host.expectMessage(withFile(kForeignCompanionMessage, map));
    host.expectFileDialog(std::nullopt);
    EXPECT_EQ(ws.Save(dir.file("trip.lyr")), 0);
    EXPECT_EQ(bytesOf(map), original);
    // Saved under another name, the project has a map of its own, which its
    // later saves replace without a word.
    ASSERT_EQ(ws.Save(dir.file("other.lyr")), 1);
    EXPECT_TRUE(fs::exists(dir.file("other_depth.png")));
    ASSERT_EQ(ws.Save(dir.file("other.lyr")), 1);
    EXPECT_EQ(bytesOf(map), original);
    EXPECT_TRUE(host.done());
}

// A document without a paint layer saved over a project that had one does
// not get that layer back from the old file when it is opened again.
TEST(ProjectSafety, AStalePaintLayerIsNotReadBack) {
    TempDir dir;
    ScriptedHost host;
    const std::string photo = dir.file("photo.bmp");
    ASSERT_EQ(SaveStillImage(host, gradientPicture(64, 48), 64, 48, photo, 90), 1);
    for (const bool paint : {true, false}) {
        CStereoWorkspace ws(host, dir.file("none.ini"));
        ASSERT_EQ(ws.Open(photo), 1);
        if (paint) {
            ASSERT_TRUE(ws.ensurePaintLayer());
            paintRect(ws.paintMask(), 0, 0, 10, 10);
        }
        ASSERT_EQ(ws.Save(dir.file("p.lyr")), 1);
        EXPECT_EQ(fs::exists(dir.file("p.pai")), paint);
    }
    CStereoWorkspace again(host, dir.file("none.ini"));
    ASSERT_EQ(again.Open(dir.file("p.lyr")), 1);
    EXPECT_FALSE(again.hasPaintLayer());
    EXPECT_TRUE(host.done());
}

// A project whose paint layer could not be read on opening is not saved over
// itself (that save would remove the layer for good): the user is asked for
// another name; the new project is then saved over freely.
TEST(ProjectSafety, AProjectThatLostPartsIsNotSavedOverItself) {
    TempDir dir;
    ScriptedHost host;
    saveProjectOfPhoto(host, dir.file("none.ini"), dir.file("photo.bmp"), dir.file("p.lyr"), [](CStereoWorkspace& first) {
        ASSERT_TRUE(first.ensurePaintLayer());
        paintRect(first.paintMask(), 0, 0, 10, 10);
    });
    const std::string pai = dir.file("p.pai");
    std::vector<std::uint8_t> damaged = bytesOf(pai);
    damaged.resize(damaged.size() / 2);
    std::ofstream(pai, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(damaged.data()),
                                                                 static_cast<std::streamsize>(damaged.size()));

    CStereoWorkspace ws(host, dir.file("none.ini"));
    host.expectMessage(kReadFailedMessage);
    ASSERT_EQ(ws.Open(dir.file("p.lyr")), 1);
    host.expectMessage(withFile(kIncompleteOverwriteMessage, ws.currentPath()));
    host.expectFileDialog(std::nullopt);
    EXPECT_EQ(ws.Save(ws.currentPath()), 0);
    EXPECT_EQ(bytesOf(pai), damaged);
    host.expectMessage(withFile(kIncompleteOverwriteMessage, ws.currentPath()));
    host.expectFileDialog(dir.file("q.lyr"));
    ASSERT_EQ(ws.Save(dir.file("p.lyr")), 1);
    EXPECT_EQ(bytesOf(pai), damaged);
    EXPECT_TRUE(fs::exists(dir.file("q.lyr")));
    EXPECT_EQ(ws.Save(ws.currentPath()), 1);
    EXPECT_TRUE(host.done());
}

// A photo saved under its own name (上書き保存) where a project of that name
// already is: asked first; No gives the name dialog, and cancelling it
// leaves the other project as it was.
TEST(ProjectSafety, SavingAPhotoUnderItsNameAsksBeforeReplacingAProject) {
    TempDir dir;
    ScriptedHost host;
    const std::string photo = dir.file("trip.jpg"), project = dir.file("trip.lyr");
    saveProjectOfPhoto(host, dir.file("none.ini"), photo, project, [](CStereoWorkspace& first) {
        ASSERT_TRUE(first.appendRegion(12));
        paintRect(first.region(1).mask, 5, 5, 30, 30);
    });
    const auto before = bytesOf(project), mask = bytesOf(dir.file("trip.m01"));
    CStereoWorkspace ws(host, dir.file("none.ini"));
    ASSERT_EQ(ws.Open(photo), 1);
    host.expectMessage(withFile(kReplaceOtherProjectQuestion, project), MsgResult::No, MsgButtons::YesNo);
    host.expectFileDialog(std::nullopt);
    EXPECT_EQ(ws.Save(ws.currentPath()), 0);
    EXPECT_TRUE(bytesOf(project) == before) << "the previous project changed";
    EXPECT_EQ(bytesOf(dir.file("trip.m01")), mask);
    // Save As with a dotted name ("trip.v2") lands on trip.lyr, which the
    // dialog's overwrite question never named.
    host.expectFileDialog(dir.file("trip.v2"));
    host.expectMessage(withFile(kReplaceOtherProjectQuestion, project), MsgResult::No, MsgButtons::YesNo);
    EXPECT_EQ(ws.Save(), 0);
    EXPECT_TRUE(bytesOf(project) == before) << "the previous project changed";
    // The same for a file there that is no project at all.
    std::ofstream(dir.file("notes.lyr")) << "my notes";
    host.expectFileDialog(dir.file("notes.v2"));
    host.expectMessage(withFile(kReplaceOtherProjectQuestion, dir.file("notes.lyr")), MsgResult::No);
    EXPECT_EQ(ws.Save(), 0);
    EXPECT_EQ(bytesOf(dir.file("notes.lyr")), (std::vector<std::uint8_t>{'m', 'y', ' ', 'n', 'o', 't', 'e', 's'}));
    host.expectMessage(withFile(kReplaceOtherProjectQuestion, project), MsgResult::Yes);
    EXPECT_EQ(ws.Save(ws.currentPath()), 1);
    EXPECT_NE(bytesOf(project), before);
    EXPECT_TRUE(host.done());
}

TEST(ProjectSafety, ASaveThatRunsOutOfRoomLeavesThePreviousProject) {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("none.ini"));
    ws.adoptPicture(gradientPicture(200, 150));
    ws.SetMode(kModeMask);
    paintRect(ws.region(0).mask, 10, 10, 100, 100);
    ASSERT_TRUE(ws.appendRegion(12));
    paintRect(ws.region(1).mask, 50, 50, 150, 120);
    const std::string project = dir.file("p.lyr");
    ASSERT_EQ(ws.Save(project), 1);
    std::map<std::string, std::vector<std::uint8_t>> before;
    for (const auto& e : fs::directory_iterator(dir.path())) before[e.path().filename().string()] = bytesOf(e.path());

    // A third region, saved when the edit image no longer fits.
    ASSERT_TRUE(ws.appendRegion(20));
    paintRect(ws.region(2).mask, 0, 0, 30, 30);
    host.expectMessage(kSaveFailedMessage);
    {
        FileSizeLimit limit(40 * 1024);  // the edit image is 90 KB
        EXPECT_EQ(ws.Save(project), 0);
    }

    std::map<std::string, std::vector<std::uint8_t>> after;
    for (const auto& e : fs::directory_iterator(dir.path())) after[e.path().filename().string()] = bytesOf(e.path());
    EXPECT_TRUE(after == before) << "the previous project changed, or temporary files were left";
    ScriptedHost host2;
    CStereoWorkspace back(host2, dir.file("none.ini"));
    ASSERT_EQ(back.Open(project), 1);
    EXPECT_EQ(back.regionCount(), 2);
    EXPECT_EQ(back.width(), 200);
}

// A clip-art picture shown at another size is saved at its natural size;
// when that picture cannot be made the save fails and the previous project
// stays, rather than the picture being saved black.
TEST(ProjectSafety, AClipArtPictureThatCannotBeMadeFailsTheSave) {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("none.ini"));
    ws.adoptPicture(gradientPicture(120, 90));
    auto clip = std::make_shared<OverlayObject>();
    clip->x = 5, clip->y = 5, clip->width = 26, clip->height = 18;
    clip->naturalWidth = 13, clip->naturalHeight = 9;
    clip->picture = gradientPicture(26, 18);
    clip->outlines = {{true, {{0, 0}, {25, 0}, {25, 17}, {0, 17}}}};
    ws.appendObject(kObjectPicture, clip);
    const std::string project = dir.file("p.lyr");
    ASSERT_EQ(ws.Save(project), 1);
    const std::vector<std::uint8_t> before = bytesOf(project);

    ws.objectEntry(0).object->x = 40;  // a change to save
    ws.setModified(true);
    host.expectMessage(kSaveFailedMessage);
    Surface::setAllocationHook([](int w, int h) { return !(w == 13 && h == 9); });
    const int saved = ws.Save(project);
    Surface::setAllocationHook(nullptr);
    EXPECT_EQ(saved, 0);
    EXPECT_TRUE(bytesOf(project) == before) << "the previous project changed";
    EXPECT_TRUE(ws.modified());

    ScriptedHost host2;
    CStereoWorkspace back(host2, dir.file("none.ini"));
    ASSERT_EQ(back.Open(project), 1);
    ASSERT_EQ(back.objectCount(), 1);
    const Surface& kept = back.objectEntry(0).object->picture;
    ASSERT_EQ(kept.width(), 13);
    int black = 0;
    for (int y = 0; y < kept.height(); ++y)
        for (int x = 0; x < kept.width(); ++x) black += (kept.at(x, y) & 0xFFFFFFu) == 0;
    EXPECT_LT(black, 13 * 9 / 2);
}

TEST(ProjectSafety, ADamagedMaskIsNotCalledMissing) {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("none.ini"));
    ws.adoptPicture(gradientPicture(40, 30));
    ws.SetMode(kModeMask);
    ASSERT_TRUE(ws.appendRegion(12));
    ASSERT_EQ(ws.Save(dir.file("d.lyr")), 1);
    std::ofstream(dir.file("d.m01"), std::ios::trunc) << "BM broken";
    host.expectMessage(withFile(kCorruptMaskMessage, dir.file("d.m01")));
    CStereoWorkspace back(host, dir.file("none.ini"));
    ASSERT_EQ(back.Open(dir.file("d.lyr")), 1);
    EXPECT_EQ(back.regionCount(), 1);
}

}  // namespace
}  // namespace plastora
