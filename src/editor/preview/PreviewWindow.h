#pragma once

#include "editor/preview/PreviewRenderer.h"
#include "gif/FrameSynthesis.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

namespace kelvaro {

class EditorDocument;

// "プレビュー": plays the sway frames of the document in a loop, at the picture's size times Zoom
// (scaled down to fit a smaller window). Its controls choose the direction and the motion
// (frames, angle, the level that stays still, the delay of each frame, the hole fill), and the
// GIF command makes what it shows. It follows the document: after every change the frames are
// rendered again off the GUI thread with the GIF's frame synthesis. During a stroke it follows
// the pen: the frame it is playing is rendered alone from the map as it is at that moment, again
// as soon as the last one is done, and the whole cycle once the stroke ends. Hidden, it renders
// nothing.
class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    // A picture whose longer side is shorter than this is shown enlarged by a whole factor.
    static constexpr int SmallestShownSide = 160;
    // Space between the preview and the editor window when it opens beside it.
    static constexpr int EditorGap = 8;

    // The whole factor by which frames of this size are shown: 1, or for a small picture the
    // least factor that makes its longer side at least SmallestShownSide.
    static int Zoom(QSize frame);
    // Where the preview's frame (of this size) opens: beside the editor's frame, top edges level,
    // on the side of the screen's area that has room for it. Where neither side has, on the side
    // with more room, inside the screen and below the editor's row of controls, so that it never
    // hides them.
    static QPoint PlaceBeside(const QRect& editor, const QRect& controls, QSize size,
                              const QRect& screen);

    PreviewWindow(const EditorDocument& document, QWidget* parent = nullptr);

    // The editor's row of controls in its client coordinates, which the preview keeps clear of;
    // without it, the rectangle of all the editor's child widgets.
    void setControlsSource(std::function<QRect()> source) { controlsSource_ = std::move(source); }

    SwayDirection direction() const { return direction_; }
    void SetDirection(SwayDirection direction);
    // The motion its controls show (clamped into range); the defaults until they are changed.
    const SwayOptions& options() const { return options_; }
    void SetOptions(const SwayOptions& options);
    // While paused (a GIF is being made) the animation stands and no render starts.
    void SetPaused(bool paused);
    bool isPaused() const { return paused_; }

    // The frame shown now, 0 ... options().frames - 1, and its image (null when there is none):
    // during a stroke the latest frame rendered from the map as it is, otherwise the cycle's.
    int currentFrame() const { return frame_; }
    const QImage& shownFrame() const;
    const PreviewRenderer& renderer() const { return renderer_; }
    // Ends a running render and forgets the frames (the editor is closing).
    void Shutdown();

signals:
    void visibilityChanged(bool visible);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Rerender();
    void OnDocumentChanged();
    // During a stroke: renders the frame playing now, or notes that it is due.
    void FollowStroke();
    void OnLiveFrameReady();
    void OnFramesReady();
    void UpdateTimer();
    // Opens beside the editor window (the parent's window), see PlaceBeside.
    void PlaceBesideEditor();
    // The controls show options_ (without signalling back).
    void ShowOptions();
    void OnControlChanged();
    int FrameTop() const;
    // Where the frames are shown: below the controls.
    QRect FrameRect() const;

    const EditorDocument& document_;
    PreviewRenderer renderer_;
    QWidget* controls_ = nullptr; // the direction switch and the motion's controls
    QComboBox* directionBox_ = nullptr;
    QSpinBox* framesBox_ = nullptr;
    QDoubleSpinBox* angleBox_ = nullptr;
    QSpinBox* pivotBox_ = nullptr;
    QSpinBox* delayBox_ = nullptr;
    QComboBox* holeFillBox_ = nullptr;
    QLabel* hint_ = nullptr;
    QTimer timer_;
    SwayDirection direction_ = SwayDirection::Horizontal;
    SwayOptions options_;
    int frame_ = 0;
    QSize shownSize_;
    bool paused_ = false;
    bool stale_ = true; // the document changed while hidden
    // From a stroke's first change until the cycle after it arrives, live frames are shown.
    bool following_ = false;
    bool liveDue_ = false; // the stroke moved, or the frame advanced, while a render ran
    // Where PlaceBesideEditor put the window; while it stands there, a resize places it again.
    std::optional<QPoint> placedAt_;
    std::function<QRect()> controlsSource_;
};

} // namespace kelvaro
