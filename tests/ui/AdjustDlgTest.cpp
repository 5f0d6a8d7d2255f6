// The adjustment dialog: its controls, page steps to the next multiple of
// ten, the preview in the display, "リセット", OK and Cancel.
#include "support/Pictures.h"
#include "support/TestDocument.h"
#include "ui/AdjustDlg.h"

#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

using namespace plastora;
using namespace plastora::test;
using plastora::ui::CAdjustDlg;

namespace {

struct Doc : TestDocument {
    Surface photo, shown;
    Doc() : TestDocument(50, 30) {
        ws->SetMode(kModeImage);
        photo.createCopy(ws->source());
        shown.createCopy(ws->display());
        ws->setModified(false);
    }
};

Surface adjusted(const Surface& s, int b, int c) {
    Surface out;
    AdjustSurface(s, out, b, c);
    return out;
}

}  // namespace

TEST(AdjustDlg, ControlsAndPageSteps) {
    Doc doc;
    CAdjustDlg dlg(*doc.ws);
    EXPECT_EQ(dlg.windowTitle(), QString("画質調整ダイアログ"));
    EXPECT_EQ(dlg.resetButton()->text(), QString("リセット"));
    EXPECT_EQ(dlg.cancelButton()->text(), QString("キャンセル"));
    for (QSlider* bar : {dlg.brightnessBar(), dlg.contrastBar()}) {
        EXPECT_EQ(bar->minimum(), -50);
        EXPECT_EQ(bar->maximum(), 50);
        EXPECT_EQ(bar->value(), 0);
    }
    QSlider* b = dlg.brightnessBar();
    b->setValue(23);
    b->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(b->value(), 30);
    b->setValue(-23);
    b->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(b->value(), -30);
    b->setValue(50);
    b->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(b->value(), 50);
    // Single steps stay single steps.
    b->setValue(23);
    b->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(b->value(), 24);
    dlg.reject();
}

TEST(AdjustDlg, PreviewResetAndCancelLeaveThePhoto) {
    Doc doc;
    {
        CAdjustDlg dlg(*doc.ws);
        const int redraws = doc.host.redraws;
        dlg.brightnessBar()->setValue(20);
        dlg.contrastBar()->setValue(-40);
        EXPECT_GT(doc.host.redraws, redraws);
        EXPECT_TRUE(samePixels(doc.ws->display(), adjusted(doc.shown, 20, -40)));
        dlg.resetButton()->click();
        EXPECT_EQ(dlg.brightnessBar()->value(), 0);
        EXPECT_EQ(dlg.contrastBar()->value(), 0);
        EXPECT_TRUE(samePixels(doc.ws->display(), doc.shown));
        dlg.contrastBar()->setValue(10);
        dlg.cancelButton()->click();
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        EXPECT_EQ(dlg.applied(), 0);
    }
    EXPECT_TRUE(samePixels(doc.ws->display(), doc.shown));
    EXPECT_TRUE(samePixels(doc.ws->source(), doc.photo));
    EXPECT_FALSE(doc.ws->modified());

    // A dialog that goes away unanswered puts the display back too.
    {
        CAdjustDlg dlg(*doc.ws);
        dlg.brightnessBar()->setValue(-35);
    }
    EXPECT_TRUE(samePixels(doc.ws->display(), doc.shown));
}

TEST(AdjustDlg, OkAdjustsThePhoto) {
    Doc doc;
    CAdjustDlg dlg(*doc.ws);
    dlg.brightnessBar()->setValue(-15);
    dlg.contrastBar()->setValue(25);
    dlg.okButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.applied(), 1);
    EXPECT_TRUE(samePixels(doc.ws->source(), adjusted(doc.photo, -15, 25)));
    EXPECT_TRUE(doc.ws->modified());
}

TEST(AdjustDlg, RotateCommandFollowsThePermission) {
    Doc doc;
    doc.ws->setRotationAllowed(false);
    EXPECT_EQ(ui::RunRotateCommand(*doc.ws), 0);
    doc.ws->setRotationAllowed(true);
    EXPECT_EQ(ui::RunRotateCommand(*doc.ws), 1);
    EXPECT_EQ(doc.ws->width(), 30);
    EXPECT_EQ(doc.ws->display().height(), 50);
}

// Enter on the focused リセット button resets, as Space does; it used to
// press OK, keeping the change with no way back. Enter on a bar still
// answers OK.
TEST(AdjustDlg, EnterPressesTheFocusedButton) {
    Doc doc;
    CAdjustDlg dlg(*doc.ws);
    dlg.show();
    dlg.brightnessBar()->setValue(20);
    dlg.resetButton()->setFocus();
    QTest::keyClick(dlg.resetButton(), Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.brightnessBar()->value(), 0);
    dlg.brightnessBar()->setFocus();
    dlg.brightnessBar()->setValue(10);
    QTest::keyClick(dlg.brightnessBar(), Qt::Key_Return);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}
