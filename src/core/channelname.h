#pragma once

#include <QString>

// The one rule that names a channel wherever channels are listed: the legend, the
// statistics, the setup list, the value axes' titles and the cursor readout. A
// channel is named by its column's heading, which alone keys the kept setup; where
// another column of the log has the same heading, the field it was read from
// follows, counted from 1 as --columns counts: `DewPt, °F (9)`.
namespace channelname {

// `field` 0: the heading is the log's only one of its kind.
inline QString name(const QString &heading, int field)
{
    return field > 0 ? heading + QStringLiteral(" (") + QString::number(field) + u')' : heading;
}

// The name with the unit of the values from the log's units line: `temperature [°C]`.
inline QString shown(const QString &heading, const QString &unit, int field)
{
    const QString named = name(heading, field);
    return unit.isEmpty() ? named : named + QStringLiteral(" [") + unit + u']';
}

} // namespace channelname
