#include "commandline.h"

#include <QCommandLineOption>
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
    parser.addOption(QCommandLineOption(
        u"export"_s,
        u"Writes the trend of LOG to OUT without a window and exits: PNG, JPEG, SVG or PDF by OUT's "
        u"extension. Exit code 0 when written, else 1 with the reason on standard error."_s,
        u"OUT"_s));
    parser.addOption(QCommandLineOption(u"columns"_s,
                                        u"With --export: the columns to plot, by heading (default: every value "
                                        u"column)."_s,
                                        u"NAME,NAME,..."_s));
    parser.addOption(QCommandLineOption(u"size"_s, u"With --export: the image size in pixels (default 1000x600)."_s,
                                        u"WxH"_s));
    parser.addPositionalArgument(u"LOG"_s, u"A log file (.csv) to open at start, or to export."_s, u"[LOG]"_s);
}

bool asksForExport(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--export" || arg.startsWith("--export="))
            return true;
    }
    return false;
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
