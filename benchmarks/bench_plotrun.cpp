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

#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The fixed-format reading of "M/D/YYYY,h:mm:ss AM,v1,...": the least any plot run
// must do with the same cells.
struct FloorResult
{
    double ms;
    size_t points;
};

int digits(const char *&p)
{
    int v = 0;
    while (*p >= '0' && *p <= '9')
        v = v * 10 + (*p++ - '0');
    return v;
}

double dayNumber(int y, int m, int d)
{
    // Days from 30 December 1899 (the civil-from-days inverse of Howard Hinnant).
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * unsigned(m + (m > 2 ? -3 : 9)) + 2) / 5 + unsigned(d) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return double(era * 146097 + int(doe) - 719468 + 25569);
}

FloorResult floorRun(const QString &path, int columns)
{
    QElapsedTimer clock;
    clock.start();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    const char *p = bytes.constData();
    const char *end = p + bytes.size();
    p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p))) + 1; // header
    std::vector<double> x;
    auto y = std::vector<std::vector<double>>(size_t(columns));
    while (p < end) {
        const int month = digits(p);
        ++p;
        const int day = digits(p);
        ++p;
        const int year = digits(p);
        ++p;
        int hour = digits(p);
        ++p;
        const int minute = digits(p);
        ++p;
        const int second = digits(p);
        ++p;
        const bool pm = *p == 'P';
        p += 2;
        hour = hour % 12 + (pm ? 12 : 0);
        x.push_back(dayNumber(year, month, day) + (hour * 3600 + minute * 60 + second) / 86400.0);
        for (int c = 0; c < columns; ++c) {
            ++p; // the comma
            double v = 0;
            const char *fieldEnd = p;
            while (fieldEnd < end && *fieldEnd != ',' && *fieldEnd != '\r' && *fieldEnd != '\n')
                ++fieldEnd;
            std::from_chars(p, fieldEnd, v);
            y[size_t(c)].push_back(v);
            p = fieldEnd;
        }
        p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        p = p ? p + 1 : end;
    }
    return {double(clock.nsecsElapsed()) / 1e6, x.size() * size_t(columns)};
}

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
        const FloorResult f = floorRun(path, options.valueColumns);
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
