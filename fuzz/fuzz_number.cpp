// Any text as a logged value: a finite real or Type mismatch.
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
        LogValueParser(QLocale(QLocale::French, QLocale::France)),
    };
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const LogValueParser &parser : parsers) {
        try {
            if (!std::isfinite(parser.number(text)))
                __builtin_trap();
        } catch (const RuntimeError &e) {
            if (e.number() != 13)
                __builtin_trap();
        }
    }
    return 0;
}
