#include "support/testregistry.h"

#include "core/viewstats.h"
#include "core/writetarget.h"
#include "core/runtimeerror.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Minutes 0 to 5: 1, an empty cell, a mark, 4, 5, and a sample of another channel.
TrendData sixMinutes()
{
    TrendData data;
    const int ch = data.addChannel(u"A"_s);
    const double values[] = {1, std::nan(""), TrendData::Marked, 4, 5, TrendData::Absent};
    for (int i = 0; i < 6; ++i)
        data.setValue(ch, data.appendRow(i / 1440.0, i + 1), values[i]);
    return data;
}

} // namespace

// The statistics the trend window shows of its view, and the writers' refusals:
// rules of the core that the windows only show.
class ViewStatsTest : public QObject
{
    Q_OBJECT

private slots:
    void theViewsSamplesAreCounted_data()
    {
        QTest::addColumn<double>("from"); // minutes
        QTest::addColumn<double>("to");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<qint64>("gaps");
        QTest::addColumn<qint64>("marked");
        QTest::addColumn<double>("max");
        QTest::newRow("every sample") << 0.0 << 5.0 << qint64(3) << qint64(1) << qint64(1) << 5.0;
        QTest::newRow("a sample at the right edge is in view") << 0.0 << 3.0 << qint64(2) << qint64(1) << qint64(1) << 4.0;
        QTest::newRow("and at the left edge") << 3.0 << 4.0 << qint64(2) << qint64(0) << qint64(0) << 5.0;
        QTest::newRow("a gap and a mark, no value") << 0.5 << 2.5 << qint64(0) << qint64(1) << qint64(1) << 0.0;
        QTest::newRow("past the end") << 5.5 << 9.0 << qint64(0) << qint64(0) << qint64(0) << 0.0;
    }

    void theViewsSamplesAreCounted()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(qint64, count);
        const TrendData data = sixMinutes();
        const ViewStats s = viewStats(data, 0, from / 1440, to / 1440);
        QCOMPARE(s.stats.count, count);
        QTEST(s.gaps, "gaps");
        QTEST(s.marked, "marked");
        if (count > 0) {
            QTEST(s.stats.max, "max");
            QTEST(data.value(0, s.maxSample), "max");
        } else {
            QCOMPARE(s.maxSample, -1);
        }
    }

    // No writer writes over a held log under any of its names.
    void aHeldLogIsRefusedUnderEveryName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("error"); // 0: may be written
        QTest::newRow("the log itself") << u"log.csv"_s << int(RuntimeError::LogBeingViewed);
        QTest::newRow("a hard link to it") << u"hard.csv"_s << int(RuntimeError::LogBeingViewed);
        QTest::newRow("a symbolic link to it") << u"soft.csv"_s << int(RuntimeError::LogBeingViewed);
        QTest::newRow("another file") << u"other.csv"_s << 0;
        QTest::newRow("a folder") << u"."_s << int(RuntimeError::NotRegularFile);
    }

    void aHeldLogIsRefusedUnderEveryName()
    {
        QFETCH(QString, name);
        QFETCH(int, error);
        QTemporaryDir dir;
        const QString log = dir.filePath(u"log.csv"_s);
        QFile file(log);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("Date,Time,A\r\n") > 0);
        file.close();
        QVERIFY(::link(QFile::encodeName(log).constData(), QFile::encodeName(dir.filePath(u"hard.csv"_s)).constData()) == 0);
        QVERIFY(QFile::link(log, dir.filePath(u"soft.csv"_s)));
        const writetarget::LogHold hold(log);
        int refused = 0;
        try {
            writetarget::check(dir.filePath(name));
        } catch (const RuntimeError &e) {
            refused = e.number();
        }
        QCOMPARE(refused, error);
    }
};

VIEWER_TEST(ViewStatsTest)
#include "tst_viewstats.moc"
