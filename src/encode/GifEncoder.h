#pragma once

#include "imaging/ImageHandle.h"
#include "imaging/Result.h"

#include <QByteArray>

#include <optional>
#include <span>

namespace kelvaro {

// Writes the frames in order as one animated GIF that loops forever, delay in 1/100 s a frame.
// Frames sharing one palette get a global colour table. Written atomically like bitmaps.
Result WriteAnimatedGif(const QString& path, std::span<const ImageHandle> frames, int count,
                        int delay);
// The same GIF in memory.
Result EncodeAnimatedGif(std::span<const ImageHandle> frames, int count, int delay,
                         QByteArray& bytes);

// The colour error every GIF of photo frames takes for longer runs (see SmoothIndexRuns): at 2
// a noisy photo needs a fifth fewer bytes for 0.7 dB, a smooth sky 6 % fewer for 0.1 dB.
// Frames of at most 256 colours, which their palette holds exactly, keep them.
inline constexpr int GifRunSmoothing = 2;
// The largest colour error GIFs within a byte limit go to.
inline constexpr int MaxRunSmoothing = 64;

// Whether the frames hold at most `limit` distinct colours between them (alpha ignored).
bool FewColors(std::span<const ImageHandle> frames, int limit);

// In place, on a palette image: a pixel takes the index of the pixel before it on its line when
// their colours differ by at most `threshold` in every channel, trading that much error for the
// longer runs of one index that LZW codes in fewer bits. 0 changes nothing.
void SmoothIndexRuns(QImage& indexed, int threshold);

// Where the frames of a GIF lie: its header (with the colour table and the looping extension)
// ends at frameStart, the frames' blocks run to frameEnd, where the trailer byte is.
struct GifParts {
    qsizetype frameStart = 0, frameEnd = 0;
};
// nullopt when the bytes are not a whole GIF with at least one frame.
std::optional<GifParts> SplitGif(const QByteArray& gif);

} // namespace kelvaro
