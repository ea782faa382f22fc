#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

class QIODevice;

// A deterministic stand-in for the logger's files: the header "Date,Time,<names>",
// then one line per sample with the date as M/D/YYYY, the time as h:mm:ss AM/PM
// and one value per column (smooth signals with noise, three decimals), lines
// ending in CR LF. Some value cells are left empty, as the logger leaves them when
// a reading is missing. The same options always give the same bytes.
struct LogGenOptions
{
    qint64 rows = 1000;        // sample lines below the header
    int valueColumns = 12;
    int intervalSeconds = 1;   // time between samples
    QDate startDate{2024, 1, 1};
    int startSecond = 0;       // seconds after midnight of the first sample
    int emptyOneIn = 250;      // about one value cell in this many is empty; 0: none
    quint32 seed = 740;
};

// The name of value column `index` (from 0).
QString logValueName(int index);

// Writes the log; false with a message when the device fails.
bool writeLog(QIODevice &device, const LogGenOptions &options, QString *error = nullptr);
bool writeLog(const QString &path, const LogGenOptions &options, QString *error = nullptr);
// The whole log in memory, for small logs.
QByteArray generateLog(const LogGenOptions &options);
