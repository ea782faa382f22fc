// Draws a trend of 12 channels of 1,000,000 noisy points with missing samples
// through the trend renderer, under a QGuiApplication (no widget), as the export
// draws its image, and prints the medians over 5 runs of: the drawing at
// 1000 x 600 pixels at trace width 1 and at width 3, and the whole writing of a
// PNG, an SVG and a PDF file at that size (drawing, encoding and writing).

#include "benchsupport.h"

#include "controls/trendpicture.h"
#include "controls/trendrenderer.h"
#include "core/trenddata.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

using bench::timed;

namespace {

constexpr int Channels = 12;
constexpr int PointsPerChannel = 1'000'000;
constexpr int Runs = 5;
constexpr QSize Size(1000, 600);

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }

    std::shared_ptr<TrendData> data = bench::noisyTrend(Channels, PointsPerChannel, true);
    // Summarised as a plot run leaves its data.
    for (int ch = 0; ch < Channels; ++ch)
        data->summarize(ch);
    TrendPicture picture = TrendPicture::ofNewTrend(*data);

    const double drawMs = timed(Runs, [&] { trendrenderer::image(Size, picture, *data); });
    for (TrendPicture::Channel &c : picture.channels)
        c.width = 3;
    const double wideDrawMs = timed(Runs, [&] { trendrenderer::image(Size, picture, *data); });
    for (TrendPicture::Channel &c : picture.channels)
        c.width = 1;
    auto writeMs = [&](const QString &name, outputfile::ImageType type) {
        const QString path = dir.filePath(name);
        return timed(Runs, [&] { trendrenderer::write(path, type, Size, picture, *data); });
    };
    const double pngMs = writeMs(u"trend.png"_s, outputfile::ImageType::Png);
    const double svgMs = writeMs(u"trend.svg"_s, outputfile::ImageType::Svg);
    const double pdfMs = writeMs(u"trend.pdf"_s, outputfile::ImageType::Pdf);

    std::printf("render: points=%lld draw_ms=%.1f wide_draw_ms=%.1f png_ms=%.1f svg_ms=%.1f pdf_ms=%.1f\n",
                1LL * Channels * PointsPerChannel, drawMs, wideDrawMs, pngMs, svgMs, pdfMs);
    return 0;
}
