#pragma once

#include "oledate.h"

#include <QList>
#include <QLocale>
#include <QString>

// The plot's date/time label notation and the choice of time ticks, free of widgets.
//
// Notation (letters in any case; the longest token wins, so "mmmmm" is "mmmm" + "m"):
//   m mm mmm mmmm   month: 1, 01, Jan, January      ("m" is always the month)
//   d dd ddd dddd   day: 5, 05, Sat, Saturday
//   yy              year in two digits; yyy and yyyy the full year
//   h hh            hour, 24-hour clock unless the format holds am/pm or a/p
//   n nn            minutes            s ss   seconds
//   z zzz           milliseconds: 7, 007
//   am/pm  a/p      12-hour clock (12 at midnight and at noon) and its suffix,
//                   written in the case the format uses: "AM/PM" gives "PM"
//   "text" 'text'   literal text; any other character stands for itself.
// Month and day names come from `locale`.
namespace datetimeformat {

QString format(const oledate::Fields &fields, const QString &pattern, const QLocale &locale = QLocale());
// Throws RuntimeError 6 for a value outside the date range.
QString format(double oleDate, const QString &pattern, const QLocale &locale = QLocale());

// One step between time ticks.
struct TimeStep
{
    enum class Unit { Millisecond, Second, Minute, Hour, Day, Month, Year };
    Unit unit = Unit::Second;
    int count = 1;

    // The step in days; months and years at their average length.
    double days() const;
    bool operator==(const TimeStep &other) const = default;
};

// The smallest sensible step that puts at most `maxTicks` ticks on `spanDays`:
// 1, 2, 5 ... 500 ms; 1, 2, 5, 10, 15, 30 s; 1, 2, 5, 10, 15, 30 min; 1, 2, 3, 6, 12 h;
// 1, 2, 7 days; 1, 2, 3, 6 months; 1, 2, 5, 10 ... years.
TimeStep chooseTimeStep(double spanDays, int maxTicks);

// The ticks of `step` from `lower` to `upper` (OLE dates, both included): multiples
// of the step counted from midnight for steps up to a day, Mondays for weeks, the
// first of the month for months and 1 January for years. The range is cut to the
// date range first, so every tick can be labelled. Empty for a range wholly outside
// the date range or one that would need more than 10000 ticks. Never throws.
QList<double> timeTicks(double lower, double upper, const TimeStep &step);

} // namespace datetimeformat
