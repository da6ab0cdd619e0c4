#include "common/Log.hpp"

#include <mutex>

namespace {

std::mutex& sinkLock() {
    static std::mutex lock;
    return lock;
}

LogSink& currentSink() {
    static LogSink sink;
    return sink;
}

}  // namespace

LogSink setLogSink(LogSink sink) {
    std::lock_guard<std::mutex> lock(sinkLock());
    std::swap(currentSink(), sink);
    return sink;
}

void logLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(sinkLock());
    if (currentSink()) currentSink()(line);
}

void warn(const std::string& message) {
    logLine("Warning: " + message);
}

void error(const std::string& message) {
    logLine("Error: " + message);
}
