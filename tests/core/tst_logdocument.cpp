#include "support/minutelog.h"
#include "support/testregistry.h"

#include "core/channelname.h"
#include "core/logdocument.h"
#include "core/logfollower.h"
#include "core/logtable.h"
#include "core/oledate.h"
#include "core/runtimeerror.h"
#include "core/trenddata.h"

#include <QFile>
#include <QLocale>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using testlogs::minutes;

// The followed log after its logger's next move.
enum class Move { Appends, Empties, Shrinks, AnotherLogOpened };

} // namespace

Q_DECLARE_METATYPE(Move)
Q_DECLARE_METATYPE(LogDocument::LoadMode)

class LogDocumentTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QByteArray &bytes, const QString &name = u"run.csv"_s)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            qFatal("cannot write the test log");
        return path;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void incompleteLastRowIsDropped_data()
    {
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("lastDate");
        const QByteArray head("Date,Time,A,B\r\n1/1/2024,1:00:00 AM,1,2\r\n1/2/2024,1:00:01 AM,3,4\r\n");
        QTest::newRow("complete") << head + "1/3/2024,1:00:02 AM,5,6\r\n" << 3 << u"1/3/2024"_s;
        QTest::newRow("empty date") << head + ",1:00:02 AM,5,6\r\n" << 2 << u"1/2/2024"_s;
        QTest::newRow("empty time") << head + "1/3/2024,,5,6\r\n" << 2 << u"1/2/2024"_s;
        // A line written whole keeps its row: an empty value is a missing sample.
        QTest::newRow("empty value") << head + "1/3/2024,1:00:02 AM,,6\r\n" << 3 << u"1/3/2024"_s;
        QTest::newRow("empty last value") << head + "1/3/2024,1:00:02 AM,5,\r\n" << 3 << u"1/3/2024"_s;
        QTest::newRow("empty last value, no line end") << head + "1/3/2024,1:00:02 AM,5," << 2 << u"1/2/2024"_s;
        QTest::newRow("all values, no line end") << head + "1/3/2024,1:00:02 AM,5,6" << 3 << u"1/3/2024"_s;
        QTest::newRow("short line") << head + "1/3/2024,1:00:02 AM" << 2 << u"1/2/2024"_s;
        QTest::newRow("empty line at the end") << head + "\r\n" << 2 << u"1/2/2024"_s;
        QTest::newRow("only one row goes") << head + "1/3/2024,1:00:02 AM,,6\r\n1/4/2024,,7,8\r\n" << 3
                                           << u"1/3/2024"_s;
        // A logger that ends its lines in separators: the last complete sample stays.
        const QByteArray trailing("Date,Time,A,B,,\r\n1/1/2024,1:00:00 AM,1,2,,\r\n1/2/2024,1:00:01 AM,3,4,,\r\n");
        QTest::newRow("separators at the end: complete") << trailing + "1/3/2024,1:00:02 AM,5,6,,\r\n" << 3
                                                         << u"1/3/2024"_s;
        QTest::newRow("separators at the end: cut short") << trailing + "1/3/2024,1:00:02 AM,5" << 2
                                                          << u"1/2/2024"_s;
        QTest::newRow("separators at the end: last value empty") << trailing + "1/3/2024,1:00:02 AM,5,,,\r\n" << 3
                                                                 << u"1/3/2024"_s;
        QTest::newRow("a line end, a field short") << trailing + "1/3/2024,1:00:02 AM,5\r\n" << 2
                                                        << u"1/2/2024"_s;
        QTest::newRow("a wider row above") << head + "1/3/2024,1:00:02 AM,5,6,,,\r\n1/4/2024,1:00:03 AM,7,8\r\n"
                                           << 4 << u"1/4/2024"_s;
    }

    void incompleteLastRowIsDropped()
    {
        QFETCH(QByteArray, tail);
        QFETCH(int, rows);
        QFETCH(QString, lastDate);
        LogDocument document;
        document.load(write(tail));
        QCOMPARE(document.table().rowCount(), rows);
        QCOMPARE(document.table().text(0, rows), lastDate);
        QCOMPARE(document.table().colCount(), 3);
    }

    void emptyColumnsAtTheRightGo_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<int>("cols");
        QTest::newRow("trailing separators") << QByteArray("Date,Time,A,B,,\r\n1/1/2024,x,1,2,,\r\n1/2/2024,y,3,4,,\r\n")
                                             << 3;
        QTest::newRow("one ragged line longer")
            << QByteArray("Date,Time,A\r\n1/1/2024,x,1,,,\r\n1/2/2024,y,3\r\n") << 2;
        QTest::newRow("named column keeps its place")
            << QByteArray("Date,Time,A,B\r\n1/1/2024,x,1,\r\n1/2/2024,y,3,\r\n") << 3;
    }

    void emptyColumnsAtTheRightGo()
    {
        QFETCH(QByteArray, log);
        LogDocument document;
        document.load(write(log));
        QTEST(document.table().colCount(), "cols");
    }

    // Logs of other shapes open with their time first and plot every value
    // column at the times as written; the logger's own form stays as it is.
    void logsOfOtherShapesPlot_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("heading");   // the grid's row 0, cells joined by |
        QTest::addColumn<int>("timeColumns");
        QTest::addColumn<QList<int>>("textColumns");
        QTest::addColumn<QDateTime>("firstTime");
        QTest::addColumn<double>("lastValue"); // of the last channel
        QTest::addColumn<QString>("where");    // a bad cell's line; empty: plotted
        QTest::addColumn<QString>("lastTitle"); // the last channel's, as the legend shows it
        const QByteArray own("Date,Time,A,B\r\n1/2/2024,1:00:00 AM,1,2\r\n1/2/2024,1:00:01 AM,3,4\r\n");
        QTest::newRow("the logger's own form")
            << own << u"Date|Time|A|B"_s << 2 << QList<int>{} << QDateTime({2024, 1, 2}, {1, 0}) << 4.0 << QString() << u"B"_s;
        QTest::newRow("a quoted heading with a line break stays the logger's")
            << QByteArray("\"Date\",\"Time\",\"Flow, l/s\",\"Level\r\nin m\"\r\n\"1/2/2024\",\"1:00:00 AM\",\"0.5\",\"20\"\r\n")
            << u"Date|Time|Flow, l/s|Level\r\nin m"_s << 2 << QList<int>{} << QDateTime({2024, 1, 2}, {1, 0}) << 20.0
            << QString() << u"Level\r\nin m"_s;
        QTest::newRow("a place, then ISO times with a zone")
            << QByteArray("site,time,t\nBerlin,2015-01-01T01:00:00Z,5\nBerlin,2015-01-01T02:00:00+01:00,6.5\n")
            << u"time|site|t"_s << 1 << QList<int>{1} << QDateTime({2015, 1, 1}, {1, 0}) << 6.5 << QString() << u"t"_s;
        QTest::newRow("title, units, semicolons and decimal commas, day first")
            << QByteArray("Station 4\r\nSN 1234\r\nDatum;T;p\r\n;\xC2\xB0" "C;hPa\r\n13.02.2016 10:00;1,5;1000,25\r\n"
                          "14.02.2016 10:00;2,5;1001,75\r\n")
            << u"Datum|T|p"_s << 1 << QList<int>{} << QDateTime({2016, 2, 13}, {10, 0}) << 1001.75 << QString()
            << u"p [hPa]"_s;
        QTest::newRow("a heading two columns share: its field number")
            << QByteArray("Date,Time,\"DewPt, F\",A,\"DewPt, F\"\r\n1/2/2024,1:00:00 AM,1,2,3\r\n1/2/2024,1:00:01 AM,3,4,5\r\n")
            << u"Date|Time|DewPt, F|A|DewPt, F"_s << 2 << QList<int>{} << QDateTime({2024, 1, 2}, {1, 0}) << 5.0
            << QString() << u"DewPt, F (5)"_s;
        QTest::newRow("a shared heading with a unit, time last")
            << QByteArray("v,v,when\nmm,mm,\n1,2,2012-01-01 10:00\n3,4,2012-01-02 10:00\n")
            << u"when|v|v"_s << 1 << QList<int>{} << QDateTime({2012, 1, 1}, {10, 0}) << 4.0 << QString()
            << u"v (2) [mm]"_s;
        QTest::newRow("daily ISO dates")
            << QByteArray("date,v\n2012-01-01,1\n2012-01-02,2\n") << u"date|v"_s << 1 << QList<int>{}
            << QDateTime({2012, 1, 1}, {0, 0}) << 2.0 << QString() << u"v"_s;
        QTest::newRow("a bad time names its line in the file")
            << QByteArray("Title\nwhen;v\n2012-01-01 10:00;1\n2012-01-02 10:00;1\n2012-01-03 10:00;1\n"
                          "2012-13-01 10:00;2\n")
            << u"when|v"_s << 1 << QList<int>{} << QDateTime() << 0.0 << u"Line 6, column \"when\": \"2012-13-01 10:00\" is not a time."_s << QString();
    }

    void logsOfOtherShapesPlot()
    {
        QFETCH(QString, heading);
        QFETCH(int, timeColumns);
        QFETCH(QList<int>, textColumns);
        QFETCH(QDateTime, firstTime);
        QFETCH(QString, where);
        LogDocument document;
        QFETCH(QByteArray, log);
        document.load(write(log));
        const LogTable &table = document.table();
        QStringList cells;
        for (int col = 0; col <= table.colCount(); ++col)
            cells << table.text(col, 0);
        QCOMPARE(cells.join(u'|'), heading);
        QCOMPARE(document.timeColumns(), timeColumns);
        QList<int> text;
        for (int col = 0; col <= table.colCount(); ++col) {
            if (document.holdsText(col))
                text << col;
        }
        QCOMPARE(text, textColumns);
        const int firstValue = textColumns.isEmpty() ? timeColumns : textColumns.back() + 1;
        const trendreader::Result result = document.plot({{firstValue, -1, table.colCount(), -1}});
        if (!where.isEmpty()) {
            QCOMPARE(result.end, trendreader::End::BadCell);
            QCOMPARE(trendreader::describe(table, result.bad), where);
            return;
        }
        QCOMPARE(result.end, trendreader::End::Complete);
        const TrendData &data = *result.data;
        QCOMPARE(data.time(0), oledate::fromDateTime(firstTime.date(), firstTime.time()));
        QTEST(data.value(data.channelCount() - 1, data.rowCount() - 1), "lastValue");
        // The unit is shown; the title alone keys the kept setup.
        const int last = data.channelCount() - 1;
        QTEST(channelname::shown(data.title(last), data.unit(last), data.field(last)), "lastTitle");
        QCOMPARE(data.title(last), table.text(data.sourceColumn(last), 0));
    }

    // The files real loggers write: each opens with its columns' roles found (T the time,
    // V values, X text, R running numbers, M milliseconds; what Ctrl+A and --export take is
    // the V), and its value columns plot from the first time to the last as the file has them.
    void filesOfRealLoggersRead_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("roles");   // per grid column
        QTest::addColumn<double>("first");    // X value of the first sample
        QTest::addColumn<double>("last");     // and of the last
        QTest::addColumn<QString>("where");   // a bad cell's line; empty: plotted
        const auto at = [](int y, int mo, int d, int h = 0, int mi = 0, double s = 0) {
            return oledate::fromFields(y, mo, d) + (h * 3600 + mi * 60 + s) / 86400;
        };
        const double second = 1.0 / 86400;
        const QString C = u"C"_s;
        QByteArray years = "time,value\n";
        for (int y = 2000; y <= 2019; ++y)
            years += QByteArray::number(y) + ',' + QByteArray::number(y % 7) + '\n';
        QTest::newRow("years under year") << QByteArray("year,temp\n1880,-0.17\n1881,-0.08\n1882,-0.10\n") << C << u"TV"_s
                                          << at(1880, 1, 1) << at(1882, 1, 1) << QString();
        QTest::newRow("years under time, one a line") << years << C << u"TV"_s << at(2000, 1, 1) << at(2019, 1, 1) << QString();
        QTest::newRow("fractional years") << QByteArray("decimal date,co2\n1958.2027,315.7\n1958.5,317.45\n") << C << u"TV"_s
                                          << at(1958, 1, 1) + 0.2027 * 365 << at(1958, 1, 1) + 0.5 * 365 << QString();
        QTest::newRow("elapsed seconds") << QByteArray("Time (s),V\n0,1\n0.5,2\n100,3\n") << C << u"TV"_s << 0.0
                                         << 100 * second << QString();
        QTest::newRow("elapsed minutes") << QByteArray("t [min],V\n0,1\n1.5,2\n3,3\n") << C << u"TV"_s << 0.0
                                         << 180 * second << QString();
        QTest::newRow("numbers before 1973 are no Unix time") << QByteArray("epoch,v\n1000,1\n2000,2\n") << C << u"TV"_s
                                                             << 1000 * second << 2000 * second << QString();
        QTest::newRow("Unix seconds") << QByteArray("timestamp,v\n1420070400,1\n1420074000,2\n") << C << u"TV"_s
                                      << at(2014, 12, 31, 19) << at(2014, 12, 31, 20) << QString();
        QTest::newRow("metadata, heading, units and processing lines, NAN, RECORD")
            << QByteArray("\"TOA5\",\"Station\",\"CR1000\",\"1234\",\"CR1000.Std\",\"CPU:a.CR1\",\"99\",\"Hourly\"\r\n"
                          "\"TIMESTAMP\",\"RECORD\",\"AirT_Avg\",\"RH_Max\",\"AirT_TMx\"\r\n"
                          "\"TS\",\"RN\",\"Deg C\",\"%\",\"Deg C\"\r\n"
                          "\"\",\"\",\"Avg\",\"Max\",\"TMx\"\r\n"
                          "\"2014-04-10 01:00:00\",0,12.5,\"NAN\",\"2014-04-10 00:45:00\"\r\n"
                          "\"2014-04-10 02:00:00\",1,12.1,80,\"2014-04-10 01:15:00\"\r\n"
                          "\"2014-04-10 03:00:00\",2,11.9,81,\"2014-04-10 02:20:00\"\r\n")
            << C << u"TRVVX"_s << at(2014, 4, 10, 1) << at(2014, 4, 10, 3) << QString();
        QTest::newRow("a title, a zone in the heading, # and PM")
            << QByteArray("\"Plot Title: Boiler\"\r\n\"#\",\"Date Time, GMT-04:00\",\"Temp, \xC2\xB0" "F (LBL: Boiler Room)\"\r\n"
                          "1,03/24/11 11:59:00 AM,68.5\r\n2,03/24/11 12:00:00 PM,68.7\r\n3,03/24/11 01:00:00 PM,68.9\r\n")
            << C << u"TRV"_s << at(2011, 3, 24, 11, 59) << at(2011, 3, 24, 13) << QString();
        QByteArray eight = "Date,Time,ms,LEVEL,TEMPERATURE\r\n";
        for (int i = 0; i <= 8; ++i)
            eight += "3/14/2024,12:57:3" + QByteArray::number(5 + i / 8) + ',' + QByteArray::number(i % 8 * 125) + ",1." + QByteArray::number(i) + ",20.5\r\n";
        QTest::newRow("Date, Time and ms, eight samples a second")
            << eight << C << u"TTMVV"_s << at(2024, 3, 14, 12, 57, 35) << at(2024, 3, 14, 12, 57, 36) << QString();
        QTest::newRow("a column of codes is text")
            << QByteArray("when,aircraft,speed\n2024-01-01 10:00,T-38A,400\n2024-01-01 11:00,KC-10A,300\n2024-01-01 12:00,T-38A,410\n")
            << C << u"TXV"_s << at(2024, 1, 1, 10) << at(2024, 1, 1, 12) << QString();
        QTest::newRow("24:00:00 ends its day") << QByteArray("when,v\n2024-01-01 23:00:00,1\n2024-01-01 24:00:00,2\n") << C
                                               << u"TV"_s << at(2024, 1, 1, 23) << at(2024, 1, 2) << QString();
        QTest::newRow("a leap second") << QByteArray("when,v\n2016-12-31 23:59:59,1\n2016-12-31 23:59:60,2\n") << C << u"TV"_s
                                       << at(2016, 12, 31, 23, 59, 59) << at(2016, 12, 31, 23, 59, 59.999) << QString();
        QTest::newRow("30 February is a bad time, not no time")
            << QByteArray("when,v\n2024-02-28 10:00,1\n2024-02-30 10:00,2\n") << C << u"TV"_s << 0.0 << 0.0
            << u"Line 3, column \"when\": \"2024-02-30 10:00\" is not a time."_s;
        QTest::newRow("year 1 is a bad time") << QByteArray("when,v\n2024-02-28 10:00,1\n0001-02-28 10:00,2\n") << C << u"TV"_s
                                              << 0.0 << 0.0 << u"Line 3, column \"when\": \"0001-02-28 10:00\" is not a time."_s;
        // Dates no single date decides: the steps from a day to the next do.
        const QByteArray monthFirst("Date,Time,A\r\n3/10/2024,11:00:00 PM,1\r\n3/10/2024,11:30:00 PM,2\r\n"
                                    "3/11/2024,12:00:00 AM,3\r\n3/11/2024,12:30:00 AM,4\r\n");
        const QByteArray dayFirst("Date,Time,A\r\n10/3/2024,23:00:00,1\r\n11/3/2024,00:30:00,2\r\n");
        const QByteArray oneDay("Date,Time,A\r\n3/10/2024,10:00:00 AM,1\r\n3/10/2024,11:00:00 AM,2\r\n");
        const QString german = u"de_DE"_s;
        QTest::newRow("month first by its steps") << monthFirst << C << u"TTV"_s << at(2024, 3, 10, 23) << at(2024, 3, 11, 0, 30) << QString();
        QTest::newRow("month first by its steps, German locale") << monthFirst << german << u"TTV"_s << at(2024, 3, 10, 23)
                                                                 << at(2024, 3, 11, 0, 30) << QString();
        QTest::newRow("day first by its steps") << dayFirst << C << u"TTV"_s << at(2024, 3, 10, 23) << at(2024, 3, 11, 0, 30) << QString();
        QTest::newRow("day first by its steps, German locale") << dayFirst << german << u"TTV"_s << at(2024, 3, 10, 23)
                                                               << at(2024, 3, 11, 0, 30) << QString();
        QTest::newRow("one day: the locale's order") << oneDay << C << u"TTV"_s << at(2024, 3, 10, 10) << at(2024, 3, 10, 11) << QString();
        QTest::newRow("one day: the German locale's order") << oneDay << german << u"TTV"_s << at(2024, 10, 3, 10)
                                                            << at(2024, 10, 3, 11) << QString();
        QTest::newRow("one date-time column, day first by its steps")
            << QByteArray("when;v\n10.03.2024 23:00;1\n11.03.2024 00:00;2\n") << C << u"TV"_s << at(2024, 3, 10, 23)
            << at(2024, 3, 11) << QString();
        QTest::newRow("a heading and one row") << QByteArray("Date,Time,A\r\n3/14/2024,1:00:00 PM,5\r\n") << C << u"TTV"_s
                                               << at(2024, 3, 14, 13) << at(2024, 3, 14, 13) << QString();
    }

    void filesOfRealLoggersRead()
    {
        QFETCH(QByteArray, log);
        QFETCH(QString, locale);
        QFETCH(QString, where);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard([&before] { QLocale::setDefault(before); });
        LogDocument document;
        document.load(write(log));
        QString roles;
        for (int col = 0; col <= document.table().colCount(); ++col) {
            switch (document.kindOf(col)) {
            case logshape::ColumnKind::Time: roles += u'T'; break;
            case logshape::ColumnKind::Value: roles += u'V'; break;
            case logshape::ColumnKind::Text: roles += u'X'; break;
            case logshape::ColumnKind::Record: roles += u'R'; break;
            case logshape::ColumnKind::Milliseconds: roles += u'M'; break;
            }
        }
        QTEST(roles, "roles");
        const trendreader::Result result = document.plot(document.valueBlocks());
        if (!where.isEmpty()) {
            QCOMPARE(result.end, trendreader::End::BadCell);
            QCOMPARE(trendreader::describe(document.table(), result.bad), where);
            return;
        }
        QCOMPARE(result.end, trendreader::End::Complete);
        TrendData &data = *result.data;
        data.sortByTime();
        const auto near = [](double a, double b) { return std::abs(a - b) < 1e-9; };
        QFETCH(double, first);
        QFETCH(double, last);
        QVERIFY2(near(data.time(0), first), qPrintable(QString::number(data.time(0), 'f', 10)));
        QVERIFY2(near(data.time(data.rowCount() - 1), last), qPrintable(QString::number(data.time(data.rowCount() - 1), 'f', 10)));
    }

    // The shape chosen for a path holds on each reading of that path in the run, and
    // for no other path; forgotten, the path is detected again.
    void chosenShapeHoldsForItsPath_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("timeColumns"); // of the log read at the step's end
        QTest::newRow("load") << u"load"_s << 1;
        QTest::newRow("reload") << u"reload"_s << 1;
        QTest::newRow("closed and opened again") << u"reopen"_s << 1;
        QTest::newRow("another path") << u"another"_s << 0;
        QTest::newRow("forgotten") << u"forget"_s << 0;
        QTest::newRow("followed: new rows join the trend") << u"follow"_s << 1;
    }

    void chosenShapeHoldsForItsPath()
    {
        QFETCH(QString, step);
        QByteArray log = "stamp,value\n";
        for (int r = 0; r < 5; ++r)
            log += QByteArray::number(1700000000 + 60 * r) + ',' + QByteArray::number(r) + '\n';
        const QString path = write(log, u"elapsed.csv"_s);
        const QString other = write(log, u"other.csv"_s);
        LogDocument document;
        logshape::Shape chosen = logshape::openChoice();
        chosen.timeColumn = 0;
        document.setShapeChoice(path, chosen);
        document.load(path);
        if (step == u"reload"_s) {
            document.reload();
        } else if (step == u"reopen"_s) {
            document.close();
            document.load(path);
        } else if (step == u"another"_s) {
            document.load(other);
        } else if (step == u"forget"_s) {
            document.setShapeChoice(path, std::nullopt);
            document.reload();
        } else if (step == u"follow"_s) {
            QCOMPARE(document.plot({{1, -1, 1, -1}}).end, trendreader::End::Complete);
            document.setFollowing(true);
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append));
            file.write("1700000300,9\n");
            file.close();
            document.follow();
            QCOMPARE(document.trend()->rowCount(), 6);
        }
        QTEST(document.timeColumns(), "timeColumns");
    }

    // A log that fails to load: opened in place of the open one, nothing is left
    // open; handed over beside it, the open log, its table and trend stay.
    void aLogThatFailsToLoad_data()
    {
        QTest::addColumn<LogDocument::LoadMode>("mode");
        QTest::addColumn<QByteArray>("bytes"); // "missing": no such file
        QTest::addColumn<int>("error");
        const auto keep = LogDocument::LoadMode::KeepOnFailure;
        const auto replace = LogDocument::LoadMode::Replace;
        QTest::newRow("handed over: an empty file") << keep << QByteArray() << int(RuntimeError::EmptyFile);
        QTest::newRow("handed over: NUL bytes only") << keep << QByteArray(64, '\0') << int(RuntimeError::NotTextFile);
        QTest::newRow("handed over: missing") << keep << QByteArray("missing") << int(RuntimeError::FileNotFound);
        QTest::newRow("handed over: a log") << keep << minutes(4, 1) << 0;
        QTest::newRow("opened: an empty file") << replace << QByteArray() << int(RuntimeError::EmptyFile);
    }

    void aLogThatFailsToLoad()
    {
        QFETCH(LogDocument::LoadMode, mode);
        QFETCH(QByteArray, bytes);
        QFETCH(int, error);
        LogDocument document;
        const QString earlier = write(minutes(6, 2), u"earlier.csv"_s);
        document.load(earlier);
        document.plot({{2, -1, 3, -1}});
        const std::shared_ptr<TrendData> trend = document.trend();
        QString later = write(bytes, u"later.csv"_s);
        if (bytes == "missing")
            QFile::remove(later);
        QSignalSpy failed(&document, &LogDocument::loadFailed);
        QSignalSpy loaded(&document, &LogDocument::loaded);

        int thrown = 0;
        try {
            document.load(later, mode);
        } catch (const RuntimeError &e) {
            thrown = e.number();
        }
        QCOMPARE(thrown, error);
        QCOMPARE(loaded.size(), error ? 0 : 1);
        QCOMPARE(document.trend(), trend);
        if (!error) {
            QCOMPARE(document.path(), later);
            QVERIFY(!document.trendFromOpenLog());
            QVERIFY(document.plottedBlocks().isEmpty());
        } else if (mode == LogDocument::LoadMode::KeepOnFailure) {
            QCOMPARE(failed.size(), 0);
            QCOMPARE(document.path(), earlier);
            QCOMPARE(document.table().rowCount(), 6);
            QVERIFY(document.trendFromOpenLog());
            QCOMPARE(document.plottedBlocks().size(), 1);
        } else {
            QCOMPARE(failed.size(), 1);
            QCOMPARE(failed.at(0).at(0).toInt(), error);
            QVERIFY(!document.isOpen());
            QCOMPARE(document.table().rowCount(), 0);
        }
    }

    // A followed log: appended rows join the table and the trend of that log,
    // whatever else the file does is told, and another log ends the follow.
    void followTellsWhatBecameOfTheLog_data()
    {
        QTest::addColumn<Move>("move");
        QTest::addColumn<int>("rows");       // the table's afterwards
        QTest::addColumn<int>("trendRows");  // the trend's afterwards
        QTest::addColumn<int>("replacement"); // -1: none told
        QTest::newRow("appends three rows") << Move::Appends << 13 << 13 << -1;
        QTest::newRow("empties it") << Move::Empties << 10 << 10 << int(LogDocument::Replacement::Emptied);
        QTest::newRow("writes it anew, shorter") << Move::Shrinks << 10 << 10
                                                 << int(LogDocument::Replacement::Rewritten);
        QTest::newRow("another log opened, then rows appended") << Move::AnotherLogOpened << 5 << 10 << -1;
    }

    void followTellsWhatBecameOfTheLog()
    {
        QFETCH(Move, move);
        LogDocument document;
        const QString path = write(minutes(10, 2));
        document.load(path);
        document.plot({{2, -1, 3, -1}});
        const std::shared_ptr<TrendData> trend = document.trend();
        document.setSpans({9.0, 1, 1});
        document.setFollowing(true);
        QVERIFY(document.isFollowing());
        QSignalSpy appended(&document, &LogDocument::rowsAppended);
        QSignalSpy grew(&document, &LogDocument::trendGrew);
        QSignalSpy replaced(&document, &LogDocument::replaced);

        if (move == Move::AnotherLogOpened) {
            document.load(write(minutes(5, 2), u"other.csv"_s));
            QVERIFY(!document.isFollowing());
        }
        if (move == Move::Appends || move == Move::AnotherLogOpened) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append));
            file.write(minutes(13, 2).mid(minutes(10, 2).size()));
        } else {
            write(move == Move::Empties ? QByteArray() : minutes(4, 2));
        }
        document.follow();

        QTEST(document.table().rowCount(), "rows");
        QTEST(int(trend->rowCount()), "trendRows");
        QCOMPARE(document.trend(), trend);
        const bool grown = move == Move::Appends;
        QCOMPARE(appended.size(), grown ? 1 : 0);
        QCOMPARE(grew.size(), grown ? 1 : 0);
        if (grown) {
            QCOMPARE(appended.at(0), (QList<QVariant>{10, 0}));
            QCOMPARE(document.spans().x, 9.0 + 3.0 / 1440);
            QCOMPARE(trend->value(1, trend->rowCount() - 1), 131.0);
        }
        QFETCH(int, replacement);
        QCOMPARE(replaced.size(), replacement < 0 ? 0 : 1);
        if (replacement >= 0)
            QCOMPARE(int(replaced.at(0).at(0).value<LogDocument::Replacement>()), replacement);
    }

    // A plot run of the document: busy while it reads, the trend it made kept
    // and told, its cells read as logged while its log is open.
    void aTrendReadsItsCellsWhileItsLogIsOpen()
    {
        LogDocument document;
        const QString path = write(minutes(6, 2));
        document.load(path);
        QSignalSpy replaced(&document, &LogDocument::trendReplaced);
        bool busyWhileReading = false;
        const trendreader::Result result = document.plot({{3, 2, 3, 5}}, [&](int) {
            busyWhileReading = document.isPlotting();
            return true;
        });
        QCOMPARE(result.end, trendreader::End::Complete);
        QVERIFY(busyWhileReading);
        QVERIFY(!document.isPlotting());
        QCOMPARE(replaced.size(), 1);
        const std::shared_ptr<TrendData> trend = document.trend();
        QCOMPARE(trend->sourcePath(), path);
        QCOMPARE(document.plottedBlocks(), (QList<GridBlock>{{3, 2, 3, 5}}));
        QCOMPARE(trend->loggedText(3, 4), std::optional<QString>(u"41"_s));
        QCOMPARE(trend->loggedText(0, 2), std::optional<QString>(u"1/31/2024"_s));

        // Read again shorter: the block keeps the rows the log still has.
        write(minutes(4, 2).replace(",41\r\n", ",41.0\r\n"));
        document.reload();
        QCOMPARE(trend->loggedText(3, 4), std::optional<QString>(u"41.0"_s));
        QCOMPARE(document.plottedBlocks(), (QList<GridBlock>{{3, 2, 3, 4}}));
        document.load(write(minutes(6, 2), u"other.csv"_s));
        QCOMPARE(trend->loggedText(3, 4), std::nullopt);
        QVERIFY(document.plottedBlocks().isEmpty());
    }

    // A large gain arrives a piece a pass of the event loop, and a touch of the
    // file while the next look waits takes nothing more. With a trend, room for
    // the whole gain is made first, in a look of its own.
    void aLargeGainArrivesAPieceAPass_data()
    {
        QTest::addColumn<bool>("plotted");
        QTest::addColumn<QList<int>>("piecesPerPass");
        QTest::newRow("no trend") << false << QList<int>{1, 1, 1};
        QTest::newRow("a trend of both columns") << true << QList<int>{0, 1, 1, 1};
    }

    void aLargeGainArrivesAPieceAPass()
    {
        QFETCH(bool, plotted);
        LogDocument document;
        const QString path = write(minutes(10, 2));
        document.load(path);
        if (plotted)
            document.plot({{2, -1, 3, -1}});
        document.setFollowing(true);
        // Two pieces and a bit.
        const QByteArray line = minutes(11, 2).mid(minutes(10, 2).size());
        const int lines = int((2 * LogFollower::PieceBytes + 1000) / line.size());
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append) && file.write(line.repeated(lines)) == line.size() * lines);
        }
        QSignalSpy appended(&document, &LogDocument::rowsAppended);
        document.follow();
        document.follow(); // the file touched again
        QList<int> piecesPerPass{int(appended.size())};
        while (document.table().rowCount() < 10 + lines && piecesPerPass.size() < 10) {
            const qsizetype before = appended.size();
            QCoreApplication::processEvents();
            piecesPerPass.append(int(appended.size() - before));
        }
        QTEST(piecesPerPass, "piecesPerPass");
        QCOMPARE(document.table().rowCount(), 10 + lines);
        if (plotted)
            QCOMPARE(document.trend()->rowCount(), 10 + lines);
    }
};

VIEWER_TEST(LogDocumentTest)
#include "tst_logdocument.moc"
