#pragma once

#include "trend/trendbuilder.h"
#include "shell/printablewindow.h"

#include "core/blockselection.h"
#include "core/logdocument.h"

#include "core/runtimeerror.h"

#include <QMdiSubWindow>

#include <optional>

class GridControl;
class QAction;
class QGroupBox;
class QLabel;
class QProgressBar;
class QStatusBar;
class QToolBar;

// The child window `frmHistory` ("Data File Viewer") that shows the loaded log.
// It stays open for the whole run: it closes only when the program exits (and not
// while a plot run is active), storing its placement as it goes.
//
// Its toolbar opens a log (getHistFile), prints the grid (printHistGrid) and
// cancels a plot run; a progress label
// and bar at the toolbar's right end show a plot run's progress, and panel 1 of
// the status bar says what the viewer is doing.
//
// The window views the open log's document: the grid shows the document's
// table, the status bar its counts and whether it is followed; the commands
// open, reload, follow and plot through it.
class DataFileWindow : public QMdiSubWindow, public PlotRunProgress, public PrintableWindow
{
    Q_OBJECT

public:
    DataFileWindow();
    ~DataFileWindow() override;

    // True for a non-empty file name; otherwise tells the user to open a file first.
    static bool checkHistFile(const QString &fileName);

    // Asks for a log file and loads it into the grid, trimmed and locked; a
    // failure is reported and leaves the window without a file. Does nothing
    // while a load is already in progress. Given a `path`, loads that file
    // without asking (the dialog then holds it as if it had been chosen).
    void getHistFile(const QString &path = QString());
    // File, Open As...: asks for a log, then how it is to be read (OpenAsDialog);
    // OK loads it so and keeps the choice for its next opens. With `path`, asks
    // only how.
    void openAs(const QString &path = QString());
    // Opens a log that a later start of the program handed over: as
    // getHistFile(path), but a log that fails to load leaves the window, its
    // log and the trend as they were, and nothing is shown. Returns why it was
    // not opened; empty when it was.
    QString openHandedOver(const QString &path);
    // Back to the no-file state: empty grid, no current file, empty status text.
    void resetHistView();
    // Prints the loaded log through the print dialog: the selected block when it
    // spans more than two rows, else the whole sheet, once per copy chosen, with
    // the file's path in the page header and the page number in the footer. Ends
    // silently on Cancel; tells the user when no file is loaded or no printer is
    // installed; a step that fails is left out.
    void printHistGrid();
    // The same printout in a preview, and written to a PDF file chosen in the
    // file dialog (a failure is told in one message).
    void printPreview() override;
    void exportPdf() override;
    bool isLoading() const { return m_loading; }

    // File, Reload: reads the loaded log again, keeping the selection and the
    // scroll position; a trend of this log is plotted again with its traces'
    // colours and widths. `replaced` says in the status text that the file was
    // replaced (a followed log that shrank or was swapped).
    void reloadLog(bool replaced = false);
    // File, Follow: while on, rows the logger appends to the loaded log are added
    // to the grid and to a trend of it. Needs a loaded log; opening another log
    // ends it. Shown in the status bar and by the menu's tick.
    void setFollowing(bool on);
    bool isFollowing() const;
    // One look at the followed log (the document's watch and timer look too):
    // complete new rows are shown, a replaced file is loaded again. Does nothing
    // while a load or a plot run is under way; the next look catches up.
    void followLog();

    // Checks the selected blocks (at least four rows each, data columns only) and
    // plots them as a historical trend; the former trend window closes first.
    void plotSelection();
    // What plotSelection() says of a block in the date or time columns, and of a
    // block of fewer than four rows (or none selected).
    static QString onlyDataText();
    static QString tooFewText();
    // The plot run over `blocks` of the grid, its progress shown here.
    void plotBlocks(const QList<GridBlock> &blocks);
    // The blocks selected in the grid, in the order they were made.
    QList<GridBlock> selectedBlocks() const;

    // The toolbar's buttons by position, 1 to 6: Open, Plot, Print, Cancel Plot,
    // Print Preview, Export PDF.
    void toolbarButtonClick(int position);
    QAction *toolbarButton(int position) const;

    GridControl *dataGrid() const { return m_dataGrid; }
    QToolBar *Toolbar1() const { return m_toolbar; }
    QLabel *DcryLabel() const { return m_progressLabel; }
    QProgressBar *ProgBar() const { return m_progressBar; }
    QGroupBox *dataFrame() const { return m_dataFrame; }
    QStatusBar *StatusBar1() const { return m_statusBar; }
    QString statusPanelText() const;
    void setStatusPanelText(const QString &text);

    // A plot run's progress: the label and the bar; at its end the grid's
    // current block is the block in hand.
    void plotRunStarted() override;
    void plotRunProgress(int percent) override;
    void plotRunEnded(int block) override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildToolbar();
    void layoutBars();
    void layoutControls();
    // The Open sequence; returns the load's failure that was not reported (a
    // hand-over's), else nothing.
    std::optional<RuntimeError> openLog(const QString &path, LogDocument::LoadMode mode);
    void prepareLoadedGrid();
    QString loadRemarks() const;
    void showCounts();
    // What the document tells.
    void showDocumentTable();
    void rowsArrived(int oldRowCount, int leftOutRow);
    void logReplaced(LogDocument::Replacement how);
    void showFollowing(bool on);
    // The grid's print settings for one copy of the printout.
    void setUpGridPrintout(int orientation, int fromPage, int toPage);
    void setRunning(bool running);

    QWidget *m_client = nullptr;
    QToolBar *m_toolbar = nullptr;
    QList<QAction *> m_buttons;
    QLabel *m_progressLabel = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QGroupBox *m_dataFrame = nullptr;
    GridControl *m_dataGrid = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_statusPanel = nullptr;
    QLabel *m_countsPanel = nullptr; // rows, columns and size of the loaded log
    QLabel *m_followPanel = nullptr; // "Following" while the log is followed
    LogDocument &m_document;
    // The blocks of the plot run under way.
    QList<GridBlock> m_runBlocks;
    bool m_loading = false;
};

// Plots the blocks selected in the data file window's grid (see the trend builder).
void buildHistTrend();

// The data file window, created in the main frame (hidden) on first touch.
DataFileWindow &frmHistory();
DataFileWindow *loadedHistory();
