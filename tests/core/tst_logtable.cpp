#include "support/errorof.h"
#include "support/ordinaryuser.h"
#include "support/testregistry.h"

#include "core/logtable.h"
#include "core/runtimeerror.h"
#include "loggen.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QString writeFile(const QTemporaryDir &dir, const QByteArray &bytes, const QString &name = u"log.csv"_s)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
    return path;
}

// Every cell of the table, row by row, headers included, fields joined by "|".
QStringList cells(const LogTable &table)
{
    QStringList rows;
    for (int row = 0; row <= table.rowCount(); ++row) {
        QStringList fields;
        for (int col = 0; col <= table.colCount(); ++col)
            fields << table.text(col, row);
        rows << fields.join(u'|');
    }
    return rows;
}

int loadError(const QString &path)
{
    LogTable table;
    try {
        table.load(path);
    } catch (const RuntimeError &e) {
        return e.number();
    }
    return 0;
}

} // namespace

class LogTableTest : public QObject
{
    Q_OBJECT

private slots:
    void headerRowAndColumnMapping()
    {
        QTemporaryDir dir;
        LogTable table;
        table.load(writeFile(dir, "Date,Time,Flow,Level\r\n"
                                          "1/2/2024,1:00:00 AM,1.5,20\r\n"
                                          "1/2/2024,1:00:01 AM,1.75,21\r\n"));
        QCOMPARE(table.rowCount(), 2);
        QCOMPARE(table.colCount(), 3);
        QCOMPARE(cells(table), (QStringList{u"Date|Time|Flow|Level"_s, u"1/2/2024|1:00:00 AM|1.5|20"_s,
                                            u"1/2/2024|1:00:01 AM|1.75|21"_s}));
    }

    void withoutHeaderFlags_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("header row only") << int(LogTable::HeaderRow) << 1 << 2
                                         << QStringList{u"|a|b"_s, u"|1|2"_s};
        QTest::newRow("header column only") << int(LogTable::HeaderColumn) << 2 << 1
                                            << QStringList{u"|"_s, u"a|b"_s, u"1|2"_s};
        QTest::newRow("no headers") << 0 << 2 << 2 << QStringList{u"||"_s, u"|a|b"_s, u"|1|2"_s};
    }

    void withoutHeaderFlags()
    {
        QFETCH(int, flags);
        QFETCH(int, rows);
        QFETCH(int, cols);
        QFETCH(QStringList, expected);
        LogTable table;
        table.loadBytes("a,b\r\n1,2\r\n", ',', flags);
        QCOMPARE(table.rowCount(), rows);
        QCOMPARE(table.colCount(), cols);
        QCOMPARE(cells(table), expected);
    }

    void lineEnds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("CR LF") << QByteArray("D,T,A\r\n1/1/2024,x,1\r\n1/2/2024,y,2\r\n");
        QTest::newRow("LF only") << QByteArray("D,T,A\n1/1/2024,x,1\n1/2/2024,y,2\n");
        QTest::newRow("no final line end") << QByteArray("D,T,A\r\n1/1/2024,x,1\r\n1/2/2024,y,2");
        QTest::newRow("mixed") << QByteArray("D,T,A\n1/1/2024,x,1\r\n1/2/2024,y,2");
        QTest::newRow("lone CR") << QByteArray("D,T,A\r1/1/2024,x,1\r1/2/2024,y,2\r");
        QTest::newRow("LF header, CR rows") << QByteArray("D,T,A\n1/1/2024,x,1\r1/2/2024,y,2");
    }

    void lineEnds()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        LogTable table;
        table.load(writeFile(dir, bytes));
        QCOMPARE(cells(table), (QStringList{u"D|T|A"_s, u"1/1/2024|x|1"_s, u"1/2/2024|y|2"_s}));
    }

    void raggedLinesLoad()
    {
        LogTable table;
        table.loadBytes("D,T,A,B\r\n1,x\r\n2,y,5,6,7,8\r\n3,z,9\r\n");
        QCOMPARE(table.colCount(), 5); // the longest line
        QCOMPARE(cells(table), (QStringList{u"D|T|A|B||"_s, u"1|x||||"_s, u"2|y|5|6|7|8"_s, u"3|z|9|||"_s}));
    }

    void quotedFields_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<qsizetype>("unclosedLine");
        QTest::newRow("separator inside") << QByteArray("D,T,\"A,B\"\r\n1,x,\"5,5\"\r\n")
                                          << QStringList{u"D|T|A,B"_s, u"1|x|5,5"_s} << qsizetype(0);
        QTest::newRow("line breaks inside") << QByteArray("D,T,\"A\r\nB\"\n1,\"x\ry\",2\r\n")
                                            << QStringList{u"D|T|A\r\nB"_s, u"1|x\ry|2"_s} << qsizetype(0);
        QTest::newRow("doubled quotes") << QByteArray("D,T,\"say \"\"hi\"\"\"\r\n1,\"\"\"\"\"\",3\r\n")
                                        << QStringList{u"D|T|say \"hi\""_s, u"1|\"\"|3"_s} << qsizetype(0);
        QTest::newRow("quote inside a field is ordinary") << QByteArray("D,T,A\"\r\n1,x\"y,\"3\"\r\n")
                                                          << QStringList{u"D|T|A\""_s, u"1|x\"y|3"_s} << qsizetype(0);
        QTest::newRow("text after the closing quote") << QByteArray("D,T,A\r\n1,\"x\"y,\"\"\r\n")
                                                      << QStringList{u"D|T|A"_s, u"1|xy|"_s} << qsizetype(0);
        QTest::newRow("a long field across blocks")
            << QByteArray("D,T,\"" + QByteArray(70, 'a') + ",\r\n" + QByteArray(70, 'b') + "\"\r\n1,\"x\"\"\",5\r\n")
            << QStringList{u"D|T|"_s + QString(70, u'a') + u",\r\n"_s + QString(70, u'b'), u"1|x\"|5"_s} << qsizetype(0);
        QTest::newRow("never closed: ends with its line")
            << QByteArray("D,T,A\r\n1,x,2\r\n2,\"y,3\r\n3,z,4\r\n")
            << QStringList{u"D|T|A"_s, u"1|x|2"_s, u"2|y,3|"_s, u"3|z|4"_s} << qsizetype(3);
        QTest::newRow("never closed, doubled quotes after it")
            << QByteArray("D,T,A\r\n1,\"x,2\r\n\"\",q\"\"r,4\r\n")
            << QStringList{u"D|T|A"_s, u"1|x,2|"_s, u"|q\"\"r|4"_s} << qsizetype(2);
    }

    void quotedFields()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        QFETCH(qsizetype, unclosedLine);
        LogTable table;
        table.loadBytes(bytes);
        QCOMPARE(cells(table), expected);
        QCOMPARE(table.loadNotes().unclosedQuoteLine, unclosedLine);
        // The plain bytes, where the table gives them, are the cell's text.
        for (int row = 0; row <= table.rowCount(); ++row) {
            for (int col = 0; col <= table.colCount(); ++col) {
                QByteArrayView raw;
                if (table.rawText(col, row, raw))
                    QCOMPARE(QString::fromLatin1(raw), table.text(col, row));
            }
        }
    }

    void quotedNumberIsServedWithoutQuotes()
    {
        LogTable table;
        table.loadBytes("D,T,A\r\n1/2/2024,\"1:00:00 AM\",\"12.5\"\r\n");
        QByteArrayView raw;
        QVERIFY(table.rawText(2, 1, raw));
        QCOMPARE(raw, QByteArrayView("12.5"));
        QVERIFY(table.rawText(1, 1, raw));
        QCOMPARE(raw, QByteArrayView("1:00:00 AM"));
    }

    // Reading what the data file window reads of a grid (the last data column, then
    // the last row left to right) walks each line about once, however wide.
    void wideLinesAreReadInOnePass_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("fileColumns");
        const auto wide = [](int fields, const QByteArray &field, const QByteArray &end) {
            QByteArray line = "1/2/2024";
            for (int i = 1; i < fields; ++i)
                line += ',' + field;
            return "Date,Time\r\n" + line + end;
        };
        QTest::newRow("10,000 fields") << wide(10000, "7", "\r\n") << 9999 << 9999;
        QTest::newRow("10,000 quoted fields") << wide(10000, "\"7\"", "\r\n") << 9999 << 9999;
        QTest::newRow("separators at the end") << wide(10000, "7", QByteArray(5000, ',') + "\r\n") << 14999 << 9999;
        QTest::newRow("beyond the column limit") << wide(40000, "7", "") << LogTable::MaxColumns << 39999;
    }

    void wideLinesAreReadInOnePass()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, cols);
        QFETCH(int, fileColumns);
        LogTable table;
        table.loadBytes(bytes);
        QCOMPARE(table.colCount(), cols);
        QCOMPARE(table.loadNotes().fileColumns, fileColumns);
        const int last = table.lastDataColumn();
        QCOMPARE(last, std::min(fileColumns, LogTable::MaxColumns));
        for (int col = 0; col <= last; ++col)
            QVERIFY(!table.text(col, table.rowCount()).isEmpty());
        QCOMPARE(table.text(last + 1, 1), QString());
        QVERIFY2(table.bytesScanned() <= 4 * table.byteSize(),
                 qPrintable(u"%1 bytes scanned of %2"_s.arg(table.bytesScanned()).arg(table.byteSize())));
    }

    // A file is read and indexed a piece at a time; it must index as its bytes
    // held whole do, whatever falls on the end of a piece.
    void piecesReadAsTheWhole_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        // A line end starts on the last byte of every power of two from 4 KiB to
        // 4 MiB, so that pieces of any such size end inside a line end.
        const auto log = [](const QByteArray &end, const QByteArray &late) {
            QByteArray bytes = "Date,Time,A,B" + end;
            int row = 0;
            for (qsizetype at = 4096; at <= (4 << 20); at *= 2) {
                while (bytes.size() + 40 < at)
                    bytes += "1/1/2024,1:00:00 AM," + QByteArray::number(++row) + ",2" + end;
                bytes += "1/1/2024," + QByteArray(at - 1 - bytes.size() - 9, 'x') + end;
                if (at == (2 << 20))
                    bytes += late;
            }
            return bytes + "1/2/2024,2:00:00 AM,3";
        };
        QTest::newRow("CR LF") << log("\r\n", {});
        QTest::newRow("CR alone") << log("\r", {});
        QTest::newRow("a quote first met pieces later") << log("\r\n", "1/1/2024,\"x,\r\ny\",5,6\r\n");
        QTest::newRow("a quote never closed, pieces later") << log("\r\n", "1/1/2024,\"x,5,6\r\n");
    }

    void piecesReadAsTheWhole()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        LogTable read;
        read.load(writeFile(dir, bytes));
        LogTable held;
        held.loadBytes(bytes);
        QCOMPARE(read.rowCount(), held.rowCount());
        QCOMPARE(read.colCount(), held.colCount());
        QCOMPARE(read.loadNotes().unclosedQuoteLine, held.loadNotes().unclosedQuoteLine);
        QCOMPARE(cells(read), cells(held));
    }

    void fileThatShrinksWhileReadKeepsWhatWasRead()
    {
        // A kernel file reports a page and holds a line: to the reader it is a file
        // cut short while it was read.
        const QString path = u"/sys/devices/system/cpu/online"_s;
        QFile file(path);
        const QByteArray held = file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
        if (held.isEmpty() || QFileInfo(path).size() <= held.size() + 1)
            QSKIP("no kernel file that reports more than it holds");
        LogTable table;
        table.load(path);
        QVERIFY(table.loadNotes().changedWhileRead);
        QCOMPARE(table.text(0, 0), QString::fromLatin1(held));
        QTemporaryDir dir;
        table.load(writeFile(dir, held + "\n1\n"));
        QVERIFY(!table.loadNotes().changedWhileRead);
    }

    void textEncoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("utf8");
        QTest::newRow("ASCII") << QByteArray("D,T,Temp C\r\n1,2,3\r\n") << u"Temp C"_s << true;
        QTest::newRow("UTF-8") << QByteArray("D,T,Temp \xC2\xB0""C\r\n1,2,3\r\n") << u"Temp \u00B0C"_s << true;
        QTest::newRow("Latin-1") << QByteArray("D,T,Temp \xB0""C\r\n1,2,3\r\n") << u"Temp \u00B0C"_s << false;
        QTest::newRow("Latin-1 late in the file")
            << QByteArray("D,T,Temp\r\n" + QByteArray(5000, 'x') + ",2,\xE9t\xE9\r\n") << u"Temp"_s << false;
    }

    void textEncoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, caption);
        QFETCH(bool, utf8);
        LogTable table;
        table.loadBytes(bytes);
        QCOMPARE(table.text(2, 0), caption);
        QCOMPARE(table.isUtf8(), utf8);
        if (!utf8 && bytes.contains("\xE9t\xE9"))
            QCOMPARE(table.text(2, 1), u"\u00E9t\u00E9"_s);
        // The plot run reads a cell's own bytes wherever they are ASCII, in a file
        // of any encoding, and never the bytes of another character.
        for (int row : {0, 1}) {
            for (int col : {0, 2}) {
                const QString text = table.text(col, row);
                const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
                QByteArrayView raw;
                QCOMPARE(table.rawText(col, row, raw), ascii);
                LogTable::ColumnReader reader = table.columnReader(col);
                QCOMPARE(reader.rawText(row, raw), ascii);
                if (ascii)
                    QCOMPARE(QString::fromLatin1(raw), text);
            }
        }
    }

    void byteOrderMarkIsNoPartOfTheFirstCaption()
    {
        LogTable table;
        table.loadBytes("\xEF\xBB\xBF""Date,Time\r\n1,2\r\n");
        QCOMPARE(table.text(0, 0), u"Date"_s);
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("number");
        QByteArray png("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\x01\0", 20);
        png += QByteArray(3000, '\x7F') + QByteArray("IEND\xAE\x42\x60\x82");
        QTest::newRow("empty") << QByteArray() << 31001;
        QTest::newRow("byte order mark only") << QByteArray("\xEF\xBB\xBF") << 31001;
        QTest::newRow("picture renamed") << png << 31002;
        QTest::newRow("NUL late in the first block") << QByteArray("D,T\r\n" + QByteArray(4000, 'a') + '\0' + "b\r\n")
                                                     << 31002;
        QTest::newRow("only NUL bytes") << QByteArray(8192, '\0') << 31002;
        QTest::newRow("UTF-16 without a byte order mark") << QByteArray("D\0,\0T\0\r\0\n\0", 10) << 31002;
    }

    void refusals()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, number);
        QTemporaryDir dir;
        LogTable table;
        table.loadBytes("D,T\r\n1,2\r\n"); // the former content must go
        QCOMPARE(loadError(writeFile(dir, bytes)), number);
        QCOMPARE(errorOf([&] { table.load(writeFile(dir, bytes)); }), number);
        QCOMPARE(table.rowCount(), 0);
        QCOMPARE(table.colCount(), 0);
        QCOMPARE(table.text(0, 0), QString());
    }

    void utf16WithByteOrderMark_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString log = u"Date,Temp \u00B0C\r\n1/2/2024,\"1,5\"\r\n"_s;
        QByteArray little("\xFF\xFE");
        QByteArray big("\xFE\xFF");
        for (const QChar c : log) {
            little += char(c.unicode() & 0xFF);
            little += char(c.unicode() >> 8);
            big += char(c.unicode() >> 8);
            big += char(c.unicode() & 0xFF);
        }
        QTest::newRow("little-endian") << little;
        QTest::newRow("big-endian") << big;
    }

    void utf16WithByteOrderMark()
    {
        QFETCH(QByteArray, bytes);
        LogTable table;
        table.loadBytes(bytes);
        QCOMPARE(cells(table), (QStringList{u"Date|Temp \u00B0C"_s, u"1/2/2024|1,5"_s}));
    }

    void nulAfterTheProbeIsText()
    {
        LogTable table;
        table.loadBytes("D,T\r\n" + QByteArray(5000, 'a') + QByteArray(1, '\0') + ",b\r\n");
        QCOMPARE(table.rowCount(), 1);
        QCOMPARE(table.text(1, 1), u"b"_s);
    }

    void nulPaddingAtTheEnd_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("hole"); // then a sparse file's unwritten end, read as NUL bytes
        QTest::addColumn<QStringList>("expected");
        const QByteArray log("D,T,A\r\n1/1/2024,x,1\r\n1/2/2024,y,2\r\n");
        const QStringList rows{u"D|T|A"_s, u"1/1/2024|x|1"_s, u"1/2/2024|y|2"_s};
        const qint64 powerCut = qint64(3) << 30;
        QTest::newRow("after a whole line") << log + QByteArray(6000, '\0') << qint64(0) << rows;
        QTest::newRow("after half a line") << log + "1/3/2024,z" + QByteArray(100, '\0') << qint64(0)
                                           << rows + QStringList{u"1/3/2024|z|"_s};
        QTest::newRow("a hole of 3 GB") << log << powerCut << rows;
        QTest::newRow("NUL bytes, then a hole of 3 GB") << log + QByteArray(6000, '\0') << powerCut << rows;
        QByteArray utf16("\xFF\xFE");
        for (const char c : QByteArray("D,T\r\n1,2"))
            utf16 += QByteArray(1, c) + '\0';
        QTest::newRow("UTF-16 whose last character ends in a NUL byte")
            << utf16 + QByteArray(101, '\0') << qint64(0) << QStringList{u"D|T"_s, u"1|2"_s};
    }

    void nulPaddingAtTheEnd()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, hole);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        const QString path = writeFile(dir, bytes);
        if (hole > 0) {
            QVERIFY(QFile::resize(path, bytes.size() + hole));
            struct stat st;
            QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
            if (qint64(st.st_blocks) * 512 >= st.st_size)
                QSKIP("the file system keeps no holes");
        }
        LogTable table;
        table.load(path);
        QCOMPARE(cells(table), expected);
        // The padding is never held, and a hole is not read.
        QVERIFY2(table.bytesRead() <= 2 * bytes.size() + 8192, qPrintable(QString::number(table.bytesRead())));
    }

    void headerAloneLoadsWithoutRows_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("header only") << QByteArray("Date,Time,A\r\n");
        QTest::newRow("header without line end") << QByteArray("Date,Time,A");
        QTest::newRow("header and NUL padding") << QByteArray("Date,Time,A\r\n" + QByteArray(100, '\0'));
    }

    void headerAloneLoadsWithoutRows()
    {
        QFETCH(QByteArray, bytes);
        LogTable table;
        table.loadBytes(bytes);
        QCOMPARE(table.rowCount(), 0);
        QCOMPARE(cells(table), QStringList{u"Date|Time|A"_s});
    }

    void readFailures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("number");
        QTest::newRow("missing file") << u"missing"_s << 53;
        QTest::newRow("missing folder") << u"missing folder"_s << 53;
        QTest::newRow("no file name") << u"empty name"_s << 53;
        QTest::newRow("a folder") << u"folder"_s << 31003;
        QTest::newRow("a pipe, not blocking") << u"fifo"_s << 31003;
        QTest::newRow("an endless device") << u"/dev/zero"_s << 31003;
        QTest::newRow("no read permission") << u"unreadable"_s << 70;
        QTest::newRow("read error") << u"read error"_s << 75;
    }

    void readFailures()
    {
        QFETCH(QString, kind);
        QFETCH(int, number);
        QTemporaryDir dir;
        // An ordinary user must be able to reach the files in the folder.
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                              | QFileDevice::ReadOther | QFileDevice::ExeOther);
        QString path;
        std::optional<AsOrdinaryUser> user;
        if (kind == u"missing"_s) {
            path = dir.filePath(u"nothing.csv"_s);
        } else if (kind == u"missing folder"_s) {
            path = dir.filePath(u"no/such/folder/log.csv"_s);
        } else if (kind == u"folder"_s) {
            path = dir.path();
        } else if (kind == u"unreadable"_s) {
            path = writeFile(dir, "D,T\r\n1,2\r\n");
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
            user.emplace();
        } else if (kind == u"fifo"_s) {
            path = dir.filePath(u"pipe.csv"_s);
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind.startsWith(u'/')) {
            path = kind;
        } else if (kind == u"read error"_s) {
            path = u"/proc/self/mem"_s; // opens, but reading at offset 0 fails
        }
        QCOMPARE(loadError(path), number);
    }

    void readFailureKeepsNoFormerContent()
    {
        LogTable table;
        table.loadBytes("D,T\r\n1,2\r\n");
        QVERIFY_THROWS_EXCEPTION(RuntimeError, table.load(u"/no/such/file.csv"_s));
        QCOMPARE(table.rowCount(), 0);
        QCOMPARE(table.text(0, 0), QString());
    }

    void smallerRowCountDropsRowsForGood()
    {
        LogTable table;
        table.loadBytes("D,T,A\r\n1,a,10\r\n2,b,20\r\n3,c,30\r\n");
        table.setText(2, 3, u"written"_s);
        table.setRowCount(1);
        QCOMPARE(cells(table), (QStringList{u"D|T|A"_s, u"1|a|10"_s}));
        table.setRowCount(3);
        QCOMPARE(cells(table), (QStringList{u"D|T|A"_s, u"1|a|10"_s, u"||"_s, u"||"_s}));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, table.setRowCount(-1));
    }

    void smallerColCountDropsColumnsForGood()
    {
        LogTable table;
        table.loadBytes("D,T,A,B\r\n1,a,10,11\r\n2,b,20,21\r\n");
        table.setText(3, 0, u"written"_s);
        table.setColCount(2);
        QCOMPARE(cells(table), (QStringList{u"D|T|A"_s, u"1|a|10"_s, u"2|b|20"_s}));
        table.setColCount(3);
        QCOMPARE(cells(table), (QStringList{u"D|T|A|"_s, u"1|a|10|"_s, u"2|b|20|"_s}));
        try {
            table.setColCount(-2);
            QFAIL("a negative count was taken");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), 380);
        }
    }

    // A log of another shape: lines above the heading and a units line leave
    // the rows, the time fields are shown first; every reader sees the grid's
    // columns, and a row still names its line in the file.
    void arrangedShapes_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("headingLine");
        QTest::addColumn<bool>("unitsLine");
        QTest::addColumn<QList<int>>("front");
        QTest::addColumn<QStringList>("rows");    // each row's cells joined by |
        QTest::addColumn<int>("lastDataColumn");
        QTest::addColumn<qsizetype>("lineOfRow1");
        QTest::newRow("time field moved first")
            << QByteArray("Site,Value,Time\nA,1,2020-01-01\nB,2,2020-01-02\n") << 0 << false << QList<int>{2}
            << QStringList{u"Time|Site|Value"_s, u"2020-01-01|A|1"_s, u"2020-01-02|B|2"_s} << 2 << qsizetype(2);
        QTest::newRow("a pair moved first, in its order")
            << QByteArray("x,Time,y,Date\n1,10:00,2,1/1/2020\n") << 0 << false << QList<int>{3, 1}
            << QStringList{u"Date|Time|x|y"_s, u"1/1/2020|10:00|1|2"_s} << 3 << qsizetype(2);
        QTest::newRow("title, serial and units lines leave the rows")
            << QByteArray("Station 4\nSN 1234\nTime;T\n;degC\n2020-01-01;5\n2020-01-02;6\n") << 2 << true
            << QList<int>{} << QStringList{u"Time;T"_s, u"2020-01-01;5"_s, u"2020-01-02;6"_s} << 0 << qsizetype(5);
        QTest::newRow("only the moved field holds data in the last row")
            << QByteArray("a,b,t\n1,2,x\n,,y\n") << 0 << false << QList<int>{2}
            << QStringList{u"t|a|b"_s, u"x|1|2"_s, u"y||"_s} << 2 << qsizetype(2);
        QTest::newRow("a field the table does not hold is passed over")
            << QByteArray("a,b\n1,2\n") << 0 << false << QList<int>{7, 1}
            << QStringList{u"b|a"_s, u"2|1"_s} << 1 << qsizetype(2);
    }

    void arrangedShapes()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, headingLine);
        QFETCH(bool, unitsLine);
        QFETCH(QList<int>, front);
        QFETCH(QStringList, rows);
        LogTable table;
        table.loadBytes(file);
        table.arrange(headingLine, unitsLine, front);
        QCOMPARE(table.rowCount(), rows.size() - 1);
        QStringList got;
        for (int row = 0; row <= table.rowCount(); ++row) {
            QStringList cells;
            for (int col = 0; col <= table.colCount(); ++col)
                cells << table.text(col, row);
            got << cells.join(u'|');
        }
        QCOMPARE(got, rows);
        // The plot run's column reader sees the same cells.
        for (int col = 0; col <= table.colCount(); ++col) {
            LogTable::ColumnReader reader = table.columnReader(col);
            QByteArrayView bytes;
            if (reader.rawText(1, bytes))
                QCOMPARE(QString::fromLatin1(bytes), table.text(col, 1));
        }
        QTEST(table.lastDataColumn(), "lastDataColumn");
        QTEST(table.fileLine(1), "lineOfRow1");
        // A followed line joins the arranged rows.
        const int before = table.rowCount();
        table.appendLines(file.mid(file.lastIndexOf('\n', file.size() - 2) + 1));
        table.setRowCount(table.indexedRowCount());
        QCOMPARE(table.rowCount(), before + 1);
        QCOMPARE(table.text(0, before + 1), table.text(0, before));
    }

    void lastDataColumn_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("expected");
        QTest::newRow("full") << QByteArray("D,T,A,B\r\n1,a,1,2\r\n") << 3;
        QTest::newRow("empty columns at the right") << QByteArray("D,T,A,,\r\n1,a,1,,\r\n2,b,,,\r\n") << 2;
        QTest::newRow("data only in one row") << QByteArray("D,T,A\r\n1,a,1\r\n2,b,2,,9,\r\n") << 4;
        QTest::newRow("named column without data") << QByteArray("D,T,A,B\r\n1,a,1,\r\n") << 3;
        QTest::newRow("blank tail as CR") << QByteArray("D,T,A,\r\n1,a,1,\r\n") << 2;
        QTest::newRow("dates only") << QByteArray("D\r\n1\r\n") << 0;
    }

    void lastDataColumn()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, expected);
        LogTable table;
        table.loadBytes(bytes);
        QCOMPARE(table.lastDataColumn(), expected);
    }

    void lastDataColumnFollowsChanges()
    {
        LogTable table;
        table.loadBytes("D,T,A,B,C\r\n1,a,1,,\r\n2,b,2,,\r\n3,c,3,4,5\r\n");
        QCOMPARE(table.lastDataColumn(), 4);
        table.setRowCount(2); // the only row with data in B and C goes
        QCOMPARE(table.lastDataColumn(), 4); // the captions still hold text
        table.setText(3, 0, QString());
        table.setText(4, 0, QString());
        QCOMPARE(table.lastDataColumn(), 2);
        table.setText(4, 1, u"0"_s);
        QCOMPARE(table.lastDataColumn(), 4);
        table.clearRange(3, 0, 4, 2);
        QCOMPARE(table.lastDataColumn(), 2);
        table.setColCount(1);
        QCOMPARE(table.lastDataColumn(), 1);
    }

    void lastDataColumnOverRows_data()
    {
        QTest::addColumn<int>("firstRow");
        QTest::addColumn<int>("lastRow");
        QTest::addColumn<int>("expected");
        // Captions reach column 4, row 2 column 3, row 3 column 1; row 4 has a
        // written cell in column 2, row 5 a cleared one in column 4.
        QTest::newRow("all") << 0 << 5 << 4;
        QTest::newRow("below the captions") << 1 << 5 << 3;
        QTest::newRow("one row") << 3 << 3 << 1;
        QTest::newRow("written cell") << 4 << 4 << 2;
        QTest::newRow("cleared cell") << 5 << 5 << 1;
        QTest::newRow("past the end") << 6 << 99 << 0;
        QTest::newRow("reversed") << 3 << 1 << 0;
        QTest::newRow("clipped") << -5 << 1 << 4;
    }

    void lastDataColumnOverRows()
    {
        QFETCH(int, firstRow);
        QFETCH(int, lastRow);
        QFETCH(int, expected);
        LogTable table;
        table.loadBytes("D,T,A,B,C\r\n1,a,,\r\n2,b,1,1,\r\n3,c\r\n4,d,,,\r\n5,e,,,7\r\n");
        table.setText(2, 4, u"0"_s);
        table.clearRange(4, 5, 4, 5);
        QCOMPARE(table.lastDataColumn(firstRow, lastRow), expected);
    }

    void lastDataColumnAfterDroppedColumns()
    {
        LogTable table;
        table.loadBytes("D,T,A,B\r\n1,a,,9\r\n2,b,,\r\n");
        table.setColCount(2);
        QCOMPARE(table.lastDataColumn(), 2); // the caption "A"; the 9 went with column 3
        table.setText(2, 0, QString());
        QCOMPARE(table.lastDataColumn(), 1);
    }

    void writtenAndClearedCells()
    {
        LogTable table;
        table.loadBytes("D,T,A\r\n1,a,\r\n2,b,20\r\n");
        table.setText(2, 1, u"0"_s);
        QCOMPARE(table.text(2, 1), u"0"_s);
        table.clearRange(2, 2, 1, 1); // corners in any order
        QCOMPARE(cells(table), (QStringList{u"D|T|A"_s, u"1||"_s, u"2||"_s}));
        table.setText(1, 2, u"again"_s);
        QCOMPARE(table.text(1, 2), u"again"_s);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, table.setText(3, 1, u"x"_s));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, table.setText(0, 3, u"x"_s));
        QCOMPARE(table.text(-1, 0), QString());
        QCOMPARE(table.text(0, 99), QString());
    }

    void clearingEverythingFreesTheBufferAndKeepsTheCounts()
    {
        LogTable table;
        table.loadBytes("D,T,A\r\n1,a,1\r\n2,b,2\r\n");
        table.setText(2, 2, u"x"_s);
        table.clearRange(0, 0, table.colCount(), table.rowCount());
        QCOMPARE(table.byteSize(), 0);
        QCOMPARE(table.rowCount(), 2);
        QCOMPARE(table.colCount(), 2);
        QCOMPARE(cells(table), (QStringList{u"||"_s, u"||"_s, u"||"_s}));
        QCOMPARE(table.lastDataColumn(), 0);
    }

    void generatedLogLoadsLineForLine()
    {
        LogGenOptions options;
        options.rows = 5000;
        options.valueColumns = 5;
        options.startSecond = 86400 - 10; // crosses midnight
        const QByteArray bytes = generateLog(options);
        LogTable table;
        table.loadBytes(bytes);
        QCOMPARE(table.rowCount(), 5000);
        QCOMPARE(table.colCount(), 6);
        QCOMPARE(table.text(0, 0), u"Date"_s);
        QCOMPARE(table.text(2, 0), logValueName(0));
        QCOMPARE(table.text(0, 1), u"1/1/2024"_s);
        QCOMPARE(table.text(1, 1), u"11:59:50 PM"_s);
        QCOMPARE(table.text(0, 11), u"1/2/2024"_s);
        QCOMPARE(table.text(1, 11), u"12:00:00 AM"_s);
        const QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(QString::fromLatin1(lines.at(4321).chopped(1)),
                 QStringList({table.text(0, 4321), table.text(1, 4321), table.text(2, 4321), table.text(3, 4321),
                              table.text(4, 4321), table.text(5, 4321), table.text(6, 4321)})
                     .join(u','));
    }
};

VIEWER_TEST(LogTableTest)
#include "tst_logtable.moc"
