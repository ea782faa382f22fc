#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// What every failing operation of the program throws: a classic error number and
// its description, as the error report shows them. Callers tell the common
// dialog's cancel (CancelSelected) apart from real failures by the number.
class RuntimeError : public std::exception
{
public:
    enum Number : int {
        NoError = 0,
        InvalidCall = 5,
        Overflow = 6,
        OutOfMemory = 7,
        SubscriptOutOfRange = 9,
        TypeMismatch = 13,
        InternalError = 51,
        ObjectNotSet = 91,
        BadFileName = 52,
        FileNotFound = 53,
        DeviceIoError = 57,
        DiskFull = 61,
        PermissionDenied = 70,
        PathFileAccess = 75,
        PathNotFound = 76,
        InvalidPropertyValue = 380,
        PrinterError = 482,
        // The log loader's refusals, each with a reason a user can act on.
        EmptyFile = 31001,
        NotTextFile = 31002,
        NotRegularFile = 31003,
        // A file the viewer would write is a log it holds.
        LogBeingViewed = 31004,
        CancelSelected = 32755,
    };

    explicit RuntimeError(int number);
    RuntimeError(int number, QString description);

    int number() const { return m_number; }
    const QString &description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

    // The classic description of a number; empty for numbers the program never raises.
    static QString standardDescription(int number);

    // The error that the exception being handled stands for: a RuntimeError as it is,
    // an allocation failure as 7, anything else as 51. Call only inside a catch block.
    static RuntimeError fromCurrentException();

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};
