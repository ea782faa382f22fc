// Fills the plot control with 12 channels of 1,000,000 points through its point
// append and measures, as medians over 5 runs, the time to append all points, one
// full redraw at 1000 x 600 pixels and a redraw after narrowing the X span to 1 %;
// then the process's peak resident memory.

#include "benchsupport.h"
#include "controls/oledate.h"
#include "controls/plotcontrol.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
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

    // One sample a second from a January morning; a slow wave with some ripple,
    // computed before timing so that only the plot's work is measured.
    const double start = oledate::fromFields(2024, 1, 15, 6, 0, 0);
    std::vector<double> xs(PointsPerChannel);
    std::vector<double> ys(PointsPerChannel);
    for (int i = 0; i < PointsPerChannel; ++i) {
        xs[size_t(i)] = start + i / 86400.0;
        ys[size_t(i)] = 50 + 30 * std::sin(i * 2e-5) + 4 * std::sin(i * 0.013);
    }

    PlotControl plot;
    plot.resize(1000, 600);
    plot.show();
    QCoreApplication::processEvents();

    std::vector<double> appendMs, fullMs, zoomMs;
    for (int run = 1; run <= Runs; ++run) {
        plot.RemoveAllChannels();
        plot.ClearAllData();
        plot.XAxis(0).setTrackingEnabled(true);
        plot.YAxis(0).setTrackingEnabled(true);

        QElapsedTimer timer;
        timer.start();
        for (int c = 0; c < Channels; ++c) {
            PlotChannel channel = plot.Channel(plot.AddChannel());
            const double offset = c * 5.0;
            for (int i = 0; i < PointsPerChannel; ++i)
                channel.AddXY(xs[size_t(i)], ys[size_t(i)] + offset);
        }
        appendMs.push_back(timer.nsecsElapsed() / 1e6);

        timer.restart();
        plot.replot();
        fullMs.push_back(timer.nsecsElapsed() / 1e6);

        // Setting the span redraws at once.
        const double span = plot.XAxis(0).Span();
        timer.restart();
        plot.XAxis(0).setSpan(span / 100);
        zoomMs.push_back(timer.nsecsElapsed() / 1e6);

        std::printf("run %d: append_ms=%.1f full_ms=%.1f zoom_ms=%.1f\n", run, appendMs.back(),
                    fullMs.back(), zoomMs.back());
        plot.XAxis(0).setSpan(span);
    }

    const long long points = 1LL * Channels * PointsPerChannel;
    std::printf("replot: points=%lld append_ms=%.1f full_ms=%.1f zoom_ms=%.1f peak_mb=%.1f\n", points,
                median(appendMs), median(fullMs), median(zoomMs), peakMegabytes());
    return 0;
}
