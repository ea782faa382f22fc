#include "yearlabels.h"

#include "runtimeerror.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;
using Unit = datetimeformat::TimeStep::Unit;

namespace yearlabels {

namespace {
constexpr double DaysPerYear = 365.2425;
} // namespace

bool showsMonths(double spanDays)
{
    return spanDays < 2 * DaysPerYear;
}

datetimeformat::TimeStep chooseStep(double spanDays, int maxTicks)
{
    maxTicks = std::max(1, maxTicks);
    if (!std::isfinite(spanDays) || spanDays <= 0)
        return {Unit::Month, 1};
    if (showsMonths(spanDays)) {
        for (int months : {1, 2, 3, 6}) {
            const datetimeformat::TimeStep step{Unit::Month, months};
            if (spanDays / step.days() <= maxTicks)
                return step;
        }
        return {Unit::Year, 1};
    }
    // Two years or more: a year step always puts two in view, so a finer count
    // of ticks is asked for until the step does.
    datetimeformat::TimeStep step{Unit::Year, 1};
    for (int count = maxTicks; count <= std::max(maxTicks, 2) * 3; ++count) {
        step = datetimeformat::chooseTimeStep(spanDays, count);
        if (step.unit != Unit::Year)
            return {Unit::Year, 1};
        if (spanDays / step.days() >= 2)
            return step;
    }
    return step;
}

QString text(double oleDate, double spanDays)
{
    try {
        return datetimeformat::format(oleDate, showsMonths(spanDays) ? u"yyyy-mm"_s : u"yyyy"_s);
    } catch (const RuntimeError &) {
        return QString();
    }
}

} // namespace yearlabels
