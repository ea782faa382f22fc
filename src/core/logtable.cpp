#include "logtable.h"

#include "pagefill.h"
#include "runtimeerror.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <bit>
#include <climits>
#include <limits>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// A text file has no NUL bytes; a picture or a program has them in its first blocks.
constexpr qsizetype TextProbeBytes = 4096;
// Rows and columns are ints in the grid; the header takes one of each.
constexpr qsizetype MaxLines = INT_MAX - 2;
// A file is read a piece at a time and each piece indexed as soon as it is in,
// while the next one is read: the indexer finds it still in the processor's
// cache, and the load takes about as long as the reading.
constexpr qsizetype ReadPiece = qsizetype(1) << 20;
// The NUL bytes at a file's end are looked through a block at a time, from a
// single byte (a file that ends in text costs the read of one byte), then from a
// small block to a large one.
constexpr qsizetype FirstBlock = 4096;
constexpr qsizetype LargestLook = qsizetype(1) << 20;

bool startsWithUtf16Mark(QByteArrayView bytes)
{
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

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

// A log file open for reading, and its size at opening: what is read. A logger
// that appends meanwhile cannot change the loaded table.
struct OpenLog
{
    int fd = -1;
    qint64 size = 0;

    explicit OpenLog(const QString &path)
    {
        const QByteArray native = QFile::encodeName(path);
        // Looked at before opening: opening a pipe for reading waits for a writer,
        // and a device such as /dev/zero never ends.
        struct stat st;
        if (::stat(native.constData(), &st) != 0)
            throw RuntimeError(errorNumberFor(errno));
        if (!S_ISREG(st.st_mode))
            throw RuntimeError(RuntimeError::NotRegularFile);
        fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            throw RuntimeError(errorNumberFor(errno));
        // Swapped for something else between the look and the opening.
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            throw RuntimeError(RuntimeError::NotRegularFile);
        }
        size = st.st_size;
    }
    ~OpenLog() { ::close(fd); }
    OpenLog(const OpenLog &) = delete;
    OpenLog &operator=(const OpenLog &) = delete;
};

// Up to `wanted` bytes from `offset`, fewer only where the file ends; -1 with
// errno set when it cannot be read.
qsizetype readAt(int fd, char *into, qsizetype wanted, qint64 offset)
{
    qsizetype have = 0;
    while (have < wanted) {
        const ssize_t got = ::pread(fd, into + have, size_t(wanted - have), off_t(offset + have));
        if (got > 0)
            have += got;
        else if (got == 0)
            break;
        else if (errno != EINTR)
            return -1;
    }
    return have;
}

// Whether [at, end) may hold data: false only for a hole of a sparse file (or
// for what lies past the file's end), as far as the file system can tell.
bool mayHoldData(int fd, qint64 at, qint64 end)
{
#ifdef SEEK_DATA
    const off_t data = ::lseek(fd, off_t(at), SEEK_DATA);
    if (data < 0)
        return errno != ENXIO;
    return data < end;
#else
    Q_UNUSED(fd)
    Q_UNUSED(at)
    Q_UNUSED(end)
    return true;
#endif
}

// Where the data before `end` ends, not before `from`: `end` unless a hole of a
// sparse file reaches up to it. Found by halving, so a hole of any size costs a
// few dozen look-ups.
qint64 dataEndBefore(int fd, qint64 from, qint64 end)
{
    if (mayHoldData(fd, end - 1, end))
        return end;
    if (!mayHoldData(fd, from, end))
        return from;
    // Data in [low, end), none in [high, end).
    qint64 low = from;
    qint64 high = end - 1;
    while (high - low > 1) {
        const qint64 middle = low + (high - low) / 2;
        (mayHoldData(fd, middle, end) ? low : high) = middle;
    }
    return high;
}

// Reads a file into its buffer a piece at a time, on a thread of its own for a
// file of more than one piece, while the loading thread indexes the pieces that
// have arrived: the load then takes about as long as the reading alone.
class PieceReader
{
public:
    PieceReader(int fd, char *into, qsizetype size) : m_fd(fd), m_into(into), m_size(size)
    {
        if (size <= ReadPiece)
            run();
        else
            m_thread = std::thread([this] { run(); });
    }
    ~PieceReader() { stop(); }
    PieceReader(const PieceReader &) = delete;
    PieceReader &operator=(const PieceReader &) = delete;

    // Waits until more than `held` bytes are in, or the reading ended; returns the
    // bytes in then. Throws RuntimeError when the file could not be read.
    qsizetype waitBeyond(qsizetype held)
    {
        qint64 state;
        while ((state = m_state.load(std::memory_order_acquire)) == held)
            m_state.wait(held, std::memory_order_acquire);
        if (state & Finished) {
            stop();
            if (m_error)
                throw RuntimeError(errorNumberFor(m_error));
        }
        return qsizetype(state & ~Finished);
    }
    bool finished() const { return m_state.load(std::memory_order_acquire) & Finished; }
    qint64 bytesRead() const { return m_state.load(std::memory_order_acquire) & ~Finished; }
    // Ends the reading early, and waits for it.
    void stop()
    {
        m_stop.store(true, std::memory_order_relaxed);
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    static constexpr qint64 Finished = qint64(1) << 62;

    void run()
    {
        qsizetype have = 0;
        while (have < m_size && !m_stop.load(std::memory_order_relaxed)) {
            const qsizetype wanted = std::min(ReadPiece, m_size - have);
            fillPages(m_into + have, size_t(wanted));
            const qsizetype got = readAt(m_fd, m_into + have, wanted, have);
            if (got < 0) {
                m_error = errno;
                break;
            }
            have += got;
            if (got < wanted)
                break;
            if (have < m_size) {
                m_state.store(have, std::memory_order_release);
                m_state.notify_one();
            }
        }
        m_state.store(have | Finished, std::memory_order_release);
        m_state.notify_one();
    }

    const int m_fd;
    char *const m_into;
    const qsizetype m_size;
    std::atomic<qint64> m_state{0}; // the bytes in, and whether the reading ended
    std::atomic<bool> m_stop{false};
    int m_error = 0;
    std::thread m_thread;
};

// Files of the proc kind report no size: read to their end.
QByteArray readUnsized(int fd, qint64 &bytesRead)
{
    constexpr qsizetype Chunk = 1 << 16;
    QByteArray data;
    for (;;) {
        const qsizetype have = data.size();
        data.resize(have + Chunk);
        ssize_t got;
        do
            got = ::read(fd, data.data() + have, size_t(Chunk));
        while (got < 0 && errno == EINTR);
        if (got < 0)
            throw RuntimeError(errorNumberFor(errno));
        data.truncate(have + got);
        bytesRead += got;
        if (got == 0)
            return data;
    }
}
#else
QByteArray readWholeFile(const QString &path, qint64 &size)
{
    QFile file(path);
    if (!file.exists())
        throw RuntimeError(RuntimeError::FileNotFound);
    if (!QFileInfo(path).isFile())
        throw RuntimeError(RuntimeError::NotRegularFile);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(file.permissions() & QFileDevice::ReadUser ? RuntimeError::PathFileAccess
                                                                      : RuntimeError::PermissionDenied);
    size = file.size();
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError(RuntimeError::PathFileAccess);
    return bytes;
}
#endif

RuntimeError outOfMemory(qint64 size)
{
    const qint64 megabytes = std::max<qint64>(1, (size + 999999) / 1000000);
    return RuntimeError(RuntimeError::OutOfMemory,
                        u"Not enough memory to load this file (%1 MB)."_s.arg(megabytes));
}

// UTF-16 text with its byte order mark, as UTF-8; other bytes as they are.
QByteArray fromUtf16(QByteArray bytes)
{
    if (!startsWithUtf16Mark(bytes))
        return bytes;
    QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
    QString text = decoder.decode(QByteArrayView(bytes).sliced(2));
    bytes = QByteArray();
    return text.toUtf8();
}

// The bits set in x: with the processor's instruction, or without (std::popcount
// is a library call unless the whole build targets a processor that has one).
template<bool Instruction>
[[gnu::always_inline]] inline int bitCount(quint64 x)
{
    if constexpr (Instruction) {
        return __builtin_popcountll(x);
    } else {
        x -= (x >> 1) & 0x5555555555555555ULL;
        x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
        x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
        return int((x * 0x0101010101010101ULL) >> 56);
    }
}

// Whether the processor counts bits in one instruction: nearly every x86-64 made
// since 2008 does, but the build does not assume it.
#if defined(__x86_64__) && !defined(__POPCNT__) && (defined(__GNUC__) || defined(__clang__))
#define LOGTABLE_COUNT_INSTRUCTION 1
bool hasCountInstruction()
{
    static const bool has = __builtin_cpu_supports("popcnt");
    return has;
}
#endif

} // namespace

qint64 LogTable::textEnd(int fd, qint64 from, qint64 size, qint64 &bytesRead, bool *shorter)
{
#ifdef Q_OS_UNIX
    std::vector<char> block;
    qint64 end = size;
    while (end > from) {
        // A hole at the end is passed unread: the text lies before it.
        end = dataEndBefore(fd, from, end);
        if (end <= from)
            break;
        block.resize(size_t(block.empty()        ? 1
                            : block.size() == 1 ? FirstBlock
                                                : std::min<qsizetype>(2 * block.size(), LargestLook)));
        const qint64 start = std::max<qint64>(from, end - qint64(block.size()));
        const qsizetype got = readAt(fd, block.data(), end - start, start);
        if (got < 0)
            return -1;
        bytesRead += got;
        if (got < end - start && shorter)
            *shorter = true;
        const char *text = block.data();
        const char *p = text + got;
        while (p > text && p[-1] == '\0')
            --p;
        if (p > text)
            return start + (p - text);
        end = start;
    }
    return from;
#else
    Q_UNUSED(fd)
    Q_UNUSED(bytesRead)
    Q_UNUSED(shorter)
    return std::max(from, size);
#endif
}

void LogTable::load(const QString &path, char separator, int flags)
{
    // The former content goes first, so that a reload never holds two files.
    clearContent();
    m_rows = m_cols = 0;
#ifdef Q_OS_UNIX
    const OpenLog file(path);
    qint64 bytesRead = 0;
    if (file.size == 0) {
        QByteArray bytes;
        try {
            bytes = readUnsized(file.fd, bytesRead);
        } catch (const std::bad_alloc &) {
            throw outOfMemory(bytesRead);
        }
        loadBytes(std::move(bytes), separator, flags);
        m_bytesRead = bytesRead;
        m_source = writetarget::LogHold(path);
        return;
    }
    // The NUL padding at the end is found before the text is read, and never read whole.
    bool shrank = false;
    qint64 end = textEnd(file.fd, 0, file.size, bytesRead, &shrank);
    if (end < 0)
        throw RuntimeError(errorNumberFor(errno));
    checkSeparator(separator);
    if (end == 0)
        throw RuntimeError(shrank && bytesRead == 0 ? RuntimeError::EmptyFile : RuntimeError::NotTextFile);
    if (end % 2 == 1 && end < file.size) {
        // A UTF-16 text may end in the NUL half of its last character.
        char mark[2];
        if (readAt(file.fd, mark, 2, 0) == 2 && startsWithUtf16Mark(QByteArrayView(mark, 2)))
            ++end;
    }
    std::optional<PieceReader> reader;
    try {
        if (quint64(end) >= quint64(std::numeric_limits<qsizetype>::max() / 2))
            throw std::bad_alloc();
        m_data = QByteArray(qsizetype(end), Qt::Uninitialized);
        reader.emplace(file.fd, m_data.data(), m_data.size());
        qsizetype held = reader->waitBeyond(0);
        const auto readMore = [&] {
            held = reader->waitBeyond(held);
            if (reader->finished())
                m_data.truncate(held); // the file ended early
            return held;
        };
        // Converted whole, or cut short while it was read: what was read is
        // loaded as it is, and its padding dropped.
        const bool whole = startsWithUtf16Mark(m_data) || (reader->finished() && held < m_data.size());
        if (!whole)
            indexHeld(held, readMore, separator, flags);
        while (held < m_data.size())
            readMore();
        bytesRead += reader->bytesRead();
        shrank = shrank || held < end;
        if (whole || shrank) {
            QByteArray bytes = std::move(m_data);
            loadBytes(std::move(bytes), separator, flags);
        }
    } catch (...) {
        if (reader)
            reader->stop(); // before the buffer goes
        dropAndRethrow(end);
    }
    m_notes.changedWhileRead = shrank;
    m_bytesRead = bytesRead;
#else
    qint64 size = 0;
    QByteArray bytes;
    try {
        bytes = readWholeFile(path, size);
    } catch (const std::bad_alloc &) {
        throw outOfMemory(size);
    }
    const qint64 bytesRead = bytes.size();
    loadBytes(std::move(bytes), separator, flags);
    m_notes.changedWhileRead = bytesRead < size;
    m_bytesRead = bytesRead;
#endif
    m_source = writetarget::LogHold(path);
}

void LogTable::checkSeparator(char separator)
{
    if (separator == '\n' || separator == '\r' || separator == '\0' || separator == '"')
        throw RuntimeError(RuntimeError::InvalidCall);
}

void LogTable::dropAndRethrow(qint64 fileSize)
{
    clearContent();
    m_rows = m_cols = 0;
    try {
        throw;
    } catch (const RuntimeError &) {
        throw;
    } catch (...) {
        throw outOfMemory(fileSize);
    }
}

void LogTable::loadBytes(QByteArray bytes, char separator, int flags)
{
    checkSeparator(separator);
    clearContent();
    m_rows = m_cols = 0;
    if (bytes.isEmpty())
        throw RuntimeError(RuntimeError::EmptyFile);
    const qint64 fileSize = bytes.size();
    try {
        const bool converted = startsWithUtf16Mark(bytes);
        bytes = fromUtf16(std::move(bytes));
        qsizetype size = bytes.size();
        while (size > 0 && bytes.at(size - 1) == '\0')
            --size;
        // Nothing but padding is no text either.
        if (size == 0 && !bytes.isEmpty())
            throw RuntimeError(RuntimeError::NotTextFile);
        bytes.truncate(size);
        m_data = std::move(bytes);
        indexHeld(size, {}, separator, flags);
        m_converted = converted;
    } catch (...) {
        dropAndRethrow(fileSize);
    }
}

void LogTable::indexHeld(qsizetype held, const std::function<qsizetype()> &readMore, char separator, int flags)
{
    if (std::memchr(m_data.constData(), 0, size_t(std::min(held, TextProbeBytes))))
        throw RuntimeError(RuntimeError::NotTextFile);
    m_separator = separator;
    m_rowOffset = flags & HeaderRow ? 0 : 1;
    m_colOffset = flags & HeaderColumn ? 0 : 1;
    index(held, readMore);
    if (m_lastField.empty())
        throw RuntimeError(RuntimeError::EmptyFile); // a byte order mark and nothing else
}

void LogTable::clearContent()
{
    m_data = QByteArray();
    std::vector<qsizetype>().swap(m_lineStarts);
    std::vector<qint32>().swap(m_lastField);
    m_lineLimit = 0;
    m_fieldLimit = 0;
    m_front.clear();
    m_frontSorted.clear();
    m_linesAbove = 0;
    m_linesUnder = 0;
    m_written.clear();
    std::vector<quint8>().swap(m_rowWritten);
    m_cleared.clear();
    m_utf8 = true;
    m_ascii = true;
    m_quoted = false;
    m_unclosedQuote = -1;
    m_notes = LoadNotes();
    m_bytesRead = 0;
    m_source = writetarget::LogHold();
    m_scan = ScanState();
    m_converted = false;
    m_scanned = 0;
    decltype(m_fieldCursor)().swap(m_fieldCursor);
    m_fieldCursorReady = false;
    // Every thread's cached cursors of the old content are void from here on.
    m_generation = freshGeneration();
}

void LogTable::endLine(ScanState &s, qsizetype next, qint32 lastField)
{
    if (qsizetype(m_lineStarts.size()) >= MaxLines || s.separators >= INT_MAX - 2)
        throw std::bad_alloc();
    m_lineStarts.push_back(s.lineStart);
    m_lastField.push_back(lastField);
    s.maxSeparators = std::max(s.maxSeparators, s.separators);
    s.maxLastField = std::max(s.maxLastField, lastField);
    s.separators = 0;
    s.lineStart = s.fieldStart = next;
}

// The index of a line's last non-empty field, -1 if none: looked for from its end,
// over separators and empty quoted fields (a line end is never inside quotes, so
// neither is what stands right before it).
qint32 LogTable::lastFieldBefore(qsizetype lineStart, qsizetype contentEnd, qsizetype separators) const
{
    const char *d = m_data.constData();
    const char separator = m_separator;
    qsizetype p = contentEnd;
    qsizetype trailing = 0;
    for (;;) {
        if (p > lineStart && d[p - 1] == separator) {
            --p;
            ++trailing;
        } else if (m_quoted && p - 2 >= lineStart && d[p - 1] == '"' && d[p - 2] == '"'
                   && (p - 2 == lineStart || d[p - 3] == separator) && p - 2 != m_unclosedQuote) {
            p -= 2;
            if (p == lineStart)
                break;
        } else {
            break;
        }
    }
    addScanned(contentEnd - p);
    return p > lineStart ? qint32(separators - trailing) : -1;
}

bool LogTable::scanPlain(ScanState &s, qsizetype limit)
{
#ifdef LOGTABLE_COUNT_INSTRUCTION
    if (hasCountInstruction())
        return scanPlainCounting(s, limit);
#endif
    return scanPlainWith<false>(s, limit);
}

#ifdef LOGTABLE_COUNT_INSTRUCTION
[[gnu::target("popcnt")]] bool LogTable::scanPlainCounting(ScanState &s, qsizetype limit)
{
    return scanPlainWith<true>(s, limit);
}
#else
bool LogTable::scanPlainCounting(ScanState &s, qsizetype limit)
{
    return scanPlainWith<true>(s, limit);
}
#endif

// Without quotes a line is what lies between two line ends, and its last non-empty
// field is found by looking back over the separators at its end. Stops at the
// first quote character and returns false: the file then takes the quoted path.
template<bool CountInstruction>
bool LogTable::scanPlainWith(ScanState &s, qsizetype limit)
{
    const char *d = m_data.constData();
    const qsizetype n = m_data.size();
    const char separator = m_separator;
    auto lineEndAt = [&](qsizetype pos) {
        qsizetype contentEnd = pos;
        qsizetype next = pos + 1;
        if (d[pos] == '\r') {
            if (pos + 1 < n && d[pos + 1] == '\n')
                return; // the LF ends the line
        } else if (pos > s.lineStart && d[pos - 1] == '\r') {
            contentEnd = pos - 1;
        }
        endLine(s, next, lastFieldBefore(s.lineStart, contentEnd, s.separators));
    };

    qsizetype i = s.pos;
    bool ascii = m_ascii;
    // Short of the buffer's end the last byte waits for the next call: a CR
    // there may be the first half of a CR LF.
    const qsizetype blocksEnd = limit == n ? limit : limit - 1;
#if defined(__SSE2__)
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i ret = _mm_set1_epi8('\r');
    const __m128i sep = _mm_set1_epi8(separator);
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i zero = _mm_setzero_si128();
    __m128i high = zero;
    const auto eq = [](__m128i v, __m128i c) { return _mm_cmpeq_epi8(v, c); };
    const auto either = [](__m128i a, __m128i b, __m128i c, __m128i e) {
        return _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, e));
    };
    const auto bits = [](__m128i a, __m128i b, __m128i c, __m128i e) {
        return quint64(unsigned(_mm_movemask_epi8(a))) | quint64(unsigned(_mm_movemask_epi8(b))) << 16
               | quint64(unsigned(_mm_movemask_epi8(c))) << 32 | quint64(unsigned(_mm_movemask_epi8(e))) << 48;
    };
    // Most blocks hold no line end: their separators are counted in byte lanes,
    // added up at the next line end (a lane gains at most 4 a block).
    __m128i sepLanes = zero;
    int laneBlocks = 0;
    const auto addLanes = [&] {
        const __m128i sums = _mm_sad_epu8(sepLanes, zero);
        s.separators += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums));
        sepLanes = zero;
        laneBlocks = 0;
    };
    for (; i + 64 <= blocksEnd; i += 64) {
        const auto *block = reinterpret_cast<const __m128i *>(d + i);
        const __m128i a = _mm_loadu_si128(block);
        const __m128i b = _mm_loadu_si128(block + 1);
        const __m128i c = _mm_loadu_si128(block + 2);
        const __m128i e = _mm_loadu_si128(block + 3);
        high = _mm_or_si128(high, either(a, b, c, e));
        const __m128i lineEndsOrQuotes = either(either(eq(a, newline), eq(b, newline), eq(c, newline), eq(e, newline)),
                                                either(eq(a, ret), eq(b, ret), eq(c, ret), eq(e, ret)),
                                                either(eq(a, quote), eq(b, quote), eq(c, quote), eq(e, quote)), zero);
        if (!_mm_movemask_epi8(lineEndsOrQuotes)) {
            sepLanes = _mm_sub_epi8(sepLanes, _mm_add_epi8(_mm_add_epi8(eq(a, sep), eq(b, sep)),
                                                           _mm_add_epi8(eq(c, sep), eq(e, sep))));
            if (++laneBlocks == 63)
                addLanes();
            continue;
        }
        if (_mm_movemask_epi8(either(eq(a, quote), eq(b, quote), eq(c, quote), eq(e, quote))))
            return false;
        if (laneBlocks)
            addLanes();
        const quint64 lfs = bits(eq(a, newline), eq(b, newline), eq(c, newline), eq(e, newline));
        quint64 crs = bits(eq(a, ret), eq(b, ret), eq(c, ret), eq(e, ret));
        if (crs) {
            // The CR of a CR LF is no line end of its own: its LF ends the line.
            const bool lfAfter = i + 64 < n && d[i + 64] == '\n';
            crs &= ~((lfs >> 1) | quint64(lfAfter) << 63);
        }
        quint64 lineEnds = lfs | crs;
        quint64 seps = bits(eq(a, sep), eq(b, sep), eq(c, sep), eq(e, sep));
        while (lineEnds) {
            const int bit = std::countr_zero(lineEnds);
            const quint64 before = (quint64(1) << bit) - 1;
            s.separators += bitCount<CountInstruction>(seps & before);
            seps &= ~before;
            lineEndAt(i + bit);
            lineEnds &= lineEnds - 1;
        }
        s.separators += bitCount<CountInstruction>(seps);
    }
    if (laneBlocks)
        addLanes();
    ascii = ascii && _mm_movemask_epi8(high) == 0;
#endif
    if (limit == n) {
        for (; i < n; ++i) {
            const char c = d[i];
            if (c == '\n' || c == '\r')
                lineEndAt(i);
            else if (c == separator)
                ++s.separators;
            else if (c == '"')
                return false;
            if (uchar(c) >= 0x80)
                ascii = false;
        }
    }
    m_ascii = ascii;
    addScanned(i - s.pos);
    s.pos = i;
    return true;
}

// With quotes, separators and line ends inside a quoted field belong to the field.
// Byte by byte over [s.pos, to); a doubled quote or a CR LF may end past `to`.
void LogTable::scanQuotedBytes(ScanState &s, qsizetype to)
{
    const char *d = m_data.constData();
    const qsizetype n = m_data.size();
    const char separator = m_separator;
    bool special[256] = {};
    special[uchar(separator)] = special[uchar('\n')] = special[uchar('\r')] = special[uchar('"')] = true;

    qsizetype i = s.pos;
    while (i < to) {
        if (s.inQuote) {
            const void *q = std::memchr(d + i, '"', size_t(to - i));
            if (!q) {
                i = to;
                break;
            }
            i = static_cast<const char *>(q) - d;
            if (i + 1 < n && d[i + 1] == '"') {
                i += 2; // a doubled quote is one quote of the text
                continue;
            }
            s.inQuote = false;
            ++i;
            continue;
        }
        while (i < to && !special[uchar(d[i])])
            ++i;
        if (i >= to)
            break;
        const char c = d[i];
        if (c == '"') {
            if (i == s.fieldStart) {
                if (i == m_unclosedQuote) {
                    // Never closed: the field ends with its line.
                    while (i < n && d[i] != '\n' && d[i] != '\r')
                        ++i;
                    continue;
                }
                s.inQuote = true;
                s.openQuote = i;
                s.openQuoteLine = m_lineStarts.size();
                s.openQuoteLineStart = s.lineStart;
            }
            ++i;
            continue;
        }
        if (c == separator) {
            ++s.separators;
            s.fieldStart = ++i;
            continue;
        }
        qsizetype next = i + 1;
        if (c == '\r' && next < n && d[next] == '\n')
            ++next;
        endLine(s, next, lastFieldBefore(s.lineStart, i, s.separators));
        i = next;
    }
    addScanned(i - s.pos);
    s.pos = i;
}

// Quote-aware indexing 64 bytes at a time: the bytes inside quotes come from a
// running parity of the quotes. That parity is the quoted fields exactly when
// every quote that opens stands at a field start or right after another quote (a
// doubled one); a block where one does not goes byte by byte.
void LogTable::scanQuoted(ScanState &s)
{
    const char *d = m_data.constData();
    const qsizetype n = m_data.size();
    const char separator = m_separator;
    const qsizetype dataStart = s.pos;
#if defined(__SSE2__)
    const auto mask = [](const char *p, char c) {
        const __m128i v = _mm_set1_epi8(c);
        quint64 m = 0;
        for (int k = 0; k < 4; ++k) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * k));
            m |= quint64(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, v)))) << (16 * k);
        }
        return m;
    };
    alignas(16) char tail[64];
    while (s.pos < n) {
        const qsizetype i = s.pos;
        const char *block = d + i;
        const qsizetype length = std::min<qsizetype>(64, n - i);
        if (length < 64) {
            std::memset(tail, 0, sizeof tail); // NUL is no special byte
            std::memcpy(tail, block, size_t(length));
            block = tail;
        }
        const quint64 quotes = mask(block, '"');
        const quint64 seps = mask(block, separator);
        const quint64 lineEnds = mask(block, '\n') | mask(block, '\r');
        quint64 inside = quotes;
        inside ^= inside << 1;
        inside ^= inside << 2;
        inside ^= inside << 4;
        inside ^= inside << 8;
        inside ^= inside << 16;
        inside ^= inside << 32;
        if (s.inQuote)
            inside = ~inside;
        const char before = i > dataStart ? d[i - 1] : '\n';
        const quint64 afterBoundary = ((seps | lineEnds) << 1)
                                      | quint64(before == separator || before == '\n' || before == '\r');
        const quint64 afterQuote = (quotes << 1) | quint64(before == '"');
        const quint64 opens = quotes & inside;
        if (opens & ~(afterBoundary | afterQuote)) {
            // A quote inside a field: an ordinary character.
            s.fieldStart = before == separator || before == '\n' || before == '\r' ? i : -2;
            scanQuotedBytes(s, i + length);
            continue;
        }
        if (const quint64 real = opens & afterBoundary) {
            s.openQuote = i + 63 - std::countl_zero(real);
        }
        unsigned long long ends = lineEnds & ~inside;
        quint64 outsideSeps = seps & ~inside;
        while (ends) {
            const int bit = std::countr_zero(ends);
            const quint64 below = (quint64(1) << bit) - 1;
            s.separators += std::popcount(outsideSeps & below);
            outsideSeps &= ~below;
            const qsizetype pos = i + bit;
            ends &= ends - 1;
            qsizetype contentEnd = pos;
            if (d[pos] == '\r') {
                if (pos + 1 < n && d[pos + 1] == '\n')
                    continue; // the LF ends the line
            } else if (pos > s.lineStart && d[pos - 1] == '\r') {
                contentEnd = pos - 1;
            }
            endLine(s, pos + 1, lastFieldBefore(s.lineStart, contentEnd, s.separators));
        }
        s.separators += std::popcount(outsideSeps);
        s.inQuote = inside >> 63;
        addScanned(length);
        s.pos = i + length;
    }
    if (s.inQuote) {
        // Inside since the last quote that opened a field: no line ended since.
        s.openQuoteLine = m_lineStarts.size();
        s.openQuoteLineStart = s.lineStart;
    }
#else
    s.fieldStart = s.pos;
    scanQuotedBytes(s, n);
#endif
}

// One pass over the buffer finds the line starts, each line's field count and its
// last non-empty field, and whether the text is plain ASCII.
void LogTable::index(qsizetype held, const std::function<qsizetype()> &readMore)
{
    ScanState s;
    {
        const char *d = m_data.constData();
        const qsizetype n = m_data.size();
        if (held >= 3 && std::memcmp(d, "\xEF\xBB\xBF", 3) == 0)
            s.pos = s.lineStart = s.fieldStart = 3; // a UTF-8 byte order mark is no part of the first caption
        // Reserve by the shorter of the first two lines (a header may be longer
        // than a row); untouched reserve costs no memory.
        const qsizetype look = std::min<qsizetype>(held, 1 << 16);
        qsizetype guess = 64;
        if (const void *end = std::memchr(d, '\n', size_t(look))) {
            const char *first = static_cast<const char *>(end) + 1;
            guess = first - d;
            if (const void *next = std::memchr(first, '\n', size_t(d + look - first)))
                guess = std::min<qsizetype>(guess, static_cast<const char *>(next) + 1 - first);
            guess = std::max<qsizetype>(8, guess);
        }
        m_lineStarts.reserve(size_t(n / guess * 2 + 16));
        m_lastField.reserve(size_t(n / guess * 2 + 16));
    }

    // A file without a quote character takes the plain path, indexed a piece at
    // a time as it is read.
    m_ascii = true;
    const ScanState start = s;
    for (;;) {
        m_quoted = !scanPlain(s, held);
        if (m_quoted || held == m_data.size())
            break;
        held = readMore();
    }
    while (held < m_data.size())
        held = readMore();
    const char *d = m_data.constData();
    const qsizetype n = m_data.size();
    if (m_quoted) {
        s = start;
        m_lineStarts.clear();
        m_lastField.clear();
        scanQuoted(s);
        if (s.inQuote) {
            // The file ended inside a quoted field: that quote opens a field that
            // ends with its line, and the lines from there are indexed again, byte
            // by byte. What followed the quote held only doubled quotes, so the
            // second run cannot end inside a quote.
            m_unclosedQuote = s.openQuote;
            m_notes.unclosedQuoteLine = qsizetype(s.openQuoteLine) + 1;
            m_lineStarts.resize(s.openQuoteLine);
            m_lastField.resize(s.openQuoteLine);
            const ScanState done = s;
            s = start;
            s.pos = s.lineStart = s.fieldStart = done.openQuoteLineStart;
            s.maxSeparators = done.maxSeparators;
            s.maxLastField = done.maxLastField;
            scanQuotedBytes(s, n);
        }
        m_ascii = !std::any_of(d, d + n, [](char c) { return uchar(c) >= 0x80; });
    }
    // The last line has no line end. It stays the last entry of the index, so that
    // appended bytes would only have to index it again.
    if (s.lineStart < n)
        endLine(s, n + 1, lastFieldBefore(s.lineStart, n, s.separators));
    m_lineStarts.push_back(s.lineStart); // sentinel: one past the last line's end

    m_utf8 = m_ascii || QByteArrayView(m_data).isValidUtf8();
    const qsizetype lines = qsizetype(m_lastField.size());
    m_lineLimit = lines;
    const int fields = lines > 0 ? int(s.maxSeparators + 1) : 0;
    m_fieldLimit = std::min(fields, MaxColumns + 1 - m_colOffset);
    m_rows = int(std::max<qsizetype>(0, lines - 1 + m_rowOffset));
    m_cols = std::max(0, m_fieldLimit - 1 + m_colOffset);
    m_notes.fileColumns = std::max(0, int(s.maxLastField) + m_colOffset);
    m_scan = s;
}

void LogTable::reserveForAppending(qsizetype bytes)
{
    const qsizetype size = m_data.size();
    const size_t lines = m_lastField.size();
    // As many lines as the bytes held would give.
    const size_t more = size > 0 ? size_t(double(lines) * double(bytes) / double(size)) + 16 : 16;
    m_data.reserve(size + bytes);
    m_lineStarts.reserve(m_lineStarts.size() + more);
    m_lastField.reserve(lines + more);
    if (!m_fieldCursor.empty())
        m_fieldCursor.reserve(m_fieldCursor.size() + more);
}

int LogTable::indexedRowCount() const
{
    return int(std::max<qsizetype>(0, qsizetype(m_lastField.size()) - 1 + m_rowOffset - m_linesUnder));
}

qsizetype LogTable::appendLines(QByteArrayView bytes)
{
    if (!canAppend())
        return 0;
    qsizetype take = bytes.size();
    while (take > 0 && bytes[take - 1] != '\n' && bytes[take - 1] != '\r')
        --take;
    if (take == 0)
        return 0;
    bytes = bytes.first(take);

    const qsizetype oldSize = m_data.size();
    // A last line without its line end is indexed again with what follows it.
    const bool unended = m_lineStarts.back() > oldSize;
    const size_t keep = m_lastField.size() - (unended ? 1 : 0);
    const qsizetype from = m_lineStarts[keep];
    const std::vector<qsizetype> oldStarts(m_lineStarts.begin() + qsizetype(keep), m_lineStarts.end());
    const std::vector<qint32> oldLast(m_lastField.begin() + qsizetype(keep), m_lastField.end());
    const bool oldQuoted = m_quoted;
    const bool oldAscii = m_ascii;
    const auto undo = [&] {
        m_data.truncate(oldSize);
        m_lineStarts.resize(keep);
        m_lineStarts.insert(m_lineStarts.end(), oldStarts.begin(), oldStarts.end());
        m_lastField.resize(keep);
        m_lastField.insert(m_lastField.end(), oldLast.begin(), oldLast.end());
        m_quoted = oldQuoted;
        m_ascii = oldAscii;
    };

    try {
        m_data.append(bytes);
        m_lineStarts.resize(keep);
        m_lastField.resize(keep);
        ScanState s = m_scan;
        s.pos = s.lineStart = s.fieldStart = from;
        // The CR that ended the last line was the first half of a CR LF.
        if (!unended && from == oldSize && oldSize > 0 && m_data.at(oldSize - 1) == '\r' && bytes.front() == '\n')
            s.pos = s.lineStart = s.fieldStart = from + 1;
        s.separators = 0;
        s.inQuote = false;
        const ScanState start = s;
        const bool quotes = std::memchr(bytes.data(), '"', size_t(bytes.size())) != nullptr;
        if (m_quoted || quotes || !scanPlain(s, m_data.size())) {
            // The first quote turns the whole table quote-aware; the lines before
            // it held none, so they read the same.
            s = start;
            m_lineStarts.resize(keep);
            m_lastField.resize(keep);
            m_quoted = true;
            scanQuoted(s);
        }
        if (s.inQuote) {
            // The lines end inside a quoted field: they wait for its closing quote.
            undo();
            return 0;
        }
        const qsizetype n = m_data.size();
        if (s.lineStart < n)
            endLine(s, n + 1, lastFieldBefore(s.lineStart, n, s.separators));
        m_lineStarts.push_back(s.lineStart);
        m_scan = s;
    } catch (...) {
        undo();
        throw;
    }

    const QByteArrayView added = QByteArrayView(m_data).sliced(from);
    const bool ascii = std::none_of(added.begin(), added.end(), [](char c) { return uchar(c) >= 0x80; });
    m_ascii = oldAscii && ascii;
    m_utf8 = m_ascii || (m_utf8 && added.isValidUtf8());
    m_lineLimit = qsizetype(m_lastField.size());
    m_notes.fileColumns = std::max(m_notes.fileColumns, int(m_scan.maxLastField) + m_colOffset);
    // Cursors into the lines indexed again are stale; new lines have none yet.
    if (!m_fieldCursor.empty()) {
        m_fieldCursor.resize(keep);
        m_fieldCursor.resize(m_lineStarts.size(), NoCursor);
    }
    // Every thread's cached cursors into the lines indexed again are stale too.
    m_generation = freshGeneration();
    return take;
}

QString LogTable::decode(const char *begin, qsizetype length) const
{
    return m_utf8 && !m_ascii ? QString::fromUtf8(begin, length) : QString::fromLatin1(begin, length);
}

QString LogTable::spanText(const Span &span) const
{
    if (span.plain)
        return decode(span.begin, span.length);
    // A quoted field with doubled quotes, or text after its closing quote.
    QByteArray bytes;
    bytes.reserve(span.fieldEnd - span.fieldBegin);
    const char *p = span.begin;
    const char *close = span.begin + span.length;
    while (p < close) {
        bytes += *p;
        p += (*p == '"' && p + 1 < close && p[1] == '"') ? 2 : 1;
    }
    if (close < span.fieldEnd)
        bytes.append(close + 1, span.fieldEnd - close - 1);
    return decode(bytes.constData(), bytes.size());
}

qsizetype LogTable::contentEnd(size_t line) const
{
    const char *d = m_data.constData();
    const qsizetype n = m_data.size();
    const qsizetype start = m_lineStarts[line];
    const qsizetype last = m_lineStarts[line + 1] - 1; // the line end's last byte
    if (last >= n)
        return n;
    if (d[last] == '\n' && last > start && d[last - 1] == '\r')
        return last - 1;
    return last;
}

const char *LogTable::splitField(const char *p, const char *stop, Span &span) const
{
    const char separator = m_separator;
    span.fieldBegin = p;
    if (m_quoted && p < stop && *p == '"') {
        if (p - m_data.constData() == m_unclosedQuote) {
            span.begin = p + 1;
            span.length = stop - span.begin;
            span.plain = true;
            span.fieldEnd = stop;
            return stop;
        }
        const char *q = p + 1;
        bool doubled = false;
        for (;;) {
            const void *found = std::memchr(q, '"', size_t(stop - q));
            if (!found) {
                q = stop;
                break;
            }
            q = static_cast<const char *>(found);
            if (q + 1 < stop && q[1] == '"') {
                doubled = true;
                q += 2;
                continue;
            }
            break;
        }
        const char *after = q < stop ? q + 1 : stop;
        const char *e = after;
        while (e < stop && *e != separator)
            ++e;
        span.begin = p + 1;
        span.length = q - span.begin;
        span.plain = !doubled && e == after;
        span.fieldEnd = e;
        return e;
    }
    const char *e = p;
    while (e < stop && *e != separator)
        ++e;
    span.begin = p;
    span.length = e - p;
    span.plain = true;
    span.fieldEnd = e;
    return e;
}

// What one thread remembers of its reads of one load of one table. A cache of
// another table or an older load is dropped on the next read.
struct LogTable::ReadCache
{
    quint64 generation = 0;
    // Where the last-read field of one line starts, at any field and offset: a
    // wide line read left to right, or a cell read again.
    qsizetype wideLine = -1;
    qsizetype wideField = 0;
    qsizetype wideOffset = 0;
    // Of the wide lines read lately, the start of every CheckpointFields-th field.
    QHash<qsizetype, std::vector<qsizetype>> checkpoints;
    // Bytes walked and not yet added to the table's count.
    qint64 scanned = 0;
};

namespace {
std::atomic<quint64> g_generations{0};
// Makes the cursor arrays of every table, rarely, and never two at once.
std::mutex g_cursorArrays;
constexpr qint64 ScannedBatch = qint64(1) << 16;
} // namespace

quint64 LogTable::freshGeneration()
{
    return g_generations.fetch_add(1, std::memory_order_relaxed) + 1;
}

LogTable::ReadCache &LogTable::readCache() const
{
    thread_local ReadCache cache;
    if (cache.generation != m_generation) {
        cache = ReadCache();
        cache.generation = m_generation;
    }
    return cache;
}

qint64 LogTable::bytesScanned() const
{
    return m_scanned.load(std::memory_order_relaxed) + readCache().scanned;
}

quint32 *LogTable::fieldCursors() const
{
    if (!m_fieldCursorReady.load(std::memory_order_acquire)) {
        const std::lock_guard lock(g_cursorArrays);
        if (m_fieldCursor.empty())
            decltype(m_fieldCursor)(m_lineStarts.size()).swap(m_fieldCursor);
        m_fieldCursorReady.store(true, std::memory_order_release);
    }
    return m_fieldCursor.data();
}

const char *LogTable::resumeAt(const quint32 *cursors, qsizetype line, int fieldIndex, int &k) const
{
    const char *lineStart = m_data.constData() + m_lineStarts[size_t(line)];
    const quint32 cursor = __atomic_load_n(&cursors[line], __ATOMIC_RELAXED);
    if (cursor != NoCursor && int(cursor & 0xFF) <= fieldIndex) {
        k = int(cursor & 0xFF);
        return lineStart + (cursor >> 8);
    }
    k = 0;
    return lineStart;
}

void LogTable::remember(quint32 *cursors, qsizetype line, int fieldIndex, const char *next, const char *stop) const
{
    const char *d = m_data.constData();
    // A plot run goes down the lines: fetch the same field a few lines ahead now,
    // so that the big buffer's cache misses overlap with this line's work.
    const size_t ahead = size_t(line) + 8;
    if (ahead + 1 < m_lineStarts.size()) {
        const quint32 cursor = __atomic_load_n(&cursors[ahead], __ATOMIC_RELAXED);
        __builtin_prefetch(d + m_lineStarts[ahead] + (cursor != NoCursor ? cursor >> 8 : 0));
    }
    if (next < stop) {
        const qsizetype offset = next - (d + m_lineStarts[size_t(line)]) + 1;
        if (fieldIndex < 0xFF && offset < (qsizetype(1) << 24))
            __atomic_store_n(&cursors[line], (quint32(offset) << 8) | quint32(fieldIndex + 1), __ATOMIC_RELAXED);
    }
}

bool LogTable::field(qsizetype line, int fieldIndex, Span &span) const
{
    const char *d = m_data.constData();
    const qsizetype start = m_lineStarts[size_t(line)];
    const char *stop = d + contentEnd(size_t(line));
    ReadCache &cache = readCache();
    // Resume where the last read on this line left off: reading a line column
    // after column, the next field usually starts right there.
    quint32 *cursors = fieldCursors();
    int resumed = 0;
    const char *p = resumeAt(cursors, line, fieldIndex, resumed);
    qsizetype k = resumed;
    if (cache.wideLine == line && cache.wideField <= fieldIndex && cache.wideField > k) {
        k = cache.wideField;
        p = d + start + cache.wideOffset;
    }
    // Far into a wide line, out of order (a header asks for its last sections
    // first): start from the nearest field start noted on an earlier walk.
    std::vector<qsizetype> *marks = nullptr;
    if (fieldIndex >= CheckpointFields) {
        if (cache.checkpoints.size() > MaxCheckpointLines && !cache.checkpoints.contains(line))
            cache.checkpoints.clear();
        marks = &cache.checkpoints[line];
        const size_t mark = std::min(size_t(fieldIndex / CheckpointFields), marks->size());
        if (mark > 0 && qsizetype(mark) * CheckpointFields > k) {
            k = qsizetype(mark) * CheckpointFields;
            p = d + start + (*marks)[mark - 1];
        }
    }
    const char *from = p;
    auto count = [&](qint64 bytes) {
        cache.scanned += bytes;
        if (cache.scanned >= ScannedBatch) {
            m_scanned.fetch_add(cache.scanned, std::memory_order_relaxed);
            cache.scanned = 0;
        }
    };
    for (; k < fieldIndex; ++k) {
        p = splitField(p, stop, span);
        if (p == stop) {
            count(p - from);
            return false;
        }
        ++p;
        if (marks && (k + 1) % CheckpointFields == 0 && size_t((k + 1) / CheckpointFields) == marks->size() + 1)
            marks->push_back(p - (d + start));
    }
    const char *q = splitField(p, stop, span);
    count(q - from);
    remember(cursors, line, fieldIndex, q, stop);
    // On a wide line, the start of this field too, so that reading the cell
    // again costs the cell.
    cache.wideLine = line;
    cache.wideField = fieldIndex;
    cache.wideOffset = p - (d + start);
    return true;
}

LogTable::ColumnReader::ColumnReader(const LogTable &table, int col) : m_table(table), m_col(col)
{
    const int fieldIndex = table.fieldOf(col);
    if (table.m_cleared.isEmpty() && col >= 0 && col <= table.m_cols && fieldIndex >= 0
        && fieldIndex < table.m_fieldLimit) {
        m_field = fieldIndex;
        m_cursors = table.fieldCursors();
        m_checkAscii = !table.m_ascii;
    }
}

LogTable::ColumnReader::~ColumnReader()
{
    m_table.m_scanned.fetch_add(m_scanned, std::memory_order_relaxed);
}

bool LogTable::ColumnReader::rawText(int row, QByteArrayView &bytes)
{
    const LogTable &t = m_table;
    const qsizetype line = t.lineOf(row);
    if (m_field < 0 || row < 0 || row > t.m_rows || line < 0 || line >= t.m_lineLimit)
        return false;
    // A row holding a written cell is read the careful way.
    if (size_t(row) < t.m_rowWritten.size() && t.m_rowWritten[size_t(row)])
        return t.rawText(m_col, row, bytes);
    const char *stop = t.m_data.constData() + t.contentEnd(size_t(line));
    int k = 0;
    const char *p = t.resumeAt(m_cursors, line, m_field, k);
    const char *from = p;
    Span span;
    for (; k < m_field; ++k) {
        p = t.splitField(p, stop, span);
        if (p == stop) {
            m_scanned += p - from;
            return false;
        }
        ++p;
    }
    const char *q = t.splitField(p, stop, span);
    m_scanned += q - from;
    t.remember(m_cursors, line, m_field, q, stop);
    if (!span.plain || (m_checkAscii && !isAscii(span)))
        return false;
    bytes = QByteArrayView(span.begin, span.length);
    return true;
}

int LogTable::lineLastField(qsizetype line, int limit) const
{
    const char *d = m_data.constData();
    const char *p = d + m_lineStarts[size_t(line)];
    const char *stop = d + contentEnd(size_t(line));
    const char *from = p;
    int last = -1;
    Span span;
    for (int k = 0; k < limit; ++k) {
        p = splitField(p, stop, span);
        if (span.length > 0 || !span.plain)
            last = k;
        if (p == stop)
            break;
        ++p;
    }
    addScanned(p - from);
    return last;
}

bool LogTable::isWritten(int col, int row) const
{
    // Most rows hold no written cell: a flag per row spares the hash look-up.
    return size_t(row) < m_rowWritten.size() && m_rowWritten[size_t(row)] && m_written.contains(key(col, row));
}

bool LogTable::rawText(int col, int row, QByteArrayView &bytes) const
{
    if (col < 0 || row < 0 || col > m_cols || row > m_rows || !m_cleared.isEmpty())
        return false;
    if (isWritten(col, row))
        return false;
    const qsizetype line = lineOf(row);
    const int fieldIndex = fieldOf(col);
    if (line < 0 || line >= m_lineLimit || fieldIndex < 0 || fieldIndex >= m_fieldLimit)
        return false;
    Span span;
    if (!field(line, fieldIndex, span) || !span.plain || (!m_ascii && !isAscii(span)))
        return false;
    bytes = QByteArrayView(span.begin, span.length);
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
    const qsizetype line = lineOf(row);
    const int fieldIndex = fieldOf(col);
    if (line < 0 || line >= m_lineLimit || fieldIndex < 0 || fieldIndex >= m_fieldLimit)
        return {};
    Span span;
    if (!field(line, fieldIndex, span))
        return {};
    return spanText(span);
}

QStringList LogTable::underHeading(int col) const
{
    QStringList texts;
    const int fieldIndex = fieldOf(col);
    if (col < 0 || col > m_cols || fieldIndex < 0 || fieldIndex >= m_fieldLimit)
        return texts;
    for (qsizetype line = 1; line <= m_linesUnder && line < m_lineLimit; ++line) {
        Span span;
        texts << (field(line, fieldIndex, span) ? spanText(span) : QString());
    }
    return texts;
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
        m_lineLimit = std::clamp<qsizetype>(lineOf(rows) + 1, 0, m_lineLimit);
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
        // Arranged columns are dropped by the count alone: the fields they show
        // need not be the last ones.
        if (m_front.empty())
            m_fieldLimit = std::clamp(cols + 1 - m_colOffset, 0, m_fieldLimit);
        for (auto it = m_written.begin(); it != m_written.end();)
            it = int(quint32(it.key())) > cols ? m_written.erase(it) : std::next(it);
    }
    m_cols = cols;
}

void LogTable::arrange(int headingLine, int linesUnder, const QList<int> &front)
{
    const size_t lines = m_lastField.size();
    const size_t above = size_t(std::clamp<qsizetype>(headingLine, 0, qsizetype(lines)));
    if (above > 0) {
        m_lineStarts.erase(m_lineStarts.begin(), m_lineStarts.begin() + qsizetype(above));
        m_lastField.erase(m_lastField.begin(), m_lastField.begin() + qsizetype(above));
        m_linesAbove = qsizetype(above);
    }
    // The lines under the heading stay indexed (a line ends where the next
    // begins), and the rows pass over them.
    m_linesUnder = int(std::clamp<qsizetype>(linesUnder, 0, std::max<qsizetype>(0, qsizetype(m_lastField.size()) - 1)));
    m_front.clear();
    for (const int field : front) {
        if (field >= 0 && field < m_fieldLimit && std::find(m_front.begin(), m_front.end(), field) == m_front.end())
            m_front.push_back(field);
    }
    if (m_colOffset != 0)
        m_front.clear();
    m_frontSorted = m_front;
    std::sort(m_frontSorted.begin(), m_frontSorted.end());
    m_lineLimit = qsizetype(m_lastField.size());
    m_rows = indexedRowCount();
    // What was read from the lines as they were is stale.
    m_fieldCursor.clear();
    m_fieldCursorReady = false;
    m_generation = freshGeneration();
}

qsizetype LogTable::fileLine(int row) const
{
    return qsizetype(row) + 1 - m_rowOffset + m_linesAbove + (row > 0 ? m_linesUnder : 0);
}

int LogTable::arrangedFieldOf(int col) const
{
    const int f = col - m_colOffset;
    if (f < 0)
        return f;
    const int n = int(m_front.size());
    if (f < n)
        return m_front[size_t(f)];
    int field = f - n;
    for (const int front : m_frontSorted)
        field += front <= field ? 1 : 0;
    return field;
}

int LogTable::colOf(int field) const
{
    if (m_front.empty())
        return field + m_colOffset;
    const auto at = std::find(m_front.begin(), m_front.end(), field);
    if (at != m_front.end())
        return int(at - m_front.begin());
    const auto before = std::lower_bound(m_frontSorted.begin(), m_frontSorted.end(), field) - m_frontSorted.begin();
    return field - int(before) + int(m_front.size());
}

int LogTable::lastColumnOfFields(int field) const
{
    if (m_front.empty())
        return field + m_colOffset;
    int best = 0;
    for (size_t i = 0; i < m_front.size(); ++i) {
        if (m_front[i] <= field)
            best = std::max(best, int(i));
    }
    // The largest field up to `field` that is not shown in front.
    for (int f = field; f >= 0; --f) {
        if (!std::binary_search(m_frontSorted.begin(), m_frontSorted.end(), f))
            return std::max(best, colOf(f));
    }
    return best;
}

int LogTable::rowLastDataColumn(int row) const
{
    for (int col = m_cols; col > 0; --col) {
        if (!text(col, row).isEmpty())
            return col;
    }
    return 0;
}

bool LogTable::rowIsWhole(int row, int col) const
{
    const qsizetype line = lineOf(row);
    int fieldIndex = fieldOf(col);
    for (int c = 0; c < col && !m_front.empty(); ++c)
        fieldIndex = std::max(fieldIndex, fieldOf(c));
    if (line < 0 || line >= m_lineLimit || fieldIndex < 0 || row > m_rows)
        return false;
    // The line end's last byte lies inside the file unless the line has none.
    if (m_lineStarts[size_t(line) + 1] - 1 >= m_data.size())
        return false;
    Span span;
    return field(line, fieldIndex, span);
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
    qsizetype firstLine = std::max<qsizetype>(0, lineOf(firstRow));
    const qsizetype lines = std::min(m_lineLimit, lineOf(lastRow) + 1);
    // The lines under the heading are no rows: with the heading, they are looked at cell
    // by cell.
    if (m_linesUnder > 0 && firstLine <= m_linesUnder && lines > 1) {
        if (firstRow == 0)
            best = rowLastDataColumn(0);
        firstLine = m_linesUnder + 1;
    }
    if (m_written.isEmpty() && firstLine < lines) {
        // Usually every line's last field is held: then the index alone answers.
        qint32 top = -1;
        for (auto it = m_lastField.begin() + firstLine, end = m_lastField.begin() + lines; it != end; ++it)
            top = std::max(top, *it);
        if (top < m_fieldLimit)
            return std::max(best, top >= 0 ? std::min(m_cols, lastColumnOfFields(top)) : 0);
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
    for (qsizetype line = firstLine; line < lines; ++line) {
        const int row = int(line) + m_rowOffset - (line > m_linesUnder ? m_linesUnder : 0);
        const qint32 last = m_lastField[size_t(line)];
        if (anyWritten && exactRows.contains(row))
            continue;
        if (last >= m_fieldLimit) {
            // Data in dropped columns: the line is walked once up to the limit.
            if (best < m_cols) {
                const int kept = lineLastField(line, m_fieldLimit);
                if (kept >= 0)
                    best = std::max(best, std::min(m_cols, lastColumnOfFields(kept)));
            }
        } else if (last >= 0) {
            best = std::max(best, std::min(m_cols, lastColumnOfFields(last)));
        }
    }
    for (const int row : std::as_const(exactRows))
        best = std::max(best, rowLastDataColumn(row));
    return best;
}
