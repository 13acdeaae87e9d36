#include "gif/FrameSynthesis.h"

#include "gif/SwayDrawing.h"
#include "imaging/LargeMemory.h"
#include "imaging/Parallel.h"

#include <QRgb>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>

namespace kelvaro {

namespace {

// Pictures of fewer pixels are drawn on one thread: starting another would cost more than it saves.
constexpr qint64 MinParallelPixels = 128 * 128;
// A drawing is not split into parts of fewer lines than this.
constexpr int MinPartLines = 32;

// `count` w x h Format_RGB32 images of undefined content in one block of memory (see
// AllocateLarge): five 640 x 640 frames took 2,000 page faults a run, which cost more than
// drawing them. Each image holds a share of the block; the last one released frees it. Empty
// when there is no memory.
std::vector<QImage> FrameImages(int w, int h, int count) {
    const std::size_t frameBytes = std::size_t(w) * std::size_t(h) * sizeof(QRgb);
    const std::shared_ptr<void> block(AllocateLarge(frameBytes * std::size_t(count)), std::free);
    if (!block)
        return {};
    using Share = std::shared_ptr<void>;
    std::vector<QImage> images;
    for (int i = 0; i < count; ++i) {
        auto share = std::make_unique<Share>(block);
        QImage image(
            static_cast<uchar*>(block.get()) + std::size_t(i) * frameBytes, w, h,
            qsizetype(w) * qsizetype(sizeof(QRgb)), QImage::Format_RGB32,
            [](void* info) { delete static_cast<Share*>(info); }, share.get());
        if (image.isNull())
            return {};
        (void)share.release(); // the image's cleanup deletes it
        images.push_back(std::move(image));
    }
    return images;
}

// The picture, depth map and frame must share one size; the picture and frame are brought into
// the working format when they are not in it.
bool PrepareFrameInputs(const QImage& picture, const QImage& depth, QImage& frame,
                        QImage& pictureRgb32) {
    if (picture.isNull() || picture.size() != depth.size() || picture.size() != frame.size())
        return false;
    pictureRgb32 = AsRgb32(picture);
    frame = AsRgb32(frame);
    return !pictureRgb32.isNull() && !frame.isNull();
}

template <bool Vertical>
void RenderOneFrame(const QImage& picture, const QImage& depth, const FrameGeometry& g,
                    QImage& frame, const SwayOptions& options) {
    QImage pictureRgb32;
    if (!PrepareFrameInputs(picture, depth, frame, pictureRgb32))
        return;
    const std::vector<std::int8_t> lifts = LiftMap(depth);
    const SwaySource src{pictureRgb32, lifts, picture.width(), picture.height()};
    FrameScratch scratch;
    const int lv = Vertical ? picture.width() : picture.height();
    std::vector<std::uint8_t> drawn(static_cast<std::size_t>(lv));
    DrawLines<Vertical>(src, PlanFrame<Vertical>(src, g, ClampedSwayOptions(options)), 0, lv, frame,
                        scratch, drawn.data());
}

} // namespace

void RenderHorizontalSwayFrame(const QImage& picture, const QImage& depth, int left, int leftTop,
                               int leftBottom, int right, int rightTop, int rightBottom,
                               QImage& frame, const SwayOptions& options) {
    RenderOneFrame<false>(picture, depth, {left, leftTop, leftBottom, right, rightTop, rightBottom},
                          frame, options);
}

void RenderVerticalSwayFrame(const QImage& picture, const QImage& depth, int topLeft, int topRight,
                             int top, int bottomLeft, int bottomRight, int bottom, QImage& frame,
                             const SwayOptions& options) {
    RenderOneFrame<true>(picture, depth, {top, topLeft, topRight, bottom, bottomLeft, bottomRight},
                         frame, options);
}

void RenderSwayFrame(const ImageHandle& picture, const DepthMap& depth, SwayDirection direction,
                     const SwayOptions& options, int k, QImage& frame) {
    QImage pictureRgb32;
    if (!PrepareFrameInputs(picture.image(), depth.surface(), frame, pictureRgb32))
        return;
    const int w = picture.width(), h = picture.height();
    const std::vector<std::int8_t> lifts = LiftMap(depth.surface());
    const SwaySource src{pictureRgb32, lifts, w, h};
    const bool vertical = direction == SwayDirection::Vertical;
    const SwayOptions sway = ClampedSwayOptions(options);
    const double theta = SwayAngle(sway, k);
    const FramePlan plan = vertical
                               ? PlanFrame<true>(src, ComputeFrameGeometry(theta, h, w), sway)
                               : PlanFrame<false>(src, ComputeFrameGeometry(theta, w, h), sway);
    const int lv = vertical ? w : h;
    const int parts =
        qint64(w) * h >= MinParallelPixels ? std::clamp(lv / MinPartLines, 1, WorkerThreads()) : 1;
    std::vector<std::uint8_t> drawn(static_cast<std::size_t>(lv));
    // Parts of whole lines, each with its own scratch lines, as the cycle draws them.
    ParallelFor(parts, [&](int part) {
        FrameScratch scratch;
        const int vBegin = lv * part / parts, vEnd = lv * (part + 1) / parts;
        if (vertical)
            DrawLines<true>(src, plan, vBegin, vEnd, frame, scratch, drawn.data());
        else
            DrawLines<false>(src, plan, vBegin, vEnd, frame, scratch, drawn.data());
    });
}

std::vector<ImageHandle> RenderSwayFrames(const ImageHandle& picture, const DepthMap& depth,
                                          SwayDirection direction, const SwayOptions& options,
                                          const std::function<void(int)>& beforeFrame,
                                          FrameReuse reuse) {
    const int w = picture.width();
    const int h = picture.height();
    if (picture.isNull() || depth.width() != w || depth.height() != h)
        return {};
    const QImage pictureRgb32 = AsRgb32(picture.image());
    const std::vector<std::int8_t> lifts = LiftMap(depth.surface());
    const SwaySource src{pictureRgb32, lifts, w, h};
    const bool vertical = direction == SwayDirection::Vertical;
    const SwayOptions sway = ClampedSwayOptions(options);
    const std::vector<double> angles = SwayAngles(sway);
    const int frameCount = int(angles.size());

    // Each drawing renders one angle on its own into a black image, recording which lines it
    // drew. A frame of the one reused frame bitmap is then the drawing of its angle, with every
    // line it left alone taken from the frame before; so the drawings can be made in parallel, and
    // an angle that comes again needs no second drawing.
    std::vector<int> drawingOf(std::size_t(frameCount), 0);
    std::vector<int> drawingAngle; // the frame whose angle each drawing renders
    for (int k = 0; k < frameCount; ++k) {
        drawingOf[std::size_t(k)] = int(drawingAngle.size());
        for (int j = 0; j < k && reuse == FrameReuse::Share; ++j)
            if (angles[std::size_t(j)] == angles[std::size_t(k)]) {
                drawingOf[std::size_t(k)] = drawingOf[std::size_t(j)];
                break;
            }
        if (drawingOf[std::size_t(k)] == int(drawingAngle.size()))
            drawingAngle.push_back(k);
    }
    const int drawingCount = int(drawingAngle.size());
    const int lv = vertical ? w : h;

    // Each drawing is made in parts of whole lines across u, as many as there are threads, so
    // that the cores stay busy to the end. Small pictures are drawn on this thread alone.
    const int cores = std::max(1, QThread::idealThreadCount());
    const int threads = qint64(w) * h >= MinParallelPixels ? std::min(cores, drawingCount) : 1;
    const int parts = std::clamp(lv / MinPartLines, 1, threads);
    std::vector<QImage> drawings = FrameImages(w, h, drawingCount);
    if (drawings.empty())
        return {}; // out of memory: the run yields no frames
    std::vector<FramePlan> plans(static_cast<std::size_t>(drawingCount));
    std::vector<std::vector<std::uint8_t>> drawnLines(static_cast<std::size_t>(drawingCount));
    for (int d = 0; d < drawingCount; ++d) {
        const double theta = angles[std::size_t(drawingAngle[std::size_t(d)])];
        // Vertical: Lu = H and Lv = W, the call (b, W - b, a, e, W - e, H - a).
        plans[std::size_t(d)] =
            vertical ? PlanFrame<true>(src, ComputeFrameGeometry(theta, h, w), sway)
                     : PlanFrame<false>(src, ComputeFrameGeometry(theta, w, h), sway);
        drawnLines[std::size_t(d)].resize(std::size_t(lv));
    }
    std::atomic<bool> outOfMemory{false};
    const auto draw = [&](int job, FrameScratch& scratch) {
        const std::size_t d = std::size_t(job / parts);
        const int part = job % parts;
        const int vBegin = lv * part / parts, vEnd = lv * (part + 1) / parts;
        QImage& image = drawings[d];
        std::uint8_t* drawn = drawnLines[d].data();
        // The scratch lines are vectors: running out of memory there fails the run (thrown on a
        // helper thread, it would end the program).
        try {
            if (vertical)
                DrawLines<true>(src, plans[d], vBegin, vEnd, image, scratch, drawn);
            else
                DrawLines<false>(src, plans[d], vBegin, vEnd, image, scratch, drawn);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
        // Lines the drawing left alone are black, as in a frame image that starts black.
        QRgb* bits = reinterpret_cast<QRgb*>(image.bits());
        const qsizetype stride = image.bytesPerLine() / qsizetype(sizeof(QRgb));
        for (int v = vBegin; v < vEnd; ++v) {
            if (drawn[v])
                continue;
            if (vertical)
                for (int y = 0; y < h; ++y)
                    bits[y * stride + v] = 0xff000000u;
            else
                std::fill_n(bits + v * stride, w, 0xff000000u);
        }
    };

    const int jobCount = drawingCount * parts;
    std::atomic<int> next{0};
    std::mutex mutex;
    std::condition_variable drawingDone;
    std::vector<int> partsLeft(std::size_t(drawingCount), parts);
    const auto drawNext = [&](FrameScratch& scratch) {
        const int job = next.fetch_add(1);
        if (job >= jobCount)
            return false;
        draw(job, scratch);
        {
            const std::lock_guard lock(mutex);
            --partsLeft[std::size_t(job / parts)];
        }
        drawingDone.notify_all();
        return true;
    };

    // Helpers draw in order while this thread reports progress, joins in and assembles the frames.
    const auto help = [&drawNext] {
        FrameScratch scratch;
        while (drawNext(scratch)) {
        }
    };
    // How many frames still need each drawing: the last one may take it over.
    std::vector<int> usesLeft(std::size_t(drawingCount), 0);
    for (const int d : drawingOf)
        ++usesLeft[std::size_t(d)];

    std::vector<QImage> frames(static_cast<std::size_t>(frameCount));
    const auto assemble = [&] {
        FrameScratch scratch;
        for (int k = 0; k < frameCount; ++k) {
            if (beforeFrame)
                beforeFrame(k);
            const std::size_t d = std::size_t(drawingOf[std::size_t(k)]);
            for (;;) {
                {
                    const std::lock_guard lock(mutex);
                    if (partsLeft[d] == 0)
                        break;
                }
                if (!drawNext(scratch)) {
                    std::unique_lock lock(mutex);
                    drawingDone.wait(lock, [&] { return partsLeft[d] == 0; });
                    break;
                }
            }
            const std::vector<std::uint8_t>& drawn = drawnLines[d];
            const bool complete = std::all_of(drawn.begin(), drawn.end(), [](auto v) { return v; });
            // A frame 0 finds the black the drawing started with on its lines left alone.
            if (complete || k == 0) {
                frames[std::size_t(k)] = --usesLeft[d] == 0 ? std::move(drawings[d]) : drawings[d];
                continue;
            }
            QImage image = --usesLeft[d] == 0 ? std::move(drawings[d]) : drawings[d].copy();
            const QImage& previous = frames[std::size_t(k - 1)];
            for (int v = 0; v < int(drawn.size()); ++v) {
                if (drawn[std::size_t(v)])
                    continue;
                if (vertical) {
                    for (int y = 0; y < h; ++y)
                        reinterpret_cast<QRgb*>(image.scanLine(y))[v] =
                            reinterpret_cast<const QRgb*>(previous.constScanLine(y))[v];
                } else {
                    std::copy_n(reinterpret_cast<const QRgb*>(previous.constScanLine(v)), w,
                                reinterpret_cast<QRgb*>(image.scanLine(v)));
                }
            }
            frames[std::size_t(k)] = std::move(image);
        }
    };
    // Returns when every helper has: every drawing is done by then.
    RunWithHelpers(threads - 1, help, assemble);
    if (outOfMemory)
        return {};
    if (std::any_of(frames.begin(), frames.end(), [](const QImage& f) { return f.isNull(); }))
        return {}; // a copy found no memory
    std::vector<ImageHandle> result;
    result.reserve(std::size_t(frameCount));
    for (QImage& image : frames)
        result.emplace_back(std::move(image));
    return result;
}

} // namespace kelvaro
