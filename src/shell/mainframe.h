#pragma once

#include "controls/commondialog.h"

#include <QMainWindow>
#include <QSizeF>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class PrintableWindow;
class QTimer;

// The program's multiple-document frame `frmMain`: menus, status bar, the shared
// common dialog `cmdFile`, and the orderly exit. It opens no child window itself;
// child windows adopt() themselves into its document area when they load.
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

    void mnuFileExitClick();
    void mnuHelpContentsClick();
    void mnuHelpSearchForHelpOnClick();
    void mnuHelpAboutClick();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
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
};

// The main frame, created hidden (its placement restored) on first touch.
MainFrame &mainFrame();
MainFrame *loadedMainFrame();
