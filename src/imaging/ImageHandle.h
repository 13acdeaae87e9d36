#pragma once

#include <QImage>
#include <QString>

#include <cstdint>

namespace kelvaro {

// A colour as the editor and the depth map speak of it: 0x00BBGGRR, red in the low byte.
using COLORREF = std::uint32_t;

constexpr COLORREF Rgb(int r, int g, int b) {
    return COLORREF(r & 0xff) | (COLORREF(g & 0xff) << 8) | (COLORREF(b & 0xff) << 16);
}
constexpr int RedOf(COLORREF c) {
    return int(c & 0xff);
}
constexpr int GreenOf(COLORREF c) {
    return int((c >> 8) & 0xff);
}
constexpr int BlueOf(COLORREF c) {
    return int((c >> 16) & 0xff);
}

// QImage pixels in the working format are 0xffRRGGBB.
constexpr COLORREF ColorrefFromArgb(QRgb p) {
    return Rgb(qRed(p), qGreen(p), qBlue(p));
}
constexpr QRgb ArgbFromColorref(COLORREF c) {
    return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

// Sole owner of one image. Moving hands the image on; destruction releases it, so no path can
// leak or free an image twice. A null handle stands for a failed operation and carries the reason.
class ImageHandle {
public:
    ImageHandle() = default;
    explicit ImageHandle(QImage image) : image_(std::move(image)) {}
    static ImageHandle Failure(QString reason) {
        ImageHandle h;
        h.reason_ = std::move(reason);
        return h;
    }

    ImageHandle(const ImageHandle&) = delete;
    ImageHandle& operator=(const ImageHandle&) = delete;
    ImageHandle(ImageHandle&& other) noexcept
        : image_(std::move(other.image_)), reason_(std::move(other.reason_)) {
        other.image_ = QImage();
    }
    ImageHandle& operator=(ImageHandle&& other) noexcept {
        if (this != &other) {
            image_ = std::move(other.image_);
            reason_ = std::move(other.reason_);
            other.image_ = QImage();
        }
        return *this;
    }
    ~ImageHandle() = default;

    bool isNull() const { return image_.isNull(); }
    explicit operator bool() const { return !isNull(); }

    int width() const { return image_.width(); }
    int height() const { return image_.height(); }

    const QImage& image() const { return image_; }
    QImage& image() { return image_; }

    // Why the operation that produced this handle failed; empty for a valid image.
    const QString& reason() const { return reason_; }

    void reset() {
        image_ = QImage();
        reason_.clear();
    }

private:
    QImage image_;
    QString reason_;
};

} // namespace kelvaro
