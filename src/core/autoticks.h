#pragma once

#include "datetimeformat.h"

#include <QString>

// The "Automatic" time label format: instead of one fixed pattern, the labels take
// the unit of the step between ticks, so that they say what changes across the
// visible span and no two neighbouring labels read alike: month and year over
// months, the date over days, date, hour and minute over hours, the time with
// seconds over minutes and seconds, with milliseconds below a second.
namespace autoticks {

// The format text that selects these labels (any case, spaces around ignored).
QString automaticFormat();
bool isAutomatic(const QString &format);

// The label pattern for ticks `step` apart, in the plot's date/time notation.
QString patternFor(const datetimeformat::TimeStep &step);
// The pattern of a single time shown under the automatic format (the data cursor).
QString fullPattern();

} // namespace autoticks
