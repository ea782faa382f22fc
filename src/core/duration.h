#pragma once

#include <QList>
#include <QString>

// The one duration format of the program, free of widgets: the X values of an
// elapsed-time trend (days from 0) written as "H:MM:SS" under a day and
// "Nd HH:MM:SS" from a day on, with a leading minus when negative. Fractions of a
// second are written only when the span being shown is under a minute, as many
// digits as that span needs: one under a minute, two under ten seconds, three
// under one second, and so on to six.
namespace duration {

// The digits of the fraction of a second on a span of `spanDays`: 0 from a
// minute on (and for a span that is not a positive number), 1 to 6 below.
int fractionDigits(double spanDays);

// The text of `days` shown on a span of `spanDays`, rounded to the last digit
// shown (59.999 s on a span of an hour is "0:01:00"). Empty for a value that is
// not a number or lies beyond 100 million days.
QString text(double days, double spanDays);

// The smallest step, in days, that puts at most `maxTicks` ticks on `spanDays`:
// 1, 2, 5 µs ... 0.1, 0.2, 0.5 s; 1, 2, 5, 10, 15, 30 s; 1, 2, 5, 10, 15, 30 min;
// 1, 2, 3, 6, 12 h; 1, 2, 7, 14, 30, 50 days, then 100, 200, 500 days and on. When
// that step would leave fewer than two steps in view, the largest one that
// leaves two, so that an axis with room for few labels still gets more than one.
double chooseStep(double spanDays, int maxTicks);

// The whole multiples of `stepDays` counted from 0 that lie in [lower, upper]
// (days, both included), ascending. Empty for a step finer than a microsecond,
// a range that is not a number, or one that would need more than 10000 ticks.
QList<double> ticks(double lower, double upper, double stepDays);

} // namespace duration
