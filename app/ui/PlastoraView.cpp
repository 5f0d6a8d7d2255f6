#include "ui/PlastoraView.h"

#include "autocut/FaceDetect.h"
#include "output/Interlace.h"
#include "stereo/PatternMultiView.h"
#include "ui/PointerPixel.h"
#include "ui/ToolIcons.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QPaintEvent>
#include <QScrollBar>

#include <optional>

namespace plastora::ui {

CPlastoraView::CPlastoraView(const std::string& settingsPath, QWidget* parent)
    : QAbstractScrollArea(parent), m_host(this) {
    m_workspace = std::make_unique<CStereoWorkspace>(m_host, settingsPath);
    m_host.onRedraw = [this] { updateView(); };
    m_host.onTitle = [this](const QString& t) { emit titleChanged(t); };
    m_host.onStatus = [this](const QString& t) { emit statusChanged(t); };
    m_animation = new QTimer(this);
    connect(m_animation, &QTimer::timeout, this, [this] { m_workspace->AnimationTick(); });
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    // The move tool's cursor follows the handles under the pointer, and the
    // keys move the selected object.
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

CPlastoraView::~CPlastoraView() {
    // The face result dialog must not outlive the workspace it edits.
    m_workspace->CloseFaceResult();
    forgetPatternMultiView(*m_workspace);
}

void CPlastoraView::updateView() {
    updateScrollBars();
    updateCursor();
    updateAnimationTimer();
    viewport()->update();
    emit stateChanged();
}

void CPlastoraView::updateAnimationTimer() {
    if (m_workspace->mode() != kModeAnimation) {
        m_animation->stop();
        return;
    }
    const int interval = std::max(1, m_workspace->animationInterval());
    if (!m_animation->isActive() || m_animation->interval() != interval) m_animation->start(interval);
}

void CPlastoraView::updateScrollBars() {
    const Surface& d = m_workspace->display();
    const int zoom = std::max(1, m_workspace->zoom());
    const int w = d.empty() ? 0 : d.width() * zoom;
    const int h = d.empty() ? 0 : d.height() * zoom;
    const QSize vp = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, w - vp.width()));
    verticalScrollBar()->setRange(0, std::max(0, h - vp.height()));
    horizontalScrollBar()->setPageStep(vp.width());
    verticalScrollBar()->setPageStep(vp.height());
    // A line (arrow key, wheel notch's step) is a tenth of the page, as in
    // the usual scrolling views; Qt's single pixel made crossing a zoomed
    // picture take a thousand wheel notches.
    horizontalScrollBar()->setSingleStep(std::max(1, vp.width() / 10));
    verticalScrollBar()->setSingleStep(std::max(1, vp.height() / 10));
}

void CPlastoraView::watchWindowMoves() {
    QWidget* top = window();
    if (top == m_watchedWindow) return;
    if (m_watchedWindow) m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = top;
    top->installEventFilter(this);
}

bool CPlastoraView::eventFilter(QObject* watched, QEvent* event) {
    // The interlace image's lines follow the window's place on the screen.
    if (watched == m_watchedWindow && event->type() == QEvent::Move && m_workspace->mode() == kModeInterlace)
        viewport()->update();
    return QAbstractScrollArea::eventFilter(watched, event);
}

void CPlastoraView::moveEvent(QMoveEvent* event) {
    // The view moved inside the window (a palette docked elsewhere): the
    // same as the window moving.
    QAbstractScrollArea::moveEvent(event);
    if (m_workspace->mode() == kModeInterlace) viewport()->update();
}

void CPlastoraView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    if (m_workspace->mode() == kModeInterlace) viewport()->update();
}

Point CPlastoraView::windowPoint(const QMouseEvent* event) {
    m_workspace->setScrollPosition(horizontalScrollBar()->value(), verticalScrollBar()->value());
    m_pointer = pixelUnder(event->position());
    return m_pointer;
}

void CPlastoraView::updateCursor() {
    // The move tool's cursor depends on what lies under the pointer.
    const ToolCursor want = m_workspace->cursorAt(m_pointer);
    if (want == m_cursor && viewport()->testAttribute(Qt::WA_SetCursor)) return;
    m_cursor = want;
    viewport()->setCursor(toolCursor(want));
}

void CPlastoraView::updateCursorAt(Point window) {
    m_pointer = window;
    updateCursor();
}

void CPlastoraView::mousePressEvent(QMouseEvent* event) {
    const int mode = m_workspace->mode();
    const Point p = windowPoint(event);
    if (event->button() == Qt::RightButton && (mode == kModeMask || mode == kModeImage)) {
        // Not in the middle of a stroke: the menu would take the left
        // button's release, and the stroke would go on with no button held.
        if (m_workspace->buttonDown()) return;
        emit contextMenuWanted(event->globalPosition().toPoint(), p);
        return;
    }
    if (event->button() == Qt::LeftButton) {
        // The viewport grabs the mouse while a button is down, so a stroke
        // that leaves the window still ends where the button is released.
        m_workspace->LButtonDown(p);
        emit stateChanged();
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void CPlastoraView::contextMenuEvent(QContextMenuEvent* event) {
    const int mode = m_workspace->mode();
    // The right button's menu from the keyboard (the menu key, Shift+F10):
    // the painting tools, the regions' and the current object's commands,
    // at the pointer when it is over the view, else at the view's centre. A
    // right click has already been answered when its button went down.
    if (event->reason() != QContextMenuEvent::Keyboard || (mode != kModeMask && mode != kModeImage) ||
        m_workspace->buttonDown()) {
        event->ignore();
        return;
    }
    m_workspace->setScrollPosition(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const QRect area = viewport()->rect();
    Point at = m_pointer;
    if (!area.contains(at.x, at.y)) at = {area.center().x(), area.center().y()};
    emit contextMenuWanted(viewport()->mapToGlobal(QPoint(at.x, at.y)), at);
    event->accept();
}

void CPlastoraView::mouseMoveEvent(QMouseEvent* event) {
    const Point p = windowPoint(event);
    if (m_workspace->buttonDown() && !(event->buttons() & Qt::LeftButton)) {
        // The release went elsewhere (a menu or dialog had the mouse).
        m_workspace->EndStroke();
        emit stateChanged();
    }
    if (m_workspace->buttonDown()) m_workspace->MouseMove(p);
    else updateCursorAt(p);
}

void CPlastoraView::mouseReleaseEvent(QMouseEvent* event) {
    const Point p = windowPoint(event);
    if (event->button() == Qt::LeftButton) {
        m_workspace->LButtonUp(p);
        emit stateChanged();
        return;
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void CPlastoraView::mouseDoubleClickEvent(QMouseEvent* event) {
    const Point p = windowPoint(event);
    if (event->button() == Qt::LeftButton) {
        m_workspace->LButtonDblClk(p);
        return;
    }
    QAbstractScrollArea::mouseDoubleClickEvent(event);
}

void CPlastoraView::keyPressEvent(QKeyEvent* event) {
    std::optional<ObjectKey> key;
    switch (event->key()) {
    case Qt::Key_Left: key = ObjectKey::Left; break;
    case Qt::Key_Right: key = ObjectKey::Right; break;
    case Qt::Key_Up: key = ObjectKey::Up; break;
    case Qt::Key_Down: key = ObjectKey::Down; break;
    case Qt::Key_PageUp: key = ObjectKey::PageUp; break;
    case Qt::Key_PageDown: key = ObjectKey::PageDown; break;
    case Qt::Key_Tab: key = ObjectKey::Tab; break;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        // Only the bare key removes an object: with a modifier it is another
        // command's accelerator (Alt+Backspace undoes), enabled or not.
        if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) key = ObjectKey::Delete;
        break;
    default: break;
    }
    if (key && m_workspace->KeyDown(*key)) {
        emit stateChanged();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

bool CPlastoraView::focusNextPrevChild(bool next) {
    // Tab selects the next object while the move tool is active.
    if (m_workspace->mode() == kModeImage && m_workspace->tool() == kToolMove) return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void CPlastoraView::scrollContentsBy(int, int) {
    m_workspace->setScrollPosition(horizontalScrollBar()->value(), verticalScrollBar()->value());
    viewport()->update();
}

void CPlastoraView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    if (m_workspace->outlineDisplay()) {
        // The photo with the current region's outlines inverted over it.
        m_workspace->setScrollPosition(horizontalScrollBar()->value(), verticalScrollBar()->value());
        const QSize vp = viewport()->size();
        if (m_workspace->renderOutlineDisplay(m_outlineScratch, vp.width(), vp.height()))
            p.drawImage(0, 0, m_outlineScratch.image());
        return;
    }
    Surface& d = m_workspace->display();
    if (d.empty()) return;
    if (m_workspace->mode() == kModeInterlace) {
        // Lines of the interlace image must meet the monitor's lines: the
        // picture moves by a pixel with the parity of where the client area
        // sits on its screen (a move of the window repaints, see eventFilter).
        watchWindowMoves();
        QPoint origin = viewport()->mapToGlobal(QPoint(0, 0));
        if (const QScreen* screen = viewport()->screen()) origin -= screen->geometry().topLeft();
        const int sx = horizontalScrollBar()->value(), sy = verticalScrollBar()->value();
        const Point shift = interlaceParityShift({origin.x(), origin.y()}, {sx, sy});
        p.drawImage(shift.x - sx, shift.y - sy, d.image());
        return;
    }
    const int zoom = std::max(1, m_workspace->zoom());
    const QImage img = d.image();
    const QRect target(-horizontalScrollBar()->value(), -verticalScrollBar()->value(), d.width() * zoom,
                       d.height() * zoom);
    // Zoomed pixels are shown as blocks, never smoothed: masks are edited pixel by pixel.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(target, img);
    // The blocks being matched while a stereo pair's views are built.
    drawCheckMatch(p, *m_workspace, zoom, horizontalScrollBar()->value(), verticalScrollBar()->value());
    // The faces found, while their result dialog is open.
    drawFaceBoxes(p, *m_workspace, zoom, horizontalScrollBar()->value(), verticalScrollBar()->value());
}

}  // namespace plastora::ui
