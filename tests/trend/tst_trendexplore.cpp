#include "support/logfixture.h"
#include "support/scripteddialogs.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "support/testregistry.h"
#include "support/widgetdriver.h"

#include "core/logdocument.h"
#include "core/oledate.h"
#include "controls/plotcontrol.h"
#include "controls/slider.h"
#include "core/trenddata.h"
#include "shell/mainframe.h"
#include "shell/openlog.h"
#include "shell/sharedstate.h"
#include "trend/statspanel.h"
#include "trend/trendwindow.h"
#include "trendsetup/trendsetupdialog.h"

#include <QComboBox>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

using namespace Qt::StringLiterals;

using Gesture = std::function<void(TrendWindow &)>;
Q_DECLARE_METATYPE(Gesture)

namespace {

constexpr double Minute = 1.0 / 1440;
constexpr int Samples = 200;
const double Start = oledate::fromFields(2024, 3, 14, 0, 0, 0);

double minute(double m) { return Start + m * Minute; }

QWidget *canvas(TrendWindow &w)
{
    return w.trendPlot().findChildren<QWidget *>(Qt::FindDirectChildrenOnly).value(0);
}

// A trend of the open log as a plot run leaves it, shown and viewing minutes 80
// to 120 of its 200: channel 0 with a gap every 17th sample, channel 1 in the
// even rows only.
TrendWindow &shownTrend()
{
    const QString log = LogFixture::write(LogFixture::minutes(4, 1), u"plant.csv"_s);
    logDocument().load(log);
    auto data = std::make_shared<TrendData>();
    data->setSourcePath(log);
    for (int i = 0; i < Samples; ++i)
        data->appendRow(minute(i), i + 1);
    const int a = data->addChannel(u"Flow"_s);
    const int b = data->addChannel(u"Level"_s);
    for (int i = 0; i < Samples; ++i) {
        const double value = i % 13 == 0 ? TrendData::Marked : 10 + std::sin(i * 0.37) * 5;
        data->setValue(a, i, i % 17 == 0 ? std::nan("") : value);
        data->setValue(b, i, i % 2 ? TrendData::Absent : 100 - (i % 23));
    }
    TrendWindow &w = frmHistoryPlot();
    PlotControl &plot = w.trendPlot();
    plot.RemoveAllChannels();
    plot.XAxis(0).setTrackingEnabled(true);
    plot.YAxis(0).setTrackingEnabled(true);
    plot.YAxis(1).setTrackingEnabled(true);
    plot.setTrendData(data);
    logDocument().setSpans({(Samples - 1) * Minute, plot.YAxis(0).Span(), 0});
    plot.XAxis(0).setSpan(w.historyXspan());
    mainFrame().resize(1200, 900);
    mainFrame().show();
    w.resize(800, 560);
    w.show();
    if (!QTest::qWaitForWindowExposed(&mainFrame()))
        qWarning("main frame not exposed");
    plot.replot();
    plot.setXView(minute(80), 40 * Minute);
    return w;
}

void wheel(QWidget *target, QPoint at, int notches)
{
    QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, notches * 120), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &event);
}

} // namespace

class TrendExploreTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void slidersAndScrollBarFollowTheView_data()
    {
        QTest::addColumn<Gesture>("gesture");
        QTest::addColumn<double>("expectedMin"); // minutes; NaN: not pinned
        QTest::addColumn<double>("expectedSpan");
        const double any = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("wheel in at the middle") << Gesture([](TrendWindow &w) {
            wheel(canvas(w), canvas(w)->rect().center(), 2);
        }) << any << 40 * 0.64;
        QTest::newRow("minus key") << Gesture([](TrendWindow &w) {
            w.trendPlot().setFocus();
            QTest::keyClick(&w.trendPlot(), Qt::Key_Minus);
        }) << 75.0 << 50.0;
        QTest::newRow("Home") << Gesture([](TrendWindow &w) {
            w.trendPlot().setFocus();
            QTest::keyClick(&w.trendPlot(), Qt::Key_Home);
        }) << 0.0 << 199.0;
        QTest::newRow("scroll bar to its end") << Gesture([](TrendWindow &w) {
            w.timeScrollBar().setValue(w.timeScrollBar().maximum());
        }) << 159.0 << 40.0;
        QTest::newRow("scroll bar paged back") << Gesture([](TrendWindow &w) {
            w.timeScrollBar().triggerAction(QAbstractSlider::SliderPageStepSub);
        }) << 40.0 << 40.0;
        QTest::newRow("box zoom with the right button") << Gesture([](TrendWindow &w) {
            const QPoint c = canvas(w)->rect().center();
            QTest::mousePress(canvas(w), Qt::RightButton, {}, c - QPoint(60, 40));
            QTest::mouseMove(canvas(w), c + QPoint(60, 40));
            QTest::mouseRelease(canvas(w), Qt::RightButton, {}, c + QPoint(60, 40));
        }) << any << any;
        QTest::newRow("date slider to 50 keeps the start") << Gesture([](TrendWindow &w) {
            w.DateSlider().setPosition(50);
        }) << 80.0 << 99.5;
    }

    void slidersAndScrollBarFollowTheView()
    {
        QFETCH(Gesture, gesture);
        QFETCH(double, expectedMin);
        QFETCH(double, expectedSpan);
        TrendWindow &w = shownTrend();
        PlotControl &plot = w.trendPlot();
        const double spanBefore = plot.XAxis(0).Span();
        gesture(w);

        const double min = plot.XAxis(0).Min();
        const double span = plot.XAxis(0).Span();
        if (!std::isnan(expectedMin))
            QVERIFY2(std::abs(min - minute(expectedMin)) < 1e-9, qPrintable(QString::number((min - Start) / Minute)));
        if (!std::isnan(expectedSpan))
            QVERIFY2(std::abs(span - expectedSpan * Minute) < 1e-9, qPrintable(QString::number(span / Minute)));
        else
            QVERIFY(span < spanBefore);
        // Inside the trend.
        QVERIFY(min >= minute(0) - 1e-9 && min + span <= minute(Samples - 1) + 1e-9);

        const double position = 100 - 100 * span / w.historyXspan();
        QVERIFY2(std::abs(w.DateSlider().Position() - position) < 1e-6,
                 qPrintable(u"%1 vs %2"_s.arg(w.DateSlider().Position()).arg(position)));
        QVERIFY(w.panelText(2).startsWith(u"XZoom = "_s + QLocale().toString(position, 'f', 2) + u"%"_s));
        const QScrollBar &bar = w.timeScrollBar();
        const double whole = w.historyXspan();
        if (span < whole - 1e-12) {
            const double units = bar.maximum() + bar.pageStep();
            QVERIFY(std::abs(bar.pageStep() / units - span / whole) < 1e-6);
            QVERIFY2(std::abs(bar.value() / units - (min - minute(0)) / whole) < 1e-6,
                     qPrintable(u"%1 of %2"_s.arg(bar.value()).arg(units)));
        } else {
            QCOMPARE(bar.maximum(), 0);
        }
    }

    void cursorAndGridRowMoveTogether_data()
    {
        QTest::addColumn<bool>("sameFile");
        QTest::addColumn<bool>("cursorShown");
        QTest::addColumn<int>("gridRow"); // 0: none
        QTest::addColumn<int>("rightKeys");
        QTest::addColumn<int>("expectedSample");
        QTest::addColumn<QList<int>>("toldRows");
        QTest::newRow("grid row moves the cursor") << true << true << 96 << 0 << 95 << QList<int>{96};
        QTest::newRow("a row out of view brings the view") << true << true << 181 << 0 << 180 << QList<int>{181};
        QTest::newRow("cursor steps tell the grid") << true << true << 0 << 2 << 102 << QList<int>{102, 103};
        QTest::newRow("another file in the grid") << false << true << 96 << 1 << 101 << QList<int>{};
        QTest::newRow("hidden cursor stays hidden") << true << false << 96 << 0 << -1 << QList<int>{};
    }

    void cursorAndGridRowMoveTogether()
    {
        QFETCH(bool, sameFile);
        QFETCH(bool, cursorShown);
        QFETCH(int, gridRow);
        QFETCH(int, rightKeys);
        QFETCH(int, expectedSample);
        QFETCH(QList<int>, toldRows);
        TrendWindow &w = shownTrend();
        PlotControl &plot = w.trendPlot();
        QSignalSpy told(&w, &TrendWindow::sampleRowChanged);
        if (!sameFile)
            logDocument().load(LogFixture::write(LogFixture::minutes(4, 1), u"other.csv"_s));
        if (cursorShown)
            plot.DataCursor(0).setSample(100);
        told.clear();
        if (gridRow > 0)
            w.showGridRow(gridRow);
        plot.setFocus();
        for (int i = 0; i < rightKeys; ++i)
            QTest::keyClick(&plot, Qt::Key_Right);

        QCOMPARE(plot.DataCursor(0).Visible(), cursorShown);
        QCOMPARE(plot.DataCursor(0).sample(), qsizetype(expectedSample));
        QList<int> rows;
        for (const QList<QVariant> &args : told)
            rows << args.at(0).toInt();
        QCOMPARE(rows, toldRows);
        if (expectedSample >= 0) {
            const double time = minute(expectedSample);
            QVERIFY(time >= plot.XAxis(0).Min() && time <= plot.XAxis(0).Max());
        }
    }

    void theStatisticsPanelShowsTheView_data()
    {
        QTest::addColumn<Gesture>("gesture");
        QTest::newRow("as opened") << Gesture([](TrendWindow &) {});
        QTest::newRow("after the Right key") << Gesture([](TrendWindow &w) {
            w.trendPlot().setFocus();
            QTest::keyClick(&w.trendPlot(), Qt::Key_Right);
        });
        QTest::newRow("after a drag") << Gesture([](TrendWindow &w) {
            const QPoint c = canvas(w)->rect().center();
            QTest::mousePress(canvas(w), Qt::LeftButton, {}, c);
            QTest::mouseMove(canvas(w), c + QPoint(-150, 0));
            QTest::mouseRelease(canvas(w), Qt::LeftButton, {}, c + QPoint(-150, 0));
        });
        QTest::newRow("a channel hidden") << Gesture([](TrendWindow &w) { w.trendPlot().setChannelVisible(0, false); });
        // As a followed log's new rows arrive: the data grows, the view moves on.
        QTest::newRow("rows appended") << Gesture([](TrendWindow &w) {
            const std::shared_ptr<TrendData> data = w.trendPlot().trendData();
            for (int i = Samples; i < Samples + 30; ++i) {
                const qsizetype row = data->appendRow(minute(i), i + 1);
                data->setValue(0, row, 40 + i % 7);
                data->setValue(1, row, 300);
            }
            w.trendPlot().trendDataGrew(minute(Samples + 29 - 40), 40 * Minute, true);
        });
    }

    void theStatisticsPanelShowsTheView()
    {
        QFETCH(Gesture, gesture);
        TrendWindow &w = shownTrend();
        PlotControl &plot = w.trendPlot();
        w.toolbarButtonClick(7);
        QVERIFY(w.statsPanel().isVisible());
        gesture(w);

        const std::shared_ptr<TrendData> data = plot.trendData();
        const double x0 = plot.XAxis(0).Min();
        const double x1 = plot.XAxis(0).Max();
        const StatsPanel &panel = w.statsPanel();
        int row = 0;
        for (int ch = 0; ch < plot.ChannelCount(); ++ch) {
            if (!plot.channelVisible(ch))
                continue;
            // The samples whose time lies in the view, the right edge included.
            double min = qInf(), max = -qInf(), sum = 0;
            qsizetype minAt = -1;
            qint64 count = 0, gaps = 0, marked = 0;
            for (qsizetype i = 0; i < data->rowCount(); ++i) {
                const double v = data->value(ch, i);
                if (data->time(i) < x0 || data->time(i) > x1 || TrendData::isAbsent(v))
                    continue;
                if (TrendData::isMarked(v)) {
                    ++marked;
                } else if (std::isnan(v)) {
                    ++gaps;
                } else {
                    if (v < min)
                        minAt = i;
                    min = std::min(min, v);
                    max = std::max(max, v);
                    sum += v;
                    ++count;
                }
            }
            QVERIFY(count > 0);
            if (ch == 0 && x1 < minute(Samples))
                QVERIFY(gaps > 0 && marked > 0); // the view tells them apart
            QCOMPARE(panel.item(row, 0)->text(), plot.Channel(ch).TitleText());
            QCOMPARE(panel.item(row, 1)->text(), QLocale().toString(min, 'g', 15));
            QCOMPARE(panel.item(row, 1)->toolTip(), u"Logged at "_s + plot.sampleTimeText(minAt));
            QCOMPARE(panel.item(row, 2)->text(), QLocale().toString(max, 'g', 15));
            QCOMPARE(panel.item(row, 3)->text(), QLocale().toString(sum / double(count), 'g', 6));
            QCOMPARE(panel.item(row, 4)->text(), QString::number(count));
            QCOMPARE(panel.item(row, 5)->text(), QString::number(gaps));
            QCOMPARE(panel.item(row, 6)->text(), QString::number(marked));
            ++row;
        }
        QCOMPARE(panel.rowCount(), row);
        QCOMPARE(panel.horizontalHeaderItem(5)->text(), u"Gaps"_s);
        QCOMPARE(panel.horizontalHeaderItem(6)->text(), u"Marked"_s);
    }

    // A colour picked for a pen in the trend setup shows in the panel's swatch as
    // the dialog closes, before anything else moves the view.
    void statisticsSwatchesFollowTheTrendSetup_data()
    {
        QTest::addColumn<int>("pen");
        QTest::addColumn<bool>("firstHidden");
        QTest::newRow("second channel") << 1 << false;
        // The panel lists the visible channels only: the swatch is on its first row.
        QTest::newRow("second channel, the first hidden") << 1 << true;
        QTest::newRow("first channel") << 0 << false;
    }

    void statisticsSwatchesFollowTheTrendSetup()
    {
        QFETCH(int, pen);
        QFETCH(bool, firstHidden);
        TrendWindow &w = shownTrend();
        PlotControl &plot = w.trendPlot();
        w.toolbarButtonClick(7);
        if (firstHidden)
            plot.setChannelVisible(0, false);
        const OleColor picked = 0x3366CC; // BGR: red 0xCC, green 0x66, blue 0x33
        const auto swatch = [&](int row) {
            return w.statsPanel().item(row, 0)->data(Qt::DecorationRole).value<QColor>();
        };
        const int row = firstHidden ? pen - 1 : pen;
        QVERIFY(swatch(row) != QColor(0xCC, 0x66, 0x33));
        const double viewMin = plot.XAxis(0).Min();

        shared().fileDialog = &mainFrame().cmdFile(); // as start-up shares it
        TestEnv::dialogs().colors = {picked};
        WidgetDriver::whenModal([pen](QWidget *modal) {
            auto *dialog = qobject_cast<TrendSetupDialog *>(modal);
            if (!dialog || !dialog->isVisible())
                return false;
            dialog->PenClrBtn(pen).click();
            dialog->cmdOK().click();
            return true;
        });
        w.setupHistTrend();
        QCOMPARE(plot.Channel(pen).Color(), picked);
        QCOMPARE(plot.XAxis(0).Min(), viewMin);
        QCOMPARE(swatch(row), QColor(0xCC, 0x66, 0x33));
        if (!firstHidden && pen != 0)
            QCOMPARE(swatch(0), QColor(toQColor(plot.Channel(0).Color())));
    }

    // Level put on the right value axis in the trend setup: each value axis has
    // the span of its own channel for the value slider, and a wheel notch that
    // zooms time only leaves that slider alone.
    void eachValueAxisZoomsFromItsOwnSpan()
    {
        TrendWindow &w = shownTrend();
        PlotControl &plot = w.trendPlot();
        WidgetDriver::whenModal([](QWidget *modal) {
            auto *dialog = qobject_cast<TrendSetupDialog *>(modal);
            if (!dialog || !dialog->isVisible())
                return false;
            dialog->PenAssign(1).setCurrentIndex(1);
            dialog->cmdOK().click();
            return true;
        });
        w.setupHistTrend();
        QCOMPARE(plot.Channel(1).YAxisIndex(), 1);

        wheel(canvas(w), canvas(w)->rect().center(), 1);
        QVERIFY(plot.XAxis(0).Span() < 40 * Minute);
        QCOMPARE(w.YSlider().Position(), 0.0);
        QVERIFY2(w.panelText(2).endsWith(u" : YZoom = 0.00%"_s), qPrintable(w.panelText(2)));

        const TrendStats flow = plot.trendData()->stats(0);
        const TrendStats level = plot.trendData()->stats(1);
        w.YSlider().setPosition(50);
        QCOMPARE(plot.YAxis(0).Span(), (flow.max - flow.min) / 2);
        QCOMPARE(plot.YAxis(1).Span(), (level.max - level.min) / 2);
        w.YSlider().setPosition(0);
        QCOMPARE((QList<double>{plot.YAxis(0).Min(), plot.YAxis(0).Max(), plot.YAxis(1).Min(), plot.YAxis(1).Max()}),
                 (QList<double>{flow.min, flow.max, level.min, level.max}));
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }
};

VIEWER_TEST(TrendExploreTest)
#include "tst_trendexplore.moc"
