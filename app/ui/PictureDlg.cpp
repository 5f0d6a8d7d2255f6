#include "ui/PictureDlg.h"

#include "ui/DialogParts.h"

#include "platform/Host.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace plastora::ui {

CPictureDlg::CPictureDlg(PictureDialogData& data, Host& host, QWidget* parent)
    : QDialog(parent), m_data(data), m_host(host) {
    setWindowTitle(QStringLiteral("画像読込みダイアログ"));

    auto* paperBox = new QGroupBox(this);
    auto* paperLayout = new QGridLayout(paperBox);
    auto* paperGroup = new QButtonGroup(this);
    for (int i = 0; i < kPaperCount; ++i) {
        m_paper[i] = new QRadioButton(QString::fromUtf8(kPaperNames[i]), paperBox);
        paperGroup->addButton(m_paper[i], i);
        paperLayout->addWidget(m_paper[i], i < kPaperUser ? i / 2 : 3, i < kPaperUser ? i % 2 : 0);
    }
    m_width = new QLineEdit(paperBox);
    m_height = new QLineEdit(paperBox);
    m_width->setMaximumWidth(64);
    m_height->setMaximumWidth(64);
    auto* mmRow = new QHBoxLayout;
    mmRow->addWidget(m_width);
    mmRow->addWidget(new QLabel(QStringLiteral("mm ×"), paperBox));
    mmRow->addWidget(m_height);
    mmRow->addWidget(new QLabel(QStringLiteral("mm"), paperBox));
    mmRow->addStretch();
    paperLayout->addLayout(mmRow, 3, 1);

    auto* trimBox = new QGroupBox(this);
    auto* trimLayout = new QVBoxLayout(trimBox);
    auto* trimGroup = new QButtonGroup(this);
    for (int i = 0; i < kTrimModeCount; ++i) {
        m_trimming[i] = new QRadioButton(QString::fromUtf8(kTrimmingNames[i]), trimBox);
        trimGroup->addButton(m_trimming[i], i);
        trimLayout->addWidget(m_trimming[i]);
    }
    m_highRes = new QCheckBox(QStringLiteral("高解像度画像を残す"), trimBox);
    trimLayout->addWidget(m_highRes);

    m_lpi = new QLineEdit(this);
    m_lpi->setMaximumWidth(64);
    auto* lpiRow = new QHBoxLayout;
    lpiRow->addWidget(m_lpi);
    lpiRow->addWidget(new QLabel(QStringLiteral("lpi"), this));
    lpiRow->addStretch();

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPictureDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPictureDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(paperBox);
    layout->addWidget(trimBox);
    layout->addLayout(lpiRow);
    layout->addWidget(buttons);

    // The fields as preset.
    if (data.paper >= 0 && data.paper < kPaperCount) m_paper[data.paper]->setChecked(true);
    if (data.trimming >= 0 && data.trimming < kTrimModeCount) m_trimming[data.trimming]->setChecked(true);
    m_width->setText(QString::number(data.userWidthMm));
    m_height->setText(QString::number(data.userHeightMm));
    m_lpi->setText(decimalText(data.lpi));
    m_lpiShown = m_lpi->text();
    m_highRes->setChecked(data.highRes);
    // A paper change, or a photo that keeps a high-resolution copy, must be
    // brought to a paper.
    m_trimming[kTrimNone]->setEnabled(!data.resizing && !data.highRes);
    updateEnabling();

    connect(paperGroup, &QButtonGroup::idClicked, this, &CPictureDlg::paperChosen);
    connect(trimGroup, &QButtonGroup::idClicked, this, &CPictureDlg::trimmingChosen);
}

int CPictureDlg::paper() const {
    for (int i = 0; i < kPaperCount; ++i)
        if (m_paper[i]->isChecked()) return i;
    return -1;
}

int CPictureDlg::trimming() const {
    for (int i = 0; i < kTrimModeCount; ++i)
        if (m_trimming[i]->isChecked()) return i;
    return -1;
}

void CPictureDlg::paperChosen(int /*index*/) {
    // A paper means trimming to it.
    if (trimming() == kTrimNone) m_trimming[kTrimCrop]->setChecked(true);
    updateEnabling();
}

void CPictureDlg::trimmingChosen(int /*index*/) { updateEnabling(); }

void CPictureDlg::updateEnabling() {
    const bool trims = trimming() != kTrimNone;
    for (QRadioButton* b : m_paper) b->setEnabled(trims);
    m_highRes->setEnabled(trims);
    const bool user = trims && paper() == kPaperUser;
    m_width->setEnabled(user);
    m_height->setEnabled(user);
}

void CPictureDlg::accept() {
    const auto refuse = [this](QLineEdit* field, const std::string& text) {
        m_host.message(text, MsgButtons::Ok, MsgIcon::Warning);
        field->setFocus();
        field->selectAll();
    };
    const auto readInt = [&](QLineEdit* field, int& out) {
        bool ok = false;
        const int v = field->text().trimmed().toInt(&ok);
        if (!ok || v < kMinPaperMm || v > kMaxPaperMm) {
            refuse(field, integerRangeMessage(kMinPaperMm, kMaxPaperMm));
            return false;
        }
        out = v;
        return true;
    };
    int w = 0, h = 0;
    if (!readInt(m_width, w) || !readInt(m_height, h)) return;
    bool ok = false;
    const double lpi = QLocale::c().toDouble(m_lpi->text().trimmed(), &ok);
    if (!ok || !(lpi >= kMinLpi && lpi <= kMaxLpi)) {
        refuse(m_lpi, numberRangeMessage(kMinLpi, kMaxLpi));
        return;
    }
    m_data.paper = paper();
    m_data.trimming = trimming();
    m_data.userWidthMm = w;
    m_data.userHeightMm = h;
    // The lens as shown is the lens the document has, whatever digits the
    // field rounded away: OK with it untouched changes nothing.
    if (m_lpi->text() != m_lpiShown) m_data.lpi = lpi;
    QDialog::accept();
}

}  // namespace plastora::ui
