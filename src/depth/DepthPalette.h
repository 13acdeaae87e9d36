#pragma once

#include "imaging/ImageHandle.h"

#include <array>
#include <optional>

namespace kelvaro {

// A depth level indexes the palette: 0 is the most raised, 7 the base, 8 the fixed level.
using DepthLevel = int;

inline constexpr int kLevelCount = 9;
inline constexpr DepthLevel BaseLevel = 7;
inline constexpr DepthLevel FixedLevel = 8;

// The nine depth colours as 0x00BBGGRR values (not RGB notation: entry 3 is red 185, green 255).
inline constexpr std::array<COLORREF, kLevelCount> DepthPalette = {
    0x0000FF, // 0 red, most raised
    0x008CFF, // 1 orange
    0x00FFFF, // 2 yellow
    0x00FFB9, // 3 yellow-green
    0x00FF00, // 4 green
    0xFFC000, // 5 sky blue
    0xFF4000, // 6 blue
    0xFF0080, // 7 purple, the base level
    0x000000, // 8 black, fixed in place
};

// The level whose palette entry equals the colour exactly, scanning the nine entries in order;
// none for any other colour.
constexpr std::optional<DepthLevel> LevelOfColour(COLORREF colour) {
    for (int i = 0; i < kLevelCount; ++i)
        if (DepthPalette[size_t(i)] == (colour & 0xFFFFFF))
            return i;
    return std::nullopt;
}

} // namespace kelvaro
