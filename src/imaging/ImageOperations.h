#pragma once

#include "imaging/ImageHandle.h"

class QPainter;

namespace kelvaro {

// The image operations the rest of the program works through. Images live in ImageHandles;
// "surfaces" are the QImages that play the part of drawing targets (the depth map, a frame).
// Every rectangle is clipped to both images, so no call reads or writes out of bounds.

// Frees the image; a null handle is left as it is.
void ReleaseImage(ImageHandle& image);

// What PrepareImage does with transparent pixels.
enum class Transparency {
    FlattenOnWhite, // pictures: shown as a viewer shows them on a white page
    Ignore,         // data such as depth maps: each pixel keeps its stored colour
};

// Brings a decoded image into the working 32-bit RGB format.
void PrepareImage(ImageHandle& image, Transparency transparency = Transparency::FlattenOnWhite);

// Pixel (x, y) as 0x00BBGGRR. Positions outside the image read the nearest edge pixel.
COLORREF GetImagePixel(const ImageHandle& image, int x, int y);
COLORREF GetImagePixel(const QImage& image, int x, int y);

ImageHandle DuplicateImage(const ImageHandle& image);
ImageHandle CropImage(const ImageHandle& image, int x, int y, int w, int h);

struct ImageInfo {
    int width = 0;
    int height = 0;
};
ImageInfo GetImageInfo(const ImageHandle& image);

// Rescales in place to exactly w x h with smooth (area-averaging when shrinking) filtering.
void ResizeImage(ImageHandle& image, int w, int h);

// In place: blends every colour towards white by level / 255 (192 gives clearly paler colours).
void FadeImage(ImageHandle& image, int level);

// Copies the rectangle (x, y, w, h) of a surface into a new image of that size.
ImageHandle CaptureImage(const QImage& surface, int x, int y, int w, int h);

// Copies the w x h rectangle of image at (xSrc, ySrc) onto the surface at (x, y), unscaled.
void DrawImage(QImage& surface, int x, int y, int w, int h, const ImageHandle& image, int xSrc,
               int ySrc);
void DrawImage(QPainter& surface, int x, int y, int w, int h, const ImageHandle& image, int xSrc,
               int ySrc);

} // namespace kelvaro
