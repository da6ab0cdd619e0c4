#include "common/die.hpp"

#include <unistd.h>

namespace {
DieHandler installedHandler = nullptr;
}

void setDieHandler(DieHandler handler) {
    installedHandler = handler;
}

void dieWith(const std::string& message) {
    if (installedHandler) installedHandler(message);
    std::cerr << message << std::endl;
    std::exit(1);
}

void outOfMemory() {
    static const char message[] = "Error: out of memory\n";
    const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    (void)written;
    _exit(1);
}
