// Errors: RunEnd thrown with the innermost file's name added where the message lacks it, texts
// written whole to standard output, and the allocation-free out-of-memory handler.
#include "common/die.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/OutputFile.hpp"

namespace {
thread_local FileContext* innermost = nullptr;
}  // namespace

FileContext::FileContext(std::string program, std::string file)
    : program_(std::move(program)), file_(std::move(file)), outer_(innermost) {
    innermost = this;
}

FileContext::~FileContext() {
    innermost = outer_;
}

std::string FileContext::currentFile() {
    return innermost && !innermost->file_.empty() ? innermost->file_ : "the input";
}

std::string FileContext::withFile(const std::string& message) {
    if (!innermost || innermost->file_.empty() ||
        message.find(innermost->file_) != std::string::npos)
        return message;
    std::string what = message.substr(0, message.find('\n'));
    if (what.rfind("Error: ", 0) == 0) what.erase(0, 7);
    return message + "\n" + innermost->program_ + ": " + innermost->file_ + ": " + what;
}

void dieWith(const std::string& text, ErrorKind kind) {
    throw RunEnd(FileContext::withFile(text), 1, kind);
}

void exitAfterWriting(const std::string& text) {
    if (std::cout) errno = 0;
    std::cout << text;
    checkWritten(std::cout, "to standard output");
    throw RunEnd("", 0);
}

void outOfMemory() {
    static const char message[] = "Error: out of memory\n";
    const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    (void)written;
    removePendingOutputs();
    _exit(1);
}
