#include "depth/Painting.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace kelvaro {

int PenWidthForThickness(int thickness) {
    return 1 << std::clamp(thickness, 0, kMaxThickness);
}

COLORREF StrokeColour(PaintTool tool, DepthLevel level) {
    if (tool == PaintTool::Pen)
        return DepthPalette[size_t(std::clamp(level, 0, kLevelCount - 1))];
    return DepthPalette[BaseLevel];
}

bool PointInRectStrict(QPoint p, const QRect& rect) {
    return rect.x() < p.x() && p.x() < rect.x() + rect.width() && rect.y() < p.y() &&
           p.y() < rect.y() + rect.height();
}

std::optional<QPoint> CanvasPointAt(QPoint client, const QRect& canvasRect) {
    if (!PointInRectStrict(client, canvasRect))
        return std::nullopt;
    return client - canvasRect.topLeft();
}

QPoint ClampToMap(QPoint p, QSize mapSize) {
    return {std::clamp(p.x(), 0, std::max(mapSize.width() - 1, 0)),
            std::clamp(p.y(), 0, std::max(mapSize.height() - 1, 0))};
}

std::optional<DepthLevel> PaletteLevelAt(QPoint client, const QRect& paletteRect) {
    if (!PointInRectStrict(client, paletteRect))
        return std::nullopt;
    return std::clamp((client.x() - paletteRect.x()) / kPaletteCellWidth, 0, kLevelCount - 1);
}

std::optional<DepthLevel> LevelAt(const DepthMap& map, QPoint mapPoint) {
    if (!map.exists() || !map.rect().contains(mapPoint))
        return std::nullopt;
    return LevelOfColour(map.Pixel(mapPoint.x(), mapPoint.y()));
}

QRect StrokeInvalidRect(QPoint a, QPoint b, int width, QPoint canvasTopLeft) {
    const int grow = width + 1;
    const int left = canvasTopLeft.x() + std::min(a.x(), b.x()) - grow;
    const int top = canvasTopLeft.y() + std::min(a.y(), b.y()) - grow;
    const int right = canvasTopLeft.x() + std::max(a.x(), b.x()) + grow;
    const int bottom = canvasTopLeft.y() + std::max(a.y(), b.y()) + grow;
    return QRect(left, top, right - left, bottom - top);
}

namespace {

using Span = std::function<void(int, int, int)>;

// Bounds that keep the exact 64-bit arithmetic below free of overflow; maps are far smaller, and
// a far-off point only needs to keep its direction roughly.
constexpr int kCoordinateLimit = 1 << 13;
constexpr int kWidthLimit = 1 << 10;

QPoint Bounded(QPoint p) {
    return {std::clamp(p.x(), -kCoordinateLimit, kCoordinateLimit),
            std::clamp(p.y(), -kCoordinateLimit, kCoordinateLimit)};
}

// The one-pixel line from `from` towards `to`, every pixel but the end point.
void ThinLineSpans(QPoint from, QPoint to, const QRect& clip, const Span& span) {
    const int dx = std::abs(to.x() - from.x());
    const int dy = -std::abs(to.y() - from.y());
    const int sx = from.x() < to.x() ? 1 : -1;
    const int sy = from.y() < to.y() ? 1 : -1;
    int err = dx + dy;
    int x = from.x();
    int y = from.y();
    while (x != to.x() || y != to.y()) {
        if (clip.contains(x, y))
            span(y, x, x);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

// A round-ended band of the given width. Work is done in doubled coordinates, where pixel (i, j)
// has its centre at (2i, 2j), the pen's centre line runs between two integer points and its
// radius is the width itself, so the inside test is exact integer arithmetic.
void WideLineSpans(QPoint from, QPoint to, int width, const QRect& clip, const Span& span) {
    using I = std::int64_t;
    const I shift = (width % 2 == 0) ? 1 : 0; // even widths centre half a pixel up and left
    const I ax = 2 * I(from.x()) - shift, ay = 2 * I(from.y()) - shift;
    const I bx = 2 * I(to.x()) - shift, by = 2 * I(to.y()) - shift;
    const I dx = bx - ax, dy = by - ay;
    const I len2 = dx * dx + dy * dy;
    const I r = width, r2 = r * r;

    const auto inside = [&](I i, I j) {
        const I qx = 2 * i, qy = 2 * j;
        const I u = qx - ax, v = qy - ay;
        const I dot = dx * u + dy * v;
        if (dot <= 0)
            return u * u + v * v <= r2;
        if (dot >= len2) {
            const I ex = qx - bx, ey = qy - by;
            return ex * ex + ey * ey <= r2;
        }
        const I cross = dx * v - dy * u;
        return cross * cross <= r2 * len2;
    };

    const I jFirst = std::max<I>(I(clip.top()), (std::min(ay, by) - r + 1) / 2 - 1);
    const I jLast = std::min<I>(I(clip.bottom()), (std::max(ay, by) + r) / 2 + 1);
    const double len = std::sqrt(double(len2));
    constexpr double inf = std::numeric_limits<double>::infinity();

    for (I j = jFirst; j <= jLast; ++j) {
        // A floating-point estimate of the row's extent (the union of both end discs and the
        // band between them), then settled exactly with the integer test.
        const double y = double(2 * j);
        double lo = inf, hi = -inf;
        const auto disc = [&](double cx, double cy) {
            const double dv = y - cy;
            const double h2 = double(r2) - dv * dv;
            if (h2 >= 0) {
                const double h = std::sqrt(h2);
                lo = std::min(lo, cx - h);
                hi = std::max(hi, cx + h);
            }
        };
        disc(double(ax), double(ay));
        disc(double(bx), double(by));
        if (len2 > 0) {
            const double v = y - double(ay);
            double ulo = -inf, uhi = inf;
            bool empty = false;
            // c0 <= a * u + b <= c1, for the offset u of x from the start point.
            const auto within = [&](double a, double b, double c0, double c1) {
                if (a == 0) {
                    empty = empty || b < c0 || b > c1;
                    return;
                }
                double t0 = (c0 - b) / a, t1 = (c1 - b) / a;
                if (a < 0)
                    std::swap(t0, t1);
                ulo = std::max(ulo, t0);
                uhi = std::min(uhi, t1);
            };
            within(double(dx), double(dy) * v, 0.0, double(len2));
            within(double(-dy), double(dx) * v, -double(r) * len, double(r) * len);
            if (!empty && ulo <= uhi) {
                lo = std::min(lo, double(ax) + ulo);
                hi = std::max(hi, double(ax) + uhi);
            }
        }
        if (lo > hi)
            continue;
        I x0 = I(std::ceil(lo / 2 - 1e-6));
        I x1 = I(std::floor(hi / 2 + 1e-6));
        while (inside(x0 - 1, j))
            --x0;
        while (x0 <= x1 && !inside(x0, j))
            ++x0;
        while (inside(x1 + 1, j))
            ++x1;
        while (x1 >= x0 && !inside(x1, j))
            --x1;
        x0 = std::max<I>(x0, clip.left());
        x1 = std::min<I>(x1, clip.right());
        if (x0 <= x1)
            span(int(j), int(x0), int(x1));
    }
}

} // namespace

void ForEachStrokeSpan(QPoint from, QPoint to, int width, const QRect& clip, const Span& span) {
    if (clip.isEmpty())
        return;
    from = Bounded(from);
    to = Bounded(to);
    if (width <= 1)
        ThinLineSpans(from, to, clip, span);
    else
        WideLineSpans(from, to, std::min(width, kWidthLimit), clip, span);
}

QRect DrawStrokeSegment(DepthMap& map, QPoint from, QPoint to, int width, COLORREF colour,
                        bool protectNearer) {
    if (!map.exists())
        return {};
    QImage& surface = map.surface();
    const QRgb value = ArgbFromColorref(colour);
    uchar* bits = surface.bits();
    const qsizetype stride = surface.bytesPerLine();
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    ForEachStrokeSpan(from, to, width, map.rect(), [&](int y, int x0, int x1) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
        if (protectNearer) {
            for (int x = x0; x <= x1; ++x)
                if (MayOverwrite(ColorrefFromArgb(row[x]), colour, true))
                    row[x] = value;
        } else {
            std::fill(row + x0, row + x1 + 1, value);
        }
        left = std::min(left, x0);
        right = std::max(right, x1);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    });
    if (left > right)
        return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

QRect Fill(DepthMap& map, QPoint seed, COLORREF colour, bool protectNearer) {
    if (!map.exists() || !map.rect().contains(seed))
        return {};
    QImage& surface = map.surface();
    const QRgb target = ArgbFromColorref(map.Pixel(seed.x(), seed.y())) & 0xffffff;
    const QRgb value = ArgbFromColorref(colour);
    if ((value & 0xffffff) == target ||
        !MayOverwrite(ColorrefFromArgb(target), colour, protectNearer))
        return {};
    uchar* bits = surface.bits();
    const qsizetype stride = surface.bytesPerLine();
    const auto row = [&](int y) {
        return reinterpret_cast<QRgb*>(bits + y * stride);
    };
    // The flood reads the map while it paints it: a painted run no longer matches the target.
    return FloodRuns(
        surface.width(), surface.height(), seed,
        [&](int x, int y) { return (row(y)[x] & 0xffffff) == target; },
        [&](int y, int x0, int x1) { std::fill(row(y) + x0, row(y) + x1 + 1, value); });
}

} // namespace kelvaro
