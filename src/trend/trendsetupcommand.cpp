// The trend window's "Trend Setup" command: the setup dialog filled from the plot.
#include "trendwindow.h"

#include "controls/numericedit.h"
#include "controls/plotcontrol.h"
#include "shell/steps.h"
#include "trendsetup/colorswatch.h"
#include "trendsetup/trendsettings.h"
#include "trendsetup/trendsetupdialog.h"

#include <QComboBox>
#include <QPointer>
#include <QPushButton>

using namespace Qt::StringLiterals;

void TrendWindow::setupHistTrend()
{
    const QString name = u"FrmHistoryTrendSetup"_s;
    PlotControl &plot = trendPlot();
    // Each step names the dialog anew, so a dialog that failed to load is tried again.
    steps::reporting(name, {
        [&] { TrendSetup(); },
        // The X span of a history trend comes from its data, not from the dialog.
        [&] { TrendSetup().TrendDaysAnalog().setEnabled(false); },
        [&] { TrendSetup().TrendHoursAnalog().setEnabled(false); },
        [&] { TrendSetup().TrendMinutesAnalog().setEnabled(false); },
        [&] { TrendSetup().TrendZeroAnalog().setValue(plot.YAxis(0).Min()); },
        [&] { TrendSetup().TrendSpanAnalog().setValue(plot.YAxis(0).Max()); },
        [&] { TrendSetup().RightZeroAnalog().setValue(plot.YAxis(1).Min()); },
        [&] { TrendSetup().RightSpanAnalog().setValue(plot.YAxis(1).Max()); },
        [&] { TrendSetup().XcolorLabel().setBackColor(plot.XAxis(0).LabelsFontColor()); },
        [&] { TrendSetup().XcolorLabel().setBackColor(plot.XAxis(0).ScaleLinesColor()); },
        [&] { TrendSetup().XminorTicks().setValue(plot.XAxis(0).MinorCount()); },
        [&] { TrendSetup().XscaleFormat().setCurrentText(plot.XAxis(0).DateTimeFormat()); },
        // Durations and years have their own labels: no format to choose.
        [&] { TrendSetup().XscaleFormat().setEnabled(!plot.XAxis(0).labelsFollowTimeScale()); },
        [&] { TrendSetup().YcolorLabel().setBackColor(plot.YAxis(0).LabelsFontColor()); },
        [&] { TrendSetup().YcolorLabel().setBackColor(plot.YAxis(0).ScaleLinesColor()); },
        [&] { TrendSetup().YminorTicks().setValue(plot.YAxis(0).MinorCount()); },
        [&] { TrendSetup().BgColorLabel().setBackColor(plot.BackGroundColor()); },
    });

    // A row for every channel, labelled with its title; each existing channel's
    // row shows its axis, colour and width, and the rows past the last channel
    // are disabled.
    int rows = TrendSettings::MinPenRows;
    steps::report(name, [&] {
        QStringList titles;
        for (int i = 0; i < plot.ChannelCount(); ++i)
            titles << plot.Channel(i).Name();
        TrendSetup().setPenRows(titles);
    });
    steps::report(name, [&] { rows = TrendSetup().penRows(); });
    for (int i = 0; i < rows; ++i) {
        // A channel count that cannot be read counts as an existing channel.
        bool existing = true;
        steps::report(name, [&] { existing = i <= plot.ChannelCount() - 1; });
        steps::report(name, [&] { TrendSetup().PenAssign(i).setEnabled(existing); });
        steps::report(name, [&] { TrendSetup().PenClrBtn(i).setEnabled(existing); });
        if (existing) {
            steps::report(name, [&] { TrendSetup().PenAssign(i).setCurrentIndex(plot.Channel(i).YAxisIndex()); });
            steps::report(name, [&] { TrendSetup().PenClr(i).setBackColor(plot.Channel(i).Color()); });
            steps::report(name, [&] { TrendSetup().PWidth(i).setEnabled(true); });
            steps::report(name, [&] { TrendSetup().PWidth(i).setValue(plot.Channel(i).TraceLineWidth()); });
        } else {
            steps::report(name, [&] { TrendSetup().PWidth(i).setEnabled(false); });
        }
    }

    // What OK sets is not followed by the sliders; a channel moved to the other
    // value axis changes both axes' full spans, as a plot run would record them.
    QList<int> axesBefore;
    steps::ignore([&] {
        for (int i = 0; i < plot.ChannelCount(); ++i)
            axesBefore << plot.Channel(i).YAxisIndex();
    });
    QPointer<TrendWindow> self(this);
    m_slidersHeld = true;
    steps::report(name, [&] { TrendSetup().exec(); });
    if (!self)
        return;
    m_slidersHeld = false;
    steps::ignore([&] {
        for (int i = 0; i < plot.ChannelCount() && i < axesBefore.size(); ++i) {
            if (plot.Channel(i).YAxisIndex() != axesBefore[i]) {
                recordSpans(historyXspan());
                return;
            }
        }
    });
}
