#pragma once

// The drawing of one frame of the sway, in parts of whole lines that may be drawn at the same
// time: the lift of every picture pixel, where every sample lands, and the lines themselves.

#include "gif/FrameGeometry.h"
#include "gif/SwayOptions.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <vector>

namespace kelvaro {

// Occupancy of one frame pixel: empty, copied unmoved from a fixed region, or drawn with a lift.
constexpr std::int8_t EmptyCell = -2;
constexpr std::int8_t FixedCell = -1;

// The image in the working 32-bit format, shared rather than copied when it already is.
QImage AsRgb32(const QImage& image);

// The lift (7 - level) of every depth-map pixel, FixedCell for the fixed level; any colour that
// is not one of the palette's counts as level 0.
std::vector<std::int8_t> LiftMap(const QImage& depthMap);

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

// The plan of one frame turned to geometry g; Vertical for the sway about a horizontal axis.
template <bool Vertical>
FramePlan PlanFrame(const SwaySource& src, const FrameGeometry& g, const SwayOptions& options);

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
// different lines are independent and may be drawn at the same time. Drawn with the widest
// blend the processor has.
template <bool Vertical>
void DrawLines(const SwaySource& src, const FramePlan& plan, std::int64_t vBegin, std::int64_t vEnd,
               QImage& frame, FrameScratch& scratch, std::uint8_t* drawnLines);

} // namespace kelvaro
