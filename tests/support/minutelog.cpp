#include "minutelog.h"

#include <QDateTime>

namespace testlogs {

QByteArray minutes(int rows, int valueColumns)
{
    QByteArray log = "Date,Time";
    for (int c = 0; c < valueColumns; ++c)
        log += ',' + QByteArray(1, char('A' + c));
    log += "\r\n";
    const QDateTime start(QDate(2024, 1, 31), QTime(23, 0), Qt::UTC);
    for (int r = 1; r <= rows; ++r) {
        const QDateTime t = start.addSecs(60 * (r - 1));
        log += t.toString(QStringLiteral("M/d/yyyy,h:mm:ss AP")).toLatin1();
        for (int c = 0; c < valueColumns; ++c)
            log += ',' + QByteArray::number(r * 10 + c);
        log += "\r\n";
    }
    return log;
}

} // namespace testlogs
