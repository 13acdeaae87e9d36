#pragma once

#include "depth/DepthMap.h"
#include "imaging/ImageHandle.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>

#include <array>

class QPainter;

namespace kelvaro {

inline constexpr int kViewDepth = 1;
inline constexpr int kViewPicture = 2;
inline constexpr int kFaintLevel = 192;

// A zoom factor num / den: screen pixel s (counted from the canvas's top-left) shows map pixel
// floor(s * den / num). Above 1 (den 1) every map pixel is a num x num square.
struct ZoomFactor {
    int num = 1;
    int den = 1;
    friend constexpr bool operator==(ZoomFactor, ZoomFactor) = default;
    // The screen length a map length takes: ceil(length * num / den).
    constexpr int ToScreen(int mapLength) const { return (mapLength * num + den - 1) / den; }
    // The percentage it shows as, rounded (2/3 is 67 %).
    constexpr int percent() const { return (200 * num + den) / (2 * den); }
};

// The zoom levels, smallest first, and the index of 100 %.
inline constexpr std::array<ZoomFactor, 12> kZoomLevels = {{{1, 4},
                                                            {1, 3},
                                                            {1, 2},
                                                            {2, 3},
                                                            {1, 1},
                                                            {2, 1},
                                                            {3, 1},
                                                            {4, 1},
                                                            {6, 1},
                                                            {8, 1},
                                                            {12, 1},
                                                            {16, 1}}};
inline constexpr int kActualSizeZoom = 4;

// What the canvas shows and where. Rectangles are in the painter's coordinates, x() + width()
// being the exclusive right edge.
struct CanvasState {
    const DepthMap* map = nullptr;
    const ImageHandle* picture = nullptr;
    bool loaded = false;
    QPoint origin;   // where the top-left corner of map pixel (0, 0) is shown
    QSize mapSize;   // the map's size in map pixels
    ZoomFactor zoom; // map pixels to screen pixels
    int view = 3;    // kViewDepth | kViewPicture
    bool faint = false;
    // With both views on: the depth colours blended over the whole picture at overlayPercent
    // (0 to 100) instead of interleaved with it; faint does not apply then.
    bool overlay = false;
    int overlayPercent = 50;

    // The screen rectangle the whole map takes.
    QRect canvasRect() const {
        return QRect(origin,
                     QSize(zoom.ToScreen(mapSize.width()), zoom.ToScreen(mapSize.height())));
    }
    // The map pixel shown at a screen point; beyond the map for a point beyond the canvas.
    QPoint MapPointAt(QPoint screen) const;
    // The screen rectangle that shows the map pixels of mapRect (empty when none of them shows).
    QRect ScreenRectOf(const QRect& mapRect) const;
    // The map pixels shown inside a screen rectangle, clipped to the map.
    QRect MapRectOf(const QRect& screenRect) const;
    // A map region in screen pixels.
    QRegion ScreenRegionOf(const QRegion& mapRegion) const;
};

// The palette bar's rectangle for a "凸" label: left at the label's right edge R, top at its top
// T - 2, right edge R + 144, bottom edge T + 15 (both exclusive, as hit tests take them).
QRect PaletteRectFromLabel(const QRect& raisedLabel);
// The cell of a level, 16 x 18 pixels, placed from the label.
QRect PaletteCellRect(const QRect& raisedLabel, DepthLevel level);

// Paints the palette bar (cells, outline, selection mark on `level`). paletteRect is the
// editor's bar rectangle: an empty one is fixed from the label at this first paint and kept from
// then on.
void DrawPaletteBar(QPainter& painter, const QRect& raisedLabel, DepthLevel level,
                    QRect& paletteRect);

// The one place that decides what a map pixel looks like on the canvas: the shown image of the
// map pixels in mapRect, one to one, by the view bits: the map (faint or not), the picture, or
// the map with every third column of the picture from column 0 over it, or, with `overlay`, the
// map's colours blended over the picture's (OverlayBlend). A null image when neither view is on.
QImage ComposeShown(const CanvasState& state, const QRect& mapRect);

// Paints, while a picture is loaded, the part of the canvas inside `dirty` at the state's zoom
// and its one-pixel black frame outside the canvas rectangle. Only the dirty part is composed, so
// a stroke's small repaints stay cheap. Above 100 % map pixels are sharp squares; below, each
// screen pixel shows one map pixel. Every pixel is an exact copy or an exact colour, nothing
// anti-aliased; only the overlay view blends, by OverlayBlend's exact rule.
void DrawCanvas(QPainter& painter, const CanvasState& state, const QRect& dirty);

// The map pixels a press of a pen or eraser of this width at mapPoint paints on a map of this
// size (the dot a stroke starts with); for a one-pixel pen, whose press paints nothing, the pixel
// its stroke passes through.
QRegion BrushFootprint(QPoint mapPoint, int width, QSize mapSize);
// Marks a screen region: its own border pixels white and the ring of pixels just outside it
// black, so that it shows on any colour and the region's extent reads exactly.
void DrawFootprintOutline(QPainter& painter, const QRegion& screenRegion);
// The screen pixels DrawFootprintOutline paints for a region.
QRegion FootprintOutlineArea(const QRegion& screenRegion);

// The outline of one brush width at one whole-number zoom, made once and moved with the pointer
// (a stroke asks for it at every move). Screen positions count from the top-left corner of the
// map pixel under the pointer; the map box from that pixel.
struct BrushOutline {
    QRect mapBox;      // the map pixels the footprint covers
    QRegion footprint; // the footprint on screen
    QRegion area;      // FootprintOutlineArea(footprint)
    QImage image;      // the area's pixels as DrawFootprintOutline paints them; null when large
};
BrushOutline MakeBrushOutline(int width, int zoom);
// Paints the outline with the pointer's map pixel at `at` on screen, the same pixels
// DrawFootprintOutline paints for the footprint moved there.
void DrawBrushOutline(QPainter& painter, const BrushOutline& outline, QPoint at);

} // namespace kelvaro
