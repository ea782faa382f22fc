#pragma once

#include <QSlider>

// The analog slider of the trend window: a position from -100 to 100 read and
// written as a real, arrow keys step 1, page keys 10, a tick every 20. The user
// moves it in whole steps; the program may set any real in the range.
class Slider : public QSlider
{
    Q_OBJECT

public:
    static constexpr double MinPosition = -100;
    static constexpr double MaxPosition = 100;

    explicit Slider(Qt::Orientation orientation, QWidget *parent = nullptr);

    double Position() const { return m_position; }
    // Throws RuntimeError 380 for a value outside the range or not a number.
    void setPosition(double position);

signals:
    // Whenever the position changes, by the user or by the program.
    void positionChanged(double position);

protected:
    // The groove and handle as the style draws them; the ticks in the palette's
    // text colour, which the style's own fixed dark shade is not on a dark desktop.
    void paintEvent(QPaintEvent *event) override;

private:
    void userMoved(int value);

    double m_position = 0;
};
