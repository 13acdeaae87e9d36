#pragma once

#include "editor/DepthPaintDlg.h"

#include <QDialog>
#include <QPointer>

class QProgressBar;

namespace kelvaro {

// The small "処理中..." window with a bar of eight steps, shown over the editor while a GIF is
// made. It has no caption and no taskbar entry, stays hidden until the first step command and
// cannot be closed or ended from the keyboard.
class CProgressDlg : public QDialog {
    Q_OBJECT

public:
    // The size the window is centred with, and has.
    static constexpr int Width = 331;
    static constexpr int Height = 69;
    static constexpr int StepCount = 8;
    static constexpr int HideCommand = CDepthPaintDlg::HideCommand; // what HideProgress sends

    // mainWindow is the window to centre over; the progress window does not belong to it.
    explicit CProgressDlg(QWidget* mainWindow);

    // 0 ... 8: sets the bar to that step and shows the window centred over the main window, on
    // top and active (again at every step, so it follows a moved main window). HideCommand: bar to
    // 0 and hidden. Any other value is ignored.
    void ProgressCommand(int command);

    int Step() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<QWidget> mainWindow_;
    QProgressBar* bar_ = nullptr;
};

} // namespace kelvaro
