#include "ui/InterlaceDlg.h"

#include "core/StillImage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace plastora::ui {

CInterlaceDlg::CInterlaceDlg(const InterlaceSettings& preset, QWidget* parent) : QDialog(parent) {
    setWindowTitle("インターレース設定ダイアログ");
    auto* group = new QGroupBox(this);
    auto* groupLayout = new QVBoxLayout(group);
    auto* buttons = new QButtonGroup(this);
    const char* labels[2] = {"横インターレース", "縦インターレース"};
    for (int i = 0; i < 2; ++i) {
        m_type[i] = new QRadioButton(labels[i], group);
        buttons->addButton(m_type[i], i);
        groupLayout->addWidget(m_type[i]);
    }
    m_stereo = new QCheckBox("立体画像をインターレースで表示", this);
    m_swap = new QCheckBox("左右画像入替", this);
    m_ok = new QPushButton("OK", this);
    m_ok->setDefault(true);
    auto* cancel = new QPushButton("キャンセル", this);
    m_defaults = new QPushButton("標準に戻す", this);
    auto* box = new QDialogButtonBox(this);
    box->addButton(m_ok, QDialogButtonBox::AcceptRole);
    box->addButton(cancel, QDialogButtonBox::RejectRole);
    box->addButton(m_defaults, QDialogButtonBox::ResetRole);
    auto* top = new QVBoxLayout(this);
    top->addWidget(group);
    top->addWidget(m_stereo);
    top->addWidget(m_swap);
    top->addWidget(box);
    setControls(preset);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_defaults, &QPushButton::clicked, this, &CInterlaceDlg::onDefaults);
}

void CInterlaceDlg::setControls(const InterlaceSettings& s) {
    m_type[s.type == kInterlaceColumns ? 1 : 0]->setChecked(true);
    m_stereo->setChecked(s.stereo);
    m_swap->setChecked(s.swap);
}

void CInterlaceDlg::onDefaults() { setControls(InterlaceSettings{}); }

InterlaceSettings CInterlaceDlg::settings() const {
    InterlaceSettings s;
    s.type = m_type[1]->isChecked() ? kInterlaceColumns : kInterlaceRows;
    s.stereo = m_stereo->isChecked();
    s.swap = m_swap->isChecked();
    return s;
}

int RunInterlaceSettings(CStereoWorkspace& ws, QWidget* parent) {
    CInterlaceDlg dlg(readInterlaceSettings(ws.settingsPath()), parent);
    if (dlg.exec() != QDialog::Accepted) return 0;
    // The image is built from the file's values: unwritten, the choice would
    // not count even now.
    if (!ApplyInterlaceSettings(ws, dlg.settings())) {
        ws.host().message(kSaveFailedMessage, MsgButtons::Ok, MsgIcon::Warning);
        return 0;
    }
    return 1;
}

}  // namespace plastora::ui
