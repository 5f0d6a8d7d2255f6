#include "core/Settings.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "core/StillImage.h"
#include "ui/VideoDlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace plastora;
using namespace plastora::test;
using plastora::ui::CVideoDlg;

namespace {

struct Ini {
    TempDir dir;
    ScriptedHost host;
    std::string path = dir.file("Plastora.ini");
    explicit Ini(const std::string& text = "") { std::ofstream(path) << text; }
    std::string text() const {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

// Which of the kind-dependent controls are enabled: swap, FPS, loop, GIF size.
std::string enabling(const CVideoDlg& dlg) {
    std::string s;
    for (const QWidget* w : {static_cast<const QWidget*>(dlg.reverseBox()), static_cast<const QWidget*>(dlg.fpsField()),
                             static_cast<const QWidget*>(dlg.loopField()), static_cast<const QWidget*>(dlg.gifSizeBox())})
        s += w->isEnabled() ? '1' : '0';
    return s;
}

}  // namespace

TEST(VideoDlg, StoredValuesEnablingAndReset) {
    Ini ini("[Video]\nStereoType=2\nVideoSize=3\nReverseStereo=1\nFPS=2.500000\nLoop=4\nGifSize=0\n");
    CVideoDlg dlg(ini.host, ini.path);
    EXPECT_TRUE(dlg.typeRadio(2)->isChecked());
    EXPECT_TRUE(dlg.sizeRadio(3)->isChecked());
    EXPECT_TRUE(dlg.reverseBox()->isChecked());
    EXPECT_EQ(dlg.fpsField()->text(), "2.5");
    EXPECT_EQ(dlg.loopField()->text(), "4");
    EXPECT_FALSE(dlg.gifSizeBox()->isChecked());
    // A stereo movie frame: only the swap applies.
    EXPECT_EQ(enabling(dlg), "1000");
    dlg.typeRadio(0)->click();
    EXPECT_EQ(enabling(dlg), "0111");
    dlg.typeRadio(4)->click();
    EXPECT_EQ(enabling(dlg), "1000");

    // "標準に戻す": the movie with 640x480, 10 fps, 10 sweeps, own GIF size,
    // and the enabling follows.
    dlg.defaultsButton()->click();
    EXPECT_TRUE(dlg.typeRadio(0)->isChecked());
    EXPECT_FALSE(dlg.typeRadio(4)->isChecked());
    EXPECT_TRUE(dlg.sizeRadio(1)->isChecked());
    EXPECT_FALSE(dlg.reverseBox()->isChecked());
    EXPECT_EQ(dlg.fpsField()->text(), "10");
    EXPECT_EQ(dlg.loopField()->text(), "10");
    EXPECT_TRUE(dlg.gifSizeBox()->isChecked());
    EXPECT_EQ(enabling(dlg), "0111");
    EXPECT_NE(ini.text().find("StereoType=2"), std::string::npos) << "nothing is written before OK";
}

TEST(VideoDlg, OkChecksRangesThenWritesAllSixKeys) {
    Ini ini;
    CVideoDlg dlg(ini.host, ini.path);
    dlg.fpsField()->setText("30.5");
    dlg.loopField()->setText("0");
    ini.host.expectMessage("0.1 から 30 までの数値を入力してください。");
    dlg.okButton()->click();
    dlg.fpsField()->setText("0.1");
    ini.host.expectMessage("1 から 99 までの整数を入力してください。");
    dlg.okButton()->click();
    EXPECT_EQ(ini.text(), "") << "refused values write nothing";

    dlg.loopField()->setText("99");
    dlg.typeRadio(3)->click();
    dlg.sizeRadio(2)->click();
    dlg.reverseBox()->setChecked(true);
    dlg.gifSizeBox()->setChecked(false);
    dlg.okButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    const std::string text = ini.text();
    for (const char* line :
         {"StereoType=3", "VideoSize=2", "ReverseStereo=1", "FPS=0.100000", "Loop=99", "GifSize=0"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;

    // Settings that cannot be written are told, and the dialog stays open.
    ScriptedHost host;
    CVideoDlg unwritable(host, ini.dir.file("no/such/folder/Plastora.ini"));
    host.expectMessage(kSaveFailedMessage);
    unwritable.okButton()->click();
    EXPECT_NE(unwritable.result(), QDialog::Accepted);
    EXPECT_TRUE(host.done());
}
