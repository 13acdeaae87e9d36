#include "depth/Painting.h"
#include "depth/UndoHistory.h"

#include <QTest>

#include <vector>

using namespace kelvaro;

namespace {

// Edit n paints a dot of level n % 9 at a place of its own, so every state differs.
void Edit(DepthMap& map, int n) {
    DrawStrokeSegment(map, {4 + 3 * n, 10}, {4 + 3 * n, 10}, 2, DepthPalette[size_t(n % 9)]);
}

QImage Fresh(const DepthMap& map) {
    DepthMap fresh;
    if (!fresh.Create(map.width(), map.height()))
        qFatal("no map");
    return fresh.surface();
}

} // namespace

class TestUndoHistory : public QObject {
    Q_OBJECT
private slots:
    void nothingToUndoOrRedoAfterAReset() {
        DepthMap map;
        QVERIFY(map.Create(40, 20));
        UndoHistory history;
        QCOMPARE(history.position(), -1);
        QVERIFY(!history.Undo(map));
        QVERIFY(!history.Redo(map));

        history.Reset(map);
        QCOMPARE(history.count(), 1);
        QCOMPARE(history.position(), 0);
        QVERIFY(!history.Undo(map));
        QVERIFY(!history.Redo(map));
        QCOMPARE(map.surface(), Fresh(map));
    }

    void undoTwiceAndRedoOnceAfterThreeStrokes() {
        DepthMap map;
        QVERIFY(map.Create(40, 20));
        UndoHistory history;
        history.Reset(map);
        std::vector<QImage> states{map.surface().copy()};
        for (int n = 1; n <= 3; ++n) {
            Edit(map, n);
            history.RecordSnapshot(map);
            states.push_back(map.surface().copy());
        }
        QVERIFY(history.Undo(map));
        QVERIFY(history.Undo(map));
        QCOMPARE(map.surface(), states[1]);
        QVERIFY(history.Redo(map));
        QCOMPARE(map.surface(), states[2]);
        QCOMPARE(history.position(), 2);
        // An entry can be restored any number of times: undo and redo again.
        QVERIFY(history.Undo(map));
        QVERIFY(history.Redo(map));
        QVERIFY(history.Redo(map));
        QCOMPARE(map.surface(), states[3]);
        QVERIFY(!history.Redo(map));
        QCOMPARE(map.surface(), states[3]);
    }

    void aNewEditAfterUndoCutsTheRedoStates() {
        DepthMap map;
        QVERIFY(map.Create(40, 20));
        UndoHistory history;
        history.Reset(map);
        Edit(map, 1);
        history.RecordSnapshot(map);
        Edit(map, 2);
        history.RecordSnapshot(map);
        QVERIFY(history.Undo(map));
        Fill(map, {0, 0}, DepthPalette[4]);
        history.RecordSnapshot(map);
        const QImage filled = map.surface().copy();
        QCOMPARE(history.count(), 3);
        QVERIFY(!history.CanRedo());
        QVERIFY(!history.Redo(map));
        QCOMPARE(map.surface(), filled);
    }

    void eightEditsLeaveTheFreshMapBehind() {
        DepthMap map;
        QVERIFY(map.Create(40, 20));
        UndoHistory history;
        history.Reset(map);
        std::vector<QImage> states{map.surface().copy()};
        for (int n = 1; n <= 8; ++n) {
            Edit(map, n);
            history.RecordSnapshot(map);
            states.push_back(map.surface().copy());
            QVERIFY(history.count() <= UndoHistory::kMaxEntries);
        }
        QCOMPARE(history.count(), 8);
        for (int i = 0; i < 7; ++i)
            QVERIFY(history.Undo(map));
        QCOMPARE(map.surface(), states[1]);
        QVERIFY(!history.Undo(map));
        QCOMPARE(map.surface(), states[1]);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(history.snapshot(i), states[size_t(i + 1)]);
    }

    void withoutAMapNothingHappens() {
        DepthMap map;
        QVERIFY(map.Create(10, 10));
        UndoHistory history;
        history.Reset(map);
        Edit(map, 1);
        history.RecordSnapshot(map);
        map.Release();
        QVERIFY(!history.Undo(map));
        QCOMPARE(history.position(), 1);
        history.Clear();
        QCOMPARE(history.count(), 0);
        QVERIFY(!history.Undo(map));
        QVERIFY(!history.Redo(map));
    }

    void everySnapshotThatLeavesIsReleased() {
        // A shared copy of a snapshot is detached (sole owner of its pixels) exactly when the
        // history no longer holds that snapshot.
        DepthMap map;
        QVERIFY(map.Create(30, 30));
        UndoHistory history;
        history.Reset(map);
        QImage fresh = history.snapshot(0);
        QVERIFY(!fresh.isDetached());

        std::vector<QImage> held;
        for (int n = 1; n <= 7; ++n) {
            Edit(map, n);
            history.RecordSnapshot(map);
            held.push_back(history.snapshot(history.position()));
        }
        QVERIFY(!fresh.isDetached());
        Edit(map, 8);
        history.RecordSnapshot(map); // the ninth state pushes the fresh map out
        QVERIFY(fresh.isDetached());

        // Redo states cut off by a new edit.
        QVERIFY(history.Undo(map));
        QVERIFY(history.Undo(map));
        QImage cut = history.snapshot(7);
        QVERIFY(!cut.isDetached());
        Edit(map, 20);
        history.RecordSnapshot(map);
        QVERIFY(cut.isDetached());

        // Everything at a reset.
        QVERIFY(!held[3].isDetached()); // edit 4, still held
        history.Reset(map);
        for (const QImage& image : held)
            QVERIFY(image.isDetached());

        // Many edits: the count never grows past the limit.
        for (int n = 0; n < 200; ++n) {
            Edit(map, n % 10);
            history.RecordSnapshot(map);
        }
        QCOMPARE(history.count(), UndoHistory::kMaxEntries);
        QCOMPARE(history.position(), UndoHistory::kMaxEntries - 1);
    }
};

QTEST_GUILESS_MAIN(TestUndoHistory)
#include "tst_undohistory.moc"
