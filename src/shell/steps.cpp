#include "steps.h"

#include "errorreport.h"

#include "core/runtimeerror.h"

namespace steps {

void ignore(const Step &step)
{
    try {
        step();
    } catch (...) {
    }
}

void report(const QString &name, const Step &step)
{
    try {
        step();
    } catch (...) {
        const RuntimeError error = RuntimeError::fromCurrentException();
        ignore([&] { reportError(name, error); });
    }
}

void ignoring(std::initializer_list<Step> list)
{
    for (const Step &step : list)
        ignore(step);
}

void reporting(const QString &name, std::initializer_list<Step> list)
{
    for (const Step &step : list)
        report(name, step);
}

void guarded(const Step &body)
{
    ignore(body);
}

} // namespace steps
