// Exploring the trend by hand: the view's arithmetic and the plot control's mouse,
// wheel and key handling, and the view operations of the plot control's surface.

#include "plotinteraction.h"

#include "plotcontrol.h"
#include "plotcontrol_p.h"
#include "core/runtimeerror.h"

#include <qcustomplot.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QRubberBand>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {
// One notch of the wheel, or one + or -, narrows the view to this part.
constexpr double ZoomStep = 0.8;
// The arrow keys move the view by this part of it.
constexpr double PanStep = 0.1;
// The fewest samples across the narrowest view.
constexpr double FewestSamples = 10;
// A box smaller than this, in pixels, is a click, not a zoom.
constexpr int SmallestBox = 5;

void requireSpan(double min, double span)
{
    if (!std::isfinite(min) || !std::isfinite(span) || span <= 0)
        throw RuntimeError(RuntimeError::InvalidPropertyValue);
}
} // namespace

namespace plotview {

double zoomedMin(double min, double span, double anchor, double newSpan)
{
    return span > 0 ? anchor - (anchor - min) * (newSpan / span) : min;
}

double clampedMin(double min, double span, double lo, double hi)
{
    if (span >= hi - lo)
        return std::clamp(min, hi - span, lo);
    return std::clamp(min, lo, hi - span);
}

} // namespace plotview

// ---- the view on the control's surface -------------------------------------------

bool PlotControlPrivate::setRange(int which, double min, double span)
{
    fitAxis(which);
    AxisState &a = axes[which];
    if (a.min == min && a.span == span)
        return false;
    a.min = min;
    a.span = span;
    applyRange(which);
    return true;
}

void PlotControlPrivate::setView(int which, double min, double span)
{
    if (!setRange(which, min, span))
        return;
    redrawNow();
    viewChanged();
}

void PlotControlPrivate::viewChanged()
{
    emit q->viewChanged();
}

namespace {
// Fits the value axis to the channels' values over the whole trend, without a
// redraw; true when it changed.
// The value axes that show channels: the left always, the right while a
// channel is on it. Panning and zooming values moves them together.
QList<int> valueAxes(const PlotControlPrivate &d)
{
    for (const ChannelState &c : d.channels) {
        if (c.valueAxis == AxisY2)
            return {AxisY, AxisY2};
    }
    return {AxisY};
}

// Fits each value axis to those of the channels that are on it.
bool fitValues(PlotControlPrivate &d, const QList<int> &channels)
{
    bool changed = false;
    for (const int which : {int(AxisY), int(AxisY2)}) {
        TrendStats values;
        for (int ch : channels) {
            if (d.channel(ch).valueAxis == which)
                values.take(d.data->stats(ch));
        }
        if (values.count == 0)
            continue;
        if (values.max > values.min) {
            changed |= d.setRange(which, values.min, values.max - values.min);
            continue;
        }
        // One value: the axis keeps its span and puts the value in its middle.
        const AxisState &a = d.axes[which];
        const double span = std::max(a.span > 0 ? a.span : 1.0, std::abs(values.min) * 0.01);
        changed |= d.setRange(which, values.min - span / 2, span);
    }
    return changed;
}
} // namespace

double PlotControl::dataXMin() const
{
    d->data->sortByTime();
    return d->data->rowCount() ? d->data->time(0) : 0;
}

double PlotControl::dataXMax() const
{
    d->data->sortByTime();
    return d->data->rowCount() ? d->data->time(d->data->rowCount() - 1) : 0;
}

double PlotControl::minimumXSpan() const
{
    const qsizetype rows = d->data->rowCount();
    const double whole = dataXMax() - dataXMin();
    if (rows < 2 || !(whole > 0))
        return 1.0 / 86400; // a second
    return std::min(whole, whole / double(rows - 1) * FewestSamples);
}

void PlotControl::setXView(double min, double span)
{
    requireSpan(min, span);
    d->setView(AxisX, min, span);
}

void PlotControl::setYView(double min, double span)
{
    requireSpan(min, span);
    d->setView(AxisY, min, span);
}

void PlotControl::showWholeTrend()
{
    const double lo = dataXMin();
    const double hi = dataXMax();
    bool changed = hi > lo && d->setRange(AxisX, lo, hi - lo);
    QList<int> shown;
    for (int ch = 0; ch < ChannelCount(); ++ch) {
        if (d->channels[size_t(ch)].visible)
            shown << ch;
    }
    changed |= fitValues(*d, shown);
    if (changed) {
        d->redrawNow();
        d->viewChanged();
    }
}


void PlotControl::fitValueAxis(const QList<int> &channels)
{
    if (fitValues(*d, channels)) {
        d->redrawNow();
        d->viewChanged();
    }
}

bool PlotControl::channelVisible(int channel) const
{
    return d->channel(channel).visible;
}

void PlotControl::setChannelVisible(int channel, bool visible)
{
    ChannelState &c = d->channel(channel);
    if (c.visible == visible)
        return;
    // A hidden channel's legend entry stays, greyed, so that it can be shown again.
    c.visible = visible;
    QList<int> shown;
    for (int ch = 0; ch < ChannelCount(); ++ch) {
        if (d->channels[size_t(ch)].visible)
            shown << ch;
    }
    const bool refitted = fitValues(*d, shown);
    d->redrawNow();
    if (refitted)
        d->viewChanged();
    emit channelVisibilityChanged(channel, visible);
}

void PlotControl::setSampleText(SampleText source)
{
    d->sampleText = std::move(source);
    d->redrawCursor();
}

QString PlotControl::sampleTimeText(qsizetype sample) const
{
    if (sample < 0 || sample >= d->data->rowCount())
        throw RuntimeError(RuntimeError::SubscriptOutOfRange);
    return d->sampleTimeText(sample);
}

QString PlotControl::sampleValueText(int channel, qsizetype sample) const
{
    d->channel(channel);
    if (sample < 0 || sample >= d->data->rowCount())
        throw RuntimeError(RuntimeError::SubscriptOutOfRange);
    return d->sampleValueText(channel, sample);
}

// ---- the interaction ---------------------------------------------------------------

PlotInteraction::PlotInteraction(PlotControlPrivate *d)
    : QObject(d->q)
    , d(d)
{
    d->q->setFocusPolicy(Qt::StrongFocus);
    d->plot->setMouseTracking(true);
    d->plot->installEventFilter(this);
    d->q->installEventFilter(this);
}

bool PlotInteraction::eventFilter(QObject *watched, QEvent *event)
{
    // Nothing thrown here may reach the event loop.
    try {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            return watched == d->plot && mouse(static_cast<QMouseEvent *>(event));
        case QEvent::Wheel:
            return watched == d->plot && wheel(static_cast<QWheelEvent *>(event));
        case QEvent::KeyPress:
            return watched == d->q && key(static_cast<QKeyEvent *>(event));
        default:
            return false;
        }
    } catch (...) {
        return true;
    }
}

void PlotInteraction::zoomTime(double factor, double anchor)
{
    const AxisState &a = d->axes[AxisX];
    const double lo = d->q->dataXMin();
    const double hi = d->q->dataXMax();
    const double whole = hi > lo ? hi - lo : a.span;
    // A view already wider than the trend (a slider at a negative zoom) may narrow.
    const double widest = std::max(whole, factor < 1 ? a.span : whole);
    const double span = std::clamp(a.span * factor, std::min(d->q->minimumXSpan(), a.span), widest);
    const double min = plotview::zoomedMin(a.min, a.span, anchor, span);
    d->setView(AxisX, hi > lo ? plotview::clampedMin(min, span, lo, hi) : min, span);
}

void PlotInteraction::zoomValues(double factor, double pixelY)
{
    bool changed = false;
    for (const int which : valueAxes(*d)) {
        const AxisState &a = d->axes[which];
        const double span = a.span * factor;
        if (!(span > 0) || !std::isfinite(span))
            continue;
        const double anchor = a.axis->pixelToCoord(pixelY);
        changed |= d->setRange(which, plotview::zoomedMin(a.min, a.span, anchor, span), span);
    }
    if (changed) {
        d->redrawNow();
        d->viewChanged();
    }
}

void PlotInteraction::panTime(double days)
{
    const AxisState &a = d->axes[AxisX];
    const double lo = d->q->dataXMin();
    const double hi = d->q->dataXMax();
    const double min = a.min + days;
    d->setView(AxisX, hi > lo ? plotview::clampedMin(min, a.span, lo, hi) : min, a.span);
}

void PlotInteraction::panValues(double fraction)
{
    bool changed = false;
    for (const int which : valueAxes(*d)) {
        const AxisState &a = d->axes[which];
        changed |= d->setRange(which, a.min + fraction * a.span, a.span);
    }
    if (changed) {
        d->redrawNow();
        d->viewChanged();
    }
}

bool PlotInteraction::legendClick(QPoint at)
{
    const int ch = d->legendEntryAt(at);
    if (ch < 0)
        return false;
    d->q->setChannelVisible(ch, !d->channels[size_t(ch)].visible);
    return true;
}

bool PlotInteraction::mouse(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    const QRect rect = d->plot->axisRect()->rect();
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        if (!rect.contains(at) || event->button() != Qt::LeftButton)
            return false;
        d->q->showWholeTrend();
        return true;
    case QEvent::MouseButtonPress: {
        d->q->setFocus(Qt::MouseFocusReason);
        if (!rect.contains(at))
            return event->button() == Qt::LeftButton && legendClick(at);
        if (d->cursorPress(event))
            return true;
        const bool box = event->button() == Qt::RightButton
                         || (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
        if (box) {
            m_drag = Drag::Box;
            if (!m_band)
                m_band = new QRubberBand(QRubberBand::Rectangle, d->plot);
            m_band->setGeometry(QRect(at, QSize()));
            m_band->show();
        } else if (event->button() == Qt::LeftButton) {
            m_drag = Drag::Pan;
            d->plot->setCursor(Qt::ClosedHandCursor);
        } else {
            return false;
        }
        m_from = at;
        m_fromMin[AxisX] = d->axes[AxisX].min;
        m_fromMin[AxisY] = d->axes[AxisY].min;
        m_fromMin[AxisY2] = d->axes[AxisY2].min;
        return true;
    }
    case QEvent::MouseMove:
        if (m_drag == Drag::Pan) {
            // Measured from the press, so that the data under the pointer follows it.
            const QPoint moved = at - m_from;
            const double daysPerPixel = d->axes[AxisX].span / std::max(1, rect.width());
            const double lo = d->q->dataXMin();
            const double hi = d->q->dataXMax();
            const double span = d->axes[AxisX].span;
            const double min = m_fromMin[AxisX] - moved.x() * daysPerPixel;
            // Both axes move in one redraw.
            bool changed = d->setRange(AxisX, hi > lo ? plotview::clampedMin(min, span, lo, hi) : min, span);
            for (const int which : valueAxes(*d)) {
                const double valuesPerPixel = d->axes[which].span / std::max(1, rect.height());
                changed |= d->setRange(which, m_fromMin[which] + moved.y() * valuesPerPixel, d->axes[which].span);
            }
            if (changed) {
                d->redrawNow();
                d->viewChanged();
            }
            return true;
        }
        if (m_drag == Drag::Box) {
            m_band->setGeometry(QRect(m_from, at).normalized().intersected(rect));
            return true;
        }
        return d->cursorMove(event);
    case QEvent::MouseButtonRelease: {
        const Drag drag = std::exchange(m_drag, Drag::None);
        d->cursorRelease(event);
        if (drag == Drag::Box) {
            m_band->hide();
            boxZoom(m_from, at);
        }
        if (drag == Drag::Pan)
            d->plot->unsetCursor();
        return drag != Drag::None;
    }
    default:
        return false;
    }
}

void PlotInteraction::boxZoom(QPoint from, QPoint to)
{
    const QRect box = QRect(from, to).normalized().intersected(d->plot->axisRect()->rect());
    if (box.width() < SmallestBox || box.height() < SmallestBox)
        return;
    QCPAxis *x = d->axes[AxisX].axis;
    const double x0 = x->pixelToCoord(box.left());
    const double x1 = x->pixelToCoord(box.right());
    const double span = std::max(x1 - x0, d->q->minimumXSpan());
    const double lo = d->q->dataXMin();
    const double hi = d->q->dataXMax();
    const double min = (x0 + x1) / 2 - span / 2;
    // Both axes in one redraw.
    bool changed = d->setRange(AxisX, hi > lo ? plotview::clampedMin(min, span, lo, hi) : min, span);
    for (const int which : valueAxes(*d)) {
        QCPAxis *y = d->axes[which].axis;
        const double y0 = y->pixelToCoord(box.bottom());
        const double y1 = y->pixelToCoord(box.top());
        if (y1 > y0)
            changed |= d->setRange(which, y0, y1 - y0);
    }
    if (changed) {
        d->redrawNow();
        d->viewChanged();
    }
}

bool PlotInteraction::wheel(QWheelEvent *event)
{
    const int notches = event->angleDelta().y();
    if (notches == 0)
        return false;
    const QPointF at = event->position();
    const double factor = std::pow(ZoomStep, notches / 120.0);
    if (event->modifiers() & Qt::ControlModifier)
        zoomValues(factor, at.y());
    else
        zoomTime(factor, d->axes[AxisX].axis->pixelToCoord(at.x()));
    return true;
}

void PlotInteraction::stepCursor(int steps)
{
    if (d->data->rowCount() == 0)
        return;
    const qsizetype from = d->cursor.sample >= 0 ? d->cursor.sample : d->nearestSample(d->cursor.x);
    d->moveCursorTo(from + steps);
    // A step out of the view takes the view along.
    const AxisState &a = d->axes[AxisX];
    if (d->cursor.x < a.min)
        panTime(d->cursor.x - a.min);
    else if (d->cursor.x > a.min + a.span)
        panTime(d->cursor.x - (a.min + a.span));
}

bool PlotInteraction::key(QKeyEvent *event)
{
    const AxisState &x = d->axes[AxisX];
    switch (event->key()) {
    case Qt::Key_Home:
        d->q->showWholeTrend();
        return true;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomTime(ZoomStep, x.min + x.span / 2);
        return true;
    case Qt::Key_Minus:
        zoomTime(1 / ZoomStep, x.min + x.span / 2);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const int direction = event->key() == Qt::Key_Left ? -1 : 1;
        if (d->cursor.visible)
            stepCursor(direction);
        else
            panTime(direction * x.span * PanStep);
        return true;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
        panValues((event->key() == Qt::Key_Up ? 1 : -1) * PanStep);
        return true;
    default:
        return false;
    }
}
