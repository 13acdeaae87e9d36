#include "app/render/RenderCommand.h"

#include "app/language/Language.h"
#include "depth/DepthPalette.h"
#include "gif/FrameSynthesis.h"
#include "imaging/FileNames.h"

#include "JapaneseText.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <optional>

using namespace kelvaro;

using kelvaro::testing::HasJapanese;

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run Render(const QStringList& arguments, bool progressLine = false) {
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = RunRender(arguments, out, err, progressLine);
    return run;
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The frames RunRender must produce for a picture file and an optional map file.
std::vector<ImageHandle> Expected(const QString& picture, const QString& map,
                                  SwayDirection direction) {
    const QImage image = QImage(picture).convertToFormat(QImage::Format_RGB32);
    DepthMap depth;
    if (!depth.Create(image.width(), image.height()))
        return {};
    if (!map.isEmpty())
        depth.surface() = QImage(map).convertToFormat(QImage::Format_RGB32);
    return RenderSwayFrames(ImageHandle(image), depth, direction);
}

// Names in a folder that look like temporary leftovers of a write.
QStringList Leftovers(const QString& folder) {
    return QDir(folder)
        .entryList(QDir::Hidden | QDir::AllEntries | QDir::NoDotAndDotDot)
        .filter(QStringLiteral("kelvaro-"));
}

QImage Gradient(int w, int h) {
    QImage picture(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            picture.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x ^ y) & 0xff));
    return picture;
}

// A base-level map with a raised disc and a fixed band.
QImage PaintedMap(int w, int h) {
    QImage map(w, h, QImage::Format_RGB32);
    map.fill(ArgbFromColorref(DepthPalette[BaseLevel]));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if ((x - w / 2) * (x - w / 2) + (y - h / 2) * (y - h / 2) < (h / 4) * (h / 4))
                map.setPixel(x, y, ArgbFromColorref(DepthPalette[0]));
            else if (y > h - 20)
                map.setPixel(x, y, ArgbFromColorref(DepthPalette[FixedLevel]));
        }
    return map;
}

// A grey depth image with every grey from black to white, 16 bits, in rings and a ramp.
QImage GreyDepth(int w, int h) {
    QImage grey(w, h, QImage::Format_Grayscale16);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<quint16*>(grey.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = quint16((x * 65535 / (w - 1) + (x * y % 97) * 300) % 65536);
    }
    return grey;
}

// The palette map the grey import must give, written out from its rule independently of the
// program: L = 7 - round(7 v), or 7 - round(7 (1 - v)) when black is near.
QImage PaletteMapByRule(const QImage& grey, bool blackNear) {
    QImage map(grey.size(), QImage::Format_RGB32);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x) {
            const double v = reinterpret_cast<const quint16*>(grey.constScanLine(y))[x] / 65535.0;
            const int level = 7 - int(std::lround(7 * (blackNear ? 1 - v : v)));
            map.setPixel(x, y, ArgbFromColorref(DepthPalette[size_t(level)]));
        }
    return map;
}

// The program itself, as a user runs it: its standard output and error, and its exit status.
Run RenderProgram(const QStringList& arguments, const QString& language = QString(),
                  const QString& workingDirectory = QString()) {
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("KELVARO_LANG"));
    if (!language.isEmpty())
        environment.insert(QStringLiteral("KELVARO_LANG"), language);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KELVARO_RENDER_PATH), arguments);
    Run run;
    if (!process.waitForFinished(60000))
        return run;
    run.status = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QStringList FrameFiles(const QString& dir) {
    QStringList files;
    for (int k = 0; k < FrameCount; ++k)
        files << dir + QStringLiteral("/frame-%1.png").arg(k);
    return files;
}

// The program under limits set in its own process: within 10 s it ends, by itself, with a
// GIF or with one line.
struct Limited {
    int status = -1;
    bool crashed = false;
    QStringList lines;
};
Limited RunLimited(const QStringList& arguments, const std::function<void()>& limit,
                   const QStringList& environment = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& e : environment)
        env.insert(e.section(QLatin1Char('='), 0, 0), e.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    process.setChildProcessModifier(limit);
    process.start(QStringLiteral(KELVARO_RENDER_PATH), arguments);
    Limited run;
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitCode();
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.lines = QString::fromUtf8(process.readAllStandardError())
                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return run;
}

// The exit status of a child that could not take on another user.
constexpr int SwitchUserFailed = 99;

// A user id no process on the machine runs under (by its real, effective, saved or file-system
// id), and no account has; nullopt when none of the candidates is free.
std::optional<uid_t> UnusedUserId() {
    QSet<uint> used;
    const QStringList processes =
        QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : processes) {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly))
            continue; // not a process, or one that has ended
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("Uid:"))
                for (const QByteArray& id : line.mid(4).simplified().split(' '))
                    used.insert(id.toUInt());
    }
    for (uid_t candidate = 64000; candidate < 65000; ++candidate)
        if (!used.contains(uint(candidate)) && !::getpwuid(candidate) && !::getgrgid(candidate))
            return candidate;
    return std::nullopt;
}

} // namespace

class TestRender : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    // In-process runs speak English, as the program does by default.
    std::optional<Translations> english_;
    QString picture_;
    QString map_;

    QString path(const QString& name) const { return dir_.filePath(name); }

private slots:
    void initTestCase() {
        english_.emplace(Language::English);
        QVERIFY(english_->complete());
        QVERIFY(dir_.isValid());
        picture_ = path(QStringLiteral("photo.png"));
        map_ = path(QStringLiteral("map.bmp"));
        QVERIFY(Gradient(260, 210).save(picture_));
        QVERIFY(PaintedMap(260, 210).save(map_));
        QFile text(path(QStringLiteral("notes.txt")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a picture\n");
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("arguments");
        const QString pic = QStringLiteral("photo.png");
        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("no picture") << QStringList{QStringLiteral("-o"), QStringLiteral("a.gif")};
        QTest::newRow("-o with two pictures")
            << QStringList{pic, pic, QStringLiteral("-o"), QStringLiteral("a.gif")};
        QTest::newRow("unknown option")
            << QStringList{pic, QStringLiteral("--speed"), QStringLiteral("2")};
        QTest::newRow("bad sway") << QStringList{pic, QStringLiteral("--sway"),
                                                 QStringLiteral("diagonal"), QStringLiteral("-o"),
                                                 QStringLiteral("a.gif")};
        QTest::newRow("bad size") << QStringList{pic, QStringLiteral("--size=3/4"),
                                                 QStringLiteral("-o"), QStringLiteral("a.gif")};
        QTest::newRow("missing value") << QStringList{pic, QStringLiteral("-o")};
        QTest::newRow("both depth kinds") << QStringList{pic,
                                                         QStringLiteral("--depth"),
                                                         QStringLiteral("m.bmp"),
                                                         QStringLiteral("--depth-grey"),
                                                         QStringLiteral("g.png"),
                                                         QStringLiteral("-o"),
                                                         QStringLiteral("a.gif")};
        QTest::newRow("black-near without grey") << QStringList{
            pic, QStringLiteral("--black-near"), QStringLiteral("-o"), QStringLiteral("a.gif")};
        QTest::newRow("threshold out of range") << QStringList{pic,
                                                               QStringLiteral("--depth-grey"),
                                                               QStringLiteral("g.png"),
                                                               QStringLiteral("--fixed-below=256"),
                                                               QStringLiteral("-o"),
                                                               QStringLiteral("a.gif")};
        QTest::newRow("option twice")
            << QStringList{pic, QStringLiteral("-o"), QStringLiteral("a.gif"), QStringLiteral("-o"),
                           QStringLiteral("b.gif")};
        QTest::newRow("unknown extension")
            << QStringList{pic, QStringLiteral("-o"), QStringLiteral("a.png")};
        QTest::newRow("-o -") << QStringList{pic, QStringLiteral("-o"), QStringLiteral("-")};
        QTest::newRow("quality for a gif") << QStringList{
            pic, QStringLiteral("--quality=50"), QStringLiteral("-o"), QStringLiteral("a.gif")};
        QTest::newRow("quality out of range") << QStringList{
            pic, QStringLiteral("--quality=101"), QStringLiteral("-o"), QStringLiteral("a.webp")};
        QTest::newRow("--depth with two pictures")
            << QStringList{pic, pic, QStringLiteral("--depth"), QStringLiteral("map.bmp")};
        QTest::newRow("unknown language")
            << QStringList{pic, QStringLiteral("--lang"), QStringLiteral("fr")};
        QTest::newRow("no jobs") << QStringList{pic, QStringLiteral("-j"), QStringLiteral("0")};
        QTest::newRow("bad max side")
            << QStringList{pic, QStringLiteral("--max-side"), QStringLiteral("big")};
        QTest::newRow("two pictures, one output") << QStringList{pic, QStringLiteral("./") + pic};
        // After --, even a name that looks like an option is a picture.
        QTest::newRow("-- then no output name")
            << QStringList{QStringLiteral("-o"), QStringLiteral("a.gif"), QStringLiteral("--"),
                           QStringLiteral("--help"), pic};
    }
    void usageErrors() {
        QFETCH(QStringList, arguments);
        const Run run = Render(arguments);
        QCOMPARE(run.status, RenderExitUsage);
        QVERIFY(run.err.startsWith(QLatin1String("kelvaro-render: ")));
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
        QVERIFY(run.out.isEmpty());
    }

    void helpAndVersion() {
        const Run help = Render({QStringLiteral("--help")});
        QCOMPARE(help.status, RenderExitOk);
        QVERIFY(
            help.out.startsWith(QLatin1String("Usage: kelvaro-render [OPTIONS] PICTURE...\n\n")));
        QVERIFY(help.out.contains(QLatin1String("--max-side <N>")));
        QVERIFY(help.out.contains(QLatin1String("Exit status")));
        QVERIFY(help.err.isEmpty());
        const Run version = Render({QStringLiteral("--version")});
        QCOMPARE(version.status, RenderExitOk);
        QVERIFY(version.out.startsWith(QLatin1String("kelvaro-render ")));
    }

    // The help and every usage error, in both languages, byte for byte as data/usage/en.txt and
    // ja.txt keep them: the program's texts and exit statuses are part of its interface. Each
    // line of cases.txt is one command line; "<empty>" stands for an empty argument.
    void helpAndUsageErrorsAsStored() {
        QFile cases(QStringLiteral(KELVARO_USAGE_DIR "/cases.txt"));
        QVERIFY(cases.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(cases.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(lines.size() > 40);
        const QString folder = path(QStringLiteral("usage"));
        QVERIFY(QDir().mkpath(folder));
        for (const char* name : {"photo.png", "map.gif"}) {
            QFile file(folder + QLatin1Char('/') + QLatin1String(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("x\n");
        }
        for (const QString& language : {QStringLiteral("en"), QStringLiteral("ja")}) {
            QString transcript;
            for (const QString& line : lines) {
                QStringList arguments = line.split(QLatin1Char(' '));
                arguments.removeFirst();
                arguments.replaceInStrings(QRegularExpression(QStringLiteral("^<empty>$")),
                                           QString());
                const Run run = RenderProgram(
                    arguments, language == QLatin1String("ja") ? language : QString(), folder);
                transcript += QStringLiteral("== %1\n-- status %2\n-- stdout\n%3-- stderr\n%4")
                                  .arg(line)
                                  .arg(run.status)
                                  .arg(run.out, run.err);
            }
            QFile stored(QStringLiteral(KELVARO_USAGE_DIR "/") + language + QStringLiteral(".txt"));
            QVERIFY(stored.open(QIODevice::ReadOnly));
            const QStringList expected =
                QString::fromUtf8(stored.readAll()).split(QLatin1Char('\n'));
            const QStringList actual = transcript.split(QLatin1Char('\n'));
            for (qsizetype i = 0; i < std::min(expected.size(), actual.size()); ++i)
                QCOMPARE(actual[i], expected[i]);
            QCOMPARE(actual.size(), expected.size());
        }
    }

    void failures_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("mentions");
        const QString notes = path(QStringLiteral("notes.txt"));
        const QString frames = path(QStringLiteral("unused"));
        QTest::newRow("picture does not decode")
            << QStringList{notes, QStringLiteral("--frames-dir"), frames} << notes;
        QTest::newRow("picture missing")
            << QStringList{path(QStringLiteral("none.png")), QStringLiteral("--frames-dir"), frames}
            << path(QStringLiteral("none.png"));
        QTest::newRow("depth map does not decode")
            << QStringList{picture_, QStringLiteral("--depth"), notes,
                           QStringLiteral("--frames-dir"), frames}
            << notes;
        // A folder cannot be made below a plain file, whoever runs the test.
        QTest::newRow("frames folder unwritable")
            << QStringList{picture_, QStringLiteral("--frames-dir"), notes + QStringLiteral("/out")}
            << notes + QStringLiteral("/out");
        QTest::newRow("gif unwritable")
            << QStringList{picture_, QStringLiteral("-o"), notes + QStringLiteral("/a.gif")}
            << notes + QStringLiteral("/a.gif");
    }
    void failures() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, mentions);
        const Run run = Render(arguments);
        QCOMPARE(run.status, RenderExitFailure);
        QVERIFY2(run.err.contains(mentions), qPrintable(run.err));
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
        QVERIFY(!QFile::exists(path(QStringLiteral("unused"))));
    }

    // The motion's values outside their ranges are usage errors that name the range.
    void motionValuesOutOfRange_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("names");
        const auto row = [](const char* tag, const char* option, const char* value,
                            const char* names) {
            QTest::newRow(tag) << QStringList{QStringLiteral("photo.png"), QLatin1String(option),
                                              QLatin1String(value)}
                               << QString::fromLatin1(names);
        };
        row("too few frames", "--frames", "3",
            "--frames must be a whole number from 4 to 48, not 3");
        row("too many frames", "--frames", "49", "from 4 to 48, not 49");
        row("fractional frames", "--frames", "8.5", "from 4 to 48, not 8.5");
        row("angle too small", "--angle", "0.49",
            "--angle must be a number from 0.5 to 15, not 0.49");
        row("angle too large", "--angle", "15.01", "from 0.5 to 15, not 15.01");
        row("angle not a number", "--angle", "nan", "from 0.5 to 15, not nan");
        row("angle infinite", "--angle", "inf", "from 0.5 to 15, not inf");
        row("angle a word", "--angle", "wide", "from 0.5 to 15, not wide");
        row("pivot below", "--pivot", "-1", "--pivot must be a whole number from 0 to 7, not -1");
        row("pivot above", "--pivot", "8", "from 0 to 7, not 8");
        row("delay too short", "--delay", "19", "--delay must be a whole number from 20 to 1000");
        row("delay too long", "--delay", "1001", "from 20 to 1000, not 1001");
        row("unknown hole fill", "--hole-fill", "near",
            "--hole-fill must be previous or far, not near");
    }
    void motionValuesOutOfRange() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, names);
        const Run run = Render(arguments);
        QCOMPARE(run.status, RenderExitUsage);
        QVERIFY2(run.err.contains(names), qPrintable(run.err));
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
    }

    // Frames, angle, pivot, delay and hole fill reach the frames folder and the GIF: as many
    // frames as asked, each exactly as the synthesis draws it with those options, each shown for
    // the delay; frames beyond the count are not written.
    void motionOptionsReachTheOutputs() {
        const QString frames = path(QStringLiteral("motion-frames"));
        const QString gif = path(QStringLiteral("motion.gif"));
        const Run run =
            Render({picture_, QStringLiteral("--depth"), map_, QStringLiteral("--frames"),
                    QStringLiteral("12"), QStringLiteral("--angle"), QStringLiteral("5.5"),
                    QStringLiteral("--pivot"), QStringLiteral("3"), QStringLiteral("--delay"),
                    QStringLiteral("114"), QStringLiteral("--hole-fill"), QStringLiteral("far"),
                    QStringLiteral("--sway=vertical"), QStringLiteral("--frames-dir"), frames,
                    QStringLiteral("-o"), gif});
        QCOMPARE(run.status, RenderExitOk);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));

        SwayOptions sway;
        sway.frames = 12;
        sway.angle = 5.5;
        sway.pivot = 3;
        sway.delayMs = 114;
        sway.holeFill = HoleFill::Far;
        DepthMap depth;
        QVERIFY(depth.Create(260, 210));
        depth.surface() = QImage(map_).convertToFormat(QImage::Format_RGB32);
        const auto expected =
            RenderSwayFrames(ImageHandle(QImage(picture_).convertToFormat(QImage::Format_RGB32)),
                             depth, SwayDirection::Vertical, sway);
        QCOMPARE(int(expected.size()), 12);
        for (int k = 0; k < 12; ++k)
            QCOMPARE(QImage(frames + QStringLiteral("/frame-%1.png").arg(k)),
                     expected[size_t(k)].image());
        QVERIFY(!QFile::exists(frames + QStringLiteral("/frame-12.png")));
        // Not the default motion.
        QVERIFY(QImage(frames + QStringLiteral("/frame-3.png")) !=
                Expected(picture_, map_, SwayDirection::Vertical)[2].image());

        QImageReader reader(gif);
        QCOMPARE(reader.imageCount(), 12);
        for (int k = 0; k < 12; ++k) {
            QImage frame;
            QVERIFY(reader.read(&frame));
            QCOMPARE(reader.nextImageDelay(), 110); // hundredths of a second, rounded
        }
    }

    void framesAndGif() {
        const QString frames = path(QStringLiteral("frames/deeper"));
        const QString gif = path(QStringLiteral("out.gif"));
        const Run run =
            Render({picture_, QStringLiteral("--depth"), map_, QStringLiteral("--sway"),
                    QStringLiteral("vertical"), QStringLiteral("--size"), QStringLiteral("1/2"),
                    QStringLiteral("--frames-dir"), frames, QStringLiteral("-o"), gif});
        QCOMPARE(run.status, RenderExitOk);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));

        // The frames are exactly the rendered ones, as 8-bit RGB.
        DepthMap depth;
        QVERIFY(depth.Create(260, 210));
        depth.surface() = QImage(map_).convertToFormat(QImage::Format_RGB32);
        const auto expected =
            RenderSwayFrames(ImageHandle(QImage(picture_).convertToFormat(QImage::Format_RGB32)),
                             depth, SwayDirection::Vertical);
        for (int k = 0; k < 8; ++k) {
            const QImage frame(frames + QStringLiteral("/frame-%1.png").arg(k));
            QCOMPARE(frame.format(), QImage::Format_RGB32);
            QCOMPARE(frame, expected[size_t(k)].image());
        }
        QVERIFY(!QFile::exists(frames + QStringLiteral("/frame-8.png")));

        QImageReader reader(gif);
        QCOMPARE(reader.format(), QByteArray("gif"));
        QCOMPARE(reader.imageCount(), 8);
        QCOMPARE(reader.size(), QSize(130, 105));
    }

    // --depth-grey renders exactly what --depth renders with the palette map the rule gives.
    void greyDepthMatchesTheEquivalentPaletteMap() {
        const QImage grey = GreyDepth(260, 210);
        const QString greyPath = path(QStringLiteral("grey16.png"));
        QVERIFY(grey.save(greyPath));
        for (const bool blackNear : {false, true}) {
            const QString tag = blackNear ? QStringLiteral("black") : QStringLiteral("white");
            const QString mapPath = path(tag + QStringLiteral("-rule.bmp"));
            QVERIFY(PaletteMapByRule(grey, blackNear).save(mapPath));
            const QString byMap = path(tag + QStringLiteral("-by-map"));
            const QString byGrey = path(tag + QStringLiteral("-by-grey"));
            QStringList greyArguments = {picture_, QStringLiteral("--depth-grey"), greyPath,
                                         QStringLiteral("--frames-dir"), byGrey};
            if (blackNear)
                greyArguments << QStringLiteral("--black-near");
            const Run fromGrey = Render(greyArguments);
            QCOMPARE(fromGrey.status, RenderExitOk);
            QVERIFY2(fromGrey.err.isEmpty(), qPrintable(fromGrey.err));
            const Run fromMap = Render({picture_, QStringLiteral("--depth"), mapPath,
                                        QStringLiteral("--frames-dir"), byMap});
            QCOMPARE(fromMap.status, RenderExitOk);
            QVERIFY2(fromMap.err.isEmpty(), qPrintable(fromMap.err));
            for (int k = 0; k < FrameCount; ++k)
                QCOMPARE(QImage(FrameFiles(byGrey)[k]), QImage(FrameFiles(byMap)[k]));
        }
    }

    // --refine-depth moves the map's border onto the picture's edge; --save-depth writes the
    // refined map, which loads back and renders the same frames as the refinement did, as PNG and
    // as BMP; it never lands on an input or on a file that is not a regular one.
    void refinedDepthSavedAndRenderedAgain() {
        QImage picture(200, 120, QImage::Format_RGB32);
        QImage map(200, 120, QImage::Format_RGB32);
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 200; ++x) {
                picture.setPixel(x, y, x < 100 ? qRgb(200, 60, 40) : qRgb(30, 90, 210));
                map.setPixel(x, y, ArgbFromColorref(DepthPalette[x < 106 ? 1 : BaseLevel]));
            }
        const QString picturePath = path(QStringLiteral("edge.png"));
        const QString mapPath = path(QStringLiteral("edge-map.bmp"));
        QVERIFY(picture.save(picturePath));
        QVERIFY(map.save(mapPath));
        for (const QString& saved :
             {path(QStringLiteral("refined.png")), path(QStringLiteral("refined.bmp"))}) {
            const QString refinedFrames = saved + QStringLiteral("-frames");
            const Run refined =
                Render({picturePath, QStringLiteral("--depth"), mapPath,
                        QStringLiteral("--refine-depth"), QStringLiteral("--save-depth"), saved,
                        QStringLiteral("--frames-dir"), refinedFrames});
            QCOMPARE(refined.status, RenderExitOk);
            QVERIFY2(refined.err.isEmpty(), qPrintable(refined.err));
            const QImage back(saved);
            QCOMPARE(back.size(), QSize(200, 120));
            for (const int y : {0, 60, 119}) {
                QCOMPARE(ColorrefFromArgb(back.pixel(99, y)), DepthPalette[1]);
                QCOMPARE(ColorrefFromArgb(back.pixel(100, y)), DepthPalette[BaseLevel]);
            }
            const QString againFrames = saved + QStringLiteral("-again");
            const Run again = Render({picturePath, QStringLiteral("--depth"), saved,
                                      QStringLiteral("--frames-dir"), againFrames});
            QCOMPARE(again.status, RenderExitOk);
            QVERIFY2(again.err.isEmpty(), qPrintable(again.err));
            for (int k = 0; k < FrameCount; ++k)
                QCOMPARE(QImage(FrameFiles(againFrames)[k]), QImage(FrameFiles(refinedFrames)[k]));
        }
        // Without --refine-depth the map is saved as it was read; a radius moves less.
        const QString plain = path(QStringLiteral("plain.png"));
        QCOMPARE(
            Render({picturePath, QStringLiteral("--depth"), mapPath, QStringLiteral("--save-depth"),
                    plain, QStringLiteral("--frames-dir"), path(QStringLiteral("plain-frames"))})
                .status,
            RenderExitOk);
        QCOMPARE(ColorrefFromArgb(QImage(plain).pixel(103, 5)), DepthPalette[1]);
        const QString near = path(QStringLiteral("near.png"));
        QCOMPARE(Render({picturePath, QStringLiteral("--depth"), mapPath,
                         QStringLiteral("--refine-depth"), QStringLiteral("--refine-radius"),
                         QStringLiteral("3"), QStringLiteral("--save-depth"), near,
                         QStringLiteral("--frames-dir"), path(QStringLiteral("near-frames"))})
                     .status,
                 RenderExitOk);
        QCOMPARE(ColorrefFromArgb(QImage(near).pixel(101, 5)), DepthPalette[1]);
        // Onto the map it reads: refused before anything is written.
        const QByteArray mapBytes = [&] {
            QFile f(mapPath);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        const Run onto = Render({picturePath, QStringLiteral("--depth"), mapPath,
                                 QStringLiteral("--save-depth"), mapPath});
        QCOMPARE(onto.status, RenderExitUsage);
        QFile f(mapPath);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), mapBytes);
        // A FIFO is left alone.
        const QString fifo = path(QStringLiteral("depth-fifo.png"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const Run toFifo =
            Render({picturePath, QStringLiteral("--depth"), mapPath, QStringLiteral("--save-depth"),
                    fifo, QStringLiteral("-o"), path(QStringLiteral("fifo-run.gif"))});
        QCOMPARE(toFifo.status, RenderExitFailure);
        QVERIFY2(toFifo.err.contains(QLatin1String("not a regular file")), qPrintable(toFifo.err));
    }

    // A map of another size and a map with colours that are no level still render (exit 0) but
    // each say so in exactly one warning line.
    void mapFileWarnings() {
        QImage offPalette = PaintedMap(260, 210);
        offPalette.setPixel(3, 3, qRgb(128, 128, 128));
        offPalette.setPixel(4, 3, qRgb(129, 128, 128));
        const QString offPath = path(QStringLiteral("off-palette.png"));
        QVERIFY(offPalette.save(offPath));
        const QString smallPath = path(QStringLiteral("small-map.bmp"));
        QVERIFY(PaintedMap(130, 100).save(smallPath));

        const Run off = Render({picture_, QStringLiteral("--depth"), offPath,
                                QStringLiteral("--frames-dir"), path(QStringLiteral("off"))});
        QCOMPARE(off.status, RenderExitOk);
        QCOMPARE(off.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(off.err.contains(QLatin1String(" 2 pixels")), qPrintable(off.err));
        QVERIFY(off.err.contains(QLatin1String("--depth-grey")));

        const Run small = Render({picture_, QStringLiteral("--depth"), smallPath,
                                  QStringLiteral("--frames-dir"), path(QStringLiteral("small"))});
        QCOMPARE(small.status, RenderExitOk);
        QCOMPARE(small.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(small.err.contains(QLatin1String("130 x 100")) &&
                     small.err.contains(QLatin1String("260 x 210")),
                 qPrintable(small.err));
        QVERIFY(QFile::exists(path(QStringLiteral("small/frame-7.png"))));
    }

    void maxSide() {
        const QString big = path(QStringLiteral("wide.png"));
        QVERIFY(Gradient(1280, 300).save(big));
        Run run = Render({big, QStringLiteral("--frames-dir"), path(QStringLiteral("wide"))});
        QCOMPARE(run.status, RenderExitOk);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err)); // nothing is printed on success
        QCOMPARE(QImage(path(QStringLiteral("wide/frame-0.png"))).size(), QSize(640, 150));
        run = Render({big, QStringLiteral("--max-side=1000"), QStringLiteral("--size=1/2"),
                      QStringLiteral("-o"), path(QStringLiteral("wide.gif"))});
        QCOMPARE(run.status, RenderExitOk);
        QCOMPARE(QImageReader(path(QStringLiteral("wide.gif"))).size(), QSize(500, 117));
    }

    // No output may replace an input, by whatever name it is reached.
    void outputOntoAnInput() {
        const QString still = path(QStringLiteral("still.webp"));
        QVERIFY(Gradient(40, 30).save(still, "webp", 100));
        const QByteArray before = Contents(still);
        QVERIFY(QFile::link(still, path(QStringLiteral("link.webp"))));
        QVERIFY(::link(QFile::encodeName(still).constData(),
                       QFile::encodeName(path(QStringLiteral("hard.webp"))).constData()) == 0);
        QVERIFY(QFile::link(map_, path(QStringLiteral("map-link.gif"))));
        QDir(dir_.path()).mkdir(QStringLiteral("inside"));
        QVERIFY(QFile::copy(picture_, path(QStringLiteral("inside/frame-2.png"))));

        const QString dotted = dir_.path() + QStringLiteral("/./inside/../still.webp");
        const QList<QStringList> runs = {
            {still, QStringLiteral("-o"), dotted},
            {still, QStringLiteral("-o"), path(QStringLiteral("link.webp"))},
            {still, QStringLiteral("-o"), path(QStringLiteral("hard.webp"))},
            {picture_, QStringLiteral("--depth"), map_, QStringLiteral("-o"),
             path(QStringLiteral("map-link.gif"))},
            {path(QStringLiteral("inside/frame-2.png")), QStringLiteral("--frames-dir"),
             path(QStringLiteral("inside"))},
            // In a batch, one picture's output on another's input spoils the whole run.
            {picture_, path(QStringLiteral("hard.webp")), QStringLiteral("--format=webp"),
             QStringLiteral("--out-dir"), dir_.path()},
        };
        for (const QStringList& arguments : runs) {
            const Run run = Render(arguments);
            QCOMPARE(run.status, RenderExitUsage);
            QVERIFY2(run.err.contains(QLatin1String("overwrite")), qPrintable(run.err));
        }
        QCOMPARE(Contents(still), before);
        QCOMPARE(QImage(path(QStringLiteral("inside/frame-2.png"))), QImage(picture_));
        QVERIFY(!QFile::exists(path(QStringLiteral("photo.webp"))));
    }

    void targetsThatAreNoRegularFile() {
        const QString fifo = path(QStringLiteral("fifo.gif"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QStringList targets = {fifo, path(QStringLiteral("folder.gif"))};
        QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("folder.gif")));
        const QString device = path(QStringLiteral("null.webp"));
        if (::geteuid() == 0) {
            QVERIFY(::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) ==
                    0);
            targets.append(device);
        }
        for (const QString& target : targets) {
            const Run run = Render({picture_, QStringLiteral("-o"), target});
            QCOMPARE(run.status, RenderExitFailure);
            QVERIFY2(run.err.contains(QLatin1String("not a regular file")), qPrintable(run.err));
        }
        struct stat s {};
        QVERIFY(::stat(QFile::encodeName(fifo).constData(), &s) == 0 && S_ISFIFO(s.st_mode));
        QVERIFY(QFileInfo(path(QStringLiteral("folder.gif"))).isDir());
        if (::geteuid() == 0)
            QVERIFY(::stat(QFile::encodeName(device).constData(), &s) == 0 && S_ISCHR(s.st_mode));
        else
            qInfo("device-node target not tried: mknod needs root");
    }

    // --no-clobber refuses only what exists: fresh outputs and frames go through.
    void noClobber() {
        const QString gif = path(QStringLiteral("kept.gif"));
        QVERIFY(Render({picture_, QStringLiteral("-o"), gif}).status == RenderExitOk);
        const QByteArray before = Contents(gif);
        const Run run = Render({picture_, QStringLiteral("--sway=vertical"),
                                QStringLiteral("--no-clobber"), QStringLiteral("-o"), gif});
        QCOMPARE(run.status, RenderExitFailure);
        QCOMPARE(Contents(gif), before);

        const QString fresh = path(QStringLiteral("fresh.gif"));
        const QString frames = path(QStringLiteral("fresh-frames"));
        const QString empty = path(QStringLiteral("empty-frames"));
        QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("empty-frames")));
        for (const QStringList& arguments :
             {QStringList{QStringLiteral("-o"), fresh, QStringLiteral("--frames-dir"), frames},
              QStringList{QStringLiteral("--frames-dir"), empty}}) {
            const Run written =
                Render(QStringList{picture_, QStringLiteral("--no-clobber")} + arguments);
            QCOMPARE(written.status, RenderExitOk);
            QVERIFY2(written.err.isEmpty(), qPrintable(written.err));
        }
        QCOMPARE(QImageReader(fresh).imageCount(), FrameCount);
        const auto expected = Expected(picture_, {}, SwayDirection::Horizontal);
        for (const QString& folder : {frames, empty})
            for (int k = 0; k < FrameCount; ++k)
                QCOMPARE(QImage(FrameFiles(folder)[k]), expected[size_t(k)].image());
        // Now that they exist, the same run is refused and leaves them.
        const QByteArray first = Contents(FrameFiles(empty)[0]);
        const Run again =
            Render({picture_, QStringLiteral("--no-clobber"), QStringLiteral("--sway=vertical"),
                    QStringLiteral("--frames-dir"), empty});
        QCOMPARE(again.status, RenderExitFailure);
        QCOMPARE(again.err.count(QLatin1Char('\n')), 1);
        QCOMPARE(Contents(FrameFiles(empty)[0]), first);
    }

    // Names as users give them, through the program's own arguments: several dots (only the last
    // one starts the extension) and full-width forms, whose UTF-8 is led by 0xEF. The maps come
    // from --depth-dir by the whole name before the extension, the frames go into folders of that
    // name, and the outputs and messages carry the names as given.
    void namesWithSeveralDotsAndFullWidthForms() {
        const QString folder = path(QStringLiteral("名前"));
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("名前/maps")));
        const QString dotted = folder + QStringLiteral("/my.photo.jpg");
        const QString wide = folder + QStringLiteral("/写真（１）.v2.png");
        const QString broken = folder + QStringLiteral("/メモ（２）.png");
        QVERIFY(Gradient(120, 90).save(dotted, "jpg", 100));
        QVERIFY(Gradient(100, 80).mirrored().save(wide));
        QVERIFY(QFile::copy(path(QStringLiteral("notes.txt")), broken));
        const QString dottedMap = folder + QStringLiteral("/maps/my.photo.bmp");
        const QString wideMap = folder + QStringLiteral("/maps/写真（１）.v2.bmp");
        QVERIFY(PaintedMap(120, 90).save(dottedMap));
        QVERIFY(PaintedMap(100, 80).mirrored(true, false).save(wideMap));
        // Maps a name cut at its first dot would take instead.
        QImage raised(120, 90, QImage::Format_RGB32);
        raised.fill(ArgbFromColorref(DepthPalette[0]));
        QVERIFY(raised.save(folder + QStringLiteral("/maps/my.bmp")));
        QVERIFY(raised.save(folder + QStringLiteral("/maps/写真（１）.bmp")));

        const Run batch =
            RenderProgram({dotted, broken, wide, QStringLiteral("--depth-dir"),
                           folder + QStringLiteral("/maps"), QStringLiteral("--frames-dir"),
                           folder + QStringLiteral("/frames"), QStringLiteral("--format=gif")});
        QCOMPARE(batch.status, RenderExitFailure);
        QCOMPARE(batch.err, QStringLiteral("kelvaro-render: cannot open the picture %1: not a "
                                           "picture format that can be read\n")
                                .arg(broken));
        QStringList written = QDir(folder).entryList(QDir::Files);
        written.sort();
        QCOMPARE(written,
                 (QStringList{QStringLiteral("my.photo.gif"), QStringLiteral("my.photo.jpg"),
                              QStringLiteral("メモ（２）.png"), QStringLiteral("写真（１）.v2.gif"),
                              QStringLiteral("写真（１）.v2.png")}));
        QCOMPARE(
            QDir(folder + QStringLiteral("/frames")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
            (QStringList{QStringLiteral("my.photo"), QStringLiteral("写真（１）.v2")}));
        const auto framesDotted = Expected(dotted, dottedMap, SwayDirection::Horizontal);
        const auto framesWide = Expected(wide, wideMap, SwayDirection::Horizontal);
        for (int k : {2, 6}) {
            QCOMPARE(QImage(folder + QStringLiteral("/frames/my.photo/frame-%1.png").arg(k)),
                     framesDotted[size_t(k)].image());
            QCOMPARE(QImage(folder + QStringLiteral("/frames/写真（１）.v2/frame-%1.png").arg(k)),
                     framesWide[size_t(k)].image());
        }

        // One picture: its output beside it, named after it, and the progress line and the
        // messages show the name as it is.
        QVERIFY(QFile::remove(folder + QStringLiteral("/写真（１）.v2.gif")));
        const Run single =
            RenderProgram({wide, QStringLiteral("--depth-dir"), folder + QStringLiteral("/maps"),
                           QStringLiteral("--size=1/2")});
        QCOMPARE(single.status, RenderExitOk);
        QVERIFY2(single.err.isEmpty(), qPrintable(single.err));
        QCOMPARE(QImageReader(folder + QStringLiteral("/写真（１）.v2.gif")).size(), QSize(50, 40));
        const Run refused = RenderProgram({wide, QStringLiteral("--no-clobber")});
        QCOMPARE(refused.status, RenderExitFailure);
        QVERIFY2(refused.err.contains(folder + QStringLiteral("/写真（１）.v2.gif")),
                 qPrintable(refused.err));
        const Run progress = Render(
            {wide, QStringLiteral("--frames-dir"), path(QStringLiteral("wide-progress"))}, true);
        QCOMPARE(progress.status, RenderExitOk);
        QVERIFY2(progress.err.contains(QStringLiteral("1/1 写真（１）.v2.png")),
                 qPrintable(progress.err));
    }

    void batch() {
        const QString folder = path(QStringLiteral("batch"));
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("batch/maps")));
        const QString a = folder + QStringLiteral("/a.png"), b = folder + QStringLiteral("/b.jpg");
        const QString broken = folder + QStringLiteral("/c.png");
        QVERIFY(Gradient(120, 90).save(a));
        QVERIFY(Gradient(100, 80).mirrored().save(b, "jpg", 100));
        QVERIFY(QFile::copy(path(QStringLiteral("notes.txt")), broken));
        const QString mapA = folder + QStringLiteral("/maps/a.bmp");
        QVERIFY(PaintedMap(120, 90).save(mapA));
        QVERIFY(QFile::copy(path(QStringLiteral("notes.txt")), folder + QStringLiteral("/maps/a")));

        Run run =
            Render({a, broken, b, QStringLiteral("--depth-dir"), folder + QStringLiteral("/maps"),
                    QStringLiteral("--frames-dir"), folder + QStringLiteral("/frames"),
                    QStringLiteral("--format=gif"), QStringLiteral("-j"), QStringLiteral("2")});
        QCOMPARE(run.status, RenderExitFailure);
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(run.err.contains(broken), qPrintable(run.err));
        QCOMPARE(QImageReader(folder + QStringLiteral("/a.gif")).imageCount(), FrameCount);
        QCOMPARE(QImageReader(folder + QStringLiteral("/b.gif")).imageCount(), FrameCount);
        QVERIFY(!QFile::exists(folder + QStringLiteral("/c.gif")));
        // a.png takes its map from the folder; b.jpg has none and lies at the base level.
        const auto framesA = Expected(a, mapA, SwayDirection::Horizontal);
        const auto framesB = Expected(b, {}, SwayDirection::Horizontal);
        for (int k : {2, 6}) {
            QCOMPARE(QImage(folder + QStringLiteral("/frames/a/frame-%1.png").arg(k)),
                     framesA[size_t(k)].image());
            QCOMPARE(QImage(folder + QStringLiteral("/frames/b/frame-%1.png").arg(k)),
                     framesB[size_t(k)].image());
        }

        run = Render({a, b, QStringLiteral("--out-dir"), folder + QStringLiteral("/out"),
                      QStringLiteral("--format"), QStringLiteral("webp")});
        QCOMPARE(run.status, RenderExitOk);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        QCOMPARE(QDir(folder + QStringLiteral("/out")).entryList(QDir::Files),
                 (QStringList{QStringLiteral("a.webp"), QStringLiteral("b.webp")}));
    }

    // A run repeated over its own results does the same again: animations and the run's own
    // outputs are never depth maps. Two real candidates are still refused, naming both and the way
    // out.
    void batchRunsTwice() {
        const QString folder = path(QStringLiteral("again"));
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("again/maps")));
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("again/pictures")));
        const QString cup = folder + QStringLiteral("/cup.png");
        QVERIFY(Gradient(90, 70).save(cup));
        QVERIFY(PaintedMap(90, 70).save(folder + QStringLiteral("/cup.bmp")));
        QStringList pictures;
        for (const char* name : {"a.png", "b.png", "frame-3.png"}) {
            pictures << folder + QStringLiteral("/pictures/") + QLatin1String(name);
            QVERIFY(Gradient(60 + int(pictures.size()) * 10, 50).save(pictures.back()));
            QVERIFY(PaintedMap(60 + int(pictures.size()) * 10, 50)
                        .save(folder + QStringLiteral("/maps/") + QLatin1String(name).chopped(4) +
                              QStringLiteral(".bmp")));
        }
        const QString maps = folder + QStringLiteral("/maps");
        const QStringList runs[] = {
            // The output next to the picture, in the map folder.
            {cup, QStringLiteral("--depth-dir"), folder},
            // A batch writing into its map folder, WebP and frames as well: frame-3.png of the
            // third picture's frames lands beside its map frame-3.bmp.
            {pictures[0], pictures[1], pictures[2], QStringLiteral("--depth-dir"), maps,
             QStringLiteral("--out-dir"), maps, QStringLiteral("--format=webp"),
             QStringLiteral("--lossless")},
            {pictures[2], QStringLiteral("--depth-dir"), maps, QStringLiteral("--frames-dir"), maps,
             QStringLiteral("-o"), folder + QStringLiteral("/f.gif")},
        };
        const auto snapshot = [&] {
            QStringList files;
            for (const QString& sub : {QString(), QStringLiteral("/maps")})
                for (const QString& name : QDir(folder + sub).entryList(QDir::Files))
                    files << sub + QLatin1Char('/') + name + QLatin1Char(' ') +
                                 QString::number(
                                     qHash(Contents(folder + sub + QLatin1Char('/') + name)));
            return files;
        };
        for (const QStringList& arguments : runs) {
            const Run first = Render(arguments);
            QVERIFY2(first.status == RenderExitOk, qPrintable(first.err));
            const QStringList after = snapshot();
            const Run second = Render(arguments);
            QVERIFY2(second.status == RenderExitOk, qPrintable(second.err));
            QVERIFY2(second.err.isEmpty(), qPrintable(second.err));
            QCOMPARE(snapshot(), after);
        }
        QVERIFY(QFile::exists(folder + QStringLiteral("/cup.gif")));
        QVERIFY(QFile::exists(maps + QStringLiteral("/b.webp")));
        // The maps were used: the frames are those of the picture with its map.
        QCOMPARE(QImage(maps + QStringLiteral("/frame-5.png")),
                 Expected(pictures[2], maps + QStringLiteral("/frame-3.bmp"),
                          SwayDirection::Horizontal)[5]
                     .image());

        // Two maps that could both be meant: refused, naming both, the folder and --depth.
        QVERIFY(PaintedMap(90, 70).save(folder + QStringLiteral("/cup.tif")));
        const Run twice = Render({cup, QStringLiteral("--depth-dir"), folder});
        QCOMPARE(twice.status, RenderExitFailure);
        for (const QString& part : {QStringLiteral("cup.bmp"), QStringLiteral("cup.tif"),
                                    QStringLiteral("Keep only one"), QStringLiteral("--depth")})
            QVERIFY2(twice.err.contains(part), qPrintable(twice.err));
        QVERIFY(!twice.err.contains(QStringLiteral("cup.gif")));
    }

    void progressLine() {
        const QString copy = path(QStringLiteral("copy.png"));
        QVERIFY(QFile::copy(picture_, copy));
        const Run run = Render({picture_, copy, QStringLiteral("--frames-dir"),
                                path(QStringLiteral("progress")), QStringLiteral("-j1")},
                               true);
        QCOMPARE(run.status, RenderExitOk);
        QVERIFY2(run.err.contains(QLatin1String("1/2 photo.png")), qPrintable(run.err));
        QVERIFY(run.err.contains(QLatin1String("2/2 copy.png")));
        QVERIFY(run.err.endsWith(QLatin1String("\r\x1b[K"))); // the line is gone at the end
    }

    void framesFolderIsAllOrNothing() {
        const QString frames = path(QStringLiteral("cycle"));
        QCOMPARE(Render({picture_, QStringLiteral("--frames-dir"), frames}).status, RenderExitOk);
        QByteArrayList before;
        for (int k = 0; k < FrameCount; ++k)
            before.append(Contents(frames + QStringLiteral("/frame-%1.png").arg(k)));

        // A folder squats on frame 5's name: the run fails and leaves every old frame.
        const QString squatter = frames + QStringLiteral("/frame-5.png");
        QVERIFY(QFile::remove(squatter));
        QVERIFY(QDir().mkdir(squatter));
        const QStringList vertical = {picture_,
                                      QStringLiteral("--depth"),
                                      map_,
                                      QStringLiteral("--sway=vertical"),
                                      QStringLiteral("--frames-dir"),
                                      frames};
        Run run = Render(vertical);
        QCOMPARE(run.status, RenderExitFailure);
        QVERIFY2(run.err.contains(QLatin1String("frame-5.png")), qPrintable(run.err));
        for (int k = 0; k < FrameCount; ++k)
            if (k != 5)
                QCOMPARE(Contents(frames + QStringLiteral("/frame-%1.png").arg(k)), before[k]);
        QVERIFY(QFileInfo(squatter).isDir());
        QCOMPARE(Leftovers(dir_.path()), QStringList{});

        // Without it, the new frames replace the old ones all together.
        QVERIFY(QDir().rmdir(squatter));
        run = Render(vertical);
        QCOMPARE(run.status, RenderExitOk);
        const auto expected = Expected(picture_, map_, SwayDirection::Vertical);
        for (int k = 0; k < FrameCount; ++k)
            QCOMPARE(QImage(frames + QStringLiteral("/frame-%1.png").arg(k)),
                     expected[size_t(k)].image());
        QCOMPARE(Leftovers(dir_.path()), QStringList{});
        QCOMPARE(Leftovers(frames), QStringList{});
    }

    // Names that are not UTF-8 reach the files they name, in and out, in-process and through
    // the program's own arguments.
    void namesThatAreNotUtf8() {
        const QByteArray folder = QFile::encodeName(path(QStringLiteral("bytes")));
        QVERIFY(::mkdir(folder.constData(), 0777) == 0);
        const QByteArray picture = folder + "/caf\xe9.png";
        const QByteArray content = Contents(picture_);
        const int fd = ::open(picture.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, content.constData(), size_t(content.size())), ssize_t(content.size()));
        ::close(fd);

        const Run run = Render({FileNameFromBytes(picture), QStringLiteral("-o"),
                                FileNameFromBytes(folder + "/\x8e\xca\x90\x5e.gif")});
        QCOMPARE(run.status, RenderExitOk);
        QProcess process;
        process.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"),
                       QStringLiteral("cd \"$1\" && exec \"$0\" \"$(printf 'caf\\351.png')\" "
                                      "--frames-dir \"$(printf '\\351t\\351')\""),
                       QStringLiteral(KELVARO_RENDER_PATH), QFile::decodeName(folder)});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), RenderExitOk);

        QStringList names;
        QVERIFY(ListFolder(FileNameFromBytes(folder), names));
        names.sort();
        QStringList expected = {FileNameFromBytes("caf\xe9.png"),
                                FileNameFromBytes("\x8e\xca\x90\x5e.gif"),
                                FileNameFromBytes("\xe9t\xe9")};
        expected.sort();
        QCOMPARE(names, expected);
        QStringList frames;
        QVERIFY(ListFolder(FileNameFromBytes(folder + "/\xe9t\xe9"), frames));
        QCOMPARE(frames.size(), FrameCount);

        // QTemporaryDir cannot reach these names to remove them.
        for (const QString& frame : frames)
            QVERIFY(RemoveName(JoinName(FileNameFromBytes(folder + "/\xe9t\xe9"), frame)));
        for (const QString& name : names)
            QVERIFY(RemoveName(JoinName(FileNameFromBytes(folder), name)));
    }

    void webp() {
        const QString lossless = path(QStringLiteral("lossless.webp"));
        const QString lossy = path(QStringLiteral("lossy.WEBP"));
        QCOMPARE(Render({picture_, QStringLiteral("--depth"), map_, QStringLiteral("--lossless"),
                         QStringLiteral("-o"), lossless})
                     .status,
                 RenderExitOk);
        QCOMPARE(
            Render({picture_, QStringLiteral("--depth"), map_, QStringLiteral("--size=1/2"),
                    QStringLiteral("--quality"), QStringLiteral("90"), QStringLiteral("-o"), lossy})
                .status,
            RenderExitOk);
        const auto expected = Expected(picture_, map_, SwayDirection::Horizontal);

        QImageReader reader(lossless);
        QCOMPARE(reader.format(), QByteArray("webp"));
        QCOMPARE(reader.imageCount(), FrameCount);
        QCOMPARE(reader.loopCount(), -1); // forever
        for (int k = 0; k < FrameCount; ++k) {
            QImage frame;
            QVERIFY(reader.read(&frame));
            QCOMPARE(frame.convertToFormat(QImage::Format_RGB32), expected[size_t(k)].image());
            QCOMPARE(reader.nextImageDelay(), 60);
        }

        QImageReader small(lossy);
        QCOMPARE(small.imageCount(), FrameCount);
        QCOMPARE(small.size(), QSize(130, 105));
        QImage first;
        QVERIFY(small.read(&first));
        // Lossy, but close: the mean error of the first frame against the rendered one, halved.
        const QImage half =
            expected[0].image().scaled(130, 105, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        double squared = 0;
        for (int y = 0; y < 105; ++y)
            for (int x = 0; x < 130; ++x) {
                const QRgb p = first.pixel(x, y), q = half.pixel(x, y);
                for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                    squared += d * d;
            }
        const double psnr = 10 * std::log10(255.0 * 255.0 / (squared / (130 * 105 * 3)));
        QVERIFY2(psnr > 30, qPrintable(QString::number(psnr)));
    }

    // -o NAME.mp4 and --format mp4 write H.264 video as ffprobe reads it: the frame count of
    // the loops, the rate of the frame delay, the size (odd sizes made even); the MP4 settings go
    // with MP4 output only.
    void mp4() {
        const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
        QVERIFY2(!ffprobe.isEmpty(), "ffprobe is missing (scripts/install-deps)");
        const auto probe = [&](const QString& file) {
            QProcess p;
            p.start(ffprobe, {QStringLiteral("-v"), QStringLiteral("error"),
                              QStringLiteral("-select_streams"), QStringLiteral("v:0"),
                              QStringLiteral("-count_frames"), QStringLiteral("-show_entries"),
                              QStringLiteral("stream=codec_name,width,height,r_frame_rate,"
                                             "nb_read_frames,pix_fmt"),
                              QStringLiteral("-of"), QStringLiteral("default=nw=1"), file});
            p.waitForFinished(60000);
            return QString::fromUtf8(p.readAllStandardOutput())
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        };
        const QString named = path(QStringLiteral("video.mp4"));
        QCOMPARE(
            Render({picture_, QStringLiteral("--depth"), map_, QStringLiteral("-o"), named}).status,
            RenderExitOk);
        QCOMPARE(probe(named),
                 (QStringList{QStringLiteral("codec_name=h264"), QStringLiteral("width=260"),
                              QStringLiteral("height=210"), QStringLiteral("pix_fmt=yuv420p"),
                              QStringLiteral("r_frame_rate=50/3"),
                              QStringLiteral("nb_read_frames=56")}));

        const QString folder = path(QStringLiteral("videos"));
        QCOMPARE(Render({picture_, QStringLiteral("--format"), QStringLiteral("mp4"),
                         QStringLiteral("--out-dir"), folder, QStringLiteral("--size=1/2"),
                         QStringLiteral("--loops"), QStringLiteral("2"),
                         QStringLiteral("--quality"), QStringLiteral("20")})
                     .status,
                 RenderExitOk);
        const QString small = folder + QStringLiteral("/photo.mp4");
        QCOMPARE(probe(small),
                 (QStringList{QStringLiteral("codec_name=h264"), QStringLiteral("width=130"),
                              QStringLiteral("height=106"), QStringLiteral("pix_fmt=yuv420p"),
                              QStringLiteral("r_frame_rate=50/3"),
                              QStringLiteral("nb_read_frames=16")}));
        QVERIFY(Leftovers(folder).isEmpty());

        for (const QStringList& wrong :
             {QStringList{QStringLiteral("--lossless"), QStringLiteral("-o"), named},
              QStringList{QStringLiteral("--loops=2"), QStringLiteral("-o"),
                          path(QStringLiteral("a.webp"))},
              QStringList{QStringLiteral("--loops=0"), QStringLiteral("-o"), named}}) {
            const Run run = Render(QStringList{picture_} + wrong);
            QCOMPARE(run.status, RenderExitUsage);
            QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
        }
    }

    // --max-bytes keeps the output within the limit and says in one line what gave way; a limit
    // nothing meets fails the picture with one line (exit status 1) and writes nothing.
    void maxBytes() {
        const QString gif = path(QStringLiteral("limited.gif"));
        QCOMPARE(
            Render({picture_, QStringLiteral("--depth"), map_, QStringLiteral("-o"), gif}).status,
            RenderExitOk);
        const qint64 full = QFileInfo(gif).size();
        const Run half =
            Render({picture_, QStringLiteral("--depth"), map_, QStringLiteral("--max-bytes"),
                    QString::number(full / 2), QStringLiteral("-o"), gif});
        QCOMPARE(half.status, RenderExitOk);
        QVERIFY(QFileInfo(gif).size() <= full / 2);
        QCOMPARE(half.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(
            half.err.startsWith(
                QStringLiteral("kelvaro-render: %1: to fit within ").arg(DisplayFileName(gif))),
            qPrintable(half.err));
        QCOMPARE(QImageReader(gif).imageCount(), FrameCount);

        const QString webp = path(QStringLiteral("limited.webp"));
        const Run none = Render({picture_, QStringLiteral("--max-bytes"), QStringLiteral("200"),
                                 QStringLiteral("-o"), webp});
        QCOMPARE(none.status, RenderExitFailure);
        QCOMPARE(none.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(none.err.contains(QLatin1String("even at a quarter of the size")),
                 qPrintable(none.err));
        QVERIFY(!QFileInfo::exists(webp));
        QVERIFY(Leftovers(dir_.path()).isEmpty());
        for (const QString& wrong : {QStringLiteral("8X"), QStringLiteral("0"), QString()}) {
            const Run run =
                Render({picture_, QStringLiteral("--max-bytes"), wrong, QStringLiteral("-o"), gif});
            QCOMPARE(run.status, RenderExitUsage);
        }
    }

    // English by default, Japanese on request by option or environment, the option winning;
    // reasons from the lower layers and the help included.
    void languageOfTheLines() {
        const QString notes = path(QStringLiteral("notes.txt"));
        const QStringList failing = {notes, QStringLiteral("-o"), path(QStringLiteral("no.gif"))};
        const QStringList ja = {QStringLiteral("--lang"), QStringLiteral("ja")};
        const QStringList en = {QStringLiteral("--lang=en")};

        const Run english = RenderProgram(failing);
        QCOMPARE(english.status, RenderExitFailure);
        QVERIFY2(english.err.startsWith(
                     QStringLiteral("kelvaro-render: cannot open the picture %1: ").arg(notes)) &&
                     !HasJapanese(english.err) && english.err.count(QLatin1Char('\n')) == 1,
                 qPrintable(english.err));
        const Run japanese = RenderProgram(ja + failing);
        QCOMPARE(japanese.status, RenderExitFailure);
        QVERIFY2(japanese.err.startsWith(
                     QStringLiteral("kelvaro-render: 画像 %1 を開けません: ").arg(notes)) &&
                     HasJapanese(japanese.err.mid(japanese.err.lastIndexOf(QLatin1Char(':')))),
                 qPrintable(japanese.err));
        QCOMPARE(RenderProgram(failing, QStringLiteral("ja")).err, japanese.err);
        QCOMPARE(RenderProgram(failing + en, QStringLiteral("ja")).err, english.err);
        QVERIFY(!QFile::exists(path(QStringLiteral("no.gif"))));

        // Every option is described in the language asked for.
        for (const bool inJapanese : {false, true}) {
            const Run help = RenderProgram((inJapanese ? ja : QStringList()) +
                                           QStringList{QStringLiteral("--help")});
            QCOMPARE(help.status, RenderExitOk);
            const QStringList lines = help.out.split(QLatin1Char('\n'));
            QVERIFY(lines.size() > 20);
            for (const QString& line : lines)
                if (line.startsWith(QLatin1String("  -")) || !inJapanese)
                    QVERIFY2(HasJapanese(line) == inJapanese, qPrintable(line));
        }
    }

    void libraryMessagesOnlyWhenVerbose() {
        // libpng reports the missing end on stderr itself, past Qt's message handler.
        const QString cut = path(QStringLiteral("cut.png"));
        {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            QVERIFY(Gradient(260, 210).save(&buffer, "png"));
            QFile file(cut);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(png.left(png.size() * 2 / 3));
        }
        const QStringList arguments{cut, QStringLiteral("-o"), path(QStringLiteral("cut.gif"))};
        const Limited quiet = RunLimited(arguments, {});
        QCOMPARE(quiet.status, RenderExitFailure);
        QCOMPARE(quiet.lines.size(), 1);
        QVERIFY2(quiet.lines[0].endsWith(QStringLiteral("the picture file is cut short")),
                 qPrintable(quiet.lines[0]));
        const Limited verbose =
            RunLimited(arguments + QStringList{QStringLiteral("--verbose")}, {});
        QCOMPARE(verbose.status, RenderExitFailure);
        QVERIFY2(verbose.lines.size() > 1, qPrintable(verbose.lines.join(QLatin1Char('\n'))));
        QCOMPARE(verbose.lines.last(), quiet.lines[0]);
    }

    void systemLimitsEndInOneLine() {
        // Over the file-size limit the write fails with its reason; the program is not killed.
        const Limited big =
            RunLimited({picture_, QStringLiteral("-o"), path(QStringLiteral("big.gif"))}, [] {
                const rlimit small{4096, 4096};
                ::setrlimit(RLIMIT_FSIZE, &small);
            });
        QVERIFY(!big.crashed);
        QCOMPARE(big.status, RenderExitFailure);
        QCOMPARE(big.lines.size(), 1);
        QVERIFY2(big.lines[0].endsWith(QStringLiteral("the file is too large")),
                 qPrintable(big.lines[0]));

        // Threads: only a user other than root is held to a process count. The count is of all
        // the user's processes on the machine, so the program runs as a user that has none.
        if (::geteuid() != 0 && ::getuid() != 0)
            QSKIP("needs root to run the program as another user under a process limit");
        const std::optional<uid_t> user = UnusedUserId();
        if (!user)
            QSKIP("every user id this test may switch to has processes on this machine");
        QTemporaryDir open;
        QFile::setPermissions(open.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                               QFileDevice::WriteOther | QFileDevice::ExeOther);
        const QString shared = open.filePath(QStringLiteral("photo.png"));
        QVERIFY(QFile::copy(picture_, shared));
        const QString secret = open.filePath(QStringLiteral("secret.png"));
        QVERIFY(QFile::copy(picture_, secret));
        QFile::setPermissions(secret, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        const auto asNobody = [id = *user](rlim_t processes) {
            return [processes, id] {
                const rlimit few{processes, processes};
                ::setrlimit(RLIMIT_NPROC, &few);
                if (::setgroups(0, nullptr) != 0 || ::setgid(id) != 0 || ::setuid(id) != 0)
                    ::_exit(SwitchUserFailed);
            };
        };
        // LeakSanitizer needs a thread of its own at exit.
        const QStringList env{QStringLiteral("ASAN_OPTIONS=detect_leaks=0")};
        const Limited denied =
            RunLimited({secret, QStringLiteral("-o"), open.filePath(QStringLiteral("a.gif"))},
                       asNobody(RLIM_INFINITY), env);
        if (denied.status == SwitchUserFailed)
            QSKIP(qPrintable(QStringLiteral("cannot switch to the unused user id %1").arg(*user)));
        QCOMPARE(denied.status, RenderExitFailure);
        QCOMPARE(denied.lines.size(), 1);
        QVERIFY2(denied.lines[0].endsWith(QStringLiteral("permission denied")),
                 qPrintable(denied.lines[0]));
        // Qt's thread pool would wait forever for the thread it cannot start.
        const Limited threads =
            RunLimited({shared, QStringLiteral("-o"), open.filePath(QStringLiteral("b.gif"))},
                       asNobody(1), env);
        QVERIFY(!threads.crashed);
        QCOMPARE(threads.status, RenderExitFailure);
        QCOMPARE(threads.lines.size(), 1);
    }

    void memoryLimitsNeverCrashOrHang() {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer reserves more address space than any limit here allows");
#endif
        // From too little to start the program up to enough for the whole run, in small steps
        // (libimagequant crashed in a window of a few megabytes): every run ends on its own,
        // with the GIF or with one line.
        const QString photo = path(QStringLiteral("limits.jpg"));
        QVERIFY(Gradient(640, 480).save(photo, "jpg", 90));
        const QString map = path(QStringLiteral("limits.bmp"));
        QVERIFY(PaintedMap(640, 480).save(map));
        std::vector<rlim_t> limits;
        for (rlim_t mb = 80; mb <= 160; mb += 4)
            limits.push_back(mb);
        limits.push_back(1024);
        int written = 0;
        for (const rlim_t mb : limits) {
            const QString gif = path(QStringLiteral("limit-%1.gif").arg(mb));
            const Limited run = RunLimited(
                {photo, QStringLiteral("--depth"), map, QStringLiteral("-o"), gif}, [mb] {
                    const rlimit space{mb << 20, mb << 20};
                    ::setrlimit(RLIMIT_AS, &space);
                });
            QVERIFY2(run.status >= 0, qPrintable(QStringLiteral("hang at %1 MB").arg(mb)));
            QVERIFY2(!run.crashed, qPrintable(QStringLiteral("crash at %1 MB").arg(mb)));
            if (run.status == RenderExitOk) {
                QCOMPARE(QImageReader(gif).imageCount(), FrameCount);
                ++written;
            } else if (!run.lines.isEmpty()) { // too little to start Qt prints nothing of ours
                QCOMPARE(run.lines.size(), 1);
            }
        }
        QVERIFY(written > 0);
    }

    void exitStatusOfTheProgram() {
        const auto status = [](const QStringList& arguments) {
            QProcess process;
            process.start(QStringLiteral(KELVARO_RENDER_PATH), arguments);
            return process.waitForFinished(60000) ? process.exitCode() : -1;
        };
        QCOMPARE(status({QStringLiteral("--help")}), RenderExitOk);
        QCOMPARE(status({QStringLiteral("--version")}), RenderExitOk);
        QCOMPARE(status({QStringLiteral("--sway")}), RenderExitUsage);
        QCOMPARE(status({path(QStringLiteral("notes.txt")), QStringLiteral("-o"),
                         path(QStringLiteral("x.gif"))}),
                 RenderExitFailure);
        QCOMPARE(status({picture_, QStringLiteral("--frames-dir"), path(QStringLiteral("cli"))}),
                 RenderExitOk);
        QVERIFY(QFile::exists(path(QStringLiteral("cli/frame-7.png"))));
    }
};

QTEST_GUILESS_MAIN(TestRender)
#include "tst_render.moc"
