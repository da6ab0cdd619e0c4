// Stopping long work cleanly. While an InterruptScope lives, SIGINT and SIGTERM do not end
// the program: they raise a flag that the work polls, so that it can stop, keep what it has
// done and say so; the program then ends with 128 plus the signal's number (130, 143), as a
// shell reports a program that a signal ended. A second signal of the same kind ends the
// program at once.
#pragma once

#include <atomic>

class InterruptScope {
  public:
    InterruptScope();
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

    // Raised by the first SIGINT or SIGTERM.
    static const std::atomic<bool>& requested();
    // The signal that raised it, 0 if none.
    static int signalNumber();
    // Raises (or lowers) the flag without a signal: for a caller that watches signals itself,
    // such as the Python module.
    static void request(bool stop);
};
