// Times the import of grey depth images onto a 640 x 640 map: the snapping alone (DepthFromGrey
// on a decoded image) and the whole import from a PNG file (decoding included), for 16-bit and
// 8-bit images of several kinds and a larger image that has to be scaled down first.
// Prints medians in milliseconds.

#include "depth/GreyDepth.h"
#include "files/PictureFile.h"

#include "Timing.h"

#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

using namespace kelvaro;

namespace {

constexpr int kSide = 640;
constexpr int kRuns = 15;

double MedianMs(const std::function<void()>& work) {
    return ::MedianMs(kRuns, [&] {
        work();
        return true;
    });
}

// What depth-estimation models write: smooth blobs over a ramp.
QImage SmoothDepth16(int w, int h) {
    QImage image(w, h, QImage::Format_Grayscale16);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<quint16*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const double v = 0.5 + 0.3 * std::sin(x * 0.02) * std::cos(y * 0.015) + 0.2 * y / h;
            row[x] = quint16(std::clamp(v, 0.0, 1.0) * 65535);
        }
    }
    return image;
}

// The worst case for the PNG decoder: every pixel random.
QImage Noise16(int w, int h) {
    QImage image(w, h, QImage::Format_Grayscale16);
    QRandomGenerator random(12);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<quint16*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = quint16(random.bounded(65536));
    }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    struct Input {
        const char* name;
        QImage image;
    };
    const std::vector<Input> inputs = {
        {"16-bit smooth 640x640", SmoothDepth16(kSide, kSide)},
        {"16-bit noise 640x640", Noise16(kSide, kSide)},
        {"8-bit smooth 640x640",
         SmoothDepth16(kSide, kSide).convertToFormat(QImage::Format_Grayscale8)},
        {"16-bit smooth 1280x1280 (scaled)", SmoothDepth16(2 * kSide, 2 * kSide)},
    };
    std::printf("grey depth import onto a %dx%d map, median of %d runs\n", kSide, kSide, kRuns);
    for (const Input& input : inputs) {
        const QString path = dir.filePath(QStringLiteral("%1.png").arg(&input - inputs.data()));
        if (!input.image.save(path))
            return 1;
        DepthMap map;
        if (!map.Create(kSide, kSide))
            return 1;
        const double snap = MedianMs([&] {
            const ImageHandle depth = DepthFromGrey(input.image, kSide, kSide, {});
            if (depth.isNull())
                std::exit(1);
        });
        const double file = MedianMs([&] {
            if (!LoadGreyDepthFile(path, {}, map))
                std::exit(1);
        });
        std::printf("  %-34s snapping %6.2f ms, from the PNG file %6.2f ms\n", input.name, snap,
                    file);
    }
    return 0;
}
