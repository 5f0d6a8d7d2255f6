// CMainFrame: the program's single-document main window: menus and the main
// tool bar built from the command table, the status bar, dropped files.
#pragma once

#include "platform/Surface.h"

#include <QMainWindow>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QToolBar;
class QToolButton;

namespace plastora {
class WorkspaceDialogs;
}

namespace plastora::ui {

class CPlastoraView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(const std::string& settingsPath, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CPlastoraView* view() const { return m_view; }
    // Opens a picture or project (after asking to save a modified one).
    // Opens a file by its name as the system gives it (bytes, not always UTF-8).
    bool openFile(const std::string& path);
    // The file named on the command line is opened once the window has been
    // painted for the first time.
    void setStartupFile(std::string path) { m_startupFile = std::move(path); }
    // Re-evaluates every command's enabled and pressed state.
    void updateCommands();
    // The action of a command of the table (tests).
    QAction* action(const std::string& id) const;
    // Runs a command by id as the menu would.
    void runCommand(const std::string& id);
    // The language menu's choice: "ja", "en" or "" (the system's language).
    // It is stored as [Option] "Language" and shown at once: the menus,
    // bars and every open window change their texts.
    void setLanguageChoice(const std::string& value);
    // Shows the window's own texts (menus, bars, status) in the current
    // language.
    void retranslate();
    // The tool palettes: "ﾏｽｸﾂｰﾙ" (mask editing) and "ﾍﾟｲﾝﾄﾂｰﾙ" (every other mode).
    QToolBar* maskPalette() const { return m_maskPalette; }
    QToolBar* paintPalette() const { return m_paintPalette; }
    QToolButton* colourButton() const { return m_colourButton; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool event(QEvent* event) override;

    // The right-button menu of the view at a screen position.
    void showContextMenu(const QPoint& globalPos, const plastora::Point& window);

private:
    void buildMenus();
    void buildPalettes();
    void addRecentFileEntries(QMenu* menu);
    void buildLanguageMenu(QMenu* options);
    void updateRecentFiles();
    void updateTitle(const QString& path);

    CPlastoraView* m_view;
    std::unique_ptr<WorkspaceDialogs> m_dialogs;
    std::map<std::string, QAction*> m_actions;
    std::vector<QAction*> m_recentActions;
    QToolBar* m_maskPalette = nullptr;
    QToolBar* m_paintPalette = nullptr;
    QToolButton* m_colourButton = nullptr;
    ColorRef m_swatchColour = 0xFFFFFFFFu;
    std::string m_startupFile;
    bool m_startupDone = false;
};

}  // namespace plastora::ui
