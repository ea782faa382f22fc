#include "support/scriptedui.h"
#include "support/testenv.h"
#include "support/testregistry.h"
#include "support/widgetdriver.h"

#include "loggen.h"

#include "controls/commondialog.h"
#include "controls/gridcontrol.h"
#include "controls/gridmodel.h"
#include "controls/numericedit.h"
#include "controls/plotcontrol.h"
#include "core/trenddata.h"
#include "controls/slider.h"
#include "controls/twips.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "shell/settingsstore.h"
#include "core/logdocument.h"
#include "shell/openlog.h"
#include "shell/sharedstate.h"
#include "shell/splash.h"
#include "shell/uiservices.h"
#include "shell/windowregistry.h"
#include "trend/trendwindow.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QImageReader>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace {

void mouse(QWidget *target, QEvent::Type type, QPoint pos, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, target->mapToGlobal(pos), button, buttons, modifiers);
    QCoreApplication::sendEvent(target, &event);
}

GridControl &grid() { return *frmHistory().dataGrid(); }

QPoint cellAt(int col, int row)
{
    return grid().view()->visualRect(grid().model()->index(row - 1, col - 1)).center();
}

QPoint columnHeaderAt(int col)
{
    QHeaderView *h = grid().view()->horizontalHeader();
    return {h->sectionViewportPosition(col - 1) + h->sectionSize(col - 1) / 2, h->height() / 2};
}

// Starts the program as the user does and waits for the data file window.
void startProgram()
{
    StartupHooks hooks;
    hooks.openDataFileWindow = [] { return static_cast<QWidget *>(&frmHistory()); };
    hooks.anotherInstanceRunning = [] { return false; };
    Splash::start(hooks);
}

// Answers the next file dialog with `path`, typed into its name box.
void answerFileDialog(const QString &path, QString *seenTitle = nullptr)
{
    WidgetDriver::whenModal([path, seenTitle](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        auto *edit = dialog ? dialog->findChild<QLineEdit *>(u"fileNameEdit"_s) : nullptr;
        auto *buttons = dialog ? dialog->findChild<QDialogButtonBox *>() : nullptr;
        if (!edit || !buttons || !dialog->isVisible())
            return false;
        if (seenTitle)
            *seenTitle = dialog->windowTitle();
        edit->setText(path);
        QPushButton *ok = buttons->button(dialog->acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save
                                                                                           : QDialogButtonBox::Open);
        ok->click();
        return true;
    });
}

// Answers the next print dialog: print to a PDF file.
void answerPrintDialog(const QString &pdf)
{
    WidgetDriver::whenModal([pdf](QWidget *w) {
        auto *dialog = qobject_cast<QPrintDialog *>(w);
        auto *printers = dialog ? dialog->findChild<QComboBox *>(u"printers"_s) : nullptr;
        if (!printers || !dialog->isVisible())
            return false;
        for (int i = 0; i < printers->count(); ++i)
            if (printers->itemText(i).contains(u"PDF"_s) && printers->itemText(i).contains(u"File"_s))
                printers->setCurrentIndex(i);
        if (auto *name = dialog->findChild<QLineEdit *>(u"filename"_s))
            name->setText(pdf);
        dialog->accept();
        return true;
    });
}

QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start(u"pdftotext"_s, {u"-layout"_s, pdf, u"-"_s});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

// A whole working session with the real windows, the real dialogs and the real
// message boxes, answered through their widgets; then a second start that finds
// every window where it was left.
class JourneyTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        TestEnv::reset();
        CommonDialog::installBackend(makeQtDialogBackend());
        TestEnv::ui().realMessageBoxes = true;
    }

    void aWorkingSession()
    {
        const QString dir = TestEnv::tempDir() + u"/journey"_s;
        QDir().mkpath(dir);
        const QString log = dir + u"/boiler house.csv"_s;
        LogGenOptions options;
        options.rows = 600;
        options.valueColumns = 5;
        QVERIFY(writeLog(log, options));

        // First start, no settings: splash, then the frame with the data file window.
        QVERIFY(!QFile::exists(TestEnv::settingsFile()));
        startProgram();
        QVERIFY(Splash::current() && Splash::current()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(loadedHistory() && frmHistory().isVisible(), 5000);
        QTRY_VERIFY(!Splash::current());
        QVERIFY(mainFrame().isVisible());
        QCOMPARE(twips::geometryOf(frmHistory()).width(), 6765.0);
        // Room to work: the user makes the frame and the data file window larger
        // (within the test screen's 800 x 800 pixels, as a user's screen holds them).
        mainFrame().move(0, 0);
        mainFrame().resize(790, 700);
        frmHistory().setGeometry(10, 10, 770, 420);
        QTest::qWait(50);

        // Open the log through the real file dialog.
        QString title;
        answerFileDialog(log, &title);
        frmHistory().toolbarButton(1)->trigger();
        QCOMPARE(title, u"Open Log file (.csv)"_s);
        QCOMPARE(logDocument().path(), log);
        QCOMPARE(frmHistory().statusPanelText(), u"Current File is "_s + log);
        QCOMPARE(grid().rowCount(), 600);
        QCOMPARE(grid().colCount(), 6);

        // Two blocks: column 2 whole, then with Ctrl a rectangle over columns 4 and 5.
        mouse(grid().view()->horizontalHeader()->viewport(), QEvent::MouseButtonPress, columnHeaderAt(2));
        mouse(grid().view()->horizontalHeader()->viewport(), QEvent::MouseButtonRelease, columnHeaderAt(2));
        QWidget *cells = grid().view()->viewport();
        mouse(cells, QEvent::MouseButtonPress, cellAt(4, 2), Qt::ControlModifier);
        mouse(cells, QEvent::MouseMove, cellAt(5, 9), Qt::ControlModifier);
        mouse(cells, QEvent::MouseButtonRelease, cellAt(5, 9), Qt::ControlModifier);
        QCOMPARE(grid().selectionBlockCount(), 2);
        QCOMPARE(grid().selectionBlock(0), (GridBlock{2, -1, 2, -1}));
        QCOMPARE(grid().selectionBlock(1), (GridBlock{4, 2, 5, 9}));

        // Plot.
        frmHistory().toolbarButton(2)->trigger();
        QVERIFY(TestEnv::ui().messages.isEmpty());
        TrendWindow &trend = frmHistoryPlot();
        QVERIFY(trend.isVisible());
        PlotControl &plot = trend.trendPlot();
        QCOMPARE(plot.ChannelCount(), 3);
        // The logger leaves some cells empty: those are gaps, not points.
        int withValues = 0;
        for (int r = 1; r <= 600; ++r)
            withValues += grid().cellText(2, r).trimmed().isEmpty() ? 0 : 1;
        QCOMPARE(plot.Channel(0).Count(), withValues);
        QCOMPARE(plot.trendData()->rowCount(), 600);
        QCOMPARE(plot.Channel(1).Count(), 8);
        QCOMPARE(plot.Channel(2).TitleText(), grid().cellText(5, 0));
        // The log's days are all 12 or below: the order read is told.
        QCOMPARE(trend.panelText(1),
                 u"Current trend data from boiler house.csv (dates read month first: no date shows the order)"_s);
        QCOMPARE(frmHistory().statusPanelText(), u"Current File is "_s + log);
        trend.setGeometry(30, 60, 620, 400);
        QTest::qWait(50);

        // Zoom both axes with the keyboard.
        const double fullX = trend.historyXspan();
        const double fullY = trend.historyYspan();
        const double xMin = plot.XAxis(0).Min();
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(&trend.DateSlider(), Qt::Key_PageUp);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(&trend.YSlider(), Qt::Key_PageUp);
        QCOMPARE(trend.DateSlider().Position(), 50.0);
        QCOMPARE(trend.YSlider().Position(), 30.0);
        QVERIFY(qFuzzyCompare(plot.XAxis(0).Span(), fullX * 0.5));
        QVERIFY(qFuzzyCompare(plot.YAxis(0).Span(), fullY * 0.7));
        QCOMPARE(plot.XAxis(0).Min(), xMin);
        QCOMPARE(trend.panelText(2), u"XZoom = 50.00% : YZoom = 30.00%"_s);

        // The data cursor.
        trend.Toolbar1().actions().at(1)->trigger();
        QVERIFY(plot.DataCursor(0).Visible());

        // Trend setup: a new Y range, a new X axis colour, a wider first pen.
        bool setupSeen = false;
        WidgetDriver::whenModal([&](QWidget *w) {
            if (w->objectName() != u"TrendSetup"_s || !w->isVisible())
                return false;
            setupSeen = true;
            w->findChild<NumericEdit *>(u"TrendZeroAnalog"_s)->setValue(-50);
            w->findChild<NumericEdit *>(u"TrendSpanAnalog"_s)->setValue(350);
            w->findChild<NumericEdit *>(u"PWidth(0)"_s)->setValue(3);
            // The X colour through the real colour dialog, opened on top.
            WidgetDriver::whenModal([](QWidget *inner) {
                auto *colours = qobject_cast<QColorDialog *>(inner);
                if (!colours || !colours->isVisible())
                    return false;
                colours->setCurrentColor(QColor(0, 200, 255));
                colours->accept();
                return true;
            });
            w->findChild<QPushButton *>(u"YscaleColor"_s)->click();
            w->findChild<QPushButton *>(u"cmdOK"_s)->click();
            return true;
        });
        trend.Toolbar1().actions().at(0)->trigger();
        QVERIFY(setupSeen);
        QCOMPARE(plot.YAxis(0).Min(), -50.0);
        QCOMPARE(plot.YAxis(0).Span(), 400.0);
        QCOMPARE(plot.XAxis(0).LabelsFontColor(), fromQColor(QColor(0, 200, 255)));
        QCOMPARE(plot.Channel(0).TraceLineWidth(), 3);
        QCOMPARE(plot.Channel(1).TraceLineWidth(), 1);

        // Save a picture through the real save dialog; the name gets its ".jpg".
        answerFileDialog(dir + u"/morning"_s, &title);
        trend.Toolbar1().actions().at(2)->trigger();
        QCOMPARE(title, u"Save trend jpeg as?"_s);
        const QImage picture = QImageReader(dir + u"/morning.jpg"_s).read();
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.size(), plot.size());

        // Print the trend and the grid to PDF files through the real print dialogs.
        answerPrintDialog(dir + u"/trend.pdf"_s);
        trend.Toolbar1().actions().at(3)->trigger();
        QVERIFY(QFile::exists(dir + u"/trend.pdf"_s));
        QVERIFY(pdfText(dir + u"/trend.pdf"_s).contains(u"Time"_s));

        frmHistory().setFocus();
        answerPrintDialog(dir + u"/grid.pdf"_s);
        frmHistory().toolbarButton(3)->trigger();
        const QString gridPrint = pdfText(dir + u"/grid.pdf"_s);
        QVERIFY2(gridPrint.contains(u"Grid printout for fileName "_s + log), qPrintable(gridPrint.left(400)));
        QVERIFY(gridPrint.contains(u"Page #1"_s));
        QVERIFY(TestEnv::ui().messages.isEmpty());

        // Exit, answered Yes in the real box.
        const QRectF frameLeft = twips::geometryOf(mainFrame());
        const QRectF dataLeft = twips::geometryOf(frmHistory());
        const QRectF trendLeft = twips::geometryOf(trend);
        QString question;
        WidgetDriver::answerMessageBox(QMessageBox::Yes, [&](QMessageBox *box) { question = box->text(); });
        mainFrame().findChild<QAction *>(u"mnuFileExit"_s)->trigger();
        QCOMPARE(question, u"Exit - are you sure?"_s);
        QCOMPARE(TestEnv::ui().endCount, 1);

        // The second start finds each window where it was left.
        WindowRegistry::unloadAll();
        resetShared();
        resetLogDocument();
        resetProgramEnded();
        startProgram();
        QTRY_VERIFY_WITH_TIMEOUT(loadedHistory() && frmHistory().isVisible(), 5000);
        QCOMPARE(twips::geometryOf(mainFrame()), frameLeft);
        QCOMPARE(twips::geometryOf(frmHistory()), dataLeft);
        answerFileDialog(log);
        frmHistory().toolbarButton(1)->trigger();
        grid().setSelectionBlocks({GridBlock{3, -1, 3, -1}});
        frmHistory().toolbarButton(2)->trigger();
        QVERIFY(loadedTrendWindow() && loadedTrendWindow()->isVisible());
        QCOMPARE(twips::geometryOf(frmHistoryPlot()), trendLeft);
    }
};

VIEWER_TEST(JourneyTest)
#include "tst_journey.moc"
