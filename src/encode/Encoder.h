#pragma once

#include "imaging/ImageHandle.h"
#include "imaging/Result.h"

#include <QSize>
#include <QString>

#include <functional>
#include <vector>

namespace kelvaro {

// How WriteAnimatedWebp compresses: lossy at quality 0..100 (bigger is better and larger), or
// lossless, which keeps every pixel exactly.
struct WebpOptions {
    bool lossless = false;
    int quality = 90;
};

// How an MP4 video is encoded: at a constant rate factor (0..51, smaller is better and larger),
// or, when bitRate is above 0, at that average bit rate instead; the cycle repeated `loops` times,
// or (0) often enough to last 3 s.
struct Mp4Options {
    int crf = 18;
    long long bitRate = 0; // bits a second
    int loops = 0;
};

// The settings of every format, each encoder reading its own; and a limit on the file's size.
struct EncodeOptions {
    WebpOptions webp;
    Mp4Options mp4;
    // Above 0: the file is kept within this many bytes, each format giving way in its own
    // settings, then in size down to a quarter (see SizeLimit.h); a failure when even that is
    // too large.
    long long maxBytes = 0;
    // Hears the one line that says what a limit made the encoder give way to.
    std::function<void(const QString&)> gaveWay = {};
};

// Writes one animation file: the frames in order (all of one size), each shown delayCs 1/100 s,
// scaled to `out` (or smaller to keep within options.maxBytes); looping forever, written
// atomically (a failed write keeps any old file).
// Progress steps 2 to 8 go to showProgress, from whichever thread reaches them. A new format is
// one Encoder and one row of OutputFormats().
class Encoder {
public:
    virtual ~Encoder() = default;
    virtual Result Write(const QString& path, std::vector<ImageHandle> frames, QSize out,
                         int delayCs, const EncodeOptions& options,
                         const std::function<void(int)>& showProgress) const = 0;
};

// The encoders of OutputFormats().
const Encoder& GifFileEncoder();
const Encoder& WebpFileEncoder();
const Encoder& Mp4FileEncoder();

} // namespace kelvaro
