#pragma once

#include "core/blockselection.h"
#include "core/logtable.h"

#include <QAbstractTableModel>

// The table model of the grid over a LogTable: its own, or one that another
// object holds (the open log's) and shows through it. Model row r and column c
// are grid row r + 1 and column c + 1: the grid's header row gives the horizontal
// header captions, its header column (the dates of a log) the vertical ones, and
// cell (0, 0) the corner caption. Nothing is editable through the model; every
// change goes through the operations below, which tell the views. The counts the
// views know are the model's own: a table changed by its holder is shown anew
// by showTable(), or its new rows by tableGrew().
class GridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // True for a cell inside one of the user's blocks; the views paint such cells
    // highlighted.
    static constexpr int SelectedRole = Qt::UserRole + 1;
    // The longest text a cell or caption shows; longer ones end in an ellipsis.
    static constexpr int MaxShownLength = 1000;
    static QString shown(QString text);

    explicit GridModel(QObject *parent = nullptr);

    // The blocks to show as selected; the grid owns them and tells the views when
    // they change. Checking a handful of rectangles per painted cell keeps a
    // selection of whole columns of a million rows as cheap to draw as any.
    void setSelection(const BlockSelection *selection) { m_selection = selection; }
    bool isSelected(int col, int row) const;
    bool isWholeColumnSelected(int col) const;

    const LogTable &table() const { return *m_table; }
    // Shows `table`, which its holder keeps alive until it shows another; null:
    // the model's own.
    void showTable(LogTable *table);
    // The shown table gained rows at its end (its last row may have gone on too).
    void tableGrew();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    QString cornerCaption() const { return m_table->text(0, 0); }

    // The blocks as text, in their order: each row of a block a line of its cells
    // separated by tabs, a block of whole columns led by a line of their captions,
    // an empty line between blocks. Blocks are clipped to the grid; cells keep
    // their whole text. One pass over each block's rows, straight from the file's
    // bytes where the table can give them.
    QString blocksText(const QList<GridBlock> &blocks) const;

    // The LogTable operations, in grid coordinates, on the table shown; failures
    // as LogTable throws them. A load goes into the model's own table.
    void load(const QString &path, char separator, int flags);
    void setGridRowCount(int rows);
    void setGridColCount(int cols);
    void setText(int col, int row, const QString &text);
    void clearRange(int col1, int row1, int col2, int row2);

signals:
    void cornerCaptionChanged();

private:
    void announce(int col1, int row1, int col2, int row2);

    void takeCounts();

    const BlockSelection *m_selection = nullptr;

    LogTable m_own;
    LogTable *m_table = &m_own;
    int m_rows = 0;
    int m_cols = 0;
};
