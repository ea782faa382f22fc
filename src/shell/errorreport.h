#pragma once

#include <QString>

class RuntimeError;

// The error report: a modal box without icon naming the error and the routine,
// with the request to contact the maker. It decides nothing; the caller goes on
// or ends as its own rules say.
void reportError(const QString &name, const RuntimeError &error);

// The report's text, two lines joined by CR LF.
QString errorReportText(const QString &name, int number, const QString &description);

// When `error` is a refused output file (the log being viewed, or not a regular
// file), shows its own message with the exclamation icon and returns true;
// otherwise shows nothing and returns false. Never throws.
bool showRefusedOutput(const RuntimeError &error);
