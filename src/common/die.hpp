// Fatal errors and number formatting shared by every stage.
// The library never ends the process: `die` throws a RunEnd with its message (and the line
// that names the file being read), which unwinds to the program's entry point; there
// exitStatusOf prints the message and a newline to standard error and returns status 1, so
// that a calling script can always tell a failed run from a completed one. Other programs
// that link the library (the fuzz targets, the tests) catch RunEnd themselves.
#pragma once

#include <exception>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>

#include "common/Log.hpp"

// What ended a run, for callers that answer each kind in their own way (the Python module
// raises ValueError, OSError, MemoryError or KeyboardInterrupt): an input that cannot be
// read as meant, settings that do not fit together, a file that cannot be opened, read or
// written, memory that ran out, a stop that was asked for.
enum class ErrorKind { Input, Usage, Io, Memory, Interrupted };

// How a run ends early: an error or refusal (status 1, its message for standard error), or
// a text such as --help written in full (status 0, no message).
class RunEnd : public std::exception {
  public:
    RunEnd(std::string message, int status, ErrorKind kind = ErrorKind::Input)
        : message_(std::move(message)), status_(status), kind_(kind) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const { return message_; }
    int status() const { return status_; }
    ErrorKind kind() const { return kind_; }

  private:
    std::string message_;
    int status_;
    ErrorKind kind_;
};

// Throws the message, with the line that names the current file where it needs one.
[[noreturn]] void dieWith(const std::string& message, ErrorKind kind = ErrorKind::Input);

// An input that cannot be read as meant.
template <typename T>
[[noreturn]] void die(const T& message) {
    dieWith(std::string(message), ErrorKind::Input);
}

// A file that cannot be opened, read or written.
template <typename T>
[[noreturn]] void dieIo(const T& message) {
    dieWith(std::string(message), ErrorKind::Io);
}

// Settings that are refused.
template <typename T>
[[noreturn]] void dieUsage(const T& message) {
    dieWith(std::string(message), ErrorKind::Usage);
}

// Runs a program's body, which returns its exit status; a RunEnd thrown from it has its
// message written to standard error and gives the status.
template <typename Body>
int exitStatusOf(Body&& body) {
    try {
        return body();
    } catch (const RunEnd& end) {
        if (!end.message().empty()) logLine(end.message());
        return end.status();
    }
}

// While an object of this class lives, errors of its thread concern the named file: a
// message that does not name the file gets a second line "program: file: what", so that
// every error says where it is.
class FileContext {
  public:
    FileContext(std::string program, std::string file);
    ~FileContext();
    FileContext(const FileContext&) = delete;
    FileContext& operator=(const FileContext&) = delete;

    // The message with the line that names the innermost file, where it needs one.
    static std::string withFile(const std::string& message);
    // The innermost file of this thread, or "the input" where none is set.
    static std::string currentFile();

  private:
    std::string program_, file_;
    FileContext* outer_;
};

// Writes the text (help, version) to standard output and ends the run: status 0, or 1 with
// an error line when the text could not be written (a full disk, a closed descriptor).
[[noreturn]] void exitAfterWriting(const std::string& text);

// The programs' handler for memory that runs out (std::set_new_handler): a short message
// written without allocating, and the process ends with status 1 at once, since unwinding
// would need memory too.
void outOfMemory();

// Text that a default-formatted output stream gives for the value (6 significant digits).
template <typename T>
std::string tostring(T value) {
    std::ostringstream out;
    out << value;
    return out.str();
}
