#include "editor/canvas/CanvasDisplay.h"

#include "depth/DepthPalette.h"
#include "depth/Painting.h"
#include "depth/PicturePainting.h"
#include "imaging/Imaging.h"

#include <QPainter>

#include <algorithm>
#include <cstring>
#include <vector>

namespace kelvaro {

namespace {

constexpr int kCellHeight = 18;
constexpr int kBarWidth = kPaletteCellWidth * kLevelCount;
constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kWhite = 0xffffffff;

// Integer division rounding down and up, for negative numerators too.
constexpr int FloorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}
constexpr int CeilDiv(int a, int b) {
    return -FloorDiv(-a, b);
}

// The label's right edge, as the bar is placed from it.
int RightOf(const QRect& r) {
    return r.x() + r.width();
}

// A closed one-pixel outline through the corners (left, top) and (right, bottom), both included:
// what a thin pen's path round a rectangle covers.
void Outline(QPainter& painter, int left, int top, int right, int bottom, QRgb colour) {
    const QColor c = QColor::fromRgb(colour);
    painter.fillRect(QRect(left, top, right - left + 1, 1), c);
    painter.fillRect(QRect(left, bottom, right - left + 1, 1), c);
    painter.fillRect(QRect(left, top, 1, bottom - top + 1), c);
    painter.fillRect(QRect(right, top, 1, bottom - top + 1), c);
}

// One segment of a wide pen, by the same rule the strokes on the map follow.
void PenSegment(QPainter& painter, QPoint from, QPoint to, int width, QRgb colour) {
    const QColor c = QColor::fromRgb(colour);
    const QRect everywhere(-(1 << 13), -(1 << 13), 1 << 14, 1 << 14);
    ForEachStrokeSpan(from, to, width, everywhere, [&](int y, int x0, int x1) {
        painter.fillRect(QRect(x0, y, x1 - x0 + 1, 1), c);
    });
}

// Every third column of the picture from column 0, copied over the composed map part whose
// top-left is map point `origin`.
void InterleavePicture(QImage& part, QPoint origin, const QImage& picture) {
    const int first = (3 - origin.x() % 3) % 3;
    const int rows = std::min(part.height(), picture.height() - origin.y());
    const int columns = std::min(part.width(), picture.width() - origin.x());
    const bool direct =
        picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32;
    for (int y = 0; y < rows; ++y) {
        auto* out = reinterpret_cast<QRgb*>(part.scanLine(y));
        const int py = origin.y() + y;
        if (direct) {
            const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(py));
            for (int x = first; x < columns; x += 3)
                out[x] = 0xff000000 | in[origin.x() + x];
        } else {
            for (int x = first; x < columns; x += 3)
                out[x] = 0xff000000 | picture.pixel(origin.x() + x, py);
        }
    }
}

// The composed map part `shown` (of map rectangle mapRect) enlarged or reduced onto the screen
// rectangle `area`: each screen pixel takes the map pixel the zoom puts under it.
void DrawZoomed(QPainter& painter, const CanvasState& state, const QImage& shown,
                const QRect& mapRect, const QRect& area) {
    QImage out(area.size(), QImage::Format_RGB32);
    if (out.isNull())
        return;
    const ZoomFactor z = state.zoom;
    std::vector<int> column(size_t(area.width()));
    for (int x = 0; x < area.width(); ++x)
        column[size_t(x)] =
            FloorDiv((area.x() + x - state.origin.x()) * z.den, z.num) - mapRect.x();
    int lastRow = -1;
    for (int y = 0; y < area.height(); ++y) {
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        const int row = FloorDiv((area.y() + y - state.origin.y()) * z.den, z.num) - mapRect.y();
        if (row == lastRow) {
            std::memcpy(dst, out.constScanLine(y - 1), size_t(area.width()) * sizeof(QRgb));
            continue;
        }
        lastRow = row;
        const auto* src = reinterpret_cast<const QRgb*>(shown.constScanLine(row));
        for (int x = 0; x < area.width(); ++x)
            dst[x] = src[column[size_t(x)]];
    }
    painter.drawImage(area.topLeft(), out);
}

} // namespace

QPoint CanvasState::MapPointAt(QPoint screen) const {
    const QPoint s = screen - origin;
    return QPoint(FloorDiv(s.x() * zoom.den, zoom.num), FloorDiv(s.y() * zoom.den, zoom.num));
}

QRect CanvasState::ScreenRectOf(const QRect& mapRect) const {
    if (mapRect.isEmpty())
        return {};
    const int left = CeilDiv(mapRect.x() * zoom.num, zoom.den);
    const int top = CeilDiv(mapRect.y() * zoom.num, zoom.den);
    const int right = CeilDiv((mapRect.x() + mapRect.width()) * zoom.num, zoom.den);
    const int bottom = CeilDiv((mapRect.y() + mapRect.height()) * zoom.num, zoom.den);
    return QRect(origin.x() + left, origin.y() + top, right - left, bottom - top);
}

QRect CanvasState::MapRectOf(const QRect& screenRect) const {
    const QRect area = screenRect.intersected(canvasRect());
    if (area.isEmpty())
        return {};
    const QPoint first = MapPointAt(area.topLeft());
    const QPoint last = MapPointAt(area.bottomRight());
    return QRect(first, last).intersected(QRect(QPoint(0, 0), mapSize));
}

QRegion CanvasState::ScreenRegionOf(const QRegion& mapRegion) const {
    QRegion screen;
    for (const QRect& r : mapRegion)
        screen += ScreenRectOf(r);
    return screen;
}

QRect PaletteRectFromLabel(const QRect& raisedLabel) {
    const int r = RightOf(raisedLabel), t = raisedLabel.y();
    return QRect(r, t - 2, kBarWidth, (t + 15) - (t - 2));
}

QRect PaletteCellRect(const QRect& raisedLabel, DepthLevel level) {
    return QRect(RightOf(raisedLabel) + kPaletteCellWidth * level, raisedLabel.y() - 2,
                 kPaletteCellWidth, kCellHeight);
}

void DrawPaletteBar(QPainter& painter, const QRect& raisedLabel, DepthLevel level,
                    QRect& paletteRect) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < kLevelCount; ++i)
        painter.fillRect(PaletteCellRect(raisedLabel, i),
                         QColor::fromRgb(ArgbFromColorref(DepthPalette[size_t(i)])));

    if (paletteRect.isNull())
        paletteRect = PaletteRectFromLabel(raisedLabel);
    Outline(painter, paletteRect.left(), paletteRect.top(), RightOf(paletteRect),
            paletteRect.y() + paletteRect.height(), kBlack);

    // The selection mark: a 2-pixel pen along four sides, the last one ending a pixel above
    // where the first began.
    const int marked = std::clamp(level, 0, kLevelCount - 1);
    const int x0 = paletteRect.left() + kPaletteCellWidth * marked + 2;
    const int y0 = paletteRect.top() + 2;
    const int x1 = x0 + 13;
    const int y1 = paletteRect.y() + paletteRect.height() - 1;
    const QPoint path[] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0 - 1}};
    for (size_t i = 0; i + 1 < std::size(path); ++i)
        PenSegment(painter, path[i], path[i + 1], 2, kWhite);
    painter.restore();
}

QImage ComposeShown(const CanvasState& state, const QRect& mapRect) {
    const QRect rect = mapRect.intersected(QRect(QPoint(0, 0), state.mapSize));
    if (rect.isEmpty())
        return {};
    const bool depth = (state.view & kViewDepth) && state.map && state.map->exists();
    const bool picture = (state.view & kViewPicture) && state.picture && !state.picture->isNull();
    if (depth && picture && state.overlay)
        return OverlayBlend(state.picture->image(), *state.map, state.overlayPercent, rect);
    if (depth) {
        ImageHandle part =
            CaptureImage(state.map->surface(), rect.x(), rect.y(), rect.width(), rect.height());
        if (part.isNull())
            return {};
        if (state.faint)
            FadeImage(part, kFaintLevel);
        if (picture)
            InterleavePicture(part.image(), rect.topLeft(), state.picture->image());
        return std::move(part.image());
    }
    if (picture) {
        ImageHandle part =
            CaptureImage(state.picture->image(), rect.x(), rect.y(), rect.width(), rect.height());
        return std::move(part.image());
    }
    return {};
}

void DrawCanvas(QPainter& painter, const CanvasState& state, const QRect& dirty) {
    if (!state.loaded || !state.picture || state.picture->isNull())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

    const QRect canvas = state.canvasRect();
    const QRect area = dirty.intersected(canvas);
    const QRect mapRect = state.MapRectOf(area);
    if (!mapRect.isEmpty()) {
        const QImage shown = ComposeShown(state, mapRect);
        if (!shown.isNull()) {
            if (state.zoom == ZoomFactor{})
                painter.drawImage(area.topLeft(), shown);
            else
                DrawZoomed(painter, state, shown, mapRect, area);
        }
    }
    // The frame lies one pixel outside the canvas on every side, whatever is shown in it.
    Outline(painter, canvas.x() - 1, canvas.y() - 1, RightOf(canvas), canvas.y() + canvas.height(),
            kBlack);
    painter.restore();
}

QRegion BrushFootprint(QPoint mapPoint, int width, QSize mapSize) {
    // A one-pixel pen's press paints nothing (a line leaves out its last point); the pixel under
    // the pointer is where its stroke passes.
    if (width <= 1)
        return QRect(QPoint(0, 0), mapSize).contains(mapPoint)
                   ? QRegion(mapPoint.x(), mapPoint.y(), 1, 1)
                   : QRegion();
    QRegion footprint;
    ForEachStrokeSpan(mapPoint, mapPoint, width, QRect(QPoint(0, 0), mapSize),
                      [&](int y, int x0, int x1) { footprint += QRect(x0, y, x1 - x0 + 1, 1); });
    return footprint;
}

namespace {

// The region shrunk by one pixel on every side (a pixel stays when its four neighbours are in).
QRegion Eroded(const QRegion& region) {
    return region & region.translated(1, 0) & region.translated(-1, 0) & region.translated(0, 1) &
           region.translated(0, -1);
}

QRegion Dilated(const QRegion& region) {
    return region + region.translated(1, 0) + region.translated(-1, 0) + region.translated(0, 1) +
           region.translated(0, -1);
}

} // namespace

QRegion FootprintOutlineArea(const QRegion& screenRegion) {
    return Dilated(screenRegion) - Eroded(screenRegion);
}

void DrawFootprintOutline(QPainter& painter, const QRegion& screenRegion) {
    if (screenRegion.isEmpty())
        return;
    const QRegion border = screenRegion - Eroded(screenRegion);
    const QRegion ring = Dilated(screenRegion) - screenRegion;
    for (const QRect& r : ring)
        painter.fillRect(r, QColor::fromRgb(kBlack));
    for (const QRect& r : border)
        painter.fillRect(r, QColor::fromRgb(kWhite));
}

BrushOutline MakeBrushOutline(int width, int zoom) {
    // The dot at the centre of a map roomy enough to hold it whole, moved to the origin.
    const int reach = width + 2;
    const QRegion map =
        BrushFootprint(QPoint(reach, reach), width, QSize(2 * reach + 1, 2 * reach + 1))
            .translated(-reach, -reach);
    BrushOutline outline;
    outline.mapBox = map.boundingRect();
    for (const QRect& r : map)
        outline.footprint += QRect(r.x() * zoom, r.y() * zoom, r.width() * zoom, r.height() * zoom);
    outline.area = FootprintOutlineArea(outline.footprint);
    // Up to this many pixels the outline is drawn as one image, faster than its many rectangles.
    constexpr qint64 kMostImagePixels = 256 * 256;
    const QRect box = outline.area.boundingRect();
    if (qint64(box.width()) * box.height() <= kMostImagePixels) {
        outline.image = QImage(box.size(), QImage::Format_ARGB32_Premultiplied);
        outline.image.fill(Qt::transparent);
        QPainter painter(&outline.image);
        painter.translate(-box.topLeft());
        DrawFootprintOutline(painter, outline.footprint);
    }
    return outline;
}

void DrawBrushOutline(QPainter& painter, const BrushOutline& outline, QPoint at) {
    if (!outline.image.isNull()) {
        painter.drawImage(at + outline.area.boundingRect().topLeft(), outline.image);
        return;
    }
    DrawFootprintOutline(painter, outline.footprint.translated(at));
}

} // namespace kelvaro
