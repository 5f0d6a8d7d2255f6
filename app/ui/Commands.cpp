#include "ui/Commands.h"

#include "core/Help.h"
#include "core/Settings.h"
#include "core/Version.h"
#include "layers/DepthViews.h"
#include "output/Anaglyph.h"
#include "output/Interlace.h"
#include "output/PitchTest.h"
#include "output/Video.h"
#include "stereo/StereoFiles.h"
#include "ui/MainFrame.h"
#include "ui/QtHost.h"
#include "ui/AdjustDlg.h"
#include "ui/AnaglyphDlg.h"
#include "ui/BackDlg.h"
#include "ui/DriveDlg.h"
#include "ui/FaceDetectDlg.h"
#include "ui/FaceResultDlg.h"
#include "ui/HelpBrowser.h"
#include "ui/InterlaceDlg.h"
#include "ui/PMDlg.h"
#include "ui/PitchTestDlg.h"
#include "ui/PrintDlg.h"
#include "ui/VideoDlg.h"
#include "ui/ParamDlg.h"
#include "ui/PlastoraView.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

namespace plastora::ui {

bool hasPicture(const CStereoWorkspace& ws) { return ws.mode() != kModeNone && !ws.source().empty(); }
bool hasViews(const CStereoWorkspace& ws) { return ws.viewCount() > 0 && !ws.view(0).empty(); }

namespace {

using WS = const CStereoWorkspace&;

bool always(WS) { return true; }
bool picture(WS ws) { return hasPicture(ws); }
bool mode1(WS ws) { return ws.mode() == kModeMask; }
bool mode1Many(WS ws) { return ws.mode() == kModeMask && ws.regionCount() > 1; }
bool compositeExists(WS ws) { return !ws.composite().empty(); }

CStereoWorkspace& W(CMainFrame& f) { return f.view()->workspace(); }

bool openWithDesktop(const std::string& target) { return openHelpTarget(target); }

std::vector<Command> buildTable() {
    std::vector<Command> t;
    auto add = [&](std::string id, MenuId m, std::string text, QKeySequence key,
                   std::function<bool(WS)> enabled, std::function<void(CMainFrame&)> run,
                   std::function<bool(WS)> pressed = {}, bool sep = false) {
        t.push_back(Command{std::move(id), m, std::move(text), key, std::move(enabled), std::move(pressed), std::move(run), sep});
    };
    // File
    // Ctrl+N: only the question about the modified picture, as a new
    // document has nothing of its own to set up.
    add("new", MenuId::None, "新規作成", QKeySequence("Ctrl+N"), always, [](CMainFrame& f) { W(f).SaveModified(); });
    add("open", MenuId::File, "開く(&O)...", QKeySequence("Ctrl+O"), always, [](CMainFrame& f) { W(f).Open(); });
    add("sample", MenuId::File, "サンプルデータを開く...", {}, always, [](CMainFrame& f) { W(f).OpenSampleData(); });
    add("save", MenuId::File, "上書き保存(&S)", QKeySequence("Ctrl+S"), picture,
        [](CMainFrame& f) { W(f).Save(W(f).currentPath()); });
    add("saveAs", MenuId::File, "名前を付けて保存(&A)...", {}, picture, [](CMainFrame& f) { W(f).Save(); });
    add("saveComposite", MenuId::File, "合成画像の保存(&C)...", {}, compositeExists,
        [](CMainFrame& f) { W(f).SaveComposite(); }, {}, true);
    add("saveEdit", MenuId::File, "編集画像の保存(&P)...", {},
        [](WS ws) { return ws.mode() == kModeImage || ws.mode() == kModeInterlace; },
        [](CMainFrame& f) { W(f).SaveEditImage(); });
    add("exportRegion", MenuId::File, "切出し画像の保存(&M)...", {}, mode1, [](CMainFrame& f) { W(f).ExportRegion(); });
    add("saveViews", MenuId::File, "立体画像の保存(&L)...", {}, hasViews, [](CMainFrame& f) { SaveAllViews(W(f)); });
    add("saveAnaglyph", MenuId::File, "アナグリフ画像の保存(&B)...", {},
        [](WS ws) { return ws.mode() == kModeAnaglyph; }, [](CMainFrame& f) { SaveAnaglyph(W(f)); });
    add("openStereo", MenuId::File, "ステレオ画像を開く...", {}, always, [](CMainFrame& f) { OpenStereoImage(W(f)); }, {},
        true);
    add("saveStereo", MenuId::File, "ステレオ画像の保存...", {},
        [](WS ws) { return ws.highResCount() > 0 || hasViews(ws); }, [](CMainFrame& f) { SaveStereoPair(W(f)); });
    add("saveCard", MenuId::File, "NINTENDO 3DS用保存(&N)...", {}, picture, [](CMainFrame& f) {
        ExportTo3ds(W(f), [&f](CStereoWorkspace& ws) { return runDriveDialog(ws, &f); });
    });
    add("movie", MenuId::File, "動画ファイルの作成(&V)...", {},
        [](WS ws) { return ws.highResCount() > 0 || hasViews(ws); }, [](CMainFrame& f) { MakeMovie(W(f)); });
    add("print", MenuId::File, "印刷...", QKeySequence("Ctrl+P"),
        [](WS ws) { return compositeExists(ws) || ws.mode() == kModeImage || ws.mode() == kModeAnaglyph; },
        [](CMainFrame& f) { OnFilePrint(W(f), &f); }, {}, true);
    add("printSetup", MenuId::File, "プリンタの設定(&R)...", {}, always, [](CMainFrame& f) { OnFilePrintSetup(W(f), &f); });
    add("openWithDepth", MenuId::File, "深度マップ付きで開く...", {}, always,
        [](CMainFrame& f) { OpenPhotoWithDepth(W(f)); }, {}, true);
    add("saveDepthMap", MenuId::File, "深度マップの保存...", {}, [](WS ws) { return picture(ws) && !ws.stereoPair(); },
        [](CMainFrame& f) { ExportDepthMap(W(f)); });
    add("exit", MenuId::File, "アプリケーションの終了(&X)", {}, always, [](CMainFrame& f) { f.close(); }, {}, true);
    // Edit
    add("undo", MenuId::Edit, "元に戻す(&U)", QKeySequence("Ctrl+Z"), [](WS ws) { return ws.canUndo(); },
        [](CMainFrame& f) { W(f).Undo(); });
    add("redo", MenuId::Edit, "やり直し(&R)", QKeySequence("Ctrl+Y"), [](WS ws) { return ws.canRedo(); },
        [](CMainFrame& f) { W(f).Redo(); });
    add("maskMode", MenuId::Edit, "前景切出し(&M)", {}, [](WS ws) { return hasPicture(ws) && ws.regionCount() > 0; },
        [](CMainFrame& f) { W(f).SetMode(kModeMask); }, mode1, true);
    add("imageMode", MenuId::Edit, "画像編集(&E)", {}, picture, [](CMainFrame& f) { W(f).SetMode(kModeImage); },
        [](WS ws) { return ws.mode() == kModeImage; });
    add("adjust", MenuId::Edit, "画質調整(&R)", {},
        [](WS ws) { return hasPicture(ws) && (ws.mode() == kModeMask || ws.mode() == kModeImage); },
        [](CMainFrame& f) { RunAdjustCommand(W(f), &f); });
    add("faces", MenuId::Edit, "顔検出(&A)...", {}, [](WS ws) { return hasPicture(ws) && ws.mode() == kModeMask; },
        [](CMainFrame& f) { CFaceResultDlg::Run(W(f), &f); });
    add("stereo", MenuId::Edit, "立体画像作成(&S)...", {}, picture, [](CMainFrame& f) { W(f).RunStereoDialog(false); },
        {}, true);
    add("compose", MenuId::Edit, "立体画像合成(&C)", {},
        [](WS ws) { return ws.viewCount() > 1 && !ws.view(1).empty() && !compositeExists(ws); },
        [](CMainFrame& f) {
            // With the display-size view count the composite is shown maximised.
            if (W(f).Compose() && Settings(W(f).settingsPath()).getInt(SettingKey::PictureDisplay) != 0)
                f.showMaximized();
        });
    add("rotate", MenuId::Edit, "画像回転(&R)", {}, [](WS ws) { return hasPicture(ws) && ws.rotationAllowed(); },
        [](CMainFrame& f) { RunRotateCommand(W(f)); });
    add("addRegion", MenuId::Edit, "切出し領域追加(&A)", {}, mode1, [](CMainFrame& f) { W(f).AddRegion(); }, {}, true);
    add("deleteRegion", MenuId::Edit, "切出し領域削除(&D)", {}, mode1Many, [](CMainFrame& f) { W(f).DeleteRegion(); });
    add("switchRegion", MenuId::Edit, "切出し領域切替(&S)", {}, mode1, [](CMainFrame& f) { W(f).SwitchRegion(); });
    add("maskingMask", MenuId::Edit, "ﾏｽｷﾝｸﾞﾏｽｸ設定(&M)", {}, mode1Many, [](CMainFrame& f) { W(f).SetMaskingMask(); });
    // The masking toggle lives on the mask palette and the right-button menu.
    add("masking", MenuId::None, "ﾏｽｷﾝｸﾞ", {}, [](WS ws) { return ws.currentRegion() > 0; },
        [](CMainFrame& f) { W(f).ToggleMasking(); }, [](WS ws) { return ws.maskingOn(); });
    // Tool palettes.
    auto mode12 = [](WS ws) { return ws.mode() == kModeMask || ws.mode() == kModeImage; };
    auto tool = [](int t) { return [t](WS ws) { return ws.tool() == t; }; };
    auto select = [](int t) { return [t](CMainFrame& f) { W(f).SelectTool(t); }; };
    add("pen", MenuId::None, "ﾍﾟﾝﾂｰﾙ", {}, mode12, select(kToolPen), tool(kToolPen));
    add("eraser", MenuId::None, "消しｺﾞﾑﾂｰﾙ", {}, mode12, select(kToolEraser), tool(kToolEraser));
    add("fill", MenuId::None, "塗つぶしﾂｰﾙ", {}, mode12, select(kToolFill), tool(kToolFill));
    add("zoom", MenuId::None, "ｽﾞｰﾑﾂｰﾙ", {},
        [](WS ws) { return ws.mode() == kModeMask || (ws.mode() == kModeImage && ws.tool() != kToolMove); },
        [](CMainFrame& f) { W(f).ZoomTool(); }, [](WS ws) { return ws.zoom() > 1; });
    add("outline", MenuId::None, "マスク領域を輪郭線で表示する", {}, mode1,
        select(kToolOutline), tool(kToolOutline));
    add("move", MenuId::None, "ｵﾌﾞｼﾞｪｸﾄを移動", {}, [](WS ws) { return ws.mode() == kModeImage; },
        select(kToolMove), tool(kToolMove));
    add("colour", MenuId::None, "色を設定", {}, [](WS ws) { return ws.mode() == kModeImage; },
        [](CMainFrame& f) { W(f).ChooseColour(); });
    add("text", MenuId::None, "文字ﾂｰﾙ", {}, [](WS ws) { return ws.mode() == kModeImage; },
        [](CMainFrame& f) { W(f).AddTextObject(); });
    add("clipArt", MenuId::None, "ｸﾘｯﾌﾟｱｰﾄを挿入する", {}, [](WS ws) { return ws.mode() == kModeImage; },
        [](CMainFrame& f) { W(f).AddPictureObject(); });
    add("shape", MenuId::None, "図形を挿入する", {}, [](WS ws) { return ws.mode() == kModeImage; },
        [](CMainFrame& f) { W(f).AddShapeObject(); });
    auto notLast = [](WS ws) { return mode1Many(ws) && ws.currentRegion() < ws.regionCount() - 1; };
    auto notFirst = [](WS ws) { return ws.mode() == kModeMask && ws.currentRegion() > 0; };
    add("regionTop", MenuId::Edit, "最前面へ", {}, notLast,
        [](CMainFrame& f) { W(f).MoveRegionInOrder(W(f).regionCount() - 1); }, {}, true);
    add("regionUp", MenuId::Edit, "前面へ", {}, notLast,
        [](CMainFrame& f) { W(f).MoveRegionInOrder(W(f).currentRegion() + 1); });
    add("regionDown", MenuId::Edit, "背面へ", {}, notFirst,
        [](CMainFrame& f) { W(f).MoveRegionInOrder(W(f).currentRegion() - 1); });
    add("regionBottom", MenuId::Edit, "最背面へ", {}, notFirst, [](CMainFrame& f) { W(f).MoveRegionInOrder(0); });
    // Text and shapes have a dialog to edit; clip art has none.
    auto editableObject = [](WS ws) {
        if (ws.mode() != kModeImage || ws.currentObject() < 0 || ws.currentObject() >= ws.objectCount()) return false;
        const int type = ws.objectEntry(ws.currentObject()).type;
        return type == kObjectText || type == kObjectShape;
    };
    add("editObject", MenuId::Edit, "文字/図形編集(&T)", {}, editableObject, [](CMainFrame& f) { W(f).EditObject(); }, {},
        true);
    // Object order and deletion: the right-button menu of image editing.
    auto objectNotLast = [](WS ws) {
        return ws.mode() == kModeImage && ws.currentObject() >= 0 && ws.currentObject() < ws.objectCount() - 1;
    };
    auto objectNotFirst = [](WS ws) { return ws.mode() == kModeImage && ws.currentObject() > 0; };
    // In the Edit menu beside the region entries of the same names; the main
    // window shows the object ones in image editing and the region ones
    // otherwise.
    add("objectTop", MenuId::Edit, "最前面へ", {}, objectNotLast,
        [](CMainFrame& f) { W(f).MoveObjectInOrder(W(f).objectCount() - 1); }, {}, true);
    add("objectUp", MenuId::Edit, "前面へ", {}, objectNotLast,
        [](CMainFrame& f) { W(f).MoveObjectInOrder(W(f).currentObject() + 1); });
    add("objectDown", MenuId::Edit, "背面へ", {}, objectNotFirst,
        [](CMainFrame& f) { W(f).MoveObjectInOrder(W(f).currentObject() - 1); });
    add("objectBottom", MenuId::Edit, "最背面へ", {}, objectNotFirst, [](CMainFrame& f) { W(f).MoveObjectInOrder(0); });
    add("objectDelete", MenuId::None, "削除", {}, [](WS ws) { return ws.mode() == kModeImage && ws.currentObject() >= 0; },
        [](CMainFrame& f) { W(f).RemoveObject(); });
    add("depth", MenuId::Edit, "遠近設定(&D)...", {}, picture, [](CMainFrame& f) { W(f).RunDepthDialog(); });
    add("anaglyph", MenuId::Edit, "アナグリフ画像作成(&A)...", {}, picture,
        [](CMainFrame& f) { RunAnaglyphCommand(W(f), &f); }, {}, true);
    add("interlace", MenuId::Edit, "インターレース画像の作成(&I)", {}, hasViews, [](CMainFrame& f) { CreateInterlace(W(f)); });
    add("spectral", MenuId::Edit, "分光メガネ用画像作成(&C)...", {}, picture,
        [](CMainFrame& f) { RunSpectralCommand(W(f), &f); });
    // View
    add("animation", MenuId::View, "立体画像(&M)", {}, hasViews, [](CMainFrame& f) { W(f).StartViewAnimation(); },
        [](WS ws) { return ws.mode() == kModeAnimation; });
    add("showComposite", MenuId::View, "合成画像(&C)", {}, compositeExists,
        [](CMainFrame& f) {
            W(f).setDisplayMode(kModeComposite);
            W(f).Redraw();
        },
        [](WS ws) { return ws.mode() == kModeComposite; });
    // Options
    add("params", MenuId::Option, "パラメータ設定(&P)...", {}, always,
        [](CMainFrame& f) { runParamDialog(W(f), f.view()->host(), &f); });
    add("paper", MenuId::Option, "用紙サイズ変更(&F)...", {}, picture, [](CMainFrame& f) { W(f).ChangePaperSize(); });
    add("interlaceSettings", MenuId::Option, "インターレース設定(&I)...", {}, always,
        [](CMainFrame& f) { RunInterlaceSettings(W(f), &f); });
    add("pmSettings", MenuId::Option, "パターンマッチ設定(&M)...", {}, always, [](CMainFrame& f) {
        CPMDlg dlg(f.view()->host(), W(f).settingsPath(), &f);
        dlg.exec();
    });
    add("faceSettings", MenuId::Option, "顔検出設定(&A)...", {}, always, [](CMainFrame& f) {
        CFaceDetectDlg dlg(f.view()->host(), W(f).settingsPath(), &f);
        dlg.exec();
    });
    add("videoSettings", MenuId::Option, "動画出力設定(&V)...", {}, always,
        [](CMainFrame& f) { RunVideoSettings(f.view()->host(), W(f).settingsPath(), &f); });
    add("pitchTest", MenuId::Option, "ピッチテスト印刷", {}, always, [](CMainFrame& f) {
        // The lens of the open picture, else the standard one.
        CStereoWorkspace& ws = W(f);
        const double lpi = hasPicture(ws) ? ws.lpi() : Settings(ws.settingsPath()).getFloat(SettingKey::LenticularLPI);
        CPrintDlg dialogs(&f);
        RunPitchTestCommand(f.view()->host(), dialogs, lpi, ws.settings().viewCount, ws.settings().pitch, &f);
    }, {}, true);
    // Help
    add("doc", MenuId::Help, "ドキュメントの表示(&D)", {}, always,
        [](CMainFrame& f) { ShowHelp(f.view()->host(), W(f).settingsPath(), HelpPage::Manual, openWithDesktop); });
    add("tutorial", MenuId::Help, "チュートリアル(&T)", {}, always,
        [](CMainFrame& f) { ShowHelp(f.view()->host(), W(f).settingsPath(), HelpPage::Tutorial, openWithDesktop); });
    add("about", MenuId::Help, "バージョン情報(&A)...", {}, always, [](CMainFrame& f) {
        QMessageBox::about(&f, shownText("バージョン情報"), shownText("%1\n\n写真1枚から立体画像を作るプログラム").arg(versionText()));
    }, {}, true);
    return t;
}

}  // namespace

const std::vector<Command>& commandTable() {
    static const std::vector<Command> table = buildTable();
    return table;
}

const Command* findCommand(const std::string& id) {
    for (const auto& c : commandTable())
        if (c.id == id) return &c;
    return nullptr;
}

}  // namespace plastora::ui
