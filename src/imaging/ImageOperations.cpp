#include "imaging/ImageOperations.h"

#include "imaging/ImagingTexts.h"

#include <QPainter>

#include <algorithm>
#include <climits>

namespace kelvaro {

namespace {

QImage::Format constexpr kWorkingFormat = QImage::Format_RGB32;

// The part of a w x h copy from (xSrc, ySrc) of a srcW x srcH image to (x, y) of a dstW x dstH
// image that lies inside both. Empty when nothing overlaps.
struct CopyRect {
    int x, y, w, h, xSrc, ySrc;
    bool empty() const { return w <= 0 || h <= 0; }
};

CopyRect ClipCopy(int dstW, int dstH, int x, int y, int w, int h, int srcW, int srcH, int xSrc,
                  int ySrc) {
    // Shift the start of the rectangle inside both images, then cut the far sides.
    const int dx = std::max({0, -x, -xSrc});
    const int dy = std::max({0, -y, -ySrc});
    x += dx, xSrc += dx, w -= dx;
    y += dy, ySrc += dy, h -= dy;
    w = std::min({w, dstW - x, srcW - xSrc});
    h = std::min({h, dstH - y, srcH - ySrc});
    return {x, y, w, h, xSrc, ySrc};
}

bool IsWorking32(const QImage& image) {
    return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32;
}

} // namespace

void ReleaseImage(ImageHandle& image) {
    image.reset();
}

void PrepareImage(ImageHandle& handle, Transparency transparency) {
    if (handle.isNull())
        return;
    QImage& image = handle.image();
    if (image.format() == kWorkingFormat)
        return;
    if (image.hasAlphaChannel() && transparency == Transparency::Ignore) {
        // Through the unpremultiplied format, whose conversion to RGB32 only sets alpha opaque.
        image.convertTo(QImage::Format_ARGB32);
        image.convertTo(kWorkingFormat);
    } else if (image.hasAlphaChannel()) {
        QImage flat(image.size(), kWorkingFormat);
        flat.fill(Qt::white);
        QPainter p(&flat);
        p.drawImage(0, 0, image);
        p.end();
        image = std::move(flat);
    } else {
        image.convertTo(kWorkingFormat);
    }
}

COLORREF GetImagePixel(const QImage& image, int x, int y) {
    if (image.isNull())
        return 0;
    x = std::clamp(x, 0, image.width() - 1);
    y = std::clamp(y, 0, image.height() - 1);
    if (IsWorking32(image))
        return ColorrefFromArgb(reinterpret_cast<const QRgb*>(image.constScanLine(y))[x]);
    return ColorrefFromArgb(image.pixel(x, y));
}

COLORREF GetImagePixel(const ImageHandle& image, int x, int y) {
    return GetImagePixel(image.image(), x, y);
}

ImageHandle DuplicateImage(const ImageHandle& image) {
    if (image.isNull())
        return ImageHandle::Failure(Imaging::tr("画像がありません"));
    QImage copy = image.image().copy(); // a deep copy, not a shared one
    if (copy.isNull())
        return ImageHandle::Failure(Imaging::tr("メモリが足りません"));
    return ImageHandle(std::move(copy));
}

ImageHandle CropImage(const ImageHandle& image, int x, int y, int w, int h) {
    if (image.isNull() || w <= 0 || h <= 0)
        return ImageHandle::Failure(Imaging::tr("切り出す範囲がありません"));
    QImage part = image.image().copy(x, y, w, h);
    if (part.isNull())
        return ImageHandle::Failure(Imaging::tr("メモリが足りません"));
    return ImageHandle(std::move(part));
}

ImageInfo GetImageInfo(const ImageHandle& image) {
    return {image.width(), image.height()};
}

void ResizeImage(ImageHandle& handle, int w, int h) {
    if (handle.isNull())
        return;
    QImage& image = handle.image();
    w = std::max(w, 1);
    h = std::max(h, 1);
    if (image.width() == w && image.height() == h)
        return;
    const QImage::Format format =
        image.format() == QImage::Format_Indexed8 ? kWorkingFormat : image.format();
    QImage scaled = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.format() != format)
        scaled.convertTo(format);
    image = std::move(scaled);
}

void FadeImage(ImageHandle& handle, int level) {
    if (handle.isNull())
        return;
    QImage& image = handle.image();
    if (!IsWorking32(image))
        image.convertTo(kWorkingFormat);
    level = std::clamp(level, 0, 255);
    // One table for all three channels: c + (255 - c) * level / 255, rounded.
    std::uint8_t table[256];
    for (int c = 0; c < 256; ++c)
        table[c] = std::uint8_t(c + ((255 - c) * level + 127) / 255);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = row[x];
            row[x] = qRgba(table[qRed(p)], table[qGreen(p)], table[qBlue(p)], qAlpha(p));
        }
    }
}

ImageHandle CaptureImage(const QImage& surface, int x, int y, int w, int h) {
    if (surface.isNull() || w <= 0 || h <= 0)
        return ImageHandle::Failure(Imaging::tr("取り込む範囲がありません"));
    QImage out(w, h, IsWorking32(surface) ? surface.format() : kWorkingFormat);
    if (out.isNull())
        return ImageHandle::Failure(Imaging::tr("メモリが足りません"));
    out.fill(Qt::black);
    const CopyRect r = ClipCopy(w, h, 0, 0, w, h, surface.width(), surface.height(), x, y);
    if (!r.empty()) {
        if (IsWorking32(surface)) {
            for (int row = 0; row < r.h; ++row)
                std::memcpy(reinterpret_cast<QRgb*>(out.scanLine(r.y + row)) + r.x,
                            reinterpret_cast<const QRgb*>(surface.constScanLine(r.ySrc + row)) +
                                r.xSrc,
                            size_t(r.w) * sizeof(QRgb));
        } else {
            QPainter p(&out);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.drawImage(r.x, r.y, surface, r.xSrc, r.ySrc, r.w, r.h);
        }
    }
    return ImageHandle(std::move(out));
}

void DrawImage(QImage& surface, int x, int y, int w, int h, const ImageHandle& handle, int xSrc,
               int ySrc) {
    if (surface.isNull() || handle.isNull())
        return;
    const QImage& image = handle.image();
    const CopyRect r = ClipCopy(surface.width(), surface.height(), x, y, w, h, image.width(),
                                image.height(), xSrc, ySrc);
    if (r.empty())
        return;
    if (IsWorking32(surface) && IsWorking32(image)) {
        for (int row = 0; row < r.h; ++row)
            std::memcpy(reinterpret_cast<QRgb*>(surface.scanLine(r.y + row)) + r.x,
                        reinterpret_cast<const QRgb*>(image.constScanLine(r.ySrc + row)) + r.xSrc,
                        size_t(r.w) * sizeof(QRgb));
        return;
    }
    QPainter p(&surface);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(r.x, r.y, image, r.xSrc, r.ySrc, r.w, r.h);
}

void DrawImage(QPainter& surface, int x, int y, int w, int h, const ImageHandle& handle, int xSrc,
               int ySrc) {
    if (handle.isNull() || w <= 0 || h <= 0)
        return;
    const QImage& image = handle.image();
    // The painter clips to its device; only the source side needs clipping here.
    const CopyRect r =
        ClipCopy(INT_MAX / 2, INT_MAX / 2, x, y, w, h, image.width(), image.height(), xSrc, ySrc);
    if (r.empty())
        return;
    surface.drawImage(r.x, r.y, image, r.xSrc, r.ySrc, r.w, r.h);
}

} // namespace kelvaro
