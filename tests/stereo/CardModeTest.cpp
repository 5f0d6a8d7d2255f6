// The card export's stereo dialog runs in card mode, and card mode ends with
// the command whatever happens.
#include "core/StereoWorkspace.h"
#include "stereo/StereoFiles.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace plastora;
using namespace plastora::test;

namespace {

struct RecordingDialogs : WorkspaceDialogs {
    std::vector<bool> cardModeSeen;
    bool create = false;
    bool stereoDialog(CStereoWorkspace& ws, bool autoStart, bool& interlace) override {
        cardModeSeen.push_back(ws.cardExport());
        return create && WorkspaceDialogs::stereoDialog(ws, autoStart, interlace);
    }
};

}  // namespace

TEST(CardMode, TheExportsStereoDialogSeesCardModeAndItEndsWithTheCommand) {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("Plastora.ini"));
    RecordingDialogs dialogs;
    ws.setDialogs(&dialogs);
    ws.adoptPicture(gradientPicture(32, 24));
    ws.SetMode(kModeMask);
    const char* noViews = "立体画像が作成されていません。画像作成を作成します。";

    // Cancelled dialog: the command ends, card mode with it.
    host.expectMessage(noViews, MsgResult::Ok);
    EXPECT_EQ(ExportTo3ds(ws, {}), 0);
    EXPECT_EQ(dialogs.cardModeSeen, (std::vector<bool>{true}));
    EXPECT_FALSE(ws.cardExport());

    // Views made, but no card anywhere and no drive chosen.
    dialogs.create = true;
    host.expectMessage(noViews, MsgResult::Ok);
    EXPECT_EQ(ExportTo3ds(ws, [](CStereoWorkspace& w) { return !w.cardExport(); }), 0);
    EXPECT_EQ(dialogs.cardModeSeen, (std::vector<bool>{true, true}));
    EXPECT_TRUE(ws.hasViews());
    EXPECT_FALSE(ws.cardExport());
    ws.setDialogs(nullptr);
}
