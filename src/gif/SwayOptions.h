#pragma once

#include "depth/DepthPalette.h"

#include <array>
#include <vector>

namespace kelvaro {

enum class SwayDirection { Horizontal, Vertical };

// One sway cycle of the default motion: eight frames at 0, 6.5, 8, 6.5, 0, -6.5, -8, -6.5 degrees
// (exact doubles).
inline constexpr int FrameCount = 8;
inline constexpr std::array<double, FrameCount> SwayAngleTable = {
    0.0, 0.11344640210185028,  0.1396263410484311,  0.11344640210185028,
    0.0, -0.11344640210185028, -0.1396263410484311, -0.11344640210185028,
};

// How a run of empty positions between two drawn pixels is filled: from the pixel before it
// (Previous), or from whichever of the pixels before and after it lies farther back (Far), so
// that a raised region moving away does not smear its own edge into the hole.
enum class HoleFill { Previous, Far };

// How the picture sways, shared by the renderer and the editor. The defaults draw the classic
// cycle bit for bit.
struct SwayOptions {
    static constexpr int MinFrames = 4, MaxFrames = 48;
    static constexpr double MinAngle = 0.5, MaxAngle = 15.0;
    static constexpr int MinPivot = 0, MaxPivot = BaseLevel;
    static constexpr int MinDelayMs = 20, MaxDelayMs = 1000;

    int frames = FrameCount; // frames of one cycle
    double angle = 8.0;      // the largest turn, in degrees
    int pivot = BaseLevel;   // the level that stays still
    int delayMs = 60;        // how long each frame shows
    HoleFill holeFill = HoleFill::Previous;

    friend bool operator==(const SwayOptions&, const SwayOptions&) = default;
};

// The options with every value brought into its range.
SwayOptions ClampedSwayOptions(SwayOptions options);

// The turn of frame k of a cycle, in radians. Eight frames scale the classic table by angle / 8;
// any other count follows angle * sin(2 pi k / frames), evaluated so that frames whose turns are
// equal or opposite in theory come out exactly so (and can share one drawing).
double SwayAngle(const SwayOptions& options, int k);

// The turns of all frames of a cycle (options clamped first).
std::vector<double> SwayAngles(const SwayOptions& options);

// The frame delay as a GIF stores it, in hundredths of a second, rounded to the nearest.
int GifDelay(const SwayOptions& options);

} // namespace kelvaro
