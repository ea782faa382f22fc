#include "slider.h"

#include "core/runtimeerror.h"

#include <QPainter>
#include <QRegion>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>

Slider::Slider(Qt::Orientation orientation, QWidget *parent)
    : QSlider(orientation, parent)
{
    setRange(int(MinPosition), int(MaxPosition));
    setSingleStep(1);
    setPageStep(10);
    setTickInterval(20);
    setTickPosition(orientation == Qt::Horizontal ? QSlider::TicksBelow : QSlider::TicksRight);
    setValue(0);
    connect(this, &QSlider::valueChanged, this, &Slider::userMoved);
}

void Slider::setPosition(double position)
{
    if (!std::isfinite(position) || position < MinPosition || position > MaxPosition)
        throw RuntimeError(RuntimeError::InvalidPropertyValue);
    if (position == m_position)
        return;
    m_position = position;
    {
        const QSignalBlocker blocker(this);
        setValue(int(std::lround(position)));
    }
    emit positionChanged(m_position);
}

void Slider::userMoved(int value)
{
    if (double(value) == m_position)
        return;
    m_position = value;
    emit positionChanged(m_position);
}

void Slider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    // The tick position stays in the option: the style lays the groove out beside
    // the ticks' room.
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
    if (tickPosition() == NoTicks || tickInterval() <= 0)
        return;

    // Where the style puts its own ticks: along the handle's travel, at the edge
    // of the slider on the ticks' side, never over the handle.
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const bool horizontal = orientation() == Qt::Horizontal;
    const int length = horizontal ? handle.width() : handle.height();
    const int travel = (horizontal ? width() : height()) - length;
    const int tickSize = std::max(2, style()->pixelMetric(QStyle::PM_SliderTickmarkOffset, &option, this));
    QColor ink = palette().color(QPalette::WindowText);
    ink.setAlphaF(0.6f);
    painter.setPen(QPen(ink, 1));
    painter.setClipRegion(QRegion(rect()).subtracted(handle));
    for (int value = minimum(); value <= maximum(); value += tickInterval()) {
        const int at = QStyle::sliderPositionFromValue(minimum(), maximum(), value, travel, option.upsideDown)
                       + length / 2;
        const int inset = value == minimum() || value == maximum() ? 1 : 2;
        if (horizontal) {
            if (tickPosition() & TicksAbove)
                painter.drawLine(at, inset, at, tickSize);
            if (tickPosition() & TicksBelow)
                painter.drawLine(at, height() - 1 - inset, at, height() - 1 - tickSize);
        } else {
            if (tickPosition() & TicksLeft)
                painter.drawLine(inset, at, tickSize, at);
            if (tickPosition() & TicksRight)
                painter.drawLine(width() - 1 - inset, at, width() - 1 - tickSize, at);
        }
    }
}
