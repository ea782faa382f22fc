#include "trendbuilder.h"

#include "core/logvalueparser.h"
#include "core/pathhelper.h"
#include "trendwindow.h"

#include "controls/gridcontrol.h"
#include "controls/plotcontrol.h"
#include "core/runtimeerror.h"
#include "controls/slider.h"
#include "core/trenddata.h"
#include "shell/mainframe.h"
#include "shell/sharedstate.h"
#include "shell/steps.h"
#include "shell/uiservices.h"
#include "trendsetup/trendmemory.h"
#include "trendsetup/trendsettings.h"

#include <QPointer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <charconv>
#include <cmath>
#include <limits>
#include <functional>
#include <memory>
#include <new>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The run ends early: cancelled by the user, or its windows went away under it.
struct RunStopped
{
    bool cancelled;
};

// A cell whose text cannot be plotted; `what` finishes the sentence about it.
struct BadCell
{
    int row;
    int col;
    QString text;
    QString what;
};

// The text of a cell; the file's own bytes widened on the stack where the grid can
// give them, so that a million rows cost no allocations.
class CellReader
{
public:
    explicit CellReader(const GridControl &grid) : m_grid(grid) {}

    QStringView text(int col, int row)
    {
        QByteArrayView bytes;
        if (!m_grid.cellRawText(col, row, bytes) || bytes.size() > qsizetype(std::size(m_wide))) {
            m_copy = m_grid.cellText(col, row);
            return m_copy;
        }
        for (qsizetype i = 0; i < bytes.size(); ++i)
            m_wide[i] = char16_t(uchar(bytes[i]));
        return QStringView(m_wide, bytes.size());
    }

    // The value of a cell: NaN for a missing sample; throws BadCell for a text that
    // is no number or too large.
    double value(const LogValueParser &parser, LogTable::ColumnReader &column, int col, int row)
    {
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
        if (isMissingValueText(t))
            return std::numeric_limits<double>::quiet_NaN();
        try {
            return parser.number(t);
        } catch (const RuntimeError &) {
            throw BadCell{row, col, t.toString(), overflows(t) ? u"is too large to plot."_s : u"is not a number."_s};
        }
    }

    char16_t m_wide[64];
    QString m_copy;
    const GridControl &m_grid;
};

// The X value of a grid row. Rows of one day share their date text, so the last
// date read is kept.
class RowTimes
{
public:
    RowTimes(const GridControl &grid, const LogValueParser &parser)
        : m_cells(grid), m_dates(grid.columnReader(0)), m_times(grid.columnReader(1)), m_parser(parser)
    {
    }

    double at(int row)
    {
        QByteArrayView bytes;
        if (m_dates.rawText(row, bytes)) {
            if (bytes != m_lastDateBytes) {
                m_lastDate = date(row, m_cells.text(0, row));
                m_lastDateBytes = bytes.toByteArray();
                m_lastDateText = u"\n"_s;
            }
        } else if (const QStringView dateText = m_cells.text(0, row); dateText != m_lastDateText) {
            m_lastDate = date(row, dateText);
            m_lastDateText = dateText.toString();
            m_lastDateBytes = "\n";
        }
        try {
            if (m_times.rawText(row, bytes))
                return m_lastDate + m_parser.time(bytes);
            return m_lastDate + m_parser.time(m_cells.text(1, row));
        } catch (const RuntimeError &) {
            throw BadCell{row, 1, m_cells.text(1, row).toString(), u"is not a time."_s};
        }
    }

private:
    double date(int row, QStringView text) const
    {
        try {
            return m_parser.date(text);
        } catch (const RuntimeError &) {
            throw BadCell{row, 0, text.toString(), u"is not a date."_s};
        }
    }

    CellReader m_cells;
    LogTable::ColumnReader m_dates;
    LogTable::ColumnReader m_times;
    const LogValueParser &m_parser;
    // The last date read, as bytes or as text; no date holds a line end.
    QByteArray m_lastDateBytes = "\n";
    QString m_lastDateText = u"\n"_s;
    double m_lastDate = 0;
};

// Half of a long stretch of rows, read on a thread of its own while the interface
// thread reads the other half with its yields. The table is only read; each half
// touches its own rows.
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
    bool done() const { return m_done; }
    // Waits for the thread, then rethrows what it threw.
    void finish()
    {
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

// Waits for the other half, letting the interface work meanwhile.
void awaitOtherHalf(RowsOnTheSide &side, const std::function<void()> &yieldToUser)
{
    while (!side.done()) {
        yieldToUser();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    side.finish();
}

void showTrendWindow(TrendWindow &trend)
{
    if (trend.isVisible()) {
        trend.showNormal();
        trend.setFocus();
        trend.raise();
        return;
    }
    // A stored key that is no number gives way to its default instead of failing
    // every plot run.
    TrendWindowPlacement::readOrDefault(mainFrame().clientTwips()).applyTo(trend);
    trend.show();
    // After showing: the window's own minimum size has been applied by then.
    mainFrame().fitChild(trend, true);
}

// An X span the axis can show: the span from the first to the last plotted row,
// or, when those rows carry the same time (or run backwards), the time the data
// covers, or a minute around a single instant.
double usableXspan(double span, double lowestX, double highestX, PlotControl &plot)
{
    if (span > 0)
        return span;
    if (highestX > lowestX) {
        plot.XAxis(0).setMin(lowestX);
        return highestX - lowestX;
    }
    constexpr double Minute = 1.0 / 1440;
    if (std::isfinite(lowestX))
        plot.XAxis(0).setMin(lowestX - Minute / 2);
    return Minute;
}

} // namespace

int plotProgressPercent(long long points, long long columns, long long rowSpan)
{
    const double divisor = double(columns) * double(rowSpan);
    if (!(divisor > 0))
        return 100;
    const double percent = std::nearbyint(100.0 * double(points) / divisor);
    return percent > 99 ? 100 : int(percent);
}

bool isMissingValueText(QStringView text)
{
    const QStringView t = text.trimmed();
    for (QStringView mark : {u"", u"NaN", u"N/A", u"#N/A", u"-"}) {
        if (t.compare(mark, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

namespace {

// The selected blocks with their row corners made real.
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

// The time column of the run: every row that some block selects, in grid order,
// with its time.
void fillTimeColumn(TrendData &data, const std::vector<RunBlock> &blocks, int rows, const GridControl &grid,
                    const LogValueParser &parser, RowIndex &index, const std::function<void()> &yieldToUser)
{
    // Whether the blocks' rows run without a hole, from their ranges alone.
    std::vector<std::pair<int, int>> ranges;
    for (const RunBlock &b : blocks)
        ranges.emplace_back(std::max(0, b.firstRow), std::min(rows, b.lastRow));
    std::sort(ranges.begin(), ranges.end());
    const int lowest = ranges.front().first;
    int highest = ranges.front().second;
    bool holes = false;
    for (const auto &[first, last] : ranges) {
        holes = holes || first > highest + 1;
        highest = std::max(highest, last);
    }
    index.offset = lowest;
    RowTimes times(grid, parser);
    if (!holes && highest >= lowest) {
        const qsizetype count = qsizetype(highest) - lowest + 1;
        data.reserve(count);
        // No holes: the second half of the rows is read on the side.
        const qsizetype first = data.appendRows(count);
        const int middle = count >= SplitRows ? lowest + int(count / 2) : highest + 1;
        RowsOnTheSide side;
        if (middle <= highest) {
            side.start([&, middle](const std::atomic<bool> &stop) {
                const LogValueParser ownParser;
                RowTimes ownTimes(grid, ownParser);
                for (int r = middle; r <= highest; ++r) {
                    if ((r & 1023) == 0 && stop)
                        return;
                    data.setRow(first + r - lowest, ownTimes.at(r), r);
                }
            });
        }
        for (int r = lowest; r < middle; ++r) {
            // The values that follow yield once per point; their times, read
            // first, only now and then, well within what keeps the interface alive.
            if (((r - lowest + 1) & 1023) == 0)
                yieldToUser();
            data.setRow(first + r - lowest, times.at(r), r);
        }
        if (side.running())
            awaitOtherHalf(side, yieldToUser);
        data.rowsChanged();
        return;
    }
    std::vector<bool> wanted(size_t(rows) + 1, false);
    for (const auto &[first, last] : ranges) {
        for (int r = first; r <= last; ++r)
            wanted[size_t(r)] = true;
    }
    data.reserve(std::count(wanted.begin(), wanted.end(), true));
    index.table.assign(size_t(rows) + 1, -1);
    qsizetype done = 0;
    for (int r = 0; r <= rows; ++r) {
        if (!wanted[size_t(r)])
            continue;
        if ((++done & 1023) == 0)
            yieldToUser();
        index.table[size_t(r)] = qint32(data.appendRow(times.at(r), r));
    }
}

QString badCellText(const GridControl &grid, const BadCell &bad)
{
    // Grid row 0 is the file's header line, line 1.
    // A text too long for a message box is cut short.
    constexpr qsizetype Longest = 40;
    const QString text = bad.text.size() > Longest ? bad.text.left(Longest) + u"..."_s : bad.text;
    return u"Line %1, column \"%2\": \"%3\" %4"_s.arg(qint64(bad.row) + 1).arg(grid.cellText(bad.col, 0), text, bad.what);
}

} // namespace

void buildHistTrend(GridControl &grid, PlotRunProgress &progress)
{
    QPointer<GridControl> table(&grid);
    QPointer<TrendWindow> trend;
    std::shared_ptr<TrendData> data;
    bool indicatorShown = false;
    // Every end of the run: indicator hidden, default pointer, flag cleared.
    auto finish = [&] {
        if (table && indicatorShown)
            steps::ignore([&] { progress.plotRunEnded(); });
        ui().setPointer(Pointer::Default);
        shared().plotting = false;
    };
    // A yield lets the user act; the windows the run works on may be gone after it.
    const std::function<void()> yieldToUser = [&] {
        yieldNow();
        if (!table || !trend || programEnded())
            throw RunStopped{false};
    };
    // A channel being written when the run failed, whose unwritten values are
    // undefined.
    int unfinished = -1;
    // What the plot shows after a cancel or a failure: the channels built so far,
    // the one that failed without values.
    auto handOver = [&] {
        if (data && unfinished >= 0) {
            std::fill_n(data->values(unfinished), data->rowCount(), TrendData::Absent);
            data->valuesChanged(unfinished, 0);
        }
        if (trend && data)
            steps::ignore([&] { trend->trendPlot().setTrendData(data); });
    };
    qint64 plannedPoints = 0;

    try {
        trend = &frmHistoryPlot();
        PlotControl &plot = trend->trendPlot();

        shared().plotting = true;
        ui().setPointer(Pointer::Hourglass);
        plot.RemoveAllChannels();
        plot.ClearAllData();
        plot.YAxis(0).setMin(0);
        plot.YAxis(0).setSpan(100);
        plot.YAxis(1).setMin(0);
        plot.YAxis(1).setSpan(100);
        plot.XAxis(0).setSpan(0);
        trend->YSlider().setPosition(0.0);
        trend->DateSlider().setPosition(0.0);
        plot.XAxis(0).setTrackingEnabled(true);
        plot.YAxis(0).setTrackingEnabled(true);
        plot.YAxis(1).setTrackingEnabled(true);
        indicatorShown = true;
        progress.plotRunStarted();

        const LogValueParser parser;
        CellReader cells(grid);
        const int gridRows = grid.rowCount();
        std::vector<RunBlock> blocks;
        for (int b = 0; b < grid.selectionBlockCount(); ++b) {
            const GridBlock corners = grid.selectionBlock(b);
            const int firstRow = corners.firstRow == -1 ? 1 : corners.firstRow;
            const int lastRow = corners.lastRow == -1 ? gridRows : corners.lastRow;
            if (firstRow < 0 || lastRow > gridRows)
                throw RuntimeError(RuntimeError::SubscriptOutOfRange);
            blocks.push_back({corners, firstRow, lastRow});
            plannedPoints += (qint64(corners.lastCol) - corners.firstCol + 1) * std::max(0, lastRow - firstRow + 1);
        }

        if (blocks.empty())
            throw RuntimeError(RuntimeError::InvalidCall);
        data = std::make_shared<TrendData>();
        data->setSourcePath(shared().currentFileName);
        // The texts as logged stay readable while the grid holds the same log.
        data->setLoggedTextReader([table, path = shared().currentFileName](int col, int row) -> std::optional<QString> {
            if (!table || shared().currentFileName != path)
                return std::nullopt;
            return table->cellText(col, row);
        });
        RowIndex indexOfRow;
        fillTimeColumn(*data, blocks, gridRows, grid, parser, indexOfRow, yieldToUser);
        if (data->rowCount() == 0)
            throw RuntimeError(RuntimeError::InvalidCall);

        int channel = 0;
        qint64 points = 0;
        int runFirstRow = 0;
        int runLastRow = 0;
        int shownPercent = -1;
        for (size_t b = 0; b < blocks.size(); ++b) {
            const RunBlock &block = blocks[b];
            const GridBlock &corners = block.corners;
            grid.setBlock(corners.firstCol, corners.firstRow, corners.lastCol, corners.lastRow);
            if (b == 0) {
                runFirstRow = block.firstRow;
                runLastRow = block.lastRow;
            }
            runFirstRow = std::min(runFirstRow, block.firstRow);
            runLastRow = std::max(runLastRow, block.lastRow);
            const qint64 rowSpan = qint64(runLastRow) - runFirstRow;
            const qint64 columns = qint64(corners.lastCol) - corners.firstCol + 1;

            for (int col = corners.firstCol; col <= corners.lastCol; ++col) {
                // The dates and times were read as part of the first column: a
                // cancel while they were read ends the run after that column.
                if (channel > 0 && !shared().plotting)
                    throw RunStopped{true};
                // A block that covers every row of the run writes every value itself.
                const bool everyRow = indexOfRow.table.empty() && block.firstRow == indexOfRow.offset
                                      && qsizetype(block.lastRow) - block.firstRow + 1 == data->rowCount();
                if (everyRow)
                    data->addUnfilledChannel(grid.cellText(col, 0));
                else
                    data->addChannel(grid.cellText(col, 0));
                data->setSourceColumn(channel, col);
                unfinished = everyRow ? channel : -1;
                double *values = data->values(channel);
                // A long block's second half is read on the side; each row read here
                // then stands for two in the progress.
                const qint64 blockRows = qint64(block.lastRow) - block.firstRow + 1;
                const bool split = blockRows >= SplitRows && indexOfRow.table.empty();
                const int middle = split ? block.firstRow + int(blockRows / 2) : block.lastRow + 1;
                const qint64 pointsBefore = points;
                RowsOnTheSide side;
                if (split) {
                    side.start([&, col, middle, values](const std::atomic<bool> &stop) {
                        const LogValueParser ownParser;
                        CellReader ownCells(grid);
                        LogTable::ColumnReader ownColumn = grid.columnReader(col);
                        for (int row = middle; row <= block.lastRow; ++row) {
                            if ((row & 1023) == 0 && stop)
                                return;
                            values[indexOfRow(row)] = ownCells.value(ownParser, ownColumn, col, row);
                        }
                    });
                }
                // In a long block the yield and the progress are looked at every
                // sixteenth row: far more often than either can change.
                const int every = split ? 16 : 1;
                LogTable::ColumnReader column = grid.columnReader(col);
                for (int row = block.firstRow; row < middle; ++row) {
                    const qint64 step = split ? 2 : 1;
                    if ((row - block.firstRow) % every == 0) {
                        yieldToUser();
                        const int percent = plotProgressPercent(points, columns, rowSpan);
                        if (percent != shownPercent) {
                            progress.plotRunProgress(percent);
                            shownPercent = percent;
                        }
                    }
                    points += step;
                    values[indexOfRow(row)] = cells.value(parser, column, col, row);
                    // Summaries follow in slices, so that the end of the run has none
                    // left to build.
                    if ((row & 0xFFFF) == 0)
                        data->summarize(channel, indexOfRow(row));
                }
                if (split)
                    awaitOtherHalf(side, yieldToUser);
                points = pointsBefore + blockRows;
                unfinished = -1;
                // The half read on the side is summarised in slices, with yields.
                for (qsizetype upTo = 0; upTo < data->rowCount(); upTo += qsizetype(1) << 18) {
                    data->summarize(channel, upTo);
                    if (split)
                        yieldToUser();
                }
                data->summarize(channel);
                ++channel;
            }
        }

        indicatorShown = false;
        progress.plotRunEnded();
        const double firstTime = data->time(indexOfRow(runFirstRow));
        const double lastTime = data->time(indexOfRow(runLastRow));
        plot.setTrendData(data);
        // The columns look as they did in the last trend set up with them, and each
        // value axis is titled with its channels.
        steps::ignore([&] { trendmemory::applyTo(plot); });
        steps::ignore([&] { trendmemory::nameValueAxes(plot); });
        const double lowestX = data->rowCount() ? data->time(0) : std::numeric_limits<double>::quiet_NaN();
        const double highestX = data->rowCount() ? data->time(data->rowCount() - 1) : lowestX;
        const double xSpan = usableXspan(lastTime - firstTime, lowestX, highestX, plot);
        // Recorded before the span is shown: the sliders measure the view by them.
        trend->recordSpans(xSpan);
        plot.XAxis(0).setSpan(xSpan);
        trend->setPanelText(1, u"Current trend data from "_s + stripPath(data->sourcePath()));
        // Showing the window draws the whole trend: the interface gets a turn first.
        yieldToUser();
        showTrendWindow(*trend);
        ui().setPointer(Pointer::Default);
        shared().plotting = false;
    } catch (const RunStopped &stop) {
        handOver();
        if (stop.cancelled)
            msgBox(u"Historical plot has been canceled by user."_s, MsgIcon::Information, MsgButtons::Ok);
        finish();
    } catch (const std::bad_alloc &) {
        // What the run had built goes, so that the program can go on.
        data.reset();
        if (trend)
            steps::ignore([&] { trend->trendPlot().RemoveAllChannels(); });
        steps::ignore([&] {
            msgBox(u"Not enough memory to plot %1 points."_s.arg(plannedPoints), MsgIcon::Exclamation, MsgButtons::Ok);
        });
        finish();
    } catch (...) {
        handOver();
        QString where;
        try {
            throw;
        } catch (const BadCell &bad) {
            if (table)
                where = u"\r\n"_s + badCellText(*table, bad);
        } catch (...) {
        }
        steps::ignore([&] {
            msgBox(u"Lumet data viewer encountered errors while plotting the data file!"_s + u"\r\n"_s
                       + u"Please check to make sure the file was created with Lumet software."_s + where,
                   MsgIcon::Question, MsgButtons::Ok);
        });
        finish();
    }
}
