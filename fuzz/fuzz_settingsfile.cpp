// Any bytes as the settings file, with a value to write after the last NUL byte:
// reading never fails, the value written reads back as itself from the text the
// store would write, and values of other sections read as they did before.
#include "shell/settingsfile.h"

#include <cstddef>
#include <cstdint>
#include <optional>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype cut = bytes.lastIndexOf('\0');
    const QString value = cut < 0 ? QString() : QString::fromUtf8(bytes.sliced(cut + 1));
    SettingsFile file(cut < 0 ? bytes : bytes.first(cut));
    const std::optional<QString> recent = file.value(u"Recent"_s, u"File1"_s);
    const std::optional<QString> pen = file.value(u"TrendPens"_s, u"Flow (l/s)"_s);
    file.setValue(u"History"_s, u"chartNest/MainLeft"_s, value);
    SettingsFile again(file.text());
    if (again.value(u"History"_s, u"chartNest/MainLeft"_s) != value || again.value(u"Recent"_s, u"File1"_s) != recent
        || again.value(u"TrendPens"_s, u"Flow (l/s)"_s) != pen)
        __builtin_trap();
    return 0;
}
