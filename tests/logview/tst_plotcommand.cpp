#include "support/logfixture.h"
#include "support/scripteddialogs.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/gridcontrol.h"
#include "controls/gridmodel.h"
#include "controls/numericedit.h"
#include "controls/plotcontrol.h"
#include "logview/datafilewindow.h"
#include "core/logdocument.h"
#include "shell/openlog.h"
#include "trend/statspanel.h"
#include "trend/trendwindow.h"
#include "trendsetup/trendmemory.h"
#include "trendsetup/trendsetupdialog.h"
#include "support/widgetdriver.h"

#include <QAction>
#include <QHeaderView>
#include <QTableView>
#include <QPointer>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(QList<GridBlock>)

namespace {

const QString TooFew = u"you must select at least 4 cells\r\nfor historical trend!"_s;
const QString OnlyData = u"Only data cells can be used\r\nfor historical trend!"_s;

GridControl &grid() { return *frmHistory().dataGrid(); }

// A trend window from an earlier plot, still on screen.
QPointer<TrendWindow> formerTrend()
{
    TrendWindow &trend = frmHistoryPlot();
    trend.show();
    return &trend;
}

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// Columns 2 and 3 of rows 2 to 7 plotted: sample 0 is grid row 2.
const GridBlock RowsTwoToSeven{2, 2, 3, 7};

// Plots them and puts the cursor on sample 0, which makes row 2 the grid's
// current row; nothing when either fails.
PlotControl *plotWithCursorOnRow2()
{
    grid().setSelectionBlocks({RowsTwoToSeven});
    frmHistory().toolbarButtonClick(2);
    TrendWindow *trend = loadedTrendWindow();
    if (!trend)
        return nullptr;
    PlotControl &plot = trend->trendPlot();
    plot.DataCursor(0).setSample(0);
    return grid().currentRow() == 2 ? &plot : nullptr;
}

} // namespace

class PlotCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        TestEnv::reset();
        LogFixture::open(LogFixture::minutes(8, 4));
    }

    void selectionRules_data()
    {
        QTest::addColumn<QList<GridBlock>>("blocks");
        QTest::addColumn<QString>("message");       // empty: the plot runs
        QTest::addColumn<GridBlock>("failingBlock");
        QTest::newRow("4 rows accepted") << QList<GridBlock>{{2, 1, 2, 4}} << QString() << GridBlock{};
        QTest::newRow("3 rows refused") << QList<GridBlock>{{2, 1, 2, 3}} << TooFew << GridBlock{2, 1, 2, 3};
        QTest::newRow("whole columns accepted") << QList<GridBlock>{{3, -1, 5, -1}} << QString() << GridBlock{};
        QTest::newRow("date column refused") << QList<GridBlock>{{0, 1, 0, 6}} << OnlyData << GridBlock{0, 1, 0, 6};
        QTest::newRow("time column reaching into values")
            << QList<GridBlock>{{1, 1, 4, 6}} << OnlyData << GridBlock{1, 1, 4, 6};
        QTest::newRow("wide block from column 2") << QList<GridBlock>{{2, 2, 5, 7}} << QString() << GridBlock{};
        QTest::newRow("second block too short")
            << QList<GridBlock>{{2, 1, 2, 6}, {3, 4, 4, 5}} << TooFew << GridBlock{3, 4, 4, 5};
        QTest::newRow("rows are checked before columns")
            << QList<GridBlock>{{1, 1, 1, 2}} << TooFew << GridBlock{1, 1, 1, 2};
        QTest::newRow("nothing selected") << QList<GridBlock>{} << TooFew << GridBlock{};
    }

    void selectionRules()
    {
        QFETCH(QList<GridBlock>, blocks);
        QFETCH(QString, message);
        QFETCH(GridBlock, failingBlock);
        QPointer<TrendWindow> former = formerTrend();
        grid().setSelectionBlocks(blocks);
        frmHistory().toolbarButtonClick(2);
        flushDeletes();
        QVERIFY(!former); // closed before any check
        if (message.isEmpty()) {
            QVERIFY(TestEnv::ui().messages.isEmpty());
            QVERIFY(loadedTrendWindow() && loadedTrendWindow()->isVisible());
            QVERIFY(loadedTrendWindow()->trendPlot().ChannelCount() > 0);
        } else {
            QCOMPARE(TestEnv::ui().texts(), QStringList{message});
            QCOMPARE(TestEnv::ui().messages.constFirst().icon, message == OnlyData ? MsgIcon::Question : MsgIcon::None);
            QVERIFY(!loadedTrendWindow() || !loadedTrendWindow()->isVisible());
            if (!blocks.isEmpty())
                QCOMPARE(grid().block(), failingBlock);
        }
    }

    void statusTextsAndButtonsDuringTheRun()
    {
        grid().setSelectionBlocks({GridBlock{2, -1, 3, -1}});
        setYieldInterval(0);
        QString statusDuring;
        QList<bool> enabledDuring;
        TestEnv::ui().onPass = [&](int pass) {
            if (pass != 3)
                return;
            statusDuring = frmHistory().statusPanelText();
            for (int position = 1; position <= 4; ++position)
                enabledDuring << frmHistory().toolbarButton(position)->isEnabled();
            // A second Plot, Open or Print inside the run's yield changes nothing.
            frmHistory().toolbarButtonClick(2);
            frmHistory().toolbarButtonClick(1);
            frmHistory().toolbarButtonClick(3);
        };
        frmHistory().toolbarButtonClick(2);
        QCOMPARE(statusDuring, u"Plotting data, please wait. Large files could take some time to plot data."_s);
        QCOMPARE(enabledDuring, (QList<bool>{false, false, false, true}));
        QCOMPARE(frmHistory().statusPanelText(), u"Current File is "_s + logDocument().path());
        for (int position = 1; position <= 4; ++position)
            QVERIFY(frmHistory().toolbarButton(position)->isEnabled());
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QCOMPARE(TestEnv::dialogs().fileRequests.size(), 1); // only the first Open
        QCOMPARE(loadedTrendWindow()->trendPlot().ChannelCount(), 2);
    }

    void theTrendCursorAndTheGridRowMoveTogether_data()
    {
        QTest::addColumn<int>("rightKeys");
        QTest::addColumn<int>("gridRow"); // set in the grid; 0: none
        QTest::addColumn<int>("expectedSample");
        QTest::addColumn<int>("expectedGridRow");
        // Rows 2 to 7 are plotted: sample 0 is grid row 2.
        QTest::newRow("cursor steps move the grid row") << 2 << 0 << 2 << 4;
        QTest::newRow("the grid row moves the cursor") << 0 << 6 << 4 << 6;
        QTest::newRow("a row that was not plotted leaves the cursor") << 0 << 8 << 0 << 8;
    }

    void theTrendCursorAndTheGridRowMoveTogether()
    {
        QFETCH(int, rightKeys);
        QFETCH(int, gridRow);
        QFETCH(int, expectedSample);
        QFETCH(int, expectedGridRow);
        const QList<GridBlock> blocks{RowsTwoToSeven};
        PlotControl *plotted = plotWithCursorOnRow2();
        QVERIFY(plotted);
        PlotControl &plot = *plotted;
        plot.setFocus();
        for (int i = 0; i < rightKeys; ++i)
            QTest::keyClick(&plot, Qt::Key_Right);
        if (gridRow > 0)
            grid().setCurrentRow(gridRow);

        QCOMPARE(plot.DataCursor(0).sample(), qsizetype(expectedSample));
        QCOMPARE(grid().currentRow(), expectedGridRow);
        QCOMPARE(plot.DataCursor(0).valueText(1), grid().cellText(3, expectedSample + 2));
        // The selected blocks stay as they were.
        QCOMPARE(grid().selectionBlockCount(), 1);
        QCOMPARE(grid().selectionBlock(0), blocks.first());
    }

    // The Date (the row's caption), the frozen Time and any value cell of a
    // plotted row take the cursor there; the arrow keys then go on from that row.
    void aClickOnAnyCellOfARowMovesTheCursor_data()
    {
        QTest::addColumn<int>("column"); // the grid's: 0 the date, 1 the time
        QTest::newRow("date") << 0;
        QTest::newRow("time") << 1;
        QTest::newRow("plotted value") << 3;
        QTest::newRow("value of a column not plotted") << 5;
    }

    void aClickOnAnyCellOfARowMovesTheCursor()
    {
        QFETCH(int, column);
        PlotControl *plotted = plotWithCursorOnRow2();
        QVERIFY(plotted);
        PlotControl &plot = *plotted;

        // Row 5 holds sample 3; the click goes to whatever the user finds there.
        QTableView &view = *grid().view();
        const int row = 5;
        QPoint at;
        if (column == 0) {
            QHeaderView *dates = view.verticalHeader();
            at = dates->viewport()->mapTo(&grid(), QPoint(dates->width() / 2, dates->sectionViewportPosition(row - 1)
                                                                                   + dates->sectionSize(row - 1) / 2));
        } else {
            const QModelIndex cell = grid().model()->index(row - 1, column - 1);
            view.scrollTo(cell); // brought into view as the user would scroll to it
            at = view.viewport()->mapTo(&grid(), view.visualRect(cell).center());
        }
        QWidget *under = grid().childAt(at);
        QVERIFY(under);
        QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(&grid(), at));
        QCOMPARE(grid().currentRow(), row);
        QCOMPARE(plot.DataCursor(0).sample(), qsizetype(3));
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(plot.DataCursor(0).sample(), qsizetype(4));
        QCOMPARE(grid().currentRow(), row + 1);
    }

    void cancelPlotWhileNothingRuns()
    {
        frmHistory().toolbarButtonClick(4);
        QVERIFY(!logDocument().isPlotting());
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QVERIFY(!loadedTrendWindow());
    }

    void aRefusedPlotKeepsTheCurrentFileStatus()
    {
        const QString before = frmHistory().statusPanelText();
        grid().setSelectionBlocks({GridBlock{2, 1, 2, 2}});
        frmHistory().toolbarButtonClick(2);
        QCOMPARE(frmHistory().statusPanelText(), before);
    }

    // A log of another shape shows its columns as they are: Ctrl+A takes its value
    // columns only, a heading carries its heading lines as its tip, and a time in one
    // column shows whole.
    void aLogOfAnotherShapeShowsItsColumns_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QList<GridBlock>>("values"); // what Ctrl+A selects
        QTest::addColumn<int>("tipColumn");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("widestTime");
        QTest::newRow("a title, #, a time with PM, a text column")
            << QByteArray("\"Plot Title: Boiler\"\r\n\"#\",\"Date Time, GMT-04:00\",\"Temp\",\"weather\"\r\n"
                          "1,03/24/11 11:59:00 AM,68.5,sunny\r\n2,03/24/11 12:00:00 PM,68.7,cloudy\r\n"
                          "3,03/24/11 01:00:00 PM,68.9,sunny\r\n4,03/24/11 02:00:00 PM,69.9,rain\r\n")
            << QList<GridBlock>{{2, -1, 2, -1}} << 2 << QString() << u"03/24/11 12:00:00 PM"_s;
        QTest::newRow("units and processing lines, RECORD, times of a maximum")
            << QByteArray("\"TOA5\",\"Station\",\"CR1000\"\r\n\"TIMESTAMP\",\"RECORD\",\"AirT_Avg\",\"RH_Max\",\"AirT_TMx\"\r\n"
                          "\"TS\",\"RN\",\"Deg C\",\"%\",\"Deg C\"\r\n\"\",\"\",\"Avg\",\"Max\",\"TMx\"\r\n"
                          "\"2014-04-10 01:00:00\",0,12.5,\"NAN\",\"2014-04-10 00:45:00\"\r\n"
                          "\"2014-04-10 02:00:00\",1,12.1,80,\"2014-04-10 01:15:00\"\r\n"
                          "\"2014-04-10 03:00:00\",2,11.9,81,\"2014-04-10 02:20:00\"\r\n"
                          "\"2014-04-10 04:00:00\",3,11.7,82,\"2014-04-10 03:20:00\"\r\n")
            << QList<GridBlock>{{2, -1, 3, -1}} << 2 << u"AirT_Avg\nDeg C\nAvg"_s << u"2014-04-10 01:00:00"_s;
    }

    void aLogOfAnotherShapeShowsItsColumns()
    {
        QFETCH(QByteArray, log);
        QFETCH(int, tipColumn);
        QFETCH(QString, widestTime);
        LogFixture::open(log);
        QTest::keyClick(grid().view(), Qt::Key_A, Qt::ControlModifier);
        QList<GridBlock> selected;
        for (int n = 0; n < grid().selectionBlockCount(); ++n)
            selected << grid().selectionBlock(n);
        QTEST(selected, "values");
        QTEST(grid().view()->model()->headerData(tipColumn - 1, Qt::Horizontal, Qt::ToolTipRole).toString(), "tip");
        QHeaderView *captions = grid().view()->verticalHeader();
        const int margin = captions->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, captions);
        QVERIFY2(captions->width() >= QFontMetrics(captions->font()).horizontalAdvance(widestTime) + 2 * margin,
                 qPrintable(QString::number(captions->width())));
    }

    // Two columns of one heading are told apart by their fields wherever the
    // channels are listed; the kept setup stays keyed by the heading.
    void columnsOfOneHeadingAreToldApart()
    {
        const QString dew = u"DewPt, \u00B0F"_s;
        LogFixture::open("Date,Time,\"DewPt, \xC2\xB0" "F\",A,\"DewPt, \xC2\xB0" "F\"\r\n1/2/2024,1:00:00 AM,1,2,3\r\n"
                         "1/2/2024,1:01:00 AM,3,4,5\r\n1/2/2024,1:02:00 AM,4,5,6\r\n1/2/2024,1:03:00 AM,5,6,7\r\n");
        grid().setSelectionBlocks({{2, 1, 4, 4}});
        frmHistory().toolbarButtonClick(2);
        TrendWindow *trend = loadedTrendWindow();
        QVERIFY(trend);
        PlotControl &plot = trend->trendPlot();
        const QStringList names{dew + u" (3)"_s, u"A"_s, dew + u" (5)"_s};
        trend->toolbarButtonClick(7); // the statistics
        for (int ch = 0; ch < 3; ++ch) {
            QCOMPARE(plot.Channel(ch).ShownTitle(), names[ch]); // the legend's
            QCOMPARE(trend->statsPanel().item(ch, 0)->text(), names[ch]);
        }
        QStringList rows;
        WidgetDriver::whenModal([&rows](QWidget *modal) {
            auto *dialog = qobject_cast<TrendSetupDialog *>(modal);
            if (!dialog || !dialog->isVisible())
                return false;
            for (int i = 0; i < 3; ++i)
                rows << dialog->penLabel(i);
            dialog->PWidth(2).setValue(4);
            dialog->cmdOK().click();
            return true;
        });
        trend->setupHistTrend();
        QCOMPARE(rows.size(), 3);
        for (int i = 0; i < 3; ++i)
            QVERIFY2(rows[i].endsWith(u' ' + names[i]), qPrintable(rows[i]));
        QCOMPARE(trendmemory::pen(dew).value_or(trendmemory::PenMemory{}).width, 4);
        QVERIFY(!trendmemory::pen(names[2]));
    }
};

VIEWER_TEST(PlotCommandTest)
#include "tst_plotcommand.moc"
