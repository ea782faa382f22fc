#include "singleinstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype MaxMessage = 64 * 1024;
constexpr int RequestMs = 5000;       // a connection that has not asked by then is dropped
constexpr int ConnectMs = 3000;
constexpr int AnswerMs = 120000;      // opening a large log takes its time
constexpr int ListenAgainMs = 200;    // after accept() failed, e.g. at the descriptor limit

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// A folder that belongs to this user and that no one else can write to.
bool isPrivateFolder(const struct stat &st)
{
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

QString runtimeFolder()
{
    const QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    struct stat st = {};
    if (dir.isEmpty() || !QDir::isAbsolutePath(dir) || ::lstat(QFile::encodeName(dir).constData(), &st) != 0
        || !isPrivateFolder(st))
        return {};
    return QDir::cleanPath(dir);
}

// "krn740-viewer" in the user's cache folder, made 0700 when it is missing or
// opener than that.
QString cacheFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty() || !QDir().mkpath(cache))
        return {};
    const QString dir = cache + u"/krn740-viewer"_s;
    const QByteArray name = QFile::encodeName(dir);
    ::mkdir(name.constData(), 0700);
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat st = {};
    bool usable = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    if (usable && (st.st_mode & 077) != 0)
        usable = ::fchmod(fd, 0700) == 0;
    ::close(fd);
    return usable ? dir : QString();
}

// The peer of a connected local socket runs as this user.
bool peerIsThisUser(int fd)
{
    struct ucred cred = {};
    socklen_t size = sizeof cred;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) == 0 && cred.uid == ::geteuid();
}

bool socketAddress(const QString &path, sockaddr_un *address)
{
    const QByteArray name = QFile::encodeName(path);
    *address = {};
    address->sun_family = AF_UNIX;
    if (name.isEmpty() || size_t(name.size()) >= sizeof address->sun_path)
        return false;
    std::memcpy(address->sun_path, name.constData(), size_t(name.size()));
    return true;
}

// Opens the lock file as it stands: -1 with errno when it cannot be opened, -2
// when what stands there is no lock file of this user's.
constexpr int NotALock = -2;

int openLockFile(const QByteArray &path, int extraFlags)
{
    // No link is followed and nothing waits: a FIFO or a device opens at once and
    // is then told apart.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | extraFlags, 0600);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR || errno == EEXIST ? -1 : NotALock; // errno kept
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1) {
        ::close(fd);
        return NotALock;
    }
    return fd;
}

// Writes all of `bytes` or gives up at the deadline.
bool sendAll(int fd, QByteArrayView bytes, QDeadlineTimer deadline)
{
    while (!bytes.isEmpty()) {
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, int(deadline.remainingTime())) <= 0)
            return false;
        const ssize_t sent = ::send(fd, bytes.data(), size_t(bytes.size()), MSG_NOSIGNAL);
        if (sent < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        if (sent > 0)
            bytes = bytes.sliced(sent);
    }
    return true;
}

// One line, at most MaxMessage bytes; nothing when the peer closes first or the
// deadline passes.
std::optional<QByteArray> receiveLine(int fd, QDeadlineTimer deadline)
{
    QByteArray line;
    char buffer[4096];
    while (line.size() <= MaxMessage) {
        if (const qsizetype end = line.indexOf('\n'); end >= 0)
            return line.first(end);
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(deadline.remainingTime())) <= 0)
            return std::nullopt;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
            return std::nullopt;
        if (got > 0)
            line.append(buffer, got);
    }
    return std::nullopt;
}

} // namespace

// The listening end of the hand-over: accepts this user's connections only, one
// request line each, and keeps listening whatever a connection or accept() does.
class HandOverServer : public QObject
{
public:
    HandOverServer(int fd, SingleInstance::Receiver receive)
        : m_fd(fd)
        , m_receive(std::move(receive))
        , m_notifier(new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this))
    {
        connect(m_notifier, &QSocketNotifier::activated, this, &HandOverServer::acceptPending);
    }

    ~HandOverServer() override
    {
        delete m_notifier;
        ::close(m_fd);
    }

private:
    void acceptPending()
    {
        for (;;) {
            const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK) {
                    // Out of descriptors or memory: the connection waits in the
                    // queue, and the server tries again shortly instead of spinning.
                    m_notifier->setEnabled(false);
                    QTimer::singleShot(ListenAgainMs, this, [this] { m_notifier->setEnabled(true); });
                }
                return;
            }
            if (!peerIsThisUser(fd)) {
                ::close(fd);
                continue;
            }
            serve(fd);
        }
    }

    void serve(int fd)
    {
        auto *socket = new QLocalSocket(this);
        if (!socket->setSocketDescriptor(qintptr(fd))) {
            ::close(fd);
            delete socket;
            return;
        }
        auto *idle = new QTimer(socket);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, &QLocalSocket::abort);
        idle->start(RequestMs);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket, idle] {
            if (!idle->isActive()) { // asked already; the answer is on its way
                if (socket->bytesAvailable() > MaxMessage)
                    socket->abort();
                return;
            }
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > MaxMessage)
                    socket->abort();
                return;
            }
            idle->stop();
            const QByteArray line = socket->readLine(MaxMessage + 1);
            QString path = QString::fromUtf8(line).trimmed();
            // "as CHOICE<tab>PATH": the shape the later start was told; a path is absolute.
            QString choice;
            if (const qsizetype tab = path.indexOf(u'\t'); path.startsWith(u"as "_s) && tab > 0) {
                choice = path.sliced(3, tab - 3);
                path = path.sliced(tab + 1);
            }
            if (!line.endsWith('\n') || path.isEmpty()) { // longer than a request may be, or empty
                socket->abort();
                return;
            }
            QPointer<QLocalSocket> peer(socket);
            m_receive(path, choice, [peer](const QString &why) {
                if (!peer)
                    return; // the later start gave up waiting
                const QString answer = why.isEmpty() ? u"ok"_s : u"no "_s + why;
                peer->write(answer.simplified().toUtf8().left(MaxMessage - 1) + '\n');
                peer->flush();
                peer->disconnectFromServer();
            });
        });
    }

    int m_fd;
    SingleInstance::Receiver m_receive;
    QSocketNotifier *m_notifier;
};

SingleInstance::SingleInstance(const QString &lockPath)
    : m_path(lockPath.isEmpty() ? QString() : QFileInfo(lockPath).absoluteFilePath())
{
}

SingleInstance::~SingleInstance()
{
    if (m_server) {
        m_server.reset();
        ::unlink(QFile::encodeName(socketPath(m_path)).constData());
    }
    // The file stays: removing it could let a starting viewer lock a file that is
    // already gone while a third one makes a new one.
    if (m_fd >= 0)
        ::close(m_fd);
}

SingleInstance::State SingleInstance::acquire()
{
    if (m_fd >= 0)
        return State::Acquired;
    if (m_path.isEmpty()) {
        m_problem = u"there is no folder of this user's own for the lock file"_s;
        return State::Unusable;
    }
    const QByteArray path = QFile::encodeName(m_path);
    int fd = openLockFile(path, 0);
    int error = errno;
    for (int attempt = 0; fd == NotALock && attempt < 2; ++attempt) {
        // Not a lock of this user's: it goes, and a lock of our own takes its place.
        if (::unlink(path.constData()) != 0 && errno != ENOENT) {
            error = errno;
            break;
        }
        fd = openLockFile(path, O_EXCL);
        if (fd == -1 && errno == EEXIST) // another viewer starting at the same moment
            fd = openLockFile(path, 0);
        error = errno;
    }
    if (fd < 0) {
        const QString why = fd == NotALock ? u"it is not a regular file of this user's"_s : systemError(error);
        m_problem = u"cannot use the lock file %1: %2"_s.arg(QDir::toNativeSeparators(m_path), why);
        return State::Unusable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return State::HeldByLiveCopy;
        m_problem = u"cannot lock the file %1: %2"_s.arg(QDir::toNativeSeparators(m_path), systemError(error));
        return State::Unusable;
    }
    m_fd = fd;
    return State::Acquired;
}

bool SingleInstance::listen(Receiver receive)
{
    if (m_fd < 0)
        return false;
    const QString name = socketPath(m_path);
    sockaddr_un address;
    if (!socketAddress(name, &address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    // We hold the lock: whatever is in the socket's place was left by a dead viewer.
    ::unlink(address.sun_path);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0
        || ::chmod(address.sun_path, 0600) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        return false;
    }
    m_server = std::make_unique<HandOverServer>(fd, std::move(receive));
    return true;
}

QString SingleInstance::handOver(const QString &lockPath, const QString &logPath, const QString &choice)
{
    const QString log = QFileInfo(logPath).absoluteFilePath();
    const QByteArray request = (choice.isEmpty() ? QString() : u"as "_s + choice + u'\t').toUtf8() + log.toUtf8() + '\n';
    if (request.size() > MaxMessage)
        return u"the path of the log is too long to hand over"_s;
    const QString name = socketPath(QFileInfo(lockPath).absoluteFilePath());
    const QString socketName = QDir::toNativeSeparators(name);
    sockaddr_un address;
    if (!socketAddress(name, &address))
        return u"the socket %1 cannot be reached"_s.arg(socketName);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return u"no socket for the hand-over: %1"_s.arg(systemError(errno));
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    // A full queue of a viewer that does not accept is waited for, but not forever.
    const QDeadlineTimer connecting(ConnectMs);
    while (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        const int error = errno;
        if ((error != EAGAIN && error != EINTR) || connecting.hasExpired())
            return u"the viewer that runs does not answer at %1: %2"_s.arg(socketName, systemError(error));
        ::usleep(20000);
    }
    // The path of a log goes to no one but this user.
    if (!peerIsThisUser(fd))
        return u"the socket %1 belongs to another user; the log was not handed over"_s.arg(socketName);
    if (!sendAll(fd, request, QDeadlineTimer(ConnectMs)))
        return u"the viewer that runs did not take the log"_s;
    const std::optional<QByteArray> answer = receiveLine(fd, QDeadlineTimer(AnswerMs));
    if (!answer)
        return u"the viewer that runs gave no answer"_s;
    if (*answer == "ok")
        return {};
    QString why = QString::fromUtf8(*answer).sliced(answer->startsWith("no ") ? 3 : 0).trimmed();
    if (why.isEmpty())
        why = u"no reason given"_s;
    return u"the viewer that runs did not open %1: %2"_s.arg(QDir::toNativeSeparators(log), why);
}

QString SingleInstance::defaultLockPath()
{
    QString dir = runtimeFolder();
    if (dir.isEmpty())
        dir = cacheFolder();
    return dir.isEmpty() ? QString() : dir + u"/krn740-data-viewer.lock"_s;
}

QString SingleInstance::socketPath(const QString &lockPath)
{
    QString path = lockPath;
    if (path.endsWith(u".lock"_s))
        path.chop(5);
    return path + u".socket"_s;
}
