#include "app/shell/DepthPaintApp.h"
#include "ui/DialogUnits.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvaro"));
    // Message boxes and dialogs share the editor's Japanese gothic font.
    QApplication::setFont(kelvaro::DialogFont());
    return kelvaro::CDepthPaintApp().Run();
}
