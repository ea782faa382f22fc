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
                                        u"With --export: the columns to plot, by heading or by field number "
                                        u"from 1 (the Date; a heading that is a number goes first), separated "
                                        u"by commas; a heading with a comma is quoted as in the log (\"Temp, C\"). "
                                        u"May be given more than once (default: every value column)."_s,
                                        u"NAME,NAME,..."_s));
    parser.addOption(QCommandLineOption(u"size"_s, u"With --export: the image size in pixels (default 1000x600)."_s,
                                        u"WxH"_s));
    parser.addOption(QCommandLineOption(u"time-column"_s,
                                        u"The column that holds the time, by heading or by field number from 1 "
                                        u"(a heading that is a number goes first); a date column followed by a "
                                        u"time-of-day column gives both. With --export or when opening LOG."_s,
                                        u"NAME|N"_s));
    parser.addOption(QCommandLineOption(u"separator"_s, u"The fields of LOG are separated by , ; or tab."_s,
                                        u",|;|tab"_s));
    parser.addOption(QCommandLineOption(u"decimal"_s, u"The decimal mark of LOG's values: . or , (not with , as the separator)."_s,
                                        u".|,"_s));
    parser.addOption(QCommandLineOption(u"time-unit"_s,
                                        u"How LOG's time column of numbers is read: years, unix-s (seconds since "
                                        u"1970), unix-ms, elapsed-s, elapsed-min or elapsed-h (the time since the "
                                        u"start)."_s,
                                        u"UNIT"_s));
    parser.addOption(QCommandLineOption(u"day-first"_s, u"Numeric dates of LOG are day/month/year."_s));
    parser.addOption(QCommandLineOption(u"month-first"_s, u"Numeric dates of LOG are month/day/year."_s));
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

std::optional<QStringList> splitColumnList(const QString &text, QString *why)
{
    QStringList entries;
    QString entry;
    bool quoted = false;   // this entry started with a quote
    bool inQuotes = false; // and its closing quote is still to come
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (c != u'"')
                entry += c;
            else if (i + 1 < text.size() && text.at(i + 1) == u'"')
                entry += text.at(++i);
            else
                inQuotes = false;
        } else if (c == u',') {
            entries.append(quoted ? entry : entry.trimmed());
            entry.clear();
            quoted = false;
        } else if (c == u'"' && entry.trimmed().isEmpty() && !quoted) {
            entry.clear();
            quoted = inQuotes = true;
        } else {
            entry += c;
        }
    }
    if (inQuotes) {
        if (why)
            *why = u"--columns \""_s + text + u"\": a quote is not closed"_s;
        return std::nullopt;
    }
    entries.append(quoted ? entry : entry.trimmed());
    return entries;
}

std::optional<logshape::Options> shapeOptions(const QCommandLineParser &parser, QString *why)
{
    const auto fail = [why](const QString &text) {
        if (why)
            *why = text;
        return std::nullopt;
    };
    logshape::Options options;
    if (parser.isSet(u"separator"_s)) {
        const QString value = parser.value(u"separator"_s);
        if (value == u","_s || value == u";"_s)
            options.separator = value.front().toLatin1();
        else if (value.compare(u"tab"_s, Qt::CaseInsensitive) == 0 || value == u"\t"_s)
            options.separator = '\t';
        else
            return fail(u"--separator \""_s + value + u"\" is not a separator: give , ; or tab"_s);
    }
    if (parser.isSet(u"decimal"_s)) {
        const QString value = parser.value(u"decimal"_s);
        if (value != u"."_s && value != u","_s)
            return fail(u"--decimal \""_s + value + u"\" is not a decimal mark: give . or ,"_s);
        options.decimal = value.front().toLatin1();
        if (options.decimal == ',' && options.separator == ',')
            return fail(u"--decimal , needs a log whose fields are not separated by commas: give --separator ; or tab"_s);
    }
    if (parser.isSet(u"day-first"_s) && parser.isSet(u"month-first"_s))
        return fail(u"--day-first and --month-first exclude each other: give one"_s);
    if (parser.isSet(u"day-first"_s))
        options.dateOrder = LogValueParser::DateOrder::DayFirst;
    if (parser.isSet(u"month-first"_s))
        options.dateOrder = LogValueParser::DateOrder::MonthFirst;
    if (parser.isSet(u"time-column"_s)) {
        options.timeColumn = parser.value(u"time-column"_s);
        if (options.timeColumn.trimmed().isEmpty())
            return fail(u"--time-column names no column"_s);
    }
    if (parser.isSet(u"time-unit"_s)) {
        const QString value = parser.value(u"time-unit"_s);
        const std::optional<logshape::TimeForm> unit = logshape::timeUnitOf(value);
        if (!unit)
            return fail(u"--time-unit \""_s + value + u"\" is not a time unit: give "_s
                        + logshape::timeUnitNames().join(u", "_s));
        options.timeUnit = *unit;
    }
    return options;
}
