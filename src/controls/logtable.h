#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

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
// Lines end in LF, with or without a CR before it; a missing final line end is
// accepted. There is no quoting: a field is the text between two separators.
// Text is UTF-8 when the whole file is valid UTF-8, else Latin-1.
class LogTable
{
public:
    enum Flag { HeaderRow = 1, HeaderColumn = 2 };

    // Replaces the whole content with the file's. Throws RuntimeError 53 (no such
    // file), 70 (no permission), 75 (cannot be read: a folder, a read error) or 7
    // (too big to hold). Returns false, leaving the table empty, for a file that is
    // not text (NUL bytes among its first 4 KiB) or holds no line below the header.
    // NUL padding at the end, as a logger leaves it after a power cut, is dropped.
    bool load(const QString &path, char separator = ',', int flags = HeaderRow | HeaderColumn);
    // The same for bytes already in memory.
    bool loadBytes(QByteArray bytes, char separator = ',', int flags = HeaderRow | HeaderColumn);

    int rowCount() const { return m_rows; }
    int colCount() const { return m_cols; }
    // A smaller count drops the trailing rows or columns for good; a larger one adds
    // empty ones. A negative count throws RuntimeError 380.
    void setRowCount(int rows);
    void setColCount(int cols);

    // Empty outside the table.
    QString text(int col, int row) const;
    // The cell's bytes as the file holds them, without a copy: only for a file of
    // plain ASCII and a cell the program has not written or cleared; false
    // otherwise (read text() then). Valid until the table changes.
    bool rawText(int col, int row, QByteArrayView &bytes) const;
    // Throws RuntimeError 9 outside the table.
    void setText(int col, int row, const QString &text);
    // Empties the cells of the rectangle (corners in any order, clipped to the table).
    void clearRange(int col1, int row1, int col2, int row2);

    // The last column that holds any text, the header row included; 0 when none does.
    int lastDataColumn() const;
    // The same over rows firstRow to lastRow only (clipped to the table); looks at
    // those rows alone, so a few rows of a big log cost a few rows.
    int lastDataColumn(int firstRow, int lastRow) const;

    bool isUtf8() const { return m_utf8; }
    qsizetype byteSize() const { return m_data.size(); }

private:
    struct Rect
    {
        int col1, row1, col2, row2;
        bool contains(int col, int row) const { return col >= col1 && col <= col2 && row >= row1 && row <= row2; }
    };

    void clearContent();
    bool index(char separator);
    QString decode(const char *begin, qsizetype length) const;
    // The bytes of a field of a line; false when the line has no such field.
    bool field(qsizetype line, int fieldIndex, const char *&begin, qsizetype &length) const;
    int rowLastDataColumn(int row) const;
    bool isWritten(int col, int row) const;
    static quint64 key(int col, int row) { return (quint64(quint32(row)) << 32) | quint32(col); }

    QByteArray m_data;
    std::vector<qsizetype> m_lineStarts;   // one per line, then the end sentinel
    std::vector<qint32> m_lastField;       // per line: index of its last non-empty field, -1 if none
    char m_separator = ',';
    bool m_utf8 = true;
    bool m_ascii = true;
    int m_rowOffset = 0;                    // grid row of line 0
    int m_colOffset = 0;                    // grid column of field 0
    int m_rows = 0;
    int m_cols = 0;
    qsizetype m_lineLimit = 0;              // lines from here on read as empty (dropped rows)
    int m_fieldLimit = 0;                   // fields from here on read as empty (dropped columns)
    // Per line, where its last-read field starts: (offset << 8) | field index, so
    // that reading the next column of a line scans one field, not the whole line.
    static constexpr quint32 NoCursor = 0xFFFFFFFF;
    mutable std::vector<quint32> m_fieldCursor;
    QHash<quint64, QString> m_written;
    std::vector<quint8> m_rowWritten;       // per row: may hold a written cell
    QList<Rect> m_cleared;
};
