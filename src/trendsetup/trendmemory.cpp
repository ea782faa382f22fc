#include "trendmemory.h"

#include "controls/plotcontrol.h"
#include "controls/trendpicture.h"
#include "shell/settingsstore.h"
#include "shell/steps.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include <array>

using namespace Qt::StringLiterals;

namespace trendmemory {

namespace {

const QString &PenSection = SettingsSection::TrendPens;
const QString &LookSection = SettingsSection::TrendSetup;
const QString LabelFormatKey = u"LabelFormat"_s;
const QString BackgroundKey = u"Background"_s;
const QString XScaleColorKey = u"XScaleColor"_s;
const QString YScaleColorKey = u"YScaleColor"_s;
const QString XMinorKey = u"XMinorTicks"_s;
const QString YMinorKey = u"YMinorTicks"_s;

// A heading may hold anything, the store's group and key separators too: the key
// is the heading with those and every other special character escaped.
QString keyOf(const QString &heading)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(heading, " ()-_.,"));
}

// Colours as "#rrggbb", which reads the same in any locale.
QString colorText(OleColor color)
{
    return toQColor(color).name();
}

std::optional<OleColor> colorOf(const QString &text)
{
    const QColor color = QColor::fromString(text.trimmed());
    if (!color.isValid() || !text.trimmed().startsWith(u'#'))
        return std::nullopt;
    return fromQColor(color);
}

std::optional<int> wholeOf(const QString &text, int min, int max)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

QString kept(const QString &key)
{
    return SettingsStore::readText(LookSection, key, QString());
}

} // namespace

std::optional<PenMemory> pen(const QString &heading)
{
    if (heading.isEmpty())
        return std::nullopt;
    const QStringList parts = SettingsStore::readText(PenSection, keyOf(heading), QString()).split(u',');
    if (parts.size() != 3)
        return std::nullopt;
    const auto color = colorOf(parts[0]);
    const auto width = wholeOf(parts[1], 1, 20);
    const QString axis = parts[2].trimmed();
    if (!color || !width || (axis != u"left"_s && axis != u"right"_s))
        return std::nullopt;
    return PenMemory{*color, *width, axis == u"right"_s ? 1 : 0};
}

void rememberPen(const QString &heading, const PenMemory &pen)
{
    // A column without a heading cannot be told from the next one without.
    if (heading.isEmpty())
        return;
    SettingsStore::writeText(PenSection, keyOf(heading),
                             colorText(pen.color) + u',' + QString::number(pen.width) + u','
                                 + (pen.axis == 1 ? u"right"_s : u"left"_s));
}

void remember(PlotControl &plot)
{
    SettingsStore::ChangeSet changes; // one write however many channels
    for (int i = 0; i < plot.ChannelCount(); ++i) {
        PlotChannel channel = plot.Channel(i);
        rememberPen(channel.TitleText(), {channel.Color(), channel.TraceLineWidth(), channel.YAxisIndex()});
    }
    PlotAxis x = plot.XAxis(0);
    PlotAxis y = plot.YAxis(0);
    // Durations and years are labelled their own way: the kept format stays
    // for the next trend of dates.
    if (!x.labelsFollowTimeScale())
        SettingsStore::writeText(LookSection, LabelFormatKey, x.DateTimeFormat());
    SettingsStore::writeText(LookSection, BackgroundKey, colorText(plot.BackGroundColor()));
    SettingsStore::writeText(LookSection, XScaleColorKey, colorText(x.ScaleLinesColor()));
    SettingsStore::writeText(LookSection, YScaleColorKey, colorText(y.ScaleLinesColor()));
    SettingsStore::writeText(LookSection, XMinorKey, QString::number(x.MinorCount()));
    SettingsStore::writeText(LookSection, YMinorKey, QString::number(y.MinorCount()));
}

namespace {

// The pens a new trend's channels get, from their titles and their pens as made:
// the kept pen where one is kept. A kept colour may be the one a new column gets
// by its place in the selection (Pressure kept in blue, Wind third this time):
// two traces in one colour cannot be told apart, so such a column takes the first
// colour of the plot's own set that no other channel of its kind of line has.
QList<PenMemory> newTrendPens(const QStringList &titles, QList<PenMemory> pens)
{
    // A trace is told apart by its colour and whether it is dashed; the
    // channels past the default colours come round dashed.
    QSet<std::pair<OleColor, bool>> taken;
    QList<qsizetype> unkept;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        if (const auto p = pen(titles[i])) {
            pens[i] = *p;
            taken.insert({p->color, PlotControl::defaultChannelDashed(int(i))});
        } else {
            unkept << i;
        }
    }
    for (qsizetype i : unkept) {
        const bool dashed = PlotControl::defaultChannelDashed(int(i));
        if (taken.contains({pens[i].color, dashed})) {
            for (int k = 0; k < PlotControl::DefaultColorCount; ++k) {
                const OleColor candidate = PlotControl::defaultChannelColor(k);
                if (!taken.contains({candidate, dashed})) {
                    pens[i].color = candidate;
                    break;
                }
            }
        }
        taken.insert({pens[i].color, dashed});
    }
    return pens;
}

// The look of the whole trend as kept; what is not kept, or cannot be read, is
// left as it is.
struct Look
{
    QString labelFormat;
    std::optional<OleColor> background;
    std::optional<OleColor> xScaleColor; // the time labels' too
    std::optional<OleColor> yScaleColor; // both value axes' labels and the legend's too
    std::optional<int> xMinor;
    std::optional<int> yMinor;
};

Look keptLook()
{
    return {kept(LabelFormatKey),         colorOf(kept(BackgroundKey)),        colorOf(kept(XScaleColorKey)),
            colorOf(kept(YScaleColorKey)), wholeOf(kept(XMinorKey), 1, 30), wholeOf(kept(YMinorKey), 1, 30)};
}

// The value axes' titles from their channels' titles (`axes`: each channel's
// value axis), shortened with a count of the rest when there are many.
std::array<QString, 2> valueAxisNames(const QStringList &titles, const QList<int> &axes)
{
    // Past this many characters the rest of the titles are counted, not listed.
    constexpr qsizetype MaxTitle = 48;
    QStringList listed[2];
    for (qsizetype i = 0; i < titles.size(); ++i)
        listed[axes[i]] << titles[i];
    std::array<QString, 2> names;
    for (int axis : {0, 1}) {
        const QStringList &all = listed[axis];
        QString &text = names[size_t(axis)];
        for (qsizetype n = 0; n < all.size(); ++n) {
            const QString next = text.isEmpty() ? all[n] : text + u", "_s + all[n];
            if (n > 0 && next.size() > MaxTitle) {
                text += u" and %1 more"_s.arg(all.size() - n);
                break;
            }
            text = next;
        }
    }
    return names;
}

} // namespace

void applyTo(PlotControl &plot)
{
    QStringList titles;
    QList<PenMemory> made;
    for (int i = 0; i < plot.ChannelCount(); ++i) {
        PlotChannel channel = plot.Channel(i);
        titles << channel.TitleText();
        made << PenMemory{channel.Color(), channel.TraceLineWidth(), channel.YAxisIndex()};
    }
    const QList<PenMemory> pens = newTrendPens(titles, made);
    for (int i = 0; i < plot.ChannelCount(); ++i) {
        if (pens[i] == made[i])
            continue;
        PlotChannel channel = plot.Channel(i);
        channel.setColor(pens[i].color);
        channel.setTraceLineWidth(pens[i].width);
        channel.setYAxisIndex(pens[i].axis);
    }
    const Look look = keptLook();
    PlotAxis x = plot.XAxis(0);
    PlotAxis y = plot.YAxis(0);
    PlotAxis right = plot.YAxis(1);
    if (!look.labelFormat.isEmpty() && !x.labelsFollowTimeScale())
        x.setDateTimeFormat(look.labelFormat);
    if (look.background)
        plot.setBackGroundColor(*look.background);
    if (look.xScaleColor) {
        x.setLabelsFontColor(*look.xScaleColor);
        x.setScaleLinesColor(*look.xScaleColor);
    }
    if (look.yScaleColor) {
        for (PlotAxis axis : {y, right}) {
            axis.setLabelsFontColor(*look.yScaleColor);
            axis.setScaleLinesColor(*look.yScaleColor);
        }
        plot.Legend(0).setFontColor(*look.yScaleColor);
    }
    if (look.xMinor)
        x.setMinorCount(*look.xMinor);
    if (look.yMinor) {
        y.setMinorCount(*look.yMinor);
        right.setMinorCount(*look.yMinor);
    }
}

void applyTo(TrendPicture &picture)
{
    QStringList titles;
    QList<PenMemory> made;
    for (const TrendPicture::Channel &c : picture.channels) {
        titles << c.title;
        made << PenMemory{c.color, c.width, c.valueAxis};
    }
    const QList<PenMemory> pens = newTrendPens(titles, made);
    for (size_t i = 0; i < picture.channels.size(); ++i) {
        TrendPicture::Channel &c = picture.channels[i];
        c.color = pens[qsizetype(i)].color;
        c.width = pens[qsizetype(i)].width;
        c.valueAxis = pens[qsizetype(i)].axis;
    }
    const Look look = keptLook();
    if (!look.labelFormat.isEmpty() && !TrendPicture::followsTimeScale(picture.time.labels))
        picture.time.dateTimeFormat = look.labelFormat;
    if (look.background)
        picture.background = *look.background;
    if (look.xScaleColor)
        picture.time.labelsColor = picture.time.scaleColor = *look.xScaleColor;
    if (look.yScaleColor) {
        for (TrendPicture::Axis *axis : {&picture.left, &picture.right})
            axis->labelsColor = axis->scaleColor = *look.yScaleColor;
        picture.legendColor = *look.yScaleColor;
    }
    if (look.xMinor)
        picture.time.minorCount = *look.xMinor;
    if (look.yMinor)
        picture.left.minorCount = picture.right.minorCount = *look.yMinor;
}

void nameValueAxes(PlotControl &plot)
{
    QStringList titles;
    QList<int> axes;
    for (int i = 0; i < plot.ChannelCount(); ++i) {
        titles << plot.Channel(i).ShownTitle();
        axes << plot.Channel(i).YAxisIndex();
    }
    const std::array<QString, 2> names = valueAxisNames(titles, axes);
    for (int axis : {0, 1})
        plot.YAxis(axis).setTitleText(names[size_t(axis)]);
}

void nameValueAxes(TrendPicture &picture)
{
    QStringList titles;
    QList<int> axes;
    for (const TrendPicture::Channel &c : picture.channels) {
        titles << c.shown();
        axes << c.valueAxis;
    }
    const std::array<QString, 2> names = valueAxisNames(titles, axes);
    picture.left.title = names[0];
    picture.right.title = names[1];
}

} // namespace trendmemory
