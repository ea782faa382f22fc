#pragma once

class GridControl;

// A freshly loaded log made ready for plotting, as the plot command relies on it:
// an incomplete last row (cut short by a power cut: it lacks a cell up to the last
// column holding data anywhere) and empty columns at the right end dropped, cells
// locked, whole columns and several blocks selectable. A header alone keeps its
// headings.
void prepareLogGrid(GridControl &grid);
