#pragma once

#include <QCommandLineOption>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

#include <memory>
#include <optional>

namespace kelvaro {

// The languages of the user interface. The texts in the code are Japanese; the English ones come
// from the program's translation, which is compiled into the programs.
enum class Language { Japanese, English };

// "ja" or "en"; nullopt for any other name.
std::optional<Language> LanguageNamed(const QString& name);

// The language a program speaks from its first line on, decided before its command line is parsed
// so that the help and the parser's own messages are already in it: the last --lang on the command
// line (the arguments after the program name), else the environment variable KELVARO_LANG, else
// the program's default. A name other than "ja" or "en" counts as not given here; the command-line
// parser reports it.
Language RequestedLanguage(const QStringList& arguments, Language fallback);

// The --lang option of a program that speaks `fallback` unless asked otherwise, for its
// command-line parser (RequestedLanguage has acted on it already; the parser only checks it).
QCommandLineOption LanguageOption(Language fallback);
// The usage error for a --lang value that names no language; empty for "ja" and "en".
QString LanguageValueProblem(const QString& value);

// Puts one language's texts, the program's and Qt's own (dialog buttons, file dialogs, the
// command-line parser), into the running application and takes them out again when destroyed.
// Japanese loads Qt's Japanese translation (qtbase_ja) from Qt's translations folder; English
// loads the program's English translation. Needs a QCoreApplication.
class Translations {
public:
    explicit Translations(Language language);
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    Language language() const { return language_; }
    // Whether the translation this language needs was found and installed.
    bool complete() const { return complete_; }

private:
    Language language_;
    bool complete_ = false;
    QLocale previousLocale_;
    std::unique_ptr<QTranslator> translator_;
};

} // namespace kelvaro
