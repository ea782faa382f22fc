#include "trendwindow.h"

#include "pathhelper.h"

#include "controls/icons.h"
#include "controls/plotcontrol.h"
#include "controls/slider.h"
#include "controls/twips.h"
#include "shell/mainframe.h"
#include "shell/sharedstate.h"
#include "shell/steps.h"
#include "shell/windowregistry.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QLocale>
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

// Design size of the window, twips.
constexpr double DesignWidth = 8130;
constexpr double DesignHeight = 5055;

// Provisional placement of the plot and the sliders inside the area between the
// toolbar and the status bar, twips.
constexpr double PlotLeft = 120;
constexpr double PlotTop = 90;
constexpr double SliderThickness = 360;
constexpr double SliderGap = 40;

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
TrendWindow *loadedTrendWindow() { return slot().loaded(); }

TrendWindow::TrendWindow()
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
    buildToolbar();
    column->addWidget(m_toolbar);

    m_plotArea = new QWidget(content);
    m_plot = new PlotControl(m_plotArea);
    m_plot->setObjectName(u"trendPlot"_s);
    m_dateSlider = new Slider(Qt::Horizontal, m_plotArea);
    m_dateSlider->setObjectName(u"DateSlider"_s);
    m_ySlider = new Slider(Qt::Vertical, m_plotArea);
    m_ySlider->setObjectName(u"YSlider"_s);
    m_plotArea->installEventFilter(this);
    column->addWidget(m_plotArea, 1);

    m_statusBar = new QStatusBar(content);
    m_statusBar->setObjectName(u"StatusBar1"_s);
    m_statusBar->setSizeGripEnabled(false);
    for (int i = 0; i < 2; ++i) {
        m_panels[i] = new QLabel(m_statusBar);
        m_panels[i]->setFrameShape(QFrame::Panel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        m_panels[i]->setMinimumWidth(40);
        m_statusBar->addWidget(m_panels[i], i == 0 ? 3 : 2);
    }
    m_panels[0]->setText(u"Current Trend Data"_s);
    m_panels[1]->setText(u"Current Zoom%"_s);
    column->addWidget(m_statusBar);

    setWidget(content);
    configurePlot();
    mainFrame().adopt(this);
    resize(twips::toPixelsX(DesignWidth), twips::toPixelsY(DesignHeight));
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
    };
    int position = 1;
    for (const Button &b : buttons) {
        QAction *action = m_toolbar->addAction(drawnIcon(b.icon), b.key);
        action->setObjectName(b.key);
        action->setData(b.key);
        action->setToolTip(b.key);
        connect(action, &QAction::triggered, this, [this, position] { toolbarButtonClick(position); });
        ++position;
    }
}

void TrendWindow::toolbarButtonClick(int position)
{
    switch (position) {
    case 1:
        steps::ignore([this] { setupHistTrend(); });
        break;
    default:
        break;
    }
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
    x.setDateTimeFormat(u"m/d/yy h:nn:ss am/pm"_s);
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
    setPanelText(1, u"Current trend data from "_s + stripPath(shared().currentFileName));
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
}

bool TrendWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_plotArea && event->type() == QEvent::Resize)
        layoutPlotArea();
    return QMdiSubWindow::eventFilter(watched, event);
}

// The plot fills the area, the Y slider stands at its right and the date slider
// below it, both a little longer than the plot's side.
void TrendWindow::layoutPlotArea()
{
    const QSizeF area = twips::sizeOf(*m_plotArea);
    const double width = std::max(0.0, area.width() - PlotLeft - SliderGap - SliderThickness);
    const double height = std::max(0.0, area.height() - PlotTop - SliderGap - SliderThickness);
    m_plot->setLeft(PlotLeft);
    m_plot->setTop(PlotTop);
    m_plot->setWidth(width);
    m_plot->setHeight(height);
    m_ySlider->setGeometry(twips::toPixelsX(PlotLeft + width + SliderGap), twips::toPixelsY(PlotTop - 75),
                           twips::toPixelsX(SliderThickness), twips::toPixelsY(height + 75));
    m_dateSlider->setGeometry(twips::toPixelsX(PlotLeft - 120), twips::toPixelsY(PlotTop + height + SliderGap),
                              twips::toPixelsX(width + 220), twips::toPixelsY(SliderThickness));
}
