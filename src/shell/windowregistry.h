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
    // A window whose close was accepted counts as unloaded at once, although Qt
    // deletes it only when the event loop next runs: the next touch creates a
    // fresh one instead of handing out the closing one.
    static void markUnloaded(QWidget *window);
    static bool isUnloaded(const QWidget *window);
};

template<class T>
class WindowSlot
{
public:
    // The window, created (and its load handling run) when none is loaded.
    T &touch()
    {
        if (m_window && WindowRegistry::isUnloaded(m_window))
            m_window = nullptr;
        if (!m_window) {
            T *window = new T();
            m_window = window;
            WindowRegistry::track(window);
        }
        return *m_window;
    }

    T *loaded() const { return m_window && !WindowRegistry::isUnloaded(m_window) ? m_window.data() : nullptr; }

    void unload() { delete m_window.data(); }

private:
    QPointer<T> m_window;
};
