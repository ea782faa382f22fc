#pragma once

#include <QIcon>

// The program's pictures, drawn in code so that they stay crisp at any size.
enum class IconKind {
    App,
    Open,       // data file window toolbar
    Plot,
    Print,
    CancelPlot,
    Setup,      // trend window toolbar
    Cursor,
    SaveJpeg,
    PrintTrend,
    PrintPreview, // both windows' toolbars
    ExportPdf,
    Statistics, // trend window: the statistics panel
};

QIcon drawnIcon(IconKind kind);
