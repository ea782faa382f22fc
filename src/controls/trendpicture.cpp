#include "trendpicture.h"

#include "plotcontrol.h"

#include "core/autoticks.h"
#include "core/datetimeformat.h"
#include "core/duration.h"
#include "core/runtimeerror.h"
#include "core/trenddata.h"
#include "core/yearlabels.h"

#include <QGuiApplication>
#include <QLocale>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr OleColor White = 0xFFFFFF;
constexpr double Minute = 1.0 / 1440;
// The value axes' span before a plot run fits them.
constexpr double FirstValueSpan = 100;

QFont axisTitleFont()
{
    QFont font(u"Arial"_s);
    font.setBold(true);
    return font;
}

TrendPicture::Axis designedAxis(const QString &title, int minorCount, bool grid)
{
    TrendPicture::Axis axis;
    axis.title = title;
    axis.titleFont = axisTitleFont();
    axis.minorCount = minorCount;
    axis.labelsColor = axis.scaleColor = axis.titleColor = White;
    axis.majorGrid = axis.minorGrid = grid;
    axis.dateTimeFormat = u"hh:nn:ss"_s;
    return axis;
}

// The axis over the values of the channels on it, as a plot run's fit sets it:
// a constant sits in the middle of a span that can still tell its ends apart. An
// axis without values keeps its range.
void fitValues(TrendPicture::Axis &axis, const TrendData &data, const TrendPicture &picture, int index)
{
    TrendStats values;
    for (int ch = 0; ch < data.channelCount(); ++ch) {
        if (picture.channels[size_t(ch)].valueAxis == index)
            values.take(data.stats(ch));
    }
    if (values.count == 0)
        return;
    if (values.max > values.min) {
        axis.min = values.min;
        axis.span = values.max - values.min;
        return;
    }
    axis.span = std::max(FirstValueSpan, std::abs(values.min) * 0.01);
    axis.min = values.min - axis.span / 2;
}

} // namespace

TrendPicture TrendPicture::ofNewTrend(const TrendData &data)
{
    TrendPicture picture;
    picture.font = QGuiApplication::font();

    picture.time = designedAxis(u"Time"_s, 3, true);
    picture.time.labels = timeLabels(data.timeScale());
    picture.time.dateTimeFormat = autoticks::automaticFormat();
    picture.left = designedAxis(u"Y-Axis 1"_s, 1, true);
    picture.right = designedAxis(QString(), 1, false);

    for (int ch = 0; ch < data.channelCount(); ++ch) {
        Channel c;
        c.title = data.title(ch);
        c.unit = data.unit(ch);
        c.field = data.field(ch);
        c.color = PlotControl::defaultChannelColor(ch);
        c.dashed = PlotControl::defaultChannelDashed(ch);
        picture.channels.push_back(c);
    }

    const qsizetype rows = data.rowCount();
    if (rows > 0) {
        const double first = data.time(0);
        const double last = data.time(rows - 1);
        picture.time.min = last > first ? first : first - Minute / 2;
        picture.time.span = last > first ? last - first : Minute;
    }
    for (Axis *axis : {&picture.left, &picture.right}) {
        axis->min = 0;
        axis->span = FirstValueSpan;
    }
    picture.fitValueAxes(data);
    return picture;
}

TrendPicture::Labels TrendPicture::timeLabels(TimeScale scale)
{
    switch (scale) {
    case TimeScale::Elapsed: return Labels::Duration;
    case TimeScale::Years: return Labels::Years;
    case TimeScale::Calendar: break;
    }
    return Labels::DateTime;
}

void TrendPicture::fitValueAxes(const TrendData &data)
{
    fitValues(left, data, *this, 0);
    fitValues(right, data, *this, 1);
}

QString valueText(TrendPicture::Labels labels, const QString &dateTimeFormat, double value, double span)
{
    const QLocale locale;
    switch (labels) {
    case TrendPicture::Labels::Fixed: return locale.toString(value, 'f', 2);
    case TrendPicture::Labels::Scientific: return locale.toString(value, 'e', 2);
    case TrendPicture::Labels::DateTime:
        try {
            return datetimeformat::format(
                value, autoticks::isAutomatic(dateTimeFormat) ? autoticks::fullPattern() : dateTimeFormat, locale);
        } catch (const RuntimeError &) {
            return QString();
        }
    case TrendPicture::Labels::Duration: return duration::text(value, span);
    case TrendPicture::Labels::Years: return yearlabels::text(value, span);
    default: return locale.toString(value, 'g', 6);
    }
}
