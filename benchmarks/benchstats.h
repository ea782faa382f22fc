#pragma once

// Figures that every benchmark prints: medians of repeated runs and the peak
// resident memory of the process.

#include <QFile>
#include <QString>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace benchstats {

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Peak resident set of this process, megabytes; -1 where it cannot be read.
inline double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    QTextStream in(&status);
    for (QString line = in.readLine(); !line.isNull(); line = in.readLine()) {
        if (line.startsWith(QStringLiteral("VmHWM:")))
            return line.mid(6).trimmed().section(u' ', 0, 0).toDouble() / 1024.0;
    }
    return -1;
}

} // namespace benchstats
