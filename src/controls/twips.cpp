#include "twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace twips {

namespace {
constexpr double TwipsPerInch = 1440.0;

double logicalDpiX()
{
    const QScreen *s = QGuiApplication::primaryScreen();
    return s && s->logicalDotsPerInchX() > 0 ? s->logicalDotsPerInchX() : 96.0;
}

double logicalDpiY()
{
    const QScreen *s = QGuiApplication::primaryScreen();
    return s && s->logicalDotsPerInchY() > 0 ? s->logicalDotsPerInchY() : 96.0;
}
} // namespace

double perPixelX() { return TwipsPerInch / logicalDpiX(); }
double perPixelY() { return TwipsPerInch / logicalDpiY(); }

int toPixelsX(double t) { return int(std::lround(t / perPixelX())); }
int toPixelsY(double t) { return int(std::lround(t / perPixelY())); }
double fromPixelsX(int p) { return p * perPixelX(); }
double fromPixelsY(int p) { return p * perPixelY(); }

QSizeF sizeOf(const QWidget &w)
{
    return {fromPixelsX(w.width()), fromPixelsY(w.height())};
}

QRectF geometryOf(const QWidget &w)
{
    return {fromPixelsX(w.x()), fromPixelsY(w.y()), fromPixelsX(w.width()), fromPixelsY(w.height())};
}

void setLeft(QWidget &w, double value) { w.move(toPixelsX(value), w.y()); }
void setTop(QWidget &w, double value) { w.move(w.x(), toPixelsY(value)); }
void setWidth(QWidget &w, double value) { w.resize(std::max(0, toPixelsX(value)), w.height()); }
void setHeight(QWidget &w, double value) { w.resize(w.width(), std::max(0, toPixelsY(value))); }

} // namespace twips
