#include "support/testenv.h"
#include "support/testregistry.h"

#include "core/runtimeerror.h"
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

    void aPlacementReadsBackUnderAnotherLocale_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<QString>("reader");
        QTest::newRow("English, then German") << u"en_US"_s << u"de_DE"_s;
        QTest::newRow("German, then English") << u"de_DE"_s << u"en_US"_s;
        QTest::newRow("French, then English") << u"fr_FR"_s << u"en_US"_s;
    }

    void aPlacementReadsBackUnderAnotherLocale()
    {
        QFETCH(QString, writer);
        QFETCH(QString, reader);
        const TrendWindowPlacement written{-112.5f, 1234.75f, 9000.25f, 5370};
        QLocale::setDefault(QLocale(writer));
        written.write();
        QLocale::setDefault(QLocale(reader));
        const TrendWindowPlacement read = TrendWindowPlacement::read(QSizeF(20000, 20000));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(read.left, written.left);
        QCOMPARE(read.top, written.top);
        QCOMPARE(read.width, written.width);
        QCOMPARE(read.height, written.height);
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
