#include "logfollower.h"

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// The file's identity: a replacement written beside it and renamed over it has
// another one.
quint64 inodeOf(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        return quint64(st.st_ino);
#else
    Q_UNUSED(path)
#endif
    return 0;
}

} // namespace

LogFollower::LogFollower(QObject *parent) : QObject(parent)
{
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &LogFollower::touched);
}

LogFollower::~LogFollower() = default;

void LogFollower::start(const QString &path, QByteArrayView loaded)
{
    stop();
    m_path = path;
    m_offset = loaded.size();
    m_tail = loaded.last(std::min(loaded.size(), TailBytes)).toByteArray();
    m_bytesRead = 0;
    m_inode = inodeOf(path);
    m_modified = QFileInfo(path).lastModified();
    watch();
    m_timer->start();
}

void LogFollower::stop()
{
    m_path.clear();
    m_pending.clear();
    m_tail.clear();
    m_offset = 0;
    delete m_watcher;
    m_watcher = nullptr;
    m_timer->stop();
}

void LogFollower::watch()
{
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &LogFollower::touched);
    }
    // A file renamed over the watched one ends its watch.
    if (!m_watcher->files().contains(m_path))
        m_watcher->addPath(m_path);
}

LogFollower::Change LogFollower::check()
{
    if (!isActive())
        return Change::None;
    const QFileInfo info(m_path);
    // Not opened unless it is a regular file: a pipe put in its place would block.
    if (!info.exists() || !info.isFile())
        return Change::None; // gone for a moment while the logger swaps it
    watch();
    const qint64 size = info.size();
    const quint64 inode = inodeOf(m_path);
    if (size < m_offset || inode != m_inode)
        return Change::Replaced;
    const QDateTime modified = info.lastModified();
    if (size == m_offset && modified == m_modified)
        return Change::None;
    m_modified = modified;

    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Change::None;
    const qint64 from = m_offset - m_tail.size();
    if (!file.seek(from))
        return Change::None;
    const QByteArray bytes = file.read(size - from);
    m_bytesRead += bytes.size();
    if (bytes.size() < m_tail.size() || !bytes.startsWith(m_tail))
        return Change::Replaced;
    QByteArrayView added = QByteArrayView(bytes).sliced(m_tail.size());
    // NUL bytes are space a logger set aside and has not written yet.
    if (const qsizetype nul = added.indexOf('\0'); nul >= 0)
        added = added.first(nul);
    if (added.isEmpty())
        return Change::None;
    m_pending.append(added);
    m_offset += added.size();
    QByteArray seen = m_tail;
    seen.append(added.last(std::min(added.size(), TailBytes)));
    m_tail = seen.right(TailBytes);
    return Change::Grown;
}

void LogFollower::take(qsizetype bytes)
{
    m_pending.remove(0, std::clamp<qsizetype>(bytes, 0, m_pending.size()));
}
