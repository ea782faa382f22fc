#include "support/testregistry.h"

#include "core/blockselection.h"

#include <QTest>

using Target = BlockSelection::Target;

Q_DECLARE_METATYPE(GridBlock)

static char *toString(const GridBlock &b)
{
    return QTest::toString(QStringLiteral("(%1,%2)-(%3,%4)").arg(b.firstCol).arg(b.firstRow).arg(b.lastCol).arg(b.lastRow));
}
Q_DECLARE_METATYPE(QList<GridBlock>)

namespace {
constexpr Qt::KeyboardModifiers None = Qt::NoModifier;
constexpr Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers Shift = Qt::ShiftModifier;

// One user gesture: a press on a target, then drags to further cells.
struct Gesture
{
    Target target;
    int col;
    int row;
    Qt::KeyboardModifiers modifiers;
    QList<QPoint> dragTo; // (col, row)
};
} // namespace
Q_DECLARE_METATYPE(QList<Gesture>)

class BlockSelectionTest : public QObject
{
    Q_OBJECT

private slots:
    void gestures_data()
    {
        QTest::addColumn<int>("options");
        QTest::addColumn<bool>("multiple");
        QTest::addColumn<QList<Gesture>>("gestures");
        QTest::addColumn<QList<GridBlock>>("blocks");

        const int loaded = BlockSelection::WholeColumns | BlockSelection::Blocks; // 5
        QTest::newRow("column header gives -1 rows")
            << loaded << true << QList<Gesture>{{Target::ColumnHeader, 3, -1, None, {}}}
            << QList<GridBlock>{{3, -1, 3, -1}};
        QTest::newRow("dragging across column headers")
            << loaded << true << QList<Gesture>{{Target::ColumnHeader, 4, -1, None, {{5, -1}, {2, -1}}}}
            << QList<GridBlock>{{2, -1, 4, -1}};
        QTest::newRow("dragging a rectangle, corners ordered")
            << loaded << true << QList<Gesture>{{Target::Cell, 5, 40, None, {{6, 41}, {3, 10}}}}
            << QList<GridBlock>{{3, 10, 5, 40}};
        QTest::newRow("a single cell is a block")
            << loaded << true << QList<Gesture>{{Target::Cell, 2, 7, None, {}}} << QList<GridBlock>{{2, 7, 2, 7}};
        QTest::newRow("ctrl adds blocks in order")
            << loaded << true
            << QList<Gesture>{{Target::Cell, 2, 1, None, {{2, 9}}}, {Target::ColumnHeader, 4, -1, Ctrl, {}},
                              {Target::Cell, 6, 3, Ctrl, {{7, 5}}}}
            << QList<GridBlock>{{2, 1, 2, 9}, {4, -1, 4, -1}, {6, 3, 7, 5}};
        QTest::newRow("ctrl without multiple blocks replaces")
            << loaded << false
            << QList<Gesture>{{Target::Cell, 2, 1, None, {{2, 9}}}, {Target::ColumnHeader, 4, -1, Ctrl, {}}}
            << QList<GridBlock>{{4, -1, 4, -1}};
        QTest::newRow("plain press starts afresh")
            << loaded << true
            << QList<Gesture>{{Target::Cell, 2, 1, None, {}}, {Target::Cell, 3, 1, Ctrl, {}},
                              {Target::Cell, 4, 4, None, {}}}
            << QList<GridBlock>{{4, 4, 4, 4}};
        QTest::newRow("shift stretches the last block from its anchor")
            << loaded << true
            << QList<Gesture>{{Target::Cell, 3, 5, None, {}}, {Target::Cell, 6, 2, Shift, {}}}
            << QList<GridBlock>{{3, 2, 6, 5}};
        QTest::newRow("row header selects nothing")
            << loaded << true
            << QList<Gesture>{{Target::Cell, 2, 2, None, {}}, {Target::RowHeader, -1, 6, None, {{-1, 8}}}}
            << QList<GridBlock>{{2, 2, 2, 2}};
        QTest::newRow("corner selects nothing")
            << loaded << true << QList<Gesture>{{Target::Corner, -1, -1, None, {}}} << QList<GridBlock>{};
        QTest::newRow("rows when allowed")
            << int(BlockSelection::AllOptions) << true
            << QList<Gesture>{{Target::RowHeader, -1, 6, None, {{-1, 3}}}} << QList<GridBlock>{{-1, 3, -1, 6}};
        QTest::newRow("whole sheet when allowed")
            << int(BlockSelection::AllOptions) << true
            << QList<Gesture>{{Target::Cell, 2, 2, None, {}}, {Target::Corner, -1, -1, None, {}}}
            << QList<GridBlock>{{-1, -1, -1, -1}};
        QTest::newRow("columns not allowed")
            << int(BlockSelection::Blocks) << true << QList<Gesture>{{Target::ColumnHeader, 3, -1, None, {}}}
            << QList<GridBlock>{};
        QTest::newRow("cell blocks not allowed")
            << int(BlockSelection::WholeColumns) << true
            << QList<Gesture>{{Target::ColumnHeader, 3, -1, None, {}}, {Target::Cell, 2, 2, Ctrl, {{4, 4}}}}
            << QList<GridBlock>{};
    }

    void gestures()
    {
        QFETCH(int, options);
        QFETCH(bool, multiple);
        QFETCH(QList<Gesture>, gestures);
        QFETCH(QList<GridBlock>, blocks);
        BlockSelection selection;
        selection.setOptions(options);
        selection.setMultiple(multiple);
        for (const Gesture &g : gestures) {
            selection.press(g.target, g.col, g.row, g.modifiers);
            for (const QPoint &to : g.dragTo)
                selection.dragTo(to.x(), to.y());
            selection.release();
        }
        QCOMPARE(selection.blocks(), blocks);
    }

    void dragAfterReleaseChangesNothing()
    {
        BlockSelection selection;
        QVERIFY(selection.press(Target::Cell, 2, 2, None));
        selection.release();
        QVERIFY(!selection.dragTo(5, 5));
        QCOMPARE(selection.blocks(), (QList<GridBlock>{{2, 2, 2, 2}}));
    }
};

VIEWER_TEST(BlockSelectionTest)
#include "tst_blockselection.moc"
