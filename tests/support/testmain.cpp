#include "testenv.h"
#include "testregistry.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    TestEnv::initProcess();
    QApplication app(argc, argv);
    TestEnv::initApplication();
    return viewertest::runRegistered(TestEnv::reset);
}
