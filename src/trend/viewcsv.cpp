#include "viewcsv.h"

#include "core/channelname.h"
#include "core/duration.h"

#include "core/oledate.h"
#include "controls/outputfile.h"
#include "controls/plotcontrol.h"
#include "core/runtimeerror.h"
#include "core/trenddata.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cmath>

using namespace Qt::StringLiterals;

namespace viewcsv {

namespace {

QString field(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\r') && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(u"\""_s, u"\"\""_s);
    return u'"' + quoted + u'"';
}

// A year as a number, whole years as such and a time within one as the share
// of the year gone (1 July 1958 is 1958.4959), for a log no longer at hand.
QString yearNumber(double oleDate)
{
    const oledate::Fields f = oledate::toFields(oleDate);
    const double start = oledate::fromFields(f.year, 1, 1);
    const double length = f.year < 9999 ? oledate::fromFields(f.year + 1, 1, 1) - start : 365.0;
    const double year = f.year + (oleDate - start) / length;
    return QString::number(std::round(year * 10000) / 10000, 'g', 10);
}

} // namespace

QByteArray text(TrendData &data, const QList<int> &channels, double fromX, double toX)
{
    data.sortByTime();
    const TimeScale scale = data.timeScale();
    QString out = scale == TimeScale::Elapsed ? u"Elapsed"_s : scale == TimeScale::Years ? u"Year"_s : u"Date,Time"_s;
    for (int c : channels)
        out += u',' + field(channelname::name(data.title(c), data.field(c)));
    out += u"\r\n"_s;

    for (qsizetype i = data.lowerBound(fromX); i < data.rowCount() && data.time(i) <= toX; ++i) {
        bool sampled = false;
        for (int c : channels)
            sampled = sampled || !TrendData::isAbsent(data.value(c, i));
        if (!sampled)
            continue; // a row of other channels only
        const int row = data.gridRow(i);
        // A time logged in one column of another form is written in the
        // logger's Date and Time form, which opens here again.
        const bool ownForm = data.timeColumns() > 1;
        const std::optional<QString> date = ownForm ? data.loggedText(0, row) : std::nullopt;
        const std::optional<QString> time = ownForm ? data.loggedText(1, row) : std::nullopt;
        if (scale == TimeScale::Elapsed) {
            out += duration::text(data.time(i), toX - fromX);
        } else if (scale == TimeScale::Years) {
            const std::optional<QString> year = data.loggedText(0, row);
            out += year ? field(*year) : yearNumber(data.time(i));
        } else if (date && time) {
            out += field(*date) + u',' + field(*time);
        } else {
            const oledate::Fields f = oledate::toFields(data.time(i));
            out += QDate(f.year, f.month, f.day).toString(u"M/d/yyyy"_s) + u','
                   + QTime(f.hour, f.minute, f.second).toString(u"h:mm:ss AP"_s);
        }
        for (int c : channels) {
            out += u',';
            const double value = data.value(c, i);
            if (std::isnan(value) && !TrendData::isMarked(value))
                continue; // an empty cell, or no sample of this channel here
            const std::optional<QString> logged = data.loggedText(data.sourceColumn(c), row);
            if (logged)
                out += field(*logged);
            else if (!std::isnan(value))
                out += QString::number(value, 'g', 15);
        }
        out += u"\r\n"_s;
    }
    return out.toUtf8();
}

void save(PlotControl &plot, const QString &fileName)
{
    outputfile::checkWritable(fileName);
    const std::shared_ptr<TrendData> data = plot.trendData();
    QList<int> channels;
    // The channels shown: one hidden from the legend is not in view.
    for (int c = 0; data && c < data->channelCount(); ++c) {
        if (c >= plot.ChannelCount() || plot.channelVisible(c))
            channels.append(c);
    }
    PlotAxis x = plot.XAxis(0);
    const QByteArray bytes = data ? text(*data, channels, x.Min(), x.Max()) : QByteArray("Date,Time\r\n");

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw RuntimeError(RuntimeError::PathFileAccess);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        file.cancelWriting();
        throw RuntimeError(RuntimeError::DeviceIoError);
    }
}

bool isCsvChoice(const QString &fileName, int filterIndex, int csvFilterIndex)
{
    if (QFileInfo(fileName).suffix().compare(u"csv"_s, Qt::CaseInsensitive) == 0)
        return true;
    return !outputfile::imageTypeOfName(fileName) && filterIndex == csvFilterIndex;
}

} // namespace viewcsv
