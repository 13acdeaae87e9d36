#include "app/language/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace kelvaro {

namespace {

const QString LanguageOption = QStringLiteral("--lang");

} // namespace

std::optional<Language> LanguageNamed(const QString& name) {
    if (name == QLatin1String("ja"))
        return Language::Japanese;
    if (name == QLatin1String("en"))
        return Language::English;
    return std::nullopt;
}

Language RequestedLanguage(const QStringList& arguments, Language fallback) {
    std::optional<Language> asked = LanguageNamed(qEnvironmentVariable("KELVARO_LANG"));
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--"))
            break; // what follows is a file name, whatever it looks like
        if (arg == LanguageOption && i + 1 < arguments.size()) {
            if (const auto named = LanguageNamed(arguments[++i]))
                asked = named;
        } else if (arg.startsWith(LanguageOption + QLatin1Char('='))) {
            if (const auto named = LanguageNamed(arg.mid(LanguageOption.size() + 1)))
                asked = named;
        }
    }
    return asked.value_or(fallback);
}

Translations::Translations(Language language)
    : language_(language), previousLocale_(QLocale()),
      translator_(std::make_unique<QTranslator>()) {
    if (language == Language::Japanese) {
        // The source texts are Japanese already; only Qt's own texts need translating.
        complete_ = translator_->load(QStringLiteral("qtbase_ja"),
                                      QLibraryInfo::path(QLibraryInfo::TranslationsPath));
        QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    } else {
        // Qt's own texts are English already.
        complete_ = translator_->load(QStringLiteral(":/i18n/kelvaro_en.qm"));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    if (complete_)
        QCoreApplication::installTranslator(translator_.get());
}

Translations::~Translations() {
    if (complete_)
        QCoreApplication::removeTranslator(translator_.get());
    QLocale::setDefault(previousLocale_);
}

} // namespace kelvaro
