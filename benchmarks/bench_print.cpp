// ./bench print [--rows N] [--values C] [--runs K]
//   Prints a generated log to PDF files with the grid's print action and prints
//   the times (medians): finding the last cell with data of the whole sheet, a
//   100-row block from the middle of the log, one page from the middle of the
//   whole sheet, and a 2,000-row block (per page).

#include "benchsupport.h"
#include "loggen.h"

#include "controls/gridcontrol.h"
#include "controls/gridmodel.h"
#include "controls/gridprinter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;
using bench::argValue;
using bench::timed;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const LogGenOptions options = bench::logOptions(args);
    const int runs = std::max(1, int(argValue(args, u"--runs"_s, 5)));
    const int rows = int(options.rows);

    QTemporaryDir dir;
    const QString path = bench::writeBenchLog(dir, options);
    GridControl grid;
    if (!grid.loadDelimited(path, QString(), u","_s, u"\r\n"_s, GridControl::HeaderRow | GridControl::HeaderColumn)) {
        std::fprintf(stderr, "the log did not load\n");
        return 1;
    }
    grid.setColumnWidth(0, 14);
    grid.setColumnWidth(-1, 14);
    std::printf("log: %d rows x %d columns, %.1f MB\n", grid.rowCount(), grid.colCount(),
                QFileInfo(path).size() / 1e6);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setOutputFileName(dir.filePath(u"out.pdf"_s));
    GridPrintSettings &settings = grid.printSettings();
    settings = {u"Bench"_s, u"Grid printout for fileName "_s + PageText::escaped(path), u"/c/rPage #/p"_s,
                GridPrintSettings::WholeSheet, true, 1, 0, 0};

    PrintArea area;
    const double areaMs = timed(runs, [&] { area = PrintArea::of(*grid.model(), settings, {}); });
    std::printf("last cell with data of the whole sheet (row %d, column %d): %.2f ms\n", area.lastRow,
                area.lastCol, areaMs);

    int pages = 0;
    const int middle = std::max(1, rows / 2);
    settings.type = GridPrintSettings::Block;
    grid.setBlock(2, middle, grid.colCount(), std::min(rows, middle + 99));
    const double blockMs = timed(runs, [&] { pages = grid.print(printer); });
    std::printf("block of 100 rows from the middle: %d pages in %.1f ms\n", pages, blockMs);

    settings.type = GridPrintSettings::WholeSheet;
    // A page half-way down the first band (a page holds fewer than 50 rows).
    settings.firstPage = settings.lastPage = std::max(1, (rows / 50) / 2);
    const double pageMs = timed(runs, [&] { pages = grid.print(printer); });
    std::printf("page %d of the whole sheet: %d page in %.1f ms\n", settings.firstPage, pages, pageMs);

    settings.firstPage = settings.lastPage = 0;
    settings.type = GridPrintSettings::Block;
    grid.setBlock(-1, 1, -1, std::min(rows, 2000));
    const double bigBlockMs = timed(std::min(runs, 3), [&] { pages = grid.print(printer); });
    const double perPage = pages > 0 ? bigBlockMs / pages : 0;
    std::printf("block of 2,000 rows, all columns: %d pages in %.0f ms (%.1f ms a page, PDF %.1f MB)\n", pages,
                bigBlockMs, perPage, QFileInfo(printer.outputFileName()).size() / 1e6);

    std::printf("summary: sheet extent %.2f ms, 100-row block %.1f ms, one page of a %d-row sheet %.1f ms, %.1f ms a page\n",
                areaMs, blockMs, rows, pageMs, perPage);
    return 0;
}
