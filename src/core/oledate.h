#pragma once

#include <QDate>
#include <QTime>

// OLE Automation dates, the X values of the trend: days since 30 December 1899 at
// midnight, the time of day as the fraction. Plain calendar arithmetic on the
// wall-clock fields, never through a time zone, so a daylight-saving change can
// neither shift nor drop a logged time. The scale is one straight line, before the
// epoch too: the whole days from the epoch to the value's day (negative before it)
// plus the time of day, so -0.75 is 29 December 1899, 06:00, and a later time is
// always a larger value, as the plot's time axis needs.
namespace oledate {

// The calendar fields of one date and time.
struct Fields
{
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
    int dayOfWeek = 6; // 1 Monday to 7 Sunday, as QDate counts
};

// The representable range: 1 January 100 at midnight to the end of 31 December 9999.
constexpr double MinValue = -657434.0;
constexpr double MaxValue = 2958465.99999999;

// The fields of `value`, rounded to the nearest millisecond. Throws RuntimeError 6
// (Overflow) for a value outside the range or not a number.
Fields toFields(double value);
QDate toDate(double value);
QTime toTime(double value);

// The value of a calendar date plus a time of day. Throws RuntimeError 5 for an
// invalid date or time, 6 for a date outside the range.
double fromDateTime(const QDate &date, const QTime &time = QTime(0, 0));
double fromFields(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                  int msec = 0);

} // namespace oledate
