#include "files/PictureFile.h"
#include "gif/GifPipeline.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace kelvaro;

namespace {

// How a run ended, in words a failed comparison shows: "written", "cancelled" or the reason.
QString Ended(const GenerationResult& run) {
    if (!run)
        return run.reason();
    return *run == GenerationOutcome::Written ? QStringLiteral("written")
                                              : QStringLiteral("cancelled");
}

ImageHandle Photo(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb((x * 255) / w, (y * 255) / h, ((x + y) * 3) & 255));
    return ImageHandle(image);
}

// Records every hook call as a string: "0", "1", ... for steps, "hide", "ask", and "[" and "]"
// around the work handed to the runner of heavy steps.
struct Recorder {
    QStringList calls;
    std::optional<int> answer = 0;
    std::optional<long long> limit; // no question about a limit when unset
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
        if (limit)
            h.askSizeLimit = [this]() -> std::optional<long long> {
                calls << QStringLiteral("limit");
                return *limit < 0 ? std::nullopt : limit;
            };
        h.runHeavy = [this](const std::function<void()>& work) {
            calls << QStringLiteral("[");
            work();
            calls << QStringLiteral("]");
        };
        return h;
    }
};

// A white picture 640 pixels along the sway axis and 40 across, with a black band 8 pixels wide
// across its middle (sway positions 316 to 323). The depth map raises the band and 4 pixels on
// either side of it to the top level on the first half of the other axis; the rest is the base.
struct BandScene {
    ImageHandle picture;
    DepthMap depth;
};
BandScene Band(SwayDirection direction) {
    const bool vertical = direction == SwayDirection::Vertical;
    QImage picture(vertical ? 40 : 640, vertical ? 640 : 40, QImage::Format_RGB32);
    picture.fill(qRgb(255, 255, 255));
    BandScene scene;
    if (!scene.depth.Create(picture.width(), picture.height()))
        qFatal("no depth map");
    for (int v = 0; v < 40; ++v)
        for (int u = 312; u < 328; ++u) {
            const int x = vertical ? v : u, y = vertical ? u : v;
            if (u >= 316 && u < 324)
                picture.setPixel(x, y, qRgb(0, 0, 0));
            if (v < 20)
                scene.depth.surface().setPixel(x, y, qRgb(255, 0, 0)); // level 0, the most raised
        }
    scene.picture = ImageHandle(picture);
    return scene;
}

// Where the band lies along the sway axis on line v of a frame: the centre of its darkness.
double BandCentre(const QImage& frame, SwayDirection direction, int v) {
    double dark = 0, moment = 0;
    for (int u = 0; u < 640; ++u) {
        const QRgb p = direction == SwayDirection::Vertical ? frame.pixel(v, u) : frame.pixel(u, v);
        dark += 255 - qRed(p);
        moment += (255 - qRed(p)) * u;
    }
    return moment / dark;
}

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
        QCOMPARE(OutputSizeFor(7, 640, 480), QSize(160, 120)); // any other choice: a quarter
        QCOMPARE(OutputSizeFor(1, 100, 50), QSize(66, 33));
        // Odd sizes: two thirds is (2 w) / 3, every quotient truncates.
        QCOMPARE(OutputSizeFor(1, 101, 77), QSize(67, 51));
        QCOMPARE(OutputSizeFor(2, 101, 77), QSize(50, 38));
        QCOMPARE(OutputSizeFor(3, 101, 77), QSize(33, 25));
        QCOMPARE(OutputSizeFor(4, 101, 77), QSize(25, 19));
        QCOMPARE(OutputSizeFor(4, 3, 3), QSize(1, 1)); // never below one pixel
    }

    // The file holds one sway cycle in order: 0, 6.5, 8, 6.5, 0, -6.5, -8 and -6.5 degrees.
    // Turned by an angle t, the 640 pixels along the sway axis lose a = trunc(640 (1 - cos t) / 2)
    // at each end: 2 at 6.5 degrees, 3 at 8. The base level moves a pixels toward the edge that
    // comes nearer (the first one for positive angles), and the most raised level moves
    // trunc(2 * 7 * a / 3) pixels beyond the base the other way: 9 at 6.5 degrees, 14 at 8.
    void swayCycleInTheFile_data() {
        QTest::addColumn<int>("direction");
        QTest::newRow("horizontal") << int(SwayDirection::Horizontal);
        QTest::newRow("vertical") << int(SwayDirection::Vertical);
    }
    void swayCycleInTheFile() {
        QFETCH(int, direction);
        const auto sway = SwayDirection(direction);
        const BandScene scene = Band(sway);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("揺れる.gif"));
        Recorder r;
        QCOMPARE(Ended(GenerateSwayGif(path, scene.picture, scene.depth, sway, r.Hooks())),
                 QStringLiteral("written"));
        // The size is asked between the two heavy steps, each of which runs in the runner.
        QCOMPARE(r.calls.join(QLatin1Char(' ')),
                 QStringLiteral("0 [ 0 1 2 3 4 5 6 7 ] hide ask 0 [ 2 4 6 8 ] hide"));

        const double base[8] = {0, -2, -3, -2, 0, 2, 3, 2};
        const double raised[8] = {0, 9, 14, 9, 0, -9, -14, -9};
        QImageReader reader(path);
        QCOMPARE(reader.imageCount(), 8);
        QCOMPARE(reader.loopCount(), -1);
        double baseAtZero = 0;
        for (int k = 0; k < 8; ++k) {
            QImage frame;
            QVERIFY(reader.read(&frame));
            QCOMPARE(frame.size(), scene.picture.image().size());
            QCOMPARE(reader.nextImageDelay(), 60);
            const double atBase = BandCentre(frame, sway, 34);
            const double atRaised = BandCentre(frame, sway, 5);
            if (k == 0)
                baseAtZero = atBase;
            QVERIFY2(std::abs(atBase - baseAtZero - base[k]) < 0.3 &&
                         std::abs(atRaised - atBase - raised[k]) < 0.3,
                     qPrintable(QStringLiteral("frame %1: base moved %2, raised %3 beyond it")
                                    .arg(k)
                                    .arg(atBase - baseAtZero)
                                    .arg(atRaised - atBase)));
        }
    }

    void otherMotionsInTheFile() {
        // 24 frames at 125 ms (a GIF keeps hundredths: 130 ms); the progress still counts 0 to 7
        // while the frames are rendered. WebP plays at the same delay. (At 12 degrees no two
        // frames in a row are equal, which the writers would merge into one.)
        const BandScene scene = Band(SwayDirection::Horizontal);
        SwayOptions sway;
        sway.frames = 24;
        sway.angle = 12.0;
        sway.pivot = 4;
        sway.delayMs = 125;
        sway.holeFill = HoleFill::Far;
        QTemporaryDir dir;
        for (const char* name : {"a.gif", "a.webp"}) {
            const QString path = dir.filePath(QLatin1String(name));
            AnimationOptions animation;
            animation.format = *AnimationFormatOfName(path);
            Recorder r;
            QCOMPARE(Ended(GenerateSwayGif(path, scene.picture, scene.depth,
                                           SwayDirection::Horizontal, r.Hooks(), animation, sway)),
                     QStringLiteral("written"));
            QCOMPARE(
                r.calls.join(QLatin1Char(' ')),
                QStringLiteral("0 [ 0 0 0 1 1 1 2 2 2 3 3 3 4 4 4 5 5 5 6 6 6 7 7 7 ] hide ask "
                               "0 [ 2 4 6 8 ] hide")
                    .replace(QStringLiteral("2 4 6 8"), animation.format == AnimationFormat::Gif
                                                            ? QStringLiteral("2 4 6 8")
                                                            : QStringLiteral("2 8")));
            // A writer may keep equal frames in a row (near the largest turn the geometry
            // repeats) once for the time of all of them.
            const std::vector<ImageHandle> expected =
                RenderSwayFrames(scene.picture, scene.depth, SwayDirection::Horizontal, sway);
            QCOMPARE(int(expected.size()), 24);
            int runs = 1;
            for (int k = 1; k < 24; ++k)
                runs += expected[size_t(k)].image() != expected[size_t(k - 1)].image() ? 1 : 0;
            QVERIFY(runs >= 12);
            QImageReader reader(path);
            const int count = reader.imageCount();
            QVERIFY2(count >= runs && count <= 24, qPrintable(QString::number(count)));
            int total = 0;
            for (int k = 0; k < count; ++k) {
                QImage frame;
                QVERIFY(reader.read(&frame));
                QCOMPARE(reader.nextImageDelay() % 130, 0);
                total += reader.nextImageDelay();
            }
            QCOMPARE(total, 24 * 130);
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
            Ended(GenerateSwayGif(path, Photo(32, 24), depth, SwayDirection::Vertical, r.Hooks())),
            QStringLiteral("written"));
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
        QCOMPARE(descriptors, 8);
    }

    // The limit is asked after the output size, and cancelling it writes nothing. A search that
    // goes on to half the size never takes the bar back, and the line saying what gave way comes
    // only with a file written.
    void sizeLimit() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("limited.gif"));
        DepthMap depth;
        QVERIFY(depth.Create(160, 120));
        Recorder r;
        r.limit = -1;
        QCOMPARE(Ended(GenerateSwayGif(path, Photo(160, 120), depth, SwayDirection::Horizontal,
                                       r.Hooks())),
                 QStringLiteral("cancelled"));
        QCOMPARE(r.calls.mid(r.calls.size() - 2), QStringList({"ask", "limit"}));
        QVERIFY(!QFile::exists(path));

        const std::vector<ImageHandle> frames =
            RenderSwayFrames(Photo(160, 120), depth, SwayDirection::Horizontal);
        const auto copies = [&] {
            std::vector<ImageHandle> copy;
            for (const ImageHandle& frame : frames)
                copy.push_back(DuplicateImage(frame));
            return copy;
        };
        // The plain file at half the size: what the limit allows.
        QVERIFY(WriteSwayGif(path, copies(), QSize(80, 60)));
        AnimationOptions limited;
        limited.maxBytes = QFile(path).size();
        QStringList lines;
        limited.gaveWay = [&](const QString& line) {
            lines << line;
        };
        QList<int> steps;
        const auto record = [&](int step) {
            steps << step;
        };
        QVERIFY(WriteSwayAnimation(path, copies(), QSize(160, 120), limited, record));
        QVERIFY(QFile(path).size() <= limited.maxBytes);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].contains(QStringLiteral("80 × 60")), qPrintable(lines[0]));
        QCOMPARE(steps, QList<int>({2, 4, 6, 8}));

        lines.clear();
        const QString nowhere = dir.filePath(QStringLiteral("no/such/folder.gif"));
        QVERIFY(!WriteSwayAnimation(nowhere, copies(), QSize(160, 120), limited, record));
        QCOMPARE(lines, QStringList());
        QVERIFY(!QFile::exists(nowhere));
    }
};

QTEST_GUILESS_MAIN(TestPipeline)
#include "tst_pipeline.moc"
