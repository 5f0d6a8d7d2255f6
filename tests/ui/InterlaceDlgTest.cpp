#include "ui/InterlaceDlg.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

using namespace plastora;
using plastora::ui::CInterlaceDlg;

TEST(InterlaceDlg, PresetAndBackToStandard) {
    CInterlaceDlg dlg(InterlaceSettings{kInterlaceColumns, true, true});
    EXPECT_TRUE(dlg.typeRadio(kInterlaceColumns)->isChecked());
    EXPECT_EQ(dlg.typeRadio(kInterlaceColumns)->text(), "縦インターレース");
    EXPECT_TRUE(dlg.stereoBox()->isChecked());
    EXPECT_TRUE(dlg.swapBox()->isChecked());
    // "標準に戻す" clears all three at once and leaves the dialog open.
    dlg.defaultsButton()->click();
    EXPECT_EQ(dlg.result(), 0);
    const InterlaceSettings s = dlg.settings();
    EXPECT_EQ(s.type, kInterlaceRows);
    EXPECT_FALSE(s.stereo);
    EXPECT_FALSE(s.swap);
    EXPECT_TRUE(dlg.typeRadio(kInterlaceRows)->isChecked());
    dlg.typeRadio(kInterlaceColumns)->click();
    dlg.swapBox()->click();
    dlg.okButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.settings().type, kInterlaceColumns);
    EXPECT_TRUE(dlg.settings().swap);
}
