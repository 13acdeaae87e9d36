#include "depth/EdgeSnap.h"
#include "depth/Painting.h"
#include "depth/PicturePainting.h"

#include <QTest>

#include <cmath>
#include <random>

using namespace kelvaro;

namespace {

QRgb LevelArgb(DepthLevel level) {
    return ArgbFromColorref(DepthPalette[size_t(level)]);
}

DepthMap MapOf(int w, int h, const std::function<DepthLevel(int x, int y)>& level) {
    DepthMap map;
    if (!map.Create(w, h))
        qFatal("no map");
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            map.surface().setPixel(x, y, LevelArgb(level(x, y)));
    return map;
}

QImage PictureOf(int w, int h, const std::function<QRgb(int x, int y)>& colour) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, colour(x, y));
    return image;
}

DepthLevel LevelOf(const DepthMap& map, int x, int y) {
    return LevelOfColour(map.Pixel(x, y)).value_or(-1);
}

// The first column of each row whose level is not `level`.
QList<int> BorderColumns(const DepthMap& map, DepthLevel level) {
    QList<int> columns;
    for (int y = 0; y < map.height(); ++y) {
        int x = 0;
        while (x < map.width() && LevelOf(map, x, y) == level)
            ++x;
        columns << x;
    }
    return columns;
}

} // namespace

class TestPicturePainting : public QObject {
    Q_OBJECT

private slots:
    void snapMovesABorderOntoANearbyEdge() {
        // A sharp dark / light edge at x = 40; the painted border lies 5 px right of it, and in
        // the other case 5 px left of it, on a slightly noisy picture.
        std::mt19937 random(3);
        std::uniform_int_distribution<int> noise(-4, 4);
        const QImage picture = PictureOf(100, 40, [&](int x, int) {
            const int v = (x < 40 ? 40 : 200) + noise(random);
            return qRgb(v, v, v);
        });
        for (const int border : {45, 35}) {
            DepthMap map = MapOf(100, 40, [&](int x, int) { return x < border ? 2 : 7; });
            const QRect changed = SnapToEdges(picture, map);
            QCOMPARE(BorderColumns(map, 2), QList<int>(40, 40));
            // The changed rectangle is the strip between the two borders, all rows.
            QCOMPARE(changed,
                     QRect(QPoint(std::min(border, 40), 0), QPoint(std::max(border, 40) - 1, 39)));
        }
    }

    void snapLeavesABorderAcrossAnEvenPictureInPlace() {
        // Flat and a smooth shading across the border: no edge, so nothing moves, straight or
        // slanted.
        const QImage flat = PictureOf(90, 60, [](int, int) { return qRgb(120, 130, 140); });
        const QImage shaded =
            PictureOf(90, 60, [](int x, int y) { return qRgb(60 + x, 80 + y, 100); });
        for (const QImage& picture : {flat, shaded}) {
            DepthMap straight = MapOf(90, 60, [](int x, int) { return x < 45 ? 3 : 7; });
            const QImage before = straight.surface().copy();
            QVERIFY(SnapToEdges(picture, straight).isEmpty());
            QCOMPARE(straight.surface(), before);
            DepthMap slanted = MapOf(90, 60, [](int x, int y) { return 2 * x + y < 120 ? 1 : 7; });
            const QImage slantedBefore = slanted.surface().copy();
            SnapToEdges(picture, slanted);
            int moved = 0;
            for (int y = 0; y < 60; ++y)
                for (int x = 0; x < 90; ++x)
                    moved += slanted.surface().pixel(x, y) != slantedBefore.pixel(x, y);
            QVERIFY2(moved <= 6, qPrintable(QString::number(moved)));
        }
    }

    void snapNeverChangesPixelsBeyondTheRadius() {
        // A noisy picture full of edges, a blob of three levels and a black fixed patch; with
        // radius 4, every pixel farther than 4 from a border keeps its level.
        std::mt19937 random(11);
        std::uniform_int_distribution<int> grey(0, 255);
        const QImage picture = PictureOf(80, 80, [&](int, int) {
            const int v = grey(random);
            return qRgb(v, 255 - v, v / 2);
        });
        DepthMap map = MapOf(80, 80, [](int x, int y) {
            const int d = (x - 40) * (x - 40) + (y - 40) * (y - 40);
            if (x > 60 && y > 60)
                return FixedLevel;
            return d < 100 ? 0 : d < 600 ? 4 : BaseLevel;
        });
        const DepthMap before = MapOf(80, 80, [&](int x, int y) { return LevelOf(map, x, y); });
        SnapOptions options;
        options.radius = 4;
        const QRect changed = SnapToEdges(picture, map, options);
        QVERIFY(!changed.isEmpty());
        int changedCount = 0;
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 80; ++x) {
                if (map.Pixel(x, y) == before.Pixel(x, y))
                    continue;
                ++changedCount;
                QVERIFY(changed.contains(x, y));
                // Some pixel of another level lies within the radius.
                bool near = false;
                for (int dy = -4; dy <= 4 && !near; ++dy)
                    for (int dx = -4; dx <= 4 && !near; ++dx)
                        near = dx * dx + dy * dy <= 16 && before.rect().contains(x + dx, y + dy) &&
                               before.Pixel(x + dx, y + dy) != before.Pixel(x, y);
                QVERIFY2(near, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
        QVERIFY(changedCount > 0);
    }

    void snapKeepsThinRegionsAndHonoursProtection() {
        // A 6-px stripe of level 1 on an even picture survives a radius-12 snap.
        const QImage flat = PictureOf(60, 30, [](int, int) { return qRgb(90, 90, 90); });
        DepthMap stripe = MapOf(60, 30, [](int x, int) { return x >= 27 && x < 33 ? 1 : 7; });
        SnapToEdges(flat, stripe);
        QCOMPARE(BorderColumns(stripe, 7), QList<int>(30, 27));
        // An edge at x = 40 and level 2 painted to x = 45 over level 5: with protection on, the
        // nearer level 2 may grow but never shrinks.
        const QImage edge = PictureOf(
            100, 20, [](int x, int) { return x < 40 ? qRgb(30, 30, 30) : qRgb(220, 220, 220); });
        SnapOptions protect;
        protect.protectNearer = true;
        DepthMap wide = MapOf(100, 20, [](int x, int) { return x < 45 ? 2 : 5; });
        QVERIFY(SnapToEdges(edge, wide, protect).isEmpty());
        QCOMPARE(BorderColumns(wide, 2), QList<int>(20, 45));
        DepthMap narrow = MapOf(100, 20, [](int x, int) { return x < 35 ? 2 : 5; });
        SnapToEdges(edge, narrow, protect);
        QCOMPARE(BorderColumns(narrow, 2), QList<int>(20, 40));
    }

    void snapRefusesAPictureOfAnotherSize() {
        DepthMap map = MapOf(20, 20, [](int x, int) { return x < 10 ? 0 : 7; });
        QVERIFY(SnapToEdges(QImage(21, 20, QImage::Format_RGB32), map).isEmpty());
    }

    void colourFillFollowsThePictureWithinTheTolerance() {
        // Columns: 0-19 grey 100, 20-39 grey 120 (a step of 20), 40-59 grey 160 (a step of 40).
        const QImage picture = PictureOf(60, 10, [](int x, int) {
            const int v = x < 20 ? 100 : x < 40 ? 120 : 160;
            return qRgb(v, v, v);
        });
        DepthMap map = MapOf(60, 10, [](int, int) { return BaseLevel; });
        const QRect changed = ColourFill(picture, map, QPoint(5, 5), 3, 32);
        QCOMPARE(changed, QRect(0, 0, 40, 10));
        QCOMPARE(BorderColumns(map, 3), QList<int>(10, 40));
        // Tolerance is against the seed's colour, in every channel: one channel beyond stops it.
        const QImage blueStep = PictureOf(
            30, 4, [](int x, int) { return x < 15 ? qRgb(50, 50, 50) : qRgb(50, 50, 83); });
        DepthMap second = MapOf(30, 4, [](int, int) { return BaseLevel; });
        ColourFill(blueStep, second, QPoint(0, 0), 0, 32);
        QCOMPARE(BorderColumns(second, 0), QList<int>(4, 15));
        ColourFill(blueStep, second, QPoint(0, 0), 1, 33);
        QCOMPARE(BorderColumns(second, 1), QList<int>(4, 30));
    }

    void protectionKeepsNearerLevels() {
        const QImage flat = PictureOf(40, 10, [](int, int) { return qRgb(10, 20, 30); });
        // Level 1 in the middle; a colour fill of level 4 over everything leaves it.
        DepthMap map = MapOf(40, 10, [](int x, int) { return x >= 15 && x < 25 ? 1 : BaseLevel; });
        ColourFill(flat, map, QPoint(0, 0), 4, 32, true);
        QCOMPARE(LevelOf(map, 20, 5), 1);
        QCOMPARE(LevelOf(map, 0, 5), 4);
        QCOMPARE(LevelOf(map, 39, 5), 4);
        // Without protection it goes.
        ColourFill(flat, map, QPoint(0, 0), 5, 32, false);
        QCOMPARE(LevelOf(map, 20, 5), 5);
        // A stroke of level 4 across levels 2 and 5: only the farther level is painted.
        DepthMap strokeMap = MapOf(40, 10, [](int x, int) { return x < 20 ? 2 : 5; });
        DrawStrokeSegment(strokeMap, QPoint(0, 5), QPoint(39, 5), 4, DepthPalette[4], true);
        QCOMPARE(LevelOf(strokeMap, 10, 5), 2);
        QCOMPARE(LevelOf(strokeMap, 30, 5), 4);
        DrawStrokeSegment(strokeMap, QPoint(0, 5), QPoint(39, 5), 4, DepthPalette[6], false);
        QCOMPARE(LevelOf(strokeMap, 10, 5), 6);
        // Painting a nearer level over a farther one is always allowed; the same level too.
        QVERIFY(MayOverwrite(DepthPalette[5], DepthPalette[2], true));
        QVERIFY(MayOverwrite(DepthPalette[5], DepthPalette[5], true));
        QVERIFY(!MayOverwrite(DepthPalette[0], DepthPalette[FixedLevel], true));
        QVERIFY(MayOverwrite(0xFFFFFF, DepthPalette[7], true));
        // The plain fill refuses a protected seed region.
        DepthMap fillMap = MapOf(10, 10, [](int, int) { return 1; });
        QVERIFY(Fill(fillMap, QPoint(3, 3), DepthPalette[3], true).isEmpty());
        QCOMPARE(LevelOf(fillMap, 3, 3), 1);
    }

    void gradientRunsFromTheSelectedLevelToTheBase() {
        // An 80-px wide region of level 7 between walls of level 8; a drag from x = 10 to 90.
        DepthMap map =
            MapOf(100, 6, [](int x, int) { return x >= 10 && x < 90 ? BaseLevel : FixedLevel; });
        const QRect changed = GradientFill(map, QPoint(10, 3), QPoint(90, 3), 3);
        // t = (x - 10) / 80; level = min(7, 3 + floor(5 t)): bands of 16 px from 3 to 7.
        for (int x = 10; x < 90; ++x)
            QCOMPARE(LevelOf(map, x, 0), std::min(7, 3 + (x - 10) * 5 / 80));
        QCOMPARE(LevelOf(map, 25, 5), 3);
        QCOMPARE(LevelOf(map, 26, 5), 4);
        QCOMPARE(LevelOf(map, 73, 2), 6);
        QCOMPARE(LevelOf(map, 74, 2), 7);
        // The region ends at the walls, whatever the drag's length; pixels of level 7 already are
        // not counted as changed.
        QCOMPARE(LevelOf(map, 9, 3), FixedLevel);
        QCOMPARE(LevelOf(map, 90, 3), FixedLevel);
        QCOMPARE(changed, QRect(QPoint(10, 0), QPoint(73, 5)));
        // Beyond B and before A the fraction is clamped.
        QCOMPARE(GradientLevel(0, -50, 100), 0);
        QCOMPARE(GradientLevel(0, 150, 100), 7);
        QCOMPARE(GradientLevel(0, 99, 100), 7);
        QCOMPARE(GradientLevel(0, 87, 100), 6);
        // Level 8 paints nothing.
        DepthMap untouched = MapOf(20, 20, [](int, int) { return BaseLevel; });
        const QImage before = untouched.surface().copy();
        QVERIFY(GradientFill(untouched, QPoint(0, 0), QPoint(19, 19), FixedLevel).isEmpty());
        QCOMPARE(untouched.surface(), before);
    }

    void gradientHonoursProtection() {
        DepthMap map = MapOf(40, 4, [](int, int) { return 5; });
        GradientFill(map, QPoint(0, 0), QPoint(39, 0), 0, true);
        // Levels 0..4 are painted over 5, levels 6 and 7 would be farther and are refused.
        QCOMPARE(LevelOf(map, 0, 0), 0);
        QCOMPARE(LevelOf(map, 39, 0), 5);
        QCOMPARE(LevelOf(map, 36, 0), 5);
    }

    void overlayBlendsAtTheOpacity() {
        const QImage picture = PictureOf(4, 4, [](int, int) { return qRgb(200, 100, 0); });
        const DepthMap map = MapOf(4, 4, [](int, int) { return 0; }); // red 255, 0, 0
        const QImage half = OverlayBlend(picture, map, 50, QRect(1, 1, 10, 10));
        QCOMPARE(half.size(), QSize(3, 3));
        QCOMPARE(half.pixel(0, 0), qRgb(228, 50, 0));
        QCOMPARE(OverlayBlend(picture, map, 0, map.rect()).pixel(2, 2), qRgb(200, 100, 0));
        QCOMPARE(OverlayBlend(picture, map, 100, map.rect()).pixel(2, 2), qRgb(255, 0, 0));
        QCOMPARE(OverlayBlend(picture, map, 30, map.rect()).pixel(2, 2), qRgb(217, 70, 0));
    }
};

QTEST_GUILESS_MAIN(TestPicturePainting)
#include "tst_picturepainting.moc"
