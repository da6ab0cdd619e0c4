#include "common/die.hpp"

#include <unistd.h>

void outOfMemory() {
    static const char message[] = "Error: out of memory\n";
    const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    (void)written;
    _exit(1);
}
