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
        <source>表示言語: ja (日本語、既定) または en (英語)</source>
        <translation>Language of the user interface: ja (Japanese, the default) or en (English)</translation>
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
        <source>--lang は ja か en です: %1</source>
        <translation>--lang takes ja or en, not %1</translation>
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
        <source>すべてのファイル (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>立体情報をファイルに保存する</source>
        <translation>Save depth information to a file</translation>
    </message>
    <message>
        <source>ビットマップファイル (*.bmp)</source>
        <translation>Bitmap files (*.bmp)</translation>
    </message>
    <message>
        <source>立体情報をファイルから読み込む</source>
        <translation>Load depth information from a file</translation>
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
        <source>GIFファイル (*.gif);;WebPファイル(*.webp)</source>
        <translation>GIF files (*.gif);;WebP files (*.webp)</translation>
    </message>
    <message>
        <source>グレースケールの深度画像を読み込む</source>
        <translation>Load a greyscale depth image</translation>
    </message>
</context>
<context>
    <name>FileNames</name>
    <message>
        <source>ファイルが見つかりません</source>
        <translation>no such file</translation>
    </message>
    <message>
        <source>フォルダーは開けません</source>
        <translation>a folder cannot be opened</translation>
    </message>
    <message>
        <source>通常のファイルではありません</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>ファイルが空です</source>
        <translation>the file is empty</translation>
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
        <source>画像が大きすぎます</source>
        <translation>the picture is too large</translation>
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
</context>
<context>
    <name>kelvaro::CDepthPaintDlg</name>
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
        <translation>The depth information was saved to a bitmap file.</translation>
    </message>
    <message>
        <source>立体情報を保存できませんでした。</source>
        <translation>The depth information could not be saved.</translation>
    </message>
    <message>
        <source>立体情報を開けませんでした。</source>
        <translation>The depth information could not be opened.</translation>
    </message>
    <message>
        <source>立体情報をクリアしてよろしいですか？</source>
        <translation>Clear the depth information?</translation>
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
        <source>グレースケール画像から読み込む...</source>
        <translation>Load from greyscale image...</translation>
    </message>
    <message>
        <source>立体情報ファイルの大きさ (%1 × %2) が画像の大きさ (%3 × %4) と違います。

左上をそろえて、拡大・縮小せずに読み込みました。</source>
        <translation>The depth information file (%1 × %2) is not the size of the picture (%3 × %4).

It was loaded top-left to top-left, unscaled.</translation>
    </message>
    <message>
        <source>立体情報の色ではない画素が %1 個あります。これらは最も手前の段 (赤) として扱われます。

グレースケールの深度画像は「立体情報」の「グレースケール画像から読み込む...」で読み込めます。</source>
        <translation>%1 pixels are not depth colours. They count as the most raised level (red).

A greyscale depth image can be loaded with &quot;Load from greyscale image...&quot; under &quot;Depth&quot;.</translation>
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
</TS>
