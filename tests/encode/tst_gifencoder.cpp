#include "encode/GifEncoder.h"
#include "imaging/Imaging.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
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

// How many frames of a GIF have a graphic control block that makes an index transparent.
int TransparentFrames(const QByteArray& gif) {
    int count = 0;
    for (qsizetype at = gif.indexOf("\x21\xf9\x04"); at >= 0;
         at = gif.indexOf("\x21\xf9\x04", at + 1))
        count += (gif[at + 3] & 1) != 0;
    return count;
}

// Frames of 100 greys (so that the palette has a spare index): grain whose right half, or all,
// steps to another grey in every frame, the left half standing still or not.
std::vector<ImageHandle> GreyFrames(int n, bool stillLeft) {
    std::srand(3);
    std::vector<int> grain(32 * 24);
    for (int& g : grain)
        g = std::rand() % 100;
    std::vector<ImageHandle> frames;
    for (int k = 0; k < n; ++k) {
        QImage frame(32, 24, QImage::Format_RGB32);
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 32; ++x) {
                const int step = stillLeft && x < 16 ? 0 : 7 * k;
                const int g = 2 * ((grain[size_t(y * 32 + x)] + step) % 100);
                frame.setPixel(x, y, qRgb(g, g, g));
            }
        frames.emplace_back(frame);
    }
    // One palette for all, as the GIF command makes it.
    if (!ReduceFrameColors(frames))
        frames.clear();
    return frames;
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

    // Where part of a few-colour picture stands still, the frames after the first leave it
    // transparent and show what the frame before showed; where everything moves they do not.
    void stillPixelsOfFewColoursTurnTransparent() {
        for (const bool stillLeft : {true, false}) {
            const std::vector<ImageHandle> frames = GreyFrames(4, stillLeft);
            QCOMPARE(frames.size(), size_t(4));
            QByteArray gif;
            const Result r = EncodeAnimatedGif(frames, 4, 6, gif);
            QVERIFY2(r.ok, qPrintable(r.reason));
            QCOMPARE(TransparentFrames(gif), stillLeft ? 3 : 0);

            QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("grey.gif"));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(gif) == gif.size());
            file.close();
            QImageReader reader(path);
            QCOMPARE(reader.imageCount(), 4);
            for (const ImageHandle& frame : frames) {
                QImage decoded;
                QVERIFY(reader.read(&decoded));
                for (int y = 0; y < 24; ++y)
                    for (int x = 0; x < 32; ++x)
                        QCOMPARE(decoded.pixel(x, y), frame.image().pixel(x, y));
            }
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
