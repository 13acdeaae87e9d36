#pragma once

#include "depth/DepthMap.h"
#include "depth/DepthPalette.h"

#include <QImage>
#include <QPoint>
#include <QRect>

namespace kelvaro {

// Painting that looks at the picture as well as the map, and the overlay view. Each takes the
// picture, the map and its parameters and returns the map rectangle it changed (empty when nothing
// changed); the picture must have the map's size, otherwise nothing happens.

inline constexpr int kDefaultColourTolerance = 32;

// Fills by the picture's colour: every pixel 4-connected to the seed through pixels whose picture
// colour differs from the seed pixel's by at most `tolerance` (0 to 255) in each of red, green and
// blue takes the colour of `level`. With protectNearer, pixels MayOverwrite refuses keep their
// level; the flood still passes through them.
QRect ColourFill(const QImage& picture, DepthMap& map, QPoint seed, DepthLevel level, int tolerance,
                 bool protectNearer = false);

// The level a gradient from level s (0 to 7) gives at fraction t along the drag, t = dot / length2
// clamped to 0..1: min(7, s + floor(t (8 - s))), in exact integer arithmetic.
DepthLevel GradientLevel(DepthLevel s, long long dot, long long length2);

// The gradient tool's drag from a to b: the region the plain fill would fill from a (the
// 4-connected area of a's exact map colour) takes levels running from `level` at a to the base
// level at b, by each pixel's projection on a -> b (see GradientLevel; a drag of no length gives
// `level` everywhere). Level 8 (fixed) and levels outside 0..8 paint nothing.
QRect GradientFill(DepthMap& map, QPoint a, QPoint b, DepthLevel level, bool protectNearer = false);

inline constexpr int kDefaultOverlayPercent = 50;

// The overlay view of the part `rect` (clipped to the map) of the picture: each pixel the map's
// colour blended over the picture's at `percent` (0 to 100) opacity, rounded. Format_RGB32, of
// the clipped rectangle's size; null when the picture and map sizes differ.
QImage OverlayBlend(const QImage& picture, const DepthMap& map, int percent, const QRect& rect);

} // namespace kelvaro
