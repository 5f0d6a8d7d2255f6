#include "ui/StereoDlg.h"

#include "core/Settings.h"
#include "stereo/PatternMultiView.h"
#include "ui/DialogParts.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace plastora::ui {

namespace {
constexpr int kCustom = 3;  // "任意(数値)"
constexpr int kHighResLimit = 8;
}  // namespace

CStereoDlg::CStereoDlg(CStereoWorkspace& ws, bool autoStart, bool forCardExport, QWidget* parent)
    : QDialog(parent), m_ws(ws) {
    setWindowTitle("立体画像作成ダイアログ");
    auto* group = new QGroupBox("立体感", this);
    auto* grid = new QGridLayout(group);
    const char* labels[4] = {"小さい", "標準", "大きい", "任意(数値)"};
    auto* buttons = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        m_radios[i] = new QRadioButton(labels[i], group);
        buttons->addButton(m_radios[i], i);
        grid->addWidget(m_radios[i], i < 3 ? 0 : 1, i < 3 ? i : 0);
    }
    m_number = new QLineEdit(group);
    m_number->setMaxLength(3);
    grid->addWidget(m_number, 1, 1);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_interlace = new QCheckBox("インターレース画像で表示", this);
    m_patternMatch = new QCheckBox("パターンマッチによりマルチビューを作成する", this);
    m_create = new QPushButton("作成", this);
    auto* cancel = m_cancel = new QPushButton("キャンセル", this);
    m_create->setDefault(true);

    auto* box = new QDialogButtonBox(this);
    box->addButton(m_create, QDialogButtonBox::AcceptRole);
    box->addButton(cancel, QDialogButtonBox::RejectRole);
    auto* top = new QVBoxLayout(this);
    top->addWidget(group);
    top->addWidget(m_interlace);
    top->addWidget(m_patternMatch);
    top->addWidget(m_progress);
    top->addWidget(box);

    // Initial values: the workspace strength; the two ticks from the settings.
    const Settings settings(ws.settingsPath());
    const int s = ws.strength();
    if (s < 4) {
        if (s >= 1) m_radios[s - 1]->setChecked(true);  // a strength of 0 selects no button
        m_number->setText("0");
    } else {
        m_radios[kCustom]->setChecked(true);
        m_number->setText(QString::number(s));
    }
    m_interlace->setChecked(settings.getFlag(SettingKey::InterlaceStereo));
    m_patternMatch->setChecked(s > 3 && settings.getFlag(SettingKey::PMEnablePM));

    m_interlace->setVisible(!forCardExport);
    m_patternMatch->setVisible(ws.stereoPair() && ws.highResCount() < kHighResLimit);
    const bool lockStrength =
        !autoStart && ws.stereoPair() && ws.objectCount() == 0 && !ws.hasPaintLayer();
    for (auto* r : m_radios) r->setEnabled(!lockStrength);

    // The keyboard starts on the ticked strength: the arrow keys then move
    // the tick (from an unticked button they moved the focus alone).
    for (auto* r : m_radios)
        if (r->isChecked() && r->isEnabled()) r->setFocus();

    connect(buttons, &QButtonGroup::idClicked, this, [this](int) { updateEnabling(); });
    connect(m_create, &QPushButton::clicked, this, &CStereoDlg::onCreate);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    updateEnabling();

    if (autoStart) {
        m_create->setEnabled(false);
        QTimer::singleShot(100, this, &CStereoDlg::onCreate);
    }
}

void CStereoDlg::updateEnabling() { m_number->setEnabled(m_radios[kCustom]->isChecked()); }

bool CStereoDlg::interlaceTicked() const { return m_interlace->isChecked(); }
// A box that is not shown (mono documents, eight pictures or more) never
// turns matching on: the in-between views of such documents are pictures.
bool CStereoDlg::patternMatchTicked() const {
    return m_patternMatch->isChecked() && m_ws.stereoPair() && m_ws.highResCount() < kHighResLimit;
}

std::optional<int> CStereoDlg::chosenStrength() {
    for (int i = 0; i < kCustom; ++i)
        if (m_radios[i]->isChecked()) return i + 1;
    if (!m_radios[kCustom]->isChecked()) return 0;  // no button: strength 0
    bool ok = false;
    const int v = m_number->text().trimmed().toInt(&ok);
    if (!ok || v < 0 || v > 99) {
        m_ws.host().message(integerRangeMessage(0, 99), MsgButtons::Ok, MsgIcon::Warning);
        m_number->setFocus();
        m_number->selectAll();
        return std::nullopt;
    }
    return v;
}

void CStereoDlg::reject() {
    if (!m_generating) QDialog::reject();
}

void CStereoDlg::setRange(int minimum, int maximum) { m_progress->setRange(minimum, maximum); }

void CStereoDlg::setPosition(int position) {
    m_progress->setValue(position);
    // Show the bar's progress without taking user input mid-generation.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CStereoDlg::onCreate() {
    const auto strength = chosenStrength();
    if (!strength) {
        m_create->setEnabled(true);
        return;
    }
    // The work cannot be stopped half-way: Cancel, Escape and the close box
    // wait for it, and what was clicked meanwhile is dropped, not replayed.
    m_create->setEnabled(false);
    m_cancel->setEnabled(false);
    m_generating = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_ws.stereoPair()) BuildPatternMultiView(m_ws, this, *strength, patternMatchTicked());
    else m_ws.GenerateViews(this, *strength, false);
    QApplication::restoreOverrideCursor();
    QApplication::processEvents();
    m_generating = false;
    m_cancel->setEnabled(true);
    if (m_ws.hasViews()) accept();
    else m_create->setEnabled(true);
}

}  // namespace plastora::ui
