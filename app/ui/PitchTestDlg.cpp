#include "ui/PitchTestDlg.h"

#include "output/WorkingSize.h"
#include "platform/Host.h"
#include "platform/Translation.h"
#include "ui/DialogParts.h"
#include "ui/PictureDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace plastora::ui {

const char* const kPitchTooManyStripsMessage =
    "帯の数が多すぎます。\n範囲を狭くするか、刻みを大きくしてください。";

namespace {

double numberIn(const QLineEdit* field, bool& ok) { return QLocale::c().toDouble(field->text().trimmed(), &ok); }

}  // namespace

CPitchTestDlg::CPitchTestDlg(const PitchTestRequest& preset, Host& host, QWidget* parent)
    : QDialog(parent), m_request(preset), m_host(host) {
    setWindowTitle(QStringLiteral("ピッチテスト印刷"));
    m_lpi = new QLineEdit(decimalText(preset.lpi), this);
    m_range = new QLineEdit(decimalText(preset.range), this);
    m_step = new QLineEdit(decimalText(preset.step), this);
    m_dpi = new QLineEdit(QString::number(preset.dpi > 0 ? preset.dpi : kDefaultPitchDpi), this);
    for (QLineEdit* field : {m_lpi, m_range, m_step, m_dpi}) field->setMaximumWidth(64);

    auto* grid = new QGridLayout;
    const auto row = [&](int r, const QString& label, QLineEdit* field, const QString& unit) {
        grid->addWidget(new QLabel(label, this), r, 0);
        grid->addWidget(field, r, 1);
        grid->addWidget(new QLabel(unit, this), r, 2);
    };
    row(0, QStringLiteral("レンズの解像度"), m_lpi, QStringLiteral("lpi"));
    row(1, QStringLiteral("テスト範囲 ±"), m_range, QStringLiteral("lpi"));
    row(2, QStringLiteral("刻み"), m_step, QStringLiteral("lpi"));
    row(3, QStringLiteral("プリンタの解像度"), m_dpi, QStringLiteral("dpi"));
    m_count = new QLabel(this);

    const DialogButtons buttons = makeOkCancelButtons(this);
    m_ok = buttons.ok;
    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addWidget(m_count);
    top->addWidget(buttons.box);
    for (QLineEdit* field : {m_lpi, m_range, m_step})
        connect(field, &QLineEdit::textChanged, this, &CPitchTestDlg::updateCount);
    updateCount();
}

// How many strips the typed values make, as the user types.
void CPitchTestDlg::updateCount() {
    bool a = false, b = false, c = false;
    const double lpi = numberIn(m_lpi, a), range = numberIn(m_range, b), step = numberIn(m_step, c);
    const std::size_t n = a && b && c ? pitchTestValues(lpi, range, step).size() : 0;
    // Set after the window's texts were translated, so translated here.
    const QString text = n > 0 ? QStringLiteral("%1 本の帯を印刷します").arg(n) : QString();
    m_count->setText(QString::fromStdString(translateText(text.toStdString())));
}

void CPitchTestDlg::accept() {
    const auto refuse = [this](QLineEdit* field, const std::string& text) {
        m_host.message(text, MsgButtons::Ok, MsgIcon::Warning);
        field->setFocus();
        field->selectAll();
    };
    const auto readNumber = [&](QLineEdit* field, double lo, double hi, double& out) {
        bool ok = false;
        const double v = numberIn(field, ok);
        if (!ok || !(v >= lo && v <= hi)) {
            refuse(field, numberRangeMessage(lo, hi));
            return false;
        }
        out = v;
        return true;
    };
    PitchTestRequest r;
    if (!readNumber(m_lpi, kMinLpi, kMaxLpi, r.lpi) || !readNumber(m_range, 0.0, kMaxPitchRange, r.range) ||
        !readNumber(m_step, kMinPitchStep, kMaxPitchStep, r.step))
        return;
    bool ok = false;
    r.dpi = m_dpi->text().trimmed().toInt(&ok);
    if (!ok || r.dpi < kMinPitchDpi || r.dpi > kMaxPitchDpi) {
        refuse(m_dpi, integerRangeMessage(kMinPitchDpi, kMaxPitchDpi));
        return;
    }
    if (pitchTestValues(r.lpi, r.range, r.step).empty()) {
        refuse(m_step, kPitchTooManyStripsMessage);
        return;
    }
    m_request = r;
    QDialog::accept();
}

int RunPitchTestCommand(Host& host, PrintDialogs& printDialogs, double lpi, int views, int pitch, QWidget* parent,
                        const std::string& setupPath) {
    PitchTestRequest preset;
    preset.lpi = lpi >= kMinLpi && lpi <= kMaxLpi ? lpi : preset.lpi;
    const int stored = storedPrinterResolution(setupPath);
    preset.dpi = stored >= kMinPitchDpi && stored <= kMaxPitchDpi ? stored : kDefaultPitchDpi;
    CPitchTestDlg dlg(preset, host, parent);
    if (dlg.exec() != QDialog::Accepted) return 0;
    return RunPitchTestPrint(host, printDialogs, dlg.request(), views, pitch, setupPath);
}

}  // namespace plastora::ui
