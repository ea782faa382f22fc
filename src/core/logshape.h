#pragma once

#include "logvalueparser.h"
#include "timescale.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <limits>
#include <optional>

// The shape of a delimited log: where its heading is, how its fields are
// separated, which columns hold values, text or the time, and how the time is
// written. Detected once per file from a sample of its lines, before the grid is
// filled; the logger's own form is one shape among them and is detected as it is.
// Widget-free.
namespace logshape {

// How a row's time is written.
enum class TimeForm {
    None,             // no time found
    DateAndTime,      // the logger's own form: a Date column and a Time column
    DateTime,         // one column: ISO 8601 with 'T' or a blank, yyyy/mm/dd hh:mm[:ss], a numeric
                      // date and a time, a month name and a time
    DateOnly,         // one column: yyyy-mm-dd, yyyy/mm/dd, yyyy-mm (the first of the month), a
                      // numeric or month-name date
    UnixSeconds,      // one column of numbers from 1e8 on (after March 1973): seconds since 1970
    UnixMilliseconds, // the same, values at 1e11 and above
    Years,            // one column of years, whole (1880) or fractional (1958.2027: that point of the year)
    ElapsedMilliseconds, // one column of the time since a start, in the unit named
    ElapsedSeconds,
    ElapsedMinutes,
    ElapsedHours,
};
// A time form that reads a column of plain numbers.
bool isNumericForm(TimeForm form);
// The X values a time form gives: calendar times, elapsed time or years.
TimeScale scaleOf(TimeForm form);

// Value: numbers and marks make up at least half of the column's sampled cells.
// Record: a running number (RECORD, #, No.), shown but not plotted unless chosen.
// Milliseconds: a column of 0 to 999 beside the time that is part of it.
enum class ColumnKind { Value, Text, Time, Record, Milliseconds };

// Lines under the heading that are heading lines, not rows, at most.
inline constexpr int MostLinesUnder = 5;

struct Shape
{
    char separator = ',';  // ',', ';' or '\t'
    char decimal = '.';    // '.' or ',' (',' only when the separator is not ',')
    int headingLine = 0;   // 0-based file line of the heading
    // Lines right under the heading that are heading lines, not rows (units, a
    // processing line), 0 to MostLinesUnder.
    int linesUnder = 0;
    // The number of them the user chose; -1: none chosen, they are detected.
    int chosenLinesUnder = -1;
    // Which of them holds the units, from 1; 0 when none does.
    int unitsLine = 0;
    QStringList metadata;  // the lines before the heading, without their line ends
    // Per field of the heading: the unit from the units line, else from a bracketed end of the
    // heading itself (`temperature [°C]`, `Speed (m/s)`), without the brackets; empty where none.
    QStringList units;
    QList<ColumnKind> columns; // per field of the heading
    TimeForm time = TimeForm::None;
    int timeColumn = -1;       // 0-based field: the Date column of DateAndTime, else the one time column
    int secondTimeColumn = -1; // the Time column of DateAndTime; -1 otherwise
    int millisecondsColumn = -1; // 0-based field of a column of milliseconds beside the time; -1 none
    // The order of numeric dates, chosen or shown by the sampled dates; NotAsked: as the plot
    // run decides.
    LogValueParser::DateOrder dateOrder = LogValueParser::DateOrder::NotAsked;

    // The logger's own form: ',' and '.', heading on line 0, no lines under it, Date and Time
    // in fields 0 and 1, no milliseconds column.
    bool isLoggerForm() const;
    bool operator==(const Shape &) const = default;

    // One line for the settings file and back: the user's choices only (separator, decimal
    // mark, heading line, time form and columns, date order, and the lines under the heading
    // when chosen); the rest is detected again. A broken or incomplete text gives std::nullopt.
    QString toText() const;
    static std::optional<Shape> fromText(QStringView text);
};

// Detects the shape from the file's first bytes (`head`: up to its first 1,000 lines) and its
// last (`tail`: its last 100 lines; may overlap head, be all of it, or be empty; its first line
// is not used, as it may be cut). Never throws: what cannot be read gives time == None with the
// separator and heading as best found.
Shape detect(QByteArrayView head, QByteArrayView tail);

// The same under the user's choice: its separator and decimal mark, its heading line, its time
// form and columns and its date order hold; units, metadata, the units line and the column kinds
// are detected under them. What the choice leaves open is detected as above: a separator or
// decimal mark of 0, a heading line below 0, a date order NotAsked, a time form None (with a
// time column of 0 or more: the form that column's cells show, DateAndTime when a date column
// is followed by a time-of-day column).
Shape detect(QByteArrayView head, QByteArrayView tail, const Shape &chosen);
// A choice that leaves everything open.
Shape openChoice();

// Why a choice cannot be the shape of the file whose first lines are `head`: its heading line
// past those lines, or a time column past the heading's last field. Empty when it fits.
QString misfit(QByteArrayView head, const Shape &choice);

// The first `count` lines from the heading on, split into fields as the shape has them (the
// preview of a choice).
QList<QStringList> rowsOf(QByteArrayView head, const Shape &shape, int count);

// The choices the command line gives: each one empty leaves detection to find it.
struct Options
{
    char separator = 0;  // ',', ';', '\t'
    char decimal = 0;    // '.', ','
    QString timeColumn;  // a heading, or a field number from 1 where no heading is that number
    LogValueParser::DateOrder dateOrder = LogValueParser::DateOrder::NotAsked;
    // How a column of numbers is read (one of the numeric forms); None: as detected.
    TimeForm timeUnit = TimeForm::None;

    bool any() const
    {
        return separator || decimal || !timeColumn.isEmpty() || dateOrder != LogValueParser::DateOrder::NotAsked
               || timeUnit != TimeForm::None;
    }
};
// The --time-unit names of the numeric forms the user chooses from, and back:
// years, unix-s, unix-ms, elapsed-s, elapsed-min, elapsed-h.
QStringList timeUnitNames();
std::optional<TimeForm> timeUnitOf(QStringView name);
// The whole shape `options` make of the file whose first and last lines are `head` and `tail`,
// or nothing with `why` saying which option does not fit it.
std::optional<Shape> choose(QByteArrayView head, QByteArrayView tail, const Options &options, QString *why);

// The order of numeric dates that no single date decides, told by their steps: fed the rows
// in line order, each with its date read month first and day first (whole days; NaN where it
// cannot be read so) and its time of day, the order under which every change of date is a step
// of one day forward taken where the time of day passes midnight. NotAsked when both orders
// fit or neither does, or the rows never change their date.
class DateSteps
{
public:
    void take(double monthFirstDay, double dayFirstDay, double timeOfDay);
    LogValueParser::DateOrder verdict() const;

private:
    struct Reading
    {
        bool fits = true;
        bool stepped = false;
        double day = std::numeric_limits<double>::quiet_NaN();
    };
    static void take(Reading &reading, double day, double timeOfDay, double lastTimeOfDay);
    Reading m_monthFirst;
    Reading m_dayFirst;
    double m_lastTimeOfDay = std::numeric_limits<double>::quiet_NaN();
};

// Reads one cell of a single time column into its X value: for the calendar forms days since
// 30 December 1899, the clock time as written: a Z or ±hh:mm suffix is ignored; Unix times are
// taken to the computer's local time; a year is its first of January, a fraction of a year that
// share of it. DateTime and DateOnly read the same texts, a date with or without a time of day;
// numeric day-month dates in `order` (NotAsked, Open: the locale's, a month above 12 taken as
// the day); 24:00:00 is midnight at the end of its day and a leap second 23:59:60 reads as
// 23:59:59.999. Elapsed forms give the time since the start in days. Blanks and one pair of
// double quotes around the text are passed over. Throws RuntimeError 13 for a text that is not
// such a time. The byte overload reads the common forms without allocating.
double readTime(QByteArrayView ascii, TimeForm form, LogValueParser::DateOrder order);
double readTime(QStringView text, TimeForm form, LogValueParser::DateOrder order);
// A time of day that logs of other shapes write and the logger never does, as a fraction
// of a day: 24:00 or 24:00:00, the end of the day (1.0), and hh:mm:60, a leap second, read as
// hh:mm:59.999. Nothing for any other text.
std::optional<double> clockPastTheDay(QStringView text);

} // namespace logshape
