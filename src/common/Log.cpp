// The log sink: one global sink behind a lock, overridden per thread by the innermost
// LogScope, which worker threads take on from the thread that started them.
#include "common/Log.hpp"

#include <mutex>
#include <utility>

namespace {

std::mutex& sinkLock() {
    static std::mutex lock;
    return lock;
}

LogSink& currentSink() {
    static LogSink sink;
    return sink;
}

thread_local LogScope* scoped = nullptr;

}  // namespace

LogScope::LogScope(LogSink sink) : sink_(std::move(sink)), outer_(scoped) {
    scoped = this;
}

LogScope::~LogScope() {
    scoped = outer_;
}

LogScope* LogScope::current() {
    return scoped;
}

LogScope::Inherit::Inherit(LogScope* scope) : before_(scoped) {
    scoped = scope;
}

LogScope::Inherit::~Inherit() {
    scoped = before_;
}

LogSink setLogSink(LogSink sink) {
    std::lock_guard<std::mutex> lock(sinkLock());
    std::swap(currentSink(), sink);
    return sink;
}

void logLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(sinkLock());
    if (scoped)
        scoped->sink_(line);
    else if (currentSink())
        currentSink()(line);
}

void warn(const std::string& message) {
    logLine("Warning: " + message);
}

void error(const std::string& message) {
    logLine("Error: " + message);
}
