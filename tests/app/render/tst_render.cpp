#include "app/render/RenderCommand.h"

#include "gif/FrameSynthesis.h"

#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

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
