#include "logshape.h"

#include "logtable.h"
#include "oledate.h"
#include "runtimeerror.h"

#include <QDate>
#include <QDateTime>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>

using namespace Qt::StringLiterals;
using DateOrder = LogValueParser::DateOrder;

namespace logshape {

namespace {

[[noreturn]] void mismatch()
{
    throw RuntimeError(RuntimeError::TypeMismatch);
}

bool isDigit(char c)
{
    return unsigned(c) - '0' < 10;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLetter(char c)
{
    return unsigned((c | 0x20) - 'a') < 26;
}

bool hasDigit(QByteArrayView t)
{
    return std::any_of(t.begin(), t.end(), isDigit);
}

// A cell as it is read: without the blanks and one pair of double quotes around it.
QByteArrayView bare(QByteArrayView t)
{
    t = t.trimmed();
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"')
        t = t.sliced(1, t.size() - 2).trimmed();
    return t;
}

// ---- Reading a date and time written in one cell ----

struct Stamp
{
    int year = 0, month = 0, day = 1, hour = 0, minute = 0, second = 0;
    double fraction = 0;
    bool hasTime = false;
};

enum class Parsed { Done, Words, Bad };

// Reads a run of digits at `p`: its length (0 for none) and, for up to 9 digits, its value.
int digitRun(const char *&p, const char *end, int &value)
{
    const char *from = p;
    value = 0;
    while (p < end && isDigit(*p)) {
        if (p - from < 9)
            value = value * 10 + (*p - '0');
        ++p;
    }
    return int(p - from);
}

bool localeIsDayFirst()
{
    static const bool dayFirst = LogValueParser(QLocale()).localeOrder() == DateOrder::DayFirst;
    return dayFirst;
}

// The common forms, from the bytes alone: year-first and numeric day-month dates, then after
// 'T' or blanks a time h:mm[:ss[.f]], AM/PM, a zone suffix (passed over). A text with a letter
// or a non-ASCII byte that is not read here is Words: month names go the general way.
Parsed parseStamp(QByteArrayView text, DateOrder order, Stamp &s)
{
    const QByteArrayView t = bare(text);
    const char *p = t.begin();
    const char *end = t.end();
    const auto fail = [&t] {
        const bool words = std::any_of(t.begin(), t.end(), [](char c) { return isLetter(c) || c & 0x80; });
        return words ? Parsed::Words : Parsed::Bad;
    };
    int first = 0, second = 0, third = 0;
    const int firstLength = digitRun(p, end, first);
    if (firstLength == 0 || p == end || (*p != '-' && *p != '/' && *p != '.'))
        return fail();
    const char separator = *p++;
    if (const int length = digitRun(p, end, second); length == 0 || length > 2)
        return fail();
    if (firstLength == 4) {
        s.year = first;
        s.month = second;
        if (p < end && *p == separator) {
            ++p;
            if (const int length = digitRun(p, end, third); length == 0 || length > 2)
                return fail();
            s.day = third;
        } else if (p != end) {
            return fail(); // yyyy-mm stands alone
        }
    } else if (firstLength <= 2) {
        if (p == end || *p++ != separator)
            return fail();
        const int yearLength = digitRun(p, end, third);
        if (yearLength != 2 && yearLength != 4)
            return fail();
        s.year = yearLength == 2 ? (third < 30 ? 2000 + third : 1900 + third) : third;
        const bool fixed = order == DateOrder::DayFirst || order == DateOrder::MonthFirst;
        const bool dayFirst = order == DateOrder::DayFirst || (!fixed && localeIsDayFirst());
        s.month = dayFirst ? second : first;
        s.day = dayFirst ? first : second;
        if (!fixed && s.month > 12 && s.day <= 12)
            std::swap(s.month, s.day);
    } else {
        return fail();
    }

    int meridiem = -1;
    if (p < end) {
        if (*p == 'T' || *p == 't') {
            ++p;
        } else if (isBlank(*p)) {
            while (p < end && isBlank(*p))
                ++p;
        } else {
            return fail();
        }
        int length = digitRun(p, end, s.hour);
        if (length == 0 || length > 2 || p == end || *p++ != ':' || digitRun(p, end, s.minute) != 2)
            return fail();
        if (p < end && *p == ':') {
            ++p;
            if (digitRun(p, end, s.second) != 2)
                return fail();
            if (p < end && (*p == '.' || *p == ',')) {
                double scale = 0.1;
                const char *from = ++p;
                for (; p < end && isDigit(*p); ++p, scale /= 10)
                    s.fraction += (*p - '0') * scale;
                if (p == from)
                    return fail();
            }
        }
        s.hasTime = true;
        while (p < end && isBlank(*p))
            ++p;
        if (end - p >= 2 && (p[1] == 'M' || p[1] == 'm') && (end - p == 2 || !isLetter(p[2]))) {
            if (p[0] == 'A' || p[0] == 'a')
                meridiem = 0;
            else if (p[0] == 'P' || p[0] == 'p')
                meridiem = 12;
            p += meridiem >= 0 ? 2 : 0;
            while (p < end && isBlank(*p))
                ++p;
        }
        // The zone is shown as written and never applied.
        if (p < end && (*p == 'Z' || *p == 'z')) {
            ++p;
        } else if (p < end && (*p == '+' || *p == '-')) {
            ++p;
            int zone = 0;
            length = digitRun(p, end, zone);
            if (length == 2 && p < end && *p == ':') {
                ++p;
                length = digitRun(p, end, zone) == 2 ? 2 : 0;
            }
            if (length != 2 && length != 4)
                return fail();
        }
        while (p < end && isBlank(*p))
            ++p;
        if (p != end)
            return fail();
    }

    // A leap second is the last moment of its minute; 24:00:00 the end of its day.
    if (s.second == 60 && s.fraction == 0) {
        s.second = 59;
        s.fraction = 0.999;
    }
    const bool endOfDay = meridiem < 0 && s.hour == 24 && s.minute == 0 && s.second == 0 && s.fraction == 0;
    if (s.year < 100 || s.year > 9999 || !QDate::isValid(s.year, s.month, s.day) || s.minute > 59 || s.second > 59)
        return Parsed::Bad;
    if (meridiem >= 0) {
        if (s.hour < 1 || s.hour > 12)
            return Parsed::Bad;
        s.hour = s.hour % 12 + meridiem;
    } else if (s.hour > 23 && !endOfDay) {
        return Parsed::Bad;
    }
    return Parsed::Done;
}

double valueOf(const Stamp &s)
{
    // Rows of one day follow each other: the day's number is kept for the next.
    struct Day
    {
        int year = 0, month = 0, day = 0;
        double value = 0;
    };
    thread_local Day last;
    if (s.year != last.year || s.month != last.month || s.day != last.day)
        last = {s.year, s.month, s.day, oledate::fromFields(s.year, s.month, s.day)};
    return last.value + (s.hour * 3600.0 + s.minute * 60.0 + s.second + s.fraction) / 86400.0;
}

const LogValueParser &parserFor(DateOrder order)
{
    struct Parsers
    {
        LogValueParser open, monthFirst, dayFirst;
        Parsers()
        {
            monthFirst.setDateOrder(DateOrder::MonthFirst);
            dayFirst.setDateOrder(DateOrder::DayFirst);
        }
    };
    static const Parsers parsers;
    return order == DateOrder::MonthFirst ? parsers.monthFirst
           : order == DateOrder::DayFirst ? parsers.dayFirst
                                          : parsers.open;
}

// Month names and what else the bytes alone do not read: the date before the first time of
// day, read as the log's dates are, then the time without a zone suffix. Throws 13.
double readInWords(QStringView text, DateOrder order)
{
    QStringView t = text.trimmed();
    if (t.size() >= 2 && t.front() == u'"' && t.back() == u'"')
        t = t.sliced(1, t.size() - 2).trimmed();
    QStringView date = t;
    QStringView time;
    if (qsizetype start = t.indexOf(u':'); start > 0) {
        while (start > 0 && t[start - 1].isDigit())
            --start;
        date = t.first(start).trimmed();
        time = t.sliced(start).trimmed();
        while (date.endsWith(u','))
            date.chop(1);
        if (time.endsWith(u'Z') || time.endsWith(u'z')) {
            time.chop(1);
        } else if (const qsizetype sign = std::max(time.lastIndexOf(u'+'), time.lastIndexOf(u'-')); sign > 0) {
            time = time.first(sign);
        }
    }
    const LogValueParser &parser = parserFor(order);
    return parser.date(date) + (time.isEmpty() ? 0.0 : parser.time(time));
}

qint64 floorDivide(qint64 a, qint64 b)
{
    return a >= 0 ? a / b : -((b - 1 - a) / b);
}

int offsetAt(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs, Qt::LocalTime).offsetFromUtc();
}

// The local time zone's offset at `secs` since 1970. Zones change on whole quarter hours and
// at most once a day: a day whose first and last quarter hours have one offset has it
// throughout, and a column of times costs two look-ups a day.
int localOffset(qint64 secs)
{
    constexpr qint64 Day = 86400;
    constexpr qint64 Quarter = 900;
    struct Cached
    {
        qint64 day = std::numeric_limits<qint64>::min();
        bool uniform = false;
        int offset = 0;
        qint64 quarter = std::numeric_limits<qint64>::min();
        int quarterOffset = 0;
    };
    thread_local Cached cached;
    if (const qint64 day = floorDivide(secs, Day); day != cached.day) {
        cached.offset = offsetAt(day * Day);
        cached.uniform = cached.offset == offsetAt(day * Day + Day - Quarter);
        cached.day = day;
    }
    if (cached.uniform)
        return cached.offset;
    if (const qint64 quarter = floorDivide(secs, Quarter); quarter != cached.quarter) {
        cached.quarterOffset = offsetAt(quarter * Quarter);
        cached.quarter = quarter;
    }
    return cached.quarterOffset;
}

std::optional<double> plainNumber(QByteArrayView cell)
{
    const QByteArrayView t = bare(cell);
    // Whole numbers, the common Unix times, without the general reading.
    const bool negative = t.startsWith('-');
    if (t.size() - negative > 0 && t.size() - negative <= 15 && std::all_of(t.begin() + negative, t.end(), isDigit)) {
        qint64 whole = 0;
        for (const char c : t.sliced(negative))
            whole = whole * 10 + (c - '0');
        return double(negative ? -whole : whole);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(t.begin(), t.end(), value, std::chars_format::general);
    if (t.isEmpty() || error != std::errc() || end != t.end() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double readUnix(QByteArrayView cell, bool milliseconds)
{
    const std::optional<double> number = plainNumber(cell);
    if (!number)
        mismatch();
    const double secs = milliseconds ? *number / 1000 : *number;
    // A smaller number is a year or an elapsed time, never a Unix time.
    if (!(secs >= 1e8))
        mismatch();
    constexpr double UnixEpoch = 25569; // 1 January 1970 in days since 30 December 1899
    constexpr double Margin = 2 * 86400.0;
    if (!(secs > (oledate::MinValue - UnixEpoch) * 86400 - Margin && secs < (oledate::MaxValue - UnixEpoch) * 86400 + Margin))
        mismatch();
    const double value = (secs + localOffset(qint64(std::floor(secs)))) / 86400.0 + UnixEpoch;
    if (value < oledate::MinValue || value > oledate::MaxValue)
        mismatch();
    return value;
}

// The seconds one unit of an elapsed form stands for.
double secondsPerUnit(TimeForm form)
{
    switch (form) {
    case TimeForm::ElapsedMilliseconds:
        return 0.001;
    case TimeForm::ElapsedMinutes:
        return 60;
    case TimeForm::ElapsedHours:
        return 3600;
    default:
        return 1;
    }
}

// A year, whole or with the share of it that has passed, as the X value of that moment.
double readYear(QByteArrayView cell)
{
    const std::optional<double> number = plainNumber(cell);
    if (!number || !(*number >= 100 && *number < 10000))
        mismatch();
    const int year = int(std::floor(*number));
    const double first = oledate::fromFields(year, 1, 1);
    const double length = QDate::isLeapYear(year) ? 366 : 365;
    return first + (*number - year) * length;
}

// The time since the start in days; a span beyond ten thousand years is no elapsed time.
double readElapsed(QByteArrayView cell, TimeForm form)
{
    const std::optional<double> number = plainNumber(cell);
    if (!number)
        mismatch();
    const double days = *number * secondsPerUnit(form) / 86400;
    if (!(std::abs(days) < 3.66e6))
        mismatch();
    return days;
}

// ---- Detecting the shape ----

constexpr char Separators[] = {',', ';', '\t'};

// Lines end in LF, CR LF or a lone CR, as the table reads them; a quoted field
// (a quote at the start of a field) may hold line ends and separators.
bool startsField(QByteArrayView bytes, qsizetype i)
{
    return i == 0 || bytes[i - 1] == ',' || bytes[i - 1] == ';' || bytes[i - 1] == '\t' || bytes[i - 1] == '\n'
           || bytes[i - 1] == '\r';
}

QList<QByteArrayView> splitLines(QByteArrayView bytes)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    bool quoted = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '"') {
            if (quoted || startsField(bytes, i))
                quoted = !quoted;
        } else if (!quoted && (c == '\n' || c == '\r')) {
            lines.append(bytes.sliced(start, i - start));
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < bytes.size())
        lines.append(bytes.sliced(start));
    return lines;
}

// The fields of a line, the first `most` of them at most.
QList<QByteArrayView> fields(QByteArrayView line, char separator,
                             qsizetype most = std::numeric_limits<qsizetype>::max())
{
    QList<QByteArrayView> result;
    qsizetype start = 0;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            if (quoted || i == start)
                quoted = !quoted;
        } else if (c == separator && !quoted) {
            result.append(bare(line.sliced(start, i - start)));
            if (result.size() == most)
                return result;
            start = i + 1;
        }
    }
    result.append(bare(line.sliced(start)));
    return result;
}

// Fields past those a table holds are never shown nor plotted: a log of a hundred
// thousand columns is looked at no further.
constexpr qsizetype ShapedFields = LogTable::MaxColumns + 1;

int fieldCount(QByteArrayView line, char separator)
{
    if (line.trimmed().isEmpty())
        return 0;
    if (!line.contains('"'))
        return int(line.count(separator)) + 1;
    return int(fields(line, separator).size());
}

// The separator's most common field count over the sampled lines (the larger on a tie), and
// how many lines have it.
std::pair<int, int> commonCount(const QList<QByteArrayView> &head, const QList<QByteArrayView> &tail, char separator)
{
    std::map<int, int> counts;
    for (const auto *lines : {&head, &tail})
        for (QByteArrayView line : *lines)
            if (const int n = fieldCount(line, separator); n > 1)
                ++counts[n];
    std::pair<int, int> best{0, 0};
    for (const auto &[n, lines] : counts)
        if (lines >= best.second)
            best = {n, lines};
    return best;
}

// A word a logger writes where a value is missing.
bool isNamedMark(QByteArrayView t)
{
    static const char *const Marks[] = {"err", "error", "ol", "nan", "inf", "-inf", "n/a", "na", "#n/a", "#value!", "null"};
    return std::any_of(std::begin(Marks), std::end(Marks), [t](const char *mark) { return t.compare(mark, Qt::CaseInsensitive) == 0; });
}

// A mark a logger writes where a value is missing, told apart from a word of text.
bool isGapMark(QByteArrayView t)
{
    return std::none_of(t.begin(), t.end(), isLetter) || isNamedMark(t);
}

// A cell of a units line: no digit but inside a unit such as m3/h or m^2.
bool isUnitCell(QByteArrayView t)
{
    for (qsizetype i = 0; i < t.size(); ++i)
        if (isDigit(t[i]) && (i == 0 || !(isLetter(t[i - 1]) || t[i - 1] == '^' || isDigit(t[i - 1]))))
            return false;
    return true;
}

QString withoutBrackets(QString unit)
{
    unit = unit.trimmed();
    if (unit.size() >= 2 && ((unit.front() == u'[' && unit.back() == u']') || (unit.front() == u'(' && unit.back() == u')')))
        unit = unit.sliced(1, unit.size() - 2).trimmed();
    return unit;
}

// The unit a heading ends with, in brackets: `temperature [°C]`, `Speed (m/s)`.
QString unitOfHeading(const QString &heading)
{
    const QString h = heading.trimmed();
    const QChar close = h.isEmpty() ? QChar() : h.back();
    const QChar open = close == u']' ? u'[' : close == u')' ? u'(' : QChar();
    const qsizetype at = open.isNull() ? -1 : h.lastIndexOf(open);
    return at > 0 ? h.sliced(at + 1, h.size() - at - 2).trimmed() : QString();
}

bool isDecimalCommaNumber(QByteArrayView t)
{
    const qsizetype comma = t.indexOf(',');
    if (comma <= 0 || comma == t.size() - 1 || t.count(',') != 1)
        return false;
    const QByteArrayView whole = t.startsWith('-') ? t.sliced(1, comma - 1) : t.first(comma);
    return !whole.isEmpty() && std::all_of(whole.begin(), whole.end(), [](char c) { return isDigit(c) || c == '.'; })
           && std::all_of(t.begin() + comma + 1, t.end(), isDigit);
}

// The words of a heading, split at what is not a letter and where a capital follows a small
// letter (UnixTime).
QStringList wordsOf(const QString &heading)
{
    QStringList words;
    QString word;
    for (qsizetype i = 0; i <= heading.size(); ++i) {
        const QChar c = i < heading.size() ? heading[i] : QChar();
        if (!c.isLetter() || (c.isUpper() && !word.isEmpty() && word.back().isLower())) {
            if (!word.isEmpty())
                words << word.toLower();
            word.clear();
        }
        if (c.isLetter())
            word += c;
    }
    return words;
}

// The sampled lines under the heading, split, column by column: the non-empty cells only.
struct Table
{
    QStringList heading;
    QList<QList<QByteArrayView>> cells;
    // Per column, its cells on the first data lines one after another (empty ones too):
    // where running numbers are told.
    QList<QList<QByteArrayView>> run;
};

// Lines of the run: enough to see numbers count up.
constexpr qsizetype RunLines = 20;

Table tableOf(const QList<QByteArrayView> &head, const QList<QByteArrayView> &tail, char separator, int headingLine,
              int firstDataLine)
{
    Table table;
    const QList<QByteArrayView> names =
        headingLine < head.size() ? fields(head[headingLine], separator, ShapedFields) : QList<QByteArrayView>();
    for (QByteArrayView name : names)
        table.heading << QString::fromUtf8(name);
    table.cells.resize(names.size());
    // Enough rows to see a column's habits, few enough to stay quick on every open.
    const auto take = [&](const QList<QByteArrayView> &lines, qsizetype from, qsizetype most) {
        const qsizetype n = lines.size() - from;
        const qsizetype step = n > most ? (n + most - 1) / most : 1;
        for (qsizetype i = from; i < lines.size(); i += step) {
            if (lines[i].trimmed().isEmpty())
                continue;
            const QList<QByteArrayView> row = fields(lines[i], separator, ShapedFields);
            for (qsizetype f = 0; f < row.size() && f < table.cells.size(); ++f)
                if (!row[f].isEmpty())
                    table.cells[f].append(row[f]);
        }
    };
    take(head, firstDataLine, 200);
    take(tail, 0, 50);
    table.run.resize(names.size());
    for (qsizetype i = firstDataLine; i < head.size() && i < firstDataLine + RunLines; ++i) {
        if (head[i].trimmed().isEmpty())
            continue;
        const QList<QByteArrayView> row = fields(head[i], separator, ShapedFields);
        for (qsizetype f = 0; f < table.run.size(); ++f)
            table.run[f].append(f < row.size() ? row[f] : QByteArrayView());
    }
    return table;
}

// More than half the cells pass, and at least one; stops once half have failed.
template<typename Test>
bool mostly(const QList<QByteArrayView> &cells, Test test)
{
    qsizetype passed = 0, failed = 0;
    for (QByteArrayView cell : cells) {
        if (test(cell))
            ++passed;
        else if (++failed * 2 >= cells.size())
            return false;
    }
    return passed * 2 > cells.size();
}

// The order the steps of a date-time column's dates show over the head's lines (see
// DateSteps).
DateOrder orderOfSteps(const QList<QByteArrayView> &lines, qsizetype from, char separator, int column)
{
    DateSteps steps;
    for (qsizetype i = from; i < lines.size(); ++i) {
        const QList<QByteArrayView> row = fields(lines[i], separator, column + 1);
        if (row.size() <= column || row[column].isEmpty())
            continue;
        // A year first asks no order.
        const QByteArrayView cell = bare(row[column]);
        if (cell.size() > 4 && std::all_of(cell.begin(), cell.begin() + 4, isDigit) && !isDigit(cell[4]))
            return DateOrder::NotAsked;
        double days[2];
        double timeOfDay = std::numeric_limits<double>::quiet_NaN();
        int k = 0;
        for (const DateOrder order : {DateOrder::MonthFirst, DateOrder::DayFirst}) {
            Stamp s;
            days[k] = std::numeric_limits<double>::quiet_NaN();
            if (parseStamp(row[column], order, s) == Parsed::Done && s.hasTime) {
                days[k] = oledate::fromFields(s.year, s.month, s.day);
                timeOfDay = (s.hour * 3600.0 + s.minute * 60.0 + s.second + s.fraction) / 86400.0;
            }
            ++k;
        }
        steps.take(days[0], days[1], timeOfDay);
    }
    return steps.verdict();
}

// At least one cell passes and no more fail than pass: a time column is not dropped
// for a cell that cannot be read, which the plot run then names.
template<typename Test>
bool mostlyReadable(const QList<QByteArrayView> &cells, Test test)
{
    qsizetype passed = 0, failed = 0;
    for (QByteArrayView cell : cells)
        (test(cell) ? passed : failed) += 1;
    return passed > 0 && passed >= failed;
}

// What a heading says of a column of numbers as a time: whether it names a time,
// whether it names years, and the unit of an elapsed time it names.
struct TimeHeading
{
    bool isTime = false;
    bool years = false;       // year, yr
    bool decimalDate = false; // decimal date
    TimeForm elapsed = TimeForm::ElapsedSeconds;
};

TimeHeading timeHeadingOf(const QString &heading)
{
    static const QStringList TimeWords = {u"time"_s, u"timestamp"_s, u"epoch"_s, u"unix"_s, u"date"_s, u"year"_s,
                                          u"yr"_s, u"elapsed"_s, u"seconds"_s, u"t"_s, u"decimal date"_s};
    static const QStringList UnixWords = {u"time"_s, u"timestamp"_s, u"epoch"_s, u"unix"_s};
    const QString h = heading.trimmed();
    const QString unit = unitOfHeading(h).toLower();
    QString base = h;
    if (!unit.isEmpty())
        base = h.left(h.lastIndexOf(h.back() == u']' ? u'[' : u'(')).trimmed();
    const QStringList words = wordsOf(base);
    base = base.toLower();
    TimeHeading out;
    out.isTime = TimeWords.contains(base)
                 || std::any_of(words.begin(), words.end(), [](const QString &w) { return UnixWords.contains(w); });
    out.years = base == u"year" || base == u"yr";
    out.decimalDate = base == u"decimal date";
    if (unit == u"ms" || unit == u"msec" || unit == u"milliseconds")
        out.elapsed = TimeForm::ElapsedMilliseconds;
    else if (unit == u"min" || unit == u"mins" || unit == u"minutes")
        out.elapsed = TimeForm::ElapsedMinutes;
    else if (unit == u"h" || unit == u"hr" || unit == u"hrs" || unit == u"hours")
        out.elapsed = TimeForm::ElapsedHours;
    return out;
}

// The non-empty cells of a run each one more than the one before, but for at most one
// start again at 0 or 1; at least two of them.
bool countsUp(const QList<QByteArrayView> &run)
{
    std::optional<double> last;
    int numbers = 0, restarts = 0;
    for (QByteArrayView cell : run) {
        if (cell.isEmpty())
            continue;
        const std::optional<double> v = plainNumber(cell);
        if (!v || *v != std::floor(*v))
            return false;
        if (last && *v != *last + 1) {
            if ((*v != 0 && *v != 1) || ++restarts > 1)
                return false;
        }
        last = v;
        ++numbers;
    }
    return numbers >= 2;
}

class Detector
{
public:
    Detector() : m_parser(QLocale()) {}

    bool isDate(QByteArrayView t) const
    {
        // Three numbers, or a month name: what is not cannot be read and is not tried.
        int runs = 0;
        bool letter = false;
        for (qsizetype i = 0; i < t.size(); ++i) {
            runs += isDigit(t[i]) && (i == 0 || !isDigit(t[i - 1]));
            letter = letter || isLetter(t[i]) || t[i] & 0x80;
            if (t[i] == ':')
                return false;
        }
        if (runs < 2 || (runs != 3 && !letter))
            return false;
        try {
            m_parser.date(QString::fromUtf8(t));
            return true;
        } catch (const RuntimeError &) {
            return false;
        }
    }

    bool isTimeOfDay(QByteArrayView t) const
    {
        if (!t.contains(':'))
            return false;
        try {
            m_parser.time(t);
            return true;
        } catch (const RuntimeError &) {
            return false;
        }
    }

    // The cell reads as a date, with (`withTime`) or without a time of day.
    static bool isStamp(QByteArrayView t, bool withTime)
    {
        // A plain number (1958.5, 1013.2) is a number, not a year and a month.
        if (plainNumber(t))
            return false;
        Stamp s;
        switch (parseStamp(t, DateOrder::NotAsked, s)) {
        case Parsed::Done:
            return s.hasTime == withTime;
        case Parsed::Bad:
            return false;
        case Parsed::Words:
            if (!hasDigit(t) || t.contains(':') != withTime)
                return false;
            try {
                readInWords(QString::fromUtf8(t), DateOrder::NotAsked);
                return true;
            } catch (const RuntimeError &) {
                return false;
            }
        }
        return false;
    }

    // A cell counts as a number for its column's kind: the plain form, a decimal comma
    // where the log writes them, or the locale's own form.
    bool isNumber(QByteArrayView t, char decimal) const
    {
        if (plainNumber(t) || (decimal == ',' && isDecimalCommaNumber(t)))
            return true;
        if (!hasDigit(t))
            return false;
        try {
            m_parser.number(QString::fromUtf8(t));
            return true;
        } catch (const RuntimeError &) {
            return false;
        }
    }

    // A cell of a row of data: a number, a date or a time, or a mark by its name. A line
    // without one under the heading is a heading line.
    bool readsAsData(QByteArrayView t, char decimal) const
    {
        return isNumber(t, decimal) || isNamedMark(t) || isStamp(t, true) || isStamp(t, false) || isTimeOfDay(t)
               || isDate(t);
    }

    // How column `c` of plain numbers reads as time: years, Unix times or the time since a
    // start, by its values and what its heading says. Nothing when its cells are no numbers.
    static std::optional<TimeForm> numericReading(const Table &table, int c)
    {
        const QList<QByteArrayView> &cells = table.cells[c];
        if (!mostlyReadable(cells, [](QByteArrayView t) { return plainNumber(t).has_value(); }))
            return std::nullopt;
        const TimeHeading heading = timeHeadingOf(table.heading[c]);
        bool whole = true, inYears = true;
        for (QByteArrayView cell : cells) {
            if (const std::optional<double> v = plainNumber(cell)) {
                whole = whole && *v == std::floor(*v);
                inYears = inYears && *v >= 1000 && *v < 3000;
            }
        }
        if (inYears && ((whole && (heading.years || countsUp(table.run[c]))) || heading.years || heading.decimalDate))
            return TimeForm::Years;
        const auto atLeast = [&cells](double least) {
            return mostly(cells, [least](QByteArrayView t) {
                const std::optional<double> v = plainNumber(t);
                return v && std::abs(*v) >= least;
            });
        };
        if (atLeast(1e11))
            return TimeForm::UnixMilliseconds;
        if (atLeast(1e8))
            return TimeForm::UnixSeconds;
        return heading.elapsed;
    }

    bool isDateAndTime(const Table &table, int column) const
    {
        if (table.heading[column].trimmed().compare(u"date"_s, Qt::CaseInsensitive) == 0
            && table.heading[column + 1].trimmed().compare(u"time"_s, Qt::CaseInsensitive) == 0)
            return true;
        return mostly(table.cells[column], [this](QByteArrayView t) { return isDate(t); })
               && mostly(table.cells[column + 1], [this](QByteArrayView t) { return isTimeOfDay(t); });
    }

    void findTime(const Table &table, Shape &shape) const
    {
        const int n = int(table.heading.size());
        for (int c = 0; c + 1 < n; ++c) {
            if (isDateAndTime(table, c)) {
                shape.time = TimeForm::DateAndTime;
                shape.timeColumn = c;
                shape.secondTimeColumn = c + 1;
                return;
            }
        }
        for (const bool withTime : {true, false}) {
            for (int c = 0; c < n; ++c) {
                if (mostlyReadable(table.cells[c], [withTime](QByteArrayView t) { return isStamp(t, withTime); })) {
                    shape.time = withTime ? TimeForm::DateTime : TimeForm::DateOnly;
                    shape.timeColumn = c;
                    return;
                }
            }
        }
        // Numbers are a time only under a heading that names one.
        for (int c = 0; c < n; ++c) {
            if (!timeHeadingOf(table.heading[c]).isTime)
                continue;
            if (const std::optional<TimeForm> form = numericReading(table, c)) {
                shape.time = *form;
                shape.timeColumn = c;
                return;
            }
        }
    }

    // The form of the time in the column the user named: a date followed by a time of day, a
    // date and time, a date, or plain numbers as Unix times. False when its cells are none.
    bool readColumn(const Table &table, int c, Shape &shape) const
    {
        const int n = int(table.heading.size());
        if (c + 1 < n && isDateAndTime(table, c)) {
            shape.time = TimeForm::DateAndTime;
            shape.timeColumn = c;
            shape.secondTimeColumn = c + 1;
            return true;
        }
        for (const bool withTime : {true, false}) {
            if (mostlyReadable(table.cells[c], [withTime](QByteArrayView t) { return isStamp(t, withTime); })) {
                shape.time = withTime ? TimeForm::DateTime : TimeForm::DateOnly;
                shape.timeColumn = c;
                return true;
            }
        }
        const std::optional<TimeForm> form = numericReading(table, c);
        if (!form)
            return false;
        shape.time = *form;
        shape.timeColumn = c;
        return true;
    }

    DateOrder orderOf(const QList<QByteArrayView> &dates) const
    {
        bool dayFirst = false, monthFirst = false;
        for (QByteArrayView date : dates) {
            // The date before a time in the same cell.
            const qsizetype blank = date.indexOf(' ');
            const QByteArrayView part = blank < 0 ? date : date.first(blank);
            const DateOrder shown = m_parser.orderShownBy(QString::fromUtf8(part));
            dayFirst = dayFirst || shown == DateOrder::DayFirst;
            monthFirst = monthFirst || shown == DateOrder::MonthFirst;
        }
        return dayFirst == monthFirst ? DateOrder::NotAsked : dayFirst ? DateOrder::DayFirst : DateOrder::MonthFirst;
    }

private:
    LogValueParser m_parser;
};

} // namespace

void DateSteps::take(Reading &reading, double day, double timeOfDay, double lastTimeOfDay)
{
    if (!reading.fits)
        return;
    if (std::isnan(day)) {
        reading.fits = false;
        return;
    }
    if (!std::isnan(reading.day)) {
        if (day == reading.day + 1 && timeOfDay < lastTimeOfDay)
            reading.stepped = true;
        else if (day != reading.day || timeOfDay < lastTimeOfDay)
            reading.fits = false;
    }
    reading.day = day;
}

void DateSteps::take(double monthFirstDay, double dayFirstDay, double timeOfDay)
{
    take(m_monthFirst, monthFirstDay, timeOfDay, m_lastTimeOfDay);
    take(m_dayFirst, dayFirstDay, timeOfDay, m_lastTimeOfDay);
    m_lastTimeOfDay = timeOfDay;
}

DateOrder DateSteps::verdict() const
{
    const bool monthFirst = m_monthFirst.fits && m_monthFirst.stepped;
    const bool dayFirst = m_dayFirst.fits && m_dayFirst.stepped;
    return monthFirst == dayFirst ? DateOrder::NotAsked : monthFirst ? DateOrder::MonthFirst : DateOrder::DayFirst;
}

bool isNumericForm(TimeForm form)
{
    switch (form) {
    case TimeForm::UnixSeconds:
    case TimeForm::UnixMilliseconds:
    case TimeForm::Years:
    case TimeForm::ElapsedMilliseconds:
    case TimeForm::ElapsedSeconds:
    case TimeForm::ElapsedMinutes:
    case TimeForm::ElapsedHours:
        return true;
    default:
        return false;
    }
}

TimeScale scaleOf(TimeForm form)
{
    switch (form) {
    case TimeForm::Years:
        return TimeScale::Years;
    case TimeForm::ElapsedMilliseconds:
    case TimeForm::ElapsedSeconds:
    case TimeForm::ElapsedMinutes:
    case TimeForm::ElapsedHours:
        return TimeScale::Elapsed;
    default:
        return TimeScale::Calendar;
    }
}

namespace {
struct UnitName
{
    const char16_t *name;
    TimeForm form;
};
constexpr UnitName TimeUnits[] = {{u"years", TimeForm::Years},
                                  {u"unix-s", TimeForm::UnixSeconds},
                                  {u"unix-ms", TimeForm::UnixMilliseconds},
                                  {u"elapsed-s", TimeForm::ElapsedSeconds},
                                  {u"elapsed-min", TimeForm::ElapsedMinutes},
                                  {u"elapsed-h", TimeForm::ElapsedHours}};
} // namespace

QStringList timeUnitNames()
{
    QStringList names;
    for (const UnitName &unit : TimeUnits)
        names << QString::fromUtf16(unit.name);
    return names;
}

std::optional<TimeForm> timeUnitOf(QStringView name)
{
    for (const UnitName &unit : TimeUnits)
        if (name == QStringView(unit.name))
            return unit.form;
    return std::nullopt;
}

bool Shape::isLoggerForm() const
{
    return separator == ',' && decimal == '.' && headingLine == 0 && linesUnder == 0 && time == TimeForm::DateAndTime
           && timeColumn == 0 && secondTimeColumn == 1 && millisecondsColumn < 0;
}

Shape openChoice()
{
    Shape open;
    open.separator = 0;
    open.decimal = 0;
    open.headingLine = -1;
    return open;
}

Shape detect(QByteArrayView head, QByteArrayView tail)
{
    return detect(head, tail, openChoice());
}

Shape detect(QByteArrayView head, QByteArrayView tail, const Shape &chosen)
{
    Shape shape;
    if (head.startsWith("\xEF\xBB\xBF"))
        head = head.sliced(3);
    const QList<QByteArrayView> headLines = splitLines(head);
    // A tail within the head adds nothing; its first line may be cut.
    QList<QByteArrayView> tailLines = head.endsWith(tail) ? QList<QByteArrayView>() : splitLines(tail);
    if (!tailLines.isEmpty())
        tailLines.removeFirst();
    const Detector detector;

    // The logger's own heading on the first line decides at once, whatever its values hold
    // (a decimal comma in a value adds a field to a row, but not to the heading).
    std::optional<Table> loggerTable;
    const bool loggerHeading = (chosen.separator == 0 || chosen.separator == ',') && chosen.headingLine <= 0
                               && !headLines.isEmpty() && fieldCount(headLines[0], ',') > 1
                               && detector.isDateAndTime(loggerTable.emplace(tableOf(headLines, tailLines, ',', 0, 1)), 0);
    if (!loggerHeading) {
        int bestLines = 0;
        for (const char separator : Separators) {
            if (chosen.separator != 0 && separator != chosen.separator)
                continue;
            // Named, not bound: a lambda may not capture a structured binding with every compiler.
            const std::pair<int, int> common = commonCount(headLines, tailLines, separator);
            const int count = common.first;
            const int lines = common.second;
            const auto heading = std::find_if(headLines.begin(), headLines.end(),
                                              [&](QByteArrayView l) { return fieldCount(l, separator) == count; });
            if (lines > bestLines && heading != headLines.end()) {
                bestLines = lines;
                shape.separator = separator;
                shape.headingLine = int(heading - headLines.begin());
            }
        }
        if (chosen.separator != 0)
            shape.separator = chosen.separator;
        if (bestLines == 0) {
            shape.headingLine = int(std::find_if(headLines.begin(), headLines.end(), [](QByteArrayView l) { return !l.trimmed().isEmpty(); })
                                    - headLines.begin());
        }
    }
    // A heading line past the sampled lines cannot be the user's: it is found instead.
    if (chosen.headingLine >= 0 && chosen.headingLine < headLines.size())
        shape.headingLine = chosen.headingLine;
    for (int i = 0; i < shape.headingLine && i < headLines.size(); ++i)
        shape.metadata << QString::fromUtf8(headLines[i]);

    const char separator = shape.separator;
    const int under = shape.headingLine + 1;
    // Heading lines under the heading: lines with something in them, none of which reads as
    // data, or lines of units as the units line has always been told.
    const auto isUnitsLine = [](const QList<QByteArrayView> &cells) {
        return std::any_of(cells.begin(), cells.end(), [](QByteArrayView c) { return !c.isEmpty(); })
               && std::all_of(cells.begin(), cells.end(), isUnitCell);
    };
    const auto lineUnder = [&](int k) {
        return under + k < headLines.size() ? fields(headLines[under + k], separator, ShapedFields) : QList<QByteArrayView>();
    };
    shape.chosenLinesUnder = chosen.chosenLinesUnder;
    if (chosen.chosenLinesUnder >= 0) {
        shape.linesUnder = int(std::clamp<qsizetype>(chosen.chosenLinesUnder, 0, std::max<qsizetype>(0, headLines.size() - under)));
    } else {
        for (int k = 0; k < MostLinesUnder && under + k < headLines.size(); ++k) {
            const QList<QByteArrayView> cells = lineUnder(k);
            const bool something = std::any_of(cells.begin(), cells.end(), [](QByteArrayView c) { return !c.isEmpty(); });
            const bool noData = std::none_of(cells.begin(), cells.end(), [&](QByteArrayView c) {
                return !c.isEmpty() && detector.readsAsData(c, separator != ',' ? ',' : '.');
            });
            if (!something || (!noData && !isUnitsLine(cells)))
                break;
            ++shape.linesUnder;
        }
    }
    for (int k = 0; k < shape.linesUnder && shape.unitsLine == 0; ++k)
        if (isUnitsLine(lineUnder(k)))
            shape.unitsLine = k + 1;
    // The logger's heading was split already, the same way, unless lines under it follow.
    const bool split = loggerTable && separator == ',' && shape.headingLine == 0 && shape.linesUnder == 0;
    const Table table = split ? std::move(*loggerTable)
                              : tableOf(headLines, tailLines, separator, shape.headingLine, under + shape.linesUnder);
    const qsizetype columns = table.heading.size();

    const QList<QByteArrayView> unitCells = shape.unitsLine > 0 ? lineUnder(shape.unitsLine - 1) : QList<QByteArrayView>();
    for (qsizetype c = 0; c < columns; ++c) {
        const QString fromLine = c < unitCells.size() ? withoutBrackets(QString::fromUtf8(unitCells[c])) : QString();
        shape.units << (fromLine.isEmpty() ? unitOfHeading(table.heading[c]) : fromLine);
        const QList<QByteArrayView> &cells = table.cells[c];
        if (separator != ',' && shape.decimal == '.' && std::any_of(cells.begin(), cells.end(), isDecimalCommaNumber))
            shape.decimal = ',';
    }
    // The comma cannot be both.
    if (chosen.decimal != 0 && !(chosen.decimal == ',' && separator == ','))
        shape.decimal = chosen.decimal;
    // A column of values is one whose numbers and marks make up at least half of its cells:
    // codes such as T-38A hold digits and are text.
    for (qsizetype c = 0; c < columns; ++c) {
        const QList<QByteArrayView> &cells = table.cells[c];
        const qsizetype values = std::count_if(cells.begin(), cells.end(), [&](QByteArrayView t) {
            return (!hasDigit(t) && isGapMark(t)) || detector.isNumber(t, shape.decimal);
        });
        shape.columns << (values * 2 >= cells.size() ? ColumnKind::Value : ColumnKind::Text);
    }

    // A chosen time column the file lacks (another file took its name, the heading moved) is
    // no choice: the time is found as without one.
    const auto inside = [columns](int c) { return c >= 0 && c < columns; };
    const bool keepsTime = chosen.time != TimeForm::None && inside(chosen.timeColumn)
                           && (chosen.time != TimeForm::DateAndTime
                               || (inside(chosen.secondTimeColumn) && chosen.secondTimeColumn != chosen.timeColumn));
    if (keepsTime) {
        shape.time = chosen.time;
        shape.timeColumn = chosen.timeColumn;
        shape.secondTimeColumn = chosen.time == TimeForm::DateAndTime ? chosen.secondTimeColumn : -1;
    } else if (chosen.time != TimeForm::None || !inside(chosen.timeColumn)
               || !detector.readColumn(table, chosen.timeColumn, shape)) {
        detector.findTime(table, shape);
    }
    if (shape.timeColumn >= 0)
        shape.columns[shape.timeColumn] = ColumnKind::Time;
    if (shape.secondTimeColumn >= 0)
        shape.columns[shape.secondTimeColumn] = ColumnKind::Time;

    // Milliseconds right after the time of day belong to it.
    const int clock = shape.time == TimeForm::DateAndTime ? shape.secondTimeColumn : shape.timeColumn;
    if (shape.time != TimeForm::None && !isNumericForm(shape.time) && inside(clock + 1)) {
        static const QStringList MillisecondWords = {u"ms"_s, u"msec"_s, u"milliseconds"_s};
        const int c = clock + 1;
        const bool named = MillisecondWords.contains(table.heading[c].trimmed().toLower());
        const bool inRange = !table.cells[c].isEmpty()
                             && std::all_of(table.cells[c].begin(), table.cells[c].end(), [](QByteArrayView t) {
                                    const std::optional<double> v = plainNumber(t);
                                    return v && *v >= 0 && *v <= 999 && *v == std::floor(*v);
                                });
        if (named && inRange) {
            shape.millisecondsColumn = c;
            shape.columns[c] = ColumnKind::Milliseconds;
        }
    }
    // Running numbers under a heading that says so.
    static const QStringList RecordHeadings = {u"RECORD"_s, u"Record"_s, u"#"_s, u"No."_s, u"Nr"_s, u"Index"_s};
    for (qsizetype c = 0; c < columns; ++c) {
        if (shape.columns[c] == ColumnKind::Value && RecordHeadings.contains(table.heading[c].trimmed())
            && countsUp(table.run[c]))
            shape.columns[c] = ColumnKind::Record;
    }

    if (chosen.dateOrder != DateOrder::NotAsked)
        shape.dateOrder = chosen.dateOrder;
    else if (shape.time == TimeForm::DateAndTime || shape.time == TimeForm::DateTime || shape.time == TimeForm::DateOnly)
        shape.dateOrder = detector.orderOf(table.cells[shape.timeColumn]);
    // Dates that leave the order open: the one in which each change of date is the next day,
    // taken where the time of day passes midnight.
    if (shape.dateOrder == DateOrder::NotAsked && shape.time == TimeForm::DateTime)
        shape.dateOrder = orderOfSteps(headLines, under + shape.linesUnder, separator, shape.timeColumn);
    return shape;
}

QString misfit(QByteArrayView head, const Shape &choice)
{
    if (head.startsWith("\xEF\xBB\xBF"))
        head = head.sliced(3);
    const QList<QByteArrayView> lines = splitLines(head);
    if (choice.headingLine >= lines.size())
        return u"heading line %1 is past its last line (%2)"_s.arg(choice.headingLine + 1).arg(lines.size());
    const int fields = fieldCount(lines[std::max(choice.headingLine, 0)], choice.separator ? choice.separator : ',');
    const int second = choice.time == TimeForm::DateAndTime ? choice.secondTimeColumn : -1;
    for (const int column : {choice.timeColumn, second}) {
        if (choice.time != TimeForm::None && column >= fields)
            return u"time column %1 is past its last field (%2)"_s.arg(column + 1).arg(fields);
    }
    return {};
}

QList<QStringList> rowsOf(QByteArrayView head, const Shape &shape, int count)
{
    if (head.startsWith("\xEF\xBB\xBF"))
        head = head.sliced(3);
    const QList<QByteArrayView> lines = splitLines(head);
    QList<QStringList> rows;
    for (qsizetype i = std::max(shape.headingLine, 0); i < lines.size() && rows.size() < count; ++i) {
        QStringList row;
        for (QByteArrayView field : fields(lines[i], shape.separator ? shape.separator : ','))
            row << QString::fromUtf8(field);
        rows << row;
    }
    return rows;
}

namespace {

QString nameOfUnit(TimeForm form)
{
    for (const UnitName &unit : TimeUnits)
        if (unit.form == form)
            return QString::fromUtf16(unit.name);
    return QString();
}

// The time column the user names (--time-column), read as its cells show.
std::optional<Shape> chooseTimeColumn(QByteArrayView head, QByteArrayView tail, const Options &options, Shape chosen,
                                      const Shape &shape, QString *why)
{
    const auto fail = [why](const QString &text) {
        if (why)
            *why = text;
        return std::nullopt;
    };

    const QList<QStringList> heading = rowsOf(head, shape, 1);
    const QStringList names = heading.isEmpty() ? QStringList() : heading.front();
    const QString name = options.timeColumn.trimmed();
    // A heading that is a number is found by its heading first; else the number counts the
    // file's fields from 1.
    qsizetype column = -1;
    for (qsizetype c = 0; c < names.size() && column < 0; ++c)
        if (names[c].trimmed() == name)
            column = c;
    bool isNumber = false;
    const int field = name.toInt(&isNumber);
    if (column < 0 && isNumber) {
        if (field < 1 || field > names.size())
            return fail(u"--time-column \"%1\": the log has no column named so and no field %2: its fields are 1 to %3"_s
                            .arg(options.timeColumn)
                            .arg(field)
                            .arg(names.size()));
        column = field - 1;
    }
    if (column < 0)
        return fail(u"--time-column \"%1\": the log has no column named so"_s.arg(options.timeColumn));
    chosen.separator = shape.separator;
    chosen.headingLine = shape.headingLine;
    chosen.timeColumn = int(column);
    const Shape named = detect(head, tail, chosen);
    if (named.timeColumn != column)
        return fail(u"--time-column \"%1\": column \"%2\" holds no dates or times"_s.arg(options.timeColumn, names[column].trimmed()));
    return named;
}

} // namespace


std::optional<Shape> choose(QByteArrayView head, QByteArrayView tail, const Options &options, QString *why)
{
    const auto fail = [why](const QString &text) {
        if (why)
            *why = text;
        return std::nullopt;
    };
    Shape chosen = openChoice();
    chosen.separator = options.separator;
    chosen.decimal = options.decimal;
    chosen.dateOrder = options.dateOrder;
    Shape shape = detect(head, tail, chosen);
    if (options.decimal == ',' && shape.separator == ',')
        return fail(u"--decimal , needs a log whose fields are not separated by commas: give --separator ; or tab"_s);
    if (!options.timeColumn.isEmpty()) {
        std::optional<Shape> named = chooseTimeColumn(head, tail, options, chosen, shape, why);
        if (!named)
            return std::nullopt;
        shape = *named;
    }
    if (options.timeUnit == TimeForm::None)
        return shape;
    // The time column found or named, read in the unit chosen.
    const QString unit = nameOfUnit(options.timeUnit);
    if (shape.time == TimeForm::None)
        return fail(u"--time-unit %1: the log has no time column: name one with --time-column"_s.arg(unit));
    if (!isNumericForm(shape.time)) {
        const QList<QStringList> heading = rowsOf(head, shape, 1);
        const QString name = heading.isEmpty() ? QString() : heading.front().value(shape.timeColumn).trimmed();
        return fail(u"--time-unit %1: column \"%2\" holds no numbers"_s.arg(unit, name));
    }
    chosen.separator = shape.separator;
    chosen.headingLine = shape.headingLine;
    chosen.timeColumn = shape.timeColumn;
    chosen.time = options.timeUnit;
    return detect(head, tail, chosen);
}

double readTime(QByteArrayView ascii, TimeForm form, LogValueParser::DateOrder order)
{
    switch (form) {
    case TimeForm::UnixSeconds:
    case TimeForm::UnixMilliseconds:
        return readUnix(ascii, form == TimeForm::UnixMilliseconds);
    case TimeForm::Years:
        return readYear(ascii);
    case TimeForm::ElapsedMilliseconds:
    case TimeForm::ElapsedSeconds:
    case TimeForm::ElapsedMinutes:
    case TimeForm::ElapsedHours:
        return readElapsed(ascii, form);
    case TimeForm::DateTime:
    case TimeForm::DateOnly: {
        Stamp s;
        switch (parseStamp(ascii, order, s)) {
        case Parsed::Done:
            // The end of the last day there is lies past every date.
            if (const double value = valueOf(s); value <= oledate::MaxValue)
                return value;
            break;
        case Parsed::Words:
            return readInWords(QString::fromUtf8(ascii), order);
        case Parsed::Bad:
            break;
        }
        break;
    }
    case TimeForm::None:
    case TimeForm::DateAndTime:
        break;
    }
    mismatch();
}

double readTime(QStringView text, TimeForm form, LogValueParser::DateOrder order)
{
    // The common ASCII texts go the bytes' way; the rest is read in words.
    char bytes[64];
    if (text.size() <= qsizetype(sizeof bytes)) {
        bool ascii = true;
        for (qsizetype i = 0; i < text.size() && ascii; ++i) {
            ascii = text[i].unicode() < 128;
            bytes[i] = char(text[i].unicode());
        }
        if (ascii)
            return readTime(QByteArrayView(bytes, text.size()), form, order);
    }
    if (form != TimeForm::DateTime && form != TimeForm::DateOnly)
        mismatch();
    return readInWords(text, order);
}

std::optional<double> clockPastTheDay(QStringView text)
{
    const QStringView t = text.trimmed();
    if (t == u"24:00" || t == u"24:00:00")
        return 1.0;
    const QList<QStringView> parts = t.split(u':');
    if (parts.size() != 3 || parts[2] != u"60")
        return std::nullopt;
    bool hourOk = false, minuteOk = false;
    const int hour = parts[0].toInt(&hourOk);
    const int minute = parts[1].toInt(&minuteOk);
    if (!hourOk || !minuteOk || hour < 0 || hour > 23 || minute < 0 || minute > 59 || parts[1].size() != 2)
        return std::nullopt;
    return (hour * 3600 + minute * 60 + 59.999) / 86400;
}

// ---- The user's choice as one line of text ----

namespace {

struct Name
{
    const char16_t *text;
    int value;
};

constexpr Name SeparatorNames[] = {{u"comma", ','}, {u"semicolon", ';'}, {u"tab", '\t'}};
constexpr Name DecimalNames[] = {{u"point", '.'}, {u"comma", ','}};
constexpr Name FormNames[] = {{u"none", int(TimeForm::None)},
                              {u"dateandtime", int(TimeForm::DateAndTime)},
                              {u"datetime", int(TimeForm::DateTime)},
                              {u"dateonly", int(TimeForm::DateOnly)},
                              {u"unixseconds", int(TimeForm::UnixSeconds)},
                              {u"unixmilliseconds", int(TimeForm::UnixMilliseconds)},
                              {u"years", int(TimeForm::Years)},
                              {u"elapsedms", int(TimeForm::ElapsedMilliseconds)},
                              {u"elapseds", int(TimeForm::ElapsedSeconds)},
                              {u"elapsedmin", int(TimeForm::ElapsedMinutes)},
                              {u"elapsedh", int(TimeForm::ElapsedHours)}};
constexpr Name OrderNames[] = {{u"notasked", int(DateOrder::NotAsked)},
                               {u"open", int(DateOrder::Open)},
                               {u"monthfirst", int(DateOrder::MonthFirst)},
                               {u"dayfirst", int(DateOrder::DayFirst)}};

template<size_t N>
QString nameOf(const Name (&names)[N], int value)
{
    for (const Name &name : names)
        if (name.value == value)
            return QString::fromUtf16(name.text);
    return QString();
}

template<size_t N>
std::optional<int> lookUp(const Name (&names)[N], QStringView text)
{
    for (const Name &name : names)
        if (text == QStringView(name.text))
            return name.value;
    return std::nullopt;
}

std::optional<int> fieldNumber(QStringView text)
{
    constexpr int Largest = 999999;
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= 0 && n <= Largest && !text.startsWith(u'+') ? std::optional<int>(n) : std::nullopt;
}

} // namespace

QString Shape::toText() const
{
    QString timeText = nameOf(FormNames, int(time));
    if (time != TimeForm::None)
        timeText += u':' + QString::number(timeColumn);
    if (time == TimeForm::DateAndTime)
        timeText += u':' + QString::number(secondTimeColumn);
    QString text = u"separator=%1 decimal=%2 heading=%3 time=%4 order=%5"_s.arg(nameOf(SeparatorNames, separator), nameOf(DecimalNames, decimal))
                       .arg(headingLine)
                       .arg(timeText, nameOf(OrderNames, int(dateOrder)));
    // Written only where it is a choice: a text of an earlier version reads as before.
    if (chosenLinesUnder >= 0)
        text += u" under=%1"_s.arg(chosenLinesUnder);
    return text;
}

std::optional<Shape> Shape::fromText(QStringView text)
{
    std::optional<int> separator, decimal, heading, order, under;
    std::optional<QStringView> time;
    int parts = 0;
    for (QStringView part : text.split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype equals = part.indexOf(u'=');
        const QStringView key = part.first(std::max<qsizetype>(equals, 0));
        const QStringView value = part.sliced(equals + 1);
        ++parts;
        if (key == u"separator")
            separator = lookUp(SeparatorNames, value);
        else if (key == u"decimal")
            decimal = lookUp(DecimalNames, value);
        else if (key == u"heading")
            heading = fieldNumber(value);
        else if (key == u"time")
            time = value;
        else if (key == u"order")
            order = lookUp(OrderNames, value);
        else if (key == u"under")
            under = fieldNumber(value);
    }
    if (parts != 5 + under.has_value() || !separator || !decimal || !heading || !time || !order
        || (*separator == ',' && *decimal == ',') || (under && *under > MostLinesUnder))
        return std::nullopt;

    Shape shape;
    shape.separator = char(*separator);
    shape.decimal = char(*decimal);
    shape.headingLine = *heading;
    shape.chosenLinesUnder = under ? *under : -1;
    shape.dateOrder = DateOrder(*order);
    const QList<QStringView> timeParts = time->split(u':');
    const std::optional<int> form = lookUp(FormNames, timeParts[0]);
    if (!form)
        return std::nullopt;
    shape.time = TimeForm(*form);
    const qsizetype columnsWanted = shape.time == TimeForm::None ? 0 : shape.time == TimeForm::DateAndTime ? 2 : 1;
    if (timeParts.size() != columnsWanted + 1)
        return std::nullopt;
    if (columnsWanted >= 1) {
        const std::optional<int> first = fieldNumber(timeParts[1]);
        if (!first)
            return std::nullopt;
        shape.timeColumn = *first;
    }
    if (columnsWanted == 2) {
        const std::optional<int> second = fieldNumber(timeParts[2]);
        if (!second || *second == shape.timeColumn)
            return std::nullopt;
        shape.secondTimeColumn = *second;
    }
    return shape;
}

} // namespace logshape
