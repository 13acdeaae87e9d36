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
    waiting_ = Job{picture.image(), map.surface(), direction, options};
    // A render still running has been overtaken; its result is dropped when it ends.
    dropResult_ = running_;
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
    watcher_.setFuture(QtConcurrent::run([job = std::move(job)] {
        return Render(job.picture, job.map, job.direction, job.options);
    }));
}

void PreviewRenderer::OnFinished() {
    // A late signal of a render that Stop already ended, perhaps while the next one runs.
    if (!running_ || !watcher_.isFinished())
        return;
    running_ = false;
    const bool drop = dropResult_;
    dropResult_ = false;
    if (!drop && watcher_.future().resultCount() > 0) {
        frames_ = watcher_.result();
        emit framesReady();
    }
    StartNext();
}

} // namespace kelvaro
