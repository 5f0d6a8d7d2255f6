#include "core/Settings.h"
#include "core/StillImage.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "ui/PMDlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <fstream>

using namespace plastora;
using namespace plastora::test;
using plastora::ui::CPMDlg;

namespace {

constexpr const char* kAreaTooSmall = "パターンサイズに対して検出領域が小さすぎます(縦横共に2倍以上は必要)";

struct Ini {
    TempDir dir;
    ScriptedHost host;
    std::string path = dir.file("Plastora.ini");
    explicit Ini(const std::string& text = "") { std::ofstream(path) << text; }
    int get(SettingKey key) const { return Settings(path).getInt(key); }
};

}  // namespace

TEST(PMDlg, ShowsTheStoredValuesAndRestoresTheDefaults) {
    Ini ini("[PM]\nEnablePM=0\nCheckMatch=0\nPatternSize=24\nSourceCol=100\nSourceRow=40\nMinDistance=20\nAdjustType=2\n");
    CPMDlg dlg(ini.host, ini.path);
    EXPECT_FALSE(dlg.enableBox()->isChecked());
    EXPECT_FALSE(dlg.checkMatchBox()->isChecked());
    EXPECT_TRUE(dlg.sizeRadio(1)->isChecked()) << "a size other than 8 or 32 shows as 16";
    EXPECT_EQ(dlg.widthField()->text(), "100");
    EXPECT_EQ(dlg.heightField()->text(), "40");
    EXPECT_EQ(dlg.toleranceField()->text(), "20");
    EXPECT_TRUE(dlg.adjustRadio(2)->isChecked());

    dlg.defaultsButton()->click();
    EXPECT_TRUE(dlg.enableBox()->isChecked());
    EXPECT_TRUE(dlg.checkMatchBox()->isChecked());
    EXPECT_TRUE(dlg.sizeRadio(1)->isChecked());
    EXPECT_EQ(dlg.widthField()->text(), "64");
    EXPECT_EQ(dlg.heightField()->text(), "32");
    EXPECT_EQ(dlg.toleranceField()->text(), "35");
    EXPECT_TRUE(dlg.adjustRadio(1)->isChecked());
    EXPECT_FALSE(dlg.adjustRadio(2)->isChecked());
    EXPECT_EQ(ini.get(SettingKey::PMSourceCol), 100) << "nothing is written before OK";
}

TEST(PMDlg, OkChecksTheRangesInOrderThenTheAreaAgainstTwiceTheBlock) {
    Ini ini;
    CPMDlg dlg(ini.host, ini.path);
    dlg.widthField()->setText("200");
    dlg.heightField()->setText("abc");
    ini.host.expectMessage("16 から 128 までの整数を入力してください。");
    dlg.okButton()->click();
    EXPECT_EQ(dlg.focusWidget(), dlg.widthField()) << "the first failing field";
    EXPECT_EQ(dlg.result(), 0);

    dlg.widthField()->setText("128");
    ini.host.expectMessage("16 から 128 までの整数を入力してください。");
    dlg.okButton()->click();
    EXPECT_EQ(dlg.focusWidget(), dlg.heightField());

    dlg.heightField()->setText("16");
    dlg.toleranceField()->setText("9");
    ini.host.expectMessage("10 から 90 までの整数を入力してください。");
    dlg.okButton()->click();
    EXPECT_EQ(dlg.result(), 0);

    // 16 rows are not twice a 16 x 16 block; 32 rows are, but not twice 32.
    dlg.toleranceField()->setText("90");
    ini.host.expectMessage(kAreaTooSmall);
    dlg.okButton()->click();
    EXPECT_EQ(dlg.result(), 0);
    dlg.heightField()->setText("32");
    dlg.sizeRadio(2)->click();
    ini.host.expectMessage(kAreaTooSmall);
    dlg.okButton()->click();
    EXPECT_EQ(dlg.result(), 0);
    EXPECT_TRUE(ini.host.done());
    EXPECT_EQ(ini.get(SettingKey::PMSourceCol), 64) << "nothing written while refused";
}

TEST(PMDlg, OkWritesTheSevenValues) {
    Ini ini("[PM]\nrejectThreshold=40\n");
    CPMDlg dlg(ini.host, ini.path);
    dlg.enableBox()->setChecked(false);
    dlg.sizeRadio(0)->click();
    dlg.widthField()->setText("16");
    dlg.heightField()->setText("16");
    dlg.toleranceField()->setText("10");
    dlg.adjustRadio(0)->click();
    dlg.okButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(ini.get(SettingKey::PMEnablePM), 0);
    EXPECT_EQ(ini.get(SettingKey::PMCheckMatch), 1);
    EXPECT_EQ(ini.get(SettingKey::PMPatternSize), 8);
    EXPECT_EQ(ini.get(SettingKey::PMSourceCol), 16);
    EXPECT_EQ(ini.get(SettingKey::PMSourceRow), 16);
    EXPECT_EQ(ini.get(SettingKey::PMMinDistance), 10);
    EXPECT_EQ(ini.get(SettingKey::PMAdjustType), 0);
    EXPECT_EQ(ini.get(SettingKey::PMRejectThreshold), 40) << "keys the dialog does not edit stay";
    std::ifstream in(ini.path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("EnablePM=0"), std::string::npos);
    EXPECT_NE(text.find("CheckMatch=1"), std::string::npos);

    // Settings that cannot be written are told, and the dialog stays open.
    ScriptedHost host;
    CPMDlg unwritable(host, ini.path + ".missing/Plastora.ini");
    host.expectMessage(kSaveFailedMessage);
    unwritable.okButton()->click();
    EXPECT_NE(unwritable.result(), QDialog::Accepted);
    EXPECT_TRUE(host.done());
}

TEST(PMDlg, MethodIsShownAndWrittenAndAnUntouchedAreaStaysUnset) {
    Ini ini("[PM]\nMethod=0\n");
    {
        CPMDlg dlg(ini.host, ini.path);
        EXPECT_TRUE(dlg.methodRadio(kMethodBlocks)->isChecked());
        EXPECT_FALSE(dlg.methodRadio(kMethodDense)->isChecked());
        dlg.defaultsButton()->click();
        EXPECT_TRUE(dlg.methodRadio(kMethodDense)->isChecked()) << "the dense method is the default";
        dlg.okButton()->click();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    EXPECT_EQ(ini.get(SettingKey::PMMethod), kMethodDense);
    // The search area was left as it reads (64 x 32, unset): it stays unset,
    // so the matcher keeps sizing it to each pair.
    EXPECT_FALSE(readPatternMatchSettings(ini.path).areaSet);
    {
        CPMDlg dlg(ini.host, ini.path);
        dlg.methodRadio(kMethodBlocks)->click();
        dlg.widthField()->setText("96");
        dlg.okButton()->click();
    }
    EXPECT_EQ(ini.get(SettingKey::PMMethod), kMethodBlocks);
    EXPECT_EQ(ini.get(SettingKey::PMSourceCol), 96);
    EXPECT_TRUE(readPatternMatchSettings(ini.path).areaSet);
}

// An area written by hand outside what the dialog allows is read within it:
// at least twice the block, at most 128.
TEST(PMDlg, AnAreaOutsideTheDialogsRangeIsReadWithinIt) {
    Ini ini("[PM]\nPatternSize=32\nSourceRow=16\nSourceCol=4000\n");
    const PatternMatchSettings s = readPatternMatchSettings(ini.path);
    EXPECT_EQ(s.sourceRow, 64);
    EXPECT_EQ(s.sourceCol, 128);
}
