#include "support/testregistry.h"

#include "core/logfollower.h"
#include "core/logtable.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString &path, const QByteArray &bytes, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile file(path);
    if (!file.open(mode) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
}

QString lastRowText(const LogTable &table)
{
    QStringList fields;
    for (int col = 0; col <= table.colCount(); ++col)
        fields << table.text(col, table.rowCount());
    return fields.join(u'|');
}

// A log written, loaded and followed from there.
struct Followed
{
    QTemporaryDir dir;
    QString path = dir.filePath(u"log.csv"_s);
    LogTable table;
    LogFollower follower;

    explicit Followed(const QByteArray &initial)
    {
        writeFile(path, initial);
        table.load(path);
        follower.start(path, table.content());
    }
};

// What happens to the file after the appended pieces.
// A hole is a sparse file's unwritten end, read as NUL bytes: a little of it is
// space a logger sets aside, gigabytes what a power cut leaves.
enum class Ending { None, Shrink, RenameOver, RewriteInPlace, SmallHole, PowerCutHole, FilledOverNuls };

} // namespace

Q_DECLARE_METATYPE(Ending)
Q_DECLARE_METATYPE(LogFollower::Change)

class LogFollowerTest : public QObject
{
    Q_OBJECT

private slots:
    // Lines appended to a loaded table read as a load of all the bytes reads them.
    void appendedLinesReadAsLoaded_data()
    {
        QTest::addColumn<QByteArray>("loaded");
        QTest::addColumn<QByteArray>("appended");
        QTest::addColumn<int>("taken"); // bytes of `appended` that end a line
        QTest::newRow("LF") << QByteArray("a,b\n1,2\n") << QByteArray("3,4\n5,6\n") << 8;
        QTest::newRow("CR alone") << QByteArray("a,b\r1,2\r") << QByteArray("3,4\r5,6\r") << 8;
        QTest::newRow("CR LF split") << QByteArray("a,b\r\n1,2\r") << QByteArray("\n3,4\r\n5") << 6;
        QTest::newRow("quoted separators and line ends")
            << QByteArray("a,b\n1,2\n") << QByteArray("\"x,y\",\"p\nq\"\"r\"\n") << 15;
        QTest::newRow("quoted log gains plain lines") << QByteArray("a,b\n\"1\",2\n") << QByteArray("3,4\n") << 4;
        QTest::newRow("trailing separators") << QByteArray("a,b,c\n1,2,3\n") << QByteArray("4,,\n,,\n") << 7;
        QTest::newRow("last line held without its end")
            << QByteArray("a,b\n1,2") << QByteArray("3\n4,5\n6") << 6;
        QTest::newRow("UTF-8 after ASCII") << QByteArray("a,b\n1,2\n") << QByteArray("\xc3\xa9,\xc3\xbc\n") << 6;
        QTest::newRow("Latin-1 after UTF-8")
            << QByteArray("a,b\n\xc3\xa4,1\n") << QByteArray("\xe4,2\n") << 4;
        QTest::newRow("more fields than the loaded lines") << QByteArray("a,b\n1,2\n") << QByteArray("3,4,5\n") << 6;
    }

    void appendedLinesReadAsLoaded()
    {
        QFETCH(QByteArray, loaded);
        QFETCH(QByteArray, appended);
        QFETCH(int, taken);
        LogTable grown;
        grown.loadBytes(loaded);
        QCOMPARE(grown.appendLines(appended), qsizetype(taken));
        grown.setRowCount(grown.indexedRowCount());
        LogTable whole;
        whole.loadBytes(loaded + appended.left(taken));
        QCOMPARE(grown.rowCount(), whole.rowCount());
        for (int row = 0; row <= whole.rowCount(); ++row) {
            for (int col = 0; col <= grown.colCount(); ++col)
                QCOMPARE(grown.text(col, row), whole.text(col, row));
        }
    }

    void followsWhatTheLoggerAppends_data()
    {
        QTest::addColumn<QByteArray>("initial");
        QTest::addColumn<QByteArrayList>("pieces"); // appended one by one, each followed by a look
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<LogFollower::Change>("lastChange");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("lastRow");

        // Longer than the bytes compared at each look, so that reading it again shows.
        const QByteArray log = "Date,Time,A\r\n1/1/2024,1:00:00 AM,1\r\n1/1/2024,1:00:01 AM,2\r\n"
                               "1/1/2024,1:00:02 AM,3\r\n1/1/2024,1:00:03 AM,4\r\n";
        const QString loadedLast = u"1/1/2024|1:00:03 AM|4"_s;
        QTest::newRow("complete rows") << log << QByteArrayList{"1/1/2024,1:00:04 AM,5\r\n1/1/2024,1:00:05 AM,6\r\n"}
                                       << Ending::None << LogFollower::Change::Grown << 6
                                       << u"1/1/2024|1:00:05 AM|6"_s;
        QTest::newRow("half a row, then the rest")
            << log << QByteArrayList{"1/1/2024,1:00:04 AM,5", "5\r\n"} << Ending::None << LogFollower::Change::Grown
            << 5 << u"1/1/2024|1:00:04 AM|55"_s;
        QTest::newRow("half a row only waits") << log << QByteArrayList{"1/1/2024,1:00:04 AM,5"} << Ending::None
                                               << LogFollower::Change::Grown << 4 << loadedLast;
        QTest::newRow("CR LF split between two looks")
            << log << QByteArrayList{"1/1/2024,1:00:04 AM,5\r", "\n1/1/2024,1:00:05 AM,6\r\n"} << Ending::None
            << LogFollower::Change::Grown << 6 << u"1/1/2024|1:00:05 AM|6"_s;
        QTest::newRow("loaded last line without its end goes on")
            << QByteArray("Date,Time,A\n1/1/2024,1:00:00 AM,1") << QByteArrayList{"7\n1/1/2024,1:00:01 AM,2\n"}
            << Ending::None << LogFollower::Change::Grown << 2 << u"1/1/2024|1:00:01 AM|2"_s;
        QTest::newRow("a quoted line end waits for its closing quote")
            << log << QByteArrayList{"1/1/2024,1:00:04 AM,\"x\r\n", "y\"\r\n"} << Ending::None
            << LogFollower::Change::Grown << 5 << u"1/1/2024|1:00:04 AM|x\r\ny"_s;
        QTest::newRow("header only, then rows") << QByteArray("Date,Time,A\n")
                                                << QByteArrayList{"1/1/2024,1:00:00 AM,4\n"} << Ending::None
                                                << LogFollower::Change::Grown << 1 << u"1/1/2024|1:00:00 AM|4"_s;
        QTest::newRow("shrinks") << log << QByteArrayList{} << Ending::Shrink << LogFollower::Change::Replaced << 4
                                 << loadedLast;
        QTest::newRow("replaced by another file")
            << log << QByteArrayList{} << Ending::RenameOver << LogFollower::Change::Replaced << 4 << loadedLast;
        QTest::newRow("rewritten in place, longer")
            << log << QByteArrayList{} << Ending::RewriteInPlace << LogFollower::Change::Replaced << 4 << loadedLast;
        QTest::newRow("untouched") << log << QByteArrayList{} << Ending::None << LogFollower::Change::None << 4
                                   << loadedLast;
        QTest::newRow("a hole set aside") << log << QByteArrayList{} << Ending::SmallHole << LogFollower::Change::None
                                          << 4 << loadedLast;
        QTest::newRow("a row, then a power cut's hole")
            << log << QByteArrayList{"1/1/2024,1:00:04 AM,5\r\n"} << Ending::PowerCutHole << LogFollower::Change::None
            << 5 << u"1/1/2024|1:00:04 AM|5"_s;
        // A logger that writes NUL bytes ahead and then fills them in place: the
        // file keeps its size while its text grows.
        QTest::newRow("filled in place over NUL bytes written ahead")
            << log << QByteArrayList{} << Ending::FilledOverNuls << LogFollower::Change::Grown << 5
            << u"1/1/2024|1:00:04 AM|5"_s;
    }

    void followsWhatTheLoggerAppends()
    {
        QFETCH(QByteArray, initial);
        QFETCH(QByteArrayList, pieces);
        QFETCH(Ending, ending);
        QFETCH(LogFollower::Change, lastChange);
        QFETCH(int, rows);
        QFETCH(QString, lastRow);

        Followed followed(initial);
        const QTemporaryDir &dir = followed.dir;
        const QString &path = followed.path;
        LogTable &table = followed.table;
        LogFollower &follower = followed.follower;

        LogFollower::Change change = LogFollower::Change::None;
        qint64 appended = 0;
        for (const QByteArray &piece : std::as_const(pieces)) {
            writeFile(path, piece, QIODevice::Append);
            appended += piece.size();
            change = follower.check();
            const qsizetype taken = table.appendLines(follower.pending());
            follower.take(taken);
            table.setRowCount(table.indexedRowCount());
        }
        const QByteArray other = initial + "1/1/2024,9:00:00 AM,9\r\n";
        switch (ending) {
        case Ending::None:
            break;
        case Ending::Shrink:
            writeFile(path, initial.left(initial.size() - 3));
            break;
        case Ending::RenameOver:
            writeFile(dir.filePath(u"new.csv"_s), other);
            QFile::remove(path);
            QVERIFY(QFile::rename(dir.filePath(u"new.csv"_s), path));
            break;
        case Ending::SmallHole:
        case Ending::PowerCutHole: {
            QFile file(path);
            QVERIFY(file.resize(file.size() + (ending == Ending::SmallHole ? qint64(1) << 20 : qint64(3) << 30)));
            struct stat st;
            QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
            if (qint64(st.st_blocks) * 512 >= st.st_size)
                QSKIP("the file system keeps no holes");
            break;
        }
        case Ending::FilledOverNuls: {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(file.size()));
            QCOMPARE(file.write(QByteArray(4096, '\0')), 4096);
            QVERIFY(file.flush());
            QCOMPARE(follower.check(), LogFollower::Change::None);
            QVERIFY(file.seek(initial.size()));
            QVERIFY(file.write("1/1/2024,1:00:04 AM,5\r\n") > 0);
            file.close();
            change = follower.check();
            follower.take(table.appendLines(follower.pending()));
            table.setRowCount(table.indexedRowCount());
            break;
        }
        case Ending::RewriteInPlace: {
            QByteArray changed = other;
            changed[changed.indexOf(",4\r\n") + 1] = '8'; // the last loaded value
            writeFile(path, changed);
            break;
        }
        }
        if (ending != Ending::FilledOverNuls && (ending != Ending::None || pieces.isEmpty()))
            change = follower.check();

        QCOMPARE(change, lastChange);
        QCOMPARE(table.rowCount(), rows);
        QCOMPARE(lastRowText(table), lastRow);
        // Only the new bytes are read, besides the few compared at each look and
        // the last one, which tells whether the gain ends in padding.
        if (ending == Ending::None) {
            QVERIFY2(follower.bytesRead() >= appended, qPrintable(QString::number(follower.bytesRead())));
            QVERIFY2(follower.bytesRead() <= appended + pieces.size() * (LogFollower::TailBytes + 1),
                     qPrintable(QString::number(follower.bytesRead())));
        }
        // Of a hole, no more than a look at where the text ends.
        if (ending == Ending::SmallHole || ending == Ending::PowerCutHole)
            QVERIFY2(follower.bytesRead() < appended + (64 << 10), qPrintable(QString::number(follower.bytesRead())));
    }

    // A large gain is read a piece at a time; a run of NUL bytes with lines after
    // it is passed over, ending the line it cut short, and the lines after it follow.
    void aGainIsReadInPieces_data()
    {
        QTest::addColumn<QByteArray>("appended");
        QTest::addColumn<int>("looks");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("lastRow");
        QTest::addColumn<int>("nulRunAfter"); // the file line before the run; 0: none

        const QByteArray line = "1/1/2024,1:00:04 AM,12345678.0\r\n"; // 32 bytes
        const qsizetype perPiece = qsizetype(LogFollower::PieceBytes / line.size());
        const QString lineRow = u"1/1/2024|1:00:04 AM|12345678.0"_s;
        const QByteArray after = "1/1/2024,1:00:06 AM,7\r\n1/1/2024,1:00:07 AM,8\r\n";
        const QString afterRow = u"1/1/2024|1:00:07 AM|8"_s;
        QTest::newRow("a piece: one look") << line.repeated(perPiece) << 1 << 4 + int(perPiece) << lineRow << 0;
        QTest::newRow("a line more: two looks")
            << line.repeated(perPiece + 1) << 2 << 5 + int(perPiece) << lineRow << 0;
        QTest::newRow("a NUL run cutting a line short, then lines")
            << line + "1/1/2024,1:00" + QByteArray(5000, '\0') + after << 2 << 8 << afterRow << 7;
        QTest::newRow("a NUL run longer than a piece after a whole line")
            << QByteArray(LogFollower::PieceBytes + 100, '\0') + after << 2 << 6 << afterRow << 5;
    }

    void aGainIsReadInPieces()
    {
        QFETCH(QByteArray, appended);
        QFETCH(int, looks);
        QFETCH(int, nulRunAfter);
        const QByteArray log = "Date,Time,A\r\n1/1/2024,1:00:00 AM,1\r\n1/1/2024,1:00:01 AM,2\r\n"
                               "1/1/2024,1:00:02 AM,3\r\n1/1/2024,1:00:03 AM,4\r\n";
        Followed followed(log);
        LogTable &table = followed.table;
        LogFollower &follower = followed.follower;
        writeFile(followed.path, appended, QIODevice::Append);

        int seen = 0;
        qint64 largestRead = 0;
        QList<int> runsAfter;
        do {
            const qint64 before = follower.bytesRead();
            follower.check();
            largestRead = std::max(largestRead, follower.bytesRead() - before);
            follower.take(table.appendLines(follower.pending()));
            if (follower.skippedNulRun())
                runsAfter << table.indexedRowCount() + 1;
        } while (follower.hasMore() && ++seen < 100);
        table.setRowCount(table.indexedRowCount());

        QCOMPARE(seen + 1, looks);
        // The piece, the bytes compared before it and the last byte of the gain.
        QVERIFY2(largestRead <= LogFollower::PieceBytes + LogFollower::TailBytes + 1,
                 qPrintable(QString::number(largestRead)));
        QCOMPARE(runsAfter, nulRunAfter ? QList<int>{nulRunAfter} : QList<int>{});
        QTEST(table.rowCount(), "rows");
        QTEST(lastRowText(table), "lastRow");
        QVERIFY(follower.pending().isEmpty());
    }

    // The data file window's tests follow a file emptied and written again with
    // CR LF line ends; these are the other shapes a logger leaves.
    void anEmptiedFileWaitsForItsFirstRow_data()
    {
        QTest::addColumn<QByteArrayList>("contents"); // the file's whole content at each look
        QTest::addColumn<QList<LogFollower::Change>>("changes");
        using C = LogFollower::Change;
        QTest::newRow("filled with NUL bytes") << QByteArrayList{QByteArray(300, '\0')} << QList<C>{C::Emptied};
        QTest::newRow("lines ended by CR alone")
            << QByteArrayList{"", "Date,Time,A\r1/1/2024,1:00:00 AM,1\r", "Date,Time,A\r1/1/2024,1:00:00 AM,1\r1"}
            << QList<C>{C::Emptied, C::None, C::Replaced};
    }

    void anEmptiedFileWaitsForItsFirstRow()
    {
        QFETCH(QByteArrayList, contents);
        QFETCH(QList<LogFollower::Change>, changes);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"log.csv"_s);
        const QByteArray log = "Date,Time,A\r\n1/1/2024,1:00:00 AM,1\r\n";
        writeFile(path, log);
        LogFollower follower;
        follower.start(path, log);
        QList<LogFollower::Change> seen;
        for (const QByteArray &content : std::as_const(contents)) {
            writeFile(path, content);
            seen << follower.check();
        }
        QCOMPARE(seen, changes);
        QVERIFY(follower.pending().isEmpty());
    }
};

VIEWER_TEST(LogFollowerTest)
#include "tst_logfollower.moc"
