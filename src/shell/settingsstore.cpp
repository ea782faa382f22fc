#include "settingsstore.h"

#include "sharedstate.h"

#include "core/runtimeerror.h"

#include <QLocale>
#include <QSettings>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

QString groupOf(const QString &section)
{
    return QString(section).replace(u'\\', u'/');
}

QSettings openStore()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, appTitle());
}

} // namespace

namespace SettingsStore {

QString readText(const QString &section, const QString &key, const QString &defaultText)
{
    QSettings store = openStore();
    store.beginGroup(groupOf(section));
    const QVariant value = store.value(key);
    if (!value.isValid())
        return defaultText;
    return value.toString();
}

void writeText(const QString &section, const QString &key, const QString &value)
{
    QSettings store = openStore();
    store.beginGroup(groupOf(section));
    store.setValue(key, value);
    store.endGroup();
    store.sync();
    if (store.status() != QSettings::NoError)
        throw RuntimeError(RuntimeError::PathFileAccess);
}

QString singleToText(float value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    // Seven digits read best; the few values they cannot carry get nine, so a
    // stored number always reads back as itself.
    const QString text = locale.toString(double(value), 'g', 7);
    bool ok = false;
    if (locale.toFloat(text, &ok) == value && ok)
        return text;
    return locale.toString(double(value), 'g', 9);
}

float textToSingle(const QString &text)
{
    bool ok = false;
    const QString trimmed = text.trimmed();
    // Stored numbers carry no group separators: a separator is a decimal mark, so
    // that a store written under another locale still reads back as written.
    QLocale locale;
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    float value = locale.toFloat(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toFloat(trimmed, &ok);
    if (!ok && trimmed.count(u',') == 1 && !trimmed.contains(u'.'))
        value = QLocale::c().toFloat(QString(trimmed).replace(u',', u'.'), &ok);
    if (!ok)
        throw RuntimeError(RuntimeError::TypeMismatch);
    return value;
}

QString fileName()
{
    return openStore().fileName();
}

bool isWritable()
{
    return openStore().isWritable();
}

} // namespace SettingsStore

QString PlacementSetting::key(Edge edge)
{
    switch (edge) {
    case Edge::Left: return u"MainLeft"_s;
    case Edge::Top: return u"MainTop"_s;
    case Edge::Width: return u"MainWidth"_s;
    case Edge::Height: return u"MainHeight"_s;
    }
    return {};
}

float PlacementSetting::defaultValue(Edge edge, QSizeF frameClient) const
{
    switch (edge) {
    case Edge::Left:
        return centredInFrame ? (float(frameClient.width()) - defaultWidth) / 2 : fixedLeft;
    case Edge::Top:
        return centredInFrame ? (float(frameClient.height()) - defaultHeight) / 2 : fixedTop;
    case Edge::Width: return defaultWidth;
    case Edge::Height: return defaultHeight;
    }
    return 0;
}

float PlacementSetting::read(Edge edge, QSizeF frameClient) const
{
    const QString def = SettingsStore::singleToText(defaultValue(edge, frameClient));
    const float value = SettingsStore::textToSingle(SettingsStore::readText(section, key(edge), def));
    if (!std::isfinite(value))
        throw RuntimeError(RuntimeError::TypeMismatch);
    constexpr float Beyond = 1.0e6f;
    return std::clamp(value, -Beyond, Beyond);
}

float PlacementSetting::readOrDefault(Edge edge, QSizeF frameClient) const
{
    try {
        return read(edge, frameClient);
    } catch (const RuntimeError &) {
        return defaultValue(edge, frameClient);
    }
}

void PlacementSetting::write(Edge edge, float value) const
{
    SettingsStore::writeText(section, key(edge), SettingsStore::singleToText(value));
}

const PlacementSetting MainFramePlacement{u"Settings"_s, 6500, 6500, false, 1000, 1000};
const PlacementSetting DataFilePlacement{u"History\\chartNest"_s, 6765, 5295, true};
const PlacementSetting TrendPlacement{u"History\\HistPlot"_s, 8130, 5055, true};

namespace RecentLogs {

namespace {
const QString Section = u"Recent"_s;

QString keyOf(int index) { return u"File"_s + QString::number(index + 1); }

void store(const QStringList &paths)
{
    QSettings settings = openStore();
    settings.beginGroup(Section);
    settings.remove(QString()); // the whole section: a shorter list leaves no stale key
    for (int i = 0; i < paths.size() && i < MaxCount; ++i)
        settings.setValue(keyOf(i), paths.at(i));
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw RuntimeError(RuntimeError::PathFileAccess);
}
} // namespace

QStringList list()
{
    QSettings settings = openStore();
    settings.beginGroup(Section);
    QStringList paths;
    for (int i = 0; i < MaxCount; ++i) {
        const QString path = settings.value(keyOf(i)).toString();
        if (!path.isEmpty() && !paths.contains(path))
            paths.append(path);
    }
    return paths;
}

void add(const QString &path)
{
    QStringList paths = list();
    paths.removeAll(path);
    paths.prepend(path);
    store(paths);
}

void remove(const QString &path)
{
    QStringList paths = list();
    if (paths.removeAll(path) > 0)
        store(paths);
}

} // namespace RecentLogs
