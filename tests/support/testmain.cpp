#include "testenv.h"
#include "testregistry.h"

#include <QApplication>
#include <QTest>

#include <cstring>
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

int main(int argc, char *argv[])
{
    TestEnv::initProcess();
    QApplication app(argc, argv);
    TestEnv::initApplication();

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
        TestEnv::reset();
    }
    return failures == 0 ? 0 : 1;
}
