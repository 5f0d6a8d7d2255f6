#include "ui/AdjustDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace plastora::ui {

namespace {

QSlider* makeBar(QWidget* parent) {
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setRange(kAdjustMin, kAdjustMax);
    bar->setPageStep(10);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setTickInterval(10);
    bar->setValue(0);
    return bar;
}

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

CAdjustDlg::CAdjustDlg(CStereoWorkspace& ws, QWidget* parent) : QDialog(parent), m_ws(ws), m_session(ws) {
    setWindowTitle("画質調整ダイアログ");
    m_brightness = makeBar(this);
    m_contrast = makeBar(this);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("明るさ", this), 0, 0);
    grid->addWidget(m_brightness, 0, 1);
    grid->addWidget(new QLabel("コントラスト", this), 1, 0);
    grid->addWidget(m_contrast, 1, 1);
    m_ok = new QPushButton("OK", this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton("キャンセル", this);
    m_reset = new QPushButton("リセット", this);
    auto* box = new QDialogButtonBox(this);
    box->addButton(m_ok, QDialogButtonBox::AcceptRole);
    box->addButton(m_cancel, QDialogButtonBox::RejectRole);
    box->addButton(m_reset, QDialogButtonBox::ResetRole);
    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addWidget(box);
    setMinimumWidth(320);

    m_session.Begin();
    for (QSlider* bar : {m_brightness, m_contrast}) {
        connect(bar, &QSlider::actionTriggered, this, [this, bar](int action) { onAction(bar, action); });
        connect(bar, &QSlider::valueChanged, this, &CAdjustDlg::preview);
    }
    connect(m_ok, &QPushButton::clicked, this, &CAdjustDlg::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CAdjustDlg::reject);
    connect(m_reset, &QPushButton::clicked, this, &CAdjustDlg::onReset);
}

CAdjustDlg::~CAdjustDlg() {
    // A dialog destroyed without an answer leaves the display as it found it.
    if (!m_finished && m_session.active()) m_session.Cancel();
}

void CAdjustDlg::onAction(QSlider* bar, int action) {
    // A page step goes to the next multiple of ten rather than by ten; the
    // slider applies the position set here.
    if (action == QAbstractSlider::SliderPageStepAdd)
        bar->setSliderPosition(AdjustPageStep(bar->value(), +1));
    else if (action == QAbstractSlider::SliderPageStepSub)
        bar->setSliderPosition(AdjustPageStep(bar->value(), -1));
}

void CAdjustDlg::onReset() {
    for (QSlider* bar : {m_brightness, m_contrast}) {
        const QSignalBlocker block(bar);
        bar->setValue(0);
    }
    m_session.Reset();
}

void CAdjustDlg::preview() { m_session.Preview(m_brightness->value(), m_contrast->value()); }

void CAdjustDlg::accept() {
    if (m_finished) return;
    m_finished = true;
    {
        WaitCursor wait;
        m_applied = m_session.Ok();
    }
    QDialog::accept();
}

void CAdjustDlg::reject() {
    if (m_finished) return;
    m_finished = true;
    m_session.Cancel();
    QDialog::reject();
}

int RunAdjustCommand(CStereoWorkspace& ws, QWidget* parent) {
    if (ws.display().empty()) return 0;
    CAdjustDlg dlg(ws, parent);
    dlg.exec();
    return dlg.applied();
}

int RunRotateCommand(CStereoWorkspace& ws) {
    if (!CanRotateImage(ws)) return 0;
    // A stereo pair asks first: the wait cursor comes after the answer.
    if (ws.stereoPair()) return RotateImage(ws);
    WaitCursor wait;
    return RotateImage(ws);
}

}  // namespace plastora::ui
