#include "ui/UndoText.h"

#include "core/StereoWorkspace.h"

namespace plastora::ui {

namespace {

QString toolText(int tool) {
    switch (tool) {
    case kToolPen: return QStringLiteral("ペン描画");
    case kToolEraser: return QStringLiteral("消しゴム");
    case kToolFill: return QStringLiteral("塗りつぶし");
    default: return QStringLiteral("変更");
    }
}

QString withStep(const QString& command, const UndoInfo& step) {
    const QString what = undoStepText(step);
    return what.isEmpty() ? command : command + QStringLiteral(": ") + what;
}

}  // namespace

QString undoStepText(const UndoInfo& step) {
    switch (step.kind) {
    case kUndoRegionMask: return QStringLiteral("切出し領域%1の").arg(step.region + 1) + toolText(step.tool);
    case kUndoPaintLayer: return QStringLiteral("手書き部分の") + toolText(step.tool);
    case kUndoObjectOrder: return QStringLiteral("オブジェクトの並び順");
    case kUndoObjectRecord: return QStringLiteral("オブジェクトの変更");
    case kUndoObjectBitmap: return QStringLiteral("オブジェクトの塗りつぶし");
    default: return {};
    }
}

QString undoMenuText(const UndoInfo& step) { return withStep(QStringLiteral("元に戻す(&U)"), step); }
QString redoMenuText(const UndoInfo& step) { return withStep(QStringLiteral("やり直し(&R)"), step); }

}  // namespace plastora::ui
