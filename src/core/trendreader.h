#pragma once

#include "blockselection.h"
#include "logshape.h"
#include "logvalueparser.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <atomic>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

class LogTable;
class TrendData;

// The cells of a loaded log turned into trend data: the pure half of a plot run
// and of the follow of a log. No widget, no message box, no global state; the
// caller shows progress and outcomes.
//
// Each selected value column becomes one channel, titled by its heading (row 0),
// one sample per selected row at the row's date plus its time. A value cell that
// is empty or only blanks is a gap (NaN), never a zero; one that holds a mark in
// place of a value (a text without a digit: ERR, OL, ----, N/A) is a gap too,
// kept as TrendData::Marked. What else a cell holds that is no value (a broken
// number such as 1O.5, a number too large to plot, a date or time that cannot be
// read) is a bad cell: it ends a
// plot run, and in follow the value is a gap and a row without a usable date or
// time is left out.
//
// A column's numeric dates are read in one order, day or month first: the first
// date, in line order, that can only be read one way decides it for the whole
// column, and a later date that can only be read the other way is a bad cell.
// Where no date decides, the locale's order is read.
namespace trendreader {

// The largest magnitude a plotted value may have: the axis must still hold the
// span from the smallest to the largest value.
inline constexpr double MaxPlotMagnitude = 4e249;

// A value's text is a missing sample: empty, only blanks, or a mark.
bool isMissingValueText(QStringView text);
// A value's text is a mark the logger wrote in place of a value: not blank, and
// without a digit (ERR, OL, ----, ?, #VALUE!, NaN, N/A, #N/A, -).
bool isMarkText(QStringView text);

// The progress of a plot run in percent after `points` points of a block of
// `columns` columns whose run spans `rowSpan` rows (the last row less the first),
// rounded half to even and held at 100. Wide in its arithmetic: a long log plotted
// over many columns must not overflow.
int progressPercent(long long points, long long columns, long long rowSpan);

// A cell that cannot be plotted: its grid row and column, its text, and what it
// is not ("is not a number.", "is not a date.", "is not a time.", "is too large
// to plot.", "does not fit the day-first dates above it.").
struct BadCell
{
    int row = 0;
    int col = 0;
    QString text;
    QString what;
};

// The line that names a bad cell for the user: Line 3, column "A": "12.3x" is not
// a number. Grid row r is file line r + 1; a long text is cut short.
QString describe(const LogTable &table, const BadCell &bad);

// What to read: the selected blocks (a row corner of -1 stands for the first or
// the last row: whole columns) and where the dates and times are.
struct Request
{
    QList<GridBlock> blocks;
    int dateColumn = 0;
    int timeColumn = 1;
    // How a row's time is written: in the Date and Time columns, or in the one
    // column `dateColumn` (numeric dates there in `timeOrder`, or the locale's).
    logshape::TimeForm timeForm = logshape::TimeForm::DateAndTime;
    LogValueParser::DateOrder timeOrder = LogValueParser::DateOrder::NotAsked;
    // A column of milliseconds (0 to 999) that adds to each row's time; -1 none.
    int millisecondsColumn = -1;
    // Times of day as logs of other shapes write them: 24:00:00, the end of the
    // day, and a leap second 23:59:60 (the logger's own form writes neither).
    bool clockPastTheDay = false;
    // Values written with a decimal comma.
    bool decimalComma = false;
};

// Called on the reading thread while the read goes on: before each point of a
// block (every sixteenth of a long block, whose second half another thread
// reads) and at least every 1,024 rows elsewhere, with the percent done. Returning
// false stops the read at once.
using Progress = std::function<bool(int percent)>;

enum class End {
    Complete,
    Cancelled,   // the cancel flag was found set before a column
    BadCell,     // `bad` names the cell
    Stopped,     // the progress callback said so
    OutOfMemory, // nothing is kept
    Failed,      // no block, a block outside the table, no row
};

struct Result
{
    End end = End::Failed;
    // What was read, never null: every channel after a complete read; after any
    // other end the channels finished before it, and the one in hand with the
    // values it had (none when it was to fill every row).
    std::shared_ptr<TrendData> data;
    BadCell bad;
    // The index of the block in hand when the read ended.
    int block = -1;
    // The points the read planned to make, for a message when memory runs out.
    qint64 plannedPoints = 0;
    // The times of the run's first and last rows (the smallest first row and the
    // largest last row of the blocks), after a complete read.
    double firstTime = std::numeric_limits<double>::quiet_NaN();
    double lastTime = std::numeric_limits<double>::quiet_NaN();
    // The order the numeric dates were read in, MonthFirst or DayFirst, as soon
    // as the read began: decided by the dates, or the locale's where none decided
    // and some left it open (dateOrderFromLocale). NotAsked: no date asks it
    // (year first, month names). Follow reads the new rows in it.
    LogValueParser::DateOrder dateOrder = LogValueParser::DateOrder::NotAsked;
    bool dateOrderFromLocale = false;
};

// Reads the blocks of `table`. `cancel` is looked at before each column but the
// first: reading the dates and times is part of the first column, so a cancel
// then still completes it. The table must not change until the read returns; a
// long block is read on two threads.
Result read(const LogTable &table, const Request &request, const Progress &progress = {},
            const std::atomic<bool> *cancel = nullptr);

// What a plot run says when the chosen cells hold no value at all: every one is
// empty or a mark.
QString noValueText();
// Whether a complete read found a value in any of its channels.
bool holdsAnyValue(const TrendData &data);

// The first view of a complete read's time axis: the time its samples cover,
// from the earliest to the latest, whatever the order of their rows; around a
// single instant, a minute.
struct TimeView
{
    double span = 0;
    std::optional<double> min; // none: no samples, the axis is fitted to the data
};
TimeView firstTimeView(const Result &result);

// What a followed log's new rows added to a trend.
struct Growth
{
    int added = 0;      // samples appended
    // The first new row without a usable date or time (its date in the other
    // order counts as none); 0: none.
    int leftOutRow = 0;
    double oldEnd = 0;  // the latest time before and after
    double newEnd = 0;
};

// Takes the rows after `oldRowCount` up to the table's last row into `data`,
// which was read from `blocks` of the same log. Blocks of whole columns grow, and
// so does a block that ended at the old last row (its last row moves on to the
// new one); a block that ends above it keeps its rows. Bad cells are gaps. The
// dates are read in `dateOrder`, the read's Result::dateOrder.
Growth grow(const LogTable &table, TrendData &data, QList<GridBlock> &blocks, int oldRowCount,
            LogValueParser::DateOrder dateOrder, const Request &columns = {});

} // namespace trendreader
