#include "support/logfixture.h"
#include "support/pdftext.h"
#include "support/scripteddialogs.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "support/testregistry.h"
#include "support/widgetdriver.h"

#include "controls/commondialog.h"
#include "core/oledate.h"
#include "controls/plotcontrol.h"
#include "controls/slider.h"
#include "controls/twips.h"
#include "core/logdocument.h"
#include "shell/mainframe.h"
#include <QMdiArea>
#include <QMenuBar>
#include "shell/settingsstore.h"
#include "shell/openlog.h"
#include "shell/sharedstate.h"
#include "trend/statspanel.h"
#include "trend/trendwindow.h"
#include "logview/datafilewindow.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QString JpegMessage = u"Jpeg file can not be saved. Check filename or disk space"_s;
const QString HistPlot = u"History\\HistPlot"_s;

// Sizes are set in whole pixels: 15 twips each at 96 DPI.
bool closeTo(double actual, double expected) { return std::abs(actual - expected) <= 15.0; }

#define COMPARE_TWIPS(actual, expected)                                                                        \
    QVERIFY2(closeTo((actual), (expected)),                                                                    \
             qPrintable(u"%1 is %2 twips, expected %3"_s.arg(QString::fromLatin1(#actual)).arg(actual).arg(expected)))

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// The trend window shown in the main frame with two channels of an afternoon.
TrendWindow &shownTrend()
{
    shared().fileDialog = &mainFrame().cmdFile();
    mainFrame().resize(1200, 900);
    mainFrame().show();
    TrendWindow &w = frmHistoryPlot();
    PlotControl &plot = w.trendPlot();
    plot.RemoveAllChannels();
    plot.XAxis(0).setTrackingEnabled(true);
    plot.YAxis(0).setTrackingEnabled(true);
    const double start = oledate::fromFields(2024, 2, 1, 14, 0, 0);
    for (int c = 0; c < 2; ++c) {
        PlotChannel channel = plot.Channel(plot.AddChannel());
        for (int i = 0; i < 300; ++i)
            channel.AddXY(start + i / 1440.0, 40 + 20 * c + 8 * std::sin(i / 25.0));
    }
    w.show();
    return w;
}

QString stored(const QString &key) { return SettingsStore::readText(HistPlot, key, u"none"_s); }

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class TrendCommandsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void init() { TestEnv::reset(); }

    // ---- the data cursor -------------------------------------------------------

    void cursorButtonTogglesTheCursor()
    {
        TrendWindow &w = shownTrend();
        QAction *button = w.Toolbar1().actions().at(1);
        QVERIFY(!w.trendPlot().DataCursor(0).Visible());
        button->trigger();
        QVERIFY(w.trendPlot().DataCursor(0).Visible());
        button->trigger();
        QVERIFY(!w.trendPlot().DataCursor(0).Visible());
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }

    // ---- Save as Jpeg ----------------------------------------------------------

    void saveDialogIsPreparedAsDesigned()
    {
        TrendWindow &w = shownTrend();
        CommonDialog &dialog = mainFrame().cmdFile();
        dialog.fileName = u"/logs/earlier.csv"_s; // what the open dialog left
        w.Toolbar1().actions().at(2)->trigger();
        QCOMPARE(TestEnv::dialogs().fileRequests.size(), 1);
        const FileDialogRequest &r = TestEnv::dialogs().fileRequests.constFirst();
        QVERIFY(r.save);
        QCOMPARE(r.title, u"Save trend jpeg as?"_s);
        QCOMPARE(r.nameFilter, u"Jpeg Files(*.jpg);;PNG Files(*.png);;SVG Files(*.svg);;PDF Files(*.pdf);;CSV Files(*.csv)"_s);
        QCOMPARE(r.filterIndex, 1);
        QCOMPARE(r.fileName, u"Historical Trend Plot.jpg"_s);
        QCOMPARE(r.defaultSuffix, u"jpg"_s);
        QVERIFY(r.confirmOverwrite);
        QCOMPARE(dialog.flags, 6);
        QCOMPARE(dialog.filter.section(u'|', 0, 1), u"Jpeg Files(*.jpg)|*.jpg"_s);
        QCOMPARE(dialog.defaultExt, u".jpg"_s);
        // Cancelled (the scripted dialog had no answer): silent, and the dialog
        // keeps raising the cancel error for its next user.
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QVERIFY(dialog.cancelError);
    }

    void jpegIsWrittenAtTheChosenName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("with extension") << u"trend.jpg"_s << u"trend.jpg"_s;
        QTest::newRow("without extension") << u"night shift"_s << u"night shift.jpg"_s;
        QTest::newRow("other extension kept") << u"trend.jpeg"_s << u"trend.jpeg"_s;
        QTest::newRow("the proposed name") << u"Historical Trend Plot.jpg"_s << u"Historical Trend Plot.jpg"_s;
    }

    void jpegIsWrittenAtTheChosenName()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QTemporaryDir dir;
        TrendWindow &w = shownTrend();
        TestEnv::dialogs().files << dir.filePath(typed);
        w.toolbarButtonClick(3);

        QVERIFY(TestEnv::ui().messages.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{written});
        QImageReader reader(dir.filePath(written));
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), w.trendPlot().size());
        // A real picture of the black plot, not an empty or white image.
        QVERIFY(QColor(image.pixel(2, 2)).value() < 40);
    }

    void cancelIsSilent()
    {
        TrendWindow &w = shownTrend();
        TestEnv::dialogs().files << std::nullopt;
        w.toolbarButtonClick(3);
        QCOMPARE(TestEnv::dialogs().fileRequests.size(), 1);
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QVERIFY(w.isVisible());
    }

    void failingSaveGivesTheMessage_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("folder that does not exist") << u"missing/trend.jpg"_s;
        QTest::newRow("empty name") << QString();
    }

    void failingSaveGivesTheMessage()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        TrendWindow &w = shownTrend();
        const double span = w.trendPlot().XAxis(0).Span();
        TestEnv::dialogs().files << (name.isEmpty() ? name : dir.filePath(name));
        w.toolbarButtonClick(3);

        QCOMPARE(TestEnv::ui().messages.size(), 1);
        const RecordedMessage &m = TestEnv::ui().messages.constFirst();
        QCOMPARE(m.text, JpegMessage);
        QCOMPARE(m.caption, appTitle());
        QCOMPARE(m.icon, MsgIcon::Critical);
        QCOMPARE(m.buttons, MsgButtons::Ok);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
        QCOMPARE(loadedTrendWindow(), &w);
        QVERIFY(w.isVisible());
        QCOMPARE(w.trendPlot().XAxis(0).Span(), span);
    }

    // ---- Print Trend -----------------------------------------------------------

    void printsTheTrendOnOnePage()
    {
        TrendWindow &w = shownTrend();
        const QString pdf = m_dir.filePath(u"trend.pdf"_s);
        TestEnv::dialogs().configurePrinter = [pdf](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        };
        TestEnv::dialogs().prints << PrintDialogResult{};
        w.Toolbar1().actions().at(3)->trigger();

        QCOMPARE(TestEnv::dialogs().printRequests.size(), 1);
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        QVERIFY(content.startsWith("%PDF"));
        QCOMPARE(content.count("/Type /Page\n") + content.count("/Type /Page "), 1);
    }

    void cancelledPrintIsSilent()
    {
        TrendWindow &w = shownTrend();
        w.toolbarButtonClick(4); // the scripted print dialog answers Cancel
        QCOMPARE(TestEnv::dialogs().printRequests.size(), 1);
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }

    void noPrinterIsReported()
    {
        TrendWindow &w = shownTrend();
        TestEnv::ui().printers.clear();
        w.toolbarButtonClick(4);
        QVERIFY(TestEnv::dialogs().printRequests.isEmpty());
        QCOMPARE(TestEnv::ui().texts(),
                 QStringList{u"There is no default printer!\r\nPlease install or select a default printer.\r\n"
                             u"Use File, Export PDF to save the printout as a PDF file."_s});
        QCOMPARE(TestEnv::ui().messages.constFirst().icon, MsgIcon::Critical);
    }

    // The type follows a typed extension that names one, else the filter chosen;
    // each type is a real file of its kind at the plot's size.
    void imageTypeFollowsExtensionOrFilter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("filter"); // 0: the dialog does not say
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("type");
        QTest::newRow("default") << u"trend"_s << 0 << u"trend.jpg"_s << u"jpeg"_s;
        QTest::newRow("PNG filter") << u"trend"_s << 2 << u"trend.png"_s << u"png"_s;
        QTest::newRow("SVG filter") << u"trend"_s << 3 << u"trend.svg"_s << u"svg"_s;
        QTest::newRow("PDF filter") << u"trend"_s << 4 << u"trend.pdf"_s << u"pdf"_s;
        QTest::newRow("typed PNG, JPEG filter") << u"trend.png"_s << 1 << u"trend.png"_s << u"png"_s;
        QTest::newRow("typed in capitals") << u"TREND.SVG"_s << 2 << u"TREND.SVG"_s << u"svg"_s;
        QTest::newRow("unknown extension") << u"trend.dat"_s << 2 << u"trend.dat"_s << u"png"_s;
        QTest::newRow("CSV filter") << u"trend"_s << 5 << u"trend.csv"_s << u"csv"_s;
        QTest::newRow("typed CSV, PNG filter") << u"trend.csv"_s << 2 << u"trend.csv"_s << u"csv"_s;
    }

    void imageTypeFollowsExtensionOrFilter()
    {
        QFETCH(QString, typed);
        QFETCH(int, filter);
        QFETCH(QString, written);
        QFETCH(QString, type);
        QTemporaryDir dir;
        TrendWindow &w = shownTrend();
        TestEnv::dialogs().files << FileChoice(dir.filePath(typed), filter);
        w.toolbarButtonClick(3);

        QVERIFY(TestEnv::ui().messages.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{written});
        const QString path = dir.filePath(written);
        const QSize plotSize = w.trendPlot().size();
        if (type == u"csv"_s) {
            QFile csv(path);
            QVERIFY(csv.open(QIODevice::ReadOnly));
            QVERIFY(csv.readLine().startsWith("Date,Time,"));
        } else if (type == u"svg"_s) {
            QSvgRenderer svg(path);
            QVERIFY(svg.isValid());
            QCOMPARE(svg.viewBox().size(), plotSize);
        } else if (type == u"pdf"_s) {
            QCOMPARE(PdfText::info(path, u"Pages"_s), u"1"_s);
            // One page of the plot's own size (pixels at 96 DPI, in points).
            const QStringList page = PdfText::info(path, u"Page size"_s).split(u' ');
            QVERIFY(page.size() >= 3);
            QVERIFY(std::abs(page.at(0).toDouble() - plotSize.width() * 0.75) < 1);
            QVERIFY(std::abs(page.at(2).toDouble() - plotSize.height() * 0.75) < 1);
        } else {
            QImageReader reader(path);
            reader.setDecideFormatFromContent(true);
            QCOMPARE(reader.format(), type.toLatin1());
            QCOMPARE(reader.read().size(), plotSize);
        }
    }

    // Preview and Export PDF go through the printout's own page: the same text on
    // the same one page as the printed trend, with no printer installed.
    void printoutWithoutPrinter_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("Print Preview") << 5;
        QTest::newRow("Export PDF") << 6;
    }

    void printoutWithoutPrinter()
    {
        QFETCH(int, button);
        TrendWindow &w = shownTrend();
        const QString printed = m_dir.filePath(u"printed.pdf"_s);
        const QString pdf = m_dir.filePath(u"without printer.pdf"_s);
        QString target = printed;
        TestEnv::dialogs().configurePrinter = [&target](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(target);
        };
        TestEnv::dialogs().prints << PrintDialogResult{};
        w.toolbarButtonClick(4);

        target = pdf;
        TestEnv::ui().printers.clear();
        TestEnv::dialogs().files << m_dir.filePath(u"without printer"_s);
        w.Toolbar1().actions().at(button - 1)->trigger();

        QVERIFY(TestEnv::ui().messages.isEmpty());
        QCOMPARE(TestEnv::dialogs().previews, button == 5 ? 1 : 0);
        QCOMPARE(PdfText::info(pdf, u"Pages"_s), u"1"_s);
        QCOMPARE(PdfText::info(pdf, u"Page size"_s), PdfText::info(printed, u"Page size"_s));
        const QStringList pages = PdfText::pages(pdf);
        QVERIFY(pages.join(QString()).contains(u"2/1/24"_s));
        QCOMPARE(pages, PdfText::pages(printed));
    }

    // File, Print Preview and Export PDF... act on the active child window.
    void fileMenuActsOnTheActiveWindow_data()
    {
        QTest::addColumn<bool>("trendActive");
        QTest::addColumn<QString>("title");
        QTest::newRow("trend window") << true << u"Export trend printout as PDF"_s;
        QTest::newRow("data file window") << false << u"Export grid printout as PDF"_s;
    }

    void fileMenuActsOnTheActiveWindow()
    {
        QFETCH(bool, trendActive);
        QFETCH(QString, title);
        TrendWindow &w = shownTrend();
        DataFileWindow &data = frmHistory();
        data.show();
        logDocument().load(LogFixture::write(LogFixture::minutes(5, 1), u"plant.csv"_s));
        mainFrame().mdiArea()->setActiveSubWindow(trendActive ? static_cast<QMdiSubWindow *>(&w) : &data);
        mainFrame().findChild<QAction *>(u"mnuFileExportPdf"_s)->trigger();
        QCOMPARE(TestEnv::dialogs().fileRequests.size(), 1);
        QCOMPARE(TestEnv::dialogs().fileRequests.constFirst().title, title);
    }

    // ---- resize ----------------------------------------------------------------

    void tooSmallSnapsBothToTheMinimum_data()
    {
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<QSizeF>("expected");
        QTest::newRow("8000 x 6000") << QSizeF(8000, 6000) << QSizeF(8130, 5370);
        QTest::newRow("too low only") << QSizeF(12000, 5000) << QSizeF(8130, 5370);
        QTest::newRow("one pixel too low") << QSizeF(8130, 5355) << QSizeF(8130, 5370);
        QTest::newRow("exactly the minimum") << QSizeF(8130, 5370) << QSizeF(8130, 5370);
        QTest::newRow("larger") << QSizeF(12000, 7500) << QSizeF(12000, 7500);
    }

    void tooSmallSnapsBothToTheMinimum()
    {
        QFETCH(QSizeF, size);
        QFETCH(QSizeF, expected);
        TrendWindow &w = shownTrend();
        w.resize(twips::toPixelsX(size.width()), twips::toPixelsY(size.height()));
        QCOMPARE(twips::sizeOf(w), expected);
    }

    void layoutFollowsTheOuterSize_data()
    {
        QTest::addColumn<QSizeF>("size");
        QTest::newRow("minimum") << QSizeF(8130, 5370);
        QTest::newRow("larger") << QSizeF(14000, 9000);
        QTest::newRow("wide and low") << QSizeF(16500, 5400);
    }

    // The figures of the layout table, and a picture that works: the sliders
    // beside and below the plot, all of it between the toolbar and the status bar.
    void layoutFollowsTheOuterSize()
    {
        QFETCH(QSizeF, size);
        TrendWindow &w = shownTrend();
        w.resize(twips::toPixelsX(size.width()), twips::toPixelsY(size.height()));
        QCoreApplication::processEvents();
        const PlotControl &plot = w.trendPlot();
        COMPARE_TWIPS(plot.Width(), size.width() - 1125);
        COMPARE_TWIPS(plot.Height(), size.height() - 1900);
        const QRectF ySlider = twips::geometryOf(w.YSlider());
        const QRectF dateSlider = twips::geometryOf(w.DateSlider());
        COMPARE_TWIPS(ySlider.top(), plot.Top() - 75);
        COMPARE_TWIPS(ySlider.height(), plot.Height() + 75);
        COMPARE_TWIPS(ySlider.left(), plot.Width() + 130);
        COMPARE_TWIPS(dateSlider.top(), plot.Height() + 395);
        COMPARE_TWIPS(dateSlider.left(), plot.Left() - 120);
        COMPARE_TWIPS(dateSlider.width(), plot.Width() + 220);

        const QRect p = plot.geometry(), y = w.YSlider().geometry(), d = w.DateSlider().geometry();
        QVERIFY(!p.intersects(y) && !p.intersects(d) && !y.intersects(d));
        const QRect area = plot.parentWidget()->rect();
        QVERIFY(area.contains(p) && area.contains(y) && area.contains(d));
        const QWidget &content = *w.widget();
        const QRect areaInContent(plot.parentWidget()->mapTo(&content, QPoint()), area.size());
        QVERIFY(w.Toolbar1().geometry().bottom() < areaInContent.top());
        QVERIFY(w.StatusBar1().geometry().top() > areaInContent.bottom());
        QCOMPARE(w.StatusBar1().geometry().bottom(), content.height() - 1);
        QVERIFY(w.Toolbar1().isVisible() && w.StatusBar1().isVisible());
    }

    // The stored placement may be below the minimum (the default height is): the
    // window snaps as it is shown and is laid out for the snapped size.
    void tooSmallWhenShownIsLaidOutAtTheMinimum()
    {
        mainFrame().show();
        TrendWindow &w = frmHistoryPlot();
        w.setGeometry(0, 0, twips::toPixelsX(8130), twips::toPixelsY(5055));
        w.show();
        QCoreApplication::processEvents();
        QCOMPARE(twips::sizeOf(w), QSizeF(8130, 5370));
        COMPARE_TWIPS(w.trendPlot().Height(), 5370 - 1900);
        COMPARE_TWIPS(twips::geometryOf(w.DateSlider()).top(), 5370 - 1900 + 395);
    }

    // Maximised in a small main frame, the window keeps the frame's size and its
    // plot shrinks with it.
    void maximisedInASmallFrameIsNotSnapped()
    {
        TrendWindow &w = shownTrend();
        mainFrame().resize(500, 330);
        w.showMaximized();
        QCoreApplication::processEvents();
        QVERIFY(w.isMaximized());
        QVERIFY(w.width() < twips::toPixelsX(8130));
        QVERIFY(w.height() < twips::toPixelsY(5370));
        COMPARE_TWIPS(w.trendPlot().Width(), twips::sizeOf(w).width() - 1125);
        COMPARE_TWIPS(w.trendPlot().Height(), twips::sizeOf(w).height() - 1900);
    }

    void minimisedIsNotSnapped()
    {
        TrendWindow &w = shownTrend();
        w.showMinimized();
        QVERIFY(w.isMinimized());
        QVERIFY(w.height() < twips::toPixelsY(5370));
    }

    // ---- the statistics panel ----------------------------------------------------

    // The panel beside the plot, right of a splitter: it stays while the window is
    // hidden and shown maximised or restored, or tiled; it starts at a third, the
    // user's drag is kept (also by the next window, through the settings file),
    // and the plot keeps at least half the window's width.
    void theStatisticsPanelKeepsItsPlace_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("dragBy");   // pixels the splitter is dragged first
        QTest::addColumn<double>("panel"); // its width then, twips; 0: where it was left; -1: the plot at half
        QTest::newRow("hidden, shown maximised") << u"maximise"_s << 0 << 0.0;
        QTest::newRow("maximised, hidden, shown restored") << u"restore"_s << -40 << 0.0;
        QTest::newRow("tiled") << u"tile"_s << -40 << 0.0;
        QTest::newRow("kept by the next window") << u"reopen"_s << -40 << 0.0;
        QTest::newRow("dragged to the window's edge") << u"none"_s << 400 << 1500.0;
        QTest::newRow("dragged far left: the plot keeps half") << u"none"_s << -800 << -1.0;
    }

    void theStatisticsPanelKeepsItsPlace()
    {
        QFETCH(QString, action);
        QFETCH(int, dragBy);
        QFETCH(double, panel);
        TrendWindow *w = &shownTrend();
        w->setGeometry(0, 0, twips::toPixelsX(10000), twips::toPixelsY(6000));
        w->toolbarButtonClick(7);
        QCoreApplication::processEvents();
        auto *splitter = w->findChild<QSplitter *>(u"statsSplitter"_s);
        QVERIFY(splitter);
        // It starts at a third.
        COMPARE_TWIPS(twips::sizeOf(w->statsPanel()).width() + twips::fromPixelsX(splitter->handleWidth()),
                      twips::sizeOf(*splitter).width() / 3);
        if (dragBy != 0) {
            QSplitterHandle *handle = splitter->handle(1);
            const QPoint grip = handle->rect().center();
            QTest::mousePress(handle, Qt::LeftButton, {}, grip);
            QTest::mouseMove(handle, grip + QPoint(dragBy, 0));
            QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(dragBy, 0));
            QCoreApplication::processEvents();
        }
        const double left = twips::sizeOf(w->statsPanel()).width();
        if (panel == 0 && dragBy != 0)
            QVERIFY(left > twips::sizeOf(*splitter).width() / 3); // the drag took
        if (action == u"maximise"_s || action == u"restore"_s) {
            if (action == u"restore"_s)
                w->showMaximized();
            w->hide();
            QCoreApplication::processEvents();
            action == u"restore"_s ? w->showNormal() : w->showMaximized();
        } else if (action == u"tile"_s) {
            mainFrame().mdiArea()->tileSubWindows();
        } else if (action == u"reopen"_s) {
            QVERIFY(w->close());
            flushDeletes();
            QVERIFY2(closeTo(stored(u"StatsWidth"_s).toDouble(), left), qPrintable(stored(u"StatsWidth"_s)));
            w = &frmHistoryPlot();
            w->setGeometry(0, 0, twips::toPixelsX(10000), twips::toPixelsY(6000));
            w->show();
            w->toolbarButtonClick(7);
        }
        QCoreApplication::processEvents();

        const StatsPanel &stats = w->statsPanel();
        QVERIFY(stats.isVisible());
        QVERIFY(w->Toolbar1().actions().at(6)->isChecked());
        const double outer = twips::sizeOf(*w).width();
        QVERIFY2(w->trendPlot().Width() >= outer / 2 - 15, qPrintable(QString::number(w->trendPlot().Width())));
        // Right of the value slider, within the window.
        const QRect slider(w->YSlider().mapTo(w, QPoint()), w->YSlider().size());
        const QRect shown(stats.mapTo(w, QPoint()), stats.size());
        QVERIFY(shown.left() > slider.right());
        QVERIFY(shown.right() < w->width());
        if (panel > 0)
            COMPARE_TWIPS(twips::sizeOf(stats).width(), panel);
        else if (panel == 0)
            COMPARE_TWIPS(twips::sizeOf(stats).width(), left);
        else
            COMPARE_TWIPS(w->trendPlot().Width(), outer / 2);
    }

    // ---- close -----------------------------------------------------------------

    void minimisedCloseIsRefusedThenRestoredCloseWritesThePlacement()
    {
        TrendWindow &w = shownTrend();
        w.setGeometry(30, 45, twips::toPixelsX(9000), twips::toPixelsY(6000));
        w.showMinimized();
        QVERIFY(!w.close());
        flushDeletes();
        QCOMPARE(loadedTrendWindow(), &w);
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QCOMPARE(stored(u"MainLeft"_s), u"none"_s);
        QCOMPARE(stored(u"MainHeight"_s), u"none"_s);

        w.showNormal();
        QVERIFY(w.close());
        flushDeletes();
        QVERIFY(!loadedTrendWindow());
        QCOMPARE(stored(u"MainLeft"_s), u"450"_s);
        QCOMPARE(stored(u"MainTop"_s), u"675"_s);
        QCOMPARE(stored(u"MainWidth"_s), u"9000"_s);
        QCOMPARE(stored(u"MainHeight"_s), u"6000"_s);
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }

};

VIEWER_TEST(TrendCommandsTest)

// "Save as Jpeg" through Qt's own file dialog, answered through its widgets.
class SaveJpegDialogTest : public QObject
{
    Q_OBJECT

    QString m_seenTitle;
    QStringList m_seenFilters;
    QString m_seenName;
    QString m_seenQuestion;

    // Types `name` into the next file dialog and presses its Save button; a
    // question that follows is answered Yes.
    void saveInFileDialog(const QString &name, int filterSteps = 0)
    {
        WidgetDriver::whenModal([this, name, filterSteps](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            auto *edit = dialog ? dialog->findChild<QLineEdit *>(u"fileNameEdit"_s) : nullptr;
            auto *buttons = dialog ? dialog->findChild<QDialogButtonBox *>() : nullptr;
            if (!edit || !buttons || !dialog->isVisible())
                return false;
            m_seenTitle = dialog->windowTitle();
            m_seenFilters = dialog->nameFilters();
            m_seenName = edit->text();
            // The user picks a type further down the list, as with the keyboard.
            if (auto *types = dialog->findChild<QComboBox *>(u"fileTypeCombo"_s)) {
                for (int i = 0; i < filterSteps; ++i)
                    QTest::keyClick(types, Qt::Key_Down);
            }
            edit->setText(name);
            WidgetDriver::answerMessageBox(QMessageBox::Yes, [this](QMessageBox *box) { m_seenQuestion = box->text(); });
            buttons->button(QDialogButtonBox::Save)->click();
            return true;
        });
    }

private slots:
    void init()
    {
        TestEnv::reset();
        CommonDialog::installBackend(makeQtDialogBackend());
        TestEnv::ui().realMessageBoxes = true;
        m_seenQuestion.clear();
    }

    void nameWithoutExtensionGetsJpg()
    {
        QTemporaryDir dir;
        TrendWindow &w = shownTrend();
        saveInFileDialog(dir.filePath(u"night shift"_s));
        w.Toolbar1().actions().at(2)->trigger();

        QCOMPARE(m_seenTitle, u"Save trend jpeg as?"_s);
        QCOMPARE(m_seenFilters.value(0), u"Jpeg Files(*.jpg)"_s);
        QCOMPARE(m_seenName, u"Historical Trend Plot.jpg"_s);
        QVERIFY(m_seenQuestion.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"night shift.jpg"_s});
        QCOMPARE(QImageReader(dir.filePath(u"night shift.jpg"_s)).read().size(), w.trendPlot().size());
    }

    // The type picked in the dialog's list: a bare name takes its extension; an
    // extension the user typed stays and decides.
    void chosenTypeGivesTheExtension_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("filterSteps");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("bare name, PNG") << u"night shift"_s << 1 << u"night shift.png"_s << QByteArray("png");
        QTest::newRow("typed JPEG, PNG listed") << u"trend.jpg"_s << 1 << u"trend.jpg"_s << QByteArray("jpeg");
    }

    void chosenTypeGivesTheExtension()
    {
        QFETCH(QString, typed);
        QFETCH(int, filterSteps);
        QFETCH(QString, written);
        QFETCH(QByteArray, format);
        QTemporaryDir dir;
        TrendWindow &w = shownTrend();
        saveInFileDialog(dir.filePath(typed), filterSteps);
        w.toolbarButtonClick(3);

        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{written});
        QFile file(dir.filePath(written));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray head = file.read(200);
        const QByteArray found = head.startsWith("\x89PNG") ? "png" : head.startsWith("\xff\xd8") ? "jpeg"
                                 : head.contains("<svg")     ? "svg" : "other";
        QCOMPARE(found, format);
    }

    void existingFileIsReplacedAfterTheQuestion()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"trend.jpg"_s);
        QVERIFY(writeFile(path, "old"));
        TrendWindow &w = shownTrend();
        saveInFileDialog(path);
        w.toolbarButtonClick(3);

        QVERIFY2(m_seenQuestion.contains(u"already exists"_s), qPrintable(m_seenQuestion));
        QVERIFY(!QImageReader(path).read().isNull());
    }
};

VIEWER_TEST(SaveJpegDialogTest)
#include "tst_trendcommands.moc"
