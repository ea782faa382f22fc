#pragma once

class Splash;

// Runs the real start-up (splash, main frame, data file window) with the timer's
// ten ticks stepped by hand, so that a test does not wait a second.
namespace TestStartup {

// Creates the splash with the program's hooks; another instance is "running"
// when `anotherInstance` says so.
Splash *begin(bool anotherInstance = false);
// Ticks the splash until the data file window is open.
void finish(Splash *splash);
// Both: the program as the user first sees it.
void run();

} // namespace TestStartup
