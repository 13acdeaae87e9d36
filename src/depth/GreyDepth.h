#pragma once

#include "depth/DepthPalette.h"
#include "imaging/ImageHandle.h"

#include <optional>

namespace kelvaro {

// How a grey depth image (as depth-estimation models, 3D software and phone portrait modes write
// them: white near, black far, 8 or 16 bits) is snapped to the depth levels.
struct GreyDepthOptions {
    // Black is near instead of white.
    bool blackNear = false;
    // 0 to 255: pixels whose 8-bit grey is at most this (at least 255 minus it when black is
    // near) become FixedLevel. None: grey never gives FixedLevel.
    std::optional<int> fixedBelow;
};

// The level of the grey value `grey` out of `fullScale` (255 or 65535): with v = grey / fullScale,
// 7 - round(7 v) when white is near and 7 - round(7 (1 - v)) when black is near. The fixed
// threshold compares the grey value brought to 8 bits.
DepthLevel LevelOfGrey(int grey, int fullScale, const GreyDepthOptions& options);

// A whole depth map of w x h made from a grey image: scaled smoothly to w x h first when its size
// differs (the aspect ratio is not kept, so it covers the map exactly), then every pixel snapped
// with LevelOfGrey. 16-bit grey images (Format_Grayscale16) count by their 16-bit value, every
// other image by qGray of each pixel's colour; alpha is ignored. Format_RGB32 palette colours; a
// null handle with the reason on failure.
ImageHandle DepthFromGrey(const QImage& grey, int w, int h, const GreyDepthOptions& options);

} // namespace kelvaro
