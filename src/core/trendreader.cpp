#include "trendreader.h"

#include "logtable.h"
#include "logvalueparser.h"
#include "runtimeerror.h"
#include "trenddata.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace trendreader {

namespace {

// The read ends early: the progress callback said so, or the user cancelled.
struct Stopped
{
};
struct Cancelled
{
};

constexpr double Gap = std::numeric_limits<double>::quiet_NaN();

using DateOrder = LogValueParser::DateOrder;

// What a bad cell does: in a plot run it ends the read; in follow its value is a
// gap.
enum class BadCells { EndTheRead, AreGaps };

// The text of a cell; the file's own bytes widened on the stack where the table
// can give them, so that a million rows cost no allocations.
class CellReader
{
public:
    explicit CellReader(const LogTable &table) : m_table(table) {}

    QStringView text(int col, int row)
    {
        QByteArrayView bytes;
        if (!m_table.rawText(col, row, bytes) || bytes.size() > qsizetype(std::size(m_wide))) {
            m_copy = m_table.text(col, row);
            return m_copy;
        }
        for (qsizetype i = 0; i < bytes.size(); ++i)
            m_wide[i] = char16_t(uchar(bytes[i]));
        return QStringView(m_wide, bytes.size());
    }

    // The one cell -> value rule: NaN for an empty cell, Marked for a mark; a
    // bad cell as the policy says (BadCell thrown, or a gap).
    double value(const LogValueParser &parser, LogTable::ColumnReader &column, int col, int row, BadCells policy)
    {
        try {
            QByteArrayView bytes;
            double y = 0;
            try {
                if (column.rawText(row, bytes) && !bytes.isEmpty() && bytes.front() != ' ')
                    y = parser.number(bytes);
                else
                    y = missingOr(parser, col, row);
            } catch (const RuntimeError &) {
                y = missingOr(parser, col, row);
            }
            if (std::abs(y) > MaxPlotMagnitude)
                throw BadCell{row, col, text(col, row).toString(), u"is too large to plot."_s};
            return y;
        } catch (const BadCell &) {
            if (policy == BadCells::AreGaps)
                return Gap;
            throw;
        }
    }

private:
    // A number in the logger's form whose magnitude no real can hold.
    static bool overflows(QStringView text)
    {
        const QByteArray ascii = text.trimmed().toLatin1();
        double value = 0;
        const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
        return error == std::errc::result_out_of_range && end == ascii.data() + ascii.size();
    }

    double missingOr(const LogValueParser &parser, int col, int row)
    {
        const QStringView t = text(col, row);
        if (isMarkText(t))
            return TrendData::Marked;
        if (isMissingValueText(t))
            return Gap;
        try {
            return parser.number(t);
        } catch (const RuntimeError &) {
            throw BadCell{row, col, t.toString(), overflows(t) ? u"is too large to plot."_s : u"is not a number."_s};
        }
    }

    char16_t m_wide[64];
    QString m_copy;
    const LogTable &m_table;
};

// The first row of each order that the dates read so far showed, and whether
// one left it open.
struct DateShows
{
    int monthFirst = std::numeric_limits<int>::max();
    int dayFirst = std::numeric_limits<int>::max();
    bool open = false;

    void take(const DateShows &other)
    {
        monthFirst = std::min(monthFirst, other.monthFirst);
        dayFirst = std::min(dayFirst, other.dayFirst);
        open = open || other.open;
    }
};

// The time of a row: its date plus its time. Rows of one day share their date
// text, so the last date read is kept. Throws BadCell.
//
// With the parser's order set, a date that can only be read the other way is a
// bad cell. Without it the dates are read in the locale's order (one that can
// only be read the other way is read so) and `shows` notes what they showed, so
// that the caller can decide the order after one pass.
class RowTimes
{
public:
    RowTimes(const LogTable &table, const LogValueParser &parser, const Request &columns, DateShows *shows = nullptr)
        : m_cells(table), m_dates(table.columnReader(columns.dateColumn)), m_times(table.columnReader(columns.timeColumn)),
          m_milliseconds(table.columnReader(std::max(0, columns.millisecondsColumn))), m_parser(parser),
          m_dateColumn(columns.dateColumn), m_timeColumn(columns.timeColumn),
          m_millisecondsColumn(columns.millisecondsColumn), m_shows(shows), m_form(columns.timeForm),
          m_order(columns.timeOrder), m_pastTheDay(columns.clockPastTheDay)
    {
    }

    double at(int row)
    {
        const double time = clockTime(row);
        return m_millisecondsColumn < 0 ? time : time + milliseconds(row) / 86'400'000.0;
    }

private:
    double clockTime(int row)
    {
        QByteArrayView bytes;
        if (m_form != logshape::TimeForm::DateAndTime) {
            try {
                if (m_dates.rawText(row, bytes))
                    return logshape::readTime(bytes, m_form, m_order);
                return logshape::readTime(m_cells.text(m_dateColumn, row), m_form, m_order);
            } catch (const RuntimeError &) {
                throw BadCell{row, m_dateColumn, m_cells.text(m_dateColumn, row).toString(),
                              m_form == logshape::TimeForm::DateOnly ? u"is not a date."_s : u"is not a time."_s};
            }
        }
        if (m_dates.rawText(row, bytes)) {
            if (bytes != m_lastDateBytes) {
                m_lastDate = date(row, m_cells.text(m_dateColumn, row));
                m_lastDateBytes = bytes.toByteArray();
                m_lastDateText = u"\n"_s;
            }
        } else if (const QStringView dateText = m_cells.text(m_dateColumn, row); dateText != m_lastDateText) {
            m_lastDate = date(row, dateText);
            m_lastDateText = dateText.toString();
            m_lastDateBytes = "\n";
        }
        try {
            if (m_times.rawText(row, bytes))
                return m_lastDate + m_parser.time(bytes);
            return m_lastDate + m_parser.time(m_cells.text(m_timeColumn, row));
        } catch (const RuntimeError &) {
            const QString text = m_cells.text(m_timeColumn, row).toString();
            if (m_pastTheDay)
                if (const std::optional<double> late = logshape::clockPastTheDay(text))
                    return m_lastDate + *late;
            throw BadCell{row, m_timeColumn, text, u"is not a time."_s};
        }
    }

    // The row's milliseconds, 0 for an empty cell.
    double milliseconds(int row)
    {
        QByteArrayView bytes;
        QStringView text;
        if (m_milliseconds.rawText(row, bytes)) {
            if (bytes.trimmed().isEmpty())
                return 0;
        } else {
            text = m_cells.text(m_millisecondsColumn, row);
            if (text.trimmed().isEmpty())
                return 0;
        }
        try {
            const double ms = text.isNull() ? m_parser.number(bytes) : m_parser.number(text);
            if (ms >= 0 && ms < 1000)
                return ms;
        } catch (const RuntimeError &) {
        }
        throw BadCell{row, m_millisecondsColumn, m_cells.text(m_millisecondsColumn, row).toString(), u"is not a number."_s};
    }

    double date(int row, QStringView text) const
    {
        const DateOrder order = m_parser.dateOrder();
        const DateOrder shown = m_parser.orderShownBy(text);
        if (order == DateOrder::Open) {
            if (m_shows) {
                if (shown == DateOrder::MonthFirst)
                    m_shows->monthFirst = std::min(m_shows->monthFirst, row);
                else if (shown == DateOrder::DayFirst)
                    m_shows->dayFirst = std::min(m_shows->dayFirst, row);
                else if (shown == DateOrder::Open)
                    m_shows->open = true;
            }
        } else if (shown != order && (shown == DateOrder::MonthFirst || shown == DateOrder::DayFirst)) {
            // A date that can only be read the other way is told as such, not
            // read as no date.
            throw contradiction(row, m_dateColumn, text.toString(), order);
        }
        try {
            return m_parser.date(text);
        } catch (const RuntimeError &) {
            throw BadCell{row, m_dateColumn, text.toString(), u"is not a date."_s};
        }
    }

public:
    static BadCell contradiction(int row, int col, const QString &text, DateOrder order)
    {
        return BadCell{row, col, text,
                       order == DateOrder::DayFirst ? u"does not fit the day-first dates above it."_s
                                                    : u"does not fit the month-first dates above it."_s};
    }

private:
    CellReader m_cells;
    LogTable::ColumnReader m_dates;
    LogTable::ColumnReader m_times;
    LogTable::ColumnReader m_milliseconds;
    const LogValueParser &m_parser;
    int m_dateColumn;
    int m_timeColumn;
    int m_millisecondsColumn;
    DateShows *m_shows;
    logshape::TimeForm m_form;
    LogValueParser::DateOrder m_order;
    bool m_pastTheDay;
    // The last date read, as bytes or as text; no date holds a line end.
    QByteArray m_lastDateBytes = "\n";
    QString m_lastDateText = u"\n"_s;
    double m_lastDate = 0;
};

// The order the dates of `col` show on the rows from `first` to `last` that
// `skip` does not pass over: the first one, in line order, that can only be read
// one way decides it, and the look ends there. Open when dates leave it open and
// none decides, NotAsked when none asks; `row` is set to the deciding row. Rows
// of one day share their date, so each run of equal dates is asked once. `tick`
// is called every 1,024 rows.
DateOrder orderOfColumn(const LogTable &table, const LogValueParser &parser, int col, int first, int last,
                        const std::function<bool(int)> &skip, const std::function<void()> &tick, int &row)
{
    CellReader cells(table);
    LogTable::ColumnReader dates = table.columnReader(col);
    QByteArray lastBytes = "\n";
    QString lastText = u"\n"_s;
    DateOrder found = DateOrder::NotAsked;
    for (row = first; row <= last; ++row) {
        if ((row & 1023) == 0)
            tick();
        if (skip(row))
            continue;
        QByteArrayView bytes;
        QStringView text;
        if (dates.rawText(row, bytes)) {
            if (bytes == lastBytes)
                continue;
            lastBytes = bytes.toByteArray();
            lastText = u"\n"_s;
            text = cells.text(col, row);
        } else {
            text = cells.text(col, row);
            if (text == lastText)
                continue;
            lastText = text.toString();
            lastBytes = "\n";
        }
        switch (parser.orderShownBy(text)) {
        case DateOrder::MonthFirst:
            return DateOrder::MonthFirst;
        case DateOrder::DayFirst:
            return DateOrder::DayFirst;
        case DateOrder::Open:
            found = DateOrder::Open;
            break;
        case DateOrder::NotAsked:
            break;
        }
    }
    return found;
}

// The order the steps of the dates show (see logshape::DateSteps), over the rows from
// 1 to `last`: each change of the date is looked at with the rows on both sides of it.
// `tick` is called every 1,024 rows.
DateOrder orderOfSteps(const LogTable &table, const LogValueParser &parser, int dateColumn, int timeColumn, int last,
                       const std::function<void()> &tick)
{
    LogValueParser monthFirst = parser;
    LogValueParser dayFirst = parser;
    monthFirst.setDateOrder(DateOrder::MonthFirst);
    dayFirst.setDateOrder(DateOrder::DayFirst);
    CellReader cells(table);
    logshape::DateSteps steps;
    const auto take = [&](int row) {
        const QString date = cells.text(dateColumn, row).toString();
        const auto read = [&date](const LogValueParser &p) {
            try {
                return p.date(date);
            } catch (const RuntimeError &) {
                return std::numeric_limits<double>::quiet_NaN();
            }
        };
        double clock = std::numeric_limits<double>::quiet_NaN();
        try {
            clock = parser.time(cells.text(timeColumn, row));
        } catch (const RuntimeError &) {
        }
        steps.take(read(monthFirst), read(dayFirst), clock);
    };
    LogTable::ColumnReader dates = table.columnReader(dateColumn);
    QString lastDate;
    for (int row = 1; row <= last; ++row) {
        if ((row & 1023) == 0)
            tick();
        QByteArrayView bytes;
        const QString date = dates.rawText(row, bytes) ? QString::fromLatin1(bytes) : cells.text(dateColumn, row).toString();
        if (row > 1 && date == lastDate)
            continue;
        if (row > 1)
            take(row - 1);
        take(row);
        lastDate = date;
    }
    return steps.verdict();
}

// Half of a long stretch of rows, read on a thread of its own while the calling
// thread reads the other half. The table is only read; each half touches its own
// rows.
class RowsOnTheSide
{
public:
    // Runs `work(stop)` on the thread; `stop` asks it to end early.
    void start(std::function<void(const std::atomic<bool> &stop)> work)
    {
        m_thread = std::thread([this, work = std::move(work)] {
            try {
                work(m_stop);
            } catch (...) {
                m_error = std::current_exception();
            }
            m_done = true;
        });
    }
    bool running() const { return m_thread.joinable(); }
    // Asks the thread to end early; finish() still waits for it.
    void stop() { m_stop = true; }
    // Waits for the thread while `tick` keeps the caller's side going, then
    // rethrows what the thread threw.
    void finish(const std::function<void()> &tick)
    {
        while (!m_done) {
            tick();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        m_thread.join();
        if (m_error)
            std::rethrow_exception(m_error);
    }
    ~RowsOnTheSide()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::exception_ptr m_error;
};

// Blocks of at least this many rows are read in two halves at once.
constexpr int SplitRows = 20000;

// A block of several columns is read this many rows at a time across all its
// columns: the rows' text and line index stay in the processor's cache from one
// column to the next, where a whole column at a time would fetch every line of
// a large log from memory once per column.
constexpr int AcrossRows = 2048;

// What one thread's half of a block read across came to.
struct AcrossHalf
{
    int reached = 0; // the rows before it were read in every column still read
    std::vector<std::optional<BadCell>> bad; // per column, the half's first bad cell
};

// A selected block with its row corners made real.
struct RunBlock
{
    GridBlock corners;
    int firstRow;
    int lastRow;
};

// Where each grid row's sample sits in the time column: an offset when the
// selected rows run without a hole (the common case, no table), else a table.
struct RowIndex
{
    int offset = 0;
    std::vector<qint32> table;

    qsizetype operator()(int row) const { return table.empty() ? qsizetype(row) - offset : table[size_t(row)]; }
};

// One read of a request: the time column first, then the blocks' columns.
class Reader
{
public:
    Reader(const LogTable &table, const Request &request, const Progress &progress, Result &result)
        : m_table(table), m_request(request), m_progress(progress), m_result(result), m_data(*result.data)
    {
        m_parser.setDecimalComma(request.decimalComma);
    }

    void run(const std::atomic<bool> *cancel);
    // The channel in hand when the read ended holds no values.
    void dropUnfinished();

private:
    void takeBlocks();
    void readTimes();
    // Decides the dates' order from what the read rows showed and the other rows
    // of the date column; throws the first read date before `limit` that
    // contradicts it. Returns whether the rows must be read again in it.
    bool settleDateOrder(int limit);
    // Fills the trend's times: `again` rereads the rows already there.
    void fillTimeColumn(bool again);
    bool fillWithoutHoles(int lowest, int highest, bool again);
    bool wasRead(int row) const;
    // Whether the block selects every row of the read: its channels are then
    // made without values, and it writes every one.
    bool coversEveryRow(const RunBlock &block) const;
    bool readsAcross(const RunBlock &block) const;
    // Brings a channel's summaries up to date a slice at a time, with `tick` between.
    void summarizeInSlices(int channel, const std::function<void()> &tick);
    void readAcross(const RunBlock &block, int firstChannel, qint64 rowSpan);
    // Reads rows `from` to `to` of every column of the block a stretch at a
    // time; a column whose bad cell was met is read no further, nor is any
    // column right of the leftmost such column of both halves. `between` is
    // called after each column of each stretch with the rows it read, and
    // false from it ends the read.
    void readRowsAcross(const RunBlock &block, const std::vector<double *> &values, const LogValueParser &parser,
                        int from, int to, AcrossHalf &half, std::atomic<int> &badColumn,
                        const std::function<bool(int rows)> &between) const;
    void readColumn(const RunBlock &block, int col, int channel, qint64 columns, qint64 rowSpan);
    void tick(int percent)
    {
        if (m_progress && !m_progress(percent))
            throw Stopped{};
    }

    const LogTable &m_table;
    const Request &m_request;
    const Progress &m_progress;
    const std::atomic<bool> *m_cancel = nullptr;
    Result &m_result;
    TrendData &m_data;
    LogValueParser m_parser;
    std::vector<RunBlock> m_blocks;
    RowIndex m_index;
    qsizetype m_timeRows = 0;
    DateShows m_shows;     // what the rows read on this thread showed
    DateShows m_sideShows; // and those read on the side
    qint64 m_points = 0;
    // The channel in hand; channels after it were read across with it.
    int m_unfinished = -1;
};

void Reader::takeBlocks()
{
    const int rows = m_table.rowCount();
    for (const GridBlock &corners : m_request.blocks) {
        const int firstRow = corners.firstRow == -1 ? 1 : corners.firstRow;
        const int lastRow = corners.lastRow == -1 ? rows : corners.lastRow;
        if (firstRow < 0 || lastRow > rows)
            throw RuntimeError(RuntimeError::SubscriptOutOfRange);
        m_blocks.push_back({corners, firstRow, lastRow});
        m_result.plannedPoints +=
            (qint64(corners.lastCol) - corners.firstCol + 1) * std::max(0, lastRow - firstRow + 1);
    }
    if (m_blocks.empty())
        throw RuntimeError(RuntimeError::InvalidCall);
}

// The dates of a column are read in one order. The times are read in the
// locale's order while the dates note what they show; the order is then
// decided, and only where it is the other one are the times read again.
void Reader::readTimes()
{
    // A time in one column of its own form asks no order of the rows.
    if (m_request.timeForm != logshape::TimeForm::DateAndTime) {
        fillTimeColumn(false);
        m_result.dateOrder = m_request.timeOrder;
        return;
    }
    try {
        fillTimeColumn(false);
    } catch (const BadCell &bad) {
        settleDateOrder(bad.row);
        throw;
    }
    if (settleDateOrder(std::numeric_limits<int>::max()))
        fillTimeColumn(true);
}

bool Reader::wasRead(int row) const
{
    if (!m_index.table.empty())
        return m_index.table[size_t(row)] >= 0;
    return row >= m_index.offset && qsizetype(row) - m_index.offset < m_timeRows;
}

bool Reader::settleDateOrder(int limit)
{
    DateShows shows = m_shows;
    shows.take(m_sideShows);
    const int readDecides = std::min(shows.monthFirst, shows.dayFirst);
    DateOrder order = readDecides == shows.monthFirst && readDecides != std::numeric_limits<int>::max()
                          ? DateOrder::MonthFirst
                          : readDecides == shows.dayFirst && readDecides != std::numeric_limits<int>::max()
                                ? DateOrder::DayFirst
                                : DateOrder::NotAsked;
    // Rows the read passed over may decide it earlier in the column.
    const int rows = m_table.rowCount();
    const int lookTo = order == DateOrder::NotAsked ? rows : readDecides - 1;
    const bool allRead = m_index.table.empty() && m_index.offset <= 1 && m_index.offset + m_timeRows - 1 >= lookTo;
    if (lookTo >= 1 && !allRead) {
        int row = 0;
        const DateOrder unread = orderOfColumn(
            m_table, m_parser, m_request.dateColumn, 1, lookTo, [this](int r) { return wasRead(r); },
            [this] { tick(0); }, row);
        if (unread == DateOrder::MonthFirst || unread == DateOrder::DayFirst)
            order = unread;
        else
            shows.open = shows.open || unread == DateOrder::Open;
    }
    // No date decides: the steps from one day to the next may, and only where they
    // do not does the locale.
    if (order == DateOrder::NotAsked && shows.open)
        order = orderOfSteps(m_table, m_parser, m_request.dateColumn, m_request.timeColumn, rows, [this] { tick(0); });
    if (order == DateOrder::NotAsked && shows.open) {
        order = m_parser.localeOrder();
        m_result.dateOrderFromLocale = true;
    }
    m_result.dateOrder = order;
    const int contradicting = order == DateOrder::MonthFirst ? shows.dayFirst
                              : order == DateOrder::DayFirst  ? shows.monthFirst
                                                              : std::numeric_limits<int>::max();
    if (contradicting < limit)
        throw RowTimes::contradiction(contradicting, m_request.dateColumn,
                                      m_table.text(m_request.dateColumn, contradicting), order);
    if (order != DateOrder::MonthFirst && order != DateOrder::DayFirst)
        return false;
    const bool again = order != m_parser.localeOrder();
    m_parser.setDateOrder(order);
    return again;
}

// The time column of the read: every row that some block selects, in grid order,
// with its time.
void Reader::fillTimeColumn(bool again)
{
    const int rows = m_table.rowCount();
    std::vector<std::pair<int, int>> ranges;
    for (const RunBlock &b : m_blocks)
        ranges.emplace_back(std::max(0, b.firstRow), std::min(rows, b.lastRow));
    std::sort(ranges.begin(), ranges.end());
    int highest = ranges.front().second;
    bool holes = false;
    for (const auto &[first, last] : ranges) {
        holes = holes || first > highest + 1;
        highest = std::max(highest, last);
    }
    m_index.offset = ranges.front().first;
    if (!holes && fillWithoutHoles(ranges.front().first, highest, again))
        return;
    RowTimes times(m_table, m_parser, m_request, &m_shows);
    if (again) {
        for (int r = 0; r <= rows; ++r) {
            if (m_index.table[size_t(r)] >= 0)
                m_data.setRow(m_index.table[size_t(r)], times.at(r), r);
        }
        m_data.rowsChanged();
        return;
    }
    std::vector<bool> wanted(size_t(rows) + 1, false);
    for (const auto &[first, last] : ranges) {
        for (int r = first; r <= last; ++r)
            wanted[size_t(r)] = true;
    }
    m_data.reserve(std::count(wanted.begin(), wanted.end(), true));
    m_index.table.assign(size_t(rows) + 1, -1);
    qsizetype done = 0;
    for (int r = 0; r <= rows; ++r) {
        if (!wanted[size_t(r)])
            continue;
        if ((++done & 1023) == 0)
            tick(0);
        m_index.table[size_t(r)] = qint32(m_data.appendRow(times.at(r), r));
    }
}

// Rows lowest to highest, all of them: a long stretch has its second half read
// on the side. False when there are none.
bool Reader::fillWithoutHoles(int lowest, int highest, bool again)
{
    if (highest < lowest)
        return false;
    const qsizetype count = qsizetype(highest) - lowest + 1;
    qsizetype first = 0;
    if (!again) {
        // The rows' room is made a slice at a time: millions of rows take a
        // while to clear, and the progress goes on meanwhile.
        m_data.reserve(count);
        constexpr qsizetype Slice = qsizetype(1) << 20;
        first = m_data.rowCount();
        for (qsizetype made = 0; made < count; made += Slice) {
            m_data.appendRows(std::min(Slice, count - made));
            tick(0);
        }
        m_timeRows = count;
    }
    const int middle = count >= SplitRows ? lowest + int(count / 2) : highest + 1;
    RowsOnTheSide side;
    if (middle <= highest) {
        side.start([&, middle](const std::atomic<bool> &stop) {
            LogValueParser ownParser;
            ownParser.setDateOrder(m_parser.dateOrder());
            ownParser.setDecimalComma(m_request.decimalComma);
            RowTimes ownTimes(m_table, ownParser, m_request, &m_sideShows);
            for (int r = middle; r <= highest; ++r) {
                if ((r & 1023) == 0 && stop)
                    return;
                m_data.setRow(first + r - lowest, ownTimes.at(r), r);
            }
        });
    }
    RowTimes times(m_table, m_parser, m_request, &m_shows);
    for (int r = lowest; r < middle; ++r) {
        // The values that follow report once per point; the times, read first,
        // every 1,024 rows.
        if (((r - lowest + 1) & 1023) == 0)
            tick(0);
        m_data.setRow(first + r - lowest, times.at(r), r);
    }
    if (side.running())
        side.finish([&] { tick(0); });
    m_data.rowsChanged();
    return true;
}

void Reader::readColumn(const RunBlock &block, int col, int channel, qint64 columns, qint64 rowSpan)
{
    const bool everyRow = coversEveryRow(block);
    if (everyRow)
        m_data.addUnfilledChannel(m_table.text(col, 0));
    else
        m_data.addChannel(m_table.text(col, 0));
    m_data.setSourceColumn(channel, col);
    m_unfinished = everyRow ? channel : -1;
    double *values = m_data.values(channel);
    // A long block's second half is read on the side; each row read here then
    // stands for two in the progress.
    const qint64 blockRows = qint64(block.lastRow) - block.firstRow + 1;
    const bool split = blockRows >= SplitRows && m_index.table.empty();
    const int middle = split ? block.firstRow + int(blockRows / 2) : block.lastRow + 1;
    const qint64 pointsBefore = m_points;
    RowsOnTheSide side;
    if (split) {
        side.start([&, col, middle, values](const std::atomic<bool> &stop) {
            LogValueParser ownParser;
            ownParser.setDecimalComma(m_request.decimalComma);
            CellReader ownCells(m_table);
            LogTable::ColumnReader ownColumn = m_table.columnReader(col);
            for (int row = middle; row <= block.lastRow; ++row) {
                if ((row & 1023) == 0 && stop)
                    return;
                values[m_index(row)] = ownCells.value(ownParser, ownColumn, col, row, BadCells::EndTheRead);
            }
        });
    }
    // In a long block the progress is reported every sixteenth row: far more
    // often than it can change.
    const int every = split ? 16 : 1;
    CellReader cells(m_table);
    LogTable::ColumnReader column = m_table.columnReader(col);
    for (int row = block.firstRow; row < middle; ++row) {
        if ((row - block.firstRow) % every == 0)
            tick(progressPercent(m_points, columns, rowSpan));
        m_points += split ? 2 : 1;
        values[m_index(row)] = cells.value(m_parser, column, col, row, BadCells::EndTheRead);
        // Summaries follow in slices, so that the end of the read has none left.
        if ((row & 0xFFFF) == 0)
            m_data.summarize(channel, m_index(row));
    }
    if (split)
        side.finish([&] { tick(progressPercent(m_points, columns, rowSpan)); });
    m_points = pointsBefore + blockRows;
    m_unfinished = -1;
    // The half read on the side is summarised in slices, with ticks between.
    summarizeInSlices(channel, [&] {
        if (split)
            tick(progressPercent(m_points, columns, rowSpan));
    });
}

void Reader::summarizeInSlices(int channel, const std::function<void()> &tick)
{
    for (qsizetype upTo = 0; upTo < m_data.rowCount(); upTo += qsizetype(1) << 18) {
        m_data.summarize(channel, upTo);
        tick();
    }
    m_data.summarize(channel);
}

bool Reader::coversEveryRow(const RunBlock &block) const
{
    return m_index.table.empty() && block.firstRow == m_index.offset
           && qsizetype(block.lastRow) - block.firstRow + 1 == m_data.rowCount();
}

bool Reader::readsAcross(const RunBlock &block) const
{
    return block.corners.lastCol > block.corners.firstCol && block.lastRow - block.firstRow + 1 >= SplitRows
           && coversEveryRow(block);
}

void Reader::readRowsAcross(const RunBlock &block, const std::vector<double *> &values, const LogValueParser &parser,
                            int from, int to, AcrossHalf &half, std::atomic<int> &badColumn,
                            const std::function<bool(int rows)> &between) const
{
    const int firstCol = block.corners.firstCol;
    const int count = int(values.size());
    CellReader cells(m_table);
    std::vector<std::unique_ptr<LogTable::ColumnReader>> columns;
    for (int c = 0; c < count; ++c)
        columns.emplace_back(new LogTable::ColumnReader(m_table.columnReader(firstCol + c)));
    half.bad.assign(size_t(count), std::nullopt);
    half.reached = from;
    for (int stretch = from; stretch <= to; stretch += AcrossRows) {
        const int end = std::min(to, stretch + AcrossRows - 1);
        for (int c = 0; c < count; ++c) {
            if (c > badColumn.load(std::memory_order_relaxed) || half.bad[size_t(c)])
                continue;
            double *v = values[size_t(c)];
            try {
                for (int row = stretch; row <= end; ++row)
                    v[m_index(row)] = cells.value(parser, *columns[size_t(c)], firstCol + c, row, BadCells::EndTheRead);
            } catch (const BadCell &bad) {
                half.bad[size_t(c)] = bad;
                int lowest = badColumn.load();
                while (c < lowest && !badColumn.compare_exchange_weak(lowest, c)) {
                }
            }
            if (!between(end - stretch + 1))
                return;
        }
        half.reached = end + 1;
    }
}

// The outcome is the one a column at a time would have come to: the leftmost
// column with a bad cell ends the read at its first one, with the columns left
// of it complete; a cancel is taken as given during the block's first column,
// which is finished first.
void Reader::readAcross(const RunBlock &block, int firstChannel, qint64 rowSpan)
{
    const int firstCol = block.corners.firstCol;
    const int count = block.corners.lastCol - firstCol + 1;
    const auto progress = [&] { tick(progressPercent(m_points, count, rowSpan)); };
    for (int c = 0; c < count; ++c)
        m_data.setSourceColumn(m_data.addUnfilledChannel(m_table.text(firstCol + c, 0)), firstCol + c);
    m_unfinished = firstChannel;
    std::vector<double *> values;
    for (int c = 0; c < count; ++c)
        values.push_back(m_data.values(firstChannel + c));

    const qint64 pointsBefore = m_points;
    const int middle = block.firstRow + (block.lastRow - block.firstRow + 1) / 2;
    std::atomic<int> badColumn{count};
    AcrossHalf mine;
    AcrossHalf theirs;
    RowsOnTheSide side;
    side.start([&](const std::atomic<bool> &stop) {
        LogValueParser ownParser;
        ownParser.setDecimalComma(m_request.decimalComma);
        readRowsAcross(block, values, ownParser, middle, block.lastRow, theirs, badColumn, [&](int) { return !stop; });
    });
    bool cancelled = false;
    // Each row read here stands for two in the progress.
    readRowsAcross(block, values, m_parser, block.firstRow, middle - 1, mine, badColumn, [&](int rows) {
        m_points += 2 * qint64(rows);
        progress();
        cancelled = m_cancel && m_cancel->load();
        return !cancelled;
    });
    if (cancelled)
        side.stop();
    side.finish(progress);

    const int columnsLeft = cancelled ? 1 : count;
    for (int c = 0; c < columnsLeft; ++c) {
        const std::optional<BadCell> &bad = mine.bad[size_t(c)] ? mine.bad[size_t(c)] : theirs.bad[size_t(c)];
        if (bad) {
            m_unfinished = firstChannel + c;
            throw *bad;
        }
    }
    if (cancelled) {
        // The first column's rows that neither half came to.
        m_unfinished = firstChannel;
        CellReader cells(m_table);
        LogTable::ColumnReader column = m_table.columnReader(firstCol);
        for (const auto &[from, to] : {std::pair(mine.reached, middle - 1), std::pair(theirs.reached, block.lastRow)}) {
            for (int row = from; row <= to; ++row)
                values[0][m_index(row)] = cells.value(m_parser, column, firstCol, row, BadCells::EndTheRead);
        }
        m_data.keepChannels(firstChannel + 1);
        m_data.summarize(firstChannel);
        m_unfinished = -1;
        throw Cancelled{};
    }
    m_points = pointsBefore + qint64(count) * (qint64(block.lastRow) - block.firstRow + 1);
    m_unfinished = -1;
    for (int c = 0; c < count; ++c)
        summarizeInSlices(firstChannel + c, progress);
}

void Reader::run(const std::atomic<bool> *cancel)
{
    m_cancel = cancel;
    takeBlocks();
    readTimes();
    if (m_data.rowCount() == 0)
        throw RuntimeError(RuntimeError::InvalidCall);
    int channel = 0;
    int runFirstRow = m_blocks.front().firstRow;
    int runLastRow = m_blocks.front().lastRow;
    for (size_t b = 0; b < m_blocks.size(); ++b) {
        const RunBlock &block = m_blocks[b];
        m_result.block = int(b);
        runFirstRow = std::min(runFirstRow, block.firstRow);
        runLastRow = std::max(runLastRow, block.lastRow);
        const qint64 rowSpan = qint64(runLastRow) - runFirstRow;
        const qint64 columns = qint64(block.corners.lastCol) - block.corners.firstCol + 1;
        if (readsAcross(block)) {
            if (channel > 0 && cancel && cancel->load())
                throw Cancelled{};
            readAcross(block, channel, rowSpan);
            channel += int(columns);
            continue;
        }
        for (int col = block.corners.firstCol; col <= block.corners.lastCol; ++col, ++channel) {
            // The dates and times were read as part of the first column.
            if (channel > 0 && cancel && cancel->load())
                throw Cancelled{};
            readColumn(block, col, channel, columns, rowSpan);
        }
    }
    m_result.firstTime = m_data.time(m_index(runFirstRow));
    m_result.lastTime = m_data.time(m_index(runLastRow));
}

void Reader::dropUnfinished()
{
    if (m_unfinished < 0)
        return;
    m_data.keepChannels(m_unfinished + 1);
    std::fill_n(m_data.values(m_unfinished), m_data.rowCount(), TrendData::Absent);
    m_data.valuesChanged(m_unfinished, 0);
}

} // namespace

bool isMissingValueText(QStringView text)
{
    return text.trimmed().isEmpty() || isMarkText(text);
}

bool isMarkText(QStringView text)
{
    const QStringView t = text.trimmed();
    return !t.isEmpty() && std::none_of(t.begin(), t.end(), [](QChar c) { return c.isDigit(); });
}

int progressPercent(long long points, long long columns, long long rowSpan)
{
    const double divisor = double(columns) * double(rowSpan);
    if (!(divisor > 0))
        return 100;
    const double percent = std::nearbyint(100.0 * double(points) / divisor);
    return percent > 99 ? 100 : int(percent);
}

QString describe(const LogTable &table, const BadCell &bad)
{
    constexpr qsizetype Longest = 40;
    const QString text = bad.text.size() > Longest ? bad.text.left(Longest) + u"..."_s : bad.text;
    return u"Line %1, column \"%2\": \"%3\" %4"_s.arg(table.fileLine(bad.row)).arg(table.text(bad.col, 0), text, bad.what);
}

Result read(const LogTable &table, const Request &request, const Progress &progress, const std::atomic<bool> *cancel)
{
    Result result;
    result.data = std::make_shared<TrendData>();
    Reader reader(table, request, progress, result);
    try {
        reader.run(cancel);
        result.end = End::Complete;
        return result;
    } catch (const Stopped &) {
        result.end = End::Stopped;
    } catch (const Cancelled &) {
        result.end = End::Cancelled;
    } catch (const BadCell &bad) {
        result.end = End::BadCell;
        result.bad = bad;
    } catch (const std::bad_alloc &) {
        // What was built goes, so that the program can go on.
        result.end = End::OutOfMemory;
        result.data = std::make_shared<TrendData>();
        return result;
    } catch (...) {
        result.end = End::Failed;
    }
    reader.dropUnfinished();
    return result;
}

QString noValueText()
{
    return u"no value to plot: every chosen cell is empty or a mark"_s;
}

bool holdsAnyValue(const TrendData &data)
{
    for (int ch = 0; ch < data.channelCount(); ++ch)
        if (data.stats(ch).count > 0)
            return true;
    return false;
}

TimeView firstTimeView(const Result &result)
{
    // The earliest and latest samples, wherever their rows are: a log written
    // out of time order is covered whole, not from its first row to its last.
    const TrendData &data = *result.data;
    double lowest = std::numeric_limits<double>::infinity();
    double highest = -lowest;
    for (qsizetype i = 0; i < data.rowCount(); ++i) {
        lowest = std::min(lowest, data.time(i));
        highest = std::max(highest, data.time(i));
    }
    if (highest > lowest)
        return {highest - lowest, lowest};
    constexpr double Minute = 1.0 / 1440;
    if (std::isfinite(lowest))
        return {Minute, lowest - Minute / 2};
    return {Minute, std::nullopt};
}

Growth grow(const LogTable &table, TrendData &data, QList<GridBlock> &blocks, int oldRowCount,
            LogValueParser::DateOrder dateOrder, const Request &columns)
{
    Growth growth;
    const int rows = table.rowCount();
    if (rows <= oldRowCount || data.rowCount() == 0)
        return growth;
    // The channels of the growing blocks, in the order the read made them.
    std::vector<std::pair<int, int>> growing; // channel, grid column
    int channel = 0;
    for (GridBlock &block : blocks) {
        const bool grows = block.lastRow == -1 || block.lastRow >= oldRowCount;
        for (int col = block.firstCol; col <= block.lastCol; ++col, ++channel) {
            if (grows)
                growing.emplace_back(channel, col);
        }
        if (grows && block.lastRow != -1)
            block.lastRow = rows;
    }
    if (growing.empty() || channel != data.channelCount())
        return growth;

    data.sortByTime();
    growth.oldEnd = growth.newEnd = data.time(data.rowCount() - 1);
    LogValueParser parser;
    parser.setDateOrder(dateOrder);
    parser.setDecimalComma(columns.decimalComma);
    RowTimes times(table, parser, columns);
    std::vector<std::pair<qsizetype, int>> added; // sample, grid row
    for (int row = oldRowCount + 1; row <= rows; ++row) {
        try {
            const double time = times.at(row);
            added.emplace_back(data.appendRow(time, row), row);
        } catch (const BadCell &) {
            if (growth.leftOutRow == 0)
                growth.leftOutRow = row;
        }
    }
    if (added.empty())
        return growth;
    CellReader cells(table);
    for (const auto &[ch, col] : growing) {
        LogTable::ColumnReader column = table.columnReader(col);
        for (const auto &[sample, row] : added)
            data.setValue(ch, sample, cells.value(parser, column, col, row, BadCells::AreGaps));
    }
    growth.added = int(added.size());
    data.sortByTime();
    growth.newEnd = data.time(data.rowCount() - 1);
    return growth;
}

} // namespace trendreader
