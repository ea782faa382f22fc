// Any text as a date or a time under several locales: a value in range or
// Type mismatch, nothing else.
#include "controls/runtimeerror.h"
#include "trend/logvalueparser.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const LogValueParser parsers[] = {
        LogValueParser(QLocale(QLocale::English, QLocale::UnitedStates)),
        LogValueParser(QLocale(QLocale::German, QLocale::Germany)),
        LogValueParser(QLocale(QLocale::English, QLocale::UnitedKingdom)),
        LogValueParser(QLocale(QLocale::Japanese, QLocale::Japan)),
    };
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const LogValueParser &parser : parsers) {
        try {
            const double day = parser.date(text);
            // Years 100 to 9999 only.
            if (!(day >= -657434 && day <= 2958465) || day != std::floor(day))
                __builtin_trap();
        } catch (const RuntimeError &e) {
            if (e.number() != 13)
                __builtin_trap();
        }
        try {
            const double fraction = parser.time(text);
            if (!(fraction >= 0 && fraction < 1))
                __builtin_trap();
        } catch (const RuntimeError &e) {
            if (e.number() != 13)
                __builtin_trap();
        }
    }
    return 0;
}
