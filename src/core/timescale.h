#pragma once

// What the X values of a trend are. Calendar: the clock time of each row as the log
// writes it, as an OLE date (days since 30 December 1899, the time of day as the
// fraction). Elapsed: the time since a start, in days from 0, from a column of
// elapsed seconds, minutes or hours; shown in the duration format. Years: OLE dates
// of points in years, from a column of (fractional) years; shown as years.
enum class TimeScale { Calendar, Elapsed, Years };
