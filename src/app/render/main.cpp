#include "app/language/Language.h"
#include "app/render/RenderCommand.h"
#include "imaging/FileNames.h"

#include <QCoreApplication>

#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
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
    QTextStream err(stderr);
    return kelvaro::RunRender(arguments, out, err, ::isatty(STDERR_FILENO) == 1);
}
