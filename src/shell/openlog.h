#pragma once

class LogDocument;

// The log the program has open, which the windows view; made on first use and
// dropped with the application.
LogDocument &logDocument();
// Drops it (tests): no window may be left that views it.
void resetLogDocument();
