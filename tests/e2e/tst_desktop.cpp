#include "support/logfixture.h"
#include "support/scripteddialogs.h"
#include "support/scriptedui.h"
#include "support/startup.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/gridcontrol.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "shell/settingsstore.h"
#include "core/logdocument.h"
#include "shell/openlog.h"
#include "shell/sharedstate.h"
#include "shell/singleinstance.h"
#include "shell/windowregistry.h"
#include "trend/trendwindow.h"

#include <QAction>
#include <QDropEvent>
#include <QFile>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace {
// Shows `menu` as a click would, so that its entries are current.
QList<QAction *> openMenu(const QString &name)
{
    auto *menu = mainFrame().findChild<QMenu *>(name);
    Q_ASSERT(menu);
    Q_EMIT menu->aboutToShow();
    return menu->actions();
}

QAction *entryEndingWith(const QString &menuName, const QString &text)
{
    for (QAction *action : openMenu(menuName))
        if (action->text().endsWith(text))
            return action;
    return nullptr;
}

QStringList recentNames()
{
    openMenu(u"mnuFile"_s);
    QStringList names;
    for (QAction *action : mainFrame().findChild<QMenu *>(u"mnuFileRecent"_s)->actions())
        names.append(action->text().section(u'/', -1));
    return names;
}

// The program ends and starts again; the settings file stays.
void restart()
{
    WindowRegistry::unloadAll();
    resetShared();
    resetLogDocument();
    TestStartup::run();
}
} // namespace

// The viewer among the other programs of the desktop: its menus and keys, logs
// that come from outside (command line, a later start, a drop) and the list of
// logs opened last.
class DesktopTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    // The File menu runs the toolbar command of the window it stands for; the
    // Window menu picks that window.
    void menuCommandsReachTheirWindow_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("openDialogs");

        QTest::newRow("Open in the data file window") << u"mnuFileOpen"_s << u"Data File Viewer"_s << QString() << 1;
        QTest::newRow("Open with the trend in front still opens a log")
            << u"mnuFileOpen"_s << u"Historical Trend Plot"_s << QString() << 1;
        QTest::newRow("Print in the data file window prints the grid")
            << u"mnuFilePrint"_s << u"Data File Viewer"_s
            << u"Data file has not been opened!\r\nUse the open file icon to load a data file."_s << 0;
        QTest::newRow("Print with the trend in front prints the trend")
            << u"mnuFilePrint"_s << u"Historical Trend Plot"_s
            << u"There is no default printer!\r\nPlease install or select a default printer.\r\nUse File, Export PDF to save the printout as a PDF file."_s << 0;
    }

    void menuCommandsReachTheirWindow()
    {
        QFETCH(QString, command);
        QFETCH(QString, current);
        QFETCH(QString, message);
        QFETCH(int, openDialogs);
        TestStartup::run();
        frmHistoryPlot().show();
        TestEnv::ui().printers.clear();
        QAction *pick = entryEndingWith(u"mnuWindow"_s, current);
        QVERIFY(pick);
        pick->trigger();
        QCOMPARE(mainFrame().mdiArea()->currentSubWindow()->windowTitle(), current);

        mainFrame().findChild<QAction *>(command)->trigger();
        QCOMPARE(TestEnv::dialogs().fileRequests.size(), openDialogs);
        QCOMPARE(TestEnv::ui().texts(), message.isEmpty() ? QStringList() : QStringList{message});
    }

    // Newest first, each log once, eight at most, kept across a restart; a log
    // that has gone leaves the list with a message and the grid as it was.
    void recentList_data()
    {
        QTest::addColumn<QStringList>("opened");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("vanished");
        QTest::addColumn<QStringList>("listAfter");

        QTest::newRow("chosen after a restart moves to the front")
            << QStringList{u"a.csv"_s, u"b.csv"_s, u"c.csv"_s} << u"b.csv"_s << false
            << QStringList{u"b.csv"_s, u"c.csv"_s, u"a.csv"_s};
        QTest::newRow("a log opened twice is listed once")
            << QStringList{u"a.csv"_s, u"b.csv"_s, u"a.csv"_s} << u"b.csv"_s << false
            << QStringList{u"b.csv"_s, u"a.csv"_s};
        QStringList nine;
        for (char c = 'a'; c <= 'i'; ++c)
            nine.append(QString(QLatin1Char(c)) + u".csv"_s);
        QTest::newRow("the ninth pushes the first out")
            << nine << u"b.csv"_s << false
            << QStringList{u"b.csv"_s, u"i.csv"_s, u"h.csv"_s, u"g.csv"_s, u"f.csv"_s, u"e.csv"_s, u"d.csv"_s,
                           u"c.csv"_s};
        QTest::newRow("a vanished log is taken off")
            << QStringList{u"a.csv"_s, u"b.csv"_s, u"c.csv"_s} << u"b.csv"_s << true
            << QStringList{u"c.csv"_s, u"a.csv"_s};
    }

    void recentList()
    {
        QFETCH(QStringList, opened);
        QFETCH(QString, chosen);
        QFETCH(bool, vanished);
        QFETCH(QStringList, listAfter);
        for (const QString &name : opened)
            LogFixture::open(LogFixture::minutes(5, 2), name);
        restart();
        const QString path = TestEnv::tempDir() + u'/' + chosen;
        if (vanished)
            QVERIFY(QFile::remove(path));

        QAction *entry = nullptr;
        openMenu(u"mnuFile"_s);
        for (QAction *action : mainFrame().findChild<QMenu *>(u"mnuFileRecent"_s)->actions())
            if (action->text().endsWith(u'/' + chosen))
                entry = action;
        QVERIFY(entry);
        entry->trigger();
        QTRY_COMPARE(recentNames(), listAfter);
        if (vanished) {
            QCOMPARE(TestEnv::ui().texts(),
                     QStringList{u"The log file "_s + path + u" can no longer be found.\r\n"
                                                                "It has been removed from the list of recent files."_s});
            QVERIFY(logDocument().path().isEmpty());
        } else {
            QCOMPARE(logDocument().path(), path);
            QCOMPARE(frmHistory().dataGrid()->rowCount(), 5);
            QVERIFY(TestEnv::ui().messages.isEmpty());
        }
    }

    // However a log arrives from outside, the data file window opens it as its
    // own Open would, once it is on screen.
    void logFromOutsideOpens_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("named on the command line") << u"command line"_s;
        QTest::newRow("handed over by a later start") << u"later start"_s;
        QTest::newRow("dropped on the frame") << u"drop"_s;
        QTest::newRow("handed over during a plot run") << u"while plotting"_s;
    }

    void logFromOutsideOpens()
    {
        QFETCH(QString, way);
        const QString path = LogFixture::write(LogFixture::minutes(7, 3), u"outside.csv"_s);
        if (way == u"command line"_s) {
            Splash *splash = TestStartup::begin();
            mainFrame().openLog(path);
            QCoreApplication::processEvents();
            QVERIFY(logDocument().path().isEmpty()); // not before the window is there
            TestStartup::finish(splash);
        } else if (way == u"later start"_s) {
            TestStartup::run();
            const QString lock = TestEnv::tempDir() + u"/handover.lock"_s;
            SingleInstance first(lock);
            QCOMPARE(first.acquire(), SingleInstance::State::Acquired);
            QVERIFY(first.listen([](const QString &log, const QString &choice, SingleInstance::Reply reply) {
                mainFrame().receiveLog(log, std::move(reply), choice);
            }));
            std::atomic<bool> answered = false;
            QString why = u"none"_s;
            std::thread second([&] {
                why = SingleInstance::handOver(lock, path);
                answered = true;
            });
            QTRY_VERIFY_WITH_TIMEOUT(answered, 30000);
            second.join();
            QCOMPARE(why, QString());
        } else if (way == u"while plotting"_s) {
            TestStartup::run();
            logDocument().beginPlotRun();
            mainFrame().receiveLog(path);
            QTest::qWait(600); // several retries while the run goes on
            QVERIFY(logDocument().path().isEmpty());
            logDocument().endPlotRun(); // the run ends
        } else {
            TestStartup::run();
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&mainFrame(), &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&mainFrame(), &drop);
        }
        QTRY_COMPARE(logDocument().path(), path);
        QCOMPARE(frmHistory().dataGrid()->rowCount(), 7);
        QCOMPARE(RecentLogs::list().value(0), path);
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }
};

VIEWER_TEST(DesktopTest)
#include "tst_desktop.moc"
