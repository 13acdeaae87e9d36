#include "app/language/Language.h"
#include "app/messages/MessageHandler.h"
#include "app/render/RenderCommand.h"
#include "imaging/FileNames.h"

#include <QCoreApplication>
#include <QImageReader>

#include <unistd.h>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    // Before anything can print: Qt's and the libraries' own lines stay off stderr, which carries
    // only the program's own (--verbose brings them back).
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    kelvaro::InstallMessageHandler(false);
    const int ownStderr = kelvaro::SetLibraryOutputAside();
    std::FILE* errFile = ownStderr >= 0 ? ::fdopen(ownStderr, "w") : nullptr;
    // A write over the file-size limit fails with its reason instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    // Qt reads its image plug-ins on first use and cannot report running out of memory there
    // (the program ends): done first, while the most memory is free.
    QImageReader::supportedImageFormats();
    // The arguments' own bytes, not QCoreApplication::arguments(), which replaces whatever is not
    // UTF-8 and so loses file names from older systems.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(kelvaro::FileNameFromBytes(QByteArray(argv[i])));
    // English, as command-line tools speak, unless --lang or KELVARO_LANG asks for Japanese;
    // decided before anything is printed, the help included.
    const kelvaro::Translations texts(
        kelvaro::RequestedLanguage(arguments, kelvaro::Language::English));
    QTextStream out(stdout);
    QTextStream err(errFile ? errFile : stderr);
    return kelvaro::RunRender(arguments, out, err, terminal);
}
