// Opening large photos as the editor and the command line do: wall time of LoadPicture (median
// of 3) on phone-sized JPEGs, a large PNG and a long panorama, and of a whole kelvaro-render run.
#include "files/PictureFile.h"

#include "Timing.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace kelvaro;

namespace {

// A photo-like picture: smooth gradients with fine detail, so the JPEG is of a realistic size.
QImage PhotoLike(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = qRgb((x * 255 / w + ((x * 7 + y * 13) & 15)) & 0xff, y * 255 / h,
                          ((x / 37) ^ (y / 29)) * 11 & 0xff);
    }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    struct Input {
        const char* name;
        QString file;
        int w, h;
        const char* format;
    };
    const std::vector<Input> inputs = {
        {"48 MP JPEG 8064 x 6048", dir.filePath(QStringLiteral("48mp.jpg")), 8064, 6048, "jpg"},
        {"12 MP JPEG 4032 x 3024", dir.filePath(QStringLiteral("12mp.jpg")), 4032, 3024, "jpg"},
        {"12 MP JPEG portrait 3024 x 4032", dir.filePath(QStringLiteral("12mp-p.jpg")), 3024, 4032,
         "jpg"},
        {"24 MP PNG 6000 x 4000", dir.filePath(QStringLiteral("24mp.png")), 6000, 4000, "png"},
        {"panorama PNG 17000 x 2", dir.filePath(QStringLiteral("pano.png")), 17000, 2, "png"},
    };
    for (const Input& in : inputs)
        if (!PhotoLike(in.w, in.h).save(in.file, in.format, 90)) {
            std::printf("cannot write %s\n", in.name);
            return 1;
        }

    for (const Input& in : inputs) {
        QString reason;
        QSize size;
        const double ms = MedianMs(3, [&] {
            const LoadedPicture loaded = LoadPicture(in.file);
            reason = loaded.image.reason();
            size = QSize(loaded.image.width(), loaded.image.height());
            return !loaded.image.isNull();
        });
        if (ms < 0)
            std::printf("LoadPicture %-32s fails: %s\n", in.name, qPrintable(reason));
        else
            std::printf("LoadPicture %-32s %8.1f ms -> %d x %d\n", in.name, ms, size.width(),
                        size.height());
    }
#ifdef KELVARO_RENDER_PATH
    // The whole command line: open, render the eight frames, reduce and write the GIF.
    const Input& big = inputs.front();
    const double ms = MedianMs(1, [&] {
        QProcess p;
        p.start(QStringLiteral(KELVARO_RENDER_PATH),
                {big.file, QStringLiteral("-o"), dir.filePath(QStringLiteral("out.gif"))});
        return p.waitForFinished(120000) && p.exitCode() == 0;
    });
    if (ms < 0)
        std::printf("kelvaro-render %-29s fails\n", big.name);
    else
        std::printf("kelvaro-render %-29s %8.1f ms (open, render, GIF)\n", big.name, ms);
#endif
    return 0;
}
