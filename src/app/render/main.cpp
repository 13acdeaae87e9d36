#include "app/language/Language.h"
#include "app/render/RenderCommand.h"
#include "imaging/FileNames.h"

#include <QCoreApplication>

#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // English, as command-line tools speak, unless KELVARO_LANG=ja asks for Japanese.
    const kelvaro::Translations texts(
        kelvaro::RequestedLanguage(QStringList(), kelvaro::Language::English));
    // The arguments' own bytes, not QCoreApplication::arguments(), which replaces whatever is not
    // UTF-8 and so loses file names from older systems.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(kelvaro::FileNameFromBytes(QByteArray(argv[i])));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return kelvaro::RunRender(arguments, out, err, ::isatty(STDERR_FILENO) == 1);
}
