#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/runtimeerror.h"
#include "shell/mainframe.h"
#include "shell/settingsstore.h"
#include "trendsetup/trendsettings.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QString stored(const QString &key)
{
    return SettingsStore::readText(u"History\\HistPlot"_s, key, u"(missing)"_s);
}
} // namespace

class TrendSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void aNewRecordHoldsTheValuesBeforeFilling()
    {
        const TrendSettings s;
        QCOMPARE(s.spanMinutes, 1);
        QCOMPARE(s.xMinorTicks, 1);
        QCOMPARE(s.yMinorTicks, 1);
        QCOMPARE(s.xScaleColor, OleColor(0x0000FF));
        QCOMPARE(s.yScaleColor, OleColor(0x0000FF));
        QCOMPARE(s.backgroundColor, OleColor(0x0000FF));
        QCOMPARE(int(s.pens.size()), 12);
        for (const TrendPen &pen : s.pens) {
            QCOMPARE(pen.assignment, qint16(-1));
            QCOMPARE(pen.color, OleColor(0));
            QCOMPARE(pen.width, 1);
        }
    }

    void theSixFormatsOfTheList()
    {
        QCOMPARE(TrendSettings::xScaleFormats(),
                 QStringList({u"hh:nn:ss"_s, u"hh:nn:ss.zzz"_s, u"m/d hh:nn:ss"_s, u"d mmm h:nn:ss am/pm"_s,
                              u"m/d/yy h:nn:ss am/pm"_s, u"m/d/yyy h:nn:ss am/pm"_s}));
    }

    void valuesAreClampedToTheirBounds_data()
    {
        QTest::addColumn<SettingBounds>("bounds");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("clamped");
        QTest::newRow("zero below") << TrendSettings::TrendZeroBounds << -20000.0 << -10000.0;
        QTest::newRow("zero above") << TrendSettings::TrendZeroBounds << 10000.5 << 10000.0;
        QTest::newRow("zero inside") << TrendSettings::TrendZeroBounds << -12.5 << -12.5;
        QTest::newRow("span takes large values") << TrendSettings::TrendSpanBounds << 250000.0 << 250000.0;
        QTest::newRow("span not below the lowest zero") << TrendSettings::TrendSpanBounds << -20000.0 << -10000.0;
        QTest::newRow("days up to 7") << TrendSettings::SpanDaysBounds << 9.0 << 7.0;
        QTest::newRow("hours up to 23") << TrendSettings::SpanHoursBounds << 24.0 << 23.0;
        QTest::newRow("minutes from 1") << TrendSettings::SpanMinutesBounds << 0.0 << 1.0;
        QTest::newRow("minutes up to 59") << TrendSettings::SpanMinutesBounds << 60.0 << 59.0;
        QTest::newRow("minor ticks from 1") << TrendSettings::MinorTicksBounds << 0.0 << 1.0;
        QTest::newRow("minor ticks up to 30") << TrendSettings::MinorTicksBounds << 31.0 << 30.0;
        QTest::newRow("pen width from 1") << TrendPen::WidthBounds << 0.0 << 1.0;
        QTest::newRow("pen width up to 5") << TrendPen::WidthBounds << 6.0 << 5.0;
    }

    void valuesAreClampedToTheirBounds()
    {
        QFETCH(SettingBounds, bounds);
        QFETCH(double, value);
        QFETCH(double, clamped);
        QCOMPARE(bounds.clamp(value), clamped);
    }

    void whatTheFirstRunOnAMachineReads_data()
    {
        QTest::addColumn<QSizeF>("client");
        QTest::addColumn<float>("left");
        QTest::addColumn<float>("top");
        QTest::newRow("roomy frame") << QSizeF(12000, 9000) << 1935.0f << 1972.5f;
        QTest::newRow("frame smaller than the window") << QSizeF(6000, 4000) << -1065.0f << -527.5f;
    }

    void whatTheFirstRunOnAMachineReads()
    {
        QFETCH(QSizeF, client);
        const TrendWindowPlacement p = TrendWindowPlacement::read(client);
        QTEST(p.left, "left");
        QTEST(p.top, "top");
        QCOMPARE(p.width, 8130.0f);
        QCOMPARE(p.height, 5055.0f);
        QVERIFY(!QFile::exists(TestEnv::settingsFile()));
    }

    void withoutAFrameSizeItCentresInTheMainFrame()
    {
        mainFrame().resize(1000, 800);
        const QSizeF client = mainFrame().clientTwips();
        const TrendWindowPlacement p = TrendWindowPlacement::read();
        QCOMPARE(p.left, float((client.width() - 8130) / 2));
        QCOMPARE(p.top, float((client.height() - 5055) / 2));
    }

    void placementRoundTrip_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("leftText");
        QTest::newRow("English") << u"en_US"_s << u"-112.5"_s;
        QTest::newRow("German") << u"de_DE"_s << u"-112,5"_s;
    }

    void placementRoundTrip()
    {
        QFETCH(QString, locale);
        QFETCH(QString, leftText);
        QLocale::setDefault(QLocale(locale));
        const TrendWindowPlacement written{-112.5f, 300, 9000.25f, 5370};
        written.write();
        QCOMPARE(stored(u"MainLeft"_s), leftText);
        QCOMPARE(stored(u"MainTop"_s), u"300"_s);
        QCOMPARE(stored(u"MainHeight"_s), u"5370"_s);
        const TrendWindowPlacement read = TrendWindowPlacement::read(QSizeF(20000, 20000));
        QCOMPARE(read.left, written.left);
        QCOMPARE(read.top, written.top);
        QCOMPARE(read.width, written.width);
        QCOMPARE(read.height, written.height);
    }

    void aStoredTextThatIsNoNumberIsATypeMismatch()
    {
        SettingsStore::writeText(u"History\\HistPlot"_s, u"MainTop"_s, u"middle"_s);
        try {
            TrendWindowPlacement::read(QSizeF(9000, 7000));
            QFAIL("no error");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), 13);
        }
    }

    void anUnwritableStoreRaises()
    {
        QVERIFY(QDir().mkpath(TestEnv::settingsFile()));
        try {
            TrendWindowPlacement{1, 2, 3, 4}.write();
            QFAIL("no error");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), 75);
        }
        QVERIFY(QDir().rmdir(TestEnv::settingsFile()));
    }
};

VIEWER_TEST(TrendSettingsTest)
#include "tst_trendsettings.moc"
