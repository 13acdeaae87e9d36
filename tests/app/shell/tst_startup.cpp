// Start-up of the editor: its command line, a picture opened from it, and that a run leaves no
// file behind. The whole test runs with HOME, XDG_CONFIG_HOME and TMPDIR pointing at empty
// temporary folders (see main), so anything the program writes there is seen.

#include "app/language/Language.h"
#include "app/shell/CommandLine.h"
#include "app/shell/DepthPaintApp.h"
#include "editor/DepthPaintDlg.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace kelvaro;

namespace {

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// Acts on the next modal window that is not `under`, from inside that window's event loop.
void WhenModal(QWidget* under, std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, under, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == under)
            return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start();
}

// Runs the editor as the program does; `script` gets the editor window once it is up. Should the
// script fail before it ends the editor, a watchdog closes every dialog so the test still ends.
int RunEditor(const QString& picture, std::function<void(CDepthPaintDlg&)> script) {
    QTimer::singleShot(0, [script = std::move(script)] {
        auto* editor = qobject_cast<CDepthPaintDlg*>(QApplication::activeModalWidget());
        QVERIFY(editor);
        script(*editor);
    });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->done(QDialog::Rejected);
    });
    watchdog.start(30000);
    return CDepthPaintApp().Run(picture);
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

public:
    StartupTest(QString home, QString tmp) : home_(std::move(home)), tmp_(std::move(tmp)) {}

private:
    const QString home_;
    const QString tmp_;
    QTemporaryDir files_{QDir::currentPath() + QStringLiteral("/startup-XXXXXX")};

    QString Picture(int w, int h) const {
        const QString path = files_.filePath(QStringLiteral("picture-%1x%2.png").arg(w).arg(h));
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        if (!QFile::exists(path))
            image.save(path);
        return path;
    }

    // Runs the built editor with no display at all: a QApplication would fail to start there.
    static QProcess* RunWithoutDisplay(const QStringList& arguments,
                                       const QString& language = QString()) {
        auto* process = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        if (language.isNull())
            env.remove(QStringLiteral("KELVARO_LANG"));
        else
            env.insert(QStringLiteral("KELVARO_LANG"), language);
        process->setProcessEnvironment(env);
        process->start(QStringLiteral(KELVARO_EDITOR_PATH), arguments);
        process->waitForFinished(60000);
        return process;
    }

private slots:
    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("environment"); // KELVARO_LANG
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("picture");
        using A = EditorStart::Action;
        const int ja = int(Language::Japanese);
        const int en = int(Language::English);
        QTest::newRow("nothing") << QStringList() << "" << int(A::Run) << ja << "";
        QTest::newRow("picture") << QStringList{"a b.png"} << "" << int(A::Run) << ja << "a b.png";
        QTest::newRow("lang en") << QStringList{"--lang", "en", "p.jpg"} << "" << int(A::Run) << en
                                 << "p.jpg";
        QTest::newRow("lang=ja beats env")
            << QStringList{"--lang=ja"} << "en" << int(A::Run) << ja << "";
        QTest::newRow("env en") << QStringList() << "en" << int(A::Run) << en << "";
        QTest::newRow("env unknown") << QStringList() << "fr" << int(A::Run) << ja << "";
        QTest::newRow("dash picture")
            << QStringList{"--", "--lang"} << "" << int(A::Run) << ja << "--lang";
        QTest::newRow("help wins")
            << QStringList{"x", "y", "--help"} << "" << int(A::ShowHelp) << ja << "";
        QTest::newRow("version") << QStringList{"-v"} << "" << int(A::ShowVersion) << ja << "";
        QTest::newRow("bad lang") << QStringList{"--lang", "fr"} << "" << int(A::UsageError) << ja
                                  << "";
        QTest::newRow("lang no value")
            << QStringList{"--lang"} << "" << int(A::UsageError) << ja << "";
        QTest::newRow("two pictures")
            << QStringList{"a.png", "b.png"} << "" << int(A::UsageError) << ja << "";
        QTest::newRow("unknown option")
            << QStringList{"--sway"} << "" << int(A::UsageError) << ja << "";
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, environment);
        qputenv("KELVARO_LANG", environment.toUtf8());
        const EditorStart start =
            ParseEditorCommandLine(QStringList{QStringLiteral("kelvaro")} + arguments);
        qunsetenv("KELVARO_LANG");
        QTEST(int(start.action), "action");
        if (start.action == EditorStart::Action::Run) {
            QTEST(int(start.language), "language");
            QTEST(start.picture, "picture");
        } else {
            QVERIFY(!start.text.isEmpty());
        }
    }

    // The language is chosen before parsing, so help and errors are already in it.
    void languageBeforeParsing() {
        const Language ja = Language::Japanese;
        const Language en = Language::English;
        QCOMPARE(RequestedLanguage({}, en), en);
        QCOMPARE(RequestedLanguage({"--lang", "ja"}, en), ja);
        QCOMPARE(RequestedLanguage({"--lang=en", "--lang", "ja"}, en), ja); // the last one
        QCOMPARE(RequestedLanguage({"--lang", "xx"}, en), en);
        QCOMPARE(RequestedLanguage({"--", "--lang", "ja"}, en), en);
        qputenv("KELVARO_LANG", "ja");
        QCOMPARE(RequestedLanguage({}, en), ja);
        QCOMPARE(RequestedLanguage({"--lang=en"}, ja), en);
        qunsetenv("KELVARO_LANG");
    }

    void helpAndVersionNeedNoWindow() {
        std::unique_ptr<QProcess> help(RunWithoutDisplay({QStringLiteral("--help")}));
        QCOMPARE(help->exitStatus(), QProcess::NormalExit);
        QCOMPARE(help->exitCode(), 0);
        const QString helpText = QString::fromUtf8(help->readAllStandardOutput());
        QVERIFY2(helpText.contains(QStringLiteral("--lang")), qPrintable(helpText));
        QVERIFY(helpText.contains(QStringLiteral("表示言語")));

        std::unique_ptr<QProcess> english(
            RunWithoutDisplay({QStringLiteral("--help")}, QStringLiteral("en")));
        QCOMPARE(english->exitCode(), 0);
        QVERIFY(QString::fromUtf8(english->readAllStandardOutput())
                    .contains(QStringLiteral("Language of the user interface")));

        std::unique_ptr<QProcess> version(
            RunWithoutDisplay({QStringLiteral("--lang"), QStringLiteral("en"),
                               QStringLiteral("--version"), QStringLiteral("picture.png")}));
        QCOMPARE(version->exitStatus(), QProcess::NormalExit);
        QCOMPARE(version->exitCode(), 0);
        QCOMPARE(version->readAllStandardOutput(), QByteArray("Kelvaro " KELVARO_VERSION "\n"));
        QCOMPARE(version->readAllStandardError(), QByteArray());
    }

    // A wrong command line is reported before a window system is needed, with Qt's own options
    // and their values taken off first, as QApplication does. `same` is the editor's part.
    void wrongCommandLineNeedsNoWindow_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("same");
        QTest::newRow("unknown option") << QStringList{"--bogus"} << QStringList{"--bogus"};
        QTest::newRow("bad lang") << QStringList{"--lang", "fr"} << QStringList{"--lang", "fr"};
        QTest::newRow("two pictures")
            << QStringList{"a.png", "-reverse", "b.png"} << QStringList{"a.png", "b.png"};
        QTest::newRow("after a Qt option")
            << QStringList{"-style", "Fusion", "--bogus"} << QStringList{"--bogus"};
    }
    void wrongCommandLineNeedsNoWindow() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, same);
        std::unique_ptr<QProcess> process(RunWithoutDisplay(arguments));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 2);
        const Translations texts(Language::Japanese);
        const EditorStart start = ParseEditorCommandLine(QStringList{"kelvaro"} + same);
        QVERIFY(start.action == EditorStart::Action::UsageError);
        QCOMPARE(QString::fromUtf8(process->readAllStandardError()),
                 QStringLiteral("kelvaro: %1\n").arg(start.text));
    }

    void qtOptionsTakenOff() {
        const auto left = [](const QStringList& arguments) {
            return WithoutQtOptions(QStringList{"kelvaro"} + arguments).mid(1);
        };
        QCOMPARE(left({"-style", "Fusion", "pic.png"}), QStringList{"pic.png"});
        QCOMPARE(left({"--style=Fusion", "-reverse", "-foo", "--lang", "en"}),
                 QStringList({"-foo", "--lang", "en"}));
        // As Qt: the window system's options go first, and a last -style has no value to take.
        QCOMPARE(left({"-style", "-platform", "xcb", "pic.png"}), QStringList());
        QCOMPARE(left({"pic.png", "-style"}), QStringList({"pic.png", "-style"}));
        QCOMPARE(left({"--", "-stylesheet", "a.qss", "-platform"}), QStringList{"--"});
    }

    // Under a window system other than X11 the X11 options are not Qt's: the check after
    // QApplication, which sees what Qt left, reports them.
    void wrongCommandLineWithWindow() {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(KELVARO_EDITOR_PATH),
                      {QStringLiteral("-display"), QStringLiteral(":0")});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 2);
        const Translations texts(Language::Japanese);
        const EditorStart start = ParseEditorCommandLine({"kelvaro", "-display", ":0"});
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
                 QStringLiteral("kelvaro: %1\n").arg(start.text));
    }

    void pictureOnTheCommandLineOpensAtStart() {
        const QString picture = Picture(300, 200);
        bool loaded = false;
        QCOMPARE(RunEditor(picture,
                           [&](CDepthPaintDlg& editor) {
                               // The picture is opened from the running editor's event loop.
                               QTRY_VERIFY(editor.document().hasPicture());
                               loaded = editor.document().size() == QSize(300, 200) &&
                                        editor.isVisible();
                               editor.OnCommand(cmd::Exit);
                           }),
                 0);
        QVERIFY(loaded);
    }

    // A picture too large is shrunk with the notice, a file that is no picture gives the usual
    // message over the empty editor: both as real message boxes on the editor window.
    void pictureMessagesAtStart_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("too large")
            << Picture(700, 100) << "画像サイズが処理可能サイズを超えています。" << true;
        QTest::newRow("not a picture") << files_.filePath(QStringLiteral("missing.png"))
                                       << "画像ファイルを開けませんでした。" << false;
    }
    void pictureMessagesAtStart() {
        QFETCH(QString, picture);
        QFETCH(QString, message);
        QFETCH(bool, loaded);
        QString shown;
        bool overEditor = false;
        bool loadedAfter = !loaded;
        RunEditor(picture, [&](CDepthPaintDlg& editor) {
            WhenModal(&editor, [&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box);
                shown = box->text();
                overEditor = box->parentWidget() == &editor;
                box->accept();
                QTimer::singleShot(0, &editor, [&] {
                    loadedAfter = editor.document().hasPicture();
                    editor.OnCommand(cmd::Exit);
                });
            });
        });
        QVERIFY2(shown.startsWith(message), qPrintable(shown));
        QVERIFY(overEditor);
        QCOMPARE(loadedAfter, loaded);
    }

    // Qt's file dialog would keep its history in QtProject.conf under the configuration folder.
    void fileDialogsLeaveNoFileBehind() {
        const QString picture = Picture(120, 80);
        QStringList titles;
        RunEditor(QString(), [&](CDepthPaintDlg& editor) {
            WhenModal(&editor, [&](QWidget* modal) {
                auto* open = qobject_cast<QFileDialog*>(modal);
                QVERIFY(open);
                titles << open->windowTitle();
                // Typed, as a user would: selectFile leaves the name field alone once it has the
                // focus, and the dialog then had nothing to open.
                auto* name = open->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(name);
                name->setText(picture);
                static_cast<QDialog*>(open)->accept(); // QFileDialog::accept is protected
            });
            editor.OnCommand(cmd::OpenPicture);
            QVERIFY(editor.document().hasPicture());
            WhenModal(&editor, [&](QWidget* modal) {
                auto* save = qobject_cast<QFileDialog*>(modal);
                QVERIFY(save);
                titles << save->windowTitle();
                save->reject();
            });
            editor.OnCommand(cmd::SaveDepth);
            editor.OnCommand(cmd::Exit);
        });
        QCOMPARE(titles, QStringList({QStringLiteral("画像ファイルを開く"),
                                      QStringLiteral("立体情報をファイルに保存する")}));
        QCOMPARE(Entries(home_), QStringList());
        QCOMPARE(Entries(tmp_), QStringList());
    }

    void cleanupTestCase() {
        // Nothing the editor did, nor the editor started without a display, wrote there.
        QCOMPARE(Entries(home_), QStringList());
        QCOMPARE(Entries(tmp_), QStringList());
    }
};

int main(int argc, char** argv) {
    // Made before the environment points elsewhere; the runtime folder is the window system's.
    QTemporaryDir home;
    QTemporaryDir tmp;
    QTemporaryDir runtime;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    qunsetenv("XDG_CACHE_HOME");
    qunsetenv("XDG_DATA_HOME");
    qputenv("TMPDIR", tmp.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QApplication app(argc, argv);
    StartupTest test(home.path(), tmp.path());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
