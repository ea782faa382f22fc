#pragma once

#include "outputfile.h"

#include <QImage>
#include <QSize>
#include <QString>

class QPainter;
class TrendData;
struct TrendPicture;

// Draws a picture of a trend without a widget, as the plot control's saved image
// of it looks: background, grid, the traces from the trend data's min/max
// summaries, the time axis below and the value axes beside the data with their
// ticks, labels and titles, and the legend with its title at the right. It needs
// Qt Gui alone (a QImage, an SVG generator or a PDF writer), so it runs under a
// QGuiApplication. The trend data must be in time order (TrendData::sortByTime);
// drawing reads about pixels x channels values of it, whatever its length.
namespace trendrenderer {

// Draws over (0, 0)-(size) on `painter`, which is active. On a vector device
// (SVG, PDF) lines keep their exact places; on a raster one they fall on whole
// pixels as on screen.
void draw(QPainter &painter, QSize size, const TrendPicture &picture, const TrendData &data, bool vector);

// The picture as an image of `size` pixels.
QImage image(QSize size, const TrendPicture &picture, const TrendData &data);

// Writes the picture as an image file of `type`, `size` pixels: JPEG (quality
// 100, progressive), PNG, SVG, or PDF on one page of exactly that size. An
// existing file is replaced only by a complete image. Throws what
// PlotControl::SaveImage throws.
void write(const QString &fileName, outputfile::ImageType type, QSize size, const TrendPicture &picture,
           const TrendData &data);

} // namespace trendrenderer
