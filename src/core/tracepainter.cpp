#include "tracepainter.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Above this many points a polyline, thin or thick, is slower to stroke than the
// columns are to fill.
constexpr size_t MaxStrokedPoints = 400;

struct Span
{
    int column;
    double top;
    double bottom;
};

void paintPolyline(QPainter &painter, const std::vector<QPointF> &pixels, const QColor &color, int width)
{
    painter.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    size_t start = 0;
    for (size_t i = 0; i <= pixels.size(); ++i) {
        if (i < pixels.size() && !std::isnan(pixels[i].y()))
            continue;
        if (i - start == 1)
            painter.drawPoint(pixels[start]);
        else if (i - start > 1)
            painter.drawPolyline(pixels.data() + start, int(i - start));
        start = i + 1;
    }
}

// The vertical extent of the trace in each pixel column it crosses, one span per
// column and unbroken piece, in the order of the points.
std::vector<Span> columnSpans(const std::vector<QPointF> &pixels, int firstColumn, int lastColumn)
{
    std::vector<Span> spans;
    int column = INT_MIN;
    double top = 0;
    double bottom = 0;
    auto flush = [&] {
        if (column != INT_MIN)
            spans.push_back({column, top, bottom});
        column = INT_MIN;
    };
    auto add = [&](int c, double a, double b) {
        if (c < firstColumn || c > lastColumn)
            return;
        if (c != column) {
            flush();
            column = c;
            top = std::min(a, b);
            bottom = std::max(a, b);
        } else {
            top = std::min({top, a, b});
            bottom = std::max({bottom, a, b});
        }
    };
    for (size_t i = 0; i < pixels.size(); ++i) {
        const QPointF p = pixels[i];
        if (std::isnan(p.y())) {
            flush();
            continue;
        }
        const bool pieceStarts = i == 0 || std::isnan(pixels[i - 1].y());
        const bool pieceEnds = i + 1 == pixels.size() || std::isnan(pixels[i + 1].y());
        if (pieceStarts && pieceEnds) {
            add(int(std::floor(p.x())), p.y(), p.y());
            continue;
        }
        if (pieceEnds)
            continue;
        QPointF a = p;
        QPointF b = pixels[i + 1];
        if (b.x() < a.x())
            std::swap(a, b);
        const int c0 = std::max(firstColumn - 1, int(std::floor(std::max(a.x(), double(INT_MIN / 2)))));
        const int c1 = std::min(lastColumn + 1, int(std::floor(std::min(b.x(), double(INT_MAX / 2)))));
        const double slope = b.x() > a.x() ? (b.y() - a.y()) / (b.x() - a.x()) : 0;
        for (int c = c0; c <= c1; ++c) {
            const double left = std::max(a.x(), double(c));
            const double right = std::min(b.x(), double(c + 1));
            add(c, a.y() + slope * (left - a.x()), a.y() + slope * (right - a.x()));
        }
    }
    flush();
    return spans;
}

} // namespace

void paintTrace(QPainter &painter, const std::vector<QPointF> &pixels, const QColor &color, int width)
{
    if (pixels.size() <= MaxStrokedPoints) {
        paintPolyline(painter, pixels, color, width);
        return;
    }
    const QRect area = painter.hasClipping() ? painter.clipBoundingRect().toAlignedRect()
                                             : QRect(QPoint(0, 0), painter.device() ? QSize(painter.device()->width(), painter.device()->height()) : QSize(1 << 20, 1 << 20));
    const double radius = width / 2.0;
    const int reach = int(std::ceil(radius));
    std::vector<Span> spans = columnSpans(pixels, area.left() - reach, area.right() + reach);
    if (spans.empty())
        return;
    std::stable_sort(spans.begin(), spans.end(), [](const Span &a, const Span &b) { return a.column < b.column; });

    // Each column takes in the spans of the columns within the pen's radius, each
    // widened by the height of the pen's disc at that distance.
    std::vector<std::pair<double, double>> near;
    size_t from = 0;
    for (int x = spans.front().column - reach; x <= spans.back().column + reach; ++x) {
        while (from < spans.size() && spans[from].column < x - reach)
            ++from;
        near.clear();
        for (size_t i = from; i < spans.size() && spans[i].column <= x + reach; ++i) {
            const double dx = std::abs(spans[i].column - x);
            if (dx > radius)
                continue;
            const double h = std::sqrt(radius * radius - dx * dx);
            near.emplace_back(spans[i].top - h, spans[i].bottom + h);
        }
        if (near.empty())
            continue;
        std::sort(near.begin(), near.end());
        double top = near.front().first;
        double bottom = near.front().second;
        auto fill = [&] {
            // The rows whose centres lie inside.
            const int first = int(std::ceil(top - 0.5));
            const int last = int(std::floor(bottom - 0.5));
            painter.fillRect(QRect(x, first, 1, std::max(1, last - first + 1)), color);
        };
        for (size_t i = 1; i < near.size(); ++i) {
            if (near[i].first > bottom + 1) {
                fill();
                top = near[i].first;
            }
            bottom = std::max(bottom, near[i].second);
        }
        fill();
    }
}
