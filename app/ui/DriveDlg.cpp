#include "ui/DriveDlg.h"

#include "core/Settings.h"
#include "stereo/StereoFiles.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace plastora::ui {

CDriveDlg::CDriveDlg(CStereoWorkspace& ws, std::vector<std::string> mounts, QWidget* parent)
    : QDialog(parent), m_ws(ws), m_drives(new QComboBox(this)) {
    setWindowTitle(QStringLiteral("ドライブ選択ダイアログ"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("NINTENDO 3DSのメモリーカードをメモリースロットル差し込んでください。"), this));
    layout->addWidget(new QLabel(QStringLiteral("スロットルのデバイスドライブを選択してください。"), this));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("デバイスドライブ"), this));
    m_drives->setEditable(true);
    m_drives->setInsertPolicy(QComboBox::NoInsert);
    m_drives->setMinimumContentsLength(24);
    for (const std::string& m : mounts) m_drives->addItem(QString::fromStdString(m));
    const QString stored = QString::fromStdString(Settings(ws.settingsPath()).getText(SettingKey::OptionDrive));
    const int index = m_drives->findText(stored);
    if (index >= 0)
        m_drives->setCurrentIndex(index);
    else if (m_drives->count() == 0)
        m_drives->setEditText(stored);
    row->addWidget(m_drives, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDriveDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDriveDlg::reject);
    layout->addWidget(buttons);
}

CDriveDlg::CDriveDlg(CStereoWorkspace& ws, QWidget* parent) : CDriveDlg(ws, removableMounts(), parent) {}

std::string CDriveDlg::chosenDrive() const { return m_drives->currentText().trimmed().toStdString(); }

void CDriveDlg::accept() {
    const std::string drive = chosenDrive();
    if (!acceptCardDrive(m_ws, drive)) return;
    QDialog::accept();
}

bool runDriveDialog(CStereoWorkspace& ws, QWidget* parent) {
    CDriveDlg dialog(ws, parent);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace plastora::ui
