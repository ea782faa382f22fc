#pragma once

#include <QTableWidget>

class PlotControl;

// The statistics panel beside the trend: one row per visible channel with the
// minimum, maximum and mean of its values in the time view, its number of samples
// with a value there and of gaps (missing samples). The minimum and maximum are shown as
// logged; hovering them tells when they were logged.
class StatsPanel : public QTableWidget
{
    Q_OBJECT

public:
    explicit StatsPanel(QWidget *parent = nullptr);

    // Fills the rows from the plot's visible channels over its X view.
    void showStats(PlotControl &plot);
    // Gives the rows' swatches the channels' colours as they are now, the figures
    // left as they are.
    void showColors(PlotControl &plot);
};
