#pragma once

#include <functional>
#include <vector>

// The median of the values (the upper one of an even count); -1 when there are none.
double Median(std::vector<double> values);

// Runs `once` the given number of times and returns the median time of one run in ms; -1 as soon
// as a run reports failure.
double MedianMs(int runs, const std::function<bool()>& once);
