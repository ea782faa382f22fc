#include "support/logfixture.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/gridcontrol.h"
#include "controls/plotcontrol.h"
#include "controls/slider.h"
#include "core/trenddata.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "core/logdocument.h"
#include "shell/openlog.h"
#include "trend/trendwindow.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(GridBlock)

namespace {

GridControl &grid() { return *frmHistory().dataGrid(); }

// The logger writes the rows of a longer log that the file does not hold yet.
void appendRows(int from, int to, int valueColumns)
{
    const QByteArray all = LogFixture::minutes(to, valueColumns);
    QFile file(logDocument().path());
    if (!file.open(QIODevice::Append) || file.write(all.mid(LogFixture::minutes(from, valueColumns).size())) < 0)
        qFatal("cannot append to the test log");
}

void plot(const QList<GridBlock> &blocks)
{
    grid().setSelectionBlocks(blocks);
    frmHistory().toolbarButtonClick(2);
}

constexpr double Minute = 1.0 / 1440;

} // namespace

class FollowTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void cleanup()
    {
        if (loadedHistory())
            frmHistory().setFollowing(false);
    }

    // Which rows join which channel is the document's; the window shows the grown
    // trend whole, each value axis over its own channels' grown values.
    void theGrownTrendIsShownWithItsSpans()
    {
        LogFixture::open(LogFixture::minutes(10, 2));
        plot({{2, -1, 3, -1}});
        TrendWindow *trend = loadedTrendWindow();
        QVERIFY(trend && trend->isVisible());
        const std::shared_ptr<TrendData> data = trend->trendPlot().trendData();
        const double spanBefore = trend->historyXspan();
        trend->trendPlot().Channel(0).setYAxisIndex(1);

        frmHistory().setFollowing(true);
        appendRows(10, 13, 2);
        frmHistory().followLog();

        QCOMPARE(grid().rowCount(), 13);
        QCOMPARE(data->rowCount(), 13);
        QVERIFY(qAbs(trend->historyXspan() - (spanBefore + 3 * Minute)) < 1e-9);
        QVERIFY(qAbs(trend->trendPlot().XAxis(0).Max() - data->time(data->rowCount() - 1)) < 1e-9);
        QCOMPARE(trend->trendPlot().YAxis(1).Max(), 130.0);
        QCOMPARE(trend->historyY2span(), trend->trendPlot().YAxis(1).Span());
        QCOMPARE(trend->historyYspan(), trend->trendPlot().YAxis(0).Span());
    }

    void zoomKeepsItsShareOfTheGrownSpan_data()
    {
        QTest::addColumn<double>("position"); // of the time slider
        QTest::addColumn<bool>("atEnd");
        QTest::newRow("unzoomed") << 0.0 << true;
        QTest::newRow("half, showing the end") << 50.0 << true;
        QTest::newRow("half, showing the start") << 50.0 << false;
    }

    void zoomKeepsItsShareOfTheGrownSpan()
    {
        QFETCH(double, position);
        QFETCH(bool, atEnd);
        LogFixture::open(LogFixture::minutes(11, 1));
        plot({{2, -1, 2, -1}});
        TrendWindow *trend = loadedTrendWindow();
        trend->DateSlider().setPosition(position);
        trend->dateSliderChanged();
        PlotAxis x = trend->trendPlot().XAxis(0);
        const double firstTime = x.Min();
        QVERIFY(qAbs(x.Span() - (100 - position) / 100 * 10 * Minute) < 1e-9);
        if (atEnd)
            x.setMin(firstTime + 10 * Minute - x.Span());
        const double minBefore = x.Min();

        frmHistory().setFollowing(true);
        appendRows(11, 15, 1);
        frmHistory().followLog();

        const double lastTime = firstTime + 14 * Minute;
        QVERIFY(qAbs(trend->historyXspan() - 14 * Minute) < 1e-9);
        QVERIFY(qAbs(x.Span() - (100 - position) / 100 * 14 * Minute) < 1e-9);
        if (atEnd)
            QVERIFY(qAbs(x.Max() - lastTime) < 1e-9);
        else
            QCOMPARE(x.Min(), minBefore);
        QCOMPARE(trend->DateSlider().Position(), position);
    }

    // A damaged line among the appended ones is named in the status text, and
    // the rows after it follow.
    void aDamagedLineIsNamed_data()
    {
        QTest::addColumn<QByteArray>("damaged");
        QTest::addColumn<QString>("note");
        QTest::newRow("a date that cannot be read")
            << QByteArray("x/1/2024,12:20:00 AM,7\r\n") << u" (the trend leaves out line 13: its date or time cannot be read)"_s;
        // What a power cut leaves: the line cut short, NUL bytes, and the logger
        // going on after them.
        QTest::newRow("a NUL run cutting a line short")
            << QByteArray("2/") + QByteArray(3000, '\0')
            << u" (NUL bytes after line 13 were passed over; the lines after them are shown)"_s;
    }

    void aDamagedLineIsNamed()
    {
        QFETCH(QByteArray, damaged);
        QFETCH(QString, note);
        const QString path = LogFixture::open(LogFixture::minutes(10, 1));
        plot({{2, -1, 2, -1}});
        const std::shared_ptr<TrendData> data = loadedTrendWindow()->trendPlot().trendData();
        frmHistory().setFollowing(true);
        appendRows(10, 11, 1);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append) && file.write(damaged) == damaged.size());
        }
        appendRows(11, 12, 1); // the logger goes on after its damaged line
        frmHistory().followLog();

        QTRY_COMPARE(grid().rowCount(), 13);
        QCOMPARE(data->rowCount(), 12); // all but line 13
        QCOMPARE(data->gridRow(data->rowCount() - 1), 13);
        QCOMPARE(logDocument().table().text(2, 13), u"120"_s);
        QCOMPARE(frmHistory().statusPanelText(), u"Current File is "_s + path + note);
    }

    void viewMovesWithTheDataOnlyWhenItShowedTheEnd_data()
    {
        QTest::addColumn<bool>("atEnd");
        QTest::addColumn<int>("writes");
        QTest::newRow("showing the end") << true << 1;
        QTest::newRow("showing the end, written twice") << true << 2;
        QTest::newRow("showing the top") << false << 1;
    }

    void viewMovesWithTheDataOnlyWhenItShowedTheEnd()
    {
        QFETCH(bool, atEnd);
        QFETCH(int, writes);
        LogFixture::open(LogFixture::minutes(300, 2));
        QTableView *view = grid().view();
        QScrollBar *bar = view->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        if (atEnd)
            view->scrollToBottom();
        else
            view->scrollToTop();
        const int before = bar->value();
        const int maximumBefore = bar->maximum();

        frmHistory().setFollowing(true);
        int rows = 300;
        for (int write = 0; write < writes; ++write, rows += 40) {
            appendRows(rows, rows + 40, 2);
            frmHistory().followLog();
            QCoreApplication::processEvents(); // the view's own layout pass
        }
        QCOMPARE(grid().rowCount(), rows);

        QVERIFY(bar->maximum() > maximumBefore);
        if (atEnd) {
            QCOMPARE(bar->value(), bar->maximum());
            const int lastShown = view->rowAt(view->viewport()->height() - 2);
            QCOMPARE(lastShown, rows - 1); // the model row of the last grid row
        } else {
            QCOMPARE(bar->value(), before);
        }
    }

    void replacedFileIsLoadedAgainAndPlotted_data()
    {
        QTest::addColumn<QByteArray>("replacement");
        QTest::addColumn<int>("rows");
        QTest::newRow("shrank") << LogFixture::minutes(6, 2) << 6;
        QByteArray longer = LogFixture::minutes(14, 2);
        longer.replace(",11:", ",10:");
        QTest::newRow("rewritten longer") << longer << 14;
    }

    void replacedFileIsLoadedAgainAndPlotted()
    {
        QFETCH(QByteArray, replacement);
        QFETCH(int, rows);
        const QString path = LogFixture::open(LogFixture::minutes(10, 2));
        plot({{2, -1, 3, -1}});
        PlotControl &trendPlot = loadedTrendWindow()->trendPlot();
        trendPlot.Channel(1).setTraceLineWidth(5);
        frmHistory().setFollowing(true);

        LogFixture::write(replacement);
        frmHistory().followLog();

        QCOMPARE(frmHistory().statusPanelText(), u"Current File is "_s + path + u" (reloaded: the file was replaced)"_s);
        QCOMPARE(grid().rowCount(), rows);
        TrendWindow *trend = loadedTrendWindow();
        QVERIFY(trend && trend->isVisible());
        QCOMPARE(trend->trendPlot().trendData()->rowCount(), rows);
        QCOMPARE(trend->trendPlot().Channel(1).TraceLineWidth(), 5);
        QVERIFY(frmHistory().isFollowing());
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }

    // A logger that starts its file again: what was read stays, and the log is
    // read again once the file holds a row.
    void anEmptiedLogKeepsItsRowsUntilNewOnesArrive()
    {
        const QString path = LogFixture::open(LogFixture::minutes(10, 2));
        plot({{2, -1, 3, -1}});
        frmHistory().setFollowing(true);

        LogFixture::write(QByteArray());
        frmHistory().followLog();
        LogFixture::write("Date,Time,A,B\r\n"); // a header is no row yet
        frmHistory().followLog();

        QVERIFY(TestEnv::ui().messages.isEmpty());
        QVERIFY(frmHistory().isFollowing());
        QCOMPARE(grid().rowCount(), 10);
        TrendWindow *trend = loadedTrendWindow();
        QVERIFY(trend && trend->isVisible());
        QCOMPARE(trend->trendPlot().trendData()->rowCount(), 10);
        QCOMPARE(frmHistory().statusPanelText(),
                 path + u" was emptied; the rows read before stay until new rows arrive."_s);
        QCOMPARE(trend->panelText(1), u"Current trend data from run.csv (emptied: rows read before)"_s);

        // The logger's first row, then more: read again, then followed.
        LogFixture::write(LogFixture::minutes(1, 2));
        frmHistory().followLog();
        LogFixture::write(LogFixture::minutes(4, 2));
        frmHistory().followLog();

        QVERIFY(TestEnv::ui().messages.isEmpty());
        QVERIFY(frmHistory().isFollowing());
        QCOMPARE(frmHistory().statusPanelText(), u"Current File is "_s + path + u" (reloaded: the file was replaced)"_s);
        QCOMPARE(grid().rowCount(), 4);
        trend = loadedTrendWindow();
        QVERIFY(trend && trend->isVisible());
        QCOMPARE(trend->trendPlot().trendData()->rowCount(), 4);
        QCOMPARE(trend->panelText(1), u"Current trend data from run.csv"_s);
        // Plotted afresh: the whole new trend, neither slider zoomed.
        QCOMPARE(trend->panelText(2), u"XZoom = 0.00% : YZoom = 0.00%"_s);
        QCOMPARE(trend->DateSlider().Position(), 0.0);
        QCOMPARE(trend->YSlider().Position(), 0.0);
    }

    void reloadKeepsSelectionPlaceAndTrend_data()
    {
        QTest::addColumn<int>("rowsAfter");
        QTest::newRow("file unchanged") << 300;
        QTest::newRow("file grew") << 320;
        QTest::newRow("file grew by a fifth") << 360;
    }

    void reloadKeepsSelectionPlaceAndTrend()
    {
        QFETCH(int, rowsAfter);
        LogFixture::open(LogFixture::minutes(300, 3));
        plot({{2, -1, 3, -1}});
        loadedTrendWindow()->trendPlot().Channel(0).setTraceLineWidth(7);
        const QList<GridBlock> selection{{3, 100, 4, 150}};
        grid().setSelectionBlocks(selection);
        QScrollBar *bar = grid().view()->verticalScrollBar();
        bar->setValue(bar->maximum() / 2);
        const int place = bar->value();
        QVERIFY(place > 0);

        appendRows(300, rowsAfter, 3);
        mainFrame().runCommand(FrameCommand::Reload);

        QCOMPARE(grid().rowCount(), rowsAfter);
        QCOMPARE(grid().selectionBlockCount(), 1);
        QCOMPARE(grid().selectionBlock(0), selection.constFirst());
        QCOMPARE(bar->value(), place);
        PlotControl &trendPlot = loadedTrendWindow()->trendPlot();
        QCOMPARE(trendPlot.trendData()->rowCount(), rowsAfter);
        QCOMPARE(trendPlot.Channel(0).TraceLineWidth(), 7);
        QCOMPARE(frmHistory().statusPanelText(), u"Current File is "_s + logDocument().path());
        QVERIFY(TestEnv::ui().messages.isEmpty());
        // The whole new trend, both sliders at 0.
        TrendWindow &trend = *loadedTrendWindow();
        QVERIFY(qAbs(trend.historyXspan() - (rowsAfter - 1) * Minute) < 1e-9);
        QCOMPARE(trendPlot.XAxis(0).Span(), trend.historyXspan());
        QCOMPARE(trendPlot.YAxis(0).Min(), 10.0);
        QCOMPARE(trendPlot.YAxis(0).Span(), rowsAfter * 10 + 1 - 10.0);
        QCOMPARE(trend.historyYspan(), trendPlot.YAxis(0).Span());
        QCOMPARE(trend.DateSlider().Position(), 0.0);
        QCOMPARE(trend.YSlider().Position(), 0.0);
        QCOMPARE(trend.panelText(2), u"XZoom = 0.00% : YZoom = 0.00%"_s);
    }

    // Reload leaves the windows as they were laid out; another log opens at its
    // first row and column.
    void reloadKeepsTheLayoutAndANewLogStartsAtItsTopLeft()
    {
        LogFixture::open(LogFixture::minutes(300, 30));
        plot({{2, -1, 3, -1}});
        TrendWindow *trend = loadedTrendWindow();
        QVERIFY(trend && trend->isVisible());
        trend->showMaximized();
        QVERIFY(trend->isMaximized());
        const QRect gridWindow = frmHistory().geometry();

        mainFrame().runCommand(FrameCommand::Reload);
        QVERIFY(loadedTrendWindow()->isMaximized());
        QCOMPARE(frmHistory().geometry(), gridWindow);

        QScrollBar *down = grid().view()->verticalScrollBar();
        QScrollBar *across = grid().view()->horizontalScrollBar();
        down->setValue(down->maximum());
        across->setValue(across->maximum());
        QVERIFY(down->value() > 0 && across->value() > 0);
        LogFixture::open(LogFixture::minutes(400, 30), u"other.csv"_s);
        QCOMPARE(down->value(), 0);
        QCOMPARE(across->value(), 0);
    }

    // The status bar and the File menu show whether the log is followed, also
    // when the document ends it because another log was opened.
    void theFollowStatusFollowsTheDocument()
    {
        LogFixture::open(LogFixture::minutes(10, 2));
        const QLabel *panel = frmHistory().findChild<QLabel *>(u"StatusBar1Follow"_s);
        const QAction *command = mainFrame().findChild<QAction *>(u"mnuFileFollow"_s);
        QVERIFY(panel && command);
        frmHistory().setFollowing(true);
        QVERIFY(!panel->isHidden());
        QVERIFY(command->isChecked());
        LogFixture::open(LogFixture::minutes(5, 2), u"other.csv"_s);
        QVERIFY(!frmHistory().isFollowing());
        QVERIFY(panel->isHidden());
        QVERIFY(!command->isChecked());
    }
};

VIEWER_TEST(FollowTest)
#include "tst_follow.moc"
