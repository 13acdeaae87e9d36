#include "gif/SwayOptions.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kelvaro {

SwayOptions ClampedSwayOptions(SwayOptions options) {
    options.frames = std::clamp(options.frames, SwayOptions::MinFrames, SwayOptions::MaxFrames);
    // NaN is not in any range: it becomes the default.
    options.angle = std::isnan(options.angle)
                        ? SwayOptions{}.angle
                        : std::clamp(options.angle, SwayOptions::MinAngle, SwayOptions::MaxAngle);
    options.pivot = std::clamp(options.pivot, SwayOptions::MinPivot, SwayOptions::MaxPivot);
    options.delayMs = std::clamp(options.delayMs, SwayOptions::MinDelayMs, SwayOptions::MaxDelayMs);
    if (options.holeFill != HoleFill::Far)
        options.holeFill = HoleFill::Previous;
    return options;
}

double SwayAngle(const SwayOptions& options, int k) {
    const int n = options.frames;
    if (n <= 0)
        return 0.0;
    const int j = ((k % n) + n) % n;
    if (n == FrameCount)
        return SwayAngleTable[std::size_t(j)] * (options.angle / 8.0);
    // sin(2 pi j / n) = sin(pi m / n) with m = 2j, folded into the first quarter turn so that
    // symmetric frames give the same double.
    int m = 2 * j;
    double sign = 1.0;
    if (m > n) {
        m -= n;
        sign = -1.0;
    }
    if (2 * m > n)
        m = n - m;
    double s = 0.0;
    if (2 * m == n)
        s = 1.0;
    else if (m != 0)
        s = std::sin(std::numbers::pi * double(m) / double(n));
    return options.angle * std::numbers::pi / 180.0 * (sign * s);
}

std::vector<double> SwayAngles(const SwayOptions& options) {
    const SwayOptions clamped = ClampedSwayOptions(options);
    std::vector<double> angles(std::size_t(clamped.frames));
    for (int k = 0; k < clamped.frames; ++k)
        angles[std::size_t(k)] = SwayAngle(clamped, k);
    return angles;
}

int GifDelay(const SwayOptions& options) {
    return (ClampedSwayOptions(options).delayMs + 5) / 10;
}

} // namespace kelvaro
