#pragma once

#include "core/olecolor.h"

#include <QSizeF>

class QWidget;
#include <QStringList>
#include <QtGlobal>

#include <vector>

// The bounds of one numeric setting, which the setup dialog's fields keep to.
struct SettingBounds
{
    double min;
    double max;
    int decimals;
    double step;
};

// One trace pen of the trend setup: the value axis its channel is drawn against,
// its colour and its width.
struct TrendPen
{
    static constexpr SettingBounds WidthBounds{1, 5, 0, 1};
    // The entries of the assignment list, in order: positions 0 and 1.
    static QStringList assignments();

    qint16 assignment = -1;     // 0 the left axis, 1 the right axis, -1 none chosen
    qint32 assignmentData = 0;  // the chosen entry's item data
    OleColor color = 0;         // black
    int width = 1;
};

// The trend scaling and pen settings as the setup dialog holds them. The plot is
// their store of record: the dialog is filled from it and OK writes them back (and
// keeps the pens and the look for the next trend, trendmemory.h). The values below
// are what a new dialog holds before it is filled.
struct TrendSettings
{
    // The pens the setup always shows, in two columns of six; a trend of more
    // channels has a pen for each.
    static constexpr int MinPenRows = 12;

    // The bottom and top of a value axis: wide enough for any logged value.
    static constexpr SettingBounds TrendZeroBounds{-1e15, 1e15, 4, 1};
    static constexpr SettingBounds TrendSpanBounds{-1e15, 1e15, 4, 1};
    static constexpr SettingBounds SpanDaysBounds{0, 7, 0, 1};
    static constexpr SettingBounds SpanHoursBounds{0, 23, 0, 1};
    static constexpr SettingBounds SpanMinutesBounds{1, 59, 0, 1};
    static constexpr SettingBounds MinorTicksBounds{1, 30, 0, 1};

    static constexpr OleColor Red = 0x0000FF;

    double trendZero = 0;   // bottom of the left Y axis
    double trendSpan = 0;   // top of the left Y axis (not its length)
    double rightZero = 0;   // bottom and top of the right Y axis
    double rightSpan = 0;
    int spanDays = 0;       // X span parts: carried, not applied to a history trend
    int spanHours = 0;
    int spanMinutes = 1;
    OleColor xScaleColor = Red;
    OleColor yScaleColor = Red;
    OleColor backgroundColor = Red;
    int xMinorTicks = 1;
    int yMinorTicks = 1;
    QString xScaleFormat;   // in the plot's date/time notation
    std::vector<TrendPen> pens = std::vector<TrendPen>(MinPenRows); // pen i governs channel i

    // The six entries of the X scale format list, in order.
    static QStringList xScaleFormats();
    // The list as the dialog offers it: the six, then "Automatic".
    static QStringList xScaleFormatList();
};

// The trend window's position and size in twips, kept in the settings store under
// "History\HistPlot". A missing key gives its default: 8130 by 5055, centred in the
// main frame's client area.
struct TrendWindowPlacement
{
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;

    // Reads left, top, width, height in that order; `frameClient` is the main
    // frame's client area in twips. Throws RuntimeError 13 for a stored text that
    // is not a number.
    static TrendWindowPlacement read(QSizeF frameClient);
    // The same, centred in the main frame of the running program.
    static TrendWindowPlacement read();
    // The same, but a stored text that is no number gives way to its default.
    static TrendWindowPlacement readOrDefault(QSizeF frameClient);
    // Writes left, top, width, height in that order; throws RuntimeError 75 when
    // the store cannot be written (the keys before the failing one are written).
    void write() const;

    // The window's place now, and the window put there.
    static TrendWindowPlacement of(const QWidget &window);
    void applyTo(QWidget &window) const;
    // Stores the window's place as it closes: a key that cannot be written is
    // skipped and the others are still written.
    static void store(const QWidget &window);

    // The statistics panel's width in twips where the user left the splitter,
    // kept beside the placement under "StatsWidth"; 0 when none was kept or the
    // stored text is no positive number.
    static float statsWidth();
    // Stores it in the same write as the placement when given inside its change
    // set; a store that cannot be written keeps what it had, without a word.
    static void storeStatsWidth(float twips);
};
