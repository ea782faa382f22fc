// Takes the README's picture of the viewer from its real windows: writes a log of
// a few days, starts the program as main() does, opens the log with the data file
// window's Open, selects a block of columns and presses Plot, puts the two windows
// side by side and saves what the screen shows of the main frame as a PNG.
//
//   readme-picture OUT.png
//
// Runs on a real display (scripts/readme-picture.sh gives it a virtual one). The
// settings, the lock and the log live in a temporary folder, so the user's own
// settings are neither read nor changed. A message box that appears (a log that
// does not load, a plot that is refused) ends the run with its text: the picture
// must not show one.
#include "picturelog.h"

#include "controls/gridcontrol.h"
#include "controls/icons.h"
#include "controls/plotcontrol.h"
#include "core/blockselection.h"
#include "core/logdocument.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "shell/openlog.h"
#include "shell/splash.h"
#include "shell/uiservices.h"
#include "shell/windowregistry.h"
#include "trend/trendwindow.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

// The main frame's size in the picture: wide enough for the grid's first value
// columns beside a trend, small enough to stay readable where the README is
// shown narrower than that.
constexpr QSize FrameSize(1280, 760);
// The data file window's share of the frame's width.
constexpr double GridShare = 0.48;
// The value columns plotted, by grid column (1 is the time of day): the four
// temperatures and the humidity, which share one value axis.
constexpr GridBlock Plotted{2, -1, 6, -1};
// The widths, in characters, of the dates and the times as the logger writes
// them ("3/20/2024", "12:05:00 PM").
constexpr double DateWidth = 10;
constexpr double TimeWidth = 11;
// The row the data cursor stands on, one row every five minutes: 4 PM of the
// second day, just after the humidity sensor's outage (a gap in its trace).
constexpr int CursorRow = (24 + 16) * 12 + 1;

// The folder of this run, removed also when the run fails.
QString g_root;

// Ends the run at once, from wherever it is (also from inside a dialog's loop).
[[noreturn]] void fail(const QString &why)
{
    std::fprintf(stderr, "readme-picture: %s\n", qPrintable(why));
    if (!g_root.isEmpty())
        QDir(g_root).removeRecursively();
    std::_Exit(1);
}

// Runs the event loop until `done` holds; fails after `seconds`.
void waitFor(const std::function<bool()> &done, const QString &what, int seconds = 30)
{
    const QDeadlineTimer deadline(seconds * 1000);
    while (!done()) {
        if (deadline.hasExpired())
            fail(u"timed out waiting for "_s + what);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
}

// Lets the windows lay out and paint for a while.
void settle(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
}

// Ends the run when a dialog comes up: nothing here should ask the user.
void watchForDialogs(QObject *owner)
{
    auto *timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, [] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        const auto *box = qobject_cast<QMessageBox *>(modal);
        fail(u"a dialog appeared: "_s + (box ? box->text() : modal->windowTitle()));
    });
    timer->start(100);
}

// Settings, lock and log in a folder of this run.
void isolate(const QTemporaryDir &root)
{
    for (const char *name : {"config", "runtime", "cache"})
        QDir(root.path()).mkpath(QString::fromLatin1(name));
    QFile::setPermissions(root.path() + u"/runtime"_s,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QByteArray path = root.path().toUtf8();
    qputenv("XDG_CONFIG_HOME", path + "/config");
    qputenv("XDG_RUNTIME_DIR", path + "/runtime");
    qputenv("XDG_CACHE_HOME", path + "/cache");
}

// Start-up as the program does it: splash, frame, data file window.
void startProgram()
{
    StartupHooks hooks;
    hooks.openDataFileWindow = [] { return static_cast<QWidget *>(&frmHistory()); };
    hooks.anotherInstanceRunning = [] { return false; };
    Splash::start(hooks);
    if (programEnded())
        fail(u"the program ended at start-up"_s);
    waitFor([] { return loadedHistory() && loadedHistory()->isVisible() && !Splash::current(); },
            u"the data file window"_s);
    mainFrame().setGeometry(QRect(QPoint(0, 0), FrameSize));
    settle(200);
}

// Open, as the toolbar's button does with the file chosen; then the block
// selected and Plot pressed.
void openAndPlot(const QString &log)
{
    DataFileWindow &data = frmHistory();
    data.getHistFile(log);
    waitFor([&] { return !data.isLoading() && logDocument().path() == log; }, u"the log to load"_s);
    GridControl &grid = *data.dataGrid();
    if (grid.colCount() < Plotted.lastCol)
        fail(u"the log has %1 columns in the grid"_s.arg(grid.colCount()));

    grid.setSelectionBlocks({Plotted});
    data.toolbarButton(2)->trigger();
    waitFor([] { return loadedTrendWindow() && loadedTrendWindow()->isVisible(); }, u"the trend window"_s);
    const int traces = frmHistoryPlot().trendPlot().ChannelCount();
    if (traces != Plotted.lastCol - Plotted.firstCol + 1)
        fail(u"the trend has %1 traces"_s.arg(traces));
}

// The data file window at the left, the trend beside it, filling the frame;
// the data cursor shown on an afternoon's sample.
void arrange()
{
    DataFileWindow &data = frmHistory();
    TrendWindow &trend = frmHistoryPlot();
    QMdiArea &area = *mainFrame().mdiArea();
    const QSize room = area.viewport()->size();
    const int gridWidth = int(room.width() * GridShare);
    data.setGeometry(0, 0, gridWidth, room.height());
    trend.setGeometry(gridWidth, 0, room.width() - gridWidth, room.height());

    // Narrower date and time columns leave room for more values; the value
    // columns fitted as a double-click on their borders fits them.
    GridControl &grid = *data.dataGrid();
    grid.setColumnWidth(0, DateWidth);
    grid.setColumnWidth(1, TimeWidth);
    for (int col = Plotted.firstCol; col <= grid.colCount(); ++col)
        grid.fitColumnWidth(col);
    area.setActiveSubWindow(&trend);
    settle(300);

    // The shown cursor follows the grid's current row to that row's sample.
    trend.toolbarButtonClick(2);
    grid.setCurrentRow(CursorRow);
    settle(500);
}

// What the screen shows of the frame, as a user would see it.
void savePicture(const QString &out)
{
    MainFrame &frame = mainFrame();
    const QPixmap picture = frame.screen()->grabWindow(frame.winId());
    if (picture.isNull())
        fail(u"the screen could not be read"_s);
    // The highest compression: the picture is kept in the repository.
    if (!picture.save(out, "PNG", 0))
        fail(u"cannot write "_s + out);
    std::printf("readme-picture: %s, %d x %d\n", qPrintable(out), picture.width(), picture.height());
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: readme-picture OUT.png\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir root(QDir::tempPath() + u"/logs-XXXXXX"_s);
    if (!root.isValid())
        fail(u"no temporary folder: "_s + root.errorString());
    g_root = root.path();
    isolate(root);

    QApplication app(argc, argv);
    if (QGuiApplication::platformName() == u"offscreen"_s)
        fail(u"the offscreen platform shows no windows; run under a display (xvfb-run)"_s);
    QApplication::setApplicationName(QStringLiteral("KRN-740 Data Viewer"));
    QApplication::setWindowIcon(drawnIcon(IconKind::App));
    watchForDialogs(&app);

    const QString log = root.path() + u"/boiler house.csv"_s;
    QString why;
    if (!picturelog::write(log, &why))
        fail(u"cannot write the log: "_s + why);

    startProgram();
    openAndPlot(log);
    arrange();
    savePicture(out);

    WindowRegistry::unloadAll();
    return 0;
}
