// Reads a text file line by line: a plain file, a gzip-compressed one (recognised by its
// magic bytes and inflated with zlib, member after member), or standard input for the path
// "-". A line ends at a line feed, a carriage return, or both (CRLF), wherever they occur in
// the file, so that files whose parts were written on different systems read alike. Lines are
// counted from 1 so that errors can name the line they refer to. A read error (an I/O error, a
// truncated or corrupt gzip stream) ends the run with the file's name and the reason; it is
// never taken for the end of file. Data after the last gzip member is ignored with a
// warning, as gzip does. A file that shows in its first block that it is no text (bzip2, xz
// or zstd compressed, or holding NUL bytes) is refused, and so is a line longer than any
// sequence may be. A UTF-8 byte-order mark before the first line is skipped.
#pragma once

#include <zlib.h>

#include <string>
#include <vector>

class LineReader {
  public:
    // A directory counts as a file that cannot be opened. `shownAs` names the file in
    // messages instead of its path (for a copy of standard input); without `warnings`, a
    // second reading of a file keeps quiet about what the first already said.
    explicit LineReader(const std::string& path, const std::string& shownAs = "",
                        bool warnings = true);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // Why the file could not be opened, in the system's words.
    const std::string& openError() const { return openError_; }
    // The path as given, or "standard input".
    const std::string& displayName() const { return displayName_; }

    // Reads the next line into `line`; false at the end of the file.
    bool next(std::string& line);

    long lineNumber() const { return lineNumber_; }

  private:
    bool refill();
    // Text into buffer_: inflated, or copied from a plain file; 0 at the end.
    size_t produce();
    // At least `count` unread raw bytes where the file has them; false where it has fewer.
    bool rawInput(size_t count);

    int fd_ = -1;
    bool gzip_ = false, membersDone_ = false, rawEnd_ = false, warnings_ = true;
    z_stream stream_{};
    std::vector<unsigned char> raw_;
    std::string displayName_, openError_;
    std::vector<char> buffer_;
    size_t begin_ = 0, end_ = 0;
    bool atEnd_ = false;
    bool firstBlock_ = true;
    bool feedAfterReturn_ = false;  // the last line ended at a carriage return
    long lineNumber_ = 0;
};
