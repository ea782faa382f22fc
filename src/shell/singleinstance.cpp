#include "singleinstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSet>
#include <QStandardPaths>
#include <QSysInfo>

#include <cerrno>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {
constexpr int HandOverWaitMs = 3000;

// Lock files this process holds; a lock naming our own process number but not
// among these was left by an earlier program that had the same number.
QSet<QString> &heldHere()
{
    static QSet<QString> paths;
    return paths;
}

bool processRuns(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// The program file of a running process, where the system tells it.
QString programOf(qint64 pid)
{
    return QFileInfo(u"/proc/%1/exe"_s.arg(pid)).symLinkTarget();
}
} // namespace

SingleInstance::SingleInstance(const QString &lockPath)
    : m_path(QFileInfo(lockPath).absoluteFilePath())
    , m_lock(lockPath)
{
    // Only a dead owner makes a lock stale; a long-running viewer keeps it.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (m_lock.isLocked())
        heldHere().remove(m_path);
    m_server.reset();
}

SingleInstance::State SingleInstance::acquire()
{
    if (m_lock.isLocked())
        return State::Acquired;
    // Our own judgement first, so that the lock file's own staleness rules never
    // take the lock from a viewer that runs.
    if (QFileInfo::exists(m_path) && holderIsAlive())
        return State::HeldByLiveCopy;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_lock.tryLock(0)) {
            heldHere().insert(m_path);
            return State::Acquired;
        }
        if (m_lock.error() != QLockFile::LockFailedError)
            break;
        if (holderIsAlive())
            return State::HeldByLiveCopy;
        if (!m_lock.removeStaleLockFile())
            break;
    }
    m_problem = u"cannot use the lock file %1"_s.arg(QDir::toNativeSeparators(m_path));
    return State::Unusable;
}

bool SingleInstance::holderIsAlive() const
{
    qint64 pid = 0;
    QString host, app;
    if (!m_lock.getLockInfo(&pid, &host, &app))
        return false; // unreadable or garbage: no viewer wrote it
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        return true; // a process on another machine cannot be looked at
    if (pid == QCoreApplication::applicationPid())
        return heldHere().contains(m_path);
    if (!processRuns(pid))
        return false;
    const QString holder = programOf(pid);
    const QString self = programOf(QCoreApplication::applicationPid());
    // Where the system does not tell, a running process is given the benefit.
    if (holder.isEmpty() || self.isEmpty())
        return true;
    return QFileInfo(holder).fileName() == QFileInfo(self).fileName();
}

bool SingleInstance::listen(std::function<void(const QString &)> receive)
{
    if (!m_lock.isLocked())
        return false;
    const QString name = socketPath(m_path);
    // We hold the lock: a socket file left there belongs to a dead viewer.
    QLocalServer::removeServer(name);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name)) {
        m_server.reset();
        return false;
    }
    QLocalServer *server = m_server.get();
    QObject::connect(server, &QLocalServer::newConnection, server, [server, receive] {
        while (QLocalSocket *socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, receive] {
                if (!socket->canReadLine())
                    return;
                const QString path = QString::fromUtf8(socket->readLine()).trimmed();
                socket->write("ok\n");
                socket->flush();
                if (!path.isEmpty())
                    receive(path);
            });
        }
    });
    return true;
}

bool SingleInstance::handOver(const QString &lockPath, const QString &logPath)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath(QFileInfo(lockPath).absoluteFilePath()));
    if (!socket.waitForConnected(HandOverWaitMs))
        return false;
    socket.write(QFileInfo(logPath).absoluteFilePath().toUtf8() + '\n');
    if (!socket.waitForBytesWritten(HandOverWaitMs))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(HandOverWaitMs))
            return false;
    }
    return socket.readLine().trimmed() == "ok";
}

QString SingleInstance::defaultLockPath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + u"/krn740-data-viewer.lock"_s;
}

QString SingleInstance::socketPath(const QString &lockPath)
{
    QString path = lockPath;
    if (path.endsWith(u".lock"_s))
        path.chop(5);
    return path + u".socket"_s;
}
