#include "loggrid.h"

#include "controls/gridcontrol.h"

#include <algorithm>

void prepareLogGrid(GridControl &grid)
{
    grid.setBlockSelectionOptions(BlockSelection::WholeColumns | BlockSelection::Blocks);
    // A last row cut short by a power cut goes: it lacks its date or time, or its
    // line stops short of the last column holding data, or lacks its line end and
    // a cell. Not merely the separators a logger may end its lines with; and an
    // empty value in a line written whole is a missing sample, which stays.
    const int lastRow = grid.rowCount();
    if (lastRow > 0) {
        const int lastCol = grid.lastDataColumn();
        const int mustHold = grid.rowIsWhole(lastRow, lastCol) ? std::min(lastCol, 1) : lastCol;
        for (int col = 0; col <= mustHold; ++col) {
            grid.setActiveCell(col, lastRow);
            if (grid.activeText().isEmpty()) {
                grid.setRowCount(grid.rowCount() - 1);
                break;
            }
        }
    }
    grid.setColCount(grid.lastDataColumn());
    grid.setCellsLocked(true);
    grid.setSheetProtected(true);
    grid.setMultipleBlocks(true);
}
