// Fatal errors and number formatting shared by every stage.
// `die` prints its message and a newline to standard error and ends the process with
// status 1, so that a calling script can always tell a failed run from a completed one.
#pragma once

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

template <typename T>
[[noreturn]] void die(const T& message) {
    std::cerr << message << std::endl;
    std::exit(1);
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
