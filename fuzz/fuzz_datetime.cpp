// Any text as a date or a time under several locales: a value in range or
// Type mismatch, nothing else.
#include "core/runtimeerror.h"
#include "core/logvalueparser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool latin1 = std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 128; });
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
        double fraction = -1;
        try {
            fraction = parser.time(text);
            if (!(fraction >= 0 && fraction < 1))
                __builtin_trap();
        } catch (const RuntimeError &e) {
            if (e.number() != 13)
                __builtin_trap();
        }
        // The plot run reads a cell's own bytes: the same time, bit for bit.
        if (latin1) {
            double fromBytes = -1;
            try {
                fromBytes = parser.time(bytes);
            } catch (const RuntimeError &e) {
                if (e.number() != 13)
                    __builtin_trap();
            }
            if (std::memcmp(&fraction, &fromBytes, sizeof fraction) != 0)
                __builtin_trap();
        }
    }
    return 0;
}
