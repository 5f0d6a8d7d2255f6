<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP" sourcelanguage="en_US">
  <context>
    <name>PlastoraCli</name>
    <message>
      <location filename="../../cli/main.cpp" />
      <source> - command-line front end</source>
      <translation> - コマンドライン版</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>%1 is a file of the project %2: choose another name for the output</source>
      <translation>%1 はプロジェクト %2 のファイルです。出力には別の名前を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>%1 is an input of this command: choose another name for the output</source>
      <translation>%1 はこのコマンドの入力です。出力には別の名前を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_open.cpp" />
      <source>%1 not written: the photo gives no high-resolution copy at this working size</source>
      <translation>%1 は書き出していません: この作業サイズでは写真から高解像度画像ができません</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>%1 opened with parts missing (see the warnings above); saving over it would lose them for good: write the project under another name</source>
      <translation>%1 は読み込みで一部が失われました（上の警告を参照）。上書き保存すると失われた部分が戻らなくなります。別の名前でプロジェクトを保存してください</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>%1 or %2: %3</source>
      <translation>%1 または %2: %3</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_wmf.cpp" />
      <source>%1: cannot be read</source>
      <translation>%1: 読み込めません</translation>
    </message>
    <message>
      <source>%1: cannot be written</source>
      <translation type="vanished">%1: 書き込めません</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>%1: cannot write %2 files; this command writes %3</source>
      <translation>%1: %2 ファイルは書き出せません。このコマンドが書き出せる形式: %3</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_wmf.cpp" />
      <source>%1: holds nothing to draw</source>
      <translation>%1: 描画するものがありません</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_wmf.cpp" />
      <source>%1: more objects or points than a picture may have</source>
      <translation>%1: オブジェクトまたは点の数が上限を超えています</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_wmf.cpp" />
      <source>%1: no object of the picture can be written as SWF</source>
      <translation>%1: SWF で書き出せるオブジェクトがありません</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_wmf.cpp" />
      <source>%1: not a readable metafile (truncated or malformed records)</source>
      <translation>%1: 読み込めるメタファイルではありません (途中で切れているか、レコードが壊れています)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_views.cpp" />
      <source>%1: the composite is %2 x %3 pixels, more than this format holds (JPEG: 65500 a side, BMP: 4 GB); write PNG</source>
      <translation>%1: 合成画像は %2 x %3 ピクセルで、この形式に収まりません (JPEG: 1 辺 65500 まで、BMP: 4 GB まで)。PNG で書き出してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_views.cpp" />
      <source>%1: the folder cannot be made</source>
      <translation>%1: フォルダーを作成できません</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_anaglyph.cpp" />
      <source>%1: the output folder cannot be made</source>
      <translation>%1: 出力先フォルダーを作成できません</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>%1: the output needs an extension that names its format; this command writes %2</source>
      <translation>%1: 出力ファイルには形式を表す拡張子が必要です。このコマンドが書き出せる形式: %2</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_wmf.cpp" />
      <source>%1: the picture could not be drawn completely</source>
      <translation>%1: 画像を最後まで描画できませんでした</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_wmf.cpp" />
      <source>%1: the picture has more shapes than an SWF movie can hold (65534)</source>
      <translation>%1: 図形が多すぎて SWF ムービーに収まりません (最大 65534)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_wmf.cpp" />
      <source>%1: the picture is too large to render at this zoom</source>
      <translation>%1: この倍率では画像が大きすぎて描画できません</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>--%1 must be a number from %2 to %3</source>
      <translation>--%1 には %2 から %3 までの数値を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>--%1 must be a whole number from %2 to %3</source>
      <translation>--%1 には %2 から %3 までの整数を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>--%1 must be one of %2</source>
      <translation>--%1 には次のいずれかを指定してください: %2</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_object.cpp" />
      <source>--%1 takes two numbers a,b</source>
      <translation>--%1 には 2 つの数値を a,b の形で指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_object.cpp" />
      <source>--at and --box take numbers up to %1</source>
      <translation>--at と --box の値は %1 までです</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_wmf.cpp" />
      <source>--background expects %1</source>
      <translation>--background には %1 を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_anaglyph.cpp" />
      <source>--background-masks must be below the number of regions (%1)</source>
      <translation>--background-masks には切出し領域の数 (%1) より小さい値を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_object.cpp" />
      <source>--box needs a positive size</source>
      <translation>--box には 1 以上の大きさを指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_anaglyph.cpp" />
      <source>--colour expects %1</source>
      <translation>--colour には %1 を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_open.cpp" />
      <source>--depth goes with -o P.lyr</source>
      <translation>--depth は -o P.lyr と一緒に指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_open.cpp" />
      <source>--depth needs a depth map file</source>
      <translation>--depth には深度マップのファイルを指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_print.cpp" />
      <source>--edit and --anaglyph exclude each other</source>
      <translation>--edit と --anaglyph は同時に指定できません</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_object.cpp" />
      <source>--font: a project holds font names of at most %1 bytes</source>
      <translation>--font: プロジェクトに保存できるフォント名は %1 バイトまでです</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>--format %1: this command writes %2</source>
      <translation>--format %1: このコマンドが書き出せるのは %2 です</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_anaglyph.cpp" />
      <source>--format names the files written into an output folder; %1 is written in the format of its own extension</source>
      <translation>--format は出力フォルダーに書き出すファイルの形式です。%1 はその拡張子の形式で書き出されます</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_open.cpp" />
      <source>--hd and -o name the same file</source>
      <translation>--hd と -o が同じファイルです</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_anaglyph.cpp" />
      <source>--method and --filter exclude each other</source>
      <translation>--method と --filter は同時に指定できません</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>--method must be dense or blocks</source>
      <translation>--method には dense または blocks を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_open.cpp" />
      <source>--mm goes with the user paper (--paper user, or no --paper)</source>
      <translation>--mm はユーザ設定の用紙に使います (--paper user を指定するか、--paper を省いてください)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_open.cpp" />
      <source>--mm must be W,H in millimetres, each from 1 to 9999</source>
      <translation>--mm には W,H をミリ単位で指定してください (それぞれ 1 ～ 9999)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_pitchtest.cpp" />
      <source>--range / --step give no values or more than %1</source>
      <translation>--range / --step の組み合わせでは値がないか、%1 個を超えます</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_open.cpp" />
      <source>--rect goes with --trim 4</source>
      <translation>--rect は --trim 4 と一緒に指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_open.cpp" />
      <source>--rect must be x,y,w,h in photo pixels</source>
      <translation>--rect には x,y,w,h を写真のピクセル単位で指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_open.cpp" />
      <source>--rect must lie inside the photo (%1 x %2)</source>
      <translation>--rect は写真 (%1 x %2) の内側に収めてください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_object.cpp" />
      <source>--shape is one of rectangle, ellipse, rounded, rising, falling</source>
      <translation>--shape には rectangle, ellipse, rounded, rising, falling のいずれかを指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_movie.cpp" />
      <source>--size expects WxH</source>
      <translation>--size には WxH の形で大きさを指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_movie.cpp" />
      <source>--size: this output holds at most %1 pixels a side</source>
      <translation>--size: この出力の一辺は %1 ピクセルまでです</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_raster.cpp" />
      <source>--transparent lies outside the picture</source>
      <translation>--transparent の位置が画像の外にあります</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_raster.cpp" />
      <source>--transparent takes x,y (pixels, from 0)</source>
      <translation>--transparent には x,y を指定してください (ピクセル単位、0 から)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_open.cpp" />
      <source>--trim 0 is not available: the photo is larger than the 2L paper</source>
      <translation>--trim 0 は使えません: 写真が 2L判より大きいためです</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_stereo.cpp" />
      <source>--trim 0 is not available: the picture is larger than the 2L paper</source>
      <translation>--trim 0 は使えません: 画像が 2L判より大きいためです</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_open.cpp" />
      <source>--trim 4 needs --rect x,y,w,h (there is no interactive frame)</source>
      <translation>--trim 4 には --rect x,y,w,h が必要です (枠を画面で指定できないため)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_open.cpp" />
      <source>--yes and --no exclude each other</source>
      <translation>--yes と --no は同時に指定できません</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_wmf.cpp" />
      <source>-o OUT.{bmp,wmf,swf} is needed</source>
      <translation>-o OUT.{bmp,wmf,swf} を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>2L size photo (127 x 178 mm)</source>
      <translation>2L判 (127 x 178 mm)</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>A4</source>
      <translation>A4</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_batch.cpp" />
      <source>FILE holds one command a line: optional NAME=VALUE fields first, then the command and its
arguments, all separated by tabs. After each command "#batch N EXIT" goes to stderr (N counts
from 0 over every line; blank lines and lines starting with # are skipped). The exit code is 1
when any command failed.

example:
  plastora-cli batch commands.tsv
</source>
      <translation>FILE には 1 行に 1 つのコマンドを書きます: 先頭に必要なら NAME=VALUE、続けてコマンドと
引数を、すべてタブで区切ります。コマンドごとに標準エラーに "#batch N EXIT" を出します
(N はすべての行を 0 から数えます。空行と # で始まる行は飛ばします)。失敗したコマンドがあれば終了コードは 1 です。

例:
  plastora-cli batch commands.tsv
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_picture.cpp" />
      <source>FILE is a project (.lyr), a multi-picture file (.mpo) or a photo of any format the program
opens (JPEG, BMP, PNG, TIFF, WebP, recognised by content; the size is after the Exif
orientation).

example:
  plastora-cli info photo.jpg
</source>
      <translation>FILE はプロジェクト (.lyr)、マルチピクチャーファイル (.mpo)、またはこのプログラムで開ける
写真 (JPEG, BMP, PNG, TIFF, WebP、内容で判別。大きさは Exif の向きを適用した後のもの)。

例:
  plastora-cli info photo.jpg
</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>L size photo (89 x 127 mm)</source>
      <translation>L判 (89 x 127 mm)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_object.cpp" />
      <source>One of --text, --shape or --clipart; positions and sizes are in pixels of the working image.

options:
  -o, --output OUT   the project to write (.lyr)
  --text T           a text object (as the text tool)
    --font F         the font face (default: the text dialog's)
    --size N         the character size in pixels, 8 to 72 (default: the text dialog's)
    --vertical       vertical writing
    --flat           not made three-dimensional: the text stays in place in every view
    --plain          not bold (default: bold; --bold says so)
    --italic         italic
  --shape KIND       a shape: rectangle, ellipse, rounded (rectangle), rising or falling (line)
    --line-width W   the line width in pixels, 0 to 8, a line at least 1 (default 2)
    --corner R       the corner size of a rounded rectangle, or a line's arrow head size, in pixels,
                     0 to 32 (default 8)
    --no-fill        only the outline
    --square         a square or circle
    --arrow-left     an arrow head at the line's first end
    --arrow-right    an arrow head at the line's second end
  --clipart FILE     a clip-art picture (WMF, GIF, BMP or PNG)
  --colour C         the colour, RRGGBB or #RRGGBB (hexadecimal red, green, blue); a shape's
                     line colour; --color is the same
  --at x,y           the top left corner (default: where the tool puts it)
  --box w,h          the size, each at least 1
  --depth D          the object's depth, -32 to 16 (default: the settings' [Stereo] Paint)
  --shadow           a grey shadow at the background's depth

examples:
  plastora-cli object picture.lyr --text "Hello" --size 36 --colour FF0000 --at 20,20 -o out.lyr
  plastora-cli object picture.lyr --shape ellipse --line-width 4 --no-fill --depth 8 -o out.lyr
</source>
      <translation>--text, --shape, --clipart のどれか 1 つを指定します。位置と大きさは作業画像のピクセル単位です。

オプション:
  -o, --output OUT   書き出すプロジェクト (.lyr)
  --text T           文字のオブジェクト (文字ツールと同じ)
    --font F         フォント名 (既定: 文字入力ダイアログの設定)
    --size N         文字の大きさ (ピクセル)、8 ～ 72 (既定: 文字入力ダイアログの設定)
    --vertical       縦書き
    --flat           立体化しない: どの立体画像でも文字を動かさない
    --plain          太字にしない (既定: 太字。--bold でも同じ)
    --italic         斜体
  --shape KIND       図形: rectangle (四角形)、ellipse (楕円)、rounded (角丸四角形)、
                     rising (右上がりの線)、falling (右下がりの線)
    --line-width W   線の太さ (ピクセル)、0 ～ 8、線は 1 以上 (既定 2)
    --corner R       角丸四角形の角、または線の矢印の大きさ (ピクセル)、0 ～ 32 (既定 8)
    --no-fill        塗りつぶさない (輪郭のみ)
    --square         縦横同じ (正方形、円)
    --arrow-left     線の始点に矢印
    --arrow-right    線の終点に矢印
  --clipart FILE     クリップアートの画像 (WMF, GIF, BMP, PNG)
  --colour C         色、RRGGBB または #RRGGBB (赤・緑・青の 16 進数)。図形では線の色。
                     --color も同じ
  --at x,y           左上の位置 (既定: ツールが置く位置)
  --box w,h          大きさ、それぞれ 1 以上
  --depth D          オブジェクトの奥行き、-32 ～ 16 (既定: 設定ファイルの [Stereo] Paint)
  --shadow           背景の奥行きにグレーの影を付ける

例:
  plastora-cli object picture.lyr --text "Hello" --size 36 --colour FF0000 --at 20,20 -o out.lyr
  plastora-cli object picture.lyr --shape ellipse --line-width 4 --no-fill --depth 8 -o out.lyr
</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.h" />
      <source>RRGGBB or #RRGGBB (hexadecimal red, green, blue)</source>
      <translation>RRGGBB または #RRGGBB (赤・緑・青の 16 進数)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_open.cpp" />
      <source>Reads a photo (JPEG, BMP, PNG, TIFF or WebP, recognised by its content; a JPEG's Exif
orientation is applied) and brings it to the working size.

options:
  -o, --output OUT   a project (.lyr) or the working image (.jpg, .jpeg, .bmp, .png)
  --paper P          paper size, by number or name (default: the picture dialog's preset):
%1  --trim M           trimming, by number or name (default: crop):
%2  --lpi X            lens resolution in lines per inch, 20 to 160 (default: the settings)
  --mm W,H           user paper size in millimetres, each 1 to 9999 (implies --paper user)
  --rect x,y,w,h     the frame for --trim manual, in photo pixels
  --hd FILE          also write the high-resolution copy (.jpg, .bmp, .png; 340 dpi)
  --depth FILE       a depth map (8-bit grey, nearer = brighter) the views are made from
  --settings INI     the settings file to read, never written (default: the program's Plastora.ini)
  --yes | --no       answer to the lens question (nothing is written either way)

example:
  plastora-cli open photo.png --paper l --trim margins --lpi 60 -o picture.lyr
</source>
      <translation>JPEG, BMP, PNG, TIFF, WebP の写真 (形式は内容で判別し、JPEG は Exif の向きを適用) を
読み込み、作業サイズにします。

オプション:
  -o, --output OUT   プロジェクト (.lyr) または作業画像 (.jpg, .jpeg, .bmp, .png)
  --paper P          用紙サイズ、番号または名前で (既定: 画像読込みダイアログの初期値):
%1  --trim M           トリミング、番号または名前で (既定: crop):
%2  --lpi X            レンズの解像度 (1 インチあたりの本数)、20 ～ 160 (既定: 設定ファイル)
  --mm W,H           ユーザ設定の用紙サイズ (ミリ)、それぞれ 1 ～ 9999 (--paper user を含む)
  --rect x,y,w,h     --trim manual の枠、写真のピクセル単位
  --hd FILE          高解像度画像も書き出す (.jpg, .bmp, .png、340 dpi)
  --depth FILE       立体画像を作る深度マップ (8 ビットのグレー、明るいほど手前)
  --settings INI     読み込む設定ファイル、書き換えない (既定: プログラムの Plastora.ini)
  --yes | --no       レンズの解像度の質問への答え (どちらでも設定は書き換えない)

例:
  plastora-cli open photo.png --paper l --trim margins --lpi 60 -o picture.lyr
</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>VGA screen (640 x 480)</source>
      <translation>VGA 画面 (640 x 480)</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>a frame given with --rect x,y,w,h</source>
      <translation>--rect x,y,w,h で指定した枠</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_faces.cpp" />
      <source>a stereo pair has no cut-out layers; give a photo or a layered project</source>
      <translation>立体ペアには切出し領域がありません。写真か、領域のあるプロジェクトを指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_object.cpp" />
      <source>adds a text, shape or clip-art object to a project (as the image-editing tools do) and saves it</source>
      <translation>プロジェクトに文字・図形・クリップアートのオブジェクトを追加して保存します (画像編集のツールと同じ)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_anaglyph.cpp" />
      <source>anaglyph: %1 of %2 projects failed:%3</source>
      <translation>anaglyph: %2 個のプロジェクトのうち %1 個が失敗しました:%3</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_adjust.cpp" />
      <source>brightness and contrast (-50..50) of a project's picture, saved as a new project</source>
      <translation>プロジェクトの画像の明るさとコントラスト (-50..50) を変えて、新しいプロジェクトとして保存します</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_open.cpp" />
      <source>brings a photo to the working size of a paper, lens and trimming mode; writes a project (.lyr) or the working image (--depth: views by that depth map, nearer = brighter); the settings (--settings INI) are read, never written</source>
      <translation>写真を用紙・レンズ・トリミング方法で決まる作業サイズにして、プロジェクト (.lyr) または作業画像を書き出します (--depth: その深度マップから立体画像を作成、明るいほど手前)。設定ファイル (--settings INI) は読むだけで書き換えません</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>business card</source>
      <translation>名刺(カード)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_movie.cpp" />
      <source>cannot prepare the settings for --size</source>
      <translation>--size の設定を準備できません</translation>
    </message>
    <message>
      <location filename="../../cli/main.cpp" />
      <source>commands:</source>
      <translation>コマンド:</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>crop what overflows the paper (centred)</source>
      <translation>はみ出しをカット (中央合わせ)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_pitchtest.cpp" />
      <source>expects -o OUT.pdf</source>
      <translation>-o OUT.pdf を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_raster.cpp" />
      <source>expects IN -o OUT</source>
      <translation>IN -o OUT を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_views.cpp" />
      <source>expects a project and -o DIR</source>
      <translation>プロジェクトと -o DIR を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_anaglyph.cpp" />
      <source>expects a project and -o OUT</source>
      <translation>プロジェクトと -o OUT を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_movie.cpp" />
      <source>expects a project and -o OUT.avi or OUT.gif</source>
      <translation>プロジェクトと -o OUT.avi または OUT.gif を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_views.cpp" />
      <source>expects a project and -o OUT.bmp</source>
      <translation>プロジェクトと -o OUT.bmp を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_adjust.cpp" />
      <source>expects a project and -o OUT.lyr</source>
      <translation>プロジェクトと -o OUT.lyr を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_stereo.cpp" />
      <source>expects a project and -o OUT.mpo, OUT.jpg or OUT.bmp</source>
      <translation>プロジェクトと -o OUT.mpo, OUT.jpg または OUT.bmp を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_print.cpp" />
      <source>expects a project and -o OUT.pdf</source>
      <translation>プロジェクトと -o OUT.pdf を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_movie.cpp" />
      <source>expects a project, -o OUT and --kind 1-4</source>
      <translation>プロジェクトと -o OUT、--kind 1-4 を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_picture.cpp" />
      <source>expects an input and an output file</source>
      <translation>入力ファイルと出力ファイルを指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_picture.cpp" />
      <source>expects one file</source>
      <translation>ファイルを 1 つ指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_batch.cpp" />
      <source>expects one file of commands</source>
      <translation>コマンドを並べたファイルを 1 つ指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_faces.cpp" />
      <source>expects one photo</source>
      <translation>写真を 1 つ指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_stereo.cpp" />
      <source>expects two pictures (left, right) or one .mpo file</source>
      <translation>画像を 2 つ (左、右) か .mpo ファイルを 1 つ指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_faces.cpp" />
      <source>finds the faces in a photo, cuts out every person with the body template (one region, or one per face with --separate) and saves the project</source>
      <translation>写真から顔を検出し、人物を体のテンプレートで切り出してプロジェクトを保存します (切出し領域は 1 つ、--separate では顔ごとに 1 つ)</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>fit inside, white margins</source>
      <translation>余白を残す (白い余白で全体を収める)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_object.cpp" />
      <source>give exactly one of --text, --shape, --clipart</source>
      <translation>--text, --shape, --clipart のどれか 1 つを指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>it is a folder</source>
      <translation>フォルダーです</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>keep the photo's own size</source>
      <translation>トリミングしない (写真の大きさのまま)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_batch.cpp" />
      <source>line %1: a batch cannot run another batch</source>
      <translation>%1 行目: batch の中で batch は実行できません</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_batch.cpp" />
      <source>line %1: no command</source>
      <translation>%1 行目: コマンドがありません</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_batch.cpp" />
      <source>line %1: unknown command %2</source>
      <translation>%1 行目: 不明なコマンド %2 です</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_stereo.cpp" />
      <source>makes a stereo-pair project from a left and a right picture or from an MPO file, brought to the working size like open and aligned (--no-align: as they are)</source>
      <translation>左右 2 枚の画像または MPO ファイルからステレオ画像のプロジェクトを作ります。open と同じく作業サイズにして位置を合わせます (--no-align: そのまま)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_open.cpp" />
      <source>needs -o OUT</source>
      <translation>-o OUT を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_faces.cpp" />
      <source>needs -o P.lyr</source>
      <translation>-o P.lyr を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_object.cpp" />
      <source>no object was added (nothing to draw)</source>
      <translation>オブジェクトは追加されませんでした (描画するものがありません)</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>no such file</source>
      <translation>ファイルがありません</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>not a Plastora project, or a part of it (the edit image, a mask) is missing or damaged</source>
      <translation>Plastora のプロジェクトではないか、その一部 (編集画像、マスク) がないか壊れています</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>not a picture this program can read, or damaged</source>
      <translation>このプログラムで読める画像ではないか、壊れています</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>not a regular file</source>
      <translation>通常のファイルではありません</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>note: %1 does not exist: the default settings are used</source>
      <translation>注意: %1 がありません。標準の設定を使います</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_views.cpp" />
      <source>note: a JPEG holds whole dots per inch: %1 is stored for %2; print at %2 dpi, or write PNG or BMP, which keep it</source>
      <translation>注意: JPEG には整数の dpi しか記録できないため、%2 の代わりに %1 を記録しました。%2 dpi で印刷するか、値を保持できる PNG か BMP で書き出してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_wmf.cpp" />
      <source>one input metafile is needed</source>
      <translation>入力するメタファイルを 1 つ指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>only %1 MB free in the temporary folder %2</source>
      <translation>一時フォルダー %2 の空きが %1 MB しかありません</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>only %1 MB free on its disk</source>
      <translation>ディスクの空きが %1 MB しかありません</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>option --%1 is given twice</source>
      <translation>オプション --%1 が 2 回指定されています</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>option --%1 needs a value</source>
      <translation>オプション --%1 には値が必要です</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>option --%1 takes no value</source>
      <translation>オプション --%1 には値を付けられません</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_adjust.cpp" />
      <source>options:
  --brightness B     -50 to 50 (0 leaves it)
  --contrast C       -50 to 50 (0 leaves it)
  -o, --output OUT   the new project (.lyr)

example:
  plastora-cli adjust picture.lyr --brightness 10 --contrast 5 -o brighter.lyr
</source>
      <translation>オプション:
  --brightness B     明るさ、-50 ～ 50 (0 は変えない)
  --contrast C       コントラスト、-50 ～ 50 (0 は変えない)
  -o, --output OUT   新しいプロジェクト (.lyr)

例:
  plastora-cli adjust picture.lyr --brightness 10 --contrast 5 -o brighter.lyr
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_views.cpp" />
      <source>options:
  -o, --output DIR   the folder for view_00.bmp ... view_NN.bmp (made when missing)
  --format EXT       the format of the views: bmp (default), jpg/jpeg or png
  --strength S       stereo strength, 0 to 99: 1 small, 2 standard, 3 large, others as given
                     (default: the project's)
  --no-pm            a stereo pair's in-between views without pattern matching
  --method M         how a pair's in-between views are matched: dense (disparity, the default) or
                     blocks; given, they are matched whatever the strength
  --progress         a progress bar on stderr even when stderr is not a terminal

example:
  plastora-cli views picture.lyr --strength 2 --format png -o views/
</source>
      <translation>オプション:
  -o, --output DIR   view_00.bmp ... view_NN.bmp を書き出すフォルダー (なければ作成)
  --format EXT       立体画像の形式: bmp (既定)、jpg/jpeg、png
  --strength S       立体の強さ、0 ～ 99: 1 小、2 標準、3 大、それ以外はその値
                     (既定: プロジェクトの値)
  --no-pm            ステレオ画像の中間の画像をパターンマッチなしで作る
  --method M         中間の画像のマッチング方法: dense (密な視差、既定) または blocks (ブロック)。
                     指定すると立体の強さにかかわらずマッチングする
  --progress         標準エラーが端末でなくても進捗バーを表示する

例:
  plastora-cli views picture.lyr --strength 2 --format png -o views/
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_anaglyph.cpp" />
      <source>options:
  -o, --output OUT        the picture to write: .jpg/.jpeg, .bmp or .png
  --colour C              the colour of the background's tint or fill, RRGGBB or #RRGGBB
                          (hexadecimal red, green, blue); default 0000FF (blue)
  --fill                  fill the background instead of tinting it grey
  --background-masks K    regions 0 to K-1 count as background, 0 to 31 (below the number of regions)
  --contrast              stretch the contrast of the tinted background's grey

example:
  plastora-cli spectral picture.lyr --colour FF8000 -o spectral.jpg
</source>
      <translation>オプション:
  -o, --output OUT        書き出す画像: .jpg/.jpeg, .bmp, .png
  --colour C              背景に付ける色 (グレーの色合い、または塗りつぶしの色)、RRGGBB または
                          #RRGGBB (赤・緑・青の 16 進数)。既定 0000FF (青)
  --fill                  背景をグレーにせず塗りつぶす
  --background-masks K    切出し領域 0 ～ K-1 を背景として扱う、0 ～ 31 (切出し領域の数より小さく)
  --contrast              色を付けた背景のグレーのコントラストを広げる

例:
  plastora-cli spectral picture.lyr --colour FF8000 -o spectral.jpg
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_movie.cpp" />
      <source>options:
  -o, --output OUT   .avi (MJPEG video) or .gif (animated GIF), by extension
  --fps F            frames per second, 0.1 to 30 (default: the video settings)
  --loop L           sweeps there and back through the views, 1 to 99 (AVI only; default: the
                     video settings, 8 as installed)
  --size WxH         the frame size in pixels, e.g. 640x480 (default: the video settings)
  --fitted           a GIF at the frame size too (default: the video settings; as installed, a
                     GIF at the picture's own size)
  --strength S       stereo strength, 0 to 99 (default: the project's)
  --no-pm            a stereo pair's in-between views without pattern matching
  --progress         a progress bar on stderr even when stderr is not a terminal

example:
  plastora-cli movie picture.lyr --fps 12.5 --loop 3 -o sweep.avi
</source>
      <translation>オプション:
  -o, --output OUT   .avi (MJPEG の動画) または .gif (アニメーション GIF)、拡張子で判断
  --fps F            1 秒あたりのコマ数、0.1 ～ 30 (既定: 動画出力設定)
  --loop L           立体画像を往復する回数、1 ～ 99 (AVI のみ。既定: 動画出力設定、初期値 8)
  --size WxH         コマの大きさ (ピクセル)、例 640x480 (既定: 動画出力設定)
  --fitted           GIF もコマの大きさにする (既定: 動画出力設定、初期値は画像の大きさ)
  --strength S       立体の強さ、0 ～ 99 (既定: プロジェクトの値)
  --no-pm            ステレオ画像の中間の画像をパターンマッチなしで作る
  --progress         標準エラーが端末でなくても進捗バーを表示する

例:
  plastora-cli movie picture.lyr --fps 12.5 --loop 3 -o sweep.avi
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_wmf.cpp" />
      <source>options:
  -o, --output OUT   .bmp renders the picture; .wmf and .swf write the objects back
  --zoom Z           the scale in percent, 1 to 32767 (default: the file's own)
  --background C     the background colour, RRGGBB or #RRGGBB (hexadecimal red, green,
                     blue; default: white)

example:
  plastora-cli wmf clip.wmf --zoom 200 --background FFFFCC -o clip.bmp
</source>
      <translation>オプション:
  -o, --output OUT   .bmp は画像を描画、.wmf と .swf はオブジェクトを書き出す
  --zoom Z           倍率 (パーセント)、1 ～ 32767 (既定: ファイルの値)
  --background C     背景色、RRGGBB または #RRGGBB (赤・緑・青の 16 進数、既定: 白)

例:
  plastora-cli wmf clip.wmf --zoom 200 --background FFFFCC -o clip.bmp
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_raster.cpp" />
      <source>options:
  -o, --output OUT   .bmp, .jpg/.jpeg, .png or .gif, by extension
  --reduce           a GIF with fewer bits per pixel when the picture has few colours
  --transparent x,y  a GIF whose colour at pixel x,y is transparent
  --interlace        an interlaced GIF

example:
  plastora-cli raster clip.wmf -o clip.gif --reduce
</source>
      <translation>オプション:
  -o, --output OUT   .bmp, .jpg/.jpeg, .png, .gif、拡張子で判断
  --reduce           色数の少ない画像は 1 ピクセルあたりのビット数を減らした GIF にする
  --transparent x,y  ピクセル x,y の色を透明色にした GIF にする
  --interlace        インターレース GIF にする

例:
  plastora-cli raster clip.wmf -o clip.gif --reduce
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_stereo.cpp" />
      <source>options:
  -o, --output OUT   .mpo (one multi-picture file), .jpg (Exif JPEGs) or .bmp
  --all              every view (OUT_01 ...) instead of the left/right pair (OUT_L, OUT_R)
  --strength S       stereo strength, 0 to 99 (default: the project's)
  --no-pm            with --all, a stereo pair's in-between views without pattern matching
  --method M         how a pair's in-between views are matched: dense (disparity, the default) or
                     blocks; given, they are matched whatever the strength
  --progress         a progress bar on stderr even when stderr is not a terminal

example:
  plastora-cli save-views picture.lyr -o pair.mpo
</source>
      <translation>オプション:
  -o, --output OUT   .mpo (1 つのマルチピクチャーファイル)、.jpg (Exif JPEG) または .bmp
  --all              左右の画像 (OUT_L, OUT_R) の代わりにすべての立体画像 (OUT_01 ...)
  --strength S       立体の強さ、0 ～ 99 (既定: プロジェクトの値)
  --no-pm            --all のとき、ステレオ画像の中間の画像をパターンマッチなしで作る
  --method M         中間の画像のマッチング方法: dense (密な視差、既定) または blocks (ブロック)。
                     指定すると立体の強さにかかわらずマッチングする
  --progress         標準エラーが端末でなくても進捗バーを表示する

例:
  plastora-cli save-views picture.lyr -o pair.mpo
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_print.cpp" />
      <source>options:
  -o, --output OUT   the PDF to print into
  --dpi D            the printer's resolution in dots per inch, 72 to 4800 (default: 600)
  --edit             print the edit picture instead of the composite
  --anaglyph         print the anaglyph instead of the composite
  --copy             draw into a memory picture first (print via memory)
  --strength S       stereo strength, 0 to 99, 1 to 50 with --anaglyph (default: the project's)
  --progress         a progress bar on stderr even when stderr is not a terminal

The picture is printed at its lens-matched size: N x LPI x 2 / pitch dots per inch for the
composite, 340 for a high-resolution picture.

example:
  plastora-cli print picture.lyr --dpi 600 -o print.pdf
</source>
      <translation>オプション:
  -o, --output OUT   印刷先の PDF
  --dpi D            プリンタの解像度 (1 インチあたりのドット数)、72 ～ 4800 (既定: 600)
  --edit             合成画像の代わりに編集画像を印刷
  --anaglyph         合成画像の代わりにアナグリフ画像を印刷
  --copy             いったんメモリ上の画像に描いてから印刷
  --strength S       立体の強さ、0 ～ 99、--anaglyph では 1 ～ 50 (既定: プロジェクトの値)
  --progress         標準エラーが端末でなくても進捗バーを表示する

画像はレンズに合った大きさで印刷されます: 合成画像は N x LPI x 2 / ピッチ dpi、
高解像度画像は 340 dpi。

例:
  plastora-cli print picture.lyr --dpi 600 -o print.pdf
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_pitchtest.cpp" />
      <source>options:
  -o, --output OUT   the PDF to print into (A4, portrait)
  --lpi L            the nominal lens resolution in lines per inch, 20 to 160 (default 60)
  --range R          the strips reach from L - R to L + R lpi, 0 to 10 (default 1.5)
  --step S           the step between strips in lpi, 0.01 to 5 (default 0.1)
  --dpi D            the printer's resolution in dots per inch, 72 to 4800 (default 600)

The views and pitch come from the settings. Each printed strip is named by its LPI; the
one that looks sharpest through the lens sheet is the sheet's true resolution.

example:
  plastora-cli pitch-test --lpi 60 --range 1 --step 0.2 -o pitch.pdf
</source>
      <translation>オプション:
  -o, --output OUT   印刷先の PDF (A4 縦)
  --lpi L            基準のレンズの解像度 (1 インチあたりの本数)、20 ～ 160 (既定 60)
  --range R          L - R から L + R lpi までの帯を印刷、0 ～ 10 (既定 1.5)
  --step S           帯の間隔 (lpi)、0.01 ～ 5 (既定 0.1)
  --dpi D            プリンタの解像度 (1 インチあたりのドット数)、72 ～ 4800 (既定 600)

立体画像の数とピッチは設定ファイルの値を使います。帯にはそれぞれの LPI が書かれ、
レンズシートを通して最もくっきり見える帯の値がそのシートの本当の解像度です。

例:
  plastora-cli pitch-test --lpi 60 --range 1 --step 0.2 -o pitch.pdf
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_views.cpp" />
      <source>options:
  -o, --output OUT   the composite: .bmp, .png or .jpg/.jpeg; the file carries the print
                     resolution N x LPI x 2 / pitch at which the columns match the lens
  --strength S       stereo strength, 0 to 99 (default: the project's)
  --no-pm            a stereo pair's in-between views without pattern matching
  --method M         how a pair's in-between views are matched: dense (disparity, the default) or
                     blocks; given, they are matched whatever the strength
  --progress         a progress bar on stderr even when stderr is not a terminal

example:
  plastora-cli lenticular picture.lyr -o composite.png
</source>
      <translation>オプション:
  -o, --output OUT   合成画像: .bmp, .png, .jpg/.jpeg。ファイルには列がレンズに合う
                     印刷解像度 N x LPI x 2 / ピッチ を記録
  --strength S       立体の強さ、0 ～ 99 (既定: プロジェクトの値)
  --no-pm            ステレオ画像の中間の画像をパターンマッチなしで作る
  --method M         中間の画像のマッチング方法: dense (密な視差、既定) または blocks (ブロック)。
                     指定すると立体の強さにかかわらずマッチングする
  --progress         標準エラーが端末でなくても進捗バーを表示する

例:
  plastora-cli lenticular picture.lyr -o composite.png
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_depthmap.cpp" />
      <source>options:
  -o, --output OUT   the depth map: .png (8-bit grey), .jpg/.jpeg or .bmp, by extension
  --rgbd             the photo on the left and the depth on the right, in one picture

A stereo-pair project has no depth map to write.

example:
  plastora-cli depthmap picture.lyr -o depth.png
</source>
      <translation>オプション:
  -o, --output OUT   深度マップ: .png (8 ビットのグレー)、.jpg/.jpeg、.bmp、拡張子で判断
  --rgbd             左に写真、右に深度を並べた 1 枚の画像にする

ステレオ画像のプロジェクトには書き出す深度マップがありません。

例:
  plastora-cli depthmap picture.lyr -o depth.png
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_movie.cpp" />
      <source>options:
  -o, --output OUT   the frame: .jpg/.jpeg, .bmp or .png
  --kind K           1 side by side, 2 top and bottom, 3 row interlace, 4 column interlace
  --reverse          swap the eyes; without it, kind 1 has the right eye's picture on the left
                     (for cross-eyed viewing), kind 2 the left eye's on top, kind 3 the right
                     eye's in row 0 and kind 4 the left eye's in column 0
  --size WxH         the frame size in pixels (default: the video settings)
  --strength S       stereo strength, 0 to 99 (default: the project's)
  --no-pm            a stereo pair's in-between views without pattern matching

example:
  plastora-cli frame picture.lyr --kind 1 --size 1920x1080 -o sbs.jpg
</source>
      <translation>オプション:
  -o, --output OUT   コマの画像: .jpg/.jpeg, .bmp, .png
  --kind K           1 左右並べ、2 上下並べ、3 行インターレース、4 列インターレース
  --reverse          左右の目を入れ替える。指定しないとき、1 では右目の画像が左 (交差法)、
                     2 では左目の画像が上、3 では右目の画像が 0 行目、4 では左目の画像が
                     0 列目
  --size WxH         コマの大きさ (ピクセル) (既定: 動画出力設定)
  --strength S       立体の強さ、0 ～ 99 (既定: プロジェクトの値)
  --no-pm            ステレオ画像の中間の画像をパターンマッチなしで作る

例:
  plastora-cli frame picture.lyr --kind 1 --size 1920x1080 -o sbs.jpg
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_adjust.cpp" />
      <source>options:
  -o, --output OUT   the new project (.lyr)

example:
  plastora-cli rotate picture.lyr -o turned.lyr
</source>
      <translation>オプション:
  -o, --output OUT   新しいプロジェクト (.lyr)

例:
  plastora-cli rotate picture.lyr -o turned.lyr
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_anaglyph.cpp" />
      <source>options:
  -o, --output OUT   the picture to write, its format by extension: .jpg/.jpeg, .bmp, .png;
                     with several projects, or a folder (ending in /), one file per project
                     in that folder, named after the project
  --format EXT       the format of the files written into a folder: jpg (default), bmp, png
  --filter F         the glasses: 0 red-cyan (default), 1 red-green, 2 red-blue
  --method NAME      instead of --filter: red-cyan, red-green, red-blue, dubois-red-cyan,
                     dubois-green-magenta, dubois-amber-blue (least squares, in linear light),
                     half-colour or optimised (red-cyan glasses)
  --colour           a colour anaglyph (default: grey) with --filter or the first three methods;
                     the others work from colour always; --color is the same
  --strength S       stereo strength of the two views, 1 to 50 (default: the project's)

The file carries its print resolution (the lens-matched size of the composite; 340 dpi for
a high-resolution anaglyph). Exit 1 when any project failed, naming which.

examples:
  plastora-cli anaglyph picture.lyr --colour -o anaglyph.png
  plastora-cli anaglyph a.lyr b.lyr -o out/
</source>
      <translation>オプション:
  -o, --output OUT   書き出す画像、形式は拡張子で判断: .jpg/.jpeg, .bmp, .png。
                     プロジェクトが複数、またはフォルダー (/ で終わる) のときは、そのフォルダーに
                     プロジェクトごとに 1 つ、プロジェクトの名前で書き出す
  --format EXT       フォルダーに書き出すファイルの形式: jpg (既定)、bmp、png
  --filter F         メガネ: 0 赤シアン (既定)、1 赤緑、2 赤青
  --method NAME      --filter の代わりに: red-cyan, red-green, red-blue, dubois-red-cyan,
                     dubois-green-magenta, dubois-amber-blue (線形の光での最小二乗法)、
                     half-colour または optimised (赤シアンのメガネ)
  --colour           カラーのアナグリフ (既定: 白黒)。--filter と最初の 3 つの方法のみ。
                     ほかの方法は常にカラーから作る。--color も同じ
  --strength S       2 枚の立体画像の立体の強さ、1 ～ 50 (既定: プロジェクトの値)

ファイルには印刷解像度 (合成画像のレンズに合った大きさ。高解像度のアナグリフでは 340 dpi) を
記録します。失敗したプロジェクトがあれば、その名前を示して終了コード 1 で終わります。

例:
  plastora-cli anaglyph picture.lyr --colour -o anaglyph.png
  plastora-cli anaglyph a.lyr b.lyr -o out/
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_anaglyph.cpp" />
      <source>options:
  -o, --output OUT   the picture to write: .jpg/.jpeg, .bmp or .png
  --columns          interlace by columns (default: by rows)
  --swap             swap the two views (the other one takes the first row or column)
  --strength S       stereo strength, 0 to 99 (default: the project's)

example:
  plastora-cli interlace picture.lyr --columns -o interlace.png
</source>
      <translation>オプション:
  -o, --output OUT   書き出す画像: .jpg/.jpeg, .bmp, .png
  --columns          列でインターレース (既定: 行)
  --swap             左右の立体画像を入れ替える (最初の行または列をもう一方の画像にする)
  --strength S       立体の強さ、0 ～ 99 (既定: プロジェクトの値)

例:
  plastora-cli interlace picture.lyr --columns -o interlace.png
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_stereo.cpp" />
      <source>options:
  L R                the left and the right picture (JPEG, BMP, PNG, TIFF, WebP; Exif
                     orientation applied), or one multi-picture file X.mpo
  -o, --output P.lyr the stereo-pair project to write
  --paper P          paper size by number, 0 to 5: 0 postcard, 1 L, 2 card, 3 VGA, 4 A4, 5 2L
                     (default: the picture dialog's preset)
  --trim M           trimming by number, 0 to 3: 0 none, 1 crop, 2 margins, 3 stretch
                     (default: the picture dialog's preset)
  --no-align         the pictures as they are (default: aligned on each other)
  --yes | --no       the answer when the two pictures differ in size (default: no)

example:
  plastora-cli stereo left.jpg right.jpg -o pair.lyr
</source>
      <translation>オプション:
  L R                左と右の画像 (JPEG, BMP, PNG, TIFF, WebP、Exif の向きを適用)、
                     または 1 つのマルチピクチャーファイル X.mpo
  -o, --output P.lyr 書き出すステレオ画像のプロジェクト
  --paper P          用紙サイズの番号、0 ～ 5: 0 はがき、1 L判、2 名刺、3 VGA、4 A4、5 2L判
                     (既定: 画像読込みダイアログの初期値)
  --trim M           トリミングの番号、0 ～ 3: 0 トリミングしない、1 はみ出しをカット、
                     2 余白を残す、3 縦横比を変更 (既定: 画像読込みダイアログの初期値)
  --no-align         画像をそのまま使う (既定: 左右の位置を合わせる)
  --yes | --no       2 枚の画像の大きさが違うときの答え (既定: no)

例:
  plastora-cli stereo left.jpg right.jpg -o pair.lyr
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_picture.cpp" />
      <source>options:
  OUT                .jpg/.jpeg (JPEG), .bmp (24-bit BMP) or .png (PNG), by extension in any case
  --quality Q        JPEG quality, 10 to 100 (default 80)

example:
  plastora-cli convert phone.webp photo.jpg --quality 90
</source>
      <translation>オプション:
  OUT                .jpg/.jpeg (JPEG)、.bmp (24 ビット BMP)、.png (PNG)、拡張子で判断 (大文字小文字は区別しない)
  --quality Q        JPEG の画質、10 ～ 100 (既定 80)

例:
  plastora-cli convert phone.webp photo.jpg --quality 90
</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_faces.cpp" />
      <source>options:
  PHOTO              a photo of any format the program opens
  -o, --output P.lyr the project to write
  --separate         one cutout region per face (default: one region for all)
  --settings INI     the settings file to read (detection settings, paper)

example:
  plastora-cli faces group.jpg --separate -o group.lyr
</source>
      <translation>オプション:
  PHOTO              このプログラムで開ける形式の写真
  -o, --output P.lyr 書き出すプロジェクト
  --separate         顔ごとに切出し領域を作る (既定: 全員で 1 つ)
  --settings INI     読み込む設定ファイル (顔検出の設定、用紙)

例:
  plastora-cli faces group.jpg --separate -o group.lyr
</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>plastora-cli %1: stopped by an error: %2</source>
      <translation>plastora-cli %1: エラーのため中止しました: %2</translation>
    </message>
    <message>
      <location filename="../../cli/main.cpp" />
      <source>plastora-cli: --lang must be ja or en</source>
      <translation>plastora-cli: --lang には ja または en を指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/main.cpp" />
      <source>plastora-cli: the standard output could not be written</source>
      <translation>plastora-cli: 標準出力に書き込めませんでした</translation>
    </message>
    <message>
      <location filename="../../cli/main.cpp" />
      <source>plastora-cli: unknown command '%1' (see plastora-cli --help)</source>
      <translation>plastora-cli: '%1' というコマンドはありません (plastora-cli --help を参照)</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>postcard (100 x 148 mm)</source>
      <translation>はがき (100 x 148 mm)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_print.cpp" />
      <source>prints the composite (or the edit image, or the anaglyph) at the lens-matched size into a PDF</source>
      <translation>合成画像 (または編集画像、アナグリフ画像) をレンズに合った大きさで PDF に印刷します</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_pitchtest.cpp" />
      <source>prints the lens pitch test sheet into a PDF: a labelled strip for every LPI from lpi - R to lpi + R in steps of S (default 60, 1.5, 0.1), each printed as a composite at that LPI</source>
      <translation>レンズのピッチテストシートを PDF に印刷します: lpi - R から lpi + R まで S 刻みの LPI ごとに (既定 60, 1.5, 0.1)、その LPI の合成画像を見出し付きの帯で印刷します</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_picture.cpp" />
      <source>prints what the file holds: picture size; for a project also regions, depths, objects, stereo flag, strength, LPI; for an MPO every image with its offset, length and size</source>
      <translation>ファイルの内容を表示します: 画像の大きさ。プロジェクトでは切出し領域、奥行き、オブジェクト、ステレオ画像かどうか、強さ、LPI も。MPO ではすべての画像の位置、長さ、大きさ</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_picture.cpp" />
      <source>reads a photo (JPEG, BMP, PNG, TIFF, WebP by content, Exif orientation applied) and writes it as the program writes its own pictures (.jpg/.jpeg JPEG, .bmp 24-bit BMP, .png PNG)</source>
      <translation>写真 (JPEG, BMP, PNG, TIFF, WebP を内容で判別し、Exif の向きを適用) を読み、このプログラムの形式で書き出します (.jpg/.jpeg は JPEG、.bmp は 24 ビット BMP、.png は PNG)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_raster.cpp" />
      <source>reads any picture the raster library reads (BMP, JPEG, PNG, GIF; WMF) and writes it by name (BMP, JPEG, PNG, GIF)</source>
      <translation>ラスター ライブラリで読める画像 (BMP, JPEG, PNG, GIF; WMF) を読み、名前の拡張子の形式 (BMP, JPEG, PNG, GIF) で書き出します</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_wmf.cpp" />
      <source>renders a metafile through Linewisp into a BMP, or writes it back as WMF or SWF</source>
      <translation>メタファイルを Linewisp で BMP に描画するか、WMF または SWF として書き出します</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_batch.cpp" />
      <source>runs the commands listed in FILE (one a line, arguments separated by tabs, optional NAME=VALUE fields first for its environment) in one process; for test drivers</source>
      <translation>FILE に並べたコマンドを 1 つのプロセスで実行します (1 行に 1 コマンド、引数はタブ区切り、先頭に環境変数の NAME=VALUE を置けます)。テスト用</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>stretch to the paper (changes the aspect ratio)</source>
      <translation>縦横比を変更 (用紙に合わせて伸縮)</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>the file is empty</source>
      <translation>ファイルが空です</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>the file is write-protected</source>
      <translation>ファイルが書き込み禁止です</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>the folder %1 does not exist</source>
      <translation>フォルダー %1 がありません</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>the folder %1 is not writable</source>
      <translation>フォルダー %1 に書き込めません</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>the name has a character this disk does not allow</source>
      <translation>このディスクでは名前に使えない文字が含まれています</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_print.cpp" />
      <source>the picture (%1 x %2 dots) is larger than an A0 page</source>
      <translation>画像 (%1 x %2 ドット) が A0 の用紙より大きいため印刷できません</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_print.cpp" />
      <source>the picture is larger than A4: printed on %1</source>
      <translation>画像が A4 より大きいため %1 に印刷しました</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>too large for a settings file: more than %1 MB</source>
      <translation>設定ファイルとしては大きすぎます: %1 MB を超えています</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_adjust.cpp" />
      <source>turns a project's picture a quarter left (a stereo pair half round, left and right exchanged)</source>
      <translation>プロジェクトの画像を左に 90 度回転します (ステレオ画像は 180 度回転し、左右を入れ替えます)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_anaglyph.cpp" />
      <source>two projects named %1 would write one file: give them one at a time</source>
      <translation>%1 という名前のプロジェクトが 2 つあり、同じファイルに書き出すことになります: 1 つずつ指定してください</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_anaglyph.cpp" />
      <source>unknown --method %1</source>
      <translation>--method に %1 は指定できません</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>unknown option %1</source>
      <translation>不明なオプション %1 です</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>unknown option --%1</source>
      <translation>不明なオプション --%1 です</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>usage: plastora-cli %1 %2</source>
      <translation>使い方: plastora-cli %1 %2</translation>
    </message>
    <message>
      <location filename="../../cli/main.cpp" />
      <source>usage: plastora-cli COMMAND [ARGS...]
       plastora-cli help COMMAND   (or COMMAND --help): that command's options
       --lang ja|en anywhere: the language of messages (default: settings, then locale)
</source>
      <translation>使い方: plastora-cli COMMAND [ARGS...]
        plastora-cli help COMMAND   (または COMMAND --help): そのコマンドのオプション
        --lang ja|en (どこでも): メッセージの言語 (既定: 設定ファイル、次にロケール)
</translation>
    </message>
    <message>
      <location filename="../../cli/Cli.cpp" />
      <source>user size in millimetres (--mm W,H)</source>
      <translation>ユーザ設定 (ミリ単位、--mm W,H)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_movie.cpp" />
      <source>writes a stereo movie frame: 1 side by side, 2 top and bottom, 3 row interlace, 4 column interlace (--reverse swaps the eyes)</source>
      <translation>立体動画用の 1 コマを書き出します: 1 左右並べ、2 上下並べ、3 行インターレース、4 列インターレース (--reverse で左右を入れ替え)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_views.cpp" />
      <source>writes the N views of a project as DIR/view_00.bmp ... (or .jpg, .png; a stereo pair's in-between views are matched as the stereo dialog starts: strength above 3 and [PM] EnablePM; --no-pm: never; --method: always, by dense disparity or the block matcher)</source>
      <translation>プロジェクトの N 枚の立体画像を DIR/view_00.bmp ... (または .jpg, .png) に書き出します (ステレオ画像の中間の画像は立体画像作成ダイアログと同じ条件でパターンマッチします: 強さが 3 より大きく [PM] EnablePM のとき。--no-pm: しない。--method: 常に、密な視差またはブロックマッチングで)</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_anaglyph.cpp" />
      <source>writes the anaglyph of a project's extreme views (filter 0 red-cyan, 1 red-green, 2 red-blue; grey unless --colour; or --method red-cyan, red-green, red-blue, dubois-red-cyan, dubois-green-magenta, dubois-amber-blue, half-colour, optimised); at high resolution when the project has a high-resolution copy</source>
      <translation>プロジェクトの両端の立体画像からアナグリフ画像を書き出します (フィルター 0 赤シアン、1 赤緑、2 赤青。--colour がなければ白黒。または --method red-cyan, red-green, red-blue, dubois-red-cyan, dubois-green-magenta, dubois-amber-blue, half-colour, optimised)。高解像度画像のあるプロジェクトでは高解像度で書き出します</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_anaglyph.cpp" />
      <source>writes the display interlace image of a project's extreme views (rows, or columns)</source>
      <translation>プロジェクトの両端の立体画像から立体ディスプレイ用のインターレース画像 (行または列) を書き出します</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_stereo.cpp" />
      <source>writes the left/right pair (OUT_L, OUT_R) or with --all every view (OUT_01 ...), as BMP, Exif JPEG or one MPO file</source>
      <translation>左右の画像 (OUT_L, OUT_R)、--all ではすべての立体画像 (OUT_01 ...) を BMP、Exif JPEG または 1 つの MPO ファイルに書き出します</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_views.cpp" />
      <source>writes the lenticular composite of a project's views</source>
      <translation>プロジェクトの立体画像からレンチキュラー用の合成画像を書き出します</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_depthmap.cpp" />
      <source>writes the project's depth at the working size, nearer brighter (8-bit grey for a .png name); --rgbd puts the photo and the depth side by side</source>
      <translation>プロジェクトの奥行きを作業サイズの深度マップとして書き出します (手前ほど明るい、.png では 8 ビットのグレー)。--rgbd では写真と深度を左右に並べます</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_anaglyph.cpp" />
      <source>writes the spectral-glasses image: the regions from K on in their own colours over a background tinted grey in one colour (or filled with it); the colour defaults to blue</source>
      <translation>分光メガネ用の画像を書き出します: K 番目以降の切出し領域をそのままの色で、背景を 1 つの色を付けたグレー (またはその色の塗りつぶし) で描きます。色の既定は青です</translation>
    </message>
    <message>
      <location filename="../../cli/cmd_movie.cpp" />
      <source>writes the sweep through a project's views as an AVI (2 x loop passes, MJPEG) or, for a .gif name, an animated GIF (one pass each way; own size unless --fitted)</source>
      <translation>プロジェクトの立体画像を順に切り替える動画を AVI (MJPEG、ループ回数 x 2 回の往復) で、名前が .gif ならアニメーション GIF (1 往復、--fitted がなければ画像の大きさ) で書き出します</translation>
    </message>
  </context>
</TS>
