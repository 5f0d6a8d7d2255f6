#include "ui/PMDlg.h"

#include "core/StillImage.h"
#include "ui/DialogParts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace plastora::ui {

namespace {
constexpr const char* kAreaTooSmall = "パターンサイズに対して検出領域が小さすぎます(縦横共に2倍以上は必要)";
constexpr int kSizes[3] = {8, 16, 32};

int fieldValue(const QLineEdit* field) {
    bool ok = false;
    const int v = field->text().trimmed().toInt(&ok);
    return ok ? v : -1;
}
}  // namespace

CPMDlg::CPMDlg(Host& host, std::string settingsPath, QWidget* parent)
    : QDialog(parent), m_host(host), m_settingsPath(std::move(settingsPath)) {
    setWindowTitle("パターンマッチ設定ダイアログ");
    m_enable = new QCheckBox("パターンマッチによりマルチビューを作成する", this);
    m_checkMatch = new QCheckBox("検出パターン表示", this);

    auto* sizeGroup = new QGroupBox(this);
    auto* sizeLayout = new QHBoxLayout(sizeGroup);
    auto* sizeButtons = new QButtonGroup(this);
    const char* sizeLabels[3] = {"8x8ﾄﾞｯﾄ", "16x16ﾄﾞｯﾄ", "32x32ﾄﾞｯﾄ"};
    for (int i = 0; i < 3; ++i) {
        m_size[i] = new QRadioButton(sizeLabels[i], sizeGroup);
        sizeButtons->addButton(m_size[i], i);
        sizeLayout->addWidget(m_size[i]);
    }

    auto* areaGroup = new QGroupBox(this);
    auto* areaLayout = new QGridLayout(areaGroup);
    m_width = new QLineEdit(areaGroup);
    m_height = new QLineEdit(areaGroup);
    m_tolerance = new QLineEdit(areaGroup);
    for (QLineEdit* e : {m_width, m_height, m_tolerance}) e->setMaxLength(3);
    areaLayout->addWidget(new QLabel("幅", areaGroup), 0, 0);
    areaLayout->addWidget(m_width, 0, 1);
    areaLayout->addWidget(new QLabel("高さ", areaGroup), 0, 2);
    areaLayout->addWidget(m_height, 0, 3);
    areaLayout->addWidget(new QLabel("許容かい離値", areaGroup), 1, 0);
    areaLayout->addWidget(m_tolerance, 1, 1);
    areaLayout->addWidget(new QLabel("以下", areaGroup), 1, 2);

    auto* adjustGroup = new QGroupBox(this);
    auto* adjustLayout = new QHBoxLayout(adjustGroup);
    auto* adjustButtons = new QButtonGroup(this);
    const char* adjustLabels[3] = {"補正しない", "列で補正する", "行で補正する"};
    for (int i = 0; i < 3; ++i) {
        m_adjust[i] = new QRadioButton(adjustLabels[i], adjustGroup);
        adjustButtons->addButton(m_adjust[i], i);
        adjustLayout->addWidget(m_adjust[i]);
    }

    // How the in-between views are made: a dense disparity map with both
    // pictures warped to each view, or the block matcher below.
    auto* methodGroup = new QGroupBox(this);
    auto* methodLayout = new QHBoxLayout(methodGroup);
    auto* methodButtons = new QButtonGroup(this);
    m_method[kMethodBlocks] = new QRadioButton("ブロックの貼り付け", methodGroup);
    m_method[kMethodDense] = new QRadioButton("視差マップによる合成", methodGroup);
    for (int i : {kMethodDense, kMethodBlocks}) {
        methodButtons->addButton(m_method[i], i);
        methodLayout->addWidget(m_method[i]);
    }

    const DialogButtons buttons = makeDialogButtons(this);
    m_defaults = buttons.standard;
    m_ok = buttons.ok;
    auto* box = buttons.box;

    auto* top = new QVBoxLayout(this);
    top->addWidget(m_enable);
    top->addWidget(m_checkMatch);
    top->addWidget(methodGroup);
    top->addWidget(sizeGroup);
    top->addWidget(areaGroup);
    top->addWidget(adjustGroup);
    top->addWidget(box);

    connect(m_defaults, &QPushButton::clicked, this, &CPMDlg::restoreDefaults);
    connect(m_ok, &QPushButton::clicked, this, &CPMDlg::accept);

    showValues(readPatternMatchSettings(m_settingsPath));
}

void CPMDlg::showValues(const PatternMatchSettings& s) {
    m_enable->setChecked(s.enablePM);
    m_checkMatch->setChecked(s.checkMatch);
    // Sizes other than 8 and 32 show as 16.
    const int size = s.patternSize == 8 ? 0 : s.patternSize == 32 ? 2 : 1;
    m_size[size]->setChecked(true);
    m_width->setText(QString::number(s.sourceCol));
    m_height->setText(QString::number(s.sourceRow));
    m_tolerance->setText(QString::number(s.minDistance));
    m_method[s.method == kMethodBlocks ? kMethodBlocks : kMethodDense]->setChecked(true);
    // An adjust type that is none of the three selects no button.
    for (int i = 0; i < 3; ++i) {
        m_adjust[i]->setAutoExclusive(false);
        m_adjust[i]->setChecked(i == s.adjustType);
        m_adjust[i]->setAutoExclusive(true);
    }
}

void CPMDlg::restoreDefaults() { showValues(PatternMatchSettings{}); }

PatternMatchSettings CPMDlg::values() const {
    PatternMatchSettings s = readPatternMatchSettings(m_settingsPath);
    s.enablePM = m_enable->isChecked();
    s.checkMatch = m_checkMatch->isChecked();
    for (int i = 0; i < 3; ++i)
        if (m_size[i]->isChecked()) s.patternSize = kSizes[i];
    s.sourceCol = fieldValue(m_width);
    s.sourceRow = fieldValue(m_height);
    s.minDistance = fieldValue(m_tolerance);
    for (int i = 0; i < 3; ++i)
        if (m_adjust[i]->isChecked()) s.adjustType = i;
    s.method = m_method[kMethodBlocks]->isChecked() ? kMethodBlocks : kMethodDense;
    return s;
}

bool CPMDlg::checkRange(QLineEdit* field, int lo, int hi) {
    const int v = fieldValue(field);
    if (v >= lo && v <= hi) return true;
    m_host.message(integerRangeMessage(lo, hi), MsgButtons::Ok, MsgIcon::Warning);
    field->setFocus();
    field->selectAll();
    return false;
}

void CPMDlg::accept() {
    if (!checkRange(m_width, 16, 128) || !checkRange(m_height, 16, 128) || !checkRange(m_tolerance, 10, 90)) return;
    const PatternMatchSettings s = values();
    if (s.sourceCol < 2 * s.patternSize || s.sourceRow < 2 * s.patternSize) {
        m_host.message(kAreaTooSmall, MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    // Unwritten, the next matching would run with the old settings.
    if (!writePatternMatchSettings(m_settingsPath, s)) {
        m_host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    QDialog::accept();
}

}  // namespace plastora::ui
