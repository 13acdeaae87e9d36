// The GIF of the sample photo's sway against ffmpeg's of the same rendered frames, and frames of
// few colours kept exactly.
#include "files/PictureFile.h"
#include "gif/GifPipeline.h"

#include "FramePsnr.h"
#include "PeerGif.h"

#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

using namespace kelvaro;

class TestGifPeer : public QObject {
    Q_OBJECT
private slots:
    // No larger than ffmpeg's palettegen + paletteuse (Floyd-Steinberg) GIF, at no lower a mean
    // PSNR, in both directions of sway.
    void noLargerThanFfmpegAtNoLowerPsnr_data() {
        QTest::addColumn<int>("direction");
        QTest::newRow("horizontal") << int(SwayDirection::Horizontal);
        QTest::newRow("vertical") << int(SwayDirection::Vertical);
    }
    void noLargerThanFfmpegAtNoLowerPsnr() {
        QFETCH(int, direction);
        const LoadedPicture picture =
            LoadPicture(QStringLiteral(KELVARO_DATA_DIR "/coffee-640x480.jpg"));
        QVERIFY(!picture.image.isNull());
        const int w = picture.image.width(), h = picture.image.height();
        DepthMap depth;
        QVERIFY(depth.Create(w, h));
        QVERIFY(LoadDepthMapFile(QStringLiteral(KELVARO_DATA_DIR "/coffee-depth.png"), depth));
        const std::vector<ImageHandle> rendered =
            RenderSwayFrames(picture.image, depth, SwayDirection(direction));
        QVERIFY(!rendered.empty());

        QTemporaryDir dir;
        std::vector<ImageHandle> copies;
        for (size_t k = 0; k < rendered.size(); ++k) {
            QVERIFY(rendered[k].image().save(dir.filePath(QStringLiteral("frame-%1.png").arg(k))));
            copies.push_back(DuplicateImage(rendered[k]));
        }
        const QString ours = dir.filePath(QStringLiteral("ours.gif"));
        const QString theirs = dir.filePath(QStringLiteral("ffmpeg.gif"));
        QVERIFY(WriteSwayGif(ours, std::move(copies), QSize(w, h)));
        QVERIFY(WriteFfmpegGif(dir.filePath(QStringLiteral("frame-%d.png")), SwayFrameDelay,
                               dir.filePath(QStringLiteral("palette.png")), theirs));

        const qint64 bytes = QFileInfo(ours).size(), ffmpegBytes = QFileInfo(theirs).size();
        const double psnr = MeanPsnr(ours, rendered), ffmpegPsnr = MeanPsnr(theirs, rendered);
        const QByteArray figures = QStringLiteral("ours %1 B %2 dB, ffmpeg %3 B %4 dB")
                                       .arg(bytes)
                                       .arg(psnr)
                                       .arg(ffmpegBytes)
                                       .arg(ffmpegPsnr)
                                       .toUtf8();
        QVERIFY2(ffmpegBytes > 0 && ffmpegPsnr > 30, figures.constData());
        QVERIFY2(bytes <= ffmpegBytes, figures.constData());
        QVERIFY2(psnr >= ffmpegPsnr, figures.constData());
    }

    // Frames whose colours the palette holds take no colour error for longer runs: a grey ramp
    // of neighbouring levels comes back exactly.
    // Large frames too, whose palette is chosen from a sample of rows: the levels only odd rows
    // hold are kept as well.
    void fewColoursStayExact_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("small") << QSize(96, 64);
        QTest::newRow("sampled") << QSize(480, 400);
    }
    void fewColoursStayExact() {
        QFETCH(QSize, size);
        std::vector<ImageHandle> frames, rendered;
        for (int k = 0; k < 4; ++k) {
            QImage frame(size, QImage::Format_RGB32);
            for (int y = 0; y < frame.height(); ++y)
                for (int x = 0; x < frame.width(); ++x) {
                    const int level =
                        y % 2 ? 220 + (x + y / 2 + k) % 30 : (x * 2 + y + k * 7) % 200;
                    frame.setPixel(x, y, qRgb(level, level, level));
                }
            frames.emplace_back(frame);
            rendered.emplace_back(frame.copy());
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("grey.gif"));
        QVERIFY(WriteSwayGif(path, std::move(frames), size));
        QCOMPARE(MeanPsnr(path, rendered), 99.0);
    }
};

QTEST_GUILESS_MAIN(TestGifPeer)
#include "tst_gifpeer.moc"
