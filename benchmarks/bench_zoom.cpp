// Drags the trend window's zoom sliders over a trend of 12 channels of 1,000,000
// points like a logger's (random steps, about 4 % of samples missing), the way a user's drag arrives: one position change at a time, each
// followed by an event-loop pass. Prints the median and worst time of a position
// change (the handler with the plot's redraw), the same for the 100 -> 99 guard,
// and the peak resident memory.

#include "benchsupport.h"
#include "controls/slider.h"
#include "shell/mainframe.h"
#include "trend/trendwindow.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

using bench::median;
using bench::peakMegabytes;

namespace {

constexpr int Channels = 12;
constexpr int PointsPerChannel = 1'000'000;

double worst(const std::vector<double> &values) { return *std::max_element(values.begin(), values.end()); }

// Moves the slider as a drag does, from `from` to `to` in whole steps; returns the
// time of each position change in milliseconds.
std::vector<double> drag(Slider &slider, int from, int to)
{
    std::vector<double> ms;
    const int step = from < to ? 1 : -1;
    for (int v = from; v != to + step; v += step) {
        QElapsedTimer timer;
        timer.start();
        slider.setSliderPosition(v);
        ms.push_back(timer.nsecsElapsed() / 1e6);
        QCoreApplication::processEvents();
    }
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    mainFrame().resize(1200, 900);
    mainFrame().show();
    TrendWindow &w = bench::trendWindowOf(bench::noisyTrend(Channels, PointsPerChannel, false));
    w.resize(1000, 700);
    w.show();
    QCoreApplication::processEvents();

    std::vector<double> xDrag = drag(w.DateSlider(), 1, 99);
    const std::vector<double> xBack = drag(w.DateSlider(), 98, -100);
    xDrag.insert(xDrag.end(), xBack.begin(), xBack.end());
    std::vector<double> yDrag = drag(w.YSlider(), 1, 99);
    const std::vector<double> yBack = drag(w.YSlider(), 98, -100);
    yDrag.insert(yDrag.end(), yBack.begin(), yBack.end());
    drag(w.DateSlider(), -99, 0);

    std::vector<double> guardMs;
    for (int run = 0; run < 5; ++run) {
        w.DateSlider().setSliderPosition(90);
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        w.DateSlider().setSliderPosition(100);
        guardMs.push_back(timer.nsecsElapsed() / 1e6);
        QCoreApplication::processEvents();
    }

    std::printf("DateSlider: %zu moves, median_ms=%.1f worst_ms=%.1f\n", xDrag.size(), median(xDrag), worst(xDrag));
    std::printf("YSlider: %zu moves, median_ms=%.1f worst_ms=%.1f\n", yDrag.size(), median(yDrag), worst(yDrag));
    std::printf("guard 100 -> 99: median_ms=%.1f\n", median(guardMs));
    std::printf("target: a position change with its redraw at most 16 ms\n");
    std::printf("zoom: points=%lld x_median_ms=%.1f y_median_ms=%.1f guard_ms=%.1f peak_mb=%.1f\n",
                1LL * Channels * PointsPerChannel, median(xDrag), median(yDrag), median(guardMs), peakMegabytes());
    return 0;
}
