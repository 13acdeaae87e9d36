#include "depth/GreyDepth.h"
#include "imaging/Imaging.h"

#include <QTest>

#include <vector>

using namespace kelvaro;

namespace {

// One row of 8-bit grey values.
QImage GreyRow(const std::vector<int>& values) {
    QImage image(int(values.size()), 1, QImage::Format_Grayscale8);
    for (size_t x = 0; x < values.size(); ++x)
        image.scanLine(0)[x] = uchar(values[x]);
    return image;
}

QImage Grey16Row(const std::vector<int>& values) {
    QImage image(int(values.size()), 1, QImage::Format_Grayscale16);
    auto* row = reinterpret_cast<quint16*>(image.scanLine(0));
    for (size_t x = 0; x < values.size(); ++x)
        row[x] = quint16(values[x]);
    return image;
}

// The level of every pixel of a snapped map, row by row; -1 for a colour that is no level.
std::vector<int> Levels(const ImageHandle& map) {
    std::vector<int> levels;
    for (int y = 0; y < map.height(); ++y)
        for (int x = 0; x < map.width(); ++x)
            levels.push_back(LevelOfColour(GetImagePixel(map, x, y)).value_or(-1));
    return levels;
}

std::vector<int> Snap(const QImage& grey, GreyDepthOptions options = {}) {
    const ImageHandle map = DepthFromGrey(grey, grey.width(), grey.height(), options);
    return map.isNull() ? std::vector<int>{} : Levels(map);
}

GreyDepthOptions Options(bool blackNear, std::optional<int> fixedBelow = std::nullopt) {
    GreyDepthOptions options;
    options.blackNear = blackNear;
    options.fixedBelow = fixedBelow;
    return options;
}

} // namespace

class TestGreyDepth : public QObject {
    Q_OBJECT
private slots:
    // 7 v crosses k + 1/2 at grey 18.2, 54.6, 91.1, 127.5, 163.9, 200.4 and 236.8 out of 255.
    void eightBitBoundaries() {
        const std::vector<int> grey = {0,   18,  19,  54,  55,  91,  92,  127,
                                       128, 163, 164, 200, 201, 236, 237, 255};
        const std::vector<int> whiteNear = {7, 7, 6, 6, 5, 5, 4, 4, 3, 3, 2, 2, 1, 1, 0, 0};
        const std::vector<int> blackNear = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7};
        QCOMPARE(Snap(GreyRow(grey)), whiteNear);
        QCOMPARE(Snap(GreyRow(grey), Options(true)), blackNear);
        for (size_t i = 0; i < grey.size(); ++i) {
            QCOMPARE(LevelOfGrey(grey[i], 255, {}), whiteNear[i]);
            QCOMPARE(LevelOfGrey(grey[i], 255, Options(true)), blackNear[i]);
        }
    }

    // Colour pictures count by qGray (11:16:5), not by one channel or the plain mean; alpha is
    // ignored, so a transparent white pixel is still white.
    void colourAndAlpha() {
        QImage image(4, 1, QImage::Format_ARGB32);
        image.setPixel(0, 0, qRgb(0, 255, 0));         // qGray 127, mean 85
        image.setPixel(1, 0, qRgb(255, 0, 0));         // qGray 87
        image.setPixel(2, 0, qRgba(255, 255, 255, 0)); // transparent white
        image.setPixel(3, 0, qRgba(0, 0, 0, 0));       // transparent black
        QCOMPARE(Snap(image), (std::vector<int>{4, 5, 0, 7}));
    }

    // 16-bit images count by their 16 bits: 4681 and 4682 lie on both sides of the first level
    // boundary (65535 / 14 = 4681.07), though both reduce to the 8-bit grey 18.
    void sixteenBitKeepsItsPrecision() {
        QCOMPARE((4681 + 128) / 257, 18);
        QCOMPARE((4682 + 128) / 257, 18);
        const std::vector<int> gradient = {0,     4681,  4682,  14043, 14044,
                                           32767, 32768, 60853, 60854, 65535};
        QCOMPARE(Snap(Grey16Row(gradient)), (std::vector<int>{7, 7, 6, 6, 5, 4, 3, 1, 0, 0}));
        QCOMPARE(Snap(Grey16Row(gradient), Options(true)),
                 (std::vector<int>{0, 0, 1, 1, 2, 3, 4, 6, 7, 7}));
    }

    // The fixed threshold compares the 8-bit grey: at most t with white near, at least 255 - t
    // with black near; nothing becomes fixed without it.
    void fixedThreshold() {
        const std::vector<int> grey = {0, 18, 19, 236, 237, 255};
        QCOMPARE(Snap(GreyRow(grey), Options(false, 18)), (std::vector<int>{8, 8, 6, 1, 0, 0}));
        QCOMPARE(Snap(GreyRow(grey), Options(true, 18)), (std::vector<int>{0, 0, 1, 6, 8, 8}));
        QCOMPARE(Snap(GreyRow(grey), Options(false, 0)), (std::vector<int>{8, 7, 6, 1, 0, 0}));
        QCOMPARE(Snap(GreyRow(grey), Options(false, 255)), (std::vector<int>(6, 8)));
        // 16 bits: 4754 is 18.498 x 257 and 4755 is 18.502 x 257.
        QCOMPARE(Snap(Grey16Row({4754, 4755}), Options(false, 18)), (std::vector<int>{8, 6}));
    }

    // A grey image of half the picture's size is stretched over all of it (no aspect kept).
    void smallerImagesCoverTheMap() {
        QImage half(4, 2, QImage::Format_Grayscale8);
        half.fill(190); // level 2
        const ImageHandle map = DepthFromGrey(half, 8, 5, {});
        QCOMPARE(map.image().size(), QSize(8, 5));
        QCOMPARE(Levels(map), std::vector<int>(40, 2));

        // Left half white, right half black: the map follows, not flipped, not cropped.
        QImage sides(4, 2, QImage::Format_Grayscale16);
        for (int y = 0; y < 2; ++y) {
            auto* row = reinterpret_cast<quint16*>(sides.scanLine(y));
            row[0] = row[1] = 65535;
            row[2] = row[3] = 0;
        }
        const ImageHandle wide = DepthFromGrey(sides, 8, 4, {});
        for (int y = 0; y < 4; ++y) {
            QCOMPARE(GetImagePixel(wide, 0, y), DepthPalette[0]);
            QCOMPARE(GetImagePixel(wide, 2, y), DepthPalette[0]);
            QCOMPARE(GetImagePixel(wide, 5, y), DepthPalette[7]);
            QCOMPARE(GetImagePixel(wide, 7, y), DepthPalette[7]);
        }
        QVERIFY(!Levels(wide).empty());
        for (int level : Levels(wide))
            QVERIFY(level >= 0 && level <= 7);

        QVERIFY(DepthFromGrey(QImage(), 8, 8, {}).isNull());
    }
};

QTEST_GUILESS_MAIN(TestGreyDepth)
#include "tst_greydepth.moc"
