#include "support/scriptedui.h"
#include "support/startup.h"
#include "support/testenv.h"
#include "support/testregistry.h"
#include "support/widgetdriver.h"

#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "shell/settingsstore.h"
#include "shell/sharedstate.h"
#include "shell/splash.h"

#include <QTest>

using namespace Qt::StringLiterals;

// Start-up and exit with the real message boxes, answered through their buttons.
class RealDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        TestEnv::reset();
        TestEnv::ui().realMessageBoxes = true;
    }

    void startUpThenExitNoThenYes()
    {
        StartupHooks hooks;
        hooks.openDataFileWindow = [] { return static_cast<QWidget *>(&frmHistory()); };
        hooks.anotherInstanceRunning = [] { return false; };
        Splash::start(hooks);
        QTRY_VERIFY_WITH_TIMEOUT(loadedHistory() && frmHistory().isVisible(), 5000);
        QVERIFY(mainFrame().isVisible());

        QString seenText, seenTitle;
        QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
        auto inspect = [&](QMessageBox *box) {
            seenText = box->text();
            seenTitle = box->windowTitle();
            seenIcon = box->icon();
        };
        WidgetDriver::answerMessageBox(QMessageBox::No, inspect);
        QVERIFY(!mainFrame().close());
        QCOMPARE(seenText, u"Exit - are you sure?"_s);
        QCOMPARE(seenTitle, u"Quandel KRN-740 Data Viewer"_s);
        QCOMPARE(seenIcon, QMessageBox::Question);
        QVERIFY(!shared().exitConfirmed);
        QVERIFY(frmHistory().isVisible());

        WidgetDriver::answerMessageBox(QMessageBox::Yes);
        QVERIFY(mainFrame().close());
        QVERIFY(shared().exitConfirmed);
        QCOMPARE(TestEnv::ui().endCount, 1);
        // Stored as whole pixels: the first-run frame grew to hold the data file
        // window's 6765 twips (451 pixels at 96 DPI).
        QCOMPARE(SettingsStore::readText(u"Settings"_s, u"MainWidth"_s, {}), u"6765"_s);
        QCOMPARE(SettingsStore::readText(u"History\\chartNest"_s, u"MainHeight"_s, {}), u"5295"_s);
    }

    void secondInstanceMessage()
    {
        QString seenText;
        QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
        WidgetDriver::answerMessageBox(QMessageBox::Ok, [&](QMessageBox *box) {
            seenText = box->text();
            seenIcon = box->icon();
        });
        TestStartup::begin(true);
        QCOMPARE(seenText, u"Lumet Viewer is already running! Please check the\r\n"
                           "taskbar or background window for active version."_s);
        QCOMPARE(seenIcon, QMessageBox::Question);
        QCOMPARE(TestEnv::ui().endCount, 1);
        QVERIFY(!loadedHistory());
    }
};

VIEWER_TEST(RealDialogsTest)
#include "tst_realdialogs.moc"
