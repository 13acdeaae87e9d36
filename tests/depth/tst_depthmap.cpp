#include "depth/DepthMap.h"

#include <QTest>

using namespace kelvaro;

class TestDepthMap : public QObject {
    Q_OBJECT
private slots:
    void paletteHasNineExactEntries() {
        const COLORREF expected[] = {0x0000FF, 0x008CFF, 0x00FFFF, 0x00FFB9, 0x00FF00,
                                     0xFFC000, 0xFF4000, 0xFF0080, 0x000000};
        QCOMPARE(DepthPalette.size(), size_t(9));
        for (int i = 0; i < 9; ++i)
            QCOMPARE(DepthPalette[size_t(i)], expected[i]);
        // The byte-order traps: COLORREF is 0x00BBGGRR, not RGB notation.
        QCOMPARE(RedOf(DepthPalette[3]), 185);
        QCOMPARE(GreenOf(DepthPalette[3]), 255);
        QCOMPARE(BlueOf(DepthPalette[3]), 0);
        QCOMPARE(RedOf(DepthPalette[5]), 0);
        QCOMPARE(GreenOf(DepthPalette[5]), 192);
        QCOMPARE(BlueOf(DepthPalette[5]), 255);
        QCOMPARE(BaseLevel, 7);
        QCOMPARE(FixedLevel, 8);
    }

    void levelOfColourScansExactlyNineEntries() {
        for (int i = 0; i < 9; ++i)
            QCOMPARE(LevelOfColour(DepthPalette[size_t(i)]), std::optional<DepthLevel>(i));
        QCOMPARE(LevelOfColour(0x000000), std::optional<DepthLevel>(8)); // black is a level
        QVERIFY(!LevelOfColour(0xFFFFFF).has_value());                   // white is none
        QVERIFY(!LevelOfColour(0x0000FE).has_value());                   // near red is none
        QVERIFY(!LevelOfColour(Rgb(255, 0, 1)).has_value());
    }

    void newAndClearedMapsAreBaseEverywhere() {
        DepthMap map;
        QVERIFY(!map.exists());
        QVERIFY(map.Create(5, 3));
        const COLORREF base = DepthPalette[BaseLevel];
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                QCOMPARE(map.Pixel(x, y), base);

        map.surface().setPixel(0, 0, qRgb(255, 255, 255));
        map.surface().setPixel(4, 2, ArgbFromColorref(DepthPalette[0]));
        map.Clear();
        QCOMPARE(map.Pixel(0, 0), base);
        QCOMPARE(map.Pixel(4, 2), base);
    }

    void releaseIsHarmlessAndCreateRejectsBadSizes() {
        DepthMap map;
        map.Release();
        map.Release();
        QVERIFY(!map.exists());
        QVERIFY(!map.Create(0, 10));
        QVERIFY(!map.exists());
        QVERIFY(map.Create(1, 1));
        map.Release();
        map.Release();
        QVERIFY(!map.exists());
    }

    void copyOutAndInRoundTripKeepsNonPaletteColours() {
        DepthMap map;
        QVERIFY(map.Create(4, 4));
        map.surface().setPixel(1, 2, ArgbFromColorref(0x123456));
        map.surface().setPixel(3, 3, ArgbFromColorref(DepthPalette[3]));
        ImageHandle copy = map.CopyOut();
        QCOMPARE(GetImagePixel(copy, 1, 2), COLORREF(0x123456));

        map.Clear();
        map.CopyIn(copy);
        QCOMPARE(map.Pixel(1, 2), COLORREF(0x123456));
        QCOMPARE(map.Pixel(3, 3), DepthPalette[3]);
        QCOMPARE(map.Pixel(0, 0), DepthPalette[BaseLevel]);

        // A smaller image covers only its part; the rest keeps its colours.
        QImage small(2, 1, QImage::Format_RGB32);
        small.fill(ArgbFromColorref(DepthPalette[0]));
        map.CopyIn(ImageHandle(small));
        QCOMPARE(map.Pixel(1, 0), DepthPalette[0]);
        QCOMPARE(map.Pixel(2, 0), DepthPalette[BaseLevel]);
        QCOMPARE(map.Pixel(1, 2), COLORREF(0x123456));
    }
};

QTEST_GUILESS_MAIN(TestDepthMap)
#include "tst_depthmap.moc"
