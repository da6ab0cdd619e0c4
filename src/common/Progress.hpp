// The progress sink: where a stage writes its progress lines. Each line is written in one
// piece and flushed, so that it shows at once and never interleaves with another writer.
// A silent sink (for --quiet) drops every line; errors and warnings do not go through it.
#pragma once

#include <iostream>
#include <string>

class Progress {
  public:
    explicit Progress(std::ostream* out = &std::cerr) : out_(out) {}
    static Progress silent() { return Progress(nullptr); }

    void line(const std::string& text) const {
        if (out_) *out_ << text + '\n' << std::flush;
    }

  private:
    std::ostream* out_;
};
