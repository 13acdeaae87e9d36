// The live preview: its frames are the GIF's frames of the document's latest state, rendered off
// the GUI thread, latest wins; and the editor's menu item and shutdown around it.
#include "../window/ScriptedPrompts.h"

#include "document/EditorDocument.h"
#include "editor/DepthPaintDlg.h"
#include "editor/preview/PreviewWindow.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
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

} // namespace

class PreviewTest : public QObject {
    Q_OBJECT

    // Waits until the renderer is idle with nothing waiting.
    static bool Settled(const PreviewWindow& w) {
        return QTest::qWaitFor([&] { return !w.renderer().isRendering(); }, 5000) &&
               (QTest::qWait(50), !w.renderer().isRendering());
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

        // Nothing renders in the middle of a stroke; its end renders the new state.
        ready.clear();
        doc.setPenWidth(32);
        doc.BeginStroke({120, 20});
        doc.ContinueStroke({120, 180});
        QVERIFY(!preview.renderer().isRendering());
        doc.EndStroke({20, 180});
        QVERIFY(Settled(preview));
        QCOMPARE(ready.count(), 1);
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
};

QTEST_MAIN(PreviewTest)
#include "tst_preview.moc"
