#include "support/logfixture.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/gridcontrol.h"
#include "controls/plotcontrol.h"
#include "controls/trendpicture.h"
#include "core/logdocument.h"
#include "core/trendreader.h"
#include "logview/datafilewindow.h"
#include "shell/openlog.h"
#include "shell/settingsstore.h"
#include "trend/trendbuilder.h"
#include "trend/trendwindow.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The picture of a new trend made from a read of its log alone is the one a plot
// run leaves on the plot, with what the trend memory keeps: the export draws a
// trend without the trend window.
class NewTrendPictureTest : public QObject
{
    Q_OBJECT

    static void compare(const TrendPicture::Axis &made, const TrendPicture::Axis &plotted)
    {
        QCOMPARE(made.min, plotted.min);
        QCOMPARE(made.span, plotted.span);
        QCOMPARE(made.labels, plotted.labels);
        QCOMPARE(made.dateTimeFormat, plotted.dateTimeFormat);
        QCOMPARE(made.minorCount, plotted.minorCount);
        QCOMPARE(made.title, plotted.title);
        QCOMPARE(made.titleFont, plotted.titleFont);
        QCOMPARE(made.labelsColor, plotted.labelsColor);
        QCOMPARE(made.scaleColor, plotted.scaleColor);
        QCOMPARE(made.titleColor, plotted.titleColor);
        QCOMPARE(made.axisLine, plotted.axisLine);
        QCOMPARE(made.majorGrid, plotted.majorGrid);
        QCOMPARE(made.minorGrid, plotted.minorGrid);
    }

private slots:
    void init() { TestEnv::reset(); }

    void newTrendPictureIsThePlotRunsPicture_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<int>("lastColumn");
        QTest::addColumn<QStringList>("kept"); // section, key, text
        const QByteArray rising = LogFixture::minutes(30, 3);
        QTest::newRow("columns that vary") << rising << 4 << QStringList();
        QTest::newRow("past the default colours") << LogFixture::minutes(10, 26) << 27 << QStringList();
        QTest::newRow("a constant beside an empty column")
            << QByteArray("Date,Time,A,B\r\n1/2/2024,1:00,5,\r\n1/2/2024,1:01,5,\r\n1/2/2024,1:02,5,\r\n"
                          "1/2/2024,1:03,5,\r\n")
            << 3 << QStringList();
        QTest::newRow("a large constant")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:00,2e6\r\n1/2/2024,1:01,2e6\r\n1/2/2024,1:02,2e6\r\n"
                          "1/2/2024,1:03,2e6\r\n")
            << 2 << QStringList();
        QTest::newRow("rows that run backwards")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:03,5\r\n1/2/2024,1:02,6\r\n1/2/2024,1:01,7\r\n1/2/2024,1:00,8\r\n")
            << 2 << QStringList();
        QTest::newRow("every row at one time")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:00,5\r\n1/2/2024,1:00,6\r\n1/2/2024,1:00,7\r\n1/2/2024,1:00,8\r\n")
            << 2 << QStringList();
        QTest::newRow("rows out of time order")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:01,5\r\n1/2/2024,1:00,6\r\n1/2/2024,1:03,7\r\n1/2/2024,1:02,8\r\n")
            << 2 << QStringList();
        QTest::newRow("a kept pen on the right axis")
            << rising << 4 << QStringList{u"TrendPens"_s, u"B"_s, u"#ff0000,3,right"_s};
        QTest::newRow("every column kept on the right axis")
            << rising << 3
            << QStringList{u"TrendPens"_s, u"A"_s, u"#00ff00,2,right"_s, u"TrendPens"_s, u"B"_s, u"#ff0000,1,right"_s};
        QTest::newRow("a kept colour that another column has by its place")
            << rising << 4
            << QStringList{u"TrendPens"_s, u"C"_s, toQColor(PlotControl::defaultChannelColor(0)).name() + u",1,left"_s};
        QTest::newRow("a kept look")
            << rising << 3
            << QStringList{u"TrendSetup"_s, u"LabelFormat"_s,  u"hh:nn"_s,   u"TrendSetup"_s, u"Background"_s,
                           u"#203040"_s,    u"TrendSetup"_s,   u"XScaleColor"_s, u"#ffff00"_s,   u"TrendSetup"_s,
                           u"YScaleColor"_s, u"#00ffff"_s,     u"TrendSetup"_s, u"XMinorTicks"_s, u"5"_s,
                           u"TrendSetup"_s, u"YMinorTicks"_s, u"2"_s};
    }

    void newTrendPictureIsThePlotRunsPicture()
    {
        QFETCH(QByteArray, log);
        QFETCH(int, lastColumn);
        QFETCH(QStringList, kept);
        for (qsizetype i = 0; i + 2 < kept.size(); i += 3)
            SettingsStore::writeText(kept[i], kept[i + 1], kept[i + 2]);
        LogFixture::open(log);
        const QList<GridBlock> blocks{GridBlock{2, -1, lastColumn, -1}};
        frmHistory().dataGrid()->setSelectionBlocks(blocks);
        buildHistTrend();
        QVERIFY(TestEnv::ui().messages.isEmpty());
        const TrendPicture plotted = frmHistoryPlot().trendPlot().trendPicture();
        trendreader::Request request;
        request.blocks = blocks;
        const trendreader::Result read = trendreader::read(logDocument().table(), request);
        QCOMPARE(read.end, trendreader::End::Complete);

        const TrendPicture made = newTrendPicture(read);

        compare(made.time, plotted.time);
        compare(made.left, plotted.left);
        compare(made.right, plotted.right);
        QCOMPARE(made.channels.size(), plotted.channels.size());
        for (size_t ch = 0; ch < made.channels.size(); ++ch) {
            QCOMPARE(made.channels[ch].title, plotted.channels[ch].title);
            QCOMPARE(made.channels[ch].color, plotted.channels[ch].color);
            QCOMPARE(made.channels[ch].width, plotted.channels[ch].width);
            QCOMPARE(made.channels[ch].dashed, plotted.channels[ch].dashed);
            QCOMPARE(made.channels[ch].valueAxis, plotted.channels[ch].valueAxis);
            QCOMPARE(made.channels[ch].visible, plotted.channels[ch].visible);
        }
        QCOMPARE(made.background, plotted.background);
        QCOMPARE(made.font, plotted.font);
        QCOMPARE(made.legendVisible, plotted.legendVisible);
        QCOMPARE(made.legendColor, plotted.legendColor);
        QCOMPARE(made.legendTitleColor, plotted.legendTitleColor);
        QCOMPARE(made.legendTitleBold, plotted.legendTitleBold);
    }
};

VIEWER_TEST(NewTrendPictureTest)
#include "tst_newtrendpicture.moc"
