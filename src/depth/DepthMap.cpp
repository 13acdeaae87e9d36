#include "depth/DepthMap.h"

namespace kelvaro {

bool DepthMap::Create(int w, int h) {
    image_ = QImage();
    if (w <= 0 || h <= 0)
        return false;
    image_ = QImage(w, h, QImage::Format_RGB32);
    if (image_.isNull())
        return false;
    Clear();
    return true;
}

void DepthMap::Clear() {
    image_.fill(ArgbFromColorref(DepthPalette[BaseLevel]));
}

COLORREF DepthMap::Pixel(int x, int y) const {
    return GetImagePixel(image_, x, y);
}

ImageHandle DepthMap::CopyOut() const {
    return CaptureImage(image_, 0, 0, width(), height());
}

void DepthMap::CopyIn(const ImageHandle& image) {
    DrawImage(image_, 0, 0, width(), height(), image, 0, 0);
}

} // namespace kelvaro
