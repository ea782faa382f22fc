#pragma once

#include <QLockFile>
#include <QString>

// Tells whether another viewer runs for this user, through a lock file held for
// the life of the program. A lock left behind by a crashed viewer names a process
// that no longer runs and is taken over.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &lockPath = defaultLockPath());
    // True when this program now holds the lock: no other viewer runs.
    bool tryAcquire();
    static QString defaultLockPath();

private:
    QLockFile m_lock;
};
