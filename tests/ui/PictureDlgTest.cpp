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

int enabledPapers(const CPictureDlg& dlg) {
    int n = 0;
    for (int i = 0; i < kPaperCount; ++i) n += dlg.paperButton(i)->isEnabled();
    return n;
}

}  // namespace

TEST(PictureDlg, PresetsAndWhenNoTrimmingIsOffered) {
    ScriptedHost host;
    PictureDialogData d = someData();
    CPictureDlg dlg(d, host);
    EXPECT_TRUE(dlg.paperButton(kPaperCard)->isChecked());
    EXPECT_TRUE(dlg.trimmingButton(kTrimStretch)->isChecked());
    EXPECT_EQ(dlg.widthField()->text(), QStringLiteral("120"));
    EXPECT_EQ(dlg.lpiField()->text(), QStringLiteral("72.5"));
    EXPECT_TRUE(dlg.trimmingButton(kTrimNone)->isEnabled());
    // A paper change, or a photo that keeps a high-resolution copy, cannot
    // stay untrimmed.
    for (int c = 0; c < 2; ++c) {
        PictureDialogData e = someData();
        (c == 0 ? e.resizing : e.highRes) = true;
        CPictureDlg other(e, host);
        EXPECT_FALSE(other.trimmingButton(kTrimNone)->isEnabled()) << c;
        EXPECT_EQ(other.highResBox()->isChecked(), e.highRes) << c;
    }
}

TEST(PictureDlg, EnablingFollowsTrimmingAndPaper) {
    ScriptedHost host;
    PictureDialogData d = someData();
    d.paper = kPaperVGA;
    d.trimming = kTrimNone;  // as for an ".mpo"
    CPictureDlg dlg(d, host);
    EXPECT_EQ(enabledPapers(dlg), 0);
    EXPECT_FALSE(dlg.highResBox()->isEnabled());

    dlg.trimmingButton(kTrimCrop)->click();
    EXPECT_EQ(enabledPapers(dlg), kPaperCount);
    EXPECT_TRUE(dlg.highResBox()->isEnabled());
    EXPECT_FALSE(dlg.widthField()->isEnabled()) << "millimetres only for the user paper";

    dlg.paperButton(kPaperUser)->click();
    EXPECT_TRUE(dlg.widthField()->isEnabled());
    EXPECT_TRUE(dlg.heightField()->isEnabled());

    dlg.trimmingButton(kTrimNone)->click();
    EXPECT_EQ(enabledPapers(dlg), 0);
    EXPECT_FALSE(dlg.widthField()->isEnabled()) << "no paper applies, not even the user's";

    dlg.trimmingButton(kTrimMargins)->click();
    EXPECT_TRUE(dlg.widthField()->isEnabled()) << "the user paper is still chosen";
    dlg.paperButton(kPaperL)->click();
    EXPECT_FALSE(dlg.widthField()->isEnabled());
}

TEST(PictureDlg, OutOfRangeFieldsAreRefusedAndGetTheFocus) {
    struct Case {
        const char *width, *height, *lpi, *message;
        int field;  // 0 width, 1 height, 2 lpi
    };
    const Case cases[] = {
        {"120", "10000", "60.0", "1 から 9999 までの整数を入力してください。", 1},
        {"x", "80", "60.0", "1 から 9999 までの整数を入力してください。", 0},
        {"120", "80", "19.9", "20 から 160 までの数値を入力してください。", 2},
        {"120", "80", "lens", "20 から 160 までの数値を入力してください。", 2},
        {"0", "80", "500", "1 から 9999 までの整数を入力してください。", 0},  // the first field first
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
        EXPECT_TRUE(dlg.isVisible()) << "the dialog stays open";
        QLineEdit* fields[] = {dlg.widthField(), dlg.heightField(), dlg.lpiField()};
        EXPECT_EQ(dlg.focusWidget(), fields[c.field]) << c.width << " " << c.height << " " << c.lpi;
        EXPECT_EQ(d.lpi, 72.5) << "nothing is written back";
    }
    // The limits themselves are accepted, and OK writes every field.
    ScriptedHost host;
    PictureDialogData d = someData();
    CPictureDlg dlg(d, host);
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

TEST(PictureDlg, OkWithTheLensUntouchedKeepsItExactly) {
    // A lens of two decimals, or one read back from a project's single
    // precision, shows as the user would type it; OK without touching the
    // field must not turn it into a new lens (which resamples the picture).
    ScriptedHost host;
    const struct {
        double lpi;
        const char* shown;
    } cases[] = {{60.25, "60.25"}, {static_cast<double>(60.3f), "60.3"}, {20.0, "20.0"},
                 {static_cast<double>(100.05f), "100.05"}, {60.125, "60.125"}};
    for (const auto& c : cases) {
        PictureDialogData d = someData();
        d.lpi = c.lpi;
        CPictureDlg dlg(d, host);
        EXPECT_EQ(dlg.lpiField()->text(), QString::fromLatin1(c.shown));
        dlg.accept();
        EXPECT_EQ(d.lpi, c.lpi) << c.shown;
    }
    // Typed, even the digits shown, it is the value typed.
    PictureDialogData d = someData();
    d.lpi = static_cast<double>(60.3f);
    CPictureDlg dlg(d, host);
    dlg.lpiField()->setText("60.30");
    dlg.accept();
    EXPECT_EQ(d.lpi, 60.3);
}

// ---- trimming dialog --------------------------------------------------------

TEST(TrimingDlg, SizeAndPreview) {
    const Surface photo = gradientPicture(1600, 1200);
    TrimmingDialogData d;
    d.photo = &photo;
    d.workingWidth = 707;
    d.workingHeight = 478;
    CTrimingDlg dlg(d);
    EXPECT_EQ(dlg.size(), QSize(676, 572));
    EXPECT_FALSE(dlg.straightenButton()->isEnabled());
    // The preview is drawn at (16, 48).
    const QImage shot = dlg.grab().toImage();
    EXPECT_EQ(shot.pixel(16 + 300, 48 + 300) & 0xFFFFFF, dlg.editor().preview().at(300, 300) & 0xFFFFFF);
    const Surface narrow = gradientPicture(300, 960);
    d.photo = &narrow;
    EXPECT_EQ(CTrimingDlg(d).size(), QSize(332, 732));
}

TEST(TrimingDlg, MouseKeysAndOkHandBackTheResult) {
    const Surface photo = gradientPicture(640, 480);
    TrimmingDialogData d;
    d.photo = &photo;
    d.workingWidth = 640;
    d.workingHeight = 480;
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
    dlg.editor().setFrame({100, 100, 300, 250});
    QTest::mouseClick(&dlg, Qt::LeftButton, Qt::NoModifier, CTrimingDlg::fromPreview({200, 150}));
    QTest::keyClick(&dlg, Qt::Key_Left);
    QTest::keyClick(&dlg, Qt::Key_Down);
    EXPECT_EQ(dlg.editor().frame(), (Rect{99, 101, 299, 251}));

    const double angle = dlg.editor().angle();
    const Rect source = dlg.editor().sourceRect();
    dlg.okButton()->click();
    EXPECT_EQ(d.angle, angle);
    EXPECT_EQ(d.source, source);
    EXPECT_EQ(d.rotated.width(), 640) << "the straightened copy goes with the result";
}

TEST(TrimingDlg, TurnedAspectGoesBackOnlyWithOk) {
    const Surface photo = gradientPicture(800, 600);
    ScriptedHost host;
    TrimmingDialogData d;
    d.photo = &photo;
    d.workingWidth = 640;
    d.workingHeight = 480;
    d.host = &host;
    d.source = {5, 6, 7, 8};
    for (const bool ok : {false, true}) {
        CTrimingDlg dlg(d);
        host.expectMessage(kAskChangeTrimAspect, MsgResult::Yes, MsgButtons::YesNo);
        dlg.aspectButton()->click();
        EXPECT_EQ(dlg.editor().frame(), TrimmingEditor::initialFrame({640, 480}, 480, 640)) << "frame reset";
        (ok ? dlg.okButton() : dlg.cancelButton())->click();
        EXPECT_EQ(d.workingWidth, ok ? 480 : 640);
        EXPECT_EQ(d.source == (Rect{5, 6, 7, 8}), !ok);
    }
}

TEST(QtWorkspaceDialogs, OkAndCancelOfTheModalDialogs) {
    ScriptedHost host;
    QtWorkspaceDialogs dialogs(nullptr, host);
    const auto answerWith = [](bool ok) {
        QTimer::singleShot(0, [ok] {
            auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            ok ? dlg->accept() : dlg->reject();
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
    EXPECT_EQ(t.host, &host) << "questions go to the program's host";
}
