#include "support/desktoppalette.h"
#include "support/testregistry.h"

#include "core/runtimeerror.h"
#include "controls/slider.h"

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
QPalette lightPalette()
{
    return QApplication::style()->standardPalette();
}
} // namespace

class SliderTest : public QObject
{
    Q_OBJECT

private slots:
    void settingsOfTheZoomSlider()
    {
        Slider slider(Qt::Vertical);
        QCOMPARE(slider.minimum(), -100);
        QCOMPARE(slider.maximum(), 100);
        QCOMPARE(slider.singleStep(), 1);
        QCOMPARE(slider.pageStep(), 10);
        QCOMPARE(slider.tickInterval(), 20);
        QVERIFY(slider.tickPosition() != QSlider::NoTicks);
        QCOMPARE(slider.Position(), 0.0);
    }

    void thePositionIsAReal()
    {
        Slider slider(Qt::Horizontal);
        QSignalSpy changes(&slider, &Slider::positionChanged);
        slider.setPosition(25.5);
        QCOMPARE(slider.Position(), 25.5);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.first().first().toDouble(), 25.5);
        // The same position again is no change.
        slider.setPosition(25.5);
        QCOMPARE(changes.size(), 1);
        slider.setPosition(-100);
        QCOMPARE(slider.value(), -100);
        QCOMPARE(changes.size(), 2);
    }

    // The tick marks stand out on the desktop's palette, light or dark: along
    // the strip beside the groove on the ticks' side, each of the eleven ticks
    // (-100 to 100, one every 20) differs from the window's colour.
    void ticksStandOutOnTheDesktop_data()
    {
        QTest::addColumn<QPalette>("desktop");
        QTest::addColumn<int>("orientation");
        QTest::newRow("dark desktop, time slider") << darkDesktopPalette() << int(Qt::Horizontal);
        QTest::newRow("dark desktop, value slider") << darkDesktopPalette() << int(Qt::Vertical);
        QTest::newRow("light desktop, time slider") << lightPalette() << int(Qt::Horizontal);
        QTest::newRow("light desktop, value slider") << lightPalette() << int(Qt::Vertical);
    }

    void ticksStandOutOnTheDesktop()
    {
        QFETCH(QPalette, desktop);
        QFETCH(int, orientation);
        const QPalette before = QApplication::palette();
        const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
        Slider slider{Qt::Orientation(orientation)};
        const bool horizontal = orientation == Qt::Horizontal;
        // The trend window's sizes: 300 twips across the groove at 96 DPI.
        slider.resize(horizontal ? QSize(420, 20) : QSize(46, 300));
        slider.setPosition(-100); // the handle at an end, off the middle ticks
        QApplication::setPalette(desktop);
        QCoreApplication::processEvents(); // the change reaches the widgets
        QCOMPARE(slider.palette().color(QPalette::Window), desktop.color(QPalette::Window));
        const QImage image = slider.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int background = qGray(desktop.color(QPalette::Window).rgb());
        // Along the edge on the ticks' side (below, or right of, the groove):
        // runs of pixels that differ from the background by a fifth of the range.
        const int across = horizontal ? image.height() : image.width();
        const int along = horizontal ? image.width() : image.height();
        int runs = 0;
        bool inRun = false;
        for (int i = 0; i < along; ++i) {
            bool marked = false;
            for (int depth = 1; depth <= across / 4; ++depth) {
                const QPoint at = horizontal ? QPoint(i, image.height() - 1 - depth) : QPoint(image.width() - 1 - depth, i);
                marked = marked || std::abs(qGray(image.pixel(at)) - background) >= 51;
            }
            runs += marked && !inRun;
            inRun = marked;
        }
        QCOMPARE(runs, 11);
    }

    void keysStepByOneAndPagesByTen_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<double>("position");
        QTest::newRow("right arrow") << int(Qt::Key_Right) << 1.0;
        QTest::newRow("left arrow") << int(Qt::Key_Left) << -1.0;
        QTest::newRow("page up") << int(Qt::Key_PageUp) << 10.0;
        QTest::newRow("page down") << int(Qt::Key_PageDown) << -10.0;
    }

    void keysStepByOneAndPagesByTen()
    {
        QFETCH(int, key);
        QFETCH(double, position);
        Slider slider(Qt::Horizontal);
        QSignalSpy changes(&slider, &Slider::positionChanged);
        QTest::keyClick(&slider, Qt::Key(key));
        QCOMPARE(slider.Position(), position);
        QCOMPARE(changes.size(), 1);
    }

    void positionsOutsideTheRangeAreRefused_data()
    {
        QTest::addColumn<double>("position");
        QTest::newRow("above") << 100.5;
        QTest::newRow("below") << -101.0;
        QTest::newRow("not a number") << std::nan("");
    }

    void positionsOutsideTheRangeAreRefused()
    {
        QFETCH(double, position);
        Slider slider(Qt::Horizontal);
        slider.setPosition(40);
        try {
            slider.setPosition(position);
            QFAIL("no error");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), 380);
        }
        QCOMPARE(slider.Position(), 40.0);
    }
};

VIEWER_TEST(SliderTest)
#include "tst_slider.moc"
