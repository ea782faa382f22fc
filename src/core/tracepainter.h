#pragma once

#include <QPointF>

#include <vector>

class QColor;
class QPainter;
class QPen;

// Draws a trace given in device pixels; a point with a NaN y breaks the line. A
// trace of few points is a polyline. One of many points is drawn column by column:
// each pixel column's vertical extent, widened by a round pen of `width`, filled.
// That looks like the polyline drawn with round caps and joins but costs about the
// number of columns, whatever the width.
//
// A dashed trace is drawn in dashes of TraceDashOn units with gaps of
// TraceDashOff units, a unit being the pen's width (at least two pixels): along
// the line as a polyline, along the pixel columns otherwise (each dash then ends
// round), at the same cost.
void paintTrace(QPainter &painter, const std::vector<QPointF> &pixels, const QColor &color, int width,
                bool dashed = false);

constexpr int TraceDashOn = 4;
constexpr int TraceDashOff = 3;

// The pen a trace of few points is stroked with (round caps and joins, dashed as
// above); the legend draws a channel's line with it too.
QPen tracePen(const QColor &color, int width, bool dashed);
