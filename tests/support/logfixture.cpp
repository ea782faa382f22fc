#include "logfixture.h"

#include "scripteddialogs.h"
#include "startup.h"
#include "testenv.h"

#include "logview/datafilewindow.h"

#include <QDateTime>
#include <QFile>

namespace LogFixture {

QString write(const QByteArray &bytes, const QString &name)
{
    const QString path = TestEnv::tempDir() + u'/' + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test log %s", qPrintable(path));
    return path;
}

QString open(const QByteArray &bytes, const QString &name)
{
    const QString path = write(bytes, name);
    if (!loadedHistory())
        TestStartup::run();
    TestEnv::dialogs().files.append(path);
    frmHistory().getHistFile();
    return path;
}

QByteArray minutes(int rows, int valueColumns)
{
    QByteArray log = "Date,Time";
    for (int c = 0; c < valueColumns; ++c)
        log += ',' + QByteArray(1, char('A' + c));
    log += "\r\n";
    const QDateTime start(QDate(2024, 1, 31), QTime(23, 0), Qt::UTC);
    for (int r = 1; r <= rows; ++r) {
        const QDateTime t = start.addSecs(60 * (r - 1));
        log += t.toString(QStringLiteral("M/d/yyyy,h:mm:ss AP")).toLatin1();
        for (int c = 0; c < valueColumns; ++c)
            log += ',' + QByteArray::number(r * 10 + c);
        log += "\r\n";
    }
    return log;
}

} // namespace LogFixture
