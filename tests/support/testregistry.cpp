#include "testregistry.h"

#include <QCoreApplication>
#include <QTest>

#include <map>
#include <memory>

namespace {
std::map<std::string, std::function<QObject *()>> &registry()
{
    static std::map<std::string, std::function<QObject *()>> tests;
    return tests;
}
} // namespace

int viewertest::registerTest(const char *name, std::function<QObject *()> factory)
{
    registry()[name] = std::move(factory);
    return int(registry().size());
}

int viewertest::runRegistered(const std::function<void()> &afterEach)
{
    QStringList args = QCoreApplication::arguments();
    QString only;
    if (args.size() > 1 && registry().count(args.at(1).toStdString())) {
        only = args.takeAt(1);
    }
    int failures = 0;
    for (const auto &[name, factory] : registry()) {
        if (!only.isEmpty() && only != QString::fromStdString(name))
            continue;
        std::unique_ptr<QObject> test(factory());
        failures += QTest::qExec(test.get(), args);
        if (afterEach)
            afterEach();
    }
    return failures == 0 ? 0 : 1;
}
