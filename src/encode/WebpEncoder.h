#pragma once

#include "encode/Encoder.h"
#include "imaging/ImageHandle.h"
#include "imaging/Result.h"

#include <span>

namespace kelvaro {

// Writes the frames in order, in full colour, as one animated WebP that loops forever, delayMs
// milliseconds a frame. Written atomically like bitmaps.
Result WriteAnimatedWebp(const QString& path, std::span<const ImageHandle> frames, int delayMs,
                         const WebpOptions& options);

} // namespace kelvaro
