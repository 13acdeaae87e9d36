// kelvaro-render on a batch: twenty 640 x 480 pictures with their depth maps, wall time with -j 1
// and -j 2 (median of 3) and per picture; then WebP (lossy q90, lossless) against GIF on the
// same frames of every picture: bytes and mean PSNR of the decoded frames.
#include "files/PictureFile.h"
#include "gif/GifPipeline.h"

#include "FramePsnr.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

using namespace kelvaro;

namespace {

constexpr int Pictures = 20;
constexpr int W = 640, H = 480;

// Twenty different pictures: the sample photo shifted, mirrored and recoloured, and synthetic
// scenes with gradients, grain and shapes, so that both easy and hard content is timed.
QImage Picture(const QImage& photo, int i) {
    QImage picture(W, H, QImage::Format_RGB32);
    if (i % 2 == 0) {
        QPainter p(&picture);
        const QImage source = (i % 4 == 0) ? photo : photo.mirrored(true, false);
        p.drawImage(QRect(0, 0, W, H), source,
                    QRect(i * 7 % 60, i * 5 % 40, photo.width() - 60, photo.height() - 40));
        p.end();
        if (i % 3 == 0)
            picture = picture.convertToFormat(QImage::Format_Grayscale8)
                          .convertToFormat(QImage::Format_RGB32);
        return picture;
    }
    std::mt19937 random{unsigned(i)};
    std::uniform_int_distribution<int> grain(-(i % 5) * 6, (i % 5) * 6);
    for (int y = 0; y < H; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < W; ++x) {
            const int n = grain(random);
            line[x] = qRgb(std::clamp((x * (i + 3)) / 10 % 256 + n, 0, 255),
                           std::clamp(y * 255 / H + n, 0, 255),
                           std::clamp(((x / (8 + i)) ^ (y / (8 + i))) * 37 % 256 + n, 0, 255));
        }
    }
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor::fromHsv(i * 17 % 360, 200, 230));
    p.drawEllipse(QPoint(W / 2 + i * 9 % 200 - 100, H / 2), 120, 90);
    return picture;
}

// Its map: the sample map for the photo variants, painted levels for the others.
QImage Map(const QImage& sampleMap, int i) {
    if (i % 2 == 0)
        return sampleMap.scaled(W, H);
    QImage map(W, H, QImage::Format_RGB32);
    map.fill(ArgbFromColorref(DepthPalette[BaseLevel]));
    QPainter p(&map);
    p.setPen(Qt::NoPen);
    for (int k = 0; k < 6; ++k) {
        p.setBrush(QColor(ArgbFromColorref(DepthPalette[(i + k) % 9])));
        p.drawEllipse(QPoint((k * 131 + i * 29) % W, (k * 97 + i * 41) % H), 40 + k * 12,
                      30 + k * 10);
    }
    return map;
}

bool RunRender(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(KELVARO_RENDER_PATH), arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

std::vector<ImageHandle> Copies(const std::vector<ImageHandle>& frames) {
    std::vector<ImageHandle> out;
    for (const ImageHandle& f : frames)
        out.push_back(DuplicateImage(f));
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString data = QStringLiteral(KELVARO_DATA_DIR);
    const QImage photo(data + QStringLiteral("/coffee-640x480.jpg"));
    const QImage sampleMap(data + QStringLiteral("/coffee-depth.png"));
    QTemporaryDir dir;
    if (photo.isNull() || sampleMap.isNull() || !dir.isValid() ||
        !QDir(dir.path()).mkpath(QStringLiteral("maps"))) {
        std::fprintf(stderr, "bench-render: cannot prepare the pictures\n");
        return 1;
    }
    QStringList pictures;
    for (int i = 0; i < Pictures; ++i) {
        const QString name = QStringLiteral("picture-%1").arg(i, 2, 10, QLatin1Char('0'));
        const QString file =
            dir.filePath(name + (i % 2 ? QStringLiteral(".png") : QStringLiteral(".jpg")));
        if (!Picture(photo, i).save(file, nullptr, 92) ||
            !Map(sampleMap, i)
                 .save(dir.filePath(QStringLiteral("maps/") + name + QStringLiteral(".png")))) {
            std::fprintf(stderr, "bench-render: cannot write %s\n", qPrintable(file));
            return 1;
        }
        pictures << file;
    }

    std::printf("kelvaro-render on %d pictures of %d x %d with depth maps (--depth-dir), GIF "
                "out, median of 3; %d cores\n",
                Pictures, W, H, QThread::idealThreadCount());
    for (const char* jobs : {"1", "2"}) {
        std::vector<double> seconds;
        for (int run = 0; run < 3; ++run) {
            QDir(dir.filePath(QStringLiteral("out"))).removeRecursively();
            QElapsedTimer timer;
            timer.start();
            if (!RunRender(QStringList(pictures)
                           << QStringLiteral("--depth-dir") << dir.filePath(QStringLiteral("maps"))
                           << QStringLiteral("--out-dir") << dir.filePath(QStringLiteral("out"))
                           << QStringLiteral("-j") << QString::fromLatin1(jobs))) {
                std::fprintf(stderr, "bench-render: the run with -j %s failed\n", jobs);
                return 1;
            }
            seconds.push_back(double(timer.nsecsElapsed()) / 1e9);
        }
        std::sort(seconds.begin(), seconds.end());
        std::printf("  -j %s  %7.2f s wall  %7.1f ms a picture\n", jobs, seconds[1],
                    seconds[1] * 1000 / Pictures);
    }

    std::printf("\nWebP against GIF on the same full-size frames of the %d pictures (totals, "
                "mean PSNR over all frames)\n",
                Pictures);
    struct Format {
        const char* name;
        AnimationOptions options;
        qint64 bytes = 0;
        double psnr = 0;
    };
    std::vector<Format> formats = {
        {"GIF (libimagequant + cgif)", {AnimationFormat::Gif, {}, {}}},
        {"WebP lossy, quality 90", {AnimationFormat::Webp, {false, 90}, {}}},
        {"WebP lossless", {AnimationFormat::Webp, {true, 90}, {}}},
    };
    for (int i = 0; i < Pictures; ++i) {
        LoadedPicture picture = LoadPicture(pictures[i]);
        DepthMap depth;
        if (picture.image.isNull() || !depth.Create(W, H) ||
            !LoadDepthMapFile(dir.filePath(QStringLiteral("maps/") +
                                           QFileInfo(pictures[i]).completeBaseName() +
                                           QStringLiteral(".png")),
                              depth))
            return 1;
        const auto rendered = RenderSwayFrames(picture.image, depth, SwayDirection::Horizontal);
        for (Format& format : formats) {
            const QString out = dir.filePath(format.options.format == AnimationFormat::Gif
                                                 ? QStringLiteral("x.gif")
                                                 : QStringLiteral("x.webp"));
            if (!WriteSwayAnimation(out, Copies(rendered), QSize(W, H), format.options)) {
                std::fprintf(stderr, "bench-render: writing %s failed\n", format.name);
                return 1;
            }
            format.bytes += QFileInfo(out).size();
            format.psnr += MeanPsnr(out, rendered) / Pictures;
        }
    }
    for (const Format& format : formats)
        std::printf("  %-28s %10lld bytes  %7.2f dB\n", format.name, format.bytes, format.psnr);
    return 0;
}
