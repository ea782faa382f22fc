// ./bench copy [--rows N] [--values C] [--runs K]
//   Copies selections of a generated log as text with the grid's Ctrl+C and
//   prints the times (medians) and sizes: one whole value column, every value
//   column (Ctrl+A), and a block of 100 rows by every column from the middle.

#include "benchsupport.h"
#include "loggen.h"

#include "controls/gridcontrol.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;
using bench::argValue;
using bench::timed;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const LogGenOptions options = bench::logOptions(args);
    const int runs = std::max(1, int(argValue(args, u"--runs"_s, 5)));

    QTemporaryDir dir;
    const QString path = bench::writeBenchLog(dir, options);
    GridControl grid;
    if (!grid.loadDelimited(path, QString(), u","_s, u"\r\n"_s, GridControl::HeaderRow | GridControl::HeaderColumn)) {
        std::fprintf(stderr, "the log did not load\n");
        return 1;
    }
    grid.setFrozenColumns(1);
    grid.setBlockSelectionOptions(BlockSelection::WholeColumns | BlockSelection::Blocks);
    const int rows = grid.rowCount();
    std::printf("log: %d rows x %d columns, %.1f MB\n", rows, grid.colCount(), QFileInfo(path).size() / 1e6);

    const auto copied = [&](const char *what) {
        const double ms = timed(runs, [&] { grid.copySelection(); });
        const qsizetype chars = QGuiApplication::clipboard()->text().size();
        std::printf("%s: %.1f ms, %lld characters\n", what, ms, static_cast<long long>(chars));
        return ms;
    };
    grid.setSelectionBlocks({GridBlock{3, -1, 3, -1}});
    const double columnMs = copied("one whole value column");
    grid.selectValueColumns();
    const double allMs = copied("every value column (Ctrl+A)");
    const int middle = std::max(1, rows / 2);
    grid.setSelectionBlocks({GridBlock{1, middle, grid.colCount(), std::min(rows, middle + 99)}});
    const double blockMs = copied("block of 100 rows, every column");

    std::printf("summary: one column %.1f ms, every value column %.1f ms, 100-row block %.2f ms, peak %.0f MB\n",
                columnMs, allMs, blockMs, bench::peakMegabytes());
    return 0;
}
