// Any format text the user may type, applied to any date: a label or, for a date
// outside the range, Overflow; and tick steps for any span stay bounded.
#include "core/datetimeformat.h"
#include "core/runtimeerror.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < sizeof(double))
        return 0;
    double when = 0;
    std::memcpy(&when, data, sizeof when);
    const QString pattern = QString::fromUtf8(reinterpret_cast<const char *>(data + sizeof when),
                                              qsizetype(size - sizeof when));
    try {
        const QString label = datetimeformat::format(when, pattern, QLocale(QLocale::English, QLocale::UnitedStates));
        // Each token gives a bounded text: no label grows without end.
        if (label.size() > 64 * (pattern.size() + 1))
            __builtin_trap();
    } catch (const RuntimeError &e) {
        if (e.number() != 6 && e.number() != 5)
            __builtin_trap();
    }
    // Ticks of any range: increasing, inside the part of the range that has dates,
    // each one labelled, and never none where that part holds two whole steps.
    const double span = when < 0 ? -when : when;
    const datetimeformat::TimeStep step = datetimeformat::chooseTimeStep(span, 12);
    if (!(step.days() > 0))
        __builtin_trap();
    const QList<double> ticks = datetimeformat::timeTicks(when, when + span, step);
    if (ticks.size() > 10000)
        __builtin_trap();
    const double lower = std::max(when, oledate::MinValue);
    const double upper = std::min(when + span, oledate::MaxValue);
    for (qsizetype i = 0; i < ticks.size(); ++i) {
        if (!(ticks[i] >= lower && ticks[i] <= upper) || (i > 0 && !(ticks[i] > ticks[i - 1])))
            __builtin_trap();
        try {
            if (datetimeformat::format(ticks[i], u"m/d/yyyy h:nn:ss.zzz"_s).isEmpty())
                __builtin_trap();
        } catch (const RuntimeError &) {
            __builtin_trap();
        }
    }
    using Unit = datetimeformat::TimeStep::Unit;
    const double longestStep = step.unit == Unit::Year ? 366.0 * step.count
                             : step.unit == Unit::Month ? 31.0 * step.count
                                                        : step.days();
    if (ticks.isEmpty() && upper - lower >= 2 * longestStep)
        __builtin_trap();
    return 0;
}
