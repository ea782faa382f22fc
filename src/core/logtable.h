#pragma once

#include "writetarget.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <vector>

// The content of the grid: a delimited text file held as one buffer, with an index
// of line starts; fields are split only when a cell is asked for, so a log of a
// million lines costs its own size plus twelve bytes a line. Cells that the
// program writes or clears live in a small overlay on top of the buffer.
//
// Coordinates are the grid's: row 0 is the header row and column 0 the header
// column; the counts do not include them, so rows run from 0 to rowCount() and
// columns from 0 to colCount(). With the header flags, line 1 of the file is row 0
// and field 1 of each line is column 0; without them the file starts at row 1 or
// column 1 and the header stays empty.
//
// Lines end in CR LF, LF or a lone CR; a missing final line end is accepted. A
// double quote at the start of a field opens a quoted field, which may hold
// separators, line ends and doubled quotes (one quote each); the quotes are no part
// of the cell. A quote elsewhere is an ordinary character. A quoted field that the
// file never closes ends at the end of its own line. Text is UTF-8 when the whole
// file is valid UTF-8, else Latin-1; UTF-16 with a byte order mark is converted
// once at load. At most MaxColumns columns are held; fields beyond are not.
//
// Every step is linear in the file's size: reading the cells of a line from left
// to right walks the line once, whatever its field count. bytesScanned() counts
// the bytes walked, so that this can be checked.
class LogTable
{
public:
    enum Flag { HeaderRow = 1, HeaderColumn = 2 };
    static constexpr int MaxColumns = 16384;

    // What a successful load has to say besides its cells.
    struct LoadNotes
    {
        qsizetype unclosedQuoteLine = 0; // file line (from 1) of a quoted field never closed; 0: none
        bool changedWhileRead = false;   // the file shrank while it was read: what was read is kept
        int fileColumns = 0;             // the last column holding data in the file, held or not
    };

    // Replaces the whole content with the file's. Throws RuntimeError 53 (no such
    // file), 70 (no permission), 75 (cannot be read), 31003 (not a regular file:
    // refused before it is opened for reading, so a pipe cannot block), 31001 (no
    // text at all), 31002 (NUL bytes among the first 4 KiB) or 7 (too big to hold);
    // the table is then empty. A header line alone loads, with no rows. NUL
    // padding at the end, as a logger leaves it after a power cut, is found
    // before the text is read and never held (see textEnd()).
    void load(const QString &path, char separator = ',', int flags = HeaderRow | HeaderColumn);
    // The same for bytes already in memory.
    void loadBytes(QByteArray bytes, char separator = ',', int flags = HeaderRow | HeaderColumn);
    const LoadNotes &loadNotes() const { return m_notes; }
    // Bytes the last load() read from its file: the text, and what it read to
    // find where the text ends. NUL padding is not read, or read a block at a time
    // and dropped, so that it costs no memory.
    qint64 bytesRead() const { return m_bytesRead; }

    // Where the text of an open file ends, looked for from `size` back to `from`:
    // before the NUL bytes at its end, the space a logger set aside or what a
    // power cut leaves. The holes of a sparse file are passed without reading
    // them; NUL bytes written out are read a block at a time. A file that ends
    // before `size` ends where its bytes end (`shorter` is then set). Adds the
    // bytes read to `bytesRead`; -1 with errno set when the file cannot be read.
    static qint64 textEnd(int fd, qint64 from, qint64 size, qint64 &bytesRead, bool *shorter = nullptr);

    // For a log of another shape, right after its load: the `headingLine`
    // lines above its heading (a title, a serial number) and `linesUnder` heading
    // lines right under it (units, a processing line) leave the rows, so that row
    // 0 is the heading and row 1 the first line of data; the fields `front` (file
    // field indices) are shown first, in that order, the others after them in the
    // file's order. Fields that are not held are passed over; lines under the
    // heading are never more than the lines there are.
    void arrange(int headingLine, int linesUnder, const QList<int> &front);
    // The texts of a column on the heading lines under the heading, in their order.
    QStringList underHeading(int col) const;
    // The line of the file (from 1) that a grid row shows.
    qsizetype fileLine(int row) const;
    // The file field (from 0) that a grid column shows; -1 for none.
    int fieldOf(int col) const { return m_front.empty() ? col - m_colOffset : arrangedFieldOf(col); }
    // The grid column that shows a file field.
    int colOf(int field) const;

    int rowCount() const { return m_rows; }
    int colCount() const { return m_cols; }
    // A smaller count drops the trailing rows or columns for good; a larger one adds
    // empty ones. A negative count throws RuntimeError 380.
    void setRowCount(int rows);
    void setColCount(int cols);

    // Empty outside the table.
    QString text(int col, int row) const;
    // The cell's bytes as the file holds them, without a copy and without its
    // quotes: only for a cell of plain ASCII, one the program has not written or
    // cleared and a quoted cell without doubled quotes; false otherwise (read
    // text() then). Valid until the table changes.
    bool rawText(int col, int row, QByteArrayView &bytes) const;

    // rawText() for one column read down its rows, as the plot run reads: what
    // holds for the whole column is checked once. One reader per thread; valid
    // until the table changes.
    class ColumnReader
    {
    public:
        bool rawText(int row, QByteArrayView &bytes);
        ~ColumnReader();
        ColumnReader(const ColumnReader &) = delete;
        ColumnReader &operator=(const ColumnReader &) = delete;

    private:
        friend class LogTable;
        ColumnReader(const LogTable &table, int col);
        const LogTable &m_table;
        int m_col = 0;
        int m_field = -1; // -1: no cell of the column has plain bytes
        bool m_checkAscii = false; // the file holds other bytes: a cell's are given only when all are ASCII
        qint64 m_scanned = 0;
        quint32 *m_cursors = nullptr;
    };
    ColumnReader columnReader(int col) const { return ColumnReader(*this, col); }
    // Throws RuntimeError 9 outside the table.
    void setText(int col, int row, const QString &text);
    // Empties the cells of the rectangle (corners in any order, clipped to the table).
    void clearRange(int col1, int row1, int col2, int row2);

    // The last column that holds any text, the header row included; 0 when none does.
    int lastDataColumn() const;
    // The same over rows firstRow to lastRow only (clipped to the table); looks at
    // those rows alone, so a few rows of a big log cost a few rows.
    int lastDataColumn(int firstRow, int lastRow) const;
    // Whether the row's line was written whole: it has a field for `col` and its
    // line end. False for a row the program added.
    bool rowIsWhole(int row, int col) const;

    bool isUtf8() const { return m_utf8; }
    qsizetype byteSize() const { return m_data.size(); }
    // Bytes walked by the load and by every cell read since the last load. Reads
    // on other threads are counted in batches; a thread's last batch may be left out.
    qint64 bytesScanned() const;

    // The bytes held: the file's own, unless it was UTF-16 (see canAppend()).
    QByteArrayView content() const { return m_data; }
    // Whether bytes the file gains can be taken in by appendLines(): not for a file
    // converted from UTF-16 nor one that ends inside a quoted field.
    bool canAppend() const { return !m_lineStarts.empty() && !m_converted && m_unclosedQuote < 0; }
    // Takes the complete lines at the front of `bytes`, the bytes the file holds
    // after content(): a last line held without its line end goes on with them,
    // and a CR LF may come split over two calls. Stops after the last line end;
    // returns the number of bytes taken, 0 when no line ends in them or when
    // they would end inside a quoted field (the caller offers them again with
    // more). The rows become visible through setRowCount(indexedRowCount()).
    qsizetype appendLines(QByteArrayView bytes);
    // Makes room for `bytes` more bytes and their lines, so that appending them
    // does not copy what is held. Throws std::bad_alloc.
    void reserveForAppending(qsizetype bytes);
    // The rows that the indexed lines give, whatever setRowCount() left.
    int indexedRowCount() const;

private:
    struct Rect
    {
        int col1, row1, col2, row2;
        bool contains(int col, int row) const { return col >= col1 && col <= col2 && row >= row1 && row <= row2; }
    };

    // Where a field's text lies: `plain` when it is the bytes begin..begin+length
    // as they are; otherwise a quoted field with doubled quotes or text after its
    // closing quote, whose text unquoted() builds.
    struct Span
    {
        const char *begin = nullptr;
        qsizetype length = 0;
        bool plain = true;
        const char *fieldBegin = nullptr; // the field as the file holds it, quotes included
        const char *fieldEnd = nullptr;
    };
    // The indexer's state between two runs over the buffer, so that appended bytes
    // could be indexed from where the last run stopped.
    struct ScanState
    {
        qsizetype pos = 0;          // next byte to look at
        qsizetype lineStart = 0;
        qsizetype fieldStart = 0;
        qsizetype separators = 0;   // separators of the current line outside quotes
        bool inQuote = false;
        qsizetype openQuote = -1;   // where the open quoted field started
        size_t openQuoteLine = 0;   // its line
        qsizetype openQuoteLineStart = 0;
        qsizetype maxSeparators = 0;
        qint32 maxLastField = -1;
    };

    void clearContent();
    static void checkSeparator(char separator);
    // Checks and indexes m_data, of which `held` bytes are in (see index()).
    void indexHeld(qsizetype held, const std::function<qsizetype()> &readMore, char separator, int flags);
    // Empties the table and throws the exception being handled again, anything
    // but a RuntimeError as running out of memory for a file of `fileSize` bytes.
    [[noreturn]] void dropAndRethrow(qint64 fileSize);
    // One pass over m_data. While the file is still being read, `held` bytes of
    // the buffer are in and readMore() reads the next piece and returns how many
    // are in then; it shortens the buffer to them when the file ends early.
    void index(qsizetype held, const std::function<qsizetype()> &readMore);
    void index() { index(m_data.size(), {}); }
    // Indexes [s.pos, limit) without quotes; false at the first quote. Short of
    // the buffer's end, a few bytes before `limit` wait for the next call.
    bool scanPlain(ScanState &s, qsizetype limit);
    // scanPlain() as built for a processor that counts bits in one instruction, and as built for any.
    bool scanPlainCounting(ScanState &s, qsizetype limit);
    template<bool CountInstruction>
    [[gnu::always_inline]] inline bool scanPlainWith(ScanState &s, qsizetype limit);
    void scanQuoted(ScanState &s);
    void scanQuotedBytes(ScanState &s, qsizetype to);
    [[gnu::always_inline]] inline qint32 lastFieldBefore(qsizetype lineStart, qsizetype contentEnd,
                                                         qsizetype separators) const;
    [[gnu::always_inline]] inline void endLine(ScanState &s, qsizetype next, qint32 lastField);
    QString decode(const char *begin, qsizetype length) const;
    QString spanText(const Span &span) const;
    static bool isAscii(const Span &span)
    {
        for (qsizetype i = 0; i < span.length; ++i) {
            if (uchar(span.begin[i]) >= 0x80)
                return false;
        }
        return true;
    }
    qsizetype contentEnd(size_t line) const;
    // Splits the field that starts at p; returns where it ends (its separator or stop).
    const char *splitField(const char *p, const char *stop, Span &span) const;
    // The field of a line; false when the line has no such field.
    bool field(qsizetype line, int fieldIndex, Span &span) const;
    // The line's last non-empty field below `limit`, -1 if none: one pass over the line.
    int lineLastField(qsizetype line, int limit) const;
    int rowLastDataColumn(int row) const;
    // The index of the line a grid row shows (row 0: the heading).
    // fieldOf() where some fields are shown first.
    int arrangedFieldOf(int col) const;
    qsizetype lineOf(int row) const
    {
        const qsizetype line = qsizetype(row) - m_rowOffset;
        return line + (line >= 1 ? m_linesUnder : 0);
    }
    // The largest grid column that shows any of the fields up to `field`.
    int lastColumnOfFields(int field) const;
    bool isWritten(int col, int row) const;
    static quint64 key(int col, int row) { return (quint64(quint32(row)) << 32) | quint32(col); }

    QByteArray m_data;
    std::vector<qsizetype> m_lineStarts;   // one per line, then the end sentinel (size + 1 after an unended line)
    std::vector<qint32> m_lastField;       // per line: index of its last non-empty field, -1 if none
    char m_separator = ',';
    bool m_utf8 = true;
    bool m_ascii = true;
    bool m_quoted = false;                  // the buffer holds a quote character
    qsizetype m_unclosedQuote = -1;         // the quote that opens a field never closed
    int m_rowOffset = 0;                    // grid row of line 0
    int m_colOffset = 0;                    // grid column of field 0
    int m_rows = 0;
    int m_cols = 0;
    qsizetype m_lineLimit = 0;              // lines from here on read as empty (dropped rows)
    int m_fieldLimit = 0;                   // fields from here on read as empty (dropped columns)
    std::vector<int> m_front;               // fields shown first (arrange()), in their order
    std::vector<int> m_frontSorted;         // the same, ascending
    qsizetype m_linesAbove = 0;             // file lines above row 0 (arrange())
    int m_linesUnder = 0;                   // heading lines between row 0 and row 1
    LoadNotes m_notes;
    qint64 m_bytesRead = 0;
    writetarget::LogHold m_source; // the file load() read: no writer may replace it
    ScanState m_scan;                       // where indexing stopped: appended lines go on from here
    bool m_converted = false;               // the bytes held are not the file's (UTF-16)
    mutable std::atomic<qint64> m_scanned{0};
    // Per line, where its last-read field starts: (offset << 8) | field index, so
    // that reading the next column of a line scans one field, not the whole line.
    // The plot run reads one table on two threads, each on lines of its own: the
    // array is made once, under a lock, and its entries are read and written whole.
    // A cursor never is 0 (a field's offset is counted from 1), so that a fresh
    // array needs no writing: its pages cost nothing until a line is read.
    static constexpr quint32 NoCursor = 0;
    template<typename T>
    struct ZeroedAllocator
    {
        using value_type = T;
        ZeroedAllocator() = default;
        template<typename U>
        ZeroedAllocator(const ZeroedAllocator<U> &) {}
        // Large blocks come straight from the system, already zero: calloc writes nothing.
        T *allocate(size_t n)
        {
            if (void *p = std::calloc(n, sizeof(T)))
                return static_cast<T *>(p);
            throw std::bad_alloc();
        }
        void deallocate(T *p, size_t) { std::free(p); }
        // An element made without a value keeps the zero it was allocated with.
        template<typename U>
        void construct(U *) {}
        template<typename U, typename... Args>
        void construct(U *p, Args &&...args) { ::new (static_cast<void *>(p)) U(std::forward<Args>(args)...); }
        bool operator==(const ZeroedAllocator &) const { return true; }
    };
    mutable std::vector<quint32, ZeroedAllocator<quint32>> m_fieldCursor;
    mutable std::atomic<bool> m_fieldCursorReady{false};
    // Which load of which table a thread's read cache belongs to.
    static quint64 freshGeneration();
    quint64 m_generation = freshGeneration();
    // Adds to the count of bytes walked, from the one thread that loads.
    void addScanned(qint64 bytes) const { m_scanned.store(m_scanned.load(std::memory_order_relaxed) + bytes, std::memory_order_relaxed); }
    // What each thread remembers of its own reads of one table.
    struct ReadCache;
    ReadCache &readCache() const;
    // The per-line cursors, made on first use.
    quint32 *fieldCursors() const;
    // Where to start walking to a field of a line: the line's cursor, if it lies
    // before the field; `k` is the index of the field that starts there.
    [[gnu::always_inline]] inline const char *resumeAt(const quint32 *cursors, qsizetype line, int fieldIndex,
                                                       int &k) const;
    // Notes where the field after `fieldIndex` starts (`next`: just past the
    // field), and fetches the same field a few lines ahead.
    [[gnu::always_inline]] inline void remember(quint32 *cursors, qsizetype line, int fieldIndex, const char *next,
                                                const char *stop) const;
    static constexpr int CheckpointFields = 256;
    static constexpr qsizetype MaxCheckpointLines = 64;
    QHash<quint64, QString> m_written;
    std::vector<quint8> m_rowWritten;       // per row: may hold a written cell
    QList<Rect> m_cleared;
};
