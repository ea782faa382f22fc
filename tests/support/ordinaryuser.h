#pragma once

#include <QtGlobal>

#include <unistd.h>

// While it lives, files are opened as an ordinary user, so that a file without
// read permission is unreadable even when the tests run as root.
class AsOrdinaryUser
{
public:
    AsOrdinaryUser()
    {
        if (geteuid() == 0)
            m_switched = seteuid(65534) == 0;
    }
    ~AsOrdinaryUser()
    {
        if (m_switched && seteuid(0) != 0)
            qFatal("cannot return to the former user");
    }
    AsOrdinaryUser(const AsOrdinaryUser &) = delete;
    AsOrdinaryUser &operator=(const AsOrdinaryUser &) = delete;

private:
    bool m_switched = false;
};
