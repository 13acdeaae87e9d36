#include "gif/FrameSynthesis.h"

// Frame synthesis is being written; these definitions keep the library linkable until then.
namespace kelvaro {

FrameGeometry ComputeFrameGeometry(double, int, int) {
    return {};
}
void RenderHorizontalSwayFrame(const QImage&, const QImage&, int, int, int, int, int, int,
                               QImage&) {}
void RenderVerticalSwayFrame(const QImage&, const QImage&, int, int, int, int, int, int, QImage&) {}
std::vector<ImageHandle> RenderSwayFrames(const ImageHandle&, const DepthMap&, SwayDirection,
                                          const std::function<void(int)>&) {
    return {};
}

} // namespace kelvaro
