// Times the eight frames of one sway cycle on a 640 x 640 photo-like picture with a busy depth
// map, both directions, and (when built beside it) kelvaro-render --frames-dir end to end.
#include "gif/FrameSynthesis.h"

#include "Timing.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

using namespace kelvaro;

namespace {

constexpr int Side = 640;
constexpr int Runs = 11;

QImage PhotoLikePicture() {
    QImage picture(Side, Side, QImage::Format_RGB32);
    std::mt19937 random(1);
    std::uniform_int_distribution<int> grain(-12, 12);
    for (int y = 0; y < Side; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < Side; ++x) {
            const double sky = double(y) / Side;
            const double hill = std::sin(x * 0.02) * 40 + 380;
            const bool ground = y > hill;
            const double dx = x - 420, dy = y - 200;
            const bool sun = dx * dx + dy * dy < 60 * 60;
            int r = ground ? 60 + (x * 3 + y) % 50 : int(90 + 100 * sky);
            int g = ground ? 120 + (x ^ y) % 40 : int(140 + 80 * sky);
            int b = ground ? 40 : 230;
            if (sun)
                r = 250, g = 220, b = 120;
            const int n = grain(random);
            line[x] = qRgb(std::clamp(r + n, 0, 255), std::clamp(g + n, 0, 255),
                           std::clamp(b + n, 0, 255));
        }
    }
    return picture;
}

// All nine levels: broad bands, fixed regions and many small blobs.
DepthMap BusyDepthMap() {
    DepthMap depth;
    if (!depth.Create(Side, Side))
        return depth;
    QImage& map = depth.surface();
    const auto colour = [](int level) {
        return ArgbFromColorref(DepthPalette[size_t(level)]);
    };
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            map.setPixel(x, y, colour((x / 80 + y / 160) % 8));
    for (int y = 500; y < 600; ++y)
        for (int x = 40; x < 300; ++x)
            map.setPixel(x, y, colour(FixedLevel));
    std::mt19937 random(2);
    std::uniform_int_distribution<int> pos(0, Side - 1), radius(2, 14), level(0, 8);
    for (int i = 0; i < 600; ++i) {
        const int cx = pos(random), cy = pos(random), r = radius(random), c = colour(level(random));
        for (int y = std::max(0, cy - r); y < std::min(Side, cy + r); ++y)
            for (int x = std::max(0, cx - r); x < std::min(Side, cx + r); ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r)
                    map.setPixel(x, y, c);
    }
    return depth;
}

template <typename F> double MedianMs(F&& work) {
    return ::MedianMs(Runs, [&] {
        work();
        return true;
    });
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QImage picture = PhotoLikePicture();
    const DepthMap depth = BusyDepthMap();
    const ImageHandle handle{QImage(picture)};
    const double samples = double(FrameCount) * Side * Side;

    std::printf("bench-frames: %dx%d picture, %d frames, median of %d runs\n", Side, Side,
                FrameCount, Runs);
    for (const SwayDirection direction : {SwayDirection::Horizontal, SwayDirection::Vertical}) {
        const char* name = direction == SwayDirection::Horizontal ? "horizontal" : "vertical";
        const double run = MedianMs([&] { (void)RenderSwayFrames(handle, depth, direction); });
        std::printf("  %-10s RenderSwayFrames (parallel): %7.2f ms, %5.2f ns/sample\n", name, run,
                    run * 1e6 / samples);
        QImage frame(Side, Side, QImage::Format_RGB32);
        const double single = MedianMs([&] {
            for (int k = 0; k < FrameCount; ++k) {
                const double theta = SwayAngleTable[size_t(k)];
                const FrameGeometry g = ComputeFrameGeometry(theta, Side, Side);
                if (direction == SwayDirection::Horizontal)
                    RenderHorizontalSwayFrame(picture, depth.surface(), g.u0, g.v0a, g.v0b, g.u1,
                                              g.v1a, g.v1b, frame);
                else
                    RenderVerticalSwayFrame(picture, depth.surface(), g.v0a, g.v0b, g.u0, g.v1a,
                                            g.v1b, g.u1, frame);
            }
        });
        std::printf("  %-10s 8 single-frame calls, 1 thread: %7.2f ms, %5.2f ns/sample\n", name,
                    single, single * 1e6 / samples);
    }

    // Other motions against the default cycle, measured one right after the other: N frames may
    // take N / 8 of the default's time plus 10 %.
    std::printf("  other motions (horizontal), each beside a default run:\n");
    struct Motion {
        const char* name;
        int frames;
        double angle;
        int pivot;
        HoleFill fill;
    };
    for (const Motion& m : {Motion{"8, far fill", 8, 8.0, 7, HoleFill::Far},
                            Motion{"8, pivot 4", 8, 8.0, 4, HoleFill::Previous},
                            Motion{"12 frames", 12, 8.0, 7, HoleFill::Previous},
                            Motion{"24, 5 deg, pivot 4, far", 24, 5.0, 4, HoleFill::Far},
                            Motion{"48 frames", 48, 8.0, 7, HoleFill::Previous}}) {
        SwayOptions options;
        options.frames = m.frames;
        options.angle = m.angle;
        options.pivot = m.pivot;
        options.holeFill = m.fill;
        const double base =
            MedianMs([&] { (void)RenderSwayFrames(handle, depth, SwayDirection::Horizontal); });
        const double run = MedianMs(
            [&] { (void)RenderSwayFrames(handle, depth, SwayDirection::Horizontal, options); });
        std::printf("    %-26s %7.2f ms, default %7.2f ms: ratio %.2f (budget %.2f)\n", m.name, run,
                    base, run / base, m.frames / 8.0 * 1.1);
    }

#ifdef KELVARO_RENDER_PATH
    QTemporaryDir dir;
    const QString picturePath = dir.filePath(QStringLiteral("photo.png"));
    const QString mapPath = dir.filePath(QStringLiteral("map.bmp"));
    if (!picture.save(picturePath) || !depth.surface().save(mapPath)) {
        std::printf("  could not write the input files\n");
        return 1;
    }
    const double endToEnd = MedianMs([&] {
        QProcess render;
        render.start(QStringLiteral(KELVARO_RENDER_PATH),
                     {picturePath, QStringLiteral("--depth"), mapPath,
                      QStringLiteral("--frames-dir"), dir.filePath(QStringLiteral("out"))});
        render.waitForFinished(-1);
        if (render.exitCode() != 0)
            std::printf("  kelvaro-render failed: %s\n", render.readAllStandardError().constData());
    });
    std::printf("  kelvaro-render --frames-dir (end to end): %7.2f ms\n", endToEnd);
#endif
    return 0;
}
