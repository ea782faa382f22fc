#pragma once

#include <QByteArray>
#include <QString>

// A small file system of its own, for trying a full disk: a tmpfs mounted in a
// mount namespace that this process (and the programs it starts from now on)
// alone sees, so that nothing stays mounted whatever happens to the test.
// Needs the right to mount (root); unmounted again when it goes.
class SmallDisk
{
public:
    SmallDisk() = default;
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    // Mounts `kilobytes` KB at the existing, empty `folder`; false when it
    // cannot be done here.
    bool mount(const QString &folder, int kilobytes);
    // Fills it with a file "filler" until only about `bytes` are left.
    bool fillLeaving(qint64 bytes) const;

    static QString cannotMount()
    {
        return QStringLiteral("a small file system cannot be mounted here "
                              "(run as root with the right to mount to try a full disk)");
    }

private:
    QByteArray m_folder;
};
