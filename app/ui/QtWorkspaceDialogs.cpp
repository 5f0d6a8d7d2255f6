#include "ui/QtWorkspaceDialogs.h"

#include "ui/DepthDlg.h"
#include "ui/PictureDlg.h"
#include "ui/ShapeDlg.h"
#include "ui/StereoDlg.h"
#include "ui/TextDlg.h"
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

void QtWorkspaceDialogs::depthDialog(CStereoWorkspace& ws) {
    CDepthDlg dlg(ws, m_parent);
    dlg.exec();
}

bool QtWorkspaceDialogs::stereoDialog(CStereoWorkspace& ws, bool autoStart, bool& interlace) {
    CStereoDlg dlg(ws, autoStart, ws.cardExport(), m_parent);
    if (dlg.exec() != QDialog::Accepted) return false;
    interlace = dlg.interlaceTicked();
    return true;
}

bool QtWorkspaceDialogs::textDialog(TextDialogData& data) {
    CTextDlg dlg(data, m_parent);
    return dlg.exec() == QDialog::Accepted;
}

bool QtWorkspaceDialogs::shapeDialog(ShapeDialogData& data) {
    CShapeDlg dlg(data, m_host, m_parent);
    return dlg.exec() == QDialog::Accepted;
}

}  // namespace plastora::ui
