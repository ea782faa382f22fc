#include "statspanel.h"

#include "controls/plotcontrol.h"
#include "core/trenddata.h"
#include "core/viewstats.h"

#include <QHeaderView>
#include <QLocale>

using namespace Qt::StringLiterals;

namespace {
enum Column { Title, Minimum, Maximum, Mean, Samples, Gaps, Marked, Columns };

QTableWidgetItem *cell(const QString &text, Qt::Alignment alignment = Qt::AlignRight | Qt::AlignVCenter)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment);
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}
} // namespace

StatsPanel::StatsPanel(QWidget *parent)
    : QTableWidget(0, Columns, parent)
{
    setObjectName(u"statsPanel"_s);
    setHorizontalHeaderLabels({u"Channel"_s, u"Minimum"_s, u"Maximum"_s, u"Mean"_s, u"Samples"_s, u"Gaps"_s, u"Marked"_s});
    verticalHeader()->hide();
    // The figures share the width the channel titles leave, so that every
    // column stays in view without scrolling sideways.
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    horizontalHeader()->setSectionResizeMode(Title, QHeaderView::ResizeToContents);
    horizontalHeader()->setMinimumSectionSize(36);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setWordWrap(false);
}

void StatsPanel::showStats(PlotControl &plot)
{
    const std::shared_ptr<TrendData> data = plot.trendData();
    data->sortByTime();
    const double x0 = plot.XAxis(0).Min();
    const double x1 = plot.XAxis(0).Max();
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    // The rows are laid out once, not once per cell.
    setUpdatesEnabled(false);
    setRowCount(0);
    for (int ch = 0; ch < plot.ChannelCount(); ++ch) {
        if (!plot.channelVisible(ch))
            continue;
        const ViewStats s = viewStats(*data, ch, x0, x1);
        const int row = rowCount();
        insertRow(row);
        auto *title = cell(plot.Channel(ch).Name(), Qt::AlignLeft | Qt::AlignVCenter);
        title->setData(Qt::DecorationRole, QColor(toQColor(plot.Channel(ch).Color())));
        setItem(row, Title, title);
        const bool any = s.stats.count > 0;
        const auto extreme = [&](qsizetype sample) {
            QTableWidgetItem *item = cell(any ? plot.sampleValueText(ch, sample) : u"-"_s);
            if (any)
                item->setToolTip(u"Logged at "_s + plot.sampleTimeText(sample));
            return item;
        };
        setItem(row, Minimum, extreme(s.minSample));
        setItem(row, Maximum, extreme(s.maxSample));
        setItem(row, Mean, cell(any ? locale.toString(s.mean(), 'g', 6) : u"-"_s));
        setItem(row, Samples, cell(locale.toString(s.stats.count)));
        setItem(row, Gaps, cell(locale.toString(s.gaps)));
        setItem(row, Marked, cell(locale.toString(s.marked)));
    }
    setUpdatesEnabled(true);
}

void StatsPanel::showColors(PlotControl &plot)
{
    // The rows are the visible channels, in order.
    int row = 0;
    for (int ch = 0; ch < plot.ChannelCount() && row < rowCount(); ++ch) {
        if (!plot.channelVisible(ch))
            continue;
        if (QTableWidgetItem *title = item(row, Title))
            title->setData(Qt::DecorationRole, QColor(toQColor(plot.Channel(ch).Color())));
        ++row;
    }
}
