// From the end of a stroke to the preview holding the new frames: a short pen stroke on the
// document, timed from its release until the preview window's renderer has delivered the eight
// frames of the new state to the GUI thread. Then a stroke in progress: a pen moving every 4 ms,
// timed from each move until the preview paints a frame rendered from a map that holds it, with
// the live frames painted per second and the cost of a move with the preview open beside the
// same moves with it closed. Several pictures and maps, both directions; medians in
// milliseconds. Run with QT_QPA_PLATFORM=offscreen (make bench does).

#include "document/EditorDocument.h"
#include "editor/preview/PreviewWindow.h"

#include "Timing.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
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

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Calls `paint` after every paint of the watched widget.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(std::function<void()> paint) : paint_(std::move(paint)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint)
            return false;
        const bool handled = watched->event(event);
        paint_();
        return handled;
    }

private:
    std::function<void()> paint_;
};

struct Following {
    double latencyMedian = -1; // ms from a move to the paint of a frame that holds it
    double latencyMax = -1;
    double framesPerSecond = 0; // live frames painted per second of stroke
    double moveOpen = -1;       // median ms of one move with the preview open
    double moveOpenMax = -1;
    double moveClosed = -1; // the same moves with the preview closed
    double moveClosedMax = -1;
    double latency95 = -1; // 95th percentile
};

// A stroke of `moves` pen moves every 4 ms across the picture, with the preview open or closed.
// Returns the times of the moves themselves; with the preview open also fills the latencies and
// the painted frames.
std::vector<double> MovingPen(EditorDocument& doc, PreviewWindow& preview, int moves,
                              std::vector<double>* latencies, int* painted, double* seconds) {
    const int w = doc.size().width(), h = doc.size().height();
    std::vector<Clock::time_point> movedAt;
    std::vector<double> moveTimes;
    // How many moves each render started since took its snapshot after, oldest first: renders
    // run one at a time and, during a stroke, every one ends with a live frame.
    std::deque<int> snapshots;
    int shownMoves = 0, reported = 0;
    QMetaObject::Connection started, live;
    if (latencies) {
        started = QObject::connect(&preview.renderer(), &PreviewRenderer::started,
                                   [&] { snapshots.push_back(int(movedAt.size())); });
        live = QObject::connect(&preview.renderer(), &PreviewRenderer::liveFrameReady, [&] {
            if (!snapshots.empty()) {
                shownMoves = snapshots.front();
                snapshots.pop_front();
            }
        });
    }
    PaintWatch watch([&] {
        if (!latencies)
            return;
        ++*painted;
        const auto now = Clock::now();
        for (; reported < shownMoves; ++reported)
            latencies->push_back(Ms(now - movedAt[std::size_t(reported)]));
    });
    preview.installEventFilter(&watch);
    doc.setLevel(1);
    doc.setPenWidth(24);
    const auto t0 = Clock::now();
    doc.BeginStroke(QPoint(w / 8, h / 8));
    for (int i = 1; i <= moves; ++i) {
        const auto due = t0 + std::chrono::milliseconds(4 * i);
        // Idle until the move is due, as between the events of a real pen: a busy wait here
        // would take a core from the renderer.
        if (const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
            left.count() > 0) {
            QEventLoop wait;
            QTimer::singleShot(left, Qt::PreciseTimer, &wait, &QEventLoop::quit);
            wait.exec();
        }
        const QPoint at(w / 8 + (3 * w / 4) * i / moves,
                        h / 8 + int((3 * h / 4) * ((i * 7) % moves) / moves));
        const auto m0 = Clock::now();
        movedAt.push_back(m0);
        doc.ContinueStroke(at);
        moveTimes.push_back(Ms(Clock::now() - m0));
    }
    if (seconds)
        *seconds = Ms(Clock::now() - t0) / 1000;
    doc.EndStroke(QPoint(w / 2, h / 2));
    while (preview.renderer().isRendering())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    preview.removeEventFilter(&watch);
    QObject::disconnect(started);
    QObject::disconnect(live);
    return moveTimes;
}

Following StrokeInProgress(const QImage& picture, const QImage& map, SwayDirection direction,
                           const QTemporaryDir& dir) {
    Following result;
    EditorDocument doc;
    if (!doc.ReplacePicture(ImageHandle(picture)))
        return result;
    const QString mapPath = dir.filePath(QStringLiteral("map.bmp"));
    if (!map.save(mapPath) || !doc.LoadDepthMap(mapPath))
        return result;
    PreviewWindow preview(doc);
    preview.SetDirection(direction);
    preview.show();
    while (preview.renderer().isRendering() || preview.renderer().frames().empty())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    constexpr int kMoves = 250; // one second of pen
    std::vector<double> latencies, open, closed;
    int painted = 0;
    double seconds = 0;
    for (int run = 0; run < 3; ++run) {
        preview.show();
        while (preview.renderer().isRendering())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        // The live frames of this stroke are painted from the first one on.
        const std::vector<double> withPreview =
            MovingPen(doc, preview, kMoves, &latencies, &painted, &seconds);
        open.insert(open.end(), withPreview.begin(), withPreview.end());
        preview.hide();
        const std::vector<double> without =
            MovingPen(doc, preview, kMoves, nullptr, nullptr, nullptr);
        closed.insert(closed.end(), without.begin(), without.end());
    }
    if (latencies.empty())
        return result;
    result.latencyMedian = Median(latencies);
    result.latencyMax = *std::max_element(latencies.begin(), latencies.end());
    result.framesPerSecond = painted / (3 * seconds);
    result.moveOpen = Median(open);
    result.moveOpenMax = *std::max_element(open.begin(), open.end());
    result.moveClosed = Median(closed);
    result.moveClosedMax = *std::max_element(closed.begin(), closed.end());
    std::sort(latencies.begin(), latencies.end());
    result.latency95 = latencies[latencies.size() * 95 / 100];
    return result;
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
    std::printf("preview during a stroke, a move every 4 ms: move -> painted frame holding it "
                "(median, 95th percentile, max), live frames painted per second, one move with the "
                "preview open and closed (median, max)\n");
    for (const auto& in : inputs) {
        const Following f = StrokeInProgress(in.picture, in.map, in.direction, dir);
        if (f.latencyMedian < 0) {
            std::fprintf(stderr, "preview benchmark failed on %s\n", in.name);
            return 1;
        }
        std::printf("  %-36s %5.1f ms, 95%% %5.1f ms, max %5.1f ms; %5.1f frames/s; move %.3f ms, "
                    "max %.3f ms (closed %.3f ms, max %.3f ms)\n",
                    in.name, f.latencyMedian, f.latency95, f.latencyMax, f.framesPerSecond,
                    f.moveOpen, f.moveOpenMax, f.moveClosed, f.moveClosedMax);
    }
    return 0;
}
