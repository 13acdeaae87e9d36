#pragma once

#include "app/language/Language.h"

#include <QString>
#include <QStringList>

namespace kelvaro {

// What the editor's command line asks for: kelvaro [--lang ja|en] [PICTURE].
struct EditorStart {
    enum class Action { Run, ShowHelp, ShowVersion, UsageError };
    Action action = Action::Run;
    // The help or version text for standard output, or the reason of a usage error.
    QString text;
    Language language = Language::Japanese;
    QString picture; // opened at start; empty for none
};

// Parses the editor's arguments, program name first. Help, version and errors come in the language
// whose translations are installed.
EditorStart ParseEditorCommandLine(const QStringList& arguments);

// The arguments, program name first, without the options QApplication takes for itself (-style
// Fusion, --reverse, -stylesheet=FILE, ...): what ParseEditorCommandLine will see once a
// QApplication exists, known before one is made. Options Qt takes only under X11 (-display,
// -geometry, ...) are taken whatever the window system, so that this never makes an error of what
// Qt accepts; under another window system the parse after QApplication reports them.
QStringList WithoutQtOptions(const QStringList& arguments);

// The identity the editor and its window system entry share.
inline const QString EditorDesktopId = QStringLiteral("org.kelvaro.Kelvaro");
// Application name and version, as --version prints them.
void SetApplicationIdentity();

} // namespace kelvaro
