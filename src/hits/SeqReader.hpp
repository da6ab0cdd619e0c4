// Pieces shared by the two sequence file readers: gene names from title lines, upper-casing,
// exact base counts turned into background frequencies, and refusals of unusable input.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_set>

// The name of a title line: from its second character to the first blank or tab.
std::string geneNameFromTitle(const std::string& title);

void upperCase(std::string& text);

class BaseCounts {
  public:
    void add(const std::string& text);
    // Frequencies of A, C, G, T with the pseudocount added once to each count.
    std::array<float, 4> frequencies(float pseudocount) const;

  private:
    std::array<int64_t, 4> counts_{};
};

// Refuses a repeated gene name, so that every later lookup by name is unambiguous.
class UniqueNames {
  public:
    void add(const std::string& name);

  private:
    std::unordered_set<std::string> seen_;
};

// Refuses a sequence whose positions do not fit 32-bit hit coordinates.
void checkSequenceLength(const std::string& name, size_t length);
