#include "logtable.h"

#include "runtimeerror.h"

#include <QByteArrayView>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <bit>
#include <climits>
#include <limits>
#include <cstring>
#include <new>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// A text file has no NUL bytes; a picture or a program has them in its first blocks.
constexpr qsizetype TextProbeBytes = 4096;
// Rows and columns are ints in the grid; the header takes one of each.
constexpr qsizetype MaxLines = INT_MAX - 2;

#ifdef Q_OS_UNIX
int errorNumberFor(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return RuntimeError::FileNotFound;
    case EACCES:
    case EPERM:
        return RuntimeError::PermissionDenied;
    case ENOMEM:
        return RuntimeError::OutOfMemory;
    default:
        return RuntimeError::PathFileAccess;
    }
}

QByteArray readWholeFile(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw RuntimeError(errorNumberFor(errno));
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))
        throw RuntimeError(RuntimeError::PathFileAccess);

    auto readSome = [fd](char *into, qsizetype wanted) -> qsizetype {
        for (;;) {
            const ssize_t got = ::read(fd, into, size_t(wanted));
            if (got >= 0)
                return got;
            if (errno != EINTR)
                throw RuntimeError(errorNumberFor(errno));
        }
    };

    QByteArray data;
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        // The size at opening is what is read: a logger that appends meanwhile
        // cannot change the loaded table.
        if (quint64(st.st_size) >= quint64(std::numeric_limits<qsizetype>::max() / 2))
            throw RuntimeError(RuntimeError::OutOfMemory);
        data = QByteArray(qsizetype(st.st_size), Qt::Uninitialized);
        qsizetype have = 0;
        while (have < data.size()) {
            const qsizetype got = readSome(data.data() + have, data.size() - have);
            if (got == 0)
                break;
            have += got;
        }
        data.truncate(have);
    } else {
        // Pipes and files of the proc kind report no size.
        constexpr qsizetype Chunk = 1 << 16;
        for (;;) {
            const qsizetype have = data.size();
            data.resize(have + Chunk);
            const qsizetype got = readSome(data.data() + have, Chunk);
            data.truncate(have + got);
            if (got == 0)
                break;
        }
    }
    return data;
}
#else
QByteArray readWholeFile(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        throw RuntimeError(RuntimeError::FileNotFound);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(file.permissions() & QFileDevice::ReadUser ? RuntimeError::PathFileAccess
                                                                      : RuntimeError::PermissionDenied);
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError(RuntimeError::PathFileAccess);
    return data;
}
#endif

} // namespace

bool LogTable::load(const QString &path, char separator, int flags)
{
    // The former content goes first, so that a reload never holds two files.
    clearContent();
    m_rows = m_cols = 0;
    QByteArray bytes;
    try {
        bytes = readWholeFile(path);
    } catch (const std::bad_alloc &) {
        throw RuntimeError(RuntimeError::OutOfMemory);
    }
    return loadBytes(std::move(bytes), separator, flags);
}

bool LogTable::loadBytes(QByteArray bytes, char separator, int flags)
{
    if (separator == '\n' || separator == '\r' || separator == '\0')
        throw RuntimeError(RuntimeError::InvalidCall);
    clearContent();
    m_rows = m_cols = 0;

    qsizetype size = bytes.size();
    while (size > 0 && bytes.at(size - 1) == '\0')
        --size;
    bytes.truncate(size);
    if (std::memchr(bytes.constData(), 0, size_t(std::min(size, TextProbeBytes))))
        return false;

    m_data = std::move(bytes);
    m_separator = separator;
    m_rowOffset = flags & HeaderRow ? 0 : 1;
    m_colOffset = flags & HeaderColumn ? 0 : 1;
    try {
        if (!index(separator)) {
            clearContent();
            m_rows = m_cols = 0;
            return false;
        }
    } catch (...) {
        clearContent();
        m_rows = m_cols = 0;
        throw RuntimeError(RuntimeError::OutOfMemory);
    }
    return true;
}

void LogTable::clearContent()
{
    m_data = QByteArray();
    std::vector<qsizetype>().swap(m_lineStarts);
    std::vector<qint32>().swap(m_lastField);
    m_lineLimit = 0;
    m_fieldLimit = 0;
    m_written.clear();
    std::vector<quint8>().swap(m_rowWritten);
    m_cleared.clear();
    m_utf8 = true;
    m_ascii = true;
    std::vector<quint32>().swap(m_fieldCursor);
}

// One pass over the buffer finds the line starts, each line's field count and its
// last non-empty field, and whether the text is plain ASCII.
bool LogTable::index(char separator)
{
    const char *d = m_data.constData();
    const qsizetype n = m_data.size();
    qsizetype lineStart = 0;
    if (n >= 3 && std::memcmp(d, "\xEF\xBB\xBF", 3) == 0)
        lineStart = 3; // a UTF-8 byte order mark is no part of the first caption

    // Reserve by the first lines' length; untouched reserve costs no memory.
    const void *firstEnd = std::memchr(d, '\n', size_t(std::min<qsizetype>(n, 1 << 16)));
    const qsizetype guess = firstEnd ? std::max<qsizetype>(8, static_cast<const char *>(firstEnd) - d) : 64;
    m_lineStarts.reserve(size_t(n / guess * 2 + 16));
    m_lastField.reserve(size_t(n / guess * 2 + 16));

    qsizetype separators = 0;
    qsizetype maxSeparators = 0;
    auto endLine = [&](qsizetype end) {
        qsizetype e = end;
        if (e > lineStart && d[e - 1] == '\r')
            --e;
        qsizetype p = e;
        qsizetype trailing = 0;
        while (p > lineStart && d[p - 1] == separator) {
            --p;
            ++trailing;
        }
        if (qsizetype(m_lineStarts.size()) >= MaxLines || separators >= INT_MAX - 2)
            throw std::bad_alloc();
        m_lineStarts.push_back(lineStart);
        m_lastField.push_back(p > lineStart ? qint32(separators - trailing) : -1);
        maxSeparators = std::max(maxSeparators, separators);
        separators = 0;
        lineStart = end + 1;
    };

    qsizetype i = lineStart;
    bool ascii = true;
#if defined(__SSE2__)
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i sep = _mm_set1_epi8(separator);
    __m128i high = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + i));
        high = _mm_or_si128(high, v);
        unsigned lines = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, newline)));
        unsigned seps = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, sep)));
        while (lines) {
            const int bit = std::countr_zero(lines);
            const unsigned before = (1u << bit) - 1;
            separators += std::popcount(seps & before);
            seps &= ~before;
            endLine(i + bit);
            lines &= lines - 1;
        }
        separators += std::popcount(seps);
    }
    ascii = _mm_movemask_epi8(high) == 0;
#endif
    for (; i < n; ++i) {
        const char c = d[i];
        if (c == '\n')
            endLine(i);
        else if (c == separator)
            ++separators;
        if (uchar(c) >= 0x80)
            ascii = false;
    }
    if (lineStart < n)
        endLine(n); // the last line has no line end
    m_lineStarts.push_back(lineStart); // sentinel: one past the last line's end

    m_ascii = ascii;
    m_utf8 = ascii || QByteArrayView(m_data).isValidUtf8();
    const qsizetype lines = qsizetype(m_lastField.size());
    m_lineLimit = lines;
    m_fieldLimit = lines > 0 ? int(maxSeparators + 1) : 0;
    m_rows = int(std::max<qsizetype>(0, lines - 1 + m_rowOffset));
    m_cols = std::max(0, m_fieldLimit - 1 + m_colOffset);
    return m_rows > 0;
}

QString LogTable::decode(const char *begin, qsizetype length) const
{
    return m_utf8 && !m_ascii ? QString::fromUtf8(begin, length) : QString::fromLatin1(begin, length);
}

bool LogTable::field(qsizetype line, int fieldIndex, const char *&begin, qsizetype &length) const
{
    const char *d = m_data.constData();
    const qsizetype start = m_lineStarts[size_t(line)];
    qsizetype end = m_lineStarts[size_t(line) + 1] - 1;
    if (end > start && d[end - 1] == '\r')
        --end;
    const char *p = d + start;
    const char *stop = d + end;
    int k = 0;
    // Resume where the last read on this line left off: a plot run reads a line
    // column after column, so the next field usually starts right there.
    if (m_fieldCursor.empty())
        m_fieldCursor.assign(m_lineStarts.size(), NoCursor);
    const quint32 cursor = m_fieldCursor[size_t(line)];
    if (cursor != NoCursor && int(cursor & 0xFF) <= fieldIndex) {
        k = int(cursor & 0xFF);
        p += cursor >> 8;
    }
    const char separator = m_separator;
    // Fields are short: a plain scan beats a library call per field.
    for (; k < fieldIndex; ++k) {
        while (p < stop && *p != separator)
            ++p;
        if (p == stop)
            return false;
        ++p;
    }
    const char *q = p;
    while (q < stop && *q != separator)
        ++q;
    begin = p;
    length = q - p;
    // A plot run goes down the lines: fetch the same field a few lines ahead now,
    // so that the big buffer's cache misses overlap with this line's work.
    const size_t ahead = size_t(line) + 8;
    if (ahead + 1 < m_lineStarts.size()) {
        const quint32 next = m_fieldCursor[ahead];
        __builtin_prefetch(d + m_lineStarts[ahead] + (next != NoCursor ? next >> 8 : 0));
    }
    // Remember the start of the next field.
    const qsizetype next = q - (d + start) + 1;
    if (q < stop && fieldIndex < 0xFF && next < (qsizetype(1) << 24))
        m_fieldCursor[size_t(line)] = (quint32(next) << 8) | quint32(fieldIndex + 1);
    return true;
}

bool LogTable::isWritten(int col, int row) const
{
    // Most rows hold no written cell: a flag per row spares the hash look-up.
    return size_t(row) < m_rowWritten.size() && m_rowWritten[size_t(row)] && m_written.contains(key(col, row));
}

bool LogTable::rawText(int col, int row, QByteArrayView &bytes) const
{
    if (!m_ascii || col < 0 || row < 0 || col > m_cols || row > m_rows || !m_cleared.isEmpty())
        return false;
    if (isWritten(col, row))
        return false;
    const qsizetype line = qsizetype(row) - m_rowOffset;
    const int fieldIndex = col - m_colOffset;
    if (line < 0 || line >= m_lineLimit || fieldIndex < 0 || fieldIndex >= m_fieldLimit)
        return false;
    const char *begin = nullptr;
    qsizetype length = 0;
    if (!field(line, fieldIndex, begin, length))
        return false;
    bytes = QByteArrayView(begin, length);
    return true;
}

QString LogTable::text(int col, int row) const
{
    if (col < 0 || row < 0 || col > m_cols || row > m_rows)
        return {};
    if (isWritten(col, row)) {
        const auto it = m_written.constFind(key(col, row));
        if (it != m_written.cend())
            return *it;
    }
    for (const Rect &r : m_cleared) {
        if (r.contains(col, row))
            return {};
    }
    const qsizetype line = qsizetype(row) - m_rowOffset;
    const int fieldIndex = col - m_colOffset;
    if (line < 0 || line >= m_lineLimit || fieldIndex < 0 || fieldIndex >= m_fieldLimit)
        return {};
    const char *begin = nullptr;
    qsizetype length = 0;
    if (!field(line, fieldIndex, begin, length))
        return {};
    return decode(begin, length);
}

void LogTable::setText(int col, int row, const QString &text)
{
    if (col < 0 || row < 0 || col > m_cols || row > m_rows)
        throw RuntimeError(RuntimeError::SubscriptOutOfRange);
    m_written.insert(key(col, row), text);
    if (size_t(row) >= m_rowWritten.size())
        m_rowWritten.resize(size_t(row) + 1, 0);
    m_rowWritten[size_t(row)] = 1;
}

void LogTable::clearRange(int col1, int row1, int col2, int row2)
{
    Rect r{std::max(0, std::min(col1, col2)), std::max(0, std::min(row1, row2)),
           std::min(m_cols, std::max(col1, col2)), std::min(m_rows, std::max(row1, row2))};
    if (r.col1 > r.col2 || r.row1 > r.row2)
        return;
    if (r.col1 == 0 && r.row1 == 0 && r.col2 == m_cols && r.row2 == m_rows) {
        // Everything goes: free the buffer rather than mask it.
        clearContent();
        return;
    }
    for (auto it = m_written.begin(); it != m_written.end();) {
        const int col = int(quint32(it.key()));
        const int row = int(it.key() >> 32);
        it = r.contains(col, row) ? m_written.erase(it) : std::next(it);
    }
    m_cleared.append(r);
}

void LogTable::setRowCount(int rows)
{
    if (rows < 0)
        throw RuntimeError(RuntimeError::InvalidPropertyValue);
    if (rows < m_rows) {
        m_lineLimit = std::clamp<qsizetype>(qsizetype(rows) + 1 - m_rowOffset, 0, m_lineLimit);
        for (auto it = m_written.begin(); it != m_written.end();)
            it = int(it.key() >> 32) > rows ? m_written.erase(it) : std::next(it);
    }
    m_rows = rows;
}

void LogTable::setColCount(int cols)
{
    if (cols < 0)
        throw RuntimeError(RuntimeError::InvalidPropertyValue);
    if (cols < m_cols) {
        m_fieldLimit = std::clamp(cols + 1 - m_colOffset, 0, m_fieldLimit);
        for (auto it = m_written.begin(); it != m_written.end();)
            it = int(quint32(it.key())) > cols ? m_written.erase(it) : std::next(it);
    }
    m_cols = cols;
}

int LogTable::rowLastDataColumn(int row) const
{
    for (int col = m_cols; col > 0; --col) {
        if (!text(col, row).isEmpty())
            return col;
    }
    return 0;
}

int LogTable::lastDataColumn() const
{
    return lastDataColumn(0, m_rows);
}

int LogTable::lastDataColumn(int firstRow, int lastRow) const
{
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, m_rows);
    int best = 0;
    if (!m_cleared.isEmpty()) {
        // Partly cleared: rare, so every row is looked at cell by cell.
        for (int row = firstRow; row <= lastRow && best < m_cols; ++row)
            best = std::max(best, rowLastDataColumn(row));
        return best;
    }
    // Rows with written cells, or with data in dropped columns, are looked at cell
    // by cell; the rest take the last field found while indexing.
    QSet<int> exactRows;
    for (auto it = m_written.cbegin(); it != m_written.cend(); ++it) {
        const int row = int(it.key() >> 32);
        if (row >= firstRow && row <= lastRow)
            exactRows.insert(row);
    }
    const bool anyWritten = !exactRows.isEmpty();
    const qsizetype firstLine = std::max<qsizetype>(0, qsizetype(firstRow) - m_rowOffset);
    const qsizetype lines = std::min(m_lineLimit, qsizetype(lastRow) + 1 - m_rowOffset);
    for (qsizetype line = firstLine; line < lines; ++line) {
        const int row = int(line) + m_rowOffset;
        const qint32 last = m_lastField[size_t(line)];
        if (last >= m_fieldLimit)
            exactRows.insert(row);
        else if (last >= 0 && !(anyWritten && exactRows.contains(row)))
            best = std::max(best, int(last) + m_colOffset);
    }
    for (const int row : std::as_const(exactRows))
        best = std::max(best, rowLastDataColumn(row));
    return best;
}
