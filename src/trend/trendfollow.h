#pragma once

#include "core/blockselection.h"

#include <QList>

class GridControl;

// Takes the rows a followed log gained into the trend window's trend, when that
// trend was plotted from `blocks` of the log now in `grid`. The grid had
// `oldRowCount` rows before. Blocks of whole columns grow, and so does a block
// that ended at the old last row (its last row moves on with the log); a block
// that ends above it keeps its rows. A value that is no number is a gap; a row
// whose date or time cannot be read is left out, and the first such row goes to
// `leftOut` (else 0).
//
// The zoom sliders keep their zoom of the grown span: the X axis shows the same
// share of it, moving with the data when it showed the end and staying put
// otherwise; an unzoomed Y axis is fitted to the grown data. Returns the rows added.
int growHistTrend(const GridControl &grid, QList<GridBlock> &blocks, int oldRowCount, int *leftOut = nullptr);

// Makes room in the trend of the log now loaded for `rows` more rows, so that
// growing it does not copy what it holds; a trend of another log is left alone.
// Throws std::bad_alloc.
void reserveHistTrendGrowth(qsizetype rows);

// Says in the status bar of the trend of the log now loaded that the file was
// emptied and the trend shows the rows read before; a trend of another log is
// left alone.
void markHistTrendEmptied();
