#pragma once

#include "datetimeformat.h"

#include <QString>

// How a years trend (X values: OLE dates of points in years) shows its times,
// free of widgets: ticks on year boundaries (1, 2, 5, 10, 20, 50 ... years)
// labelled "yyyy", and on a view of under two years, where year ticks alone
// would be too few to read, ticks on month boundaries labelled "yyyy-mm" (in the
// plot's date/time notation: 1958-03). The ticks themselves are
// datetimeformat::timeTicks of the step chosen here.
namespace yearlabels {

// Whether a view of `spanDays` shows the month with the year.
bool showsMonths(double spanDays);

// The step for `spanDays` with room for `maxTicks` labels: whole years (the
// smallest of 1, 2, 5, 10 ... years that fits, or the largest that still puts
// two steps in view) from two years on, below that 1, 2, 3 or 6 months, and
// a year where even six months are too many.
datetimeformat::TimeStep chooseStep(double spanDays, int maxTicks);

// The text of `oleDate` on a view of `spanDays`: its year, with the month when
// the view shows months. Empty outside the date range.
QString text(double oleDate, double spanDays);

} // namespace yearlabels
