// What the fuzz targets share: the input as a file (a memory file, so that the readers open
// it by path as they open any file), and refusals (RunEnd) taken as an expected outcome.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/die.hpp"

class MemoryFile {
  public:
    MemoryFile(const uint8_t* data, size_t size) : fd_(memfd_create("fuzz-input", 0)) {
        for (size_t done = 0; fd_ >= 0 && done < size;) {
            ssize_t wrote = write(fd_, data + done, size - done);
            if (wrote <= 0) break;
            done += static_cast<size_t>(wrote);
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryFile() {
        if (fd_ >= 0) close(fd_);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    const std::string& path() const { return path_; }

  private:
    int fd_;
    std::string path_;
};

// Runs the body; a refusal of the input is an expected outcome, not a finding.
template <typename Body>
int refusalsAllowed(Body&& body) {
    try {
        body();
    } catch (const RunEnd&) {
    }
    return 0;
}
