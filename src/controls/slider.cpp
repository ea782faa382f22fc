#include "slider.h"

#include "core/runtimeerror.h"

#include <QSignalBlocker>

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
