#pragma once

#include "depth/DepthPalette.h"
#include "imaging/Imaging.h"

#include <QImage>
#include <QRect>

namespace kelvaro {

// The relief painted over the picture: one exact 32-bit colour per picture pixel, normally one of
// the nine palette colours. Colours that came from a loaded file are kept as they are.
class DepthMap {
public:
    DepthMap() = default;

    // Makes a map of w x h, all BaseLevel. False when it could not be made (no memory, bad size);
    // the map is then released.
    [[nodiscard]] bool Create(int w, int h);
    // Frees the map; harmless when none exists.
    void Release() { image_ = QImage(); }
    bool exists() const { return !image_.isNull(); }

    int width() const { return image_.width(); }
    int height() const { return image_.height(); }
    QRect rect() const { return image_.rect(); }

    // Sets every pixel to the BaseLevel colour.
    void Clear();

    COLORREF Pixel(int x, int y) const;

    // A new image of the whole map.
    ImageHandle CopyOut() const;
    // Replaces the map's pixels with the image's, top-left to top-left, unscaled; where the image
    // does not reach, the map keeps its colours.
    void CopyIn(const ImageHandle& image);

    // The drawing surface for the painting tools and frame synthesis (Format_RGB32).
    QImage& surface() { return image_; }
    const QImage& surface() const { return image_; }

private:
    QImage image_;
};

} // namespace kelvaro
