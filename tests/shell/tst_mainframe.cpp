#include "support/logfixture.h"
#include "support/ordinaryuser.h"
#include "support/scriptedui.h"
#include "support/startup.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/twips.h"
#include "logview/datafilewindow.h"
#include "shell/helpviewer.h"
#include "shell/mainframe.h"
#include "shell/settingsstore.h"
#include "core/logdocument.h"
#include "shell/openlog.h"
#include "shell/sharedstate.h"
#include "shell/uiservices.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

#include <optional>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using Edge = PlacementSetting::Edge;

namespace {
QString stored(const PlacementSetting &s, Edge e)
{
    return SettingsStore::readText(s.section, PlacementSetting::key(e), u"(missing)"_s);
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

class MainFrameTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void menusCarryTheirCaptions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("exit") << u"mnuFileExit"_s << u"E&xit"_s;
        QTest::newRow("contents") << u"mnuHelpContents"_s << u"&Contents"_s;
        QTest::newRow("search") << u"mnuHelpSearchForHelpOn"_s << u"&Search For Help On..."_s;
        QTest::newRow("about ends with a blank") << u"mnuHelpAbout"_s << u"&About "_s;
    }

    void menusCarryTheirCaptions()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        auto *action = mainFrame().findChild<QAction *>(name);
        QVERIFY(action);
        QCOMPARE(action->text(), caption);
    }

    void menuBarAndStatusBar()
    {
        const QList<QAction *> top = mainFrame().menuBar()->actions();
        QCOMPARE(top.size(), 4);
        QCOMPARE(top.at(0)->text(), u"&File"_s);
        QCOMPARE(top.at(1)->text(), u"&Trend"_s);
        QVERIFY(!top.at(1)->isVisible()); // no trend window in front
        QCOMPARE(top.at(2)->text(), u"&Window"_s);
        QCOMPARE(top.at(3)->text(), u"&Help"_s);
        const QList<QAction *> help = top.at(3)->menu()->actions();
        QCOMPARE(help.size(), 4);
        QVERIFY(help.at(2)->isSeparator());
        QCOMPARE(mainFrame().statusBar()->objectName(), u"sbStatusBar"_s);
        QCOMPARE(mainFrame().findChild<QLabel *>(u"sbStatusPanel1"_s)->text(), u"Status"_s);
        QVERIFY(!mainFrame().findChild<QLabel *>(u"sbStatusPanel2"_s)->text().isEmpty());
        QVERIFY(!mainFrame().findChild<QLabel *>(u"sbStatusPanel3"_s)->text().isEmpty());
    }

    // A settings file that cannot be written does not keep the program from
    // starting; the status bar says what is lost.
    void settingsThatCannotBeKept_data()
    {
        QTest::addColumn<QString>("blocked");
        QTest::newRow("writable") << QString();
        QTest::newRow("settings file is a folder") << u"folder"_s;
        QTest::newRow("a folder that takes no new file") << u"read-only folder"_s;
    }

    void settingsThatCannotBeKept()
    {
        QFETCH(QString, blocked);
        QTemporaryDir home; // reachable by the ordinary user the row may act as
        const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
        if (blocked == u"folder"_s) {
            QVERIFY(QDir().mkpath(TestEnv::settingsFile()));
        } else if (blocked == u"read-only folder"_s) {
            // The file itself may be written, but the new file that replaces it
            // cannot be made beside it.
            QCOMPARE(::chmod(QFile::encodeName(home.path()).constData(), 0755), 0);
            QVERIFY(QDir().mkpath(home.path() + u"/config"_s));
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + u"/config"_s));
            QFile file(TestEnv::settingsFile());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup
                                        | QFile::ReadOther | QFile::WriteOther));
            QCOMPARE(::chmod(QFile::encodeName(home.path() + u"/config"_s).constData(), 0555), 0);
        }
        const QString settings = TestEnv::settingsFile();
        {
            std::optional<AsOrdinaryUser> ordinary;
            if (blocked == u"read-only folder"_s)
                ordinary.emplace(); // root could write anywhere
            TestStartup::run();
        }
        const QString shown = mainFrame().findChild<QLabel *>(u"sbStatusPanel1"_s)->text();
        const bool visible = frmHistory().isVisible();
        if (blocked == u"folder"_s)
            QDir(settings).removeRecursively();
        qputenv("XDG_CONFIG_HOME", configHome);
        ::chmod(QFile::encodeName(home.path() + u"/config"_s).constData(), 0755);
        QCOMPARE(shown, blocked.isEmpty() ? u"Status"_s
                                          : u"Window places will not be kept: the settings file "_s + settings
                                                + u" cannot be written."_s);
        QVERIFY(visible);
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }

    void exitAnsweredNoKeepsEverything()
    {
        TestStartup::run();
        shared().exitConfirmed = true; // an earlier Yes must not linger
        TestEnv::ui().answers = {MsgResult::No};
        mainFrame().findChild<QAction *>(u"mnuFileExit"_s)->trigger();
        QCOMPARE(TestEnv::ui().messages.size(), 1);
        const RecordedMessage m = TestEnv::ui().messages.constFirst();
        QCOMPARE(m.text, u"Exit - are you sure?"_s);
        QCOMPARE(m.icon, MsgIcon::Question);
        QCOMPARE(m.buttons, MsgButtons::YesNo);
        QVERIFY(!shared().exitConfirmed);
        QVERIFY(mainFrame().isVisible());
        QVERIFY(loadedHistory() && frmHistory().isVisible());
        QCOMPARE(TestEnv::ui().endCount, 0);
        QVERIFY(!QFile::exists(TestEnv::settingsFile()));
    }

    void exitYesStoresPlacementsAndEnds()
    {
        TestStartup::run();
        logDocument().load(LogFixture::write(LogFixture::minutes(4, 1)));
        QVERIFY(logDocument().isOpen());
        twips::setLeft(mainFrame(), 1200);
        twips::setWidth(mainFrame(), 9000);
        twips::setLeft(frmHistory(), 300);
        twips::setHeight(frmHistory(), 6000);
        TestEnv::ui().answers = {MsgResult::Yes};
        QVERIFY(mainFrame().close());
        QVERIFY(shared().exitConfirmed);
        QCOMPARE(TestEnv::ui().endCount, 1);
        QVERIFY(logDocument().path().isEmpty());
        QCOMPARE(stored(MainFramePlacement, Edge::Left), u"1200"_s);
        QCOMPARE(stored(MainFramePlacement, Edge::Width), u"9000"_s);
        QCOMPARE(stored(DataFilePlacement, Edge::Left), u"300"_s);
        QCOMPARE(stored(DataFilePlacement, Edge::Height), u"6000"_s);
        QCOMPARE(stored(DataFilePlacement, Edge::Width), u"6765"_s);
        flushDeletes();
        QVERIFY(!loadedHistory());
        QCOMPARE(TestEnv::ui().messages.size(), 1);
    }

    void exitWhileMinimisedWritesNothingForTheFrame()
    {
        TestStartup::run();
        MainFramePlacement.write(Edge::Left, 777);
        mainFrame().showMinimized();
        TestEnv::ui().answers = {MsgResult::Yes};
        mainFrame().close();
        QCOMPARE(TestEnv::ui().endCount, 1);
        QCOMPARE(stored(MainFramePlacement, Edge::Left), u"777"_s);
        QCOMPARE(stored(MainFramePlacement, Edge::Top), u"(missing)"_s);
        QCOMPARE(stored(DataFilePlacement, Edge::Width), u"6765"_s);
    }

    void exitEndsEvenWhenAChildRefuses()
    {
        TestStartup::run();
        frmHistory().showMinimized();
        TestEnv::ui().answers = {MsgResult::Yes};
        mainFrame().close();
        QCOMPARE(TestEnv::ui().endCount, 1);
        flushDeletes();
        QVERIFY(loadedHistory()); // refused while minimised
        QCOMPARE(stored(DataFilePlacement, Edge::Left), u"(missing)"_s);
        QCOMPARE(TestEnv::ui().messages.size(), 1);
    }

    void exitDuringAPlotRunShowsTheBusyMessage()
    {
        TestStartup::run();
        logDocument().beginPlotRun();
        TestEnv::ui().answers = {MsgResult::Yes};
        mainFrame().close();
        QCOMPARE(TestEnv::ui().texts(),
                 (QStringList{u"Exit - are you sure?"_s, u"History viewer is busy with an operation, please wait!"_s}));
        QCOMPARE(TestEnv::ui().messages.at(1).icon, MsgIcon::Information);
        QCOMPARE(TestEnv::ui().endCount, 1);
        flushDeletes();
        QVERIFY(loadedHistory());
    }

    void dataFileWindowCannotBeClosedAlone()
    {
        TestStartup::run();
        QVERIFY(!frmHistory().close());
        QCOMPARE(TestEnv::ui().texts(),
                 QStringList{u"To quit the KRN-740 history viewer, use the File/Exit menu item."_s});
        QVERIFY(frmHistory().isVisible());
        QVERIFY(!QFile::exists(TestEnv::settingsFile()));
    }

    void checkHistFile_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("result");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("loaded") << u"/logs/run1.csv"_s << true;
        QTest::newRow("vanished file still counts") << u"/no/such/file.csv"_s << true;
    }

    void checkHistFile()
    {
        QFETCH(QString, fileName);
        QFETCH(bool, result);
        QCOMPARE(DataFileWindow::checkHistFile(fileName), result);
        if (result) {
            QVERIFY(TestEnv::ui().messages.isEmpty());
        } else {
            QCOMPARE(TestEnv::ui().messages.size(), 1);
            QCOMPARE(TestEnv::ui().messages.constFirst().text,
                     u"Data file has not been opened!\r\nUse the open file icon to load a data file."_s);
            QCOMPARE(TestEnv::ui().messages.constFirst().icon, MsgIcon::Question);
        }
    }

    void helpWithoutPath()
    {
        mainFrame().mnuHelpContentsClick();
        mainFrame().mnuHelpSearchForHelpOnClick();
        const QString text = u"Unable to display Help Contents. Help is not completed for this project."_s;
        QCOMPARE(TestEnv::ui().texts(), (QStringList{text, text}));
        QCOMPARE(TestEnv::ui().messages.constFirst().icon, MsgIcon::Information);
        QVERIFY(!HelpViewer::current());
    }

    void helpWithAMissingFile()
    {
        shared().helpFilePath = TestEnv::tempDir() + u"/nowhere/KRN740 DATA VIEWER HELP.HLP"_s;
        mainFrame().mnuHelpContentsClick();
        QCOMPARE(TestEnv::ui().messages.size(), 1);
        const RecordedMessage m = TestEnv::ui().messages.constFirst();
        QVERIFY(m.text.startsWith(u"Unable to open the help file\r\n"_s));
        QVERIFY(m.text.contains(shared().helpFilePath));
        QCOMPARE(m.icon, MsgIcon::Exclamation);
        QVERIFY(!HelpViewer::current());
    }

    void helpWithTheRealFile()
    {
        shared().helpFilePath = QStringLiteral(VIEWER_SOURCE_DIR "/resources/help.html");
        mainFrame().mnuHelpContentsClick();
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QPointer<HelpViewer> viewer = HelpViewer::current();
        QVERIFY(viewer && viewer->isVisible());
        QCOMPARE(viewer->tabs()->currentIndex(), 0);
        QVERIFY(viewer->contentsTree()->topLevelItemCount() > 0);
        QVERIFY(viewer->browser()->toPlainText().contains(u"Opening a log file"_s));

        mainFrame().mnuHelpSearchForHelpOnClick();
        QCOMPARE(HelpViewer::current(), viewer.data()); // the same window, now at its index
        QCOMPARE(viewer->tabs()->currentIndex(), 1);
        // The empty keyword lists the whole index.
        QFile file(shared().helpFilePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(viewer->indexList()->count(), HelpViewer::keywordsOf(QString::fromUtf8(file.readAll())).size());
        QVERIFY(viewer->indexList()->count() >= 20);
        viewer->close();
    }
};

VIEWER_TEST(MainFrameTest)
#include "tst_mainframe.moc"
