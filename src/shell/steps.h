#pragma once

#include <QString>

#include <functional>
#include <initializer_list>

// The two step-by-step error styles of the windows' handlers. A step that throws
// is abandoned and the next step runs; `ignoring` skips silently, `reporting`
// shows the error report under the routine's name first.
namespace steps {

using Step = std::function<void()>;

void ignoring(std::initializer_list<Step> list);
void reporting(const QString &name, std::initializer_list<Step> list);

// One step of each style, for loops whose steps are built at run time.
void ignore(const Step &step);
void report(const QString &name, const Step &step);

// Runs a handler body at the edge of the event loop: nothing may escape into Qt.
void guarded(const Step &body);

} // namespace steps
