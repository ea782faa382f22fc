#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/plotcontrol.h"
#include "controls/trendpicture.h"
#include "core/trenddata.h"
#include "shell/settingsstore.h"
#include "trendsetup/trendmemory.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(TimeScale)

namespace {

// A plot with one channel per title, each with one point.
void addChannels(PlotControl &plot, const QStringList &titles)
{
    for (const QString &title : titles) {
        PlotChannel channel = plot.Channel(plot.AddChannel());
        channel.setTitleText(title);
        channel.AddXY(45000, 1);
    }
}

} // namespace

class TrendMemoryTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void aColumnsSetupComesBackAfterARestart_data()
    {
        QTest::addColumn<QString>("heading");
        QTest::newRow("plain") << u"Temp"_s;
        // Characters the settings file gives a meaning of its own.
        QTest::newRow("separators and key syntax") << u" Wind/Gust\\avg=%, [max] äöü"_s;
    }

    // What one trend was set up with reaches the next trend of the same columns
    // through the settings file alone, whatever order the columns come in.
    void aColumnsSetupComesBackAfterARestart()
    {
        QFETCH(QString, heading);
        {
            PlotControl first;
            addChannels(first, {u"Other"_s, heading});
            first.Channel(0).setColor(0x00FF00);
            first.Channel(1).setColor(0x123456);
            first.Channel(1).setTraceLineWidth(3);
            first.Channel(1).setYAxisIndex(1);
            first.XAxis(0).setDateTimeFormat(u"d mmm h:nn:ss am/pm"_s);
            first.setBackGroundColor(0x202020);
            first.XAxis(0).setMinorCount(4);
            first.YAxis(0).setMinorCount(6);
            trendmemory::remember(first);
        }
        // A restart: the store holds nothing but what the file brings back.
        QFile file(TestEnv::settingsFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray kept = file.readAll();
        file.close();
        TestEnv::clearSettings();
        QVERIFY(!trendmemory::pen(heading));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kept);
        file.close();

        PlotControl next;
        addChannels(next, {heading, u"New"_s, u"Other"_s});
        trendmemory::applyTo(next);
        QCOMPARE(next.Channel(0).Color(), OleColor(0x123456));
        QCOMPARE(next.Channel(0).TraceLineWidth(), 3);
        QCOMPARE(next.Channel(0).YAxisIndex(), 1);
        // A column never set up keeps its default pen.
        QCOMPARE(next.Channel(1).Color(), PlotControl::defaultChannelColor(1));
        QCOMPARE(next.Channel(1).YAxisIndex(), 0);
        QCOMPARE(next.Channel(2).Color(), OleColor(0x00FF00));
        QCOMPARE(next.Channel(2).YAxisIndex(), 0);
        QCOMPARE(next.XAxis(0).DateTimeFormat(), u"d mmm h:nn:ss am/pm"_s);
        QCOMPARE(next.BackGroundColor(), OleColor(0x202020));
        QCOMPARE(next.XAxis(0).MinorCount(), 4);
        QCOMPARE(next.YAxis(0).MinorCount(), 6);
    }

    void aKeptColourIsNotGivenToASecondColumn_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("keptHeadings");
        QTest::addColumn<QList<int>>("kept"); // a default colour's place, or -1: one of no place
        QTest::addColumn<QList<int>>("colors"); // the same, per channel
        QTest::newRow("kept is a later column's default")
            << QStringList{u"Temp"_s, u"Pressure"_s, u"Wind"_s} << QStringList{u"Pressure"_s} << QList<int>{2}
            << QList<int>{0, 2, 1};
        QTest::newRow("kept is an earlier column's default")
            << QStringList{u"Temp"_s, u"Wind"_s} << QStringList{u"Wind"_s} << QList<int>{0} << QList<int>{1, 0};
        QTest::newRow("no clash: defaults stay") << QStringList{u"Temp"_s, u"Pressure"_s, u"Wind"_s}
                                                 << QStringList{u"Pressure"_s} << QList<int>{-1} << QList<int>{0, -1, 2};
        // Each colour given away is taken: the two later columns do not both get
        // the first free one.
        QTest::newRow("two kept are two later columns' defaults")
            << QStringList{u"A"_s, u"B"_s, u"C"_s, u"D"_s} << QStringList{u"A"_s, u"B"_s} << QList<int>{2, 3}
            << QList<int>{2, 3, 0, 1};
        // The 25th column's colour is the first's, dashed: no clash, though a
        // default colour is free.
        QStringList many;
        QList<int> places;
        for (int i = 0; i < 25; ++i) {
            many << u"Col %1"_s.arg(i + 1);
            places << (i == 3 ? -1 : i % PlotControl::DefaultColorCount);
        }
        QTest::newRow("a dashed column in a colour taken solid") << many << QStringList{u"Col 4"_s} << QList<int>{-1}
                                                                 << places;
    }

    void aKeptColourIsNotGivenToASecondColumn()
    {
        QFETCH(QStringList, titles);
        QFETCH(QStringList, keptHeadings);
        QFETCH(QList<int>, kept);
        QFETCH(QList<int>, colors);
        const auto colorAt = [](int place) {
            return place < 0 ? OleColor(0x123456) : PlotControl::defaultChannelColor(place);
        };
        for (qsizetype k = 0; k < keptHeadings.size(); ++k)
            trendmemory::rememberPen(keptHeadings[k], {colorAt(kept[k]), 1, 0});
        PlotControl plot;
        addChannels(plot, titles);
        trendmemory::applyTo(plot);
        for (int i = 0; i < titles.size(); ++i)
            QCOMPARE(plot.Channel(i).Color(), colorAt(colors[i]));
    }

    void theKeptLabelFormatIsForDatesOnly_data()
    {
        QTest::addColumn<TimeScale>("scale");
        QTest::addColumn<QString>("format"); // the new trend's
        QTest::addColumn<QString>("kept");   // after its setup is kept
        QTest::newRow("calendar times") << TimeScale::Calendar << u"d mmm h:nn"_s << u"hh:nn"_s;
        QTest::newRow("elapsed time") << TimeScale::Elapsed << u"Automatic"_s << u"d mmm h:nn"_s;
        QTest::newRow("years") << TimeScale::Years << u"Automatic"_s << u"d mmm h:nn"_s;
    }

    // Durations and years have labels of their own: a new trend of them, on the
    // plot or as a picture, does not take the format kept from a trend of dates,
    // and keeping its setup leaves that format for the next trend of dates.
    void theKeptLabelFormatIsForDatesOnly()
    {
        QFETCH(TimeScale, scale);
        QFETCH(QString, format);
        QFETCH(QString, kept);
        SettingsStore::writeText(SettingsSection::TrendSetup, u"LabelFormat"_s, u"d mmm h:nn"_s);
        auto data = std::make_shared<TrendData>();
        data->setTimeScale(scale);
        const int channel = data->addChannel(u"Temp"_s);
        for (int i = 0; i < 3; ++i)
            data->setValue(channel, data->appendRow(1000 + i), i);

        PlotControl plot;
        plot.XAxis(0).setDateTimeFormat(u"Automatic"_s);
        plot.setTrendData(data);
        trendmemory::applyTo(plot);
        QCOMPARE(plot.XAxis(0).DateTimeFormat(), format);
        TrendPicture picture = TrendPicture::ofNewTrend(*data);
        trendmemory::applyTo(picture);
        QCOMPARE(picture.time.dateTimeFormat, format);

        plot.XAxis(0).setDateTimeFormat(u"hh:nn"_s);
        trendmemory::remember(plot);
        QCOMPARE(SettingsStore::readText(SettingsSection::TrendSetup, u"LabelFormat"_s, QString()), kept);
    }

    void eachValueAxisIsTitledWithItsChannels_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<int>>("axes");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::newRow("two left, one right") << QStringList{u"Temp"_s, u"Pressure"_s, u"Wind"_s}
                                             << QList<int>{0, 1, 0} << u"Temp, Wind"_s << u"Pressure"_s;
        QTest::newRow("all on the right") << QStringList{u"Temp"_s, u"Wind"_s} << QList<int>{1, 1} << QString()
                                          << u"Temp, Wind"_s;
        QTest::newRow("too many to list") << QStringList{u"Boiler feed temperature"_s, u"Boiler return temperature"_s,
                                                         u"Outside"_s, u"Flue"_s}
                                          << QList<int>{0, 0, 0, 0} << u"Boiler feed temperature and 3 more"_s
                                          << QString();
    }

    void eachValueAxisIsTitledWithItsChannels()
    {
        QFETCH(QStringList, titles);
        QFETCH(QList<int>, axes);
        QFETCH(QString, left);
        QFETCH(QString, right);
        PlotControl plot;
        addChannels(plot, titles);
        for (int i = 0; i < titles.size(); ++i)
            plot.Channel(i).setYAxisIndex(axes[i]);
        trendmemory::nameValueAxes(plot);
        QCOMPARE(plot.YAxis(0).TitleText(), left);
        QCOMPARE(plot.YAxis(1).TitleText(), right);
    }
};

VIEWER_TEST(TrendMemoryTest)
#include "tst_trendmemory.moc"
