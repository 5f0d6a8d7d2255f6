#include "ui/ShapeDlg.h"
#include "ui/DialogParts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace plastora::ui {

namespace {
constexpr int kKinds = 5;
constexpr int kRoundRect = 2;
constexpr int kLineRising = 3;
constexpr int kLineFalling = 4;
constexpr int kMaxLineWidth = 8;
constexpr int kMaxSize = 32;

bool isLine(int kind) { return kind == kLineRising || kind == kLineFalling; }
}  // namespace

ShapeSizeSpinBox::ShapeSizeSpinBox(QWidget* parent) : QSpinBox(parent) { setRange(0, kMaxSize); }

void ShapeSizeSpinBox::stepBy(int steps) {
    setValue(std::clamp(value() + steps, kStepMin, maximum()));
    selectAll();
}

QAbstractSpinBox::StepEnabled ShapeSizeSpinBox::stepEnabled() const {
    if (isReadOnly() || !isEnabled()) return StepNone;
    StepEnabled e = StepNone;
    // Below the step minimum "up" lifts the value to 2.
    if (value() < maximum()) e |= StepUpEnabled;
    if (value() > kStepMin) e |= StepDownEnabled;
    return e;
}

CShapeDlg::CShapeDlg(ShapeDialogData& data, Host& host, QWidget* parent)
    : QDialog(parent), m_data(data), m_host(host) {
    setWindowTitle(QStringLiteral("図形設定"));

    auto* kindGroup = new QGroupBox(this);
    auto* kindLayout = new QVBoxLayout(kindGroup);
    auto* kindButtons = new QButtonGroup(this);
    const char* kindLabels[kKinds] = {"四角形", "楕円", "角丸四角形", "右上がり直線", "右下がり直線"};
    for (int i = 0; i < kKinds; ++i) {
        m_kind[i] = new QRadioButton(QString::fromUtf8(kindLabels[i]), kindGroup);
        m_kind[i]->setObjectName(QStringLiteral("kind%1").arg(i));
        kindButtons->addButton(m_kind[i], i);
        kindLayout->addWidget(m_kind[i]);
    }
    // A preset kind outside 0..4 checks no button.
    if (data.kind >= 0 && data.kind < kKinds) m_kind[data.kind]->setChecked(true);

    auto tick = [this](const char* label, const char* name, bool checked) { return makeTick(this, label, name, checked); };
    m_square = tick("縦横同じ", "square", data.square);
    m_noFill = tick("塗つぶしなし", "noFill", data.noFill);
    m_arrowFirst = tick("左端に矢印", "arrowFirst", data.arrowFirst);
    m_arrowSecond = tick("右端に矢印", "arrowSecond", data.arrowSecond);

    m_lineWidth = new QSpinBox(this);
    m_lineWidth->setObjectName("lineWidth");
    m_lineWidth->setRange(0, kMaxLineWidth);
    m_lineWidth->setValue(data.lineWidth);
    m_size = new ShapeSizeSpinBox(this);
    m_size->setObjectName("size");
    m_size->setValue(data.size);

    const DialogButtons buttons = makeOkCancelButtons(this);
    QDialogButtonBox* box = buttons.box;
    m_ok = buttons.ok;

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("線の太さ"), m_lineWidth);
    form->addRow(QStringLiteral("矢印/角のサイズ"), m_size);
    auto* top = new QVBoxLayout(this);
    top->addWidget(kindGroup);
    for (QCheckBox* b : {m_square, m_noFill, m_arrowFirst, m_arrowSecond}) top->addWidget(b);
    top->addLayout(form);
    top->addWidget(box);

    for (QRadioButton* b : m_kind) connect(b, &QRadioButton::toggled, this, &CShapeDlg::updateEnabling);
    for (QCheckBox* b : {m_arrowFirst, m_arrowSecond}) connect(b, &QCheckBox::toggled, this, &CShapeDlg::updateEnabling);
    updateEnabling();
}

ShapeDialogData CShapeDlg::fields() const {
    ShapeDialogData d = m_data;
    for (int i = 0; i < kKinds; ++i)
        if (m_kind[i]->isChecked()) d.kind = i;
    d.square = m_square->isChecked();
    d.noFill = m_noFill->isChecked();
    d.arrowFirst = m_arrowFirst->isChecked();
    d.arrowSecond = m_arrowSecond->isChecked();
    d.lineWidth = m_lineWidth->value();
    d.size = m_size->value();
    return d;
}

void CShapeDlg::updateEnabling() {
    const ShapeDialogData d = fields();
    const bool line = isLine(d.kind);
    m_noFill->setEnabled(d.kind >= 0 && d.kind <= kRoundRect);
    m_arrowFirst->setEnabled(line);
    m_arrowSecond->setEnabled(line);
    m_size->setEnabled(d.kind == kRoundRect || (line && (d.arrowFirst || d.arrowSecond)));
}

void CShapeDlg::accept() {
    // Take in numbers still being typed.
    m_lineWidth->interpretText();
    m_size->interpretText();
    const ShapeDialogData d = fields();
    if (const char* error = shapeDialogError(d)) {
        m_host.message(error, MsgButtons::Ok, MsgIcon::Warning);
        m_lineWidth->setFocus();
        m_lineWidth->selectAll();
        return;
    }
    m_data = d;
    QDialog::accept();
}

}  // namespace plastora::ui
