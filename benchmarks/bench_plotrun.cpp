// ./bench plotrun [--rows N] [--values C] [--runs K]
//   Plots every value column of a generated log, selected as whole columns, with
//   the real plot run (yields, progress, the trend window shown at the end) and
//   prints the run's time (median), the longest stretch without an event-loop pass,
//   the same run with one column, the peak memory from the loading of the log on,
//   and the floor: a minimal loop that parses the same cells into plain arrays.

#include "benchsupport.h"
#include "loggen.h"

#include "controls/gridcontrol.h"
#include "controls/plotcontrol.h"
#include "core/trenddata.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "shell/sharedstate.h"
#include "shell/windowregistry.h"
#include "trend/trendbuilder.h"
#include "trend/trendwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

void closeTrend()
{
    if (TrendWindow *trend = loadedTrendWindow()) {
        WindowRegistry::markUnloaded(trend);
        trend->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const LogGenOptions options = bench::logOptions(args);
    const int runs = std::max(1, int(bench::argValue(args, u"--runs"_s, 3)));
    QTemporaryDir dir;
    const QString path = bench::writeBenchLog(dir, options);

    std::vector<double> floors;
    size_t floorPoints = 0;
    for (int i = 0; i < runs; ++i) {
        const bench::FloorResult f = bench::parseFloor(path, options.valueColumns);
        floors.push_back(f.ms);
        floorPoints = f.points;
    }
    const double floorMs = bench::median(floors);
    std::printf("floor (parse %zu cells and their rows' times): %.1f ms\n", floorPoints, floorMs);

    // The floor's own arrays do not count towards the viewer's peak.
    std::printf("peak while measuring the floor: %.0f MB\n", bench::peakMegabytes());
    bench::resetPeakMemory();
    bench::Ui *ui = &bench::installServices(path);
    DataFileWindow &window = bench::showDataFileWindow(dir.path());
    window.getHistFile();
    GridControl &grid = *window.dataGrid();
    if (grid.rowCount() <= 0) {
        std::fprintf(stderr, "the log did not load\n");
        return 1;
    }
    const int lastColumn = grid.colCount();

    auto plotRun = [&](int firstCol, int lastCol, double *gap) {
        closeTrend();
        grid.setSelectionBlocks({GridBlock{firstCol, -1, lastCol, -1}});
        QElapsedTimer clock;
        clock.start();
        ui->startGaps();
        buildHistTrend();
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (gap)
            *gap = ui->longestGapMs();
        return ms;
    };

    std::vector<double> times;
    std::vector<double> gaps;
    for (int i = 0; i < runs; ++i) {
        double gap = 0;
        times.push_back(plotRun(2, lastColumn, &gap));
        gaps.push_back(gap);
        // The shown trend is drawn on the event loop's next pass, after the run:
        // that pass is a stretch the user waits through too.
        QElapsedTimer draw;
        draw.start();
        QCoreApplication::processEvents();
        const double drawMs = double(draw.nsecsElapsed()) / 1e6;
        std::printf("run %d: %.1f ms, longest gap %.1f ms, then the first draw %.1f ms\n", i + 1, times.back(), gap,
                    drawMs);
    }
    TrendWindow *trend = loadedTrendWindow();
    const int channels = trend ? trend->trendPlot().ChannelCount() : 0;
    // Every row is in the trend's time column; empty cells are gaps, not points.
    const qsizetype rows = trend ? trend->trendPlot().trendData()->rowCount() : 0;
    if (!trend || !trend->isVisible() || channels != lastColumn - 1 || rows != grid.rowCount()) {
        std::fprintf(stderr, "the plot run did not complete: %d channels of %lld rows\n", channels, qint64(rows));
        return 1;
    }
    std::vector<double> oneColumn;
    for (int i = 0; i < runs; ++i)
        oneColumn.push_back(plotRun(2, 2, nullptr));

    const double runMs = bench::median(times);
    const double maxGap = *std::max_element(gaps.begin(), gaps.end());
    std::printf("targets: ratio <= 1.5, no gap over 50 ms, peak at 10,000,000 rows <= 2600 MB\n");
    std::printf("plotrun: rows=%d columns=%d run_ms=%.1f floor_ms=%.1f ratio=%.2f max_gap_ms=%.1f one_column_ms=%.1f "
                "peak_mb=%.0f\n",
                grid.rowCount(), channels, runMs, floorMs, runMs / floorMs, maxGap, bench::median(oneColumn),
                bench::peakMegabytes());
    WindowRegistry::unloadAll();
    return 0;
}
