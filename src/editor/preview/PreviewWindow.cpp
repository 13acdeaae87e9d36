#include "editor/preview/PreviewWindow.h"

#include "document/EditorDocument.h"

#include <QComboBox>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>

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
        resize(shownSize_.width() + 2 * kMargin, shownSize_.height() + FrameTop() + kMargin);
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
    // Full size when it fits; otherwise scaled down to fit, keeping its proportions.
    QSize shown = frame.size();
    if (shown.width() > area.width() || shown.height() > area.height())
        shown.scale(area.size().expandedTo(QSize(1, 1)), Qt::KeepAspectRatio);
    const QRect target(area.x() + (area.width() - shown.width()) / 2,
                       area.y() + (area.height() - shown.height()) / 2, shown.width(),
                       shown.height());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, shown != frame.size());
    painter.drawImage(target, frame);
}

} // namespace kelvaro
