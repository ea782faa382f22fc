#pragma once

#include <QObject>

#include <functional>

// Every test class of a folder registers itself; the folder's one program runs
// them all, or only the class named as its first argument.
namespace viewertest {
int registerTest(const char *name, std::function<QObject *()> factory);
}

#define VIEWER_TEST(Class) \
    static const int Class##Registration = viewertest::registerTest(#Class, [] { return new Class; });
