#include "support/testregistry.h"

#include "core/datetimeformat.h"
#include "core/duration.h"
#include "core/oledate.h"
#include "core/yearlabels.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
constexpr double Second = 1.0 / 86400;
constexpr double Hour = 1.0 / 24;
} // namespace

// The times of elapsed-time and years trends as the program writes them.
class DurationTest : public QObject
{
    Q_OBJECT

private slots:
    void durationText_data()
    {
        QTest::addColumn<double>("days");
        QTest::addColumn<double>("spanDays");
        QTest::addColumn<QString>("text");
        QTest::newRow("100 s") << 100 * Second << Hour << u"0:01:40"_s;
        QTest::newRow("zero") << 0.0 << Hour << u"0:00:00"_s;
        QTest::newRow("minutes") << 754 * Second << Hour << u"0:12:34"_s;
        QTest::newRow("hours, not padded") << (3 * 3600 + 25 * 60 + 7) * Second << 1.0 << u"3:25:07"_s;
        QTest::newRow("hours past ten") << (13 * 3600 + 5 * 60 + 9) * Second << 1.0 << u"13:05:09"_s;
        QTest::newRow("exactly a day") << 1.0 << 2.0 << u"1d 00:00:00"_s;
        QTest::newRow("days, hours padded") << 2 + (3 * 3600 + 4 * 60 + 5) * Second << 5.0 << u"2d 03:04:05"_s;
        QTest::newRow("hundreds of days") << 365.5 << 1000.0 << u"365d 12:00:00"_s;
        QTest::newRow("negative") << -100 * Second << Hour << u"-0:01:40"_s;
        QTest::newRow("negative past a day") << -(1 + Hour) << 3.0 << u"-1d 01:00:00"_s;
        QTest::newRow("a hair below zero is no minus") << -0.0004 * Second << Hour << u"0:00:00"_s;
        QTest::newRow("59.999 s carries into the minute") << 59.999 * Second << Hour << u"0:01:00"_s;
        QTest::newRow("23:59:59.6 carries into the day") << 86399.6 * Second << 2.0 << u"1d 00:00:00"_s;
        QTest::newRow("a minute's span has no fraction") << 12.6 * Second << 60 * Second << u"0:00:13"_s;
        QTest::newRow("under a minute: one digit") << 12.34 * Second << 30 * Second << u"0:00:12.3"_s;
        QTest::newRow("under ten seconds: two digits") << 1.25 * Second << 5 * Second << u"0:00:01.25"_s;
        QTest::newRow("exactly ten seconds: one digit") << 1.26 * Second << 10 * Second << u"0:00:01.3"_s;
        QTest::newRow("under a second: three digits") << 0.1234 * Second << 0.5 * Second << u"0:00:00.123"_s;
        QTest::newRow("a millisecond's span: five digits")
            << 2.000126 * Second << 0.001 * Second << u"0:00:02.00013"_s;
        QTest::newRow("59.999 s in two digits") << 59.999 * Second << 5 * Second << u"0:01:00.00"_s;
        QTest::newRow("59.994 s in two digits") << 59.994 * Second << 5 * Second << u"0:00:59.99"_s;
        QTest::newRow("fractions past a day") << 1 + 1.5 * Second << 20 * Second << u"1d 00:00:01.5"_s;
        QTest::newRow("negative with fractions") << -0.25 * Second << 2 * Second << u"-0:00:00.25"_s;
        QTest::newRow("not a number") << qQNaN() << Hour << QString();
    }

    void durationText()
    {
        QFETCH(double, days);
        QFETCH(double, spanDays);
        QFETCH(QString, text);
        QCOMPARE(duration::text(days, spanDays), text);
    }

    // The ticks an axis from `lower` to `upper` (seconds) with room for
    // `maxTicks` labels gets, labelled as that span shows them.
    void durationTicks_data()
    {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<int>("maxTicks");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("ten seconds in 2 s")
            << 0.0 << 10.0 << 6
            << QStringList{u"0:00:00.0"_s, u"0:00:02.0"_s, u"0:00:04.0"_s, u"0:00:06.0"_s, u"0:00:08.0"_s,
                           u"0:00:10.0"_s};
        QTest::newRow("a second and a half in 0.2 s")
            << 0.25 << 1.75 << 8
            << QStringList{u"0:00:00.40"_s, u"0:00:00.60"_s, u"0:00:00.80"_s, u"0:00:01.00"_s, u"0:00:01.20"_s,
                           u"0:00:01.40"_s, u"0:00:01.60"_s};
        QTest::newRow("a quarter hour in 5 min")
            << 100.0 << 1000.0 << 5 << QStringList{u"0:05:00"_s, u"0:10:00"_s, u"0:15:00"_s};
        QTest::newRow("two days in 12 h")
            << 0.0 << 172800.0 << 6
            << QStringList{u"0:00:00"_s, u"12:00:00"_s, u"1d 00:00:00"_s, u"1d 12:00:00"_s, u"2d 00:00:00"_s};
        QTest::newRow("before the start")
            << -90.0 << 30.0 << 4
            << QStringList{u"-0:01:30"_s, u"-0:01:00"_s, u"-0:00:30"_s, u"0:00:00"_s, u"0:00:30"_s};
        QTest::newRow("room for one label still gets two steps")
            << 10.0 << 110.0 << 1 << QStringList{u"0:00:30"_s, u"0:01:00"_s, u"0:01:30"_s};
        QTest::newRow("sixty days in 30")
            << 0.0 << 60 * 86400.0 << 4 << QStringList{u"0:00:00"_s, u"30d 00:00:00"_s, u"60d 00:00:00"_s};
        QTest::newRow("thousands of days")
            << 0.0 << 3000 * 86400.0 << 5
            << QStringList{u"0:00:00"_s, u"1000d 00:00:00"_s, u"2000d 00:00:00"_s, u"3000d 00:00:00"_s};
    }

    void durationTicks()
    {
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(int, maxTicks);
        QFETCH(QStringList, labels);
        // As a reader makes them from logged seconds.
        const double from = lower / 86400;
        const double to = upper / 86400;
        const double step = duration::chooseStep(to - from, maxTicks);
        QStringList shown;
        for (double tick : duration::ticks(from, to, step))
            shown << duration::text(tick, to - from);
        QCOMPARE(shown, labels);
    }

    // A tick at the start of the trend, and at a time logged in whole seconds, is
    // exactly that time.
    void aTickAtALoggedTimeEqualsIt()
    {
        const QList<double> ticks = duration::ticks(0.0, 650.0 / 86400, 100.0 / 86400);
        QCOMPARE(ticks.size(), 7);
        QCOMPARE(ticks.first(), 0.0);
        QCOMPARE(ticks.at(3), 300.0 / 86400);
    }

    void yearTicks_data()
    {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<int>("maxTicks");
        QTest::addColumn<QStringList>("labels");
        const auto at = [](int year, int month = 1, int day = 1) { return oledate::fromFields(year, month, day); };
        QTest::newRow("140 years in 20")
            << at(1880) << at(2020) << 8
            << QStringList{u"1880"_s, u"1900"_s, u"1920"_s, u"1940"_s, u"1960"_s, u"1980"_s, u"2000"_s, u"2020"_s};
        QTest::newRow("four years and more in 1")
            << at(1958, 3, 15) << at(1962, 7, 1) << 5
            << QStringList{u"1959"_s, u"1960"_s, u"1961"_s, u"1962"_s};
        QTest::newRow("room for two labels still gets two steps")
            << at(1900) << at(1905, 7, 1) << 2 << QStringList{u"1900"_s, u"1902"_s, u"1904"_s};
        QTest::newRow("within a year, months")
            << at(1958, 3, 15) << at(1959, 1, 10) << 6
            << QStringList{u"1958-05"_s, u"1958-07"_s, u"1958-09"_s, u"1958-11"_s, u"1959-01"_s};
        QTest::newRow("a year and a half, quarters")
            << at(2000) << at(2001, 7, 1) << 8
            << QStringList{u"2000-01"_s, u"2000-04"_s, u"2000-07"_s, u"2000-10"_s, u"2001-01"_s, u"2001-04"_s,
                           u"2001-07"_s};
    }

    void yearTicks()
    {
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(int, maxTicks);
        QFETCH(QStringList, labels);
        const datetimeformat::TimeStep step = yearlabels::chooseStep(upper - lower, maxTicks);
        QStringList shown;
        for (double tick : datetimeformat::timeTicks(lower, upper, step))
            shown << yearlabels::text(tick, upper - lower);
        QCOMPARE(shown, labels);
    }
};

VIEWER_TEST(DurationTest)
#include "tst_duration.moc"
