// The editor's commands as shared actions: the popup menu, the buttons and the keyboard all
// trigger the same QAction, and every action runs through OnCommand.
#include "editor/DepthPaintDlg.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolTip>

#include <algorithm>

namespace kelvaro {

namespace {

// The commands that need a picture; greyed (and their shortcuts off) without one.
constexpr int kNeedPicture[] = {
    cmd::Undo,          cmd::Redo,           cmd::Clear,          cmd::ToggleDepth,
    cmd::TogglePicture, cmd::ToggleFaint,    cmd::SaveDepth,      cmd::LoadDepth,
    cmd::LoadGreyDepth, cmd::GenerateGif,    cmd::SnapToEdges,    cmd::ZoomIn,
    cmd::ZoomOut,       cmd::ZoomActual,     cmd::ZoomFit,        cmd::ViewInterleaved,
    cmd::ViewOverlay,   cmd::OverlayFainter, cmd::OverlayStronger};

// The names of the levels, as the palette's tooltip says them.
const char* const kLevelNames[kLevelCount] = {
    QT_TRANSLATE_NOOP("kelvaro::CDepthPaintDlg", "赤 (最も手前)"),
    QT_TRANSLATE_NOOP("kelvaro::CDepthPaintDlg", "橙"),
    QT_TRANSLATE_NOOP("kelvaro::CDepthPaintDlg", "黄"),
    QT_TRANSLATE_NOOP("kelvaro::CDepthPaintDlg", "黄緑"),
    QT_TRANSLATE_NOOP("kelvaro::CDepthPaintDlg", "緑"),
    QT_TRANSLATE_NOOP("kelvaro::CDepthPaintDlg", "水色"),
    QT_TRANSLATE_NOOP("kelvaro::CDepthPaintDlg", "青"),
    QT_TRANSLATE_NOOP("kelvaro::CDepthPaintDlg", "紫 (基準)"),
    QT_TRANSLATE_NOOP("kelvaro::CDepthPaintDlg", "黒 (固定)"),
};

QString ShortcutText(const QAction* action) {
    return action->shortcut().toString(QKeySequence::NativeText);
}

} // namespace

void CDepthPaintDlg::AddAction(int id, const QString& text, const QList<QKeySequence>& shortcuts) {
    auto* a = new QAction(text, this);
    a->setData(id);
    a->setObjectName(CommandName(id));
    a->setShortcuts(shortcuts);
    a->setShortcutVisibleInContextMenu(true);
    // Window-wide: the shortcut works whichever control of this window has the focus.
    a->setShortcutContext(Qt::WindowShortcut);
    connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
    addAction(a);
    actions_[id] = a;
}

void CDepthPaintDlg::CreateActions() {
    const auto key = [](const char* text) {
        return QKeySequence(QString::fromLatin1(text));
    };
    AddAction(cmd::OpenPicture, tr("画像を開く..."), {QKeySequence::Open});
    AddAction(cmd::Undo, tr("元に戻す"), {key("Ctrl+Z")});
    AddAction(cmd::Redo, tr("やり直す"), {key("Ctrl+Y"), key("Ctrl+Shift+Z")});
    AddAction(cmd::Clear, tr("クリア..."));
    AddAction(cmd::ToggleDepth, tr("立体情報"));
    AddAction(cmd::TogglePicture, tr("画像"));
    AddAction(cmd::ToggleFaint, tr("立体情報の色を薄く表示"));
    AddAction(cmd::SaveDepth, tr("保存..."), {key("Ctrl+S")});
    AddAction(cmd::LoadDepth, tr("読み込み..."), {key("Ctrl+Shift+O")});
    AddAction(cmd::LoadGreyDepth, tr("グレースケール画像から読み込む..."));
    AddAction(cmd::GenerateGif, tr("GIFを生成"), {key("Ctrl+G")});
    AddAction(cmd::Preview, tr("プレビュー"));
    AddAction(cmd::Exit, tr("終了"), {key("Ctrl+Q")});
    // Ctrl+= zooms in too: on many keyboards + is Shift+=.
    AddAction(cmd::ZoomIn, tr("拡大"), {QKeySequence::ZoomIn, key("Ctrl+=")});
    AddAction(cmd::ZoomOut, tr("縮小"), {QKeySequence::ZoomOut});
    AddAction(cmd::ZoomActual, tr("等倍 (100 %)"), {key("Ctrl+0")});
    AddAction(cmd::ZoomFit, tr("ウィンドウに合わせる"));
    AddAction(cmd::SelectPen, tr("ペン"), {key("B")});
    AddAction(cmd::SelectEraser, tr("消しゴム"), {key("E")});
    AddAction(cmd::SelectFill, tr("塗りつぶし"), {key("F")});
    AddAction(cmd::SelectGradient, tr("グラデーション"), {key("G")});
    AddAction(cmd::ToggleProtect, tr("手前を保護"), {key("P")});
    AddAction(cmd::SnapToEdges, tr("輪郭に合わせる"));
    AddAction(cmd::ViewInterleaved, tr("画像と交互に表示"));
    AddAction(cmd::ViewOverlay, tr("画像に重ねて表示"));
    AddAction(cmd::OverlayFainter, tr("重ねる色を薄く"), {key("Ctrl+[")});
    AddAction(cmd::OverlayStronger, tr("重ねる色を濃く"), {key("Ctrl+]")});
    for (int step = 0; step <= 10; ++step) {
        AddAction(cmd::OverlayPercent0 + step, QStringLiteral("%1 %").arg(step * 10));
        actions_[cmd::OverlayPercent0 + step]->setCheckable(true);
    }
    AddAction(cmd::Thinner, tr("細く"), {key("[")});
    AddAction(cmd::Thicker, tr("太く"), {key("]")});
    for (int level = 0; level < kLevelCount; ++level)
        AddAction(cmd::SelectLevel0 + level, tr(kLevelNames[level]),
                  {QKeySequence(Qt::Key_0 + level)});
    for (int id : {cmd::ToggleDepth, cmd::TogglePicture, cmd::ToggleFaint, cmd::Preview,
                   cmd::ToggleProtect, cmd::ViewInterleaved, cmd::ViewOverlay})
        actions_[id]->setCheckable(true);

    // The buttons trigger the same actions; their tooltips name the command and its key.
    const auto wire = [this](int control, int command) {
        auto* b = qobject_cast<QPushButton*>(Control(control));
        connect(b, &QPushButton::clicked, actions_[command], &QAction::trigger);
    };
    wire(ctrl::Pen, cmd::SelectPen);
    wire(ctrl::Eraser, cmd::SelectEraser);
    wire(ctrl::Fill, cmd::SelectFill);
    wire(ctrl::Gradient, cmd::SelectGradient);
    wire(ctrl::Snap, cmd::SnapToEdges);
    // The box shows the document's switch (ShowBrush); a click asks the action to turn it.
    connect(protect_, &QCheckBox::clicked, actions_[cmd::ToggleProtect], &QAction::trigger);
    const auto tip = [this](int control, const QString& text) {
        Control(control)->setToolTip(text);
    };
    tip(ctrl::Menu, tr("メニュー: 画像・立体情報のファイル、表示、GIFの生成"));
    tip(ctrl::Pen, tr("ペン: 選んだ段の色で描く (%1)").arg(ShortcutText(Action(cmd::SelectPen))));
    tip(ctrl::Eraser,
        tr("消しゴム: 基準の段 (紫) に戻す (%1)").arg(ShortcutText(Action(cmd::SelectEraser))));
    tip(ctrl::Fill, tr("塗りつぶし: 同じ色の続いた部分を選んだ段の色にする (%1)")
                        .arg(ShortcutText(Action(cmd::SelectFill))));
    tip(ctrl::Gradient, tr("グラデーション: ドラッグの始点の段から終点の基準の段 (紫) まで、"
                           "同じ色の続いた部分を段階的に塗る (%1)")
                            .arg(ShortcutText(Action(cmd::SelectGradient))));
    const QString fillMode =
        tr("塗り方: 塗りつぶしが広がる範囲。「同じ色の部分」は立体情報の同じ色、「画像の色」は"
           "画像の色が許容差までの部分 (Shift+クリックで一回だけ画像の色)");
    tip(ctrl::FillModeLabel, fillMode);
    tip(ctrl::FillMode, fillMode);
    const QString tolerance =
        tr("許容差: 画像の色で塗りつぶすとき、赤・緑・青それぞれが押した点の色とこの値まで"
           "違う画素に広がる (0〜255)");
    tip(ctrl::ToleranceLabel, tolerance);
    tip(ctrl::Tolerance, tolerance);
    tip(ctrl::ProtectNearer,
        tr("手前を保護: ペン、塗りつぶし、グラデーション、輪郭合わせが、塗る段より手前の段を"
           "塗りつぶさない。消しゴムは対象外 (%1)")
            .arg(ShortcutText(Action(cmd::ToggleProtect))));
    tip(ctrl::Snap, tr("輪郭に合わせる: 段の境目を近くの画像の輪郭へ動かす (%1 px 以内)")
                        .arg(kDefaultSnapRadius));
    tip(ctrl::Thickness,
        tr("太さ: ペンと消しゴムの幅 (%1 で細く、%2 で太く)")
            .arg(ShortcutText(Action(cmd::Thinner)), ShortcutText(Action(cmd::Thicker))));
    tip(ctrl::RaisedLabel, tr("凸: この側の段ほど手前に出る"));
    tip(ctrl::SunkenLabel, tr("凹: この側の段ほど奥に下がる"));
    tip(ctrl::ShowDepth, tr("立体情報: 段の色を表示する"));
    tip(ctrl::ShowPicture, tr("画像: 画像を表示する"));
    tip(ctrl::Undo, tr("戻す: 一つ前の状態に戻す (%1)").arg(ShortcutText(Action(cmd::Undo))));
    tip(ctrl::Redo, tr("やり直す: 戻した操作をやり直す (%1)").arg(ShortcutText(Action(cmd::Redo))));
    UpdateActions();
}

QAction* CDepthPaintDlg::Action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

// Enabling and check marks follow the state from here alone.
void CDepthPaintDlg::UpdateActions() {
    for (int id : kNeedPicture)
        actions_[id]->setEnabled(document_.hasPicture());
    actions_[cmd::ToggleDepth]->setChecked((canvas_->view() & ViewDepth) != 0);
    actions_[cmd::TogglePicture]->setChecked((canvas_->view() & ViewPicture) != 0);
    actions_[cmd::ToggleFaint]->setChecked(canvas_->faint());
    actions_[cmd::Preview]->setChecked(preview_ && preview_->isVisible());
    actions_[cmd::ToggleProtect]->setChecked(document_.protectNearer());
    actions_[cmd::ViewInterleaved]->setChecked(!canvas_->overlay());
    actions_[cmd::ViewOverlay]->setChecked(canvas_->overlay());
    for (int step = 0; step <= 10; ++step) {
        QAction* a = actions_[cmd::OverlayPercent0 + step];
        a->setChecked(step * 10 == canvas_->overlayPercent());
        a->setEnabled(document_.hasPicture());
    }
}

// The row's controls follow the document's brush, however it was changed.
void CDepthPaintDlg::ShowBrush() {
    protect_->setChecked(document_.protectNearer());
    if (Action(cmd::ToggleProtect))
        actions_[cmd::ToggleProtect]->setChecked(document_.protectNearer());
    const QSignalBlocker quiet(tolerance_);
    tolerance_->setValue(document_.colourTolerance());
}

std::unique_ptr<QMenu> CDepthPaintDlg::BuildPopupMenu() {
    UpdateActions();
    auto menu = std::make_unique<QMenu>(this);
    const auto items = [this](QMenu* m, std::initializer_list<int> ids) {
        for (int id : ids) {
            if (id == 0)
                m->addSeparator();
            else
                m->addAction(actions_[id]);
        }
    };
    items(menu.get(), {cmd::OpenPicture, 0, cmd::Undo, cmd::Redo, cmd::Clear});
    QMenu* view = menu->addMenu(tr("表示"));
    items(view, {cmd::ToggleDepth, cmd::TogglePicture, 0, cmd::ViewInterleaved, cmd::ViewOverlay});
    QMenu* opacity = view->addMenu(tr("重ねる濃さ"));
    items(opacity, {cmd::OverlayFainter, cmd::OverlayStronger, 0});
    for (int step = 0; step <= 10; ++step)
        opacity->addAction(actions_[cmd::OverlayPercent0 + step]);
    items(view, {0, cmd::ToggleFaint, 0, cmd::ZoomIn, cmd::ZoomOut, cmd::ZoomActual, cmd::ZoomFit});
    menu->addSeparator();
    items(menu->addMenu(tr("立体情報")),
          {cmd::SaveDepth, cmd::LoadDepth, cmd::LoadGreyDepth, 0, cmd::SnapToEdges});
    items(menu.get(), {0, cmd::GenerateGif, cmd::Preview, 0, cmd::Exit});
    return menu;
}

void CDepthPaintDlg::ShowPopupMenu() {
    // The chosen action has run (through its triggered signal) when exec returns.
    const std::unique_ptr<QMenu> menu = BuildPopupMenu();
    menu->exec(menuButton_->mapToGlobal(QPoint(0, menuButton_->height())));
}

void CDepthPaintDlg::OnCommand(int id) {
    if (id >= cmd::SelectLevel0 && id < cmd::SelectLevel0 + kLevelCount) {
        document_.setLevel(id - cmd::SelectLevel0);
        return;
    }
    // Choosing an opacity shows it: the overlay view comes on.
    if (id >= cmd::OverlayPercent0 && id <= cmd::OverlayPercent0 + 10) {
        ShowOverlay(true, (id - cmd::OverlayPercent0) * 10);
        return;
    }
    switch (id) {
    case cmd::ToggleDepth:
        ToggleView(ViewDepth);
        break;
    case cmd::TogglePicture:
        ToggleView(ViewPicture);
        break;
    case cmd::ViewInterleaved:
        ShowOverlay(false, canvas_->overlayPercent());
        break;
    case cmd::ViewOverlay:
        ShowOverlay(true, canvas_->overlayPercent());
        break;
    case cmd::OverlayFainter:
        ShowOverlay(true, canvas_->overlayPercent() - 10);
        break;
    case cmd::OverlayStronger:
        ShowOverlay(true, canvas_->overlayPercent() + 10);
        break;
    case cmd::ToggleFaint:
        canvas_->setFaint(!canvas_->faint());
        UpdateActions();
        break;
    case cmd::ZoomIn:
        canvas_->ZoomIn();
        break;
    case cmd::ZoomOut:
        canvas_->ZoomOut();
        break;
    case cmd::ZoomActual:
        canvas_->ZoomActual();
        break;
    case cmd::ZoomFit:
        canvas_->ZoomToFit();
        break;
    case cmd::Preview:
        preview_->setVisible(!preview_->isVisible());
        UpdateActions();
        break;
    case cmd::Exit:
        done(0);
        break;
    case cmd::SelectPen:
        SelectTool(int(PaintTool::Pen));
        break;
    case cmd::SelectEraser:
        SelectTool(int(PaintTool::Eraser));
        break;
    case cmd::SelectFill:
        SelectTool(int(PaintTool::Fill));
        break;
    case cmd::SelectGradient:
        SelectTool(int(PaintTool::Gradient));
        break;
    case cmd::ToggleProtect:
        document_.setProtectNearer(!document_.protectNearer());
        break;
    case cmd::Thinner:
        StepThickness(-1);
        break;
    case cmd::Thicker:
        StepThickness(1);
        break;
    default:
        RunHandler(id);
        break;
    }
}

// The overlay view on or off at an opacity (the canvas keeps it within 0 to 100 %).
void CDepthPaintDlg::ShowOverlay(bool on, int percent) {
    canvas_->setOverlay(on, percent);
    UpdateActions();
}

// Moves the list's selection; like a choice in the list, the next stroke takes it.
void CDepthPaintDlg::StepThickness(int step) {
    thickness_->setCurrentIndex(std::clamp(thickness_->currentIndex() + step, 0, kMaxThickness));
}

// Single keys typed into the thickness and fill-mode lists are theirs (list items are chosen by
// typing), so the lists claim them before any shortcut; Ctrl shortcuts still reach their actions.
// The tolerance box claims its keys itself, as every spin box does.
bool CDepthPaintDlg::eventFilter(QObject* watched, QEvent* event) {
    const bool typed = watched == thickness_ || watched == fillMode_;
    if (typed && event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers chord =
            Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
        if (!(key->modifiers() & chord) && !key->text().isEmpty()) {
            event->accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// The editor is never ended or committed from the keyboard: Enter and Escape do nothing.
void CDepthPaintDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

// The palette bar's tooltip names the level under the pointer.
bool CDepthPaintDlg::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (const std::optional<DepthLevel> level = PaletteLevelAt(help->pos(), PaletteRect)) {
            QToolTip::showText(
                help->globalPos(),
                tr("段 %1: %2 (%3)\nキャンバスを右クリックすると、その場所の段を選びます。")
                    .arg(*level)
                    .arg(tr(kLevelNames[*level]), ShortcutText(Action(cmd::SelectLevel0 + *level))),
                this, PaletteRect);
            return true;
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QDialog::event(event);
}

} // namespace kelvaro
