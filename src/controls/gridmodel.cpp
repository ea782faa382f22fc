#include "gridmodel.h"

#include <QFont>
#include <QPalette>

#include <algorithm>

namespace {
// A number with a decimal point or a decimal comma, whatever the user's locale:
// a column of a log written with commas lines up as one written with points,
// and a log of either kind looks the same on every desktop. A text with both
// marks, or with more than one comma, is no number of either kind.
bool isNumberText(QString text)
{
    if (text.count(u',') == 1 && !text.contains(u'.'))
        text.replace(u',', u'.');
    bool number = false;
    text.toDouble(&number); // always the C locale
    return number;
}
} // namespace

GridModel::GridModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

void GridModel::takeCounts()
{
    m_rows = m_table->rowCount();
    m_cols = m_table->colCount();
}

void GridModel::showTable(LogTable *table)
{
    beginResetModel();
    m_table = table ? table : &m_own;
    takeCounts();
    endResetModel();
    emit cornerCaptionChanged();
}

void GridModel::tableGrew()
{
    const int oldRows = m_rows;
    const int rows = m_table->rowCount();
    if (m_table->colCount() != m_cols || rows < oldRows)
        return showTable(m_table);
    // The last row may have been held without its line end and gone on.
    if (oldRows > 0)
        emit dataChanged(index(oldRows - 1, 0), index(oldRows - 1, std::max(0, m_cols - 1)));
    if (rows == oldRows)
        return;
    beginInsertRows(QModelIndex(), oldRows, rows - 1);
    m_rows = rows;
    endInsertRows();
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return shown(m_table->text(index.column() + 1, index.row() + 1));
    case SelectedRole:
        return isSelected(index.column() + 1, index.row() + 1);
    case Qt::BackgroundRole:
        return isSelected(index.column() + 1, index.row() + 1) ? QVariant(QPalette().brush(QPalette::Highlight))
                                                                : QVariant();
    case Qt::ForegroundRole:
        return isSelected(index.column() + 1, index.row() + 1)
                   ? QVariant(QPalette().brush(QPalette::HighlightedText))
                   : QVariant();
    case Qt::TextAlignmentRole: {
        // Numbers to the right, as a spreadsheet shows them.
        const bool number = isNumberText(shown(m_table->text(index.column() + 1, index.row() + 1)));
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    default:
        return {};
    }
}

QString GridModel::shown(QString text)
{
    // No cell shows more than this; laying out a line of megabytes would hold up
    // every repaint for seconds.
    if (text.size() > MaxShownLength) {
        text.truncate(MaxShownLength);
        text += u'\u2026';
    }
    return text;
}

bool GridModel::isSelected(int col, int row) const
{
    if (!m_selection)
        return false;
    for (const GridBlock &b : m_selection->blocks()) {
        const bool inCols = b.firstCol == -1 || (col >= std::min(b.firstCol, b.lastCol) && col <= std::max(b.firstCol, b.lastCol));
        const bool inRows = b.firstRow == -1 || (row >= std::min(b.firstRow, b.lastRow) && row <= std::max(b.firstRow, b.lastRow));
        if (inCols && inRows)
            return true;
    }
    return false;
}

bool GridModel::isWholeColumnSelected(int col) const
{
    if (!m_selection)
        return false;
    for (const GridBlock &b : m_selection->blocks())
        if (b.firstRow == -1 && (b.firstCol == -1 || (col >= std::min(b.firstCol, b.lastCol) && col <= std::max(b.firstCol, b.lastCol))))
            return true;
    return false;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::FontRole && orientation == Qt::Horizontal && section >= 0 && isWholeColumnSelected(section + 1)) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    // A column's heading lines under its heading (units, notes) show as its tip.
    if (role == Qt::ToolTipRole && orientation == Qt::Horizontal && section >= 0 && section < m_cols) {
        const QStringList under = m_table->underHeading(section + 1);
        return under.isEmpty() ? QVariant() : QVariant((QStringList{m_table->text(section + 1, 0)} + under).join(u'\n'));
    }
    if (role != Qt::DisplayRole || section < 0)
        return {};
    if (orientation == Qt::Horizontal)
        return section < m_cols ? shown(m_table->text(section + 1, 0)) : QVariant();
    return section < m_rows ? shown(m_table->text(0, section + 1)) : QVariant();
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QString GridModel::blocksText(const QList<GridBlock> &blocks) const
{
    QByteArray out;
    const auto appendCell = [&](int col, int row) {
        QByteArrayView raw;
        if (m_table->rawText(col, row, raw))
            out.append(raw);
        else
            out.append(m_table->text(col, row).toUtf8());
    };
    const auto appendLine = [&](int row, int firstCol, int lastCol) {
        for (int col = firstCol; col <= lastCol; ++col) {
            if (col > firstCol)
                out.append('\t');
            appendCell(col, row);
        }
        out.append('\n');
    };
    bool first = true;
    for (const GridBlock &b : blocks) {
        const bool allCols = b.firstCol == -1 || b.lastCol == -1;
        const bool allRows = b.firstRow == -1 || b.lastRow == -1;
        const int firstCol = allCols ? 1 : std::max(1, std::min(b.firstCol, b.lastCol));
        const int lastCol = allCols ? m_table->colCount() : std::min(m_table->colCount(), std::max(b.firstCol, b.lastCol));
        const int firstRow = allRows ? 1 : std::max(1, std::min(b.firstRow, b.lastRow));
        const int lastRow = allRows ? m_table->rowCount() : std::min(m_table->rowCount(), std::max(b.firstRow, b.lastRow));
        if (firstCol > lastCol || (firstRow > lastRow && !allRows))
            continue; // nothing of it is left in the grid
        if (!first)
            out.append('\n');
        first = false;
        if (allRows)
            appendLine(0, firstCol, lastCol);
        for (int row = firstRow; row <= lastRow; ++row)
            appendLine(row, firstCol, lastCol);
    }
    return QString::fromUtf8(out);
}

void GridModel::load(const QString &path, char separator, int flags)
{
    beginResetModel();
    m_table = &m_own;
    try {
        m_own.load(path, separator, flags);
    } catch (...) {
        takeCounts();
        endResetModel();
        emit cornerCaptionChanged();
        throw;
    }
    takeCounts();
    endResetModel();
    emit cornerCaptionChanged();
}

void GridModel::setGridRowCount(int rows)
{
    const int old = m_rows;
    if (rows < 0 || rows == old)
        return m_table->setRowCount(rows);
    if (rows < old) {
        beginRemoveRows(QModelIndex(), rows, old - 1);
        m_table->setRowCount(rows);
        m_rows = rows;
        endRemoveRows();
    } else {
        beginInsertRows(QModelIndex(), old, rows - 1);
        m_table->setRowCount(rows);
        m_rows = rows;
        endInsertRows();
    }
}

void GridModel::setGridColCount(int cols)
{
    const int old = m_cols;
    if (cols < 0 || cols == old)
        return m_table->setColCount(cols);
    if (cols < old) {
        beginRemoveColumns(QModelIndex(), cols, old - 1);
        m_table->setColCount(cols);
        m_cols = cols;
        endRemoveColumns();
    } else {
        beginInsertColumns(QModelIndex(), old, cols - 1);
        m_table->setColCount(cols);
        m_cols = cols;
        endInsertColumns();
    }
}

void GridModel::setText(int col, int row, const QString &text)
{
    m_table->setText(col, row, text);
    announce(col, row, col, row);
}

void GridModel::clearRange(int col1, int row1, int col2, int row2)
{
    m_table->clearRange(col1, row1, col2, row2);
    announce(std::min(col1, col2), std::min(row1, row2), std::max(col1, col2), std::max(row1, row2));
}

// Tells the views which grid cells changed: cells proper, header captions, corner.
void GridModel::announce(int col1, int row1, int col2, int row2)
{
    col1 = std::max(col1, 0);
    row1 = std::max(row1, 0);
    col2 = std::min(col2, m_table->colCount());
    row2 = std::min(row2, m_table->rowCount());
    if (col1 > col2 || row1 > row2)
        return;
    if (col1 == 0 && row1 == 0)
        emit cornerCaptionChanged();
    if (row1 == 0 && col2 >= 1)
        emit headerDataChanged(Qt::Horizontal, std::max(col1, 1) - 1, col2 - 1);
    if (col1 == 0 && row2 >= 1)
        emit headerDataChanged(Qt::Vertical, std::max(row1, 1) - 1, row2 - 1);
    if (col2 >= 1 && row2 >= 1)
        emit dataChanged(index(std::max(row1, 1) - 1, std::max(col1, 1) - 1), index(row2 - 1, col2 - 1));
}
