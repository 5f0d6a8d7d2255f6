#include "ui/DialogParts.h"

#include "output/WorkingSize.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>


namespace plastora::ui {

DialogButtons makeDialogButtons(QDialog* dialog) {
    DialogButtons b;
    b.standard = new QPushButton(QStringLiteral("標準に戻す"), dialog);
    b.ok = new QPushButton(QStringLiteral("OK"), dialog);
    b.cancel = new QPushButton(QStringLiteral("キャンセル"), dialog);
    b.ok->setDefault(true);
    b.box = new QDialogButtonBox(dialog);
    b.box->addButton(b.standard, QDialogButtonBox::ResetRole);
    b.box->addButton(b.ok, QDialogButtonBox::AcceptRole);
    b.box->addButton(b.cancel, QDialogButtonBox::RejectRole);
    QObject::connect(b.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return b;
}

DialogButtons makeOkCancelButtons(QDialog* dialog) {
    DialogButtons b;
    b.standard = nullptr;
    b.box = new QDialogButtonBox(dialog);
    b.ok = b.box->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    b.ok->setObjectName("ok");
    b.ok->setDefault(true);
    b.cancel = b.box->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    b.cancel->setObjectName("cancel");
    QObject::connect(b.box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(b.box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return b;
}

QCheckBox* makeTick(QWidget* parent, const char* label, const char* name, bool checked) {
    auto* box = new QCheckBox(QString::fromUtf8(label), parent);
    box->setObjectName(name);
    box->setChecked(checked);
    return box;
}

int fieldInt(const QLineEdit* field) {
    bool ok = false;
    const int v = field->text().trimmed().toInt(&ok);
    return ok ? v : -1;
}

double fieldNumber(const QLineEdit* field) {
    bool ok = false;
    const double v = field->text().trimmed().toDouble(&ok);
    return ok ? v : -1;
}

std::string integerRangeMessage(int lo, int hi) {
    return QStringLiteral("%1 から %2 までの整数を入力してください。").arg(lo).arg(hi).toStdString();
}

QString decimalText(double v) { return QString::fromStdString(lensText(v)); }

std::string numberRangeMessage(double lo, double hi) {
    // Limits are shown the way "%g" prints them: 20, not 20.0.
    return QStringLiteral("%1 から %2 までの数値を入力してください。")
        .arg(QString::number(lo, 'g', 6), QString::number(hi, 'g', 6))
        .toStdString();
}

}  // namespace plastora::ui
