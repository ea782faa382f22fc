// Any stored text as a placement number: a number that writes back to a text
// reading as the same number, or Type mismatch.
#include "core/runtimeerror.h"
#include "shell/settingsstore.h"

#include <QLocale>

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QLocale &locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany)}) {
        QLocale::setDefault(locale);
        try {
            const float value = SettingsStore::textToSingle(text);
            if (std::isfinite(value)) {
                const float again = SettingsStore::textToSingle(SettingsStore::singleToText(value));
                if (again != value)
                    __builtin_trap();
            }
        } catch (const RuntimeError &e) {
            if (e.number() != 13)
                __builtin_trap();
        }
    }
    return 0;
}
