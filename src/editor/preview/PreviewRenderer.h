#pragma once

#include "depth/DepthMap.h"
#include "gif/FrameSynthesis.h"
#include "imaging/ImageHandle.h"

#include <QFutureWatcher>
#include <QImage>
#include <QObject>

#include <optional>
#include <vector>

namespace kelvaro {

// Renders the sway frames of a picture and its depth map off the GUI thread, on snapshots taken
// when asked, so that painting never waits for it: the whole cycle, or (while a stroke is drawn)
// one frame of it. The latest request wins: at most one render runs, a request made meanwhile
// replaces any earlier waiting one, and the result of a cycle that a newer request overtook is
// dropped unseen. A single frame overtaken by another single frame still shows: it is the newest
// there is until the next one ends, and a pen that keeps moving would otherwise never be seen.
class PreviewRenderer : public QObject {
    Q_OBJECT

public:
    explicit PreviewRenderer(QObject* parent = nullptr);
    // Waits for a render still running.
    ~PreviewRenderer() override;

    // Renders these (snapshots are taken now; implicitly shared images make that cheap). A null
    // picture or a map of another size stands for "nothing to show" and clears the frames at once.
    void Request(const ImageHandle& picture, const DepthMap& map, SwayDirection direction,
                 const SwayOptions& options = {});
    // Frame k of the cycle alone, drawn over `under` (the frame shown before, of the picture's
    // size, or a null image for black): every line the frame draws is exactly the cycle's frame
    // k; the few lines a frame leaves alone (none but in extreme shapes) keep what `under` shows.
    void RequestFrame(const ImageHandle& picture, const DepthMap& map, SwayDirection direction,
                      const SwayOptions& options, int k, const QImage& under);
    // While paused a request waits and runs on resume; a running render still finishes.
    void SetPaused(bool paused);
    // Forgets a waiting request and waits for a running render, whose result is dropped.
    void Stop();

    // The frames of the latest finished request; empty when there is nothing to show.
    const std::vector<QImage>& frames() const { return frames_; }
    // The latest single frame finished and its index in the cycle; null before any.
    const QImage& liveFrame() const { return liveFrame_; }
    int liveFrameIndex() const { return liveIndex_; }
    // A render runs or its result has yet to be taken in.
    bool isRendering() const { return running_; }
    // A request waits for the running render to end.
    bool hasWaiting() const { return waiting_.has_value(); }

signals:
    // frames() now holds the frames of the latest request (or none).
    void framesReady();
    // liveFrame() now holds a newer single frame.
    void liveFrameReady();
    // A render has started on the snapshots of the latest request.
    void started();

private:
    struct Job {
        QImage picture;
        QImage map;
        SwayDirection direction = SwayDirection::Horizontal;
        SwayOptions options;
        int frame = -1; // a single frame, or -1 for the cycle
        QImage under;
    };
    void StartNext();
    void OnFinished();

    std::optional<Job> waiting_;
    QFutureWatcher<std::vector<QImage>> watcher_;
    std::vector<QImage> frames_;
    QImage liveFrame_;
    int liveIndex_ = -1;
    int runningFrame_ = -1; // the frame the running render draws, -1 for a cycle
    bool paused_ = false;
    bool running_ = false;
    bool dropResult_ = false; // the running render has been overtaken
};

} // namespace kelvaro
