#include "imaging/BitmapFile.h"

#include "imaging/FileNames.h"
#include "imaging/ImagingTexts.h"

#include <QBuffer>
#include <QImageWriter>

namespace kelvaro {

namespace {
QImage::Format constexpr kWorkingFormat = QImage::Format_RGB32;
} // namespace

Result SaveBitmapFile(const QString& path, const ImageHandle& handle) {
    if (handle.isNull())
        return Result::Failure(Imaging::tr("保存する画像がありません"));
    QImage image = handle.image();
    if (image.format() != kWorkingFormat)
        image.convertTo(kWorkingFormat);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(image))
        return Result::Failure(writer.errorString());
    return WriteFileAtomically(path, bytes);
}

} // namespace kelvaro
