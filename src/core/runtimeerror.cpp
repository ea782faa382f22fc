#include "runtimeerror.h"

#include <new>

using namespace Qt::StringLiterals;

RuntimeError::RuntimeError(int number)
    : RuntimeError(number, standardDescription(number))
{
}

RuntimeError::RuntimeError(int number, QString description)
    : m_number(number)
    , m_description(std::move(description))
    , m_what(QString(QString::number(number) + u": "_s + m_description).toUtf8())
{
}

QString RuntimeError::standardDescription(int number)
{
    switch (number) {
    case InvalidCall: return u"Invalid procedure call or argument"_s;
    case Overflow: return u"Overflow"_s;
    case OutOfMemory: return u"Out of memory"_s;
    case SubscriptOutOfRange: return u"Subscript out of range"_s;
    case TypeMismatch: return u"Type mismatch"_s;
    case InternalError: return u"Internal error"_s;
    case ObjectNotSet: return u"Object variable or With block variable not set"_s;
    case BadFileName: return u"Bad file name or number"_s;
    case FileNotFound: return u"File not found"_s;
    case DeviceIoError: return u"Device I/O error"_s;
    case DiskFull: return u"Disk full"_s;
    case PermissionDenied: return u"Permission denied"_s;
    case PathFileAccess: return u"Path/File access error"_s;
    case PathNotFound: return u"Path not found"_s;
    case InvalidPropertyValue: return u"Invalid property value"_s;
    case PrinterError: return u"Printer error"_s;
    case EmptyFile: return u"The file is empty."_s;
    case NotTextFile: return u"The file is not a text log: it holds NUL bytes near the start."_s;
    case NotRegularFile: return u"The file is not a regular file (a folder, a device or a pipe)."_s;
    case LogBeingViewed: return u"The file is a log being viewed."_s;
    case CancelSelected: return u"Cancel was selected."_s;
    default: return QString();
    }
}

RuntimeError RuntimeError::fromCurrentException()
{
    try {
        throw;
    } catch (const RuntimeError &e) {
        return e;
    } catch (const std::bad_alloc &) {
        return RuntimeError(OutOfMemory);
    } catch (const std::exception &e) {
        return RuntimeError(InternalError, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return RuntimeError(InternalError);
    }
}
