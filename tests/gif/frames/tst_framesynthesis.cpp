#include "gif/FrameSynthesis.h"

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
            const auto frames = RenderSwayFrames(ImageHandle(picture), depth, direction,
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
                    RenderSwayFrames(picture, c.depth, direction, {}, FrameReuse::Share);
                const auto redrawn =
                    RenderSwayFrames(picture, c.depth, direction, {}, FrameReuse::Redraw);
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
