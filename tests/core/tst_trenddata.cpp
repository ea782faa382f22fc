#include "support/testregistry.h"

#include "core/tracepainter.h"
#include "core/trenddata.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <algorithm>
#include <climits>
#include <cmath>
#include <tuple>
#include <random>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// A log-like channel: random steps, a share of missing samples, and optionally one
// long stretch without values. One sample a second from day 45000.
TrendData noisyData(int samples, double missingShare, bool longGap, unsigned seed = 7)
{
    TrendData data;
    data.addChannel();
    data.reserve(samples);
    std::mt19937 random(seed);
    std::normal_distribution<double> step(0, 1);
    std::uniform_real_distribution<double> chance(0, 1);
    double y = 50;
    for (int i = 0; i < samples; ++i) {
        const qsizetype at = data.appendRow(45000 + i / 86400.0, i + 1);
        y += step(random);
        const bool gap = chance(random) < missingShare || (longGap && i > samples / 3 && i < samples / 3 + samples / 20);
        data.setValue(0, at, gap ? NaN : y);
    }
    return data;
}

// Draws data points (a NaN y breaks the line) into an image: every point as Qt
// strokes it with the plot's round pen, or as the plot draws its traces.
QImage draw(const std::vector<QPointF> &points, double x0, double x1, double y0, double y1, int width, bool asThePlot)
{
    QImage image(400, 200, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    std::vector<QPointF> pixels;
    for (const QPointF &p : points) {
        pixels.emplace_back((p.x() - x0) / (x1 - x0) * image.width(),
                            std::isnan(p.y()) ? p.y() : (y1 - p.y()) / (y1 - y0) * image.height());
    }
    if (asThePlot) {
        paintTrace(painter, pixels, Qt::white, width);
        return image;
    }
    painter.setPen(QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    std::vector<QPointF> run;
    auto flush = [&] {
        if (run.size() == 1)
            painter.drawPoint(run.front());
        else if (run.size() > 1)
            painter.drawPolyline(run.data(), int(run.size()));
        run.clear();
    };
    for (const QPointF &p : pixels) {
        if (std::isnan(p.y()))
            flush();
        else
            run.push_back(p);
    }
    flush();
    return image;
}

// Top and bottom lit row of a column, -1 when none.
std::pair<int, int> litExtent(const QImage &image, int x)
{
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        if (qRed(image.pixel(x, y)) > 0) {
            if (top < 0)
                top = y;
            bottom = y;
        }
    }
    return {top, bottom};
}

// Statistics by walking every sample.
TrendStats walk(const TrendData &data, qsizetype from, qsizetype to)
{
    TrendStats s;
    for (qsizetype i = from; i < to; ++i)
        s.take(data.value(0, i));
    return s;
}

} // namespace

class TrendDataTest : public QObject
{
    Q_OBJECT

private slots:
    void traceLooksLikeEveryPointDrawn_data()
    {
        QTest::addColumn<int>("samples");
        QTest::addColumn<double>("missing");
        QTest::addColumn<bool>("longGap");
        QTest::addColumn<double>("shown"); // share of the span in view, from its middle
        QTest::addColumn<int>("width");
        QTest::newRow("whole span, thin") << 200000 << 0.04 << false << 1.0 << 1;
        QTest::newRow("whole span, thick") << 200000 << 0.04 << false << 1.0 << 5;
        QTest::newRow("long gap, width 20") << 200000 << 0.04 << true << 1.0 << 20;
        QTest::newRow("narrowed to 1%") << 200000 << 0.04 << false << 0.01 << 3;
        QTest::newRow("a few samples a column") << 20000 << 0.2 << true << 0.1 << 1;
        QTest::newRow("fewer samples than columns") << 300 << 0.1 << false << 1.0 << 2;
    }

    void traceLooksLikeEveryPointDrawn()
    {
        QFETCH(int, samples);
        QFETCH(double, missing);
        QFETCH(bool, longGap);
        QFETCH(double, shown);
        QFETCH(int, width);
        const TrendData data = noisyData(samples, missing, longGap);
        const double first = data.time(0);
        const double last = data.time(data.rowCount() - 1);
        const double middle = (first + last) / 2;
        const double x0 = middle - (last - first) * shown / 2;
        const double x1 = middle + (last - first) * shown / 2;
        const TrendStats all = data.stats(0);

        std::vector<QPointF> every;
        for (qsizetype i = 0; i < data.rowCount(); ++i)
            every.emplace_back(data.time(i), data.value(0, i));
        std::vector<QPointF> reduced;
        data.trace(0, x0, x1, 400, reduced);
        QVERIFY2(reduced.size() <= 400 * 6 + 8, qPrintable(QString::number(reduced.size())));

        const QImage expected = draw(every, x0, x1, all.min, all.max, width, false);
        const QImage actual = draw(reduced, x0, x1, all.min, all.max, width, true);
        // The rasteriser may put a line's end in the column beside the point's own,
        // so each column's extent is held against its neighbours too: at most one
        // pixel off. But a column that every point lights is lit by the summary
        // too: a point dropped beside a trace must not hide behind it.
        for (const auto &[one, other, name] : {std::tuple{&expected, &actual, "every point"},
                                               std::tuple{&actual, &expected, "the summary"}}) {
            for (int x = 0; x < one->width(); ++x) {
                const auto [top, bottom] = litExtent(*one, x);
                if (top < 0)
                    continue;
                if (one == &expected && litExtent(*other, x).first < 0)
                    QFAIL(qPrintable(QStringLiteral("column %1 drawn from %2 only").arg(x).arg(QLatin1String(name))));
                int nearTop = INT_MAX;
                int nearBottom = -1;
                for (int n = std::max(0, x - 1); n <= std::min(one->width() - 1, x + 1); ++n) {
                    const auto [t, b] = litExtent(*other, n);
                    if (t >= 0) {
                        nearTop = std::min(nearTop, t);
                        nearBottom = std::max(nearBottom, b);
                    }
                }
                if (top < nearTop - 1 || bottom > nearBottom + 1)
                    QFAIL(qPrintable(QStringLiteral("column %1 drawn from %2: rows %3..%4, near it the other way %5..%6")
                                         .arg(x).arg(QLatin1String(name)).arg(top).arg(bottom).arg(nearTop).arg(nearBottom)));
            }
        }
    }

    // A sample with gaps on both sides is a point of its own: however many
    // samples share its pixel column, the drawing lights that column at its value.
    void aLoneSampleLightsItsPixel_data()
    {
        QTest::addColumn<int>("lone"); // its sample, of 200,000 over 400 columns
        QTest::addColumn<int>("gapsAround"); // on each side; beyond them, a trace
        QTest::addColumn<int>("width");
        QTest::newRow("alone in the view") << 100250 << 200000 << 1;
        QTest::newRow("a column's first sample") << 100000 << 700 << 1;
        QTest::newRow("a column's last sample") << 100499 << 700 << 1;
        QTest::newRow("gaps only in its column") << 100250 << 200 << 1;
        QTest::newRow("thick") << 150321 << 1500 << 5;
    }

    void aLoneSampleLightsItsPixel()
    {
        QFETCH(int, lone);
        QFETCH(int, gapsAround);
        QFETCH(int, width);
        TrendData data;
        data.addChannel();
        constexpr int Samples = 200000;
        for (int i = 0; i < Samples; ++i) {
            const double value = i == lone ? 90.0 : std::abs(i - lone) <= gapsAround ? NaN : 10.0 + i % 3;
            data.setValue(0, data.appendRow(double(i), i + 1), value);
        }
        std::vector<QPointF> reduced;
        data.trace(0, 0, Samples, 400, reduced);
        const QImage image = draw(reduced, 0, Samples, 0, 100, width, true);
        // 90 of 0..100 is row 20 of 200; the sample's column is its 500th.
        const int x = lone / 500;
        const auto [top, bottom] = litExtent(image, x);
        QVERIFY2(top >= 0 && top <= 20 && bottom >= 20,
                 qPrintable(QStringLiteral("column %1: rows %2..%3").arg(x).arg(top).arg(bottom)));
    }

    void traceKeepsEachColumnsExtremes_data()
    {
        QTest::addColumn<int>("samples");
        QTest::addColumn<int>("columns");
        QTest::addColumn<bool>("uneven"); // at random intervals, with an hour's pause
        QTest::addColumn<double>("missing");
        QTest::newRow("a thousand samples a column") << 300000 << 250 << false << 0.04;
        QTest::newRow("a thousand a column, uneven") << 300000 << 250 << true << 0.04;
        QTest::newRow("a few a column, uneven") << 5000 << 500 << true << 0.1;
        QTest::newRow("mostly gaps") << 100000 << 300 << false << 0.9;
    }

    // Each pixel column of a drawing reaches exactly from the smallest to the
    // largest value logged in its time: no sample lands in the column beside its
    // own, none is passed over.
    void traceKeepsEachColumnsExtremes()
    {
        QFETCH(int, samples);
        QFETCH(int, columns);
        QFETCH(bool, uneven);
        QFETCH(double, missing);
        TrendData data;
        data.addChannel();
        std::mt19937 random(11);
        std::uniform_real_distribution<double> chance(0, 1);
        std::normal_distribution<double> step(0, 1);
        double time = 45000;
        double y = 0;
        for (int i = 0; i < samples; ++i) {
            time += (uneven ? 0.2 + 3 * chance(random) : 1.0) / 86400 + (uneven && i == samples / 2 ? 1.0 / 24 : 0);
            y += step(random);
            data.setValue(0, data.appendRow(time, i), chance(random) < missing ? NaN : y);
        }
        const double x0 = data.time(samples / 7) + 0.3 / 86400;
        const double x1 = data.time(samples * 6 / 7);
        const double width = (x1 - x0) / columns;
        std::vector<QPointF> reduced;
        data.trace(0, x0, x1, columns, reduced);

        const double inf = std::numeric_limits<double>::infinity();
        std::vector<std::pair<double, double>> expected(size_t(columns), {inf, -inf});
        std::vector<std::pair<double, double>> drawn(size_t(columns), {inf, -inf});
        const auto take = [](std::pair<double, double> &extent, double value) {
            extent = {std::min(extent.first, value), std::max(extent.second, value)};
        };
        for (int k = 0, i = 0; k < columns; ++k) {
            const double end = x0 + (k + 1) * width;
            for (; i < samples && data.time(i) < end; ++i) {
                if (data.time(i) >= x0 && !std::isnan(data.value(0, i)))
                    take(expected[size_t(k)], data.value(0, i));
            }
        }
        for (const QPointF &p : reduced) {
            const double k = std::floor((p.x() - x0) / width);
            if (!std::isnan(p.y()) && k >= 0 && k < columns)
                take(drawn[size_t(k)], p.y());
        }
        for (int k = 0; k < columns; ++k) {
            QVERIFY2(drawn[size_t(k)] == expected[size_t(k)],
                     qPrintable(QStringLiteral("column %1: drawn %2..%3, logged %4..%5")
                                    .arg(k).arg(drawn[size_t(k)].first).arg(drawn[size_t(k)].second)
                                    .arg(expected[size_t(k)].first).arg(expected[size_t(k)].second)));
        }
    }

    void appendedPointsShareRowsOfTheirTime_data()
    {
        using Points = QList<QList<double>>;
        QTest::addColumn<Points>("rowsFirst"); // channel, time, value: rows made and set first
        QTest::addColumn<Points>("points");    // channel, time, value: appended
        QTest::addColumn<int>("rows");
        QTest::newRow("two channels at the same times")
            << Points{} << Points{{0, 1, 10}, {0, 2, 20}, {0, 3, 30}, {1, 1, 11}, {1, 2, 21}, {1, 3, 31}} << 3;
        QTest::newRow("a time twice in one channel")
            << Points{} << Points{{0, 1, 10}, {0, 1, 15}, {0, 2, 20}, {1, 1, 11}, {1, 1, 16}} << 3;
        QTest::newRow("a second channel skipping a time")
            << Points{} << Points{{0, 1, 10}, {0, 2, 20}, {0, 3, 30}, {1, 1, 11}, {1, 3, 31}} << 3;
        QTest::newRow("a clock set back")
            << Points{} << Points{{0, 5, 50}, {0, 6, 60}, {1, 5, 51}, {1, 6, 61}, {1, 5.5, 56}} << 3;
        QTest::newRow("rows that hold the channel's values already")
            << Points{{0, 1, 10}, {0, 2, 20}} << Points{{1, 1, 11}, {1, 2, 21}, {0, 1, 15}} << 3;
    }

    // A point goes into a row of its time that its channel has no value in yet,
    // else into a new row: no value is written over, no row made twice.
    void appendedPointsShareRowsOfTheirTime()
    {
        QFETCH(QList<QList<double>>, rowsFirst);
        QFETCH(QList<QList<double>>, points);
        QFETCH(int, rows);
        TrendData data;
        data.addChannel();
        data.addChannel();
        for (const QList<double> &p : rowsFirst)
            data.setValue(int(p[0]), data.appendRow(p[1]), p[2]);
        for (const QList<double> &p : points)
            data.appendPoint(int(p[0]), p[1], p[2]);
        data.sortByTime();
        QCOMPARE(data.rowCount(), qsizetype(rows));
        QList<QList<double>> found;
        for (int ch = 0; ch < 2; ++ch) {
            for (qsizetype i = 0; i < data.rowCount(); ++i) {
                if (!TrendData::isAbsent(data.value(ch, i)))
                    found << QList<double>{double(ch), data.time(i), data.value(ch, i)};
            }
        }
        QList<QList<double>> expected = rowsFirst + points;
        std::sort(expected.begin(), expected.end());
        std::sort(found.begin(), found.end());
        QCOMPARE(found, expected);
    }

    void statisticsOfAnyRange_data()
    {
        QTest::addColumn<qsizetype>("from");
        QTest::addColumn<qsizetype>("to");
        QTest::addColumn<int>("appended"); // rows appended after a first reading
        QTest::addColumn<bool>("earlier"); // the appended rows' clock stepped back: data re-sorted
        QTest::newRow("everything") << qsizetype(0) << qsizetype(-1) << 0 << false;
        QTest::newRow("inside one block") << qsizetype(70) << qsizetype(100) << 0 << false;
        QTest::newRow("unaligned, over several levels") << qsizetype(61) << qsizetype(40001) << 0 << false;
        QTest::newRow("aligned start, to the end") << qsizetype(4096) << qsizetype(-1) << 0 << false;
        QTest::newRow("empty") << qsizetype(500) << qsizetype(500) << 0 << false;
        QTest::newRow("rows appended later") << qsizetype(3) << qsizetype(-1) << 5000 << false;
        QTest::newRow("appended rows only") << qsizetype(50000) << qsizetype(-1) << 777 << false;
        QTest::newRow("rows from before, re-sorted") << qsizetype(0) << qsizetype(-1) << 5000 << true;
        QTest::newRow("re-sorted, a part") << qsizetype(4100) << qsizetype(30001) << 300 << true;
    }

    void statisticsOfAnyRange()
    {
        QFETCH(qsizetype, from);
        QFETCH(qsizetype, to);
        QFETCH(int, appended);
        QFETCH(bool, earlier);
        TrendData data = noisyData(50000, 0.04, true);
        data.stats(0); // summaries built before the rows below arrive
        for (int i = 0; i < appended; ++i) {
            const double value = i % 7 ? (earlier ? -1000.0 - i : 1000.0 + i) : i % 2 ? NaN : TrendData::Marked;
            data.setValue(0, data.appendRow(earlier ? 44000 + i / 86400.0 : 46000 + i, -1), value);
        }
        data.sortByTime();
        if (to < 0)
            to = data.rowCount();
        const TrendStats expected = walk(data, from, to);
        const TrendStats actual = data.stats(0, from, to);
        QCOMPARE(actual.count, expected.count);
        QCOMPARE(actual.samples, expected.samples);
        QCOMPARE(actual.marked, expected.marked);
        QCOMPARE(actual.min, expected.min);
        QCOMPARE(actual.max, expected.max);
        QVERIFY(std::abs(actual.sum - expected.sum) <= 1e-9 * std::max(1.0, std::abs(expected.sum)));
    }

    void valueAtGapsAndOtherChannelsRows_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("value");
        // Channel 0 at times 1, 2, (gap) 3, 4 and 6; channel 1 alone at 5.
        QTest::newRow("a sample") << 2.0 << 20.0;
        QTest::newRow("between samples") << 1.5 << 15.0;
        QTest::newRow("the gap itself") << 3.0 << NaN;
        QTest::newRow("next to the gap") << 2.5 << NaN;
        QTest::newRow("over the other channel's row") << 5.0 << 50.0;
        QTest::newRow("before the first") << 0.5 << NaN;
        QTest::newRow("after the last") << 6.5 << NaN;
    }

    void valueAtGapsAndOtherChannelsRows()
    {
        QFETCH(double, time);
        QFETCH(double, value);
        TrendData data;
        data.addChannel();
        data.addChannel();
        // Appended out of time order: the rows are put in order before reading.
        data.appendPoint(0, 6, 60);
        data.appendPoint(0, 1, 10);
        data.appendPoint(0, 2, 20);
        data.appendPoint(0, 3, NaN);
        data.appendPoint(0, 4, 40);
        data.appendPoint(1, 5, 1);
        data.sortByTime();
        QCOMPARE(data.time(data.rowCount() - 1), 6.0);
        QCOMPARE(data.gridRow(0), -1);
        const double actual = data.valueAt(0, time);
        if (std::isnan(value))
            QVERIFY2(std::isnan(actual), qPrintable(QString::number(actual)));
        else
            QCOMPARE(actual, value);
    }

    // Room made a share at a time: each step moves columns until its share is
    // used, the samples stay, and the last step finds nothing left to move.
    void roomIsMadeAShareAtATime_data()
    {
        QTest::addColumn<qsizetype>("rows");
        QTest::addColumn<qsizetype>("share");
        QTest::addColumn<int>("steps");
        // 1000 rows of two channels: times 8000 bytes, grid rows 4000, each channel 8000.
        QTest::newRow("room there already") << qsizetype(1000) << qsizetype(1 << 20) << 1;
        QTest::newRow("every column in one share") << qsizetype(5000) << qsizetype(1 << 20) << 2;
        QTest::newRow("a column a share") << qsizetype(5000) << qsizetype(1) << 5;
        QTest::newRow("a share ends after the column that uses it up") << qsizetype(5000) << qsizetype(12000) << 3;
    }

    void roomIsMadeAShareAtATime()
    {
        QFETCH(qsizetype, rows);
        QFETCH(qsizetype, share);
        QFETCH(int, steps);
        TrendData data;
        data.addChannel();
        data.addChannel();
        data.reserve(1000);
        for (int i = 0; i < 1000; ++i) {
            const qsizetype at = data.appendRow(i, i + 1);
            data.setValue(0, at, i);
            data.setValue(1, at, -i);
        }
        int taken = 1;
        while (!data.reserveSome(rows, share) && taken < 10)
            ++taken;
        QCOMPARE(taken, steps);
        for (int i : {0, 500, 999}) {
            QCOMPARE(data.time(i), double(i));
            QCOMPARE(data.gridRow(i), i + 1);
            QCOMPARE(data.value(0, i), double(i));
            QCOMPARE(data.value(1, i), -double(i));
        }
    }
};

VIEWER_TEST(TrendDataTest)
#include "tst_trenddata.moc"
