#include "imaging/CutShort.h"

#include <cstdlib>

namespace kelvaro {

namespace {

int Byte(const QByteArray& d, qsizetype i) {
    return quint8(d[i]);
}

bool JpegCutShort(const QByteArray& d) {
    const qsizetype n = d.size();
    if (n < 2 || Byte(d, 0) != 0xff || Byte(d, 1) != 0xd8)
        return false;
    qsizetype i = 2;
    for (;;) {
        if (i >= n)
            return true;
        if (Byte(d, i) != 0xff)
            return false; // damaged, not short
        while (i < n && Byte(d, i) == 0xff)
            ++i;
        if (i >= n)
            return true;
        const int marker = Byte(d, i++);
        if (marker == 0xd9) // end of image
            return false;
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7))
            continue; // markers without a length
        if (i + 2 > n)
            return true;
        const qsizetype length = (Byte(d, i) << 8) | Byte(d, i + 1);
        if (length < 2)
            return false;
        if (i + length > n)
            return true;
        i += length;
        if (marker != 0xda)
            continue;
        // Entropy-coded data runs to the next marker other than a restart or a stuffed 0xff.
        for (;; ++i) {
            if (i + 1 >= n)
                return true;
            const int next = Byte(d, i + 1);
            if (Byte(d, i) == 0xff && next != 0 && next != 0xff && (next < 0xd0 || next > 0xd7))
                break;
        }
    }
}

quint32 Le32(const QByteArray& d, qsizetype i) {
    return quint32(Byte(d, i)) | quint32(Byte(d, i + 1)) << 8 | quint32(Byte(d, i + 2)) << 16 |
           quint32(Byte(d, i + 3)) << 24;
}

bool BmpCutShort(const QByteArray& d) {
    // File header (14 bytes) and an info header of 40 bytes or more.
    if (d.size() < 54 || d[0] != 'B' || d[1] != 'M' || Le32(d, 14) < 40)
        return false;
    const qint64 offset = Le32(d, 10);
    const qint64 width = qint32(Le32(d, 18));
    const qint64 height = std::llabs(qint32(Le32(d, 22)));
    const int bits = Byte(d, 28) | Byte(d, 29) << 8;
    const quint32 compression = Le32(d, 30);
    if ((compression != 0 && compression != 3) || width <= 0 || bits <= 0 || bits > 32)
        return false; // run-length coded or damaged: the decoder judges
    const qint64 stride = (width * bits + 31) / 32 * 4;
    return offset + stride * height > d.size();
}

} // namespace

bool PictureFileCutShort(const QByteArray& bytes, const QByteArray& format) {
    if (format == "jpeg" || format == "jpg")
        return JpegCutShort(bytes);
    if (format == "bmp")
        return BmpCutShort(bytes);
    return false;
}

} // namespace kelvaro
