#include "files/PictureFile.h"
#include "gif/GifPipeline.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace kelvaro;

namespace {

ImageHandle Photo(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb((x * 255) / w, (y * 255) / h, ((x + y) * 3) & 255));
    return ImageHandle(image);
}

// Records every hook call as a string: "0", "1", ... for steps, "hide", "ask".
struct Recorder {
    QStringList calls;
    std::optional<int> answer = 0;
    GenerationHooks Hooks() {
        GenerationHooks h;
        h.showProgress = [this](int step) {
            calls << QString::number(step);
        };
        h.hideProgress = [this] {
            calls << QStringLiteral("hide");
        };
        h.askOutputSize = [this] {
            calls << QStringLiteral("ask");
            return answer;
        };
        return h;
    }
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestPipeline : public QObject {
    Q_OBJECT
private slots:
    void outputSizes() {
        QCOMPARE(OutputSizeFor(0, 640, 480), QSize(640, 480));
        QCOMPARE(OutputSizeFor(1, 640, 480), QSize(426, 320));
        QCOMPARE(OutputSizeFor(2, 640, 480), QSize(320, 240));
        QCOMPARE(OutputSizeFor(3, 640, 480), QSize(213, 160));
        QCOMPARE(OutputSizeFor(4, 640, 480), QSize(160, 120));
        QCOMPARE(OutputSizeFor(7, 640, 480), QSize(160, 120)); // any other choice: a quarter
        QCOMPARE(OutputSizeFor(1, 100, 50), QSize(66, 33));
        QCOMPARE(OutputSizeFor(4, 3, 3), QSize(1, 1)); // never below one pixel
    }

    void fullRunProgressAndFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("揺れる.gif"));
        const ImageHandle picture = Photo(40, 30);
        DepthMap depth;
        QVERIFY(depth.Create(40, 30));
        Recorder r;
        r.answer = 2;
        const GenerationResult result =
            GenerateSwayGif(path, picture, depth, SwayDirection::Horizontal, r.Hooks());
        QCOMPARE(result.outcome, GenerationOutcome::Written);
        QCOMPARE(r.calls.join(QLatin1Char(' ')),
                 QStringLiteral("0 0 1 2 3 4 5 6 7 hide ask 0 2 4 6 8 hide"));

        // Read back with Qt's decoder: 8 frames of the output size, looping, 60 ms each, close
        // to the rendered frames scaled the same way.
        const std::vector<ImageHandle> rendered =
            RenderSwayFrames(picture, depth, SwayDirection::Horizontal);
        QImageReader reader(path);
        QCOMPARE(reader.imageCount(), FrameCount);
        QCOMPARE(reader.loopCount(), -1);
        QList<QRgb> palette;
        for (int k = 0; k < FrameCount; ++k) {
            QImage frame;
            QVERIFY(reader.read(&frame));
            QCOMPARE(frame.size(), QSize(20, 15));
            QCOMPARE(reader.nextImageDelay(), 60);
            ImageHandle expected = DuplicateImage(rendered[size_t(k)]);
            ResizeImage(expected, 20, 15);
            double error = 0;
            for (int y = 0; y < 15; ++y)
                for (int x = 0; x < 20; ++x) {
                    const COLORREF a = GetImagePixel(expected, x, y);
                    const QRgb b = frame.pixel(x, y);
                    error += std::abs(RedOf(a) - qRed(b)) + std::abs(GreenOf(a) - qGreen(b)) +
                             std::abs(BlueOf(a) - qBlue(b));
                }
            QVERIFY2(error / (20 * 15 * 3) < 6.0, qPrintable(QString::number(error)));
        }
    }

    void photoKeepsItsQualityAndEqualFramesStayEqual() {
        const QString data = QStringLiteral(KELVARO_DATA_DIR);
        const LoadedPicture picture = LoadPicture(data + QStringLiteral("/coffee-640x480.jpg"));
        QVERIFY(!picture.image.isNull());
        DepthMap depth;
        QVERIFY(depth.Create(picture.image.width(), picture.image.height()));
        QVERIFY(LoadDepthMapFile(data + QStringLiteral("/coffee-depth.png"), depth));
        const std::vector<ImageHandle> rendered =
            RenderSwayFrames(picture.image, depth, SwayDirection::Horizontal);
        QCOMPARE(int(rendered.size()), FrameCount);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("coffee.gif"));
        std::vector<ImageHandle> copies;
        for (const ImageHandle& frame : rendered)
            copies.push_back(DuplicateImage(frame)); // equal frames, but not shared ones
        QVERIFY(WriteSwayGif(path, std::move(copies), QSize(640, 480)));

        // Decoded by Qt, which also composes the transparent pixels onto the frame before.
        QImageReader reader(path);
        std::vector<QImage> decoded;
        double psnr = 0;
        for (int k = 0; k < FrameCount; ++k) {
            QImage frame;
            QVERIFY(reader.read(&frame));
            frame.convertTo(QImage::Format_RGB32);
            const QImage& ref = rendered[size_t(k)].image();
            QCOMPARE(frame.size(), ref.size());
            double se = 0;
            for (int y = 0; y < ref.height(); ++y)
                for (int x = 0; x < ref.width(); ++x) {
                    const QRgb a = frame.pixel(x, y), b = ref.pixel(x, y);
                    se += std::pow(qRed(a) - qRed(b), 2) + std::pow(qGreen(a) - qGreen(b), 2) +
                          std::pow(qBlue(a) - qBlue(b), 2);
                }
            psnr += 10 * std::log10(255.0 * 255.0 * 3 * ref.width() * ref.height() / se);
            decoded.push_back(frame);
        }
        QCOMPARE(QImageReader(path).imageCount(), FrameCount);
        psnr /= FrameCount;
        QVERIFY2(psnr >= 36.5, qPrintable(QString::number(psnr)));
        for (int j = 0; j < FrameCount; ++j)
            for (int k = j + 1; k < FrameCount; ++k)
                QCOMPARE(decoded[size_t(j)] == decoded[size_t(k)],
                         rendered[size_t(j)].image() == rendered[size_t(k)].image());
        QVERIFY(decoded[0] == decoded[4]); // the cycle does repeat frames
    }

    void oneSharedPaletteForAllFrames() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.gif"));
        DepthMap depth;
        QVERIFY(depth.Create(32, 24));
        Recorder r;
        QCOMPARE(
            GenerateSwayGif(path, Photo(32, 24), depth, SwayDirection::Vertical, r.Hooks()).outcome,
            GenerationOutcome::Written);
        // Walk the GIF's blocks: a global colour table, and no frame with a local one.
        const QByteArray bytes = ReadAll(path);
        const auto at = [&](qsizetype i) {
            return i < bytes.size() ? quint8(bytes[i]) : 0x3B;
        };
        QVERIFY(at(10) & 0x80);
        qsizetype i = 13 + 3 * (qsizetype(1) << ((at(10) & 7) + 1));
        const auto skipSubBlocks = [&] {
            while (at(i) != 0)
                i += at(i) + 1;
            ++i;
        };
        int descriptors = 0;
        while (at(i) != 0x3B) {
            if (at(i) == 0x21) { // extension: label, then sub-blocks
                i += 2;
                skipSubBlocks();
            } else {
                QCOMPARE(at(i), 0x2C);
                QCOMPARE(at(i + 9) & 0x80, 0); // no local colour table
                ++descriptors;
                i += 11; // descriptor and the LZW code size
                skipSubBlocks();
            }
        }
        QCOMPARE(descriptors, FrameCount);
    }

    void cancelledRunWritesNothing() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.gif"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the old file");
        old.close();
        DepthMap depth;
        QVERIFY(depth.Create(12, 9));
        Recorder r;
        r.answer = std::nullopt;
        const GenerationResult result =
            GenerateSwayGif(path, Photo(12, 9), depth, SwayDirection::Horizontal, r.Hooks());
        QCOMPARE(result.outcome, GenerationOutcome::Cancelled);
        QCOMPARE(r.calls.join(QLatin1Char(' ')), QStringLiteral("0 0 1 2 3 4 5 6 7 hide ask"));
        QCOMPARE(ReadAll(path), QByteArray("the old file"));
    }

    void failedWriteIsReportedAndKeepsTheOldFile() {
        QTemporaryDir dir;
        DepthMap depth;
        QVERIFY(depth.Create(12, 9));
        Recorder r;
        const GenerationResult missing =
            GenerateSwayGif(dir.filePath(QStringLiteral("no/such/folder/a.gif")), Photo(12, 9),
                            depth, SwayDirection::Horizontal, r.Hooks());
        QCOMPARE(missing.outcome, GenerationOutcome::WriteFailed);
        QVERIFY(!missing.reason.isEmpty());
        QVERIFY(r.calls.endsWith(QStringLiteral("hide")));

        // The path is a folder: the folder stays a folder.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken.gif")));
        QCOMPARE(GenerateSwayGif(dir.filePath(QStringLiteral("taken.gif")), Photo(12, 9), depth,
                                 SwayDirection::Vertical, r.Hooks())
                     .outcome,
                 GenerationOutcome::WriteFailed);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("taken.gif"))).isDir());
    }

    void heavyStepsGoThroughTheRunner() {
        QTemporaryDir dir;
        DepthMap depth;
        QVERIFY(depth.Create(8, 8));
        Recorder r;
        GenerationHooks hooks = r.Hooks();
        int heavy = 0;
        hooks.runHeavy = [&](const std::function<void()>& work) {
            ++heavy;
            work();
        };
        QCOMPARE(GenerateSwayGif(dir.filePath(QStringLiteral("h.gif")), Photo(8, 8), depth,
                                 SwayDirection::Horizontal, hooks)
                     .outcome,
                 GenerationOutcome::Written);
        QCOMPARE(heavy, 2); // rendering, then scaling to writing; the question is asked between
    }
};

QTEST_GUILESS_MAIN(TestPipeline)
#include "tst_pipeline.moc"
