// ./bench load [--rows N] [--values C] [--runs K]
//   Loads a generated log into the data file window as Open does and prints the
//   load time (median), the floor (reading the file's bytes and counting its
//   lines), the peak memory and the time to scroll to the last row and paint it.
// ./bench load --write FILE [--rows N] [--values C] [--interval S]
//   Only writes a generated log, for trying the viewer by hand.

#include "benchsupport.h"
#include "loggen.h"

#include "controls/commondialog.h"
#include "controls/gridcontrol.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "shell/sharedstate.h"
#include "shell/uiservices.h"
#include "shell/windowregistry.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace Qt::StringLiterals;
using bench::argValue;
using bench::median;
using bench::peakMegabytes;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    LogGenOptions options = bench::logOptions(args);
    options.intervalSeconds = int(argValue(args, u"--interval"_s, 1));
    const int runs = std::max(1, int(argValue(args, u"--runs"_s, 5)));

    const qsizetype writeAt = args.indexOf(u"--write"_s);
    if (writeAt >= 0) {
        if (writeAt + 1 >= args.size()) {
            std::fprintf(stderr, "usage: ./bench load --write FILE [--rows N] [--values C] [--interval S]\n");
            return 2;
        }
        const QString path = args.at(writeAt + 1);
        QString error;
        if (!writeLog(path, options, &error)) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(error));
            return 1;
        }
        std::printf("wrote %s: %lld rows, %d value columns, %.1f MB\n", qPrintable(path),
                    static_cast<long long>(options.rows), options.valueColumns, QFileInfo(path).size() / 1e6);
        return 0;
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(u"bench.csv"_s);
    QElapsedTimer clock;
    clock.start();
    QString error;
    if (!writeLog(path, options, &error)) {
        std::fprintf(stderr, "cannot write the log: %s\n", qPrintable(error));
        return 1;
    }
    const double fileMb = QFileInfo(path).size() / 1e6;
    std::printf("generated %lld rows x %d values: %.1f MB in %.0f ms\n", static_cast<long long>(options.rows),
                options.valueColumns, fileMb, double(clock.elapsed()));

    std::vector<double> floors;
    qsizetype lines = 0;
    for (int i = 0; i < runs; ++i)
        floors.push_back(bench::readFloorMs(path, "\n", lines));
    const double floorMs = median(floors);
    std::printf("floor (read + count %lld lines): median %.1f ms\n", static_cast<long long>(lines), floorMs);

    bench::installServices(path);
    DataFileWindow &window = bench::showDataFileWindow(dir.path());
    GridControl &grid = *window.dataGrid();

    std::vector<double> loads;
    for (int i = 0; i < runs; ++i) {
        clock.restart();
        window.getHistFile();
        QCoreApplication::processEvents(); // layout done: the grid is ready to paint
        loads.push_back(double(clock.nsecsElapsed()) / 1e6);
        std::printf("load %d: %.1f ms\n", i + 1, loads.back());
    }
    const double loadMs = median(loads);
    if (grid.rowCount() <= 0) {
        std::fprintf(stderr, "the log did not load\n");
        return 1;
    }
    clock.restart();
    grid.view()->viewport()->repaint();
    std::printf("first paint: %.1f ms\n", double(clock.nsecsElapsed()) / 1e6);

    std::vector<double> scrolls;
    for (int i = 0; i < runs; ++i) {
        grid.view()->scrollToTop();
        grid.view()->viewport()->repaint();
        clock.restart();
        grid.view()->scrollToBottom();
        grid.view()->viewport()->repaint();
        scrolls.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    const double scrollMs = median(scrolls);
    const double peakMb = peakMegabytes();
    std::printf("grid: %d rows x %d columns; last row dated %s %s\n", grid.rowCount(), grid.colCount(),
                qPrintable(grid.cellText(0, grid.rowCount())), qPrintable(grid.cellText(1, grid.rowCount())));
    std::printf("targets: ratio <= 3, peak < %.0f MB, scroll < 50 ms\n", 1.5 * fileMb + 80);
    std::printf("load: rows=%d file_mb=%.1f load_ms=%.1f floor_ms=%.1f ratio=%.2f peak_mb=%.0f scroll_ms=%.1f\n",
                grid.rowCount(), fileMb, loadMs, floorMs, loadMs / floorMs, peakMb, scrollMs);
    WindowRegistry::unloadAll();
    return 0;
}
