#pragma once

#include <array>
#include <cstdint>

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

} // namespace kelvaro
