#include "ui/BackDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace plastora::ui {

namespace {
constexpr int kCustomColour = 3;  // "任意の色"
constexpr int kSwatchSide = 20;
constexpr int kSwatchInset = 2;
}  // namespace

CBackDlg::CBackDlg(CStereoWorkspace& ws, QWidget* parent) : QDialog(parent), m_ws(ws) {
    setWindowTitle("分光メガネ画像作成");
    auto* group = new QGroupBox("背景色", this);
    auto* grid = new QGridLayout(group);
    auto* buttons = new QButtonGroup(this);
    const char* labels[4] = {"青", "黒(塗りつぶし)", "赤(飛び出る)", "任意の色"};
    for (int i = 0; i < 4; ++i) {
        m_colour[i] = new QRadioButton(labels[i], group);
        buttons->addButton(m_colour[i], i);
        grid->addWidget(m_colour[i], i, 0);
    }
    m_swatch = new QPushButton(group);
    m_swatch->setFocusPolicy(Qt::NoFocus);
    m_swatch->setFixedSize(kSwatchSide + 2 * kSwatchInset + 4, kSwatchSide + 2 * kSwatchInset + 4);
    m_swatch->setIconSize(QSize(kSwatchSide + 2 * kSwatchInset, kSwatchSide + 2 * kSwatchInset));
    grid->addWidget(m_swatch, kCustomColour, 1);
    m_fill = new QCheckBox("背景を塗りつぶす", this);
    m_masks = new QSpinBox(this);
    auto* masksRow = new QHBoxLayout;
    masksRow->addWidget(new QLabel("背景とするマスクの数", this));
    masksRow->addWidget(m_masks);
    m_contrast = new QCheckBox("コントラスト補正", this);
    m_ok = new QPushButton("OK", this);
    m_ok->setDefault(true);
    auto* cancel = new QPushButton("キャンセル", this);
    auto* box = new QDialogButtonBox(this);
    box->addButton(m_ok, QDialogButtonBox::AcceptRole);
    box->addButton(cancel, QDialogButtonBox::RejectRole);
    auto* top = new QVBoxLayout(this);
    top->addWidget(group);
    top->addWidget(m_fill);
    top->addLayout(masksRow);
    top->addWidget(m_contrast);
    top->addWidget(box);

    const SpectralDialogData preset = spectralDialogPreset(ws);
    m_fill->setChecked(preset.fill);
    m_contrast->setChecked(preset.contrast);
    // K counts among the regions only when there is more than one.
    if (ws.regionCount() > 1) {
        m_masks->setRange(0, ws.regionCount() - 1);
        m_masks->setValue(preset.backgroundMasks);
    } else {
        m_masks->setRange(0, 0);
        m_masks->setValue(0);
        m_masks->setEnabled(false);
    }
    showColour();
    connect(buttons, &QButtonGroup::idClicked, this, &CBackDlg::onColourClicked);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CBackDlg::showColour() {
    m_colour[spectralColourChoice(m_ws.spectralColour())]->setChecked(true);
    // The swatch shows the colour while the edit display is active.
    if (m_ws.mode() != kModeImage) {
        m_swatch->setIcon(QIcon());
        return;
    }
    const int side = kSwatchSide + 2 * kSwatchInset;
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const ColorRef c = m_ws.spectralColour();
    painter.fillRect(kSwatchInset, kSwatchInset, kSwatchSide, kSwatchSide,
                     QColor(static_cast<int>(GetRValue(c)), static_cast<int>(GetGValue(c)), static_cast<int>(GetBValue(c))));
    painter.end();
    m_swatch->setIcon(QIcon(pixmap));
}

void CBackDlg::onColourClicked(int choice) {
    if (choice == kCustomColour) {
        // Cancel in the chooser goes back to the radio of the current colour.
        if (auto chosen = m_ws.host().chooseColor(m_ws.spectralColour())) m_ws.setSpectralColour(*chosen);
    } else {
        m_ws.setSpectralColour(spectralChoiceColour(choice));
        if (choice == 1) m_fill->setChecked(true);  // black is always a fill
    }
    showColour();
}

SpectralDialogData CBackDlg::data() const {
    SpectralDialogData d;
    d.colour = m_ws.spectralColour();
    d.fill = m_fill->isChecked();
    d.backgroundMasks = m_masks->value();
    d.contrast = m_contrast->isChecked();
    return d;
}

int RunSpectralCommand(CStereoWorkspace& ws, QWidget* parent) {
    CBackDlg dlg(ws, parent);
    if (dlg.exec() != QDialog::Accepted) return 0;
    return ApplySpectral(ws, dlg.data());
}

}  // namespace plastora::ui
