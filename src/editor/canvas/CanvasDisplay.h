#pragma once

#include "depth/DepthMap.h"
#include "imaging/ImageHandle.h"

#include <QRect>

class QPainter;

namespace kelvaro {

// What the canvas display shows, as the editor window holds it. Rectangles are client
// coordinates in the window's convention: x() + width() is the exclusive right edge.
struct CanvasState {
    // The "凸" label's geometry; the palette bar starts at its right edge.
    QRect raisedLabel;
    DepthLevel level = 0; // the cell that carries the selection mark
    const DepthMap* map = nullptr;
    const ImageHandle* picture = nullptr;
    bool loaded = false;
    QRect canvasRect; // where map pixel (0, 0) is shown, and the map's size
    int view = 3;     // kViewDepth | kViewPicture
    bool faint = false;
};

inline constexpr int kViewDepth = 1;
inline constexpr int kViewPicture = 2;
inline constexpr int kFaintLevel = 192;

// The palette bar's rectangle for a "凸" label: left at the label's right edge R, top at its top
// T - 2, right edge R + 144, bottom edge T + 15 (both exclusive, as hit tests take them).
QRect PaletteRectFromLabel(const QRect& raisedLabel);
// The cell of a level, 16 x 18 pixels, placed from the label.
QRect PaletteCellRect(const QRect& raisedLabel, DepthLevel level);

// Paints the palette bar (cells, outline, selection mark) and, while a picture is loaded, the
// canvas by the view bits and its one-pixel frame outside. Only the part of the canvas inside
// `dirty` is composed, so a stroke's small repaints stay cheap; the painter should be clipped to
// the same area (as a widget's paint event painter is). Every pixel is an exact copy or an exact
// colour: nothing is blended or anti-aliased. paletteRect is the editor's bar rectangle: an
// empty one is fixed from the label at this first paint and kept from then on.
void DrawCanvas(QPainter& painter, const CanvasState& state, QRect& paletteRect,
                const QRect& dirty);

} // namespace kelvaro
