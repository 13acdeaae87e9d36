#pragma once

#include "encode/Encoder.h"
#include "imaging/ImageHandle.h"
#include "imaging/Result.h"

#include <QByteArray>

#include <span>

namespace kelvaro {

// The shortest video written: the cycle repeats until it lasts this long, unless a count of loops
// is given.
inline constexpr int Mp4MinimumCs = 300;

// How often a cycle of `frames` frames, each `delayCs` long, repeats in a video: `loops` when it
// is given (above 0), otherwise as often as it takes to last Mp4MinimumCs.
int Mp4LoopCount(int frames, int delayCs, int loops);

// The CRF that quality 0..100 asks for: 51 - 0.37 q rounded, so that 90 gives the default 18.
int Mp4CrfOfQuality(int quality);

// The frames in order as an H.264 video in an MP4 file, in memory: yuv420p, odd sizes made even
// by repeating the last column and row, one frame every delayCs hundredths of a second, the cycle
// repeated as Mp4LoopCount says, the index (moov) ahead of the pictures so that it plays while
// it downloads. `progress` hears 0..100 as the frames go in.
Result EncodeMp4(std::span<const ImageHandle> frames, int delayCs, const Mp4Options& options,
                 QByteArray& bytes, const std::function<void(int)>& progress = {});

} // namespace kelvaro
