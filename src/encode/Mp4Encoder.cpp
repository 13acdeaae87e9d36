#include "encode/Mp4Encoder.h"

#include "encode/Mp4Video.h"
#include "encode/SizeLimit.h"

#include "imaging/FileNames.h"
#include "imaging/ImageOperations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

#include <dlfcn.h>

namespace kelvaro {

int Mp4LoopCount(int frames, int delayCs, int loops) {
    if (loops > 0)
        return loops;
    const int cycle = std::max(1, frames) * std::max(1, delayCs);
    return std::max(1, (Mp4MinimumCs + cycle - 1) / cycle);
}

int Mp4CrfOfQuality(int quality) {
    return int(std::lround(51.0 - 0.37 * std::clamp(quality, 0, 100)));
}

QString Mp4ModulePath(const QString& programDir) {
    const QString build = QDir(QStringLiteral(KELVARO_BUILD_DIR)).canonicalPath();
    const QString dir = QDir(programDir).canonicalPath();
    if (!build.isEmpty() && (dir == build || dir.startsWith(build + QLatin1Char('/'))))
        return QStringLiteral(KELVARO_MP4_BUILT);
    return QDir::cleanPath(programDir + QStringLiteral("/" KELVARO_MP4_INSTALLED));
}

ResultOf<EncodeMp4Function> LoadMp4Module(const QString& path) {
    using Loaded = ResultOf<EncodeMp4Function>;
    const auto unavailable = [](const QString& why) {
        return Loaded::Failure(Mp4File::tr("MP4の書き出しは使えません: %1").arg(why));
    };
    // Every symbol resolved now, so that a module that does not fit fails here and not in the
    // middle of a video. Never closed: FFmpeg keeps state of its own (its log callback) to the end.
    void* module = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        return unavailable(QString::fromLocal8Bit(::dlerror()));
    using Entry = const Mp4VideoModule* (*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(module, Mp4VideoEntry));
    const Mp4VideoModule* video = entry ? entry() : nullptr;
    if (!video || video->version != Mp4VideoVersion || !video->encode) {
        ::dlclose(module);
        return unavailable(Mp4File::tr("%1 は Kelvaro の別の版のものです").arg(path));
    }
    return Loaded::Success(video->encode);
}

Result EncodeMp4(std::span<const ImageHandle> frames, int delayCs, const Mp4Options& options,
                 QByteArray& bytes, const std::function<void(int)>& progress) {
    // The program's own file, links resolved, whether or not a QCoreApplication exists yet.
    static const ResultOf<EncodeMp4Function> module = LoadMp4Module(Mp4ModulePath(
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).path()));
    if (!module)
        return module.result;
    Mp4Options counted = options;
    counted.loops = Mp4LoopCount(int(frames.size()), std::max(1, delayCs), options.loops);
    return (*module)(frames, delayCs, counted, bytes, progress);
}

namespace {

// Scales the frames and writes the video: steps 2, then 4 to 8 as the frames are encoded.
// Within a byte limit, the constant quality gives way to the bit rate that fills the limit, then
// the size; the first encoding then takes the bar to 4 and every further one a step more, up
// to 7, and 8 comes with the file.
class Mp4FileWriter final : public Encoder {
public:
    Result Write(const QString& path, std::vector<ImageHandle> frames, QSize out, int delayCs,
                 const EncodeOptions& options,
                 const std::function<void(int)>& showProgress) const override {
        const auto show = [&](int step) {
            if (showProgress)
                showProgress(step);
        };
        const bool limited = options.maxBytes > 0;
        const long long limit = options.maxBytes;
        long long smallest = 0;
        int shown = 0;
        for (const QSize size : limited ? SizeLimitScales(out) : std::vector<QSize>{out}) {
            std::vector<ImageHandle> scaled;
            for (ImageHandle& frame : frames) {
                scaled.push_back(limited ? DuplicateImage(frame) : std::move(frame));
                ResizeImage(scaled.back(), size.width(), size.height());
            }
            if (shown < 2)
                show(shown = 2);
            const auto encode = [&](const Mp4Options& mp4, QByteArray& bytes) {
                const bool first = shown < 4;
                Result encoded = EncodeMp4(scaled, delayCs, mp4, bytes, [&](int percent) {
                    const int step = !limited ? 4 + (percent * 4 / 100) / 2 * 2 // 4, 6, 8
                                     : first  ? 2 + percent * 2 / 100           // 3, 4
                                              : shown;
                    if (step > shown)
                        show(shown = step);
                });
                if (limited && !first && shown < 7)
                    show(++shown);
                return encoded;
            };
            Mp4Options mp4 = options.mp4;
            QByteArray bytes;
            if (Result encoded = encode(mp4, bytes); !encoded)
                return encoded;
            if (limited && bytes.size() > limit) {
                // The bit rate that would fill the limit, less a share for the container; a
                // rate that overshoots is scaled down by how far it did.
                const int loops = Mp4LoopCount(int(scaled.size()), delayCs, mp4.loops);
                const double seconds = double(scaled.size()) * loops * std::max(1, delayCs) / 100;
                // x264 keeps an average over a few seconds only roughly: a rate that overshoots
                // or falls well short is scaled by how far it missed, the best fit kept.
                double rate = double(limit) * 8 / seconds * 0.92;
                smallest =
                    smallest > 0 ? std::min<long long>(smallest, bytes.size()) : bytes.size();
                QByteArray best;
                long long bestRate = 0;
                for (int attempt = 0; attempt < 4 && rate >= 1000; ++attempt) {
                    mp4.bitRate = static_cast<long long>(rate);
                    if (Result encoded = encode(mp4, bytes); !encoded)
                        return encoded;
                    smallest = std::min<long long>(smallest, bytes.size());
                    if (bytes.size() <= limit && bytes.size() > best.size()) {
                        best = bytes;
                        bestRate = mp4.bitRate;
                    }
                    if (best.size() >= limit * 85 / 100)
                        break;
                    rate *= double(limit) / double(bytes.size()) * 0.95;
                }
                if (best.isEmpty())
                    continue;
                bytes = std::move(best);
                mp4.bitRate = bestRate;
            }
            if (limited)
                show(8);
            if (limited && (mp4.bitRate != options.mp4.bitRate || size != out) && options.gaveWay)
                options.gaveWay(SizeLimitChoice(limit,
                                                mp4.bitRate > 0 ? Mp4File::tr("%1 kbit/s、%2 × %3")
                                                                      .arg(mp4.bitRate / 1000)
                                                                      .arg(size.width())
                                                                      .arg(size.height())
                                                                : Mp4File::tr("CRF %1、%2 × %3")
                                                                      .arg(mp4.crf)
                                                                      .arg(size.width())
                                                                      .arg(size.height()),
                                                bytes.size()));
            return WriteFileAtomically(path, bytes);
        }
        return Result::Failure(SizeLimitFailure(limit, smallest));
    }
};

} // namespace

const Encoder& Mp4FileEncoder() {
    static const Mp4FileWriter encoder;
    return encoder;
}

} // namespace kelvaro
