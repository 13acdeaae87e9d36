// Picture and depth map to GIF with kelvaro-render -o, side by side with ImageMagick and ffmpeg
// turning the same eight rendered frames into a GIF, on photos of different character: wall time
// (median of interleaved rounds, on a quiet machine and with one core kept busy), file size, mean
// PSNR of the decoded frames against the rendered ones, and the peak memory of kelvaro-render.
//
// Then, per photo, where the time of one run goes (in-process medians): loading the picture and
// the map, synthesis, colour reduction, writing.
//
// Usage: bench-gif [ROUNDS] [--unseen] [--against OTHER-KELVARO-RENDER]   (5 rounds when not
// given; --unseen: the photos the GIF settings were not chosen on)
// With --against, ours is timed side by side with another build of kelvaro-render instead (time,
// bytes and PSNR of both), for before/after figures of a change.
#include "encode/GifEncoder.h"
#include "files/PictureFile.h"
#include "gif/GifPipeline.h"

#include "FramePsnr.h"
#include "PeerGif.h"
#include "Timing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

using namespace kelvaro;

namespace {

struct Photo {
    const char* name;
    const char* character;
    QString path;
    QString depth; // empty: a depth map is made from the picture
};

// scikit-image's sample photos (Debian package python3-skimage) and the test photo with its
// painted depth map; with `unseen`, photos the GIF settings were not chosen on (scikit-image's
// and matplotlib's, Debian package python3-matplotlib).
std::vector<Photo> Photos(bool unseen) {
    const QString skimage = QStringLiteral("/usr/lib/python3/dist-packages/skimage/data/");
    const QString data = QStringLiteral(KELVARO_DATA_DIR "/");
    if (unseen)
        return {
            {"ihc", "microscopy stain", skimage + QStringLiteral("ihc.png"), {}},
            {"hopper",
             "grainy portrait",
             QStringLiteral("/usr/share/matplotlib/mpl-data/sample_data/grace_hopper.jpg"),
             {}},
            {"gravel", "grey texture", skimage + QStringLiteral("gravel.png"), {}},
            {"camera", "grey, flat sky", skimage + QStringLiteral("camera.png"), {}},
            {"color", "flat colours", skimage + QStringLiteral("color.png"), {}},
            {"coffee600", "the source photo", skimage + QStringLiteral("coffee.png"), {}},
        };
    return {
        {"coffee", "painted depth map", data + QStringLiteral("coffee-640x480.jpg"),
         data + QStringLiteral("coffee-depth.png")},
        {"astronaut", "face", skimage + QStringLiteral("astronaut.png"), {}},
        {"rocket", "smooth sky", skimage + QStringLiteral("rocket.jpg"), {}},
        {"hubble", "noisy astronomy", skimage + QStringLiteral("hubble_deep_field.jpg"), {}},
        {"motorcycle", "fine detail", skimage + QStringLiteral("motorcycle_left.png"), {}},
        {"chelsea", "small, fur", skimage + QStringLiteral("chelsea.png"), {}},
    };
}

// A depth map in all nine levels made from the picture: broad bright areas raised, a centred
// ellipse raised further, the top-left corner fixed.
DepthMap MadeDepthMap(const QImage& picture) {
    const int w = picture.width(), h = picture.height();
    DepthMap depth;
    if (!depth.Create(w, h))
        return depth;
    const QImage coarse =
        picture.scaled(24, std::max(1, 24 * h / w), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int level = BaseLevel - qGray(coarse.pixel(x, y)) * 8 / 256;
            const double ex = (x - w / 2.0) / (w / 3.0), ey = (y - h / 2.0) / (h / 3.0);
            if (ex * ex + ey * ey < 1)
                level = std::max(0, level - 2);
            if (x < w / 6 && y < h / 6)
                level = FixedLevel;
            depth.surface().setPixel(x, y, ArgbFromColorref(DepthPalette[size_t(level)]));
        }
    return depth;
}

// Runs the program to its end; what it prints (notices of shrunk pictures, libpng warnings) is
// dropped so that the table stays readable, failures show as missing figures.
bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct Timings {
    std::vector<double> ours, magick, ffmpeg;
};

double Slowest(const std::vector<double>& ms) {
    return ms.empty() ? -1 : *std::max_element(ms.begin(), ms.end());
}

// Runs of the three tools, one of each per round, so that a change in the machine's load falls on
// all of them alike.
Timings TimeRounds(int rounds, const std::vector<std::function<bool()>>& tools) {
    Timings t;
    std::vector<double>* lists[] = {&t.ours, &t.magick, &t.ffmpeg};
    for (int r = 0; r < rounds; ++r)
        for (size_t i = 0; i < tools.size(); ++i) {
            QElapsedTimer timer;
            timer.start();
            if (tools[i]())
                lists[i]->push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    return t;
}

// Peak resident memory of one run of the command, in MB; -1 without /usr/bin/time.
double PeakMemoryMb(const QString& program, const QStringList& args, const QString& report) {
    if (!Run(QStringLiteral("/usr/bin/time"),
             QStringList{QStringLiteral("-f"), QStringLiteral("%M"), QStringLiteral("-o"), report,
                         program}
                 << args))
        return -1;
    QFile file(report);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const double kb = file.readAll().trimmed().toDouble(&ok);
    return ok ? kb / 1024.0 : -1;
}

// Keeps one core busy until destroyed.
class BusyCore {
public:
    BusyCore() {
        loop_.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
        loop_.waitForStarted();
    }
    ~BusyCore() {
        loop_.kill();
        loop_.waitForFinished();
    }

private:
    QProcess loop_;
};

// One run's stages in-process, as kelvaro-render -o does them at full size: medians in ms of
// loading (picture and map file), synthesis, colour reduction and writing.
struct Stages {
    double load = -1, synthesis = -1, reduction = -1, writing = -1;
};

Stages TimeStages(int rounds, const QString& picturePath, const QString& depthFile,
                  const QString& output) {
    std::vector<double> load, synthesis, reduction, writing;
    const auto since = [](QElapsedTimer& timer) {
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        timer.restart();
        return ms;
    };
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        const LoadedPicture picture = LoadPicture(picturePath);
        DepthMap depth;
        if (picture.image.isNull() ||
            !depth.Create(picture.image.width(), picture.image.height()) ||
            !LoadDepthMapFile(depthFile, depth))
            return {};
        load.push_back(since(timer));
        std::vector<ImageHandle> frames =
            RenderSwayFrames(picture.image, depth, SwayDirection::Horizontal);
        synthesis.push_back(since(timer));
        if (!ReduceFrameColors(frames))
            return {};
        reduction.push_back(since(timer));
        if (!WriteAnimatedGif(output, frames, int(frames.size()), SwayFrameDelay))
            return {};
        writing.push_back(since(timer));
    }
    return {Median(load), Median(synthesis), Median(reduction), Median(writing)};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // libpng's notes on the sample photos' colour profiles would break up the table.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio=false"));
    QStringList args = app.arguments().mid(1);
    QString against;
    bool usable = true;
    const bool unseen = args.removeAll(QStringLiteral("--unseen")) > 0;
    if (const qsizetype at = args.indexOf(QStringLiteral("--against")); at >= 0) {
        against = args.value(at + 1);
        usable = !against.isEmpty() && !against.startsWith(QLatin1Char('-'));
        args.remove(at, std::min<qsizetype>(2, args.size() - at));
    }
    bool numeric = true;
    const int rounds = args.isEmpty() ? 5 : args.front().toInt(&numeric);
    if (!usable || !numeric || rounds < 1 || args.size() > 1) {
        std::fprintf(stderr,
                     "usage: bench-gif [ROUNDS] [--unseen] [--against OTHER-KELVARO-RENDER]\n");
        return 2;
    }
    const QString render = QStringLiteral(KELVARO_RENDER_EXE);
    for (const QString& program : {render, against})
        if (!program.isEmpty() && !QFileInfo::exists(program)) {
            std::fprintf(stderr, "bench-gif: %s is not built\n", qPrintable(program));
            return 1;
        }
    QTemporaryDir dir;

    if (against.isEmpty()) {
        std::printf(
            "GIF of 8 sway frames, full size: kelvaro-render -o (picture and depth map to GIF)"
            "\nagainst ImageMagick convert -layers optimize and ffmpeg palettegen + paletteuse"
            " (Floyd-Steinberg)\non the same rendered frames; medians of %d interleaved "
            "rounds; busy = one core kept busy\n\n",
            rounds);
        std::printf("%-10s %-9s %8s %8s %8s %5s | %8s %8s %5s | %9s %9s %5s | %6s %6s | %6s "
                    "%6s\n",
                    "photo", "size", "ours ms", "IM ms", "ff ms", "xIM", "busy ms", "busy IM",
                    "xIM", "bytes", "ff bytes", "ratio", "dB", "ff dB", "max/md", "MB");
    } else {
        std::printf("kelvaro-render -o, this build (ours) against %s (base), medians of %d "
                    "interleaved rounds; busy = one core kept busy\n\n",
                    qPrintable(against), rounds);
        std::printf("%-10s %-9s %8s %8s %5s | %8s %8s %5s | %9s %9s | %6s %6s\n", "photo", "size",
                    "ours ms", "base ms", "x", "busy ms", "busy bs", "x", "bytes", "base B", "dB",
                    "base dB");
    }
    struct StageRow {
        const char* name;
        Stages stages;
        double endToEnd;
    };
    std::vector<StageRow> stageRows;
    for (const Photo& photo : Photos(unseen)) {
        if (!QFileInfo::exists(photo.path)) {
            std::printf("%-10s missing %s (scripts/install-deps bench)\n", photo.name,
                        qPrintable(photo.path));
            continue;
        }
        const LoadedPicture picture = LoadPicture(photo.path);
        const int w = picture.image.width(), h = picture.image.height();
        DepthMap depth;
        if (photo.depth.isEmpty())
            depth = MadeDepthMap(picture.image.image());
        else if (!depth.Create(w, h) || !LoadDepthMapFile(photo.depth, depth))
            depth.Release();
        const QString depthFile = dir.filePath(QStringLiteral("%1-depth.bmp").arg(photo.name));
        if (picture.image.isNull() || !depth.exists() || !SaveDepthMapFile(depthFile, depth)) {
            std::printf("%-10s cannot be prepared\n", photo.name);
            continue;
        }
        const std::vector<ImageHandle> rendered =
            RenderSwayFrames(picture.image, depth, SwayDirection::Horizontal);
        QStringList frames;
        for (int k = 0; k < int(rendered.size()); ++k) {
            frames << dir.filePath(QStringLiteral("%1-frame-%2.png").arg(photo.name).arg(k));
            rendered[size_t(k)].image().save(frames.back());
        }

        const QString ours = dir.filePath(QStringLiteral("ours.gif"));
        const QStringList renderArgs = {photo.path, QStringLiteral("--depth"), depthFile,
                                        QStringLiteral("-o"), ours};
        if (!against.isEmpty()) {
            const QString base = dir.filePath(QStringLiteral("base.gif"));
            const QStringList baseArgs = {photo.path, QStringLiteral("--depth"), depthFile,
                                          QStringLiteral("-o"), base};
            const std::vector<std::function<bool()>> tools = {
                [&] { return Run(render, renderArgs); },
                [&] {
                    return Run(against, baseArgs);
                }};
            const Timings quiet = TimeRounds(rounds, tools);
            Timings busy;
            {
                const BusyCore loop;
                busy = TimeRounds(rounds, tools);
            }
            const double oursMs = Median(quiet.ours), baseMs = Median(quiet.magick);
            const double busyMs = Median(busy.ours), busyBaseMs = Median(busy.magick);
            std::printf("%-10s %4dx%-4d %8.0f %8.0f %5.2f | %8.0f %8.0f %5.2f | %9lld %9lld | "
                        "%6.2f %6.2f\n",
                        photo.name, w, h, oursMs, baseMs, baseMs / oursMs, busyMs, busyBaseMs,
                        busyBaseMs / busyMs, QFileInfo(ours).size(), QFileInfo(base).size(),
                        MeanPsnr(ours, rendered), MeanPsnr(base, rendered));
            std::fflush(stdout);
            continue;
        }

        const QString magick = dir.filePath(QStringLiteral("magick.gif"));
        const QString palette = dir.filePath(QStringLiteral("palette.png"));
        const QString ffmpeg = dir.filePath(QStringLiteral("ffmpeg.gif"));
        const QString input = dir.filePath(QStringLiteral("%1-frame-%d.png").arg(photo.name));
        const std::vector<std::function<bool()>> tools = {
            [&] { return Run(render, renderArgs); },
            [&] {
                return Run(QStringLiteral("convert"),
                           QStringList{QStringLiteral("-delay"), QStringLiteral("6"),
                                       QStringLiteral("-loop"), QStringLiteral("0")}
                               << frames << QStringLiteral("-layers") << QStringLiteral("optimize")
                               << magick);
            },
            [&] { return WriteFfmpegGif(input, SwayFrameDelay, palette, ffmpeg); },
        };
        const Timings quiet = TimeRounds(rounds, tools);
        Timings busy;
        {
            const BusyCore loop;
            busy = TimeRounds(rounds, {tools[0], tools[1]});
        }
        const double memory =
            PeakMemoryMb(render, renderArgs, dir.filePath(QStringLiteral("memory.txt")));

        const double oursMs = Median(quiet.ours), magickMs = Median(quiet.magick);
        const double busyMs = Median(busy.ours), busyMagickMs = Median(busy.magick);
        const qint64 bytes = QFileInfo(ours).size(), ffmpegBytes = QFileInfo(ffmpeg).size();
        std::printf(
            "%-10s %4dx%-4d %8.0f %8.0f %8.0f %5.2f | %8.0f %8.0f %5.2f | %9lld %9lld %5.3f "
            "| %6.2f %6.2f | %6.2f %6.1f\n",
            photo.name, w, h, oursMs, magickMs, Median(quiet.ffmpeg), magickMs / oursMs, busyMs,
            busyMagickMs, busyMagickMs / busyMs, bytes, ffmpegBytes,
            double(bytes) / double(ffmpegBytes), MeanPsnr(ours, rendered),
            MeanPsnr(ffmpeg, rendered), Slowest(busy.ours) / busyMs, memory);
        std::fflush(stdout);
        stageRows.push_back(
            {photo.name,
             TimeStages(rounds, photo.path, depthFile, dir.filePath(QStringLiteral("stages.gif"))),
             oursMs});
    }
    if (!against.isEmpty())
        return 0;
    std::printf("\nxIM: ImageMagick's time over ours; ratio: our bytes over ffmpeg's; max/md: "
                "slowest busy run of ours over its median; MB: peak memory of kelvaro-render\n");

    std::printf("\nWhere one run's time goes, in-process medians of %d rounds (ms); e2e is "
                "the end-to-end median above, which adds starting the program\n",
                rounds);
    std::printf("%-10s %8s %8s %8s %8s %8s | %8s\n", "photo", "load", "synth", "reduce", "write",
                "sum", "e2e");
    for (const StageRow& row : stageRows) {
        const Stages& s = row.stages;
        std::printf("%-10s %8.1f %8.1f %8.1f %8.1f %8.1f | %8.0f\n", row.name, s.load, s.synthesis,
                    s.reduction, s.writing, s.load + s.synthesis + s.reduction + s.writing,
                    row.endToEnd);
    }
    return 0;
}
