#include "support/logfixture.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/gridcontrol.h"
#include "controls/plotcontrol.h"
#include "controls/trendpicture.h"
#include "logview/datafilewindow.h"
#include "trend/trendwindow.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The picture of a new trend made from its data alone is the one a plot run
// leaves on the plot (before the value axes are titled after their channels):
// the export can draw a trend without the trend window.
class NewTrendPictureTest : public QObject
{
    Q_OBJECT

    static void compare(const TrendPicture::Axis &made, const TrendPicture::Axis &plotted, bool titled)
    {
        QCOMPARE(made.min, plotted.min);
        QCOMPARE(made.span, plotted.span);
        QCOMPARE(made.labels, plotted.labels);
        QCOMPARE(made.dateTimeFormat, plotted.dateTimeFormat);
        QCOMPARE(made.minorCount, plotted.minorCount);
        if (titled)
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
        QTest::newRow("columns that vary") << LogFixture::minutes(30, 3) << 4;
        QTest::newRow("a constant beside an empty column")
            << QByteArray("Date,Time,A,B\r\n1/2/2024,1:00,5,\r\n1/2/2024,1:01,5,\r\n1/2/2024,1:02,5,\r\n"
                          "1/2/2024,1:03,5,\r\n")
            << 3;
        QTest::newRow("a large constant")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:00,2e6\r\n1/2/2024,1:01,2e6\r\n1/2/2024,1:02,2e6\r\n"
                          "1/2/2024,1:03,2e6\r\n")
            << 2;
        QTest::newRow("every row at one time")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:00,5\r\n1/2/2024,1:00,6\r\n1/2/2024,1:00,7\r\n1/2/2024,1:00,8\r\n")
            << 2;
    }

    void newTrendPictureIsThePlotRunsPicture()
    {
        QFETCH(QByteArray, log);
        QFETCH(int, lastColumn);
        LogFixture::open(log);
        frmHistory().dataGrid()->setSelectionBlocks({GridBlock{2, -1, lastColumn, -1}});
        buildHistTrend();
        QVERIFY(TestEnv::ui().messages.isEmpty());
        PlotControl &plot = frmHistoryPlot().trendPlot();
        const TrendPicture plotted = plot.trendPicture();

        const TrendPicture made = TrendPicture::ofNewTrend(*plot.trendData());

        compare(made.time, plotted.time, true);
        compare(made.left, plotted.left, false);
        compare(made.right, plotted.right, true);
        QCOMPARE(made.channels.size(), plotted.channels.size());
        for (size_t ch = 0; ch < made.channels.size(); ++ch) {
            QCOMPARE(made.channels[ch].title, plotted.channels[ch].title);
            QCOMPARE(made.channels[ch].color, plotted.channels[ch].color);
            QCOMPARE(made.channels[ch].width, plotted.channels[ch].width);
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
