#pragma once

#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

// Tells whether another viewer runs for this user, through a lock file held for
// the life of the program, and carries a log named at a later start over to the
// viewer that runs (a local socket beside the lock).
//
// Only a lock whose process still runs this program counts: a lock left by a
// crashed viewer, by a process number now used by another program, or one that
// cannot be read is taken over.
class SingleInstance
{
public:
    enum class State {
        Acquired,       // this program holds the lock: no other viewer runs
        HeldByLiveCopy, // another viewer runs
        Unusable,       // the lock cannot be made here (the folder is unusable)
    };

    explicit SingleInstance(const QString &lockPath = defaultLockPath());
    ~SingleInstance();

    State acquire();
    // Why the lock could not be made, for the warning on standard error.
    QString problem() const { return m_problem; }

    // While the lock is held: each log that a later start hands over reaches
    // `receive` as an absolute path. False when the socket cannot be opened.
    bool listen(std::function<void(const QString &)> receive);
    // Hands `logPath` to the viewer that holds the lock at `lockPath`; true once
    // that viewer has confirmed it. Blocks for at most a few seconds.
    static bool handOver(const QString &lockPath, const QString &logPath);

    static QString defaultLockPath();

private:
    // The socket beside the lock.
    static QString socketPath(const QString &lockPath);
    bool holderIsAlive() const;

    QString m_path;
    QLockFile m_lock;
    QString m_problem;
    std::unique_ptr<QLocalServer> m_server;
};
