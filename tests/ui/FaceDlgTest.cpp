// The face detection dialogs: the settings dialog's values, ranges, file
// choices and what OK writes; the modeless result dialog's tick, OK, Cancel
// and closing from the workspace; the face boxes drawn over the view.
#include "autocut/FaceDetect.h"
#include "core/Settings.h"
#include "core/StillImage.h"
#include "platform/Paths.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "ui/FaceDetectDlg.h"
#include "ui/FaceResultDlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

#include <fstream>

using namespace plastora;
using namespace plastora::test;
using plastora::ui::CFaceDetectDlg;
using plastora::ui::CFaceResultDlg;

namespace {

const std::string kCascade = "/usr/share/opencv4/haarcascades/haarcascade_frontalface_alt.xml";
const std::string kBody = std::string(PLASTORA_SOURCE_DIR) + "/data/auto_data/body_data_default.wmf";

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

struct Doc {
    TempDir dir;
    ScriptedHost host;
    std::string ini = dir.file("Plastora.ini");
    CStereoWorkspace ws{host, ini};
    Doc() {
        Settings(ini).setText(SettingKey::AutoCascadeFile, kCascade);
        Settings(ini).setText(SettingKey::AutoBodyData, kBody);
        ws.adoptPicture(gradientPicture(400, 400));
        ws.SetMode(kModeMask);
    }
};

}  // namespace

TEST(FaceDetectDlg, ShowsFileNamesOnlyAndRestoresTheDefaults) {
    TempDir dir;
    ScriptedHost host;
    const std::string ini = dir.file("Plastora.ini");
    std::ofstream(ini) << "[Auto]\nScaleFactor=1.35\nMinNeighbors=5\nMinSize=20\nCannyPruning=1\n"
                          "CascadeFile=C:\\data\\my.xml\nBodyData=/srv/shapes/body.wmf\n";
    CFaceDetectDlg dlg(host, ini);
    EXPECT_EQ(dlg.scaleField()->text(), "1.35");
    EXPECT_EQ(dlg.neighborsField()->text(), "5");
    EXPECT_EQ(dlg.minSizeField()->text(), "20");
    EXPECT_TRUE(dlg.cannyBox()->isChecked());
    EXPECT_EQ(dlg.cascadeLabel()->text(), "my.xml");
    EXPECT_EQ(dlg.bodyLabel()->text(), "body.wmf");
    EXPECT_EQ(dlg.values().cascadeFile, "C:\\data\\my.xml") << "the dialog keeps the full value";

    dlg.defaultsButton()->click();
    EXPECT_EQ(dlg.scaleField()->text(), "1.1");
    EXPECT_EQ(dlg.neighborsField()->text(), "3");
    EXPECT_EQ(dlg.minSizeField()->text(), "0");
    EXPECT_FALSE(dlg.cannyBox()->isChecked());
    EXPECT_EQ(dlg.values().cascadeFile, "haarcascade_frontalface_alt.xml");
    EXPECT_EQ(dlg.values().bodyData, "body_data_default.wmf");
    EXPECT_NE(fileText(ini).find("MinNeighbors=5"), std::string::npos) << "nothing is written before OK";
}

TEST(FaceDetectDlg, ChangeButtonsOpenInAutoDataAndKeepTheValueOnCancel) {
    TempDir dir;
    ScriptedHost host;
    const std::string saved = programFolder();
    setProgramFolder("/opt/plastora");
    CFaceDetectDlg dlg(host, dir.file("Plastora.ini"));
    host.expectFileDialog(std::string("/home/u/cascades/eyes.xml"));
    dlg.cascadeButton()->click();
    host.expectFileDialog(std::nullopt);
    dlg.bodyButton()->click();
    setProgramFolder(saved);
    ASSERT_EQ(host.fileRequests.size(), 2u);
    EXPECT_FALSE(host.fileRequests[0].save);
    EXPECT_EQ(host.fileRequests[0].defaultExtension, "xml");
    EXPECT_EQ(host.fileRequests[0].filter, "顔認識学習ﾌｧｲﾙ (*.xml)|*.xml||");
    EXPECT_EQ(host.fileRequests[0].initialPath, "/opt/plastora/auto_data/");
    EXPECT_EQ(host.fileRequests[1].defaultExtension, "wmf");
    EXPECT_EQ(host.fileRequests[1].filter, "切出しﾃﾞｰﾀﾌｧｲﾙ (*.wmf)|*.wmf||");
    EXPECT_EQ(dlg.cascadeLabel()->text(), "eyes.xml");
    EXPECT_EQ(dlg.values().cascadeFile, "/home/u/cascades/eyes.xml");
    EXPECT_EQ(dlg.values().bodyData, "body_data_default.wmf");
}

TEST(FaceDetectDlg, OkChecksTheRangesInOrderThenWritesAllSixKeys) {
    TempDir dir;
    ScriptedHost host;
    const std::string ini = dir.file("Plastora.ini");
    CFaceDetectDlg dlg(host, ini);
    dlg.scaleField()->setText("1.05");
    dlg.neighborsField()->setText("0");
    host.expectMessage("1.1 から 2 までの数値を入力してください。", MsgResult::Ok, MsgButtons::Ok);
    dlg.okButton()->click();
    dlg.scaleField()->setText("2");
    host.expectMessage("1 から 99 までの整数を入力してください。");
    dlg.okButton()->click();
    dlg.neighborsField()->setText("99");
    dlg.minSizeField()->setText("100");
    host.expectMessage("0 から 99 までの整数を入力してください。");
    dlg.okButton()->click();
    EXPECT_EQ(fileText(ini), "") << "a refused OK writes nothing";

    dlg.minSizeField()->setText("0");
    host.expectFileDialog(std::string("/srv/my body.wmf"));
    dlg.bodyButton()->click();
    dlg.okButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    const std::string text = fileText(ini);
    for (const char* line : {"ScaleFactor=2.00", "MinNeighbors=99", "MinSize=0", "CannyPruning=0",
                             "CascadeFile=haarcascade_frontalface_alt.xml", "BodyData=/srv/my body.wmf"})
        EXPECT_NE(text.find(line), std::string::npos) << line;

    // Settings that cannot be written are told, and the dialog stays open.
    CFaceDetectDlg unwritable(host, dir.file("no/such/folder/Plastora.ini"));
    host.expectMessage(kSaveFailedMessage);
    unwritable.okButton()->click();
    EXPECT_NE(unwritable.result(), QDialog::Accepted);
    EXPECT_TRUE(host.done());
}

TEST(FaceResultDlg, TheTickNeedsTwoFacesAndStartsFromTheLastChoice) {
    for (int multi : {0, 1}) {
        Doc d;
        Settings(d.ini).setFlag(SettingKey::AutoMultiLayer, multi != 0);
        d.ws.faces() = {{10, 10, 49, 49}};
        {
            CFaceResultDlg one(d.ws);
            EXPECT_FALSE(one.separateBox()->isEnabled());
            EXPECT_FALSE(one.separateBox()->isChecked());
            EXPECT_TRUE(d.ws.faceEditing());
        }
        d.ws.faces() = {{10, 10, 49, 49}, {100, 100, 159, 159}};
        CFaceResultDlg two(d.ws);
        EXPECT_TRUE(two.separateBox()->isEnabled());
        EXPECT_EQ(two.separateBox()->isChecked(), multi == 1);
    }
}

TEST(FaceResultDlg, OkCutsOutWithTheTicksChoiceAndCancelDropsTheFaces) {
    Doc d;
    d.ws.faces() = {{40, 40, 79, 79}, {200, 60, 279, 139}};
    QPointer<CFaceResultDlg> dlg = new CFaceResultDlg(d.ws);
    dlg->show();
    dlg->separateBox()->setChecked(true);
    dlg->okButton()->click();
    flushDeletes();
    EXPECT_TRUE(dlg.isNull()) << "the dialog is gone after OK";
    EXPECT_EQ(d.ws.regionCount(), 2);
    EXPECT_EQ(d.ws.region(0).depth, 0);
    EXPECT_EQ(d.ws.region(1).depth, d.ws.foregroundDepth);
    EXPECT_TRUE(d.ws.faces().empty());
    EXPECT_FALSE(d.ws.faceEditing());
    EXPECT_EQ(Settings(d.ini).getInt(SettingKey::AutoMultiLayer), 1);

    Doc c;
    c.ws.faces() = {{40, 40, 79, 79}, {200, 60, 279, 139}};
    dlg = new CFaceResultDlg(c.ws);
    dlg->show();
    dlg->cancelButton()->click();
    flushDeletes();
    EXPECT_TRUE(dlg.isNull());
    EXPECT_TRUE(c.ws.faces().empty());
    EXPECT_EQ(c.ws.regionCount(), 1);
    EXPECT_EQ(countWhite(c.ws.region(0).mask), 0);

    // OK outside mask editing makes nothing.
    Doc m;
    m.ws.faces() = {{40, 40, 79, 79}};
    dlg = new CFaceResultDlg(m.ws);
    m.ws.SetMode(kModeImage);
    dlg->okButton()->click();
    flushDeletes();
    EXPECT_EQ(countWhite(m.ws.region(0).mask), 0);
}

TEST(FaceResultDlg, RunDetectsOpensAndReplacesAnEarlierDialog) {
    Doc d;
    // A flat picture: the failure message, no dialog.
    d.host.expectMessage(kNoFaceMessage);
    EXPECT_EQ(CFaceResultDlg::Run(d.ws, nullptr), nullptr);

    SilentHost silent;
    Surface photo;
    int w = 0, h = 0;
    ASSERT_EQ(LoadStillImage(silent, std::string(PLASTORA_SOURCE_DIR) + "/data/sample/astronaut.jpg", std::nullopt,
                             photo, w, h),
              1);
    d.ws.adoptPicture(std::move(photo));
    d.ws.SetMode(kModeMask);
    QPointer<CFaceResultDlg> first = CFaceResultDlg::Run(d.ws, nullptr);
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(first->separateBox()->isEnabled()) << "one face";
    d.ws.faces().push_back({0, 0, 9, 9});
    QPointer<CFaceResultDlg> second = CFaceResultDlg::Run(d.ws, nullptr);
    flushDeletes();
    EXPECT_TRUE(first.isNull());
    ASSERT_FALSE(second.isNull());
    EXPECT_EQ(d.ws.faces().size(), 1u) << "a fresh detection";

    // Switching the mode closes the dialog through the workspace.
    d.ws.CloseFaceResult();
    flushDeletes();
    EXPECT_TRUE(second.isNull());
    EXPECT_TRUE(d.ws.faces().empty());
    EXPECT_FALSE(d.ws.faceEditing());
}

TEST(FaceBoxes, DrawnAsRedOutlinesThroughZoomAndScroll) {
    Doc d;
    d.ws.faces() = {{10, 20, 19, 29}};
    QImage img(80, 80, QImage::Format_RGB32);
    img.fill(Qt::black);
    {
        QPainter p(&img);
        drawFaceBoxes(p, d.ws, 2, 4, 6);
    }
    // Picture x 10..19 at zoom 2 covers window 20 - 4 .. 38 - 4 - 1; y 40 - 6 .. 58 - 6 - 1.
    const QRgb red = qRgb(255, 0, 0);
    EXPECT_EQ(img.pixel(16, 34), red);
    EXPECT_EQ(img.pixel(33, 51), red);
    EXPECT_EQ(img.pixel(16, 51), red);
    EXPECT_EQ(img.pixel(25, 34), red);
    EXPECT_EQ(img.pixel(25, 40), qRgb(0, 0, 0)) << "outline only";
    EXPECT_EQ(img.pixel(34, 40), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(15, 40), qRgb(0, 0, 0));
}
