#include "app/messages/MessageHandler.h"
#include "encode/GifEncoder.h"
#include "encode/WebpEncoder.h"
#include "imaging/Imaging.h"

#include "PictureBytes.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <csignal>

using namespace kelvaro;
using namespace kelvaro::testing;

namespace {

// 6 x 4: the left half red, the right half blue, so orientation and channel order both show.
QImage Fixture() {
    QImage image(6, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            image.setPixel(x, y, x < 3 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    return image;
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return qAbs(RedOf(a) - RedOf(b)) <= tolerance && qAbs(GreenOf(a) - GreenOf(b)) <= tolerance &&
           qAbs(BlueOf(a) - BlueOf(b)) <= tolerance;
}

} // namespace

class TestLoading : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString Path(const QString& name) const { return dir_.filePath(name); }

private slots:
    void everyFormatDecodes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("tolerance");
        const QImage f = Fixture();
        QTest::newRow("png") << "a.png" << Encode(f, "png") << 0;
        QTest::newRow("jpeg") << "a.jpg" << Encode(f, "jpg", 100) << 40;
        QTest::newRow("bmp") << "a.bmp" << Encode(f, "bmp") << 0;
        QTest::newRow("webp") << "a.webp" << Encode(f, "webp", 100) << 40;
        QTest::newRow("tiff") << "a.tif" << Encode(f, "tiff") << 0;
        QTest::newRow("ico") << "a.ico" << Encode(f, "ico") << 0;
        QTest::newRow("ppm") << "a.ppm" << Encode(f, "ppm") << 0;
        QTest::newRow("tga") << "a.tga" << Tga(f) << 0;
        QTest::newRow("palette png")
            << "p.png" << Encode(f.convertToFormat(QImage::Format_Indexed8), "png") << 0;
        QTest::newRow("16-bit png")
            << "16.png" << Encode(f.convertToFormat(QImage::Format_RGBA64), "png") << 0;
        QTest::newRow("jpeg named png") << "mislabelled.png" << Encode(f, "jpg", 100) << 40;
        QTest::newRow("japanese path") << "写真 ファイル.png" << Encode(f, "png") << 0;
    }
    void everyFormatDecodes() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, tolerance);
        QVERIFY(!bytes.isEmpty());
        WriteBytes(Path(name), bytes);
        ImageHandle h = LoadImageFile(Path(name));
        QVERIFY2(!h.isNull(), qPrintable(h.reason()));
        PrepareImage(h);
        QCOMPARE(h.image().format(), QImage::Format_RGB32);
        QCOMPARE(h.width(), 6);
        QCOMPARE(h.height(), 4);
        QVERIFY(Near(GetImagePixel(h, 0, 0), Rgb(255, 0, 0), tolerance));
        QVERIFY(Near(GetImagePixel(h, 5, 3), Rgb(0, 0, 255), tolerance));
    }

    void gifGivesItsFirstFrame() {
        std::vector<ImageHandle> frames;
        frames.emplace_back(Fixture());
        frames.emplace_back(Fixture().mirrored(true, false));
        QVERIFY(WriteAnimatedGif(Path("anim.gif"), frames, 2, 6));
        const ImageHandle h = LoadImageFile(Path("anim.gif"));
        QVERIFY(!h.isNull());
        QCOMPARE(GetImagePixel(h, 0, 0), Rgb(255, 0, 0));
    }

    void greyscaleAndTransparency() {
        QImage grey(3, 3, QImage::Format_Grayscale8);
        grey.fill(100);
        WriteBytes(Path("grey.png"), Encode(grey, "png"));
        ImageHandle g = LoadImageFile(Path("grey.png"));
        QVERIFY(!g.isNull());
        PrepareImage(g);
        QCOMPARE(GetImagePixel(g, 1, 1), Rgb(100, 100, 100));

        QImage alpha(2, 2, QImage::Format_ARGB32);
        alpha.fill(qRgba(0, 0, 0, 0));
        alpha.setPixel(1, 1, qRgba(0, 255, 0, 255));
        WriteBytes(Path("alpha.png"), Encode(alpha, "png"));
        ImageHandle a = LoadImageFile(Path("alpha.png"));
        PrepareImage(a);
        QCOMPARE(GetImagePixel(a, 0, 0), Rgb(255, 255, 255)); // transparent becomes white
        QCOMPARE(GetImagePixel(a, 1, 1), Rgb(0, 255, 0));
    }

    void orientationTagIsApplied() {
        WriteBytes(Path("phone.jpg"), Oriented(Encode(Fixture(), "jpg", 95)));
        ImageHandle h = LoadImageFile(Path("phone.jpg"));
        QVERIFY2(!h.isNull(), qPrintable(h.reason()));
        PrepareImage(h);
        QCOMPARE(h.width(), 4);
        QCOMPARE(h.height(), 6);
        // Turned right: the red left half is now on top.
        QVERIFY(Near(GetImagePixel(h, 0, 0), Rgb(255, 0, 0), 40));
        QVERIFY(Near(GetImagePixel(h, 3, 5), Rgb(0, 0, 255), 40));
    }

    void badFilesFailWithAReason_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray png = Encode(Fixture(), "png");
        QTest::newRow("empty") << "empty.png" << QByteArray();
        QTest::newRow("text") << "notes.png" << QByteArray("これは画像ではありません\n");
        QTest::newRow("truncated png") << "cut.png" << png.left(png.size() / 2);
        QTest::newRow("huge png")
            << "huge.png"
            << HandPng(100000, 100000, 8, 2,
                       // data that ends at once
                       PngChunk("IDAT", QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)), false);
        QTest::newRow("huge bmp") << "huge.bmp" << HugeBmp(100000, 100000);
        QTest::newRow("huge ppm") << "huge.ppm" << QByteArray("P6\n100000 100000\n255\n");
    }
    void badFilesFailWithAReason() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        WriteBytes(Path(name), bytes);
        const ImageHandle h = LoadImageFile(Path(name));
        QVERIFY(h.isNull());
        QVERIFY(!h.reason().isEmpty());
        // Memory beyond our limit is refused from the header, before any pixel memory is taken.
        if (name == QStringLiteral("huge.png"))
            QVERIFY2(h.reason().contains(QStringLiteral("大きすぎ")), qPrintable(h.reason()));
    }

    void pictureCutShortIsRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray jpeg = Encode(Fixture().scaled(64, 48), "jpg", 90);
        QTest::newRow("jpeg, most of it") << jpeg.left(jpeg.size() * 9 / 10);
        QTest::newRow("jpeg, half") << jpeg.left(jpeg.size() / 2);
        QByteArray progressive;
        QBuffer buffer(&progressive);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpg");
        writer.setProgressiveScanWrite(true);
        QVERIFY(writer.write(Fixture().scaled(64, 48)));
        QTest::newRow("progressive jpeg") << progressive.left(progressive.size() / 3);
        const QByteArray png = Encode(Fixture().scaled(64, 48), "png");
        QTest::newRow("png") << png.left(png.size() - 20);
        const QByteArray bmp = Encode(Fixture().scaled(64, 48), "bmp");
        QTest::newRow("bmp, one row short") << bmp.left(bmp.size() - 64 * 3);
    }
    void pictureCutShortIsRefused() {
        // libjpeg fills what is missing with grey and reports success; only its warning tells.
        QFETCH(QByteArray, bytes);
        InstallMessageHandler(false);
        WriteBytes(Path("cut"), bytes);
        const ImageHandle h = LoadImageFile(Path("cut"));
        QVERIFY(h.isNull());
        QCOMPARE(h.reason(), QStringLiteral("画像ファイルが途中で切れています"));
    }

    void systemReasonsAreTrue() {
        QCOMPARE(LoadImageFile(Path("none.png")).reason(),
                 QStringLiteral("ファイルが見つかりません"));
        QVERIFY(LoadImageFile(QString()).isNull());
        QDir(dir_.path()).mkdir(QStringLiteral("folder.png"));
        QCOMPARE(LoadImageFile(Path("folder.png")).reason(),
                 QStringLiteral("フォルダーは開けません"));
        QVERIFY(QFile::link(Path("loop-b.png"), Path("loop-a.png")));
        QVERIFY(QFile::link(Path("loop-a.png"), Path("loop-b.png")));
        QVERIFY(LoadImageFile(Path("loop-a.png"))
                    .reason()
                    .contains(QStringLiteral("シンボリックリンク")));
        // A FIFO is refused from its type: reading it would wait for a writer forever.
        QCOMPARE(::mkfifo(QFile::encodeName(Path("fifo.png")).constData(), 0600), 0);
        QCOMPARE(LoadImageFile(Path("fifo.png")).reason(),
                 QStringLiteral("通常のファイルではありません"));
        if (::geteuid() == 0) { // a device like /dev/zero, made here
            QCOMPARE(::mknod(QFile::encodeName(Path("zero.png")).constData(), S_IFCHR | 0600,
                             makedev(1, 5)),
                     0);
            QCOMPARE(LoadImageFile(Path("zero.png")).reason(),
                     QStringLiteral("通常のファイルではありません"));
        }
        WriteBytes(Path("empty.png"), {});
        QCOMPARE(LoadImageFile(Path("empty.png")).reason(), QStringLiteral("ファイルが空です"));
    }

    void writeFailuresSayWhy() {
        ImageHandle image(Fixture().scaled(600, 400));
        // Over the file-size limit the system refuses with EFBIG (and SIGXFSZ, ignored here).
        {
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit old{};
            QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
            rlimit small = old;
            small.rlim_cur = 4096;
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
            const Result r = SaveBitmapFile(Path("big.bmp"), image);
            ::setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
            QVERIFY(!r);
            QCOMPARE(r.reason, QStringLiteral("ファイルが大きすぎます"));
            QVERIFY(!QFile::exists(Path("big.bmp")));
        }
        // A full disk: a tiny tmpfs, where this test may mount one.
        {
            QTemporaryDir small;
            const QByteArray at = QFile::encodeName(small.path());
            if (::mount("kelvaro-test", at.constData(), "tmpfs", 0, "size=16k") == 0) {
                const Result r = SaveBitmapFile(small.filePath(QStringLiteral("full.bmp")), image);
                ::umount(at.constData());
                QVERIFY(!r);
                QCOMPARE(r.reason, QStringLiteral("ディスクの空き容量が足りません"));
            } else {
                qInfo("no tmpfs mount allowed here: the full-disk case is not run");
            }
        }
        // A FIFO or device where the file should go is not replaced by a plain file.
        QCOMPARE(::mkfifo(QFile::encodeName(Path("out-fifo.bmp")).constData(), 0600), 0);
        QCOMPARE(SaveBitmapFile(Path("out-fifo.bmp"), image).reason,
                 QStringLiteral("通常のファイルではありません"));
        QVERIFY(QFileInfo(Path("out-fifo.bmp")).isFile() == false);
    }
};

QTEST_GUILESS_MAIN(TestLoading)
#include "tst_loading.moc"
