#include "encode/GifEncoder.h"
#include "imaging/Imaging.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

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

} // namespace

class TestGifEncoder : public QObject {
    Q_OBJECT
private slots:
    void animatedGifReadsBackFrameForFrame() {
        const int w = 24, h = 10, n = 8;
        QImage strip(w, h * n, QImage::Format_RGB32);
        for (int k = 0; k < n; ++k) {
            const QImage frame = Gradient(w, h, k * 29);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    strip.setPixel(x, k * h + y, frame.pixel(x, y));
        }
        ImageHandle reduced(strip);
        QVERIFY(ReduceImageColors(reduced));
        // As in a sway cycle, some frames repeat earlier ones (written once, placed twice).
        const int stripRow[n] = {0, 1, 2, 1, 0, 5, 6, 5};
        std::vector<ImageHandle> frames;
        for (int k = 0; k < n; ++k)
            frames.push_back(CropImage(reduced, 0, stripRow[k] * h, w, h));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("揺れ.gif"));
        const Result r = WriteAnimatedGif(path, frames, n, 6);
        QVERIFY2(r.ok, qPrintable(r.reason));

        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("gif"));
        QCOMPARE(reader.imageCount(), n);
        QCOMPARE(reader.loopCount(), -1); // forever
        for (int k = 0; k < n; ++k) {
            QImage decoded;
            QVERIFY(reader.read(&decoded));
            QCOMPARE(decoded.size(), QSize(w, h));
            QCOMPARE(reader.nextImageDelay(), 60);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    QCOMPARE(ColorrefFromArgb(decoded.pixel(x, y)),
                             GetImagePixel(frames[size_t(k)], x, y));
        }
    }

    void gifSplitsIntoHeaderAndFrames() {
        std::vector<ImageHandle> frames;
        frames.emplace_back(Gradient(5, 5, 1));
        QVERIFY(ReduceImageColors(frames.front())); // one palette: a global table
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.gif"));
        QVERIFY(WriteAnimatedGif(path, frames, 1, 6));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray gif = file.readAll();

        const std::optional<GifParts> parts = SplitGif(gif);
        QVERIFY(parts);
        // After the global table (its size in the screen flags) and the looping extension comes
        // the first frame's control extension; the trailer byte ends the frames.
        const qsizetype table = 3 * (qsizetype(2) << (gif[10] & 7));
        QVERIFY(gif[10] & 0x80);
        QCOMPARE(gif.mid(13 + table + 3, 8), QByteArray("NETSCAPE"));
        QCOMPARE(gif.mid(parts->frameStart, 2), QByteArray("\x21\xf9"));
        QCOMPARE(parts->frameEnd, gif.size() - 1);

        QVERIFY(!SplitGif(gif.first(gif.size() - 1)));                 // no trailer
        QVERIFY(!SplitGif(gif.first(parts->frameStart) + char(0x3b))); // no frame
        QVERIFY(!SplitGif(QByteArray("PNG89a") + gif.mid(6)));
        QVERIFY(!SplitGif({}));
    }

    void gifOfUnreducedFramesStillWrites() {
        std::vector<ImageHandle> frames;
        frames.emplace_back(Gradient(5, 5, 1));
        frames.emplace_back(Gradient(5, 5, 2));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.gif"));
        QVERIFY(WriteAnimatedGif(path, frames, 2, 6));
        QCOMPARE(QImageReader(path).imageCount(), 2);
        frames.emplace_back(Gradient(6, 5));
        QVERIFY(!WriteAnimatedGif(path, frames, 3, 6).ok); // sizes differ
        QVERIFY(!WriteAnimatedGif(path, frames, 0, 6).ok);
    }
};

QTEST_GUILESS_MAIN(TestGifEncoder)
#include "tst_gifencoder.moc"
