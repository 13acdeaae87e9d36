#include "editor/canvas/CanvasDisplay.h"

#include "depth/DepthPalette.h"
#include "depth/Painting.h"
#include "imaging/Imaging.h"

#include <QPainter>

#include <algorithm>

namespace kelvaro {

namespace {

constexpr int kCellHeight = 18;
constexpr int kBarWidth = kPaletteCellWidth * kLevelCount;
constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kWhite = 0xffffffff;

// The label's right edge and top, as the bar is placed from them.
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

void DrawPaletteBar(QPainter& painter, const CanvasState& state, QRect& paletteRect) {
    for (int i = 0; i < kLevelCount; ++i)
        painter.fillRect(PaletteCellRect(state.raisedLabel, i),
                         QColor::fromRgb(ArgbFromColorref(DepthPalette[size_t(i)])));

    if (paletteRect.isNull())
        paletteRect = PaletteRectFromLabel(state.raisedLabel);
    Outline(painter, paletteRect.left(), paletteRect.top(), RightOf(paletteRect),
            paletteRect.y() + paletteRect.height(), kBlack);

    // The selection mark: a 2-pixel pen along four sides, the last one ending a pixel above
    // where the first began.
    const int level = std::clamp(state.level, 0, kLevelCount - 1);
    const int x0 = paletteRect.left() + kPaletteCellWidth * level + 2;
    const int y0 = paletteRect.top() + 2;
    const int x1 = x0 + 13;
    const int y1 = paletteRect.y() + paletteRect.height() - 1;
    const QPoint path[] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0 - 1}};
    for (size_t i = 0; i + 1 < std::size(path); ++i)
        PenSegment(painter, path[i], path[i + 1], 2, kWhite);
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

void DrawCanvasArea(QPainter& painter, const CanvasState& state, const QRect& dirty) {
    const QRect& canvas = state.canvasRect;
    const QRect area = dirty.intersected(canvas);
    if (area.isEmpty())
        return;
    const QPoint origin = area.topLeft() - canvas.topLeft(); // in map coordinates
    const bool depth = (state.view & kViewDepth) && state.map && state.map->exists();
    const bool picture = (state.view & kViewPicture) && state.picture && !state.picture->isNull();

    if (depth) {
        ImageHandle part =
            CaptureImage(state.map->surface(), origin.x(), origin.y(), area.width(), area.height());
        if (part.isNull())
            return;
        if (state.faint)
            FadeImage(part, kFaintLevel);
        if (picture)
            InterleavePicture(part.image(), origin, state.picture->image());
        painter.drawImage(area.topLeft(), part.image());
    } else if (picture) {
        DrawImage(painter, area.x(), area.y(), area.width(), area.height(), *state.picture,
                  origin.x(), origin.y());
    }
}

} // namespace

QRect PaletteRectFromLabel(const QRect& raisedLabel) {
    const int r = RightOf(raisedLabel), t = raisedLabel.y();
    return QRect(r, t - 2, kBarWidth, (t + 15) - (t - 2));
}

QRect PaletteCellRect(const QRect& raisedLabel, DepthLevel level) {
    return QRect(RightOf(raisedLabel) + kPaletteCellWidth * level, raisedLabel.y() - 2,
                 kPaletteCellWidth, kCellHeight);
}

void DrawCanvas(QPainter& painter, const CanvasState& state, QRect& paletteRect,
                const QRect& dirty) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

    DrawPaletteBar(painter, state, paletteRect);

    if (state.loaded && state.picture && !state.picture->isNull()) {
        DrawCanvasArea(painter, state, dirty);
        const QRect& c = state.canvasRect;
        // The frame lies one pixel outside the canvas on every side, whatever is shown in it.
        Outline(painter, c.x() - 1, c.y() - 1, RightOf(c), c.y() + c.height(), kBlack);
    }
    painter.restore();
}

} // namespace kelvaro
