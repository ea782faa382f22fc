#include "mainframe.h"

#include "aboutbox.h"
#include "helpviewer.h"
#include "printablewindow.h"
#include "settingsstore.h"
#include "sharedstate.h"
#include "steps.h"
#include "uiservices.h"
#include "windowregistry.h"

#include "controls/icons.h"
#include "controls/runtimeerror.h"
#include "controls/twips.h"

#include <QCloseEvent>
#include <QDate>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTime>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {
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
}

MainFrame::~MainFrame() = default;

void MainFrame::buildMenus()
{
    QMenu *file = menuBar()->addMenu(u"&File"_s);
    file->setObjectName(u"mnuFile"_s);
    QAction *preview = file->addAction(drawnIcon(IconKind::PrintPreview), u"Print Pre&view"_s);
    preview->setObjectName(u"mnuFilePrintPreview"_s);
    connect(preview, &QAction::triggered, this, [this] { withPrintable(&PrintableWindow::printPreview); });
    QAction *pdf = file->addAction(drawnIcon(IconKind::ExportPdf), u"Export P&DF..."_s);
    pdf->setObjectName(u"mnuFileExportPdf"_s);
    connect(pdf, &QAction::triggered, this, [this] { withPrintable(&PrintableWindow::exportPdf); });
    file->addSeparator();
    QAction *exit = file->addAction(u"E&xit"_s);
    exit->setObjectName(u"mnuFileExit"_s);
    connect(exit, &QAction::triggered, this, &MainFrame::mnuFileExitClick);

    QMenu *help = menuBar()->addMenu(u"&Help"_s);
    help->setObjectName(u"mnuHelp"_s);
    QAction *contents = help->addAction(u"&Contents"_s);
    contents->setObjectName(u"mnuHelpContents"_s);
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
}

void MainFrame::adopt(QMdiSubWindow *child)
{
    m_mdiArea->addSubWindow(child);
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
    if (!isMinimized())
        MainFramePlacement.store(*this);
    for (QWidget *window : WindowRegistry::loaded()) {
        if (window != this && window->objectName() != u"frmMain"_s)
            steps::ignore([&] { window->close(); });
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
    showAboutBox();
}
