#include "support/scriptedui.h"
#include "support/startup.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/twips.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "shell/settingsstore.h"
#include "shell/sharedstate.h"
#include "shell/splash.h"
#include "shell/uiservices.h"

#include "core/runtimeerror.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QScreen>
#include <QPointer>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using Edge = PlacementSetting::Edge;

namespace {
// One pixel is 15 twips at 96 DPI; placements round to whole pixels.
constexpr double PixelTwips = 15.0;

void compareTwips(double actual, double expected)
{
    QVERIFY2(std::abs(actual - expected) <= PixelTwips / 2 + 0.01,
             qPrintable(u"%1 twips, expected %2"_s.arg(actual).arg(expected)));
}
} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void loadSetsUpSharedStateAndKeepsTheFrameHidden()
    {
        Splash *splash = TestStartup::begin();
        QVERIFY(splash->isVisible());
        QVERIFY(!splash->windowFlags().testFlag(Qt::WindowTitleHint));
        QCOMPARE(splash->findChild<QLabel *>(u"splashLabel"_s)->text(), u"Initializing System, Please Wait!"_s);
        QCOMPARE(splash->findChild<QLabel *>(u"Image1"_s)->pixmap().size(), QSize(400, 287));
        QCOMPARE(splash->theCount(), qint16(1));
        QVERIFY(loadedMainFrame());
        QVERIFY(!mainFrame().isVisible());
        QCOMPARE(mainFrame().windowTitle(), u"Quandel KRN-740 Data Viewer"_s);
        QCOMPARE(shared().fileDialog, &mainFrame().cmdFile());
        QCOMPARE(shared().startDir, QDir::toNativeSeparators(QDir::currentPath()));
        QVERIFY(!loadedHistory());
    }

    // The help file is looked for beside the program, then in the data folder of
    // the install the program belongs to; never in the folder the program starts in.
    void helpFileIsFound_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("beside the program") << u"beside"_s;
        QTest::newRow("in the install's data folder") << u"install"_s;
        QTest::newRow("only in the start folder") << u"start folder"_s;
    }

    void helpFileIsFound()
    {
        QFETCH(QString, where);
        const QString name = u"KRN740 DATA VIEWER HELP.HLP"_s;
        const QString programDir = QCoreApplication::applicationDirPath();
        const QString beside = programDir + u'/' + name;
        const QString dataDir = QDir::cleanPath(programDir + u"/../share/krn740-viewer"_s);
        const QString startDir = TestEnv::tempDir() + u"/start"_s;
        const QString placed = where == u"beside"_s ? beside
                               : where == u"install"_s ? dataDir + u'/' + name
                                                      : startDir + u'/' + name;
        QFile::remove(beside);
        QVERIFY(QDir().mkpath(startDir));
        QVERIFY(QDir().mkpath(QFileInfo(placed).absolutePath()));
        QVERIFY(QFile::copy(QStringLiteral(VIEWER_SOURCE_DIR) + u"/resources/help.html"_s, placed));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(startDir));
        TestStartup::begin();
        QDir::setCurrent(before);
        QFile::remove(placed);
        if (where == u"install"_s)
            QDir(QFileInfo(dataDir).absolutePath()).removeRecursively();
        // Without a file, the Help menu names the place beside the program.
        QCOMPARE(shared().helpFilePath, where == u"start folder"_s ? beside : placed);
    }

    void tenthTickOpensTheDataFileWindow()
    {
        QPointer<Splash> splash = TestStartup::begin();
        for (int tick = 1; tick <= 9; ++tick) {
            splash->timerTick();
            QCOMPARE(splash->theCount(), qint16(tick + 1));
            QVERIFY(!loadedHistory());
        }
        splash->timerTick();
        QVERIFY(loadedHistory());
        QVERIFY(frmHistory().isVisible());
        QCOMPARE(frmHistory().windowTitle(), u"Data File Viewer"_s);
        QVERIFY(mainFrame().isVisible());
        QCOMPARE(frmHistory().mdiArea(), mainFrame().mdiArea());
        QVERIFY(!splash->isVisible());
        QVERIFY(!splash->timer()->isActive());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!splash);
        QVERIFY(!Splash::current());
    }

    void timerOpensTheWindowAfterAboutOneSecond()
    {
        StartupHooks hooks;
        hooks.openDataFileWindow = [] { return static_cast<QWidget *>(&frmHistory()); };
        QElapsedTimer clock;
        clock.start();
        Splash::start(hooks);
        QTRY_VERIFY_WITH_TIMEOUT(loadedHistory() && frmHistory().isVisible(), 5000);
        QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
    }

    void firstRunPlacesWindowsAtTheirDefaults()
    {
        TestStartup::run();
        // The frame starts at its default corner and grows to hold the data
        // file window at its design size.
        const QRectF frame = twips::geometryOf(mainFrame());
        compareTwips(frame.x(), 1000);
        compareTwips(frame.y(), 1000);
        QVERIFY(frame.width() >= 6500 - PixelTwips);
        QVERIFY(frame.height() >= 6500 - PixelTwips);
        const QRectF data = twips::geometryOf(frmHistory());
        compareTwips(data.width(), 6765);
        compareTwips(data.height(), 5295);
        QVERIFY(QRect(QPoint(), mainFrame().mdiArea()->contentsRect().size()).contains(frmHistory().geometry()));
        QVERIFY(mainFrame().screen()->availableGeometry().contains(mainFrame().frameGeometry()));
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }

    void storedPlacementsAreUsed()
    {
        MainFramePlacement.write(Edge::Left, 1500);
        MainFramePlacement.write(Edge::Top, 600);
        MainFramePlacement.write(Edge::Width, 9000);
        MainFramePlacement.write(Edge::Height, 7500);
        DataFilePlacement.write(Edge::Left, 300);
        DataFilePlacement.write(Edge::Top, 150);
        DataFilePlacement.write(Edge::Width, 6990);
        DataFilePlacement.write(Edge::Height, 5400);
        TestStartup::run();
        QCOMPARE(twips::geometryOf(mainFrame()), QRectF(1500, 600, 9000, 7500));
        QCOMPARE(twips::geometryOf(frmHistory()), QRectF(300, 150, 6990, 5400));
    }

    // Whatever the settings file holds, every window starts wholly on the screen
    // and the data file window wholly inside the frame.
    void hostilePlacementsAreFitted_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");

        QTest::newRow("data window left of the frame") << u"History\\chartNest"_s << u"MainLeft"_s << u"-135"_s;
        QTest::newRow("data window far below") << u"History\\chartNest"_s << u"MainTop"_s << u"480000"_s;
        QTest::newRow("data window wider than the screen") << u"History\\chartNest"_s << u"MainWidth"_s << u"480000"_s;
        QTest::newRow("data window height not a number") << u"History\\chartNest"_s << u"MainHeight"_s << u"NaN"_s;
        QTest::newRow("data window infinitely high") << u"History\\chartNest"_s << u"MainHeight"_s << u"inf"_s;
        QTest::newRow("frame off the left") << u"Settings"_s << u"MainLeft"_s << u"-90000"_s;
        QTest::newRow("frame 32,000 pixels wide") << u"Settings"_s << u"MainWidth"_s << u"480000"_s;
        QTest::newRow("frame beyond any number") << u"Settings"_s << u"MainHeight"_s << u"1e38"_s;
        QTest::newRow("frame top not a number") << u"Settings"_s << u"MainTop"_s << u"nan"_s;
        QTest::newRow("frame width as text") << u"Settings"_s << u"MainWidth"_s << u"garbage"_s;
    }

    void hostilePlacementsAreFitted()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, stored);
        SettingsStore::writeText(section, key, stored);
        TestStartup::run();
        QVERIFY(frmHistory().isVisible());
        const QRect screen = mainFrame().screen()->availableGeometry();
        QVERIFY2(screen.contains(mainFrame().frameGeometry()),
                 qPrintable(u"frame %1,%2 %3x%4"_s.arg(mainFrame().x()).arg(mainFrame().y())
                                .arg(mainFrame().width()).arg(mainFrame().height())));
        const QRect client(QPoint(), mainFrame().mdiArea()->contentsRect().size());
        const QRect data = frmHistory().geometry();
        QVERIFY2(client.contains(data), qPrintable(u"data window %1,%2 %3x%4 in %5x%6"_s.arg(data.x()).arg(data.y())
                                                       .arg(data.width()).arg(data.height())
                                                       .arg(client.width()).arg(client.height())));
    }

    // Placements stored on a bigger screen, or at a smaller scale factor (the
    // same twips are more pixels now): every window starts wholly on this screen.
    // CTest runs this program once more at a scale of 1.5 on a screen of 1600 x
    // 1000 pixels ("shell-scaled").
    void placementsOfABiggerScreenFitThisOne_data()
    {
        QTest::addColumn<QList<double>>("frame");      // left, top, width, height in twips
        QTest::addColumn<QList<double>>("dataWindow"); // the same
        // 3200 x 2000 pixels at 96 DPI, the frame filling it.
        QTest::newRow("frame over the whole screen")
            << QList<double>{0, 0, 48000, 30000} << QList<double>{0, 0, 46000, 26000};
        QTest::newRow("frame at the bottom right")
            << QList<double>{40000, 25000, 8000, 5000} << QList<double>{200, 200, 6765, 5295};
        QTest::newRow("data window beyond the frame's bottom")
            << QList<double>{600, 600, 9000, 7000} << QList<double>{300, 20000, 7000, 6000};
    }

    void placementsOfABiggerScreenFitThisOne()
    {
        QFETCH(QList<double>, frame);
        QFETCH(QList<double>, dataWindow);
        const Edge edges[] = {Edge::Left, Edge::Top, Edge::Width, Edge::Height};
        for (int i = 0; i < 4; ++i) {
            MainFramePlacement.write(edges[i], float(frame.at(i)));
            DataFilePlacement.write(edges[i], float(dataWindow.at(i)));
        }
        TestStartup::run();
        const QRect screen = mainFrame().screen()->availableGeometry();
        const QRect outer = mainFrame().frameGeometry();
        QVERIFY2(screen.contains(outer), qPrintable(u"frame %1,%2 %3x%4 on %5x%6"_s.arg(outer.x()).arg(outer.y())
                                                        .arg(outer.width()).arg(outer.height())
                                                        .arg(screen.width()).arg(screen.height())));
        const QRect client(QPoint(), mainFrame().mdiArea()->contentsRect().size());
        QVERIFY(client.contains(frmHistory().geometry()));
    }

    void storedTextThatIsNoNumber()
    {
        // The data file window reports it and keeps that one property; the main
        // frame skips it silently.
        MainFramePlacement.write(Edge::Width, 9000);
        SettingsStore::writeText(u"Settings"_s, u"MainLeft"_s, u"left"_s);
        SettingsStore::writeText(u"History\\chartNest"_s, u"MainWidth"_s, u"wide"_s);
        DataFilePlacement.write(Edge::Left, 450);
        DataFilePlacement.write(Edge::Height, 6000);
        Splash *splash = TestStartup::begin();
        QVERIFY(TestEnv::ui().messages.isEmpty());
        compareTwips(twips::geometryOf(mainFrame()).x(), 1000);
        compareTwips(twips::geometryOf(mainFrame()).width(), 9000);

        TestStartup::finish(splash);
        QCOMPARE(TestEnv::ui().texts(),
                 QStringList{u"Error 13 = Type mismatch in function splashScreenTimer1 occurred.\r\n"
                             "Please contact Halvard with this error."_s});
        const QRectF data = twips::geometryOf(frmHistory());
        compareTwips(data.x(), 450);
        compareTwips(data.height(), 6000);
        compareTwips(data.width(), 6765); // the window's design width, kept
        QVERIFY(frmHistory().isVisible());
        QVERIFY(!Splash::current());
    }

    void secondInstanceEndsWithoutWindowsOrSettings()
    {
        Splash *splash = TestStartup::begin(true);
        QCOMPARE(TestEnv::ui().messages.size(), 1);
        const RecordedMessage m = TestEnv::ui().messages.constFirst();
        QCOMPARE(m.text, u"Lumet Viewer is already running! Please check the\r\n"
                         "taskbar or background window for active version."_s);
        QCOMPARE(m.icon, MsgIcon::Question);
        QCOMPARE(m.buttons, MsgButtons::Ok);
        QCOMPARE(m.caption, u"Quandel KRN-740 Data Viewer"_s);
        QVERIFY(programEnded());
        QCOMPARE(TestEnv::ui().endCount, 1);
        QVERIFY(!splash->timer()->isActive());
        for (int i = 0; i < 12; ++i)
            splash->timerTick();
        QVERIFY(!loadedHistory());
        QVERIFY(!mainFrame().isVisible());
        QVERIFY(!QFile::exists(TestEnv::settingsFile()));
    }

    void initFailureShowsTheThreeLineMessageAndEnds()
    {
        StartupHooks hooks;
        hooks.openDataFileWindow = [] { return static_cast<QWidget *>(&frmHistory()); };
        hooks.anotherInstanceRunning = []() -> bool { throw RuntimeError(75); };
        Splash *splash = Splash::start(hooks);
        QVERIFY(splash->initFailed());
        QCOMPARE(TestEnv::ui().messages.size(), 1);
        const RecordedMessage m = TestEnv::ui().messages.constFirst();
        QCOMPARE(m.text, u"Lumet Viewers has encountered and error while initializing data.\r\n"
                         "This is probably due to a file that is missing.\r\n"
                         "Please re-install the Lumet data viewer from the CD or orig source."_s);
        QCOMPARE(m.icon, MsgIcon::Critical);
        QCOMPARE(TestEnv::ui().exitCode, 1);
        QVERIFY(!splash->isVisible());
        for (int i = 0; i < 12; ++i)
            splash->timerTick();
        QVERIFY(!loadedHistory());
        QCOMPARE(TestEnv::ui().messages.size(), 1);
    }
};

VIEWER_TEST(StartupTest)
#include "tst_startup.moc"
