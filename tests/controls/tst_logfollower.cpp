#include "support/testregistry.h"

#include "controls/logfollower.h"
#include "controls/logtable.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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

// What happens to the file after the appended pieces.
enum class Ending { None, Shrink, RenameOver, RewriteInPlace };

} // namespace

Q_DECLARE_METATYPE(Ending)
Q_DECLARE_METATYPE(LogFollower::Change)

class LogFollowerTest : public QObject
{
    Q_OBJECT

private slots:
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
    }

    void followsWhatTheLoggerAppends()
    {
        QFETCH(QByteArray, initial);
        QFETCH(QByteArrayList, pieces);
        QFETCH(Ending, ending);
        QFETCH(LogFollower::Change, lastChange);
        QFETCH(int, rows);
        QFETCH(QString, lastRow);

        QTemporaryDir dir;
        const QString path = dir.filePath(u"log.csv"_s);
        writeFile(path, initial);
        LogTable table;
        table.load(path);
        LogFollower follower;
        follower.start(path, table.content());

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
        case Ending::RewriteInPlace: {
            QByteArray changed = other;
            changed[changed.indexOf(",4\r\n") + 1] = '8'; // the last loaded value
            writeFile(path, changed);
            break;
        }
        }
        if (ending != Ending::None || pieces.isEmpty())
            change = follower.check();

        QCOMPARE(change, lastChange);
        QCOMPARE(table.rowCount(), rows);
        QCOMPARE(lastRowText(table), lastRow);
        // Only the new bytes are read, besides the few compared at each look.
        if (ending == Ending::None) {
            QVERIFY2(follower.bytesRead() >= appended, qPrintable(QString::number(follower.bytesRead())));
            QVERIFY2(follower.bytesRead() <= appended + pieces.size() * LogFollower::TailBytes,
                     qPrintable(QString::number(follower.bytesRead())));
        }
    }
};

VIEWER_TEST(LogFollowerTest)
#include "tst_logfollower.moc"
