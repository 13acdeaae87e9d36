#include "gif/SwayDrawing.h"

#include "depth/DepthPalette.h"
#include "gif/PixelBlend.h"

#include <algorithm>
#include <cstring>

// Every result here is defined bit for bit: doubles are combined in the grouping written, running
// positions grow by repeated addition, and this file is compiled without fused multiply-adds.
namespace kelvaro {

namespace {

// The largest integer not above z, for z well inside the range of int64.
inline std::int64_t FloorToInt(double z) {
    auto i = static_cast<std::int64_t>(z);
    if (double(i) > z)
        --i;
    return i;
}

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

} // namespace

template <bool Vertical>
void DrawLines(const SwaySource& src, const FramePlan& plan, std::int64_t vBegin, std::int64_t vEnd,
               QImage& frame, FrameScratch& scratch, std::uint8_t* drawnLines) {
#if defined(KELVARO_HAVE_AVX2_PATH)
    if (__builtin_cpu_supports("avx2"))
        return DrawFrameLinesAvx2<Vertical>(src, plan, vBegin, vEnd, frame, scratch, drawnLines);
#endif
    DrawFrameLines<Vertical>(src, plan, vBegin, vEnd, frame, scratch, drawnLines);
}

QImage AsRgb32(const QImage& image) {
    return image.format() == QImage::Format_RGB32 ? image
                                                  : image.convertToFormat(QImage::Format_RGB32);
}

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

template FramePlan PlanFrame<false>(const SwaySource&, const FrameGeometry&, const SwayOptions&);
template FramePlan PlanFrame<true>(const SwaySource&, const FrameGeometry&, const SwayOptions&);
template void DrawLines<false>(const SwaySource&, const FramePlan&, std::int64_t, std::int64_t,
                               QImage&, FrameScratch&, std::uint8_t*);
template void DrawLines<true>(const SwaySource&, const FramePlan&, std::int64_t, std::int64_t,
                              QImage&, FrameScratch&, std::uint8_t*);

} // namespace kelvaro
