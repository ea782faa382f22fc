#include "mainframe.h"

#include "aboutbox.h"
#include "helpviewer.h"
#include "openlog.h"
#include "printablewindow.h"
#include "settingsstore.h"
#include "sharedstate.h"
#include "steps.h"
#include "uiservices.h"
#include "windowregistry.h"

#include "controls/icons.h"
#include "core/logdocument.h"
#include "core/runtimeerror.h"
#include "controls/twips.h"

#include <QCloseEvent>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QShowEvent>
#include <QDate>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// How soon a log that waits for a busy data file window is tried again.
constexpr int RetryMs = 250;

// Why `path` cannot be opened as a log at all; empty when it is a readable file.
// Opened without waiting, so that a FIFO is told apart instead of hanging.
QString whyNoLogFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return u"it does not exist"_s;
    if (!info.isFile())
        return u"it is not a regular file"_s;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return u"it cannot be read (%1)"_s.arg(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st = {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular ? QString() : u"it is not a regular file"_s;
}

WindowSlot<MainFrame> &slot()
{
    static WindowSlot<MainFrame> s;
    return s;
}
} // namespace

MainFrame &mainFrame() { return slot().touch(); }
MainFrame *loadedMainFrame() { return slot().loaded(); }

MainFrame::MainFrame()
{
    setObjectName(u"frmMain"_s);
    setWindowTitle(appTitle());
    setWindowIcon(drawnIcon(IconKind::App));

    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(u"mdiArea"_s);
    m_mdiArea->setBackground(palette().brush(QPalette::Dark));
    setCentralWidget(m_mdiArea);

    buildMenus();
    buildStatusBar();
    m_cmdFile.setParentWidget(this);
    restorePlacement();
    setAcceptDrops(true);

    // Said once: every later write of a placement fails quietly.
    bool writable = true;
    steps::ignore([&] { writable = SettingsStore::isWritable(); });
    if (!writable)
        m_statusText->setText(u"Window places will not be kept: the settings file "_s
                              + QDir::toNativeSeparators(SettingsStore::fileName()) + u" cannot be written."_s);
}

MainFrame::~MainFrame()
{
    // The document area tells of its last child window as it goes, after this
    // frame's own part has gone.
    disconnect(m_mdiArea, nullptr, this, nullptr);
}

void MainFrame::buildMenus()
{
    buildFileMenu();
    buildTrendMenu();
    buildWindowMenu();
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &MainFrame::showChildMenus);
    showChildMenus();

    QMenu *help = menuBar()->addMenu(u"&Help"_s);
    help->setObjectName(u"mnuHelp"_s);
    QAction *contents = help->addAction(u"&Contents"_s);
    contents->setObjectName(u"mnuHelpContents"_s);
    contents->setShortcut(QKeySequence(Qt::Key_F1));
    connect(contents, &QAction::triggered, this, &MainFrame::mnuHelpContentsClick);
    QAction *search = help->addAction(u"&Search For Help On..."_s);
    search->setObjectName(u"mnuHelpSearchForHelpOn"_s);
    connect(search, &QAction::triggered, this, &MainFrame::mnuHelpSearchForHelpOnClick);
    QAction *bar = help->addSeparator();
    bar->setObjectName(u"mnuHelpBar0"_s);
    QAction *about = help->addAction(u"&About "_s);
    about->setObjectName(u"mnuHelpAbout"_s);
    connect(about, &QAction::triggered, this, &MainFrame::mnuHelpAboutClick);
}

void MainFrame::buildFileMenu()
{
    QMenu *file = menuBar()->addMenu(u"&File"_s);
    file->setObjectName(u"mnuFile"_s);
    auto add = [&](const QString &name, const QString &caption, const QKeySequence &keys) {
        QAction *action = file->addAction(caption);
        action->setObjectName(name);
        action->setShortcut(keys);
        return action;
    };
    addCommand(file, u"mnuFileOpen"_s, u"&Open..."_s, QKeySequence(Qt::CTRL | Qt::Key_O), FrameCommand::Open);
    addCommand(file, u"mnuFileOpenAs"_s, u"Open &As..."_s, QKeySequence(), FrameCommand::OpenAs);
    m_recentMenu = file->addMenu(u"Open &Recent"_s);
    m_recentMenu->setObjectName(u"mnuFileRecent"_s);
    addCommand(file, u"mnuFileReload"_s, u"Re&load"_s, QKeySequence(Qt::Key_F5), FrameCommand::Reload);
    // Ticked by the window that follows, which may refuse (no file loaded).
    addCommand(file, u"mnuFileFollow"_s, u"&Follow"_s, QKeySequence(), FrameCommand::Follow)->setCheckable(true);
    file->addSeparator();
    addCommand(file, u"mnuFilePlot"_s, u"Plo&t"_s, QKeySequence(Qt::CTRL | Qt::Key_L), FrameCommand::Plot)
        ->setIcon(drawnIcon(IconKind::Plot));
    file->addSeparator();
    addCommand(file, u"mnuFilePrint"_s, u"&Print..."_s, QKeySequence(Qt::CTRL | Qt::Key_P), FrameCommand::Print);
    QAction *preview = file->addAction(drawnIcon(IconKind::PrintPreview), u"Print Pre&view"_s);
    preview->setObjectName(u"mnuFilePrintPreview"_s);
    connect(preview, &QAction::triggered, this, [this] { withPrintable(&PrintableWindow::printPreview); });
    QAction *pdf = file->addAction(drawnIcon(IconKind::ExportPdf), u"Export P&DF..."_s);
    pdf->setObjectName(u"mnuFileExportPdf"_s);
    connect(pdf, &QAction::triggered, this, [this] { withPrintable(&PrintableWindow::exportPdf); });
    file->addSeparator();
    connect(add(u"mnuFileExit"_s, u"E&xit"_s, QKeySequence(Qt::CTRL | Qt::Key_Q)), &QAction::triggered, this,
            &MainFrame::mnuFileExitClick);
    // The list lives in the settings file; read it whenever the menu opens.
    connect(file, &QMenu::aboutToShow, this, &MainFrame::rebuildRecentMenu);
    rebuildRecentMenu();
}

// A command that a child window carries out: a FrameCommand, one line here, and
// handleCommand() in the window.
QAction *MainFrame::addCommand(QMenu *menu, const QString &name, const QString &caption, const QKeySequence &keys,
                               FrameCommand command)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    action->setShortcut(keys);
    m_commandActions.insert(command, action);
    connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
    return action;
}

// The trend window's toolbar as a menu, each command with its key.
void MainFrame::buildTrendMenu()
{
    m_trendMenu = menuBar()->addMenu(u"&Trend"_s);
    m_trendMenu->setObjectName(u"mnuTrend"_s);
    struct Entry
    {
        const char16_t *name;
        const char16_t *caption;
        QKeySequence keys;
        FrameCommand command;
        IconKind icon;
    };
    const Entry entries[] = {
        {u"mnuTrendSetup", u"Trend &Setup...", QKeySequence(Qt::CTRL | Qt::Key_T), FrameCommand::TrendSetup,
         IconKind::Setup},
        {u"mnuTrendDataCursor", u"Show/Hide Data &Cursor", QKeySequence(Qt::CTRL | Qt::Key_D),
         FrameCommand::DataCursor, IconKind::Cursor},
        {u"mnuTrendSaveJpeg", u"Save as &Jpeg...", QKeySequence(Qt::CTRL | Qt::Key_S), FrameCommand::SaveImage,
         IconKind::SaveJpeg},
        {u"mnuTrendPrint", u"&Print Trend...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P),
         FrameCommand::PrintTrend, IconKind::PrintTrend},
        {u"mnuTrendPrintPreview", u"Print Pre&view", QKeySequence(Qt::CTRL | Qt::Key_F2), FrameCommand::TrendPreview,
         IconKind::PrintPreview},
        {u"mnuTrendExportPdf", u"Export P&DF...", QKeySequence(Qt::CTRL | Qt::Key_E), FrameCommand::TrendPdf,
         IconKind::ExportPdf},
        {u"mnuTrendStatistics", u"St&atistics", QKeySequence(Qt::CTRL | Qt::Key_I), FrameCommand::Statistics,
         IconKind::Statistics},
    };
    for (const Entry &entry : entries) {
        QAction *action = addCommand(m_trendMenu, QString::fromUtf16(entry.name), QString::fromUtf16(entry.caption),
                                     entry.keys, entry.command);
        action->setIcon(drawnIcon(entry.icon));
    }
    // Ticked as the trend window shows its panel.
    m_commandActions.value(FrameCommand::Statistics)->setCheckable(true);
}

void MainFrame::showChildMenus()
{
    const QWidget *current = m_mdiArea->currentSubWindow();
    const QList<QAction *> entries = m_trendMenu->actions();
    bool trend = false;
    for (const CommandHandler &handler : std::as_const(m_handlers)) {
        trend = trend
                || (handler.window && handler.window == current
                    && entries.contains(m_commandActions.value(handler.command)));
    }
    m_trendMenu->menuAction()->setVisible(trend);
    // Hidden, its keys must not reach a window in the background either.
    for (QAction *action : entries)
        action->setEnabled(trend);
}

void MainFrame::rebuildRecentMenu()
{
    m_recentMenu->clear();
    QStringList paths;
    steps::ignore([&] { paths = RecentLogs::list(); });
    int number = 0;
    for (const QString &path : std::as_const(paths)) {
        ++number;
        QAction *entry = m_recentMenu->addAction(u"&%1 %2"_s.arg(number).arg(QDir::toNativeSeparators(path)));
        entry->setObjectName(u"mnuFileRecent%1"_s.arg(number));
        connect(entry, &QAction::triggered, this, [this, path] { openRecent(path); });
    }
    m_recentMenu->setEnabled(!paths.isEmpty());
}

void MainFrame::buildWindowMenu()
{
    m_windowMenu = menuBar()->addMenu(u"&Window"_s);
    m_windowMenu->setObjectName(u"mnuWindow"_s);
    // The active child window's own close, with its own rules.
    QAction *close = m_windowMenu->addAction(u"Cl&ose"_s);
    close->setObjectName(u"mnuWindowClose"_s);
    close->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_W)});
    connect(close, &QAction::triggered, this, [this] {
        steps::guarded([&] {
            if (QMdiSubWindow *child = m_mdiArea->currentSubWindow())
                child->close();
        });
    });
    m_windowMenu->addSeparator();
    QAction *tile = m_windowMenu->addAction(u"&Tile"_s);
    tile->setObjectName(u"mnuWindowTile"_s);
    connect(tile, &QAction::triggered, m_mdiArea, &QMdiArea::tileSubWindows);
    QAction *cascade = m_windowMenu->addAction(u"&Cascade"_s);
    cascade->setObjectName(u"mnuWindowCascade"_s);
    connect(cascade, &QAction::triggered, m_mdiArea, &QMdiArea::cascadeSubWindows);
    m_windowMenu->addSeparator();
    connect(m_windowMenu, &QMenu::aboutToShow, this, &MainFrame::rebuildWindowList);
}

void MainFrame::rebuildWindowList()
{
    qDeleteAll(m_windowList);
    m_windowList.clear();
    const QMdiSubWindow *current = m_mdiArea->currentSubWindow();
    int number = 0;
    for (QMdiSubWindow *child : m_mdiArea->subWindowList()) {
        if (!child->isVisible())
            continue;
        QAction *entry = m_windowMenu->addAction(u"&%1 %2"_s.arg(++number).arg(child->windowTitle()));
        entry->setObjectName(u"mnuWindowList%1"_s.arg(number));
        entry->setCheckable(true);
        entry->setChecked(child == current);
        QPointer<QMdiSubWindow> target(child);
        connect(entry, &QAction::triggered, this, [this, target] {
            if (target) {
                if (target->isMinimized())
                    target->showNormal();
                m_mdiArea->setActiveSubWindow(target);
            }
        });
        m_windowList.append(entry);
    }
}

void MainFrame::handleCommand(QWidget *window, FrameCommand command, std::function<void()> run)
{
    m_handlers.removeIf([](const CommandHandler &handler) { return !handler.window; });
    m_handlers.append({window, command, std::move(run)});
    showChildMenus();
}

void MainFrame::setLogOpener(QWidget *window, LogOpener open)
{
    m_openerWindow = window;
    m_opener = std::move(open);
}

void MainFrame::setCommandChecked(FrameCommand command, bool checked)
{
    if (QAction *action = m_commandActions.value(command))
        action->setChecked(checked);
}

void MainFrame::runCommand(FrameCommand command)
{
    steps::guarded([&] {
        const QWidget *current = m_mdiArea->currentSubWindow();
        const CommandHandler *chosen = nullptr;
        for (const CommandHandler &handler : std::as_const(m_handlers)) {
            if (!handler.window || handler.command != command)
                continue;
            if (handler.window == current) {
                chosen = &handler;
                break;
            }
            if (!chosen)
                chosen = &handler;
        }
        if (chosen) {
            const std::function<void()> run = chosen->run; // the list may change while it runs
            run();
        }
    });
}

void MainFrame::openRecent(const QString &path)
{
    steps::guarded([&] {
        if (QFileInfo(path).isFile()) {
            openLog(path);
            return;
        }
        steps::ignore([&] { RecentLogs::remove(path); });
        rebuildRecentMenu();
        msgBox(u"The log file "_s + QDir::toNativeSeparators(path) + u" can no longer be found."_s + u"\r\n"_s
                   + u"It has been removed from the list of recent files."_s,
               MsgIcon::Exclamation, MsgButtons::Ok);
    });
}

void MainFrame::openLog(const QString &path, LogOutcome outcome)
{
    // Before the data file window is on screen the log waits for it (the last
    // one given wins).
    if (const LogOutcome passedOver = std::exchange(m_waitingOutcome, {}))
        passedOver(u"another log was named after it"_s);
    m_waitingLog = path;
    m_waitingOutcome = outcome;
    if (!m_documentShown || !m_openerWindow || !m_opener)
        return;
    m_waitingLog.clear();
    m_waitingOutcome = {};
    std::optional<QString> why = u"it could not be loaded"_s;
    const LogOpener open = m_opener;
    steps::guarded([&] { why = open(path, bool(outcome)); });
    if (!why) {
        // Busy with a load or a plot run: tried again shortly.
        m_waitingLog = path;
        m_waitingOutcome = outcome;
        QTimer::singleShot(RetryMs, this, &MainFrame::openWaitingLog);
        return;
    }
    if (outcome)
        outcome(*why);
}

void MainFrame::openWaitingLog()
{
    const QString path = std::exchange(m_waitingLog, QString());
    if (!path.isEmpty())
        openLog(path, std::exchange(m_waitingOutcome, {}));
}

void MainFrame::receiveLog(const QString &path, LogOutcome outcome, const QString &choice)
{
    // Checked as the same options are on the command line: a choice that cannot be
    // read, or that the file cannot satisfy, is refused and nothing is kept.
    std::optional<logshape::Shape> shape;
    QString why = QDir::isAbsolutePath(path) ? whyNoLogFile(path) : u"its path is not absolute"_s;
    if (why.isEmpty() && !choice.isEmpty()) {
        shape = logshape::Shape::fromText(choice);
        if (!shape)
            why = u"the reading options handed over cannot be read: \""_s + choice + u'"';
        else if (const QString misfit = logshape::misfit(LogDocument::sampleOf(path).first, *shape); !misfit.isEmpty())
            why = u"the reading options do not fit it: "_s + misfit;
    }
    if (!why.isEmpty()) {
        if (outcome)
            outcome(why);
        return;
    }
    if (shape) {
        logDocument().setShapeChoice(path, shape);
        steps::ignore([&] { OpenAsChoices::add(path, *shape); });
    }
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    // Not inside the socket's handler: the load yields to the event loop.
    QTimer::singleShot(0, this, [this, path, outcome] { openLog(path, outcome); });
}

void MainFrame::documentShown()
{
    m_documentShown = true;
    if (!m_waitingLog.isEmpty())
        QTimer::singleShot(0, this, &MainFrame::openWaitingLog);
}

void MainFrame::dragEnterEvent(QDragEnterEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.constFirst().isLocalFile())
        event->acceptProposedAction();
}

void MainFrame::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.constFirst().isLocalFile())
        return;
    event->acceptProposedAction();
    // The grid holds one log: the first file dropped is the one opened.
    const QString path = urls.constFirst().toLocalFile();
    QTimer::singleShot(0, this, [this, path] { openLog(path); });
}

void MainFrame::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(u"sbStatusBar"_s);
    m_statusText = new QLabel(u"Status"_s, bar);
    m_statusText->setObjectName(u"sbStatusPanel1"_s);
    m_dateText = new QLabel(bar);
    m_dateText->setObjectName(u"sbStatusPanel2"_s);
    m_timeText = new QLabel(bar);
    m_timeText->setObjectName(u"sbStatusPanel3"_s);
    for (QLabel *panel : {m_statusText, m_dateText, m_timeText}) {
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setContentsMargins(4, 0, 4, 0);
    }
    bar->addWidget(m_statusText, 1);
    bar->addPermanentWidget(m_dateText);
    bar->addPermanentWidget(m_timeText);
    m_clock = new QTimer(this);
    connect(m_clock, &QTimer::timeout, this, &MainFrame::updateClock);
    m_clock->start(1000);
    updateClock();
}

void MainFrame::updateClock()
{
    const QLocale locale;
    m_dateText->setText(locale.toString(QDate::currentDate(), QLocale::ShortFormat));
    m_timeText->setText(locale.toString(QTime::currentTime(), QLocale::ShortFormat));
}

void MainFrame::restorePlacement()
{
    // Design size first, so that a key that does not convert keeps it.
    resize(twips::toPixelsX(6500), twips::toPixelsY(6500));
    move(twips::toPixelsX(1000), twips::toPixelsY(1000));
    using Edge = PlacementSetting::Edge;
    steps::ignoring({
        [&] { twips::setLeft(*this, MainFramePlacement.read(Edge::Left)); },
        [&] { twips::setTop(*this, MainFramePlacement.read(Edge::Top)); },
        [&] { twips::setWidth(*this, MainFramePlacement.read(Edge::Width)); },
        [&] { twips::setHeight(*this, MainFramePlacement.read(Edge::Height)); },
    });
    fitOnScreen();
}

void MainFrame::fitOnScreen()
{
    // The outer frame counts, where the window system has told it already.
    const QSize border = frameGeometry().size() - size();
    const QRect placed(pos(), size() + border);
    const QScreen *screen = QGuiApplication::screenAt(placed.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect fitted = fitWithin(placed, screen->availableGeometry());
    m_fittedBorder = border;
    resize(fitted.size() - border);
    move(fitted.topLeft());
}

QSize MainFrame::chromeSize()
{
    // Menus, status bar and borders. Measured before a resize: a hidden frame
    // does not lay itself out again when it is resized.
    if (layout())
        layout()->activate();
    return size() - m_mdiArea->contentsRect().size();
}

void MainFrame::fitChild(QWidget &child, bool makeRoom)
{
    const QSize chrome = chromeSize();
    const QRect wanted = child.geometry();
    const QSize reach(std::max(0, wanted.x()) + wanted.width(), std::max(0, wanted.y()) + wanted.height());
    if (makeRoom && (reach.width() > width() - chrome.width() || reach.height() > height() - chrome.height())) {
        resize(size().expandedTo(reach + chrome));
        fitOnScreen();
    }
    child.setGeometry(fitWithin(child.geometry(), QRect(QPoint(0, 0), size() - chrome)));
}

// The frame is fitted while hidden, before the window system has told its
// border. Some tell it as the frame is shown; a window manager puts its border
// around the frame only after that, and tells its size with the move that places
// it there: a frame fitted to the whole screen without it would reach below the
// screen by its title bar. So the frame, and the child windows with it, is fitted
// again whenever the border told differs from the one it was fitted with (a
// later change of decoration too); a move by the user keeps the border and is
// left alone.
void MainFrame::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    m_shownOnce = true;
    followBorder();
}

void MainFrame::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    followBorder();
}

void MainFrame::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    followBorder();
}

void MainFrame::followBorder()
{
    // Maximised or full screen, the window system places the frame itself.
    if (!m_shownOnce || !isVisible() || windowState() != Qt::WindowNoState)
        return;
    if (frameGeometry().size() - size() != m_fittedBorder)
        fitWithChildren();
}

void MainFrame::fitWithChildren()
{
    const QSize chrome = chromeSize();
    fitOnScreen();
    const QRect client(QPoint(0, 0), size() - chrome);
    for (QMdiSubWindow *child : m_mdiArea->subWindowList())
        child->setGeometry(fitWithin(child->geometry(), client));
}

void MainFrame::adopt(QMdiSubWindow *child)
{
    m_mdiArea->addSubWindow(child);
    // Each child's own menu would bind the close keys in the whole frame, and
    // with two children neither would close: Window, Close has them instead.
    if (QMenu *own = child->systemMenu()) {
        for (QAction *action : own->actions())
            action->setShortcuts({});
    }
}

QSizeF MainFrame::clientTwips()
{
    // A hidden frame has not laid itself out yet.
    if (layout())
        layout()->activate();
    return twips::sizeOf(*m_mdiArea);
}

void MainFrame::closeEvent(QCloseEvent *event)
{
    bool confirmed = false;
    steps::ignoring({
        [&] { confirmed = msgBox(u"Exit - are you sure?"_s, MsgIcon::Question, MsgButtons::YesNo) == MsgResult::Yes; },
    });
    if (!confirmed) {
        shared().exitConfirmed = false;
        event->ignore();
        return;
    }
    shared().exitConfirmed = true;
    {
        // Every window's placement reaches the settings file in one write.
        SettingsStore::ChangeSet changes;
        if (!isMinimized())
            MainFramePlacement.store(*this);
        for (QWidget *window : WindowRegistry::loaded()) {
            if (window != this && window->objectName() != u"frmMain"_s)
                steps::ignore([&] { window->close(); });
        }
    }
    event->accept();
    ui().endProgram(0);
}

void MainFrame::withPrintable(void (PrintableWindow::*command)())
{
    // The active child, or the one last active while a menu has the focus.
    auto *window = dynamic_cast<PrintableWindow *>(m_mdiArea->currentSubWindow());
    if (window)
        steps::guarded([&] { (window->*command)(); });
}

void MainFrame::mnuFileExitClick()
{
    steps::reporting(u"mnuFileExit"_s, {[&] { close(); }});
}

void MainFrame::mnuHelpContentsClick() { showHelp(HelpViewer::HelpContents); }
void MainFrame::mnuHelpSearchForHelpOnClick() { showHelp(HelpViewer::HelpPartialKey); }

void MainFrame::showHelp(int command)
{
    steps::guarded([&] {
        if (shared().helpFilePath.isEmpty()) {
            msgBox(u"Unable to display Help Contents. Help is not completed for this project."_s, MsgIcon::Information);
            return;
        }
        try {
            HelpViewer::winHelp(this, shared().helpFilePath, command);
        } catch (...) {
            msgBox(RuntimeError::fromCurrentException().description());
        }
    });
}

void MainFrame::mnuHelpAboutClick()
{
    showAboutBox(this);
}
