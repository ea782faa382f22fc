#pragma once

#include "core/blockselection.h"
#include "gridprinter.h"
#include "core/logtable.h"

#include <QHash>
#include <QPoint>
#include <QSizeF>
#include <QWidget>

#include <optional>

class GridModel;
class QAbstractButton;
class QPrinter;
class QTableView;

// The spreadsheet grid that holds a loaded log. Row 0 is the header row and
// column 0 the header column; cells proper start at row 1 and column 1, and the
// counts leave the headers out. The user can select blocks of cells but never edit
// them; the program reads and writes cells through the active cell or by position.
//
// The active cell and the block are the program's pointers into the grid: moving
// them neither scrolls the view nor changes what the user has selected.
//
// Ctrl+C copies the selected blocks as text, Ctrl+A selects every column after the
// frozen ones. Shift with the arrow keys, Page Up and Page Down (and Ctrl with
// the arrows, to the grid's edge) stretches a block from the keyboard's cell. Dragging a column caption's border sets the column's width, a
// double-click on it fits the column to the rows in view.
class GridControl : public QWidget
{
    Q_OBJECT

public:
    enum LoadFlag { HeaderRow = 1, HeaderColumn = 2 };

    explicit GridControl(QWidget *parent = nullptr);
    ~GridControl() override;

    // Replaces the whole content and the counts with the delimited text file,
    // read into the grid's own table.
    // `quote` is empty or a double quote: quoted fields are read either way (see
    // LogTable); `rowDelimiter` is CR LF or LF (CR LF, LF and a lone CR are all
    // read), `colDelimiter` one character; otherwise throws 5. A file that cannot
    // be loaded throws as LogTable::load does and leaves the grid empty; true when
    // loaded. At most LogTable::MaxColumns columns are held.
    bool loadDelimited(const QString &path, const QString &quote, const QString &colDelimiter,
                       const QString &rowDelimiter, int flags);
    // Shows `table` (see GridModel::showTable); null: the grid's own, which
    // loadDelimited() fills.
    void showTable(LogTable *table);
    // Shows the rows the table shown gained at its end. A view that showed the
    // last row scrolls on to the new last row; otherwise it stays where it is.
    void tableGrew();
    // What the last load has to say besides its cells.
    const LogTable::LoadNotes &loadNotes() const;

    int rowCount() const;
    int colCount() const;
    // A smaller count drops the trailing rows or columns; negative throws 380.
    void setRowCount(int rows);
    void setColCount(int cols);
    // The last column holding any text, headers included; 0 when none does.
    int lastDataColumn() const;
    // Whether the row's line in the file reaches `col` and ends in a line end.
    bool rowIsWhole(int row, int col) const;

    // The row of the view's current cell (the one the keyboard moves), from 1;
    // 0 when there is none. Setting it scrolls to it and leaves the selected
    // blocks alone; currentRowChanged() follows every change.
    int currentRow() const;
    void setCurrentRow(int row);

    void setActiveCell(int col, int row);
    int activeCol() const { return m_activeCol; }
    int activeRow() const { return m_activeRow; }
    QString activeText() const;
    // Throws 9 when the active cell lies outside the grid.
    void setActiveText(const QString &text);
    // Every cell holds the text as read or written, so its value is that text.
    QString activeValueText() const;
    // The active cell's text as the file's bytes, without a copy, where the grid
    // can give them (a plain ASCII file, a cell not written over); false otherwise.
    bool activeRawText(QByteArrayView &bytes) const;

    // The block that block operations work on; rows or columns may be -1 (whole columns or rows).
    void setBlock(int firstCol, int firstRow, int lastCol, int lastRow);
    GridBlock block() const { return m_block; }

    // Empty outside the grid; the active cell stays where it is.
    QString cellText(int col, int row) const;
    // The cell's text as the file's bytes, without a copy, where the grid can give
    // them (a plain ASCII file, a cell not written over); false otherwise.
    bool cellRawText(int col, int row, QByteArrayView &bytes) const;
    // The same for one column read down its rows; one reader per thread.
    LogTable::ColumnReader columnReader(int col) const;

    // The user's selection: blocks numbered from 0 in the order they were made.
    bool hasSelectedBlock() const;
    int selectionBlockCount() const;
    // Throws 9 for a number that is not a block's.
    GridBlock selectionBlock(int n) const;
    // The last block made; all zero when nothing is selected.
    GridBlock selectedBlock() const;
    // Selects these blocks as if the user had made them, in this order; a block
    // of whole columns has -1 rows.
    void setSelectionBlocks(const QList<GridBlock> &blocks);

    // Width in characters of the grid's font (the width of "0"); column 0 is the
    // header column, -1 every column. Throws 380 for a negative width.
    void setColumnWidth(int col, double width);
    double columnWidth(int col) const;

    // Fits the column to the widest of its caption and its cells in the rows in view;
    // column 0, the row captions, to those of the first and last rows.
    void fitColumnWidth(int col);

    // The first `count` columns (a log's time of day) stay beside the header
    // column when the view scrolls sideways, are printed again beside it on every
    // later band of columns, and are left out by Ctrl+A. Negative throws 380.
    void setFrozenColumns(int count);
    int frozenColumns() const { return m_frozenColumns; }

    // The selected blocks as GridModel::blocksText gives them, put on the
    // clipboard; with nothing selected the clipboard keeps what it had.
    void copySelection();
    // One block of whole columns from the first after the frozen ones to the last,
    // where whole columns may be selected.
    void selectValueColumns();
    // The blocks that Ctrl+A selects: the value columns as the log's owner knows
    // them. None set: every column right of the frozen ones.
    void setValueBlocks(const QList<GridBlock> &blocks) { m_valueBlocks = blocks; }
    void clearValueBlocks() { m_valueBlocks.reset(); }

    // Bits of BlockSelection::Option; throws 380 for other bits.
    void setBlockSelectionOptions(int options);
    int blockSelectionOptions() const;
    void setMultipleBlocks(bool allowed);
    bool multipleBlocks() const;
    // The grid never lets the user edit a cell; locking and protection are kept
    // and reported for the program's own rules.
    void setCellsLocked(bool locked) { m_locked = locked; }
    bool cellsLocked() const { return m_locked; }
    void setSheetProtected(bool on) { m_protected = on; }
    bool sheetProtected() const { return m_protected; }
    // A numeric setting the program hands the grid at load; kept and reported, it
    // changes nothing in this grid.
    void setNumericOption(int value) { m_numericOption = value; }
    int numericOption() const { return m_numericOption; }

    // Empties the cells between the corners, headers included when they are in
    // range. There is no formatting, so `dataOnly` makes no difference.
    void clearRange(int col1, int row1, int col2, int row2, bool dataOnly);

    QSizeF sizeTwips() const;

    // What the print action prints and how: kept until changed. The block printed
    // with GridPrintSettings::Block is block().
    GridPrintSettings &printSettings() { return m_print; }
    const GridPrintSettings &printSettings() const { return m_print; }
    // The print action: one print job on `printer`, the pages drawn from the model
    // (see GridPrinter). Returns the number of pages printed; throws 380 for a
    // setting out of range and 482 when the printer fails. Announces each job
    // sent with printed().
    int print(QPrinter &printer);

    QTableView *view() const { return m_view; }
    GridModel *model() const { return m_model; }
    // The top-left caption, drawn in the corner between the headers.
    QString cornerCaption() const;

signals:
    void selectionBlocksChanged();
    void currentRowChanged(int row);
    // A print job went to the printer with this many pages.
    void printed(int pages);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setUpFrozenView();
    void placeFrozenView();
    int frozenRight() const;
    int columnAtX(int x) const;
    int columnRight(int column) const;
    int borderAt(int x) const;
    bool keyEvent(QEvent *event);
    static bool movementKey(int key);
    bool stretchByKey(int key, Qt::KeyboardModifiers modifiers);
    bool captionMouse(QEvent *event, QWidget *source, QPoint pos);
    bool rowCaptionMouse(QEvent *event, QWidget *source);
    void fitRowCaptions();
    void setCurrentCell(int col, int row);
    bool selectionMouse(QEvent *event, BlockSelection::Target target, QPoint pos);
    std::optional<QPoint> pressedAt(BlockSelection::Target target, QPoint pos) const;
    bool cornerEvent(QEvent *event);
    int clampedColumnAt(int x) const;
    int clampedRowAt(int y) const;
    void showSelection();
    int pixelsForWidth(double width) const;
    double widthForPixels(int pixels) const;
    void applyRowHeight();

    GridModel *m_model = nullptr;
    QTableView *m_view = nullptr;
    // Drawn over the left of the cells: the frozen columns, unscrolled sideways.
    QTableView *m_frozen = nullptr;
    QAbstractButton *m_corner = nullptr;
    int m_frozenColumns = 0;
    std::optional<QList<GridBlock>> m_valueBlocks;
    bool m_resizingCaptions = false;
    // The model column whose border is being dragged, where it was taken and its width then.
    int m_resizing = -1;
    int m_resizeFromX = 0;
    int m_resizeFromPixels = 0;
    BlockSelection m_selection;
    GridBlock m_block;
    GridPrintSettings m_print;
    int m_activeCol = 1;
    int m_activeRow = 1;
    bool m_locked = false;
    bool m_protected = false;
    int m_numericOption = 0;
    double m_headerWidth = 0;
    double m_defaultWidth = 0;
    QHash<int, double> m_widths;
};
