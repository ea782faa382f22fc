#pragma once

// Turns the blocks selected in the data file window's grid into a historical
// trend: one channel per selected column (titled by its header), one point per
// selected row at the row's date and time. Shows progress on the data file window,
// keeps the interface alive, lets the user cancel before each column, and at the
// end shows the trend window at its stored placement with the full spans recorded
// for the zoom sliders. Every outcome is shown to the user; nothing is returned.
void buildHistTrend();

// The progress of a plot run in percent after `points` points of a block of
// `columns` columns whose run spans `rowSpan` rows (the last row less the first),
// rounded half to even and held at 100. Wide in its arithmetic: a long log plotted
// over many columns must not overflow.
int plotProgressPercent(long long points, long long columns, long long rowSpan);
