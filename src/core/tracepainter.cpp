#include "tracepainter.h"

#include <QPainter>
#include <QPen>
#include <QRect>

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

// The length of a dash unit, pixels: the pen's width, but a thin trace's dashes
// are kept long enough to be told from a gap in the data.
int dashUnit(int width)
{
    return std::max(width, 2);
}

// A lone sample (between gaps, or a trend's only one): a dot that can be seen, three
// pixels across for a thin trace, the pen's width for a wider one. A one-pixel pen's
// point on a pixel's edge may light no pixel at all: the dot fills whole pixels.
void paintPoint(QPainter &painter, QPointF p, const QColor &color, int width)
{
    if (width > 2) {
        painter.drawPoint(p);
        return;
    }
    painter.fillRect(QRect(int(std::floor(p.x())) - 1, int(std::floor(p.y())) - 1, 3, 3), color);
}

void paintPolyline(QPainter &painter, const std::vector<QPointF> &pixels, const QColor &color, int width,
                   bool dashed)
{
    painter.setPen(tracePen(color, width, dashed));
    painter.setBrush(Qt::NoBrush);
    size_t start = 0;
    for (size_t i = 0; i <= pixels.size(); ++i) {
        if (i < pixels.size() && !std::isnan(pixels[i].y()))
            continue;
        if (i - start == 1)
            paintPoint(painter, pixels[start], color, width);
        else if (i - start > 1)
            painter.drawPolyline(pixels.data() + start, int(i - start));
        start = i + 1;
    }
}

// The vertical extent of the trace in each pixel column it crosses, one span per
// column and unbroken piece, in the order of the points.
void columnSpans(const std::vector<QPointF> &pixels, int firstColumn, int lastColumn, std::vector<Span> &spans)
{
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
        const int ca = int(std::floor(std::clamp(a.x(), double(INT_MIN / 2), double(INT_MAX / 2))));
        const int cb = int(std::floor(std::clamp(b.x(), double(INT_MIN / 2), double(INT_MAX / 2))));
        if (ca == cb) {
            // Both ends in one column, as most steps of a dense trace are.
            add(ca, a.y(), b.y());
            continue;
        }
        const int c0 = std::max(firstColumn - 1, ca);
        const int c1 = std::min(lastColumn + 1, cb);
        const double slope = b.x() > a.x() ? (b.y() - a.y()) / (b.x() - a.x()) : 0;
        for (int c = c0; c <= c1; ++c) {
            const double left = std::max(a.x(), double(c));
            const double right = std::min(b.x(), double(c + 1));
            add(c, a.y() + slope * (left - a.x()), a.y() + slope * (right - a.x()));
        }
    }
    flush();
}

} // namespace

QPen tracePen(const QColor &color, int width, bool dashed)
{
    QPen pen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    if (dashed) {
        // The pattern counts in pen widths.
        const double unit = double(dashUnit(width)) / std::max(width, 1);
        pen.setDashPattern({TraceDashOn * unit, TraceDashOff * unit});
    }
    return pen;
}

void paintTrace(QPainter &painter, const std::vector<QPointF> &pixels, const QColor &color, int width, bool dashed)
{
    if (pixels.size() <= MaxStrokedPoints) {
        paintPolyline(painter, pixels, color, width, dashed);
        return;
    }
    const QRect area = painter.hasClipping() ? painter.clipBoundingRect().toAlignedRect()
                                             : QRect(QPoint(0, 0), painter.device() ? QSize(painter.device()->width(), painter.device()->height()) : QSize(1 << 20, 1 << 20));
    const double radius = width / 2.0;
    const int reach = int(std::ceil(radius));
    std::vector<Span> spans;
    spans.reserve(pixels.size() / 2);
    columnSpans(pixels, area.left() - reach, area.right() + reach, spans);
    if (dashed) {
        // Whole columns on and off: each dash is then widened like the rest, round
        // at its ends.
        const int on = TraceDashOn * dashUnit(width);
        const int period = on + TraceDashOff * dashUnit(width);
        std::erase_if(spans, [&](const Span &s) { return ((s.column % period) + period) % period >= on; });
    }
    if (spans.empty())
        return;
    const auto byColumn = [](const Span &a, const Span &b) { return a.column < b.column; };
    if (!std::is_sorted(spans.begin(), spans.end(), byColumn))
        std::stable_sort(spans.begin(), spans.end(), byColumn);

    // The height of the pen's disc at each whole distance from its centre.
    std::vector<double> disc;
    for (int dx = 0; dx <= reach && dx <= radius; ++dx)
        disc.push_back(std::sqrt(radius * radius - double(dx) * dx));

    // Each column takes in the spans of the columns within the pen's radius, each
    // widened by the height of the pen's disc at that distance. The columns'
    // pieces are filled in one call.
    std::vector<QRect> rects;
    rects.reserve(spans.size() + spans.size() / 4);
    std::vector<std::pair<double, double>> near;
    const double lowest = area.top() - 2.0;
    const double highest = area.bottom() + 2.0;
    size_t from = 0;
    const int lastX = spans.back().column + reach;
    for (int x = spans.front().column - reach; x <= lastX; ++x) {
        while (from < spans.size() && spans[from].column < x - reach)
            ++from;
        near.clear();
        for (size_t i = from; i < spans.size() && spans[i].column <= x + reach; ++i) {
            const size_t dx = size_t(std::abs(spans[i].column - x));
            if (dx >= disc.size())
                continue;
            near.emplace_back(spans[i].top - disc[dx], spans[i].bottom + disc[dx]);
        }
        if (near.empty())
            continue;
        if (near.size() > 1)
            std::sort(near.begin(), near.end());
        double top = near.front().first;
        double bottom = near.front().second;
        auto fill = [&] {
            // The rows whose centres lie inside, as far as they can be seen.
            const int first = int(std::ceil(std::clamp(top, lowest, highest) - 0.5));
            const int last = int(std::floor(std::clamp(bottom, lowest, highest) - 0.5));
            rects.emplace_back(x, first, 1, std::max(1, last - first + 1));
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
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRects(rects.data(), int(rects.size()));
}
