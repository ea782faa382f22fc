#include "testregistry.h"

#include <QCoreApplication>

// The main of the widget-free units' tests: a core application, no windows and
// no scripted services.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    return viewertest::runRegistered({});
}
