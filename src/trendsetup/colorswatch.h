#pragma once

#include "core/olecolor.h"

#include <QLabel>

// A swatch of the setup dialog: a bordered label whose background is the colour it
// holds.
class ColorSwatch : public QLabel
{
    Q_OBJECT

public:
    explicit ColorSwatch(OleColor color = 0, QWidget *parent = nullptr);

    OleColor BackColor() const { return m_color; }
    // Throws RuntimeError 380 for a value that is not a 24-bit colour.
    void setBackColor(OleColor color);

private:
    OleColor m_color = 0;
};
