#include "depth/PicturePainting.h"

#include "depth/Painting.h"

#include <algorithm>
#include <cstdlib>

namespace kelvaro {

namespace {

const QRgb* Row(const QImage& image, int y) {
    return reinterpret_cast<const QRgb*>(image.constScanLine(y));
}

QRgb* Row(QImage& image, int y) {
    return reinterpret_cast<QRgb*>(image.scanLine(y));
}

} // namespace

QRect ColourFill(const QImage& picture, DepthMap& map, QPoint seed, DepthLevel level, int tolerance,
                 bool protectNearer) {
    if (!map.exists() || picture.size() != map.surface().size() || !map.rect().contains(seed) ||
        level < 0 || level >= kLevelCount)
        return {};
    const QImage colours = picture.convertToFormat(QImage::Format_RGB32);
    const int t = std::clamp(tolerance, 0, 255);
    const QRgb s = Row(colours, seed.y())[seed.x()];
    const COLORREF colour = DepthPalette[size_t(level)];
    const QRgb value = ArgbFromColorref(colour);
    QImage& surface = map.surface();
    ChangedBox changed;
    FloodRuns(
        map.width(), map.height(), seed,
        [&](int x, int y) {
            const QRgb p = Row(colours, y)[x];
            return std::abs(qRed(p) - qRed(s)) <= t && std::abs(qGreen(p) - qGreen(s)) <= t &&
                   std::abs(qBlue(p) - qBlue(s)) <= t;
        },
        [&](int y, int x0, int x1) {
            QRgb* row = Row(surface, y);
            for (int x = x0; x <= x1; ++x) {
                if ((row[x] & 0xffffff) == (value & 0xffffff) ||
                    !MayOverwrite(ColorrefFromArgb(row[x]), colour, protectNearer))
                    continue;
                row[x] = value;
                changed.Add(x, y);
            }
        });
    return changed.rect();
}

DepthLevel GradientLevel(DepthLevel s, long long dot, long long length2) {
    if (length2 <= 0)
        return s;
    dot = std::clamp(dot, 0LL, length2);
    return std::min<DepthLevel>(BaseLevel, s + DepthLevel(dot * (8 - s) / length2));
}

QRect GradientFill(DepthMap& map, QPoint a, QPoint b, DepthLevel level, bool protectNearer) {
    if (!map.exists() || !map.rect().contains(a) || level < 0 || level > BaseLevel)
        return {};
    QImage& surface = map.surface();
    const QRgb target = Row(surface, a.y())[a.x()] & 0xffffff;
    const long long dx = b.x() - a.x(), dy = b.y() - a.y();
    const long long length2 = dx * dx + dy * dy;
    // The region is found first and painted after, so the colours painted cannot join or cut it.
    std::vector<std::pair<int, std::pair<int, int>>> runs;
    FloodRuns(
        map.width(), map.height(), a,
        [&](int x, int y) { return (Row(surface, y)[x] & 0xffffff) == target; },
        [&](int y, int x0, int x1) {
            runs.push_back({y, {x0, x1}});
        });
    ChangedBox changed;
    for (const auto& [y, span] : runs) {
        QRgb* row = Row(surface, y);
        for (int x = span.first; x <= span.second; ++x) {
            const long long dot = (x - a.x()) * dx + (y - a.y()) * dy;
            const COLORREF colour = DepthPalette[size_t(GradientLevel(level, dot, length2))];
            const QRgb value = ArgbFromColorref(colour);
            if ((row[x] & 0xffffff) == (value & 0xffffff) ||
                !MayOverwrite(ColorrefFromArgb(row[x]), colour, protectNearer))
                continue;
            row[x] = value;
            changed.Add(x, y);
        }
    }
    return changed.rect();
}

QImage OverlayBlend(const QImage& picture, const DepthMap& map, int percent, const QRect& rect) {
    if (!map.exists() || picture.size() != map.surface().size())
        return {};
    const QRect r = rect & map.rect();
    QImage out(r.size(), QImage::Format_RGB32);
    if (r.isEmpty() || out.isNull())
        return out;
    const QImage colours = picture.convertToFormat(QImage::Format_RGB32);
    const int a = std::clamp(percent, 0, 100);
    const auto mix = [a](int p, int m) {
        return (p * (100 - a) + m * a + 50) / 100;
    };
    for (int y = 0; y < r.height(); ++y) {
        const QRgb* pic = Row(colours, r.y() + y) + r.x();
        const QRgb* dep = Row(map.surface(), r.y() + y) + r.x();
        QRgb* o = Row(out, y);
        for (int x = 0; x < r.width(); ++x)
            o[x] = qRgb(mix(qRed(pic[x]), qRed(dep[x])), mix(qGreen(pic[x]), qGreen(dep[x])),
                        mix(qBlue(pic[x]), qBlue(dep[x])));
    }
    return out;
}

} // namespace kelvaro
