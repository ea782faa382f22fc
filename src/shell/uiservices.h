#pragma once

#include <QString>
#include <QStringList>

#include <memory>

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok, Cancel, Yes, No };
enum class Pointer { Default, Hourglass };

// The platform facilities that the windows use and that tests must see or answer:
// message boxes, the application-wide pointer, the event loop, starting another
// program, the printer list and the end of the program. One real implementation
// over Qt and one scripted implementation for tests.
class UiServices
{
public:
    virtual ~UiServices() = default;

    // A modal message box; returns the button pressed.
    virtual MsgResult message(const QString &text, const QString &caption, MsgIcon icon,
                              MsgButtons buttons) = 0;
    virtual void setPointer(Pointer pointer) = 0;
    virtual Pointer pointer() const = 0;
    // One full pass of the event loop.
    virtual void processEvents() = 0;
    // Starts a program in a window of its own; false when it could not be started.
    virtual bool startProgram(const QString &path) = 0;
    virtual QStringList printerNames() = 0;
    // Ends the program at once: no window's close handling runs.
    virtual void endProgram(int exitCode) = 0;
};

UiServices &ui();
void installUi(std::unique_ptr<UiServices> services);
std::unique_ptr<UiServices> makeQtUiServices();

// True once endProgram() has been asked for; main() then does not enter the loop.
bool programEnded();
int programExitCode();
void markProgramEnded(int exitCode);
void resetProgramEnded();

// A message box with the application title as caption.
MsgResult msgBox(const QString &text, MsgIcon icon = MsgIcon::None, MsgButtons buttons = MsgButtons::Ok);

// Lets the event loop run during a long operation. Cheap enough to call once per
// plotted point: it really processes events only when the interval (15 ms by
// default) has passed since the last pass.
void yieldNow();
// Processes events now, whatever the interval.
void yieldAlways();
// Tests set 0 so that every yieldNow() is a real pass.
void setYieldInterval(int milliseconds);
