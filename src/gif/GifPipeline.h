#pragma once

#include "encode/OutputFormats.h"
#include "gif/FrameSynthesis.h"

#include <QSize>
#include <QString>

#include <functional>
#include <optional>

namespace kelvaro {

// The output-size choices: 0 full, 1 two thirds, 2 half, 3 a third, 4 (and above) a quarter.
inline constexpr int OutputSizeChoices = 5;

// The output size of choice `choice` for a w x h picture, in truncating integer arithmetic, never
// below 1 pixel a side.
QSize OutputSizeFor(int choice, int w, int h);

// How long each frame of the default motion shows, in 1/100 s as GIF counts it.
inline constexpr int SwayFrameDelay = 6;

struct AnimationOptions {
    AnimationFormat format = AnimationFormat::Gif;
    WebpOptions webp; // for AnimationFormat::Webp
    Mp4Options mp4;   // for AnimationFormat::Mp4
    // Above 0: the file is kept within this many bytes (see EncodeOptions), and gaveWay hears
    // what the format gave way to.
    long long maxBytes = 0;
    std::function<void(const QString&)> gaveWay = {};
};

// What a run of the GIF pipeline needs from whoever drives it (the editor or the command line).
struct GenerationHooks {
    // Progress steps 0..8 and hiding; called from whichever thread runs the step.
    std::function<void(int)> showProgress;
    std::function<void()> hideProgress;
    // Asked on the caller's thread once the frames exist; nullopt abandons the run.
    std::function<std::optional<int>()> askOutputSize;
    // Asked next, when set: the most bytes the file may take (0 for no limit), replacing the
    // animation's maxBytes; nullopt abandons the run.
    std::function<std::optional<long long>()> askSizeLimit;
    // Runs a heavy step to completion (the editor moves it off the GUI thread); inline if unset.
    std::function<void(const std::function<void()>&)> runHeavy;
};

// How a run that did not fail ended.
enum class GenerationOutcome { Written, Cancelled };

// The outcome of a run, or why it failed (no frames, a write that failed).
using GenerationResult = ResultOf<GenerationOutcome>;

// The second half of a run: scales the rendered frames to `out`, reduces their colours together
// and writes the GIF, each frame shown for sway's delay, reporting progress steps 2, 4, 6 and 8 on
// the way.
Result WriteSwayGif(const QString& path, std::vector<ImageHandle> frames, QSize out,
                    const std::function<void(int)>& showProgress = {},
                    const SwayOptions& sway = {});

// The same for a full-colour WebP: scales the frames to `out` and writes them, steps 2 and 8. The
// delay is the GIF's, in whole hundredths of a second, so both formats play alike.
Result WriteSwayWebp(const QString& path, std::vector<ImageHandle> frames, QSize out,
                     const WebpOptions& options, const std::function<void(int)>& showProgress = {},
                     const SwayOptions& sway = {});

// The encoder of options.format writes the frames (see OutputFormats()). The progress steps it
// passes on only ever grow, and options.gaveWay hears its line only once the file is written.
Result WriteSwayAnimation(const QString& path, std::vector<ImageHandle> frames, QSize out,
                          const AnimationOptions& options,
                          const std::function<void(int)>& showProgress = {},
                          const SwayOptions& sway = {});

// Renders the sway frames of picture and depth map (as `sway` asks), asks for the output size,
// scales the frames, reduces their colours together to one palette and writes the looping GIF to
// path (or, as `animation` asks, a full-colour WebP). Nothing is written when the run is
// abandoned, and a failed write leaves any existing file intact.
GenerationResult GenerateSwayGif(const QString& path, const ImageHandle& picture,
                                 const DepthMap& depth, SwayDirection direction,
                                 const GenerationHooks& hooks,
                                 const AnimationOptions& animation = {},
                                 const SwayOptions& sway = {});

} // namespace kelvaro
