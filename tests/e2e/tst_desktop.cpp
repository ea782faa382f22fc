#include "support/desktoppalette.h"
#include "support/logfixture.h"
#include "support/scripteddialogs.h"
#include "support/widgetdriver.h"
#include "support/scriptedui.h"
#include "support/startup.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/gridcontrol.h"
#include "controls/gridmodel.h"
#include "controls/plotcontrol.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "shell/settingsstore.h"
#include "core/logdocument.h"
#include "core/trenddata.h"
#include "shell/openlog.h"
#include "shell/sharedstate.h"
#include "shell/singleinstance.h"
#include "shell/windowregistry.h"
#include "trend/statspanel.h"
#include "trend/trendwindow.h"
#include "trendsetup/trendsetupdialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QFile>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QPalette>
#include <QPointer>
#include <QScopeGuard>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cmath>
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

// How far a picture's outline stands out from the background it is drawn on: the
// median difference in grey between the background and the picture's edge (its
// mostly opaque pixels beside a mostly transparent one), 0 to 255.
int edgeContrast(const QImage &picture, const QColor &background)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const auto opaque = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < image.width() && y < image.height() && qAlpha(image.pixel(x, y)) >= 128;
    };
    QList<int> differences;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!opaque(x, y) || (opaque(x - 1, y) && opaque(x + 1, y) && opaque(x, y - 1) && opaque(x, y + 1)))
                continue;
            const QRgb pixel = image.pixel(x, y);
            const double a = qAlpha(pixel) / 255.0;
            const double shown = a * qGray(pixel) + (1 - a) * qGray(background.rgb());
            differences.append(int(std::abs(shown - qGray(background.rgb()))));
        }
    }
    if (differences.isEmpty())
        return 0;
    std::sort(differences.begin(), differences.end());
    return differences.at(differences.size() / 2);
}

// The frame shown and active, so that its menus' keys work.
bool activeFrame()
{
    mainFrame().show();
    mainFrame().activateWindow();
    return QTest::qWaitForWindowActive(&mainFrame());
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

    // Keyboard only: a block made with Shift and the arrows, plotted with the
    // File menu's key; with the trend in front the key still plots the grid's block.
    void aBlockMadeWithKeysIsPlottedWithTheKey_data()
    {
        QTest::addColumn<bool>("trendInFront");
        QTest::newRow("from the grid") << false;
        QTest::newRow("with the trend in front") << true;
    }

    void aBlockMadeWithKeysIsPlottedWithTheKey()
    {
        QFETCH(bool, trendInFront);
        LogFixture::open(LogFixture::minutes(30, 3));
        GridControl &grid = *frmHistory().dataGrid();
        QVERIFY(activeFrame());
        grid.view()->setFocus();
        grid.view()->setCurrentIndex(grid.model()->index(1, 2)); // column B, row 2
        for (int i = 0; i < 7; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(grid.selectedBlock(), (GridBlock{3, 2, 4, 9}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text().count(u'\n'), 8);
        if (trendInFront) {
            frmHistoryPlot().show();
            mainFrame().mdiArea()->setActiveSubWindow(&frmHistoryPlot());
            frmHistoryPlot().trendPlot().setFocus();
        }

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::ControlModifier);
        QTRY_VERIFY(loadedTrendWindow() && loadedTrendWindow()->isVisible());
        PlotControl &plot = loadedTrendWindow()->trendPlot();
        QCOMPARE(plot.ChannelCount(), 2);
        QCOMPARE(plot.Channel(0).TitleText(), u"B"_s);
        QCOMPARE(plot.Channel(1).TitleText(), u"C"_s);
        QCOMPARE(plot.trendData()->rowCount(), 8);
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }

    // The Trend menu stands for the trend window's toolbar: it is on the menu bar
    // while that window is the active one, and only then do its keys work.
    void theTrendMenuFollowsTheActiveWindow()
    {
        TestStartup::run();
        QVERIFY(activeFrame());
        const auto trendMenuShown = [] {
            QAction *menu = mainFrame().findChild<QMenu *>(u"mnuTrend"_s)->menuAction();
            return menu->isVisible() && mainFrame().findChild<QAction *>(u"mnuTrendDataCursor"_s)->isEnabled();
        };
        QVERIFY(!trendMenuShown());
        TrendWindow &trend = frmHistoryPlot();
        trend.show();
        mainFrame().mdiArea()->setActiveSubWindow(&trend);
        QVERIFY(trendMenuShown());
        const PlotDataCursor cursor = trend.trendPlot().DataCursor(0);

        mainFrame().mdiArea()->setActiveSubWindow(&frmHistory());
        QVERIFY(!trendMenuShown());
        frmHistory().dataGrid()->view()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::ControlModifier);
        QVERIFY(!cursor.Visible()); // the key is not the grid's window's

        mainFrame().mdiArea()->setActiveSubWindow(&trend);
        trend.trendPlot().setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::ControlModifier);
        QVERIFY(cursor.Visible());
        trend.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!loadedTrendWindow());
        QVERIFY(!trendMenuShown());
    }

    // Each entry of the Trend menu, by its key, does what its toolbar button does.
    void trendMenuKeysDoWhatTheirButtonsDo_data()
    {
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("Trend Setup") << QKeyCombination(Qt::CTRL, Qt::Key_T) << 1 << u"setup dialog"_s;
        QTest::newRow("Show/Hide Data Cursor") << QKeyCombination(Qt::CTRL, Qt::Key_D) << 2 << u"cursor shown"_s;
        QTest::newRow("Save as Jpeg")
            << QKeyCombination(Qt::CTRL, Qt::Key_S) << 3 << u"file dialog: Save trend jpeg as?"_s;
        QTest::newRow("Print Trend") << QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_P) << 4
                                     << u"message: There is no default printer!"_s;
        QTest::newRow("Print Preview") << QKeyCombination(Qt::CTRL, Qt::Key_F2) << 5 << u"preview"_s;
        QTest::newRow("Export PDF")
            << QKeyCombination(Qt::CTRL, Qt::Key_E) << 6 << u"file dialog: Export trend printout as PDF"_s;
        QTest::newRow("Statistics") << QKeyCombination(Qt::CTRL, Qt::Key_I) << 7 << u"statistics shown"_s;
    }

    void trendMenuKeysDoWhatTheirButtonsDo()
    {
        QFETCH(QKeyCombination, key);
        QFETCH(int, button);
        QFETCH(QString, outcome);
        for (const bool byKey : {false, true}) {
            TestEnv::reset();
            LogFixture::open(LogFixture::minutes(20, 2));
            QVERIFY(activeFrame());
            TestEnv::ui().printers.clear();
            frmHistory().dataGrid()->setSelectionBlocks({GridBlock{2, 1, 3, 20}});
            frmHistory().toolbarButtonClick(2);
            QVERIFY(loadedTrendWindow() && loadedTrendWindow()->isVisible());
            TrendWindow &trend = *loadedTrendWindow();
            mainFrame().mdiArea()->setActiveSubWindow(&trend);
            trend.trendPlot().setFocus();
            TestEnv::dialogs().fileRequests.clear(); // the log's open
            bool setupShown = false;
            if (button == 1) {
                WidgetDriver::whenModal([&](QWidget *modal) {
                    if (!qobject_cast<TrendSetupDialog *>(modal) || !modal->isVisible())
                        return false;
                    setupShown = true;
                    static_cast<TrendSetupDialog *>(modal)->cmdCancel().click();
                    return true;
                });
            }
            if (byKey)
                QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            else
                trend.Toolbar1().actions().at(button - 1)->trigger();

            QStringList seen;
            if (setupShown)
                seen << u"setup dialog"_s;
            if (trend.trendPlot().DataCursor(0).Visible())
                seen << u"cursor shown"_s;
            for (const FileDialogRequest &request : std::as_const(TestEnv::dialogs().fileRequests))
                seen << u"file dialog: "_s + request.title;
            for (const QString &text : TestEnv::ui().texts())
                seen << u"message: "_s + text.section(u"\r\n"_s, 0, 0);
            if (TestEnv::dialogs().previews > 0)
                seen << u"preview"_s;
            if (trend.statsPanel().isVisible()) {
                seen << u"statistics shown"_s;
                QVERIFY(mainFrame().findChild<QAction *>(u"mnuTrendStatistics"_s)->isChecked());
            }
            QCOMPARE(seen, QStringList{outcome});
        }
    }

    // Ctrl+F4 asks the active child window to close, which keeps its own rules.
    void ctrlF4ClosesTheActiveWindow_data()
    {
        QTest::addColumn<QString>("active");
        QTest::addColumn<bool>("minimized");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QString>("message");
        QTest::newRow("the trend window closes") << u"trend"_s << false << true << QString();
        QTest::newRow("a minimised trend window stays") << u"trend"_s << true << false << QString();
        QTest::newRow("the data file window says how to quit")
            << u"data"_s << false << false << u"To quit the KRN-740 history viewer, use the File/Exit menu item."_s;
    }

    void ctrlF4ClosesTheActiveWindow()
    {
        QFETCH(QString, active);
        QFETCH(bool, minimized);
        QFETCH(bool, closes);
        QFETCH(QString, message);
        TestStartup::run();
        QVERIFY(activeFrame());
        TrendWindow &trend = frmHistoryPlot();
        trend.show();
        QMdiSubWindow *target = active == u"trend"_s ? static_cast<QMdiSubWindow *>(&trend) : &frmHistory();
        mainFrame().mdiArea()->setActiveSubWindow(target);
        if (minimized)
            target->showMinimized();
        target->widget()->setFocus();
        const QPointer<QMdiSubWindow> watched(target);
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &mainFrame(), Qt::Key_F4,
                        Qt::ControlModifier);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(watched.isNull(), closes);
        QCOMPARE(TestEnv::ui().texts(), message.isEmpty() ? QStringList() : QStringList{message});
        // A window that closes keeps its place; one that stays writes nothing.
        QCOMPARE(SettingsStore::readText(u"History\\HistPlot"_s, u"MainLeft"_s, u"none"_s) != u"none"_s, closes);
    }

    // Tab goes from the grid or the plot to the window's toolbar, and Space
    // presses the button that has the focus.
    void tabReachesTheToolbar_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("data file window") << u"data"_s << u"Open"_s << u"Open Log file (.csv)"_s;
        QTest::newRow("trend window") << u"trend"_s << u"Save as Jpeg"_s << u"Save trend jpeg as?"_s;
    }

    void tabReachesTheToolbar()
    {
        QFETCH(QString, window);
        QFETCH(QString, button);
        QFETCH(QString, outcome);
        LogFixture::open(LogFixture::minutes(20, 2));
        QVERIFY(activeFrame());
        QToolBar *toolbar = nullptr;
        if (window == u"trend"_s) {
            frmHistory().dataGrid()->setSelectionBlocks({GridBlock{2, 1, 2, 20}});
            frmHistory().toolbarButtonClick(2);
            QVERIFY(loadedTrendWindow());
            mainFrame().mdiArea()->setActiveSubWindow(loadedTrendWindow());
            loadedTrendWindow()->trendPlot().setFocus();
            toolbar = &loadedTrendWindow()->Toolbar1();
        } else {
            mainFrame().mdiArea()->setActiveSubWindow(&frmHistory());
            frmHistory().dataGrid()->view()->setFocus();
            toolbar = frmHistory().Toolbar1();
        }
        QWidget *wanted = toolbar->widgetForAction(toolbar->findChild<QAction *>(button));
        QVERIFY(wanted);
        const int dialogsBefore = int(TestEnv::dialogs().fileRequests.size());
        for (int presses = 0; presses < 20 && QApplication::focusWidget() != wanted; ++presses)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), wanted);
        QTest::keyClick(wanted, Qt::Key_Space);
        QCOMPARE(TestEnv::dialogs().fileRequests.size(), dialogsBefore + 1);
        QCOMPARE(TestEnv::dialogs().fileRequests.constLast().title, outcome);
    }

    // The toolbars' pictures stand out on the desktop's palette, also when it
    // changes while the windows are open.
    void toolbarPicturesStandOutOnTheDesktop_data()
    {
        QTest::addColumn<QPalette>("desktop");
        QTest::newRow("dark desktop") << darkDesktopPalette();
        QTest::newRow("light desktop") << QApplication::style()->standardPalette();
    }

    void toolbarPicturesStandOutOnTheDesktop()
    {
        QFETCH(QPalette, desktop);
        const QPalette before = QApplication::palette();
        const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
        TestStartup::run();
        frmHistoryPlot().show();
        QApplication::setPalette(desktop);
        QCoreApplication::processEvents();
        const QList<QToolBar *> toolbars = mainFrame().findChildren<QToolBar *>();
        QCOMPARE(toolbars.size(), 2);
        for (const QToolBar *toolbar : toolbars) {
            const QColor background = toolbar->palette().color(QPalette::Window);
            QCOMPARE(background, desktop.color(QPalette::Window));
            for (QAction *action : toolbar->actions()) {
                const QImage picture = action->icon().pixmap(toolbar->iconSize()).toImage();
                const int contrast = edgeContrast(picture, background);
                QVERIFY2(contrast >= 64, qPrintable(action->text() + u": "_s + QString::number(contrast)));
            }
        }
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
