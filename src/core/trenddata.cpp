#include "trenddata.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>

namespace {

constexpr std::uint64_t AbsentBits = 0x7FF8'0000'0000'0A85ull;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

const double TrendData::Absent = std::bit_cast<double>(AbsentBits);

bool TrendData::isAbsent(double value)
{
    return std::bit_cast<std::uint64_t>(value) == AbsentBits;
}

void TrendStats::take(double value)
{
    if (TrendData::isAbsent(value))
        return;
    ++samples;
    if (std::isnan(value))
        return;
    ++count;
    sum += value;
    min = std::min(min, value);
    max = std::max(max, value);
}

void TrendStats::take(const TrendStats &other)
{
    count += other.count;
    samples += other.samples;
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

int TrendData::addUnfilledChannel(const QString &title)
{
    Channel c;
    c.title = title;
    c.values.resize(m_time.size());
    m_channels.push_back(std::move(c));
    return channelCount() - 1;
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
        const auto begin = m_time.begin() + c.cursor;
        const qsizetype found = qsizetype(std::lower_bound(begin, m_time.end(), time) - m_time.begin());
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
        for (qsizetype b = from; b < blocks; ++b) {
            TrendStats s;
            if (l == 0) {
                const double *v = c.values.data() + b * blockSize;
                for (qsizetype i = 0; i < blockSize; ++i)
                    s.take(v[i]);
            } else {
                const Level &below = c.levels[l - 1];
                for (qsizetype i = b * LevelFactor; i < (b + 1) * LevelFactor; ++i) {
                    s.count += below.count[size_t(i)];
                    s.samples += below.samples[size_t(i)];
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
        }
    }
    c.clean = done;
}

void TrendData::gather(const Channel &c, qsizetype from, qsizetype to, TrendStats &out) const
{
    qsizetype i = from;
    while (i < to) {
        // The largest block that starts here and ends within the range.
        const Level *best = nullptr;
        for (const Level &level : c.levels) {
            if (i % level.blockSize != 0 || i + level.blockSize > to)
                break;
            best = &level;
        }
        if (!best) {
            out.take(c.values[size_t(i)]);
            ++i;
            continue;
        }
        const size_t b = size_t(i / best->blockSize);
        out.count += best->count[b];
        out.samples += best->samples[b];
        out.sum += best->sum[b];
        out.min = std::min(out.min, best->min[b]);
        out.max = std::max(out.max, best->max[b]);
        i += best->blockSize;
    }
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
    qsizetype i = from;
    while (i < to) {
        const double column = std::floor((t[i] - x0) / width);
        qsizetype end = i + 1;
        if (column >= 0 && column < columns) {
            const double bound = x0 + (column + 1) * width;
            end = qsizetype(std::lower_bound(t + i + 1, t + to, bound) - t);
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
        TrendStats s;
        gather(c, first, end, s);
        if (s.count > 0) {
            qsizetype f = first;
            while (std::isnan(v[f]))
                ++f;
            qsizetype l = end - 1;
            while (std::isnan(v[l]))
                --l;
            const double middle = (t[f] + t[l]) / 2;
            out.emplace_back(t[f], v[f]);
            out.emplace_back(middle, s.min);
            out.emplace_back(middle, s.max);
            out.emplace_back(t[l], v[l]);
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
                     + qint64((l.count.capacity() + l.samples.capacity()) * sizeof(std::uint32_t));
    }
    return bytes;
}
