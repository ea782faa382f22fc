#include "autoticks.h"

using namespace Qt::StringLiterals;
using Unit = datetimeformat::TimeStep::Unit;

namespace autoticks {

QString automaticFormat()
{
    return u"Automatic"_s;
}

bool isAutomatic(const QString &format)
{
    return format.trimmed().compare(automaticFormat(), Qt::CaseInsensitive) == 0;
}

QString patternFor(const datetimeformat::TimeStep &step)
{
    // Each pattern shows the step's unit and everything above it that the span can
    // change: ticks lie on whole multiples of the step, so neighbours differ in it.
    switch (step.unit) {
    case Unit::Year: return u"yyyy"_s;
    case Unit::Month: return u"mmm yyyy"_s;
    case Unit::Day: return u"m/d/yy"_s;
    case Unit::Hour: return u"m/d/yy h:nn"_s;
    case Unit::Minute:
    case Unit::Second: return u"h:nn:ss"_s;
    case Unit::Millisecond: return u"h:nn:ss.zzz"_s;
    }
    return fullPattern();
}

QString fullPattern()
{
    return u"m/d/yy h:nn:ss"_s;
}

} // namespace autoticks
