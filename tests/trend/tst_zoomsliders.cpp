#include "support/testenv.h"
#include "support/testregistry.h"
#include "support/widgetdriver.h"

#include "controls/numericedit.h"
#include "core/oledate.h"
#include "controls/plotcontrol.h"
#include "controls/slider.h"
#include "core/logdocument.h"
#include "shell/mainframe.h"
#include "shell/openlog.h"
#include "trend/trendwindow.h"
#include "trendsetup/trendsetupdialog.h"

#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// A trend as a plot run leaves it: three channels of a morning's samples fitted by
// tracking, the X span from the first to the last sample, both full spans recorded.
TrendWindow &plottedTrend()
{
    TrendWindow &w = frmHistoryPlot();
    PlotControl &plot = w.trendPlot();
    plot.RemoveAllChannels();
    plot.ClearAllData();
    plot.XAxis(0).setTrackingEnabled(true);
    plot.YAxis(0).setTrackingEnabled(true);
    const double start = oledate::fromFields(2024, 5, 6, 7, 30, 0);
    for (int c = 0; c < 3; ++c) {
        PlotChannel channel = plot.Channel(plot.AddChannel());
        for (int i = 0; i < 600; ++i)
            channel.AddXY(start + i * 6 / 86400.0, 10 + 15 * c + 5 * std::sin(i / 40.0 + c));
    }
    const double end = start + 599 * 6 / 86400.0;
    plot.XAxis(0).setSpan(end - start);
    logDocument().setSpans({end - start, plot.YAxis(0).Span(), 0});
    return w;
}

Slider &slider(TrendWindow &w, bool x) { return x ? w.DateSlider() : w.YSlider(); }
PlotAxis axis(TrendWindow &w, bool x) { return x ? w.trendPlot().XAxis(0) : w.trendPlot().YAxis(0); }
double fullSpan(const TrendWindow &w, bool x) { return x ? w.historyXspan() : w.historyYspan(); }

} // namespace

class ZoomSlidersTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void spanFollowsThePosition_data()
    {
        QTest::addColumn<bool>("xAxis");
        QTest::addColumn<double>("position");
        QTest::addColumn<double>("expectedPosition");
        QTest::addColumn<double>("spanFactor");
        QTest::addColumn<QString>("panel");
        const auto rows = [](const char *name, bool x) {
            const auto row = [&](const char *what, double pos, double expected, double factor, const QString &figure) {
                const QString text = x ? u"XZoom = "_s + figure + u"% : YZoom = 0.00%"_s
                                       : u"XZoom = 0.00% : YZoom = "_s + figure + u"%"_s;
                QTest::addRow("%s %s", name, what) << x << pos << expected << factor << text;
            };
            row("25 narrows to three quarters", 25, 25, 0.75, u"25.00"_s);
            row("50 halves", 50, 50, 0.5, u"50.00"_s);
            row("100 is held at 99, a hundredth", 100, 99, 0.01, u"99.00"_s);
            row("-100 doubles", -100, -100, 2.0, u"-100.00"_s);
            row("-37 widens", -37, -37, 1.37, u"-37.00"_s);
            row("a fraction set by the program", 12.375, 12.375, 0.87625, u"12.38"_s);
        };
        rows("X", true);
        rows("Y", false);
    }

    // The axis length follows the slider, about the same minimum; the other axis
    // and its figure stay as they were.
    void spanFollowsThePosition()
    {
        QFETCH(bool, xAxis);
        QFETCH(double, position);
        QFETCH(double, expectedPosition);
        QFETCH(double, spanFactor);
        TrendWindow &w = plottedTrend();
        const double min = axis(w, xAxis).Min();
        const double otherMin = axis(w, !xAxis).Min();
        const double otherSpan = axis(w, !xAxis).Span();

        slider(w, xAxis).setPosition(position);

        QCOMPARE(slider(w, xAxis).Position(), expectedPosition);
        QCOMPARE(axis(w, xAxis).Span(), spanFactor * fullSpan(w, xAxis));
        QCOMPARE(axis(w, xAxis).Min(), min);
        QCOMPARE(axis(w, !xAxis).Span(), otherSpan);
        QCOMPARE(axis(w, !xAxis).Min(), otherMin);
        QCOMPARE(slider(w, !xAxis).Position(), 0.0);
        QTEST(w.panelText(2), "panel");
    }

    // The user's move to 100 is taken back to 99 at once, through a second,
    // nested position change; the axis never gets a zero length.
    void the100GuardRunsNested_data()
    {
        QTest::addColumn<bool>("xAxis");
        QTest::newRow("DateSlider") << true;
        QTest::newRow("YSlider") << false;
    }

    void the100GuardRunsNested()
    {
        QFETCH(bool, xAxis);
        TrendWindow &w = plottedTrend();
        Slider &s = slider(w, xAxis);
        s.setPosition(95);
        QSignalSpy changes(&s, &Slider::positionChanged);
        s.setFocus();
        QTest::keyClick(&s, Qt::Key_PageUp); // 95 + 10, held at the top: 100
        QList<double> seen;
        for (const QList<QVariant> &change : std::as_const(changes))
            seen << change.at(0).toDouble();
        std::sort(seen.begin(), seen.end());
        QCOMPARE(seen, (QList<double>{99.0, 100.0}));
        QCOMPARE(s.Position(), 99.0);
        QCOMPARE(s.value(), 99);
        QCOMPARE(axis(w, xAxis).Span(), 0.01 * fullSpan(w, xAxis));
        QVERIFY(w.panelText(2).contains(u"99.00%"_s));
    }

    // The keyboard is the user's way to a position: the axis follows it.
    void keysZoomTheAxis_data()
    {
        QTest::addColumn<bool>("xAxis");
        QTest::addColumn<int>("key");
        QTest::addColumn<double>("expected");
        QTest::newRow("YSlider arrow up") << false << int(Qt::Key_Up) << 41.0;
        QTest::newRow("DateSlider page down") << true << int(Qt::Key_PageDown) << 30.0;
    }

    void keysZoomTheAxis()
    {
        QFETCH(bool, xAxis);
        QFETCH(int, key);
        QFETCH(double, expected);
        TrendWindow &w = plottedTrend();
        Slider &s = slider(w, xAxis);
        s.setPosition(40);
        QTest::keyClick(&s, Qt::Key(key));
        QCOMPARE(s.Position(), expected);
        QCOMPARE(axis(w, xAxis).Span(), (100 - expected) * 0.01 * fullSpan(w, xAxis));
    }

    // Both figures are always written, whichever slider moved last.
    void theYSliderZoomsBothValueAxes_data()
    {
        QTest::addColumn<double>("position");
        QTest::newRow("half") << 50.0;
        QTest::newRow("a tenth") << 90.0;
    }

    // With a channel on the right axis, each value axis shows the same share of
    // its own full span.
    void theYSliderZoomsBothValueAxes()
    {
        QFETCH(double, position);
        TrendWindow &w = plottedTrend();
        PlotControl &plot = w.trendPlot();
        plot.Channel(2).setYAxisIndex(1);
        plot.YAxis(1).setMin(0);
        plot.YAxis(1).setSpan(40);
        logDocument().setSpans({w.historyXspan(), w.historyYspan(), 40});
        w.YSlider().setPosition(position);
        QCOMPARE(plot.YAxis(0).Span(), (100 - position) * 0.01 * w.historyYspan());
        QCOMPARE(plot.YAxis(1).Span(), (100 - position) * 0.4);
    }

    void thePanelShowsBothPositions()
    {
        TrendWindow &w = plottedTrend();
        w.YSlider().setPosition(30);
        QCOMPARE(w.panelText(2), u"XZoom = 0.00% : YZoom = 30.00%"_s);
        const double ySpan = w.trendPlot().YAxis(0).Span();
        w.DateSlider().setPosition(25);
        QCOMPARE(w.panelText(2), u"XZoom = 25.00% : YZoom = 30.00%"_s);
        QCOMPARE(w.trendPlot().YAxis(0).Span(), ySpan);
        w.YSlider().setPosition(-5);
        QCOMPARE(w.panelText(2), u"XZoom = 25.00% : YZoom = -5.00%"_s);
        QCOMPARE(w.trendPlot().XAxis(0).Span(), 0.75 * w.historyXspan());
    }

    void panelUsesTheUsersDecimalSeparator_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<QString>("panel");
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << 25.0 << -12.5
                                << u"XZoom = 25,00% : YZoom = -12,50%"_s;
        QTest::newRow("German, held at 99") << QLocale(QLocale::German, QLocale::Germany) << 100.0 << -100.0
                                            << u"XZoom = 99,00% : YZoom = -100,00%"_s;
        QTest::newRow("French") << QLocale(QLocale::French, QLocale::France) << 7.0 << 0.0
                                << u"XZoom = 7,00% : YZoom = 0,00%"_s;
        QTest::newRow("English (UK)") << QLocale(QLocale::English, QLocale::UnitedKingdom) << 25.0 << 0.0
                                      << u"XZoom = 25.00% : YZoom = 0.00%"_s;
    }

    void panelUsesTheUsersDecimalSeparator()
    {
        QFETCH(QLocale, locale);
        QFETCH(double, x);
        QFETCH(double, y);
        QLocale::setDefault(locale);
        TrendWindow &w = plottedTrend();
        w.YSlider().setPosition(y);
        w.DateSlider().setPosition(x);
        QTEST(w.panelText(2), "panel");
    }

    // OK in the trend setup sets the value axis and leaves the sliders and their
    // figures; the next move of the value slider starts from the recorded span
    // again, about the minimum the setup gave.
    void setupOkLeavesTheSliders()
    {
        TrendWindow &w = plottedTrend();
        w.DateSlider().setPosition(25);
        const QString panel = w.panelText(2);
        WidgetDriver::whenModal([](QWidget *modal) {
            auto *dialog = qobject_cast<TrendSetupDialog *>(modal);
            if (!dialog || !dialog->isVisible())
                return false;
            dialog->TrendZeroAnalog().setValue(0);
            dialog->TrendSpanAnalog().setValue(2000);
            dialog->cmdOK().click();
            return true;
        });
        w.setupHistTrend();
        PlotAxis y = w.trendPlot().YAxis(0);
        QCOMPARE(y.Min(), 0.0);
        QCOMPARE(y.Span(), 2000.0);
        QCOMPARE(w.YSlider().Position(), 0.0);
        QCOMPARE(w.DateSlider().Position(), 25.0);
        QCOMPARE(w.panelText(2), panel);

        // The time slider still leaves the value slider where it stands.
        w.DateSlider().setPosition(50);
        QCOMPARE(w.YSlider().Position(), 0.0);
        QCOMPARE(w.panelText(2), u"XZoom = 50.00% : YZoom = 0.00%"_s);
        w.YSlider().setPosition(10);
        QCOMPARE(y.Span(), 0.9 * w.historyYspan());
        QCOMPARE(y.Min(), 0.0);
    }
};

VIEWER_TEST(ZoomSlidersTest)
#include "tst_zoomsliders.moc"
