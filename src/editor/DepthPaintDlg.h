#pragma once

#include "depth/Painting.h"
#include "document/EditorDocument.h"
#include "editor/DialogLayout.h"
#include "editor/Prompts.h"
#include "editor/canvas/CanvasDisplay.h"
#include "editor/canvas/CanvasView.h"
#include "editor/preview/PreviewWindow.h"
#include "editor/tools/Tools.h"

#include <QDialog>
#include <QIcon>
#include <QPoint>
#include <QRect>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QMenu;
class QPainter;
class QPushButton;
class QSpinBox;
class QKeyEvent;
class QMouseEvent;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QStatusBar;
class QTimer;

namespace kelvaro {

// The editor window: the row of controls, the palette bar, the canvas (a CanvasView, which owns
// what it shows) and the status line, over an EditorDocument. Every command is one QAction
// (Action(id)), shared by the popup menu, the buttons and the keyboard; all of them run through
// OnCommand, and a command with a handler (SetCommandHandler) runs that. Mouse input on the canvas
// goes to the current tool object. Every modal question goes through the Prompts given at
// construction. The window can be resized and maximised; its size around a picture is the
// smallest it takes.
class CDepthPaintDlg : public QDialog {
    Q_OBJECT

public:
    // Bits of the canvas's view switches.
    static constexpr int ViewDepth = kViewDepth;
    static constexpr int ViewPicture = kViewPicture;
    // Progress commands: 0 ... 8 show that step, HideCommand hides the progress window.
    static constexpr int HideCommand = 256;

    explicit CDepthPaintDlg(Prompts& prompts, QWidget* parent = nullptr);
    ~CDepthPaintDlg() override;

    // ---- Window state; the editing state is the document's ----
    QRect PaletteRect;        // the palette bar in client coordinates; empty until the first paint
    int m_nThickness = 3;     // index in the thickness list ("8"), exchanged by UpdateData
    bool m_bShowDepth = true; // check box "立体情報", exchanged by UpdateData
    bool m_bShowPicture = true; // check box "画像", exchanged by UpdateData
    QIcon m_hIcon;              // the program icon

    // The picture, depth map, undo history and brush this window edits; the canvas repaints from
    // its change signals.
    EditorDocument& document() { return document_; }
    const EditorDocument& document() const { return document_; }
    // The live preview window ("プレビュー"), hidden until the menu item opens it.
    PreviewWindow& preview() { return *preview_; }
    // The canvas: view switches, faint colours, zoom, scrolling, and the mouse on the map.
    CanvasView& canvas() const { return *canvas_; }
    // Where the canvas shows the map, in client coordinates (empty without a picture); at 100 %
    // one to one, the map pixel (x, y) at CanvasRect().topLeft() + (x, y).
    QRect CanvasRect() const;
    // The row of controls and the palette bar, in client coordinates: what the preview window
    // keeps clear of.
    QRect ControlRowRect() const;
    // The status line's height, which the window adds below the sizes of its layout.
    int StatusLineHeight() const;
    // The status line's texts: the pointer's map point and level, the zoom, the picture.
    QString PointerStatus() const;
    QString ZoomStatus() const;
    QString PictureStatus() const;

    Prompts& prompts() const { return prompts_; }

    // The control with that id (ctrl::...), or null.
    QWidget* Control(int id) const;

    // Data exchange of the thickness list and the two check boxes: true reads the controls into
    // m_nThickness, m_bShowDepth and m_bShowPicture, false writes the members to the controls.
    void UpdateData(bool saveAndValidate);
    // Shows the selected twin of the current tool's icon and the normal icons of the others.
    void UpdateToolIcons();
    void SelectTool(int tool);
    // The object of the selected tool, which takes the canvas's presses, moves and releases.
    Tool& currentTool() const;

    // The shared action of a command (cmd::...), or null. It carries the id as data and the object
    // name CommandName(id); its shortcuts work wherever the focus is in this window.
    QAction* Action(int id) const;

    // The popup menu as it would open now: check marks from m_nView, m_bFaint and whether the
    // preview window is open, picture commands greyed while no picture is loaded. Each action
    // carries its command id as data.
    std::unique_ptr<QMenu> BuildPopupMenu();
    // Opens the popup menu at the bottom-left corner of the menu button and runs the choice.
    void ShowPopupMenu();
    // Runs a menu command. View switches and exit are handled here; any other command goes to its
    // handler, if one is set.
    void OnCommand(int id);
    // Installs (or, with an empty function, removes) the handler of a menu command; undo and redo
    // also come from the buttons and the keyboard.
    void SetCommandHandler(int id, std::function<void()> handler);
    void OnUndo() { RunHandler(cmd::Undo); }
    void OnRedo() { RunHandler(cmd::Redo); }

    // Progress window commands. Callable from any thread: from a worker thread the call waits
    // until the GUI thread has handled the command, so commands take effect in the order sent.
    void ShowProgress(int step) { SendProgressCommand(step); }
    void HideProgress() { SendProgressCommand(HideCommand); }
    // Where progress commands go (the progress window's command handler).
    void SetProgressSink(std::function<void(int)> sink) { progressSink_ = std::move(sink); }

    // Runs work on a worker thread and returns when it is done. Meanwhile the GUI thread keeps
    // handling paint and timer events and queued calls (progress commands among them) but takes
    // no mouse or key input and no dropped files, and the window cannot be closed. Call on the GUI
    // thread only.
    void RunBusy(const std::function<void()>& work);
    bool IsBusy() const { return busy_; }

    // ---- Pictures and depth-map files ----
    // "画像を開く...": asks for a file and loads it.
    void OnOpenPicture();
    // Decodes the picture first; only when that works are picture, depth map and history replaced
    // (a file that is not a picture leaves everything as it was). Shrinks it to 640 pixels a side
    // with one notice; the window then fits itself around it (OnPictureReplaced).
    bool LoadPicture(const QString& path);
    void OnSaveDepthMap();
    // The save command; true when the map was saved.
    bool SaveDepthMapCommand();
    // Asks about unsaved changes of the depth map before it is given up; true to go on (saved,
    // discarded, or nothing to save), false when cancelled or the save failed.
    bool MayGiveUpDepthMap();
    // "読み込み...": copies a map file onto the map as one undo step, with a notice when its size
    // differs from the picture's and one when some of its colours are no depth level.
    void OnLoadDepthMap();
    // "グレースケール画像から読み込む...": asks for a grey depth image, then whether white or
    // black is near (offering the last choice), and replaces the map with it as one undo step.
    void OnLoadGreyDepth();

    // ---- Painting ----
    void OnClear();
    // Mouse input in client coordinates: the palette bar takes left presses, the canvas the rest
    // (a press outside both does nothing). A press with Shift fills by the picture's colour (see
    // FillTool).
    void OnLButtonDown(QPoint client, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void OnMouseMove(QPoint client);
    void OnLButtonUp(QPoint client);
    void OnRButtonUp(QPoint client);

    // ---- GIF generation ----
    void OnGenerateGif();
    void GenerateHorizontalSwayGif(const QString& path);
    void GenerateVerticalSwayGif(const QString& path);

    // The window size as an outer size (see layout::OuterToClient), the status line included.
    QSize OuterSize() const { return layout::ClientToOuter(size()); }
    // Gives the window this outer size plus the status line's height, which is also the smallest
    // size the user can give it; it keeps its position. A maximised window stays maximised.
    void SetOuterSize(QSize outer);

    // Releases the picture and the depth map (the undo history stays).
    void ReleaseCanvas() { document_.Release(); }

    // Ends the dialog; the picture and depth map are released, nothing is saved.
    void done(int result) override;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    void CreateOptionRow();
    void OnSnapToEdges();
    void ShowBrush();
    void CreateActions();
    void AddAction(int id, const QString& text, const QList<QKeySequence>& shortcuts = {});
    void UpdateActions();
    void StepThickness(int step);
    void ObserveDocument();
    void OnPictureReplaced();
    void CentreOnScreen();
    void OnShowDepthClicked();
    void OnShowPictureClicked();
    void ToggleView(int bit);
    void SetView(int view);
    void LayOut(QSize client);
    void UpdateStatus();
    void UpdateTitle();
    void ShowOverlay(bool on, int percent);
    void RunHandler(int id);
    void SendProgressCommand(int command);
    void InstallCommandHandlers();
    void GenerateGif(const QString& path, int direction);
    // Asks for a file, in the dialog opened where StartFor puts it; the chosen file's folder is
    // the last one used.
    std::optional<QString> AskFile(FileDialogUse use);

    Prompts& prompts_;
    EditorDocument document_;
    std::unique_ptr<PreviewWindow> preview_; // a window of its own, destroyed before document_
    CanvasView* canvas_ = nullptr;           // a child, owned by this window
    QStatusBar* status_ = nullptr;
    QLabel* pointerStatus_ = nullptr;
    QLabel* zoomStatus_ = nullptr;
    QLabel* pictureStatus_ = nullptr;
    QTimer* statusTimer_ = nullptr;
    QString picturePath_; // the file of the picture shown, empty without one
    QString lastFolder_;  // the folder of the last file chosen in a file dialog, empty before
    QPushButton* menuButton_ = nullptr;
    QPushButton* toolButtons_[kToolCount] = {};
    QComboBox* thickness_ = nullptr;
    QComboBox* fillMode_ = nullptr;
    QSpinBox* tolerance_ = nullptr;
    QCheckBox* protect_ = nullptr;
    QCheckBox* showDepth_ = nullptr;
    QCheckBox* showPicture_ = nullptr;
    std::vector<std::unique_ptr<Tool>> tools_; // by PaintTool number
    FillTool* fillTool_ = nullptr;             // one of tools_, whose mode the row chooses
    std::map<int, QAction*> actions_;          // owned by this window as their parent
    std::map<int, std::function<void()>> handlers_;
    std::function<void(int)> progressSink_;
    bool busy_ = false;
    int greyDepthNear_ = 0; // the last answer to AskGreyDepthNear, offered again next time
    QString sizeLimitText_; // the last answer to AskSizeLimit, offered again next time
};

} // namespace kelvaro
