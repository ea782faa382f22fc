#pragma once

#include "logtable.h"

#include <QAbstractTableModel>

// The table model of the grid over its LogTable. Model row r and column c are grid
// row r + 1 and column c + 1: the grid's header row gives the horizontal header
// captions, its header column (the dates of a log) the vertical ones, and cell
// (0, 0) the corner caption. Nothing is editable through the model; every change
// goes through the operations below, which tell the views.
class GridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit GridModel(QObject *parent = nullptr);

    const LogTable &table() const { return m_table; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    QString cornerCaption() const { return m_table.text(0, 0); }

    // The LogTable operations, in grid coordinates; failures as LogTable throws them.
    bool load(const QString &path, char separator, int flags);
    void setGridRowCount(int rows);
    void setGridColCount(int cols);
    void setText(int col, int row, const QString &text);
    void clearRange(int col1, int row1, int col2, int row2);

signals:
    void cornerCaptionChanged();

private:
    void announce(int col1, int row1, int col2, int row2);

    LogTable m_table;
};
