#pragma once

#include "core/blockselection.h"

#include <QList>
#include <QString>

class LogDocument;
class LogTable;
struct TrendPicture;

namespace trendreader {
struct Result;
}

// What a plot run shows while it works: the data file window implements it with
// its progress label and bar.
class PlotRunProgress
{
public:
    virtual ~PlotRunProgress() = default;
    // The indicator appears with its maximum at 100.
    virtual void plotRunStarted() = 0;
    // 0 to 100.
    virtual void plotRunProgress(int percent) = 0;
    // The indicator goes away; called at every end of the run, with the index of
    // the block in hand then (-1 when the run ended before its first block).
    virtual void plotRunEnded(int block) = 0;
};

// The plot run on the trend window: clears its plot and zoom sliders, has the
// document read `blocks` of its log into a new trend (see trendreader) while the
// interface stays alive and the progress is shown, lets the user cancel before
// each column but the first, and at the end gives the columns the look of the
// last trend set up with them, records the full spans for the zoom sliders and
// shows the trend window at its stored placement. Every outcome is shown to the
// user: a cancel, a cell that is no value (named with its line and column), a
// lack of memory. If the trend window or the program goes away during the run,
// it ends quietly. A trend window already shown is restored to its normal state and
// given the focus, unless `keepLayout` asks to leave the windows as they are.
void buildHistTrend(LogDocument &document, const QList<GridBlock> &blocks, PlotRunProgress &progress,
                    bool keepLayout = false);

// Plots the document's plotted blocks again into the shown trend of its open log
// (after a reload), each trace keeping its colour and width and the windows
// keeping their layout. False, and nothing done, when no trend of the open log is
// shown.
bool replotHistTrend(LogDocument &document, PlotRunProgress &progress);

// Why a plot run gave no trend, on one line: the line of the message that names
// a bad cell (its own line breaks shown as \n), else the message's whole text.
QString plotRunProblem(const trendreader::Result &result, const LogTable &table);

// The picture a complete plot run leaves of its trend in the trend window, made
// without one: a new trend's look with what the trend memory keeps for its
// columns and the whole trend, each value axis fitted to its channels and titled
// with them, the time axis at the first view. Sorts the trend by time, as
// showing it does.
TrendPicture newTrendPicture(const trendreader::Result &result);
