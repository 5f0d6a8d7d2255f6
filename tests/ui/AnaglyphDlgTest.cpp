#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/TestDocument.h"
#include "ui/AnaglyphDlg.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <gtest/gtest.h>

#include <fstream>

using namespace plastora;
using namespace plastora::test;
using plastora::ui::CAnaglyphDlg;

namespace {

struct Doc : TestDocument {
    explicit Doc(const std::string& ini = "") : TestDocument(16, 8, ini) {
    }
};

}  // namespace

TEST(AnaglyphDlg, PresetLocksRegenerationWithoutViews) {
    Doc d("[Option]\nAnaglyphColor=1\nAnaglyphFilter=2\n");
    d.ws->setStrength(7);
    CAnaglyphDlg dlg(*d.ws);
    EXPECT_TRUE(dlg.colourRadio(kAnaglyphColour)->isChecked());
    EXPECT_TRUE(dlg.filterRadio(kFilterRedBlue)->isChecked()) << "the stored index 2 is red-blue";
    EXPECT_EQ(dlg.filterRadio(kFilterRedBlue)->text(), "赤青(Red-Blue)");
    EXPECT_TRUE(dlg.regenerateBox()->isChecked());
    EXPECT_FALSE(dlg.regenerateBox()->isEnabled()) << "no views: regeneration cannot be unticked";
    EXPECT_TRUE(dlg.strengthSpin()->isEnabled());
    EXPECT_EQ(dlg.strengthSpin()->value(), 7);
    EXPECT_EQ(dlg.strengthSpin()->minimum(), 1);
    EXPECT_EQ(dlg.strengthSpin()->maximum(), 50);

    d.ws->GenerateViews(nullptr, 70, false);
    CAnaglyphDlg withViews(*d.ws);
    EXPECT_FALSE(withViews.regenerateBox()->isChecked());
    EXPECT_TRUE(withViews.regenerateBox()->isEnabled());
    EXPECT_FALSE(withViews.strengthSpin()->isEnabled());
    EXPECT_EQ(withViews.strengthSpin()->value(), 50) << "a strength above the range shows as 50";
    withViews.regenerateBox()->click();
    EXPECT_TRUE(withViews.strengthSpin()->isEnabled());
    withViews.strengthSpin()->setValue(12);
    withViews.filterRadio(kFilterRedGreen)->click();
    withViews.colourRadio(kAnaglyphGrey)->click();
    const AnaglyphDialogData data = withViews.data();
    EXPECT_TRUE(data.regenerate);
    EXPECT_EQ(data.strength, 12);
    EXPECT_EQ(data.filter, kFilterRedGreen);
    EXPECT_EQ(data.colourMode, kAnaglyphGrey);
}

TEST(AnaglyphDlg, ColourWithAFilterOtherThanRedCyanAsks) {
    Doc d;
    CAnaglyphDlg dlg(*d.ws);
    dlg.colourRadio(kAnaglyphColour)->click();
    dlg.filterRadio(kFilterRedGreen)->click();
    d.host.expectMessage(kAnaglyphColourQuestion, MsgResult::No, MsgButtons::YesNo);
    dlg.createButton()->click();
    EXPECT_EQ(dlg.result(), 0) << "No goes back to the dialog";
    ASSERT_EQ(d.host.shownMessages.size(), 1u);
    EXPECT_EQ(d.host.shownMessages[0].defaultButton, 1) << "No is the default";
    EXPECT_EQ(std::string(kAnaglyphColourQuestion),
              "このフィルターの場合、元の色での表示ができません。\nカラー設定のままアナグリフ画像を作成しますか？");

    d.host.expectMessage(kAnaglyphColourQuestion, MsgResult::Yes);
    dlg.createButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    // Red-cyan in colour, and any filter in grey, go through without asking.
    CAnaglyphDlg cyan(*d.ws);
    cyan.colourRadio(kAnaglyphColour)->click();
    cyan.filterRadio(kFilterRedCyan)->click();
    cyan.createButton()->click();
    EXPECT_EQ(cyan.result(), QDialog::Accepted);
    CAnaglyphDlg grey(*d.ws);
    grey.filterRadio(kFilterRedBlue)->click();
    grey.createButton()->click();
    EXPECT_EQ(grey.result(), QDialog::Accepted);
}

// The methods follow the three channel picks; while one is chosen the colour
// mode does not apply, and a stored method is preselected.
TEST(AnaglyphDlg, MethodsDisableTheColourModeAndAreStored) {
    Doc d("[Option]\nAnaglyphColor=1\nAnaglyphFilter=6\n");
    CAnaglyphDlg dlg(*d.ws);
    EXPECT_EQ(dlg.filterRadio(kFilterRedCyan)->text(), "赤シアン(Red-Cyan)");
    EXPECT_EQ(dlg.filterRadio(kFilterRedBlue)->text(), "赤青(Red-Blue)");
    EXPECT_TRUE(dlg.filterRadio(kFilterHalfColour)->isChecked());
    EXPECT_FALSE(dlg.colourRadio(kAnaglyphGrey)->isEnabled());
    dlg.filterRadio(kFilterRedGreen)->click();
    EXPECT_TRUE(dlg.colourRadio(kAnaglyphGrey)->isEnabled());
    dlg.filterRadio(kFilterDuboisGreenMagenta)->click();
    EXPECT_FALSE(dlg.colourRadio(kAnaglyphColour)->isEnabled());
    EXPECT_EQ(dlg.data().filter, kFilterDuboisGreenMagenta);
    dlg.createButton()->click();  // colour mode 1 kept, but no question for a method
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    // The choice is written as its number.
    d.ws->GenerateViews(nullptr, 2, true);
    ASSERT_EQ(CreateAnaglyph(*d.ws, dlg.data()), 1);
    EXPECT_EQ(CStereoWorkspace::readAnaglyphFilter(d.dir.file("Plastora.ini")), kFilterDuboisGreenMagenta);
}
