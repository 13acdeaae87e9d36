#pragma once

#include "imaging/Result.h"

#include <QByteArray>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace kelvaro {

// A byte count as people write it: "8M", "500k", "1.5M", "120000" (k and M are 1000 and
// 1000000, as upload limits count them, so that a file fits a limit counted either way); none for
// anything else, zero or more than 1 TB.
std::optional<long long> ParseByteCount(const QString& text);

// A limit as a text field holds it: empty (or blank) for no limit, 0; otherwise ParseByteCount's
// count, and none for text it does not read.
std::optional<long long> ParseSizeLimit(const QString& text);

// "8 MB", "500 kB", "1.5 MB", "999 B": the count as the messages show it.
QString ByteCountText(long long bytes);

// The sizes an encoding within a byte limit tries in turn: the output size, then half and a
// quarter of it (never below 1 pixel a side).
std::vector<QSize> SizeLimitScales(QSize out);

// Searches the steps 0..last of a setting whose encodings shrink as the step grows (step 0 the
// best) for the smallest step that fits within `limit` bytes, given the size of step 0 and that
// it does not fit, starting at step `first`. The search interpolates the logarithm of the size
// between the steps it knows, and stops when the steps that fit and those that do not are
// `tolerance` apart or a step fits within 5 % of the limit. `encode` gives a step's bytes or its
// failure, which ends the search. With `pairs`, every round after the first also tries the step
// `tolerance`
// beyond its own on a free thread of the pool beside this one (when one is free), so that a guess
// that just misses ends the search at once, and a round where nothing fits yet goes on as far as
// the slope of the last two sizes reaches; `encode` is then called from two threads at a time.
struct StepFit {
    int step = -1; // -1: not even the last step fits
    QByteArray bytes;
    long long smallest = 0; // the smallest size met
};
Result SearchSteps(int last, int tolerance, int first, long long limit, long long sizeAtZero,
                   const std::function<Result(int, QByteArray&)>& encode, StepFit& fit,
                   bool pairs = false);

// The line that says what a limit made an encoding give way to ("quality 62, 320 × 240") and the
// failure when nothing fits even at a quarter of the size.
QString SizeLimitChoice(long long limit, const QString& settings, long long bytes);
QString SizeLimitFailure(long long limit, long long smallest);

} // namespace kelvaro
