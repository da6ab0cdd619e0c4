// Reads a text file line by line; a carriage return before the line feed belongs to the
// line ending. Counts lines from 1 so that errors can name the line they refer to.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

class LineReader {
  public:
    // A directory counts as a file that cannot be opened.
    explicit LineReader(const std::string& path) {
        std::error_code error;
        if (!std::filesystem::is_directory(path, error)) in_.open(path, std::ios::binary);
    }

    bool isOpen() const { return in_.is_open(); }

    // Reads the next line into `line`; false at the end of the file.
    bool next(std::string& line) {
        if (!std::getline(in_, line)) return false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ++lineNumber_;
        return true;
    }

    long lineNumber() const { return lineNumber_; }

  private:
    std::ifstream in_;
    long lineNumber_ = 0;
};
