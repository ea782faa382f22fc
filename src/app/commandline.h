#pragma once

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
