// Fatal errors and number formatting shared by every stage.
// `die` prints its message and a newline to standard error and ends the process with
// status 1, so that a calling script can always tell a failed run from a completed one.
#pragma once

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

// Writes the message and ends the run, or hands it to the installed handler, which must not
// return (fuzzing harnesses throw, to go on with the next input).
[[noreturn]] void dieWith(const std::string& message);
using DieHandler = void (*)(const std::string& message);
void setDieHandler(DieHandler handler);

template <typename T>
[[noreturn]] void die(const T& message) {
    dieWith(std::string(message));
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

// Ends the run when memory runs out: a short message written without allocating, status 1.
void outOfMemory();

// Text that a default-formatted output stream gives for the value (6 significant digits).
template <typename T>
std::string tostring(T value) {
    std::ostringstream out;
    out << value;
    return out.str();
}
