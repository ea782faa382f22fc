// Any format text the user may type, applied to any date: a label or, for a date
// outside the range, Overflow; and tick steps for any span stay bounded.
#include "controls/datetimeformat.h"
#include "controls/runtimeerror.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

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
    const double span = when < 0 ? -when : when;
    const datetimeformat::TimeStep step = datetimeformat::chooseTimeStep(span, 12);
    if (!(step.days() > 0))
        __builtin_trap();
    const QList<double> ticks = datetimeformat::timeTicks(when, when + span, step);
    if (ticks.size() > 10000)
        __builtin_trap();
    return 0;
}
