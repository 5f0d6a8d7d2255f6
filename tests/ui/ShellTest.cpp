// The main window's life: the file named at start-up, dropped files,
// closing with unsaved edits, the parameter dialog and the help commands.
#include "core/Help.h"
#include "core/Parameters.h"
#include "core/RecentFiles.h"
#include "core/Settings.h"
#include "core/StillImage.h"
#include "platform/Paths.h"
#include "support/Pictures.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "ui/GuardedApplication.h"
#include "ui/HelpBrowser.h"
#include "ui/MainFrame.h"
#include "ui/ParamDlg.h"
#include "ui/PlastoraView.h"

#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace plastora;
using namespace plastora::test;
using plastora::ui::CMainFrame;

namespace {

// A small saved project to open.
std::string makeProject(TempDir& dir, const std::string& name) {
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("none.ini"));
    ws.adoptPicture(gradientPicture(48, 32));
    ws.SetMode(kModeMask);
    paintRect(ws.region(0).mask, 10, 10, 30, 20);
    const std::string path = dir.file(name);
    EXPECT_EQ(ws.Save(path), 1);
    return path;
}

// Answers the next message box with `button` and remembers its text.
void answerNextMessage(QMessageBox::StandardButton button, QString* text) {
    QTimer::singleShot(50, [button, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        if (text) *text = box->text();
        box->button(button)->click();
    });
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(Shell, QuotedStartupFileOpensAfterTheFirstPaint) {
    TempDir dir;
    const std::string project = makeProject(dir, "start me.lyr");
    CMainFrame frame(dir.file("Plastora.ini"));
    frame.setStartupFile("\"" + project + "\"");
    EXPECT_EQ(frame.view()->workspace().mode(), kModeNone);
    frame.show();
    for (int i = 0; i < 50 && frame.view()->workspace().mode() == kModeNone; ++i) QTest::qWait(20);
    EXPECT_EQ(frame.view()->workspace().currentPath(), project);
    EXPECT_EQ(frame.view()->workspace().width(), 48);
    EXPECT_TRUE(frame.windowTitle().startsWith("start me.lyr"));
}

// A file name is bytes: one that is not UTF-8 opens from the command line
// and comes back from the recent-file list as it was, and an '&' in it shows
// in the menu instead of marking an access key.
TEST(Shell, NamesThatAreNotUtf8OrHoldAmpersandsOpenAndAreListed) {
    TempDir dir;
    const std::string project = makeProject(dir, "caf\xE9 & co.lyr");
    CMainFrame frame(dir.file("Plastora.ini"));
    frame.setStartupFile(project);
    frame.show();
    for (int i = 0; i < 50 && frame.view()->workspace().mode() == kModeNone; ++i) QTest::qWait(20);
    EXPECT_EQ(frame.view()->workspace().currentPath(), project);
    ASSERT_FALSE(recentFiles().empty());
    EXPECT_EQ(recentFiles().front(), project);
    QMenu* file = frame.menuBar()->actions().first()->menu();
    emit file->aboutToShow();
    bool listed = false;
    for (QAction* a : file->actions())
        listed = listed || (a->text().startsWith("&1 ") && a->text().endsWith(" && co.lyr"));
    EXPECT_TRUE(listed);

    // Dropped, the same name opens too.
    CMainFrame dropTarget(dir.file("Plastora.ini"));
    dropTarget.show();
    QMimeData mime;
    mime.setUrls({QUrl::fromEncoded("file://" + QByteArray::fromStdString(project).toPercentEncoding("/"))});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dropTarget.view()->viewport(), &enter);
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dropTarget.view()->viewport(), &drop);
    for (int i = 0; i < 50 && dropTarget.view()->workspace().mode() == kModeNone; ++i) QTest::qWait(20);
    EXPECT_EQ(dropTarget.view()->workspace().currentPath(), project);
}

TEST(Shell, DroppedFileOpens) {
    TempDir dir;
    const std::string project = makeProject(dir, "dropped.lyr");
    CMainFrame frame(dir.file("Plastora.ini"));
    frame.show();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(project))});
    // The drag has to enter the window first: it makes the window the drop's target.
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame.view()->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame.view()->viewport(), &drop);
    for (int i = 0; i < 50 && frame.view()->workspace().mode() == kModeNone; ++i) QTest::qWait(20);
    EXPECT_EQ(frame.view()->workspace().currentPath(), project);
    EXPECT_EQ(frame.view()->workspace().regionCount(), 1);
}

TEST(Shell, ClosingAModifiedPictureAsksAndCancelKeepsTheWindow) {
    TempDir dir;
    CMainFrame frame(dir.file("Plastora.ini"));
    frame.show();
    CStereoWorkspace& ws = frame.view()->workspace();
    ws.adoptPicture(gradientPicture(40, 30));
    ws.SetMode(kModeMask);
    ws.LButtonDown({5, 5});
    ws.LButtonUp({5, 5});
    ASSERT_TRUE(ws.modified());

    QString asked;
    answerNextMessage(QMessageBox::Cancel, &asked);
    EXPECT_FALSE(frame.close());
    EXPECT_EQ(asked, "画像が編集されています。\nデータを保存しますか？");
    EXPECT_TRUE(frame.isVisible());

    answerNextMessage(QMessageBox::No, &asked);
    EXPECT_TRUE(frame.close());
    EXPECT_FALSE(frame.isVisible());
}

TEST(Shell, ParameterDialogWritesOnlyWhatChanged) {
    TempDir dir;
    ScriptedHost host;
    const std::string ini = dir.file("Plastora.ini");
    CStereoWorkspace ws(host, ini);
    ASSERT_FALSE(std::filesystem::exists(ini));
    {
        ui::CParamDlg dlg(currentParameters(ws), host);
        EXPECT_EQ(dlg.maskWidthField()->text(), "4");
        EXPECT_EQ(dlg.jpegQualityField()->text(), "80");
        EXPECT_TRUE(dlg.fixRatioBox()->isChecked());
        dlg.jpegQualityField()->setText("95");
        dlg.accept();
        ASSERT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(applyParameters(ws, dlg.values()), 1);
    }
    EXPECT_EQ(readFile(ini), "[Option]\nJpegQuality=95\n");
    EXPECT_EQ(ws.settings().jpegQuality, 95);

    // Out of range: the dialog stays open with the message, nothing stored.
    {
        ui::CParamDlg dlg(currentParameters(ws), host);
        dlg.maskWidthField()->setText("17");
        host.expectMessage("1 から 16 までの整数を入力してください。");
        dlg.accept();
        EXPECT_NE(dlg.result(), QDialog::Accepted);
        dlg.shadowField()->setText("300");
        dlg.maskWidthField()->setText("6");
        host.expectMessage("0 から 255 までの整数を入力してください。");
        dlg.accept();
        EXPECT_NE(dlg.result(), QDialog::Accepted);
        // The standard values go into the fields only.
        dlg.standardButton()->click();
        EXPECT_EQ(dlg.jpegQualityField()->text(), "80");
        EXPECT_EQ(dlg.shadowField()->text(), "64");
        EXPECT_EQ(ws.settings().jpegQuality, 95);
        dlg.maskWidthField()->setText("9");
        dlg.accept();
        ASSERT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(applyParameters(ws, dlg.values()), 2);  // mask width and quality back to 80
    }
    EXPECT_EQ(Settings(ini).getInt(SettingKey::MaskWidth), 9);
    EXPECT_EQ(Settings(ini).getInt(SettingKey::OptionJpegQuality), 80);
    // The pens are made with the new width at once.
    EXPECT_EQ(ws.maskPen().width, 9);
    EXPECT_EQ(ws.eraserPen().width, 9);
}

TEST(Shell, HelpFallsBackToTheWebAddressAndSaysWhenAllFails) {
    TempDir dir;
    const std::string ini = dir.file("Plastora.ini");
    const std::string oldFolder = programFolder();
    setProgramFolder(dir.path().string());
    std::vector<std::string> opened;
    const HelpOpener opener = [&](const std::string& what) {
        opened.push_back(what);
        return what.rfind("https://", 0) == 0 || std::filesystem::exists(what);
    };
    {
        ScriptedHost host;
        // No doc folder, no address: the question, then the failure message.
        host.expectMessage("ドキュメントがインストールされていません。\nインターネットでドキュメントを参照しますか？",
                           MsgResult::Yes, MsgButtons::YesNo);
        host.expectMessage("ヘルプドキュメントの表示に失敗しました。");
        EXPECT_FALSE(ShowHelp(host, ini, HelpPage::Manual, opener));
        // No: nothing more.
        host.expectMessage("ドキュメントがインストールされていません。\nインターネットでドキュメントを参照しますか？",
                           MsgResult::No);
        EXPECT_FALSE(ShowHelp(host, ini, HelpPage::Tutorial, opener));
        EXPECT_TRUE(opened.empty());
        // With the tutorial's address in the settings file.
        std::ofstream(ini) << "[Help]\nTutorial=https://example.org/tutorial\n";
        host.expectMessage("ドキュメントがインストールされていません。\nインターネットでドキュメントを参照しますか？",
                           MsgResult::Yes);
        EXPECT_TRUE(ShowHelp(host, ini, HelpPage::Tutorial, opener));
        EXPECT_EQ(opened, (std::vector<std::string>{"https://example.org/tutorial"}));
        // Anything but a web page (a settings file from someone else) is
        // never handed to the opener: a launcher, a program, a local file.
        opened.clear();
        std::ofstream(dir.file("run.desktop")) << "[Desktop Entry]\n";
        for (const std::string& url : {"file://" + dir.file("run.desktop"), dir.file("run.desktop"), std::string("sh:x")}) {
            std::ofstream(ini) << "[Help]\nTutorial=" << url << "\n";
            host.expectMessage("ドキュメントがインストールされていません。\nインターネットでドキュメントを参照しますか？",
                               MsgResult::Yes);
            host.expectMessage("ヘルプドキュメントの表示に失敗しました。");
            EXPECT_FALSE(ShowHelp(host, ini, HelpPage::Tutorial, opener)) << url;
        }
        EXPECT_TRUE(opened.empty());
    }
    {
        // The installed page opens without a question.
        ScriptedHost host;
        std::filesystem::create_directories(dir.path() / "doc");
        std::ofstream(dir.file("doc/index.html")) << "<html></html>";
        opened.clear();
        EXPECT_TRUE(ShowHelp(host, ini, HelpPage::Manual, opener));
        EXPECT_EQ(opened, (std::vector<std::string>{dir.file("doc/index.html")}));
    }
    setProgramFolder(oldFolder);
}

TEST(Shell, EditPictureIsSavedAtTheHighResolution) {
    TempDir dir;
    ScriptedHost host;
    CStereoWorkspace ws(host, dir.file("Plastora.ini"));
    ws.adoptPicture(gradientPicture(40, 30));
    ws.SetMode(kModeImage);
    ASSERT_TRUE(ws.SelectTool(kToolPen));
    ws.LButtonDown({5, 5});
    ws.MouseMove({30, 5});
    ws.LButtonUp({30, 5});
    // Without a high-resolution copy: the display as shown.
    ASSERT_EQ(ws.SaveEditImage(dir.file("shown.bmp")), 1);
    Surface back;
    int w = 0, h = 0;
    ASSERT_EQ(LoadStillImage(host, dir.file("shown.bmp"), std::nullopt, back, w, h), 1);
    EXPECT_TRUE(samePixels(back, ws.display()));
    // With one: the photo copy at its size with the strokes enlarged.
    ASSERT_TRUE(ws.highRes(0).createCopy(gradientPicture(120, 90)));
    ws.setHighResCount(1);
    ASSERT_EQ(ws.SaveEditImage(dir.file("high.bmp")), 1);
    ASSERT_EQ(LoadStillImage(host, dir.file("high.bmp"), std::nullopt, back, w, h), 1);
    EXPECT_EQ(back.width(), 120);
    EXPECT_EQ(back.getPixel(20 * 3 + 1, 5 * 3 + 1), RGB(1, 1, 1));
    EXPECT_EQ(back.getPixel(100, 80), colorRefFromPixel(ws.highRes(0).at(100, 80)));
}

// Without a program that opens files (no xdg-open on the search path), the
// installed page is shown in the program's own help window, links between
// the pages followed there; only a missing page leads to the question.
TEST(Shell, HelpPagesOpenInTheProgramsOwnWindowWithoutADesktopViewer) {
    TempDir dir;
    TempDir emptyPath;
    const std::string ini = dir.file("Plastora.ini");
    const std::string oldFolder = programFolder();
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", emptyPath.path().c_str(), 1);
    setProgramFolder(dir.path().string());
    std::filesystem::create_directories(dir.path() / "doc");
    std::ofstream(dir.file("doc/index.html")) << "<html><body><h1>Manual</h1><a href=\"tutorial.html\">next</a></body></html>";
    std::ofstream(dir.file("doc/tutorial.html")) << "<html><body><h1>Tutorial</h1></body></html>";
    {
        ScriptedHost host;
        EXPECT_TRUE(ShowHelp(host, ini, HelpPage::Manual, ui::openHelpTarget));
        ui::CHelpBrowser* window = ui::helpBrowserWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->isVisible());
        EXPECT_NE(window->browser()->toPlainText().indexOf("Manual"), -1);
        // The link to the tutorial is followed inside the window.
        window->browser()->setSource(QUrl("tutorial.html"));
        EXPECT_NE(window->browser()->toPlainText().indexOf("Tutorial"), -1);
        // Showing a page again reuses the same window.
        EXPECT_TRUE(ShowHelp(host, ini, HelpPage::Manual, ui::openHelpTarget));
        EXPECT_EQ(ui::helpBrowserWindow(), window);
        EXPECT_NE(window->browser()->toPlainText().indexOf("Manual"), -1);
    }
    {
        // A launcher that finds no viewer (xdg-open's "no method available")
        // is no viewer either: the page goes to the program's own window,
        // and a web address fails with the message.
        ui::helpBrowserWindow()->hide();
        const std::filesystem::path launcher = emptyPath.path() / "xdg-open";
        const std::string asked = dir.file("asked.txt");
        std::ofstream(launcher) << "#!/bin/sh\necho \"$1\" >> '" << asked << "'\nexit 3\n";
        std::filesystem::permissions(launcher, std::filesystem::perms::owner_all);
        ScriptedHost host;
        EXPECT_TRUE(ShowHelp(host, ini, HelpPage::Manual, ui::openHelpTarget));
        EXPECT_TRUE(ui::helpBrowserWindow()->isVisible());
        std::string first;
        std::getline(std::ifstream(asked), first);
        EXPECT_EQ(first, "file://" + dir.file("doc/index.html"));  // the launcher was asked first
        EXPECT_FALSE(ui::openHelpTarget("https://example.invalid/manual"));
        std::filesystem::remove(launcher);
    }
    {
        // A missing page: the question, and nothing to open on the web here.
        std::filesystem::remove(dir.file("doc/tutorial.html"));
        ScriptedHost host;
        host.expectMessage("ドキュメントがインストールされていません。\nインターネットでドキュメントを参照しますか？",
                           MsgResult::No, MsgButtons::YesNo);
        EXPECT_FALSE(ShowHelp(host, ini, HelpPage::Tutorial, ui::openHelpTarget));
    }
    delete ui::helpBrowserWindow();
    setProgramFolder(oldFolder);
    setenv("PATH", oldPath.c_str(), 1);
}

// Work started from an event that throws (memory running out on a worker, a
// thread refused, OpenCV out of memory) is reported, and the program goes on
// handling events: it used to end on the spot with the unsaved document.
TEST(Shell, WhatAnEventHandlerThrowsIsReportedAndTheProgramGoesOn) {
    struct Thrower : QWidget {
        int kind = 0;
        bool event(QEvent* e) override {
            if (e->type() != QEvent::User) return QWidget::event(e);
            if (kind == 0) throw std::bad_alloc();
            if (kind == 1) cv::error(cv::Error::StsNoMem, "no memory", "allocate", __FILE__, __LINE__);
            throw std::runtime_error("pthread_create has failed");
        }
    } widget;
    std::vector<std::string> reports;
    ui::GuardedApplication::setReporter([&](const std::string& text) { reports.push_back(text); });
    for (int kind = 0; kind < 3; ++kind) {
        widget.kind = kind;
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&widget, &event);
    }
    ui::GuardedApplication::setReporter(nullptr);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0], kOutOfMemoryMessage);
    EXPECT_EQ(reports[1], kOutOfMemoryMessage);
    EXPECT_NE(reports[2].find("pthread_create has failed"), std::string::npos) << reports[2];
}
