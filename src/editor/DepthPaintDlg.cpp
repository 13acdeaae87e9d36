#include "editor/DepthPaintDlg.h"

#include "depth/Painting.h"
#include "ui/DialogUnits.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

// The icons are compiled into this static library; register them before first use.
static void InitEditorResources() {
    Q_INIT_RESOURCE(kelvaro);
}

namespace kelvaro {

namespace {

// Icons of the tool buttons: normal and selected twin, by tool.
const char* const NormalToolIcon[kToolCount] = {":/icons/130.png", ":/icons/131.png",
                                                ":/icons/136.png", ":/icons/138.png"};
const char* const SelectedToolIcon[kToolCount] = {":/icons/132.png", ":/icons/133.png",
                                                  ":/icons/137.png", ":/icons/139.png"};
// The tools, in button order.
constexpr int kTools[] = {int(PaintTool::Pen), int(PaintTool::Eraser), int(PaintTool::Fill),
                          int(PaintTool::Gradient)};

} // namespace

CDepthPaintDlg::CDepthPaintDlg(Prompts& prompts, QWidget* parent)
    : QDialog(parent), prompts_(prompts) {
    InitEditorResources();
    m_hIcon = QIcon(QStringLiteral(":/icons/128.png"));
    // A close box and a maximise box, no minimise box; the user may resize the window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMaximizeButtonHint);
    setFont(DialogFont());
    setWindowTitle(QStringLiteral("Kelvaro ver.4"));
    setWindowIcon(m_hIcon);
    tools_ = MakeTools();
    for (const std::unique_ptr<Tool>& tool : tools_)
        if (auto* fill = dynamic_cast<FillTool*>(tool.get()))
            fillTool_ = fill;
    CreateControls();
    canvas_ = new CanvasView(document_, this);
    canvas_->setObjectName(QStringLiteral("canvas"));
    canvas_->setCentreLift(layout::CanvasAreaTop - layout::CanvasCentreTop);
    canvas_->setToolSource([this]() -> Tool& { return currentTool(); });
    canvas_->setPressWidthSource(
        [this] { return PenWidthForThickness(thickness_->currentIndex()); });
    // The width is read once, at the press that starts a stroke.
    connect(canvas_, &CanvasView::pressing, this, [this] {
        UpdateData(true);
        document_.setPenWidth(PenWidthForThickness(m_nThickness));
    });
    // The pointer's line follows a moving pointer a few times a second, not at every move: laying
    // out its text costs more than the move's repaint.
    statusTimer_ = new QTimer(this);
    statusTimer_->setSingleShot(true);
    statusTimer_->setInterval(40);
    connect(statusTimer_, &QTimer::timeout, this, &CDepthPaintDlg::UpdateStatus);
    connect(canvas_, &CanvasView::pointerMoved, this, [this] {
        if (!statusTimer_->isActive())
            statusTimer_->start();
    });
    connect(canvas_, &CanvasView::zoomChanged, this, &CDepthPaintDlg::UpdateStatus);
    status_ = new QStatusBar(this);
    status_->setObjectName(QStringLiteral("status"));
    pointerStatus_ = new QLabel(status_);
    zoomStatus_ = new QLabel(status_);
    pictureStatus_ = new QLabel(status_);
    status_->addWidget(pointerStatus_, 1);
    status_->addPermanentWidget(zoomStatus_);
    status_->addPermanentWidget(pictureStatus_);
    UpdateData(false);
    SetOuterSize(layout::StartOuterSize);
    CentreOnScreen();
    ObserveDocument();
    preview_ = std::make_unique<PreviewWindow>(document_, this);
    document_.setPenWidth(PenWidthForThickness(m_nThickness));
    UpdateToolIcons();
    CreateActions();
    InstallCommandHandlers();
    setAcceptDrops(true);
    thickness_->installEventFilter(this);
    fillMode_->installEventFilter(this);
    // The outline shows the width the next press takes.
    connect(thickness_, &QComboBox::currentIndexChanged, canvas_, &CanvasView::RefreshPointer);
    preview_->setControlsSource([this] { return ControlRowRect(); });
    UpdateStatus();
}

CDepthPaintDlg::~CDepthPaintDlg() = default;

void CDepthPaintDlg::CreateControls() {
    const auto DuRect = [](int x, int y, int w, int h) {
        return DialogUnitsToPixels(QRect(x, y, w, h));
    };
    const auto button = [this](int id, const QString& text, QRect r) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(ControlName(id));
        b->setAutoDefault(false); // Enter on a focused button must not press it
        b->setGeometry(r);
        return b;
    };
    const auto label = [this](int id, const QString& text, QRect r) {
        auto* l = new QLabel(text, this);
        if (id > 0)
            l->setObjectName(ControlName(id));
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setGeometry(r);
        return l;
    };
    const auto check = [this](int id, const QString& text, QRect r) {
        auto* c = new QCheckBox(text, this);
        c->setObjectName(ControlName(id));
        c->setGeometry(r);
        return c;
    };

    // Created in tab order.
    menuButton_ = button(ctrl::Menu, tr("メニュー"), DuRect(7, 7, 35, 14));
    toolButtons_[int(PaintTool::Pen)] = button(ctrl::Pen, QString(), DuRect(52, 7, 15, 14));
    toolButtons_[int(PaintTool::Eraser)] = button(ctrl::Eraser, QString(), DuRect(67, 7, 15, 14));
    toolButtons_[int(PaintTool::Fill)] = button(ctrl::Fill, QString(), DuRect(81, 7, 15, 14));
    label(-1, tr("太さ"), DuRect(101, 9, 15, 8));
    thickness_ = new QComboBox(this);
    thickness_->setObjectName(ControlName(ctrl::Thickness));
    thickness_->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4"),
                          QStringLiteral("8"), QStringLiteral("16"), QStringLiteral("32")});
    // The template's 130 units of height are the dropped list's; the closed box is a button high.
    thickness_->setGeometry(DuRect(116, 7, 25, 14));
    label(ctrl::RaisedLabel, tr("凸"), DuRect(147, 9, 8, 8));
    label(ctrl::SunkenLabel, tr("凹"), DuRect(239, 9, 8, 8));
    showDepth_ = check(ctrl::ShowDepth, tr("立体情報"), DuRect(251, 8, 40, 10));
    showPicture_ = check(ctrl::ShowPicture, tr("画像"), DuRect(292, 8, 27, 10));
    QPushButton* undo = button(ctrl::Undo, tr("戻す"), DuRect(318, 5, 21, 14));
    QPushButton* redo = button(ctrl::Redo, tr("やり直す"), DuRect(339, 5, 31, 14));

    CreateOptionRow();

    for (int tool : kTools) {
        QPushButton* b = toolButtons_[tool];
        b->setFlat(true);
        b->setIconSize(QSize(32, 32));
    }
    connect(menuButton_, &QPushButton::clicked, this, &CDepthPaintDlg::ShowPopupMenu);
    // clicked, not toggled: UpdateData(false) sets the boxes without running these.
    connect(showDepth_, &QCheckBox::clicked, this, &CDepthPaintDlg::OnShowDepthClicked);
    connect(showPicture_, &QCheckBox::clicked, this, &CDepthPaintDlg::OnShowPictureClicked);
    // Undo and redo work from the buttons even without a picture (they find nothing to do), so
    // the buttons call the commands, not the actions greyed then.
    connect(undo, &QPushButton::clicked, this, &CDepthPaintDlg::OnUndo);
    connect(redo, &QPushButton::clicked, this, &CDepthPaintDlg::OnRedo);
}

// The second row, below the first: the gradient tool under the pen, then the fill's mode and
// tolerance, the protection switch and the snap. Each control takes the width its text needs in
// the language shown, one after the other.
void CDepthPaintDlg::CreateOptionRow() {
    const int top = DialogUnitsToPixelsY(23);
    const int height = DialogUnitsToPixelsY(23 + 14) - top;
    int x = DialogUnitsToPixelsX(52);
    const auto place = [&](QWidget* w, int id, int width, int gapAfter) {
        w->setObjectName(ControlName(id));
        const int h = qobject_cast<QLabel*>(w) ? w->sizeHint().height() : height;
        w->setGeometry(x, top + (height - h) / 2, width, h);
        x += width + gapAfter;
    };
    auto* gradient = new QPushButton(this);
    gradient->setAutoDefault(false);
    place(gradient, ctrl::Gradient, DialogUnitsToPixelsX(67) - x, 14);
    toolButtons_[int(PaintTool::Gradient)] = gradient;

    auto* modeLabel = new QLabel(tr("塗り方"), this);
    place(modeLabel, ctrl::FillModeLabel, modeLabel->sizeHint().width(), 4);
    fillMode_ = new QComboBox(this);
    fillMode_->addItems({tr("同じ色の部分"), tr("画像の色")});
    place(fillMode_, ctrl::FillMode, fillMode_->sizeHint().width(), 8);
    auto* toleranceLabel = new QLabel(tr("許容差"), this);
    place(toleranceLabel, ctrl::ToleranceLabel, toleranceLabel->sizeHint().width(), 4);
    tolerance_ = new QSpinBox(this);
    tolerance_->setRange(0, 255);
    tolerance_->setValue(document_.colourTolerance());
    place(tolerance_, ctrl::Tolerance, tolerance_->sizeHint().width(), 14);
    protect_ = new QCheckBox(tr("手前を保護"), this);
    place(protect_, ctrl::ProtectNearer, protect_->sizeHint().width(), 10);
    auto* snap = new QPushButton(tr("輪郭に合わせる"), this);
    snap->setAutoDefault(false);
    place(snap, ctrl::Snap, snap->sizeHint().width(), 0);

    connect(fillMode_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (fillTool_)
            fillTool_->setMode(index == 1 ? FillMode::PictureColour : FillMode::Region);
    });
    connect(tolerance_, &QSpinBox::valueChanged, &document_, &EditorDocument::setColourTolerance);
}

void CDepthPaintDlg::CentreOnScreen() {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    // The outer frame is centred on the desktop.
    const QRect desktop = s->geometry();
    const QSize outer = OuterSize();
    move(desktop.x() + (desktop.width() - outer.width()) / 2,
         desktop.y() + (desktop.height() - outer.height()) / 2);
}

void CDepthPaintDlg::SetOuterSize(QSize outer) {
    const QSize client =
        layout::OuterToClient(outer) + QSize(0, layout::OptionRowHeight + StatusLineHeight());
    setMinimumSize(client);
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        resize(client);
        // At once, not when the window system reports the new size: the canvas is placed in it.
        LayOut(client);
    }
}

int CDepthPaintDlg::StatusLineHeight() const {
    return status_->sizeHint().height();
}

// The canvas area fills the window below the row of controls; the status line is at the bottom.
void CDepthPaintDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayOut(event->size());
}

void CDepthPaintDlg::LayOut(QSize client) {
    const int statusHeight = StatusLineHeight();
    status_->setGeometry(0, client.height() - statusHeight, client.width(), statusHeight);
    canvas_->setGeometry(0, layout::CanvasAreaTop, client.width(),
                         std::max(0, client.height() - statusHeight - layout::CanvasAreaTop));
}

QRect CDepthPaintDlg::CanvasRect() const {
    if (!document_.hasPicture())
        return {};
    const QRect r = canvas_->canvasRect();
    return QRect(canvas_->viewport()->mapTo(this, r.topLeft()), r.size());
}

QRect CDepthPaintDlg::ControlRowRect() const {
    QRect row = PaletteRect;
    for (const QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child != canvas_ && child != status_ && !child->isWindow())
            row |= child->geometry();
    return row;
}

QWidget* CDepthPaintDlg::Control(int id) const {
    return findChild<QWidget*>(ControlName(id), Qt::FindDirectChildrenOnly);
}

void CDepthPaintDlg::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        m_nThickness = thickness_->currentIndex();
        m_bShowDepth = showDepth_->isChecked();
        m_bShowPicture = showPicture_->isChecked();
    } else {
        thickness_->setCurrentIndex(m_nThickness);
        showDepth_->setChecked(m_bShowDepth);
        showPicture_->setChecked(m_bShowPicture);
    }
}

void CDepthPaintDlg::UpdateToolIcons() {
    for (int tool : kTools) {
        const char* path =
            tool == int(document_.tool()) ? SelectedToolIcon[tool] : NormalToolIcon[tool];
        toolButtons_[tool]->setIcon(QIcon(QString::fromLatin1(path)));
    }
}

void CDepthPaintDlg::SelectTool(int tool) {
    document_.setTool(PaintTool(tool));
}

Tool& CDepthPaintDlg::currentTool() const {
    for (const std::unique_ptr<Tool>& tool : tools_)
        if (tool->kind() == document_.tool())
            return *tool;
    return *tools_.front();
}

void CDepthPaintDlg::SetCommandHandler(int id, std::function<void()> handler) {
    if (handler)
        handlers_[id] = std::move(handler);
    else
        handlers_.erase(id);
}

void CDepthPaintDlg::RunHandler(int id) {
    const auto it = handlers_.find(id);
    if (it != handlers_.end())
        it->second();
}

void CDepthPaintDlg::SetView(int view) {
    canvas_->setView(view);
    UpdateActions();
}

// A view switch from the menu sets both check boxes from the canvas's view bits. The exchange
// writes all three bound values, so the thickness list also goes back to the last thickness read.
void CDepthPaintDlg::ToggleView(int bit) {
    const int view = canvas_->view() ^ bit;
    m_bShowDepth = (view & ViewDepth) != 0;
    m_bShowPicture = (view & ViewPicture) != 0;
    UpdateData(false);
    SetView(view);
}

void CDepthPaintDlg::OnShowDepthClicked() {
    UpdateData(true);
    const int view = canvas_->view();
    SetView(m_bShowDepth ? (view | ViewDepth) : (view & ViewPicture));
}

void CDepthPaintDlg::OnShowPictureClicked() {
    UpdateData(true);
    const int view = canvas_->view();
    SetView(m_bShowPicture ? (view | ViewPicture) : (view & ViewDepth));
}

void CDepthPaintDlg::SendProgressCommand(int command) {
    if (!progressSink_)
        return;
    if (QThread::currentThread() == thread()) {
        progressSink_(command);
        return;
    }
    // The GUI thread is in RunBusy's event loop and runs this before the caller continues.
    QMetaObject::invokeMethod(
        this, [this, command] { progressSink_(command); }, Qt::BlockingQueuedConnection);
}

void CDepthPaintDlg::RunBusy(const std::function<void()>& work) {
    // Restored however the work ends, so the window can always be closed afterwards.
    struct BusyGuard {
        bool& flag;
        const bool was = flag;
        explicit BusyGuard(bool& f) : flag(f) { flag = true; }
        ~BusyGuard() { flag = was; }
    } guard(busy_);
    QEventLoop loop;
    QFutureWatcher<void> watcher;
    connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run(work));
    // If the work ended before exec, the watcher's queued finished still ends the loop.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    watcher.waitForFinished();
}

// Every way of ending the editor ("終了", the close box, Alt+F4, Escape) comes here.
void CDepthPaintDlg::done(int result) {
    if (!MayGiveUpDepthMap())
        return;
    preview_->Shutdown();
    ReleaseCanvas();
    QDialog::done(result);
}

void CDepthPaintDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (const QWidget* raised = Control(ctrl::RaisedLabel))
        DrawPaletteBar(painter, raised->geometry(), document_.level(), PaletteRect);
}

void CDepthPaintDlg::closeEvent(QCloseEvent* event) {
    if (busy_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace kelvaro
