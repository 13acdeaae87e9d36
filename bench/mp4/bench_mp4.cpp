// MP4 against GIF from the same rendered frames, in-process: the time of each encoder's Write (the
// MP4 a 3 s video of the repeated cycle), medians of interleaved rounds, and the file sizes.
//
// Usage: bench-mp4 [ROUNDS]   (5 rounds when not given)
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

namespace {

struct Photo {
    const char* name;
    QString path;
    QString depth;
};

std::vector<Photo> Photos() {
    const QString skimage = QStringLiteral("/usr/lib/python3/dist-packages/skimage/data/");
    const QString data = QStringLiteral(KELVARO_DATA_DIR "/");
    return {
        {"coffee", data + QStringLiteral("coffee-640x480.jpg"),
         data + QStringLiteral("coffee-depth.png")},
        {"astronaut", skimage + QStringLiteral("astronaut.png"), {}},
        {"chelsea", skimage + QStringLiteral("chelsea.png"), {}},
    };
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio=false"));
    bool numeric = true;
    const int rounds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt(&numeric) : 5;
    if (!numeric || rounds < 1 || argc > 2) {
        std::fprintf(stderr, "usage: bench-mp4 [ROUNDS]\n");
        return 2;
    }
    QTemporaryDir dir;
    std::printf(
        "MP4 (H.264, CRF 18, the cycle repeated to 3 s) against GIF of the same 8 frames at "
        "640 x 480;\nin-process encoder time, medians of %d interleaved rounds\n\n",
        rounds);
    std::printf("%-10s %9s %8s %8s %6s | %9s %9s\n", "photo", "size", "GIF ms", "MP4 ms", "x",
                "GIF B", "MP4 B");
    for (const Photo& photo : Photos()) {
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
        if (!depth.Create(image.width(), image.height()))
            return 1;
        if (!photo.depth.isEmpty() && !LoadDepthMapFile(photo.depth, depth))
            return 1;
        const std::vector<ImageHandle> frames =
            RenderSwayFrames(image, depth, SwayDirection::Horizontal);
        const QSize size(image.width(), image.height());
        const QString gif = dir.filePath(QStringLiteral("out.gif"));
        const QString mp4 = dir.filePath(QStringLiteral("out.mp4"));
        std::vector<double> gifMs, mp4Ms;
        for (int r = 0; r < rounds; ++r) {
            for (const bool video : {false, true}) {
                std::vector<ImageHandle> copy;
                for (const ImageHandle& frame : frames)
                    copy.emplace_back(QImage(frame.image()));
                QElapsedTimer timer;
                timer.start();
                const Encoder& encoder = video ? Mp4FileEncoder() : GifFileEncoder();
                if (!encoder.Write(video ? mp4 : gif, std::move(copy), size, SwayFrameDelay, {},
                                   {}))
                    return 1;
                (video ? mp4Ms : gifMs).push_back(double(timer.nsecsElapsed()) / 1e6);
            }
        }
        const double g = Median(gifMs), m = Median(mp4Ms);
        std::printf("%-10s %4d x %3d %8.0f %8.0f %6.2f | %9lld %9lld\n", photo.name, size.width(),
                    size.height(), g, m, m / g, QFileInfo(gif).size(), QFileInfo(mp4).size());
    }
    return 0;
}
