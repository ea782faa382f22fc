#include "commandline.h"

#include "controls/icons.h"
#include "logview/datafilewindow.h"
#include "shell/singleinstance.h"
#include "shell/splash.h"
#include "shell/uiservices.h"
#include "shell/windowregistry.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    if (const std::optional<int> answered = answerInfoOptions(argc, argv))
        return *answered;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KRN-740 Data Viewer"));
    QApplication::setWindowIcon(drawnIcon(IconKind::App));

    SingleInstance instance;
    StartupHooks hooks;
    hooks.openDataFileWindow = [] { return static_cast<QWidget *>(&frmHistory()); };
    hooks.anotherInstanceRunning = [&instance] { return !instance.tryAcquire(); };
    Splash::start(hooks);
    if (programEnded())
        return programExitCode();

    const int rc = QApplication::exec();
    WindowRegistry::unloadAll();
    return rc;
}
