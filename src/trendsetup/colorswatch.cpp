#include "colorswatch.h"

#include "core/runtimeerror.h"

ColorSwatch::ColorSwatch(OleColor color, QWidget *parent)
    : QLabel(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAutoFillBackground(true);
    setBackColor(color);
}

void ColorSwatch::setBackColor(OleColor color)
{
    if (color > 0xFFFFFF)
        throw RuntimeError(RuntimeError::InvalidPropertyValue);
    m_color = color;
    QPalette p = palette();
    p.setColor(QPalette::Window, toQColor(color));
    setPalette(p);
}
