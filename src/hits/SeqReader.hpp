// Pieces shared by the two sequence file readers: gene names from title lines, upper-casing,
// exact base counts turned into background frequencies, and refusals of unusable input.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "common/LineReader.hpp"
#include "common/die.hpp"

// The name of a title line: from its second character to the first blank or tab.
std::string geneNameFromTitle(const std::string& title);

void upperCase(std::string& text);

class BaseCounts {
  public:
    void add(std::string_view text);
    void add(const BaseCounts& other) {
        for (size_t b = 0; b < 4; ++b) counts_[b] += other.counts_[b];
    }
    // Frequencies of A, C, G, T with the pseudocount added once to each count.
    std::array<float, 4> frequencies(float pseudocount) const;

  private:
    std::array<int64_t, 4> counts_{};
};

// Letters of a gene: how many, how many upper-case, how many other than A, C, G, T and N.
struct SequenceLetters {
    int64_t total = 0, upper = 0, other = 0;
    void add(std::string_view text);
    // Mostly letters that are no bases: protein, or a file of text.
    bool looksLikeText() const { return 2 * other > total; }
};

// Reads a sequence file entry by entry: a title line (the file's first line whatever it
// holds, then every line starting with '>') and the body lines up to the next title.
// Refuses a file that cannot be opened, one without a title line, and a repeated entry name,
// so that every later lookup by gene name is unambiguous.
class SeqEntries {
  public:
    // `program` names the program in the message for a file that cannot be opened.
    SeqEntries(const std::string& path, const std::string& program);
    // Starts the next entry; false at the end of the file.
    bool nextEntry(std::string& name);
    // The next body line of the current entry; false at its end.
    bool nextLine(std::string& line);
    const std::string& displayName() const { return reader_.displayName(); }
    // The title line of the entry nextEntry started, and its line number.
    const std::string& title() const { return title_; }
    long titleLine() const { return titleLine_; }

  private:
    LineReader reader_;
    FileContext context_;  // errors while reading name the file
    std::string title_;
    long titleLine_ = 1;
    bool titleWaiting_ = true;
    bool inBody_ = false;
    std::unordered_set<std::string> names_;
};

// The species texts of an ortholog group's body lines: each '<' line starts the next species,
// the reference first; a body without '<' is one species. A text left empty before the next
// '<' is dropped.
std::vector<std::string> splitSpecies(const std::vector<std::string>& body);

// Refuses a sequence whose positions do not fit 32-bit hit coordinates.
void checkSequenceLength(const std::string& name, size_t length);
