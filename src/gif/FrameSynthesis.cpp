#include "gif/FrameSynthesis.h"

#include "imaging/LargeMemory.h"

#include <QRgb>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#if defined(__x86_64__)
#include <immintrin.h>
#define KELVARO_HAVE_AVX2_PATH 1
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

// Every result here is defined bit for bit: doubles are combined in the grouping written, running
// positions grow by repeated addition, and this file is compiled without fused multiply-adds.
namespace kelvaro {

namespace {

// Pictures of fewer pixels are drawn on one thread: starting another would cost more than it saves.
constexpr qint64 MinParallelPixels = 128 * 128;
// A drawing is not split into parts of fewer lines than this.
constexpr int MinPartLines = 32;

// Occupancy of one frame pixel: empty, copied unmoved from a fixed region, or drawn with a lift.
constexpr std::int8_t EmptyCell = -2;
constexpr std::int8_t FixedCell = -1;

// `count` w x h Format_RGB32 images of undefined content in one block of memory (see
// AllocateLarge): five 640 x 640 frames took 2,000 page faults a run, which cost more than
// drawing them. Each image holds a share of the block; the last one released frees it. Empty
// when there is no memory.
std::vector<QImage> FrameImages(int w, int h, int count) {
    const std::size_t frameBytes = std::size_t(w) * std::size_t(h) * sizeof(QRgb);
    const std::shared_ptr<void> block(AllocateLarge(frameBytes * std::size_t(count)), std::free);
    if (!block)
        return {};
    using Share = std::shared_ptr<void>;
    std::vector<QImage> images;
    for (int i = 0; i < count; ++i) {
        auto share = std::make_unique<Share>(block);
        QImage image(
            static_cast<uchar*>(block.get()) + std::size_t(i) * frameBytes, w, h,
            qsizetype(w) * qsizetype(sizeof(QRgb)), QImage::Format_RGB32,
            [](void* info) { delete static_cast<Share*>(info); }, share.get());
        if (image.isNull())
            return {};
        (void)share.release(); // the image's cleanup deletes it
        images.push_back(std::move(image));
    }
    return images;
}

// The image in the working 32-bit format, shared rather than copied when it already is.
QImage AsRgb32(const QImage& image) {
    return image.format() == QImage::Format_RGB32 ? image
                                                  : image.convertToFormat(QImage::Format_RGB32);
}

// The lift (7 - level) of every depth-map pixel, FixedCell for the fixed level; any colour that
// is not one of the palette's counts as level 0.
std::vector<std::int8_t> LiftMap(const QImage& depthMap) {
    const QImage depth = AsRgb32(depthMap);
    const int w = depth.width();
    const int h = depth.height();
    std::vector<std::int8_t> lifts(std::size_t(w) * std::size_t(h));
    // Depth maps are large areas of one colour; remember the last colour looked up.
    QRgb lastColour = 0;
    std::int8_t lastLift = 0;
    bool haveLast = false;
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(depth.constScanLine(y));
        std::int8_t* out = lifts.data() + std::size_t(y) * std::size_t(w);
        for (int x = 0; x < w; ++x) {
            const QRgb colour = line[x] & 0xffffff;
            if (!haveLast || colour != lastColour) {
                const DepthLevel level = LevelOfColour(ColorrefFromArgb(colour)).value_or(0);
                lastLift = level == FixedLevel ? FixedCell : std::int8_t(BaseLevel - level);
                lastColour = colour;
                haveLast = true;
            }
            out[x] = lastLift;
        }
    }
    return lifts;
}

// The largest integer not above z, for z well inside the range of int64.
inline std::int64_t FloorToInt(double z) {
    auto i = static_cast<std::int64_t>(z);
    if (double(i) > z)
        --i;
    return i;
}

// The bilinear blend of four pixels, channel by channel:
// trunc((P11 fx + P01 (1 - fx)) fy + (P10 fx + P00 (1 - fx)) (1 - fy)).
inline QRgb Bilinear(QRgb p00, QRgb p10, QRgb p01, QRgb p11, double fx, double fy) {
    const double gx = 1.0 - fx;
    const double gy = 1.0 - fy;
#if defined(__SSE2__)
    // Two channels a register; each lane does the scalar operations in the same order.
    const __m128i zero = _mm_setzero_si128();
    const auto widen = [&](QRgb p, __m128d& blueGreen, __m128d& redAlpha) {
        const __m128i c =
            _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(p)), zero), zero);
        blueGreen = _mm_cvtepi32_pd(c);
        redAlpha = _mm_cvtepi32_pd(_mm_shuffle_epi32(c, 0xEE));
    };
    __m128d b00, r00, b10, r10, b01, r01, b11, r11;
    widen(p00, b00, r00);
    widen(p10, b10, r10);
    widen(p01, b01, r01);
    widen(p11, b11, r11);
    const __m128d vfx = _mm_set1_pd(fx), vgx = _mm_set1_pd(gx);
    const __m128d vfy = _mm_set1_pd(fy), vgy = _mm_set1_pd(gy);
    const auto blend = [&](__m128d c00, __m128d c10, __m128d c01, __m128d c11) {
        const __m128d far = _mm_mul_pd(_mm_add_pd(_mm_mul_pd(c11, vfx), _mm_mul_pd(c01, vgx)), vfy);
        const __m128d near =
            _mm_mul_pd(_mm_add_pd(_mm_mul_pd(c10, vfx), _mm_mul_pd(c00, vgx)), vgy);
        return _mm_cvttpd_epi32(_mm_add_pd(far, near));
    };
    const __m128i bgra = _mm_unpacklo_epi64(blend(b00, b10, b01, b11), blend(r00, r10, r01, r11));
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(bgra, bgra), zero);
    return QRgb(_mm_cvtsi128_si32(bytes)) | 0xff000000u;
#else
    const auto blend = [&](int shift) {
        const double c00 = double((p00 >> shift) & 0xff);
        const double c10 = double((p10 >> shift) & 0xff);
        const double c01 = double((p01 >> shift) & 0xff);
        const double c11 = double((p11 >> shift) & 0xff);
        return QRgb(static_cast<int>((c11 * fx + c01 * gx) * fy + (c10 * fx + c00 * gx) * gy));
    };
    return 0xff000000u | (blend(16) << 16) | (blend(8) << 8) | blend(0);
#endif
}

#if defined(KELVARO_HAVE_AVX2_PATH)
// The same blend with all four channels in one 256-bit register, for processors that have AVX2;
// each lane does the scalar operations in the same order, so the result is the same.
[[gnu::target("avx2")]] inline __m256d WidenChannels(QRgb p) {
    return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(int(p))));
}

[[gnu::target("avx2")]] inline QRgb BilinearAvx2(QRgb p00, QRgb p10, QRgb p01, QRgb p11, double fx,
                                                 double fy) {
    const __m256d vfx = _mm256_set1_pd(fx), vgx = _mm256_set1_pd(1.0 - fx);
    const __m256d vfy = _mm256_set1_pd(fy), vgy = _mm256_set1_pd(1.0 - fy);
    const __m256d far = _mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(WidenChannels(p11), vfx),
                                                    _mm256_mul_pd(WidenChannels(p01), vgx)),
                                      vfy);
    const __m256d near = _mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(WidenChannels(p10), vfx),
                                                     _mm256_mul_pd(WidenChannels(p00), vgx)),
                                       vgy);
    const __m128i channels = _mm256_cvttpd_epi32(_mm256_add_pd(far, near));
    const __m128i words = _mm_packus_epi32(channels, channels);
    return QRgb(_mm_cvtsi128_si32(_mm_packus_epi16(words, words))) | 0xff000000u;
}
#endif

// The picture and the lift of every pixel under it, shared by all frames of a run.
struct SwaySource {
    const QImage& picture; // Format_RGB32
    const std::vector<std::int8_t>& lifts;
    int width;
    int height;
};

// The span of one frame line: its source position along u (clamped to the picture, and the
// position after it, for the bilinear blend) and, along v, the first and last frame positions it
// draws, the source position at the first and its advance per position.
struct SwayLine {
    std::int64_t vFirst = 1;
    std::int64_t vLast = 0; // no positions unless set
    std::int64_t s0 = 0;
    std::int64_t s1 = 0;
    double fu = 0.0;
    double sv = 0.0;
    double stepV = 0.0;
};

// What every part of one frame's drawing shares: where each sample of a lift lands and the span
// of every frame line. Empty lines when the frame draws nothing.
struct FramePlan {
    std::array<std::int64_t, 9> targetOffset{}; // indexed by lift + 1
    std::vector<SwayLine> lines;
    HoleFill holeFill = HoleFill::Previous;
};

template <bool Vertical>
FramePlan PlanFrame(const SwaySource& src, const FrameGeometry& g, const SwayOptions& options) {
    FramePlan plan;
    plan.holeFill = options.holeFill;
    const int lu = Vertical ? src.height : src.width;
    const int lv = Vertical ? src.width : src.height;
    const std::int64_t u0 = g.u0, u1 = g.u1;
    const std::int64_t v0a = g.v0a, v0b = g.v0b, v1a = g.v1a, v1b = g.v1b;
    if (u1 - u0 < 2 || v0b - v0a < 2 || v1b - v1a < 2)
        return plan;

    const double n = double(u1 - u0 + 1);
    const double stepU = double(lu) / n;
    const double dA = double(v1a - v0a + 1) / n;
    const double dB = double(v1b - v0b + 1) / n;

    // Where a sample of each lift lands relative to its line: the level shift, less that of the
    // pivot level (which so stays still), plus p. Indexed by lift + 1, so that fixed samples
    // (lift -1, never drawn) have an entry too.
    const std::int64_t p = SwayDisplacement(g);
    const std::array<std::int64_t, 8> shifts = LevelShiftTable(p);
    const std::int64_t pivotShift =
        shifts[std::size_t(BaseLevel - std::clamp(options.pivot, 0, int(BaseLevel)))];
    for (std::size_t k = 0; k < shifts.size(); ++k)
        plan.targetOffset[k + 1] = shifts[k] - pivotShift + p;

    // The span of every line, with its running positions grown as the lines are walked.
    plan.lines.assign(std::size_t(lu), SwayLine{});
    double vA = double(v0a);
    double vB = double(v0b);
    double su = 0.0;
    const std::int64_t uLast = std::min<std::int64_t>(u1, lu - 1);
    for (std::int64_t u = u0; u <= uLast; ++u) {
        if (u >= 0) {
            SwayLine& line = plan.lines[std::size_t(u)];
            line.stepV = double(lv) / (vB - vA + 1.0);
            const std::int64_t iu = FloorToInt(su);
            line.fu = su - double(iu);
            // Positions beyond the picture read its nearest edge pixel.
            line.s0 = std::clamp<std::int64_t>(iu, 0, lu - 1);
            line.s1 = std::clamp<std::int64_t>(iu + 1, 0, lu - 1);
            std::int64_t v = static_cast<std::int64_t>(vA);
            line.vLast = std::min<std::int64_t>(static_cast<std::int64_t>(vB), lv - 1);
            // Positions before the frame draw nothing but still advance the source position.
            double sv = 0.0;
            for (; v < 0 && v <= line.vLast; ++v)
                sv = sv + line.stepV;
            line.sv = sv;
            line.vFirst = v;
        }
        vA = vA + dA;
        vB = vB + dB;
        su = su + stepU;
    }
    return plan;
}

// Working memory of one thread, kept across the parts it draws.
struct FrameScratch {
    std::vector<std::int8_t> cells; // the occupancy grid of the part's lines
    std::vector<double> sv;         // the source position along v of every line
    std::vector<std::int64_t> firstDrawn;
    std::vector<QRgb> lastColour;
    std::vector<std::int8_t> lastCell;  // the cell of the last drawn pixel of every line
    std::vector<std::int64_t> runStart; // where the run of empty cells a line is in began, or -1
};

// Draws the lines vBegin <= v < vEnd (across u) of one frame. u (the sway coordinate) is x for
// horizontal sway and y for vertical sway. frame is Format_RGB32 of the picture's size. Entry v of
// drawnLines is set to 1 if line v was drawn, and then every pixel of it was, else to 0; the pixels
// of the other lines are untouched. Samples move only along u, so the parts of a frame that hold
// different lines are independent and may be drawn at the same time.
template <bool Vertical, bool Avx2 = false>
void DrawFrameLines(const SwaySource& src, const FramePlan& plan, std::int64_t vBegin,
                    std::int64_t vEnd, QImage& frame, FrameScratch& scratch,
                    std::uint8_t* drawnLines) {
    const int w = src.width;
    const int h = src.height;
    const int lu = Vertical ? h : w;
    std::fill(drawnLines + vBegin, drawnLines + vEnd, std::uint8_t(0));
    if (plan.lines.empty() || vBegin >= vEnd)
        return;
    const std::int64_t lines = vEnd - vBegin;

    // Pixel (x, y) of the picture, the lift map and the frame; the grid holds the part's lines.
    const QRgb* pic = reinterpret_cast<const QRgb*>(src.picture.constBits());
    const qsizetype picStride = src.picture.bytesPerLine() / qsizetype(sizeof(QRgb));
    QRgb* out = reinterpret_cast<QRgb*>(frame.bits());
    const qsizetype outStride = frame.bytesPerLine() / qsizetype(sizeof(QRgb));
    const std::int8_t* lifts = src.lifts.data();
    std::vector<std::int8_t>& cells = scratch.cells;
    cells.assign(std::size_t(lines) * std::size_t(lu), EmptyCell);
    // The part in the picture's coordinates, and the grid's stride along u and along v.
    const int xBegin = Vertical ? int(vBegin) : 0, xEnd = Vertical ? int(vEnd) : w;
    const int yBegin = Vertical ? 0 : int(vBegin), yEnd = Vertical ? h : int(vEnd);
    const qsizetype outStepU = Vertical ? outStride : 1;
    const qsizetype outStepV = Vertical ? 1 : outStride;
    const qsizetype cellStepU = Vertical ? lines : 1;
    const qsizetype cellStepV = Vertical ? 1 : lu;
    const qsizetype cellRow = xEnd - xBegin; // grid cells of one picture row of the part
    const auto cellOf = [&](int x, int y) {
        return cells.data() + qsizetype(y - yBegin) * cellRow + (x - xBegin);
    };

    // Pass 1: fixed regions are copied in place. They are rare: found by memchr, then copied
    // run by run.
    for (int y = yBegin; y < yEnd; ++y) {
        const QRgb* picLine = pic + y * picStride;
        QRgb* outLine = out + y * outStride;
        const std::int8_t* liftLine = lifts + std::size_t(y) * std::size_t(w);
        std::int8_t* cellLine = cellOf(xBegin, y);
        for (int x = xBegin; x < xEnd;) {
            const void* hit =
                std::memchr(liftLine + x, std::uint8_t(FixedCell), std::size_t(xEnd - x));
            if (!hit)
                break;
            for (x = int(static_cast<const std::int8_t*>(hit) - liftLine);
                 x < xEnd && liftLine[x] == FixedCell; ++x) {
                cellLine[x - xBegin] = FixedCell;
                outLine[x] = picLine[x] | 0xff000000u;
            }
        }
    }

    // Pass 2: every frame line takes its span of bilinear samples and displaces each along u by
    // the lift under its source position; of two samples on one pixel the greater lift wins.
    // First the source position of every line at the part's first line, by the same additions.
    std::vector<double>& svOf = scratch.sv;
    svOf.resize(std::size_t(lu));
    for (int u = 0; u < lu; ++u) {
        const SwayLine& line = plan.lines[std::size_t(u)];
        double sv = line.sv;
        for (std::int64_t v = line.vFirst; v < vBegin && v <= line.vLast; ++v)
            sv = sv + line.stepV;
        svOf[std::size_t(u)] = sv;
    }
    // Then the samples, in the frame's memory order. Two samples can only meet on one pixel when
    // they share v, and for each v the lines still come in increasing u, as do the samples of one
    // line in increasing v: the order of drawing that decides the depth test is kept.
    const std::int64_t svLimit = (Vertical ? w : h) - 1;
    for (int y = yBegin; y < yEnd; ++y) {
        for (int x = xBegin; x < xEnd; ++x) {
            const std::int64_t u = Vertical ? y : x;
            const std::int64_t v = Vertical ? x : y;
            const SwayLine& line = plan.lines[std::size_t(u)];
            if (v < line.vFirst || v > line.vLast)
                continue;
            const double sv = svOf[std::size_t(u)];
            svOf[std::size_t(u)] = sv + line.stepV;

            const std::int64_t iv = FloorToInt(sv);
            // Positions beyond the picture read its nearest edge pixel.
            const std::int64_t t0 = std::clamp<std::int64_t>(iv, 0, svLimit);
            const std::int64_t t1 = std::clamp<std::int64_t>(iv + 1, 0, svLimit);
            const std::int64_t sx = Vertical ? t0 : line.s0, sx1 = Vertical ? t1 : line.s1;
            const std::int64_t sy = Vertical ? line.s0 : t0, sy1 = Vertical ? line.s1 : t1;
            const std::int8_t lift = lifts[sy * w + sx];
            // Without branches, which the depth test would mispredict on a busy map: the colour
            // is always blended and written back unchanged when the sample is fixed, lands
            // outside the frame or loses the depth test.
            const std::int64_t target = u + plan.targetOffset[std::size_t(lift + 1)];
            const bool inside = std::uint64_t(target) < std::uint64_t(lu);
            const std::int64_t at = inside ? target : u;
            std::int8_t& cell = cells[std::size_t(at * cellStepU + (v - vBegin) * cellStepV)];
            const bool draw = inside & (lift != FixedCell) & (cell < lift);
            const double fv = sv - double(iv);
            const double fx = Vertical ? fv : line.fu;
            const double fy = Vertical ? line.fu : fv;
            const QRgb* row0 = pic + sy * picStride;
            const QRgb* row1 = pic + sy1 * picStride;
            QRgb colour;
#if defined(KELVARO_HAVE_AVX2_PATH)
            if constexpr (Avx2)
                colour = BilinearAvx2(row0[sx], row0[sx1], row1[sx], row1[sx1], fx, fy);
            else
#endif
                colour = Bilinear(row0[sx], row0[sx1], row1[sx], row1[sx1], fx, fy);
            QRgb& pixel = out[at * outStepU + v * outStepV];
            pixel = draw ? colour : pixel;
            cell = draw ? lift : cell;
        }
    }

    // Pass 3: along every line, empty positions take the colour of the drawn pixel before them,
    // leading ones that of the first drawn pixel; a line with nothing drawn stays as it was. With
    // the far fill an inner run takes the pixel after it instead when that one's cell is lower
    // (farther back; a fixed pixel is lowest). Walked in memory order, keeping per line where its
    // first drawn pixel is and the colour of the last; the leading runs are painted afterwards.
    const bool far = plan.holeFill == HoleFill::Far;
    std::vector<std::int64_t>& firstDrawn = scratch.firstDrawn;
    firstDrawn.assign(std::size_t(lines), -1);
    if constexpr (Vertical) {
        std::vector<QRgb>& lastColour = scratch.lastColour;
        lastColour.assign(std::size_t(lines), 0);
        std::vector<std::int8_t>& lastCell = scratch.lastCell;
        std::vector<std::int64_t>& runStart = scratch.runStart;
        if (far) {
            lastCell.assign(std::size_t(lines), EmptyCell);
            runStart.assign(std::size_t(lines), -1);
        }
        for (int y = yBegin; y < yEnd; ++y) {
            QRgb* outLine = out + y * outStride;
            const std::int8_t* cellLine = cellOf(xBegin, y);
            for (int x = xBegin; x < xEnd; ++x) {
                const std::size_t k = std::size_t(x - vBegin);
                const std::int8_t cell = cellLine[x - xBegin];
                if (cell != EmptyCell) {
                    if (firstDrawn[k] < 0)
                        firstDrawn[k] = y;
                    lastColour[k] = outLine[x];
                    if (far) {
                        // The run just ended lies between two drawn pixels: repaint it from
                        // this one when it is the farther.
                        if (runStart[k] >= 0 && cell < lastCell[k])
                            for (std::int64_t r = runStart[k]; r < y; ++r)
                                out[r * outStride + x] = outLine[x];
                        runStart[k] = -1;
                        lastCell[k] = cell;
                    }
                } else if (firstDrawn[k] >= 0) {
                    outLine[x] = lastColour[k];
                    if (far && runStart[k] < 0)
                        runStart[k] = y;
                }
            }
        }
    } else {
        // Each line is a row: walked on its own, from its first drawn pixel.
        for (int y = yBegin; y < yEnd; ++y) {
            QRgb* outLine = out + y * outStride;
            const std::int8_t* cellLine = cellOf(0, y);
            int x = 0;
            while (x < w && cellLine[x] == EmptyCell)
                ++x;
            if (x == w)
                continue;
            firstDrawn[std::size_t(y - vBegin)] = x;
            if (far) {
                while (x < w) {
                    if (cellLine[x] != EmptyCell) {
                        ++x;
                        continue;
                    }
                    const int start = x;
                    while (x < w && cellLine[x] == EmptyCell)
                        ++x;
                    const bool after = x < w && cellLine[x] < cellLine[start - 1];
                    std::fill(outLine + start, outLine + x, outLine[after ? x : start - 1]);
                }
                continue;
            }
            QRgb last = outLine[x];
            for (; x < w; ++x) {
                last = cellLine[x] != EmptyCell ? outLine[x] : last;
                outLine[x] = last;
            }
        }
    }
    for (std::int64_t v = vBegin; v < vEnd; ++v) {
        const std::int64_t first = firstDrawn[std::size_t(v - vBegin)];
        if (first < 0)
            continue;
        drawnLines[v] = 1;
        QRgb* outLine = out + v * outStepV;
        const QRgb colour = outLine[first * outStepU];
        for (std::int64_t u = 0; u < first; ++u)
            outLine[u * outStepU] = colour;
    }
}

#if defined(KELVARO_HAVE_AVX2_PATH)
// DrawFrameLines with the blend in AVX2, everything inlined into this one function so that the
// whole loop is compiled for it.
template <bool Vertical>
[[gnu::target("avx2"), gnu::flatten]] void
DrawFrameLinesAvx2(const SwaySource& src, const FramePlan& plan, std::int64_t vBegin,
                   std::int64_t vEnd, QImage& frame, FrameScratch& scratch,
                   std::uint8_t* drawnLines) {
    DrawFrameLines<Vertical, true>(src, plan, vBegin, vEnd, frame, scratch, drawnLines);
}
#endif

// DrawFrameLines on the widest blend the processor has.
template <bool Vertical>
void DrawLines(const SwaySource& src, const FramePlan& plan, std::int64_t vBegin, std::int64_t vEnd,
               QImage& frame, FrameScratch& scratch, std::uint8_t* drawnLines) {
#if defined(KELVARO_HAVE_AVX2_PATH)
    if (__builtin_cpu_supports("avx2"))
        return DrawFrameLinesAvx2<Vertical>(src, plan, vBegin, vEnd, frame, scratch, drawnLines);
#endif
    DrawFrameLines<Vertical>(src, plan, vBegin, vEnd, frame, scratch, drawnLines);
}

// The picture, depth map and frame must share one size; the picture and frame are brought into
// the working format when they are not in it.
bool PrepareFrameInputs(const QImage& picture, const QImage& depth, QImage& frame,
                        QImage& pictureRgb32) {
    if (picture.isNull() || picture.size() != depth.size() || picture.size() != frame.size())
        return false;
    pictureRgb32 = AsRgb32(picture);
    frame = AsRgb32(frame);
    return !pictureRgb32.isNull() && !frame.isNull();
}

template <bool Vertical>
void RenderOneFrame(const QImage& picture, const QImage& depth, const FrameGeometry& g,
                    QImage& frame, const SwayOptions& options) {
    QImage pictureRgb32;
    if (!PrepareFrameInputs(picture, depth, frame, pictureRgb32))
        return;
    const std::vector<std::int8_t> lifts = LiftMap(depth);
    const SwaySource src{pictureRgb32, lifts, picture.width(), picture.height()};
    FrameScratch scratch;
    const int lv = Vertical ? picture.width() : picture.height();
    std::vector<std::uint8_t> drawn(static_cast<std::size_t>(lv));
    DrawLines<Vertical>(src, PlanFrame<Vertical>(src, g, ClampedSwayOptions(options)), 0, lv, frame,
                        scratch, drawn.data());
}

} // namespace

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

void RenderHorizontalSwayFrame(const QImage& picture, const QImage& depth, int left, int leftTop,
                               int leftBottom, int right, int rightTop, int rightBottom,
                               QImage& frame, const SwayOptions& options) {
    RenderOneFrame<false>(picture, depth, {left, leftTop, leftBottom, right, rightTop, rightBottom},
                          frame, options);
}

void RenderVerticalSwayFrame(const QImage& picture, const QImage& depth, int topLeft, int topRight,
                             int top, int bottomLeft, int bottomRight, int bottom, QImage& frame,
                             const SwayOptions& options) {
    RenderOneFrame<true>(picture, depth, {top, topLeft, topRight, bottom, bottomLeft, bottomRight},
                         frame, options);
}

std::vector<ImageHandle> RenderSwayFrames(const ImageHandle& picture, const DepthMap& depth,
                                          SwayDirection direction, const SwayOptions& options,
                                          const std::function<void(int)>& beforeFrame,
                                          FrameReuse reuse) {
    const int w = picture.width();
    const int h = picture.height();
    if (picture.isNull() || depth.width() != w || depth.height() != h)
        return {};
    const QImage pictureRgb32 = AsRgb32(picture.image());
    const std::vector<std::int8_t> lifts = LiftMap(depth.surface());
    const SwaySource src{pictureRgb32, lifts, w, h};
    const bool vertical = direction == SwayDirection::Vertical;
    const SwayOptions sway = ClampedSwayOptions(options);
    const std::vector<double> angles = SwayAngles(sway);
    const int frameCount = int(angles.size());

    // Each drawing renders one angle on its own into a black image, recording which lines it
    // drew. A frame of the one reused frame bitmap is then the drawing of its angle, with every
    // line it left alone taken from the frame before; so the drawings can be made in parallel, and
    // an angle that comes again needs no second drawing.
    std::vector<int> drawingOf(std::size_t(frameCount), 0);
    std::vector<int> drawingAngle; // the frame whose angle each drawing renders
    for (int k = 0; k < frameCount; ++k) {
        drawingOf[std::size_t(k)] = int(drawingAngle.size());
        for (int j = 0; j < k && reuse == FrameReuse::Share; ++j)
            if (angles[std::size_t(j)] == angles[std::size_t(k)]) {
                drawingOf[std::size_t(k)] = drawingOf[std::size_t(j)];
                break;
            }
        if (drawingOf[std::size_t(k)] == int(drawingAngle.size()))
            drawingAngle.push_back(k);
    }
    const int drawingCount = int(drawingAngle.size());
    const int lv = vertical ? w : h;

    // Each drawing is made in parts of whole lines across u, as many as there are threads, so
    // that the cores stay busy to the end. Small pictures are drawn on this thread alone.
    const int cores = std::max(1, QThread::idealThreadCount());
    const int threads = qint64(w) * h >= MinParallelPixels ? std::min(cores, drawingCount) : 1;
    const int parts = std::clamp(lv / MinPartLines, 1, threads);
    std::vector<QImage> drawings = FrameImages(w, h, drawingCount);
    if (drawings.empty())
        return {}; // out of memory: the run yields no frames
    std::vector<FramePlan> plans(static_cast<std::size_t>(drawingCount));
    std::vector<std::vector<std::uint8_t>> drawnLines(static_cast<std::size_t>(drawingCount));
    for (int d = 0; d < drawingCount; ++d) {
        const double theta = angles[std::size_t(drawingAngle[std::size_t(d)])];
        // Vertical: Lu = H and Lv = W, the call (b, W - b, a, e, W - e, H - a).
        plans[std::size_t(d)] =
            vertical ? PlanFrame<true>(src, ComputeFrameGeometry(theta, h, w), sway)
                     : PlanFrame<false>(src, ComputeFrameGeometry(theta, w, h), sway);
        drawnLines[std::size_t(d)].resize(std::size_t(lv));
    }
    std::atomic<bool> outOfMemory{false};
    const auto draw = [&](int job, FrameScratch& scratch) {
        const std::size_t d = std::size_t(job / parts);
        const int part = job % parts;
        const int vBegin = lv * part / parts, vEnd = lv * (part + 1) / parts;
        QImage& image = drawings[d];
        std::uint8_t* drawn = drawnLines[d].data();
        // The scratch lines are vectors: running out of memory there fails the run (thrown on a
        // helper thread, it would end the program).
        try {
            if (vertical)
                DrawLines<true>(src, plans[d], vBegin, vEnd, image, scratch, drawn);
            else
                DrawLines<false>(src, plans[d], vBegin, vEnd, image, scratch, drawn);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
        // Lines the drawing left alone are black, as in a frame image that starts black.
        QRgb* bits = reinterpret_cast<QRgb*>(image.bits());
        const qsizetype stride = image.bytesPerLine() / qsizetype(sizeof(QRgb));
        for (int v = vBegin; v < vEnd; ++v) {
            if (drawn[v])
                continue;
            if (vertical)
                for (int y = 0; y < h; ++y)
                    bits[y * stride + v] = 0xff000000u;
            else
                std::fill_n(bits + v * stride, w, 0xff000000u);
        }
    };

    const int jobCount = drawingCount * parts;
    std::atomic<int> next{0};
    std::mutex mutex;
    std::condition_variable drawingDone;
    std::vector<int> partsLeft(std::size_t(drawingCount), parts);
    const auto drawNext = [&](FrameScratch& scratch) {
        const int job = next.fetch_add(1);
        if (job >= jobCount)
            return false;
        draw(job, scratch);
        {
            const std::lock_guard lock(mutex);
            --partsLeft[std::size_t(job / parts)];
        }
        drawingDone.notify_all();
        return true;
    };

    // Helpers draw in order while this thread reports progress, joins in and assembles the frames.
    std::vector<std::jthread> helpers;
    for (int i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back([&drawNext] {
                FrameScratch scratch;
                while (drawNext(scratch)) {
                }
            });
        } catch (const std::system_error&) {
            break; // fewer threads only means slower
        }
    }

    // How many frames still need each drawing: the last one may take it over.
    std::vector<int> usesLeft(std::size_t(drawingCount), 0);
    for (const int d : drawingOf)
        ++usesLeft[std::size_t(d)];

    std::vector<QImage> frames(static_cast<std::size_t>(frameCount));
    FrameScratch scratch;
    for (int k = 0; k < frameCount; ++k) {
        if (beforeFrame)
            beforeFrame(k);
        const std::size_t d = std::size_t(drawingOf[std::size_t(k)]);
        for (;;) {
            {
                const std::lock_guard lock(mutex);
                if (partsLeft[d] == 0)
                    break;
            }
            if (!drawNext(scratch)) {
                std::unique_lock lock(mutex);
                drawingDone.wait(lock, [&] { return partsLeft[d] == 0; });
                break;
            }
        }
        const std::vector<std::uint8_t>& drawn = drawnLines[d];
        const bool complete = std::all_of(drawn.begin(), drawn.end(), [](auto v) { return v; });
        // A frame 0 finds the black the drawing started with on its lines left alone.
        if (complete || k == 0) {
            frames[std::size_t(k)] = --usesLeft[d] == 0 ? std::move(drawings[d]) : drawings[d];
            continue;
        }
        QImage image = --usesLeft[d] == 0 ? std::move(drawings[d]) : drawings[d].copy();
        const QImage& previous = frames[std::size_t(k - 1)];
        for (int v = 0; v < int(drawn.size()); ++v) {
            if (drawn[std::size_t(v)])
                continue;
            if (vertical) {
                for (int y = 0; y < h; ++y)
                    reinterpret_cast<QRgb*>(image.scanLine(y))[v] =
                        reinterpret_cast<const QRgb*>(previous.constScanLine(y))[v];
            } else {
                std::copy_n(reinterpret_cast<const QRgb*>(previous.constScanLine(v)), w,
                            reinterpret_cast<QRgb*>(image.scanLine(v)));
            }
        }
        frames[std::size_t(k)] = std::move(image);
    }
    helpers.clear(); // joins; every drawing is done by now
    if (outOfMemory)
        return {};
    if (std::any_of(frames.begin(), frames.end(), [](const QImage& f) { return f.isNull(); }))
        return {}; // a copy found no memory
    std::vector<ImageHandle> result;
    result.reserve(std::size_t(frameCount));
    for (QImage& image : frames)
        result.emplace_back(std::move(image));
    return result;
}

} // namespace kelvaro
