#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "ui/DepthDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace plastora;
using namespace plastora::test;
using plastora::ui::CDepthDlg;

namespace {

struct Doc {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws{host, dir.file("none.ini")};
    explicit Doc(std::initializer_list<int> depths) {
        ws.adoptPicture(gradientPicture(8, 8));
        ws.SetMode(kModeMask);
        int i = 0;
        for (int d : depths) {
            if (i > 0) {
                EXPECT_TRUE(ws.appendRegion(d));
            }
            ws.region(i++).depth = d;
        }
    }
};

void setText(QSpinBox* box, const QString& text) {
    box->selectAll();
    QTest::keyClicks(box, text);
    box->interpretText();
}

}  // namespace

TEST(DepthDlg, StandardButtonWithThreeAndFourRegions) {
    for (auto [regions, last, expected] :
         {std::tuple{3, 2, 8}, std::tuple{4, 2, 5}, std::tuple{4, 1, 2}}) {
        Doc d({0});
        for (int i = 1; i < regions; ++i) ASSERT_TRUE(d.ws.appendRegion(-3));
        CDepthDlg dlg(d.ws);
        for (int i = 0; i < last; ++i) dlg.regionButton()->click();
        dlg.standardButton()->click();
        EXPECT_EQ(dlg.regionField()->value(), expected) << regions << " regions, region " << last;
        EXPECT_EQ(dlg.backgroundField()->value(), -16);
        EXPECT_FALSE(dlg.sharpBox()->isChecked());
    }
    // Enter on the focused 標準に戻す presses it, not OK (which kept the
    // values it was meant to replace).
    Doc d({0});
    CDepthDlg dlg(d.ws);
    dlg.show();
    setText(dlg.backgroundField(), "-5");
    dlg.standardButton()->setFocus();
    QTest::keyClick(dlg.standardButton(), Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.backgroundField()->value(), -16);
}

TEST(DepthDlg, SharpBothWays) {
    Doc d({0});
    d.ws.backgroundDepth = -16;
    CDepthDlg dlg(d.ws);
    EXPECT_FALSE(dlg.sharpBox()->isChecked());
    dlg.sharpBox()->click();
    EXPECT_EQ(dlg.backgroundField()->value(), -8);
    dlg.sharpBox()->click();
    EXPECT_EQ(dlg.backgroundField()->value(), -16);
}

TEST(DepthDlg, RangeMessageKeepsTheDialogOpenAndFocusesTheField) {
    Doc d({0});
    CDepthDlg dlg(d.ws);
    dlg.show();
    setText(dlg.paintField(), "17");
    EXPECT_EQ(dlg.paintField()->value(), 17) << "typing may go outside the spin range";
    d.host.expectMessage(kDepthRangeMessage);
    dlg.accept();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), 0);
    QApplication::processEvents();
    EXPECT_TRUE(dlg.paintField()->hasFocus());

    // A decimal comma is no thousands separator: "1,5" and Enter is
    // refused, not taken as 15.
    dlg.paintField()->selectAll();
    QTest::keyClicks(dlg.paintField(), "1,5");
    d.host.expectMessage(kDepthRangeMessage);
    QTest::keyClick(dlg.paintField(), Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_NE(d.ws.paintDepth, 15);
    EXPECT_EQ(dlg.paintField()->text(), "1,5") << "kept as typed";
    // Leaving the field keeps it too, and OK refuses it then as well; the
    // arrows step from the last number.
    dlg.backgroundField()->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(dlg.paintField()->text(), "1,5");
    d.host.expectMessage(kDepthRangeMessage);
    dlg.accept();
    EXPECT_TRUE(dlg.isVisible());
    const int last = dlg.paintField()->value();
    EXPECT_GE(last, -32);
    EXPECT_LE(last, 16);

    setText(dlg.paintField(), "-32");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(d.ws.paintDepth, -32);
}

TEST(DepthDlg, SpinButtonsStayWithinRange) {
    Doc d({16});
    CDepthDlg dlg(d.ws);
    dlg.regionField()->stepBy(3);
    EXPECT_EQ(dlg.regionField()->value(), 16);
    dlg.regionField()->setValue(-31);
    dlg.regionField()->stepBy(-5);
    EXPECT_EQ(dlg.regionField()->value(), -32);
}

TEST(DepthDlg, OrderQuestionFromTheDialog) {
    Doc d({0, 8, 4});
    CDepthDlg dlg(d.ws);
    d.host.expectMessage(kDepthOrderQuestion, MsgResult::Cancel);
    dlg.accept();
    EXPECT_EQ(dlg.result(), 0);
    EXPECT_EQ(dlg.regionField()->value(), 8) << "region 1 is shown";
    d.host.expectMessage(kDepthOrderQuestion, MsgResult::Yes);
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(d.ws.region(1).depth, 4);
}

TEST(DepthDlg, ButtonsAreEnabledByWhatExists) {
    Doc d({0});
    CDepthDlg dlg(d.ws);
    EXPECT_FALSE(dlg.regionButton()->isEnabled());
    EXPECT_FALSE(dlg.objectButton()->isEnabled());
    EXPECT_FALSE(dlg.objectField()->isEnabled());
    EXPECT_TRUE(dlg.regionShadowBox()->isEnabled());
}
