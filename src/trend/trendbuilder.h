#pragma once

#include <QString>

class GridControl;

// What a plot run shows while it works: the data file window implements it with
// its progress label and bar.
class PlotRunProgress
{
public:
    virtual ~PlotRunProgress() = default;
    // The indicator appears with its maximum at 100.
    virtual void plotRunStarted() = 0;
    // 0 to 100.
    virtual void plotRunProgress(int percent) = 0;
    // The indicator goes away; called at every end of the run.
    virtual void plotRunEnded() = 0;
};

// Turns the blocks selected in `grid` (a loaded log: dates in column 0, times in
// column 1, titles in row 0) into a historical trend on the trend window: one
// channel per selected column (titled by its header), one sample per selected row
// at the row's date and time. An empty cell, one of blanks and the usual
// missing-value marks are gaps, never zeros; the grid is not written. Shows
// progress, keeps the interface alive, lets the user cancel before each column
// but the first (reading the dates and times is part of the first), and at the
// end shows the trend window at its stored placement with the full spans
// recorded for the zoom sliders. Every outcome is shown to the user; a text
// that is not a value is named with its line and column. If `grid` goes away
// during the run (the program exits), the run ends quietly.
void buildHistTrend(GridControl &grid, PlotRunProgress &progress);

// The progress of a plot run in percent after `points` points of a block of
// `columns` columns whose run spans `rowSpan` rows (the last row less the first),
// rounded half to even and held at 100. Wide in its arithmetic: a long log plotted
// over many columns must not overflow.
int plotProgressPercent(long long points, long long columns, long long rowSpan);

// A value's text is a missing sample: empty, only blanks, or NaN, N/A, #N/A or -
// in any case.
bool isMissingValueText(QStringView text);

// The largest magnitude a plotted value may have: the axis must still hold the span
// from the smallest to the largest value.
inline constexpr double MaxPlotMagnitude = 4e249;
