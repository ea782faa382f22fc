#pragma once

#include <QList>
#include <QPoint>
#include <Qt>

// A rectangle of grid cells. A block of whole columns has -1 as both rows, a block
// of whole rows -1 as both columns.
struct GridBlock
{
    int firstCol = 0;
    int firstRow = 0;
    int lastCol = 0;
    int lastRow = 0;

    friend bool operator==(const GridBlock &, const GridBlock &) = default;
};

// The blocks that the user selects in the grid, in the order they were made, from
// presses and drags on cells, column headers, row headers and the corner, and from
// Shift with the keyboard's movement keys. Which of these may start a block is set
// by the options; several blocks need Ctrl and the multiple-blocks switch.
// Coordinates are grid coordinates (cells from 1).
class BlockSelection
{
public:
    enum Option {
        WholeColumns = 1,
        WholeRows = 2,
        Blocks = 4,
        WholeSheet = 8,
        AllOptions = 15,
    };
    enum class Target { Cell, ColumnHeader, RowHeader, Corner };

    int options() const { return m_options; }
    void setOptions(int options) { m_options = options; }
    bool multiple() const { return m_multiple; }
    void setMultiple(bool multiple) { m_multiple = multiple; }

    // A mouse press; `col` counts for cells and column headers, `row` for cells
    // and row headers. Returns whether the blocks changed.
    bool press(Target target, int col, int row, Qt::KeyboardModifiers modifiers);
    // Moves the far corner of the block begun by the last press.
    bool dragTo(int col, int row);
    void release() { m_dragging = false; }
    void clear();
    // Replaces the blocks, as a program selects cells for the user.
    void setBlocks(const QList<GridBlock> &blocks)
    {
        m_blocks = blocks;
        m_dragging = false;
        m_stretchable = false;
    }

    // The keyboard, as a spreadsheet has it: Shift with a movement key stretches
    // the block of cells made last (by a press, a drag or an earlier stretch) from
    // its anchor, while the keyboard's cell `at` is that block's anchor or far
    // corner; otherwise it begins a new block at `at`. A movement without Shift
    // ends the stretching (endStretch), as does any other change of the blocks.
    //
    // Where the movement starts: the far corner of the block to stretch, else `at`.
    QPoint stretchFrom(QPoint at) const { return canStretch(at) ? m_far : at; }
    // The block from its anchor (or from `at`, beginning anew) to `to`; nothing
    // where blocks of cells may not be made. Returns whether the blocks changed.
    bool stretchTo(QPoint at, QPoint to);
    void endStretch() { m_stretchable = false; }

    const QList<GridBlock> &blocks() const { return m_blocks; }

private:
    GridBlock spanTo(int col, int row) const;
    bool canStretch(QPoint at) const;

    int m_options = AllOptions;
    bool m_multiple = false;
    QList<GridBlock> m_blocks;
    Target m_kind = Target::Cell;
    int m_anchorCol = 0;
    int m_anchorRow = 0;
    bool m_dragging = false;
    // The corner of the last block of cells opposite its anchor, and whether the
    // keyboard may still stretch that block from there.
    QPoint m_far;
    bool m_stretchable = false;
};
