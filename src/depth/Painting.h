#pragma once

#include "depth/DepthMap.h"
#include "depth/DepthPalette.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <algorithm>

#include <functional>
#include <limits>
#include <optional>
#include <vector>

namespace kelvaro {

// The smallest rectangle holding every pixel added to it; empty while none was.
class ChangedBox {
public:
    void Add(int x, int y) {
        left_ = std::min(left_, x);
        right_ = std::max(right_, x);
        top_ = std::min(top_, y);
        bottom_ = std::max(bottom_, y);
    }
    QRect rect() const {
        return right_ < left_ ? QRect() : QRect(QPoint(left_, top_), QPoint(right_, bottom_));
    }

private:
    int left_ = std::numeric_limits<int>::max(), top_ = std::numeric_limits<int>::max();
    int right_ = std::numeric_limits<int>::min(), bottom_ = std::numeric_limits<int>::min();
};

// The raster operations of the painting tools and the pure rules around them. Nothing here knows
// of widgets: the editor turns mouse events into these calls and repaints the rectangles they
// return.
//
// Rectangles in client coordinates follow the window's convention of the canvas and palette
// rectangles: a QRect built from (left, top, right - left, bottom - top), so that x() + width() is
// the exclusive right edge and y() + height() the exclusive bottom edge.

// The tools, numbered as the tool buttons are.
enum class PaintTool : int { Pen = 0, Eraser = 1, Fill = 2, Gradient = 3 };
inline constexpr int kToolCount = 4;

inline constexpr int kMaxThickness = 5; // the thickness choices 1, 2, 4, 8, 16, 32
inline constexpr int kPaletteCellWidth = 16;

// Pen width in pixels for a thickness index: 2 to the power of the index (kept within 0..5).
int PenWidthForThickness(int thickness);

// The colour a stroke of the tool paints: the selected level for the pen, the base level for the
// eraser (whatever level is selected).
COLORREF StrokeColour(PaintTool tool, DepthLevel level);

// Strict hit test: left < x < right and top < y < bottom, right and bottom being the exclusive
// edges. A point on the first column or row of the rectangle is outside; the last ones are inside.
bool PointInRectStrict(QPoint p, const QRect& rect);

// The map point under a client point when it lies strictly inside the canvas rectangle.
std::optional<QPoint> CanvasPointAt(QPoint client, const QRect& canvasRect);

// A stroke point clamped into a map of the given size: a drag beyond the canvas runs along its
// border.
QPoint ClampToMap(QPoint p, QSize mapSize);

// The level a left click on the palette bar selects, when it lies strictly inside the bar.
// An empty bar rectangle (before the first paint) is never hit.
std::optional<DepthLevel> PaletteLevelAt(QPoint client, const QRect& paletteRect);

// The level of the map colour at a map point (the right-button pick); none for a colour outside
// the palette or a point off the map, in which case the selection stays.
std::optional<DepthLevel> LevelAt(const DepthMap& map, QPoint mapPoint);

// The client rectangle to repaint after a stroke segment from a to b (map points) of the given
// width, on a canvas whose top-left is at canvasTopLeft: the segment's bounding box grown by
// width + 1 on every side. A press is the segment from a point to itself.
QRect StrokeInvalidRect(QPoint a, QPoint b, int width, QPoint canvasTopLeft);

// Calls span(y, x0, x1) for every row run [x0, x1] (both inclusive) of the pixels a solid pen of
// the given width covers from `from` to `to`, clipped to `clip`. Each pixel is reported once.
// Width 1 (or less) is the one-pixel line without its end point, so a zero-length segment covers
// nothing and chained segments share no pixel. A wider pen covers every pixel whose centre lies
// within width / 2 of the segment, round ends included; for an even width the pen's centre sits
// half a pixel up and left of the point, so a dot of width w is exactly w pixels across and
// symmetric. The same rule draws the selection mark of the palette bar. Points are taken within
// +-8192 and widths up to 1024, far beyond any map.
void ForEachStrokeSpan(QPoint from, QPoint to, int width, const QRect& clip,
                       const std::function<void(int y, int x0, int x1)>& span);

// The "protect nearer levels" rule: while it is on, painting `colour` must leave a pixel of colour
// `old` alone when old is a palette level with a lower number (nearer) than colour's level. A
// colour outside the palette counts as farther than every level, and painting it protects nothing.
constexpr bool MayOverwrite(COLORREF old, COLORREF colour, bool protectNearer) {
    if (!protectNearer)
        return true;
    const std::optional<DepthLevel> was = LevelOfColour(old);
    const std::optional<DepthLevel> now = LevelOfColour(colour);
    return !was || !now || *was >= *now;
}

// Paints one segment of a stroke on the map in exactly the colour, no blending; with
// protectNearer, pixels MayOverwrite refuses keep their colour. Returns the map rectangle of the
// pixels it may have changed (empty when nothing was painted).
QRect DrawStrokeSegment(DepthMap& map, QPoint from, QPoint to, int width, COLORREF colour,
                        bool protectNearer = false);

// Flood fill: every pixel of exactly the seed's colour that is connected to the seed through
// horizontal and vertical neighbours takes the colour (none when protectNearer refuses the seed's
// colour). Returns the map rectangle of the changed pixels, empty when nothing changed (seed off
// the map, already of that colour, or protected).
QRect Fill(DepthMap& map, QPoint seed, COLORREF colour, bool protectNearer = false);

// The scan-line flood every fill shares: reports as run(y, x0, x1) (both inclusive) each row run
// of the pixels of a w x h grid that pass inside(x, y) and are 4-connected to the seed through
// such pixels, each pixel once. Nothing when the seed is off the grid or does not pass. Returns the
// bounding box of the runs.
template <class Inside, class Run>
QRect FloodRuns(int w, int h, QPoint seed, Inside inside, Run run) {
    if (seed.x() < 0 || seed.y() < 0 || seed.x() >= w || seed.y() >= h ||
        !inside(seed.x(), seed.y()))
        return {};
    std::vector<unsigned char> seen(size_t(w) * size_t(h), 0);
    const auto open = [&](int x, int y) {
        return !seen[size_t(y) * size_t(w) + size_t(x)] && inside(x, y);
    };
    int left = seed.x(), top = seed.y(), right = seed.x(), bottom = seed.y();
    std::vector<QPoint> pending{seed};
    while (!pending.empty()) {
        const QPoint p = pending.back();
        pending.pop_back();
        if (!open(p.x(), p.y()))
            continue;
        int x0 = p.x(), x1 = p.x();
        while (x0 > 0 && open(x0 - 1, p.y()))
            --x0;
        while (x1 < w - 1 && open(x1 + 1, p.y()))
            ++x1;
        std::fill(seen.begin() + qsizetype(p.y()) * w + x0,
                  seen.begin() + qsizetype(p.y()) * w + x1 + 1, 1);
        run(p.y(), x0, x1);
        left = std::min(left, x0);
        right = std::max(right, x1);
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
        for (const int ny : {p.y() - 1, p.y() + 1}) {
            if (ny < 0 || ny >= h)
                continue;
            bool inRun = false;
            for (int x = x0; x <= x1; ++x) {
                const bool m = open(x, ny);
                if (m && !inRun)
                    pending.emplace_back(x, ny);
                inRun = m;
            }
        }
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace kelvaro
