#include "blockselection.h"

#include <algorithm>

bool BlockSelection::press(Target target, int col, int row, Qt::KeyboardModifiers modifiers)
{
    m_dragging = false;
    m_stretchable = false;
    switch (target) {
    case Target::Cell:
        if (!(m_options & Blocks)) {
            const bool had = !m_blocks.isEmpty();
            m_blocks.clear();
            return had;
        }
        break;
    case Target::ColumnHeader:
        if (!(m_options & WholeColumns))
            return false;
        break;
    case Target::RowHeader:
        if (!(m_options & WholeRows))
            return false;
        break;
    case Target::Corner:
        if (!(m_options & WholeSheet))
            return false;
        m_blocks = {GridBlock{-1, -1, -1, -1}};
        return true;
    }

    m_far = QPoint(col, row);
    m_stretchable = target == Target::Cell;
    // Shift stretches the last block of the same kind from its anchor.
    if ((modifiers & Qt::ShiftModifier) && !m_blocks.isEmpty() && m_kind == target) {
        m_blocks.last() = spanTo(col, row);
        m_dragging = true;
        return true;
    }
    m_kind = target;
    m_anchorCol = col;
    m_anchorRow = row;
    const GridBlock block = spanTo(col, row);
    if ((modifiers & Qt::ControlModifier) && m_multiple)
        m_blocks.append(block);
    else
        m_blocks = {block};
    m_dragging = true;
    return true;
}

bool BlockSelection::dragTo(int col, int row)
{
    if (!m_dragging || m_blocks.isEmpty())
        return false;
    const GridBlock block = spanTo(col, row);
    m_far = QPoint(col, row);
    if (block == m_blocks.last())
        return false;
    m_blocks.last() = block;
    return true;
}

bool BlockSelection::canStretch(QPoint at) const
{
    return m_stretchable && m_kind == Target::Cell && !m_blocks.isEmpty()
           && (at == m_far || at == QPoint(m_anchorCol, m_anchorRow));
}

bool BlockSelection::stretchTo(QPoint at, QPoint to)
{
    if (!(m_options & Blocks))
        return false;
    m_dragging = false;
    if (!canStretch(at)) {
        m_kind = Target::Cell;
        m_anchorCol = at.x();
        m_anchorRow = at.y();
        m_blocks = {GridBlock{}};
    }
    m_far = to;
    m_stretchable = true;
    const GridBlock block = spanTo(to.x(), to.y());
    if (block == m_blocks.last())
        return false;
    m_blocks.last() = block;
    return true;
}

void BlockSelection::clear()
{
    m_blocks.clear();
    m_dragging = false;
    m_stretchable = false;
}

GridBlock BlockSelection::spanTo(int col, int row) const
{
    const int firstCol = std::min(m_anchorCol, col);
    const int lastCol = std::max(m_anchorCol, col);
    const int firstRow = std::min(m_anchorRow, row);
    const int lastRow = std::max(m_anchorRow, row);
    switch (m_kind) {
    case Target::ColumnHeader:
        return {firstCol, -1, lastCol, -1};
    case Target::RowHeader:
        return {-1, firstRow, -1, lastRow};
    default:
        return {firstCol, firstRow, lastCol, lastRow};
    }
}
