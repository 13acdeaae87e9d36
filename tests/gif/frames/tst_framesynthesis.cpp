#include "gif/FrameSynthesis.h"

#include <QCryptographicHash>
#include <QTest>

#include <cstdint>
#include <cstdlib>
#include <numbers>

using namespace kelvaro;

namespace {

constexpr QRgb Marker = 0xffff0000; // a frame colour no test picture holds

QImage Black(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(0xff000000u);
    return image;
}

QRgb Grey(int n) {
    return qRgb(n, n, n);
}

// A depth map whose columns are uniform, one level digit per column ('7' is the base level).
QImage DepthColumns(const char* levels, int h) {
    const int w = int(std::strlen(levels));
    QImage depth(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            depth.setPixel(x, y, ArgbFromColorref(DepthPalette[size_t(levels[x] - '0')]));
    return depth;
}

// A picture whose column c is grey 20c + 10 throughout, so a frame pixel tells which source
// column it came from even after a bilinear blend of one column with itself (off by 1 at most).
QImage GreyColumns(int w, int h) {
    QImage picture(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            picture.setPixel(x, y, Grey(20 * x + 10));
    return picture;
}

// Which source column every pixel of a frame row shows, as digits; '?' for the marker colour.
QByteArray SourceColumns(const QImage& frame, int y) {
    QByteArray row;
    for (int x = 0; x < frame.width(); ++x) {
        const QRgb p = frame.pixel(x, y);
        row += p == Marker ? '?' : char('0' + qRed(p) / 20);
    }
    return row;
}

// Photo-like pseudo-random picture and a depth map of blobs in every level, fixed ones included
// when asked.
QImage NoisyPicture(int w, int h, unsigned seed) {
    QImage picture(w, h, QImage::Format_RGB32);
    std::srand(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            picture.setPixel(x, y,
                             qRgb((x * 7 + y * 3 + std::rand() % 40) & 0xff,
                                  (x * y / 5 + std::rand() % 25) & 0xff, std::rand() & 0xff));
    return picture;
}

DepthMap BlobDepth(int w, int h, bool withFixed, unsigned seed) {
    DepthMap depth;
    if (!depth.Create(w, h))
        return depth;
    std::srand(seed);
    const int levels = withFixed ? kLevelCount : kLevelCount - 1;
    for (int i = 0; i < 60; ++i) {
        const int cx = std::rand() % w, cy = std::rand() % h, r = 2 + std::rand() % (w / 6 + 1);
        const QRgb colour = ArgbFromColorref(DepthPalette[size_t(std::rand() % levels)]);
        for (int y = std::max(0, cy - r); y < std::min(h, cy + r); ++y)
            for (int x = std::max(0, cx - r); x < std::min(w, cx + r); ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r)
                    depth.surface().setPixel(x, y, colour);
    }
    return depth;
}

QImage Transposed(const QImage& image) {
    QImage t(image.height(), image.width(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            t.setPixel(y, x, image.pixel(x, y));
    return t;
}

// SHA-1 of the pixels of a run's frames, in order, so that frames can be compared with those of
// an earlier build.
QByteArray FramesDigest(const std::vector<ImageHandle>& frames) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const ImageHandle& frame : frames) {
        const QImage& image = frame.image();
        for (int y = 0; y < image.height(); ++y)
            hash.addData(QByteArrayView(reinterpret_cast<const char*>(image.constScanLine(y)),
                                        qsizetype(image.width()) * 4));
    }
    return hash.result().toHex();
}

} // namespace

class TestFrameSynthesis : public QObject {
    Q_OBJECT

private slots:
    void geometry_data() {
        QTest::addColumn<double>("theta");
        QTest::addColumn<FrameGeometry>("expected");
        // Horizontal sway of a 640 x 480 picture; fields in the call's argument order.
        QTest::newRow("8 degrees") << 0.1396263410484311 << FrameGeometry{3, -5, 485, 637, 5, 475};
        QTest::newRow("-8 degrees")
            << -0.1396263410484311 << FrameGeometry{3, 5, 475, 637, -5, 485};
        QTest::newRow("4.5 degrees")
            << 0.0785398168397425 << FrameGeometry{0, -3, 483, 640, 3, 477};
        QTest::newRow("0 degrees") << 0.0 << FrameGeometry{0, 0, 480, 640, 0, 480};
    }
    void geometry() {
        QFETCH(double, theta);
        QFETCH(FrameGeometry, expected);
        QCOMPARE(ComputeFrameGeometry(theta, 640, 480), expected);
    }

    void shiftTables() {
        using Table = std::array<std::int64_t, 8>;
        QCOMPARE(LevelShiftTable(-3), (Table{0, 2, 4, 6, 8, 10, 12, 14}));
        QCOMPARE(LevelShiftTable(3), (Table{0, -2, -4, -6, -8, -10, -12, -14}));
        QCOMPARE(LevelShiftTable(1), (Table{0, 0, -1, -2, -2, -3, -4, -4}));
        // p follows which edge is the shorter.
        QCOMPARE(SwayDisplacement({3, -5, 485, 637, 5, 475}), -3);
        QCOMPARE(SwayDisplacement({3, 5, 475, 637, -5, 485}), 3);
        QCOMPARE(SwayDisplacement({3, 0, 480, 637, 0, 480}), 0);
    }

    void workedCaseAtZero() {
        QImage picture(3, 3, QImage::Format_RGB32);
        picture.fill(Grey(255));
        picture.setPixel(0, 0, Grey(0));
        const QImage depth = DepthColumns("777", 3);
        QImage frame = Black(3, 3);
        const FrameGeometry g = ComputeFrameGeometry(0.0, 3, 3);
        QCOMPARE(g, (FrameGeometry{0, 0, 3, 3, 0, 3}));
        RenderHorizontalSwayFrame(picture, depth, 0, 0, 3, 3, 0, 3, frame);
        const int expected[3][3] = {{0, 191, 255}, {191, 239, 255}, {255, 255, 255}};
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                QCOMPARE(frame.pixel(x, y), Grey(expected[y][x]));
    }

    void earlyExitKeepsFrame() {
        // One pixel wide: the squeezed extent (horizontal) or both edges (vertical) are under 2.
        const QImage picture = NoisyPicture(1, 20, 1);
        const QImage depth = DepthColumns("7", 20);
        for (const bool vertical : {false, true}) {
            QImage frame(1, 20, QImage::Format_RGB32);
            frame.fill(Marker);
            if (vertical)
                RenderVerticalSwayFrame(picture, depth, 0, 1, 0, 0, 1, 20, frame);
            else
                RenderHorizontalSwayFrame(picture, depth, 0, 0, 20, 1, 0, 20, frame);
            for (int y = 0; y < 20; ++y)
                QCOMPARE(frame.pixel(0, y), Marker);
        }
        // A whole run then shows the black the frame started with.
        DepthMap map;
        QVERIFY(map.Create(1, 20));
        const std::vector<ImageHandle> frames =
            RenderSwayFrames(ImageHandle(picture), map, SwayDirection::Horizontal);
        QCOMPARE(int(frames.size()), 8);
        for (const ImageHandle& f : frames)
            QCOMPARE(f.image(), Black(1, 20));
    }

    // Geometry with one source column per frame line (stepU = 1): with p = -3 a sample of source
    // column c and lift L lands on column c + 2L, with p = 3 on column c + 6 - 2L.
    void depthTest_data() {
        QTest::addColumn<int>("p");
        QTest::addColumn<QByteArray>("levels");
        QTest::addColumn<QByteArray>("expected"); // source column shown by each frame column
        QTest::newRow("base, p -3, trailing run")
            << -3 << QByteArray("777777777777") << QByteArray("012345678888");
        QTest::newRow("base, p 3, leading run")
            << 3 << QByteArray("777777777777") << QByteArray("000000012345");
        QTest::newRow("greater lift drawn first stays")
            << -3 << QByteArray("767777777777") << QByteArray("002145678888");
        QTest::newRow("greater lift drawn later wins")
            << 3 << QByteArray("777677777777") << QByteArray("000000032245");
        QTest::newRow("base sample covers a fixed pixel")
            << 3 << QByteArray("777777787777") << QByteArray("000000012345");
        QTest::newRow("fixed pixel stays where nothing lands")
            << -3 << QByteArray("777777777787") << QByteArray("0123456788::");
        QTest::newRow("beyond the last column dropped")
            << -3 << QByteArray("777777770777") << QByteArray("012345677777");
        QTest::newRow("before the first column dropped")
            << 3 << QByteArray("077777777777") << QByteArray("111111112345");
    }
    void depthTest() {
        QFETCH(int, p);
        QFETCH(QByteArray, levels);
        QFETCH(QByteArray, expected);
        const QImage picture = GreyColumns(12, 4);
        const QImage depth = DepthColumns(levels.constData(), 4);
        QImage frame = Black(12, 4);
        if (p < 0)
            RenderHorizontalSwayFrame(picture, depth, 3, -2, 6, 14, 0, 4, frame);
        else
            RenderHorizontalSwayFrame(picture, depth, 3, 0, 4, 14, -2, 6, frame);
        for (int y = 0; y < 4; ++y)
            QCOMPARE(SourceColumns(frame, y), expected);

        // The vertical operation does the same down the columns of the transposed scene.
        QImage vertical = Black(4, 12);
        if (p < 0)
            RenderVerticalSwayFrame(Transposed(picture), Transposed(depth), -2, 6, 3, 0, 4, 14,
                                    vertical);
        else
            RenderVerticalSwayFrame(Transposed(picture), Transposed(depth), 0, 4, 3, -2, 6, 14,
                                    vertical);
        for (int x = 0; x < 4; ++x)
            QCOMPARE(SourceColumns(Transposed(vertical), x), expected);
    }

    void emptyLineKept() {
        // Spans cover rows 0..2 only: row 3 keeps what the frame held.
        const QImage picture = GreyColumns(12, 4);
        QImage frame(12, 4, QImage::Format_RGB32);
        frame.fill(Marker);
        RenderHorizontalSwayFrame(picture, DepthColumns("777777777777", 4), 0, 0, 2, 11, 0, 2,
                                  frame);
        QCOMPARE(SourceColumns(frame, 0), QByteArray("0123456789:;"));
        QCOMPARE(SourceColumns(frame, 3), QByteArray("????????????"));
    }

    void nonPaletteColourIsLevelZero() {
        const QImage picture = NoisyPicture(260, 220, 2);
        DepthMap odd = BlobDepth(260, 220, true, 3);
        DepthMap raised = odd;
        for (int y = 40; y < 120; ++y)
            for (int x = 30; x < 200; ++x) {
                odd.surface().setPixel(x, y, qRgb(0x12, 0x34, 0x56));
                raised.surface().setPixel(x, y, ArgbFromColorref(DepthPalette[0]));
            }
        DepthMap base = raised;
        for (int y = 40; y < 120; ++y)
            for (int x = 30; x < 200; ++x)
                base.surface().setPixel(x, y, ArgbFromColorref(DepthPalette[BaseLevel]));
        for (const SwayDirection direction : {SwayDirection::Horizontal, SwayDirection::Vertical}) {
            const auto a = RenderSwayFrames(ImageHandle(picture), odd, direction);
            const auto b = RenderSwayFrames(ImageHandle(picture), raised, direction);
            const auto c = RenderSwayFrames(ImageHandle(picture), base, direction);
            for (int k = 0; k < 8; ++k)
                QCOMPARE(a[size_t(k)].image(), b[size_t(k)].image());
            QVERIFY(a[2].image() != c[2].image()); // the region does move
        }
    }

    void runMatchesOneReusedFrame() {
        // The run equals rendering the cycle's angles in turn into one frame image, fixed regions
        // included.
        const double degrees[8] = {0, 6.5, 8, 6.5, 0, -6.5, -8, -6.5};
        const int w = 230, h = 210;
        const QImage picture = NoisyPicture(w, h, 4);
        for (const SwayDirection direction : {SwayDirection::Horizontal, SwayDirection::Vertical}) {
            // A fixed band of 60 whole lines along the first edge, then a line at the base level.
            // At 0 degrees frame line v samples source line v - 1, so line 60 samples only fixed
            // pixels and nothing is drawn on it: it keeps what the frame before left there.
            const bool vertical = direction == SwayDirection::Vertical;
            DepthMap depth = BlobDepth(w, h, true, 5);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int v = vertical ? x : y;
                    if (v <= 60)
                        depth.surface().setPixel(
                            x, y, ArgbFromColorref(DepthPalette[v < 60 ? FixedLevel : BaseLevel]));
                }
            const auto line60 = [&](const ImageHandle& f) {
                return vertical ? f.image().copy(60, 0, 1, h) : f.image().copy(0, 60, w, 1);
            };
            std::vector<int> announced;
            const auto frames = RenderSwayFrames(ImageHandle(picture), depth, direction, {},
                                                 [&](int k) { announced.push_back(k); });
            QCOMPARE(announced, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
            QCOMPARE(int(frames.size()), 8);
            QCOMPARE(line60(frames[0]), line60(ImageHandle(Black(w, h))));
            QCOMPARE(line60(frames[4]), line60(frames[3]));
            QImage frame = Black(w, h);
            for (int k = 0; k < 8; ++k) {
                const double theta = degrees[k] * std::numbers::pi / 180;
                if (direction == SwayDirection::Horizontal) {
                    const FrameGeometry g = ComputeFrameGeometry(theta, w, h);
                    RenderHorizontalSwayFrame(picture, depth.surface(), g.u0, g.v0a, g.v0b, g.u1,
                                              g.v1a, g.v1b, frame);
                } else {
                    const FrameGeometry g = ComputeFrameGeometry(theta, h, w);
                    RenderVerticalSwayFrame(picture, depth.surface(), g.v0a, g.v0b, g.u0, g.v1a,
                                            g.v1b, g.u1, frame);
                }
                QCOMPARE(frames[size_t(k)].image().format(), QImage::Format_RGB32);
                QCOMPARE(frames[size_t(k)].image(), frame);
            }
            QVERIFY(frames[1].image() != frames[2].image());
        }
    }

    void sharedDrawingsGiveTheSameFrames() {
        // Fixed regions, a frame one pixel wide that draws nothing, and every drawing complete.
        struct Case {
            QImage picture;
            DepthMap depth;
        };
        std::vector<Case> cases;
        cases.push_back({NoisyPicture(230, 210, 10), BlobDepth(230, 210, true, 11)});
        cases.push_back({NoisyPicture(1, 20, 12), BlobDepth(1, 20, true, 13)});
        cases.push_back({NoisyPicture(12, 300, 14), BlobDepth(12, 300, false, 15)});
        for (const Case& c : cases)
            for (const SwayDirection direction :
                 {SwayDirection::Horizontal, SwayDirection::Vertical}) {
                const ImageHandle picture(c.picture);
                const auto shared =
                    RenderSwayFrames(picture, c.depth, direction, {}, {}, FrameReuse::Share);
                const auto redrawn =
                    RenderSwayFrames(picture, c.depth, direction, {}, {}, FrameReuse::Redraw);
                QCOMPARE(int(shared.size()), FrameCount);
                QCOMPARE(int(redrawn.size()), FrameCount);
                for (int k = 0; k < FrameCount; ++k)
                    QCOMPARE(shared[size_t(k)].image(), redrawn[size_t(k)].image());
            }
        // Where the drawing of an angle covers every line, its frames are one image.
        const auto frames = RenderSwayFrames(ImageHandle(cases[0].picture), cases[0].depth,
                                             SwayDirection::Vertical);
        QCOMPARE(frames[4].image().constBits(), frames[0].image().constBits());
        QCOMPARE(frames[7].image().constBits(), frames[5].image().constBits());
        QVERIFY(frames[1].image().constBits() != frames[2].image().constBits());
    }

    void defaultsGiveTheEarlierFrames() {
        // Digests of the frames drawn before the sway had options, for a picture large enough
        // that every level moves, fixed regions included. The default options, and an explicit
        // pivot at the base level, draw them still.
        const QImage picture = NoisyPicture(300, 260, 21);
        const DepthMap depth = BlobDepth(300, 260, true, 22);
        SwayOptions basePivot;
        basePivot.pivot = BaseLevel;
        for (const SwayOptions& options : {SwayOptions{}, basePivot}) {
            const auto h =
                RenderSwayFrames(ImageHandle(picture), depth, SwayDirection::Horizontal, options);
            const auto v =
                RenderSwayFrames(ImageHandle(picture), depth, SwayDirection::Vertical, options);
            QCOMPARE(FramesDigest(h), QByteArray("ccf2bcc4f8cb54e8676c86ac99ccaf375db5e158"));
            QCOMPARE(FramesDigest(v), QByteArray("7e613812b34f570942ea87275af935d374b38c85"));
        }
    }

    void swayAngles() {
        // Eight frames scale the table: at 8 degrees its exact doubles, at 4 its halves.
        SwayOptions eight;
        QCOMPARE(SwayAngles(eight),
                 std::vector<double>(SwayAngleTable.begin(), SwayAngleTable.end()));
        eight.angle = 4.0;
        const std::vector<double> halved = SwayAngles(eight);
        QCOMPARE(int(halved.size()), 8);
        for (int k = 0; k < 8; ++k)
            QCOMPARE(halved[size_t(k)], SwayAngleTable[size_t(k)] / 2);
        // Twelve follow the sine: 0, the full turn, 0 and its opposite at frames 0, 3, 6 and 9;
        // mirrored frames are equal to the bit, so that they share a drawing.
        SwayOptions twelve;
        twelve.frames = 12;
        twelve.angle = 5.0;
        const std::vector<double> a = SwayAngles(twelve);
        QCOMPARE(int(a.size()), 12);
        const double full = 5.0 * std::numbers::pi / 180.0;
        QCOMPARE(a[0], 0.0);
        QCOMPARE(a[3], full);
        QCOMPARE(a[6], 0.0);
        QCOMPARE(a[9], -full);
        QCOMPARE(a[1], full * std::sin(std::numbers::pi / 6));
        QVERIFY(a[1] == a[5] && a[2] == a[4] && a[7] == -a[1] && a[11] == -a[1]);
        // Out of range: clamped.
        twelve.frames = 1000;
        twelve.angle = 90;
        QCOMPARE(int(SwayAngles(twelve).size()), SwayOptions::MaxFrames);
        QCOMPARE(SwayAngles(twelve)[12], 15.0 * std::numbers::pi / 180.0);
        // The delay in hundredths, to the nearest.
        SwayOptions delay;
        QCOMPARE(GifDelay(delay), 6);
        delay.delayMs = 25;
        QCOMPARE(GifDelay(delay), 3);
        delay.delayMs = 5;
        QCOMPARE(GifDelay(delay), 2);
    }

    void everyFrameCountMatchesOneReusedFrame() {
        // For any number of frames, with a pivot and the far fill, the run (shared drawings, on
        // all cores) equals drawing each frame's turn in turn into one frame image.
        const int w = 250, h = 230;
        const QImage picture = NoisyPicture(w, h, 30);
        const DepthMap depth = BlobDepth(w, h, true, 31);
        for (const int frames : {5, 12, 24}) {
            SwayOptions options;
            options.frames = frames;
            options.angle = frames == 24 ? 15.0 : 6.0;
            options.pivot = 4;
            options.holeFill = HoleFill::Far;
            const std::vector<double> angles = SwayAngles(options);
            for (const SwayDirection direction :
                 {SwayDirection::Horizontal, SwayDirection::Vertical}) {
                std::vector<int> announced;
                const auto run = RenderSwayFrames(ImageHandle(picture), depth, direction, options,
                                                  [&](int k) { announced.push_back(k); });
                const auto redrawn = RenderSwayFrames(ImageHandle(picture), depth, direction,
                                                      options, {}, FrameReuse::Redraw);
                QCOMPARE(int(run.size()), frames);
                QCOMPARE(int(announced.size()), frames);
                QCOMPARE(announced.back(), frames - 1);
                QImage frame = Black(w, h);
                for (int k = 0; k < frames; ++k) {
                    const double theta = angles[size_t(k)];
                    if (direction == SwayDirection::Horizontal) {
                        const FrameGeometry g = ComputeFrameGeometry(theta, w, h);
                        RenderHorizontalSwayFrame(picture, depth.surface(), g.u0, g.v0a, g.v0b,
                                                  g.u1, g.v1a, g.v1b, frame, options);
                    } else {
                        const FrameGeometry g = ComputeFrameGeometry(theta, h, w);
                        RenderVerticalSwayFrame(picture, depth.surface(), g.v0a, g.v0b, g.u0, g.v1a,
                                                g.v1b, g.u1, frame, options);
                    }
                    QCOMPARE(run[size_t(k)].image(), frame);
                    QCOMPARE(redrawn[size_t(k)].image(), frame);
                }
                // Frames of equal turns share one image (mirrored about the largest turn).
                if (frames == 12)
                    QCOMPARE(run[5].image().constBits(), run[1].image().constBits());
            }
        }
    }

    void pivotStaysStill() {
        // A 640-wide picture, black with a white upright line in each of three bands: levels 7,
        // 3 and 0 from left to right. Where each line stands in a frame (its brightness-weighted
        // centre) is compared with where it stands when the whole map is at the base level.
        const int w = 640, h = 12;
        QImage picture = Black(w, h);
        const int lines[3] = {100, 320, 540};
        for (int y = 0; y < h; ++y)
            for (const int x : lines)
                picture.setPixel(x, y, qRgb(255, 255, 255));
        QImage bands(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                bands.setPixel(x, y, ArgbFromColorref(DepthPalette[x < 213 ? 7 : x < 427 ? 3 : 0]));
        DepthMap banded, flat;
        QVERIFY(banded.Create(w, h) && flat.Create(w, h));
        banded.surface() = bands;
        const auto centre = [&](const QImage& frame, int around) {
            double sum = 0, weight = 0;
            for (int x = around - 40; x <= around + 40; ++x) {
                const double b = qRed(frame.pixel(x, h / 2));
                sum += b * x;
                weight += b;
            }
            return sum / weight;
        };
        SwayOptions pivot3;
        pivot3.pivot = 3;
        for (const SwayOptions& options : {pivot3, SwayOptions{}}) {
            const auto moved =
                RenderSwayFrames(ImageHandle(picture), banded, SwayDirection::Horizontal, options);
            const auto still =
                RenderSwayFrames(ImageHandle(picture), flat, SwayDirection::Horizontal);
            const bool p3 = options.pivot == 3;
            for (int k = 0; k < FrameCount; ++k) {
                // The line of the pivot's band stands where the flat map puts it.
                const int pivotLine = p3 ? 1 : 0;
                QCOMPARE(centre(moved[size_t(k)].image(), lines[pivotLine]),
                         centre(still[size_t(k)].image(), lines[pivotLine]));
            }
            // At the largest turns the nearer and the farther band move opposite ways.
            for (const int k : {2, 6}) {
                const auto shift = [&](int band) {
                    return centre(moved[size_t(k)].image(), lines[band]) -
                           centre(still[size_t(k)].image(), lines[band]);
                };
                if (p3) {
                    QVERIFY2(shift(0) * shift(2) < -1.0,
                             qPrintable(QStringLiteral("frame %1: %2 and %3")
                                            .arg(k)
                                            .arg(shift(0))
                                            .arg(shift(2))));
                } else {
                    QCOMPARE(shift(0), 0.0);
                    QVERIFY(shift(1) * shift(2) > 1.0); // both ahead of the base, one way
                }
            }
        }
    }

    void farFillKeepsTheDiscOutOfItsHoles() {
        // A red disc painted at the most raised level, its region one pixel wider on the left
        // and at the top than the red (so that no sample of the base level blends the disc in:
        // the blend reads the pixels after the source position), on a background of narrow blue and
        // green stripes at the base level. Swaying one way the disc opens a hole on its left, the
        // other way on its right. The far fill paints both from the background; the previous-pixel
        // fill paints the hole behind a disc moving left with the disc's edge.
        const int w = 640, h = 48;
        QImage picture(w, h, QImage::Format_RGB32);
        QImage depthImage(w, h, QImage::Format_RGB32);
        const auto inDisc = [](int x, int y) {
            return (x - 320) * (x - 320) + (y - 24) * (y - 24) < 20 * 20;
        };
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                picture.setPixel(x, y,
                                 inDisc(x, y)  ? qRgb(255, 0, 0)
                                 : (x / 3) % 2 ? qRgb(0, 0, 255)
                                               : qRgb(0, 200, 0));
                const bool raised =
                    inDisc(x, y) || inDisc(x + 1, y) || inDisc(x, y + 1) || inDisc(x + 1, y + 1);
                depthImage.setPixel(x, y, ArgbFromColorref(DepthPalette[raised ? 0 : BaseLevel]));
            }
        for (const SwayDirection direction : {SwayDirection::Horizontal, SwayDirection::Vertical}) {
            const bool vertical = direction == SwayDirection::Vertical;
            DepthMap depth;
            QVERIFY(depth.Create(vertical ? h : w, vertical ? w : h));
            depth.surface() = vertical ? Transposed(depthImage) : depthImage;
            const ImageHandle source(vertical ? Transposed(picture) : picture);
            // Pixels holding any of the disc's red, left and right of the disc's middle.
            const auto reddish = [&](const ImageHandle& frame, bool left) {
                const QImage image = vertical ? Transposed(frame.image()) : frame.image();
                int count = 0;
                for (int y = 0; y < h; ++y)
                    for (int x = left ? 0 : 320; x < (left ? 320 : w); ++x)
                        count += qRed(image.pixel(x, y)) > 0 ? 1 : 0;
                return count;
            };
            SwayOptions far;
            far.holeFill = HoleFill::Far;
            const auto previousFrames = RenderSwayFrames(source, depth, direction);
            const auto farFrames = RenderSwayFrames(source, depth, direction, far);
            // The disc's own pixels: when it moves it covers as many as it uncovers.
            const int unmoved = reddish(farFrames[0], true) + reddish(farFrames[0], false);
            const auto report = [&](const char* rule, int k, int count) {
                return qPrintable(QStringLiteral("%1 frame %2: %3 red pixels, %4 unmoved")
                                      .arg(QLatin1String(rule))
                                      .arg(k)
                                      .arg(count)
                                      .arg(unmoved));
            };
            for (const int k : {2, 6}) {
                const int count =
                    reddish(farFrames[size_t(k)], true) + reddish(farFrames[size_t(k)], false);
                QVERIFY2(std::abs(count - unmoved) <= h, report("far", k, count));
            }
            // Moving right (frame 2) the hole on the left is filled from the background before
            // it; moving left (frame 6) the hole on the right from the disc.
            const int moved2 = reddish(previousFrames[2], true) + reddish(previousFrames[2], false);
            QVERIFY2(std::abs(moved2 - unmoved) <= h, report("previous", 2, moved2));
            const int moved6 = reddish(previousFrames[6], true) + reddish(previousFrames[6], false);
            QVERIFY2(moved6 > unmoved + 8 * h / 2, report("previous", 6, moved6));
            // Frames without holes are the same under both fills.
            QCOMPARE(farFrames[0].image(), previousFrames[0].image());
        }
    }

    void directionsAgreeOnTranspose() {
        // The bilinear sum groups its terms in another order, so channels may differ by one.
        // Flat areas, where a blend of equal values may round either way, next to noise.
        QImage picture = NoisyPicture(300, 220, 8);
        for (int y = 20; y < 200; ++y)
            for (int x = 10; x < 150; ++x)
                picture.setPixel(x, y, x < 80 ? qRgb(255, 255, 255) : qRgb(77, 140, 201));
        const DepthMap depth = BlobDepth(300, 220, true, 9);
        DepthMap depthT;
        QVERIFY(depthT.Create(220, 300));
        depthT.surface() = Transposed(depth.surface());
        const auto h = RenderSwayFrames(ImageHandle(picture), depth, SwayDirection::Horizontal);
        const auto v =
            RenderSwayFrames(ImageHandle(Transposed(picture)), depthT, SwayDirection::Vertical);
        int differing = 0;
        for (int k = 0; k < 8; ++k) {
            const QImage& a = h[size_t(k)].image();
            const QImage b = Transposed(v[size_t(k)].image());
            for (int y = 0; y < a.height(); ++y)
                for (int x = 0; x < a.width(); ++x) {
                    const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                    const int d =
                        std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                  std::abs(qBlue(p) - qBlue(q))});
                    if (d > 1)
                        QFAIL(qPrintable(QStringLiteral("frame %1 (%2, %3) differs by %4")
                                             .arg(k)
                                             .arg(x)
                                             .arg(y)
                                             .arg(d)));
                    differing += d;
                }
        }
        qInfo("%d channel values differ by one", differing);
    }
};

QTEST_GUILESS_MAIN(TestFrameSynthesis)
#include "tst_framesynthesis.moc"
