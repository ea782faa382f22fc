#include "viewstats.h"

#include <cmath>
#include <limits>

ViewStats viewStats(const TrendData &data, int channel, double x0, double x1)
{
    ViewStats out;
    const qsizetype from = data.lowerBound(x0);
    // The first sample after x1, so that a sample at x1 itself is in view.
    const qsizetype to = data.lowerBound(std::nextafter(x1, std::numeric_limits<double>::infinity()));
    if (to <= from)
        return out;
    out.stats = data.stats(channel, from, to);
    out.marked = out.stats.marked;
    out.gaps = out.stats.samples - out.stats.count - out.marked;
    if (out.stats.count > 0) {
        out.minSample = data.indexOfValue(channel, from, to, out.stats.min);
        out.maxSample = data.indexOfValue(channel, from, to, out.stats.max);
    }
    return out;
}
