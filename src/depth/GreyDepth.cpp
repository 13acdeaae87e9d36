#include "depth/GreyDepth.h"

#include <QCoreApplication>
#include <algorithm>
#include <vector>

namespace kelvaro {

// The context of this file's texts in the translations.
class GreyDepth {
    Q_DECLARE_TR_FUNCTIONS(GreyDepth)
};

DepthLevel LevelOfGrey(int grey, int fullScale, const GreyDepthOptions& options) {
    grey = std::clamp(grey, 0, fullScale);
    // round(x / n) in integers; 7 g / n never lies halfway for n = 255 or 65535 (both odd, prime
    // to 7), so the way ties round does not matter.
    const auto roundedSevenths = [fullScale](int g) {
        return int((14 * qint64(g) + fullScale) / (2 * qint64(fullScale)));
    };
    if (options.fixedBelow) {
        const int grey8 =
            fullScale == 255 ? grey : int((qint64(grey) * 255 + fullScale / 2) / fullScale);
        const int t = std::clamp(*options.fixedBelow, 0, 255);
        if (options.blackNear ? grey8 >= 255 - t : grey8 <= t)
            return FixedLevel;
    }
    return 7 - roundedSevenths(options.blackNear ? fullScale - grey : grey);
}

ImageHandle DepthFromGrey(const QImage& grey, int w, int h, const GreyDepthOptions& options) {
    if (grey.isNull() || w <= 0 || h <= 0)
        return ImageHandle::Failure(GreyDepth::tr("画像がありません"));
    const bool sixteen = grey.format() == QImage::Format_Grayscale16;
    // Alpha is dropped before scaling, so transparent pixels neither vanish nor darken their
    // neighbours: only the stored grey counts.
    QImage source = sixteen ? grey : grey.convertToFormat(QImage::Format_RGB32);
    if (source.size() != QSize(w, h))
        source = source.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (sixteen && source.format() != QImage::Format_Grayscale16)
        source.convertTo(QImage::Format_Grayscale16);
    QImage out(w, h, QImage::Format_RGB32);
    if (source.isNull() || out.isNull())
        return ImageHandle::Failure(GreyDepth::tr("メモリが足りません"));

    // One palette colour per possible grey value.
    const int fullScale = sixteen ? 65535 : 255;
    std::vector<QRgb> colourOf(size_t(fullScale) + 1);
    for (int g = 0; g <= fullScale; ++g)
        colourOf[size_t(g)] =
            ArgbFromColorref(DepthPalette[size_t(LevelOfGrey(g, fullScale, options))]);

    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        if (sixteen) {
            const auto* in = reinterpret_cast<const quint16*>(source.constScanLine(y));
            for (int x = 0; x < w; ++x)
                row[x] = colourOf[in[x]];
        } else {
            const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
            for (int x = 0; x < w; ++x)
                row[x] = colourOf[size_t(qGray(in[x]))];
        }
    }
    return ImageHandle(std::move(out));
}

} // namespace kelvaro
