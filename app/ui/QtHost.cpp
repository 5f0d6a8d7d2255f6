#include "ui/QtHost.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QWidget>
#include <QWindow>

#include "platform/Translation.h"

namespace plastora::ui {

namespace {

// Keeps a progress window up until the work is done. The work cannot be
// stopped, and the window keeps the main window out of reach while it runs
// (a window-modal progress window hands every event to the program each time
// its bar moves): closed by Escape or its close box, it would only hide, the
// work going on, and a click on the main window could then open another
// document under the work still reading the old one.
class KeepOpenWhileWorking : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) return true;
        return QObject::eventFilter(watched, event);
    }
};
constexpr const char* kAppTitle = "Plastora";
}

QString shownText(const std::string& text) { return QString::fromStdString(translateText(text)); }

QString qtFilterFromClassic(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    // Filter names are shown texts; the patterns never change.
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        // The name often already lists its patterns; Qt wants them in brackets.
        out << QString::fromStdString(translateText(parts[i].toStdString())) + " (" + patterns + ")";
    }
    return out.join(";;");
}

QtHost::QtHost(QWidget* parent) : m_parent(parent) {}

MsgResult QtHost::message(const MessageRequest& request) {
    QMessageBox box(m_parent);
    box.setWindowTitle(kAppTitle);
    box.setText(QString::fromStdString(translateText(request.text)));
    switch (request.icon) {
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::None: break;
    }
    std::vector<std::pair<QMessageBox::StandardButton, MsgResult>> buttons;
    switch (request.buttons) {
    case MsgButtons::Ok: buttons = {{QMessageBox::Ok, MsgResult::Ok}}; break;
    case MsgButtons::OkCancel: buttons = {{QMessageBox::Ok, MsgResult::Ok}, {QMessageBox::Cancel, MsgResult::Cancel}}; break;
    case MsgButtons::YesNo: buttons = {{QMessageBox::Yes, MsgResult::Yes}, {QMessageBox::No, MsgResult::No}}; break;
    case MsgButtons::YesNoCancel:
        buttons = {{QMessageBox::Yes, MsgResult::Yes}, {QMessageBox::No, MsgResult::No}, {QMessageBox::Cancel, MsgResult::Cancel}};
        break;
    }
    QMessageBox::StandardButtons set;
    for (const auto& b : buttons) set |= b.first;
    box.setStandardButtons(set);
    const std::size_t def = static_cast<std::size_t>(std::max(0, request.defaultButton));
    if (def < buttons.size()) box.setDefaultButton(buttons[def].first);
    const auto clicked = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const auto& b : buttons)
        if (b.first == clicked) return b.second;
    // Closed with Escape or the window's close box.
    if (request.buttons == MsgButtons::YesNo) return MsgResult::No;
    return request.buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
}

std::optional<std::string> QtHost::fileDialog(const FileDialogRequest& request) {
    QFileDialog dlg(m_parent, shownText(request.title));
    dlg.setNameFilter(qtFilterFromClassic(request.filter));
    dlg.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultExtension.empty()) dlg.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    if (request.save && !request.overwritePrompt) dlg.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.initialPath.empty()) {
        const QFileInfo fi(QString::fromStdString(request.initialPath));
        if (fi.isDir()) dlg.setDirectory(fi.absoluteFilePath());
        else dlg.selectFile(fi.filePath());
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    return dlg.selectedFiles().first().toStdString();
}

std::optional<ColorRef> QtHost::chooseColor(ColorRef initial) {
    const QColor c = QColorDialog::getColor(QColor(GetRValue(initial), GetGValue(initial), GetBValue(initial)), m_parent);
    if (!c.isValid()) return std::nullopt;
    return RGB(static_cast<unsigned>(c.red()), static_cast<unsigned>(c.green()), static_cast<unsigned>(c.blue()));
}

void QtHost::progressBegin(const std::string& caption, int minimum, int maximum) {
    delete m_progress;
    const QString shown = QString::fromStdString(translateText(caption));
    m_progress = new QProgressDialog(shown, QString(), minimum, maximum, m_parent);
    m_progress->setWindowTitle(shown);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->installEventFilter(new KeepOpenWhileWorking(m_progress));
    m_progress->setMinimumDuration(0);
    m_progress->setValue(minimum);
    m_progress->show();
    // Painted before the work starts, even when its first step is long: the
    // window manager maps the window some time after show().
    QElapsedTimer waited;
    waited.start();
    while (!(m_progress->windowHandle() && m_progress->windowHandle()->isExposed()) && waited.elapsed() < 500)
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    m_progress->repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtHost::progressSet(int position) {
    if (!m_progress) return;
    m_progress->setValue(position);
    // Repaint the bar without handing user input to the program mid-operation.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtHost::progressEnd() {
    // Clicks and keys made while the work ran were held back; handled now,
    // while the progress window still blocks the main window, they are
    // dropped instead of reaching it afterwards against a changed picture.
    if (m_progress) QApplication::processEvents();
    delete m_progress;
}

void QtHost::redraw() {
    if (onRedraw) onRedraw();
}

void QtHost::setTitle(const std::string& title) {
    if (onTitle) onTitle(QString::fromStdString(title));
}

void QtHost::status(const std::string& text) {
    if (onStatus) onStatus(shownText(text));
}

}  // namespace plastora::ui
