#include "imaging/Decoding.h"

#include "imaging/CutShort.h"
#include "imaging/DecoderMessages.h"
#include "imaging/FileNames.h"
#include "imaging/ImagingTexts.h"
#include "imaging/LargeMemory.h"
#include "imaging/SystemLimits.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kelvaro {

namespace {

// Memory a w x h image of the reader's format takes (at least 4 bytes a pixel, as prepared).
qint64 DecodedBytes(QSize size, QImage::Format format) {
    const int bits = format == QImage::Format_Invalid
                         ? 32
                         : std::max(32, int(QImage::toPixelFormat(format).bitsPerPixel()));
    return qint64(size.width()) * size.height() * (bits / 8);
}

QString TooLargeReason(QSize size) {
    return Imaging::tr("画像が大きすぎます (%1 × %2)").arg(size.width()).arg(size.height());
}

} // namespace

ImageHandle LoadImageFile(const QString& path, ColourHandling colours,
                          const DecodeSizeRule& decodeSize) {
    // Opened by the name's exact bytes: names that are not UTF-8 reach the file too.
    const OpenedFile opened = OpenFileForReading(path);
    if (!opened.file)
        return ImageHandle::Failure(opened.reason);
    // Qt's scaling and colour conversion hand their work to a thread pool and wait for it
    // forever when it cannot start a thread.
    if (!CanStartWorkerThreads())
        return ImageHandle::Failure(NoThreadsReason());

    // The extension is tried first and the content after it, so a mislabelled picture opens and
    // formats without a signature (TGA) are not claimed by another reader. A reader keeps the
    // handler it picked, so trying the content takes a reader of its own.
    auto reader = std::make_unique<QImageReader>(
        opened.file.get(), QFileInfo(DisplayFileName(path)).suffix().toLower().toLatin1());
    if (!reader->canRead() && opened.file->seek(0))
        reader = std::make_unique<QImageReader>(opened.file.get());
    reader->setAutoTransform(true);
    if (!reader->canRead())
        return ImageHandle::Failure(Imaging::tr("画像として読めない形式です"));

    // Refuse what would not fit in memory before decoding anything of it.
    const QSize stored = reader->size();
    const QImage::Format format = reader->imageFormat();
    if (stored.isValid()) {
        if (DecodedBytes(stored, format) > kMaxDeclaredBytes)
            return ImageHandle::Failure(TooLargeReason(stored));
        QSize target = stored;
        if (decodeSize) {
            // The rule speaks of the picture as shown; the reader scales before it turns.
            const bool turned =
                reader->transformation().testFlag(QImageIOHandler::TransformationRotate90);
            const QSize shown = decodeSize(turned ? stored.transposed() : stored);
            target = turned ? shown.transposed() : shown;
        }
        const bool scalesWhileDecoding = reader->supportsOption(QImageIOHandler::ScaledSize);
        if (DecodedBytes(target, format) > kMaxDecodedBytes ||
            (!scalesWhileDecoding && DecodedBytes(stored, format) > kMaxDecodedBytes))
            return ImageHandle::Failure(TooLargeReason(stored));
        if (target != stored && target.isValid())
            reader->setScaledSize(target);
    }
    // Qt's own limit (128 MB) would otherwise refuse an everyday 48-megapixel photo.
    reader->setAllocationLimit(int(kMaxDecodedBytes / (1024 * 1024)));

    // Checked on the bytes: these decoders fill a missing end with grey and report success.
    if (const QByteArray format = reader->format(); format == "jpeg" || format == "bmp") {
        const OpenedFile whole = OpenFileForReading(path);
        if (whole.file && PictureFileCutShort(whole.file->readAll(), format))
            return ImageHandle::Failure(Imaging::tr("画像ファイルが途中で切れています"));
    }

    QImage image;
    {
        const DecoderMessageCapture messages;
        if (!reader->read(&image) || image.isNull()) {
            // A decoder that stopped at the end of the file ran out of data.
            if (messages.FileEndedEarly() || (reader->device() && reader->device()->atEnd()))
                return ImageHandle::Failure(Imaging::tr("画像ファイルが途中で切れています"));
            return ImageHandle::Failure(
                Imaging::tr("画像を読み込めませんでした (%1)").arg(reader->errorString()));
        }
        if (messages.FileEndedEarly())
            return ImageHandle::Failure(Imaging::tr("画像ファイルが途中で切れています"));
    }
    if (DecodedBytes(image.size(), image.format()) > kMaxDecodedBytes)
        return ImageHandle::Failure(TooLargeReason(image.size()));

    const QColorSpace cs = image.colorSpace();
    if (colours == ColourHandling::ConvertToSrgb && cs.isValid() &&
        cs != QColorSpace(QColorSpace::SRgb)) {
        if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32 &&
            image.depth() < 32)
            image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        image.convertToColorSpace(QColorSpace::SRgb);
    }
    return ImageHandle(std::move(image));
}

} // namespace kelvaro
