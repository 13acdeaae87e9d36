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
// The same WebP in memory.
Result EncodeAnimatedWebp(std::span<const ImageHandle> frames, int delayMs,
                          const WebpOptions& options, QByteArray& bytes);

} // namespace kelvaro
