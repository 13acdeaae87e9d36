#include "app/render/RenderCommand.h"

#include "depth/DepthPalette.h"
#include "gif/FrameSynthesis.h"

#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace kelvaro;

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run Render(const QStringList& arguments) {
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = RunRender(arguments, out, err);
    return run;
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

QStringList FrameFiles(const QString& dir) {
    QStringList files;
    for (int k = 0; k < FrameCount; ++k)
        files << dir + QStringLiteral("/frame-%1.png").arg(k);
    return files;
}

} // namespace

class TestRender : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString picture_;
    QString map_;

    QString path(const QString& name) const { return dir_.filePath(name); }

private slots:
    void initTestCase() {
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
        QTest::newRow("no output") << QStringList{pic};
        QTest::newRow("no picture") << QStringList{QStringLiteral("-o"), QStringLiteral("a.gif")};
        QTest::newRow("two pictures")
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
    }
    void usageErrors() {
        QFETCH(QStringList, arguments);
        const Run run = Render(arguments);
        QCOMPARE(run.status, RenderExitUsage);
        QVERIFY(run.err.startsWith(QLatin1String("kelvaro-render: ")));
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
        QVERIFY(run.out.isEmpty());
    }

    void help() {
        const Run run = Render({QStringLiteral("--help")});
        QCOMPARE(run.status, RenderExitOk);
        QVERIFY(run.out.startsWith(QLatin1String("usage: kelvaro-render PICTURE [--depth MAP]")));
        QVERIFY(run.err.isEmpty());
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
        for (int k = 0; k < FrameCount; ++k) {
            const QImage frame(frames + QStringLiteral("/frame-%1.png").arg(k));
            QCOMPARE(frame.format(), QImage::Format_RGB32);
            QCOMPARE(frame, expected[size_t(k)].image());
        }
        QVERIFY(!QFile::exists(frames + QStringLiteral("/frame-8.png")));

        QImageReader reader(gif);
        QCOMPARE(reader.format(), QByteArray("gif"));
        QCOMPARE(reader.imageCount(), FrameCount);
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

    void shrinkNotice() {
        const QString big = path(QStringLiteral("wide.png"));
        QVERIFY(Gradient(1280, 300).save(big));
        const Run run = Render({big, QStringLiteral("--frames-dir"), path(QStringLiteral("wide"))});
        QCOMPARE(run.status, RenderExitOk);
        QVERIFY(run.err.contains(QLatin1String("640 x 150")));
        QCOMPARE(QImage(path(QStringLiteral("wide/frame-0.png"))).size(), QSize(640, 150));
    }

    void exitStatusOfTheProgram() {
        const auto status = [](const QStringList& arguments) {
            QProcess process;
            process.start(QStringLiteral(KELVARO_RENDER_PATH), arguments);
            return process.waitForFinished(60000) ? process.exitCode() : -1;
        };
        QCOMPARE(status({QStringLiteral("--help")}), RenderExitOk);
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
