#include "editor/preview/PreviewWindow.h"

#include "document/EditorDocument.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QSpinBox>

#include <algorithm>

namespace kelvaro {

namespace {

constexpr int kMargin = 8;

} // namespace

PreviewWindow::PreviewWindow(const EditorDocument& document, QWidget* parent)
    : QWidget(parent, Qt::Window), document_(document) {
    setWindowTitle(tr("プレビュー"));
    // The direction switch first, then the motion, two rows of labelled controls.
    controls_ = new QWidget(this);
    auto* grid = new QGridLayout(controls_);
    grid->setContentsMargins(0, 0, 0, 0);
    directionBox_ = new QComboBox(controls_);
    directionBox_->addItems({tr("横揺れ"), tr("縦揺れ")});
    directionBox_->setObjectName(QStringLiteral("direction"));
    directionBox_->setToolTip(tr("揺れの方向"));
    framesBox_ = new QSpinBox(controls_);
    framesBox_->setObjectName(QStringLiteral("frames"));
    framesBox_->setRange(SwayOptions::MinFrames, SwayOptions::MaxFrames);
    framesBox_->setToolTip(tr("揺れ一周期のフレーム数 (%1 から %2)。多いほどなめらかです")
                               .arg(SwayOptions::MinFrames)
                               .arg(SwayOptions::MaxFrames));
    angleBox_ = new QDoubleSpinBox(controls_);
    angleBox_->setObjectName(QStringLiteral("angle"));
    angleBox_->setRange(SwayOptions::MinAngle, SwayOptions::MaxAngle);
    angleBox_->setDecimals(1);
    angleBox_->setSingleStep(0.5);
    angleBox_->setSuffix(tr("°"));
    angleBox_->setToolTip(tr("揺れのいちばん大きな角度 (%1 から %2 度)")
                              .arg(SwayOptions::MinAngle)
                              .arg(SwayOptions::MaxAngle));
    pivotBox_ = new QSpinBox(controls_);
    pivotBox_->setObjectName(QStringLiteral("pivot"));
    pivotBox_->setRange(SwayOptions::MinPivot, SwayOptions::MaxPivot);
    pivotBox_->setToolTip(tr("動かない段: 0 (赤、いちばん手前) から 7 (紫、基準の段)。"
                             "それより手前の段と奥の段は逆の向きに動きます"));
    delayBox_ = new QSpinBox(controls_);
    delayBox_->setObjectName(QStringLiteral("delay"));
    delayBox_->setRange(SwayOptions::MinDelayMs, SwayOptions::MaxDelayMs);
    delayBox_->setSingleStep(10);
    delayBox_->setSuffix(tr(" ms"));
    delayBox_->setToolTip(tr("各フレームを表示する時間 (%1 から %2 ミリ秒、GIF では 10 ミリ秒単位)")
                              .arg(SwayOptions::MinDelayMs)
                              .arg(SwayOptions::MaxDelayMs));
    holeFillBox_ = new QComboBox(controls_);
    holeFillBox_->setObjectName(QStringLiteral("holeFill"));
    holeFillBox_->addItems({tr("前の画素"), tr("奥の画素")});
    holeFillBox_->setToolTip(tr("段が動いて空いた所を埋める色。奥の画素で埋めると、"
                                "浮いた部分の縁がにじみません"));
    // Typed values count once complete (Enter or leaving the box), not at every digit.
    for (QAbstractSpinBox* box :
         std::initializer_list<QAbstractSpinBox*>{framesBox_, angleBox_, pivotBox_, delayBox_})
        box->setKeyboardTracking(false);
    const auto labelled = [&](int row, int column, const QString& text, QWidget* control) {
        auto* label = new QLabel(text, controls_);
        label->setBuddy(control);
        label->setToolTip(control->toolTip());
        grid->addWidget(label, row, column);
        grid->addWidget(control, row, column + 1);
    };
    labelled(0, 0, tr("方向"), directionBox_);
    labelled(0, 2, tr("フレーム数"), framesBox_);
    labelled(0, 4, tr("角度"), angleBox_);
    labelled(1, 0, tr("動かない段"), pivotBox_);
    labelled(1, 2, tr("間隔"), delayBox_);
    labelled(1, 4, tr("隙間"), holeFillBox_);
    ShowOptions();
    controls_->move(kMargin, kMargin);
    controls_->adjustSize();
    hint_ = new QLabel(tr("画像を開くとプレビューが表示されます"), this);
    hint_->setAlignment(Qt::AlignCenter);
    hint_->setWordWrap(true);
    // Never narrower than the controls, nor lower than the controls over a frame of a few rows.
    setMinimumSize(controls_->geometry().right() + 1 + kMargin, FrameTop() + 4 * kMargin);
    resize(320, 240);

    connect(directionBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetDirection(SwayDirection(index)); });
    connect(framesBox_, &QSpinBox::valueChanged, this, &PreviewWindow::OnControlChanged);
    connect(angleBox_, &QDoubleSpinBox::valueChanged, this, &PreviewWindow::OnControlChanged);
    connect(pivotBox_, &QSpinBox::valueChanged, this, &PreviewWindow::OnControlChanged);
    connect(delayBox_, &QSpinBox::valueChanged, this, &PreviewWindow::OnControlChanged);
    connect(holeFillBox_, &QComboBox::currentIndexChanged, this, &PreviewWindow::OnControlChanged);
    connect(&document_, &EditorDocument::changed, this, &PreviewWindow::OnDocumentChanged);
    connect(&renderer_, &PreviewRenderer::framesReady, this, &PreviewWindow::OnFramesReady);
    connect(&renderer_, &PreviewRenderer::liveFrameReady, this, &PreviewWindow::OnLiveFrameReady);
    timer_.setInterval(options_.delayMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % options_.frames;
        if (document_.isStroking())
            FollowStroke();
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
    const QRect controlsRect = controlsSource_ ? controlsSource_() : editor->childrenRect();
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

void PreviewWindow::SetOptions(const SwayOptions& options) {
    const SwayOptions clamped = ClampedSwayOptions(options);
    if (clamped == options_)
        return;
    SwayOptions sameDelay = options_;
    sameDelay.delayMs = clamped.delayMs;
    options_ = clamped;
    ShowOptions();
    frame_ %= options_.frames;
    timer_.setInterval(options_.delayMs);
    // The delay changes only the timing, not the frames.
    if (!(sameDelay == clamped))
        Rerender();
}

void PreviewWindow::ShowOptions() {
    const QSignalBlocker blockFrames(framesBox_), blockAngle(angleBox_), blockPivot(pivotBox_),
        blockDelay(delayBox_), blockFill(holeFillBox_);
    framesBox_->setValue(options_.frames);
    angleBox_->setValue(options_.angle);
    pivotBox_->setValue(options_.pivot);
    delayBox_->setValue(options_.delayMs);
    holeFillBox_->setCurrentIndex(options_.holeFill == HoleFill::Far ? 1 : 0);
}

void PreviewWindow::OnControlChanged() {
    SwayOptions options;
    options.frames = framesBox_->value();
    options.angle = angleBox_->value();
    options.pivot = pivotBox_->value();
    options.delayMs = delayBox_->value();
    options.holeFill = holeFillBox_->currentIndex() == 1 ? HoleFill::Far : HoleFill::Previous;
    SetOptions(options);
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

void PreviewWindow::OnDocumentChanged() {
    if (document_.isStroking())
        FollowStroke();
    else
        Rerender();
}

// One frame, not the cycle, so that it is ready within a few milliseconds; and a snapshot only
// when the worker is free, so that moves faster than frames render cost the stroke nothing but a
// flag (a snapshot held by a render makes the next change of the map copy it).
void PreviewWindow::FollowStroke() {
    if (!isVisible() || paused_)
        return; // the stroke's end renders the cycle (or marks it due, hidden)
    following_ = true;
    if (renderer_.isRendering()) {
        liveDue_ = true;
        return;
    }
    liveDue_ = false;
    renderer_.RequestFrame(document_.picture(), document_.depthMap(), direction_, options_, frame_,
                           shownFrame());
}

void PreviewWindow::OnLiveFrameReady() {
    update(FrameRect());
    if (liveDue_ && document_.isStroking())
        FollowStroke();
}

const QImage& PreviewWindow::shownFrame() const {
    static const QImage none;
    const QImage& live = renderer_.liveFrame();
    if (following_ && !live.isNull())
        return live;
    const std::vector<QImage>& frames = renderer_.frames();
    return frames.empty() ? none : frames[size_t(frame_ % int(frames.size()))];
}

void PreviewWindow::Rerender() {
    if (!isVisible()) {
        stale_ = true; // rendered when shown
        return;
    }
    stale_ = false;
    renderer_.Request(document_.picture(), document_.depthMap(), direction_, options_);
}

void PreviewWindow::OnFramesReady() {
    // The cycle of the map after the stroke (a cycle of before it still waits for the stroke).
    if (document_.isStroking()) {
        if (liveDue_)
            FollowStroke();
    } else {
        following_ = false;
    }
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
    return controls_->geometry().bottom() + 1 + kMargin;
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
    const QImage& frame = shownFrame();
    if (frame.isNull())
        return;
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
