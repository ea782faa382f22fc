#pragma once

#include "trenddata.h"

// One channel's statistics over the samples in a time view, gaps excluded, with
// where its smallest and largest value were logged.
struct ViewStats
{
    TrendStats stats;
    // Missing samples of the channel in the view: gaps are the empty cells,
    // marked the cells that held a mark (ERR, N/A, ...).
    qint64 gaps = 0;
    qint64 marked = 0;
    // Samples holding the minimum and the maximum (the first of equal ones); -1
    // when the view holds no value of the channel.
    qsizetype minSample = -1;
    qsizetype maxSample = -1;

    double mean() const { return stats.count > 0 ? stats.sum / double(stats.count) : 0.0; }
};

// The statistics of `channel` over the samples whose time lies in [x0, x1],
// from the data's summaries: about the cost of a few hundred blocks, whatever the
// number of samples in view.
ViewStats viewStats(const TrendData &data, int channel, double x0, double x1);
