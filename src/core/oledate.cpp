#include "oledate.h"

#include "runtimeerror.h"

#include <cmath>

namespace oledate {

namespace {
constexpr qint64 MsecPerDay = 86400000;

QDate epoch() { return QDate(1899, 12, 30); }
} // namespace

Fields toFields(double value)
{
    if (!std::isfinite(value) || value < MinValue || value > MaxValue)
        throw RuntimeError(RuntimeError::Overflow);
    const double whole = std::floor(value);
    qint64 msec = std::llround((value - whole) * double(MsecPerDay));
    QDate date = epoch().addDays(qint64(whole));
    // The fraction rounded up to a whole day is the next midnight.
    if (msec >= MsecPerDay) {
        date = date.addDays(1);
        msec = 0;
    }
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(msec));
    Fields f;
    f.year = date.year();
    f.month = date.month();
    f.day = date.day();
    f.dayOfWeek = date.dayOfWeek();
    f.hour = time.hour();
    f.minute = time.minute();
    f.second = time.second();
    f.msec = time.msec();
    return f;
}

QDate toDate(double value)
{
    const Fields f = toFields(value);
    return QDate(f.year, f.month, f.day);
}

QTime toTime(double value)
{
    const Fields f = toFields(value);
    return QTime(f.hour, f.minute, f.second, f.msec);
}

double fromDateTime(const QDate &date, const QTime &time)
{
    if (!date.isValid() || !time.isValid())
        throw RuntimeError(RuntimeError::InvalidCall);
    const qint64 days = epoch().daysTo(date);
    if (double(days) < MinValue || double(days) > MaxValue)
        throw RuntimeError(RuntimeError::Overflow);
    const double fraction = double(time.msecsSinceStartOfDay()) / double(MsecPerDay);
    return double(days) + fraction;
}

double fromFields(int year, int month, int day, int hour, int minute, int second, int msec)
{
    return fromDateTime(QDate(year, month, day), QTime(hour, minute, second, msec));
}

} // namespace oledate
