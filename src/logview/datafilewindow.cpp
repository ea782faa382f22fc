#include "datafilewindow.h"

#include "shell/errorreport.h"
#include "shell/mainframe.h"
#include "shell/settingsstore.h"
#include "shell/openlog.h"
#include "shell/sharedstate.h"
#include "shell/steps.h"
#include "shell/uiservices.h"
#include "shell/windowregistry.h"
#include "trend/trendwindow.h"
#include "openasdialog.h"

#include "controls/commondialog.h"
#include "controls/gridcontrol.h"
#include "controls/gridmodel.h"
#include "controls/icons.h"
#include "controls/plotcontrol.h"
#include "controls/outputfile.h"
#include "core/logtable.h"
#include "core/runtimeerror.h"
#include "controls/twips.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPrinter>
#include <QProgressBar>
#include <QScrollBar>
#include <QTableView>
#include <QStatusBar>
#include <QToolBar>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
WindowSlot<DataFileWindow> &slot()
{
    static WindowSlot<DataFileWindow> s;
    return s;
}

// Design sizes and positions, in twips.
constexpr double MinWidth = 6765;
constexpr double MinHeight = 5295;
constexpr double ToolbarHeight = 420;
constexpr double LabelWidth = 1035, LabelHeight = 195, LabelTop = 105;
constexpr double BarWidth = 2475, BarHeight = 300, BarTop = 60;
constexpr double FrameLeft = 105, FrameTop = 450;
constexpr double GridLeft = 150, GridTop = 210;

struct ToolbarButton
{
    const char16_t *key;
    const char16_t *tooltip;
    IconKind icon;
};
constexpr ToolbarButton Buttons[] = {
    {u"Open", u"Open history file", IconKind::Open},
    {u"Plot", u"Plot history data", IconKind::Plot},
    {u"Print", u"Print history grid", IconKind::Print},
    {u"Cancel Plot", u"Cancel historical Plotting", IconKind::CancelPlot},
    {u"Print Preview", u"Preview history grid printout", IconKind::PrintPreview},
    {u"Export PDF", u"Export history grid printout as PDF", IconKind::ExportPdf},
};
// The size of the loaded log, its date column counted among the columns as the
// grid shows it: "1,440 rows, 6 columns, 98.3 kB".
QString countsText(int rows, int cols, qint64 bytes)
{
    const QLocale locale;
    return (rows == 1 ? u"1 row"_s : locale.toString(rows) + u" rows"_s) + u", "_s
           + (cols == 1 ? u"1 column"_s : locale.toString(cols) + u" columns"_s) + u", "_s
           + locale.formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

// The run's progress, shown by the window while it is there: the program may
// end during a yield of the run.
class WindowProgress : public PlotRunProgress
{
public:
    explicit WindowProgress(DataFileWindow *window) : m_window(window) {}
    void plotRunStarted() override
    {
        if (m_window)
            m_window->plotRunStarted();
    }
    void plotRunProgress(int percent) override
    {
        if (m_window)
            m_window->plotRunProgress(percent);
    }
    void plotRunEnded(int block) override
    {
        if (m_window)
            m_window->plotRunEnded(block);
    }

private:
    QPointer<DataFileWindow> m_window;
};

// "it could not be loaded: the file is empty", for a later start of the program.
QString notLoaded(const RuntimeError &error)
{
    QString why = error.description().isEmpty() ? RuntimeError::standardDescription(error.number())
                                                  : error.description();
    if (why.endsWith(u'.'))
        why.chop(1);
    if (!why.isEmpty())
        why[0] = why.at(0).toLower();
    return why.isEmpty() ? u"it could not be loaded"_s : u"it could not be loaded: "_s + why;
}
} // namespace

DataFileWindow &frmHistory() { return slot().touch(); }
DataFileWindow *loadedHistory() { return slot().loaded(); }

DataFileWindow::DataFileWindow() : m_document(logDocument())
{
    setObjectName(u"frmHistory"_s);
    setWindowTitle(u"Data File Viewer"_s);
    setAttribute(Qt::WA_DeleteOnClose);

    // The controls sit where the layout arithmetic puts them, not in a layout.
    m_client = new QWidget;
    m_client->installEventFilter(this);
    setWidget(m_client);
    buildToolbar();

    m_dataFrame = new QGroupBox(u"Data:"_s, m_client);
    m_dataFrame->setObjectName(u"dataFrame"_s);
    twips::setLeft(*m_dataFrame, FrameLeft);
    twips::setTop(*m_dataFrame, FrameTop);
    m_dataGrid = new GridControl(m_dataFrame);
    m_dataGrid->setObjectName(u"dataGrid"_s);
    twips::setLeft(*m_dataGrid, GridLeft);
    twips::setTop(*m_dataGrid, GridTop);

    m_statusBar = new QStatusBar(m_client);
    m_statusBar->setObjectName(u"StatusBar1"_s);
    m_statusBar->setSizeGripEnabled(false);
    m_statusPanel = new QLabel(u"Status"_s);
    m_statusPanel->setObjectName(u"StatusBar1Panel1"_s);
    m_statusBar->addWidget(m_statusPanel, 1);
    m_countsPanel = new QLabel;
    m_countsPanel->setObjectName(u"StatusBar1Counts"_s);
    m_statusBar->addPermanentWidget(m_countsPanel);
    m_followPanel = new QLabel(u"Following"_s);
    m_followPanel->setObjectName(u"StatusBar1Follow"_s);
    m_statusBar->addPermanentWidget(m_followPanel);
    m_followPanel->hide();

    m_dataGrid->showTable(&m_document.table());
    connect(&m_document, &LogDocument::loaded, this, &DataFileWindow::showDocumentTable);
    connect(&m_document, &LogDocument::loadFailed, this, &DataFileWindow::showDocumentTable);
    connect(&m_document, &LogDocument::closed, this, &DataFileWindow::showDocumentTable);
    connect(&m_document, &LogDocument::rowsAppended, this, &DataFileWindow::rowsArrived);
    connect(&m_document, &LogDocument::replaced, this, &DataFileWindow::logReplaced);
    connect(&m_document, &LogDocument::nulRunSkipped, this, [this](int line) {
        steps::guarded([&] {
            setStatusPanelText(u"Current File is "_s + m_document.path()
                               + u" (NUL bytes after line %1 were passed over; the lines after them are shown)"_s.arg(line));
        });
    });
    connect(&m_document, &LogDocument::followingChanged, this, &DataFileWindow::showFollowing);

    mainFrame().adopt(this);
    // The File menu runs the toolbar's own commands here.
    mainFrame().handleCommand(this, FrameCommand::Open, [this] { toolbarButtonClick(1); });
    mainFrame().handleCommand(this, FrameCommand::OpenAs, [this] {
        if (!m_document.isPlotting())
            openAs();
    });
    mainFrame().handleCommand(this, FrameCommand::Print, [this] { toolbarButtonClick(3); });
    mainFrame().handleCommand(this, FrameCommand::Plot, [this] { toolbarButtonClick(2); });
    mainFrame().handleCommand(this, FrameCommand::Reload, [this] { reloadLog(); });
    mainFrame().handleCommand(this, FrameCommand::Follow, [this] { setFollowing(!isFollowing()); });
    mainFrame().setLogOpener(this, [this](const QString &log, bool handedOver) -> std::optional<QString> {
        if (m_document.isPlotting() || m_loading)
            return std::nullopt;
        if (handedOver)
            return openHandedOver(log);
        getHistFile(log);
        return m_document.path() == log ? QString() : u"it could not be loaded"_s;
    });
    // Design size; start-up then applies the stored placement.
    resize(twips::toPixelsX(MinWidth), twips::toPixelsY(MinHeight));
    layoutBars();
    layoutControls();

    // Load: the grid is read-only for good; the numeric option is the grid's own.
    steps::ignoring({
        [&] { m_dataGrid->setCellsLocked(true); },
        [&] { m_dataGrid->setSheetProtected(true); },
        [&] { m_dataGrid->setNumericOption(500); },
        [&] { m_dataGrid->setFrozenColumns(1); }, // the time of day stays beside the date
    });
}

DataFileWindow::~DataFileWindow() = default;

void DataFileWindow::buildToolbar()
{
    m_toolbar = new QToolBar(m_client);
    m_toolbar->setObjectName(u"Toolbar1"_s);
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setIconSize(QSize(20, 20));
    int position = 0;
    for (const ToolbarButton &button : Buttons) {
        const int at = ++position;
        auto *action = new QAction(drawnIcon(button.icon), QString::fromUtf16(button.key), m_toolbar);
        action->setObjectName(QString::fromUtf16(button.key));
        action->setToolTip(QString::fromUtf16(button.tooltip));
        m_toolbar->addAction(action);
        m_buttons.append(action);
        connect(action, &QAction::triggered, this, [this, at] { toolbarButtonClick(at); });
        // Tab reaches the buttons too; Space presses the one with the focus.
        m_toolbar->widgetForAction(action)->setFocusPolicy(Qt::TabFocus);
    }

    // The progress label and bar sit on the toolbar's strip at its right end.
    m_progressLabel = new QLabel(u" Please Wait..."_s, m_toolbar);
    m_progressLabel->setObjectName(u"DcryLabel"_s);
    // The label is small by design: its font shrinks until the caption fits.
    QFont small = m_progressLabel->font();
    for (int pixels = twips::toPixelsY(LabelHeight) - 1; pixels >= 6; --pixels) {
        small.setPixelSize(pixels);
        if (QFontMetrics(small).horizontalAdvance(m_progressLabel->text()) < twips::toPixelsX(LabelWidth))
            break;
    }
    m_progressLabel->setFont(small);
    m_progressBar = new QProgressBar(m_toolbar);
    m_progressBar->setObjectName(u"ProgBar"_s);
    m_progressBar->setTextVisible(false);
    for (QWidget *w : {static_cast<QWidget *>(m_progressLabel), static_cast<QWidget *>(m_progressBar)})
        w->hide();
    twips::setWidth(*m_progressLabel, LabelWidth);
    twips::setHeight(*m_progressLabel, LabelHeight);
    twips::setTop(*m_progressLabel, LabelTop);
    twips::setWidth(*m_progressBar, BarWidth);
    twips::setHeight(*m_progressBar, BarHeight);
    twips::setTop(*m_progressBar, BarTop);
}

QAction *DataFileWindow::toolbarButton(int position) const
{
    return position >= 1 && position <= m_buttons.size() ? m_buttons.at(position - 1) : nullptr;
}

QString DataFileWindow::statusPanelText() const { return m_statusPanel->text(); }
void DataFileWindow::setStatusPanelText(const QString &text) { m_statusPanel->setText(text); }

bool DataFileWindow::checkHistFile(const QString &fileName)
{
    if (!fileName.isEmpty())
        return true;
    msgBox(u"Data file has not been opened!"_s + u"\r\n"_s + u"Use the open file icon to load a data file."_s,
           MsgIcon::Question, MsgButtons::Ok);
    return false;
}

void DataFileWindow::toolbarButtonClick(int position)
{
    steps::guarded([&] {
        switch (position) {
        case 1:
            // A reload inside a plot run's yield would pull the grid from under it.
            if (!m_document.isPlotting())
                getHistFile();
            break;
        case 3:
            // A printout inside a plot run's yield would hold up the run.
            if (!m_document.isPlotting())
                printHistGrid();
            break;
        case 2:
            // A second run inside the first one's yield would rebuild its trend.
            if (!m_document.isPlotting())
                plotSelection();
            break;
        case 4:
            m_document.cancelPlot(); // the running plot stops before its next column
            break;
        case 5:
            if (!m_document.isPlotting())
                printPreview();
            break;
        case 6:
            if (!m_document.isPlotting())
                exportPdf();
            break;
        default:
            break;
        }
    });
}

void DataFileWindow::getHistFile(const QString &path)
{
    openLog(path, LogDocument::LoadMode::Replace);
}

QString DataFileWindow::openHandedOver(const QString &path)
{
    if (m_loading)
        return u"another log is being opened"_s;
    const std::optional<RuntimeError> failure = openLog(path, LogDocument::LoadMode::KeepOnFailure);
    if (failure)
        return notLoaded(*failure);
    return m_document.path() == path ? QString() : u"it could not be loaded"_s;
}

namespace {
// The shared file dialog, prepared to ask for a log.
CommonDialog &openDialog()
{
    if (!shared().fileDialog)
        throw RuntimeError(RuntimeError::ObjectNotSet);
    CommonDialog &dialog = *shared().fileDialog;
    dialog.cancelError = true;
    dialog.flags = CommonDialog::FileMustExist | CommonDialog::HideReadOnly;
    // The logger's own files first; other loggers write .dat, .txt and .tsv too.
    dialog.filter = u"Log Files"_s + u"(*.csv)|*.csv"_s + u"|Logger files (*.csv *.dat *.txt *.tsv)|*.csv;*.dat;*.txt;*.tsv"_s
                    + u"|All files (*)|*"_s;
    dialog.dialogTitle = u"Open Log file (.csv)"_s;
    dialog.initDir = shared().startDir + QDir::separator();
    return dialog;
}
} // namespace

std::optional<RuntimeError> DataFileWindow::openLog(const QString &path, LogDocument::LoadMode mode)
{
    // The yield before the load lets a second Open through; it must not start a
    // load inside the first.
    if (m_loading)
        return std::nullopt;
    m_loading = true;
    QPointer<DataFileWindow> self(this);
    struct LoadingFlag
    {
        QPointer<DataFileWindow> &window;
        ~LoadingFlag()
        {
            if (window)
                window->m_loading = false;
        }
    } loadingFlag{self};

    const QString formerStatus = statusPanelText();
    // A handed-over log that does not load leaves everything as it was.
    bool keepAsItWas = mode == LogDocument::LoadMode::KeepOnFailure;
    try {
        CommonDialog &dialog = openDialog();
        try {
            if (path.isEmpty())
                dialog.showOpen();
            else
                dialog.fileName = path;
        } catch (const RuntimeError &e) {
            if (e.number() == RuntimeError::CancelSelected)
                return std::nullopt; // the former file, grid and status stay as they were
            throw;
        }

        ui().setPointer(Pointer::Hourglass);
        setStatusPanelText(u"Loading File, please wait. Large files could take some time to load."_s);
        yieldAlways();
        if (!self)
            return std::nullopt; // the program closed the window meanwhile

        // A shape chosen for this log at an earlier run holds again.
        if (!m_document.shapeChoice(dialog.fileName)) {
            steps::ignore([&] {
                if (const std::optional<logshape::Shape> kept = OpenAsChoices::find(dialog.fileName))
                    m_document.setShapeChoice(dialog.fileName, kept);
            });
        }
        // The grid shows what the document loaded as soon as it has loaded it.
        m_document.load(dialog.fileName, mode);
        keepAsItWas = false;
        prepareLoadedGrid();
        // Kept for File, Open Recent; a store that cannot be written only loses the entry.
        if (self && m_document.isOpen())
            steps::ignore([&] { RecentLogs::add(QFileInfo(m_document.path()).absoluteFilePath()); });
    } catch (...) {
        const RuntimeError error = RuntimeError::fromCurrentException();
        if (!self)
            return std::nullopt;
        if (keepAsItWas) {
            setStatusPanelText(formerStatus);
            ui().setPointer(Pointer::Default);
            return error;
        }
        steps::ignore([&] { setFollowing(false); });
        steps::ignore([&] { reportError(u"getHistFile"_s, error); });
        steps::ignore([&] { resetHistView(); });
    }
    return std::nullopt;
}

void DataFileWindow::openAs(const QString &path)
{
    if (m_loading)
        return;
    QString file = path;
    if (file.isEmpty()) {
        CommonDialog &dialog = openDialog();
        try {
            dialog.showOpen();
        } catch (const RuntimeError &e) {
            if (e.number() == RuntimeError::CancelSelected)
                return;
            throw;
        }
        file = dialog.fileName;
    }
    file = QFileInfo(file).absoluteFilePath();
    std::optional<logshape::Shape> shown = m_document.shapeChoice(file);
    if (!shown)
        steps::ignore([&] { shown = OpenAsChoices::find(file); });
    const auto [head, tail] = LogDocument::sampleOf(file);
    OpenAsDialog asked(file, head, tail, shown, this);
    if (asked.exec() != QDialog::Accepted)
        return;
    const logshape::Shape choice = asked.choice();
    m_document.setShapeChoice(file, choice);
    steps::ignore([&] { OpenAsChoices::add(file, choice); });
    getHistFile(file);
}

// The loaded grid as the plot command relies on it (the document has dropped an
// incomplete last row and empty columns at the right end): cells locked, whole
// columns and several blocks selectable.
void DataFileWindow::prepareLoadedGrid()
{
    GridControl &grid = *m_dataGrid;
    grid.setColumnWidth(0, 14);
    grid.setColumnWidth(-1, 14);
    // A time of another form in one column is shown whole, as written; the time
    // of day stays beside a date column.
    if (m_document.timeColumns() == 1)
        grid.fitColumnWidth(0);
    grid.setFrozenColumns(m_document.timeColumns() == 2 ? 1 : 0);
    grid.setBlockSelectionOptions(BlockSelection::WholeColumns | BlockSelection::Blocks);
    ui().setPointer(Pointer::Default);
    grid.setCellsLocked(true);
    grid.setSheetProtected(true);
    grid.setMultipleBlocks(true);
    grid.setValueBlocks(m_document.valueBlocks());
    // A log opens at its first row and column, not where the former one was left
    // (a reload puts its own place back afterwards).
    grid.view()->verticalScrollBar()->setValue(0);
    grid.view()->horizontalScrollBar()->setValue(0);
    ui().setPointer(Pointer::Default);
    setStatusPanelText(u"Current File is "_s + m_document.path() + loadRemarks());
    showCounts();
}

void DataFileWindow::showCounts()
{
    const GridControl &grid = *m_dataGrid;
    m_countsPanel->setText(
        countsText(grid.rowCount(), grid.colCount() + 1, QFileInfo(m_document.path()).size()));
}

// What the user should know about a file that loaded: each remark in brackets.
QString DataFileWindow::loadRemarks() const
{
    const LogTable::LoadNotes &notes = m_dataGrid->loadNotes();
    QString remarks;
    if (notes.changedWhileRead)
        remarks += u" (the file changed while it was read)"_s;
    if (notes.unclosedQuoteLine > 0)
        remarks += u" (a quoted field at line %1 has no closing quote)"_s.arg(notes.unclosedQuoteLine);
    if (notes.fileColumns > LogTable::MaxColumns)
        remarks += u" (only the first %1 of %2 columns are shown)"_s.arg(LogTable::MaxColumns).arg(notes.fileColumns);
    if (m_dataGrid->rowCount() == 0)
        remarks += u" (no rows yet)"_s;
    return remarks;
}

void DataFileWindow::showDocumentTable()
{
    m_dataGrid->showTable(&m_document.table());
    // What a log of another shape holds above its rows, its title lines and
    // its units line, is shown beside the frame's caption.
    const logshape::Shape &shape = m_document.shape();
    QStringList notes;
    for (const QString &line : shape.metadata) {
        if (!line.trimmed().isEmpty())
            notes << line.trimmed();
    }
    QStringList units;
    for (const QString &unit : shape.units) {
        if (shape.unitsLine && !unit.isEmpty())
            units << unit;
    }
    if (!units.isEmpty())
        notes << u"units: "_s + units.join(u", "_s);
    const QString note = m_document.isOpen() ? notes.join(u" | "_s) : QString();
    m_dataFrame->setTitle(note.isEmpty() ? u"Data:"_s : u"Data:  "_s + note);
    m_dataFrame->setToolTip(note);
}

QString DataFileWindow::onlyDataText()
{
    return u"Only data cells can be used"_s + u"\r\n"_s + u"for historical trend!"_s;
}

QString DataFileWindow::tooFewText()
{
    return u"you must select at least 4 cells"_s + u"\r\n"_s + u"for historical trend!"_s;
}

void DataFileWindow::plotSelection()
{
    const QString onlyData = onlyDataText();
    const QString tooFew = tooFewText();
    GridControl &grid = *m_dataGrid;

    // The former trend goes first, even when the selection is then refused.
    steps::ignore([] {
        TrendWindow *trend = loadedTrendWindow();
        if (trend && trend->isVisible() && trend->close())
            WindowRegistry::markUnloaded(trend);
    });

    bool refused = false;
    steps::ignore([&] {
        if (!grid.hasSelectedBlock() && grid.selectionBlockCount() == 0) {
            msgBox(tooFew);
            refused = true;
        }
    });
    if (refused)
        return;
    int blocks = 0;
    steps::ignore([&] { blocks = grid.selectionBlockCount(); });
    for (int n = 0; n < blocks && !refused; ++n) {
        steps::ignore([&] {
            const GridBlock block = grid.selectionBlock(n);
            grid.setBlock(block.firstCol, block.firstRow, block.lastCol, block.lastRow);
            const int firstRow = block.firstRow == -1 ? 1 : block.firstRow;
            const int lastRow = block.lastRow == -1 ? grid.rowCount() : block.lastRow;
            if (lastRow - firstRow < 3) {
                msgBox(tooFew);
                refused = true;
            } else if (m_document.isOpen() && m_document.timeColumns() == 0) {
                msgBox(u"Cannot plot "_s + QFileInfo(m_document.path()).fileName() + u": "_s + LogDocument::noTimeText()
                       + u".\r\nChoose the time column with File > Open As..."_s);
                refused = true;
            } else if (block.firstCol < std::max(1, m_document.timeColumns())) {
                msgBox(onlyData, MsgIcon::Question);
                refused = true;
            } else {
                for (int col = block.firstCol; col <= block.lastCol && !refused; ++col) {
                    if (m_document.holdsText(col)) {
                        msgBox(LogDocument::holdsTextText(m_document.table().text(col, 0)));
                        refused = true;
                    }
                }
            }
        });
    }
    if (refused)
        return;

    QPointer<DataFileWindow> self(this);
    steps::ignore([&] {
        setStatusPanelText(u"Plotting data, please wait. Large files could take some time to plot data."_s);
    });
    plotBlocks(selectedBlocks());
    if (!self)
        return;
    // The trend's cursor and the grid's current row move together.
    if (TrendWindow *trend = loadedTrendWindow()) {
        connect(trend, &TrendWindow::sampleRowChanged, m_dataGrid, &GridControl::setCurrentRow, Qt::UniqueConnection);
        connect(m_dataGrid, &GridControl::currentRowChanged, trend, &TrendWindow::showGridRow, Qt::UniqueConnection);
    }
    steps::ignore([&] { setStatusPanelText(u"Current File is "_s + m_document.path()); });
}

QList<GridBlock> DataFileWindow::selectedBlocks() const
{
    QList<GridBlock> blocks;
    steps::ignore([&] {
        for (int n = 0; n < m_dataGrid->selectionBlockCount(); ++n)
            blocks.append(m_dataGrid->selectionBlock(n));
    });
    return blocks;
}

void DataFileWindow::plotBlocks(const QList<GridBlock> &blocks)
{
    QPointer<DataFileWindow> self(this);
    m_runBlocks = blocks;
    setRunning(true);
    WindowProgress progress(this);
    steps::ignore([&] { buildHistTrend(m_document, blocks, progress); });
    if (self)
        setRunning(false);
}

void DataFileWindow::setRunning(bool running)
{
    // Open, Plot and Print would disturb the run; Cancel Plot stays live.
    for (int position : {1, 2, 3, 5, 6})
        if (QAction *button = toolbarButton(position))
            button->setEnabled(!running);
    if (QAction *cancel = toolbarButton(4))
        cancel->setEnabled(true);
}

namespace {
QString noPrinterText()
{
    return u"There is no default printer!"_s + u"\r\n"_s + u"Please install or select a default printer."_s
           + u"\r\n"_s + u"Use File, Export PDF to save the printout as a PDF file."_s;
}
} // namespace

void DataFileWindow::printHistGrid()
{
    if (!checkHistFile(m_document.path()))
        return;
    int printers = 0;
    steps::ignore([&] { printers = int(ui().printerNames().size()); });
    if (printers < 1) {
        msgBox(noPrinterText(), MsgIcon::Critical, MsgButtons::Ok);
        return;
    }

    CommonDialog *dialog = shared().fileDialog;
    if (!dialog)
        return; // no print dialog to ask: nothing can be printed
    try {
        dialog->cancelError = true;
        dialog->flags = CommonDialog::NoSelection | CommonDialog::NoPageNums;
        dialog->showPrinter();
    } catch (const RuntimeError &e) {
        if (e.number() == RuntimeError::CancelSelected)
            return;
        // A file refused as the printer's output is named, and nothing printed.
        if (showRefusedOutput(e))
            return;
    } catch (...) {
    }
    int fromPage = 0, toPage = 0, copies = 0, orientation = 0;
    steps::ignoring({
        [&] { fromPage = dialog->fromPage; },
        [&] { toPage = dialog->toPage; },
        [&] { copies = dialog->copies; },
        [&] { orientation = dialog->orientation; },
    });

    QPrinter &printer = dialog->printer();
    ui().setPointer(Pointer::Hourglass);
    for (int copy = 1; copy <= copies; ++copy) {
        setUpGridPrintout(orientation, fromPage, toPage);
        steps::ignoring({
            // Each copy is a job of its own, so the printer must not repeat it.
            [&] { printer.setCopyCount(1); },
            [&] { outputfile::printOn(printer, [this](QPrinter &p) { m_dataGrid->print(p); }); },
        });
    }
    ui().setPointer(Pointer::Default);
}

void DataFileWindow::setUpGridPrintout(int orientation, int fromPage, int toPage)
{
    GridControl &grid = *m_dataGrid;
    GridPrintSettings &print = grid.printSettings();
    steps::ignoring({
        [&] { print.jobName = u"History Grid Printout"_s; },
        // The path's slashes would read as page codes.
        [&] { print.header = u"Grid printout for fileName "_s + PageText::escaped(m_document.path()); },
        [&] { print.footer = u"/c/rPage #/p"_s; },
        [&] {
            const GridBlock selected = grid.selectedBlock();
            if (selected.lastRow - selected.firstRow > 1) {
                grid.setBlock(selected.firstCol, selected.firstRow, selected.lastCol, selected.lastRow);
                print.type = GridPrintSettings::Block;
            } else {
                print.type = GridPrintSettings::WholeSheet;
            }
        },
        [&] { print.useDataMax = true; },
        [&] { print.orientation = orientation; },
        [&] { print.firstPage = fromPage; },
        [&] { print.lastPage = toPage; },
    });
}

// The printout as printHistGrid lays it out, one copy of every page, in the
// printer's own orientation (the preview's buttons turn it).
void DataFileWindow::printPreview()
{
    if (!checkHistFile(m_document.path()) || !shared().fileDialog)
        return;
    CommonDialog &dialog = *shared().fileDialog;
    try {
        dialog.showPreview(dialog.printer(), [this](QPrinter &printer) {
            setUpGridPrintout(0, 0, 0);
            printer.setCopyCount(1);
            m_dataGrid->print(printer);
        });
    } catch (...) {
        showRefusedOutput(RuntimeError::fromCurrentException());
    }
}

void DataFileWindow::exportPdf()
{
    if (!checkHistFile(m_document.path()))
        return;
    const QPointer<DataFileWindow> self(this);
    try {
        if (!shared().fileDialog)
            throw RuntimeError(RuntimeError::ObjectNotSet);
        CommonDialog &dialog = *shared().fileDialog;
        const QFileInfo log(m_document.path());
        const QString fileName = dialog.askSaveAs(u"Export grid printout as PDF"_s, outputfile::pdfFilter(),
                                                  u".pdf"_s, log.dir().filePath(log.completeBaseName() + u".pdf"_s));
        if (!self)
            return;
        // The paper and its orientation of the last printout or preview.
        const QPageLayout layout = dialog.printer().pageLayout();
        ui().setPointer(Pointer::Hourglass);
        outputfile::printToPdf(fileName, [&](QPrinter &printer) {
            printer.setPageLayout(layout);
            setUpGridPrintout(0, 0, 0);
            if (m_dataGrid->print(printer) == 0)
                throw RuntimeError(RuntimeError::PrinterError); // nothing to print: no empty file
        });
        ui().setPointer(Pointer::Default);
    } catch (...) {
        ui().setPointer(Pointer::Default);
        const RuntimeError error = RuntimeError::fromCurrentException();
        if (error.number() != RuntimeError::CancelSelected)
            if (!showRefusedOutput(error))
                steps::ignore([] {
                    msgBox(u"PDF file can not be saved. Check filename or disk space"_s, MsgIcon::Critical,
                           MsgButtons::Ok);
                });
    }
}

void DataFileWindow::resetHistView()
{
    m_dataGrid->clearRange(0, 0, m_dataGrid->colCount(), m_dataGrid->rowCount(), false);
    m_document.close();
    setStatusPanelText(m_document.path());
    m_countsPanel->clear();
    ui().setPointer(Pointer::Default);
    m_progressLabel->hide();
    m_progressBar->hide();
}

bool DataFileWindow::isFollowing() const { return m_document.isFollowing(); }

void DataFileWindow::setFollowing(bool on)
{
    if (on && !isFollowing()) {
        if (checkHistFile(m_document.path())) {
            m_document.setFollowing(true);
            followLog(); // what the logger wrote since the load
        }
    } else if (!on) {
        m_document.setFollowing(false);
    }
    showFollowing(isFollowing());
}

void DataFileWindow::showFollowing(bool on)
{
    m_followPanel->setVisible(on);
    mainFrame().setCommandChecked(FrameCommand::Follow, on);
}

void DataFileWindow::followLog()
{
    if (m_loading)
        return;
    steps::guarded([&] { m_document.follow(); });
}

void DataFileWindow::rowsArrived(int oldRowCount, int leftOutRow)
{
    steps::guarded([&] {
        m_dataGrid->tableGrew();
        showCounts();
        if (oldRowCount == 0 && m_dataGrid->rowCount() > 0) // no longer "no rows yet"
            setStatusPanelText(u"Current File is "_s + m_document.path() + loadRemarks());
        if (leftOutRow > 0)
            setStatusPanelText(u"Current File is "_s + m_document.path()
                               + u" (the trend leaves out line %1: its date or time cannot be read)"_s.arg(
                                   m_document.table().fileLine(leftOutRow)));
    });
}

void DataFileWindow::logReplaced(LogDocument::Replacement how)
{
    steps::guarded([&] {
        switch (how) {
        case LogDocument::Replacement::Emptied:
            // A logger that starts its file again: the rows read stay shown, and
            // the file is read again once it holds a row.
            setStatusPanelText(m_document.path()
                               + u" was emptied; the rows read before stay until new rows arrive."_s);
            break;
        case LogDocument::Replacement::Rewritten:
            reloadLog(true);
            break;
        case LogDocument::Replacement::Reread:
            reloadLog(); // bytes held that are not the file's own: read it all again
            break;
        }
    });
}

void DataFileWindow::reloadLog(bool replaced)
{
    if (m_loading || m_document.isPlotting() || !checkHistFile(m_document.path()))
        return;
    const QString path = m_document.path();
    GridControl &grid = *m_dataGrid;
    const QList<GridBlock> selection = selectedBlocks();
    const QPoint scrolled(grid.view()->horizontalScrollBar()->value(), grid.view()->verticalScrollBar()->value());

    QPointer<DataFileWindow> self(this);
    getHistFile(path);
    if (!self || m_document.path() != path)
        return; // the load failed and said so
    steps::ignoring({
        [&] { grid.setSelectionBlocks(selection); },
        [&] {
            // The view lays itself out later; its scroll ranges are needed now.
            QMetaObject::invokeMethod(grid.view(), "updateGeometries");
            grid.view()->horizontalScrollBar()->setValue(scrolled.x());
            grid.view()->verticalScrollBar()->setValue(scrolled.y());
        },
    });
    // A trend of this log is plotted again with its traces' colours and widths.
    setRunning(true);
    m_runBlocks = m_document.plottedBlocks();
    WindowProgress progress(this);
    steps::ignore([&] { replotHistTrend(m_document, progress); });
    if (!self)
        return;
    setRunning(false);
    setStatusPanelText(u"Current File is "_s + path + loadRemarks()
                       + (replaced ? u" (reloaded: the file was replaced)"_s : QString()));
}

void DataFileWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    steps::guarded([&] {
        if (m_document.isPlotting()) {
            msgBox(u"History viewer is busy with an operation, please wait!"_s, MsgIcon::Information);
            return;
        }
        if (!shared().exitConfirmed) {
            msgBox(u"To quit the KRN-740 history viewer, use the File/Exit menu item."_s, MsgIcon::Information);
            return;
        }
        if (isMinimized())
            return;
        m_document.close();
        DataFilePlacement.store(*this);
        event->accept();
    });
}


void DataFileWindow::resizeEvent(QResizeEvent *event)
{
    QMdiSubWindow::resizeEvent(event);
    steps::guarded([&] {
        if (isMinimized())
            return;
        // Compared in pixels, so that rounding at any DPI cannot snap for ever.
        if (height() < twips::toPixelsY(MinHeight) || width() < twips::toPixelsX(MinWidth)) {
            resize(twips::toPixelsX(MinWidth), twips::toPixelsY(MinHeight));
            return; // that size change lays out
        }
        layoutControls();
    });
}

// The frame and grid follow the window's outer size; the progress bar and label
// keep to the right end of the toolbar strip.
void DataFileWindow::layoutControls()
{
    steps::ignoring({
        [&] { twips::setWidth(*m_dataFrame, twips::sizeOf(*this).width() - 330); },
        [&] { twips::setHeight(*m_dataFrame, twips::sizeOf(*this).height() - 1200); },
        [&] { twips::setWidth(*m_dataGrid, twips::sizeOf(*m_dataFrame).width() - 280); },
        [&] { twips::setHeight(*m_dataGrid, twips::sizeOf(*m_dataFrame).height() - 300); },
        [&] {
            twips::setLeft(*m_progressBar,
                           twips::sizeOf(*m_client).width() - (twips::sizeOf(*m_progressBar).width() + 120));
        },
        [&] {
            twips::setLeft(*m_progressLabel, twips::geometryOf(*m_progressBar).x()
                                                 - (twips::sizeOf(*m_progressLabel).width() + 50));
        },
    });
}

// The toolbar along the top and the status bar along the bottom of the client area.
void DataFileWindow::layoutBars()
{
    const int width = m_client->width();
    m_toolbar->setGeometry(0, 0, width, twips::toPixelsY(ToolbarHeight));
    const int statusHeight = m_statusBar->sizeHint().height();
    m_statusBar->setGeometry(0, m_client->height() - statusHeight, width, statusHeight);
}

bool DataFileWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize)
        steps::guarded([&] { layoutBars(); });
    return QMdiSubWindow::eventFilter(watched, event);
}

void DataFileWindow::plotRunStarted()
{
    m_progressLabel->show();
    m_progressBar->show();
    m_progressBar->setMaximum(100);
}

void DataFileWindow::plotRunProgress(int percent)
{
    m_progressBar->setValue(percent);
}

void DataFileWindow::plotRunEnded(int block)
{
    m_progressLabel->hide();
    m_progressBar->hide();
    if (block >= 0 && block < m_runBlocks.size()) {
        const GridBlock &corners = m_runBlocks.at(block);
        m_dataGrid->setBlock(corners.firstCol, corners.firstRow, corners.lastCol, corners.lastRow);
    }
}

void buildHistTrend()
{
    DataFileWindow &history = frmHistory();
    history.plotBlocks(history.selectedBlocks());
}
