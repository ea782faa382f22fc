#include "support/scriptedui.h"
#include "support/startup.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/gridcontrol.h"
#include "controls/twips.h"
#include "logview/datafilewindow.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace {
// Sizes are set in whole pixels: 15 twips each at 96 DPI.
constexpr double PixelTwips = 15.0;

bool closeTo(double actual, double expected)
{
    return std::abs(actual - expected) <= PixelTwips;
}

#define COMPARE_TWIPS(actual, expected)                                                                        \
    QVERIFY2(closeTo((actual), (expected)),                                                                    \
             qPrintable(u"%1 is %2 twips, expected %3"_s.arg(QString::fromLatin1(#actual)).arg(actual).arg(expected)))
} // namespace

class DataFileWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        TestEnv::reset();
        TestStartup::run();
    }

    void designTimeControls()
    {
        DataFileWindow &w = frmHistory();
        QCOMPARE(w.Toolbar1()->objectName(), u"Toolbar1"_s);
        QCOMPARE(w.DcryLabel()->objectName(), u"DcryLabel"_s);
        QCOMPARE(w.DcryLabel()->text(), u" Please Wait..."_s);
        QVERIFY(!w.DcryLabel()->isVisible());
        QCOMPARE(w.ProgBar()->objectName(), u"ProgBar"_s);
        QVERIFY(!w.ProgBar()->isVisible());
        QCOMPARE(w.dataFrame()->objectName(), u"dataFrame"_s);
        QCOMPARE(w.dataFrame()->title(), u"Data:"_s);
        QCOMPARE(w.dataGrid()->objectName(), u"dataGrid"_s);
        QCOMPARE(w.dataGrid()->parentWidget(), w.dataFrame());
        QCOMPARE(w.StatusBar1()->objectName(), u"StatusBar1"_s);
        QCOMPARE(w.statusPanelText(), u"Status"_s);
        const QRectF frame = twips::geometryOf(*w.dataFrame());
        COMPARE_TWIPS(frame.x(), 105);
        COMPARE_TWIPS(frame.y(), 450);
        const QRectF grid = twips::geometryOf(*w.dataGrid());
        COMPARE_TWIPS(grid.x(), 150);
        COMPARE_TWIPS(grid.y(), 210);
        COMPARE_TWIPS(twips::sizeOf(*w.Toolbar1()).height(), 420);
        COMPARE_TWIPS(twips::sizeOf(*w.ProgBar()).width(), 2475);
        COMPARE_TWIPS(twips::sizeOf(*w.DcryLabel()).width(), 1035);
        COMPARE_TWIPS(twips::geometryOf(*w.ProgBar()).y(), 60);
        COMPARE_TWIPS(twips::geometryOf(*w.DcryLabel()).y(), 105);
    }

    void loadHandlerLocksTheGrid()
    {
        GridControl &grid = *frmHistory().dataGrid();
        QVERIFY(grid.cellsLocked());
        QVERIFY(grid.sheetProtected());
        QCOMPARE(grid.numericOption(), 500);
    }

    void toolbarButtons_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("tooltip");
        QTest::newRow("1") << 1 << u"Open"_s << u"Open history file"_s;
        QTest::newRow("2") << 2 << u"Plot"_s << u"Plot history data"_s;
        QTest::newRow("3") << 3 << u"Print"_s << u"Print history grid"_s;
        QTest::newRow("4") << 4 << u"Cancel Plot"_s << u"Cancel historical Plotting"_s;
    }

    void toolbarButtons()
    {
        QFETCH(int, position);
        QFETCH(QString, key);
        QFETCH(QString, tooltip);
        DataFileWindow &w = frmHistory();
        QAction *button = w.toolbarButton(position);
        QVERIFY(button);
        QCOMPARE(w.Toolbar1()->actions().indexOf(button), position - 1);
        QCOMPARE(button->objectName(), key);
        QCOMPARE(button->toolTip(), tooltip);
        QVERIFY(!button->icon().isNull());
    }

    void tooSmallSnapsToTheMinimum_data()
    {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<double>("expectedWidth");
        QTest::addColumn<double>("expectedHeight");
        QTest::newRow("5000 high, 9000 wide") << 9000.0 << 5000.0 << 6765.0 << 5295.0;
        QTest::newRow("too narrow only") << 6000.0 << 8000.0 << 6765.0 << 5295.0;
        QTest::newRow("one pixel too narrow") << 6750.0 << 5295.0 << 6765.0 << 5295.0;
        QTest::newRow("exactly the minimum") << 6765.0 << 5295.0 << 6765.0 << 5295.0;
        QTest::newRow("larger") << 9000.0 << 7200.0 << 9000.0 << 7200.0;
    }

    void tooSmallSnapsToTheMinimum()
    {
        QFETCH(double, width);
        QFETCH(double, height);
        DataFileWindow &w = frmHistory();
        w.resize(twips::toPixelsX(width), twips::toPixelsY(height));
        QTEST(twips::sizeOf(w).width(), "expectedWidth");
        QTEST(twips::sizeOf(w).height(), "expectedHeight");
    }

    void layoutFigures_data()
    {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<QSizeF>("frame");
        QTest::addColumn<QSizeF>("grid");
        QTest::newRow("minimum") << 6765.0 << 5295.0 << QSizeF(6435, 4095) << QSizeF(6155, 3795);
        QTest::newRow("larger") << 9000.0 << 7200.0 << QSizeF(8670, 6000) << QSizeF(8390, 5700);
    }

    void layoutFigures()
    {
        QFETCH(double, width);
        QFETCH(double, height);
        QFETCH(QSizeF, frame);
        QFETCH(QSizeF, grid);
        DataFileWindow &w = frmHistory();
        w.resize(twips::toPixelsX(width), twips::toPixelsY(height));
        COMPARE_TWIPS(twips::sizeOf(*w.dataFrame()).width(), frame.width());
        COMPARE_TWIPS(twips::sizeOf(*w.dataFrame()).height(), frame.height());
        COMPARE_TWIPS(w.dataGrid()->sizeTwips().width(), grid.width());
        COMPARE_TWIPS(w.dataGrid()->sizeTwips().height(), grid.height());
        const double inner = twips::sizeOf(*w.widget()).width();
        QVERIFY(inner < width); // the client area, not the outer size
        const double barLeft = twips::geometryOf(*w.ProgBar()).x();
        COMPARE_TWIPS(barLeft, inner - (2475 + 120));
        COMPARE_TWIPS(twips::geometryOf(*w.DcryLabel()).x(), barLeft - (1035 + 50));
        // Everything inside the client area, the status bar at its bottom.
        QVERIFY(w.dataFrame()->geometry().bottom() < w.StatusBar1()->geometry().top());
        QCOMPARE(w.StatusBar1()->geometry().bottom(), w.widget()->height() - 1);
        QCOMPARE(w.Toolbar1()->width(), w.widget()->width());
    }

    void minimisedWindowIsNotSnapped()
    {
        DataFileWindow &w = frmHistory();
        w.showMinimized();
        QVERIFY(w.isMinimized());
        QVERIFY(w.height() < twips::toPixelsY(5295));
    }
};

VIEWER_TEST(DataFileWindowTest)
#include "tst_datafilewindow.moc"
