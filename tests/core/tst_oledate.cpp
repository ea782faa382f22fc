#include "support/testregistry.h"

#include "core/oledate.h"
#include "core/runtimeerror.h"

#include <QTest>

using namespace Qt::StringLiterals;

class OleDateTest : public QObject
{
    Q_OBJECT

private slots:
    void calendarToValue_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<double>("value");
        QTest::newRow("epoch") << QDate(1899, 12, 30) << QTime(0, 0) << 0.0;
        QTest::newRow("epoch noon") << QDate(1899, 12, 30) << QTime(12, 0) << 0.5;
        QTest::newRow("1 Jan 1900") << QDate(1900, 1, 1) << QTime(0, 0) << 2.0;
        QTest::newRow("morning") << QDate(2024, 3, 14) << QTime(6, 0) << 45365.25;
        QTest::newRow("last millisecond") << QDate(2024, 3, 14) << QTime(23, 59, 59, 999)
                                          << 45365.0 + 86399999.0 / 86400000.0;
        QTest::newRow("day before epoch") << QDate(1899, 12, 29) << QTime(0, 0) << -1.0;
        // Before the epoch too, a later time is a larger value.
        QTest::newRow("day before epoch 06:00") << QDate(1899, 12, 29) << QTime(6, 0) << -0.75;
        QTest::newRow("1800 evening") << QDate(1800, 1, 1) << QTime(18, 0) << -36521.25;
        QTest::newRow("first day") << QDate(100, 1, 1) << QTime(0, 0) << -657434.0;
        QTest::newRow("last day") << QDate(9999, 12, 31) << QTime(12, 0) << 2958465.5;
    }

    void calendarToValue()
    {
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        QFETCH(double, value);
        QCOMPARE(oledate::fromDateTime(date, time), value);
        QCOMPARE(oledate::toDate(value), date);
        QCOMPARE(oledate::toTime(value), time);
    }

    void fieldsOfAValue()
    {
        const oledate::Fields f = oledate::toFields(oledate::fromFields(2024, 3, 5, 7, 8, 9, 45));
        QCOMPARE(f.year, 2024);
        QCOMPARE(f.month, 3);
        QCOMPARE(f.day, 5);
        QCOMPARE(f.hour, 7);
        QCOMPARE(f.minute, 8);
        QCOMPARE(f.second, 9);
        QCOMPARE(f.msec, 45);
        QCOMPARE(f.dayOfWeek, 2); // a Tuesday
    }

    void valuesRoundToTheMillisecond_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time");
        QTest::newRow("a hair before midnight is midnight")
            << 45365.9999999999 << QDate(2024, 3, 15) << QTime(0, 0);
        QTest::newRow("a hair after a second") << 45365.0 + 1.0 / 86400 + 1e-12 << QDate(2024, 3, 14) << QTime(0, 0, 1);
        QTest::newRow("before the epoch, near the next midnight")
            << -1.0000000001 << QDate(1899, 12, 29) << QTime(0, 0);
        // Between -1 and 0: the day before the epoch.
        QTest::newRow("minus a half") << -0.5 << QDate(1899, 12, 29) << QTime(12, 0);
    }

    void valuesRoundToTheMillisecond()
    {
        QFETCH(double, value);
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        QCOMPARE(oledate::toDate(value), date);
        QCOMPARE(oledate::toTime(value), time);
    }

    // The same clock time on both sides of a daylight-saving change is the same
    // fraction: nothing goes through a time zone.
    void noTimeZoneIsApplied()
    {
        const double before = oledate::fromFields(2024, 3, 9, 2, 30);
        const double after = oledate::fromFields(2024, 3, 10, 2, 30);
        QCOMPARE(after - before, 1.0);
    }

    void valuesOutsideTheRangeOverflow_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("before year 100") << -657434.0 - 1e-6;
        QTest::newRow("after year 9999") << 2958466.0;
        QTest::newRow("not a number") << std::nan("");
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity();
    }

    void valuesOutsideTheRangeOverflow()
    {
        QFETCH(double, value);
        try {
            oledate::toFields(value);
            QFAIL("no error");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), 6);
        }
    }

    void invalidDateIsAnInvalidCall()
    {
        try {
            oledate::fromFields(2023, 2, 29);
            QFAIL("no error");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), 5);
        }
    }
};

VIEWER_TEST(OleDateTest)
#include "tst_oledate.moc"
