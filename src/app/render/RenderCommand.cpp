#include "app/render/RenderCommand.h"

#include "files/PictureFile.h"
#include "gif/GifPipeline.h"

#include <QDir>
#include <QSaveFile>
#include <QThread>

#include <atomic>
#include <system_error>
#include <thread>

#include <optional>

namespace kelvaro {

namespace {

struct RenderOptions {
    QString picture;
    QString depth;
    QString depthGrey;
    GreyDepthOptions grey;
    SwayDirection direction = SwayDirection::Horizontal;
    int sizeChoice = 0;
    QString framesDir;
    QString gif;
};

// The size names in the order of the output-size choices.
const QStringList& SizeNames() {
    static const QStringList names = {QStringLiteral("full"), QStringLiteral("2/3"),
                                      QStringLiteral("1/2"), QStringLiteral("1/3"),
                                      QStringLiteral("1/4")};
    return names;
}

struct ParseResult {
    std::optional<RenderOptions> options; // none: help asked for, or a usage error
    bool help = false;
    QString error;
};

ParseResult ParseArguments(const QStringList& arguments) {
    ParseResult result;
    RenderOptions options;
    QStringList seen;
    const auto fail = [&](QString why) {
        result.error = std::move(why);
        return result;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        QString arg = arguments[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            result.help = true;
            return result;
        }
        if (!arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            if (!options.picture.isEmpty())
                return fail(QStringLiteral("more than one picture given: %1").arg(arg));
            options.picture = arg;
            continue;
        }
        if (arg == QLatin1String("--black-near")) {
            if (seen.contains(arg))
                return fail(QStringLiteral("%1 given more than once").arg(arg));
            seen.append(arg);
            options.grey.blackNear = true;
            continue;
        }
        QString value;
        bool hasValue = false;
        if (const qsizetype eq = arg.indexOf(QLatin1Char('='));
            arg.startsWith(QLatin1String("--")) && eq > 0) {
            value = arg.mid(eq + 1);
            arg.truncate(eq);
            hasValue = true;
        }
        static const QStringList withValue = {QStringLiteral("--depth"),
                                              QStringLiteral("--depth-grey"),
                                              QStringLiteral("--fixed-below"),
                                              QStringLiteral("--sway"),
                                              QStringLiteral("--size"),
                                              QStringLiteral("--frames-dir"),
                                              QStringLiteral("-o")};
        if (!withValue.contains(arg))
            return fail(QStringLiteral("unknown option %1").arg(arg));
        if (seen.contains(arg))
            return fail(QStringLiteral("%1 given more than once").arg(arg));
        seen.append(arg);
        if (!hasValue) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("%1 needs a value").arg(arg));
            value = arguments[++i];
        }
        if (value.isEmpty())
            return fail(QStringLiteral("%1 needs a value").arg(arg));
        if (arg == QLatin1String("--depth")) {
            options.depth = value;
        } else if (arg == QLatin1String("--depth-grey")) {
            options.depthGrey = value;
        } else if (arg == QLatin1String("--fixed-below")) {
            bool number = false;
            const int t = value.toInt(&number);
            if (!number || t < 0 || t > 255)
                return fail(QStringLiteral("--fixed-below must be a grey value 0 to 255, not %1")
                                .arg(value));
            options.grey.fixedBelow = t;
        } else if (arg == QLatin1String("--sway")) {
            if (value == QLatin1String("horizontal"))
                options.direction = SwayDirection::Horizontal;
            else if (value == QLatin1String("vertical"))
                options.direction = SwayDirection::Vertical;
            else
                return fail(
                    QStringLiteral("--sway must be horizontal or vertical, not %1").arg(value));
        } else if (arg == QLatin1String("--size")) {
            options.sizeChoice = int(SizeNames().indexOf(value));
            if (options.sizeChoice < 0)
                return fail(QStringLiteral("--size must be one of %1, not %2")
                                .arg(SizeNames().join(QLatin1Char('|')), value));
        } else if (arg == QLatin1String("--frames-dir")) {
            options.framesDir = value;
        } else {
            options.gif = value;
        }
    }
    if (options.picture.isEmpty())
        return fail(QStringLiteral("no picture given"));
    if (!options.depth.isEmpty() && !options.depthGrey.isEmpty())
        return fail(QStringLiteral("give either --depth or --depth-grey, not both"));
    for (const QString& greyOnly :
         {QStringLiteral("--black-near"), QStringLiteral("--fixed-below")})
        if (seen.contains(greyOnly) && options.depthGrey.isEmpty())
            return fail(QStringLiteral("%1 needs --depth-grey").arg(greyOnly));
    if (options.framesDir.isEmpty() && options.gif.isEmpty())
        return fail(QStringLiteral("nothing to write: give --frames-dir DIR and/or -o OUT.gif"));
    result.options = std::move(options);
    return result;
}

// Lossless either way; light compression keeps writing the frames quick.
constexpr int PngQuality = 80;

// Writes frame-0.png ... frame-7.png, each through a temporary file so no half-written frame is
// left behind.
Result WriteFrames(const QString& dirPath, const std::vector<ImageHandle>& frames) {
    QDir dir(dirPath);
    if (!dir.mkpath(QStringLiteral(".")))
        return Result::Failure(QStringLiteral("cannot create the frames folder %1").arg(dirPath));
    // Compression is most of the time spent here; the frames are written on all cores.
    std::vector<Result> written(frames.size());
    std::atomic<size_t> next{0};
    const auto writeNext = [&] {
        for (size_t k = next.fetch_add(1); k < frames.size(); k = next.fetch_add(1)) {
            const QString path = dir.filePath(QStringLiteral("frame-%1.png").arg(k));
            QSaveFile file(path);
            if (!file.open(QIODevice::WriteOnly) ||
                !frames[k].image().save(&file, "PNG", PngQuality) || !file.commit())
                written[k] = Result::Failure(
                    QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (int i = 1; i < QThread::idealThreadCount(); ++i) {
            try {
                helpers.emplace_back(writeNext);
            } catch (const std::system_error&) {
                break; // fewer threads only means slower
            }
        }
        writeNext();
    }
    for (const Result& result : written)
        if (!result)
            return result;
    return Result::Success();
}

} // namespace

QString RenderUsage() {
    return QStringLiteral(
        "usage: kelvaro-render PICTURE [--depth MAP] [--sway horizontal|vertical] "
        "[--size full|2/3|1/2|1/3|1/4]\n"
        "                      [--frames-dir DIR] [-o OUT.gif]\n"
        "       kelvaro-render PICTURE --depth-grey MAP [--black-near] [--fixed-below T] ...\n"
        "\n"
        "Renders the eight frames of one sway cycle of PICTURE, raised and sunk by the depth map\n"
        "MAP (a file saved by the editor; without it the whole picture lies at the base level).\n"
        "  --depth MAP       depth map file, applied top-left to top-left, unscaled\n"
        "  --depth-grey MAP  grey depth image instead (white near, black far, 8 or 16 bits),\n"
        "                    scaled to the picture and snapped to levels 0 (white) .. 7 (black)\n"
        "  --black-near      with --depth-grey: black is near, white far\n"
        "  --fixed-below T   with --depth-grey: grey 0..T (255-T..255 with --black-near) is\n"
        "                    fixed in place\n"
        "  --sway DIR        horizontal (default) or vertical sway\n"
        "  --size SIZE       GIF size: full (default), 2/3, 1/2, 1/3 or 1/4 of the picture\n"
        "  --frames-dir DIR  write the full-size frames as DIR/frame-0.png ... frame-7.png\n"
        "  -o OUT.gif        write the animated GIF\n"
        "Exit status: 0 success, 1 failure, 2 wrong usage.\n");
}

int RunRender(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    const ParseResult parsed = ParseArguments(arguments);
    if (parsed.help) {
        out << RenderUsage();
        out.flush();
        return RenderExitOk;
    }
    const auto failWith = [&](int status, const QString& why) {
        err << "kelvaro-render: " << why
            << (status == RenderExitUsage ? QStringLiteral(" (see --help)") : QString()) << '\n';
        err.flush();
        return status;
    };
    if (!parsed.options)
        return failWith(RenderExitUsage, parsed.error);
    const RenderOptions& options = *parsed.options;

    LoadedPicture loaded = LoadPicture(options.picture);
    if (loaded.image.isNull())
        return failWith(RenderExitFailure, QStringLiteral("cannot open the picture %1: %2")
                                               .arg(options.picture, loaded.image.reason()));
    const int w = loaded.image.width();
    const int h = loaded.image.height();
    if (loaded.shrunk) {
        err << "kelvaro-render: the picture is larger than " << PictureSizeLimit << " x "
            << PictureSizeLimit << " pixels; it is shrunk to " << w << " x " << h << '\n';
        err.flush();
    }

    DepthMap depth;
    if (!depth.Create(w, h))
        return failWith(RenderExitFailure,
                        QStringLiteral("cannot make a depth map of %1 x %2").arg(w).arg(h));
    if (!options.depth.isEmpty()) {
        const DepthMapFileLoad read = LoadDepthMapFile(options.depth, depth);
        if (!read)
            return failWith(
                RenderExitFailure,
                QStringLiteral("cannot open the depth map %1: %2").arg(options.depth, read.reason));
        if (read.fileSize != QSize(w, h))
            err << "kelvaro-render: warning: the depth map " << options.depth << " is "
                << read.fileSize.width() << " x " << read.fileSize.height()
                << " pixels and the picture " << w << " x " << h
                << "; the map is applied top-left to top-left, unscaled\n";
        if (read.offPalettePixels > 0)
            err << "kelvaro-render: warning: " << read.offPalettePixels
                << " pixels of the depth map " << options.depth
                << " are no depth colours and count as level 0; for a grey depth image use "
                   "--depth-grey\n";
        err.flush();
    } else if (!options.depthGrey.isEmpty()) {
        if (const Result read = LoadGreyDepthFile(options.depthGrey, options.grey, depth); !read)
            return failWith(RenderExitFailure,
                            QStringLiteral("cannot open the grey depth map %1: %2")
                                .arg(options.depthGrey, read.reason));
    }

    std::vector<ImageHandle> frames = RenderSwayFrames(loaded.image, depth, options.direction);
    if (int(frames.size()) != FrameCount)
        return failWith(RenderExitFailure, QStringLiteral("rendering the frames failed"));

    if (!options.framesDir.isEmpty()) {
        if (const Result written = WriteFrames(options.framesDir, frames); !written)
            return failWith(RenderExitFailure, written.reason);
    }
    if (!options.gif.isEmpty()) {
        const QSize size = OutputSizeFor(options.sizeChoice, w, h);
        if (const Result written = WriteSwayGif(options.gif, std::move(frames), size); !written)
            return failWith(RenderExitFailure,
                            QStringLiteral("cannot write %1: %2").arg(options.gif, written.reason));
    }
    return RenderExitOk;
}

} // namespace kelvaro
