#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/plotcontrol.h"
#include "controls/trendpicture.h"
#include "controls/trendrenderer.h"
#include "core/oledate.h"
#include "core/trenddata.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>
#include <QXmlStreamReader>

#include <cmath>
#include <functional>

using namespace Qt::StringLiterals;

using PictureSetup = std::function<void(TrendPicture &)>;
Q_DECLARE_METATYPE(PictureSetup)
Q_DECLARE_METATYPE(std::shared_ptr<TrendData>)

namespace {

// Shows `p` of `data` on the plot through the plot's own properties.
void show(PlotControl &plot, const TrendPicture &p, const std::shared_ptr<TrendData> &data)
{
    plot.setTrendData(data);
    for (size_t ch = 0; ch < p.channels.size(); ++ch) {
        PlotChannel c = plot.Channel(int(ch));
        c.setTitleText(p.channels[ch].title);
        c.setColor(p.channels[ch].color);
        c.setTraceLineWidth(p.channels[ch].width);
        c.setYAxisIndex(p.channels[ch].valueAxis);
    }
    for (auto [a, s] : {std::pair{plot.XAxis(0), &p.time}, {plot.YAxis(0), &p.left}, {plot.YAxis(1), &p.right}}) {
        a.setLabelsFormatStyle(int(s->labels));
        a.setDateTimeFormat(s->dateTimeFormat);
        a.setMinorCount(s->minorCount);
        a.setTitleText(s->title);
        a.setTitleFont(s->titleFont);
        a.setLabelsFontColor(s->labelsColor);
        a.setScaleLinesColor(s->scaleColor);
        a.setTitleFontColor(s->titleColor);
        a.setAxisLineVisible(s->axisLine);
        a.setMajorGridLinesVisible(s->majorGrid);
        a.setMinorGridLinesVisible(s->minorGrid);
        a.setMin(s->min);
        a.setSpan(s->span);
    }
    plot.setBackGroundColor(p.background);
    plot.Legend(0).setFontColor(p.legendColor);
    plot.Legend(0).setColumnTitlesFontColor(p.legendTitleColor);
}

// `rows` samples `step` days apart from `start`, each channel a wave with a saw
// on it; channel 0 misses the samples in [gapFrom, gapTo).
std::shared_ptr<TrendData> waves(int channels, int rows, double start, double step, int gapFrom = 0, int gapTo = 0)
{
    auto data = std::make_shared<TrendData>();
    for (int c = 0; c < channels; ++c)
        data->addChannel(u"Sensor %1"_s.arg(c + 1));
    for (int r = 0; r < rows; ++r) {
        const qsizetype row = data->appendRow(start + r * step, r + 1);
        for (int c = 0; c < channels; ++c) {
            const bool missing = c == 0 && r >= gapFrom && r < gapTo;
            data->setValue(c, row, missing ? std::nan("") : 20 + 10 * c + 15 * std::sin(r * 0.02 + c) + r % 13 * 0.4);
        }
    }
    return data;
}

struct Text
{
    QString text;
    QPointF at;
    QString fill;
};

// Every text of an SVG file with where it starts on the picture.
QList<Text> textsOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader svg(&file);
    QList<QTransform> transforms{QTransform()};
    QList<Text> texts;
    while (!svg.atEnd()) {
        svg.readNext();
        if (svg.isEndElement() && svg.name() == u"g"_s) {
            transforms.removeLast();
        } else if (svg.isStartElement() && svg.name() == u"g"_s) {
            // transform="matrix(m11,m12,m21,m22,dx,dy)"
            const QString transform = svg.attributes().value(u"transform"_s).toString();
            const QStringList m = transform.startsWith(u"matrix("_s) ? transform.mid(7).chopped(1).split(u',')
                                                                     : QStringList();
            transforms.append(m.size() == 6 ? QTransform(m[0].toDouble(), m[1].toDouble(), m[2].toDouble(),
                                                         m[3].toDouble(), m[4].toDouble(), m[5].toDouble())
                                            : transforms.constLast());
        } else if (svg.isStartElement() && svg.name() == u"text"_s) {
            const QPointF at(svg.attributes().value(u"x"_s).toDouble(), svg.attributes().value(u"y"_s).toDouble());
            const QString fill = svg.attributes().value(u"fill"_s).toString();
            texts.append({svg.readElementText(), transforms.constLast().map(at), fill});
        }
    }
    std::sort(texts.begin(), texts.end(), [](const Text &a, const Text &b) {
        return std::tuple(a.text, a.at.x(), a.at.y()) < std::tuple(b.text, b.at.x(), b.at.y());
    });
    return texts;
}

// Per pixel column, the first and last row holding `color` exactly; -1 for none.
QList<std::pair<int, int>> columnsOf(const QImage &image, QRgb color)
{
    QList<std::pair<int, int>> columns(image.width(), {-1, -1});
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == (color & 0xFFFFFF)) {
                auto &c = columns[x];
                c = {c.first < 0 ? y : c.first, y};
            }
        }
    }
    return columns;
}

} // namespace

// The trend renderer draws what the plot control saves of the same picture.
class TrendRendererTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void init() { TestEnv::reset(); }

    // What must agree: every text (tick labels, axis titles, legend) and where it
    // stands; each trace's extent in every pixel column; how much of the picture
    // is background, grid and each trace's colour.
    void rendererDrawsWhatThePlotSaves_data()
    {
        QTest::addColumn<std::shared_ptr<TrendData>>("data");
        QTest::addColumn<PictureSetup>("setup");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("cLocale");
        QTest::addColumn<QStringList>("mustShow"); // among the drawn texts
        const double afternoon = oledate::fromFields(2024, 3, 14, 13, 0, 0);
        const double minute = 1.0 / 1440;
        const PictureSetup asNew = [](TrendPicture &) {};
        QTest::newRow("one channel")
            << waves(1, 600, afternoon, minute) << asNew << QSize(1000, 600) << false << QStringList();
        QTest::newRow("channels on both axes")
            << waves(4, 600, afternoon, minute) << PictureSetup([](TrendPicture &p) {
                   p.channels[1].valueAxis = p.channels[3].valueAxis = 1;
                   p.right.min = 25;
                   p.right.span = 40;
                   p.right.title = u"Sensor 2, Sensor 4"_s;
                   p.left.title = u"Sensor 1, Sensor 3"_s;
               })
            << QSize(640, 360) << false << QStringList();
        QTest::newRow("gaps")
            << waves(2, 600, afternoon, minute, 150, 320) << asNew << QSize(800, 400) << false << QStringList();
        QTest::newRow("across midnight")
            << waves(2, 200, oledate::fromFields(2024, 3, 14, 22, 30, 0), minute) << asNew << QSize(1000, 600) << false
            << QStringList();
        QTest::newRow("width 3, many samples")
            << waves(3, 50000, afternoon, 1.0 / 86400) << PictureSetup([](TrendPicture &p) { p.channels[1].width = 3; })
            << QSize(1000, 600) << false << QStringList();
        // The 25th channel comes round dashed; given a colour of its own, its
        // dashes are told from the first channel's line.
        QTest::newRow("a dashed channel")
            << waves(25, 600, afternoon, minute)
            << PictureSetup([](TrendPicture &p) { p.channels[24].color = 0xC0C0C0; }) << QSize(1000, 600) << false
            << QStringList();
        QTest::newRow("more channels than the legend has lines")
            << waves(40, 300, afternoon, minute) << asNew << QSize(900, 500) << false << QStringList();
        QTest::newRow("powers of ten, another locale")
            << waves(2, 300, afternoon, minute) << PictureSetup([](TrendPicture &p) {
                   p.left.min = 1e7;
                   p.left.span = 4e7;
                   p.time.dateTimeFormat = u"mmm d h:nn am/pm"_s;
               })
            << QSize(900, 500) << true << QStringList();
        // Elapsed time is labelled in durations and years in years, exported too;
        // over days, where no label of a date reads like a duration.
        const auto scaled = [](std::shared_ptr<TrendData> data, TimeScale scale) {
            data->setTimeScale(scale);
            return data;
        };
        QTest::newRow("elapsed time") << scaled(waves(2, 600, 0.0, 10 * minute), TimeScale::Elapsed) << asNew
                                      << QSize(1000, 600) << false
                                      << QStringList{u"0:00:00"_s, u"1d 00:00:00"_s, u"2d 00:00:00"_s};
        QTest::newRow("years") << scaled(waves(2, 120, oledate::fromFields(1900, 1, 1), 365.2425), TimeScale::Years)
                               << asNew << QSize(1000, 600) << false << QStringList{u"1900"_s, u"2000"_s};
    }

    void rendererDrawsWhatThePlotSaves()
    {
        QFETCH(std::shared_ptr<TrendData>, data);
        QFETCH(PictureSetup, setup);
        QFETCH(QSize, size);
        QFETCH(bool, cLocale);
        QFETCH(QStringList, mustShow);
        if (cLocale)
            QLocale::setDefault(QLocale::c()); // writes 1e+07, set as a power
        TrendPicture picture = TrendPicture::ofNewTrend(*data);
        setup(picture);
        PlotControl plot;
        plot.resize(size);
        show(plot, picture, data);
        const TrendPicture shown = plot.trendPicture();
        const QString saved = m_dir.filePath(u"saved"_s);
        const QString drawn = m_dir.filePath(u"drawn"_s);
        for (auto [suffix, type] : {std::pair{u".png"_s, outputfile::ImageType::Png}, {u".svg"_s, outputfile::ImageType::Svg}}) {
            plot.SaveImage(saved + suffix, type, size);
            const qsizetype widgets = QApplication::allWidgets().size();
            trendrenderer::write(drawn + suffix, type, size, shown, *data);
            QCOMPARE(QApplication::allWidgets().size(), widgets); // none made to draw it
        }

        const QList<Text> expected = textsOf(saved + u".svg"_s);
        const QList<Text> texts = textsOf(drawn + u".svg"_s);
        QVERIFY(expected.size() > 10);
        for (const QString &text : mustShow)
            QVERIFY2(std::any_of(texts.begin(), texts.end(), [&](const Text &t) { return t.text == text; }),
                     qPrintable(text));
        QCOMPARE(texts.size(), expected.size());
        for (qsizetype i = 0; i < texts.size(); ++i) {
            QCOMPARE(texts[i].text, expected[i].text);
            QCOMPARE(texts[i].fill, expected[i].fill);
            const QPointF off = texts[i].at - expected[i].at;
            QVERIFY2(std::abs(off.x()) <= 1.5 && std::abs(off.y()) <= 1.5,
                     qPrintable(u"\"%1\" is %2, %3 pixels off"_s.arg(texts[i].text).arg(off.x()).arg(off.y())));
        }

        const QImage expectedImage = QImage(saved + u".png"_s).convertToFormat(QImage::Format_RGB32);
        const QImage image = QImage(drawn + u".png"_s).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(image.size(), size);
        for (const TrendPicture::Channel &c : shown.channels) {
            const auto expectedColumns = columnsOf(expectedImage, toQColor(c.color).rgb());
            const auto columns = columnsOf(image, toQColor(c.color).rgb());
            int apart = 0;
            for (int x = 0; x < size.width(); ++x) {
                const auto [top, bottom] = columns[x];
                const auto [expectedTop, expectedBottom] = expectedColumns[x];
                apart += (top < 0) != (expectedTop < 0) || std::abs(top - expectedTop) > 1
                         || std::abs(bottom - expectedBottom) > 1;
            }
            QVERIFY2(apart <= size.width() / 100, qPrintable(u"%1 columns of %2 apart"_s.arg(apart).arg(c.title)));
        }
        QHash<QRgb, int> expectedCount, count;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                ++expectedCount[expectedImage.pixel(x, y)];
                ++count[image.pixel(x, y)];
            }
        }
        QList<QColor> colors{toQColor(shown.background), QColor(64, 64, 64), QColor(40, 40, 40)};
        for (const TrendPicture::Channel &c : shown.channels)
            colors << toQColor(c.color);
        for (const QColor &color : colors) {
            const int want = expectedCount.value(color.rgb());
            const int got = count.value(color.rgb());
            QVERIFY(want > 0);
            QVERIFY2(std::abs(got - want) <= want / 50 + 20,
                     qPrintable(u"%1 pixels of %2, not %3"_s.arg(got).arg(color.name()).arg(want)));
        }
    }
};

VIEWER_TEST(TrendRendererTest)
#include "tst_trendrenderer.moc"
