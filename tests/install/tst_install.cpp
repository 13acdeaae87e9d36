// `cmake --install` into a temporary prefix: the programs, the desktop entry, the icons, the
// metainfo, the compressed manual pages and Debian's copyright and changelog arrive, the installed
// editor runs, and the freedesktop validators accept the desktop entry and the metainfo.

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString DesktopId = QStringLiteral("org.kelvaro.Kelvaro");

struct Run {
    int exitCode = -1;
    QString output; // standard output and error together
};

Run RunProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.output = QString::fromUtf8(process.readAll());
    return run;
}

// The keys of the desktop entry's main group, localized keys included ("Name[ja]").
QMap<QString, QString> DesktopEntry(const QString& path) {
    QFile file(path);
    QMap<QString, QString> keys;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    bool inMain = false;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1Char('[')))
            inMain = line == QLatin1String("[Desktop Entry]");
        else if (const qsizetype eq = line.indexOf(QLatin1Char('=')); inMain && eq > 0)
            keys.insert(line.left(eq), line.mid(eq + 1));
    }
    return keys;
}

} // namespace

class InstallTest : public QObject {
    Q_OBJECT

    QTemporaryDir prefix_;

    QString Installed(const QString& relative) const { return prefix_.filePath(relative); }

private slots:
    void initTestCase() {
        QVERIFY(prefix_.isValid());
        const Run install = RunProgram(QStringLiteral(CMAKE_COMMAND),
                                       {QStringLiteral("--install"), QStringLiteral(BUILD_DIR),
                                        QStringLiteral("--prefix"), prefix_.path()});
        QVERIFY2(install.exitCode == 0, qPrintable(install.output));
    }

    void programsRun() {
        for (const QString& program : {QStringLiteral("kelvaro"), QStringLiteral("kelvaro-render")})
            QVERIFY2(QFileInfo(Installed(QStringLiteral("bin/") + program)).isExecutable(),
                     qPrintable(program));
        const Run version =
            RunProgram(Installed(QStringLiteral("bin/kelvaro")), {QStringLiteral("--version")});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.output, QStringLiteral("Kelvaro " KELVARO_VERSION "\n"));
    }

    void desktopEntry() {
        const QString path =
            Installed(QStringLiteral("share/applications/%1.desktop").arg(DesktopId));
        const Run validate = RunProgram(QStringLiteral("desktop-file-validate"), {path});
        QVERIFY2(validate.exitCode == 0 && validate.output.isEmpty(), qPrintable(validate.output));
        const QMap<QString, QString> entry = DesktopEntry(path);
        QCOMPARE(entry.value(QStringLiteral("Exec")), QStringLiteral("kelvaro %f"));
        QCOMPARE(entry.value(QStringLiteral("Icon")), DesktopId);
        QCOMPARE(entry.value(QStringLiteral("Categories")), QStringLiteral("Graphics;2DGraphics;"));
        for (const char* key : {"Name", "Comment"}) {
            QVERIFY(!entry.value(QLatin1String(key)).isEmpty());
            QVERIFY(!entry.value(QLatin1String(key) + QStringLiteral("[ja]")).isEmpty());
        }
        // Every picture type offered to file managers is one the editor can open.
        const QStringList types =
            entry.value(QStringLiteral("MimeType")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        QVERIFY(types.contains(QStringLiteral("image/jpeg")));
        const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
        for (const QString& type : types)
            QVERIFY2(readable.contains(type.toUtf8()), qPrintable(type));
    }

    void icons() {
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QImage icon(Installed(
                QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(DesktopId)));
            QCOMPARE(icon.size(), QSize(size, size));
            QVERIFY(icon.hasAlphaChannel());
        }
    }

    void metainfo() {
        const QString path =
            Installed(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(DesktopId));
        const Run validate =
            RunProgram(QStringLiteral("appstreamcli"),
                       {QStringLiteral("validate"), QStringLiteral("--no-net"), path});
        QVERIFY2(validate.exitCode == 0, qPrintable(validate.output));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray xml = file.readAll();
        QVERIFY(
            xml.contains("<launchable type=\"desktop-id\">" + DesktopId.toUtf8() + ".desktop<"));
        QVERIFY(xml.contains("<screenshot type=\"default\">"));
        QVERIFY(xml.contains("<release version=\"" KELVARO_VERSION "\""));
    }

    // The pages are gzip-compressed as Debian wants them: the best compression (the header's
    // XFL byte 2), no file name and no timestamp, and no uncompressed copy beside them.
    void manualPages() {
        for (const QString& program :
             {QStringLiteral("kelvaro"), QStringLiteral("kelvaro-render")}) {
            const QString path = Installed(QStringLiteral("share/man/man1/%1.1").arg(program));
            QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
            QFile page(path + QStringLiteral(".gz"));
            QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(page.fileName()));
            const QByteArray header = page.read(10);
            QCOMPARE(header.size(), 10);
            QCOMPARE(header.left(3), QByteArray("\x1f\x8b\x08"));
            QCOMPARE(header[3] & 0x08, 0);                   // FNAME: no original file name
            QCOMPARE(header.mid(4, 4), QByteArray(4, '\0')); // MTIME: no timestamp
            QCOMPARE(header[8], '\x02');                     // XFL: maximum compression
            const Run unzip =
                RunProgram(QStringLiteral("gzip"), {QStringLiteral("-dc"), page.fileName()});
            QCOMPARE(unzip.exitCode, 0);
            const QString& text = unzip.output;
            QVERIFY(text.startsWith(QStringLiteral(".\\\" DO NOT MODIFY")) ||
                    text.contains(QStringLiteral(".TH ")));
            QVERIFY2(text.contains(QStringLiteral(".SH NAME\n") + program + QStringLiteral(" \\-")),
                     qPrintable(text.left(400)));
            QVERIFY(!text.contains(QStringLiteral(BUILD_DIR))); // no build paths in the synopsis
        }
    }

    // The installed renderer writes a video through the module installed beside it, and without
    // that module says so in one line and writes nothing, whatever the build tree holds.
    void videoThroughTheInstalledModule() {
        const QString renderer = Installed(QStringLiteral("bin/kelvaro-render"));
        const QString module = Installed(QStringLiteral(INSTALLED_MP4_MODULE));
        QVERIFY2(QFileInfo::exists(module), qPrintable(module));
        const QString out = Installed(QStringLiteral("videos"));
        QVERIFY(QDir().mkpath(out));
        const auto render = [&](const QString& name) {
            return RunProgram(renderer, {QStringLiteral(KELVARO_DATA_DIR "/coffee-640x480.jpg"),
                                         QStringLiteral("--depth"),
                                         QStringLiteral(KELVARO_DATA_DIR "/coffee-depth.png"),
                                         QStringLiteral("--size"), QStringLiteral("1/4"),
                                         QStringLiteral("-o"), out + QLatin1Char('/') + name});
        };
        const Run written = render(QStringLiteral("sway.mp4"));
        QVERIFY2(written.exitCode == 0, qPrintable(written.output));
        QFile video(out + QStringLiteral("/sway.mp4"));
        QVERIFY(video.open(QIODevice::ReadOnly));
        QCOMPARE(video.read(8).mid(4), QByteArray("ftyp"));

        QVERIFY(QFile::rename(module, module + QStringLiteral(".away")));
        const auto restore =
            qScopeGuard([&] { QFile::rename(module + QStringLiteral(".away"), module); });
        const Run refused = render(QStringLiteral("none.mp4"));
        QCOMPARE(refused.exitCode, 1);
        const QString line = refused.output.trimmed();
        QVERIFY2(line.contains(QStringLiteral("MP4 output is not available: ")) &&
                     line.contains(module) && !line.contains(QLatin1Char('\n')),
                 qPrintable(refused.output));
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("sway.mp4")});
    }

    // Debian's copyright file names the licence and points to the system's copy of its text
    // rather than carrying it; the changelog beside it has an entry for this version.
    void debianDocumentation() {
        QFile copyright(Installed(QStringLiteral("share/doc/kelvaro/copyright")));
        QVERIFY(copyright.open(QIODevice::ReadOnly));
        const QByteArray text = copyright.readAll();
        QVERIFY(text.contains("\nLicense: GPL-3+\n"));
        QVERIFY(text.contains("\"/usr/share/common-licenses/GPL-3\""));
        QVERIFY(!text.contains("TERMS AND CONDITIONS"));
        const Run changelog =
            RunProgram(QStringLiteral("gzip"),
                       {QStringLiteral("-dc"),
                        Installed(QStringLiteral("share/doc/kelvaro/changelog.Debian.gz"))});
        QCOMPARE(changelog.exitCode, 0);
        QVERIFY2(changelog.output.startsWith(QStringLiteral("kelvaro (" KELVARO_VERSION "-1) ")),
                 qPrintable(changelog.output));
    }
};

QTEST_GUILESS_MAIN(InstallTest)
#include "tst_install.moc"
