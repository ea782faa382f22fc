#include "startup.h"

#include "logview/datafilewindow.h"
#include "shell/splash.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace TestStartup {

Splash *begin(bool anotherInstance)
{
    StartupHooks hooks;
    hooks.openDataFileWindow = [] { return static_cast<QWidget *>(&frmHistory()); };
    hooks.anotherInstanceRunning = [anotherInstance] { return anotherInstance; };
    Splash *splash = Splash::start(hooks);
    splash->timer()->stop(); // the test ticks by hand
    return splash;
}

void finish(Splash *splash)
{
    QPointer<Splash> guard(splash);
    for (int i = 0; i < 10 && guard; ++i)
        splash->timerTick();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void run()
{
    finish(begin());
}

} // namespace TestStartup
