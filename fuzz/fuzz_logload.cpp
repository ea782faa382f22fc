// Any bytes as a log file: the load either reports failure or gives a table
// whose every cell can be read, written, cleared and trimmed, the same wherever
// the bytes fall against the blocks the index reads.
#include "core/logtable.h"
#include "core/runtimeerror.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LogTable table;
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        table.loadBytes(bytes, ',', LogTable::HeaderRow | LogTable::HeaderColumn);
    } catch (const RuntimeError &) {
        return 0; // refused with a reason
    }
    const int rows = table.rowCount();
    const int cols = table.colCount();
    if (rows < 0 || cols < 0)
        __builtin_trap();
    for (int row = 0; row <= rows && row < 64; ++row) {
        for (int col = 0; col <= cols && col < 64; ++col) {
            // The plain bytes, where given, are the text.
            QByteArrayView raw;
            const QString text = table.text(col, row);
            if (table.rawText(col, row, raw) && QString::fromLatin1(raw) != text)
                __builtin_trap();
        }
    }
    (void)table.text(cols, rows);
    // A byte order mark moves every byte against the 64-byte blocks of the index
    // and changes no cell.
    if (!bytes.startsWith("\xEF\xBB\xBF") && !bytes.startsWith("\xFF\xFE") && !bytes.startsWith("\xFE\xFF")) {
        LogTable shifted;
        try {
            shifted.loadBytes("\xEF\xBB\xBF" + bytes, ',', LogTable::HeaderRow | LogTable::HeaderColumn);
        } catch (const RuntimeError &) {
            shifted.clearRange(0, 0, 0, 0); // NUL bytes moved into the probed start
        }
        if (shifted.rowCount() > 0 || shifted.colCount() > 0) {
            if (shifted.rowCount() != rows || shifted.colCount() != cols
                || shifted.loadNotes().unclosedQuoteLine != table.loadNotes().unclosedQuoteLine
                || shifted.lastDataColumn() != table.lastDataColumn())
                __builtin_trap();
            for (int row = 0; row <= rows && row < 64; ++row)
                for (int col = 0; col <= cols && col < 64; ++col)
                    if (shifted.text(col, row) != table.text(col, row))
                        __builtin_trap();
        }
    }
    (void)table.lastDataColumn();
    if (rows > 0) {
        table.setText(cols, rows, QStringLiteral("0"));
        table.clearRange(0, 0, cols, rows > 1 ? 1 : 0);
        table.setRowCount(rows - 1);
    }
    table.setColCount(table.lastDataColumn());
    (void)table.text(0, table.rowCount());
    return 0;
}
