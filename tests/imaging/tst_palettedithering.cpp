#include "imaging/PaletteDithering.h"
#include "imaging/Parallel.h"

#include <QImage>
#include <QTest>

#include <cmath>
#include <random>
#include <vector>

using namespace kelvaro;

namespace {

// The rows of an image of Format_RGB32, which must outlive them.
struct Rows {
    std::vector<const uchar*> in;
    std::vector<uchar*> out;
    QImage indices;

    explicit Rows(const QImage& picture)
        : indices(picture.width(), picture.height(), QImage::Format_Indexed8) {
        for (int y = 0; y < picture.height(); ++y) {
            in.push_back(picture.constScanLine(y));
            out.push_back(indices.scanLine(y));
        }
    }
    PictureRows Picture(int width) const { return {in, width, true}; }
};

// The squared distance the dithering compares colours by.
double Distance(QRgb p, QRgb q) {
    const auto channel = [](int v) {
        return std::pow(v / 255.0, 0.5499 / 0.45455);
    };
    return std::pow(channel(qRed(p)) - channel(qRed(q)), 2) +
           std::pow(channel(qGreen(p)) - channel(qGreen(q)), 2) +
           std::pow(channel(qBlue(p)) - channel(qBlue(q)), 2);
}

QImage Noise(int w, int h, unsigned seed, int brightest = 255) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> channel(0, brightest);
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(channel(random), channel(random), channel(random)));
    return image;
}

QList<QRgb> PaletteOf(const QImage& colours) {
    QList<QRgb> palette;
    for (int y = 0; y < colours.height(); ++y)
        for (int x = 0; x < colours.width(); ++x)
            if (!palette.contains(colours.pixel(x, y)))
                palette.append(colours.pixel(x, y));
    return palette;
}

// The picture dithered from its Format_RGB32 rows, or from RGBX8888 bytes when `bytes`.
QImage Dithered(const QImage& picture, const QList<QRgb>& palette, float level,
                bool bytes = false) {
    const QImage source = bytes ? picture.convertToFormat(QImage::Format_RGBX8888) : picture;
    Rows rows(source);
    const PictureRows rgb{rows.in, picture.width(), !bytes};
    const PaletteDithering dithering(palette, level);
    dithering.Dither(rgb, DitheringMap(rgb), rows.out);
    return rows.indices;
}

} // namespace

class TestPaletteDithering : public QObject {
    Q_OBJECT

private slots:
    // Undithered, every pixel takes a palette colour at the least distance from its own, however
    // the palette crowds: a colour the grid's lists missed would show here. From RGBX8888 bytes
    // the same, dithered or not.
    void unditheredTakesTheNearestColour_data() {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QImage>("colours");
        QTest::newRow("spread palette") << Noise(97, 61, 1) << Noise(16, 16, 2);
        QTest::newRow("crowded in the dark") << Noise(97, 61, 3, 60) << Noise(16, 16, 4, 40);
        QTest::newRow("dark palette, bright picture") << Noise(50, 50, 5) << Noise(16, 16, 6, 20);
        QTest::newRow("two colours") << Noise(40, 30, 7) << Noise(2, 1, 8);
        QTest::newRow("one colour") << Noise(40, 30, 9) << Noise(1, 1, 10);
        QTest::newRow("one row") << Noise(300, 1, 11) << Noise(16, 16, 12);
    }
    void unditheredTakesTheNearestColour() {
        QFETCH(QImage, picture);
        QFETCH(QImage, colours);
        const QList<QRgb> palette = PaletteOf(colours);
        const QImage indices = Dithered(picture, palette, 0);
        int wrong = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb p = picture.pixel(x, y);
                double best = 1e9;
                for (QRgb c : palette)
                    best = std::min(best, Distance(p, c));
                const int index = indices.constScanLine(y)[x];
                QVERIFY(index < palette.size());
                wrong += Distance(p, palette[index]) > best + 1e-6;
            }
        QCOMPARE(wrong, 0);
        // Frames of the other working format come out the same, dithered too.
        const QImage fromBytes = Dithered(picture, palette, 0, true);
        const QImage dithered = Dithered(picture, palette, 1),
                     ditheredFromBytes = Dithered(picture, palette, 1, true);
        for (int y = 0; y < picture.height(); ++y) {
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(fromBytes.constScanLine(y)),
                                picture.width()),
                     QByteArray(reinterpret_cast<const char*>(indices.constScanLine(y)),
                                picture.width()));
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(ditheredFromBytes.constScanLine(y)),
                                picture.width()),
                     QByteArray(reinterpret_cast<const char*>(dithered.constScanLine(y)),
                                picture.width()));
        }
    }

    // Dithered fully, a picture of palette colours keeps every pixel's colour, and a flat grey
    // between black and white is made of both in about its proportion, in every part.
    void exactColoursStayAndErrorsSpread() {
        const QImage colours = Noise(16, 16, 20);
        const QList<QRgb> palette = PaletteOf(colours);
        QImage picture(64, 48, QImage::Format_RGB32);
        std::mt19937 random(21);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, palette[int(random() % unsigned(palette.size()))]);
        const QImage kept = Dithered(picture, palette, 1);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                QCOMPARE(palette[kept.constScanLine(y)[x]], picture.pixel(x, y));

        QImage grey(64, 64, QImage::Format_RGB32);
        grey.fill(qRgb(128, 128, 128));
        const QImage halftone = Dithered(grey, {qRgb(0, 0, 0), qRgb(255, 255, 255)}, 1);
        // Each quarter's share of white, against grey 128's value where colours are compared.
        const double expected = std::pow(128 / 255.0, 0.5499 / 0.45455);
        for (int qy = 0; qy < 2; ++qy)
            for (int qx = 0; qx < 2; ++qx) {
                int white = 0;
                for (int y = qy * 32; y < qy * 32 + 32; ++y)
                    for (int x = qx * 32; x < qx * 32 + 32; ++x)
                        white += halftone.constScanLine(y)[x];
                const double share = white / 1024.0;
                QVERIFY2(
                    std::abs(share - expected) < 0.08,
                    qPrintable(QStringLiteral("%1 white, %2 expected").arg(share).arg(expected)));
            }
    }

    // Bands dithered at once from several threads to one palette come out as when dithered one
    // after another: the lists the threads make as they go are shared, never torn.
    void threadsShareOnePaletteSafely() {
        const QImage picture = Noise(256, 256, 30);
        const QList<QRgb> palette = PaletteOf(Noise(16, 16, 31, 200));
        constexpr int kBands = 16;
        std::vector<std::vector<const uchar*>> in(kBands);
        for (int y = 0; y < picture.height(); ++y)
            in[size_t(y * kBands / picture.height())].push_back(picture.constScanLine(y));
        const auto dither = [&](int threads) {
            QImage out(picture.width(), picture.height(), QImage::Format_Indexed8);
            std::vector<std::vector<uchar*>> rows(kBands);
            for (int y = 0; y < picture.height(); ++y)
                rows[size_t(y * kBands / picture.height())].push_back(out.scanLine(y));
            const PaletteDithering dithering(palette, 0.5f);
            ParallelFor(
                kBands,
                [&](int b) {
                    const PictureRows band{in[size_t(b)], picture.width(), true};
                    dithering.Dither(band, DitheringMap(band), rows[size_t(b)]);
                },
                threads);
            return QByteArray(reinterpret_cast<const char*>(out.constBits()), out.sizeInBytes());
        };
        AllowWorkerThreads(4);
        QCOMPARE(dither(4), dither(1));
    }

    // Dithering is damped on an edge and kept on flat ground; a picture under 4 pixels high has
    // no map.
    void mapDampsEdges() {
        QImage picture(32, 32, QImage::Format_RGB32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                picture.setPixel(x, y, x < 16 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        const Rows rows(picture);
        const std::vector<uchar> map = DitheringMap(rows.Picture(32));
        QCOMPARE(map.size(), size_t(32 * 32));
        const auto at = [&](int x, int y) {
            return int(map[size_t(y * 32 + x)]);
        };
        QCOMPARE(at(4, 16), 255);
        QCOMPARE(at(27, 16), 255);
        QVERIFY2(at(16, 16) < 64 && at(15, 16) < 64, qPrintable(QString::number(at(16, 16))));

        const QImage strip = picture.copy(0, 0, 32, 3);
        const Rows short_(strip);
        QVERIFY(DitheringMap(short_.Picture(32)).empty());
    }
};

QTEST_GUILESS_MAIN(TestPaletteDithering)
#include "tst_palettedithering.moc"
