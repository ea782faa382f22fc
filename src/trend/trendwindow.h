#pragma once

#include "shell/printablewindow.h"

#include <QMdiSubWindow>

class PlotControl;
class QCloseEvent;
class QLabel;
class QResizeEvent;
class QStatusBar;
class QToolBar;
class Slider;

// The child window `frmHistoryPlot` ("Historical Trend Plot"): the plot `trendPlot`
// in its design-time configuration, the toolbar `Toolbar1`, the zoom sliders
// `DateSlider` (below the plot) and `YSlider` (right of it) and the status bar
// `StatusBar1` with its two panels. Created hidden in the main frame on first
// touch; closing it deletes it, so the next touch starts from the design again.
//
// The window keeps a minimum size of 8130 x 5370 twips and lays the plot and
// sliders out from its outer size. A close request is refused while it is
// minimised; otherwise its placement is stored as it closes. The sliders zoom
// their axis about its minimum: position p shows (100 - p) % of the full span.
class TrendWindow : public QMdiSubWindow, public PrintableWindow
{
    Q_OBJECT

public:
    TrendWindow();
    ~TrendWindow() override;

    PlotControl &trendPlot() const { return *m_plot; }
    Slider &DateSlider() const { return *m_dateSlider; }
    Slider &YSlider() const { return *m_ySlider; }
    QToolBar &Toolbar1() const { return *m_toolbar; }
    QStatusBar &StatusBar1() const { return *m_statusBar; }

    // Status bar panels, numbered 1 and 2.
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString &text);

    // A toolbar button pressed, by its position from 1: "Trend Setup",
    // "Show/Hide Data Cursor", "Save as Jpeg", "Print Trend", "Print Preview",
    // "Export PDF".
    void toolbarButtonClick(int position);

    // The File menu's Print Preview and Export PDF... for the trend (PrintableWindow).
    void printPreview() override;
    void exportPdf() override;

    // The "Trend Setup" command: fills the setup dialog from the plot and shows it
    // modally over the main frame; returns once the dialog has closed. A failing
    // step is reported as "FrmHistoryTrendSetup" and the next one runs.
    void setupHistTrend();

    // The full X span (days) and Y span of the last plot run: the zoom sliders' 100 %.
    double historyXspan = 0;
    double historyYspan = 0;

    // The zoom sliders' position-change handlers.
    void dateSliderChanged();
    void ySliderChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolbar();
    void configurePlot();
    void layoutControls();
    void load();
    QLabel &panel(int panel) const;

    // Toolbar commands 2 to 4.
    void toggleDataCursor();
    void saveJpeg();
    void printTrend();

    void zoomAxis(Slider &slider, bool xAxis);
    QString zoomText() const;

    PlotControl *m_plot = nullptr;
    Slider *m_dateSlider = nullptr;
    Slider *m_ySlider = nullptr;
    QToolBar *m_toolbar = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_panels[2] = {nullptr, nullptr};
    QWidget *m_plotArea = nullptr;
};

// The trend window, created (hidden, its load handling run) on first touch.
TrendWindow &frmHistoryPlot();
TrendWindow *loadedTrendWindow();
