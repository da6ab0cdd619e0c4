// The progress sink: where a stage writes its progress lines. Each line is written in one
// piece and flushed, so that it shows at once and never interleaves with another writer.
// A silent sink (for --quiet, and the default of a stage built without one) drops every
// line; errors and warnings do not go through it (see Log.hpp). The entry points give the
// stages standard error, and say whether it is a terminal, where a status line may be
// rewritten in place.
#pragma once

#include <ostream>
#include <string>

class Progress {
  public:
    explicit Progress(std::ostream* out = nullptr, bool terminal = false)
        : out_(out), terminal_(terminal) {}
    static Progress silent() { return Progress(nullptr); }

    void line(const std::string& text) const {
        if (out_) *out_ << text + '\n' << std::flush;
    }
    // A status line rewritten in place (on a terminal): a carriage return, the text, and the
    // rest of the old line cleared; the last one ends with `line`.
    void rewrite(const std::string& text) const {
        if (out_) *out_ << "\r" + text + "\x1b[K" << std::flush;
    }
    // Whether lines go to a terminal, where a status line can be rewritten in place.
    bool terminal() const { return out_ != nullptr && terminal_; }
    bool silentSink() const { return out_ == nullptr; }

  private:
    std::ostream* out_;
    bool terminal_;
};
