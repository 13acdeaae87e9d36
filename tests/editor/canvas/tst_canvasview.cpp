// The canvas widget: presses land on the map pixel under the pointer at every zoom, Ctrl+wheel
// zooms about the pointer, the wheel and drags scroll, and the brush outline is the footprint a
// press paints.
#include "document/EditorDocument.h"
#include "editor/canvas/CanvasView.h"
#include "editor/tools/Tools.h"

#include <QScrollBar>
#include <QtTest>

using namespace kelvaro;

namespace {

constexpr int k300 = 6; // index of 300 % in kZoomLevels
constexpr int k400 = 7;

// The map pixels that differ from the base level.
QList<QPoint> Painted(const EditorDocument& document) {
    QList<QPoint> points;
    const DepthMap& map = document.depthMap();
    for (int y = 0; y < map.height(); ++y)
        for (int x = 0; x < map.width(); ++x)
            if (map.Pixel(x, y) != DepthPalette[BaseLevel])
                points << QPoint(x, y);
    return points;
}

void Wheel(QWidget* target, QPoint at, QPoint angle, Qt::KeyboardModifiers modifiers) {
    QWheelEvent wheel(QPointF(at), QPointF(target->mapToGlobal(at)), QPoint(), angle, Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &wheel);
}

} // namespace

class CanvasViewTest : public QObject {
    Q_OBJECT

    EditorDocument document_;
    std::unique_ptr<CanvasView> canvas_;
    PenTool pen_;
    int width_ = 1;

    QWidget* Viewport() const { return canvas_->viewport(); }
    void Open(int w, int h) {
        QImage picture(w, h, QImage::Format_RGB32);
        picture.fill(qRgb(90, 120, 150));
        QVERIFY(document_.ReplacePicture(ImageHandle(picture)));
        QCoreApplication::processEvents();
    }
    // A click of a 2-pixel pen at a viewport point: the map pixel whose dot it painted, if any.
    QList<QPoint> Click(QPoint at) {
        document_.Clear();
        width_ = 2;
        QTest::mousePress(Viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, at);
        QRegion painted;
        for (const QPoint& p : Painted(document_))
            painted += QRect(p, QSize(1, 1));
        for (const QPoint& p : Painted(document_))
            if (BrushFootprint(p, 2, document_.size()) == painted)
                return {p};
        return painted.isEmpty() ? QList<QPoint>{} : QList<QPoint>{QPoint(-1, -1)};
    }

private slots:
    void init() {
        canvas_ = std::make_unique<CanvasView>(document_);
        canvas_->setToolSource([this]() -> Tool& { return pen_; });
        canvas_->setPressWidthSource([this] { return width_; });
        connect(canvas_.get(), &CanvasView::pressing, this,
                [this] { document_.setPenWidth(width_); });
        canvas_->resize(500, 400);
        canvas_->show();
        QVERIFY(QTest::qWaitForWindowExposed(canvas_.get()));
        document_.setLevel(0);
        width_ = 1;
    }
    void cleanup() { canvas_.reset(); }

    // At 300 % every map pixel is a 3 x 3 square; a press anywhere in it paints that pixel, the
    // first and last rows and columns of the map included; a press beside the canvas paints none.
    void pressAt300LandsOnThePixelUnderIt() {
        Open(300, 200);
        canvas_->ZoomAbout(k300, QPointF(0, 0));
        QCOMPARE(canvas_->zoom(), (ZoomFactor{3, 1}));
        canvas_->horizontalScrollBar()->setValue(0);
        canvas_->verticalScrollBar()->setValue(0);
        QPoint o = canvas_->canvasRect().topLeft();
        QVERIFY(o.x() > 0 && o.y() > 0);
        QCOMPARE(Click(o), QList<QPoint>{QPoint(0, 0)});
        QCOMPARE(Click(o + QPoint(2, 2)), QList<QPoint>{QPoint(0, 0)});
        QCOMPARE(Click(o + QPoint(3, 2)), QList<QPoint>{QPoint(1, 0)});
        QCOMPARE(Click(o + QPoint(2, 3)), QList<QPoint>{QPoint(0, 1)});
        QCOMPARE(Click(o + QPoint(3 * 17 + 1, 3 * 40 + 2)), QList<QPoint>{QPoint(17, 40)});
        QCOMPARE(Click(o + QPoint(-1, 5)), QList<QPoint>{});
        QCOMPARE(Click(o + QPoint(5, -1)), QList<QPoint>{});

        // Scrolled to the far corner: the last map pixel ends at the canvas's last screen pixel.
        canvas_->horizontalScrollBar()->setValue(canvas_->horizontalScrollBar()->maximum());
        canvas_->verticalScrollBar()->setValue(canvas_->verticalScrollBar()->maximum());
        const QRect c = canvas_->canvasRect();
        QCOMPARE(c.size(), QSize(900, 600));
        QVERIFY(Viewport()->rect().contains(c.bottomRight() + QPoint(1, 1)));
        QCOMPARE(Click(c.bottomRight()), QList<QPoint>{QPoint(299, 199)});
        QCOMPARE(Click(c.bottomRight() - QPoint(2, 2)), QList<QPoint>{QPoint(299, 199)});
        QCOMPARE(Click(c.bottomRight() - QPoint(3, 0)), QList<QPoint>{QPoint(298, 199)});
        QCOMPARE(Click(c.bottomRight() + QPoint(1, 0)), QList<QPoint>{});
        QCOMPARE(Click(c.bottomRight() + QPoint(0, 1)), QList<QPoint>{});
    }

    // At 100 % the first row and column of the canvas rectangle stay outside for a press, as the
    // editor has always had it; below 100 % each screen pixel stands for the map pixel it shows.
    void pressAt100And50() {
        Open(200, 150);
        const QPoint o = canvas_->canvasRect().topLeft();
        QCOMPARE(Click(o), QList<QPoint>{});
        QCOMPARE(Click(o + QPoint(1, 1)), QList<QPoint>{QPoint(1, 1)});
        QCOMPARE(Click(o + QPoint(199, 149)), QList<QPoint>{QPoint(199, 149)});
        canvas_->ZoomAbout(2, QPointF(0, 0)); // 1/2
        const QPoint h = canvas_->canvasRect().topLeft();
        QCOMPARE(canvas_->canvasRect().size(), QSize(100, 75));
        QCOMPARE(Click(h), QList<QPoint>{QPoint(0, 0)});
        QCOMPARE(Click(h + QPoint(99, 74)), QList<QPoint>{QPoint(198, 148)});
    }

    // Ctrl+wheel zooms one level a notch about the pointer: the map point under it stays there.
    void ctrlWheelZoomsAboutThePointer() {
        Open(400, 300);
        canvas_->ZoomAbout(k300, QPointF(250, 200));
        const QPoint pointer(180, 140);
        const QPoint under = canvas_->MapPointAt(pointer);
        // Where in its square the pointer is, in map pixels.
        const auto within = [&] {
            const QRect square = canvas_->state().ScreenRectOf(QRect(under, QSize(1, 1)));
            return QPointF(pointer - square.topLeft()) / square.width();
        };
        const QPointF before = within();
        Wheel(Viewport(), pointer, QPoint(0, 120), Qt::ControlModifier);
        QCOMPARE(canvas_->zoomIndex(), k400);
        QCOMPARE(canvas_->MapPointAt(pointer), under);
        QVERIFY(std::abs(within().x() - before.x()) < 0.5);
        Wheel(Viewport(), pointer, QPoint(0, -240), Qt::ControlModifier);
        QCOMPARE(canvas_->zoomIndex(), k300 - 1);
        QCOMPARE(canvas_->MapPointAt(pointer), under);
        // Half notches add up.
        Wheel(Viewport(), pointer, QPoint(0, 60), Qt::ControlModifier);
        QCOMPARE(canvas_->zoomIndex(), k300 - 1);
        Wheel(Viewport(), pointer, QPoint(0, 60), Qt::ControlModifier);
        QCOMPARE(canvas_->zoomIndex(), k300);
        QCOMPARE(canvas_->MapPointAt(pointer), under);
    }

    // The wheel scrolls down, Shift+wheel sideways; a middle drag and a Space drag pan.
    void wheelAndDragsScroll() {
        Open(400, 300);
        canvas_->ZoomAbout(k300, QPointF(0, 0));
        QScrollBar* h = canvas_->horizontalScrollBar();
        QScrollBar* v = canvas_->verticalScrollBar();
        h->setValue(100);
        v->setValue(100);
        Wheel(Viewport(), {50, 50}, QPoint(0, -120), Qt::NoModifier);
        QCOMPARE(h->value(), 100);
        QVERIFY(v->value() > 100);
        const int down = v->value();
        Wheel(Viewport(), {50, 50}, QPoint(0, -120), Qt::ShiftModifier);
        QVERIFY(h->value() > 100);
        QCOMPARE(v->value(), down);

        h->setValue(200);
        v->setValue(200);
        QTest::mousePress(Viewport(), Qt::MiddleButton, {}, {100, 100});
        QTest::mouseMove(Viewport(), {70, 90});
        QTest::mouseRelease(Viewport(), Qt::MiddleButton, {}, {70, 90});
        QCOMPARE(h->value(), 230);
        QCOMPARE(v->value(), 210);
        QVERIFY(Painted(document_).isEmpty());

        QTest::keyPress(canvas_.get(), Qt::Key_Space);
        QTest::mousePress(Viewport(), Qt::LeftButton, {}, {100, 100});
        QTest::mouseMove(Viewport(), {110, 120});
        QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, {110, 120});
        QTest::keyRelease(canvas_.get(), Qt::Key_Space);
        QCOMPARE(h->value(), 220);
        QCOMPARE(v->value(), 190);
        QVERIFY(Painted(document_).isEmpty()); // panning paints nothing
        QCOMPARE(Click({100, 100}).size(), 1);
    }

    // Fit to window: the largest level at which the canvas and its margins fit the area.
    void fitAndSteps() {
        QCOMPARE(CanvasView::FitZoomIndex({20, 20}, {650, 600}), 11);  // 1600 %: 320 px
        QCOMPARE(CanvasView::FitZoomIndex({640, 640}, {650, 600}), 3); // 2/3: 427 px
        QCOMPARE(CanvasView::FitZoomIndex({640, 480}, {650, 600}), 4); // 100 %
        QCOMPARE(CanvasView::FitZoomIndex({640, 1}, {500, 600}), 3);
        QCOMPARE(CanvasView::FitZoomIndex({640, 640}, {20, 20}), 0);
        Open(100, 80);
        canvas_->ZoomToFit();
        QCOMPARE(canvas_->zoom(), (ZoomFactor{4, 1}));
        QVERIFY(Viewport()->rect().contains(canvas_->canvasRect()));
        for (int i = 0; i < 20; ++i)
            canvas_->ZoomIn();
        QCOMPARE(canvas_->zoomIndex(), int(kZoomLevels.size()) - 1);
        for (int i = 0; i < 20; ++i)
            canvas_->ZoomOut();
        QCOMPARE(canvas_->zoomIndex(), 0);
        canvas_->ZoomActual();
        QCOMPARE(canvas_->zoom(), ZoomFactor{});
        // A new picture opens at 100 %.
        canvas_->ZoomIn();
        Open(30, 30);
        QCOMPARE(canvas_->zoomIndex(), kActualSizeZoom);
    }

    // The outline under the pointer is the footprint a press there paints, at the zoom.
    void outlineIsTheFootprintOfAPress() {
        Open(60, 40);
        canvas_->ZoomAbout(k300, QPointF(0, 0));
        width_ = 16; // not the document's pen width: the outline shows what the press takes
        for (const QPoint map : {QPoint(20, 20), QPoint(0, 0), QPoint(59, 39)}) {
            const QPoint at = canvas_->state().ScreenRectOf(QRect(map, QSize(1, 1))).center();
            if (!Viewport()->rect().contains(at))
                continue;
            QTest::mouseMove(Viewport(), at);
            QCOMPARE(canvas_->hoverPoint(), std::optional<QPoint>(map));
            const QRegion footprint = BrushFootprint(map, 16, document_.size());
            QCOMPARE(canvas_->outlineArea(),
                     FootprintOutlineArea(canvas_->state().ScreenRegionOf(footprint)));
            // The press paints exactly the footprint.
            QTest::mousePress(Viewport(), Qt::LeftButton, {}, at);
            QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, at);
            QRegion painted;
            for (const QPoint& p : Painted(document_))
                painted += QRect(p, QSize(1, 1));
            QCOMPARE(painted, footprint);
            Open(60, 40);
            canvas_->ZoomAbout(k300, QPointF(0, 0));
        }
        // Moving over the canvas, with and without a stroke, near the edge and away from it,
        // leaves nothing of an earlier outline: the area shows what a full repaint shows.
        Open(60, 40);
        canvas_->ZoomAbout(k300, QPointF(0, 0));
        const auto screen = [&](QPoint map) {
            return canvas_->state().ScreenRectOf(QRect(map, QSize(1, 1))).center();
        };
        // What is on screen (grab() would paint the widget anew).
        const auto drawn = [&] {
            QApplication::processEvents();
            const QPoint at = Viewport()->mapTo(Viewport()->window(), QPoint(0, 0));
            return Viewport()
                ->screen()
                ->grabWindow(Viewport()->window()->winId(), at.x(), at.y(), Viewport()->width(),
                             Viewport()->height())
                .toImage();
        };
        // The screen now against a full repaint of it, in this order.
        const auto unchangedByRepaint = [&] {
            const QImage now = drawn();
            Viewport()->update();
            return now == drawn();
        };
        QTest::mouseMove(Viewport(), screen({20, 20}));
        drawn();
        for (const QPoint map : {QPoint(24, 22), QPoint(2, 2), QPoint(25, 12)}) {
            QTest::mouseMove(Viewport(), screen(map));
            QVERIFY(unchangedByRepaint());
        }
        width_ = 8; // a new width while the pointer stays
        canvas_->RefreshPointer();
        QCOMPARE(canvas_->outlineArea(),
                 FootprintOutlineArea(canvas_->state().ScreenRegionOf(
                     BrushFootprint(*canvas_->hoverPoint(), 8, document_.size()))));
        QVERIFY(unchangedByRepaint());
        QTest::mousePress(Viewport(), Qt::LeftButton, {}, screen({25, 12}));
        for (const QPoint map : {QPoint(28, 14), QPoint(31, 18), QPoint(1, 1)}) {
            QTest::mouseMove(Viewport(), screen(map));
            QVERIFY(unchangedByRepaint());
        }
        QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, screen({1, 1}));
        QVERIFY(unchangedByRepaint());

        // A tool without an outline shows none.
        FillTool fill;
        canvas_->setToolSource([&fill]() -> Tool& { return fill; });
        canvas_->RefreshPointer();
        QVERIFY(canvas_->outlineArea().isEmpty());
    }
};

QTEST_MAIN(CanvasViewTest)
#include "tst_canvasview.moc"
