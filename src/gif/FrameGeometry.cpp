#include "gif/FrameGeometry.h"

#include <cmath>
#include <cstddef>

// The geometry is defined bit for bit: doubles are combined in the grouping written, and this
// file is compiled without fused multiply-adds.
namespace kelvaro {

FrameGeometry ComputeFrameGeometry(double theta, int lu, int lv) {
    const double ld = double(lu);
    const int a = static_cast<int>((ld - ld * std::cos(theta)) * 0.5);
    const double t = ld * std::sin(theta) * 0.125;
    const int b = static_cast<int>(-(t * 0.5));
    const int e = static_cast<int>(t * 0.5);
    return {a, b, lv - b, lu - a, e, lv - e};
}

std::int64_t SwayDisplacement(const FrameGeometry& g) {
    const std::int64_t firstLength = std::int64_t(g.v0b) - g.v0a;
    const std::int64_t lastLength = std::int64_t(g.v1b) - g.v1a;
    if (firstLength < lastLength)
        return g.u0;
    if (firstLength > lastLength)
        return -std::int64_t(g.u0);
    return 0;
}

std::array<std::int64_t, 8> LevelShiftTable(std::int64_t p) {
    std::array<std::int64_t, 8> shifts{};
    for (std::int64_t k = 0; k < 8; ++k)
        shifts[std::size_t(k)] = -2 * p * k / 3;
    return shifts;
}

} // namespace kelvaro
