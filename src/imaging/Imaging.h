#pragma once

#include "imaging/ImageHandle.h"

#include <QString>

#include <functional>
#include <optional>
#include <span>

class QPainter;

namespace kelvaro {

// The image operations the rest of the program works through. Images live in ImageHandles;
// "surfaces" are the QImages that play the part of drawing targets (the depth map, a frame).
// Every rectangle is clipped to both images, so no call reads or writes out of bounds.

// The largest side a picture may be worked on at (decoding is limited by memory, not sides).
inline constexpr int kMaxDecodedSide = 16384;
// The most memory a picture may take: decoded, at the size it is decoded to, and at the size its
// file declares. Decoders that cannot scale while decoding need the declared size in full.
inline constexpr qint64 kMaxDecodedBytes = qint64(512) * 1024 * 1024;
inline constexpr qint64 kMaxDeclaredBytes = qint64(1024) * 1024 * 1024;

// What LoadImageFile does with a colour profile or gamma the file carries.
enum class ColourHandling {
    ConvertToSrgb, // pictures: shown and rendered as sRGB
    AsStored,      // data such as depth maps: the stored values, exactly
};

// The size to decode a picture to, given its size as shown (orientation applied). Decoders that
// can (JPEG) then do only the work the smaller size needs.
using DecodeSizeRule = std::function<QSize(QSize shown)>;

// Decodes a picture file (every format Qt's readers know; the first frame of an animation) and
// applies its orientation tag, at the size `decodeSize` picks (the stored size without one). A
// null handle with a reason on failure: the system's reason when the file cannot be read, the
// decoder's when it cannot be decoded, and a file cut short is a failure, not a part picture.
ImageHandle LoadImageFile(const QString& path,
                          ColourHandling colours = ColourHandling::ConvertToSrgb,
                          const DecodeSizeRule& decodeSize = {});

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

struct Result {
    bool ok = true;
    QString reason;
    static Result Success() { return {}; }
    static Result Failure(QString why) { return {false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

// Writes a Windows bitmap that keeps every colour exactly. Goes through a temporary file, so a
// failed write leaves any existing file untouched.
Result SaveBitmapFile(const QString& path, const ImageHandle& image);

// In place: one palette for the whole image, Floyd-Steinberg dithered, as ReduceFrameColors does
// for one frame. The image then holds palette indices; crops of it share the palette.
Result ReduceImageColors(ImageHandle& image, int reserved1 = 0, int reserved2 = 0);

// In place: equally sized frames reduced to one shared palette of at most 256 colours. The
// palette is chosen from a sample of the rows of all distinct frames; each distinct frame is then
// dithered on its own, the frames in parallel. Equal frames come out equal. On failure the frames
// are left as they were.
Result ReduceFrameColors(std::span<ImageHandle> frames);

// Writes the frames in order as one animated GIF that loops forever, delay in 1/100 s a frame.
// Frames sharing one palette get a global colour table. Written atomically like bitmaps.
Result WriteAnimatedGif(const QString& path, std::span<const ImageHandle> frames, int count,
                        int delay);

// Where the frames of a GIF lie: its header (with the colour table and the looping extension)
// ends at frameStart, the frames' blocks run to frameEnd, where the trailer byte is.
struct GifParts {
    qsizetype frameStart = 0, frameEnd = 0;
};
// nullopt when the bytes are not a whole GIF with at least one frame.
std::optional<GifParts> SplitGif(const QByteArray& gif);

// How WriteAnimatedWebp compresses: lossy at quality 0..100 (bigger is better and larger), or
// lossless, which keeps every pixel exactly.
struct WebpOptions {
    bool lossless = false;
    int quality = 90;
};

// Writes the frames in order, in full colour, as one animated WebP that loops forever, delayMs
// milliseconds a frame. Written atomically like bitmaps.
Result WriteAnimatedWebp(const QString& path, std::span<const ImageHandle> frames, int delayMs,
                         const WebpOptions& options);

} // namespace kelvaro
