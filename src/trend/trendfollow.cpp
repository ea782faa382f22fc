#include "trendfollow.h"

#include "core/logvalueparser.h"
#include "core/pathhelper.h"
#include "trendbuilder.h"
#include "trendwindow.h"

#include "controls/gridcontrol.h"
#include "controls/plotcontrol.h"
#include "core/runtimeerror.h"
#include "controls/slider.h"
#include "core/trenddata.h"
#include "shell/sharedstate.h"

#include <cmath>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

double cellValue(const GridControl &grid, const LogValueParser &parser, int col, int row)
{
    constexpr double Gap = std::numeric_limits<double>::quiet_NaN();
    const QString text = grid.cellText(col, row);
    if (isMissingValueText(text))
        return Gap;
    try {
        const double value = parser.number(QStringView(text));
        return std::abs(value) > MaxPlotMagnitude ? Gap : value;
    } catch (const RuntimeError &) {
        return Gap;
    }
}

// The X axis after the data's last time moved from `oldEnd` to `newEnd`: the
// zoom slider's share of the grown span, from where it was or, when it showed the
// old end, up to the new one; the Y axis fitted to the data while unzoomed.
void followAxes(TrendWindow &trend, double oldEnd, double newEnd)
{
    PlotControl &plot = trend.trendPlot();
    const PlotAxis x = plot.XAxis(0);
    const double min = x.Min();
    // A hair of slack for the rounding of the slider's span.
    const bool showedEnd = min + x.Span() >= oldEnd - 1e-7;
    const double xSpan = trend.historyXspan + std::max(0.0, newEnd - oldEnd);
    const bool fitY = trend.YSlider().Position() == 0;
    // Unzoomed value axes show the grown data whole, and their full spans grow
    // with it; zoomed ones keep theirs.
    if (fitY)
        trend.recordSpans(xSpan);
    else
        trend.historyXspan = xSpan;
    const double span = (100 - trend.DateSlider().Position()) * 0.01 * xSpan;
    plot.trendDataGrew(showedEnd ? std::max(min, newEnd - span) : min, span, fitY);
}

} // namespace

void reserveHistTrendGrowth(qsizetype rows)
{
    const TrendWindow *trend = loadedTrendWindow();
    const std::shared_ptr<TrendData> data = trend ? trend->trendPlot().trendData() : nullptr;
    if (data && data->sourcePath() == shared().currentFileName)
        data->reserve(data->rowCount() + rows);
}

void markHistTrendEmptied()
{
    TrendWindow *trend = loadedTrendWindow();
    const std::shared_ptr<TrendData> data = trend ? trend->trendPlot().trendData() : nullptr;
    if (data && data->sourcePath() == shared().currentFileName)
        trend->setPanelText(1, u"Current trend data from "_s + stripPath(data->sourcePath())
                                   + u" (emptied: rows read before)"_s);
}

int growHistTrend(const GridControl &grid, QList<GridBlock> &blocks, int oldRowCount, int *leftOut)
{
    if (leftOut)
        *leftOut = 0;
    TrendWindow *trend = loadedTrendWindow();
    const int rows = grid.rowCount();
    if (!trend || rows <= oldRowCount)
        return 0;
    PlotControl &plot = trend->trendPlot();
    const std::shared_ptr<TrendData> data = plot.trendData();
    if (!data || data->rowCount() == 0 || data->sourcePath() != shared().currentFileName)
        return 0;

    // The channels of the growing blocks, in the order the run made them.
    std::vector<std::pair<int, int>> growing; // channel, grid column
    int channel = 0;
    for (GridBlock &block : blocks) {
        const bool grows = block.lastRow == -1 || block.lastRow >= oldRowCount;
        for (int col = block.firstCol; col <= block.lastCol; ++col, ++channel) {
            if (grows)
                growing.emplace_back(channel, col);
        }
        if (grows && block.lastRow != -1)
            block.lastRow = rows;
    }
    if (growing.empty() || channel != data->channelCount())
        return 0;

    data->sortByTime();
    const double oldEnd = data->time(data->rowCount() - 1);
    const LogValueParser parser;
    int added = 0;
    for (int row = oldRowCount + 1; row <= rows; ++row) {
        double time = 0;
        try {
            time = parser.date(grid.cellText(0, row)) + parser.time(grid.cellText(1, row));
        } catch (const RuntimeError &) {
            time = std::numeric_limits<double>::quiet_NaN();
        }
        if (!std::isfinite(time)) {
            if (leftOut && *leftOut == 0)
                *leftOut = row;
            continue;
        }
        const qsizetype index = data->appendRow(time, row);
        for (const auto &[ch, col] : growing)
            data->setValue(ch, index, cellValue(grid, parser, col, row));
        ++added;
    }
    if (added == 0)
        return 0;
    data->sortByTime();
    followAxes(*trend, oldEnd, data->time(data->rowCount() - 1));
    return added;
}
