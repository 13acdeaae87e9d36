<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>CommandLine</name>
    <message>
        <source>画像に立体情報を塗り、揺れるGIFアニメを作ります。</source>
        <translation>Paints depth over a picture and makes a swaying animated GIF of it.</translation>
    </message>
    <message>
        <source>画像</source>
        <translation>picture</translation>
    </message>
    <message>
        <source>起動時に開く画像ファイル</source>
        <translation>Picture file to open at start</translation>
    </message>
    <message>
        <source>[画像]</source>
        <translation>[picture]</translation>
    </message>
    <message>
        <source>開ける画像は一つだけです: %1</source>
        <translation>Only one picture can be opened: %1</translation>
    </message>
    <message>
        <source>この使い方を表示します</source>
        <translation>Shows this help</translation>
    </message>
    <message>
        <source>バージョンを表示します</source>
        <translation>Shows the version</translation>
    </message>
</context>
<context>
    <name>FileDialogs</name>
    <message>
        <source>画像ファイルを開く</source>
        <translation>Open picture file</translation>
    </message>
    <message>
        <source>読み込める画像ファイル (%1)</source>
        <translation>Readable picture files (%1)</translation>
    </message>
    <message>
        <source>すべてのファイル (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>立体情報をファイルに保存する</source>
        <translation>Save the depth map to a file</translation>
    </message>
    <message>
        <source>ビットマップファイル (*.bmp)</source>
        <translation>Bitmap files (*.bmp)</translation>
    </message>
    <message>
        <source>立体情報をファイルから読み込む</source>
        <translation>Load the depth map from a file</translation>
    </message>
    <message>
        <source>画像ファイル (*)</source>
        <translation>Picture files (*)</translation>
    </message>
    <message>
        <source>GIFファイルを生成する</source>
        <translation>Generate GIF file</translation>
    </message>
    <message>
        <source>GIFファイル (*.gif)</source>
        <translation>GIF files (*.gif)</translation>
    </message>
    <message>
        <source>WebPファイル (*.webp)</source>
        <translation>WebP files (*.webp)</translation>
    </message>
    <message>
        <source>%1ファイルを生成する</source>
        <translation>Generate %1 file</translation>
    </message>
    <message>
        <source>グレースケールの深度画像を読み込む</source>
        <translation>Load a greyscale depth image</translation>
    </message>
    <message>
        <source>MP4動画 (*.mp4)</source>
        <translation>MP4 video (*.mp4)</translation>
    </message>
    <message>
        <source>MP4動画を生成する</source>
        <translation>Generate MP4 video</translation>
    </message>
</context>
<context>
    <name>FileNames</name>
    <message>
        <source>ファイルが空です</source>
        <translation>the file is empty</translation>
    </message>
</context>
<context>
    <name>FramesFolder</name>
    <message>
        <source>%1 はすでにあり、通常のファイルではありません</source>
        <translation>%1 exists and is not a regular file</translation>
    </message>
    <message>
        <source>%1 はすでにあり、フォルダーではありません</source>
        <translation>%1 exists and is not a folder</translation>
    </message>
</context>
<context>
    <name>GifPipeline</name>
    <message>
        <source>フレームがありません</source>
        <translation>there are no frames</translation>
    </message>
    <message>
        <source>フレームを作れませんでした</source>
        <translation>the frames could not be made</translation>
    </message>
</context>
<context>
    <name>GifTexts</name>
    <message>
        <source>色の誤差 %1 まで、%2 × %3</source>
        <translation>colour error up to %1, %2 x %3</translation>
    </message>
</context>
<context>
    <name>GreyDepth</name>
    <message>
        <source>画像がありません</source>
        <translation>there is no picture</translation>
    </message>
    <message>
        <source>メモリが足りません</source>
        <translation>not enough memory</translation>
    </message>
</context>
<context>
    <name>Imaging</name>
    <message>
        <source>画像ファイルが途中で切れています</source>
        <translation>the picture file is cut short</translation>
    </message>
    <message>
        <source>メモリが足りません</source>
        <translation>not enough memory</translation>
    </message>
    <message>
        <source>減色の品質が足りません</source>
        <translation>the colour reduction cannot reach its quality</translation>
    </message>
    <message>
        <source>減色に失敗しました (libimagequant %1)</source>
        <translation>colour reduction failed (libimagequant %1)</translation>
    </message>
    <message>
        <source>画像として読めない形式です</source>
        <translation>not a picture format that can be read</translation>
    </message>
    <message>
        <source>画像が大きすぎます (%1 × %2)</source>
        <translation>the picture is too large (%1 × %2)</translation>
    </message>
    <message>
        <source>画像を読み込めませんでした (%1)</source>
        <translation>the picture could not be read (%1)</translation>
    </message>
    <message>
        <source>画像がありません</source>
        <translation>there is no picture</translation>
    </message>
    <message>
        <source>切り出す範囲がありません</source>
        <translation>there is nothing to cut out</translation>
    </message>
    <message>
        <source>取り込む範囲がありません</source>
        <translation>there is nothing to capture</translation>
    </message>
    <message>
        <source>保存する画像がありません</source>
        <translation>there is no picture to save</translation>
    </message>
    <message>
        <source>減色の準備に失敗しました</source>
        <translation>the colour reduction could not be prepared</translation>
    </message>
    <message>
        <source>減色する画像がありません</source>
        <translation>there is no picture to reduce</translation>
    </message>
    <message>
        <source>フレームの大きさがそろっていません</source>
        <translation>the frames differ in size</translation>
    </message>
    <message>
        <source>書き出すフレームがありません</source>
        <translation>there are no frames to write</translation>
    </message>
    <message>
        <source>フレームの大きさが不正です</source>
        <translation>the frame size is invalid</translation>
    </message>
    <message>
        <source>GIFの書き出しを始められませんでした</source>
        <translation>the GIF could not be started</translation>
    </message>
    <message>
        <source>GIFのフレームを書き出せませんでした</source>
        <translation>a GIF frame could not be written</translation>
    </message>
    <message>
        <source>GIFを書き終えられませんでした</source>
        <translation>the GIF could not be finished</translation>
    </message>
</context>
<context>
    <name>Languages</name>
    <message>
        <source>表示言語: ja (日本語、既定) または en (英語)</source>
        <translation>Language of the user interface: ja (Japanese, the default) or en (English)</translation>
    </message>
    <message>
        <source>表示言語: en (英語、既定) または ja (日本語)</source>
        <translation>Language of the messages: en (English, the default) or ja (Japanese).</translation>
    </message>
    <message>
        <source>--lang は ja か en です: %1</source>
        <translation>--lang takes ja or en, not %1</translation>
    </message>
</context>
<context>
    <name>Mp4File</name>
    <message>
        <source>書き出すフレームがありません</source>
        <translation>there are no frames to write</translation>
    </message>
    <message>
        <source>フレームの大きさが不正です</source>
        <translation>the frame size is invalid</translation>
    </message>
    <message>
        <source>フレームの大きさがそろっていません</source>
        <translation>the frames differ in size</translation>
    </message>
    <message>
        <source>H.264 のエンコーダー (libx264) がありません</source>
        <translation>the H.264 encoder (libx264) is missing</translation>
    </message>
    <message>
        <source>メモリが足りません</source>
        <translation>not enough memory</translation>
    </message>
    <message>
        <source>MP4の書き出しを始められませんでした</source>
        <translation>the MP4 could not be started</translation>
    </message>
    <message>
        <source>H.264 のエンコーダーを始められませんでした</source>
        <translation>the H.264 encoder could not be started</translation>
    </message>
    <message>
        <source>MP4のフレームを書き出せませんでした</source>
        <translation>a frame of the MP4 could not be written</translation>
    </message>
    <message>
        <source>MP4を書き終えられませんでした</source>
        <translation>the MP4 could not be finished</translation>
    </message>
    <message>
        <source>%1 kbit/s、%2 × %3</source>
        <translation>%1 kbit/s, %2 x %3</translation>
    </message>
    <message>
        <source>CRF %1、%2 × %3</source>
        <translation>CRF %1, %2 x %3</translation>
    </message>
    <message>
        <source>MP4の書き出しは使えません: %1</source>
        <translation>MP4 output is not available: %1</translation>
    </message>
    <message>
        <source>%1 は Kelvaro の別の版のものです</source>
        <translation>%1 belongs to another version of Kelvaro</translation>
    </message>
</context>
<context>
    <name>QtPrompts</name>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>破棄</source>
        <translation>Discard</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>RenderCommand</name>
    <message>
        <source>Qt と画像ライブラリが出力する行も表示します
(普段は表示しません)。</source>
        <translation>Also show what Qt and the image libraries print (hidden otherwise).</translation>
    </message>
    <message>
        <source>この使い方を表示します。</source>
        <translation>Show this help.</translation>
    </message>
    <message>
        <source>バージョンを表示します。</source>
        <translation>Show the version.</translation>
    </message>
    <message>
        <source>--depth-grey で、黒を手前、白を奥とします。</source>
        <translation>With --depth-grey: black is near, white far.</translation>
    </message>
    <message>
        <source>すでにある出力は置き換えず、その画像を失敗とします。</source>
        <translation>Never replace an existing output; that picture fails instead.</translation>
    </message>
    <message>
        <source>N 枚の画像を同時に描きます (既定: コアの数)。</source>
        <translation>Render N pictures at a time (default: the number of cores).</translation>
    </message>
    <message>
        <source>画像</source>
        <translation>PICTURE</translation>
    </message>
    <message>
        <source>描く画像。</source>
        <translation>Pictures to render.</translation>
    </message>
    <message>
        <source>画像...</source>
        <translation>PICTURE...</translation>
    </message>
    <message>
        <source>使い方: kelvaro-render [オプション] 画像...</source>
        <translation>Usage: kelvaro-render [OPTIONS] PICTURE...</translation>
    </message>
    <message>
        <source>%1 が二回以上指定されています</source>
        <translation>%1 given more than once</translation>
    </message>
    <message>
        <source>%1 には値が必要です</source>
        <translation>%1 needs a value</translation>
    </message>
    <message>
        <source>%1 は %2 か %3 です: %4</source>
        <translation>%1 must be %2 or %3, not %4</translation>
    </message>
    <message>
        <source>%1 は %2 のどれかです: %3</source>
        <translation>%1 must be one of %2, not %3</translation>
    </message>
    <message>
        <source>%1 は %2 から %3 までの整数です: %4</source>
        <translation>%1 must be a whole number from %2 to %3, not %4</translation>
    </message>
    <message>
        <source>%1 は %2 から %3 までの灰色の値です: %4</source>
        <translation>%1 must be a grey value %2 to %3, not %4</translation>
    </message>
    <message>
        <source>画像が指定されていません</source>
        <translation>no picture given</translation>
    </message>
    <message>
        <source>-o で指定できる画像は一つだけです。複数なら出力は各画像の隣か --out-dir に書き出されます</source>
        <translation>-o takes one picture; with several, each output goes next to its picture or into --out-dir</translation>
    </message>
    <message>
        <source>-o で出力を指定するときは --out-dir も --format も指定できません</source>
        <translation>-o names the output; give no --out-dir or --format</translation>
    </message>
    <message>
        <source>--depth で指定できる画像は一つだけです。複数の立体情報は --depth-dir で指定します</source>
        <translation>--depth takes one picture; give several maps by --depth-dir</translation>
    </message>
    <message>
        <source>--depth-grey で指定できる画像は一つだけです</source>
        <translation>--depth-grey takes one picture</translation>
    </message>
    <message>
        <source>--depth、--depth-grey、--depth-dir はどれか一つだけ指定できます</source>
        <translation>give one of --depth, --depth-grey and --depth-dir</translation>
    </message>
    <message>
        <source>--%1 には --%2 が必要です</source>
        <translation>--%1 needs --%2</translation>
    </message>
    <message>
        <source>--quality は非可逆 WebP の設定です。--lossless と一緒には指定できません</source>
        <translation>--quality is for lossy WebP; give it or --lossless</translation>
    </message>
    <message>
        <source>--quality と --lossless は WebP の出力の設定です</source>
        <translation>--quality and --lossless are for WebP output</translation>
    </message>
    <message>
        <source>%1: 当てはまる立体情報が複数あります: %2。どれか一つだけを %3 に残すか、この画像だけを --depth で指定して描いてください</source>
        <translation>%1: several depth maps match it: %2. Keep only one of them in %3, or render this picture alone with --depth and the one to use</translation>
    </message>
    <message>
        <source>立体情報のフォルダーを読めません: %1</source>
        <translation>cannot read the depth folder %1</translation>
    </message>
    <message>
        <source>%1 に書き出すと入力の %2 を上書きしてしまいます</source>
        <translation>%1 would overwrite the input %2</translation>
    </message>
    <message>
        <source>二つの画像が %1 に書き出そうとしています。-o を使うか名前を変えてください</source>
        <translation>two pictures would write %1; use -o or rename</translation>
    </message>
    <message>
        <source>警告: </source>
        <translation>warning: </translation>
    </message>
    <message>
        <source>%1 は通常のファイルではないため、そのままにします</source>
        <translation>%1 exists and is not a regular file; it is left as it is</translation>
    </message>
    <message>
        <source>%1 はすでにあります (--no-clobber)</source>
        <translation>%1 exists (--no-clobber)</translation>
    </message>
    <message>
        <source>画像 %1 を開けません: %2</source>
        <translation>cannot open the picture %1: %2</translation>
    </message>
    <message>
        <source>%1: %2 × %3 の立体情報を作れません</source>
        <translation>%1: cannot make a depth map of %2 x %3</translation>
    </message>
    <message>
        <source>立体情報 %1 を開けません: %2</source>
        <translation>cannot open the depth map %1: %2</translation>
    </message>
    <message>
        <source>立体情報 %1 は %2 × %3 ピクセル、画像は %4 × %5 ピクセルです。左上を合わせ、拡大縮小せずに当てます</source>
        <translation>the depth map %1 is %2 x %3 pixels and the picture %4 x %5; the map is applied top-left to top-left, unscaled</translation>
    </message>
    <message>
        <source>立体情報 %2 の %1 個の画素は立体情報の色ではなく、段 0 として扱います。グレースケールの深度画像には --depth-grey を使います</source>
        <translation>%1 pixels of the depth map %2 are no depth colours and count as level 0; for a grey depth image use --depth-grey</translation>
    </message>
    <message>
        <source>深度画像 %1 を開けません: %2</source>
        <translation>cannot open the grey depth map %1: %2</translation>
    </message>
    <message>
        <source>%1: フレームを描けませんでした</source>
        <translation>%1: rendering the frames failed</translation>
    </message>
    <message>
        <source>フレームを %1 に書き出せません: %2</source>
        <translation>cannot write the frames to %1: %2</translation>
    </message>
    <message>
        <source>%1 を書き出せません: %2</source>
        <translation>cannot write %1: %2</translation>
    </message>
    <message>
        <source> (--help を参照)</source>
        <translation> (see --help)</translation>
    </message>
    <message>
        <source>出力フォルダーを作れません: %1</source>
        <translation>cannot make the output folder %1</translation>
    </message>
    <message>
        <source>一つの画像の立体情報。
左上を合わせ、拡大縮小せずに当てます。</source>
        <translation>Depth map of the one picture, applied top-left to top-left, unscaled.</translation>
    </message>
    <message>
        <source>代わりに、一つの画像のグレースケール深度画像
(白が手前、黒が奥、8 または 16 ビット)。画像の
大きさに合わせ、段 0 (白) から 7 (黒) にそろえます。</source>
        <translation>Grey depth image of the one picture instead (white near, black far, 8 or 16 bits), scaled to the picture and snapped to levels 0 (white) .. 7 (black).</translation>
    </message>
    <message>
        <source>--depth-grey で、灰色 0..T (--black-near では
255-T..255) を動かない部分とします。</source>
        <translation>With --depth-grey: grey 0..T (255-T..255 with --black-near) is fixed in place.</translation>
    </message>
    <message>
        <source>描く前に、立体情報の段の境目を画像の輪郭に
合わせます (--refine-radius 以内)。</source>
        <translation>Before rendering, move the depth map&apos;s level borders onto the picture&apos;s edges (within --refine-radius).</translation>
    </message>
    <message>
        <source>--refine-depth で境目が動く距離、1 から 64
ピクセル (既定 12)。</source>
        <translation>With --refine-depth: how far a border may move, 1 to 64 pixels (default 12).</translation>
    </message>
    <message>
        <source>描いた立体情報 (--depth-grey や --refine-depth の
後) を FILE に書き出します (.bmp か .png)。</source>
        <translation>Also write the depth map rendered (after --depth-grey or --refine-depth) to FILE (.bmp or .png), a map the editor opens.</translation>
    </message>
    <message>
        <source>--save-depth で指定できる画像は一つだけです</source>
        <translation>--save-depth takes one picture</translation>
    </message>
    <message>
        <source>--save-depth の名前は .bmp か .png で終わります: %1</source>
        <translation>the name of --save-depth must end in .bmp or .png: %1</translation>
    </message>
    <message>
        <source>各画像の立体情報を DIR から取ります: 画像と同じ
名前で、画像の拡張子を持つファイルです。</source>
        <translation>Take each picture&apos;s depth map from DIR: the file with the picture&apos;s base name and any picture extension.</translation>
    </message>
    <message>
        <source>揺れの方向: horizontal (横揺れ、既定) または
vertical (縦揺れ)。</source>
        <translation>horizontal (default) or vertical sway.</translation>
    </message>
    <message>
        <source>出力サイズ: 画像の full (原寸、既定)、2/3、1/2、
1/3 または 1/4。</source>
        <translation>Output size: full (default), 2/3, 1/2, 1/3 or 1/4 of the picture.</translation>
    </message>
    <message>
        <source>これより大きい画像は、描く前に長い辺が N ピクセル
になるよう縮小します (既定 %1、エディターの上限)。</source>
        <translation>Shrink larger pictures to N pixels a side before rendering (default %1, the editor&apos;s limit).</translation>
    </message>
    <message>
        <source>出力を画像の隣ではなく DIR に書き出します
(なければ作ります)。</source>
        <translation>Write the outputs into DIR (made if missing), not next to the pictures.</translation>
    </message>
    <message>
        <source>原寸のフレームも DIR/frame-0.png ...
frame-(N-1).png (N は --frames) として書き出します
(画像が複数なら DIR/名前/frame-0.png ...)。
-o、--out-dir、--format のどれもなければ、
フレームだけを書き出します。</source>
        <translation>Also write the full-size frames as DIR/frame-0.png ... frame-(N-1).png, N as --frames says (with several pictures DIR/NAME/frame-0.png ...). Without -o, --out-dir or --format, only the frames are written.</translation>
    </message>
    <message>
        <source>揺れ一周期のフレーム数、%1 から %2 (既定 %3)。</source>
        <translation>Frames of one sway cycle, %1 to %2 (default %3).</translation>
    </message>
    <message>
        <source>揺れのいちばん大きな角度、%1 から %2 度
(既定 %3)。</source>
        <translation>The largest turn, %1 to %2 degrees (default %3).</translation>
    </message>
    <message>
        <source>動かない段、%1 (赤) から %2 (紫、基準の段、既定)。
それより手前の段と奥の段は逆の向きに動きます。</source>
        <translation>The level that stays still, %1 (red) to %2 (purple, the base level; the default). Nearer and farther levels move opposite ways.</translation>
    </message>
    <message>
        <source>各フレームを表示する時間、%1 から %2 ミリ秒
(既定 %3)。GIF は 10 ミリ秒単位に丸めます。</source>
        <translation>How long each frame shows, %1 to %2 ms (default %3); GIF rounds it to 10 ms.</translation>
    </message>
    <message>
        <source>段が動いて空いた所を埋める色: previous (前の
画素、既定) または far (前後のうち奥にある画素。
浮いた部分の縁がにじみません)。</source>
        <translation>How gaps left by a moving level are filled: previous (from the pixel before; the default) or far (from the neighbour farther back, so a raised subject&apos;s edge does not smear).</translation>
    </message>
    <message>
        <source>%1 は %2 から %3 までの数です: %4</source>
        <translation>%1 must be a number from %2 to %3, not %4</translation>
    </message>
    <message>
        <source>可逆 WebP: 描いたとおりの画素を保ちます。</source>
        <translation>Lossless WebP: every pixel as rendered.</translation>
    </message>
    <message>
        <source>終了ステータス: 0 すべて書き出した、1 失敗した画像がある、
2 使い方の誤り (何も書き出していない)。</source>
        <translation>Exit status: 0 all written, 1 any picture failed, 2 wrong usage (nothing written).</translation>
    </message>
    <message>
        <source>各画像を立体情報に合わせて浮き沈みさせ、揺れ一周期のフレーム (既定で8枚、
--frames で変えられます) を描いて、GIF、WebPのアニメかMP4動画として書き出します。
立体情報はエディターで保存したファイルです (ない場合は画像全体が基準の段に
なります)。画像が一つなら -o で出力を指定します。複数なら各画像の隣に
名前.gif として、または --out-dir に書き出します。</source>
        <translation>Renders the frames of one sway cycle (eight, or as --frames says) of each PICTURE, raised
and sunk by its depth map (a file saved by the editor; without one the whole picture lies
at the base level), and writes them as an animated GIF or WebP or as an MP4 video. With
one picture, -o names the output; otherwise each goes next to its picture as NAME.gif, or
into --out-dir.</translation>
    </message>
    <message>
        <source>%1: 出力の名前は .gif、.webp か .mp4 で終わる必要があります</source>
        <translation>%1: the output&apos;s name must end in .gif, .webp or .mp4</translation>
    </message>
    <message>
        <source>--lossless は WebP の出力の設定です</source>
        <translation>--lossless is for WebP output</translation>
    </message>
    <message>
        <source>--loops は MP4 の出力の設定です</source>
        <translation>--loops is for MP4 output</translation>
    </message>
    <message>
        <source>一つの画像の出力。拡張子 (.gif、.webp か .mp4)
で形式が決まります。</source>
        <translation>Output of the one picture; its extension, .gif, .webp or .mp4, decides the format.</translation>
    </message>
    <message>
        <source>画像の名前で書き出す出力の形式: gif (既定)、webp
または mp4。</source>
        <translation>gif (default), webp or mp4: the format of outputs named after their pictures.</translation>
    </message>
    <message>
        <source>非可逆 WebP の品質、0 から 100 (既定 90)。MP4 では
CRF に換えます: 90 で CRF 18 (既定)、100 で 14。</source>
        <translation>Lossy WebP quality, 0 to 100 (default 90). For MP4 it becomes the CRF: 90 is CRF 18 (the default), 100 is 14.</translation>
    </message>
    <message>
        <source>MP4 で揺れの一周期を N 回繰り返します (既定: 動画が
3 秒以上になる回数)。</source>
        <translation>Repeat the sway cycle N times in an MP4 (default: often enough for a video of at least 3 s).</translation>
    </message>
    <message>
        <source>出力を SIZE バイト以内に収めます (8M、500k、120000;
k は 1000、M は 1000000)。収まる範囲で最も高い品質を
選び、それでも大きければ 1/4 まで縮小します。</source>
        <translation>Keep each output within SIZE bytes (8M, 500k, 120000; k is 1000, M 1000000): the highest quality that fits, then smaller sizes down to a quarter.</translation>
    </message>
    <message>
        <source>--max-bytes は 8M、500k、120000 のような大きさです: %1</source>
        <translation>--max-bytes takes a size such as 8M, 500k or 120000, not %1</translation>
    </message>
</context>
<context>
    <name>SizeLimitTexts</name>
    <message>
        <source>%1 に収めるため、%2 にしました (%3)</source>
        <translation>to fit within %1: %2 (%3)</translation>
    </message>
    <message>
        <source>1/4 の大きさでも %1 に収まりません (最小 %2)</source>
        <translation>does not fit within %1 even at a quarter of the size (%2 at the least)</translation>
    </message>
</context>
<context>
    <name>SystemLimits</name>
    <message>
        <source>ディスクの空き容量が足りません</source>
        <translation>no space left on the disk</translation>
    </message>
    <message>
        <source>アクセスが許可されていません</source>
        <translation>permission denied</translation>
    </message>
    <message>
        <source>シンボリックリンクが多すぎます (循環しています)</source>
        <translation>too many symbolic links (a loop)</translation>
    </message>
    <message>
        <source>ファイルが見つかりません</source>
        <translation>no such file</translation>
    </message>
    <message>
        <source>パスの途中にフォルダーでないものがあります</source>
        <translation>a part of the path is not a folder</translation>
    </message>
    <message>
        <source>読み取り専用のファイルシステムです</source>
        <translation>read-only file system</translation>
    </message>
    <message>
        <source>ファイルが大きすぎます</source>
        <translation>the file is too large</translation>
    </message>
    <message>
        <source>フォルダーは開けません</source>
        <translation>a folder cannot be opened</translation>
    </message>
    <message>
        <source>ファイル名が長すぎます</source>
        <translation>the file name is too long</translation>
    </message>
    <message>
        <source>読み書きの途中でエラーが起きました</source>
        <translation>an input/output error occurred</translation>
    </message>
    <message>
        <source>通常のファイルではありません</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>処理に使うスレッドを起動できません</source>
        <translation>cannot start the threads needed for the work</translation>
    </message>
    <message>
        <source>メモリが足りません</source>
        <translation>not enough memory</translation>
    </message>
</context>
<context>
    <name>WebpFile</name>
    <message>
        <source>書き出すフレームがありません</source>
        <translation>there are no frames to write</translation>
    </message>
    <message>
        <source>フレームの大きさが不正です</source>
        <translation>the frame size is invalid</translation>
    </message>
    <message>
        <source>フレームの大きさがそろっていません</source>
        <translation>the frames differ in size</translation>
    </message>
    <message>
        <source>WebPの書き出しを始められませんでした</source>
        <translation>the WebP could not be started</translation>
    </message>
    <message>
        <source>WebPの設定が不正です</source>
        <translation>the WebP settings are invalid</translation>
    </message>
    <message>
        <source>メモリが足りません</source>
        <translation>not enough memory</translation>
    </message>
    <message>
        <source>WebPのフレームを書き出せませんでした</source>
        <translation>a WebP frame could not be written</translation>
    </message>
    <message>
        <source>WebPを書き終えられませんでした</source>
        <translation>the WebP could not be finished</translation>
    </message>
    <message>
        <source>可逆、%1 × %2</source>
        <translation>lossless, %1 x %2</translation>
    </message>
    <message>
        <source>品質 %1、%2 × %3</source>
        <translation>quality %1, %2 x %3</translation>
    </message>
</context>
<context>
    <name>kelvaro::CDepthPaintDlg</name>
    <message>
        <source>拡大</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>縮小</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>等倍 (100 %)</source>
        <translation>Actual size (100 %)</translation>
    </message>
    <message>
        <source>ウィンドウに合わせる</source>
        <translation>Fit to window</translation>
    </message>
    <message>
        <source>無題</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>%1, %2  段 %3</source>
        <translation>%1, %2  level %3</translation>
    </message>
    <message>
        <source>立体情報が保存されていません。保存しますか？</source>
        <translation>The depth map has not been saved. Save it?</translation>
    </message>
    <message>
        <source>メニュー</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>太さ</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>凸</source>
        <translation>+</translation>
    </message>
    <message>
        <source>凹</source>
        <translation>−</translation>
    </message>
    <message>
        <source>立体情報</source>
        <translation>Depth</translation>
    </message>
    <message>
        <source>画像</source>
        <translation>Pic</translation>
    </message>
    <message>
        <source>戻す</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>やり直す</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>画像を開く...</source>
        <translation>Open picture...</translation>
    </message>
    <message>
        <source>元に戻す</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>クリア...</source>
        <translation>Clear...</translation>
    </message>
    <message>
        <source>表示</source>
        <translation>View</translation>
    </message>
    <message>
        <source>立体情報の色を薄く表示</source>
        <translation>Faint depth colours</translation>
    </message>
    <message>
        <source>保存...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <source>読み込み...</source>
        <translation>Load...</translation>
    </message>
    <message>
        <source>GIFを生成</source>
        <translation>Generate GIF</translation>
    </message>
    <message>
        <source>プレビュー</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>画像ファイルを開けませんでした。</source>
        <translation>The picture file could not be opened.</translation>
    </message>
    <message>
        <source>画像サイズが処理可能サイズを超えています。

縮小して読み込みます。</source>
        <translation>The picture is larger than the size that can be processed.

It will be shrunk while loading.</translation>
    </message>
    <message>
        <source>立体情報をビットマップファイルに保存しました。</source>
        <translation>The depth map was saved to a bitmap file.</translation>
    </message>
    <message>
        <source>立体情報を保存できませんでした。</source>
        <translation>The depth map could not be saved.</translation>
    </message>
    <message>
        <source>立体情報を開けませんでした。</source>
        <translation>The depth map could not be opened.</translation>
    </message>
    <message>
        <source>立体情報をクリアしてよろしいですか？</source>
        <translation>Clear the depth map?</translation>
    </message>
    <message>
        <source>GIFファイルを生成しました。</source>
        <translation>The GIF file was generated.</translation>
    </message>
    <message>
        <source>GIFファイルの生成を中断しました。</source>
        <translation>Generating the GIF file was stopped.</translation>
    </message>
    <message>
        <source>GIFファイルを保存できませんでした。</source>
        <translation>The GIF file could not be saved.</translation>
    </message>
    <message>
        <source>%1ファイルを生成しました。</source>
        <translation>The %1 file was generated.</translation>
    </message>
    <message>
        <source>%1ファイルの生成を中断しました。</source>
        <translation>Generating the %1 file was stopped.</translation>
    </message>
    <message>
        <source>%1ファイルを保存できませんでした。</source>
        <translation>The %1 file could not be saved.</translation>
    </message>
    <message>
        <source>グレースケール画像から読み込む...</source>
        <translation>Load from greyscale image...</translation>
    </message>
    <message>
        <source>立体情報ファイルの大きさ (%1 × %2) が画像の大きさ (%3 × %4) と違います。

左上をそろえて、拡大・縮小せずに読み込みました。</source>
        <translation>The depth map file (%1 × %2) is not the size of the picture (%3 × %4).

It was loaded top-left to top-left, unscaled.</translation>
    </message>
    <message>
        <source>立体情報の色ではない画素が %1 個あります。これらは最も手前の段 (赤) として扱われます。

グレースケールの深度画像は「立体情報」の「グレースケール画像から読み込む...」で読み込めます。</source>
        <translation>%1 pixels are not depth colours. They count as the most raised level (red).

A greyscale depth image can be loaded with &quot;Load from greyscale image...&quot; under &quot;Depth&quot;.</translation>
    </message>
    <message>
        <source>赤 (最も手前)</source>
        <translation>red (nearest)</translation>
    </message>
    <message>
        <source>橙</source>
        <translation>orange</translation>
    </message>
    <message>
        <source>黄</source>
        <translation>yellow</translation>
    </message>
    <message>
        <source>黄緑</source>
        <translation>yellow-green</translation>
    </message>
    <message>
        <source>緑</source>
        <translation>green</translation>
    </message>
    <message>
        <source>水色</source>
        <translation>sky blue</translation>
    </message>
    <message>
        <source>青</source>
        <translation>blue</translation>
    </message>
    <message>
        <source>紫 (基準)</source>
        <translation>purple (base)</translation>
    </message>
    <message>
        <source>黒 (固定)</source>
        <translation>black (fixed)</translation>
    </message>
    <message>
        <source>ペン</source>
        <translation>Pen</translation>
    </message>
    <message>
        <source>消しゴム</source>
        <translation>Eraser</translation>
    </message>
    <message>
        <source>塗りつぶし</source>
        <translation>Fill</translation>
    </message>
    <message>
        <source>細く</source>
        <translation>Thinner</translation>
    </message>
    <message>
        <source>太く</source>
        <translation>Thicker</translation>
    </message>
    <message>
        <source>メニュー: 画像・立体情報のファイル、表示、GIFの生成</source>
        <translation>Menu: picture and depth files, view, GIF generation</translation>
    </message>
    <message>
        <source>ペン: 選んだ段の色で描く (%1)</source>
        <translation>Pen: paints in the selected level&apos;s colour (%1)</translation>
    </message>
    <message>
        <source>消しゴム: 基準の段 (紫) に戻す (%1)</source>
        <translation>Eraser: paints back to the base level (purple) (%1)</translation>
    </message>
    <message>
        <source>塗りつぶし: 同じ色の続いた部分を選んだ段の色にする (%1)</source>
        <translation>Fill: gives a connected area of one colour the selected level (%1)</translation>
    </message>
    <message>
        <source>太さ: ペンと消しゴムの幅 (%1 で細く、%2 で太く)</source>
        <translation>Thickness: width of pen and eraser (%1 thinner, %2 thicker)</translation>
    </message>
    <message>
        <source>凸: この側の段ほど手前に出る</source>
        <translation>Raised: levels on this side come forward</translation>
    </message>
    <message>
        <source>凹: この側の段ほど奥に下がる</source>
        <translation>Sunken: levels on this side stay back</translation>
    </message>
    <message>
        <source>立体情報: 段の色を表示する</source>
        <translation>Depth information: show the level colours</translation>
    </message>
    <message>
        <source>画像: 画像を表示する</source>
        <translation>Picture: show the picture</translation>
    </message>
    <message>
        <source>戻す: 一つ前の状態に戻す (%1)</source>
        <translation>Undo: back one step (%1)</translation>
    </message>
    <message>
        <source>やり直す: 戻した操作をやり直す (%1)</source>
        <translation>Redo: forward one undone step (%1)</translation>
    </message>
    <message>
        <source>段 %1: %2 (%3)
キャンバスを右クリックすると、その場所の段を選びます。</source>
        <translation>Level %1: %2 (%3)
A right click on the canvas picks the level found there.</translation>
    </message>
    <message>
        <source>塗り方</source>
        <translation>Fill by</translation>
    </message>
    <message>
        <source>同じ色の部分</source>
        <translation>Map colour</translation>
    </message>
    <message>
        <source>画像の色</source>
        <translation>Picture colour</translation>
    </message>
    <message>
        <source>許容差</source>
        <translation>Tolerance</translation>
    </message>
    <message>
        <source>手前を保護</source>
        <translation>Protect nearer</translation>
    </message>
    <message>
        <source>輪郭に合わせる</source>
        <translation>Snap to edges</translation>
    </message>
    <message>
        <source>グラデーション</source>
        <translation>Gradient</translation>
    </message>
    <message>
        <source>グラデーション: ドラッグの始点の段から終点の基準の段 (紫) まで、同じ色の続いた部分を段階的に塗る (%1)</source>
        <translation>Gradient: drag across a connected area of one colour to paint it in steps, from the selected level at the start to the base level (purple) at the end (%1)</translation>
    </message>
    <message>
        <source>塗り方: 塗りつぶしが広がる範囲。「同じ色の部分」は立体情報の同じ色、「画像の色」は画像の色が許容差までの部分 (Shift+クリックで一回だけ画像の色)</source>
        <translation>Fill by: where the fill spreads. &quot;Map colour&quot;: the connected area of one depth colour; &quot;Picture colour&quot;: where the picture&apos;s colour is within the tolerance (Shift+click fills by picture colour once)</translation>
    </message>
    <message>
        <source>許容差: 画像の色で塗りつぶすとき、赤・緑・青それぞれが押した点の色とこの値まで違う画素に広がる (0〜255)</source>
        <translation>Tolerance: a picture-colour fill spreads to pixels whose red, green and blue each differ from the clicked pixel&apos;s by at most this much (0 to 255)</translation>
    </message>
    <message>
        <source>手前を保護: ペン、塗りつぶし、グラデーション、輪郭合わせが、塗る段より手前の段を塗りつぶさない。消しゴムは対象外 (%1)</source>
        <translation>Protect nearer: the pen, the fill, the gradient and the snap leave levels nearer than the one they paint alone; the eraser does not (%1)</translation>
    </message>
    <message>
        <source>輪郭に合わせる: 段の境目を近くの画像の輪郭へ動かす (%1 px 以内)</source>
        <translation>Snap to edges: moves the borders between levels onto the picture&apos;s edges nearby (within %1 px)</translation>
    </message>
    <message>
        <source>画像と交互に表示</source>
        <translation>Interleaved with the picture</translation>
    </message>
    <message>
        <source>画像に重ねて表示</source>
        <translation>Over the picture</translation>
    </message>
    <message>
        <source>重ねる色を薄く</source>
        <translation>Fainter overlay</translation>
    </message>
    <message>
        <source>重ねる色を濃く</source>
        <translation>Stronger overlay</translation>
    </message>
    <message>
        <source>重ねる濃さ</source>
        <translation>Overlay opacity</translation>
    </message>
    <message>
        <source>MP4動画を生成しました。</source>
        <translation>The MP4 video was generated.</translation>
    </message>
    <message>
        <source>MP4動画の生成を中断しました。</source>
        <translation>Generating the MP4 video was stopped.</translation>
    </message>
    <message>
        <source>MP4動画を保存できませんでした。</source>
        <translation>The MP4 video could not be saved.</translation>
    </message>
</context>
<context>
    <name>kelvaro::CanvasView</name>
    <message>
        <source>画像を開く (%1) か、画像ファイルをここにドロップしてください。</source>
        <translation>Open a picture (%1) or drop a picture file here.</translation>
    </message>
</context>
<context>
    <name>kelvaro::COutputSizeDlg</name>
    <message>
        <source>出力サイズの設定</source>
        <translation>Output size</translation>
    </message>
    <message>
        <source>出力サイズ:</source>
        <translation>Size:</translation>
    </message>
    <message>
        <source>原寸</source>
        <translation>Full size</translation>
    </message>
</context>
<context>
    <name>kelvaro::CProgressDlg</name>
    <message>
        <source>処理中...</source>
        <translation>Working...</translation>
    </message>
</context>
<context>
    <name>kelvaro::CSwayDirectionDlg</name>
    <message>
        <source>揺れ方向の設定</source>
        <translation>Sway direction</translation>
    </message>
    <message>
        <source>揺れの方向:</source>
        <translation>Direction:</translation>
    </message>
    <message>
        <source>横揺れ</source>
        <translation>Horizontal</translation>
    </message>
    <message>
        <source>縦揺れ</source>
        <translation>Vertical</translation>
    </message>
</context>
<context>
    <name>kelvaro::GreyDepthDialog</name>
    <message>
        <source>深度画像の読み込み</source>
        <translation>Load depth image</translation>
    </message>
    <message>
        <source>奥行き:</source>
        <translation>Depth:</translation>
    </message>
    <message>
        <source>白いほど手前</source>
        <translation>White is near</translation>
    </message>
    <message>
        <source>黒いほど手前</source>
        <translation>Black is near</translation>
    </message>
</context>
<context>
    <name>kelvaro::OptionDialog</name>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>kelvaro::PreviewWindow</name>
    <message>
        <source>揺れの方向</source>
        <translation>Direction of the sway</translation>
    </message>
    <message>
        <source>揺れ一周期のフレーム数 (%1 から %2)。多いほどなめらかです</source>
        <translation>Frames of one sway cycle (%1 to %2); more is smoother</translation>
    </message>
    <message>
        <source>°</source>
        <translation>°</translation>
    </message>
    <message>
        <source>揺れのいちばん大きな角度 (%1 から %2 度)</source>
        <translation>The largest turn of the sway (%1 to %2 degrees)</translation>
    </message>
    <message>
        <source>動かない段: 0 (赤、いちばん手前) から 7 (紫、基準の段)。それより手前の段と奥の段は逆の向きに動きます</source>
        <translation>The level that stays still: 0 (red, the nearest) to 7 (purple, the base level). Nearer and farther levels move opposite ways</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>各フレームを表示する時間 (%1 から %2 ミリ秒、GIF では 10 ミリ秒単位)</source>
        <translation>How long each frame shows (%1 to %2 ms; a GIF keeps it in 10 ms steps)</translation>
    </message>
    <message>
        <source>前の画素</source>
        <translation>Pixel before</translation>
    </message>
    <message>
        <source>奥の画素</source>
        <translation>Farther pixel</translation>
    </message>
    <message>
        <source>段が動いて空いた所を埋める色。奥の画素で埋めると、浮いた部分の縁がにじみません</source>
        <translation>What fills the gaps a moving level leaves. Filled from the farther pixel, a raised subject&apos;s edge does not smear</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>フレーム数</source>
        <translation>Frames</translation>
    </message>
    <message>
        <source>角度</source>
        <translation>Angle</translation>
    </message>
    <message>
        <source>動かない段</source>
        <translation>Still level</translation>
    </message>
    <message>
        <source>間隔</source>
        <translation>Delay</translation>
    </message>
    <message>
        <source>隙間</source>
        <translation>Gaps</translation>
    </message>
    <message>
        <source>プレビュー</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>横揺れ</source>
        <translation>Horizontal</translation>
    </message>
    <message>
        <source>縦揺れ</source>
        <translation>Vertical</translation>
    </message>
    <message>
        <source>画像を開くとプレビューが表示されます</source>
        <translation>Open a picture to see its preview</translation>
    </message>
</context>
<context>
    <name>kelvaro::SizeLimitDialog</name>
    <message>
        <source>ファイルサイズの上限</source>
        <translation>File size limit</translation>
    </message>
    <message>
        <source>上限:</source>
        <translation>Limit:</translation>
    </message>
    <message>
        <source>上限なし</source>
        <translation>no limit</translation>
    </message>
    <message>
        <source>例: 8M、500k、120000 (バイト数)</source>
        <translation>e.g. 8M, 500k, 120000 (bytes)</translation>
    </message>
    <message>
        <source>読めません: 8M、500k、またはバイト数で入力します</source>
        <translation>Cannot read this: type 8M, 500k or a number of bytes</translation>
    </message>
    <message>
        <source>%1 まで (%2 バイト)</source>
        <translation>up to %1 (%2 bytes)</translation>
    </message>
</context>
</TS>
