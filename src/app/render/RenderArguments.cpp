#include "app/render/RenderOptions.h"

#include "imaging/FileNames.h"

#include <QCommandLineParser>
#include <QThread>

#include <algorithm>
#include <vector>

// The parser, the checks and the usage errors of kelvaro-render's arguments, all made from the
// option table.
namespace kelvaro {

namespace {

using Kind = OptionDescription::Kind;

const OptionDescription* Row(const QString& longName) {
    for (const OptionDescription& row : RenderOptionTable())
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
            "各画像を立体情報に合わせて浮き沈みさせ、揺れ一周期のフレーム (既定で8枚、\n"
            "--frames で変えられます) を描いて、GIF、WebPのアニメかMP4動画として書き出します。\n"
            "立体情報はエディターで保存したファイルです (ない場合は画像全体が基準の段に\n"
            "なります)。画像が一つなら -o で出力を指定します。複数なら各画像の隣に\n"
            "名前.gif として、または --out-dir に書き出します。"));
        for (const OptionDescription& row : RenderOptionTable())
            options.emplace_back(row.names, row.help(), row.valueName);
        for (const QCommandLineOption& option : options)
            parser.addOption(option);
        parser.addPositionalArgument(RenderCommand::tr("画像"), RenderCommand::tr("描く画像。"),
                                     RenderCommand::tr("画像..."));
    }

    const QCommandLineOption& of(const QString& longName) const {
        return options[std::size_t(Row(longName) - RenderOptionTable().data())];
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
    case Kind::Decimal: {
        bool ok = false;
        value.decimal = value.text.toDouble(&ok);
        // Written as the range is, never as infinity or "not a number".
        if (ok && value.decimal >= row.leastDecimal && value.decimal <= row.mostDecimal)
            return {};
        if (row.wrongValue)
            return row.wrongValue(Spoken(row), row, value.text);
        return RenderCommand::tr("%1 は %2 から %3 までの数です: %4")
            .arg(Spoken(row))
            .arg(row.leastDecimal)
            .arg(row.mostDecimal)
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
    for (std::size_t i = 0; i < RenderOptionTable().size(); ++i) {
        const OptionDescription& row = RenderOptionTable()[i];
        if (!row.takesValue() || row.problem)
            continue;
        const QStringList values = p.parser.values(p.options[i]);
        const QString name = QStringLiteral("--") + row.longName();
        if (values.size() > 1)
            return RenderCommand::tr("%1 が二回以上指定されています").arg(name);
        if (values.size() == 1 && values.front().isEmpty())
            return RenderCommand::tr("%1 には値が必要です").arg(name);
    }
    for (std::size_t i = 0; i < RenderOptionTable().size(); ++i) {
        const OptionDescription& row = RenderOptionTable()[i];
        if (row.problem)
            for (const QString& value : p.parser.values(p.options[i]))
                if (const QString problem = row.problem(value); !problem.isEmpty())
                    return problem;
    }
    for (std::size_t i = 0; i < RenderOptionTable().size(); ++i) {
        const OptionDescription& row = RenderOptionTable()[i];
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
// exclude each other, none without the one it needs, an output name of a known format, the
// quality for WebP or MP4, the WebP and MP4 settings for their own format only. The first usage
// error found.
QString CheckCombinations(const Parser& p, const RenderOptions& options) {
    const qsizetype count = options.pictures.size();
    if (count == 0)
        return RenderCommand::tr("画像が指定されていません");
    for (const OptionDescription& row : RenderOptionTable()) {
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
        return RenderCommand::tr("%1: 出力の名前は .gif、.webp か .mp4 で終わる必要があります")
            .arg(DisplayFileName(options.output));
    const std::optional<AnimationFormat> out =
        options.output.isEmpty() ? options.format : AnimationFormatOfName(options.output);
    const bool webpOut = out == AnimationFormat::Webp, mp4Out = out == AnimationFormat::Mp4;
    if (mp4Out && options.losslessGiven)
        return RenderCommand::tr("--lossless は WebP の出力の設定です");
    if ((options.qualityGiven || options.losslessGiven) && !webpOut && !mp4Out)
        return RenderCommand::tr("--quality と --lossless は WebP の出力の設定です");
    if (options.loopsGiven && !mp4Out)
        return RenderCommand::tr("--loops は MP4 の出力の設定です");
    return {};
}

} // namespace

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
