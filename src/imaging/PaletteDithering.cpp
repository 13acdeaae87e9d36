#include "imaging/PaletteDithering.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace kelvaro {

namespace {

// Colours are compared as three floats from 0 to 1, each channel raised to the power 1.21, a
// little darker than sRGB, where equal distances look about equally different.
struct Colour {
    float r = 0, g = 0, b = 0;
};

float Distance(const Colour& p, const Colour& q) {
    const float dr = p.r - q.r, dg = p.g - q.g, db = p.b - q.b;
    return dr * dr + dg * dg + db * db;
}

class ColourSpace {
public:
    ColourSpace() {
        for (int i = 0; i < 256; ++i)
            channel_[size_t(i)] = float(std::pow(i / 255.0, 0.5499 / 0.45455));
    }
    Colour Of(QRgb c) const { return {channel_[qRed(c)], channel_[qGreen(c)], channel_[qBlue(c)]}; }
    Colour Of(const uchar* rgb) const {
        return {channel_[rgb[0]], channel_[rgb[1]], channel_[rgb[2]]};
    }

private:
    std::array<float, 256> channel_{};
};

// The nearest palette colour of a colour. The guess (usually a neighbour's colour) is taken when
// the colour is within half the distance from it to any other palette colour. Otherwise a grid
// gives the palette colours that can be nearest to a point of the colour's cell, the nearer first.
// The grid's cells follow the palette, each of the slabs along a channel holding a few palette
// colours, so that a cell holds few even where the palette crowds (dark pictures). A cell's list
// is made when first asked for, by whichever thread asks; then it is shared, unchanging.
class NearestColour {
public:
    explicit NearestColour(std::vector<Colour> palette)
        : palette_(std::move(palette)), alone_(palette_.size()) {
        for (size_t i = 0; i < palette_.size(); ++i) {
            float nearest = std::numeric_limits<float>::max();
            for (size_t j = 0; j < palette_.size(); ++j)
                if (j != i)
                    nearest = std::min(nearest, Distance(palette_[i], palette_[j]));
            alone_[i] = nearest / 4;
        }
        for (int axis = 0; axis < 3; ++axis)
            axes_[size_t(axis)] = Slabs(axis);
        cells_ = std::vector<std::atomic<const CellList*>>(axes_[0].Count() * axes_[1].Count() *
                                                           axes_[2].Count());
    }

    // The index of the nearest colour, and its squared distance.
    int Find(const Colour& c, int guess, float& distance) const {
        float best = Distance(c, palette_[size_t(guess)]);
        if (best < alone_[size_t(guess)]) {
            distance = best;
            return guess;
        }
        const size_t at[3] = {axes_[0].Of(c.r), axes_[1].Of(c.g), axes_[2].Of(c.b)};
        const size_t cell = (at[0] * axes_[1].Count() + at[1]) * axes_[2].Count() + at[2];
        const CellList* list = cells_[cell].load(std::memory_order_acquire);
        if (!list)
            list = ListCell(cell, at);
        // Four candidates at a time; the first of the nearest among them is taken when it is
        // nearer than the best so far, as if they were compared one by one.
        int found = guess;
        for (size_t k = 0; k < list->chunks.size(); ++k) {
            const Chunk& chunk = list->chunks[k];
            if (chunk.lowest[0] >= best)
                break;
            float d[4];
            if (!chunk.Distances(c, best, d))
                continue;
            for (int lane = 0; lane < 4; ++lane)
                if (d[lane] < best)
                    best = d[lane], found = list->index[4 * k + size_t(lane)];
        }
        distance = best;
        return found;
    }

private:
    struct Candidate {
        float lowest; // the least squared distance to a point of the cell
        int index;
    };

    // Four candidates of a cell's list, the nearer to the cell first, channel by channel.
    struct alignas(16) Chunk {
        std::array<float, 4> lowest, r, g, b;

        // The squared distances of the colour to the four, computed as Distance does; false
        // when none is below `below`.
        bool Distances(const Colour& c, float below, float (&d)[4]) const {
#ifdef __SSE2__
            const __m128 dr = _mm_sub_ps(_mm_set1_ps(c.r), _mm_load_ps(r.data()));
            const __m128 dg = _mm_sub_ps(_mm_set1_ps(c.g), _mm_load_ps(g.data()));
            const __m128 db = _mm_sub_ps(_mm_set1_ps(c.b), _mm_load_ps(b.data()));
            const __m128 all =
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(dr, dr), _mm_mul_ps(dg, dg)), _mm_mul_ps(db, db));
            if (_mm_movemask_ps(_mm_cmplt_ps(all, _mm_set1_ps(below))) == 0)
                return false;
            _mm_storeu_ps(d, all);
            return true;
#else
            bool any = false;
            for (size_t i = 0; i < 4; ++i)
                any |= (d[i] = Distance(c, {r[i], g[i], b[i]})) < below;
            return any;
#endif
        }
    };
    struct CellList {
        std::vector<Chunk> chunks;
        std::vector<int> index; // the palette index of each candidate
    };

    // The slabs along one channel: bounds[k] to bounds[k + 1], the outer ones reaching past what
    // dithering may reach (a tenth beyond the cube), found through a table of equal steps.
    static constexpr int kSteps = 4096;
    // A squared distance beyond any in the grid.
    static constexpr float kFar = 1e30f;

    size_t Padded() const {
        return (palette_.size() + 3) / 4 * 4;
    }

    struct Axis {
        std::vector<float> bounds;
        std::array<uint8_t, kSteps> first{}; // the slab of each step's lowest value
        // For each slab, each palette colour's squared distance along this channel to the
        // slab's nearest and farthest point.
        std::vector<float> lowest, greatest;

        size_t Count() const { return bounds.size() - 1; }
        static size_t Step(float v) {
            return size_t(std::clamp(int((v + 0.3f) * (kSteps / 1.6f)), 0, kSteps - 1));
        }
        size_t Of(float v) const {
            size_t k = first[Step(v)];
            while (k + 1 < Count() && v >= bounds[k + 1])
                ++k;
            return k;
        }
    };

    Axis Slabs(int axis) const {
        std::vector<float> values;
        for (const Colour& c : palette_)
            values.push_back(axis == 0 ? c.r : axis == 1 ? c.g : c.b);
        std::sort(values.begin(), values.end());
        values.erase(std::unique(values.begin(), values.end()), values.end());
        // Bounds halfway between palette values, a few values a slab.
        constexpr size_t kSlabs = 64;
        Axis a;
        a.bounds.push_back(-0.3f);
        const size_t slabs = std::min(kSlabs, values.size());
        for (size_t k = 1; k < slabs; ++k) {
            const size_t i = k * values.size() / slabs;
            a.bounds.push_back((values[i - 1] + values[i]) / 2);
        }
        a.bounds.push_back(1.3f);
        for (size_t step = 0, k = 0; step < a.first.size(); ++step) {
            const float low = -0.3f + float(step) * (1.6f / kSteps);
            while (k + 1 < a.Count() && low >= a.bounds[k + 1])
                ++k;
            a.first[step] = uint8_t(k);
        }
        // Rows of a multiple of four, filled up with distances no colour has.
        for (size_t k = 0; k < a.Count(); ++k)
            for (size_t i = 0; i < Padded(); ++i) {
                if (i >= palette_.size()) {
                    a.lowest.push_back(kFar);
                    a.greatest.push_back(kFar);
                    continue;
                }
                const Colour& c = palette_[i];
                const float v = axis == 0 ? c.r : axis == 1 ? c.g : c.b;
                const float lo = a.bounds[k], hi = a.bounds[k + 1];
                const float below = std::max({lo - v, v - hi, 0.f});
                const float above = std::max(v - lo, hi - v);
                a.lowest.push_back(below * below);
                a.greatest.push_back(above * above);
            }
        return a;
    }

    const CellList* ListCell(size_t cell, const size_t (&at)[3]) const {
        const std::lock_guard lock(listing_);
        if (const CellList* made = cells_[cell].load(std::memory_order_acquire))
            return made;
        // A colour whose least distance to the cell is above the greatest distance of another is
        // never the nearest there.
        const size_t n = Padded();
        const float* lowest[3];
        const float* greatest[3];
        for (size_t axis = 0; axis < 3; ++axis) {
            lowest[axis] = axes_[axis].lowest.data() + at[axis] * n;
            greatest[axis] = axes_[axis].greatest.data() + at[axis] * n;
        }
        std::vector<Candidate> candidates;
        candidates.reserve(n);
#ifdef __SSE2__
        const auto sum = [](const float* const(&parts)[3], size_t i) {
            return _mm_add_ps(_mm_add_ps(_mm_loadu_ps(parts[0] + i), _mm_loadu_ps(parts[1] + i)),
                              _mm_loadu_ps(parts[2] + i));
        };
        __m128 least = _mm_set1_ps(kFar);
        for (size_t i = 0; i < n; i += 4)
            least = _mm_min_ps(least, sum(greatest, i));
        float lanes[4];
        _mm_storeu_ps(lanes, least);
        const float bound = std::min({lanes[0], lanes[1], lanes[2], lanes[3]});
        for (size_t i = 0; i < n; i += 4) {
            const __m128 low = sum(lowest, i);
            if (_mm_movemask_ps(_mm_cmple_ps(low, _mm_set1_ps(bound))) == 0)
                continue;
            _mm_storeu_ps(lanes, low);
            for (size_t lane = 0; lane < 4; ++lane)
                if (lanes[lane] <= bound)
                    candidates.push_back({lanes[lane], int(i + lane)});
        }
#else
        float bound = kFar;
        for (size_t i = 0; i < n; ++i)
            bound = std::min(bound, greatest[0][i] + greatest[1][i] + greatest[2][i]);
        for (size_t i = 0; i < n; ++i)
            if (const float low = lowest[0][i] + lowest[1][i] + lowest[2][i]; low <= bound)
                candidates.push_back({low, int(i)});
#endif
        std::sort(candidates.begin(), candidates.end(),
                  [](const Candidate& a, const Candidate& b) { return a.lowest < b.lowest; });
        // The last chunk is filled up with colours too far to be taken, never reached first.
        auto list = std::make_unique<CellList>();
        list->chunks.resize((candidates.size() + 3) / 4);
        for (size_t i = 0; i < list->chunks.size() * 4; ++i) {
            Chunk& chunk = list->chunks[i / 4];
            const bool real = i < candidates.size();
            const Colour c =
                real ? palette_[size_t(candidates[i].index)] : Colour{1e9f, 1e9f, 1e9f};
            chunk.lowest[i % 4] = real ? candidates[i].lowest : std::numeric_limits<float>::max();
            chunk.r[i % 4] = c.r;
            chunk.g[i % 4] = c.g;
            chunk.b[i % 4] = c.b;
            list->index.push_back(real ? candidates[i].index : 0);
        }
        lists_.push_back(std::move(list));
        cells_[cell].store(lists_.back().get(), std::memory_order_release);
        return lists_.back().get();
    }

    std::vector<Colour> palette_;
    std::vector<float> alone_;
    std::array<Axis, 3> axes_;
    mutable std::vector<std::atomic<const CellList*>> cells_;
    mutable std::mutex listing_;
    mutable std::vector<std::unique_ptr<CellList>> lists_;
};

// 3 x 3 filters over a map of bytes: each value becomes the greatest (or least) of itself and its
// four neighbours, the edges repeated.
template <typename Pick>
void Cross(const std::vector<uchar>& from, std::vector<uchar>& to, int w, int h, Pick pick) {
    for (int y = 0; y < h; ++y) {
        const uchar* __restrict row = from.data() + size_t(y) * size_t(w);
        const uchar* __restrict above = from.data() + size_t(std::max(y - 1, 0)) * size_t(w);
        const uchar* __restrict below = from.data() + size_t(std::min(y + 1, h - 1)) * size_t(w);
        uchar* __restrict out = to.data() + size_t(y) * size_t(w);
        out[0] = pick(pick(row[0], row[std::min(1, w - 1)]), pick(above[0], below[0]));
        for (int x = 1; x < w - 1; ++x)
            out[x] = pick(pick(row[x], pick(row[x - 1], row[x + 1])), pick(above[x], below[x]));
        if (w > 1)
            out[w - 1] = pick(pick(row[w - 1], row[w - 2]), pick(above[w - 1], below[w - 1]));
    }
}

void Greatest(const std::vector<uchar>& from, std::vector<uchar>& to, int w, int h) {
    Cross(from, to, w, h, [](uchar a, uchar b) { return std::max(a, b); });
}

void Least(const std::vector<uchar>& from, std::vector<uchar>& to, int w, int h) {
    Cross(from, to, w, h, [](uchar a, uchar b) { return std::min(a, b); });
}

// A box blur over 2 r values along each row, written transposed: twice gives the blur in both
// directions, the right way round.
void BlurRowsTransposed(const std::vector<uchar>& from, std::vector<uchar>& to, int w, int h,
                        int r) {
    for (int y = 0; y < h; ++y) {
        const uchar* row = from.data() + size_t(y) * size_t(w);
        unsigned sum = unsigned(row[0]) * unsigned(r);
        for (int x = 0; x < r; ++x)
            sum += row[x];
        for (int x = 0; x < w; ++x) {
            sum -= row[std::max(x - r, 0)];
            sum += row[std::min(x + r, w - 1)];
            to[size_t(x) * size_t(h) + size_t(y)] = uchar(sum / unsigned(2 * r));
        }
    }
}

// How much each pixel may be dithered, 0 to 255: little on edges, where dithering makes lines
// jagged, and in noise, which dithers itself. Empty for pictures too small to tell.
std::vector<uchar> DitherMap(const std::vector<Colour>& pixels, int w, int h) {
    if (w < 4 || h < 4)
        return {};
    const size_t n = size_t(w) * size_t(h);
    std::vector<uchar> noise(n), edges(n), spare(n);
    for (int y = 0; y < h; ++y) {
        const Colour* row = pixels.data() + size_t(y) * size_t(w);
        const Colour* above = pixels.data() + size_t(std::max(y - 1, 0)) * size_t(w);
        const Colour* below = pixels.data() + size_t(std::min(y + 1, h - 1)) * size_t(w);
        for (int x = 0; x < w; ++x) {
            // The contrast: how far a pixel is from the mean of its neighbours on either side.
            const Colour& c = row[x];
            const Colour& left = row[std::max(x - 1, 0)];
            const Colour& right = row[std::min(x + 1, w - 1)];
            const auto bend = [](float p, float q, float mid) {
                return std::abs(p + q - 2 * mid);
            };
            const float across = std::max({bend(left.r, right.r, c.r), bend(left.g, right.g, c.g),
                                           bend(left.b, right.b, c.b)});
            const float down =
                std::max({bend(above[x].r, below[x].r, c.r), bend(above[x].g, below[x].g, c.g),
                          bend(above[x].b, below[x].b, c.b)});
            const float edge = std::max(across, down);
            // Contrast in both directions alike is noise, in one direction an edge.
            float z = 1 - std::max(edge - std::abs(across - down) * 0.5f, std::min(across, down));
            z *= z;
            z *= z;
            const size_t at = size_t(y) * size_t(w) + size_t(x);
            noise[at] = uchar(std::min(80.f + z * 176.f, 255.f));
            edges[at] = uchar(std::clamp(255 - int(edge * 256), 0, 255));
        }
    }
    // Noise areas are shrunk, then grown again, so that thin edges leave the noise map.
    Greatest(noise, spare, w, h);
    Greatest(spare, noise, w, h);
    if (constexpr int r = 3; w > 2 * r && h > 2 * r) {
        BlurRowsTransposed(noise, spare, w, h, r);
        BlurRowsTransposed(spare, noise, h, w, r);
    }
    Greatest(noise, spare, w, h);
    Least(spare, noise, w, h);
    Least(noise, spare, w, h);
    Least(spare, noise, w, h);
    Least(edges, spare, w, h);
    Greatest(spare, edges, w, h);
    for (size_t i = 0; i < n; ++i)
        edges[i] = std::min(noise[i], edges[i]);
    return edges;
}

// The picture's pixels as colours.
std::vector<Colour> Colours(const ColourSpace& space, const PictureRows& picture) {
    const int w = picture.width, h = int(picture.rows.size());
    std::vector<Colour> pixels(size_t(std::max(w, 0)) * size_t(h));
    for (int y = 0; y < h; ++y) {
        Colour* to = pixels.data() + size_t(y) * size_t(w);
        const uchar* line = picture.rows[size_t(y)];
        for (int x = 0; x < w; ++x)
            to[x] = picture.rgb32 ? space.Of(reinterpret_cast<const QRgb*>(line)[x])
                                  : space.Of(line + 4 * x);
    }
    return pixels;
}

// Less dithering within runs of one colour (along a row, and where the rows above and below
// continue it) of the undithered picture: a flat area stays flat.
void DampInRuns(std::vector<uchar>& map, std::span<uchar* const> plain, int w) {
    const int h = int(plain.size());
    for (int y = 0; y < h; ++y) {
        const uchar* row = plain[size_t(y)];
        uchar* damp = map.data() + size_t(y) * size_t(w);
        uchar last = row[0];
        int start = 0;
        for (int x = 1; x < w; ++x) {
            if (row[x] == last && x != w - 1)
                continue;
            int neighbours = 10 * (x - start);
            for (int i = start; i < x; ++i) {
                if (y > 0 && plain[size_t(y - 1)][i] == last)
                    neighbours += 15;
                if (y < h - 1 && plain[size_t(y + 1)][i] == last)
                    neighbours += 15;
            }
            const float keep = (255.f / (255 + 128)) * (1.f - 20.f / float(20 + neighbours));
            for (; start <= x; ++start)
                damp[start] = uchar(float(damp[start] + 128) * keep);
            last = row[x];
        }
    }
}

// The colour a pixel is dithered to: the pixel plus `level` of the error carried to it, kept
// within a tenth beyond the cube, a large error carried less and a tiny one not at all (then
// false, and the pixel is as it was).
bool Dithered(const Colour& px, const Colour& error, float level, float largeError, Colour& to) {
    const Colour s{error.r * level, error.g * level, error.b * level};
    float ratio = 1;
    const auto limit = [&ratio](float v, float d) {
        if (v + d > 1.1f)
            ratio = std::min(ratio, (1.1f - v) / d);
        else if (v + d < -0.1f)
            ratio = std::min(ratio, (-0.1f - v) / d);
    };
    limit(px.r, s.r);
    limit(px.g, s.g);
    limit(px.b, s.b);
    const float size = s.r * s.r + s.g * s.g + s.b * s.b;
    if (size > largeError)
        ratio *= 0.8f;
    else if (size < 2.f / 256 / 256) {
        to = px;
        return false;
    }
    to = {px.r + s.r * ratio, px.g + s.g * ratio, px.b + s.b * ratio};
    return true;
}

bool operator==(const Colour& p, const Colour& q) {
    return p.r == q.r && p.g == q.g && p.b == q.b;
}

} // namespace

struct PaletteDithering::Palette {
    ColourSpace space;
    std::vector<Colour> colours;
    NearestColour nearest;
    float level;

    Palette(std::span<const QRgb> palette, float level)
        : colours(PaletteColours(space, palette)), nearest(colours), level(level) {}

    static std::vector<Colour> PaletteColours(const ColourSpace& space,
                                              std::span<const QRgb> palette) {
        std::vector<Colour> colours;
        for (QRgb c : palette.first(std::min<size_t>(palette.size(), 256)))
            colours.push_back(space.Of(c));
        if (colours.empty())
            colours.push_back({});
        return colours;
    }
};

PaletteDithering::PaletteDithering(std::span<const QRgb> palette, float level)
    : palette_(std::make_unique<Palette>(palette, level)) {}

PaletteDithering::~PaletteDithering() = default;

std::vector<uchar> DitheringMap(const PictureRows& picture) {
    return DitherMap(Colours(ColourSpace(), picture), picture.width, int(picture.rows.size()));
}

void PaletteDithering::Dither(const PictureRows& picture, std::vector<uchar> map,
                              std::span<uchar* const> out) const {
    const int w = picture.width, h = int(picture.rows.size());
    if (w <= 0 || h <= 0)
        return;
    const NearestColour& nearest = palette_->nearest;
    const std::vector<Colour>& shown = palette_->colours;
    const float level = palette_->level;
    // Converted again rather than kept from DitheringMap: only the bands being dithered hold
    // their floats, not all the frames' at once.
    const std::vector<Colour> pixels = Colours(palette_->space, picture);
    if (map.size() != pixels.size())
        map.clear();

    // Undithered first: where it makes runs of one colour, and how far it is from the picture.
    double plainError = 0;
    for (int y = 0; y < h; ++y) {
        const Colour* row = pixels.data() + size_t(y) * size_t(w);
        int guess = 0;
        float d = 0;
        for (int x = 0; x < w; ++x) {
            // The same colour as the last pixel has the same nearest.
            if (x == 0 || !(row[x] == row[x - 1]))
                guess = nearest.Find(row[x], guess, d);
            out[size_t(y)][x] = uchar(guess);
            plainError += d;
        }
    }
    if (!map.empty())
        DampInRuns(map, out, w);

    // Floyd-Steinberg, in alternate directions, with errors kept in floats. An error far above the
    // undithered one is carried less, so that no stray colours pop out of smooth areas.
    const float largeError =
        std::max(float(plainError / double(size_t(w) * size_t(h))) * 2.4f, 8.f / 256);
    float base = 1 - (1 - level) * (1 - level);
    if (!map.empty())
        base /= 255;
    base *= 15.f / 16; // so that small errors do not pile up
    std::vector<Colour> carried(size_t(w) + 2), next(size_t(w) + 2);
    int direction = 1;
    for (int y = 0; y < h; ++y) {
        std::fill(next.begin(), next.end(), Colour{});
        uchar* line = out[size_t(y)];
        const Colour* row = pixels.data() + size_t(y) * size_t(w);
        for (int x = direction > 0 ? 0 : w - 1; x >= 0 && x < w; x += direction) {
            const float pixelLevel =
                map.empty() ? base : base * float(map[size_t(y) * size_t(w) + size_t(x)]);
            // An undithered pixel keeps the colour it was given undithered.
            Colour want;
            float d = 0;
            const int index = Dithered(row[x], carried[size_t(x) + 1], pixelLevel, largeError, want)
                                  ? nearest.Find(want, line[x], d)
                                  : line[x];
            line[x] = uchar(index);
            const Colour& got = shown[size_t(index)];
            Colour e{want.r - got.r, want.g - got.g, want.b - got.b};
            if (e.r * e.r + e.g * e.g + e.b * e.b > largeError)
                e = {e.r * 0.75f, e.g * 0.75f, e.b * 0.75f};
            const auto add = [&e](Colour& to, float part) {
                to.r += e.r * part;
                to.g += e.g * part;
                to.b += e.b * part;
            };
            // The error array is one wider on both sides: x + 1 is this pixel.
            const size_t ahead = size_t(x + 1 + direction), behind = size_t(x + 1 - direction);
            add(carried[ahead], 7.f / 16);
            next[ahead] = {e.r / 16, e.g / 16, e.b / 16};
            add(next[size_t(x) + 1], 5.f / 16);
            add(next[behind], 3.f / 16);
        }
        std::swap(carried, next);
        direction = -direction;
    }
}

} // namespace kelvaro
