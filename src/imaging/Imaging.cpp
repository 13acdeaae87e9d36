#include "imaging/Imaging.h"

#include "imaging/CutShort.h"
#include "imaging/DecoderMessages.h"
#include "imaging/FileNames.h"
#include "imaging/LargeMemory.h"
#include "imaging/SystemLimits.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QThread>

#include <QtConcurrent/QtConcurrentMap>

#include <cgif.h>
#include <libimagequant.h>
#include <omp.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace kelvaro {

// The context of this file's texts in the translations.
class Imaging {
    Q_DECLARE_TR_FUNCTIONS(Imaging)
};

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

struct LiqAttrDeleter {
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
};
struct LiqImageDeleter {
    void operator()(liq_image* p) const { liq_image_destroy(p); }
};
struct LiqResultDeleter {
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};
using LiqAttr = std::unique_ptr<liq_attr, LiqAttrDeleter>;

// libimagequant keeps four floats a pixel while it works: its buffers take huge pages too.
liq_attr* NewLiqAttr() {
    return liq_attr_create_with_allocator(AllocateLarge, std::free);
}
using LiqImage = std::unique_ptr<liq_image, LiqImageDeleter>;
using LiqResult = std::unique_ptr<liq_result, LiqResultDeleter>;

QString LiqErrorText(liq_error e) {
    switch (e) {
    case LIQ_OUT_OF_MEMORY:
        return Imaging::tr("メモリが足りません");
    case LIQ_QUALITY_TOO_LOW:
        return Imaging::tr("減色の品質が足りません");
    default:
        return Imaging::tr("減色に失敗しました (libimagequant %1)").arg(int(e));
    }
}

// Memory a w x h image of the reader's format takes (at least 4 bytes a pixel, as prepared).
qint64 DecodedBytes(QSize size, QImage::Format format) {
    const int bits = format == QImage::Format_Invalid
                         ? 32
                         : std::max(32, int(QImage::toPixelFormat(format).bitsPerPixel()));
    return qint64(size.width()) * size.height() * (bits / 8);
}

QString TooLargeReason(QSize size) {
    return Imaging::tr("画像が大きすぎます (%1 × %2)").arg(size.width()).arg(size.height());
}

} // namespace

ImageHandle LoadImageFile(const QString& path, ColourHandling colours,
                          const DecodeSizeRule& decodeSize) {
    // Opened by the name's exact bytes: names that are not UTF-8 reach the file too.
    const OpenedFile opened = OpenFileForReading(path);
    if (!opened.file)
        return ImageHandle::Failure(opened.reason);
    // Qt's scaling and colour conversion hand their work to a thread pool and wait for it
    // forever when it cannot start a thread.
    if (!CanStartWorkerThreads())
        return ImageHandle::Failure(NoThreadsReason());

    // The extension is tried first and the content after it, so a mislabelled picture opens and
    // formats without a signature (TGA) are not claimed by another reader. A reader keeps the
    // handler it picked, so trying the content takes a reader of its own.
    auto reader = std::make_unique<QImageReader>(
        opened.file.get(), QFileInfo(DisplayFileName(path)).suffix().toLower().toLatin1());
    if (!reader->canRead() && opened.file->seek(0))
        reader = std::make_unique<QImageReader>(opened.file.get());
    reader->setAutoTransform(true);
    if (!reader->canRead())
        return ImageHandle::Failure(Imaging::tr("画像として読めない形式です"));

    // Refuse what would not fit in memory before decoding anything of it.
    const QSize stored = reader->size();
    const QImage::Format format = reader->imageFormat();
    if (stored.isValid()) {
        if (DecodedBytes(stored, format) > kMaxDeclaredBytes)
            return ImageHandle::Failure(TooLargeReason(stored));
        QSize target = stored;
        if (decodeSize) {
            // The rule speaks of the picture as shown; the reader scales before it turns.
            const bool turned =
                reader->transformation().testFlag(QImageIOHandler::TransformationRotate90);
            const QSize shown = decodeSize(turned ? stored.transposed() : stored);
            target = turned ? shown.transposed() : shown;
        }
        const bool scalesWhileDecoding = reader->supportsOption(QImageIOHandler::ScaledSize);
        if (DecodedBytes(target, format) > kMaxDecodedBytes ||
            (!scalesWhileDecoding && DecodedBytes(stored, format) > kMaxDecodedBytes))
            return ImageHandle::Failure(TooLargeReason(stored));
        if (target != stored && target.isValid())
            reader->setScaledSize(target);
    }
    // Qt's own limit (128 MB) would otherwise refuse an everyday 48-megapixel photo.
    reader->setAllocationLimit(int(kMaxDecodedBytes / (1024 * 1024)));

    // Checked on the bytes: these decoders fill a missing end with grey and report success.
    if (const QByteArray format = reader->format(); format == "jpeg" || format == "bmp") {
        const OpenedFile whole = OpenFileForReading(path);
        if (whole.file && PictureFileCutShort(whole.file->readAll(), format))
            return ImageHandle::Failure(Imaging::tr("画像ファイルが途中で切れています"));
    }

    QImage image;
    {
        const DecoderMessageCapture messages;
        if (!reader->read(&image) || image.isNull()) {
            // A decoder that stopped at the end of the file ran out of data.
            if (messages.FileEndedEarly() || (reader->device() && reader->device()->atEnd()))
                return ImageHandle::Failure(Imaging::tr("画像ファイルが途中で切れています"));
            return ImageHandle::Failure(
                Imaging::tr("画像を読み込めませんでした (%1)").arg(reader->errorString()));
        }
        if (messages.FileEndedEarly())
            return ImageHandle::Failure(Imaging::tr("画像ファイルが途中で切れています"));
    }
    if (DecodedBytes(image.size(), image.format()) > kMaxDecodedBytes)
        return ImageHandle::Failure(TooLargeReason(image.size()));

    const QColorSpace cs = image.colorSpace();
    if (colours == ColourHandling::ConvertToSrgb && cs.isValid() &&
        cs != QColorSpace(QColorSpace::SRgb)) {
        if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32 &&
            image.depth() < 32)
            image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        image.convertToColorSpace(QColorSpace::SRgb);
    }
    return ImageHandle(std::move(image));
}

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

namespace {

struct LiqHistogramDeleter {
    void operator()(liq_histogram* p) const { liq_histogram_destroy(p); }
};
using LiqHistogram = std::unique_ptr<liq_histogram, LiqHistogramDeleter>;

// libimagequant 2.x spreads parts of its work over OpenMP threads, and liq_set_speed decides from
// how many it may use whether remapping builds a dither map. The frames are already spread over
// the cores, so inside a reduction it gets exactly one: no second team of threads busy-waiting
// beside ours, and the speeds below mean the same on every machine.
class OneOpenMpThread {
public:
    OneOpenMpThread() : previous_(omp_get_max_threads()) { omp_set_num_threads(1); }
    ~OneOpenMpThread() { omp_set_num_threads(previous_); }
    OneOpenMpThread(const OneOpenMpThread&) = delete;
    OneOpenMpThread& operator=(const OneOpenMpThread&) = delete;

private:
    int previous_;
};

// The palette is searched at speed 8: no k-means refinement, no contrast maps; on the sample that
// costs a fraction of the remapping, and slower speeds gained little over the benchmark photos.
constexpr int kPaletteSpeed = 8;
// Remapping at speed 5, the highest at which libimagequant 2.x keeps its dither map with one
// OpenMP thread: Floyd-Steinberg dithering is then damped on edges and in noise, where it only
// adds grain and bytes.
constexpr int kRemapSpeed = 5;
// Light dithering: 0.2 gave smaller files at a higher PSNR than 0.3, 0.5 or 1.0 on every benchmark
// photo, without visible banding in a smooth sky.
constexpr float kDitheringLevel = 0.2f;
// The palette stops growing once its error is below libimagequant's quality 85: a noisy photo then
// needs a third fewer bytes at 39 dB; photos that do not reach it keep all 256 colours.
constexpr int kPaletteQuality = 85;
// Bands of rows dithered on their own are at least this high.
constexpr int kMinBandRows = 64;
// The palette sample: every row, or every second, third or fourth row while at least this many
// pixels remain.
constexpr qint64 kPaletteSamplePixels = 256 * 1024;

// Rows of one image that libimagequant reads one at a time, so that the frames need no
// converted copy: Format_RGB32 turned into its byte order on the way, RGBX8888 taken as it is.
struct LiqRows {
    std::vector<const uchar*> rows;
    bool rgb32 = true;
};

void ReadLiqRow(liq_color out[], int row, int width, void* rows) {
    const LiqRows& from = *static_cast<const LiqRows*>(rows);
    const uchar* line = from.rows[size_t(row)];
    if (!from.rgb32) {
        std::memcpy(out, line, size_t(width) * sizeof(liq_color));
        return;
    }
    const QRgb* pixels = reinterpret_cast<const QRgb*>(line);
    for (int x = 0; x < width; ++x)
        out[x] = {uchar(qRed(pixels[x])), uchar(qGreen(pixels[x])), uchar(qBlue(pixels[x])), 255};
}

// An image of libimagequant's that reads the rows (at least one) w pixels wide.
liq_image* NewLiqImage(const liq_attr* attr, LiqRows& rows, int w) {
    return liq_image_create_custom(attr, ReadLiqRow, &rows, w, int(rows.rows.size()), 0);
}

// The palette for the sampled rows of the images (Format_RGB32 or RGBX8888, all of one size and
// format).
Result ChoosePalette(const std::vector<QImage>& images, liq_palette& palette) {
    const int w = images.front().width(), h = images.front().height();
    const qint64 pixels = qint64(w) * h * qint64(images.size());
    const int step = int(std::clamp<qint64>(pixels / kPaletteSamplePixels, 1, 4));

    const OneOpenMpThread oneThread;
    LiqAttr attr(NewLiqAttr());
    if (!attr)
        return Result::Failure(LiqErrorText(LIQ_OUT_OF_MEMORY));
    if (liq_error e = liq_set_speed(attr.get(), kPaletteSpeed); e != LIQ_OK)
        return Result::Failure(LiqErrorText(e));
    if (liq_error e = liq_set_quality(attr.get(), 0, kPaletteQuality); e != LIQ_OK)
        return Result::Failure(LiqErrorText(e));
    // From speed 8 on, a histogram drops the lowest bit of every channel, set when the histogram
    // is made: it is made at speed 7, so that pictures of few colours keep them exactly.
    LiqAttr exact(liq_attr_copy(attr.get()));
    if (!exact)
        return Result::Failure(LiqErrorText(LIQ_OUT_OF_MEMORY));
    if (liq_error e = liq_set_speed(exact.get(), 7); e != LIQ_OK)
        return Result::Failure(LiqErrorText(e));
    LiqHistogram histogram(liq_histogram_create(exact.get()));
    if (!histogram)
        return Result::Failure(LiqErrorText(LIQ_OUT_OF_MEMORY));
    for (const QImage& image : images) {
        LiqRows rows{{}, image.format() == QImage::Format_RGB32};
        for (int y = 0; y < h; y += step)
            rows.rows.push_back(image.constScanLine(y));
        LiqImage sample(NewLiqImage(attr.get(), rows, w));
        if (!sample)
            return Result::Failure(Imaging::tr("減色の準備に失敗しました"));
        if (liq_error e = liq_histogram_add_image(histogram.get(), attr.get(), sample.get());
            e != LIQ_OK)
            return Result::Failure(LiqErrorText(e));
    }
    liq_result* raw = nullptr;
    if (liq_error e = liq_histogram_quantize(histogram.get(), attr.get(), &raw); e != LIQ_OK)
        return Result::Failure(LiqErrorText(e));
    const LiqResult result(raw);
    palette = *liq_get_palette(result.get());
    return Result::Success();
}

// Dithers rows of one image (w pixels a row) to exactly the given palette, writing indices into
// it to the output rows.
Result RemapToPalette(LiqRows& rows, std::vector<unsigned char*>& out, int w,
                      const liq_palette& palette) {
    const OneOpenMpThread oneThread;
    LiqAttr attr(NewLiqAttr());
    if (!attr)
        return Result::Failure(LiqErrorText(LIQ_OUT_OF_MEMORY));
    if (liq_error e = liq_set_speed(attr.get(), kRemapSpeed); e != LIQ_OK)
        return Result::Failure(LiqErrorText(e));
    if (liq_error e = liq_set_max_colors(attr.get(), std::max(2, int(palette.count))); e != LIQ_OK)
        return Result::Failure(LiqErrorText(e));

    // A result of a histogram holding just the palette's colours has exactly that palette, and
    // libimagequant keeps it fixed while remapping, so every frame gets the same colours.
    LiqHistogram histogram(liq_histogram_create(attr.get()));
    if (!histogram)
        return Result::Failure(LiqErrorText(LIQ_OUT_OF_MEMORY));
    std::vector<liq_histogram_entry> entries(palette.count);
    for (unsigned i = 0; i < palette.count; ++i)
        entries[i] = {palette.entries[i], palette.count - i};
    if (liq_error e = liq_histogram_add_colors(histogram.get(), attr.get(), entries.data(),
                                               int(entries.size()), 0);
        e != LIQ_OK)
        return Result::Failure(LiqErrorText(e));
    liq_result* raw = nullptr;
    if (liq_error e = liq_histogram_quantize(histogram.get(), attr.get(), &raw); e != LIQ_OK)
        return Result::Failure(LiqErrorText(e));
    const LiqResult result(raw);
    if (liq_error e = liq_set_dithering_level(result.get(), kDitheringLevel); e != LIQ_OK)
        return Result::Failure(LiqErrorText(e));

    LiqImage input(NewLiqImage(attr.get(), rows, w));
    if (!input)
        return Result::Failure(Imaging::tr("減色の準備に失敗しました"));
    if (liq_error e = liq_write_remapped_image_rows(result.get(), input.get(), out.data());
        e != LIQ_OK)
        return Result::Failure(LiqErrorText(e));

    // The result lists the colours in an order of its own: translate its indices to the palette's.
    const liq_palette* own = liq_get_palette(result.get());
    std::array<unsigned char, 256> toShared{};
    for (unsigned i = 0; i < own->count; ++i) {
        const liq_color c = own->entries[i];
        int best = 0, bestDistance = INT_MAX;
        for (unsigned j = 0; j < palette.count && bestDistance > 0; ++j) {
            const liq_color p = palette.entries[j];
            const int d =
                (c.r - p.r) * (c.r - p.r) + (c.g - p.g) * (c.g - p.g) + (c.b - p.b) * (c.b - p.b);
            if (d < bestDistance)
                best = int(j), bestDistance = d;
        }
        toShared[i] = static_cast<unsigned char>(best);
    }
    for (unsigned char* line : out)
        for (int x = 0; x < w; ++x)
            line[x] = toShared[line[x]];
    return Result::Success();
}

} // namespace

Result ReduceImageColors(ImageHandle& handle, int, int) {
    if (handle.isNull())
        return Result::Failure(Imaging::tr("減色する画像がありません"));
    return ReduceFrameColors(std::span<ImageHandle>(&handle, 1));
}

Result ReduceFrameColors(std::span<ImageHandle> frames) {
    if (frames.empty() || frames.front().isNull())
        return Result::Failure(Imaging::tr("減色する画像がありません"));
    const QSize size = frames.front().image().size();
    for (const ImageHandle& frame : frames)
        if (frame.isNull() || frame.image().size() != size)
            return Result::Failure(Imaging::tr("フレームの大きさがそろっていません"));

    // Equal frames are reduced once and share the result.
    std::vector<size_t> sourceOf(frames.size());
    std::vector<size_t> distinct;
    for (size_t k = 0; k < frames.size(); ++k) {
        const auto same = std::find_if(distinct.begin(), distinct.end(), [&](size_t j) {
            return frames[j].image() == frames[k].image();
        });
        sourceOf[k] = same == distinct.end() ? k : *same;
        if (same == distinct.end())
            distinct.push_back(k);
    }

    // Qt's conversions below wait forever for pool threads they could not start, and
    // libimagequant leaves some allocations of its histogram unchecked (it crashed when they
    // failed under a tight ulimit -v): both are checked first, the memory as room for its float
    // copy of the frames (16 bytes a pixel).
    if (!CanStartWorkerThreads())
        return Result::Failure(NoThreadsReason());
    if (constexpr qint64 liqBytesPerPixel = 16; !HasMemoryFor(
            qint64(size.width()) * size.height() * qint64(distinct.size()) * liqBytesPerPixel))
        return Result::Failure(NoMemoryReason());

    // Frames in the working format are read as they are; others are converted once.
    std::vector<QImage> rgba;
    rgba.reserve(distinct.size());
    const bool rgb32 = std::all_of(distinct.begin(), distinct.end(), [&](size_t k) {
        return frames[k].image().format() == QImage::Format_RGB32;
    });
    for (size_t k : distinct) {
        rgba.push_back(rgb32 ? frames[k].image()
                             : frames[k].image().convertToFormat(QImage::Format_RGBX8888));
        if (rgba.back().isNull())
            return Result::Failure(LiqErrorText(LIQ_OUT_OF_MEMORY));
    }
    liq_palette palette{};
    if (Result chosen = ChoosePalette(rgba, palette); !chosen)
        return chosen;

    // Each frame is dithered in bands of rows, so that the work spreads evenly over the cores:
    // five frames on two cores would leave one idle for a fifth of the time.
    const int w = size.width(), h = size.height();
    const int bands = std::min(std::max(2, QThread::idealThreadCount() / int(distinct.size())),
                               std::max(1, h / kMinBandRows));
    std::vector<QImage> indexed(distinct.size());
    struct Band {
        LiqRows rows;
        std::vector<unsigned char*> out;
        Result result;
    };
    std::vector<Band> jobs;
    for (size_t i = 0; i < distinct.size(); ++i) {
        indexed[i] = QImage(w, h, QImage::Format_Indexed8);
        if (indexed[i].isNull())
            return Result::Failure(LiqErrorText(LIQ_OUT_OF_MEMORY));
        for (int b = 0; b < bands; ++b) {
            Band band;
            band.rows.rgb32 = rgb32;
            for (int y = h * b / bands; y < h * (b + 1) / bands; ++y) {
                band.rows.rows.push_back(rgba[i].constScanLine(y));
                band.out.push_back(indexed[i].scanLine(y));
            }
            jobs.push_back(std::move(band));
        }
    }
    QtConcurrent::blockingMap(jobs, [&palette, w](Band& band) {
        band.result = RemapToPalette(band.rows, band.out, w, palette);
    });
    rgba.clear();

    QList<QRgb> table;
    table.reserve(int(palette.count));
    for (unsigned i = 0; i < palette.count; ++i)
        table.append(qRgb(palette.entries[i].r, palette.entries[i].g, palette.entries[i].b));
    for (const Band& band : jobs)
        if (!band.result)
            return band.result;
    for (QImage& image : indexed)
        image.setColorTable(table);
    for (size_t i = 0; i < distinct.size(); ++i)
        frames[distinct[i]].image() = std::move(indexed[i]);
    for (size_t k = 0; k < frames.size(); ++k)
        if (sourceOf[k] != k)
            frames[k].image() = frames[sourceOf[k]].image();
    return Result::Success();
}

namespace {

struct CgifCloser {
    void operator()(CGIF* gif) const { cgif_close(gif); }
};

// cgif is C: an allocation failure must come back as its error code, not as an exception.
int AppendToBytes(void* context, const uint8_t* data, const size_t size) {
    try {
        static_cast<QByteArray*>(context)->append(reinterpret_cast<const char*>(data),
                                                  qsizetype(size));
        return 0;
    } catch (...) {
        return -1;
    }
}

std::vector<uint8_t> PaletteBytes(const QList<QRgb>& table) {
    std::vector<uint8_t> bytes;
    bytes.reserve(size_t(table.size()) * 3);
    for (QRgb c : table) {
        bytes.push_back(uint8_t(qRed(c)));
        bytes.push_back(uint8_t(qGreen(c)));
        bytes.push_back(uint8_t(qBlue(c)));
    }
    return bytes;
}

std::vector<uint8_t> IndexBytes(const QImage& indexed) {
    std::vector<uint8_t> bytes(size_t(indexed.width()) * size_t(indexed.height()));
    for (int y = 0; y < indexed.height(); ++y)
        std::memcpy(bytes.data() + size_t(y) * size_t(indexed.width()), indexed.constScanLine(y),
                    size_t(indexed.width()));
    return bytes;
}

} // namespace

std::optional<GifParts> SplitGif(const QByteArray& gif) {
    const auto byte = [&](qsizetype at) {
        return static_cast<unsigned char>(gif[at]);
    };
    // Header and logical screen descriptor, then the global colour table if the flags say so.
    constexpr qsizetype kScreenEnd = 13;
    if (gif.size() < kScreenEnd + 1 || !gif.startsWith("GIF8") || byte(gif.size() - 1) != 0x3b)
        return std::nullopt;
    qsizetype at = kScreenEnd;
    if (const unsigned flags = byte(10); flags & 0x80)
        at += 3 * (qsizetype(2) << (flags & 7));
    // Application extensions (the looping one) belong to the header.
    while (at + 1 < gif.size() && byte(at) == 0x21 && byte(at + 1) == 0xff) {
        at += 2;
        while (at < gif.size() && byte(at) != 0)
            at += byte(at) + 1;
        ++at;
    }
    const qsizetype end = gif.size() - 1;
    if (at >= end || (byte(at) != 0x21 && byte(at) != 0x2c))
        return std::nullopt;
    return GifParts{at, end};
}

Result WriteAnimatedGif(const QString& path, std::span<const ImageHandle> frames, int count,
                        int delay) {
    if (count <= 0 || size_t(count) > frames.size())
        return Result::Failure(Imaging::tr("書き出すフレームがありません"));
    frames = frames.first(size_t(count));
    const int w = frames[0].width(), h = frames[0].height();
    if (w <= 0 || h <= 0 || w > 0xffff || h > 0xffff)
        return Result::Failure(Imaging::tr("フレームの大きさが不正です"));

    for (const ImageHandle& frame : frames)
        if (frame.isNull() || frame.width() != w || frame.height() != h)
            return Result::Failure(Imaging::tr("フレームの大きさがそろっていません"));

    // Frames that already share one palette are written with a global table; otherwise every
    // frame is reduced on its own and carries a local table.
    const QImage& first = frames[0].image();
    const bool shared = std::all_of(frames.begin(), frames.end(), [&](const ImageHandle& f) {
        return f.image().format() == QImage::Format_Indexed8 &&
               f.image().colorTable() == first.colorTable() && first.colorCount() <= 256;
    });
    std::vector<QImage> indexed;
    indexed.reserve(frames.size());
    for (const ImageHandle& frame : frames) {
        if (frame.image().format() == QImage::Format_Indexed8 &&
            frame.image().colorCount() <= 256) {
            indexed.push_back(frame.image());
            continue;
        }
        ImageHandle copy = DuplicateImage(frame);
        if (Result r = ReduceImageColors(copy); !r)
            return r;
        indexed.push_back(copy.image());
    }

    // The GIF is built in memory (a few MB at most) and written in one piece. Its frames are
    // encoded each on its own, on all cores, and equal frames (a sway cycle repeats three) once.
    std::vector<uint8_t> globalPalette;
    CGIF_Config config{};
    config.attrFlags = CGIF_ATTR_IS_ANIMATED | (shared ? 0 : CGIF_ATTR_NO_GLOBAL_TABLE);
    config.width = uint16_t(w);
    config.height = uint16_t(h);
    if (shared) {
        globalPalette = PaletteBytes(indexed.front().colorTable());
        config.pGlobalPalette = globalPalette.data();
        config.numGlobalPaletteEntries = uint16_t(globalPalette.size() / 3);
    }
    config.numLoops = CGIF_INFINITE_LOOP;
    config.pWriteFn = AppendToBytes;

    struct Encoding {
        const QImage* frame;
        QByteArray gif; // a GIF of this frame alone
        Result result;
    };
    std::vector<Encoding> encodings;
    std::vector<size_t> encodingOf;
    for (const QImage& frame : indexed) {
        const auto same = std::find_if(encodings.begin(), encodings.end(),
                                       [&](const Encoding& e) { return *e.frame == frame; });
        encodingOf.push_back(size_t(same - encodings.begin()));
        if (same == encodings.end())
            encodings.push_back({&frame, {}, {}});
    }
    const auto encode = [&](Encoding& e) {
        CGIF_Config own = config;
        own.pContext = &e.gif;
        std::unique_ptr<CGIF, CgifCloser> gif(cgif_newgif(&own));
        if (!gif) {
            e.result = Result::Failure(Imaging::tr("GIFの書き出しを始められませんでした"));
            return;
        }
        std::vector<uint8_t> pixels = IndexBytes(*e.frame);
        std::vector<uint8_t> local;
        CGIF_FrameConfig fc{};
        fc.pImageData = pixels.data();
        fc.delay = uint16_t(std::clamp(delay, 0, 0xffff));
        if (!shared) {
            local = PaletteBytes(e.frame->colorTable());
            fc.attrFlags = CGIF_FRAME_ATTR_USE_LOCAL_TABLE;
            fc.pLocalPalette = local.data();
            fc.numLocalPaletteEntries = uint16_t(local.size() / 3);
        }
        if (cgif_addframe(gif.get(), &fc) != CGIF_OK)
            e.result = Result::Failure(Imaging::tr("GIFのフレームを書き出せませんでした"));
        else if (cgif_close(gif.release()) != CGIF_OK)
            e.result = Result::Failure(Imaging::tr("GIFを書き終えられませんでした"));
    };
    // Without threads to spare the frames are encoded one after another here.
    if (CanStartWorkerThreads())
        QtConcurrent::blockingMap(encodings, encode);
    else
        std::for_each(encodings.begin(), encodings.end(), encode);

    // The file: the first GIF's header, then every frame's own blocks in order, then the end.
    QByteArray bytes;
    qsizetype size = 1;
    for (size_t k = 0; k < indexed.size(); ++k)
        size += encodings[encodingOf[k]].gif.size();
    bytes.reserve(size);
    for (size_t k = 0; k < indexed.size(); ++k) {
        const Encoding& e = encodings[encodingOf[k]];
        if (!e.result)
            return e.result;
        const std::optional<GifParts> parts = SplitGif(e.gif);
        if (!parts)
            return Result::Failure(Imaging::tr("GIFを書き終えられませんでした"));
        if (k == 0)
            bytes.append(e.gif.first(parts->frameStart));
        bytes.append(e.gif.sliced(parts->frameStart, parts->frameEnd - parts->frameStart));
    }
    bytes.append(char(0x3b));
    return WriteFileAtomically(path, bytes);
}

} // namespace kelvaro
