#include "ScriptedPrompts.h"

#include "editor/DepthPaintDlg.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

using namespace kelvaro;
using kelvaro::test::ScriptedPrompts;

namespace {

// One row of the expected popup menu: a command id, a separator (id 0) or a submenu (id -1).
struct MenuRow {
    int id;
    QString text;
};

const QList<MenuRow> TopMenu = {
    {cmd::OpenPicture, "画像を開く..."},
    {0, {}},
    {cmd::Undo, "元に戻す"},
    {cmd::Redo, "やり直す"},
    {cmd::Clear, "クリア..."},
    {-1, "表示"},
    {0, {}},
    {-1, "立体情報"},
    {0, {}},
    {cmd::GenerateGif, "GIFを生成"},
    {cmd::Preview, "プレビュー"},
    {0, {}},
    {cmd::Exit, "終了"},
};
const QList<MenuRow> ViewMenu = {
    {cmd::ToggleDepth, "立体情報"},
    {cmd::TogglePicture, "画像"},
    {0, {}},
    {cmd::ViewInterleaved, "画像と交互に表示"},
    {cmd::ViewOverlay, "画像に重ねて表示"},
    {-1, "重ねる濃さ"},
    {0, {}},
    {cmd::ToggleFaint, "立体情報の色を薄く表示"},
    {0, {}},
    {cmd::ZoomIn, "拡大"},
    {cmd::ZoomOut, "縮小"},
    {cmd::ZoomActual, "等倍 (100 %)"},
    {cmd::ZoomFit, "ウィンドウに合わせる"},
};
const QList<MenuRow> OpacityMenu = {
    {cmd::OverlayFainter, "重ねる色を薄く"},
    {cmd::OverlayStronger, "重ねる色を濃く"},
    {0, {}},
    {cmd::OverlayPercent0, "0 %"},
    {cmd::OverlayPercent0 + 1, "10 %"},
    {cmd::OverlayPercent0 + 2, "20 %"},
    {cmd::OverlayPercent0 + 3, "30 %"},
    {cmd::OverlayPercent0 + 4, "40 %"},
    {cmd::OverlayPercent0 + 5, "50 %"},
    {cmd::OverlayPercent0 + 6, "60 %"},
    {cmd::OverlayPercent0 + 7, "70 %"},
    {cmd::OverlayPercent0 + 8, "80 %"},
    {cmd::OverlayPercent0 + 9, "90 %"},
    {cmd::OverlayPercent0 + 10, "100 %"},
};
const QList<MenuRow> DepthMenu = {
    {cmd::SaveDepth, "保存..."},
    {cmd::LoadDepth, "読み込み..."},
    {cmd::LoadGreyDepth, "グレースケール画像から読み込む..."},
    {0, {}},
    {cmd::SnapToEdges, "輪郭に合わせる"},
};

void CompareMenu(const QMenu* menu, const QList<MenuRow>& rows) {
    const QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QAction* a = actions[i];
        const MenuRow& row = rows[i];
        QVERIFY2(a->isSeparator() == (row.id == 0), qPrintable(QString::number(i)));
        QVERIFY2((a->menu() != nullptr) == (row.id == -1), qPrintable(QString::number(i)));
        if (row.id == 0)
            continue;
        QCOMPARE(a->text(), row.text);
        if (row.id > 0)
            QCOMPARE(a->data().toInt(), row.id);
    }
}

// Every item of the menu and its submenus, submenu entries and separators included.
QList<QAction*> AllItems(const QMenu* menu) {
    QList<QAction*> items;
    for (QAction* a : menu->actions()) {
        items << a;
        if (a->menu())
            items << AllItems(a->menu());
    }
    return items;
}

// The menu's item of the command; the window's shared action of it.
QAction* Find(QMenu* menu, int id) {
    for (QAction* a : AllItems(menu))
        if (a->objectName() == CommandName(id))
            return a;
    qFatal("menu item %d missing", id);
}

QImage Pixels(const QIcon& icon) {
    return icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class EditorWindowTest : public QObject {
    Q_OBJECT

    ScriptedPrompts prompts_;
    std::unique_ptr<CDepthPaintDlg> dlg_;

    template <typename T> T* Ctl(int id) {
        T* w = qobject_cast<T*>(dlg_->Control(id));
        if (!w)
            qFatal("control %d missing", id);
        return w;
    }
    void LoadSomePicture() {
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::gray);
        QVERIFY(dlg_->document().ReplacePicture(ImageHandle(picture)));
    }
    // Where the undo history stands, after a picture and three strokes.
    int Position() const { return dlg_->document().history().position(); }
    void LoadAndPaintThreeSteps() {
        LoadSomePicture();
        for (int i = 0; i < 3; ++i) {
            dlg_->document().BeginStroke({i, 1});
            dlg_->document().EndStroke({i, 2});
        }
        QCOMPARE(Position(), 3);
    }

private slots:
    void init() {
        dlg_ = std::make_unique<CDepthPaintDlg>(prompts_);
        dlg_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg_.get()));
    }
    void cleanup() { dlg_.reset(); }

    void startState() {
        QCOMPARE(dlg_->windowTitle(), QStringLiteral("Kelvaro ver.4"));
        // The editor's own 656 x 552 and the second row of controls below the first.
        // The status line adds its height below.
        const int status = dlg_->StatusLineHeight();
        QVERIFY(status > 10 && status < 40);
        const int rows = layout::OptionRowHeight + status;
        QCOMPARE(dlg_->OuterSize(), QSize(656, 552 + rows));
        QCOMPARE(dlg_->size(), QSize(650, 528 + rows));
        QCOMPARE(dlg_->minimumSize(), QSize(650, 528 + rows));
        const Qt::WindowFlags f = dlg_->windowFlags();
        QVERIFY(f & Qt::WindowCloseButtonHint);
        QVERIFY(!(f & Qt::WindowMinimizeButtonHint));
        QVERIFY(f & Qt::WindowMaximizeButtonHint);
        QVERIFY(!dlg_->windowIcon().isNull());

        QCOMPARE(int(dlg_->document().tool()), 0);
        QCOMPARE(dlg_->canvas().view(), 3);
        QCOMPARE(dlg_->m_nThickness, 3);
        QCOMPARE(dlg_->document().penWidth(), 8);
        QCOMPARE(dlg_->document().history().position(), -1);
        QVERIFY(!dlg_->document().hasPicture() && dlg_->document().picture().isNull());
        // The first paint has fixed the palette bar at the right edge of "凸".
        const QRect raised = dlg_->Control(ctrl::RaisedLabel)->geometry();
        QCOMPARE(dlg_->PaletteRect, QRect(raised.x() + raised.width(), raised.y() - 2, 144, 17));

        auto* thickness = Ctl<QComboBox>(ctrl::Thickness);
        QStringList items;
        for (int i = 0; i < thickness->count(); ++i)
            items << thickness->itemText(i);
        QCOMPARE(items, QStringList({"1", "2", "4", "8", "16", "32"}));
        QCOMPARE(thickness->currentText(), QStringLiteral("8"));
        QVERIFY(Ctl<QCheckBox>(ctrl::ShowDepth)->isChecked());
        QVERIFY(Ctl<QCheckBox>(ctrl::ShowPicture)->isChecked());
        QVERIFY(!Ctl<QCheckBox>(ctrl::ProtectNearer)->isChecked());
        QVERIFY(!dlg_->document().protectNearer());
        QCOMPARE(Ctl<QSpinBox>(ctrl::Tolerance)->value(), 32);
        QCOMPARE(Ctl<QComboBox>(ctrl::FillMode)->currentIndex(), 0);
    }

    // Texts and places from the template; the palette bar fits between its two labels and the
    // row of controls inside the window.
    void controlsAndPlacement() {
        QCOMPARE(Ctl<QPushButton>(ctrl::Menu)->text(), QStringLiteral("メニュー"));
        QCOMPARE(Ctl<QPushButton>(ctrl::Undo)->text(), QStringLiteral("戻す"));
        QCOMPARE(Ctl<QPushButton>(ctrl::Redo)->text(), QStringLiteral("やり直す"));
        QCOMPARE(Ctl<QCheckBox>(ctrl::ShowDepth)->text(), QStringLiteral("立体情報"));
        QCOMPARE(Ctl<QCheckBox>(ctrl::ShowPicture)->text(), QStringLiteral("画像"));
        QCOMPARE(Ctl<QLabel>(ctrl::RaisedLabel)->text(), QStringLiteral("凸"));
        QCOMPARE(Ctl<QLabel>(ctrl::SunkenLabel)->text(), QStringLiteral("凹"));
        for (int id : {ctrl::Pen, ctrl::Eraser, ctrl::Fill})
            QVERIFY(Ctl<QPushButton>(id)->isFlat());

        QCOMPARE(Ctl<QPushButton>(ctrl::Menu)->geometry(), QRect(12, 10, 61, 21));
        QCOMPARE(Ctl<QPushButton>(ctrl::Pen)->geometry(), QRect(91, 10, 26, 21));
        const QRect raised = Ctl<QLabel>(ctrl::RaisedLabel)->geometry();
        const QRect sunken = Ctl<QLabel>(ctrl::SunkenLabel)->geometry();
        const int paletteLeft = raised.x() + raised.width();
        QCOMPARE(paletteLeft, 271);
        QVERIFY(paletteLeft + 144 < sunken.x());
        const QRect redo = Ctl<QPushButton>(ctrl::Redo)->geometry();
        QVERIFY(redo.x() + redo.width() <= dlg_->width());

        // The second row: below the first, left to right without overlapping, inside the window,
        // the gradient button under the pen's; a picture's canvas starts below it.
        QCOMPARE(Ctl<QPushButton>(ctrl::Gradient)->geometry(), QRect(91, 34, 26, 21));
        QVERIFY(Ctl<QPushButton>(ctrl::Gradient)->isFlat());
        int right = 0;
        for (int id : {ctrl::Gradient, ctrl::FillModeLabel, ctrl::FillMode, ctrl::ToleranceLabel,
                       ctrl::Tolerance, ctrl::ProtectNearer, ctrl::Snap}) {
            const QRect r = Ctl<QWidget>(id)->geometry();
            QVERIFY2(r.top() >= 31 && r.bottom() < 31 + layout::OptionRowHeight,
                     qPrintable(QString::number(id)));
            QVERIFY2(r.left() >= right, qPrintable(QString::number(id)));
            right = r.left() + r.width();
        }
        QVERIFY(right <= dlg_->width());
        LoadSomePicture();
        QCOMPARE(dlg_->CanvasRect().topLeft(), QPoint(323, 274 + layout::OptionRowHeight));
    }

    void toolButtonsSwapIcons() {
        const auto icon = [this](int id) {
            return Pixels(Ctl<QPushButton>(id)->icon());
        };
        const auto resource = [](int n) {
            return QImage(QStringLiteral(":/icons/%1.png").arg(n))
                .convertToFormat(QImage::Format_ARGB32);
        };
        QCOMPARE(icon(ctrl::Pen), resource(132));
        QCOMPARE(icon(ctrl::Eraser), resource(131));
        QCOMPARE(icon(ctrl::Fill), resource(136));
        QTest::mouseClick(Ctl<QPushButton>(ctrl::Fill), Qt::LeftButton);
        QCOMPARE(int(dlg_->document().tool()), 2);
        QCOMPARE(icon(ctrl::Pen), resource(130));
        QCOMPARE(icon(ctrl::Fill), resource(137));
        QTest::mouseClick(Ctl<QPushButton>(ctrl::Eraser), Qt::LeftButton);
        QCOMPARE(int(dlg_->document().tool()), 1);
        QCOMPARE(icon(ctrl::Eraser), resource(133));
        QCOMPARE(icon(ctrl::Fill), resource(136));
    }

    void menuWithoutPicture() {
        const std::unique_ptr<QMenu> menu = dlg_->BuildPopupMenu();
        CompareMenu(menu.get(), TopMenu);
        CompareMenu(menu->actions()[5]->menu(), ViewMenu);
        CompareMenu(menu->actions()[5]->menu()->actions()[5]->menu(), OpacityMenu);
        CompareMenu(menu->actions()[7]->menu(), DepthMenu);

        for (int id : {cmd::OpenPicture, cmd::Preview, cmd::Exit})
            QVERIFY(Find(menu.get(), id)->isEnabled());
        for (int id : {cmd::Undo, cmd::Redo, cmd::Clear, cmd::ToggleDepth, cmd::TogglePicture,
                       cmd::ToggleFaint, cmd::SaveDepth, cmd::LoadDepth, cmd::LoadGreyDepth,
                       cmd::GenerateGif, cmd::SnapToEdges, cmd::ViewOverlay, cmd::OverlayStronger,
                       cmd::OverlayPercent0 + 3})
            QVERIFY2(!Find(menu.get(), id)->isEnabled(), qPrintable(QString::number(id)));
        QVERIFY(menu->actions()[5]->isEnabled());
        QVERIFY(menu->actions()[7]->isEnabled());
        // Check marks show even on greyed items; the undo and redo buttons stay usable.
        QVERIFY(Find(menu.get(), cmd::ToggleDepth)->isChecked());
        QVERIFY(Find(menu.get(), cmd::TogglePicture)->isChecked());
        QVERIFY(!Find(menu.get(), cmd::ToggleFaint)->isChecked());
        QVERIFY(Ctl<QPushButton>(ctrl::Undo)->isEnabled());
        QVERIFY(Ctl<QPushButton>(ctrl::Redo)->isEnabled());
    }

    void menuWithPicture() {
        LoadSomePicture();
        dlg_->canvas().setView(2);
        dlg_->canvas().setFaint(true);
        const std::unique_ptr<QMenu> menu = dlg_->BuildPopupMenu();
        for (QAction* a : AllItems(menu.get()))
            if (!a->isSeparator())
                QVERIFY2(a->isEnabled(), qPrintable(a->text()));
        QVERIFY(!Find(menu.get(), cmd::ToggleDepth)->isChecked());
        QVERIFY(Find(menu.get(), cmd::TogglePicture)->isChecked());
        QVERIFY(Find(menu.get(), cmd::ToggleFaint)->isChecked());
        for (int id : {cmd::Undo, cmd::Redo, cmd::Clear, cmd::OpenPicture, cmd::GenerateGif})
            QVERIFY(!Find(menu.get(), id)->isCheckable());
    }

    // The menu button opens the menu below its bottom-left corner; the choice runs as a command.
    void menuButtonRunsTheChoice() {
        LoadSomePicture();
        auto* button = Ctl<QPushButton>(ctrl::Menu);
        QPoint openedAt;
        QTimer::singleShot(0, this, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            openedAt = menu->pos();
            menu->setActiveAction(menu->actions()[5]); // "表示"
            QMenu* view = menu->actions()[5]->menu();
            QTimer::singleShot(0, view, [view] {
                view->setActiveAction(view->actions()[0]);
                QTest::keyClick(view, Qt::Key_Return);
                while (QWidget* open = QApplication::activePopupWidget())
                    open->close(); // the choice failed: end the menu, let the checks fail
            });
            QTest::keyClick(menu, Qt::Key_Right);
        });
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(openedAt, button->mapToGlobal(QPoint(0, button->height())));
        QCOMPARE(dlg_->canvas().view(), 2);
        QVERIFY(!Ctl<QCheckBox>(ctrl::ShowDepth)->isChecked());
    }

    void viewSwitchesBothWays() {
        auto* depth = Ctl<QCheckBox>(ctrl::ShowDepth);
        auto* picture = Ctl<QCheckBox>(ctrl::ShowPicture);
        const auto menuChecks = [this] {
            const std::unique_ptr<QMenu> m = dlg_->BuildPopupMenu();
            return std::pair(Find(m.get(), cmd::ToggleDepth)->isChecked(),
                             Find(m.get(), cmd::TogglePicture)->isChecked());
        };
        const auto inStep = [&](int view) {
            QCOMPARE(dlg_->canvas().view(), view);
            QCOMPARE(depth->isChecked(), (view & 1) != 0);
            QCOMPARE(picture->isChecked(), (view & 2) != 0);
            QCOMPARE(menuChecks(), std::pair((view & 1) != 0, (view & 2) != 0));
        };

        dlg_->OnCommand(cmd::ToggleDepth);
        inStep(2);
        dlg_->OnCommand(cmd::TogglePicture);
        inStep(0);
        QTest::mouseClick(depth, Qt::LeftButton);
        inStep(1);
        QTest::mouseClick(picture, Qt::LeftButton);
        inStep(3);
        QTest::mouseClick(depth, Qt::LeftButton);
        inStep(2);
        dlg_->OnCommand(cmd::ToggleDepth);
        inStep(3);
        QTest::mouseClick(picture, Qt::LeftButton);
        inStep(1);
        dlg_->OnCommand(cmd::ToggleFaint);
        QVERIFY(dlg_->canvas().faint());
        inStep(1);
    }

    // The three exchanged values travel together: a menu switch puts the thickness last read back
    // into the list, a check box reads the list.
    void viewSwitchesExchangeThickness() {
        auto* thickness = Ctl<QComboBox>(ctrl::Thickness);
        thickness->setCurrentIndex(5);
        dlg_->OnCommand(cmd::ToggleDepth);
        QCOMPARE(thickness->currentIndex(), 3);
        QCOMPARE(dlg_->m_nThickness, 3);
        thickness->setCurrentIndex(1);
        QTest::mouseClick(Ctl<QCheckBox>(ctrl::ShowPicture), Qt::LeftButton);
        QCOMPARE(dlg_->m_nThickness, 1);
        QCOMPARE(dlg_->document().penWidth(),
                 8); // the pen width follows at the next stroke, not here
    }

    // With both views off the canvas area is plain dialog background inside its black frame,
    // whichever way the views were switched off; one view alone shows that view.
    void bothViewsOffShowsBackground() {
        QImage picture(60, 60, QImage::Format_RGB32);
        picture.fill(qRgb(0, 200, 0));
        QVERIFY(dlg_->document().ReplacePicture(ImageHandle(picture)));
        const QRect canvas = dlg_->CanvasRect();
        const QColor background = dlg_->palette().color(QPalette::Window);
        const QColor green(0, 200, 0), purple(QColor::fromRgb(ArgbFromColorref(DepthPalette[7])));
        // Columns 30 and 31 of row 30 (a picture column and a map column), and the frame.
        const auto shown = [&] {
            const QImage window = dlg_->grab().toImage();
            return QList<QColor>{window.pixelColor(canvas.topLeft() + QPoint(30, 30)),
                                 window.pixelColor(canvas.topLeft() + QPoint(31, 30)),
                                 window.pixelColor(canvas.topLeft() + QPoint(-1, 30))};
        };
        const QColor black(0, 0, 0);
        QCOMPARE(shown(), (QList<QColor>{green, purple, black}));
        dlg_->OnCommand(cmd::ToggleDepth);
        QCOMPARE(shown(), (QList<QColor>{green, green, black}));
        dlg_->OnCommand(cmd::TogglePicture);
        QCOMPARE(shown(), (QList<QColor>{background, background, black}));
        QTest::mouseClick(Ctl<QCheckBox>(ctrl::ShowDepth), Qt::LeftButton);
        QCOMPARE(shown(), (QList<QColor>{purple, purple, black}));
        QTest::mouseClick(Ctl<QCheckBox>(ctrl::ShowDepth), Qt::LeftButton);
        QCOMPARE(shown(), (QList<QColor>{background, background, black}));
    }

    void enterAndEscapeKeepTheWindowOpen() {
        LoadAndPaintThreeSteps();
        auto* undo = Ctl<QPushButton>(ctrl::Undo);
        for (QWidget* focus : {static_cast<QWidget*>(undo), Ctl<QWidget>(ctrl::ShowDepth),
                               static_cast<QWidget*>(dlg_.get())}) {
            focus->setFocus();
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(focus, key);
        }
        QVERIFY(dlg_->isVisible());
        QCOMPARE(dlg_->result(), int(QDialog::Rejected));
        QCOMPARE(Position(), 3); // Enter did not press the focused undo button
        QVERIFY(Ctl<QCheckBox>(ctrl::ShowDepth)->isChecked());
    }

    // Undo and redo from their buttons and keys, wherever the focus is in the window.
    void undoRedoButtonsAndShortcuts() {
        LoadAndPaintThreeSteps();
        QTest::mouseClick(Ctl<QPushButton>(ctrl::Undo), Qt::LeftButton);
        QCOMPARE(Position(), 2);
        QTest::mouseClick(Ctl<QPushButton>(ctrl::Redo), Qt::LeftButton);
        QCOMPARE(Position(), 3);

        auto* thickness = Ctl<QComboBox>(ctrl::Thickness);
        thickness->setFocus();
        QVERIFY(thickness->hasFocus());
        QTest::keyClick(thickness, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Position(), 2);
        QTest::keyClick(thickness, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(Position(), 3);
        QTest::keyClick(thickness, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(thickness, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(Position(), 3); // the platform's other redo sequence
        QCOMPARE(thickness->currentIndex(), 3);

        auto* depth = Ctl<QCheckBox>(ctrl::ShowDepth);
        depth->setFocus();
        QTest::keyClick(depth, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Position(), 2);

        // Plain keys pass through, also after a Ctrl press whose release went elsewhere.
        QTest::keyClick(depth, Qt::Key_Z);
        QTest::keyClick(depth, Qt::Key_Y);
        QTest::keyPress(depth, Qt::Key_Control);
        QTest::keyClick(depth, Qt::Key_Z);
        QTest::keyClick(depth, Qt::Key_Y);
        QCOMPARE(Position(), 2);
    }

    // The menu's items are the window's own actions, so their shortcuts show beside them.
    void menuItemsAreTheSharedActions() {
        const std::unique_ptr<QMenu> menu = dlg_->BuildPopupMenu();
        for (int id : {cmd::OpenPicture, cmd::Undo, cmd::Redo, cmd::SaveDepth, cmd::LoadDepth,
                       cmd::GenerateGif, cmd::Exit}) {
            QAction* item = Find(menu.get(), id);
            QCOMPARE(item, dlg_->Action(id));
            QCOMPARE(item->data().toInt(), id);
            QVERIFY(!item->shortcut().isEmpty());
            QVERIFY(item->isShortcutVisibleInContextMenu());
        }
        QCOMPARE(dlg_->Action(cmd::Redo)->shortcuts(),
                 (QList<QKeySequence>{QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));
    }

    // Every shortcut reaches its command from wherever the focus is in the window.
    void shortcutsReachTheirCommands() {
        QVERIFY(QTest::qWaitForWindowActive(dlg_.get()));
        LoadSomePicture();
        QList<int> ran;
        for (int id : {cmd::OpenPicture, cmd::SaveDepth, cmd::LoadDepth, cmd::GenerateGif})
            dlg_->SetCommandHandler(id, [&ran, id] { ran << id; });
        auto* undoButton = Ctl<QWidget>(ctrl::Undo);
        undoButton->setFocus();
        QTest::keyClick(undoButton, Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(undoButton, Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(undoButton, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(undoButton, Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(ran,
                 (QList<int>{cmd::OpenPicture, cmd::SaveDepth, cmd::LoadDepth, cmd::GenerateGif}));

        auto* depth = Ctl<QWidget>(ctrl::ShowDepth);
        depth->setFocus();
        const auto tool = [this] {
            return dlg_->document().tool();
        };
        QTest::keyClick(depth, Qt::Key_E);
        QCOMPARE(tool(), PaintTool::Eraser);
        QCOMPARE(&dlg_->currentTool(), &dlg_->currentTool()); // stable object
        QCOMPARE(dlg_->currentTool().kind(), PaintTool::Eraser);
        QTest::keyClick(depth, Qt::Key_F);
        QCOMPARE(tool(), PaintTool::Fill);
        QCOMPARE(dlg_->currentTool().kind(), PaintTool::Fill);
        QTest::keyClick(depth, Qt::Key_B);
        QCOMPARE(tool(), PaintTool::Pen);

        auto* thickness = Ctl<QComboBox>(ctrl::Thickness);
        QTest::keyClick(depth, Qt::Key_BracketLeft);
        QCOMPARE(thickness->currentIndex(), 2);
        QTest::keyClick(depth, Qt::Key_BracketRight);
        QTest::keyClick(depth, Qt::Key_BracketRight);
        QCOMPARE(thickness->currentIndex(), 4);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(depth, Qt::Key_BracketRight);
        QCOMPARE(thickness->currentIndex(), 5); // the thickest stays
        for (int i = 0; i < 8; ++i)
            QTest::keyClick(depth, Qt::Key_BracketLeft);
        QCOMPARE(thickness->currentIndex(), 0);
        // The next stroke takes the list's thickness.
        dlg_->OnLButtonDown(dlg_->CanvasRect().topLeft() + QPoint(2, 2));
        dlg_->OnLButtonUp(dlg_->CanvasRect().topLeft() + QPoint(2, 2));
        QCOMPARE(dlg_->document().penWidth(), 1);

        for (int level : {8, 0, 3, 7, 1, 2, 4, 5, 6}) {
            QTest::keyClick(depth, Qt::Key(Qt::Key_0 + level));
            QCOMPARE(dlg_->document().level(), level);
        }

        // Ctrl+Q exits through the question about the unsaved map: cancelled, then discarded.
        dlg_->document().BeginStroke({1, 1});
        dlg_->document().EndStroke({2, 2});
        prompts_.saveChoices = {SaveChoice::Cancel, SaveChoice::Discard};
        QTest::keyClick(depth, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(dlg_->isVisible());
        QTest::keyClick(depth, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!dlg_->isVisible());
        QCOMPARE(prompts_.saveQuestions.size(), 2);
    }

    // The picture tools from the keyboard and the row: G selects the gradient, P turns the
    // protection (box and action follow, and a click on the box turns it back), digits typed in
    // the tolerance box are its own, the fill mode list chooses the fill tool's mode.
    void pictureToolShortcutsAndRow() {
        QVERIFY(QTest::qWaitForWindowActive(dlg_.get()));
        LoadSomePicture();
        auto* depth = Ctl<QWidget>(ctrl::ShowDepth);
        depth->setFocus();
        QTest::keyClick(depth, Qt::Key_G);
        QCOMPARE(dlg_->document().tool(), PaintTool::Gradient);
        QCOMPARE(dlg_->currentTool().kind(), PaintTool::Gradient);
        const auto icon = Pixels(Ctl<QPushButton>(ctrl::Gradient)->icon());
        QCOMPARE(icon, QImage(QStringLiteral(":/icons/139.png")).convertToFormat(icon.format()));
        QTest::mouseClick(Ctl<QPushButton>(ctrl::Fill), Qt::LeftButton);
        QTest::mouseClick(Ctl<QPushButton>(ctrl::Gradient), Qt::LeftButton);
        QCOMPARE(dlg_->document().tool(), PaintTool::Gradient);

        auto* protect = Ctl<QCheckBox>(ctrl::ProtectNearer);
        QAction* toggle = dlg_->Action(cmd::ToggleProtect);
        QTest::keyClick(depth, Qt::Key_P);
        QVERIFY(dlg_->document().protectNearer() && protect->isChecked() && toggle->isChecked());
        QTest::mouseClick(protect, Qt::LeftButton);
        QVERIFY(!dlg_->document().protectNearer() && !protect->isChecked());
        QVERIFY(!toggle->isChecked());
        QTest::keyClick(depth, Qt::Key_P);
        QVERIFY(dlg_->document().protectNearer() && protect->isChecked());

        auto* tolerance = Ctl<QSpinBox>(ctrl::Tolerance);
        tolerance->setFocus();
        tolerance->selectAll();
        QTest::keyClicks(tolerance, QStringLiteral("75"));
        QCOMPARE(tolerance->value(), 75);
        QCOMPARE(dlg_->document().colourTolerance(), 75);
        QCOMPARE(dlg_->document().level(), 0); // not levels 7 and 5
        QTest::keyClick(tolerance, Qt::Key_P);
        QVERIFY(dlg_->document().protectNearer());
        dlg_->document().setColourTolerance(300);
        QCOMPARE(tolerance->value(), 255);

        // Single keys typed in the fill mode list are the list's too.
        auto* mode = Ctl<QComboBox>(ctrl::FillMode);
        QCOMPARE(mode->count(), 2);
        mode->setFocus();
        for (Qt::Key key : {Qt::Key_B, Qt::Key_5, Qt::Key_P})
            QTest::keyClick(mode, key);
        QCOMPARE(dlg_->document().tool(), PaintTool::Gradient);
        QCOMPARE(dlg_->document().level(), 0);
        QVERIFY(dlg_->document().protectNearer());
        mode->setCurrentIndex(1);
        dlg_->SelectTool(int(PaintTool::Fill));
        const auto& fill = static_cast<const FillTool&>(dlg_->currentTool());
        QCOMPARE(fill.mode(), FillMode::PictureColour);
        mode->setCurrentIndex(0);
        QCOMPARE(fill.mode(), FillMode::Region);
    }

    // Clicks on the canvas of a picture dark left of x = 20: a fill click fills the whole map
    // region, a Shift+click only the dark half, as the fill list's colour mode does; a gradient
    // drag paints what the document's gradient paints; with P the pen keeps the nearer level.
    void canvasClicksOfThePictureTools() {
        QImage picture(40, 10, QImage::Format_RGB32);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 40; ++x)
                picture.setPixel(x, y, x < 20 ? qRgb(20, 20, 20) : qRgb(230, 230, 230));
        QVERIFY(dlg_->document().ReplacePicture(ImageHandle(picture)));
        EditorDocument& doc = dlg_->document();
        const auto at = [this](int x, int y) {
            return dlg_->CanvasRect().topLeft() + QPoint(x, y);
        };
        const auto row = [&doc](int y) {
            QString text;
            for (int x = 0; x < doc.size().width(); ++x)
                text += QChar(u'0' + LevelOfColour(doc.depthMap().Pixel(x, y)).value_or(9));
            return text;
        };
        dlg_->OnCommand(cmd::SelectFill);
        dlg_->OnCommand(cmd::SelectLevel0 + 2);
        QTest::mouseClick(dlg_.get(), Qt::LeftButton, Qt::ShiftModifier, at(30, 5));
        QCOMPARE(row(5), QString(20, u'7') + QString(20, u'2'));
        dlg_->OnCommand(cmd::SelectLevel0 + 3);
        QTest::mouseClick(dlg_.get(), Qt::LeftButton, Qt::NoModifier, at(5, 5));
        QCOMPARE(row(5), QString(20, u'3') + QString(20, u'2'));
        QCOMPARE(doc.history().position(), 2);
        Ctl<QComboBox>(ctrl::FillMode)->setCurrentIndex(1);
        dlg_->OnCommand(cmd::SelectLevel0 + 4);
        QTest::mouseClick(dlg_.get(), Qt::LeftButton, Qt::NoModifier, at(25, 5));
        QCOMPARE(row(5), QString(20, u'3') + QString(20, u'4'));

        // The gradient from level 0 at x = 21 to x = 38 over the light half (level 4): what the
        // document's own operations give, the same steps replayed.
        EditorDocument direct;
        QVERIFY(direct.ReplacePicture(ImageHandle(picture)));
        direct.setLevel(2);
        direct.ColourFill({30, 5});
        direct.setLevel(3);
        direct.Fill({5, 5});
        direct.setLevel(4);
        direct.ColourFill({25, 5});
        QCOMPARE(direct.depthMap().surface(), doc.depthMap().surface());
        direct.setLevel(0);
        direct.Gradient({21, 5}, {38, 5});
        QTest::keyClick(dlg_.get(), Qt::Key_G);
        dlg_->OnCommand(cmd::SelectLevel0);
        QTest::mousePress(dlg_.get(), Qt::LeftButton, Qt::NoModifier, at(21, 5));
        QTest::mouseMove(dlg_.get(), at(30, 2));
        QCOMPARE(row(5), QString(20, u'3') + QString(20, u'4')); // nothing yet
        QTest::mouseRelease(dlg_.get(), Qt::LeftButton, Qt::NoModifier, at(38, 5));
        QCOMPARE(doc.depthMap().surface(), direct.depthMap().surface());
        QCOMPARE(doc.history().position(), 4);

        // With P on the pen leaves the nearer levels 0 to 2 of the gradient alone.
        QTest::keyClick(dlg_.get(), Qt::Key_P);
        QTest::keyClick(dlg_.get(), Qt::Key_B);
        dlg_->OnCommand(cmd::SelectLevel0 + 3);
        const QString before = row(5);
        QTest::mousePress(dlg_.get(), Qt::LeftButton, Qt::NoModifier, at(2, 5));
        QTest::mouseMove(dlg_.get(), at(38, 5));
        QTest::mouseRelease(dlg_.get(), Qt::LeftButton, Qt::NoModifier, at(38, 5));
        QString expected = before; // the 8-pixel pen covers the row from end to end
        for (int x = 0; x < 40; ++x)
            if (expected[x] >= u'3')
                expected[x] = u'3';
        QCOMPARE(row(5), expected);
        QVERIFY(expected.contains(u'0') && expected.contains(u'2'));
    }

    // "輪郭に合わせる" from the menu's action and the row's button: the map's border 5 pixels off
    // the picture's edge lands on it, as the document's snap puts it, one undo step; with P on,
    // a snap does not give nearer pixels a farther level.
    void snapFromTheMenuAndTheRow() {
        QImage picture(40, 10, QImage::Format_RGB32);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 40; ++x)
                picture.setPixel(x, y, x < 20 ? qRgb(20, 20, 20) : qRgb(230, 230, 230));
        EditorDocument& doc = dlg_->document();
        QVERIFY(doc.ReplacePicture(ImageHandle(picture)));
        const auto paint = [](EditorDocument& d, int level, int from, int to) {
            d.setLevel(level);
            d.setPenWidth(1);
            for (int y = 0; y < 10; ++y) {
                d.BeginStroke({from, y});
                d.EndStroke({to, y});
            }
        };
        paint(doc, 2, 0, 25); // level 2 reaches 5 pixels past the edge
        const QImage sloppy = doc.depthMap().surface().copy();
        dlg_->Action(cmd::SnapToEdges)->trigger();
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 40; ++x)
                QCOMPARE(LevelOfColour(doc.depthMap().Pixel(x, y)), x < 20 ? 2 : BaseLevel);
        doc.Undo();
        QCOMPARE(doc.depthMap().surface(), sloppy);
        QTest::mouseClick(Ctl<QPushButton>(ctrl::Snap), Qt::LeftButton);
        QCOMPARE(LevelOfColour(doc.depthMap().Pixel(22, 3)), BaseLevel);

        // Level 1 reaching 5 pixels past the edge: the snap would give those pixels the base
        // level, which is farther, so with P on nothing changes; with P off it snaps.
        paint(doc, 1, 0, 25);
        doc.setProtectNearer(true);
        const QImage protectedMap = doc.depthMap().surface().copy();
        dlg_->Action(cmd::SnapToEdges)->trigger();
        QCOMPARE(doc.depthMap().surface(), protectedMap);
        QTest::keyClick(dlg_.get(), Qt::Key_P);
        QVERIFY(!doc.protectNearer());
        dlg_->Action(cmd::SnapToEdges)->trigger();
        QCOMPARE(LevelOfColour(doc.depthMap().Pixel(22, 3)), BaseLevel);
    }

    // Ctrl+= and Ctrl++ zoom in, Ctrl+- out, Ctrl+0 back to 100 %, from wherever the focus is;
    // the status line follows.
    void zoomKeys() {
        QVERIFY(QTest::qWaitForWindowActive(dlg_.get()));
        LoadSomePicture();
        auto* depth = Ctl<QWidget>(ctrl::ShowDepth);
        depth->setFocus();
        const auto percent = [this] {
            return dlg_->canvas().zoom().percent();
        };
        QCOMPARE(dlg_->ZoomStatus(), QStringLiteral("100 %"));
        QTest::keyClick(depth, Qt::Key_Equal, Qt::ControlModifier);
        QCOMPARE(percent(), 200);
        QTest::keyClick(depth, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(percent(), 300);
        QCOMPARE(dlg_->ZoomStatus(), QStringLiteral("300 %"));
        QTest::keyClick(depth, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(percent(), 200);
        QTest::keyClick(depth, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(percent(), 100);
        QTest::keyClick(depth, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(percent(), 67);
        dlg_->OnCommand(cmd::ZoomFit); // a 4 x 4 picture fills the window at 1600 %
        QCOMPARE(percent(), 1600);
        QCOMPARE(dlg_->CanvasRect().size(), QSize(64, 64));
    }

    // The window grows around the canvas: the row of controls stays, the canvas stays centred,
    // the status line stays at the bottom; the layout's size is the smallest.
    void resizingKeepsTheLayout() {
        QImage picture(100, 100, QImage::Format_RGB32);
        picture.fill(Qt::gray);
        QVERIFY(dlg_->document().ReplacePicture(ImageHandle(picture)));
        QCOMPARE(dlg_->CanvasRect(), QRect(275, 226 + layout::OptionRowHeight, 100, 100));
        const QRect menu = Ctl<QWidget>(ctrl::Menu)->geometry();
        const QRect row = dlg_->ControlRowRect();
        QVERIFY(row.contains(menu) && row.bottom() < layout::CanvasAreaTop);
        dlg_->resize(900, 700);
        QTRY_COMPARE(dlg_->size(), QSize(900, 700));
        QCOMPARE(Ctl<QWidget>(ctrl::Menu)->geometry(), menu);
        const QRect canvas = dlg_->CanvasRect();
        QCOMPARE(canvas.center().x(), 900 / 2 - 1);
        const int areaBottom = 700 - dlg_->StatusLineHeight();
        QVERIFY(std::abs((canvas.top() - layout::CanvasCentreTop) -
                         (areaBottom - canvas.bottom() - 1)) <= 1);
        auto* status = dlg_->findChild<QWidget*>(QStringLiteral("status"));
        QCOMPARE(status->geometry().bottom(), 699);
        dlg_->resize(300, 200);
        QTRY_COMPARE(dlg_->size(), dlg_->minimumSize());
        // Pointer and picture in the status line.
        QVERIFY(dlg_->PictureStatus().endsWith(QStringLiteral("100 × 100")));
        QVERIFY(dlg_->PointerStatus().isEmpty());
        QTest::mouseMove(dlg_->canvas().viewport(),
                         dlg_->canvas().viewport()->mapFrom(
                             dlg_.get(), dlg_->CanvasRect().topLeft() + QPoint(7, 9)));
        QCOMPARE(dlg_->PointerStatus(), QStringLiteral("7, 9  段 7"));
    }

    // The overlay view from the menu and Ctrl+[ / Ctrl+]: the interleaved view is the default;
    // Ctrl+] shows the overlay one step stronger, Ctrl+[ one fainter, kept within 0 and 100 %;
    // the canvas shows every pixel blended; the interleaved item brings the columns back.
    void overlayViewAndItsOpacity() {
        QVERIFY(QTest::qWaitForWindowActive(dlg_.get()));
        QImage picture(30, 30, QImage::Format_RGB32);
        picture.fill(qRgb(0, 200, 0));
        QVERIFY(dlg_->document().ReplacePicture(ImageHandle(picture)));
        const QPoint canvas = dlg_->CanvasRect().topLeft();
        const auto shown = [&](int x) {
            return dlg_->grab().toImage().pixel(canvas + QPoint(x, 10)) | 0xff000000;
        };
        const QRgb purple = ArgbFromColorref(DepthPalette[7]);
        const auto blend = [purple](int percent) {
            const auto mix = [percent](int p, int m) {
                return (p * (100 - percent) + m * percent + 50) / 100;
            };
            return qRgb(mix(0, qRed(purple)), mix(200, qGreen(purple)), mix(0, qBlue(purple)));
        };
        QVERIFY(!dlg_->canvas().overlay());
        QCOMPARE(dlg_->canvas().overlayPercent(), 50);
        QVERIFY(dlg_->Action(cmd::ViewInterleaved)->isChecked());
        QCOMPARE(shown(3), qRgb(0, 200, 0));
        QCOMPARE(shown(4), purple);

        dlg_->Action(cmd::ViewOverlay)->trigger();
        QVERIFY(dlg_->canvas().overlay() && dlg_->Action(cmd::ViewOverlay)->isChecked());
        QVERIFY(!dlg_->Action(cmd::ViewInterleaved)->isChecked());
        QCOMPARE(shown(3), blend(50));
        QCOMPARE(shown(4), blend(50));
        QVERIFY(dlg_->Action(cmd::OverlayPercent0 + 5)->isChecked());

        auto* depth = Ctl<QWidget>(ctrl::ShowDepth);
        depth->setFocus();
        QTest::keyClick(depth, Qt::Key_BracketRight, Qt::ControlModifier);
        QCOMPARE(dlg_->canvas().overlayPercent(), 60);
        QCOMPARE(shown(4), blend(60));
        QVERIFY(dlg_->Action(cmd::OverlayPercent0 + 6)->isChecked());
        QVERIFY(!dlg_->Action(cmd::OverlayPercent0 + 5)->isChecked());
        for (int i = 0; i < 8; ++i)
            QTest::keyClick(depth, Qt::Key_BracketLeft, Qt::ControlModifier);
        QCOMPARE(dlg_->canvas().overlayPercent(), 0);
        QCOMPARE(shown(4), qRgb(0, 200, 0));
        QCOMPARE(Ctl<QComboBox>(ctrl::Thickness)->currentIndex(), 3); // not the thickness keys

        // From the interleaved view, Ctrl+] shows the overlay again; an opacity item does too.
        dlg_->Action(cmd::ViewInterleaved)->trigger();
        QVERIFY(!dlg_->canvas().overlay());
        QCOMPARE(shown(4), purple);
        QTest::keyClick(depth, Qt::Key_BracketRight, Qt::ControlModifier);
        QVERIFY(dlg_->canvas().overlay());
        QCOMPARE(dlg_->canvas().overlayPercent(), 10);
        dlg_->Action(cmd::ViewInterleaved)->trigger();
        dlg_->Action(cmd::OverlayPercent0 + 10)->trigger();
        QVERIFY(dlg_->canvas().overlay());
        QCOMPARE(shown(3), purple);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(depth, Qt::Key_BracketRight, Qt::ControlModifier);
        QCOMPARE(dlg_->canvas().overlayPercent(), 100);
        // One view alone is that view, overlay or not.
        dlg_->OnCommand(cmd::TogglePicture);
        QCOMPARE(shown(3), purple);
        dlg_->OnCommand(cmd::TogglePicture);
        dlg_->OnCommand(cmd::ToggleDepth);
        QCOMPARE(shown(4), qRgb(0, 200, 0));
    }

    // While a gradient is dragged the canvas shows the levels its release would paint, and only
    // then does the map take them.
    void gradientDragIsPreviewed() {
        QImage picture(40, 10, QImage::Format_RGB32);
        picture.fill(qRgb(0, 200, 0));
        EditorDocument& doc = dlg_->document();
        QVERIFY(doc.ReplacePicture(ImageHandle(picture)));
        const QPoint canvas = dlg_->CanvasRect().topLeft();
        const auto shown = [&](int x, int y) {
            return dlg_->grab().toImage().pixel(canvas + QPoint(x, y)) | 0xff000000;
        };
        dlg_->OnCommand(cmd::SelectGradient);
        dlg_->OnCommand(cmd::SelectLevel0 + 1);
        QTest::mousePress(dlg_.get(), Qt::LeftButton, Qt::NoModifier, canvas + QPoint(1, 5));
        QTest::mouseMove(dlg_.get(), canvas + QPoint(35, 5));
        // t = (x - 1) / 34 and level 1 + floor(7 t): x = 2 has level 1, x = 28 level 6.
        QCOMPARE(shown(2, 5), ArgbFromColorref(DepthPalette[1]));
        QCOMPARE(shown(28, 7), ArgbFromColorref(DepthPalette[6]));
        QCOMPARE(shown(30, 7), qRgb(0, 200, 0)); // the picture's columns stay
        QCOMPARE(LevelOfColour(doc.depthMap().Pixel(2, 5)), BaseLevel);
        QTest::mouseRelease(dlg_.get(), Qt::LeftButton, Qt::NoModifier, canvas + QPoint(35, 5));
        QCOMPARE(LevelOfColour(doc.depthMap().Pixel(2, 5)), 1);
        QCOMPARE(LevelOfColour(doc.depthMap().Pixel(28, 7)), 6);
        QCOMPARE(shown(28, 7), ArgbFromColorref(DepthPalette[6]));
    }

    // Single keys typed while the thickness list has the focus are the list's; Ctrl+Z and Ctrl+Y
    // still undo and redo.
    void singleKeysStayInTheThicknessList() {
        QVERIFY(QTest::qWaitForWindowActive(dlg_.get()));
        LoadAndPaintThreeSteps();
        auto* thickness = Ctl<QComboBox>(ctrl::Thickness);
        thickness->setFocus();
        for (Qt::Key key : {Qt::Key_E, Qt::Key_F, Qt::Key_BracketLeft, Qt::Key_BracketRight,
                            Qt::Key_5, Qt::Key_8})
            QTest::keyClick(thickness, key);
        QCOMPARE(dlg_->document().tool(), PaintTool::Pen);
        QCOMPARE(dlg_->document().level(), 0);
        // Typing picks the list's item that starts with the key, as in any list (once the keys
        // typed before no longer count as one search).
        QTest::qWait(QApplication::keyboardInputInterval() + 100);
        QTest::keyClick(thickness, Qt::Key_3);
        QCOMPARE(thickness->currentText(), QStringLiteral("32"));
        QCOMPARE(dlg_->document().level(), 0);
        QTest::keyClick(thickness, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Position(), 2);
        QTest::keyClick(thickness, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(Position(), 3);
        // Outside the list the same single keys are commands again.
        Ctl<QWidget>(ctrl::ShowPicture)->setFocus();
        QTest::keyClick(Ctl<QWidget>(ctrl::ShowPicture), Qt::Key_5);
        QCOMPARE(dlg_->document().level(), 5);
    }

    // Every control names itself and its shortcut in its tooltip.
    void tooltipsNameTheirShortcuts() {
        for (int id :
             {ctrl::Menu, ctrl::Pen, ctrl::Eraser, ctrl::Fill, ctrl::Thickness, ctrl::RaisedLabel,
              ctrl::SunkenLabel, ctrl::ShowDepth, ctrl::ShowPicture, ctrl::Undo, ctrl::Redo})
            QVERIFY2(!Ctl<QWidget>(id)->toolTip().isEmpty(), qPrintable(QString::number(id)));
        QVERIFY(Ctl<QWidget>(ctrl::Pen)->toolTip().contains(QLatin1String("(B)")));
        QVERIFY(Ctl<QWidget>(ctrl::Eraser)->toolTip().contains(QLatin1String("(E)")));
        QVERIFY(Ctl<QWidget>(ctrl::Fill)->toolTip().contains(QLatin1String("(F)")));
        QVERIFY(Ctl<QWidget>(ctrl::Undo)->toolTip().contains(QLatin1String("Ctrl+Z")));
        QVERIFY(Ctl<QWidget>(ctrl::Redo)->toolTip().contains(QLatin1String("Ctrl+Y")));
        QVERIFY(Ctl<QWidget>(ctrl::Gradient)->toolTip().contains(QLatin1String("(G)")));
        QVERIFY(Ctl<QWidget>(ctrl::ProtectNearer)->toolTip().contains(QLatin1String("(P)")));
        QVERIFY(Ctl<QWidget>(ctrl::FillMode)->toolTip().contains(QLatin1String("Shift")));
        for (int id : {ctrl::FillModeLabel, ctrl::ToleranceLabel, ctrl::Tolerance, ctrl::Snap})
            QVERIFY2(!Ctl<QWidget>(id)->toolTip().isEmpty(), qPrintable(QString::number(id)));
        const QString thickness = Ctl<QWidget>(ctrl::Thickness)->toolTip();
        QVERIFY(thickness.contains(QLatin1Char('[')) && thickness.contains(QLatin1Char(']')));
    }

    void exitEndsAndReleases() {
        LoadSomePicture();
        dlg_->OnCommand(cmd::Exit);
        QVERIFY(!dlg_->isVisible());
        QCOMPARE(dlg_->result(), 0);
        QVERIFY(dlg_->document().picture().isNull());
        QVERIFY(!dlg_->document().depthMap().exists());
        QVERIFY(!dlg_->document().hasPicture());
    }

    void closeBoxEnds() {
        QVERIFY(dlg_->close());
        QVERIFY(!dlg_->isVisible());
    }

    // While work runs the window cannot be closed; commands from the worker reach the GUI thread
    // in order, each before the worker goes on.
    void busyWorkAndProgressFromAThread() {
        QList<int> seen;
        std::atomic<int> sent = 0;
        QList<int> sentWhenSeen;
        QThread* gui = QThread::currentThread();
        bool allOnGui = true; // and the window stayed open
        dlg_->SetProgressSink([&](int c) {
            seen << c;
            sentWhenSeen << sent.load();
            allOnGui = allOnGui && QThread::currentThread() == gui;
            dlg_->close(); // refused while busy
            allOnGui = allOnGui && dlg_->isVisible();
        });
        dlg_->RunBusy([&] {
            for (int step = 0; step <= 8; ++step) {
                dlg_->ShowProgress(step);
                ++sent;
            }
            dlg_->HideProgress();
            ++sent;
        });
        QCOMPARE(seen, QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 256}));
        QCOMPARE(sentWhenSeen, QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
        QVERIFY(allOnGui);
        QVERIFY(!dlg_->IsBusy());
        QVERIFY(dlg_->isVisible());
        dlg_->ShowProgress(4); // on the GUI thread: direct
        QCOMPARE(seen.last(), 4);
    }
};

QTEST_MAIN(EditorWindowTest)
#include "tst_editorwindow.moc"
