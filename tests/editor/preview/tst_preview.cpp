// The live preview: its frames are the GIF's frames of the document's latest state, rendered off
// the GUI thread, latest wins; and the editor's menu item and shutdown around it.
#include "../window/ScriptedPrompts.h"

#include "document/EditorDocument.h"
#include "editor/DepthPaintDlg.h"
#include "editor/preview/PreviewWindow.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QThreadPool>
#include <QtTest>

using namespace kelvaro;
using kelvaro::test::ScriptedPrompts;

namespace {

// A picture with detail everywhere, large enough to sway visibly.
ImageHandle Photo(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb((x * 7) & 0xff, (y * 5) & 0xff, ((x ^ y) * 3) & 0xff));
    return ImageHandle(image);
}

std::vector<QImage> Expected(const EditorDocument& doc, SwayDirection direction) {
    std::vector<QImage> frames;
    for (ImageHandle& f : RenderSwayFrames(doc.picture(), doc.depthMap(), direction))
        frames.push_back(f.image());
    return frames;
}

void Stroke(EditorDocument& doc, int level, QPoint a, QPoint b) {
    doc.setLevel(level);
    doc.BeginStroke(a);
    doc.ContinueStroke((a + b) / 2);
    doc.EndStroke(b);
}

// The preview's control of this name; the test ends when there is none.
template <typename T> T* Control(const QWidget& window, const char* name) {
    T* control = window.findChild<T*>(QLatin1String(name));
    if (!control)
        qFatal("no control %s", name);
    return control;
}

} // namespace

class PreviewTest : public QObject {
    Q_OBJECT

    // Waits until the renderer is idle with nothing waiting.
    static bool Settled(const PreviewWindow& w) {
        return QTest::qWaitFor([&] { return !w.renderer().isRendering(); }, 5000) &&
               (QTest::qWait(50), !w.renderer().isRendering());
    }

    // Waits until no render runs; during a stroke the playing frame starts new ones as it turns.
    static bool Idle(const PreviewWindow& w) {
        return QTest::qWaitFor([&] { return !w.renderer().isRendering(); }, 5000);
    }

private slots:
    void framesFollowTheDocument() {
        EditorDocument doc;
        PreviewWindow preview(doc);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QCOMPARE(preview.windowTitle(), QStringLiteral("プレビュー"));
        const auto* hint = preview.findChild<QLabel*>();
        QVERIFY(hint && hint->isVisible());
        QCOMPARE(hint->text(), QStringLiteral("画像を開くとプレビューが表示されます"));

        QSignalSpy ready(&preview.renderer(), &PreviewRenderer::framesReady);
        QVERIFY(doc.ReplacePicture(Photo(240, 200)));
        Stroke(doc, 0, {60, 60}, {180, 150});
        QVERIFY(Settled(preview));
        QCOMPARE(preview.renderer().frames(), Expected(doc, SwayDirection::Horizontal));
        QVERIFY(!hint->isVisible());

        // In the middle of a stroke the frame playing is rendered alone, from the map as it is,
        // and shown; the cycle is not rendered until the stroke ends, which renders it once.
        ready.clear();
        QSignalSpy live(&preview.renderer(), &PreviewRenderer::liveFrameReady);
        doc.setPenWidth(32);
        doc.BeginStroke({120, 20});
        doc.ContinueStroke({120, 180});
        QVERIFY(Idle(preview));
        QVERIFY(!live.isEmpty());
        QCOMPARE(ready.count(), 0);
        const std::vector<QImage> midStroke = Expected(doc, SwayDirection::Horizontal);
        const int index = preview.renderer().liveFrameIndex();
        QVERIFY(index >= 0 && index < 8);
        QCOMPARE(preview.renderer().liveFrame(), midStroke[size_t(index)]);
        QCOMPARE(preview.shownFrame(), preview.renderer().liveFrame());
        // The playing frame moves on and each is rendered afresh; frame 2, the widest turn, now
        // differs from the cycle of before the stroke.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return preview.renderer().liveFrameIndex() == 2 &&
                       !preview.renderer().isRendering();
            },
            5000));
        QCOMPARE(preview.renderer().liveFrame(), midStroke[2]);
        QCOMPARE(preview.shownFrame(), midStroke[2]);
        QVERIFY(preview.shownFrame() != preview.renderer().frames()[2]);
        doc.EndStroke({20, 180});
        QVERIFY(Settled(preview));
        QCOMPARE(ready.count(), 1);
        QCOMPARE(preview.shownFrame(), preview.renderer().frames()[size_t(preview.currentFrame())]);
        const std::vector<QImage> horizontal = Expected(doc, SwayDirection::Horizontal);
        QCOMPARE(preview.renderer().frames(), horizontal);

        // The direction switch renders the other sway.
        preview.SetDirection(SwayDirection::Vertical);
        QVERIFY(Settled(preview));
        QCOMPARE(preview.renderer().frames(), Expected(doc, SwayDirection::Vertical));
        QVERIFY(preview.renderer().frames()[2] != horizontal[2]);

        // Changes while hidden render on the next show; undo and clear are followed too.
        preview.hide();
        doc.Undo();
        QVERIFY(!preview.renderer().isRendering());
        preview.show();
        QVERIFY(Settled(preview));
        QCOMPARE(preview.renderer().frames(), Expected(doc, SwayDirection::Vertical));
        doc.Clear();
        QVERIFY(Settled(preview));
        QCOMPARE(preview.renderer().frames(), Expected(doc, SwayDirection::Vertical));
    }

    // A pen that keeps moving: the frame it plays keeps coming from the map as it is, the frame
    // following the playing one; when the pen rests the last frame shown is of the map as it is.
    // Frames overtaken by newer frames still show, a cycle overtaken by a frame does not.
    void strokeInProgressIsFollowed() {
        EditorDocument doc;
        PreviewWindow preview(doc);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QVERIFY(doc.ReplacePicture(Photo(320, 240)));
        QVERIFY(Settled(preview));
        QSignalSpy live(&preview.renderer(), &PreviewRenderer::liveFrameReady);
        QSignalSpy cycles(&preview.renderer(), &PreviewRenderer::framesReady);
        QSet<int> indices;
        connect(&preview.renderer(), &PreviewRenderer::liveFrameReady, this,
                [&] { indices << preview.renderer().liveFrameIndex(); });
        doc.setLevel(2);
        doc.setPenWidth(12);
        doc.BeginStroke({10, 10});
        for (int i = 1; i <= 40; ++i) {
            doc.ContinueStroke({10 + 7 * i, 10 + 5 * i});
            QTest::qWait(10);
        }
        QTest::qWait(50);
        QVERIFY(Idle(preview));
        QVERIFY(live.count() >= 3);
        QVERIFY(indices.size() >= 2); // it kept playing
        QCOMPARE(cycles.count(), 0);
        const int index = preview.renderer().liveFrameIndex();
        QCOMPARE(preview.renderer().liveFrame(),
                 Expected(doc, SwayDirection::Horizontal)[size_t(index)]);
        doc.EndStroke({300, 220});
        QVERIFY(Settled(preview));
        QCOMPARE(cycles.count(), 1);

        // Straight at the renderer: two frames asked back to back both show; a cycle asked and
        // overtaken by a frame does not.
        PreviewRenderer renderer;
        QSignalSpy frames(&renderer, &PreviewRenderer::liveFrameReady);
        QSignalSpy cycle(&renderer, &PreviewRenderer::framesReady);
        renderer.RequestFrame(doc.picture(), doc.depthMap(), SwayDirection::Vertical, {}, 1, {});
        renderer.RequestFrame(doc.picture(), doc.depthMap(), SwayDirection::Vertical, {}, 2, {});
        QVERIFY(QTest::qWaitFor([&] { return frames.count() == 2; }, 5000));
        QCOMPARE(renderer.liveFrameIndex(), 2);
        QCOMPARE(renderer.liveFrame(), Expected(doc, SwayDirection::Vertical)[2]);
        renderer.Request(doc.picture(), doc.depthMap(), SwayDirection::Vertical);
        renderer.RequestFrame(doc.picture(), doc.depthMap(), SwayDirection::Vertical, {}, 5, {});
        QVERIFY(QTest::qWaitFor([&] { return frames.count() == 3; }, 5000));
        QVERIFY(QTest::qWaitFor([&] { return !renderer.isRendering(); }, 5000));
        QCOMPARE(cycle.count(), 0);
        QCOMPARE(renderer.liveFrame(), Expected(doc, SwayDirection::Vertical)[5]);
    }

    // A burst of changes: renders overtaken by a newer change never show; the frames that do
    // show are those of the latest state.
    void burstShowsOnlyTheLatest() {
        EditorDocument doc;
        PreviewWindow preview(doc);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QVERIFY(doc.ReplacePicture(Photo(320, 240)));
        QVERIFY(Settled(preview));

        // Each time frames show: which state they are of, and which state is current.
        QList<std::vector<QImage>> states;
        QList<std::pair<qsizetype, qsizetype>> shown;
        connect(&preview.renderer(), &PreviewRenderer::framesReady, this, [&] {
            shown << std::pair(states.indexOf(preview.renderer().frames()), states.size() - 1);
        });
        for (int i = 0; i < 6; ++i) {
            Stroke(doc, i, {40 + 40 * i, 20}, {40 + 40 * i, 220});
            states << Expected(doc, SwayDirection::Horizontal);
            // Let the render of this state start (and perhaps finish) before the next change.
            QTest::qWait(i * 6);
        }
        QVERIFY(Settled(preview));
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.last().first, states.size() - 1);
        for (const auto& [state, current] : shown)
            QCOMPARE(state, current);
    }

    // The first place beside the editor: the side with room, the top edges level; with room on
    // neither side, the roomier one, inside the screen and clear of the editor's controls.
    void placeBesideTheEditor() {
        const QRect screen(0, 0, 1920, 1080);
        const QSize size(336, 290);
        // The editor's control row: across its top, below the caption.
        const auto place = [&](const QRect& editor, const QRect& area = QRect(0, 0, 1920, 1080)) {
            const QRect controls(editor.left() + 8, editor.top() + 30, 640, 40);
            return QRect(PreviewWindow::PlaceBeside(editor, controls, size, area), size);
        };
        // Room on both sides: right of it.
        QCOMPARE(place({600, 200, 656, 552}).topLeft(), QPoint(1264, 200));
        // Near the right edge: left of it.
        QCOMPARE(place({1200, 200, 656, 552}).topLeft(), QPoint(1200 - 8 - 336, 200));
        // Exactly enough room on the right still counts.
        QCOMPARE(place({1920 - 656 - 8 - 336, 0, 656, 552}).left(), 1920 - 336);
        // Low on the screen: lifted so its bottom stays on it.
        QCOMPARE(place({600, 900, 656, 552}).bottom(), screen.bottom());
        // A second screen to the right of the first: placed on that screen.
        const QRect second(1920, 0, 1280, 1024);
        QVERIFY(second.contains(place({2100, 100, 656, 552}, second)));
        QCOMPARE(place({2100, 100, 656, 552}, second).left(), 2100 + 656 + 8);

        // 800 x 600: no side has room for it.
        const QRect small(0, 0, 800, 600);
        const QRect editor(72, 24, 656, 552);
        const QRect row(75, 45, 640, 40);
        const QRect p(PreviewWindow::PlaceBeside(editor, row, size, small), size);
        QVERIFY(small.contains(p));
        QVERIFY(!p.intersects(row));
        QCOMPARE(p.right(), small.right()); // the right side has as much room as the left
        const QRect leftRoomier(PreviewWindow::PlaceBeside(editor.translated(60, 0),
                                                           row.translated(60, 0), size, small),
                                size);
        QCOMPARE(leftRoomier.left(), 0);
        QVERIFY(!leftRoomier.intersects(row.translated(60, 0)));
    }

    // Opened from the editor's menu, the preview is beside the editor on its screen and never
    // over its row of controls; moved by the user, it opens there again.
    void opensBesideTheEditor() {
        ScriptedPrompts prompts;
        CDepthPaintDlg editor(prompts);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        editor.OnCommand(cmd::Preview);
        PreviewWindow& preview = editor.preview();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        const QRect controlRow(editor.mapToGlobal(editor.ControlRowRect().topLeft()),
                               editor.ControlRowRect().size());
        QVERIFY(controlRow.height() > 10);
        QVERIFY(!preview.frameGeometry().intersects(controlRow));
        QVERIFY(editor.screen()->availableGeometry().contains(preview.frameGeometry()));
        QCOMPARE(preview.screen(), editor.screen());
        // Beside: one of its vertical edges lies outside the editor's frame.
        const QRect e = editor.frameGeometry();
        const QRect p = preview.frameGeometry();
        QVERIFY(p.right() > e.right() || p.left() < e.left());

        // Its size follows the picture; placed again, still clear of the controls.
        QVERIFY(editor.document().ReplacePicture(Photo(300, 260)));
        QVERIFY(Settled(preview));
        QVERIFY(!preview.frameGeometry().intersects(controlRow));

        preview.move(preview.pos() + QPoint(-30, 17));
        const QPoint moved = preview.pos();
        editor.OnCommand(cmd::Preview);
        editor.OnCommand(cmd::Preview);
        QCOMPARE(preview.pos(), moved);
    }

    // A 20 x 20 picture: the window keeps its direction switch whole, and the frame is shown 8
    // times enlarged (160 x 160), each picture pixel a sharp 8 x 8 square.
    void tinyPictureEnlarged() {
        QCOMPARE(PreviewWindow::Zoom({20, 20}), 8);
        QCOMPARE(PreviewWindow::Zoom({20, 7}), 8);
        QCOMPARE(PreviewWindow::Zoom({30, 50}), 4); // 200 px: 3 would give only 150
        QCOMPARE(PreviewWindow::Zoom({159, 10}), 2);
        QCOMPARE(PreviewWindow::Zoom({160, 10}), 1);
        QCOMPARE(PreviewWindow::Zoom({640, 480}), 1);

        EditorDocument doc;
        PreviewWindow preview(doc);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QVERIFY(doc.ReplacePicture(Photo(20, 20)));
        QVERIFY(Settled(preview));
        preview.SetPaused(true);
        // The controls, each at least as wide as it asks, inside the window.
        const auto* box = preview.findChild<QComboBox*>(QStringLiteral("direction"));
        QVERIFY(box);
        const QList<QWidget*> controls =
            box->parentWidget()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(controls.size() >= 12);
        const auto placed = [&](const QWidget* w) {
            return QRect(w->mapTo(&preview, QPoint(0, 0)), w->size());
        };
        for (const QWidget* control : controls) {
            QVERIFY(control->width() >= control->sizeHint().width());
            QVERIFY(preview.rect().contains(placed(control)));
        }
        // Shrunk by the user as far as it goes: the controls still fit.
        preview.resize(10, 10);
        for (const QWidget* control : controls)
            QVERIFY(preview.rect().contains(placed(control)));
        preview.resize(200, 260);
        QCoreApplication::processEvents();

        const QImage frame = preview.renderer().frames()[size_t(preview.currentFrame())];
        const QImage shot = preview.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int top = box->parentWidget()->geometry().bottom() + 1 + 8;
        const int x0 = 8 + (preview.width() - 16 - 160) / 2;
        const int y0 = top + (preview.height() - top - 8 - 160) / 2;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                for (QPoint d : {QPoint(0, 0), QPoint(7, 0), QPoint(0, 7), QPoint(7, 7)}) {
                    const QPoint at(x0 + 8 * x + d.x(), y0 + 8 * y + d.y());
                    if (shot.pixel(at) != frame.pixel(x, y))
                        QFAIL(qPrintable(QStringLiteral("picture pixel %1,%2 at %3,%4")
                                             .arg(x)
                                             .arg(y)
                                             .arg(at.x())
                                             .arg(at.y())));
                }
    }

    // The menu item opens and closes the window and its check mark follows the window; GIF
    // generation pauses the preview; closing the editor leaves no render running.
    void editorMenuPauseAndClose() {
        ScriptedPrompts prompts;
        auto editor = std::make_unique<CDepthPaintDlg>(prompts);
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        PreviewWindow& preview = editor->preview();
        const auto checked = [&] {
            const std::unique_ptr<QMenu> menu = editor->BuildPopupMenu();
            const QList<QAction*> actions = menu->actions();
            const auto it = std::find_if(actions.begin(), actions.end(), [](QAction* a) {
                return a->data().toInt() == cmd::Preview;
            });
            if (it == actions.end() || !(*it)->isCheckable() || !(*it)->isEnabled())
                qFatal("no preview item");
            return (*it)->isChecked();
        };
        QVERIFY(!checked());
        editor->OnCommand(cmd::Preview);
        QVERIFY(preview.isVisible());
        QVERIFY(checked());
        preview.close();
        QVERIFY(!checked());
        editor->OnCommand(cmd::Preview);
        QVERIFY(checked());
        editor->OnCommand(cmd::Preview);
        QVERIFY(!preview.isVisible());
        editor->OnCommand(cmd::Preview);

        QVERIFY(editor->document().ReplacePicture(Photo(240, 200)));
        QVERIFY(Settled(preview));
        QList<bool> pausedAtSteps;
        editor->SetProgressSink([&](int) { pausedAtSteps << preview.isPaused(); });
        QTemporaryDir dir;
        prompts.filePaths = {dir.filePath(QStringLiteral("a.gif"))};
        prompts.swayDirections = {0};
        prompts.outputSizes = {4};
        prompts.sizeLimits = {QString()};
        editor->OnGenerateGif();
        QVERIFY(!pausedAtSteps.isEmpty());
        QVERIFY(!pausedAtSteps.contains(false));
        QVERIFY(!preview.isPaused());

        // A render is running when the editor closes.
        Stroke(editor->document(), 3, {10, 10}, {200, 190});
        QVERIFY(preview.renderer().isRendering());
        prompts.saveChoices = {SaveChoice::Discard}; // the stroke was never saved
        editor->OnCommand(cmd::Exit);
        QVERIFY(!preview.isVisible());
        QVERIFY(!preview.renderer().isRendering());
        editor.reset();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(5000));
    }

    // The GIF is what the preview shows: before the preview was ever opened the classic cycle
    // with the direction dialog on 横揺れ; after its controls are changed, the direction dialog
    // opens on the preview's direction and the GIF has the preview's frame count and delay, and
    // the preview plays that many frames.
    void gifFollowsThePreviewsControls() {
        ScriptedPrompts prompts;
        CDepthPaintDlg editor(prompts);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QVERIFY(editor.document().ReplacePicture(Photo(120, 100)));
        Stroke(editor.document(), 1, {30, 30}, {90, 70});
        QTemporaryDir dir;
        const auto generate = [&](const QString& name, int direction) {
            prompts.filePaths = {dir.filePath(name)};
            prompts.swayDirections = {direction};
            prompts.outputSizes = {0};
            prompts.sizeLimits = {QString()};
            editor.OnGenerateGif();
            QImageReader reader(dir.filePath(name));
            QList<int> delays;
            QImage frame;
            while (reader.read(&frame))
                delays << reader.nextImageDelay();
            return delays;
        };
        QCOMPARE(generate(QStringLiteral("classic.gif"), 0), QList<int>(8, 60));
        QCOMPARE(prompts.swayDirectionInitials, std::vector<int>{0});

        PreviewWindow& preview = editor.preview();
        editor.OnCommand(cmd::Preview);
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        Control<QComboBox>(preview, "direction")->setCurrentIndex(1);
        Control<QSpinBox>(preview, "frames")->setValue(12);
        Control<QDoubleSpinBox>(preview, "angle")->setValue(4.5);
        Control<QSpinBox>(preview, "pivot")->setValue(3);
        Control<QSpinBox>(preview, "delay")->setValue(130);
        Control<QComboBox>(preview, "holeFill")->setCurrentIndex(1);
        const SwayOptions& shown = preview.options();
        QCOMPARE(shown.frames, 12);
        QCOMPARE(shown.angle, 4.5);
        QCOMPARE(shown.pivot, 3);
        QCOMPARE(shown.delayMs, 130);
        QCOMPARE(shown.holeFill, HoleFill::Far);
        QCOMPARE(preview.direction(), SwayDirection::Vertical);
        QVERIFY(Settled(preview));
        std::vector<QImage> expected;
        for (ImageHandle& f :
             RenderSwayFrames(editor.document().picture(), editor.document().depthMap(),
                              SwayDirection::Vertical, shown))
            expected.push_back(f.image());
        QCOMPARE(preview.renderer().frames(), expected);
        // It plays all twelve.
        QVERIFY(QTest::qWaitFor([&] { return preview.currentFrame() == 11; }, 5000));

        QCOMPARE(generate(QStringLiteral("preview.gif"), 1), QList<int>(12, 130));
        QCOMPARE(prompts.swayDirectionInitials, (std::vector<int>{0, 1}));
        // Closed again, the preview keeps its settings for the next GIF.
        preview.hide();
        QCOMPARE(generate(QStringLiteral("again.gif"), 0), QList<int>(12, 130));
        QCOMPARE(prompts.swayDirectionInitials, (std::vector<int>{0, 1, 1}));
    }
};

QTEST_MAIN(PreviewTest)
#include "tst_preview.moc"
