#include "app/language/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace kelvaro {

namespace {

// The context of the --lang option's texts in the translation.
class Languages {
    Q_DECLARE_TR_FUNCTIONS(Languages)
};

const QString LanguageFlag = QStringLiteral("--lang");

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
        if (arg == LanguageFlag && i + 1 < arguments.size()) {
            if (const auto named = LanguageNamed(arguments[++i]))
                asked = named;
        } else if (arg.startsWith(LanguageFlag + QLatin1Char('='))) {
            if (const auto named = LanguageNamed(arg.mid(LanguageFlag.size() + 1)))
                asked = named;
        }
    }
    return asked.value_or(fallback);
}

QCommandLineOption LanguageOption(Language fallback) {
    return QCommandLineOption(QStringLiteral("lang"),
                              fallback == Language::Japanese
                                  ? Languages::tr("表示言語: ja (日本語、既定) または en (英語)")
                                  : Languages::tr("表示言語: en (英語、既定) または ja (日本語)"),
                              QStringLiteral("ja|en"));
}

QString LanguageValueProblem(const QString& value) {
    if (LanguageNamed(value))
        return {};
    return Languages::tr("--lang は ja か en です: %1").arg(value);
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
