#include "encode/Mp4Encoder.h"
#include "encode/Mp4Video.h"
#include "files/PictureFile.h"
#include "gif/GifPipeline.h"
#include "imaging/ImageOperations.h"

#include "VideoFrames.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <unistd.h>

using namespace kelvaro;

namespace {

// The sample photo's sway frames with its painted depth map.
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

// The frames as the encoder is to show them: scaled to `out` as every format scales.
std::vector<QImage> Scaled(const std::vector<ImageHandle>& frames, QSize out) {
    std::vector<QImage> scaled;
    for (const ImageHandle& frame : frames) {
        ImageHandle copy(QImage(frame.image()));
        ResizeImage(copy, out.width(), out.height());
        scaled.push_back(copy.image().convertToFormat(QImage::Format_RGB32));
    }
    return scaled;
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Hidden | QDir::AllEntries | QDir::NoDotAndDotDot);
}

} // namespace

class TestMp4 : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::vector<ImageHandle> frames_;

    QString path(const QString& name) const { return dir_.filePath(name); }

    // Writes the photo's frames at `out` through the format's encoder and reads the file back.
    DecodedVideo WriteAndDecode(const QString& name, QSize out, const Mp4Options& options,
                                int delayCs = SwayFrameDelay) {
        std::vector<int> steps;
        EncodeOptions encode;
        encode.mp4 = options;
        const Result written = OutputFormatOf(AnimationFormat::Mp4)
                                   .encoder.Write(path(name), Copies(frames_), out, delayCs, encode,
                                                  [&](int step) { steps.push_back(step); });
        if (!written)
            qWarning("%s", qPrintable(written.reason));
        // The progress window moves on to the end.
        if (steps != std::vector<int>{2, 4, 6, 8})
            qWarning("progress steps %s", qPrintable(QString::number(steps.size())));
        return written && steps == std::vector<int>{2, 4, 6, 8} ? DecodeVideo(path(name))
                                                                : DecodedVideo{};
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        frames_ = PhotoFrames();
        QCOMPARE(frames_.size(), size_t(FrameCount));
    }

    void loopsAndQuality() {
        QCOMPARE(Mp4LoopCount(8, 6, 0), 7); // 48 cs a cycle: 3.36 s
        QCOMPARE(Mp4LoopCount(8, 6, 2), 2);
        QCOMPARE(Mp4LoopCount(4, 2, 0), 38); // 8 cs a cycle: 37.5 cycles make 3 s
        QCOMPARE(Mp4LoopCount(30, 10, 0), 1);
        QCOMPARE(Mp4LoopCount(10, 30, 0), 1); // exactly 3 s
        QCOMPARE(Mp4CrfOfQuality(90), 18);
        QCOMPARE(Mp4CrfOfQuality(100), 14);
        QCOMPARE(Mp4CrfOfQuality(0), 51);
    }

    // What a player gets: H.264 in yuv420p, the index first, the cycle repeated to 3 s at the
    // frame delay's rate, and the frames as drawn within 36 dB.
    void decodedBackAsRendered() {
        const QSize out(640, 480);
        const DecodedVideo video = WriteAndDecode(QStringLiteral("full.mp4"), out, {});
        QVERIFY(video.ok);
        QCOMPARE(video.codec, QStringLiteral("h264"));
        QCOMPARE(video.pixelFormat, QStringLiteral("yuv420p"));
        QCOMPARE(QSize(video.width, video.height), out);
        QCOMPARE(video.rateNum * SwayFrameDelay, 100 * video.rateDen); // 100/6 frames a second
        QCOMPARE(video.frames.size(), size_t(7 * FrameCount));
        QVERIFY(video.seconds >= 3.0);
        QFile file(path(QStringLiteral("full.mp4")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList boxes = Mp4Boxes(file.readAll());
        QVERIFY2(boxes.indexOf(QStringLiteral("moov")) >= 0 &&
                     boxes.indexOf(QStringLiteral("moov")) < boxes.indexOf(QStringLiteral("mdat")),
                 qPrintable(boxes.join(QLatin1Char(' '))));

        const std::vector<QImage> expected = Scaled(frames_, out);
        double sum = 0, lowest = 99;
        for (size_t i = 0; i < video.frames.size(); ++i) {
            const double db =
                Psnr(expected[i % expected.size()], video.frames[i], out.width(), out.height());
            sum += db;
            lowest = std::min(lowest, db);
        }
        const double mean = sum / double(video.frames.size());
        qInfo("mean PSNR %.2f dB, lowest %.2f dB", mean, lowest);
        QVERIFY2(mean >= 36.0, qPrintable(QString::number(mean)));
        // Every frame, also those of the later loops, is the frame of its place in the cycle.
        QVERIFY2(lowest >= 33.0, qPrintable(QString::number(lowest)));
    }

    // Odd sizes grow by one column and row that repeat the last ones; a given count of loops
    // and the rate of another delay.
    void oddSizesLoopsAndRate() {
        const QSize out(161, 121);
        Mp4Options options;
        options.loops = 2;
        const DecodedVideo video = WriteAndDecode(QStringLiteral("odd.mp4"), out, options, 10);
        QVERIFY(video.ok);
        QCOMPARE(QSize(video.width, video.height), QSize(162, 122));
        QCOMPARE(video.frames.size(), size_t(2 * FrameCount));
        QCOMPARE(video.rateNum, 10 * video.rateDen);
        const std::vector<QImage> expected = Scaled(frames_, out);
        for (size_t i = 0; i < video.frames.size(); ++i) {
            const QImage& frame = video.frames[i];
            QVERIFY(Psnr(expected[i % expected.size()], frame, 161, 121) >= 33.0);
            // The added column and row against the drawn last ones, through the whole frame.
            const QImage column = frame.copy(161, 0, 1, 121), last = frame.copy(160, 0, 1, 121);
            const QImage row = frame.copy(0, 121, 161, 1), lastRow = frame.copy(0, 120, 161, 1);
            QVERIFY2(Psnr(last, column, 1, 121) >= 33.0, qPrintable(QString::number(i)));
            QVERIFY2(Psnr(lastRow, row, 161, 1) >= 33.0, qPrintable(QString::number(i)));
        }
    }

    // A lower quality is a smaller file; a bit rate is kept roughly.
    void rateControl() {
        const std::vector<QImage> none;
        QByteArray fine, coarse, rated;
        std::vector<ImageHandle> frames = Copies(frames_);
        for (ImageHandle& frame : frames)
            ResizeImage(frame, 320, 240);
        QVERIFY(EncodeMp4(frames, SwayFrameDelay, {}, fine));
        QVERIFY(EncodeMp4(frames, SwayFrameDelay, {.crf = 30}, coarse));
        QVERIFY(coarse.size() * 2 < fine.size());
        const long long bitRate = 200000;
        QVERIFY(EncodeMp4(frames, SwayFrameDelay, {.bitRate = bitRate}, rated));
        const double seconds = 7 * FrameCount * SwayFrameDelay / 100.0;
        const double expected = double(bitRate) * seconds / 8;
        QVERIFY2(rated.size() > expected * 0.7 && rated.size() < expected * 1.3,
                 qPrintable(QString::number(rated.size())));
    }

    // A failed encode is one line and no file; an existing file stays as it was.
    void failuresLeaveNoFile() {
        std::vector<ImageHandle> mixed = Copies(frames_);
        mixed.back() = ImageHandle(QImage(10, 10, QImage::Format_RGB32));
        QByteArray bytes;
        const Result mismatch = EncodeMp4(mixed, SwayFrameDelay, {}, bytes);
        QVERIFY(!mismatch);
        QVERIFY(!mismatch.reason.isEmpty() && !mismatch.reason.contains(QLatin1Char('\n')));
        QVERIFY(bytes.isEmpty());

        QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("kept")));
        const QString kept = path(QStringLiteral("kept/old.mp4"));
        QFile old(kept);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        // Wider than H.264 goes.
        const Result failed =
            Mp4FileEncoder().Write(kept, std::move(mixed), QSize(20000, 8), SwayFrameDelay, {}, {});
        QVERIFY(!failed);
        QCOMPARE(Entries(path(QStringLiteral("kept"))), QStringList{QStringLiteral("old.mp4")});
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
    }

    // A program in the build tree loads the module built beside it; a program anywhere else the
    // one installed beside it, never the build's. A module that is missing or is some other
    // library is one line naming it.
    void findingTheModule() {
        const QString built = Mp4ModulePath(QCoreApplication::applicationDirPath());
        QVERIFY2(built.startsWith(QStringLiteral(BUILD_DIR "/")), qPrintable(built));
        QVERIFY(LoadMp4Module(built));

        const QString installed = Mp4ModulePath(path(QStringLiteral("bin")));
        QVERIFY2(installed.startsWith(dir_.path() + QStringLiteral("/lib")), qPrintable(installed));
        const auto missing = LoadMp4Module(installed);
        QVERIFY(!missing);
        QVERIFY(missing.reason().contains(installed) &&
                !missing.reason().contains(QLatin1Char('\n')));

        const auto other = LoadMp4Module(QStringLiteral(OTHER_LIBRARY));
        QVERIFY(!other);
        QVERIFY(other.reason().contains(QStringLiteral(OTHER_LIBRARY)));
        QVERIFY(!LoadMp4Module(QStringLiteral(KELVARO_DATA_DIR "/coffee-depth.png")));
    }

    // A disk that fills up during the write leaves nothing behind. The disk is a small memory
    // file system mounted for the test, so it runs as root only.
    void fullDiskLeavesNoFile() {
        if (::geteuid() != 0)
            QSKIP("mounting a small file system needs root");
        const QString disk = path(QStringLiteral("disk"));
        QVERIFY(QDir().mkpath(disk));
        if (::mount("tmpfs", disk.toLocal8Bit().constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("no tmpfs could be mounted here");
        const auto unmount = qScopeGuard([&] { ::umount(disk.toLocal8Bit().constData()); });
        const Result written =
            Mp4FileEncoder().Write(disk + QStringLiteral("/full.mp4"), Copies(frames_),
                                   QSize(640, 480), SwayFrameDelay, {}, {});
        QVERIFY(!written);
        QVERIFY(!written.reason.isEmpty() && !written.reason.contains(QLatin1Char('\n')));
        QCOMPARE(Entries(disk), QStringList{});
    }
};

QTEST_GUILESS_MAIN(TestMp4)
#include "tst_mp4.moc"
