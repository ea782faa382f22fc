#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/numericedit.h"
#include "core/runtimeerror.h"

#include <QLineEdit>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

class NumericEditTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void shownWithoutTrailingZeros_data()
    {
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("half") << 4 << 12.5 << u"en_US"_s << u"12.5"_s;
        QTest::newRow("whole keeps one decimal") << 4 << 30.0 << u"en_US"_s << u"30.0"_s;
        QTest::newRow("all four decimals") << 4 << -3.2375 << u"en_US"_s << u"-3.2375"_s;
        QTest::newRow("rounded to four") << 4 << 0.123456 << u"en_US"_s << u"0.1235"_s;
        QTest::newRow("no group separator") << 4 << 250000.0 << u"en_US"_s << u"250000.0"_s;
        QTest::newRow("German decimal comma") << 4 << 12.5 << u"de_DE"_s << u"12,5"_s;
        QTest::newRow("whole-number edit") << 0 << 7.0 << u"en_US"_s << u"7"_s;
    }

    void shownWithoutTrailingZeros()
    {
        QFETCH(int, decimals);
        QFETCH(double, value);
        QFETCH(QString, locale);
        QFETCH(QString, text);
        NumericEdit edit(-10000, 1e9, decimals, 1);
        edit.setLocale(QLocale(locale));
        edit.setValue(value);
        QCOMPARE(edit.text(), text);
    }

    void valuesAreClamped_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("expected");
        QTest::newRow("inside") << 3.0 << 3.0;
        QTest::newRow("below") << -4.0 << 1.0;
        QTest::newRow("above") << 12.0 << 5.0;
        QTest::newRow("huge") << 1e300 << 5.0;
    }

    void valuesAreClamped()
    {
        QFETCH(double, value);
        QFETCH(double, expected);
        NumericEdit edit(1, 5, 0, 1);
        edit.setValue(value);
        QCOMPARE(edit.Value(), expected);
    }

    void aValueThatIsNoNumberIsRefused_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
        QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity();
    }

    void aValueThatIsNoNumberIsRefused()
    {
        QFETCH(double, value);
        NumericEdit edit(0, 100, 2, 1);
        edit.setValue(42);
        try {
            edit.setValue(value);
            QFAIL("no error");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), 380);
        }
        QCOMPARE(edit.Value(), 42.0);
    }

    void typedTextCountsBeforeItIsConfirmed_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("expected");
        QTest::newRow("a real") << u"17.25"_s << 17.25;
        QTest::newRow("a whole number") << u"3"_s << 3.0;
        QTest::newRow("a bare minus falls back into the bounds") << u"-"_s << 0.0;
    }

    void typedTextCountsBeforeItIsConfirmed()
    {
        QFETCH(QString, typed);
        QFETCH(double, expected);
        NumericEdit edit(-100, 100, 4, 1);
        edit.setKeyboardTracking(false); // nothing taken in while typing
        edit.setValue(50);
        edit.selectAll();
        QTest::keyClicks(&edit, typed);
        QCOMPARE(edit.Value(), expected);
    }

    void arrowKeysStepWithinTheBounds()
    {
        NumericEdit edit(1, 5, 0, 1);
        edit.setValue(4);
        QTest::keyClick(&edit, Qt::Key_Up);
        QCOMPARE(edit.Value(), 5.0);
        QTest::keyClick(&edit, Qt::Key_Up);
        QCOMPARE(edit.Value(), 5.0);
    }
};

VIEWER_TEST(NumericEditTest)
#include "tst_numericedit.moc"
