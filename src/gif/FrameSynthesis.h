#pragma once

#include "depth/DepthMap.h"
#include "gif/SwayOptions.h"
#include "imaging/Imaging.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace kelvaro {

// The frame quadrilateral: its first edge across the sway axis at u0 runs along v from v0a to
// v0b, its last edge at u1 from v1a to v1b.
struct FrameGeometry {
    int u0 = 0, v0a = 0, v0b = 0, u1 = 0, v1a = 0, v1b = 0;
    friend bool operator==(const FrameGeometry&, const FrameGeometry&) = default;
};

// The quadrilateral of a frame turned by theta radians, for extents lu along and lv across the
// sway axis.
FrameGeometry ComputeFrameGeometry(double theta, int lu, int lv);

// How far every sample of a frame moves along the sway axis before its level shift: u0 when the
// first edge is the shorter, -u0 when it is the longer, 0 when both are equal.
std::int64_t SwayDisplacement(const FrameGeometry& g);

// The level shift of each lift 0..7 (lift = 7 - level) for displacement p: -2 * p * lift / 3,
// truncated toward zero.
std::array<std::int64_t, 8> LevelShiftTable(std::int64_t p);

// Draws one frame of the picture turned about a vertical axis into `frame` (the picture's size,
// Format_RGB32), displacing every pixel by the level the depth map holds under it. Only the
// pixels it draws change. Nothing is drawn when the three images differ in size. Of the options
// the pivot and the hole fill apply.
void RenderHorizontalSwayFrame(const QImage& picture, const QImage& depth, int left, int leftTop,
                               int leftBottom, int right, int rightTop, int rightBottom,
                               QImage& frame, const SwayOptions& options = {});
// The same about a horizontal axis, with x and y exchanged.
void RenderVerticalSwayFrame(const QImage& picture, const QImage& depth, int topLeft, int topRight,
                             int top, int bottomLeft, int bottomRight, int bottom, QImage& frame,
                             const SwayOptions& options = {});

// Whether a frame whose angle an earlier frame of the cycle had is drawn again (Redraw) or built
// from the earlier drawing (Share). Both give the same frames; Share draws five instead of eight,
// and frames that come out equal then share one image.
enum class FrameReuse { Share, Redraw };

// Renders the frames of one cycle (options.frames of them, at the turns SwayAngles gives) at the
// picture's size (Format_RGB32 copies), exactly as if drawn one after another into one frame image
// that starts black and is not cleared between frames. The frames are computed on the available
// cores; beforeFrame(k) is called on the calling thread, in order, before frame k is handed over.
// Empty when the depth map is not the picture's size. Options out of range are clamped.
std::vector<ImageHandle> RenderSwayFrames(const ImageHandle& picture, const DepthMap& depth,
                                          SwayDirection direction, const SwayOptions& options = {},
                                          const std::function<void(int)>& beforeFrame = {},
                                          FrameReuse reuse = FrameReuse::Share);

} // namespace kelvaro
