#include "trendbuilder.h"

#include "logvalueparser.h"
#include "trendwindow.h"

#include "controls/gridcontrol.h"
#include "controls/plotcontrol.h"
#include "controls/runtimeerror.h"
#include "controls/slider.h"
#include "controls/twips.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "shell/settingsstore.h"
#include "shell/sharedstate.h"
#include "shell/steps.h"
#include "shell/uiservices.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The run ends early: cancelled by the user, or its windows went away under it.
struct RunStopped
{
    bool cancelled;
};

// The X value of each grid row, parsed once per run however many columns use it.
class RowTimes
{
public:
    RowTimes(const GridControl &grid, const LogValueParser &parser)
        : m_grid(grid)
        , m_parser(parser)
        , m_x(size_t(std::max(0, grid.rowCount())) + 1, std::numeric_limits<double>::quiet_NaN())
    {
    }

    double at(int row)
    {
        if (row < 0 || size_t(row) >= m_x.size())
            throw RuntimeError(RuntimeError::SubscriptOutOfRange);
        double &x = m_x[size_t(row)];
        if (std::isnan(x))
            x = m_parser.date(text(0, row)) + m_parser.time(text(1, row));
        return x;
    }

private:
    // The cell's text; the file's own bytes widened on the stack where the grid
    // can give them, so that a million rows cost no allocations.
    QStringView text(int col, int row)
    {
        QByteArrayView bytes;
        if (!m_grid.cellRawText(col, row, bytes) || bytes.size() > qsizetype(sizeof m_wide / sizeof m_wide[0])) {
            m_copy = m_grid.cellText(col, row);
            return m_copy;
        }
        for (qsizetype i = 0; i < bytes.size(); ++i)
            m_wide[i] = char16_t(uchar(bytes[i]));
        return QStringView(m_wide, bytes.size());
    }

    char16_t m_wide[64];
    QString m_copy;
    const GridControl &m_grid;
    const LogValueParser &m_parser;
    std::vector<double> m_x;
};

void showTrendWindow(TrendWindow &trend)
{
    if (trend.isVisible()) {
        trend.showNormal();
        trend.setFocus();
        trend.raise();
        return;
    }
    using Edge = PlacementSetting::Edge;
    const QSizeF client = mainFrame().clientTwips();
    // A stored key that is no number gives way to its default instead of failing
    // every plot run.
    twips::setLeft(trend, TrendPlacement.readOrDefault(Edge::Left, client));
    twips::setTop(trend, TrendPlacement.readOrDefault(Edge::Top, client));
    twips::setWidth(trend, TrendPlacement.readOrDefault(Edge::Width, client));
    twips::setHeight(trend, TrendPlacement.readOrDefault(Edge::Height, client));
    trend.show();
    // After showing: the window's own minimum size has been applied by then.
    mainFrame().fitChild(trend, true);
}

// An X span the axis can show: the span from the first to the last plotted row,
// or, when those rows carry the same time (or run backwards), the time the data
// covers, or a minute around a single instant.
double usableXspan(double span, double lowestX, double highestX, PlotControl &plot)
{
    if (span > 0)
        return span;
    if (highestX > lowestX) {
        plot.XAxis(0).setMin(lowestX);
        return highestX - lowestX;
    }
    constexpr double Minute = 1.0 / 1440;
    if (std::isfinite(lowestX))
        plot.XAxis(0).setMin(lowestX - Minute / 2);
    return Minute;
}

} // namespace

int plotProgressPercent(long long points, long long columns, long long rowSpan)
{
    const double divisor = double(columns) * double(rowSpan);
    if (!(divisor > 0))
        return 100;
    const double percent = std::nearbyint(100.0 * double(points) / divisor);
    return percent > 99 ? 100 : int(percent);
}

void buildHistTrend()
{
    QPointer<DataFileWindow> history;
    QPointer<TrendWindow> trend;
    // Every end of the run: indicator hidden, default pointer, flag cleared.
    auto finish = [&] {
        if (history) {
            steps::ignoring({
                [&] { history->DcryLabel()->hide(); },
                [&] { history->ProgBar()->hide(); },
            });
        }
        ui().setPointer(Pointer::Default);
        shared().plotting = false;
    };
    // A yield lets the user act; the windows the run works on may be gone after it.
    auto yieldToUser = [&] {
        yieldNow();
        if (!history || !trend || programEnded())
            throw RunStopped{false};
    };

    try {
        history = &frmHistory();
        trend = &frmHistoryPlot();
        PlotControl &plot = trend->trendPlot();
        GridControl &grid = *history->dataGrid();
        Slider &ySlider = trend->YSlider();
        Slider &dateSlider = trend->DateSlider();

        shared().plotting = true;
        ui().setPointer(Pointer::Hourglass);
        plot.RemoveAllChannels();
        plot.ClearAllData();
        plot.YAxis(0).setMin(0);
        plot.YAxis(0).setSpan(100);
        plot.XAxis(0).setSpan(0);
        ySlider.setPosition(0.0);
        dateSlider.setPosition(0.0);
        plot.XAxis(0).setTrackingEnabled(true);
        plot.YAxis(0).setTrackingEnabled(true);
        history->DcryLabel()->show();
        history->ProgBar()->show();
        history->ProgBar()->setMaximum(100);

        const LogValueParser parser;
        RowTimes times(grid, parser);
        int channel = 0;
        qint64 points = 0;
        int runFirstRow = 0;
        int runLastRow = 0;
        int shownPercent = -1;
        double lowestX = std::numeric_limits<double>::infinity();
        double highestX = -lowestX;

        const int blocks = grid.selectionBlockCount();
        for (int b = 0; b < blocks; ++b) {
            const GridBlock block = grid.selectionBlock(b);
            grid.setBlock(block.firstCol, block.firstRow, block.lastCol, block.lastRow);
            const int firstRow = block.firstRow == -1 ? 1 : block.firstRow;
            const int lastRow = block.lastRow == -1 ? grid.rowCount() : block.lastRow;
            if (b == 0) {
                runFirstRow = firstRow;
                runLastRow = lastRow;
            }
            runFirstRow = std::min(runFirstRow, firstRow);
            runLastRow = std::max(runLastRow, lastRow);
            const qint64 rowSpan = qint64(runLastRow) - runFirstRow;
            const qint64 columns = qint64(block.lastCol) - block.firstCol + 1;

            for (int col = block.firstCol; col <= block.lastCol; ++col) {
                if (!shared().plotting)
                    throw RunStopped{true};
                plot.AddChannel();
                PlotChannel target = plot.Channel(channel);
                target.setTitleText(grid.cellText(col, 0));
                for (int row = firstRow; row <= lastRow; ++row) {
                    yieldToUser();
                    const int percent = plotProgressPercent(points, columns, rowSpan);
                    ++points;
                    if (percent != shownPercent) {
                        history->ProgBar()->setValue(percent);
                        shownPercent = percent;
                    }
                    const double x = times.at(row);
                    lowestX = std::min(lowestX, x);
                    highestX = std::max(highestX, x);
                    grid.setActiveCell(col, row);
                    double y = 0;
                    QByteArrayView bytes;
                    if (grid.activeRawText(bytes) && !bytes.isEmpty()) {
                        y = parser.number(bytes);
                    } else {
                        if (grid.activeText().isEmpty())
                            grid.setActiveText(u"0"_s);
                        y = parser.number(grid.activeValueText());
                    }
                    target.AddXY(x, y);
                }
                ++channel;
            }
        }

        history->DcryLabel()->hide();
        history->ProgBar()->hide();
        const double firstTime = times.at(runFirstRow);
        const double lastTime = times.at(runLastRow);
        const double xSpan = usableXspan(lastTime - firstTime, lowestX, highestX, plot);
        plot.XAxis(0).setSpan(xSpan);
        trend->historyXspan = xSpan;
        trend->historyYspan = plot.YAxis(0).Span();
        // Values from near -1e308 to near 1e308 span more than a real can hold.
        if (!std::isfinite(trend->historyYspan))
            throw RuntimeError(RuntimeError::Overflow);
        showTrendWindow(*trend);
        ui().setPointer(Pointer::Default);
        shared().plotting = false;
    } catch (const RunStopped &stop) {
        if (stop.cancelled)
            msgBox(u"Historical plot has been canceled by user."_s, MsgIcon::Information, MsgButtons::Ok);
        finish();
    } catch (...) {
        steps::ignore([] {
            msgBox(u"Lumet data viewer encountered errors while plotting the data file!"_s + u"\r\n"_s
                       + u"Please check to make sure the file was created with Lumet software."_s,
                   MsgIcon::Question, MsgButtons::Ok);
        });
        finish();
    }
}
