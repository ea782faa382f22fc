#include "loggrid.h"

#include "controls/gridcontrol.h"

void prepareLogGrid(GridControl &grid)
{
    grid.setBlockSelectionOptions(BlockSelection::WholeColumns | BlockSelection::Blocks);
    // Not merely the separators a logger may end its lines with: a missing cell.
    const int lastRow = grid.rowCount();
    if (lastRow > 0) {
        const int lastCol = grid.lastDataColumn();
        for (int col = 0; col <= lastCol; ++col) {
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
