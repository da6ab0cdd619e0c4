// Output files: mkstemp beside the target, written and flushed, then renamed into place; paths
// of pending files kept in fixed slots that a signal handler may read; clashes with inputs
// found by resolved path and by device and inode.
#include "common/OutputFile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "common/die.hpp"

namespace {

// The temporary files that a signal must remove; fixed slots, read by the handler.
constexpr size_t kSlots = 8;
std::array<std::array<char, 4096>, kSlots> pending{};
std::array<std::atomic<bool>, kSlots> used{};

extern "C" void removePendingAndStop(int signal) {
    removePendingOutputs();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

int remember(const std::string& path) {
    for (size_t i = 0; i < kSlots; ++i)
        if (!used[i] && path.size() < pending[i].size()) {
            std::memcpy(pending[i].data(), path.c_str(), path.size() + 1);
            used[i] = true;
            return static_cast<int>(i);
        }
    return -1;
}

void forget(const std::string& path) {
    for (size_t i = 0; i < kSlots; ++i)
        if (used[i] && path == pending[i].data()) used[i] = false;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

void checkWritten(std::ostream& out, const std::string& what) {
    if (out) errno = 0;  // a write that failed already left its reason
    out.flush();
    if (!out) dieIo("Error: cannot write " + what + ": " + std::strerror(errno ? errno : EIO));
}

void removeOutputsWhenStopped() {
    static bool handlers = false;
    if (handlers) return;
    handlers = true;
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        if (std::signal(signal, removePendingAndStop) == SIG_IGN)
            std::signal(signal, SIG_IGN);  // keep what the caller ignores
}

void removePendingOutputs() {
    for (size_t i = 0; i < kSlots; ++i)
        if (used[i]) unlink(pending[i].data());
}

namespace {

// The path with its folders resolved, for inputs that the run makes before it reads them (a
// genome's index): an output path may not name one even before it exists.
std::string resolved(const std::string& path) {
    std::error_code failed;
    const std::filesystem::path full = std::filesystem::weakly_canonical(path, failed);
    return failed ? path : full.string();
}

}  // namespace

void refuseClashingOutput(const std::string& path, const std::string& option,
                          const std::vector<std::pair<std::string, std::string>>& inputs) {
    for (const auto& [what, input] : inputs)
        if (!input.empty() && input != "-" && resolved(path) == resolved(input))
            die("Error: " + option + " " + path + " is " + what +
                " of this run; writing it would destroy it");
    struct stat output;
    if (stat(path.c_str(), &output) != 0) return;  // a new file is nothing the run reads
    for (const auto& [what, input] : inputs) {
        struct stat other;
        if (input.empty() || input == "-" || stat(input.c_str(), &other) != 0) continue;
        if (sameFile(output, other))
            die("Error: " + option + " " + path + " is " + what +
                " of this run; writing it would destroy it");
    }
    struct stat standardOutput;
    if (fstat(STDOUT_FILENO, &standardOutput) == 0 && S_ISREG(output.st_mode) &&
        sameFile(output, standardOutput))
        die("Error: " + option + " " + path +
            " is the file standard output writes to; the report would be overwritten");
    if (fstat(STDOUT_FILENO, &standardOutput) == 0 && !S_ISREG(output.st_mode) &&
        sameFile(output, standardOutput))
        die("Error: " + option + " " + path + " is standard output, which carries the report");
}

OutputFile::OutputFile(const std::string& path, const std::string& option)
    : path_(path), option_(option) {
    std::string pattern = path + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) dieIo("Error: cannot write " + path + ": " + std::strerror(errno));
    // The permissions an ordinary new file would get, not mkstemp's 0600.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    temporary_ = pattern;
    remember(temporary_);
    out_.open(temporary_, std::ios::binary | std::ios::trunc);
    if (!out_) {
        const int error = errno;
        std::remove(temporary_.c_str());
        forget(temporary_);
        dieIo("Error: cannot write " + path + ": " + std::strerror(error));
    }
}

OutputFile::~OutputFile() {
    if (committed_) return;
    out_.close();
    std::remove(temporary_.c_str());
    forget(temporary_);
}

void OutputFile::commit() {
    errno = 0;
    out_.flush();
    const int flushError = errno;
    out_.close();
    if (!out_)
        dieIo("Error: cannot write " + path_ + ": " + std::strerror(flushError ? flushError : EIO));
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0)
        dieIo("Error: cannot write " + path_ + ": " + std::strerror(errno));
    forget(temporary_);
    committed_ = true;
}
