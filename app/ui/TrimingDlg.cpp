#include "ui/TrimingDlg.h"

#include "platform/Host.h"
#include "ui/PointerPixel.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>

#include <algorithm>

namespace plastora::ui {

namespace {

const Surface& emptySurface() {
    static const Surface s;
    return s;
}

constexpr int kHandle = 8;  // side of a handle square

}  // namespace

void CTrimingDlg::showEvent(QShowEvent* event) {
    // The texts are translated by now: each button is as wide as its text
    // needs (at least the 72 pixels of the Japanese layout).
    int x = 16;
    for (QPushButton* b : {m_ok, m_cancel, m_straighten, m_aspect}) {
        const int w = std::max(72, b->sizeHint().width());
        b->setGeometry(x, 12, w, 26);
        x += w + 4;
    }
    // A narrow preview (a portrait photo) gives the row room.
    if (x + 12 > width()) setFixedSize(x + 12, height());
    QDialog::showEvent(event);
}

CTrimingDlg::CTrimingDlg(TrimmingDialogData& data, QWidget* parent)
    : QDialog(parent), m_data(data),
      m_editor(data.photo ? *data.photo : emptySurface(), data.workingWidth, data.workingHeight, data.angle) {
    setWindowTitle(QStringLiteral("トリミングダイアログ"));
    // The buttons sit in a row above the preview; they never take the focus,
    // so the arrow keys always reach the frame.
    const char* texts[] = {"OK", "キャンセル", "角度補正", "縦横比変更"};
    QPushButton** targets[] = {&m_ok, &m_cancel, &m_straighten, &m_aspect};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(QString::fromUtf8(texts[i]), this);
        b->setGeometry(16 + i * 76, 12, 72, 26);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
        *targets[i] = b;
    }
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &CTrimingDlg::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CTrimingDlg::reject);
    connect(m_straighten, &QPushButton::clicked, this, &CTrimingDlg::straighten);
    connect(m_aspect, &QPushButton::clicked, this, &CTrimingDlg::changeAspect);
    m_straighten->setEnabled(false);

    const Size size = m_editor.dialogSize();
    setFixedSize(size.cx, size.cy);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

void CTrimingDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const Surface& preview = m_editor.preview();
    if (!preview.empty()) {
        const QImage image(reinterpret_cast<const uchar*>(preview.bits()), preview.width(), preview.height(),
                           static_cast<qsizetype>(preview.width()) * 4, QImage::Format_RGB32);
        p.drawImage(kTrimPreviewOrigin.x, kTrimPreviewOrigin.y, image);
    }
    p.translate(kTrimPreviewOrigin.x, kTrimPreviewOrigin.y);
    const auto handle = [&](Point c, const QColor& colour) {
        p.fillRect(c.x - kHandle / 2, c.y - kHandle / 2, kHandle, kHandle, colour);
    };
    const Rect& f = m_editor.frame();
    const QColor blue(0, 0, 255), green(0, 255, 0);
    p.setPen(QPen(blue, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(f.left, f.top, f.width(), f.height());
    for (int c = kTrimCornerTopLeft; c <= kTrimCornerBottomLeft; ++c) handle(m_editor.corner(c), blue);
    p.setPen(QPen(green, 2));
    const Point a = m_editor.lineStart(), b = m_editor.lineEnd();
    p.drawLine(a.x, a.y, b.x, b.y);
    handle(a, green);
    handle(b, green);
}

void CTrimingDlg::showCursorFor(int element) {
    switch (trimCursorFor(element)) {
    case TrimCursor::Move: setCursor(Qt::SizeAllCursor); break;
    case TrimCursor::CornerFalling: setCursor(Qt::SizeFDiagCursor); break;
    case TrimCursor::CornerRising: setCursor(Qt::SizeBDiagCursor); break;
    case TrimCursor::LineEnd: setCursor(Qt::CrossCursor); break;
    case TrimCursor::Arrow: unsetCursor(); break;
    }
}

void CTrimingDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QDialog::mousePressEvent(event);
    const Point at = pixelUnder(event->position());
    m_editor.press(toPreview(QPoint(at.x, at.y)));
    showCursorFor(m_editor.dragging() ? m_editor.selected() : kTrimSelectNone);
    update();
}

void CTrimingDlg::mouseMoveEvent(QMouseEvent* event) {
    const Point at = pixelUnder(event->position());
    const Point p = toPreview(QPoint(at.x, at.y));
    if (m_editor.dragging()) {
        m_editor.drag(p);
        m_straighten->setEnabled(m_editor.straightenEnabled());
        update();
        showCursorFor(m_editor.selected());
    } else {
        showCursorFor(m_editor.hitTest(p));
    }
}

void CTrimingDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QDialog::mouseReleaseEvent(event);
    m_editor.release();
    update();
}

void CTrimingDlg::keyPressEvent(QKeyEvent* event) {
    ArrowKey k;
    switch (event->key()) {
    case Qt::Key_Left: k = ArrowKey::Left; break;
    case Qt::Key_Right: k = ArrowKey::Right; break;
    case Qt::Key_Up: k = ArrowKey::Up; break;
    case Qt::Key_Down: k = ArrowKey::Down; break;
    default: return QDialog::keyPressEvent(event);
    }
    if (m_editor.key(k)) {
        m_straighten->setEnabled(m_editor.straightenEnabled());
        update();
    }
}

void CTrimingDlg::straighten() {
    if (!m_editor.straighten()) {
        if (m_data.host) m_data.host->message(kOutOfMemoryMessage, MsgButtons::Ok, MsgIcon::Error);
        return;
    }
    m_straighten->setEnabled(false);
    update();
}

void CTrimingDlg::changeAspect() {
    if (m_editor.changeAspect(m_data.host)) update();
}

void CTrimingDlg::accept() {
    m_data.source = m_editor.sourceRect();
    m_data.angle = m_editor.angle();
    m_data.workingWidth = m_editor.workingWidth();
    m_data.workingHeight = m_editor.workingHeight();
    m_data.rotated = m_editor.takeRotated();
    QDialog::accept();
}

}  // namespace plastora::ui
