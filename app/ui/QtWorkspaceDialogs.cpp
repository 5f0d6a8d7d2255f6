#include "ui/QtWorkspaceDialogs.h"

#include "ui/PictureDlg.h"
#include "ui/TrimingDlg.h"

namespace plastora::ui {

bool QtWorkspaceDialogs::pictureDialog(PictureDialogData& data) {
    CPictureDlg dlg(data, m_host, m_parent);
    return dlg.exec() == QDialog::Accepted;
}

bool QtWorkspaceDialogs::trimmingDialog(TrimmingDialogData& data) {
    if (!data.photo || data.photo->empty()) return false;
    if (!data.host) data.host = &m_host;
    CTrimingDlg dlg(data, m_parent);
    return dlg.exec() == QDialog::Accepted;
}

}  // namespace plastora::ui
