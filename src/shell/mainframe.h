#pragma once

#include "controls/commondialog.h"

#include <QList>
#include <QMap>
#include <QMainWindow>
#include <QPointer>
#include <QSizeF>

#include <functional>
#include <optional>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class PrintableWindow;
class QTimer;

// Menu commands that child windows carry out: the File menu's, and the Trend
// menu's, which is on the menu bar while the window that carries them out is the
// active one.
enum class FrameCommand {
    Open,
    OpenAs,
    Print,
    Reload,
    Follow,
    Plot,
    TrendSetup,
    DataCursor,
    SaveImage,
    PrintTrend,
    TrendPreview,
    TrendPdf,
    Statistics,
};

// The program's multiple-document frame `frmMain`: menus, status bar, the shared
// common dialog `cmdFile`, and the orderly exit. It opens no child window itself;
// child windows adopt() themselves into its document area when they load, and
// register the File menu commands they carry out.
class MainFrame : public QMainWindow
{
    Q_OBJECT

public:
    MainFrame();
    ~MainFrame() override;

    CommonDialog &cmdFile() { return m_cmdFile; }
    QMdiArea *mdiArea() const { return m_mdiArea; }

    // Puts a child window into the document area (hidden until it is shown).
    void adopt(QMdiSubWindow *child);
    // The client area that child windows are placed in, in twips.
    QSizeF clientTwips();
    // Brings a placed child window wholly into the client area; with `makeRoom` the
    // frame first grows, as far as the screen allows, to hold the child where it
    // was placed.
    void fitChild(QWidget &child, bool makeRoom);

    // `window` carries out `command` while it is the current child window; the
    // first window that registered the command carries it out otherwise. The
    // registration ends with the window. The Trend menu shows, its commands
    // enabled, while the current child window carries them out.
    void handleCommand(QWidget *window, FrameCommand command, std::function<void()> run);
    // `window` opens a log named by its path (recent list, command line, a later
    // start of the program, a drop), as its Open command would. `open` is told
    // whether a later start handed the log over (then a log that does not load
    // leaves the one shown as it was); it returns nothing when the window is busy
    // and cannot take the log now, else why the log was not opened (empty: it was).
    using LogOpener = std::function<std::optional<QString>(const QString &path, bool handedOver)>;
    void setLogOpener(QWidget *window, LogOpener open);
    // What became of a log given to open: an empty text once it is open, else why not.
    using LogOutcome = std::function<void(const QString &why)>;
    // Opens the log at `path`. Before start-up has shown the data file window, or
    // while that window is busy, the path waits (the last one given wins).
    void openLog(const QString &path, LogOutcome outcome = {});
    // A log handed over by a later start: the frame comes to the front and opens it.
    // A path that is no readable file is refused before the data file window sees
    // it, so that the log it shows stays.
    // `choice` (Shape::toText, empty: none) is the shape that start chose for the log.
    void receiveLog(const QString &path, LogOutcome outcome = {}, const QString &choice = {});
    // Start-up has shown the data file window: a waiting log opens once the event
    // loop has painted it.
    void documentShown();

    // A File menu command, carried out by the window that registered it.
    void runCommand(FrameCommand command);
    // The tick of a File menu command that is a toggle (Follow), as the window
    // that carries it out has it.
    void setCommandChecked(FrameCommand command, bool checked);
    // An entry of File, Open Recent: opens the log, or takes a vanished one off the list.
    void openRecent(const QString &path);
    void mnuFileExitClick();
    void mnuHelpContentsClick();
    void mnuHelpSearchForHelpOnClick();
    void mnuHelpAboutClick();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    struct CommandHandler
    {
        QPointer<QWidget> window;
        FrameCommand command;
        std::function<void()> run;
    };

    QMap<FrameCommand, QAction *> m_commandActions;

    void buildMenus();
    void buildFileMenu();
    void buildTrendMenu();
    void buildWindowMenu();
    QAction *addCommand(QMenu *menu, const QString &name, const QString &caption, const QKeySequence &keys,
                        FrameCommand command);
    // The Trend menu shown while the current child window carries out its commands.
    void showChildMenus();
    void rebuildRecentMenu();
    void rebuildWindowList();
    void fitOnScreen();
    // The frame and its child windows fitted again once the window system tells
    // a border other than the one the frame was last fitted with.
    void followBorder();
    void fitWithChildren();
    QSize chromeSize();
    void openWaitingLog();
    void buildStatusBar();
    void restorePlacement();
    void showHelp(int command);
    void updateClock();
    // File, Print Preview and Export PDF...: the command of the active child window.
    void withPrintable(void (PrintableWindow::*command)());

    CommonDialog m_cmdFile;
    QMdiArea *m_mdiArea = nullptr;
    QLabel *m_statusText = nullptr;
    QLabel *m_dateText = nullptr;
    QLabel *m_timeText = nullptr;
    QTimer *m_clock = nullptr;
    QMenu *m_recentMenu = nullptr;
    QMenu *m_windowMenu = nullptr;
    QMenu *m_trendMenu = nullptr;
    QList<QAction *> m_windowList;
    QList<CommandHandler> m_handlers;
    QPointer<QWidget> m_openerWindow;
    LogOpener m_opener;
    QString m_waitingLog;
    LogOutcome m_waitingOutcome;
    bool m_documentShown = false;
    bool m_shownOnce = false;
    // The outer frame's extra size that the last fitting counted.
    QSize m_fittedBorder;
};

// The main frame, created hidden (its placement restored) on first touch.
MainFrame &mainFrame();
MainFrame *loadedMainFrame();
