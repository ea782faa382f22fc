#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

// Windows are created on first touch with their design-time configuration and
// dropped on unload; the next touch creates them afresh. The registry keeps the
// loaded windows in load order, the order in which the exit closes them.
class WindowRegistry
{
public:
    static void track(QWidget *window);
    // The live windows, in load order.
    static QList<QWidget *> loaded();
    // Deletes every loaded window without running its close handling (tests).
    static void unloadAll();
};

template<class T>
class WindowSlot
{
public:
    // The window, created (and its load handling run) when none is loaded.
    T &touch()
    {
        if (!m_window) {
            T *window = new T();
            m_window = window;
            WindowRegistry::track(window);
        }
        return *m_window;
    }

    T *loaded() const { return m_window.data(); }

    void unload() { delete m_window.data(); }

private:
    QPointer<T> m_window;
};
