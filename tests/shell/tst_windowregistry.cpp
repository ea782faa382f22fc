#include "support/testenv.h"
#include "support/testregistry.h"

#include "shell/windowregistry.h"

#include <QPointer>
#include <QTest>

namespace {
class Probe : public QWidget
{
public:
    Probe() { setAttribute(Qt::WA_DeleteOnClose); }
};

WindowSlot<Probe> &probe()
{
    static WindowSlot<Probe> slot;
    return slot;
}
} // namespace

class WindowRegistryTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void touchCreatesOnceAndAfreshAfterUnload()
    {
        QVERIFY(!probe().loaded());
        QPointer<Probe> first = &probe().touch();
        QCOMPARE(&probe().touch(), first.data());
        QVERIFY(WindowRegistry::loaded().contains(first.data()));
        probe().unload();
        QVERIFY(!first);
        QVERIFY(!probe().loaded());
        probe().touch();
        QVERIFY(probe().loaded());
    }

    void aClosedWindowIsUnloadedBeforeQtDeletesIt()
    {
        QPointer<Probe> first = &probe().touch();
        QVERIFY(first->close());
        WindowRegistry::markUnloaded(first);
        QVERIFY(first); // deleted only when the event loop runs
        QVERIFY(!probe().loaded());
        QVERIFY(!WindowRegistry::loaded().contains(first.data()));
        Probe &second = probe().touch();
        QVERIFY(&second != first.data());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first);
        QCOMPARE(probe().loaded(), &second);
    }
};

VIEWER_TEST(WindowRegistryTest)
#include "tst_windowregistry.moc"
