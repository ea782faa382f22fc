#include "support/logfixture.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/plotcontrol.h"
#include "controls/slider.h"
#include "core/logdocument.h"
#include "shell/mainframe.h"
#include "shell/openlog.h"
#include "trend/trendwindow.h"

#include <QAction>
#include <QMdiArea>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include <functional>

using namespace Qt::StringLiterals;

using Probe = std::function<QVariant(TrendWindow &)>;
Q_DECLARE_METATYPE(Probe)

namespace {
void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

PlotAxis xAxis(TrendWindow &w) { return w.trendPlot().XAxis(0); }
PlotAxis yAxis(TrendWindow &w) { return w.trendPlot().YAxis(0); }

constexpr OleColor White = 0xFFFFFF;
constexpr OleColor Aqua = 0xFFFF00;
constexpr OleColor Yellow = 0x00FFFF;
} // namespace

class TrendWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void touchingCreatesItHiddenInTheMainFrame()
    {
        QVERIFY(!loadedTrendWindow());
        TrendWindow &w = frmHistoryPlot();
        QCOMPARE(loadedTrendWindow(), &w);
        QCOMPARE(&frmHistoryPlot(), &w);
        QCOMPARE(w.objectName(), u"frmHistoryPlot"_s);
        QCOMPARE(w.windowTitle(), u"Historical Trend Plot"_s);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.mdiArea(), mainFrame().mdiArea());
        QVERIFY(w.testAttribute(Qt::WA_DeleteOnClose));
        QCOMPARE(w.historyXspan(), 0.0);
        QCOMPARE(w.historyYspan(), 0.0);
    }

    void controlsCarryTheirNames()
    {
        TrendWindow &w = frmHistoryPlot();
        QCOMPARE(w.findChild<PlotControl *>(u"trendPlot"_s), &w.trendPlot());
        QCOMPARE(w.findChild<Slider *>(u"DateSlider"_s), &w.DateSlider());
        QCOMPARE(w.findChild<Slider *>(u"YSlider"_s), &w.YSlider());
        QCOMPARE(w.findChild<QToolBar *>(u"Toolbar1"_s), &w.Toolbar1());
        QCOMPARE(w.findChild<QStatusBar *>(u"StatusBar1"_s), &w.StatusBar1());
        QCOMPARE(w.DateSlider().orientation(), Qt::Horizontal);
        QCOMPARE(w.YSlider().orientation(), Qt::Vertical);
        QCOMPARE(w.DateSlider().Position(), 0.0);
        QCOMPARE(w.YSlider().Position(), 0.0);
    }

    void thePlotStartsFromItsDesign_data()
    {
        QTest::addColumn<Probe>("probe");
        QTest::addColumn<QVariant>("expected");
        const auto row = [](const char *name, Probe probe, const QVariant &expected) {
            QTest::newRow(name) << probe << expected;
        };
        row("X title", [](TrendWindow &w) { return xAxis(w).TitleText(); }, u"Time"_s);
        row("X span", [](TrendWindow &w) { return xAxis(w).Span(); }, 0.0069);
        row("X minor ticks", [](TrendWindow &w) { return xAxis(w).MinorCount(); }, 3);
        row("X date-time labels", [](TrendWindow &w) { return xAxis(w).LabelsFormatStyle(); }, 3);
        row("X format", [](TrendWindow &w) { return xAxis(w).DateTimeFormat(); }, u"Automatic"_s);
        row("X axis line", [](TrendWindow &w) { return xAxis(w).AxisLineVisible(); }, false);
        row("X tracking style", [](TrendWindow &w) { return xAxis(w).TrackingStyle(); }, 3);
        row("X first-value alignment", [](TrendWindow &w) { return xAxis(w).TrackingAlignFirst(); }, true);
        row("X tracking off", [](TrendWindow &w) { return xAxis(w).TrackingEnabled(); }, false);
        row("X labels colour", [](TrendWindow &w) { return xAxis(w).LabelsFontColor(); }, White);
        row("X title colour", [](TrendWindow &w) { return xAxis(w).TitleFontColor(); }, White);
        row("X title font", [](TrendWindow &w) { return xAxis(w).TitleFont().family(); }, u"Arial"_s);
        row("X title bold", [](TrendWindow &w) { return xAxis(w).TitleFont().bold(); }, true);
        row("X minor grid", [](TrendWindow &w) { return xAxis(w).MinorGridLinesVisible(); }, true);
        row("Y title", [](TrendWindow &w) { return yAxis(w).TitleText(); }, u"Y-Axis 1"_s);
        row("Y span", [](TrendWindow &w) { return yAxis(w).Span(); }, 100.0);
        row("Y format", [](TrendWindow &w) { return yAxis(w).DateTimeFormat(); }, u"hh:nn:ss"_s);
        row("Y number labels", [](TrendWindow &w) { return yAxis(w).LabelsFormatStyle(); }, 0);
        row("Y axis line", [](TrendWindow &w) { return yAxis(w).AxisLineVisible(); }, false);
        row("Y tracking style", [](TrendWindow &w) { return yAxis(w).TrackingStyle(); }, 3);
        row("Y no first-value alignment", [](TrendWindow &w) { return yAxis(w).TrackingAlignFirst(); }, false);
        row("Y labels colour", [](TrendWindow &w) { return yAxis(w).LabelsFontColor(); }, White);
        row("Y title colour", [](TrendWindow &w) { return yAxis(w).TitleFontColor(); }, White);
        row("Y title font", [](TrendWindow &w) { return yAxis(w).TitleFont().family(); }, u"Arial"_s);
        row("Y title bold", [](TrendWindow &w) { return yAxis(w).TitleFont().bold(); }, true);
        row("Y minor grid", [](TrendWindow &w) { return yAxis(w).MinorGridLinesVisible(); }, true);
        row("legend text", [](TrendWindow &w) { return w.trendPlot().Legend(0).FontColor(); }, White);
        row("legend titles colour", [](TrendWindow &w) { return w.trendPlot().Legend(0).ColumnTitlesFontColor(); }, Aqua);
        row("legend titles bold", [](TrendWindow &w) { return w.trendPlot().Legend(0).ColumnTitlesBold(); }, true);
        row("legend shown", [](TrendWindow &w) { return w.trendPlot().Legend(0).Visible(); }, true);
        row("one channel", [](TrendWindow &w) { return w.trendPlot().ChannelCount(); }, 1);
        row("channel title", [](TrendWindow &w) { return w.trendPlot().Channel(0).TitleText(); }, u"Channel 1"_s);
        row("cursor hidden", [](TrendWindow &w) { return w.trendPlot().DataCursor(0).Visible(); }, false);
        row("cursor yellow", [](TrendWindow &w) { return w.trendPlot().DataCursor(0).Color(); }, Yellow);
        row("cursor uses channel colours", [](TrendWindow &w) { return w.trendPlot().DataCursor(0).UseChannelColor(); }, true);
        row("cursor value hint", [](TrendWindow &w) { return w.trendPlot().DataCursor(0).HintVisible(); }, true);
        row("print margins", [](TrendWindow &w) { return w.trendPlot().PrintMargin(); }, 1.0);
        row("black background", [](TrendWindow &w) { return w.trendPlot().BackGroundColor(); }, OleColor(0));
    }

    void thePlotStartsFromItsDesign()
    {
        QFETCH(Probe, probe);
        QFETCH(QVariant, expected);
        QCOMPARE(probe(frmHistoryPlot()), expected);
    }

    void toolbarHasItsButtons()
    {
        TrendWindow &w = frmHistoryPlot();
        const QList<QAction *> actions = w.Toolbar1().actions();
        const QStringList keys{u"Trend Setup"_s, u"Show/Hide Data Cursor"_s, u"Save as Jpeg"_s,
                               u"Print Trend"_s, u"Print Preview"_s, u"Export PDF"_s, u"Statistics"_s};
        QCOMPARE(actions.size(), keys.size());
        for (qsizetype i = 0; i < keys.size(); ++i) {
            QCOMPARE(actions.at(i)->data().toString(), keys.at(i));
            QCOMPARE(actions.at(i)->toolTip(), keys.at(i));
            QVERIFY(!actions.at(i)->icon().isNull());
        }
    }

    void loadWritesTheTwoPanels_data()
    {
        QTest::addColumn<QString>("fileName"); // of the open log; empty: none
        QTest::addColumn<QString>("panel1");
        QTest::newRow("a log open") << u"run2.csv"_s << u"Current trend data from run2.csv"_s;
        QTest::newRow("no log") << QString() << u"Current trend data from "_s;
    }

    void loadWritesTheTwoPanels()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, panel1);
        if (!fileName.isEmpty())
            logDocument().load(LogFixture::write(LogFixture::minutes(4, 1), fileName));
        TrendWindow &w = frmHistoryPlot();
        QCOMPARE(w.panelText(1), panel1);
        QCOMPARE(w.panelText(2), u"XZoom = 0% : YZoom = 0%"_s);
    }

    void unloadLetsTheNextTouchStartAfresh()
    {
        TrendWindow &first = frmHistoryPlot();
        first.trendPlot().RemoveAllChannels();
        first.trendPlot().AddChannel();
        first.trendPlot().AddChannel();
        first.trendPlot().XAxis(0).setSpan(2.5);
        first.recordSpans(2.5);
        QCOMPARE(first.historyXspan(), 2.5);
        logDocument().load(LogFixture::write(LogFixture::minutes(4, 1), u"later.csv"_s));
        QVERIFY(first.close());
        flushDeletes();
        QVERIFY(!loadedTrendWindow());

        TrendWindow &second = frmHistoryPlot();
        QCOMPARE(second.trendPlot().ChannelCount(), 1);
        QCOMPARE(second.trendPlot().Channel(0).TitleText(), u"Channel 1"_s);
        QCOMPARE(second.trendPlot().XAxis(0).Span(), 0.0069);
        QCOMPARE(second.historyXspan(), 0.0);
        QCOMPARE(second.panelText(1), u"Current trend data from later.csv"_s);
    }

    // The plot takes most of the window; the Y slider stands right of it, the date
    // slider below it, neither over the plot.
    void plotAndSlidersAreLaidOut()
    {
        mainFrame().resize(1200, 900);
        mainFrame().show();
        TrendWindow &w = frmHistoryPlot();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mainFrame()));
        QCoreApplication::processEvents();
        const QRect plot = w.trendPlot().geometry();
        const QRect ySlider = w.YSlider().geometry();
        const QRect dateSlider = w.DateSlider().geometry();
        QVERIFY2(plot.width() > w.width() * 3 / 4, qPrintable(u"%1 of %2"_s.arg(plot.width()).arg(w.width())));
        QVERIFY2(plot.height() > w.height() / 2, qPrintable(u"%1 of %2"_s.arg(plot.height()).arg(w.height())));
        QVERIFY(ySlider.left() > plot.right());
        QVERIFY(ySlider.top() < plot.top() && ySlider.bottom() >= plot.bottom());
        QVERIFY(dateSlider.top() > plot.bottom());
        QVERIFY(dateSlider.left() < plot.left() && dateSlider.right() > plot.right());
        const QRect area = w.trendPlot().parentWidget()->rect();
        QVERIFY(area.contains(ySlider) && area.contains(dateSlider) && area.contains(plot));
    }
};

VIEWER_TEST(TrendWindowTest)
#include "tst_trendwindow.moc"
