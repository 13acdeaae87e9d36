#pragma once

#include <QRgb>
#include <QtGlobal>

#include <memory>
#include <span>
#include <vector>

namespace kelvaro {

// Rows of one picture, each `width` pixels of Format_RGB32 (rgb32) or of RGBX8888 bytes.
struct PictureRows {
    std::span<const uchar* const> rows;
    int width = 0;
    bool rgb32 = true;
};

// How much each pixel of the picture may be dithered, one byte a pixel: little on edges, where
// dithering makes lines jagged, and in noise, which dithers itself. It does not depend on the
// palette, so that it can be made while the palette is chosen. Empty for a picture too small to
// tell.
std::vector<uchar> DitheringMap(const PictureRows& picture);

// Floyd-Steinberg dithering to one palette (1 to 256 opaque colours) at a level from 0 to 1, of
// any number of pictures at once, from any threads.
//
// Dithering is damped where it only adds grain and bytes: as the picture's DitheringMap says, and
// within the runs of one colour that it maps to without dithering. A pixel a
// palette colour matches exactly is never dithered, so a picture whose colours the palette holds
// keeps them.
class PaletteDithering {
public:
    PaletteDithering(std::span<const QRgb> palette, float level);
    ~PaletteDithering();
    PaletteDithering(const PaletteDithering&) = delete;
    PaletteDithering& operator=(const PaletteDithering&) = delete;

    // Writes to `out` (one row of picture.width bytes for each row of the picture) the palette
    // index of every pixel; `map` is the picture's DitheringMap (without it, no damping but in
    // runs).
    void Dither(const PictureRows& picture, std::vector<uchar> map,
                std::span<uchar* const> out) const;

private:
    struct Palette;
    std::unique_ptr<Palette> palette_;
};

} // namespace kelvaro
