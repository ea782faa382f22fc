#include "commandline.h"

#include "controls/icons.h"
#include "logview/batchexport.h"
#include "logview/datafilewindow.h"
#include "core/logdocument.h"
#include "shell/mainframe.h"
#include "shell/openlog.h"
#include "shell/settingsstore.h"
#include "shell/steps.h"
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

// Only the one line of the export's answer goes to standard error, not what Qt
// has to say about the platform without a display.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtFatalMsg)
        warn(text);
}

// --export: the trend written without a window; 0 when written, else 1 with one
// line saying why. Never hands over to a running viewer.
int exportMain(const QCommandLineParser &parser)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        warn(u"--export needs exactly one log file, given %1"_s.arg(positional.size()));
        return 1;
    }
    batchexport::Request request;
    request.outFile = parser.value(u"export"_s);
    request.logFile = positional.constFirst();
    // Each --columns adds its entries, in order.
    for (const QString &value : parser.values(u"columns"_s)) {
        if (value.trimmed().isEmpty()) {
            warn(u"--columns names no column"_s);
            return 1;
        }
        QString why;
        const std::optional<QStringList> entries = splitColumnList(value, &why);
        if (!entries) {
            warn(why);
            return 1;
        }
        request.columns += *entries;
    }
    if (parser.isSet(u"size"_s))
        request.size = parser.value(u"size"_s);
    QString badOption;
    const std::optional<logshape::Options> shape = shapeOptions(parser, &badOption);
    if (!shape) {
        warn(badOption);
        return 1;
    }
    request.shape = *shape;
    const QString why = batchexport::run(request);
    if (why.isEmpty())
        return 0;
    warn(why);
    return 1;
}
} // namespace

int main(int argc, char *argv[])
{
    if (const std::optional<int> answered = answerInfoOptions(argc, argv))
        return *answered;
    const bool exporting = asksForExport(argc, argv);
    if (exporting) {
        // Drawn in memory: no display is needed, and no window appears on one.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quietMessages);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KRN-740 Data Viewer"));
    QApplication::setWindowIcon(drawnIcon(IconKind::App));

    QCommandLineParser parser;
    describeCommandLine(parser);
    if (exporting) {
        if (!parser.parse(QCoreApplication::arguments())) {
            warn(parser.errorText());
            return 1;
        }
        return exportMain(parser);
    }
    parser.process(app);
    if (parser.isSet(u"columns"_s) || parser.isSet(u"size"_s)) {
        warn(u"--columns and --size go with --export"_s);
        return 1;
    }
    const QStringList positional = parser.positionalArguments();
    const QString log = positional.isEmpty() ? QString() : QFileInfo(positional.constFirst()).absoluteFilePath();
    // The shape options choose how the log is read, here or in the viewer it goes to.
    QString badOption;
    const std::optional<logshape::Options> options = shapeOptions(parser, &badOption);
    std::optional<logshape::Shape> choice;
    if (options && options->any()) {
        if (log.isEmpty())
            badOption = u"--time-column, --time-unit, --separator, --decimal, --day-first and --month-first go with a log"_s;
        else
            choice = LogDocument::chooseShape(log, *options, &badOption);
    }
    if (!badOption.isEmpty()) {
        warn(badOption);
        return 1;
    }

    // A log named while a viewer runs goes to that viewer, which opens it; this
    // start ends with 0 once it has, else with 1 and the reason.
    SingleInstance instance;
    const SingleInstance::State lock = instance.acquire();
    if (lock == SingleInstance::State::HeldByLiveCopy && !log.isEmpty()) {
        const QString why = SingleInstance::handOver(instance.lockPath(), log, choice ? choice->toText() : QString());
        if (why.isEmpty())
            return 0;
        warn(why);
        return 1;
    }
    if (lock == SingleInstance::State::Unusable)
        warn(u"warning: "_s + instance.problem() + u"; starting without the check for a viewer that runs already."_s);
    if (lock == SingleInstance::State::Acquired
        && !instance.listen([](const QString &path, const QString &chosen, SingleInstance::Reply reply) {
               mainFrame().receiveLog(path, std::move(reply), chosen);
           }))
        warn(u"warning: logs named at a later start cannot be handed over to this viewer."_s);

    StartupHooks hooks;
    hooks.openDataFileWindow = [] { return static_cast<QWidget *>(&frmHistory()); };
    hooks.anotherInstanceRunning = [lock] { return lock == SingleInstance::State::HeldByLiveCopy; };
    Splash::start(hooks);
    if (programEnded())
        return programExitCode();
    if (choice) {
        logDocument().setShapeChoice(log, choice);
        steps::ignore([&] { OpenAsChoices::add(log, *choice); });
    }
    if (!log.isEmpty())
        mainFrame().openLog(log); // waits until the data file window has appeared

    const int rc = QApplication::exec();
    WindowRegistry::unloadAll();
    return rc;
}
