#pragma once

#include "depth/DepthMap.h"

#include <QImage>
#include <QRect>

namespace kelvaro {

inline constexpr int kDefaultSnapRadius = 12;
inline constexpr int kMinSnapRadius = 1;
inline constexpr int kMaxSnapRadius = 64;

struct SnapOptions {
    // How far (in pixels) a border may move; kept within kMinSnapRadius..kMaxSnapRadius.
    int radius = kDefaultSnapRadius;
    // No pixel of a nearer level than its new one changes (see MayOverwrite).
    bool protectNearer = false;
};

// Moves every border between two map colours onto the picture's edges near it. Pixels closer than
// `radius` to a border are given again to the colour whose region reaches them most cheaply, a
// step costing its length plus a weight times the picture's colour change along it: a border
// settles where crossing costs most, on an edge, and where the picture is even both sides reach
// the old border at the same cost, so it stays. Pixels farther than the radius from every border
// keep their colour; every colour, palette or not, is treated alike. The picture must have the
// map's size (nothing happens otherwise). Returns the rectangle of the changed pixels.
QRect SnapToEdges(const QImage& picture, DepthMap& map, const SnapOptions& options = {});

} // namespace kelvaro
