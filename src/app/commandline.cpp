#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

using namespace Qt::StringLiterals;

void describeCommandLine(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        u"Quandel KRN-740 Data Viewer: opens the comma-separated logs of the KRN-740 data logger in a "
        u"read-only grid, plots blocks of cells as a trend, saves and prints them."_s);
    parser.addHelpOption();
    parser.addVersionOption();
}

std::optional<int> answerInfoOptions(int argc, char *argv[])
{
    bool asked = false;
    for (int i = 1; i < argc && !asked; ++i) {
        const QByteArray arg(argv[i]);
        asked = arg == "--help" || arg == "--help-all" || arg == "-h" || arg == "-?" || arg == "--version"
                || arg == "-v";
    }
    if (!asked)
        return std::nullopt;
    // Only Qt's core is started, so this works without a display.
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(u"krn740-viewer"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(VIEWER_VERSION));
    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.process(core); // prints the answer and ends the process
    return 0;
}
