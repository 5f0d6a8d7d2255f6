#include "ui/MainFrame.h"

#include "ui/PlastoraView.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>

namespace plastora::ui {

CMainFrame::CMainFrame(const std::string& settingsPath, QWidget* parent) : QMainWindow(parent) {
    m_view = new CPlastoraView(settingsPath, this);
    setCentralWidget(m_view);
    setAcceptDrops(true);
    connect(m_view, &CPlastoraView::titleChanged, this, &CMainFrame::updateTitle);

    QMenu* file = menuBar()->addMenu("ファイル(&F)");
    QAction* open = file->addAction("開く(&O)...");
    open->setShortcut(QKeySequence::Open);
    connect(open, &QAction::triggered, this, &CMainFrame::onOpen);
    file->addSeparator();
    QAction* quit = file->addAction("アプリケーションの終了(&X)");
    connect(quit, &QAction::triggered, this, &QWidget::close);

    statusBar()->showMessage("レディ");
    updateTitle(QString());
    resize(1024, 768);
}

void CMainFrame::updateTitle(const QString& path) {
    const QString name = path.isEmpty() ? QStringLiteral("無題") : QFileInfo(path).fileName();
    setWindowTitle(name + " - Plastora");
}

bool CMainFrame::openFile(const QString& path) {
    return m_view->workspace().Open(path.toStdString()) == 1;
}

void CMainFrame::onOpen() {
    m_view->workspace().Open();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_view->workspace().SaveModified()) event->accept();
    else event->ignore();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const auto urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    const QString path = urls.first().toLocalFile();
    // Open after the drop has finished, outside the drag-and-drop loop.
    QTimer::singleShot(0, this, [this, path] { openFile(path); });
}

void CMainFrame::paintEvent(QPaintEvent* event) { QMainWindow::paintEvent(event); }

bool CMainFrame::event(QEvent* e) {
    const bool r = QMainWindow::event(e);
    if (e->type() == QEvent::UpdateRequest || e->type() == QEvent::Paint || e->type() == QEvent::Expose) {
        if (!m_startupDone && isVisible()) {
            m_startupDone = true;
            if (!m_startupFile.isEmpty()) {
                const QString f = m_startupFile;
                QTimer::singleShot(0, this, [this, f] { openFile(f); });
            }
        }
    }
    return r;
}

}  // namespace plastora::ui
