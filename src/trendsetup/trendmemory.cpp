#include "trendmemory.h"

#include "controls/plotcontrol.h"
#include "shell/settingsstore.h"
#include "shell/steps.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace trendmemory {

namespace {

const QString PenSection = u"TrendPens"_s;
const QString LookSection = u"TrendSetup"_s;
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
    SettingsStore::writeText(LookSection, LabelFormatKey, x.DateTimeFormat());
    SettingsStore::writeText(LookSection, BackgroundKey, colorText(plot.BackGroundColor()));
    SettingsStore::writeText(LookSection, XScaleColorKey, colorText(x.ScaleLinesColor()));
    SettingsStore::writeText(LookSection, YScaleColorKey, colorText(y.ScaleLinesColor()));
    SettingsStore::writeText(LookSection, XMinorKey, QString::number(x.MinorCount()));
    SettingsStore::writeText(LookSection, YMinorKey, QString::number(y.MinorCount()));
}

void applyTo(PlotControl &plot)
{
    // A trace is told apart by its colour and whether it is dashed.
    QSet<std::pair<OleColor, bool>> taken;
    QList<int> unkept;
    for (int i = 0; i < plot.ChannelCount(); ++i) {
        PlotChannel channel = plot.Channel(i);
        if (const auto p = pen(channel.TitleText())) {
            channel.setColor(p->color);
            channel.setTraceLineWidth(p->width);
            channel.setYAxisIndex(p->axis);
            taken.insert({p->color, channel.Dashed()});
        } else {
            unkept << i;
        }
    }
    // A kept colour may be the one a new column gets by its place in the
    // selection (Pressure kept in blue, Wind third this time): two traces alike
    // cannot be told apart, so such a column takes the first colour of the
    // plot's own set that no other channel has in its kind of line.
    for (int i : unkept) {
        PlotChannel channel = plot.Channel(i);
        const bool dashed = channel.Dashed();
        if (!taken.contains({channel.Color(), dashed})) {
            taken.insert({channel.Color(), dashed});
            continue;
        }
        for (int k = 0; k < PlotControl::DefaultColorCount; ++k) {
            const OleColor candidate = PlotControl::defaultChannelColor(k);
            if (!taken.contains({candidate, dashed})) {
                channel.setColor(candidate);
                break;
            }
        }
        taken.insert({channel.Color(), dashed});
    }
    PlotAxis x = plot.XAxis(0);
    PlotAxis y = plot.YAxis(0);
    if (const QString format = kept(LabelFormatKey); !format.isEmpty())
        x.setDateTimeFormat(format);
    if (const auto color = colorOf(kept(BackgroundKey)))
        plot.setBackGroundColor(*color);
    // A scale colour is that of the labels too; the Y axis's is the legend's.
    if (const auto color = colorOf(kept(XScaleColorKey))) {
        x.setLabelsFontColor(*color);
        x.setScaleLinesColor(*color);
    }
    PlotAxis right = plot.YAxis(1);
    if (const auto color = colorOf(kept(YScaleColorKey))) {
        for (PlotAxis axis : {y, right}) {
            axis.setLabelsFontColor(*color);
            axis.setScaleLinesColor(*color);
        }
        plot.Legend(0).setFontColor(*color);
    }
    if (const auto count = wholeOf(kept(XMinorKey), 1, 30))
        x.setMinorCount(*count);
    if (const auto count = wholeOf(kept(YMinorKey), 1, 30)) {
        y.setMinorCount(*count);
        right.setMinorCount(*count);
    }
}

void nameValueAxes(PlotControl &plot)
{
    // Past this many characters the rest of the titles are counted, not listed.
    constexpr qsizetype MaxTitle = 48;
    QStringList titles[2];
    for (int i = 0; i < plot.ChannelCount(); ++i)
        titles[plot.Channel(i).YAxisIndex()] << plot.Channel(i).TitleText();
    for (int axis : {0, 1}) {
        const QStringList &names = titles[axis];
        QString text;
        for (qsizetype n = 0; n < names.size(); ++n) {
            const QString next = text.isEmpty() ? names[n] : text + u", "_s + names[n];
            if (n > 0 && next.size() > MaxTitle) {
                text += u" and %1 more"_s.arg(names.size() - n);
                break;
            }
            text = next;
        }
        plot.YAxis(axis).setTitleText(text);
    }
}

} // namespace trendmemory
