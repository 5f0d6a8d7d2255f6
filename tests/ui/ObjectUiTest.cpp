// Objects in the real main window: made through the commands and their
// dialogs, moved with the mouse and the keys, as a person would.
#include "MainWindowFixture.h"
#include "support/Pictures.h"
#include "support/TempDir.h"
#include "ui/MainFrame.h"
#include "ui/PlastoraView.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>

using namespace plastora;
using namespace plastora::test;
using plastora::ui::CMainFrame;

namespace {

struct Window : MainWindow {
    Window() : MainWindow("[Font]\nName=IPAPGothic\n", 300, 200, kModeImage) {}
};

// Answers the next modal dialog: `fill` sets its fields, then OK is clicked.
void answerNextDialog(std::function<void(QWidget*)> fill) {
    QTimer::singleShot(0, [fill] {
        QWidget* dlg = QApplication::activeModalWidget();
        ASSERT_NE(dlg, nullptr);
        fill(dlg);
        if (::testing::Test::HasFatalFailure()) static_cast<QDialog*>(dlg)->reject();
        auto* ok = dlg->findChild<QPushButton*>("ok");
        if (!ok) {
            // Never leave the test hanging in the dialog's loop.
            ADD_FAILURE() << "no OK button";
            static_cast<QDialog*>(dlg)->reject();
            return;
        }
        ok->click();
    });
}

}  // namespace

TEST(ObjectUi, CommandsMakeObjectsThroughTheirDialogs) {
    Window w;
    ASSERT_TRUE(w.frame->action("shape")->isEnabled());
    EXPECT_FALSE(w.frame->action("editObject")->isEnabled());
    answerNextDialog([](QWidget* dlg) {
        auto* rounded = dlg->findChild<QAbstractButton*>("kind2");
        ASSERT_NE(rounded, nullptr);
        rounded->click();
    });
    w.frame->runCommand("shape");
    ASSERT_EQ(w.ws().objectCount(), 1);
    EXPECT_EQ(w.ws().objectEntry(0).object->count, kShapeRoundRect);
    EXPECT_EQ(w.ws().tool(), kToolMove);
    EXPECT_TRUE(w.frame->action("move")->isChecked());
    EXPECT_TRUE(w.frame->action("editObject")->isEnabled());

    answerNextDialog([](QWidget* dlg) {
        auto* text = dlg->findChild<QLineEdit*>("text");
        ASSERT_NE(text, nullptr);
        text->setText("Plastora");
    });
    w.frame->runCommand("text");
    ASSERT_EQ(w.ws().objectCount(), 2);
    EXPECT_EQ(w.ws().objectEntry(1).object->text, "Plastora");
    EXPECT_EQ(w.ws().objectEntry(1).object->face, "IPAPGothic");
    // The order commands follow the selection: the text is on top.
    EXPECT_FALSE(w.frame->action("objectTop")->isEnabled());
    EXPECT_TRUE(w.frame->action("objectBottom")->isEnabled());
    w.frame->runCommand("objectBottom");
    EXPECT_EQ(w.ws().objectEntry(0).object->text, "Plastora");
    EXPECT_EQ(w.ws().currentObject(), 0);
}

TEST(ObjectUi, MouseAndKeysMoveAndResizeTheSelectedObject) {
    Window w;
    auto s = std::make_shared<OverlayObject>();
    s->x = 50, s->y = 40, s->width = 60, s->height = 30;
    s->colour = RGB(255, 255, 255);
    ASSERT_TRUE(w.ws().appendObject(kObjectShape, s));
    w.frame->runCommand("move");
    ASSERT_EQ(w.ws().tool(), kToolMove);

    // Dragging inside moves it by the mouse's travel.
    w.drag({70, 50}, {90, 60});
    EXPECT_EQ(s->x, 70);
    EXPECT_EQ(s->y, 50);
    EXPECT_EQ(w.ws().currentObject(), 0);
    // Over a corner the cursor offers resizing; inside, moving.
    QTest::mouseMove(w.viewport(), {130, 80});
    EXPECT_EQ(w.viewport()->cursor().shape(), Qt::SizeFDiagCursor);
    QTest::mouseMove(w.viewport(), {130, 50});
    EXPECT_EQ(w.viewport()->cursor().shape(), Qt::SizeBDiagCursor);
    QTest::mouseMove(w.viewport(), {100, 65});
    EXPECT_EQ(w.viewport()->cursor().shape(), Qt::SizeAllCursor);
    // The bottom-right corner dragged: the top-left stays, and the cursor
    // stays the resizing one throughout.
    QTest::mousePress(w.viewport(), Qt::LeftButton, {}, {130, 80});
    QTest::mouseMove(w.viewport(), {140, 100});
    EXPECT_EQ(w.viewport()->cursor().shape(), Qt::SizeFDiagCursor);
    QTest::mouseRelease(w.viewport(), Qt::LeftButton, {}, {150, 120});
    EXPECT_EQ((std::array<int, 4>{s->x, s->y, s->width, s->height}), (std::array<int, 4>{70, 50, 80, 70}));

    // Keys go to the selected object.
    w.frame->view()->setFocus();
    QTest::keyClick(w.frame->view(), Qt::Key_Left);
    EXPECT_EQ(s->x, 69);
    QTest::keyClick(w.frame->view(), Qt::Key_PageUp);  // 80 x 70: wider, so the height grows
    EXPECT_EQ(s->height, 71);
    EXPECT_EQ(s->width, 80 * 71 / 70);
    EXPECT_TRUE(w.frame->action("undo")->isEnabled());

    // With a modifier, Backspace and Delete are other commands' keys
    // (Alt+Backspace undoes): the object is never offered for removal.
    int asked = 0;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            ++asked;
            modal->close();
        }
    });
    watcher.start(50);
    for (const Qt::KeyboardModifier mod : {Qt::AltModifier, Qt::ControlModifier, Qt::ShiftModifier}) {
        w.key(Qt::Key_Backspace, mod);
        w.key(Qt::Key_Delete, mod);
    }
    watcher.stop();
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(w.ws().objectCount(), 1);
}

// The right button's menu (where text, shapes and clip art are added) opens
// from the keyboard too: the menu key or Shift+F10 did nothing, so those
// commands needed a mouse.
TEST(ObjectUi, TheRightButtonMenuOpensFromTheKeyboard) {
    Window w;
    int entries = -1;
    QTimer::singleShot(200, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            entries = static_cast<int>(popup->actions().size());
            popup->close();
        }
    });
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(5, 5), w.frame->view()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(w.frame->view(), &menuKey);
    EXPECT_TRUE(menuKey.isAccepted());
    EXPECT_GT(entries, 0);
}
