#include "editor/canvas/CanvasView.h"

#include "depth/Painting.h"
#include "document/EditorDocument.h"
#include "editor/tools/Tools.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

namespace kelvaro {

namespace {

// Room between the canvas's frame and the edges of the area while the canvas is scrolled.
constexpr int kMargin = 4;
// Pixels a scroll bar arrow or one wheel line moves.
constexpr int kScrollStep = 20;
// The wheel's angle delta of one notch.
constexpr int kNotch = 120;

} // namespace

CanvasView::CanvasView(EditorDocument& document, QWidget* parent)
    : QAbstractScrollArea(parent), document_(document) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::ClickFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The area shows the window's own background around the canvas.
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(true);
    viewport()->setMouseTracking(true);
    horizontalScrollBar()->setSingleStep(kScrollStep);
    verticalScrollBar()->setSingleStep(kScrollStep);

    connect(&document_, &EditorDocument::changed, this, [this](const QRect& mapRect) {
        RepaintMap(mapRect);
        if (hover_ && mapRect.contains(*hover_))
            emit pointerMoved(hover_); // the level under the pointer may have changed
    });
    connect(&document_, &EditorDocument::pictureReplaced, this, [this] {
        pressedTool_ = nullptr;
        zoomIndex_ = kActualSizeZoom;
        UpdateScrollBars();
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
        viewport()->update();
        emit zoomChanged();
        SetHover(pointer_);
        UpdateCursor();
    });
    // The tool or the width changed: another outline, another pointer.
    connect(&document_, &EditorDocument::brushChanged, this, &CanvasView::RefreshPointer);
}

void CanvasView::RefreshPointer() {
    UpdateOutline();
    UpdateCursor();
}

CanvasView::~CanvasView() = default;

void CanvasView::setView(int view) {
    view_ = view;
    viewport()->update();
}

void CanvasView::setFaint(bool faint) {
    faint_ = faint;
    viewport()->update();
}

void CanvasView::setOverlay(bool on, int percent) {
    overlay_ = on;
    overlayPercent_ = std::clamp(percent, 0, 100);
    viewport()->update();
}

void CanvasView::setCentreLift(int pixels) {
    centreLift_ = pixels;
    viewport()->update();
}

// Where map pixel (0, 0) is shown: centred while the canvas fits the area (the margins
// included), else at the margin less the scroll position.
QPoint CanvasView::Placement() const {
    const ZoomFactor z = zoom();
    const QSize map = document_.size();
    const int w = z.ToScreen(map.width()), h = z.ToScreen(map.height());
    const QSize area = viewport()->size();
    int x = 0, y = 0;
    if (!scrollsX_)
        x = (area.width() - w) / 2;
    else
        x = kMargin - horizontalScrollBar()->value();
    if (!scrollsY_)
        y = std::max(1, std::min((area.height() + centreLift_ - h) / 2 - centreLift_,
                                 area.height() - h - 1));
    else
        y = kMargin - verticalScrollBar()->value();
    return {x, y};
}

CanvasState CanvasView::state() const {
    CanvasState s;
    // A tool's drag may show the map as its release would leave it.
    const DepthMap* preview = pressedTool_ ? pressedTool_->preview() : nullptr;
    s.map = preview ? preview : &document_.depthMap();
    s.picture = &document_.picture();
    s.loaded = document_.hasPicture();
    s.mapSize = document_.size();
    s.zoom = zoom();
    s.origin = Placement();
    s.view = view_;
    s.faint = faint_;
    s.overlay = overlay_;
    s.overlayPercent = overlayPercent_;
    return s;
}

std::optional<QPoint> CanvasView::PressPointAt(QPoint viewportPoint) const {
    if (!document_.hasPicture())
        return std::nullopt;
    const CanvasState s = state();
    if (s.zoom == ZoomFactor{})
        return CanvasPointAt(viewportPoint, s.canvasRect());
    const QPoint map = s.MapPointAt(viewportPoint);
    if (!QRect(QPoint(0, 0), s.mapSize).contains(map))
        return std::nullopt;
    return map;
}

// The scroll bars are switched on and off here rather than left to the area, so that the
// viewport has its new size at once and the canvas's place follows from it without delay.
void CanvasView::UpdateScrollBars() {
    if (updatingScrollBars_)
        return;
    updatingScrollBars_ = true;
    const ZoomFactor z = zoom();
    const QSize map = document_.size();
    const int w = z.ToScreen(map.width()) + 2 * kMargin;
    const int h = z.ToScreen(map.height()) + 2 * kMargin;
    const QSize full = contentsRect().size(); // the viewport without scroll bars
    const int barWidth = verticalScrollBar()->sizeHint().width();
    const int barHeight = horizontalScrollBar()->sizeHint().height();
    bool sideways = w > full.width(), upright = h > full.height();
    if (sideways && !upright)
        upright = h > full.height() - barHeight;
    if (upright && !sideways)
        sideways = w > full.width() - barWidth;
    scrollsX_ = sideways;
    scrollsY_ = upright;
    setHorizontalScrollBarPolicy(sideways ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(upright ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    const QSize area = viewport()->size();
    horizontalScrollBar()->setRange(0, sideways ? std::max(0, w - area.width()) : 0);
    horizontalScrollBar()->setPageStep(area.width());
    verticalScrollBar()->setRange(0, upright ? std::max(0, h - area.height()) : 0);
    verticalScrollBar()->setPageStep(area.height());
    updatingScrollBars_ = false;
}

int CanvasView::FitZoomIndex(QSize mapSize, QSize area) {
    for (int i = int(kZoomLevels.size()) - 1; i > 0; --i) {
        const ZoomFactor z = kZoomLevels[size_t(i)];
        if (z.ToScreen(mapSize.width()) + 2 * kMargin <= area.width() &&
            z.ToScreen(mapSize.height()) + 2 * kMargin <= area.height())
            return i;
    }
    return 0;
}

void CanvasView::ZoomAbout(int index, QPointF anchor) {
    index = std::clamp(index, 0, int(kZoomLevels.size()) - 1);
    if (index == zoomIndex_)
        return;
    // The map point under the anchor, in fractions of a map pixel.
    const ZoomFactor before = zoom();
    const QPoint origin = Placement();
    const double mapX = (anchor.x() - origin.x()) * before.den / before.num;
    const double mapY = (anchor.y() - origin.y()) * before.den / before.num;
    zoomIndex_ = index;
    UpdateScrollBars();
    const ZoomFactor after = zoom();
    // Scrolled, the origin is kMargin - value; it should come to anchor - map * zoom.
    horizontalScrollBar()->setValue(
        int(std::lround(kMargin - anchor.x() + mapX * after.num / after.den)));
    verticalScrollBar()->setValue(
        int(std::lround(kMargin - anchor.y() + mapY * after.num / after.den)));
    viewport()->update();
    emit zoomChanged();
    SetHover(pointer_);
}

void CanvasView::ZoomIn() {
    ZoomAbout(zoomIndex_ + 1, QRectF(viewport()->rect()).center());
}

void CanvasView::ZoomOut() {
    ZoomAbout(zoomIndex_ - 1, QRectF(viewport()->rect()).center());
}

void CanvasView::ZoomActual() {
    ZoomAbout(kActualSizeZoom, QRectF(viewport()->rect()).center());
}

void CanvasView::ZoomToFit() {
    if (!document_.hasPicture())
        return;
    ZoomAbout(FitZoomIndex(document_.size(), contentsRect().size()),
              QRectF(viewport()->rect()).center());
}

void CanvasView::RepaintMap(const QRect& mapRect) {
    viewport()->update(state().ScreenRectOf(mapRect).adjusted(-1, -1, 1, 1));
}

// The tool's preview moved from `before` to where it is now.
void CanvasView::RepaintPreview(const QRect& before) {
    const Tool* tool = pressedTool_ ? pressedTool_ : (toolSource_ ? &toolSource_() : nullptr);
    const QRect now = tool ? tool->previewRect() : QRect();
    if (!before.isEmpty())
        RepaintMap(before);
    if (!now.isEmpty())
        RepaintMap(now);
}

// ---- Mouse ----

void CanvasView::PressAt(QPoint viewportPoint, Qt::KeyboardModifiers modifiers) {
    const std::optional<QPoint> point = PressPointAt(viewportPoint);
    if (!point || !toolSource_)
        return;
    // The window reads the width (and whatever else a press takes) now.
    emit pressing();
    pressedTool_ = &toolSource_();
    const QRect before = pressedTool_->previewRect();
    pressedTool_->PressWithModifiers(document_, *point, modifiers);
    RepaintPreview(before);
}

// The tool that took the press gets the moves and the release, even when another tool is chosen
// from the keyboard meanwhile; moves beyond the canvas are clamped by the tool.
void CanvasView::MoveTo(QPoint viewportPoint) {
    if (pressedTool_) {
        const QRect before = pressedTool_->previewRect();
        pressedTool_->Move(document_, MapPointAt(viewportPoint));
        RepaintPreview(before);
    }
    SetHover(viewportPoint);
}

void CanvasView::ReleaseAt(QPoint viewportPoint) {
    if (Tool* tool = std::exchange(pressedTool_, nullptr)) {
        const QRect before = tool->previewRect();
        tool->Release(document_, MapPointAt(viewportPoint));
        if (!before.isEmpty())
            RepaintMap(before);
        RepaintPreview(tool->previewRect());
    }
}

void CanvasView::PickAt(QPoint viewportPoint) {
    if (const std::optional<QPoint> point = PressPointAt(viewportPoint))
        document_.Pick(*point);
}

void CanvasView::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::MiddleButton ||
        (event->button() == Qt::LeftButton && spaceHeld_ && !pressedTool_)) {
        setFocus(Qt::MouseFocusReason);
        panFrom_ = p;
        UpdateOutline();
        UpdateCursor();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        setFocus(Qt::MouseFocusReason);
        PressAt(p, event->modifiers());
    }
}

void CanvasView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (panFrom_) {
        const QPoint delta = p - *panFrom_;
        panFrom_ = p;
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - delta.x());
        verticalScrollBar()->setValue(verticalScrollBar()->value() - delta.y());
        return;
    }
    MoveTo(p);
}

void CanvasView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (panFrom_ && (event->button() == Qt::MiddleButton || event->button() == Qt::LeftButton)) {
        panFrom_.reset();
        SetHover(p);
        UpdateCursor();
        return;
    }
    if (event->button() == Qt::LeftButton)
        ReleaseAt(p);
    else if (event->button() == Qt::RightButton)
        PickAt(p);
}

void CanvasView::wheelEvent(QWheelEvent* event) {
    QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        // Touchpads send small deltas: whole notches zoom.
        zoomWheel_ += delta.y() != 0 ? delta.y() : delta.x();
        while (std::abs(zoomWheel_) >= kNotch) {
            const int step = zoomWheel_ > 0 ? 1 : -1;
            zoomWheel_ -= step * kNotch;
            ZoomAbout(zoomIndex_ + step, event->position());
        }
        event->accept();
        return;
    }
    if ((event->modifiers() & Qt::ShiftModifier) && delta.x() == 0)
        delta = QPoint(delta.y(), 0);
    const int lines = QApplication::wheelScrollLines() * kScrollStep;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() - delta.x() * lines / kNotch);
    verticalScrollBar()->setValue(verticalScrollBar()->value() - delta.y() * lines / kNotch);
    event->accept();
}

void CanvasView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat()) {
            spaceHeld_ = true;
            UpdateCursor();
        }
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void CanvasView::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        if (!event->isAutoRepeat()) {
            spaceHeld_ = false;
            UpdateCursor();
        }
        event->accept();
        return;
    }
    QAbstractScrollArea::keyReleaseEvent(event);
}

bool CanvasView::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::Leave:
        pointer_.reset();
        SetHover(std::nullopt);
        break;
    case QEvent::FocusOut:
        spaceHeld_ = false;
        break;
    default:
        break;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

// ---- Pointer, outline and cursor ----

void CanvasView::SetHover(std::optional<QPoint> viewportPoint) {
    if (viewportPoint && !viewport()->rect().contains(*viewportPoint))
        viewportPoint.reset(); // a drag beyond the area
    pointer_ = viewportPoint;
    std::optional<QPoint> map;
    if (viewportPoint && document_.hasPicture()) {
        const QPoint m = MapPointAt(*viewportPoint);
        if (QRect(QPoint(0, 0), document_.size()).contains(m))
            map = m;
    }
    const bool overChanged = map.has_value() != hover_.has_value();
    if (map != hover_) {
        hover_ = map;
        emit pointerMoved(hover_);
    }
    UpdateOutline();
    if (overChanged)
        UpdateCursor();
}

void CanvasView::UpdateOutline() {
    const QRect before = outlineBox();
    std::optional<QPoint> stampAt;
    QRegion footprint;
    bool remade = false;
    if (hover_ && !panFrom_ && toolSource_ && pressWidth_ && toolSource_().showsBrushOutline()) {
        // While a stroke goes on, the stroke's own width; else the width a press would take.
        const int width = document_.isStroking() ? document_.penWidth() : pressWidth_();
        const CanvasState shown = state();
        // At a whole-number zoom the outline is made once and moved; a dot cut by the map's
        // edge, or a fractional zoom, takes its region anew.
        if (shown.zoom.den == 1) {
            if (width != brushWidth_ || shown.zoom.num != brushZoom_) {
                remade = true;
                brushWidth_ = width;
                brushZoom_ = shown.zoom.num;
                brush_ = MakeBrushOutline(width, shown.zoom.num);
            }
            if (QRect(QPoint(0, 0), document_.size()).contains(brush_.mapBox.translated(*hover_)))
                stampAt = shown.ScreenRectOf(QRect(*hover_, QSize(1, 1))).topLeft();
        }
        if (!stampAt)
            footprint = shown.ScreenRegionOf(BrushFootprint(*hover_, width, document_.size()));
    }
    if (!remade && stampAt == stampAt_ && footprint == footprint_)
        return;
    viewport()->update(before);
    stampAt_ = stampAt;
    footprint_ = footprint;
    footprintArea_ = FootprintOutlineArea(footprint);
    viewport()->update(outlineBox());
}

QRegion CanvasView::outlineArea() const {
    return stampAt_ ? brush_.area.translated(*stampAt_) : footprintArea_;
}

QRect CanvasView::outlineBox() const {
    return stampAt_ ? brush_.area.boundingRect().translated(*stampAt_)
                    : footprintArea_.boundingRect();
}

void CanvasView::UpdateCursor() {
    if (panFrom_)
        viewport()->setCursor(Qt::ClosedHandCursor);
    else if (spaceHeld_)
        viewport()->setCursor(Qt::OpenHandCursor);
    else if (hover_ && toolSource_)
        viewport()->setCursor(toolSource_().cursor());
    else
        viewport()->unsetCursor();
}

// ---- Painting ----

void CanvasView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CanvasView::scrollContentsBy(int, int) {
    viewport()->update();
    SetHover(pointer_);
}

void CanvasView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    if (!document_.hasPicture()) {
        PaintHint(painter);
        return;
    }
    DrawCanvas(painter, state(), event->rect());
    if (stampAt_)
        DrawBrushOutline(painter, brush_, *stampAt_);
    else
        DrawFootprintOutline(painter, footprint_);
}

// Without a picture the area says how to get one.
void CanvasView::PaintHint(QPainter& painter) {
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                     tr("画像を開く (%1) か、画像ファイルをここにドロップしてください。")
                         .arg(QKeySequence(QKeySequence::Open).toString(QKeySequence::NativeText)));
}

} // namespace kelvaro
