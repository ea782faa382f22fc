#include "support/scripteddialogs.h"
#include "support/testenv.h"
#include "support/errorof.h"
#include "support/testregistry.h"

#include "core/datetimeformat.h"
#include "core/oledate.h"
#include "controls/plotcontrol.h"
#include "core/runtimeerror.h"
#include "core/trenddata.h"
#include "controls/twips.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <qcustomplot.h>

#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <unistd.h>

using namespace Qt::StringLiterals;

using PlotOp = std::function<void(PlotControl &)>;
Q_DECLARE_METATYPE(PlotOp)

namespace {

// 14 March 2024 at the given time.
double at(int hour, int minute = 0, int second = 0)
{
    return oledate::fromFields(2024, 3, 14, hour, minute, second);
}

// The error number an operation throws; 0 when it throws none.
// The plotting widget inside the control, which receives the mouse.
QWidget *canvas(PlotControl &plot)
{
    return plot.findChildren<QWidget *>(Qt::FindDirectChildrenOnly).value(0);
}

bool isCursorYellow(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) < 80;
}

// The column where the yellow cursor line crosses row `y`; -1 when it is not shown.
int cursorColumn(PlotControl &plot, int y)
{
    const QImage image = plot.grab().toImage();
    for (int x = 0; x < image.width(); ++x) {
        if (isCursorYellow(image.pixel(x, y)))
            return x;
    }
    return -1;
}

// Two channels over two hours: 0 rises 10, 20, 40; 1 starts at 9:30.
void fillTwoChannels(PlotControl &plot)
{
    plot.XAxis(0).setTrackingEnabled(true);
    plot.YAxis(0).setTrackingEnabled(true);
    PlotChannel first = plot.Channel(plot.AddChannel());
    first.AddXY(at(8), 10);
    first.AddXY(at(9), 20);
    first.AddXY(at(10), 40);
    PlotChannel second = plot.Channel(plot.AddChannel());
    second.AddXY(at(9, 30), 5);
    second.AddXY(at(10), 7);
}

// An sRGB component as light, 0 to 1.
double linear(double v)
{
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// CIE L*a*b* of an sRGB colour (D65 white).
std::array<double, 3> lab(const QColor &c)
{
    const double r = linear(c.redF()), g = linear(c.greenF()), b = linear(c.blueF());
    const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
    const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
    const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
    const auto f = [](double t) { return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116; };
    return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}

// The CIEDE2000 colour difference of two L*a*b* colours.
double deltaE2000(const std::array<double, 3> &one, const std::array<double, 3> &two)
{
    const auto [l1, a1, b1] = one;
    const auto [l2, a2, b2] = two;
    const double deg = M_PI / 180;
    const double c7 = std::pow((std::hypot(a1, b1) + std::hypot(a2, b2)) / 2, 7);
    const double g = 0.5 * (1 - std::sqrt(c7 / (c7 + std::pow(25.0, 7))));
    const double a1p = (1 + g) * a1, a2p = (1 + g) * a2;
    const double c1p = std::hypot(a1p, b1), c2p = std::hypot(a2p, b2);
    const auto hue = [&](double b, double ap) {
        return b == 0 && ap == 0 ? 0.0 : std::fmod(std::atan2(b, ap) / deg + 360, 360);
    };
    const double h1p = hue(b1, a1p), h2p = hue(b2, a2p);
    double dh = 0;
    if (c1p * c2p != 0) {
        dh = h2p - h1p;
        dh += dh > 180 ? -360 : dh < -180 ? 360 : 0;
    }
    const double dL = l2 - l1, dC = c2p - c1p;
    const double dH = 2 * std::sqrt(c1p * c2p) * std::sin(dh / 2 * deg);
    const double lMean = (l1 + l2) / 2, cMean = (c1p + c2p) / 2;
    double hMean = h1p + h2p;
    if (c1p * c2p != 0)
        hMean = std::abs(h1p - h2p) <= 180 ? hMean / 2 : (hMean < 360 ? (hMean + 360) / 2 : (hMean - 360) / 2);
    const double t = 1 - 0.17 * std::cos((hMean - 30) * deg) + 0.24 * std::cos(2 * hMean * deg)
                     + 0.32 * std::cos((3 * hMean + 6) * deg) - 0.20 * std::cos((4 * hMean - 63) * deg);
    const double theta = 30 * std::exp(-std::pow((hMean - 275) / 25, 2));
    const double cMean7 = std::pow(cMean, 7);
    const double rc = 2 * std::sqrt(cMean7 / (cMean7 + std::pow(25.0, 7)));
    const double sl = 1 + 0.015 * std::pow(lMean - 50, 2) / std::sqrt(20 + std::pow(lMean - 50, 2));
    const double sc = 1 + 0.045 * cMean, sh = 1 + 0.015 * cMean * t;
    const double rt = -std::sin(2 * theta * deg) * rc;
    return std::sqrt(std::pow(dL / sl, 2) + std::pow(dC / sc, 2) + std::pow(dH / sh, 2) + rt * (dC / sc) * (dH / sh));
}

// The contrast ratio of two colours, 1 to 21.
double contrast(const QColor &one, const QColor &two)
{
    const auto luminance = [](const QColor &c) {
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double a = luminance(one), b = luminance(two);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// The longest row of pixels in `color`: how many stretches of it the row has
// between its first and last such pixel.
int stretchesOnTheLongestRow(const QImage &image, const QColor &color)
{
    const auto isColor = [&](int x, int y) {
        const QColor c = image.pixelColor(x, y);
        return std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) + std::abs(c.blue() - color.blue()) < 40;
    };
    int bestRow = 0;
    int bestCount = -1;
    for (int y = 0; y < image.height(); ++y) {
        int count = 0;
        for (int x = 0; x < image.width(); ++x)
            count += isColor(x, y);
        if (count > bestCount) {
            bestCount = count;
            bestRow = y;
        }
    }
    int stretches = 0;
    for (int x = 0; x < image.width(); ++x) {
        if (isColor(x, bestRow) && (x == 0 || !isColor(x - 1, bestRow)))
            ++stretches;
    }
    return stretches;
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class PlotControlTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void channelsAreNumberedFromZeroAfterRemoveAllChannels()
    {
        PlotControl plot;
        QCOMPARE(plot.AddChannel(), 0);
        QCOMPARE(plot.AddChannel(), 1);
        QCOMPARE(plot.AddChannel(), 2);
        QCOMPARE(plot.ChannelCount(), 3);
        plot.Channel(2).setTitleText(u"Flow"_s);
        plot.RemoveAllChannels();
        QCOMPARE(plot.ChannelCount(), 0);
        QCOMPARE(plot.AddChannel(), 0);
        QCOMPARE(plot.ChannelCount(), 1);
        QCOMPARE(plot.Channel(0).TitleText(), QString());
        QCOMPARE(plot.Channel(0).Color(), PlotControl::defaultChannelColor(0));
    }

    void aHandleOfARemovedChannelIsOutOfRange()
    {
        PlotControl plot;
        plot.AddChannel();
        PlotChannel second = plot.Channel(plot.AddChannel());
        plot.RemoveAllChannels();
        plot.AddChannel();
        QCOMPARE(errorOf([&] { second.AddXY(1, 1); }), 9);
    }

    void onlyTheExistingPartsCanBeReached_data()
    {
        QTest::addColumn<PlotOp>("op");
        QTest::newRow("X axis 1") << PlotOp([](PlotControl &p) { p.XAxis(1); });
        QTest::newRow("Y axis -1") << PlotOp([](PlotControl &p) { p.YAxis(-1); });
        QTest::newRow("legend 1") << PlotOp([](PlotControl &p) { p.Legend(1); });
        QTest::newRow("data cursor 2") << PlotOp([](PlotControl &p) { p.DataCursor(2); });
        QTest::newRow("channel 0 of none") << PlotOp([](PlotControl &p) { p.Channel(0); });
        QTest::newRow("channel -1") << PlotOp([](PlotControl &p) { p.Channel(-1); });
        QTest::newRow("cursor value of a missing channel")
            << PlotOp([](PlotControl &p) { p.DataCursor(0).valueText(0); });
    }

    void onlyTheExistingPartsCanBeReached()
    {
        QFETCH(PlotOp, op);
        PlotControl plot;
        QCOMPARE(errorOf([&] { op(plot); }), 9);
    }

    void invalidValuesAreRefused_data()
    {
        QTest::addColumn<PlotOp>("op");
        const double nan = std::nan("");
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("negative span") << PlotOp([](PlotControl &p) { p.XAxis(0).setSpan(-0.5); });
        QTest::newRow("span not a number") << PlotOp([=](PlotControl &p) { p.YAxis(0).setSpan(nan); });
        QTest::newRow("infinite minimum") << PlotOp([=](PlotControl &p) { p.YAxis(0).setMin(inf); });
        QTest::newRow("minor count -1") << PlotOp([](PlotControl &p) { p.XAxis(0).setMinorCount(-1); });
        QTest::newRow("minor count 101") << PlotOp([](PlotControl &p) { p.YAxis(0).setMinorCount(101); });
        QTest::newRow("tracking style 4") << PlotOp([](PlotControl &p) { p.XAxis(0).setTrackingStyle(4); });
        QTest::newRow("tracking style -1") << PlotOp([](PlotControl &p) { p.YAxis(0).setTrackingStyle(-1); });
        QTest::newRow("labels style 6") << PlotOp([](PlotControl &p) { p.XAxis(0).setLabelsFormatStyle(6); });
        QTest::newRow("trace width 0")
            << PlotOp([](PlotControl &p) { p.Channel(p.AddChannel()).setTraceLineWidth(0); });
        QTest::newRow("trace width 21")
            << PlotOp([](PlotControl &p) { p.Channel(p.AddChannel()).setTraceLineWidth(21); });
        QTest::newRow("background beyond 24 bits")
            << PlotOp([](PlotControl &p) { p.setBackGroundColor(0x1000000); });
        QTest::newRow("labels colour") << PlotOp([](PlotControl &p) { p.XAxis(0).setLabelsFontColor(0xFF000000); });
        QTest::newRow("scale lines colour") << PlotOp([](PlotControl &p) { p.YAxis(0).setScaleLinesColor(0x1000000); });
        QTest::newRow("legend colour") << PlotOp([](PlotControl &p) { p.Legend(0).setFontColor(0x1000000); });
        QTest::newRow("cursor colour") << PlotOp([](PlotControl &p) { p.DataCursor(0).setColor(0x1000000); });
        QTest::newRow("cursor position") << PlotOp([=](PlotControl &p) { p.DataCursor(0).setPosition(nan); });
        QTest::newRow("X not a number") << PlotOp([=](PlotControl &p) { p.Channel(p.AddChannel()).AddXY(nan, 1); });
        QTest::newRow("infinite Y") << PlotOp([=](PlotControl &p) { p.Channel(p.AddChannel()).AddXY(1, inf); });
        QTest::newRow("print margin -0.5") << PlotOp([](PlotControl &p) { p.setPrintMargin(-0.5); });
        QTest::newRow("print margin 3.5") << PlotOp([](PlotControl &p) { p.setPrintMargin(3.5); });
        QTest::newRow("negative width") << PlotOp([](PlotControl &p) { p.setWidth(-15); });
        QTest::newRow("JPEG quality 101")
            << PlotOp([](PlotControl &p) { p.SaveJPEG(TestEnv::tempDir() + u"/q.jpg"_s, 101, false); });
    }

    void invalidValuesAreRefused()
    {
        QFETCH(PlotOp, op);
        PlotControl plot;
        QCOMPARE(errorOf([&] { op(plot); }), 380);
    }

    void aRefusedValueChangesNothing()
    {
        PlotControl plot;
        plot.YAxis(0).setSpan(40);
        plot.YAxis(0).setMinorCount(4);
        QCOMPARE(errorOf([&] { plot.YAxis(0).setSpan(-1); }), 380);
        QCOMPARE(errorOf([&] { plot.YAxis(0).setMinorCount(-1); }), 380);
        QCOMPARE(plot.YAxis(0).Span(), 40.0);
        QCOMPARE(plot.YAxis(0).MinorCount(), 4);
        QCOMPARE(plot.XAxis(0).TrackingStyle(), int(PlotAxis::ScaleMinMax));
        QCOMPARE(errorOf([&] { plot.XAxis(0).setTrackingStyle(7); }), 380);
        QCOMPARE(plot.XAxis(0).TrackingStyle(), int(PlotAxis::ScaleMinMax));
    }

    // What the trend builder relies on: Y set to 0..100, X span 0, tracking on,
    // points appended; then the Y span is read back fitted, X starts at the data.
    void minMaxTrackingFitsTheAxesToTheData()
    {
        PlotControl plot;
        plot.YAxis(0).setMin(0);
        plot.YAxis(0).setSpan(100);
        plot.XAxis(0).setSpan(0);
        plot.XAxis(0).setTrackingEnabled(true);
        plot.YAxis(0).setTrackingEnabled(true);
        PlotChannel a = plot.Channel(plot.AddChannel());
        PlotChannel b = plot.Channel(plot.AddChannel());
        a.AddXY(at(23), 12.5);
        a.AddXY(at(23, 30), 30);
        b.AddXY(at(23, 15), 17.5);
        b.AddXY(at(23, 45), -2.5);
        QCOMPARE(plot.YAxis(0).Min(), -2.5);
        QCOMPARE(plot.YAxis(0).Span(), 32.5);
        QCOMPARE(plot.YAxis(0).Max(), 30.0);
        QCOMPARE(plot.XAxis(0).Min(), at(23));
        QCOMPARE(plot.XAxis(0).Max(), at(23, 45));
    }

    // A zoom (an explicit span) after the data has come in survives every later
    // drawing; only new points refit the axis.
    void anExplicitSpanWinsOverThePendingFit()
    {
        PlotControl plot;
        plot.resize(400, 300);
        plot.XAxis(0).setTrackingEnabled(true);
        PlotChannel c = plot.Channel(plot.AddChannel());
        for (int minute = 0; minute <= 60; ++minute)
            c.AddXY(at(8) + minute / 1440.0, minute);
        const double full = at(9) - at(8);
        plot.XAxis(0).setSpan(full / 4);
        plot.replot();
        plot.replot();
        QCOMPARE(plot.XAxis(0).Span(), full / 4);
        QCOMPARE(plot.XAxis(0).Min(), at(8));
        c.AddXY(at(9, 30), 0);
        QCOMPARE(plot.XAxis(0).Span(), at(9, 30) - at(8));
    }

    void withoutTrackingTheAxesStay()
    {
        PlotControl plot;
        plot.YAxis(0).setMin(0);
        plot.YAxis(0).setSpan(100);
        PlotChannel c = plot.Channel(plot.AddChannel());
        c.AddXY(at(8), 500);
        c.AddXY(at(9), 700);
        plot.replot();
        QCOMPARE(plot.YAxis(0).Min(), 0.0);
        QCOMPARE(plot.YAxis(0).Span(), 100.0);
        // Switched on later, tracking takes in the points already there.
        plot.YAxis(0).setTrackingEnabled(true);
        QCOMPARE(plot.YAxis(0).Min(), 500.0);
        QCOMPARE(plot.YAxis(0).Span(), 200.0);
    }

    void trackingStyles_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("alignFirst");
        QTest::addColumn<double>("min1");
        QTest::addColumn<double>("span1");
        QTest::addColumn<double>("later");
        QTest::addColumn<double>("min2");
        QTest::addColumn<double>("span2");
        // Points 3, 8, 14, 27 on an axis 0..10; then span 100 and one more point.
        QTest::newRow("min-max fits both ways") << 3 << false << 3.0 << 24.0 << 50.0 << 3.0 << 47.0;
        QTest::newRow("expand never shrinks") << 2 << false << 3.0 << 24.0 << 50.0 << 3.0 << 100.0;
        QTest::newRow("page moves by whole spans") << 0 << false << 20.0 << 10.0 << 150.0 << 120.0 << 100.0;
        QTest::newRow("page aligned to the first value") << 0 << true << 23.0 << 10.0 << 150.0 << 123.0 << 100.0;
        QTest::newRow("smooth ends at the newest point") << 1 << false << 17.0 << 10.0 << 150.0 << 50.0 << 100.0;
    }

    void trackingStyles()
    {
        QFETCH(int, style);
        QFETCH(bool, alignFirst);
        PlotControl plot;
        PlotAxis x = plot.XAxis(0);
        x.setMin(0);
        x.setSpan(10);
        x.setTrackingStyle(style);
        x.setTrackingAlignFirst(alignFirst);
        x.setTrackingEnabled(true);
        PlotChannel c = plot.Channel(plot.AddChannel());
        for (double v : {3.0, 8.0, 14.0, 27.0})
            c.AddXY(v, 1);
        QTEST(x.Min(), "min1");
        QTEST(x.Span(), "span1");
        x.setSpan(100);
        QFETCH(double, later);
        c.AddXY(later, 1);
        QTEST(x.Min(), "min2");
        QTEST(x.Span(), "span2");
    }

    void dataWithoutExtentKeepsASpanItCanShow_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("span");
        QTest::newRow("ordinary value") << 42.0 << 100.0;
        // Far from zero the set span would vanish in the value's rounding.
        QTest::newRow("a constant 1e18") << 1e18 << 1e16;
        QTest::newRow("a large negative constant") << -3e200 << 3e198;
    }

    void dataWithoutExtentKeepsASpanItCanShow()
    {
        QFETCH(double, value);
        QFETCH(double, span);
        PlotControl plot;
        plot.resize(600, 400);
        plot.YAxis(0).setMin(0);
        plot.YAxis(0).setSpan(100);
        plot.YAxis(0).setTrackingEnabled(true);
        PlotChannel c = plot.Channel(plot.AddChannel());
        c.AddXY(at(8), value);
        c.AddXY(at(9), value);
        QCOMPARE(plot.YAxis(0).Span(), span);
        QCOMPARE(plot.YAxis(0).Min(), value - span / 2);
        const QList<double> ticks = plot.YAxis(0).tickPositions();
        QVERIFY(ticks.size() >= 2);
        QVERIFY(ticks.first() >= value - span && ticks.last() <= value + span);
    }

    void aZeroSpanShowsTicksInsideItsStandIn_data()
    {
        QTest::addColumn<bool>("xAxis");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("standIn");
        QTest::newRow("X: a second") << true << at(8) << 1.0 / 86400;
        QTest::newRow("Y: one unit") << false << 250.0 << 1.0;
    }

    void aZeroSpanShowsTicksInsideItsStandIn()
    {
        QFETCH(bool, xAxis);
        QFETCH(double, min);
        QFETCH(double, standIn);
        PlotControl plot;
        plot.resize(600, 400);
        PlotAxis axis = xAxis ? plot.XAxis(0) : plot.YAxis(0);
        axis.setMin(min);
        axis.setSpan(0);
        const QList<double> ticks = axis.tickPositions();
        QVERIFY(!ticks.isEmpty());
        const double slack = standIn * 1e-6;
        for (double t : ticks)
            QVERIFY2(t >= min - slack && t <= min + standIn + slack, qPrintable(QString::number(t - min, 'g', 17)));
        QCOMPARE(axis.Span(), 0.0);
    }

    void channelsComeAndGoWithFewLegendLayouts_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<bool>("asTrendData"); // else one AddChannel() each
        QTest::newRow("ten") << 10 << false;
        QTest::newRow("four hundred") << 400 << false;
        QTest::newRow("three thousand") << 3000 << false;
        QTest::newRow("three thousand as trend data") << 3000 << true;
    }

    // However many channels a trend has, building it, drawing it, emptying it and
    // destroying it lay the legend out a few times, and the plotting library
    // holds no object of its own per channel, whose lists it would search.
    void channelsComeAndGoWithFewLegendLayouts()
    {
        QFETCH(int, channels);
        QFETCH(bool, asTrendData);
        const auto objects = [](PlotControl &plot) { return plot.findChildren<QObject *>().size(); };
        int before = 0;
        {
            auto plot = std::make_unique<PlotControl>();
            plot->resize(600, 400);
            plot->show();
            plot->replot();
            const qsizetype empty = objects(*plot);
            before = PlotControl::legendLayoutPasses();
            if (asTrendData) {
                auto data = std::make_shared<TrendData>();
                for (int i = 0; i < channels; ++i)
                    data->addChannel(QString::number(i));
                data->appendPoint(0, at(8), 1);
                plot->setTrendData(data);
            } else {
                for (int i = 0; i < channels; ++i)
                    plot->Channel(plot->AddChannel()).setTitleText(QString::number(i));
            }
            // A pass for each drawing after a change, none as channels come and go.
            QCOMPARE(PlotControl::legendLayoutPasses() - before, 0);
            plot->replot();
            QCOMPARE(PlotControl::legendLayoutPasses() - before, 1);
            QCOMPARE(plot->ChannelCount(), channels);
            QCOMPARE(objects(*plot), empty);
            plot->RemoveAllChannels();
            plot->Channel(plot->AddChannel()).AddXY(at(8), 1);
            plot->replot();
            QCOMPARE(PlotControl::legendLayoutPasses() - before, 2);
            QCOMPARE(plot->ChannelCount(), 1);
            for (int i = 0; i < channels; ++i)
                plot->AddChannel();
        }
        QCOMPARE(PlotControl::legendLayoutPasses() - before, 2);
    }

    void pointsOutOfOrderAreSortedByX()
    {
        PlotControl plot;
        PlotChannel c = plot.Channel(plot.AddChannel());
        // A clock set back (the end of daylight saving time) repeats an hour.
        c.AddXY(at(1, 0), 10);
        c.AddXY(at(1, 30), 20);
        c.AddXY(at(1, 10), 30);
        c.AddXY(at(1, 40), 40);
        QCOMPARE(c.Count(), 4);
        QCOMPARE(c.valueAt(at(1, 10)), 30.0);
        QVERIFY(std::abs(c.valueAt(at(1, 20)) - 25.0) < 1e-6);
        QVERIFY(std::abs(c.valueAt(at(1, 35)) - 30.0) < 1e-6);
    }

    void valuesBetweenPointsAreInterpolated_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("value");
        QTest::newRow("on a point") << at(9) << 20.0;
        QTest::newRow("between") << at(9, 30) << 30.0;
        QTest::newRow("first point") << at(8) << 10.0;
        QTest::newRow("last point") << at(10) << 40.0;
        QTest::newRow("before the data") << at(7, 59) << std::nan("");
        QTest::newRow("after the data") << at(10, 1) << std::nan("");
    }

    void valuesBetweenPointsAreInterpolated()
    {
        QFETCH(double, x);
        QFETCH(double, value);
        PlotControl plot;
        fillTwoChannels(plot);
        const double got = plot.Channel(0).valueAt(x);
        if (std::isnan(value))
            QVERIFY(std::isnan(got));
        else
            QVERIFY2(std::abs(got - value) < 1e-6, qPrintable(QString::number(got, 'g', 17)));
    }

    void clearAllDataKeepsTheChannels()
    {
        PlotControl plot;
        fillTwoChannels(plot);
        plot.Channel(1).setTitleText(u"Pressure"_s);
        plot.Channel(1).setTraceLineWidth(3);
        plot.ClearAllData();
        QCOMPARE(plot.ChannelCount(), 2);
        QCOMPARE(plot.Channel(0).Count(), 0);
        QCOMPARE(plot.Channel(1).TitleText(), u"Pressure"_s);
        QCOMPARE(plot.Channel(1).TraceLineWidth(), 3);
        // The data range is forgotten too: the next points alone are fitted.
        plot.Channel(0).AddXY(at(20), 1);
        plot.Channel(0).AddXY(at(21), 2);
        QCOMPARE(plot.XAxis(0).Min(), at(20));
        QCOMPARE(plot.YAxis(0).Span(), 1.0);
    }

    // The first twelve colours are those of every trend so far; the next twelve
    // differ from all others and from the cursor at least as much as two of the
    // first differ, and read on the trend's background.
    void defaultColoursFollowTheColourRule_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("kept"); // 0xRRGGBB the colour has always been, or -1
        const QList<int> first{0xFF5050, 0x50DC50, 0x50A0FF, 0xFF8C28, 0xE664FF, 0x00DCDC,
                               0xF0F0F0, 0xA0FF78, 0xFF78C8, 0xB4B4FF, 0xC8C878, 0x00A082};
        for (int i = 0; i < PlotControl::DefaultColorCount; ++i)
            QTest::addRow("channel %d", i + 1) << i << first.value(i, -1);
    }

    void defaultColoursFollowTheColourRule()
    {
        QFETCH(int, channel);
        QFETCH(int, kept);
        // The difference itself, against published pairs.
        QVERIFY(std::abs(deltaE2000({50, 2.6772, -79.7751}, {50, 0, -82.7485}) - 2.0425) < 1e-4);
        QVERIFY(std::abs(deltaE2000({50, 2.49, -0.001}, {50, -2.49, 0.0009}) - 7.1792) < 1e-4);
        QVERIFY(std::abs(deltaE2000({60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}) - 1.2644) < 1e-4);

        PlotControl plot;
        const QColor colour = toQColor(PlotControl::defaultChannelColor(channel));
        if (kept >= 0) {
            QCOMPARE(colour, QColor(QRgb(kept)));
            return;
        }
        const QColor background = toQColor(plot.BackGroundColor());
        QVERIFY2(contrast(colour, background) >= 3, qPrintable(colour.name()));
        const QColor cursor = toQColor(plot.DataCursor(0).Color());
        QVERIFY2(deltaE2000(lab(colour), lab(cursor)) >= 15, qPrintable(colour.name()));
        for (int other = 0; other < PlotControl::DefaultColorCount; ++other) {
            if (other == channel)
                continue;
            const QColor c = toQColor(PlotControl::defaultChannelColor(other));
            QVERIFY2(deltaE2000(lab(colour), lab(c)) >= 15, qPrintable(colour.name() + u' ' + c.name()));
        }
    }

    // Past the last default colour the colours come round again, drawn dashed:
    // as a line of few points and as one of many.
    void channelsPastTheColoursAreDashed_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("samples");
        QTest::addColumn<bool>("dashed");
        QTest::newRow("channel 24, few samples") << 23 << 50 << false;
        QTest::newRow("channel 25, few samples") << 24 << 50 << true;
        QTest::newRow("channel 25, many samples") << 24 << 20000 << true;
        QTest::newRow("channel 24, many samples") << 23 << 20000 << false;
        QTest::newRow("channel 48, many samples") << 47 << 20000 << true;
        QTest::newRow("channel 49, few samples") << 48 << 50 << true;
    }

    void channelsPastTheColoursAreDashed()
    {
        QFETCH(int, channel);
        QFETCH(int, samples);
        QFETCH(bool, dashed);
        PlotControl plot;
        plot.resize(700, 400);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        while (plot.ChannelCount() <= channel)
            plot.AddChannel();
        // Only this channel has points: a level line across the plot.
        PlotChannel c = plot.Channel(channel);
        for (int i = 0; i < samples; ++i)
            c.AddXY(at(8) + i / 86400.0, 50);
        plot.setXView(at(8), (samples - 1) / 86400.0);
        plot.setYView(0, 100);
        plot.replot();
        QCOMPARE(c.Color(), PlotControl::defaultChannelColor(channel % PlotControl::DefaultColorCount));
        QCOMPARE(c.Dashed(), dashed);
        const int stretches = stretchesOnTheLongestRow(plot.grab().toImage(), toQColor(c.Color()));
        if (dashed)
            QVERIFY2(stretches >= 10, qPrintable(QString::number(stretches)));
        else
            QCOMPARE(stretches, 1);
    }

    void settingSpanOrMinRedrawsAtOnce_data()
    {
        QTest::addColumn<PlotOp>("op");
        QTest::newRow("span") << PlotOp([](PlotControl &p) { p.XAxis(0).setSpan(p.XAxis(0).Span() / 4); });
        QTest::newRow("min") << PlotOp([](PlotControl &p) { p.YAxis(0).setMin(p.YAxis(0).Min() + 15); });
    }

    void settingSpanOrMinRedrawsAtOnce()
    {
        QFETCH(PlotOp, op);
        PlotControl plot;
        plot.resize(400, 300);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        fillTwoChannels(plot);
        plot.replot();
        const QImage before = plot.grab().toImage();
        // No event is processed between the change and the picture.
        op(plot);
        const QImage after = plot.grab().toImage();
        QVERIFY(before != after);
    }

    void tickLabelsFollowTheAxisFormat()
    {
        PlotControl plot;
        plot.resize(800, 400);
        PlotAxis x = plot.XAxis(0);
        x.setMin(at(8));
        x.setSpan(0.25);
        const QList<double> ticks = x.tickPositions();
        QStringList labels = x.tickLabels();
        QVERIFY2(ticks.size() >= 3, qPrintable(labels.join(u" | "_s)));
        QCOMPARE(labels.size(), ticks.size());
        for (qsizetype i = 0; i < ticks.size(); ++i) {
            QCOMPARE(labels.at(i), datetimeformat::format(ticks.at(i), u"m/d/yy h:nn:ss am/pm"_s));
            QCOMPARE(oledate::toFields(ticks.at(i)).minute, 0);
        }
        QCOMPARE(labels.first(), u"3/14/24 8:00:00 am"_s);
        x.setDateTimeFormat(u"hh'h'nn"_s);
        labels = x.tickLabels();
        QCOMPARE(labels.first(), u"08h00"_s);
        x.setLabelsFormatStyle(PlotAxis::FormatGeneral);
        QVERIFY(!x.tickLabels().first().contains(u'h'));
    }

    void eachValueAxisFitsItsOwnChannels_data()
    {
        QTest::addColumn<QList<int>>("axes"); // of temperature, wind, pressure
        QTest::addColumn<bool>("assignedAfterData");
        QTest::addColumn<QList<double>>("ends"); // left min and max, right min and max
        QTest::newRow("pressure on the right") << QList<int>{0, 0, 1} << false << QList<double>{-5, 30, 1010, 1022};
        QTest::newRow("moved there after the fit") << QList<int>{0, 0, 1} << true << QList<double>{-5, 30, 1010, 1022};
        // A value axis without channels keeps the range it had.
        QTest::newRow("all on the right") << QList<int>{1, 1, 1} << false << QList<double>{0, 100, -5, 1022};
    }

    void eachValueAxisFitsItsOwnChannels()
    {
        QFETCH(QList<int>, axes);
        QFETCH(bool, assignedAfterData);
        QFETCH(QList<double>, ends);
        PlotControl plot;
        plot.resize(800, 400);
        for (int axis : {0, 1}) {
            plot.YAxis(axis).setMin(0);
            plot.YAxis(axis).setSpan(100);
            plot.YAxis(axis).setTrackingEnabled(true);
        }
        plot.XAxis(0).setTrackingEnabled(true);
        const QList<QList<double>> values{{-5, 12, 30, NAN}, {0, 15, 7, 3}, {1010, 1022, 1017, 1015}};
        for (int ch = 0; ch < 3; ++ch) {
            PlotChannel channel = plot.Channel(plot.AddChannel());
            if (!assignedAfterData)
                channel.setYAxisIndex(axes[ch]);
            for (int row = 0; row < 4; ++row)
                channel.AddXY(at(8 + row), values[ch][row]);
        }
        plot.replot();
        if (assignedAfterData) {
            for (int ch = 0; ch < 3; ++ch)
                plot.Channel(ch).setYAxisIndex(axes[ch]);
        }
        const QList<double> shown{plot.YAxis(0).Min(), plot.YAxis(0).Max(), plot.YAxis(1).Min(), plot.YAxis(1).Max()};
        QCOMPARE(shown, ends);
    }

    void aValueAxisFitsTheChannelsItIsGiven_data()
    {
        QTest::addColumn<QList<int>>("channels");
        QTest::addColumn<QList<double>>("ends"); // of the left axis
        QTest::newRow("wind alone") << QList<int>{1} << QList<double>{0, 15};
        QTest::newRow("temperature and wind") << QList<int>{0, 1} << QList<double>{-5, 30};
        // Pressure is on the right axis: giving it to the left one changes nothing.
        QTest::newRow("wind and pressure") << QList<int>{1, 2} << QList<double>{0, 15};
        QTest::newRow("only pressure: the axis stays") << QList<int>{2} << QList<double>{-5, 30};
    }

    void aValueAxisFitsTheChannelsItIsGiven()
    {
        QFETCH(QList<int>, channels);
        QFETCH(QList<double>, ends);
        PlotControl plot;
        plot.resize(800, 400);
        plot.YAxis(0).setTrackingEnabled(true);
        plot.YAxis(1).setTrackingEnabled(true);
        const QList<QList<double>> values{{-5, 12, 30}, {0, 15, 7}, {1010, 1022, 1017}};
        for (int ch = 0; ch < 3; ++ch) {
            PlotChannel channel = plot.Channel(plot.AddChannel());
            channel.setYAxisIndex(ch == 2 ? 1 : 0);
            for (int row = 0; row < 3; ++row)
                channel.AddXY(at(8 + row), values[ch][row]);
        }
        plot.replot();
        plot.YAxis(0).fitToChannels(channels);
        QCOMPARE((QList<double>{plot.YAxis(0).Min(), plot.YAxis(0).Max()}), ends);
        QCOMPARE(plot.YAxis(1).Min(), 1010.0);
        QCOMPARE(plot.YAxis(1).Max(), 1022.0);
    }

    void automaticLabelsDifferAtEverySpan_data()
    {
        QTest::addColumn<double>("spanDays");
        QTest::addColumn<QString>("shape"); // what every label looks like
        const QString time = u"^\\d{1,2}:\\d\\d:\\d\\d$"_s;
        const QString dateHour = u"^\\d{1,2}/\\d{1,2}/\\d\\d \\d{1,2}:\\d\\d$"_s;
        const QString date = u"^\\d{1,2}/\\d{1,2}/\\d\\d$"_s;
        const QString month = u"^[A-Z][a-z]{2} \\d{4}$"_s;
        const double minute = 1.0 / 1440;
        QTest::newRow("1 minute") << minute << time;
        QTest::newRow("10 minutes") << 10 * minute << time;
        QTest::newRow("1 hour") << 60 * minute << time;
        QTest::newRow("6 hours") << 0.25 << dateHour;
        QTest::newRow("1 day") << 1.0 << dateHour;
        QTest::newRow("3 days") << 3.0 << dateHour;
        QTest::newRow("10 days") << 10.0 << date;
        QTest::newRow("3 weeks") << 21.0 << date;
        QTest::newRow("2 months") << 61.0 << month;
        QTest::newRow("1 year") << 365.0 << month;
        QTest::newRow("2 years") << 730.0 << month;
    }

    // Under the automatic format the labels name what changes across the span,
    // and no two neighbours read alike.
    void automaticLabelsDifferAtEverySpan()
    {
        QFETCH(double, spanDays);
        QFETCH(QString, shape);
        PlotControl plot;
        plot.resize(1000, 600);
        PlotAxis x = plot.XAxis(0);
        x.setLabelsFormatStyle(PlotAxis::FormatDateTime);
        x.setDateTimeFormat(u"Automatic"_s);
        x.setMin(at(7, 13, 27));
        x.setSpan(spanDays);
        plot.replot(); // laid out once, so that the tick count settles
        const QStringList labels = x.tickLabels();
        const QString all = labels.join(u" | "_s);
        QVERIFY2(labels.size() >= 2, qPrintable(all));
        const QRegularExpression pattern(shape);
        for (qsizetype i = 0; i < labels.size(); ++i) {
            QVERIFY2(pattern.match(labels.at(i)).hasMatch(), qPrintable(all));
            if (i > 0)
                QVERIFY2(labels.at(i) != labels.at(i - 1), qPrintable(all));
        }
    }

    void theListedFormatsKeepTheirNotation_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<double>("spanDays");
        QTest::addColumn<QString>("first");
        QTest::newRow("hh:nn:ss") << u"hh:nn:ss"_s << 0.25 << u"08:00:00"_s;
        QTest::newRow("hh:nn:ss.zzz") << u"hh:nn:ss.zzz"_s << 2.0 / 86400 << u"07:13:27.500"_s;
        QTest::newRow("m/d hh:nn:ss") << u"m/d hh:nn:ss"_s << 2.0 << u"3/14 12:00:00"_s;
        QTest::newRow("d mmm h:nn:ss am/pm") << u"d mmm h:nn:ss am/pm"_s << 1.0 << u"14 Mar 12:00:00 pm"_s;
        QTest::newRow("m/d/yy h:nn:ss am/pm") << u"m/d/yy h:nn:ss am/pm"_s << 365.0 << u"5/1/24 12:00:00 am"_s;
        QTest::newRow("m/d/yyy h:nn:ss am/pm") << u"m/d/yyy h:nn:ss am/pm"_s << 1.0 / 24 << u"3/14/2024 7:15:00 am"_s;
    }

    // Each listed format labels its ticks in its own notation, the ticks on round
    // steps of the span (whole multiples of a step that the span suggests).
    void theListedFormatsKeepTheirNotation()
    {
        QFETCH(QString, format);
        QFETCH(double, spanDays);
        QFETCH(QString, first);
        PlotControl plot;
        plot.resize(1000, 600);
        PlotAxis x = plot.XAxis(0);
        x.setDateTimeFormat(format);
        x.setMin(at(7, 13, 27) + 0.2 / 86400);
        x.setSpan(spanDays);
        plot.replot(); // laid out once, so that the tick count settles
        const QList<double> ticks = x.tickPositions();
        const QStringList labels = x.tickLabels();
        QVERIFY2(ticks.size() >= 2, qPrintable(labels.join(u" | "_s)));
        QCOMPARE(labels.size(), ticks.size());
        QCOMPARE(labels.first(), first);
        for (qsizetype i = 0; i < ticks.size(); ++i)
            QCOMPARE(labels.at(i), datetimeformat::format(ticks.at(i), format));
    }

    void labelsInViewHaveTheirRoom_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<double>("spanDays");
        QTest::addColumn<int>("drawnWidthBefore"); // 0: never drawn before
        QTest::newRow("a year, narrow") << 480 << 366.0 << 0;
        QTest::newRow("a year, narrower") << 400 << 366.0 << 0;
        QTest::newRow("ten years, narrow") << 420 << 3653.0 << 0;
        QTest::newRow("a day, narrow") << 360 << 1.0 << 0;
        // One draw after a window was made smaller, as a restored window is.
        QTest::newRow("a year, narrower after wide") << 380 << 366.0 << 1500;
    }

    // However narrow the plot, the time labels in view fit side by side along it.
    void labelsInViewHaveTheirRoom()
    {
        QFETCH(int, width);
        QFETCH(double, spanDays);
        QFETCH(int, drawnWidthBefore);
        PlotControl plot;
        PlotAxis x = plot.XAxis(0);
        x.setDateTimeFormat(u"Automatic"_s);
        x.setMin(at(0, 0, 0));
        x.setSpan(spanDays);
        if (drawnWidthBefore) {
            plot.resize(drawnWidthBefore, 300);
            plot.replot();
        }
        plot.resize(width, 300);
        plot.replot();
        // The ticks of that one draw, as shown.
        const QCPAxis *axis = plot.findChild<QCustomPlot *>()->xAxis;
        const QList<double> ticks = axis->tickVector();
        const QStringList labels = axis->tickVectorLabels();
        QCOMPARE(labels.size(), ticks.size());
        const QFontMetrics metrics(plot.font());
        int needed = 0;
        int shown = 0;
        for (qsizetype i = 0; i < ticks.size(); ++i) {
            if (ticks.at(i) < x.Min() || ticks.at(i) > x.Max())
                continue;
            needed += metrics.horizontalAdvance(labels.at(i)) + metrics.averageCharWidth();
            ++shown;
        }
        QVERIFY2(shown >= 2, qPrintable(labels.join(u" | "_s)));
        QVERIFY2(needed <= width - 60, qPrintable(u"%1 px for "_s.arg(needed) + labels.join(u" | "_s)));
    }

    void datesAtTheEndsOfTheRangeGetTicks_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<bool>("atEnd");
        QTest::newRow("whole range") << 1.0 << false;
        QTest::newRow("1 % at the start") << 0.01 << false;
        QTest::newRow("1 % at the end") << 0.01 << true;
        QTest::newRow("one day at the start") << 1.0 / (oledate::MaxValue - oledate::MinValue) << false;
        QTest::newRow("one day at the end") << 1.0 / (oledate::MaxValue - oledate::MinValue) << true;
    }

    // A log from 1/1/0100 to 12/31/9999: ticks are worked out near the ends of the
    // date range as anywhere else, not dropped, and each one is labelled.
    void datesAtTheEndsOfTheRangeGetTicks()
    {
        QFETCH(double, zoom);
        QFETCH(bool, atEnd);
        PlotControl plot;
        plot.resize(800, 400);
        const int channel = plot.AddChannel();
        plot.Channel(channel).AddXY(oledate::MinValue, 1);
        plot.Channel(channel).AddXY(oledate::MaxValue, 2);
        PlotAxis x = plot.XAxis(0);
        x.setTrackingEnabled(false);
        x.setLabelsFormatStyle(PlotAxis::FormatDateTime);
        const double span = (oledate::MaxValue - oledate::MinValue) * zoom;
        x.setMin(atEnd ? oledate::MaxValue - span : oledate::MinValue);
        x.setSpan(span);
        const QList<double> ticks = x.tickPositions();
        const QStringList labels = x.tickLabels();
        QCOMPARE(labels.size(), ticks.size());
        int shown = 0;
        for (qsizetype i = 0; i < ticks.size(); ++i) {
            QVERIFY2(!labels.at(i).isEmpty(), qPrintable(QString::number(ticks.at(i), 'f')));
            shown += ticks.at(i) >= x.Min() && ticks.at(i) <= x.Max();
        }
        QVERIFY2(shown >= 2, qPrintable(labels.join(u" | "_s) + u" min "_s + QString::number(x.Min(), 'f') + u" max "_s + QString::number(x.Max(), 'f')));
    }

    void aLongTitleIsCutShortToItsAxis_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("whole");
        QTest::newRow("short axis") << 260 << false;
        QTest::newRow("tall axis") << 900 << true;
    }

    // The title as set is kept; on the axis it is cut short with "..." where the
    // axis is shorter, instead of running past both of its ends.
    void aLongTitleIsCutShortToItsAxis()
    {
        QFETCH(int, height);
        QFETCH(bool, whole);
        const QString title = u"Inlet Temp, Outlet Temp, Pressure, Flow, Level, Voltage and 6 more"_s;
        PlotControl plot;
        plot.resize(700, height);
        plot.YAxis(0).setTitleText(title);
        plot.replot();
        QCPAxis *axis = plot.findChild<QCustomPlot *>()->yAxis;
        QCOMPARE(plot.YAxis(0).TitleText(), title);
        QVERIFY2((axis->label() == title) == whole,
                 qPrintable(u"%1 on %2 px"_s.arg(axis->label()).arg(axis->axisRect()->height())));
        QVERIFY2(QFontMetrics(axis->labelFont()).horizontalAdvance(axis->label()) <= axis->axisRect()->height(),
                 qPrintable(axis->label()));
    }

    void geometryIsInTwips()
    {
        QWidget parent;
        PlotControl *plot = new PlotControl(&parent);
        const double px = twips::perPixelX();
        const double py = twips::perPixelY();
        plot->setLeft(10 * px);
        plot->setTop(4 * py);
        plot->setWidth(300 * px);
        plot->setHeight(200 * py);
        QCOMPARE(plot->geometry(), QRect(10, 4, 300, 200));
        QCOMPARE(plot->Left(), 10 * px);
        QCOMPARE(plot->Top(), 4 * py);
        QCOMPARE(plot->Width(), 300 * px);
        QCOMPARE(plot->Height(), 200 * py);
    }

    void jpegIsWrittenAndReadable_data()
    {
        QTest::addColumn<bool>("progressive");
        QTest::newRow("progressive") << true;
        QTest::newRow("baseline") << false;
    }

    void jpegIsWrittenAndReadable()
    {
        QFETCH(bool, progressive);
        PlotControl plot;
        plot.resize(400, 300);
        fillTwoChannels(plot);
        const QString path = TestEnv::tempDir() + u"/trend.jpg"_s;
        QFile::remove(path);
        plot.SaveJPEG(path, 100, progressive);
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), QSize(400, 300));
        // The black background, give or take the compression.
        QVERIFY(qGray(image.pixel(2, 2)) < 16);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        // Start of frame: progressive (C2) or baseline (C0).
        QCOMPARE(bytes.contains("\xFF\xC2"), progressive);
        QCOMPARE(bytes.contains("\xFF\xC0"), !progressive);
    }

    void jpegFailuresHaveTheirNumbers_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<int>("number");
        QTest::newRow("no name") << u"  "_s << 52;
        QTest::newRow("a folder") << TestEnv::tempDir() << 31003;
        QTest::newRow("no such folder") << TestEnv::tempDir() + u"/missing/trend.jpg"_s << 76;
    }

    void jpegFailuresHaveTheirNumbers()
    {
        QFETCH(QString, fileName);
        QFETCH(int, number);
        PlotControl plot;
        QCOMPARE(errorOf([&] { plot.SaveJPEG(fileName, 100, true); }), number);
    }

    void jpegIntoAReadOnlyFolderIsPermissionDenied()
    {
        if (::geteuid() == 0)
            QSKIP("the superuser may write anywhere");
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        PlotControl plot;
        QCOMPARE(errorOf([&] { plot.SaveJPEG(dir.path() + u"/trend.jpg"_s, 100, true); }), 70);
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void printingMakesOnePageInsideTheMargins()
    {
        PlotControl plot;
        plot.resize(600, 400);
        plot.XAxis(0).setTitleText(u"Time"_s);
        plot.YAxis(0).setTitleText(u"Level"_s);
        fillTwoChannels(plot);
        plot.Channel(0).setTitleText(u"Boiler"_s);
        const QString path = TestEnv::tempDir() + u"/trend.pdf"_s;
        QFile::remove(path);
        TestEnv::dialogs().prints = {PrintDialogResult{}};
        TestEnv::dialogs().configurePrinter = [&](QPrinter &p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(path);
        };
        plot.PrintPlot();

        QCOMPARE(TestEnv::dialogs().printRequests.size(), 1);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5).startsWith("%PDF"));
        QVERIFY(run(u"pdfinfo"_s, {path}).contains(QRegularExpression(u"Pages:\\s+1\\n"_s)));

        const QString boxes = run(u"pdftotext"_s, {u"-bbox"_s, path, u"-"_s});
        const QRegularExpression pageRe(u"<page width=\"([\\d.]+)\" height=\"([\\d.]+)\""_s);
        const QRegularExpressionMatch page = pageRe.match(boxes);
        QVERIFY2(page.hasMatch(), qPrintable(boxes.left(500)));
        const double pageWidth = page.captured(1).toDouble();
        const double pageHeight = page.captured(2).toDouble();
        const QRegularExpression wordRe(
            u"<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"_s);
        QStringList words;
        for (const QRegularExpressionMatch &m : wordRe.globalMatch(boxes)) {
            words.append(m.captured(5));
            // One inch is 72 points.
            QVERIFY2(m.captured(1).toDouble() >= 71.5 && m.captured(2).toDouble() >= 71.5, qPrintable(m.captured(0)));
            QVERIFY2(m.captured(3).toDouble() <= pageWidth - 71.5 && m.captured(4).toDouble() <= pageHeight - 71.5,
                     qPrintable(m.captured(0)));
        }
        QVERIFY2(words.contains(u"Time"_s), qPrintable(words.join(u' ')));
        QVERIFY2(words.contains(u"Level"_s), qPrintable(words.join(u' ')));
        QVERIFY2(words.contains(u"Boiler"_s), qPrintable(words.join(u' ')));
    }

    void aCancelledPrintPrintsNothing()
    {
        PlotControl plot;
        bool configured = false;
        TestEnv::dialogs().configurePrinter = [&](QPrinter &) { configured = true; };
        QCOMPARE(errorOf([&] { plot.PrintPlot(); }), 0);
        QCOMPARE(TestEnv::dialogs().printRequests.size(), 1);
        QVERIFY(!configured);
    }

    void theDataCursorShowsTimeAndValues()
    {
        PlotControl plot;
        fillTwoChannels(plot);
        PlotDataCursor cursor = plot.DataCursor(0);
        QVERIFY(!cursor.Visible());
        cursor.setVisible(true);
        // Shown for the first time, it stands in the middle of the X axis.
        QCOMPARE(cursor.Position(), at(9));
        QCOMPARE(cursor.timeText(), u"3/14/24 9:00:00 am"_s);
        QCOMPARE(cursor.valueText(0), u"20"_s);
        QCOMPARE(cursor.valueText(1), u"-"_s);
        // Values are read at samples, never interpolated between them.
        cursor.setPosition(at(9, 25));
        QCOMPARE(cursor.Position(), at(9, 30));
        QCOMPARE(cursor.valueText(0), u"-"_s);
        QCOMPARE(cursor.valueText(1), u"5"_s);
        plot.XAxis(0).setDateTimeFormat(u"hh:nn"_s);
        QCOMPARE(cursor.timeText(), u"09:30"_s);
        cursor.setVisible(false);
        cursor.setVisible(true);
        QCOMPARE(cursor.Position(), at(9, 30));
    }

    void theDataCursorIsDraggedAlongX()
    {
        PlotControl plot;
        plot.resize(600, 400);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        fillTwoChannels(plot);
        PlotDataCursor cursor = plot.DataCursor(0);
        cursor.setVisible(true);
        plot.replot();
        const int row = 300;
        const int x = cursorColumn(plot, row);
        QVERIFY(x > 0);

        QWidget *target = canvas(plot);
        QTest::mousePress(target, Qt::LeftButton, {}, QPoint(x, row));
        QTest::mouseMove(target, QPoint(x + 120, row));
        QTest::mouseRelease(target, Qt::LeftButton, {}, QPoint(x + 120, row));
        // It lands on the sample nearest to where it was let go.
        QCOMPARE(cursor.Position(), at(9, 30));
        const int moved = cursorColumn(plot, row);
        QVERIFY2(moved > x + 90 && moved < x + 150, qPrintable(u"%1 -> %2"_s.arg(x).arg(moved)));

        // A press away from the line does not catch it (it pans the view).
        const double now = cursor.Position();
        QTest::mousePress(target, Qt::LeftButton, {}, QPoint(x - 100, row));
        QTest::mouseMove(target, QPoint(x - 150, row));
        QTest::mouseRelease(target, Qt::LeftButton, {}, QPoint(x - 150, row));
        QCOMPARE(cursor.Position(), now);
    }

    void aHiddenCursorIsNotDrawn()
    {
        PlotControl plot;
        plot.resize(600, 400);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        fillTwoChannels(plot);
        plot.replot();
        QCOMPARE(cursorColumn(plot, 300), -1);
        plot.DataCursor(0).setVisible(true);
        QVERIFY(cursorColumn(plot, 300) > 0);
        plot.DataCursor(0).setVisible(false);
        QCOMPARE(cursorColumn(plot, 300), -1);
    }
};

VIEWER_TEST(PlotControlTest)
#include "tst_plotcontrol.moc"
