#include "app/render/RenderCommand.h"

#include "app/render/FramesFolder.h"
#include "files/PictureFile.h"
#include "gif/GifPipeline.h"
#include "imaging/FileNames.h"

#include <QCommandLineParser>
#include <QDir>
#include <QImageReader>
#include <QMutex>
#include <QSet>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <optional>

namespace kelvaro {

namespace {

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
    parser.setApplicationDescription(QStringLiteral(
        "Renders the eight frames of one sway cycle of each PICTURE, raised and sunk by its depth\n"
        "map (a file saved by the editor; without one the whole picture lies at the base level),\n"
        "and writes them as an animated GIF or WebP. With one picture, -o names the output;\n"
        "otherwise each goes next to its picture as NAME.gif, or into --out-dir."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the version."));
    const QCommandLineOption depth(
        QStringLiteral("depth"),
        QStringLiteral("Depth map of the one picture, applied top-left to top-left, unscaled."),
        QStringLiteral("MAP"));
    const QCommandLineOption depthGrey(
        QStringLiteral("depth-grey"),
        QStringLiteral("Grey depth image of the one picture instead (white near, black far, 8 or "
                       "16 bits), scaled to the picture and snapped to levels 0 (white) .. 7 "
                       "(black)."),
        QStringLiteral("MAP"));
    const QCommandLineOption blackNear(QStringLiteral("black-near"),
                                       QStringLiteral("With --depth-grey: black is near, white "
                                                      "far."));
    const QCommandLineOption fixedBelow(
        QStringLiteral("fixed-below"),
        QStringLiteral("With --depth-grey: grey 0..T (255-T..255 with --black-near) is fixed in "
                       "place."),
        QStringLiteral("T"));
    const QCommandLineOption depthDir(
        QStringLiteral("depth-dir"),
        QStringLiteral("Take each picture's depth map from DIR: the file with the picture's base "
                       "name and any picture extension."),
        QStringLiteral("DIR"));
    const QCommandLineOption sway(QStringLiteral("sway"),
                                  QStringLiteral("horizontal (default) or vertical sway."),
                                  QStringLiteral("DIRECTION"));
    const QCommandLineOption size(
        QStringLiteral("size"),
        QStringLiteral("Output size: full (default), 2/3, 1/2, 1/3 or 1/4 of the picture."),
        QStringLiteral("SIZE"));
    const QCommandLineOption maxSide(
        QStringLiteral("max-side"),
        QStringLiteral("Shrink larger pictures to N pixels a side before rendering (default %1, "
                       "the editor's limit).")
            .arg(PictureSizeLimit),
        QStringLiteral("N"));
    const QCommandLineOption output(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Output of the one picture; its extension, .gif or .webp, decides the "
                       "format."),
        QStringLiteral("OUT"));
    const QCommandLineOption outDir(
        QStringLiteral("out-dir"),
        QStringLiteral("Write the outputs into DIR (made if missing), not next to the pictures."),
        QStringLiteral("DIR"));
    const QCommandLineOption format(
        QStringLiteral("format"),
        QStringLiteral("gif (default) or webp: the format of outputs named after their pictures."),
        QStringLiteral("FORMAT"));
    const QCommandLineOption framesDir(
        QStringLiteral("frames-dir"),
        QStringLiteral("Also write the full-size frames as DIR/frame-0.png ... frame-7.png (with "
                       "several pictures DIR/NAME/frame-0.png ...). Without -o, --out-dir or "
                       "--format, only the frames are written."),
        QStringLiteral("DIR"));
    const QCommandLineOption quality(QStringLiteral("quality"),
                                     QStringLiteral("Lossy WebP quality, 0 to 100 (default 90)."),
                                     QStringLiteral("Q"));
    const QCommandLineOption lossless(QStringLiteral("lossless"),
                                      QStringLiteral("Lossless WebP: every pixel as rendered."));
    const QCommandLineOption noClobber(
        QStringLiteral("no-clobber"),
        QStringLiteral("Never replace an existing output; that picture fails instead."));
    const QCommandLineOption jobs(
        {QStringLiteral("j"), QStringLiteral("jobs")},
        QStringLiteral("Render N pictures at a time (default: the number of cores)."),
        QStringLiteral("N"));
    parser.addOptions({help, version, depth, depthGrey, blackNear, fixedBelow, depthDir, sway, size,
                       maxSide, output, outDir, format, framesDir, quality, lossless, noClobber,
                       jobs});
    parser.addPositionalArgument(QStringLiteral("PICTURE"), QStringLiteral("Pictures to render."),
                                 QStringLiteral("PICTURE..."));

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
                     QStringLiteral("Usage: kelvaro-render [OPTIONS] PICTURE...\n"));
        result.shown =
            text + QStringLiteral("\nExit status: 0 all written, 1 any picture failed, 2 wrong "
                                  "usage (nothing written).\n");
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
            return fail(QStringLiteral("%1 given more than once").arg(name));
        if (values.size() == 1 && values.front().isEmpty())
            return fail(QStringLiteral("%1 needs a value").arg(name));
    }

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
    if (parser.isSet(sway)) {
        const QString value = parser.value(sway);
        if (value == QLatin1String("horizontal"))
            options.direction = SwayDirection::Horizontal;
        else if (value == QLatin1String("vertical"))
            options.direction = SwayDirection::Vertical;
        else
            return fail(QStringLiteral("--sway must be horizontal or vertical, not %1").arg(value));
    }
    if (parser.isSet(size)) {
        options.sizeChoice = int(SizeNames().indexOf(parser.value(size)));
        if (options.sizeChoice < 0)
            return fail(QStringLiteral("--size must be one of %1, not %2")
                            .arg(SizeNames().join(QLatin1Char('|')), parser.value(size)));
    }
    if (parser.isSet(maxSide)) {
        const std::optional<int> value = IntegerIn(parser.value(maxSide), 1, kMaxDecodedSide);
        if (!value)
            return fail(QStringLiteral("--max-side must be a whole number from 1 to %1, not %2")
                            .arg(kMaxDecodedSide)
                            .arg(parser.value(maxSide)));
        options.maxSide = *value;
    }
    options.jobs = std::max(1, QThread::idealThreadCount());
    if (parser.isSet(jobs)) {
        const std::optional<int> value = IntegerIn(parser.value(jobs), 1, 1024);
        if (!value)
            return fail(QStringLiteral("-j must be a whole number from 1 to 1024, not %1")
                            .arg(parser.value(jobs)));
        options.jobs = *value;
    }
    if (parser.isSet(format)) {
        const QString value = parser.value(format);
        options.format = AnimationFormatOfName(QStringLiteral(".") + value);
        if (!options.format || value != value.toLower())
            return fail(QStringLiteral("--format must be gif or webp, not %1").arg(value));
    }
    if (parser.isSet(fixedBelow)) {
        const std::optional<int> value = IntegerIn(parser.value(fixedBelow), 0, 255);
        if (!value)
            return fail(QStringLiteral("--fixed-below must be a grey value 0 to 255, not %1")
                            .arg(parser.value(fixedBelow)));
        options.grey.fixedBelow = *value;
    }
    if (parser.isSet(quality)) {
        const std::optional<int> value = IntegerIn(parser.value(quality), 0, 100);
        if (!value)
            return fail(QStringLiteral("--quality must be a whole number from 0 to 100, not %1")
                            .arg(parser.value(quality)));
        options.webp.quality = *value;
    }
    options.webp.lossless = parser.isSet(lossless);
    options.webpOptionGiven = parser.isSet(quality) || parser.isSet(lossless);

    const int count = int(options.pictures.size());
    if (count == 0)
        return fail(QStringLiteral("no picture given"));
    if (!options.output.isEmpty()) {
        if (count > 1)
            return fail(QStringLiteral("-o takes one picture; with several, each output goes next "
                                       "to its picture or into --out-dir"));
        if (!options.outDir.isEmpty() || options.format)
            return fail(QStringLiteral("-o names the output; give no --out-dir or --format"));
        if (!AnimationFormatOfName(options.output))
            return fail(QStringLiteral("%1: the output's name must end in .gif or .webp")
                            .arg(DisplayFileName(options.output)));
    }
    if (!options.depth.isEmpty() && count > 1)
        return fail(QStringLiteral("--depth takes one picture; give several maps by --depth-dir"));
    if (!options.depthGrey.isEmpty() && count > 1)
        return fail(QStringLiteral("--depth-grey takes one picture"));
    if (int(!options.depth.isEmpty()) + int(!options.depthGrey.isEmpty()) +
            int(!options.depthDir.isEmpty()) >
        1)
        return fail(QStringLiteral("give one of --depth, --depth-grey and --depth-dir"));
    for (const QCommandLineOption* greyOnly : {&blackNear, &fixedBelow})
        if (parser.isSet(*greyOnly) && options.depthGrey.isEmpty())
            return fail(QStringLiteral("--%1 needs --depth-grey").arg(greyOnly->names().front()));
    if (parser.isSet(quality) && options.webp.lossless)
        return fail(QStringLiteral("--quality is for lossy WebP; give it or --lossless"));
    const bool webpOut = options.output.isEmpty()
                             ? options.format == AnimationFormat::Webp
                             : AnimationFormatOfName(options.output) == AnimationFormat::Webp;
    if (options.webpOptionGiven && !webpOut)
        return fail(QStringLiteral("--quality and --lossless are for WebP output"));
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
        problem = QStringLiteral("%1: several depth maps match it: %2")
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
            plan.failure = QStringLiteral("cannot read the depth folder %1").arg(listed.reason);
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
                    plan.usageError = QStringLiteral("%1 would overwrite the input %2")
                                          .arg(DisplayFileName(name), DisplayFileName(input.name));
                    return plan;
                }
            const QString key = QDir::cleanPath(QDir::current().absoluteFilePath(name));
            if (written.contains(key)) {
                plan.usageError = QStringLiteral("two pictures would write %1; use -o or rename")
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
    void Warn(const QString& what) { Line(QStringLiteral("warning: ") + what); }
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
            return QStringLiteral("%1 exists and is not a regular file; it is left as it is")
                .arg(DisplayFileName(job.output));
        if (target.exists && options.noClobber)
            return QStringLiteral("%1 exists (--no-clobber)").arg(DisplayFileName(job.output));
    }

    LoadedPicture loaded = LoadPicture(job.picture, options.maxSide);
    if (loaded.image.isNull())
        return QStringLiteral("cannot open the picture %1: %2")
            .arg(DisplayFileName(job.picture), loaded.image.reason());
    const int w = loaded.image.width();
    const int h = loaded.image.height();

    DepthMap depth;
    if (!depth.Create(w, h))
        return QStringLiteral("%1: cannot make a depth map of %2 x %3")
            .arg(DisplayFileName(job.picture))
            .arg(w)
            .arg(h);
    if (!job.depth.isEmpty()) {
        const DepthMapFileLoad read = LoadDepthMapFile(job.depth, depth);
        if (!read)
            return QStringLiteral("cannot open the depth map %1: %2")
                .arg(DisplayFileName(job.depth), read.reason);
        if (read.fileSize != QSize(w, h))
            reporter.Warn(QStringLiteral("the depth map %1 is %2 x %3 pixels and the picture %4 x "
                                         "%5; the map is applied top-left to top-left, unscaled")
                              .arg(DisplayFileName(job.depth))
                              .arg(read.fileSize.width())
                              .arg(read.fileSize.height())
                              .arg(w)
                              .arg(h));
        if (read.offPalettePixels > 0)
            reporter.Warn(QStringLiteral("%1 pixels of the depth map %2 are no depth colours and "
                                         "count as level 0; for a grey depth image use "
                                         "--depth-grey")
                              .arg(read.offPalettePixels)
                              .arg(DisplayFileName(job.depth)));
    } else if (!job.depthGrey.isEmpty()) {
        if (const Result read = LoadGreyDepthFile(job.depthGrey, options.grey, depth); !read)
            return QStringLiteral("cannot open the grey depth map %1: %2")
                .arg(DisplayFileName(job.depthGrey), read.reason);
    }

    std::vector<ImageHandle> frames = RenderSwayFrames(loaded.image, depth, options.direction);
    if (int(frames.size()) != FrameCount)
        return QStringLiteral("%1: rendering the frames failed").arg(DisplayFileName(job.picture));

    if (!job.framesDir.isEmpty()) {
        if (const Result written = WriteFramesFolder(job.framesDir, frames, options.noClobber);
            !written)
            return QStringLiteral("cannot write the frames to %1: %2")
                .arg(DisplayFileName(job.framesDir), written.reason);
    }
    if (!job.output.isEmpty()) {
        const QSize size = OutputSizeFor(options.sizeChoice, w, h);
        if (const Result written =
                WriteSwayAnimation(job.output, std::move(frames), size, job.animation);
            !written)
            return QStringLiteral("cannot write %1: %2")
                .arg(DisplayFileName(job.output), written.reason);
    }
    return std::nullopt;
}

} // namespace

int RunRender(const QStringList& arguments, QTextStream& out, QTextStream& err, bool progressLine) {
    const auto failWith = [&](int status, const QString& why) {
        err << "kelvaro-render: " << why
            << (status == RenderExitUsage ? QStringLiteral(" (see --help)") : QString()) << '\n';
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

    const Plan plan = MakePlan(options);
    if (!plan.usageError.isEmpty())
        return failWith(RenderExitUsage, plan.usageError);
    if (!plan.failure.isEmpty())
        return failWith(RenderExitFailure, plan.failure);
    if (!options.outDir.isEmpty()) {
        if (const Result made = MakeFolders(options.outDir); !made)
            return failWith(RenderExitFailure,
                            QStringLiteral("cannot make the output folder %1").arg(made.reason));
    }

    Reporter reporter(err, progressLine, int(plan.jobs.size()));
    std::atomic<bool> anyFailed{false};
    {
        QThreadPool pool;
        pool.setMaxThreadCount(options.jobs);
        for (const PictureJob& job : plan.jobs)
            pool.start([&] {
                reporter.Started(job.picture);
                if (const std::optional<QString> failure = RenderPicture(job, options, reporter)) {
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
