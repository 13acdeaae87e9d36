// Our path from eight rendered frames to a GIF, side by side with ImageMagick and ffmpeg on the
// same frames: wall time (median of 5), file size and mean PSNR of the decoded frames.
#include "files/PictureFile.h"
#include "gif/GifPipeline.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

using namespace kelvaro;

namespace {

double MedianMs(int runs, const std::function<bool()>& once) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        if (!once())
            return -1;
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Mean over the frames of the PSNR of each decoded GIF frame against its rendered frame.
double MeanPsnr(const QString& gif, const std::vector<ImageHandle>& rendered) {
    QImageReader reader(gif);
    double sum = 0;
    int frames = 0;
    QImage frame;
    while (frames < int(rendered.size()) && reader.read(&frame)) {
        const ImageHandle& ref = rendered[size_t(frames)];
        if (frame.size() != QSize(ref.width(), ref.height()))
            return -1;
        double se = 0;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x) {
                const QRgb a = frame.pixel(x, y);
                const COLORREF b = GetImagePixel(ref, x, y);
                const double dr = qRed(a) - RedOf(b), dg = qGreen(a) - GreenOf(b),
                             db = qBlue(a) - BlueOf(b);
                se += dr * dr + dg * dg + db * db;
            }
        const double mse = se / (3.0 * frame.width() * frame.height());
        sum += mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
        ++frames;
    }
    return frames == int(rendered.size()) ? sum / frames : -1;
}

std::vector<ImageHandle> Copies(const std::vector<ImageHandle>& frames) {
    std::vector<ImageHandle> out;
    for (const ImageHandle& f : frames)
        out.push_back(DuplicateImage(f));
    return out;
}

void Report(const char* name, double ms, const QString& gif,
            const std::vector<ImageHandle>& rendered) {
    if (ms < 0) {
        std::printf("%-34s failed or not installed\n", name);
        return;
    }
    std::printf("%-34s %9.1f ms %9lld bytes %7.2f dB\n", name, ms, QFileInfo(gif).size(),
                MeanPsnr(gif, rendered));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString data = QStringLiteral(KELVARO_DATA_DIR);
    const QString photo = data + QStringLiteral("/coffee-640x480.jpg");
    const QString depthFile = data + QStringLiteral("/coffee-depth.png");
    LoadedPicture picture = LoadPicture(photo);
    DepthMap depth;
    if (picture.image.isNull() || !depth.Create(picture.image.width(), picture.image.height()) ||
        !LoadDepthMapFile(depthFile, depth)) {
        std::fprintf(stderr, "bench-gif: cannot load the fixtures in %s\n", qPrintable(data));
        return 1;
    }
    const std::vector<ImageHandle> rendered =
        RenderSwayFrames(picture.image, depth, SwayDirection::Horizontal);
    if (rendered.size() != size_t(FrameCount)) {
        std::fprintf(stderr, "bench-gif: rendering gave %zu frames\n", rendered.size());
        return 1;
    }

    QTemporaryDir dir;
    for (int k = 0; k < FrameCount; ++k)
        rendered[size_t(k)].image().save(dir.filePath(QStringLiteral("frame-%1.png").arg(k)));
    const QSize full(picture.image.width(), picture.image.height());
    std::printf("GIF from 8 rendered %dx%d frames of %s (median of 5)\n", full.width(),
                full.height(), qPrintable(QFileInfo(photo).fileName()));

    const QString ours = dir.filePath(QStringLiteral("ours.gif"));
    Report("kelvaro (libimagequant + cgif)",
           MedianMs(5, [&] { return WriteSwayGif(ours, Copies(rendered), full).ok; }), ours,
           rendered);

    QStringList frames;
    for (int k = 0; k < FrameCount; ++k)
        frames << dir.filePath(QStringLiteral("frame-%1.png").arg(k));
    const QString magick = dir.filePath(QStringLiteral("magick.gif"));
    const double magickMs = MedianMs(5, [&] {
        return Run(QStringLiteral("/usr/bin/convert"),
                   QStringList{QStringLiteral("-delay"), QStringLiteral("6"),
                               QStringLiteral("-loop"), QStringLiteral("0")}
                       << frames << QStringLiteral("-layers") << QStringLiteral("optimize")
                       << magick);
    });
    Report("ImageMagick convert -layers optimize", magickMs, magick, rendered);

    const QString palette = dir.filePath(QStringLiteral("palette.png"));
    const QString ffmpeg = dir.filePath(QStringLiteral("ffmpeg.gif"));
    const QString input = dir.filePath(QStringLiteral("frame-%d.png"));
    const double ffmpegMs = MedianMs(5, [&] {
        return Run(QStringLiteral("ffmpeg"),
                   {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                    QStringLiteral("-i"), input, QStringLiteral("-vf"),
                    QStringLiteral("palettegen"), palette}) &&
               Run(QStringLiteral("ffmpeg"),
                   {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                    QStringLiteral("-framerate"), QStringLiteral("100/6"), QStringLiteral("-i"),
                    input, QStringLiteral("-i"), palette, QStringLiteral("-lavfi"),
                    QStringLiteral("paletteuse=dither=floyd_steinberg"), QStringLiteral("-loop"),
                    QStringLiteral("0"), ffmpeg});
    });
    Report("ffmpeg palettegen + paletteuse (FS)", ffmpegMs, ffmpeg, rendered);

    // The whole command, picture and depth map to GIF file.
    const QString render = QStringLiteral(KELVARO_RENDER_EXE);
    if (QFileInfo::exists(render)) {
        for (const char* size : {"full", "1/2"}) {
            const QString out = dir.filePath(QStringLiteral("render.gif"));
            const double ms = MedianMs(5, [&] {
                return Run(render,
                           {photo, QStringLiteral("--depth"), depthFile, QStringLiteral("--size"),
                            QString::fromLatin1(size), QStringLiteral("-o"), out});
            });
            std::printf("kelvaro-render -o out.gif --size %-4s %9.1f ms %9lld bytes\n", size, ms,
                        QFileInfo(out).size());
        }
    }
    return 0;
}
