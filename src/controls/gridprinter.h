#pragma once

#include "core/blockselection.h"

#include <QList>
#include <QString>

#include <functional>

class GridModel;
class QPrinter;

// What the grid's print action is told; the grid keeps it between printouts.
struct GridPrintSettings
{
    enum Type { WholeSheet = 0, Block = 1 };

    QString jobName;
    QString header;        // page codes, see PageText
    QString footer;
    int type = WholeSheet; // Block prints the grid's block
    bool useDataMax = false; // stop at the last row and column holding a cell with data
    int orientation = 0;   // 0 the printer's own, 1 portrait, 2 landscape
    int firstPage = 0;     // 0: from the first page
    int lastPage = 0;      // 0: to the last page
};

// A page header or footer, split from its codes: "/l" starts the left part (where
// text without a code goes), "/c" the centred part, "/r" the right-aligned part;
// "/p" stands for the page number and "//" for a slash. Any other slash is text.
struct PageText
{
    QString left;
    QString centre;
    QString right;

    static PageText parse(const QString &codes, int page);
    // Text that is to print as it is (a file path), with its slashes doubled.
    static QString escaped(const QString &text);
};

// The cells a printout covers, in grid coordinates (cells from 1); empty when
// there is nothing to print.
struct PrintArea
{
    int firstCol = 1;
    int lastCol = 0;
    int firstRow = 1;
    int lastRow = 0;

    bool isEmpty() const { return lastCol < firstCol || lastRow < firstRow; }
    friend bool operator==(const PrintArea &, const PrintArea &) = default;

    // The whole sheet or the block (whole rows or columns where it has -1), clipped
    // to the grid, and with `useDataMax` cut back after the last cell with data.
    // Reads only the rows it covers, from the bottom up.
    static PrintArea of(const GridModel &model, const GridPrintSettings &settings, const GridBlock &block);
};

// A printout cut into pages. Columns that don't fit beside the date column go on
// to further pages in bands; the pages run down all the rows of the first band,
// then down the rows of the next band, and so on. Pages count from 1. Columns 1 to
// `repeatedLastCol` (a log's time of day) print beside the date column on every
// page whose band starts after them, so that a block of values, or a later band,
// still shows each row's time.
struct PagePlan
{
    struct Band
    {
        int firstCol;
        int lastCol;
    };
    struct Page
    {
        int firstCol, lastCol, firstRow, lastRow;
        int repeatedLastCol; // columns 1 to this print first, beside the date
    };

    QList<Band> bands;
    int repeatedLastCol = 0;
    int firstRow = 1;
    int lastRow = 0;
    int rowsPerPage = 1;

    int rowPages() const;
    int pageCount() const;
    Page page(int number) const;

    // `columnWidth(col)` gives a column's width in the units of `bandWidth`, the
    // room beside the date column; a column wider than that has a band of its own.
    // The first `repeatedCols` columns repeat when they take at most half the room;
    // a band has what the ones printed before it leave.
    static PagePlan make(const PrintArea &area, const std::function<double(int)> &columnWidth,
                         double bandWidth, int rowsPerPage, int repeatedCols = 0);
};

// Paints the grid's model onto a printer, page by page: each page has the header,
// the column captions and the dates of its rows, the cells with grid lines, and the
// footer. Column widths follow the grid's (in characters of the printing font).
class GridPrinter
{
public:
    // The first `repeatedCols` columns print beside the date on every page whose
    // columns start after them.
    GridPrinter(const GridModel &model, std::function<double(int)> columnChars, int repeatedCols = 0);

    // One print job on `printer` (its name, orientation and margins are set here)
    // with the pages of the settings' range. Returns the number of pages printed;
    // nothing is sent when there is nothing to print. Throws 380 for a setting out
    // of range and 482 when the printer fails.
    int print(QPrinter &printer, const GridPrintSettings &settings, const GridBlock &block) const;

private:
    const GridModel &m_model;
    std::function<double(int)> m_columnChars;
    int m_repeatedCols = 0;
};
