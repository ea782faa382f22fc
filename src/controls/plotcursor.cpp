// The plot control's data cursor: a vertical line on the X axis that the user drags,
// with the time at its top and a value hint on every channel.

#include "plotcontrol.h"

#include "plotcontrol_p.h"

#include "runtimeerror.h"

#include <qcustomplot.h>

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

    cursor.timeLabel = makeLabel(plot);
    cursor.timeLabel->position->setTypeX(QCPItemPosition::ptPlotCoords);
    cursor.timeLabel->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    cursor.timeLabel->setPositionAlignment(Qt::AlignTop | Qt::AlignHCenter);
}

void PlotControlPrivate::createChannelHint(ChannelState &c)
{
    c.marker = new QCPItemTracer(plot);
    c.marker->setLayer(CursorLayer);
    c.marker->setStyle(QCPItemTracer::tsCircle);
    c.marker->setSize(7);
    c.marker->setVisible(false);
    c.label = makeLabel(plot);
    // The label sits a few pixels beside its marker.
    c.label->position->setParentAnchor(c.marker->position);
}

void PlotControlPrivate::removeChannelHint(ChannelState &c)
{
    plot->removeItem(c.label);
    plot->removeItem(c.marker);
    c.label = nullptr;
    c.marker = nullptr;
}

void PlotControlPrivate::updateCursor()
{
    const bool shown = cursor.visible;
    const QColor colour = toQColor(cursor.color);
    cursor.line->setVisible(shown);
    cursor.timeLabel->setVisible(shown);
    if (shown) {
        cursor.line->setPen(QPen(colour, 1));
        cursor.line->point1->setCoords(cursor.x, 0);
        cursor.line->point2->setCoords(cursor.x, 1);
        cursor.timeLabel->position->setCoords(cursor.x, 0);
        cursor.timeLabel->setText(axisValueText(AxisX, cursor.x));
        cursor.timeLabel->setColor(colour);
        cursor.timeLabel->setPen(QPen(colour));
    }
    // Labels turn to the left of the line in the right third of the axis.
    const AxisState &x = axes[AxisX];
    const bool leftOfLine = x.span > 0 && cursor.x > x.min + x.span * 2 / 3;
    for (ChannelState &c : channels) {
        const double value = shown && cursor.hintVisible ? valueAt(c, cursor.x) : std::nan("");
        const bool hint = !std::isnan(value);
        c.marker->setVisible(hint);
        c.label->setVisible(hint);
        if (!hint)
            continue;
        const QColor hintColour = cursor.useChannelColor ? toQColor(c.color) : colour;
        c.marker->position->setCoords(cursor.x, value);
        c.marker->setPen(QPen(hintColour, 1.5));
        c.label->setText(axisValueText(AxisY, value));
        c.label->setColor(hintColour);
        c.label->setPen(QPen(hintColour));
        c.label->setPositionAlignment((leftOfLine ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        c.label->position->setCoords(leftOfLine ? -8 : 8, 0);
    }
}

void PlotControlPrivate::redrawCursor()
{
    updateCursor();
    if (q->isVisible())
        plot->layer(CursorLayer)->replot();
}

void PlotControlPrivate::cursorPress(QMouseEvent *event)
{
    if (!cursor.visible || event->button() != Qt::LeftButton)
        return;
    const QPointF at = event->position();
    const double lineX = axes[AxisX].axis->coordToPixel(cursor.x);
    if (std::abs(at.x() - lineX) <= GrabDistance && plot->axisRect()->rect().contains(at.toPoint()))
        cursor.dragging = true;
}

void PlotControlPrivate::cursorMove(QMouseEvent *event)
{
    const QPointF at = event->position();
    if (cursor.dragging) {
        const QCPRange range = axes[AxisX].axis->range();
        cursor.x = std::clamp(axes[AxisX].axis->pixelToCoord(at.x()), range.lower, range.upper);
        redrawCursor();
        return;
    }
    const bool near = cursor.visible
        && std::abs(at.x() - axes[AxisX].axis->coordToPixel(cursor.x)) <= GrabDistance
        && plot->axisRect()->rect().contains(at.toPoint());
    if (near)
        plot->setCursor(Qt::SizeHorCursor);
    else
        plot->unsetCursor();
}

void PlotControlPrivate::cursorRelease(QMouseEvent *)
{
    cursor.dragging = false;
}

// ---- the public handle ---------------------------------------------------------

bool PlotDataCursor::Visible() const { return d->cursor.visible; }

void PlotDataCursor::setVisible(bool visible)
{
    if (visible && !d->cursor.visible) {
        d->fitAxis(AxisX);
        const double min = d->axes[AxisX].min;
        const double span = d->axes[AxisX].span;
        if (d->cursor.x < min || d->cursor.x > min + span)
            d->cursor.x = min + span / 2;
    }
    d->cursor.visible = visible;
    d->redrawCursor();
}

double PlotDataCursor::Position() const { return d->cursor.x; }

void PlotDataCursor::setPosition(double x)
{
    if (!std::isfinite(x))
        throw RuntimeError(RuntimeError::InvalidPropertyValue);
    d->cursor.x = x;
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
    return d->axisValueText(AxisX, d->cursor.x);
}

QString PlotDataCursor::valueText(int channel) const
{
    const double value = d->valueAt(d->channel(channel), d->cursor.x);
    return std::isnan(value) ? QString() : d->axisValueText(AxisY, value);
}
