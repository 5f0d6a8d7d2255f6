// CPlastoraView: the scrolling view that shows the workspace's display image
// at the current zoom. It owns the workspace.
#pragma once

#include "core/StereoWorkspace.h"
#include "ui/QtHost.h"

#include <QAbstractScrollArea>
#include <QPointer>
#include <QTimer>
#include <memory>

namespace plastora::ui {

class CPlastoraView : public QAbstractScrollArea {
    Q_OBJECT
public:
    CPlastoraView(const std::string& settingsPath, QWidget* parent = nullptr);
    ~CPlastoraView() override;

    CStereoWorkspace& workspace() { return *m_workspace; }
    QtHost& host() { return m_host; }
    // Re-reads the display size and repaints.
    void updateView();

signals:
    void titleChanged(const QString& title);
    // A note for the status bar (e.g. what opening a stereo pair corrected).
    void statusChanged(const QString& text);
    // The picture or the display mode changed: commands need re-evaluating.
    void stateChanged();
    // The right button went down over the picture (modes 1 and 2), or the
    // menu key or Shift+F10 was pressed there, at a window point of the view.
    void contextMenuWanted(const QPoint& globalPos, const plastora::Point& window);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateScrollBars();
    // Hands the scroll offset to the workspace and returns the event's
    // position in window coordinates.
    Point windowPoint(const QMouseEvent* event);
    void updateCursor();
    // The cursor for the pointer at a window point (the move tool's handles).
    void updateCursorAt(Point window);
    // Runs the view animation's timer exactly while the display mode is 4.
    void updateAnimationTimer();
    // Repaints the interlace image when the top-level window moves.
    void watchWindowMoves();

    QtHost m_host;
    std::unique_ptr<CStereoWorkspace> m_workspace;
    QTimer* m_animation;
    Surface m_outlineScratch;
    ToolCursor m_cursor = ToolCursor::Arrow;
    Point m_pointer{-1, -1};  // the last pointer position over the view
    QPointer<QWidget> m_watchedWindow;
};

}  // namespace plastora::ui
