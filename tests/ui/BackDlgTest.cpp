#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "ui/BackDlg.h"

#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <gtest/gtest.h>

using namespace plastora;
using namespace plastora::test;
using plastora::ui::CBackDlg;

namespace {

constexpr ColorRef kBlueColour = RGB(0, 0, 255), kBlackColour = RGB(0, 0, 0), kRedColour = RGB(255, 0, 0);

struct Doc {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws{host, dir.file("none.ini")};
    explicit Doc(int regions) {
        ws.adoptPicture(gradientPicture(12, 8));
        ws.SetMode(kModeMask);
        for (int i = 1; i < regions; ++i) EXPECT_TRUE(ws.appendRegion(8));
    }
};

int checkedColour(const CBackDlg& dlg) {
    for (int i = 0; i < 4; ++i)
        if (dlg.colourRadio(i)->isChecked()) return i;
    return -1;
}

}  // namespace

TEST(BackDlg, PresetFromTheWorkspace) {
    Doc one(1);
    CBackDlg single(one.ws);
    EXPECT_EQ(checkedColour(single), 0) << "blue at the start";
    EXPECT_FALSE(single.fillBox()->isChecked());
    EXPECT_FALSE(single.masksSpin()->isEnabled()) << "one region: K cannot be changed";
    EXPECT_EQ(single.masksSpin()->value(), 0);

    Doc three(3);
    SpectralDialogData data;
    data.colour = kBlackColour;
    data.fill = true;
    data.backgroundMasks = 2;
    data.contrast = true;
    ASSERT_EQ(ApplySpectral(three.ws, data), 1);
    CBackDlg dlg(three.ws);
    EXPECT_EQ(checkedColour(dlg), 1);
    EXPECT_TRUE(dlg.fillBox()->isChecked());
    EXPECT_TRUE(dlg.contrastBox()->isChecked());
    EXPECT_TRUE(dlg.masksSpin()->isEnabled());
    EXPECT_EQ(dlg.masksSpin()->minimum(), 0);
    EXPECT_EQ(dlg.masksSpin()->maximum(), 2);
    EXPECT_EQ(dlg.masksSpin()->value(), 2);
    three.ws.setSpectralColour(RGB(1, 2, 3));
    CBackDlg custom(three.ws);
    EXPECT_EQ(checkedColour(custom), 3) << "any other colour is 任意の色";
    // The tint state ("背景を塗りつぶす" unticked) comes back unticked.
    data.fill = false;
    ASSERT_EQ(ApplySpectral(three.ws, data), 1);
    CBackDlg tinted(three.ws);
    EXPECT_FALSE(tinted.fillBox()->isChecked());
}

TEST(BackDlg, ColourButtonsSetTheColourAtOnce) {
    Doc d(2);
    d.ws.SetMode(kModeImage);
    CBackDlg dlg(d.ws);
    dlg.colourRadio(2)->click();
    EXPECT_EQ(d.ws.spectralColour(), kRedColour);
    EXPECT_FALSE(dlg.fillBox()->isChecked());
    dlg.colourRadio(1)->click();
    EXPECT_EQ(d.ws.spectralColour(), kBlackColour);
    EXPECT_TRUE(dlg.fillBox()->isChecked()) << "black is a fill";
    dlg.colourRadio(0)->click();
    EXPECT_EQ(d.ws.spectralColour(), kBlueColour);

    // The chooser starts from the current colour; OK takes its colour.
    d.host.expectColor(RGB(10, 200, 30));
    dlg.colourRadio(3)->click();
    EXPECT_EQ(d.ws.spectralColour(), RGB(10, 200, 30));
    EXPECT_EQ(checkedColour(dlg), 3);
    // The swatch: a 20 x 20 square of the colour at (2, 2).
    const QImage swatch = dlg.swatch()->icon().pixmap(dlg.swatch()->iconSize()).toImage();
    EXPECT_EQ(swatch.pixelColor(2, 2), QColor(10, 200, 30));
    EXPECT_EQ(swatch.pixelColor(21, 21), QColor(10, 200, 30));
    EXPECT_EQ(swatch.pixelColor(1, 1).alpha(), 0);
    EXPECT_EQ(swatch.pixelColor(22, 22).alpha(), 0);

    // Cancel in the chooser goes back to the radio of the current colour.
    dlg.colourRadio(2)->click();
    d.host.expectColor(std::nullopt);
    dlg.colourRadio(3)->click();
    EXPECT_EQ(d.ws.spectralColour(), kRedColour);
    EXPECT_EQ(checkedColour(dlg), 2);

    // Cancel of the dialog keeps the colour already set, and nothing else.
    dlg.contrastBox()->click();
    dlg.reject();
    EXPECT_EQ(d.ws.spectralColour(), kRedColour);
    EXPECT_EQ(d.ws.spectralState(), kSpectralNone);
    EXPECT_FALSE(d.ws.spectralContrast());
}

TEST(BackDlg, SwatchOnlyInTheEditDisplay) {
    Doc d(1);
    CBackDlg masks(d.ws);
    EXPECT_TRUE(masks.swatch()->icon().isNull()) << "mask editing";
    d.ws.SetMode(kModeImage);
    CBackDlg edit(d.ws);
    EXPECT_FALSE(edit.swatch()->icon().isNull());
}
