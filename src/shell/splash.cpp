#include "splash.h"

#include "mainframe.h"
#include "settingsstore.h"
#include "sharedstate.h"
#include "steps.h"
#include "uiservices.h"
#include "windowregistry.h"

#include "core/runtimeerror.h"
#include "controls/twips.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {
QPointer<Splash> g_splash;

// The help file beside the program (as the build tree has it), else in the data
// folder of the install the program belongs to. Never the current folder, which
// may hold anyone's file of that name. Without one, the place beside the program,
// which the Help menu then reports as missing.
QString locateHelpFile()
{
    const QString name = u"KRN740 DATA VIEWER HELP.HLP"_s;
    const QString programDir = QCoreApplication::applicationDirPath();
    const QString candidates[] = {
        programDir + u'/' + name,
        QDir::cleanPath(programDir + u'/' + QStringLiteral(VIEWER_DATA_FROM_PROGRAM) + u'/' + name),
    };
    for (const QString &path : candidates)
        if (QFileInfo(path).isFile())
            return QDir::toNativeSeparators(path);
    return QDir::toNativeSeparators(candidates[0]);
}
} // namespace

Splash *Splash::current() { return g_splash.data(); }

Splash *Splash::start(StartupHooks hooks)
{
    auto *splash = new Splash(std::move(hooks));
    g_splash = splash;
    WindowRegistry::track(splash);
    splash->load();
    if (!programEnded()) {
        if (const QScreen *screen = splash->screen())
            splash->move(screen->availableGeometry().center() - splash->rect().center());
        splash->show();
    }
    return splash;
}

Splash::Splash(StartupHooks hooks)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_hooks(std::move(hooks))
{
    setObjectName(u"frmSplash"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    const QPixmap pixmap = picture();
    setFixedSize(pixmap.size());

    m_image = new QLabel(this);
    m_image->setObjectName(u"Image1"_s);
    m_image->setPixmap(pixmap);
    m_image->setGeometry(0, 0, pixmap.width(), pixmap.height());

    m_label = new QLabel(u"Initializing System, Please Wait!"_s, this);
    m_label->setObjectName(u"splashLabel"_s);
    QFont font(u"MS Sans Serif"_s, 10, QFont::Bold);
    font.setStyleHint(QFont::SansSerif);
    m_label->setFont(font);
    m_label->setAttribute(Qt::WA_TranslucentBackground);
    m_label->setStyleSheet(u"background: transparent; color: white;"_s);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setGeometry(0, pixmap.height() - 46, pixmap.width(), 24);

    m_timer = new QTimer(this);
    m_timer->setObjectName(u"Timer1"_s);
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &Splash::timerTick);
    m_timer->start();
}

void Splash::load()
{
    // Step 1 runs outside the trap: the main frame's own load ignores its errors.
    shared().fileDialog = &mainFrame().cmdFile();
    if (programEnded())
        return;
    try {
        m_theCount = 1;
        shared().startDir = QDir::toNativeSeparators(QDir::currentPath());
        shared().helpFilePath = locateHelpFile();
        checkPrevInstance();
        if (programEnded())
            return;
        mainFrame().setWindowTitle(appTitle());
    } catch (...) {
        initFailure();
    }
}

void Splash::checkPrevInstance()
{
    if (!m_hooks.anotherInstanceRunning || !m_hooks.anotherInstanceRunning())
        return;
    m_timer->stop();
    msgBox(u"Lumet Viewer is already running! Please check the"_s + u"\r\n"_s
               + u"taskbar or background window for active version."_s,
           MsgIcon::Question, MsgButtons::Ok);
    ui().endProgram(0);
}

void Splash::initFailure()
{
    m_initFailed = true;
    msgBox(u"Lumet Viewers has encountered and error while initializing data."_s + u"\r\n"_s
               + u"This is probably due to a file that is missing."_s + u"\r\n"_s
               + u"Please re-install the Lumet data viewer from the CD or orig source."_s,
           MsgIcon::Critical, MsgButtons::Ok);
    ui().endProgram(1);
}

void Splash::timerTick()
{
    if (m_initFailed || programEnded())
        return;
    const QString name = u"splashScreenTimer1"_s;
    bool goOn = false;
    steps::report(name, [&] {
        if (m_theCount == std::numeric_limits<qint16>::max())
            throw RuntimeError(RuntimeError::Overflow);
        ++m_theCount;
        goOn = m_theCount > 10;
    });
    if (!goOn)
        return;

    using Edge = PlacementSetting::Edge;
    QWidget *window = nullptr;
    auto need = [&]() -> QWidget & {
        if (!window)
            throw RuntimeError(RuntimeError::ObjectNotSet);
        return *window;
    };
    steps::reporting(name, {
        [&] { m_timer->stop(); },
        [&] { window = m_hooks.openDataFileWindow ? m_hooks.openDataFileWindow() : nullptr; },
        [&] { twips::setLeft(need(), DataFilePlacement.read(Edge::Left, mainFrame().clientTwips())); },
        [&] { twips::setTop(need(), DataFilePlacement.read(Edge::Top, mainFrame().clientTwips())); },
        [&] { twips::setWidth(need(), DataFilePlacement.read(Edge::Width, mainFrame().clientTwips())); },
        [&] { twips::setHeight(need(), DataFilePlacement.read(Edge::Height, mainFrame().clientTwips())); },
        [&] { mainFrame().fitChild(need(), true); },
        [&] {
            mainFrame().show();
            need().show();
            mainFrame().documentShown();
        },
        [&] { close(); },
    });
}

QPixmap Splash::picture()
{
    QPixmap pixmap(400, 287);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 287);
    sky.setColorAt(0, QColor(12, 32, 64));
    sky.setColorAt(1, QColor(4, 12, 28));
    p.fillRect(pixmap.rect(), sky);

    // A faint chart grid with two traces, the picture of what the program does.
    p.setPen(QPen(QColor(255, 255, 255, 28), 1));
    for (int x = 20; x < 400; x += 40)
        p.drawLine(x, 90, x, 220);
    for (int y = 90; y <= 220; y += 26)
        p.drawLine(20, y, 380, y);
    QPainterPath green, amber;
    for (int x = 20; x <= 380; x += 4) {
        const double t = (x - 20) / 360.0;
        const double g = 190 - 70 * t - 18 * std::sin(t * 19.0);
        const double a = 150 + 30 * std::sin(t * 7.0) - 20 * t;
        if (x == 20) {
            green.moveTo(x, g);
            amber.moveTo(x, a);
        } else {
            green.lineTo(x, g);
            amber.lineTo(x, a);
        }
    }
    p.setPen(QPen(QColor(80, 220, 120), 2));
    p.drawPath(green);
    p.setPen(QPen(QColor(255, 190, 60), 2));
    p.drawPath(amber);

    p.setPen(Qt::white);
    QFont title(u"Arial"_s, 20, QFont::Bold);
    title.setStyleHint(QFont::SansSerif);
    p.setFont(title);
    p.drawText(QRect(0, 18, 400, 36), Qt::AlignCenter, u"KRN-740 Data Viewer"_s);
    QFont sub(u"Arial"_s, 10);
    sub.setStyleHint(QFont::SansSerif);
    p.setFont(sub);
    p.setPen(QColor(180, 200, 230));
    p.drawText(QRect(0, 54, 400, 20), Qt::AlignCenter, u"Quandel data logger files"_s);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return pixmap;
}
