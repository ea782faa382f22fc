#include "support/testregistry.h"

#include "core/datetimeformat.h"
#include "core/logvalueparser.h"
#include "core/oledate.h"

#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;
using datetimeformat::TimeStep;
using Unit = TimeStep::Unit;

Q_DECLARE_METATYPE(TimeStep)

namespace {
const QLocale English(QLocale::English, QLocale::UnitedStates);

QString render(double value, const QString &pattern)
{
    return datetimeformat::format(value, pattern, English);
}

// Tuesday 5 March 2024, 07:08:09.045.
double morning() { return oledate::fromFields(2024, 3, 5, 7, 8, 9, 45); }
// Wednesday 25 December 2024, 15:04:05.600.
double afternoon() { return oledate::fromFields(2024, 12, 25, 15, 4, 5, 600); }
} // namespace

class DateTimeFormatTest : public QObject
{
    Q_OBJECT

private slots:
    void everyToken_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::newRow("m") << u"m"_s << u"3"_s;
        QTest::newRow("mm") << u"mm"_s << u"03"_s;
        QTest::newRow("mmm") << u"mmm"_s << u"Mar"_s;
        QTest::newRow("mmmm") << u"mmmm"_s << u"March"_s;
        QTest::newRow("d") << u"d"_s << u"5"_s;
        QTest::newRow("dd") << u"dd"_s << u"05"_s;
        QTest::newRow("ddd") << u"ddd"_s << u"Tue"_s;
        QTest::newRow("dddd") << u"dddd"_s << u"Tuesday"_s;
        QTest::newRow("yy") << u"yy"_s << u"24"_s;
        QTest::newRow("yyy") << u"yyy"_s << u"2024"_s;
        QTest::newRow("yyyy") << u"yyyy"_s << u"2024"_s;
        QTest::newRow("h") << u"h"_s << u"7"_s;
        QTest::newRow("hh") << u"hh"_s << u"07"_s;
        QTest::newRow("n") << u"n"_s << u"8"_s;
        QTest::newRow("nn") << u"nn"_s << u"08"_s;
        QTest::newRow("s") << u"s"_s << u"9"_s;
        QTest::newRow("ss") << u"ss"_s << u"09"_s;
        QTest::newRow("z") << u"z"_s << u"45"_s;
        QTest::newRow("zzz") << u"zzz"_s << u"045"_s;
        QTest::newRow("am/pm") << u"h am/pm"_s << u"7 am"_s;
        QTest::newRow("AM/PM keeps its case") << u"h AM/PM"_s << u"7 AM"_s;
        QTest::newRow("a/p") << u"h:nn a/p"_s << u"7:08 a"_s;
        QTest::newRow("A/P") << u"hh:nn A/P"_s << u"07:08 A"_s;
        QTest::newRow("slash and colon") << u"m/d h:n:s"_s << u"3/5 7:8:9"_s;
        QTest::newRow("other characters") << u"d.m.yyyy, h-nn"_s << u"5.3.2024, 7-08"_s;
        QTest::newRow("double-quoted literal") << u"\"month\" m"_s << u"month 3"_s;
        QTest::newRow("single-quoted literal") << u"'at' hh:nn"_s << u"at 07:08"_s;
        QTest::newRow("unclosed quote runs to the end") << u"h 'hh:nn"_s << u"7 hh:nn"_s;
        QTest::newRow("letters in capitals") << u"M/D/YYYY HH:NN"_s << u"3/5/2024 07:08"_s;
        QTest::newRow("m after h is still the month") << u"h:m"_s << u"7:3"_s;
        QTest::newRow("longest token first") << u"mmmmm"_s << u"March3"_s;
        QTest::newRow("a lone y is itself") << u"y"_s << u"y"_s;
        QTest::newRow("empty") << QString() << QString();
    }

    void everyToken()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QCOMPARE(render(morning(), pattern), text);
    }

    void theListFormatsAndTheDesignFormat_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::newRow("hh:nn:ss") << u"hh:nn:ss"_s << u"15:04:05"_s;
        QTest::newRow("hh:nn:ss.zzz") << u"hh:nn:ss.zzz"_s << u"15:04:05.600"_s;
        QTest::newRow("m/d hh:nn:ss") << u"m/d hh:nn:ss"_s << u"12/25 15:04:05"_s;
        QTest::newRow("d mmm h:nn:ss am/pm") << u"d mmm h:nn:ss am/pm"_s << u"25 Dec 3:04:05 pm"_s;
        QTest::newRow("m/d/yy h:nn:ss am/pm") << u"m/d/yy h:nn:ss am/pm"_s << u"12/25/24 3:04:05 pm"_s;
        QTest::newRow("m/d/yyy h:nn:ss am/pm") << u"m/d/yyy h:nn:ss am/pm"_s << u"12/25/2024 3:04:05 pm"_s;
        QTest::newRow("typed by the user") << u"yyyy-mm-dd hh:nn (dddd)"_s << u"2024-12-25 15:04 (Wednesday)"_s;
    }

    void theListFormatsAndTheDesignFormat()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QCOMPARE(render(afternoon(), pattern), text);
    }

    // A logged date and time, read as the plot run reads them (day plus time of
    // day), is labelled with the text it was read from, in any century.
    void loggedTimesFormatBack_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("2024 afternoon") << u"12/25/2024"_s << u"3:04:05 PM"_s;
        QTest::newRow("1850 morning") << u"6/15/1850"_s << u"6:30:00 AM"_s;
        QTest::newRow("1850 evening") << u"6/15/1850"_s << u"11:59:59 PM"_s;
        QTest::newRow("the day before the epoch") << u"12/29/1899"_s << u"6:00:00 PM"_s;
        QTest::newRow("a new year before the epoch") << u"1/1/1800"_s << u"12:00:01 AM"_s;
    }

    void loggedTimesFormatBack()
    {
        QFETCH(QString, date);
        QFETCH(QString, time);
        const LogValueParser parser(English);
        const double x = parser.date(date) + parser.time(time);
        QCOMPARE(render(x, u"m/d/yyyy h:nn:ss AM/PM"_s), date + u' ' + time);
    }

    void twelveHourClock_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("text");
        QTest::newRow("midnight") << QTime(0, 0) << u"12:00:00 am"_s;
        QTest::newRow("after midnight") << QTime(0, 30, 15) << u"12:30:15 am"_s;
        QTest::newRow("morning") << QTime(9, 5, 0) << u"9:05:00 am"_s;
        QTest::newRow("before noon") << QTime(11, 59, 59) << u"11:59:59 am"_s;
        QTest::newRow("noon") << QTime(12, 0) << u"12:00:00 pm"_s;
        QTest::newRow("afternoon") << QTime(13, 1, 2) << u"1:01:02 pm"_s;
        QTest::newRow("before midnight") << QTime(23, 59, 59) << u"11:59:59 pm"_s;
    }

    void twelveHourClock()
    {
        QFETCH(QTime, time);
        QFETCH(QString, text);
        QCOMPARE(render(oledate::fromDateTime(QDate(2024, 7, 1), time), u"h:nn:ss am/pm"_s), text);
        // Without am/pm the same times keep the 24-hour clock.
        QCOMPARE(render(oledate::fromDateTime(QDate(2024, 7, 1), time), u"hh"_s),
                 QString::number(time.hour()).rightJustified(2, u'0'));
    }

    void namesComeFromTheLocale()
    {
        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(datetimeformat::format(afternoon(), u"dddd, d. mmmm yyyy"_s, german),
                 u"Mittwoch, 25. Dezember 2024"_s);
    }

    void stepForSpan_data()
    {
        QTest::addColumn<double>("spanDays");
        QTest::addColumn<int>("maxTicks");
        QTest::addColumn<TimeStep>("step");
        const double second = 1.0 / 86400;
        QTest::newRow("a second") << second << 4 << TimeStep{Unit::Millisecond, 500};
        QTest::newRow("ten seconds") << 10 * second << 6 << TimeStep{Unit::Second, 2};
        QTest::newRow("a minute") << 60 * second << 7 << TimeStep{Unit::Second, 10};
        QTest::newRow("two minutes") << 120 * second << 5 << TimeStep{Unit::Second, 30};
        QTest::newRow("an hour") << 1.0 / 24 << 7 << TimeStep{Unit::Minute, 10};
        QTest::newRow("ten minutes (design span)") << 0.0069 << 4 << TimeStep{Unit::Minute, 5};
        QTest::newRow("six hours") << 0.25 << 4 << TimeStep{Unit::Hour, 2};
        QTest::newRow("a day") << 1.0 << 6 << TimeStep{Unit::Hour, 6};
        QTest::newRow("a week") << 7.0 << 6 << TimeStep{Unit::Day, 2};
        QTest::newRow("a month") << 30.0 << 6 << TimeStep{Unit::Day, 7};
        QTest::newRow("a season") << 100.0 << 5 << TimeStep{Unit::Month, 1};
        QTest::newRow("over a year") << 400.0 << 6 << TimeStep{Unit::Month, 3};
        QTest::newRow("ten years") << 3653.0 << 6 << TimeStep{Unit::Year, 2};
        QTest::newRow("two centuries") << 73000.0 << 5 << TimeStep{Unit::Year, 50};
        QTest::newRow("nothing") << 0.0 << 5 << TimeStep{Unit::Millisecond, 1};
    }

    void stepForSpan()
    {
        QFETCH(double, spanDays);
        QFETCH(int, maxTicks);
        QFETCH(TimeStep, step);
        QCOMPARE(datetimeformat::chooseTimeStep(spanDays, maxTicks), step);
    }

    // Over spans from a second to decades, starting at an odd time: the ticks fall
    // on whole steps, in order, inside the range, and there are as many as asked.
    void ticksFallOnWholeSteps_data()
    {
        QTest::addColumn<double>("spanDays");
        const double second = 1.0 / 86400;
        for (double span : {second, 3 * second, 45 * second, 600 * second, 5400 * second, 0.3, 1.0, 2.5,
                            9.0, 40.0, 200.0, 800.0, 5000.0, 20000.0})
            QTest::newRow(qPrintable(u"%1 days"_s.arg(span))) << span;
    }

    void ticksFallOnWholeSteps()
    {
        QFETCH(double, spanDays);
        const double lower = oledate::fromFields(2023, 8, 17, 8, 7, 13, 250);
        const double upper = lower + spanDays;
        const int maxTicks = 6;
        const TimeStep step = datetimeformat::chooseTimeStep(spanDays, maxTicks);
        const QList<double> ticks = datetimeformat::timeTicks(lower, upper, step);
        QVERIFY2(ticks.size() >= 2, qPrintable(QString::number(ticks.size())));
        QVERIFY2(ticks.size() <= maxTicks + 1, qPrintable(QString::number(ticks.size())));
        for (qsizetype i = 0; i < ticks.size(); ++i) {
            const double t = ticks.at(i);
            QVERIFY(t >= lower && t <= upper);
            if (i > 0)
                QVERIFY(t > ticks.at(i - 1));
            const oledate::Fields f = oledate::toFields(t);
            const qint64 msOfDay = ((f.hour * 60LL + f.minute) * 60 + f.second) * 1000 + f.msec;
            const QString where = render(t, u"yyyy-mm-dd hh:nn:ss.zzz"_s);
            switch (step.unit) {
            case Unit::Millisecond: QVERIFY2(msOfDay % step.count == 0, qPrintable(where)); break;
            case Unit::Second: QVERIFY2(msOfDay % (1000LL * step.count) == 0, qPrintable(where)); break;
            case Unit::Minute: QVERIFY2(msOfDay % (60000LL * step.count) == 0, qPrintable(where)); break;
            case Unit::Hour: QVERIFY2(msOfDay % (3600000LL * step.count) == 0, qPrintable(where)); break;
            case Unit::Day:
                QCOMPARE(msOfDay, qint64(0));
                if (step.count == 7)
                    QVERIFY2(f.dayOfWeek == 1, qPrintable(where));
                break;
            case Unit::Month:
                QVERIFY2(msOfDay == 0 && f.day == 1 && (f.month - 1) % step.count == 0, qPrintable(where));
                break;
            case Unit::Year:
                QVERIFY2(msOfDay == 0 && f.day == 1 && f.month == 1 && f.year % step.count == 0, qPrintable(where));
                break;
            }
        }
    }

    // A tick at a logged time is exactly the value the log's date and time give.
    void tickAtALoggedTimeEqualsIt()
    {
        const double start = oledate::fromFields(2024, 3, 14, 8, 0, 0);
        const QList<double> ticks = datetimeformat::timeTicks(start, start + 0.25, {Unit::Hour, 2});
        QCOMPARE(ticks.size(), 4);
        QCOMPARE(ticks.first(), start);
        QCOMPARE(ticks.last(), oledate::fromFields(2024, 3, 14, 14, 0, 0));
    }

    void noTicksForAnImpossibleRange()
    {
        QVERIFY(datetimeformat::timeTicks(1.0, 0.0, {Unit::Second, 1}).isEmpty());
        QVERIFY(datetimeformat::timeTicks(0.0, 100.0, {Unit::Millisecond, 1}).isEmpty());
        QVERIFY(datetimeformat::timeTicks(3e6, 4e6, {Unit::Month, 1}).isEmpty());
    }
};

VIEWER_TEST(DateTimeFormatTest)
#include "tst_datetimeformat.moc"
