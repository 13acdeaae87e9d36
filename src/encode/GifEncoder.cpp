#include "encode/GifEncoder.h"

#include "encode/Encoder.h"
#include "encode/SizeLimit.h"

#include "imaging/ColourReduction.h"
#include "imaging/FileNames.h"
#include "imaging/ImageOperations.h"
#include "imaging/ImagingTexts.h"
#include "imaging/Parallel.h"
#include "imaging/SystemLimits.h"

#include <QCoreApplication>

#include <cgif.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace kelvaro {

// The context of this file's texts in the translations.
class GifTexts {
    Q_DECLARE_TR_FUNCTIONS(GifTexts)
};

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
    QByteArray bytes;
    if (Result encoded = EncodeAnimatedGif(frames, count, delay, bytes); !encoded)
        return encoded;
    return WriteFileAtomically(path, bytes);
}

void SmoothIndexRuns(QImage& indexed, int threshold) {
    if (threshold <= 0 || indexed.format() != QImage::Format_Indexed8)
        return;
    // Which pairs of indices are near, looked up for every pixel.
    const QList<QRgb> table = indexed.colorTable();
    std::vector<bool> near(256 * 256);
    for (qsizetype a = 0; a < table.size() && a < 256; ++a)
        for (qsizetype b = 0; b < table.size() && b < 256; ++b) {
            const QRgb p = table[a], q = table[b];
            near[size_t(a * 256 + b)] = std::abs(qRed(p) - qRed(q)) <= threshold &&
                                        std::abs(qGreen(p) - qGreen(q)) <= threshold &&
                                        std::abs(qBlue(p) - qBlue(q)) <= threshold;
        }
    for (int y = 0; y < indexed.height(); ++y) {
        uchar* line = indexed.scanLine(y);
        for (int x = 1; x < indexed.width(); ++x)
            if (near[size_t(line[x]) * 256 + line[x - 1]])
                line[x] = line[x - 1];
    }
}

bool FewColors(std::span<const ImageHandle> frames, int limit) {
    // One bit for each of the 2^24 colours; a photo passes the limit within its first rows.
    std::vector<bool> seen(size_t(1) << 24);
    int count = 0;
    for (const ImageHandle& handle : frames) {
        const QImage image = handle.image().format() == QImage::Format_RGB32
                                 ? handle.image()
                                 : handle.image().convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const size_t colour = line[x] & 0xffffffu;
                if (!seen[colour]) {
                    seen[colour] = true;
                    if (++count > limit)
                        return false;
                }
            }
        }
    }
    return true;
}

Result EncodeAnimatedGif(std::span<const ImageHandle> frames, int count, int delay,
                         QByteArray& out) {
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

    // A palette that leaves room in its table (of a power of two) has a spare index. Each frame
    // after the first is then written also with the pixels that keep the colour they had in the
    // frame before as that index, transparent, and the smaller of the two is kept: a grey or
    // flat-coloured picture whose parts stand still shrinks, one that moves all over does not.
    const int colours = int(globalPalette.size() / 3);
    int tableSize = 2;
    while (tableSize < colours)
        tableSize *= 2;
    const int spare = shared && indexed.size() > 1 && colours < tableSize ? colours : -1;

    struct Encoding {
        const QImage* frame;
        const QImage* before; // with a spare index: the pixels kept from it are transparent
        QByteArray gif;       // a GIF of this frame alone
        Result result;
    };
    std::vector<Encoding> encodings;
    std::vector<size_t> encodingOf, keptOf;
    for (size_t k = 0; k < indexed.size(); ++k) {
        const QImage& frame = indexed[k];
        const auto same = std::find_if(encodings.begin(), encodings.end(), [&](const Encoding& e) {
            return !e.before && *e.frame == frame;
        });
        encodingOf.push_back(size_t(same - encodings.begin()));
        if (same == encodings.end())
            encodings.push_back({&frame, nullptr, {}, {}});
    }
    for (size_t k = 1; spare >= 0 && k < indexed.size(); ++k) {
        keptOf.push_back(encodings.size());
        encodings.push_back({&indexed[k], &indexed[k - 1], {}, {}});
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
        if (e.before) {
            const std::vector<uint8_t> before = IndexBytes(*e.before);
            for (size_t i = 0; i < pixels.size(); ++i)
                if (pixels[i] == before[i])
                    pixels[i] = uint8_t(spare);
            fc.attrFlags = CGIF_FRAME_ATTR_HAS_SET_TRANS;
            fc.transIndex = uint8_t(spare);
        }
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
    ParallelFor(
        int(encodings.size()), [&](int i) { encode(encodings[std::size_t(i)]); },
        CanStartWorkerThreads() ? 0 : 1);

    // The file: the first GIF's header, then every frame's own blocks in order (the smaller of
    // a frame's two), then the end.
    for (const Encoding& e : encodings)
        if (!e.result)
            return e.result;
    std::vector<std::optional<GifParts>> parts;
    for (const Encoding& e : encodings) {
        parts.push_back(SplitGif(e.gif));
        if (!parts.back())
            return Result::Failure(Imaging::tr("GIFを書き終えられませんでした"));
    }
    const auto length = [&](size_t i) {
        return parts[i]->frameEnd - parts[i]->frameStart;
    };
    QByteArray bytes;
    bytes.append(encodings[encodingOf[0]].gif.first(parts[encodingOf[0]]->frameStart));
    for (size_t k = 0; k < indexed.size(); ++k) {
        size_t i = encodingOf[k];
        if (k > 0 && spare >= 0 && length(keptOf[k - 1]) < length(i))
            i = keptOf[k - 1];
        bytes.append(encodings[i].gif.sliced(parts[i]->frameStart, length(i)));
    }
    bytes.append(char(0x3b));
    out = std::move(bytes);
    return {};
}

namespace {

// Scales the frames, reduces their colours to one shared palette and writes the GIF: steps 2, 4,
// 6 and 8. Within a byte limit, the colours may stray from the palette's (SmoothIndexRuns) and
// then the size shrink.
class GifFileWriter final : public Encoder {
public:
    Result Write(const QString& path, std::vector<ImageHandle> frames, QSize out, int delayCs,
                 const EncodeOptions& options,
                 const std::function<void(int)>& showProgress) const override {
        const auto show = [&](int step) {
            if (showProgress)
                showProgress(step);
        };
        const int count = int(frames.size());
        // A sway cycle repeats its angles: equal frames are scaled and reduced once and share the
        // result, so they stay equal in the GIF.
        std::vector<size_t> sourceOf(static_cast<size_t>(count));
        std::vector<ImageHandle> distinct;
        for (size_t k = 0; k < size_t(count); ++k) {
            sourceOf[k] = distinct.size();
            for (size_t j = 0; j < distinct.size(); ++j)
                if (distinct[j].image() == frames[k].image()) {
                    sourceOf[k] = j;
                    break;
                }
            if (sourceOf[k] == distinct.size())
                distinct.push_back(std::move(frames[k]));
        }
        frames.clear();

        // The distinct frames at a size, reduced to one palette, so that no colour flickers from
        // frame to frame. Without a limit they are scaled in place.
        const bool limited = options.maxBytes > 0;
        // Frames the palette holds exactly are not smoothed (counted before scaling, which adds
        // colours but keeps the frames' character).
        const int smoothing = FewColors(distinct, 256) ? 0 : GifRunSmoothing;
        const auto reduce = [&](QSize size, std::vector<ImageHandle>& indexed) {
            indexed.clear();
            for (ImageHandle& frame : distinct) {
                indexed.push_back(limited ? DuplicateImage(frame) : std::move(frame));
                ResizeImage(indexed.back(), size.width(), size.height());
            }
            show(2);
            show(4);
            Result reduced = ReduceFrameColors(indexed);
            show(6);
            return reduced;
        };
        const auto encode = [&](const std::vector<ImageHandle>& indexed, int threshold,
                                QByteArray& bytes) {
            std::vector<QImage> smoothed;
            for (const ImageHandle& frame : indexed) {
                smoothed.push_back(frame.image());
                SmoothIndexRuns(smoothed.back(), threshold);
            }
            std::vector<ImageHandle> output;
            output.reserve(size_t(count));
            for (size_t k = 0; k < size_t(count); ++k)
                output.emplace_back(QImage(smoothed[sourceOf[k]]));
            show(8);
            return EncodeAnimatedGif(output, count, delayCs, bytes);
        };

        long long smallest = 0;
        for (const QSize size : limited ? SizeLimitScales(out) : std::vector<QSize>{out}) {
            std::vector<ImageHandle> indexed;
            QByteArray bytes;
            if (Result reduced = reduce(size, indexed); !reduced)
                return reduced;
            if (Result encoded = encode(indexed, smoothing, bytes); !encoded)
                return encoded;
            int threshold = smoothing;
            if (limited && bytes.size() > options.maxBytes) {
                StepFit fit;
                const int first =
                    std::clamp(int(std::lround(MaxRunSmoothing * (1 - double(options.maxBytes) /
                                                                          double(bytes.size())))),
                               1, MaxRunSmoothing);
                if (Result searched = SearchSteps(
                        MaxRunSmoothing, 2, first, options.maxBytes, bytes.size(),
                        [&](int step, QByteArray& b) {
                            return encode(indexed, std::max(step, smoothing), b);
                        },
                        fit);
                    !searched)
                    return searched;
                smallest = smallest > 0 ? std::min(smallest, fit.smallest) : fit.smallest;
                if (fit.step < 0)
                    continue;
                threshold = std::max(fit.step, smoothing);
                bytes = std::move(fit.bytes);
            }
            if (limited && (threshold > smoothing || size != out) && options.gaveWay)
                options.gaveWay(SizeLimitChoice(options.maxBytes,
                                                GifTexts::tr("色の誤差 %1 まで、%2 × %3")
                                                    .arg(threshold)
                                                    .arg(size.width())
                                                    .arg(size.height()),
                                                bytes.size()));
            return WriteFileAtomically(path, bytes);
        }
        return Result::Failure(SizeLimitFailure(options.maxBytes, smallest));
    }
};

} // namespace

const Encoder& GifFileEncoder() {
    static const GifFileWriter encoder;
    return encoder;
}

} // namespace kelvaro
