// The plot control's data cursor: a vertical line on the X axis that the user drags,
// with the time at its top and a value hint on every channel.

#include "plotcontrol.h"

#include "plotcontrol_p.h"
#include "trendpicture.h"

#include "core/runtimeerror.h"

#include <qcustomplot.h>

#include <QLocale>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
// The line is caught within this many pixels.
constexpr double GrabDistance = 6;
// The cursor and its labels are drawn on the library's own buffered top layer, so
// that dragging redraws them alone, not the traces.
const QString CursorLayer = u"overlay"_s;

QCPItemText *makeLabel(QCustomPlot *plot)
{
    auto *label = new QCPItemText(plot);
    label->setLayer(CursorLayer);
    label->setBrush(QBrush(QColor(0, 0, 0, 200)));
    label->setPadding(QMargins(4, 2, 4, 2));
    label->setVisible(false);
    return label;
}
} // namespace

// A small circle on each shown channel's trace where the cursor crosses it, at the
// sample's value. One object draws them all, however many channels there are.
class ValueMarks : public QCPLayerable
{
public:
    ValueMarks(QCustomPlot *plot, const PlotControlPrivate *d)
        : QCPLayerable(plot, CursorLayer)
        , d(d)
    {
    }

protected:
    QRect clipRect() const override { return mParentPlot->axisRect()->rect(); }

    void applyDefaultAntialiasingHint(QCPPainter *painter) const override
    {
        applyAntialiasingHint(painter, mAntialiased, QCP::aeItems);
    }

    void draw(QCPPainter *painter) override
    {
        const CursorState &cursor = d->cursor;
        const qsizetype sample = cursor.sample;
        if (!cursor.visible || !cursor.hintVisible || sample < 0 || sample >= d->data->rowCount())
            return;
        const double x = d->axes[AxisX].axis->coordToPixel(cursor.x);
        painter->setBrush(Qt::NoBrush);
        for (size_t ch = 0; ch < d->channels.size() && int(ch) < d->data->channelCount(); ++ch) {
            const ChannelState &c = d->channels[ch];
            const double value = d->data->value(int(ch), sample);
            if (!c.visible || std::isnan(value))
                continue;
            const double y = d->axes[c.valueAxis].axis->coordToPixel(value);
            painter->setPen(QPen(toQColor(cursor.useChannelColor ? c.color : cursor.color), 1.5));
            painter->drawEllipse(QPointF(x, y), MarkRadius, MarkRadius);
        }
    }

private:
    static constexpr double MarkRadius = 3.5;
    const PlotControlPrivate *d;
};

void PlotControlPrivate::createCursor()
{
    cursor.line = new QCPItemStraightLine(plot);
    cursor.line->setLayer(CursorLayer);
    for (QCPItemPosition *p : {cursor.line->point1, cursor.line->point2}) {
        p->setTypeX(QCPItemPosition::ptPlotCoords);
        p->setTypeY(QCPItemPosition::ptAxisRectRatio);
    }
    cursor.line->setVisible(false);
    // A crisp one-pixel line, not a blurred pair of half-bright columns.
    cursor.line->setAntialiased(false);

    cursor.readout = makeLabel(plot);
    cursor.readout->position->setTypeX(QCPItemPosition::ptPlotCoords);
    cursor.readout->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    cursor.readout->setTextAlignment(Qt::AlignLeft);

    new ValueMarks(plot, this); // owned by the plot
}

qsizetype PlotControlPrivate::nearestSample(double x) const
{
    const qsizetype rows = data->rowCount();
    if (rows == 0)
        return -1;
    const qsizetype after = std::clamp<qsizetype>(data->lowerBound(x), 0, rows - 1);
    if (after > 0 && x - data->time(after - 1) <= data->time(after) - x)
        return after - 1;
    return after;
}

QString PlotControlPrivate::sampleTimeText(qsizetype index) const
{
    // An elapsed time or a year is logged as a bare number; it is written as the
    // time axis shows such times, for the span in view.
    if (const TimeScale scale = data->timeScale(); scale != TimeScale::Calendar) {
        const double span = axes[AxisX].axis->range().size();
        return valueText(TrendPicture::timeLabels(scale), QString(), data->time(index), span);
    }
    const int row = data->gridRow(index);
    if (sampleText && row >= 0) {
        const QString text =
            (sampleText(0, row) + (data->timeColumns() > 1 ? u' ' + sampleText(1, row) : QString())).trimmed();
        if (!text.isEmpty())
            return text;
    }
    return axisValueText(AxisX, data->time(index));
}

QString PlotControlPrivate::sampleValueText(int channel, qsizetype index) const
{
    const double value = data->value(channel, index);
    // An empty cell, or a row the channel was not read in; a mark shows as logged.
    if (std::isnan(value) && !TrendData::isMarked(value))
        return u"-"_s;
    const int row = data->gridRow(index);
    const int column = data->sourceColumn(channel);
    if (sampleText && row >= 0 && column >= 0) {
        const QString text = sampleText(column, row).trimmed();
        if (!text.isEmpty())
            return text;
    }
    return std::isnan(value) ? u"-"_s : QLocale().toString(value, 'g', 15);
}

void PlotControlPrivate::moveCursorTo(qsizetype index)
{
    const qsizetype rows = data->rowCount();
    const qsizetype before = cursor.sample;
    if (rows > 0) {
        data->sortByTime();
        cursor.sample = std::clamp<qsizetype>(index, 0, rows - 1);
        cursor.x = data->time(cursor.sample);
    } else {
        cursor.sample = -1;
    }
    redrawCursor();
    if (cursor.sample != before)
        emit q->cursorSampleChanged(cursor.sample);
}

void PlotControlPrivate::updateCursor()
{
    const bool shown = cursor.visible;
    const QColor colour = toQColor(cursor.color);
    if (cursor.sample >= data->rowCount())
        cursor.sample = -1;
    if (shown && cursor.sample < 0 && data->rowCount() > 0 && data->inTimeOrder())
        cursor.sample = nearestSample(cursor.x);
    const qsizetype sample = cursor.sample;
    cursor.line->setVisible(shown);
    cursor.readout->setVisible(shown);
    // The readout box turns to the left of the line in the right half of the axis.
    const AxisState &x = axes[AxisX];
    const bool leftOfLine = x.span > 0 && cursor.x > x.min + x.span / 2;
    if (shown) {
        cursor.line->setPen(QPen(colour, 1));
        cursor.line->point1->setCoords(cursor.x, 0);
        cursor.line->point2->setCoords(cursor.x, 1);
        QStringList lines;
        lines << (sample >= 0 ? sampleTimeText(sample) : axisValueText(AxisX, cursor.x));
        if (sample >= 0) {
            // Every channel, hidden ones too: the readout is the sample's whole row.
            for (int ch = 0; ch < int(channels.size()); ++ch)
                lines << channels[size_t(ch)].shown() + u": "_s + sampleValueText(ch, sample);
        }
        cursor.readout->setText(lines.join(u'\n'));
        cursor.readout->position->setCoords(cursor.x, 0);
        cursor.readout->setPositionAlignment((leftOfLine ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
        cursor.readout->setColor(colour);
        cursor.readout->setPen(QPen(colour));
    }
}

void PlotControlPrivate::redrawCursor()
{
    updateCursor();
    if (q->isVisible())
        plot->layer(CursorLayer)->replot();
}

bool PlotControlPrivate::cursorPress(QMouseEvent *event)
{
    if (!cursor.visible || event->button() != Qt::LeftButton)
        return false;
    const QPointF at = event->position();
    const double lineX = axes[AxisX].axis->coordToPixel(cursor.x);
    if (std::abs(at.x() - lineX) <= GrabDistance && plot->axisRect()->rect().contains(at.toPoint()))
        cursor.dragging = true;
    return cursor.dragging;
}

bool PlotControlPrivate::cursorMove(QMouseEvent *event)
{
    const QPointF at = event->position();
    if (cursor.dragging) {
        const QCPRange range = axes[AxisX].axis->range();
        const double x = std::clamp(axes[AxisX].axis->pixelToCoord(at.x()), range.lower, range.upper);
        data->sortByTime();
        qsizetype sample = nearestSample(x);
        // The nearest sample may lie just outside the view; the cursor stays in it.
        if (sample >= 0 && data->time(sample) < range.lower && sample + 1 < data->rowCount())
            ++sample;
        else if (sample > 0 && data->time(sample) > range.upper)
            --sample;
        moveCursorTo(sample);
        return true;
    }
    const bool near = cursor.visible
        && std::abs(at.x() - axes[AxisX].axis->coordToPixel(cursor.x)) <= GrabDistance
        && plot->axisRect()->rect().contains(at.toPoint());
    if (near)
        plot->setCursor(Qt::SizeHorCursor);
    else
        plot->unsetCursor();
    return false;
}

void PlotControlPrivate::cursorRelease(QMouseEvent *)
{
    cursor.dragging = false;
}

// ---- the public handle ---------------------------------------------------------

bool PlotDataCursor::Visible() const { return d->cursor.visible; }

void PlotDataCursor::setVisible(bool visible)
{
    const bool changed = visible != d->cursor.visible;
    if (visible && changed) {
        d->fitAxis(AxisX);
        const double min = d->axes[AxisX].min;
        const double span = d->axes[AxisX].span;
        if (d->cursor.x < min || d->cursor.x > min + span)
            d->cursor.x = min + span / 2;
        d->data->sortByTime();
        d->cursor.sample = d->nearestSample(d->cursor.x);
        if (d->cursor.sample >= 0)
            d->cursor.x = d->data->time(d->cursor.sample);
    }
    d->cursor.visible = visible;
    d->redrawCursor();
    if (changed)
        emit d->q->cursorSampleChanged(d->cursor.sample);
}

double PlotDataCursor::Position() const { return d->cursor.x; }

void PlotDataCursor::setPosition(double x)
{
    if (!std::isfinite(x))
        throw RuntimeError(RuntimeError::InvalidPropertyValue);
    d->cursor.x = x;
    d->data->sortByTime();
    if (d->data->rowCount() > 0)
        d->moveCursorTo(d->nearestSample(x));
    else
        d->redrawCursor();
}

OleColor PlotDataCursor::Color() const { return d->cursor.color; }

void PlotDataCursor::setColor(OleColor color)
{
    if (color > 0xFFFFFF)
        throw RuntimeError(RuntimeError::InvalidPropertyValue);
    d->cursor.color = color;
    d->redrawCursor();
}

bool PlotDataCursor::UseChannelColor() const { return d->cursor.useChannelColor; }

void PlotDataCursor::setUseChannelColor(bool on)
{
    d->cursor.useChannelColor = on;
    d->redrawCursor();
}

bool PlotDataCursor::HintVisible() const { return d->cursor.hintVisible; }

void PlotDataCursor::setHintVisible(bool visible)
{
    d->cursor.hintVisible = visible;
    d->redrawCursor();
}

QString PlotDataCursor::timeText() const
{
    d->data->sortByTime();
    const qsizetype sample = d->nearestSample(d->cursor.x);
    return sample >= 0 ? d->sampleTimeText(sample) : d->axisValueText(AxisX, d->cursor.x);
}

QString PlotDataCursor::valueText(int channel) const
{
    d->channel(channel);
    d->data->sortByTime();
    const qsizetype sample = d->nearestSample(d->cursor.x);
    return sample >= 0 ? d->sampleValueText(channel, sample) : u"-"_s;
}

qsizetype PlotDataCursor::sample() const
{
    return d->cursor.visible ? d->cursor.sample : -1;
}

void PlotDataCursor::setSample(qsizetype index)
{
    d->cursor.visible = true;
    d->moveCursorTo(index);
}
