#pragma once

#include <QIcon>

// The program's pictures, drawn in code so that they stay crisp at any size. Their
// outlines are drawn in the desktop palette's text colour each time they are
// shown, so that they stand out on a light or a dark desktop, and follow a change
// of the palette while the program runs.
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
