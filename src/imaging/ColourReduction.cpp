#include "imaging/ColourReduction.h"

#include "imaging/ImageOperations.h"
#include "imaging/ImagingTexts.h"
#include "imaging/LargeMemory.h"
#include "imaging/PaletteDithering.h"
#include "imaging/Parallel.h"
#include "imaging/SystemLimits.h"

#include <QThread>

#include <libimagequant.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace kelvaro {

namespace {

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

struct LiqHistogramDeleter {
    void operator()(liq_histogram* p) const { liq_histogram_destroy(p); }
};
using LiqHistogram = std::unique_ptr<liq_histogram, LiqHistogramDeleter>;

// The palette is searched at speed 7, with one round of k-means refinement: its colours sit closer
// to the picture's than at speed 8, so that the same bytes give a higher PSNR, while it costs far
// less than the rounds of speed 5, which gained another 0.1 to 0.3 dB for a fifth more time.
constexpr int kPaletteSpeed = 7;
// Light dithering: 0.2 gave smaller files at a higher PSNR than 0.3, 0.5 or 1.0 on every benchmark
// photo, without visible banding in a smooth sky.
constexpr float kDitheringLevel = 0.2f;
// The palette always takes all the colours it may: a palette that stops growing at a lower quality
// saves bytes on noisy photos only by giving up several dB, which the GIF encoder's run smoothing
// (SmoothIndexRuns) trades better.
constexpr int kPaletteQuality = 100;
// Bands of rows dithered on their own are at least this high.
constexpr int kMinBandRows = 64;
// The palette sample: every row, or every second to every eighth row while at least this many
// pixels remain.
constexpr qint64 kPaletteSamplePixels = 128 * 1024;

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

// The palette for every step-th row of the images (Format_RGB32 or RGBX8888, all of one size and
// format).
Result ChoosePaletteFrom(const std::vector<QImage>& images, int step, liq_palette& palette) {
    const int w = images.front().width(), h = images.front().height();
    const OneOpenMpThread oneThread;
    LiqAttr attr(NewLiqAttr());
    if (!attr)
        return Result::Failure(LiqErrorText(LIQ_OUT_OF_MEMORY));
    if (liq_error e = liq_set_speed(attr.get(), kPaletteSpeed); e != LIQ_OK)
        return Result::Failure(LiqErrorText(e));
    if (liq_error e = liq_set_quality(attr.get(), 0, kPaletteQuality); e != LIQ_OK)
        return Result::Failure(LiqErrorText(e));
    // From speed 8 on, a histogram drops the lowest bit of every channel, set when the histogram
    // is made: it is made at speed 7, so that pictures of few colours keep them exactly (the
    // palette itself is searched at kPaletteSpeed).
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

// The palette for a sample of the rows of the images. A sample of fewer colours than a palette
// holds may have missed some of a picture of few colours: then every row is read, so that such a
// picture keeps all its colours exactly.
Result ChoosePalette(const std::vector<QImage>& images, liq_palette& palette) {
    const qint64 pixels =
        qint64(images.front().width()) * images.front().height() * qint64(images.size());
    const int step = int(std::clamp<qint64>(pixels / kPaletteSamplePixels, 1, 8));
    if (Result chosen = ChoosePaletteFrom(images, step, palette);
        !chosen || step == 1 || palette.count >= 256)
        return chosen;
    return ChoosePaletteFrom(images, 1, palette);
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
    // failed under a tight ulimit -v): both are checked first, the memory as room for a float
    // copy of the frames (16 bytes a pixel, more than it and the dithering take).
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
    // Each frame is dithered in bands of rows, so that the work spreads evenly over the cores:
    // five frames on two cores would leave one idle for a fifth of the time.
    const int w = size.width(), h = size.height();
    const int bands = std::min(std::max(2, QThread::idealThreadCount() / int(distinct.size())),
                               std::max(1, h / kMinBandRows));
    std::vector<QImage> indexed(distinct.size());
    struct Band {
        std::vector<const uchar*> rows;
        std::vector<uchar*> out;
        std::vector<uchar> map;
    };
    std::vector<Band> jobs;
    for (size_t i = 0; i < distinct.size(); ++i) {
        indexed[i] = QImage(w, h, QImage::Format_Indexed8);
        if (indexed[i].isNull())
            return Result::Failure(LiqErrorText(LIQ_OUT_OF_MEMORY));
        for (int b = 0; b < bands; ++b) {
            Band band;
            for (int y = h * b / bands; y < h * (b + 1) / bands; ++y) {
                band.rows.push_back(rgba[i].constScanLine(y));
                band.out.push_back(indexed[i].scanLine(y));
            }
            jobs.push_back(std::move(band));
        }
    }

    // The palette is chosen on one thread while the others find where each band may be
    // dithered; then the bands are dithered on all. The bands work in floats, 12 bytes a pixel
    // while one is dithered: should memory still run out, the frames stay as they were.
    liq_palette palette{};
    Result chosen;
    QList<QRgb> table;
    try {
        ParallelFor(int(jobs.size()) + 1, [&](int i) {
            if (i == 0)
                chosen = ChoosePalette(rgba, palette);
            else
                jobs[size_t(i - 1)].map = DitheringMap({jobs[size_t(i - 1)].rows, w, rgb32});
        });
        if (!chosen)
            return chosen;
        table.reserve(int(palette.count));
        for (unsigned i = 0; i < palette.count; ++i)
            table.append(qRgb(palette.entries[i].r, palette.entries[i].g, palette.entries[i].b));
        const PaletteDithering dithering(table, kDitheringLevel);
        ParallelFor(int(jobs.size()), [&](int i) {
            Band& band = jobs[size_t(i)];
            dithering.Dither({band.rows, w, rgb32}, std::move(band.map), band.out);
        });
    } catch (const std::bad_alloc&) {
        return Result::Failure(LiqErrorText(LIQ_OUT_OF_MEMORY));
    }
    rgba.clear();

    for (QImage& image : indexed)
        image.setColorTable(table);
    for (size_t i = 0; i < distinct.size(); ++i)
        frames[distinct[i]].image() = std::move(indexed[i]);
    for (size_t k = 0; k < frames.size(); ++k)
        if (sourceOf[k] != k)
            frames[k].image() = frames[sourceOf[k]].image();
    return Result::Success();
}

} // namespace kelvaro
