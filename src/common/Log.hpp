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

// One line (without its line end) to the sink.
void logLine(const std::string& line);

// "Warning: " and the message.
void warn(const std::string& message);

// "Error: " and the message; the run goes on (to end it, see die).
void error(const std::string& message);
