#pragma once

#include <QString>

#include <functional>
#include <memory>

class HandOverServer;

// Tells whether another viewer runs for this user, through a lock held for the
// life of the program, and carries a log named at a later start over to the
// viewer that runs (a local socket beside the lock).
//
// The lock is the system's lock on the open lock file: it ends with its process,
// however that ends, so a lock file left by a crashed viewer is simply taken. The
// lock and the socket live in a folder of the user's own that no one else can
// write to. Anything in the lock's place that is not a regular file of this user
// (a FIFO, a link, another user's file) is never opened as a lock but replaced.
class SingleInstance
{
public:
    enum class State {
        Acquired,       // this program holds the lock: no other viewer runs
        HeldByLiveCopy, // another viewer runs
        Unusable,       // the lock cannot be made here
    };

    // What the viewer that runs answers a hand-over: an empty text once the log is
    // open, else why it is not.
    using Reply = std::function<void(const QString &why)>;
    // A log handed over, with the shape chosen for it at that start (Shape::toText; empty: none).
    using Receiver = std::function<void(const QString &path, const QString &choice, Reply reply)>;

    explicit SingleInstance(const QString &lockPath = defaultLockPath());
    ~SingleInstance();

    State acquire();
    // Why the lock could not be made, for the warning on standard error.
    QString problem() const { return m_problem; }
    QString lockPath() const { return m_path; }

    // While the lock is held: each log that a later start of this user hands over
    // reaches `receive` as an absolute path and the shape chosen for it, with the reply to give once it has
    // been opened or refused. A request is one line of at most 64 KB that must
    // arrive within 5 s. False when the socket cannot be opened.
    bool listen(Receiver receive);
    // Hands `logPath` to the viewer that holds the lock at `lockPath`, if that viewer
    // is this user's; an empty text once it has opened the log, else why not.
    // `choice` (Shape::toText, no line end) goes with it.
    static QString handOver(const QString &lockPath, const QString &logPath, const QString &choice = {});

    // The lock in the runtime folder when it is the user's own and no one else can
    // write to it, else in a folder made for it (0700) in the user's cache folder;
    // empty when there is neither.
    static QString defaultLockPath();

private:
    // The socket beside the lock.
    static QString socketPath(const QString &lockPath);

    QString m_path;
    int m_fd = -1;
    QString m_problem;
    std::unique_ptr<HandOverServer> m_server;
};
