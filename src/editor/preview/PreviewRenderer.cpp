#include "editor/preview/PreviewRenderer.h"

#include <QtConcurrent/QtConcurrentRun>

namespace kelvaro {

namespace {

std::vector<QImage> Render(const QImage& picture, const QImage& map, SwayDirection direction,
                           const SwayOptions& options) {
    const ImageHandle handle(picture);
    DepthMap depth;
    depth.surface() = map;
    std::vector<QImage> frames;
    for (ImageHandle& frame : RenderSwayFrames(handle, depth, direction, options))
        frames.push_back(std::move(frame.image()));
    return frames;
}

QImage RenderFrame(const QImage& picture, const QImage& map, SwayDirection direction,
                   const SwayOptions& options, int k, const QImage& under) {
    QImage frame = under.size() == picture.size() ? under.copy() : QImage();
    if (frame.isNull()) {
        frame = QImage(picture.size(), QImage::Format_RGB32);
        frame.fill(Qt::black);
    }
    DepthMap depth;
    depth.surface() = map;
    RenderSwayFrame(ImageHandle(picture), depth, direction, options, k, frame);
    return frame;
}

} // namespace

PreviewRenderer::PreviewRenderer(QObject* parent) : QObject(parent) {
    connect(&watcher_, &QFutureWatcher<std::vector<QImage>>::finished, this,
            &PreviewRenderer::OnFinished);
}

PreviewRenderer::~PreviewRenderer() {
    Stop();
}

void PreviewRenderer::Request(const ImageHandle& picture, const DepthMap& map,
                              SwayDirection direction, const SwayOptions& options) {
    if (picture.isNull() || map.surface().size() != picture.image().size()) {
        waiting_.reset();
        dropResult_ = running_;
        frames_.clear();
        emit framesReady();
        return;
    }
    waiting_ = Job{picture.image(), map.surface(), direction, options, -1, QImage()};
    // A render still running has been overtaken; its result is dropped when it ends.
    dropResult_ = running_;
    StartNext();
}

void PreviewRenderer::RequestFrame(const ImageHandle& picture, const DepthMap& map,
                                   SwayDirection direction, const SwayOptions& options, int k,
                                   const QImage& under) {
    if (picture.isNull() || map.surface().size() != picture.image().size())
        return;
    waiting_ = Job{picture.image(), map.surface(), direction, options, k, under};
    // An overtaken cycle is dropped; an overtaken frame still shows (see the class).
    dropResult_ = running_ && (dropResult_ || runningFrame_ < 0);
    StartNext();
}

void PreviewRenderer::SetPaused(bool paused) {
    paused_ = paused;
    StartNext();
}

void PreviewRenderer::Stop() {
    waiting_.reset();
    if (running_) {
        watcher_.waitForFinished();
        running_ = false;
    }
}

void PreviewRenderer::StartNext() {
    if (paused_ || !waiting_ || running_)
        return;
    Job job = std::move(*waiting_);
    waiting_.reset();
    running_ = true;
    dropResult_ = false;
    runningFrame_ = job.frame;
    watcher_.setFuture(QtConcurrent::run([job = std::move(job)] {
        if (job.frame >= 0)
            return std::vector<QImage>{RenderFrame(job.picture, job.map, job.direction, job.options,
                                                   job.frame, job.under)};
        return Render(job.picture, job.map, job.direction, job.options);
    }));
    emit started();
}

void PreviewRenderer::OnFinished() {
    // A late signal of a render that Stop already ended, perhaps while the next one runs.
    if (!running_ || !watcher_.isFinished())
        return;
    running_ = false;
    const bool drop = dropResult_;
    dropResult_ = false;
    if (!drop && watcher_.future().resultCount() > 0) {
        if (runningFrame_ >= 0) {
            liveFrame_ = watcher_.result().front();
            liveIndex_ = runningFrame_;
            emit liveFrameReady();
        } else {
            frames_ = watcher_.result();
            emit framesReady();
        }
    }
    StartNext();
}

} // namespace kelvaro
