// The status-bar prompts and tool tips of the commands: the text before the
// line break is shown in the status bar while the pointer is on the command,
// the text after it as the button's tool tip.
#include "ui/Commands.h"

#include <map>

namespace plastora::ui {

const char* commandTip(const std::string& id) {
    static const std::map<std::string, const char*> tips = {
        {"open", "写真またはプロジェクトファイルを開きます\n開く"},
        {"sample", "サンプルの写真とプロジェクトを開きます\nサンプルデータを開く"},
        {"save", "編集中のプロジェクトを上書き保存します\n上書き保存"},
        {"saveAs", "編集中のプロジェクトに名前を付けて保存します\n名前を付けて保存"},
        {"saveComposite", "レンチキュラー印刷用の合成画像を保存します\n合成画像の保存"},
        {"saveEdit", "表示中の編集画像を JPEG またはビットマップで保存します\n編集画像の保存"},
        {"exportRegion", "表示中の切出し領域の画像を保存します\n切出し画像の保存"},
        {"saveViews", "作成した立体画像をすべて保存します\n立体画像の保存"},
        {"saveAnaglyph", "アナグリフ画像を保存します\nアナグリフ画像の保存"},
        {"openStereo", "左右2枚の写真または MPO ファイルをステレオ画像として開きます\nステレオ画像を開く"},
        {"saveStereo", "左右の画像をステレオ画像として保存します\nステレオ画像の保存"},
        {"saveCard", "NINTENDO 3DS のメモリーカードに立体写真を書き込みます\nNINTENDO 3DS用保存"},
        {"movie", "立体画像から動画ファイルまたはアニメーション GIF を作成します\n動画ファイルの作成"},
        {"print", "合成画像または編集画像を印刷します\n印刷"},
        {"printSetup", "プリンタと用紙を設定します\nプリンタの設定"},
        {"exit", "アプリケーションを終了します\n終了"},
        {"new", "新しい文書を作成します\n新規作成"},
        {"undo", "直前の描画を元に戻します\n元に戻す"},
        {"redo", "元に戻した操作をやり直します\nやり直し"},
        {"maskMode", "前景の切出し領域を描く画面に切り替えます\n前景切出し"},
        {"imageMode", "手書き・文字・図形を加える画面に切り替えます\n画像編集"},
        {"adjust", "写真の明るさとコントラストを調整します\n画質調整"},
        {"faces", "写真から顔を検出して人物を自動で切り出します\n顔検出"},
        {"stereo", "切出し領域と奥行きから立体画像を作成します\n立体画像作成"},
        {"compose", "立体画像をレンチキュラー用に合成します\n立体画像合成"},
        {"rotate", "写真を90度回転します\n画像回転"},
        {"addRegion", "拡張切出し領域を追加します\n拡張切出し領域追加"},
        {"deleteRegion", "表示中の拡張切出し領域を削除します\n拡張切出し領域削除"},
        {"switchRegion", "表示する切出し領域を切り替えます\n切出し領域を切替える"},
        {"maskingMask", "表示中の切出し領域をマスキング用のマスクにします\nﾏｽｷﾝｸﾞﾏｽｸ設定"},
        {"masking", "マスキング用マスクの外側に描かないようにします\n前景切出し領域をﾏｽｸにする"},
        {"pen", "ペンで描きます\nﾍﾟﾝﾂｰﾙ"},
        {"eraser", "消しゴムで消します\n消しｺﾞﾑﾂｰﾙ"},
        {"fill", "囲まれた範囲を塗りつぶします\n塗つぶしﾂｰﾙ"},
        {"zoom", "表示を拡大します (1, 2, 4, 8 倍)\nｽﾞｰﾑﾂｰﾙ"},
        {"outline", "マスク領域を輪郭線で表示します\nマスク領域を輪郭線で表示する"},
        {"move", "文字・図形・クリップアートを移動します\nｵﾌﾞｼﾞｪｸﾄを移動"},
        {"colour", "ペンの色を設定します\n色を設定"},
        {"text", "文字を入れます\n文字ﾂｰﾙ"},
        {"clipArt", "クリップアートを挿入します\nｸﾘｯﾌﾟｱｰﾄを挿入する"},
        {"shape", "図形を挿入します\n図形を挿入する"},
        {"regionTop", "切出し領域を最も手前にします\n最前面へ"},
        {"regionUp", "切出し領域を一つ手前にします\n前面へ"},
        {"regionDown", "切出し領域を一つ奥にします\n背面へ"},
        {"regionBottom", "切出し領域を最も奥にします\n最背面へ"},
        {"objectTop", "オブジェクトを最も手前にします\n最前面へ"},
        {"objectUp", "オブジェクトを一つ手前にします\n前面へ"},
        {"objectDown", "オブジェクトを一つ奥にします\n背面へ"},
        {"objectBottom", "オブジェクトを最も奥にします\n最背面へ"},
        {"objectDelete", "選択中のオブジェクトを削除します\n削除"},
        {"editObject", "選択中の文字または図形を編集します\n文字/図形編集"},
        {"depth", "背景・切出し領域・手書きの奥行きを設定します\n遠近設定"},
        {"anaglyph", "赤青メガネ用のアナグリフ画像を作成します\nアナグリフ画像作成"},
        {"interlace", "立体ディスプレイ用のインターレース画像を表示します\nインターレース画像の作成"},
        {"spectral", "分光メガネ用の画像を作成します\n分光メガネ用画像作成"},
        {"animation", "立体画像を順に切り替えて表示します\n立体画像"},
        {"showComposite", "合成画像を表示します\n合成画像"},
        {"params", "ペンの太さや JPEG 画質などを設定します\nパラメータ設定"},
        {"paper", "用紙サイズとレンズを変更します\n用紙サイズ変更"},
        {"interlaceSettings", "インターレース画像の並べ方を設定します\nインターレース設定"},
        {"pmSettings", "ステレオ画像のパターンマッチを設定します\nパターンマッチ設定"},
        {"faceSettings", "顔検出の条件を設定します\n顔検出設定"},
        {"videoSettings", "動画ファイルの大きさや速さを設定します\n動画出力設定"},
        {"doc", "説明書を表示します\nドキュメントの表示"},
        {"tutorial", "チュートリアルを表示します\nチュートリアル"},
        {"about", "プログラムの情報とバージョンを表示します\nバージョン情報"},
    };
    const auto it = tips.find(id);
    return it == tips.end() ? "" : it->second;
}

}  // namespace plastora::ui
