#include "support/ScriptedHost.h"
#include "ui/ShapeDlg.h"
#include "ui/TextDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

using namespace plastora;
using namespace plastora::test;
using plastora::ui::CShapeDlg;
using plastora::ui::CTextDlg;

namespace {

template <class W = QWidget>
W* child(const QDialog& dlg, const char* name) {
    W* w = dlg.findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// Which of the kind-dependent controls are enabled: no fill, the two arrow
// ticks, the size.
std::string enabling(const CShapeDlg& dlg) {
    std::string s;
    for (const char* name : {"noFill", "arrowFirst", "arrowSecond", "size"}) s += child(dlg, name)->isEnabled() ? '1' : '0';
    return s;
}

}  // namespace

TEST(ObjectTextDlg, FontListDropsVerticalFacesAndKeepsAnUnknownPreset) {
    const QStringList installed{"@MS Gothic", "Arial", "MS Gothic", "@Meiryo"};
    EXPECT_EQ(ui::textDialogFaces(installed, "Arial"), (QStringList{"Arial", "MS Gothic"}));
    EXPECT_EQ(ui::textDialogFaces(installed, "ＭＳ Ｐゴシック"), (QStringList{"ＭＳ Ｐゴシック", "Arial", "MS Gothic"}));
    EXPECT_EQ(ui::textDialogFaces(installed, ""), (QStringList{"Arial", "MS Gothic"}));
}

TEST(ObjectTextDlg, OkFollowsTheTextAndWritesBackOnlyOnOk) {
    TextDialogData data;
    data.text = "立体 ABC";
    data.face = "Plastora Missing Face";
    data.size = 20;
    data.flat = true;
    data.bold = false;
    data.italic = true;
    CTextDlg dlg(data);
    auto* text = child<QLineEdit>(dlg, "text");
    auto* font = child<QComboBox>(dlg, "font");
    EXPECT_EQ(font->currentIndex(), 0) << "a face the computer lacks goes on top";
    EXPECT_EQ(font->currentText(), "Plastora Missing Face");

    text->clear();
    EXPECT_FALSE(dlg.okButton()->isEnabled());
    dlg.accept();
    EXPECT_EQ(dlg.result(), 0) << "an empty text is never accepted";
    EXPECT_EQ(data.text, "立体 ABC");

    text->setText(QString::fromUtf8("縦書きの文字"));
    EXPECT_TRUE(dlg.okButton()->isEnabled());
    child<QSpinBox>(dlg, "size")->setValue(100);
    child<QCheckBox>(dlg, "flat")->setChecked(false);
    child<QCheckBox>(dlg, "vertical")->setChecked(true);
    child<QCheckBox>(dlg, "bold")->setChecked(true);
    child<QCheckBox>(dlg, "antialiased")->setChecked(false);
    EXPECT_EQ(data.text, "立体 ABC") << "nothing is written before OK";

    QTimer::singleShot(0, dlg.okButton(), &QPushButton::click);
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(data.text, "縦書きの文字");
    EXPECT_EQ(data.face, "Plastora Missing Face");
    EXPECT_EQ(data.size, 72) << "the size is held to 8..72";
    EXPECT_FALSE(data.flat);
    EXPECT_TRUE(data.vertical);
    EXPECT_TRUE(data.bold);
    EXPECT_TRUE(data.italic);
    EXPECT_FALSE(data.antialiased);
}

TEST(ObjectShapeDlg, EnablingFollowsTheKindAndTheArrowsAndCancelWritesNothing) {
    ScriptedHost host;
    ShapeDialogData data;
    data.kind = 3;
    CShapeDlg dlg(data, host);
    EXPECT_EQ(enabling(dlg), "0110") << "a line without arrows has no size";
    child<QCheckBox>(dlg, "arrowSecond")->click();
    EXPECT_EQ(enabling(dlg), "0111");
    child<QRadioButton>(dlg, "kind0")->click();
    EXPECT_EQ(enabling(dlg), "1000");
    child<QRadioButton>(dlg, "kind1")->click();
    EXPECT_EQ(enabling(dlg), "1000");
    child<QRadioButton>(dlg, "kind2")->click();
    EXPECT_EQ(enabling(dlg), "1001") << "the corner size of the rounded rectangle";
    child<QRadioButton>(dlg, "kind4")->click();
    EXPECT_EQ(enabling(dlg), "0111") << "the arrow tick was kept while disabled";
    child<QCheckBox>(dlg, "arrowSecond")->click();
    EXPECT_EQ(enabling(dlg), "0110");

    child<QSpinBox>(dlg, "lineWidth")->setValue(5);
    child<QPushButton>(dlg, "cancel")->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(data.kind, 3);
    EXPECT_EQ(data.lineWidth, 2);
}

TEST(ObjectShapeDlg, LineOfWidthZeroIsRefusedUntilGivenAWidth) {
    ScriptedHost host;
    ShapeDialogData data;
    data.kind = 4;
    data.lineWidth = 0;
    data.arrowFirst = true;
    CShapeDlg dlg(data, host);
    auto* width = child<QSpinBox>(dlg, "lineWidth");

    host.expectMessage("直線の太さは１以上を指定してください。", MsgResult::Ok, MsgButtons::Ok, MsgIcon::Warning);
    dlg.okButton()->click();
    EXPECT_TRUE(host.done());
    EXPECT_EQ(dlg.result(), 0) << "the dialog stays open";
    EXPECT_EQ(dlg.focusWidget(), width);
    EXPECT_EQ(data.lineWidth, 0);

    width->setValue(1);
    child<QCheckBox>(dlg, "square")->setChecked(true);
    dlg.okButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(data.lineWidth, 1);
    EXPECT_TRUE(data.square);
    EXPECT_TRUE(data.arrowFirst);
}

TEST(ObjectShapeDlg, AreaWithoutOutlineIsAcceptedAndASmallPresetSizeIsKept) {
    ScriptedHost host;
    ShapeDialogData data;
    data.kind = 2;
    data.lineWidth = 0;
    data.size = 1;
    CShapeDlg dlg(data, host);
    auto* size = child<QSpinBox>(dlg, "size");
    QTimer::singleShot(0, dlg.okButton(), &QPushButton::click);
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(data.size, 1);
    EXPECT_EQ(data.lineWidth, 0);

    // The step buttons run 2..32: up from 1 lands on 2, down stops there.
    size->stepUp();
    EXPECT_EQ(size->value(), 2);
    size->stepDown();
    EXPECT_EQ(size->value(), 2);
    size->stepBy(40);
    EXPECT_EQ(size->value(), 32);
}
