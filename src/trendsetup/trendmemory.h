#pragma once

#include "core/olecolor.h"

#include <QString>

#include <optional>

class PlotControl;
struct TrendPicture;

// The last trend setup, kept in the settings store so that the next trend looks
// the same, also after a restart: per column heading the channel's colour, width
// and value axis (section "TrendPens", one key per heading), and the time label
// format, background, scale colours and minor tick counts (the grid lines lie on
// the minor ticks) of the whole trend (section "TrendSetup").
namespace trendmemory {

struct PenMemory
{
    OleColor color = 0;
    int width = 1;
    int axis = 0; // 0 the left value axis, 1 the right one
    bool operator==(const PenMemory &) const = default;
};

// What is kept for channels headed `heading`; nothing when none is kept or the
// kept text cannot be read.
std::optional<PenMemory> pen(const QString &heading);
// Throws RuntimeError 75 when the store cannot be written.
void rememberPen(const QString &heading, const PenMemory &pen);

// Keeps the plot's setup: every channel's pen under its title, and the trend's
// look; the label format only from a time axis of dates (not durations or years).
// Throws RuntimeError 75 when the store cannot be written.
void remember(PlotControl &plot);
// Gives a new trend what was kept: the pen of each channel whose title has one
// kept, and the trend's look if one is kept; the label format only to a time
// axis of dates. A kept value that cannot be read is passed over.
void applyTo(PlotControl &plot);
// The same for a picture of a new trend (TrendPicture::ofNewTrend); its value
// axes are fitted again to the channels now on them by the caller.
void applyTo(TrendPicture &picture);

// Titles both value axes with the titles of their channels, shortened with a
// count of the rest when there are many.
void nameValueAxes(PlotControl &plot);
void nameValueAxes(TrendPicture &picture);

} // namespace trendmemory
