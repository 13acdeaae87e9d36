// Takes a picture of the editor window as it opens and writes it as PNG to the path given as the
// only argument. Run it with QT_QPA_PLATFORM=offscreen (scripts/screenshot does).

#include "editor/DepthPaintDlg.h"
#include "editor/DialogUnits.h"
#include "editor/QtPrompts.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelvaro-screenshot OUTPUT.png\n");
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("Kelvaro"));
    QApplication::setFont(kelvaro::DialogFont());
    kelvaro::QtPrompts prompts;
    kelvaro::CDepthPaintDlg editor(prompts);
    editor.show();
    QApplication::processEvents();
    const QString path = QString::fromLocal8Bit(argv[1]);
    if (!editor.grab().save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
