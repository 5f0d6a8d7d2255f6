// QtWorkspaceDialogs: the workspace's mid-operation dialogs as Qt dialogs
// (CPictureDlg, CTrimingDlg, CDepthDlg, CStereoDlg, CTextDlg, CShapeDlg),
// modal over `parent`. Their messages go through `host`.
#pragma once

#include "core/WorkspaceDialogs.h"

class QWidget;

namespace plastora {
class Host;
}

namespace plastora::ui {

class QtWorkspaceDialogs : public WorkspaceDialogs {
public:
    QtWorkspaceDialogs(QWidget* parent, Host& host) : m_parent(parent), m_host(host) {}

    bool pictureDialog(PictureDialogData& data) override;
    bool trimmingDialog(TrimmingDialogData& data) override;
    void depthDialog(CStereoWorkspace& ws) override;
    bool stereoDialog(CStereoWorkspace& ws, bool autoStart, bool& interlace) override;
    bool textDialog(TextDialogData& data) override;
    bool shapeDialog(ShapeDialogData& data) override;

private:
    QWidget* m_parent;
    Host& m_host;
};

}  // namespace plastora::ui
