#include "plotcontrol.h"

#include "plotcontrol_p.h"
#include "core/autoticks.h"
#include "plotinteraction.h"
#include "trendpicture.h"
#include "core/tracepainter.h"
#include "core/datetimeformat.h"
#include "core/duration.h"
#include "core/yearlabels.h"

#include "commondialog.h"
#include "core/runtimeerror.h"
#include "twips.h"

#include <qcustomplot.h>

#include <QBuffer>
#include <QPrinter>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <thread>
#include <utility>

using namespace Qt::StringLiterals;

// Ticks and labels of one axis: numbers as the library chooses them; dates on
// calendar steps labelled in the plot's date/time notation (under the automatic
// format, in the pattern that suits the step); durations on duration steps from
// 0; or years on year (or month) boundaries. A fixed count of minor ticks
// whichever it is.
class TrendTicker : public QCPAxisTicker
{
public:
    void setMinorCount(int count) { m_minorCount = count; }
    // `style` is a PlotAxis::LabelsFormatCode; `format` counts for date/time labels only.
    void setLabels(int style, const QString &format)
    {
        m_style = style;
        m_format = format;
        m_automatic = autoticks::isAutomatic(format);
    }

protected:
    double getTickStep(const QCPRange &range) override
    {
        // Durations and years are written as the span shown needs them.
        m_span = range.size();
        switch (m_style) {
        case PlotAxis::FormatDuration: return duration::chooseStep(range.size(), tickCount());
        case PlotAxis::FormatYears:
            m_step = yearlabels::chooseStep(range.size(), tickCount());
            return m_step.days();
        case PlotAxis::FormatDateTime: break;
        default: return QCPAxisTicker::getTickStep(range);
        }
        m_step = datetimeformat::chooseTimeStep(range.size(), tickCount());
        // Room for only two or three labels could leave one tick on the axis (a
        // 5000-year step over 9900 years): take a finer step then, the coarsest
        // that puts two steps in view, so that the labels still have their room.
        const int finest = std::max(tickCount(), 2) * 3;
        for (int count = tickCount() + 1; range.size() / m_step.days() < 2.0 && count <= finest; ++count)
            m_step = datetimeformat::chooseTimeStep(range.size(), count);
        if (m_automatic)
            m_pattern = autoticks::patternFor(m_step);
        return m_step.days();
    }

    // A redraw never throws: a range the ticks cannot be worked out for gets none.
    void generate(const QCPRange &range, const QLocale &locale, QChar formatChar, int precision,
                  QVector<double> &ticks, QVector<double> *subTicks, QVector<QString> *tickLabels) override
    {
        try {
            QCPAxisTicker::generate(range, locale, formatChar, precision, ticks, subTicks, tickLabels);
        } catch (...) {
            ticks.clear();
            if (subTicks)
                subTicks->clear();
            if (tickLabels)
                tickLabels->clear();
        }
    }

    int getSubTickCount(double) override { return m_minorCount; }

    QVector<double> createTickVector(double tickStep, const QCPRange &range) override
    {
        // One tick beyond each end, so that the minor ticks reach the ends too.
        switch (m_style) {
        case PlotAxis::FormatDuration: return duration::ticks(range.lower - tickStep, range.upper + tickStep, tickStep);
        case PlotAxis::FormatDateTime:
        case PlotAxis::FormatYears:
            return datetimeformat::timeTicks(range.lower - tickStep, range.upper + tickStep, m_step);
        default: return QCPAxisTicker::createTickVector(tickStep, range);
        }
    }

    QString getTickLabel(double tick, const QLocale &locale, QChar formatChar, int precision) override
    {
        switch (m_style) {
        case PlotAxis::FormatDuration: return duration::text(tick, m_span);
        case PlotAxis::FormatYears: return yearlabels::text(tick, m_span);
        case PlotAxis::FormatDateTime: break;
        default: return QCPAxisTicker::getTickLabel(tick, locale, formatChar, precision);
        }
        try {
            return datetimeformat::format(tick, m_automatic ? m_pattern : m_format);
        } catch (const RuntimeError &) {
            return QString();
        }
    }

private:
    int m_style = PlotAxis::FormatGeneral;
    bool m_automatic = false;
    QString m_format;
    QString m_pattern; // the automatic format's pattern for the current step
    int m_minorCount = 1;
    double m_span = 0; // of the range the ticks are made for, days
    datetimeformat::TimeStep m_step;
};

namespace {

// A linear axis's pixel for a coordinate, worked out from two of the axis's own
// pixels rather than asked of the axis point by point.
struct LinearMap
{
    LinearMap(const QCPAxis *axis)
        : origin(axis->range().lower)
        , base(axis->coordToPixel(origin))
        , scale(axis->range().size() != 0 ? (axis->coordToPixel(axis->range().upper) - base) / axis->range().size()
                                          : 0)
    {
    }
    double operator()(double coord) const { return base + (coord - origin) * scale; }
    double origin;
    double base;
    double scale;
};

} // namespace

// Every channel's trace, in channel order, drawn from the trend data at about one
// summary block per pixel column, so that a redraw costs the same for a thousand
// points as for millions, and the same at every line width. One drawing object for
// all channels: the plotting library keeps its objects in lists it searches, and
// thousands of channels would make every addition and removal slow.
class TraceLayer : public QCPLayerable
{
public:
    TraceLayer(QCustomPlot *plot, const PlotControlPrivate *d)
        : QCPLayerable(plot, u"main"_s)
        , d(d)
    {
        setAntialiased(false);
    }

protected:
    QRect clipRect() const override { return mParentPlot->axisRect()->rect(); }

    void applyDefaultAntialiasingHint(QCPPainter *painter) const override
    {
        applyAntialiasingHint(painter, mAntialiased, QCP::aePlottables);
    }

    void draw(QCPPainter *painter) override
    {
        QCPAxis *key = mParentPlot->xAxis;
        const QCPRange range = key->range();
        const int columns = std::max(1, key->axisRect()->width());
        const LinearMap toX(key);
        for (size_t ch = 0; ch < d->channels.size() && int(ch) < d->data->channelCount(); ++ch) {
            const ChannelState &c = d->channels[ch];
            if (!c.visible)
                continue;
            m_points.clear();
            d->data->trace(int(ch), range.lower, range.upper, columns, m_points);
            const LinearMap toY(d->axes[c.valueAxis].axis);
            for (QPointF &p : m_points)
                p = QPointF(toX(p.x()), std::isnan(p.y()) ? p.y() : toY(p.y()));
            paintTrace(*painter, m_points, toQColor(c.color), c.width, c.dashed);
        }
    }

private:
    const PlotControlPrivate *d;
    std::vector<QPointF> m_points;
};

// The legend column beside the data view: a framed list of each channel's trace
// sample and title, greyed for a hidden channel. What does not fit ends in a row
// that counts the rest. The widest title is measured again only when titles or
// channels change; each such pass walks every entry, and is counted.
class ChannelLegend : public QCPLayoutElement
{
public:
    static constexpr QMargins Margins{7, 5, 7, 4};
    static constexpr QSize IconSize{20, 10};
    static constexpr int IconTextPadding = 7;
    static constexpr int RowSpacing = 3;

    ChannelLegend(QCustomPlot *plot, const PlotControlPrivate *d)
        : QCPLayoutElement(plot)
        , d(d)
    {
        setLayer(u"legend"_s);
        setAutoMargins(QCP::msNone);
        setMargins(Margins);
        setAntialiased(false);
    }

    void entriesChanged() { m_measured = false; }
    void setTextColor(const QColor &color) { m_textColor = color; }
    void setBorderPen(const QPen &pen) { m_borderPen = pen; }

    // The channel whose entry holds `at`, -1 when none.
    int entryAt(QPoint at) const
    {
        if (!realVisibility() || !mRect.contains(at))
            return -1;
        const int row = (at.y() - mRect.top()) / rowPitch();
        return row < shownEntries() && (at.y() - mRect.top()) % rowPitch() < rowHeight() ? row : -1;
    }

    static inline int passes = 0;

protected:
    QSize minimumOuterSizeHint() const override
    {
        // One row at least, however many there are: the rest is counted.
        return QSize(contentWidth(), std::min<qint64>(1, d->channels.size()) * rowHeight()) + marginSize();
    }

    QSize maximumOuterSizeHint() const override
    {
        const qint64 rows = qint64(d->channels.size());
        const qint64 height = rows > 0 ? rows * rowPitch() - RowSpacing : 0;
        return QSize(QWIDGETSIZE_MAX, int(std::min<qint64>(height, QWIDGETSIZE_MAX / 2))) + marginSize();
    }

    void draw(QCPPainter *painter) override
    {
        if (d->channels.empty())
            return;
        painter->setBrush(Qt::NoBrush);
        painter->setPen(m_borderPen);
        painter->drawRect(mOuterRect);
        painter->setFont(mParentPlot->font());
        const int shown = shownEntries();
        const int rows = int(std::min<size_t>(d->channels.size(), size_t(shown + 1)));
        for (int row = 0; row < rows; ++row) {
            const QRect line(mRect.left(), mRect.top() + row * rowPitch(), mRect.width(), rowHeight());
            if (line.bottom() > mRect.bottom())
                break;
            if (row == shown) {
                painter->setPen(m_textColor);
                painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
                                  u"and %1 more"_s.arg(d->channels.size() - size_t(shown)));
                break;
            }
            const ChannelState &c = d->channels[size_t(row)];
            const QRect icon(line.topLeft() + QPoint(0, (line.height() - IconSize.height()) / 2), IconSize);
            painter->save();
            painter->setClipRect(icon, Qt::IntersectClip);
            painter->setPen(tracePen(toQColor(c.color), c.width, c.dashed));
            painter->drawLine(QLineF(icon.left(), icon.center().y() + 0.5, icon.right() + 1, icon.center().y() + 0.5));
            painter->restore();
            painter->setPen(c.visible ? m_textColor : QColor(110, 110, 110));
            painter->drawText(line.adjusted(IconSize.width() + IconTextPadding, 0, 0, 0),
                              Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, c.shown());
        }
    }

private:
    QSize marginSize() const { return QSize(mMargins.left() + mMargins.right(), mMargins.top() + mMargins.bottom()); }
    int rowHeight() const { return std::max(QFontMetrics(mParentPlot->font()).height(), IconSize.height()); }
    int rowPitch() const { return rowHeight() + RowSpacing; }

    // Entries drawn whole in the rows there are: all, or all but the last row,
    // which then counts the rest.
    int shownEntries() const
    {
        const qint64 count = qint64(d->channels.size());
        const qint64 fit = (mRect.height() + RowSpacing) / rowPitch();
        return int(count <= fit ? count : std::max<qint64>(0, fit - 1));
    }

    int contentWidth() const
    {
        if (!m_measured) {
            ++passes;
            const QFontMetrics metrics(mParentPlot->font());
            int widest = 0;
            for (const ChannelState &c : d->channels)
                widest = std::max(widest, metrics.horizontalAdvance(c.shown()));
            m_widest = widest;
            m_measured = true;
        }
        return d->channels.empty() ? 0 : IconSize.width() + IconTextPadding + m_widest;
    }

    const PlotControlPrivate *d;
    QColor m_textColor = Qt::white;
    QPen m_borderPen;
    mutable bool m_measured = false;
    mutable int m_widest = 0;
};

namespace {

constexpr int MaxMinorCount = 100;
constexpr int MaxTraceWidth = 20;
constexpr double MaxPrintMargin = 3.0;
// While points arrive the visible plot is redrawn at most this often.
constexpr int RefreshIntervalMs = 200;
constexpr double SecondInDays = 1.0 / 86400.0;

void invalidValue() { throw RuntimeError(RuntimeError::InvalidPropertyValue); }

void requireFinite(double value)
{
    if (!std::isfinite(value))
        invalidValue();
}

void requireColor(OleColor color)
{
    if (color > 0xFFFFFF)
        invalidValue();
}

void requireIndexZero(int index)
{
    if (index != 0)
        throw RuntimeError(RuntimeError::SubscriptOutOfRange);
}

// Gives back the memory of trend data that is no longer drawn. Tens of millions of
// values take longer to hand back than a frame lasts, so a large set goes on a
// thread of its own and the interface does not wait for it.
void releaseData(std::shared_ptr<TrendData> &&data)
{
    TrendData::release(std::move(data));
}

QPen gridPen(int grey, Qt::PenStyle style)
{
    return QPen(QColor(grey, grey, grey), 0, style);
}

} // namespace

// ---- private state -------------------------------------------------------------

ChannelState &PlotControlPrivate::channel(int index)
{
    if (index < 0 || index >= int(channels.size()))
        throw RuntimeError(RuntimeError::SubscriptOutOfRange);
    return channels[size_t(index)];
}

void PlotControlPrivate::channelsChanged()
{
    legend->entriesChanged();
}

int PlotControlPrivate::legendEntryAt(QPoint at) const
{
    return legend->entryAt(at);
}

void PlotControlPrivate::dataReplaced()
{
    data->sortByTime();
    forgetData();
    const qsizetype rows = data->rowCount();
    if (rows == 0)
        return;
    TrendStats values;
    for (int ch = 0; ch < data->channelCount(); ++ch)
        values.take(data->stats(ch));
    if (values.count == 0)
        return;
    hasData = true;
    hasRange[AxisX] = true;
    lo[AxisX] = first[AxisX] = data->time(0);
    hi[AxisX] = data->time(rows - 1);
    axes[AxisX].fitPending = true;
    valueRangesChanged();
}

void PlotControlPrivate::valueRangesChanged()
{
    for (int which : {AxisY, AxisY2}) {
        TrendStats values;
        for (size_t ch = 0; ch < channels.size() && int(ch) < data->channelCount(); ++ch) {
            if (channels[ch].valueAxis == which)
                values.take(data->stats(int(ch)));
        }
        hasRange[which] = values.count > 0;
        if (values.count > 0) {
            lo[which] = first[which] = values.min;
            hi[which] = values.max;
        }
        axes[which].fitPending = true;
    }
}

void PlotControlPrivate::updateRightAxis()
{
    const bool used = std::any_of(channels.begin(), channels.end(),
                                  [](const ChannelState &c) { return c.valueAxis == AxisY2; });
    if (axes[AxisY2].axis->visible() != used)
        axes[AxisY2].axis->setVisible(used);
}

void PlotControlPrivate::fitAxis(int which)
{
    AxisState &a = axes[which];
    if (!a.fitPending)
        return;
    a.fitPending = false;
    if (!a.tracking || !hasData || !hasRange[which])
        return;
    fitRange(which, lo[which], hi[which]);
}

void PlotControlPrivate::fitRange(int which, double low, double high)
{
    AxisState &a = axes[which];
    const auto fitToData = [&] {
        if (high > low) {
            a.min = low;
            a.span = high - low;
        } else {
            // Data without extent keeps the span and sits in its middle; far from
            // zero the span grows with the value, or the axis could not tell its
            // two ends apart.
            double span = a.span > 0 ? a.span : 1.0;
            if (which != AxisX)
                span = std::max(span, std::abs(low) * 0.01);
            a.min = low - span / 2;
            a.span = span;
        }
    };
    switch (a.trackingStyle) {
    case PlotAxis::ScaleMinMax:
        fitToData();
        break;
    case PlotAxis::ScaleExpand:
        if (!a.fittedOnce) {
            fitToData();
        } else {
            const double newMin = std::min(a.min, low);
            const double newMax = std::max(a.min + a.span, high);
            a.min = newMin;
            a.span = newMax - newMin;
        }
        break;
    case PlotAxis::ScalePage:
        if (!a.fittedOnce && a.alignFirst)
            a.min = first[which];
        if (a.span > 0 && high > a.min + a.span)
            a.min += std::ceil((high - (a.min + a.span)) / a.span) * a.span;
        break;
    case PlotAxis::ScaleSmooth:
        if (!a.fittedOnce && a.alignFirst)
            a.min = first[which];
        if (high > a.min + a.span)
            a.min = high - a.span;
        break;
    }
    a.fittedOnce = true;
}

void PlotControlPrivate::applyRange(int which)
{
    const AxisState &a = axes[which];
    // A zero span is kept as set; the axis shows a second (X) or one unit (Y) then.
    const double shown = a.span > 0 ? a.span : (which == AxisX ? SecondInDays : 1.0);
    a.axis->setRange(a.min, a.min + shown);
}

void PlotControlPrivate::updateTickCount(int which)
{
    const AxisState &a = axes[which];
    const QFontMetrics metrics(a.axis->tickLabelFont());
    const QRect rect = plot->axisRect()->rect();
    int count = 5;
    if (which == AxisX) {
        const int length = rect.width() > 0 ? rect.width() : std::max(100, plot->width() - 150);
        // Room for the widest label the axis can show, plus a gap.
        QString sample = axisValueText(which, a.axis->range().upper);
        if (a.labelsStyle < PlotAxis::FormatDateTime)
            sample = sample.leftJustified(8, u'0'); // a number
        const int labelWidth = metrics.horizontalAdvance(sample) + metrics.averageCharWidth() * 4;
        count = length / std::max(1, labelWidth);
    } else {
        const int length = rect.height() > 0 ? rect.height() : std::max(100, plot->height() - 100);
        count = length / (metrics.height() * 3);
    }
    a.ticker->setTickCount(std::clamp(count, 2, 12));
}

void PlotControlPrivate::settle()
{
    // A hidden control gets its resize events only when shown; its canvas follows
    // its size at once, so that a hidden plot is laid out, printed and saved at
    // the size it was given.
    if (plot->geometry() != q->rect())
        plot->setGeometry(q->rect());
    if (plot->viewport() != q->rect())
        plot->setViewport(q->rect());
    data->sortByTime();
    updateRightAxis();
    for (int which : {AxisX, AxisY, AxisY2}) {
        fitAxis(which);
        applyRange(which);
    }
    // The tick counts and titles are fitted to the axes as laid out at the size
    // this draw has: the last draw's layout may have been at another size (one
    // draw follows a burst of resizes).
    QCPLayout *layout = plot->plotLayout();
    layout->update(QCPLayoutElement::upPreparation);
    layout->update(QCPLayoutElement::upMargins);
    layout->update(QCPLayoutElement::upLayout);
    for (int which : {AxisX, AxisY, AxisY2}) {
        updateTickCount(which);
        fitTitle(which);
    }
    updateCursor();
}

void PlotControlPrivate::fitTitle(int which)
{
    // A title that names many channels is cut short with "..." rather than cut
    // off at both ends by a short axis.
    const AxisState &a = axes[which];
    const QRect rect = plot->axisRect()->rect();
    const int length = which == AxisX ? rect.width() : rect.height();
    const QString shown = length > 0 ? QFontMetrics(a.axis->labelFont()).elidedText(a.title, Qt::ElideRight, length)
                                     : a.title;
    if (a.axis->label() != shown)
        a.axis->setLabel(shown);
}

void PlotControlPrivate::redrawNow()
{
    // Hidden, the plot is drawn when it is shown (showEvent), not now.
    if (q->isVisible())
        plot->replot();
}

void PlotControlPrivate::redrawSoon()
{
    if (q->isVisible())
        plot->replot(QCustomPlot::rpQueuedReplot);
}

void PlotControlPrivate::dataAppended(int channel, double x, double y)
{
    const int which = channels[size_t(channel)].valueAxis;
    if (!hasData) {
        hasData = true;
        hasRange[AxisX] = true;
        lo[AxisX] = hi[AxisX] = first[AxisX] = x;
    } else {
        lo[AxisX] = std::min(lo[AxisX], x);
        hi[AxisX] = std::max(hi[AxisX], x);
    }
    if (!hasRange[which]) {
        hasRange[which] = true;
        lo[which] = hi[which] = first[which] = y;
    } else {
        lo[which] = std::min(lo[which], y);
        hi[which] = std::max(hi[which], y);
    }
    axes[AxisX].fitPending = true;
    axes[which].fitPending = true;
    if (!refreshScheduled) {
        refreshScheduled = true;
        QTimer::singleShot(RefreshIntervalMs, plot, [this] {
            refreshScheduled = false;
            redrawSoon();
        });
    }
}

void PlotControlPrivate::forgetData()
{
    hasData = false;
    for (bool &range : hasRange)
        range = false;
    cursor.sample = -1;
    for (AxisState &a : axes) {
        a.fitPending = false;
        a.fittedOnce = false;
    }
}

double PlotControlPrivate::valueAt(const ChannelState &c, double x)
{
    data->sortByTime();
    return data->valueAt(int(&c - channels.data()), x);
}

QString PlotControlPrivate::axisValueText(int which, double value) const
{
    const AxisState &a = axes[which];
    return valueText(TrendPicture::Labels(a.labelsStyle), a.dateTimeFormat, value, a.axis->range().size());
}

void PlotControlPrivate::styleAxis(int which)
{
    const AxisState &a = axes[which];
    QCPAxis *axis = a.axis;
    const QColor scale = toQColor(a.scaleColor);
    axis->setTickLabelColor(toQColor(a.labelsColor));
    axis->setLabelColor(toQColor(a.titleColor));
    axis->setTickPen(QPen(scale, 0));
    axis->setSubTickPen(QPen(scale, 0));
    axis->setBasePen(a.axisLine ? QPen(scale, 0) : QPen(Qt::NoPen));
    a.ticker->setMinorCount(a.minorCount);
    a.ticker->setLabels(a.labelsStyle, a.dateTimeFormat);
    switch (a.labelsStyle) {
    case PlotAxis::FormatFixed:
        axis->setNumberFormat(u"f"_s);
        axis->setNumberPrecision(2);
        break;
    case PlotAxis::FormatScientific:
        axis->setNumberFormat(u"eb"_s);
        axis->setNumberPrecision(2);
        break;
    default:
        axis->setNumberFormat(u"gbd"_s);
        axis->setNumberPrecision(6);
        break;
    }
}

void PlotControlPrivate::styleLegend()
{
    legend->setTextColor(toQColor(legendFontColor));
    legendTitle->setTextColor(toQColor(legendTitleColor));
    QFont font = legendTitle->font();
    font.setBold(legendTitleBold);
    legendTitle->setFont(font);
}

// ---- the control ---------------------------------------------------------------

PlotControl::PlotControl(QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<PlotControlPrivate>())
{
    d->q = this;
    QCustomPlot *plot = new QCustomPlot(this);
    d->plot = plot;
    plot->installEventFilter(this);
    // The user edits nothing; only the data cursor is dragged.
    plot->setInteractions(QCP::Interactions());
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    plot->setLocale(locale);

    d->axes[AxisX].axis = plot->xAxis;
    d->axes[AxisY].axis = plot->yAxis;
    d->axes[AxisY2].axis = plot->yAxis2;
    for (int which : {AxisX, AxisY, AxisY2}) {
        AxisState &a = d->axes[which];
        auto ticker = QSharedPointer<TrendTicker>::create();
        a.ticker = ticker.data();
        a.axis->setTicker(ticker);
        a.axis->grid()->setPen(gridPen(64, Qt::SolidLine));
        a.axis->grid()->setSubGridPen(gridPen(40, Qt::DotLine));
        a.axis->grid()->setZeroLinePen(Qt::NoPen);
        a.axis->setSubTickLength(3, 0);
        a.axis->setTickLength(6, 0);
        d->styleAxis(which);
        d->applyRange(which);
    }
    d->axes[AxisX].labelsStyle = PlotAxis::FormatDateTime;
    d->axes[AxisX].dateTimeFormat = u"m/d/yy h:nn:ss am/pm"_s;
    d->axes[AxisY].dateTimeFormat = u"hh:nn:ss"_s;
    d->axes[AxisY2].dateTimeFormat = u"hh:nn:ss"_s;
    d->styleAxis(AxisX);
    // The right axis is shown while a channel is on it; the grid follows the left.
    plot->yAxis2->grid()->setVisible(false);
    plot->yAxis2->grid()->setSubGridVisible(false);
    plot->yAxis2->setVisible(false);

    // The legend stands in a column right of the data view, its title above it,
    // as long as its entries and no longer.
    plot->setAutoAddPlottableToLegend(false);
    plot->axisRect()->insetLayout()->take(plot->legend);
    delete plot->legend;
    plot->legend = nullptr;
    new TraceLayer(plot, d.get()); // owned by the plot
    d->legend = new ChannelLegend(plot, d.get());
    auto *side = new QCPLayoutGrid;
    plot->plotLayout()->addElement(0, 1, side);
    plot->plotLayout()->setColumnStretchFactor(1, 0.001);
    d->legendTitle = new QCPTextElement(plot, u"Channel"_s);
    side->addElement(0, 0, d->legendTitle);
    side->addElement(1, 0, d->legend);
    side->addElement(2, 0, new QCPLayoutElement(plot));
    side->setRowStretchFactor(0, 0.001);
    side->setRowStretchFactor(1, 1);
    side->setRowStretchFactor(2, 0.001);
    side->setMargins(QMargins(0, 8, 6, 0));
    d->legend->setBorderPen(gridPen(96, Qt::SolidLine));
    d->styleLegend();

    setBackGroundColor(0);
    d->createCursor();

    connect(plot, &QCustomPlot::beforeReplot, this, [this] { d->settle(); });
    m_interaction = new PlotInteraction(d.get());
}

PlotControl::~PlotControl()
{
    d->plot->removeEventFilter(this);
    releaseData(std::exchange(d->data, std::make_shared<TrendData>()));
}

PlotAxis PlotControl::XAxis(int index)
{
    requireIndexZero(index);
    return PlotAxis(d.get(), AxisX);
}

PlotAxis PlotControl::YAxis(int index)
{
    if (index != 0 && index != 1)
        throw RuntimeError(RuntimeError::SubscriptOutOfRange);
    return PlotAxis(d.get(), index == 0 ? AxisY : AxisY2);
}

PlotLegend PlotControl::Legend(int index)
{
    requireIndexZero(index);
    return PlotLegend(d.get());
}

PlotDataCursor PlotControl::DataCursor(int index)
{
    requireIndexZero(index);
    return PlotDataCursor(d.get());
}

PlotChannel PlotControl::Channel(int index)
{
    d->channel(index);
    return PlotChannel(d.get(), index);
}

OleColor PlotControl::defaultChannelColor(int index)
{
    // Bright, well separated hues; no dark blue, which vanishes on black, and no
    // pure yellow, the data cursor's colour. The second twelve differ from every
    // other colour here and from the cursor's as much as the first twelve differ
    // among themselves, and stand out from black at least three to one.
    static constexpr std::array<QRgb, DefaultColorCount> Palette{
        0xFF5050, 0x50DC50, 0x50A0FF, 0xFF8C28, 0xE664FF, 0x00DCDC,
        0xF0F0F0, 0xA0FF78, 0xFF78C8, 0xB4B4FF, 0xC8C878, 0x00A082,
        0xA500FF, 0x005FFF, 0xE100A5, 0xFFC300, 0xCD3200, 0x009B00,
        0xB98700, 0x788200, 0xB9465A, 0x9B5F1E, 0x8C73C3, 0xFFA591,
    };
    return fromQColor(QColor(Palette[size_t(index) % Palette.size()]));
}

bool PlotControl::defaultChannelDashed(int index)
{
    return index >= DefaultColorCount;
}

int PlotControl::AddChannel()
{
    const int index = d->data->addChannel();
    ChannelState c;
    c.color = defaultChannelColor(index);
    c.dashed = defaultChannelDashed(index);
    d->channels.push_back(std::move(c));
    d->channelsChanged();
    d->redrawSoon();
    return index;
}

int PlotControl::ChannelCount() const
{
    return int(d->channels.size());
}

void PlotControl::RemoveAllChannels()
{
    d->channels.clear();
    d->channelsChanged();
    releaseData(std::exchange(d->data, std::make_shared<TrendData>()));
    d->forgetData();
    d->redrawSoon();
    emit dataChanged();
}

void PlotControl::ClearAllData()
{
    // The channels stay, with their titles; the samples go.
    auto fresh = std::make_shared<TrendData>();
    fresh->setTimeScale(d->data->timeScale()); // as the time axis labels it
    for (int ch = 0; ch < d->data->channelCount(); ++ch)
        fresh->addChannel(d->data->title(ch));
    releaseData(std::exchange(d->data, std::move(fresh)));
    d->forgetData();
    d->redrawSoon();
    emit dataChanged();
}

std::shared_ptr<TrendData> PlotControl::trendData() const
{
    return d->data;
}

void PlotControl::setTrendData(std::shared_ptr<TrendData> data)
{
    if (!data)
        data = std::make_shared<TrendData>();
    releaseData(std::exchange(d->data, std::move(data)));
    d->channels.clear();
    d->channels.reserve(size_t(d->data->channelCount()));
    for (int ch = 0; ch < d->data->channelCount(); ++ch) {
        ChannelState c;
        c.title = d->data->title(ch);
        c.unit = d->data->unit(ch);
        c.field = d->data->field(ch);
        c.color = defaultChannelColor(ch);
        c.dashed = defaultChannelDashed(ch);
        d->channels.push_back(std::move(c));
    }
    // The time axis labels what the times are; a calendar trend keeps the
    // style it was given, unless that was one of the other scales'.
    AxisState &x = d->axes[AxisX];
    const TrendPicture::Labels labels = TrendPicture::timeLabels(d->data->timeScale());
    if (labels != TrendPicture::Labels::DateTime || PlotAxis(d.get(), AxisX).labelsFollowTimeScale()) {
        x.labelsStyle = int(labels);
        d->styleAxis(AxisX);
    }
    d->channelsChanged();
    d->dataReplaced();
    d->redrawSoon();
    emit dataChanged();
}

void PlotControl::trendDataGrew(double xMin, double xSpan, bool fitY)
{
    requireFinite(xMin);
    requireFinite(xSpan);
    d->dataReplaced();
    // The caller sets the axes; no fit undoes that.
    for (auto &axis : d->axes) {
        axis.fitPending = false;
        axis.fittedOnce = true;
    }
    d->axes[AxisX].min = xMin;
    d->axes[AxisX].span = std::max(0.0, xSpan);
    for (int which : {AxisY, AxisY2}) {
        if (fitY && d->hasRange[which] && d->hi[which] > d->lo[which]) {
            d->axes[which].min = d->lo[which];
            d->axes[which].span = d->hi[which] - d->lo[which];
        }
    }
    for (int which : {AxisX, AxisY, AxisY2})
        d->applyRange(which);
    d->updateCursor();
    d->redrawSoon();
    emit dataChanged();
}

TrendPicture PlotControl::trendPicture() const
{
    static_assert(int(TrendPicture::Labels::DateTime) == PlotAxis::FormatDateTime);
    static_assert(int(TrendPicture::Labels::Duration) == PlotAxis::FormatDuration);
    static_assert(int(TrendPicture::Labels::Years) == PlotAxis::FormatYears);
    d->data->sortByTime();
    TrendPicture picture;
    const auto fill = [&](int which, TrendPicture::Axis &out) {
        d->fitAxis(which);
        const AxisState &a = d->axes[which];
        out.min = a.min;
        out.span = a.span;
        out.labels = TrendPicture::Labels(a.labelsStyle);
        out.dateTimeFormat = a.dateTimeFormat;
        out.minorCount = a.minorCount;
        out.title = a.title;
        out.titleFont = a.axis->labelFont();
        out.labelsColor = a.labelsColor;
        out.scaleColor = a.scaleColor;
        out.titleColor = a.titleColor;
        out.axisLine = a.axisLine;
        out.majorGrid = a.axis->grid()->visible();
        out.minorGrid = a.axis->grid()->subGridVisible();
    };
    fill(AxisX, picture.time);
    fill(AxisY, picture.left);
    fill(AxisY2, picture.right);
    for (const ChannelState &c : d->channels)
        picture.channels.push_back(
            {c.title, c.color, c.width, c.dashed, c.valueAxis == AxisY2 ? 1 : 0, c.visible, c.unit, c.field});
    picture.background = d->background;
    picture.font = d->axes[AxisX].axis->tickLabelFont();
    picture.legendVisible = d->legend->visible();
    picture.legendColor = d->legendFontColor;
    picture.legendTitleColor = d->legendTitleColor;
    picture.legendTitleBold = d->legendTitleBold;
    return picture;
}

int PlotControl::legendLayoutPasses()
{
    return ChannelLegend::passes;
}

OleColor PlotControl::BackGroundColor() const
{
    return d->background;
}

void PlotControl::setBackGroundColor(OleColor color)
{
    requireColor(color);
    d->background = color;
    d->plot->setBackground(QBrush(toQColor(color)));
    d->redrawSoon();
}

double PlotControl::PrintMargin() const
{
    return d->printMargin;
}

void PlotControl::setPrintMargin(double inches)
{
    requireFinite(inches);
    if (inches < 0 || inches > MaxPrintMargin)
        invalidValue();
    d->printMargin = inches;
}

double PlotControl::Left() const { return twips::geometryOf(*this).left(); }
void PlotControl::setLeft(double value) { requireFinite(value); twips::setLeft(*this, value); }
double PlotControl::Top() const { return twips::geometryOf(*this).top(); }
void PlotControl::setTop(double value) { requireFinite(value); twips::setTop(*this, value); }
double PlotControl::Width() const { return twips::geometryOf(*this).width(); }
double PlotControl::Height() const { return twips::geometryOf(*this).height(); }

void PlotControl::setWidth(double value)
{
    requireFinite(value);
    if (value < 0)
        invalidValue();
    twips::setWidth(*this, value);
}

void PlotControl::setHeight(double value)
{
    requireFinite(value);
    if (value < 0)
        invalidValue();
    twips::setHeight(*this, value);
}

void PlotControl::replot()
{
    d->plot->replot();
}

void PlotControl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    d->plot->setGeometry(rect());
}

bool PlotControl::eventFilter(QObject *watched, QEvent *event)
{
    // A resized plot is drawn once, on the event loop's next pass, not at once:
    // showing a window and fitting it into the frame resize it twice in a row,
    // and every draw of a big trend at once is a stretch the user waits through.
    if (watched == d->plot && event->type() == QEvent::Resize) {
        d->plot->setViewport(d->plot->rect());
        d->plot->replot(QCustomPlot::rpQueuedReplot);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void PlotControl::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Whatever changed while hidden is drawn now.
    d->plot->replot(QCustomPlot::rpQueuedReplot);
}

namespace {
// The size the plot is rendered at for printing and images: its own, unless it has
// never been given one.
QSize renderSize(const QWidget &plot)
{
    return plot.size().expandedTo(QSize(320, 200));
}
} // namespace

void PlotControl::SaveJPEG(const QString &fileName, int quality, bool progressive)
{
    if (quality < 0 || quality > 100)
        invalidValue();
    writeRaster(fileName, "jpeg", quality, progressive, renderSize(*this));
}

void PlotControl::SaveImage(const QString &fileName, outputfile::ImageType type, QSize size)
{
    if (size.isEmpty())
        size = renderSize(*this);
    switch (type) {
    case outputfile::ImageType::Jpeg:
        return writeRaster(fileName, "jpeg", 100, true, size);
    case outputfile::ImageType::Png:
        return writeRaster(fileName, "png", -1, false, size);
    case outputfile::ImageType::Svg:
    case outputfile::ImageType::Pdf:
        return writeVector(fileName, type, size);
    }
    invalidValue();
}

void PlotControl::writeRaster(const QString &fileName, const char *format, int quality, bool progressive,
                              QSize size)
{
    outputfile::checkWritable(fileName);
    d->settle();
    const QImage image = d->plot->toPixmap(size.width(), size.height()).toImage();
    outputfile::writeWhole(fileName, outputfile::encodeImage(image, format, quality, progressive));
}

void PlotControl::writeVector(const QString &fileName, outputfile::ImageType type, QSize size)
{
    outputfile::checkWritable(fileName);
    d->settle();
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    const int dpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    std::unique_ptr<QPaintDevice> device = outputfile::vectorImage(type, bytes, size, dpi);
    QCPPainter painter;
    if (!painter.begin(device.get()))
        throw RuntimeError(RuntimeError::DeviceIoError);
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    d->plot->toPainter(&painter, size.width(), size.height());
    painter.end();
    device.reset(); // the PDF writer finishes its file as it goes
    outputfile::writeWhole(fileName, bytes.data());
}

void PlotControl::PrintPlot()
{
    if (!d->printer)
        d->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrinter &printer = *d->printer;
    if (!CommonDialog::askPrinter(printer, false, false, this))
        return;
    outputfile::printOn(printer, [this](QPrinter &p) { printTo(p); });
}

void PlotControl::PreviewPlot()
{
    if (!d->printer)
        d->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    CommonDialog::previewPrintout(*d->printer, [this](QPrinter &printer) { printTo(printer); }, this);
}

void PlotControl::ExportPDF(const QString &fileName)
{
    outputfile::printToPdf(fileName, [this](QPrinter &printer) {
        if (d->printer)
            printer.setPageLayout(d->printer->pageLayout()); // as last previewed or printed
        printTo(printer);
    });
}

void PlotControl::printTo(QPrinter &printer)
{
    const double m = d->printMargin;
    printer.setFullPage(false);
    printer.setPageMargins(QMarginsF(m, m, m, m), QPageLayout::Inch);
    // At the screen's resolution the fonts keep their on-screen size relative to
    // the plot; the painter then scales the whole plot onto the page.
    printer.setResolution(logicalDpiX());

    d->settle();
    const QSize size = renderSize(*this);
    QCPPainter painter;
    if (!painter.begin(&printer))
        throw RuntimeError(RuntimeError::PrinterError);
    const QRectF area = printer.pageLayout().paintRectPixels(printer.resolution());
    const double scale = std::min(area.width() / size.width(), area.height() / size.height());
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    painter.scale(scale, scale);
    d->plot->toPainter(&painter, size.width(), size.height());
    if (!painter.end())
        throw RuntimeError(RuntimeError::PrinterError);
}

// ---- axes ----------------------------------------------------------------------

double PlotAxis::Min() const
{
    d->fitAxis(m_which);
    return d->axes[m_which].min;
}

void PlotAxis::setMin(double value)
{
    requireFinite(value);
    d->fitAxis(m_which);
    d->axes[m_which].min = value;
    d->applyRange(m_which);
    d->redrawNow();
    d->viewChanged();
}

double PlotAxis::Span() const
{
    d->fitAxis(m_which);
    return d->axes[m_which].span;
}

void PlotAxis::setSpan(double value)
{
    requireFinite(value);
    if (value < 0)
        invalidValue();
    d->fitAxis(m_which);
    d->axes[m_which].span = value;
    d->applyRange(m_which);
    d->redrawNow();
    d->viewChanged();
}

double PlotAxis::Max() const
{
    d->fitAxis(m_which);
    return d->axes[m_which].min + d->axes[m_which].span;
}

bool PlotAxis::TrackingEnabled() const { return d->axes[m_which].tracking; }

void PlotAxis::setTrackingEnabled(bool enabled)
{
    AxisState &a = d->axes[m_which];
    // Switched on, the axis takes in the data that is already there.
    if (enabled && !a.tracking)
        a.fitPending = true;
    a.tracking = enabled;
}

int PlotAxis::TrackingStyle() const { return d->axes[m_which].trackingStyle; }

void PlotAxis::setTrackingStyle(int style)
{
    if (style < ScalePage || style > ScaleMinMax)
        invalidValue();
    d->axes[m_which].trackingStyle = style;
}

bool PlotAxis::TrackingAlignFirst() const { return d->axes[m_which].alignFirst; }
void PlotAxis::setTrackingAlignFirst(bool automatic) { d->axes[m_which].alignFirst = automatic; }

int PlotAxis::LabelsFormatStyle() const { return d->axes[m_which].labelsStyle; }

void PlotAxis::setLabelsFormatStyle(int style)
{
    if (style < FormatGeneral || style > FormatYears)
        invalidValue();
    d->axes[m_which].labelsStyle = style;
    d->styleAxis(m_which);
    d->redrawSoon();
}

QString PlotAxis::DateTimeFormat() const { return d->axes[m_which].dateTimeFormat; }

bool PlotAxis::labelsFollowTimeScale() const
{
    return TrendPicture::followsTimeScale(TrendPicture::Labels(d->axes[m_which].labelsStyle));
}

void PlotAxis::setDateTimeFormat(const QString &format)
{
    d->axes[m_which].dateTimeFormat = format;
    d->styleAxis(m_which);
    d->redrawSoon();
}

OleColor PlotAxis::LabelsFontColor() const { return d->axes[m_which].labelsColor; }

void PlotAxis::setLabelsFontColor(OleColor color)
{
    requireColor(color);
    d->axes[m_which].labelsColor = color;
    d->styleAxis(m_which);
    d->redrawSoon();
}

OleColor PlotAxis::ScaleLinesColor() const { return d->axes[m_which].scaleColor; }

void PlotAxis::setScaleLinesColor(OleColor color)
{
    requireColor(color);
    d->axes[m_which].scaleColor = color;
    d->styleAxis(m_which);
    d->redrawSoon();
}

int PlotAxis::MinorCount() const { return d->axes[m_which].minorCount; }

void PlotAxis::setMinorCount(int count)
{
    if (count < 0 || count > MaxMinorCount)
        invalidValue();
    d->axes[m_which].minorCount = count;
    d->styleAxis(m_which);
    d->redrawSoon();
}

QString PlotAxis::TitleText() const { return d->axes[m_which].title; }

void PlotAxis::setTitleText(const QString &text)
{
    d->axes[m_which].title = text;
    d->fitTitle(m_which);
    d->redrawSoon();
}

OleColor PlotAxis::TitleFontColor() const { return d->axes[m_which].titleColor; }

void PlotAxis::setTitleFontColor(OleColor color)
{
    requireColor(color);
    d->axes[m_which].titleColor = color;
    d->styleAxis(m_which);
    d->redrawSoon();
}

QFont PlotAxis::TitleFont() const { return d->axes[m_which].axis->labelFont(); }

void PlotAxis::setTitleFont(const QFont &font)
{
    d->axes[m_which].axis->setLabelFont(font);
    d->redrawSoon();
}

bool PlotAxis::AxisLineVisible() const { return d->axes[m_which].axisLine; }

void PlotAxis::setAxisLineVisible(bool visible)
{
    d->axes[m_which].axisLine = visible;
    d->styleAxis(m_which);
    d->redrawSoon();
}

bool PlotAxis::MajorGridLinesVisible() const { return d->axes[m_which].axis->grid()->visible(); }

void PlotAxis::setMajorGridLinesVisible(bool visible)
{
    d->axes[m_which].axis->grid()->setVisible(visible);
    d->redrawSoon();
}

bool PlotAxis::MinorGridLinesVisible() const { return d->axes[m_which].axis->grid()->subGridVisible(); }

void PlotAxis::setMinorGridLinesVisible(bool visible)
{
    d->axes[m_which].axis->grid()->setSubGridVisible(visible);
    d->redrawSoon();
}

void PlotAxis::fitToChannels(const QList<int> &channels)
{
    if (m_which == AxisX)
        invalidValue();
    d->data->sortByTime();
    TrendStats values;
    for (int ch : channels) {
        if (d->channel(ch).valueAxis == m_which)
            values.take(d->data->stats(ch));
    }
    if (values.count == 0)
        return;
    AxisState &a = d->axes[m_which];
    a.fitPending = false;
    // Fitted as a whole, whatever the style: not grown from the range it has now.
    const int style = a.trackingStyle;
    a.trackingStyle = ScaleMinMax;
    d->fitRange(m_which, values.min, values.max);
    a.trackingStyle = style;
    d->applyRange(m_which);
    d->redrawNow();
}

QList<double> PlotAxis::tickPositions() const
{
    d->plot->replot();
    return d->axes[m_which].axis->tickVector();
}

QStringList PlotAxis::tickLabels() const
{
    d->plot->replot();
    return d->axes[m_which].axis->tickVectorLabels();
}

// ---- channels ------------------------------------------------------------------

QString PlotChannel::TitleText() const { return d->channel(m_index).title; }
QString PlotChannel::ShownTitle() const { return d->channel(m_index).shown(); }
QString PlotChannel::Name() const { return d->channel(m_index).name(); }

void PlotChannel::setTitleText(const QString &text)
{
    ChannelState &c = d->channel(m_index);
    c.title = text;
    d->data->setTitle(m_index, text);
    d->channelsChanged();
    d->redrawSoon();
}

int PlotChannel::TraceLineWidth() const { return d->channel(m_index).width; }

void PlotChannel::setTraceLineWidth(int width)
{
    ChannelState &c = d->channel(m_index);
    if (width < 1 || width > MaxTraceWidth)
        invalidValue();
    c.width = width;
    d->redrawSoon();
}

OleColor PlotChannel::Color() const { return d->channel(m_index).color; }

bool PlotChannel::Dashed() const { return d->channel(m_index).dashed; }

void PlotChannel::setColor(OleColor color)
{
    ChannelState &c = d->channel(m_index);
    requireColor(color);
    if (c.color == color)
        return;
    c.color = color;
    d->redrawSoon();
    emit d->q->channelColorChanged(m_index);
}

void PlotChannel::AddXY(double x, double y)
{
    d->channel(m_index);
    if (!std::isfinite(x) || std::isinf(y) || TrendData::isAbsent(y))
        invalidValue();
    d->data->appendPoint(m_index, x, y);
    if (std::isnan(y))
        d->redrawSoon();
    else
        d->dataAppended(m_index, x, y);
}

int PlotChannel::YAxisIndex() const
{
    return d->channel(m_index).valueAxis == AxisY2 ? 1 : 0;
}

void PlotChannel::setYAxisIndex(int index)
{
    ChannelState &c = d->channel(m_index);
    if (index != 0 && index != 1)
        invalidValue();
    const int which = index == 0 ? AxisY : AxisY2;
    if (c.valueAxis == which)
        return;
    c.valueAxis = which;
    d->updateRightAxis();
    // Both value axes now fit a different set of channels.
    if (d->hasData)
        d->valueRangesChanged();
    d->redrawSoon();
}

int PlotChannel::Count() const
{
    d->channel(m_index);
    return int(d->data->stats(m_index).count);
}

double PlotChannel::valueAt(double x) const
{
    return d->valueAt(d->channel(m_index), x);
}

// ---- legend --------------------------------------------------------------------

bool PlotLegend::Visible() const { return d->legend->visible(); }

void PlotLegend::setVisible(bool visible)
{
    d->legend->setVisible(visible);
    d->legendTitle->setVisible(visible);
    d->redrawSoon();
}

OleColor PlotLegend::FontColor() const { return d->legendFontColor; }

void PlotLegend::setFontColor(OleColor color)
{
    requireColor(color);
    d->legendFontColor = color;
    d->styleLegend();
    d->redrawSoon();
}

OleColor PlotLegend::ColumnTitlesFontColor() const { return d->legendTitleColor; }

void PlotLegend::setColumnTitlesFontColor(OleColor color)
{
    requireColor(color);
    d->legendTitleColor = color;
    d->styleLegend();
    d->redrawSoon();
}

bool PlotLegend::ColumnTitlesBold() const { return d->legendTitleBold; }

void PlotLegend::setColumnTitlesBold(bool bold)
{
    d->legendTitleBold = bold;
    d->styleLegend();
    d->redrawSoon();
}
