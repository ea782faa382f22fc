#pragma once

#include "core/runtimeerror.h"

#include <functional>

// The number of the run-time error that `call` raises, 0 when it raises none.
inline int errorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const RuntimeError &e) {
        return e.number();
    }
    return 0;
}
