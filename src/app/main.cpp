#include "commandline.h"

#include "controls/icons.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "shell/singleinstance.h"
#include "shell/splash.h"
#include "shell/uiservices.h"
#include "shell/windowregistry.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {
void warn(const QString &text)
{
    std::fprintf(stderr, "krn740-viewer: %s\n", qPrintable(text));
}
} // namespace

int main(int argc, char *argv[])
{
    if (const std::optional<int> answered = answerInfoOptions(argc, argv))
        return *answered;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KRN-740 Data Viewer"));
    QApplication::setWindowIcon(drawnIcon(IconKind::App));

    QCommandLineParser parser;
    parser.addPositionalArgument(u"LOG"_s, u"A log file (.csv) to open at start."_s, u"[LOG]"_s);
    parser.process(app);
    const QStringList positional = parser.positionalArguments();
    const QString log = positional.isEmpty() ? QString() : QFileInfo(positional.constFirst()).absoluteFilePath();

    // A log named while a viewer runs goes to that viewer, which opens it.
    SingleInstance instance;
    const SingleInstance::State lock = instance.acquire();
    if (lock == SingleInstance::State::HeldByLiveCopy && !log.isEmpty()
        && SingleInstance::handOver(SingleInstance::defaultLockPath(), log))
        return 0;
    if (lock == SingleInstance::State::Unusable)
        warn(u"warning: "_s + instance.problem() + u"; starting without the check for a viewer that runs already."_s);
    if (lock == SingleInstance::State::Acquired
        && !instance.listen([](const QString &path) { mainFrame().receiveLog(path); }))
        warn(u"warning: logs named at a later start cannot be handed over to this viewer."_s);

    StartupHooks hooks;
    hooks.openDataFileWindow = [] { return static_cast<QWidget *>(&frmHistory()); };
    hooks.anotherInstanceRunning = [lock] { return lock == SingleInstance::State::HeldByLiveCopy; };
    Splash::start(hooks);
    if (programEnded())
        return programExitCode();
    if (!log.isEmpty())
        mainFrame().openLog(log); // waits until the data file window has appeared

    const int rc = QApplication::exec();
    WindowRegistry::unloadAll();
    return rc;
}
