#pragma once

#include "depth/DepthMap.h"
#include "gif/FrameGeometry.h"
#include "gif/SwayOptions.h"
#include "imaging/Imaging.h"

#include <functional>
#include <vector>

namespace kelvaro {

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

// Draws frame k of a cycle alone into `frame` (the picture's size), its lines in parts on the
// available cores: every line the frame draws comes out exactly as in RenderSwayFrames, and the
// lines it leaves alone (none but in extreme shapes) keep what `frame` held. Nothing is drawn
// when the sizes differ. For a view that follows the map while it is painted.
void RenderSwayFrame(const ImageHandle& picture, const DepthMap& depth, SwayDirection direction,
                     const SwayOptions& options, int k, QImage& frame);

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
