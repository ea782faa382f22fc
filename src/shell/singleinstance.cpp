#include "singleinstance.h"

#include <QDir>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

SingleInstance::SingleInstance(const QString &lockPath)
    : m_lock(lockPath)
{
    // Only a dead owner makes a lock stale; a long-running viewer keeps it.
    m_lock.setStaleLockTime(0);
}

bool SingleInstance::tryAcquire()
{
    return m_lock.isLocked() || m_lock.tryLock(0);
}

QString SingleInstance::defaultLockPath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + u"/krn740-data-viewer.lock"_s;
}
