#include "support/scriptedui.h"
#include "support/testenv.h"
#include "support/testregistry.h"
#include "support/widgetdriver.h"

#include "shell/aboutbox.h"
#include "shell/mainframe.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString FirstKey = u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"_s;
const QString SecondKey = u"SOFTWARE\\Microsoft\\Shared Tools Location"_s;

void writeKey(const QString &key, const QString &name, const QString &value)
{
    QSettings registry(QSettings::IniFormat, QSettings::SystemScope, u"Quandel KRN-740 Data Viewer"_s);
    registry.beginGroup(QString(key).replace(u'\\', u'/'));
    registry.setValue(name, value);
}

void makeExecutable(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nexit 0\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
} // namespace

class AboutBoxTest : public QObject
{
    Q_OBJECT

    QByteArray m_path;

private slots:
    void initTestCase() { m_path = qgetenv("PATH"); }

    void init()
    {
        TestEnv::reset();
        QFile::remove(AboutBox::systemRegistryFile());
    }

    void cleanup() { qputenv("PATH", m_path); }

    void labelsAndButtons()
    {
        AboutBox &box = frmAbout();
        QCOMPARE(box.windowTitle(), u"About KRN-740 Data Viewer"_s);
        QCOMPARE(box.findChild<QLabel *>(u"lblTitle"_s)->text(), u"Quandel KRN-740 Data Viewer"_s);
        QCOMPARE(box.findChild<QLabel *>(u"lblVersion"_s)->text(), u"Version 1.0.0"_s);
        QCOMPARE(box.findChild<QPushButton *>(u"cmdOK"_s)->text(), u"OK"_s);
        QCOMPARE(box.findChild<QPushButton *>(u"cmdSysInfo"_s)->text(), u"&System Info..."_s);
        QVERIFY(!box.findChild<QLabel *>(u"Picture1"_s)->pixmap().isNull());
        QVERIFY(box.findChild<QFrame *>(u"Line1"_s));
        QVERIFY(!box.findChild<QLabel *>(u"lblDisclaimer"_s)->text().isEmpty());
    }

    void helpAboutIsModalAndOkReleasesIt()
    {
        bool sawModal = false;
        WidgetDriver::whenModal([&](QWidget *w) {
            if (w->objectName() != u"frmAbout"_s)
                return false;
            sawModal = w->isModal() && w->parentWidget() == &mainFrame();
            w->findChild<QPushButton *>(u"cmdOK"_s)->click();
            return true;
        });
        mainFrame().mnuHelpAboutClick();
        QVERIFY(sawModal);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!loadedAbout());
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }

    void systemInformationLookUp_data()
    {
        QTest::addColumn<QString>("firstPath");    // value of the first key, "-" for none
        QTest::addColumn<int>("secondFolder");     // 0 no key, 1 folder without the tool, 2 with it
        QTest::addColumn<bool>("onPath");          // a known program on PATH
        QTest::addColumn<bool>("startWorks");
        QTest::addColumn<QString>("started");      // "first", "second", "path" or "" for none
        QTest::addColumn<bool>("unavailable");

        QTest::newRow("first key, started unchecked") << u"/opt/none/msinfo"_s << 2 << true << true << u"first"_s << false;
        QTest::newRow("first key fails to start, second not tried") << u"/opt/none/msinfo"_s << 2 << true << false << u"first"_s << true;
        QTest::newRow("second key with the tool") << u"-"_s << 2 << true << true << u"second"_s << false;
        QTest::newRow("second key without the tool, nothing on PATH") << u"-"_s << 1 << false << true << QString() << true;
        QTest::newRow("no keys, a program on PATH") << u"-"_s << 0 << true << true << u"path"_s << false;
        QTest::newRow("no keys, nothing on PATH") << u"-"_s << 0 << false << true << QString() << true;
        QTest::newRow("first key too long counts as missing") << QString(1100, u'x') << 2 << false << true << u"second"_s << false;
    }

    void systemInformationLookUp()
    {
        QFETCH(QString, firstPath);
        QFETCH(int, secondFolder);
        QFETCH(bool, onPath);
        QFETCH(bool, startWorks);
        QFETCH(QString, started);
        QFETCH(bool, unavailable);

        QTemporaryDir dir;
        const QString toolFolder = dir.path() + u"/tools"_s;
        const QString pathFolder = dir.path() + u"/bin"_s;
        QDir().mkpath(toolFolder);
        QDir().mkpath(pathFolder);
        if (firstPath != u"-"_s)
            writeKey(FirstKey, u"PATH"_s, firstPath);
        if (secondFolder > 0)
            writeKey(SecondKey, u"MSINFO"_s, toolFolder);
        if (secondFolder == 2)
            makeExecutable(toolFolder + u"/MSINFO32.EXE"_s);
        if (onPath)
            makeExecutable(pathFolder + u"/hardinfo"_s);
        qputenv("PATH", pathFolder.toUtf8());
        TestEnv::ui().startSucceeds = startWorks;

        frmAbout().findChild<QPushButton *>(u"cmdSysInfo"_s)->click();

        const QString expected = started == u"first"_s    ? firstPath
                                 : started == u"second"_s ? toolFolder + u"/MSINFO32.EXE"_s
                                 : started == u"path"_s   ? pathFolder + u"/hardinfo"_s
                                                          : QString();
        QCOMPARE(TestEnv::ui().started, expected.isEmpty() ? QStringList() : QStringList{expected});
        if (unavailable) {
            QCOMPARE(TestEnv::ui().texts(), QStringList{u"System Information Is Unavailable At This Time"_s});
            QCOMPARE(TestEnv::ui().messages.constFirst().icon, MsgIcon::None);
        } else {
            QVERIFY(TestEnv::ui().messages.isEmpty());
        }
        QVERIFY(loadedAbout()); // the about box stays open
    }

    void keyValueMustFitTheBuffer_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("found");
        QTest::newRow("1023 bytes and the zero fit") << 1023 << true;
        QTest::newRow("1024 bytes do not") << 1024 << false;
        QTest::newRow("far longer") << 5000 << false;
    }

    void keyValueMustFitTheBuffer()
    {
        QFETCH(int, length);
        QFETCH(bool, found);
        writeKey(FirstKey, u"PATH"_s, QString(length, u'p'));
        QString value = u"before"_s;
        QCOMPARE(AboutBox::GetKeyValue(AboutBox::HKeyLocalMachine, FirstKey, u"PATH"_s, value), found);
        QCOMPARE(value, found ? QString(length, u'p') : QString());
    }

    void missingKeyOrOtherRoot()
    {
        QString value = u"before"_s;
        QVERIFY(!AboutBox::GetKeyValue(AboutBox::HKeyLocalMachine, FirstKey, u"PATH"_s, value));
        QVERIFY(value.isEmpty());
        writeKey(FirstKey, u"PATH"_s, u"/usr/bin/tool"_s);
        value = u"before"_s;
        QVERIFY(!AboutBox::GetKeyValue(0x80000001, FirstKey, u"PATH"_s, value));
        QVERIFY(value.isEmpty());
        QVERIFY(AboutBox::GetKeyValue(AboutBox::HKeyLocalMachine, FirstKey, u"PATH"_s, value));
        QCOMPARE(value, u"/usr/bin/tool"_s);
    }
};

VIEWER_TEST(AboutBoxTest)
#include "tst_aboutbox.moc"
