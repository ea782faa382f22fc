#include "support/testregistry.h"

#include "core/runtimeerror.h"
#include "core/logvalueparser.h"

#include <QDate>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
double days(int y, int m, int d)
{
    return double(QDate(1899, 12, 30).daysTo(QDate(y, m, d)));
}
} // namespace

class LogValueParserTest : public QObject
{
    Q_OBJECT

private slots:
    void dates_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("logger M/D/YYYY") << u"en_US"_s << u"1/31/2024"_s << days(2024, 1, 31);
        QTest::newRow("two-digit year 20xx") << u"en_US"_s << u"12/7/26"_s << days(2026, 12, 7);
        QTest::newRow("two-digit year 19xx") << u"en_US"_s << u"12/7/95"_s << days(1995, 12, 7);
        // The century turns between 29 and 30.
        QTest::newRow("two-digit year 29") << u"en_US"_s << u"1/1/29"_s << days(2029, 1, 1);
        QTest::newRow("two-digit year 30") << u"en_US"_s << u"1/1/30"_s << days(1930, 1, 1);
        QTest::newRow("ISO") << u"en_US"_s << u"2024-02-29"_s << days(2024, 2, 29);
        QTest::newRow("ISO under a day-first locale") << u"de_DE"_s << u"2024-02-01"_s << days(2024, 2, 1);
        QTest::newRow("no regional settings: month first") << u"C"_s << u"1/7/2024"_s << days(2024, 1, 7);
        QTest::newRow("day first where the locale says so") << u"en_GB"_s << u"1/2/2024"_s << days(2024, 2, 1);
        QTest::newRow("D.M.YYYY") << u"de_DE"_s << u"31.01.2024"_s << days(2024, 1, 31);
        QTest::newRow("month above 12 is the day") << u"en_US"_s << u"31/01/2024"_s << days(2024, 1, 31);
        QTest::newRow("long form") << u"en_US"_s << u"Wednesday, January 31, 2024"_s << days(2024, 1, 31);
        QTest::newRow("short month name") << u"en_GB"_s << u"7 Dec 2026"_s << days(2026, 12, 7);
        QTest::newRow("local long form") << u"de_DE"_s << u"Mittwoch, 31. Januar 2024"_s << days(2024, 1, 31);
        QTest::newRow("epoch") << u"en_US"_s << u"12/30/1899"_s << 0.0;
        QTest::newRow("before the epoch") << u"en_US"_s << u"1/1/1800"_s << days(1800, 1, 1);
        QTest::newRow("far future") << u"en_US"_s << u"12/31/9999"_s << days(9999, 12, 31);
        QTest::newRow("blanks around") << u"en_US"_s << u"  2/3/2024 "_s << days(2024, 2, 3);
    }

    void dates()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(LogValueParser(QLocale(locale)).date(text), value);
    }

    // A date shows the order of its column only where one number cannot be a
    // month; once the column's order is set, no single date is read the other way.
    void datesInTheColumnsOrder_data()
    {
        using O = LogValueParser::DateOrder;
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<O>("shown");
        QTest::addColumn<O>("set");
        QTest::addColumn<double>("value"); // NaN: not a date in that order
        const double no = std::nan("");
        QTest::newRow("day above 12, dotted") << u"C"_s << u"13.01.2010"_s << O::DayFirst << O::DayFirst << days(2010, 1, 13);
        QTest::newRow("open date read day first") << u"C"_s << u"02.01.2010"_s << O::Open << O::DayFirst << days(2010, 1, 2);
        QTest::newRow("open date read month first") << u"C"_s << u"02/01/2010"_s << O::Open << O::MonthFirst << days(2010, 2, 1);
        QTest::newRow("second above 12 shows month first") << u"en_GB"_s << u"1/31/2024"_s << O::MonthFirst << O::MonthFirst << days(2024, 1, 31);
        QTest::newRow("day-first column, month-first locale") << u"en_US"_s << u"13/12/2024"_s << O::DayFirst << O::DayFirst << days(2024, 12, 13);
        QTest::newRow("no swap against the set order") << u"en_US"_s << u"13/12/2024"_s << O::DayFirst << O::MonthFirst << no;
        QTest::newRow("year first asks nothing") << u"C"_s << u"2010-01-13"_s << O::NotAsked << O::DayFirst << days(2010, 1, 13);
        QTest::newRow("month name asks nothing") << u"en_US"_s << u"Jan 13 2010"_s << O::NotAsked << O::DayFirst << days(2010, 1, 13);
        QTest::newRow("not a date asks nothing") << u"C"_s << u"13/13/2010"_s << O::NotAsked << O::DayFirst << no;
    }

    void datesInTheColumnsOrder()
    {
        using O = LogValueParser::DateOrder;
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(O, shown);
        QFETCH(O, set);
        QFETCH(double, value);
        LogValueParser parser{QLocale(locale)};
        QCOMPARE(parser.orderShownBy(text), shown);
        parser.setDateOrder(set);
        try {
            QCOMPARE(parser.date(text), value);
        } catch (const RuntimeError &e) {
            QVERIFY2(std::isnan(value), "not read");
            QCOMPARE(e.number(), 13);
        }
    }

    void times_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("seconds");
        QTest::newRow("h:mm") << u"en_US"_s << u"7:05"_s << 7 * 3600.0 + 300;
        QTest::newRow("h:mm:ss") << u"en_US"_s << u"23:59:59"_s << 86399.0;
        QTest::newRow("milliseconds") << u"en_US"_s << u"0:00:01.250"_s << 1.25;
        QTest::newRow("locale decimal comma") << u"de_DE"_s << u"10:00:01,5"_s << 36001.5;
        QTest::newRow("pm") << u"en_US"_s << u"1:30:00 PM"_s << 13 * 3600.0 + 1800;
        QTest::newRow("midnight 12 AM") << u"en_US"_s << u"12:00:00 AM"_s << 0.0;
        QTest::newRow("noon 12 PM") << u"en_US"_s << u"12:00:00 PM"_s << 12 * 3600.0;
        QTest::newRow("lower-case a.m.") << u"en_US"_s << u"11:15 a.m."_s << 11 * 3600.0 + 900;
        QTest::newRow("suffix without blank") << u"en_US"_s << u"11:15pm"_s << 23 * 3600.0 + 900;
        QTest::newRow("hour with suffix only") << u"en_US"_s << u"5 PM"_s << 17 * 3600.0;
        QTest::newRow("midnight") << u"en_US"_s << u"0:00:00"_s << 0.0;
    }

    void times()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(double, seconds);
        const LogValueParser parser{QLocale(locale)};
        // The grid's text, and the cell's bytes that the plot run reads.
        const QByteArray bytes = text.toLatin1();
        QCOMPARE(parser.time(text), seconds / 86400.0);
        QCOMPARE(parser.time(QByteArrayView(bytes)), seconds / 86400.0);
    }

    void numbers_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << u"en_US"_s << u"12.75"_s << 12.75;
        QTest::newRow("negative") << u"en_US"_s << u"-0.5"_s << -0.5;
        QTest::newRow("negative zero") << u"en_US"_s << u"-0"_s << -0.0;
        QTest::newRow("exponent") << u"en_US"_s << u"1e308"_s << 1e308;
        QTest::newRow("leading plus") << u"en_US"_s << u"+3"_s << 3.0;
        QTest::newRow("blanks") << u"en_US"_s << u" 42 "_s << 42.0;
        QTest::newRow("the logger's dot under a decimal-comma locale") << u"de_DE"_s << u"1.5"_s << 1.5;
        QTest::newRow("the locale's decimal comma") << u"de_DE"_s << u"1,5"_s << 1.5;
        QTest::newRow("zero written into an empty cell") << u"en_US"_s << u"0"_s << 0.0;
        // Rounded once, as the compiler rounds the literal.
        QTest::newRow("a tenth") << u"en_US"_s << u"0.3"_s << 0.3;
        QTest::newRow("fifteen digits") << u"en_US"_s << u"-123456789.012345"_s << -123456789.012345;
        QTest::newRow("seventeen digits") << u"en_US"_s << u"1234567890.1234567"_s << 1234567890.1234567;
        QTest::newRow("no whole part") << u"en_US"_s << u".5"_s << 0.5;
        QTest::newRow("no decimals") << u"en_US"_s << u"5."_s << 5.0;
    }

    void numbers()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(double, value);
        const LogValueParser parser{QLocale(locale)};
        // The plot run reads the cell's bytes; the grid's text goes the other way.
        const QByteArray bytes = text.toLatin1();
        for (const double parsed : {parser.number(text), parser.number(QByteArrayView(bytes))}) {
            // Exactly: QCOMPARE would let a last-bit rounding slip through.
            QVERIFY2(parsed == value, qPrintable(QString::number(parsed, 'g', 17)));
            QCOMPARE(std::signbit(parsed), std::signbit(value));
        }
    }

    // A log written with decimal commas: the comma is the mark, and the cell's bytes
    // read as its text does. NaN: refused.
    void numbersWithDecimalCommas_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        const double refused = std::nan("");
        QTest::newRow("a decimal comma") << u"12,75"_s << 12.75;
        QTest::newRow("negative, rounded once") << u"-0,3"_s << -0.3;
        QTest::newRow("an exponent") << u"1,5e3"_s << 1500.0;
        QTest::newRow("a point still reads") << u"12.5"_s << 12.5;
        QTest::newRow("a point and a comma") << u"1.234,5"_s << refused;
        QTest::newRow("two commas") << u"1,2,3"_s << refused;
        QTest::newRow("a comma alone") << u","_s << refused;
    }

    void numbersWithDecimalCommas()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        LogValueParser parser(QLocale(QLocale::English, QLocale::UnitedStates));
        parser.setDecimalComma(true);
        const QByteArray bytes = text.toLatin1();
        for (const bool fromBytes : {true, false}) {
            double parsed = std::nan("");
            try {
                parsed = fromBytes ? parser.number(QByteArrayView(bytes)) : parser.number(text);
            } catch (const RuntimeError &e) {
                QCOMPARE(e.number(), 13);
            }
            QVERIFY2(parsed == value || (std::isnan(parsed) && std::isnan(value)),
                     qPrintable(QString::number(parsed, 'g', 17)));
        }
    }

    void textsThatAreNotValues_data()
    {
        QTest::addColumn<int>("kind"); // 0 date, 1 time, 2 number
        QTest::addColumn<QString>("text");
        for (const char *t : {"", "abc", "2/30/2024", "13/13/2024", "1/2", "1/2/3/4", "12:00:00", "1/1/99999",
                              "Foo 3, 2024", "1/1/0050", "1/1/2024 extra"})
            QTest::newRow(qPrintable(u"date "_s + QString::fromLatin1(t))) << 0 << QString::fromLatin1(t);
        for (const char *t : {"", "abc", "24:00:00", "23:60:00", "12:00:60", "13:00 PM", "0:00 AM", "7", "7:",
                              "1:2:3:4", "1:02:03:", "12:00:00 XM", "1/31/2024", "10:00:00.", "123:00"})
            QTest::newRow(qPrintable(u"time "_s + QString::fromLatin1(t))) << 1 << QString::fromLatin1(t);
        for (const char *t : {"", "abc", "NaN", "nan", "inf", "-infinity", "1e309", "0x10", "12a", "1.2.3"})
            QTest::newRow(qPrintable(u"number "_s + QString::fromLatin1(t))) << 2 << QString::fromLatin1(t);
    }

    void textsThatAreNotValues()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        const LogValueParser parser(QLocale(QLocale::English, QLocale::UnitedStates));
        const QByteArray bytes = text.toLatin1();
        // Times and numbers are also read from a cell's own bytes.
        for (const bool fromBytes : {false, true}) {
            if (fromBytes && kind == 0)
                continue;
            try {
                if (kind == 0)
                    parser.date(text);
                else if (kind == 1)
                    fromBytes ? parser.time(QByteArrayView(bytes)) : parser.time(text);
                else
                    fromBytes ? parser.number(QByteArrayView(bytes)) : parser.number(text);
                QFAIL(fromBytes ? "accepted from bytes" : "accepted");
            } catch (const RuntimeError &e) {
                QCOMPARE(e.number(), 13);
            }
        }
    }
};

VIEWER_TEST(LogValueParserTest)
#include "tst_logvalueparser.moc"
