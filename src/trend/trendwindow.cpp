#include "trendwindow.h"

#include "core/pathhelper.h"
#include "statspanel.h"

#include "core/autoticks.h"
#include "core/logdocument.h"
#include "controls/icons.h"
#include "controls/plotcontrol.h"
#include "controls/plotinteraction.h"
#include "controls/slider.h"
#include "core/trenddata.h"
#include "controls/twips.h"
#include "shell/mainframe.h"
#include "shell/openlog.h"
#include "shell/steps.h"
#include "shell/windowregistry.h"
#include "shell/settingsstore.h"
#include "trendsetup/trendsettings.h"
#include "trendsetup/trendsetupdialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLocale>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

WindowSlot<TrendWindow> &slot()
{
    static WindowSlot<TrendWindow> s;
    return s;
}

constexpr OleColor White = 0xFFFFFF;
constexpr OleColor Aqua = 0xFFFF00;
constexpr OleColor Yellow = 0x00FFFF;

// Design size of the window, twips (below the minimum height: the first resize
// snaps it).
constexpr double DesignWidth = 8130;
constexpr double DesignHeight = 5055;
constexpr double MinWidth = 8130;
constexpr double MinHeight = 5370;

// The toolbar and status bar take fixed strips; the plot and the sliders are
// placed in the area between them, the plot at its design left and top.
constexpr double ToolbarHeight = 420;
constexpr double PlotLeft = 120;
constexpr double PlotTop = 180;
constexpr double DateSliderHeight = 300;
constexpr double YSliderWidth = 690;
// The scroll bar fills the strip between the plot and the date slider.
constexpr double ScrollBarHeight = 215; // from the plot's bottom to the date slider
// The statistics panel, right of a splitter, starts at a third of the width and
// is never narrower than this; the plot keeps at least half the window's width.
constexpr double MinStatsWidth = 1500;

void placeTwips(QWidget &w, const QRectF &r)
{
    w.setGeometry(twips::toPixelsX(r.left()), twips::toPixelsY(r.top()), twips::toPixelsX(r.width()),
                  twips::toPixelsY(r.height()));
}

// A real as the default conversion writes it: up to 15 significant digits, no
// trailing zeros, the user's decimal separator.
QString realText(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15);
}

QFont axisTitleFont()
{
    QFont font(u"Arial"_s);
    font.setBold(true);
    return font;
}

} // namespace

TrendWindow &frmHistoryPlot() { return slot().touch(); }

namespace {
// The trend setup dialog edits this window's plot.
const bool SetupTargetsThePlot = (TrendSetupDialog::setTargetPlot([] { return &frmHistoryPlot().trendPlot(); }), true);
} // namespace
TrendWindow *loadedTrendWindow() { return slot().loaded(); }

TrendWindow::TrendWindow() : m_document(logDocument())
{
    setObjectName(u"frmHistoryPlot"_s);
    setWindowTitle(u"Historical Trend Plot"_s);
    setAttribute(Qt::WA_DeleteOnClose);

    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_toolbar = new QToolBar(content);
    m_toolbar->setObjectName(u"Toolbar1"_s);
    m_toolbar->setIconSize(QSize(20, 20));
    m_toolbar->setFixedHeight(twips::toPixelsY(ToolbarHeight));
    buildToolbar();
    column->addWidget(m_toolbar);

    // The plot and the sliders sit where the layout arithmetic puts them.
    m_plotArea = new QWidget(content);
    m_plot = new PlotControl(m_plotArea);
    m_plot->setObjectName(u"trendPlot"_s);
    m_plot->setLeft(PlotLeft);
    m_plot->setTop(PlotTop);
    m_dateSlider = new Slider(Qt::Horizontal, m_plotArea);
    m_dateSlider->setObjectName(u"DateSlider"_s);
    twips::setHeight(*m_dateSlider, DateSliderHeight);
    m_ySlider = new Slider(Qt::Vertical, m_plotArea);
    m_ySlider->setObjectName(u"YSlider"_s);
    twips::setWidth(*m_ySlider, YSliderWidth);
    connect(m_dateSlider, &Slider::positionChanged, this, &TrendWindow::dateSliderChanged);
    connect(m_ySlider, &Slider::positionChanged, this, &TrendWindow::ySliderChanged);
    m_scrollBar = new QScrollBar(Qt::Horizontal, m_plotArea);
    m_scrollBar->setObjectName(u"timeScrollBar"_s);
    connect(m_scrollBar, &QScrollBar::valueChanged, this, &TrendWindow::scrolled);
    // The splitter's place is the user's: the panel keeps the width it was
    // given whatever the window's size, as far as the plot's half allows.
    m_splitter = new QSplitter(Qt::Horizontal, content);
    m_splitter->setObjectName(u"statsSplitter"_s);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(m_plotArea);
    m_stats = new StatsPanel;
    m_stats->setMinimumWidth(1);
    m_splitter->addWidget(m_stats);
    m_stats->hide();
    // The plot area takes what the window gains; the panel keeps its width.
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    m_statsWidth = TrendWindowPlacement::statsWidth();
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] {
        steps::guarded([&] {
            // Kept as far as the window lets the panel go.
            m_statsWidth = float(twips::fromPixelsX(m_stats->width()));
            layoutControls();
            m_statsWidth = float(twips::fromPixelsX(m_stats->width()));
        });
    });
    connect(m_plot, &PlotControl::viewChanged, this, &TrendWindow::updateForView);
    connect(m_plot, &PlotControl::dataChanged, this, &TrendWindow::trendDataChanged);
    connect(m_plot, &PlotControl::channelVisibilityChanged, this, &TrendWindow::updateForView);
    // A colour chosen in the trend setup shows in the statistics at once.
    connect(m_plot, &PlotControl::channelColorChanged, this, [this] {
        steps::guarded([&] {
            if (!m_stats->isHidden())
                m_stats->showColors(*m_plot);
        });
    });
    connect(m_plot, &PlotControl::cursorSampleChanged, this, &TrendWindow::reportCursorRow);
    // The cursor readout shows a cell as the document says it was logged, while
    // the trend's log is open; else the trend's own values.
    m_plot->setSampleText([this](int column, int gridRow) {
        return m_plot->trendData()->loggedText(column, gridRow).value_or(QString());
    });
    connect(&m_document, &LogDocument::trendReplaced, this, &TrendWindow::showDocumentTrend);
    connect(&m_document, &LogDocument::trendGrew, this, &TrendWindow::followGrowth);
    connect(&m_document, &LogDocument::replaced, this, [this](LogDocument::Replacement how) {
        if (how == LogDocument::Replacement::Emptied)
            logEmptied();
    });
    column->addWidget(m_splitter, 1);

    m_statusBar = new QStatusBar(content);
    m_statusBar->setObjectName(u"StatusBar1"_s);
    m_statusBar->setSizeGripEnabled(false);
    for (int i = 0; i < 2; ++i) {
        m_panels[i] = new QLabel(m_statusBar);
        m_panels[i]->setFrameShape(QFrame::Panel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        m_panels[i]->setMinimumWidth(40);
        m_statusBar->addWidget(m_panels[i], i == 0 ? 1 : 0);
    }
    // The zoom panel is wide enough for both figures at their longest, so that
    // it neither clips them nor changes width while a slider is dragged.
    m_panels[1]->setMinimumWidth(m_panels[1]->fontMetrics().horizontalAdvance(u"XZoom = -100.00% : YZoom = -100.00%"_s)
                                 + 2 * m_panels[1]->frameWidth() + 8);
    m_panels[0]->setText(u"Current Trend Data"_s);
    m_panels[1]->setText(u"Current Zoom%"_s);
    column->addWidget(m_statusBar);

    setWidget(content);
    configurePlot();
    mainFrame().adopt(this);
    mainFrame().handleCommand(this, FrameCommand::Print, [this] { toolbarButtonClick(4); });
    // The Trend menu: the toolbar's commands, in its order.
    const FrameCommand menuCommands[] = {FrameCommand::TrendSetup, FrameCommand::DataCursor,
                                         FrameCommand::SaveImage,  FrameCommand::PrintTrend,
                                         FrameCommand::TrendPreview, FrameCommand::TrendPdf,
                                         FrameCommand::Statistics};
    int position = 1;
    for (FrameCommand command : menuCommands) {
        const int at = position++;
        mainFrame().handleCommand(this, command, [this, at] { toolbarButtonClick(at); });
    }
    mainFrame().setCommandChecked(FrameCommand::Statistics, false);
    resize(twips::toPixelsX(DesignWidth), twips::toPixelsY(DesignHeight));
    layoutControls();
    load();
}

TrendWindow::~TrendWindow() = default;

void TrendWindow::buildToolbar()
{
    struct Button
    {
        QString key;
        IconKind icon;
    };
    const Button buttons[] = {
        {u"Trend Setup"_s, IconKind::Setup},
        {u"Show/Hide Data Cursor"_s, IconKind::Cursor},
        {u"Save as Jpeg"_s, IconKind::SaveJpeg},
        {u"Print Trend"_s, IconKind::PrintTrend},
        {u"Print Preview"_s, IconKind::PrintPreview},
        {u"Export PDF"_s, IconKind::ExportPdf},
        {u"Statistics"_s, IconKind::Statistics},
    };
    int position = 1;
    for (const Button &b : buttons) {
        QAction *action = m_toolbar->addAction(drawnIcon(b.icon), b.key);
        action->setObjectName(b.key);
        action->setData(b.key);
        action->setToolTip(b.key);
        action->setCheckable(b.icon == IconKind::Statistics);
        connect(action, &QAction::triggered, this, [this, position] { toolbarButtonClick(position); });
        // Tab reaches the buttons too; Space presses the one with the focus.
        m_toolbar->widgetForAction(action)->setFocusPolicy(Qt::TabFocus);
        ++position;
    }
}

void TrendWindow::toolbarButtonClick(int position)
{
    steps::guarded([&] {
        switch (position) {
        case 1:
            setupHistTrend();
            break;
        case 2:
            toggleDataCursor();
            break;
        case 3:
            saveJpeg();
            break;
        case 4:
            printTrend();
            break;
        case 5:
            printPreview();
            break;
        case 6:
            exportPdf();
            break;
        case 7:
            toggleStats();
            break;
        default:
            break;
        }
    });
}

// The plot as the window is designed; a plot run then replaces the channel and
// the spans.
void TrendWindow::configurePlot()
{
    PlotControl &plot = *m_plot;
    plot.setPrintMargin(1.0);

    PlotAxis x = plot.XAxis(0);
    x.setTitleText(u"Time"_s);
    x.setSpan(0.0069);
    x.setMinorCount(3);
    x.setLabelsFormatStyle(PlotAxis::FormatDateTime);
    // Labels that suit the visible span, until the user picks a format.
    x.setDateTimeFormat(autoticks::automaticFormat());
    x.setAxisLineVisible(false);
    x.setTrackingStyle(PlotAxis::ScaleMinMax);
    x.setTrackingAlignFirst(true);

    PlotAxis y = plot.YAxis(0);
    y.setTitleText(u"Y-Axis 1"_s);
    y.setSpan(100);
    y.setDateTimeFormat(u"hh:nn:ss"_s);
    y.setLabelsFormatStyle(PlotAxis::FormatGeneral);
    y.setAxisLineVisible(false);
    y.setTrackingStyle(PlotAxis::ScaleMinMax);
    y.setTrackingAlignFirst(false);

    // The right value axis, shown once a channel is put on it; no grid of its own.
    PlotAxis right = plot.YAxis(1);
    right.setSpan(100);
    right.setLabelsFormatStyle(PlotAxis::FormatGeneral);
    right.setAxisLineVisible(false);
    right.setTrackingStyle(PlotAxis::ScaleMinMax);
    right.setTrackingAlignFirst(false);
    right.setLabelsFontColor(White);
    right.setTitleFontColor(White);
    right.setTitleFont(axisTitleFont());

    for (PlotAxis axis : {x, y}) {
        axis.setLabelsFontColor(White);
        axis.setTitleFontColor(White);
        axis.setTitleFont(axisTitleFont());
        axis.setMajorGridLinesVisible(true);
        axis.setMinorGridLinesVisible(true);
    }

    PlotLegend legend = plot.Legend(0);
    legend.setFontColor(White);
    legend.setColumnTitlesFontColor(Aqua);
    legend.setColumnTitlesBold(true);

    plot.Channel(plot.AddChannel()).setTitleText(u"Channel 1"_s);

    PlotDataCursor cursor = plot.DataCursor(0);
    cursor.setVisible(false);
    cursor.setColor(Yellow);
    cursor.setUseChannelColor(true);
    cursor.setHintVisible(true);
}

// The load handler: the data source and the zoom in the status bar.
void TrendWindow::load()
{
    setPanelText(1, u"Current trend data from "_s + stripPath(m_document.path()));
    setPanelText(2, u"XZoom = "_s + realText(m_dateSlider->Position()) + u"% : "_s + u"YZoom = "_s
                        + realText(m_ySlider->Position()) + u"%"_s);
}

QLabel &TrendWindow::panel(int panel) const
{
    Q_ASSERT(panel == 1 || panel == 2);
    return *m_panels[panel == 2 ? 1 : 0];
}

QString TrendWindow::panelText(int panel) const
{
    return this->panel(panel).text();
}

void TrendWindow::setPanelText(int panel, const QString &text)
{
    this->panel(panel).setText(text);
    // A narrow window cuts a long file name and its remark off; the tip shows them.
    this->panel(panel).setToolTip(text);
}

void TrendWindow::resizeEvent(QResizeEvent *event)
{
    QMdiSubWindow::resizeEvent(event);
    steps::guarded([&] {
        if (isMinimized())
            return;
        // Both extents snap to the minimum even when only one was too small.
        // Compared in pixels, so that rounding at any DPI cannot snap for ever.
        // A maximised window has the frame's size and cannot be sized.
        if (!isMaximized() && (height() < twips::toPixelsY(MinHeight) || width() < twips::toPixelsX(MinWidth))) {
            const QSize old = size();
            resize(twips::toPixelsX(MinWidth), twips::toPixelsY(MinHeight));
            // As the window is being shown, Qt delivers the size it was given
            // while hidden and drops a resize made meanwhile; deliver that here.
            if (!isVisible()) {
                QResizeEvent again(size(), old);
                QCoreApplication::sendEvent(this, &again);
            }
            return; // that size change lays out
        }
        layoutControls();
    });
}

// The plot follows the window's outer size and keeps its design left and top;
// the sliders follow the plot's width and height (not its right and bottom).
void TrendWindow::layoutControls()
{
    const QSizeF outer = twips::sizeOf(*this);
    // The statistics panel, when shown (asked of the panel alone: the window may
    // be hidden while it is maximised, restored or tiled), takes its width and
    // the splitter's from the plot's.
    double stats = 0;
    if (!m_stats->isHidden()) {
        const double handle = twips::fromPixelsX(m_splitter->handleWidth());
        // First shown at a third of the width; from then on that is its place.
        if (m_statsWidth <= 0)
            m_statsWidth = float(twips::fromPixelsX(m_splitter->width()) / 3 - handle);
        const double wanted = m_statsWidth;
        const double widest = outer.width() / 2 - 1125 - handle;
        // The plot's half wins over the panel's least width in a small window.
        const int panelPixels = std::max(twips::toPixelsX(std::min(std::max(wanted, MinStatsWidth), widest)), 1);
        m_splitter->setSizes({std::max(m_splitter->width() - m_splitter->handleWidth() - panelPixels, 1), panelPixels});
        stats = twips::fromPixelsX(panelPixels + m_splitter->handleWidth());
    }
    steps::ignoring({
        [&] { m_plot->setWidth(outer.width() - 1125 - stats); },
        [&] { m_plot->setHeight(outer.height() - 1900); },
        [&] { twips::setTop(*m_ySlider, m_plot->Top() - 75); },
        [&] { twips::setHeight(*m_ySlider, m_plot->Height() + 75); },
        [&] { twips::setLeft(*m_ySlider, m_plot->Width() + 130); },
        [&] { twips::setTop(*m_dateSlider, m_plot->Height() + 395); },
        [&] { twips::setLeft(*m_dateSlider, m_plot->Left() - 120); },
        [&] { twips::setWidth(*m_dateSlider, m_plot->Width() + 220); },
        [&] {
            placeTwips(*m_scrollBar, QRectF(m_plot->Left(), m_plot->Top() + m_plot->Height(), m_plot->Width(), ScrollBarHeight));
        },
    });
}

void TrendWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    steps::guarded([&] {
        // Minimised, the window stays, whoever asked.
        if (isMinimized())
            return;
        {
            SettingsStore::ChangeSet together;
            TrendWindowPlacement::store(*this);
            if (m_statsWidth > 0)
                TrendWindowPlacement::storeStatsWidth(m_statsWidth);
        }
        event->accept();
        // What it showed goes with it; the closing window shows nothing more.
        disconnect(&m_document, nullptr, this, nullptr);
        m_document.closeTrend();
    });
}

void TrendWindow::toggleStats()
{
    m_stats->setHidden(!m_stats->isHidden());
    if (QAction *action = m_toolbar->findChild<QAction *>(u"Statistics"_s))
        action->setChecked(!m_stats->isHidden());
    mainFrame().setCommandChecked(FrameCommand::Statistics, !m_stats->isHidden());
    layoutControls();
    if (!m_stats->isHidden())
        m_stats->showStats(*m_plot);
}

void TrendWindow::updateForView()
{
    steps::guarded([&] {
        followView(!m_slidersHeld);
        if (!m_stats->isHidden())
            m_stats->showStats(*m_plot);
    });
}

// New data changes what the scroll bar and the statistics cover, not the
// sliders' zoom.
void TrendWindow::trendDataChanged()
{
    steps::guarded([&] {
        followView(false);
        if (!m_stats->isHidden())
            m_stats->showStats(*m_plot);
    });
}

bool TrendWindow::showsCurrentFile() const
{
    const QString path = m_plot->trendData()->sourcePath();
    return !path.isEmpty() && path == m_document.path();
}

void TrendWindow::showDocumentTrend()
{
    steps::guarded([&] {
        if (const std::shared_ptr<TrendData> data = m_document.trend())
            m_plot->setTrendData(data);
    });
}

// The X axis after the data's last time moved from `oldEnd` to `newEnd`: the
// zoom slider's share of the grown span, from where it was or, when it showed the
// old end, up to the new one; the value axes fitted to the data while unzoomed,
// and their full spans grown with it (zoomed ones keep theirs).
void TrendWindow::followGrowth(double oldEnd, double newEnd)
{
    steps::guarded([&] {
        if (m_plot->trendData() != m_document.trend())
            return;
        const PlotAxis x = m_plot->XAxis(0);
        const double min = x.Min();
        // A hair of slack for the rounding of the slider's span.
        const bool showedEnd = min + x.Span() >= oldEnd - 1e-7;
        const bool fitY = m_ySlider->Position() == 0;
        if (fitY)
            recordSpans(historyXspan());
        const double span = (100 - m_dateSlider->Position()) * 0.01 * historyXspan();
        m_plot->trendDataGrew(showedEnd ? std::max(min, newEnd - span) : min, span, fitY);
    });
}

void TrendWindow::logEmptied()
{
    steps::guarded([&] {
        // The text the plot run left, with what it said of the dates, gains the note.
        const QString emptied = u" (emptied: rows read before)"_s;
        if (showsCurrentFile() && !panelText(1).endsWith(emptied))
            setPanelText(1, panelText(1) + emptied);
    });
}

void TrendWindow::reportCursorRow(qsizetype sample)
{
    steps::guarded([&] {
        if (sample >= 0 && showsCurrentFile())
            emit sampleRowChanged(m_plot->trendData()->gridRow(sample));
    });
}

void TrendWindow::showGridRow(int gridRow)
{
    steps::guarded([&] {
        PlotDataCursor cursor = m_plot->DataCursor(0);
        if (!cursor.Visible() || !showsCurrentFile())
            return;
        const std::shared_ptr<TrendData> data = m_plot->trendData();
        data->sortByTime();
        qsizetype found = -1;
        for (qsizetype i = 0; i < data->rowCount() && found < 0; ++i) {
            if (data->gridRow(i) == gridRow)
                found = i;
        }
        if (found < 0 || found == cursor.sample())
            return;
        cursor.setSample(found);
        // A sample out of view brings the view to it, as wide as it was.
        PlotAxis x = m_plot->XAxis(0);
        const double time = data->time(found);
        if (time < x.Min() || time > x.Max()) {
            const double span = x.Span();
            m_plot->setXView(plotview::clampedMin(time - span / 2, span, m_plot->dataXMin(), m_plot->dataXMax()), span);
        }
    });
}
