#include "editor/tools/Tools.h"

#include "document/EditorDocument.h"

#include <QPainter>
#include <QPixmap>

namespace kelvaro {

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
    document.Fill(mapPoint);
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
    return tools;
}

} // namespace kelvaro
