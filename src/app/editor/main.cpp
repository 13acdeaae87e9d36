#include "app/shell/DepthPaintApp.h"

#include <QApplication>
#include <QFont>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvaro"));
    // Message boxes and dialogs share the editor's Japanese gothic font.
    QApplication::setFont(QFont(QStringLiteral("IPAPGothic"), 9));
    return kelvaro::CDepthPaintApp().Run();
}
