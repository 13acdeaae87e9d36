// --max-bytes: the time of writing within a limit of half the default file's size against one
// plain write, per format, on the sample photo and two of scikit-image's at 640 x 480; medians of
// interleaved rounds, and the size reached.
//
// Usage: bench-sizelimit [ROUNDS]   (3 rounds when not given)
#include "encode/Encoder.h"
#include "files/PictureFile.h"
#include "gif/GifPipeline.h"

#include "Timing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdio>

using namespace kelvaro;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio=false"));
    bool numeric = true;
    const int rounds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt(&numeric) : 3;
    if (!numeric || rounds < 1 || argc > 2) {
        std::fprintf(stderr, "usage: bench-sizelimit [ROUNDS]\n");
        return 2;
    }
    const QString skimage = QStringLiteral("/usr/lib/python3/dist-packages/skimage/data/");
    const struct {
        const char* name;
        QString path;
        QString depth;
    } photos[] = {
        {"coffee", QStringLiteral(KELVARO_DATA_DIR "/coffee-640x480.jpg"),
         QStringLiteral(KELVARO_DATA_DIR "/coffee-depth.png")},
        {"astronaut", skimage + QStringLiteral("astronaut.png"), {}},
        {"chelsea", skimage + QStringLiteral("chelsea.png"), {}},
    };
    QTemporaryDir dir;
    std::printf("Writing within --max-bytes of half the default size against one plain write, "
                "640 x 480, medians of %d interleaved rounds\n\n",
                rounds);
    std::printf("%-10s %-5s %9s %9s %9s %9s %6s\n", "photo", "fmt", "plain B", "limited B",
                "plain ms", "limit ms", "x");
    for (const auto& photo : photos) {
        if (!QFileInfo::exists(photo.path)) {
            std::printf("%-10s missing %s (scripts/install-deps bench)\n", photo.name,
                        qPrintable(photo.path));
            continue;
        }
        LoadedPicture picture = LoadPicture(photo.path);
        ImageHandle image = std::move(picture.image);
        if (image.width() != 640 || image.height() != 480)
            ResizeImage(image, 640, 480);
        DepthMap depth;
        if (!depth.Create(image.width(), image.height()) ||
            (!photo.depth.isEmpty() && !LoadDepthMapFile(photo.depth, depth)))
            return 1;
        const std::vector<ImageHandle> frames =
            RenderSwayFrames(image, depth, SwayDirection::Horizontal);
        const QSize size(image.width(), image.height());
        for (const OutputFormat& format : OutputFormats()) {
            const QString plain = dir.filePath(QStringLiteral("plain") + format.extension);
            const QString limited = dir.filePath(QStringLiteral("limited") + format.extension);
            const auto write = [&](const QString& path, long long limit) {
                std::vector<ImageHandle> copy;
                for (const ImageHandle& frame : frames)
                    copy.emplace_back(QImage(frame.image()));
                EncodeOptions options;
                options.maxBytes = limit;
                QElapsedTimer timer;
                timer.start();
                if (!format.encoder.Write(path, std::move(copy), size, SwayFrameDelay, options, {}))
                    return -1.0;
                return double(timer.nsecsElapsed()) / 1e6;
            };
            if (write(plain, 0) < 0)
                return 1;
            const long long limit = QFileInfo(plain).size() / 2;
            std::vector<double> plainMs, limitMs;
            for (int r = 0; r < rounds; ++r) {
                plainMs.push_back(write(plain, 0));
                limitMs.push_back(write(limited, limit));
            }
            const double p = Median(plainMs), l = Median(limitMs);
            std::printf("%-10s %-5s %9lld %9lld %9.0f %9.0f %6.2f\n", photo.name,
                        qPrintable(format.name), QFileInfo(plain).size(), QFileInfo(limited).size(),
                        p, l, l / p);
        }
    }
    return 0;
}
