#include "support/minutelog.h"
#include "support/testregistry.h"

#include "core/logtable.h"
#include "core/oledate.h"
#include "core/trenddata.h"
#include "core/trendreader.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QLocale>
#include <QScopeGuard>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(GridBlock)
Q_DECLARE_METATYPE(QList<GridBlock>)
Q_DECLARE_METATYPE(LogValueParser::DateOrder)

namespace {

constexpr double Minute = 1.0 / 1440;

using testlogs::minutes;

// One value column A at 1/2/2024 1:00, 1:01 ... holding `cells`.
QByteArray column(const QList<QByteArray> &cells)
{
    QByteArray log = "Date,Time,A\r\n";
    for (qsizetype i = 0; i < cells.size(); ++i)
        log += "1/2/2024,1:0" + QByteArray::number(i) + ',' + cells[i] + "\r\n";
    return log;
}

// A long log of value columns A, B, ... (one unless `bad` names more), one row
// a second; the cells in `bad` (column letter, row) hold "x<row>", every 50th
// row is empty.
QByteArray longLog(const QList<std::pair<char, int>> &bad)
{
    char last = 'A';
    for (const auto &[col, row] : bad)
        last = std::max(last, col);
    QByteArray log = "Date,Time";
    for (char c = 'A'; c <= last; ++c)
        log += QByteArray(",") + c;
    log += "\r\n";
    for (int r = 1; r <= 40001; ++r) {
        log += "1/2/2024," + QTime(0, 0).addSecs(r).toString(u"h:mm:ss"_s).toLatin1();
        for (char c = 'A'; c <= last; ++c) {
            log += ',';
            if (bad.contains(std::pair(c, r)))
                log += 'x' + QByteArray::number(r);
            else if (r % 50)
                log += QByteArray::number(r);
        }
        log += "\r\n";
    }
    return log;
}

std::unique_ptr<LogTable> tableOf(const QByteArray &log)
{
    auto table = std::make_unique<LogTable>();
    table->loadBytes(log);
    return table;
}

trendreader::Result read(const LogTable &table, const QList<GridBlock> &blocks,
                         const trendreader::Progress &progress = {}, const std::atomic<bool> *cancel = nullptr)
{
    trendreader::Request request;
    request.blocks = blocks;
    return trendreader::read(table, request, progress, cancel);
}

// Samples with a value in each channel.
QList<qint64> counts(const TrendData &data)
{
    QList<qint64> out;
    for (int ch = 0; ch < data.channelCount(); ++ch)
        out << data.stats(ch).count;
    return out;
}

} // namespace

class TrendReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // A missing sample is a gap, never a zero: an empty cell, or a mark (a text
    // without a digit) kept as such; every other cell is its number.
    void cellsBecomeValues_data()
    {
        QTest::addColumn<QByteArray>("cell");
        QTest::addColumn<double>("value"); // NaN: a gap
        QTest::addColumn<bool>("marked");
        const double gap = std::nan("");
        QTest::newRow("empty") << QByteArray("") << gap << false;
        QTest::newRow("blanks") << QByteArray("   ") << gap << false;
        for (const char *mark : {"NaN", "n/a", "#N/A", " - ", "ERR", "OL", "----", "?", "#VALUE!", " err "})
            QTest::newRow(mark) << QByteArray(mark) << gap << true;
        QTest::newRow("a number") << QByteArray("6.25") << 6.25 << false;
        QTest::newRow("blanks around a number") << QByteArray(" -6 ") << -6.0 << false;
        QTest::newRow("as large as the axis holds") << QByteArray("-4e249") << -4e249 << false;
    }

    void cellsBecomeValues()
    {
        QFETCH(QByteArray, cell);
        QFETCH(double, value);
        QFETCH(bool, marked);
        const auto table = tableOf(column({"5", cell, "7", "8"}));
        const trendreader::Result result = read(*table, {{2, 1, 2, 4}});
        QCOMPARE(result.end, trendreader::End::Complete);
        const TrendData &data = *result.data;
        QCOMPARE(data.rowCount(), 4);
        QCOMPARE(data.title(0), u"A"_s);
        QCOMPARE(data.sourceColumn(0), 2);
        QCOMPARE(data.gridRow(1), 2);
        QCOMPARE(data.time(1), oledate::fromFields(2024, 1, 2, 1, 1, 0));
        if (std::isnan(value))
            QVERIFY(std::isnan(data.value(0, 1)) && !TrendData::isAbsent(data.value(0, 1)));
        else
            QCOMPARE(data.value(0, 1), value);
        QCOMPARE(TrendData::isMarked(data.value(0, 1)), marked);
        QCOMPARE(data.value(0, 3), 8.0);
        QCOMPARE(table->text(2, 2), QString::fromLatin1(cell)); // the log is not written
    }

    // A cell that is no value ends the read, named on the message's third line;
    // the columns finished before it stay, the one in hand without values.
    void badCellsEndTheReadAndAreNamed_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QList<GridBlock>>("blocks");
        QTest::addColumn<QString>("where"); // empty: the read completes
        QTest::addColumn<QList<qint64>>("counts");
        const QList<GridBlock> a{{2, -1, 2, -1}};
        QTest::newRow("value not a number") << column({"5", "12.3x", "7", "8"}) << a
                                            << u"Line 3, column \"A\": \"12.3x\" is not a number."_s << QList<qint64>{0};
        QTest::newRow("a letter for a digit") << column({"5", "1O.5", "7", "8"}) << a
                                              << u"Line 3, column \"A\": \"1O.5\" is not a number."_s
                                              << QList<qint64>{0};
        QTest::newRow("two points") << column({"5", "6", "12..3", "8"}) << a
                                    << u"Line 4, column \"A\": \"12..3\" is not a number."_s << QList<qint64>{0};
        QTest::newRow("marks do not end the read") << column({"ERR", "OL", "#VALUE!", "8"}) << a << QString()
                                                   << QList<qint64>{1};
        QTest::newRow("beyond what the axis holds") << column({"0", "5e250", "7", "8"}) << a
                                                    << u"Line 3, column \"A\": \"5e250\" is too large to plot."_s
                                                    << QList<qint64>{0};
        QTest::newRow("too large for any real") << column({"0", "1e400", "7", "8"}) << a
                                                << u"Line 3, column \"A\": \"1e400\" is too large to plot."_s
                                                << QList<qint64>{0};
        QTest::newRow("date not a date")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:00,5\r\nyesterday,1:01,6\r\n1/2/2024,1:02,7\r\n1/2/2024,1:03,8\r\n")
            << a << u"Line 3, column \"Date\": \"yesterday\" is not a date."_s << QList<qint64>{};
        QTest::newRow("empty time")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:00,5\r\n1/2/2024,,6\r\n1/2/2024,1:02,7\r\n1/2/2024,1:03,8\r\n")
            << a << u"Line 3, column \"Time\": \"\" is not a time."_s << QList<qint64>{};
        QTest::newRow("time past the day's end")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:00,5\r\n1/2/2024,24:01:00,6\r\n1/2/2024,1:02,7\r\n1/2/2024,1:03,8\r\n")
            << a << u"Line 3, column \"Time\": \"24:01:00\" is not a time."_s << QList<qint64>{};
        QByteArray secondColumn = minutes(6, 2);
        secondColumn.replace(",51\r\n", ",5l\r\n");
        QTest::newRow("in the second column") << secondColumn << QList<GridBlock>{{2, -1, 3, -1}}
                                              << u"Line 6, column \"B\": \"5l\" is not a number."_s
                                              << QList<qint64>{6, 0};
        QTest::newRow("a long text is cut short") << column({"1", '1' + QByteArray(60, 'x'), "3", "4"}) << a
                                                  << u"Line 3, column \"A\": \"1"_s + QString(39, u'x')
                                                         + u"...\" is not a number."_s
                                                  << QList<qint64>{0};
        // Long enough to be read in two halves at once.
        QTest::newRow("long, all good") << longLog({}) << a << QString() << QList<qint64>{40001 - 800};
        QTest::newRow("long, bad in the second half")
            << longLog({{'A', 39000}}) << a << u"Line 39001, column \"A\": \"x39000\" is not a number."_s
            << QList<qint64>{0};
        QTest::newRow("long, bad in both halves: the earlier")
            << longLog({{'A', 30000}, {'A', 5000}}) << a << u"Line 5001, column \"A\": \"x5000\" is not a number."_s
            << QList<qint64>{0};
        // Several long columns are read a stretch of rows at a time across them
        // all; the cell named is still the first a column at a time meets.
        const QList<GridBlock> abc{{2, -1, 4, -1}};
        QTest::newRow("long columns, all good") << longLog({{'C', 0}}) << abc << QString()
                                                << QList<qint64>{39201, 39201, 39201};
        QTest::newRow("long columns: the left column's bad cell, though a later row")
            << longLog({{'B', 35000}, {'C', 100}}) << abc
            << u"Line 35001, column \"B\": \"x35000\" is not a number."_s << QList<qint64>{39201, 0};
        QTest::newRow("long columns: the earlier of a column's two")
            << longLog({{'B', 30000}, {'B', 200}, {'C', 10}}) << abc
            << u"Line 201, column \"B\": \"x200\" is not a number."_s << QList<qint64>{39201, 0};
        QTest::newRow("long columns: the first column's, in its second half")
            << longLog({{'A', 39000}, {'B', 10}}) << abc
            << u"Line 39001, column \"A\": \"x39000\" is not a number."_s << QList<qint64>{0};
    }

    void badCellsEndTheReadAndAreNamed()
    {
        QFETCH(QByteArray, log);
        QFETCH(QList<GridBlock>, blocks);
        QFETCH(QString, where);
        const auto table = tableOf(log);
        const trendreader::Result result = read(*table, blocks);
        QCOMPARE(result.end, where.isEmpty() ? trendreader::End::Complete : trendreader::End::BadCell);
        if (!where.isEmpty())
            QCOMPARE(trendreader::describe(*table, result.bad), where);
        QTEST(counts(*result.data), "counts");
        // The channel in hand shows nothing that was not read: no zeros, no gaps.
        if (!where.isEmpty() && result.data->channelCount() > 0)
            QCOMPARE(result.data->stats(result.data->channelCount() - 1).samples, 0);
    }

    // Each selected column is one channel, numbered across the blocks; each
    // holds its own block's rows only.
    void blocksGiveChannels()
    {
        const auto table = tableOf(minutes(10, 5));
        // Columns 2-4 over rows 2-5, then columns 5-6 over rows 4-8.
        const trendreader::Result result = read(*table, {{2, 2, 4, 5}, {5, 4, 6, 8}});
        QCOMPARE(result.end, trendreader::End::Complete);
        const TrendData &data = *result.data;
        QCOMPARE(counts(data), (QList<qint64>{4, 4, 4, 5, 5}));
        QCOMPARE(data.title(3), u"D"_s);
        QCOMPARE(data.sourceColumn(4), 6);
        QCOMPARE(data.rowCount(), 7); // rows 2 to 8
        QCOMPARE(data.value(3, 2), 43.0); // row 4, column D
        QVERIFY(TrendData::isAbsent(data.value(0, 6))); // row 8 is not A's
        QCOMPARE(result.block, 1);
    }

    // The first view of the time axis: its span in seconds and its start.
    void theFirstViewCoversTheSamples_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QList<GridBlock>>("blocks");
        QTest::addColumn<double>("span");
        QTest::addColumn<QDateTime>("min");
        const QList<GridBlock> a{{2, -1, 2, -1}};
        const auto at = [](int month, int day, int hour, int minute, int second = 0) {
            return QDateTime(QDate(2024, month, day), QTime(hour, minute, second));
        };
        QTest::newRow("over midnight at the month's end")
            << QByteArray("Date,Time,A\r\n1/31/2024,11:00:00 PM,1\r\n1/31/2024,11:40:00 PM,2\r\n"
                          "2/1/2024,12:20:00 AM,3\r\n2/1/2024,1:00:00 AM,4\r\n")
            << a << 7200.0 << at(1, 31, 23, 0);
        QTest::newRow("a later block starting earlier")
            << minutes(10, 3) << QList<GridBlock>{{2, 5, 2, 8}, {3, 2, 4, 6}} << 360.0 << at(1, 31, 23, 1);
        QTest::newRow("rows that run backwards")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:05,5\r\n1/2/2024,1:09,6\r\n1/2/2024,1:01,7\r\n1/2/2024,1:00,8\r\n")
            << a << 540.0 << at(1, 2, 1, 0);
        // The first and the last row a second apart, the samples 200 s.
        QTest::newRow("a shuffled log: its whole span")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:01:40,1\r\n1/2/2024,1:00:00,2\r\n1/2/2024,1:03:20,3\r\n"
                          "1/2/2024,1:00:50,4\r\n1/2/2024,1:01:41,5\r\n")
            << a << 200.0 << at(1, 2, 1, 0);
        QTest::newRow("one instant: a minute around it")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:00,5\r\n1/2/2024,1:00,6\r\n1/2/2024,1:00,7\r\n1/2/2024,1:00,8\r\n")
            << a << 60.0 << at(1, 2, 0, 59, 30);
    }

    void theFirstViewCoversTheSamples()
    {
        QFETCH(QByteArray, log);
        QFETCH(QList<GridBlock>, blocks);
        QFETCH(double, span);
        QFETCH(QDateTime, min);
        const auto table = tableOf(log);
        const trendreader::Result result = read(*table, blocks);
        QCOMPARE(result.end, trendreader::End::Complete);
        const trendreader::TimeView view = trendreader::firstTimeView(result);
        constexpr double Second = Minute / 60;
        QVERIFY2(std::abs(view.span - span * Second) < 1e-9, qPrintable(QString::number(view.span / Second)));
        QVERIFY(view.min.has_value());
        const double start = oledate::fromFields(min.date().year(), min.date().month(), min.date().day(),
                                                 min.time().hour(), min.time().minute(), min.time().second());
        QVERIFY2(std::abs(*view.min - start) < 1e-9, qPrintable(QString::number((*view.min - start) / Second)));
    }

    // The user's cancel is seen before a column but the first; reading the dates
    // and times is part of the first.
    void cancelEndsTheReadBeforeTheNextColumn_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("cancelAt"); // progress call; 0: never
        QTest::addColumn<QList<qint64>>("counts");
        QTest::newRow("while the times are read") << 5000 << 3 << 1 << QList<qint64>{5000};
        QTest::newRow("at the fifth point of the first column") << 20 << 3 << 5 << QList<qint64>{20};
        QTest::newRow("during the last column: not seen") << 5 << 2 << 7 << QList<qint64>{5, 5};
        QTest::newRow("never") << 5 << 2 << 0 << QList<qint64>{5, 5};
        // Long columns are read across: a cancel then finishes the first alone.
        QTest::newRow("long columns read across: the first is finished") << 40000 << 3 << 1 << QList<qint64>{40000};
    }

    void cancelEndsTheReadBeforeTheNextColumn()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, cancelAt);
        QFETCH(QList<qint64>, counts);
        const auto table = tableOf(minutes(rows, columns));
        std::atomic<bool> cancel{false};
        int calls = 0;
        const trendreader::Result result = read(*table, {{2, -1, 1 + columns, -1}}, [&](int) {
            cancel = cancel || ++calls == cancelAt;
            return true;
        }, &cancel);
        QCOMPARE(result.end, counts.size() < columns ? trendreader::End::Cancelled : trendreader::End::Complete);
        QCOMPARE(::counts(*result.data), counts);
        // Each kept channel holds the log's values (row r, column c: 10 r + c).
        for (int ch = 0; ch < result.data->channelCount(); ++ch)
            QCOMPARE(result.data->stats(ch).sum, 10.0 * rows * (rows + 1) / 2 + double(ch) * rows);
    }

    // The progress runs to 100 and no further: the divisor counts one row fewer
    // than are plotted, and the count runs on from block to block.
    void progressRunsToAHundred_data()
    {
        QTest::addColumn<QList<GridBlock>>("blocks");
        QTest::addColumn<QList<int>>("percents");
        QTest::newRow("one column") << QList<GridBlock>{{2, 1, 2, 4}} << QList<int>{0, 33, 67, 100};
        QTest::newRow("two columns") << QList<GridBlock>{{2, 1, 3, 4}} << QList<int>{0, 17, 33, 50, 67, 83, 100};
        QTest::newRow("two blocks") << QList<GridBlock>{{2, 1, 2, 4}, {3, 1, 3, 4}} << QList<int>{0, 33, 67, 100};
    }

    void progressRunsToAHundred()
    {
        QFETCH(QList<GridBlock>, blocks);
        const auto table = tableOf(minutes(6, 2));
        QList<int> percents;
        read(*table, blocks, [&](int percent) {
            if (percents.isEmpty() || percents.constLast() != percent)
                percents << percent;
            return true;
        });
        QTEST(percents, "percents");
    }

    void percentArithmetic_data()
    {
        QTest::addColumn<qlonglong>("points");
        QTest::addColumn<qlonglong>("columns");
        QTest::addColumn<qlonglong>("rowSpan");
        QTest::addColumn<int>("percent");
        QTest::newRow("tie to even down") << 1LL << 1LL << 200LL << 0; // 0.5
        QTest::newRow("tie to even up") << 3LL << 1LL << 200LL << 2;   // 1.5
        QTest::newRow("99.5 rounds to 100") << 199LL << 1LL << 200LL << 100;
        QTest::newRow("99.4 stays") << 994LL << 1LL << 1000LL << 99;
        // 100 x 30 million overflows 32 bits.
        QTest::newRow("a long, wide run") << 30000000LL << 30LL << 2000000LL << 50;
        QTest::newRow("no span") << 5LL << 1LL << 0LL << 100;
    }

    void percentArithmetic()
    {
        QFETCH(qlonglong, points);
        QFETCH(qlonglong, columns);
        QFETCH(qlonglong, rowSpan);
        QTEST(trendreader::progressPercent(points, columns, rowSpan), "percent");
    }

    // A column's dates are read in one order: the first date that can only be
    // read one way decides it for the dates above it too, a later one that can
    // only be read the other way ends the read, and where none decides the
    // locale's order is read and said to be. Follow keeps the run's order.
    void datesReadInOneOrderPerColumn_data()
    {
        using O = LogValueParser::DateOrder;
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QList<QByteArray>>("dates"); // column Date, each at 1:00
        QTest::addColumn<QByteArray>("followed");     // one more row, taken by follow; empty: none
        QTest::addColumn<QList<QDate>>("taken");      // the dates read, the followed one last if taken
        QTest::addColumn<O>("order");
        QTest::addColumn<bool>("fromLocale");
        QTest::addColumn<QString>("where"); // empty: the read completes
        QTest::addColumn<int>("repeat");    // the first date (and the first taken) stands for this many rows
        QTest::addColumn<int>("firstRow");  // of the block; -1: the whole column
        QTest::newRow("month first, a day above 12")
            << u"C"_s << QList<QByteArray>{"1/12/2024", "1/13/2024", "2/1/2024"} << QByteArray()
            << QList<QDate>{{2024, 1, 12}, {2024, 1, 13}, {2024, 2, 1}} << O::MonthFirst << false << QString() << 1 << -1;
        QTest::newRow("day first, dotted: open dates above the deciding one")
            << u"C"_s << QList<QByteArray>{"02.01.2010", "12.01.2010", "13.01.2010"} << QByteArray()
            << QList<QDate>{{2010, 1, 2}, {2010, 1, 12}, {2010, 1, 13}} << O::DayFirst << false << QString() << 1 << -1;
        QTest::newRow("day first, slashed, month-first locale")
            << u"en_US"_s << QList<QByteArray>{"12/12/2024", "13/12/2024"} << QByteArray()
            << QList<QDate>{{2024, 12, 12}, {2024, 12, 13}} << O::DayFirst << false << QString() << 1 << -1;
        QTest::newRow("undecided, C locale: month first")
            << u"C"_s << QList<QByteArray>{"02/01/2010", "03/01/2010"} << QByteArray()
            << QList<QDate>{{2010, 2, 1}, {2010, 3, 1}} << O::MonthFirst << true << QString() << 1 << -1;
        QTest::newRow("undecided, day-first locale: day first")
            << u"de_DE"_s << QList<QByteArray>{"02.01.2010", "03.01.2010"} << QByteArray()
            << QList<QDate>{{2010, 1, 2}, {2010, 1, 3}} << O::DayFirst << true << QString() << 1 << -1;
        QTest::newRow("year first asks nothing")
            << u"de_DE"_s << QList<QByteArray>{"2010-01-02", "2010-01-13"} << QByteArray()
            << QList<QDate>{{2010, 1, 2}, {2010, 1, 13}} << O::NotAsked << false << QString() << 1 << -1;
        QTest::newRow("month-first date below day-first ones")
            << u"C"_s << QList<QByteArray>{"13/01/2010", "12/01/2010", "01/14/2010", "13/13/2010"} << QByteArray()
            << QList<QDate>{} << O::DayFirst << false
            << u"Line 4, column \"Date\": \"01/14/2010\" does not fit the day-first dates above it."_s << 1 << -1;
        QTest::newRow("day-first date below month-first ones")
            << u"de_DE"_s << QList<QByteArray>{"1/1/2010", "1/13/2010", "13/1/2010"} << QByteArray() << QList<QDate>{}
            << O::MonthFirst << false
            << u"Line 4, column \"Date\": \"13/1/2010\" does not fit the month-first dates above it."_s << 1 << -1;
        QTest::newRow("followed, in the run's order")
            << u"C"_s << QList<QByteArray>{"13.01.2010", "14.01.2010"} << QByteArray("02.02.2010")
            << QList<QDate>{{2010, 1, 13}, {2010, 1, 14}, {2010, 2, 2}} << O::DayFirst << false << QString() << 1 << -1;
        QTest::newRow("followed, in the other order: left out")
            << u"C"_s << QList<QByteArray>{"13.01.2010", "14.01.2010"} << QByteArray("01.15.2010")
            << QList<QDate>{{2010, 1, 13}, {2010, 1, 14}} << O::DayFirst << false << QString() << 1 << -1;
        // Long columns are read in two halves at once: what the second half
        // shows counts as much as the first, and rows above the block count too.
        QTest::newRow("decided in the second half: read again day first")
            << u"C"_s << QList<QByteArray>{"01.02.2010", "13.02.2010"} << QByteArray()
            << QList<QDate>{{2010, 2, 1}, {2010, 2, 13}} << O::DayFirst << false << QString() << 30000 << -1;
        QTest::newRow("contradicted in the second half")
            << u"C"_s << QList<QByteArray>{"01/01/2010", "13/01/2010", "01/14/2010"} << QByteArray() << QList<QDate>{}
            << O::DayFirst << false
            << u"Line 30003, column \"Date\": \"01/14/2010\" does not fit the day-first dates above it."_s << 30000
            << -1;
        QTest::newRow("decided by a row above the block")
            << u"de_DE"_s << QList<QByteArray>{"1/13/2010", "1/2/2010", "2/1/2010"} << QByteArray()
            << QList<QDate>{{2010, 1, 2}, {2010, 2, 1}} << O::MonthFirst << false << QString() << 1 << 2;
    }

    void datesReadInOneOrderPerColumn()
    {
        QFETCH(QString, locale);
        QFETCH(QList<QByteArray>, dates);
        QFETCH(QByteArray, followed);
        QFETCH(QList<QDate>, taken);
        QFETCH(QString, where);
        QFETCH(int, repeat);
        QFETCH(int, firstRow);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard([&] { QLocale::setDefault(before); });
        QByteArray log = "Date,Time,A\r\n";
        log += QByteArray(dates.front() + ",1:00,5\r\n").repeated(repeat);
        for (const QByteArray &date : dates.mid(1))
            log += date + ",1:00,5\r\n";
        if (!taken.isEmpty())
            taken = QList<QDate>(repeat - 1, taken.front()) + taken;
        LogTable table;
        table.loadBytes(log);
        QList<GridBlock> blocks{{2, firstRow, 2, -1}};
        const trendreader::Result result = read(table, blocks);
        QTEST(result.dateOrder, "order");
        QTEST(result.dateOrderFromLocale, "fromLocale");
        QCOMPARE(result.end, where.isEmpty() ? trendreader::End::Complete : trendreader::End::BadCell);
        if (!where.isEmpty()) {
            QCOMPARE(trendreader::describe(table, result.bad), where);
            return;
        }
        if (!followed.isEmpty()) {
            table.appendLines(followed + ",1:00,6\r\n");
            table.setRowCount(table.indexedRowCount());
            const trendreader::Growth growth =
                trendreader::grow(table, *result.data, blocks, table.rowCount() - 1, result.dateOrder);
            QCOMPARE(growth.leftOutRow, taken.size() > dates.size() ? 0 : int(dates.size()) + 1);
        }
        QList<QDate> got;
        for (qsizetype i = 0; i < result.data->rowCount(); ++i)
            got << QDate(1899, 12, 30).addDays(qint64(std::floor(result.data->time(i))));
        QCOMPARE(got, taken);
    }

    // A followed log's rows join the channels whose block reached the old last
    // row; in follow a bad value is a gap and a row without a date or time is
    // left out.
    void growingBlocksTakeTheNewRows_data()
    {
        QTest::addColumn<GridBlock>("block"); // column B's; column A's is whole
        QTest::addColumn<QByteArray>("badRow"); // written as row 12, between good rows 11 and 13
        QTest::addColumn<QList<qint64>>("counts");
        QTest::addColumn<int>("leftOut");
        QTest::addColumn<int>("lastRow"); // of B's block afterwards
        QTest::newRow("whole column") << GridBlock{3, -1, 3, -1} << QByteArray() << QList<qint64>{13, 13} << 0 << -1;
        QTest::newRow("block down to the last row")
            << GridBlock{3, 2, 3, 10} << QByteArray() << QList<qint64>{13, 12} << 0 << 13;
        QTest::newRow("block ending above the last row")
            << GridBlock{3, 2, 3, 9} << QByteArray() << QList<qint64>{13, 8} << 0 << 9;
        QTest::newRow("marks")
            << GridBlock{3, -1, 3, -1} << QByteArray("1/31/2024,11:11:00 PM,x,y\r\n") << QList<qint64>{12, 12} << 0 << -1;
        QTest::newRow("a broken number") << GridBlock{3, -1, 3, -1} << QByteArray("1/31/2024,11:11:00 PM,1O.5,7\r\n")
                                         << QList<qint64>{12, 13} << 0 << -1;
        QTest::newRow("too large to plot") << GridBlock{3, -1, 3, -1}
                                           << QByteArray("1/31/2024,11:11:00 PM,5e250,1e400\r\n")
                                           << QList<qint64>{12, 12} << 0 << -1;
        QTest::newRow("no date") << GridBlock{3, -1, 3, -1} << QByteArray("x/31/2024,11:11:00 PM,7,8\r\n")
                                 << QList<qint64>{12, 12} << 12 << -1;
        QTest::newRow("no time") << GridBlock{3, -1, 3, -1} << QByteArray("1/31/2024,25:99 ZZ,7,8\r\n")
                                 << QList<qint64>{12, 12} << 12 << -1;
    }

    void growingBlocksTakeTheNewRows()
    {
        QFETCH(GridBlock, block);
        QFETCH(QByteArray, badRow);
        QFETCH(QList<qint64>, counts);
        QFETCH(int, leftOut);
        QFETCH(int, lastRow);
        const QByteArray longer = minutes(13, 2);
        LogTable table;
        table.loadBytes(longer.left(minutes(10, 2).size()));
        QList<GridBlock> blocks{{2, -1, 2, -1}, block};
        const trendreader::Result result = read(table, blocks);
        const std::shared_ptr<TrendData> data = result.data;
        QByteArray appended = longer.mid(minutes(10, 2).size());
        if (!badRow.isEmpty())
            appended.replace(minutes(12, 2).mid(minutes(11, 2).size()), badRow);
        table.appendLines(appended);
        table.setRowCount(table.indexedRowCount());

        const trendreader::Growth growth = trendreader::grow(table, *data, blocks, 10, result.dateOrder);
        QCOMPARE(::counts(*data), counts);
        QCOMPARE(growth.leftOutRow, leftOut);
        QCOMPARE(growth.added, leftOut ? 2 : 3);
        QCOMPARE(blocks.at(1).lastRow, lastRow);
        QCOMPARE(data->value(0, data->rowCount() - 1), 130.0);
        QVERIFY(std::abs(growth.newEnd - growth.oldEnd - 3 * Minute) < 1e-9);
        QVERIFY(data->inTimeOrder());
    }
};

VIEWER_TEST(TrendReaderTest)
#include "tst_trendreader.moc"
