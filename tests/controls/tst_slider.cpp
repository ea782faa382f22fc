#include "support/testregistry.h"

#include "core/runtimeerror.h"
#include "controls/slider.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

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
