// From the end of a stroke to the preview holding the new frames: a short pen stroke on the
// document, timed from its release until the preview window's renderer has delivered the eight
// frames of the new state to the GUI thread. Several pictures and maps, both directions; medians
// in milliseconds. Run with QT_QPA_PLATFORM=offscreen (make bench does).

#include "document/EditorDocument.h"
#include "editor/preview/PreviewWindow.h"

#include "Timing.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

using namespace kelvaro;

namespace {

constexpr int kRuns = 21;

QImage Photo(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x ^ y) & 0xff));
    return image;
}

// Every level in small irregular patches: the level changes every few pixels along any row.
QImage BusyMap(int w, int h) {
    std::mt19937 random(7);
    QImage map(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int level = int((x / 5 + y / 7 + (x * y) / 97 + random() % 2) % kLevelCount);
            map.setPixel(x, y, ArgbFromColorref(DepthPalette[size_t(level)]));
        }
    return map;
}

QImage PlainMap(int w, int h) {
    QImage map(w, h, QImage::Format_RGB32);
    map.fill(ArgbFromColorref(DepthPalette[BaseLevel]));
    return map;
}

// Median milliseconds from a stroke's release to the new frames, for one picture and map.
double EndOfStrokeToFrames(const QImage& picture, const QImage& map, SwayDirection direction,
                           const QTemporaryDir& dir) {
    EditorDocument doc;
    if (!doc.ReplacePicture(ImageHandle(picture)))
        return -1;
    const QString mapPath = dir.filePath(QStringLiteral("map.bmp"));
    if (!map.save(mapPath) || !doc.LoadDepthMap(mapPath))
        return -1;
    PreviewWindow preview(doc);
    preview.SetDirection(direction);
    preview.show();
    const auto settle = [&] {
        while (preview.renderer().isRendering())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    settle();
    std::vector<double> times;
    const int w = picture.width(), h = picture.height();
    for (int run = 0; run < kRuns; ++run) {
        doc.setLevel(run % kLevelCount);
        doc.BeginStroke(QPoint(w / 4 + run * 7, h / 4));
        doc.ContinueStroke(QPoint(w / 2, h / 2 + run * 5));
        const auto t0 = std::chrono::steady_clock::now();
        doc.EndStroke(QPoint(3 * w / 4 - run * 3, 3 * h / 4));
        settle();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    return Median(times);
}

// The frame synthesis alone, on the calling thread, for comparison.
double RenderAlone(const QImage& picture, const QImage& map, SwayDirection direction) {
    const ImageHandle handle(picture);
    DepthMap depth;
    depth.surface() = map;
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        const std::vector<ImageHandle> frames = RenderSwayFrames(handle, depth, direction);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
        if (frames.size() != FrameCount)
            return -1;
    }
    return Median(times);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QImage coffee(QStringLiteral(KELVARO_DATA_DIR "/coffee-640x480.jpg"));
    const QImage coffeeDepth(QStringLiteral(KELVARO_DATA_DIR "/coffee-depth.png"));
    const struct {
        const char* name;
        QImage picture, map;
        SwayDirection direction;
    } inputs[] = {
        {"640x640 busy map, horizontal", Photo(640, 640), BusyMap(640, 640),
         SwayDirection::Horizontal},
        {"640x640 busy map, vertical", Photo(640, 640), BusyMap(640, 640), SwayDirection::Vertical},
        {"640x640 plain map, horizontal", Photo(640, 640), PlainMap(640, 640),
         SwayDirection::Horizontal},
        {"coffee photo 640x480 with its map", coffee.convertToFormat(QImage::Format_RGB32),
         coffeeDepth.convertToFormat(QImage::Format_RGB32), SwayDirection::Horizontal},
        {"320x240 busy map, horizontal", Photo(320, 240), BusyMap(320, 240),
         SwayDirection::Horizontal},
    };
    std::printf("preview: end of stroke -> new frames held by the preview, median of %d\n", kRuns);
    for (const auto& in : inputs) {
        const double total = EndOfStrokeToFrames(in.picture, in.map, in.direction, dir);
        const double alone = RenderAlone(in.picture, in.map, in.direction);
        if (total < 0 || alone < 0) {
            std::fprintf(stderr, "preview benchmark failed on %s\n", in.name);
            return 1;
        }
        std::printf("  %-36s %6.1f ms  (frame synthesis alone %5.1f ms)\n", in.name, total, alone);
    }
    return 0;
}
