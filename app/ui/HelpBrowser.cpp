#include "ui/HelpBrowser.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

namespace plastora::ui {

namespace {

QPointer<CHelpBrowser>& theWindow() {
    static QPointer<CHelpBrowser> window;
    return window;
}

}  // namespace

CHelpBrowser::CHelpBrowser(QWidget* parent) : QDialog(parent), m_browser(new QTextBrowser(this)) {
    setWindowTitle("ヘルプ");
    setModal(false);
    // Links between the pages are followed in the window; links out of it
    // go to the desktop when it has a viewer.
    m_browser->setOpenLinks(true);
    m_browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(800, 600);
}

bool CHelpBrowser::showPage(const std::string& path) {
    const QFileInfo info(QString::fromStdString(path));
    if (!info.isFile() || !info.isReadable()) return false;
    m_browser->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    if (m_browser->document()->isEmpty()) return false;
    show();
    raise();
    activateWindow();
    return true;
}

CHelpBrowser* helpBrowserWindow() { return theWindow().data(); }

bool openHelpTarget(const std::string& target) {
    const QString t = QString::fromStdString(target);
    const bool web = t.contains("://");
    const QUrl url = web ? QUrl(t) : QUrl::fromLocalFile(t);
    if (QDesktopServices::openUrl(url)) return true;
    if (web) return false;
    QPointer<CHelpBrowser>& window = theWindow();
    if (!window) {
        window = new CHelpBrowser(QApplication::activeWindow());
        window->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    return window->showPage(target);
}

}  // namespace plastora::ui
