#include "ui/HelpBrowser.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
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

// How long xdg-open may take to say it found no viewer. Launchers hand the
// page over and end at once; some viewers keep xdg-open waiting until they
// close, which counts as shown.
constexpr int kLauncherVerdictMs = 3000;

// Hands `url` to the desktop's launcher. True when it opened or is still busy
// opening it; false when there is no launcher or it ended with a failure
// (such as "no method available" where nothing can show the page).
// QDesktopServices only reports that xdg-open started, which hides the
// failures that must lead to the program's own window or the message.
bool openWithLauncher(const QUrl& url) {
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (launcher.isEmpty()) return false;
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    process->start(launcher, {url.toString(QUrl::FullyEncoded)});
    if (!process->waitForStarted()) {
        process->deleteLater();
        return false;
    }
    // Still running: the viewer holds it; the process object goes when it ends.
    if (!process->waitForFinished(kLauncherVerdictMs)) return true;
    return process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
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
    if (openWithLauncher(url)) return true;
    if (web) return false;
    QPointer<CHelpBrowser>& window = theWindow();
    if (!window) {
        window = new CHelpBrowser(QApplication::activeWindow());
        window->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    return window->showPage(target);
}

}  // namespace plastora::ui
