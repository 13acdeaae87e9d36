#include "encode/GifEncoder.h"
#include "encode/SizeLimit.h"
#include "encode/WebpEncoder.h"
#include "files/PictureFile.h"
#include "gif/GifPipeline.h"
#include "imaging/ImageOperations.h"

#include "VideoFrames.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <atomic>
#include <cmath>
#include <mutex>

using namespace kelvaro;

namespace {

std::vector<ImageHandle> PhotoFrames() {
    LoadedPicture picture = LoadPicture(QStringLiteral(KELVARO_DATA_DIR "/coffee-640x480.jpg"));
    DepthMap depth;
    if (picture.image.isNull() || !depth.Create(picture.image.width(), picture.image.height()) ||
        !LoadDepthMapFile(QStringLiteral(KELVARO_DATA_DIR "/coffee-depth.png"), depth))
        return {};
    return RenderSwayFrames(picture.image, depth, SwayDirection::Horizontal);
}

std::vector<ImageHandle> Copies(const std::vector<ImageHandle>& frames) {
    std::vector<ImageHandle> copies;
    for (const ImageHandle& frame : frames)
        copies.emplace_back(QImage(frame.image()));
    return copies;
}

} // namespace

class TestSizeLimit : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::vector<ImageHandle> frames_;

    QString path(const QString& name) const { return dir_.filePath(name); }

    // Writes the photo's frames in `format` at 320 x 240 within `limit` bytes (0: none); the
    // lines the encoder gave.
    Result Write(AnimationFormat format, const QString& name, long long limit, QStringList& lines) {
        EncodeOptions options;
        options.maxBytes = limit;
        options.gaveWay = [&](const QString& line) {
            lines << line;
        };
        return OutputFormatOf(format).encoder.Write(path(name), Copies(frames_), QSize(320, 240),
                                                    SwayFrameDelay, options, {});
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        frames_ = PhotoFrames();
        QCOMPARE(frames_.size(), size_t(FrameCount));
    }

    void byteCounts() {
        QCOMPARE(ParseByteCount(QStringLiteral("8M")), 8000000LL);
        QCOMPARE(ParseByteCount(QStringLiteral("500k")), 500000LL);
        QCOMPARE(ParseByteCount(QStringLiteral("1.5MB")), 1500000LL);
        QCOMPARE(ParseByteCount(QStringLiteral("120000")), 120000LL);
        for (const char* wrong : {"", "0", "-5", "8 X", "M", "1e6", "2T", "0.1"})
            QVERIFY2(!ParseByteCount(QString::fromLatin1(wrong)), wrong);
        QCOMPARE(ByteCountText(8000000), QStringLiteral("8 MB"));
        QCOMPARE(ByteCountText(512300), QStringLiteral("512 kB"));
        QCOMPARE(ByteCountText(999), QStringLiteral("999 B"));
    }

    // The search lands on the smallest step that fits (or one close to the limit), or reports
    // that none does, with the
    // smallest size it met.
    void searchFindsTheSmallestStepThatFits() {
        const auto sizeAt = [](int step) {
            return 10000 - 90 * step;
        }; // 10000 .. 1000
        for (const int limit : {9950, 7000, 5000, 2000, 1000}) {
            StepFit fit;
            int encodings = 0;
            QVERIFY(SearchSteps(
                100, 1, 30, limit, sizeAt(0),
                [&](int step, QByteArray& bytes) {
                    ++encodings;
                    bytes = QByteArray(sizeAt(step), 'x');
                    return Result{};
                },
                fit));
            int expected = 0;
            while (sizeAt(expected) > limit)
                ++expected;
            // The smallest step, or one within 5 % of the limit.
            QCOMPARE(fit.bytes.size(), sizeAt(fit.step));
            QVERIFY(fit.bytes.size() <= limit);
            QVERIFY2(fit.step == expected || fit.bytes.size() >= limit * 0.95,
                     qPrintable(QStringLiteral("%1 %2").arg(limit).arg(fit.step)));
            QVERIFY2(encodings <= 10, qPrintable(QString::number(encodings)));
        }
        StepFit none;
        QVERIFY(SearchSteps(
            100, 1, 30, 500, sizeAt(0),
            [&](int step, QByteArray& bytes) {
                bytes = QByteArray(sizeAt(step), 'x');
                return Result{};
            },
            none));
        QCOMPARE(none.step, -1);
        QCOMPARE(none.smallest, 1000LL);
    }

    // Two steps at a time after the first guess: a guess that misses leads to a pair around the
    // step the slope of the sizes meets, and the pair ends the search; the
    // answer stays the one a search of single steps finds, or within the tolerance of it, and the
    // pairs really run side by side.
    void searchInPairs() {
        // A size that falls 4 % a step, 100000 at step 0.
        const auto sizeAt = [](int step) {
            return int(100000 * std::pow(0.96, step));
        };
        const int limit = 50000; // the smallest step that fits is 17
        for (const int first : {16, 17, 10, 30, 60}) {
            std::atomic<int> encodings = 0, running = 0, together = 0;
            std::mutex mutex;
            QList<int> steps;
            const auto encode = [&](int step, QByteArray& bytes) {
                ++encodings;
                together = std::max(together.load(), ++running);
                QTest::qSleep(20);
                bytes = QByteArray(sizeAt(step), 'x');
                {
                    const std::lock_guard lock(mutex);
                    steps << step;
                }
                --running;
                return Result{};
            };
            StepFit pairs, single;
            QVERIFY(SearchSteps(80, 3, first, limit, sizeAt(0), encode, pairs, true));
            const int pairEncodings = encodings.exchange(0);
            QVERIFY(SearchSteps(80, 3, first, limit, sizeAt(0), encode, single));
            const QString seen = QStringLiteral("first %1: steps %2").arg(first).arg([&] {
                QStringList list;
                for (int s : steps)
                    list << QString::number(s);
                return list.join(QLatin1Char(' '));
            }());
            QVERIFY2(pairs.step >= 17 && pairs.step <= 20, qPrintable(seen));
            QCOMPARE(pairs.bytes.size(), sizeAt(pairs.step));
            QVERIFY2(std::abs(pairs.step - single.step) <= 3, qPrintable(seen));
            // A good guess is tried alone; short of the limit, a pair goes where the slope of the
            // sizes reaches.
            if (first == 17)
                QVERIFY2(pairEncodings == 1, qPrintable(seen));
            if (first == 16 || first == 10)
                QVERIFY2(pairEncodings == 3, qPrintable(seen));
            if (first == 16 && QThreadPool::globalInstance()->maxThreadCount() > 1)
                QVERIFY2(together == 2, qPrintable(seen));
        }
    }

    // The WebP search starts where the size typically halves, a little below the quality for a
    // smaller share, never at the quality itself.
    void webpSearchStartsWhereTheSizeTypicallyFits() {
        const int half = WebpQualityStepFor(90, 400000, 200000);
        QVERIFY2(half >= 12 && half <= 16, qPrintable(QString::number(half)));
        QCOMPARE(WebpQualityStepFor(90, 400000, 399000), 1);
        int previous = 1;
        for (const long long limit : {300000, 200000, 100000, 60000, 20000}) {
            const int step = WebpQualityStepFor(90, 400000, limit);
            QVERIFY2(step > previous && step <= 90, qPrintable(QString::number(step)));
            previous = step;
        }
        QCOMPARE(WebpQualityStepFor(90, 400000, 1), 90);
    }

    // Smoothing keeps every pixel within the threshold of its colour and only makes runs longer.
    void smoothingBoundsTheError() {
        ImageHandle frame(QImage(frames_[1].image()));
        ResizeImage(frame, 160, 120);
        std::vector<ImageHandle> one;
        one.push_back(std::move(frame));
        QVERIFY(ReduceFrameColors(one));
        const QImage original = one[0].image();
        const auto runs = [](const QImage& image) {
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    count += x == 0 || image.pixelIndex(x, y) != image.pixelIndex(x - 1, y);
            return count;
        };
        QImage smoothed = original;
        SmoothIndexRuns(smoothed, 0);
        QCOMPARE(smoothed, original);
        smoothed = original;
        SmoothIndexRuns(smoothed, 12);
        QVERIFY(runs(smoothed) < runs(original) * 3 / 4);
        for (int y = 0; y < original.height(); ++y)
            for (int x = 0; x < original.width(); ++x) {
                const QRgb p = original.pixel(x, y), q = smoothed.pixel(x, y);
                QVERIFY(std::abs(qRed(p) - qRed(q)) <= 12 &&
                        std::abs(qGreen(p) - qGreen(q)) <= 12 &&
                        std::abs(qBlue(p) - qBlue(q)) <= 12);
            }
    }

    // Each format fits a limit of half its own default size, says once what it gave way to, and
    // stays a whole animation; a limit nothing meets fails with one line and writes nothing.
    void eachFormatFitsHalfItsSize_data() {
        QTest::addColumn<int>("format");
        QTest::newRow("gif") << int(AnimationFormat::Gif);
        QTest::newRow("webp") << int(AnimationFormat::Webp);
        QTest::newRow("mp4") << int(AnimationFormat::Mp4);
    }
    void eachFormatFitsHalfItsSize() {
        QFETCH(int, format);
        const AnimationFormat f = AnimationFormat(format);
        const QString extension = OutputFormatOf(f).extension;
        QStringList lines;
        QVERIFY(Write(f, QStringLiteral("full") + extension, 0, lines));
        QVERIFY(lines.isEmpty());
        const qint64 full = QFileInfo(path(QStringLiteral("full") + extension)).size();
        QVERIFY(full > 10000);
        // A limit the default meets changes nothing (x264's threads may shift a video's size by a
        // few bytes from run to run).
        QVERIFY(Write(f, QStringLiteral("roomy") + extension, full + full / 10, lines));
        QVERIFY(lines.isEmpty());
        QVERIFY(QFileInfo(path(QStringLiteral("roomy") + extension)).size() <= full + full / 20);

        const QString half = path(QStringLiteral("half") + extension);
        QVERIFY(Write(f, QStringLiteral("half") + extension, full / 2, lines));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(!lines[0].contains(QLatin1Char('\n')), qPrintable(lines[0]));
        const qint64 size = QFileInfo(half).size();
        QVERIFY2(size <= full / 2, qPrintable(QStringLiteral("%1 of %2").arg(size).arg(full)));
        // The largest quality that fits: not far below the limit.
        QVERIFY2(size > full / 2 * 6 / 10,
                 qPrintable(QStringLiteral("%1 of %2").arg(size).arg(full)));
        if (f == AnimationFormat::Mp4) {
            QCOMPARE(DecodeVideo(half).frames.size(), size_t(7 * FrameCount));
        } else {
            QImageReader reader(half);
            QCOMPARE(reader.imageCount(), FrameCount);
        }

        lines.clear();
        const QString tiny = path(QStringLiteral("tiny") + extension);
        const Result failed = Write(f, QStringLiteral("tiny") + extension, 300, lines);
        QVERIFY(!failed);
        QVERIFY(failed.reason.contains(QLatin1String("1/4")));
        QVERIFY(!failed.reason.contains(QLatin1Char('\n')));
        QVERIFY(!QFileInfo::exists(tiny));
        QVERIFY(lines.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSizeLimit)
#include "tst_sizelimit.moc"
