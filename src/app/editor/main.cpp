#include "app/language/Language.h"
#include "app/messages/MessageHandler.h"
#include "app/shell/CommandLine.h"
#include "app/shell/DepthPaintApp.h"
#include "ui/DialogUnits.h"

#include <QApplication>

#include <csignal>
#include <cstdio>

namespace {

void Print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char** argv) {
    using namespace kelvaro;
    // Failures reach the user as message boxes; Qt's and the libraries' own lines are dropped.
    InstallMessageHandler(false);
    // A save over the file-size limit fails with its reason instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    {
        // --help and --version are answered before any window system is opened, so they work
        // without a display and never show a window.
        QCoreApplication cli(argc, argv);
        SetApplicationIdentity();
        const Translations texts(RequestedLanguage(cli.arguments().mid(1), Language::Japanese));
        const EditorStart start = ParseEditorCommandLine(cli.arguments());
        if (start.action == EditorStart::Action::ShowHelp ||
            start.action == EditorStart::Action::ShowVersion) {
            Print(stdout, start.text);
            return 0;
        }
    }
    // QApplication takes Qt's own options (-platform, -style, ...) off the command line; what is
    // left must be the editor's.
    QApplication app(argc, argv);
    SetApplicationIdentity();
    QGuiApplication::setDesktopFileName(EditorDesktopId);
    const Translations texts(RequestedLanguage(app.arguments().mid(1), Language::Japanese));
    const EditorStart start = ParseEditorCommandLine(app.arguments());
    if (start.action == EditorStart::Action::UsageError) {
        Print(stderr, QStringLiteral("kelvaro: %1\n").arg(start.text));
        return 2;
    }
    // Message boxes and dialogs share the editor's Japanese gothic font.
    QApplication::setFont(DialogFont());
    // From here on only libraries write to stderr (libpng's errors print themselves).
    SetLibraryOutputAside();
    return CDepthPaintApp().Run(start.picture);
}
