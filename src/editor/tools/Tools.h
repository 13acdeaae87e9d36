#pragma once

#include "depth/Painting.h"

#include <QCursor>
#include <QPoint>
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
    virtual void Move(EditorDocument& document, QPoint mapPoint);
    virtual void Release(EditorDocument& document, QPoint mapPoint);
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

// Flood fill of the pressed region with the selected level, on the press alone.
class FillTool final : public Tool {
public:
    PaintTool kind() const override { return PaintTool::Fill; }
    void Press(EditorDocument& document, QPoint mapPoint) override;
    QCursor cursor() const override;
};

// The editor's tools, in the order of their buttons.
std::vector<std::unique_ptr<Tool>> MakeTools();

} // namespace kelvaro
