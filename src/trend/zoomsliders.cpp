// The trend window's zoom sliders: a position p shows (100 - p) % of the full span
// recorded for its axis, about the axis minimum, and panel 2 of the status bar
// shows both positions. The sliders follow the user's zooming of the view, the
// scroll bar under the plot every move of it.

#include "trendwindow.h"

#include "controls/plotcontrol.h"
#include "controls/slider.h"
#include "core/logdocument.h"
#include "core/trenddata.h"
#include "shell/steps.h"

#include <QLocale>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

void TrendWindow::dateSliderChanged() { zoomAxis(*m_dateSlider, true); }
void TrendWindow::ySliderChanged() { zoomAxis(*m_ySlider, false); }

void TrendWindow::zoomAxis(Slider &slider, bool xAxis)
{
    steps::ignoring({
        [&] {
            // A span of 0 would collapse the axis. Setting 99 runs this handler
            // again, nested; both runs then go on with 99.
            if (slider.Position() == 100)
                slider.setPosition(99);
        },
        [&] {
            // Brought to the view by followView(): the axis is already there.
            if (m_following)
                return;
            PlotAxis axis = xAxis ? m_plot->XAxis(0) : m_plot->YAxis(0);
            const double fullSpan = xAxis ? historyXspan() : historyYspan();
            const double span = (100 - slider.Position()) * 0.01 * fullSpan;
            // After the nested run of the 100 guard the plot already shows this
            // span; a second redraw of a big trend would only cost time.
            if (axis.Span() != span)
                axis.setSpan(span);
            if (!xAxis && historyY2span() > 0 && rightAxisInUse()) {
                const double rightSpan = (100 - slider.Position()) * 0.01 * historyY2span();
                PlotAxis right = m_plot->YAxis(1);
                if (right.Span() != rightSpan)
                    right.setSpan(rightSpan);
            }
        },
        [&] { setPanelText(2, zoomText()); },
    });
}

double TrendWindow::historyXspan() const { return m_document.spans().x; }
double TrendWindow::historyYspan() const { return m_document.spans().left; }
double TrendWindow::historyY2span() const { return m_document.spans().right; }

void TrendWindow::recordSpans(double xSpan)
{
    TrendStats values[2];
    const std::shared_ptr<TrendData> data = m_plot->trendData();
    for (int ch = 0; ch < m_plot->ChannelCount() && ch < data->channelCount(); ++ch)
        values[m_plot->Channel(ch).YAxisIndex()].take(data->stats(ch));
    const auto spanOf = [&](int axis) {
        const TrendStats &v = values[axis];
        return v.count > 0 && v.max > v.min ? v.max - v.min : m_plot->YAxis(axis).Span();
    };
    m_document.setSpans({xSpan, spanOf(0), spanOf(1)});
}

bool TrendWindow::rightAxisInUse() const
{
    for (int ch = 0; ch < m_plot->ChannelCount(); ++ch) {
        if (m_plot->Channel(ch).YAxisIndex() == 1)
            return true;
    }
    return false;
}

// "XZoom = 25.00% : YZoom = 0.00%", with the user's decimal separator.
QString TrendWindow::zoomText() const
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const auto percent = [&](const Slider &s) { return locale.toString(s.Position(), 'f', 2); };
    return u"XZoom = "_s + percent(*m_dateSlider) + u"% : "_s + u"YZoom = "_s + percent(*m_ySlider) + u"%"_s;
}

namespace {
// The scroll bar's whole range: fine enough for a view of ten samples out of
// tens of millions.
constexpr int ScrollUnits = 1'000'000'000;

// The slider position that shows `span` of `fullSpan`.
double positionFor(double span, double fullSpan)
{
    return std::clamp(100 - 100 * span / fullSpan, Slider::MinPosition, 99.0);
}
} // namespace

void TrendWindow::followView(bool moveSliders)
{
    if (m_following)
        return;
    m_following = true;
    steps::ignoring({
        [&] {
            const auto follow = [](Slider &slider, double span, double fullSpan) {
                if (!(fullSpan > 0))
                    return;
                const double position = positionFor(span, fullSpan);
                // A slider the user has just set keeps its own position.
                if (std::abs(position - slider.Position()) > 1e-6)
                    slider.setPosition(position);
            };
            // An axis whose length stayed keeps its slider where it is: a pan, or
            // a zoom of time alone, does not move the value slider. The value
            // slider follows the left axis; a gesture zooms both alike.
            const double xSpan = m_plot->XAxis(0).Span();
            const double ySpan = m_plot->YAxis(0).Span();
            if (moveSliders && xSpan != m_seenXspan)
                follow(*m_dateSlider, xSpan, historyXspan());
            if (moveSliders && ySpan != m_seenYspan)
                follow(*m_ySlider, ySpan, historyYspan());
            m_seenXspan = xSpan;
            m_seenYspan = ySpan;
        },
        [&] {
            const double lo = m_plot->dataXMin();
            const double whole = m_plot->dataXMax() - lo;
            const double span = m_plot->XAxis(0).Span();
            if (!(whole > 0) || span >= whole) {
                m_scrollBar->setRange(0, 0);
                return;
            }
            const int page = std::max(1, int(std::lround(span / whole * ScrollUnits)));
            m_scrollBar->setRange(0, ScrollUnits - page);
            m_scrollBar->setPageStep(page);
            m_scrollBar->setSingleStep(std::max(1, page / 10));
            m_scrollBar->setValue(int(std::lround((m_plot->XAxis(0).Min() - lo) / whole * ScrollUnits)));
        },
        [&] { setPanelText(2, zoomText()); },
    });
    m_following = false;
}

void TrendWindow::scrolled(int value)
{
    if (m_following)
        return;
    steps::guarded([&] {
        const double lo = m_plot->dataXMin();
        const double whole = m_plot->dataXMax() - lo;
        if (whole > 0)
            m_plot->setXView(lo + whole * value / ScrollUnits, m_plot->XAxis(0).Span());
    });
}
