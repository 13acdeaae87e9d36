#pragma once

#include "depth/PicturePainting.h"
#include "editor/canvas/CanvasDisplay.h"

#include <QAbstractScrollArea>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRegion>

#include <functional>
#include <optional>

namespace kelvaro {

class EditorDocument;
class Tool;

// The canvas: the picture and its depth map at a zoom, in a scrolled area, over an
// EditorDocument. It owns what it shows (the view switches, faint colours, the zoom and the
// scroll position), paints only what is exposed, repaints from the document's changed(QRect),
// shows a dragging tool's preview map in place of the document's (Tool::preview), and turns the
// mouse into calls of the current tool in map coordinates: the left button paints,
// the right button's release picks the level under the pointer, a middle-button drag or a drag
// with Space held pans. Ctrl+wheel zooms about the pointer; the wheel scrolls, Shift+wheel
// sideways. The canvas is centred in the area while it fits; at 100 % it stands where the
// window's layout puts it (see setCentreLift).
class CanvasView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit CanvasView(EditorDocument& document, QWidget* parent = nullptr);
    ~CanvasView() override;

    // The tool that takes the next left press (asked at each press and for the pointer).
    void setToolSource(std::function<Tool&()> source) { toolSource_ = std::move(source); }
    // The width a press would paint with now, for the brush outline.
    void setPressWidthSource(std::function<int()> source) { pressWidth_ = std::move(source); }

    // ---- What is shown ----
    int view() const { return view_; }
    bool faint() const { return faint_; }
    void setView(int view);
    void setFaint(bool faint);
    // With both views on, the depth colours blended over the picture at an opacity (kept within
    // 0 to 100 %) instead of interleaved with it.
    bool overlay() const { return overlay_; }
    int overlayPercent() const { return overlayPercent_; }
    void setOverlay(bool on, int percent);
    int zoomIndex() const { return zoomIndex_; }
    ZoomFactor zoom() const { return kZoomLevels[size_t(zoomIndex_)]; }
    // Zooms to a level of kZoomLevels keeping the map point under `anchor` (viewport
    // coordinates) where it is, as far as the scroll range allows.
    void ZoomAbout(int index, QPointF anchor);
    // One level in or out about the centre of the area; 100 %; the largest level at which the
    // whole canvas fits the area (a small picture is enlarged, a large one reduced).
    void ZoomIn();
    void ZoomOut();
    void ZoomActual();
    void ZoomToFit();
    // The zoom level at which a map of mapSize fits an area of this size, frame included.
    static int FitZoomIndex(QSize mapSize, QSize area);

    // The vertical centre of the canvas is lifted by this many pixels above the area's centre
    // while it fits (the window's layout counts its canvas area from above the viewport's top).
    void setCentreLift(int pixels);

    // ---- Geometry, in viewport coordinates ----
    // Where the canvas is shown: map pixel (0, 0) at the top-left, its size zoomed.
    QRect canvasRect() const { return state().canvasRect(); }
    // The map pixel under a viewport point (beyond the map for a point beyond the canvas).
    QPoint MapPointAt(QPoint viewportPoint) const { return state().MapPointAt(viewportPoint); }
    // The map pixel a left press at this point paints on, if any: at 100 % a point strictly
    // inside the canvas rectangle (its first row and column are outside); at any other zoom
    // every pixel of the canvas.
    std::optional<QPoint> PressPointAt(QPoint viewportPoint) const;
    // The state the canvas is painted from.
    CanvasState state() const;

    // ---- Mouse, in viewport coordinates (the mouse events come here too) ----
    // A press with the keyboard modifiers held at it (see Tool::PressWithModifiers).
    void PressAt(QPoint viewportPoint, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void MoveTo(QPoint viewportPoint);
    void ReleaseAt(QPoint viewportPoint);
    void PickAt(QPoint viewportPoint);
    // The map point under the pointer while it is over the canvas.
    std::optional<QPoint> hoverPoint() const { return hover_; }
    // Shows the outline and the pointer of the current tool and width again (after a change the
    // document does not signal, such as the width a press would take).
    void RefreshPointer();
    // The screen region the brush outline covers now (empty when none is shown).
    QRegion outlineArea() const;

signals:
    // A left press on the canvas is about to go to the tool (the window reads its controls).
    void pressing();
    // The pointer moved over the canvas (a map point) or left it (nullopt).
    void pointerMoved(std::optional<QPoint> mapPoint);
    void zoomChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void UpdateScrollBars();
    void SetHover(std::optional<QPoint> viewportPoint);
    void UpdateOutline();
    QRect outlineBox() const;
    void UpdateCursor();
    void RepaintMap(const QRect& mapRect);
    void RepaintPreview(const QRect& before);
    void PaintHint(QPainter& painter);
    QPoint Placement() const;

    EditorDocument& document_;
    std::function<Tool&()> toolSource_;
    std::function<int()> pressWidth_;
    Tool* pressedTool_ = nullptr; // the tool of the left press, until its release
    int view_ = kViewDepth | kViewPicture;
    bool faint_ = false;
    bool overlay_ = false;
    int overlayPercent_ = kDefaultOverlayPercent;
    int zoomIndex_ = kActualSizeZoom;
    int centreLift_ = 0;
    std::optional<QPoint> hover_;   // map point under the pointer
    std::optional<QPoint> pointer_; // viewport point of the pointer while over the viewport
    // The brush outline shown: brush_ with the pointer's pixel at stampAt_, or else (cut by the
    // map's edge, or at a fractional zoom) the footprint's own region.
    BrushOutline brush_; // made for brushWidth_ at brushZoom_
    int brushWidth_ = 0;
    int brushZoom_ = 0;
    std::optional<QPoint> stampAt_;
    QRegion footprint_;
    QRegion footprintArea_;
    bool scrollsX_ = false; // the canvas is wider than the area: scrolled sideways
    bool scrollsY_ = false;
    bool updatingScrollBars_ = false;
    int zoomWheel_ = 0; // Ctrl+wheel angle not yet turned into a zoom step
    bool spaceHeld_ = false;
    std::optional<QPoint> panFrom_; // viewport point where a pan drag last was
};

} // namespace kelvaro
