#include "smalldisk.h"

#include <QFile>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

SmallDisk::~SmallDisk()
{
    if (!m_folder.isEmpty())
        ::umount2(m_folder.constData(), MNT_DETACH);
}

bool SmallDisk::mount(const QString &folder, int kilobytes)
{
    const QByteArray at = QFile::encodeName(folder);
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + 'k';
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0
        || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || ::mount("tmpfs", at.constData(), "tmpfs", 0, options.constData()) != 0)
        return false;
    m_folder = at;
    return true;
}

bool SmallDisk::fillLeaving(qint64 bytes) const
{
    QFile filler(QFile::decodeName(m_folder) + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly))
        return false;
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    return filler.resize(filler.size() - bytes);
}
