#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QTimer;

// What start-up needs from the rest of the program.
struct StartupHooks
{
    // Loads the data file window into the main frame (hidden) and returns it.
    std::function<QWidget *()> openDataFileWindow;
    // True when another viewer already runs for this user.
    std::function<bool()> anotherInstanceRunning;
};

// The splash `frmSplash`: its load handler sets up the shared state and refuses a
// second instance; ten ticks of its 100 ms timer later it opens the data file
// window at its stored placement and closes itself.
class Splash : public QWidget
{
    Q_OBJECT

public:
    // Creates the splash, runs its load handler and shows it, unless the load
    // handler ended the program.
    static Splash *start(StartupHooks hooks);
    static Splash *current();

    qint16 theCount() const { return m_theCount; }
    bool initFailed() const { return m_initFailed; }
    QTimer *timer() const { return m_timer; }

    // Timer1's tick; public so that tests can step start-up without waiting.
    void timerTick();

    // The splash picture (400 x 287 pixels).
    static QPixmap picture();

private:
    explicit Splash(StartupHooks hooks);
    void load();
    void checkPrevInstance();
    void initFailure();

    StartupHooks m_hooks;
    qint16 m_theCount = 0;
    bool m_initFailed = false;
    QTimer *m_timer = nullptr;
    QLabel *m_image = nullptr;
    QLabel *m_label = nullptr;
};
