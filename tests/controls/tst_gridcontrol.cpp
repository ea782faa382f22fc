#include "support/errorof.h"
#include "support/testregistry.h"

#include "controls/gridcontrol.h"
#include "controls/gridmodel.h"
#include "core/runtimeerror.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

static char *toString(const GridBlock &b)
{
    return QTest::toString(u"(%1,%2)-(%3,%4)"_s.arg(b.firstCol).arg(b.firstRow).arg(b.lastCol).arg(b.lastRow));
}

namespace {

// Whether the grid shows cell (col, row) as selected, as its views paint it.
bool shownSelected(GridControl &grid, int col, int row)
{
    return grid.model()->data(grid.model()->index(row - 1, col - 1), GridModel::SelectedRole).toBool();
}

bool anyShownSelected(GridControl &grid)
{
    for (int row = 1; row <= grid.rowCount(); ++row)
        for (int col = 1; col <= grid.colCount(); ++col)
            if (shownSelected(grid, col, row))
                return true;
    return false;
}

QByteArray logOf(int rows)
{
    QByteArray bytes("Date,Time,Flow,Level,Speed\r\n");
    for (int r = 1; r <= rows; ++r)
        bytes += "1/" + QByteArray::number(r) + "/2024,1:00:00 AM," + QByteArray::number(r) + ".5,2,3\r\n";
    return bytes;
}

// The time of row r is "tR", its value in column c (from 2) "rRcC"; the value
// columns are named "VC".
QByteArray wideLog(int rows, int valueCols)
{
    QByteArray bytes("Date,Time");
    for (int c = 2; c < valueCols + 2; ++c)
        bytes += ",V" + QByteArray::number(c);
    bytes += "\r\n";
    for (int r = 1; r <= rows; ++r) {
        bytes += "1/" + QByteArray::number(r % 28 + 1) + "/2024,t" + QByteArray::number(r);
        for (int c = 2; c < valueCols + 2; ++c)
            bytes += ",r" + QByteArray::number(r) + "c" + QByteArray::number(c);
        bytes += "\r\n";
    }
    return bytes;
}

// Blocks given as their corners, four numbers each.
QList<GridBlock> blocksOf(const QList<int> &corners)
{
    QList<GridBlock> blocks;
    for (qsizetype i = 0; i + 3 < corners.size(); i += 4)
        blocks.append({corners.at(i), corners.at(i + 1), corners.at(i + 2), corners.at(i + 3)});
    return blocks;
}

void send(QWidget *target, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons,
          Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, target->mapToGlobal(pos), button, buttons, modifiers);
    QCoreApplication::sendEvent(target, &event);
}

void click(QWidget *target, QPoint pos, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    send(target, QEvent::MouseButtonPress, pos, Qt::LeftButton, modifiers);
    send(target, QEvent::MouseButtonRelease, pos, Qt::NoButton, modifiers);
}

} // namespace

class GridControlTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<GridControl> m_grid;

    GridControl &loadedGrid(int rows = 12) { return loadedLog(logOf(rows)); }

    GridControl &loadedLog(const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(u"grid.csv"_s);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write the log");
        file.write(bytes);
        file.close();
        m_grid = std::make_unique<GridControl>();
        m_grid->resize(640, 400);
        m_grid->show();
        if (!QTest::qWaitForWindowExposed(m_grid.get()))
            qFatal("the grid is not shown");
        if (!m_grid->loadDelimited(path, QString(), u","_s, u"\r\n"_s, 3))
            qFatal("the log did not load");
        m_grid->setBlockSelectionOptions(BlockSelection::WholeColumns | BlockSelection::Blocks);
        m_grid->setMultipleBlocks(true);
        QCoreApplication::processEvents();
        return *m_grid;
    }

    QPoint cellPos(int col, int row) const
    {
        return m_grid->view()->visualRect(m_grid->model()->index(row - 1, col - 1)).center();
    }
    QPoint columnHeaderPos(int col) const
    {
        QHeaderView *h = m_grid->view()->horizontalHeader();
        return {h->sectionViewportPosition(col - 1) + h->sectionSize(col - 1) / 2, h->height() / 2};
    }
    QPoint rowHeaderPos(int row) const
    {
        QHeaderView *v = m_grid->view()->verticalHeader();
        return {v->width() / 2, v->sectionViewportPosition(row - 1) + v->sectionSize(row - 1) / 2};
    }
    QWidget *cells() const { return m_grid->view()->viewport(); }
    // A click at a point of the grid, on whatever widget the user finds there.
    QWidget *clickAt(QPoint inGrid)
    {
        QWidget *under = m_grid->childAt(inGrid);
        if (under)
            click(under, under->mapFrom(m_grid.get(), inGrid));
        return under;
    }
    // Presses on the right border of a column's caption, moves by dx and lets go.
    void dragBorder(int col, int dx)
    {
        QHeaderView *h = m_grid->view()->horizontalHeader();
        const QPoint from(h->sectionViewportPosition(col - 1) + h->sectionSize(col - 1) - 1, h->height() / 2);
        send(columnHeaders(), QEvent::MouseMove, from, Qt::NoButton);
        send(columnHeaders(), QEvent::MouseButtonPress, from, Qt::LeftButton);
        send(columnHeaders(), QEvent::MouseMove, from + QPoint(dx, 0), Qt::LeftButton);
        send(columnHeaders(), QEvent::MouseButtonRelease, from + QPoint(dx, 0), Qt::NoButton);
    }
    QWidget *columnHeaders() const { return m_grid->view()->horizontalHeader()->viewport(); }
    QWidget *rowHeaders() const { return m_grid->view()->verticalHeader()->viewport(); }
    QAbstractButton *corner() const { return m_grid->view()->findChild<QAbstractButton *>(); }

private slots:
    void cleanup() { m_grid.reset(); }

    void columnHeaderSelectsAWholeColumn()
    {
        GridControl &grid = loadedGrid();
        click(columnHeaders(), columnHeaderPos(3));
        QVERIFY(grid.hasSelectedBlock());
        QCOMPARE(grid.selectionBlockCount(), 1);
        QCOMPARE(grid.selectionBlock(0), (GridBlock{3, -1, 3, -1}));
        QCOMPARE(grid.selectedBlock(), (GridBlock{3, -1, 3, -1}));
        QVERIFY(shownSelected(grid, 3, 1));
        QVERIFY(shownSelected(grid, 3, grid.rowCount()));
        QVERIFY(!shownSelected(grid, 2, 1));
        QCOMPARE(grid.model()->headerData(2, Qt::Horizontal, Qt::FontRole).value<QFont>().bold(), true);
        QVERIFY(!grid.model()->headerData(1, Qt::Horizontal, Qt::FontRole).isValid());
    }

    void ctrlMakesSeveralBlocks()
    {
        GridControl &grid = loadedGrid();
        click(columnHeaders(), columnHeaderPos(2));
        send(cells(), QEvent::MouseButtonPress, cellPos(3, 2), Qt::LeftButton, Qt::ControlModifier);
        send(cells(), QEvent::MouseMove, cellPos(4, 6), Qt::LeftButton, Qt::ControlModifier);
        send(cells(), QEvent::MouseButtonRelease, cellPos(4, 6), Qt::NoButton, Qt::ControlModifier);
        QCOMPARE(grid.selectionBlockCount(), 2);
        QCOMPARE(grid.selectionBlock(0), (GridBlock{2, -1, 2, -1}));
        QCOMPARE(grid.selectionBlock(1), (GridBlock{3, 2, 4, 6}));
        QCOMPARE(grid.selectedBlock(), (GridBlock{3, 2, 4, 6}));
        QVERIFY(shownSelected(grid, 2, 12));  // whole column 2
        QVERIFY(shownSelected(grid, 4, 6));
        QVERIFY(!shownSelected(grid, 4, 7));
        QCOMPARE(errorOf([&] { grid.selectionBlock(2); }), 9);
        QCOMPARE(errorOf([&] { grid.selectionBlock(-1); }), 9);
    }

    void withoutMultipleBlocksCtrlStartsAfresh()
    {
        GridControl &grid = loadedGrid();
        grid.setMultipleBlocks(false);
        click(columnHeaders(), columnHeaderPos(2));
        click(columnHeaders(), columnHeaderPos(4), Qt::ControlModifier);
        QCOMPARE(grid.selectionBlockCount(), 1);
        QCOMPARE(grid.selectionBlock(0), (GridBlock{4, -1, 4, -1}));
    }

    void rowHeadersAndCornerSelectNothing()
    {
        GridControl &grid = loadedGrid();
        click(rowHeaders(), rowHeaderPos(3));
        send(rowHeaders(), QEvent::MouseButtonPress, rowHeaderPos(2), Qt::LeftButton);
        send(rowHeaders(), QEvent::MouseMove, rowHeaderPos(5), Qt::LeftButton);
        send(rowHeaders(), QEvent::MouseButtonRelease, rowHeaderPos(5), Qt::NoButton);
        QVERIFY(corner());
        click(corner(), corner()->rect().center());
        QVERIFY(!grid.hasSelectedBlock());
        QCOMPARE(grid.selectionBlockCount(), 0);
        QCOMPARE(grid.selectedBlock(), GridBlock{});
        QVERIFY(!anyShownSelected(grid));
    }

    void rowsAndSheetWhenTheOptionsAllowThem()
    {
        GridControl &grid = loadedGrid();
        grid.setBlockSelectionOptions(BlockSelection::AllOptions);
        click(rowHeaders(), rowHeaderPos(3));
        QCOMPARE(grid.selectionBlock(0), (GridBlock{-1, 3, -1, 3}));
        QVERIFY(shownSelected(grid, 1, 3));
        QVERIFY(shownSelected(grid, grid.colCount(), 3));
        QVERIFY(!shownSelected(grid, 1, 4));
        click(corner(), corner()->rect().center());
        QCOMPARE(grid.selectionBlock(0), (GridBlock{-1, -1, -1, -1}));
        QCOMPARE(errorOf([&] { grid.setBlockSelectionOptions(16); }), 380);
    }

    void loadingDropsTheSelection()
    {
        GridControl &grid = loadedGrid();
        click(columnHeaders(), columnHeaderPos(2));
        QVERIFY(grid.loadDelimited(m_dir.filePath(u"grid.csv"_s), QString(), u","_s, u"\n"_s, 3));
        QCOMPARE(grid.selectionBlockCount(), 0);
        QVERIFY(!anyShownSelected(grid));
    }

    void activeCellAndCellText()
    {
        GridControl &grid = loadedGrid();
        grid.setActiveCell(2, 3);
        QCOMPARE(grid.activeText(), u"3.5"_s);
        QCOMPARE(grid.activeValueText(), u"3.5"_s);
        QCOMPARE(grid.cellText(0, 5), u"1/5/2024"_s);
        QCOMPARE(grid.cellText(2, 0), u"Flow"_s);
        QCOMPARE(grid.activeCol(), 2);
        QCOMPARE(grid.activeRow(), 3);
        grid.setActiveText(u"0"_s);
        QCOMPARE(grid.cellText(2, 3), u"0"_s);
        QCOMPARE(grid.model()->data(grid.model()->index(2, 1)).toString(), u"0"_s);
        grid.setActiveCell(9, 1);
        QCOMPARE(grid.activeText(), QString());
        QCOMPARE(errorOf([&] { grid.setActiveText(u"x"_s); }), 9);
    }

    void blockIsTheProgramsOwn()
    {
        GridControl &grid = loadedGrid();
        click(columnHeaders(), columnHeaderPos(2));
        grid.setBlock(3, -1, 4, -1);
        QCOMPARE(grid.block(), (GridBlock{3, -1, 4, -1}));
        QCOMPARE(grid.selectionBlock(0), (GridBlock{2, -1, 2, -1}));
    }

    void countsDropTrailingRowsAndColumns()
    {
        GridControl &grid = loadedGrid();
        grid.setRowCount(4);
        grid.setColCount(2);
        QCOMPARE(grid.model()->rowCount(), 4);
        QCOMPARE(grid.model()->columnCount(), 2);
        QCOMPARE(grid.cellText(3, 1), QString());
        QCOMPARE(grid.lastDataColumn(), 2);
        QCOMPARE(errorOf([&] { grid.setRowCount(-1); }), 380);
    }

    void columnWidthsAreReadable()
    {
        GridControl &grid = loadedGrid();
        grid.setColumnWidth(0, 14);
        grid.setColumnWidth(-1, 14);
        QCOMPARE(grid.columnWidth(0), 14.0);
        QCOMPARE(grid.columnWidth(-1), 14.0);
        QCOMPARE(grid.columnWidth(3), 14.0);
        QHeaderView *columns = grid.view()->horizontalHeader();
        const QFontMetrics metrics = grid.view()->fontMetrics();
        const int widest = std::max(metrics.horizontalAdvance(u"12/31/2024"_s), metrics.horizontalAdvance(u"12:59:59 PM"_s));
        QVERIFY2(grid.view()->verticalHeader()->width() > widest, "the dates do not fit");
        for (int section = 0; section < columns->count(); ++section) {
            QCOMPARE(columns->sectionSize(section), columns->sectionSize(0));
            QVERIFY2(columns->sectionSize(section) > widest, "the times do not fit");
        }
        grid.setColumnWidth(3, 20);
        QCOMPARE(grid.columnWidth(3), 20.0);
        QVERIFY(columns->sectionSize(2) > columns->sectionSize(1));
        QCOMPARE(errorOf([&] { grid.setColumnWidth(1, -1); }), 380);
        QCOMPARE(errorOf([&] { grid.setColumnWidth(-2, 10); }), 380);
    }

    void ctrlCCopiesTheBlocks_data()
    {
        QTest::addColumn<QList<int>>("blocks"); // corners, four a block
        QTest::addColumn<QString>("copied");
        QTest::newRow("two blocks in the order made")
            << QList<int>{4, 2, 5, 3, 2, 3, 2, 4} << u"r2c4\tr2c5\nr3c4\tr3c5\n\nr3c2\nr4c2\n"_s;
        QTest::newRow("whole columns start with their captions")
            << QList<int>{3, -1, 4, -1} << u"V3\tV4\nr1c3\tr1c4\nr2c3\tr2c4\nr3c3\tr3c4\nr4c3\tr4c4\n"_s;
        QTest::newRow("the time column, then a block dragged upwards")
            << QList<int>{1, -1, 1, -1, 5, 4, 4, 3} << u"Time\nt1\nt2\nt3\nt4\n\nr3c4\tr3c5\nr4c4\tr4c5\n"_s;
        QTest::newRow("a block reaching past the grid is cut at its edge")
            << QList<int>{5, 3, 9, 20} << u"r3c5\nr4c5\n"_s;
        QTest::newRow("nothing selected leaves the clipboard") << QList<int>{} << u"before"_s;
    }

    void ctrlCCopiesTheBlocks()
    {
        QFETCH(QList<int>, blocks);
        GridControl &grid = loadedLog(wideLog(4, 4));
        QGuiApplication::clipboard()->setText(u"before"_s);
        grid.setSelectionBlocks(blocksOf(blocks));
        QTest::keyClick(grid.view(), Qt::Key_C, Qt::ControlModifier);
        QTEST(QGuiApplication::clipboard()->text(), "copied");
    }

    void ctrlASelectsTheValueColumns_data()
    {
        QTest::addColumn<int>("frozen");
        QTest::addColumn<int>("options");
        QTest::addColumn<QList<int>>("selected");
        const int usual = BlockSelection::WholeColumns | BlockSelection::Blocks;
        QTest::newRow("after the time") << 1 << usual << QList<int>{2, -1, 5, -1};
        QTest::newRow("nothing frozen") << 0 << usual << QList<int>{1, -1, 5, -1};
        QTest::newRow("whole columns not allowed") << 1 << int(BlockSelection::Blocks) << QList<int>{3, 2, 3, 2};
    }

    void ctrlASelectsTheValueColumns()
    {
        QFETCH(int, frozen);
        QFETCH(int, options);
        QFETCH(QList<int>, selected);
        GridControl &grid = loadedLog(wideLog(4, 4));
        grid.setFrozenColumns(frozen);
        grid.setBlockSelectionOptions(options);
        grid.setSelectionBlocks({GridBlock{3, 2, 3, 2}});
        QTest::keyClick(grid.view(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(grid.selectionBlockCount(), 1);
        QCOMPARE(grid.selectionBlock(0), blocksOf(selected).constFirst());
    }

    // The keyboard makes blocks as a spreadsheet does. A script of steps: "@C,R" a
    // click on a cell, "C,R>C,R" a drag between cells, "row:R" the program moving
    // the current row, else keys with their modifiers ("S+" Shift, "C+" Ctrl, "K+"
    // the keypad).
    void shiftWithMovementKeysStretchesABlock_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("blocksAllowed");
        QTest::addColumn<QList<int>>("selected"); // corners, four a block
        QTest::addColumn<QPoint>("current");      // column, row

        QTest::newRow("Shift+Down twice from the cell clicked")
            << u"@2,3 S+Down S+Down"_s << true << QList<int>{2, 3, 2, 5} << QPoint(2, 5);
        QTest::newRow("Shift+Right, then Shift+Down: a rectangle")
            << u"@2,3 S+Right S+Down"_s << true << QList<int>{2, 3, 3, 4} << QPoint(3, 4);
        QTest::newRow("back past the anchor")
            << u"@3,5 S+Down S+Up S+Up"_s << true << QList<int>{3, 4, 3, 5} << QPoint(3, 4);
        QTest::newRow("Shift+Ctrl+Down to the last row")
            << u"@2,3 SC+Down"_s << true << QList<int>{2, 3, 2, 40} << QPoint(2, 40);
        QTest::newRow("Shift+Ctrl+Left to the first column")
            << u"@4,3 SC+Left"_s << true << QList<int>{1, 3, 4, 3} << QPoint(1, 3);
        QTest::newRow("Shift+Ctrl+Up, then Shift+Ctrl+Right")
            << u"@3,6 SC+Up SC+Right"_s << true << QList<int>{3, 1, 5, 6} << QPoint(5, 1);
        QTest::newRow("a dragged block goes on from its far corner")
            << u"2,2>3,4 S+Down"_s << true << QList<int>{2, 2, 3, 5} << QPoint(3, 5);
        QTest::newRow("a plain arrow ends it: Shift starts again at the new cell")
            << u"@2,3 S+Down Down S+Right"_s << true << QList<int>{2, 5, 3, 5} << QPoint(3, 5);
        QTest::newRow("a plain arrow back onto the anchor ends it too")
            << u"@2,3 S+Down Up S+Down"_s << true << QList<int>{2, 3, 2, 4} << QPoint(2, 4);
        QTest::newRow("the current row moved by the program: Shift starts there")
            << u"@2,3 S+Down row:10 S+Down"_s << true << QList<int>{2, 10, 2, 11} << QPoint(2, 11);
        QTest::newRow("the keypad's arrows") << u"@2,3 SK+Down SK+Right"_s << true << QList<int>{2, 3, 3, 4}
                                             << QPoint(3, 4);
        QTest::newRow("Ctrl+Down alone moves a row and keeps the block")
            << u"@2,3 C+Down"_s << true << QList<int>{2, 3, 2, 3} << QPoint(2, 4);
        QTest::newRow("where blocks may not be made, Shift+Down only moves")
            << u"@2,3 S+Down"_s << false << QList<int>{} << QPoint(2, 4);
    }

    void shiftWithMovementKeysStretchesABlock()
    {
        QFETCH(QString, script);
        QFETCH(bool, blocksAllowed);
        QFETCH(QList<int>, selected);
        QFETCH(QPoint, current);
        GridControl &grid = loadedLog(wideLog(40, 4));
        if (!blocksAllowed)
            grid.setBlockSelectionOptions(BlockSelection::WholeColumns);
        const auto cellAt = [](const QString &text) {
            return QPoint(text.section(u',', 0, 0).toInt(), text.section(u',', 1, 1).toInt());
        };
        for (const QString &step : script.split(u' ')) {
            if (step.startsWith(u'@')) {
                const QPoint cell = cellAt(step.mid(1));
                grid.view()->scrollTo(grid.model()->index(cell.y() - 1, cell.x() - 1));
                click(cells(), cellPos(cell.x(), cell.y()));
            } else if (step.contains(u'>')) {
                const QPoint from = cellAt(step.section(u'>', 0, 0));
                const QPoint to = cellAt(step.section(u'>', 1, 1));
                send(cells(), QEvent::MouseButtonPress, cellPos(from.x(), from.y()), Qt::LeftButton);
                send(cells(), QEvent::MouseMove, cellPos(to.x(), to.y()), Qt::LeftButton);
                send(cells(), QEvent::MouseButtonRelease, cellPos(to.x(), to.y()), Qt::NoButton);
            } else if (step.startsWith(u"row:"_s)) {
                grid.setCurrentRow(step.mid(4).toInt());
            } else {
                const QString mods = step.contains(u'+') ? step.section(u'+', 0, 0) : QString();
                const QString name = step.section(u'+', -1);
                Qt::KeyboardModifiers modifiers;
                if (mods.contains(u'S'))
                    modifiers |= Qt::ShiftModifier;
                if (mods.contains(u'C'))
                    modifiers |= Qt::ControlModifier;
                if (mods.contains(u'K'))
                    modifiers |= Qt::KeypadModifier;
                const QHash<QString, Qt::Key> keys{{u"Up"_s, Qt::Key_Up},
                                                   {u"Down"_s, Qt::Key_Down},
                                                   {u"Left"_s, Qt::Key_Left},
                                                   {u"Right"_s, Qt::Key_Right}};
                QVERIFY2(keys.contains(name), qPrintable(step));
                QTest::keyClick(grid.view(), keys.value(name), modifiers);
            }
        }
        QCOMPARE(grid.selectionBlockCount(), int(selected.size() / 4));
        if (!selected.isEmpty()) {
            QCOMPARE(grid.selectedBlock(), blocksOf(selected).constFirst());
            const GridBlock b = grid.selectedBlock();
            QVERIFY(shownSelected(grid, b.lastCol, b.lastRow));
            QVERIFY(!shownSelected(grid, b.lastCol, b.lastRow + 1));
        }
        const QModelIndex at = grid.view()->currentIndex();
        QCOMPARE(QPoint(at.column() + 1, at.row() + 1), current);
    }

    // Shift with Page Up or Page Down stretches by the page that the key alone
    // moves, in the grid's own view.
    void shiftWithThePageKeysStretchesAPage_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("startRow");
        QTest::newRow("Page Down") << int(Qt::Key_PageDown) << 3;
        QTest::newRow("Page Up") << int(Qt::Key_PageUp) << 38;
    }

    void shiftWithThePageKeysStretchesAPage()
    {
        QFETCH(int, key);
        QFETCH(int, startRow);
        GridControl &grid = loadedLog(wideLog(40, 4));
        const auto clickRow = [&](int row) {
            grid.view()->scrollTo(grid.model()->index(row - 1, 1));
            click(cells(), cellPos(2, row));
        };
        clickRow(startRow);
        QTest::keyClick(grid.view(), Qt::Key(key));
        const int paged = grid.view()->currentIndex().row() + 1;
        QVERIFY2(std::abs(paged - startRow) >= 5, qPrintable(QString::number(paged)));

        clickRow(startRow);
        QTest::keyClick(grid.view(), Qt::Key(key), Qt::ShiftModifier);
        QCOMPARE(grid.selectionBlockCount(), 1);
        QCOMPARE(grid.selectedBlock(), (GridBlock{2, std::min(startRow, paged), 2, std::max(startRow, paged)}));
        QCOMPARE(grid.view()->currentIndex().row() + 1, paged);
    }

    void draggingACaptionBorderSetsTheWidth_data()
    {
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("grown"); // pixels; a large negative number: down to one character
        QTest::newRow("wider") << 40 << 40;
        QTest::newRow("never narrower than a character") << -500 << -1000;
    }

    void draggingACaptionBorderSetsTheWidth()
    {
        QFETCH(int, dx);
        QFETCH(int, grown);
        GridControl &grid = loadedGrid();
        grid.setColumnWidth(-1, 14);
        QHeaderView *h = grid.view()->horizontalHeader();
        const int before = h->sectionSize(2);
        const int zero = grid.view()->fontMetrics().horizontalAdvance(u'0');
        dragBorder(3, dx);
        const int expected = grown < -before ? zero + 6 : before + grown;
        QCOMPARE(h->sectionSize(2), expected);
        QCOMPARE(grid.columnWidth(3), (expected - 6) / double(zero)); // the printout follows
        QCOMPARE(h->sectionSize(1), before);
        QVERIFY(!grid.hasSelectedBlock()); // the border is no caption to select
    }

    void doubleClickOnABorderFits_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("widest");
        QTest::newRow("the widest cell in view") << 2 << u"12345.6789 (estimated)"_s;
        QTest::newRow("a long caption") << 3 << u"Contact Phone Number"_s;
    }

    void doubleClickOnABorderFits()
    {
        QFETCH(int, col);
        QFETCH(QString, widest);
        // Row 2 holds the widest value in view; row 300, out of view, a wider one.
        QByteArray log("Date,Time,Flow,Contact Phone Number\r\n");
        for (int r = 1; r <= 300; ++r) {
            const QByteArray flow = r == 2 ? "12345.6789 (estimated)" : r == 300 ? QByteArray(60, 'W') : "1.5";
            log += "1/1/2024,1:00:00 AM," + flow + ",5\r\n";
        }
        GridControl &grid = loadedLog(log);
        QHeaderView *h = grid.view()->horizontalHeader();
        const QPoint border(h->sectionViewportPosition(col - 1) + h->sectionSize(col - 1) - 1, h->height() / 2);
        send(columnHeaders(), QEvent::MouseButtonDblClick, border, Qt::LeftButton);
        const QFont font = col == 3 ? h->font() : grid.view()->font();
        const int text = QFontMetrics(font).horizontalAdvance(widest);
        const int margin = col == 3 ? 2 * h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h) : 6;
        QVERIFY2(h->sectionSize(col - 1) >= text + margin, "the text is still cut");
        QVERIFY2(h->sectionSize(col - 1) <= text + margin + 2, "wider than the text in view needs");
        QVERIFY(!grid.hasSelectedBlock());
    }

    // After a scroll to the right the time of day is still beside the dates: a
    // click there selects it, and the view does not jump back.
    void timeStaysBesideTheDates_data()
    {
        QTest::addColumn<int>("frozen");
        QTest::addColumn<double>("scrolled"); // part of the way to the right end
        QTest::addColumn<bool>("timeThere");
        QTest::newRow("not scrolled") << 1 << 0.0 << true;
        QTest::newRow("to the right end") << 1 << 1.0 << true;
        QTest::newRow("not frozen, to the right end") << 0 << 1.0 << false;
    }

    void timeStaysBesideTheDates()
    {
        QFETCH(int, frozen);
        QFETCH(double, scrolled);
        QFETCH(bool, timeThere);
        GridControl &grid = loadedLog(wideLog(40, 20));
        grid.setFrozenColumns(frozen);
        QScrollBar *bar = grid.view()->horizontalScrollBar();
        QVERIFY(bar->maximum() > 0);
        bar->setValue(int(bar->maximum() * scrolled));
        QCoreApplication::processEvents();
        const int value = bar->value();

        // Just right of the dates, on row 3 and on the captions.
        const QPoint cell = cells()->mapTo(m_grid.get(), QPoint(2, rowHeaderPos(3).y()));
        QWidget *under = clickAt(cell);
        QVERIFY(under);
        auto *view = qobject_cast<QTableView *>(under->parentWidget());
        QVERIFY(view);
        const QString shown = view->indexAt(under->mapFrom(m_grid.get(), cell)).data().toString();
        const GridBlock picked = grid.selectedBlock();
        if (timeThere) {
            QCOMPARE(shown, u"t3"_s);
            QCOMPARE(picked, (GridBlock{1, 3, 1, 3}));
        } else {
            QVERIFY2(shown != u"t3"_s && picked.firstCol > 1, qPrintable(shown));
        }
        QCOMPARE(bar->value(), value);

        clickAt(columnHeaders()->mapTo(m_grid.get(), QPoint(2, columnHeaders()->height() / 2)));
        QCOMPARE(grid.selectedBlock().firstCol == 1, timeThere);
        QCOMPARE(grid.selectedBlock().firstRow, -1);
        QCOMPARE(bar->value(), value);
    }

    // Moving the current cell far to the right scrolls the grid, never the
    // frozen time: it still shows the time of day under its own caption.
    void theFrozenTimeStaysAfterAMoveToTheRight_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Ctrl+End") << int(Qt::Key_End) << int(Qt::ControlModifier);
        QTest::newRow("End") << int(Qt::Key_End) << int(Qt::NoModifier);
    }

    void theFrozenTimeStaysAfterAMoveToTheRight()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        GridControl &grid = loadedLog(wideLog(40, 20));
        grid.setFrozenColumns(1);
        grid.view()->setCurrentIndex(grid.model()->index(2, 3));
        QTest::keyClick(grid.view(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCoreApplication::processEvents();
        QVERIFY2(grid.view()->horizontalScrollBar()->value() > 0, "the grid itself did not scroll");
        auto *frozen = grid.findChild<QTableView *>(u"frozenView"_s);
        QVERIFY(frozen && frozen->isVisible());
        const QModelIndex shown = frozen->indexAt(QPoint(2, frozen->rowViewportPosition(2) + 2));
        QCOMPARE(shown.data().toString(), u"t3"_s);
        QCOMPARE(frozen->horizontalHeader()->logicalIndexAt(2), 0);
    }

    // A column the keyboard goes to shows beside the frozen time, not under it.
    void aColumnReachedByKeyShowsBesideTheFrozenOnes_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Right") << int(Qt::NoModifier);
        QTest::newRow("Shift+Right") << int(Qt::ShiftModifier);
    }

    void aColumnReachedByKeyShowsBesideTheFrozenOnes()
    {
        QFETCH(int, modifiers);
        GridControl &grid = loadedLog(wideLog(40, 20));
        grid.setFrozenColumns(1);
        click(cells(), cellPos(grid.frozenColumns() + 1, 3));
        auto *frozen = grid.findChild<QTableView *>(u"frozenView"_s);
        QVERIFY(frozen && frozen->isVisible());
        // Far enough right that the view scrolls, then back left one by one.
        for (int i = 0; i < 12; ++i)
            QTest::keyClick(grid.view(), Qt::Key_Right, Qt::KeyboardModifiers(modifiers));
        QVERIFY(grid.view()->horizontalScrollBar()->value() > 0);
        for (int i = 0; i < 10; ++i) {
            QTest::keyClick(grid.view(), Qt::Key_Left, Qt::KeyboardModifiers(modifiers));
            const int column = grid.view()->currentIndex().column();
            QVERIFY2(grid.view()->columnViewportPosition(column) >= frozen->width(),
                     qPrintable(u"column %1 at %2, the frozen ones end at %3"_s.arg(column + 1)
                                    .arg(grid.view()->columnViewportPosition(column)).arg(frozen->width())));
        }
    }

    void loadArguments_data()
    {
        QTest::addColumn<QString>("quote");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("error");
        QTest::newRow("as the viewer loads") << QString() << u","_s << u"\r\n"_s << 3 << 0;
        QTest::newRow("LF rows") << QString() << u","_s << u"\n"_s << 3 << 0;
        QTest::newRow("double quote") << u"\""_s << u","_s << u"\r\n"_s << 3 << 0;
        QTest::newRow("single quote") << u"'"_s << u","_s << u"\r\n"_s << 3 << 5;
        QTest::newRow("two-character column delimiter") << QString() << u",,"_s << u"\r\n"_s << 3 << 5;
        QTest::newRow("CR rows") << QString() << u","_s << u"\r"_s << 3 << 5;
        QTest::newRow("unknown flag") << QString() << u","_s << u"\r\n"_s << 4 << 5;
    }

    void loadArguments()
    {
        QFETCH(QString, quote);
        QFETCH(QString, columns);
        QFETCH(QString, rows);
        QFETCH(int, flags);
        GridControl &grid = loadedGrid();
        QTEST(errorOf([&] { grid.loadDelimited(m_dir.filePath(u"grid.csv"_s), quote, columns, rows, flags); }),
              "error");
    }

    void cornerShowsTheTopLeftCaption()
    {
        GridControl &grid = loadedGrid();
        QCOMPARE(grid.cornerCaption(), u"Date"_s);
        const QImage withCaption = corner()->grab().toImage();
        grid.clearRange(0, 0, 0, 0, false);
        QCOMPARE(grid.cornerCaption(), QString());
        QCoreApplication::processEvents();
        QVERIFY(corner()->grab().toImage() != withCaption);
    }
};

VIEWER_TEST(GridControlTest)
#include "tst_gridcontrol.moc"
