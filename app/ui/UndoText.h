// The Edit menu's texts for undo and redo: what the next step takes back or
// brings again.
#pragma once

#include "core/UndoHistory.h"

#include <QString>

namespace plastora::ui {

// "切出し領域2のペン描画", "手書き部分の消しゴム", "オブジェクトの並び順", ...;
// empty when there is no step. Regions are counted from 1 as the user sees
// them.
QString undoStepText(const UndoInfo& step);
// The menu entries: "元に戻す(&U)" / "やり直し(&R)", followed by ": " and the
// step's text when there is one.
QString undoMenuText(const UndoInfo& step);
QString redoMenuText(const UndoInfo& step);

}  // namespace plastora::ui
