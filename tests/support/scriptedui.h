#pragma once

#include "shell/uiservices.h"

#include <QList>
#include <QStringList>

#include <functional>

struct RecordedMessage
{
    QString text;
    QString caption;
    MsgIcon icon;
    MsgButtons buttons;
};

// User-interface services for tests: records every message box and answers it
// from a queue, keeps the pointer, counts event-loop passes and lets a test act
// at one of them, and records program starts and the end of the program.
class ScriptedUi final : public UiServices
{
public:
    MsgResult message(const QString &text, const QString &caption, MsgIcon icon, MsgButtons buttons) override;
    void setPointer(Pointer pointer) override;
    Pointer pointer() const override { return m_pointer; }
    void processEvents() override;
    bool startProgram(const QString &path) override;
    QStringList printerNames() override { return printers; }
    void endProgram(int exitCode) override;

    // Answers for the next message boxes, in order; without one a box answers
    // Ok, or No when it asks Yes or No.
    QList<MsgResult> answers;
    QList<RecordedMessage> messages;
    // Runs when a message box is shown, before it is answered.
    std::function<void(const RecordedMessage &)> onMessage;

    QList<Pointer> pointerHistory;
    int passes = 0;
    // Runs at every event-loop pass with its number (from 1).
    std::function<void(int)> onPass;
    bool processRealEvents = true;

    QStringList printers{QStringLiteral("PDF")};
    QStringList started;
    bool startSucceeds = true;
    int endCount = 0;
    int exitCode = -1;

    QStringList texts() const;

    // Shows the real message boxes (to be answered through their widgets) and
    // still records them.
    bool realMessageBoxes = false;

private:
    Pointer m_pointer = Pointer::Default;
};
