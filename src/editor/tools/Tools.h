#pragma once

#include "depth/DepthMap.h"
#include "depth/Painting.h"

#include <QCursor>
#include <QPoint>
#include <QRect>
#include <QString>

#include <memory>
#include <vector>

namespace kelvaro {

class EditorDocument;

// A painting tool: turns the canvas's press, move and release, already in map coordinates, into
// operations of the document. The canvas hands every left-button event to the current tool and
// knows nothing of what the tool does; a new tool is one more subclass and one more action.
class Tool {
public:
    virtual ~Tool() = default;

    // The document's tool number this object stands for; selecting the tool sets it.
    virtual PaintTool kind() const = 0;
    // The press lands on a map pixel; moves and the release may lie beyond the map (a drag that
    // leaves the canvas), the tool clamps what it needs.
    virtual void Press(EditorDocument& document, QPoint mapPoint) = 0;
    // A press with the keyboard modifiers held at it; a plain press unless the tool gives a
    // modifier a meaning of its own.
    virtual void PressWithModifiers(EditorDocument& document, QPoint mapPoint,
                                    Qt::KeyboardModifiers modifiers);
    virtual void Move(EditorDocument& document, QPoint mapPoint);
    virtual void Release(EditorDocument& document, QPoint mapPoint);
    // While a drag is under way, the map as its release would leave it, shown by the canvas in
    // place of the document's map; null when the tool shows nothing of its own.
    virtual const DepthMap* preview() const { return nullptr; }
    // The map rectangle the preview differs from the document's map in (empty without one).
    virtual QRect previewRect() const { return {}; }
    // Whether the pointer over the canvas shows the footprint a press would paint.
    virtual bool showsBrushOutline() const { return false; }
    virtual QCursor cursor() const;
};

// Pen and eraser: a freehand stroke in the document's stroke colour for the selected tool, one
// undo step from press to release.
class StrokeTool : public Tool {
public:
    void Press(EditorDocument& document, QPoint mapPoint) override;
    void Move(EditorDocument& document, QPoint mapPoint) override;
    void Release(EditorDocument& document, QPoint mapPoint) override;
    bool showsBrushOutline() const override { return true; }
};

class PenTool final : public StrokeTool {
public:
    PaintTool kind() const override { return PaintTool::Pen; }
};

class EraserTool final : public StrokeTool {
public:
    PaintTool kind() const override { return PaintTool::Eraser; }
};

// What the fill tool spreads over: the 4-connected area of the pressed pixel's map colour, or of
// picture colours within the document's tolerance of the pressed pixel's.
enum class FillMode : int { Region = 0, PictureColour = 1 };

// Flood fill with the selected level, on the press alone, in the chosen mode; a press with Shift
// fills by the picture's colour whatever the mode.
class FillTool final : public Tool {
public:
    PaintTool kind() const override { return PaintTool::Fill; }
    void Press(EditorDocument& document, QPoint mapPoint) override;
    void PressWithModifiers(EditorDocument& document, QPoint mapPoint,
                            Qt::KeyboardModifiers modifiers) override;
    QCursor cursor() const override;

    FillMode mode() const { return mode_; }
    void setMode(FillMode mode) { mode_ = mode; }

private:
    FillMode mode_ = FillMode::Region;
};

// A drag from A to B paints the region the plain fill would fill from A with levels running from
// the selected one at A to the base level at B; one undo step, at the release. While dragging,
// the tool keeps the map as the release would leave it for the canvas to show.
class GradientTool final : public Tool {
public:
    PaintTool kind() const override { return PaintTool::Gradient; }
    void Press(EditorDocument& document, QPoint mapPoint) override;
    void Move(EditorDocument& document, QPoint mapPoint) override;
    void Release(EditorDocument& document, QPoint mapPoint) override;
    const DepthMap* preview() const override { return dragging_ ? &preview_ : nullptr; }
    QRect previewRect() const override { return dragging_ ? previewRect_ : QRect(); }

    bool isDragging() const { return dragging_; }
    QPoint start() const { return start_; }

private:
    void UpdatePreview(const EditorDocument& document, QPoint end);

    bool dragging_ = false;
    QPoint start_;
    DepthMap preview_;
    QRect previewRect_;
};

// The editor's tools, in the order of their buttons (by PaintTool number).
std::vector<std::unique_ptr<Tool>> MakeTools();

} // namespace kelvaro
