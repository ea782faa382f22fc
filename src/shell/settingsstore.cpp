#include "settingsstore.h"

#include "settingsfile.h"
#include "sharedstate.h"

#include "core/runtimeerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Where a settings file stands on disk; another value than the one last seen
// means that someone else wrote (or removed) it.
struct FileStamp
{
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    bool operator==(const FileStamp &) const = default;
};

FileStamp stampOf(const QString &path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {true, qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            quint64(st.st_ino), quint64(st.st_dev)};
}

// The file's bytes; nothing for anything but a regular file (a FIFO in its place
// must not hang the start) or one that cannot be read.
QByteArray readRegularFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray bytes;
    struct stat st = {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        QFile file;
        if (file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            bytes = file.readAll();
    }
    ::close(fd);
    return bytes;
}

// A section such as "History\chartNest" is the file's [History] with the key
// "chartNest/MainLeft", as Qt's own INI store has it.
std::pair<QString, QString> placeOf(const QString &section, const QString &key)
{
    const QString group = QString(section).replace(u'\\', u'/');
    const qsizetype slash = group.indexOf(u'/');
    if (slash < 0)
        return {group, key};
    return {group.first(slash), group.sliced(slash + 1) + u'/' + key};
}

// The settings of the run: one file, read when first asked and again only after
// another program changed it; a change reaches the disk once per change set.
class Store
{
public:
    static Store &instance()
    {
        static Store store;
        return store;
    }

    std::optional<QString> read(const QString &section, const QString &key)
    {
        refresh();
        const auto [inFile, keyInFile] = placeOf(section, key);
        return m_file.value(inFile, keyInFile);
    }

    // Applies `edit` now; outside a change set it is written at once.
    void change(std::function<void(SettingsFile &)> edit)
    {
        refresh();
        edit(m_file);
        if (m_openSets > 0) {
            m_edits.append(std::move(edit)); // done again if the file is read again meanwhile
            return;
        }
        commit();
    }

    void beginSet() { ++m_openSets; }

    void endSet()
    {
        if (--m_openSets > 0)
            return;
        try {
            commit();
        } catch (const RuntimeError &) {
            // A set's writes are the kind whose failure is skipped.
        }
    }

private:
    void refresh()
    {
        const QString path = SettingsStore::fileName();
        const FileStamp now = stampOf(path);
        if (m_read && path == m_path && now == m_seen)
            return;
        m_path = path;
        m_seen = now;
        m_read = true;
        m_file = SettingsFile(readRegularFile(path));
        for (const auto &edit : std::as_const(m_edits))
            edit(m_file);
    }

    void commit()
    {
        m_edits.clear();
        if (!m_file.isChanged())
            return;
        if (!writeFile()) {
            m_read = false; // what could not be written is not kept either
            throw RuntimeError(RuntimeError::PathFileAccess);
        }
    }

    bool writeFile()
    {
        const QFileInfo info(m_path);
        if (!QDir().mkpath(info.absolutePath()) || (info.exists() && !info.isFile()))
            return false;
        QByteArray text = m_file.text();
        QSaveFile out(m_path);
        if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit())
            return false;
        m_file.settle(std::move(text));
        m_seen = stampOf(m_path);
        return true;
    }

    QString m_path;
    FileStamp m_seen;
    bool m_read = false;
    SettingsFile m_file;
    int m_openSets = 0;
    QList<std::function<void(SettingsFile &)>> m_edits;
};

} // namespace

namespace SettingsStore {

QString readText(const QString &section, const QString &key, const QString &defaultText)
{
    return Store::instance().read(section, key).value_or(defaultText);
}

void writeText(const QString &section, const QString &key, const QString &value)
{
    const std::pair<QString, QString> place = placeOf(section, key);
    Store::instance().change([place, value](SettingsFile &file) { file.setValue(place.first, place.second, value); });
}

ChangeSet::ChangeSet() { Store::instance().beginSet(); }
ChangeSet::~ChangeSet() { Store::instance().endSet(); }

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
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' + appTitle() + u".ini"_s;
}

bool isWritable()
{
    // What a write does, short of replacing the file: a new file in the folder,
    // which also needs the old one to be a writable file.
    const QFileInfo info(fileName());
    if (!QDir().mkpath(info.absolutePath()) || (info.exists() && !info.isFile()))
        return false;
    QSaveFile probe(info.filePath());
    const bool writable = probe.open(QIODevice::WriteOnly);
    probe.cancelWriting();
    return writable;
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

namespace SettingsSection {
const QString MainFrame = u"Settings"_s;
const QString History = u"History"_s;
const QString Recent = u"Recent"_s;
const QString OpenAs = u"OpenAs"_s;
const QString TrendSetup = u"TrendSetup"_s;
const QString TrendPens = u"TrendPens"_s;

QStringList all() { return {MainFrame, History, Recent, OpenAs, TrendSetup, TrendPens}; }
} // namespace SettingsSection

const PlacementSetting MainFramePlacement{SettingsSection::MainFrame, 6500, 6500, false, 1000, 1000};
const PlacementSetting DataFilePlacement{SettingsSection::History + u"\\chartNest"_s, 6765, 5295, true};
const PlacementSetting TrendPlacement{SettingsSection::History + u"\\HistPlot"_s, 8130, 5055, true};

namespace RecentLogs {

namespace {
const QString &Section = SettingsSection::Recent;

QString keyOf(int index) { return u"File"_s + QString::number(index + 1); }

void store(const QStringList &paths)
{
    if (list() == paths)
        return;
    Store::instance().change([paths](SettingsFile &file) {
        file.removeSection(Section); // the whole section: a shorter list leaves no stale key
        for (int i = 0; i < paths.size() && i < MaxCount; ++i)
            file.setValue(Section, keyOf(i), paths.at(i));
    });
}
} // namespace

QStringList list()
{
    QStringList paths;
    for (int i = 0; i < MaxCount; ++i) {
        const QString path = SettingsStore::readText(Section, keyOf(i), QString());
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

namespace OpenAsChoices {

namespace {
const QString &Section = SettingsSection::OpenAs;

struct Entry
{
    QString path;
    logshape::Shape shape;
};

QList<Entry> entries()
{
    QList<Entry> list;
    for (int i = 1; i <= MaxCount; ++i) {
        const QString path = SettingsStore::readText(Section, u"File"_s + QString::number(i), QString());
        const std::optional<logshape::Shape> shape =
            logshape::Shape::fromText(SettingsStore::readText(Section, u"Shape"_s + QString::number(i), QString()));
        if (!path.isEmpty() && shape && std::none_of(list.begin(), list.end(), [&](const Entry &e) { return e.path == path; }))
            list.append({path, *shape});
    }
    return list;
}
} // namespace

std::optional<logshape::Shape> find(const QString &path)
{
    const QString key = QFileInfo(path).absoluteFilePath();
    for (const Entry &entry : entries())
        if (entry.path == key)
            return entry.shape;
    return std::nullopt;
}

void add(const QString &path, const logshape::Shape &shape)
{
    const QString key = QFileInfo(path).absoluteFilePath();
    QList<Entry> list = entries();
    list.removeIf([&](const Entry &e) { return e.path == key; });
    list.prepend({key, shape});
    Store::instance().change([list](SettingsFile &file) {
        file.removeSection(Section); // the whole section: a broken pair goes with it
        for (int i = 0; i < list.size() && i < MaxCount; ++i) {
            file.setValue(Section, u"File"_s + QString::number(i + 1), list.at(i).path);
            file.setValue(Section, u"Shape"_s + QString::number(i + 1), list.at(i).shape.toText());
        }
    });
}

} // namespace OpenAsChoices
