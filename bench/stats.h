// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "farside.h"

#include <QList>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numeric>

namespace orva::bench
{

// What every figure of the benches is summed up by.
inline double toMs(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Stats {
    qsizetype n = 0;
    double median = 0;
    double mean = 0;
    double p99 = 0;
    double sd = 0;
    double max = 0;
};

inline Stats summarize(QList<double> samples)
{
    Stats s;
    s.n = samples.size();
    if (s.n == 0)
        return s;
    std::sort(samples.begin(), samples.end());
    s.median = s.n % 2 ? samples[s.n / 2] : (samples[s.n / 2 - 1] + samples[s.n / 2]) / 2;
    s.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / double(s.n);
    s.p99 = samples[qsizetype(std::ceil(0.99 * double(s.n))) - 1];
    double squares = 0;
    for (double x : samples)
        squares += (x - s.mean) * (x - s.mean);
    s.sd = s.n > 1 ? std::sqrt(squares / double(s.n - 1)) : 0;
    s.max = samples.last();
    return s;
}

} // namespace orva::bench
