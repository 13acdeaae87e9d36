#include "PictureBytes.h"

#include <QBuffer>
#include <QImageWriter>

namespace kelvaro::testing {

namespace {

quint32 Crc32(const QByteArray& data) {
    quint32 crc = 0xffffffffu;
    for (char ch : data) {
        crc ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

} // namespace

QByteArray Encode(const QImage& image, const char* format, int quality,
                  const std::function<void(QImageWriter&)>& options) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (options)
        options(writer);
    if (!writer.write(image))
        return {};
    return bytes;
}

void Be32(QByteArray& b, quint32 v) {
    for (int s = 24; s >= 0; s -= 8)
        b.append(char((v >> s) & 0xff));
}

void Le16(QByteArray& b, int v) {
    b.append(char(v & 0xff));
    b.append(char((v >> 8) & 0xff));
}

void Le32(QByteArray& b, quint32 v) {
    Le16(b, int(v & 0xffff));
    Le16(b, int(v >> 16));
}

QByteArray Zlib(const QByteArray& data) {
    return qCompress(data, 9).mid(4); // without the length qCompress puts in front
}

QByteArray PngChunk(const char* type, const QByteArray& data) {
    QByteArray chunk;
    Be32(chunk, quint32(data.size()));
    QByteArray body(type);
    body.append(data);
    chunk.append(body);
    Be32(chunk, Crc32(body));
    return chunk;
}

QByteArray HandPng(quint32 w, quint32 h, int depth, int colourType, const QByteArray& extra,
                   bool withData) {
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray ihdr;
    Be32(ihdr, w);
    Be32(ihdr, h);
    ihdr.append(char(depth));
    ihdr.append(char(colourType));
    ihdr.append(QByteArray(3, 0));
    png.append(PngChunk("IHDR", ihdr));
    png.append(extra);
    if (withData) {
        const int channels = colourType == 2 ? 3 : colourType == 6 ? 4 : colourType == 4 ? 2 : 1;
        const qint64 rowBytes = 1 + (qint64(w) * channels * depth + 7) / 8;
        png.append(PngChunk("IDAT", Zlib(QByteArray(qsizetype(rowBytes * h), 0))));
    }
    png.append(PngChunk("IEND", {}));
    return png;
}

QByteArray HugeBmp(quint32 w, quint32 h) {
    QByteArray b("BM");
    Le32(b, 54);
    Le32(b, 0);
    Le32(b, 54);
    Le32(b, 40);
    Le32(b, w);
    Le32(b, h);
    Le16(b, 1);
    Le16(b, 24);
    b.append(QByteArray(24, 0));
    return b;
}

QByteArray Tga(const QImage& image) {
    QByteArray b(2, 0);
    b.append(char(2)); // true colour
    b.append(QByteArray(9, 0));
    Le16(b, image.width());
    Le16(b, image.height());
    b.append(char(24));
    b.append(char(0x20));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            b.append(char(qBlue(p)));
            b.append(char(qGreen(p)));
            b.append(char(qRed(p)));
        }
    b.append(QByteArray(8, 0));
    b.append(QByteArray("TRUEVISION-XFILE.\0", 18));
    return b;
}

QByteArray WithJpegSize(QByteArray jpeg, int w, int h) {
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i)
        if (quint8(jpeg[i]) == 0xff &&
            (quint8(jpeg[i + 1]) == 0xc0 || quint8(jpeg[i + 1]) == 0xc2)) {
            jpeg[i + 5] = char(h >> 8);
            jpeg[i + 6] = char(h & 0xff);
            jpeg[i + 7] = char(w >> 8);
            jpeg[i + 8] = char(w & 0xff);
            break;
        }
    return jpeg;
}

QByteArray Oriented(QByteArray jpeg) {
    QByteArray exif("Exif\0\0MM\0\x2a", 10);
    Be32(exif, 8);
    exif.append(QByteArray("\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0", 14));
    Be32(exif, 0);
    QByteArray app1("\xff\xe1", 2);
    app1.append(char((exif.size() + 2) >> 8));
    app1.append(char((exif.size() + 2) & 0xff));
    app1.append(exif);
    return jpeg.insert(2, app1);
}

} // namespace kelvaro::testing
