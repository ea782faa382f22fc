#include "trendbuilder.h"

#include "trendwindow.h"

#include "controls/plotcontrol.h"
#include "controls/slider.h"
#include "controls/trendpicture.h"
#include "core/logdocument.h"
#include "core/pathhelper.h"
#include "core/trenddata.h"
#include "core/trendreader.h"
#include "shell/mainframe.h"
#include "shell/steps.h"
#include "shell/uiservices.h"
#include "trendsetup/trendmemory.h"
#include "trendsetup/trendsettings.h"

#include <QPointer>
#include <QRegularExpression>

#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The plot emptied, both value axes at 0 to 100 and tracking the data to come,
// both sliders at 0.
void clearTrend(TrendWindow &trend)
{
    PlotControl &plot = trend.trendPlot();
    plot.RemoveAllChannels();
    plot.ClearAllData();
    plot.YAxis(0).setMin(0);
    plot.YAxis(0).setSpan(100);
    plot.YAxis(1).setMin(0);
    plot.YAxis(1).setSpan(100);
    plot.XAxis(0).setSpan(0);
    trend.YSlider().setPosition(0.0);
    trend.DateSlider().setPosition(0.0);
    plot.XAxis(0).setTrackingEnabled(true);
    plot.YAxis(0).setTrackingEnabled(true);
    plot.YAxis(1).setTrackingEnabled(true);
}

// The trend complete: the columns look as they did in the last trend set up with
// them, each value axis is titled with its channels, and the time axis shows
// the first view, whose spans the sliders measure by.
void finishTrend(TrendWindow &trend, const trendreader::Result &result)
{
    PlotControl &plot = trend.trendPlot();
    steps::ignore([&] { trendmemory::applyTo(plot); });
    steps::ignore([&] { trendmemory::nameValueAxes(plot); });
    const trendreader::TimeView view = trendreader::firstTimeView(result);
    if (view.min)
        plot.XAxis(0).setMin(*view.min);
    // Recorded before the span is shown: the sliders measure the view by them.
    trend.recordSpans(view.span);
    plot.XAxis(0).setSpan(view.span);
    // Dates that could be read either way were read in the locale's order: the
    // user is told, since no date of the log could tell it.
    QString remark;
    if (result.dateOrderFromLocale)
        remark = result.dateOrder == LogValueParser::DateOrder::DayFirst
                     ? u" (dates read day first: no date shows the order)"_s
                     : u" (dates read month first: no date shows the order)"_s;
    trend.setPanelText(1, u"Current trend data from "_s + stripPath(result.data->sourcePath()) + remark);
}

void showTrendWindow(TrendWindow &trend, bool keepLayout)
{
    if (trend.isVisible() && keepLayout)
        return;
    if (trend.isVisible()) {
        trend.showNormal();
        trend.setFocus();
        trend.raise();
        return;
    }
    // A stored key that is no number gives way to its default instead of failing
    // every plot run.
    TrendWindowPlacement::readOrDefault(mainFrame().clientTwips()).applyTo(trend);
    trend.show();
    // After showing: the window's own minimum size has been applied by then.
    mainFrame().fitChild(trend, true);
}

QString failureText(const QString &where = QString())
{
    return u"Lumet data viewer encountered errors while plotting the data file!"_s + u"\r\n"_s
           + u"Please check to make sure the file was created with Lumet software."_s + where;
}

void showFailure()
{
    steps::ignore([] { msgBox(failureText(), MsgIcon::Question, MsgButtons::Ok); });
}

struct EndMessage
{
    QString text; // empty: nothing to tell
    MsgIcon icon = MsgIcon::Question;
};

// What the user is told of a read that did not complete.
EndMessage endMessage(const trendreader::Result &result, const LogTable &table)
{
    switch (result.end) {
    case trendreader::End::Complete:
    case trendreader::End::Stopped:
        return {};
    case trendreader::End::Cancelled:
        return {u"Historical plot has been canceled by user."_s, MsgIcon::Information};
    case trendreader::End::OutOfMemory:
        return {u"Not enough memory to plot %1 points."_s.arg(result.plannedPoints), MsgIcon::Exclamation};
    case trendreader::End::BadCell:
        return {failureText(u"\r\n"_s + trendreader::describe(table, result.bad))};
    case trendreader::End::Failed:
        break;
    }
    return {failureText()};
}

void tellEnd(const trendreader::Result &result, const LogTable &table)
{
    const EndMessage message = endMessage(result, table);
    if (!message.text.isEmpty())
        steps::ignore([&] { msgBox(message.text, message.icon, MsgButtons::Ok); });
}

} // namespace

void buildHistTrend(LogDocument &document, const QList<GridBlock> &blocks, PlotRunProgress &progress,
                    bool keepLayout)
{
    QPointer<TrendWindow> trend;
    bool indicatorShown = false;
    try {
        trend = &frmHistoryPlot();
        document.beginPlotRun();
        ui().setPointer(Pointer::Hourglass);
        clearTrend(*trend);
        indicatorShown = true;
        progress.plotRunStarted();
        int shownPercent = -1;
        // Each yield lets the user act: the trend window may be gone after it.
        const trendreader::Result result = document.plot(blocks, [&](int percent) {
            yieldNow();
            if (!trend || programEnded())
                return false;
            if (percent != shownPercent)
                progress.plotRunProgress(shownPercent = percent);
            return true;
        });
        indicatorShown = false;
        progress.plotRunEnded(result.block);
        const bool empty = result.end == trendreader::End::Complete && !trendreader::holdsAnyValue(*result.data);
        if (!trend || empty)
            document.closeTrend(); // shown nowhere
        if (empty) {
            steps::ignore([] { msgBox(trendreader::noValueText(), MsgIcon::Information, MsgButtons::Ok); });
        } else if (result.end == trendreader::End::Complete && trend) {
            finishTrend(*trend, result);
            // Showing the window draws the whole trend: the interface gets a turn first.
            yieldNow();
            if (trend && !programEnded())
                showTrendWindow(*trend, keepLayout);
        } else {
            tellEnd(result, document.table());
        }
    } catch (...) {
        if (indicatorShown)
            steps::ignore([&] { progress.plotRunEnded(-1); });
        showFailure();
    }
    ui().setPointer(Pointer::Default);
    document.endPlotRun();
}

bool replotHistTrend(LogDocument &document, PlotRunProgress &progress)
{
    TrendWindow *trend = loadedTrendWindow();
    if (!trend || !trend->isVisible() || !document.trendFromOpenLog() || document.plottedBlocks().isEmpty())
        return false;
    std::vector<std::pair<OleColor, int>> pens;
    steps::ignore([&] {
        PlotControl &plot = trend->trendPlot();
        for (int ch = 0; ch < plot.ChannelCount(); ++ch)
            pens.emplace_back(plot.Channel(ch).Color(), plot.Channel(ch).TraceLineWidth());
    });
    const QList<GridBlock> blocks = document.plottedBlocks();
    buildHistTrend(document, blocks, progress, true);
    steps::ignore([&] {
        if (TrendWindow *again = loadedTrendWindow()) {
            PlotControl &plot = again->trendPlot();
            for (int ch = 0; ch < plot.ChannelCount() && ch < int(pens.size()); ++ch) {
                plot.Channel(ch).setColor(pens[size_t(ch)].first);
                plot.Channel(ch).setTraceLineWidth(pens[size_t(ch)].second);
            }
        }
    });
    return true;
}

QString plotRunProblem(const trendreader::Result &result, const LogTable &table)
{
    static const QRegularExpression lineBreak(u"\r\n|\r|\n"_s);
    if (result.end == trendreader::End::BadCell)
        return trendreader::describe(table, result.bad).replace(lineBreak, u"\\n"_s);
    return endMessage(result, table).text.replace(lineBreak, u" "_s);
}

TrendPicture newTrendPicture(const trendreader::Result &result)
{
    TrendData &data = *result.data;
    data.sortByTime();
    TrendPicture picture = TrendPicture::ofNewTrend(data);
    steps::ignore([&] { trendmemory::applyTo(picture); });
    picture.fitValueAxes(data);
    trendmemory::nameValueAxes(picture);
    const trendreader::TimeView view = trendreader::firstTimeView(result);
    if (view.min)
        picture.time.min = *view.min;
    picture.time.span = view.span;
    return picture;
}
