#include "app/render/RenderCommand.h"

#include "app/messages/MessageHandler.h"
#include "app/render/FramesFolder.h"
#include "app/render/RenderOptions.h"
#include "files/PictureFile.h"
#include "gif/GifPipeline.h"
#include "imaging/FileNames.h"
#include "imaging/Parallel.h"
#include "imaging/SystemLimits.h"

#include <QCoreApplication>
#include <QDir>
#include <QImageReader>
#include <QMutex>
#include <QSet>

#include <atomic>
#include <new>
#include <optional>

namespace kelvaro {

namespace {

// What one picture of the run reads and writes.
struct PictureJob {
    QString picture;
    QString depth;     // none: the base level everywhere
    QString depthGrey; // a grey depth image instead
    QString output;    // none: the frames only
    QString framesDir; // none: no frames folder
    QString saveDepth; // none: the depth map is not written
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
// its own; nor does an animation (a GIF or WebP is what the renderer writes, never a map) or any
// file this run writes (`outputs`, clean absolute names), so that a run can be repeated over its
// own results. Empty when there is none; a problem when there are several.
QString FindDepthMap(const QString& folder, const QStringList& entries, const QString& picture,
                     const QSet<QString>& outputs, QString& problem) {
    static const QList<QByteArray> readable = QImageReader::supportedImageFormats();
    const QString base = BaseName(picture);
    const FileStatus self = StatFile(picture);
    QStringList found;
    for (const QString& entry : entries) {
        const qsizetype dot = entry.lastIndexOf(QLatin1Char('.'));
        if (dot <= 0 || entry.left(dot) != base ||
            !readable.contains(entry.mid(dot + 1).toLower().toUtf8()) ||
            AnimationFormatOfName(entry))
            continue;
        const QString candidate = JoinName(folder, entry);
        if (outputs.contains(QDir::cleanPath(QDir::current().absoluteFilePath(candidate))))
            continue;
        if (!StatFile(candidate).sameFileAs(self))
            found.append(candidate);
    }
    if (found.size() > 1) {
        found.sort();
        QStringList shown;
        for (const QString& name : found)
            shown.append(DisplayFileName(name));
        problem = RenderCommand::tr("%1: 当てはまる立体情報が複数あります: %2。どれか一つだけを "
                                    "%3 に残すか、この画像だけを --depth で指定して描いてください")
                      .arg(DisplayFileName(picture), shown.join(QStringLiteral(", ")),
                           DisplayFileName(folder));
        return {};
    }
    return found.value(0);
}

// The pictures of a run, or why the run cannot start: a usage error, or a failure (a folder that
// cannot be read) before anything is written.
struct Plan {
    std::vector<PictureJob> jobs;
    Result result;
    bool usageError = false; // the result's failure is the command line's
};

Plan MakePlan(const RenderOptions& options) {
    Plan plan;
    QStringList depthEntries;
    if (!options.depthDir.isEmpty()) {
        if (Result listed = ListFolder(options.depthDir, depthEntries); !listed) {
            plan.result = Result::Failure(
                RenderCommand::tr("立体情報のフォルダーを読めません: %1").arg(listed.reason));
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
        job.saveDepth = options.saveDepth;
        if (!options.output.isEmpty()) {
            job.output = options.output;
        } else if (animation) {
            const AnimationFormat format = options.format.value_or(OutputFormats().front().format);
            const QString name = BaseName(picture) + OutputFormatOf(format).extension;
            job.output =
                JoinName(options.outDir.isEmpty() ? FolderOfName(picture) : options.outDir, name);
        }
        if (!job.output.isEmpty()) {
            job.animation.format = *AnimationFormatOfName(job.output);
            job.animation.webp = options.webp;
            job.animation.mp4 = options.mp4;
            job.animation.maxBytes = options.maxBytes;
        }
        if (!options.framesDir.isEmpty())
            job.framesDir =
                single ? options.framesDir : JoinName(options.framesDir, BaseName(picture));
        plan.jobs.push_back(std::move(job));
    }
    // Every file the run writes, by clean absolute name.
    const auto outputsOf = [&options](const PictureJob& job) {
        QStringList outputs;
        if (!job.output.isEmpty())
            outputs.append(job.output);
        if (!job.saveDepth.isEmpty())
            outputs.append(job.saveDepth);
        if (!job.framesDir.isEmpty())
            for (int k = 0; k < options.sway.frames; ++k)
                outputs.append(JoinName(job.framesDir, FrameFileName(k)));
        return outputs;
    };
    const auto key = [](const QString& name) {
        return QDir::cleanPath(QDir::current().absoluteFilePath(name));
    };
    if (!options.depthDir.isEmpty()) {
        QSet<QString> outputs;
        for (const PictureJob& job : plan.jobs)
            for (const QString& name : outputsOf(job))
                outputs.insert(key(name));
        for (PictureJob& job : plan.jobs)
            job.depth =
                FindDepthMap(options.depthDir, depthEntries, job.picture, outputs, job.problem);
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
        for (const QString& name : outputsOf(job)) {
            const FileStatus status = StatFile(name);
            for (const Input& input : inputs)
                if (status.sameFileAs(input.status)) {
                    plan.usageError = true;
                    plan.result = Result::Failure(
                        RenderCommand::tr("%1 に書き出すと入力の %2 を上書きしてしまいます")
                            .arg(DisplayFileName(name), DisplayFileName(input.name)));
                    return plan;
                }
            if (written.contains(key(name))) {
                plan.usageError = true;
                plan.result = Result::Failure(
                    RenderCommand::tr(
                        "二つの画像が %1 に書き出そうとしています。-o を使うか名前を変えてください")
                        .arg(DisplayFileName(name)));
                return plan;
            }
            written.insert(key(name));
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
    void Note(const QString& what) { Line(what); }
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
Result RenderPicture(const PictureJob& job, const RenderOptions& options, Reporter& reporter) {
    if (!job.problem.isEmpty())
        return Result::Failure(job.problem);
    for (const QString& written : {job.output, job.saveDepth}) {
        if (written.isEmpty())
            continue;
        const FileStatus target = StatFile(written);
        if (target.exists && !target.isRegular())
            return Result::Failure(
                RenderCommand::tr("%1 は通常のファイルではないため、そのままにします")
                    .arg(DisplayFileName(written)));
        if (target.exists && options.noClobber)
            return Result::Failure(RenderCommand::tr("%1 はすでにあります (--no-clobber)")
                                       .arg(DisplayFileName(written)));
    }

    LoadedPicture loaded = LoadPicture(job.picture, options.maxSide);
    if (loaded.image.isNull())
        return Result::Failure(RenderCommand::tr("画像 %1 を開けません: %2")
                                   .arg(DisplayFileName(job.picture), loaded.image.reason()));
    const int w = loaded.image.width();
    const int h = loaded.image.height();

    DepthMap depth;
    if (!depth.Create(w, h))
        return Result::Failure(RenderCommand::tr("%1: %2 × %3 の立体情報を作れません")
                                   .arg(DisplayFileName(job.picture))
                                   .arg(w)
                                   .arg(h));
    if (!job.depth.isEmpty()) {
        const ResultOf<DepthMapFileLoad> read = LoadDepthMapFile(job.depth, depth);
        if (!read)
            return Result::Failure(RenderCommand::tr("立体情報 %1 を開けません: %2")
                                       .arg(DisplayFileName(job.depth), read.reason()));
        if (read->fileSize != QSize(w, h))
            reporter.Warn(RenderCommand::tr("立体情報 %1 は %2 × %3 ピクセル、画像は %4 × %5 "
                                            "ピクセルです。左上を合わせ、拡大縮小せずに当てます")
                              .arg(DisplayFileName(job.depth))
                              .arg(read->fileSize.width())
                              .arg(read->fileSize.height())
                              .arg(w)
                              .arg(h));
        if (read->offPalettePixels > 0)
            reporter.Warn(
                RenderCommand::tr("立体情報 %2 の %1 個の画素は立体情報の色ではなく、段 0 "
                                  "として扱います。グレースケールの深度画像には "
                                  "--depth-grey を使います")
                    .arg(read->offPalettePixels)
                    .arg(DisplayFileName(job.depth)));
    } else if (!job.depthGrey.isEmpty()) {
        if (const Result read = LoadGreyDepthFile(job.depthGrey, options.grey, depth); !read)
            return Result::Failure(RenderCommand::tr("深度画像 %1 を開けません: %2")
                                       .arg(DisplayFileName(job.depthGrey), read.reason));
    }

    if (options.refineDepth) {
        SnapOptions snap;
        snap.radius = options.refineRadius;
        SnapToEdges(loaded.image.image(), depth, snap);
    }
    if (!job.saveDepth.isEmpty()) {
        if (const Result saved = SaveDepthMapFile(job.saveDepth, depth); !saved)
            return Result::Failure(RenderCommand::tr("%1 を書き出せません: %2")
                                       .arg(DisplayFileName(job.saveDepth), saved.reason));
    }

    std::vector<ImageHandle> frames =
        RenderSwayFrames(loaded.image, depth, options.direction, options.sway);
    if (int(frames.size()) != options.sway.frames)
        return Result::Failure(
            RenderCommand::tr("%1: フレームを描けませんでした").arg(DisplayFileName(job.picture)));

    if (!job.framesDir.isEmpty()) {
        if (const Result written = WriteFramesFolder(job.framesDir, frames, options.noClobber);
            !written)
            return Result::Failure(RenderCommand::tr("フレームを %1 に書き出せません: %2")
                                       .arg(DisplayFileName(job.framesDir), written.reason));
    }
    if (!job.output.isEmpty()) {
        const QSize size = OutputSizeFor(options.sizeChoice, w, h);
        // What a size limit made the format give way to is one line of its own.
        AnimationOptions animation = job.animation;
        animation.gaveWay = [&](const QString& choice) {
            reporter.Note(QStringLiteral("%1: %2").arg(DisplayFileName(job.output), choice));
        };
        if (const Result written = WriteSwayAnimation(job.output, std::move(frames), size,
                                                      animation, {}, options.sway);
            !written)
            return Result::Failure(RenderCommand::tr("%1 を書き出せません: %2")
                                       .arg(DisplayFileName(job.output), written.reason));
    }
    return Result::Success();
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
    const ParseResult parsed = ParseRenderArguments(arguments);
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
    if (!plan.result)
        return failWith(plan.usageError ? RenderExitUsage : RenderExitFailure, plan.result.reason);
    if (!options.outDir.isEmpty()) {
        if (const Result made = MakeFolders(options.outDir); !made)
            return failWith(RenderExitFailure,
                            RenderCommand::tr("出力フォルダーを作れません: %1").arg(made.reason));
    }

    Reporter reporter(err, progressLine, int(plan.jobs.size()));
    std::atomic<bool> anyFailed{false};
    // --jobs pictures at once, each on a thread of the pool (this one included); the work inside
    // a picture takes what threads are left.
    AllowWorkerThreads(options.jobs);
    ParallelFor(
        int(plan.jobs.size()),
        [&](int k) {
            const PictureJob& job = plan.jobs[std::size_t(k)];
            reporter.Started(job.picture);
            // Parts of rendering allocate through the standard library; running out there
            // fails this picture with its reason instead of ending the program.
            Result rendered;
            try {
                rendered = RenderPicture(job, options, reporter);
            } catch (const std::bad_alloc&) {
                rendered = Result::Failure(NoMemoryReason());
            }
            if (!rendered) {
                reporter.Failed(rendered.reason);
                anyFailed = true;
            }
        },
        options.jobs);
    reporter.Finished();
    return anyFailed ? RenderExitFailure : RenderExitOk;
}

} // namespace kelvaro
