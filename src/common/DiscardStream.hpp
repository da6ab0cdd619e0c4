// An output stream that takes everything and keeps nothing: the report of a discovery run
// whose modules are only counted.
#pragma once

#include <ostream>
#include <streambuf>

class DiscardStream : public std::ostream {
  public:
    DiscardStream() : std::ostream(&buffer_) {}

  private:
    struct Buffer : std::streambuf {
        int overflow(int c) override { return traits_type::not_eof(c); }
        std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
    };
    Buffer buffer_;
};
