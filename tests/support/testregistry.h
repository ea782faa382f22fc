#pragma once

#include <QObject>

#include <functional>

// Every test class of a folder registers itself; the folder's one program runs
// them all, or only the class named as its first argument.
namespace viewertest {
int registerTest(const char *name, std::function<QObject *()> factory);
// Runs the registered classes under the application already made, calling
// `afterEach` (when given) after each; 0 when all passed.
int runRegistered(const std::function<void()> &afterEach);
}

#define VIEWER_TEST(Class) \
    static const int Class##Registration = viewertest::registerTest(#Class, [] { return new Class; });
