#pragma once

#include <QString>

class ScriptedUi;
class ScriptedDialogs;

// Keeps the tests away from the user's settings, lock and runtime folders, and
// gives every test a fresh program: no windows, empty shared state, scripted
// user-interface services and dialogs, an empty settings store.
namespace TestEnv {

// Before QApplication: temporary configuration and runtime folders.
void initProcess();
// After QApplication: fixed locale, scripted services.
void initApplication();
// Unloads every window and starts from a clean state; call from init().
void reset();

ScriptedUi &ui();
ScriptedDialogs &dialogs();

// The settings file of the test run, and its removal.
QString settingsFile();
void clearSettings();
// A folder that lives as long as the test process.
QString tempDir();

} // namespace TestEnv
