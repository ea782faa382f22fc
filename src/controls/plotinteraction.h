#pragma once

#include <QObject>
#include <QPoint>

class QKeyEvent;
class QMouseEvent;
class QRubberBand;
class QWheelEvent;
struct PlotControlPrivate;

// Arithmetic of a view along one axis: a start `min` and a length `span`.
namespace plotview {
// The start that keeps `anchor` at the same place on screen when the span
// changes from `span` to `newSpan`.
double zoomedMin(double min, double span, double anchor, double newSpan);
// `min` moved as little as needed for [min, min + span] to lie within [lo, hi],
// or, when the span is longer than that, to take all of it in.
double clampedMin(double min, double span, double lo, double hi);
} // namespace plotview

// The plot control's mouse, wheel and key handling: panning and zooming the view
// within the trend, the box zoom, the cursor's drag and steps and the legend's
// clicks. Lives as long as its plot control, watching its widgets.
class PlotInteraction : public QObject
{
public:
    explicit PlotInteraction(PlotControlPrivate *d);

    // Zooms the time axis by `factor` (below 1 narrows) about time `anchor`,
    // keeping the span between the smallest the trend allows and the whole trend.
    void zoomTime(double factor, double anchor);
    // Zooms every value axis in use around the value at the pixel row `pixelY`.
    void zoomValues(double factor, double pixelY);
    // Moves the time view by `days`, never past the ends of the trend.
    void panTime(double days);
    // Moves every value axis in use by a fraction of its span.
    void panValues(double fraction);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool mouse(QMouseEvent *event);
    bool wheel(QWheelEvent *event);
    bool key(QKeyEvent *event);
    bool legendClick(QPoint at);
    void boxZoom(QPoint from, QPoint to);
    void stepCursor(int steps);

    enum class Drag { None, Pan, Box };
    PlotControlPrivate *d;
    Drag m_drag = Drag::None;
    QPoint m_from;
    double m_fromMin[3] = {0, 0, 0}; // per axis: X, left, right
    QRubberBand *m_band = nullptr;
};
