// The library's one voice: every warning, and every error told without ending the run,
// leaves through one sink, as one whole line. The entry points set the sink (standard error);
// tests and the Python module set their own to capture what a run says. Without a sink the
// lines are dropped. Lines from several threads never interleave.
#pragma once

#include <functional>
#include <string>

using LogSink = std::function<void(const std::string& line)>;

// Sets the sink; returns the one it replaces.
LogSink setLogSink(LogSink sink);

// While an object of this class lives, the lines of its thread, and of the worker threads
// the thread starts (see Parallel.hpp), go to its own sink instead: two callers that run at
// once (two Python threads) each hear only their own run.
class LogScope {
  public:
    explicit LogScope(LogSink sink);
    ~LogScope();
    LogScope(const LogScope&) = delete;
    LogScope& operator=(const LogScope&) = delete;

    // The scope a thread's lines go to, for a worker thread to take on (nullptr: none).
    static LogScope* current();
    // Makes `scope` the current one of the calling thread, for as long as it lives.
    class Inherit {
      public:
        explicit Inherit(LogScope* scope);
        ~Inherit();
        Inherit(const Inherit&) = delete;
        Inherit& operator=(const Inherit&) = delete;

      private:
        LogScope* before_;
    };

  private:
    friend void logLine(const std::string& line);
    LogSink sink_;
    LogScope* outer_;
};

// One line (without its line end) to the sink.
void logLine(const std::string& line);

// "Warning: " and the message.
void warn(const std::string& message);

// "Error: " and the message; the run goes on (to end it, see die).
void error(const std::string& message);
