#include "Timing.h"

#include <QElapsedTimer>

#include <algorithm>

double Median(std::vector<double> values) {
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double MedianMs(int runs, const std::function<bool()>& once) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!once())
            return -1;
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return Median(std::move(ms));
}
