#include "depth/EdgeSnap.h"

#include "depth/Painting.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace kelvaro {

namespace {

// Tuned on bench-snap's pictures (pasted objects and a photo with measured depth).
constexpr double kBlurSigma = 1.0;  // smooths the picture's noise before colours are compared
constexpr float kEdgeWeight = 0.5f; // cost of one unit of colour change, in pixels of path
constexpr float kNoiseFloor = 8.0f; // colour change a step below this (texture, shading) is free
constexpr float kStayCost = 0.5f;   // extra cost of each pixel taken from another colour
// Costs are counted in eighths of a pixel, so that a ring of buckets orders them (Dial's
// algorithm): every step costs less than kBuckets.
constexpr int kUnit = 8;
constexpr int kBuckets = int((1.5f + kEdgeWeight * 442 + kStayCost) * kUnit) + 2;

} // namespace

QRect SnapToEdges(const QImage& picture, DepthMap& map, const SnapOptions& options) {
    if (!map.exists() || picture.size() != map.surface().size())
        return {};
    const int w = map.width(), h = map.height();
    const int radius = std::clamp(options.radius, kMinSnapRadius, kMaxSnapRadius);
    const size_t n = size_t(w) * size_t(h);

    // The map's colours as one array of labels.
    std::vector<std::uint32_t> label(n);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(map.surface().constScanLine(y));
        for (int x = 0; x < w; ++x)
            label[size_t(y) * w + x] = row[x] & 0xffffff;
    }

    // Distance of each pixel to the nearest pixel next to another colour.
    cv::Mat away(h, w, CV_8U);
    for (int y = 0; y < h; ++y) {
        auto* out = away.ptr<std::uint8_t>(y);
        const std::uint32_t* l = label.data() + size_t(y) * w;
        for (int x = 0; x < w; ++x) {
            const bool border = (x > 0 && l[x - 1] != l[x]) || (x + 1 < w && l[x + 1] != l[x]) ||
                                (y > 0 && l[x - w] != l[x]) || (y + 1 < h && l[x + w] != l[x]);
            out[x] = border ? 0 : 255;
        }
    }
    if (cv::countNonZero(away) == int(n))
        return {};
    cv::Mat dist;
    cv::distanceTransform(away, dist, cv::DIST_L2, cv::DIST_MASK_5);
    // A thin part of a region (narrower than twice the radius) has no pixel at the radius; its
    // ridge, a pixel at least as far as its 8 neighbours, stands in for one.
    cv::Mat ridge;
    cv::dilate(dist, ridge, cv::Mat());

    // The picture, lightly smoothed, as floats.
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    cv::Mat colours(h, w, CV_8UC4, const_cast<uchar*>(rgb.constBits()), size_t(rgb.bytesPerLine()));
    cv::Mat smooth;
    cv::GaussianBlur(colours, smooth, cv::Size(0, 0), kBlurSigma);

    // Ring of buckets: bucket c % kBuckets holds the pixels reached at cost c.
    struct Ring {
        std::vector<std::vector<std::uint32_t>> buckets{size_t(kBuckets)};
        size_t size = 0;
        void Push(std::uint32_t cost, std::uint32_t index) {
            buckets[cost % kBuckets].push_back(index);
            ++size;
        }
    } ring;
    constexpr std::uint32_t kUnreached = std::numeric_limits<std::uint32_t>::max();
    const float r = float(radius);
    std::vector<std::uint32_t> cost(n, kUnreached);
    std::vector<std::uint8_t> inBand(n, 0);
    for (int y = 0; y < h; ++y) {
        const float* d = dist.ptr<float>(y);
        const float* m = ridge.ptr<float>(y);
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            if (d[x] >= r) {
                cost[i] = 0;
            } else if (d[x] >= 1 && d[x] >= m[x]) {
                cost[i] = std::uint32_t(std::lround((r - d[x]) * kUnit));
            } else {
                inBand[i] = 1;
            }
        }
    }
    // Seeds only matter where they touch the band.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            if (inBand[i])
                continue;
            bool touches = false;
            for (int dy = -1; dy <= 1 && !touches; ++dy)
                for (int dx = -1; dx <= 1 && !touches; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    touches = nx >= 0 && ny >= 0 && nx < w && ny < h && inBand[size_t(ny) * w + nx];
                }
            if (touches)
                ring.Push(cost[i], std::uint32_t(i));
        }

    const std::vector<std::uint32_t> original = label;
    const auto colourStep = [&](int x0, int y0, int x1, int y1) {
        const auto* a = smooth.ptr<std::uint8_t>(y0) + 4 * x0;
        const auto* b = smooth.ptr<std::uint8_t>(y1) + 4 * x1;
        const float dr = float(a[0]) - b[0], dg = float(a[1]) - b[1], db = float(a[2]) - b[2];
        return std::max(0.0f, std::sqrt(dr * dr + dg * dg + db * db) - kNoiseFloor);
    };
    constexpr float kDiagonal = 1.41421356f;
    // Seeds start at costs up to the radius (in units); the ring is read from the smallest on.
    for (std::uint32_t c = 0; ring.size > 0; ++c) {
        std::vector<std::uint32_t>& bucket = ring.buckets[c % kBuckets];
        // Pushes below may add to this very bucket only at cost c + kBuckets, never at c.
        for (size_t k = 0; k < bucket.size(); ++k) {
            const std::uint32_t index = bucket[k];
            if (cost[index] != c)
                continue;
            const int x = int(index % std::uint32_t(w)), y = int(index / std::uint32_t(w));
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= w || ny >= h)
                        continue;
                    const size_t j = size_t(ny) * w + nx;
                    if (!inBand[j])
                        continue;
                    float step = (dx != 0 && dy != 0 ? kDiagonal : 1.0f) +
                                 kEdgeWeight * colourStep(x, y, nx, ny);
                    if (label[index] != original[j])
                        step += kStayCost;
                    const std::uint32_t next =
                        c + std::max<std::uint32_t>(1, std::uint32_t(std::lround(step * kUnit)));
                    if (next < cost[j]) {
                        cost[j] = next;
                        label[j] = label[index];
                        ring.Push(next, std::uint32_t(j));
                    }
                }
        }
        ring.size -= bucket.size();
        bucket.clear();
    }

    ChangedBox changed;
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(map.surface().scanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            if (label[i] == original[i] ||
                !MayOverwrite(ColorrefFromArgb(row[x]), ColorrefFromArgb(0xff000000 | label[i]),
                              options.protectNearer))
                continue;
            row[x] = 0xff000000 | label[i];
            changed.Add(x, y);
        }
    }
    return changed.rect();
}

} // namespace kelvaro
