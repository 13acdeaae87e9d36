#include "editor/tools/Tools.h"

#include "depth/PicturePainting.h"
#include "document/EditorDocument.h"

#include <QPainter>
#include <QPixmap>

namespace kelvaro {

void Tool::PressWithModifiers(EditorDocument& document, QPoint mapPoint, Qt::KeyboardModifiers) {
    Press(document, mapPoint);
}

void Tool::Move(EditorDocument&, QPoint) {}

void Tool::Release(EditorDocument&, QPoint) {}

QCursor Tool::cursor() const {
    return QCursor(Qt::CrossCursor);
}

void StrokeTool::Press(EditorDocument& document, QPoint mapPoint) {
    document.BeginStroke(mapPoint);
}

// Moves and the release beyond the canvas are clamped onto it by the document.
void StrokeTool::Move(EditorDocument& document, QPoint mapPoint) {
    if (document.isStroking())
        document.ContinueStroke(mapPoint);
}

void StrokeTool::Release(EditorDocument& document, QPoint mapPoint) {
    if (document.isStroking())
        document.EndStroke(mapPoint);
}

void FillTool::Press(EditorDocument& document, QPoint mapPoint) {
    PressWithModifiers(document, mapPoint, Qt::NoModifier);
}

void FillTool::PressWithModifiers(EditorDocument& document, QPoint mapPoint,
                                  Qt::KeyboardModifiers modifiers) {
    if (mode_ == FillMode::PictureColour || (modifiers & Qt::ShiftModifier))
        document.ColourFill(mapPoint);
    else
        document.Fill(mapPoint);
}

void GradientTool::Press(EditorDocument& document, QPoint mapPoint) {
    if (!document.hasPicture())
        return;
    dragging_ = true;
    start_ = mapPoint;
    previewRect_ = QRect();
    UpdatePreview(document, mapPoint);
}

void GradientTool::Move(EditorDocument& document, QPoint mapPoint) {
    if (dragging_)
        UpdatePreview(document, mapPoint);
}

void GradientTool::Release(EditorDocument& document, QPoint mapPoint) {
    if (!dragging_)
        return;
    dragging_ = false;
    preview_.Release();
    previewRect_ = QRect();
    document.Gradient(start_, mapPoint);
}

// The document's own operation on a copy of its map, so the preview is exactly what the release
// paints. The region stays the same during a drag; only its levels follow the pointer.
void GradientTool::UpdatePreview(const EditorDocument& document, QPoint end) {
    preview_ = document.depthMap();
    previewRect_ = GradientFill(preview_, start_, end, document.level(), document.protectNearer());
}

// A small tipped bucket pouring from its lip, drawn here so that it has a clear outline on any
// picture; the hot spot is the drop, where the fill starts.
QCursor FillTool::cursor() const {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPolygonF bucket;
    bucket << QPointF(8, 4) << QPointF(19, 9) << QPointF(15, 19) << QPointF(5, 15);
    p.setPen(QPen(Qt::white, 3));
    p.drawPolygon(bucket);
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(QColor(200, 200, 200));
    p.drawPolygon(bucket);
    p.setPen(QPen(Qt::white, 3));
    p.drawLine(QPointF(5, 15), QPointF(2, 21));
    p.setPen(QPen(Qt::black, 1.5));
    p.drawLine(QPointF(5, 15), QPointF(2, 21));
    p.end();
    return QCursor(pixmap, 2, 21);
}

std::vector<std::unique_ptr<Tool>> MakeTools() {
    std::vector<std::unique_ptr<Tool>> tools;
    tools.push_back(std::make_unique<PenTool>());
    tools.push_back(std::make_unique<EraserTool>());
    tools.push_back(std::make_unique<FillTool>());
    tools.push_back(std::make_unique<GradientTool>());
    return tools;
}

} // namespace kelvaro
