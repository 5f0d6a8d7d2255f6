#include "ui/AnaglyphDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace plastora::ui {

namespace {
constexpr int kMinStrength = kMinAnaglyphStrength;
constexpr int kMaxStrength = kMaxAnaglyphStrength;
}  // namespace

CAnaglyphDlg::CAnaglyphDlg(CStereoWorkspace& ws, QWidget* parent) : QDialog(parent), m_ws(ws) {
    setWindowTitle("アナグリフ画像作成");
    auto* colourGroup = new QGroupBox(this);
    auto* colourLayout = new QHBoxLayout(colourGroup);
    auto* colourButtons = new QButtonGroup(this);
    const char* colourLabels[2] = {"白黒", "カラー"};
    for (int i = 0; i < 2; ++i) {
        m_colour[i] = new QRadioButton(colourLabels[i], colourGroup);
        colourButtons->addButton(m_colour[i], i);
        colourLayout->addWidget(m_colour[i]);
    }
    auto* filterGroup = new QGroupBox(this);
    auto* filterLayout = new QVBoxLayout(filterGroup);
    auto* filterButtons = new QButtonGroup(this);
    const char* filterLabels[kAnaglyphFilterCount] = {
        "赤シアン(Red-Cyan)",          "赤緑(Red-Green)",           "赤青(Red-Blue)",
        "赤シアン 最小二乗法(Dubois)", "緑マゼンタ 最小二乗法(Dubois)", "アンバー青 最小二乗法(Dubois)",
        "赤シアン ハーフカラー",       "赤シアン 最適化"};
    for (int i = 0; i < kAnaglyphFilterCount; ++i) {
        m_filter[i] = new QRadioButton(filterLabels[i], filterGroup);
        filterButtons->addButton(m_filter[i], i);
        filterLayout->addWidget(m_filter[i]);
    }
    m_regenerate = new QCheckBox("立体画像作り直し", this);
    m_strength = new QSpinBox(this);
    m_strength->setRange(kMinStrength, kMaxStrength);
    auto* strengthRow = new QHBoxLayout;
    strengthRow->addWidget(new QLabel("立体感", this));
    strengthRow->addWidget(m_strength);
    m_create = new QPushButton("作成", this);
    m_create->setDefault(true);
    auto* cancel = new QPushButton("キャンセル", this);
    auto* box = new QDialogButtonBox(this);
    box->addButton(m_create, QDialogButtonBox::AcceptRole);
    box->addButton(cancel, QDialogButtonBox::RejectRole);
    auto* top = new QVBoxLayout(this);
    top->addWidget(colourGroup);
    top->addWidget(filterGroup);
    top->addWidget(m_regenerate);
    top->addLayout(strengthRow);
    top->addWidget(box);

    const AnaglyphDialogData preset = anaglyphDialogPreset(ws);
    m_colour[preset.colourMode == kAnaglyphColour ? 1 : 0]->setChecked(true);
    m_filter[std::clamp(preset.filter, 0, kAnaglyphFilterCount - 1)]->setChecked(true);
    // The colour mode applies to the three channel picks only.
    auto colourApplies = [this] {
        const bool on = !isAnaglyphMethod(data().filter);
        for (QRadioButton* r : m_colour) r->setEnabled(on);
    };
    colourApplies();
    connect(filterButtons, &QButtonGroup::idToggled, this, colourApplies);
    // A strength the spin control cannot hold shows as its nearest bound.
    m_strength->setValue(std::clamp(preset.strength, kMinStrength, kMaxStrength));
    m_regenerate->setChecked(preset.regenerate);
    // Without views regeneration is compulsory.
    m_regenerate->setEnabled(!preset.regenerate);
    m_strength->setEnabled(preset.regenerate);
    connect(m_regenerate, &QCheckBox::toggled, m_strength, &QWidget::setEnabled);
    connect(m_create, &QPushButton::clicked, this, &CAnaglyphDlg::onCreate);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

AnaglyphDialogData CAnaglyphDlg::data() const {
    AnaglyphDialogData d;
    d.colourMode = m_colour[1]->isChecked() ? kAnaglyphColour : kAnaglyphGrey;
    d.filter = kFilterRedCyan;
    for (int i = 0; i < kAnaglyphFilterCount; ++i)
        if (m_filter[i]->isChecked()) d.filter = i;
    d.regenerate = m_regenerate->isChecked();
    d.strength = m_strength->value();
    return d;
}

void CAnaglyphDlg::onCreate() {
    if (anaglyphNeedsColourQuestion(data()) &&
        m_ws.host().message(kAnaglyphColourQuestion, MsgButtons::YesNo, MsgIcon::Question, 1) != MsgResult::Yes)
        return;  // back to the dialog
    accept();
}

int RunAnaglyphCommand(CStereoWorkspace& ws, QWidget* parent) {
    CAnaglyphDlg dlg(ws, parent);
    if (dlg.exec() != QDialog::Accepted) return 0;
    return CreateAnaglyph(ws, dlg.data());
}

}  // namespace plastora::ui
