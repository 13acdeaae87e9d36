// The frames of the sample photo and the bytes of its GIF and WebP files stay what they were:
// their SHA-256 sums are kept in checksums.txt. Moving code between files and layers must not
// change a pixel or a byte; a change meant to change them rewrites the sums with
// KELVARO_WRITE_CHECKSUMS=1 and says why in its commit.

#include "files/PictureFile.h"
#include "gif/GifPipeline.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kelvaro;

namespace {

QByteArray Sum(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// The pixels of a frame, row by row without padding, after its size and format.
QByteArray FrameBytes(const QImage& frame) {
    QByteArray bytes = QByteArray::number(frame.width()) + 'x' +
                       QByteArray::number(frame.height()) + ' ' +
                       QByteArray::number(int(frame.format())) + '\n';
    const qsizetype row = qsizetype(frame.width()) * frame.depth() / 8;
    for (int y = 0; y < frame.height(); ++y)
        bytes.append(reinterpret_cast<const char*>(frame.constScanLine(y)), row);
    return bytes;
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Data(const char* name) {
    return QStringLiteral(KELVARO_DATA_DIR "/") + QLatin1String(name);
}

} // namespace

class TestGolden : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QStringList sums_; // "name sum" lines in the order the cases run

private slots:
    void sums() {
        QVERIFY(dir_.isValid());
        const LoadedPicture photo = LoadPicture(Data("coffee-640x480.jpg"));
        QVERIFY(!photo.image.isNull());
        const int w = photo.image.width();
        const int h = photo.image.height();

        struct Scene {
            const char* name;
            SwayDirection direction;
            bool grey;
        };
        for (const Scene& scene : {Scene{"painted-horizontal", SwayDirection::Horizontal, false},
                                   Scene{"painted-vertical", SwayDirection::Vertical, false},
                                   Scene{"grey-horizontal", SwayDirection::Horizontal, true}}) {
            DepthMap depth;
            QVERIFY(depth.Create(w, h));
            if (scene.grey) {
                GreyDepthOptions options;
                options.fixedBelow = 8;
                QVERIFY(LoadGreyDepthFile(Data("coffee-depth-grey.png"), options, depth));
            } else {
                QVERIFY(LoadDepthMapFile(Data("coffee-depth.png"), depth));
            }
            std::vector<ImageHandle> frames = RenderSwayFrames(photo.image, depth, scene.direction);
            QCOMPARE(int(frames.size()), FrameCount);
            for (int k = 0; k < FrameCount; ++k)
                sums_ << QStringLiteral("%1-frame-%2 ").arg(QLatin1String(scene.name)).arg(k) +
                             QString::fromLatin1(Sum(FrameBytes(frames[std::size_t(k)].image())));
            if (scene.grey)
                continue;

            struct Output {
                const char* name;
                int sizeChoice;
                AnimationOptions options;
            };
            AnimationOptions lossy{AnimationFormat::Webp, {}, {}};
            AnimationOptions lossyLow{AnimationFormat::Webp, {false, 40}, {}};
            AnimationOptions lossless{AnimationFormat::Webp, {true, 90}, {}};
            for (const Output& output :
                 {Output{"full.gif", 0, {}}, Output{"half.gif", 2, {}},
                  Output{"quarter.gif", 4, {}}, Output{"full.webp", 0, lossy},
                  Output{"third-q40.webp", 3, lossyLow},
                  Output{"half-lossless.webp", 2, lossless}}) {
                const QString path = dir_.filePath(QLatin1String(scene.name) + QLatin1Char('-') +
                                                   QLatin1String(output.name));
                std::vector<ImageHandle> copies;
                for (const ImageHandle& frame : frames)
                    copies.push_back(DuplicateImage(frame));
                QVERIFY(WriteSwayAnimation(path, std::move(copies),
                                           OutputSizeFor(output.sizeChoice, w, h), output.options));
                sums_ << QStringLiteral("%1-%2 ").arg(QLatin1String(scene.name),
                                                      QLatin1String(output.name)) +
                             QString::fromLatin1(Sum(FileBytes(path)));
            }
        }
    }

    void sameAsStored() {
        QVERIFY(sums_.size() > 30);
        const QString actual = sums_.join(QLatin1Char('\n')) + QLatin1Char('\n');
        if (qEnvironmentVariableIsSet("KELVARO_WRITE_CHECKSUMS")) {
            QFile file(QStringLiteral(KELVARO_GOLDEN));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(actual.toUtf8());
            return;
        }
        const QStringList stored =
            QString::fromUtf8(FileBytes(QStringLiteral(KELVARO_GOLDEN))).split(QLatin1Char('\n'));
        QCOMPARE(sums_.size(), stored.size() - 1);
        for (int i = 0; i < sums_.size(); ++i)
            QCOMPARE(sums_[i], stored[i]);
    }
};

QTEST_GUILESS_MAIN(TestGolden)
#include "tst_golden.moc"
