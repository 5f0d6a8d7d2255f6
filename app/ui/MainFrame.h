// CMainFrame: the program's single-document main window.
#pragma once

#include <QMainWindow>

namespace plastora::ui {

class CPlastoraView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(const std::string& settingsPath, QWidget* parent = nullptr);

    CPlastoraView* view() const { return m_view; }
    // Opens a picture (after asking to save a modified one). Returns true
    // when the file was opened.
    bool openFile(const QString& path);
    // The file named on the command line is opened once the window has been
    // painted for the first time.
    void setStartupFile(const QString& path) { m_startupFile = path; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void onOpen();
    void updateTitle(const QString& path);

    CPlastoraView* m_view;
    QString m_startupFile;
    bool m_startupDone = false;
};

}  // namespace plastora::ui
