// Fills the plot control with 12 channels of 1,000,000 points through its point
// append, with data like a logger writes (random steps, about 4 % of samples
// missing), and measures, as medians over 5 runs, the time to append all points,
// one full redraw at 1000 x 600 pixels and a redraw after narrowing the X span to
// 1 %, at trace width 1 and at width 3; then the bytes the trend holds per value
// and the process's peak resident memory.

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
constexpr int PointsPerChannel = 1'000'000;
constexpr int Runs = 5;

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

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
    QCoreApplication::processEvents();

    std::vector<double> appendMs, fullMs, zoomMs, wideFullMs, wideZoomMs;
    auto redraws = [&](std::vector<double> &full, std::vector<double> &zoom) {
        QElapsedTimer timer;
        timer.start();
        plot.replot();
        full.push_back(timer.nsecsElapsed() / 1e6);
        // Setting the span redraws at once.
        const double span = plot.XAxis(0).Span();
        timer.restart();
        plot.XAxis(0).setSpan(span / 100);
        zoom.push_back(timer.nsecsElapsed() / 1e6);
        plot.XAxis(0).setSpan(span);
    };
    for (int run = 1; run <= Runs; ++run) {
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

        for (int c = 0; c < Channels; ++c)
            plot.Channel(c).setTraceLineWidth(1);
        redraws(fullMs, zoomMs);
        for (int c = 0; c < Channels; ++c)
            plot.Channel(c).setTraceLineWidth(3);
        redraws(wideFullMs, wideZoomMs);

        std::printf("run %d: append_ms=%.1f full_ms=%.1f zoom_ms=%.1f wide_full_ms=%.1f wide_zoom_ms=%.1f\n", run,
                    appendMs.back(), fullMs.back(), zoomMs.back(), wideFullMs.back(), wideZoomMs.back());
    }

    const long long points = 1LL * Channels * PointsPerChannel;
    // Everything the trend holds for its data; the plotting library keeps no copy.
    const double bytesPerValue = double(plot.trendData()->bytesUsed()) / double(points);
    std::printf("replot: points=%lld append_ms=%.1f full_ms=%.1f zoom_ms=%.1f wide_full_ms=%.1f wide_zoom_ms=%.1f "
                "bytes_per_value=%.2f peak_mb=%.1f\n",
                points, median(appendMs), median(fullMs), median(zoomMs), median(wideFullMs), median(wideZoomMs),
                bytesPerValue, peakMegabytes());
    return 0;
}
