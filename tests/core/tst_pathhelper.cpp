#include "support/testregistry.h"

#include "core/pathhelper.h"

#include <QTest>

using namespace Qt::StringLiterals;

class PathHelperTest : public QObject
{
    Q_OBJECT

private slots:
    void stripPathGivesTheFileName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("drive and folder") << u"C:\\logs\\run1.csv"_s << u"run1.csv"_s;
        QTest::newRow("spaces around") << u"  run1.csv  "_s << u"run1.csv"_s;
        QTest::newRow("folder only") << u"C:\\logs\\"_s << QString();
        QTest::newRow("network path comes back whole") << u"\\\\srv\\logs\\a.csv"_s << u"\\\\srv\\logs\\a.csv"_s;
        QTest::newRow("leading backslash comes back whole") << u"\\logs\\a.csv"_s << u"\\logs\\a.csv"_s;
        QTest::newRow("doubled backslash stops there") << u"C:\\logs\\\\a.csv"_s << u"\\a.csv"_s;
        QTest::newRow("plain name") << u"run1.csv"_s << u"run1.csv"_s;
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("spaces only") << u"   "_s << QString();
        QTest::newRow("spaces inside the name stay") << u"C:\\my logs\\run 1.csv "_s << u"run 1.csv"_s;
        QTest::newRow("Linux path") << u"/home/op/logs/run2.csv"_s << u"run2.csv"_s;
        QTest::newRow("relative Linux path") << u"logs/run2.csv"_s << u"run2.csv"_s;
        QTest::newRow("Linux folder") << u"/home/op/logs/"_s << QString();
        QTest::newRow("mixed separators") << u"C:/logs\\run3.csv"_s << u"run3.csv"_s;
        QTest::newRow("Linux name with a space before") << u" /tmp/a b.csv"_s << u"a b.csv"_s;
    }

    void stripPathGivesTheFileName()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(stripPath(path), name);
    }
};

VIEWER_TEST(PathHelperTest)
#include "tst_pathhelper.moc"
