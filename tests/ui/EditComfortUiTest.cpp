// Editing comfort in the real main window: undo and redo from the keyboard,
// the mask opacity slider, the depth dialog's region, and question boxes in
// Japanese.
#include "MainWindowFixture.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "core/Settings.h"
#include "ui/DepthDlg.h"
#include "ui/MainFrame.h"
#include "ui/MaskOpacitySlider.h"
#include "ui/PlastoraView.h"
#include "ui/QtHost.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

using namespace plastora;
using namespace plastora::test;
using plastora::ui::CMainFrame;

namespace {

struct Window : MainWindow {
    explicit Window(const std::string& ini = "[Mask]\nWidth=3\n")
        : MainWindow(ini, 200, 150, kModeMask) {}
};

Surface copyOf(const Surface& s) {
    Surface c;
    EXPECT_TRUE(c.createCopy(s));
    return c;
}

// A button's text without its keyboard accelerator: "はい(&Y)" -> "はい".
QString plainText(QString text) {
    text.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
    text.remove('&');
    return text.trimmed();
}

}  // namespace

TEST(UndoUi, TenStrokesGoBackOneByOneWithCtrlZAndComeAgainWithCtrlY) {
    Window w;
    w.frame->activateWindow();
    w.frame->view()->setFocus();
    std::vector<Surface> masks;
    masks.push_back(copyOf(w.ws().region(0).mask));
    for (int i = 0; i < 10; ++i) {
        // Crossing strokes, so that every one changes pixels of the others.
        w.drag({10 + 15 * i, 10}, {180 - 12 * i, 140});
        masks.push_back(copyOf(w.ws().region(0).mask));
        ASSERT_FALSE(samePixels(masks[masks.size() - 2], masks.back())) << "stroke " << i;
    }
    w.frame->updateCommands();
    EXPECT_EQ(w.frame->action("undo")->text(), "元に戻す(&U): 切出し領域1のペン描画");
    EXPECT_FALSE(w.frame->action("redo")->isEnabled());

    for (int i = 9; i >= 0; --i) {
        w.key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(samePixels(w.ws().region(0).mask, masks[static_cast<std::size_t>(i)])) << "Ctrl+Z back to " << i;
    }
    EXPECT_FALSE(w.frame->action("undo")->isEnabled());
    EXPECT_EQ(w.frame->action("undo")->text(), "元に戻す(&U)");
    EXPECT_EQ(w.frame->action("redo")->text(), "やり直し(&R): 切出し領域1のペン描画");
    for (std::size_t i = 1; i <= 10; ++i) {
        w.key(Qt::Key_Y, Qt::ControlModifier);
        EXPECT_TRUE(samePixels(w.ws().region(0).mask, masks[i])) << "Ctrl+Y forward to " << i;
    }
    EXPECT_FALSE(w.frame->action("redo")->isEnabled());

    // Ctrl+Shift+Z redoes too; the display follows the mask.
    w.key(Qt::Key_Z, Qt::ControlModifier);
    w.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(samePixels(w.ws().region(0).mask, masks[10]));
    EXPECT_EQ(w.frame->action("redo")->shortcuts(),
              (QList<QKeySequence>{QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));

    // The history stays across a trip to image editing and back.
    w.frame->runCommand("imageMode");
    w.frame->runCommand("maskMode");
    w.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(samePixels(w.ws().region(0).mask, masks[9]));
}

TEST(MaskOpacityUi, TheSliderShowsThePhotoThroughTheMaskAndIsRemembered) {
    Window w;
    auto* opacity = w.frame->findChild<ui::MaskOpacitySlider*>();
    ASSERT_NE(opacity, nullptr);
    EXPECT_EQ(opacity->slider()->value(), 100);
    w.drag({20, 30}, {120, 30});
    const Pixel green = pixelFromColorRef(65280);
    EXPECT_EQ(w.ws().display().at(70, 30), green);

    opacity->slider()->setValue(50);
    EXPECT_EQ(w.ws().settings().maskOpacity, 50);
    const Pixel photo = w.ws().source().at(70, 30), shown = w.ws().display().at(70, 30);
    for (const int shift : {0, 8, 16}) {
        const unsigned sum = ((photo >> shift) & 0xFFu) + ((green >> shift) & 0xFFu);
        EXPECT_EQ((shown >> shift) & 0xFFu, (sum + 1) / 2);
    }
    EXPECT_EQ(Settings(w.ws().settingsPath()).getInt(SettingKey::MaskOpacity), 50);
    // A window opened later starts from the stored value.
    CMainFrame again(w.ws().settingsPath());
    auto* second = again.findChild<ui::MaskOpacitySlider*>();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->slider()->value(), 50);
}

TEST(DepthDlgRegion, ShowsTheNumberAndCutOutOfTheRegionItsButtonsActOn) {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("none.ini"));
    ws.adoptPicture(gradientPicture(80, 60));
    ws.SetMode(kModeMask);
    ASSERT_TRUE(ws.appendRegion(4));
    ASSERT_TRUE(ws.appendRegion(8));
    paintRect(ws.region(0).mask, 0, 0, 40, 60);
    paintRect(ws.region(1).mask, 50, 10, 70, 30);
    ui::CDepthDlg dlg(ws);
    EXPECT_EQ(dlg.regionNumberLabel()->text(), "切出し領域 1 / 3");
    const QImage first = dlg.regionThumbnail()->pixmap().toImage();
    ASSERT_FALSE(first.isNull());
    dlg.regionButton()->click();
    EXPECT_EQ(dlg.regionNumberLabel()->text(), "切出し領域 2 / 3");
    const QImage second = dlg.regionThumbnail()->pixmap().toImage();
    EXPECT_NE(first, second);
    // The cut-out shows the photo inside the mask and darkness outside:
    // region 1's thumbnail is bright only at its rectangle (right, upper).
    const QColor inside = second.pixelColor(second.width() * 3 / 4, second.height() / 3);
    const QColor outside = second.pixelColor(second.width() / 4, second.height() * 3 / 4);
    const QColor photoOutside = QColor::fromRgb(ws.source().at(20, 45));
    EXPECT_LT(outside.value(), photoOutside.value() / 2 + 8);
    EXPECT_GT(inside.value(), 0);
    dlg.regionButton()->click();
    dlg.regionButton()->click();
    EXPECT_EQ(dlg.regionNumberLabel()->text(), "切出し領域 1 / 3");
}

TEST(QuestionBoxes, YesAndNoReadInJapaneseOnceQtsTranslationsAreLoaded) {
    QTranslator qtbase;
    ASSERT_TRUE(qtbase.load(QLocale(QLocale::Japanese), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        << "qtbase_ja.qm (Debian package qt6-translations-l10n) is needed";
    QCoreApplication::installTranslator(&qtbase);
    ui::QtHost qtHost(nullptr);
    Host& host = qtHost;
    for (const MsgButtons buttons : {MsgButtons::YesNo, MsgButtons::YesNoCancel}) {
        QStringList seen;
        QTimer::singleShot(0, [&seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            for (QAbstractButton* b : box->buttons()) seen << plainText(b->text());
            box->button(QMessageBox::No)->click();
        });
        EXPECT_EQ(host.message("表示中の切出し領域を削除しますか？", buttons, MsgIcon::Question), MsgResult::No);
        seen.sort();
        QStringList want{"はい", "いいえ"};
        if (buttons == MsgButtons::YesNoCancel) want << "キャンセル";
        want.sort();
        EXPECT_EQ(seen, want);
    }
    QCoreApplication::removeTranslator(&qtbase);
}

// Work that cannot be stopped keeps its progress window up: Escape and the
// close box leave it showing, so the main window stays out of reach until
// the work ends (a hidden progress window let a click open another document
// under a movie still being written from the old one's views).
TEST(ProgressWindow, StaysUpUntilTheWorkEnds) {
    QWidget main;
    main.show();
    ui::QtHost qtHost(&main);
    Host& host = qtHost;
    host.progressBegin("動画ファイルを作成しています", 0, 100);
    host.progressSet(10);
    auto* progress = main.findChild<QProgressDialog*>();
    ASSERT_NE(progress, nullptr);
    ASSERT_TRUE(progress->isVisible());
    QTest::keyClick(progress, Qt::Key_Escape);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_FALSE(progress->close());
    EXPECT_TRUE(progress->isVisible());
    host.progressSet(50);
    EXPECT_TRUE(progress->isVisible());
    host.progressEnd();
    EXPECT_EQ(main.findChild<QProgressDialog*>(), nullptr);
}
