// The line reader: blocks read with read(2), inflated member after member with zlib where the
// file starts with gzip's magic bytes, and split at LF, CR or CRLF across block boundaries.
#include "common/LineReader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string_view>

#include "common/Log.hpp"
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

int openFile(const std::string& path, std::string& error) {
    std::error_code code;
    if (path != "-" && std::filesystem::is_directory(path, code)) {
        error = std::strerror(EISDIR);
        return -1;
    }
    const int fd = path == "-" ? dup(STDIN_FILENO) : open(path.c_str(), O_RDONLY);
    if (fd < 0) error = std::strerror(errno);
    return fd;
}

bool gzipMagic(const unsigned char* data) {
    return data[0] == 0x1f && data[1] == 0x8b;
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

LineReader::LineReader(const std::string& path, const std::string& shownAs, bool warnings)
    : warnings_(warnings),
      displayName_(!shownAs.empty() ? shownAs
                   : path == "-"    ? "standard input"
                                    : path) {
    fd_ = openFile(path, openError_);
    if (fd_ < 0) return;
    const size_t size = bufferSizeFor(fd_);
    raw_.resize(size);
    buffer_.resize(size);
    gzip_ = rawInput(2) && gzipMagic(stream_.next_in);
    if (gzip_ && inflateInit2(&stream_, 15 + 16) != Z_OK)
        dieWith("Error: cannot read " + displayName_ + ": out of memory", ErrorKind::Memory);
}

LineReader::~LineReader() {
    if (gzip_) inflateEnd(&stream_);
    if (fd_ >= 0) close(fd_);
}

bool LineReader::rawInput(size_t count) {
    while (stream_.avail_in < count && !rawEnd_) {
        // Unread bytes move to the front; the rest of the buffer is filled from the file.
        if (stream_.avail_in > 0) std::memmove(raw_.data(), stream_.next_in, stream_.avail_in);
        stream_.next_in = raw_.data();
        ssize_t got;
        do got = read(fd_, raw_.data() + stream_.avail_in, raw_.size() - stream_.avail_in);
        while (got < 0 && errno == EINTR);
        if (got < 0) dieIo("Error: cannot read " + displayName_ + ": " + std::strerror(errno));
        rawEnd_ = got == 0;
        stream_.avail_in += static_cast<uInt>(got);
    }
    return stream_.avail_in >= count;
}

size_t LineReader::produce() {
    if (!gzip_) {
        if (!rawInput(1)) return 0;
        const size_t taken = std::min<size_t>(stream_.avail_in, buffer_.size());
        std::memcpy(buffer_.data(), stream_.next_in, taken);
        stream_.next_in += taken;
        stream_.avail_in -= static_cast<uInt>(taken);
        return taken;
    }
    stream_.next_out = reinterpret_cast<Bytef*>(buffer_.data());
    stream_.avail_out = static_cast<uInt>(buffer_.size());
    while (stream_.avail_out == buffer_.size() && !membersDone_) {
        rawInput(1);  // none at the end of the file, where inflate may still have output
        const int code = inflate(&stream_, Z_NO_FLUSH);
        if (code == Z_BUF_ERROR && stream_.avail_in == 0 && rawEnd_)
            dieIo("Error: cannot read " + displayName_ + ": unexpected end of file");
        if (code == Z_STREAM_END) {
            // Another member follows, or data that is none, or the end of the file.
            if (!rawInput(1)) {
                membersDone_ = true;
            } else if (rawInput(2) && gzipMagic(stream_.next_in)) {
                inflateReset(&stream_);
            } else {
                if (warnings_)
                    warn(displayName_ + " has data after the compressed stream; ignored");
                membersDone_ = true;
            }
        } else if (code != Z_OK && code != Z_BUF_ERROR) {
            die("Error: cannot read " + displayName_ + ": " +
                (stream_.msg ? stream_.msg : "invalid compressed data"));
        }
    }
    return buffer_.size() - stream_.avail_out;
}

bool LineReader::refill() {
    if (atEnd_) return false;
    begin_ = 0;
    end_ = produce();
    atEnd_ = end_ == 0;
    if (firstBlock_) {
        firstBlock_ = false;
        if (const char* kind = unreadableKind(buffer_.data(), end_))
            die("Error: " + displayName_ + " " + kind);
    }
    return end_ > 0;
}

bool LineReader::next(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        if (begin_ == end_ && !refill()) break;
        // The line feed of a CRLF whose carriage return ended the last line.
        if (feedAfterReturn_) {
            feedAfterReturn_ = false;
            if (buffer_[begin_] == '\n' && ++begin_ == end_) continue;
        }
        any = true;
        const char* start = buffer_.data() + begin_;
        const size_t left = end_ - begin_;
        const auto* feed = static_cast<const char*>(std::memchr(start, '\n', left));
        const auto* back = static_cast<const char*>(
            std::memchr(start, '\r', feed ? static_cast<size_t>(feed - start) : left));
        const char* stop = back ? back : feed;
        const size_t taken = stop ? static_cast<size_t>(stop - start) : left;
        if (line.size() + taken > kMaxLineLength)
            die("Error: " + displayName_ + " line " + std::to_string(lineNumber_ + 1) +
                " is longer than " + std::to_string(kMaxLineLength) + " characters");
        line.append(start, taken);
        begin_ += taken + (stop != nullptr);
        if (stop) {
            feedAfterReturn_ = *stop == '\r';
            break;
        }
    }
    if (!any) return false;
    // A UTF-8 byte-order mark is no part of the first line.
    if (lineNumber_ == 0 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    ++lineNumber_;
    return true;
}
