#include "support/testregistry.h"

#include "core/logshape.h"
#include "core/logtable.h"
#include "core/oledate.h"
#include "support/errorof.h"

#include <QDateTime>
#include <QTest>

using namespace Qt::StringLiterals;
using logshape::ColumnKind;
using logshape::Shape;
using logshape::TimeForm;
using Order = LogValueParser::DateOrder;

Q_DECLARE_METATYPE(logshape::TimeForm)
Q_DECLARE_METATYPE(LogValueParser::DateOrder)
Q_DECLARE_METATYPE(logshape::Shape)

namespace {

// One letter per column: T time, V value, X text.
QString kindsOf(const Shape &shape)
{
    QString kinds;
    for (ColumnKind kind : shape.columns)
        kinds += kind == ColumnKind::Time ? u'T' : kind == ColumnKind::Text ? u'X' : u'V';
    return kinds;
}

Shape shapeOf(char separator, char decimal, int heading, TimeForm time, int column, int second, Order order)
{
    Shape shape;
    shape.separator = separator;
    shape.decimal = decimal;
    shape.headingLine = heading;
    shape.time = time;
    shape.timeColumn = column;
    shape.secondTimeColumn = second;
    shape.dateOrder = order;
    return shape;
}

} // namespace

class LogShapeTest : public QObject
{
    Q_OBJECT

private slots:
    // Each row a small file. `extras`: the metadata lines, each followed by '|', then the
    // columns' units as field:unit.
    void detectsTheShape_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<QString>("expected"); // separator, decimal, heading line, units line
        QTest::addColumn<QString>("kinds");
        QTest::addColumn<TimeForm>("time");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("second");
        QTest::addColumn<Order>("order");
        QTest::addColumn<QString>("extras");
        const QByteArray none;
        QTest::newRow("logger's form") << "Date,Time,A,B\r\n1/13/2024,1:00:00 AM,0.5,1\r\n1/13/2024,1:00:01 AM,1.5,\r\n"_ba << none
                                       << u", . 0 -"_s << u"TTVV"_s << TimeForm::DateAndTime << 0 << 1 << Order::MonthFirst << u"|"_s;
        // The values' commas add a field to every row, never to the heading.
        QTest::newRow("logger's form, a value with a comma") << "Date,Time,A\r\n1/2/2024,1:00:00 AM,1,5\r\n1/2/2024,1:00:01 AM,2,5\r\n"_ba << none
                                                             << u", . 0 -"_s << u"TTV"_s << TimeForm::DateAndTime << 0 << 1 << Order::NotAsked << u"|"_s;
        // The fields past those a table holds are not looked at.
        QByteArray wide = "Date,Time";
        QByteArray wideRow = "1/13/2024,1:00:00 AM";
        for (int f = 2; f < 20000; ++f) {
            wide += ",V" + QByteArray::number(f);
            wideRow += ",0.5";
        }
        QTest::newRow("logger's form, wider than a table holds")
            << wide + "\r\n" + wideRow + "\r\n" + wideRow + "\r\n" << none << u", . 0 -"_s
            << u"TT"_s + QString(LogTable::MaxColumns - 1, u'V') << TimeForm::DateAndTime << 0 << 1 << Order::MonthFirst
            << u"|"_s;
        QTest::newRow("daily ISO dates, no time column") << "date,value\n2012-01-01,ERR\n2012-01-02,ERR\n2012-01-03,4\n"_ba << none
                                                         << u", . 0 -"_s << u"TV"_s << TimeForm::DateOnly << 0 << -1 << Order::NotAsked << u"|"_s;
        QTest::newRow("place name before the date") << "station,date,tmax\nBerlin,2012-01-01,3.5\nBerlin,2012-01-02,4.1\nN/A,2012-01-03,4\n"_ba << none
                                                     << u", . 0 -"_s << u"XTV"_s << TimeForm::DateOnly << 1 << -1 << Order::NotAsked << u"|"_s;
        QTest::newRow("date and time in one column") << "Datetime,PM2.5\n2015/01/01 01:00:00,12\n2015/01/01 02:00:00,13\n"_ba << none
                                                      << u", . 0 -"_s << u"TV"_s << TimeForm::DateTime << 0 << -1 << Order::NotAsked << u"|"_s;
        QTest::newRow("month names") << "Date,Price\nJan 1 2000,1394.46\nFeb 1 2000,1366.42\n"_ba << none
                                     << u", . 0 -"_s << u"TV"_s << TimeForm::DateOnly << 0 << -1 << Order::NotAsked << u"|"_s;
        QTest::newRow("monthly, many value columns") << "month,a,b,c,d,e,f,g,h\n2001-01,1,2,3,4,5,6,7,8\n2001-02,1,2,3,4,5,6,7,8\n"_ba << none
                                                      << u", . 0 -"_s << u"TVVVVVVVV"_s << TimeForm::DateOnly << 0 << -1 << Order::NotAsked << u"|"_s;
        QTest::newRow("semicolon, decimal comma") << "Datum;Zeit;Temperatur\n13.01.2015;13:00;12,5\n14.01.2015;14:00;13\n"_ba << none
                                                  << u"; , 0 -"_s << u"TTV"_s << TimeForm::DateAndTime << 0 << 1 << Order::DayFirst << u"|"_s;
        QTest::newRow("tab separated") << "Zeitstempel\tWert\n13.01.2015 01:00\t1,5\n14.01.2015 02:00\t2\n"_ba << none
                                       << u"\t , 0 -"_s << u"TV"_s << TimeForm::DateTime << 0 << -1 << Order::DayFirst << u"|"_s;
        QTest::newRow("two lines before the heading") << "Weather report, station 7\r\nSerial number: 12345\r\nDate,Time,Temp\r\n01/02/2015,13:00,5.5\r\n01/02/2015,14:00,5.7\r\n"_ba << none
                                                      << u", . 2 -"_s << u"TTV"_s << TimeForm::DateAndTime << 0 << 1 << Order::NotAsked
                                                      << u"Weather report, station 7|Serial number: 12345|"_s;
        QTest::newRow("units line") << "Time,Temperature,Flow,Pressure (hPa)\n,[°C],m3/h,\n2015-01-01 00:00,1.5,2,1013\n2015-01-01 01:00,1.6,2.1,1012\n"_ba << none
                                    << u", . 0 units"_s << u"TVVV"_s << TimeForm::DateTime << 0 << -1 << Order::NotAsked << u"|1:°C,2:m3/h,3:hPa"_s;
        QTest::newRow("unix seconds") << "epoch,value\n1420070400,1\n1420074000,2\n"_ba << none
                                      << u", . 0 -"_s << u"TV"_s << TimeForm::UnixSeconds << 0 << -1 << Order::NotAsked << u"|"_s;
        QTest::newRow("unix milliseconds") << "value,unixTime\n1,1420070400000\n2,1420074000000\n"_ba << none
                                           << u", . 0 -"_s << u"VT"_s << TimeForm::UnixMilliseconds << 1 << -1 << Order::NotAsked << u"|"_s;
        QTest::newRow("ISO with T, fraction and offset") << "sensor;when;level\nA;2015-01-01T01:00:00.250+01:00;3,5\nA;2015-01-01T01:00:01.250+01:00;3,6\n"_ba << none
                                                         << u"; , 0 -"_s << u"XTV"_s << TimeForm::DateTime << 1 << -1 << Order::NotAsked << u"|"_s;
        QTest::newRow("no time at all") << "a,b,c\n1,2,3\n4,5,6\n"_ba << none << u", . 0 -"_s << u"VVV"_s << TimeForm::None << -1 << -1
                                        << Order::NotAsked << u"|"_s;
        QTest::newRow("field counts tie: the larger wins") << "when;a;b\n2015-01-01 01:00;1;2\n2015-01-02 01:00;3\n2015-01-03 01:00;4\n"_ba
                                                           << none << u"; . 0 -"_s << u"TVV"_s << TimeForm::DateTime << 0 << -1
                                                           << Order::NotAsked << u"|"_s;
        QTest::newRow("a row of empty cells is no units line") << "Time,A,B\n,,\n2015-01-01 00:00,1,2\n2015-01-01 01:00,3,4\n"_ba
                                                               << none << u", . 0 -"_s << u"TVV"_s << TimeForm::DateTime << 0 << -1
                                                               << Order::NotAsked << u"|"_s;
        QTest::newRow("half text, half numbers and marks: values")
            << "when,v,w\n2015-01-01,1,x\n2015-01-02,low,y\n2015-01-03,ERR,1\n2015-01-04,high,z\n"_ba << none << u", . 0 -"_s
            << u"TVX"_s << TimeForm::DateOnly << 0 << -1 << Order::NotAsked << u"|"_s;
        // The head leaves the order open; the end of the file shows it. The tail's cut first
        // line is not read.
        QTest::newRow("date order shown in the tail") << "Date;Time;A\n01.01.2015;00:00;1\n02.01.2015;00:00;2\n"_ba
                                                      << "2/13/2015;00:00;3\n25.01.2015;00:00;4\n"_ba << u"; . 0 -"_s << u"TTV"_s
                                                      << TimeForm::DateAndTime << 0 << 1 << Order::DayFirst << u"|"_s;
    }

    void detectsTheShape()
    {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, tail);
        QFETCH(QString, expected);
        QFETCH(QString, kinds);
        QFETCH(TimeForm, time);
        QFETCH(int, column);
        QFETCH(int, second);
        QFETCH(Order, order);
        QFETCH(QString, extras);
        const Shape shape = logshape::detect(head, tail);
        const QString found = u"%1 %2 %3 %4"_s.arg(QChar::fromLatin1(shape.separator), QChar::fromLatin1(shape.decimal)).arg(shape.headingLine).arg(shape.unitsLine ? u"units"_s : u"-"_s);
        QCOMPARE(found, expected);
        QCOMPARE(kindsOf(shape), kinds);
        QCOMPARE(shape.time, time);
        QCOMPARE(shape.timeColumn, column);
        QCOMPARE(shape.secondTimeColumn, second);
        QCOMPARE(shape.dateOrder, order);
        QStringList units;
        for (qsizetype c = 0; c < shape.units.size(); ++c)
            if (!shape.units[c].isEmpty())
                units << u"%1:%2"_s.arg(c).arg(shape.units[c]);
        QCOMPARE(shape.metadata.join(u'|') + u'|' + units.join(u','), extras);
        QCOMPARE(shape.units.size(), shape.columns.size());
        QCOMPARE(shape.isLoggerForm(), QByteArray(QTest::currentDataTag()).startsWith("logger's form"));
    }

    // Times as written; Unix times in New York time, where the tests run.
    void readsTimes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<TimeForm>("form");
        QTest::addColumn<Order>("order");
        QTest::addColumn<QDateTime>("expected"); // invalid: must throw
        const auto at = [](int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
            return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
        };
        const QDateTime no;
        const TimeForm dt = TimeForm::DateTime;
        const TimeForm day = TimeForm::DateOnly;
        QTest::newRow("ISO with T") << u"2015-01-01T01:00"_s << dt << Order::NotAsked << at(2015, 1, 1, 1);
        QTest::newRow("ISO with a blank and a fraction") << u"2015-01-01 01:00:00.250"_s << dt << Order::NotAsked << at(2015, 1, 1, 1, 0, 0, 250);
        QTest::newRow("Z ignored") << u"2015-06-30T23:59:59Z"_s << dt << Order::NotAsked << at(2015, 6, 30, 23, 59, 59);
        QTest::newRow("+01:00 ignored") << u"2015-06-30T23:59:59.5+01:00"_s << dt << Order::NotAsked << at(2015, 6, 30, 23, 59, 59, 500);
        QTest::newRow("-0530 ignored") << u"2015-06-30 08:15-0530"_s << dt << Order::NotAsked << at(2015, 6, 30, 8, 15);
        QTest::newRow("yyyy/mm/dd hh:mm:ss") << u"2015/01/31 13:05:09"_s << dt << Order::NotAsked << at(2015, 1, 31, 13, 5, 9);
        QTest::newRow("numeric, day first") << u"01.02.2015 13:00"_s << dt << Order::DayFirst << at(2015, 2, 1, 13);
        QTest::newRow("numeric, month first") << u"01.02.2015 13:00"_s << dt << Order::MonthFirst << at(2015, 1, 2, 13);
        QTest::newRow("numeric, open, day above 12") << u"1/13/24 1:05:00 PM"_s << dt << Order::NotAsked << at(2024, 1, 13, 13, 5);
        QTest::newRow("half past midnight") << u"3/14/2024 12:30:00 AM"_s << dt << Order::MonthFirst << at(2024, 3, 14, 0, 30);
        QTest::newRow("half past noon") << u"3/14/2024 12:30:00 PM"_s << dt << Order::MonthFirst << at(2024, 3, 14, 12, 30);
        QTest::newRow("no day-first date against the order") << u"13.01.2015 13:00"_s << dt << Order::MonthFirst << no;
        QTest::newRow("month name first") << u"Jan 1 2000"_s << day << Order::NotAsked << at(2000, 1, 1);
        QTest::newRow("day before the month name") << u"1 Jan 2000"_s << day << Order::NotAsked << at(2000, 1, 1);
        QTest::newRow("long month name and a time") << u"January 1, 2000 13:30"_s << dt << Order::NotAsked << at(2000, 1, 1, 13, 30);
        QTest::newRow("yyyy-mm") << u"2001-02"_s << day << Order::NotAsked << at(2001, 2, 1);
        QTest::newRow("quoted") << u" \"2015-01-01\" "_s << day << Order::NotAsked << at(2015, 1, 1);
        QTest::newRow("unix seconds, winter") << u"1420070400"_s << TimeForm::UnixSeconds << Order::NotAsked << at(2014, 12, 31, 19);
        QTest::newRow("unix seconds, summer") << u"1435708800"_s << TimeForm::UnixSeconds << Order::NotAsked << at(2015, 6, 30, 20);
        QTest::newRow("unix seconds, last minute of winter time") << u"1425797940"_s << TimeForm::UnixSeconds << Order::NotAsked << at(2015, 3, 8, 1, 59);
        QTest::newRow("unix seconds, first of summer time") << u"1425798000"_s << TimeForm::UnixSeconds << Order::NotAsked << at(2015, 3, 8, 3);
        QTest::newRow("unix milliseconds") << u"1420070400250"_s << TimeForm::UnixMilliseconds << Order::NotAsked << at(2014, 12, 31, 19, 0, 0, 250);
        QTest::newRow("month 13") << u"2015-13-01"_s << day << Order::NotAsked << no;
        QTest::newRow("30 February") << u"2015-02-30 01:00"_s << dt << Order::NotAsked << no;
        QTest::newRow("hour 25") << u"2015-01-01T25:00"_s << dt << Order::NotAsked << no;
        QTest::newRow("a number") << u"12.5"_s << dt << Order::NotAsked << no;
        QTest::newRow("a mark") << u"ERR"_s << day << Order::NotAsked << no;
        QTest::newRow("a zone name") << u"2015-01-01 01:00 CET"_s << dt << Order::NotAsked << no;
        QTest::newRow("a date as unix time") << u"2015-01-01"_s << TimeForm::UnixSeconds << Order::NotAsked << no;
        QTest::newRow("no time form") << u"2015-01-01"_s << TimeForm::None << Order::NotAsked << no;
    }

    void readsTimes()
    {
        QFETCH(QString, text);
        QFETCH(TimeForm, form);
        QFETCH(Order, order);
        QFETCH(QDateTime, expected);
        const QByteArray bytes = text.toUtf8();
        for (const bool fromBytes : {true, false}) {
            const auto read = [&] { return fromBytes ? logshape::readTime(bytes, form, order) : logshape::readTime(text, form, order); };
            if (!expected.isValid()) {
                QCOMPARE(errorOf([&] { read(); }), 13);
                continue;
            }
            const double value = read();
            QCOMPARE(oledate::toDate(value), expected.date());
            QCOMPARE(oledate::toTime(value), expected.time());
        }
    }

    // The text kept in the settings file, both ways: a text once written must read the same.
    void keepsTheChoiceAsText_data()
    {
        QTest::addColumn<Shape>("shape");
        QTest::addColumn<QString>("text"); // empty: no shape reads back from `shape`'s text
        QTest::newRow("logger's form") << shapeOf(',', '.', 0, TimeForm::DateAndTime, 0, 1, Order::NotAsked)
                                       << u"separator=comma decimal=point heading=0 time=dateandtime:0:1 order=notasked"_s;
        QTest::newRow("semicolon, preamble, day first") << shapeOf(';', ',', 2, TimeForm::DateTime, 3, -1, Order::DayFirst)
                                                        << u"separator=semicolon decimal=comma heading=2 time=datetime:3 order=dayfirst"_s;
        QTest::newRow("tab, unix milliseconds") << shapeOf('\t', '.', 0, TimeForm::UnixMilliseconds, 12, -1, Order::MonthFirst)
                                                << u"separator=tab decimal=point heading=0 time=unixmilliseconds:12 order=monthfirst"_s;
        QTest::newRow("no time") << shapeOf(',', '.', 1, TimeForm::None, -1, -1, Order::NotAsked)
                                 << u"separator=comma decimal=point heading=1 time=none order=notasked"_s;
    }

    void keepsTheChoiceAsText()
    {
        QFETCH(Shape, shape);
        QFETCH(QString, text);
        QCOMPARE(shape.toText(), text);
        QCOMPARE(Shape::fromText(text), std::optional<Shape>(shape));
    }

    void brokenTextGivesNoShape_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("a key missing") << u"separator=comma decimal=point heading=0 time=none"_s;
        QTest::newRow("a key twice") << u"separator=comma decimal=point heading=0 time=none order=notasked order=dayfirst"_s;
        QTest::newRow("an unknown key") << u"separator=comma decimal=point heading=0 time=none order=notasked colour=red"_s;
        QTest::newRow("decimal comma with comma fields") << u"separator=comma decimal=comma heading=0 time=none order=notasked"_s;
        QTest::newRow("negative heading") << u"separator=comma decimal=point heading=-1 time=none order=notasked"_s;
        QTest::newRow("date and time in one column") << u"separator=comma decimal=point heading=0 time=dateandtime:1:1 order=notasked"_s;
        QTest::newRow("a time form without its column") << u"separator=comma decimal=point heading=0 time=datetime order=notasked"_s;
        QTest::newRow("no time with a column") << u"separator=comma decimal=point heading=0 time=none:2 order=notasked"_s;
        QTest::newRow("unknown order") << u"separator=comma decimal=point heading=0 time=none order=sideways"_s;
    }

    void brokenTextGivesNoShape()
    {
        QFETCH(QString, text);
        QVERIFY(!Shape::fromText(text));
    }

    // The command line's choices hold over what detection would find; what they leave open is
    // detected under them. A choice that does not fit the file says why.
    void optionsChooseTheShape_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("options"); // separator decimal order time-column [time-unit], '_' for none
        QTest::addColumn<QString>("expected"); // the shape's text and its column kinds, else why not
        const QByteArray unixLog = "elapsed,value\n1700000000,1\n1700000060,2\n1700000120,3\n";
        const QByteArray twoStamps = "start,1,value\n2024-01-01 10:00,2024-01-01 11:00,1\n2024-01-02 10:00,2024-01-02 11:00,2\n";
        QTest::newRow("unix time under any heading") << unixLog << u"_ _ _ elapsed"_s
                                                     << u"separator=comma decimal=point heading=0 time=unixseconds:0 order=notasked TV"_s;
        QTest::newRow("a field number: numbers as elapsed time") << twoStamps << u"_ _ _ 3"_s
                                                                 << u"separator=comma decimal=point heading=0 time=elapseds:2 order=notasked XXT"_s;
        QTest::newRow("a column of words") << QByteArray("place,when\nOslo,2024-01-01\nBergen,2024-01-02\n") << u"_ _ _ place"_s
                                           << u"--time-column \"place\": column \"place\" holds no dates or times"_s;
        QTest::newRow("a heading that is a number wins") << twoStamps << u"_ _ _ 1"_s
                                                         << u"separator=comma decimal=point heading=0 time=datetime:1 order=notasked XTV"_s;
        QTest::newRow("a date and a time of day") << QByteArray("id,day,clock,v\n1,2024-01-31,13:00:00,5\n2,2024-01-31,13:01:00,6\n")
                                                  << u"_ _ _ day"_s
                                                  << u"separator=comma decimal=point heading=0 time=dateandtime:1:2 order=notasked VTTV"_s;
        QTest::newRow("the separator holds") << QByteArray("date,value\n2024-01-01,1\n2024-01-02,2\n") << u"; _ _ _"_s
                                             << u"separator=semicolon decimal=point heading=0 time=none order=notasked V"_s;
        QTest::newRow("the decimal mark holds") << QByteArray("t;v\n2024-01-01;1\n2024-01-02;2\n") << u"_ , _ _"_s
                                                << u"separator=semicolon decimal=comma heading=0 time=dateonly:0 order=notasked TV"_s;
        QTest::newRow("day first") << QByteArray("d,v\n01/02/2024,1\n03/04/2024,2\n") << u"_ _ dayfirst _"_s
                                   << u"separator=comma decimal=point heading=0 time=dateonly:0 order=dayfirst TV"_s;
        QTest::newRow("decimal comma between commas") << unixLog << u"_ , _ _"_s
                                                      << u"--decimal , needs a log whose fields are not separated by commas: give --separator ; or tab"_s;
        QTest::newRow("no such heading") << unixLog << u"_ _ _ when"_s
                                         << u"--time-column \"when\": the log has no column named so"_s;
        QTest::newRow("no such field") << unixLog << u"_ _ _ 3"_s
                                       << u"--time-column \"3\": the log has no column named so and no field 3: its fields are 1 to 2"_s;
        QTest::newRow("numbers in the unit chosen") << unixLog << u"_ _ _ _ elapsed-min"_s
                                                    << u"separator=comma decimal=point heading=0 time=elapsedmin:0 order=notasked TV"_s;
        QTest::newRow("years chosen for a named column") << QByteArray("t,v\n1990,1\n1995,2\n") << u"_ _ _ t years"_s
                                                         << u"separator=comma decimal=point heading=0 time=years:0 order=notasked TV"_s;
        QTest::newRow("a unit for a column of dates") << twoStamps << u"_ _ _ _ years"_s
                                                      << u"--time-unit years: column \"start\" holds no numbers"_s;
        QTest::newRow("a unit with no time column") << QByteArray("a,b\n1,2\n3,4\n") << u"_ _ _ _ unix-s"_s
                                                    << u"--time-unit unix-s: the log has no time column: name one with --time-column"_s;
    }

    void optionsChooseTheShape()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, options);
        QFETCH(QString, expected);
        const QStringList given = options.split(u' ');
        const auto option = [&given](int i) { return given.value(i, u"_"_s) == u"_"_s ? QString() : given[i]; };
        logshape::Options chosen;
        chosen.separator = option(0).isEmpty() ? 0 : option(0).front().toLatin1();
        chosen.decimal = option(1).isEmpty() ? 0 : option(1).front().toLatin1();
        chosen.dateOrder = option(2) == u"dayfirst"_s ? Order::DayFirst : Order::NotAsked;
        chosen.timeColumn = option(3);
        chosen.timeUnit = option(4).isEmpty() ? TimeForm::None : *logshape::timeUnitOf(option(4));
        QString why;
        const std::optional<Shape> shape = logshape::choose(file, file, chosen, &why);
        QCOMPARE(shape ? shape->toText() + u' ' + kindsOf(*shape) : why, expected);
    }

    // A choice kept for a file that another file has since replaced names columns it lacks:
    // the time is found as without a choice, the rest of the choice holds.
    void choiceOfColumnsTheFileLacksIsDetectedAgain_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one column past the last") << u"separator=comma decimal=point heading=0 time=datetime:4 order=dayfirst"_s
                                                  << u"separator=comma decimal=point heading=0 time=dateonly:1 order=dayfirst"_s;
        QTest::newRow("the time of day past the last") << u"separator=comma decimal=point heading=0 time=dateandtime:1:3 order=notasked"_s
                                                       << u"separator=comma decimal=point heading=0 time=dateonly:1 order=notasked"_s;
        QTest::newRow("columns it has") << u"separator=comma decimal=point heading=0 time=unixseconds:0 order=notasked"_s
                                        << u"separator=comma decimal=point heading=0 time=unixseconds:0 order=notasked"_s;
    }

    void choiceOfColumnsTheFileLacksIsDetectedAgain()
    {
        QFETCH(QString, choice);
        QFETCH(QString, expected);
        const QByteArray file = "n,when,v\n1,2024-01-05,1\n2,2024-01-06,2\n";
        QCOMPARE(logshape::detect(file, file, *Shape::fromText(choice)).toText(), expected);
    }
};

VIEWER_TEST(LogShapeTest)
#include "tst_logshape.moc"
