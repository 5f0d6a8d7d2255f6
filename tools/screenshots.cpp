// Takes the documentation's screenshots of the program's own windows: mask
// editing with the mask shown at half opacity, and the depth dialog on its
// second region. Run under a display (Xvfb) with the settings of a
// temporary folder:
//
//   screenshots OUT_DIR MASK_PROJECT.lyr DEPTH_PROJECT.lyr
#include "ui/DepthDlg.h"
#include "ui/MainFrame.h"
#include "ui/PlastoraView.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <fstream>

using namespace plastora;
using plastora::ui::CMainFrame;

namespace {

void settle() {
    for (int i = 0; i < 10; ++i) {
        QEventLoop loop;
        QTimer::singleShot(30, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: screenshots OUT_DIR MASK_PROJECT.lyr DEPTH_PROJECT.lyr\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir dir;
    const std::string ini = QDir(dir.path()).filePath("Plastora.ini").toStdString();
    std::ofstream(ini) << "[Mask]\nOpacity=50\n";

    CMainFrame frame(ini);
    frame.resize(1000, 720);
    frame.show();
    settle();
    if (!frame.openFile(QString::fromLocal8Bit(argv[2]))) return 1;
    frame.view()->workspace().SetMode(kModeMask);
    frame.updateCommands();
    settle();
    if (!frame.grab().save(out + "/screenshot-mask-opacity.png")) return 1;

    if (!frame.openFile(QString::fromLocal8Bit(argv[3]))) return 1;
    CStereoWorkspace& ws = frame.view()->workspace();
    // As the depth command shows it: image editing with the current region
    // marked in the mask colour behind the dialog.
    ws.SetMode(kModeImage);
    ws.setDepthDialogOpen(true);
    ui::CDepthDlg dlg(ws, &frame);
    dlg.show();
    dlg.regionButton()->click();
    ws.setCurrentRegion(dlg.editor().currentRegion());
    ws.Redraw();
    settle();
    if (!dlg.grab().save(out + "/screenshot-depth-dialog.png")) return 1;
    return 0;
}
