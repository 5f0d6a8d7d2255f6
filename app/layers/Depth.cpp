// The depth settings command.
#include "core/StereoWorkspace.h"

namespace plastora {

void CStereoWorkspace::RunDepthDialog() {
    SetMode(kModeImage);
    if (!m_dialogs) return;
    m_depthDialogOpen = true;
    Redraw();
    m_dialogs->depthDialog(*this);
    m_depthDialogOpen = false;
    Redraw();
}

}  // namespace plastora
