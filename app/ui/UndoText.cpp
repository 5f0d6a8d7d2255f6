#include "ui/UndoText.h"

#include "core/StereoWorkspace.h"
#include "ui/QtHost.h"

namespace plastora::ui {

namespace {

QString toolText(int tool) {
    switch (tool) {
    case kToolPen: return shownText("ペン描画");
    case kToolEraser: return shownText("消しゴム");
    case kToolFill: return shownText("塗りつぶし");
    default: return shownText("変更");
    }
}

QString withStep(const QString& command, const UndoInfo& step) {
    const QString what = undoStepText(step);
    return what.isEmpty() ? command : command + QStringLiteral(": ") + what;
}

}  // namespace

QString undoStepText(const UndoInfo& step) {
    switch (step.kind) {
    case kUndoRegionMask: return shownText("切出し領域%1の").arg(step.region + 1) + toolText(step.tool);
    case kUndoPaintLayer: return shownText("手書き部分の") + toolText(step.tool);
    case kUndoObjectOrder: return shownText("オブジェクトの並び順");
    case kUndoObjectAdd: return shownText("オブジェクトの追加");
    case kUndoObjectRecord: return shownText("オブジェクトの変更");
    case kUndoObjectBitmap: return shownText("オブジェクトの塗りつぶし");
    default: return {};
    }
}

QString undoMenuText(const UndoInfo& step) { return withStep(shownText("元に戻す(&U)"), step); }
QString redoMenuText(const UndoInfo& step) { return withStep(shownText("やり直し(&R)"), step); }

}  // namespace plastora::ui
