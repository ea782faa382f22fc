#include "datetimeformat.h"

#include "runtimeerror.h"

#include <array>
#include <cmath>

using namespace Qt::StringLiterals;

namespace datetimeformat {

namespace {

enum class Token {
    Literal, Month, Month2, MonthShort, MonthLong, Day, Day2, DayShort, DayLong, Year2, Year4,
    Hour, Hour2, Minute, Minute2, Second, Second2, Msec, Msec3, AmPm, AP,
};

struct Piece
{
    Token token;
    QString text; // the literal, or the token as written (am/pm keeps its case)
};

struct Spelling
{
    QLatin1StringView text;
    Token token;
};

// Longest first, so that the first match is the longest token.
constexpr std::array<Spelling, 21> Spellings{{
    {"am/pm"_L1, Token::AmPm}, {"a/p"_L1, Token::AP},
    {"yyyy"_L1, Token::Year4}, {"yyy"_L1, Token::Year4}, {"yy"_L1, Token::Year2},
    {"mmmm"_L1, Token::MonthLong}, {"mmm"_L1, Token::MonthShort}, {"mm"_L1, Token::Month2},
    {"m"_L1, Token::Month},
    {"dddd"_L1, Token::DayLong}, {"ddd"_L1, Token::DayShort}, {"dd"_L1, Token::Day2},
    {"d"_L1, Token::Day},
    {"hh"_L1, Token::Hour2}, {"h"_L1, Token::Hour},
    {"nn"_L1, Token::Minute2}, {"n"_L1, Token::Minute},
    {"ss"_L1, Token::Second2}, {"s"_L1, Token::Second},
    {"zzz"_L1, Token::Msec3}, {"z"_L1, Token::Msec},
}};

QList<Piece> tokenize(const QString &pattern)
{
    QList<Piece> pieces;
    const auto literal = [&](QStringView text) {
        if (!pieces.isEmpty() && pieces.last().token == Token::Literal)
            pieces.last().text += text;
        else
            pieces.append({Token::Literal, text.toString()});
    };
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QChar c = pattern.at(i);
        if (c == u'"' || c == u'\'') {
            const qsizetype end = pattern.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? pattern.size() : end;
            literal(QStringView(pattern).mid(i + 1, stop - i - 1));
            i = stop + 1;
            continue;
        }
        bool matched = false;
        for (const Spelling &s : Spellings) {
            if (QStringView(pattern).mid(i, s.text.size()).compare(s.text, Qt::CaseInsensitive) == 0) {
                pieces.append({s.token, pattern.mid(i, s.text.size())});
                i += s.text.size();
                matched = true;
                break;
            }
        }
        if (!matched) {
            literal(QStringView(pattern).mid(i, 1));
            ++i;
        }
    }
    return pieces;
}

QString twoDigits(int n) { return QString::number(n).rightJustified(2, u'0'); }

} // namespace

QString format(const oledate::Fields &f, const QString &pattern, const QLocale &locale)
{
    const QList<Piece> pieces = tokenize(pattern);
    bool twelveHour = false;
    for (const Piece &p : pieces)
        twelveHour = twelveHour || p.token == Token::AmPm || p.token == Token::AP;
    const int hour = twelveHour ? (f.hour % 12 == 0 ? 12 : f.hour % 12) : f.hour;
    const bool pm = f.hour >= 12;

    QString out;
    for (const Piece &p : pieces) {
        switch (p.token) {
        case Token::Literal: out += p.text; break;
        case Token::Month: out += QString::number(f.month); break;
        case Token::Month2: out += twoDigits(f.month); break;
        case Token::MonthShort: out += locale.monthName(f.month, QLocale::ShortFormat); break;
        case Token::MonthLong: out += locale.monthName(f.month, QLocale::LongFormat); break;
        case Token::Day: out += QString::number(f.day); break;
        case Token::Day2: out += twoDigits(f.day); break;
        case Token::DayShort: out += locale.dayName(f.dayOfWeek, QLocale::ShortFormat); break;
        case Token::DayLong: out += locale.dayName(f.dayOfWeek, QLocale::LongFormat); break;
        case Token::Year2: out += twoDigits(f.year % 100); break;
        case Token::Year4: out += QString::number(f.year).rightJustified(4, u'0'); break;
        case Token::Hour: out += QString::number(hour); break;
        case Token::Hour2: out += twoDigits(hour); break;
        case Token::Minute: out += QString::number(f.minute); break;
        case Token::Minute2: out += twoDigits(f.minute); break;
        case Token::Second: out += QString::number(f.second); break;
        case Token::Second2: out += twoDigits(f.second); break;
        case Token::Msec: out += QString::number(f.msec); break;
        case Token::Msec3: out += QString::number(f.msec).rightJustified(3, u'0'); break;
        // "am/pm": the first half as written for the morning, the second for the afternoon.
        case Token::AmPm: out += pm ? p.text.mid(3, 2) : p.text.left(2); break;
        case Token::AP: out += pm ? p.text.mid(2, 1) : p.text.left(1); break;
        }
    }
    return out;
}

QString format(double oleDate, const QString &pattern, const QLocale &locale)
{
    return format(oledate::toFields(oleDate), pattern, locale);
}

namespace {

constexpr double MsecPerDay = 86400000.0;
constexpr double DaysPerMonth = 365.2425 / 12.0;
constexpr double DaysPerYear = 365.2425;

double unitDays(TimeStep::Unit unit)
{
    switch (unit) {
    case TimeStep::Unit::Millisecond: return 1.0 / MsecPerDay;
    case TimeStep::Unit::Second: return 1000.0 / MsecPerDay;
    case TimeStep::Unit::Minute: return 60000.0 / MsecPerDay;
    case TimeStep::Unit::Hour: return 1.0 / 24.0;
    case TimeStep::Unit::Day: return 1.0;
    case TimeStep::Unit::Month: return DaysPerMonth;
    case TimeStep::Unit::Year: return DaysPerYear;
    }
    return 1.0;
}

using Unit = TimeStep::Unit;
constexpr std::array<TimeStep, 38> Ladder{{
    {Unit::Millisecond, 1}, {Unit::Millisecond, 2}, {Unit::Millisecond, 5},
    {Unit::Millisecond, 10}, {Unit::Millisecond, 20}, {Unit::Millisecond, 50},
    {Unit::Millisecond, 100}, {Unit::Millisecond, 200}, {Unit::Millisecond, 500},
    {Unit::Second, 1}, {Unit::Second, 2}, {Unit::Second, 5}, {Unit::Second, 10},
    {Unit::Second, 15}, {Unit::Second, 30},
    {Unit::Minute, 1}, {Unit::Minute, 2}, {Unit::Minute, 5}, {Unit::Minute, 10},
    {Unit::Minute, 15}, {Unit::Minute, 30},
    {Unit::Hour, 1}, {Unit::Hour, 2}, {Unit::Hour, 3}, {Unit::Hour, 6}, {Unit::Hour, 12},
    {Unit::Day, 1}, {Unit::Day, 2}, {Unit::Day, 7},
    {Unit::Month, 1}, {Unit::Month, 2}, {Unit::Month, 3}, {Unit::Month, 6},
    {Unit::Year, 1}, {Unit::Year, 2}, {Unit::Year, 5}, {Unit::Year, 10}, {Unit::Year, 20},
}};

constexpr int MaxTickCount = 10000;

// Monday 1 January 1900 is day 2, so weeks counted from day 2 start on Mondays.
constexpr qint64 WeekOriginMs = 2 * 86400000LL;

// Ticks at whole multiples of the step, counted in milliseconds from the origin,
// each built as day plus fraction exactly as a logged date and time is, so that a
// tick at a logged time (the first sample, say) equals it to the last bit.
QList<double> fixedTicks(double lower, double upper, qint64 stepMs, qint64 originMs)
{
    const double first = std::ceil((lower * MsecPerDay - double(originMs)) / double(stepMs) - 1e-6);
    const double last = std::floor((upper * MsecPerDay - double(originMs)) / double(stepMs) + 1e-6);
    QList<double> ticks;
    if (last - first + 1 > MaxTickCount)
        return ticks;
    for (qint64 k = qint64(first); k <= qint64(last); ++k) {
        const qint64 ms = originMs + k * stepMs;
        const qint64 day = ms >= 0 ? ms / qint64(MsecPerDay) : -((-ms + qint64(MsecPerDay) - 1) / qint64(MsecPerDay));
        const double t = double(day) + double(ms - day * qint64(MsecPerDay)) / MsecPerDay;
        // The slack above finds a tick at a logged time; one that still falls just
        // outside the range is not a tick of it.
        if (t >= lower && t <= upper)
            ticks.append(t);
    }
    return ticks;
}

QList<double> calendarTicks(double lower, double upper, const TimeStep &step)
{
    QList<double> ticks;
    const oledate::Fields start = oledate::toFields(lower);
    // Months counted from year 0, so that a step of 3 starts quarters in January;
    // rounding down to a whole step may land before the first valid year, so the
    // first tick is the first step at or after the range's start.
    const qint64 perYear = step.unit == Unit::Month ? 12 : 1;
    const qint64 first = qint64(start.year) * perYear + (step.unit == Unit::Month ? start.month - 1 : 0);
    for (qint64 index = first - first % step.count;; index += step.count) {
        const qint64 year = index / perYear;
        const int month = int(index % perYear) + 1;
        if (year > 9999)
            break;
        if (year < 100)
            continue;
        const double t = oledate::fromFields(int(year), month, 1);
        if (t > upper || ticks.size() >= MaxTickCount)
            break;
        if (t >= lower)
            ticks.append(t);
    }
    return ticks;
}

} // namespace

double TimeStep::days() const
{
    return count * unitDays(unit);
}

TimeStep chooseTimeStep(double spanDays, int maxTicks)
{
    maxTicks = std::max(1, maxTicks);
    if (!std::isfinite(spanDays) || spanDays <= 0)
        return Ladder.front();
    for (const TimeStep &step : Ladder) {
        if (spanDays / step.days() <= maxTicks)
            return step;
    }
    // Beyond the ladder; the whole date range is under 10000 years.
    for (int years : {50, 100, 200, 500, 1000, 2000, 5000}) {
        if (spanDays / (years * DaysPerYear) <= maxTicks)
            return {Unit::Year, years};
    }
    return {Unit::Year, 10000};
}

QList<double> timeTicks(double lower, double upper, const TimeStep &step)
{
    if (!std::isfinite(lower) || !std::isfinite(upper) || step.count <= 0)
        return {};
    // Only dates that can be labelled get a tick: the range is cut to the date range.
    lower = std::max(lower, oledate::MinValue);
    upper = std::min(upper, oledate::MaxValue);
    if (upper < lower)
        return {};
    if (step.unit == Unit::Month || step.unit == Unit::Year)
        return calendarTicks(lower, upper, step);
    const qint64 origin = step.unit == Unit::Day && step.count == 7 ? WeekOriginMs : 0;
    return fixedTicks(lower, upper, std::llround(step.days() * MsecPerDay), origin);
}

} // namespace datetimeformat
