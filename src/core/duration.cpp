#include "duration.h"

#include <algorithm>
#include <array>
#include <cmath>

using namespace Qt::StringLiterals;

namespace duration {

namespace {

constexpr double SecondsPerDay = 86400.0;
constexpr int MaxDigits = 6;
// Beyond this the microseconds of a value no longer fit in 64 bits.
constexpr double MaxDays = 1e8;
constexpr int MaxTickCount = 10000;

// The fixed part of the ladder, in seconds.
constexpr std::array<double, 41> FixedSteps{
    1e-6, 2e-6, 5e-6, 1e-5, 2e-5, 5e-5, 1e-4, 2e-4, 5e-4, 1e-3, 2e-3, 5e-3, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5,
    1, 2, 5, 10, 15, 30,
    60, 120, 300, 600, 900, 1800,
    3600, 7200, 10800, 21600, 43200,
    86400, 2 * 86400, 7 * 86400, 14 * 86400, 30 * 86400, 50 * 86400,
};

// Step `index` of the ladder in seconds, going on past its fixed part with 100,
// 200, 500, 1000 ... days.
double stepSeconds(size_t index)
{
    if (index < FixedSteps.size())
        return FixedSteps[index];
    const size_t past = index - FixedSteps.size();
    static constexpr double Mantissa[] = {1, 2, 5};
    return Mantissa[past % 3] * std::pow(10.0, double(2 + past / 3)) * SecondsPerDay;
}

QString twoDigits(qint64 n)
{
    return QString::number(n).rightJustified(2, u'0');
}

} // namespace

int fractionDigits(double spanDays)
{
    const double seconds = spanDays * SecondsPerDay;
    // A hair of slack at both bounds, so that a span of a minute or of ten
    // seconds made of days counts as one.
    if (!(seconds > 0) || !(seconds < 60 * (1 - 1e-9)))
        return 0;
    const int digits = 2 - int(std::floor(std::log10(seconds) + 1e-9));
    return std::clamp(digits, 1, MaxDigits);
}

QString text(double days, double spanDays)
{
    if (!std::isfinite(days) || std::abs(days) > MaxDays)
        return QString();
    const int digits = fractionDigits(spanDays);
    qint64 scale = 1;
    for (int i = 0; i < digits; ++i)
        scale *= 10;
    // Rounded once, in the last unit shown, so that 59.999 s carries into the minute.
    const qint64 units = std::llround(std::abs(days) * SecondsPerDay * double(scale));
    const qint64 seconds = units / scale;
    const qint64 wholeDays = seconds / 86400;
    const qint64 ofDay = seconds % 86400;
    QString out = days < 0 && units > 0 ? u"-"_s : QString();
    if (wholeDays > 0)
        out += QString::number(wholeDays) + u"d "_s + twoDigits(ofDay / 3600);
    else
        out += QString::number(ofDay / 3600);
    out += u':' + twoDigits(ofDay / 60 % 60) + u':' + twoDigits(ofDay % 60);
    if (digits > 0)
        out += u'.' + QString::number(units % scale).rightJustified(digits, u'0');
    return out;
}

double chooseStep(double spanDays, int maxTicks)
{
    maxTicks = std::max(1, maxTicks);
    if (!std::isfinite(spanDays) || spanDays <= 0)
        return stepSeconds(0) / SecondsPerDay;
    const double span = std::min(spanDays, 1e15) * SecondsPerDay;
    size_t index = 0;
    while (span / stepSeconds(index) > maxTicks)
        ++index;
    while (index > 0 && span / stepSeconds(index) < 2)
        --index;
    return stepSeconds(index) / SecondsPerDay;
}

QList<double> ticks(double lower, double upper, double stepDays)
{
    QList<double> out;
    if (!std::isfinite(lower) || !std::isfinite(upper) || !std::isfinite(stepDays) || upper < lower)
        return out;
    // The step in whole microseconds, so that a tick of whole seconds is exactly
    // the value a time logged in whole seconds has (seconds / 86400).
    const double stepSec = std::round(stepDays * SecondsPerDay * 1e6) / 1e6;
    if (!(stepSec >= 1e-6))
        return out;
    const double first = std::ceil(lower * SecondsPerDay / stepSec - 1e-9);
    const double last = std::floor(upper * SecondsPerDay / stepSec + 1e-9);
    if (!(last - first + 1 <= MaxTickCount))
        return out;
    for (double k = first; k <= last; ++k) {
        const double t = k * stepSec / SecondsPerDay;
        if (t >= lower && t <= upper)
            out.append(t);
    }
    return out;
}

} // namespace duration
