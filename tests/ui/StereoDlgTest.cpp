#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "support/TestDocument.h"
#include "ui/Commands.h"
#include "stereo/PatternMultiView.h"
#include "ui/StereoDlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <QTimer>

#include <fstream>

using namespace plastora;
using namespace plastora::test;
using plastora::ui::CStereoDlg;

namespace {

struct Doc : TestDocument {
    explicit Doc(const std::string& ini = "") : TestDocument(24, 16, ini) {
        paintRect(ws->region(0).mask, 5, 5, 12, 12);
    }
};

}  // namespace

TEST(StereoDlg, InitialValuesFollowTheStrength) {
    Doc d;
    for (int s : {1, 2, 3}) {
        d.ws->setStrength(s);
        CStereoDlg dlg(*d.ws, false);
        EXPECT_TRUE(dlg.radio(s - 1)->isChecked()) << s;
        EXPECT_EQ(dlg.numberField()->text(), "0");
        EXPECT_FALSE(dlg.numberField()->isEnabled());
    }
    d.ws->setStrength(7);
    CStereoDlg custom(*d.ws, false);
    EXPECT_TRUE(custom.radio(3)->isChecked());
    EXPECT_EQ(custom.numberField()->text(), "7");
    EXPECT_TRUE(custom.numberField()->isEnabled());
    EXPECT_FALSE(custom.patternMatchBox()->isVisibleTo(&custom)) << "only for stereo-pair documents";

    d.ws->setStrength(0);
    CStereoDlg zero(*d.ws, false);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(zero.radio(i)->isChecked()) << i;
    EXPECT_EQ(zero.chosenStrength(), 0);
}

TEST(StereoDlg, InterlaceTickComesFromTheSettingsAndIsHiddenForTheCard) {
    Doc d("[Interlace]\nStereo=1\n");
    CStereoDlg dlg(*d.ws, false);
    EXPECT_TRUE(dlg.interlaceTicked());
    CStereoDlg card(*d.ws, false, true);
    EXPECT_FALSE(card.interlaceBox()->isVisibleTo(&card));
}

TEST(StereoDlg, CreateMakesViewsWithTheChosenStrength) {
    Doc d;
    CStereoDlg dlg(*d.ws, false);
    dlg.radio(3)->click();
    EXPECT_TRUE(dlg.numberField()->isEnabled());
    dlg.numberField()->setText("150");
    d.host.expectMessage("0 から 99 までの整数を入力してください。");
    dlg.createButton()->click();
    EXPECT_FALSE(d.ws->hasViews());
    EXPECT_EQ(dlg.result(), 0);

    dlg.numberField()->setText("12");
    dlg.createButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(d.ws->hasViews());
    EXPECT_EQ(d.ws->strength(), 12);
    EXPECT_EQ(dlg.progressBar()->value(), 100);
}

// The views cannot be stopped half-way: during the work Cancel is disabled
// and a rejection (Escape, the close box) waits, instead of Cancel looking
// available and the views being shown anyway.
TEST(StereoDlg, CancelWaitsForTheWorkToEnd) {
    Doc d;
    CStereoDlg dlg(*d.ws, false);
    bool cancelEnabled = true;
    QTimer::singleShot(0, &dlg, [&] {
        cancelEnabled = dlg.cancelButton()->isEnabled();
        dlg.reject();
    });
    dlg.createButton()->click();
    EXPECT_FALSE(cancelEnabled);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(d.ws->hasViews());
    EXPECT_TRUE(dlg.cancelButton()->isEnabled());
}

TEST(StereoDlg, AutoStartPressesCreateAfter100ms) {
    Doc d;
    CStereoDlg dlg(*d.ws, true);
    EXPECT_FALSE(dlg.createButton()->isEnabled());
    EXPECT_FALSE(d.ws->hasViews());
    QTest::qWait(50);
    EXPECT_FALSE(d.ws->hasViews()) << "not before 100 ms";
    QTest::qWait(300);
    EXPECT_TRUE(d.ws->hasViews());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

namespace {

// A stereo-pair document of `pictures` pictures (slot k a flat grey k x 10)
// with a textured left and right picture, so that matching finds blocks.
struct PairDoc {
    TempDir dir;
    ScriptedHost host;
    std::unique_ptr<CStereoWorkspace> ws;
    PairDoc(int pictures, const std::string& ini = "") {
        // The block matcher ([PM] Method 0), whose grid the tests look at.
        std::ofstream(dir.file("Plastora.ini")) << "[PM]\nCheckMatch=0\nMethod=0\n" << ini;
        ws = std::make_unique<CStereoWorkspace>(host, dir.file("Plastora.ini"));
        ws->adoptPicture(gradientPicture(64, 32));
        for (int k = 0; k < pictures; ++k) {
            ws->highRes(k).createCopy(ws->source());
            if (k > 0) blit(ws->highRes(k), 2, 0, 64, 32, &ws->source(), 0, 0, Rop::Copy);
        }
        ws->setHighResCount(pictures);
        ws->setStereoPair(true);
    }
    ~PairDoc() { forgetPatternMultiView(*ws); }
};

}  // namespace

TEST(StereoDlg, PatternMatchTickForStereoPairs) {
    PairDoc pair(2, "EnablePM=1\n");
    pair.ws->setStrength(5);
    CStereoDlg strong(*pair.ws, false);
    EXPECT_TRUE(strong.patternMatchBox()->isVisibleTo(&strong));
    EXPECT_TRUE(strong.patternMatchTicked()) << "strength above 3 with EnablePM on";
    pair.ws->setStrength(3);
    CStereoDlg weak(*pair.ws, false);
    EXPECT_FALSE(weak.patternMatchTicked());

    PairDoc off(2, "EnablePM=0\n");
    off.ws->setStrength(5);
    CStereoDlg unticked(*off.ws, false);
    EXPECT_FALSE(unticked.patternMatchTicked());

    // Eight pictures: the box is not shown and never turns matching on.
    PairDoc eight(8, "EnablePM=1\n");
    eight.ws->setStrength(5);
    CStereoDlg hidden(*eight.ws, false);
    EXPECT_FALSE(hidden.patternMatchBox()->isVisibleTo(&hidden));
    EXPECT_FALSE(hidden.patternMatchTicked());
}

TEST(StereoDlg, CreateBuildsAStereoPairsViewsWithTheTick) {
    PairDoc pair(2);
    pair.ws->setStrength(2);
    CStereoDlg dlg(*pair.ws, false);
    dlg.patternMatchBox()->setChecked(true);
    EXPECT_FALSE(dlg.radio(2)->isEnabled()) << "no objects and no paint layer: the strength is locked";
    dlg.createButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    ASSERT_TRUE(pair.ws->hasViews());
    EXPECT_EQ(pair.ws->strength(), 2);
    const PatternMultiViewState* state = patternMultiViewState(*pair.ws);
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(state->patternMatch);
    EXPECT_EQ(state->match.grid.columns, 4);
    EXPECT_TRUE(samePixels(pair.ws->view(0), pair.ws->highRes(1))) << "view 0 is the right picture";

    CStereoDlg again(*pair.ws, false);
    again.patternMatchBox()->setChecked(false);
    again.createButton()->click();
    EXPECT_FALSE(patternMultiViewState(*pair.ws)->patternMatch);
}

TEST(Commands, EnablingFollowsTheState) {
    Doc d;
    auto enabled = [&](const char* id) {
        const ui::Command* c = ui::findCommand(id);
        EXPECT_NE(c, nullptr) << id;
        return c && c->enabled(*d.ws);
    };
    EXPECT_TRUE(enabled("addRegion"));
    EXPECT_FALSE(enabled("deleteRegion")) << "one region";
    EXPECT_FALSE(enabled("compose")) << "no views";
    EXPECT_FALSE(enabled("animation"));
    d.ws->GenerateViews(nullptr, 2, false);
    EXPECT_TRUE(enabled("compose"));
    EXPECT_TRUE(enabled("animation"));
    ASSERT_TRUE(d.ws->Compose());
    EXPECT_FALSE(enabled("compose")) << "a composite exists";
    EXPECT_TRUE(enabled("saveComposite"));
    EXPECT_TRUE(ui::findCommand("showComposite")->pressed(*d.ws));
    EXPECT_FALSE(enabled("addRegion")) << "not in mask editing";

    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace empty(host, dir.file("x.ini"));
    for (const auto& c : ui::commandTable()) {
        if (!c.enabled(empty)) continue;
        EXPECT_TRUE(c.id == "new" || c.id == "open" || c.id == "sample" || c.id == "exit" || c.id == "printSetup" ||
                    c.id == "openStereo" || c.id == "openWithDepth" || c.menu == ui::MenuId::Option || c.menu == ui::MenuId::Help)
            << c.id << " is enabled with no picture";
    }
}
