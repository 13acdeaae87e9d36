#pragma once

#include "encode/Encoder.h"
#include "imaging/ImageHandle.h"
#include "imaging/Result.h"

#include <QByteArray>

#include <span>

namespace kelvaro {

// Writes the frames in order, in full colour, as one animated WebP that loops forever, delayMs
// milliseconds a frame. Written atomically like bitmaps.
Result WriteAnimatedWebp(const QString& path, std::span<const ImageHandle> frames, int delayMs,
                         const WebpOptions& options);
// Where a search within a byte limit starts: the steps below quality `best` at which a WebP of
// `bytes` at that quality would typically shrink to `limit` (at least 1).
int WebpQualityStepFor(int best, long long bytes, long long limit);

// The same WebP in memory.
Result EncodeAnimatedWebp(std::span<const ImageHandle> frames, int delayMs,
                          const WebpOptions& options, QByteArray& bytes);

} // namespace kelvaro
