// The zoomed canvas in the real editor window on the offscreen platform, 640 x 640 picture, both
// views on: a pen stroke of width 32 at 800 %, each move through the canvas's mouse handler and
// the repaint Qt runs for it (the same at 100 % for comparison); then zoom steps in and out
// through every level, each timed from the command to its next frame painted. Prints medians in
// microseconds. Run with QT_QPA_PLATFORM=offscreen (make bench does).

#include "editor/DepthPaintDlg.h"
#include "editor/QtPrompts.h"

#include "Timing.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace kelvaro;

namespace {

constexpr int kSide = 640;
constexpr int kMoves = 1500;
constexpr int kRuns = 5;
constexpr int k800 = 9; // index of 800 % in kZoomLevels

double Micros(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - since)
        .count();
}

double Percentile90(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() * 9 / 10];
}

// Counts the paint events of a widget.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

QImage Photo() {
    QImage image(kSide, kSide, QImage::Format_RGB32);
    for (int y = 0; y < kSide; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kSide; ++x)
            row[x] = qRgb(x * 255 / kSide, y * 255 / kSide, (x ^ y) & 0xff);
    }
    return image;
}

// A stroke through the viewport's middle: a loop of about `step` screen pixels a move.
std::vector<QPoint> Path(QSize viewport, double step) {
    std::vector<QPoint> points;
    const QPointF c(viewport.width() / 2.0, viewport.height() / 2.0);
    const double r = std::min(viewport.width(), viewport.height()) * 0.4;
    for (int i = 0; i <= kMoves; ++i) {
        const double t = i * step / r;
        points.emplace_back(int(c.x() + r * std::sin(t * 1.3)), int(c.y() + r * std::sin(t * 0.9)));
    }
    return points;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString picturePath = dir.filePath(QStringLiteral("photo.png"));
    if (!Photo().save(picturePath))
        return 1;
    QtPrompts prompts;
    CDepthPaintDlg editor(prompts);
    editor.show();
    if (!editor.LoadPicture(picturePath))
        return 1;
    editor.document().setLevel(2);
    CanvasView& canvas = editor.canvas();
    QWidget* viewport = canvas.viewport();
    PaintCounter counter;
    viewport->installEventFilter(&counter);
    QApplication::processEvents();

    std::printf("canvas: %dx%d picture, both views, width 32, %d moves x %d runs\n", kSide, kSide,
                kMoves, kRuns);
    for (const int zoom : {kActualSizeZoom, k800}) {
        canvas.ZoomAbout(zoom, QRectF(viewport->rect()).center());
        QApplication::processEvents();
        // About 1.5 map pixels a move at either zoom, as a steady hand drags.
        const std::vector<QPoint> path = Path(viewport->size(), 1.5 * canvas.zoom().num);
        std::vector<double> moves;
        counter.paints = 0;
        for (int run = 0; run < kRuns; ++run) {
            canvas.PressAt(path[0]);
            QApplication::processEvents();
            for (int i = 1; i <= kMoves; ++i) {
                const auto t0 = std::chrono::steady_clock::now();
                canvas.MoveTo(path[size_t(i)]);
                QApplication::processEvents();
                moves.push_back(Micros(t0));
            }
            canvas.ReleaseAt(path[size_t(kMoves)]);
            QApplication::processEvents();
            editor.document().Undo();
            QApplication::processEvents();
        }
        std::printf("  stroke move + repaint at %d %%: median %.1f us, 90th percentile %.1f us "
                    "(%d paints)\n",
                    canvas.zoom().percent(), Median(moves), Percentile90(moves), counter.paints);
    }

    // Zoom steps: each from the command to its next frame painted.
    std::vector<double> steps;
    double worst = 0;
    for (int run = 0; run < kRuns; ++run) {
        canvas.ZoomAbout(0, QRectF(viewport->rect()).center());
        QApplication::processEvents();
        for (int direction : {1, -1})
            for (int i = 0; i + 1 < int(kZoomLevels.size()); ++i) {
                counter.paints = 0;
                const auto t0 = std::chrono::steady_clock::now();
                if (direction > 0)
                    canvas.ZoomIn();
                else
                    canvas.ZoomOut();
                while (counter.paints == 0)
                    QApplication::processEvents();
                const double t = Micros(t0);
                steps.push_back(t);
                worst = std::max(worst, t);
            }
    }
    std::printf("  zoom step to its next frame: median %.1f us, 90th percentile %.1f us, worst "
                "%.1f us (%zu steps)\n",
                Median(steps), Percentile90(steps), worst, steps.size());
    return 0;
}
