#include "app/render/RenderCommand.h"

#include "app/language/Language.h"
#include "app/messages/MessageHandler.h"
#include "app/render/FramesFolder.h"
#include "files/PictureFile.h"
#include "gif/GifPipeline.h"
#include "imaging/FileNames.h"
#include "imaging/SystemLimits.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QImageReader>
#include <QMutex>
#include <QSet>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <new>
#include <optional>

namespace kelvaro {

namespace {

// The context of the renderer's texts in the translation: Japanese in the code, English by
// default (see main.cpp).
class RenderCommand {
    Q_DECLARE_TR_FUNCTIONS(RenderCommand)
};

struct RenderOptions {
    QStringList pictures;
    QString depth;
    QString depthGrey;
    GreyDepthOptions grey;
    QString depthDir;
    QString output;
    QString outDir;
    QString framesDir;
    std::optional<AnimationFormat> format; // of the outputs named after their pictures
    SwayDirection direction = SwayDirection::Horizontal;
    int sizeChoice = 0;
    int maxSide = PictureSizeLimit;
    WebpOptions webp;
    bool webpOptionGiven = false;
    bool noClobber = false;
    int jobs = 1;
    bool verbose = false;
};

// The size names in the order of the output-size choices.
const QStringList& SizeNames() {
    static const QStringList names = {QStringLiteral("full"), QStringLiteral("2/3"),
                                      QStringLiteral("1/2"), QStringLiteral("1/3"),
                                      QStringLiteral("1/4")};
    return names;
}

std::optional<int> IntegerIn(const QString& text, int least, int most) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < least || value > most)
        return std::nullopt;
    return value;
}

struct ParseResult {
    std::optional<RenderOptions> options; // none: help or version asked for, or a usage error
    QString shown;                        // the help or version text
    QString error;
};

ParseResult ParseArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(RenderCommand::tr(
        "各画像を立体情報に合わせて浮き沈みさせ、揺れ一周期の8フレームを描いて、\n"
        "GIFまたはWebPのアニメとして書き出します。立体情報はエディターで保存した\n"
        "ファイルです (ない場合は画像全体が基準の段になります)。画像が一つなら\n"
        "-o で出力を指定します。複数なら各画像の隣に 名前.gif として、\n"
        "または --out-dir に書き出します。"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  RenderCommand::tr("この使い方を表示します。"));
    const QCommandLineOption version(QStringLiteral("version"),
                                     RenderCommand::tr("バージョンを表示します。"));
    const QCommandLineOption lang = LanguageOption(Language::English);
    // The Japanese descriptions break their own lines: the parser wraps at spaces only, and
    // counts characters, not the double width of Japanese ones.
    const QCommandLineOption depth(QStringLiteral("depth"),
                                   RenderCommand::tr("一つの画像の立体情報。\n"
                                                     "左上を合わせ、拡大縮小せずに当てます。"),
                                   QStringLiteral("MAP"));
    const QCommandLineOption depthGrey(
        QStringLiteral("depth-grey"),
        RenderCommand::tr("代わりに、一つの画像のグレースケール深度画像\n"
                          "(白が手前、黒が奥、8 または 16 ビット)。画像の\n"
                          "大きさに合わせ、段 0 (白) から 7 (黒) にそろえます。"),
        QStringLiteral("MAP"));
    const QCommandLineOption blackNear(
        QStringLiteral("black-near"),
        RenderCommand::tr("--depth-grey で、黒を手前、白を奥とします。"));
    const QCommandLineOption fixedBelow(
        QStringLiteral("fixed-below"),
        RenderCommand::tr("--depth-grey で、灰色 0..T (--black-near では\n"
                          "255-T..255) を動かない部分とします。"),
        QStringLiteral("T"));
    const QCommandLineOption depthDir(
        QStringLiteral("depth-dir"),
        RenderCommand::tr("各画像の立体情報を DIR から取ります: 画像と同じ\n"
                          "名前で、画像の拡張子を持つファイルです。"),
        QStringLiteral("DIR"));
    const QCommandLineOption sway(QStringLiteral("sway"),
                                  RenderCommand::tr("揺れの方向: horizontal (横揺れ、既定) または\n"
                                                    "vertical (縦揺れ)。"),
                                  QStringLiteral("DIRECTION"));
    const QCommandLineOption size(
        QStringLiteral("size"),
        RenderCommand::tr("出力サイズ: 画像の full (原寸、既定)、2/3、1/2、\n"
                          "1/3 または 1/4。"),
        QStringLiteral("SIZE"));
    const QCommandLineOption maxSide(
        QStringLiteral("max-side"),
        RenderCommand::tr("これより大きい画像は、描く前に長い辺が N ピクセル\n"
                          "になるよう縮小します (既定 %1、エディターの上限)。")
            .arg(PictureSizeLimit),
        QStringLiteral("N"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    RenderCommand::tr("一つの画像の出力。拡張子 (.gif か .webp) "
                                                      "で\n形式が決まります。"),
                                    QStringLiteral("OUT"));
    const QCommandLineOption outDir(QStringLiteral("out-dir"),
                                    RenderCommand::tr("出力を画像の隣ではなく DIR に書き出します\n"
                                                      "(なければ作ります)。"),
                                    QStringLiteral("DIR"));
    const QCommandLineOption format(
        QStringLiteral("format"),
        RenderCommand::tr("画像の名前で書き出す出力の形式: gif (既定) または\nwebp。"),
        QStringLiteral("FORMAT"));
    const QCommandLineOption framesDir(
        QStringLiteral("frames-dir"),
        RenderCommand::tr("原寸のフレームも DIR/frame-0.png ... frame-7.png\n"
                          "として書き出します (画像が複数なら\n"
                          "DIR/名前/frame-0.png ...)。-o、--out-dir、--format の\n"
                          "どれもなければ、フレームだけを書き出します。"),
        QStringLiteral("DIR"));
    const QCommandLineOption quality(
        QStringLiteral("quality"), RenderCommand::tr("非可逆 WebP の品質、0 から 100 (既定 90)。"),
        QStringLiteral("Q"));
    const QCommandLineOption lossless(
        QStringLiteral("lossless"), RenderCommand::tr("可逆 WebP: 描いたとおりの画素を保ちます。"));
    const QCommandLineOption noClobber(
        QStringLiteral("no-clobber"),
        RenderCommand::tr("すでにある出力は置き換えず、その画像を失敗とします。"));
    const QCommandLineOption jobs(
        {QStringLiteral("j"), QStringLiteral("jobs")},
        RenderCommand::tr("N 枚の画像を同時に描きます (既定: コアの数)。"), QStringLiteral("N"));
    const QCommandLineOption verbose(
        QStringLiteral("verbose"), RenderCommand::tr("Qt と画像ライブラリが出力する行も表示します\n"
                                                     "(普段は表示しません)。"));
    parser.addOptions({help,      version, lang,     depth,     depthGrey, blackNear, fixedBelow,
                       depthDir,  sway,    size,     maxSide,   output,    outDir,    format,
                       framesDir, quality, lossless, noClobber, jobs,      verbose});
    parser.addPositionalArgument(RenderCommand::tr("画像"), RenderCommand::tr("描く画像。"),
                                 RenderCommand::tr("画像..."));

    ParseResult result;
    const auto fail = [&](QString why) {
        result.error = std::move(why);
        return result;
    };
    if (!parser.parse(QStringList{QStringLiteral("kelvaro-render")} + arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        // The usage line names the program as it is known, whatever file runs it.
        text.replace(0, text.indexOf(QLatin1Char('\n')),
                     RenderCommand::tr("使い方: kelvaro-render [オプション] 画像...") +
                         QLatin1Char('\n'));
        result.shown =
            text + QLatin1Char('\n') +
            RenderCommand::tr("終了ステータス: 0 すべて書き出した、1 失敗した画像がある、\n"
                              "2 使い方の誤り (何も書き出していない)。") +
            QLatin1Char('\n');
        return result;
    }
    if (parser.isSet(version)) {
        result.shown = QStringLiteral("kelvaro-render " KELVARO_VERSION "\n");
        return result;
    }
    for (const QCommandLineOption* option :
         {&depth, &depthGrey, &fixedBelow, &depthDir, &sway, &size, &maxSide, &output, &outDir,
          &format, &framesDir, &quality, &jobs}) {
        const QStringList values = parser.values(*option);
        const QString name = QStringLiteral("--") + option->names().constLast();
        if (values.size() > 1)
            return fail(RenderCommand::tr("%1 が二回以上指定されています").arg(name));
        if (values.size() == 1 && values.front().isEmpty())
            return fail(RenderCommand::tr("%1 には値が必要です").arg(name));
    }
    // The language is in force already (see main.cpp); here a wrong name is reported.
    for (const QString& value : parser.values(lang))
        if (const QString problem = LanguageValueProblem(value); !problem.isEmpty())
            return fail(problem);

    RenderOptions options;
    options.pictures = parser.positionalArguments();
    options.depth = parser.value(depth);
    options.depthGrey = parser.value(depthGrey);
    options.grey.blackNear = parser.isSet(blackNear);
    options.depthDir = parser.value(depthDir);
    options.output = parser.value(output);
    options.outDir = parser.value(outDir);
    options.framesDir = parser.value(framesDir);
    options.noClobber = parser.isSet(noClobber);
    options.verbose = parser.isSet(verbose);
    if (parser.isSet(sway)) {
        const QString value = parser.value(sway);
        if (value == QLatin1String("horizontal"))
            options.direction = SwayDirection::Horizontal;
        else if (value == QLatin1String("vertical"))
            options.direction = SwayDirection::Vertical;
        else
            return fail(RenderCommand::tr("--sway は horizontal か vertical です: %1").arg(value));
    }
    if (parser.isSet(size)) {
        options.sizeChoice = int(SizeNames().indexOf(parser.value(size)));
        if (options.sizeChoice < 0)
            return fail(RenderCommand::tr("--size は %1 のどれかです: %2")
                            .arg(SizeNames().join(QLatin1Char('|')), parser.value(size)));
    }
    if (parser.isSet(maxSide)) {
        const std::optional<int> value = IntegerIn(parser.value(maxSide), 1, kMaxDecodedSide);
        if (!value)
            return fail(RenderCommand::tr("--max-side は 1 から %1 までの整数です: %2")
                            .arg(kMaxDecodedSide)
                            .arg(parser.value(maxSide)));
        options.maxSide = *value;
    }
    options.jobs = std::max(1, QThread::idealThreadCount());
    if (parser.isSet(jobs)) {
        const std::optional<int> value = IntegerIn(parser.value(jobs), 1, 1024);
        if (!value)
            return fail(
                RenderCommand::tr("-j は 1 から 1024 までの整数です: %1").arg(parser.value(jobs)));
        options.jobs = *value;
    }
    if (parser.isSet(format)) {
        const QString value = parser.value(format);
        options.format = AnimationFormatOfName(QStringLiteral(".") + value);
        if (!options.format || value != value.toLower())
            return fail(RenderCommand::tr("--format は gif か webp です: %1").arg(value));
    }
    if (parser.isSet(fixedBelow)) {
        const std::optional<int> value = IntegerIn(parser.value(fixedBelow), 0, 255);
        if (!value)
            return fail(RenderCommand::tr("--fixed-below は 0 から 255 までの灰色の値です: %1")
                            .arg(parser.value(fixedBelow)));
        options.grey.fixedBelow = *value;
    }
    if (parser.isSet(quality)) {
        const std::optional<int> value = IntegerIn(parser.value(quality), 0, 100);
        if (!value)
            return fail(RenderCommand::tr("--quality は 0 から 100 までの整数です: %1")
                            .arg(parser.value(quality)));
        options.webp.quality = *value;
    }
    options.webp.lossless = parser.isSet(lossless);
    options.webpOptionGiven = parser.isSet(quality) || parser.isSet(lossless);

    const int count = int(options.pictures.size());
    if (count == 0)
        return fail(RenderCommand::tr("画像が指定されていません"));
    if (!options.output.isEmpty()) {
        if (count > 1)
            return fail(
                RenderCommand::tr("-o で指定できる画像は一つだけです。複数なら出力は各画像の"
                                  "隣か --out-dir に書き出されます"));
        if (!options.outDir.isEmpty() || options.format)
            return fail(RenderCommand::tr(
                "-o で出力を指定するときは --out-dir も --format も指定できません"));
        if (!AnimationFormatOfName(options.output))
            return fail(RenderCommand::tr("%1: 出力の名前は .gif か .webp で終わる必要があります")
                            .arg(DisplayFileName(options.output)));
    }
    if (!options.depth.isEmpty() && count > 1)
        return fail(RenderCommand::tr(
            "--depth で指定できる画像は一つだけです。複数の立体情報は --depth-dir で指定します"));
    if (!options.depthGrey.isEmpty() && count > 1)
        return fail(RenderCommand::tr("--depth-grey で指定できる画像は一つだけです"));
    if (int(!options.depth.isEmpty()) + int(!options.depthGrey.isEmpty()) +
            int(!options.depthDir.isEmpty()) >
        1)
        return fail(
            RenderCommand::tr("--depth、--depth-grey、--depth-dir はどれか一つだけ指定できます"));
    for (const QCommandLineOption* greyOnly : {&blackNear, &fixedBelow})
        if (parser.isSet(*greyOnly) && options.depthGrey.isEmpty())
            return fail(RenderCommand::tr("--%1 には --depth-grey が必要です")
                            .arg(greyOnly->names().front()));
    if (parser.isSet(quality) && options.webp.lossless)
        return fail(RenderCommand::tr(
            "--quality は非可逆 WebP の設定です。--lossless と一緒には指定できません"));
    const bool webpOut = options.output.isEmpty()
                             ? options.format == AnimationFormat::Webp
                             : AnimationFormatOfName(options.output) == AnimationFormat::Webp;
    if (options.webpOptionGiven && !webpOut)
        return fail(RenderCommand::tr("--quality と --lossless は WebP の出力の設定です"));
    result.options = std::move(options);
    return result;
}

// What one picture of the run reads and writes.
struct PictureJob {
    QString picture;
    QString depth;     // none: the base level everywhere
    QString depthGrey; // a grey depth image instead
    QString output;    // none: the frames only
    QString framesDir; // none: no frames folder
    AnimationOptions animation;
    QString problem; // found while planning: the picture fails with it
};

// "photo" of "dir/photo.jpg": the last part of the name without its last extension.
QString BaseName(const QString& name) {
    const QString last = LastPartOfName(name);
    const qsizetype dot = last.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? last.left(dot) : last;
}

// The depth map of `picture` among the files of --depth-dir: the one with the picture's base name
// and an extension Qt reads pictures by. The picture itself does not count, should the folder be
// its own. Empty when there is none; a problem when there are several.
QString FindDepthMap(const QString& folder, const QStringList& entries, const QString& picture,
                     QString& problem) {
    static const QList<QByteArray> readable = QImageReader::supportedImageFormats();
    const QString base = BaseName(picture);
    const FileStatus self = StatFile(picture);
    QStringList found;
    for (const QString& entry : entries) {
        const qsizetype dot = entry.lastIndexOf(QLatin1Char('.'));
        if (dot <= 0 || entry.left(dot) != base ||
            !readable.contains(entry.mid(dot + 1).toLower().toUtf8()))
            continue;
        const QString candidate = JoinName(folder, entry);
        if (!StatFile(candidate).sameFileAs(self))
            found.append(candidate);
    }
    if (found.size() > 1) {
        found.sort();
        QStringList shown;
        for (const QString& name : found)
            shown.append(DisplayFileName(name));
        problem = RenderCommand::tr("%1: 当てはまる立体情報が複数あります: %2")
                      .arg(DisplayFileName(picture), shown.join(QStringLiteral(", ")));
        return {};
    }
    return found.value(0);
}

struct Plan {
    std::vector<PictureJob> jobs;
    QString usageError;
    QString failure; // the whole run fails before anything is written
};

Plan MakePlan(const RenderOptions& options) {
    Plan plan;
    QStringList depthEntries;
    if (!options.depthDir.isEmpty()) {
        if (Result listed = ListFolder(options.depthDir, depthEntries); !listed) {
            plan.failure =
                RenderCommand::tr("立体情報のフォルダーを読めません: %1").arg(listed.reason);
            return plan;
        }
    }
    const bool single = options.pictures.size() == 1;
    const bool animation = !options.output.isEmpty() || !options.outDir.isEmpty() ||
                           options.format || options.framesDir.isEmpty();
    for (const QString& picture : options.pictures) {
        PictureJob job;
        job.picture = picture;
        job.depth = options.depth;
        job.depthGrey = options.depthGrey;
        if (!options.depthDir.isEmpty())
            job.depth = FindDepthMap(options.depthDir, depthEntries, picture, job.problem);
        if (!options.output.isEmpty()) {
            job.output = options.output;
        } else if (animation) {
            const AnimationFormat format = options.format.value_or(AnimationFormat::Gif);
            const QString name =
                BaseName(picture) + (format == AnimationFormat::Webp ? QStringLiteral(".webp")
                                                                     : QStringLiteral(".gif"));
            job.output =
                JoinName(options.outDir.isEmpty() ? FolderOfName(picture) : options.outDir, name);
        }
        if (!job.output.isEmpty()) {
            job.animation.format = *AnimationFormatOfName(job.output);
            job.animation.webp = options.webp;
        }
        if (!options.framesDir.isEmpty())
            job.framesDir =
                single ? options.framesDir : JoinName(options.framesDir, BaseName(picture));
        plan.jobs.push_back(std::move(job));
    }

    // No output may land on an input of the run, whatever name leads there, nor two outputs on
    // one file: that is refused before anything is written.
    struct Input {
        QString name;
        FileStatus status;
    };
    std::vector<Input> inputs;
    for (const PictureJob& job : plan.jobs)
        for (const QString& name : {job.picture, job.depth, job.depthGrey})
            if (!name.isEmpty())
                inputs.push_back({name, StatFile(name)});
    QSet<QString> written;
    for (const PictureJob& job : plan.jobs) {
        QStringList outputs;
        if (!job.output.isEmpty())
            outputs.append(job.output);
        if (!job.framesDir.isEmpty())
            for (int k = 0; k < FrameCount; ++k)
                outputs.append(JoinName(job.framesDir, FrameFileName(k)));
        for (const QString& name : outputs) {
            const FileStatus status = StatFile(name);
            for (const Input& input : inputs)
                if (status.sameFileAs(input.status)) {
                    plan.usageError =
                        RenderCommand::tr("%1 に書き出すと入力の %2 を上書きしてしまいます")
                            .arg(DisplayFileName(name), DisplayFileName(input.name));
                    return plan;
                }
            const QString key = QDir::cleanPath(QDir::current().absoluteFilePath(name));
            if (written.contains(key)) {
                plan.usageError =
                    RenderCommand::tr(
                        "二つの画像が %1 に書き出そうとしています。-o を使うか名前を変えてください")
                        .arg(DisplayFileName(name));
                return plan;
            }
            written.insert(key);
        }
    }
    return plan;
}

// Failure lines and, on a terminal, the progress line; safe to call from any thread.
class Reporter {
public:
    Reporter(QTextStream& err, bool progressLine, int total)
        : err_(err), progressLine_(progressLine), total_(total) {}

    void Started(const QString& picture) {
        if (!progressLine_)
            return;
        const QMutexLocker lock(&mutex_);
        shown_ = QStringLiteral("%1/%2 %3")
                     .arg(++started_)
                     .arg(total_)
                     .arg(DisplayFileName(LastPartOfName(picture)));
        err_ << "\r\x1b[K" << shown_;
        err_.flush();
    }
    void Failed(const QString& why) { Line(why); }
    void Warn(const QString& what) { Line(RenderCommand::tr("警告: ") + what); }
    void Finished() {
        const QMutexLocker lock(&mutex_);
        if (!shown_.isEmpty())
            err_ << "\r\x1b[K";
        shown_.clear();
        err_.flush();
    }

private:
    void Line(const QString& text) {
        const QMutexLocker lock(&mutex_);
        if (!shown_.isEmpty())
            err_ << "\r\x1b[K";
        err_ << "kelvaro-render: " << text << '\n';
        if (!shown_.isEmpty())
            err_ << shown_;
        err_.flush();
    }

    QMutex mutex_;
    QTextStream& err_;
    const bool progressLine_;
    const int total_;
    int started_ = 0;
    QString shown_;
};

// Renders one picture and writes what its job asks for; the line to report when it fails.
std::optional<QString> RenderPicture(const PictureJob& job, const RenderOptions& options,
                                     Reporter& reporter) {
    if (!job.problem.isEmpty())
        return job.problem;
    if (!job.output.isEmpty()) {
        const FileStatus target = StatFile(job.output);
        if (target.exists && !target.isRegular())
            return RenderCommand::tr("%1 は通常のファイルではないため、そのままにします")
                .arg(DisplayFileName(job.output));
        if (target.exists && options.noClobber)
            return RenderCommand::tr("%1 はすでにあります (--no-clobber)")
                .arg(DisplayFileName(job.output));
    }

    LoadedPicture loaded = LoadPicture(job.picture, options.maxSide);
    if (loaded.image.isNull())
        return RenderCommand::tr("画像 %1 を開けません: %2")
            .arg(DisplayFileName(job.picture), loaded.image.reason());
    const int w = loaded.image.width();
    const int h = loaded.image.height();

    DepthMap depth;
    if (!depth.Create(w, h))
        return RenderCommand::tr("%1: %2 × %3 の立体情報を作れません")
            .arg(DisplayFileName(job.picture))
            .arg(w)
            .arg(h);
    if (!job.depth.isEmpty()) {
        const DepthMapFileLoad read = LoadDepthMapFile(job.depth, depth);
        if (!read)
            return RenderCommand::tr("立体情報 %1 を開けません: %2")
                .arg(DisplayFileName(job.depth), read.reason);
        if (read.fileSize != QSize(w, h))
            reporter.Warn(RenderCommand::tr("立体情報 %1 は %2 × %3 ピクセル、画像は %4 × %5 "
                                            "ピクセルです。左上を合わせ、拡大縮小せずに当てます")
                              .arg(DisplayFileName(job.depth))
                              .arg(read.fileSize.width())
                              .arg(read.fileSize.height())
                              .arg(w)
                              .arg(h));
        if (read.offPalettePixels > 0)
            reporter.Warn(
                RenderCommand::tr("立体情報 %2 の %1 個の画素は立体情報の色ではなく、段 0 "
                                  "として扱います。グレースケールの深度画像には "
                                  "--depth-grey を使います")
                    .arg(read.offPalettePixels)
                    .arg(DisplayFileName(job.depth)));
    } else if (!job.depthGrey.isEmpty()) {
        if (const Result read = LoadGreyDepthFile(job.depthGrey, options.grey, depth); !read)
            return RenderCommand::tr("深度画像 %1 を開けません: %2")
                .arg(DisplayFileName(job.depthGrey), read.reason);
    }

    std::vector<ImageHandle> frames = RenderSwayFrames(loaded.image, depth, options.direction);
    if (int(frames.size()) != FrameCount)
        return RenderCommand::tr("%1: フレームを描けませんでした")
            .arg(DisplayFileName(job.picture));

    if (!job.framesDir.isEmpty()) {
        if (const Result written = WriteFramesFolder(job.framesDir, frames, options.noClobber);
            !written)
            return RenderCommand::tr("フレームを %1 に書き出せません: %2")
                .arg(DisplayFileName(job.framesDir), written.reason);
    }
    if (!job.output.isEmpty()) {
        const QSize size = OutputSizeFor(options.sizeChoice, w, h);
        if (const Result written =
                WriteSwayAnimation(job.output, std::move(frames), size, job.animation);
            !written)
            return RenderCommand::tr("%1 を書き出せません: %2")
                .arg(DisplayFileName(job.output), written.reason);
    }
    return std::nullopt;
}

} // namespace

int RunRender(const QStringList& arguments, QTextStream& out, QTextStream& err, bool progressLine) {
    const auto failWith = [&](int status, const QString& why) {
        err << "kelvaro-render: " << why
            << (status == RenderExitUsage ? RenderCommand::tr(" (--help を参照)") : QString())
            << '\n';
        err.flush();
        return status;
    };
    const ParseResult parsed = ParseArguments(arguments);
    if (!parsed.shown.isEmpty()) {
        out << parsed.shown;
        out.flush();
        return RenderExitOk;
    }
    if (!parsed.options)
        return failWith(RenderExitUsage, parsed.error);
    const RenderOptions& options = *parsed.options;
    InstallMessageHandler(options.verbose);
    // Qt's image operations and libimagequant wait for or end on threads they cannot start.
    if (!CanStartWorkerThreads())
        return failWith(RenderExitFailure, NoThreadsReason());

    const Plan plan = MakePlan(options);
    if (!plan.usageError.isEmpty())
        return failWith(RenderExitUsage, plan.usageError);
    if (!plan.failure.isEmpty())
        return failWith(RenderExitFailure, plan.failure);
    if (!options.outDir.isEmpty()) {
        if (const Result made = MakeFolders(options.outDir); !made)
            return failWith(RenderExitFailure,
                            RenderCommand::tr("出力フォルダーを作れません: %1").arg(made.reason));
    }

    Reporter reporter(err, progressLine, int(plan.jobs.size()));
    std::atomic<bool> anyFailed{false};
    {
        QThreadPool pool;
        pool.setMaxThreadCount(options.jobs);
        for (const PictureJob& job : plan.jobs)
            pool.start([&] {
                reporter.Started(job.picture);
                // Parts of rendering allocate through the standard library; running out there
                // fails this picture with its reason instead of ending the program.
                std::optional<QString> failure;
                try {
                    failure = RenderPicture(job, options, reporter);
                } catch (const std::bad_alloc&) {
                    failure = NoMemoryReason();
                }
                if (failure) {
                    reporter.Failed(*failure);
                    anyFailed = true;
                }
            });
        pool.waitForDone();
    }
    reporter.Finished();
    return anyFailed ? RenderExitFailure : RenderExitOk;
}

} // namespace kelvaro
