#pragma once

#include <QString>
#include <QtGlobal>

#include <utility>

// Where the viewer may write a file of its own (an image, a printout, the
// samples in view): never over a log it holds, and never into anything but a
// regular file. Plain file-system logic, without widgets or printers, so that
// every writer asks the same question the same way.
namespace writetarget {

// While a LogHold of a path lives, no writer may write to that log under any of
// its names: the path itself, a symbolic link to it, a hard link to it (the
// same device and inode), also after the log was renamed. The log table holds
// the log it loaded, a trend's data the log it was plotted from.
class LogHold
{
public:
    LogHold() = default;
    explicit LogHold(const QString &path);
    LogHold(const LogHold &other);
    LogHold &operator=(const LogHold &other);
    LogHold(LogHold &&other) noexcept : m_key(std::exchange(other.m_key, 0)) {}
    LogHold &operator=(LogHold &&other) noexcept
    {
        std::swap(m_key, other.m_key);
        return *this;
    }
    ~LogHold();

    // The held path, absolute; empty when nothing is held.
    QString path() const;

private:
    quint64 m_key = 0;
};

// Throws RuntimeError when nothing may be written at `fileName`, with the
// message to show as its description, NAME being the name without its folder:
// - LogBeingViewed, "\"NAME\" is the log being viewed; choose another file.",
//   when it is, or leads to, a held log;
// - NotRegularFile, "\"NAME\" is not a regular file.", when it exists, or a
//   link there leads to something, that is not a regular file (a folder, a
//   pipe, a device, a socket);
// - BadFileName, "the name is too long", when the file system takes no such name.
// A name that does not exist yet passes.
void check(const QString &fileName);

// Whether an error number is one of check()'s refusals, whose description is
// the message for the user.
bool isRefusal(int errorNumber);

// Where a write to `fileName` lands: the end of its chain of symbolic links
// (the name itself when it is none), as an absolute path.
QString landingPath(const QString &fileName);

} // namespace writetarget
