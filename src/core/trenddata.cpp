#include "trenddata.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <cmath>
#include <numeric>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

static_assert(std::has_single_bit(std::uint64_t(TrendData::BaseBlock))
                  && std::has_single_bit(std::uint64_t(TrendData::LevelFactor)),
              "summary blocks are found by shifts and masks");
constexpr int BaseShift = std::countr_zero(std::uint64_t(TrendData::BaseBlock));
constexpr int LevelShift = std::countr_zero(std::uint64_t(TrendData::LevelFactor));

// TrendStats::take() for a loop over many samples: inlined, and Absent told by its
// bits only among the NaNs.
inline void takeValue(TrendStats &s, double value)
{
    if (std::isnan(value)) {
        if (!TrendData::isAbsent(value))
            ++s.samples;
        if (TrendData::isMarked(value))
            ++s.marked;
        return;
    }
    ++s.samples;
    ++s.count;
    s.sum += value;
    s.min = std::min(s.min, value);
    s.max = std::max(s.max, value);
}

// The smallest and largest of values[from, to) taken into low and high. Gaps and
// absent samples are NaNs, which both comparisons pass over. Four of each, so
// that the comparisons do not wait for one another.
inline void rawExtent(const double *values, qsizetype from, qsizetype to, double &low, double &high)
{
    double lo[4] = {low, low, low, low};
    double hi[4] = {high, high, high, high};
    qsizetype i = from;
    for (; i + 4 <= to; i += 4) {
        for (int k = 0; k < 4; ++k) {
            const double v = values[i + k];
            lo[k] = v < lo[k] ? v : lo[k];
            hi[k] = v > hi[k] ? v : hi[k];
        }
    }
    for (; i < to; ++i) {
        const double v = values[i];
        lo[0] = v < lo[0] ? v : lo[0];
        hi[0] = v > hi[0] ? v : hi[0];
    }
    low = std::min(std::min(lo[0], lo[1]), std::min(lo[2], lo[3]));
    high = std::max(std::max(hi[0], hi[1]), std::max(hi[2], hi[3]));
}

// The same over summary blocks [from, to), whose extremes hold no NaN.
inline void blockExtent(const double *mins, const double *maxs, qsizetype from, qsizetype to, double &low,
                        double &high)
{
    for (qsizetype i = from; i < to; ++i) {
        low = std::min(low, mins[i]);
        high = std::max(high, maxs[i]);
    }
}

// Asks for the memory line at `p` to be brought into the cache, without waiting.
inline void prefetch(const double *p)
{
#if defined(__GNUC__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

// std::lower_bound over the sorted t[lo, hi), starting at `guess`: the steps
// double from there, so that a good guess costs a read or two, however long the
// range; the times of a column's end are far apart in memory, and every read
// among them is a wait.
qsizetype lowerBoundNear(const double *t, qsizetype lo, qsizetype hi, double bound, qsizetype guess)
{
    qsizetype at = std::clamp(guess, lo, hi);
    qsizetype step = 1;
    if (at < hi && t[at] < bound) {
        // After `at`: t[at] is below.
        while (at + step < hi && t[at + step] < bound) {
            at += step;
            step *= 2;
        }
        return qsizetype(std::lower_bound(t + at + 1, t + std::min(at + step, hi), bound) - t);
    }
    // At or before `at`: t[at] is not below (or `at` is the end).
    while (at - step >= lo && t[at - step] >= bound) {
        at -= step;
        step *= 2;
    }
    return qsizetype(std::lower_bound(t + std::max(lo, at - step + 1), t + at, bound) - t);
}

} // namespace

const double TrendData::Absent = std::bit_cast<double>(AbsentBits);
const double TrendData::Marked = std::bit_cast<double>(MarkedBits);

void TrendStats::take(double value)
{
    takeValue(*this, value);
}

void TrendStats::take(const TrendStats &other)
{
    count += other.count;
    samples += other.samples;
    marked += other.marked;
    sum += other.sum;
    min = std::min(min, other.min);
    max = std::max(max, other.max);
}

void TrendData::clear()
{
    *this = TrendData();
}

std::optional<QString> TrendData::loggedText(int column, int gridRow) const
{
    if (!m_loggedText || column < 0 || gridRow < 0)
        return std::nullopt;
    return m_loggedText(column, gridRow);
}

void TrendData::reserve(qsizetype rows)
{
    m_time.reserve(size_t(rows));
    m_gridRow.reserve(size_t(rows));
    for (Channel &c : m_channels)
        c.values.reserve(size_t(rows));
}

bool TrendData::reserveSome(qsizetype rows, qsizetype bytes)
{
    qsizetype moved = 0;
    bool lacked = false;
    const auto room = [&](auto &column) {
        if (column.capacity() >= size_t(rows) || (lacked && moved >= bytes))
            return;
        lacked = true;
        moved += qsizetype(column.size() * sizeof(column[0]));
        column.reserve(size_t(rows));
    };
    room(m_time);
    room(m_gridRow);
    for (Channel &c : m_channels)
        room(c.values);
    return !lacked;
}

qsizetype TrendData::appendRow(double time, int gridRow)
{
    if (!m_time.empty() && time < m_time.back())
        m_ordered = false;
    m_time.push_back(time);
    m_gridRow.push_back(gridRow);
    for (Channel &c : m_channels)
        c.values.push_back(Absent);
    return rowCount() - 1;
}

qsizetype TrendData::appendRows(qsizetype count)
{
    const qsizetype first = rowCount();
    m_time.resize(size_t(first + count));
    m_gridRow.resize(size_t(first + count));
    for (Channel &c : m_channels)
        c.values.resize(size_t(first + count), Absent);
    return first;
}

void TrendData::rowsChanged()
{
    m_ordered = std::is_sorted(m_time.begin(), m_time.end());
}

void TrendData::sortByTime()
{
    if (m_ordered)
        return;
    std::vector<qsizetype> order(m_time.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](qsizetype a, qsizetype b) { return m_time[size_t(a)] < m_time[size_t(b)]; });
    auto permute = [&](auto &column) {
        std::remove_reference_t<decltype(column)> sorted;
        sorted.reserve(column.size());
        for (qsizetype i : order)
            sorted.push_back(column[size_t(i)]);
        column.swap(sorted);
    };
    permute(m_time);
    permute(m_gridRow);
    for (Channel &c : m_channels) {
        permute(c.values);
        c.cursor = rowCount();
        c.clean = 0;
    }
    m_ordered = true;
}

qsizetype TrendData::lowerBound(double time) const
{
    return qsizetype(std::lower_bound(m_time.begin(), m_time.end(), time) - m_time.begin());
}

int TrendData::addChannel(const QString &title)
{
    Channel c;
    c.title = title;
    c.values.assign(m_time.size(), Absent);
    m_channels.push_back(std::move(c));
    return channelCount() - 1;
}

void TrendData::release(std::shared_ptr<TrendData> &&data)
{
    constexpr qint64 LargeBytes = 64 << 20;
    if (data && data.use_count() == 1 && data->bytesUsed() > LargeBytes) {
        std::thread([old = std::move(data)]() mutable {
            // A channel at a time, with pauses: giving a gigabyte back at once
            // holds up the page faults of a plot run that has begun meanwhile.
            while (!old->m_channels.empty()) {
                old->m_channels.pop_back();
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            old.reset();
        }).detach();
    }
    data.reset();
}

int TrendData::addUnfilledChannel(const QString &title)
{
    Channel c;
    c.title = title;
    c.values.resize(m_time.size());
    m_channels.push_back(std::move(c));
    return channelCount() - 1;
}

void TrendData::keepChannels(int count)
{
    if (count < channelCount())
        m_channels.erase(m_channels.begin() + std::max(0, count), m_channels.end());
}

void TrendData::removeAllChannels()
{
    m_channels.clear();
}

void TrendData::setValue(int channel, qsizetype index, double value)
{
    m_channels[size_t(channel)].values[size_t(index)] = value;
    valuesChanged(channel, index);
}

void TrendData::valuesChanged(int channel, qsizetype from)
{
    const Channel &c = m_channels[size_t(channel)];
    c.clean = std::min(c.clean, from / BaseBlock * BaseBlock);
}

void TrendData::appendPoint(int channel, double time, double value)
{
    Channel &c = m_channels[size_t(channel)];
    qsizetype at = -1;
    if (m_ordered && c.cursor < rowCount()) {
        // Most often the point belongs in the very next row: a channel appended
        // over the rows of one before it.
        qsizetype found = c.cursor;
        if (m_time[size_t(found)] != time)
            found = qsizetype(std::lower_bound(m_time.begin() + c.cursor, m_time.end(), time) - m_time.begin());
        if (found < rowCount() && m_time[size_t(found)] == time && isAbsent(c.values[size_t(found)]))
            at = found;
    }
    if (at < 0)
        at = appendRow(time);
    setValue(channel, at, value);
    c.cursor = at + 1;
    // Each block is summarised as it fills, so that the first drawing finds the
    // summaries ready.
    if (m_ordered && (at + 1) % BaseBlock == 0)
        summarize(c, at + 1);
}

// ---- summaries -------------------------------------------------------------------

void TrendData::summarize(int channel, qsizetype upTo) const
{
    summarize(m_channels[size_t(channel)], upTo);
}

void TrendData::summarize(const Channel &c, qsizetype upTo) const
{
    const qsizetype rows = qsizetype(c.values.size());
    const qsizetype done = std::min(upTo, rows) / BaseBlock * BaseBlock;
    if (c.clean >= done)
        return;
    qsizetype blockSize = BaseBlock;
    for (size_t l = 0; blockSize <= done; ++l, blockSize *= LevelFactor) {
        if (c.levels.size() <= l) {
            c.levels.emplace_back();
            c.levels.back().blockSize = blockSize;
        }
        Level &level = c.levels[l];
        const qsizetype blocks = done / blockSize;
        const qsizetype from = std::min(c.clean / blockSize, blocks);
        level.min.resize(size_t(blocks));
        level.max.resize(size_t(blocks));
        level.sum.resize(size_t(blocks));
        level.count.resize(size_t(blocks));
        level.samples.resize(size_t(blocks));
        level.marked.resize(size_t(blocks));
        for (qsizetype b = from; b < blocks; ++b) {
            TrendStats s;
            if (l == 0) {
                const double *v = c.values.data() + b * blockSize;
                for (qsizetype i = 0; i < blockSize; ++i)
                    takeValue(s, v[i]);
            } else {
                const Level &below = c.levels[l - 1];
                for (qsizetype i = b * LevelFactor; i < (b + 1) * LevelFactor; ++i) {
                    s.count += below.count[size_t(i)];
                    s.samples += below.samples[size_t(i)];
                    s.marked += below.marked[size_t(i)];
                    s.sum += below.sum[size_t(i)];
                    s.min = std::min(s.min, below.min[size_t(i)]);
                    s.max = std::max(s.max, below.max[size_t(i)]);
                }
            }
            level.min[size_t(b)] = s.min;
            level.max[size_t(b)] = s.max;
            level.sum[size_t(b)] = s.sum;
            level.count[size_t(b)] = std::uint32_t(s.count);
            level.samples[size_t(b)] = std::uint32_t(s.samples);
            level.marked[size_t(b)] = std::uint32_t(s.marked);
        }
    }
    c.clean = done;
}

template<class Raw, class Blocks>
void TrendData::walk(const Channel &c, qsizetype from, qsizetype to, Raw &&raw, Blocks &&blocks) const
{
    qsizetype a = (from + BaseBlock - 1) >> BaseShift;
    qsizetype b = to >> BaseShift;
    if (c.levels.empty() || a >= b) {
        raw(from, to);
        return;
    }
    // The samples outside whole blocks, then at each level the blocks outside
    // whole blocks of the level above, and the rest at the top.
    raw(from, a << BaseShift);
    raw(b << BaseShift, to);
    for (size_t l = 0;; ++l) {
        const Level &level = c.levels[l];
        const qsizetype upA = (a + LevelFactor - 1) >> LevelShift;
        const qsizetype upB = b >> LevelShift;
        if (l + 1 == c.levels.size() || upA >= upB) {
            blocks(level, a, b);
            return;
        }
        blocks(level, a, upA << LevelShift);
        blocks(level, upB << LevelShift, b);
        a = upA;
        b = upB;
    }
}

void TrendData::gather(const Channel &c, qsizetype from, qsizetype to, TrendStats &out) const
{
    const double *v = c.values.data();
    walk(
        c, from, to,
        [&](qsizetype a, qsizetype b) {
            for (qsizetype i = a; i < b; ++i)
                takeValue(out, v[i]);
        },
        [&](const Level &level, qsizetype a, qsizetype b) {
            for (size_t i = size_t(a); i < size_t(b); ++i) {
                out.count += level.count[i];
                out.samples += level.samples[i];
                out.marked += level.marked[i];
                out.sum += level.sum[i];
                out.min = std::min(out.min, level.min[i]);
                out.max = std::max(out.max, level.max[i]);
            }
        });
}

void TrendData::extent(const Channel &c, qsizetype from, qsizetype to, double &low, double &high) const
{
    low = std::numeric_limits<double>::infinity();
    high = -low;
    const double *v = c.values.data();
    // An empty block holds +inf and -inf, which change nothing.
    walk(
        c, from, to, [&](qsizetype a, qsizetype b) { rawExtent(v, a, b, low, high); },
        [&](const Level &level, qsizetype a, qsizetype b) {
            blockExtent(level.min.data(), level.max.data(), a, b, low, high);
        });
}

TrendStats TrendData::stats(int channel, qsizetype from, qsizetype to) const
{
    const Channel &c = m_channels[size_t(channel)];
    summarize(c, rowCount());
    TrendStats out;
    gather(c, std::max<qsizetype>(0, from), std::min(to, rowCount()), out);
    return out;
}

qsizetype TrendData::findInBlock(const Channel &c, size_t level, qsizetype block, double value) const
{
    const Level &l = c.levels[level];
    if (l.count[size_t(block)] == 0 || value < l.min[size_t(block)] || value > l.max[size_t(block)])
        return -1;
    const qsizetype first = block * l.blockSize;
    if (level == 0) {
        for (qsizetype i = first; i < first + l.blockSize; ++i) {
            if (c.values[size_t(i)] == value)
                return i;
        }
        return -1;
    }
    for (qsizetype b = block * LevelFactor; b < (block + 1) * LevelFactor; ++b) {
        const qsizetype found = findInBlock(c, level - 1, b, value);
        if (found >= 0)
            return found;
    }
    return -1;
}

qsizetype TrendData::indexOfValue(int channel, qsizetype from, qsizetype to, double value) const
{
    const Channel &c = m_channels[size_t(channel)];
    summarize(c, rowCount());
    qsizetype i = std::max<qsizetype>(0, from);
    to = std::min(to, rowCount());
    // The same walk as gather(): whole blocks where they fit, each entered only
    // when its range holds the value.
    while (i < to) {
        size_t best = c.levels.size();
        for (size_t l = 0; l < c.levels.size(); ++l) {
            if (i % c.levels[l].blockSize != 0 || i + c.levels[l].blockSize > to)
                break;
            best = l;
        }
        if (best == c.levels.size()) {
            if (c.values[size_t(i)] == value)
                return i;
            ++i;
            continue;
        }
        const qsizetype found = findInBlock(c, best, i / c.levels[best].blockSize, value);
        if (found >= 0)
            return found;
        i += c.levels[best].blockSize;
    }
    return -1;
}

qsizetype TrendData::firstPresent(const Channel &c, qsizetype from, qsizetype to) const
{
    while (from < to && isAbsent(c.values[size_t(from)]))
        ++from;
    return from;
}

qsizetype TrendData::lastPresent(const Channel &c, qsizetype from, qsizetype to) const
{
    while (to > from && isAbsent(c.values[size_t(to - 1)]))
        --to;
    return to > from ? to - 1 : -1;
}

double TrendData::valueAt(int channel, double time) const
{
    const Channel &c = m_channels[size_t(channel)];
    const qsizetype rows = rowCount();
    qsizetype at = lowerBound(time);
    // Rows of other channels at the same time come first or last; skip them.
    for (qsizetype i = at; i < rows && m_time[size_t(i)] == time; ++i) {
        if (!isAbsent(c.values[size_t(i)]))
            return std::isnan(c.values[size_t(i)]) ? NaN : c.values[size_t(i)];
    }
    const qsizetype before = lastPresent(c, 0, at);
    const qsizetype after = firstPresent(c, at, rows);
    if (before < 0 || after >= rows)
        return NaN;
    const double a = c.values[size_t(before)];
    const double b = c.values[size_t(after)];
    if (std::isnan(a) || std::isnan(b))
        return NaN;
    const double ta = m_time[size_t(before)];
    const double tb = m_time[size_t(after)];
    return tb > ta ? a + (b - a) * (time - ta) / (tb - ta) : a;
}

// ---- drawing ---------------------------------------------------------------------

void TrendData::trace(int channel, double x0, double x1, int columns, std::vector<QPointF> &out) const
{
    const Channel &c = m_channels[size_t(channel)];
    const qsizetype rows = rowCount();
    if (rows == 0 || columns <= 0 || !(x1 > x0))
        return;
    summarize(c, rows);
    const double *t = m_time.data();
    const double *v = c.values.data();
    auto lineBreak = [&](double x) {
        if (!out.empty() && !std::isnan(out.back().y()))
            out.emplace_back(x, NaN);
    };
    auto raw = [&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i) {
            if (isAbsent(v[i]))
                continue;
            if (std::isnan(v[i]))
                lineBreak(t[i]);
            else
                out.emplace_back(t[i], v[i]);
        }
    };

    // One sample beyond each end, so that the line enters and leaves the view.
    qsizetype from = lastPresent(c, 0, lowerBound(x0));
    from = from < 0 ? 0 : from;
    qsizetype to = qsizetype(std::upper_bound(m_time.begin(), m_time.end(), x1) - m_time.begin());
    to = std::min(rows, firstPresent(c, to, rows) + 1);
    if (to - from <= 4 * qsizetype(columns)) {
        raw(from, to);
        return;
    }
    const double width = (x1 - x0) / columns;
    // Samples a day, to guess where each column ends: mostly right, as a logger
    // writes at a steady rate.
    const double rate = t[to - 1] > t[from] ? double(to - from) / (t[to - 1] - t[from]) : 0;
    // A column reads the samples about its end, which lie far from the last
    // column's in memory: those of the column after next are asked for ahead.
    const qsizetype ahead = 2 * qsizetype(std::ceil(width * rate));
    qsizetype i = from;
    while (i < to) {
        const double column = std::floor((t[i] - x0) / width);
        qsizetype end = i + 1;
        if (column >= 0 && column < columns) {
            const double bound = x0 + (column + 1) * width;
            const double guess = std::min(double(to), i + 1 + (bound - t[i]) * rate);
            end = lowerBoundNear(t, i + 1, to, bound, qsizetype(guess));
            if (end + ahead < to) {
                prefetch(t + end + ahead);
                for (qsizetype k = std::max(end, end + ahead - BaseBlock); k <= end + ahead; k += 8)
                    prefetch(v + k);
            }
        }
        if (end - i <= 4) {
            raw(i, end);
            i = end;
            continue;
        }
        const qsizetype first = firstPresent(c, i, end);
        if (first == end) {
            i = end;
            continue;
        }
        if (std::isnan(v[first]))
            lineBreak(t[first]);
        double low = 0;
        double high = 0;
        extent(c, first, end, low, high);
        if (low <= high) {
            qsizetype f = first;
            while (std::isnan(v[f]))
                ++f;
            qsizetype l = end - 1;
            while (std::isnan(v[l]))
                --l;
            const double middle = (t[f] + t[l]) / 2;
            out.emplace_back(t[f], v[f]);
            // A lone value stays one point: a line of no length between gaps
            // is not drawn at all.
            if (l != f) {
                out.emplace_back(middle, low);
                out.emplace_back(middle, high);
                out.emplace_back(t[l], v[l]);
            }
        }
        const qsizetype last = lastPresent(c, first, end);
        if (std::isnan(v[last]))
            lineBreak(t[last]);
        i = end;
    }
}

qint64 TrendData::bytesUsed() const
{
    qint64 bytes = qint64(m_time.capacity() * sizeof(double) + m_gridRow.capacity() * sizeof(int));
    for (const Channel &c : m_channels) {
        bytes += qint64(c.values.capacity() * sizeof(double));
        for (const Level &l : c.levels)
            bytes += qint64(l.min.capacity() + l.max.capacity() + l.sum.capacity()) * qint64(sizeof(double))
                     + qint64((l.count.capacity() + l.samples.capacity() + l.marked.capacity()) * sizeof(std::uint32_t));
    }
    return bytes;
}
