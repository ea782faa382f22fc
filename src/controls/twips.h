#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

class QWidget;

// Window geometry is specified in twips (1440 per inch). These convert at the
// window boundary with the screen's logical DPI, so a 6765-twip window is as wide
// as it was designed to be (451 pixels at 96 DPI).
namespace twips {

double perPixelX();
double perPixelY();

int toPixelsX(double twipsValue);
int toPixelsY(double twipsValue);
double fromPixelsX(int pixels);
double fromPixelsY(int pixels);

QSizeF sizeOf(const QWidget &w);           // the widget's size in twips
QRectF geometryOf(const QWidget &w);       // position in its parent and size, in twips

// Setting one edge or one extent keeps the other three as they are.
void setLeft(QWidget &w, double value);
void setTop(QWidget &w, double value);
void setWidth(QWidget &w, double value);
void setHeight(QWidget &w, double value);

} // namespace twips
