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

// Ends the run when memory runs out: a short message written without allocating, status 1.
void outOfMemory();

// Text that a default-formatted output stream gives for the value (6 significant digits).
template <typename T>
std::string tostring(T value) {
    std::ostringstream out;
    out << value;
    return out.str();
}
