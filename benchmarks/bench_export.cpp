// ./bench export [--rows N] [--values C] [--runs K]
//   Exports every value column of a generated log to a 1000 x 600 PNG in this
//   process, as `krn740-viewer --export out.png LOG` does, and prints per run the
//   whole export's time and, from the same steps taken one by one, its phases:
//   load (the log document loads the log), run (the plot run's reading of the
//   columns), draw (the picture of the new trend drawn into an image) and write
//   (the image encoded and written); then the medians, the peak memory from the
//   first export on, and the floor: the plot run benchmark's single-threaded
//   parse of the same cells.

#include "benchsupport.h"
#include "loggen.h"

#include "controls/outputfile.h"
#include "controls/trendpicture.h"
#include "controls/trendrenderer.h"
#include "core/logdocument.h"
#include "core/logtable.h"
#include "core/trenddata.h"
#include "core/trendreader.h"
#include "logview/batchexport.h"
#include "trend/trendbuilder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;
using bench::msSince;

namespace {

struct Phases
{
    double load = 0;
    double run = 0;
    double draw = 0;
    double write = 0;
    int rows = 0;
};

// The export's steps one by one, each timed; false when one did not complete.
bool exportInPhases(const QString &log, const QString &out, QSize size, Phases &phases)
{
    QElapsedTimer clock;
    clock.start();
    LogDocument document;
    document.load(log);
    phases.load = msSince(clock);
    phases.rows = document.table().rowCount();

    clock.restart();
    const trendreader::Result result = document.plot({GridBlock{2, -1, document.table().colCount(), -1}});
    phases.run = msSince(clock);
    if (result.end != trendreader::End::Complete)
        return false;

    clock.restart();
    const QImage image = trendrenderer::image(size, newTrendPicture(result), *result.data);
    phases.draw = msSince(clock);

    clock.restart();
    outputfile::writeWhole(out, outputfile::encodeImage(image, "png", -1, false));
    phases.write = msSince(clock);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const LogGenOptions options = bench::logOptions(args);
    const int runs = std::max(1, int(bench::argValue(args, u"--runs"_s, 3)));
    QTemporaryDir dir;
    const QString log = bench::writeBenchLog(dir, options);
    const QString out = dir.filePath(u"trend.png"_s);

    std::vector<double> floors;
    for (int i = 0; i < runs; ++i)
        floors.push_back(bench::parseFloor(log, options.valueColumns).ms);
    const double floorMs = bench::median(floors);
    std::printf("floor (parse every cell and its row's time on one thread): %.1f ms\n", floorMs);
    bench::resetPeakMemory();

    batchexport::Request request;
    request.logFile = log;
    request.outFile = out;
    std::vector<double> totals, loads, plotRuns, draws, writes;
    int rows = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        const QString why = batchexport::run(request);
        totals.push_back(msSince(clock));
        if (!why.isEmpty()) {
            std::fprintf(stderr, "the export failed: %s\n", qPrintable(why));
            return 1;
        }
        Phases phases;
        if (!exportInPhases(log, out, batchexport::DefaultSize, phases)) {
            std::fprintf(stderr, "the plot run did not complete\n");
            return 1;
        }
        loads.push_back(phases.load);
        plotRuns.push_back(phases.run);
        draws.push_back(phases.draw);
        writes.push_back(phases.write);
        rows = phases.rows;
        std::printf("run %d: export %.1f ms; load %.1f, run %.1f, draw %.1f, write %.1f ms\n", i + 1, totals.back(),
                    phases.load, phases.run, phases.draw, phases.write);
    }
    const double totalMs = bench::median(totals);
    std::printf("target: ratio <= 1.5\n");
    std::printf("export: rows=%d total_ms=%.1f load_ms=%.1f run_ms=%.1f draw_ms=%.1f write_ms=%.1f floor_ms=%.1f "
                "ratio=%.2f peak_mb=%.0f\n",
                rows, totalMs, bench::median(loads), bench::median(plotRuns), bench::median(draws),
                bench::median(writes), floorMs, totalMs / floorMs, bench::peakMegabytes());
    return 0;
}
