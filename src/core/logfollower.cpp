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

// Where the file's text ends (0: it holds none, or cannot be read); its bytes up
// to there are read from the start in slices while `more` asks for the next one.
// NUL padding after the text is not read, and a sparse file's hole not looked at.
qint64 readText(const QString &path, qint64 &bytesRead, const std::function<bool(QByteArrayView)> &more = {})
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return 0;
    const qint64 end = std::max<qint64>(0, LogTable::textEnd(file.handle(), 0, file.size(), bytesRead));
    if (!file.seek(0)) // the look for the end moved the file's position
        return end;
    constexpr qint64 Slice = 64 * 1024;
    for (qint64 at = 0; more && at < end;) {
        const QByteArray bytes = file.read(std::min(Slice, end - at));
        bytesRead += bytes.size();
        if (bytes.isEmpty() || !more(bytes))
            break;
        at += bytes.size();
    }
    return end;
}

// Whether the file holds nothing but NUL bytes, the space a logger sets aside.
bool holdsNoText(const QString &path, qint64 &bytesRead) { return readText(path, bytesRead) == 0; }

// Whether the file's text holds two whole lines: a header and a row.
bool holdsARow(const QString &path, qint64 &bytesRead)
{
    int lineEnds = 0;
    bool afterCr = false;
    readText(path, bytesRead, [&](QByteArrayView bytes) {
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

// Where the first byte that is not NUL lies from `from` on; -1: none.
qsizetype notNul(QByteArrayView bytes, qsizetype from)
{
    const auto it = std::find_if(bytes.begin() + from, bytes.end(), [](char c) { return c != '\0'; });
    return it == bytes.end() ? -1 : it - bytes.begin();
}

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

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
    m_emptied = m_more = m_skippedRun = m_inRun = false;
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
    m_more = m_skippedRun = false;
    m_remaining = 0;
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
        if (!holdsARow(m_path, m_bytesRead))
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
    // A large gain is read a piece at a time; the owner looks again soon.
    const qint64 to = std::min(end, m_offset + PieceBytes);
    if (!file.seek(from))
        return Change::None;
    const QByteArray bytes = file.read(to - from);
    m_bytesRead += bytes.size();
    if (bytes.size() < m_tail.size() || !bytes.startsWith(m_tail))
        return replaced(size);
    m_more = to < end && bytes.size() == to - from;
    const QByteArrayView added = QByteArrayView(bytes).sliced(m_tail.size());

    qsizetype at = 0; // bytes of `added` looked at
    bool grown = false;
    if (m_inRun) {
        // The rest of a run of NUL bytes that the last look ended in.
        const qsizetype after = notNul(added, 0);
        m_inRun = after < 0;
        at = m_inRun ? added.size() : after;
    }
    if (!m_inRun) {
        const qsizetype nul = added.indexOf('\0', at);
        const QByteArrayView text = added.sliced(at, (nul < 0 ? added.size() : nul) - at);
        m_pending.append(text);
        at += text.size();
        grown = !text.isEmpty();
        // NUL bytes at the end of what was read are space a logger set aside and
        // has not written yet; with text after them, a power cut left them, and
        // the logger went on after them.
        const qsizetype after = nul < 0 ? -1 : notNul(added, nul);
        if (nul >= 0 && (after >= 0 || m_more)) {
            const char before = !m_pending.isEmpty() ? m_pending.back() : !m_tail.isEmpty() ? m_tail.back() : '\n';
            if (!isLineEnd(before))
                m_pending.append('\n'); // the line it cut short ends there
            at = after >= 0 ? after : added.size();
            m_inRun = after < 0;
            m_skippedRun = true;
            m_more = true; // the text after it comes with the next look
            grown = true;
        }
    }
    if (at == 0)
        return Change::None;
    m_offset += at;
    m_remaining = m_more ? std::max<qint64>(0, end - m_offset) : 0;
    m_tail = QByteArrayView(bytes).first(m_tail.size() + at).last(std::min(m_tail.size() + at, TailBytes)).toByteArray();
    return grown ? Change::Grown : Change::None;
}

LogFollower::Change LogFollower::replaced(qint64 size)
{
    m_more = m_inRun = false;
    if (!holdsNoText(m_path, m_bytesRead))
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
