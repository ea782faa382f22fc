#include "windowregistry.h"

namespace {

QList<QPointer<QWidget>> &tracked()
{
    static QList<QPointer<QWidget>> list;
    return list;
}

QList<QPointer<QWidget>> &unloadedList()
{
    static QList<QPointer<QWidget>> list;
    return list;
}

void dropDeleted(QList<QPointer<QWidget>> &list)
{
    list.removeIf([](const QPointer<QWidget> &w) { return w.isNull(); });
}

} // namespace

void WindowRegistry::track(QWidget *window)
{
    dropDeleted(tracked());
    tracked().append(window);
}

QList<QWidget *> WindowRegistry::loaded()
{
    QList<QWidget *> result;
    for (const QPointer<QWidget> &w : std::as_const(tracked()))
        if (w && !isUnloaded(w))
            result.append(w.data());
    return result;
}

void WindowRegistry::unloadAll()
{
    // Newest first, so that children go before the frame that holds them.
    QList<QPointer<QWidget>> list = tracked();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        delete it->data();
    tracked().clear();
    unloadedList().clear();
}

void WindowRegistry::markUnloaded(QWidget *window)
{
    dropDeleted(unloadedList());
    unloadedList().append(window);
}

bool WindowRegistry::isUnloaded(const QWidget *window)
{
    for (const QPointer<QWidget> &w : std::as_const(unloadedList()))
        if (w.data() == window)
            return true;
    return false;
}
