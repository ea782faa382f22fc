// Any text as a logged value: a finite real or Type mismatch.
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
        LogValueParser(QLocale(QLocale::French, QLocale::France)),
    };
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    // The plot run reads a cell's own bytes: the same value, bit for bit, as its text.
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 128; });
    auto valueOf = [](auto read, double &value) {
        try {
            value = read();
            return true;
        } catch (const RuntimeError &e) {
            if (e.number() != 13)
                __builtin_trap();
            return false;
        }
    };
    for (const LogValueParser &parser : parsers) {
        double fromText = 0;
        const bool isNumber = valueOf([&] { return parser.number(text); }, fromText);
        if (isNumber && !std::isfinite(fromText))
            __builtin_trap();
        if (!ascii)
            continue;
        double fromBytes = 0;
        if (valueOf([&] { return parser.number(bytes); }, fromBytes) != isNumber)
            __builtin_trap();
        if (isNumber && std::memcmp(&fromText, &fromBytes, sizeof fromText) != 0)
            __builtin_trap();
    }
    return 0;
}
