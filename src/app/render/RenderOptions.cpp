#include "app/render/RenderOptions.h"

#include "app/language/Language.h"
#include "encode/Mp4Encoder.h"
#include "encode/SizeLimit.h"
#include "imaging/FileNames.h"

#include <algorithm>
#include <vector>

namespace kelvaro {

namespace {

using Kind = OptionDescription::Kind;

// The size names in the order of the output-size choices.
QStringList SizeNames() {
    return {QStringLiteral("full"), QStringLiteral("2/3"), QStringLiteral("1/2"),
            QStringLiteral("1/3"), QStringLiteral("1/4")};
}

QString OneDepthSource() {
    return RenderCommand::tr("--depth、--depth-grey、--depth-dir はどれか一つだけ指定できます");
}

// The Japanese descriptions break their own lines: the parser wraps at spaces only, and counts
// characters, not the double width of Japanese ones.
const std::vector<OptionDescription>& Table() {
    static const std::vector<OptionDescription> table = {
        {.names = {QStringLiteral("h"), QStringLiteral("help")},
         .help =
             [] {
                 return RenderCommand::tr("この使い方を表示します。");
             }},
        {.names = {QStringLiteral("version")},
         .help =
             [] {
                 return RenderCommand::tr("バージョンを表示します。");
             }},
        // The language is in force already (see main.cpp); here a wrong name is reported.
        {.names = {QStringLiteral("lang")},
         .help = [] { return LanguageOption(Language::English).description(); },
         .kind = Kind::Text,
         .valueName = QStringLiteral("ja|en"),
         .problem = LanguageValueProblem},
        {.names = {QStringLiteral("depth")},
         .help =
             [] {
                 return RenderCommand::tr("一つの画像の立体情報。\n"
                                          "左上を合わせ、拡大縮小せずに当てます。");
             },
         .kind = Kind::Text,
         .valueName = QStringLiteral("MAP"),
         .excludes = {QStringLiteral("depth-grey"), QStringLiteral("depth-dir")},
         .excluded = OneDepthSource,
         .onePicture =
             [] {
                 return RenderCommand::tr("--depth で指定できる画像は一つだけです。"
                                          "複数の立体情報は --depth-dir で指定します");
             },
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.depth = v.text;
             }},
        {.names = {QStringLiteral("depth-grey")},
         .help =
             [] {
                 return RenderCommand::tr("代わりに、一つの画像のグレースケール深度画像\n"
                                          "(白が手前、黒が奥、8 または 16 ビット)。画像の\n"
                                          "大きさに合わせ、段 0 (白) から 7 (黒) にそろえます。");
             },
         .kind = Kind::Text,
         .valueName = QStringLiteral("MAP"),
         .excludes = {QStringLiteral("depth-dir")},
         .excluded = OneDepthSource,
         .onePicture =
             [] { return RenderCommand::tr("--depth-grey で指定できる画像は一つだけです"); },
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.depthGrey = v.text;
             }},
        {.names = {QStringLiteral("black-near")},
         .help = [] { return RenderCommand::tr("--depth-grey で、黒を手前、白を奥とします。"); },
         .needs = QStringLiteral("depth-grey"),
         .store =
             [](RenderOptions& o, const OptionValue&) {
                 o.grey.blackNear = true;
             }},
        {.names = {QStringLiteral("fixed-below")},
         .help =
             [] {
                 return RenderCommand::tr("--depth-grey で、灰色 0..T (--black-near では\n"
                                          "255-T..255) を動かない部分とします。");
             },
         .kind = Kind::Integer,
         .valueName = QStringLiteral("T"),
         .least = 0,
         .most = 255,
         .wrongValue =
             [](const QString& spoken, const OptionDescription& row, const QString& value) {
                 return RenderCommand::tr("%1 は %2 から %3 までの灰色の値です: %4")
                     .arg(spoken)
                     .arg(row.least)
                     .arg(row.most)
                     .arg(value);
             },
         .needs = QStringLiteral("depth-grey"),
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.grey.fixedBelow = v.number;
             }},
        {.names = {QStringLiteral("refine-depth")},
         .help =
             [] {
                 return RenderCommand::tr("描く前に、立体情報の段の境目を画像の輪郭に\n"
                                          "合わせます (--refine-radius 以内)。");
             },
         .store =
             [](RenderOptions& o, const OptionValue&) {
                 o.refineDepth = true;
             }},
        {.names = {QStringLiteral("refine-radius")},
         .help =
             [] {
                 return RenderCommand::tr("--refine-depth で境目が動く距離、1 から 64\n"
                                          "ピクセル (既定 12)。");
             },
         .kind = Kind::Integer,
         .valueName = QStringLiteral("R"),
         .least = kMinSnapRadius,
         .most = kMaxSnapRadius,
         .needs = QStringLiteral("refine-depth"),
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.refineRadius = v.number;
             }},
        {.names = {QStringLiteral("save-depth")},
         .help =
             [] {
                 return RenderCommand::tr("描いた立体情報 (--depth-grey や --refine-depth の\n"
                                          "後) を FILE に書き出します (.bmp か .png)。");
             },
         .kind = Kind::Text,
         .valueName = QStringLiteral("FILE"),
         .onePicture =
             [] { return RenderCommand::tr("--save-depth で指定できる画像は一つだけです"); },
         .store = [](RenderOptions& o, const OptionValue& v) { o.saveDepth = v.text; },
         .problem =
             [](const QString& value) {
                 const QString lower = value.toLower();
                 if (lower.endsWith(QLatin1String(".bmp")) || lower.endsWith(QLatin1String(".png")))
                     return QString();
                 return RenderCommand::tr("--save-depth の名前は .bmp か .png で終わります: %1")
                     .arg(value);
             }},
        {.names = {QStringLiteral("depth-dir")},
         .help =
             [] {
                 return RenderCommand::tr("各画像の立体情報を DIR から取ります: 画像と同じ\n"
                                          "名前で、画像の拡張子を持つファイルです。");
             },
         .kind = Kind::Text,
         .valueName = QStringLiteral("DIR"),
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.depthDir = v.text;
             }},
        {.names = {QStringLiteral("sway")},
         .help =
             [] {
                 return RenderCommand::tr("揺れの方向: horizontal (横揺れ、既定) または\n"
                                          "vertical (縦揺れ)。");
             },
         .kind = Kind::Choice,
         .valueName = QStringLiteral("DIRECTION"),
         .choices = {QStringLiteral("horizontal"), QStringLiteral("vertical")},
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.direction = v.number == 0 ? SwayDirection::Horizontal : SwayDirection::Vertical;
             }},
        // The motion of the sway; the defaults give the classic eight-frame cycle.
        {.names = {QStringLiteral("frames")},
         .help =
             [] {
                 return RenderCommand::tr("揺れ一周期のフレーム数、%1 から %2 (既定 %3)。")
                     .arg(SwayOptions::MinFrames)
                     .arg(SwayOptions::MaxFrames)
                     .arg(SwayOptions{}.frames);
             },
         .kind = Kind::Integer,
         .valueName = QStringLiteral("N"),
         .least = SwayOptions::MinFrames,
         .most = SwayOptions::MaxFrames,
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.sway.frames = v.number;
             }},
        {.names = {QStringLiteral("angle")},
         .help =
             [] {
                 return RenderCommand::tr("揺れのいちばん大きな角度、%1 から %2 度\n"
                                          "(既定 %3)。")
                     .arg(SwayOptions::MinAngle)
                     .arg(SwayOptions::MaxAngle)
                     .arg(SwayOptions{}.angle);
             },
         .kind = Kind::Decimal,
         .valueName = QStringLiteral("A"),
         .leastDecimal = SwayOptions::MinAngle,
         .mostDecimal = SwayOptions::MaxAngle,
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.sway.angle = v.decimal;
             }},
        {.names = {QStringLiteral("pivot")},
         .help =
             [] {
                 return RenderCommand::tr("動かない段、%1 (赤) から %2 (紫、基準の段、既定)。\n"
                                          "それより手前の段と奥の段は逆の向きに動きます。")
                     .arg(SwayOptions::MinPivot)
                     .arg(SwayOptions::MaxPivot);
             },
         .kind = Kind::Integer,
         .valueName = QStringLiteral("P"),
         .least = SwayOptions::MinPivot,
         .most = SwayOptions::MaxPivot,
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.sway.pivot = v.number;
             }},
        {.names = {QStringLiteral("delay")},
         .help =
             [] {
                 return RenderCommand::tr("各フレームを表示する時間、%1 から %2 ミリ秒\n"
                                          "(既定 %3)。GIF は 10 ミリ秒単位に丸めます。")
                     .arg(SwayOptions::MinDelayMs)
                     .arg(SwayOptions::MaxDelayMs)
                     .arg(SwayOptions{}.delayMs);
             },
         .kind = Kind::Integer,
         .valueName = QStringLiteral("MS"),
         .least = SwayOptions::MinDelayMs,
         .most = SwayOptions::MaxDelayMs,
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.sway.delayMs = v.number;
             }},
        {.names = {QStringLiteral("hole-fill")},
         .help =
             [] {
                 return RenderCommand::tr("段が動いて空いた所を埋める色: previous (前の\n"
                                          "画素、既定) または far (前後のうち奥にある画素。\n"
                                          "浮いた部分の縁がにじみません)。");
             },
         .kind = Kind::Choice,
         .valueName = QStringLiteral("FILL"),
         .choices = {QStringLiteral("previous"), QStringLiteral("far")},
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.sway.holeFill = v.number == 0 ? HoleFill::Previous : HoleFill::Far;
             }},
        {.names = {QStringLiteral("size")},
         .help =
             [] {
                 return RenderCommand::tr("出力サイズ: 画像の full (原寸、既定)、2/3、1/2、\n"
                                          "1/3 または 1/4。");
             },
         .kind = Kind::Choice,
         .valueName = QStringLiteral("SIZE"),
         .choices = SizeNames(),
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.sizeChoice = v.number;
             }},
        {.names = {QStringLiteral("max-side")},
         .help =
             [] {
                 return RenderCommand::tr("これより大きい画像は、描く前に長い辺が N ピクセル\n"
                                          "になるよう縮小します (既定 %1、エディターの上限)。")
                     .arg(PictureSizeLimit);
             },
         .kind = Kind::Integer,
         .valueName = QStringLiteral("N"),
         .least = 1,
         .most = kMaxDecodedSide,
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.maxSide = v.number;
             }},
        {.names = {QStringLiteral("o"), QStringLiteral("output")},
         .help =
             [] {
                 return RenderCommand::tr("一つの画像の出力。拡張子 (.gif、.webp か .mp4)\n"
                                          "で形式が決まります。");
             },
         .kind = Kind::Text,
         .valueName = QStringLiteral("OUT"),
         .excludes = {QStringLiteral("out-dir"), QStringLiteral("format")},
         .excluded =
             [] {
                 return RenderCommand::tr(
                     "-o で出力を指定するときは --out-dir も --format も指定できません");
             },
         .onePicture =
             [] {
                 return RenderCommand::tr(
                     "-o で指定できる画像は一つだけです。複数なら出力は各画像の"
                     "隣か --out-dir に書き出されます");
             },
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.output = v.text;
             }},
        {.names = {QStringLiteral("out-dir")},
         .help =
             [] {
                 return RenderCommand::tr("出力を画像の隣ではなく DIR に書き出します\n"
                                          "(なければ作ります)。");
             },
         .kind = Kind::Text,
         .valueName = QStringLiteral("DIR"),
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.outDir = v.text;
             }},
        {.names = {QStringLiteral("format")},
         .help =
             [] {
                 return RenderCommand::tr(
                     "画像の名前で書き出す出力の形式: gif (既定)、webp\nまたは mp4。");
             },
         .kind = Kind::Choice,
         .valueName = QStringLiteral("FORMAT"),
         .choices = OutputFormatNames(),
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.format = OutputFormats()[std::size_t(v.number)].format;
             }},
        {.names = {QStringLiteral("frames-dir")},
         .help =
             [] {
                 return RenderCommand::tr("原寸のフレームも DIR/frame-0.png ...\n"
                                          "frame-(N-1).png (N は --frames) として書き出します\n"
                                          "(画像が複数なら DIR/名前/frame-0.png ...)。\n"
                                          "-o、--out-dir、--format のどれもなければ、\n"
                                          "フレームだけを書き出します。");
             },
         .kind = Kind::Text,
         .valueName = QStringLiteral("DIR"),
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.framesDir = v.text;
             }},
        {.names = {QStringLiteral("quality")},
         .help =
             [] {
                 return RenderCommand::tr("非可逆 WebP の品質、0 から 100 (既定 90)。MP4 では\n"
                                          "CRF に換えます: 90 で CRF 18 (既定)、100 で 14。");
             },
         .kind = Kind::Integer,
         .valueName = QStringLiteral("Q"),
         .least = 0,
         .most = 100,
         .excludes = {QStringLiteral("lossless")},
         .excluded =
             [] {
                 return RenderCommand::tr(
                     "--quality は非可逆 WebP の設定です。--lossless と一緒には指定できません");
             },
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.webp.quality = v.number;
                 o.mp4.crf = Mp4CrfOfQuality(v.number);
                 o.qualityGiven = true;
             }},
        {.names = {QStringLiteral("lossless")},
         .help = [] { return RenderCommand::tr("可逆 WebP: 描いたとおりの画素を保ちます。"); },
         .store =
             [](RenderOptions& o, const OptionValue&) {
                 o.webp.lossless = true;
                 o.losslessGiven = true;
             }},
        {.names = {QStringLiteral("loops")},
         .help =
             [] {
                 return RenderCommand::tr("MP4 で揺れの一周期を N 回繰り返します (既定: 動画が\n"
                                          "3 秒以上になる回数)。");
             },
         .kind = Kind::Integer,
         .valueName = QStringLiteral("N"),
         .least = 1,
         .most = 1000,
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.mp4.loops = v.number;
                 o.loopsGiven = true;
             }},
        {.names = {QStringLiteral("max-bytes")},
         .help =
             [] {
                 return RenderCommand::tr("出力を SIZE バイト以内に収めます (8M、500k、120000;\n"
                                          "k は 1000、M は 1000000)。収まる範囲で最も高い品質を\n"
                                          "選び、それでも大きければ 1/4 まで縮小します。");
             },
         .kind = Kind::Text,
         .valueName = QStringLiteral("SIZE"),
         .store = [](RenderOptions& o,
                     const OptionValue& v) { o.maxBytes = ParseByteCount(v.text).value_or(0); },
         .problem =
             [](const QString& value) {
                 if (ParseByteCount(value))
                     return QString();
                 return RenderCommand::tr("--max-bytes は 8M、500k、120000 のような大きさです: %1")
                     .arg(value);
             }},
        {.names = {QStringLiteral("no-clobber")},
         .help =
             [] {
                 return RenderCommand::tr("すでにある出力は置き換えず、その画像を失敗とします。");
             },
         .store =
             [](RenderOptions& o, const OptionValue&) {
                 o.noClobber = true;
             }},
        {.names = {QStringLiteral("j"), QStringLiteral("jobs")},
         .help = [] { return RenderCommand::tr("N 枚の画像を同時に描きます (既定: コアの数)。"); },
         .kind = Kind::Integer,
         .valueName = QStringLiteral("N"),
         .least = 1,
         .most = 1024,
         .spoken = QStringLiteral("-j"),
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.jobs = v.number;
             }},
        {.names = {QStringLiteral("verbose")},
         .help =
             [] {
                 return RenderCommand::tr("Qt と画像ライブラリが出力する行も表示します\n"
                                          "(普段は表示しません)。");
             },
         .store =
             [](RenderOptions& o, const OptionValue&) {
                 o.verbose = true;
             }},
    };
    return table;
}

} // namespace

std::span<const OptionDescription> RenderOptionTable() {
    return Table();
}

} // namespace kelvaro
