#include "files/FileDialogs.h"
#include "files/PictureFile.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

using namespace kelvaro;

namespace {

QString WritePng(const QTemporaryDir& dir, const QString& name, int w, int h, QRgb colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = dir.filePath(name);
    image.save(path, "png");
    return path;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestPictureFile : public QObject {
    Q_OBJECT
private slots:
    void shrinkTable_data() {
        QTest::addColumn<int>("w0");
        QTest::addColumn<int>("h0");
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<bool>("shrunk");
        // Edge cases; the documented sizes are checked through the editor window.
        QTest::newRow("3000x2000 truncates 426.7") << 3000 << 2000 << 640 << 426 << true;
        QTest::newRow("641x1") << 641 << 1 << 640 << 1 << true;
        QTest::newRow("2x2000 keeps a column") << 2 << 2000 << 1 << 640 << true;
        QTest::newRow("16384 square") << 16384 << 16384 << 640 << 640 << true;
    }
    void shrinkTable() {
        QFETCH(int, w0);
        QFETCH(int, h0);
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(bool, shrunk);
        const PictureSize s = FitPictureSize(w0, h0);
        QCOMPARE(s.width, w);
        QCOMPARE(s.height, h);
        QCOMPARE(s.shrunk, shrunk);
    }

    // Shrunk and in the working format with its colours; the other sizes and the files that are
    // not pictures go through the editor window's tests.
    void loadPictureFitsAndPrepares() {
        QTemporaryDir dir;
        const LoadedPicture big =
            LoadPicture(WritePng(dir, QStringLiteral("大きい写真.png"), 1280, 960, qRgb(9, 8, 7)));
        QVERIFY2(!big.image.isNull(), qPrintable(big.image.reason()));
        QVERIFY(big.shrunk);
        QCOMPARE(big.image.width(), 640);
        QCOMPARE(big.image.height(), 480);
        QCOMPARE(big.image.image().format(), QImage::Format_RGB32);
        QCOMPARE(GetImagePixel(big.image, 10, 10), Rgb(9, 8, 7));
    }

    void largePhotosOpenAtTheShrunkSize_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("stored");
        QTest::addColumn<QSize>("opened");
        // 48 MP, over Qt's own allocation limit (128 MB) at full size; a TIFF, which is decoded
        // at full size before it is shrunk, over that limit too (144 MB); a panorama wider than
        // 16,384.
        QTest::newRow("48 MP jpeg") << "48mp.jpg" << QSize(8064, 6048) << QSize(640, 480);
        QTest::newRow("36 MP tiff") << "36mp.tif" << QSize(6000, 6000) << QSize(640, 640);
        QTest::newRow("panorama png") << "pano.png" << QSize(17000, 2) << QSize(640, 1);
        QTest::newRow("tall png") << "tall.png" << QSize(300, 5000) << QSize(38, 640);
    }
    void largePhotosOpenAtTheShrunkSize() {
        QFETCH(QString, name);
        QFETCH(QSize, stored);
        QFETCH(QSize, opened);
        QTemporaryDir dir;
        QImage image(stored, QImage::Format_RGB32);
        image.fill(qRgb(200, 100, 50));
        const QString path = dir.filePath(name);
        QImageWriter writer(path);
        writer.setQuality(90);
        writer.setCompression(1); // LZW for the TIFF, which is otherwise stored raw
        QVERIFY(writer.write(image));
        image = QImage();
        const LoadedPicture loaded = LoadPicture(path);
        QVERIFY2(!loaded.image.isNull(), qPrintable(loaded.image.reason()));
        QCOMPARE(QSize(loaded.image.width(), loaded.image.height()), opened);
        QVERIFY(loaded.shrunk);
        QCOMPARE(loaded.image.image().format(), QImage::Format_RGB32);
        const COLORREF c = GetImagePixel(loaded.image, opened.width() / 2, opened.height() / 2);
        QVERIFY(qAbs(RedOf(c) - 200) < 8 && qAbs(GreenOf(c) - 100) < 8 && qAbs(BlueOf(c) - 50) < 8);
    }

    void turnedPhotoIsFittedAsShown() {
        // Stored 1600 x 1200 with an orientation tag that turns it upright: shown 1200 x 1600,
        // so the rule gives 480 x 640 (fitting the stored size would give 640 x 480, turned).
        QTemporaryDir dir;
        QImage stored(1600, 1200, QImage::Format_RGB32);
        stored.fill(Qt::red);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(stored.save(&buffer, "jpg", 90));
        QByteArray exif(
            "Exif\0\0MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 32);
        QByteArray app1("\xff\xe1", 2);
        app1.append(char(0));
        app1.append(char(exif.size() + 2));
        jpeg.insert(2, app1 + exif);
        const QString path = dir.filePath(QStringLiteral("upright.jpg"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(jpeg);
        file.close();
        const LoadedPicture loaded = LoadPicture(path);
        QVERIFY2(!loaded.image.isNull(), qPrintable(loaded.image.reason()));
        QCOMPARE(QSize(loaded.image.width(), loaded.image.height()), QSize(480, 640));
        QCOMPARE(QSize(loaded.image.width(), loaded.image.height()),
                 QSize(FitPictureSize(1200, 1600).width, FitPictureSize(1200, 1600).height));
    }

    void depthMapSavedAndLoadedBackIsIdentical() {
        QTemporaryDir dir;
        DepthMap map;
        QVERIFY(map.Create(7, 5));
        for (int x = 0; x < 7; ++x)
            map.surface().setPixel(x, 1, ArgbFromColorref(DepthPalette[size_t(x)]));
        map.surface().setPixel(3, 3, ArgbFromColorref(0x123456)); // not a palette colour
        const QString path = dir.filePath(QStringLiteral("立体情報.bmp"));
        QVERIFY(SaveDepthMapFile(path, map));

        // The file is an uncompressed 24-bit bitmap, rows bottom up, each padded to 4 bytes.
        const QByteArray bmp = ReadAll(path);
        const auto at = [&](qsizetype i, int bytes) {
            quint32 v = 0;
            for (int b = bytes - 1; b >= 0; --b)
                v = v << 8 | quint8(bmp.at(i + b));
            return v;
        };
        QVERIFY(bmp.startsWith("BM"));
        QCOMPARE(at(18, 4), 7u);
        QCOMPARE(at(22, 4), 5u);
        QCOMPARE(at(28, 2), 24u);
        QCOMPARE(at(30, 4), 0u);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) // blue, green, red: the low bytes of a QRgb in order
                QCOMPARE(at(at(10, 4) + (4 - y) * 24 + x * 3, 3),
                         map.surface().pixel(x, y) & 0xffffff);

        DepthMap back;
        QVERIFY(back.Create(7, 5));
        QVERIFY(LoadDepthMapFile(path, back));
        QCOMPARE(back.surface(), map.surface());
    }

    void depthFilesWithAGammaKeepTheirColours() {
        // A PNG that carries a colour profile other than sRGB (as many tools write a gamma).
        const QColorSpace gamma(QColorSpace::Primaries::SRgb, 2.2f);
        QImage file(9, 1, QImage::Format_RGB32);
        for (int i = 0; i < 9; ++i)
            file.setPixel(i, 0, ArgbFromColorref(DepthPalette[size_t(i)]));
        file.setColorSpace(gamma);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("gamma.png"));
        QVERIFY(file.save(path, "png"));
        DepthMap map;
        QVERIFY(map.Create(9, 1));
        QVERIFY(LoadDepthMapFile(path, map));
        for (int i = 0; i < 9; ++i)
            QCOMPARE(map.Pixel(i, 0), DepthPalette[size_t(i)]);

        // So do grey depth images: grey 20 of 255 is level 7 - round(7 * 20 / 255) = 6; brought
        // from gamma 2.2 to sRGB it would darken to about 12, level 7.
        QImage grey(1, 1, QImage::Format_RGB32);
        grey.setPixel(0, 0, qRgb(20, 20, 20));
        grey.setColorSpace(gamma);
        const QString greyPath = dir.filePath(QStringLiteral("grey-gamma.png"));
        QVERIFY(grey.save(greyPath, "png"));
        QVERIFY(LoadGreyDepthFile(greyPath, {}, map));
        QCOMPARE(map.Pixel(0, 0), DepthPalette[6]);
    }

    void depthFilesOfOtherSizesCoverTopLeft() {
        QTemporaryDir dir;
        DepthMap large;
        QVERIFY(large.Create(6, 6));
        large.surface().fill(ArgbFromColorref(DepthPalette[2]));
        large.surface().setPixel(1, 1, ArgbFromColorref(DepthPalette[0]));
        const QString largePath = dir.filePath(QStringLiteral("large.bmp"));
        QVERIFY(SaveDepthMapFile(largePath, large));

        DepthMap map;
        QVERIFY(map.Create(3, 2));
        QVERIFY(LoadDepthMapFile(largePath, map));
        QCOMPARE(map.width(), 3); // the map keeps its size
        QCOMPARE(map.Pixel(1, 1), DepthPalette[0]);
        QCOMPARE(map.Pixel(2, 0), DepthPalette[2]);

        DepthMap wide;
        QVERIFY(wide.Create(10, 10));
        QVERIFY(LoadDepthMapFile(largePath, wide));
        QCOMPARE(wide.Pixel(5, 5), DepthPalette[2]);
        QCOMPARE(wide.Pixel(6, 0), DepthPalette[BaseLevel]); // beyond the file: kept
        QCOMPARE(wide.Pixel(0, 9), DepthPalette[BaseLevel]);
    }

    // The load reports the file's size and the off-palette pixels that entered the map, so
    // the callers can tell the user; pixels of the file beyond the map are not counted.
    void depthFileLoadsReportWhatTheyDid() {
        QTemporaryDir dir;
        QImage file(6, 6, QImage::Format_RGB32);
        file.fill(ArgbFromColorref(DepthPalette[FixedLevel]));
        file.setPixel(1, 1, qRgb(128, 128, 128));
        file.setPixel(2, 0, qRgb(255, 255, 255));
        file.setPixel(5, 5, qRgb(9, 9, 9)); // beyond a 3 x 2 map
        const QString path = dir.filePath(QStringLiteral("grey-by-mistake.png"));
        QVERIFY(file.save(path));

        DepthMap small;
        QVERIFY(small.Create(3, 2));
        const ResultOf<DepthMapFileLoad> load = LoadDepthMapFile(path, small);
        QVERIFY(load);
        QCOMPARE(load->fileSize, QSize(6, 6));
        QCOMPARE(load->offPalettePixels, qint64(2));

        DepthMap same;
        QVERIFY(same.Create(6, 6));
        QCOMPARE(LoadDepthMapFile(path, same)->offPalettePixels, qint64(3));
        file.setPixel(1, 1, ArgbFromColorref(DepthPalette[0]));
        file.setPixel(2, 0, ArgbFromColorref(DepthPalette[3]));
        file.setPixel(5, 5, ArgbFromColorref(DepthPalette[5]));
        QVERIFY(file.save(path));
        const ResultOf<DepthMapFileLoad> clean = LoadDepthMapFile(path, same);
        QCOMPARE(clean->fileSize, QSize(6, 6));
        QCOMPARE(clean->offPalettePixels, qint64(0));
    }

    // Transparent pixels of a map file keep their stored colour (they are levels, not a picture
    // to be shown on white).
    void transparentMapPixelsKeepTheirColour() {
        QImage file(3, 1, QImage::Format_ARGB32);
        file.setPixel(
            0, 0,
            qRgba(RedOf(DepthPalette[3]), GreenOf(DepthPalette[3]), BlueOf(DepthPalette[3]), 0));
        file.setPixel(
            1, 0,
            qRgba(RedOf(DepthPalette[5]), GreenOf(DepthPalette[5]), BlueOf(DepthPalette[5]), 128));
        file.setPixel(2, 0, qRgba(0, 0, 0, 0));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alpha.png"));
        QVERIFY(file.save(path));
        DepthMap map;
        QVERIFY(map.Create(3, 1));
        const ResultOf<DepthMapFileLoad> load = LoadDepthMapFile(path, map);
        QVERIFY(load);
        QCOMPARE(map.Pixel(0, 0), DepthPalette[3]);
        QCOMPARE(map.Pixel(1, 0), DepthPalette[5]);
        QCOMPARE(map.Pixel(2, 0), DepthPalette[FixedLevel]);
        QCOMPARE(load->offPalettePixels, qint64(0));
    }

    // A 16-bit grey file reaches the snapping rule with its 16 bits (4681 and 4682 are one 8-bit
    // grey but two levels), and replaces the whole map; a bad file changes nothing.
    void greyDepthFiles() {
        QImage grey(2, 1, QImage::Format_Grayscale16);
        reinterpret_cast<quint16*>(grey.scanLine(0))[0] = 4681;
        reinterpret_cast<quint16*>(grey.scanLine(0))[1] = 4682;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("深度.png"));
        QVERIFY(grey.save(path));
        DepthMap map;
        QVERIFY(map.Create(2, 1));
        map.surface().fill(qRgb(1, 2, 3));
        QVERIFY(LoadGreyDepthFile(path, {}, map));
        QCOMPARE(map.Pixel(0, 0), DepthPalette[7]);
        QCOMPARE(map.Pixel(1, 0), DepthPalette[6]);

        const QImage before = map.surface().copy();
        QFile text(dir.filePath(QStringLiteral("x.png")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a picture");
        text.close();
        QVERIFY(!LoadGreyDepthFile(text.fileName(), {}, map).ok);
        QCOMPARE(map.surface(), before);
    }

    // The extension a save dialog adds to a name typed without one.
    void defaultSuffix() {
        QCOMPARE(WithDefaultSuffix(QStringLiteral("/tmp/map"), FileDialogUse::SaveDepthMap),
                 QStringLiteral("/tmp/map.bmp"));
        QCOMPARE(WithDefaultSuffix(QStringLiteral("/tmp/anim"), FileDialogUse::GenerateGif),
                 QStringLiteral("/tmp/anim.gif"));
        QCOMPARE(WithDefaultSuffix(QStringLiteral("/tmp/map.dat"), FileDialogUse::SaveDepthMap),
                 QStringLiteral("/tmp/map.dat"));
        QCOMPARE(WithDefaultSuffix(QStringLiteral("/tmp/pic"), FileDialogUse::OpenPicture),
                 QStringLiteral("/tmp/pic"));
        // "GIFを生成" offers WebP and MP4 after GIF; the chosen filter gives a bare name its
        // extension.
        const QStringList filters =
            SettingsFor(FileDialogUse::GenerateGif).filter.split(QStringLiteral(";;"));
        QCOMPARE(filters, (QStringList{QStringLiteral("GIFファイル (*.gif)"),
                                       QStringLiteral("WebPファイル (*.webp)"),
                                       QStringLiteral("MP4動画 (*.mp4)")}));
        QCOMPARE(
            WithDefaultSuffix(QStringLiteral("/tmp/anim"), FileDialogUse::GenerateGif, filters[1]),
            QStringLiteral("/tmp/anim.webp"));
        QCOMPARE(
            WithDefaultSuffix(QStringLiteral("/tmp/anim"), FileDialogUse::GenerateGif, filters[0]),
            QStringLiteral("/tmp/anim.gif"));
    }
};

QTEST_GUILESS_MAIN(TestPictureFile)
#include "tst_picturefile.moc"
