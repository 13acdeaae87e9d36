// The editor document without any window: every editing operation, its undo step and the map
// rectangle it reports.
#include "document/EditorDocument.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kelvaro;

namespace {

// Small maps as text, one string a row: '.' is the base level, '0' to '8' a palette level, 'w'
// white (a colour outside the palette).
QImage ImageFromText(const QStringList& rows) {
    QImage image(int(rows.first().size()), int(rows.size()), QImage::Format_RGB32);
    for (int y = 0; y < rows.size(); ++y)
        for (int x = 0; x < rows[y].size(); ++x) {
            const char c = rows[y][x].toLatin1();
            const COLORREF colour = c == '.'               ? DepthPalette[BaseLevel]
                                    : c >= '0' && c <= '8' ? DepthPalette[size_t(c - '0')]
                                                           : 0xFFFFFF;
            image.setPixel(x, y, ArgbFromColorref(colour));
        }
    return image;
}

QStringList TextOf(const DepthMap& map) {
    QStringList rows;
    for (int y = 0; y < map.height(); ++y) {
        QString row;
        for (int x = 0; x < map.width(); ++x) {
            const COLORREF c = map.Pixel(x, y);
            const std::optional<DepthLevel> level = LevelOfColour(c);
            row += c == DepthPalette[BaseLevel] ? QLatin1Char('.')
                   : c == 0xFFFFFF              ? QLatin1Char('w')
                   : level                      ? QChar(u'0' + *level)
                                                : QLatin1Char('?');
        }
        rows << row;
    }
    return rows;
}

QStringList Blank(int w, int h) {
    return QStringList(h, QString(w, QLatin1Char('.')));
}

ImageHandle Picture(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(90, 140, 60));
    return ImageHandle(image);
}

// The rectangles of every changed() so far, and forgets them.
QList<QRect> Take(QSignalSpy& spy) {
    QList<QRect> rects;
    for (const QList<QVariant>& args : spy)
        rects << args.at(0).toRect();
    spy.clear();
    return rects;
}

} // namespace

class DocumentTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<EditorDocument> doc_;
    std::unique_ptr<QSignalSpy> changed_;
    std::unique_ptr<QSignalSpy> replaced_;

    QStringList Map() const { return TextOf(doc_->depthMap()); }
    void Load(int w, int h) {
        QVERIFY(doc_->ReplacePicture(Picture(w, h)));
        changed_->clear();
        replaced_->clear();
    }
    // Puts a map drawn as text on the document through a depth-map file.
    void SetMap(const QStringList& rows) {
        const QString path = dir_.filePath(QStringLiteral("map.bmp"));
        QVERIFY(ImageFromText(rows).save(path));
        QVERIFY(doc_->LoadDepthMap(path));
    }
    int Steps() const { return doc_->history().count(); }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        doc_ = std::make_unique<EditorDocument>();
        changed_ = std::make_unique<QSignalSpy>(doc_.get(), &EditorDocument::changed);
        replaced_ = std::make_unique<QSignalSpy>(doc_.get(), &EditorDocument::pictureReplaced);
    }

    // Modified: the map differs from the one opened, saved or loaded last.
    void modifiedSinceOpenedSavedOrLoaded() {
        QVERIFY(!doc_->isModified()); // no picture
        Load(6, 4);
        QVERIFY(!doc_->isModified());
        doc_->setLevel(BaseLevel);
        doc_->Fill({0, 0}); // the base level on the base level: an undo step, no change
        QVERIFY(!doc_->isModified());
        doc_->setLevel(0);
        doc_->BeginStroke({1, 1});
        doc_->EndStroke({1, 1});
        QVERIFY(doc_->isModified());
        doc_->Undo();
        QVERIFY(!doc_->isModified());
        doc_->Redo();
        QVERIFY(doc_->isModified());
        QVERIFY(doc_->SaveDepthMap(dir_.filePath(QStringLiteral("saved.bmp"))));
        QVERIFY(!doc_->isModified());
        doc_->Clear();
        QVERIFY(doc_->isModified());
        QVERIFY(!doc_->SaveDepthMap(dir_.filePath(QStringLiteral("no/folder.bmp"))));
        QVERIFY(doc_->isModified()); // a failed save keeps the change
        doc_->Undo();                // back to what was saved
        QVERIFY(!doc_->isModified());
        doc_->Redo();
        SetMap({"1.....", "......", "......", "......"});
        QVERIFY(!doc_->isModified());
        Load(6, 4);
        QVERIFY(!doc_->isModified());
    }

    // Without a picture nothing edits; a null picture changes nothing.
    void picturesAndRelease() {
        doc_->BeginStroke({1, 1});
        doc_->EndStroke({2, 2});
        doc_->Fill({1, 1});
        doc_->Clear();
        QVERIFY(!doc_->Pick({1, 1}));
        QVERIFY(!doc_->LoadDepthMap(dir_.filePath(QStringLiteral("none.bmp"))));
        QVERIFY(!doc_->isStroking());
        QCOMPARE(changed_->count(), 0);
        QCOMPARE(doc_->history().position(), -1);

        QVERIFY(doc_->ReplacePicture(Picture(5, 4)));
        QCOMPARE(replaced_->count(), 1);
        QCOMPARE(Take(*changed_), QList<QRect>({QRect(0, 0, 5, 4)}));
        QCOMPARE(doc_->size(), QSize(5, 4));
        QCOMPARE(Map(), Blank(5, 4));
        QCOMPARE(doc_->history().position(), 0);
        doc_->Fill({0, 0});
        QVERIFY(!doc_->ReplacePicture(ImageHandle()));
        QCOMPARE(Steps(), 2);

        doc_->Release();
        QVERIFY(!doc_->hasPicture() && doc_->picture().isNull() && !doc_->depthMap().exists());
        QCOMPARE(replaced_->count(), 2);
        QCOMPARE(Steps(), 2); // the history stays
    }

    void strokes() {
        Load(9, 6);
        doc_->setLevel(2);
        doc_->setPenWidth(2);
        // A click without movement: one dot of the pen width, its repaint box, no undo step yet.
        doc_->BeginStroke({3, 2});
        QVERIFY(doc_->isStroking());
        QCOMPARE(Map(), QStringList({".........", "..22.....", "..22.....", ".........",
                                     ".........", "........."}));
        QCOMPARE(Take(*changed_), QList<QRect>({QRect(0, -1, 6, 6)}));
        QCOMPARE(Steps(), 1);
        doc_->EndStroke({3, 2});
        QCOMPARE(Steps(), 2);
        QCOMPARE(Take(*changed_), QList<QRect>({QRect(0, -1, 6, 6)}));

        // A drag off the map runs along its edge; the width set during a stroke waits for the
        // next one; the release point draws the last segment; the stroke is one undo step, ended
        // before its last change is reported.
        doc_->setLevel(0);
        doc_->setPenWidth(1);
        doc_->BeginStroke({1, 5});
        doc_->setPenWidth(4);
        doc_->ContinueStroke({-20, 5});
        bool strokingAtEnd = true;
        connect(doc_.get(), &EditorDocument::changed, this,
                [&] { strokingAtEnd = doc_->isStroking(); });
        doc_->EndStroke({-20, 4});
        QVERIFY(!strokingAtEnd);
        QCOMPARE(Map(), QStringList({".........", "..22.....", "..22.....", ".........",
                                     ".........", "00......."}));
        QCOMPARE(Take(*changed_),
                 QList<QRect>({QRect(-1, 3, 4, 4), QRect(-2, 3, 5, 4), QRect(-2, 2, 4, 5)}));
        QCOMPARE(Steps(), 3);
        doc_->Undo();
        QCOMPARE(Map(), QStringList({".........", "..22.....", "..22.....", ".........",
                                     ".........", "........."}));
        doc_->Redo();
        QCOMPARE(Map()[5], QStringLiteral("00......."));

        // The eraser paints the base level whatever level is selected.
        changed_->clear();
        doc_->setTool(PaintTool::Eraser);
        doc_->setLevel(5);
        doc_->setPenWidth(4);
        doc_->BeginStroke({3, 3});
        doc_->EndStroke({3, 3});
        QCOMPARE(Map(), QStringList({".........", ".........", ".........", ".........",
                                     ".........", "00......."}));
        QCOMPARE(Take(*changed_).size(), 2);
    }

    void fillPickAndClear() {
        Load(6, 4);
        const QStringList start = {"..33..", ".3..3.", ".3..3w", "..33.w"};
        SetMap(start);
        QCOMPARE(Map(), start);
        QCOMPARE(Take(*changed_), QList<QRect>({QRect(0, 0, 6, 4)}));
        QCOMPARE(Steps(), 2); // loading a map file is an undo step

        doc_->setLevel(6);
        doc_->Fill({2, 1});
        QCOMPARE(Map(), QStringList({"..33..", ".3663.", ".3663w", "..33.w"}));
        QCOMPARE(Steps(), 3);
        QCOMPARE(Take(*changed_), QList<QRect>({QRect(0, 0, 6, 4)}));
        // A fill that changes nothing still makes a step and reports the map.
        doc_->Fill({3, 2});
        QCOMPARE(Steps(), 4);
        QCOMPARE(Take(*changed_), QList<QRect>({QRect(0, 0, 6, 4)}));
        doc_->Undo();
        doc_->Undo();
        QCOMPARE(Map(), start);
        doc_->Undo();
        QCOMPARE(Map(), Blank(6, 4)); // the load undone

        doc_->Redo();
        doc_->Redo();
        doc_->Redo();
        QVERIFY(doc_->Pick({2, 0}));
        QCOMPARE(doc_->level(), 3);
        QVERIFY(doc_->Pick({3, 1}));
        QCOMPARE(doc_->level(), 6);
        SetMap({"..33..", ".366w.", ".366w.", "..33.."});
        QVERIFY(!doc_->Pick({4, 1}));
        QVERIFY(!doc_->Pick({6, 1}));
        QCOMPARE(doc_->level(), 6);

        // Clear, undo, redo: the cleared map comes back.
        changed_->clear();
        doc_->Clear();
        QCOMPARE(Map(), Blank(6, 4));
        doc_->Undo();
        QCOMPARE(Map(), QStringList({"..33..", ".366w.", ".366w.", "..33.."}));
        doc_->Redo();
        QCOMPARE(Map(), Blank(6, 4));
        QCOMPARE(Take(*changed_), QList<QRect>(3, QRect(0, 0, 6, 4)));
    }

    // Colour fill, gradient and snap: one undo step each when they change the map, the changed
    // rectangle reported, and the protection toggle obeyed.
    void pictureAwareOperations() {
        // A picture dark left of x = 20 and light right of it, 40 x 10.
        QImage picture(40, 10, QImage::Format_RGB32);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 40; ++x)
                picture.setPixel(x, y, x < 20 ? qRgb(20, 20, 20) : qRgb(230, 230, 230));
        QVERIFY(doc_->ReplacePicture(ImageHandle(picture)));
        changed_->clear();
        const int start = Steps();

        doc_->setLevel(2);
        doc_->ColourFill({3, 3});
        QCOMPARE(Take(*changed_), QList<QRect>({QRect(0, 0, 20, 10)}));
        QCOMPARE(Steps(), start + 1);
        QCOMPARE(Map().first(), QString(20, QLatin1Char('2')) + QString(20, QLatin1Char('.')));
        // Nothing to change: no step, an empty rectangle.
        doc_->ColourFill({3, 3});
        QCOMPARE(Steps(), start + 1);
        QCOMPARE(Take(*changed_), QList<QRect>({QRect()}));

        // Level 2 painted to x = 25 by a stroke, then snapped back onto the edge at x = 20.
        doc_->setPenWidth(1);
        for (int y = 0; y < 10; ++y) {
            doc_->BeginStroke({20, y});
            doc_->EndStroke({25, y});
        }
        changed_->clear();
        doc_->SnapToEdges(12);
        QCOMPARE(Take(*changed_), QList<QRect>({QRect(20, 0, 5, 10)}));
        QCOMPARE(Map().first(), QString(20, QLatin1Char('2')) + QString(20, QLatin1Char('.')));
        doc_->Undo();
        QCOMPARE(Map().first().left(26), QString(25, QLatin1Char('2')) + QLatin1Char('.'));
        doc_->Redo();

        // The gradient over the base region x = 20..39 from level 4 at x = 20 to the base at 39;
        // with protection on, fills of level 5 leave the nearer level 2 alone.
        doc_->setLevel(4);
        doc_->Gradient({20, 5}, {39, 5});
        QCOMPARE(Map().first(),
                 QString(20, QLatin1Char('2')) + QStringLiteral("444445555566666....."));
        doc_->setProtectNearer(true);
        doc_->setLevel(5);
        doc_->Fill({0, 0});
        doc_->ColourFill({0, 0});
        QCOMPARE(Map().first().left(20), QString(20, QLatin1Char('2')));
        // The eraser ignores the protection.
        doc_->setTool(PaintTool::Eraser);
        doc_->BeginStroke({0, 0});
        doc_->EndStroke({3, 0});
        QCOMPARE(Map().first().left(5), QStringLiteral("...22"));
    }
};

QTEST_MAIN(DocumentTest)
#include "tst_document.moc"
