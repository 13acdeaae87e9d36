#include "app/shell/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace kelvaro {

namespace {

// The context of the command line's texts in the translation.
class CommandLine {
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
};

} // namespace

void SetApplicationIdentity() {
    QCoreApplication::setApplicationName(QStringLiteral("Kelvaro"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVARO_VERSION));
}

EditorStart ParseEditorCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        CommandLine::tr("画像に立体情報を塗り、揺れるGIFアニメを作ります。"));
    // Own help and version options: Qt's add a --help-all that only Qt's own process() handles,
    // and Qt's Japanese translation lacks the help option's text.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  CommandLine::tr("この使い方を表示します"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     CommandLine::tr("バージョンを表示します"));
    parser.addOption(help);
    parser.addOption(version);
    const QCommandLineOption lang = LanguageOption(Language::Japanese);
    parser.addOption(lang);
    parser.addPositionalArgument(CommandLine::tr("画像"),
                                 CommandLine::tr("起動時に開く画像ファイル"),
                                 CommandLine::tr("[画像]"));

    EditorStart start;
    const bool parsed = parser.parse(arguments);
    // Help and version win over anything else on the line, as with most programs.
    if (parser.isSet(help)) {
        start.action = EditorStart::Action::ShowHelp;
        start.text = parser.helpText();
        return start;
    }
    if (parser.isSet(version)) {
        start.action = EditorStart::Action::ShowVersion;
        start.text = QCoreApplication::applicationName() + QLatin1Char(' ') +
                     QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return start;
    }
    const auto fail = [&start](const QString& why) {
        start.action = EditorStart::Action::UsageError;
        start.text = why;
        return start;
    };
    if (!parsed)
        return fail(parser.errorText());
    if (parser.isSet(lang)) {
        const QString value = parser.value(lang);
        if (const QString problem = LanguageValueProblem(value); !problem.isEmpty())
            return fail(problem);
        start.language = *LanguageNamed(value);
    } else {
        start.language = RequestedLanguage({}, Language::Japanese);
    }
    const QStringList pictures = parser.positionalArguments();
    if (pictures.size() > 1)
        return fail(
            CommandLine::tr("開ける画像は一つだけです: %1").arg(pictures.join(QLatin1Char(' '))));
    if (!pictures.isEmpty())
        start.picture = pictures.constFirst();
    return start;
}

} // namespace kelvaro
