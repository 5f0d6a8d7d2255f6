#include "ui/FaceResultDlg.h"

#include "autocut/FaceDetect.h"
#include "core/Settings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace plastora::ui {

CFaceResultDlg* CFaceResultDlg::Run(CStereoWorkspace& ws, QWidget* mainWindow) {
    // A dialog left open by an earlier run goes first, with its faces.
    ws.CloseFaceResult();
    if (DetectFaces(ws) == 0) return nullptr;
    auto* dlg = new CFaceResultDlg(ws, mainWindow);
    dlg->show();
    ws.Redraw();
    return dlg;
}

CFaceResultDlg::CFaceResultDlg(CStereoWorkspace& ws, QWidget* parent) : QDialog(parent), m_ws(ws) {
    setWindowTitle(QStringLiteral("顔検出結果ダイアログ"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* question = new QLabel(QStringLiteral("顔検出の結果を表示しています。\nこの結果を基に切出し領域を作成しますか？"), this);
    auto* hint = new QLabel(QStringLiteral("検出結果が間違っている場合は、不要の検出枠をクリックして削除してください。\n"
                                           "検出されない顔がある場合は顔の中心をクリックして追加してください。"),
                            this);
    m_separate = new QCheckBox(QStringLiteral("切出し領域を分ける(検出した顔数作成する)"), this);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    m_ok->setDefault(true);
    auto* box = new QDialogButtonBox(this);
    box->addButton(m_ok, QDialogButtonBox::AcceptRole);
    box->addButton(m_cancel, QDialogButtonBox::RejectRole);

    auto* top = new QVBoxLayout(this);
    top->addWidget(question);
    top->addWidget(hint);
    top->addWidget(m_separate);
    top->addWidget(box);

    connect(m_ok, &QPushButton::clicked, this, &CFaceResultDlg::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CFaceResultDlg::reject);

    // One face leaves nothing to separate.
    if (m_ws.faces().size() < 2) {
        m_separate->setEnabled(false);
    } else {
        m_separate->setChecked(Settings(m_ws.settingsPath()).getFlag(SettingKey::AutoMultiLayer));
    }

    m_ws.setFaceEditing(true);
    // Switching the display mode or opening a file closes the dialog: the
    // workspace has already dropped the faces then.
    m_ws.setFaceDialogCloser([this] {
        m_finished = true;
        hide();  // a visible dialog would take the close as a Cancel
        close();
    });
}

CFaceResultDlg::~CFaceResultDlg() {
    if (!m_finished) {
        m_ws.setFaceDialogCloser(nullptr);
        m_ws.setFaceEditing(false);
    }
}

void CFaceResultDlg::accept() {
    if (m_finished) return;
    if (!m_ws.faces().empty() && m_ws.mode() == kModeMask)
        AutoCutout(m_ws, m_separate->isEnabled() && m_separate->isChecked());
    finish(QDialog::Accepted);
}

void CFaceResultDlg::reject() {
    if (m_finished) return;
    finish(QDialog::Rejected);
}

void CFaceResultDlg::finish(int code) {
    m_finished = true;
    m_ws.setFaceDialogCloser(nullptr);
    m_ws.setFaceEditing(false);
    m_ws.Redraw();
    // done() hides the dialog; close() then deletes it (WA_DeleteOnClose).
    QDialog::done(code);
    close();
}

}  // namespace plastora::ui
