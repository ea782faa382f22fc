#include "support/logfixture.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/gridcontrol.h"
#include "controls/plotcontrol.h"
#include "controls/slider.h"
#include "controls/twips.h"
#include "core/logdocument.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "shell/settingsstore.h"
#include "shell/openlog.h"
#include "shell/uiservices.h"
#include "trend/trendbuilder.h"
#include "trend/trendwindow.h"
#include "trendsetup/trendmemory.h"

#include <QDate>
#include <QTime>
#include <QLabel>
#include <QMdiArea>
#include <QScopeGuard>
#include <QScreen>
#include <QProgressBar>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QString ErrorText = u"Lumet data viewer encountered errors while plotting the data file!\r\n"
                          "Please check to make sure the file was created with Lumet software."_s;
const QString CancelText = u"Historical plot has been canceled by user."_s;

// The trend time of M/D/YYYY h:mm.
double at(int month, int day, int hour, int minute)
{
    return double(QDate(1899, 12, 30).daysTo(QDate(2024, month, day))) + (hour * 60 + minute) / 1440.0;
}

// Times agree to well under a millisecond (days carry about 1e-10 of rounding).
bool sameTime(double a, double b)
{
    return std::abs(a - b) < 1e-9;
}

GridControl &grid() { return *frmHistory().dataGrid(); }
PlotControl &plot() { return frmHistoryPlot().trendPlot(); }

// What every end of a run leaves behind.
void verifyRunEnded()
{
    QVERIFY(!logDocument().isPlotting());
    QCOMPARE(TestEnv::ui().pointer(), Pointer::Default);
    QVERIFY(TestEnv::ui().pointerHistory.contains(Pointer::Hourglass));
    QVERIFY(!frmHistory().DcryLabel()->isVisible());
    QVERIFY(!frmHistory().ProgBar()->isVisible());
}

} // namespace

class TrendBuilderTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void wholeColumnsPlotEveryRow()
    {
        LogFixture::open(LogFixture::minutes(6, 3));
        grid().setSelectionBlocks({GridBlock{2, -1, 3, -1}});
        buildHistTrend();
        verifyRunEnded();
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QCOMPARE(plot().ChannelCount(), 2);
        for (int ch = 0; ch < 2; ++ch) {
            QCOMPARE(plot().Channel(ch).Count(), 6);
            QCOMPARE(plot().Channel(ch).TitleText(), QString(QChar(u'A' + ch)));
            QCOMPARE(plot().Channel(ch).valueAt(at(1, 31, 23, 0)), 10.0 + ch);
            QCOMPARE(plot().Channel(ch).valueAt(at(1, 31, 23, 5)), 60.0 + ch); // row 6
        }
        TrendWindow &trend = frmHistoryPlot();
        QVERIFY(trend.isVisible());
        QVERIFY(sameTime(trend.historyXspan(), 5 / 1440.0));
        QVERIFY(sameTime(plot().XAxis(0).Span(), 5 / 1440.0));
        QCOMPARE(trend.historyYspan(), plot().YAxis(0).Span());
        QVERIFY(trend.historyYspan() > 0);
        QCOMPARE(trend.DateSlider().Position(), 0.0);
        QCOMPARE(trend.YSlider().Position(), 0.0);
    }

    void theTrendNamesTheFileItsDataCameFrom()
    {
        // A failed plot of another file leaves the trend window loaded, named after it.
        LogFixture::open("Date,Time,A\r\n1/2/2024,1:00,5\r\n1/2/2024,1:01,7x\r\n1/2/2024,1:02,7\r\n1/2/2024,1:03,8\r\n",
                         u"bad.csv"_s);
        grid().setSelectionBlocks({GridBlock{2, -1, 2, -1}});
        buildHistTrend();
        QVERIFY(!frmHistoryPlot().isVisible());
        LogFixture::open(LogFixture::minutes(5, 1), u"good.csv"_s);
        grid().setSelectionBlocks({GridBlock{2, -1, 2, -1}});
        buildHistTrend();
        QVERIFY(frmHistoryPlot().isVisible());
        QCOMPARE(frmHistoryPlot().panelText(1), u"Current trend data from good.csv"_s);
    }

    // Where no date shows whether its day or its month comes first, the status
    // bar tells the order that was read.
    void theStatusTellsAnOrderNoDateShowed_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QByteArray>("date"); // of every row
        QTest::addColumn<QString>("remark");
        QTest::newRow("shown by a day above 12") << u"en_US"_s << QByteArray("1/13/2024") << QString();
        QTest::newRow("open, month-first locale")
            << u"en_US"_s << QByteArray("2/1/2024") << u" (dates read month first: no date shows the order)"_s;
        QTest::newRow("open, day-first locale")
            << u"de_DE"_s << QByteArray("02.01.2024") << u" (dates read day first: no date shows the order)"_s;
        QTest::newRow("year first asks nothing") << u"de_DE"_s << QByteArray("2024-01-02") << QString();
    }

    void theStatusTellsAnOrderNoDateShowed()
    {
        QFETCH(QString, locale);
        QFETCH(QByteArray, date);
        QFETCH(QString, remark);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard([&] { QLocale::setDefault(before); });
        QByteArray log = "Date,Time,A\r\n";
        for (int r = 0; r < 4; ++r)
            log += date + ",1:0" + QByteArray::number(r) + ",5\r\n";
        LogFixture::open(log, u"run.csv"_s);
        grid().setSelectionBlocks({GridBlock{2, -1, 2, -1}});
        buildHistTrend();
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QCOMPARE(frmHistoryPlot().panelText(1), u"Current trend data from run.csv"_s + remark);
    }

    void valuesAsLargeAsTheAxisHoldsAreDrawn_data()
    {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::newRow("a constant 1e18") << QByteArray("1e18") << QByteArray("1e18");
        QTest::newRow("0 to 1e249") << QByteArray("0") << QByteArray("1e249");
        QTest::newRow("-4e249 to 4e249") << QByteArray("-4e249") << QByteArray("4e249");
    }

    void valuesAsLargeAsTheAxisHoldsAreDrawn()
    {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        LogFixture::open("Date,Time,A\r\n1/2/2024,1:00," + a + "\r\n1/2/2024,1:01," + b + "\r\n1/2/2024,1:02," + a
                         + "\r\n1/2/2024,1:03," + b + "\r\n");
        grid().setSelectionBlocks({GridBlock{2, -1, 2, -1}});
        buildHistTrend();
        QVERIFY(TestEnv::ui().messages.isEmpty());
        const double low = std::min(a.toDouble(), b.toDouble());
        const double high = std::max(a.toDouble(), b.toDouble());
        PlotAxis y = plot().YAxis(0);
        QVERIFY(y.Min() <= low && y.Min() + y.Span() >= high);
        QVERIFY(y.Span() > 0 && std::isfinite(y.Span()));
        // Shown: the axis's ticks lie around the values, not on the old 0 to 100.
        const QList<double> ticks = y.tickPositions();
        QVERIFY(ticks.size() >= 2);
        QVERIFY(ticks.last() >= std::max(low, 101.0) && ticks.first() <= high);
    }

    void aKeptSetupIsGivenToTheNextTrendOfItsColumns_data()
    {
        QTest::addColumn<bool>("keptForB");
        QTest::addColumn<QStringList>("titles"); // left axis, right axis
        QTest::addColumn<QList<double>>("ends"); // left min and max, right min and max
        // Column A holds 10, 20 ... 60, column B 11, 21 ... 61.
        QTest::newRow("B kept on the right") << true << QStringList{u"A"_s, u"B"_s}
                                             << QList<double>{10, 60, 11, 61};
        QTest::newRow("nothing kept") << false << QStringList{u"A, B"_s, QString()}
                                      << QList<double>{10, 61, 0, 100};
    }

    void aKeptSetupIsGivenToTheNextTrendOfItsColumns()
    {
        QFETCH(bool, keptForB);
        QFETCH(QStringList, titles);
        QFETCH(QList<double>, ends);
        if (keptForB)
            trendmemory::rememberPen(u"B"_s, {0x00FF00, 4, 1});
        LogFixture::open(LogFixture::minutes(6, 2));
        grid().setSelectionBlocks({GridBlock{2, -1, 3, -1}});
        buildHistTrend();
        verifyRunEnded();
        PlotControl &p = plot();
        QCOMPARE(p.Channel(1).YAxisIndex(), keptForB ? 1 : 0);
        QCOMPARE(p.Channel(1).TraceLineWidth(), keptForB ? 4 : 1);
        QCOMPARE(p.Channel(0).YAxisIndex(), 0);
        QCOMPARE((QStringList{p.YAxis(0).TitleText(), p.YAxis(1).TitleText()}), titles);
        QCOMPARE((QList<double>{p.YAxis(0).Min(), p.YAxis(0).Max(), p.YAxis(1).Min(), p.YAxis(1).Max()}), ends);
    }

    // The message of a cell that is no value names it on a third line (the rule
    // of the line is the reader's).
    void textsThatAreNoValuesEndTheRun_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("where");
        QTest::newRow("value not a number")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:00,5\r\n1/2/2024,1:01,12.3x\r\n1/2/2024,1:02,7\r\n1/2/2024,1:03,8\r\n")
            << u"Line 3, column \"A\": \"12.3x\" is not a number."_s;
        QTest::newRow("a letter for a digit")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:00,ERR\r\n1/2/2024,1:01,5\r\n1/2/2024,1:02,1O.5\r\n1/2/2024,1:03,8\r\n")
            << u"Line 4, column \"A\": \"1O.5\" is not a number."_s;
        QTest::newRow("date not a date")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:00,5\r\nyesterday,1:01,6\r\n1/2/2024,1:02,7\r\n1/2/2024,1:03,8\r\n")
            << u"Line 3, column \"Date\": \"yesterday\" is not a date."_s;
    }

    void textsThatAreNoValuesEndTheRun()
    {
        QFETCH(QByteArray, log);
        QFETCH(QString, where);
        LogFixture::open(log);
        grid().setSelectionBlocks({GridBlock{2, -1, 2, -1}});
        buildHistTrend();
        verifyRunEnded();
        QCOMPARE(TestEnv::ui().texts(), QStringList{ErrorText + u"\r\n"_s + where});
        QCOMPARE(TestEnv::ui().messages.constFirst().icon, MsgIcon::Question);
        QVERIFY(!frmHistoryPlot().isVisible());
        QCOMPARE(frmHistoryPlot().historyXspan(), 0.0);
    }

    void cancelIsSeenBeforeTheNextColumn()
    {
        LogFixture::open(LogFixture::minutes(20, 3));
        grid().setSelectionBlocks({GridBlock{2, -1, 4, -1}});
        setYieldInterval(0);
        TestEnv::ui().onPass = [](int pass) {
            if (pass == 5) // the fifth point of the first column
                frmHistory().toolbarButtonClick(4);
        };
        buildHistTrend();
        verifyRunEnded();
        QCOMPARE(TestEnv::ui().texts(), QStringList{CancelText});
        QCOMPARE(TestEnv::ui().messages.constFirst().icon, MsgIcon::Information);
        QCOMPARE(plot().ChannelCount(), 1);
        QCOMPARE(plot().Channel(0).Count(), 20); // the column in hand is finished
        QVERIFY(!frmHistoryPlot().isVisible());
    }

    // The bar shows each new percent of the run (whose arithmetic is the reader's).
    void theProgressBarShowsTheRun()
    {
        LogFixture::open(LogFixture::minutes(6, 2));
        grid().setSelectionBlocks({GridBlock{2, 1, 3, 4}});
        QList<int> seen;
        connect(frmHistory().ProgBar(), &QProgressBar::valueChanged, this, [&](int v) { seen << v; });
        buildHistTrend();
        QCOMPARE(seen, (QList<int>{0, 17, 33, 50, 67, 83, 100}));
        QCOMPARE(frmHistory().ProgBar()->maximum(), 100);
    }

    // Two blocks: the grid's current block is the last one read, and the time
    // span recorded for the sliders runs over both.
    void twoBlocksLeaveTheGridAtTheLastBlock()
    {
        LogFixture::open(LogFixture::minutes(10, 5));
        grid().setSelectionBlocks({GridBlock{2, 2, 4, 5}, GridBlock{5, 4, 6, 8}});
        buildHistTrend();
        verifyRunEnded();
        QCOMPARE(plot().ChannelCount(), 5);
        QVERIFY(sameTime(frmHistoryPlot().historyXspan(), 6 / 1440.0)); // rows 2 to 8
        QCOMPARE(grid().block(), (GridBlock{5, 4, 6, 8}));
    }

    void rowsOfOneInstantStillGiveAUsableAxis()
    {
        LogFixture::open("Date,Time,A\r\n1/2/2024,1:00,5\r\n1/2/2024,1:00,6\r\n1/2/2024,1:00,7\r\n1/2/2024,1:00,8\r\n");
        grid().setSelectionBlocks({GridBlock{2, -1, 2, -1}});
        buildHistTrend();
        verifyRunEnded();
        QVERIFY(TestEnv::ui().messages.isEmpty());
        const double span = plot().XAxis(0).Span();
        QVERIFY(sameTime(span, 1 / 1440.0));
        QCOMPARE(frmHistoryPlot().historyXspan(), span);
        // The instant sits in the middle of the axis.
        QVERIFY(sameTime(plot().XAxis(0).Min() + span / 2, at(1, 2, 1, 0)));
        QVERIFY(frmHistoryPlot().isVisible());
    }

    void trendWindowOpensAtItsStoredPlacement()
    {
        TrendPlacement.write(PlacementSetting::Edge::Left, 300);
        TrendPlacement.write(PlacementSetting::Edge::Top, 150);
        TrendPlacement.write(PlacementSetting::Edge::Width, 9000);
        TrendPlacement.write(PlacementSetting::Edge::Height, 6000);
        LogFixture::open(LogFixture::minutes(5, 1));
        grid().setSelectionBlocks({GridBlock{2, -1, 2, -1}});
        buildHistTrend();
        QCOMPARE(twips::geometryOf(frmHistoryPlot()), QRectF(300, 150, 9000, 6000));
    }

    void storedPlacementThatIsNoNumberFallsBackToItsDefault()
    {
        SettingsStore::writeText(u"History\\HistPlot"_s, u"MainWidth"_s, u"wide"_s);
        LogFixture::open(LogFixture::minutes(5, 1));
        grid().setSelectionBlocks({GridBlock{2, -1, 2, -1}});
        buildHistTrend();
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QVERIFY(frmHistoryPlot().isVisible());
        QVERIFY(std::abs(twips::geometryOf(frmHistoryPlot()).width() - 8130) < 8);
    }

    // The trend window opens wholly inside the frame (and on the screen),
    // whatever its stored placement holds.
    void hostileTrendPlacementIsFitted_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::newRow("left of the frame") << u"MainLeft"_s << u"-135"_s;
        QTest::newRow("far below") << u"MainTop"_s << u"480000"_s;
        QTest::newRow("wider than any screen") << u"MainWidth"_s << u"480000"_s;
        QTest::newRow("height not a number") << u"MainHeight"_s << u"NaN"_s;
    }

    void hostileTrendPlacementIsFitted()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        SettingsStore::writeText(u"History\\HistPlot"_s, key, stored);
        LogFixture::open(LogFixture::minutes(5, 1));
        grid().setSelectionBlocks({GridBlock{2, -1, 2, -1}});
        buildHistTrend();
        QVERIFY(frmHistoryPlot().isVisible());
        const QRect client(QPoint(), mainFrame().mdiArea()->contentsRect().size());
        QVERIFY(client.contains(frmHistoryPlot().geometry()));
        QVERIFY(mainFrame().screen()->availableGeometry().contains(mainFrame().frameGeometry()));
    }

    void exitDuringARunEndsItQuietly()
    {
        LogFixture::open(LogFixture::minutes(30, 2));
        grid().setSelectionBlocks({GridBlock{2, -1, 3, -1}});
        setYieldInterval(0);
        TestEnv::ui().answers = {MsgResult::Yes};
        TestEnv::ui().onPass = [](int pass) {
            if (pass == 10)
                mainFrame().close();
        };
        buildHistTrend();
        QCOMPARE(TestEnv::ui().endCount, 1);
        // The exit question and the data file window's refusal, nothing from the run.
        QCOMPARE(TestEnv::ui().texts(), (QStringList{u"Exit - are you sure?"_s,
                                                     u"History viewer is busy with an operation, please wait!"_s}));
        QVERIFY(!logDocument().isPlotting());
        QCOMPARE(TestEnv::ui().pointer(), Pointer::Default);
    }

    void aVisibleTrendWindowIsRestoredNotMoved()
    {
        LogFixture::open(LogFixture::minutes(5, 1));
        grid().setSelectionBlocks({GridBlock{2, -1, 2, -1}});
        buildHistTrend();
        TrendWindow &trend = frmHistoryPlot();
        trend.showMinimized();
        buildHistTrend();
        QCOMPARE(&frmHistoryPlot(), &trend);
        QVERIFY(!trend.isMinimized());
        QVERIFY(trend.isVisible());
    }
};

VIEWER_TEST(TrendBuilderTest)
#include "tst_trendbuilder.moc"
