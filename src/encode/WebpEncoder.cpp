#include "encode/WebpEncoder.h"

#include "encode/Encoder.h"
#include "encode/SizeLimit.h"

#include "imaging/FileNames.h"
#include "imaging/ImageOperations.h"

#include <QCoreApplication>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>

namespace kelvaro {

// The context of this file's texts in the translations.
class WebpFile {
    Q_DECLARE_TR_FUNCTIONS(WebpFile)
};

namespace {

struct AnimEncoderDeleter {
    void operator()(WebPAnimEncoder* encoder) const { WebPAnimEncoderDelete(encoder); }
};

// WebPPicture and WebPData own buffers that only their own free functions release.
struct Picture {
    WebPPicture picture{};
    bool valid = WebPPictureInit(&picture) != 0;
    ~Picture() { WebPPictureFree(&picture); }
};
struct Data {
    WebPData data{};
    Data() { WebPDataInit(&data); }
    ~Data() { WebPDataClear(&data); }
};

QString EncoderError(WebPAnimEncoder* encoder, const char* what) {
    const char* detail = WebPAnimEncoderGetError(encoder);
    return detail && *detail
               ? QStringLiteral("%1 (%2)").arg(WebpFile::tr(what), QString::fromUtf8(detail))
               : WebpFile::tr(what);
}

// The share of its size at quality 100 that a lossy animated WebP of a photo keeps at a quality:
// geometric means over three photos of different character (a cup, a portrait, a cat).
constexpr struct {
    int quality;
    double share;
} TypicalWebpSizes[] = {{0, 0.034},   {10, 0.0708}, {20, 0.0921}, {30, 0.1133}, {40, 0.1372},
                        {50, 0.1591}, {60, 0.1825}, {65, 0.1951}, {70, 0.2092}, {75, 0.2248},
                        {80, 0.2769}, {85, 0.3473}, {90, 0.4638}, {95, 0.6947}, {100, 1.0}};

// The logarithm of TypicalWebpSizes' share at any quality 0..100, interpolated.
double TypicalWebpLogSize(double quality) {
    const auto* upper = std::begin(TypicalWebpSizes) + 1;
    while (upper + 1 < std::end(TypicalWebpSizes) && upper->quality < quality)
        ++upper;
    const auto* lower = upper - 1;
    const double t =
        std::clamp((quality - lower->quality) / (upper->quality - lower->quality), 0.0, 1.0);
    return std::log(lower->share) + t * (std::log(upper->share) - std::log(lower->share));
}

} // namespace

// The quality steps below `best` at which a WebP of `bytes` at quality `best` would typically
// shrink to `limit`: where the typical size curve, scaled to pass through `bytes`, meets the
// limit (the nearest step, at least 1).
int WebpQualityStepFor(int best, long long bytes, long long limit) {
    const double want = TypicalWebpLogSize(best) + std::log(double(limit) / double(bytes));
    double previous = TypicalWebpLogSize(best);
    for (int step = 1; step <= best; ++step) {
        const double size = TypicalWebpLogSize(best - step);
        if (size <= want)
            return previous - want < want - size ? std::max(1, step - 1) : step;
        previous = size;
    }
    return std::max(1, best);
}

Result EncodeAnimatedWebp(std::span<const ImageHandle> frames, int delayMs,
                          const WebpOptions& options, QByteArray& bytes) {
    if (frames.empty())
        return Result::Failure(WebpFile::tr("書き出すフレームがありません"));
    const int w = frames[0].width(), h = frames[0].height();
    if (w <= 0 || h <= 0 || w > WEBP_MAX_DIMENSION || h > WEBP_MAX_DIMENSION)
        return Result::Failure(WebpFile::tr("フレームの大きさが不正です"));
    for (const ImageHandle& frame : frames)
        if (frame.isNull() || frame.width() != w || frame.height() != h)
            return Result::Failure(WebpFile::tr("フレームの大きさがそろっていません"));

    WebPAnimEncoderOptions encoderOptions;
    WebPConfig config;
    if (!WebPAnimEncoderOptionsInit(&encoderOptions) || !WebPConfigInit(&config))
        return Result::Failure(WebpFile::tr("WebPの書き出しを始められませんでした"));
    encoderOptions.anim_params.loop_count = 0; // forever
    config.lossless = options.lossless ? 1 : 0;
    config.quality = float(std::clamp(options.quality, 0, 100));
    if (options.lossless) {
        config.quality = 75; // effort, not fidelity, for lossless
        config.exact = 1;
    }
    if (!WebPValidateConfig(&config))
        return Result::Failure(WebpFile::tr("WebPの設定が不正です"));

    std::unique_ptr<WebPAnimEncoder, AnimEncoderDeleter> encoder(
        WebPAnimEncoderNew(w, h, &encoderOptions));
    if (!encoder)
        return Result::Failure(WebpFile::tr("メモリが足りません"));

    int timestamp = 0;
    for (const ImageHandle& frame : frames) {
        // RGBA8888 is R, G, B, A in memory on every machine, as WebPPictureImportRGBA reads it.
        const QImage rgba = frame.image().convertToFormat(QImage::Format_RGBA8888);
        Picture picture;
        if (!picture.valid || rgba.isNull())
            return Result::Failure(WebpFile::tr("メモリが足りません"));
        picture.picture.use_argb = 1;
        picture.picture.width = w;
        picture.picture.height = h;
        const int imported =
            WebPPictureImportRGBA(&picture.picture, rgba.constBits(), int(rgba.bytesPerLine()));
        if (!imported)
            return Result::Failure(WebpFile::tr("メモリが足りません"));
        if (!WebPAnimEncoderAdd(encoder.get(), &picture.picture, timestamp, &config))
            return Result::Failure(EncoderError(
                encoder.get(),
                QT_TRANSLATE_NOOP("WebpFile", "WebPのフレームを書き出せませんでした")));
        timestamp += delayMs;
    }
    // The last timestamp sets how long the last frame shows.
    Data data;
    if (!WebPAnimEncoderAdd(encoder.get(), nullptr, timestamp, nullptr) ||
        !WebPAnimEncoderAssemble(encoder.get(), &data.data))
        return Result::Failure(EncoderError(
            encoder.get(), QT_TRANSLATE_NOOP("WebpFile", "WebPを書き終えられませんでした")));
    bytes = QByteArray(reinterpret_cast<const char*>(data.data.bytes), qsizetype(data.data.size));
    return {};
}

Result WriteAnimatedWebp(const QString& path, std::span<const ImageHandle> frames, int delayMs,
                         const WebpOptions& options) {
    QByteArray bytes;
    if (Result encoded = EncodeAnimatedWebp(frames, delayMs, options, bytes); !encoded)
        return encoded;
    return WriteFileAtomically(path, bytes);
}

namespace {

// Scales the frames and writes them in full colour: steps 2 and 8. Within a byte limit, a
// lossless WebP becomes lossy, the quality gives way, then the size; the first encoding takes the
// bar to 4 and every further one a step more, up to 7.
class WebpFileWriter final : public Encoder {
public:
    Result Write(const QString& path, std::vector<ImageHandle> frames, QSize out, int delayCs,
                 const EncodeOptions& options,
                 const std::function<void(int)>& showProgress) const override {
        const auto show = [&](int step) {
            if (showProgress)
                showProgress(step);
        };
        const bool limited = options.maxBytes > 0;
        // Encodings run two at a time in the search.
        std::atomic<int> encodings = 0;
        const auto encode = [&](const std::vector<ImageHandle>& scaled, const WebpOptions& webp,
                                QByteArray& bytes) {
            Result encoded = EncodeAnimatedWebp(scaled, delayCs * 10, webp, bytes);
            if (limited)
                show(std::min(7, 3 + ++encodings));
            return encoded;
        };
        long long smallest = 0;
        for (const QSize size : limited ? SizeLimitScales(out) : std::vector<QSize>{out}) {
            std::vector<ImageHandle> scaled;
            for (ImageHandle& frame : frames) {
                scaled.push_back(limited ? DuplicateImage(frame) : std::move(frame));
                ResizeImage(scaled.back(), size.width(), size.height());
            }
            if (encodings == 0)
                show(2);
            // Converted once for all the encodings of the search rather than in each.
            if (limited)
                for (ImageHandle& frame : scaled)
                    frame = ImageHandle(frame.image().convertToFormat(QImage::Format_RGBA8888));
            WebpOptions webp = options.webp;
            QByteArray bytes;
            if (Result encoded = encode(scaled, webp, bytes); !encoded)
                return encoded;
            if (limited && bytes.size() > options.maxBytes && webp.lossless) {
                webp = WebpOptions{};
                if (Result encoded = encode(scaled, webp, bytes); !encoded)
                    return encoded;
            }
            if (limited && bytes.size() > options.maxBytes) {
                const int best = webp.quality;
                const auto at = [&](int step, QByteArray& b) {
                    WebpOptions lower = webp;
                    lower.quality = best - step;
                    return encode(scaled, lower, b);
                };
                StepFit fit;
                const int first = WebpQualityStepFor(best, bytes.size(), options.maxBytes);
                if (Result searched =
                        SearchSteps(best, 3, first, options.maxBytes, bytes.size(), at, fit, true);
                    !searched)
                    return searched;
                smallest = smallest > 0 ? std::min(smallest, fit.smallest) : fit.smallest;
                if (fit.step < 0)
                    continue;
                webp.quality = best - fit.step;
                bytes = std::move(fit.bytes);
            }
            show(8);
            if (limited &&
                (webp.lossless != options.webp.lossless || webp.quality != options.webp.quality ||
                 size != out) &&
                options.gaveWay)
                options.gaveWay(SizeLimitChoice(
                    options.maxBytes,
                    webp.lossless
                        ? WebpFile::tr("可逆、%1 × %2").arg(size.width()).arg(size.height())
                        : WebpFile::tr("品質 %1、%2 × %3")
                              .arg(webp.quality)
                              .arg(size.width())
                              .arg(size.height()),
                    bytes.size()));
            return WriteFileAtomically(path, bytes);
        }
        return Result::Failure(SizeLimitFailure(options.maxBytes, smallest));
    }
};

} // namespace

const Encoder& WebpFileEncoder() {
    static const WebpFileWriter encoder;
    return encoder;
}

} // namespace kelvaro
