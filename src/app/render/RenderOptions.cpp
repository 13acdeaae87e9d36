#include "app/render/RenderOptions.h"

#include "app/language/Language.h"
#include "imaging/FileNames.h"

#include <QCommandLineParser>
#include <QThread>

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
                 return RenderCommand::tr("一つの画像の出力。拡張子 (.gif か .webp) で\n"
                                          "形式が決まります。");
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
                     "画像の名前で書き出す出力の形式: gif (既定) または\nwebp。");
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
                 return RenderCommand::tr("原寸のフレームも DIR/frame-0.png ... frame-7.png\n"
                                          "として書き出します (画像が複数なら\n"
                                          "DIR/名前/frame-0.png ...)。-o、--out-dir、--format の\n"
                                          "どれもなければ、フレームだけを書き出します。");
             },
         .kind = Kind::Text,
         .valueName = QStringLiteral("DIR"),
         .store =
             [](RenderOptions& o, const OptionValue& v) {
                 o.framesDir = v.text;
             }},
        {.names = {QStringLiteral("quality")},
         .help = [] { return RenderCommand::tr("非可逆 WebP の品質、0 から 100 (既定 90)。"); },
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
                 o.webpOptionGiven = true;
             }},
        {.names = {QStringLiteral("lossless")},
         .help = [] { return RenderCommand::tr("可逆 WebP: 描いたとおりの画素を保ちます。"); },
         .store =
             [](RenderOptions& o, const OptionValue&) {
                 o.webp.lossless = true;
                 o.webpOptionGiven = true;
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

const OptionDescription* Row(const QString& longName) {
    for (const OptionDescription& row : Table())
        if (row.longName() == longName)
            return &row;
    return nullptr;
}

// The parser of the table's options, in the table's order; the help's usage line and exit
// statuses are added where the help is shown.
struct Parser {
    QCommandLineParser parser;
    std::vector<QCommandLineOption> options; // one per row of the table

    Parser() {
        parser.setApplicationDescription(RenderCommand::tr(
            "各画像を立体情報に合わせて浮き沈みさせ、揺れ一周期の8フレームを描いて、\n"
            "GIFまたはWebPのアニメとして書き出します。立体情報はエディターで保存した\n"
            "ファイルです (ない場合は画像全体が基準の段になります)。画像が一つなら\n"
            "-o で出力を指定します。複数なら各画像の隣に 名前.gif として、\n"
            "または --out-dir に書き出します。"));
        for (const OptionDescription& row : Table())
            options.emplace_back(row.names, row.help(), row.valueName);
        for (const QCommandLineOption& option : options)
            parser.addOption(option);
        parser.addPositionalArgument(RenderCommand::tr("画像"), RenderCommand::tr("描く画像。"),
                                     RenderCommand::tr("画像..."));
    }

    const QCommandLineOption& of(const QString& longName) const {
        return options[std::size_t(Row(longName) - Table().data())];
    }
    bool isSet(const QString& longName) const { return parser.isSet(of(longName)); }
};

QString HelpText(const QCommandLineParser& parser) {
    QString text = parser.helpText();
    // The usage line names the program as it is known, whatever file runs it.
    text.replace(0, text.indexOf(QLatin1Char('\n')),
                 RenderCommand::tr("使い方: kelvaro-render [オプション] 画像...") +
                     QLatin1Char('\n'));
    return text + QLatin1Char('\n') +
           RenderCommand::tr("終了ステータス: 0 すべて書き出した、1 失敗した画像がある、\n"
                             "2 使い方の誤り (何も書き出していない)。") +
           QLatin1Char('\n');
}

QString Spoken(const OptionDescription& row) {
    return row.spoken.isEmpty() ? QStringLiteral("--") + row.longName() : row.spoken;
}

// The value of a row given once with a value, checked by its kind; the usage error when wrong.
QString CheckValue(const OptionDescription& row, OptionValue& value) {
    switch (row.kind) {
    case Kind::Switch:
    case Kind::Text:
        return {};
    case Kind::Integer: {
        bool ok = false;
        value.number = value.text.toInt(&ok);
        if (ok && value.number >= row.least && value.number <= row.most)
            return {};
        if (row.wrongValue)
            return row.wrongValue(Spoken(row), row, value.text);
        return RenderCommand::tr("%1 は %2 から %3 までの整数です: %4")
            .arg(Spoken(row))
            .arg(row.least)
            .arg(row.most)
            .arg(value.text);
    }
    case Kind::Choice:
        value.number = int(row.choices.indexOf(value.text));
        if (value.number >= 0)
            return {};
        if (row.wrongValue)
            return row.wrongValue(Spoken(row), row, value.text);
        if (row.choices.size() == 2)
            return RenderCommand::tr("%1 は %2 か %3 です: %4")
                .arg(Spoken(row), row.choices[0], row.choices[1], value.text);
        return RenderCommand::tr("%1 は %2 のどれかです: %3")
            .arg(Spoken(row), row.choices.join(QLatin1Char('|')), value.text);
    }
    return {};
}

// Each option at most once and with a value where it takes one; then each value by its kind,
// stored into the options. The first usage error found.
QString ReadValues(const Parser& p, RenderOptions& options) {
    for (std::size_t i = 0; i < Table().size(); ++i) {
        const OptionDescription& row = Table()[i];
        if (!row.takesValue() || row.problem)
            continue;
        const QStringList values = p.parser.values(p.options[i]);
        const QString name = QStringLiteral("--") + row.longName();
        if (values.size() > 1)
            return RenderCommand::tr("%1 が二回以上指定されています").arg(name);
        if (values.size() == 1 && values.front().isEmpty())
            return RenderCommand::tr("%1 には値が必要です").arg(name);
    }
    for (std::size_t i = 0; i < Table().size(); ++i) {
        const OptionDescription& row = Table()[i];
        if (row.problem)
            for (const QString& value : p.parser.values(p.options[i]))
                if (const QString problem = row.problem(value); !problem.isEmpty())
                    return problem;
    }
    for (std::size_t i = 0; i < Table().size(); ++i) {
        const OptionDescription& row = Table()[i];
        if (!row.store || !p.parser.isSet(p.options[i]))
            continue;
        OptionValue value{row.takesValue() ? p.parser.value(p.options[i]) : QString()};
        if (const QString wrong = CheckValue(row, value); !wrong.isEmpty())
            return wrong;
        row.store(options, value);
    }
    return {};
}

// What the options given say together: one picture where only one may be, no two options that
// exclude each other, none without the one it needs, an output name of a known format and the
// WebP settings for a WebP output only. The first usage error found.
QString CheckCombinations(const Parser& p, const RenderOptions& options) {
    const qsizetype count = options.pictures.size();
    if (count == 0)
        return RenderCommand::tr("画像が指定されていません");
    for (const OptionDescription& row : Table()) {
        if (!p.isSet(row.longName()))
            continue;
        if (row.onePicture && count > 1)
            return row.onePicture();
        for (const QString& other : row.excludes)
            if (p.isSet(other))
                return row.excluded();
        if (!row.needs.isEmpty() && !p.isSet(row.needs))
            return RenderCommand::tr("--%1 には --%2 が必要です").arg(row.longName(), row.needs);
    }
    if (!options.output.isEmpty() && !AnimationFormatOfName(options.output))
        return RenderCommand::tr("%1: 出力の名前は .gif か .webp で終わる必要があります")
            .arg(DisplayFileName(options.output));
    const bool webpOut = options.output.isEmpty()
                             ? options.format == AnimationFormat::Webp
                             : AnimationFormatOfName(options.output) == AnimationFormat::Webp;
    if (options.webpOptionGiven && !webpOut)
        return RenderCommand::tr("--quality と --lossless は WebP の出力の設定です");
    return {};
}

} // namespace

std::span<const OptionDescription> RenderOptionTable() {
    return Table();
}

ParseResult ParseRenderArguments(const QStringList& arguments) {
    Parser p;
    ParseResult result;
    if (!p.parser.parse(QStringList{QStringLiteral("kelvaro-render")} + arguments)) {
        result.error = p.parser.errorText();
        return result;
    }
    if (p.isSet(QStringLiteral("help"))) {
        result.shown = HelpText(p.parser);
        return result;
    }
    if (p.isSet(QStringLiteral("version"))) {
        result.shown = QStringLiteral("kelvaro-render " KELVARO_VERSION "\n");
        return result;
    }
    RenderOptions options;
    options.jobs = std::max(1, QThread::idealThreadCount());
    options.pictures = p.parser.positionalArguments();
    result.error = ReadValues(p, options);
    if (result.error.isEmpty())
        result.error = CheckCombinations(p, options);
    if (result.error.isEmpty())
        result.options = std::move(options);
    return result;
}

} // namespace kelvaro
