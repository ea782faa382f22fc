#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/plotcontrol.h"
#include "core/oledate.h"
#include "core/trenddata.h"
#include "trend/statspanel.h"
#include "trend/viewcsv.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(TimeScale)

namespace {

constexpr int Cursor = 10; // the sample the cursor is put on; Flow is smallest there

// A trend of `times` whose time column (grid column 0) was logged as `logged`;
// Flow (grid column 2) is logged as whole numbers, smallest at sample Cursor.
std::shared_ptr<TrendData> trendOf(TimeScale scale, const QList<double> &times, const QStringList &logged)
{
    auto data = std::make_shared<TrendData>();
    data->setTimeScale(scale);
    data->setTimeColumns(1);
    for (qsizetype i = 0; i < times.size(); ++i)
        data->appendRow(times[i], int(i) + 1);
    const int flow = data->addChannel(u"Flow"_s);
    data->setSourceColumn(flow, 2);
    for (qsizetype i = 0; i < times.size(); ++i)
        data->setValue(flow, i, double(std::abs(i - Cursor)));
    data->setLoggedTextReader([logged](int column, int row) -> std::optional<QString> {
        if (column == 0)
            return logged.value(row - 1);
        return QString::number(std::abs(row - 1 - Cursor));
    });
    return data;
}

// The time a tick label stands for, read back from its text; NaN when the label
// is not of the scale's form.
double meaningOf(TimeScale scale, const QString &label)
{
    if (scale == TimeScale::Elapsed) {
        static const QRegularExpression form(u"^(-?)(?:(\\d+)d )?(\\d+):(\\d\\d):(\\d\\d(?:\\.\\d+)?)$"_s);
        const QRegularExpressionMatch m = form.match(label);
        if (!m.hasMatch())
            return qQNaN();
        const double seconds = m.captured(2).toDouble() * 86400 + m.captured(3).toDouble() * 3600
                               + m.captured(4).toDouble() * 60 + m.captured(5).toDouble();
        return (m.captured(1).isEmpty() ? 1 : -1) * seconds / 86400;
    }
    static const QRegularExpression form(u"^(\\d{4})(?:-(\\d\\d))?$"_s);
    const QRegularExpressionMatch m = form.match(label);
    if (!m.hasMatch())
        return qQNaN();
    return oledate::fromFields(m.captured(1).toInt(), m.hasCaptured(2) ? m.captured(2).toInt() : 1, 1);
}

} // namespace

// An elapsed-time trend shows its times as durations and a years trend as
// years: on the time axis, in the cursor's readout and the statistics' tips, and
// in the CSV of the view.
class TimeScaleViewTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void theTrendsTimesAreShownInItsScale_data()
    {
        QTest::addColumn<TimeScale>("scale");
        QTest::addColumn<QList<double>>("times");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<QString>("labelShape"); // every tick label
        QTest::addColumn<QString>("readout");    // of sample Cursor
        QTest::addColumn<QString>("csvHead");    // the first lines of the CSV

        QList<double> times;
        QStringList logged;
        for (int i = 0; i <= 60; ++i) {
            times << i * 10 / 86400.0;
            logged << QString::number(i * 10);
        }
        QTest::newRow("elapsed") << TimeScale::Elapsed << times << logged << 0.0 << 600 / 86400.0
                                 << u"^\\d:\\d\\d:\\d\\d$"_s << u"0:01:40"_s
                                 << u"Elapsed,Flow\r\n0:00:00,10\r\n0:00:10,9\r\n"_s;

        times.clear();
        logged.clear();
        for (int i = 0; i <= 60; ++i) {
            times << i * 0.25 / 86400;
            logged << QString::number(i * 0.25);
        }
        QTest::newRow("elapsed, under a minute in view")
            << TimeScale::Elapsed << times << logged << 1 / 86400.0 << 6 / 86400.0 << u"^0:00:0\\d\\.\\d\\d$"_s
            << u"0:00:02.50"_s << u"Elapsed,Flow\r\n0:00:01.00,6\r\n0:00:01.25,5\r\n"_s;

        times.clear();
        logged.clear();
        for (int year = 1880; year < 2020; ++year) {
            times << oledate::fromFields(year, 1, 1);
            logged << QString::number(year);
        }
        QTest::newRow("years") << TimeScale::Years << times << logged << times.first() << times.last()
                               << u"^\\d{4}$"_s << u"1890"_s << u"Year,Flow\r\n1880,10\r\n1881,9\r\n"_s;

        times.clear();
        logged.clear();
        for (int month = 0; month < 36; ++month) {
            times << oledate::fromFields(1958 + month / 12, month % 12 + 1, 1);
            logged << QString::number(1958 + month / 12.0, 'f', 4);
        }
        QTest::newRow("years, within a year in view")
            << TimeScale::Years << times << logged << times.at(4) << times.at(15) << u"^\\d{4}-\\d\\d$"_s
            << u"1958-11"_s << u"Year,Flow\r\n1958.3333,6\r\n1958.4167,5\r\n"_s;
    }

    void theTrendsTimesAreShownInItsScale()
    {
        QFETCH(TimeScale, scale);
        QFETCH(QList<double>, times);
        QFETCH(QStringList, logged);
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(QString, labelShape);
        QFETCH(QString, readout);
        QFETCH(QString, csvHead);

        PlotControl plot;
        plot.resize(700, 450);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        plot.XAxis(0).setTrackingEnabled(true);
        plot.YAxis(0).setTrackingEnabled(true);
        const std::shared_ptr<TrendData> data = trendOf(scale, times, logged);
        plot.setTrendData(data);
        // The readout's source gives the log's cells: a bare number for the time.
        plot.setSampleText([&](int column, int row) { return data->loggedText(column, row).value_or(QString()); });
        plot.setXView(from, to - from);
        plot.replot();

        const QList<double> ticks = plot.XAxis(0).tickPositions();
        const QStringList labels = plot.XAxis(0).tickLabels();
        const QString all = labels.join(u" | "_s);
        QVERIFY2(ticks.size() >= 2, qPrintable(all));
        QCOMPARE(labels.size(), ticks.size());
        const QRegularExpression shape(labelShape);
        for (qsizetype i = 0; i < ticks.size(); ++i) {
            QVERIFY2(shape.match(labels[i]).hasMatch(), qPrintable(all));
            QVERIFY2(std::abs(meaningOf(scale, labels[i]) - ticks[i]) < 1e-9, qPrintable(all));
        }

        plot.DataCursor(0).setSample(Cursor);
        QCOMPARE(plot.DataCursor(0).timeText(), readout);
        StatsPanel stats;
        stats.showStats(plot);
        QCOMPARE(stats.item(0, 1)->toolTip(), u"Logged at "_s + readout);

        const QString csv = TestEnv::tempDir() + u"/view.csv"_s;
        viewcsv::save(plot, csv);
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()).left(csvHead.size()), csvHead);
    }
};

VIEWER_TEST(TimeScaleViewTest)
#include "tst_timescaleview.moc"
