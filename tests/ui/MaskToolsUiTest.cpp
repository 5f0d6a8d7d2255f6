// Painting in the real main window with mouse events, as a person would.
#include "MainWindowFixture.h"
#include "support/Pictures.h"
#include "support/TempDir.h"
#include "ui/MainFrame.h"
#include "ui/PlastoraView.h"

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include <fstream>

using namespace plastora;
using namespace plastora::test;
using plastora::ui::CMainFrame;

namespace {

struct Window : MainWindow {
    explicit Window(const std::string& ini = "[Mask]\nWidth=3\n")
        : MainWindow(ini, 200, 150, kModeMask) {}
};

bool white(const Surface& s, int x, int y) { return s.getPixel(x, y) == RGB(255, 255, 255); }

}  // namespace

TEST(MaskToolsUi, DraggingInTheViewPaintsTheMask) {
    Window w;
    ASSERT_EQ(w.ws().tool(), kToolPen);
    w.drag({20, 30}, {120, 30});
    const Surface& m = w.ws().region(0).mask;
    EXPECT_TRUE(white(m, 20, 30));
    EXPECT_TRUE(white(m, 70, 31));
    EXPECT_TRUE(white(m, 120, 30));
    EXPECT_FALSE(white(m, 70, 35));
    // The display shows the stroke in the mask colour (default green).
    EXPECT_EQ(w.ws().display().getPixel(70, 30), RGB(0, 255, 0));
    EXPECT_TRUE(w.frame->action("undo")->isEnabled());

    // The same drag at zoom 2 lands on half the image coordinates.
    w.frame->runCommand("zoom");
    EXPECT_EQ(w.ws().zoom(), 2);
    EXPECT_TRUE(w.frame->action("zoom")->isChecked());
    w.frame->runCommand("eraser");
    w.drag({40, 60}, {200, 60});
    EXPECT_FALSE(white(m, 20, 30));
    EXPECT_FALSE(white(m, 100, 30));
    EXPECT_TRUE(white(m, 110, 30));  // past the erased stretch
}

TEST(MaskToolsUi, ScrolledViewMapsThroughTheScrollBars) {
    Window w;
    for (int i = 0; i < 3; ++i) w.frame->runCommand("zoom");  // 8: 1600 x 1200 scrolls in the window
    QApplication::processEvents();
    w.frame->view()->horizontalScrollBar()->setValue(200);
    w.frame->view()->verticalScrollBar()->setValue(88);
    ASSERT_EQ(w.frame->view()->horizontalScrollBar()->value(), 200);
    w.frame->runCommand("fill");
    QTest::mouseClick(w.viewport(), Qt::LeftButton, {}, QPoint(8, 8));
    // (8 + 200) / 8 = 26, (8 + 88) / 8 = 12: the whole black mask fills.
    EXPECT_EQ(countWhite(w.ws().region(0).mask), 200 * 150);
    w.ws().Undo();
    w.frame->runCommand("pen");
    QTest::mouseClick(w.viewport(), Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_TRUE(white(w.ws().region(0).mask, 26, 12));
    EXPECT_EQ(countWhite(w.ws().region(0).mask), 9);  // one dot of width 3
}

// On a screen scaled by 150 % the pointer's position comes in fractions of
// a logical pixel: the pen marks the pixel under it, the position rounded
// down, at every zoom (rounding to the nearest marked the next pixel).
TEST(MaskToolsUi, FractionalPointerPositionsMarkThePixelUnderThePointer) {
    Window w("[Mask]\nWidth=1\n");
    const auto click = [&](QPointF at) {
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, at, w.viewport()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(w.viewport(), &e);
        }
    };
    const Surface& m = w.ws().region(0).mask;
    click({20.67, 30.5});
    EXPECT_TRUE(white(m, 20, 30));
    EXPECT_EQ(countWhite(m), 1);
    w.frame->runCommand("zoom");
    ASSERT_EQ(w.ws().zoom(), 2);
    click({101.5, 61.67});  // image pixel (50, 30), its right half
    EXPECT_TRUE(white(m, 50, 30));
    EXPECT_EQ(countWhite(m), 2);
}

TEST(MaskToolsUi, PalettesFollowTheModeAndShowTheTool) {
    Window w;
    QApplication::processEvents();
    EXPECT_TRUE(w.frame->maskPalette()->isVisible());
    EXPECT_FALSE(w.frame->paintPalette()->isVisible());
    EXPECT_EQ(w.frame->toolBarArea(w.frame->maskPalette()), Qt::RightToolBarArea);
    EXPECT_TRUE(w.frame->action("pen")->isChecked());
    w.frame->runCommand("outline");
    EXPECT_TRUE(w.frame->action("outline")->isChecked());
    EXPECT_FALSE(w.frame->action("pen")->isChecked());
    EXPECT_FALSE(w.frame->action("masking")->isEnabled());  // region 0 is current

    w.frame->runCommand("imageMode");
    QApplication::processEvents();
    EXPECT_FALSE(w.frame->maskPalette()->isVisible());
    EXPECT_TRUE(w.frame->paintPalette()->isVisible());
    EXPECT_FALSE(w.frame->action("outline")->isEnabled());
    EXPECT_TRUE(w.frame->action("colour")->isEnabled());
    EXPECT_TRUE(w.frame->action("text")->isEnabled());
    // Painting in image editing goes to the paint layer.
    w.frame->runCommand("pen");
    w.drag({10, 10}, {60, 10});
    ASSERT_TRUE(w.ws().hasPaintLayer());
    EXPECT_TRUE(white(w.ws().paintMask(), 30, 10));
    EXPECT_EQ(countWhite(w.ws().region(0).mask), 0);
}
