#include "logfixture.h"

#include "minutelog.h"

#include "scripteddialogs.h"
#include "startup.h"
#include "testenv.h"

#include "logview/datafilewindow.h"

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
    return testlogs::minutes(rows, valueColumns);
}

} // namespace LogFixture
