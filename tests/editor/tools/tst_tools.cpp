// The tool objects: a press, moves and a release through PenTool, EraserTool and FillTool paint
// exactly what the document's own operations paint, pixel for pixel, as one undo step each.
#include "document/EditorDocument.h"
#include "editor/tools/Tools.h"

#include <QTest>

using namespace kelvaro;

namespace {

// A map as text, one string a row: '.' the base level, '0' to '8' a palette level.
QStringList TextOf(const DepthMap& map) {
    QStringList rows;
    for (int y = 0; y < map.height(); ++y) {
        QString row;
        for (int x = 0; x < map.width(); ++x) {
            const std::optional<DepthLevel> level = LevelOfColour(map.Pixel(x, y));
            row += !level                ? QLatin1Char('?')
                   : *level == BaseLevel ? QLatin1Char('.')
                                         : QChar(u'0' + *level);
        }
        rows << row;
    }
    return rows;
}

void Open(EditorDocument& document, int w, int h) {
    QImage picture(w, h, QImage::Format_RGB32);
    picture.fill(qRgb(120, 80, 40));
    QVERIFY(document.ReplacePicture(ImageHandle(picture)));
}

// A drag through the points with the tool object: press on the first, moves, release on the last.
void Drag(Tool& tool, EditorDocument& document, const QList<QPoint>& points) {
    tool.Press(document, points.first());
    for (qsizetype i = 1; i + 1 < points.size(); ++i)
        tool.Move(document, points[i]);
    tool.Release(document, points.last());
}

} // namespace

class ToolsTest : public QObject {
    Q_OBJECT

private slots:
    // The tools come in button order and each stands for its document tool.
    void toolsInButtonOrder() {
        const std::vector<std::unique_ptr<Tool>> tools = MakeTools();
        QCOMPARE(tools.size(), size_t(3));
        QCOMPARE(tools[0]->kind(), PaintTool::Pen);
        QCOMPARE(tools[1]->kind(), PaintTool::Eraser);
        QCOMPARE(tools[2]->kind(), PaintTool::Fill);
        QVERIFY(tools[0]->showsBrushOutline() && tools[1]->showsBrushOutline());
        QVERIFY(!tools[2]->showsBrushOutline());
        QCOMPARE(tools[0]->cursor().shape(), Qt::CrossCursor);
        QCOMPARE(tools[2]->cursor().shape(), Qt::BitmapCursor); // the bucket
    }

    // Pen, then eraser across it, then a fill of what the eraser cut off: through the tool objects
    // and through the document's operations the maps are the same, and both are this text. The
    // drag leaves the map on the right and is clamped onto its last column.
    void penEraserAndFillEqualTheDocument() {
        const std::vector<std::unique_ptr<Tool>> tools = MakeTools();
        EditorDocument viaTools, direct;
        Open(viaTools, 14, 9);
        Open(direct, 14, 9);
        const QList<QPoint> penPath = {{1, 2}, {6, 2}, {20, 6}};
        const QList<QPoint> eraserPath = {{7, 0}, {7, 8}};

        for (EditorDocument* d : {&viaTools, &direct}) {
            d->setLevel(2);
            d->setPenWidth(2);
            d->setTool(PaintTool::Pen);
        }
        Drag(*tools[0], viaTools, penPath);
        direct.BeginStroke(penPath[0]);
        direct.ContinueStroke(penPath[1]);
        direct.EndStroke(penPath[2]);
        QCOMPARE(TextOf(viaTools.depthMap()), TextOf(direct.depthMap()));

        for (EditorDocument* d : {&viaTools, &direct}) {
            d->setPenWidth(1);
            d->setTool(PaintTool::Eraser);
        }
        Drag(*tools[1], viaTools, eraserPath);
        direct.BeginStroke(eraserPath[0]);
        direct.EndStroke(eraserPath[1]);
        QCOMPARE(TextOf(viaTools.depthMap()), TextOf(direct.depthMap()));

        for (EditorDocument* d : {&viaTools, &direct}) {
            d->setLevel(5);
            d->setTool(PaintTool::Fill);
        }
        Drag(*tools[2], viaTools, {{12, 6}, {0, 0}}); // the move and release do nothing
        direct.Fill({12, 6});
        QCOMPARE(TextOf(viaTools.depthMap()), TextOf(direct.depthMap()));
        // The eraser's one-pixel line cuts the stroke at column 7 (its end point is not painted);
        // the fill recolours the part right of the cut only.
        const QStringList expected = {
            "..............", //
            "2222222.......", //
            "2222222.5.....", //
            "........555...", //
            "........5555..", //
            "..........5555", //
            "............55", //
            "..............", //
            "..............", //
        };
        QCOMPARE(TextOf(viaTools.depthMap()), expected);
        // One undo step per stroke and per fill, as the document's own operations record.
        QCOMPARE(viaTools.history().position(), 3);
        QCOMPARE(viaTools.history().position(), direct.history().position());
        QVERIFY(!viaTools.isStroking());
    }

    // A release or move without a press, or a second release, paints nothing and records nothing.
    void movesWithoutAPressDoNothing() {
        const std::vector<std::unique_ptr<Tool>> tools = MakeTools();
        EditorDocument document;
        Open(document, 6, 6);
        const QStringList blank = TextOf(document.depthMap());
        for (const std::unique_ptr<Tool>& tool : tools) {
            tool->Move(document, {2, 2});
            tool->Release(document, {3, 3});
        }
        QCOMPARE(TextOf(document.depthMap()), blank);
        QCOMPARE(document.history().position(), 0);
    }
};

QTEST_MAIN(ToolsTest)
#include "tst_tools.moc"
