#include "app/shell/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <span>

namespace kelvaro {

namespace {

// The context of the command line's texts in the translation.
class CommandLine {
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
};

} // namespace

QStringList WithoutQtOptions(const QStringList& arguments) {
    enum class Takes {
        Nothing,
        Value,         // the next argument, and nothing when the option comes last
        FollowedValue, // the next argument; an option that comes last is not Qt's
        JoinedValue,   // -name=value
    };
    struct QtOption {
        QLatin1StringView name;
        Takes takes;
    };
    using namespace Qt::Literals::StringLiterals;
    // Qt takes its options in passes, in this order; what one pass takes, the next never sees
    // (in -style -platform xcb pic.png, -style takes pic.png).
    static constexpr QtOption windowSystem[] = {
        {"-platform"_L1, Takes::Value},      {"-platformpluginpath"_L1, Takes::Value},
        {"-platformtheme"_L1, Takes::Value}, {"-qwindowgeometry"_L1, Takes::Value},
        {"-geometry"_L1, Takes::Value},      {"-qwindowtitle"_L1, Takes::Value},
        {"-title"_L1, Takes::Value},         {"-qwindowicon"_L1, Takes::Value},
        {"-icon"_L1, Takes::Value},
    };
    static constexpr QtOption x11[] = {
        {"-display"_L1, Takes::FollowedValue}, {"-name"_L1, Takes::FollowedValue},
        {"-visual"_L1, Takes::FollowedValue},  {"-nograb"_L1, Takes::Nothing},
        {"-dograb"_L1, Takes::Nothing},
    };
    static constexpr QtOption guiApplication[] = {
        {"-plugin"_L1, Takes::Value},          {"-reverse"_L1, Takes::Nothing},
        {"-session"_L1, Takes::FollowedValue}, {"-testability"_L1, Takes::Nothing},
        {"-style"_L1, Takes::JoinedValue},     {"-style"_L1, Takes::FollowedValue},
    };
    static constexpr QtOption application[] = {
        {"-stylesheet"_L1, Takes::FollowedValue}, {"-stylesheet"_L1, Takes::JoinedValue},
        {"-widgetcount"_L1, Takes::Nothing},      {"-qdevel"_L1, Takes::Nothing},
        {"-qdebug"_L1, Takes::Nothing},
    };
    QStringList left = arguments;
    using Pass = std::span<const QtOption>;
    for (const Pass pass :
         {Pass(windowSystem), Pass(x11), Pass(guiApplication), Pass(application)}) {
        QStringList kept = left.mid(0, 1);
        for (qsizetype i = 1; i < left.size(); ++i) {
            QStringView argument = left.at(i);
            // Qt reads --name as -name, and has no "--" that ends the options.
            if (argument.startsWith(u"--"))
                argument = argument.mid(1);
            const bool followed = i + 1 < left.size();
            const auto matches = [&](const QtOption& option) {
                switch (option.takes) {
                case Takes::JoinedValue:
                    return argument.startsWith(option.name) &&
                           argument.mid(option.name.size()).startsWith(u'=');
                case Takes::FollowedValue:
                    return followed && argument == option.name;
                default:
                    return argument == option.name;
                }
            };
            const auto option = std::find_if(pass.begin(), pass.end(), matches);
            if (option == pass.end())
                kept << left.at(i);
            else if (option->takes == Takes::Value || option->takes == Takes::FollowedValue)
                ++i;
        }
        left = kept;
    }
    return left;
}

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
