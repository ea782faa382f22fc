#include "support/testenv.h"
#include "support/testregistry.h"

#include "core/runtimeerror.h"
#include "shell/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTest>

using namespace Qt::StringLiterals;
using Edge = PlacementSetting::Edge;

class SettingsStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void numberTexts_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("en whole") << u"en_US"_s << 6765.0f << u"6765"_s;
        QTest::newRow("en fraction") << u"en_US"_s << -112.5f << u"-112.5"_s;
        QTest::newRow("en no grouping") << u"en_US"_s << 1234567.0f << u"1234567"_s;
        QTest::newRow("de fraction") << u"de_DE"_s << 2077.5f << u"2077,5"_s;
        QTest::newRow("de single precision") << u"de_DE"_s << 0.1f << u"0,1"_s;
        QTest::newRow("more than seven digits kept") << u"en_US"_s << 1.1111111e19f << u"1.11111115E+19"_s;
    }

    void numberTexts()
    {
        QFETCH(QString, locale);
        QFETCH(float, value);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(SettingsStore::singleToText(value), text);
        QCOMPARE(SettingsStore::textToSingle(text), value);
    }

    void textThatIsNoNumberIsTypeMismatch_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << u"abc"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("number with junk") << u"12px"_s;
    }

    void textThatIsNoNumberIsTypeMismatch()
    {
        QFETCH(QString, text);
        try {
            SettingsStore::textToSingle(text);
            QFAIL("no error");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), 13);
            QCOMPARE(e.description(), u"Type mismatch"_s);
        }
    }

    void sectionWithBackslashIsANestedGroup()
    {
        DataFilePlacement.write(Edge::Left, 120.5f);
        QCOMPARE(DataFilePlacement.read(Edge::Left), 120.5f);
        QFile file(TestEnv::settingsFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString ini = QString::fromUtf8(file.readAll());
        QVERIFY2(ini.contains(u"[History]"_s), qPrintable(ini));
        QVERIFY2(!ini.contains(u"%5C"_s), qPrintable(ini));
        QVERIFY(TestEnv::settingsFile().endsWith(u"Quandel KRN-740 Data Viewer.ini"_s));
    }

    void missingKeysGiveTheirDefaults_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("edge");
        QTest::addColumn<QSizeF>("client");
        QTest::addColumn<float>("value");
        QTest::newRow("main left") << 0 << int(Edge::Left) << QSizeF() << 1000.0f;
        QTest::newRow("main height") << 0 << int(Edge::Height) << QSizeF() << 6500.0f;
        QTest::newRow("data left centred") << 1 << int(Edge::Left) << QSizeF(9000, 7000) << 1117.5f;
        QTest::newRow("data top centred") << 1 << int(Edge::Top) << QSizeF(9000, 7000) << 852.5f;
        QTest::newRow("data left negative") << 1 << int(Edge::Left) << QSizeF(5000, 4000) << -882.5f;
        QTest::newRow("data width") << 1 << int(Edge::Width) << QSizeF(5000, 4000) << 6765.0f;
        QTest::newRow("trend top centred") << 2 << int(Edge::Top) << QSizeF(9000, 7000) << 972.5f;
        QTest::newRow("trend height") << 2 << int(Edge::Height) << QSizeF(9000, 7000) << 5055.0f;
    }

    void missingKeysGiveTheirDefaults()
    {
        QFETCH(int, which);
        QFETCH(int, edge);
        QFETCH(QSizeF, client);
        QFETCH(float, value);
        const PlacementSetting *settings[] = {&MainFramePlacement, &DataFilePlacement, &TrendPlacement};
        QCOMPARE(settings[which]->read(Edge(edge), client), value);
    }

    void storedTextThatIsNoNumberThrows()
    {
        SettingsStore::writeText(u"History\\HistPlot"_s, u"MainWidth"_s, u"wide"_s);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, TrendPlacement.read(Edge::Width));
    }

    void unwritableStoreRaises()
    {
        // A folder where the file should be cannot be written, whoever runs the test.
        QVERIFY(QDir().mkpath(TestEnv::settingsFile()));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, MainFramePlacement.write(Edge::Left, 1.0f));
        QVERIFY(QDir().rmdir(TestEnv::settingsFile()));
    }
};

VIEWER_TEST(SettingsStoreTest)
#include "tst_settingsstore.moc"
