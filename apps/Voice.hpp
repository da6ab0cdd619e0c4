// The entry points' voice: the library's warnings and errors (Log.hpp) go to standard
// error, each line written whole and flushed.
#pragma once

#include <iostream>
#include <string>

#include "common/Log.hpp"

inline void speakOnStandardError() {
    setLogSink([](const std::string& line) { std::cerr << line + '\n' << std::flush; });
}
