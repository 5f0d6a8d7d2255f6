// The real main window with a picture loaded, driven by mouse and keys as a
// person would; each window has its own program folder and settings file.
#pragma once

#include "support/Pictures.h"
#include "support/TempDir.h"
#include "ui/MainFrame.h"
#include "ui/PlastoraView.h"

#include <QApplication>
#include <QTest>

#include <fstream>
#include <memory>
#include <string>

namespace plastora::test {

struct MainWindow {
    TempDir dir;
    std::unique_ptr<ui::CMainFrame> frame;

    MainWindow(const std::string& ini, int width, int height, int mode) {
        std::ofstream(dir.file("Plastora.ini")) << ini;
        frame = std::make_unique<ui::CMainFrame>(dir.file("Plastora.ini"));
        frame->resize(900, 700);
        frame->show();
        ws().adoptPicture(gradientPicture(width, height));
        ws().SetMode(mode);
        frame->updateCommands();
        QTest::qWait(20);
    }
    CStereoWorkspace& ws() { return frame->view()->workspace(); }
    QWidget* viewport() { return frame->view()->viewport(); }
    void drag(QPoint a, QPoint b) {
        QTest::mousePress(viewport(), Qt::LeftButton, {}, a);
        for (int i = 1; i <= 4; ++i) QTest::mouseMove(viewport(), a + (b - a) * i / 4);
        QTest::mouseRelease(viewport(), Qt::LeftButton, {}, b);
    }
    void key(int key, Qt::KeyboardModifiers mods) {
        QTest::keyClick(frame->view(), static_cast<Qt::Key>(key), mods);
        QApplication::processEvents();
    }
};

}  // namespace plastora::test
