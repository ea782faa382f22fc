#include "support/pdftext.h"
#include "support/scripteddialogs.h"
#include "support/scriptedui.h"
#include "support/startup.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/commondialog.h"
#include "controls/gridcontrol.h"
#include "controls/gridmodel.h"
#include "logview/datafilewindow.h"
#include "core/logdocument.h"
#include "shell/openlog.h"
#include "shell/sharedstate.h"
#include "shell/uiservices.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPrinter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Row r, column c of the log holds "rRcC"; the dates are unique too.
QByteArray uniqueLog(int rows, int valueCols)
{
    QByteArray bytes("Date,Time");
    for (int c = 2; c < valueCols + 2; ++c)
        bytes += ",Value" + QByteArray::number(c);
    bytes += "\r\n";
    for (int r = 1; r <= rows; ++r) {
        bytes += "1/" + QByteArray::number(r % 28 + 1) + "/" + QByteArray::number(2000 + r) + ",1:00:00 AM";
        for (int c = 2; c < valueCols + 2; ++c)
            bytes += ",r" + QByteArray::number(r) + "c" + QByteArray::number(c);
        bytes += "\r\n";
    }
    return bytes;
}

// The "rRcC" cells of a printout as (row, column) pairs, in print order.
QList<std::pair<int, int>> printedCells(const QStringList &pages)
{
    static const QRegularExpression cell(u"\\br(\\d+)c(\\d+)\\b"_s);
    QList<std::pair<int, int>> cells;
    for (auto it = cell.globalMatch(pages.join(u'\n')); it.hasNext();) {
        const auto m = it.next();
        cells.append({m.captured(1).toInt(), m.captured(2).toInt()});
    }
    return cells;
}

QList<std::pair<int, int>> cellsOfBlock(int firstCol, int firstRow, int lastCol, int lastRow)
{
    QList<std::pair<int, int>> cells;
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int c = firstCol; c <= lastCol; ++c)
            cells.append({r, c});
    }
    return cells;
}

QString footerOf(const QString &page)
{
    QStringList lines = page.split(u'\n');
    while (!lines.isEmpty() && lines.constLast().trimmed().isEmpty())
        lines.removeLast();
    return lines.isEmpty() ? QString() : lines.constLast();
}

const QString NoFile = u"Data file has not been opened!\r\nUse the open file icon to load a data file."_s;
const QString NoPrinter = u"There is no default printer!\r\nPlease install or select a default printer.\r\n"
                          u"Use File, Export PDF to save the printout as a PDF file."_s;

} // namespace

class PrintHistGridTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_pdf;
    QString m_log;

    static DataFileWindow &window() { return frmHistory(); }
    static GridControl &grid() { return *frmHistory().dataGrid(); }

    // Loads the log through Open. The path holds "/r", "/c" and "/p", as many do.
    void load(const QByteArray &bytes)
    {
        QDir(m_dir->path()).mkpath(u"reports/cycle"_s);
        m_log = m_dir->filePath(u"reports/cycle/plant.csv"_s);
        QFile file(m_log);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            qFatal("cannot write the log");
        file.close();
        TestEnv::dialogs().files.append(m_log);
        window().toolbarButton(1)->trigger();
        QCOMPARE(logDocument().path(), m_log);
        // Room for the cells that the tests drag over.
        window().resize(1100, 650);
        QCoreApplication::processEvents();
    }

    // The user confirms the print dialog with these values; the "printer" is a PDF file.
    void confirmPrint(int copies = 1, int fromPage = 0, int toPage = 0, int orientation = 1)
    {
        TestEnv::dialogs().prints.append(PrintDialogResult{fromPage, toPage, copies, orientation});
        const QString pdf = m_pdf;
        TestEnv::dialogs().configurePrinter = [pdf, copies](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setPageSize(QPageSize(QPageSize::A4));
            printer.setCopyCount(copies); // as the dialog leaves it
        };
    }

    void press() { window().toolbarButton(3)->trigger(); }

    // Drags over the cells from one corner to the other, as the user selects a block.
    void selectCells(int col1, int row1, int col2, int row2)
    {
        QTableView *view = grid().view();
        const auto pos = [&](int col, int row) {
            return view->visualRect(grid().model()->index(row - 1, col - 1)).center();
        };
        QWidget *cells = view->viewport();
        const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
            QMouseEvent event(type, at, cells->mapToGlobal(at), button, buttons, Qt::NoModifier);
            QCoreApplication::sendEvent(cells, &event);
        };
        send(QEvent::MouseButtonPress, pos(col1, row1), Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseMove, pos(col2, row2), Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, pos(col2, row2), Qt::LeftButton, Qt::NoButton);
    }

    QStringList printedPages() const
    {
        return QFileInfo::exists(m_pdf) ? PdfText::pages(m_pdf) : QStringList();
    }

private slots:
    void init()
    {
        TestEnv::reset();
        TestStartup::run();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_pdf = m_dir->filePath(u"printout.pdf"_s);
    }

    void cleanup() { m_dir.reset(); }

    void noFileLoadedTellsTheUserFirst()
    {
        TestEnv::ui().printers.clear();
        confirmPrint();
        press();
        QCOMPARE(TestEnv::ui().texts(), QStringList{NoFile});
        QCOMPARE(TestEnv::ui().messages.constFirst().icon, MsgIcon::Question);
        QVERIFY(TestEnv::dialogs().printRequests.isEmpty());
        QVERIFY(!QFileInfo::exists(m_pdf));
    }

    void noPrinterTellsTheUser()
    {
        load(uniqueLog(5, 3));
        TestEnv::ui().printers.clear();
        confirmPrint();
        press();
        QCOMPARE(TestEnv::ui().texts(), QStringList{NoPrinter});
        const RecordedMessage &message = TestEnv::ui().messages.constFirst();
        QCOMPARE(message.icon, MsgIcon::Critical);
        QCOMPARE(message.buttons, MsgButtons::Ok);
        QCOMPARE(message.caption, appTitle());
        QVERIFY(TestEnv::dialogs().printRequests.isEmpty());
        QVERIFY(!QFileInfo::exists(m_pdf));
    }

    void cancelEndsSilently()
    {
        load(uniqueLog(5, 3));
        CommonDialog &dialog = *shared().fileDialog;
        dialog.flags = 4100; // left by the open dialog
        dialog.cancelError = false;
        QSignalSpy jobs(&grid(), &GridControl::printed);
        press(); // nothing queued: the user cancels
        QCOMPARE(TestEnv::dialogs().printRequests.size(), 1);
        QVERIFY(!TestEnv::dialogs().printRequests.constFirst().allowSelection);
        QVERIFY(!TestEnv::dialogs().printRequests.constFirst().allowPageRange);
        QCOMPARE(dialog.flags, 12);
        QVERIFY(dialog.cancelError);
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QCOMPARE(jobs.size(), 0);
    }

    // Every page of a printout bigger than a page each way carries the file's
    // full path at its head and its number at the right of its foot.
    void everyPageHasHeaderAndNumber()
    {
        load(uniqueLog(120, 11));
        confirmPrint();
        QSignalSpy jobs(&grid(), &GridControl::printed);
        press();
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QCOMPARE(jobs.size(), 1);
        const QStringList pages = printedPages();
        QVERIFY2(pages.size() >= 4, "the printout should run over several pages");
        QCOMPARE(pages.size(), jobs.constFirst().constFirst().toInt());
        QCOMPARE(PdfText::info(m_pdf, u"Title"_s), u"History Grid Printout"_s);
        for (int p = 0; p < pages.size(); ++p) {
            const QString head = pages.at(p).trimmed().section(u'\n', 0, 0).trimmed();
            QCOMPARE(head, u"Grid printout for fileName "_s + m_log);
            const QString foot = footerOf(pages.at(p));
            QCOMPARE(foot.trimmed(), u"Page #%1"_s.arg(p + 1));
            QVERIFY2(foot.indexOf(u"Page"_s) > 40, "the page number sits at the right");
        }
        // The whole sheet: every cell once.
        QCOMPARE(printedCells(pages).size(), 120 * 11);
        QCOMPARE(grid().printSettings().footer, u"/c/rPage #/p"_s);
    }

    // Hourly rows share their date, so every page prints the time beside the
    // date, whatever block of columns it shows; every value cell still prints once.
    void everyPageShowsTheRowsTimes_data()
    {
        QTest::addColumn<QList<int>>("selection"); // corners col1, row1, col2, row2; empty: none
        QTest::newRow("whole sheet") << QList<int>{};
        QTest::newRow("block with the time") << QList<int>{1, 2, 13, 5};
        QTest::newRow("block of values only") << QList<int>{4, 2, 13, 5};
        QTest::newRow("one value column") << QList<int>{5, 2, 5, 4};
    }

    void everyPageShowsTheRowsTimes()
    {
        QFETCH(QList<int>, selection);
        const auto timeOf = [](int row) { return row == 1 ? u"12:00:00 AM"_s : u"%1:00:00 AM"_s.arg(row - 1); };
        QByteArray log("Date,Time");
        for (int c = 2; c <= 13; ++c)
            log += ",Value" + QByteArray::number(c);
        for (int r = 1; r <= 6; ++r) {
            log += "\r\n1/2/2024," + timeOf(r).toLatin1();
            for (int c = 2; c <= 13; ++c)
                log += ",r" + QByteArray::number(r) + "c" + QByteArray::number(c);
        }
        load(log + "\r\n");
        if (!selection.isEmpty())
            grid().setSelectionBlocks({GridBlock{selection.at(0), selection.at(1), selection.at(2), selection.at(3)}});
        confirmPrint();
        press();
        const QStringList pages = printedPages();
        QVERIFY(!pages.isEmpty());
        if (selection.isEmpty() || selection.at(2) > selection.at(0))
            QVERIFY2(pages.size() >= 2, "the test needs a second band of columns");
        static const QRegularExpression cell(u"\\br(\\d+)c\\d+\\b"_s);
        for (const QString &line : pages.join(u'\n').split(u'\n')) {
            const auto m = cell.match(line);
            if (!m.hasMatch())
                continue;
            // The time sits between the date and the first value of its row.
            const QString time = timeOf(m.captured(1).toInt());
            QVERIFY2(line.contains(QRegularExpression(u"^\\s*1/2/2024 +"_s + time + u" +r\\d+c"_s)), qPrintable(line));
        }
        QList<std::pair<int, int>> cells = printedCells(pages);
        std::sort(cells.begin(), cells.end());
        const int firstValue = selection.isEmpty() ? 2 : std::max(2, selection.at(0));
        const int lastValue = selection.isEmpty() ? 13 : selection.at(2);
        const int firstRow = selection.isEmpty() ? 1 : selection.at(1);
        const int lastRow = selection.isEmpty() ? 6 : selection.at(3);
        QCOMPARE(cells, cellsOfBlock(firstValue, firstRow, lastValue, lastRow));
    }

    void selectionDecidesWhatIsPrinted_data()
    {
        QTest::addColumn<QList<int>>("selection"); // corners col1, row1, col2, row2; empty: none
        QTest::addColumn<QList<int>>("printed");   // block printed, the same way
        const QList<int> whole{2, 1, 4, 8};
        QTest::newRow("no selection") << QList<int>{} << whole;
        QTest::newRow("single cell") << QList<int>{3, 4, 3, 4} << whole;
        QTest::newRow("two rows") << QList<int>{2, 2, 4, 3} << whole;
        QTest::newRow("three rows") << QList<int>{3, 2, 4, 4} << QList<int>{3, 2, 4, 4};
        QTest::newRow("three rows dragged upwards") << QList<int>{4, 6, 2, 4} << QList<int>{2, 4, 4, 6};
        QTest::newRow("one column, five rows") << QList<int>{2, 3, 2, 7} << QList<int>{2, 3, 2, 7};
    }

    void selectionDecidesWhatIsPrinted()
    {
        QFETCH(QList<int>, selection);
        QFETCH(QList<int>, printed);
        load(uniqueLog(8, 3));
        if (!selection.isEmpty())
            selectCells(selection.at(0), selection.at(1), selection.at(2), selection.at(3));
        confirmPrint();
        press();
        QCOMPARE(printedCells(printedPages()), cellsOfBlock(printed.at(0), printed.at(1), printed.at(2), printed.at(3)));
    }

    // The grid's current block is the selected one when that is printed.
    void blockPrintSetsTheGridsBlock()
    {
        load(uniqueLog(8, 3));
        selectCells(2, 5, 3, 7);
        confirmPrint();
        press();
        const GridBlock block = grid().block();
        QCOMPARE(QList<int>({block.firstCol, block.firstRow, block.lastCol, block.lastRow}), QList<int>({2, 5, 3, 7}));
        QCOMPARE(grid().printSettings().type, int(GridPrintSettings::Block));
    }

    void copiesAreSeparateJobs_data()
    {
        QTest::addColumn<int>("copies");
        QTest::newRow("3") << 3;
        QTest::newRow("1") << 1;
        QTest::newRow("0") << 0;
    }

    void copiesAreSeparateJobs()
    {
        QFETCH(int, copies);
        load(uniqueLog(8, 3));
        confirmPrint(copies);
        QSignalSpy jobs(&grid(), &GridControl::printed);
        QStringList jobNames;
        connect(&grid(), &GridControl::printed, this, [&] { jobNames << grid().printSettings().jobName; });
        press();
        QCOMPARE(jobs.size(), copies);
        QCOMPARE(jobNames, QStringList(copies, u"History Grid Printout"_s));
        if (copies > 0) {
            // The printer itself prints each job once.
            QCOMPARE(shared().fileDialog->printer().copyCount(), 1);
            QCOMPARE(printedCells(printedPages()).size(), 8 * 3);
        }
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }

    void dialogValuesReachThePrintout()
    {
        load(uniqueLog(150, 3));
        confirmPrint(1, 2, 2, 2);
        press();
        const QStringList pages = printedPages();
        QCOMPARE(pages.size(), 1);
        QCOMPARE(footerOf(pages.constFirst()).trimmed(), u"Page #2"_s);
        const QString size = PdfText::info(m_pdf, u"Page size"_s);
        static const QRegularExpression wide(u"([\\d.]+) x ([\\d.]+)"_s);
        const auto m = wide.match(size);
        QVERIFY(m.hasMatch());
        QVERIFY2(m.captured(1).toDouble() > m.captured(2).toDouble(), qPrintable(size)); // landscape
    }

    void trailingEmptyCellsAreNotPrinted()
    {
        // "Spare" never holds a value; the last two lines hold a date only, and the
        // load drops only the very last.
        load("Date,Time,Flow,Spare\r\n"
             "1/2/2024,1:00:00 AM,1.5,\r\n"
             "1/3/2024,1:00:01 AM,1.6,\r\n"
             "1/4/2024,,,\r\n"
             "1/5/2024,,,\r\n");
        QCOMPARE(grid().colCount(), 3);
        QCOMPARE(grid().rowCount(), 3);
        confirmPrint();
        press();
        const QString text = printedPages().join(u'\n');
        QVERIFY2(text.contains(u"1/3/2024"_s) && text.contains(u"1.6"_s), qPrintable(text));
        QVERIFY2(!text.contains(u"Spare"_s), qPrintable(text));
        QVERIFY2(!text.contains(u"1/4/2024"_s), qPrintable(text));
    }

    // Print Preview and Export PDF lay the printout out as the printer gets it,
    // with no printer installed: the same pages, of the same block.
    void printoutWithoutPrinter_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QList<int>>("selection"); // corners col1, row1, col2, row2; empty: none
        QTest::newRow("preview, whole sheet") << 5 << QList<int>{};
        QTest::newRow("PDF, whole sheet") << 6 << QList<int>{};
        QTest::newRow("preview, three rows") << 5 << QList<int>{3, 2, 4, 4};
        QTest::newRow("PDF, three rows") << 6 << QList<int>{3, 2, 4, 4};
    }

    void printoutWithoutPrinter()
    {
        QFETCH(int, button);
        QFETCH(QList<int>, selection);
        load(uniqueLog(70, 11));
        if (!selection.isEmpty())
            selectCells(selection.at(0), selection.at(1), selection.at(2), selection.at(3));
        confirmPrint();
        // Paper that no fresh printer has: the PDF must take the one printed on.
        const auto chosen = TestEnv::dialogs().configurePrinter;
        TestEnv::dialogs().configurePrinter = [chosen](QPrinter &printer) {
            chosen(printer);
            printer.setPageSize(QPageSize(QPageSize::Legal));
        };
        press();
        const QStringList printed = printedPages();
        QVERIFY(printed.size() >= (selection.isEmpty() ? 4 : 1));
        QVERIFY(QFile::remove(m_pdf));

        TestEnv::ui().printers.clear();
        TestEnv::dialogs().files.append(m_dir->filePath(u"printout"_s)); // the PDF's name, typed without extension
        window().toolbarButton(button)->trigger();
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QCOMPARE(printedPages(), printed);
        QCOMPARE(TestEnv::dialogs().previews, button == 5 ? 1 : 0);
    }

    void notDuringAPlotRun()
    {
        load(uniqueLog(5, 3));
        confirmPrint();
        logDocument().beginPlotRun();
        press();
        QVERIFY(TestEnv::dialogs().printRequests.isEmpty());
        QVERIFY(!QFileInfo::exists(m_pdf));
    }
};

VIEWER_TEST(PrintHistGridTest)
#include "tst_printhistgrid.moc"
