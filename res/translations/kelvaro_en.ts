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
</TS>
