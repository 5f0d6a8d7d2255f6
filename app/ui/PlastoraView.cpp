#include "ui/PlastoraView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>

namespace plastora::ui {

CPlastoraView::CPlastoraView(const std::string& settingsPath, QWidget* parent)
    : QAbstractScrollArea(parent), m_host(this) {
    m_workspace = std::make_unique<CStereoWorkspace>(m_host, settingsPath);
    m_host.onRedraw = [this] { updateView(); };
    m_host.onTitle = [this](const QString& t) { emit titleChanged(t); };
    m_animation = new QTimer(this);
    connect(m_animation, &QTimer::timeout, this, [this] { m_workspace->AnimationTick(); });
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
}

CPlastoraView::~CPlastoraView() = default;

void CPlastoraView::updateView() {
    updateScrollBars();
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
}

void CPlastoraView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void CPlastoraView::mousePressEvent(QMouseEvent* event) {
    const int mode = m_workspace->mode();
    if (event->button() == Qt::RightButton && (mode == kModeMask || mode == kModeImage)) {
        emit contextMenuWanted(event->globalPosition().toPoint());
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void CPlastoraView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    Surface& d = m_workspace->display();
    if (d.empty()) return;
    const int zoom = std::max(1, m_workspace->zoom());
    const QImage img = d.image();
    const QRect target(-horizontalScrollBar()->value(), -verticalScrollBar()->value(), d.width() * zoom,
                       d.height() * zoom);
    // Zoomed pixels are shown as blocks, never smoothed: masks are edited pixel by pixel.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(target, img);
}

}  // namespace plastora::ui
