#pragma once

#include "core/logshape.h"

#include <QString>
#include <QStringList>

#include <optional>

class QCommandLineParser;

// The options and arguments the program understands, for its --help text and
// for reading them.
void describeCommandLine(QCommandLineParser &parser);

// Whether the arguments ask for --export, which needs no display.
bool asksForExport(int argc, char *argv[]);

// Answers --help and --version (also -h, -?, -v) on standard output without a
// display and gives the exit code; nothing when neither was asked for. An unknown
// option given with them is told on standard error, exit code 1.
std::optional<int> answerInfoOptions(int argc, char *argv[]);

// The entries of one --columns value, split at commas as a line of the log is: an
// entry that starts with a double quote may hold commas, and a doubled quote in it
// is one quote. Entries outside quotes are trimmed. Nothing when a quote is left
// open; `why` then says so.
std::optional<QStringList> splitColumnList(const QString &text, QString *why);

// The shape options (--time-column, --separator, --decimal, --day-first, --month-first) as
// given; nothing when a value is not one they take, `why` then says so in one line.
std::optional<logshape::Options> shapeOptions(const QCommandLineParser &parser, QString *why);
