#include "files/PictureFile.h"

#include "imaging/FileNames.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <optional>

namespace kelvaro {

PictureSize FitPictureSize(int w0, int h0, int limit) {
    PictureSize s{w0, h0, false};
    if (w0 > limit) {
        s.width = limit;
        s.height = int(qint64(h0) * limit / w0);
        s.shrunk = true;
    }
    if (s.height > limit) {
        s.width = int(qint64(s.width) * limit / s.height);
        s.height = limit;
        s.shrunk = true;
    }
    // A very elongated picture would otherwise lose a side altogether (2000 x 2 -> 640 x 0).
    s.width = std::max(s.width, 1);
    s.height = std::max(s.height, 1);
    return s;
}

LoadedPicture LoadPicture(const QString& path, int limit) {
    LoadedPicture loaded;
    // A large picture is decoded straight to the size it is worked on: a JPEG decoder then skips
    // most of the work and memory of the full size.
    std::optional<PictureSize> fitted;
    loaded.image =
        LoadImageFile(path, ColourHandling::ConvertToSrgb, [&fitted, &loaded, limit](QSize shown) {
            loaded.fileSize = shown;
            fitted = FitPictureSize(shown.width(), shown.height(), limit);
            return QSize(fitted->width, fitted->height);
        });
    if (loaded.image.isNull())
        return loaded;
    PrepareImage(loaded.image);
    // Formats that do not tell their size before decoding arrive at full size.
    const ImageInfo info = GetImageInfo(loaded.image);
    if (!fitted)
        loaded.fileSize = QSize(info.width, info.height);
    const PictureSize size = FitPictureSize(info.width, info.height, limit);
    loaded.shrunk = size.shrunk || (fitted && fitted->shrunk);
    ResizeImage(loaded.image, size.width, size.height);
    return loaded;
}

ResultOf<DepthMapFileLoad> LoadDepthMapFile(const QString& path, DepthMap& map) {
    // A gamma or profile in the file must not shift the colours: they are levels, not a picture.
    ImageHandle file = LoadImageFile(path, ColourHandling::AsStored);
    if (file.isNull())
        return ResultOf<DepthMapFileLoad>::Failure(file.reason());
    DepthMapFileLoad load;
    PrepareImage(file, Transparency::Ignore);
    load.fileSize = file.image().size();
    const QImage& image = file.image();
    const int w = std::min(image.width(), map.width());
    const int h = std::min(image.height(), map.height());
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            load.offPalettePixels += !LevelOfColour(ColorrefFromArgb(row[x])).has_value();
    }
    map.CopyIn(file);
    return ResultOf<DepthMapFileLoad>::Success(load);
}

ImageHandle ReadGreyDepthFile(const QString& path) {
    // The grey values are depths, not a picture to show.
    return LoadImageFile(path, ColourHandling::AsStored);
}

Result LoadGreyDepthFile(const QString& path, const GreyDepthOptions& options, DepthMap& map) {
    const ImageHandle file = ReadGreyDepthFile(path);
    if (file.isNull())
        return Result::Failure(file.reason());
    const ImageHandle depth = DepthFromGrey(file.image(), map.width(), map.height(), options);
    if (depth.isNull())
        return Result::Failure(depth.reason());
    map.CopyIn(depth);
    return Result::Success();
}

Result SaveDepthMapFile(const QString& path, const DepthMap& map) {
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return SaveBitmapFile(path, map.CopyOut());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(map.surface()))
        return Result::Failure(writer.errorString());
    return WriteFileAtomically(path, bytes);
}

} // namespace kelvaro
