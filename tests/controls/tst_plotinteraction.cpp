#include "support/testenv.h"
#include "support/testregistry.h"

#include "core/oledate.h"
#include "controls/plotcontrol.h"
#include "core/trenddata.h"
#include "core/viewstats.h"

#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <limits>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr double Minute = 1.0 / 1440;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
const double Start = oledate::fromFields(2024, 3, 14, 0, 0, 0);

double minute(double m) { return Start + m * Minute; }

// `samples` samples a minute apart from grid row 1 on; channel 0 (read from grid
// column 2) walks up and down with a gap every 17th sample, a mark in every
// 13th (when not a gap) and an outage over samples 300 to 340; channel 1 is
// sampled only in the even rows.
std::shared_ptr<TrendData> minuteTrend(int samples)
{
    auto data = std::make_shared<TrendData>();
    for (int i = 0; i < samples; ++i)
        data->appendRow(minute(i), i + 1);
    const int a = data->addChannel(u"Flow"_s);
    const int b = data->addChannel(u"Level"_s);
    data->setSourceColumn(a, 2);
    data->setSourceColumn(b, 3);
    for (int i = 0; i < samples; ++i) {
        const bool gap = i % 17 == 0 || (i >= 300 && i <= 340);
        const double value = i % 13 == 0 ? TrendData::Marked : 10 + std::sin(i * 0.37) * 5 + (i % 11) * 0.25;
        data->setValue(a, i, gap ? NaN : value);
        data->setValue(b, i, i % 2 ? TrendData::Absent : 100 - (i % 23));
    }
    return data;
}

QWidget *canvas(PlotControl &plot)
{
    return plot.findChildren<QWidget *>(Qt::FindDirectChildrenOnly).value(0);
}

// The column where the yellow cursor line crosses row `y`; -1 when not drawn.
int cursorColumn(PlotControl &plot, int y)
{
    const QImage image = plot.grab().toImage();
    for (int x = 0; x < image.width(); ++x) {
        const QRgb c = image.pixel(x, y);
        if (qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) < 80)
            return x;
    }
    return -1;
}

// A shown plot of the minute trend, viewing minutes [from, from + span].
void showTrend(PlotControl &plot, int samples, double from, double span)
{
    plot.resize(700, 450);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    plot.XAxis(0).setTrackingEnabled(true);
    plot.YAxis(0).setTrackingEnabled(true);
    plot.setTrendData(minuteTrend(samples));
    plot.setSampleText([](int column, int row) {
        return column == 0 ? u"3/14/2024"_s : u"c%1r%2"_s.arg(column).arg(row);
    });
    plot.setXView(minute(from), span * Minute);
    plot.replot();
}

void wheel(QWidget *target, QPoint at, int notches, Qt::KeyboardModifiers modifiers = {})
{
    QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, notches * 120), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &event);
}

// Samples from the view's lines, walked one by one.
ViewStats directStats(const TrendData &data, int channel, double x0, double x1)
{
    ViewStats s;
    for (qsizetype i = 0; i < data.rowCount(); ++i) {
        const double v = data.value(channel, i);
        if (data.time(i) < x0 || data.time(i) > x1 || TrendData::isAbsent(v))
            continue;
        if (std::isnan(v)) {
            ++(TrendData::isMarked(v) ? s.marked : s.gaps);
            continue;
        }
        ++s.stats.count;
        s.stats.sum += v;
        if (v < s.stats.min) {
            s.stats.min = v;
            s.minSample = i;
        }
        if (v > s.stats.max) {
            s.stats.max = v;
            s.maxSample = i;
        }
    }
    return s;
}

} // namespace

class PlotInteractionTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void wheelZoomKeepsTheTimeUnderThePointer_data()
    {
        QTest::addColumn<int>("sample");
        QTest::addColumn<int>("notches");
        QTest::newRow("in, middle") << 100 << 1;
        QTest::newRow("in twice, left part") << 62 << 2;
        QTest::newRow("in three times, near the start") << 55 << 3;
        QTest::newRow("out, right part") << 140 << -1;
    }

    void wheelZoomKeepsTheTimeUnderThePointer()
    {
        QFETCH(int, sample);
        QFETCH(int, notches);
        PlotControl plot;
        showTrend(plot, 200, 50, 100);
        // The pointer rests on the cursor's line, so the time under it is known.
        plot.DataCursor(0).setSample(sample);
        const int y = plot.height() * 3 / 4;
        const int before = cursorColumn(plot, y);
        QVERIFY(before > 0);
        const double span = plot.XAxis(0).Span();

        wheel(canvas(plot), QPoint(before, y), notches);

        QCOMPARE(plot.XAxis(0).Span(), span * std::pow(0.8, notches));
        const int after = cursorColumn(plot, y);
        QVERIFY2(std::abs(after - before) <= 1, qPrintable(u"%1 -> %2"_s.arg(before).arg(after)));
    }

    void zoomStopsAtAboutTenSamples_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::newRow("wheel") << u"wheel"_s;
        QTest::newRow("plus key") << u"plus"_s;
        QTest::newRow("narrow box") << u"box"_s;
    }

    void zoomStopsAtAboutTenSamples()
    {
        QFETCH(QString, gesture);
        PlotControl plot;
        showTrend(plot, 200, 50, 100);
        const QPoint middle(plot.width() / 2, plot.height() / 2);
        plot.setFocus();
        for (int i = 0; i < 30; ++i) {
            if (gesture == u"wheel"_s)
                wheel(canvas(plot), middle, 1);
            else if (gesture == u"plus"_s)
                QTest::keyClick(&plot, Qt::Key_Plus);
        }
        if (gesture == u"box"_s) {
            QTest::mousePress(canvas(plot), Qt::LeftButton, Qt::ShiftModifier, middle - QPoint(10, 40));
            QTest::mouseMove(canvas(plot), middle + QPoint(10, 40));
            QTest::mouseRelease(canvas(plot), Qt::LeftButton, Qt::ShiftModifier, middle + QPoint(10, 40));
        }
        // 200 samples a minute apart: ten of them span ten minutes.
        QVERIFY2(std::abs(plot.XAxis(0).Span() - 10 * Minute) < 1e-12, qPrintable(QString::number(plot.XAxis(0).Span() / Minute)));
        QVERIFY(plot.XAxis(0).Min() >= minute(50) && plot.XAxis(0).Max() <= minute(150));
    }

    void panNeverLeavesTheTrend_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("amount");
        QTest::addColumn<double>("expectedMin");
        // 200 samples: the view of 50 minutes can start at minutes 0 to 149.
        QTest::newRow("drag far right") << 20.0 << u"drag"_s << 2000 << 0.0;
        QTest::newRow("drag far left") << 20.0 << u"drag"_s << -2000 << 149.0;
        QTest::newRow("Right key, once") << 100.0 << u"keys"_s << 1 << 105.0;
        QTest::newRow("Right key past the end") << 100.0 << u"keys"_s << 30 << 149.0;
        QTest::newRow("Left key past the start") << 20.0 << u"keys"_s << -30 << 0.0;
    }

    void panNeverLeavesTheTrend()
    {
        QFETCH(double, from);
        QFETCH(QString, gesture);
        QFETCH(int, amount);
        QFETCH(double, expectedMin);
        PlotControl plot;
        showTrend(plot, 200, from, 50);
        if (gesture == u"drag"_s) {
            const QPoint start(plot.width() / 2, plot.height() / 2);
            QTest::mousePress(canvas(plot), Qt::LeftButton, {}, start);
            QTest::mouseMove(canvas(plot), start + QPoint(amount / 2, 0));
            QTest::mouseMove(canvas(plot), start + QPoint(amount, 0));
            QTest::mouseRelease(canvas(plot), Qt::LeftButton, {}, start + QPoint(amount, 0));
        } else {
            plot.setFocus();
            for (int i = 0; i < std::abs(amount); ++i)
                QTest::keyClick(&plot, amount > 0 ? Qt::Key_Right : Qt::Key_Left);
        }
        QVERIFY2(std::abs(plot.XAxis(0).Min() - minute(expectedMin)) < 1e-9,
                 qPrintable(QString::number((plot.XAxis(0).Min() - Start) / Minute)));
        QCOMPARE(plot.XAxis(0).Span(), 50 * Minute);
    }

    void valueGesturesMoveBothValueAxesAlike_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::newRow("Ctrl+wheel in, upper part") << u"wheel"_s;
        QTest::newRow("drag up") << u"drag"_s;
        QTest::newRow("Up key") << u"key"_s;
        QTest::newRow("box") << u"box"_s;
    }

    // With a channel on the right axis, each gesture on values maps the same
    // pixels to each axis's values as before: both axes move by the same share
    // of their spans.
    void valueGesturesMoveBothValueAxesAlike()
    {
        QFETCH(QString, gesture);
        PlotControl plot;
        showTrend(plot, 200, 20, 50);
        plot.Channel(1).setYAxisIndex(1);
        plot.YAxis(0).setMin(0);
        plot.YAxis(0).setSpan(20);
        plot.YAxis(1).setMin(70);
        plot.YAxis(1).setSpan(40);
        plot.replot();
        const QPoint middle(plot.width() / 2, plot.height() / 2);
        const QPoint high = middle - QPoint(0, plot.height() / 5);
        if (gesture == u"wheel"_s) {
            wheel(canvas(plot), high, 2, Qt::ControlModifier);
        } else if (gesture == u"drag"_s) {
            QTest::mousePress(canvas(plot), Qt::LeftButton, {}, middle);
            QTest::mouseMove(canvas(plot), high);
            QTest::mouseRelease(canvas(plot), Qt::LeftButton, {}, high);
        } else if (gesture == u"key"_s) {
            plot.setFocus();
            QTest::keyClick(&plot, Qt::Key_Up);
        } else {
            QTest::mousePress(canvas(plot), Qt::RightButton, {}, high - QPoint(60, 30));
            QTest::mouseMove(canvas(plot), middle + QPoint(60, 10));
            QTest::mouseRelease(canvas(plot), Qt::RightButton, {}, middle + QPoint(60, 10));
        }
        const double leftShift = (plot.YAxis(0).Min() - 0) / 20;
        const double rightShift = (plot.YAxis(1).Min() - 70) / 40;
        const double leftZoom = plot.YAxis(0).Span() / 20;
        const double rightZoom = plot.YAxis(1).Span() / 40;
        QVERIFY2(leftShift != 0 || leftZoom != 1, "the left axis did not move");
        QVERIFY2(std::abs(leftShift - rightShift) < 1e-6 && std::abs(leftZoom - rightZoom) < 1e-6,
                 qPrintable(u"left %1 x%2, right %3 x%4"_s.arg(leftShift).arg(leftZoom).arg(rightShift).arg(rightZoom)));
    }

    void theCursorPicksTheNearestSampleAndShowsItsLoggedText_data()
    {
        QTest::addColumn<double>("drag");  // in sample spacings; 0 for none
        QTest::addColumn<int>("rightKeys"); // negative for Left
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("valueText");
        QTest::addColumn<int>("from"); // the sample the cursor starts at; the view shows 40 from 80, or from 0 under 40
        QTest::newRow("dragged short of half a spacing") << 0.4 << 0 << 100 << u"c2r101"_s << 100;
        QTest::newRow("dragged past half a spacing") << 0.6 << 0 << 101 << u"c2r102"_s << 100;
        QTest::newRow("dragged back") << -1.6 << 0 << 98 << u"c2r99"_s << 100;
        QTest::newRow("dragged onto a gap") << 2.4 << 0 << 102 << u"-"_s << 100;
        QTest::newRow("dragged onto a mark: as logged") << 3.6 << 0 << 104 << u"c2r105"_s << 100;
        QTest::newRow("dragged past the left edge") << -40.0 << 0 << 80 << u"c2r81"_s << 100;
        QTest::newRow("dragged past the right edge") << 40.0 << 0 << 120 << u"c2r121"_s << 100;
        QTest::newRow("Right three times") << 0.0 << 3 << 103 << u"c2r104"_s << 100;
        QTest::newRow("Left twice") << 0.0 << -2 << 98 << u"c2r99"_s << 100;
        QTest::newRow("the first sample (a gap), short of the midpoint") << -0.6 << 0 << 0 << u"-"_s << 1;
    }

    void theCursorPicksTheNearestSampleAndShowsItsLoggedText()
    {
        QFETCH(double, drag);
        QFETCH(int, rightKeys);
        QFETCH(int, expected);
        QFETCH(QString, valueText);
        QFETCH(int, from);
        const int viewFrom = from < 40 ? 0 : 80;
        PlotControl plot;
        showTrend(plot, 200, viewFrom, 40);
        PlotDataCursor cursor = plot.DataCursor(0);
        const int y = plot.height() * 3 / 4;
        cursor.setSample(from + 1);
        const int next = cursorColumn(plot, y);
        cursor.setSample(from);
        const int here = cursorColumn(plot, y);
        QVERIFY(here > 0 && next > here + 8);

        if (drag != 0) {
            const QPoint to(here + int(std::lround(drag * (next - here))), y);
            QTest::mousePress(canvas(plot), Qt::LeftButton, {}, QPoint(here, y));
            QTest::mouseMove(canvas(plot), to);
            QTest::mouseRelease(canvas(plot), Qt::LeftButton, {}, to);
        }
        plot.setFocus();
        for (int i = 0; i < std::abs(rightKeys); ++i)
            QTest::keyClick(&plot, rightKeys > 0 ? Qt::Key_Right : Qt::Key_Left);

        QCOMPARE(cursor.sample(), qsizetype(expected));
        QCOMPARE(cursor.Position(), minute(expected));
        QCOMPARE(cursor.timeText(), u"3/14/2024 c1r%1"_s.arg(expected + 1));
        QCOMPARE(cursor.valueText(0), valueText);
        // The view did not move under the cursor's drag or steps.
        QCOMPARE(plot.XAxis(0).Min(), minute(viewFrom));
    }

    void viewStatisticsEqualADirectComputation_data()
    {
        QTest::addColumn<double>("from"); // minutes
        QTest::addColumn<double>("to");
        QTest::newRow("whole trend") << 0.0 << 4999.0;
        QTest::newRow("unaligned, many blocks") << 10.5 << 3073.2;
        QTest::newRow("one whole block") << 64.0 << 127.0;
        QTest::newRow("the outage with its edges") << 299.0 << 341.0;
        QTest::newRow("only the outage") << 301.0 << 339.0;
        QTest::newRow("one sample") << 150.0 << 150.0;
        QTest::newRow("between two samples") << 150.2 << 150.8;
    }

    void viewStatisticsEqualADirectComputation()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        const std::shared_ptr<TrendData> data = minuteTrend(5000);
        for (int ch = 0; ch < data->channelCount(); ++ch) {
            const ViewStats want = directStats(*data, ch, minute(from), minute(to));
            const ViewStats got = viewStats(*data, ch, minute(from), minute(to));
            QCOMPARE(got.stats.count, want.stats.count);
            QCOMPARE(got.gaps, want.gaps);
            QCOMPARE(got.marked, want.marked);
            QCOMPARE(got.minSample, want.minSample);
            QCOMPARE(got.maxSample, want.maxSample);
            if (want.stats.count > 0) {
                QCOMPARE(got.stats.min, want.stats.min);
                QCOMPARE(got.stats.max, want.stats.max);
                QVERIFY(std::abs(got.mean() - want.mean()) < 1e-9);
            }
        }
    }
};

VIEWER_TEST(PlotInteractionTest)
#include "tst_plotinteraction.moc"
