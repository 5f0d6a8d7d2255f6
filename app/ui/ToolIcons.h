// The pictures of the tool palettes' buttons and the painting cursors, drawn
// at run time so that they stay sharp and need no image files.
#pragma once

#include "core/StereoWorkspace.h"

#include <QCursor>
#include <QIcon>
#include <string>

namespace plastora::ui {

// The 32 x 32 button picture of a palette command (an empty icon for ids
// without one).
QIcon toolIcon(const std::string& commandId);
// A swatch of the paint colour for the colour button.
QIcon colourSwatch(ColorRef colour);
// The cursor shown over the picture for a tool.
QCursor toolCursor(ToolCursor kind);

}  // namespace plastora::ui
