#include "ui/ParamDlg.h"

#include "core/StereoWorkspace.h"
#include "platform/Host.h"
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

QLineEdit* numberField(QWidget* parent) {
    auto* f = new QLineEdit(parent);
    f->setMaximumWidth(64);
    f->setAlignment(Qt::AlignRight);
    return f;
}

}  // namespace

CParamDlg::CParamDlg(const ParamValues& values, Host& host, QWidget* parent)
    : QDialog(parent), m_values(values), m_host(host) {
    setWindowTitle(QStringLiteral("パラメータ設定ダイアログ"));
    m_fixRatio = new QCheckBox(QStringLiteral("オブジェクト拡大縮小時の縦横比固定"), this);
    m_copyPrint = new QCheckBox(QStringLiteral("メモリ経由で印刷"), this);
    m_maskWidth = numberField(this);
    m_paintWidth = numberField(this);
    m_shadow = numberField(this);
    m_jpegQuality = numberField(this);
    m_maskOpacity = numberField(this);

    auto* grid = new QGridLayout;
    const auto row = [&](int r, const char* label, QLineEdit* field, const char* unit) {
        grid->addWidget(new QLabel(QString::fromUtf8(label), this), r, 0);
        grid->addWidget(field, r, 1);
        grid->addWidget(new QLabel(QString::fromUtf8(unit), this), r, 2);
    };
    row(0, "切出しマスクペン太さ", m_maskWidth, "ﾄﾞｯﾄ");
    row(1, "手書ペン太さ", m_paintWidth, "ﾄﾞｯﾄ");
    row(2, "影の白レベル", m_shadow, "(0～255)");
    row(3, "出力JPEG画質", m_jpegQuality, "%");
    row(4, "マスク表示の不透明度", m_maskOpacity, "% (0～100)");

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    m_standard = buttons->addButton(QStringLiteral("標準に戻す"), QDialogButtonBox::ResetRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CParamDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CParamDlg::reject);
    // The standard values go into the fields only; OK still decides.
    connect(m_standard, &QPushButton::clicked, this, [this] { fill(standardParameters()); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_fixRatio);
    layout->addWidget(m_copyPrint);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    fill(m_values);
}

void CParamDlg::fill(const ParamValues& v) {
    m_fixRatio->setChecked(v.fixRatio);
    m_copyPrint->setChecked(v.copyPrint);
    m_maskWidth->setText(QString::number(v.maskWidth));
    m_paintWidth->setText(QString::number(v.paintWidth));
    m_shadow->setText(QString::number(v.shadowLevel));
    m_jpegQuality->setText(QString::number(v.jpegQuality));
    m_maskOpacity->setText(QString::number(v.maskOpacity));
}

void CParamDlg::accept() {
    ParamValues v;
    const auto read = [this](QLineEdit* field, ParamRange range, int& out) {
        bool ok = false;
        const int n = field->text().trimmed().toInt(&ok);
        if (!ok || n < range.lo || n > range.hi) {
            m_host.message(integerRangeMessage(range.lo, range.hi), MsgButtons::Ok, MsgIcon::Warning);
            field->setFocus();
            field->selectAll();
            return false;
        }
        out = n;
        return true;
    };
    if (!read(m_maskWidth, kMaskWidthRange, v.maskWidth) || !read(m_paintWidth, kPaintWidthRange, v.paintWidth) ||
        !read(m_shadow, kShadowRange, v.shadowLevel) || !read(m_jpegQuality, kJpegQualityRange, v.jpegQuality) ||
        !read(m_maskOpacity, kMaskOpacityRange, v.maskOpacity))
        return;
    v.fixRatio = m_fixRatio->isChecked();
    v.copyPrint = m_copyPrint->isChecked();
    m_values = v;
    QDialog::accept();
}

bool runParamDialog(CStereoWorkspace& ws, Host& host, QWidget* parent) {
    CParamDlg dlg(currentParameters(ws), host, parent);
    if (dlg.exec() != QDialog::Accepted) return false;
    applyParameters(ws, dlg.values());
    ws.Redraw();
    return true;
}

}  // namespace plastora::ui
