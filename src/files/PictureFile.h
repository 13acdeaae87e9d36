#pragma once

#include "depth/DepthMap.h"
#include "depth/GreyDepth.h"
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
PictureSize FitPictureSize(int w0, int h0, int limit = PictureSizeLimit);

struct LoadedPicture {
    ImageHandle image; // null on failure, with the reason
    bool shrunk = false;
    QSize fileSize; // the picture's size in its file (upright), before any shrinking
};

// Decodes, prepares and resizes a picture exactly as the editor opens it (the resize runs also
// when the size stays). The command line may set another limit for the longer side.
LoadedPicture LoadPicture(const QString& path, int limit = PictureSizeLimit);

// What loading a depth-map file found, so the caller can say so: a file of another size than the
// map, or colours that are no depth level, are loaded all the same but deserve a notice.
struct DepthMapFileLoad {
    QSize fileSize;
    // Pixels copied onto the map whose colour is none of the palette's (they count as level 0).
    qint64 offPalettePixels = 0;
};

// Copies a depth-map file onto the map unscaled, top-left to top-left; where the file does not
// reach, the map keeps its colours. Any decodable picture is accepted; every pixel's stored colour
// enters unchanged, whatever its alpha. On failure the map is unchanged.
ResultOf<DepthMapFileLoad> LoadDepthMapFile(const QString& path, DepthMap& map);

// Decodes a grey depth image as stored: no colour profile changes its values, and 16 bits stay
// 16 bits. A null handle with the reason on failure.
ImageHandle ReadGreyDepthFile(const QString& path);

// Replaces the whole map with one made from a grey depth image (see DepthFromGrey). On failure
// the map is unchanged.
Result LoadGreyDepthFile(const QString& path, const GreyDepthOptions& options, DepthMap& map);

// Saves the whole map with its exact colours: as PNG when the name ends in .png (any case), as a
// Windows bitmap otherwise; atomically either way.
Result SaveDepthMapFile(const QString& path, const DepthMap& map);

} // namespace kelvaro
