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

// Reports a wrong command line; returns the program's exit status for it.
int UsageError(const QString& why) {
    Print(stderr, QStringLiteral("kelvaro: %1\n").arg(why));
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    using namespace kelvaro;
    // Failures reach the user as message boxes; Qt's and the libraries' own lines are dropped.
    InstallMessageHandler(false);
    // A save over the file-size limit fails with its reason instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    {
        // --help, --version and usage errors are answered before any window system is opened:
        // they work without a display and never show a window.
        QCoreApplication cli(argc, argv);
        SetApplicationIdentity();
        const QStringList arguments = WithoutQtOptions(cli.arguments());
        const Translations texts(RequestedLanguage(arguments.mid(1), Language::Japanese));
        const EditorStart start = ParseEditorCommandLine(arguments);
        if (start.action == EditorStart::Action::ShowHelp ||
            start.action == EditorStart::Action::ShowVersion) {
            Print(stdout, start.text);
            return 0;
        }
        if (start.action == EditorStart::Action::UsageError)
            return UsageError(start.text);
    }
    // QApplication takes Qt's own options (-platform, -style, ...) off the command line; what is
    // left must be the editor's. Only this check knows which ones the window system took.
    QApplication app(argc, argv);
    SetApplicationIdentity();
    QGuiApplication::setDesktopFileName(EditorDesktopId);
    const Translations texts(RequestedLanguage(app.arguments().mid(1), Language::Japanese));
    const EditorStart start = ParseEditorCommandLine(app.arguments());
    if (start.action == EditorStart::Action::UsageError)
        return UsageError(start.text);
    // Message boxes and dialogs share the editor's Japanese gothic font.
    QApplication::setFont(DialogFont());
    // From here on only libraries write to stderr (libpng's errors print themselves).
    SetLibraryOutputAside();
    return CDepthPaintApp().Run(start.picture);
}
