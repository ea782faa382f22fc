// The trend window's zoom sliders: a position p shows (100 - p) % of the full span
// of the last plot run on its axis, about the axis minimum, and panel 2 of the
// status bar shows both positions.

#include "trendwindow.h"

#include "controls/plotcontrol.h"
#include "controls/slider.h"
#include "shell/steps.h"

#include <QLocale>

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
            PlotAxis axis = xAxis ? m_plot->XAxis(0) : m_plot->YAxis(0);
            const double fullSpan = xAxis ? historyXspan : historyYspan;
            const double span = (100 - slider.Position()) * 0.01 * fullSpan;
            // After the nested run of the 100 guard the plot already shows this
            // span; a second redraw of a big trend would only cost time.
            if (axis.Span() != span)
                axis.setSpan(span);
        },
        [&] { setPanelText(2, zoomText()); },
    });
}

// "XZoom = 25.00% : YZoom = 0.00%", with the user's decimal separator.
QString TrendWindow::zoomText() const
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const auto percent = [&](const Slider &s) { return locale.toString(s.Position(), 'f', 2); };
    return u"XZoom = "_s + percent(*m_dateSlider) + u"% : "_s + u"YZoom = "_s + percent(*m_ySlider) + u"%"_s;
}
