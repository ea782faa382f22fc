// Fills the plot control with 12 channels of 1,000,000 points through its point
// append, with data like a logger writes (random steps, about 4 % of samples
// missing), and measures, as medians over 5 runs, the time to append all points,
// one full redraw at 1000 x 600 pixels and a redraw after narrowing the X span to
// 1 %, at trace width 1 and at width 3; beside them the redraw of an empty plot
// of the same size, axis ranges and legend (what the drawing costs without any
// trace); then the bytes the trend holds per value and the process's peak
// resident memory. Last, a full redraw of 25 such channels at width 3, the 25th
// drawn with a dashed pen. `--runs K` changes the number of runs.

#include "benchsupport.h"
#include "core/oledate.h"
#include "controls/plotcontrol.h"
#include "core/trenddata.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

using bench::median;
using bench::peakMegabytes;

namespace {

constexpr int Channels = 12;
constexpr int DashedChannels = 25;
constexpr int PointsPerChannel = 1'000'000;

double timedReplot(PlotControl &plot)
{
    QElapsedTimer timer;
    timer.start();
    plot.replot();
    return timer.nsecsElapsed() / 1e6;
}

void setWidths(PlotControl &plot, int width)
{
    for (int c = 0; c < plot.ChannelCount(); ++c)
        plot.Channel(c).setTraceLineWidth(width);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int runs = int(std::max(1LL, bench::argValue(app.arguments(), u"--runs"_s, 5)));

    // One sample a second from a January morning; per channel a random walk with
    // about 4 % of its samples missing, computed before timing so that only the
    // plot's work is measured.
    const double start = oledate::fromFields(2024, 1, 15, 6, 0, 0);
    std::vector<double> xs(PointsPerChannel);
    for (int i = 0; i < PointsPerChannel; ++i)
        xs[size_t(i)] = start + i / 86400.0;
    std::vector<std::vector<double>> ys(Channels, std::vector<double>(PointsPerChannel));
    std::mt19937 random(740);
    std::normal_distribution<double> step(0, 0.8);
    std::uniform_real_distribution<double> chance(0, 1);
    for (int c = 0; c < Channels; ++c) {
        double y = 20 + c * 5.0;
        for (int i = 0; i < PointsPerChannel; ++i) {
            y += step(random);
            ys[size_t(c)][size_t(i)] = chance(random) < 0.04 ? std::numeric_limits<double>::quiet_NaN() : y;
        }
    }

    PlotControl plot;
    plot.resize(1000, 600);
    plot.show();
    // The empty plot: as many channels, without a point.
    PlotControl empty;
    empty.resize(1000, 600);
    for (int c = 0; c < Channels; ++c)
        empty.AddChannel();
    empty.show();
    QCoreApplication::processEvents();

    std::vector<double> appendMs, fullMs, zoomMs, wideFullMs, wideZoomMs, emptyMs;
    auto redraws = [&](std::vector<double> &full, std::vector<double> &zoom) {
        full.push_back(timedReplot(plot));
        // Setting the span redraws at once.
        const double span = plot.XAxis(0).Span();
        QElapsedTimer timer;
        timer.start();
        plot.XAxis(0).setSpan(span / 100);
        zoom.push_back(timer.nsecsElapsed() / 1e6);
        plot.XAxis(0).setSpan(span);
    };
    for (int run = 1; run <= runs; ++run) {
        plot.RemoveAllChannels();
        plot.ClearAllData();
        plot.XAxis(0).setTrackingEnabled(true);
        plot.YAxis(0).setTrackingEnabled(true);

        QElapsedTimer timer;
        timer.start();
        for (int c = 0; c < Channels; ++c) {
            PlotChannel channel = plot.Channel(plot.AddChannel());
            const std::vector<double> &values = ys[size_t(c)];
            for (int i = 0; i < PointsPerChannel; ++i)
                channel.AddXY(xs[size_t(i)], values[size_t(i)]);
        }
        appendMs.push_back(timer.nsecsElapsed() / 1e6);

        setWidths(plot, 1);
        redraws(fullMs, zoomMs);
        setWidths(plot, 3);
        redraws(wideFullMs, wideZoomMs);

        empty.setXView(plot.XAxis(0).Min(), plot.XAxis(0).Span());
        empty.setYView(plot.YAxis(0).Min(), plot.YAxis(0).Span());
        emptyMs.push_back(timedReplot(empty));

        std::printf("run %d: append_ms=%.1f full_ms=%.1f zoom_ms=%.1f wide_full_ms=%.1f wide_zoom_ms=%.1f "
                    "empty_ms=%.1f\n",
                    run, appendMs.back(), fullMs.back(), zoomMs.back(), wideFullMs.back(), wideZoomMs.back(),
                    emptyMs.back());
    }

    const long long points = 1LL * Channels * PointsPerChannel;
    // Everything the trend holds for its data; the plotting library keeps no copy.
    const double bytesPerValue = double(plot.trendData()->bytesUsed()) / double(points);
    const double peakMb = peakMegabytes();

    // Channels past the 24th repeat the colours with a dashed pen.
    plot.RemoveAllChannels();
    plot.setTrendData(bench::noisyTrend(DashedChannels, PointsPerChannel, false));
    plot.showWholeTrend();
    setWidths(plot, 3);
    std::vector<double> dashedMs;
    for (int run = 1; run <= runs; ++run)
        dashedMs.push_back(timedReplot(plot));
    std::printf("dashed: channels=%d full_ms=%.1f (runs:", DashedChannels, median(dashedMs));
    for (double ms : dashedMs)
        std::printf(" %.1f", ms);
    std::printf(")\n");

    std::printf("replot: points=%lld append_ms=%.1f full_ms=%.1f zoom_ms=%.1f wide_full_ms=%.1f wide_zoom_ms=%.1f "
                "dashed_full_ms=%.1f empty_ms=%.1f bytes_per_value=%.2f peak_mb=%.1f\n",
                points, median(appendMs), median(fullMs), median(zoomMs), median(wideFullMs), median(wideZoomMs),
                median(dashedMs), median(emptyMs), bytesPerValue, peakMb);
    return 0;
}
