#include "app/shell/ProgressDlg.h"

#include "editor/DialogLayout.h"
#include "ui/DialogUnits.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>

namespace kelvaro {

CProgressDlg::CProgressDlg(QWidget* mainWindow) : mainWindow_(mainWindow) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFont(DialogFont());
    setFixedSize(Width, Height);
    // Controls sit one pixel further in, inside the window's 1-px border.
    auto* label = new QLabel(tr("処理中..."), this);
    label->setGeometry(DialogUnitsToPixels(QRect(7, 7, 25, 8)).translated(1, 1));
    label->adjustSize(); // IPAPGothic sets the text a little wider than 25 units
    bar_ = new QProgressBar(this);
    bar_->setObjectName(ControlName(ctrl::ProgressBar));
    bar_->setRange(0, StepCount);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->setGeometry(DialogUnitsToPixels(QRect(7, 25, 173, 14)).translated(1, 1));
}

int CProgressDlg::Step() const {
    return bar_->value();
}

void CProgressDlg::ProgressCommand(int command) {
    if (command == HideCommand) {
        bar_->setValue(0);
        hide();
        return;
    }
    if (command < 0 || command > StepCount)
        return;
    bar_->setValue(command);
    if (mainWindow_) {
        // Centred on the main window's outer rectangle; quotients truncate toward zero.
        const QRect r = mainWindow_->frameGeometry();
        const int left = r.x(), top = r.y();
        const int right = r.x() + r.width(), bottom = r.y() + r.height();
        move((left + right - Width) / 2, (top + bottom - Height) / 2);
    }
    show(); // on top by its window flags
    activateWindow();
}

void CProgressDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept(); // the window is never ended from the keyboard
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void CProgressDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
}

void CProgressDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace kelvaro
