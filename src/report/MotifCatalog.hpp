// The motifs of a report as the motif file of the run describes them: each motif's label
// (the other field of its title: the factor name beside a matrix id, or the id beside a
// factor name for a run with -t) and the letter heights of its sequence logo. The file is
// read as rekul reads it, with the same pseudocount, in any format rekul reads.
#pragma once

#include <array>
#include <string>
#include <unordered_map>
#include <vector>

struct MotifDetails {
    std::string label;
    std::vector<std::array<double, 4>> logo;  // per position, heights of A, C, G, T in bits
};

class MotifCatalog {
  public:
    MotifCatalog() = default;  // knows no motif
    explicit MotifCatalog(const std::string& path);

    // The motif that a report names, by its name or, failing that, by its label; null for
    // a motif the file does not hold. Of several matrices with one name, the first.
    const MotifDetails* find(const std::string& name) const;

  private:
    std::unordered_map<std::string, MotifDetails> byName_, byLabel_;
};

// The letter heights of one column of frequencies (A, C, G, T, summing to 1): each frequency
// times the column's information content, 2 + sum of f log2 f bits.
std::array<double, 4> logoColumn(const float freq[4]);
