#include "logfollower.h"

#include "logtable.h"

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include <algorithm>
#include <functional>

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

// Reads the file from its start in slices, while `more` asks for the next one.
void readSlices(const QString &path, const std::function<bool(QByteArrayView)> &more)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return;
    constexpr qint64 Slice = 64 * 1024;
    for (QByteArray bytes = file.read(Slice); !bytes.isEmpty() && more(bytes); bytes = file.read(Slice)) {
    }
}

// Whether the file holds nothing but NUL bytes, the space a logger sets aside.
bool holdsNoText(const QString &path)
{
    bool text = false;
    readSlices(path, [&](QByteArrayView bytes) {
        text = std::any_of(bytes.begin(), bytes.end(), [](char c) { return c != '\0'; });
        return !text;
    });
    return !text;
}

// Whether the file's text holds two whole lines: a header and a row.
bool holdsARow(const QString &path)
{
    int lineEnds = 0;
    bool afterCr = false;
    readSlices(path, [&](QByteArrayView bytes) {
        for (char c : bytes) {
            if (c == '\0')
                continue; // space set aside, or the high byte of a UTF-16 character
            // A CR LF pair ends one line; a CR ends one when anything else follows.
            if (c == '\n' || afterCr)
                ++lineEnds;
            afterCr = c == '\r';
            if (lineEnds >= 2)
                return false;
        }
        return true;
    });
    return lineEnds >= 2;
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
    m_emptied = false;
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
    const QDateTime modified = info.lastModified();
    if (m_emptied) {
        if (size == m_offset && inode == m_inode && modified == m_modified)
            return Change::None;
        m_offset = size;
        m_inode = inode;
        m_modified = modified;
        if (!holdsARow(m_path))
            return Change::None;
        m_emptied = false;
        return Change::Replaced;
    }
    if (size < m_offset || inode != m_inode)
        return replaced(size);
    if (size == m_offset && modified == m_modified)
        return Change::None;
    m_modified = modified;

    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Change::None;
    // A gain may be mostly NUL padding, space a logger set aside: where its text
    // ends is found first (a gain that ends in text costs a look at one byte), and
    // the padding is not read.
    const qint64 end = LogTable::textEnd(file.handle(), m_offset, size, m_bytesRead);
    if (end < 0)
        return Change::None;
    const qint64 from = m_offset - m_tail.size();
    if (!file.seek(from))
        return Change::None;
    const QByteArray bytes = file.read(end - from);
    m_bytesRead += bytes.size();
    if (bytes.size() < m_tail.size() || !bytes.startsWith(m_tail))
        return replaced(size);
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

LogFollower::Change LogFollower::replaced(qint64 size)
{
    if (!holdsNoText(m_path))
        return Change::Replaced;
    m_emptied = true;
    m_pending.clear();
    m_tail.clear();
    m_offset = size;
    m_inode = inodeOf(m_path);
    m_modified = QFileInfo(m_path).lastModified();
    return Change::Emptied;
}

void LogFollower::take(qsizetype bytes)
{
    m_pending.remove(0, std::clamp<qsizetype>(bytes, 0, m_pending.size()));
}
