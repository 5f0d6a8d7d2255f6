#include "ui/FaceDetectDlg.h"

#include "core/StillImage.h"
#include "ui/DialogParts.h"

#include "ui/PictureDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace plastora::ui {

namespace {

constexpr double kScaleMin = 1.1, kScaleMax = 2.0;
constexpr const char* kCascadeFilter = "顔認識学習ﾌｧｲﾙ (*.xml)|*.xml||";
constexpr const char* kBodyFilter = "切出しﾃﾞｰﾀﾌｧｲﾙ (*.wmf)|*.wmf||";

}  // namespace

CFaceDetectDlg::CFaceDetectDlg(Host& host, std::string settingsPath, QWidget* parent)
    : QDialog(parent), m_host(host), m_settingsPath(std::move(settingsPath)) {
    setWindowTitle(QStringLiteral("顔検出設定ダイアログ"));
    m_scale = new QLineEdit(this);
    m_neighbors = new QLineEdit(this);
    m_minSize = new QLineEdit(this);
    m_canny = new QCheckBox(QStringLiteral("エッジ検出器を用いる"), this);
    m_cascadeName = new QLabel(this);
    m_bodyName = new QLabel(this);
    m_cascadeButton = new QPushButton(QStringLiteral("変更"), this);
    m_bodyButton = new QPushButton(QStringLiteral("変更"), this);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("スケールファクター"), this), 0, 0);
    grid->addWidget(m_scale, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("最小近傍"), this), 1, 0);
    grid->addWidget(m_neighbors, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("最小ウィンドウサイズ"), this), 2, 0);
    grid->addWidget(m_minSize, 2, 1);
    // What each detector number does, in the user's terms.
    const auto hint = [&](int row, const char* text) {
        auto* label = new QLabel(QString::fromUtf8(text), this);
        label->setEnabled(false);
        grid->addWidget(label, row, 2);
    };
    hint(0, "1.1～2.0: 小さいほど細かく探します(時間がかかります)");
    hint(1, "1～99: 大きいほど誤検出が減り、見落としが増えます");
    hint(2, "0～99 ﾄﾞｯﾄ: これより小さい顔は探しません");
    grid->addWidget(m_canny, 3, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("学習ファイル"), this), 4, 0);
    grid->addWidget(m_cascadeName, 4, 1);
    grid->addWidget(m_cascadeButton, 4, 2);
    grid->addWidget(new QLabel(QStringLiteral("切出しデータ"), this), 5, 0);
    grid->addWidget(m_bodyName, 5, 1);
    grid->addWidget(m_bodyButton, 5, 2);

    const DialogButtons buttons = makeDialogButtons(this);
    m_defaults = buttons.standard;
    m_ok = buttons.ok;
    auto* box = buttons.box;

    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    auto* note = new QLabel(QStringLiteral("この設定で顔が見つからないときは、付属の別の学習ファイル(正面・横顔)でも探します。"), this);
    note->setWordWrap(true);
    top->addWidget(note);
    top->addWidget(box);

    connect(m_cascadeButton, &QPushButton::clicked, this, &CFaceDetectDlg::changeCascade);
    connect(m_bodyButton, &QPushButton::clicked, this, &CFaceDetectDlg::changeBodyData);
    connect(m_defaults, &QPushButton::clicked, this, &CFaceDetectDlg::restoreDefaults);
    connect(m_ok, &QPushButton::clicked, this, &CFaceDetectDlg::accept);

    showValues(readFaceDetectSettings(m_settingsPath));
}

void CFaceDetectDlg::showValues(const FaceDetectSettings& s) {
    m_scale->setText(QString::number(s.scaleFactor, 'g', 6));
    m_neighbors->setText(QString::number(s.minNeighbors));
    m_minSize->setText(QString::number(s.minSize));
    m_canny->setChecked(s.cannyPruning);
    setCascade(s.cascadeFile);
    setBodyData(s.bodyData);
}

void CFaceDetectDlg::setCascade(const std::string& value) {
    m_cascade = value;
    m_cascadeName->setText(QString::fromStdString(autoDataFileName(value)));
}

void CFaceDetectDlg::setBodyData(const std::string& value) {
    m_body = value;
    m_bodyName->setText(QString::fromStdString(autoDataFileName(value)));
}

void CFaceDetectDlg::restoreDefaults() { showValues(FaceDetectSettings{}); }

void CFaceDetectDlg::changeCascade() {
    if (auto path = m_host.askOpenPath("xml", kCascadeFilter, autoDataFolder() + "/")) setCascade(*path);
}

void CFaceDetectDlg::changeBodyData() {
    if (auto path = m_host.askOpenPath("wmf", kBodyFilter, autoDataFolder() + "/")) setBodyData(*path);
}

FaceDetectSettings CFaceDetectDlg::values() const {
    FaceDetectSettings s;
    s.scaleFactor = fieldNumber(m_scale);
    s.minNeighbors = fieldInt(m_neighbors);
    s.minSize = fieldInt(m_minSize);
    s.cannyPruning = m_canny->isChecked();
    s.cascadeFile = m_cascade;
    s.bodyData = m_body;
    return s;
}

bool CFaceDetectDlg::checkScale() {
    const double v = fieldNumber(m_scale);
    if (v >= kScaleMin && v <= kScaleMax) return true;
    m_host.message(numberRangeMessage(kScaleMin, kScaleMax), MsgButtons::Ok, MsgIcon::Warning);
    m_scale->setFocus();
    m_scale->selectAll();
    return false;
}

bool CFaceDetectDlg::checkInt(QLineEdit* field, int lo, int hi) {
    const int v = fieldInt(field);
    if (v >= lo && v <= hi) return true;
    m_host.message(integerRangeMessage(lo, hi), MsgButtons::Ok, MsgIcon::Warning);
    field->setFocus();
    field->selectAll();
    return false;
}

void CFaceDetectDlg::accept() {
    if (!checkScale() || !checkInt(m_neighbors, 1, 99) || !checkInt(m_minSize, 0, 99)) return;
    // Unwritten, the next detection would run with the old settings.
    if (!writeFaceDetectSettings(m_settingsPath, values())) {
        m_host.message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    QDialog::accept();
}

}  // namespace plastora::ui
