#include "common/LineReader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "common/die.hpp"

namespace {

constexpr size_t kBufferSize = size_t{1} << 18;
// No line of any input can be longer than a sequence may be.
constexpr size_t kMaxLineLength = INT32_MAX;

// Buffers no larger than a small file needs.
size_t bufferSizeFor(int fd) {
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return kBufferSize;
    return std::clamp<size_t>(static_cast<size_t>(status.st_size) + 1, 4096, kBufferSize);
}

// Opens through zlib, which reads plain files unchanged and inflates gzip streams.
gzFile openStream(const std::string& path, std::string& error, size_t& bufferSize) {
    std::error_code code;
    if (path != "-" && std::filesystem::is_directory(path, code)) {
        error = std::strerror(EISDIR);
        return nullptr;
    }
    const int fd = path == "-" ? dup(STDIN_FILENO) : open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    bufferSize = bufferSizeFor(fd);
    gzFile file = gzdopen(fd, "rb");
    if (file == nullptr) {
        error = "out of memory";
        close(fd);
        return nullptr;
    }
    gzbuffer(file, static_cast<unsigned>(bufferSize));
    return file;
}

// What the first bytes of a file show it to be when it is no text that can be read: a
// compression other than gzip, or binary data; nullptr for text.
const char* unreadableKind(const char* data, size_t size) {
    const std::string_view head(data, size);
    if (head.size() > 3 && head.substr(0, 3) == "BZh" && head[3] >= '1' && head[3] <= '9')
        return "is bzip2-compressed; only gzip is read";
    if (head.substr(0, 6) == std::string_view("\xFD"
                                              "7zXZ\0",
                                              6))
        return "is xz-compressed; only gzip is read";
    if (head.substr(0, 4) == "\x28\xB5\x2F\xFD") return "is zstd-compressed; only gzip is read";
    if (head.find('\0') != std::string_view::npos) return "holds NUL bytes; it is not a text file";
    return nullptr;
}

}  // namespace

LineReader::LineReader(const std::string& path)
    : displayName_(path == "-" ? "standard input" : path) {
    size_t bufferSize = kBufferSize;
    file_ = openStream(path, openError_, bufferSize);
    buffer_.resize(bufferSize);
}

LineReader::~LineReader() {
    if (file_) gzclose(file_);
}

bool LineReader::refill() {
    if (atEnd_) return false;
    const int got = gzread(file_, buffer_.data(), static_cast<unsigned>(buffer_.size()));
    int code = Z_OK;
    const char* reason = gzerror(file_, &code);
    if (got < 0 || (code != Z_OK && code != Z_STREAM_END)) {
        if (code == Z_ERRNO) reason = std::strerror(errno);
        // zlib names a stream opened from a descriptor "<fd:N>"; the file's name says more.
        if (std::strncmp(reason, "<fd:", 4) == 0 && std::strstr(reason, ": "))
            reason = std::strstr(reason, ": ") + 2;
        die("Error: cannot read " + displayName_ + ": " + reason);
    }
    begin_ = 0;
    end_ = static_cast<size_t>(got);
    atEnd_ = got == 0;
    if (firstBlock_) {
        firstBlock_ = false;
        if (const char* kind = unreadableKind(buffer_.data(), end_))
            die("Error: " + displayName_ + " " + kind);
        // Old Mac files end their lines with a carriage return alone.
        const char* data = buffer_.data();
        if (!std::memchr(data, '\n', end_) && std::memchr(data, '\r', end_)) lineEnd_ = '\r';
    }
    return got > 0;
}

bool LineReader::next(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        if (begin_ == end_ && !refill()) break;
        any = true;
        const char* start = buffer_.data() + begin_;
        const auto* feed = static_cast<const char*>(std::memchr(start, lineEnd_, end_ - begin_));
        const size_t taken = feed ? static_cast<size_t>(feed - start) : end_ - begin_;
        if (line.size() + taken > kMaxLineLength)
            die("Error: " + displayName_ + " line " + std::to_string(lineNumber_ + 1) +
                " is longer than " + std::to_string(kMaxLineLength) + " characters");
        line.append(start, taken);
        begin_ += taken + (feed != nullptr);
        if (feed) break;
    }
    if (!any) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // A UTF-8 byte-order mark is no part of the first line.
    if (lineNumber_ == 0 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    ++lineNumber_;
    return true;
}
