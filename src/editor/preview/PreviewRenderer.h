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
// when asked, so that painting never waits for it. The latest request wins: at most one render
// runs, a request made meanwhile replaces any earlier waiting one, and the result of a render
// that a newer request overtook is dropped unseen.
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
    // While paused a request waits and runs on resume; a running render still finishes.
    void SetPaused(bool paused);
    // Forgets a waiting request and waits for a running render, whose result is dropped.
    void Stop();

    // The frames of the latest finished request; empty when there is nothing to show.
    const std::vector<QImage>& frames() const { return frames_; }
    // A render runs or its result has yet to be taken in.
    bool isRendering() const { return running_; }

signals:
    // frames() now holds the frames of the latest request (or none).
    void framesReady();

private:
    struct Job {
        QImage picture;
        QImage map;
        SwayDirection direction = SwayDirection::Horizontal;
        SwayOptions options;
    };
    void StartNext();
    void OnFinished();

    std::optional<Job> waiting_;
    QFutureWatcher<std::vector<QImage>> watcher_;
    std::vector<QImage> frames_;
    bool paused_ = false;
    bool running_ = false;
    bool dropResult_ = false; // the running render has been overtaken
};

} // namespace kelvaro
