#pragma once

#include "imaging/ImageHandle.h"

#include <QString>

#include <functional>

namespace kelvaro {

// The largest side a picture may be worked on at (decoding is limited by memory, not sides).
inline constexpr int kMaxDecodedSide = 16384;
// The most memory a picture may take: decoded, at the size it is decoded to, and at the size its
// file declares. Decoders that cannot scale while decoding need the declared size in full.
inline constexpr qint64 kMaxDecodedBytes = qint64(512) * 1024 * 1024;
inline constexpr qint64 kMaxDeclaredBytes = qint64(1024) * 1024 * 1024;

// What LoadImageFile does with a colour profile or gamma the file carries.
enum class ColourHandling {
    ConvertToSrgb, // pictures: shown and rendered as sRGB
    AsStored,      // data such as depth maps: the stored values, exactly
};

// The size to decode a picture to, given its size as shown (orientation applied). Decoders that
// can (JPEG) then do only the work the smaller size needs.
using DecodeSizeRule = std::function<QSize(QSize shown)>;

// Decodes a picture file (every format Qt's readers know; the first frame of an animation) and
// applies its orientation tag, at the size `decodeSize` picks (the stored size without one). A
// null handle with a reason on failure: the system's reason when the file cannot be read, the
// decoder's when it cannot be decoded, and a file cut short is a failure, not a part picture.
ImageHandle LoadImageFile(const QString& path,
                          ColourHandling colours = ColourHandling::ConvertToSrgb,
                          const DecodeSizeRule& decodeSize = {});

} // namespace kelvaro
