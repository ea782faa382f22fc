#pragma once

#include "core/channelname.h"
#include "core/olecolor.h"
#include "core/timescale.h"

#include <QFont>
#include <QString>

#include <vector>

class TrendData;

// What a picture of a trend shows, apart from the trend data itself: the three
// axes with their ranges, label formats, colours and titles, each channel's title,
// colour, width, dashes and value axis, the background and the legend. The plot
// control fills one from what it shows (PlotControl::trendPicture());
// ofNewTrend() gives the one a new trend of some data gets. The trend renderer
// draws it.
struct TrendPicture
{
    // The number formats of the labels; the same codes as PlotAxis's.
    enum class Labels { General = 0, Fixed = 1, Scientific = 2, DateTime = 3, Duration = 4, Years = 5 };
    // The time axis's labels for a trend of `scale`: DateTime for calendar times.
    static Labels timeLabels(TimeScale scale);
    // Durations and years: labels that no date/time format applies to.
    static bool followsTimeScale(Labels labels) { return labels == Labels::Duration || labels == Labels::Years; }

    struct Axis
    {
        // Shown from min to min + span; a zero span shows a second (time) or one
        // unit (values) from min.
        double min = 0;
        double span = 1;
        Labels labels = Labels::General;
        QString dateTimeFormat; // the date/time notation, or "Automatic" (DateTime labels only)
        int minorCount = 1;     // minor ticks between two major ones
        QString title;          // cut short with "..." to the axis's length
        QFont titleFont;
        OleColor labelsColor = 0xFFFFFF;
        OleColor scaleColor = 0xFFFFFF; // tick marks, and the axis line when shown
        OleColor titleColor = 0xFFFFFF;
        bool axisLine = false;
        bool majorGrid = false;
        bool minorGrid = false;
    };

    struct Channel
    {
        QString title;
        OleColor color = 0xFFFFFF;
        int width = 1;       // pixels
        bool dashed = false; // past the default colours they come round dashed
        int valueAxis = 0;   // 0 the left value axis, 1 the right one
        bool visible = true; // a hidden channel keeps a greyed legend entry
        QString unit;        // shown after the title, in brackets
        int field = 0;       // shown after the title where a heading is not the log's only one
        QString shown() const { return channelname::shown(title, unit, field); }
    };

    Axis time;
    Axis left;
    Axis right; // shown while a channel is on it
    std::vector<Channel> channels;
    OleColor background = 0;
    QFont font; // tick labels and legend entries
    bool legendVisible = true;
    OleColor legendColor = 0xFFFFFF;
    OleColor legendTitleColor = 0xFFFF00;
    bool legendTitleBold = true;

    const Axis &valueAxis(int index) const { return index == 1 ? right : left; }

    // A new trend of `data` as a plot run leaves it before the remembered setup
    // is applied: the trend window's design-time look with the time labels of
    // the data's time scale, the channels in their default colours (dashed past
    // them) at width 1 on the left axis, the time axis over every sample (a
    // minute around a single time) and each value axis fitted to its channels'
    // values.
    static TrendPicture ofNewTrend(const TrendData &data);
    // Each value axis fitted to the values of the channels on it now, as a new
    // trend's are after its channels moved between the axes; an axis left
    // without values keeps its range.
    void fitValueAxes(const TrendData &data);
};

// A value as an axis with these labels writes it in full (the data cursor's
// readout; the widest label the time axis sizes its ticks for): a date and time
// in the whole pattern under the automatic format, empty outside the date range;
// a duration or a year as a view of `span` (days) shows it.
QString valueText(TrendPicture::Labels labels, const QString &dateTimeFormat, double value, double span);
