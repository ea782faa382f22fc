#pragma once

#include <QString>

class CommonDialog;

// The application title: window caption, message box caption and settings name.
const QString &appTitle();

// State that the windows share for the whole run of the program. The open log,
// its path and whether a plot run is active belong to the log document
// (openlog.h).
struct SharedState
{
    bool exitConfirmed = false; // the user answered Yes to the exit question
    QString startDir;           // the current directory at start-up
    QString helpFilePath;       // empty until start-up sets it
    CommonDialog *fileDialog = nullptr; // the main frame's cmdFile
};

SharedState &shared();
// Back to the state before start-up (tests).
void resetShared();
