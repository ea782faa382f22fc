#include "support/testregistry.h"

#include "core/runtimeerror.h"

#include <QTest>

#include <new>
#include <stdexcept>

using namespace Qt::StringLiterals;

class RuntimeErrorTest : public QObject
{
    Q_OBJECT

private slots:
    void classicDescriptions_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");
        QTest::newRow("type mismatch") << 13 << u"Type mismatch"_s;
        QTest::newRow("file not found") << 53 << u"File not found"_s;
        QTest::newRow("permission denied") << 70 << u"Permission denied"_s;
        QTest::newRow("path/file access") << 75 << u"Path/File access error"_s;
        QTest::newRow("out of memory") << 7 << u"Out of memory"_s;
        QTest::newRow("invalid property value") << 380 << u"Invalid property value"_s;
        QTest::newRow("dialog cancel") << 32755 << u"Cancel was selected."_s;
        QTest::newRow("unknown number") << 12345 << QString();
    }

    void classicDescriptions()
    {
        QFETCH(int, number);
        QFETCH(QString, description);
        const RuntimeError e(number);
        QCOMPARE(e.number(), number);
        QCOMPARE(e.description(), description);
    }

    void foreignExceptionsMapToClassicNumbers()
    {
        auto numberOf = [](auto thrower) {
            try {
                thrower();
            } catch (...) {
                return RuntimeError::fromCurrentException().number();
            }
            return -1;
        };
        QCOMPARE(numberOf([] { throw RuntimeError(75); }), 75);
        QCOMPARE(numberOf([] { throw std::bad_alloc(); }), 7);
        QCOMPARE(numberOf([] { throw std::runtime_error("boom"); }), 51);
        QCOMPARE(numberOf([] { throw 42; }), 51);
    }
};

VIEWER_TEST(RuntimeErrorTest)
#include "tst_runtimeerror.moc"
