// Takes a picture of the editor window and writes it as PNG. With a picture (and a depth map) it
// shows them loaded, as a user sees them while painting. Run it with QT_QPA_PLATFORM=offscreen
// (scripts/screenshot does).
//   kelvaro-screenshot OUTPUT.png [PICTURE [DEPTHMAP [faint]]]

#include "editor/DepthPaintDlg.h"
#include "editor/QtPrompts.h"
#include "ui/DialogUnits.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2 || argc > 5) {
        std::fprintf(stderr, "usage: kelvaro-screenshot OUTPUT.png [PICTURE [DEPTHMAP [faint]]]\n");
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("Kelvaro"));
    QApplication::setFont(kelvaro::DialogFont());
    kelvaro::QtPrompts prompts;
    kelvaro::CDepthPaintDlg editor(prompts);
    editor.show();
    QApplication::processEvents();
    if (argc >= 3 && !editor.LoadPicture(QString::fromLocal8Bit(argv[2])))
        return 1;
    if (argc >= 4 && !editor.document().LoadDepthMap(QString::fromLocal8Bit(argv[3])))
        return 1;
    editor.m_bFaint = argc == 5;
    editor.update();
    QApplication::processEvents();
    const QString path = QString::fromLocal8Bit(argv[1]);
    if (!editor.grab().save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
