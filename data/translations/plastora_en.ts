<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja_JP">
  <context>
    <name>Plastora</name>
    <message>
      <location filename="../../app/ui/ParamDlg.cpp" />
      <source>% (0～100)</source>
      <translation>% (0 to 100)</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>%1

写真1枚から立体画像を作るプログラム</source>
      <translation>%1

Makes stereoscopic pictures from a single photo</translation>
    </message>
    <message>
      <location filename="../../app/ui/DialogParts.cpp" />
      <source>%1 から %2 までの数値を入力してください。</source>
      <translation>Please enter a number between %1 and %2.</translation>
    </message>
    <message>
      <location filename="../../app/ui/DialogParts.cpp" />
      <source>%1 から %2 までの整数を入力してください。</source>
      <translation>Please enter an integer between %1 and %2.</translation>
    </message>
    <message>
      <location filename="../../app/core/Project.cpp" />
      <source>%1 はこのプロジェクトのファイルではないため、上書きしません。
別のプロジェクト名を指定してください。</source>
      <translation>%1 is not a file of this project and is not overwritten.
Please choose another project name.</translation>
    </message>
    <message>
      <location filename="../../app/core/Project.cpp" />
      <source>%1 はこのプロジェクトのファイルのため、上書きしません。
別の名前を指定してください。</source>
      <translation>%1 is a file of this project and is not overwritten.
Please choose another name.</translation>
    </message>
    <message>
      <location filename="../../app/core/Project.cpp" />
      <source>%1 は既に存在します。
上書きしますか？</source>
      <translation>%1 already exists.
Do you want to replace it?</translation>
    </message>
    <message>
      <location filename="../../app/core/Project.cpp" />
      <source>%1 は開いたときに読み込めなかったファイルがあるため、上書きしません。
別のプロジェクト名を指定してください。</source>
      <translation>Parts of %1 could not be read when it was opened, so it is not saved over.
Please choose another project name.</translation>
    </message>
    <message>
      <location filename="../../app/ui/PitchTestDlg.cpp" />
      <source>%1 本の帯を印刷します</source>
      <translation>%1 strips will be printed</translation>
    </message>
    <message>
      <location filename="../../app/ui/ParamDlg.cpp" />
      <source>(0～255)</source>
      <translation>(0 to 255)</translation>
    </message>
    <message>
      <location filename="../../app/stereo/PairAlign.cpp" />
      <source>, 拡大 %1%</source>
      <translation>, scale %1%</translation>
    </message>
    <message>
      <location filename="../../app/stereo/PairAlign.h" />
      <source>, 拡大 100.5%</source>
      <translation>, scale 100.5%</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceDetectDlg.cpp" />
      <source>0～99 ﾄﾞｯﾄ: これより小さい顔は探しません</source>
      <translation>0 to 99 dots: smaller faces are not searched for</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceDetectDlg.cpp" />
      <source>1.1～2.0: 小さいほど細かく探します(時間がかかります)</source>
      <translation>1.1 to 2.0: smaller searches more finely (takes longer)</translation>
    </message>
    <message>
      <location filename="../../app/ui/VideoDlg.cpp" />
      <source>1280x720ピクセル</source>
      <translation>1280x720 pixels</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>16x16ﾄﾞｯﾄ</source>
      <translation>16x16 dots</translation>
    </message>
    <message>
      <location filename="../../app/ui/VideoDlg.cpp" />
      <source>1920x1200ピクセル</source>
      <translation>1920x1200 pixels</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceDetectDlg.cpp" />
      <source>1～99: 大きいほど誤検出が減り、見落としが増えます</source>
      <translation>1 to 99: larger gives fewer false finds and more missed faces</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>2 L判</source>
      <translation>2L size</translation>
    </message>
    <message>
      <location filename="../../app/ui/VideoDlg.cpp" />
      <source>320x240ピクセル</source>
      <translation>320x240 pixels</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>32x32ﾄﾞｯﾄ</source>
      <translation>32x32 dots</translation>
    </message>
    <message>
      <location filename="../../app/ui/VideoDlg.cpp" />
      <source>640x480ピクセル</source>
      <translation>640x480 pixels</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>8x8ﾄﾞｯﾄ</source>
      <translation>8x8 dots</translation>
    </message>
    <message>
      <location filename="../../app/ui/VideoDlg.cpp" />
      <source>GIF動画の場合は元のサイズのまま</source>
      <translation>Animated GIF keeps the original size</translation>
    </message>
    <message>
      <location filename="../../app/output/Video.cpp" />
      <source>GIFｱﾆﾒｰｼｮﾝ(*.gif)</source>
      <translation>Animated GIF (*.gif)</translation>
    </message>
    <message>
      <location filename="../../app/overlay/ObjectEdit.cpp" />
      <source>GIFﾌｧｲﾙ(*.gif)</source>
      <translation>GIF files (*.gif)</translation>
    </message>
    <message>
      <location filename="../../app/core/EditImage.cpp" />
      <source>JPEGﾌｧｲﾙ(*.jpg,*.jpeg)</source>
      <translation>JPEG files (*.jpg, *.jpeg)</translation>
    </message>
    <message>
      <location filename="../../app/output/WorkingSize.cpp" />
      <source>L判</source>
      <translation>L size</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>NINTENDO 3DS のメモリーカードに立体写真を書き込みます
NINTENDO 3DS用保存</source>
      <translation>Writes the stereo photo to a NINTENDO 3DS memory card
Save for NINTENDO 3DS</translation>
    </message>
    <message>
      <location filename="../../app/core/ProjectFile.cpp" />
      <source>NINTENDO 3DSのメモリーカードに書き込もうとしています。
NINTENDO 3DSのメモリーカードへの書き込みはオプションメニュのNINTENDO 3DS用保存コマンドで行ってください。</source>
      <translation>You are about to write to a NINTENDO 3DS memory card.
Please write to a NINTENDO 3DS memory card with the Save for NINTENDO 3DS command of the Options menu.</translation>
    </message>
    <message>
      <location filename="../../app/ui/DriveDlg.cpp" />
      <source>NINTENDO 3DSのメモリーカードをメモリースロットル差し込んでください。</source>
      <translation>Please insert the NINTENDO 3DS memory card into the card slot.</translation>
    </message>
    <message>
      <location filename="../../app/stereo/StereoFiles.h" />
      <source>NINTENDO 3DS用保存(&amp;N)...</source>
      <translation>Save for &amp;NINTENDO 3DS...</translation>
    </message>
    <message>
      <location filename="../../platform/src/Host.cpp" />
      <source>PCのメモリが不足して処理ができません。
不要なアプリケーションを終了して本プログラムを再起動し直してください。
それでも起きるようであればシステムの再起動をしてください。</source>
      <translation>There is not enough memory to continue.
Close the applications you do not need and restart this program.
If it happens again, restart the system.</translation>
    </message>
    <message>
      <location filename="../../app/output/Print.cpp" />
      <source>PCのメモリが不足して印刷ができません。
設定メニューのパラメータ設定コマンドで「メモリ経由で印刷」のチェックを外して印刷してみてください。</source>
      <translation>There is not enough memory to print.
Try printing with "Print via memory" unchecked in the Parameters command of the Options menu.</translation>
    </message>
    <message>
      <location filename="../../app/core/EditImage.cpp" />
      <source>PNGﾌｧｲﾙ (*.png)</source>
      <translation>PNG files (*.png)</translation>
    </message>
    <message>
      <location filename="../../app/core/Project.cpp" />
      <source>TIFFﾌｧｲﾙ (*.tif,*.tiff)</source>
      <translation>TIFF files (*.tif, *.tiff)</translation>
    </message>
    <message>
      <location filename="../../app/core/Project.cpp" />
      <source>WebPﾌｧｲﾙ (*.webp)</source>
      <translation>WebP files (*.webp)</translation>
    </message>
    <message>
      <location filename="../../app/overlay/ObjectEdit.cpp" />
      <source>windowsﾒﾀﾌｧｲﾙ(*.wmf)</source>
      <translation>Windows metafiles (*.wmf)</translation>
    </message>
    <message>
      <location filename="../../app/overlay/ObjectEdit.cpp" />
      <source>このオブジェクトを削除してもよろしいですか？
この操作は元に戻せません</source>
      <translation>Delete this object?
This cannot be undone.</translation>
    </message>
    <message>
      <location filename="../../app/output/Anaglyph.cpp" />
      <source>このフィルターの場合、元の色での表示ができません。
カラー設定のままアナグリフ画像を作成しますか？</source>
      <translation>With this filter the original colours cannot be shown.
Make the anaglyph with the colour setting anyway?</translation>
    </message>
    <message>
      <location filename="../../app/stereo/StereoFiles.cpp" />
      <source>このマルチピクチャーファイルには画像が</source>
      <translation>This multi-picture file holds </translation>
    </message>
    <message>
      <source>このマルチピクチャーファイルには画像が%1枚あります。
読み込めるのは%2枚までです。</source>
      <translation>This multi-picture file holds %1 pictures.
At most %2 can be read.</translation>
    </message>
    <message>
      <location filename="../../app/output/PitchTest.cpp" />
      <source>この範囲ではテスト印刷できる帯がありません。
LPIと範囲を見直してください。</source>
      <translation>No strip of the test sheet can be printed for this range.
Check the LPI and the range.</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceDetectDlg.cpp" />
      <source>この設定で顔が見つからないときは、付属の別の学習ファイル(正面・横顔)でも探します。</source>
      <translation>When these settings find no face, the other bundled classifiers (frontal and profile) are tried too.</translation>
    </message>
    <message>
      <location filename="../../app/core/ProjectFile.cpp" />
      <source>このﾌｧｲﾙのﾊﾞｰｼﾞｮﾝはｻﾎﾟｰﾄしていません。ﾌﾟﾗｽﾄｰﾗをﾊﾞｰｼﾞｮﾝｱｯﾌﾟしてください。</source>
      <translation>This file version is not supported. Please update Plastora.</translation>
    </message>
    <message>
      <location filename="../../app/core/ProjectFile.cpp" />
      <source>このﾌｧｲﾙはﾌﾟﾗｽﾄｰﾗのﾃﾞｰﾀﾌｧｲﾙではありません。</source>
      <translation>This file is not a Plastora data file.</translation>
    </message>
    <message>
      <location filename="../../app/layers/Regions.cpp" />
      <source>これ以上切出し領域は追加できません</source>
      <translation>No more cutout regions can be added</translation>
    </message>
    <message>
      <location filename="../../app/autocut/FaceDetect.cpp" />
      <source>これ以上顔検出領域を追加できません</source>
      <translation>No more face regions can be added</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.cpp" />
      <source>これ以上ｵﾌﾞｼﾞｪｸﾄを追加できません。</source>
      <translation>No more objects can be added.</translation>
    </message>
    <message>
      <location filename="../../app/overlay/ObjectEdit.cpp" />
      <source>すべてのｸﾘｯﾌﾟ</source>
      <translation>All clip art</translation>
    </message>
    <message>
      <location filename="../../app/core/Project.cpp" />
      <source>すべてのﾌｧｲﾙ</source>
      <translation>All files</translation>
    </message>
    <message>
      <location filename="../../app/layers/DepthViews.cpp" />
      <source>すべてのﾌｧｲﾙ (*.*)</source>
      <translation>All files (*.*)</translation>
    </message>
    <message>
      <location filename="../../app/output/WorkingSize.cpp" />
      <source>はがき</source>
      <translation>Postcard</translation>
    </message>
    <message>
      <location filename="../../app/output/WorkingSize.cpp" />
      <source>はみ出しをカット</source>
      <translation>Crop the overflow</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>やり直し(&amp;R)</source>
      <translation>&amp;Redo</translation>
    </message>
    <message>
      <location filename="../../app/output/Anaglyph.h" />
      <source>アナグリフ画像の保存</source>
      <translation>Save Anaglyph</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>アナグリフ画像の保存(&amp;B)...</source>
      <translation>Save Ana&amp;glyph...</translation>
    </message>
    <message>
      <location filename="../../app/output/Print.cpp" />
      <source>アナグリフ画像の印刷を実行しますか？</source>
      <translation>Print the anaglyph?</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>アナグリフ画像を保存します
アナグリフ画像の保存</source>
      <translation>Saves the anaglyph
Save Anaglyph</translation>
    </message>
    <message>
      <location filename="../../app/ui/AnaglyphDlg.cpp" />
      <source>アナグリフ画像作成</source>
      <translation>Make Anaglyph</translation>
    </message>
    <message>
      <location filename="../../app/ui/AnaglyphDlg.h" />
      <source>アナグリフ画像作成(&amp;A)...</source>
      <translation>Make &amp;Anaglyph...</translation>
    </message>
    <message>
      <location filename="../../app/core/RecentFiles.cpp" />
      <source>アプリケーション ウィザードで生成されたローカル アプリケーション</source>
      <translation>アプリケーション ウィザードで生成されたローカル アプリケーション</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>アプリケーションの終了(&amp;X)</source>
      <translation>E&amp;xit</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>アプリケーションを終了します
終了</source>
      <translation>Quits the application
Exit</translation>
    </message>
    <message>
      <location filename="../../app/core/WorkspaceDialogs.h" />
      <source>アンチエイリアス</source>
      <translation>Antialiasing</translation>
    </message>
    <message>
      <location filename="../../app/ui/AnaglyphDlg.cpp" />
      <source>アンバー青 最小二乗法(Dubois)</source>
      <translation>Amber-blue, least squares (Dubois)</translation>
    </message>
    <message>
      <location filename="../../app/ui/StereoDlg.cpp" />
      <source>インターレース画像で表示</source>
      <translation>Show as interlaced image</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>インターレース画像の並べ方を設定します
インターレース設定</source>
      <translation>Sets how the interlaced image is arranged
Interlace Settings</translation>
    </message>
    <message>
      <location filename="../../app/output/Interlace.h" />
      <source>インターレース画像の作成</source>
      <translation>Make Interlaced Image</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>インターレース画像の作成(&amp;I)</source>
      <translation>Make &amp;Interlaced Image</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>インターレース設定(&amp;I)...</source>
      <translation>&amp;Interlace Settings...</translation>
    </message>
    <message>
      <location filename="../../app/ui/InterlaceDlg.cpp" />
      <source>インターレース設定ダイアログ</source>
      <translation>Interlace Settings</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceDetectDlg.cpp" />
      <source>エッジ検出器を用いる</source>
      <translation>Use the edge detector</translation>
    </message>
    <message>
      <location filename="../../app/ui/GuardedApplication.cpp" />
      <source>エラーが発生したため、処理を中止しました。
%1</source>
      <translation>The work was stopped by an error.
%1</translation>
    </message>
    <message>
      <location filename="../../app/layers/DepthEditor.h" />
      <source>オブジェクト</source>
      <translation>Object</translation>
    </message>
    <message>
      <location filename="../../app/ui/UndoText.cpp" />
      <source>オブジェクトの並び順</source>
      <translation>object order</translation>
    </message>
    <message>
      <location filename="../../app/ui/UndoText.cpp" />
      <source>オブジェクトの塗りつぶし</source>
      <translation>object fill</translation>
    </message>
    <message>
      <location filename="../../app/ui/UndoText.cpp" />
      <source>オブジェクトの変更</source>
      <translation>object change</translation>
    </message>
    <message>
      <location filename="../../app/ui/UndoText.cpp" />
      <source>オブジェクトの追加</source>
      <translation>adding an object</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>オブジェクトを一つ奥にします
背面へ</source>
      <translation>Moves the object one step back
Send Backward</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>オブジェクトを一つ手前にします
前面へ</source>
      <translation>Moves the object one step forward
Bring Forward</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>オブジェクトを最も奥にします
最背面へ</source>
      <translation>Moves the object to the back
Send to Back</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>オブジェクトを最も手前にします
最前面へ</source>
      <translation>Moves the object to the front
Bring to Front</translation>
    </message>
    <message>
      <location filename="../../app/ui/ParamDlg.cpp" />
      <source>オブジェクト拡大縮小時の縦横比固定</source>
      <translation>Keep the aspect ratio when resizing objects</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>オプション(&amp;O)</source>
      <translation>&amp;Options</translation>
    </message>
    <message>
      <location filename="../../app/ui/AnaglyphDlg.cpp" />
      <source>カラー</source>
      <translation>Colour</translation>
    </message>
    <message>
      <location filename="../../app/output/Adjust.h" />
      <source>キャンセル</source>
      <translation>Cancel</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>クリップアートを挿入します
ｸﾘｯﾌﾟｱｰﾄを挿入する</source>
      <translation>Inserts clip art
Insert Clip Art</translation>
    </message>
    <message>
      <location filename="../../app/ui/AdjustDlg.cpp" />
      <source>コントラスト</source>
      <translation>Contrast</translation>
    </message>
    <message>
      <location filename="../../app/output/Diffraction.h" />
      <source>コントラスト補正</source>
      <translation>Contrast correction</translation>
    </message>
    <message>
      <location filename="../../app/ui/TextDlg.cpp" />
      <source>サイズ</source>
      <translation>Size</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>サンプルの写真とプロジェクトを開きます
サンプルデータを開く</source>
      <translation>Opens the sample photos and projects
Open Sample Data</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>サンプルデータを開く...</source>
      <translation>Open Sample Data...</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>システムの言語に合わせる</source>
      <translation>The System's Language</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceDetectDlg.cpp" />
      <source>スケールファクター</source>
      <translation>Scale factor</translation>
    </message>
    <message>
      <location filename="../../app/ui/VideoDlg.cpp" />
      <source>ステレオ動画作成用ビットマップファイル作成</source>
      <translation>Bitmap files for a stereo movie</translation>
    </message>
    <message>
      <location filename="../../app/layers/DepthViews.cpp" />
      <source>ステレオ画像には深度マップを使えません</source>
      <translation>A depth map cannot be used with a stereo picture</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>ステレオ画像のパターンマッチを設定します
パターンマッチ設定</source>
      <translation>Sets up pattern matching of stereo pairs
Pattern Match Settings</translation>
    </message>
    <message>
      <location filename="../../app/stereo/StereoFiles.h" />
      <source>ステレオ画像の保存...</source>
      <translation>Save Stereo Pair...</translation>
    </message>
    <message>
      <location filename="../../app/output/Adjust.h" />
      <source>ステレオ画像の場合は180度回転します。また左右の画像を入れ替えます。</source>
      <translation>A stereo pair is turned by 180 degrees, and its left and right pictures are exchanged.</translation>
    </message>
    <message>
      <location filename="../../app/stereo/StereoFiles.cpp" />
      <source>ステレオ画像またはチェンジング画像のもう一方の画像を開いてください。
先に開いた画像は左の画像ですか?
その場合は「はい」を答えて次に右の画像を開いてください。
違う場合は「いいえ」を答えて次に左の画像を開いてください。</source>
      <translation>Please open the other picture of the stereo or changing pair.
Is the picture opened first the left one?
If so, answer "Yes" and then open the right picture.
If not, answer "No" and then open the left picture.</translation>
    </message>
    <message>
      <location filename="../../app/stereo/StereoFiles.h" />
      <source>ステレオ画像を開く...</source>
      <translation>Open Stereo Pair...</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>ステータス バー(&amp;S)</source>
      <translation>&amp;Status Bar</translation>
    </message>
    <message>
      <location filename="../../app/ui/DriveDlg.cpp" />
      <source>スロットルのデバイスドライブを選択してください。</source>
      <translation>Please choose the drive of the card slot.</translation>
    </message>
    <message>
      <location filename="../../app/core/Help.h" />
      <source>チュートリアル</source>
      <translation>Tutorial</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>チュートリアル(&amp;T)</source>
      <translation>&amp;Tutorial</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>チュートリアルを表示します
チュートリアル</source>
      <translation>Shows the tutorial
Tutorial</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>ツール バー</source>
      <translation>Toolbar</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>ツール バー(&amp;T)</source>
      <translation>&amp;Toolbar</translation>
    </message>
    <message>
      <location filename="../../app/ui/PitchTestDlg.cpp" />
      <source>テスト範囲 ±</source>
      <translation>Test range ±</translation>
    </message>
    <message>
      <location filename="../../app/ui/DriveDlg.cpp" />
      <source>デバイスドライブ</source>
      <translation>Device drive</translation>
    </message>
    <message>
      <location filename="../../app/output/WorkingSize.cpp" />
      <source>トリミングしない</source>
      <translation>No trimming</translation>
    </message>
    <message>
      <location filename="../../app/core/WorkspaceDialogs.h" />
      <source>トリミングダイアログ</source>
      <translation>Trimming</translation>
    </message>
    <message>
      <location filename="../../app/output/Trimming.cpp" />
      <source>トリミング領域の縦横比を変更しますか？
変更すると移動したトリミング領域はリセットされます。</source>
      <translation>Change the aspect ratio of the trimming frame?
A frame that was moved is then reset.</translation>
    </message>
    <message>
      <location filename="../../app/core/Help.cpp" />
      <source>ドキュメントがインストールされていません。
インターネットでドキュメントを参照しますか？</source>
      <translation>The documentation is not installed.
Read the documentation on the Internet?</translation>
    </message>
    <message>
      <location filename="../../app/core/Help.h" />
      <source>ドキュメントの表示</source>
      <translation>Documentation</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>ドキュメントの表示(&amp;D)</source>
      <translation>&amp;Documentation</translation>
    </message>
    <message>
      <location filename="../../app/ui/DriveDlg.cpp" />
      <source>ドライブ選択ダイアログ</source>
      <translation>Choose Drive</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>バージョン情報</source>
      <translation>About</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>バージョン情報(&amp;A)...</source>
      <translation>&amp;About Plastora...</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>パターンサイズに対して検出領域が小さすぎます(縦横共に2倍以上は必要)</source>
      <translation>The search area is too small for the pattern size (at least twice as wide and as high)</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>パターンマッチによりマルチビューを作成する</source>
      <translation>Make the multi-view by pattern matching</translation>
    </message>
    <message>
      <location filename="../../app/stereo/PatternMultiView.cpp" />
      <source>パターンマッチの初期化に失敗しました</source>
      <translation>Pattern matching could not be started</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>パターンマッチ設定(&amp;M)...</source>
      <translation>Pattern &amp;Match Settings...</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>パターンマッチ設定ダイアログ</source>
      <translation>Pattern Match Settings</translation>
    </message>
    <message>
      <location filename="../../app/core/Parameters.h" />
      <source>パラメータ設定</source>
      <translation>Parameters</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>パラメータ設定(&amp;P)...</source>
      <translation>&amp;Parameters...</translation>
    </message>
    <message>
      <location filename="../../app/ui/ParamDlg.cpp" />
      <source>パラメータ設定ダイアログ</source>
      <translation>Parameters</translation>
    </message>
    <message>
      <location filename="../../app/output/PitchTest.h" />
      <source>ピッチテスト印刷</source>
      <translation>Pitch Test Print</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>ファイル(&amp;F)</source>
      <translation>&amp;File</translation>
    </message>
    <message>
      <location filename="../../app/core/StillImage.cpp" />
      <source>ファイルの保存に失敗しました</source>
      <translation>The file could not be saved</translation>
    </message>
    <message>
      <location filename="../../app/core/ProjectFile.cpp" />
      <source>ファイルの読み込みに失敗しました。</source>
      <translation>The file could not be read.</translation>
    </message>
    <message>
      <location filename="../../app/ui/TextDlg.cpp" />
      <source>フォント</source>
      <translation>Font</translation>
    </message>
    <message>
      <location filename="../../app/ui/VideoDlg.cpp" />
      <source>フレームレート</source>
      <translation>Frame rate</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>ブロックの貼り付け</source>
      <translation>Pasting blocks</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>プリンタと用紙を設定します
プリンタの設定</source>
      <translation>Sets up the printer and paper
Printer Setup</translation>
    </message>
    <message>
      <location filename="../../app/ui/PitchTestDlg.cpp" />
      <source>プリンタの解像度</source>
      <translation>Printer resolution</translation>
    </message>
    <message>
      <location filename="../../app/ui/PrintDlg.cpp" />
      <source>プリンタの設定</source>
      <translation>Printer Setup</translation>
    </message>
    <message>
      <location filename="../../app/output/Print.h" />
      <source>プリンタの設定(&amp;R)...</source>
      <translation>P&amp;rinter Setup...</translation>
    </message>
    <message>
      <location filename="../../app/output/Print.cpp" />
      <source>プリンタの設定が行われていません。プリンタを設定をしておくと次回の印刷から用紙サイズや印刷の方向等の設定が不要となります。
プリンタを設定しますか？</source>
      <translation>The printer has not been set up. With a printer set up, later prints need no paper size or orientation settings.
Set up the printer?</translation>
    </message>
    <message>
      <location filename="../../app/output/Print.cpp" />
      <source>プリンタ名、用紙サイズ、用紙の種類、印刷品質を設定してください。
なお印刷の向きは印刷時に自動的に設定されます。</source>
      <translation>Please choose the printer, paper size, paper type and print quality.
The orientation is set automatically when printing.</translation>
    </message>
    <message>
      <location filename="../../app/output/Print.cpp" />
      <source>プリンタ設定ファイルの保存に失敗しました</source>
      <translation>The printer setup file could not be saved</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>プログラムの情報とバージョンを表示します
バージョン情報</source>
      <translation>Shows the program information and version
About</translation>
    </message>
    <message>
      <location filename="../../app/ui/HelpBrowser.cpp" />
      <source>ヘルプ</source>
      <translation>Help</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>ヘルプ(&amp;H)</source>
      <translation>&amp;Help</translation>
    </message>
    <message>
      <location filename="../../app/core/Help.cpp" />
      <source>ヘルプドキュメントの表示に失敗しました。</source>
      <translation>The help documentation could not be shown.</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>ペンで描きます
ﾍﾟﾝﾂｰﾙ</source>
      <translation>Draws with the pen
Pen Tool</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>ペンの太さや JPEG 画質などを設定します
パラメータ設定</source>
      <translation>Sets the pen width, JPEG quality and more
Parameters</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>ペンの色を設定します
色を設定</source>
      <translation>Sets the pen colour
Set Colour</translation>
    </message>
    <message>
      <location filename="../../app/ui/UndoText.cpp" />
      <source>ペン描画</source>
      <translation>pen stroke</translation>
    </message>
    <message>
      <location filename="../../app/autocut/FaceDetect.cpp" />
      <source>ボディデータの読み込みに失敗しました</source>
      <translation>The body template could not be read</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>マスキング用マスクの外側に描かないようにします
前景切出し領域をﾏｽｸにする</source>
      <translation>Keeps drawing inside the masking mask
Use Region as Mask</translation>
    </message>
    <message>
      <location filename="../../app/core/ProjectFile.cpp" />
      <source>マスクファイルの保存に失敗しました</source>
      <translation>The mask file could not be saved</translation>
    </message>
    <message>
      <location filename="../../app/ui/MaskOpacitySlider.cpp" />
      <source>マスク表示の不透明度</source>
      <translation>Mask display opacity</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>マスク領域を輪郭線で表示します
マスク領域を輪郭線で表示する</source>
      <translation>Shows the mask as an outline
Show Mask Outline</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>マスク領域を輪郭線で表示する</source>
      <translation>Show Mask Outline</translation>
    </message>
    <message>
      <location filename="../../app/stereo/Mpo.cpp" />
      <source>マルチピクチャーファイルの読み込みに失敗しました</source>
      <translation>The multi-picture file could not be read</translation>
    </message>
    <message>
      <location filename="../../app/ui/ParamDlg.cpp" />
      <source>メモリ経由で印刷</source>
      <translation>Print via memory</translation>
    </message>
    <message>
      <location filename="../../app/output/WorkingSize.cpp" />
      <source>ユーザ設定</source>
      <translation>User size</translation>
    </message>
    <message>
      <location filename="../../app/output/Adjust.h" />
      <source>リセット</source>
      <translation>Reset</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>レディ</source>
      <translation>Ready</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>レンズのピッチを確かめるテストシートを印刷します
ピッチテスト印刷</source>
      <translation>Prints a test sheet for checking the lens pitch
Pitch Test Print</translation>
    </message>
    <message>
      <location filename="../../app/ui/PitchTestDlg.cpp" />
      <source>レンズの解像度</source>
      <translation>Lens resolution</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>レンチキュラー印刷用の合成画像を保存します
合成画像の保存</source>
      <translation>Saves the composite for lenticular printing
Save Composite</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>上書き保存(&amp;S)</source>
      <translation>&amp;Save</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>以下</source>
      <translation>or less</translation>
    </message>
    <message>
      <location filename="../../app/ui/StereoDlg.cpp" />
      <source>任意(数値)</source>
      <translation>Custom (number)</translation>
    </message>
    <message>
      <location filename="../../app/output/Diffraction.h" />
      <source>任意の色</source>
      <translation>Any colour</translation>
    </message>
    <message>
      <location filename="../../app/stereo/StereoFiles.cpp" />
      <source>位置合わせ: </source>
      <translation>Alignment: </translation>
    </message>
    <message>
      <location filename="../../app/output/WorkingSize.cpp" />
      <source>余白を残す</source>
      <translation>Keep margins</translation>
    </message>
    <message>
      <location filename="../../app/core/WorkspaceDialogs.h" />
      <source>作成</source>
      <translation>Make</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>作成した立体画像をすべて保存します
立体画像の保存</source>
      <translation>Saves all the views made
Save Views</translation>
    </message>
    <message>
      <location filename="../../app/output/WorkingSize.cpp" />
      <source>作業画像が大きすぎます。用紙サイズを小さくするか、レンズの解像度を下げてください。</source>
      <translation>The working picture would be too large. Choose a smaller paper or a lower lens resolution.</translation>
    </message>
    <message>
      <location filename="../../app/output/WorkingSize.cpp" />
      <source>作業画像が小さすぎます。用紙サイズを大きくしてください。</source>
      <translation>The working picture would be too small. Please choose a larger paper size.</translation>
    </message>
    <message>
      <location filename="../../app/output/Lenticular.cpp" />
      <source>保存した画像は解像度を%1DPIで印刷してください。解像度を設定しないで印刷すると立体的に見ることができません</source>
      <translation>Print the saved picture at %1 DPI. Printed without setting the resolution it will not look three-dimensional.</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>元に戻した操作をやり直します
やり直し</source>
      <translation>Redoes the operation that was undone
Redo</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>元に戻す(&amp;U)</source>
      <translation>&amp;Undo</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>写真から顔を検出して人物を自動で切り出します
顔検出</source>
      <translation>Finds faces in the photo and cuts out the people automatically
Face Detection</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>写真と深度マップを開き、深度マップから立体画像を作ります
深度マップ付きで開く</source>
      <translation>Opens a photo with a depth map and makes the stereo views from the depth map
Open with Depth Map</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>写真の明るさとコントラストを調整します
画質調整</source>
      <translation>Adjusts the brightness and contrast of the photo
Adjust Picture</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>写真またはプロジェクトファイルを開きます
開く</source>
      <translation>Opens a photo or a project file
Open</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>写真を90度回転します
画像回転</source>
      <translation>Rotates the photo by 90 degrees
Rotate</translation>
    </message>
    <message>
      <location filename="../../app/ui/ParamDlg.cpp" />
      <source>出力JPEG画質</source>
      <translation>JPEG output quality</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>分光メガネ用の画像を作成します
分光メガネ用画像作成</source>
      <translation>Makes a picture for spectral glasses
Spectral Glasses Picture</translation>
    </message>
    <message>
      <location filename="../../app/output/Diffraction.h" />
      <source>分光メガネ用画像作成</source>
      <translation>Spectral Glasses Picture</translation>
    </message>
    <message>
      <location filename="../../app/ui/BackDlg.h" />
      <source>分光メガネ用画像作成(&amp;C)...</source>
      <translation>Spe&amp;ctral Glasses Picture...</translation>
    </message>
    <message>
      <location filename="../../app/ui/BackDlg.cpp" />
      <source>分光メガネ画像作成</source>
      <translation>Spectral Glasses Picture</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceDetectDlg.cpp" />
      <source>切出しデータ</source>
      <translation>Cutout template</translation>
    </message>
    <message>
      <location filename="../../app/ui/ParamDlg.cpp" />
      <source>切出しマスクペン太さ</source>
      <translation>Mask pen width</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>切出し画像の保存</source>
      <translation>Save Cutout</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>切出し画像の保存(&amp;M)...</source>
      <translation>Save Cut&amp;out Picture...</translation>
    </message>
    <message>
      <location filename="../../app/layers/DepthEditor.h" />
      <source>切出し領域</source>
      <translation>Cutout region</translation>
    </message>
    <message>
      <location filename="../../app/ui/DepthDlg.cpp" />
      <source>切出し領域 %1 / %2</source>
      <translation>Cut-out region %1 / %2</translation>
    </message>
    <message>
      <location filename="../../app/ui/UndoText.cpp" />
      <source>切出し領域%1の</source>
      <translation>cut-out region %1: </translation>
    </message>
    <message>
      <location filename="../../app/ui/UndoText.h" />
      <source>切出し領域2のペン描画</source>
      <translation>cut-out region 2: pen stroke</translation>
    </message>
    <message>
      <location filename="../../app/layers/Regions.cpp" />
      <source>切出し領域が描かれていないため、保存できません。</source>
      <translation>Nothing is drawn in the cutout region, so it cannot be saved.</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>切出し領域と奥行きから立体画像を作成します
立体画像作成</source>
      <translation>Makes the views from the cutout regions and their depths
Make Views</translation>
    </message>
    <message>
      <location filename="../../app/layers/DepthEditor.cpp" />
      <source>切出し領域の並び順と遠近設定値の大きさに矛盾があります。
並び順を遠近設定に合わせて変更しますか？</source>
      <translation>The order of the cutout regions contradicts their depths.
Reorder them to match the depths?</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>切出し領域を一つ奥にします
背面へ</source>
      <translation>Moves the region one step back
Send Backward</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>切出し領域を一つ手前にします
前面へ</source>
      <translation>Moves the region one step forward
Bring Forward</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceResultDlg.cpp" />
      <source>切出し領域を分ける(検出した顔数作成する)</source>
      <translation>Separate regions (one per face found)</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>切出し領域を最も奥にします
最背面へ</source>
      <translation>Moves the region to the back
Send to Back</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>切出し領域を最も手前にします
最前面へ</source>
      <translation>Moves the region to the front
Bring to Front</translation>
    </message>
    <message>
      <location filename="../../app/layers/Regions.cpp" />
      <source>切出し領域を追加します。現在表示中の切出し領域をマスキング用のマスクに切り換えますか？</source>
      <translation>A cutout region is added. Make the region now shown the masking mask?</translation>
    </message>
    <message>
      <location filename="../../app/layers/Regions.cpp" />
      <source>切出し領域を追加しますか？</source>
      <translation>Add a cutout region?</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>切出し領域切替</source>
      <translation>Switch Region</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>切出し領域切替(&amp;S)</source>
      <translation>&amp;Switch Region</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>切出し領域削除</source>
      <translation>Delete Region</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>切出し領域削除(&amp;D)</source>
      <translation>&amp;Delete Region</translation>
    </message>
    <message>
      <location filename="../../app/layers/MaskTools.cpp" />
      <source>切出し領域変更</source>
      <translation>Change Region</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>切出し領域追加</source>
      <translation>Add Region</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>切出し領域追加(&amp;A)</source>
      <translation>&amp;Add Region</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceDetectDlg.cpp" />
      <source>切出しﾃﾞｰﾀﾌｧｲﾙ (*.wmf)</source>
      <translation>Cutout template files (*.wmf)</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>列で補正する</source>
      <translation>Correct by columns</translation>
    </message>
    <message>
      <location filename="../../app/ui/PitchTestDlg.cpp" />
      <source>刻み</source>
      <translation>Step</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>削除</source>
      <translation>Delete</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>前景の切出し領域を描く画面に切り替えます
前景切出し</source>
      <translation>Switches to drawing the foreground cutout regions
Cutout</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>前景切出し</source>
      <translation>Cutout</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>前景切出し(&amp;M)</source>
      <translation>Cut&amp;out</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>前面へ</source>
      <translation>Bring Forward</translation>
    </message>
    <message>
      <location filename="../../app/output/Video.h" />
      <source>動画ファイルの作成(&amp;V)...</source>
      <translation>Make &amp;Video...</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>動画ファイルの大きさや速さを設定します
動画出力設定</source>
      <translation>Sets the size and speed of video files
Video Settings</translation>
    </message>
    <message>
      <location filename="../../app/output/Video.cpp" />
      <source>動画ファイル作成中</source>
      <translation>Making the video file</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>動画出力設定(&amp;V)...</source>
      <translation>&amp;Video Settings...</translation>
    </message>
    <message>
      <location filename="../../app/ui/VideoDlg.cpp" />
      <source>動画出力設定ダイアログ</source>
      <translation>Video Settings</translation>
    </message>
    <message>
      <location filename="../../app/output/Print.h" />
      <source>印刷...</source>
      <translation>Print...</translation>
    </message>
    <message>
      <location filename="../../app/output/Print.cpp" />
      <source>印刷する画像 (%1 x %2 mm) が用紙の印刷できる範囲 (%3 x %4 mm) より大きいため、端が切れて印刷されます。
このまま印刷しますか？</source>
      <translation>The picture to print (%1 x %2 mm) is larger than the printable area of the paper (%3 x %4 mm), so its edges will be cut off.
Print it anyway?</translation>
    </message>
    <message>
      <location filename="../../app/output/Print.cpp" />
      <source>印刷を開始できませんでした。プリンタを確認してください。</source>
      <translation>Printing could not be started. Please check the printer.</translation>
    </message>
    <message>
      <location filename="../../app/ui/ShapeDlg.cpp" />
      <source>右上がり直線</source>
      <translation>Rising line</translation>
    </message>
    <message>
      <location filename="../../app/ui/ShapeDlg.cpp" />
      <source>右下がり直線</source>
      <translation>Falling line</translation>
    </message>
    <message>
      <location filename="../../app/ui/ShapeDlg.cpp" />
      <source>右端に矢印</source>
      <translation>Arrow at the right end</translation>
    </message>
    <message>
      <location filename="../../app/ui/DepthDlg.cpp" />
      <source>各ﾊﾟｰﾂの遠近を設定してください。立体画像にした時小さいほど遠くに大きいほど近くに見えます。背景はﾏｲﾅｽの値にしてください。
背景をはっきり印刷したい場合やｽﾃﾚｵ画像を作成する場合は鮮明をﾁｪｯｸしてください。影をﾁｪｯｸすると背景にﾊﾟｰﾂの影が付けられます。
切出し領域ﾎﾞﾀﾝやｵﾌﾞｼﾞｪｸﾄﾎﾞﾀﾝでそれぞれを切り替えられます。</source>
      <translation>Set the depth of each part. In the stereo picture smaller values look farther away, larger ones nearer. Give the background a negative value.
Check Sharp to print the background clearly or to make a stereo picture. Check Shadow to give the parts a shadow on the background.
The region and object buttons switch between them.</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>合成画像</source>
      <translation>Composite</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>合成画像(&amp;C)</source>
      <translation>&amp;Composite</translation>
    </message>
    <message>
      <location filename="../../app/output/Print.cpp" />
      <source>合成画像が作成されていません。編集画面がそのまま印刷されます。印刷を実行しますか？</source>
      <translation>No composite has been made. The edit picture will be printed as it is. Print?</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>合成画像の保存</source>
      <translation>Save Composite</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>合成画像の保存(&amp;C)...</source>
      <translation>Save &amp;Composite...</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>合成画像または編集画像を印刷します
印刷</source>
      <translation>Prints the composite or the edit picture
Print</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>合成画像を表示します
合成画像</source>
      <translation>Shows the composite
Composite</translation>
    </message>
    <message>
      <location filename="../../app/output/WorkingSize.cpp" />
      <source>名刺(カード)</source>
      <translation>Business card</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>名前を付けて保存(&amp;A)...</source>
      <translation>Save &amp;As...</translation>
    </message>
    <message>
      <location filename="../../app/core/WorkspaceDialogs.h" />
      <source>四角形</source>
      <translation>Rectangle</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>囲まれた範囲を塗りつぶします
塗つぶしﾂｰﾙ</source>
      <translation>Fills an enclosed area
Fill Tool</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>図形を挿入します
図形を挿入する</source>
      <translation>Inserts a shape
Insert Shape</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>図形を挿入する</source>
      <translation>Insert Shape</translation>
    </message>
    <message>
      <location filename="../../app/layers/MaskTools.cpp" />
      <source>図形編集</source>
      <translation>Edit Shape</translation>
    </message>
    <message>
      <location filename="../../app/core/WorkspaceDialogs.h" />
      <source>図形設定</source>
      <translation>Shape</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>図形ﾂｰﾙ</source>
      <translation>Shape Tool</translation>
    </message>
    <message>
      <location filename="../../app/core/WorkspaceDialogs.h" />
      <source>塗つぶしなし</source>
      <translation>No fill</translation>
    </message>
    <message>
      <location filename="../../app/layers/MaskTools.cpp" />
      <source>塗つぶしﾂｰﾙ</source>
      <translation>Fill Tool</translation>
    </message>
    <message>
      <location filename="../../app/ui/UndoText.cpp" />
      <source>塗りつぶし</source>
      <translation>fill</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceDetectDlg.cpp" />
      <source>変更</source>
      <translation>Change</translation>
    </message>
    <message>
      <location filename="../../app/ui/StereoDlg.cpp" />
      <source>大きい</source>
      <translation>Large</translation>
    </message>
    <message>
      <location filename="../../app/core/WorkspaceDialogs.h" />
      <source>太字</source>
      <translation>Bold</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>奥行きを白黒の深度マップ画像として保存します
深度マップの保存</source>
      <translation>Saves the depth as a grey depth-map picture
Save Depth Map</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceDetectDlg.cpp" />
      <source>学習ファイル</source>
      <translation>Classifier file</translation>
    </message>
    <message>
      <location filename="../../app/ui/StereoDlg.cpp" />
      <source>小さい</source>
      <translation>Small</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>左右2枚の写真または MPO ファイルをステレオ画像として開きます
ステレオ画像を開く</source>
      <translation>Opens two photos (left and right) or an MPO file as a stereo pair
Open Stereo Pair</translation>
    </message>
    <message>
      <location filename="../../app/stereo/StereoFiles.cpp" />
      <source>左右のステレオ画像のサイズが異なります。処理を続行しますか?</source>
      <translation>The left and right pictures differ in size. Continue?</translation>
    </message>
    <message>
      <location filename="../../app/stereo/PatternMultiView.cpp" />
      <source>左右の画像が異なりすぎているためマルチビューの作成に失敗しました。
認識できなかったパターンが%1%ありました。
レンチキューラレンズで正しく立体視ができない可能性があります。</source>
      <translation>The left and right pictures differ too much: the multi-view could not be made properly.
%1% of the patterns were not recognised.
The picture may not look right through a lenticular lens.</translation>
    </message>
    <message>
      <location filename="../../app/stereo/PairAlign.cpp" />
      <source>左右の画像に共通する特徴が少ないため、位置合わせをせずにそのまま使います。</source>
      <translation>The left and right pictures share too few features; they are used as they are, without alignment.</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>左右の画像をステレオ画像として保存します
ステレオ画像の保存</source>
      <translation>Saves the left and right pictures as a stereo pair
Save Stereo Pair</translation>
    </message>
    <message>
      <location filename="../../app/output/Interlace.h" />
      <source>左右画像入替</source>
      <translation>Swap left and right</translation>
    </message>
    <message>
      <location filename="../../app/ui/ShapeDlg.cpp" />
      <source>左端に矢印</source>
      <translation>Arrow at the left end</translation>
    </message>
    <message>
      <location filename="../../app/ui/PitchTestDlg.cpp" />
      <source>帯の数が多すぎます。
範囲を狭くするか、刻みを大きくしてください。</source>
      <translation>Too many strips.
Please narrow the range or take a larger step.</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>幅</source>
      <translation>Width</translation>
    </message>
    <message>
      <location filename="../../app/layers/DepthEditor.h" />
      <source>影</source>
      <translation>Shadow</translation>
    </message>
    <message>
      <location filename="../../app/ui/ParamDlg.cpp" />
      <source>影の白レベル</source>
      <translation>Shadow white level</translation>
    </message>
    <message>
      <location filename="../../app/output/WorkingSize.cpp" />
      <source>手動で行う</source>
      <translation>Manual</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>手書き・文字・図形を加える画面に切り替えます
画像編集</source>
      <translation>Switches to adding drawing, text and shapes
Edit Picture</translation>
    </message>
    <message>
      <location filename="../../app/ui/DepthDlg.cpp" />
      <source>手書き部分</source>
      <translation>Drawing</translation>
    </message>
    <message>
      <location filename="../../app/ui/UndoText.cpp" />
      <source>手書き部分の</source>
      <translation>painted layer: </translation>
    </message>
    <message>
      <location filename="../../app/ui/UndoText.h" />
      <source>手書き部分の消しゴム</source>
      <translation>painted layer: eraser</translation>
    </message>
    <message>
      <location filename="../../app/ui/ParamDlg.cpp" />
      <source>手書ペン太さ</source>
      <translation>Drawing pen width</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>拡張切出し領域を追加します
拡張切出し領域追加</source>
      <translation>Adds a cutout region
Add Region</translation>
    </message>
    <message>
      <location filename="../../app/ui/TextDlg.cpp" />
      <source>文字</source>
      <translation>Text</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>文字/図形編集</source>
      <translation>Edit Text/Shape</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>文字/図形編集(&amp;T)</source>
      <translation>Edit &amp;Text/Shape</translation>
    </message>
    <message>
      <location filename="../../app/output/Video.cpp" />
      <source>文字に立体化しない設定があります。この文字を動画にするには設定を外して遠近設定を0にしてください。</source>
      <translation>A text is set to stay flat. To put it in a video, clear that setting and give it depth 0.</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>文字を入れます
文字ﾂｰﾙ</source>
      <translation>Adds text
Text Tool</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>文字・図形・クリップアートを移動します
ｵﾌﾞｼﾞｪｸﾄを移動</source>
      <translation>Moves text, shapes and clip art
Move Object</translation>
    </message>
    <message>
      <location filename="../../app/core/WorkspaceDialogs.h" />
      <source>文字入力</source>
      <translation>Text</translation>
    </message>
    <message>
      <location filename="../../app/layers/MaskTools.cpp" />
      <source>文字編集</source>
      <translation>Edit Text</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>文字ﾂｰﾙ</source>
      <translation>Text Tool</translation>
    </message>
    <message>
      <location filename="../../app/core/WorkspaceDialogs.h" />
      <source>斜体</source>
      <translation>Italic</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>新しい文書を作成します
新規作成</source>
      <translation>Creates a new document
New</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>新規作成</source>
      <translation>New</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>日本語</source>
      <translation>日本語</translation>
    </message>
    <message>
      <location filename="../../app/ui/AdjustDlg.cpp" />
      <source>明るさ</source>
      <translation>Brightness</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>最前面へ</source>
      <translation>Bring to Front</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceDetectDlg.cpp" />
      <source>最小ウィンドウサイズ</source>
      <translation>Minimum window size</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceDetectDlg.cpp" />
      <source>最小近傍</source>
      <translation>Minimum neighbours</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>最背面へ</source>
      <translation>Send to Back</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>最近使ったファイル</source>
      <translation>Recent Files</translation>
    </message>
    <message>
      <location filename="../../app/stereo/StereoFiles.cpp" />
      <source>枚あります。
読み込めるのは</source>
      <translation> pictures.
Only </translation>
    </message>
    <message>
      <location filename="../../app/stereo/StereoFiles.cpp" />
      <source>枚までです。</source>
      <translation> can be read.</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>検出パターン表示</source>
      <translation>Show the detected patterns</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceResultDlg.cpp" />
      <source>検出結果が間違っている場合は、不要の検出枠をクリックして削除してください。
検出されない顔がある場合は顔の中心をクリックして追加してください。</source>
      <translation>If a detection is wrong, click its frame to delete it.
If a face was not found, click its centre to add it.</translation>
    </message>
    <message>
      <location filename="../../app/ui/ShapeDlg.cpp" />
      <source>楕円</source>
      <translation>Ellipse</translation>
    </message>
    <message>
      <location filename="../../app/ui/StereoDlg.cpp" />
      <source>標準</source>
      <translation>Standard</translation>
    </message>
    <message>
      <location filename="../../app/core/Parameters.h" />
      <source>標準に戻す</source>
      <translation>Restore defaults</translation>
    </message>
    <message>
      <location filename="../../app/output/PaperChange.h" />
      <source>標準のレンチキューラレンズの解像度を%1lpiに変更しますか？</source>
      <translation>Make %1 lpi the standard lenticular lens resolution?</translation>
    </message>
    <message>
      <location filename="../../app/output/Interlace.h" />
      <source>横インターレース</source>
      <translation>Row interlace</translation>
    </message>
    <message>
      <location filename="../../app/output/Video.h" />
      <source>横並び</source>
      <translation>Side by side</translation>
    </message>
    <message>
      <location filename="../../app/ui/UndoText.cpp" />
      <source>消しゴム</source>
      <translation>eraser</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>消しゴムで消します
消しｺﾞﾑﾂｰﾙ</source>
      <translation>Erases
Eraser Tool</translation>
    </message>
    <message>
      <location filename="../../app/layers/MaskTools.cpp" />
      <source>消しｺﾞﾑﾂｰﾙ</source>
      <translation>Eraser Tool</translation>
    </message>
    <message>
      <location filename="../../app/layers/DepthViews.cpp" />
      <source>深度マップ (*.png,*.jpg,*.jpeg,*.bmp)</source>
      <translation>Depth maps (*.png,*.jpg,*.jpeg,*.bmp)</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>深度マップの保存...</source>
      <translation>Save Depth Map...</translation>
    </message>
    <message>
      <location filename="../../app/core/DepthMapFile.cpp" />
      <source>深度マップの読込みに失敗しました</source>
      <translation>The depth map could not be read</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>深度マップ付きで開く...</source>
      <translation>Open with Depth Map...</translation>
    </message>
    <message>
      <location filename="../../app/output/Video.cpp" />
      <source>減色処理中(時間がかかります)</source>
      <translation>Reducing colours (this takes time)</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>無題</source>
      <translation>Untitled</translation>
    </message>
    <message>
      <location filename="../../app/layers/Regions.cpp" />
      <source>現在表示中の切出し領域をマスキング用のマスクに設定しますか？</source>
      <translation>Make the region now shown the masking mask?</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>用紙サイズとレンズを変更します
用紙サイズ変更</source>
      <translation>Changes the paper size and lens
Change Paper Size</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>用紙サイズ変更(&amp;F)...</source>
      <translation>Change Paper Si&amp;ze...</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.cpp" />
      <source>画像が編集されています。
データを保存しますか？</source>
      <translation>The picture has been edited.
Save the data?</translation>
    </message>
    <message>
      <location filename="../../app/stereo/StereoFiles.cpp" />
      <source>画像の書き込みに失敗しました。メモリーカードに画像が書き込めるようになっているか 空き領域があるか確認てください</source>
      <translation>The picture could not be written. Check that the memory card is writable and has free space.</translation>
    </message>
    <message>
      <location filename="../../app/stereo/StereoFiles.cpp" />
      <source>画像の書き込みに成功しました。メモリーカードをNINTENDO DS3にメモリーカードを差し込んで3Dカメラで見てください</source>
      <translation>The picture was written. Insert the memory card into the NINTENDO 3DS and view it with the 3D camera.</translation>
    </message>
    <message>
      <location filename="../../app/output/Print.cpp" />
      <source>画像を一度メモリに書き込んでから印刷しますか？何も印刷されない場合は、はいを答えてください。</source>
      <translation>Write the picture to memory first and then print? If nothing gets printed, answer Yes.</translation>
    </message>
    <message>
      <location filename="../../app/ui/PrintDlg.cpp" />
      <source>画像を決まった大きさで印刷するため、用紙1枚に1ページ、拡大も縮小もせずに印刷します。</source>
      <translation>To print the picture at its exact size, it is printed one page per sheet, neither enlarged nor reduced.</translation>
    </message>
    <message>
      <location filename="../../app/ui/VideoDlg.cpp" />
      <source>画像サイズ</source>
      <translation>Picture size</translation>
    </message>
    <message>
      <location filename="../../app/core/PhotoFile.cpp" />
      <source>画像ファイルが途中で終わっています。
画像の下側%1行（全%2行の%3%）が読み込めなかったため、灰色で表示されます。</source>
      <translation>The picture file ends early.
The bottom %1 rows (of %2, %3%) could not be read and are shown grey.</translation>
    </message>
    <message>
      <location filename="../../app/core/PhotoFile.cpp" />
      <source>画像ファイルが途中で終わっています。
画像の細部の一部が読み込めなかったため、粗く表示されます。</source>
      <translation>The picture file ends early.
Part of the fine detail could not be read, so the picture is shown coarse.</translation>
    </message>
    <message>
      <location filename="../../app/output/Adjust.h" />
      <source>画像回転</source>
      <translation>Rotate</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>画像回転(&amp;R)</source>
      <translation>&amp;Rotate</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>画像編集</source>
      <translation>Edit Picture</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>画像編集(&amp;E)</source>
      <translation>&amp;Edit Picture</translation>
    </message>
    <message>
      <location filename="../../app/core/WorkspaceDialogs.h" />
      <source>画像読込みダイアログ</source>
      <translation>Open Picture</translation>
    </message>
    <message>
      <location filename="../../app/layers/DepthViews.cpp" />
      <source>画像ﾌｧｲﾙ (*.jpg,*.jpeg,*.bmp)</source>
      <translation>Picture files (*.jpg,*.jpeg,*.bmp)</translation>
    </message>
    <message>
      <location filename="../../app/output/Adjust.h" />
      <source>画質調整</source>
      <translation>Adjust Picture</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>画質調整(&amp;R)</source>
      <translation>Adjust Pictu&amp;re</translation>
    </message>
    <message>
      <location filename="../../app/ui/AdjustDlg.cpp" />
      <source>画質調整ダイアログ</source>
      <translation>Adjust Picture</translation>
    </message>
    <message>
      <location filename="../../app/ui/AnaglyphDlg.cpp" />
      <source>白黒</source>
      <translation>Black and white</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>直前の描画を元に戻します
元に戻す</source>
      <translation>Undoes the last drawing
Undo</translation>
    </message>
    <message>
      <location filename="../../app/overlay/ObjectEdit.cpp" />
      <source>直線の太さは１以上を指定してください。</source>
      <translation>Please give a line width of 1 or more.</translation>
    </message>
    <message>
      <location filename="../../app/ui/ShapeDlg.cpp" />
      <source>矢印/角のサイズ</source>
      <translation>Arrow/corner size</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>立体ディスプレイ用のインターレース画像を表示します
インターレース画像の作成</source>
      <translation>Shows the interlaced image for 3D displays
Make Interlaced Image</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>立体化しない</source>
      <translation>Keep flat</translation>
    </message>
    <message>
      <location filename="../../app/output/Anaglyph.h" />
      <source>立体感</source>
      <translation>Stereo strength</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>立体画像</source>
      <translation>Views</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>立体画像(&amp;M)</source>
      <translation>View Ani&amp;mation</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>立体画像から動画ファイルまたはアニメーション GIF を作成します
動画ファイルの作成</source>
      <translation>Makes a video file or an animated GIF from the views
Make Video</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>立体画像が作成されていません。作成しますか？</source>
      <translation>The views have not been made. Make them?</translation>
    </message>
    <message>
      <location filename="../../app/stereo/StereoFiles.cpp" />
      <source>立体画像が作成されていません。画像作成を作成します。</source>
      <translation>The views have not been made. They will be made now.</translation>
    </message>
    <message>
      <location filename="../../app/output/Video.h" />
      <source>立体画像による動画作成</source>
      <translation>Video from the views</translation>
    </message>
    <message>
      <location filename="../../app/stereo/StereoFiles.h" />
      <source>立体画像の保存(&amp;L)...</source>
      <translation>Save Vie&amp;ws...</translation>
    </message>
    <message>
      <location filename="../../app/output/Interlace.h" />
      <source>立体画像をインターレースで表示</source>
      <translation>Show the views interlaced</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>立体画像をレンチキュラー用に合成します
立体画像合成</source>
      <translation>Composes the views for a lenticular print
Compose</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>立体画像を順に切り替えて表示します
立体画像</source>
      <translation>Shows the views one after another
Views</translation>
    </message>
    <message>
      <location filename="../../app/output/Anaglyph.h" />
      <source>立体画像作り直し</source>
      <translation>Remake the views</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>立体画像作成</source>
      <translation>Make Views</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>立体画像作成(&amp;S)...</source>
      <translation>Make &amp;Views...</translation>
    </message>
    <message>
      <location filename="../../app/core/WorkspaceDialogs.h" />
      <source>立体画像作成ダイアログ</source>
      <translation>Make Views</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>立体画像作成中</source>
      <translation>Making the views</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>立体画像合成</source>
      <translation>Compose</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>立体画像合成(&amp;C)</source>
      <translation>&amp;Compose</translation>
    </message>
    <message>
      <location filename="../../app/ui/AnaglyphDlg.cpp" />
      <source>緑マゼンタ 最小二乗法(Dubois)</source>
      <translation>Green-magenta, least squares (Dubois)</translation>
    </message>
    <message>
      <location filename="../../app/ui/ShapeDlg.cpp" />
      <source>線の太さ</source>
      <translation>Line width</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>編集(&amp;E)</source>
      <translation>&amp;Edit</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>編集中のプロジェクトに名前を付けて保存します
名前を付けて保存</source>
      <translation>Saves the project under a new name
Save As</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>編集中のプロジェクトを上書き保存します
上書き保存</source>
      <translation>Saves the project
Save</translation>
    </message>
    <message>
      <location filename="../../app/core/EditImage.cpp" />
      <source>編集画像の保存</source>
      <translation>Save Edit Picture</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>編集画像の保存(&amp;P)...</source>
      <translation>Save Edit &amp;Picture...</translation>
    </message>
    <message>
      <location filename="../../app/stereo/PairAlign.cpp" />
      <source>縦 %1 px, 回転 %2°</source>
      <translation>vertical %1 px, rotation %2°</translation>
    </message>
    <message>
      <location filename="../../app/stereo/PairAlign.h" />
      <source>縦 12.3 px, 回転 0.8°</source>
      <translation>vertical 12.3 px, rotation 0.8°</translation>
    </message>
    <message>
      <location filename="../../app/output/Interlace.h" />
      <source>縦インターレース</source>
      <translation>Column interlace</translation>
    </message>
    <message>
      <location filename="../../app/output/Video.h" />
      <source>縦並び</source>
      <translation>One above the other</translation>
    </message>
    <message>
      <location filename="../../app/core/WorkspaceDialogs.h" />
      <source>縦書き</source>
      <translation>Vertical</translation>
    </message>
    <message>
      <location filename="../../app/core/WorkspaceDialogs.h" />
      <source>縦横同じ</source>
      <translation>Same width and height</translation>
    </message>
    <message>
      <location filename="../../app/output/WorkingSize.cpp" />
      <source>縦横比を変更</source>
      <translation>Change the aspect ratio</translation>
    </message>
    <message>
      <location filename="../../app/output/Trimming.h" />
      <source>縦横比変更</source>
      <translation>Change aspect ratio</translation>
    </message>
    <message>
      <location filename="../../app/ui/VideoDlg.cpp" />
      <source>繰り返し回数</source>
      <translation>Repeat count</translation>
    </message>
    <message>
      <location filename="../../app/ui/DepthDlg.cpp" />
      <source>背景</source>
      <translation>Background</translation>
    </message>
    <message>
      <location filename="../../app/output/Diffraction.h" />
      <source>背景とするマスクの数</source>
      <translation>Masks counted as background</translation>
    </message>
    <message>
      <location filename="../../app/output/Diffraction.h" />
      <source>背景を塗りつぶす</source>
      <translation>Fill the background</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>背景・切出し領域・手書きの奥行きを設定します
遠近設定</source>
      <translation>Sets the depth of the background, the regions and the drawing
Depth</translation>
    </message>
    <message>
      <location filename="../../app/ui/BackDlg.cpp" />
      <source>背景色</source>
      <translation>Background colour</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>背面へ</source>
      <translation>Send Backward</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>色を設定</source>
      <translation>Set Colour</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>行で補正する</source>
      <translation>Correct by rows</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>表示(&amp;V)</source>
      <translation>&amp;View</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>表示する切出し領域を切り替えます
切出し領域を切替える</source>
      <translation>Switches the region shown
Switch Region</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>表示を拡大します (1, 2, 4, 8 倍)
ｽﾞｰﾑﾂｰﾙ</source>
      <translation>Zooms the view (1, 2, 4, 8 times)
Zoom Tool</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>表示中の切出し領域の画像を保存します
切出し画像の保存</source>
      <translation>Saves the picture of the region shown
Save Cutout</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>表示中の切出し領域をマスキング用のマスクにします
ﾏｽｷﾝｸﾞﾏｽｸ設定</source>
      <translation>Makes the region shown the masking mask
Set Masking Mask</translation>
    </message>
    <message>
      <location filename="../../app/layers/Regions.cpp" />
      <source>表示中の切出し領域を削除しますか？</source>
      <translation>Delete the region shown?</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>表示中の拡張切出し領域を削除します
拡張切出し領域削除</source>
      <translation>Deletes the region shown
Delete Region</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>表示中の編集画像を JPEG またはビットマップで保存します
編集画像の保存</source>
      <translation>Saves the edit picture shown as JPEG, bitmap or PNG
Save Edit Picture</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>補正しない</source>
      <translation>No correction</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>視差マップによる合成</source>
      <translation>Synthesis from a disparity map</translation>
    </message>
    <message>
      <location filename="../../app/ui/ShapeDlg.cpp" />
      <source>角丸四角形</source>
      <translation>Rounded rectangle</translation>
    </message>
    <message>
      <location filename="../../app/output/Trimming.h" />
      <source>角度補正</source>
      <translation>Angle correction</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>言語(&amp;L)</source>
      <translation>&amp;Language</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>許容かい離値</source>
      <translation>Tolerated deviation</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>説明書を表示します
ドキュメントの表示</source>
      <translation>Shows the manual
Documentation</translation>
    </message>
    <message>
      <location filename="../../app/stereo/StereoFiles.cpp" />
      <source>読み込んだ画像を上書きしますか？
いいえを答えると元の写真は残したまま作成した画像を新たに追加します</source>
      <translation>Overwrite the picture that was read?
Answer No to keep the original photo and add the new picture.</translation>
    </message>
    <message>
      <location filename="../../app/output/Diffraction.h" />
      <source>赤(飛び出る)</source>
      <translation>Red (pops out)</translation>
    </message>
    <message>
      <location filename="../../app/ui/AnaglyphDlg.cpp" />
      <source>赤シアン ハーフカラー</source>
      <translation>Red-cyan, half colour</translation>
    </message>
    <message>
      <location filename="../../app/ui/AnaglyphDlg.cpp" />
      <source>赤シアン 最小二乗法(Dubois)</source>
      <translation>Red-cyan, least squares (Dubois)</translation>
    </message>
    <message>
      <location filename="../../app/ui/AnaglyphDlg.cpp" />
      <source>赤シアン 最適化</source>
      <translation>Red-cyan, optimised</translation>
    </message>
    <message>
      <location filename="../../app/ui/AnaglyphDlg.cpp" />
      <source>赤シアン(Red-Cyan)</source>
      <translation>Red-Cyan</translation>
    </message>
    <message>
      <location filename="../../app/ui/AnaglyphDlg.cpp" />
      <source>赤緑(Red-Green)</source>
      <translation>Red-Green</translation>
    </message>
    <message>
      <location filename="../../app/ui/AnaglyphDlg.cpp" />
      <source>赤青(Red-Blue)</source>
      <translation>Red-Blue</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>赤青メガネ用のアナグリフ画像を作成します
アナグリフ画像作成</source>
      <translation>Makes an anaglyph for red-cyan glasses
Make Anaglyph</translation>
    </message>
    <message>
      <location filename="../../app/core/Project.cpp" />
      <source>追加切出し領域ファイル %1 が壊れています。この追加切出し領域以降を削除します。</source>
      <translation>The region file %1 is damaged. This region and the ones after it are removed.</translation>
    </message>
    <message>
      <location filename="../../app/core/ProjectFile.cpp" />
      <source>追加切出し領域ファイルが見つかりません。この追加切出し領域以降を削除します。</source>
      <translation>A region file is missing. This region and the ones after it are removed.</translation>
    </message>
    <message>
      <location filename="../../app/layers/DepthEditor.cpp" />
      <source>遠近値の設定が範囲(-16～16)を越えています</source>
      <translation>The depth is outside its range (-16 to 16)</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>遠近設定</source>
      <translation>Depth</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>遠近設定(&amp;D)...</source>
      <translation>&amp;Depth...</translation>
    </message>
    <message>
      <location filename="../../app/core/WorkspaceDialogs.h" />
      <source>遠近設定ダイアログ</source>
      <translation>Depth</translation>
    </message>
    <message>
      <location filename="../../app/stereo/StereoFiles.cpp" />
      <source>選択したドライブにはNINTENDO 3DS用のメモリーカードが差し込まれていません。
メモリーカードを差し込むか他のドライブを選択してください。</source>
      <translation>The chosen drive holds no NINTENDO 3DS memory card.
Insert the memory card or choose another drive.</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>選択中のオブジェクトを削除します
削除</source>
      <translation>Deletes the selected object
Delete</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>選択中の文字または図形を編集します
文字/図形編集</source>
      <translation>Edits the selected text or shape
Edit Text/Shape</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>開く(&amp;O)...</source>
      <translation>&amp;Open...</translation>
    </message>
    <message>
      <location filename="../../app/output/Diffraction.h" />
      <source>青</source>
      <translation>Blue</translation>
    </message>
    <message>
      <location filename="../../app/autocut/FaceDetect.h" />
      <source>顔検出(&amp;A)...</source>
      <translation>F&amp;ace Detection...</translation>
    </message>
    <message>
      <location filename="../../app/autocut/FaceDetect.h" />
      <source>顔検出に失敗しました。</source>
      <translation>Face detection failed.</translation>
    </message>
    <message>
      <location filename="../../app/autocut/FaceDetect.cpp" />
      <source>顔検出に失敗しました。
顔が小さい・横向き・暗い写真では見つからないことがあります。ペンツールで切出し領域を手で描くか、顔検出設定でスケールファクターや最小近傍を小さくしてもう一度お試しください。</source>
      <translation>Face detection failed.
Faces that are small, turned sideways or dark may not be found. Draw the cut-out region by hand with the pen tool, or make the scale factor or minimum neighbours smaller in the face detection settings and try again.</translation>
    </message>
    <message>
      <location filename="../../app/ui/CommandTips.cpp" />
      <source>顔検出の条件を設定します
顔検出設定</source>
      <translation>Sets the conditions of face detection
Face Detection Settings</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceResultDlg.cpp" />
      <source>顔検出の結果を表示しています。
この結果を基に切出し領域を作成しますか？</source>
      <translation>The result of face detection is shown.
Make cutout regions from it?</translation>
    </message>
    <message>
      <location filename="../../app/autocut/FaceDetect.cpp" />
      <source>顔検出中</source>
      <translation>Detecting faces</translation>
    </message>
    <message>
      <location filename="../../app/autocut/FaceDetect.cpp" />
      <source>顔検出学習ファイルの読み込みに失敗しました</source>
      <translation>The face classifier file could not be read</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceResultDlg.cpp" />
      <source>顔検出結果ダイアログ</source>
      <translation>Face Detection Result</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>顔検出設定(&amp;A)...</source>
      <translation>&amp;Face Detection Settings...</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceDetectDlg.cpp" />
      <source>顔検出設定ダイアログ</source>
      <translation>Face Detection Settings</translation>
    </message>
    <message>
      <location filename="../../app/ui/FaceDetectDlg.cpp" />
      <source>顔認識学習ﾌｧｲﾙ (*.xml)</source>
      <translation>Face classifier files (*.xml)</translation>
    </message>
    <message>
      <location filename="../../app/ui/PMDlg.cpp" />
      <source>高さ</source>
      <translation>Height</translation>
    </message>
    <message>
      <location filename="../../app/ui/PictureDlg.cpp" />
      <source>高解像度画像を残す</source>
      <translation>Keep a high-resolution copy</translation>
    </message>
    <message>
      <location filename="../../app/layers/Views.cpp" />
      <source>高解像度立体画像作成中</source>
      <translation>Making the high-resolution views</translation>
    </message>
    <message>
      <location filename="../../app/layers/DepthEditor.h" />
      <source>鮮明</source>
      <translation>Sharp</translation>
    </message>
    <message>
      <location filename="../../app/output/Diffraction.h" />
      <source>黒(塗りつぶし)</source>
      <translation>Black (fill)</translation>
    </message>
    <message>
      <location filename="../../platform/src/GuiRuntime.cpp" />
      <source>ＭＳ ゴシック</source>
      <translation>ＭＳ ゴシック</translation>
    </message>
    <message>
      <location filename="../../app/core/Settings.cpp" />
      <source>ＭＳ Ｐゴシック</source>
      <translation>ＭＳ Ｐゴシック</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>ｵﾌﾞｼﾞｪｸﾄを移動</source>
      <translation>Move Object</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>ｶﾗｰﾂｰﾙ</source>
      <translation>Colour Tool</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>ｸﾘｯﾌﾟｱｰﾄを挿入する</source>
      <translation>Insert Clip Art</translation>
    </message>
    <message>
      <location filename="../../app/overlay/ObjectEdit.cpp" />
      <source>ｸﾘｯﾌﾟﾌｧｲﾙの読み込みに失敗しました</source>
      <translation>The clip-art file could not be read</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>ｽﾞｰﾑﾂｰﾙ</source>
      <translation>Zoom Tool</translation>
    </message>
    <message>
      <location filename="../../app/ui/ParamDlg.cpp" />
      <source>ﾄﾞｯﾄ</source>
      <translation>dots</translation>
    </message>
    <message>
      <location filename="../../app/core/EditImage.cpp" />
      <source>ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)</source>
      <translation>Bitmap files (*.bmp)</translation>
    </message>
    <message>
      <location filename="../../app/output/PitchTest.h" />
      <source>ﾌﾟﾗｽﾄｰﾗ</source>
      <translation>Plastora</translation>
    </message>
    <message>
      <location filename="../../app/core/Project.cpp" />
      <source>ﾌﾟﾗｽﾄｰﾗ画像ﾌｧｲﾙ (*.jpg)</source>
      <translation>Plastora pictures (*.jpg)</translation>
    </message>
    <message>
      <location filename="../../app/core/Project.cpp" />
      <source>ﾌﾟﾗｽﾄｰﾗﾌｧｲﾙ (*.lyr)</source>
      <translation>Plastora projects (*.lyr)</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>ﾍﾟｲﾝﾄﾂｰﾙ</source>
      <translation>Paint Tools</translation>
    </message>
    <message>
      <location filename="../../app/layers/MaskTools.cpp" />
      <source>ﾍﾟﾝﾂｰﾙ</source>
      <translation>Pen Tool</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>ﾏｽｷﾝｸﾞ</source>
      <translation>Masking</translation>
    </message>
    <message>
      <location filename="../../app/layers/MaskTools.cpp" />
      <source>ﾏｽｷﾝｸﾞ解除</source>
      <translation>Masking off</translation>
    </message>
    <message>
      <location filename="../../app/layers/MaskTools.cpp" />
      <source>ﾏｽｷﾝｸﾞｾｯﾄ</source>
      <translation>Masking on</translation>
    </message>
    <message>
      <location filename="../../app/core/StereoWorkspace.h" />
      <source>ﾏｽｷﾝｸﾞﾏｽｸ設定</source>
      <translation>Set Masking Mask</translation>
    </message>
    <message>
      <location filename="../../app/ui/Commands.cpp" />
      <source>ﾏｽｷﾝｸﾞﾏｽｸ設定(&amp;M)</source>
      <translation>Set &amp;Masking Mask</translation>
    </message>
    <message>
      <location filename="../../app/ui/MainFrame.cpp" />
      <source>ﾏｽｸﾂｰﾙ</source>
      <translation>Mask Tools</translation>
    </message>
    <message>
      <location filename="../../app/core/Project.cpp" />
      <source>ﾏﾙﾁﾋﾟｸﾁｬｰﾌｧｲﾙ(*.mpo)</source>
      <translation>Multi-picture files (*.mpo)</translation>
    </message>
    <message>
      <location filename="../../app/output/Video.cpp" />
      <source>ﾑｰﾋﾞｰﾌｧｲﾙ(*.avi)</source>
      <translation>Movie files (*.avi)</translation>
    </message>
  </context>
</TS>
