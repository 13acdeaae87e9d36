#include "encode/GifEncoder.h"
#include "encode/WebpEncoder.h"
#include "imaging/Imaging.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

#include <vector>

using namespace kelvaro;

namespace {

QImage Gradient(int w, int h, int seed = 0) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y,
                           qRgb((x * 7 + seed) & 255, (y * 5 + seed * 3) & 255, (x * y) & 255));
    return image;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Makes every write past `bytes` fail with EFBIG, as on a full disk; also for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

} // namespace

class TestImaging : public QObject {
    Q_OBJECT
private slots:
    void handlesOwnAndRelease() {
        ImageHandle a(Gradient(3, 2));
        QVERIFY(!a.isNull());
        ImageHandle b = std::move(a);
        QVERIFY(a.isNull());
        QCOMPARE(GetImageInfo(b).width, 3);
        QCOMPARE(GetImageInfo(b).height, 2);
        ReleaseImage(b);
        ReleaseImage(b);
        QVERIFY(b.isNull());
        QVERIFY(!ImageHandle::Failure(QStringLiteral("x")).reason().isEmpty());
    }

    void pixelReadsClampToTheNearestEdge() {
        QImage image(2, 2, QImage::Format_RGB32);
        image.setPixel(0, 0, qRgb(1, 2, 3));
        image.setPixel(1, 0, qRgb(10, 20, 30));
        image.setPixel(0, 1, qRgb(40, 50, 60));
        image.setPixel(1, 1, qRgb(70, 80, 90));
        const ImageHandle h(image);
        QCOMPARE(GetImagePixel(h, 0, 0), Rgb(1, 2, 3));
        QCOMPARE(GetImagePixel(h, 1, 0), COLORREF(0x1E140A)); // red in the low byte
        QCOMPARE(GetImagePixel(h, 2, 0), Rgb(10, 20, 30));    // x = width
        QCOMPARE(GetImagePixel(h, 0, 2), Rgb(40, 50, 60));    // y = height
        QCOMPARE(GetImagePixel(h, 2, 2), Rgb(70, 80, 90));
        QCOMPARE(GetImagePixel(h, -5, 99), Rgb(40, 50, 60));
    }

    void captureAndDrawClipRectanglesThatStickOut() {
        QImage surface = Gradient(6, 4);
        const ImageHandle whole = CaptureImage(surface, 0, 0, 6, 4);
        QCOMPARE(whole.image(), surface);

        const ImageHandle corner = CaptureImage(surface, 4, 2, 5, 5);
        QCOMPARE(corner.width(), 5);
        QCOMPARE(GetImagePixel(corner, 0, 0), ColorrefFromArgb(surface.pixel(4, 2)));
        QCOMPARE(GetImagePixel(corner, 1, 1), ColorrefFromArgb(surface.pixel(5, 3)));
        // Starts a column and a row before the surface: black where it has no pixels, and the
        // left column stays black in every row (not the end of the row above).
        const ImageHandle before = CaptureImage(surface, -1, -1, 2, 3);
        QCOMPARE(GetImagePixel(before, 1, 1), ColorrefFromArgb(surface.pixel(0, 0)));
        QCOMPARE(GetImagePixel(before, 1, 2), ColorrefFromArgb(surface.pixel(0, 1)));
        QCOMPARE(GetImagePixel(before, 0, 1), COLORREF(0));
        QCOMPARE(GetImagePixel(before, 0, 2), COLORREF(0));

        QImage target(4, 4, QImage::Format_RGB32);
        target.fill(Qt::white);
        DrawImage(target, -1, -1, 10, 10, whole, 0, 0); // sticks out on every side
        QCOMPARE(target.pixel(0, 0), surface.pixel(1, 1));
        QCOMPARE(target.pixel(3, 2), surface.pixel(4, 3));
        QCOMPARE(target.pixel(3, 3), qRgb(255, 255, 255)); // the source had no row 4
        DrawImage(target, 0, 0, 2, 2, whole, 5, 3);        // only one source pixel exists there
        QCOMPARE(target.pixel(0, 0), surface.pixel(5, 3));
        QCOMPARE(target.pixel(1, 0), surface.pixel(2, 1)); // untouched
        DrawImage(target, 100, 100, 2, 2, whole, 0, 0);    // wholly outside: nothing
    }

    void duplicateIsIndependentAndCropKeepsThePalette() {
        ImageHandle a(Gradient(4, 4));
        ImageHandle b = DuplicateImage(a);
        b.image().setPixel(0, 0, qRgb(9, 9, 9));
        QVERIFY(a.image().pixel(0, 0) != b.image().pixel(0, 0));

        QVERIFY(ReduceImageColors(a));
        const ImageHandle part = CropImage(a, 1, 1, 2, 3);
        QCOMPARE(part.width(), 2);
        QCOMPARE(part.height(), 3);
        QCOMPARE(part.image().colorTable(), a.image().colorTable());
    }

    void resizeIsExactSizeAndSmooth() {
        QImage checker(4, 4, QImage::Format_RGB32);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        ImageHandle h(checker);
        ResizeImage(h, 2, 2);
        QCOMPARE(h.width(), 2);
        QCOMPARE(h.height(), 2);
        QCOMPARE(h.image().format(), QImage::Format_RGB32);
        // Area averaging turns a checkerboard into mid grey, nearest-neighbour would not.
        QVERIFY(qAbs(qRed(h.image().pixel(0, 0)) - 128) < 8);
    }

    void fadeBlendsTowardsWhite() {
        QImage image(2, 1, QImage::Format_RGB32);
        image.setPixel(0, 0, qRgb(255, 0, 0));
        image.setPixel(1, 0, qRgb(0, 0, 0));
        ImageHandle h(image);
        FadeImage(h, 192);
        QCOMPARE(h.image().pixel(0, 0), qRgb(255, 192, 192));
        QCOMPARE(h.image().pixel(1, 0), qRgb(192, 192, 192));
        FadeImage(h, 0);
        QCOMPARE(h.image().pixel(1, 0), qRgb(192, 192, 192));
    }

    void prepareFlattensTransparencyOnWhite() {
        QImage image(2, 1, QImage::Format_ARGB32);
        image.setPixel(0, 0, qRgba(0, 0, 0, 0));
        image.setPixel(1, 0, qRgba(255, 0, 0, 255));
        ImageHandle h(image);
        PrepareImage(h);
        QCOMPARE(h.image().format(), QImage::Format_RGB32);
        QCOMPARE(GetImagePixel(h, 0, 0), Rgb(255, 255, 255));
        QCOMPARE(GetImagePixel(h, 1, 0), Rgb(255, 0, 0));
    }

    void failedSavesKeepTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("map.bmp"));
        QVERIFY(SaveBitmapFile(path, ImageHandle(Gradient(8, 8))));
        const QByteArray before = ReadAll(path);
        {
            FileSizeLimit limit(64); // the disk is full after 64 bytes
            const Result r = SaveBitmapFile(path, ImageHandle(Gradient(100, 100)));
            QVERIFY(!r.ok);
            QVERIFY(!r.reason.isEmpty());
            std::vector<ImageHandle> frames;
            frames.emplace_back(Gradient(100, 100));
            QVERIFY(!WriteAnimatedGif(path, frames, 1, 6).ok);
        }
        QCOMPARE(ReadAll(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no stray temporary file

        // A folder that does not exist, and (for a non-root user) a read-only folder.
        QVERIFY(
            !SaveBitmapFile(dir.filePath(QStringLiteral("none/x.bmp")), ImageHandle(Gradient(2, 2)))
                 .ok);
        if (geteuid() != 0) {
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
            QVERIFY(!SaveBitmapFile(path, ImageHandle(Gradient(3, 3))).ok);
            QFile::setPermissions(dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QCOMPARE(ReadAll(path), before);
        }
    }

    // A value or a reason: a failure makes no value and carries its words, a success no words.
    void resultOfCarriesTheValueOrTheReason() {
        const auto made = ResultOf<QSize>::Success(QSize(3, 4));
        QVERIFY(made);
        QCOMPARE(*made, QSize(3, 4));
        QCOMPARE(made->width(), 3);
        QVERIFY(made.reason().isEmpty());
        const auto failed = ResultOf<QSize>::Failure(QStringLiteral("disk full"));
        QVERIFY(!failed);
        QVERIFY(!failed.result.ok);
        QCOMPARE(failed.reason(), QStringLiteral("disk full"));
        QCOMPARE(*failed, QSize()); // default-made
    }

    void reductionMakesOnePaletteOfAtMost256() {
        ImageHandle h(Gradient(64, 64));
        QVERIFY(ReduceImageColors(h, 0, 0));
        QCOMPARE(h.image().format(), QImage::Format_Indexed8);
        QVERIFY(h.image().colorCount() <= 256);
        QCOMPARE(h.width(), 64);
        // Few colours come through exactly, from the working format and from others.
        QImage flat(8, 8, QImage::Format_RGB32);
        flat.fill(qRgb(12, 200, 77));
        flat.setPixel(3, 3, qRgb(255, 0, 128));
        for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888}) {
            ImageHandle f(flat.convertToFormat(format));
            QVERIFY(ReduceImageColors(f));
            QCOMPARE(GetImagePixel(f, 0, 0), Rgb(12, 200, 77));
            QCOMPARE(GetImagePixel(f, 3, 3), Rgb(255, 0, 128));
        }
    }

    // Fails when the dither map is left out or made wrongly.
    void ditheringSparesNoiseButNotSmoothAreas() {
        // Left half noise, right half a smooth gradient of more colours than a palette holds.
        const int w = 256, h = 128;
        QImage picture(w, h, QImage::Format_RGB32);
        std::srand(5);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                picture.setPixel(x, y,
                                 x < w / 2
                                     ? qRgb(std::rand() & 255, std::rand() & 255, std::rand() & 255)
                                     : qRgb(2 * (x - w / 2), 2 * y, 96));
        ImageHandle reduced(picture);
        QVERIFY(ReduceImageColors(reduced));
        const QList<QRgb> palette = reduced.image().colorTable();
        // The share of each half whose colour is the palette's nearest to the picture's.
        const auto nearestShare = [&](int x0, int x1) {
            int nearest = 0;
            for (int y = 0; y < h; ++y)
                for (int x = x0; x < x1; ++x) {
                    const QRgb p = picture.pixel(x, y);
                    const auto distance = [&](QRgb c) {
                        return std::pow(qRed(c) - qRed(p), 2) + std::pow(qGreen(c) - qGreen(p), 2) +
                               std::pow(qBlue(c) - qBlue(p), 2);
                    };
                    const double best = distance(
                        *std::min_element(palette.begin(), palette.end(), [&](QRgb a, QRgb b) {
                            return distance(a) < distance(b);
                        }));
                    nearest += distance(reduced.image().pixel(x, y)) == best;
                }
            return double(nearest) / (double(x1 - x0) * h);
        };
        const double noise = nearestShare(4, w / 2 - 4), smooth = nearestShare(w / 2 + 4, w);
        // The dither map damps the dithering where it would only add to noise: about
        // 0.95 of the noise then keeps its nearest colour, 0.76 without the map. The gradient is
        // dithered either way (0.68; all of it nearest without dithering).
        const QString shares = QStringLiteral("noise %1, gradient %2").arg(noise).arg(smooth);
        QVERIFY2(noise > 0.9, qPrintable(shares));
        QVERIFY2(smooth < 0.85, qPrintable(shares));
    }
};

QTEST_GUILESS_MAIN(TestImaging)
#include "tst_imaging.moc"
