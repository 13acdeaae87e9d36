#include "CorpusGenerator.h"

#include "PictureBytes.h"
#include "encode/GifEncoder.h"
#include "imaging/Imaging.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <random>
#include <vector>

using namespace kelvaro::testing;

namespace {

constexpr const char* NotUtf8Name = "/name-\xff\xfe.png";

// The seed of every bit flip; std::mt19937's output is fixed by the C++ standard.
constexpr unsigned FlipSeed = 14;

struct Base {
    QString name; // file name, its extension naming the format
    QByteArray bytes;
    int cuts;  // how many cut points the truncated copies take
    int flips; // how many copies with bits flipped
};

// A picture with gradients, edges and (when `alpha`) a transparent corner, so every decoder
// path has something to do. Small, so the renders of the cases that succeed stay quick.
QImage Pattern(int w, int h, bool alpha = false) {
    QImage image(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int a = alpha && x < w / 3 && y < h / 3 ? 0 : 255;
            image.setPixel(x, y,
                           qRgba(x * 255 / w, y * 255 / h, ((x / 4) ^ (y / 4)) * 40 & 0xff, a));
        }
    return image;
}

// Qt has no GIF writer: an animation of two frames as the editor writes it.
QByteArray AnimatedGif() {
    QTemporaryDir dir;
    std::vector<kelvaro::ImageHandle> frames;
    frames.emplace_back(Pattern(48, 32));
    frames.emplace_back(Pattern(48, 32).mirrored(true, false));
    const QString path = dir.filePath(QStringLiteral("a.gif"));
    if (!kelvaro::WriteAnimatedGif(path, frames, 2, 10))
        return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<Base> Bases() {
    const QImage rgb = Pattern(48, 32);
    const QImage alpha = Pattern(48, 32, true);
    const QImage wide = Pattern(700, 40);
    QImage p3 = rgb;
    p3.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    QImage indexedAlpha = alpha.convertToFormat(QImage::Format_Indexed8);
    std::vector<Base> b = {
        {"rgb.png", Encode(rgb, "png"), 10, 4},
        {"alpha.png", Encode(alpha, "png"), 6, 3},
        {"palette.png", Encode(rgb.convertToFormat(QImage::Format_Indexed8), "png"), 6, 3},
        {"palette-alpha.png", Encode(indexedAlpha, "png"), 3, 2},
        {"grey.png", Encode(rgb.convertToFormat(QImage::Format_Grayscale8), "png"), 3, 2},
        {"grey16.png", Encode(rgb.convertToFormat(QImage::Format_Grayscale16), "png"), 3, 2},
        {"rgba64.png", Encode(alpha.convertToFormat(QImage::Format_RGBA64), "png"), 3, 2},
        {"mono.png", Encode(rgb.convertToFormat(QImage::Format_Mono), "png"), 3, 2},
        {"p3.png", Encode(p3, "png"), 3, 2},
        {"photo.jpg", Encode(rgb, "jpg", 90), 10, 4},
        {"grey.jpg", Encode(rgb.convertToFormat(QImage::Format_Grayscale8), "jpg", 90), 3, 2},
        {"progressive.jpg",
         Encode(rgb, "jpg", 90, [](QImageWriter& w) { w.setProgressiveScanWrite(true); }), 6, 3},
        {"oriented.jpg", Oriented(Encode(rgb, "jpg", 90)), 3, 2},
        {"p3.jpg", Encode(p3, "jpg", 90), 3, 2},
        {"wide.jpg", Encode(wide, "jpg", 80), 3, 2},
        {"rgb.bmp", Encode(rgb, "bmp"), 6, 3},
        {"palette.bmp", Encode(rgb.convertToFormat(QImage::Format_Indexed8), "bmp"), 3, 2},
        {"mono.bmp", Encode(rgb.convertToFormat(QImage::Format_Mono), "bmp"), 3, 2},
        {"animation.gif", AnimatedGif(), 6, 3},
        {"rgb.tif", Encode(rgb, "tiff"), 6, 3},
        {"lzw.tif", Encode(rgb, "tiff", -1, [](QImageWriter& w) { w.setCompression(1); }), 3, 2},
        {"grey.tif", Encode(rgb.convertToFormat(QImage::Format_Grayscale8), "tiff"), 3, 2},
        {"mono.tif", Encode(rgb.convertToFormat(QImage::Format_Mono), "tiff"), 3, 2},
        {"float.tif", Encode(alpha.convertToFormat(QImage::Format_RGBA32FPx4), "tiff"), 3, 2},
        {"lossy.webp", Encode(rgb, "webp", 80), 6, 3},
        {"lossless.webp", Encode(alpha, "webp", 100), 3, 2},
        {"icon.ico", Encode(alpha, "ico"), 3, 2},
        {"rgb.ppm", Encode(rgb, "ppm"), 3, 2},
        {"grey.pgm", Encode(rgb.convertToFormat(QImage::Format_Grayscale8), "pgm"), 3, 2},
        {"mono.pbm", Encode(rgb.convertToFormat(QImage::Format_Mono), "pbm"), 3, 2},
        {"mono.xbm", Encode(rgb.convertToFormat(QImage::Format_Mono), "xbm"), 3, 2},
        {"palette.xpm", Encode(rgb.convertToFormat(QImage::Format_Indexed8), "xpm"), 3, 2},
        {"rgb.tga", Tga(rgb), 3, 2},
    };
    return b;
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

int MakeCorpus(const QString& folder) {
    const QDir dir(folder);
    int count = 0;
    bool ok = true;
    const auto put = [&](const QString& name, const QByteArray& bytes) {
        ok = Write(dir.filePath(name), bytes) && ok;
        ++count;
    };

    std::mt19937 random(FlipSeed);
    for (const Base& base : Bases()) {
        if (base.bytes.isEmpty()) {
            std::fprintf(stderr, "make-corpus: cannot encode %s\n", qPrintable(base.name));
            return -1;
        }
        put(QStringLiteral("valid-") + base.name, base.bytes);
        // Cut points: one inside the header, the others spread evenly over the file.
        const qsizetype size = base.bytes.size();
        for (int k = 1; k <= base.cuts; ++k) {
            const qsizetype at = k == 1 ? 12 : size * (k - 1) / base.cuts;
            if (at > 0 && at < size)
                put(QStringLiteral("cut%1-").arg(at) + base.name, base.bytes.left(at));
        }
        // Bits flipped past the signature, 1 to 8 of them a copy.
        for (int k = 0; k < base.flips; ++k) {
            QByteArray flipped = base.bytes;
            const int bits = 1 + int(random() % 8);
            for (int i = 0; i < bits; ++i) {
                const qsizetype at = 8 + qsizetype(random() % quint32(size - 8));
                flipped[at] = char(flipped[at] ^ (1 << (random() % 8)));
            }
            put(QStringLiteral("flip%1-").arg(k) + base.name, flipped);
        }
    }

    // Sizes: declared far beyond memory, a bomb within it, long thin pictures.
    const QByteArray jpeg = Encode(Pattern(48, 32), "jpg", 90);
    put(QStringLiteral("huge-declared.png"), HandPng(100000, 100000, 8, 2, {}, false));
    put(QStringLiteral("huge-declared-data.png"), HandPng(60000, 60000, 1, 0));
    put(QStringLiteral("huge-declared.jpg"), WithJpegSize(jpeg, 65500, 65500));
    put(QStringLiteral("huge-declared-wide.jpg"), WithJpegSize(jpeg, 65500, 32));
    put(QStringLiteral("huge-declared.bmp"), HugeBmp(100000, 100000));
    put(QStringLiteral("huge-negative.bmp"), HugeBmp(48, 0x80000000u));
    put(QStringLiteral("huge-declared.ppm"), QByteArray("P6\n100000 100000\n255\n"));
    put(QStringLiteral("huge-declared.gif"),
        QByteArray("GIF89a\xff\xff\xff\xff\0\0\0,\0\0\0\0\xff\xff\xff\xff\0\x02\x02\x44\x01\0;",
                   30));
    put(QStringLiteral("bomb-8000x8000.png"), HandPng(8000, 8000, 1, 0));
    {
        // 64 MB of text packed into a few KB.
        QByteArray text("Comment");
        text.append('\0');
        text.append('\0');
        text.append(Zlib(QByteArray(64 * 1024 * 1024, 'a')));
        put(QStringLiteral("bomb-text.png"), HandPng(48, 32, 8, 2, PngChunk("zTXt", text)));
    }
    put(QStringLiteral("size-panorama-17000x2.png"), Encode(Pattern(17000, 2), "png"));
    put(QStringLiteral("size-tall-2x3000.png"), Encode(Pattern(2, 3000), "png"));
    put(QStringLiteral("size-1x1.png"), Encode(Pattern(1, 1), "png"));
    put(QStringLiteral("size-zero-width.png"), HandPng(0, 10, 8, 2));

    // Contents that are not what they say.
    put(QStringLiteral("empty.png"), {});
    put(QStringLiteral("text.png"), QByteArray("これは画像ではありません\n"));
    put(QStringLiteral("jpeg-named.png"), jpeg);
    put(QStringLiteral("png-named.gif"), Encode(Pattern(48, 32), "png"));
    put(QStringLiteral("noextension"), Encode(Pattern(48, 32), "png"));
    put(QStringLiteral("zeros.jpg"), QByteArray(4096, 0));
    put(QStringLiteral("signature-only.png"), QByteArray("\x89PNG\r\n\x1a\n", 8));

    // Odd names.
    const QByteArray png = Encode(Pattern(48, 32), "png");
    put(QStringLiteral("name with spaces.png"), png);
    put(QStringLiteral("name-日本語の写真.png"), png);
    put(QStringLiteral("-name-like-an-option.png"), png);
    put(QStringLiteral("name\nwith newline.png"), png);
    put(QStringLiteral("name-") + QString(200, QLatin1Char('x')) + QStringLiteral(".png"), png);
    {
        // A name that is not UTF-8 at all, written byte for byte.
        const QByteArray raw = QFile::encodeName(folder) + NotUtf8Name;
        std::FILE* f = std::fopen(raw.constData(), "wb");
        ok =
            f && std::fwrite(png.constData(), 1, size_t(png.size()), f) == size_t(png.size()) && ok;
        ok = f && std::fclose(f) == 0 && ok;
        ++count;
    }

    // Special files: none of them may be read from or waited on.
    const auto native = [&](const QString& name) {
        return QFile::encodeName(dir.filePath(name));
    };
    ok = dir.mkdir(QStringLiteral("special-folder.png")) && ok;
    ok = ::mkfifo(native(QStringLiteral("special-fifo.png")).constData(), 0644) == 0 && ok;
    ok = QFile::link(QStringLiteral("special-loop-b.png"),
                     dir.filePath(QStringLiteral("special-loop-a.png"))) &&
         ok;
    ok = QFile::link(QStringLiteral("special-loop-a.png"),
                     dir.filePath(QStringLiteral("special-loop-b.png"))) &&
         ok;
    ok = QFile::link(QStringLiteral("nowhere.png"),
                     dir.filePath(QStringLiteral("special-dangling.png"))) &&
         ok;
    ok = QFile::link(QStringLiteral("valid-rgb.png"),
                     dir.filePath(QStringLiteral("special-link.png"))) &&
         ok;
    count += 6;
    // A device node like /dev/zero, made here (never a real device under /dev); only root may.
    if (::geteuid() == 0) {
        ok = ::mknod(native(QStringLiteral("special-zero-device.png")).constData(), S_IFCHR | 0644,
                     makedev(1, 5)) == 0 &&
             ok;
        ++count;
    }
    ok = Write(dir.filePath(QStringLiteral("special-unreadable.png")), png) && ok;
    ok = ::chmod(native(QStringLiteral("special-unreadable.png")).constData(), 0) == 0 && ok;
    ++count;
    if (!ok)
        std::fprintf(stderr, "make-corpus: cannot write every file in %s\n", qPrintable(folder));
    return ok ? count : -1;
}

void RemoveUnnamableFiles(const QString& folder) {
    ::unlink((QFile::encodeName(folder) + NotUtf8Name).constData());
}
