// The tool objects: a press, moves and a release through PenTool, EraserTool, FillTool and
// GradientTool paint exactly what the document's own operations paint, pixel for pixel, as one
// undo step each; the fill's modes and Shift, the gradient's preview and the protection switch.
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

// A picture dark left of column `edge` and light from it on, its map all of the base level.
void OpenTwoTone(EditorDocument& document, int w, int h, int edge) {
    QImage picture(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            picture.setPixel(x, y, x < edge ? qRgb(30, 30, 30) : qRgb(220, 220, 220));
    QVERIFY(document.ReplacePicture(ImageHandle(picture)));
}

Tool& ToolOf(const std::vector<std::unique_ptr<Tool>>& tools, PaintTool kind) {
    for (const std::unique_ptr<Tool>& tool : tools)
        if (tool->kind() == kind)
            return *tool;
    qFatal("no tool %d", int(kind));
}

// Row y of the map as text.
QString RowOf(const DepthMap& map, int y) {
    return TextOf(map).at(y);
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
        QCOMPARE(tools.size(), size_t(kToolCount));
        QCOMPARE(tools[0]->kind(), PaintTool::Pen);
        QCOMPARE(tools[1]->kind(), PaintTool::Eraser);
        QCOMPARE(tools[2]->kind(), PaintTool::Fill);
        QCOMPARE(tools[3]->kind(), PaintTool::Gradient);
        QVERIFY(tools[0]->showsBrushOutline() && tools[1]->showsBrushOutline());
        QVERIFY(!tools[2]->showsBrushOutline() && !tools[3]->showsBrushOutline());
        for (const std::unique_ptr<Tool>& tool : tools)
            QVERIFY(!tool->preview() && tool->previewRect().isEmpty());
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

    // The fill tool in its two modes and with Shift: the map region (across the picture's edge)
    // or the picture colour (up to the edge at x = 6), each as the document's own operation.
    void fillModesAndShift() {
        const std::vector<std::unique_ptr<Tool>> tools = MakeTools();
        auto& fill = static_cast<FillTool&>(ToolOf(tools, PaintTool::Fill));
        QCOMPARE(fill.mode(), FillMode::Region);
        EditorDocument document;
        OpenTwoTone(document, 12, 3, 6);
        document.setLevel(3);

        fill.Press(document, {1, 1});
        QCOMPARE(RowOf(document.depthMap(), 1), QStringLiteral("333333333333"));
        document.Undo();
        fill.PressWithModifiers(document, {1, 1}, Qt::ShiftModifier);
        QCOMPARE(RowOf(document.depthMap(), 1), QStringLiteral("333333......"));
        QCOMPARE(document.history().position(), 1); // one step; the undone fill is gone

        // In the colour mode a plain press fills by colour too, and so does Shift.
        fill.setMode(FillMode::PictureColour);
        document.setLevel(5);
        fill.PressWithModifiers(document, {9, 0}, Qt::NoModifier);
        QCOMPARE(TextOf(document.depthMap()), QStringList(3, QStringLiteral("333333555555")));
        document.setLevel(6);
        fill.PressWithModifiers(document, {0, 2}, Qt::ShiftModifier | Qt::ControlModifier);
        QCOMPARE(TextOf(document.depthMap()), QStringList(3, QStringLiteral("666666555555")));
        QCOMPARE(document.history().position(), 3);

        // Back in the region mode Ctrl alone is a plain fill of the map colour.
        fill.setMode(FillMode::Region);
        document.setLevel(1);
        fill.PressWithModifiers(document, {11, 2}, Qt::ControlModifier);
        QCOMPARE(TextOf(document.depthMap()), QStringList(3, QStringLiteral("666666111111")));
    }

    // A drag across a region 80 pixels wide (x = 10 ... 89, fenced by level 0 at x = 9 and 90):
    // from level 3 at x = 10 to the base at x = 89, bands of 80 * t / 5 pixels, t = (x-10)/79.
    // While dragging, the preview is the map the release leaves; the document is untouched until
    // the release, which is one undo step. Rows outside the region and the fences stay.
    void gradientDragPreviewsThenPaints() {
        const std::vector<std::unique_ptr<Tool>> tools = MakeTools();
        Tool& gradient = ToolOf(tools, PaintTool::Gradient);
        QVERIFY(!gradient.showsBrushOutline());
        EditorDocument document;
        Open(document, 100, 4);
        document.setPenWidth(1);
        document.setLevel(0);
        for (int x : {9, 90}) { // a one-pixel line leaves out its end point: down, then back up
            document.BeginStroke({x, 0});
            document.ContinueStroke({x, 3});
            document.EndStroke({x, 2});
        }
        const QStringList before = TextOf(document.depthMap());
        const int steps = document.history().position();
        document.setLevel(3);

        gradient.Press(document, {10, 2});
        QVERIFY(gradient.preview());
        gradient.Move(document, {50, 1});
        gradient.Move(document, {89, 2});
        QCOMPARE(TextOf(document.depthMap()), before);
        QCOMPARE(document.history().position(), steps);
        const QStringList previewed = TextOf(*gradient.preview());
        QCOMPARE(gradient.previewRect(), QRect(10, 0, 64, 4)); // the base-level end is unchanged

        gradient.Release(document, {89, 2});
        QVERIFY(!gradient.preview() && gradient.previewRect().isEmpty());
        QCOMPARE(document.history().position(), steps + 1);
        QCOMPARE(TextOf(document.depthMap()), previewed);
        // t = (x - 10) / 79 and level 3 + floor(5 t): 16 pixels each of 3, 4, 5 and 6, then 16 of
        // the base level (t = 1 gives 8, capped at 7), which was there already.
        const QString fence = QStringLiteral(".........0");
        const QString bands = QString(16, u'3') + QString(16, u'4') + QString(16, u'5') +
                              QString(16, u'6') + QString(16, u'.');
        for (int y = 0; y < 4; ++y)
            QCOMPARE(RowOf(document.depthMap(), y), fence + bands + QStringLiteral("0........."));

        // A release beyond the map points the gradient there: from x = 60 towards x = 200,
        // everything left of the press is at t = 0.
        document.Undo();
        Drag(gradient, document, {{60, 1}, {70, 3}, {200, 1}});
        QCOMPARE(RowOf(document.depthMap(), 2),
                 fence + QString(78, u'3') + QStringLiteral("44") + QStringLiteral("0........."));
        // Level 8 paints nothing and records nothing.
        document.Undo();
        document.setLevel(8);
        Drag(gradient, document, {{40, 1}, {70, 1}, {-30, 1}});
        QCOMPARE(TextOf(document.depthMap()), before);
        QCOMPARE(document.history().position(), steps);
        // Without a picture a press starts no drag.
        EditorDocument empty;
        gradient.Press(empty, {1, 1});
        QVERIFY(!gradient.preview());
    }

    // Protection on: the pen, both fills and the gradient through the tool objects leave a nearer
    // level alone; the eraser does not. Off again, the fill paints over what was kept.
    void protectionReachesEveryTool() {
        const std::vector<std::unique_ptr<Tool>> tools = MakeTools();
        auto& fill = static_cast<FillTool&>(ToolOf(tools, PaintTool::Fill));
        EditorDocument document;
        // Column 4 of the picture a little redder than the rest: a fill of tolerance 0 makes it
        // level 1, one of 32 spreads across it.
        QImage picture(10, 3, QImage::Format_RGB32);
        picture.fill(qRgb(100, 100, 100));
        for (int y = 0; y < 3; ++y)
            picture.setPixel(4, y, qRgb(110, 100, 100));
        QVERIFY(document.ReplacePicture(ImageHandle(picture)));
        const auto rows = [&document](const QString& row) {
            QCOMPARE(TextOf(document.depthMap()), QStringList({row, row, row}));
        };
        document.setColourTolerance(0);
        document.setLevel(1);
        fill.PressWithModifiers(document, {4, 1}, Qt::ShiftModifier);
        rows(QStringLiteral("....1....."));
        document.setColourTolerance(32);
        document.setProtectNearer(true);

        document.setPenWidth(1);
        document.setTool(PaintTool::Pen);
        document.setLevel(4);
        Drag(ToolOf(tools, PaintTool::Pen), document, {{0, 1}, {9, 1}}); // end point left out
        QCOMPARE(RowOf(document.depthMap(), 1), QStringLiteral("444414444."));
        document.setLevel(2);
        fill.PressWithModifiers(document, {0, 0}, Qt::ShiftModifier);
        rows(QStringLiteral("2222122222"));
        // Level 6 over the nearer level 2: nothing to paint.
        document.setLevel(6);
        fill.Press(document, {0, 0});
        rows(QStringLiteral("2222122222"));
        // From level 0 at x = 5 to the base at x = 9: 0, 2, 4, 6, 7; only 0 and 2 may go on 2.
        // The preview shows what the release paints, protection included.
        document.setLevel(0);
        Tool& gradient = ToolOf(tools, PaintTool::Gradient);
        gradient.Press(document, {5, 1});
        gradient.Move(document, {9, 1});
        QCOMPARE(TextOf(*gradient.preview()), QStringList(3, QStringLiteral("2222102222")));
        gradient.Release(document, {9, 1});
        rows(QStringLiteral("2222102222"));

        document.setTool(PaintTool::Eraser);
        Drag(ToolOf(tools, PaintTool::Eraser), document, {{4, 0}, {4, 2}, {4, 1}});
        rows(QStringLiteral("2222.02222"));

        document.setProtectNearer(false);
        document.setLevel(6);
        fill.Press(document, {0, 0});
        rows(QStringLiteral("6666.02222"));
    }
};

QTEST_MAIN(ToolsTest)
#include "tst_tools.moc"
