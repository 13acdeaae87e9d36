#include "depth/Painting.h"

#include <QTest>

#include <map>
#include <set>
#include <utility>

using namespace kelvaro;

namespace {

// Small maps as text, one string a row: '.' is the base level, '0' to '8' a palette level, 'w'
// white (a colour outside the palette); anything else read back shows as '?'.
COLORREF ColourOfChar(char c) {
    if (c == '.')
        return DepthPalette[BaseLevel];
    if (c >= '0' && c <= '8')
        return DepthPalette[size_t(c - '0')];
    return 0xFFFFFF;
}

DepthMap MapFromText(const QStringList& rows) {
    DepthMap map;
    if (!map.Create(int(rows.first().size()), int(rows.size())))
        qFatal("no map");
    for (int y = 0; y < rows.size(); ++y)
        for (int x = 0; x < rows[y].size(); ++x)
            map.surface().setPixel(x, y, ArgbFromColorref(ColourOfChar(rows[y][x].toLatin1())));
    return map;
}

DepthMap BlankMap(int w, int h) {
    DepthMap map;
    if (!map.Create(w, h))
        qFatal("no map");
    return map;
}

QStringList TextOfMap(const DepthMap& map) {
    QStringList rows;
    for (int y = 0; y < map.height(); ++y) {
        QString row;
        for (int x = 0; x < map.width(); ++x) {
            const COLORREF c = map.Pixel(x, y);
            if (c == DepthPalette[BaseLevel])
                row += QLatin1Char('.');
            else if (c == 0xFFFFFF)
                row += QLatin1Char('w');
            else if (auto level = LevelOfColour(c))
                row += QChar(u'0' + *level);
            else
                row += QLatin1Char('?');
        }
        rows << row;
    }
    return rows;
}

using Pixels = std::set<std::pair<int, int>>;

Pixels SpanPixels(QPoint from, QPoint to, int width, QRect clip = QRect(-100, -100, 400, 400)) {
    Pixels out;
    ForEachStrokeSpan(from, to, width, clip, [&](int y, int x0, int x1) {
        for (int x = x0; x <= x1; ++x)
            if (!out.insert({x, y}).second)
                qFatal("pixel %d,%d reported twice", x, y);
    });
    return out;
}

// The pixels' bounding box, and whether the set equals its mirror images about the centre of that
// box (left-right, top-bottom and, for a dot, the diagonal) or its half-turn about that centre.
QRect Bounds(const Pixels& px) {
    QRect r;
    for (auto [x, y] : px)
        r |= QRect(x, y, 1, 1);
    return r;
}

bool HalfTurnSymmetric(const Pixels& px) {
    const QRect b = Bounds(px);
    for (auto [x, y] : px)
        if (!px.count({b.left() + b.right() - x, b.top() + b.bottom() - y}))
            return false;
    return true;
}

bool Mirrored(const Pixels& px, bool diagonal) {
    const QRect b = Bounds(px);
    for (auto [x, y] : px) {
        const int mx = b.left() + b.right() - x, my = b.top() + b.bottom() - y;
        if (!px.count({mx, y}) || !px.count({x, my}))
            return false;
        if (diagonal && !px.count({b.left() + (y - b.top()), b.top() + (x - b.left())}))
            return false;
    }
    return true;
}

} // namespace

class TestPainting : public QObject {
    Q_OBJECT
private slots:
    void thinLinesLeaveOutTheirEndPoint() {
        DepthMap map = BlankMap(8, 3);
        const QRect changed = DrawStrokeSegment(map, {0, 0}, {5, 2}, 1, DepthPalette[0]);
        QCOMPARE(TextOfMap(map), QStringList({"00......", "..00....", "....0..."}));
        QCOMPARE(changed, QRect(0, 0, 5, 3));

        // A click with the thinnest pen paints nothing.
        DepthMap dot = BlankMap(3, 3);
        QVERIFY(DrawStrokeSegment(dot, {1, 1}, {1, 1}, 1, DepthPalette[0]).isEmpty());
        QCOMPARE(TextOfMap(dot), QStringList({"...", "...", "..."}));

        // Vertical, horizontal and reversed lines too.
        DepthMap lines = BlankMap(5, 4);
        DrawStrokeSegment(lines, {0, 0}, {0, 3}, 1, DepthPalette[1]);
        DrawStrokeSegment(lines, {4, 3}, {1, 3}, 1, DepthPalette[2]);
        DrawStrokeSegment(lines, {4, 0}, {2, 2}, 1, DepthPalette[3]);
        QCOMPARE(TextOfMap(lines), QStringList({"1...3", "1..3.", "1....", "..222"}));
    }

    void thinSegmentsChainWithoutPaintingAPixelTwice() {
        const QPoint points[] = {{0, 0}, {7, 3}, {9, 12}, {2, 12}, {2, 5}, {3, 5}, {3, 5}, {0, 1}};
        Pixels all;
        for (size_t i = 0; i + 1 < std::size(points); ++i) {
            const Pixels seg = SpanPixels(points[i], points[i + 1], 1);
            QVERIFY(!seg.count({points[i + 1].x(), points[i + 1].y()}));
            if (points[i] != points[i + 1])
                QVERIFY(seg.count({points[i].x(), points[i].y()}));
            for (const auto& p : seg)
                QVERIFY2(all.insert(p).second, "a pixel was painted by two segments");
        }
    }

    void dotsAreRoundSymmetricAndOfTheirWidth() {
        for (int w = 2; w <= 32; ++w) {
            const Pixels dot = SpanPixels({40, 40}, {40, 40}, w);
            const QRect b = Bounds(dot);
            QCOMPARE(b.width(), w);
            QCOMPARE(b.height(), w);
            QVERIFY2(Mirrored(dot, true), qPrintable(QStringLiteral("width %1").arg(w)));
            // Odd widths centre on the point, even ones on the corner above and left of it.
            QCOMPARE(b.left(), 40 - w / 2);
            QCOMPARE(b.right(), 40 + (w - 1) / 2);
            if (w >= 5) { // round, not square: the corner pixels stay off
                QVERIFY(!dot.count({b.left(), b.top()}));
                QVERIFY(!dot.count({b.right(), b.bottom()}));
            }
        }

        DepthMap odd = BlankMap(7, 7);
        DrawStrokeSegment(odd, {3, 3}, {3, 3}, 5, DepthPalette[4]);
        QCOMPARE(TextOfMap(odd), QStringList({".......", "..444..", ".44444.", ".44444.", ".44444.",
                                              "..444..", "......."}));
        DepthMap even = BlankMap(6, 6);
        DrawStrokeSegment(even, {3, 3}, {3, 3}, 4, DepthPalette[4]);
        QCOMPARE(TextOfMap(even),
                 QStringList({"......", "..44..", ".4444.", ".4444.", "..44..", "......"}));
        DepthMap two = BlankMap(4, 4);
        DrawStrokeSegment(two, {2, 2}, {2, 2}, 2, DepthPalette[4]);
        QCOMPARE(TextOfMap(two), QStringList({"....", ".44.", ".44.", "...."}));
    }

    void wideSegmentsHaveRoundEndsOnBothSides() {
        DepthMap map = BlankMap(12, 7);
        const QRect changed = DrawStrokeSegment(map, {3, 3}, {8, 3}, 5, DepthPalette[6]);
        QCOMPARE(TextOfMap(map),
                 QStringList({"............", "..66666666..", ".6666666666.", ".6666666666.",
                              ".6666666666.", "..66666666..", "............"}));
        QCOMPARE(changed, QRect(1, 1, 10, 5));

        // Every width, level, upright and slanted: the band looks the same turned end for end,
        // a level one is also mirrored, and reaches width / 2 beyond each end along its axis.
        for (int w = 2; w <= 32; ++w) {
            for (const QPoint to : {QPoint(90, 40), QPoint(40, 90), QPoint(90, 90)}) {
                const Pixels seg = SpanPixels({40, 40}, to, w);
                QVERIFY2(HalfTurnSymmetric(seg), qPrintable(QStringLiteral("width %1").arg(w)));
                const QRect b = Bounds(seg);
                if (to.y() == 40 || to.x() == 40)
                    QVERIFY(Mirrored(seg, false));
                if (to.y() == 40) {
                    QCOMPARE(b.height(), w);
                    QCOMPARE(b.width(), 50 + w);
                }
            }
        }
    }

    void onlyExactColoursAppearAndTheMapEdgeClips() {
        DepthMap map = BlankMap(64, 48);
        const QPoint path[] = {{-20, 5}, {10, 30}, {33, 2}, {63, 47}, {70, 60}, {5, 47}};
        QRect changed;
        for (size_t i = 0; i + 1 < std::size(path); ++i)
            changed |= DrawStrokeSegment(map, path[i], path[i + 1], 9, DepthPalette[2]);
        QVERIFY(map.rect().contains(changed));
        int painted = 0;
        for (int y = 0; y < map.height(); ++y)
            for (int x = 0; x < map.width(); ++x) {
                const COLORREF c = map.Pixel(x, y);
                QVERIFY(c == DepthPalette[BaseLevel] || c == DepthPalette[2]);
                if (c == DepthPalette[2]) {
                    ++painted;
                    QVERIFY(changed.contains(x, y));
                }
            }
        QVERIFY(painted > 500);
        // Entirely off the map: nothing, and no rectangle.
        QVERIFY(DrawStrokeSegment(map, {-50, -50}, {-10, -40}, 32, DepthPalette[0]).isEmpty());
    }

    void fillFollowsFourConnectivityOnly() {
        DepthMap map = MapFromText({"..1...", ".1.1..", "1...1.", ".1.1..", "..1..."});
        QCOMPARE(Fill(map, {2, 2}, DepthPalette[3]), QRect(1, 1, 3, 3));
        QCOMPARE(TextOfMap(map), QStringList({"..1...", ".131..", "13331.", ".131..", "..1..."}));
        // Corners do not connect: the top-left and bottom-left corners stay out.
        Fill(map, {5, 0}, DepthPalette[5]);
        QCOMPARE(TextOfMap(map), QStringList({"..1555", ".13155", "133315", ".13155", "..1555"}));
    }

    void fillTakesAnyColourAndReportsNoChange() {
        DepthMap map = MapFromText({"ww..", "w.ww", "wwww"});
        QCOMPARE(Fill(map, {0, 0}, DepthPalette[8]), QRect(0, 0, 4, 3));
        QCOMPARE(TextOfMap(map), QStringList({"88..", "8.88", "8888"}));
        // Filling a region with its own colour changes nothing and says so.
        QVERIFY(Fill(map, {0, 2}, DepthPalette[8]).isEmpty());
        QVERIFY(Fill(map, {4, 0}, DepthPalette[1]).isEmpty()); // off the map
        QCOMPARE(TextOfMap(map), QStringList({"88..", "8.88", "8888"}));
    }

    void fillCoversALargeWindingRegion() {
        // A 640 x 640 serpentine corridor: one region, 320 turns, no recursion to run out of.
        DepthMap map = BlankMap(640, 640);
        for (int y = 1; y < 640; y += 2)
            DrawStrokeSegment(map, {(y / 2) % 2 ? 0 : 1, y}, {(y / 2) % 2 ? 639 : 640, y}, 1,
                              DepthPalette[8]);
        QCOMPARE(Fill(map, {639, 639}, DepthPalette[0]), QRect(0, 0, 640, 640));
        int red = 0, black = 0;
        for (int y = 0; y < 640; ++y)
            for (int x = 0; x < 640; ++x)
                (map.Pixel(x, y) == DepthPalette[0] ? red : black) += 1;
        QCOMPARE(black, 320 * 639);
        QCOMPARE(red, 640 * 640 - 320 * 639);
    }

    void hitTestsAreStrictOnTheFirstColumnAndRow() {
        const QRect canvas(100, 50, 40, 30); // right edge 140, bottom 80, exclusive
        QVERIFY(!PointInRectStrict({100, 60}, canvas));
        QVERIFY(!PointInRectStrict({120, 50}, canvas));
        QVERIFY(PointInRectStrict({101, 51}, canvas));
        QVERIFY(PointInRectStrict({139, 79}, canvas));
        QVERIFY(!PointInRectStrict({140, 60}, canvas));
        QVERIFY(!PointInRectStrict({120, 80}, canvas));
        QCOMPARE(CanvasPointAt({101, 51}, canvas), std::optional<QPoint>(QPoint(1, 1)));
        QCOMPARE(CanvasPointAt({100, 51}, canvas), std::nullopt);
        QVERIFY(!PointInRectStrict({0, 0}, QRect()));

        // Moves and releases are clamped, not rejected, so a drag reaches column and row 0.
        QCOMPARE(ClampToMap({-5, 31}, {40, 30}), QPoint(0, 29));
        QCOMPARE(ClampToMap({40, -1}, {40, 30}), QPoint(39, 0));
        QCOMPARE(ClampToMap({12, 13}, {40, 30}), QPoint(12, 13));
    }

    void paletteClicksSelectEveryCell() {
        const QRect bar(200, 10, 144, 17);
        for (int x = 200; x <= 344; ++x) {
            const auto level = PaletteLevelAt({x, 20}, bar);
            if (x == 200 || x == 344)
                QVERIFY(!level);
            else
                QCOMPARE(level, std::optional<DepthLevel>((x - 200) / 16));
        }
        QCOMPARE(PaletteLevelAt({343, 20}, bar), std::optional<DepthLevel>(8));
        QCOMPARE(PaletteLevelAt({330, 20}, bar), std::optional<DepthLevel>(8));
        QVERIFY(!PaletteLevelAt({250, 10}, bar));
        QVERIFY(!PaletteLevelAt({250, 27}, bar));
        QVERIFY(!PaletteLevelAt({0, 0}, QRect())); // before the first paint
    }

    void pickAndToolRules() {
        DepthMap map = MapFromText({"8w", ".3"});
        QCOMPARE(LevelAt(map, {0, 0}), std::optional<DepthLevel>(8));
        QCOMPARE(LevelAt(map, {1, 1}), std::optional<DepthLevel>(3));
        QCOMPARE(LevelAt(map, {0, 1}), std::optional<DepthLevel>(BaseLevel));
        QVERIFY(!LevelAt(map, {1, 0})); // outside the palette: the selection stays
        QVERIFY(!LevelAt(map, {2, 0}));
        QVERIFY(!LevelAt(DepthMap(), {0, 0}));

        QCOMPARE(PenWidthForThickness(5), 32);
        QCOMPARE(StrokeColour(PaintTool::Pen, 8), DepthPalette[8]);
        QCOMPARE(StrokeColour(PaintTool::Eraser, 8), DepthPalette[BaseLevel]);

        // A segment's repaint box covers every pixel the segment paints.
        for (const int w : {1, 2, 31, 32}) {
            const QRect box = StrokeInvalidRect({10, 20}, {4, 25}, w, {100, 50});
            QVERIFY(box.contains(Bounds(SpanPixels({10, 20}, {4, 25}, w)).translated(100, 50)));
            const QRect press = StrokeInvalidRect({7, 7}, {7, 7}, w, {100, 50});
            if (w > 1)
                QVERIFY(press.contains(Bounds(SpanPixels({7, 7}, {7, 7}, w)).translated(100, 50)));
        }
    }
};

QTEST_GUILESS_MAIN(TestPainting)
#include "tst_painting.moc"
