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
    // `summary` (--progress summary): only the lines that sum a run up, those that start
    // "Read: ", "Random seed: ", "Done: " or "No module"; the lines per gene, per motif and
    // per permutation batch are dropped.
    explicit Progress(std::ostream* out = nullptr, bool terminal = false, bool summary = false)
        : out_(out), terminal_(terminal), summary_(summary) {}
    static Progress silent() { return Progress(nullptr); }

    void line(const std::string& text) const {
        if (out_ && (!summary_ || sumsUp(text))) *out_ << text + '\n' << std::flush;
    }
    // A status line rewritten in place (on a terminal): a carriage return, the text, and the
    // rest of the old line cleared; the last one ends with `line`.
    void rewrite(const std::string& text) const {
        if (out_ && !summary_) *out_ << "\r" + text + "\x1b[K" << std::flush;
    }
    // Whether lines go to a terminal, where a status line can be rewritten in place.
    bool terminal() const { return out_ != nullptr && terminal_; }
    bool silentSink() const { return out_ == nullptr; }

  private:
    static bool sumsUp(const std::string& text) {
        for (const char* start : {"Read: ", "Random seed: ", "Done: ", "No module"})
            if (text.rfind(start, 0) == 0) return true;
        return false;
    }
    std::ostream* out_;
    bool terminal_;
    bool summary_;
};
