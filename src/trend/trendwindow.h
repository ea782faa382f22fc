#pragma once

#include "shell/printablewindow.h"

#include <QMdiSubWindow>

class LogDocument;
class PlotControl;
class QCloseEvent;
class QLabel;
class QResizeEvent;
class QScrollBar;
class QSplitter;
class QStatusBar;
class QToolBar;
class Slider;
class StatsPanel;

// The child window `frmHistoryPlot` ("Historical Trend Plot"): the plot `trendPlot`
// in its design-time configuration, the toolbar `Toolbar1`, the zoom sliders
// `DateSlider` (below the plot) and `YSlider` (right of it) and the status bar
// `StatusBar1` with its two panels. Created hidden in the main frame on first
// touch; closing it deletes it, so the next touch starts from the design again.
//
// The window keeps a minimum size of 8130 x 5370 twips and lays the plot and
// sliders out from its outer size. A close request is refused while it is
// minimised; otherwise its placement is stored as it closes. The sliders zoom
// their axis about its minimum: position p shows (100 - p) % of the full span;
// they follow the length of their axis however the user changes it, but not
// what the trend setup sets. The scroll bar under the plot and the statistics
// panel follow the view and the trend's data. The data cursor and a grid's
// current row can be kept in step through sampleRowChanged() and showGridRow().
//
// The window views the open log's document: the plot shows the document's
// trend as each plot run leaves it and as a followed log makes it grow, the
// cursor readout shows the cells as the document says they were logged, and
// the zoom sliders' full spans are the ones the document records. Closing the
// window closes the document's trend.
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
    QScrollBar &timeScrollBar() const { return *m_scrollBar; }
    StatsPanel &statsPanel() const { return *m_stats; }

    // Status bar panels, numbered 1 and 2.
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString &text);

    // A toolbar button pressed, by its position from 1: "Trend Setup",
    // "Show/Hide Data Cursor", "Save as Jpeg", "Print Trend", "Print Preview",
    // "Export PDF", "Statistics" (shows or hides the statistics panel).
    void toolbarButtonClick(int position);

    // The File menu's Print Preview and Export PDF... for the trend (PrintableWindow).
    void printPreview() override;
    void exportPdf() override;

    // The "Trend Setup" command: fills the setup dialog from the plot and shows it
    // modally over the main frame; returns once the dialog has closed. A failing
    // step is reported as "FrmHistoryTrendSetup" and the next one runs.
    void setupHistTrend();

    // The zoom sliders' 100 %, recorded in the document by the last plot run or
    // follow: the full X span (days), the left value axis's span over its
    // channels' values and the right one's over its own; the Y slider zooms each
    // value axis from its own span.
    double historyXspan() const;
    double historyYspan() const;
    double historyY2span() const;
    // Records `xSpan` as the full X span and each value axis's full span from the
    // values of the channels now on it (its present span when they have no
    // extent, or it has none).
    void recordSpans(double xSpan);

    // The zoom sliders' position-change handlers.
    void dateSliderChanged();
    void ySliderChanged();

    // Puts the shown cursor on the sample read from this grid row, while the
    // trend shows the current file; otherwise, or for a row without a sample,
    // nothing happens.
    void showGridRow(int gridRow);

signals:
    // The cursor moved to the sample of this grid row (of the current file).
    void sampleRowChanged(int gridRow);

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
    bool rightAxisInUse() const;
    // The sliders and the scroll bar show the plot's view; the scroll bar moves it.
    // A slider follows only a change of its axis's length, and only when
    // `moveSliders`.
    void followView(bool moveSliders);
    void scrolled(int value);
    void updateForView();
    void trendDataChanged();
    // The document's trend replaced, grown, its log emptied.
    void showDocumentTrend();
    void followGrowth(double oldEnd, double newEnd);
    void logEmptied();
    void toggleStats();
    // Tells the grid the row of the log under the data cursor.
    void reportCursorRow(qsizetype sample);
    bool showsCurrentFile() const;

    LogDocument &m_document;
    PlotControl *m_plot = nullptr;
    Slider *m_dateSlider = nullptr;
    Slider *m_ySlider = nullptr;
    QToolBar *m_toolbar = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_panels[2] = {nullptr, nullptr};
    QWidget *m_plotArea = nullptr;
    QScrollBar *m_scrollBar = nullptr;
    QSplitter *m_splitter = nullptr;
    StatsPanel *m_stats = nullptr;
    // The statistics panel's width in twips where the user left the splitter;
    // 0 until the panel is first shown (at a third).
    float m_statsWidth = 0;
    // Set while the controls are being brought to the view, which they then
    // must not move again.
    bool m_following = false;
    // The X and left value axis's spans as the sliders last saw them.
    double m_seenXspan = 0;
    double m_seenYspan = 0;
    // Set while the trend setup applies its settings: the sliders stay.
    bool m_slidersHeld = false;
};

// The trend window, created (hidden, its load handling run) on first touch.
TrendWindow &frmHistoryPlot();
TrendWindow *loadedTrendWindow();
