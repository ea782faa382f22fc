#include "support/logfixture.h"
#include "support/scripteddialogs.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/gridcontrol.h"
#include "controls/plotcontrol.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "shell/sharedstate.h"
#include "trend/trendwindow.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The trend time of 1/2/2024 at 1:mm.
double minute(int mm)
{
    return double(QDate(1899, 12, 30).daysTo(QDate(2024, 1, 2))) + (60 + mm) / 1440.0;
}

// Six samples a minute apart; A misses 1:02 (empty) and 1:03 (a mark, N/A);
// the values are written as a logger writes them, not as a number would print.
const QByteArray Log = "Date,Time,A,\"B, bar\"\r\n"
                       "1/2/2024,1:00:00 AM,10.50,1.0e1\r\n"
                       "1/2/2024,1:01:00 AM,11.40,-0.25\r\n"
                       "1/2/2024,1:02:00 AM,,+3\r\n"
                       "1/2/2024,1:03:00 AM,N/A,3.00\r\n"
                       "1/2/2024,1:04:00 AM,12,4\r\n"
                       "1/2/2024,1:05:00 AM,13.0,5\r\n";

} // namespace

// The trend's "CSV Files" save: the samples in view, as logged, marks too;
// empty cells empty.
class ViewCsvTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void csvHoldsTheSamplesInView_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<bool>("otherLogOpened"); // since the plot
        QTest::addColumn<bool>("firstHidden"); // from the legend
        QTest::addColumn<QByteArray>("expected");
        const QByteArray header = "Date,Time,A,\"B, bar\"\r\n";
        QTest::newRow("zoomed onto the gap") << minute(1) << minute(3) << false << false
                                             << header + "1/2/2024,1:01:00 AM,11.40,-0.25\r\n"
                                                         "1/2/2024,1:02:00 AM,,+3\r\n"
                                                         "1/2/2024,1:03:00 AM,N/A,3.00\r\n";
        QTest::newRow("between samples") << minute(3) + 0.2 / 1440 << minute(4) + 0.9 / 1440 << false << false
                                         << header + "1/2/2024,1:04:00 AM,12,4\r\n";
        QTest::newRow("past the end") << minute(5) - 0.1 / 1440 << minute(9) << false << false
                                      << header + "1/2/2024,1:05:00 AM,13.0,5\r\n";
        QTest::newRow("whole trend") << minute(-1) << minute(6) << false << false
                                     << header + "1/2/2024,1:00:00 AM,10.50,1.0e1\r\n"
                                                 "1/2/2024,1:01:00 AM,11.40,-0.25\r\n"
                                                 "1/2/2024,1:02:00 AM,,+3\r\n"
                                                 "1/2/2024,1:03:00 AM,N/A,3.00\r\n"
                                                 "1/2/2024,1:04:00 AM,12,4\r\n"
                                                 "1/2/2024,1:05:00 AM,13.0,5\r\n";
        // The grid holds another log now: the trend's own numbers, not its cells.
        QTest::newRow("other log in the grid") << minute(1) << minute(3) << true << false
                                               << header + "1/2/2024,1:01:00 AM,11.4,-0.25\r\n"
                                                           "1/2/2024,1:02:00 AM,,3\r\n"
                                                           "1/2/2024,1:03:00 AM,,3\r\n";
        QTest::newRow("first channel hidden") << minute(1) << minute(3) << false << true
                                              << QByteArray("Date,Time,\"B, bar\"\r\n1/2/2024,1:01:00 AM,-0.25\r\n"
                                                            "1/2/2024,1:02:00 AM,+3\r\n1/2/2024,1:03:00 AM,3.00\r\n");
    }

    void csvHoldsTheSamplesInView()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(bool, otherLogOpened);
        QFETCH(bool, firstHidden);
        QFETCH(QByteArray, expected);
        LogFixture::open(Log);
        frmHistory().dataGrid()->setSelectionBlocks({GridBlock{2, -1, 3, -1}});
        buildHistTrend();
        QVERIFY(TestEnv::ui().messages.isEmpty());
        if (otherLogOpened)
            LogFixture::open("Date,Time,A,B\r\n1/1/2020,9:00:00 AM,99,98\r\n1/1/2020,9:01:00 AM,97,96\r\n", u"other.csv"_s);
        PlotControl &plot = frmHistoryPlot().trendPlot();
        plot.setChannelVisible(0, !firstHidden);
        plot.XAxis(0).setMin(from);
        plot.XAxis(0).setSpan(to - from);

        QTemporaryDir dir;
        shared().fileDialog = &mainFrame().cmdFile();
        TestEnv::dialogs().files << FileChoice(dir.filePath(u"view"_s), 5); // the CSV entry
        frmHistoryPlot().toolbarButtonClick(3);

        QVERIFY(TestEnv::ui().messages.isEmpty());
        QFile csv(dir.filePath(u"view.csv"_s));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll(), expected);
    }
};

VIEWER_TEST(ViewCsvTest)
#include "tst_viewcsv.moc"
