#include "writetarget.h"

#include "runtimeerror.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include <map>
#include <optional>

#include <cerrno>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace writetarget {

namespace {

struct Identity
{
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const Identity &, const Identity &) = default;
};

std::optional<Identity> identityOf(const QString &path)
{
    struct stat st{};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return Identity{st.st_dev, st.st_ino};
}

struct Held
{
    QString path;                 // absolute
    std::optional<Identity> file; // the file the path named when it was taken
};

// Logs are held from the interface thread; the lock only keeps a loader on
// another thread from tearing the map.
struct Registry
{
    QMutex mutex;
    std::map<quint64, Held> held;
    quint64 nextKey = 1;
};

Registry &registry()
{
    static Registry r;
    return r;
}

quint64 take(const QString &path)
{
    if (path.isEmpty())
        return 0;
    Held held{QFileInfo(path).absoluteFilePath(), identityOf(path)};
    Registry &r = registry();
    const QMutexLocker lock(&r.mutex);
    const quint64 key = r.nextKey++;
    r.held.emplace(key, std::move(held));
    return key;
}

void release(quint64 key)
{
    if (key == 0)
        return;
    Registry &r = registry();
    const QMutexLocker lock(&r.mutex);
    r.held.erase(key);
}

bool isHeld(const QString &landing, const std::optional<Identity> &target)
{
    Registry &r = registry();
    const QMutexLocker lock(&r.mutex);
    for (const auto &[key, held] : r.held) {
        if (landing == held.path)
            return true;
        // Another name of the same file: a hard link, a link to a folder on
        // the way, or the log moved away since it was loaded.
        if (target && (target == held.file || target == identityOf(held.path)))
            return true;
    }
    return false;
}

QString quoted(const QString &fileName)
{
    return u'"' + QFileInfo(fileName).fileName() + u'"';
}

} // namespace

LogHold::LogHold(const QString &path) : m_key(take(path)) {}

LogHold::LogHold(const LogHold &other) : m_key(take(other.path())) {}

LogHold &LogHold::operator=(const LogHold &other)
{
    if (this != &other) {
        release(m_key);
        m_key = take(other.path());
    }
    return *this;
}

LogHold::~LogHold() { release(m_key); }

QString LogHold::path() const
{
    if (m_key == 0)
        return QString();
    Registry &r = registry();
    const QMutexLocker lock(&r.mutex);
    const auto it = r.held.find(m_key);
    return it == r.held.end() ? QString() : it->second.path;
}

void check(const QString &fileName)
{
    if (fileName.isEmpty())
        return;
    struct stat st{};
    const bool exists = ::stat(QFile::encodeName(fileName).constData(), &st) == 0;
    if (!exists && errno == ENAMETOOLONG)
        throw RuntimeError(RuntimeError::BadFileName, u"the name is too long"_s);
    const std::optional<Identity> target = exists ? std::optional(Identity{st.st_dev, st.st_ino}) : std::nullopt;
    if (isHeld(landingPath(fileName), target))
        throw RuntimeError(RuntimeError::LogBeingViewed, quoted(fileName) + u" is the log being viewed; choose another file."_s);
    if (exists && !S_ISREG(st.st_mode))
        throw RuntimeError(RuntimeError::NotRegularFile, quoted(fileName) + u" is not a regular file."_s);
}

bool isRefusal(int errorNumber)
{
    return errorNumber == RuntimeError::LogBeingViewed || errorNumber == RuntimeError::NotRegularFile;
}

QString landingPath(const QString &fileName)
{
    QFileInfo info(fileName);
    // As many links as the system itself follows before it gives up.
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.absoluteFilePath();
}

} // namespace writetarget
