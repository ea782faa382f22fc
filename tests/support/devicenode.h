#pragma once

#include <QFile>
#include <QString>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

// A character device for a test's link to point at: a twin of /dev/null made
// in `folder` when the user may make one, so that a writer that wrongly
// replaced what the link leads to would not replace the system's own device;
// else /dev/null itself, which only the superuser could replace. Empty when
// neither is safe.
inline QString deviceForLinks(const QString &folder)
{
    const QString twin = folder + QStringLiteral("/null-device");
    if (::mknod(QFile::encodeName(twin).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        return twin;
    return ::geteuid() == 0 ? QString() : QStringLiteral("/dev/null");
}
