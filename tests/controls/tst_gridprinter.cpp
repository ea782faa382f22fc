#include "support/pdftext.h"
#include "support/errorof.h"
#include "support/testregistry.h"

#include "controls/gridcontrol.h"
#include "controls/gridmodel.h"
#include "controls/gridprinter.h"
#include "core/runtimeerror.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QPrinter>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

static char *toString(const PrintArea &a)
{
    return QTest::toString(u"cols %1-%2 rows %3-%4"_s.arg(a.firstCol).arg(a.lastCol).arg(a.firstRow).arg(a.lastRow));
}

namespace {

// A log whose every cell can be told apart on paper: row r, column c holds "rRcC",
// the dates are "D" and the row, the captions "Col" and the column.
QByteArray uniqueLog(int rows, int cols)
{
    QByteArray bytes("Date");
    for (int c = 1; c <= cols; ++c)
        bytes += ",Col" + QByteArray::number(c);
    bytes += "\r\n";
    for (int r = 1; r <= rows; ++r) {
        bytes += "D" + QByteArray::number(r);
        for (int c = 1; c <= cols; ++c)
            bytes += ",r" + QByteArray::number(r) + "c" + QByteArray::number(c);
        bytes += "\r\n";
    }
    return bytes;
}

struct CellSeen
{
    int page;
    QString line;
};

// Where each "rRcC" cell appears in the printout, by (row, column).
QMap<std::pair<int, int>, QList<CellSeen>> cellsOf(const QStringList &pages)
{
    static const QRegularExpression cell(u"\\br(\\d+)c(\\d+)\\b"_s);
    QMap<std::pair<int, int>, QList<CellSeen>> seen;
    for (int p = 0; p < pages.size(); ++p) {
        for (const QString &line : pages.at(p).split(u'\n')) {
            for (auto it = cell.globalMatch(line); it.hasNext();) {
                const auto m = it.next();
                seen[{m.captured(1).toInt(), m.captured(2).toInt()}].append({p + 1, line});
            }
        }
    }
    return seen;
}

QString lastLine(const QString &page)
{
    QStringList lines = page.split(u'\n');
    while (!lines.isEmpty() && lines.constLast().trimmed().isEmpty())
        lines.removeLast();
    return lines.isEmpty() ? QString() : lines.constLast();
}

} // namespace

class GridPrinterTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<GridControl> m_grid;
    int m_pdfs = 0;

    GridControl &loaded(const QByteArray &bytes)
    {
        const QString path = m_dir->filePath(u"log.csv"_s);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            qFatal("cannot write the log");
        file.close();
        m_grid = std::make_unique<GridControl>();
        if (!m_grid->loadDelimited(path, QString(), u","_s, u"\r\n"_s, GridControl::HeaderRow | GridControl::HeaderColumn))
            qFatal("the log did not load");
        // As the data file window sets them after a load.
        m_grid->setColumnWidth(0, 14);
        m_grid->setColumnWidth(-1, 14);
        return *m_grid;
    }

    // A PDF printer on A4, as a print dialog leaves it; a new file each time.
    std::unique_ptr<QPrinter> pdfPrinter()
    {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setPageSize(QPageSize(QPageSize::A4));
        printer->setOutputFileName(m_dir->filePath(u"out%1.pdf"_s.arg(++m_pdfs)));
        return printer;
    }

    // Prints with the grid's settings and returns the pages' text.
    QStringList printed(GridControl &grid, int *pagesReported = nullptr)
    {
        auto printer = pdfPrinter();
        const int pages = grid.print(*printer);
        if (pagesReported)
            *pagesReported = pages;
        return QFileInfo::exists(printer->outputFileName()) ? PdfText::pages(printer->outputFileName()) : QStringList();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        m_grid.reset();
        m_dir.reset();
    }

    void pageText_data()
    {
        QTest::addColumn<QString>("codes");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("centre");
        QTest::addColumn<QString>("right");
        QTest::newRow("footer") << u"/c/rPage #/p"_s << 12 << QString() << QString() << u"Page #12"_s;
        QTest::newRow("plain text is left") << u"Grid printout"_s << 1 << u"Grid printout"_s << QString() << QString();
        QTest::newRow("three parts") << u"L/cC/rR"_s << 1 << u"L"_s << u"C"_s << u"R"_s;
        QTest::newRow("back to the left") << u"/rR/lL"_s << 1 << u"L"_s << QString() << u"R"_s;
        QTest::newRow("page twice") << u"/p of /p"_s << 3 << u"3 of 3"_s << QString() << QString();
        QTest::newRow("doubled slash") << u"a//b"_s << 1 << u"a/b"_s << QString() << QString();
        QTest::newRow("unknown code is text") << u"a/xb"_s << 1 << u"a/xb"_s << QString() << QString();
        QTest::newRow("trailing slash") << u"a/"_s << 1 << u"a/"_s << QString() << QString();
        QTest::newRow("empty") << QString() << 1 << QString() << QString() << QString();
    }

    void pageText()
    {
        QFETCH(QString, codes);
        QFETCH(int, page);
        QFETCH(QString, left);
        QFETCH(QString, centre);
        QFETCH(QString, right);
        const PageText text = PageText::parse(codes, page);
        QCOMPARE(text.left, left);
        QCOMPARE(text.centre, centre);
        QCOMPARE(text.right, right);
    }

    // Regression: a path such as /root/cases/plant.csv lost "/r", "/c" and "/p"
    // to the page codes.
    void escapedPathPrintsAsItIs()
    {
        const QString path = u"/root/cases/pump/run.csv"_s;
        const PageText text = PageText::parse(u"File "_s + PageText::escaped(path), 4);
        QCOMPARE(text.left, u"File "_s + path);
        QVERIFY(text.centre.isEmpty() && text.right.isEmpty());
    }

    void printArea_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<int>("type");
        QTest::addColumn<GridBlock>("block");
        QTest::addColumn<bool>("dataMax");
        QTest::addColumn<PrintArea>("expected");
        const QByteArray full = uniqueLog(10, 5);
        // Column 5 has a caption only; rows 9 and 10 a date only; row 8 ends at column 3.
        const QByteArray ragged("Date,A,B,C,D,Spare\r\n"
                                "D1,1,2,3,4,\r\nD2,1,2,3,4,\r\nD3,1,2,3,4,\r\nD4,1,2,3,4,\r\nD5,1,2,3,4,\r\n"
                                "D6,1,2,3,4,\r\nD7,1,2,3,4,\r\nD8,1,2,3,,\r\nD9,,,,,\r\nD10,,,,,\r\n");
        QTest::newRow("sheet") << full << 0 << GridBlock{} << false << PrintArea{1, 5, 1, 10};
        QTest::newRow("sheet, data max, nothing to cut") << full << 0 << GridBlock{} << true << PrintArea{1, 5, 1, 10};
        QTest::newRow("sheet ignores the block") << full << 0 << GridBlock{2, 2, 3, 3} << false << PrintArea{1, 5, 1, 10};
        QTest::newRow("block") << full << 1 << GridBlock{2, 3, 4, 6} << false << PrintArea{2, 4, 3, 6};
        QTest::newRow("block corners reversed") << full << 1 << GridBlock{4, 6, 2, 3} << false << PrintArea{2, 4, 3, 6};
        QTest::newRow("whole columns") << full << 1 << GridBlock{2, -1, 3, -1} << false << PrintArea{2, 3, 1, 10};
        QTest::newRow("whole rows") << full << 1 << GridBlock{-1, 4, -1, 5} << false << PrintArea{1, 5, 4, 5};
        QTest::newRow("block clipped to the grid") << full << 1 << GridBlock{4, 8, 9, 20} << false << PrintArea{4, 5, 8, 10};
        QTest::newRow("block outside the grid") << full << 1 << GridBlock{7, 1, 8, 3} << true << PrintArea{7, 5, 1, 3};
        QTest::newRow("ragged, all") << ragged << 0 << GridBlock{} << false << PrintArea{1, 5, 1, 10};
        QTest::newRow("ragged, data max") << ragged << 0 << GridBlock{} << true << PrintArea{1, 4, 1, 8};
        QTest::newRow("ragged block, data beyond it") << ragged << 1 << GridBlock{1, 6, 2, 10} << true << PrintArea{1, 2, 1 + 5, 8};
        QTest::newRow("ragged block, last column empty below") << ragged << 1 << GridBlock{3, 8, 4, 10} << true << PrintArea{3, 3, 8, 8};
        QTest::newRow("ragged block, no data") << ragged << 1 << GridBlock{1, 9, 5, 10} << true << PrintArea{1, 0, 9, 10};
    }

    void printArea()
    {
        QFETCH(QByteArray, log);
        QFETCH(int, type);
        QFETCH(GridBlock, block);
        QFETCH(bool, dataMax);
        QFETCH(PrintArea, expected);
        GridControl &grid = loaded(log);
        GridPrintSettings settings;
        settings.type = type;
        settings.useDataMax = dataMax;
        const PrintArea area = PrintArea::of(*grid.model(), settings, block);
        if (expected.isEmpty())
            QVERIFY(area.isEmpty());
        else
            QCOMPARE(area, expected);
    }

    void pagePlan()
    {
        // Widths 3, 5, 4, 9, 2 into bands 8 wide: {1,2} {3} {4: wider, alone} {5}.
        const QList<double> widths{0, 3, 5, 4, 9, 2};
        const PagePlan plan = PagePlan::make({1, 5, 11, 30}, [&](int col) { return widths.at(col); }, 8, 8);
        QCOMPARE(plan.bands.size(), 4);
        QCOMPARE(plan.bands.at(0).firstCol, 1);
        QCOMPARE(plan.bands.at(0).lastCol, 2);
        QCOMPARE(plan.bands.at(1).firstCol, 3);
        QCOMPARE(plan.bands.at(1).lastCol, 3);
        QCOMPARE(plan.bands.at(2).firstCol, 4);
        QCOMPARE(plan.bands.at(3).firstCol, 5);
        QCOMPARE(plan.rowPages(), 3); // 20 rows, 8 a page
        QCOMPARE(plan.pageCount(), 12);
        // Down the rows of a band first, then the next band.
        const PagePlan::Page third = plan.page(3);
        QCOMPARE(third.firstCol, 1);
        QCOMPARE(third.lastCol, 2);
        QCOMPARE(third.firstRow, 27);
        QCOMPARE(third.lastRow, 30);
        const PagePlan::Page fourth = plan.page(4);
        QCOMPARE(fourth.firstCol, 3);
        QCOMPARE(fourth.firstRow, 11);
        QCOMPARE(fourth.lastRow, 18);
        QCOMPARE(plan.page(12).firstCol, 5);
        QCOMPARE(plan.page(12).lastRow, 30);

        // Column 1 printed again before a band that starts after it leaves that
        // band its width less; a column wider than half the room is not repeated.
        const auto bandsOf = [](const QList<double> &widths, int repeated, int firstCol = 1) {
            const PagePlan p = PagePlan::make({firstCol, int(widths.size()) - 1, 1, 1},
                                              [&](int col) { return widths.at(col); }, 8, 8, repeated);
            QList<int> firstCols{p.repeatedLastCol};
            for (int page = 1; page <= p.pageCount(); ++page)
                firstCols << p.page(page).repeatedLastCol << p.page(page).firstCol;
            return firstCols; // the last repeated column, then each page's repeated columns and first column
        };
        QCOMPARE(bandsOf({0, 3, 5, 2, 2, 2}, 0), (QList<int>{0, 0, 1, 0, 3}));
        QCOMPARE(bandsOf({0, 3, 5, 2, 2, 2}, 1), (QList<int>{1, 0, 1, 1, 3, 1, 5}));
        QCOMPARE(bandsOf({0, 5, 3, 2, 2, 2}, 1), (QList<int>{0, 0, 1, 0, 3}));
        // A block of values has the repeated column on its first band too.
        QCOMPARE(bandsOf({0, 3, 5, 2, 2, 2}, 1, 2), (QList<int>{1, 1, 2, 1, 3, 1, 5}));
    }

    // A sheet too big for one page in both directions: every cell once, on the
    // page of its band and rows, beside its date and under its caption.
    void everyCellOnceInPageOrder()
    {
        const int rows = 130, cols = 13;
        GridControl &grid = loaded(uniqueLog(rows, cols));
        grid.printSettings().header = u"Header of the sheet"_s;
        grid.printSettings().footer = u"/c/rPage #/p"_s;
        int reported = 0;
        const QStringList pages = printed(grid, &reported);
        QCOMPARE(pages.size(), reported);
        QVERIFY2(pages.size() >= 4, "the test needs several bands and several pages per band");

        for (int p = 0; p < pages.size(); ++p) {
            QVERIFY2(pages.at(p).contains(u"Header of the sheet"_s), qPrintable(pages.at(p)));
            const QString footer = lastLine(pages.at(p));
            QCOMPARE(footer.trimmed(), u"Page #%1"_s.arg(p + 1));
            QVERIFY2(footer.startsWith(u"      "_s), "the page number is right-aligned");
            QVERIFY(pages.at(p).contains(u"Date"_s));
        }

        const auto seen = cellsOf(pages);
        QList<QSet<int>> pagesOfColumn(cols + 1);
        for (int c = 1; c <= cols; ++c) {
            int lastPage = 0;
            for (int r = 1; r <= rows; ++r) {
                const auto where = seen.value({r, c});
                QVERIFY2(where.size() == 1, qPrintable(u"r%1c%2 printed %3 times"_s.arg(r).arg(c).arg(where.size())));
                const CellSeen &at = where.constFirst();
                QVERIFY2(at.line.trimmed().startsWith(u"D%1 "_s.arg(r)), qPrintable(at.line));
                QVERIFY(pages.at(at.page - 1).contains(QRegularExpression(u"\\bCol%1\\b"_s.arg(c))));
                QVERIFY(at.page >= lastPage); // down the rows
                lastPage = at.page;
                pagesOfColumn[c].insert(at.page);
            }
        }
        // Columns side by side share their pages; the next band starts after them.
        int bands = 1;
        for (int c = 2; c <= cols; ++c) {
            if (pagesOfColumn.at(c) == pagesOfColumn.at(c - 1))
                continue;
            ++bands;
            QVERIFY(*std::min_element(pagesOfColumn.at(c).cbegin(), pagesOfColumn.at(c).cend())
                    > *std::max_element(pagesOfColumn.at(c - 1).cbegin(), pagesOfColumn.at(c - 1).cend()));
        }
        QVERIFY(bands >= 2);
        QVERIFY(pagesOfColumn.at(1).size() >= 2);
        QCOMPARE(seen.size(), rows * cols);
    }

    void pageRange_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QList<int>>("expected"); // page numbers; -1 the last page
        QTest::newRow("0 and 0: all") << 0 << 0 << QList<int>{};
        QTest::newRow("2 to 3") << 2 << 3 << QList<int>{2, 3};
        QTest::newRow("3 to the end") << 3 << 0 << QList<int>{3, -1};
        QTest::newRow("from the start to 2") << 0 << 2 << QList<int>{1, 2};
        QTest::newRow("past the end is cut") << 4 << 999 << QList<int>{4, -1};
        QTest::newRow("one page") << 5 << 5 << QList<int>{5, 5};
        QTest::newRow("first after last") << 3 << 2 << QList<int>{0};
        QTest::newRow("first past the end") << 999 << 0 << QList<int>{0};
    }

    void pageRange()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QList<int>, expected);
        GridControl &grid = loaded(uniqueLog(200, 13));
        grid.printSettings().footer = u"/rPage #/p"_s;
        const int all = printed(grid).size();
        QVERIFY(all >= 6);
        grid.printSettings().firstPage = first;
        grid.printSettings().lastPage = last;
        int reported = -1;
        const QStringList pages = printed(grid, &reported);
        QList<int> numbers;
        for (const QString &page : pages)
            numbers << lastLine(page).trimmed().mid(6).toInt();

        QList<int> wanted;
        if (expected.isEmpty()) {
            for (int n = 1; n <= all; ++n)
                wanted << n;
        } else if (expected != QList<int>{0}) {
            const int to = expected.at(1) == -1 ? all : expected.at(1);
            for (int n = expected.at(0); n <= to; ++n)
                wanted << n;
        }
        QCOMPARE(numbers, wanted);
        QCOMPARE(reported, int(wanted.size()));
    }

    void blockPrintsOnlyItsCells_data()
    {
        QTest::addColumn<GridBlock>("block");
        QTest::addColumn<int>("firstCol");
        QTest::addColumn<int>("lastCol");
        QTest::addColumn<int>("firstRow");
        QTest::addColumn<int>("lastRow");
        QTest::newRow("block") << GridBlock{3, 10, 4, 12} << 3 << 4 << 10 << 12;
        QTest::newRow("corners reversed") << GridBlock{4, 12, 3, 10} << 3 << 4 << 10 << 12;
        QTest::newRow("whole column") << GridBlock{2, -1, 2, -1} << 2 << 2 << 1 << 40;
        QTest::newRow("whole rows") << GridBlock{-1, 5, -1, 6} << 1 << 6 << 5 << 6;
    }

    void blockPrintsOnlyItsCells()
    {
        QFETCH(GridBlock, block);
        QFETCH(int, firstCol);
        QFETCH(int, lastCol);
        QFETCH(int, firstRow);
        QFETCH(int, lastRow);
        GridControl &grid = loaded(uniqueLog(40, 6));
        grid.setBlock(block.firstCol, block.firstRow, block.lastCol, block.lastRow);
        grid.printSettings().type = GridPrintSettings::Block;
        const QStringList pages = printed(grid);
        QVERIFY(!pages.isEmpty());
        const auto seen = cellsOf(pages);
        QCOMPARE(seen.size(), (lastCol - firstCol + 1) * (lastRow - firstRow + 1));
        for (auto it = seen.cbegin(); it != seen.cend(); ++it) {
            QVERIFY(it.key().first >= firstRow && it.key().first <= lastRow);
            QVERIFY(it.key().second >= firstCol && it.key().second <= lastCol);
        }
        const QString text = pages.join(u'\n');
        for (int c = 1; c <= 6; ++c)
            QCOMPARE(text.contains(QRegularExpression(u"\\bCol%1\\b"_s.arg(c))), c >= firstCol && c <= lastCol);
    }

    void trailingEmptyCellsAreNotPrinted()
    {
        GridControl &grid = loaded("Date,A,B,Spare\r\nD1,a1,b1,\r\nD2,a2,,\r\nD3,,,\r\nD4,,,\r\n");
        grid.printSettings().useDataMax = true;
        QString text = printed(grid).join(u'\n');
        QVERIFY(text.contains(u"b1"_s));
        QVERIFY(text.contains(u"D2"_s));
        QVERIFY2(!text.contains(u"Spare"_s), qPrintable(text));
        QVERIFY(!text.contains(u"D3"_s) && !text.contains(u"D4"_s));

        grid.printSettings().useDataMax = false;
        text = printed(grid).join(u'\n');
        QVERIFY(text.contains(u"Spare"_s) && text.contains(u"D4"_s));
    }

    void nothingToPrintSendsNoJob()
    {
        GridControl &grid = loaded("Date,A\r\nD1,\r\nD2,\r\n");
        grid.printSettings().useDataMax = true;
        QSignalSpy jobs(&grid, &GridControl::printed);
        auto printer = pdfPrinter();
        QCOMPARE(grid.print(*printer), 0);
        QVERIFY(!QFileInfo::exists(printer->outputFileName()));
        QCOMPARE(jobs.size(), 0);
    }

    void jobNameAndOrientation_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("landscape");
        QTest::newRow("portrait") << 1 << false;
        QTest::newRow("landscape") << 2 << true;
    }

    void jobNameAndOrientation()
    {
        QFETCH(int, orientation);
        QFETCH(bool, landscape);
        GridControl &grid = loaded(uniqueLog(5, 3));
        grid.printSettings().jobName = u"Pump log"_s;
        grid.printSettings().orientation = orientation;
        QSignalSpy jobs(&grid, &GridControl::printed);
        auto printer = pdfPrinter();
        QCOMPARE(grid.print(*printer), 1);
        QCOMPARE(jobs.size(), 1);
        QCOMPARE(PdfText::info(printer->outputFileName(), u"Title"_s), u"Pump log"_s);
        static const QRegularExpression size(u"([\\d.]+) x ([\\d.]+) pts"_s);
        const auto m = size.match(PdfText::info(printer->outputFileName(), u"Page size"_s));
        QVERIFY(m.hasMatch());
        QCOMPARE(m.captured(1).toDouble() > m.captured(2).toDouble(), landscape);
    }

    // Regression: a long path lost its middle in the header.
    void longHeaderKeepsTheWholePath()
    {
        GridControl &grid = loaded(uniqueLog(3, 2));
        const QString path = u"/srv/plant-logs/line-4/north-hall/compressor-station-7/2024/week-12/krn740_export_full.csv"_s;
        grid.printSettings().header = u"Grid printout for fileName "_s + PageText::escaped(path);
        const QString page = printed(grid).value(0);
        QVERIFY2(page.simplified().contains(u"Grid printout for fileName "_s + path), qPrintable(page));
    }

    void badSettingsThrow380_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("type 2") << 2 << 0 << 0 << 0;
        QTest::newRow("type -1") << -1 << 0 << 0 << 0;
        QTest::newRow("orientation 3") << 0 << 3 << 0 << 0;
        QTest::newRow("negative first page") << 0 << 0 << -1 << 0;
        QTest::newRow("negative last page") << 0 << 0 << 0 << -2;
    }

    void badSettingsThrow380()
    {
        QFETCH(int, type);
        QFETCH(int, orientation);
        QFETCH(int, first);
        QFETCH(int, last);
        GridControl &grid = loaded(uniqueLog(3, 2));
        grid.printSettings() = {u"Job"_s, QString(), QString(), type, false, orientation, first, last};
        auto printer = pdfPrinter();
        QCOMPARE(errorOf([&] { grid.print(*printer); }), int(RuntimeError::InvalidPropertyValue));
        QVERIFY(!QFileInfo::exists(printer->outputFileName()));
    }

    void printerThatCannotStartThrows482()
    {
        GridControl &grid = loaded(uniqueLog(3, 2));
        auto printer = pdfPrinter();
        printer->setOutputFileName(m_dir->filePath(u"no-such-folder/out.pdf"_s));
        QSignalSpy jobs(&grid, &GridControl::printed);
        QCOMPARE(errorOf([&] { grid.print(*printer); }), int(RuntimeError::PrinterError));
        QCOMPARE(jobs.size(), 0);
    }
};

VIEWER_TEST(GridPrinterTest)
#include "tst_gridprinter.moc"
