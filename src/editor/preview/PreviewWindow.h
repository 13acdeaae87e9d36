#pragma once

#include "editor/preview/PreviewRenderer.h"
#include "gif/FrameSynthesis.h"

#include <QTimer>
#include <QWidget>

class QComboBox;
class QLabel;

namespace kelvaro {

class EditorDocument;

// "プレビュー": plays the eight sway frames of the document in a loop at the GIF's timing, at the
// picture's size (scaled down to fit a smaller window, never up). It follows the document: after
// every change, except in the middle of a stroke, the frames are rendered again off the GUI
// thread with the GIF's frame synthesis. Hidden, it renders nothing.
class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int FrameInterval = 60; // ms, as the GIF's frames

    PreviewWindow(const EditorDocument& document, QWidget* parent = nullptr);

    SwayDirection direction() const { return direction_; }
    void SetDirection(SwayDirection direction);
    // While paused (a GIF is being made) the animation stands and no render starts.
    void SetPaused(bool paused);
    bool isPaused() const { return paused_; }

    // The frame shown now, 0 ... FrameCount - 1.
    int currentFrame() const { return frame_; }
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
    void OnFramesReady();
    void UpdateTimer();
    int FrameTop() const;
    // Where the frames are shown: below the direction switch.
    QRect FrameRect() const;

    const EditorDocument& document_;
    PreviewRenderer renderer_;
    QComboBox* directionBox_ = nullptr;
    QLabel* hint_ = nullptr;
    QTimer timer_;
    SwayDirection direction_ = SwayDirection::Horizontal;
    int frame_ = 0;
    QSize shownSize_;
    bool paused_ = false;
    bool stale_ = true; // the document changed while hidden
};

} // namespace kelvaro
