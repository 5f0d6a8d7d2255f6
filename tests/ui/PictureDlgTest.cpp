// The picture dialog and the trimming dialog: presets, enabling rules, range
// messages, and the mouse, keys and buttons of the trimming dialog.
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "ui/PictureDlg.h"
#include "ui/QtWorkspaceDialogs.h"
#include "ui/TrimingDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace plastora;
using namespace plastora::test;
using namespace plastora::ui;

namespace {

PictureDialogData someData() {
    PictureDialogData d;
    d.paper = kPaperCard;
    d.trimming = kTrimStretch;
    d.userWidthMm = 120;
    d.userHeightMm = 80;
    d.lpi = 72.5;
    return d;
}

bool papersEnabled(const CPictureDlg& dlg) {
    for (int i = 0; i < kPaperCount; ++i)
        if (!dlg.paperButton(i)->isEnabled()) return false;
    return true;
}

bool papersDisabled(const CPictureDlg& dlg) {
    for (int i = 0; i < kPaperCount; ++i)
        if (dlg.paperButton(i)->isEnabled()) return false;
    return true;
}

}  // namespace

TEST(PictureDlg, ShowsThePresets) {
    ScriptedHost host;
    PictureDialogData d = someData();
    CPictureDlg dlg(d, host);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("画像読込みダイアログ"));
    EXPECT_TRUE(dlg.paperButton(kPaperCard)->isChecked());
    EXPECT_EQ(dlg.paperButton(kPaperCard)->text(), QStringLiteral("名刺(カード)"));
    EXPECT_TRUE(dlg.trimmingButton(kTrimStretch)->isChecked());
    EXPECT_EQ(dlg.trimmingButton(kTrimStretch)->text(), QStringLiteral("縦横比を変更"));
    EXPECT_EQ(dlg.widthField()->text(), QStringLiteral("120"));
    EXPECT_EQ(dlg.heightField()->text(), QStringLiteral("80"));
    EXPECT_EQ(dlg.lpiField()->text(), QStringLiteral("72.5"));
    EXPECT_TRUE(dlg.trimmingButton(kTrimNone)->isEnabled());
    EXPECT_TRUE(papersEnabled(dlg));
    EXPECT_FALSE(dlg.widthField()->isEnabled()) << "millimetres only for the user paper";
    EXPECT_FALSE(dlg.highResBox()->isChecked());
}

TEST(PictureDlg, NoTrimmingIsOfferedOnlyForANewSmallPicture) {
    ScriptedHost host;
    for (int c = 0; c < 2; ++c) {
        PictureDialogData d = someData();
        (c == 0 ? d.resizing : d.highRes) = true;
        CPictureDlg dlg(d, host);
        EXPECT_FALSE(dlg.trimmingButton(kTrimNone)->isEnabled()) << c;
        EXPECT_TRUE(dlg.trimmingButton(kTrimCrop)->isEnabled()) << c;
        EXPECT_EQ(dlg.highResBox()->isChecked(), d.highRes) << c;
    }
}

TEST(PictureDlg, EnablingFollowsTrimmingAndPaper) {
    ScriptedHost host;
    PictureDialogData d = someData();
    d.paper = kPaperVGA;
    d.trimming = kTrimNone;  // as for an ".mpo"
    CPictureDlg dlg(d, host);
    EXPECT_TRUE(papersDisabled(dlg));
    EXPECT_FALSE(dlg.highResBox()->isEnabled());
    EXPECT_FALSE(dlg.widthField()->isEnabled());

    dlg.trimmingButton(kTrimCrop)->click();
    EXPECT_TRUE(papersEnabled(dlg));
    EXPECT_TRUE(dlg.highResBox()->isEnabled());
    EXPECT_FALSE(dlg.widthField()->isEnabled());

    dlg.paperButton(kPaperUser)->click();
    EXPECT_TRUE(dlg.widthField()->isEnabled());
    EXPECT_TRUE(dlg.heightField()->isEnabled());

    dlg.trimmingButton(kTrimNone)->click();
    EXPECT_TRUE(papersDisabled(dlg));
    EXPECT_FALSE(dlg.widthField()->isEnabled()) << "no paper applies, not even the user's";

    dlg.trimmingButton(kTrimMargins)->click();
    EXPECT_TRUE(papersEnabled(dlg));
    EXPECT_TRUE(dlg.widthField()->isEnabled()) << "the user paper is still chosen";

    dlg.paperButton(kPaperL)->click();
    EXPECT_FALSE(dlg.widthField()->isEnabled());
    EXPECT_EQ(dlg.trimming(), kTrimMargins) << "choosing a paper keeps a trimming mode";
}

TEST(PictureDlg, OutOfRangeFieldsAreRefusedAndGetTheFocus) {
    struct Case {
        const char* width;
        const char* height;
        const char* lpi;
        const char* message;
        int field;  // 0 width, 1 height, 2 lpi
    };
    const Case cases[] = {
        {"0", "80", "60.0", "Please enter an integer between 1 and 9999.", 0},
        {"120", "10000", "60.0", "Please enter an integer between 1 and 9999.", 1},
        {"x", "80", "60.0", "Please enter an integer between 1 and 9999.", 0},
        {"120", "80", "19.9", "Please enter a number between 20 and 160.", 2},
        {"120", "80", "160.5", "Please enter a number between 20 and 160.", 2},
        {"120", "80", "lens", "Please enter a number between 20 and 160.", 2},
        {"0", "80", "500", "Please enter an integer between 1 and 9999.", 0},  // the first field first
    };
    for (const Case& c : cases) {
        ScriptedHost host;
        PictureDialogData d = someData();
        d.paper = kPaperUser;
        CPictureDlg dlg(d, host);
        dlg.show();
        dlg.widthField()->setText(c.width);
        dlg.heightField()->setText(c.height);
        dlg.lpiField()->setText(c.lpi);
        host.expectMessage(c.message, MsgResult::Ok, MsgButtons::Ok);
        dlg.accept();
        EXPECT_TRUE(host.done()) << c.message;
        EXPECT_TRUE(dlg.isVisible()) << "the dialog stays open";
        EXPECT_NE(dlg.result(), QDialog::Accepted);
        QLineEdit* fields[] = {dlg.widthField(), dlg.heightField(), dlg.lpiField()};
        EXPECT_EQ(dlg.focusWidget(), fields[c.field]) << c.width << " " << c.height << " " << c.lpi;
        EXPECT_EQ(d.userWidthMm, 120) << "nothing is written back";
        EXPECT_EQ(d.lpi, 72.5);
    }
}

TEST(PictureDlg, OkWritesEveryField) {
    ScriptedHost host;
    PictureDialogData d = someData();
    CPictureDlg dlg(d, host);
    dlg.show();
    dlg.trimmingButton(kTrimMargins)->click();
    dlg.paperButton(kPaperUser)->click();
    dlg.widthField()->setText("9999");
    dlg.heightField()->setText(" 1 ");
    dlg.lpiField()->setText("160");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(d.paper, kPaperUser);
    EXPECT_EQ(d.trimming, kTrimMargins);
    EXPECT_EQ(d.userWidthMm, 9999);
    EXPECT_EQ(d.userHeightMm, 1);
    EXPECT_EQ(d.lpi, 160.0);
}

// ---- trimming dialog --------------------------------------------------------

TEST(TrimingDlg, SizeButtonsAndPreview) {
    const Surface photo = gradientPicture(1600, 1200);
    TrimmingDialogData d;
    d.photo = &photo;
    d.workingWidth = 707;
    d.workingHeight = 478;
    CTrimingDlg dlg(d);
    EXPECT_EQ(dlg.size(), QSize(676, 572));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("トリミングダイアログ"));
    EXPECT_EQ(dlg.okButton()->text(), QStringLiteral("OK"));
    EXPECT_EQ(dlg.cancelButton()->text(), QStringLiteral("キャンセル"));
    EXPECT_EQ(dlg.straightenButton()->text(), QStringLiteral("角度補正"));
    EXPECT_EQ(dlg.aspectButton()->text(), QStringLiteral("縦横比変更"));
    EXPECT_FALSE(dlg.straightenButton()->isEnabled());
    // The preview lies at (16, 48): its first pixel is the photo's averaged corner.
    const QImage shot = dlg.grab().toImage();
    EXPECT_EQ(shot.pixel(16 + 300, 48 + 300) & 0xFFFFFF, dlg.editor().preview().at(300, 300) & 0xFFFFFF);

    const Surface narrow = gradientPicture(300, 960);
    d.photo = &narrow;
    CTrimingDlg small(d);
    EXPECT_EQ(small.size(), QSize(332, 732));
}

TEST(TrimingDlg, MouseStraightensAndOkHandsBackTheResult) {
    const Surface photo = gradientPicture(640, 480);
    TrimmingDialogData d;
    d.photo = &photo;
    d.workingWidth = 640;
    d.workingHeight = 480;
    d.source = {1, 2, 3, 4};
    CTrimingDlg dlg(d);
    dlg.show();
    const QPoint end = CTrimingDlg::fromPreview(dlg.editor().lineEnd());
    QTest::mousePress(&dlg, Qt::LeftButton, Qt::NoModifier, end);
    QTest::mouseMove(&dlg, end + QPoint(0, 30));
    QTest::mouseRelease(&dlg, Qt::LeftButton, Qt::NoModifier, end + QPoint(0, 30));
    EXPECT_EQ(dlg.editor().lineEnd().y, 240 + 30);
    EXPECT_TRUE(dlg.straightenButton()->isEnabled());
    dlg.straightenButton()->click();
    EXPECT_FALSE(dlg.straightenButton()->isEnabled());
    EXPECT_NE(dlg.editor().angle(), 0.0);

    // The frame, selected by a click inside it, moves with the arrow keys.
    const Rect before = dlg.editor().frame();
    dlg.editor().setFrame({100, 100, 300, 250});
    QTest::mouseClick(&dlg, Qt::LeftButton, Qt::NoModifier, CTrimingDlg::fromPreview({200, 150}));
    QTest::keyClick(&dlg, Qt::Key_Left);
    QTest::keyClick(&dlg, Qt::Key_Down);
    EXPECT_EQ(dlg.editor().frame(), (Rect{99, 101, 299, 251}));
    EXPECT_NE(before, dlg.editor().frame());

    const double angle = dlg.editor().angle();
    const Rect source = dlg.editor().sourceRect();
    dlg.okButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(d.angle, angle);
    EXPECT_EQ(d.source, source);
    EXPECT_EQ(d.rotated.width(), 640) << "the straightened copy goes with the result";
}

TEST(TrimingDlg, AspectQuestionAndCancel) {
    const Surface photo = gradientPicture(800, 600);
    ScriptedHost host;
    TrimmingDialogData d;
    d.photo = &photo;
    d.workingWidth = 640;
    d.workingHeight = 480;
    d.host = &host;
    d.source = {5, 6, 7, 8};
    {
        CTrimingDlg dlg(d);
        const Rect frame = dlg.editor().frame();
        host.expectMessage("トリミング領域の縦横比を変更しますか？\n変更すると移動したトリミング領域はリセットされます。",
                           MsgResult::No, MsgButtons::YesNo);
        dlg.aspectButton()->click();
        EXPECT_EQ(dlg.editor().frame(), frame);
        host.expectMessage(kAskChangeTrimAspect, MsgResult::Yes);
        dlg.aspectButton()->click();
        EXPECT_EQ(dlg.editor().workingWidth(), 480);
        dlg.cancelButton()->click();
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
    EXPECT_EQ(d.workingWidth, 640) << "Cancel hands nothing back";
    EXPECT_EQ(d.source, (Rect{5, 6, 7, 8}));
    {
        CTrimingDlg dlg(d);
        host.expectMessage(kAskChangeTrimAspect, MsgResult::Yes);
        dlg.aspectButton()->click();
        dlg.okButton()->click();
    }
    EXPECT_EQ(d.workingWidth, 480);
    EXPECT_EQ(d.workingHeight, 640);
}

TEST(QtWorkspaceDialogs, OkAndCancelOfTheModalDialogs) {
    ScriptedHost host;
    QtWorkspaceDialogs dialogs(nullptr, host);
    const auto answerWith = [](bool ok) {
        QTimer::singleShot(0, [ok] {
            auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            if (ok) dlg->accept();
            else dlg->reject();
        });
    };
    PictureDialogData d = someData();
    answerWith(true);
    EXPECT_TRUE(dialogs.pictureDialog(d));
    answerWith(false);
    EXPECT_FALSE(dialogs.pictureDialog(d));

    const Surface photo = gradientPicture(64, 48);
    TrimmingDialogData t;
    t.photo = &photo;
    t.workingWidth = 64;
    t.workingHeight = 48;
    answerWith(true);
    EXPECT_TRUE(dialogs.trimmingDialog(t));
    EXPECT_GT(t.source.width(), 0);
    EXPECT_EQ(t.host, &host) << "questions go to the program's host";
    TrimmingDialogData none;
    EXPECT_FALSE(dialogs.trimmingDialog(none)) << "no photo, no dialog";
}
