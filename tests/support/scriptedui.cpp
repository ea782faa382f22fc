#include "scriptedui.h"

#include "shell/uiservices.h"

#include <QCoreApplication>

MsgResult ScriptedUi::message(const QString &text, const QString &caption, MsgIcon icon, MsgButtons buttons)
{
    const RecordedMessage recorded{text, caption, icon, buttons};
    messages.append(recorded);
    if (onMessage)
        onMessage(recorded);
    if (realMessageBoxes)
        return makeQtUiServices()->message(text, caption, icon, buttons);
    if (!answers.isEmpty())
        return answers.takeFirst();
    return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgResult::No : MsgResult::Ok;
}

void ScriptedUi::setPointer(Pointer pointer)
{
    m_pointer = pointer;
    pointerHistory.append(pointer);
}

void ScriptedUi::processEvents()
{
    ++passes;
    if (onPass)
        onPass(passes);
    if (processRealEvents)
        QCoreApplication::processEvents();
}

bool ScriptedUi::startProgram(const QString &path)
{
    started.append(path);
    return startSucceeds;
}

void ScriptedUi::endProgram(int code)
{
    ++endCount;
    exitCode = code;
    // The program-ended flag as the real services set it, without quitting.
    markProgramEnded(code);
}

QStringList ScriptedUi::texts() const
{
    QStringList result;
    for (const RecordedMessage &m : messages)
        result.append(m.text);
    return result;
}
