#include "editor/preview/PreviewWindow.h"

#include "document/EditorDocument.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace kelvaro {

namespace {

constexpr int kMargin = 8;

} // namespace

PreviewWindow::PreviewWindow(const EditorDocument& document, QWidget* parent)
    : QWidget(parent, Qt::Window), document_(document) {
    setWindowTitle(tr("プレビュー"));
    directionBox_ = new QComboBox(this);
    directionBox_->addItems({tr("横揺れ"), tr("縦揺れ")});
    directionBox_->move(kMargin, kMargin);
    directionBox_->adjustSize();
    hint_ = new QLabel(tr("画像を開くとプレビューが表示されます"), this);
    hint_->setAlignment(Qt::AlignCenter);
    hint_->setWordWrap(true);
    // Never narrower than the controls, nor lower than the controls over a frame of a few rows.
    setMinimumSize(directionBox_->geometry().right() + 1 + kMargin, FrameTop() + 4 * kMargin);
    resize(320, 240);

    connect(directionBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetDirection(SwayDirection(index)); });
    connect(&document_, &EditorDocument::changed, this, &PreviewWindow::OnDocumentChanged);
    connect(&renderer_, &PreviewRenderer::framesReady, this, &PreviewWindow::OnFramesReady);
    timer_.setInterval(FrameInterval);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % FrameCount;
        update(FrameRect());
    });
}

int PreviewWindow::Zoom(QSize frame) {
    const int longer = std::max(frame.width(), frame.height());
    if (longer <= 0 || longer >= SmallestShownSide)
        return 1;
    return (SmallestShownSide + longer - 1) / longer;
}

QPoint PreviewWindow::PlaceBeside(const QRect& editor, const QRect& controls, QSize size,
                                  const QRect& screen) {
    const int roomRight = screen.right() - editor.right() - EditorGap;
    const int roomLeft = editor.left() - screen.left() - EditorGap;
    int x = 0;
    if (roomRight >= size.width())
        x = editor.right() + 1 + EditorGap;
    else if (roomLeft >= size.width())
        x = editor.left() - EditorGap - size.width();
    else if (roomRight >= roomLeft)
        x = std::max(screen.left(), screen.right() + 1 - size.width());
    else
        x = screen.left();
    int y = std::max(screen.top(), std::min(editor.top(), screen.bottom() + 1 - size.height()));
    if (QRect(QPoint(x, y), size).intersects(controls))
        y = controls.bottom() + 1 + EditorGap;
    return {x, y};
}

void PreviewWindow::PlaceBesideEditor() {
    const QWidget* editor = parentWidget() ? parentWidget()->window() : nullptr;
    if (!editor)
        return;
    const QScreen* screen = editor->screen() ? editor->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The editor's controls are its child widgets; its canvas is painted, not a widget.
    const QRect controlsRect = editor->childrenRect();
    const QRect controls(editor->mapToGlobal(controlsRect.topLeft()), controlsRect.size());
    // The frame around this window, as far as the window system has said (none before the
    // first show).
    const QSize frameExtra = frameGeometry().size() - size();
    const QPoint outer = PlaceBeside(editor->frameGeometry(), controls, size() + frameExtra,
                                     screen->availableGeometry());
    move(outer);
    placedAt_ = pos();
}

void PreviewWindow::SetDirection(SwayDirection direction) {
    if (direction == direction_)
        return;
    direction_ = direction;
    directionBox_->setCurrentIndex(int(direction));
    Rerender();
}

void PreviewWindow::SetPaused(bool paused) {
    paused_ = paused;
    renderer_.SetPaused(paused);
    UpdateTimer();
}

void PreviewWindow::Shutdown() {
    hide();
    renderer_.Stop();
}

// Strokes are previewed when they end: rendering at every move would only keep a core busy with
// frames that the next move makes stale.
void PreviewWindow::OnDocumentChanged() {
    if (!document_.isStroking())
        Rerender();
}

void PreviewWindow::Rerender() {
    if (!isVisible()) {
        stale_ = true; // rendered when shown
        return;
    }
    stale_ = false;
    renderer_.Request(document_.picture(), document_.depthMap(), direction_);
}

void PreviewWindow::OnFramesReady() {
    const std::vector<QImage>& frames = renderer_.frames();
    hint_->setVisible(frames.empty());
    // A new picture size: the window offers the picture at full size again.
    if (!frames.empty() && frames.front().size() != shownSize_) {
        shownSize_ = frames.front().size();
        const QSize shown = shownSize_ * Zoom(shownSize_);
        resize(QSize(shown.width() + 2 * kMargin, shown.height() + FrameTop() + kMargin)
                   .expandedTo(minimumSize()));
        // Still where it opened: placed again for its new size, so it stays beside the editor.
        if (placedAt_ && pos() == *placedAt_)
            PlaceBesideEditor();
    }
    UpdateTimer();
    update(FrameRect());
}

void PreviewWindow::UpdateTimer() {
    if (isVisible() && !paused_ && !renderer_.frames().empty())
        timer_.start();
    else
        timer_.stop();
}

int PreviewWindow::FrameTop() const {
    return directionBox_->geometry().bottom() + 1 + kMargin;
}

QRect PreviewWindow::FrameRect() const {
    return QRect(kMargin, FrameTop(), width() - 2 * kMargin, height() - FrameTop() - kMargin);
}

void PreviewWindow::showEvent(QShowEvent* event) {
    // The first time it opens; afterwards it opens where the user left it.
    if (!placedAt_)
        PlaceBesideEditor();
    QWidget::showEvent(event);
    if (stale_)
        Rerender();
    UpdateTimer();
    emit visibilityChanged(true);
}

void PreviewWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    UpdateTimer();
    emit visibilityChanged(false);
}

void PreviewWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    hint_->setGeometry(FrameRect());
}

void PreviewWindow::paintEvent(QPaintEvent*) {
    const std::vector<QImage>& frames = renderer_.frames();
    if (frames.empty())
        return;
    const QImage& frame = frames[size_t(frame_ % int(frames.size()))];
    const QRect area = FrameRect();
    // Full size (a small picture enlarged by its whole factor) when it fits; otherwise scaled
    // down to fit, keeping its proportions.
    QSize shown = frame.size() * Zoom(frame.size());
    if (shown.width() > area.width() || shown.height() > area.height())
        shown.scale(area.size().expandedTo(QSize(1, 1)), Qt::KeepAspectRatio);
    const QRect target(area.x() + (area.width() - shown.width()) / 2,
                       area.y() + (area.height() - shown.height()) / 2, shown.width(),
                       shown.height());
    QPainter painter(this);
    // Enlarged by a whole factor, a pixel stays a sharp square; any other scale is smoothed.
    const bool whole = shown.width() % frame.width() == 0 && shown.height() % frame.height() == 0 &&
                       shown.width() / frame.width() == shown.height() / frame.height();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !whole);
    painter.drawImage(target, frame);
}

} // namespace kelvaro
