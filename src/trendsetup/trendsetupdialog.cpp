#include "trendsetupdialog.h"

#include "colorswatch.h"
#include "trendmemory.h"

#include "controls/commondialog.h"
#include "controls/numericedit.h"
#include "controls/plotcontrol.h"
#include "core/runtimeerror.h"
#include "shell/mainframe.h"
#include "shell/sharedstate.h"
#include "shell/steps.h"
#include "shell/uiservices.h"
#include "shell/windowregistry.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

WindowSlot<TrendSetupDialog> &slot()
{
    static WindowSlot<TrendSetupDialog> s;
    return s;
}

// Sizes of the small controls, pixels.
constexpr int SwatchWidth = 56;
constexpr int SwatchHeight = 22;
constexpr int DotsWidth = 28;
constexpr int WholeEditWidth = 64;
constexpr int RealEditWidth = 104;
constexpr int PenComboWidth = 150;

NumericEdit *numericEdit(const QString &name, const SettingBounds &bounds)
{
    auto *edit = new NumericEdit(bounds.min, bounds.max, bounds.decimals, bounds.step);
    edit->setObjectName(name);
    edit->setFixedWidth(bounds.decimals > 0 ? RealEditWidth : WholeEditWidth);
    return edit;
}

ColorSwatch *swatch(const QString &name)
{
    auto *s = new ColorSwatch;
    s->setObjectName(name);
    s->setFixedSize(SwatchWidth, SwatchHeight);
    return s;
}

QString indexed(const QString &name, int index)
{
    return name + u'(' + QString::number(index) + u')';
}

// The grid of an axis frame, its first row the scale colour.
QGridLayout *axisGrid(QGroupBox *frame, ColorSwatch *color, QPushButton *button)
{
    auto *grid = new QGridLayout(frame);
    grid->addWidget(new QLabel(u"Scale Color"_s), 0, 0);
    grid->addWidget(color, 0, 1);
    grid->addWidget(button, 0, 2, Qt::AlignLeft);
    grid->setColumnStretch(3, 1);
    return grid;
}

// A label and its edit per row from `row` on; returns the row after the last.
int addEditRows(QGridLayout *grid, int row, std::initializer_list<std::pair<QString, NumericEdit *>> rows)
{
    for (const auto &[text, edit] : rows) {
        grid->addWidget(new QLabel(text), row, 0);
        grid->addWidget(edit, row, 1, 1, 2, Qt::AlignLeft);
        ++row;
    }
    return row;
}

CommonDialog &commonDialog()
{
    if (!shared().fileDialog)
        throw RuntimeError(RuntimeError::ObjectNotSet);
    return *shared().fileDialog;
}

} // namespace

TrendSetupDialog &TrendSetup() { return slot().touch(); }
TrendSetupDialog *loadedTrendSetup() { return slot().loaded(); }

TrendSetupDialog::TrendSetupDialog()
    : QDialog(&mainFrame())
{
    setObjectName(u"TrendSetup"_s);
    setWindowTitle(u"Trend Scaling Setup"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);

    auto *axes = new QHBoxLayout;
    axes->addWidget(buildXFrame(), 3);
    axes->addWidget(buildYFrame(), 2);

    auto *background = new QHBoxLayout;
    background->addWidget(new QLabel(u"Trend Background Color:"_s));
    m_bgColor = swatch(u"BgColorLabel"_s);
    background->addWidget(m_bgColor);
    m_bgColorButton = colorButton(u"BgColorButton"_s, m_bgColor);
    background->addWidget(m_bgColorButton);
    background->addStretch();
    m_ok = new QPushButton(u"OK"_s);
    m_ok->setObjectName(u"cmdOK"_s);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(u"Cancel"_s);
    m_cancel->setObjectName(u"cmdCancel"_s);
    background->addWidget(m_ok);
    background->addWidget(m_cancel);
    connect(m_ok, &QPushButton::clicked, this, &TrendSetupDialog::cmdOKClick);
    connect(m_cancel, &QPushButton::clicked, this, &TrendSetupDialog::cmdCancelClick);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(axes);
    layout->addWidget(buildPenFrame());
    layout->addLayout(background);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setSettings(TrendSettings{});
    // No trap of its own: a failure reaches the routine that opened the dialog.
    if (!targetPlot())
        throw RuntimeError(RuntimeError::ObjectNotSet);
    histPlotobj = targetPlot()();
}

PlotControl *(*&TrendSetupDialog::targetPlot())()
{
    static PlotControl *(*target)() = nullptr;
    return target;
}

void TrendSetupDialog::setTargetPlot(PlotControl *(*target)())
{
    targetPlot() = target;
}

TrendSetupDialog::~TrendSetupDialog()
{
    histPlotobj.clear();
}

QWidget *TrendSetupDialog::buildXFrame()
{
    auto *frame = new QGroupBox(u"X Axis Setup"_s);
    m_xColor = swatch(u"XcolorLabel"_s);
    m_xColorButton = colorButton(u"YscaleColor"_s, m_xColor);
    m_xFormat = new QComboBox;
    m_xFormat->setObjectName(u"XscaleFormat"_s);
    m_xFormat->setEditable(true);
    m_xFormat->setInsertPolicy(QComboBox::NoInsert);
    m_xFormat->addItems(TrendSettings::xScaleFormatList());
    m_xFormat->setMinimumContentsLength(20);
    // A typed format is applied as typed: no completing "hh:nn" to a list entry.
    m_xFormat->setCompleter(nullptr);
    m_days = numericEdit(u"TrendDaysAnalog"_s, TrendSettings::SpanDaysBounds);
    m_hours = numericEdit(u"TrendHoursAnalog"_s, TrendSettings::SpanHoursBounds);
    m_minutes = numericEdit(u"TrendMinutesAnalog"_s, TrendSettings::SpanMinutesBounds);
    m_xMinor = numericEdit(u"XminorTicks"_s, TrendSettings::MinorTicksBounds);

    QGridLayout *grid = axisGrid(frame, m_xColor, m_xColorButton);
    grid->addWidget(new QLabel(u"Scale Format"_s), 1, 0);
    grid->addWidget(m_xFormat, 1, 1, 1, 3);
    addEditRows(grid, 2,
                {{u"Trend Days"_s, m_days},
                 {u"Trend Hours"_s, m_hours},
                 {u"Trend Minutes"_s, m_minutes},
                 {u"Minor Ticks"_s, m_xMinor}});
    return frame;
}

QWidget *TrendSetupDialog::buildYFrame()
{
    auto *frame = new QGroupBox(u"Y Axis Setup"_s);
    m_yColor = swatch(u"YcolorLabel"_s);
    m_yColorButton = colorButton(u"Xscalecolor"_s, m_yColor);
    m_zero = numericEdit(u"TrendZeroAnalog"_s, TrendSettings::TrendZeroBounds);
    m_span = numericEdit(u"TrendSpanAnalog"_s, TrendSettings::TrendSpanBounds);
    m_rightZero = numericEdit(u"RightZeroAnalog"_s, TrendSettings::TrendZeroBounds);
    m_rightSpan = numericEdit(u"RightSpanAnalog"_s, TrendSettings::TrendSpanBounds);
    m_yMinor = numericEdit(u"YminorTicks"_s, TrendSettings::MinorTicksBounds);

    QGridLayout *grid = axisGrid(frame, m_yColor, m_yColorButton);
    const int end = addEditRows(grid, 1,
                                {{u"Trend Zero"_s, m_zero},
                                 {u"Trend Span"_s, m_span},
                                 {u"Right Axis Zero"_s, m_rightZero},
                                 {u"Right Axis Span"_s, m_rightSpan},
                                 {u"Minor Ticks"_s, m_yMinor}});
    grid->setRowStretch(end, 1);
    return frame;
}

namespace {

// Pen row i stands in block i / 12 of the list, in its left column (the first six)
// or its right one; each column is the row's number, assignment, colour swatch
// and its button, and width.
constexpr int PenRowsPerColumn = TrendSettings::MinPenRows / 2;
constexpr int ColumnsPerSide = 5;
// A heading is cut short past this width, pixels; its row's tip shows it whole.
constexpr int MaxHeadingWidth = 140;

int penGridRow(int index)
{
    return 1 + index / TrendSettings::MinPenRows * PenRowsPerColumn + index % PenRowsPerColumn;
}

int penGridColumn(int index)
{
    return index % TrendSettings::MinPenRows < PenRowsPerColumn ? 0 : ColumnsPerSide + 1;
}

// "1)" to "12)", the numbers of the right column padded to the width of "10)".
QString penNumber(int index)
{
    const bool padded = index >= PenRowsPerColumn && index + 1 < 10;
    return (padded ? u" "_s : QString()) + QString::number(index + 1) + u')';
}

} // namespace

QWidget *TrendSetupDialog::buildPenFrame()
{
    auto *frame = new QGroupBox(u"Trend Pen Setup"_s);
    m_penList = new QWidget;
    m_penGrid = new QGridLayout(m_penList);
    m_penGrid->setHorizontalSpacing(6);
    m_penGrid->setSizeConstraint(QLayout::SetFixedSize);
    for (int side = 0; side < 2; ++side) {
        const int first = side * (ColumnsPerSide + 1);
        m_penGrid->addWidget(new QLabel(u"Pen Assignment:"_s), 0, first + 1);
        m_penGrid->addWidget(new QLabel(u"Color:"_s), 0, first + 2, 1, 2);
        m_penGrid->addWidget(new QLabel(u"Width:"_s), 0, first + 4);
    }
    m_penGrid->setColumnMinimumWidth(ColumnsPerSide, 18);
    while (penRows() < TrendSettings::MinPenRows)
        addPenRow();

    m_penScroll = new QScrollArea;
    m_penScroll->setObjectName(u"PenList"_s);
    m_penScroll->setWidget(m_penList);
    m_penScroll->setFrameShape(QFrame::NoFrame);
    m_penScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_penScroll);
    fitPenList();
    return frame;
}

void TrendSetupDialog::addPenRow()
{
    const int i = penRows();
    PenRow pen;
    pen.number = new QLabel(penNumber(i));
    pen.number->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pen.assign = new QComboBox;
    pen.assign->setObjectName(indexed(u"PenAssign"_s, i));
    pen.assign->setPlaceholderText(u"Select Controller"_s);
    pen.assign->addItems(TrendPen::assignments());
    pen.assign->setCurrentIndex(-1);
    pen.assign->setFixedWidth(PenComboWidth);
    pen.color = swatch(indexed(u"PenClr"_s, i));
    pen.colorButton = colorButton(indexed(u"PenClrBtn"_s, i), pen.color);
    pen.width = numericEdit(indexed(u"PWidth"_s, i), TrendPen::WidthBounds);

    const int row = penGridRow(i);
    const int first = penGridColumn(i);
    m_penGrid->addWidget(pen.number, row, first);
    m_penGrid->addWidget(pen.assign, row, first + 1);
    m_penGrid->addWidget(pen.color, row, first + 2);
    m_penGrid->addWidget(pen.colorButton, row, first + 3);
    m_penGrid->addWidget(pen.width, row, first + 4);
    m_pens.push_back(pen);
}

void TrendSetupDialog::setPenRows(const QStringList &headings)
{
    const int rows = std::max(int(headings.size()), int(TrendSettings::MinPenRows));
    while (penRows() > rows) {
        const PenRow &pen = m_pens.back();
        for (QWidget *w : std::initializer_list<QWidget *>{pen.number, pen.assign, pen.color, pen.colorButton, pen.width})
            delete w;
        m_pens.pop_back();
    }
    while (penRows() < rows)
        addPenRow();
    for (int i = 0; i < rows; ++i) {
        QLabel *number = m_pens[size_t(i)].number;
        const QString heading = i < headings.size() ? headings[i] : QString();
        const QString shown = number->fontMetrics().elidedText(heading, Qt::ElideRight, MaxHeadingWidth);
        number->setText(heading.isEmpty() ? penNumber(i) : penNumber(i) + u' ' + shown);
        number->setToolTip(shown == heading ? QString() : heading);
    }
    fitPenList();
}

QString TrendSetupDialog::penLabel(int index) const
{
    pen(index);
    return m_pens[size_t(index)].number->text();
}

void TrendSetupDialog::fitPenList()
{
    m_penList->adjustSize();
    m_penGrid->activate();
    int height = m_penList->height();
    int width = m_penList->width();
    if (penRows() > TrendSettings::MinPenRows) {
        // Down to the first row past the twelfth, less the spacing above it.
        height = m_pens[TrendSettings::MinPenRows].number->geometry().top() - std::max(0, m_penGrid->verticalSpacing());
        width += m_penScroll->verticalScrollBar()->sizeHint().width();
    }
    m_penScroll->setFixedSize(width, height);
}

QPushButton *TrendSetupDialog::colorButton(const QString &name, ColorSwatch *swatch)
{
    auto *button = new QPushButton(u"..."_s);
    button->setObjectName(name);
    button->setFixedSize(DotsWidth, SwatchHeight + 2);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, swatch] { pickColor(*swatch); });
    return button;
}

const TrendSetupDialog::PenRow &TrendSetupDialog::pen(int index) const
{
    if (index < 0 || index >= penRows())
        throw RuntimeError(RuntimeError::SubscriptOutOfRange);
    return m_pens[size_t(index)];
}

QComboBox &TrendSetupDialog::PenAssign(int index) const { return *pen(index).assign; }
ColorSwatch &TrendSetupDialog::PenClr(int index) const { return *pen(index).color; }
QPushButton &TrendSetupDialog::PenClrBtn(int index) const { return *pen(index).colorButton; }
NumericEdit &TrendSetupDialog::PWidth(int index) const { return *pen(index).width; }

PlotControl &TrendSetupDialog::plot() const
{
    if (!histPlotobj)
        throw RuntimeError(RuntimeError::ObjectNotSet);
    return *histPlotobj;
}

TrendSettings TrendSetupDialog::settings() const
{
    TrendSettings s;
    s.trendZero = m_zero->Value();
    s.trendSpan = m_span->Value();
    s.rightZero = m_rightZero->Value();
    s.rightSpan = m_rightSpan->Value();
    s.spanDays = int(m_days->Value());
    s.spanHours = int(m_hours->Value());
    s.spanMinutes = int(m_minutes->Value());
    s.xScaleColor = m_xColor->BackColor();
    s.yScaleColor = m_yColor->BackColor();
    s.backgroundColor = m_bgColor->BackColor();
    s.xMinorTicks = int(m_xMinor->Value());
    s.yMinorTicks = int(m_yMinor->Value());
    s.xScaleFormat = m_xFormat->currentText();
    s.pens.resize(m_pens.size());
    for (int i = 0; i < penRows(); ++i) {
        const PenRow &row = m_pens[size_t(i)];
        TrendPen &pen = s.pens[size_t(i)];
        pen.assignment = qint16(row.assign->currentIndex());
        pen.assignmentData = row.assign->currentData().toInt();
        pen.color = row.color->BackColor();
        pen.width = int(row.width->Value());
    }
    return s;
}

void TrendSetupDialog::setSettings(const TrendSettings &s)
{
    m_zero->setValue(s.trendZero);
    m_span->setValue(s.trendSpan);
    m_rightZero->setValue(s.rightZero);
    m_rightSpan->setValue(s.rightSpan);
    m_days->setValue(s.spanDays);
    m_hours->setValue(s.spanHours);
    m_minutes->setValue(s.spanMinutes);
    m_xColor->setBackColor(s.xScaleColor);
    m_yColor->setBackColor(s.yScaleColor);
    m_bgColor->setBackColor(s.backgroundColor);
    m_xMinor->setValue(s.xMinorTicks);
    m_yMinor->setValue(s.yMinorTicks);
    m_xFormat->setCurrentText(s.xScaleFormat);
    if (int(s.pens.size()) > penRows()) {
        while (int(s.pens.size()) > penRows())
            addPenRow();
        fitPenList();
    }
    for (int i = 0; i < int(s.pens.size()); ++i) {
        const PenRow &row = m_pens[size_t(i)];
        const TrendPen &pen = s.pens[size_t(i)];
        row.assign->setCurrentIndex(pen.assignment);
        row.color->setBackColor(pen.color);
        row.width->setValue(pen.width);
    }
}

void TrendSetupDialog::setupHistoryPlot()
{
    const QString name = u"TrendSetupHisotryOkBtn"_s;
    const TrendSettings s = settings();
    int channels = 0;
    // An axis whose ends the user left as shown keeps exactly the range it has (or
    // fits its channels anew when they changed): its top went into the dialog as
    // bottom plus length, and the length back from the top could differ in the
    // last digit.
    const auto kept = [this](int axis, double zero, double top) {
        return m_shownEnds && (*m_shownEnds)[size_t(axis) * 2] == zero && (*m_shownEnds)[size_t(axis) * 2 + 1] == top;
    };
    const bool leftKept = kept(0, s.trendZero, s.trendSpan);
    const bool rightKept = kept(1, s.rightZero, s.rightSpan);
    // Channels change axis first, so that the ends set below win over the fit
    // that a change of axis brings.
    steps::ignore([&] {
        for (int i = 0; i < std::min(plot().ChannelCount(), penRows()); ++i) {
            const PenRow &row = m_pens[size_t(i)];
            if (row.assign->isEnabled() && row.assign->currentIndex() >= 0)
                plot().Channel(i).setYAxisIndex(row.assign->currentIndex() == 1 ? 1 : 0);
        }
    });
    steps::reporting(name, {
        [&] {
            if (!leftKept)
                plot().YAxis(0).setMin(s.trendZero);
        },
        [&] {
            if (!leftKept)
                plot().YAxis(0).setSpan(s.trendSpan - s.trendZero);
        },
        [&] { plot().XAxis(0).setLabelsFontColor(s.xScaleColor); },
        [&] { plot().XAxis(0).setScaleLinesColor(s.xScaleColor); },
        [&] { plot().XAxis(0).setMinorCount(s.xMinorTicks); },
        [&] {
            if (!plot().XAxis(0).labelsFollowTimeScale())
                plot().XAxis(0).setDateTimeFormat(s.xScaleFormat);
        },
        [&] { plot().YAxis(0).setLabelsFontColor(s.yScaleColor); },
        [&] { plot().YAxis(0).setScaleLinesColor(s.yScaleColor); },
        [&] { plot().Legend(0).setFontColor(s.yScaleColor); },
        [&] { plot().YAxis(0).setMinorCount(s.yMinorTicks); },
        [&] { plot().setBackGroundColor(s.backgroundColor); },
        [&] {
            if (!plot().XAxis(0).labelsFollowTimeScale())
                plot().XAxis(0).setLabelsFormatStyle(PlotAxis::FormatDateTime);
        },
        [&] { plot().XAxis(0).setTrackingStyle(PlotAxis::ScaleMinMax); },
        [&] { channels = plot().ChannelCount(); },
        // The right value axis looks like the left one.
        [&] { plot().YAxis(1).setLabelsFontColor(s.yScaleColor); },
        [&] { plot().YAxis(1).setScaleLinesColor(s.yScaleColor); },
        [&] { plot().YAxis(1).setMinorCount(s.yMinorTicks); },
    });
    // Pens govern the channels of their index; a channel without a pen row (its
    // rows could not be made) gets the thinnest line.
    for (int i = 0; i < channels; ++i) {
        const int width = i < penRows() ? s.pens[size_t(i)].width : 1;
        steps::report(name, [&] { plot().Channel(i).setTraceLineWidth(width); });
        if (i >= penRows())
            continue;
        const PenRow &row = m_pens[size_t(i)];
        const TrendPen &pen = s.pens[size_t(i)];
        if (row.colorButton->isEnabled())
            steps::report(name, [&] { plot().Channel(i).setColor(pen.color); });
    }
    // The right axis's ends, when the user changed them to a valid range.
    if (!rightKept && s.rightZero < s.rightSpan) {
        steps::report(name, [&] {
            plot().YAxis(1).setMin(s.rightZero);
            plot().YAxis(1).setSpan(s.rightSpan - s.rightZero);
        });
    }
    steps::report(name, [&] { trendmemory::nameValueAxes(plot()); });
    steps::ignore([&] { trendmemory::remember(plot()); });
    steps::report(name, [&] { close(); });
}

bool TrendSetupDialog::rightAxisUsed() const
{
    for (const PenRow &row : m_pens) {
        if (row.assign->isEnabled() && row.assign->currentIndex() == 1)
            return true;
    }
    return false;
}

void TrendSetupDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The axes' ends as the user first sees them: OK leaves an axis alone whose
    // ends are still these.
    if (!m_shownEnds)
        m_shownEnds = {m_zero->Value(), m_span->Value(), m_rightZero->Value(), m_rightSpan->Value()};
}

void TrendSetupDialog::cmdOKClick()
{
    steps::guarded([this] {
        const double span = m_span->Value();
        const double zero = m_zero->Value();
        if (!(zero < span)) {
            ui().message(u"Trend Zero must be less than trend span time!"_s, u"Trend Setup"_s, MsgIcon::Information,
                         MsgButtons::Ok);
            return;
        }
        if (rightAxisUsed() && !(m_rightZero->Value() < m_rightSpan->Value())) {
            ui().message(u"Right Axis Zero must be less than Right Axis Span!"_s, u"Trend Setup"_s,
                         MsgIcon::Information, MsgButtons::Ok);
            return;
        }
        setupHistoryPlot();
    });
}

void TrendSetupDialog::cmdCancelClick()
{
    steps::guarded([this] { close(); });
}

void TrendSetupDialog::pickColor(ColorSwatch &target)
{
    // A cancel leaves the dialog's colour at the swatch's; with the cancel error
    // still set by an earlier use, the skipped step has the same effect.
    steps::ignoring({
        [&] { commonDialog().flags = CommonDialog::RgbInit | CommonDialog::PreventFullOpen; },
        [&] { commonDialog().color = target.BackColor(); },
        [&] { commonDialog().showColor(); },
        [&] { target.setBackColor(commonDialog().color); },
    });
}
