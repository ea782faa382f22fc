#pragma once

#include <QString>

// The file name of a path, for the trend window's status bar. Spaces around the
// path are dropped; then everything up to each separator ("\" or "/") is removed,
// except that a path beginning with a backslash, such as the network path
// "\\srv\logs\a.csv", is returned whole. "C:\logs\" gives an empty text.
QString stripPath(const QString &path);
