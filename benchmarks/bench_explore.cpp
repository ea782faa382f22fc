// Explores a trend of 12 channels of 1,000,000 points like a logger's (random
// steps, about 4 % of samples missing, and a few long outages) in the trend window
// with its plot at 1000 x 600 pixels, zoomed first to a tenth of the span around
// the middle. Sends the events a user's hand makes and prints the median time of:
// a wheel-zoom step, a pan step of a tenth of the view (arrow key), a box zoom
// (right-button drag), a cursor step with its readout, and the statistics panel's
// update after a pan; each includes its redraw.

#include "benchsupport.h"
#include "controls/plotcontrol.h"
#include "shell/mainframe.h"
#include "trend/statspanel.h"
#include "trend/trendwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

using bench::median;

namespace {

constexpr int Channels = 12;
constexpr int PointsPerChannel = 1'000'000;
constexpr int Steps = 40;

double timedMs(const std::function<void()> &call)
{
    QElapsedTimer timer;
    timer.start();
    call();
    const double ms = timer.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();
    return ms;
}

void sendKey(QWidget *target, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
}

void sendMouse(QWidget *target, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, target->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    mainFrame().resize(1500, 1000);
    mainFrame().show();
    TrendWindow &w = bench::trendWindowOf(bench::noisyTrend(Channels, PointsPerChannel, true));
    PlotControl &plot = w.trendPlot();
    w.show();
    // The window sized so that the plot is 1000 x 600 pixels.
    for (int pass = 0; pass < 3; ++pass) {
        w.resize(w.width() + 1000 - plot.width(), w.height() + 600 - plot.height());
        QCoreApplication::processEvents();
    }
    QWidget *canvas = plot.findChildren<QWidget *>(Qt::FindDirectChildrenOnly).value(0);
    const double whole = w.historyXspan();
    const double middle = plot.dataXMin() + whole / 2;
    const auto tenth = [&] { plot.setXView(middle - whole / 20, whole / 10); };
    tenth();
    plot.setFocus();
    QCoreApplication::processEvents();

    std::vector<double> replotMs;
    for (int i = 0; i < 10; ++i)
        replotMs.push_back(timedMs([&] { plot.replot(); }));
    std::printf("plain redraw: median_ms=%.2f\n", median(replotMs));
    const QPoint centre(canvas->width() / 2, canvas->height() / 2);
    std::vector<double> wheelMs, panMs, boxMs, cursorMs, statsMs;
    for (int i = 0; i < Steps; ++i) {
        const int notch = i % 2 ? -120 : 120;
        wheelMs.push_back(timedMs([&] {
            QWheelEvent wheel(centre + QPoint(i % 7 * 10, 0), canvas->mapToGlobal(centre), QPoint(), QPoint(0, notch),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(canvas, &wheel);
        }));
    }
    tenth();
    for (int i = 0; i < Steps; ++i)
        panMs.push_back(timedMs([&] { sendKey(&plot, i / 4 % 2 ? Qt::Key_Left : Qt::Key_Right); }));
    for (int i = 0; i < Steps; ++i) {
        tenth();
        QCoreApplication::processEvents();
        const QPoint from = centre - QPoint(150 + i, 100);
        const QPoint to = centre + QPoint(150, 100);
        boxMs.push_back(timedMs([&] {
            sendMouse(canvas, QEvent::MouseButtonPress, from, Qt::RightButton, Qt::RightButton);
            sendMouse(canvas, QEvent::MouseMove, to, Qt::NoButton, Qt::RightButton);
            sendMouse(canvas, QEvent::MouseButtonRelease, to, Qt::RightButton, Qt::NoButton);
        }));
    }
    tenth();
    plot.DataCursor(0).setVisible(true);
    QCoreApplication::processEvents();
    for (int i = 0; i < Steps; ++i)
        cursorMs.push_back(timedMs([&] { sendKey(&plot, i / 5 % 2 ? Qt::Key_Left : Qt::Key_Right); }));
    plot.DataCursor(0).setVisible(false);
    w.toolbarButtonClick(7); // the statistics panel
    QCoreApplication::processEvents();
    for (int i = 0; i < Steps; ++i) {
        sendKey(&plot, i / 4 % 2 ? Qt::Key_Left : Qt::Key_Right);
        statsMs.push_back(timedMs([&] {
            w.statsPanel().showStats(plot);
            w.statsPanel().repaint();
        }));
    }

    std::printf("wheel zoom step: median_ms=%.2f\n", median(wheelMs));
    std::printf("pan step (a tenth of the view): median_ms=%.2f\n", median(panMs));
    std::printf("box zoom: median_ms=%.2f\n", median(boxMs));
    std::printf("cursor step with readout: median_ms=%.2f\n", median(cursorMs));
    std::printf("statistics update after a pan: median_ms=%.2f\n", median(statsMs));
    std::printf("target: each at most 16 ms\n");
    std::printf("explore: wheel_ms=%.1f pan_ms=%.1f box_ms=%.1f cursor_ms=%.1f stats_ms=%.1f\n", median(wheelMs),
                median(panMs), median(boxMs), median(cursorMs), median(statsMs));
    return 0;
}
