#pragma once

#include "depth/DepthMap.h"
#include "imaging/Imaging.h"

#include <QString>

namespace kelvaro {

// Pictures are worked on at most this many pixels a side.
inline constexpr int PictureSizeLimit = 640;

struct PictureSize {
    int width = 0;
    int height = 0;
    bool shrunk = false; // the shrink notice is due
};

// The size a w0 x h0 picture is worked on at: the width is brought to the limit first, then the
// height, in 32-bit integer arithmetic with truncating quotients. Each side stays at least 1.
PictureSize FitPictureSize(int w0, int h0);

struct LoadedPicture {
    ImageHandle image; // null on failure, with the reason
    bool shrunk = false;
};

// Decodes, prepares and resizes a picture exactly as the editor opens it (the resize runs also
// when the size stays).
LoadedPicture LoadPicture(const QString& path);

// Copies a depth-map file onto the map unscaled, top-left to top-left; where the file does not
// reach, the map keeps its colours. Any decodable picture is accepted; colours enter unchanged.
Result LoadDepthMapFile(const QString& path, DepthMap& map);

// Saves the whole map as a bitmap with its exact colours.
Result SaveDepthMapFile(const QString& path, const DepthMap& map);

} // namespace kelvaro
