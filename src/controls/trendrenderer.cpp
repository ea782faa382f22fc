#include "trendrenderer.h"

#include "trendpicture.h"

#include "core/autoticks.h"
#include "core/datetimeformat.h"
#include "core/duration.h"
#include "core/runtimeerror.h"
#include "core/tracepainter.h"
#include "core/trenddata.h"
#include "core/yearlabels.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

// The picture is laid out and drawn by the rules the plot control's plotting
// library follows, step for step (the same painter calls in the same order), so
// that both give the same pixels: the tick steps and their trimming, the label
// boxes and where each label sits, the margins of the data area, the split of
// the width between the data and the legend column, and which parts are drawn
// on whole pixels or half a pixel off.
namespace {

using Labels = TrendPicture::Labels;

enum Side { Bottom, Left, Right };

// The plot control's own look.
constexpr int TickLength = 6;
constexpr int MinorTickLength = 3;
// Per side (bottom, left, right): between the data area and the tick labels,
// and between the labels and the title.
constexpr int TickLabelPadding[] = {3, 5, 7};
constexpr int TitlePadding[] = {3, 10, 12};
constexpr int AxisPadding = 5;       // beyond the title
constexpr int MinimumMargin = 15;    // around the data area
constexpr int MinimumPlotArea = 50;
constexpr int Spacing = 5;           // between the data area and the legend column, and its rows
constexpr QMargins ColumnMargins{0, 8, 6, 0};
constexpr QMargins TitleMargins{2, 2, 2, 2};
constexpr QMargins LegendMargins{7, 5, 7, 4};
constexpr int LegendRowSpacing = 3;
constexpr QSize IconSize{20, 10};
constexpr int IconTextPadding = 7;
constexpr double LegendColumnStretch = 0.001;
constexpr int FirstTickCount = 5;
const QColor MajorGridColor(64, 64, 64);
const QColor MinorGridColor(40, 40, 40);
const QColor LegendBorderColor(96, 96, 96);
const QColor HiddenEntryColor(110, 110, 110);
const QString LegendTitle = u"Channel"_s;
constexpr double SecondInDays = 1.0 / 86400.0;

// ---- ticks -----------------------------------------------------------------------

struct Ticks
{
    QList<double> major;
    QList<double> minor;
    QStringList labels;
};

// How a label style writes numbers: format, precision, and whether a power of ten
// is set as a superscript.
struct NumberStyle
{
    char format;
    int precision;
    bool superscript;
};

NumberStyle numberStyle(Labels labels)
{
    switch (labels) {
    case Labels::Fixed: return {'f', 2, false};
    case Labels::Scientific: return {'e', 2, true};
    default: return {'g', 6, true};
    }
}

QLocale labelLocale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

// A step near `exact` with a mantissa of 1, 2, 2.5, 5 or 10.
double readableStep(double exact)
{
    const double magnitude = std::pow(10.0, std::floor(std::log10(exact)));
    const double mantissa = exact / magnitude;
    static constexpr double Candidates[] = {1.0, 2.0, 2.5, 5.0, 10.0};
    const double *it = std::lower_bound(std::begin(Candidates), std::end(Candidates), mantissa);
    if (it == std::end(Candidates))
        return Candidates[4] * magnitude;
    if (it == std::begin(Candidates))
        return *it * magnitude;
    return (mantissa - *(it - 1) < *it - mantissa ? *(it - 1) : *it) * magnitude;
}

// Keeps the ticks inside [lower, upper], and with `keepOneOutside` one more on
// each side.
void trim(double lower, double upper, QList<double> &ticks, bool keepOneOutside)
{
    qsizetype low = -1;
    qsizetype high = -1;
    for (qsizetype i = 0; i < ticks.size() && low < 0; ++i) {
        if (ticks[i] >= lower)
            low = i;
    }
    for (qsizetype i = ticks.size() - 1; i >= 0 && high < 0; --i) {
        if (ticks[i] <= upper)
            high = i;
    }
    if (low < 0 || high < 0) {
        ticks.clear();
        return;
    }
    const qsizetype front = std::max<qsizetype>(0, low - (keepOneOutside ? 1 : 0));
    const qsizetype back = std::max<qsizetype>(0, ticks.size() - (keepOneOutside ? 2 : 1) - high);
    ticks = ticks.mid(front, ticks.size() - front - back);
}

// Whether the plot shows a range at all; it keeps its last one otherwise.
bool showableRange(double lower, double upper)
{
    constexpr double Least = 1e-280;
    constexpr double Most = 1e250;
    const double size = std::abs(upper - lower);
    return lower > -Most && upper < Most && size > Least && size < Most && !(lower > 0 && std::isinf(upper / lower))
           && !(upper < 0 && std::isinf(lower / upper));
}

Ticks numberTicks(double lower, double upper, int count)
{
    Ticks t;
    const double step = readableStep((upper - lower) / (count + 1e-10));
    const auto first = qint64(std::floor(lower / step));
    const auto last = qint64(std::ceil(upper / step));
    const qint64 n = last - first + 1;
    if (!(step > 0) || n <= 0 || n > 10000)
        return t;
    for (qint64 i = 0; i < n; ++i)
        t.major.append(double(first + i) * step);
    return t;
}

// The ticks and labels of one axis over [lower, upper], about `count` of them:
// numbers on readable steps, times on calendar steps labelled in the axis's
// notation (under the automatic format, in the pattern that suits the step),
// durations on duration steps from 0, or years on year (or month) boundaries.
Ticks ticksOf(const TrendPicture::Axis &axis, double lower, double upper, int count)
{
    Ticks t;
    try {
        const bool dateTime = axis.labels == Labels::DateTime;
        QString pattern = axis.dateTimeFormat;
        if (axis.labels == Labels::Duration) {
            const double step = duration::chooseStep(upper - lower, count);
            t.major = duration::ticks(lower - step, upper + step, step);
        } else if (axis.labels == Labels::Years) {
            const datetimeformat::TimeStep step = yearlabels::chooseStep(upper - lower, count);
            t.major = datetimeformat::timeTicks(lower - step.days(), upper + step.days(), step);
        } else if (dateTime) {
            const double span = upper - lower;
            datetimeformat::TimeStep step = datetimeformat::chooseTimeStep(span, count);
            // Room for only two or three labels could leave a single tick: a
            // finer step then, the coarsest that puts two steps in view.
            const int finest = std::max(count, 2) * 3;
            for (int more = count + 1; span / step.days() < 2.0 && more <= finest; ++more)
                step = datetimeformat::chooseTimeStep(span, more);
            if (autoticks::isAutomatic(axis.dateTimeFormat))
                pattern = autoticks::patternFor(step);
            t.major = datetimeformat::timeTicks(lower - step.days(), upper + step.days(), step);
        } else {
            t = numberTicks(lower, upper, count);
        }
        trim(lower, upper, t.major, true);
        if (t.major.size() >= 2 && axis.minorCount > 0) {
            for (qsizetype i = 1; i < t.major.size(); ++i) {
                const double step = (t.major[i] - t.major[i - 1]) / double(axis.minorCount + 1);
                for (int k = 1; k <= axis.minorCount; ++k)
                    t.minor.append(t.major[i - 1] + k * step);
            }
            trim(lower, upper, t.minor, false);
        }
        trim(lower, upper, t.major, false);
        const QLocale locale = labelLocale();
        const NumberStyle style = numberStyle(axis.labels);
        for (double tick : std::as_const(t.major)) {
            if (TrendPicture::followsTimeScale(axis.labels)) {
                t.labels.append(valueText(axis.labels, QString(), tick, upper - lower));
                continue;
            }
            if (!dateTime) {
                t.labels.append(locale.toString(tick, style.format, style.precision));
                continue;
            }
            try {
                t.labels.append(datetimeformat::format(tick, pattern));
            } catch (const RuntimeError &) {
                t.labels.append(QString());
            }
        }
    } catch (...) {
        return {};
    }
    return t;
}

// ---- tick labels -----------------------------------------------------------------

// A tick label split for drawing: a number with a power of ten ("2e+06") is set
// as "2·10" with the power as a superscript.
struct TickLabel
{
    QString base;
    QString power;
    QString rest;
    QFont baseFont;
    QFont powerFont;
    QRect baseBounds;
    QRect powerBounds;
    QRect restBounds;
    QRect bounds; // from (0, 0)
};

TickLabel tickLabel(const QFont &font, const QString &text, bool superscript)
{
    TickLabel label;
    qsizetype e = -1;
    qsizetype eLast = -1;
    if (superscript) {
        // A lower-case e only: a locale that writes E+06 keeps it as written.
        e = text.indexOf(u'e');
        if (e > 0 && text.at(e - 1).isDigit()) {
            eLast = e;
            while (eLast + 1 < text.size()
                   && (text.at(eLast + 1) == u'+' || text.at(eLast + 1) == u'-' || text.at(eLast + 1).isDigit()))
                ++eLast;
        }
    }
    label.baseFont = font;
    // Exact point sizes make the measured boxes waver; the plot measures a
    // twentieth of a point above.
    if (label.baseFont.pointSizeF() > 0)
        label.baseFont.setPointSizeF(label.baseFont.pointSizeF() + 0.05);
    if (eLast > e && e > 0) {
        label.base = text.left(e) + QChar(0xB7) + u"10"_s;
        label.rest = text.mid(eLast + 1);
        label.power = text.mid(e + 1, eLast - e);
        while (label.power.size() > 2 && label.power.at(1) == u'0')
            label.power.remove(1, 1);
        if (label.power.startsWith(u'+'))
            label.power.remove(0, 1);
        label.powerFont = font;
        if (label.powerFont.pointSize() > 0)
            label.powerFont.setPointSize(int(label.powerFont.pointSize() * 0.75));
        else
            label.powerFont.setPixelSize(int(label.powerFont.pixelSize() * 0.75));
        label.baseBounds = QFontMetrics(label.baseFont).boundingRect(0, 0, 0, 0, Qt::TextDontClip, label.base);
        label.powerBounds = QFontMetrics(label.powerFont).boundingRect(0, 0, 0, 0, Qt::TextDontClip, label.power);
        if (!label.rest.isEmpty())
            label.restBounds = QFontMetrics(label.baseFont).boundingRect(0, 0, 0, 0, Qt::TextDontClip, label.rest);
        // A pixel between number and power, and one for the smoothing.
        label.bounds = label.baseBounds.adjusted(0, 0, label.powerBounds.width() + label.restBounds.width() + 2, 0);
    } else {
        label.base = text;
        label.bounds =
            QFontMetrics(label.baseFont).boundingRect(0, 0, 0, 0, Qt::TextDontClip | Qt::AlignHCenter, label.base);
    }
    label.bounds.moveTopLeft(QPoint(0, 0));
    return label;
}

void drawTickLabel(QPainter &painter, QPointF at, const TickLabel &label)
{
    const QTransform transform = painter.transform();
    const QFont font = painter.font();
    painter.translate(at);
    painter.setFont(label.baseFont);
    if (!label.power.isEmpty()) {
        painter.drawText(0, 0, 0, 0, Qt::TextDontClip, label.base);
        if (!label.rest.isEmpty())
            painter.drawText(label.baseBounds.width() + 1 + label.powerBounds.width(), 0, 0, 0, Qt::TextDontClip,
                             label.rest);
        painter.setFont(label.powerFont);
        painter.drawText(label.baseBounds.width() + 1, 0, label.powerBounds.width(), label.powerBounds.height(),
                         Qt::TextDontClip, label.power);
    } else {
        painter.drawText(0, 0, label.bounds.width(), label.bounds.height(), Qt::TextDontClip | Qt::AlignHCenter,
                         label.base);
    }
    painter.setTransform(transform);
    painter.setFont(font);
}

// ---- layout ----------------------------------------------------------------------

// One axis as it is drawn.
struct AxisPlan
{
    const TrendPicture::Axis *axis = nullptr;
    Side side = Bottom;
    bool shown = true;
    bool valid = true; // a range the plot can show
    double lower = 0;
    double upper = 1;
    int tickCount = FirstTickCount;
    QString title; // as drawn, cut short
    Ticks ticks;
};

// The sizes of sections (columns or rows) sharing `total` pixels by their
// stretch factors, none below its least size; when the least sizes do not fit,
// the sections share it in proportion to them.
QList<int> sectionSizes(QList<int> least, QList<double> stretch, int total)
{
    const qsizetype n = stretch.size();
    int leastSum = 0;
    for (int s : std::as_const(least))
        leastSum += s;
    if (total < leastSum) {
        for (qsizetype i = 0; i < n; ++i) {
            stretch[i] = least[i];
            least[i] = 0;
        }
    }
    QList<double> sizes(n, 0.0);
    QList<bool> locked(n, false);
    for (bool again = true; again;) {
        double free = total;
        double stretchSum = 0;
        for (qsizetype i = 0; i < n; ++i) {
            if (locked[i])
                free -= sizes[i];
            else
                stretchSum += stretch[i];
        }
        if (!(stretchSum > 0))
            break;
        const double share = free / stretchSum;
        again = false;
        for (qsizetype i = 0; i < n; ++i) {
            if (locked[i])
                continue;
            sizes[i] = share * stretch[i];
            if (sizes[i] < least[i]) {
                sizes[i] = least[i];
                locked[i] = again = true;
            }
        }
    }
    QList<int> result;
    for (double s : std::as_const(sizes))
        result.append(qRound(s));
    return result;
}

// The legend column's parts, measured once: they do not change with the ticks.
struct LegendSizes
{
    QSize title;
    int width = 0; // of the legend
    int height = 0;
    QList<int> entryHeights;
    int columnWidth = 0; // the least the column takes
};

// Where everything goes.
struct Layout
{
    QRect plot; // the data area
    QRect legendTitle;
    QRect legend;
    QList<QRect> entries; // the first channels', as many as fit
    QRect more;           // the line counting the channels that do not
};

class Renderer
{
public:
    Renderer(const TrendPicture &picture, const TrendData &data, QSize size);
    void draw(QPainter &painter, bool vector);

private:
    void measureLegend();
    void layOut();
    int margin(const AxisPlan &a) const;
    void fitToArea(AxisPlan &a) const;
    double toPixel(const AxisPlan &a, double value) const;

    // Drawing, layer by layer.
    void drawGrid(const AxisPlan &a);
    void drawTraces();
    void drawAxis(const AxisPlan &a);
    void drawTicks(const AxisPlan &a);
    // Returns how far the labels reach from the data area.
    int drawTickLabels(const AxisPlan &a);
    void drawAxisTitle(const AxisPlan &a, int distance);
    void drawLegendTitle();
    void drawLegend();

    // The plot's painter rules: each part is drawn clipped to its box (moved up
    // a pixel), and parts drawn smoothed are shifted by half a pixel on a raster
    // device; unsmoothed lines fall on whole pixels there.
    template<class Paint>
    void part(const QRect &clip, bool smooth, Paint paint)
    {
        m_painter->save();
        m_painter->setClipRect(clip.translated(0, -1));
        const bool was = m_smooth;
        setSmooth(smooth);
        paint();
        m_painter->restore();
        m_smooth = was;
    }
    void setSmooth(bool on);
    void line(const QLineF &line);

    const TrendPicture &m_picture;
    const TrendData &m_data;
    QSize m_size;
    QFont m_titleFont; // the legend's title
    AxisPlan m_axes[3];
    LegendSizes m_legend;
    Layout m_layout;
    QPainter *m_painter = nullptr;
    bool m_vector = false;
    bool m_smooth = false;
};

Renderer::Renderer(const TrendPicture &picture, const TrendData &data, QSize size)
    : m_picture(picture)
    , m_data(data)
    , m_size(size)
    , m_titleFont(picture.font)
{
    m_titleFont.setBold(picture.legendTitleBold);
    m_axes[Bottom].axis = &picture.time;
    m_axes[Left].axis = &picture.left;
    m_axes[Right].axis = &picture.right;
    m_axes[Left].side = Left;
    m_axes[Right].side = Right;
    m_axes[Right].shown = std::any_of(picture.channels.begin(), picture.channels.end(),
                                      [](const TrendPicture::Channel &c) { return c.valueAxis == 1; });
    for (AxisPlan &a : m_axes) {
        const double shown = a.axis->span > 0 ? a.axis->span : (a.side == Bottom ? SecondInDays : 1.0);
        a.lower = a.axis->min;
        a.upper = a.axis->min + shown;
        a.valid = showableRange(a.lower, a.upper);
        a.title = a.axis->title;
    }
    measureLegend();
    // As the plot does before a drawing: ticks counted and titles cut short for
    // the data area of a first layout, then laid out again with them.
    layOut();
    for (AxisPlan &a : m_axes)
        fitToArea(a);
    layOut();
}

void Renderer::measureLegend()
{
    const QFontMetrics metrics(m_picture.font);
    m_legend.title = QFontMetrics(m_titleFont).boundingRect(0, 0, 0, 0, Qt::TextDontClip, LegendTitle).size()
                     + QSize(TitleMargins.left() + TitleMargins.right(), TitleMargins.top() + TitleMargins.bottom());
    int entryWidth = 0;
    m_legend.height = LegendMargins.top() + LegendMargins.bottom();
    for (const TrendPicture::Channel &c : m_picture.channels) {
        const QRect text = metrics.boundingRect(0, 0, 0, IconSize.height(), Qt::TextDontClip, c.shown());
        // The plot measures a title by its advance, which can pass its box.
        entryWidth = std::max(entryWidth, IconSize.width() + IconTextPadding + metrics.horizontalAdvance(c.shown()));
        m_legend.entryHeights.append(std::max(text.height(), IconSize.height()));
        m_legend.height += m_legend.entryHeights.constLast() + (m_legend.entryHeights.size() > 1 ? LegendRowSpacing : 0);
    }
    m_legend.width = entryWidth + LegendMargins.left() + LegendMargins.right();
    m_legend.columnWidth =
        std::max(m_legend.title.width(), m_legend.width) + ColumnMargins.left() + ColumnMargins.right();
}

int Renderer::margin(const AxisPlan &a) const
{
    if (!a.shown)
        return 0;
    int size = 0;
    if (!a.ticks.labels.isEmpty()) {
        QSize largest(0, 0);
        const bool superscript = numberStyle(a.axis->labels).superscript;
        for (const QString &text : a.ticks.labels)
            largest = largest.expandedTo(tickLabel(m_picture.font, text, superscript).bounds.size());
        size += (a.side == Bottom ? largest.height() : largest.width()) + TickLabelPadding[a.side];
    }
    if (!a.title.isEmpty()) {
        size += QFontMetrics(a.axis->titleFont)
                    .boundingRect(0, 0, 0, 0, Qt::TextDontClip | Qt::AlignHCenter | Qt::AlignVCenter, a.title)
                    .height()
                + TitlePadding[a.side];
    }
    return size + AxisPadding;
}

// The data area takes the width the legend column leaves, less the room the
// axes need; the column holds the legend's title, the legend and room below.
void Renderer::layOut()
{
    for (AxisPlan &a : m_axes) {
        if (a.valid)
            a.ticks = ticksOf(*a.axis, a.lower, a.upper, a.tickCount);
    }
    const QMargins margins(std::max(MinimumMargin, margin(m_axes[Left])), MinimumMargin,
                           std::max(MinimumMargin, margin(m_axes[Right])),
                           std::max(MinimumMargin, margin(m_axes[Bottom])));
    const QList<int> columns =
        sectionSizes({MinimumPlotArea + margins.left() + margins.right(), m_legend.columnWidth},
                     {1.0, LegendColumnStretch}, m_size.width() - Spacing);
    m_layout.plot = QRect(0, 0, columns[0], m_size.height()).marginsRemoved(margins);

    const QRect column = QRect(columns[0] + Spacing, 0, columns[1], m_size.height()).marginsRemoved(ColumnMargins);
    // The legend is as long as its entries, or as the column leaves it, a line
    // at least; then its last line counts the entries that do not fit.
    const qsizetype count = m_legend.entryHeights.size();
    const int frame = LegendMargins.top() + LegendMargins.bottom();
    const int room = column.height() - 2 * Spacing - m_legend.title.height();
    const int legendHeight =
        std::min(m_legend.height, std::max(room, frame + (count > 0 ? m_legend.entryHeights.constFirst() : 0)));
    const QList<int> rows = sectionSizes({m_legend.title.height(), legendHeight, 0},
                                         {LegendColumnStretch, LegendColumnStretch, 1.0}, column.height() - 2 * Spacing);
    m_layout.legendTitle = QRect(column.left(), column.top(), column.width(), rows[0]).marginsRemoved(TitleMargins);
    m_layout.legend = QRect(column.left(), column.top() + rows[0] + Spacing, column.width(), rows[1]);
    const QRect entries = m_layout.legend.marginsRemoved(LegendMargins);
    m_layout.entries.clear();
    m_layout.more = QRect();
    if (legendHeight >= m_legend.height) {
        const QList<int> heights = sectionSizes(m_legend.entryHeights, QList<double>(count, 1.0),
                                                entries.height() - LegendRowSpacing * int(std::max<qsizetype>(0, count - 1)));
        int y = entries.top();
        for (int h : heights) {
            m_layout.entries.append(QRect(entries.left(), y, entries.width(), h));
            y += h + LegendRowSpacing;
        }
        return;
    }
    const int line = std::max(QFontMetrics(m_picture.font).height(), IconSize.height());
    const int pitch = line + LegendRowSpacing;
    const int shown = std::max(0, (entries.height() + LegendRowSpacing) / pitch - 1);
    for (int i = 0; i <= shown; ++i) {
        const QRect r(entries.left(), entries.top() + i * pitch, entries.width(), line);
        if (r.bottom() > entries.bottom())
            break;
        if (i < shown)
            m_layout.entries.append(r);
        else
            m_layout.more = r;
    }
}

// As many ticks as labels fit the data area: on the time axis the widest label
// it can show with a gap of four characters, on a value axis one every three
// text lines; 2 to 12. A title too long for its axis is cut short with "...".
void Renderer::fitToArea(AxisPlan &a) const
{
    const QRect &area = m_layout.plot;
    const QFontMetrics metrics(m_picture.font);
    int count = FirstTickCount;
    if (a.side == Bottom) {
        const int length = area.width() > 0 ? area.width() : std::max(100, m_size.width() - 150);
        QString sample = valueText(a.axis->labels, a.axis->dateTimeFormat, a.upper, a.upper - a.lower);
        if (int(a.axis->labels) < int(Labels::DateTime))
            sample = sample.leftJustified(8, u'0'); // a number
        const int labelWidth = metrics.horizontalAdvance(sample) + metrics.averageCharWidth() * 4;
        count = length / std::max(1, labelWidth);
    } else {
        const int length = area.height() > 0 ? area.height() : std::max(100, m_size.height() - 100);
        count = length / (metrics.height() * 3);
    }
    a.tickCount = std::clamp(count, 2, 12);
    const int length = a.side == Bottom ? area.width() : area.height();
    a.title = length > 0 ? QFontMetrics(a.axis->titleFont).elidedText(a.axis->title, Qt::ElideRight, length)
                         : a.axis->title;
}

double Renderer::toPixel(const AxisPlan &a, double value) const
{
    const QRect &r = m_layout.plot;
    const double share = (value - a.lower) / (a.upper - a.lower);
    return a.side == Bottom ? r.left() + share * r.width() : r.bottom() - share * r.height();
}

void Renderer::setSmooth(bool on)
{
    m_painter->setRenderHint(QPainter::Antialiasing, on);
    if (m_smooth != on && !m_vector)
        m_painter->translate(on ? 0.5 : -0.5, on ? 0.5 : -0.5);
    m_smooth = on;
}

void Renderer::line(const QLineF &l)
{
    if (m_smooth || m_vector)
        m_painter->drawLine(l);
    else
        m_painter->drawLine(l.toLine());
}

void Renderer::draw(QPainter &painter, bool vector)
{
    m_painter = &painter;
    m_vector = vector;
    m_smooth = false;
    const QRect all(QPoint(0, 0), m_size);
    painter.save();
    for (const AxisPlan &a : m_axes) {
        if (a.shown)
            part(all, false, [&] { drawGrid(a); });
    }
    if (m_picture.legendVisible)
        part(all, true, [&] { drawLegendTitle(); });
    part(m_layout.plot, false, [&] { drawTraces(); });
    for (const AxisPlan &a : m_axes) {
        if (a.shown)
            part(all, false, [&] { drawAxis(a); });
    }
    if (m_picture.legendVisible)
        drawLegend();
    painter.restore();
    m_painter = nullptr;
}

void Renderer::drawGrid(const AxisPlan &a)
{
    if (!a.axis->majorGrid || !a.valid)
        return;
    const QRect &r = m_layout.plot;
    auto across = [&](double value) {
        const double t = toPixel(a, value);
        return a.side == Bottom ? QLineF(t, r.bottom(), t, r.top()) : QLineF(r.left(), t, r.right(), t);
    };
    if (a.axis->minorGrid) {
        m_painter->setPen(QPen(MinorGridColor, 0, Qt::DotLine));
        for (double value : a.ticks.minor)
            line(across(value));
    }
    m_painter->setPen(QPen(MajorGridColor, 0, Qt::SolidLine));
    for (double value : a.ticks.major)
        line(across(value));
}

void Renderer::drawTraces()
{
    const AxisPlan &x = m_axes[Bottom];
    if (!x.valid)
        return;
    const int columns = std::max(1, m_layout.plot.width());
    std::vector<QPointF> points;
    std::vector<QPointF> pixels;
    for (size_t ch = 0; ch < m_picture.channels.size() && int(ch) < m_data.channelCount(); ++ch) {
        const TrendPicture::Channel &c = m_picture.channels[ch];
        const AxisPlan &y = m_axes[c.valueAxis == 1 ? Right : Left];
        if (!c.visible || !y.valid)
            continue;
        points.clear();
        m_data.trace(int(ch), x.lower, x.upper, columns, points);
        pixels.clear();
        pixels.reserve(points.size());
        for (const QPointF &p : points)
            pixels.emplace_back(toPixel(x, p.x()), std::isnan(p.y()) ? p.y() : toPixel(y, p.y()));
        paintTrace(*m_painter, pixels, toQColor(c.color), c.width, c.dashed);
    }
}

void Renderer::drawAxis(const AxisPlan &a)
{
    drawTicks(a);
    int distance = 0;
    if (!a.ticks.labels.isEmpty())
        distance += TickLabelPadding[a.side] + drawTickLabels(a);
    if (!a.title.isEmpty())
        drawAxisTitle(a, distance + TitlePadding[a.side]);
}

// The axis line when shown, and the ticks pointing into the data area; the
// right axis's a pixel outside it.
void Renderer::drawTicks(const AxisPlan &a)
{
    const QRect &r = m_layout.plot;
    const bool across = a.side == Bottom;
    const QPoint origin = a.side == Right ? r.bottomRight() : r.bottomLeft();
    const double shift = a.side == Right ? 1 : 0;
    const QColor scale = toQColor(a.axis->scaleColor);
    // A hidden line is drawn without a pen, as the plot does.
    const QPen linePen = a.axis->axisLine ? QPen(scale, 0, Qt::SolidLine, Qt::SquareCap) : QPen(Qt::NoPen);
    m_painter->setPen(linePen);
    line(across ? QLineF(origin + QPointF(shift, 0), origin + QPointF(r.width() + shift, 0))
                : QLineF(origin + QPointF(shift, 0), origin + QPointF(shift, -r.height())));
    const int inward = a.side == Left ? 1 : -1;
    auto ticks = [&](const QList<double> &values, int length) {
        for (double value : values) {
            const double t = toPixel(a, value);
            line(across ? QLineF(t + shift, origin.y(), t + shift, origin.y() + length * inward)
                        : QLineF(origin.x() + shift, t, origin.x() + length * inward + shift, t));
        }
    };
    m_painter->setPen(QPen(scale, 0, Qt::SolidLine, Qt::SquareCap));
    ticks(a.ticks.major, TickLength);
    ticks(a.ticks.minor, MinorTickLength);
    // The plot leaves the brush of the axis line's end marks set.
    m_painter->setBrush(linePen.color());
}

int Renderer::drawTickLabels(const AxisPlan &a)
{
    const QRect &r = m_layout.plot;
    const int distance = TickLabelPadding[a.side];
    m_painter->setFont(m_picture.font);
    m_painter->setPen(QPen(toQColor(a.axis->labelsColor)));
    const bool superscript = numberStyle(a.axis->labels).superscript;
    const QRect view(QPoint(0, 0), m_size);
    QSize reach(0, 0);
    for (qsizetype i = 0; i < a.ticks.labels.size() && i < a.ticks.major.size(); ++i) {
        const QString &text = a.ticks.labels[i];
        if (text.isEmpty())
            continue;
        const double t = toPixel(a, a.ticks.major[i]);
        const TickLabel label = tickLabel(m_painter->font(), text, superscript);
        const QSize box = label.bounds.size();
        QPointF at;
        switch (a.side) {
        case Bottom: at = QPointF(t - box.width() / 2.0, r.bottom() + distance); break;
        case Left: at = QPointF(r.left() - distance - box.width(), t - box.height() / 2.0); break;
        case Right: at = QPointF(r.right() + distance, t - box.height() / 2.0); break;
        }
        // A label that would stick out of the picture is left out.
        const bool cut = a.side == Bottom ? at.x() + box.width() > view.right() || at.x() < view.left()
                                          : at.y() + box.height() > view.bottom() || at.y() < view.top();
        if (cut)
            continue;
        drawTickLabel(*m_painter, at, label);
        reach = reach.expandedTo(box);
    }
    return a.side == Bottom ? reach.height() : reach.width();
}

// The title centred along the axis, `distance` from the data area; beside a value
// axis turned to read upwards (left) or downwards (right).
void Renderer::drawAxisTitle(const AxisPlan &a, int distance)
{
    const QRect &r = m_layout.plot;
    m_painter->setFont(a.axis->titleFont);
    m_painter->setPen(QPen(toQColor(a.axis->titleColor)));
    const int height = m_painter->fontMetrics().boundingRect(0, 0, 0, 0, Qt::TextDontClip, a.title).height();
    const int flags = Qt::TextDontClip | Qt::AlignCenter;
    if (a.side == Bottom) {
        m_painter->drawText(r.left(), r.bottom() + distance, r.width(), height, flags, a.title);
        return;
    }
    const QTransform transform = m_painter->transform();
    if (a.side == Left) {
        m_painter->translate(r.left() - distance - height, r.bottom());
        m_painter->rotate(-90);
    } else {
        m_painter->translate(r.right() + distance + height, r.bottom() - r.height());
        m_painter->rotate(90);
    }
    m_painter->drawText(0, 0, r.height(), height, flags, a.title);
    m_painter->setTransform(transform);
}

void Renderer::drawLegendTitle()
{
    m_painter->setFont(m_titleFont);
    m_painter->setPen(QPen(toQColor(m_picture.legendTitleColor)));
    m_painter->drawText(m_layout.legendTitle, Qt::AlignCenter | Qt::TextWordWrap, LegendTitle);
}

void Renderer::drawLegend()
{
    part(QRect(QPoint(0, 0), m_size), false, [&] {
        m_painter->setBrush(Qt::NoBrush);
        m_painter->setPen(QPen(LegendBorderColor, 0));
        m_painter->drawRect(m_layout.legend);
    });
    for (qsizetype i = 0; i < m_layout.entries.size(); ++i) {
        const TrendPicture::Channel &c = m_picture.channels[size_t(i)];
        const QRect entry = m_layout.entries[i];
        part(entry, false, [&] {
            m_painter->setFont(m_picture.font);
            m_painter->setPen(QPen(c.visible ? toQColor(m_picture.legendColor) : HiddenEntryColor));
            const QRect text = m_painter->fontMetrics().boundingRect(0, 0, 0, IconSize.height(), Qt::TextDontClip, c.shown());
            m_painter->drawText(entry.x() + IconSize.width() + IconTextPadding, entry.y(), text.width(),
                                std::max(text.height(), IconSize.height()), Qt::TextDontClip, c.shown());
            // The swatch is centred on the entry's line, its stroke on the row
            // below the middle, reaching the swatch's right edge.
            const QRect icon(entry.topLeft() + QPoint(0, (entry.height() - IconSize.height()) / 2), IconSize);
            m_painter->save();
            m_painter->setClipRect(icon, Qt::IntersectClip);
            m_painter->setPen(tracePen(toQColor(c.color), c.width, c.dashed));
            const double middle = icon.center().y() + 0.5;
            line(QLineF(icon.left(), middle, icon.right() + 1, middle));
            m_painter->restore();
        });
    }
    if (m_layout.more.isValid()) {
        part(m_layout.more, false, [&] {
            m_painter->setFont(m_picture.font);
            m_painter->setPen(QPen(toQColor(m_picture.legendColor)));
            m_painter->drawText(m_layout.more, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
                                u"and %1 more"_s.arg(m_picture.channels.size() - size_t(m_layout.entries.size())));
        });
    }
}

int screenDpi()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen && screen->logicalDotsPerInchX() > 0 ? qRound(screen->logicalDotsPerInchX()) : 96;
}

} // namespace

namespace trendrenderer {

void draw(QPainter &painter, QSize size, const TrendPicture &picture, const TrendData &data, bool vector)
{
    Renderer(picture, data, size).draw(painter, vector);
}

QImage image(QSize size, const TrendPicture &picture, const TrendData &data)
{
    QImage result(size, QImage::Format_RGB32);
    result.fill(toQColor(picture.background));
    QPainter painter(&result);
    draw(painter, size, picture, data, false);
    painter.end();
    return result;
}

void write(const QString &fileName, outputfile::ImageType type, QSize size, const TrendPicture &picture,
           const TrendData &data)
{
    outputfile::checkWritable(fileName);
    if (type == outputfile::ImageType::Jpeg || type == outputfile::ImageType::Png) {
        const bool jpeg = type == outputfile::ImageType::Jpeg;
        const QImage drawn = image(size, picture, data);
        outputfile::writeWhole(fileName, outputfile::encodeImage(drawn, jpeg ? "jpeg" : "png", jpeg ? 100 : -1, jpeg));
        return;
    }
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    std::unique_ptr<QPaintDevice> device = outputfile::vectorImage(type, bytes, size, screenDpi());
    QPainter painter;
    if (!painter.begin(device.get()))
        throw RuntimeError(RuntimeError::DeviceIoError);
    painter.fillRect(QRect(QPoint(0, 0), size), toQColor(picture.background));
    draw(painter, size, picture, data, true);
    painter.end();
    device.reset(); // the PDF writer finishes its file as it goes
    outputfile::writeWhole(fileName, bytes.data());
}

} // namespace trendrenderer
