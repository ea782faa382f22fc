#include "windowregistry.h"

namespace {
QList<QPointer<QWidget>> &tracked()
{
    static QList<QPointer<QWidget>> list;
    return list;
}
} // namespace

void WindowRegistry::track(QWidget *window)
{
    tracked().removeIf([](const QPointer<QWidget> &w) { return w.isNull(); });
    tracked().append(window);
}

QList<QWidget *> WindowRegistry::loaded()
{
    QList<QWidget *> result;
    for (const QPointer<QWidget> &w : std::as_const(tracked()))
        if (w)
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
}
