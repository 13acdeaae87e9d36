// Replays one long pen stroke of width 32 over a 640 x 640 map, both views and faint colours on,
// and measures each mouse move as the editor handles it: the segment on the map, then the repaint
// of the segment's box into a window-sized offscreen image. Then the same stroke through the real
// editor window on the offscreen platform: its mouse-move handler and the repaint Qt runs for it.
// The window part runs twice, the second time with the live preview open. Prints medians in
// microseconds. Run with QT_QPA_PLATFORM=offscreen (make bench does).

#include "depth/Painting.h"
#include "editor/DepthPaintDlg.h"
#include "editor/QtPrompts.h"
#include "editor/canvas/CanvasDisplay.h"

#include "Timing.h"

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace kelvaro;

namespace {

constexpr int kSide = 640;
constexpr int kMoves = 2000;
constexpr int kRuns = 7;
constexpr int kWidth = 32;

// A looping path over the whole canvas, a few pixels a move as a quick hand drags.
std::vector<QPoint> StrokePath() {
    std::vector<QPoint> points;
    for (int i = 0; i <= kMoves; ++i) {
        const double t = i * 0.0125;
        points.emplace_back(int(320 + 300 * std::sin(t * 1.3)), int(320 + 300 * std::sin(t * 0.9)));
    }
    return points;
}

ImageHandle Photo() {
    QImage image(kSide, kSide, QImage::Format_RGB32);
    for (int y = 0; y < kSide; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kSide; ++x)
            row[x] = qRgb(x * 255 / kSide, y * 255 / kSide, (x ^ y) & 0xff);
    }
    return ImageHandle(image);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::vector<QPoint> path = StrokePath();
    const ImageHandle photo = Photo();
    std::vector<double> moves, segments, runMedians, fullRepaints;

    for (int run = 0; run < kRuns; ++run) {
        DepthMap map;
        if (!map.Create(kSide, kSide))
            return 1;
        QImage window(656, 712, QImage::Format_RGB32);
        window.fill(0xffd4d0c8);
        QRect paletteRect;
        const QRect raisedLabel(293, 14, 16, 16);
        CanvasState state;
        state.map = &map;
        state.picture = &photo;
        state.loaded = true;
        state.origin = QPoint(8, 64);
        state.mapSize = QSize(kSide, kSide);
        state.view = kViewDepth | kViewPicture;
        state.faint = true;
        {
            QPainter painter(&window);
            DrawPaletteBar(painter, raisedLabel, 2, paletteRect);
            DrawCanvas(painter, state, window.rect());
        }

        std::vector<double> runMoves;
        const COLORREF colour = StrokeColour(PaintTool::Pen, 2);
        for (int i = 1; i <= kMoves; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            DrawStrokeSegment(map, path[size_t(i - 1)], path[size_t(i)], kWidth, colour);
            const auto t1 = std::chrono::steady_clock::now();
            const QRect dirty =
                StrokeInvalidRect(path[size_t(i - 1)], path[size_t(i)], kWidth, state.origin);
            QPainter painter(&window);
            painter.setClipRect(dirty);
            DrawCanvas(painter, state, dirty);
            painter.end();
            const auto t2 = std::chrono::steady_clock::now();
            runMoves.push_back(std::chrono::duration<double, std::micro>(t2 - t0).count());
            segments.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        }
        // For comparison: one repaint of the whole canvas, as after undo, fill or a view switch.
        const auto f0 = std::chrono::steady_clock::now();
        {
            QPainter painter(&window);
            DrawCanvas(painter, state, state.canvasRect());
        }
        fullRepaints.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - f0)
                .count());
        runMedians.push_back(Median(runMoves));
        moves.insert(moves.end(), runMoves.begin(), runMoves.end());
    }

    std::sort(runMedians.begin(), runMedians.end());
    std::printf("stroke: %d moves of width %d over %dx%d, both views, faint, %d runs\n", kMoves,
                kWidth, kSide, kSide, kRuns);
    std::printf("  median per move (segment + repaint): %.1f us\n", Median(moves));
    std::printf("  run medians: %.1f .. %.1f us\n", runMedians.front(), runMedians.back());
    std::printf("  90th percentile per move: %.1f us\n", [&] {
        std::vector<double> v = moves;
        std::sort(v.begin(), v.end());
        return v[v.size() * 9 / 10];
    }());
    std::printf("  median segment alone: %.1f us\n", Median(segments));
    std::printf("  median whole-canvas repaint: %.1f us\n", Median(fullRepaints));

    // The real window: a 640 x 640 picture loaded, the stroke driven through its handlers, and
    // each move's repaint delivered before the next move.
    QTemporaryDir dir;
    const QString picturePath = dir.filePath(QStringLiteral("photo.png"));
    if (!photo.image().save(picturePath))
        return 1;
    QtPrompts prompts;
    CDepthPaintDlg editor(prompts);
    editor.show();
    if (!editor.LoadPicture(picturePath))
        return 1;
    editor.canvas().setFaint(true);
    editor.document().setLevel(2);
    QApplication::processEvents();
    const QPoint origin = editor.CanvasRect().topLeft();
    // Counts the paint events, to be sure every move was repainted before the next.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    editor.installEventFilter(&counter);
    editor.canvas().viewport()->installEventFilter(&counter); // the canvas paints itself
    // The same with the live preview open: it plays its frames meanwhile and renders the new
    // state after each stroke's release, while the next stroke is already moving.
    for (const bool previewOpen : {false, true}) {
        if (previewOpen) {
            editor.OnCommand(cmd::Preview);
            while (editor.preview().renderer().isRendering())
                QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        counter.paints = 0;
        std::vector<double> windowMoves;
        for (int run = 0; run < kRuns; ++run) {
            editor.OnLButtonDown(origin + path[0]);
            QApplication::processEvents();
            for (int i = 1; i <= kMoves; ++i) {
                const auto t0 = std::chrono::steady_clock::now();
                editor.OnMouseMove(origin + path[size_t(i)]);
                QApplication::processEvents();
                windowMoves.push_back(
                    std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0)
                        .count());
            }
            editor.OnLButtonUp(origin + path[size_t(kMoves)]);
            QApplication::processEvents();
        }
        std::printf(
            "  editor window%s, median per move (handler + Qt repaint): %.1f us, 90th "
            "percentile %.1f us (%d paints)\n",
            previewOpen ? " with the preview open" : "", Median(windowMoves),
            [&] {
                std::sort(windowMoves.begin(), windowMoves.end());
                return windowMoves[windowMoves.size() * 9 / 10];
            }(),
            counter.paints);
    }
    return 0;
}
