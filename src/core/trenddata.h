#pragma once

#include "timescale.h"
#include "writetarget.h"

#include <QPointF>
#include <QString>

#include <bit>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <memory>
#include <utility>
#include <vector>

// Count, sum, smallest and largest of a channel's values over a range of samples;
// gaps are not counted.
struct TrendStats
{
    qint64 count = 0;
    // Samples of the channel in the range, gaps included (count + gaps).
    qint64 samples = 0;
    // The gaps whose cell held a mark (ERR, N/A, ...) rather than nothing.
    qint64 marked = 0;
    double sum = 0;
    double min = std::numeric_limits<double>::infinity();
    double max = -std::numeric_limits<double>::infinity();

    void take(double value);
    void take(const TrendStats &other);
};

// The data of one trend: a time column (OLE dates) shared by all channels, with the
// grid row each sample came from and the path of the log file, and per channel one
// value per sample. A channel's value is NaN where its sample is missing (a gap:
// the trace is broken there; Marked when the logger wrote a mark in place of the
// value, whose text the log still holds), or Absent where the channel was not sampled at that
// row at all (the row belongs to other channels: the trace passes over it).
//
// Each channel keeps a min/max summary at several block sizes (BaseBlock samples,
// then LevelFactor times more at each level up) with each block's sum and count of
// values, so that the statistics of any range and a drawing of any span cost about
// the number of pixel columns, not the number of samples. Summaries follow the data
// lazily: setting values marks them stale from that sample on, and only the stale
// blocks are summarised again, so rows appended later cost only their own blocks.
//
// Samples are kept in time order for drawing. Rows may be appended out of order
// (a clock change); sortByTime() restores the order, and every reader that needs
// it calls it first.
class TrendData
{
    // Columns are sized without writing every element first: filling tens of
    // millions of values twice would hold up the interface.
    template<class T>
    struct Uninitialised : std::allocator<T>
    {
        template<class U>
        struct rebind
        {
            using other = Uninitialised<U>;
        };
        template<class U, class... Args>
        void construct(U *p, Args &&...args)
        {
            if constexpr (sizeof...(Args) == 0)
                ::new (static_cast<void *>(p)) U;
            else
                ::new (static_cast<void *>(p)) U(std::forward<Args>(args)...);
        }
    };
    template<class T>
    using Column = std::vector<T, Uninitialised<T>>;

    static constexpr std::uint64_t AbsentBits = 0x7FF8'0000'0000'0A85ull;
    static constexpr std::uint64_t MarkedBits = 0x7FF8'0000'0000'0E44ull;

public:
    static constexpr qsizetype BaseBlock = 64;
    static constexpr qsizetype LevelFactor = 8;
    // A NaN of its own: the channel has no sample in this row.
    static const double Absent;
    static bool isAbsent(double value) { return std::bit_cast<std::uint64_t>(value) == AbsentBits; }
    // A NaN of its own: a gap where the log holds a mark instead of a value.
    static const double Marked;
    static bool isMarked(double value) { return std::bit_cast<std::uint64_t>(value) == MarkedBits; }

    void clear();

    // The log the trend was plotted from; no writer may replace it while the
    // trend lives, whatever the grid shows meanwhile.
    QString sourcePath() const { return m_sourcePath; }
    void setSourcePath(const QString &path)
    {
        m_sourcePath = path;
        m_sourceHold = writetarget::LogHold(path);
    }
    // A cell of the log as logged, by column and grid row; nothing once that log
    // is no longer at hand (or when no reader was given).
    using LoggedTextReader = std::function<std::optional<QString>(int column, int gridRow)>;
    void setLoggedTextReader(LoggedTextReader reader) { m_loggedText = std::move(reader); }
    std::optional<QString> loggedText(int column, int gridRow) const;
    // How many columns at the left of the log hold a row's time: 2 (Date and
    // Time) or 1 (a date-time column of another shape).
    int timeColumns() const { return m_timeColumns; }
    void setTimeColumns(int columns) { m_timeColumns = columns; }
    // What the times are (see timescale.h); Calendar unless the log's time column
    // holds elapsed time or years.
    TimeScale timeScale() const { return m_timeScale; }
    void setTimeScale(TimeScale scale) { m_timeScale = scale; }

    // ---- the time column
    qsizetype rowCount() const { return qsizetype(m_time.size()); }
    // Makes room for `rows` samples in the time column and in every channel; throws
    // std::bad_alloc when there is not enough memory.
    void reserve(qsizetype rows);
    // The same a column at a time, for a caller that spreads the copying of what
    // is held over several steps: makes room in the columns that lack it until
    // about `bytes` bytes of held samples were moved. True when every column had
    // the room already, and nothing was moved. Throws std::bad_alloc as reserve().
    bool reserveSome(qsizetype rows, qsizetype bytes);
    // A new row at `time` (finite), Absent in every channel. Returns its index.
    qsizetype appendRow(double time, int gridRow = -1);
    // `count` new rows at once, to be given their times with setRow() (which may
    // run on several threads, each on its own rows) and then rowsChanged(); until
    // then their times are undefined. Returns the first one's index.
    qsizetype appendRows(qsizetype count);
    void setRow(qsizetype index, double time, int gridRow)
    {
        m_time[size_t(index)] = time;
        m_gridRow[size_t(index)] = gridRow;
    }
    void rowsChanged();
    double time(qsizetype index) const { return m_time[size_t(index)]; }
    int gridRow(qsizetype index) const { return m_gridRow[size_t(index)]; }
    bool inTimeOrder() const { return m_ordered; }
    // Puts the samples into time order (stable: rows of equal time keep their order).
    void sortByTime();
    // First index whose time is not below `time`.
    qsizetype lowerBound(double time) const;

    // ---- channels
    int channelCount() const { return int(m_channels.size()); }
    int addChannel(const QString &title = QString());
    // A channel whose every value the caller writes through values() before any
    // reading; until then its values are undefined, and its room costs nothing
    // until they are written.
    int addUnfilledChannel(const QString &title);
    void removeAllChannels();
    // Keeps the first `count` channels only.
    void keepChannels(int count);
    QString title(int channel) const { return m_channels[size_t(channel)].title; }
    void setTitle(int channel, const QString &title) { m_channels[size_t(channel)].title = title; }
    // The unit of a channel's values from the log's units line; the legend and
    // the axis titles show it after the title, which alone keys the kept setup.
    QString unit(int channel) const { return m_channels[size_t(channel)].unit; }
    void setUnit(int channel, const QString &unit) { m_channels[size_t(channel)].unit = unit; }
    // The log's field the channel was read from, counted from 1, where another
    // column of the log has the same heading; 0 elsewhere (see channelname.h).
    int field(int channel) const { return m_channels[size_t(channel)].field; }
    void setField(int channel, int field) { m_channels[size_t(channel)].field = field; }
    // The log column a channel's values were read from; -1 when none.
    int sourceColumn(int channel) const { return m_channels[size_t(channel)].sourceColumn; }
    void setSourceColumn(int channel, int column) { m_channels[size_t(channel)].sourceColumn = column; }
    double value(int channel, qsizetype index) const { return m_channels[size_t(channel)].values[size_t(index)]; }
    // NaN makes the sample a gap, Absent takes it out of the channel.
    void setValue(int channel, qsizetype index, double value);
    // Direct access for bulk filling; call valuesChanged() after writing.
    double *values(int channel) { return m_channels[size_t(channel)].values.data(); }
    void valuesChanged(int channel, qsizetype from);

    // Brings the channel's summaries up to date for the samples below `upTo`; the
    // readers below do it for all samples. Lets a long fill summarise in slices.
    void summarize(int channel, qsizetype upTo = std::numeric_limits<qsizetype>::max()) const;

    // Statistics of samples [from, to).
    TrendStats stats(int channel, qsizetype from, qsizetype to) const;
    TrendStats stats(int channel) const { return stats(channel, 0, rowCount()); }
    // The first sample in [from, to) holding exactly `value`, found through the
    // summaries; -1 when there is none.
    qsizetype indexOfValue(int channel, qsizetype from, qsizetype to, double value) const;
    // The channel's value at `time`: the sample there, or the straight line between
    // the neighbouring samples; NaN outside its samples and inside a gap.
    double valueAt(int channel, double time) const;

    // The trace of a channel as it looks over [x0, x1] drawn `columns` pixel
    // columns wide: the samples themselves where there are few, else per column its
    // first value, its smallest and largest (from the summaries) and its last
    // value. A point with a NaN y breaks the line. Appends to `out`.
    void trace(int channel, double x0, double x1, int columns, std::vector<QPointF> &out) const;

    // Bytes held for the data: time column, grid rows, values and summaries.
    qint64 bytesUsed() const;
    // Lets go of `data`: the last holder of a large trend frees it on a thread
    // of its own, since giving a gigabyte back takes longer than a frame.
    static void release(std::shared_ptr<TrendData> &&data);

    // One point appended to a channel: into the next row at or after the
    // channel's last point that has this time and no value of the channel yet, or
    // into a new row. Points out of time order make the data unordered.
    void appendPoint(int channel, double time, double value);

private:
    struct Level
    {
        qsizetype blockSize = 0;
        std::vector<double> min, max, sum;
        std::vector<std::uint32_t> count;
        std::vector<std::uint32_t> samples; // values and gaps
        std::vector<std::uint32_t> marked;  // gaps with a mark
    };
    struct Channel
    {
        QString title;
        QString unit;
        int field = 0;
        int sourceColumn = -1;
        Column<double> values;
        qsizetype cursor = 0;
        // Summaries are valid for samples below `clean`.
        mutable qsizetype clean = 0;
        mutable std::vector<Level> levels;
    };

    void summarize(const Channel &c, qsizetype upTo) const;
    // Covers samples [from, to) of `c` (summarised) with the fewest whole summary
    // blocks: raw(a, b) for the samples [a, b) that no whole block covers,
    // blocks(level, a, b) for the blocks [a, b) of a level.
    template<class Raw, class Blocks>
    void walk(const Channel &c, qsizetype from, qsizetype to, Raw &&raw, Blocks &&blocks) const;
    // Adds the statistics of samples [from, to) of `c` to `out`, using whole
    // blocks where they fit.
    void gather(const Channel &c, qsizetype from, qsizetype to, TrendStats &out) const;
    // The smallest and largest value of samples [from, to) of `c`; +inf and -inf
    // when there is none. What a drawing needs of gather(), at less cost.
    void extent(const Channel &c, qsizetype from, qsizetype to, double &low, double &high) const;
    // Index of the first sample in [from, to) that is not Absent, or `to`.
    qsizetype firstPresent(const Channel &c, qsizetype from, qsizetype to) const;
    qsizetype lastPresent(const Channel &c, qsizetype from, qsizetype to) const;
    qsizetype findInBlock(const Channel &c, size_t level, qsizetype block, double value) const;

    QString m_sourcePath;
    writetarget::LogHold m_sourceHold;
    LoggedTextReader m_loggedText;
    int m_timeColumns = 2;
    TimeScale m_timeScale = TimeScale::Calendar;
    Column<double> m_time;
    Column<int> m_gridRow;
    std::vector<Channel> m_channels;
    bool m_ordered = true;
};
