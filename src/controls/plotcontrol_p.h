#pragma once

// The plot control's inner state, shared by its source files only. The plotting
// library is only forward-declared here; its header stays in the .cpp files.

#include "core/channelname.h"
#include "core/olecolor.h"
#include "core/trenddata.h"

#include <QPoint>
#include <QString>

#include <functional>

#include <limits>
#include <memory>
#include <utility>
#include <vector>

class PlotControl;
class QCPAxis;
class QCPItemStraightLine;
class QCPItemText;
class QCPTextElement;
class QCustomPlot;
class QMouseEvent;
class QPrinter;
class TrendTicker;
class ChannelLegend;

// The time axis, the left value axis and the right value axis.
enum : int { AxisX = 0, AxisY = 1, AxisY2 = 2, AxisCount = 3 };

struct AxisState
{
    QCPAxis *axis = nullptr;
    TrendTicker *ticker = nullptr; // owned by the axis
    double min = 0;
    double span = 1;
    bool tracking = false;
    int trackingStyle = 3;
    bool alignFirst = false;
    int labelsStyle = 0;
    QString dateTimeFormat;
    QString title; // as set; drawn cut short to the axis's length
    OleColor labelsColor = 0xFFFFFF;
    OleColor scaleColor = 0xFFFFFF;
    OleColor titleColor = 0xFFFFFF;
    int minorCount = 1;
    bool axisLine = true;
    bool fitPending = false;   // points arrived since the last fit
    bool fittedOnce = false;   // fitted since the plot was last empty
};

// A channel as it is drawn. The plot holds no object of the plotting library per
// channel: its traces, legend entries and value marks are drawn by one object each.
struct ChannelState
{
    QString title;
    QString unit;
    int field = 0; // see TrendData::field()
    QString name() const { return channelname::name(title, field); }
    QString shown() const { return channelname::shown(title, unit, field); }
    OleColor color = 0;
    int width = 1;
    bool dashed = false;
    int valueAxis = AxisY; // AxisY or AxisY2
    bool visible = true;
};

struct CursorState
{
    bool visible = false;
    double x = 0;
    OleColor color = 0x00FFFF; // yellow
    bool useChannelColor = true;
    bool hintVisible = true;
    bool dragging = false;
    // The sample the cursor stands on; -1 without data.
    qsizetype sample = -1;
    QCPItemStraightLine *line = nullptr;
    QCPItemText *readout = nullptr;
};

struct PlotControlPrivate
{
    PlotControl *q = nullptr;
    QCustomPlot *plot = nullptr;
    AxisState axes[AxisCount];
    std::vector<ChannelState> channels;
    // The data drawn; channel i of the plot is channel i of the data.
    std::shared_ptr<TrendData> data = std::make_shared<TrendData>();
    ChannelLegend *legend = nullptr;
    QCPTextElement *legendTitle = nullptr;
    OleColor legendFontColor = 0xFFFFFF;
    OleColor legendTitleColor = 0xFFFF00; // aqua
    bool legendTitleBold = true;
    CursorState cursor;
    std::function<QString(int, int)> sampleText;
    OleColor background = 0;
    double printMargin = 1.0;
    std::unique_ptr<QPrinter> printer;

    // The range of all points since the plot was last empty, per axis: each value
    // axis takes the values of its own channels only.
    bool hasData = false;
    bool hasRange[AxisCount] = {false, false, false};
    double lo[AxisCount] = {0, 0, 0};
    double hi[AxisCount] = {0, 0, 0};
    double first[AxisCount] = {0, 0, 0};

    bool refreshScheduled = false;

    AxisState &axis(int which) { return axes[which]; }
    ChannelState &channel(int index); // throws 9

    // Before every drawing: merges out-of-order points, applies pending fits, sets
    // the axes' ranges and tick counts and places the data cursor.
    void settle();
    void fitTitle(int which);
    // The channels were added, removed or retitled: the legend measures them anew.
    void channelsChanged();
    // The legend entry at a point of the plot: its channel, -1 when none.
    int legendEntryAt(QPoint at) const;
    // Takes in the extent of the whole data, as after appending all of it.
    void dataReplaced();
    void fitAxis(int which);
    // Sets the axis to the range low..high by its tracking style's rule.
    void fitRange(int which, double low, double high);
    // The value ranges of both value axes worked out afresh from their channels.
    void valueRangesChanged();
    // Shows the right axis while a channel is on it.
    void updateRightAxis();
    void applyRange(int which);
    void updateTickCount(int which);
    void styleAxis(int which);
    void styleLegend();
    // Redraws now, or with the next pass of the event loop (several changes then
    // cost one drawing), when visible; a hidden plot is redrawn when it is shown.
    void redrawNow();
    void redrawSoon();
    void dataAppended(int channel, double x, double y);
    void forgetData();
    double valueAt(const ChannelState &c, double x);
    QString axisValueText(int which, double value) const;

    // The data cursor (plotcursor.cpp).
    void createCursor();
    void updateCursor();
    void redrawCursor();
    // True when the press took the cursor's line.
    bool cursorPress(QMouseEvent *event);
    // True when it moved the cursor.
    bool cursorMove(QMouseEvent *event);
    void cursorRelease(QMouseEvent *event);
    // The sample nearest in time to `x`, -1 without samples.
    qsizetype nearestSample(double x) const;
    // Puts the cursor on sample `index` (clamped to the samples) and redraws it;
    // announces a change of sample.
    void moveCursorTo(qsizetype index);
    QString sampleTimeText(qsizetype index) const;
    QString sampleValueText(int channel, qsizetype index) const;

    // The explorer's view changes (plotinteraction.cpp). setRange() only sets the
    // axis (true when it changed); setView() also redraws and announces it.
    bool setRange(int which, double min, double span);
    void setView(int which, double min, double span);
    void viewChanged();
};
